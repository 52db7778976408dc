// A caller's text buffer of a known length in characters: at most length - 1 characters and a
// terminator are written, longer text is cut; a null buffer or a length of 0 takes nothing.
#pragma once

#include <windows.h>

#include <cstddef>

class TextBuffer {
public:
    TextBuffer(wchar_t* buffer, size_t length) : m_buffer(length ? buffer : nullptr), m_length(buffer ? length : 0) {}
    // The buffer behind a BSTR* of the interface, OutputLen characters long.
    static TextBuffer Of(BSTR* output, ULONG length) { return TextBuffer(reinterpret_cast<wchar_t*>(output), length); }

    void Write(const wchar_t* text) const;
    void Format(const wchar_t* format, ...) const;  // the class library's rules (%s wide text)
    void Clear() const { Write(L""); }
    // What the buffer holds ("" for none).
    const wchar_t* Text() const { return m_buffer ? m_buffer : L""; }
    bool IsEmpty() const { return !m_buffer || !m_buffer[0]; }

private:
    wchar_t* m_buffer;
    size_t m_length;
};
