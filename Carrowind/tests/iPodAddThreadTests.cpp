// The iPod add thread against the iTunes stand-in, with a window standing for the Progress
// page: a WAV part converted, given its chapters and added to an iPod, an MP3 part added as it
// is, the iTunes library, the faults iTunes answers with, cancels, and the names and texts
// the add step derives.
#include "iPodAddThread.h"

#include "MediaFixtures.h"
#include "Mp4Fixtures.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TransferFixtures.h"
#include "iTunesTestSupport.h"

#include "ComTestSupport.h"
#include "res/TransferIds.h"
#include "res/iPodAddTextIds.h"
#include "res/iTunesStringIds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using testsupport::ShellQuoted;

namespace {

constexpr wchar_t kPod[] = L"Ada's iPod";

// The library, the iPod (a part of the title already there, beside two tracks of the user's
// whose names only begin like the title's) and an iPod iTunes syncs itself.
const std::string kSources =
    "[Sources]\nCount=3\n"
    "[Source1]\nKind=1\nName=Library\n"
    "[Source2]\nKind=2\nName=Ada's iPod\nFreeSpace=4000000000\n"
    "[Source3]\nKind=2\nName=Locked Pod\nLocked=1\nFreeSpace=4000000000\n"
    "[Tracks]\nCount=5\n"
    "[Track1]\nSource=2\nName=Book-Part03\nGenre=Old\n"
    "[Track2]\nSource=2\nName=Book 3\n"
    "[Track3]\nSource=2\nName=Booklet-Part03\n"
    "[Track4]\nSource=1\nName=Book-Part01\nGenre=Old\n"
    "[Track5]\nSource=1\nName=Book 1\n";

std::string Fixture(const std::string& iTunes = std::string())
{
    // The case's own lines first: the first value of a key is the one read.
    return "[iTunes]\n" + iTunes + "CurrentEncoder=MP3 Encoder\nConvertPolls=3\n" + kSources;
}

const wchar_t kMarkers[] = L"0 Opening\r\n1500 The \x2018middle\x2019\r\n3000 End\r\n";

class iPodAddTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, comtest::RunRegsvr32(comtest::BuiltModule(TESSALINE_PATH))); }
    static void TearDownTestSuite() { comtest::RunRegsvr32(comtest::BuiltModule(TESSALINE_PATH), true); }

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_page = std::make_unique<transfertest::TestPage>();
        m_page->starter = &StartiPodAddThread;
        CreateDirectoryW(m_folder / L"src", nullptr);
        m_player = std::make_unique<PlayerRecord>(L"Apple iPod (Ada's iPod)", nullptr, L"", WMDMID{}, 0);
    }
    void TearDown() override
    {
        m_page.reset();
        CoUninitialize();
    }

    std::unique_ptr<CTransferJob> Job(const CString& source, const CString& target, const wchar_t* player = kPod)
    {
        auto job = std::make_unique<CTransferJob>(nullptr, m_page->Window());
        job->m_strSourcePath = source;
        job->m_strTargetName = target;
        job->m_striPodName = player;
        job->m_strTitle = L"Book";
        job->m_strArtist = L"A. Writer";
        job->m_strCoverPath = m_cover;
        job->m_pPlayer = m_player.get();
        job->m_bIsApple = CString(player) == kiTunesLibraryName;
        job->m_iTunesSourceFlag = 1;
        return job;
    }

    // A 4-second 16-bit PCM part, as the conversion of a Windows Media part leaves it.
    CString Wave(const wchar_t* name, const char* format = "-b 16")
    {
        const CString wav = m_folder / name;
        EXPECT_EQ(0, mediafixtures::RunTool(m_folder, std::string("sox -n -r 22050 -c 2 ") + format + " " +
                                                          ShellQuoted(wav) + " synth 4 sine 440"));
        return wav;
    }
    CString Mp3(const wchar_t* name) { return mediafixtures::MakeMp3(m_folder, name); }
    void MakeCover() { m_cover = transfertest::MakePicture(m_folder, L"src\\Cover.jpg"); }

    CString Detail(const wchar_t* key) const
    {
        CString text;
        m_player->errorDetails.Lookup(key, text);
        return text;
    }

    // The converted files iTunes' media folder still holds (its artwork copies aside).
    static std::vector<CString> MediaLeft(const itunestest::StandinRun& run)
    {
        std::vector<CString> left;
        for (const CString& file : transfertest::FilesBelow(run.Path(L"iTunes Media"))) {
            if (file.Find(L"artwork-") < 0)
                left.push_back(file);
        }
        return left;
    }

    testsupport::ScratchFolder m_folder;
    std::unique_ptr<transfertest::TestPage> m_page;
    std::unique_ptr<PlayerRecord> m_player;
    CString m_cover;
    transfertest::NoiTunesWaits m_noWaits;
};

TEST_F(iPodAddTest, AWavePartIsConvertedGivenItsChaptersAndReplacesTheOlderCopyOnTheIPod)
{
    itunestest::StandinRun run(Fixture());
    ASSERT_TRUE(run.Started());
    testsupport::MessageBoxRecorder boxes;
    MakeCover();
    const CString wav = Wave(L"src\\Book-Part03.wav");
    const std::vector<CString> oldCopy = run.TrackSections(kPod, L"Book-Part03");
    ASSERT_EQ(1u, oldCopy.size());
    const CString oldId = run.State(oldCopy[0], L"Id");

    auto job = Job(wav, L"Book-Part03.m4b");
    job->m_strMarkerText = kMarkers;
    job->m_strFileExtension = L"";  // m4b
    ASSERT_EQ(kTransferDone, m_page->Run(job.get()));
    EXPECT_EQ(kTransferDone, job->m_nResult);
    EXPECT_EQ(1, m_page->statusCount);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(Detail(kTransferPartKey).IsEmpty()) << transfertest::Narrow(Detail(kTransferPartKey));

    // The AAC file beside the source, with the markers as chapters; the WAV is gone.
    const CString m4b = m_folder / L"src\\Book-Part03.m4b";
    EXPECT_EQ(m4b, job->m_strSourcePath);
    ASSERT_TRUE(transfertest::Exists(m4b));
    EXPECT_FALSE(transfertest::Exists(wav));
    EXPECT_EQ(mp4fixtures::ChapterText({{0, 1500, "Opening"}, {1500, 3000, "The 'middle'"}, {3000, 4000, "End"}}),
              mp4fixtures::Chapters(m_folder, m4b));

    // One track of the part on the iPod, a new one, with its fields and cover.
    const std::vector<CString> now = run.TrackSections(kPod, L"Book-Part03");
    ASSERT_EQ(1u, now.size());
    const CString track = now[0];
    EXPECT_NE(oldId, run.State(track, L"Id"));
    EXPECT_EQ(CString(L"Audiobook"), run.State(track, L"Genre"));
    EXPECT_EQ(3, run.StateNumber(track, L"Number"));
    EXPECT_EQ(CString(L"Book"), run.State(track, L"Album"));
    EXPECT_EQ(CString(L"A. Writer"), run.State(track, L"Artist"));
    EXPECT_EQ(CString(L"1"), run.State(track, L"RememberBookmark"));
    EXPECT_EQ(CString(L"1"), run.State(track, L"ExcludeFromShuffle"));
    EXPECT_FALSE(run.State(track, L"Artwork").IsEmpty());
    // The user's tracks that merely begin like the title stay.
    EXPECT_EQ(1u, run.TrackSections(kPod, L"Book 3").size());
    EXPECT_EQ(1u, run.TrackSections(kPod, L"Booklet-Part03").size());
    // iTunes' own copy and its library track are gone; its encoder is the user's again.
    EXPECT_TRUE(run.TrackSections(L"Library", L"Book-Part03").empty());
    EXPECT_TRUE(MediaLeft(run).empty());
    EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));

    // Conversion started (0, 1), percentages within 0-100, then the add (0, 48) and its counts.
    const auto& modes = m_page->addProgressModes;
    const auto& values = m_page->addProgress;
    ASSERT_GE(values.size(), 3u);
    EXPECT_EQ(0u, values[0]);
    EXPECT_EQ(1, modes[0]);
    const auto add = std::find(modes.begin(), modes.end(), 48);
    ASSERT_NE(modes.end(), add);
    for (size_t i = 0; i < static_cast<size_t>(add - modes.begin()); ++i)
        EXPECT_LE(values[i], 100u);
    const CString log = Detail(kTransferPartLogKey);
    EXPECT_NE(-1, log.Find(L"[DEL:Book-Part03|")) << transfertest::Narrow(log);
    EXPECT_NE(-1, log.Find(L"[Found:Book-Part03|")) << transfertest::Narrow(log);
}

// A converted part whose copy beside the source cannot be made is not a converted part, even
// with something of its name already there; iTunes' file stays, and nothing reaches the iPod.
TEST_F(iPodAddTest, ACopyBesideTheSourceThatFailsEndsThePartAndKeepsITunesFile)
{
    itunestest::StandinRun run(Fixture());
    ASSERT_TRUE(run.Started());
    testsupport::MessageBoxRecorder boxes;
    const CString wav = Wave(L"src\\Book-Part03.wav");
    // Left where the copy goes, and no file can replace it.
    ASSERT_TRUE(CreateDirectoryW(m_folder / L"src\\Book-Part03.m4b", nullptr));
    const std::vector<CString> oldCopy = run.TrackSections(kPod, L"Book-Part03");
    ASSERT_EQ(1u, oldCopy.size());
    const CString oldId = run.State(oldCopy[0], L"Id");

    auto job = Job(wav, L"Book-Part03.m4b");
    job->m_strFileExtension = L"";  // m4b
    ASSERT_EQ(kTransferFailed, m_page->Run(job.get()));
    EXPECT_EQ(kTransferFailed, job->m_nResult);
    EXPECT_EQ(wav, job->m_strSourcePath);
    EXPECT_TRUE(transfertest::Exists(wav));
    EXPECT_FALSE(Detail(kTransferPartKey).IsEmpty());
    EXPECT_EQ(1u, MediaLeft(run).size());
    // The iPod keeps the copy it had.
    const std::vector<CString> now = run.TrackSections(kPod, L"Book-Part03");
    ASSERT_EQ(1u, now.size());
    EXPECT_EQ(oldId, run.State(now[0], L"Id"));
    EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
}

TEST_F(iPodAddTest, AnMp3PartGoesStraightToTheAdd)
{
    itunestest::StandinRun run(Fixture());
    ASSERT_TRUE(run.Started());
    MakeCover();
    const CString mp3 = Mp3(L"src\\Book-Part02.mp3");
    auto job = Job(mp3, L"Book-Part02.mp3");
    job->m_strMarkerText = kMarkers;
    ASSERT_EQ(kTransferDone, m_page->Run(job.get()));
    EXPECT_EQ(mp3, job->m_strSourcePath);
    EXPECT_TRUE(transfertest::Exists(mp3));
    EXPECT_EQ(m_page->addProgressModes.end(),
              std::find(m_page->addProgressModes.begin(), m_page->addProgressModes.end(), 1));
    const std::vector<CString> tracks = run.TrackSections(kPod, L"Book-Part02");
    ASSERT_EQ(1u, tracks.size());
    EXPECT_EQ(2, run.StateNumber(tracks[0], L"Number"));
    EXPECT_EQ(CString(L"Audiobook"), run.State(tracks[0], L"Genre"));
    EXPECT_EQ(CString(L"1"), run.State(tracks[0], L"RememberBookmark"));
    EXPECT_EQ(1u, run.TrackSections(kPod, L"Book-Part03").size());  // another part of the title stays
    // Mode 0 counts from the job's estimate; every count of the wait is sent.
    for (size_t i = 0; i < m_page->addProgressModes.size(); ++i) {
        if (m_page->addProgressSent[i]) {
            EXPECT_EQ(0, m_page->addProgressModes[i]);
        }
    }
    EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
}

TEST_F(iPodAddTest, TheLibraryGetsThePartAndItsOptions)
{
    itunestest::StandinRun run(Fixture());
    ASSERT_TRUE(run.Started());
    const CString mp3 = Mp3(L"src\\Book-Part01.mp3");
    auto job = Job(mp3, L"Book-Part01.mp3", kiTunesLibraryName);
    ASSERT_EQ(kTransferDone, m_page->Run(job.get()));
    const std::vector<CString> tracks = run.TrackSections(L"Library", L"Book-Part01");
    ASSERT_EQ(1u, tracks.size());
    EXPECT_NE(CString(L"Old"), run.State(tracks[0], L"Genre")) << "the older copy was replaced";
    EXPECT_EQ(1, run.StateNumber(tracks[0], L"Number"));
    EXPECT_EQ(CString(L"1"), run.State(tracks[0], L"RememberBookmark"));
    EXPECT_EQ(CString(L"1"), run.State(tracks[0], L"ExcludeFromShuffle"));
    EXPECT_EQ(1u, run.TrackSections(L"Library", L"Book 1").size());
    EXPECT_TRUE(run.TrackSections(kPod, L"Book-Part01").empty());
    // The library path reports its estimate in kilobytes / 5 with lParam 0.
    ASSERT_FALSE(m_page->addProgress.empty());
    const WPARAM estimate = static_cast<WPARAM>(testsupport::ReadAllBytes(mp3).size() / 1024 / 5);
    EXPECT_EQ(estimate, m_page->addProgress.back());
    EXPECT_EQ(0, m_page->addProgressModes.back());
}

TEST_F(iPodAddTest, FaultsEndThePartWithItsResultAndText)
{
    struct Case {
        const char* name;
        std::string iTunes;  // fixture lines of [iTunes]
        bool wave;
        const wchar_t* player;
        BOOL shuffle;
        DWORD sourceFlag;
        int result;
        std::vector<UINT> texts;  // string ids the part's text holds (besides 5001)
        const wchar_t* action;    // of the 5001 text, or null for none
        bool added;
        size_t boxes;
        bool missing = false;  // the part's file is gone before the add: iTunes gives no status
    };
    const Case cases[] = {
        {"locked iPod, manual management", "", false, L"Locked Pod", FALSE, 1, kTransferFailed,
         {IDS_IPOD_MANAGE_MANUALLY, IDS_IPOD_USE_LIBRARY}, L"transfer the selected title to Locked Pod", false, 0},
        {"locked iPod, both texts", "", false, L"Locked Pod", FALSE, 0, kTransferFailed,
         {IDS_IPOD_SHUFFLE_OR_MANUALLY}, L"transfer the selected title to Locked Pod", false, 0},
        {"locked iPod Shuffle", "", false, L"Locked Pod", TRUE, 1, kTransferFailed, {IDS_IPOD_SHUFFLE_NEEDS_ITUNES},
         L"transfer the selected title to Locked Pod", false, 0},
        {"locked iPod, a converted part", "", true, L"Locked Pod", FALSE, 1, kTransferFailed,
         {IDS_IPOD_MANAGE_MANUALLY}, L"convert the selected title to Locked Pod", false, 0},
        {"names refused twice", "Fail.put_Name=0x80010001*2\n", false, kPod, FALSE, 1, kTransferDone, {}, nullptr,
         true, 0},
        {"busy add, retried", "Fail.AddFile=0x80045000*2\n", false, kPod, FALSE, 1, kTransferDone, {}, nullptr, true,
         0},
        {"conversion polls rejected", "Fail.InProgress=0x80010001*2\n", true, kPod, FALSE, 1, kTransferDone, {},
         nullptr, true, 2},
        {"conversion refused", "Fail.ConvertFile2=0x80004005\n", true, kPod, FALSE, 1, kTransferFailed, {},
         L"process 'ConvertFile2'", false, 0},
        {"no AAC encoder", "Encoders=MP3 Encoder\n", true, kPod, FALSE, 1, kTransferFailed, {},
         L"get the name of the encoder", false, 0},
        {"free space unknown: no check", "Fail.FreeSpace=0x80004005\n", true, kPod, FALSE, 1, kTransferDone, {},
         nullptr, true, 0},
        {"no such iPod", "", false, L"Ada's iPod nano", FALSE, 1, kTransferFailed, {IDS_IPOD_PLAYLIST_MISSING},
         L"transfer the selected title to Ada's iPod nano", false, 0},
        {"no status from the iPod", "", false, kPod, FALSE, 1, kTransferFailed, {IDS_IPOD_NOT_PLAYABLE},
         L"transfer the selected title to Ada's iPod", false, 0, true},
        {"no status from the library", "", false, kiTunesLibraryName, FALSE, 1, kTransferFailed,
         {IDS_IPOD_NOT_PLAYABLE_ITUNES}, L"transfer the selected title to iTunes Library", false, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        itunestest::StandinRun run(Fixture(c.iTunes));
        ASSERT_TRUE(run.Started());
        testsupport::MessageBoxRecorder boxes;
        m_player->errorDetails.RemoveAll();
        const CString source = c.wave ? Wave(L"src\\Book-Part05.wav") : Mp3(L"src\\Book-Part05.mp3");
        auto job = Job(source, c.wave ? L"Book-Part05.m4b" : L"Book-Part05.mp3", c.player);
        job->m_bIsShuffle = c.shuffle;
        job->m_iTunesSourceFlag = c.sourceFlag;
        if (c.missing)
            DeleteFileW(source);
        EXPECT_EQ(c.result, m_page->Run(job.get()));
        const CString text = Detail(kTransferPartKey);
        if (c.action) {
            EXPECT_EQ(0, text.Find(CString(L"Unable to ") + c.action + L".\n")) << transfertest::Narrow(text);
        } else {
            EXPECT_TRUE(text.IsEmpty()) << transfertest::Narrow(text);
        }
        for (UINT id : c.texts) {
            CString piece;
            if (id == IDS_IPOD_NOT_PLAYABLE)
                piece.Format(id, static_cast<unsigned>(E_FAIL));
            else
                piece.Format(id, c.player);
            EXPECT_NE(-1, text.Find(piece)) << id << ": " << transfertest::Narrow(text);
        }
        const wchar_t* source_name = CString(c.player) == kiTunesLibraryName ? L"Library" : c.player;
        const std::vector<CString> added = run.TrackSections(source_name, L"Book-Part05");
        EXPECT_EQ(c.added ? 1u : 0u, added.size());
        if (c.added) {
            EXPECT_EQ(CString(L"Audiobook"), run.State(added[0], L"Genre"));
        }
        ASSERT_EQ(c.boxes, boxes.Boxes().size());
        for (const AfxMessageBoxRequest& box : boxes.Boxes())
            EXPECT_EQ(AfxLoadString(IDS_ITUNES_CLOSE_WINDOWS), box.text);
        // Whatever happened, iTunes converts with the user's encoder again.
        EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
        EXPECT_TRUE(MediaLeft(run).empty());
        DeleteFileW(source);
        DeleteFileW(m_folder / L"src\\Book-Part05.m4b");
    }
}

TEST_F(iPodAddTest, AnIPodReachedThroughTheLibraryGetsTheLibrarysTrack)
{
    {
        itunestest::StandinRun run(Fixture());
        ASSERT_TRUE(run.Started());
        auto job = Job(Mp3(L"src\\Book-Part09.mp3"), L"Book-Part09.mp3");
        job->m_bIsApple = TRUE;
        ASSERT_EQ(kTransferDone, m_page->Run(job.get()));
        EXPECT_EQ(1u, run.TrackSections(L"Library", L"Book-Part09").size());
        EXPECT_EQ(1u, run.TrackSections(kPod, L"Book-Part09").size());
        EXPECT_NE(-1, Detail(kTransferPartLogKey).Find(L"[sAddTrack=0x00000000|")) << transfertest::Narrow(Detail(kTransferPartLogKey));
    }
    // Without the library nothing is added, whichever player stands behind it.
    itunestest::StandinRun run("[iTunes]\nCurrentEncoder=MP3 Encoder\n[Sources]\nCount=1\n"
                               "[Source1]\nKind=2\nName=Ada's iPod\nFreeSpace=4000000000\n");
    ASSERT_TRUE(run.Started());
    auto job = Job(Mp3(L"src\\Book-Part10.mp3"), L"Book-Part10.mp3");
    job->m_bIsApple = TRUE;
    EXPECT_EQ(kTransferFailed, m_page->Run(job.get()));
    CString expected;
    expected.Format(IDS_TRANSFER_UNABLE_TO, L"transfer the selected title to iTunes Library",
                    AfxLoadString(IDS_IPOD_LIBRARY_PLAYLIST_MISSING).GetString());
    EXPECT_EQ(expected, Detail(kTransferPartKey));
    EXPECT_TRUE(run.TrackSections(kPod, L"Book-Part10").empty());
}

TEST_F(iPodAddTest, MarkersTheCodePageCannotHoldAreLeftOutAndThePartIsStillAdded)
{
    itunestest::StandinRun run(Fixture());
    ASSERT_TRUE(run.Started());
    const CString wav = Wave(L"src\\Book-Part11.wav");
    auto job = Job(wav, L"Book-Part11.m4b");
    job->m_strMarkerText = L"0 \x4E00\x4E8C\x4E09\x56DB\r\n1500 \x4E94\x516D\x4E03\x516B\x4E5D\r\n";
    ASSERT_EQ(kTransferDone, m_page->Run(job.get()));
    const CString m4b = m_folder / L"src\\Book-Part11.m4b";
    ASSERT_TRUE(transfertest::Exists(m4b));
    EXPECT_EQ("", mp4fixtures::Chapters(m_folder, m4b));
    EXPECT_EQ(1u, run.TrackSections(kPod, L"Book-Part11").size());
}

TEST_F(iPodAddTest, TooLittleSpaceOnTheIPodFailsBeforeTheAdd)
{
    itunestest::StandinRun run("[iTunes]\nCurrentEncoder=MP3 Encoder\n[Sources]\nCount=2\n[Source1]\nKind=1\nName=Library\n"
                               "[Source2]\nKind=2\nName=Ada's iPod\nFreeSpace=5000\n");
    ASSERT_TRUE(run.Started());
    const CString wav = Wave(L"src\\Book-Part04.wav");
    auto job = Job(wav, L"Book-Part04.m4a");
    job->m_strFileExtension = L"m4a";
    EXPECT_EQ(kTransferFailed, m_page->Run(job.get()));
    const CString m4a = m_folder / L"src\\Book-Part04.m4a";
    ASSERT_TRUE(transfertest::Exists(m4a));
    const ULONGLONG size = testsupport::ReadAllBytes(m4a).size();
    const CString needed = FormatGroupedKilobytes((size + 512) / 1024);
    const CString free = CString(L' ', 2 * (needed.GetLength() - 4)) + L"4 KB";
    CString space;
    space.Format(IDS_IPOD_NOT_ENOUGH_SPACE, needed.GetString(), free.GetString(), kPod);
    CString expected;
    expected.Format(IDS_TRANSFER_UNABLE_TO, L"convert the selected title to Ada's iPod", space.GetString());
    EXPECT_EQ(expected, Detail(kTransferPartKey));
    EXPECT_TRUE(run.TrackSections(kPod, L"Book-Part04").empty());
    EXPECT_NE(-1, Detail(kTransferPartLogKey).Find(L"[SpaceNeeded:")) << transfertest::Narrow(Detail(kTransferPartLogKey));
    EXPECT_EQ(-1, Detail(kTransferPartLogKey).Find(L"[AddFile=")) << transfertest::Narrow(Detail(kTransferPartLogKey));
}

TEST_F(iPodAddTest, ACancelDuringTheConversionStopsItAndPutsTheEncoderBack)
{
    itunestest::StandinRun run(Fixture("ConvertPolls=-1\n"));
    ASSERT_TRUE(run.Started());
    const CString wav = Wave(L"src\\Book-Part06.wav");
    auto job = Job(wav, L"Book-Part06.m4b");
    // Cancelled as soon as the conversion has started.
    m_page->addProgressReply = [this](WPARAM) {
        PostTransferCancel(m_page->ThreadId());
        return LRESULT(1);
    };
    EXPECT_EQ(kTransferCancelled, m_page->Run(job.get()));
    EXPECT_TRUE(Detail(kTransferPartKey).IsEmpty()) << transfertest::Narrow(Detail(kTransferPartKey));
    EXPECT_TRUE(transfertest::Exists(wav));
    EXPECT_FALSE(transfertest::Exists(m_folder / L"src\\Book-Part06.m4b"));
    EXPECT_TRUE(run.TrackSections(kPod, L"Book-Part06").empty());
    EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
}

TEST_F(iPodAddTest, ACancelDuringTheAddDeletesTheAddedTrack)
{
    // The page answers 0 to a report, or posts its cancel while iTunes adds.
    for (const bool posted : {false, true}) {
        SCOPED_TRACE(posted ? "cancel posted" : "report answered 0");
        itunestest::StandinRun run(Fixture("AddPolls=3\n"));
        ASSERT_TRUE(run.Started());
        m_player->errorDetails.RemoveAll();
        const CString mp3 = Mp3(L"src\\Book-Part07.mp3");
        auto job = Job(mp3, L"Book-Part07.mp3");
        m_page->addProgressReply = [this, posted](WPARAM) {
            if (!InSendMessage())
                return LRESULT(1);
            if (!posted)
                return LRESULT(0);
            PostTransferCancel(m_page->ThreadId());
            return LRESULT(1);
        };
        EXPECT_EQ(kTransferCancelled, m_page->Run(job.get()));
        EXPECT_TRUE(run.TrackSections(kPod, L"Book-Part07").empty());
        EXPECT_NE(-1, Detail(kTransferPartLogKey).Find(L"[Cancel DEL success]"))
            << transfertest::Narrow(Detail(kTransferPartLogKey));
        EXPECT_TRUE(Detail(kTransferPartKey).IsEmpty()) << transfertest::Narrow(Detail(kTransferPartKey));
        EXPECT_TRUE(transfertest::Exists(mp3));
    }
}

// An iTunes that never finishes an add, keeps rejecting the question or keeps the iPod busy
// is waited for a bounded time: the part then fails (or, once cancelled, ends as cancelled)
// instead of holding the transfer for ever.
TEST_F(iPodAddTest, AnAddITunesNeverFinishesIsGivenUp)
{
    const struct {
        const char* name;
        std::string iTunes;
        bool cancel;  // the page answers a report with 0
        int result;
        const wchar_t* log;
        const wchar_t* text = L"Unable to transfer the selected title to Ada's iPod.\n";  // how the part's text starts
        bool wave = false;  // a WAV part iTunes converts first
    } cases[] = {
        {"always in progress", "AddPolls=-1\n", false, kTransferFailed, L"[Add unfinished]"},
        {"every question rejected", "Fail.InProgress=0x80010001\n", false, kTransferFailed, L"[Add unfinished]"},
        {"always in progress, cancelled", "AddPolls=-1\n", true, kTransferCancelled, L"[Add unfinished: cancelled]"},
        {"the iPod stays busy", "Fail.AddFile=0x80045000\n", false, kTransferFailed, L"[Busy: given up]"},
        {"a conversion that never ends", "ConvertPolls=-1\n", false, kTransferFailed, L"[Conversion unfinished]",
         L"Unable to convert the selected part.\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        itunestest::StandinRun run(Fixture(c.iTunes));
        ASSERT_TRUE(run.Started());
        testsupport::MessageBoxRecorder boxes;
        m_player->errorDetails.RemoveAll();
        const CString mp3 = c.wave ? Wave(L"src\\Book-Part08.wav") : Mp3(L"src\\Book-Part08.mp3");
        auto job = Job(mp3, c.wave ? L"Book-Part08.m4b" : L"Book-Part08.mp3");
        int reports = 0;
        const bool cancel = c.cancel;
        m_page->addProgressReply = [&reports, cancel](WPARAM) {
            if (!InSendMessage())
                return LRESULT(1);
            ++reports;
            return LRESULT(cancel ? 0 : 1);
        };
        EXPECT_EQ(c.result, m_page->Run(job.get()));
        const CString log = Detail(kTransferPartLogKey);
        EXPECT_NE(-1, log.Find(c.log)) << transfertest::Narrow(log);
        const CString text = Detail(kTransferPartKey);
        if (c.result == kTransferFailed) {
            EXPECT_EQ(0, text.Find(c.text)) << transfertest::Narrow(text);
        } else {
            EXPECT_TRUE(text.IsEmpty()) << transfertest::Narrow(text);
        }
        // Bounded: a cancelled add is waited for a short while only.
        if (c.cancel) {
            EXPECT_GE(static_cast<DWORD>(reports), kCancelledAddWaitMs / 1000);
            EXPECT_LE(static_cast<DWORD>(reports), kCancelledAddWaitMs / 1000 + 5);
        }
        EXPECT_TRUE(boxes.Boxes().empty());
        // Whatever happened, iTunes converts with the user's encoder again.
        EXPECT_EQ(CString(L"MP3 Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
        m_page->addProgressReply = nullptr;
        DeleteFileW(mp3);
        DeleteFileW(m_folder / L"src\\Book-Part08.m4b");
    }
}

TEST_F(iPodAddTest, TheStatusAnswerAndMissingNamesEndThePartAtOnce)
{
    itunestest::StandinRun run(Fixture());
    ASSERT_TRUE(run.Started());
    const CString mp3 = Mp3(L"src\\Book-Part08.mp3");
    for (LRESULT reply : {0, 2, 3}) {
        auto job = Job(mp3, L"Book-Part08.mp3");
        m_page->statusReply = reply;
        EXPECT_EQ(static_cast<int>(reply), m_page->Run(job.get()));
        EXPECT_TRUE(m_page->addProgress.empty());
    }
    m_page->statusReply = 1;
    auto job = Job(mp3, L"Book-Part08.mp3", L"");
    EXPECT_EQ(kTransferFailed, m_page->Run(job.get()));
    CString expected;
    expected.Format(IDS_IPOD_ADD_NAME_MISSING, mp3.GetString(), L"Book-Part08.mp3", L"");
    EXPECT_EQ(expected, Detail(kTransferPartKey));
    EXPECT_TRUE(run.TrackSections(kPod, L"Book-Part08").empty());
    // A thread handed no job ends with 3 and reports nothing.
    m_page->starter = [](CTransferJob*, DWORD* id) {
        auto* thread = new CiPodAddThread;
        thread->CreateThread(CREATE_SUSPENDED);
        HANDLE own = thread->DuplicateThreadHandle();
        *id = thread->m_nThreadID;
        thread->PostThreadMessage(WM_TRANSFER_START, 0, 0);
        thread->ResumeThread();
        return own;
    };
    DWORD code = 0;
    auto unused = Job(mp3, L"Book-Part08.mp3");
    EXPECT_EQ(-1, m_page->Run(unused.get(), &code));
    EXPECT_EQ(static_cast<DWORD>(kTransferFailed), code);
}

TEST(iPodAddNames, TitleAndPartNumberFromTheFileName)
{
    const struct {
        const wchar_t* path;
        const wchar_t* target;
        const wchar_t* title;
        int part;
        const wchar_t* track;
    } cases[] = {
        {L"C:\\Books\\Book Title-Part03.mp3", L"", L"Book Title", 3, L"Book Title-Part03"},
        {L"C:\\Books\\Book Title -Part12.mp3", L"", L"Book Title", 12, L"Book Title-Part12"},
        {L"C:\\Tmp\\x1.m4b", L"Night-Part07.m4b", L"Night", 7, L"Night-Part07"},
        {L"C:\\Tmp\\x1.M4A", L"Night-Part2.m4a", L"Night", 2, L"Night-Part02"},
        {L"C:\\Books\\Caf&#233; Noir-Part01.mp3", L"", L"Caf Noir", 1, L"Caf Noir-Part01"},
        {L"C:\\Books\\&#8217;Tis&#8217;-Part04.mp3", L"", L"Tis", 4, L"Tis-Part04"},
        {L"C:\\Books\\A &#x-Part01.mp3", L"", L"A &#x", 1, L"A &#x-Part01"},  // no ';': kept
        {L"C:\\Books\\Well-Known-Part05.mp3", L"", L"Well-Known", 5, L"Well-Known-Part05"},
        {L"C:\\Books\\Single.mp3", L"", L"Single", 0, L"Single-Part00"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(transfertest::Narrow(c.path));
        const iTunesPartNames names = DeriveiTunesPartNames(c.path, c.target);
        EXPECT_EQ(CString(c.title), names.title);
        EXPECT_EQ(c.part, names.partNumber);
        EXPECT_EQ(CString(c.track), names.trackName);
    }
}

TEST(iPodAddNames, GroupedKilobytesWaitsPercentAndResults)
{
    const struct {
        ULONGLONG kilobytes;
        const wchar_t* text;
    } sizes[] = {{0, L"0 KB"},           {999, L"999 KB"},           {1000, L"1,000 KB"},
                 {1234567, L"1,234,567 KB"}, {123456789012ull, L"123,456,789,012 KB"}};
    for (const auto& s : sizes)
        EXPECT_EQ(CString(s.text), FormatGroupedKilobytes(s.kilobytes));

    const struct {
        int seconds;
        DWORD a, b, c;
    } waits[] = {{0, 0, 0, 0}, {4, 0, 2000, 2000}, {10, 2000, 0, 0}, {13, 2000, 1000, 2000}, {-3, 0, 0, 0}};
    for (const auto& w : waits) {
        const iTunesAddWaits got = ComputeiTunesAddWaits(w.seconds);
        EXPECT_EQ(w.a, got.a) << w.seconds;
        EXPECT_EQ(w.b, got.b) << w.seconds;
        EXPECT_EQ(w.c, got.c) << w.seconds;
    }

    const struct {
        LONG value, maximum;
        int percent;
    } percents[] = {{50, 100, 50}, {1, 3, 33}, {5, 0, 0}, {-4, 100, 0}, {300, 100, 100}, {0x7FFFFFFF, 0x7FFFFFFF, 100}};
    for (const auto& p : percents)
        EXPECT_EQ(p.percent, CiPodAddThread::ConversionPercent(p.value, p.maximum)) << p.value << "/" << p.maximum;

    EXPECT_EQ(kTransferDone, CiPodAddThread::MapAddResult(S_OK, FALSE));
    EXPECT_EQ(kTransferDone, CiPodAddThread::MapAddResult(S_FALSE, TRUE));
    EXPECT_EQ(kTransferCancelled, CiPodAddThread::MapAddResult(E_FAIL, TRUE));
    EXPECT_EQ(kTransferCancelled, CiPodAddThread::MapAddResult(kiTunesUserCancelled, FALSE));
    EXPECT_EQ(kTransferBusy, CiPodAddThread::MapAddResult(kiTunesDeviceBusy, FALSE));
    EXPECT_EQ(kTransferFailed, CiPodAddThread::MapAddResult(kiTunesSourceLocked, FALSE));
}

}  // namespace
