// The stand-in's conversion: the 16-bit PCM of a WAV file, unchanged, in an MP4 audio file
// whose sample entry ('sowt') says little-endian 16-bit samples. Media data first, the movie
// header after it; one sample per audio frame, grouped in chunks.
#include "Model.h"
#include "Mp4Box.h"

#include <cstdint>
#include <vector>

namespace itunes {

namespace {

struct WavFormat {
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t bits = 0;
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;
};

class File {
public:
    File(const std::wstring& path, bool write)
        : m_handle(CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ, write ? 0 : FILE_SHARE_READ, nullptr,
                               write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ~File()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    bool Ok() const { return m_handle != INVALID_HANDLE_VALUE; }
    uint64_t Size() const
    {
        LARGE_INTEGER size{};
        return GetFileSizeEx(m_handle, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
    }
    bool Seek(uint64_t offset)
    {
        LARGE_INTEGER to{};
        to.QuadPart = static_cast<LONGLONG>(offset);
        return SetFilePointerEx(m_handle, to, nullptr, FILE_BEGIN) != 0;
    }
    bool Read(void* data, DWORD size)
    {
        DWORD done = 0;
        return ReadFile(m_handle, data, size, &done, nullptr) && done == size;
    }
    bool Write(const void* data, size_t size)
    {
        DWORD done = 0;
        return WriteFile(m_handle, data, static_cast<DWORD>(size), &done, nullptr) && done == size;
    }

private:
    HANDLE m_handle;
};

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

bool ReadWavFormat(File& file, WavFormat& format)
{
    uint8_t header[12];
    const uint64_t size = file.Size();
    if (!file.Read(header, 12) || memcmp(header, "RIFF", 4) != 0 || memcmp(header + 8, "WAVE", 4) != 0)
        return false;
    uint64_t offset = 12;
    bool haveFormat = false;
    while (offset + 8 <= size) {
        uint8_t chunk[8];
        if (!file.Seek(offset) || !file.Read(chunk, 8))
            return false;
        const uint64_t length = Le32(chunk + 4);
        if (memcmp(chunk, "fmt ", 4) == 0 && length >= 16) {
            uint8_t fmt[16];
            if (!file.Read(fmt, 16))
                return false;
            const uint16_t tag = Le16(fmt);
            format.channels = Le16(fmt + 2);
            format.sampleRate = Le32(fmt + 4);
            format.bits = Le16(fmt + 14);
            haveFormat = tag == 1 || tag == 0xFFFE;
        } else if (memcmp(chunk, "data", 4) == 0) {
            format.dataOffset = offset + 8;
            format.dataSize = std::min<uint64_t>(length, size - format.dataOffset);
            break;
        }
        offset += 8 + length + (length & 1);
    }
    return haveFormat && format.bits == 16 && format.channels >= 1 && format.channels <= 8 && format.sampleRate > 0 &&
           format.sampleRate < 65536 && format.dataOffset != 0;
}

void FullBox(mp4::ByteWriter& w, uint32_t versionAndFlags) { w.U32(versionAndFlags); }

void Matrix(mp4::ByteWriter& w)
{
    const uint32_t values[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
    for (uint32_t v : values)
        w.U32(v);
}

std::vector<uint8_t> MovieBox(const WavFormat& format, uint64_t frames, uint64_t mediaOffset, uint32_t chunkFrames)
{
    using mp4::FourCc;
    const uint32_t bytesPerFrame = format.channels * 2u;
    const uint64_t chunks = frames == 0 ? 0 : (frames + chunkFrames - 1) / chunkFrames;
    const uint64_t durationMs = frames * 1000 / format.sampleRate;
    mp4::ByteWriter w;
    const size_t moov = w.Begin(FourCc("moov"));
    const size_t mvhd = w.Begin(FourCc("mvhd"));
    FullBox(w, 0);
    w.U32(0);
    w.U32(0);
    w.U32(1000);
    w.U32(static_cast<uint32_t>(durationMs));
    w.U32(0x00010000);
    w.U16(0x0100);
    w.Zeros(10);
    Matrix(w);
    w.Zeros(24);
    w.U32(2);
    w.End(mvhd);
    const size_t trak = w.Begin(FourCc("trak"));
    const size_t tkhd = w.Begin(FourCc("tkhd"));
    FullBox(w, 7);
    w.U32(0);
    w.U32(0);
    w.U32(1);
    w.U32(0);
    w.U32(static_cast<uint32_t>(durationMs));
    w.Zeros(8);
    w.U16(0);
    w.U16(1);
    w.U16(0x0100);
    w.U16(0);
    Matrix(w);
    w.U32(0);
    w.U32(0);
    w.End(tkhd);
    const size_t mdia = w.Begin(FourCc("mdia"));
    const size_t mdhd = w.Begin(FourCc("mdhd"));
    FullBox(w, 0);
    w.U32(0);
    w.U32(0);
    w.U32(format.sampleRate);
    w.U32(static_cast<uint32_t>(frames));
    w.U16(0x55C4);  // "und"
    w.U16(0);
    w.End(mdhd);
    const size_t hdlr = w.Begin(FourCc("hdlr"));
    FullBox(w, 0);
    w.U32(0);
    w.U32(FourCc("soun"));
    w.Zeros(12);
    w.Append("SoundHandler", 13);
    w.End(hdlr);
    const size_t minf = w.Begin(FourCc("minf"));
    const size_t smhd = w.Begin(FourCc("smhd"));
    FullBox(w, 0);
    w.U32(0);
    w.End(smhd);
    const size_t dinf = w.Begin(FourCc("dinf"));
    const size_t dref = w.Begin(FourCc("dref"));
    FullBox(w, 0);
    w.U32(1);
    const size_t url = w.Begin(FourCc("url "));
    FullBox(w, 1);
    w.End(url);
    w.End(dref);
    w.End(dinf);
    const size_t stbl = w.Begin(FourCc("stbl"));
    const size_t stsd = w.Begin(FourCc("stsd"));
    FullBox(w, 0);
    w.U32(1);
    const size_t sowt = w.Begin(FourCc("sowt"));
    w.Zeros(6);
    w.U16(1);
    w.U16(0);  // sound description version 0
    w.U16(0);
    w.U32(0);
    w.U16(format.channels);
    w.U16(16);
    w.U16(0);
    w.U16(0);
    w.U32(format.sampleRate << 16);
    w.End(sowt);
    w.End(stsd);
    const size_t stts = w.Begin(FourCc("stts"));
    FullBox(w, 0);
    w.U32(frames ? 1 : 0);
    if (frames) {
        w.U32(static_cast<uint32_t>(frames));
        w.U32(1);
    }
    w.End(stts);
    const size_t stsc = w.Begin(FourCc("stsc"));
    FullBox(w, 0);
    const uint64_t last = frames - (chunks ? (chunks - 1) * chunkFrames : 0);
    const bool shortLast = chunks > 1 && last != chunkFrames;
    w.U32(chunks == 0 ? 0 : shortLast ? 2 : 1);
    if (chunks) {
        w.U32(1);
        w.U32(chunks == 1 ? static_cast<uint32_t>(frames) : chunkFrames);
        w.U32(1);
        if (shortLast) {
            w.U32(static_cast<uint32_t>(chunks));
            w.U32(static_cast<uint32_t>(last));
            w.U32(1);
        }
    }
    w.End(stsc);
    const size_t stsz = w.Begin(FourCc("stsz"));
    FullBox(w, 0);
    w.U32(bytesPerFrame);
    w.U32(static_cast<uint32_t>(frames));
    w.End(stsz);
    const bool wide = mediaOffset + frames * bytesPerFrame > 0xFFFFFFFFull;
    const size_t stco = w.Begin(FourCc(wide ? "co64" : "stco"));
    FullBox(w, 0);
    w.U32(static_cast<uint32_t>(chunks));
    for (uint64_t i = 0; i < chunks; ++i) {
        const uint64_t offset = mediaOffset + i * chunkFrames * bytesPerFrame;
        if (wide)
            w.U64(offset);
        else
            w.U32(static_cast<uint32_t>(offset));
    }
    w.End(stco);
    w.End(stbl);
    w.End(minf);
    w.End(mdia);
    w.End(trak);
    w.End(moov);
    return w.bytes;
}

}  // namespace

bool ConvertWavToMp4(const std::wstring& wavPath, const std::wstring& mp4Path)
{
    File source(wavPath, false);
    WavFormat format;
    if (!source.Ok() || !ReadWavFormat(source, format))
        return false;
    const uint32_t bytesPerFrame = format.channels * 2u;
    const uint64_t frames = format.dataSize / bytesPerFrame;
    const uint64_t dataBytes = frames * bytesPerFrame;
    File target(mp4Path, true);
    if (!target.Ok())
        return false;
    mp4::ByteWriter head;
    const size_t ftyp = head.Begin(mp4::FourCc("ftyp"));
    head.U32(mp4::FourCc("M4A "));
    head.U32(0);
    head.U32(mp4::FourCc("M4A "));
    head.U32(mp4::FourCc("mp42"));
    head.U32(mp4::FourCc("isom"));
    head.End(ftyp);
    const bool large = dataBytes + 8 > 0xFFFFFFFFull;
    if (large) {
        head.U32(1);
        head.U32(mp4::FourCc("mdat"));
        head.U64(dataBytes + 16);
    } else {
        head.U32(static_cast<uint32_t>(dataBytes + 8));
        head.U32(mp4::FourCc("mdat"));
    }
    const uint64_t mediaOffset = head.bytes.size();
    if (!target.Write(head.bytes.data(), head.bytes.size()) || !source.Seek(format.dataOffset))
        return false;
    std::vector<uint8_t> buffer(1 << 20);
    for (uint64_t left = dataBytes; left > 0;) {
        const DWORD step = static_cast<DWORD>(std::min<uint64_t>(left, buffer.size()));
        if (!source.Read(buffer.data(), step) || !target.Write(buffer.data(), step))
            return false;
        left -= step;
    }
    const uint32_t chunkFrames = 4096;
    const std::vector<uint8_t> moov = MovieBox(format, frames, mediaOffset, chunkFrames);
    return target.Write(moov.data(), moov.size());
}

}  // namespace itunes
