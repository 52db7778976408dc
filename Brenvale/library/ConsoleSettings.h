// The console's registry settings: the values of the section "Settings" with their
// defaults, and the machine-wide download path that fixes the per-format download folders.
#pragma once

#include "afx.h"

// Section and value names.
constexpr const wchar_t* kSettingsSection = L"Settings";
constexpr const wchar_t* kDownloadFolderLocked = L"DownloadFolder-Locked";
constexpr const wchar_t* kMachineDownloadPathKey = L"SOFTWARE\\Vesperlin, Inc.\\Vesperlin Brenvale";
constexpr const wchar_t* kMachineDownloadPathValue = L"DownloadPath";

// One value of the section "Settings" and its default.
struct ConsoleSetting {
    const wchar_t* name;
    bool isText;
    int defaultNumber;
    const wchar_t* defaultText;
};
// Every value of "Settings" that has a default of its own.
const ConsoleSetting* ConsoleSettings(size_t& count);
// The value's default from the table (0 or empty for a name the table lacks).
int GetSettingInt(const wchar_t* name);
CString GetSettingString(const wchar_t* name);
BOOL WriteSettingInt(const wchar_t* name, int value);
BOOL WriteSettingString(const wchar_t* name, const wchar_t* value);

// The five content formats with their own download folder, in the order handled
// (string-table names "MP3 Audiobook", "WMA Audiobook", ...).
CStringArray DownloadFormatNames();

// Reads a REG_SZ value of a key below root. The text is emptied first; the result is
// the Win32 error of opening or reading (0 with an empty text for another type or an
// empty value). Data without a terminating NUL is ended safely.
LONG ReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, CString& text);

// A machine-wide download path (HKLM "DownloadPath") on a fixed or network drive fixes
// the five per-format download folders under it and sets "DownloadFolder-Locked";
// without a usable one the lock is lifted and the folders stay as they are.
void ApplyMachineDownloadPath();
// Whether a path can serve as the machine-wide download path.
bool IsUsableMachineDownloadPath(const CString& path);
