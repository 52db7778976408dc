// The desktop side of the mobile-device link (RAPI) as this suite declares it: the desktop
// object that lists and finds connected devices, a device with its information, and a session
// on it with the device's registry, files and the call into a library on the device.
//
// Only the members the suite calls, in our own slot order; the wizard and the stand-in
// (platform/rapi/standin) are built from this one header, so they always agree. The class and
// the desktop interface's id are the system's; the other interface ids are our own.
//
//     com::ComPtr<IRAPIDesktop> desktop;
//     CoCreateInstance(CLSID_RAPI, nullptr, CLSCTX_INPROC_SERVER, IID_IRAPIDesktop, desktop.PutVoid());
//     com::ComPtr<IRAPIEnumDevices> devices;
//     desktop->EnumDevices(devices.Put());
//     com::ComPtr<IRAPIDevice> device;
//     while (devices->Next(device.Put()) == S_OK) {
//         com::ComPtr<IRAPISession> session;
//         if (SUCCEEDED(device->CreateSession(session.Put())) && SUCCEEDED(session->CeRapiInit())) { ... }
//     }
#pragma once

#include <windows.h>
#include <objidl.h>
#include <oleauto.h>

namespace rapi {

// How FindDevice waits for the device.
enum class GetDevice : DWORD { NonBlocking = 1, Blocking = 2 };

// What CeFindAllFiles fills in and which entries it lists (bits).
inline constexpr DWORD kFindAttributes = 0x1;
inline constexpr DWORD kFindName = 0x80;
inline constexpr DWORD kFindFoldersOnly = 0x1000;

}  // namespace rapi

// A device as the link reports it; the caller frees both texts (SysFreeString).
struct RAPI_DEVICEINFO {
    GUID DeviceId;
    DWORD dwOsVersionMajor;
    DWORD dwOsVersionMinor;
    BSTR bstrName;
    BSTR bstrPlatform;
};

// One file or folder on the device.
struct CE_FIND_DATA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwOID;
    WCHAR cFileName[MAX_PATH];
};

inline constexpr CLSID CLSID_RAPI = {0x35440327, 0x1517, 0x4B72, {0x86, 0x5E, 0x3F, 0xFE, 0x8E, 0x97, 0x00, 0x2F}};
inline constexpr IID IID_IRAPIDesktop = {0xDCBEB807, 0x14D0, 0x4CBD, {0x92, 0x6C, 0xB9, 0x91, 0xF4, 0xFD, 0x1B, 0x91}};
inline constexpr IID IID_IRAPIEnumDevices = {0x1A1F77FE, 0x6811, 0x4774, {0x86, 0xB5, 0x71, 0xC8, 0x07, 0x51, 0xFE, 0x9B}};
inline constexpr IID IID_IRAPIDevice = {0xF425FFF7, 0x1834, 0x4D73, {0x8F, 0x9E, 0xB1, 0xF5, 0x47, 0xBD, 0x4C, 0x42}};
inline constexpr IID IID_IRAPISession = {0x8690680F, 0x79CB, 0x4638, {0xA0, 0x45, 0x35, 0xA6, 0x7F, 0x21, 0xB3, 0xBC}};
inline constexpr IID IID_IRAPIStream = {0x27B10177, 0x1E63, 0x4554, {0xAA, 0x5F, 0x7C, 0x41, 0x93, 0xD2, 0xBB, 0x4D}};

// A stream to a library on the device; the suite passes none.
struct IRAPIStream : public IUnknown {};

struct IRAPISession : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CeRapiInit() = 0;
    virtual HRESULT STDMETHODCALLTYPE CeRapiUninit() = 0;
    // The device's error code of the session's last call.
    virtual DWORD STDMETHODCALLTYPE CeGetLastError() = 0;
    virtual HRESULT STDMETHODCALLTYPE CeRapiFreeBuffer(void* buffer) = 0;

    // The device's registry: one key level at a time from HKEY_CLASSES_ROOT, HKEY_CURRENT_USER or
    // an opened key; Win32 error codes.
    virtual LONG STDMETHODCALLTYPE CeRegOpenKeyEx(HKEY parent, LPCWSTR subKey, DWORD reserved, REGSAM access,
                                                  HKEY* key) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegQueryValueEx(HKEY key, LPCWSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                                                     DWORD* size) = 0;
    virtual LONG STDMETHODCALLTYPE CeRegCloseKey(HKEY key) = 0;

    // The device's files. CeFindAllFiles gives a buffer the caller frees with CeRapiFreeBuffer.
    virtual BOOL STDMETHODCALLTYPE CeFindAllFiles(LPCWSTR pattern, DWORD flags, DWORD* count, CE_FIND_DATA** found) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeFindFirstFile(LPCWSTR pattern, CE_FIND_DATA* found) = 0;
    virtual BOOL STDMETHODCALLTYPE CeFindClose(HANDLE find) = 0;
    virtual HANDLE STDMETHODCALLTYPE CeCreateFile(LPCWSTR name, DWORD access, DWORD share,
                                                  LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags,
                                                  HANDLE templateFile) = 0;
    virtual DWORD STDMETHODCALLTYPE CeSetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) = 0;
    virtual BOOL STDMETHODCALLTYPE CeWriteFile(HANDLE file, const void* data, DWORD size, DWORD* written,
                                               LPOVERLAPPED overlapped) = 0;
    virtual BOOL STDMETHODCALLTYPE CeCloseHandle(HANDLE handle) = 0;
    virtual BOOL STDMETHODCALLTYPE CeDeleteFile(LPCWSTR name) = 0;
    virtual BOOL STDMETHODCALLTYPE CeRemoveDirectory(LPCWSTR name) = 0;

    // Calls a function of a library on the device; the output buffer (LocalAlloc'ed) is the
    // caller's to free with LocalFree.
    virtual HRESULT STDMETHODCALLTYPE CeRapiInvoke(LPCWSTR library, LPCWSTR function, DWORD inputSize, BYTE* input,
                                                   DWORD* outputSize, BYTE** output, IRAPIStream** stream,
                                                   DWORD reserved) = 0;
};

struct IRAPIDevice : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateSession(IRAPISession** session) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeviceInfo(RAPI_DEVICEINFO* info) = 0;
};

struct IRAPIEnumDevices : public IUnknown {
    // The next device; S_FALSE after the last.
    virtual HRESULT STDMETHODCALLTYPE Next(IRAPIDevice** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IRAPIDesktop : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE FindDevice(const GUID* deviceId, rapi::GetDevice how, IRAPIDevice** device) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDevices(IRAPIEnumDevices** devices) = 0;
};
