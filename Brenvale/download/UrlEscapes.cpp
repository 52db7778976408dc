#include "UrlEscapes.h"

#include "TextConversion.h"

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

bool IsHexDigit(wchar_t c) { return c < 128 && std::iswxdigit(c); }

bool StartsEscape(const CString& text, int at)
{
    return at + 2 < text.GetLength() && text[at] == L'%' && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2]);
}

// The byte of the escape at `at` (StartsEscape holds there).
char EscapedByte(const CString& text, int at)
{
    return static_cast<char>(std::wcstoul(text.Mid(at + 1, 2), nullptr, 16));
}

bool KeptInSegment(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))
        return true;
    for (const char* kept = "-._~!$&'()*+,;=:@"; *kept; ++kept) {
        if (c == static_cast<unsigned char>(*kept))
            return true;
    }
    return false;
}

}  // namespace

CString DecodePercentEscapes(const CString& text)
{
    if (text.Find(L'%') < 0)
        return text;
    // Characters outside the escapes are taken over as UTF-8 too, so the whole text is one
    // byte string.
    std::string bytes;
    bytes.reserve(static_cast<size_t>(text.GetLength()));
    for (int i = 0; i < text.GetLength();) {
        if (StartsEscape(text, i)) {
            bytes += EscapedByte(text, i);
            i += 3;
            continue;
        }
        int run = i + 1;
        while (run < text.GetLength() && !StartsEscape(text, run))
            ++run;
        bytes += AfxToMultiByte(text.GetString() + i, run - i, CP_UTF8);
        i = run;
    }
    bool valid = false;
    const std::wstring wide = AfxToWide(bytes.data(), static_cast<int>(bytes.size()), CP_UTF8, MB_ERR_INVALID_CHARS, &valid);
    if (!valid || wide.find(L'\0') != std::wstring::npos)
        return text;  // "%00" or bytes no browser would send: not a path we can name
    return CString(wide.c_str(), static_cast<int>(wide.size()));
}

CString EscapeUrlPathSegment(const CString& segment)
{
    static const char kDigits[] = "0123456789ABCDEF";
    CString escaped;
    for (int i = 0; i < segment.GetLength();) {
        if (StartsEscape(segment, i)) {
            escaped += segment.Mid(i, 3);
            i += 3;
            continue;
        }
        // One character (a surrogate pair stays together) as its UTF-8 bytes.
        const int units = (IS_HIGH_SURROGATE(segment[i]) && i + 1 < segment.GetLength() && IS_LOW_SURROGATE(segment[i + 1])) ? 2 : 1;
        const std::string bytes = AfxToMultiByte(segment.GetString() + i, units, CP_UTF8);
        for (char b : bytes) {
            const auto c = static_cast<unsigned char>(b);
            if (KeptInSegment(c)) {
                escaped += static_cast<wchar_t>(c);
            } else {
                escaped += L'%';
                escaped += static_cast<wchar_t>(kDigits[c >> 4]);
                escaped += static_cast<wchar_t>(kDigits[c & 15]);
            }
        }
        i += units;
    }
    return escaped;
}

CString EscapeUrlPath(const CString& path)
{
    CString escaped;
    int start = 0;
    for (;;) {
        const int slash = path.Find(L'/', start);
        escaped += EscapeUrlPathSegment(slash < 0 ? path.Mid(start) : path.Mid(start, slash - start));
        if (slash < 0)
            return escaped;
        escaped += L'/';
        start = slash + 1;
    }
}
