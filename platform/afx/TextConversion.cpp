#include "TextConversion.h"

#include <cstring>
#include <cwchar>

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

std::string AfxToMultiByte(const wchar_t* text, int length, UINT codePage, const AfxNarrowing& how, bool* ok)
{
    if (ok)
        *ok = true;
    if (!text)
        return std::string();
    if (length < 0)
        length = static_cast<int>(std::wcslen(text));
    if (length == 0)
        return std::string();
    const int needed = AfxWideToMultiByte(codePage, text, length, nullptr, 0, how);
    std::string out(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed <= 0 || AfxWideToMultiByte(codePage, text, length, out.data(), needed, how) != needed) {
        if (ok)
            *ok = false;
        return std::string();
    }
    return out;
}

std::wstring AfxToWide(const char* text, int length, UINT codePage, DWORD flags, bool* ok)
{
    if (ok)
        *ok = true;
    if (!text)
        return std::wstring();
    if (length < 0)
        length = static_cast<int>(std::strlen(text));
    if (length == 0)
        return std::wstring();
    const int needed = AfxMultiByteToWide(codePage, text, length, nullptr, 0, flags);
    std::wstring out(needed > 0 ? static_cast<size_t>(needed) : 0, L'\0');
    if (needed <= 0 || AfxMultiByteToWide(codePage, text, length, out.data(), needed, flags) != needed) {
        if (ok)
            *ok = false;
        return std::wstring();
    }
    return out;
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
    if (lossy)
        *lossy = FALSE;
    if (!buffer || bufferLength < 1)
        return nullptr;
    buffer[0] = 0;
    if (!text)
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
    if (lossy)
        *lossy = FALSE;
    if (!buffer || bufferLength < 1)
        return nullptr;
    buffer[0] = 0;
    if (!text)
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
