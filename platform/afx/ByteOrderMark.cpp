#include "ByteOrderMark.h"

#include "CFile.h"

AfxByteOrderMark AfxByteOrderMarkOf(const BYTE* bytes, size_t size)
{
    if (!bytes)
        return AfxByteOrderMark::none;
    if (size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE)
        return AfxByteOrderMark::utf16LittleEndian;
    if (size >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return AfxByteOrderMark::utf8;
    return AfxByteOrderMark::none;
}

AfxByteOrderMark AfxReadByteOrderMark(const wchar_t* path)
{
    CFile file;
    if (!path || !file.Open(path, CFile::modeRead | CFile::shareDenyNone | CFile::modeNoInherit | CFile::typeBinary))
        return AfxByteOrderMark::none;
    BYTE mark[3] = {};
    UINT got = 0;
    try {
        got = file.Read(mark, sizeof mark);
    } catch (const CFileException&) {
        return AfxByteOrderMark::none;
    }
    return AfxByteOrderMarkOf(mark, got);
}
