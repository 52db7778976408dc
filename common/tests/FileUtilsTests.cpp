#include "FileUtils.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using testsupport::ScratchFolder;

namespace {

// UTF-8 for failure messages.
std::string U8(const wchar_t* text) { return CString(text).ToNarrow(CP_UTF8); }

// A drive letter that names no drive on this machine ("Q:").
CString UnusedDrive()
{
    const DWORD drives = GetLogicalDrives();
    for (int letter = 'Q'; letter <= 'Y'; ++letter)
        if (!(drives & (1u << (letter - 'A')))) {
            CString text;
            text.Format(L"%c:", letter);
            return text;
        }
    return CString();
}

class FileUtilsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::WriteAll(scratch / L"a.txt", std::string("x"));
        ASSERT_TRUE(CreateDirectoryW(scratch / L"sub", nullptr));
    }
    ScratchFolder scratch;
};

}  // namespace

TEST_F(FileUtilsTest, FilesAndFoldersAreToldApart)
{
    const CString missingDrive = UnusedDrive();
    ASSERT_FALSE(missingDrive.IsEmpty());
    struct Case {
        CString path;
        BOOL file;
        BOOL folder;
    } cases[] = {
        {scratch / L"a.txt", TRUE, FALSE},
        {scratch / L"sub", FALSE, TRUE},
        {scratch / L"sub\\", FALSE, TRUE},
        {scratch.Path(), FALSE, TRUE},
        {scratch / L"missing", FALSE, FALSE},
        {scratch / L"a.txt\\inside", FALSE, FALSE},
        {L"", FALSE, FALSE},
        {L"C:", FALSE, TRUE},
        {L"C:\\", FALSE, TRUE},
        {missingDrive, FALSE, FALSE},
        {missingDrive + L"\\", FALSE, FALSE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.path));
        EXPECT_EQ(c.file, FileExists(c.path));
        EXPECT_EQ(c.folder, FolderExists(c.path));
    }
    EXPECT_FALSE(FileExists(nullptr));
    EXPECT_FALSE(FolderExists(nullptr));
}

TEST_F(FileUtilsTest, CreateFolderPathMakesEveryMissingFolder)
{
    struct Case {
        CString path;
        BOOL result;
        CString mustExist;
    } cases[] = {
        {scratch / L"x\\y\\z", TRUE, scratch / L"x\\y"},
        {scratch / L"t1\\t2\\", TRUE, scratch / L"t1\\t2"},
        {scratch / L"sub", TRUE, scratch / L"sub"},
        {scratch / L"sub\\deeper", TRUE, scratch / L"sub\\deeper"},
        {scratch / L"a.txt\\below", FALSE, L""},  // a file stands in the way
        {UnusedDrive() + L"\\nowhere", FALSE, L""},
        {L"", FALSE, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(U8(c.path));
        EXPECT_EQ(c.result, CreateFolderPath(c.path));
        if (!c.mustExist.IsEmpty()) {
            EXPECT_TRUE(FolderExists(c.mustExist));
        }
    }
    EXPECT_FALSE(CreateFolderPath(nullptr));
    EXPECT_TRUE(FileExists(scratch / L"a.txt"));  // left alone
}

TEST_F(FileUtilsTest, RelativePathsAreCreatedWhereTheyAre)
{
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(scratch.Path()));
    const BOOL single = CreateFolderPath(L"vesperlin-rel-single");
    const BOOL nested = CreateFolderPath(L"rel-top\\rel-inner");
    SetCurrentDirectoryW(previous);

    EXPECT_TRUE(single);
    EXPECT_TRUE(FolderExists(scratch / L"vesperlin-rel-single"));
    EXPECT_FALSE(FolderExists(L"\\vesperlin-rel-single"));  // not at the root of the drive
    EXPECT_TRUE(nested);
    EXPECT_TRUE(FolderExists(scratch / L"rel-top\\rel-inner"));
}

TEST_F(FileUtilsTest, CreateParentFolderMakesTheFoldersButNotTheFile)
{
    EXPECT_TRUE(CreateParentFolder(scratch / L"a\\b\\c.txt"));
    EXPECT_TRUE(FolderExists(scratch / L"a"));
    EXPECT_TRUE(FolderExists(scratch / L"a\\b"));
    EXPECT_FALSE(FileExists(scratch / L"a\\b\\c.txt"));
    EXPECT_FALSE(FolderExists(scratch / L"a\\b\\c.txt"));

    EXPECT_FALSE(CreateParentFolder(L"no-backslash.txt"));
    EXPECT_FALSE(CreateParentFolder(nullptr));
}

TEST_F(FileUtilsTest, TempFileNamesAreNewEmptyFiles)
{
    const CString first = MakeTempFileName(L"vsp");
    const CString second = MakeTempFileName(L"vsp");
    EXPECT_NE(first, second);
    for (const CString& name : {first, second}) {
        SCOPED_TRACE(U8(name));
        CFileStatus status;
        ASSERT_TRUE(CFile::GetStatus(name, status));
        EXPECT_EQ(0u, status.m_size);
        EXPECT_NE(-1, name.Find(L"\\vsp"));
        DeleteFileW(name);
    }
}

TEST_F(FileUtilsTest, TempFileNameFallsBackWhenTheFolderIsUnusable)
{
    const CString missing = scratch / L"no-such-temp";
    wchar_t oldTmp[MAX_PATH] = {};
    wchar_t oldTemp[MAX_PATH] = {};
    const DWORD hadTmp = GetEnvironmentVariableW(L"TMP", oldTmp, MAX_PATH);
    const DWORD hadTemp = GetEnvironmentVariableW(L"TEMP", oldTemp, MAX_PATH);
    SetEnvironmentVariableW(L"TMP", missing);
    SetEnvironmentVariableW(L"TEMP", missing);
    const CString name = MakeTempFileName(L"pre");
    SetEnvironmentVariableW(L"TMP", hadTmp ? oldTmp : nullptr);
    SetEnvironmentVariableW(L"TEMP", hadTemp ? oldTemp : nullptr);

    EXPECT_EQ(missing + L"\\pre-temp.tmp", name);
    EXPECT_FALSE(FileExists(name));
}

TEST(TextFunctions, TrimLineBreaksOnlyAtTheEnd)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"Disk full.\r\n\r\n", L"Disk full."},
        {L"a\r\nb\n", L"a\r\nb"},
        {L"\n\r", L""},
        {L"", L""},
        {L"plain", L"plain"},
        {L"ends in blank \r\n", L"ends in blank "},
    };
    for (const Case& c : cases) {
        std::vector<wchar_t> buffer(c.text, c.text + wcslen(c.text) + 1);
        EXPECT_EQ(buffer.data(), TrimLineBreaks(buffer.data()));
        EXPECT_STREQ(c.expected, buffer.data());
    }
    EXPECT_EQ(nullptr, TrimLineBreaks(nullptr));
}

TEST(TextFunctions, CapitalizeWords)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"  MY   device ", L"My Device"},
        {L"", L""},
        {L"    ", L""},
        {L"iPOD nano", L"Ipod Nano"},
        {L"x", L"X"},
        {L"\u00e9LAN vital", L"\u00c9lan Vital"},
        {L"tab\tinside", L"Tab\tinside"},  // only blanks separate words
    };
    for (const Case& c : cases)
        EXPECT_EQ(CString(c.expected), CapitalizeWords(c.text)) << U8(c.text);
    EXPECT_EQ(CString(), CapitalizeWords(nullptr));
}

TEST(VersionFunctions, CompareVersions)
{
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        int expected;
    } cases[] = {
        {L"1.2", L"1.2.0.0", 0},
        {L"1.10", L"1.9", 1},
        {L"", L"", -1},
        {L"2", L"", 1},
        {L"", L"0", -1},
        {L"1.2.3.4.5", L"1.2.3.4.9", 0},
        {L"3, 6, 0, 12", L"3.6.0.12", 0},
        {L"3, 6, 0, 12", L"3.6.0.13", -1},
        {L"1..2", L"1.2", 0},        // empty pieces are skipped
        {L"1.2beta", L"1.2", 0},     // leading digits only
        {L"beta", L"0", 0},
        {L"9", L"10", -1},
        {L"1.0.0.1", L"1.0.0.0", 1},
        {L"2.0", L"1.99.99.99", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, CompareVersions(c.a, c.b)) << U8(c.a) << " vs " << U8(c.b);
    EXPECT_EQ(-1, CompareVersions(nullptr, L"1"));
    EXPECT_EQ(1, CompareVersions(L"1", nullptr));
}

TEST(VersionFunctions, NormalizeVersionText)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"3, 6, 0, 12", L"3.6.0.12"},
        {L"3, 60, 1, 2", L"3.60.1.2"},  // stays apart from the one above
        {L"2.5", L"2.5"},
        {L"7", L"1.0"},
        {L"", L"1.0"},
        {L"  4.1  ", L"4.1"},
        {L"1.2.3", L"1.2.3"},
        {L"5.", L"5."},
        {L"1,0,0,0", L"1.0.0.0"},
        {L"2 . 5 ", L"2.5"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CString(c.expected), NormalizeVersionText(c.text)) << U8(c.text);
    EXPECT_EQ(CString(L"1.0"), NormalizeVersionText(nullptr));
}

TEST(VersionFunctions, ValuesOfTheProgramsVersionResource)
{
    EXPECT_EQ(CString(L"3, 6, 0, 12"), GetVersionResourceString(nullptr, L"FileVersion"));
    EXPECT_EQ(CString(L"Vesperlin, Inc."), GetVersionResourceString(GetModuleHandleW(nullptr), L"CompanyName"));
    EXPECT_EQ(CString(), GetVersionResourceString(nullptr, L"NoSuchValue"));
    EXPECT_EQ(CString(L"3. 6. 0. 12"), GetFileVersionText());
    EXPECT_EQ(CString(L"2. 5"), GetProductVersionText());
    EXPECT_EQ(CString(L"Version 3.6.0.12 (Build 1207)"), GetVersionDisplayText());
    EXPECT_EQ(CString(L"2.5"), GetProductVersionNumber());
}

TEST(ProgramFolder, HoldsTheRunningProgram)
{
    const CString folder = GetProgramFolder();
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_NE(L'\\', folder[folder.GetLength() - 1]);
    EXPECT_TRUE(FolderExists(folder));
    EXPECT_TRUE(FileExists(folder + L"\\coreservices_tests.exe"));
}
