#include "AudioTrack.h"

#include "BurnSdk.h"
#include "Recorder.h"

#include <cstring>
#include <memory>
#include <vector>

namespace burnsdk {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : m_handle(handle) {}
    ~FileHandle()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE Get() const { return m_handle; }
    bool IsValid() const { return m_handle != INVALID_HANDLE_VALUE; }

private:
    HANDLE m_handle;
};

bool ReadAt(HANDLE file, ULONGLONG offset, void* buffer, DWORD size)
{
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    DWORD read = 0;
    return SetFilePointerEx(file, position, nullptr, FILE_BEGIN) && ReadFile(file, buffer, size, &read, nullptr) &&
           read == size;
}

ULONG Le32(const BYTE* p)
{
    return static_cast<ULONG>(p[0]) | (static_cast<ULONG>(p[1]) << 8) | (static_cast<ULONG>(p[2]) << 16) |
           (static_cast<ULONG>(p[3]) << 24);
}

USHORT Le16(const BYTE* p)
{
    return static_cast<USHORT>(p[0] | (p[1] << 8));
}

void PutLe32(BYTE* p, ULONG value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(value >> (8 * i));
}

void PutLe16(BYTE* p, USHORT value)
{
    p[0] = static_cast<BYTE>(value);
    p[1] = static_cast<BYTE>(value >> 8);
}

constexpr ULONG kRate = 44100;
constexpr USHORT kChannels = 2;
constexpr USHORT kBits = 16;
constexpr USHORT kFrameBytes = kChannels * kBits / 8;

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    return WriteFile(file, data, size, &written, nullptr) && written == size;
}

}  // namespace

ULONG OpenCdAudio(const std::wstring& path, AudioFile* file, std::string* reason, ULONG* systemError)
{
    FileHandle handle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid()) {
        *systemError = GetLastError();
        *reason = "cannot open the track file";
        return STARBURN_EXCEPTION_FILE;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(handle.Get(), &size);
    const ULONGLONG fileSize = static_cast<ULONGLONG>(size.QuadPart);
    BYTE riff[12];
    if (!ReadAt(handle.Get(), 0, riff, sizeof riff) || std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) {
        *reason = "the track file is not a RIFF WAVE file";
        return STARBURN_EXCEPTION_NOT_CD_AUDIO;
    }
    bool haveFormat = false;
    ULONGLONG offset = sizeof riff;
    BYTE chunk[8];
    while (offset + sizeof chunk <= fileSize && ReadAt(handle.Get(), offset, chunk, sizeof chunk)) {
        const ULONGLONG bodySize = Le32(chunk + 4);
        const ULONGLONG body = offset + sizeof chunk;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            BYTE format[16];
            if (bodySize < sizeof format || !ReadAt(handle.Get(), body, format, sizeof format)) {
                *reason = "the track file's format chunk is short";
                return STARBURN_EXCEPTION_NOT_CD_AUDIO;
            }
            const USHORT tag = Le16(format);
            const USHORT channels = Le16(format + 2);
            const ULONG rate = Le32(format + 4);
            const USHORT align = Le16(format + 12);
            const USHORT bits = Le16(format + 14);
            if (tag != WAVE_FORMAT_PCM || channels != kChannels || rate != kRate || bits != kBits || align != kFrameBytes) {
                char text[160];
                snprintf(text, sizeof text, "the track is not CD audio (format %u, %u channels, %lu Hz, %u bits)", tag,
                         channels, static_cast<unsigned long>(rate), bits);
                *reason = text;
                return STARBURN_EXCEPTION_NOT_CD_AUDIO;
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                break;
            const ULONGLONG available = fileSize - body;
            const ULONGLONG bytes = bodySize < available ? bodySize : available;
            file->dataOffset = body;
            file->dataBytes = bytes - bytes % kFrameBytes;
            return STARBURN_OK;
        }
        offset = body + bodySize + (bodySize & 1);
    }
    *reason = haveFormat ? "the track file holds no sample data" : "the track file has no format before its data";
    return STARBURN_EXCEPTION_NOT_CD_AUDIO;
}

ULONGLONG SectorsOf(ULONGLONG dataBytes)
{
    return (dataBytes + kAudioSectorBytes - 1) / kAudioSectorBytes;
}

ULONG CopyAsDiscTrack(const std::wstring& source, const AudioFile& file, const std::wstring& target,
                      const std::function<void(ULONGLONG)>& progress)
{
    FileHandle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.IsValid())
        return GetLastError();
    const ULONGLONG padded = SectorsOf(file.dataBytes) * kAudioSectorBytes;
    ULONG error = ERROR_SUCCESS;
    {
        FileHandle out(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.IsValid())
            return GetLastError();
        BYTE header[44] = {};
        std::memcpy(header, "RIFF", 4);
        PutLe32(header + 4, static_cast<ULONG>(36 + padded));
        std::memcpy(header + 8, "WAVEfmt ", 8);
        PutLe32(header + 16, 16);
        PutLe16(header + 20, WAVE_FORMAT_PCM);
        PutLe16(header + 22, kChannels);
        PutLe32(header + 24, kRate);
        PutLe32(header + 28, kRate * kFrameBytes);
        PutLe16(header + 32, kFrameBytes);
        PutLe16(header + 34, kBits);
        std::memcpy(header + 36, "data", 4);
        PutLe32(header + 40, static_cast<ULONG>(padded));
        LARGE_INTEGER position;
        position.QuadPart = static_cast<LONGLONG>(file.dataOffset);
        if (!WriteAll(out.Get(), header, sizeof header) || !SetFilePointerEx(in.Get(), position, nullptr, FILE_BEGIN))
            error = GetLastError();
        std::vector<BYTE> buffer(1 << 20);
        ULONGLONG done = 0;
        while (error == ERROR_SUCCESS && done < padded) {
            const ULONGLONG left = padded - done;
            const DWORD piece = static_cast<DWORD>(left < buffer.size() ? left : buffer.size());
            DWORD read = 0;
            if (done < file.dataBytes) {
                const ULONGLONG samplesLeft = file.dataBytes - done;
                const DWORD want = static_cast<DWORD>(samplesLeft < piece ? samplesLeft : piece);
                if (!ReadFile(in.Get(), buffer.data(), want, &read, nullptr)) {
                    error = GetLastError();
                    break;
                }
                if (read != want) {
                    error = ERROR_HANDLE_EOF;
                    break;
                }
            }
            std::memset(buffer.data() + read, 0, piece - read);
            if (!WriteAll(out.Get(), buffer.data(), piece)) {
                error = GetLastError();
                break;
            }
            done += piece;
            progress(done);
        }
    }
    if (error != ERROR_SUCCESS)
        DeleteFileW(target.c_str());
    return error;
}

}  // namespace burnsdk
