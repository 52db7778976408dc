#include "FileIo.h"

namespace mp4 {

namespace {

struct Seam {
    WriteFault fault = WriteFault::None;  // the one set for the next close
    uint64_t allowed = 0;
    WriteFault active = WriteFault::None;  // the one of the close under way
    uint64_t used = 0;
    bool struck = false;
    uint64_t lastBytes = 0;
};
Seam g_seam;

// How many of size bytes may be written now; strikes the fault when that is fewer.
size_t Allowance(size_t size)
{
    if (g_seam.active == WriteFault::None)
        return size;
    const uint64_t left = g_seam.used < g_seam.allowed ? g_seam.allowed - g_seam.used : 0;
    if (size <= left)
        return size;
    g_seam.struck = true;
    return static_cast<size_t>(left);
}

// Where a read or write starts, and how much of it one call takes.
OVERLAPPED At(uint64_t offset)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

DWORD Chunk(size_t size)
{
    return size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
}

bool Dead()
{
    return g_seam.active == WriteFault::Crash && g_seam.struck;
}

}  // namespace

void SetWriteFault(WriteFault fault, uint64_t bytesAllowed)
{
    g_seam.fault = fault;
    g_seam.allowed = bytesAllowed;
}

uint64_t LastCloseBytes()
{
    return g_seam.lastBytes;
}

void FileIo::BeginWriting()
{
    g_seam.active = g_seam.fault;
    g_seam.fault = WriteFault::None;
    g_seam.used = 0;
    g_seam.struck = false;
}

uint64_t FileIo::BytesWritten()
{
    return g_seam.used;
}

void FileIo::EndWriting()
{
    g_seam.lastBytes = g_seam.used;
    g_seam.active = WriteFault::None;
}

bool FileIo::Open(const wchar_t* path)
{
    Close();
    m_file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_file, &size)) {
        Close();
        return false;
    }
    m_size = static_cast<uint64_t>(size.QuadPart);
    return true;
}

void FileIo::Close()
{
    if (m_file != INVALID_HANDLE_VALUE)
        CloseHandle(m_file);
    m_file = INVALID_HANDLE_VALUE;
}

bool FileIo::ReadAt(uint64_t offset, void* buffer, size_t size) const
{
    auto* p = static_cast<BYTE*>(buffer);
    while (size > 0) {
        OVERLAPPED at = At(offset);
        DWORD got = 0;
        if (!ReadFile(m_file, p, Chunk(size), &got, &at) || got == 0)
            return false;
        p += got;
        offset += got;
        size -= got;
    }
    return true;
}

bool FileIo::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (Dead())
        return true;  // the process is gone: nothing more reaches the file
    // A full disk only refuses bytes that need new room.
    const bool grows = offset + size > m_size;
    const size_t allowed = grows || g_seam.active == WriteFault::Crash ? Allowance(size) : size;
    const auto* p = static_cast<const BYTE*>(data);
    size_t left = allowed;
    while (left > 0) {
        OVERLAPPED at = At(offset);
        DWORD put = 0;
        if (!WriteFile(m_file, p, Chunk(left), &put, &at) || put == 0)
            return false;
        g_seam.used += put;
        p += put;
        offset += put;
        left -= put;
        if (offset > m_size)
            m_size = offset;
    }
    if (allowed < size) {
        if (Dead())
            return true;
        SetLastError(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

bool FileIo::SetSize(uint64_t size)
{
    if (Dead())
        return true;
    if (size > m_size && g_seam.active != WriteFault::None) {
        const uint64_t growth = size - m_size;
        const uint64_t left = g_seam.used < g_seam.allowed ? g_seam.allowed - g_seam.used : 0;
        if (growth > left) {
            g_seam.struck = true;
            if (Dead())
                return true;
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        g_seam.used += growth;
    }
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(m_file, at, nullptr, FILE_BEGIN) || !SetEndOfFile(m_file))
        return false;
    m_size = size;
    return true;
}

bool FileIo::Flush()
{
    if (Dead())
        return true;
    return FlushFileBuffers(m_file) != FALSE;
}

}  // namespace mp4
