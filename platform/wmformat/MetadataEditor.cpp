// The metadata editor object: opens a media file, hands out its header through the
// header-info interfaces and writes changed attributes back: into the file as it stands when
// its header has room for them, else through a temporary file that replaces the original.
// WMCreateEditor prefers the Windows Media runtime's editor.
#include "ByteReader.h"
#include "MediaHeader.h"
#include "SavingFiles.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <new>

namespace wmformat {

bool ReadAt(HANDLE file, ULONGLONG offset, void* buffer, size_t size)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    BYTE* p = static_cast<BYTE*>(buffer);
    while (size) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file, p, chunk, &read, nullptr) || read == 0)
            return false;
        p += read;
        size -= read;
    }
    return true;
}

bool ReadAt(FileSource& file, ULONGLONG offset, void* buffer, size_t size)
{
    if (offset + size <= file.prefix.size()) {
        std::memcpy(buffer, file.prefix.data() + offset, size);
        return true;
    }
    return ReadAt(file.handle, offset, buffer, size);
}

std::vector<BYTE> StringValue(const std::wstring& text)
{
    std::vector<BYTE> v((text.size() + 1) * sizeof(wchar_t));
    std::memcpy(v.data(), text.c_str(), v.size());
    return v;
}

std::wstring StringFromValue(const std::vector<BYTE>& value) { return DecodeUtf16(value.data(), value.size()); }

HRESULT ReadMediaHeader(HANDLE file, MediaHeader& header)
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size))
        return HRESULT_FROM_WIN32(GetLastError());
    header = MediaHeader();
    header.fileSize = static_cast<ULONGLONG>(size.QuadPart);
    FileSource source;
    source.handle = file;
    source.prefix.resize(static_cast<size_t>(std::min<ULONGLONG>(header.fileSize, 32 * 1024)));
    if (!source.prefix.empty() && !ReadAt(file, 0, source.prefix.data(), source.prefix.size()))
        return HRESULT_FROM_WIN32(GetLastError());
    const std::vector<BYTE>& first = source.prefix;
    if (first.size() >= 4 && first[0] == 0x30 && first[1] == 0x26 && first[2] == 0xB2 && first[3] == 0x75)
        return ReadAsfHeader(source, header);
    return ReadMp3Header(source, header);
}

namespace {

InPlaceStepHook g_inPlaceStepHook = nullptr;
InPlaceStepHook g_copyStepHook = nullptr;

// Writes all n bytes; a write cut short (the disk full) fails with ERROR_DISK_FULL rather
// than with whatever error an earlier call left.
bool WriteAll(HANDLE file, const void* p, size_t n)
{
    DWORD written = 0;
    if (!WriteFile(file, p, static_cast<DWORD>(n), &written, nullptr))
        return false;
    if (written != n) {
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool MetadataOrigin(AttributeOrigin origin)
{
    return origin == AttributeOrigin::MetadataObject || origin == AttributeOrigin::MetadataLibrary;
}

// What reading a file's header gave, kept for the next open for reading of the same path
// while the file is unchanged (the same size and last write): callers open one file several
// times in a row (its markers, then each attribute), and an open costs more than the header.
// A refusal of what the file holds is kept too (its reading may have searched far); one that
// came from the file system (locked, unreadable) is not.
class HeaderCache {
public:
    struct State {
        ULONGLONG size = 0;
        ULONGLONG written = 0;
    };
    // The path the cache knows a file by: whole, whatever the current folder (empty when it
    // cannot be had).
    static std::wstring FullPath(const wchar_t* path)
    {
        wchar_t buffer[MAX_PATH];
        DWORD n = GetFullPathNameW(path, MAX_PATH, buffer, nullptr);
        if (n == 0)
            return std::wstring();
        if (n < MAX_PATH)
            return std::wstring(buffer, n);
        std::wstring longer(n, L'\0');
        n = GetFullPathNameW(path, n, longer.data(), nullptr);
        longer.resize(n < longer.size() ? n : 0);
        return longer;
    }
    static bool StateOf(const wchar_t* path, State& state)
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data) || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return false;
        state.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        state.written = (static_cast<ULONGLONG>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
        return true;
    }
    // Whether the file is known; then *result is what reading it gave, and header its header
    // when that succeeded.
    bool Find(const std::wstring& path, const State& state, MediaHeader& header, HRESULT* result)
    {
        AcquireSRWLockShared(&m_lock);
        bool found = false;
        for (const Entry& e : m_entries)
            if (e.state.size == state.size && e.state.written == state.written && SamePath(e.path, path)) {
                *result = e.result;
                if (e.header)
                    header = *e.header;
                found = true;
                break;
            }
        ReleaseSRWLockShared(&m_lock);
        return found;
    }
    static bool Keepable(HRESULT refusal) { return HRESULT_FACILITY(refusal) != FACILITY_WIN32 && refusal != E_OUTOFMEMORY; }
    void Keep(const std::wstring& path, const State& state, const MediaHeader& header)
    {
        size_t bytes = header.asfHeader.size() + header.attributes.size() * 128;
        for (const Id3Frame& f : header.frames)
            bytes += f.data.size() + 64;
        if (bytes > kEntryBytes)
            return;
        Store(path, state, std::make_shared<const MediaHeader>(header), S_OK);
    }
    void KeepRefusal(const std::wstring& path, const State& state, HRESULT refusal)
    {
        if (Keepable(refusal))
            Store(path, state, nullptr, refusal);
    }

private:
    void Store(const std::wstring& path, const State& state, std::shared_ptr<const MediaHeader> kept, HRESULT result)
    {
        AcquireSRWLockExclusive(&m_lock);
        // A bounded ring: the oldest entry makes room.
        for (Entry& e : m_entries)
            if (SamePath(e.path, path)) {
                e = {path, state, std::move(kept), result};
                ReleaseSRWLockExclusive(&m_lock);
                return;
            }
        if (m_entries.size() < kEntries)
            m_entries.push_back({path, state, std::move(kept), result});
        else
            m_entries[m_next++ % kEntries] = {path, state, std::move(kept), result};
        ReleaseSRWLockExclusive(&m_lock);
    }

    static constexpr size_t kEntries = 1024;
    static constexpr size_t kEntryBytes = 256 * 1024;
    struct Entry {
        std::wstring path;
        State state;
        std::shared_ptr<const MediaHeader> header;  // null for a refusal
        HRESULT result = S_OK;
    };
    static bool SamePath(const std::wstring& a, const std::wstring& b)
    {
        return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
    }
    SRWLOCK m_lock = SRWLOCK_INIT;
    std::vector<Entry> m_entries;
    size_t m_next = 0;
};

HeaderCache g_headers;

// Bytes a value takes when handed out: a user text is a WM_USER_TEXT followed by both texts.
size_t ValueLength(const HeaderAttribute& a)
{
    if (a.userText)
        return sizeof(WM_USER_TEXT) + (a.description.size() + 1 + a.text.size() + 1) * sizeof(wchar_t);
    return a.value.size();
}

void CopyValue(const HeaderAttribute& a, BYTE* out)
{
    if (!a.userText) {
        std::memcpy(out, a.value.data(), a.value.size());
        return;
    }
    auto* text = reinterpret_cast<WM_USER_TEXT*>(out);
    wchar_t* description = reinterpret_cast<wchar_t*>(out + sizeof(WM_USER_TEXT));
    std::memcpy(description, a.description.c_str(), (a.description.size() + 1) * sizeof(wchar_t));
    wchar_t* body = description + a.description.size() + 1;
    std::memcpy(body, a.text.c_str(), (a.text.size() + 1) * sizeof(wchar_t));
    text->pwszDescription = description;
    text->pwszText = body;
}

class Editor final : public IWMMetadataEditor2, public IWMHeaderInfo3 {
public:
    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IWMMetadataEditor) || iid == __uuidof(IWMMetadataEditor2))
            *out = static_cast<IWMMetadataEditor2*>(this);
        else if (iid == __uuidof(IWMHeaderInfo) || iid == __uuidof(IWMHeaderInfo2) || iid == __uuidof(IWMHeaderInfo3))
            *out = static_cast<IWMHeaderInfo3*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ULONG left = --m_refs;
        if (!left)
            delete this;
        return left;
    }

    // IWMMetadataEditor / IWMMetadataEditor2
    HRESULT STDMETHODCALLTYPE Open(const WCHAR* filename) override
    {
        HRESULT hr = OpenFile(filename, GENERIC_READ, FILE_SHARE_READ);
        if (SUCCEEDED(hr))
            m_flushAllowed = true;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE OpenEx(const WCHAR* filename, DWORD access, DWORD share) override
    {
        // A refused open (one is already open) leaves the open file's rights as they are.
        HRESULT hr = OpenFile(filename, access, share);
        if (SUCCEEDED(hr))
            m_flushAllowed = (access & GENERIC_WRITE) != 0;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Close() override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        CloseFile();
        m_open = false;
        m_header = MediaHeader();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Flush() override;

    // IWMHeaderInfo
    HRESULT STDMETHODCALLTYPE GetAttributeCount(WORD stream, WORD* count) override
    {
        return GetAttributeCountEx(stream, count);
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndex(WORD index, WORD* stream, WCHAR* name, WORD* nameLength,
                                                  WMT_ATTR_DATATYPE* type, BYTE* value, WORD* length) override
    {
        if (!stream || !length)
            return E_POINTER;
        DWORD length32 = *length;
        HRESULT hr = GetAttributeByIndexEx(*stream, index, name, nameLength, type, nullptr, value, &length32);
        if (length32 > 0xFFFF)
            return WM_E_BUFFER_TOO_SMALL;
        *length = static_cast<WORD>(length32);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByName(WORD* stream, LPCWSTR name, WMT_ATTR_DATATYPE* type, BYTE* value,
                                                 WORD* length) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (!stream || !name || !type || !length)
            return E_POINTER;
        const HeaderAttribute* a = Find(*stream, name);
        if (!a)
            return WM_E_NOT_FOUND;
        size_t needed = ValueLength(*a);
        if (needed > 0xFFFF)
            return WM_E_BUFFER_TOO_SMALL;
        *type = a->type;
        if (value) {
            if (*length < needed)
                return WM_E_BUFFER_TOO_SMALL;
            CopyValue(*a, value);
        }
        *length = static_cast<WORD>(needed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetAttribute(WORD, LPCWSTR, WMT_ATTR_DATATYPE, const BYTE*, WORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetMarkerCount(WORD* count) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (!count)
            return E_POINTER;
        *count = static_cast<WORD>(std::min<size_t>(m_header.markers.size(), 0xFFFF));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetMarker(WORD index, WCHAR* name, WORD* nameLength, QWORD* time) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (!nameLength || !time)
            return E_POINTER;
        if (index >= m_header.markers.size())
            return WM_E_NOT_FOUND;
        const HeaderMarker& m = m_header.markers[index];
        size_t needed = std::min<size_t>(m.name.size() + 1, 0xFFFF);
        *time = m.time;
        if (name) {
            if (*nameLength < needed)
                return WM_E_BUFFER_TOO_SMALL;
            std::memcpy(name, m.name.c_str(), (needed - 1) * sizeof(wchar_t));
            name[needed - 1] = 0;
        }
        *nameLength = static_cast<WORD>(needed);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddMarker(LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RemoveMarker(WORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetScriptCount(WORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return m_open ? S_OK : NS_E_INVALID_REQUEST;
    }
    HRESULT STDMETHODCALLTYPE GetScript(WORD, WCHAR*, WORD*, WCHAR*, WORD*, QWORD*) override { return WM_E_NOT_FOUND; }
    HRESULT STDMETHODCALLTYPE AddScript(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, QWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RemoveScript(WORD) override { return E_NOTIMPL; }

    // IWMHeaderInfo2
    HRESULT STDMETHODCALLTYPE GetCodecInfoCount(DWORD* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return m_open ? S_OK : NS_E_INVALID_REQUEST;
    }
    HRESULT STDMETHODCALLTYPE GetCodecInfo(DWORD, WORD*, WCHAR*, WORD*, WCHAR*, WMT_CODEC_INFO_TYPE*, WORD*,
                                           BYTE*) override
    {
        return WM_E_NOT_FOUND;
    }

    // IWMHeaderInfo3
    HRESULT STDMETHODCALLTYPE GetAttributeCountEx(WORD stream, WORD* count) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (!count)
            return E_POINTER;
        size_t n = 0;
        for (const auto& a : m_header.attributes)
            n += a.stream == stream;
        *count = static_cast<WORD>(std::min<size_t>(n, 0xFFFF));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeIndices(WORD stream, LPCWSTR name, WORD* language, WORD* indices,
                                                  WORD* count) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (!name || !count)
            return E_POINTER;
        std::vector<WORD> found;
        WORD index = 0;
        for (const auto& a : m_header.attributes) {
            if (a.stream != stream)
                continue;
            if (a.name == name && (!language || a.language == *language))
                found.push_back(index);
            if (index == 0xFFFF)
                break;
            ++index;
        }
        if (indices) {
            if (*count < found.size())
                return WM_E_BUFFER_TOO_SMALL;
            std::copy(found.begin(), found.end(), indices);
        }
        *count = static_cast<WORD>(found.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetAttributeByIndexEx(WORD stream, WORD index, LPWSTR name, WORD* nameLength,
                                                    WMT_ATTR_DATATYPE* type, WORD* language, BYTE* value,
                                                    DWORD* length) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        if (!nameLength || !length)
            return E_POINTER;
        size_t at = Position(stream, index);
        if (at == static_cast<size_t>(-1))
            return WM_E_NOT_FOUND;
        const HeaderAttribute& a = m_header.attributes[at];
        size_t nameNeeded = a.name.size() + 1;
        size_t valueNeeded = ValueLength(a);
        if (nameNeeded > 0xFFFF)
            return WM_E_BUFFER_TOO_SMALL;
        if ((name && *nameLength < nameNeeded) || (value && *length < valueNeeded))
            return WM_E_BUFFER_TOO_SMALL;
        if (name)
            std::memcpy(name, a.name.c_str(), nameNeeded * sizeof(wchar_t));
        if (value)
            CopyValue(a, value);
        *nameLength = static_cast<WORD>(nameNeeded);
        *length = static_cast<DWORD>(valueNeeded);
        if (type)
            *type = a.type;
        if (language)
            *language = a.language;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ModifyAttribute(WORD, WORD, WMT_ATTR_DATATYPE, WORD, const BYTE*, DWORD) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE AddAttribute(WORD stream, LPCWSTR name, WORD* index, WMT_ATTR_DATATYPE type,
                                           WORD language, const BYTE* value, DWORD length) override;
    HRESULT STDMETHODCALLTYPE DeleteAttribute(WORD stream, WORD index) override
    {
        if (!m_open)
            return NS_E_INVALID_REQUEST;
        size_t at = Position(stream, index);
        if (at == static_cast<size_t>(-1))
            return WM_E_NOT_FOUND;
        HeaderAttribute& a = m_header.attributes[at];
        HRESULT hr = CanDeleteAttribute(m_header, a);
        if (FAILED(hr))
            return hr;
        NoteDeletedAttribute(m_header, a);
        m_header.asfMetadataChanged = m_header.asfMetadataChanged || MetadataOrigin(a.origin);
        if (a.origin == AttributeOrigin::Id3Frame && a.frame < m_header.frames.size()) {
            // A frame can stand behind two attributes (track number and track): drop both.
            size_t frame = a.frame;
            m_header.frames[frame].removed = true;
            m_header.attributes.erase(std::remove_if(m_header.attributes.begin(), m_header.attributes.end(),
                                                     [frame](const HeaderAttribute& x) {
                                                         return x.origin == AttributeOrigin::Id3Frame && x.frame == frame;
                                                     }),
                                      m_header.attributes.end());
        } else {
            m_header.attributes.erase(m_header.attributes.begin() + at);
        }
        m_dirty = true;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddCodecInfo(LPCWSTR_WMSDK_TYPE_SAFE, LPCWSTR_WMSDK_TYPE_SAFE, WMT_CODEC_INFO_TYPE, WORD,
                                           BYTE*) override
    {
        return E_NOTIMPL;
    }

    ~Editor() { CloseFile(); }

private:
    HRESULT OpenFile(const WCHAR* filename, DWORD access, DWORD share);
    HRESULT WriteInPlace(const HeaderWrite& write);
    void CloseFile()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
    }
    const HeaderAttribute* Find(WORD stream, const wchar_t* name) const
    {
        for (const auto& a : m_header.attributes)
            if (a.stream == stream && a.name == name)
                return &a;
        return nullptr;
    }
    size_t Position(WORD stream, WORD index) const
    {
        WORD seen = 0;
        for (size_t i = 0; i < m_header.attributes.size(); ++i) {
            if (m_header.attributes[i].stream != stream)
                continue;
            if (seen == index)
                return i;
            ++seen;
        }
        return static_cast<size_t>(-1);
    }

    std::atomic<ULONG> m_refs{1};
    HANDLE m_file = INVALID_HANDLE_VALUE;
    std::wstring m_path;
    DWORD m_access = 0;
    DWORD m_share = 0;
    bool m_open = false;
    bool m_dirty = false;
    bool m_flushAllowed = false;
    MediaHeader m_header;
};

HRESULT Editor::OpenFile(const WCHAR* filename, DWORD access, DWORD share)
{
    if (!filename)
        return E_POINTER;
    if (m_open)
        return NS_E_INVALID_REQUEST;
    const bool writing = (access & GENERIC_WRITE) != 0;
    // Opened for reading, an unchanged file read before needs no open at all: its header is
    // what that read gave (the editor then holds no handle; it cannot write anyway).
    HeaderCache::State state;
    const std::wstring full = writing ? std::wstring() : HeaderCache::FullPath(filename);
    const bool known = !full.empty() && HeaderCache::StateOf(filename, state);
    HRESULT remembered = S_OK;
    if (known && g_headers.Find(full, state, m_header, &remembered)) {
        if (FAILED(remembered)) {
            m_header = MediaHeader();
            return remembered;
        }
        m_file = INVALID_HANDLE_VALUE;
        m_path = filename;
        m_access = access;
        m_share = share;
        m_open = true;
        m_dirty = false;
        return S_OK;
    }
    HANDLE file = CreateFileW(filename, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    MediaHeader header;
    HRESULT hr = ReadMediaHeader(file, header);
    if (FAILED(hr)) {
        CloseHandle(file);
        if (known)
            g_headers.KeepRefusal(full, state, hr);
        return hr;
    }
    if (known)
        g_headers.Keep(full, state, header);
    // Holding the file for writing and alone, this editor is its one saver: the copies that
    // interrupted saves left beside it are garbage.
    if (writing && share == 0)
        savefiles::RemoveSavingLeftovers(filename);
    m_file = file;
    m_path = filename;
    m_access = access;
    m_share = share;
    m_header = std::move(header);
    m_open = true;
    // A header that an interrupted save left with two objects of a kind is written anew by
    // the next flush, changed or not.
    m_dirty = writing && m_header.asfDuplicates;
    return S_OK;
}

HRESULT Editor::AddAttribute(WORD stream, LPCWSTR name, WORD* index, WMT_ATTR_DATATYPE type, WORD language,
                             const BYTE* value, DWORD length)
{
    if (!m_open)
        return NS_E_INVALID_REQUEST;
    if (!name || (!value && length))
        return E_POINTER;
    HeaderAttribute a;
    a.stream = stream;
    a.name = name;
    a.type = type;
    a.language = language;
    a.origin = AttributeOrigin::Added;
    switch (type) {
    case WMT_TYPE_STRING: {
        a.value = StringValue(DecodeUtf16(value, length));
        break;
    }
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
        if (length != 4)
            return E_INVALIDARG;
        a.value.assign(value, value + 4);
        break;
    case WMT_TYPE_QWORD:
        if (length != 8)
            return E_INVALIDARG;
        a.value.assign(value, value + 8);
        break;
    case WMT_TYPE_WORD:
        if (length != 2)
            return E_INVALIDARG;
        a.value.assign(value, value + 2);
        break;
    case WMT_TYPE_GUID:
        if (length != sizeof(GUID))
            return E_INVALIDARG;
        a.value.assign(value, value + sizeof(GUID));
        break;
    case WMT_TYPE_BINARY:
        if (a.name == WM_ATTR_USER_TEXT) {
            // The texts are read through the structure's pointers.
            if (length < sizeof(WM_USER_TEXT))
                return E_INVALIDARG;
            WM_USER_TEXT ut;
            std::memcpy(&ut, value, sizeof(ut));
            a.userText = true;
            a.description = ut.pwszDescription ? ut.pwszDescription : L"";
            a.text = ut.pwszText ? ut.pwszText : L"";
            // The declared length covers the structure (two pointers) and both texts; a shorter
            // one (such as a 32-bit layout's) is refused rather than guessed at.
            if (length < sizeof(WM_USER_TEXT) + (a.description.size() + 1 + a.text.size() + 1) * sizeof(wchar_t))
                return E_INVALIDARG;
        } else {
            a.value.assign(value, value + length);
        }
        break;
    default:
        return E_INVALIDARG;
    }
    HRESULT hr = CanAddAttribute(m_header, a);
    if (FAILED(hr))
        return hr;
    PlaceAddedAttribute(m_header, a);
    m_header.asfMetadataChanged = m_header.asfMetadataChanged || MetadataOrigin(a.origin);
    if (m_header.kind == MediaKind::Mp3 && a.userText) {
        // An ID3 tag holds one user-text frame per description: the new text replaces the old.
        for (const HeaderAttribute& old : m_header.attributes)
            if (old.userText && old.description == a.description && old.frame < m_header.frames.size())
                m_header.frames[old.frame].removed = true;
        m_header.attributes.erase(std::remove_if(m_header.attributes.begin(), m_header.attributes.end(),
                                                 [&a](const HeaderAttribute& old) {
                                                     return old.userText && old.description == a.description;
                                                 }),
                                  m_header.attributes.end());
    }
    m_header.attributes.push_back(std::move(a));
    if (index) {
        WORD count = 0;
        GetAttributeCountEx(stream, &count);
        *index = static_cast<WORD>(count - 1);
    }
    m_dirty = true;
    return S_OK;
}

HRESULT Editor::WriteInPlace(const HeaderWrite& write)
{
    for (size_t i = 0; i < write.inPlace.size(); ++i) {
        if (g_inPlaceStepHook && !g_inPlaceStepHook(static_cast<int>(i)))
            return E_ABORT;
        const HeaderWrite::Step& step = write.inPlace[i];
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(step.offset);
        // Each step reaches the disk before the next one starts.
        if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN) || !WriteAll(m_file, step.bytes.data(), step.bytes.size()) ||
            !FlushFileBuffers(m_file))
            return HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
    }
    return S_OK;
}

HRESULT Editor::Flush()
{
    if (!m_open)
        return NS_E_INVALID_REQUEST;
    if (!m_dirty)
        return S_OK;
    if (!m_flushAllowed || m_file == INVALID_HANDLE_VALUE)
        return E_ACCESSDENIED;
    HeaderWrite write;
    HRESULT hr = m_header.kind == MediaKind::Asf ? BuildAsfHeader(m_header, write) : BuildMp3Tag(m_header, write);
    if (FAILED(hr))
        return hr;
    if (hr == S_FALSE || !write.inPlace.empty()) {
        // The header fits where it is: the file is not copied.
        if (hr != S_FALSE)
            hr = WriteInPlace(write);
        // Read back what is now on disk, so the header held matches the file.
        MediaHeader now;
        HRESULT reread = ReadMediaHeader(m_file, now);
        if (SUCCEEDED(reread))
            m_header = std::move(now);
        if (SUCCEEDED(hr))
            hr = reread;
        if (SUCCEEDED(hr))
            m_dirty = false;
        return hr;
    }
    const std::vector<BYTE>& head = write.head;
    const ULONGLONG originalEnd = write.originalEnd;

    // The new file is written beside the old one, under a name that tells it as this file's
    // save (removed by the next open for writing when a crash leaves it), and replaces the
    // old one only when complete.
    const std::wstring temporary = savefiles::NewSavingFileBeside(m_path.c_str());
    if (temporary.empty())
        return HRESULT_FROM_WIN32(GetLastError());
    const wchar_t* temp = temporary.c_str();
    HANDLE out = CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        hr = HRESULT_FROM_WIN32(GetLastError());
        DeleteFileW(temp);
        return hr;
    }
    auto writeOut = [&](const void* p, size_t n) { return WriteAll(out, p, n); };
    // The test seam stops the copy as a crash would: the half-written file stays behind.
    int step = 0;
    auto stopped = [&]() {
        if (!g_copyStepHook || g_copyStepHook(step++))
            return false;
        CloseHandle(out);
        return true;
    };
    if (stopped())
        return E_ABORT;
    bool ok = writeOut(head.data(), head.size());
    std::vector<BYTE> buffer(1 << 20);
    for (ULONGLONG at = originalEnd; ok && at < m_header.fileSize;) {
        if (stopped())
            return E_ABORT;
        size_t n = static_cast<size_t>(std::min<ULONGLONG>(buffer.size(), m_header.fileSize - at));
        ok = ReadAt(m_file, at, buffer.data(), n) && writeOut(buffer.data(), n);
        at += n;
    }
    if (stopped())
        return E_ABORT;
    ok = ok && FlushFileBuffers(out);
    if (!ok)
        hr = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_WRITE_FAULT);
    CloseHandle(out);
    if (ok) {
        CloseFile();
        if (!MoveFileExW(temp, m_path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            ok = false;
            hr = HRESULT_FROM_WIN32(GetLastError());
        }
    }
    if (!ok)
        DeleteFileW(temp);

    // Reopen what is now on disk, so the header held matches the file.
    if (m_file == INVALID_HANDLE_VALUE) {
        m_open = false;
        HRESULT reopen = OpenFile(m_path.c_str(), m_access, m_share);
        if (SUCCEEDED(hr))
            hr = reopen;
    }
    if (SUCCEEDED(hr))
        m_dirty = false;
    return hr;
}

}  // namespace

void SetInPlaceStepHook(InPlaceStepHook hook) { g_inPlaceStepHook = hook; }
void SetCopyStepHook(InPlaceStepHook hook) { g_copyStepHook = hook; }

HRESULT CreateOwnEditor(IWMMetadataEditor** editor)
{
    if (!editor)
        return E_POINTER;
    *editor = new (std::nothrow) Editor();
    return *editor ? S_OK : E_OUTOFMEMORY;
}

}  // namespace wmformat

extern "C" HRESULT WINAPI WMCreateEditor(IWMMetadataEditor** editor)
{
    if (!editor)
        return E_POINTER;
    *editor = nullptr;
    typedef HRESULT(WINAPI * CreateEditor)(IWMMetadataEditor**);
    static CreateEditor runtime = [] {
        HMODULE module = LoadLibraryW(L"wmvcore.dll");
        return module ? reinterpret_cast<CreateEditor>(reinterpret_cast<void*>(GetProcAddress(module, "WMCreateEditor")))
                      : nullptr;
    }();
    // A runtime that once answered that it has no editor is not asked again: callers create
    // an editor for every file they read.
    static std::atomic<bool> runtimeLacksEditor{false};
    if (runtime && !runtimeLacksEditor) {
        IWMMetadataEditor* real = nullptr;
        HRESULT hr = runtime(&real);
        if (SUCCEEDED(hr) && real) {
            *editor = real;
            return hr;
        }
        if (real)
            real->Release();
        // Wine's runtime answers E_NOTIMPL: the editor of this layer stands in.
        if (hr != E_NOTIMPL)
            return hr;
        runtimeLacksEditor = true;
    }
    return wmformat::CreateOwnEditor(editor);
}
