// Files the benchmark programs make: so many bytes of noise that no layer can compress.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

inline bool WriteBenchFile(const std::wstring& path, ULONGLONG bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<unsigned char> block(1 << 20);
    unsigned value = 12345;
    for (unsigned char& b : block) {
        value = value * 1103515245u + 12345u;
        b = static_cast<unsigned char>(value >> 16);
    }
    bool ok = true;
    for (ULONGLONG left = bytes; ok && left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<ULONGLONG>(left, block.size()));
        DWORD written = 0;
        ok = WriteFile(file, block.data(), chunk, &written, nullptr) && written == chunk;
        left -= chunk;
    }
    CloseHandle(file);
    return ok;
}
