#include "TextBuffer.h"

#include "CString.h"

#include <cstdarg>
#include <cwchar>

void TextBuffer::Write(const wchar_t* text) const
{
    if (!m_buffer)
        return;
    if (!text)
        text = L"";
    size_t length = std::wcslen(text);
    if (length > m_length - 1)
        length = m_length - 1;
    // The text may be (part of) the buffer itself.
    std::wmemmove(m_buffer, text, length);
    m_buffer[length] = L'\0';
}

void TextBuffer::Format(const wchar_t* format, ...) const
{
    va_list args;
    va_start(args, format);
    CString text;
    text.FormatV(format, args);
    va_end(args);
    Write(text);
}
