// ASF (Windows Media) header: the objects that carry the attributes and markers, and the
// rebuilt header written back when attributes change.
#include "ByteReader.h"
#include "MediaHeader.h"

#include <cstring>

namespace wmformat {
namespace {

constexpr GUID kHeaderObject = {0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kFileProperties = {0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kContentDescription = {0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kExtendedContent = {0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50}};
constexpr GUID kHeaderExtension = {0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kMetadataObject = {0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA}};
constexpr GUID kMetadataLibrary = {0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54}};
constexpr GUID kMarkerObject = {0xF487CD01, 0xA951, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kContentEncryption = {0x2211B3FB, 0xBD23, 0x11D2, {0xB4, 0xB7, 0x00, 0xC0, 0x4F, 0xB6, 0xBE, 0x2E}};
constexpr GUID kExtendedContentEncryption = {0x298AE614, 0x2622, 0x4C17, {0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C}};
constexpr GUID kAdvancedContentEncryption = {0x43058533, 0x6981, 0x49E6, {0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C}};

bool Same(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

const wchar_t* const kDescriptionNames[5] = {L"Title", L"Author", L"Copyright", L"Description", L"Rating"};

std::vector<BYTE> Bytes(const void* p, size_t n)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    return std::vector<BYTE>(b, b + n);
}

HeaderAttribute Computed(const wchar_t* name, WMT_ATTR_DATATYPE type, const void* value, size_t size)
{
    HeaderAttribute a;
    a.name = name;
    a.type = type;
    a.value = Bytes(value, size);
    a.origin = AttributeOrigin::Computed;
    return a;
}

// A "WM/Text" value as stored in ASF: description and text, each UTF-16 with a NUL.
void SplitUserText(HeaderAttribute& a, const std::vector<BYTE>& raw)
{
    size_t i = 0;
    std::wstring parts[2];
    for (int part = 0; part < 2; ++part) {
        while (i + 1 < raw.size()) {
            wchar_t c = static_cast<wchar_t>(raw[i] | (raw[i + 1] << 8));
            i += 2;
            if (!c)
                break;
            parts[part].push_back(c);
        }
    }
    a.userText = true;
    a.description = parts[0];
    a.text = parts[1];
}

// Converts a value of an ASF descriptor (extended content or metadata record) to an attribute.
bool MakeValue(HeaderAttribute& a, WORD asfType, const BYTE* data, size_t size)
{
    switch (asfType) {
    case 0: {  // text
        ByteReader r(data, size);
        a.type = WMT_TYPE_STRING;
        a.value = StringValue(r.Utf16(size));
        return true;
    }
    case 1:
        a.type = WMT_TYPE_BINARY;
        a.value = Bytes(data, size);
        if (a.name == WM_ATTR_USER_TEXT)
            SplitUserText(a, a.value);
        return true;
    case 2: {  // BOOL: 4 bytes in extended content, 2 in metadata records
        DWORD v = 0;
        for (size_t i = 0; i < size && i < 4; ++i)
            v |= data[i];
        v = v ? 1 : 0;
        a.type = WMT_TYPE_BOOL;
        a.value = Bytes(&v, 4);
        return true;
    }
    case 3:
        if (size != 4)
            return false;
        a.type = WMT_TYPE_DWORD;
        break;
    case 4:
        if (size != 8)
            return false;
        a.type = WMT_TYPE_QWORD;
        break;
    case 5:
        if (size != 2)
            return false;
        a.type = WMT_TYPE_WORD;
        break;
    case 6:
        if (size != 16)
            return false;
        a.type = WMT_TYPE_GUID;
        break;
    default:
        return false;
    }
    a.value = Bytes(data, size);
    return true;
}

HRESULT ReadMetadataRecords(ByteReader r, bool library, MediaHeader& header)
{
    WORD count = r.U16();
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        WORD language = r.U16();
        WORD stream = r.U16();
        WORD nameLength = r.U16();
        WORD type = r.U16();
        DWORD dataLength = r.U32();
        std::wstring name = r.Utf16(nameLength);
        const BYTE* data = r.Take(dataLength);
        if (!r.Ok())
            return WM_E_INVALID_FILE;
        HeaderAttribute a;
        a.stream = stream;
        a.name = name;
        a.language = library ? language : 0;
        a.origin = AttributeOrigin::MetadataObject;
        if (MakeValue(a, type, data, dataLength))
            header.attributes.push_back(std::move(a));
    }
    return r.Ok() ? S_OK : WM_E_INVALID_FILE;
}

HRESULT ReadMarkers(ByteReader r, ULONGLONG prerollUnits, MediaHeader& header)
{
    r.Skip(16);
    DWORD count = r.U32();
    r.Skip(2);
    WORD nameLength = r.U16();
    r.Skip(nameLength);
    // Each marker takes at least 30 bytes: a count beyond that is damage.
    if (!r.Ok() || count > r.Remaining() / 30 || count > kMaxEntries)
        return WM_E_INVALID_FILE;
    for (DWORD i = 0; i < count; ++i) {
        r.U64();  // offset in the data object
        ULONGLONG time = r.U64();
        WORD entryLength = r.U16();
        const BYTE* entry = r.Take(entryLength);
        if (!entry || entryLength < 12)
            return WM_E_INVALID_FILE;
        ByteReader e(entry, entryLength);
        e.U32();  // send time
        e.U32();  // flags
        DWORD chars = e.U32();
        if (chars > e.Remaining() / 2)
            return WM_E_INVALID_FILE;
        HeaderMarker m;
        m.name = e.Utf16(static_cast<size_t>(chars) * 2);
        m.time = time > prerollUnits ? time - prerollUnits : 0;
        header.markers.push_back(std::move(m));
    }
    return S_OK;
}

}  // namespace

HRESULT ReadAsfHeader(FileSource& file, MediaHeader& header)
{
    BYTE top[30];
    if (!ReadAt(file, 0, top, sizeof(top)))
        return WM_E_INVALID_FILE;
    ByteReader t(top, sizeof(top));
    if (!Same(t.Guid(), kHeaderObject))
        return WM_E_INVALID_FILE;
    ULONGLONG size = t.U64();
    if (size < 30 || size > header.fileSize || size > kMaxHeaderBytes)
        return WM_E_INVALID_FILE;
    header.kind = MediaKind::Asf;
    header.asfHeader.resize(static_cast<size_t>(size));
    if (!ReadAt(file, 0, header.asfHeader.data(), header.asfHeader.size()))
        return WM_E_INVALID_FILE;

    const std::vector<BYTE>& h = header.asfHeader;
    ByteReader r(h.data(), h.size());
    r.Skip(30);
    std::vector<HeaderAttribute> described, extended, metadata;
    ULONGLONG duration = 0, fileSize = header.fileSize, preroll = 0;
    DWORD bitrate = 0;
    bool haveProperties = false, isProtected = false;
    const BYTE* markerObject = nullptr;
    size_t markerSize = 0;

    while (r.Remaining() >= 24) {
        size_t offset = r.Position();
        GUID id = r.Guid();
        ULONGLONG objectSize = r.U64();
        if (objectSize < 24 || objectSize - 24 > r.Remaining())
            return WM_E_INVALID_FILE;
        size_t bodySize = static_cast<size_t>(objectSize - 24);
        const BYTE* body = r.Take(bodySize);
        header.asfObjects.push_back({id, offset, static_cast<size_t>(objectSize)});
        ByteReader b(body, bodySize);

        if (Same(id, kFileProperties)) {
            b.Skip(16);
            ULONGLONG declaredSize = b.U64();
            b.Skip(16);
            ULONGLONG play = b.U64();
            b.U64();
            preroll = b.U64();
            b.Skip(12);
            bitrate = b.U32();
            if (!b.Ok())
                return WM_E_INVALID_FILE;
            if (declaredSize)
                fileSize = declaredSize;
            ULONGLONG prerollUnits = preroll * 10000;
            duration = play > prerollUnits ? play - prerollUnits : 0;
            haveProperties = true;
        } else if (Same(id, kContentDescription)) {
            WORD lengths[5];
            for (WORD& l : lengths)
                l = b.U16();
            for (int i = 0; i < 5; ++i) {
                std::wstring text = b.Utf16(lengths[i]);
                if (!b.Ok())
                    return WM_E_INVALID_FILE;
                HeaderAttribute a;
                a.name = kDescriptionNames[i];
                a.value = StringValue(text);
                a.origin = AttributeOrigin::ContentDescription;
                if (described.size() + extended.size() + metadata.size() >= kMaxEntries)
                    return WM_E_INVALID_FILE;
                if (!text.empty())
                    described.push_back(std::move(a));
            }
        } else if (Same(id, kExtendedContent)) {
            WORD count = b.U16();
            for (WORD i = 0; i < count; ++i) {
                size_t start = b.Position();
                WORD nameLength = b.U16();
                std::wstring name = b.Utf16(nameLength);
                WORD type = b.U16();
                WORD valueLength = b.U16();
                const BYTE* value = b.Take(valueLength);
                if (!b.Ok())
                    return WM_E_INVALID_FILE;
                if (described.size() + extended.size() + metadata.size() + header.asfKeptDescriptors.size() >=
                    kMaxEntries)
                    return WM_E_INVALID_FILE;
                HeaderAttribute a;
                a.name = name;
                a.origin = AttributeOrigin::ExtendedContent;
                if (MakeValue(a, type, value, valueLength))
                    extended.push_back(std::move(a));
                else
                    header.asfKeptDescriptors.emplace_back(body + start, body + b.Position());
            }
        } else if (Same(id, kHeaderExtension)) {
            b.Skip(18);
            DWORD dataSize = b.U32();
            const BYTE* data = b.Take(dataSize);
            if (!data)
                return WM_E_INVALID_FILE;
            ByteReader x(data, dataSize);
            while (x.Remaining() >= 24) {
                GUID inner = x.Guid();
                ULONGLONG innerSize = x.U64();
                if (innerSize < 24 || innerSize - 24 > x.Remaining())
                    return WM_E_INVALID_FILE;
                const BYTE* innerBody = x.Take(static_cast<size_t>(innerSize - 24));
                ByteReader ib(innerBody, static_cast<size_t>(innerSize - 24));
                if (Same(inner, kMetadataObject) || Same(inner, kMetadataLibrary)) {
                    MediaHeader temp;
                    HRESULT hr = ReadMetadataRecords(ib, Same(inner, kMetadataLibrary), temp);
                    if (FAILED(hr))
                        return hr;
                    if (described.size() + extended.size() + metadata.size() + temp.attributes.size() >= kMaxEntries)
                        return WM_E_INVALID_FILE;
                    for (auto& a : temp.attributes)
                        metadata.push_back(std::move(a));
                } else if (Same(inner, kAdvancedContentEncryption)) {
                    isProtected = true;
                }
            }
        } else if (Same(id, kMarkerObject)) {
            markerObject = body;
            markerSize = bodySize;
        } else if (Same(id, kContentEncryption) || Same(id, kExtendedContentEncryption)) {
            isProtected = true;
        }
    }
    if (!haveProperties)
        return WM_E_INVALID_FILE;
    if (markerObject) {
        HRESULT hr = ReadMarkers(ByteReader(markerObject, markerSize), preroll * 10000, header);
        if (FAILED(hr))
            return hr;
    }

    DWORD protectedFlag = isProtected ? 1 : 0;
    header.attributes.push_back(Computed(WM_ATTR_DURATION, WMT_TYPE_QWORD, &duration, 8));
    header.attributes.push_back(Computed(WM_ATTR_BITRATE, WMT_TYPE_DWORD, &bitrate, 4));
    header.attributes.push_back(Computed(WM_ATTR_FILE_SIZE, WMT_TYPE_QWORD, &fileSize, 8));
    header.attributes.push_back(Computed(WM_ATTR_IS_PROTECTED, WMT_TYPE_BOOL, &protectedFlag, 4));
    bool haveTrack = false;
    const HeaderAttribute* trackNumber = nullptr;
    for (auto* list : {&described, &extended, &metadata})
        for (const auto& a : *list) {
            if (a.name == WM_ATTR_TRACK)
                haveTrack = true;
            if (a.name == WM_ATTR_TRACK_NUMBER && !trackNumber)
                trackNumber = &a;
        }
    // "WM/Track" (zero-based) from "WM/TrackNumber" when the file carries only the latter.
    if (!haveTrack && trackNumber) {
        DWORD n = 0;
        if (trackNumber->type == WMT_TYPE_STRING)
            n = static_cast<DWORD>(_wtoi(StringFromValue(trackNumber->value).c_str()));
        else if (trackNumber->type == WMT_TYPE_DWORD && trackNumber->value.size() == 4)
            std::memcpy(&n, trackNumber->value.data(), 4);
        if (n > 0) {
            DWORD zeroBased = n - 1;
            header.attributes.push_back(Computed(WM_ATTR_TRACK, WMT_TYPE_DWORD, &zeroBased, 4));
        }
    }
    for (auto* list : {&described, &extended, &metadata})
        for (auto& a : *list)
            header.attributes.push_back(std::move(a));
    return S_OK;
}

namespace {

void Append(std::vector<BYTE>& out, const void* p, size_t n)
{
    const BYTE* b = static_cast<const BYTE*>(p);
    out.insert(out.end(), b, b + n);
}
void AppendU16(std::vector<BYTE>& out, WORD v) { Append(out, &v, 2); }
void AppendU32(std::vector<BYTE>& out, DWORD v) { Append(out, &v, 4); }
void AppendU64(std::vector<BYTE>& out, ULONGLONG v) { Append(out, &v, 8); }

std::vector<BYTE> Utf16Z(const std::wstring& s)
{
    std::vector<BYTE> out;
    for (wchar_t c : s)
        AppendU16(out, static_cast<WORD>(c));
    AppendU16(out, 0);
    return out;
}

// The descriptor value of an attribute and its ASF type code.
bool AsfValue(const HeaderAttribute& a, WORD& type, std::vector<BYTE>& value)
{
    if (a.userText) {
        type = 1;
        value = Utf16Z(a.description);
        std::vector<BYTE> text = Utf16Z(a.text);
        value.insert(value.end(), text.begin(), text.end());
        return true;
    }
    value = a.value;
    switch (a.type) {
    case WMT_TYPE_STRING: type = 0; break;
    case WMT_TYPE_BINARY: type = 1; break;
    case WMT_TYPE_BOOL: type = 2; break;
    case WMT_TYPE_DWORD: type = 3; break;
    case WMT_TYPE_QWORD: type = 4; break;
    case WMT_TYPE_WORD: type = 5; break;
    case WMT_TYPE_GUID: type = 6; break;
    default: return false;
    }
    return true;
}

void AppendObject(std::vector<BYTE>& out, const GUID& id, const std::vector<BYTE>& body)
{
    Append(out, &id, sizeof(GUID));
    AppendU64(out, body.size() + 24);
    out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

HRESULT BuildAsfHeader(const MediaHeader& header, std::vector<BYTE>& out, ULONGLONG& originalEnd)
{
    if (header.kind != MediaKind::Asf)
        return E_UNEXPECTED;
    // Content description: the five texts.
    std::vector<BYTE> texts[5];
    bool anyText = false;
    for (const auto& a : header.attributes)
        for (int i = 0; i < 5; ++i)
            if (a.stream == 0 && a.origin == AttributeOrigin::ContentDescription && a.name == kDescriptionNames[i] &&
                texts[i].empty()) {
                texts[i] = Utf16Z(StringFromValue(a.value));
                anyText = true;
            }
    std::vector<BYTE> description;
    for (auto& t : texts)
        if (t.size() > 0xFFFF)
            return E_INVALIDARG;
    for (auto& t : texts)
        AppendU16(description, static_cast<WORD>(t.size()));
    for (auto& t : texts)
        description.insert(description.end(), t.begin(), t.end());

    // Extended content description: the file-level descriptors.
    std::vector<BYTE> extended;
    WORD count = 0;
    AppendU16(extended, 0);
    for (const auto& a : header.attributes) {
        if (a.stream != 0 || (a.origin != AttributeOrigin::ExtendedContent && a.origin != AttributeOrigin::Added))
            continue;
        WORD type = 0;
        std::vector<BYTE> value;
        if (!AsfValue(a, type, value))
            return E_INVALIDARG;
        std::vector<BYTE> name = Utf16Z(a.name);
        if (name.size() > 0xFFFF || value.size() > 0xFFFF || count == 0xFFFF)
            return E_INVALIDARG;
        AppendU16(extended, static_cast<WORD>(name.size()));
        extended.insert(extended.end(), name.begin(), name.end());
        AppendU16(extended, type);
        AppendU16(extended, static_cast<WORD>(value.size()));
        extended.insert(extended.end(), value.begin(), value.end());
        ++count;
    }
    for (const auto& kept : header.asfKeptDescriptors) {
        if (count == 0xFFFF)
            return E_INVALIDARG;
        extended.insert(extended.end(), kept.begin(), kept.end());
        ++count;
    }
    std::memcpy(extended.data(), &count, 2);

    const std::vector<BYTE>& h = header.asfHeader;
    std::vector<BYTE> objects;
    DWORD objectCount = 0;
    bool wroteDescription = false, wroteExtended = false;
    size_t filePropertiesAt = static_cast<size_t>(-1);
    for (const AsfObject& o : header.asfObjects) {
        if (Same(o.id, kContentDescription)) {
            if (wroteDescription || !anyText)
                continue;
            AppendObject(objects, kContentDescription, description);
            wroteDescription = true;
        } else if (Same(o.id, kExtendedContent)) {
            if (wroteExtended || count == 0)
                continue;
            AppendObject(objects, kExtendedContent, extended);
            wroteExtended = true;
        } else {
            if (Same(o.id, kFileProperties))
                filePropertiesAt = objects.size();
            objects.insert(objects.end(), h.begin() + o.offset, h.begin() + o.offset + o.size);
        }
        ++objectCount;
    }
    if (!wroteDescription && anyText) {
        AppendObject(objects, kContentDescription, description);
        ++objectCount;
    }
    if (!wroteExtended && count > 0) {
        AppendObject(objects, kExtendedContent, extended);
        ++objectCount;
    }
    if (filePropertiesAt == static_cast<size_t>(-1))
        return WM_E_INVALID_FILE;

    out.clear();
    Append(out, &kHeaderObject, sizeof(GUID));
    AppendU64(out, objects.size() + 30);
    AppendU32(out, objectCount);
    out.push_back(h[28]);
    out.push_back(h[29]);
    size_t base = out.size();
    out.insert(out.end(), objects.begin(), objects.end());

    // The file size in the file properties follows the change of the header's size.
    originalEnd = h.size();
    size_t sizeField = base + filePropertiesAt + 24 + 16;
    if (sizeField + 8 <= out.size()) {
        ULONGLONG declared = 0;
        std::memcpy(&declared, out.data() + sizeField, 8);
        if (declared) {
            declared = declared - originalEnd + out.size();
            std::memcpy(out.data() + sizeField, &declared, 8);
        }
    }
    return S_OK;
}

}  // namespace wmformat
