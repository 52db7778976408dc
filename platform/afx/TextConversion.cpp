#include "TextConversion.h"

#include <string>

int AfxWideToMultiByte(UINT codePage, const wchar_t* text, int length, char* buffer, int bufferSize,
                       const AfxNarrowing& how)
{
    if (!text || (!buffer && bufferSize != 0) || bufferSize < 0)
        return 0;
    return WideCharToMultiByte(codePage, how.flags, text, length, buffer, bufferSize, how.defaultChar, nullptr);
}

int AfxMultiByteToWide(UINT codePage, const char* text, int length, wchar_t* buffer, int bufferSize, DWORD flags)
{
    if (!text || (!buffer && bufferSize != 0) || bufferSize < 0)
        return 0;
    return MultiByteToWideChar(codePage, flags, text, length, buffer, bufferSize);
}

namespace {

// Sizes, then converts the whole text with the counting form given; -1 takes the text up to
// its NUL, which the result never holds.
template <class Out, class In, class Count>
Out ConvertWhole(const In* text, int length, bool* ok, Count count)
{
    if (ok)
        *ok = true;
    if (!text)
        return Out();
    if (length < 0)
        length = static_cast<int>(std::char_traits<In>::length(text));
    if (length == 0)
        return Out();
    const int needed = count(text, length, nullptr, 0);
    Out out(needed > 0 ? static_cast<size_t>(needed) : 0, typename Out::value_type());
    if (needed <= 0 || count(text, length, out.data(), needed) != needed) {
        if (ok)
            *ok = false;
        return Out();
    }
    return out;
}

// The start of both buffer forms: nothing lost yet, the buffer made an empty text; false
// when there is no buffer to convert into or no text to convert.
template <class Unit, class Text>
bool StartBufferConversion(Unit* buffer, int bufferLength, const Text* text, BOOL* lossy)
{
    if (lossy)
        *lossy = FALSE;
    if (!buffer || bufferLength < 1)
        return false;
    buffer[0] = 0;
    return text != nullptr;
}

}  // namespace

std::string AfxToMultiByte(const wchar_t* text, int length, UINT codePage, const AfxNarrowing& how, bool* ok)
{
    return ConvertWhole<std::string>(text, length, ok, [&](const wchar_t* in, int n, char* out, int size) {
        return AfxWideToMultiByte(codePage, in, n, out, size, how);
    });
}

std::wstring AfxToWide(const char* text, int length, UINT codePage, DWORD flags, bool* ok)
{
    return ConvertWhole<std::wstring>(text, length, ok, [&](const char* in, int n, wchar_t* out, int size) {
        return AfxMultiByteToWide(codePage, in, n, out, size, flags);
    });
}

std::wstring AfxToWideUtf8OrAnsi(const char* text, int length)
{
    if (!text)
        return std::wstring();
    if (length < 0)
        length = static_cast<int>(std::char_traits<char>::length(text));
    if (length >= 3 && text[0] == '\xEF' && text[1] == '\xBB' && text[2] == '\xBF') {
        text += 3;
        length -= 3;
    }
    bool ok = false;
    std::wstring wide = AfxToWide(text, length, CP_UTF8, MB_ERR_INVALID_CHARS, &ok);
    return ok ? wide : AfxToWide(text, length, CP_ACP);
}

bool AfxCanRepresent(const wchar_t* text, UINT codePage)
{
    if (!text || !*text)
        return true;
    if (codePage == CP_UTF8 || codePage == CP_UTF7)
        return true;
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &usedDefault);
    return size > 0 && !usedDefault;
}

wchar_t* ConvertMultiByteToWide(wchar_t* buffer, const char* text, int bufferLength, UINT codePage, BOOL* lossy)
{
    if (!StartBufferConversion(buffer, bufferLength, text, lossy))
        return nullptr;
    if (lossy) {
        // A strict pass first tells whether the text holds invalid sequences.
        if (AfxMultiByteToWide(codePage, text, -1, buffer, bufferLength, MB_ERR_INVALID_CHARS) > 0)
            return buffer;
        const DWORD error = GetLastError();
        buffer[0] = 0;
        if (error == ERROR_NO_UNICODE_TRANSLATION)
            *lossy = TRUE;
        else if (error != ERROR_INVALID_FLAGS)
            return nullptr;
    }
    if (AfxMultiByteToWide(codePage, text, -1, buffer, bufferLength) > 0)
        return buffer;
    buffer[0] = 0;  // a partly written buffer never passes for a result
    return nullptr;
}

char* ConvertWideToMultiByte(char* buffer, const wchar_t* text, int bufferLength, UINT codePage, BOOL* lossy)
{
    if (!StartBufferConversion(buffer, bufferLength, text, lossy))
        return nullptr;
    if (AfxWideToMultiByte(codePage, text, -1, buffer, bufferLength) <= 0) {
        buffer[0] = 0;  // a partly written buffer never passes for a result
        return nullptr;
    }
    if (lossy) {
        // Whatever the conversion changed (a default character, a best-fit look-alike, an
        // unpaired surrogate) shows when the result is read back.
        *lossy = AfxToWide(buffer, -1, codePage) != text;
    }
    return buffer;
}
