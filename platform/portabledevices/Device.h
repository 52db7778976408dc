// The stand-in's device manager and device, with what a device hands out: its content, the
// properties and resources of its objects, id lists and the streams of new objects.
#pragma once

#include "Object.h"
#include "PortableDevices.h"
#include "Store.h"

#include <string>
#include <vector>

namespace wpdstandin {

class CDeviceManager : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceManager {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CDeviceManager, IPortableDeviceManager>(IID_IPortableDeviceManager),
            {},
        };
        return table;
    }
    HRESULT FinalConstruct() { return RefreshDeviceList(); }

    STDMETHODIMP GetDevices(LPWSTR* ids, DWORD* count) override;
    STDMETHODIMP RefreshDeviceList() override;
    STDMETHODIMP GetDeviceFriendlyName(LPCWSTR deviceId, WCHAR* name, DWORD* chars) override;

private:
    std::mutex m_lock;
    std::vector<DeviceDescription> m_devices;  // the attached ones, as of the last refresh
};

class CPortableDevice : public com::ObjectRoot<com::FreeThreading>, public IPortableDevice {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CPortableDevice, IPortableDevice>(IID_IPortableDevice),
            {},
        };
        return table;
    }
    void FinalRelease() { Close(); }

    STDMETHODIMP Open(LPCWSTR deviceId, IPortableDeviceValues* clientInformation) override;
    STDMETHODIMP SendCommand(DWORD flags, IPortableDeviceValues* parameters, IPortableDeviceValues** results) override;
    STDMETHODIMP Content(IPortableDeviceContent** content) override;
    STDMETHODIMP Close() override;
    STDMETHODIMP Advise(DWORD flags, IPortableDeviceEventCallback* callback, IPortableDeviceValues* parameters,
                        LPWSTR* cookie) override;
    STDMETHODIMP Unadvise(LPCWSTR cookie) override;

private:
    // S_OK when open on a device that is still there.
    HRESULT Usable() const;

    bool m_open = false;
    DeviceDescription m_device;
    std::wstring m_client;
};

}  // namespace wpdstandin
