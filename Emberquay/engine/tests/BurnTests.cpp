// The burn thread and the burn engine against the virtual recorder, with parts the scripted
// reader plays: discs, test mode, failures, questions and Cancel.
#include "BurnHarness.h"
#include "res/BurnTextIds.h"
#include "ScriptedReader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using burntest::BurnHarness;

constexpr DWORD kPartMs = 3000;
constexpr long kPartFrames = 3 * 44100;  // whole sectors (225 of 588 frames)

// Parts of CD audio: 3 s in samples of 100 ms each.
wmreader::ReaderScript CdScript(DWORD ms = kPartMs)
{
    wmreader::ReaderScript script;
    script.outputs = {{wmreader::AudioType(44100, 2, 16), {wmreader::AudioType(44100, 2, 16)}}};
    script.streams = {{1, wmreader::kMediaTypeAudio}};
    for (DWORD t = 0; t < ms; t += 100)
        script.samples.push_back(wmreader::ScriptedSample::Pcm(t, 17640, 1, 100));
    return script;
}

// Free space for parts of kPartMs each: their blocks and gaps as the burn counts them.
std::string FreeFor(int parts)
{
    const ULONGLONG blocks = CWMABurn::BlocksNeeded(static_cast<ULONGLONG>(parts) * kPartMs, parts, kTrackGapFrames);
    return "FreeBytes=" + std::to_string(blocks * 2048) + "\n";
}

class BurnTest : public BurnHarness {
protected:
    void AddParts(int count)
    {
        for (int i = 1; i <= count; ++i) {
            CString path;
            path.Format(L"C:\\title\\Book-Part%02d.wma", i);
            AddPart(path, kPartMs);
        }
    }
    bool Saw(LPARAM stage) const { return std::find(m_stages.begin(), m_stages.end(), stage) != m_stages.end(); }
    bool BoxStartsWith(size_t i, const wchar_t* text) const
    {
        return i < m_boxes.size() && m_boxes[i].Left(static_cast<int>(wcslen(text))) == text;
    }
    CString BurningPart() const
    {
        CString text;
        m_drive.m_errors.Lookup(L"BurningPart", text);
        return text;
    }
};

TEST_F(BurnTest, BurnsATitleOnOneDisc)
{
    UseDrive({FreeFor(3)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);
    // A file of the temporary folder that is not the burn's stays as it was.
    testsupport::WriteAll(m_temp + L"\\T01", std::string("not ours"));

    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    EXPECT_EQ(3, m_job.PartIndex);
    EXPECT_TRUE(m_boxes.empty()) << m_boxes.size();
    EXPECT_EQ(std::vector<long>(3, kPartFrames), DiscTrackFrames(1));
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_SendOPC").size());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_Eject").size());
    EXPECT_TRUE(Saw(kStagePrepared) && Saw(kStageClosing) && Saw(kStageEjected));
    EXPECT_TRUE(Saw(kStageTrackBegin) && Saw(kStageTrackWrite));
    EXPECT_EQ(std::vector<CString>{L"T01"}, TempFiles());
    EXPECT_EQ("not ours", testsupport::ReadAllBytes(m_temp + L"\\T01"));
    // Each track was written into a file the system reserved for it in the temporary folder
    // (its ".tmp" name), never into a name some other file might have.
    const std::string folder = m_temp.ToNarrow(CP_ACP) + "\\T0";
    for (const std::string& call : Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile")) {
        const size_t at = call.find("file=\"");
        ASSERT_NE(std::string::npos, at) << call;
        const std::string file = call.substr(at + 6, call.find('"', at + 6) - at - 6);
        EXPECT_EQ(0u, file.find(folder)) << file;
        EXPECT_EQ(file.size() - 4, file.rfind(".tmp")) << file;
    }
    // Decoding progress for each part, from its start.
    ASSERT_FALSE(m_progress.empty());
    EXPECT_EQ(std::make_pair(WPARAM(0), LONG(-1)), m_progress.front());
    EXPECT_TRUE(std::any_of(m_progress.begin(), m_progress.end(), [](auto& p) { return p.first == 2 && p.second > 0; }));
}

TEST_F(BurnTest, AsksForASecondDiscWhenTheTitleNeedsOne)
{
    // The first disc's space would take all three parts if only the last part's gap were
    // counted; with every gap counted two fit, and the third goes to the second disc.
    UseDrive({"FreeBytes=" + std::to_string(900 * 2048) + "\n", FreeFor(1)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);

    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    ASSERT_EQ(1u, m_boxes.size());
    CString next;
    next.Format(AfxLoadString(IDS_NEXT_DISC), 2, 3, 3);
    EXPECT_EQ(next, m_boxes[0]);
    EXPECT_EQ(std::vector<long>(2, kPartFrames), DiscTrackFrames(1));
    EXPECT_EQ(std::vector<long>(1, kPartFrames), DiscTrackFrames(2));
    EXPECT_EQ(2u, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(BurnTest, CountsTheDiscFromTheDecodedLength)
{
    // Parts of 60.8 s whose durations read "1:00": the whole seconds of three fit the first
    // disc, their decoded audio does not, so the third goes to the second disc.
    UseDrive({"FreeBytes=" + std::to_string(CWMABurn::BlocksNeeded(3 * 60000, 3, kTrackGapFrames) * 2048) + "\n",
              "FreeBytes=700000000\n"});
    wmreader::ScriptedReaderFactory reader(CdScript(60800));
    for (int i = 1; i <= 3; ++i) {
        CString path;
        path.Format(L"C:\\title\\Book-Part%02d.wma", i);
        AddPart(path, 60000);
    }

    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    EXPECT_EQ(1u, m_boxes.size());
    EXPECT_EQ(std::vector<long>(2, 608L * 4410), DiscTrackFrames(1));
    EXPECT_EQ(std::vector<long>(1, 608L * 4410), DiscTrackFrames(2));
    EXPECT_EQ(2u, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(BurnTest, CancelAtTheNextDiscQuestionEndsTheBurn)
{
    UseDrive({FreeFor(2), FreeFor(1)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);
    m_answers = {IDCANCEL};

    EXPECT_EQ(CDBurnThread::kCancelled, RunBurn());
    EXPECT_EQ(2, m_job.PartIndex);
    EXPECT_TRUE(DiscTrackFrames(2).empty());
}

TEST_F(BurnTest, TestModeWritesNothingAndSaysSo)
{
    UseDrive({FreeFor(3)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);
    m_job.TestMode = TRUE;

    // A test burn that went well is reported as cancelled, after its message.
    EXPECT_EQ(CDBurnThread::kCancelled, RunBurn());
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(AfxLoadString(IDS_TEST_DONE), m_boxes[0]);
    EXPECT_TRUE(DiscTrackFrames(1).empty());
    EXPECT_EQ(3u, Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").size());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_SendOPC").empty());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_CloseSession").empty());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_Eject").size());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(BurnTest, AWriteFailureAtTrackThreeLeavesTheDiscOpen)
{
    UseDrive({FreeFor(3) + "FailTrack=3\n"});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);

    EXPECT_EQ(CDBurnThread::kFailed, RunBurn());
    const CString error = BurningPart();
    EXPECT_EQ(0, error.Find(L"Unable to burn track.\nStarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile failed (exception "))
        << error.ToNarrow(CP_UTF8);
    EXPECT_NE(-1, error.Find(L"The CD burn attempt has failed")) << error.ToNarrow(CP_UTF8);
    EXPECT_EQ(2u, DiscTrackFrames(1).size());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_CloseSession").empty());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_Eject").empty());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(BurnTest, APartLongerThanTheDiscBurnsNothing)
{
    UseDrive({FreeFor(1)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddPart(L"C:\\title\\Long-Part01.wma", 2 * kPartMs);

    EXPECT_EQ(CDBurnThread::kFailed, RunBurn());
    EXPECT_EQ(CString(L"Unable to burn to recordable CD.\nthere is insufficient free space for the content."),
              BurningPart());
    EXPECT_EQ(0, reader.Created());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").empty());
}

TEST_F(BurnTest, CancelWhileDecodingLeavesNoTrackFile)
{
    UseDrive({FreeFor(3)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);
    m_cancelAtProgress = 3;  // the page answers 0 during the first part

    EXPECT_EQ(CDBurnThread::kCancelled, RunBurn());
    EXPECT_TRUE(BurningPart().IsEmpty());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").empty());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_CreateEx").size() <= 1u);  // the disc query only
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(DiscTrackFrames(1).empty());
}

TEST_F(BurnTest, CancelWhileWritingFinishesTheDiscAndAsksNoMore)
{
    // A track already being written cannot be stopped without spoiling the disc: the disc is
    // finished, and the burn ends there instead of asking for the next one.
    UseDrive({FreeFor(2), FreeFor(1)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);
    m_cancelAtTrack = 1;

    EXPECT_EQ(CDBurnThread::kCancelled, RunBurn());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(2u, DiscTrackFrames(1).size());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(BurnTest, AnEmptyDriveAfterTheFirstDiscIsAskedForABlankDisc)
{
    // The drive holds one disc only: after its eject the refresh finds no disc, which must not
    // pass for the blank disc the drive held before.
    UseDrive({FreeFor(2)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(3);
    m_answers = {IDOK, IDCANCEL};

    EXPECT_EQ(CDBurnThread::kCancelled, RunBurn());
    ASSERT_EQ(2u, m_boxes.size());
    EXPECT_TRUE(BoxStartsWith(1, L"No recordable CD media could be found.\nPlease make sure")) << m_boxes[1].ToNarrow();
    EXPECT_EQ(2, m_job.PartIndex);
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_Eject").size());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(BurnTest, AsksForABlankDiscAndSeesCancelWhileAsking)
{
    struct Case {
        const char* name;
        std::string disc;
        bool cancelInBox;
        std::deque<int> answers;
        LONG result;
    };
    const std::vector<Case> cases = {
        {"not blank, cancelled", "UsedBytes=1000000\nFreeBytes=0\n", false, {IDCANCEL}, CDBurnThread::kCancelled},
        // The page's Cancel comes while the box is up; the Retry pressed afterwards is not taken.
        {"cancel while the box is up", "UsedBytes=1000000\nFreeBytes=0\n", true, {IDRETRY}, CDBurnThread::kCancelled},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.clear();
        m_done = -1;
        m_job.Cancelled = 0;
        m_cancelInBox = c.cancelInBox;
        m_answers = c.answers;
        UseDrive({c.disc});
        wmreader::ScriptedReaderFactory reader(CdScript());
        m_job.PartIndex = -1;
        AddParts(1);
        EXPECT_EQ(c.result, RunBurn());
        ASSERT_EQ(1u, m_boxes.size());
        EXPECT_TRUE(BoxStartsWith(0, L"No recordable CD media could be found.\nPlease make sure")) << c.name;
        EXPECT_EQ(0, reader.Created());
    }
}

TEST_F(BurnTest, APartNotInCdAudioIsConvertedOrRefused)
{
    struct Case {
        const char* name;
        wmreader::MediaType type;
        bool burned;
    };
    const std::vector<Case> cases = {
        {"mono 22,050 Hz 8-bit", wmreader::AudioType(22050, 1, 8), true},
        {"float", wmreader::AudioType(44100, 2, 32, WAVE_FORMAT_IEEE_FLOAT), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_done = -1;
        m_drive.m_errors.RemoveAll();
        UseDrive({FreeFor(1)});
        wmreader::ReaderScript script;
        script.outputs = {{c.type, {c.type}}};
        script.streams = {{1, wmreader::kMediaTypeAudio}};
        const WAVEFORMATEX f = c.type.Wave();
        for (DWORD t = 0; t < kPartMs; t += 100)
            script.samples.push_back(wmreader::ScriptedSample::Pcm(t, f.nAvgBytesPerSec / 10, 1, 100));
        wmreader::ScriptedReaderFactory reader(script);
        m_job.PartIndex = -1;
        AddParts(1);
        const size_t writes = Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").size();
        EXPECT_EQ(c.burned ? CDBurnThread::kDone : CDBurnThread::kFailed, RunBurn());
        if (c.burned) {
            EXPECT_EQ(std::vector<long>(1, kPartFrames), DiscTrackFrames(1));
        } else {
            EXPECT_EQ(CString(L"Unable to GetAudioOutput.\nNo 44 kHz output format available for burning to CD"),
                      BurningPart());
            EXPECT_EQ(writes, Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").size());
        }
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST(BurnCapacity, CountsInSixtyFourBitsWithEveryGap)
{
    // 20 hours: 5,400,000 blocks of audio; 32-bit milliseconds x 75 would wrap.
    const ULONGLONG twentyHours = 20ull * 3600 * 1000;
    EXPECT_EQ(5400000ull + 99 * 151 + 1, CWMABurn::BlocksNeeded(twentyHours, 99, kTrackGapFrames));
    EXPECT_EQ(226ull + 151 + 1, CWMABurn::BlocksNeeded(3001, 1, kTrackGapFrames));
    EXPECT_EQ(588ull * 375, CWMABurn::TrackStartFrame(5000));
    EXPECT_EQ(588ull * 375, CWMABurn::TrackStartFrame(5006));  // to the nearest sector
}

}  // namespace

namespace {

TEST_F(BurnTest, StartsOnlyWhenThePageTakesTheJob)
{
    struct Case {
        const char* name;
        bool withJob;
        LRESULT statusReply;
        bool cancelledFirst;
        LONG done;  // WM_PART_DONE's wParam, -1: none posted
    };
    const std::vector<Case> cases = {
        {"no job", false, 1, false, -1},
        {"the page answers 5", true, 5, false, 5},
        {"the page answers 0", true, 0, false, 0},
        {"cancelled before the burn", true, 1, true, CDBurnThread::kCancelled},
    };
    UseDrive({FreeFor(1)});
    wmreader::ScriptedReaderFactory reader(CdScript());
    AddParts(1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_done = -1;
        m_statusReply = c.statusReply;
        m_job.Cancelled = c.cancelledFirst ? 1 : 0;
        EXPECT_EQ(c.done, RunBurn(c.withJob));
    }
    // None of them touched the disc or decoded anything.
    EXPECT_EQ(0, reader.Created());
    EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_CreateEx").empty());
}

TEST_F(BurnTest, RecorderFailures)
{
    struct Case {
        const char* name;
        std::string drive;
        std::deque<int> answers;
        LONG result;
        const wchar_t* error;  // the start of the text under "BurningPart"
        int tracks;            // on the disc
        LONG partIndex;        // the job's next part afterwards
        bool cancelInBox = false;
    };
    const std::vector<Case> cases = {
        {"not ready", "FailTestUnitReady=1\n", {}, CDBurnThread::kFailed,
         L"The selected recordable CD drive is not ready.\nStarBurn_CdvdBurnerGrabber_TestUnitReady failed", 0, 0},
        {"calibration failed, the user stops", "FailSendOPC=1\n", {IDYES}, CDBurnThread::kCancelled, L"", 0, 0},
        {"calibration failed, the user goes on", "FailSendOPC=1\n", {IDNO}, CDBurnThread::kDone, L"", 2, 2},
        {"calibration failed, cancelled while asking", "FailSendOPC=1\n", {IDNO}, CDBurnThread::kCancelled, L"", 0, 0, true},
        {"session not closed", "FailCloseSession=1\n", {}, CDBurnThread::kFailed,
         L"Unable to close session.\nStarBurn_CdvdBurnerGrabber_CloseSession failed", 2, 0},
        {"ignored failures", "FailSetBUP=1\nFailSetSpeeds=1\nFailEject=1\n", {}, CDBurnThread::kDone, L"", 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_done = -1;
        m_boxes.clear();
        m_answers = c.answers;
        m_cancelInBox = c.cancelInBox;
        m_job.Cancelled = 0;
        m_drive.m_errors.RemoveAll();
        UseDrive({FreeFor(2)}, c.drive);
        wmreader::ScriptedReaderFactory reader(CdScript());
        m_job.PartIndex = -1;
        AddParts(2);
        EXPECT_EQ(c.result, RunBurn());
        const CString error = BurningPart();
        if (*c.error)
            EXPECT_EQ(0, error.Find(c.error)) << error.ToNarrow(CP_UTF8);
        else
            EXPECT_TRUE(error.IsEmpty()) << error.ToNarrow(CP_UTF8);
        EXPECT_EQ(static_cast<size_t>(c.tracks), DiscTrackFrames(1).size());
        EXPECT_EQ(c.partIndex, m_job.PartIndex);
        EXPECT_TRUE(TempFiles().empty());
        if (!c.answers.empty()) {
            ASSERT_EQ(1u, m_boxes.size());
            EXPECT_EQ(0, m_boxes[0].Find(L"Power Calibration error.\nError details: StarBurn_CdvdBurnerGrabber_SendOPC failed"));
        }
    }
}

TEST_F(BurnTest, ProgressIsSentWhenItChanges)
{
    CBurnProgress progress(m_page, &m_job);
    progress.Begin(2);
    for (DWORD value : {DWORD(-1), DWORD(100), DWORD(100), DWORD(200), DWORD(-1), DWORD(-1), DWORD(200)})
        EXPECT_EQ(S_OK, progress.Progress(value));
    const std::vector<std::pair<WPARAM, LONG>> sent = {{2, -1}, {2, 100}, {2, 200}, {2, -1}, {2, -1}};
    EXPECT_EQ(sent, m_progress);
    // A zero reply, or the job cancelled, cancels.
    m_cancelAtProgress = 0;
    EXPECT_EQ(kBurnCancelled, progress.Progress(300));
    m_job.Cancel();
    EXPECT_EQ(kBurnCancelled, progress.Progress(400));
    EXPECT_EQ(S_OK, progress.End());
}

}  // namespace

namespace {

TEST_F(BurnTest, ADecodingFailureStopsTheDiscAndLeavesNoTrackFile)
{
    struct Case {
        const char* name;
        std::function<void(wmreader::ReaderScript&)> change;
        const wchar_t* error;  // the start of the text under "BurningPart"
    };
    const std::vector<Case> cases = {
        {"a damaged sample",
         [](wmreader::ReaderScript& s) { s.samples[10] = wmreader::ScriptedSample::Failure(wmreader::kBadDataUnit, 1000); },
         L"Unable to get next sample.\nError 0xC00D080D: Bad Data Unit at Time=1000"},
        {"a failure half-way", [](wmreader::ReaderScript& s) { s.samples[10] = wmreader::ScriptedSample::Failure(E_FAIL, 1000); },
         L"Unable to get next sample.\n"},
        {"no audio output",
         [](wmreader::ReaderScript& s) {
             s.outputs = {{wmreader::VideoType(), {wmreader::VideoType()}}};
             s.streams = {{1, wmreader::kMediaTypeVideo}};
         },
         L"Unable to GetAudioOutput.\nCould not find an audio stream in the specified file"},
        {"a part that cannot be opened", [](wmreader::ReaderScript& s) { s.openResult = E_ACCESSDENIED; },
         L"Unable to open media file.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_done = -1;
        m_drive.m_errors.RemoveAll();
        UseDrive({FreeFor(2)});
        wmreader::ReaderScript script = CdScript();
        c.change(script);
        wmreader::ScriptedReaderFactory reader(script);
        m_job.PartIndex = -1;
        AddParts(2);
        EXPECT_EQ(CDBurnThread::kFailed, RunBurn());
        const CString error = BurningPart();
        EXPECT_EQ(0, error.Find(c.error)) << error.ToNarrow(CP_UTF8);
        EXPECT_EQ(1, reader.Created());
        EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").empty());
        EXPECT_TRUE(TempFiles().empty());
    }
}

}  // namespace
