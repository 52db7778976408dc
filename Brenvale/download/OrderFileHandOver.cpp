#include "OrderFileHandOver.h"

#include "ByteOrderMark.h"
#include "CFile.h"
#include "TextConversion.h"
#include "UrlEscapes.h"
#include "res/BrenvaleIds.h"
#include "res/DownloadQueueIds.h"

namespace {

// Order files are a few KB; anything far larger is not one (and is not read into memory).
constexpr ULONGLONG kMaxOrderFileSize = 16 * 1024 * 1024;

void ShowNotValid(const CString& path, UINT reason)
{
    CString text;
    text.Format(AfxLoadString(IDS_ORDER_FILE_NOT_VALID), path.GetString(), AfxLoadString(reason).GetString());
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

CString SystemErrorText(DWORD error, const CString& path)
{
    const CFileException e(CFileException::OsErrorToException(static_cast<LONG>(error)), static_cast<LONG>(error), path);
    CString text = e.GetErrorMessage();
    text.TrimRight(L"\r\n");
    return text;
}

// The whole file, shared with readers only; FALSE with the system's error.
bool ReadWholeFile(const CString& path, std::string& bytes, DWORD& error)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = GetLastError();
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) != FALSE;
    if (ok && static_cast<ULONGLONG>(size.QuadPart) > kMaxOrderFileSize) {
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
    return ok;
}

}  // namespace

CString NormalizeHandedPath(const CString& text)
{
    CString path(text);
    if (path.Find(L"://") < 0)
        return path;
    const int scheme = path.Find(L"zkyopen://");
    if (scheme >= 0)
        path.Delete(scheme, 10);
    path = DecodePercentEscapes(path);  // browsers hand links over escaped
    path.Trim();
    path.Trim(L'"');
    path.Trim(L'/');
    path.Replace(L'/', L'\\');
    return path;
}

bool IsPlaylistPath(const CString& path)
{
    const int dot = path.ReverseFind(L'.');
    return dot >= 0 && path.Mid(dot).CompareNoCase(L".wax") == 0;
}

CString DecodeOrderFileBytes(const std::string& bytes)
{
    const auto* data = reinterpret_cast<const BYTE*>(bytes.data());
    switch (AfxByteOrderMarkOf(data, bytes.size())) {
    case AfxByteOrderMark::utf16LittleEndian: {
        const size_t units = (bytes.size() - 2) / sizeof(wchar_t);
        std::wstring wide(units, L'\0');
        memcpy(wide.data(), bytes.data() + 2, units * sizeof(wchar_t));
        return CString(wide.c_str(), static_cast<int>(wide.size()));
    }
    case AfxByteOrderMark::utf8: {
        const std::wstring wide = AfxToWide(bytes.data() + 3, static_cast<int>(bytes.size() - 3), CP_UTF8);
        return CString(wide.c_str(), static_cast<int>(wide.size()));
    }
    case AfxByteOrderMark::none:
        break;
    }
    bool utf8 = false;
    std::wstring wide = AfxToWide(bytes.data(), static_cast<int>(bytes.size()), CP_UTF8, MB_ERR_INVALID_CHARS, &utf8);
    if (!utf8)
        wide = AfxToWide(bytes.data(), static_cast<int>(bytes.size()), CP_ACP);
    return CString(wide.c_str(), static_cast<int>(wide.size()));
}

UINT ParseMediaOrderText(const CString& text, CXmlNode& root)
{
    // A NUL would end the text for the reader's searches part-way: no order file holds one.
    if (text.Find(L'\0') >= 0)
        return IDS_CONSOLE_ORDER_INVALID_FORMAT;
    const CString document = StripXmlProlog(text);
    if (document.IsEmpty() || !root.Parse(document))
        return IDS_CONSOLE_ORDER_INVALID_FORMAT;
    if (root.GetName().CompareNoCase(L"VesperlinMedia") != 0)
        return IDS_CONSOLE_ORDER_BAD_ROOT;
    return 0;
}

BOOL OpenMediaOrderFileText(const CString& path, CXmlNode& root)
{
    std::string bytes;
    DWORD error = 0;
    if (!ReadWholeFile(path, bytes, error)) {
        CString text;
        text.Format(AfxLoadString(IDS_ORDER_FILE_OPEN_FAILED), path.GetString(), SystemErrorText(error, path).GetString());
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (const UINT problem = ParseMediaOrderText(DecodeOrderFileBytes(bytes), root)) {
        ShowNotValid(path, problem);
        return FALSE;
    }
    return TRUE;
}
