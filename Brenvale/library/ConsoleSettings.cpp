#include "ConsoleSettings.h"

#include "DownloadFolderCheck.h"

#include "ContentFolderName.h"
#include "RegistryKey.h"
#include "res/MediaCoreIds.h"

namespace {
const ConsoleSetting kSettings[] = {
    {L"LastTreeWidth", false, 200, nullptr},
    {L"LastToolbarViewState", false, 1, nullptr},
    {L"LastStatusBarViewState", false, 1, nullptr},
    {L"InternetRequiresAuth", false, 0, nullptr},
    {L"UserName", true, 0, L""},
    {L"Password", true, 0, L""},
    {L"FirstLaunchFlag", false, 1, nullptr},
    {L"CurrentVersion", true, 0, L""},
    {L"AutoCheckMessages", false, 1, nullptr},
    {L"AutoCheckUpdates", false, 1, nullptr},
    {L"DownloadFolder-Locked", false, 0, nullptr},
    {L"DisableDelete", false, 0, nullptr},
    {L"LastViewID", false, -1, nullptr},
    {L"LastSortColumnIndex", false, 0, nullptr},
    {L"LastSortOrderAsc", false, 1, nullptr},
    {L"SingleColumnWidth", false, 600, nullptr},
    {L"MultiColumn1Width", false, 150, nullptr},
    {L"MultiColumn2Width", false, 90, nullptr},
    {L"MultiColumn3Width", false, 90, nullptr},
    {L"MultiColumn4Width", false, 90, nullptr},
    {L"MultiColumn5Width", false, 90, nullptr},
    {L"MultiColumn6Width", false, 90, nullptr},
    {L"MultiColumn7Width", false, 90, nullptr},
    {L"MultiColumn8Width", false, 90, nullptr},
    {L"LastTreeText", true, 0, L""},
    {L"LastTreeType", false, -1, nullptr},
    {L"LastPlaySpeed", false, 10, nullptr},
    {L"LastVolumeLevel", false, 50, nullptr},
};

const ConsoleSetting* FindSetting(const wchar_t* name)
{
    for (const ConsoleSetting& setting : kSettings)
        if (wcscmp(setting.name, name) == 0)
            return &setting;
    return nullptr;
}

const wchar_t* S(const CString& s) { return s; }
}  // namespace

const ConsoleSetting* ConsoleSettings(size_t& count)
{
    count = sizeof kSettings / sizeof kSettings[0];
    return kSettings;
}

int GetSettingInt(const wchar_t* name)
{
    const ConsoleSetting* setting = FindSetting(name);
    const int fallback = setting ? setting->defaultNumber : 0;
    CWinApp* app = AfxGetApp();
    return app ? static_cast<int>(app->GetProfileInt(kSettingsSection, name, fallback)) : fallback;
}

CString GetSettingString(const wchar_t* name)
{
    const ConsoleSetting* setting = FindSetting(name);
    const wchar_t* fallback = setting && setting->defaultText ? setting->defaultText : L"";
    CWinApp* app = AfxGetApp();
    return app ? app->GetProfileString(kSettingsSection, name, fallback) : CString(fallback);
}

BOOL WriteSettingInt(const wchar_t* name, int value)
{
    CWinApp* app = AfxGetApp();
    return app && app->WriteProfileInt(kSettingsSection, name, value);
}

BOOL WriteSettingString(const wchar_t* name, const wchar_t* value)
{
    CWinApp* app = AfxGetApp();
    return app && app->WriteProfileString(kSettingsSection, name, value);
}

CStringArray DownloadFormatNames()
{
    CStringArray names;
    for (UINT id : {IDS_KIND_MP3_AUDIOBOOK, IDS_KIND_AUDIOBOOK, IDS_KIND_MUSIC, IDS_KIND_VIDEO, IDS_KIND_MOBILE_VIDEO})
        names.Add(AfxLoadString(id));
    return names;
}

LONG ReadRegistryString(HKEY root, const wchar_t* subKey, const wchar_t* valueName, CString& text)
{
    text.Empty();
    CRegistryKey key;
    const LONG status = key.Open(root, subKey, KEY_READ);
    if (status != ERROR_SUCCESS)
        return status;
    return AfxReadRegistryString(key, valueName, text);
}

bool IsUsableMachineDownloadPath(const CString& path)
{
    // A folder on a drive of this machine (no network share): one a user could choose.
    CString driveKind;
    return path.GetLength() >= 2 && path[1] == L':' &&
           CheckDownloadFolder(path, driveKind) == DownloadFolderProblem::None;
}

void ApplyMachineDownloadPath()
{
    const int locked = GetSettingInt(kDownloadFolderLocked);
    CString path;
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, kMachineDownloadPathKey, kMachineDownloadPathValue, path) !=
        ERROR_SUCCESS)
        path.Empty();
    if (!IsUsableMachineDownloadPath(path)) {
        if (locked == 1)
            WriteSettingInt(kDownloadFolderLocked, 0);
        return;
    }
    if (path.Right(1) != L"\\")
        path += L"\\";
    const CStringArray formats = DownloadFormatNames();
    for (const CString& format : formats) {
        CString valueName;
        valueName.Format(L"DownloadFolder-%s", S(format));
        const CString folder = path + PluralizeFolderName(format);
        const CString stored = GetSettingString(valueName);
        if (stored.IsEmpty() || stored != folder)
            WriteSettingString(valueName, folder);
    }
    if (locked == 0)
        WriteSettingInt(kDownloadFolderLocked, 1);
}
