// Reads and writes of an open file at given offsets, with the test seam that cuts writing short.
#pragma once

#include "Mp4.h"

#include <windows.h>

#include <cstdint>

namespace mp4 {

class FileIo {
public:
    FileIo() = default;
    ~FileIo() { Close(); }
    FileIo(const FileIo&) = delete;
    FileIo& operator=(const FileIo&) = delete;

    bool Open(const wchar_t* path);  // for reading and writing, the file must exist
    void Close();
    uint64_t Size() const { return m_size; }

    bool ReadAt(uint64_t offset, void* buffer, size_t size) const;
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    bool SetSize(uint64_t size);
    bool Flush();

    // Starts counting for the seam (MP4Close calls it once) and gives the count back.
    static void BeginWriting();
    static uint64_t BytesWritten();
    static void EndWriting();

private:
    HANDLE m_file = INVALID_HANDLE_VALUE;
    uint64_t m_size = 0;
};

}  // namespace mp4
