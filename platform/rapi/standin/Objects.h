// The stand-in's objects: the desktop, its device listing, devices and sessions. Each
// aggregates the free-threaded marshaler.
#pragma once

#include "FreeThreadedMarshaler.h"
#include "MobileDevices.h"
#include "Rapi.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace rapistandin {

class CDesktop : public com::FreeThreadedRoot, public IRAPIDesktop {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CDesktop, IRAPIDesktop>(IID_IRAPIDesktop),
            com::MarshalsFreeThreaded<CDesktop>(),
            {},
        };
        return table;
    }
    STDMETHODIMP FindDevice(const GUID* deviceId, rapi::GetDevice how, IRAPIDevice** device) override;
    STDMETHODIMP EnumDevices(IRAPIEnumDevices** devices) override;
};

class CEnumDevices : public com::FreeThreadedRoot, public IRAPIEnumDevices {
public:
    explicit CEnumDevices(std::vector<MobileDevice> devices) : m_devices(std::move(devices)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CEnumDevices, IRAPIEnumDevices>(IID_IRAPIEnumDevices),
            com::MarshalsFreeThreaded<CEnumDevices>(),
            {},
        };
        return table;
    }
    STDMETHODIMP Next(IRAPIDevice** device) override;
    STDMETHODIMP Reset() override;

private:
    std::vector<MobileDevice> m_devices;
    size_t m_next = 0;
};

class CMobileDevice : public com::FreeThreadedRoot, public IRAPIDevice {
public:
    explicit CMobileDevice(MobileDevice device) : m_device(std::move(device)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CMobileDevice, IRAPIDevice>(IID_IRAPIDevice),
            com::MarshalsFreeThreaded<CMobileDevice>(),
            {},
        };
        return table;
    }
    STDMETHODIMP CreateSession(IRAPISession** session) override;
    STDMETHODIMP GetDeviceInfo(RAPI_DEVICEINFO* info) override;

private:
    MobileDevice m_device;
};

class CSession : public com::FreeThreadedRoot, public IRAPISession {
public:
    explicit CSession(MobileDevice device) : m_device(std::move(device)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CSession, IRAPISession>(IID_IRAPISession),
            com::MarshalsFreeThreaded<CSession>(),
            {},
        };
        return table;
    }
    void FinalRelease();

    STDMETHODIMP CeRapiInit() override;
    STDMETHODIMP CeRapiUninit() override;
    DWORD STDMETHODCALLTYPE CeGetLastError() override;
    STDMETHODIMP CeRapiFreeBuffer(void* buffer) override;
    LONG STDMETHODCALLTYPE CeRegOpenKeyEx(HKEY parent, LPCWSTR subKey, DWORD reserved, REGSAM access, HKEY* key) override;
    LONG STDMETHODCALLTYPE CeRegQueryValueEx(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                                             DWORD* size) override;
    LONG STDMETHODCALLTYPE CeRegCloseKey(HKEY key) override;
    BOOL STDMETHODCALLTYPE CeFindAllFiles(LPCWSTR pattern, DWORD flags, DWORD* count, CE_FIND_DATA** found) override;
    HANDLE STDMETHODCALLTYPE CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* found) override;
    BOOL STDMETHODCALLTYPE CeFindClose(HANDLE find) override;
    HANDLE STDMETHODCALLTYPE CeCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                          DWORD creation, DWORD flags, HANDLE templateFile) override;
    DWORD STDMETHODCALLTYPE CeSetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) override;
    BOOL STDMETHODCALLTYPE CeWriteFile(HANDLE file, const void* data, DWORD size, DWORD* written,
                                       LPOVERLAPPED overlapped) override;
    BOOL STDMETHODCALLTYPE CeCloseHandle(HANDLE handle) override;
    BOOL STDMETHODCALLTYPE CeDeleteFile(LPCWSTR name) override;
    BOOL STDMETHODCALLTYPE CeRemoveDirectory(LPCWSTR name) override;
    STDMETHODIMP CeRapiInvoke(LPCWSTR library, LPCWSTR function, DWORD inputSize, BYTE* input, DWORD* outputSize,
                              BYTE** output, IRAPIStream** stream, DWORD reserved) override;

private:
    // Records the device's error code of this call; false for convenience.
    bool Fail(DWORD error);
    bool Succeed(DWORD error = 0);
    // The key path an open key stands for; empty when the handle is none of ours.
    std::wstring KeyPath(HKEY key) const;
    bool KeyExists(const std::wstring& path) const;
    // The attributes a device entry shows (storage cards: temporary).
    DWORD AttributesOf(const std::wstring& devicePath, DWORD hostAttributes) const;
    void Fill(const std::wstring& devicePath, const WIN32_FIND_DATAW& host, CE_FIND_DATA* found) const;

    MobileDevice m_device;
    mutable std::mutex m_lock;
    bool m_initialised = false;
    DWORD m_lastError = 0;
    std::map<HKEY, std::wstring> m_keys;
    ULONG_PTR m_nextKey = 0x1000;
    std::map<HANDLE, std::wstring> m_files;  // open files and their device paths
    std::map<HANDLE, std::wstring> m_finds;  // open searches and their device folders
};

}  // namespace rapistandin
