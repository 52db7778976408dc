#include "CodePageTextFile.h"

#include <string>

IMPLEMENT_DYNAMIC(CCodePageTextFile, CStdioFile)

CCodePageTextFile::CCodePageTextFile(const wchar_t* path, UINT openFlags)
{
    CFileException error;
    if (!Open(path, openFlags, &error))
        throw error;
}

bool CCodePageTextFile::IsFileUnicode(const wchar_t* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary))
        return false;
    BYTE mark[2] = {};
    UINT got = 0;
    try {
        got = file.Read(mark, sizeof mark);
    } catch (const CFileException&) {
        return false;
    }
    return got == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
}

BOOL CCodePageTextFile::Open(const wchar_t* path, UINT openFlags, CFileException* error)
{
    m_unicode = false;
    const bool writing = (openFlags & (CFile::modeWrite | CFile::modeReadWrite | CFile::modeCreate)) != 0;
    if ((openFlags & CFile::typeText) && !writing && IsFileUnicode(path)) {
        openFlags = (openFlags & ~static_cast<UINT>(CFile::typeText)) | CFile::typeBinary;
        m_unicode = true;
    }
    m_openFlags = openFlags;
    return CStdioFile::Open(path, openFlags & ~static_cast<UINT>(modeWriteUnicode), error);
}

int CCodePageTextFile::WideToAnsi(const wchar_t* wide, char* buffer, int bufferSize, UINT codePage)
{
    if (!wide || (!buffer && bufferSize != 0))
        return 0;
    if (codePage == static_cast<UINT>(-1))
        codePage = CP_ACP;
    return WideCharToMultiByte(codePage, WC_COMPOSITECHECK | WC_SEPCHARS, wide, -1, buffer, bufferSize, "#",
                               nullptr);
}

bool CCodePageTextFile::CanRepresent(const wchar_t* text, UINT codePage)
{
    if (!text || !*text)
        return true;
    if (codePage == CP_UTF8 || codePage == CP_UTF7)
        return true;
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr, &usedDefault);
    return size > 0 && !usedDefault;
}

void CCodePageTextFile::WriteString(const wchar_t* text)
{
    if (!text)
        return;
    if (m_openFlags & modeWriteUnicode) {
        if (GetPosition() == 0) {
            const wchar_t mark = 0xFEFF;
            Write(&mark, sizeof mark);
        }
        Write(text, static_cast<UINT>(wcslen(text) * sizeof(wchar_t)));
        return;
    }
    if (!*text)
        return;
    std::string bytes;
    int size = WideToAnsi(text, nullptr, 0, static_cast<UINT>(-1));
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        size = WideToAnsi(text, bytes.data(), size, static_cast<UINT>(-1));
    }
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size - 1));  // without the terminator
    } else {
        // Some code pages (UTF-8 among them) refuse the flags or the default character:
        // convert plainly rather than lose the text; only a failure of that is reported.
        const int length = static_cast<int>(wcslen(text));
        bytes = ToCodePage(text, length);
    }
    Write(bytes.data(), static_cast<UINT>(bytes.size()));
}

BOOL CCodePageTextFile::ReadString(CString& line)
{
    if (m_unicode && GetPosition() == 0) {
        BYTE mark[2];
        if (Read(mark, sizeof mark) < sizeof mark)
            return FALSE;
    }
    if (!CStdioFile::ReadString(line))
        return FALSE;
    const int length = line.GetLength();
    if (length >= 2 && line[length - 2] == L'\r' && line[length - 1] == L'\n')
        line.Truncate(length - 2);
    else if (length >= 1 && (line[length - 1] == L'\r' || line[length - 1] == L'\n'))
        line.Truncate(length - 1);
    return TRUE;
}
