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
constexpr GUID kPadding = {0x1806D474, 0xCADF, 0x4509, {0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8}};
constexpr GUID kDataObject = {0x75B22636, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
// The fixed field of a header extension object.
constexpr GUID kHeaderExtensionReserved = {0xABD3D211, 0xA9BA, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};

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
    size_t used = 0;
    a.userText = true;
    a.description = DecodeUtf16(raw.data(), raw.size(), false, &used);
    a.text = DecodeUtf16(raw.data() + used, raw.size() - used);
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

HRESULT ReadMetadataRecords(ByteReader r, bool library, MediaHeader& header, MediaHeader& into)
{
    WORD count = r.U16();
    for (WORD i = 0; i < count && r.Ok(); ++i) {
        const BYTE* start = r.Current();
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
        a.origin = library ? AttributeOrigin::MetadataLibrary : AttributeOrigin::MetadataObject;
        // GUID values belong to the library only.
        if ((library || type != 6) && MakeValue(a, type, data, dataLength))
            into.attributes.push_back(std::move(a));
        else
            header.asfKeptRecords[library ? 1 : 0].emplace_back(start, r.Current());
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
    header.asfDeclaredCount = t.U32();
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
    bool haveProperties = false, isProtected = false, extensionProtected = false;
    const BYTE* markerObject = nullptr;
    size_t markerSize = 0;

    bool seenDescription = false, seenExtended = false;
    while (r.Remaining() >= 24) {
        size_t offset = r.Position();
        ByteReader peek(r.Current(), r.Remaining());
        GUID id = peek.Guid();
        ULONGLONG objectSize = peek.U64();
        if (objectSize < 24 || objectSize > r.Remaining()) {
            // A header that declares more bytes than its objects take ends where the data
            // object starts, or where the objects it counts end: what follows is not its own.
            if (!header.asfObjects.empty() &&
                (Same(id, kDataObject) || header.asfObjects.size() >= header.asfDeclaredCount))
                break;
            return WM_E_INVALID_FILE;
        }
        r.Skip(24);
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
            // A second one is what an interrupted save wrote last: it counts.
            header.asfDuplicates = header.asfDuplicates || seenDescription;
            seenDescription = true;
            described.clear();
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
            header.asfDuplicates = header.asfDuplicates || seenExtended;
            seenExtended = true;
            extended.clear();
            header.asfKeptDescriptors.clear();
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
            header.asfDuplicates = header.asfDuplicates || header.asfExtension != static_cast<size_t>(-1);
            metadata.clear();
            header.asfKeptRecords[0].clear();
            header.asfKeptRecords[1].clear();
            extensionProtected = false;
            header.asfExtension = header.asfObjects.size() - 1;
            b.Skip(18);
            const DWORD declared = b.U32();
            if (!b.Ok())
                return WM_E_INVALID_FILE;
            // The inner objects as they are: within the object when they fill it, else within
            // the declared data size when they fill that; otherwise within the object as far as
            // whole objects go, and the object is kept as stored.
            const size_t held = b.Remaining();
            const size_t innerAt = offset + 24 + b.Position();
            auto fills = [&](size_t bytes) {
                ByteReader x(h.data() + innerAt, bytes);
                while (x.Remaining() >= 24) {
                    x.Guid();
                    ULONGLONG innerSize = x.U64();
                    if (innerSize < 24 || !x.Skip(static_cast<size_t>(innerSize - 24)))
                        return false;
                }
                return x.Remaining() == 0;
            };
            size_t innerSize = held;
            header.asfExtensionAsStored = false;
            if (declared != held && !fills(held)) {
                if (declared < held && fills(declared))
                    innerSize = declared;
                header.asfExtensionAsStored = true;
            } else if (declared == held && !fills(held)) {
                innerSize = declared;  // a few stray bytes after its objects, counted by its size
            }
            header.asfExtensionInner = innerAt;
            header.asfExtensionInnerSize = innerSize;
            ByteReader x(h.data() + innerAt, innerSize);
            int rank = 2;
            while (x.Remaining() >= 24) {
                GUID inner = x.Guid();
                ULONGLONG innerObject = x.U64();
                if (innerObject < 24 || innerObject - 24 > x.Remaining()) {
                    if (header.asfExtensionAsStored)
                        break;
                    return WM_E_INVALID_FILE;
                }
                const BYTE* innerBody = x.Take(static_cast<size_t>(innerObject - 24));
                ByteReader ib(innerBody, static_cast<size_t>(innerObject - 24));
                if (Same(inner, kMetadataObject) || Same(inner, kMetadataLibrary)) {
                    const bool library = Same(inner, kMetadataLibrary);
                    header.asfMetadataRank[library ? 1 : 0] = rank++;
                    MediaHeader temp;
                    HRESULT hr = ReadMetadataRecords(ib, library, header, temp);
                    if (FAILED(hr))
                        return hr;
                    if (described.size() + extended.size() + metadata.size() + temp.attributes.size() >= kMaxEntries)
                        return WM_E_INVALID_FILE;
                    for (auto& a : temp.attributes)
                        metadata.push_back(std::move(a));
                } else if (Same(inner, kAdvancedContentEncryption)) {
                    extensionProtected = true;
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
    isProtected = isProtected || extensionProtected;
    // The objects end a few bytes short of the declared size (fewer than an object takes): the
    // data object shows which of the two is the header's real end.
    header.asfHeaderEnd = r.Position();
    if (r.Position() != h.size()) {
        GUID next{};
        if (ReadAt(file, r.Position(), &next, sizeof(next)) && Same(next, kDataObject))
            header.asfHeaderEnd = r.Position();
        else if (ReadAt(file, h.size(), &next, sizeof(next)) && Same(next, kDataObject))
            header.asfHeaderEnd = h.size();
        else
            header.asfHeaderEnd = 0;
    }
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

// The value of an attribute as an ASF descriptor or record stores it, and its ASF type code.
// BOOL takes 4 bytes in the extended content description and 2 in the metadata objects.
bool AsfValue(const HeaderAttribute& a, bool record, WORD& type, std::vector<BYTE>& value)
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
    case WMT_TYPE_BOOL:
        type = 2;
        if (record)
            value.resize(2);
        break;
    case WMT_TYPE_DWORD: type = 3; break;
    case WMT_TYPE_QWORD: type = 4; break;
    case WMT_TYPE_WORD: type = 5; break;
    case WMT_TYPE_GUID: type = 6; break;
    default: return false;
    }
    return true;
}

std::vector<BYTE> Object(const GUID& id, const std::vector<BYTE>& body)
{
    std::vector<BYTE> out;
    Append(out, &id, sizeof(GUID));
    AppendU64(out, body.size() + 24);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<BYTE> PaddingHeader(ULONGLONG size)
{
    std::vector<BYTE> out;
    Append(out, &kPadding, sizeof(GUID));
    AppendU64(out, size);
    return out;
}

// The records of the metadata object (library false) or of the metadata library object.
HRESULT MetadataRecords(const MediaHeader& header, bool library, std::vector<BYTE>& body, bool& any)
{
    const AttributeOrigin origin = library ? AttributeOrigin::MetadataLibrary : AttributeOrigin::MetadataObject;
    body.assign(2, 0);
    size_t count = 0;
    for (const auto& a : header.attributes) {
        if (a.origin != origin)
            continue;
        WORD type = 0;
        std::vector<BYTE> value;
        if (!AsfValue(a, true, type, value))
            return E_INVALIDARG;
        std::vector<BYTE> name = Utf16Z(a.name);
        if (name.size() > 0xFFFF || (static_cast<ULONGLONG>(value.size()) >> 32) != 0)
            return E_INVALIDARG;
        AppendU16(body, library ? a.language : 0);
        AppendU16(body, a.stream);
        AppendU16(body, static_cast<WORD>(name.size()));
        AppendU16(body, type);
        AppendU32(body, static_cast<DWORD>(value.size()));
        body.insert(body.end(), name.begin(), name.end());
        body.insert(body.end(), value.begin(), value.end());
        ++count;
    }
    for (const auto& kept : header.asfKeptRecords[library ? 1 : 0]) {
        body.insert(body.end(), kept.begin(), kept.end());
        ++count;
    }
    if (count > 0xFFFF)
        return E_INVALIDARG;
    WORD n = static_cast<WORD>(count);
    std::memcpy(body.data(), &n, 2);
    any = count > 0;
    return S_OK;
}

// The header extension object with its metadata objects made from the attributes held; the
// other objects inside it are kept as stored. original is null when the header has none.
HRESULT HeaderExtension(const MediaHeader& header, const AsfObject* original, std::vector<BYTE>& out)
{
    std::vector<BYTE> records[2];
    bool any[2] = {false, false};
    for (int library = 0; library < 2; ++library) {
        HRESULT hr = MetadataRecords(header, library == 1, records[library], any[library]);
        if (FAILED(hr))
            return hr;
    }
    std::vector<BYTE> inner;
    bool written[2] = {false, false};
    std::vector<BYTE> body;
    if (original && header.asfExtensionAsStored) {
        // Its inner objects do not fill the sizes it gives: it is written back only as it
        // was, never rebuilt (and so cut short or misread) from what was understood of it.
        if (header.asfMetadataChanged)
            return WM_E_INVALID_FILE;
        const BYTE* stored = header.asfHeader.data() + original->offset;
        out.assign(stored, stored + original->size);
        return S_OK;
    }
    if (original) {
        const BYTE* fixed = header.asfHeader.data() + original->offset + 24;
        const BYTE* data = header.asfHeader.data() + header.asfExtensionInner;
        const size_t dataSize = header.asfExtensionInnerSize;
        body.assign(fixed, fixed + 18);
        ByteReader x(data, dataSize);
        while (x.Remaining() >= 24) {
            const BYTE* start = x.Current();
            GUID id = x.Guid();
            ULONGLONG size = x.U64();
            if (size < 24 || !x.Skip(static_cast<size_t>(size - 24)))
                return WM_E_INVALID_FILE;
            int library = Same(id, kMetadataLibrary) ? 1 : Same(id, kMetadataObject) ? 0 : -1;
            if (library < 0) {
                inner.insert(inner.end(), start, x.Current());
            } else if (!written[library] && any[library]) {
                std::vector<BYTE> object = Object(id, records[library]);
                inner.insert(inner.end(), object.begin(), object.end());
                written[library] = true;
            }
        }
        // Bytes after the last whole object are kept as they were.
        inner.insert(inner.end(), x.Current(), x.Current() + x.Remaining());
    } else {
        Append(body, &kHeaderExtensionReserved, sizeof(GUID));
        AppendU16(body, 6);
    }
    for (int library = 0; library < 2; ++library)
        if (!written[library] && any[library]) {
            std::vector<BYTE> object = Object(library ? kMetadataLibrary : kMetadataObject, records[library]);
            inner.insert(inner.end(), object.begin(), object.end());
        }
    if ((static_cast<ULONGLONG>(inner.size()) >> 32) != 0)
        return E_INVALIDARG;
    AppendU32(body, static_cast<DWORD>(inner.size()));
    body.insert(body.end(), inner.begin(), inner.end());
    out = Object(kHeaderExtension, body);
    return S_OK;
}

// A top-level object of the new header: made anew, or one of the original header's (index).
struct NewObject {
    std::vector<BYTE> bytes;
    size_t original = static_cast<size_t>(-1);
    bool regenerated = false;  // made from the attributes (description, descriptors, metadata)
};

HRESULT NewObjects(const MediaHeader& header, std::vector<NewObject>& objects)
{
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
        if (!AsfValue(a, false, type, value))
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

    bool metadata = false;
    for (const auto& a : header.attributes)
        metadata = metadata || a.origin == AttributeOrigin::MetadataObject || a.origin == AttributeOrigin::MetadataLibrary;
    metadata = metadata || !header.asfKeptRecords[0].empty() || !header.asfKeptRecords[1].empty();

    const std::vector<BYTE>& h = header.asfHeader;
    bool wroteDescription = false, wroteExtended = false, wroteExtension = false, haveProperties = false;
    objects.clear();
    for (size_t i = 0; i < header.asfObjects.size(); ++i) {
        const AsfObject& o = header.asfObjects[i];
        NewObject n;
        n.regenerated = true;
        if (Same(o.id, kPadding)) {
            continue;  // the new header gets padding of its own
        } else if (Same(o.id, kContentDescription)) {
            if (wroteDescription || !anyText)
                continue;
            n.bytes = Object(kContentDescription, description);
            wroteDescription = true;
        } else if (Same(o.id, kExtendedContent)) {
            if (wroteExtended || count == 0)
                continue;
            n.bytes = Object(kExtendedContent, extended);
            wroteExtended = true;
        } else if (Same(o.id, kHeaderExtension)) {
            // Only the one the attributes came from; another is an interrupted save's leftover.
            if (i != header.asfExtension || wroteExtension)
                continue;
            HRESULT hr = HeaderExtension(header, &o, n.bytes);
            if (FAILED(hr))
                return hr;
            wroteExtension = true;
        } else {
            haveProperties = haveProperties || Same(o.id, kFileProperties);
            n.bytes.assign(h.begin() + o.offset, h.begin() + o.offset + o.size);
            n.regenerated = false;
            n.original = i;
        }
        // A regenerated object that came out as it was stays the original one.
        if (n.regenerated && n.bytes.size() == o.size && std::equal(n.bytes.begin(), n.bytes.end(), h.begin() + o.offset))
            n.original = i;
        objects.push_back(std::move(n));
    }
    if (!haveProperties)
        return WM_E_INVALID_FILE;
    NewObject n;
    n.regenerated = true;
    if (!wroteDescription && anyText) {
        n.bytes = Object(kContentDescription, description);
        objects.push_back(n);
    }
    if (!wroteExtended && count > 0) {
        n.bytes = Object(kExtendedContent, extended);
        objects.push_back(n);
    }
    if (!wroteExtension && metadata) {
        HRESULT hr = HeaderExtension(header, nullptr, n.bytes);
        if (FAILED(hr))
            return hr;
        objects.push_back(n);
    }
    return S_OK;
}

// The in-place steps when the original header ends in a padding object that holds the
// regenerated objects that changed; a failure when they do not fit. Two steps, so that a file
// stopped between them, or before or after either, reads as the old or the new one: first
// the new objects are written inside the padding (still padding to every reader); then one
// write from the object count to the padding's own header switches to the new header (the
// count, each old object that changed retyped as padding, the padding shrunk to nothing
// before the new objects). S_FALSE when nothing changed.
HRESULT InPlaceSteps(const MediaHeader& header, const std::vector<NewObject>& objects, std::vector<HeaderWrite::Step>& steps)
{
    steps.clear();
    const bool exact = header.asfHeaderEnd == header.asfHeader.size();
    const AsfObject* last = header.asfObjects.empty() ? nullptr : &header.asfObjects.back();
    const bool padded = exact && last && Same(last->id, kPadding) && last->offset + last->size == header.asfHeader.size();
    std::vector<BYTE> added;
    std::vector<bool> kept(header.asfObjects.size(), false);
    size_t addedCount = 0;
    for (const NewObject& n : objects) {
        if (n.original != static_cast<size_t>(-1)) {
            kept[n.original] = true;
        } else {
            added.insert(added.end(), n.bytes.begin(), n.bytes.end());
            ++addedCount;
        }
    }
    if (padded)
        kept.back() = true;
    size_t dropped = 0;
    for (size_t i = 0; i < kept.size(); ++i)
        dropped += !kept[i] && !Same(header.asfObjects[i].id, kPadding);
    const bool countRight = header.asfDeclaredCount == header.asfObjects.size();
    if (exact && added.empty() && dropped == 0 && countRight)
        return S_FALSE;
    if (!padded || last->size < 24 + added.size())
        return E_FAIL;
    const size_t rest = last->size - 24 - added.size();
    if (rest != 0 && rest < 24)
        return E_FAIL;
    if (rest) {
        std::vector<BYTE> tail = PaddingHeader(rest);
        added.insert(added.end(), tail.begin(), tail.end());
    }
    if (!added.empty())
        steps.push_back({last->offset + 24, added});

    std::vector<BYTE> prefix(header.asfHeader.begin() + 24, header.asfHeader.begin() + last->offset + 24);
    auto put = [&](size_t offset, const void* bytes, size_t n) { std::memcpy(prefix.data() + offset - 24, bytes, n); };
    const DWORD objectCount = static_cast<DWORD>(header.asfObjects.size() + addedCount + (rest ? 1 : 0));
    put(24, &objectCount, sizeof(objectCount));
    for (size_t i = 0; i < kept.size(); ++i)
        if (!kept[i] && !Same(header.asfObjects[i].id, kPadding))
            put(header.asfObjects[i].offset, &kPadding, sizeof(GUID));
    const ULONGLONG empty = 24;
    put(last->offset + 16, &empty, sizeof(empty));
    steps.push_back({24, std::move(prefix)});
    return S_OK;
}

}  // namespace

void PlaceAddedAttribute(const MediaHeader& header, HeaderAttribute& a)
{
    if (header.kind != MediaKind::Asf)
        return;
    size_t bytes = a.userText ? (a.description.size() + a.text.size() + 2) * 2 : a.value.size();
    bool fitsDescriptor = a.stream == 0 && a.language == 0 && bytes <= 0xFFFF && (a.name.size() + 1) * 2 <= 0xFFFF;
    bool fitsMetadata = a.language == 0 && a.type != WMT_TYPE_GUID && bytes <= 0xFFFF;
    AttributeOrigin origin = fitsDescriptor ? AttributeOrigin::Added : AttributeOrigin::MetadataLibrary;
    for (const auto& place : header.asfDeletedPlaces)
        if (place.stream == a.stream && place.name == a.name)
            origin = place.origin == AttributeOrigin::MetadataObject && !fitsMetadata ? AttributeOrigin::MetadataLibrary
                                                                                      : place.origin;
    // An added attribute is the last of its name while the file is open: it goes where it is
    // read back after every other of that name, into the last object holding one.
    auto rank = [&header](AttributeOrigin o) {
        switch (o) {
        case AttributeOrigin::ContentDescription: return 0;
        case AttributeOrigin::ExtendedContent:
        case AttributeOrigin::Added: return 1;
        case AttributeOrigin::MetadataObject: return header.asfMetadataRank[0];
        case AttributeOrigin::MetadataLibrary: return header.asfMetadataRank[1];
        default: return -1;
        }
    };
    for (const HeaderAttribute& other : header.attributes)
        if (other.stream == a.stream && other.name == a.name && rank(other.origin) > rank(origin) &&
            (other.origin != AttributeOrigin::MetadataObject || fitsMetadata))
            origin = other.origin == AttributeOrigin::ExtendedContent ? AttributeOrigin::Added : other.origin;
    a.origin = origin;
}

void NoteDeletedAttribute(MediaHeader& header, const HeaderAttribute& a)
{
    if (a.origin == AttributeOrigin::MetadataObject || a.origin == AttributeOrigin::MetadataLibrary)
        header.asfDeletedPlaces.push_back({a.stream, a.name, a.origin});
}

HRESULT BuildAsfHeader(const MediaHeader& header, HeaderWrite& write)
{
    if (header.kind != MediaKind::Asf)
        return E_UNEXPECTED;
    // A header whose size does not match its objects, and whose data object is not where
    // either says, is not written: the data might not start where the copy would.
    if (header.asfHeaderEnd == 0)
        return WM_E_INVALID_FILE;
    std::vector<NewObject> objects;
    HRESULT hr = NewObjects(header, objects);
    if (FAILED(hr))
        return hr;
    write = HeaderWrite();
    hr = InPlaceSteps(header, objects, write.inPlace);
    if (SUCCEEDED(hr))
        return hr;  // S_FALSE: the file already holds this header

    // A copy: the objects, then padding for later changes to be written in place.
    std::vector<BYTE> body;
    size_t filePropertiesAt = static_cast<size_t>(-1), changeable = 0;
    for (const NewObject& n : objects) {
        if (n.original != static_cast<size_t>(-1) && Same(header.asfObjects[n.original].id, kFileProperties))
            filePropertiesAt = body.size();
        if (n.regenerated)
            changeable += n.bytes.size();
        body.insert(body.end(), n.bytes.begin(), n.bytes.end());
    }
    const size_t padding = 4096 + changeable;
    const std::vector<BYTE>& h = header.asfHeader;
    std::vector<BYTE>& out = write.head;
    Append(out, &kHeaderObject, sizeof(GUID));
    AppendU64(out, 30 + body.size() + padding);
    AppendU32(out, static_cast<DWORD>(objects.size() + 1));
    out.push_back(h[28]);
    out.push_back(h[29]);
    const size_t base = out.size();
    out.insert(out.end(), body.begin(), body.end());
    std::vector<BYTE> pad = PaddingHeader(padding);
    out.insert(out.end(), pad.begin(), pad.end());
    out.resize(out.size() + padding - 24, 0);

    // The file size in the file properties follows the change of the header's size.
    write.originalEnd = header.asfHeaderEnd;
    size_t sizeField = base + filePropertiesAt + 24 + 16;
    if (filePropertiesAt != static_cast<size_t>(-1) && sizeField + 8 <= out.size()) {
        ULONGLONG declared = 0;
        std::memcpy(&declared, out.data() + sizeField, 8);
        if (declared) {
            declared = declared - write.originalEnd + out.size();
            std::memcpy(out.data() + sizeField, &declared, 8);
        }
    }
    return S_OK;
}

}  // namespace wmformat
