#include "GameTitles.h"

#include "AfxMessageBox.h"
#include "ConsoleMediaObject.h"
#include "DownloadFolderCheck.h"
#include "FileUtils.h"
#include "WinApp.h"
#include "WizardLaunch.h"
#include "res/ConsoleDialogIds.h"

#include <shlobj.h>

namespace {

constexpr const wchar_t* kUninstallKeys = L"Game Uninstall Keys";
constexpr const wchar_t* kExeNames = L"Game Exe Names";
constexpr const wchar_t* kExePaths = L"Game Exe Paths";
constexpr const wchar_t* kFolderRegkeys = L"Game Folder Regkeys";
constexpr const wchar_t* kDefaultFolders = L"Game Default Folders";
constexpr int kMaxGameText = 300;
constexpr int kMaxAppPathText = 260;

// The 32-bit view first (what a 32-bit console sees), then the native one.
constexpr REGSAM kViews[] = {KEY_WOW64_32KEY, KEY_WOW64_64KEY};

bool IsGame(const CMediaObject& title)
{
    return title.GetMetadata().GetContentKind() == KindGame;
}

CString GameSetting(const wchar_t* section, const CMediaObject& title)
{
    CWinApp* app = AfxGetApp();
    return app ? app->GetProfileString(section, title.GetMediaId()) : CString();
}

CString LoadText(UINT id, const wchar_t* argument)
{
    CString text;
    text.Format(id, argument);
    return text;
}

CString FolderPath(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return path;
}

CString WithBackslash(CString folder)
{
    if (folder.Right(1) != L"\\")
        folder += L'\\';
    return folder;
}

CString Quoted(const CString& text)
{
    return L"\"" + text + L"\"";
}

// A program is started only from a full path (never found through the current folder).
bool IsStartablePath(const CString& path)
{
    return IsFullyQualifiedPath(path) && FileExists(path);
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash > 0 ? path.Left(slash) : CString();
}

}  // namespace

CString ExpandProgramFiles(const CString& text, bool appPaths)
{
    CString result = text;
    result.MakeUpper();
    if (appPaths && result.Find(L"%PROGRAMFILES(X86)%") >= 0)
        result.Replace(L"%PROGRAMFILES(X86)%", FolderPath(CSIDL_PROGRAM_FILESX86));
    else if (result.Find(L"%PROGRAMFILES%") >= 0)
        result.Replace(L"%PROGRAMFILES%", FolderPath(appPaths ? CSIDL_PROGRAM_FILES : CSIDL_PROGRAM_FILESX86));
    return result;
}

BOOL ReadMachineText(const CString& key, const wchar_t* valueName, int maxChars, CString& text)
{
    text.Empty();
    for (REGSAM view : kViews) {
        HKEY handle = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &handle) != ERROR_SUCCESS)
            continue;
        std::wstring buffer(static_cast<size_t>(maxChars) + 1, L'\0');
        DWORD type = 0;
        DWORD size = static_cast<DWORD>(maxChars * sizeof(wchar_t));
        const LONG status = RegQueryValueExW(handle, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
        RegCloseKey(handle);
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ)) {
            buffer.resize(size / sizeof(wchar_t));  // the data need not end with a NUL
            text = buffer.c_str();
            return TRUE;
        }
    }
    return FALSE;
}

BOOL MachineKeyExists(const CString& key)
{
    for (REGSAM view : kViews) {
        HKEY handle = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_READ | view, &handle) == ERROR_SUCCESS) {
            RegCloseKey(handle);
            return TRUE;
        }
    }
    return FALSE;
}

BOOL IsGameInstalled(const CMediaObject& title, BOOL& installed)
{
    installed = FALSE;
    if (!IsGame(title))
        return FALSE;
    const CString uninstallKey = GameSetting(kUninstallKeys, title);
    if (uninstallKey.IsEmpty()) {
        AfxMessageBox(IDS_GAME_NO_UNINSTALL_KEY, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    installed = MachineKeyExists(LoadText(IDS_GAME_UNINSTALL_KEY, uninstallKey));
    return TRUE;
}

BOOL LaunchGame(const CMediaObject& title)
{
    if (!IsGame(title))
        return FALSE;
    CString path = GameSetting(kExePaths, title);
    if (!IsStartablePath(path)) {
        const CString exeName = GameSetting(kExeNames, title);
        if (exeName.IsEmpty()) {
            AfxMessageBox(IDS_GAME_NO_EXE_NAME, MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
        CString registered;
        if (ReadMachineText(LoadText(IDS_APP_PATHS_KEY, exeName), nullptr, kMaxGameText, registered))
            path = ExpandProgramFiles(registered);

        if (!IsStartablePath(path)) {
            const CString folderKey = GameSetting(kFolderRegkeys, title);
            if (!folderKey.IsEmpty()) {
                const int slash = folderKey.ReverseFind(L'\\');
                const CString key = slash >= 0 ? folderKey.Left(slash) : folderKey;
                const CString valueName = slash >= 0 ? folderKey.Mid(slash + 1) : CString();
                CString value;
                ReadMachineText(key, valueName, kMaxGameText, value);
                path = ExpandProgramFiles(value);
                if (path.Right(4) != L".EXE")
                    path = WithBackslash(path) + exeName;
            }
        }
        if (!IsStartablePath(path)) {
            const CString defaultFolder = GameSetting(kDefaultFolders, title);
            if (defaultFolder.IsEmpty()) {
                AfxMessageBox(IDS_GAME_NO_DEFAULT_FOLDER, MB_OK | MB_ICONEXCLAMATION);
                return FALSE;
            }
            path = WithBackslash(ExpandProgramFiles(defaultFolder)) + exeName;
        }
    }
    if (!IsStartablePath(path)) {
        AfxMessageBox(L"The specified game cannot be found.", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileString(kExePaths, title.GetMediaId(), path);
    // The game starts in its own folder; the console's current folder stays as it is.
    const CString folder = FolderOf(path);
    return StartDetachedProcess(path, Quoted(path), folder.IsEmpty() ? nullptr : folder.GetString()) == 0;
}

BOOL UninstallGame(const CMediaObject& title)
{
    if (!IsGame(title))
        return FALSE;
    const CString uninstallKey = GameSetting(kUninstallKeys, title);
    const CString key = uninstallKey.IsEmpty() ? CString() : LoadText(IDS_GAME_UNINSTALL_KEY, uninstallKey);
    if (key.IsEmpty() || !MachineKeyExists(key)) {
        AfxMessageBox(IDS_GAME_NO_UNINSTALL_KEY, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    CString commandLine;
    if (!ReadMachineText(key, L"UninstallString", kMaxGameText, commandLine) || commandLine.IsEmpty())
        return FALSE;
    // The uninstall string is a command line of its own (program and arguments).
    return StartDetachedProcess(CString(), commandLine) == 0;
}

BOOL InstallGame(const CMediaObject& title)
{
    const CPartObject* part = title.GetPart(0);
    if (!part)
        return FALSE;
    const CString installer = part->GetFilePath(&title);
    if (!IsStartablePath(installer))
        return FALSE;
    return StartDetachedProcess(installer, Quoted(installer)) == 0;
}

BOOL RunAppPathProgram(const wchar_t* appPathKey, const wchar_t* file)
{
    CString program;
    if (!ReadMachineText(appPathKey, nullptr, kMaxAppPathText, program) || program.IsEmpty())
        return FALSE;
    program.Trim(L'"');
    program = ExpandProgramFiles(program, true);
    CString commandLine = Quoted(program) + L" " + Quoted(file);
    commandLine.MakeUpper();
    return StartDetachedProcess(program, commandLine) == 0;
}
