// The rules of the device folder browser and the Advanced Options dialog that need no window:
// which entries of a player's folder list are shown and may be changed, the space texts, the
// names a user may give a folder, the "New Folder (n)" names, and the Advanced Options texts.
//
//     IsFolderEntryShown(entry.attributes, kBrowseShowReadOnly, FALSE);  // shown in normal mode
//     FormatKilobytes(1234567 * 1024ull);                                // "1,234,567"
//     CheckFolderName(L"CON");                                           // IDS_FOLDER_NAME_RESERVED
#pragma once

#include "afx.h"

struct PlayerFolderEntry;

// Attribute bits of a folder entry.
inline constexpr DWORD kEntryDefaultStorage = 0x8000000;
inline constexpr DWORD kEntryMayDelete = 0x8000;
inline constexpr DWORD kEntryMayRename = 0x20000;
inline constexpr DWORD kEntryReadOnly = 0x1000000;
inline constexpr DWORD kEntryPlayable = 0x4000;
inline constexpr DWORD kEntryHidden = 0x400000;
inline constexpr DWORD kEntrySystem = 0x800000;
inline constexpr DWORD kEntryHasFolders = 0x2000000;
inline constexpr DWORD kEntryHasFiles = 0x4000000;

// The browser's flags word: its mode, hidden items at start, and the filter of the list.
inline constexpr DWORD kBrowseDeleteMode = 0x80000000;
inline constexpr DWORD kBrowseShowHidden = 0x400000;
// Normal mode: read-only entries are offered too.
inline constexpr DWORD kBrowseShowReadOnly = 0x1000000;
// Delete mode as the Confirm page opens it for a full player.
inline constexpr DWORD kBrowseDeleteFlags = kBrowseDeleteMode | kBrowseShowReadOnly;

// How many "New Folder (n)" names are tried before the creation is given up.
inline constexpr int kMaxNewFolderNames = 100;

// Whether the browser lists an entry with these attributes: with the system and read-only bits
// (and the hidden bit unless hidden items are shown) it must have none of them or exactly the
// flags word; a flags word of 0 lists nothing.
BOOL IsFolderEntryShown(DWORD attributes, DWORD flags, BOOL showHidden);

// Whether an entry may be renamed (mask kEntryMayRename) or deleted (kEntryMayDelete). Never the
// player's root entries. On a drive player (reached through its file system) the player's own
// folders and file directly below the root ("Music", "Pictures", "TV", "Video", "WMPInfo.xml")
// are kept; on the others the entry must carry a bit of the mask and not be read-only.
BOOL MayChangeFolderEntry(const PlayerFolderEntry& entry, DWORD mask, BOOL drivePlayer);

// A byte count in whole KB with thousands separators: "999", "1,234,567".
CString FormatKilobytes(ULONGLONG bytes);
// The browser's space text: free space alone, or needed and free space (red when short).
CString FormatSpaceText(ULONGLONG freeBytes, ULONGLONG neededBytes);
// Free space in GB with two decimals and thousands separators: "1,234.57".
CString FormatGigabytes(ULONGLONG bytes);

// 0 when a player may hold a folder or file of this name, else the id of the text that says
// why not: empty, "." or "..", a reserved device name (also with an extension), or a character
// the player's file system refuses. Names given by the user pass here before the player sees them.
UINT CheckFolderName(const CString& name);
// The same for every component of a folder path ("\\Music\\Books"); empty components pass.
// The first refused component, or empty.
UINT CheckFolderPath(const CString& path, CString* refusedComponent);
// The user's text for a refused name.
CString FolderNameMessage(UINT reason, const CString& name);

// "New Folder" for the first try, "New Folder (n)" for try n from 2.
CString NewFolderName(int attempt);
// A child's path below a folder: "%s%s" when the folder ends in a backslash, else "%s\\%s".
CString JoinPlayerPath(const CString& folder, const CString& name);

// Advanced Options: the characters of a text split into those kept and those refused (the
// backslash is kept in a folder, refused in a base name).
void SplitRefusedCharacters(const CString& text, BOOL folder, CString* kept, CString* refused);
// The example path of the first part: "\\Book-Part01.mp3" for no folder, no second backslash
// after a folder that ends in one.
CString FormatPartExample(const CString& folder, const CString& baseName, const CString& format);
// A folder as the dialog keeps it: "\\" when empty, a leading backslash added. With the media
// application's folder kept, a new folder whose last component differs from the old one's gets
// that component appended.
CString NormalizeTargetFolder(const CString& folder, const CString& previousFolder, BOOL keepAppComponent);
