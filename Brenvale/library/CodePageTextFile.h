// The console's text file: reads text files in the ANSI code page or, when they start
// with the UTF-16LE byte-order mark, in UTF-16; writes either the ANSI code page or,
// with modeWriteUnicode, UTF-16LE with a byte-order mark. Lines are read without
// their line end; written texts carry their own line ends.
#pragma once

#include "StdioFile.h"

class CCodePageTextFile : public CStdioFile {
    DECLARE_DYNAMIC(CCodePageTextFile)
public:
    // ORed into the open flags: write UTF-16LE with a byte-order mark.
    static constexpr UINT modeWriteUnicode = 0x20000;

    CCodePageTextFile() = default;
    // Opens as Open does; throws CFileException on failure.
    CCodePageTextFile(const wchar_t* path, UINT openFlags);

    // A text-mode open for reading tests the file first: a UTF-16 file is read in
    // binary mode and IsUnicode() turns true.
    BOOL Open(const wchar_t* path, UINT openFlags, CFileException* error = nullptr) override;
    // UTF-16LE (the mark first at the start of the file) with modeWriteUnicode, else the
    // active ANSI code page, with "#" for characters the code page lacks. A text the
    // conversion cannot handle at all throws CFileException; nothing is dropped silently.
    void WriteString(const wchar_t* text) override;
    // The next line without its CR LF (or single CR or LF); FALSE at the end.
    BOOL ReadString(CString& line) override;

    bool IsUnicode() const { return m_unicode; }
    UINT GetOpenFlags() const { return m_openFlags; }

    // TRUE when the file starts with the bytes FF FE.
    static bool IsFileUnicode(const wchar_t* path);
    // The platform's wide-to-multibyte conversion of a NUL-terminated text (composite
    // check, separate characters, "#" for what the code page lacks); a code page of all
    // ones is the active ANSI code page. Returns the bytes written including the NUL
    // (the size needed when the buffer is null and the size 0); 0 on failure or for a
    // null text.
    static int WideToAnsi(const wchar_t* wide, char* buffer, int bufferSize, UINT codePage);
    // TRUE when every character of the text has its own character in the code page.
    static bool CanRepresent(const wchar_t* text, UINT codePage = CP_ACP);

private:
    bool m_unicode = false;
    UINT m_openFlags = 0;
};
