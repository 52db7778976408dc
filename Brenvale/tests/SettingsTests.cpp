// The console's settings against Wine's real registry, the machine-wide download path
// and its lock, the data folder in Wine's real profile folders, and the small shared
// functions of the console.
#include "BrenvaleDoc.h"
#include "ConsoleSettings.h"
#include "DataFolder.h"
#include "LibraryTestSupport.h"
#include "TestSupport.h"
#include "VersionNumbers.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <shlwapi.h>

using testsupport::ScratchFolder;
using testsupport::WriteAll;

namespace {

const wchar_t* const kProgramKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale";

// The console's application object with a clean registry key around each test.
class Settings : public ::testing::Test {
protected:
    void SetUp() override
    {
        Clean();
        m_app.SetRegistryKey(L"Vesperlin, Inc.");
    }
    void TearDown() override { Clean(); }
    static void Clean()
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
        SHDeleteKeyW(HKEY_LOCAL_MACHINE, kMachineDownloadPathKey);
    }
    static void SetMachinePath(const wchar_t* path, DWORD type = REG_SZ)
    {
        CRegistryKey key;
        ASSERT_EQ(key.Create(HKEY_LOCAL_MACHINE, kMachineDownloadPathKey, KEY_WRITE), ERROR_SUCCESS);
        RegSetValueExW(key, kMachineDownloadPathValue, 0, type, reinterpret_cast<const BYTE*>(path),
                       static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t)));
    }
    CWinApp m_app{nullptr};  // named by the string table: "Vesperlin Brenvale"
};

}  // namespace

TEST_F(Settings, ReadsEveryDefaultFromAnEmptyRegistry)
{
    EXPECT_EQ(CString(m_app.m_pszProfileName), L"Vesperlin Brenvale");
    size_t count = 0;
    const ConsoleSetting* settings = ConsoleSettings(count);
    ASSERT_GT(count, 20u);
    for (size_t i = 0; i < count; ++i) {
        if (settings[i].isText)
            EXPECT_EQ(GetSettingString(settings[i].name), settings[i].defaultText);
        else
            EXPECT_EQ(GetSettingInt(settings[i].name), settings[i].defaultNumber) << CString(settings[i].name).ToNarrow();
    }
    EXPECT_EQ(GetSettingInt(L"LastTreeWidth"), 200);
    EXPECT_EQ(GetSettingInt(L"LastViewID"), -1);
    EXPECT_EQ(GetSettingInt(L"MultiColumn1Width"), 150);
    EXPECT_EQ(GetSettingInt(L"MultiColumn8Width"), 90);
    EXPECT_EQ(GetSettingInt(L"LastVolumeLevel"), 50);

    // Written values are read back from HKCU\Software\<company>\<profile>\Settings.
    ASSERT_TRUE(WriteSettingInt(L"LastTreeWidth", 321));
    ASSERT_TRUE(WriteSettingString(L"UserName", L"\u00e9l\u00e8ve"));
    EXPECT_EQ(GetSettingInt(L"LastTreeWidth"), 321);
    EXPECT_EQ(GetSettingString(L"UserName"), L"\u00e9l\u00e8ve");
    CRegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, CString(kProgramKey) + L"\\Settings", KEY_READ), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value, type = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"LastTreeWidth", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 321u);
}

TEST_F(Settings, DeletesValuesAndSectionsAndEndsUnterminatedStringsSafely)
{
    ASSERT_TRUE(m_app.WriteProfileString(L"Bookmarks\\T1", L"a", L"1"));
    ASSERT_TRUE(m_app.WriteProfileString(L"Game Exe Names", L"T1", L"game.exe"));
    ASSERT_TRUE(m_app.WriteProfileString(L"Game Exe Names", L"T2", L"other.exe"));
    EXPECT_TRUE(m_app.WriteProfileString(L"Game Exe Names", L"T1", nullptr));
    EXPECT_EQ(m_app.GetProfileString(L"Game Exe Names", L"T1", L"none"), L"none");
    EXPECT_EQ(m_app.GetProfileString(L"Game Exe Names", L"T2"), L"other.exe");
    EXPECT_TRUE(m_app.WriteProfileString(L"Bookmarks\\T1", nullptr, nullptr));
    EXPECT_EQ(m_app.GetProfileString(L"Bookmarks\\T1", L"a", L"gone"), L"gone");

    // A string stored without its terminating NUL, and one of another type.
    CRegistryKey key(m_app.GetSectionKey(L"Settings"));
    ASSERT_NE(static_cast<HKEY>(key), nullptr);
    const wchar_t raw[] = {L'a', L'b', L'c'};
    RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
    const wchar_t expand[] = L"%TEMP%";
    RegSetValueExW(key, L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand);
    RegSetValueExW(key, L"Empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 0);
    key.Close();
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Raw"), L"abc");
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Expand", L"default"), L"default");
    CString text = L"stale";
    const CString settingsKey = CString(kProgramKey) + L"\\Settings";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, settingsKey, L"Raw", text), ERROR_SUCCESS);
    EXPECT_EQ(text, L"abc");
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, settingsKey, L"Expand", text), ERROR_SUCCESS);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, settingsKey, L"Empty", text), ERROR_SUCCESS);
    EXPECT_TRUE(text.IsEmpty());
    text = L"stale";
    EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, settingsKey, L"Missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_NE(ReadRegistryString(HKEY_CURRENT_USER, L"Software\\No Such Key", L"x", text), ERROR_SUCCESS);
}

TEST_F(Settings, AMachineWideDownloadPathFixesTheFormatFoldersWhileItIsThere)
{
    const wchar_t* const folders[] = {L"DownloadFolder-MP3 Audiobook", L"DownloadFolder-WMA Audiobook",
                                      L"DownloadFolder-WMA Music", L"DownloadFolder-WMV Video (standard)",
                                      L"DownloadFolder-WMV Video (mobile)"};
    const wchar_t* const expected[] = {L"C:\\Media\\MP3 Audiobooks", L"C:\\Media\\WMA Audiobooks",
                                       L"C:\\Media\\WMA Music", L"C:\\Media\\WMV Videos (standard)",
                                       L"C:\\Media\\WMV Videos (mobile)"};
    WriteSettingString(folders[2], L"D:\\Old Music");
    for (const wchar_t* path : {L"C:\\Media", L"C:\\Media\\"}) {
        SetMachinePath(path);
        ApplyMachineDownloadPath();
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(GetSettingString(folders[i]), expected[i]);
        EXPECT_EQ(GetSettingInt(kDownloadFolderLocked), 1);
    }
    // Taking the value away lifts the lock and keeps the folders.
    SHDeleteKeyW(HKEY_LOCAL_MACHINE, kMachineDownloadPathKey);
    ApplyMachineDownloadPath();
    EXPECT_EQ(GetSettingInt(kDownloadFolderLocked), 0);
    EXPECT_EQ(GetSettingString(folders[0]), expected[0]);

    // Paths that cannot fix the folders: as if there were none.
    const struct {
        const wchar_t* path;
        DWORD type;
    } ignored[] = {
        {L"C:\\Me*dia", REG_SZ},        {L"C:\\Media|x", REG_SZ},    {L"\\\\server\\share", REG_SZ},
        {L"C:\\Media", REG_EXPAND_SZ}, {L"Q:\\Media", REG_SZ},      {L"", REG_SZ},
        {L"Media", REG_SZ},
    };
    for (const auto& c : ignored) {
        WriteSettingInt(kDownloadFolderLocked, 1);
        WriteSettingString(folders[1], L"E:\\Mine");
        SetMachinePath(c.path, c.type);
        ApplyMachineDownloadPath();
        EXPECT_EQ(GetSettingInt(kDownloadFolderLocked), 0) << CString(c.path).ToNarrow();
        EXPECT_EQ(GetSettingString(folders[1]), L"E:\\Mine") << CString(c.path).ToNarrow();
    }
}

TEST_F(Settings, KeepsTheDataFolderInTheRoamingProfileAndFallsBackToTheLocalOne)
{
    wchar_t roaming[MAX_PATH] = {}, local[MAX_PATH] = {};
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, roaming), S_OK);
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local), S_OK);
    const CString vendor = CString(roaming) + L"\\Vesperlin";
    testsupport::RemoveTree(vendor);

    const CString folder = GetConsoleDataFolder();
    EXPECT_EQ(folder, CString(roaming) + L"\\Vesperlin\\Brenvale");
    EXPECT_TRUE(PathIsDirectoryW(folder));
    CBrenvaleDoc library;
    EXPECT_EQ(library.GetDataFolder(), folder);
    EXPECT_EQ(library.GetLibraryDatabasePath(), folder + L"\\MediaDB.dat");

    // A file where the vendor folder belongs: the folder cannot be made there.
    testsupport::RemoveTree(vendor);
    WriteAll(vendor, std::string("in the way"));
    EXPECT_EQ(GetConsoleDataFolder(), CString(local) + L"\\Vesperlin\\Brenvale");
    DeleteFileW(vendor);
}

TEST(SharedHelpers, MakesTitleFoldersUniqueAndReadsFourPartVersions)
{
    ScratchFolder scratch;
    librarytest::TestLibrary library(scratch.Path());
    for (const wchar_t* folder : {L"Book", L"book2"}) {
        CMediaObject* title = librarytest::MakeTitle(folder, L"s");
        title->SetDownloadFolder(L"D:\\Books");
        title->SetTitleFolder(folder);
        library.AddTitleToLibrary(title);
    }
    CString name = L"Book";
    MakeUniqueTitleFolder(library, L"d:\\books", name);
    EXPECT_EQ(name, L"Book3");
    name = L"Other";
    MakeUniqueTitleFolder(library, L"D:\\Books", name);
    EXPECT_EQ(name, L"Other");
    name = L"Book";
    MakeUniqueTitleFolder(library, L"E:\\Elsewhere", name);
    EXPECT_EQ(name, L"Book");

    int a = -1, b = -1, c = -1, d = -1;
    EXPECT_TRUE(ParseVersionNumbers(L"3.6.0.12", a, b, c, d));
    EXPECT_EQ(a * 1000 + b * 100 + c * 10 + d, 3612);
    EXPECT_TRUE(ParseVersionNumbers(L"1.x.2a.", a, b, c, d));
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(d, 0);
    EXPECT_FALSE(ParseVersionNumbers(L"1.2.3", a, b, c, d));
    EXPECT_FALSE(ParseVersionNumbers(L"1.2.3.4.5", a, b, c, d));
}
