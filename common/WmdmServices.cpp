#include "WmdmServices.h"

#include "WmMetadata.h"

#include <algorithm>
#include <cstring>

BOOL MatchDeviceSerialNumber(IWMDMDevice* device, const WMDMID& stored)
{
    if (!device)
        return FALSE;
    WMDMID serial{};
    serial.cbSize = sizeof(serial);
    if (FAILED(device->GetSerialNumber(&serial)))
        return FALSE;
    if (serial.dwVendorID != stored.dwVendorID || serial.SerialNumberLength != stored.SerialNumberLength)
        return FALSE;
    const size_t length = std::min<size_t>(serial.SerialNumberLength, sizeof(serial.pID));
    return std::memcmp(serial.pID, stored.pID, length) == 0;
}

HRESULT FindWmdmChildStorage(const wchar_t* name, IWMDMStorage* parent, IWMDMStorage** child)
{
    if (!parent || !child)
        return E_POINTER;
    if (!name)
        return E_INVALIDARG;
    IWMDMEnumStorage* children = nullptr;
    HRESULT hr = parent->EnumStorage(&children);
    if (FAILED(hr))
        return hr;
    if (!children)
        return E_FAIL;
    *child = nullptr;
    IWMDMStorage* next = nullptr;
    ULONG fetched = 0;
    while (children->Next(1, &next, &fetched) == S_OK && fetched == 1 && next) {
        wchar_t found[wmdm::kStorageNameChars] = L"";
        if (SUCCEEDED(next->GetName(found, wmdm::kStorageNameChars)) && _wcsicmp(found, name) == 0) {
            *child = next;
            break;
        }
        next->Release();
        next = nullptr;
    }
    children->Release();
    return *child ? S_OK : S_FALSE;
}

CString GetWmdmStorageName(IWMDMStorage* storage, DWORD* attributes)
{
    if (!storage)
        return CString();
    wchar_t name[wmdm::kStorageNameChars] = L"";
    if (FAILED(storage->GetName(name, wmdm::kStorageNameChars)))
        name[0] = 0;
    DWORD word = 0;
    if (attributes && SUCCEEDED(storage->GetAttributes(&word)))
        *attributes = word;
    return name;
}

DWORD DeleteWmdmStorage(IWMDMStorage* storage)
{
    if (!storage)
        return ERROR_CANNOT_MAKE;
    IWMDMStorageControl* control = nullptr;
    if (FAILED(storage->QueryInterface(IID_IWMDMStorageControl, reinterpret_cast<void**>(&control))) || !control)
        return ERROR_CANNOT_MAKE;
    const HRESULT hr = control->Delete(wmdm::kModeBlock | wmdm::kModeRecursive, nullptr);
    control->Release();
    return SUCCEEDED(hr) ? 0 : ERROR_CANNOT_MAKE;
}

namespace {

struct AttributeName {
    const wchar_t* file;    // the name in the file's header
    const wchar_t* device;  // the device manager's name
};
constexpr AttributeName kAttributes[] = {
    {L"Title", wmdm::kTitle},          {L"Author", wmdm::kAuthor},         {L"WM/AlbumTitle", wmdm::kAlbumTitle},
    {L"WM/Genre", wmdm::kGenre},       {L"WM/Year", wmdm::kYear},          {L"Is_Protected", wmdm::kIsProtected},
    {L"Bitrate", wmdm::kBitrate},      {L"WM/Track", wmdm::kTrack},        {L"Duration", wmdm::kDuration},
};

// Adds each attribute the header holds to the metadata object (context).
HRESULT AddAttributes(IWMHeaderInfo* header, void* context)
{
    IWMDMMetaData* metadata = static_cast<IWMDMMetaData*>(context);
    HRESULT hr = S_OK;
    for (const AttributeName& attribute : kAttributes) {
        QWORD number = 0;
        BYTE* value = reinterpret_cast<BYTE*>(&number);
        WORD length = sizeof(number);
        WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
        if (FAILED(ReadWmAttribute(header, attribute.file, &value, &length, &type)))
            continue;  // not in the file: not added
        switch (type) {
        case WMT_TYPE_STRING:
            hr = metadata->AddItem(wmdm::TagType::String, attribute.device, value, length);
            delete[] value;
            break;
        case WMT_TYPE_DWORD:
            hr = metadata->AddItem(wmdm::TagType::Dword, attribute.device, value, sizeof(DWORD));
            break;
        case WMT_TYPE_BOOL:
            hr = metadata->AddItem(wmdm::TagType::Bool, attribute.device, value, sizeof(DWORD));
            break;
        case WMT_TYPE_WORD: {
            const DWORD widened = static_cast<WORD>(number);
            hr = metadata->AddItem(wmdm::TagType::Dword, attribute.device, reinterpret_cast<const BYTE*>(&widened),
                                   sizeof(widened));
            break;
        }
        case WMT_TYPE_QWORD:
            hr = metadata->AddItem(wmdm::TagType::Qword, attribute.device, value, sizeof(QWORD));
            break;
        default:
            break;  // a kind the device manager's names do not carry
        }
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT ReadWmAttributes(const wchar_t* sourceFile, IWMDMMetaData* metadata, DWORD)
{
    if (!sourceFile || !metadata)
        return E_POINTER;
    return ReadWmFileHeader(sourceFile, &AddAttributes, metadata);
}
