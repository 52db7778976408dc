// The stand-in's objects: the manager, the device enumeration, devices, storage enumerations,
// storages (with their control), storage globals and metadata objects. Every one aggregates
// the free-threaded marshaler, so that callers may hand them between apartments that end.
#pragma once

#include "Devices.h"
#include "FreeThreadedMarshaler.h"
#include "Wmdm.h"

#include <mutex>
#include <string>
#include <vector>

namespace wmdmstandin {

// Where a storage lies: a device, one of its storages, a path below the storage's folder
// ("" for the storage itself).
struct Location {
    DeviceDescription device;
    size_t storage = 0;
    std::wstring relative;

    const StorageDescription& Storage() const { return device.storages[storage]; }
    std::wstring Path() const { return relative.empty() ? Storage().folder : Storage().folder + L"\\" + relative; }
    std::wstring Name() const;
    bool IsRoot() const { return relative.empty(); }
    Location Child(const std::wstring& name) const;
};

inline constexpr IID IID_IStandInStorage = {0x25848296, 0x8EF0, 0x4514, {0xAE, 0x44, 0x3D, 0x8C, 0x7C, 0x18, 0x90, 0xCD}};
// How the stand-in knows one of its own storages handed back to it (album references).
struct IStandInStorage : public IUnknown {
    virtual const Location& STDMETHODCALLTYPE Where() = 0;
};

class CDeviceManager : public com::FreeThreadedRoot, public IComponentAuthenticate, public IWMDeviceManager2 {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CDeviceManager, IComponentAuthenticate>(IID_IComponentAuthenticate),
            com::Implements<CDeviceManager, IWMDeviceManager2>(IID_IWMDeviceManager),
            com::Implements<CDeviceManager, IWMDeviceManager2>(IID_IWMDeviceManager2),
            com::MarshalsFreeThreaded<CDeviceManager>(),
            {},
        };
        return table;
    }
    STDMETHODIMP EnumDevices(IWMDMEnumDevice** devices) override;
    STDMETHODIMP EnumDevices2(IWMDMEnumDevice** devices) override { return EnumDevices(devices); }
};

class CEnumDevice : public com::FreeThreadedRoot, public IWMDMEnumDevice {
public:
    explicit CEnumDevice(std::vector<DeviceDescription> devices) : m_devices(std::move(devices)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CEnumDevice, IWMDMEnumDevice>(IID_IWMDMEnumDevice),
            com::MarshalsFreeThreaded<CEnumDevice>(),
            {},
        };
        return table;
    }
    STDMETHODIMP Next(ULONG count, IWMDMDevice** devices, ULONG* fetched) override;
    STDMETHODIMP Reset() override;

private:
    std::vector<DeviceDescription> m_devices;
    LONG m_next = 0;
};

class CDevice : public com::FreeThreadedRoot, public IWMDMDevice3 {
public:
    explicit CDevice(DeviceDescription device) : m_device(std::move(device)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CDevice, IWMDMDevice3>(IID_IWMDMDevice),
            {&IID_IWMDMDevice3, nullptr, &QueryDevice3},
            com::MarshalsFreeThreaded<CDevice>(),
            {},
        };
        return table;
    }
    STDMETHODIMP GetName(LPWSTR name, UINT chars) override;
    STDMETHODIMP GetManufacturer(LPWSTR name, UINT chars) override;
    STDMETHODIMP GetType(DWORD* type) override;
    STDMETHODIMP GetSerialNumber(WMDMID* serial) override;
    STDMETHODIMP GetStatus(DWORD* status) override;
    STDMETHODIMP EnumStorage(IWMDMEnumStorage** storages) override;
    STDMETHODIMP GetProperty(LPCWSTR name, PROPVARIANT* value) override;

private:
    // The extended interface only for a device that offers it.
    static HRESULT QueryDevice3(void* object, REFIID iid, void** result);

    DeviceDescription m_device;
};

class CEnumStorage : public com::FreeThreadedRoot, public IWMDMEnumStorage {
public:
    explicit CEnumStorage(std::vector<Location> storages) : m_storages(std::move(storages)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CEnumStorage, IWMDMEnumStorage>(IID_IWMDMEnumStorage),
            com::MarshalsFreeThreaded<CEnumStorage>(),
            {},
        };
        return table;
    }
    STDMETHODIMP Next(ULONG count, IWMDMStorage** storages, ULONG* fetched) override;
    STDMETHODIMP Reset() override;

private:
    std::vector<Location> m_storages;
    LONG m_next = 0;
};

class CStorageGlobals : public com::FreeThreadedRoot, public IWMDMStorageGlobals {
public:
    explicit CStorageGlobals(StorageDescription storage) : m_storage(std::move(storage)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CStorageGlobals, IWMDMStorageGlobals>(IID_IWMDMStorageGlobals),
            com::MarshalsFreeThreaded<CStorageGlobals>(),
            {},
        };
        return table;
    }
    STDMETHODIMP GetTotalSize(DWORD* low, DWORD* high) override;
    STDMETHODIMP GetTotalFree(DWORD* low, DWORD* high) override;

private:
    StorageDescription m_storage;
};

class CMetaData : public com::FreeThreadedRoot, public IWMDMMetaData {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CMetaData, IWMDMMetaData>(IID_IWMDMMetaData),
            com::MarshalsFreeThreaded<CMetaData>(),
            {},
        };
        return table;
    }
    STDMETHODIMP AddItem(wmdm::TagType type, LPCWSTR name, const BYTE* value, UINT length) override;
    STDMETHODIMP QueryByName(LPCWSTR name, wmdm::TagType* type, BYTE** value, UINT* length) override;
    STDMETHODIMP GetItemCount(UINT* count) override;
    STDMETHODIMP QueryByIndex(UINT index, LPWSTR* name, wmdm::TagType* type, BYTE** value, UINT* length) override;

private:
    struct Item {
        std::wstring name;
        wmdm::TagType type;
        std::vector<BYTE> value;
    };
    std::mutex m_lock;
    std::vector<Item> m_items;
};

class CStorage : public com::FreeThreadedRoot, public IWMDMStorage4, public IWMDMStorageControl3, public IStandInStorage {
public:
    explicit CStorage(Location where) : m_where(std::move(where)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CStorage, IWMDMStorage4>(IID_IWMDMStorage),
            com::Implements<CStorage, IWMDMStorage4>(IID_IWMDMStorage3),
            com::Implements<CStorage, IWMDMStorage4>(IID_IWMDMStorage4),
            com::Implements<CStorage, IWMDMStorageControl3>(IID_IWMDMStorageControl),
            com::Implements<CStorage, IWMDMStorageControl3>(IID_IWMDMStorageControl3),
            com::Implements<CStorage, IStandInStorage>(IID_IStandInStorage),
            com::MarshalsFreeThreaded<CStorage>(),
            {},
        };
        return table;
    }

    // IWMDMStorage4
    STDMETHODIMP GetName(LPWSTR name, UINT chars) override;
    STDMETHODIMP GetAttributes(DWORD* attributes) override;
    STDMETHODIMP SetAttributes(DWORD attributes) override;
    STDMETHODIMP GetSize(DWORD* low, DWORD* high) override;
    STDMETHODIMP GetStorageGlobals(IWMDMStorageGlobals** globals) override;
    STDMETHODIMP EnumStorage(IWMDMEnumStorage** children) override;
    STDMETHODIMP CreateEmptyMetadataObject(IWMDMMetaData** metadata) override;
    STDMETHODIMP GetMetadata(IWMDMMetaData** metadata) override;
    STDMETHODIMP SetMetadata(IWMDMMetaData* metadata) override;
    STDMETHODIMP SetReferences(DWORD count, IWMDMStorage** storages) override;
    STDMETHODIMP GetReferences(DWORD* count, IWMDMStorage*** storages) override;
    // IWMDMStorageControl3
    STDMETHODIMP Insert(UINT mode, LPCWSTR source, IWMDMOperation* operation, IWMDMProgress* progress,
                        IWMDMStorage** created) override;
    STDMETHODIMP Delete(UINT mode, IWMDMProgress* progress) override;
    STDMETHODIMP Rename(UINT mode, LPCWSTR newName, IWMDMProgress* progress) override;
    STDMETHODIMP Read(UINT mode, LPCWSTR localPath, IWMDMProgress* progress, IWMDMOperation* operation) override;
    STDMETHODIMP Insert3(UINT mode, UINT type, LPCWSTR source, LPCWSTR destinationName, IWMDMOperation* operation,
                         IWMDMProgress* progress, IWMDMMetaData* metadata, IWMDMStorage** created) override;
    // IStandInStorage
    const Location& STDMETHODCALLTYPE Where() override { return m_where; }

private:
    // The checks every call makes: the object is still there, and the injected failure.
    HRESULT Usable(const wchar_t* call) const;
    HRESULT InsertObject(UINT mode, LPCWSTR source, const std::wstring& name, IWMDMProgress* progress,
                         IWMDMMetaData* metadata, IWMDMStorage** created, const wchar_t* call);

    Location m_where;
};

}  // namespace wmdmstandin
