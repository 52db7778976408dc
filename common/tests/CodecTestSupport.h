// Small helpers of the codec tests: hexadecimal bytes, UTF-8 texts, a western thread code page.
#pragma once

#include "afx.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace codectest {

// UTF-8 for failure messages.
inline std::string U8(const wchar_t* text) { return CString(text).ToNarrow(CP_UTF8); }

inline std::vector<BYTE> Hex(const char* text)
{
    std::vector<BYTE> bytes;
    for (size_t i = 0; text[i] && text[i + 1]; i += 2)
        bytes.push_back(static_cast<BYTE>(std::stoi(std::string(text + i, 2), nullptr, 16)));
    return bytes;
}

inline std::string ToHex(const BYTE* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

inline CString Wide(const char* utf8) { return CString::FromNarrow(utf8, -1, CP_UTF8); }

// Makes the thread's ANSI code page the western one (1252) while it lives, so the tests
// of unrepresentable characters do not depend on the machine's locale.
class WesternThreadCodePage {
public:
    WesternThreadCodePage() : m_previous(GetThreadLocale()) { SetThreadLocale(MAKELCID(0x0409, SORT_DEFAULT)); }
    ~WesternThreadCodePage() { SetThreadLocale(m_previous); }
    static UINT ThreadCodePage()
    {
        wchar_t text[8] = {};
        GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE, text, 8);
        return static_cast<UINT>(_wtoi(text));
    }

private:
    LCID m_previous;
};

}  // namespace codectest
