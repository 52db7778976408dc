// The device manager's interfaces as this suite declares them: the manager, its device and
// storage enumerations, devices, storages and their control (insert, delete, rename, read),
// storage globals, metadata objects and album references. The progress callback is declared in
// WmdmProgress.h.
//
// Only the members the suite calls, in our own slot order; the wizard and the stand-in
// (platform/wmdm/standin) are built from this one header, so they always agree. The class of
// the manager, the manager's interface, the device's extended interface and the protocol ids
// are the system's; the other interface ids are our own.
//
//     com::ComPtr<IComponentAuthenticate> created;
//     CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate, created.PutVoid());
//     com::ComPtr<IWMDeviceManager> manager;
//     created.As(&manager, IID_IWMDeviceManager);
//     com::ComPtr<IWMDMEnumDevice> devices;
//     manager->EnumDevices(devices.Put());
//     IWMDMDevice* device = nullptr;
//     ULONG fetched = 0;
//     while (devices->Next(1, &device, &fetched) == S_OK) { ...; device->Release(); }
#pragma once

#include "WmdmProgress.h"

#include <windows.h>
#include <objidl.h>
#include <propidl.h>

namespace wmdm {

// Modes of the storage-control calls (bits).
inline constexpr UINT kModeBlock = 0x1;
inline constexpr UINT kContentFile = 0x4;
inline constexpr UINT kContentFolder = 0x8;
inline constexpr UINT kModeRecursive = 0x40;
inline constexpr UINT kModeTransferProtected = 0x80;
inline constexpr UINT kInsertInto = 0x800;
inline constexpr UINT kFileCreateOverwrite = 0x100000;

// Device status and type bits.
inline constexpr DWORD kStatusReady = 0x1;
inline constexpr DWORD kStatusBusy = 0x2;
inline constexpr DWORD kTypeStorage = 0x10;
inline constexpr DWORD kTypeNonSdmi = 0x80;

// Storage attribute bits.
inline constexpr DWORD kAttrFolder = 0x8;
inline constexpr DWORD kAttrCanDelete = 0x8000;
inline constexpr DWORD kAttrReadOnly = 0x1000000;
inline constexpr DWORD kAttrHasFolders = 0x2000000;
inline constexpr DWORD kAttrHasFiles = 0x4000000;

// Types of metadata items.
enum class TagType : DWORD { Dword = 0, String = 1, Binary = 2, Bool = 3, Qword = 4, Word = 5, Guid = 6, Date = 7 };

// Format codes the suite names.
inline constexpr DWORD kFormatUndefined = 0x3000;
inline constexpr DWORD kFormatAbstractAudioAlbum = 0xBA03;

// Results.
inline constexpr HRESULT kBusy = static_cast<HRESULT>(0x80045000L);
inline constexpr HRESULT kInterfaceDead = static_cast<HRESULT>(0x80045001L);
inline constexpr HRESULT kInvalidType = static_cast<HRESULT>(0x80045002L);
inline constexpr HRESULT kProcessFailed = static_cast<HRESULT>(0x80045003L);
inline constexpr HRESULT kNotSupported = static_cast<HRESULT>(0x80045004L);
inline constexpr HRESULT kNotCertified = static_cast<HRESULT>(0x80045005L);
inline constexpr HRESULT kNoRights = static_cast<HRESULT>(0x80045006L);
inline constexpr HRESULT kCallOutOfSequence = static_cast<HRESULT>(0x80045007L);
inline constexpr HRESULT kBufferTooSmall = static_cast<HRESULT>(0x80045008L);
inline constexpr HRESULT kMoreData = static_cast<HRESULT>(0x80045009L);
inline constexpr HRESULT kMacCheckFailed = static_cast<HRESULT>(0x8004500AL);
inline constexpr HRESULT kRevoked = static_cast<HRESULT>(0x8004500FL);
inline constexpr HRESULT kLicenseNotExist = static_cast<HRESULT>(0x80045012L);
inline constexpr HRESULT kNoContentProtection = static_cast<HRESULT>(0xC00D00CDL);
inline constexpr HRESULT kDrmNotLicensed = static_cast<HRESULT>(0xC00D2767L);

// Property and metadata names.
inline constexpr wchar_t kDeviceProtocol[] = L"WMDM/DeviceProtocol";
inline constexpr wchar_t kDeviceFriendlyName[] = L"WMDM/DeviceFriendlyName";
inline constexpr wchar_t kDeviceModelName[] = L"WMDM/DeviceModelName";
inline constexpr wchar_t kFormatsSupported[] = L"WMDM/FormatsSupported";
inline constexpr wchar_t kTitle[] = L"WMDM/Title";
inline constexpr wchar_t kAuthor[] = L"WMDM/Author";
inline constexpr wchar_t kAlbumTitle[] = L"WMDM/AlbumTitle";
inline constexpr wchar_t kGenre[] = L"WMDM/Genre";
inline constexpr wchar_t kYear[] = L"WMDM/Year";
inline constexpr wchar_t kIsProtected[] = L"WMDM/IsProtected";
inline constexpr wchar_t kBitrate[] = L"WMDM/Bitrate";
inline constexpr wchar_t kTrack[] = L"WMDM/Track";
inline constexpr wchar_t kDuration[] = L"WMDM/Duration";
inline constexpr wchar_t kFormatCode[] = L"WMDM/FormatCode";
inline constexpr wchar_t kAlbumCoverData[] = L"WMDM/AlbumCoverData";
inline constexpr wchar_t kAlbumCoverFormat[] = L"WMDM/AlbumCoverFormat";
inline constexpr wchar_t kAlbumCoverWidth[] = L"WMDM/AlbumCoverWidth";
inline constexpr wchar_t kAlbumCoverHeight[] = L"WMDM/AlbumCoverHeight";

// Longest names the suite reads.
inline constexpr UINT kDeviceNameChars = 100;
inline constexpr UINT kStorageNameChars = 260;

}  // namespace wmdm

// A device's serial number: its size field is sizeof(WMDMID) (140, on every architecture).
struct WMDMID {
    UINT cbSize;
    DWORD dwVendorID;
    BYTE pID[128];
    UINT SerialNumberLength;
};
static_assert(sizeof(WMDMID) == 140, "the serial number record has one layout on every architecture");

inline constexpr CLSID CLSID_MediaDevMgr = {0x25BAAD81, 0x3560, 0x11D3, {0x84, 0x71, 0x00, 0xC0, 0x4F, 0x79, 0xDB, 0xC0}};
inline constexpr GUID WMDM_DEVICE_PROTOCOL_MTP = {0x979E54E5, 0x0AFC, 0x4604, {0x8D, 0x93, 0xDC, 0x79, 0x8A, 0x4B, 0xCF, 0x45}};
inline constexpr GUID WMDM_DEVICE_PROTOCOL_RAPI = {0x2A11ED91, 0x8C8F, 0x41E4, {0x82, 0xD1, 0x83, 0x86, 0xE0, 0x03, 0x56, 0x1C}};

inline constexpr IID IID_IWMDeviceManager = {0x1DCB3A00, 0x33ED, 0x11D3, {0x84, 0x70, 0x00, 0xC0, 0x4F, 0x79, 0xDB, 0xC0}};
inline constexpr IID IID_IWMDMDevice3 = {0x6C03E4FE, 0x05DB, 0x4DDA, {0x9E, 0x3C, 0x06, 0x23, 0x3A, 0x6D, 0x5D, 0x65}};
inline constexpr IID IID_IComponentAuthenticate = {0xD956C113, 0x0DD3, 0x413D, {0xAB, 0x5B, 0x87, 0x7B, 0x07, 0x5E, 0x52, 0x1F}};
inline constexpr IID IID_IWMDeviceManager2 = {0xE55F6008, 0x2E5D, 0x4ADD, {0x90, 0x46, 0x8E, 0x9E, 0x28, 0x04, 0x0E, 0x48}};
inline constexpr IID IID_IWMDMEnumDevice = {0xE8F2B76F, 0x8ED5, 0x4EC7, {0xA2, 0xC5, 0x92, 0x4C, 0xB3, 0xAA, 0x98, 0x96}};
inline constexpr IID IID_IWMDMDevice = {0x248DB2D9, 0x02CF, 0x454E, {0x8C, 0xAA, 0x1D, 0xE3, 0x9D, 0xA2, 0xC3, 0x1C}};
inline constexpr IID IID_IWMDMEnumStorage = {0xFE20F1AF, 0xAE35, 0x42CE, {0xBF, 0x97, 0x2E, 0x8D, 0x48, 0x8B, 0x46, 0x96}};
inline constexpr IID IID_IWMDMStorage = {0x40DC72D4, 0x6830, 0x4A8E, {0x9C, 0x32, 0x64, 0x14, 0xB8, 0xAB, 0xA9, 0x1E}};
inline constexpr IID IID_IWMDMStorage3 = {0x8CC39E54, 0xEE22, 0x4D31, {0x81, 0x81, 0xFB, 0x2F, 0x38, 0x0E, 0x43, 0x33}};
inline constexpr IID IID_IWMDMStorage4 = {0xD534A040, 0xAE6B, 0x418E, {0xB1, 0x12, 0xA2, 0x72, 0x88, 0xA7, 0x5D, 0x14}};
inline constexpr IID IID_IWMDMStorageGlobals = {0xE43FC77B, 0x443A, 0x4640, {0x96, 0xE6, 0xBB, 0x34, 0x8B, 0xA2, 0x4A, 0x4A}};
inline constexpr IID IID_IWMDMStorageControl = {0x68058574, 0x333C, 0x45C7, {0x80, 0x26, 0x3D, 0x85, 0x46, 0x56, 0x1C, 0x56}};
inline constexpr IID IID_IWMDMStorageControl3 = {0x32B8C2E1, 0xE699, 0x4C44, {0x9B, 0x56, 0xA7, 0x4A, 0xDE, 0x0E, 0xEB, 0x25}};
inline constexpr IID IID_IWMDMMetaData = {0x78C6716B, 0xA1F0, 0x4732, {0x98, 0xAE, 0x6F, 0x7D, 0xC6, 0xEF, 0xC1, 0x94}};
inline constexpr IID IID_IWMDMOperation = {0x46F7FEED, 0xD2FB, 0x47AE, {0xBF, 0x5E, 0x84, 0x97, 0xBE, 0x84, 0xD5, 0x52}};

struct IWMDMDevice;
struct IWMDMStorage;

// What CoCreateInstance of the manager's class asks for; the suite only queries it onwards.
struct IComponentAuthenticate : public IUnknown {};

struct IWMDMEnumDevice : public IUnknown {
    // Up to count devices (the suite asks for one at a time); S_FALSE when fewer were left.
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IWMDMDevice** devices, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IWMDeviceManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumDevices(IWMDMEnumDevice** devices) = 0;
};

struct IWMDeviceManager2 : public IWMDeviceManager {
    virtual HRESULT STDMETHODCALLTYPE EnumDevices2(IWMDMEnumDevice** devices) = 0;
};

// An item of metadata: a name, a type and its bytes (text: UTF-16 with its terminator).
struct IWMDMMetaData : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddItem(wmdm::TagType type, LPCWSTR name, const BYTE* value, UINT length) = 0;
    // The item's bytes in a CoTaskMemAlloc'ed buffer the caller frees; E_INVALIDARG when absent.
    virtual HRESULT STDMETHODCALLTYPE QueryByName(LPCWSTR name, wmdm::TagType* type, BYTE** value, UINT* length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetItemCount(UINT* count) = 0;
    // The item at an index, as QueryByName gives it, with its name (CoTaskMemAlloc'ed).
    virtual HRESULT STDMETHODCALLTYPE QueryByIndex(UINT index, LPWSTR* name, wmdm::TagType* type, BYTE** value,
                                                   UINT* length) = 0;
};

// A caller's object that supplies or receives data during a transfer; the suite passes none.
struct IWMDMOperation : public IUnknown {};

struct IWMDMEnumStorage : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, IWMDMStorage** storages, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
};

struct IWMDMStorageGlobals : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetTotalSize(DWORD* low, DWORD* high) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTotalFree(DWORD* low, DWORD* high) = 0;
};

struct IWMDMStorage : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetName(LPWSTR name, UINT chars) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAttributes(DWORD* attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetAttributes(DWORD attributes) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSize(DWORD* low, DWORD* high) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStorageGlobals(IWMDMStorageGlobals** globals) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumStorage(IWMDMEnumStorage** children) = 0;
};

struct IWMDMStorage3 : public IWMDMStorage {
    virtual HRESULT STDMETHODCALLTYPE CreateEmptyMetadataObject(IWMDMMetaData** metadata) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(IWMDMMetaData** metadata) = 0;
    // Merges the items into what the storage holds.
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(IWMDMMetaData* metadata) = 0;
};

struct IWMDMStorage4 : public IWMDMStorage3 {
    // The storages this one refers to (an album: its tracks), replacing the old list.
    virtual HRESULT STDMETHODCALLTYPE SetReferences(DWORD count, IWMDMStorage** storages) = 0;
    // A CoTaskMemAlloc'ed array of held storages, which the caller releases and frees.
    virtual HRESULT STDMETHODCALLTYPE GetReferences(DWORD* count, IWMDMStorage*** storages) = 0;
};

struct IWMDMStorageControl : public IUnknown {
    // A file (source: a local path) or, with kContentFolder, a new folder (source: its name).
    virtual HRESULT STDMETHODCALLTYPE Insert(UINT mode, LPCWSTR source, IWMDMOperation* operation,
                                             IWMDMProgress* progress, IWMDMStorage** created) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(UINT mode, IWMDMProgress* progress) = 0;
    virtual HRESULT STDMETHODCALLTYPE Rename(UINT mode, LPCWSTR newName, IWMDMProgress* progress) = 0;
    // Copies the storage (a file, or a folder with what it holds) to a local path.
    virtual HRESULT STDMETHODCALLTYPE Read(UINT mode, LPCWSTR localPath, IWMDMProgress* progress,
                                           IWMDMOperation* operation) = 0;
};

struct IWMDMStorageControl3 : public IWMDMStorageControl {
    // Insert under a name of the caller's, with metadata; without a source an empty object (an
    // album) is made from the metadata alone.
    virtual HRESULT STDMETHODCALLTYPE Insert3(UINT mode, UINT type, LPCWSTR source, LPCWSTR destinationName,
                                              IWMDMOperation* operation, IWMDMProgress* progress,
                                              IWMDMMetaData* metadata, IWMDMStorage** created) = 0;
};

struct IWMDMDevice : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetName(LPWSTR name, UINT chars) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetManufacturer(LPWSTR name, UINT chars) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetType(DWORD* type) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSerialNumber(WMDMID* serial) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetStatus(DWORD* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumStorage(IWMDMEnumStorage** storages) = 0;
};

struct IWMDMDevice3 : public IWMDMDevice {
    // A property of the device; the caller clears the value (PropVariantClear).
    virtual HRESULT STDMETHODCALLTYPE GetProperty(LPCWSTR name, PROPVARIANT* value) = 0;
};
