#include "WmMetadata.h"

#include <shlwapi.h>

#include <cstring>
#include <new>

HRESULT ReadWmAttribute(IWMHeaderInfo* header, const wchar_t* name, BYTE** value, WORD* length,
                        WMT_ATTR_DATATYPE* type)
{
    if (!header)
        return E_POINTER;
    if (!name || !value || !length)
        return E_POINTER;
    WORD capacity = *length;
    *length = 0;
    WORD stream = 0;
    WMT_ATTR_DATATYPE found = WMT_TYPE_DWORD;
    WORD size = 0;
    HRESULT hr = header->GetAttributeByName(&stream, name, &found, nullptr, &size);
    if (FAILED(hr) && hr != WM_E_NOT_FOUND)
        return hr;
    // A value of no bytes is reported as missing: there is nothing to hand out, and a caller
    // must not take an untouched value pointer for a text buffer of its own to free.
    if (size == 0)
        return FAILED(hr) ? hr : WM_E_NOT_FOUND;

    BYTE* buffer = nullptr;
    if (found == WMT_TYPE_STRING) {
        buffer = new (std::nothrow) BYTE[size];
        if (!buffer)
            return E_OUTOFMEMORY;
    } else {
        // The caller's own storage: it must be there and hold the whole value.
        if (!*value)
            return E_POINTER;
        if (size > capacity)
            return WM_E_BUFFER_TOO_SMALL;
        buffer = *value;
    }
    stream = 0;
    WORD got = size;
    hr = header->GetAttributeByName(&stream, name, &found, buffer, &got);
    if (FAILED(hr)) {
        if (found == WMT_TYPE_STRING)
            delete[] buffer;
        return hr;
    }
    if (found == WMT_TYPE_STRING) {
        // A text always ends in a NUL, whatever the file held.
        if (got >= sizeof(wchar_t))
            reinterpret_cast<wchar_t*>(buffer)[got / sizeof(wchar_t) - 1] = 0;
        else if (got)
            buffer[0] = 0;
        *value = buffer;
    }
    *length = got;
    if (type)
        *type = found;
    return hr;
}

namespace {

// Opens a file with the metadata editor and hands its header to the reader.
template <typename Read>
HRESULT WithFileHeader(const wchar_t* path, Read read)
{
    if (!path)
        return E_POINTER;
    IWMMetadataEditor* editor = nullptr;
    HRESULT hr = WMCreateEditor(&editor);
    if (FAILED(hr))
        return hr;
    hr = editor->Open(path);
    if (FAILED(hr)) {
        editor->Release();
        return hr;
    }
    IWMHeaderInfo* header = nullptr;
    hr = editor->QueryInterface(__uuidof(IWMHeaderInfo), reinterpret_cast<void**>(&header));
    if (SUCCEEDED(hr)) {
        hr = read(header);
        header->Release();
    }
    HRESULT closed = editor->Close();
    editor->Release();
    return FAILED(hr) ? hr : closed;
}

}  // namespace

HRESULT ReadWmFileHeader(const wchar_t* path, HRESULT (*read)(IWMHeaderInfo* header, void* context), void* context)
{
    if (!read)
        return E_POINTER;
    return WithFileHeader(path, [&](IWMHeaderInfo* header) { return read(header, context); });
}

HRESULT ReadWmFileAttribute(const wchar_t* path, const wchar_t* name, BYTE** value, WORD* length,
                            WMT_ATTR_DATATYPE* type)
{
    WMT_ATTR_DATATYPE found = WMT_TYPE_DWORD;
    BYTE* callers = value ? *value : nullptr;
    HRESULT hr =
        WithFileHeader(path, [&](IWMHeaderInfo* header) { return ReadWmAttribute(header, name, value, length, &found); });
    if (FAILED(hr) && found == WMT_TYPE_STRING && value && *value != callers) {
        // Read, but the editor failed to close: the caller gets no buffer to free.
        delete[] *value;
        *value = callers;
        *length = 0;
    }
    if (SUCCEEDED(hr) && type)
        *type = found;
    return hr;
}

HRESULT ReadWmFileAttribute(const wchar_t* path, const wchar_t* name, WMT_ATTR_DATATYPE* type, QWORD* value)
{
    if (!value)
        return E_POINTER;
    return WithFileHeader(path, [&](IWMHeaderInfo* header) {
        BYTE storage[8] = {};
        BYTE* p = storage;
        WORD length = sizeof(storage);
        WMT_ATTR_DATATYPE found = WMT_TYPE_DWORD;
        HRESULT hr = ReadWmAttribute(header, name, &p, &length, &found);
        if (FAILED(hr))
            return hr;
        if (found == WMT_TYPE_STRING) {
            delete[] p;
            return DISP_E_TYPEMISMATCH;
        }
        QWORD v = 0;
        switch (found) {
        case WMT_TYPE_QWORD:
            if (length != 8)
                return DISP_E_TYPEMISMATCH;
            std::memcpy(&v, storage, 8);
            break;
        case WMT_TYPE_DWORD:
        case WMT_TYPE_BOOL:
            if (length != 4)
                return DISP_E_TYPEMISMATCH;
            {
                DWORD d;
                std::memcpy(&d, storage, 4);
                v = d;
            }
            break;
        case WMT_TYPE_WORD:
            if (length != 2)
                return DISP_E_TYPEMISMATCH;
            {
                WORD w;
                std::memcpy(&w, storage, 2);
                v = w;
            }
            break;
        default:
            return DISP_E_TYPEMISMATCH;
        }
        *value = v;
        if (type)
            *type = found;
        return hr;
    });
}

DWORD GetFormatCodeForFile(const wchar_t* path)
{
    static const struct {
        const wchar_t* extension;
        DWORD code;
    } kFormats[] = {
        {L"aiff", 0x3007}, {L"wav", 0x3008},  {L"mp3", 0x3009},   {L"avi", 0x300A},  {L"mpeg", 0x300B},
        {L"mpg", 0x300B},  {L"asf", 0x300C},  {L"dvr-ms", 0x300C}, {L"wmv", 0xB981},  {L"jpg", 0x3808},
        {L"jpe", 0x3808},  {L"jpeg", 0x3808}, {L"JPEG", 0x3808},   {L"wma", 0xB901},  {L"BMP", 0x3804},
        {L"PNG", 0x380B},  {L"TIFF", 0x380D}, {L"GIF", 0x3807},    {L"EXIF", 0x3801},
    };
    if (!path)
        return 0x3000;
    const wchar_t* extension = PathFindExtensionW(path);
    if (!extension || !*extension)
        return 0x3000;
    ++extension;
    for (const auto& f : kFormats)
        if (lstrcmpiW(extension, f.extension) == 0)
            return f.code;
    return 0x3000;
}
