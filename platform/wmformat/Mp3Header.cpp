// MP3 files: the ID3v2 tag (text frames as attributes, user-text frames as "WM/Text") and
// duration, bitrate and size from the MPEG audio frames, with Xing/Info or VBRI headers of
// variable-bitrate files.
#include "ByteReader.h"
#include "MediaHeader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace wmformat {
namespace {

DWORD SyncSafe(const BYTE* p) { return (p[0] << 21) | (p[1] << 14) | (p[2] << 7) | p[3]; }
DWORD BigEndian(const BYTE* p)
{
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) | (static_cast<DWORD>(p[2]) << 8) | p[3];
}

// Removes the 0x00 that unsynchronisation puts after every 0xFF.
std::vector<BYTE> Resync(const BYTE* p, size_t n)
{
    std::vector<BYTE> out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(p[i]);
        if (p[i] == 0xFF && i + 1 < n && p[i + 1] == 0x00)
            ++i;
    }
    return out;
}

// Decodes a text of an ID3 frame in the given encoding up to its NUL (or the end); returns
// the number of bytes taken, terminator included.
size_t DecodeText(BYTE encoding, const BYTE* p, size_t n, std::wstring& out)
{
    out.clear();
    if (encoding == 1 || encoding == 2) {
        size_t bom = 0;
        bool bigEndian = encoding == 2;
        if (encoding == 1 && n >= 2 && ((p[0] == 0xFE && p[1] == 0xFF) || (p[0] == 0xFF && p[1] == 0xFE))) {
            bigEndian = p[0] == 0xFE;
            bom = 2;
        }
        size_t used = 0;
        out = DecodeUtf16(p + bom, n - bom, bigEndian, &used);
        return bom + used;
    }
    size_t end = 0;
    while (end < n && p[end])
        ++end;
    if (encoding == 3) {
        if (end) {
            int chars = MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(p), static_cast<int>(end), nullptr, 0);
            out.resize(chars > 0 ? chars : 0);
            if (chars > 0)
                MultiByteToWideChar(CP_UTF8, 0, reinterpret_cast<const char*>(p), static_cast<int>(end), out.data(), chars);
        }
    } else {
        for (size_t i = 0; i < end; ++i)
            out.push_back(static_cast<wchar_t>(p[i]));  // ISO-8859-1
    }
    return end < n ? end + 1 : n;
}

// The content of a frame once its own flags are undone; false when it is compressed or encrypted.
bool FrameContent(int major, const Id3Frame& f, std::vector<BYTE>& content)
{
    const BYTE* p = f.data.data();
    size_t n = f.data.size();
    if (major == 4) {
        if (f.flags & 0x000C)
            return false;
        if (f.flags & 0x0040) {  // grouping identity
            if (n < 1)
                return false;
            ++p, --n;
        }
        if (f.flags & 0x0001) {  // data length indicator
            if (n < 4)
                return false;
            p += 4, n -= 4;
        }
        content = (f.flags & 0x0002) ? Resync(p, n) : std::vector<BYTE>(p, p + n);
        return true;
    }
    if (major == 3) {
        if (f.flags & 0x00C0)
            return false;
        if (f.flags & 0x0020) {
            if (n < 1)
                return false;
            ++p, --n;
        }
    }
    content.assign(p, p + n);
    return true;
}

struct FrameMap {
    const char* v3;
    const char* v2;
    const wchar_t* name;
};
const FrameMap kTextFrames[] = {
    {"TIT2", "TT2", WM_ATTR_TITLE},
    {"TPE1", "TP1", WM_ATTR_AUTHOR},
    {"TALB", "TAL", WM_ATTR_ALBUM_TITLE},
    {"TCON", "TCO", WM_ATTR_GENRE},
    {"TYER", "TYE", WM_ATTR_YEAR},
    {"TDRC", nullptr, WM_ATTR_YEAR},
    {"TRCK", "TRK", WM_ATTR_TRACK_NUMBER},
};

HeaderAttribute Attribute(const std::wstring& name, size_t frame)
{
    HeaderAttribute a;
    a.name = name;
    a.origin = AttributeOrigin::Id3Frame;
    a.frame = frame;
    return a;
}

void FrameAttributes(MediaHeader& header, size_t index)
{
    const Id3Frame& f = header.frames[index];
    std::vector<BYTE> content;
    if (!FrameContent(header.id3Major, f, content) || content.empty())
        return;
    BYTE encoding = content[0];
    const BYTE* p = content.data() + 1;
    size_t n = content.size() - 1;
    if (f.id == "TXXX" || f.id == "TXX") {
        HeaderAttribute a = Attribute(WM_ATTR_USER_TEXT, index);
        size_t used = DecodeText(encoding, p, n, a.description);
        DecodeText(encoding, p + used, n - used, a.text);
        a.type = WMT_TYPE_BINARY;
        a.userText = true;
        header.attributes.push_back(std::move(a));
        return;
    }
    for (const FrameMap& m : kTextFrames) {
        if (f.id != m.v3 && !(m.v2 && f.id == m.v2))
            continue;
        std::wstring text;
        DecodeText(encoding, p, n, text);
        if (f.id == "TDRC" && text.size() > 4)
            text.resize(4);
        if (f.id == "TCON" || f.id == "TCO") {
            // "(17)Rock" and "(17)" forms: keep the refinement text when there is one.
            if (text.size() > 1 && text[0] == L'(') {
                size_t close = text.find(L')');
                if (close != std::wstring::npos && close + 1 < text.size())
                    text = text.substr(close + 1);
            }
        }
        HeaderAttribute a = Attribute(m.name, index);
        a.type = WMT_TYPE_STRING;
        a.value = StringValue(text);
        header.attributes.push_back(std::move(a));
        if (m.name == std::wstring(WM_ATTR_TRACK_NUMBER)) {
            DWORD number = static_cast<DWORD>(_wtoi(text.c_str()));
            if (number > 0) {
                HeaderAttribute t = Attribute(WM_ATTR_TRACK, index);
                DWORD zeroBased = number - 1;
                t.type = WMT_TYPE_DWORD;
                t.value.assign(reinterpret_cast<BYTE*>(&zeroBased), reinterpret_cast<BYTE*>(&zeroBased) + 4);
                header.attributes.push_back(std::move(t));
            }
        }
        return;
    }
}

HRESULT ReadTag(FileSource& file, MediaHeader& header, bool& found)
{
    found = false;
    BYTE top[10];
    if (header.fileSize < 10 || !ReadAt(file, 0, top, sizeof(top)) || std::memcmp(top, "ID3", 3) != 0)
        return S_OK;
    if ((top[6] | top[7] | top[8] | top[9]) & 0x80)
        return WM_E_INVALID_FILE;
    found = true;
    BYTE major = top[3], flags = top[5];
    ULONGLONG body = SyncSafe(top + 6);
    ULONGLONG total = 10 + body + ((major == 4 && (flags & 0x10)) ? 10 : 0);
    if (total > header.fileSize || total > kMaxHeaderBytes)
        return WM_E_INVALID_FILE;
    header.tagBytes = total;
    header.id3Major = major;
    header.id3Flags = flags;
    if (major < 2 || major > 4)
        return S_OK;  // an unknown version: skipped as a whole
    std::vector<BYTE> raw(static_cast<size_t>(body));
    if (!raw.empty() && !ReadAt(file, 10, raw.data(), raw.size()))
        return WM_E_INVALID_FILE;
    if ((flags & 0x80) && major < 4)
        raw = Resync(raw.data(), raw.size());
    if (major == 2 && (flags & 0x40))
        return S_OK;  // compressed version 2.2 tag: nothing readable

    ByteReader r(raw.data(), raw.size());
    if (flags & 0x40) {  // extended header
        const BYTE* s = r.Take(4);
        if (!s)
            return WM_E_INVALID_FILE;
        DWORD extended = major == 4 ? SyncSafe(s) : BigEndian(s) + 4;
        if (extended < 4 || !r.Skip(extended - 4))
            return WM_E_INVALID_FILE;
    }
    const size_t idLength = major == 2 ? 3 : 4;
    const size_t headerLength = major == 2 ? 6 : 10;
    while (r.Remaining() >= headerLength) {
        const BYTE* h = r.Current();
        if (h[0] == 0)
            break;  // padding
        bool valid = true;
        for (size_t i = 0; i < idLength; ++i)
            valid = valid && ((h[i] >= 'A' && h[i] <= 'Z') || (h[i] >= '0' && h[i] <= '9'));
        if (!valid)
            break;
        if (header.frames.size() >= kMaxEntries)
            return WM_E_INVALID_FILE;
        Id3Frame f;
        f.id.assign(reinterpret_cast<const char*>(h), idLength);
        DWORD size;
        if (major == 2)
            size = (h[3] << 16) | (h[4] << 8) | h[5];
        else {
            size = major == 4 ? SyncSafe(h + 4) : BigEndian(h + 4);
            f.flags = static_cast<WORD>((h[8] << 8) | h[9]);
            // A version 2.4 tag marked unsynchronised as a whole has every frame unsynchronised,
            // whether or not the frame says so. The frame keeps the mark, so that its data is
            // read right and stays right in a rewritten tag (whose own flags are clear).
            if (major == 4 && (flags & 0x80))
                f.flags |= 0x0002;
        }
        r.Skip(headerLength);
        const BYTE* data = r.Take(size);
        if (!data)
            return WM_E_INVALID_FILE;
        f.data.assign(data, data + size);
        header.frames.push_back(std::move(f));
        FrameAttributes(header, header.frames.size() - 1);
    }
    return S_OK;
}

struct FrameInfo {
    int version = 0;  // 3 = MPEG 1, 2 = MPEG 2, 0 = MPEG 2.5
    int layer = 0;    // 1, 2, 3
    DWORD bitrate = 0;
    DWORD sampleRate = 0;
    DWORD samples = 0;
    DWORD length = 0;
    bool mono = false;
    // A free-format stream's frame length without padding, as the distance between its frames
    // gave it (0 for a stream whose headers give the bit rate).
    DWORD freeLength = 0;
};

// The bit rate index that says the frame is free format: its length is not in the header.
bool IsFreeFormatHeader(const BYTE* p)
{
    return p[0] == 0xFF && (p[1] & 0xE0) == 0xE0 && ((p[1] >> 3) & 3) != 1 && ((p[1] >> 1) & 3) != 0 &&
           (p[2] >> 4) == 0 && ((p[2] >> 2) & 3) != 3;
}

// A frame header; a free-format one only with the stream's frame length (freeLength, padding
// not included), from which its bit rate follows.
bool ParseFrameHeader(const BYTE* p, FrameInfo& info, DWORD freeLength = 0)
{
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return false;
    int version = (p[1] >> 3) & 3, layerBits = (p[1] >> 1) & 3;
    int bitrateIndex = p[2] >> 4, rateIndex = (p[2] >> 2) & 3, padding = (p[2] >> 1) & 1;
    if (version == 1 || layerBits == 0 || bitrateIndex == 15 || rateIndex == 3 || (bitrateIndex == 0 && !freeLength))
        return false;
    static const WORD kRates[3] = {44100, 48000, 32000};
    static const WORD kBitrates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    info.version = version;
    info.layer = 4 - layerBits;
    info.bitrate = kBitrates[version == 3 ? 0 : 1][info.layer - 1][bitrateIndex] * 1000u;
    info.sampleRate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    info.mono = (p[3] >> 6) == 3;
    info.freeLength = 0;
    if (bitrateIndex == 0) {
        info.freeLength = freeLength;
        if (info.layer == 1) {
            info.samples = 384;
            info.bitrate = static_cast<DWORD>(static_cast<ULONGLONG>(freeLength / 4) * info.sampleRate / 12);
            info.length = freeLength + padding * 4u;
        } else {
            info.samples = (info.layer == 3 && version != 3) ? 576 : 1152;
            info.bitrate = static_cast<DWORD>(static_cast<ULONGLONG>(freeLength) * 8 * info.sampleRate / info.samples);
            info.length = freeLength + padding;
        }
        return info.length >= 4 && info.bitrate > 0;
    }
    if (info.layer == 1) {
        info.samples = 384;
        info.length = (12 * info.bitrate / info.sampleRate + padding) * 4;
    } else {
        info.samples = (info.layer == 3 && version != 3) ? 576 : 1152;
        info.length = info.samples / 8 * info.bitrate / info.sampleRate + padding;
    }
    return info.length >= 4;
}

// count / rate seconds in 100-nanosecond units, without overflowing on large counts.
ULONGLONG ScaleTo100ns(ULONGLONG count, ULONGLONG rate)
{
    return count / rate * 10000000ull + count % rate * 10000000ull / rate;
}

// Duration (100 ns units) and bit rate worked out from the audio, ahead of the tag's attributes.
void AddTimeAttributes(MediaHeader& header, ULONGLONG duration, DWORD bitrate)
{
    HeaderAttribute d;
    d.name = WM_ATTR_DURATION;
    d.type = WMT_TYPE_QWORD;
    d.origin = AttributeOrigin::Computed;
    d.value.assign(reinterpret_cast<BYTE*>(&duration), reinterpret_cast<BYTE*>(&duration) + sizeof(duration));
    HeaderAttribute b = d;
    b.name = WM_ATTR_BITRATE;
    b.type = WMT_TYPE_DWORD;
    b.value.assign(reinterpret_cast<BYTE*>(&bitrate), reinterpret_cast<BYTE*>(&bitrate) + sizeof(bitrate));
    header.attributes.insert(header.attributes.begin(), {d, b});
}

bool SameStream(const FrameInfo& a, const FrameInfo& b)
{
    return a.version == b.version && a.layer == b.layer && a.sampleRate == b.sampleRate && a.freeLength == b.freeLength;
}

// Frames in a row that agree (version, layer, sample rate) before a run of bytes is taken for
// a stream: a single header is easily found in noise or in picture data, four in a row are not.
constexpr int kChainFrames = 4;
// The largest frame a header's bit rate gives (layer II, 160 kbit/s at 8 kHz, padded), and the
// largest and smallest free-format frame looked for (640 kbit/s at 32 kHz is 2,880 bytes).
constexpr size_t kMaxFrameBytes = 2881;
constexpr size_t kMaxFreeFrameBytes = 4096;
constexpr size_t kMinFreeFrameBytes = 24;
// How many places of a next header a free-format first frame is tried with.
constexpr int kFreeCandidates = 4;
// The part of the audio the stream's first frame is looked for in at a time, and how far in
// all: the first 128 KiB, then a mebibyte at a time, so that junk before the first frame is
// skipped up to 64 MiB (only a file with that much junk costs that much, and only on its
// first open).
constexpr size_t kFirstSearchBytes = 128 * 1024;
constexpr size_t kSearchBytes = 1024 * 1024;
constexpr ULONGLONG kMaxJunkBytes = 64ull * 1024 * 1024;

// Whether the frames from 'at' of the buffer agree as one stream, the first as 'first' is
// (kChainFrames of them, or fewer that reach the end of the audio).
bool ChainFrom(const std::vector<BYTE>& buffer, size_t at, bool atAudioEnd, const FrameInfo& first)
{
    size_t pos = at + first.length;
    for (int i = 1; i < kChainFrames; ++i) {
        if (pos + 4 > buffer.size())
            return atAudioEnd;
        FrameInfo next;
        if (!ParseFrameHeader(buffer.data() + pos, next, first.freeLength) || !SameStream(next, first))
            return false;
        pos += next.length;
    }
    return true;
}

// A free-format stream at 'at': its frame length is the distance to the next header of the
// same kind (same version, layer, sample rate and channel mode, also free format), less the
// first frame's padding; the nearest few such headers are tried.
bool FreeStreamAt(const std::vector<BYTE>& buffer, size_t at, bool atAudioEnd, FrameInfo& first)
{
    const BYTE* p = buffer.data() + at;
    if (!IsFreeFormatHeader(p))
        return false;
    const DWORD padding = ((p[2] >> 1) & 1) * ((((p[1] >> 1) & 3) == 3) ? 4u : 1u);
    const size_t last = std::min(buffer.size() - 4, at + kMaxFreeFrameBytes + 4);
    int tried = 0;
    for (size_t next = at + kMinFreeFrameBytes; next <= last && tried < kFreeCandidates; ++next) {
        const BYTE* q = buffer.data() + next;
        if (q[0] != 0xFF || q[1] != p[1] || (q[2] & 0xFC) != (p[2] & 0xFC) || (q[3] & 0xC0) != (p[3] & 0xC0))
            continue;
        ++tried;
        const size_t distance = next - at;
        if (distance <= padding || !ParseFrameHeader(p, first, static_cast<DWORD>(distance - padding)))
            continue;
        if (ChainFrom(buffer, at, atAudioEnd, first))
            return true;
    }
    return false;
}

// Whether a stream starts at 'at' of the buffer: kChainFrames agreeing frames, or fewer that
// reach the end of the audio (the buffer's end is the audio's when atAudioEnd).
bool StreamAt(const std::vector<BYTE>& buffer, size_t at, bool atAudioEnd, FrameInfo& first)
{
    if (at + 4 > buffer.size())
        return false;
    if (!ParseFrameHeader(buffer.data() + at, first))
        return FreeStreamAt(buffer, at, atAudioEnd, first);
    return ChainFrom(buffer, at, atAudioEnd, first);
}

// Frames counted in a part of the audio: their samples and bytes, and whether their bit rates differ.
struct FrameCount {
    ULONGLONG samples = 0;
    ULONGLONG bytes = 0;
    bool variable = false;
};

// Counts the whole frames of the stream in a buffer, from its first frame at 'at' (or, with
// resync, from the first stream found), finding the stream again after damage.
void CountFrames(const std::vector<BYTE>& buffer, size_t at, bool resync, bool atAudioEnd, const FrameInfo& stream,
                 FrameCount& count)
{
    bool synced = !resync;
    while (at + 4 <= buffer.size()) {
        FrameInfo f;
        if (!synced) {
            if (!StreamAt(buffer, at, atAudioEnd, f) || !SameStream(f, stream)) {
                ++at;
                continue;
            }
            synced = true;
        }
        if (!ParseFrameHeader(buffer.data() + at, f, stream.freeLength) || !SameStream(f, stream)) {
            synced = false;
            ++at;
            continue;
        }
        if (at + f.length > buffer.size())
            break;
        count.samples += f.samples;
        count.bytes += f.length;
        count.variable = count.variable || f.bitrate != stream.bitrate;
        at += f.length;
    }
}

// The frame count (and the byte count, when given) of a Xing, Info or VBRI header in a first
// frame; variable is set for Xing and VBRI. False when the frame carries none.
bool FrameCountHeader(const BYTE* frame, size_t inFrame, const FrameInfo& info, ULONGLONG& frames, ULONGLONG& bytes,
                      bool& variable)
{
    frames = bytes = 0;
    variable = false;
    size_t sideInfo = info.version == 3 ? (info.mono ? 17 : 32) : (info.mono ? 9 : 17);
    size_t xing = 4 + sideInfo;
    if (info.layer == 3 && xing + 8 <= inFrame &&
        (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        variable = std::memcmp(frame + xing, "Xing", 4) == 0;
        DWORD flags = BigEndian(frame + xing + 4);
        size_t pos = xing + 8;
        if ((flags & 1) && pos + 4 <= inFrame) {
            frames = BigEndian(frame + pos);
            pos += 4;
        }
        if ((flags & 2) && pos + 4 <= inFrame)
            bytes = BigEndian(frame + pos);
        return true;
    }
    if (36 + 18 <= inFrame && std::memcmp(frame + 36, "VBRI", 4) == 0) {
        variable = true;
        bytes = BigEndian(frame + 36 + 10);
        frames = BigEndian(frame + 36 + 14);
        return true;
    }
    return false;
}

// Where the stream starts: the first run of agreeing frames in the audio, searched a
// mebibyte at a time up to kMaxJunkBytes. When its first frame carries a frame count that is
// trusted and nothing more is read; otherwise the stream is the last run of agreeing frames
// that starts in the same part: a fragment of another stream before the real one is
// skipped (its frames end where the real ones begin), and a run before it with the same
// format is the same stream, broken by damage: it counts from there. 'at' is relative to the
// audio's start; window holds the audio from windowAt on.
bool LocateStream(FileSource& file, ULONGLONG start, ULONGLONG available, ULONGLONG& at, FrameInfo& info,
                  std::vector<BYTE>& window, ULONGLONG& windowAt)
{
    for (ULONGLONG base = 0, scan = kFirstSearchBytes; base < available && base < kMaxJunkBytes;
         base += scan, scan = kSearchBytes) {
        window.resize(static_cast<size_t>(std::min<ULONGLONG>(available - base, scan + kChainFrames * std::max(kMaxFrameBytes, kMaxFreeFrameBytes))));
        if (window.size() < 4 || !ReadAt(file, start + base, window.data(), window.size()))
            return false;
        windowAt = base;
        const bool windowIsAll = base + window.size() == available;
        bool found = false;
        size_t runAt = 0;
        for (size_t pos = 0; pos < scan && pos + 4 <= window.size();) {
            FrameInfo f;
            // A run cut short by the end of the audio counts only while nothing else was found:
            // a lone header in a trailing tag's picture is not a stream.
            if (!StreamAt(window, pos, windowIsAll && !found, f)) {
                ++pos;
                continue;
            }
            if (!found) {
                ULONGLONG frames, bytes;
                bool variable;
                if (FrameCountHeader(window.data() + pos, std::min<size_t>(f.length, window.size() - pos), f, frames, bytes,
                                     variable) &&
                    frames) {
                    at = base + pos;
                    info = f;
                    return true;
                }
            }
            if (!found || !SameStream(f, info)) {
                runAt = pos;
                info = f;
            }
            found = true;
            FrameInfo next;
            while (pos + 4 <= window.size() && ParseFrameHeader(window.data() + pos, next, info.freeLength) &&
                   SameStream(next, info))
                pos += next.length;
            if (pos + 4 > window.size())
                break;
        }
        if (found) {
            at = base + runAt;
            return true;
        }
        // The next part overlaps this one by a few frames, so that no run is missed.
        if (window.size() <= scan)
            break;
    }
    return false;
}

// Duration (100 ns units) of a span of audio whose frames are not counted in a header. A span
// of up to kCountAllBytes is walked whole. A longer one is sampled: first kProbeWindows small
// windows spread over it; when all their frames share the stream's bit rate the span is taken
// as constant bit rate and its length gives the duration (128 KiB read, whatever its size).
// Otherwise kSampleWindows wider windows are counted and the rest is taken to be like them (a
// 10-hour file costs 32 reads of 128 KiB). bitrate is set when the frames' rates differ.
ULONGLONG SpanDuration(FileSource& file, ULONGLONG offset, ULONGLONG bytes, const FrameInfo& stream, bool startsAtFrame,
                       DWORD& bitrate)
{
    constexpr ULONGLONG kCountAllBytes = 256 * 1024;
    constexpr int kProbeWindows = 8;
    constexpr size_t kProbeBytes = 16 * 1024;
    constexpr ULONGLONG kWalkVariableBytes = 8ull * 1024 * 1024;
    constexpr int kSampleWindows = 32;
    constexpr size_t kWindowBytes = 128 * 1024;
    auto sample = [&](int windows, size_t windowBytes, FrameCount& count) {
        std::vector<BYTE> part(windowBytes);
        for (int i = 0; i < windows; ++i) {
            ULONGLONG at = (bytes - windowBytes) / (windows - 1) * i;
            if (ReadAt(file, offset + at, part.data(), part.size()))
                CountFrames(part, 0, i > 0 || !startsAtFrame, false, stream, count);
        }
    };
    auto walk = [&](FrameCount& count) {
        std::vector<BYTE> all(static_cast<size_t>(bytes));
        if (ReadAt(file, offset, all.data(), all.size()))
            CountFrames(all, 0, !startsAtFrame, true, stream, count);
    };
    FrameCount count;
    bool exact = bytes <= kCountAllBytes;
    if (exact) {
        walk(count);
    } else {
        sample(kProbeWindows, kProbeBytes, count);
        if (count.variable || !count.bytes) {
            count = FrameCount();
            exact = bytes <= kWalkVariableBytes;
            if (exact)
                walk(count);
            else
                sample(kSampleWindows, kWindowBytes, count);
        }
    }
    // A free-format stream's padded frames make its rate a little more than its frame length
    // says: its frames are counted as those of a variable one.
    if (!count.variable && stream.bitrate && !stream.freeLength)
        return ScaleTo100ns(bytes * 8, stream.bitrate);
    if (!count.bytes)
        return 0;
    ULONGLONG duration = ScaleTo100ns(count.samples, stream.sampleRate);
    if (!exact)
        duration = static_cast<ULONGLONG>(static_cast<double>(duration) * static_cast<double>(bytes) /
                                          static_cast<double>(count.bytes));
    if (duration) {
        double bits = static_cast<double>(bytes) * 8.0 * 1e7 / static_cast<double>(duration);
        bitrate = static_cast<DWORD>(std::min(bits, 4294967295.0));
    }
    return duration;
}

// What the audio gave.
struct AudioFacts {
    bool found = false;
    ULONGLONG duration = 0;
    DWORD bitrate = 0;
};

AudioFacts ReadAudio(FileSource& file, ULONGLONG start, ULONGLONG audioEnd)
{
    AudioFacts facts;
    ULONGLONG available = audioEnd > start ? audioEnd - start : 0;
    ULONGLONG at = 0, windowAt = 0;
    FrameInfo info;
    std::vector<BYTE> window;
    if (!LocateStream(file, start, available, at, info, window, windowAt))
        return facts;
    facts.found = true;

    const ULONGLONG audioBytes = available - at;
    const size_t inWindow = static_cast<size_t>(at - windowAt);
    const BYTE* frame = window.data() + inWindow;
    ULONGLONG frames = 0, headerBytes = 0;
    bool variable = false;
    FrameCountHeader(frame, std::min<size_t>(info.length, window.size() - inWindow), info, frames, headerBytes, variable);
    facts.bitrate = info.bitrate;
    if (frames && !variable && !info.freeLength) {
        // An encoder's Info frame may be written at a higher rate than the audio (one at the
        // audio's rate is too small to hold it): the rate is the first audio frame's.
        FrameInfo audio;
        const size_t next = inWindow + info.length;
        if (next + 4 <= window.size() && ParseFrameHeader(window.data() + next, audio) && SameStream(audio, info))
            facts.bitrate = audio.bitrate;
    }
    if (!frames) {
        facts.duration = SpanDuration(file, start + at, audioBytes, info, true, facts.bitrate);
        return facts;
    }
    facts.duration = ScaleTo100ns(frames * info.samples, info.sampleRate);
    // The bytes the header accounts for: given, or its frames at the first frame's size.
    ULONGLONG accounted = headerBytes ? headerBytes : variable ? 0 : frames * info.length;
    ULONGLONG counted = audioBytes;
    if (accounted && accounted < audioBytes && audioBytes - accounted > std::max<ULONGLONG>(accounted / 8, 256 * 1024)) {
        // Far more audio than the header tells of (files joined end to end): the rest counts too.
        DWORD restBitrate = info.bitrate;
        facts.duration += SpanDuration(file, start + at + accounted, audioBytes - accounted, info, false, restBitrate);
        variable = true;
    } else if (headerBytes) {
        counted = headerBytes;
    }
    if ((variable || info.freeLength) && facts.duration) {
        double bits = static_cast<double>(counted) * 8.0 * 1e7 / static_cast<double>(facts.duration);
        facts.bitrate = static_cast<DWORD>(std::min(bits, 4294967295.0));
    }
    return facts;
}

void AudioAttributes(FileSource& file, MediaHeader& header, bool& foundFrame)
{
    ULONGLONG start = header.tagBytes;
    ULONGLONG audioEnd = header.fileSize;
    if (audioEnd >= start + 128) {
        char tag[3];
        if (ReadAt(file, audioEnd - 128, tag, 3) && std::memcmp(tag, "TAG", 3) == 0)
            audioEnd -= 128;
    }
    const AudioFacts facts = ReadAudio(file, start, audioEnd);
    foundFrame = facts.found;
    // A duration that was not found is not reported (as 0 or otherwise).
    if (facts.found && facts.duration)
        AddTimeAttributes(header, facts.duration, facts.bitrate);
    else
        foundFrame = false;
}

// The ID3v1 tag in the last 128 bytes: title, artist, album, year and (version 1.1) track,
// for each that the ID3v2 tag does not give.
void Version1Attributes(FileSource& file, MediaHeader& header)
{
    BYTE v1[128];
    if (header.fileSize < header.tagBytes + 128 || !ReadAt(file, header.fileSize - 128, v1, sizeof(v1)) ||
        std::memcmp(v1, "TAG", 3) != 0)
        return;
    auto has = [&header](const wchar_t* name) {
        return std::any_of(header.attributes.begin(), header.attributes.end(),
                           [name](const HeaderAttribute& a) { return a.stream == 0 && a.name == name; });
    };
    auto add = [&](const wchar_t* name, const BYTE* p, size_t n) {
        std::wstring text;
        DecodeText(0, p, n, text);
        while (!text.empty() && text.back() == L' ')
            text.pop_back();
        if (text.empty() || has(name))
            return;
        HeaderAttribute a;
        a.name = name;
        a.type = WMT_TYPE_STRING;
        a.value = StringValue(text);
        a.origin = AttributeOrigin::Id3v1;
        header.attributes.push_back(std::move(a));
    };
    add(WM_ATTR_TITLE, v1 + 3, 30);
    add(WM_ATTR_AUTHOR, v1 + 33, 30);
    add(WM_ATTR_ALBUM_TITLE, v1 + 63, 30);
    add(WM_ATTR_YEAR, v1 + 93, 4);
    // Version 1.1: a zero before the last byte of the comment makes that byte the track.
    if (v1[125] == 0 && v1[126] != 0 && !has(WM_ATTR_TRACK_NUMBER) && !has(WM_ATTR_TRACK)) {
        BYTE number[4];
        int n = std::snprintf(reinterpret_cast<char*>(number), sizeof(number), "%u", v1[126]);
        add(WM_ATTR_TRACK_NUMBER, number, static_cast<size_t>(n));
        HeaderAttribute t;
        t.name = WM_ATTR_TRACK;
        t.type = WMT_TYPE_DWORD;
        DWORD zeroBased = v1[126] - 1u;
        t.value.assign(reinterpret_cast<BYTE*>(&zeroBased), reinterpret_cast<BYTE*>(&zeroBased) + 4);
        t.origin = AttributeOrigin::Id3v1;
        header.attributes.push_back(std::move(t));
    }
}

}  // namespace

HRESULT ReadMp3Header(FileSource& file, MediaHeader& header)
{
    header.kind = MediaKind::Mp3;
    bool tag = false, audio = false;
    HRESULT hr = ReadTag(file, header, tag);
    if (FAILED(hr))
        return hr;
    // Computed attributes come first, the tag's after them.
    std::vector<HeaderAttribute> tagAttributes;
    tagAttributes.swap(header.attributes);
    AudioAttributes(file, header, audio);
    if (!tag && !audio)
        return WM_E_INVALID_FILE;
    HeaderAttribute s;
    s.name = WM_ATTR_FILE_SIZE;
    s.type = WMT_TYPE_QWORD;
    s.origin = AttributeOrigin::Computed;
    s.value.assign(reinterpret_cast<BYTE*>(&header.fileSize), reinterpret_cast<BYTE*>(&header.fileSize) + 8);
    header.attributes.push_back(s);
    HeaderAttribute p = s;
    DWORD unprotected = 0;
    p.name = WM_ATTR_IS_PROTECTED;
    p.type = WMT_TYPE_BOOL;
    p.value.assign(reinterpret_cast<BYTE*>(&unprotected), reinterpret_cast<BYTE*>(&unprotected) + 4);
    header.attributes.push_back(p);
    for (auto& a : tagAttributes)
        header.attributes.push_back(std::move(a));
    Version1Attributes(file, header);
    return S_OK;
}

namespace {

void PutSize(std::vector<BYTE>& out, int major, DWORD size)
{
    if (major == 4) {
        out.push_back(static_cast<BYTE>((size >> 21) & 0x7F));
        out.push_back(static_cast<BYTE>((size >> 14) & 0x7F));
        out.push_back(static_cast<BYTE>((size >> 7) & 0x7F));
        out.push_back(static_cast<BYTE>(size & 0x7F));
    } else {
        out.push_back(static_cast<BYTE>(size >> 24));
        out.push_back(static_cast<BYTE>(size >> 16));
        out.push_back(static_cast<BYTE>(size >> 8));
        out.push_back(static_cast<BYTE>(size));
    }
}

void PutUtf16(std::vector<BYTE>& out, const std::wstring& s, bool terminate)
{
    out.push_back(0xFF);
    out.push_back(0xFE);
    for (wchar_t c : s) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminate) {
        out.push_back(0);
        out.push_back(0);
    }
}

const char* FrameIdFor(const std::wstring& name, int major = 3)
{
    // Version 2.4 has no year frame of its own: the recording time stands for it.
    if (major == 4 && name == WM_ATTR_YEAR)
        return "TDRC";
    for (const FrameMap& m : kTextFrames)
        if (name == m.name && std::strcmp(m.v3, "TDRC") != 0)
            return major == 2 ? m.v2 : m.v3;
    return nullptr;
}

// Version 2.2 frames and their version 2.3 names; the frames keep their content as it is,
// except the picture frame, whose image format becomes a MIME type.
const char* const kUpgradedFrames[][2] = {
    {"BUF", "RBUF"}, {"CNT", "PCNT"}, {"COM", "COMM"}, {"CRA", "AENC"}, {"ETC", "ETCO"}, {"EQU", "EQUA"},
    {"GEO", "GEOB"}, {"IPL", "IPLS"}, {"MCI", "MCDI"}, {"MLL", "MLLT"}, {"POP", "POPM"}, {"REV", "RVRB"},
    {"RVA", "RVAD"}, {"SLT", "SYLT"}, {"STC", "SYTC"}, {"TAL", "TALB"}, {"TBP", "TBPM"}, {"TCM", "TCOM"},
    {"TCO", "TCON"}, {"TCP", "TCMP"}, {"TCR", "TCOP"}, {"TDA", "TDAT"}, {"TDY", "TDLY"}, {"TEN", "TENC"},
    {"TFT", "TFLT"}, {"TIM", "TIME"}, {"TKE", "TKEY"}, {"TLA", "TLAN"}, {"TLE", "TLEN"}, {"TMT", "TMED"},
    {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOL", "TOLY"}, {"TOR", "TORY"}, {"TOT", "TOAL"}, {"TP1", "TPE1"},
    {"TP2", "TPE2"}, {"TP3", "TPE3"}, {"TP4", "TPE4"}, {"TPA", "TPOS"}, {"TPB", "TPUB"}, {"TRC", "TSRC"},
    {"TRD", "TRDA"}, {"TRK", "TRCK"}, {"TS2", "TSO2"}, {"TSA", "TSOA"}, {"TSC", "TSOC"}, {"TSI", "TSIZ"},
    {"TSP", "TSOP"}, {"TSS", "TSSE"}, {"TST", "TSOT"}, {"TT1", "TIT1"}, {"TT2", "TIT2"}, {"TT3", "TIT3"},
    {"TXT", "TEXT"}, {"TXX", "TXXX"}, {"TYE", "TYER"}, {"UFI", "UFID"}, {"ULT", "USLT"}, {"WAF", "WOAF"},
    {"WAR", "WOAR"}, {"WAS", "WOAS"}, {"WCM", "WCOM"}, {"WCP", "WCOP"}, {"WPB", "WPUB"}, {"WXX", "WXXX"},
    // The frames podcast and music programs add to version 2.2 tags.
    {"PCS", "PCST"}, {"TCT", "TCAT"}, {"TDS", "TDES"}, {"TID", "TGID"}, {"WFD", "WFED"}, {"TKW", "TKWD"},
    {"MVN", "MVNM"}, {"MVI", "MVIN"}, {"GP1", "GRP1"},
};

// A version 2.2 frame as version 2.3 writes it; false for a frame that version 2.3 has no
// form for (encrypted metadata, links to 3-letter frames, frames of a program's own).
bool UpgradeFrame(const Id3Frame& f, std::string& id, std::vector<BYTE>& data)
{
    if (f.id == "PIC") {
        // encoding, 3-letter image format, picture type, description, data
        if (f.data.size() < 5)
            return false;
        std::string format(reinterpret_cast<const char*>(f.data.data() + 1), 3);
        for (char& c : format)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        std::string mime = "image/" + std::string(format == "jpg" ? "jpeg" : format);
        id = "APIC";
        data.assign(f.data.begin(), f.data.begin() + 1);
        data.insert(data.end(), mime.begin(), mime.end());
        data.push_back(0);
        data.insert(data.end(), f.data.begin() + 4, f.data.end());
        return true;
    }
    for (const auto& m : kUpgradedFrames)
        if (f.id == m[0]) {
            id = m[1];
            data = f.data;
            return true;
        }
    return false;
}

}  // namespace

HRESULT BuildMp3Tag(const MediaHeader& header, HeaderWrite& write)
{
    write = HeaderWrite();
    std::vector<BYTE>& out = write.head;
    if (header.kind != MediaKind::Mp3)
        return E_UNEXPECTED;
    // A version 2.2 tag is written as a version 2.3 one with the same frames when every frame
    // has a version 2.3 form; otherwise it stays a version 2.2 tag, every frame as it was. A
    // compressed one (whose frames were not read) and unknown versions are not written.
    bool upgrade = header.tagBytes && header.id3Major == 2;
    if (header.tagBytes && !(header.id3Major == 3 || header.id3Major == 4 || (upgrade && !(header.id3Flags & 0x40))))
        return NS_E_INVALID_REQUEST;
    if (upgrade)
        for (const Id3Frame& f : header.frames) {
            std::string id;
            std::vector<BYTE> data;
            if (!f.removed && !UpgradeFrame(f, id, data))
                upgrade = false;
        }
    int major = header.tagBytes ? (upgrade ? 3 : header.id3Major) : 3;
    std::vector<BYTE> frames;
    bool tooLarge = false;
    auto putFrame = [&](const std::string& id, WORD flags, const std::vector<BYTE>& data) {
        if (major == 2 && data.size() >= (1u << 24)) {
            tooLarge = true;
            return;
        }
        frames.insert(frames.end(), id.begin(), id.end());
        if (major == 2) {
            // Three bytes of size and no flags.
            frames.push_back(static_cast<BYTE>(data.size() >> 16));
            frames.push_back(static_cast<BYTE>(data.size() >> 8));
            frames.push_back(static_cast<BYTE>(data.size()));
        } else {
            PutSize(frames, major, static_cast<DWORD>(data.size()));
            frames.push_back(static_cast<BYTE>(flags >> 8));
            frames.push_back(static_cast<BYTE>(flags));
        }
        frames.insert(frames.end(), data.begin(), data.end());
    };
    for (const Id3Frame& f : header.frames) {
        if (f.removed)
            continue;
        if (!upgrade) {
            putFrame(f.id, f.flags, f.data);
            continue;
        }
        std::string id;
        std::vector<BYTE> data;
        if (UpgradeFrame(f, id, data))
            putFrame(id, 0, data);
    }
    for (const HeaderAttribute& a : header.attributes) {
        // A new tag takes over what the version 1 tag gives, unless the same is added.
        bool fromVersion1 = a.origin == AttributeOrigin::Id3v1 && !header.tagBytes && a.name != WM_ATTR_TRACK &&
                            std::none_of(header.attributes.begin(), header.attributes.end(), [&a](const HeaderAttribute& x) {
                                return x.origin == AttributeOrigin::Added && x.name == a.name;
                            });
        if (a.origin != AttributeOrigin::Added && !fromVersion1)
            continue;
        std::vector<BYTE> data{1};
        if (a.userText) {
            PutUtf16(data, a.description, true);
            PutUtf16(data, a.text, false);
            putFrame(major == 2 ? "TXX" : "TXXX", 0, data);
        } else if (const char* id = FrameIdFor(a.name, major); id && a.type == WMT_TYPE_STRING) {
            PutUtf16(data, StringFromValue(a.value), false);
            putFrame(id, 0, data);
        } else {
            return NS_E_INVALID_REQUEST;
        }
    }
    const size_t padding = 1024;
    size_t body = frames.size() + padding;
    if (tooLarge || body >= (1u << 28))
        return E_INVALIDARG;
    out.assign({'I', 'D', '3', static_cast<BYTE>(major), 0, 0});
    PutSize(out, 4, static_cast<DWORD>(body));  // the tag size is always sync-safe
    out.insert(out.end(), frames.begin(), frames.end());
    out.resize(out.size() + padding, 0);
    write.originalEnd = header.tagBytes;
    return S_OK;
}

HRESULT CanAddAttribute(const MediaHeader& header, const HeaderAttribute& a)
{
    if (a.stream != 0)
        return NS_E_INVALID_REQUEST;
    if (header.kind == MediaKind::Mp3)
        return (a.userText || (FrameIdFor(a.name) && a.type == WMT_TYPE_STRING)) ? S_OK : NS_E_INVALID_REQUEST;
    return S_OK;
}

HRESULT CanDeleteAttribute(const MediaHeader&, const HeaderAttribute& a)
{
    switch (a.origin) {
    case AttributeOrigin::Computed:
    case AttributeOrigin::Id3v1:
        return NS_E_INVALID_REQUEST;
    default:
        return S_OK;
    }
}

}  // namespace wmformat
