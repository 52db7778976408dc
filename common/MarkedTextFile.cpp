#include "MarkedTextFile.h"

#include "ByteOrderMark.h"
#include "CException.h"
#include "CFile.h"
#include "TextConversion.h"

#include <cstring>

int DecodeMarkedText(const std::string& bytes, CString& text, UnmarkedText unmarked)
{
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    switch (AfxByteOrderMarkOf(data, bytes.size())) {
    case AfxByteOrderMark::utf16LittleEndian: {
        const size_t units = (bytes.size() - 2) / sizeof(wchar_t);
        std::wstring wide(units, L'\0');
        memcpy(wide.data(), bytes.data() + 2, units * sizeof(wchar_t));
        text = CString(std::move(wide));
        return TextFileUtf16LE;
    }
    case AfxByteOrderMark::utf8:
        text = CString(AfxToWide(bytes.data() + 3, static_cast<int>(bytes.size() - 3), CP_UTF8));
        return TextFileUtf8;
    case AfxByteOrderMark::none:
        break;
    }
    bool utf8 = false;
    std::wstring wide;
    if (unmarked == UnmarkedText::utf8OrAnsi)
        wide = AfxToWide(bytes.data(), static_cast<int>(bytes.size()), CP_UTF8, MB_ERR_INVALID_CHARS, &utf8);
    if (!utf8)
        wide = AfxToWide(bytes.data(), static_cast<int>(bytes.size()), CP_ACP);
    text = CString(std::move(wide));
    return TextFileOther;
}

bool ReadWholeFile(const wchar_t* path, std::string& bytes, DWORD& error)
{
    bytes.clear();
    error = 0;
    if (!path || !*path) {
        error = ERROR_FILE_NOT_FOUND;
        return false;
    }
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) != FALSE;
    if (ok && static_cast<unsigned long long>(size.QuadPart) > kMaxMarkedTextFileSize) {
        error = ERROR_FILE_TOO_LARGE;
        ok = false;
    }
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                               got == bytes.size());
        if (!ok)
            error = GetLastError() ? GetLastError() : ERROR_READ_FAULT;
    } else if (error == 0) {
        error = GetLastError();
    }
    CloseHandle(file);
    if (!ok)
        bytes.clear();
    return ok;
}

int ReadMarkedTextFile(const wchar_t* path, CString& text, DWORD& error, UnmarkedText unmarked)
{
    text.Empty();
    std::string bytes;
    if (!ReadWholeFile(path, bytes, error))
        return -1;
    return DecodeMarkedText(bytes, text, unmarked);
}

CString FileErrorText(DWORD error, const wchar_t* path)
{
    const CFileException e(CFileException::OsErrorToException(static_cast<LONG>(error)), static_cast<LONG>(error), path);
    CString text = e.GetErrorMessage();
    text.TrimRight(L"\r\n");
    return text;
}
