// The transfer thread against the device manager's stand-in (an MTP player, a Windows Mobile
// device), a removable test drive with a profile, and a window standing for the Progress page.
#include "MediaFixtures.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TestDrive.h"
#include "TransferFixtures.h"
#include "TransferThread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

using transfertest::Exists;
using transfertest::Text;

namespace {

constexpr char kMtpPlayer[] =
    "[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\nProtocol=MTP\nFormats=0x3009,0xB901,0xBA03\n";

class TransferThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_page = std::make_unique<transfertest::TestPage>();
        CreateDirectoryW(m_folder / L"src", nullptr);
        CreateDirectoryW(m_folder / L"player", nullptr);
        CreateDirectoryW(m_folder / L"player\\Books", nullptr);
    }
    void TearDown() override
    {
        m_page.reset();
        m_players.clear();
        transfertest::ForgetFixtures();
        CoUninitialize();
    }

    // A player of the device manager's fixture (device lines and storage lines added).
    PlayerRecord* Player(const std::string& device, const std::string& storage = "Name=Internal Storage\n",
                         int protocolFlag = 1, const wchar_t* name = L"Kitchen Player")
    {
        m_players.push_back(transfertest::MakePlayer(
            m_folder, std::string(kMtpPlayer) + device + "[Device1.Storage1]\nFolder=player\n" + storage, name,
            protocolFlag));
        PlayerRecord* player = m_players.back().get();
        EXPECT_NE(nullptr, player);
        if (!player)
            throw std::runtime_error("the fixture's player is missing");
        player->folderPath = L"\\Books";
        return player;
    }

    // A job for one part to the player, as the page makes it.
    std::unique_ptr<CTransferJob> Job(PlayerRecord* player, const CString& source, const CString& target)
    {
        IStream* stream = nullptr;
        if (IWMDMDevice* device = player->GetDeviceInterface())
            CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device, &stream);
        auto job = std::make_unique<CTransferJob>(stream, m_page->Window());
        job->m_strSourcePath = source;
        job->m_strTargetName = target;
        job->m_strTitle = L"Night Crossing";
        job->m_strArtist = L"A. Writer";
        job->m_pPlayer = player;
        return job;
    }

    // Three MP3 parts of a title in src.
    std::vector<CString> Mp3Parts()
    {
        std::vector<CString> parts;
        for (int i = 1; i <= 3; ++i) {
            CString name;
            name.Format(L"src\\Night-%d.mp3", i);
            parts.push_back(mediafixtures::MakeMp3(m_folder, name));
        }
        return parts;
    }

    CString Events() const { return m_folder / L"Device1.events.log"; }
    static CString TargetName(int part)
    {
        CString name;
        name.Format(L"Night Crossing-Part%.2d.mp3", part);
        return name;
    }

    testsupport::ScratchFolder m_folder;
    std::unique_ptr<transfertest::TestPage> m_page;
    std::vector<std::unique_ptr<PlayerRecord>> m_players;
};

TEST_F(TransferThreadTest, ThreePartsOntoAnMtpPlayerWithTheirAlbum)
{
    PlayerRecord* player = Player("");
    const CString cover = transfertest::MakePicture(m_folder, L"src\\Cover.jpg");
    const std::vector<CString> parts = Mp3Parts();
    for (int i = 0; i < 3; ++i) {
        auto job = Job(player, parts[i], TargetName(i + 1));
        job->m_strCoverPath = cover;
        ASSERT_EQ(kTransferDone, m_page->Run(job.get())) << i;
        EXPECT_EQ(kTransferDone, job->m_nResult);
        EXPECT_EQ(job.get(), m_page->doneJob);
        EXPECT_EQ(1, m_page->statusCount);
        EXPECT_EQ(nullptr, job->m_pDeviceStream);  // consumed by the thread
        // The percentages climb to 100 and never run back.
        ASSERT_FALSE(m_page->percents.empty());
        EXPECT_EQ(100u, m_page->percents.back());
        EXPECT_TRUE(std::is_sorted(m_page->percents.begin(), m_page->percents.end()));

        const CString arrived = m_folder / (L"player\\Books\\" + TargetName(i + 1));
        EXPECT_EQ(testsupport::ReadAllBytes(parts[i]), testsupport::ReadAllBytes(arrived));
        const std::string properties = Text(arrived + L".props");
        EXPECT_NE(std::string::npos, properties.find("WMDM/FormatCode=12297")) << properties;
        EXPECT_NE(std::string::npos, properties.find("WMDM/Title=")) << properties;
    }
    EXPECT_TRUE(player->errorDetails.IsEmpty());

    // One album, made once, with every part and the cover.
    const CString album = m_folder / L"player\\Books\\Night Crossing.alb";
    const std::string references = Text(album + L".refs");
    for (int i = 1; i <= 3; ++i)
        EXPECT_EQ(1, transfertest::CountLines(references, "Books\\" + transfertest::Narrow(TargetName(i)))) << references;
    EXPECT_EQ(1, transfertest::CountLines(Text(Events()), "Insert3 Books\\Night Crossing.alb"));
    const std::string art = Text(album + L".AlbumCoverData.bin");
    ASSERT_GT(art.size(), 2u);
    EXPECT_EQ("\xFF\xD8", art.substr(0, 2));  // a JPEG, as the cover's kind
    const std::string albumProperties = Text(album + L".props");
    EXPECT_NE(std::string::npos, albumProperties.find("WMDM/AlbumCoverWidth=64")) << albumProperties;
    EXPECT_NE(std::string::npos, albumProperties.find("WMDM/AlbumCoverHeight=48")) << albumProperties;
    EXPECT_EQ(1, player->albumReady);
    for (const CString& file : transfertest::FilesBelow(m_folder / L"player"))
        EXPECT_EQ(-1, file.Find(L".partial")) << static_cast<const wchar_t*>(file);
}

TEST_F(TransferThreadTest, InsertionFailures)
{
    const struct {
        const char* label;
        const char* failures;
        int result;
        const char* arrivesAs;  // the file's name in the folder, or "" for none
        int plainInserts;       // insertions without metadata that the player logged (the ones that worked)
        const wchar_t* text;    // the part's error text holds this
    } cases[] = {
        {"refused with its metadata: sent again without", "Fail.Insert3=0x80045004\n", kTransferDone, "Night-1.mp3", 1,
         L""},
        {"refused for its rights: not sent again", "Fail.Insert3=0x80045006\n", kTransferFailed, "", 0,
         L"Unable to transfer the selected title."},
        // The second try's own text says it was made.
        {"the second try fails as well", "Fail.Insert3=0x80045004\nFail.Insert=0x80045003\n", kTransferFailed, "", 0,
         L"Unable to insert the selected title."},
    };
    const std::vector<CString> parts = Mp3Parts();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileW(Events());
        for (const CString& file : transfertest::FilesBelow(m_folder / L"player\\Books"))
            DeleteFileW(m_folder / (L"player\\Books\\" + file));
        PlayerRecord* player = Player(c.failures);
        auto job = Job(player, parts[0], TargetName(1));
        EXPECT_EQ(c.result, m_page->Run(job.get()));
        EXPECT_EQ(c.plainInserts, transfertest::CountLines(Text(Events()), "Insert Books"));
        const std::vector<CString> files = transfertest::FilesBelow(m_folder / L"player\\Books");
        if (*c.arrivesAs) {
            ASSERT_FALSE(files.empty());
            EXPECT_EQ(CString(c.arrivesAs), files[0]);
            EXPECT_EQ(testsupport::ReadAllBytes(parts[0]), testsupport::ReadAllBytes(m_folder / (L"player\\Books\\" + files[0])));
        } else {
            EXPECT_TRUE(files.empty());
        }
        CString text;
        player->errorDetails.Lookup(kTransferPartKey, text);
        if (*c.text) {
            EXPECT_EQ(0, text.Find(c.text)) << static_cast<const wchar_t*>(text);
        }
    }
}

TEST_F(TransferThreadTest, ABusyPlayerIsAskedAgainUntilReady)
{
    PlayerRecord* player = Player("Status=2,2,2,1\n");
    const std::vector<CString> parts = Mp3Parts();
    auto job = Job(player, parts[0], TargetName(1));
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(kTransferDone, m_page->Run(job.get()));
    EXPECT_GE(GetTickCount64() - start, 3 * CTransferThread::kBusyRetryMs - 500);
    const std::string events = Text(Events());
    EXPECT_EQ(1, transfertest::CountLines(events, "Insert3 Books\\Night Crossing-Part01.mp3")) << events;
    EXPECT_EQ(testsupport::ReadAllBytes(parts[0]), testsupport::ReadAllBytes(m_folder / (L"player\\Books\\" + TargetName(1))));
}

TEST_F(TransferThreadTest, CancelledParts)
{
    const struct {
        const char* label;
        LRESULT statusReply;
        bool cancelBeforeAnswer;  // the page's cancel is queued before it answers the status
        bool cancelWhileBusy;
        int refuseAtPercent;      // the page answers 0 to the nth percent message (-1: never)
    } cases[] = {
        {"the page answers the status with cancelling", 2, false, false, -1},
        {"a cancel queued before the status answer", 1, true, false, -1},
        {"a cancel while the player is busy", 1, false, true, -1},
        {"the page refuses a percent in the middle", 1, false, false, 3},
    };
    const std::vector<CString> parts = Mp3Parts();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileW(Events());
        PlayerRecord* player = Player(std::string("ChunkBytes=4096\n") + (c.cancelWhileBusy ? "Status=2\n" : ""));
        auto first = Job(player, parts[0], TargetName(1));
        if (!c.cancelWhileBusy) {
            ASSERT_EQ(kTransferDone, m_page->Run(first.get()));
        }
        auto job = Job(player, parts[1], TargetName(2));
        m_page->statusReply = c.statusReply;
        std::thread later;
        m_page->onStatus = [&] {
            if (c.cancelBeforeAnswer)
                PostTransferCancel(m_page->ThreadId());
            if (c.cancelWhileBusy) {
                const DWORD id = m_page->ThreadId();
                later = std::thread([id] {
                    Sleep(300);
                    PostTransferCancel(id);
                });
            }
        };
        m_page->percentReply = [&](WPARAM, int count) -> LRESULT { return count == c.refuseAtPercent ? 0 : 1; };
        const ULONGLONG start = GetTickCount64();
        EXPECT_EQ(kTransferCancelled, m_page->Run(job.get()));
        if (later.joinable())
            later.join();
        EXPECT_LT(GetTickCount64() - start, CTransferThread::kBusyRetryMs);  // a cancel ends a busy wait at once
        m_page->statusReply = 1;
        m_page->onStatus = nullptr;
        m_page->percentReply = nullptr;

        const std::vector<CString> files = transfertest::FilesBelow(m_folder / L"player\\Books");
        EXPECT_EQ(c.cancelWhileBusy ? 0u : 2u, files.size());  // the first part and its property file
        EXPECT_FALSE(Exists(m_folder / (L"player\\Books\\" + TargetName(2))));
        EXPECT_FALSE(job->m_bTargetExisted);
        if (c.refuseAtPercent < 0) {
            EXPECT_EQ(0, transfertest::CountLines(Text(Events()), "Insert3 Books\\Night Crossing-Part02"));
        }
        for (const CString& file : files)
            DeleteFileW(m_folder / (L"player\\Books\\" + file));
    }
}

TEST_F(TransferThreadTest, ThePlayerUnpluggedBetweenParts)
{
    PlayerRecord* player = Player("");
    const std::vector<CString> parts = Mp3Parts();
    auto first = Job(player, parts[0], TargetName(1));
    ASSERT_EQ(kTransferDone, m_page->Run(first.get()));
    auto second = Job(player, parts[1], TargetName(2));
    testsupport::WriteAll(m_folder / L"devices.ini", "[Devices]\nCount=0\n");
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(kTransferFailed, m_page->Run(second.get()));
    EXPECT_LT(GetTickCount64() - start, CTransferThread::kBusyRetryMs);  // gone is not busy
    EXPECT_FALSE(player->GetErrorDetails(kTransferPartKey).IsEmpty());
    EXPECT_TRUE(Exists(m_folder / (L"player\\Books\\" + TargetName(1))));
}

TEST_F(TransferThreadTest, JobsTheThreadCannotWorkOn)
{
    PlayerRecord* player = Player("");
    const std::vector<CString> parts = Mp3Parts();
    const struct {
        const char* label;
        bool source;
        bool target;
        bool stream;
        const wchar_t* text;
    } cases[] = {
        {"no target name", true, false, true, L"Either source or target path missing:\n source (\""},
        {"no source", false, true, true, L"Either source or target path missing:\n source (\"\")"},
        {"no device", true, true, false, L"Unable to get interface from Device Stream."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto job = Job(player, c.source ? parts[0] : CString(), c.target ? TargetName(1) : CString());
        if (!c.stream) {
            job->m_pDeviceStream->Release();
            job->m_pDeviceStream = nullptr;
        }
        EXPECT_EQ(kTransferFailed, m_page->Run(job.get()));
        CString text;
        ASSERT_TRUE(player->errorDetails.Lookup(kTransferPartKey, text));
        EXPECT_EQ(0, text.Find(c.text)) << static_cast<const wchar_t*>(text);
    }
    EXPECT_TRUE(transfertest::FilesBelow(m_folder / L"player\\Books").empty());

    // A thread handed no job ends with 3 and reports nothing.
    DWORD exitCode = 0;
    EXPECT_EQ(-1, m_page->Run(nullptr, &exitCode));
    EXPECT_EQ(3u, exitCode);
    EXPECT_EQ(0, m_page->doneCount);
}

TEST_F(TransferThreadTest, ThreePartsOntoARemovableDrive)
{
    testsupport::ScratchFolder driveFolder;
    testsupport::TestDrive drive(driveFolder.Path(), testsupport::DriveKind::Removable);
    ASSERT_TRUE(drive.Made());
    CreateDirectoryW(drive.Root() + L"Books", nullptr);
    CreateDirectoryW(drive.Root() + L"Books\\Night Crossing", nullptr);
    testsupport::WriteAll(drive.Root() + L"Books\\Night Crossing\\notes.txt", "the user's own");
    testsupport::WriteAll(drive.Root() + L"Books\\Night Crossing\\" + TargetName(3), "an older part 3");
    CString driveName;
    driveName.Format(L"Removable Disk (%c:)", drive.Letter());
    IStream* stream = transfertest::WmdmDeviceStream(
        m_folder, "[Devices]\nCount=1\n[Device1]\nName=" + transfertest::Narrow(driveName) +
                      "\n[Device1.Storage1]\nName=\\\nFolder=" + transfertest::Narrow(driveFolder.Path()) + "\n");
    ASSERT_NE(nullptr, stream);
    PlayerRecord player(driveName, stream, L"Generic Flash Disk", NoSerialNumber(), 0);
    player.massStorage = TRUE;
    player.driveLetter = drive.Letter();
    player.folderPath = L"\\Books\\Night Crossing";

    std::vector<CString> parts;
    for (int i = 1; i <= 3; ++i) {
        CString name;
        name.Format(L"src\\Night-%d.mp3", i);
        parts.push_back(transfertest::MakeBytes(m_folder, name, 9 * 1024 * 1024 + 17 * i, i));
    }
    for (int i = 0; i < 2; ++i) {
        auto job = Job(&player, parts[i], TargetName(i + 1));
        ASSERT_EQ(kTransferDone, m_page->Run(job.get())) << i;
        EXPECT_FALSE(job->m_bTargetExisted);
        EXPECT_EQ(100u, m_page->percents.back());
    }
    // The third is cancelled in the middle: the user's older file of that name stays as it was.
    auto third = Job(&player, parts[2], TargetName(3));
    m_page->percentReply = [](WPARAM, int count) -> LRESULT { return count == 1 ? 0 : 1; };
    EXPECT_EQ(kTransferCancelled, m_page->Run(third.get()));
    EXPECT_TRUE(third->m_bTargetExisted);
    EXPECT_EQ("an older part 3", Text(drive.Root() + L"Books\\Night Crossing\\" + TargetName(3)));
    // Sent again, it takes the older file's place.
    m_page->percentReply = nullptr;
    auto again = Job(&player, parts[2], TargetName(3));
    ASSERT_EQ(kTransferDone, m_page->Run(again.get()));

    const std::vector<CString> files = transfertest::FilesBelow(drive.Root() + L"Books\\Night Crossing");
    ASSERT_EQ(4u, files.size());
    EXPECT_EQ(CString(L"notes.txt"), files[3]);
    EXPECT_EQ("the user's own", Text(drive.Root() + L"Books\\Night Crossing\\notes.txt"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(testsupport::ReadAllBytes(parts[i]),
                  testsupport::ReadAllBytes(drive.Root() + L"Books\\Night Crossing\\" + TargetName(i + 1)));
    EXPECT_FALSE(Exists(m_folder / L"Device1.events.log") &&
                 Text(m_folder / L"Device1.events.log").find("Insert") != std::string::npos);
}

TEST_F(TransferThreadTest, PartsOntoAWindowsMobileDevice)
{
    CreateDirectoryW(m_folder / L"ppc", nullptr);
    CreateDirectoryW(m_folder / L"ppc\\My Documents", nullptr);
    CreateDirectoryW(m_folder / L"ppc\\My Documents\\Audiobooks", nullptr);
    transfertest::UseMobileFixture(m_folder, "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\n"
                                             "Guid={6E1A1C9A-1111-2222-3333-444455556666}\nFolder=ppc\n");
    auto mobile = transfertest::MakeMobilePlayer(m_folder, false);
    PlayerRecord& player = *mobile;
    player.folderPath = L"\\Audiobooks";
    const std::vector<CString> parts = Mp3Parts();
    for (int i = 0; i < 3; ++i) {
        auto job = Job(&player, parts[i], TargetName(i + 1));
        job->m_strCoverPath = transfertest::MakePicture(m_folder, L"src\\Cover.jpg");
        ASSERT_EQ(kTransferDone, m_page->Run(job.get())) << i;
        EXPECT_EQ(testsupport::ReadAllBytes(parts[i]),
                  testsupport::ReadAllBytes(m_folder / (L"ppc\\My Documents\\Audiobooks\\" + TargetName(i + 1))));
    }
    // Such a device keeps no albums.
    EXPECT_FALSE(Exists(m_folder / L"ppc\\My Documents\\Audiobooks\\Night Crossing.alb"));

    // A folder that is not on the device is reported as such.
    player.folderPath = L"\\Podcasts";
    auto lost = Job(&player, parts[0], TargetName(1));
    EXPECT_EQ(kTransferFailed, m_page->Run(lost.get()));
    CString text;
    player.errorDetails.Lookup(kTransferPartKey, text);
    EXPECT_EQ(CString(L"Unable to locate folder of Windows Mobile device.\nfolder is not found"), text);
}

TEST(TransferResults, StepResults)
{
    const struct {
        HRESULT hr;
        BOOL cancelled;
        int result;
    } cases[] = {
        {S_OK, FALSE, kTransferDone},          {S_FALSE, TRUE, kTransferDone},
        {wmdm::kUserCancelled, FALSE, kTransferCancelled}, {E_FAIL, TRUE, kTransferCancelled},
        {wmdm::kBusy, FALSE, kTransferBusy},   {wmdm::kBusy, TRUE, kTransferCancelled},
        {wmdm::kNoRights, FALSE, kTransferFailed},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.result, CTransferThread::MapStepResult(c.hr, c.cancelled)) << std::hex << c.hr;
}

}  // namespace

namespace {

TEST(TransferJobs, AJobGoesOnlyOnceNothingQueuedCarriesIt)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        transfertest::TestPage page;
        CTransferJob first(nullptr, page.Window()), second(nullptr, page.Window());
        PostMessageW(page.Window(), WM_PART_DONE, kTransferDone, reinterpret_cast<LPARAM>(&first));
        PostMessageW(page.Window(), WM_PART_DONE, kTransferCancelled, reinterpret_cast<LPARAM>(&second));
        PostMessageW(page.Window(), WM_PART_DONE, kTransferFailed, reinterpret_cast<LPARAM>(&first));
        EXPECT_TRUE(DiscardTransferMessages(page.Window(), &first));
        EXPECT_FALSE(DiscardTransferMessages(page.Window(), &first));
        // The other job's report is still there.
        MSG msg;
        ASSERT_TRUE(PeekMessageW(&msg, page.Window(), WM_PART_DONE, WM_PART_DONE, PM_REMOVE));
        EXPECT_EQ(reinterpret_cast<LPARAM>(&second), msg.lParam);
        EXPECT_FALSE(PeekMessageW(&msg, page.Window(), WM_PART_DONE, WM_PART_DONE, PM_REMOVE));

        // A thread that has ended (and deleted itself) is reached by its id only: a late cancel is harmless.
        CTransferJob empty(nullptr, page.Window());
        EXPECT_EQ(kTransferFailed, page.Run(&empty));
        PostTransferCancel(page.ThreadId());
        EXPECT_EQ(nullptr, StartTransferThread(nullptr, nullptr));
    }
    CoUninitialize();
}

}  // namespace
