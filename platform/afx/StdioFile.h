// CStdioFile: a CFile that reads and writes lines of text.
//
// Text mode (typeText, the default): WriteString converts the wide text to the file's
// code page (the active ANSI code page unless SetCodePage chose another) and writes
// each "\n" as "\r\n"; ReadString reads bytes up to "\n", drops the "\r" before it and
// converts from the code page. Binary mode (typeBinary): the text's UTF-16 code units
// are written and read as they are.
//
// ReadString(CString&) returns the line without its "\n" (a "\r" before it stays in
// binary mode); FALSE at the end of the file. A text that the code page cannot hold
// is never dropped: the conversion throws CFileException(genericException) instead.
#pragma once

#include "CFile.h"

#include <vector>

class CStdioFile : public CFile {
    DECLARE_DYNAMIC(CStdioFile)
public:
    CStdioFile() = default;
    // Opens or throws CFileException.
    CStdioFile(const wchar_t* fileName, UINT openFlags);

    BOOL Open(const wchar_t* fileName, UINT openFlags, CFileException* error = nullptr) override;
    void Close() override;
    void Abort() override;
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override;

    virtual void WriteString(const wchar_t* text);
    virtual BOOL ReadString(CString& line);

    bool IsTextMode() const { return m_textMode; }
    void SetCodePage(UINT codePage) { m_codePage = codePage; }
    UINT GetCodePage() const { return m_codePage; }

protected:
    // Converts to the file's code page; throws when the text cannot be converted.
    std::string ToCodePage(const wchar_t* text, int length) const;

private:
    void DropReadBuffer();
    bool FillReadBuffer();
    bool ReadByte(BYTE& byte);

    bool m_textMode = true;
    UINT m_codePage = CP_ACP;
    std::vector<BYTE> m_readBuffer;
    size_t m_readPos = 0;
};
