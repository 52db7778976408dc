// The session's writing operations: a file with its metadata, its album art, a folder.
#include "ZuneDevice.h"
#include "ZuneSupportInterface.h"

#include "CString.h"

#include <shlwapi.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <new>

namespace {

// The chunk of a copy when the device names none (a copy of zero-byte chunks would end at
// once with an empty object), and the range a size the device names is held to: a device
// asking for 4 GiB would have the whole file in memory at once (and more), one asking for a
// byte would get a progress message per byte.
constexpr DWORD kDefaultChunkSize = 256 * 1024;
constexpr DWORD kMinChunkSize = 4 * 1024;
constexpr DWORD kMaxChunkSize = 4 * 1024 * 1024;

HRESULT NewValues(com::ComPtr<IPortableDeviceValues>* values, DWORD context = CLSCTX_INPROC_SERVER)
{
    return CoCreateInstance(CLSID_PortableDeviceValues, nullptr, context, IID_IPortableDeviceValues, values->PutVoid());
}

// The names a new object is given from the source path and the caller's target name.
struct ObjectNames {
    std::wstring baseName;   // at most 259 characters
    std::wstring extension;  // at most 7 characters, with its "."
};

ObjectNames NamesOf(const wchar_t* filePath, const wchar_t* targetFileName)
{
    ObjectNames names;
    const std::wstring path(filePath);
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || slash + 1 == path.size()) {
        names.baseName = path;
    } else {
        const std::wstring fileName = path.substr(slash + 1);
        const size_t dot = fileName.rfind(L'.');
        names.baseName = dot == std::wstring::npos ? fileName : fileName.substr(0, dot);
        if (dot != std::wstring::npos)
            names.extension = fileName.substr(dot, 7);
    }
    if (targetFileName && *targetFileName)
        names.baseName = targetFileName;
    if (names.baseName.size() > 259)
        names.baseName.resize(259);
    return names;
}

// The track of a target name: its last two characters read as a decimal number (as many as
// there are), 0 when that is not 1 to 99.
ULONG TrackOf(const wchar_t* targetFileName)
{
    if (!targetFileName)
        return 0;
    const size_t length = std::wcslen(targetFileName);
    const wchar_t* last = targetFileName + (length > 2 ? length - 2 : 0);
    ULONG track = 0;
    for (; *last >= L'0' && *last <= L'9'; ++last)
        track = track * 10 + static_cast<ULONG>(*last - L'0');
    return track >= 1 && track <= 99 ? track : 0;
}

HRESULT RequiredProperties(const wchar_t* folderId, IStream* source, const wchar_t* filePath,
                           const wchar_t* targetFileName, com::ComPtr<IPortableDeviceValues>* result)
{
    com::ComPtr<IPortableDeviceValues> values;
    HRESULT hr = NewValues(&values);
    if (FAILED(hr))
        return hr;
    values->SetStringValue(wpd::OBJECT_PARENT_ID, folderId);
    STATSTG stat{};
    hr = source->Stat(&stat, STATFLAG_NONAME);
    if (SUCCEEDED(hr))
        hr = values->SetUnsignedLargeIntegerValue(wpd::OBJECT_SIZE, stat.cbSize.QuadPart);
    if (FAILED(hr))
        return hr;
    const ObjectNames names = NamesOf(filePath, targetFileName);
    const std::wstring original =
        (targetFileName && *targetFileName ? std::wstring(targetFileName) : names.baseName) + names.extension;
    hr = values->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, original.c_str());
    if (SUCCEEDED(hr))
        hr = values->SetStringValue(wpd::OBJECT_NAME, names.baseName.c_str());
    if (SUCCEEDED(hr))
        hr = values->SetStringValue(wpd::MEDIA_SUB_TITLE, names.baseName.c_str());
    if (SUCCEEDED(hr))
        hr = values->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, wpd::CONTENT_TYPE_AUDIO);
    if (SUCCEEDED(hr))
        hr = values->SetGuidValue(wpd::OBJECT_FORMAT, CString(names.extension.c_str()).CompareNoCase(L".mp3") == 0
                                                          ? wpd::FORMAT_MP3
                                                          : wpd::FORMAT_WMA);
    if (SUCCEEDED(hr))
        *result = values;
    return hr;
}

// "yyyyMMddTHHmmss.0" of the local time now, in plain digits whatever the locale.
std::wstring DateAuthored()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t text[32];
    swprintf(text, 32, L"%04u%02u%02uT%02u%02u%02u.0", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    return text;
}

}  // namespace

HRESULT ZuneDeviceSession::CopyStreamInChunks(IStream* device, IStream* source, DWORD chunkSize, ULONGLONG* total,
                                              HWND window)
{
    if (!device || !source)
        return E_POINTER;
    if (chunkSize == 0)
        chunkSize = kDefaultChunkSize;
    chunkSize = std::clamp(chunkSize, kMinChunkSize, kMaxChunkSize);
    std::unique_ptr<BYTE[]> buffer(new (std::nothrow) BYTE[chunkSize]);
    if (!buffer)
        return E_OUTOFMEMORY;
    ULONGLONG copied = 0;
    for (;;) {
        ULONG read = 0;
        HRESULT hr = source->Read(buffer.get(), chunkSize, &read);
        if (FAILED(hr))
            return hr;
        ULONG written = 0;
        hr = device->Write(buffer.get(), read, &written);
        if (FAILED(hr))
            return hr;
        // A device that takes less than it was given has not stored the file.
        if (written != read)
            return STG_E_WRITEFAULT;
        copied += written;
        if (read == 0) {
            if (total)
                *total = copied;
            return hr;
        }
        if (window && SendMessageW(window, WM_ADD_PROGRESS, read, 0) == 0)
            return ZUNE_E_CANCELLED;
    }
}

HRESULT ZuneDeviceSession::TransferAudioFile(const wchar_t* folderId, const wchar_t* filePath,
                                             const wchar_t* mediaTitle, const wchar_t* targetFileName,
                                             const wchar_t* artist, ULONGLONG duration, ULONGLONG fileSize,
                                             const TextBuffer& text, HWND window)
{
    if (!m_device) {
        text.Write(L"process a NULL IPortableDevice interface pointer");
        return E_POINTER;
    }
    if (!folderId || !filePath) {
        text.Write(L"open file () to transfer to device");
        return E_POINTER;
    }
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), nullptr);
    if (FAILED(hr)) {
        text.Write(L"get IPortableDeviceContent from IPortableDevice");
        return hr;
    }
    com::ComPtr<IStream> source;
    hr = SHCreateStreamOnFileW(filePath, STGM_READ | STGM_SHARE_DENY_WRITE, source.Put());
    if (FAILED(hr)) {
        text.Format(L"open file (%s) to transfer to device", filePath);
        return hr;
    }
    com::ComPtr<IPortableDeviceValues> values;
    hr = RequiredProperties(folderId, source.Get(), filePath, targetFileName, &values);
    if (FAILED(hr)) {
        text.Write(L"get required properties needed to transfer a file to the device");
        return hr;
    }
    const wchar_t* title = mediaTitle ? mediaTitle : L"";
    values->SetUnsignedIntegerValue(wpd::MEDIA_GENRE, 18);  // the audiobook genre
    values->SetStringValue(wpd::MTP_DATE_AUTHORED, DateAuthored().c_str());
    values->SetStringValue(wpd::MTP_DA9A, title);
    values->SetStringValue(wpd::MEDIA_TITLE, title);
    if (duration != 0)
        values->SetUnsignedLargeIntegerValue(wpd::MEDIA_DURATION, duration);
    if (fileSize != 0)
        values->SetUnsignedLargeIntegerValue(wpd::OBJECT_SIZE, fileSize);
    if (const ULONG track = TrackOf(targetFileName))
        values->SetUnsignedIntegerValue(wpd::MUSIC_TRACK, track);
    values->SetStringValue(wpd::MUSIC_ALBUM, title);
    values->SetStringValue(wpd::MEDIA_ARTIST, artist ? artist : L"");
    values->SetStringValue(wpd::MEDIA_ALBUM_ARTIST, artist ? artist : L"");

    com::ComPtr<IStream> stream;
    DWORD optimal = 0;
    hr = content->CreateObjectWithPropertiesAndData(values.Get(), stream.Put(), &optimal, nullptr);
    if (SUCCEEDED(hr) && !stream)
        hr = E_FAIL;
    if (FAILED(hr)) {
        text.Write(L"process CreateObjectWithPropertiesAndData");
        return hr;
    }
    com::ComPtr<IPortableDeviceDataStream> data;
    hr = stream.As(&data, IID_IPortableDeviceDataStream);
    if (FAILED(hr)) {
        text.Write(L"query IPortableDeviceDataStream interface");
        return hr;
    }
    // A stream released uncommitted leaves no object: failure and cancel alike.
    ULONGLONG copied = 0;
    hr = CopyStreamInChunks(stream.Get(), source.Get(), optimal, &copied, window);
    if (FAILED(hr)) {
        text.Write(L"copy media file stream to device");
        return hr;
    }
    hr = stream->Commit(STGC_DEFAULT);
    if (FAILED(hr)) {
        text.Write(L"commit object to device");
        return hr;
    }
    LPWSTR id = nullptr;
    if (SUCCEEDED(data->GetObjectID(&id)) && id)
        text.Write(id);
    else
        text.Clear();
    CoTaskMemFree(id);
    return hr;
}

HRESULT ZuneDeviceSession::SendAlbumArt(const wchar_t* objectId, const wchar_t* imagePath, const wchar_t* name,
                                        const TextBuffer& text)
{
    if (!m_device) {
        text.Write(L"SendAlbumArt ERROR:  A NULL IPortableDevice interface pointer was received");
        return E_POINTER;
    }
    if (!objectId) {
        text.Write(L"SendAlbumArt ERROR: A NULL object id pointer was received.");
        return E_POINTER;
    }
    if (!imagePath) {
        text.Write(L"SendAlbumArt ERROR: A NULL album art file path was received.");
        return E_POINTER;
    }
    if (!name)
        name = L"";
    com::ComPtr<IStream> image;
    HRESULT hr = SHCreateStreamOnFileW(imagePath, STGM_READ | STGM_SHARE_DENY_WRITE, image.Put());
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to open file (%s) to send album art to device, hr = 0x%lx",
                    imagePath, hr);
        return hr;
    }
    com::ComPtr<IPortableDeviceContent> content;
    hr = GetContent(content.Put(), nullptr);
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to get IPortableDeviceContent from IPortableDevice, hr = 0x%lx", hr);
        return hr;
    }
    com::ComPtr<IPortableDeviceValues> attributes;
    hr = NewValues(&attributes, CLSCTX_ALL);
    if (FAILED(hr))
        return hr;
    hr = attributes->SetStringValue(wpd::OBJECT_ID, objectId);
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to set WPD_OBJECT_ID to '%s' when creating a resource, hr = 0x%lx",
                    objectId, hr);
        return hr;
    }
    hr = attributes->SetStringValue(wpd::OBJECT_NAME, name);
    if (FAILED(hr))
        return hr;
    hr = attributes->SetGuidValue(wpd::RESOURCE_FORMAT, wpd::FORMAT_EXIF);
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to set WPD_RESOURCE_ATTRIBUTE_FORMAT to WPD_OBJECT_FORMAT_EXIF, hr = 0x%lx",
                    hr);
        return hr;
    }
    STATSTG stat{};
    hr = image->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to get file size of album art image, hr = 0x%lx", hr);
        return hr;
    }
    hr = attributes->SetUnsignedLargeIntegerValue(wpd::RESOURCE_TOTAL_SIZE, stat.cbSize.QuadPart);
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to set WPD_RESOURCE_ATTRIBUTE_TOTAL_SIZE, hr = 0x%lx", hr);
        return hr;
    }
    attributes->SetBoolValue(wpd::API_OPTION_USE_CLEAR_DATA_STREAM, TRUE);
    com::ComPtr<IPortableDeviceKeyCollection> resourceKey;
    hr = CoCreateInstance(CLSID_PortableDeviceKeyCollection, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IPortableDeviceKeyCollection, resourceKey.PutVoid());
    if (SUCCEEDED(hr))
        hr = resourceKey->Add(wpd::RESOURCE_ALBUM_ART);
    if (FAILED(hr))
        return hr;
    hr = attributes->SetIUnknownValue(wpd::RESOURCE_KEY, resourceKey.Get());
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to set WPD_RESOURCE_ATTRIBUTE_RESOURCE_KEY to WPD_RESOURCE_ALBUM_ART, hr = 0x%lx",
                    hr);
        return hr;
    }
    const ULONG size32 = static_cast<ULONG>(stat.cbSize.QuadPart);
    attributes->SetBoolValue(wpd::RESOURCE_CAN_READ, TRUE);
    attributes->SetBoolValue(wpd::RESOURCE_CAN_WRITE, TRUE);
    attributes->SetBoolValue(wpd::RESOURCE_CAN_DELETE, TRUE);
    attributes->SetUnsignedIntegerValue(wpd::RESOURCE_OPTIMAL_READ_BUFFER_SIZE, size32);
    attributes->SetUnsignedIntegerValue(wpd::RESOURCE_OPTIMAL_WRITE_BUFFER_SIZE, size32);
    attributes->SetStringValue(wpd::MEDIA_TITLE, name);
    attributes->SetStringValue(wpd::MUSIC_ALBUM, name);
    com::ComPtr<IPortableDeviceResources> resources;
    hr = content->Transfer(resources.Put());
    if (SUCCEEDED(hr) && !resources)
        hr = E_FAIL;
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to get IPortableDeviceResources from IPortableDeviceContent, hr = 0x%lx",
                    hr);
        return hr;
    }
    com::ComPtr<IStream> stream;
    DWORD optimal = 0;
    hr = resources->CreateResource(attributes.Get(), stream.Put(), &optimal, nullptr);
    if (FAILED(hr)) {
        // Offered once more as JFIF.
        hr = attributes->SetGuidValue(wpd::RESOURCE_FORMAT, wpd::FORMAT_JFIF);
        if (SUCCEEDED(hr))
            hr = resources->CreateResource(attributes.Get(), stream.Put(), &optimal, nullptr);
    }
    if (SUCCEEDED(hr) && !stream)
        hr = E_FAIL;
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Failed to create resource from IPortableDeviceValues, hr = 0x%lx", hr);
        return hr;
    }
    hr = CopyStreamInChunks(stream.Get(), image.Get(), optimal, nullptr, nullptr);
    if (FAILED(hr)) {
        text.Format(L"SendAlbumArt ERROR:  Can't copy album art stream to device, hr = 0x%lx", hr);
        return hr;
    }
    hr = stream->Commit(STGC_OVERWRITE);
    if (FAILED(hr))
        text.Format(L"SendAlbumArt ERROR:  Failed to commit (STGC_OVERWRITE) IStream for album art, hr = 0x%lx", hr);
    return hr;
}

HRESULT ZuneDeviceSession::CreateFolder(const wchar_t* parentId, const wchar_t* folderName, const TextBuffer& text)
{
    if (!m_device) {
        text.Write(L"ERROR:  A NULL IPortableDevice interface pointer was received");
        return E_POINTER;
    }
    if (!parentId) {
        text.Write(L"ERROR: A NULL object id pointer was received.");
        return E_POINTER;
    }
    if (!folderName) {
        text.Write(L"ERROR: A NULL folder name pointer was received.");
        return E_POINTER;
    }
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), nullptr);
    if (FAILED(hr)) {
        text.Format(L"ERROR:  Failed to get IPortableDeviceContent from IPortableDevice, hr = 0x%lx", hr);
        return hr;
    }
    com::ComPtr<IPortableDeviceValues> values;
    hr = NewValues(&values);
    if (SUCCEEDED(hr))
        hr = values->SetStringValue(wpd::OBJECT_PARENT_ID, parentId);
    if (SUCCEEDED(hr))
        hr = values->SetStringValue(wpd::OBJECT_NAME, folderName);
    if (SUCCEEDED(hr))
        hr = values->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, folderName);
    if (SUCCEEDED(hr))
        hr = values->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, wpd::CONTENT_TYPE_FOLDER);
    if (SUCCEEDED(hr))
        hr = values->SetGuidValue(wpd::OBJECT_FORMAT, wpd::FORMAT_PROPERTIES_ONLY);
    if (FAILED(hr)) {
        text.Format(L"ERROR:  Failed to get required properties needed to the device, hr = 0x%lx", hr);
        return hr;
    }
    LPWSTR id = nullptr;
    hr = content->CreateObjectWithPropertiesOnly(values.Get(), &id);
    if (FAILED(hr))
        text.Format(L"ERROR:  Failed to create a new folder on the device, hr = 0x%lx", hr);
    else
        text.Write(id ? id : L"");
    CoTaskMemFree(id);
    return hr;
}
