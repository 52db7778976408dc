// A Windows Mobile player's paths and side files over the mobile link's stand-in (and the device
// manager's, which lists the same device).
#include "DataFolder.h"
#include "FileUtils.h"
#include "TransferFixtures.h"

#include <gtest/gtest.h>

#include <stdexcept>

using transfertest::Exists;
using transfertest::Text;

namespace {

class MobileSideFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        for (const wchar_t* folder :
             {L"ppc", L"ppc\\My Documents", L"ppc\\My Documents\\Audiobooks", L"ppc\\My Documents\\Audiobooks\\Night",
              L"ppc\\My Documents\\Audiobooks\\Day", L"ppc\\My Documents\\Reader", L"ppc\\My Documents\\Reader\\Banners",
              L"ppc\\Program Files", L"ppc\\Program Files\\Reader", L"ppc\\Storage Card", L"ppc\\Storage Card\\Audiobooks",
              L"title"})
            CreateDirectoryW(m_folder / folder, nullptr);
        testsupport::WriteAll(m_folder / L"ppc\\Program Files\\Reader\\ZKYMobileRapi.DLL", "");
        transfertest::UseMobileFixture(m_folder, "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\n"
                                                 "Guid={6E1A1C9A-1111-2222-3333-444455556666}\nFolder=ppc\n"
                                                 "Cards=Storage Card\n");
        for (const char* name : {"Night", "Day"}) {
            testsupport::WriteAll(m_folder / (L"title\\" + CString(name) + L".wax"), "<asx/>");
            testsupport::WriteAll(m_folder / (L"title\\" + CString(name) + L".vpm"), std::string("order of ") + name);
        }
        m_cover = transfertest::MakePicture(m_folder, L"title\\Cover.jpg");
        transfertest::MakePicture(m_folder, L"title\\Cover-Cover.jpg", 32, 24);
        m_banners = GetConsoleDataFolder() + L"\\Banners";
        CreateFolderPath(m_banners);
        testsupport::WriteAll(m_banners + L"\\Source-7.png", "banner");
    }
    void TearDown() override
    {
        DeleteFileW(m_banners + L"\\Source-7.png");
        transfertest::ForgetFixtures();
        CoUninitialize();
    }

    // The device's main memory (or its card) with the reading application found.
    std::unique_ptr<PlayerRecord> Player(bool card = false)
    {
        auto player = transfertest::MakeMobilePlayer(m_folder, card);
        player->SetMobileAppFolder(L"\\Program Files\\Reader\\");
        player->mobileMediaDbFolder = L"\\My Documents\\Reader\\";
        player->folderPath = L"\\Audiobooks\\Night";
        return player;
    }

    CString Events() const { return m_folder / L"Device1.events.log"; }

    testsupport::ScratchFolder m_folder;
    CString m_cover;
    CString m_banners;
};

TEST_F(MobileSideFiles, TwoTitlesOneAfterTheOther)
{
    auto player = Player();
    EXPECT_TRUE(CopySideFilesToMobile(player.get(), m_folder / L"title\\Night.wax", m_cover, L"Source-7"));
    const CString night = m_folder / L"ppc\\My Documents\\Audiobooks\\Night\\";
    EXPECT_EQ("order of Night", Text(night + L"Night.vpm"));
    EXPECT_EQ(testsupport::ReadAllBytes(m_cover), testsupport::ReadAllBytes(night + L"Cover.jpg"));
    EXPECT_EQ(testsupport::ReadAllBytes(m_folder / L"title\\Cover-Cover.jpg"), testsupport::ReadAllBytes(night + L"Cover-Cover.jpg"));
    EXPECT_EQ(testsupport::ReadAllBytes(m_cover), testsupport::ReadAllBytes(night + L"folder.jpg"));
    EXPECT_EQ("banner", Text(m_folder / L"ppc\\My Documents\\Reader\\Banners\\Source-7.png"));
    const std::string events = Text(Events());
    // The order file and folder picture hidden, the covers not, the list file hidden and opened as it is.
    EXPECT_EQ(1, transfertest::CountLines(events, "\\Night\\Night.vpm 0x2 CREATE_ALWAYS")) << events;
    EXPECT_EQ(1, transfertest::CountLines(events, "\\Night\\folder.jpg 0x2 CREATE_ALWAYS")) << events;
    EXPECT_EQ(1, transfertest::CountLines(events, "\\Night\\Cover.jpg 0x80 CREATE_ALWAYS")) << events;
    EXPECT_EQ(1, transfertest::CountLines(events, "\\Program Files\\Reader\\Carrowind.dat 0x2 OPEN_ALWAYS")) << events;

    // The second title: the list file is opened again (it exists now), which is no failure.
    player->folderPath = L"\\Audiobooks\\Day";
    EXPECT_TRUE(CopySideFilesToMobile(player.get(), m_folder / L"title\\Day.wax", CString(), L"Source-7"));
    EXPECT_EQ("order of Day", Text(m_folder / L"ppc\\My Documents\\Audiobooks\\Day\\Day.vpm"));
    EXPECT_EQ("\\My Documents\\Audiobooks\\Night\\Night.vpm\r\n\\My Documents\\Audiobooks\\Day\\Day.vpm\r\n",
              Text(m_folder / L"ppc\\Program Files\\Reader\\Carrowind.dat"));
    EXPECT_EQ("ZKYMInvokableFunction\r\nZKYMInvokableFunction\r\n",
              Text(m_folder / L"ppc\\Program Files\\Reader\\ZKYMobileRapi.log"));
    EXPECT_EQ(2, transfertest::CountLines(Text(Events()),
                                          "CeRapiInvoke \\Program Files\\Reader\\ZKYMobileRapi.DLL ZKYMInvokableFunction"));
}

TEST_F(MobileSideFiles, WhatGetsNoSideFiles)
{
    const struct {
        const char* label;
        bool appFound;
        bool mobile;
        const wchar_t* playlist;
        const char* failure;  // an injected failure of the link
    } cases[] = {
        {"no reading application", false, true, L"title\\Night.wax", ""},
        {"not a Windows Mobile player", true, false, L"title\\Night.wax", ""},
        {"no order file beside the playlist", true, true, L"title\\Missing.wax", ""},
        {"a device that cannot be reached", true, true, L"title\\Night.wax", "Fail.FindDevice=0x80004005\n"},
        {"a list file that cannot be opened", true, true, L"title\\Night.wax", "Fail.CeCreateFile=5*4\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        transfertest::UseMobileFixture(m_folder, std::string("[Devices]\nCount=1\n[Device1]\nName=Pocket PC\n"
                                                             "Guid={6E1A1C9A-1111-2222-3333-444455556666}\nFolder=ppc\n") +
                                                     c.failure);
        auto player = Player();
        if (!c.appFound)
            player->SetMobileAppFolder(CString());
        player->mobileDevice = c.mobile;
        EXPECT_FALSE(CopySideFilesToMobile(player.get(), m_folder / c.playlist, m_cover, L"Source-7"));
        EXPECT_FALSE(Exists(m_folder / L"ppc\\Program Files\\Reader\\Carrowind.dat"));
        EXPECT_FALSE(Exists(m_folder / L"ppc\\Program Files\\Reader\\ZKYMobileRapi.log"));
    }
}

// A copy the device does not take whole fails, and what it wrote of the file goes: a write
// that takes fewer bytes than given counts as failed like one that fails outright.
TEST_F(MobileSideFiles, ACopyTheDeviceDoesNotTakeWholeLeavesNothing)
{
    const struct {
        const char* label;
        const char* fixtureLine;
    } cases[] = {
        {"a write that takes only part of its bytes", "ShortWrite=5\n"},
        {"a write that fails", "Fail.CeWriteFile=5\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileW(m_folder / L"ppc\\Program Files\\Reader\\Carrowind.dat");
        transfertest::UseMobileFixture(m_folder, std::string("[Devices]\nCount=1\n[Device1]\nName=Pocket PC\n"
                                                             "Guid={6E1A1C9A-1111-2222-3333-444455556666}\nFolder=ppc\n") +
                                                     c.fixtureLine);
        auto player = Player();
        EXPECT_FALSE(CopySideFilesToMobile(player.get(), m_folder / L"title\\Night.wax", m_cover, L"Source-7"));
        EXPECT_FALSE(Exists(m_folder / L"ppc\\My Documents\\Audiobooks\\Night\\Night.vpm"));
        EXPECT_FALSE(Exists(m_folder / L"ppc\\Program Files\\Reader\\Carrowind.dat"));
    }
}

TEST_F(MobileSideFiles, PathsOnTheDevice)
{
    auto player = Player();
    DWORD attributes = 0;
    EXPECT_EQ(1, player->QueryMobilePath(L"\\Audiobooks", &attributes));
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0, player->QueryMobilePath(L"\\Podcasts", &attributes));
    EXPECT_EQ(0u, attributes);
    EXPECT_EQ(-1, player->QueryMobilePath(L""));
    EXPECT_TRUE(player->FolderExists(L"Audiobooks\\Night\\", &attributes));
    EXPECT_FALSE(player->FolderExists(L"\\Podcasts"));
    PlayerRecord other(L"Kitchen Player", nullptr, L"", NoSerialNumber(), 1);
    EXPECT_EQ(-1, other.QueryMobilePath(L"\\Audiobooks"));
    // Without the link the device manager answers.
    transfertest::UseMobileFixture(m_folder, "[Devices]\nCount=0\n");
    EXPECT_EQ(-1, player->QueryMobilePath(L"\\Audiobooks"));
    EXPECT_TRUE(player->FolderExists(L"\\Audiobooks\\Night"));
}

TEST_F(MobileSideFiles, DeletingAPartlyWrittenPart)
{
    const struct {
        const char* label;
        bool card;
        const wchar_t* file;        // relative to "ppc"
        const wchar_t* keptFolder;  // still there afterwards (or null)
        const wchar_t* goneFolder;
    } cases[] = {
        {"on the main memory", false, L"My Documents\\Audiobooks\\Night\\Part01.wma", nullptr,
         L"My Documents\\Audiobooks\\Night"},
        {"on a storage card", true, L"Storage Card\\Audiobooks\\Night\\Part01.wma", nullptr, L"Storage Card\\Audiobooks\\Night"},
        {"a folder that holds more", false, L"My Documents\\Audiobooks\\Night\\Part01.wma", L"My Documents\\Audiobooks\\Night",
         nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto player = Player(c.card);
        const CString file = m_folder / (CString(L"ppc\\") + c.file);
        CreateDirectoryW(file.Left(file.ReverseFind(L'\\')), nullptr);
        testsupport::WriteAll(file, "half a part");
        if (c.keptFolder)
            testsupport::WriteAll(m_folder / (CString(L"ppc\\") + c.keptFolder + L"\\Part00.wma"), "a whole part");
        player->DeleteMobileTargetFile(L"\\Part01.wma\\");
        EXPECT_FALSE(Exists(file));
        if (c.keptFolder) {
            EXPECT_TRUE(Exists(m_folder / (CString(L"ppc\\") + c.keptFolder + L"\\Part00.wma")));
        }
        if (c.goneFolder) {
            EXPECT_FALSE(Exists(m_folder / (CString(L"ppc\\") + c.goneFolder)));
        }
    }
    // A name that would leave the folder deletes nothing.
    auto player = Player();
    testsupport::WriteAll(m_folder / L"ppc\\My Documents\\Audiobooks\\keep.txt", "the user's");
    player->DeleteMobileTargetFile(L"..\\keep.txt");
    EXPECT_TRUE(Exists(m_folder / L"ppc\\My Documents\\Audiobooks\\keep.txt"));
}

}  // namespace
