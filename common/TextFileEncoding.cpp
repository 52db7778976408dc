#include "TextFileEncoding.h"

int GetTextFileEncoding(const wchar_t* path)
{
    switch (AfxReadByteOrderMark(path)) {
    case AfxByteOrderMark::utf16LittleEndian: return TextFileUtf16LE;
    case AfxByteOrderMark::utf8: return TextFileUtf8;
    case AfxByteOrderMark::none: break;
    }
    return TextFileOther;
}
