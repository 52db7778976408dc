// Player records (display names, folder paths, lazy kinds, file deletion on mass-storage players),
// the profile file of a mass-storage player, and drive letters and names of the device search.
#include "DeviceEnumeration.h"
#include "DataFolder.h"
#include "DeviceProfile.h"
#include "FileUtils.h"
#include "PlayerRecord.h"
#include "TestDrive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {


struct DisplayCase {
    const wchar_t* name;
    const wchar_t* description;
    const wchar_t* expected;
};

TEST(PlayerRecord, DisplayNames)
{
    const DisplayCase cases[] = {
        {L"Kitchen Player", L"", L"Kitchen Player"},
        {L"Kitchen Player", L"kitchen player", L"kitchen player"},
        {L"Removable Disk (E:)", L"Generic Flash Disk", L"Generic Flash Disk"},
        {L"Player (E:)", L"Generic Flash Disk", L"Generic Flash Disk (Player)"},
        {L"Player (E:)", L"", L"Player (E:) (Player)"},
        {L"KP-1", L"Kitchen Player", L"Kitchen Player (KP-1)"},
    };
    for (const DisplayCase& c : cases) {
        PlayerRecord record(c.name, nullptr, c.description, NoSerialNumber(), kUnknownValue);
        EXPECT_EQ(CString(c.expected), record.GetDisplayName()) << c.name << L" / " << c.description;
    }
}

TEST(PlayerRecord, FolderPaths)
{
    const struct {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"Books\\The Very Long Title Of A Book That Goes On And On Past Fifty Letters",
         L"Books\\The Very Long Title Of A Book That Goes On And On"},
        {L"a:b*c", L"abc"},
        {L"Books\\Night <Crossing>?  ", L"Books\\Night Crossing"},
    };
    for (const auto& c : cases) {
        PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
        record.SetFolderPath(c.text);
        EXPECT_EQ(CString(c.expected), record.GetFolderPath()) << c.text;
        EXPECT_LE(record.GetFolderPath().Mid(record.GetFolderPath().ReverseFind(L'\\') + 1).GetLength(), 50);
    }
}

TEST(PlayerRecord, KindsFromTheDisplayName)
{
    const struct {
        const wchar_t* description;
        int apple, zune, mp3Only;
    } cases[] = {
        {L"Apple iPod Shuffle", 0x1300, 0, 0},
        {L"Apple device", 0x1290, 0, 0},
        {L"Apple iPod", 0x1200, 0, 0},
        {L"iTunes Library", 1, 0, 0},
        {L"iTunes Library and Apple iPod", 0x1201, 0, 0},
        {L"Microsoft Zune", 0, 1, 0},
        {L"Kitchen Player MP3 only", 0, 0, 1},
    };
    for (const auto& c : cases) {
        PlayerRecord record(c.description, nullptr, c.description, NoSerialNumber(), 0);
        EXPECT_EQ(c.apple, record.IsApple()) << c.description;
        EXPECT_EQ(c.zune, record.IsZune()) << c.description;
        EXPECT_EQ(c.mp3Only, record.IsMp3Only()) << c.description;
    }
    PlayerRecord noSerial(L"Player", nullptr, L"", NoSerialNumber(), 0);
    noSerial.SetMp3Only(5);
    EXPECT_EQ(1, noSerial.IsMp3Only());
}

TEST(PlayerRecord, FormatCodesAndTargetPaths)
{
    PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
    EXPECT_EQ(0, record.AddFormatCode(0x3009));
    EXPECT_EQ(1, record.AddFormatCode(0xB901));
    BOOL found = FALSE;
    EXPECT_EQ(1, record.FindFormatCode(0xB901, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ(2, record.FindFormatCode(0x3000, &found));
    EXPECT_FALSE(found);

    EXPECT_EQ(CString(), record.GetTargetPath(L"Night"));
    record.targetFolder = L"E:\\Books";
    EXPECT_EQ(CString(L"E:\\Books"), record.GetTargetPath(L"Night"));
    record.joinTarget = TRUE;
    EXPECT_EQ(CString(L"E:\\Books\\Night"), record.GetTargetPath(L"Night"));
}

TEST(PlayerRecord, ErrorDetails)
{
    PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
    EXPECT_EQ(CString(), record.GetErrorDetails(L"TransferPart"));
    record.errorDetails.SetAt(L"TransferPart", L"Unable to copy.");
    EXPECT_EQ(CString(L"Error details: Unable to copy."), record.GetErrorDetails(L"TransferPart"));
}

TEST(PlayerRecord, DeletesTargetFilesOnlyInsideItsFolder)
{
    testsupport::ScratchFolder folder;
    CreateFolderPath(folder / L"drive\\Books\\Night");
    testsupport::WriteAll(folder / L"drive\\Books\\Night\\Part1.mp3", "part");
    testsupport::WriteAll(folder / L"drive\\Books\\Keep.mp3", "keep");
    testsupport::TestDrive drive(folder / L"drive", testsupport::DriveKind::Removable);
    ASSERT_TRUE(drive.Made());
    PlayerRecord record(L"Removable Disk", nullptr, L"", NoSerialNumber(), 0);
    record.driveLetter = drive.Letter();
    record.folderPath = L"\\Books\\Night";

    EXPECT_FALSE(record.DeleteTargetFile(L"Part1.mp3"));  // not a mass-storage player
    EXPECT_TRUE(FileExists(folder / L"drive\\Books\\Night\\Part1.mp3"));
    record.massStorage = TRUE;
    for (const wchar_t* outside : {L"..\\Keep.mp3", L"\\..\\Keep.mp3", L"C:\\Windows\\win.ini", L"a\\..\\..\\Keep.mp3"}) {
        EXPECT_FALSE(record.DeleteTargetFile(outside)) << outside;
    }
    EXPECT_TRUE(FileExists(folder / L"drive\\Books\\Keep.mp3"));
    EXPECT_TRUE(record.DeleteTargetFile(L"\\Part1.mp3\\"));
    EXPECT_FALSE(FileExists(folder / L"drive\\Books\\Night\\Part1.mp3"));
    EXPECT_FALSE(FolderExists(folder / L"drive\\Books\\Night"));  // left empty: removed
}

struct ProfileCase {
    const char* label;
    const char* text;
    const wchar_t* targetFolder;
    BOOL joinTarget, thumbnail, cover;
    const wchar_t* bannerFolder;
    const wchar_t* clientId;
};

TEST(DeviceProfile, Reading)
{
    const ProfileCase cases[] = {
        {"folder with title", "<Carrowind><VPM>Books\\[title]</VPM></Carrowind>", L"%Books", TRUE, FALSE, FALSE, L"", L""},
        {"title alone", "<Carrowind><VPM>[title]</VPM></Carrowind>", L"%[title]", FALSE, FALSE, FALSE, L"", L""},
        {"other letter cases and fall-through",
         "junk before <Carrowind><vpm>\\Audio\\</vpm><thumbnail>1</thumbnail><Cover>1</Cover><banner>Art\\</banner>"
         "<ClientID></ClientID><clientId>c-1</clientId></Carrowind>",
         L"%Audio", FALSE, TRUE, TRUE, L"%Art", L"c-1"},
        {"the root in capitals", "<CARROWIND><VPM>Books</VPM></CARROWIND>", L"%Books", FALSE, FALSE, FALSE, L"", L""},
        {"prolog and entities", "<?xml version=\"1.0\"?>\n<Carrowind>\n<VPM>R&amp;B</VPM>\n<Thumbnail>2</Thumbnail>\n</Carrowind>",
         L"%R&B", FALSE, FALSE, FALSE, L"", L""},
        {"folders leaving the drive", "<Carrowind><VPM>..\\..\\Windows\\[title]</VPM><Banner>C:\\Art</Banner></Carrowind>",
         L"", FALSE, FALSE, FALSE, L"", L""},
        {"a share", "<Carrowind><VPM>\\\\server\\share</VPM><Banner>Art\\..\\..</Banner></Carrowind>", L"", FALSE, FALSE, FALSE, L"", L""},
        {"another root", "<Player><VPM>Books</VPM></Player>", L"", FALSE, FALSE, FALSE, L"", L""},
    };
    testsupport::ScratchFolder folder;
    const CString root = folder.Path().Left(3);  // the profile reader makes folders absolute on this drive
    for (const ProfileCase& c : cases) {
        SCOPED_TRACE(c.label);
        testsupport::WriteAll(folder / L"Vesperlin.xml", c.text);
        PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
        record.clientId = L"stale";
        ReadDeviceProfile(&record, folder / L"Vesperlin.xml");
        CString target = c.targetFolder, banner = c.bannerFolder;
        target.Replace(L"%", root);
        banner.Replace(L"%", root);
        EXPECT_EQ(target, record.targetFolder);
        EXPECT_EQ(c.joinTarget, record.joinTarget);
        EXPECT_EQ(c.thumbnail, record.thumbnailFlag);
        EXPECT_EQ(c.cover, record.coverFlag);
        EXPECT_EQ(banner, record.bannerFolder);
        EXPECT_EQ(CString(c.clientId), record.clientId);
    }
    PlayerRecord missing(L"P", nullptr, L"", NoSerialNumber(), 0);
    missing.targetFolder = L"old";
    ReadDeviceProfile(&missing, folder / L"absent.xml");
    EXPECT_EQ(CString(), missing.targetFolder);
}

TEST(DeviceEnumeration, DriveLettersFromNames)
{
    const struct {
        const wchar_t* name;
        wchar_t letter;
    } cases[] = {
        {L"Removable Disk (E:)", L'E'}, {L"E:\\", L'E'}, {L"Player (E)", 0}, {L"Kitchen Player", 0}, {L"E", 0}, {L":E", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.letter, GetDriveLetterFromName(c.name)) << c.name;
}

TEST(DeviceEnumeration, IPodDrivesByTheirLibraryFolder)
{
    EXPECT_FALSE(IsIPodDrive(0));
    EXPECT_FALSE(IsIPodDrive(L'1'));
}

}  // namespace

namespace {

struct SideFileCase {
    const char* label;
    const wchar_t* baseName;
    BOOL massStorage, thumbnail, cover;
    BOOL result;
    std::vector<const wchar_t*> written;  // below the target folder
};

TEST(DeviceProfile, SideFilesOfAMassStoragePlayer)
{
    testsupport::ScratchFolder folder;
    CreateFolderPath(folder / L"title");
    testsupport::WriteAll(folder / L"title\\Harbour.wax", "playlist");
    testsupport::WriteAll(folder / L"title\\Harbour.vpm", "order");
    testsupport::WriteAll(folder / L"title\\Cover.jpg", "cover");
    testsupport::WriteAll(folder / L"title\\Cover-Cover.jpg", "small");
    const SideFileCase cases[] = {
        {"every side file", L"Harbour", TRUE, TRUE, TRUE, TRUE, {L"Harbour.vpm", L"HarbourImg200.jpg", L"HarbourImg100.jpg"}},
        {"no thumbnail flag", L"Harbour", TRUE, FALSE, TRUE, TRUE, {L"Harbour.vpm", L"HarbourImg100.jpg"}},
        {"a format suffix", L"Harbour}Fmt2", TRUE, FALSE, FALSE, TRUE, {L"Harbour}.vpm"}},
        {"not a mass-storage player", L"Harbour", FALSE, TRUE, TRUE, FALSE, {}},
        {"a name leading out", L"..\\..\\Harbour", TRUE, TRUE, TRUE, FALSE, {}},
    };
    for (const SideFileCase& c : cases) {
        SCOPED_TRACE(c.label);
        testsupport::RemoveTree(folder / L"player");
        PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
        record.targetFolder = folder / L"player\\Books";
        record.massStorage = c.massStorage;
        record.thumbnailFlag = c.thumbnail;
        record.coverFlag = c.cover;
        record.baseFileName = c.baseName;
        EXPECT_EQ(c.result, CopySideFilesToDevice(&record, folder / L"title\\Harbour.wax", folder / L"title\\Cover.jpg", L""));
        EXPECT_EQ(static_cast<int>(c.written.size()), testsupport::FileCount(folder / L"player\\Books"));
        for (const wchar_t* name : c.written)
            EXPECT_TRUE(FileExists(folder / L"player\\Books" + L"\\" + name)) << name;
        EXPECT_FALSE(FileExists(folder / L"Harbour.vpm"));
    }
}

// The side files go where the parts went: the folder the Confirm page gave the player on the
// profile's drive, also when the parts' base name is an identifier with its format.
TEST(DeviceProfile, TheSideFilesGoBesideTheParts)
{
    testsupport::ScratchFolder folder;
    testsupport::WriteAll(folder / L"Harbour.wax", "playlist");
    testsupport::WriteAll(folder / L"Harbour.vpm", "order");
    const CString partsFolder = folder / L"player\\Books\\Harbour";
    ASSERT_EQ(L':', partsFolder[1]);
    PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
    record.targetFolder = folder / L"player\\Books";
    record.joinTarget = TRUE;
    record.massStorage = TRUE;
    record.baseFileName = L"{6E1A1C9A-1111-2222-3333-444455556666}Fmt2";
    record.SetFolderPath(partsFolder.Mid(2));
    EXPECT_TRUE(CopySideFilesToDevice(&record, folder / L"Harbour.wax", L"", L""));
    EXPECT_EQ("order", testsupport::ReadAllBytes(partsFolder + L"\\{6E1A1C9A-1111-2222-3333-444455556666}.vpm"));
    EXPECT_EQ(1, testsupport::FileCount(partsFolder));
    EXPECT_FALSE(FileExists(folder / L"player\\Books\\{6E1A1C9A-1111-2222-3333-444455556666}"));
}

TEST(DeviceProfile, TheBannerOfTheSource)
{
    testsupport::ScratchFolder folder;
    testsupport::WriteAll(folder / L"Harbour.wax", "playlist");
    testsupport::WriteAll(folder / L"Harbour.vpm", "order");
    const CString banners = GetConsoleDataFolder() + L"\\Banners";
    CreateFolderPath(banners);
    testsupport::WriteAll(banners + L"\\src-25.png", "banner");
    for (const wchar_t* source : {L"src-25", L"..\\Banners\\src-25"}) {
        testsupport::RemoveTree(folder / L"art");
        PlayerRecord record(L"P", nullptr, L"", NoSerialNumber(), 0);
        record.targetFolder = folder / L"player";
        record.bannerFolder = folder / L"art";
        record.massStorage = TRUE;
        record.baseFileName = L"Harbour";
        EXPECT_TRUE(CopySideFilesToDevice(&record, folder / L"Harbour.wax", L"", source));
        EXPECT_EQ(CString(source) == L"src-25", FileExists(folder / L"art\\src-25.png") != FALSE) << source;
    }
    DeleteFileW(banners + L"\\src-25.png");
}

}  // namespace
