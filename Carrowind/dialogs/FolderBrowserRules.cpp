#include "FolderBrowserRules.h"

#include "PlayerRecord.h"
#include "res/BrowseFolderIds.h"

namespace {

// What every file system of a player refuses in a name; a folder path keeps its backslashes.
constexpr wchar_t kRefusedInPaths[] = L"\"*/:<>?|";

bool IsRefusedCharacter(wchar_t ch, BOOL folder)
{
    if (ch < 0x20)
        return true;
    if (ch == L'\\')
        return !folder;
    return wcschr(kRefusedInPaths, ch) != nullptr;
}

// Thousands separators in a run of digits.
CString GroupDigits(const CString& digits)
{
    CString text = digits;
    for (int at = text.GetLength() - 3; at > 0; at -= 3)
        text.Insert(at, L',');
    return text;
}

// The path below the player's root: no drive, no leading backslashes.
CString BelowRoot(const CString& path)
{
    CString rest = path;
    if (rest.GetLength() >= 2 && rest[1] == L':')
        rest = rest.Mid(2);
    rest.TrimLeft(L'\\');
    return rest;
}

}  // namespace

BOOL IsFolderEntryShown(DWORD attributes, DWORD flags, BOOL showHidden)
{
    if (flags == 0)
        return FALSE;
    const DWORD mask = kEntryReadOnly | kEntrySystem | (showHidden ? 0 : kEntryHidden);
    const DWORD bits = attributes & mask;
    return bits == 0 || bits == flags;
}

BOOL MayChangeFolderEntry(const PlayerFolderEntry& entry, DWORD mask, BOOL drivePlayer)
{
    if (entry.parentIndex == -1)
        return FALSE;
    if (!drivePlayer)
        return (entry.attributes & mask) != 0 && (entry.attributes & kEntryReadOnly) == 0;
    static const wchar_t* const kPlayerOwn[] = {L"Music", L"Pictures", L"TV", L"Video", L"WMPInfo.xml"};
    CString rest = BelowRoot(entry.path);
    rest.TrimRight(L'\\');
    if (rest.IsEmpty())
        return FALSE;
    for (const wchar_t* own : kPlayerOwn) {
        if (rest.CompareNoCase(own) == 0)
            return FALSE;
    }
    return TRUE;
}

CString FormatKilobytes(ULONGLONG bytes)
{
    CString digits;
    digits.Format(L"%llu", bytes / 1024);
    return GroupDigits(digits);
}

CString FormatSpaceText(ULONGLONG freeBytes, ULONGLONG neededBytes)
{
    const CString freeText = FormatKilobytes(freeBytes);
    if (neededBytes == 0)
        return AfxFormatString(IDS_FREE_SPACE_KB, freeText.GetString());
    const UINT id = neededBytes <= freeBytes ? IDS_NEEDED_SPACE_KB : IDS_NEEDED_SPACE_SHORT_KB;
    return AfxFormatString(id, FormatKilobytes(neededBytes).GetString(), freeText.GetString());
}

CString FormatGigabytes(ULONGLONG bytes)
{
    CString text;
    text.Format(L"%.2f", static_cast<double>(bytes) / (1024.0 * 1024.0 * 1024.0) + 0.01);
    const int point = text.Find(L'.');
    return GroupDigits(text.Left(point)) + text.Mid(point);
}

UINT CheckFolderName(const CString& name)
{
    CString trimmed = name;
    trimmed.Trim();
    if (trimmed.IsEmpty())
        return IDS_FOLDER_NAME_EMPTY;
    for (int i = 0; i < name.GetLength(); ++i) {
        if (IsRefusedCharacter(name[i], FALSE))
            return IDS_FOLDER_NAME_CHARACTERS;
    }
    if (trimmed == L"." || trimmed == L"..")
        return IDS_FOLDER_NAME_INVALID;
    // Device names stay reserved with any extension ("NUL.txt") and trailing blanks.
    CString stem = trimmed;
    const int dot = stem.Find(L'.');
    if (dot >= 0)
        stem = stem.Left(dot);
    stem.TrimRight();
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL"};
    for (const wchar_t* device : kDevices) {
        if (stem.CompareNoCase(device) == 0)
            return IDS_FOLDER_NAME_RESERVED;
    }
    if (stem.GetLength() == 4 && stem[3] >= L'1' && stem[3] <= L'9' &&
        (stem.Left(3).CompareNoCase(L"COM") == 0 || stem.Left(3).CompareNoCase(L"LPT") == 0))
        return IDS_FOLDER_NAME_RESERVED;
    return 0;
}

UINT CheckFolderPath(const CString& path, CString* refusedComponent)
{
    int start = 0;
    while (start <= path.GetLength()) {
        int end = path.Find(L'\\', start);
        if (end < 0)
            end = path.GetLength();
        const CString component = path.Mid(start, end - start);
        if (!component.IsEmpty()) {
            if (const UINT reason = CheckFolderName(component)) {
                if (refusedComponent)
                    *refusedComponent = component;
                return reason;
            }
        }
        start = end + 1;
    }
    return 0;
}

CString FolderNameMessage(UINT reason, const CString& name)
{
    if (reason == IDS_FOLDER_NAME_EMPTY)
        return AfxLoadString(reason);
    return AfxFormatString(reason, name.GetString());
}

CString NewFolderName(int attempt)
{
    if (attempt <= 1)
        return L"New Folder";
    CString name;
    name.Format(L"New Folder (%d)", attempt);
    return name;
}

CString JoinPlayerPath(const CString& folder, const CString& name)
{
    CString path;
    if (!folder.IsEmpty() && folder[folder.GetLength() - 1] == L'\\')
        path.Format(L"%s%s", folder.GetString(), name.GetString());
    else
        path.Format(L"%s\\%s", folder.GetString(), name.GetString());
    return path;
}

void SplitRefusedCharacters(const CString& text, BOOL folder, CString* kept, CString* refused)
{
    kept->Empty();
    refused->Empty();
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t ch = text[i];
        if (IsRefusedCharacter(ch, folder))
            *refused += ch;
        else
            *kept += ch;
    }
}

CString FormatPartExample(const CString& folder, const CString& baseName, const CString& format)
{
    CString example;
    if (folder.IsEmpty())
        example.Format(L"\\%s-Part01.%s", baseName.GetString(), format.GetString());
    else
        example.Format(L"%s-Part01.%s", JoinPlayerPath(folder, baseName).GetString(), format.GetString());
    return example;
}

CString NormalizeTargetFolder(const CString& folder, const CString& previousFolder, BOOL keepAppComponent)
{
    CString result = folder;
    if (result.IsEmpty())
        result = L"\\";
    else if (result[0] != L'\\')
        result = L"\\" + result;
    if (keepAppComponent && result.CompareNoCase(previousFolder) != 0) {
        CString kept = previousFolder;
        kept.Trim(L'\\');
        kept = kept.Mid(kept.ReverseFind(L'\\') + 1);
        CString last = result;
        last.TrimRight(L'\\');
        last = last.Mid(last.ReverseFind(L'\\') + 1);
        if (!kept.IsEmpty() && last.CompareNoCase(kept) != 0)
            result = JoinPlayerPath(result, kept);
    }
    return result;
}
