#include "WmdmServices.h"

#include "AfxMessageBox.h"
#include "WmMetadata.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <gdiplus.h>

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

namespace {

IWMDMStorageControl* StorageControl(IWMDMStorage* storage)
{
    IWMDMStorageControl* control = nullptr;
    if (!storage || FAILED(storage->QueryInterface(IID_IWMDMStorageControl, reinterpret_cast<void**>(&control))))
        return nullptr;
    return control;
}

bool TooLong(const wchar_t* name) { return name && wcslen(name) > MAX_PATH; }

}  // namespace

IWMDMStorage* GetFirstWmdmStorage(IWMDMDevice* device, HRESULT* hr)
{
    HRESULT result = E_POINTER;
    IWMDMStorage* storage = nullptr;
    IWMDMEnumStorage* storages = nullptr;
    if (device)
        result = device->EnumStorage(&storages);
    if (SUCCEEDED(result) && storages) {
        ULONG fetched = 0;
        if (storages->Next(1, &storage, &fetched) != S_OK) {
            ReleaseAndClear(storage);
            result = E_FAIL;
        }
        storages->Release();
    } else if (SUCCEEDED(result)) {
        result = E_FAIL;
    }
    if (hr)
        *hr = result;
    return storage;
}

DWORD CreateWmdmFolder(IWMDMStorage* storage, const wchar_t* name, IWMDMProgress* progress, IWMDMStorage** created)
{
    if (created)
        *created = nullptr;
    if (TooLong(name))
        return ERROR_FILENAME_EXCED_RANGE;
    if (!name || !*name)
        return ERROR_CANNOT_MAKE;
    IWMDMStorageControl* control = StorageControl(storage);
    if (!control)
        return ERROR_CANNOT_MAKE;
    IWMDMStorage* folder = nullptr;
    const HRESULT hr = control->Insert(wmdm::kModeBlock | wmdm::kContentFolder | wmdm::kInsertInto, name, nullptr,
                                       progress, &folder);
    control->Release();
    if (FAILED(hr)) {
        ReleaseAndClear(folder);
        return ERROR_CANNOT_MAKE;
    }
    if (created)
        *created = folder;
    else
        ReleaseAndClear(folder);
    return 0;
}

DWORD RenameWmdmStorage(IWMDMStorage* storage, const wchar_t* newName)
{
    if (TooLong(newName))
        return ERROR_FILENAME_EXCED_RANGE;
    if (!newName || !*newName)
        return ERROR_CANNOT_MAKE;
    IWMDMStorageControl* control = StorageControl(storage);
    if (!control)
        return ERROR_CANNOT_MAKE;
    const HRESULT hr = control->Rename(wmdm::kModeBlock, newName, nullptr);
    control->Release();
    return SUCCEEDED(hr) ? 0 : ERROR_CANNOT_MAKE;
}

DWORD ReadWmdmStorage(IWMDMStorage* storage, const wchar_t* localPath, BOOL isFolder)
{
    if (TooLong(localPath))
        return ERROR_FILENAME_EXCED_RANGE;
    IWMDMStorageControl* control = StorageControl(storage);
    if (!control)
        return ERROR_CANNOT_MAKE;
    const UINT mode = wmdm::kModeBlock | (isFolder ? wmdm::kContentFolder : wmdm::kContentFile);
    const HRESULT hr = control->Read(mode, localPath, nullptr, nullptr);
    control->Release();
    return SUCCEEDED(hr) ? 0 : ERROR_CANNOT_MAKE;
}

HRESULT InsertWmdmFile(IWMDMStorage* folder, const wchar_t* sourceFile, const wchar_t* destinationName,
                       IWMDMProgress* progress, IWMDMStorage** created)
{
    if (created)
        *created = nullptr;
    if (!folder)
        return E_POINTER;
    IWMDMStorage3* storage3 = nullptr;
    IWMDMStorageControl3* control3 = nullptr;
    IWMDMMetaData* metadata = nullptr;
    HRESULT hr = folder->QueryInterface(IID_IWMDMStorage3, reinterpret_cast<void**>(&storage3));
    if (SUCCEEDED(hr))
        hr = folder->QueryInterface(IID_IWMDMStorageControl3, reinterpret_cast<void**>(&control3));
    if (SUCCEEDED(hr))
        hr = storage3->CreateEmptyMetadataObject(&metadata);
    if (SUCCEEDED(hr))
        hr = ReadWmAttributes(sourceFile, metadata, 0);
    if (SUCCEEDED(hr)) {
        const DWORD code = GetFormatCodeForFile(sourceFile);
        hr = metadata->AddItem(wmdm::TagType::Dword, wmdm::kFormatCode, reinterpret_cast<const BYTE*>(&code),
                               sizeof(code));
    }
    if (SUCCEEDED(hr)) {
        const UINT mode = wmdm::kModeBlock | wmdm::kContentFile | wmdm::kModeTransferProtected | wmdm::kInsertInto |
                          wmdm::kFileCreateOverwrite;
        hr = control3->Insert3(mode, 8, sourceFile, destinationName, nullptr, progress, metadata, created);
    }
    ReleaseAndClear(metadata);
    ReleaseAndClear(control3);
    ReleaseAndClear(storage3);
    return hr;
}

BOOL IsFormatSupportedByDevice(IWMDMDevice* device, DWORD formatCode, BOOL verbose, CString* report)
{
    CString text;
    BOOL found = FALSE;
    IWMDMDevice3* device3 = nullptr;
    HRESULT hr = device ? device->QueryInterface(IID_IWMDMDevice3, reinterpret_cast<void**>(&device3)) : E_POINTER;
    if (FAILED(hr) || !device3) {
        text.Format(L"IsDevWMDMFormatsSupported failed: QueryInterface(IID_IWMDMDevice3) return 0x%.8X",
                    static_cast<unsigned>(hr));
    } else {
        PROPVARIANT value;
        PropVariantInit(&value);
        hr = device3->GetProperty(wmdm::kFormatsSupported, &value);
        constexpr VARTYPE kWanted = VT_ARRAY | VT_UI4;
        if (FAILED(hr) || value.vt != kWanted || !value.parray) {
            text.Format(L"Property VARIANT data type returned 0x%.8X which does not match 'VT_ARRAY | VT_UI4'(0x%.8X)",
                        static_cast<unsigned>(value.vt), static_cast<unsigned>(kWanted));
        } else {
            LONG lower = 0, upper = -1;
            SafeArrayGetLBound(value.parray, 1, &lower);
            SafeArrayGetUBound(value.parray, 1, &upper);
            CString list;
            for (LONG i = lower; i <= upper; ++i) {
                ULONG code = 0;
                if (FAILED(SafeArrayGetElement(value.parray, &i, &code)))
                    continue;
                if (verbose) {
                    CString line;
                    line.Format(L"[%d]=0x%.8X\r\n", static_cast<int>(i - lower), static_cast<unsigned>(code));
                    list += line;
                }
                if (code == formatCode) {
                    found = TRUE;
                    if (!verbose)
                        break;
                }
            }
            text.Format(L"Input:\n      0x%.8X\nWMDMFormatsSupported:\n%s\n%s", static_cast<unsigned>(formatCode),
                        static_cast<const wchar_t*>(list), found ? L"Found match..." : L"NO match!");
        }
        PropVariantClear(&value);
        device3->Release();
    }
    if (verbose) {
        if (report)
            *report = text;
        else
            AfxMessageBox(text, MB_OK | MB_ICONINFORMATION);
    }
    return found;
}

BOOL AppendWmdmReferences(IWMDMStorage* storage, DWORD count, IWMDMStorage** storages)
{
    if (!storage || !count || !storages)
        return FALSE;
    IWMDMStorage4* storage4 = nullptr;
    if (FAILED(storage->QueryInterface(IID_IWMDMStorage4, reinterpret_cast<void**>(&storage4))) || !storage4)
        return FALSE;
    DWORD oldCount = 0;
    IWMDMStorage** old = nullptr;
    if (FAILED(storage4->GetReferences(&oldCount, &old)) || !old)
        oldCount = 0;
    std::vector<IWMDMStorage*> all;
    all.reserve(oldCount + count);
    for (DWORD i = 0; i < oldCount; ++i)
        if (old[i])
            all.push_back(old[i]);
    for (DWORD i = 0; i < count; ++i)
        if (storages[i])
            all.push_back(storages[i]);
    const HRESULT hr = storage4->SetReferences(static_cast<DWORD>(all.size()), all.data());
    for (DWORD i = 0; i < oldCount; ++i)
        if (old[i])
            old[i]->Release();
    if (old)
        CoTaskMemFree(old);
    storage4->Release();
    return SUCCEEDED(hr);
}

HRESULT GetImageEncoderForFormat(DWORD formatCode, CLSID* encoder)
{
    // GDI+'s image format ids {b96b3cXX-0728-11d3-9d7b-0000f81ef32e}, by their first word.
    static const struct {
        DWORD code;
        DWORD format;
    } kFormats[] = {
        {0x3801, 0xB96B3CB2}, {0x3804, 0xB96B3CAB}, {0x3807, 0xB96B3CB0},
        {0x3808, 0xB96B3CAE}, {0x380B, 0xB96B3CAF}, {0x380D, 0xB96B3CB1},
    };
    const HRESULT notFound = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
    if (!encoder)
        return E_POINTER;
    GUID wanted{0, 0x0728, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
    for (const auto& f : kFormats)
        if (f.code == formatCode)
            wanted.Data1 = f.format;
    if (!wanted.Data1)
        return notFound;
    UINT count = 0, size = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || !size)
        return E_FAIL;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return E_FAIL;
    for (UINT i = 0; i < count; ++i) {
        if (IsEqualGUID(codecs[i].FormatID, wanted)) {
            *encoder = codecs[i].Clsid;
            return S_OK;
        }
    }
    return notFound;
}

HRESULT LoadAlbumCoverMetadata(IWMDMMetaData* metadata, const wchar_t* imagePath, DWORD formatCode)
{
    if (!metadata || !imagePath)
        return E_POINTER;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(imagePath, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        (data.nFileSizeLow == 0 && data.nFileSizeHigh == 0))
        return S_FALSE;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok)
        return E_FAIL;
    HRESULT hr = S_OK;
    {
        Gdiplus::Image image(imagePath);
        CLSID encoder{};
        IStream* stream = nullptr;
        if (image.GetLastStatus() != Gdiplus::Ok)
            hr = E_FAIL;
        if (SUCCEEDED(hr))
            hr = GetImageEncoderForFormat(formatCode, &encoder);
        if (SUCCEEDED(hr))
            hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        if (SUCCEEDED(hr) && image.Save(stream, &encoder, nullptr) != Gdiplus::Ok)
            hr = E_FAIL;
        std::vector<BYTE> bytes;
        if (SUCCEEDED(hr)) {
            // Exactly the encoded bytes, however they compare with the source's size.
            STATSTG stat{};
            hr = stream->Stat(&stat, STATFLAG_NONAME);
            if (SUCCEEDED(hr) && (stat.cbSize.QuadPart == 0 || stat.cbSize.QuadPart > 0x7FFFFFFF))
                hr = E_FAIL;
            if (SUCCEEDED(hr)) {
                bytes.resize(static_cast<size_t>(stat.cbSize.QuadPart));
                LARGE_INTEGER zero{};
                ULONG read = 0;
                hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
                if (SUCCEEDED(hr))
                    hr = stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
                if (SUCCEEDED(hr) && read != bytes.size())
                    hr = E_FAIL;
            }
        }
        if (SUCCEEDED(hr))
            hr = metadata->AddItem(wmdm::TagType::Binary, wmdm::kAlbumCoverData, bytes.data(),
                                   static_cast<UINT>(bytes.size()));
        const DWORD numbers[] = {formatCode, image.GetWidth(), image.GetHeight()};
        const wchar_t* names[] = {wmdm::kAlbumCoverFormat, wmdm::kAlbumCoverWidth, wmdm::kAlbumCoverHeight};
        for (int i = 0; i < 3 && SUCCEEDED(hr); ++i)
            hr = metadata->AddItem(wmdm::TagType::Dword, names[i], reinterpret_cast<const BYTE*>(&numbers[i]),
                                   sizeof(DWORD));
        if (stream)
            stream->Release();
    }
    Gdiplus::GdiplusShutdown(token);
    return hr;
}

AlbumTextPair::AlbumTextPair(const wchar_t* first, const wchar_t* second, DWORD number) : formatCode(number)
{
    if (first)
        lstrcpynW(name, first, MAX_PATH + 1);
    if (second)
        lstrcpynW(cover, second, MAX_PATH + 1);
}
