// A stand-in for the programs the console starts, chosen by the name it is copied under:
//   Setup*.exe     a game installer: puts TestGame.exe and Uninstall.exe into the folder
//                  named by VESPERLIN_TEST_GAME_DIR and registers the game the way a
//                  32-bit installer does (Uninstall entry in the 32-bit registry view)
//   Uninstall.exe  removes the game's program and its Uninstall entry
//   anything else  records its command line and current folder in "<own path>.txt" once
//                  "<own path>.go" exists (so a test can show that nobody waits for it)
#include <windows.h>

#include <string>

namespace {

const wchar_t* const kUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VesperlinTestGame";

std::wstring OwnPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring FileName(const std::wstring& path)
{
    return path.substr(path.find_last_of(L'\\') + 1);
}

void WriteUtf8(const std::wstring& path, const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    const std::wstring temporary = path + L".part";
    HANDLE file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

int Install(const std::wstring& self)
{
    wchar_t folder[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"VESPERLIN_TEST_GAME_DIR", folder, MAX_PATH))
        return 2;
    CreateDirectoryW(folder, nullptr);
    const std::wstring game = std::wstring(folder) + L"\\TestGame.exe";
    const std::wstring uninstaller = std::wstring(folder) + L"\\Uninstall.exe";
    if (!CopyFileW(self.c_str(), game.c_str(), FALSE) || !CopyFileW(self.c_str(), uninstaller.c_str(), FALSE))
        return 3;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return 4;
    const std::wstring command = L"\"" + uninstaller + L"\" /quiet";
    RegSetValueExW(key, L"UninstallString", 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                   static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    WriteUtf8(std::wstring(folder) + L"\\installed.txt", L"installed");
    return 0;
}

int Uninstall(const std::wstring& self)
{
    const std::wstring folder = self.substr(0, self.find_last_of(L'\\'));
    DeleteFileW((folder + L"\\TestGame.exe").c_str());
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY, 0);
    WriteUtf8(folder + L"\\uninstalled.txt", GetCommandLineW());
    return 0;
}

int Record(const std::wstring& self)
{
    const std::wstring go = self + L".go";
    for (int i = 0; i < 600 && GetFileAttributesW(go.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(50);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    WriteUtf8(self + L".txt", std::wstring(GetCommandLineW()) + L"\n" + folder);
    return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::wstring self = OwnPath();
    const std::wstring name = FileName(self);
    if (_wcsnicmp(name.c_str(), L"Setup", 5) == 0)
        return Install(self);
    if (_wcsicmp(name.c_str(), L"Uninstall.exe") == 0)
        return Uninstall(self);
    return Record(self);
}
