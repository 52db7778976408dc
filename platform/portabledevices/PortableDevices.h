// The portable-devices interfaces as this suite uses them: the property containers come from
// the system header (portabledevicetypes.h); the device interfaces, which the system lacks
// here, are declared by us with only the members our modules call, in our own order. Their
// v-tables are ours: the server and the stand-in (platform/portabledevices) are built from this
// one header, so they always agree.
//
//     com::ComPtr<IPortableDeviceManager> manager;
//     CoCreateInstance(CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER,
//                      IID_IPortableDeviceManager, manager.PutVoid());
//     DWORD count = 0;
//     manager->GetDevices(nullptr, &count);
#pragma once

#include <windows.h>
#include <objidl.h>
#include <propidl.h>
#include <portabledevicetypes.h>

// Keys and ids are constexpr values of our own (the system header only declares the
// container interfaces' ids, which libportabledeviceguids provides).
namespace wpd {

constexpr GUID Guid(unsigned long a, unsigned short b, unsigned short c, unsigned char d0, unsigned char d1,
                    unsigned char d2, unsigned char d3, unsigned char d4, unsigned char d5, unsigned char d6,
                    unsigned char d7)
{
    return GUID{a, b, c, {d0, d1, d2, d3, d4, d5, d6, d7}};
}

constexpr PROPERTYKEY Key(const GUID& fmtid, DWORD pid) { return PROPERTYKEY{fmtid, pid}; }

inline bool SameKey(const PROPERTYKEY& a, const PROPERTYKEY& b)
{
    return IsEqualGUID(a.fmtid, b.fmtid) && a.pid == b.pid;
}

// Namespaces of the keys.
inline constexpr GUID kClientNamespace = Guid(0x204D9F0C, 0x2292, 0x4080, 0x9F, 0x42, 0x40, 0x66, 0x4E, 0x70, 0xF8, 0x59);
inline constexpr GUID kCommandNamespace = Guid(0xF0422A9C, 0x5DC8, 0x4440, 0xB5, 0xBD, 0x5D, 0xF2, 0x88, 0x35, 0x65, 0x8A);
inline constexpr GUID kDeviceNamespace = Guid(0x26D4979A, 0xE643, 0x4626, 0x9E, 0x2B, 0x73, 0x6D, 0xC0, 0xC9, 0x2F, 0xDC);
inline constexpr GUID kEventNamespace = Guid(0x15AB1953, 0xF817, 0x4FEF, 0xA9, 0x21, 0x56, 0x76, 0xE8, 0x38, 0xF6, 0xE0);
inline constexpr GUID kObjectNamespace = Guid(0xEF6B490D, 0x5CD8, 0x437A, 0xAF, 0xFC, 0xDA, 0x8B, 0x60, 0xEE, 0x4A, 0x3C);
inline constexpr GUID kMediaNamespace = Guid(0x2ED8BA05, 0x0AD3, 0x42DC, 0xB0, 0xD0, 0xBC, 0x95, 0xAC, 0x39, 0x6A, 0xC8);
inline constexpr GUID kMusicNamespace = Guid(0xB324F56A, 0xDC5D, 0x46E5, 0xB6, 0xDF, 0xD2, 0xEA, 0x41, 0x48, 0x88, 0xC6);
inline constexpr GUID kResourceNamespace = Guid(0x1EB6F604, 0x9278, 0x429F, 0x93, 0xCC, 0x5B, 0xB8, 0xC0, 0x66, 0x56, 0xB6);
inline constexpr GUID kMtpNamespace = Guid(0x4D545058, 0x4FCE, 0x4578, 0x95, 0xC8, 0x86, 0x98, 0xA9, 0xBC, 0x0F, 0x49);
inline constexpr GUID kStorageNamespace = Guid(0x01A3057A, 0x74D6, 0x4E80, 0xBE, 0xA7, 0xDC, 0x4C, 0x21, 0x2C, 0xE5, 0x0A);
inline constexpr GUID kApiOptionNamespace = Guid(0x10E54A3E, 0x052D, 0x4777, 0xA1, 0x3C, 0xDE, 0x76, 0x14, 0xBE, 0x2B, 0xC4);
inline constexpr GUID kAlbumArtNamespace = Guid(0xF02AA354, 0x2300, 0x4E2D, 0xA1, 0xB9, 0x3B, 0x67, 0x30, 0xF7, 0xFA, 0x21);
// The device's private command that names the client holding it, and its result keys.
inline constexpr GUID kHoldingClientCategory = Guid(0xB38FC1D8, 0x4074, 0x4970, 0x83, 0x89, 0xBF, 0xF3, 0xFF, 0xE7, 0xDE, 0x4F);
inline constexpr GUID kHoldingClientResults = Guid(0xAC9DEC55, 0xFB7A, 0x4BAA, 0xB0, 0x6A, 0xEB, 0xB9, 0xD8, 0x95, 0x98, 0xDF);

inline constexpr PROPERTYKEY CLIENT_NAME = Key(kClientNamespace, 2);
inline constexpr PROPERTYKEY CLIENT_MAJOR_VERSION = Key(kClientNamespace, 3);
inline constexpr PROPERTYKEY CLIENT_MINOR_VERSION = Key(kClientNamespace, 4);
inline constexpr PROPERTYKEY CLIENT_REVISION = Key(kClientNamespace, 5);
inline constexpr PROPERTYKEY COMMAND_CATEGORY = Key(kCommandNamespace, 1001);
inline constexpr PROPERTYKEY COMMAND_ID = Key(kCommandNamespace, 1002);
inline constexpr PROPERTYKEY HOLDING_CLIENT_NAME = Key(kHoldingClientResults, 1);
inline constexpr PROPERTYKEY HOLDING_CLIENT_VALUE = Key(kHoldingClientResults, 2);
inline constexpr PROPERTYKEY DEVICE_FIRMWARE_VERSION = Key(kDeviceNamespace, 3);
inline constexpr PROPERTYKEY EVENT_PARAMETER_PNP_DEVICE_ID = Key(kEventNamespace, 2);
inline constexpr PROPERTYKEY EVENT_PARAMETER_EVENT_ID = Key(kEventNamespace, 3);

inline constexpr PROPERTYKEY OBJECT_ID = Key(kObjectNamespace, 2);
inline constexpr PROPERTYKEY OBJECT_PARENT_ID = Key(kObjectNamespace, 3);
inline constexpr PROPERTYKEY OBJECT_NAME = Key(kObjectNamespace, 4);
inline constexpr PROPERTYKEY OBJECT_FORMAT = Key(kObjectNamespace, 6);
inline constexpr PROPERTYKEY OBJECT_CONTENT_TYPE = Key(kObjectNamespace, 7);
inline constexpr PROPERTYKEY OBJECT_ISHIDDEN = Key(kObjectNamespace, 9);
inline constexpr PROPERTYKEY OBJECT_ISSYSTEM = Key(kObjectNamespace, 10);
inline constexpr PROPERTYKEY OBJECT_SIZE = Key(kObjectNamespace, 11);
inline constexpr PROPERTYKEY OBJECT_ORIGINAL_FILE_NAME = Key(kObjectNamespace, 12);
inline constexpr PROPERTYKEY OBJECT_CAN_DELETE = Key(kObjectNamespace, 26);

inline constexpr PROPERTYKEY MEDIA_GENRE = Key(kMediaNamespace, 10);
inline constexpr PROPERTYKEY MEDIA_SUB_TITLE = Key(kMediaNamespace, 13);
inline constexpr PROPERTYKEY MEDIA_TITLE = Key(kMediaNamespace, 18);
inline constexpr PROPERTYKEY MEDIA_DURATION = Key(kMediaNamespace, 19);
inline constexpr PROPERTYKEY MEDIA_ARTIST = Key(kMediaNamespace, 24);
inline constexpr PROPERTYKEY MEDIA_ALBUM_ARTIST = Key(kMediaNamespace, 25);
inline constexpr PROPERTYKEY MUSIC_ALBUM = Key(kMusicNamespace, 3);
inline constexpr PROPERTYKEY MUSIC_TRACK = Key(kMusicNamespace, 4);
// Raw MTP object properties: 0xDC08 (date authored) and 0xDA9A.
inline constexpr PROPERTYKEY MTP_DATE_AUTHORED = Key(kMtpNamespace, 56328);
inline constexpr PROPERTYKEY MTP_DA9A = Key(kMtpNamespace, 55962);

inline constexpr PROPERTYKEY RESOURCE_TOTAL_SIZE = Key(kResourceNamespace, 2);
inline constexpr PROPERTYKEY RESOURCE_CAN_READ = Key(kResourceNamespace, 3);
inline constexpr PROPERTYKEY RESOURCE_CAN_WRITE = Key(kResourceNamespace, 4);
inline constexpr PROPERTYKEY RESOURCE_CAN_DELETE = Key(kResourceNamespace, 5);
inline constexpr PROPERTYKEY RESOURCE_OPTIMAL_READ_BUFFER_SIZE = Key(kResourceNamespace, 6);
inline constexpr PROPERTYKEY RESOURCE_OPTIMAL_WRITE_BUFFER_SIZE = Key(kResourceNamespace, 7);
inline constexpr PROPERTYKEY RESOURCE_FORMAT = Key(kResourceNamespace, 8);
inline constexpr PROPERTYKEY RESOURCE_KEY = Key(kResourceNamespace, 9);
inline constexpr PROPERTYKEY RESOURCE_ALBUM_ART = Key(kAlbumArtNamespace, 0);
inline constexpr PROPERTYKEY API_OPTION_USE_CLEAR_DATA_STREAM = Key(kApiOptionNamespace, 2);

inline constexpr PROPERTYKEY STORAGE_CAPACITY = Key(kStorageNamespace, 4);
inline constexpr PROPERTYKEY STORAGE_FREE_SPACE_IN_BYTES = Key(kStorageNamespace, 5);

inline constexpr GUID CONTENT_TYPE_AUDIO = Guid(0x4AD2C85E, 0x5E2D, 0x45E5, 0x88, 0x64, 0x4F, 0x22, 0x9E, 0x3C, 0x6C, 0xF0);
inline constexpr GUID CONTENT_TYPE_FOLDER = Guid(0x27E2E392, 0xA111, 0x48E0, 0xAB, 0x0C, 0xE1, 0x77, 0x05, 0xA0, 0x5F, 0x85);
// Content types the stand-in gives what it holds besides audio and folders.
inline constexpr GUID CONTENT_TYPE_IMAGE = Guid(0xEF2107D5, 0xA52A, 0x4243, 0xA2, 0x6B, 0x62, 0xD4, 0x17, 0x6D, 0x76, 0x03);
inline constexpr GUID CONTENT_TYPE_PLAYLIST = Guid(0x1A33F7E4, 0xAF13, 0x48F5, 0x99, 0x4E, 0x77, 0x36, 0x9D, 0xFE, 0x04, 0xA3);
inline constexpr GUID CONTENT_TYPE_FUNCTIONAL_OBJECT = Guid(0x99ED0160, 0x17FF, 0x4C44, 0x9D, 0x98, 0x1D, 0x7A, 0x6F, 0x94, 0x19, 0x21);
inline constexpr GUID CONTENT_TYPE_UNSPECIFIED = Guid(0x28D8D31E, 0x249C, 0x454E, 0xAA, 0xBC, 0x34, 0x88, 0x31, 0x68, 0xE6, 0x34);

// An object format: its MTP format code in the first word.
constexpr GUID Format(unsigned short code)
{
    return Guid(static_cast<unsigned long>(code) << 16, 0xAE6C, 0x4804, 0x98, 0xBA, 0xC5, 0x7B, 0x46, 0x96, 0x5F, 0xE7);
}
inline constexpr GUID FORMAT_PROPERTIES_ONLY = Format(0x3001);
inline constexpr GUID FORMAT_MP3 = Format(0x3009);
inline constexpr GUID FORMAT_WMA = Format(0xB901);
inline constexpr GUID FORMAT_EXIF = Format(0x3801);
inline constexpr GUID FORMAT_JFIF = Format(0x3808);

// The event of a device that went away.
inline constexpr GUID EVENT_DEVICE_REMOVED = Guid(0xC4321225, 0xE4D8, 0x48C0, 0x81, 0xE8, 0xDF, 0x9E, 0xBF, 0x9D, 0xA0, 0x3B);

// IPortableDeviceContent::Delete: delete an object's children with it.
inline constexpr DWORD DELETE_NO_RECURSION = 0;
inline constexpr DWORD DELETE_WITH_RECURSION = 1;

// The ids of the root object and of the storage the suite works in.
inline constexpr wchar_t kDeviceObjectId[] = L"DEVICE";
inline constexpr wchar_t kStorageObjectId[] = L"s10001";

// The code a device answers while it is busy with another request.
inline constexpr HRESULT E_DEVICE_BUSY = static_cast<HRESULT>(0x80045000);

}  // namespace wpd

inline constexpr CLSID CLSID_PortableDeviceManager = wpd::Guid(0x0AF10CEC, 0x2ECD, 0x4B92, 0x95, 0x81, 0x34, 0xF6, 0xAE, 0x06, 0x37, 0xF3);
inline constexpr CLSID CLSID_PortableDevice = wpd::Guid(0x728A21C5, 0x3D9E, 0x48D7, 0x98, 0x10, 0x86, 0x48, 0x48, 0xF0, 0xF4, 0x04);
inline constexpr CLSID CLSID_PortableDeviceKeyCollection = wpd::Guid(0xDE2D022D, 0x2480, 0x43BE, 0x97, 0xF0, 0xD1, 0xFA, 0x2C, 0xF9, 0x8F, 0x4F);
inline constexpr CLSID CLSID_PortableDevicePropVariantCollection = wpd::Guid(0x08A99E2F, 0x6D6D, 0x4B80, 0xAF, 0x5A, 0xBA, 0xF2, 0xBC, 0xBE, 0x4C, 0xB9);
// CLSID_PortableDeviceValues and the container interfaces' ids: portabledevicetypes.h.

inline constexpr IID IID_IPortableDeviceManager = wpd::Guid(0xA1567595, 0x4C2F, 0x4574, 0xA6, 0xFA, 0xEC, 0xEF, 0x91, 0x7B, 0x9A, 0x40);
inline constexpr IID IID_IPortableDevice = wpd::Guid(0x625E2DF8, 0x6392, 0x4CF0, 0x9A, 0xD1, 0x3C, 0xFA, 0x5F, 0x17, 0x77, 0x5C);
inline constexpr IID IID_IPortableDeviceEventCallback = wpd::Guid(0xA8792A31, 0xF385, 0x493C, 0xA8, 0x93, 0x40, 0xF6, 0x4E, 0xB4, 0x5F, 0x6E);
inline constexpr IID IID_IPortableDeviceDataStream = wpd::Guid(0x88E04DB3, 0x1012, 0x4D64, 0x99, 0x96, 0xF7, 0x03, 0xA9, 0x50, 0xD3, 0xF4);
// Interfaces only ever reached through another's getter: ids of our own.
inline constexpr IID IID_IPortableDeviceContent = wpd::Guid(0x5E1A3F20, 0x7C41, 0x4B9E, 0x8D, 0x16, 0x2A, 0x90, 0x4C, 0x6B, 0x11, 0x01);
inline constexpr IID IID_IPortableDeviceProperties = wpd::Guid(0x5E1A3F20, 0x7C41, 0x4B9E, 0x8D, 0x16, 0x2A, 0x90, 0x4C, 0x6B, 0x11, 0x02);
inline constexpr IID IID_IPortableDeviceResources = wpd::Guid(0x5E1A3F20, 0x7C41, 0x4B9E, 0x8D, 0x16, 0x2A, 0x90, 0x4C, 0x6B, 0x11, 0x03);
inline constexpr IID IID_IEnumPortableDeviceObjectIDs = wpd::Guid(0x5E1A3F20, 0x7C41, 0x4B9E, 0x8D, 0x16, 0x2A, 0x90, 0x4C, 0x6B, 0x11, 0x04);

// Lists the devices attached to the computer.
struct IPortableDeviceManager : public IUnknown {
    // ids null: *count = the number of devices. Otherwise fills up to *count ids (task memory,
    // freed by the caller) and sets *count to the number filled.
    virtual HRESULT STDMETHODCALLTYPE GetDevices(LPWSTR* ids, DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE RefreshDeviceList() = 0;
    // name null: *chars = the length with its terminator. Otherwise the name, cut to *chars.
    virtual HRESULT STDMETHODCALLTYPE GetDeviceFriendlyName(LPCWSTR deviceId, WCHAR* name, DWORD* chars) = 0;
};

struct IPortableDeviceEventCallback : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE OnEvent(IPortableDeviceValues* parameters) = 0;
};

struct IEnumPortableDeviceObjectIDs : public IUnknown {
    // Up to count ids (task memory); S_FALSE when fewer than count were left.
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, LPWSTR* ids, ULONG* fetched) = 0;
};

struct IPortableDeviceProperties : public IUnknown {
    // S_OK when every key was read; S_FALSE when some could not be (their values are VT_ERROR).
    virtual HRESULT STDMETHODCALLTYPE GetValues(LPCWSTR objectId, IPortableDeviceKeyCollection* keys,
                                                IPortableDeviceValues** values) = 0;
};

struct IPortableDeviceResources : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateResource(IPortableDeviceValues* attributes, IStream** data,
                                                     DWORD* optimalBufferSize, LPWSTR* cookie) = 0;
};

struct IPortableDeviceContent : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE EnumObjects(DWORD flags, LPCWSTR parentId, IPortableDeviceValues* filter,
                                                  IEnumPortableDeviceObjectIDs** objects) = 0;
    virtual HRESULT STDMETHODCALLTYPE Properties(IPortableDeviceProperties** properties) = 0;
    virtual HRESULT STDMETHODCALLTYPE Transfer(IPortableDeviceResources** resources) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesOnly(IPortableDeviceValues* values, LPWSTR* objectId) = 0;
    // The object exists once the returned stream is committed.
    virtual HRESULT STDMETHODCALLTYPE CreateObjectWithPropertiesAndData(IPortableDeviceValues* values, IStream** data,
                                                                        DWORD* optimalBufferSize, LPWSTR* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Delete(DWORD options, IPortableDevicePropVariantCollection* objectIds,
                                             IPortableDevicePropVariantCollection** results) = 0;
};

// The stream of a new object; after Commit it names the object.
struct IPortableDeviceDataStream : public IStream {
    virtual HRESULT STDMETHODCALLTYPE GetObjectID(LPWSTR* objectId) = 0;
};

struct IPortableDevice : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Open(LPCWSTR deviceId, IPortableDeviceValues* clientInformation) = 0;
    virtual HRESULT STDMETHODCALLTYPE SendCommand(DWORD flags, IPortableDeviceValues* parameters,
                                                  IPortableDeviceValues** results) = 0;
    virtual HRESULT STDMETHODCALLTYPE Content(IPortableDeviceContent** content) = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(DWORD flags, IPortableDeviceEventCallback* callback,
                                             IPortableDeviceValues* parameters, LPWSTR* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(LPCWSTR cookie) = 0;
};
