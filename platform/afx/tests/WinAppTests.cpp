// CWinApp's registry profile against Wine's real registry, and the key holder it uses.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

namespace {

const wchar_t* const kCompany = L"Vesperlin Tests";
const wchar_t* const kProgramKey = L"Software\\Vesperlin Tests\\Afx Profile Test";

// An application object with a clean profile key around each test.
class WinAppProfile : public ::testing::Test {
protected:
    void SetUp() override { SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests"); }
    void TearDown() override { SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests"); }
    CWinApp m_app{L"Afx Profile Test"};
};

bool KeyExists(const wchar_t* path)
{
    CRegistryKey key;
    return key.Open(HKEY_CURRENT_USER, path, KEY_READ) == ERROR_SUCCESS;
}

}  // namespace

TEST_F(WinAppProfile, BeforeTheRegistryKeyIsNamedDefaultsAreReadAndNothingIsWritten)
{
    EXPECT_EQ(m_app.GetAppRegistryKey(), nullptr);
    EXPECT_EQ(m_app.GetSectionKey(L"Settings"), nullptr);
    EXPECT_EQ(m_app.GetProfileInt(L"Settings", L"Width", 7), 7u);
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Name", L"none"), L"none");
    EXPECT_FALSE(m_app.WriteProfileInt(L"Settings", L"Width", 1));
    EXPECT_FALSE(m_app.WriteProfileString(L"Settings", L"Name", L"x"));
    EXPECT_FALSE(KeyExists(kProgramKey));
}

TEST_F(WinAppProfile, ValuesLiveInOneSubKeyPerSectionUnderTheProfile)
{
    m_app.SetRegistryKey(kCompany);
    EXPECT_EQ(CString(m_app.m_pszRegistryKey), kCompany);
    EXPECT_EQ(CString(m_app.m_pszProfileName), L"Afx Profile Test");
    ASSERT_TRUE(m_app.WriteProfileInt(L"Settings", L"Width", -3));
    ASSERT_TRUE(m_app.WriteProfileString(L"Settings", L"Name", L"\u00e9l\u00e8ve"));
    ASSERT_TRUE(m_app.WriteProfileString(L"Player\\T1", L"Position", L"12"));
    EXPECT_EQ(static_cast<int>(m_app.GetProfileInt(L"Settings", L"Width", 0)), -3);
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Name"), L"\u00e9l\u00e8ve");
    EXPECT_EQ(m_app.GetProfileString(L"Player\\T1", L"Position"), L"12");

    // Read straight from the registry: a REG_DWORD and a REG_SZ with its terminator.
    CRegistryKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, CString(kProgramKey) + L"\\Settings", KEY_READ), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value, type = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Width", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, static_cast<DWORD>(-3));
    size = 0;
    ASSERT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 6 * sizeof(wchar_t));

    // A value of the other kind reads as the default.
    EXPECT_EQ(m_app.GetProfileInt(L"Settings", L"Name", 5), 5u);
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Width", L"default"), L"default");
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Missing"), L"");
}

TEST_F(WinAppProfile, DeletesValuesAndWholeSections)
{
    m_app.SetRegistryKey(kCompany);
    ASSERT_TRUE(m_app.WriteProfileString(L"Games", L"T1", L"game.exe"));
    ASSERT_TRUE(m_app.WriteProfileString(L"Games", L"T2", L"other.exe"));
    ASSERT_TRUE(m_app.WriteProfileString(L"Bookmarks\\T1\\Deep", L"a", L"1"));

    EXPECT_TRUE(m_app.WriteProfileString(L"Games", L"T1", nullptr));  // a null value deletes the entry
    EXPECT_EQ(m_app.GetProfileString(L"Games", L"T1", L"gone"), L"gone");
    EXPECT_EQ(m_app.GetProfileString(L"Games", L"T2"), L"other.exe");
    EXPECT_FALSE(m_app.DeleteProfileValue(L"Games", L"T1"));  // already gone
    EXPECT_FALSE(m_app.DeleteProfileValue(L"No Such Section", L"x"));

    EXPECT_TRUE(m_app.WriteProfileString(L"Bookmarks", nullptr, nullptr));  // a null entry deletes the section
    EXPECT_FALSE(KeyExists(CString(kProgramKey) + L"\\Bookmarks"));
    EXPECT_FALSE(m_app.DeleteProfileSection(L"Bookmarks"));
    EXPECT_FALSE(m_app.DeleteProfileSection(L""));  // never the whole profile
    EXPECT_TRUE(KeyExists(CString(kProgramKey) + L"\\Games"));
}

TEST_F(WinAppProfile, StringsWithoutTerminatorOrOfOtherTypesAreReadSafely)
{
    m_app.SetRegistryKey(kCompany);
    const CRegistryKey key(m_app.GetSectionKey(L"Settings"));
    ASSERT_NE(static_cast<HKEY>(key), nullptr);
    const wchar_t raw[] = {L'a', L'b', L'c'};
    RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
    const wchar_t odd[] = {L'x', L'y', L'z'};
    RegSetValueExW(key, L"Odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(odd), sizeof odd - 1);  // half a unit
    const wchar_t expand[] = L"%TEMP%";
    RegSetValueExW(key, L"Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand), sizeof expand);
    RegSetValueExW(key, L"Empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), 0);

    const struct {
        const wchar_t* name;
        LONG result;
        DWORD type;
        const wchar_t* text;
    } cases[] = {
        {L"Raw", ERROR_SUCCESS, REG_SZ, L"abc"},
        {L"Odd", ERROR_SUCCESS, REG_SZ, L"xy"},
        {L"Expand", ERROR_SUCCESS, REG_EXPAND_SZ, L""},
        {L"Empty", ERROR_SUCCESS, REG_SZ, L""},
        {L"Missing", ERROR_FILE_NOT_FOUND, 0, L""},
    };
    for (const auto& c : cases) {
        CString text = L"stale";
        DWORD type = 0xFFFF;
        EXPECT_EQ(AfxReadRegistryString(key, c.name, text, &type), c.result) << CString(c.name).ToNarrow();
        EXPECT_EQ(text, c.text) << CString(c.name).ToNarrow();
        if (c.result == ERROR_SUCCESS) {
            EXPECT_EQ(type, c.type) << CString(c.name).ToNarrow();
        }
    }
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Raw"), L"abc");
    EXPECT_EQ(m_app.GetProfileString(L"Settings", L"Expand", L"default"), L"default");
}

TEST(RegistryKey, ClosesWhatItHoldsAndHandsItOverOnRequest)
{
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests");
    CRegistryKey key;
    EXPECT_EQ(static_cast<HKEY>(key), nullptr);
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests\\Holder", KEY_READ | KEY_WRITE),
              ERROR_SUCCESS);
    ASSERT_NE(static_cast<HKEY>(key), nullptr);
    const HKEY held = key;

    // Moving hands the key over; the source holds nothing afterwards.
    CRegistryKey moved(std::move(key));
    EXPECT_EQ(static_cast<HKEY>(key), nullptr);
    EXPECT_EQ(static_cast<HKEY>(moved), held);

    // A failed open leaves no key held (the one before is closed).
    EXPECT_EQ(moved.Open(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests\\No Such Key", KEY_READ),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(static_cast<HKEY>(moved), nullptr);
    EXPECT_NE(RegQueryInfoKeyW(held, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr),
              ERROR_SUCCESS)
        << "the key held before was closed";

    // Detach gives the key to a caller that closes it itself.
    ASSERT_EQ(moved.Open(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests\\Holder", KEY_READ), ERROR_SUCCESS);
    const HKEY detached = moved.Detach();
    EXPECT_EQ(static_cast<HKEY>(moved), nullptr);
    EXPECT_EQ(RegQueryInfoKeyW(detached, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(detached);
    SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Tests");
}
