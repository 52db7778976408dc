#include "CodePageTextFile.h"

#include "ByteOrderMark.h"
#include "TextConversion.h"

#include <string>

IMPLEMENT_DYNAMIC(CCodePageTextFile, CStdioFile)

namespace {
// The console's ANSI output: composite characters checked, separate characters kept apart,
// "#" for what the code page lacks.
constexpr AfxNarrowing kAnsiWithHashes{WC_COMPOSITECHECK | WC_SEPCHARS, "#"};
}  // namespace

CCodePageTextFile::CCodePageTextFile(const wchar_t* path, UINT openFlags)
{
    CFileException error;
    if (!Open(path, openFlags, &error))
        throw error;
}

bool CCodePageTextFile::IsFileUnicode(const wchar_t* path)
{
    return AfxReadByteOrderMark(path) == AfxByteOrderMark::utf16LittleEndian;
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
    if (codePage == static_cast<UINT>(-1))
        codePage = CP_ACP;
    return AfxWideToMultiByte(codePage, wide, -1, buffer, bufferSize, kAnsiWithHashes);
}

bool CCodePageTextFile::CanRepresent(const wchar_t* text, UINT codePage) { return AfxCanRepresent(text, codePage); }

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
    const int length = static_cast<int>(wcslen(text));
    bool converted = false;
    std::string bytes = AfxToMultiByte(text, length, CP_ACP, kAnsiWithHashes, &converted);
    if (!converted) {
        // Some code pages (UTF-8 among them) refuse the flags or the default character:
        // convert plainly rather than lose the text; only a failure of that is reported.
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
