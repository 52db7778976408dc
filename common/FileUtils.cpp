#include "FileUtils.h"

#include <cwchar>
#include <vector>

BOOL FileExists(const wchar_t* path)
{
    if (!path)
        return FALSE;
    CFileStatus status;
    return CFile::GetStatus(path, status) && !(status.m_attribute & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

// "X:" or "X:\": a drive text, tested by its drive type.
bool IsDriveText(const wchar_t* path)
{
    size_t length = wcslen(path);
    return (length == 2 && path[1] == L':') || (length == 3 && path[1] == L':' && path[2] == L'\\');
}

}  // namespace

BOOL FolderExists(const wchar_t* path)
{
    if (!path)
        return FALSE;
    if (IsDriveText(path))
        return GetDriveTypeW(path) != DRIVE_NO_ROOT_DIR;
    CFileStatus status;
    return CFile::GetStatus(path, status) && (status.m_attribute & FILE_ATTRIBUTE_DIRECTORY);
}

CString GetProgramFolder()
{
    // The buffer grows until the whole path fits, so a long install path never yields a
    // truncated (wrong) folder.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(AfxGetInstanceHandle(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return CString();
        if (length < buffer.size() || buffer.size() >= 32768) {
            CString path(buffer.data(), static_cast<int>(length));
            int slash = path.ReverseFind(L'\\');
            return slash < 0 ? path : path.Left(slash);
        }
        buffer.resize(buffer.size() * 2);
    }
}

BOOL CreateFolderPath(const wchar_t* path)
{
    if (!path || !*path)
        return FALSE;
    if (FolderExists(path))
        return TRUE;

    CString rest(path);
    CString growing;
    int first = rest.Find(L'\\');
    if (first < 0) {
        // A single relative name: created where it is, not at the root of the drive.
        growing = rest;
        rest.Empty();
    } else {
        growing = rest.Left(first);
        rest = rest.Mid(first + 1);
    }
    // The first piece is a folder to create too unless it is a drive ("C:") or empty
    // (a rooted path); CreateDirectoryW simply fails on a drive that is missing.
    if (!growing.IsEmpty() && !IsDriveText(growing) && !FolderExists(growing))
        CreateDirectoryW(growing, nullptr);

    while (!rest.IsEmpty()) {
        int slash = rest.Find(L'\\');
        CString component = slash < 0 ? rest : rest.Left(slash);
        rest = slash < 0 ? CString() : rest.Mid(slash + 1);
        growing += L'\\';
        growing += component;
        if (!FolderExists(growing))
            CreateDirectoryW(growing, nullptr);  // a failure shows in the final test
    }
    return FolderExists(path);
}

BOOL CreateParentFolder(const wchar_t* filePath)
{
    if (!filePath)
        return FALSE;
    CString path(filePath);
    int slash = path.ReverseFind(L'\\');
    if (slash < 0)
        return FALSE;
    return CreateFolderPath(path.Left(slash));
}

CString MakeTempFileName(const wchar_t* prefix)
{
    if (!prefix)
        prefix = L"";
    wchar_t folderBuffer[MAX_PATH + 1] = {};
    DWORD length = GetTempPathW(MAX_PATH + 1, folderBuffer);
    CString folder = (length == 0 || length > MAX_PATH) ? CString(L".") : CString(folderBuffer, static_cast<int>(length));

    wchar_t name[MAX_PATH] = {};
    if (GetTempFileNameW(folder, prefix, 0, name) && name[0])
        return CString(name);

    if (folder.GetLength() > 0 && folder[folder.GetLength() - 1] == L'\\')
        folder.Truncate(folder.GetLength() - 1);
    CString fallback;
    fallback.Format(L"%s\\%s-temp.tmp", folder.GetString(), prefix);
    return fallback;
}

wchar_t* TrimLineBreaks(wchar_t* text)
{
    if (!text)
        return text;
    size_t length = wcslen(text);
    while (length > 0 && (text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        text[--length] = 0;
    return text;
}

BOOL ParseByteCount(const CString& text, ULONGLONG& value)
{
    CString digits(text);
    digits.Trim();
    if (digits.IsEmpty())
        return FALSE;
    constexpr ULONGLONG kLargest = 0x7FFFFFFFFFFFFFFFull;
    ULONGLONG number = 0;
    for (int i = 0; i < digits.GetLength(); ++i) {
        const wchar_t ch = digits[i];
        if (ch < L'0' || ch > L'9')
            return FALSE;
        const ULONGLONG digit = static_cast<ULONGLONG>(ch - L'0');
        if (number > (kLargest - digit) / 10)
            return FALSE;
        number = number * 10 + digit;
    }
    value = number;
    return TRUE;
}

CString CapitalizeWords(const wchar_t* text)
{
    CString source(text);
    CString result;
    int position = 0;
    for (;;) {
        CString word = source.Tokenize(L" ", position);
        if (position < 0)
            break;
        word.Trim();
        if (word.IsEmpty())
            continue;
        word.MakeLower();
        CString head = word.Left(1);
        head.MakeUpper();
        if (!result.IsEmpty())
            result += L' ';
        result += head + word.Mid(1);
    }
    return result;
}

namespace {

// The first four numbers of a version text; missing numbers are 0.
void ReadVersionNumbers(const wchar_t* text, int numbers[4])
{
    for (int i = 0; i < 4; ++i)
        numbers[i] = 0;
    CString source(text);
    int position = 0;
    for (int i = 0; i < 4; ++i) {
        CString piece = source.Tokenize(L". ,", position);
        if (position < 0)
            break;
        numbers[i] = _wtoi(piece);
    }
}

}  // namespace

int CompareVersions(const wchar_t* a, const wchar_t* b)
{
    if (!a || !*a)
        return -1;
    if (!b || !*b)
        return 1;
    int left[4];
    int right[4];
    ReadVersionNumbers(a, left);
    ReadVersionNumbers(b, right);
    for (int i = 0; i < 4; ++i) {
        if (left[i] > right[i])
            return 1;
        if (left[i] < right[i])
            return -1;
    }
    return 0;
}

CString GetVersionResourceString(HMODULE module, const wchar_t* name)
{
    if (!name)
        return CString();
    if (!module)
        module = AfxGetResourceHandle();
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16));
    if (!info)
        return CString();
    HGLOBAL handle = LoadResource(module, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    DWORD size = SizeofResource(module, info);
    if (!data || size == 0)
        return CString();
    // The query functions may write into the block, so they get a copy with room to spare
    // (as a block read from a file would have), never the module's read-only image.
    std::vector<BYTE> block(static_cast<size_t>(size) * 2);
    memcpy(block.data(), data, size);

    CString query;
    void* value = nullptr;
    UINT valueLength = 0;
    if (VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &value, &valueLength) && value && valueLength >= 4) {
        // The first translation of the list.
        const WORD* translation = static_cast<const WORD*>(value);
        WORD language = translation[0];
        WORD codePage = translation[1];
        query.Format(L"\\StringFileInfo\\%02X%02X%02X%02X\\%s", HIBYTE(language), LOBYTE(language), HIBYTE(codePage),
                     LOBYTE(codePage), name);
    } else {
        query.Format(L"\\StringFileInfo\\%04X04B0\\%s", static_cast<unsigned>(GetUserDefaultLangID()), name);
    }
    value = nullptr;
    valueLength = 0;
    if (!VerQueryValueW(block.data(), query, &value, &valueLength) || !value)
        return CString();
    return CString(static_cast<const wchar_t*>(value));
}

namespace {

CString ReadVersionValueWithPoints(const wchar_t* name)
{
    CString text = GetVersionResourceString(nullptr, name);
    text.Replace(L',', L'.');
    return text;
}

}  // namespace

CString GetFileVersionText()
{
    static const CString text = ReadVersionValueWithPoints(L"FileVersion");
    return text;
}

CString GetProductVersionText()
{
    static const CString text = ReadVersionValueWithPoints(L"ProductVersion");
    return text;
}

CString NormalizeVersionText(const wchar_t* text)
{
    const CString defaultText(L"1.0");
    CString source(text);
    if (source.IsEmpty())
        return defaultText;
    source.TrimRight();
    source.Replace(L',', L'.');
    if (source.Find(L'.') < 0)
        return defaultText;
    source.Trim();
    // The components keep their points, only the blanks around them go: "3, 6, 0, 12"
    // reads "3.6.0.12" (joining them would make 3.6.0.12 and 3.60.1.2 the same text).
    CString result;
    int start = 0;
    for (;;) {
        const int point = source.Find(L'.', start);
        CString component = point < 0 ? source.Mid(start) : source.Mid(start, point - start);
        component.Trim();
        result += component;
        if (point < 0)
            break;
        result += L'.';
        start = point + 1;
    }
    return result;
}

CString GetVersionDisplayText()
{
    CString text;
    text.Format(L"Version %s (Build %s)", NormalizeVersionText(GetFileVersionText()).GetString(),
                GetVersionResourceString(nullptr, L"SpecialBuild").GetString());
    return text;
}

CString GetProductVersionNumber() { return NormalizeVersionText(GetProductVersionText()); }
