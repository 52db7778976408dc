// The folder browser's and Advanced Options' rules without a window: which entries are listed
// and may be changed, the space texts, names the player may be given, and the texts Advanced
// Options shows.
#include "AdvancedOptionsDialog.h"
#include "FolderBrowserRules.h"
#include "PlayerRecord.h"
#include "res/BrowseFolderIds.h"

#include <gtest/gtest.h>

namespace {

struct FilterCase {
    const char* label;
    DWORD attributes;
    DWORD flags;
    BOOL showHidden;
    BOOL shown;
};

// Normal mode offers read-only entries; delete mode only entries without any of the bits.
const FilterCase kFilterCases[] = {
    {"plain entry, normal mode", 0x8008, kBrowseShowReadOnly, FALSE, TRUE},
    {"read-only entry, normal mode", kEntryReadOnly | 0x8, kBrowseShowReadOnly, FALSE, TRUE},
    {"system entry, normal mode", kEntrySystem | 0x8, kBrowseShowReadOnly, FALSE, FALSE},
    {"read-only system entry, normal mode", kEntrySystem | kEntryReadOnly, kBrowseShowReadOnly, FALSE, FALSE},
    {"hidden entry, normal mode", kEntryHidden, kBrowseShowReadOnly, FALSE, FALSE},
    {"hidden entry shown", kEntryHidden, kBrowseShowReadOnly, TRUE, TRUE},
    {"hidden read-only entry shown", kEntryHidden | kEntryReadOnly, kBrowseShowReadOnly, TRUE, TRUE},
    {"plain entry, delete mode", 0x8008, kBrowseDeleteFlags, FALSE, TRUE},
    {"read-only entry, delete mode", kEntryReadOnly, kBrowseDeleteFlags, FALSE, FALSE},
    {"system entry, delete mode", kEntrySystem, kBrowseDeleteFlags, FALSE, FALSE},
    {"hidden entry, delete mode", kEntryHidden, kBrowseDeleteFlags, FALSE, FALSE},
    {"hidden entry shown, delete mode", kEntryHidden, kBrowseDeleteFlags, TRUE, TRUE},
    {"flags word of 0 lists nothing", 0, 0, TRUE, FALSE},
};

TEST(FolderBrowserRules, ListsEntriesByTheirHiddenSystemAndReadOnlyBits)
{
    for (const FilterCase& c : kFilterCases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.shown, IsFolderEntryShown(c.attributes, c.flags, c.showHidden));
    }
}

struct ProtectionCase {
    const char* label;
    const wchar_t* path;
    int parentIndex;
    DWORD attributes;
    DWORD mask;
    BOOL drivePlayer;
    BOOL mayChange;
};

const ProtectionCase kProtectionCases[] = {
    {"drive player: Music below the root", L"\\Music", 0, 0, kEntryMayDelete, TRUE, FALSE},
    {"drive player: music in other letters", L"\\mUSIC", 0, 0, kEntryMayRename, TRUE, FALSE},
    {"drive player: Music with its drive", L"E:\\Music", 0, 0, kEntryMayDelete, TRUE, FALSE},
    {"drive player: a folder in Music", L"E:\\Music\\Albums", 3, 0, kEntryMayDelete, TRUE, TRUE},
    {"drive player: Pictures", L"\\Pictures", 0, 0, kEntryMayDelete, TRUE, FALSE},
    {"drive player: TV", L"\\TV", 0, 0, kEntryMayRename, TRUE, FALSE},
    {"drive player: Video", L"\\Video", 0, 0, kEntryMayDelete, TRUE, FALSE},
    {"drive player: its WMPInfo.xml", L"\\WMPInfo.xml", 0, 0, kEntryMayDelete, TRUE, FALSE},
    {"drive player: WMPInfo.xml deeper down", L"\\Books\\WMPInfo.xml", 2, 0, kEntryMayDelete, TRUE, TRUE},
    {"drive player: a folder of the user's", L"\\Books", 0, 0, kEntryMayDelete, TRUE, TRUE},
    {"drive player: a name that only begins like Music", L"\\Musicals", 0, 0, kEntryMayDelete, TRUE, TRUE},
    {"drive player: the root itself", L"\\", -1, 0, kEntryMayDelete, TRUE, FALSE},
    {"player: the start storage never", L"\\", -1, kEntryMayDelete, kEntryMayDelete, FALSE, FALSE},
    {"player: with the bit", L"\\Books", 0, kEntryMayDelete, kEntryMayDelete, FALSE, TRUE},
    {"player: without the bit", L"\\Books", 0, kEntryMayRename, kEntryMayDelete, FALSE, FALSE},
    {"player: read-only", L"\\Books", 0, kEntryMayDelete | kEntryReadOnly, kEntryMayDelete, FALSE, FALSE},
    {"player: its Music folder by its bits", L"\\Music", 0, kEntryMayRename, kEntryMayRename, FALSE, TRUE},
};

TEST(FolderBrowserRules, KeepsThePlayersOwnFoldersAndItsRoot)
{
    for (const ProtectionCase& c : kProtectionCases) {
        SCOPED_TRACE(c.label);
        PlayerFolderEntry entry;
        entry.path = c.path;
        entry.parentIndex = c.parentIndex;
        entry.attributes = c.attributes;
        EXPECT_EQ(c.mayChange, MayChangeFolderEntry(entry, c.mask, c.drivePlayer));
    }
}

struct SpaceCase {
    ULONGLONG freeBytes;
    ULONGLONG neededBytes;
    const wchar_t* text;
};

const SpaceCase kSpaceCases[] = {
    {1234567ull * 1024, 0, L"Free space: 1,234,567 KB"},
    {999ull * 1024, 0, L"Free space: 999 KB"},
    {1000ull * 1024, 0, L"Free space: 1,000 KB"},
    {1023, 0, L"Free space: 0 KB"},
    {0, 0, L"Free space: 0 KB"},
    // Past 32 bits of KB the number stays whole.
    {5000000000ull * 1024, 0, L"Free space: 5,000,000,000 KB"},
    {400ull * 1024, 500ull * 1024, L"<font color=\"red\">Needed space: 500 KB    Free space: 400 KB</font>"},
    {500ull * 1024, 500ull * 1024, L"Needed space: 500 KB    Free space: 500 KB"},
    {2000000ull * 1024, 1500ull * 1024, L"Needed space: 1,500 KB    Free space: 2,000,000 KB"},
};

TEST(FolderBrowserRules, SpaceTextsInKilobytes)
{
    for (const SpaceCase& c : kSpaceCases) {
        SCOPED_TRACE(static_cast<const wchar_t*>(c.text));
        EXPECT_EQ(CString(c.text), FormatSpaceText(c.freeBytes, c.neededBytes));
    }
}

TEST(FolderBrowserRules, FreeSpaceInGigabytes)
{
    const struct {
        ULONGLONG bytes;
        const wchar_t* text;
    } cases[] = {
        {0, L"0.01"},
        {1234ull << 30, L"1,234.01"},
        {(1ull << 30) / 2, L"0.51"},
        {1234567ull << 30, L"1,234,567.01"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.text), FormatGigabytes(c.bytes));
}

struct NameCase {
    const wchar_t* name;
    UINT reason;
};

const NameCase kNameCases[] = {
    {L"Books", 0},
    {L"New Folder (2)", 0},
    {L"a.b.c", 0},
    {L"CONSOLE", 0},
    {L"COM0", 0},
    {L"", IDS_FOLDER_NAME_EMPTY},
    {L"   ", IDS_FOLDER_NAME_EMPTY},
    {L".", IDS_FOLDER_NAME_INVALID},
    {L"..", IDS_FOLDER_NAME_INVALID},
    {L"CON", IDS_FOLDER_NAME_RESERVED},
    {L"nul", IDS_FOLDER_NAME_RESERVED},
    {L"NUL.txt", IDS_FOLDER_NAME_RESERVED},
    {L"com1", IDS_FOLDER_NAME_RESERVED},
    {L"LPT9.mp3", IDS_FOLDER_NAME_RESERVED},
    {L"AUX ", IDS_FOLDER_NAME_RESERVED},
    {L"a\\b", IDS_FOLDER_NAME_CHARACTERS},
    {L"a/b", IDS_FOLDER_NAME_CHARACTERS},
    {L"what?", IDS_FOLDER_NAME_CHARACTERS},
    {L"a:b", IDS_FOLDER_NAME_CHARACTERS},
    {L"<x>", IDS_FOLDER_NAME_CHARACTERS},
    {L"a|b", IDS_FOLDER_NAME_CHARACTERS},
    {L"\"q\"", IDS_FOLDER_NAME_CHARACTERS},
    {L"star*", IDS_FOLDER_NAME_CHARACTERS},
    {L"tab\there", IDS_FOLDER_NAME_CHARACTERS},
};

TEST(FolderBrowserRules, NamesThePlayerRefusesAreCaughtFirst)
{
    for (const NameCase& c : kNameCases) {
        SCOPED_TRACE(static_cast<const wchar_t*>(c.name));
        EXPECT_EQ(c.reason, CheckFolderName(c.name));
    }
    CString refused;
    EXPECT_EQ(0u, CheckFolderPath(L"\\Music\\Books\\", &refused));
    EXPECT_EQ(static_cast<UINT>(IDS_FOLDER_NAME_INVALID), CheckFolderPath(L"\\Music\\..\\Books", &refused));
    EXPECT_EQ(CString(L".."), refused);
    EXPECT_EQ(static_cast<UINT>(IDS_FOLDER_NAME_RESERVED), CheckFolderPath(L"\\Books\\PRN", &refused));
    EXPECT_EQ(CString(L"PRN"), refused);
    EXPECT_GE(FolderNameMessage(IDS_FOLDER_NAME_RESERVED, L"PRN").Find(L"\"PRN\""), 0);
}

TEST(FolderBrowserRules, NewFolderNamesAndChildPaths)
{
    EXPECT_EQ(CString(L"New Folder"), NewFolderName(1));
    EXPECT_EQ(CString(L"New Folder (2)"), NewFolderName(2));
    EXPECT_EQ(CString(L"New Folder (100)"), NewFolderName(100));
    EXPECT_EQ(CString(L"\\New Folder"), JoinPlayerPath(L"\\", L"New Folder"));
    EXPECT_EQ(CString(L"\\Music\\Books"), JoinPlayerPath(L"\\Music", L"Books"));
    EXPECT_EQ(CString(L"E:\\Books"), JoinPlayerPath(L"E:\\", L"Books"));
}

TEST(AdvancedOptionsRules, RefusedCharactersOfFoldersAndBaseNames)
{
    const struct {
        const wchar_t* text;
        BOOL folder;
        const wchar_t* kept;
        const wchar_t* refused;
    } cases[] = {
        {L"a:b", FALSE, L"ab", L":"},
        {L"\\Music\\Books", TRUE, L"\\Music\\Books", L""},
        {L"\\Music\\Books", FALSE, L"MusicBooks", L"\\\\"},
        {L"x*y?z", TRUE, L"xyz", L"*?"},
        {L"<\"|/>", FALSE, L"", L"<\"|/>"},
        {L"Harbour Lights", FALSE, L"Harbour Lights", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<const wchar_t*>(c.text));
        CString kept;
        CString refused;
        SplitRefusedCharacters(c.text, c.folder, &kept, &refused);
        EXPECT_EQ(CString(c.kept), kept);
        EXPECT_EQ(CString(c.refused), refused);
    }
}

TEST(AdvancedOptionsRules, ExampleOfTheFirstPartsPath)
{
    EXPECT_EQ(CString(L"\\Book-Part01.mp3"), FormatPartExample(L"", L"Book", L"mp3"));
    EXPECT_EQ(CString(L"\\Book-Part01.wma"), FormatPartExample(L"\\", L"Book", L"wma"));
    EXPECT_EQ(CString(L"\\Music\\Book-Part01.mp3"), FormatPartExample(L"\\Music\\", L"Book", L"mp3"));
    EXPECT_EQ(CString(L"\\Music\\Book-Part01.mp3"), FormatPartExample(L"\\Music", L"Book", L"mp3"));
}

TEST(AdvancedOptionsRules, FolderNormalisation)
{
    const struct {
        const wchar_t* folder;
        const wchar_t* previous;
        BOOL keep;
        const wchar_t* result;
    } cases[] = {
        {L"", L"\\", FALSE, L"\\"},
        {L"Books", L"\\", FALSE, L"\\Books"},
        {L"\\Books", L"\\", FALSE, L"\\Books"},
        // The media application's own folder stays the last component.
        {L"\\Storage", L"\\Audiobooks\\Reader", TRUE, L"\\Storage\\Reader"},
        {L"\\Storage\\", L"\\Audiobooks\\Reader\\", TRUE, L"\\Storage\\Reader"},
        {L"\\Storage\\reader", L"\\Audiobooks\\Reader", TRUE, L"\\Storage\\reader"},
        {L"\\AUDIOBOOKS\\READER", L"\\Audiobooks\\Reader", TRUE, L"\\AUDIOBOOKS\\READER"},
        {L"\\Storage", L"\\Audiobooks\\Reader", FALSE, L"\\Storage"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<const wchar_t*>(c.folder));
        EXPECT_EQ(CString(c.result), NormalizeTargetFolder(c.folder, c.previous, c.keep));
    }
}

}  // namespace

// The media application's folder and a mass-storage profile fix the folder and the parts' names;
// Apple players are reached through iTunes, which names the parts itself.
TEST(AdvancedOptionsRules, WhichEditsAPlayerTakes)
{
    CString zune;
    zune.LoadString(3503);
    ASSERT_FALSE(zune.IsEmpty());
    const struct {
        const char* label;
        CString description;
        BOOL mobileAppFound;
        BOOL massStorage;
        BOOL folder, folderReadOnly, baseName;
    } cases[] = {
        {"MTP player", L"Walkman NW-A45", FALSE, FALSE, TRUE, FALSE, TRUE},
        {"mass-storage player with a profile", L"Generic Flash Disk", FALSE, TRUE, TRUE, TRUE, FALSE},
        {"Windows Mobile device with the media application", L"Pocket PC", TRUE, FALSE, TRUE, TRUE, FALSE},
        {"Apple player", L"Apple device", FALSE, FALSE, FALSE, FALSE, FALSE},
        {"Zune", zune, FALSE, FALSE, FALSE, FALSE, TRUE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        PlayerRecord player(L"Player (E:)", nullptr, c.description, NoSerialNumber(), 0);
        player.mobileAppFound = c.mobileAppFound;
        player.massStorage = c.massStorage;
        const AdvancedOptionsEdits edits = AdvancedOptionsEditsFor(player);
        EXPECT_EQ(c.folder, edits.folder);
        EXPECT_EQ(c.folderReadOnly, edits.folderReadOnly);
        EXPECT_EQ(c.baseName, edits.baseName);
    }
}
