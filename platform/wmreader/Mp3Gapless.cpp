#include "Mp3Gapless.h"

#include <cstring>
#include <vector>

namespace wmreader {

namespace {

DWORD Be32(const BYTE* p)
{
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) | (static_cast<DWORD>(p[2]) << 8) | p[3];
}

bool StartsWith(const char* name, const char* prefix)
{
    return std::strncmp(name, prefix, std::strlen(prefix)) == 0;
}

}  // namespace

ULONGLONG Mp3FirstFrameOffset(const BYTE* head, size_t length, ULONGLONG size)
{
    ULONGLONG at = 0;
    // One tag after the other, as long as the next one lies in what was read.
    while (at + 10 <= length && std::memcmp(head + at, "ID3", 3) == 0 && head[at + 3] != 0xFF && head[at + 4] != 0xFF &&
           !(head[at + 6] & 0x80) && !(head[at + 7] & 0x80) && !(head[at + 8] & 0x80) && !(head[at + 9] & 0x80)) {
        const DWORD body = (static_cast<DWORD>(head[at + 6]) << 21) | (static_cast<DWORD>(head[at + 7]) << 14) |
                           (static_cast<DWORD>(head[at + 8]) << 7) | head[at + 9];
        at += 10 + static_cast<ULONGLONG>(body) + ((head[at + 5] & 0x10) ? 10 : 0);
    }
    return at < size ? at : size;
}

bool ReadMp3Gapless(const BYTE* frame, size_t length, Mp3Gapless* tag)
{
    *tag = Mp3Gapless();
    if (length < 4 || frame[0] != 0xFF || (frame[1] & 0xE0) != 0xE0)
        return false;
    const int version = (frame[1] >> 3) & 3;  // 0 MPEG-2.5, 2 MPEG-2, 3 MPEG-1
    const int layer = (frame[1] >> 1) & 3;    // 1: layer III
    const bool crc = (frame[1] & 1) == 0;
    const int bitrate = frame[2] >> 4;
    const int rateIndex = (frame[2] >> 2) & 3;
    const bool mono = (frame[3] >> 6) == 3;
    if (version == 1 || layer != 1 || bitrate == 0 || bitrate == 15 || rateIndex == 3)
        return false;
    static const DWORD kRates[3] = {44100, 48000, 32000};
    const DWORD rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const size_t sideInfo = version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    size_t at = 4 + (crc ? 2 : 0) + sideInfo;
    if (at + 8 > length || (std::memcmp(frame + at, "Xing", 4) != 0 && std::memcmp(frame + at, "Info", 4) != 0))
        return false;
    const DWORD flags = Be32(frame + at + 4);
    if (!(flags & 1))
        return false;  // no frame count: where the audio ends is not known
    at += 8;
    if (at + 4 > length)
        return false;
    const ULONGLONG frames = Be32(frame + at);
    at += 4;
    if (flags & 2)
        at += 4;    // the byte count
    if (flags & 4)
        at += 100;  // the seek table
    if (flags & 8)
        at += 4;    // the quality
    // The encoder's tag: its name (9 bytes), then 12 bytes of what it chose, then the delay and
    // the padding in 12 bits each.
    if (at + 24 > length)
        return false;
    char name[10] = {};
    std::memcpy(name, frame + at, 9);
    if (!StartsWith(name, "LAME") && !StartsWith(name, "Lavf") && !StartsWith(name, "Lavc"))
        return false;  // a tag whose last fields mean something else, or nothing
    const BYTE* gap = frame + at + 21;
    const DWORD delay = (static_cast<DWORD>(gap[0]) << 4) | (gap[1] >> 4);
    const DWORD padding = (static_cast<DWORD>(gap[1] & 0x0F) << 8) | gap[2];
    const DWORD frameSamples = version == 3 ? 1152 : 576;
    if (!frames || static_cast<ULONGLONG>(delay) + padding >= frames * frameSamples)
        return false;
    tag->rate = rate;
    tag->frameSamples = frameSamples;
    tag->frames = frames;
    tag->encoderDelay = delay;
    tag->padding = padding;
    std::memcpy(tag->encoder, name, sizeof(tag->encoder));
    return true;
}

bool ReadMp3FileGapless(const wchar_t* path, Mp3Gapless* tag)
{
    *tag = Mp3Gapless();
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool found = false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return false;
    }
    // Read from the start, and again from where the tags that did not fit in what was read end,
    // until the first frame is in what was read (a few tags at most).
    constexpr size_t kFrameBytes = 2048;
    std::vector<BYTE> head(kMp3HeadBytes);
    ULONGLONG at = 0;
    for (int reads = 0; reads < 8; ++reads) {
        LARGE_INTEGER position{};
        position.QuadPart = static_cast<LONGLONG>(at);
        DWORD got = 0;
        if (at >= static_cast<ULONGLONG>(size.QuadPart) || !SetFilePointerEx(file, position, nullptr, FILE_BEGIN) ||
            !ReadFile(file, head.data(), static_cast<DWORD>(head.size()), &got, nullptr) || !got)
            break;
        const ULONGLONG skip = Mp3FirstFrameOffset(head.data(), got, static_cast<ULONGLONG>(size.QuadPart) - at);
        if (skip == 0 || skip + kFrameBytes <= got) {
            found = ReadMp3Gapless(head.data() + skip, got - static_cast<size_t>(skip), tag);
            break;
        }
        at += skip;
    }
    CloseHandle(file);
    return found;
}

DecodedTrim SystemDecoderTrim(const Mp3Gapless& tag)
{
    DecodedTrim trim;
    if (!tag.frames || StartsWith(tag.encoder, "LAME"))
        return trim;
    trim.skipFrames = static_cast<ULONGLONG>(tag.encoderDelay) + kMp3DecoderDelay;
    trim.keepFrames = tag.frames * tag.frameSamples - tag.encoderDelay - tag.padding;
    return trim;
}

}  // namespace wmreader
