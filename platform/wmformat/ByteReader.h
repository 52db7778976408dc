// Bounds-checked reading of little- and big-endian values from a byte range.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

namespace wmformat {

// A UTF-16 text of at most n bytes, up to its first NUL. *used (when given) is the number of
// bytes taken: through the NUL when there is one, else all n.
inline std::wstring DecodeUtf16(const BYTE* p, size_t n, bool bigEndian = false, size_t* used = nullptr)
{
    std::wstring s;
    s.reserve(n / 2);
    for (size_t i = 0; i + 1 < n; i += 2) {
        wchar_t c = bigEndian ? static_cast<wchar_t>((p[i] << 8) | p[i + 1]) : static_cast<wchar_t>(p[i] | (p[i + 1] << 8));
        if (!c) {
            if (used)
                *used = i + 2;
            return s;
        }
        s.push_back(c);
    }
    if (used)
        *used = n;
    return s;
}

class ByteReader {
public:
    ByteReader(const BYTE* data, size_t size) : m_data(data), m_size(size) {}

    bool Ok() const { return m_ok; }
    size_t Position() const { return m_pos; }
    size_t Remaining() const { return m_ok ? m_size - m_pos : 0; }
    const BYTE* Current() const { return m_data + m_pos; }

    bool Skip(size_t n)
    {
        if (!m_ok || n > m_size - m_pos)
            return m_ok = false;
        m_pos += n;
        return true;
    }
    const BYTE* Take(size_t n)
    {
        const BYTE* p = m_data + m_pos;
        return Skip(n) ? p : nullptr;
    }
    WORD U16()
    {
        const BYTE* p = Take(2);
        return p ? static_cast<WORD>(p[0] | (p[1] << 8)) : 0;
    }
    DWORD U32()
    {
        const BYTE* p = Take(4);
        return p ? static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
                       (static_cast<DWORD>(p[3]) << 24)
                 : 0;
    }
    ULONGLONG U64()
    {
        ULONGLONG low = U32();
        ULONGLONG high = U32();
        return low | (high << 32);
    }
    GUID Guid()
    {
        GUID g{};
        if (const BYTE* p = Take(sizeof(GUID)))
            std::memcpy(&g, p, sizeof(GUID));
        return g;
    }
    // A UTF-16LE text of the given byte length, cut at its first NUL.
    std::wstring Utf16(size_t bytes)
    {
        const BYTE* p = Take(bytes);
        return p ? DecodeUtf16(p, bytes) : std::wstring();
    }

private:
    const BYTE* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

}  // namespace wmformat
