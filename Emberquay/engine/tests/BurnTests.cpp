// The burn thread and the burn engine against the virtual recorder, with parts the scripted
// reader plays: discs, test mode, failures, questions and Cancel.
#include "BurnHarness.h"
#include "res/BurnTextIds.h"
#include "ScriptedReader.h"
#include "TrackPlan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

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

// CD audio of ms milliseconds in samples of 100 ms (the last one shorter).
wmreader::ReaderScript CdScriptOf(DWORD ms)
{
    wmreader::ReaderScript script = CdScript(0);
    for (DWORD t = 0; t < ms; t += 100) {
        const DWORD length = std::min<DWORD>(100, ms - t);
        script.samples.push_back(wmreader::ScriptedSample::Pcm(t, length * 4410 / 100 * 4, 1, length));
    }
    return script;
}

// A reader that plays the script of the file it opens (by the file's name), the default script
// for any other file.
class PathScriptedReader : public wmreader::MediaReader {
public:
    PathScriptedReader(const std::map<CString, wmreader::ReaderScript>* scripts, const wmreader::ReaderScript* fallback)
        : m_scripts(scripts), m_fallback(fallback) {}
    HRESULT Open(const wchar_t* path) override
    {
        CString name(path);
        name = name.Mid(name.ReverseFind(L'\\') + 1);
        const auto found = m_scripts->find(name);
        m_inner = std::make_unique<wmreader::ScriptedReader>(found == m_scripts->end() ? *m_fallback : found->second);
        return Pass(m_inner->Open(path));
    }
    void Close() override
    {
        if (m_inner)
            m_inner->Close();
    }
    HRESULT OutputCount(DWORD* count) override { return Pass(m_inner->OutputCount(count)); }
    HRESULT OutputType(DWORD output, wmreader::MediaType* type) override { return Pass(m_inner->OutputType(output, type)); }
    HRESULT FormatCount(DWORD output, DWORD* count) override { return Pass(m_inner->FormatCount(output, count)); }
    HRESULT FormatType(DWORD output, DWORD index, wmreader::MediaType* type) override
    {
        return Pass(m_inner->FormatType(output, index, type));
    }
    HRESULT SetOutputFormat(DWORD output, DWORD index) override { return Pass(m_inner->SetOutputFormat(output, index)); }
    HRESULT StreamCount(DWORD* count) override { return Pass(m_inner->StreamCount(count)); }
    HRESULT StreamInfo(DWORD index, WORD* number, GUID* type) override { return Pass(m_inner->StreamInfo(index, number, type)); }
    HRESULT SetStreamSelected(WORD stream, bool selected) override { return Pass(m_inner->SetStreamSelected(stream, selected)); }
    HRESULT SetReadStreamSamples(WORD stream, bool compressed) override
    {
        return Pass(m_inner->SetReadStreamSamples(stream, compressed));
    }
    HRESULT SetRange(ULONGLONG start, LONGLONG duration) override { return Pass(m_inner->SetRange(start, duration)); }
    HRESULT NextSample(wmreader::Sample* sample) override { return Pass(m_inner->NextSample(sample)); }

private:
    HRESULT Pass(HRESULT hr) { return Step(m_inner->FailedStep(), hr); }

    const std::map<CString, wmreader::ReaderScript>* m_scripts;
    const wmreader::ReaderScript* m_fallback;
    std::unique_ptr<wmreader::ScriptedReader> m_inner;
};

// While it lives, every reader plays the script of its file's name ("Book-Part02.wma").
class PathScriptedReaders {
public:
    PathScriptedReaders(std::map<CString, wmreader::ReaderScript> scripts, wmreader::ReaderScript fallback)
        : m_scripts(std::move(scripts)), m_fallback(std::move(fallback))
    {
        m_previous = wmreader::SetMediaReaderFactory([this](std::unique_ptr<wmreader::MediaReader>* reader) {
            *reader = std::make_unique<PathScriptedReader>(&m_scripts, &m_fallback);
            return S_OK;
        });
    }
    ~PathScriptedReaders() { wmreader::SetMediaReaderFactory(m_previous); }
    PathScriptedReaders(const PathScriptedReaders&) = delete;
    PathScriptedReaders& operator=(const PathScriptedReaders&) = delete;

private:
    std::map<CString, wmreader::ReaderScript> m_scripts;
    wmreader::ReaderScript m_fallback;
    wmreader::MediaReaderFactory m_previous;
};

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
    m_job.DiscCount = 2;

    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    ASSERT_EQ(1u, m_boxes.size());
    // Discs, not parts: the first of two is done.
    CString next;
    next.Format(AfxLoadString(IDS_NEXT_DISC), 1, 2, 2);
    EXPECT_EQ(next, m_boxes[0]);
    EXPECT_EQ(2, m_job.DiscNumber);
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
    // The track of the disc, and the part and its track it holds.
    EXPECT_EQ(0, error.Find(L"Unable to burn track 3 of the CD (track 1 of the part \"Book-Part03.wma\").\n"
                            L"StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile failed (exception "))
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
        std::vector<std::string> discs;
        bool cancelInBox;
        std::deque<int> answers;
        LONG result;
        const wchar_t* box;  // how the box starts
    };
    const std::vector<Case> cases = {
        {"not blank, cancelled", {"UsedBytes=1000000\nFreeBytes=0\n"}, false, {IDCANCEL}, CDBurnThread::kCancelled,
         L"The CD in the selected recordable CD drive is not blank.\nPlease make sure"},
        // The page's Cancel comes while the box is up; the Retry pressed afterwards is not taken.
        {"cancel while the box is up", {"UsedBytes=1000000\nFreeBytes=0\n"}, true, {IDRETRY}, CDBurnThread::kCancelled,
         L"The CD in the selected recordable CD drive is not blank.\nPlease make sure"},
        {"no disc", {}, false, {IDCANCEL}, CDBurnThread::kCancelled,
         L"No recordable CD media could be found.\nPlease make sure"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.clear();
        m_done = -1;
        m_job.Cancelled = 0;
        m_cancelInBox = c.cancelInBox;
        m_answers = c.answers;
        UseDrive(c.discs);
        wmreader::ScriptedReaderFactory reader(CdScript());
        m_job.PartIndex = -1;
        AddParts(1);
        EXPECT_EQ(c.result, RunBurn());
        ASSERT_EQ(1u, m_boxes.size());
        EXPECT_TRUE(BoxStartsWith(0, c.box)) << m_boxes[0].ToNarrow(CP_UTF8);
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
            const CString error = BurningPart();
            EXPECT_EQ(0, error.Find(L"Unable to GetAudioOutput.\nNo 44 kHz output format available for burning to CD\n\n"
                                    L"The part \"Book-Part01.wma\" cannot be burned (its track 1)."))
                << error.ToNarrow(CP_UTF8);
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

namespace {

CString PartPath(int number)
{
    CString path;
    path.Format(L"C:\\title\\Book-Part%02d.wma", number);
    return path;
}

TEST_F(BurnTest, TheNextDiscQuestionCountsDiscs)
{
    struct Case {
        const char* name;
        int discs;
        int partsPerDisc;
        int announced;   // by the Confirm page (0: not known)
        BOOL testMode;
    };
    const std::vector<Case> cases = {
        {"four parts on two discs", 2, 2, 2, FALSE},
        {"nine parts on three discs", 3, 3, 3, FALSE},
        {"one part a disc", 3, 1, 3, FALSE},
        {"the count not known: at least one more", 3, 2, 0, FALSE},
        {"test mode", 2, 3, 2, TRUE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxes.clear();
        m_done = -1;
        UseDrive(std::vector<std::string>(static_cast<size_t>(c.discs), FreeFor(c.partsPerDisc)));
        wmreader::ScriptedReaderFactory reader(CdScript());
        m_job.PartIndex = -1;
        m_job.DiscNumber = 1;
        m_job.DiscCount = c.announced;
        m_job.TestMode = c.testMode;
        AddParts(c.discs * c.partsPerDisc);
        RunBurn();
        std::vector<CString> expected;
        for (int done = 1; done < c.discs; ++done) {
            const int total = c.announced ? c.announced : done + 1;
            CString text;
            text.Format(AfxLoadString(c.testMode ? IDS_NEXT_TEST_DISC : IDS_NEXT_DISC), done, total, done + 1);
            expected.push_back(text);
        }
        if (c.testMode)
            expected.push_back(AfxLoadString(IDS_TEST_DONE));
        EXPECT_EQ(expected, m_boxes);
        EXPECT_EQ(c.discs, m_job.DiscNumber);
    }
}

TEST_F(BurnTest, APartThatCannotBeBurnedIsFoundBeforeTheFirstTrack)
{
    constexpr DWORD kLongMs = 10000;
    wmreader::ReaderScript damaged = CdScriptOf(kLongMs);
    damaged.samples[50] = wmreader::ScriptedSample::Failure(wmreader::kBadDataUnit, 5000);
    wmreader::ReaderScript video = CdScriptOf(kLongMs);
    video.outputs = {{wmreader::VideoType(), {wmreader::VideoType()}}};
    video.streams = {{1, wmreader::kMediaTypeVideo}};
    wmreader::ReaderScript locked = CdScriptOf(kLongMs);
    locked.openResult = E_ACCESSDENIED;
    struct Case {
        const char* name;
        int parts;
        int perDisc;                      // parts a disc holds
        int bad;                          // the part at fault, from 1
        wmreader::ReaderScript script;    // its script
        const wchar_t* reason;            // in the text under "BurningPart"
        int track;                        // the part's track named
    };
    const std::vector<Case> cases = {
        // A download cut short: the header says 10 s, the audio stops after 4.
        {"a truncated part on the disc", 3, 3, 2, CdScriptOf(4000), L"the part's audio ends at 0:04.000 of its 0:10.000", 1},
        {"a damaged sample on the disc", 2, 2, 2, damaged, L"Bad Data Unit at Time=5000", 1},
        {"a part of the second disc cannot be opened", 3, 2, 3, locked, L"Unable to open media file.", 1},
        {"a part of the second disc holds no audio", 3, 2, 3, video, L"Unable to GetAudioOutput.", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_done = -1;
        m_boxes.clear();
        m_drive.m_errors.RemoveAll();
        const ULONGLONG discBytes =
            CWMABurn::BlocksNeeded(static_cast<ULONGLONG>(c.perDisc) * kLongMs, c.perDisc, kTrackGapFrames) * 2048;
        UseDrive({"FreeBytes=" + std::to_string(discBytes) + "\n", "FreeBytes=" + std::to_string(discBytes) + "\n"});
        CString bad = PartPath(c.bad);
        bad = bad.Mid(bad.ReverseFind(L'\\') + 1);
        PathScriptedReaders readers({{bad, c.script}}, CdScriptOf(kLongMs));
        m_job.PartIndex = -1;
        for (int i = 1; i <= c.parts; ++i)
            AddPart(PartPath(i), kLongMs);

        EXPECT_EQ(CDBurnThread::kFailed, RunBurn());
        const CString error = BurningPart();
        EXPECT_NE(-1, error.Find(c.reason)) << error.ToNarrow(CP_UTF8);
        CString named;
        named.Format(L"The part \"%s\" cannot be burned (its track %d).  Nothing has been written to the CD.",
                     bad.GetString(), c.track);
        EXPECT_NE(-1, error.Find(named)) << error.ToNarrow(CP_UTF8);
        // Not a word of the recorder or the disc brand: the part is the cause.
        EXPECT_EQ(-1, error.Find(L"brand")) << error.ToNarrow(CP_UTF8);
        EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").empty());
        EXPECT_TRUE(DiscTrackFrames(1).empty());
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST_F(BurnTest, ATemporaryFolderThatCannotTakeTheTracksIsNamed)
{
    const CString file = m_folder / L"not-a-folder";
    testsupport::WriteAll(file, std::string("x"));
    const CString missing = m_folder / L"gone";
    const struct {
        const char* name;
        CString folder;
        CString detail;
    } cases[] = {
        {"a file", file, L"The temporary folder \"" + file + L"\" is a file, not a folder."},
        {"a folder that does not exist", missing, L"The temporary folder \"" + missing + L"\" does not exist."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_done = -1;
        m_drive.m_errors.RemoveAll();
        UseDrive({FreeFor(1)});
        wmreader::ScriptedReaderFactory reader(CdScript());
        m_job.PartIndex = -1;
        AddParts(1);
        SetEnvironmentVariableW(L"TMP", c.folder);
        SetEnvironmentVariableW(L"TEMP", c.folder);
        const LONG result = RunBurn();
        SetEnvironmentVariableW(L"TMP", m_temp);
        SetEnvironmentVariableW(L"TEMP", m_temp);
        EXPECT_EQ(CDBurnThread::kFailed, result);
        EXPECT_EQ(L"Unable to create a track file in the temporary folder \"" + c.folder + L"\".\n" + c.detail, BurningPart());
        EXPECT_TRUE(Calls("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile").empty());
    }
}

TEST_F(BurnTest, TheConfirmPagesDiscCountIsTheBurns)
{
    // Exact lengths, as the parts' headers give them; their duration texts read 1:00, 1:30, 0:45.
    const std::vector<DWORD> lengths = {60900, 90950, 45990};
    ULONGLONG totalMs = 0;
    for (DWORD ms : lengths)
        totalMs += ms;
    const ULONGLONG edge = CWMABurn::BlocksNeeded(totalMs, lengths.size(), kTrackGapFrames);
    const struct {
        const char* name;
        ULONGLONG discBlocks;
        int discs;
    } cases[] = {
        {"room to spare", edge + 1000, 1},
        {"exactly full", edge, 1},
        // Whole seconds would still fit the three here (195 s against 197.84 s).
        {"one block short", edge - 1, 2},
        {"room for the first two only", CWMABurn::BlocksNeeded(60900 + 90950, 2, kTrackGapFrames), 2},
        {"room for one part a disc", CWMABurn::BlocksNeeded(90950, 1, kTrackGapFrames), 3},
    };
    std::map<CString, wmreader::ReaderScript> scripts;
    std::vector<PlannedPart> planned;
    for (size_t i = 0; i < lengths.size(); ++i) {
        CString name;
        name.Format(L"Book-Part%02d.wma", static_cast<int>(i + 1));
        scripts[name] = CdScriptOf(lengths[i]);
        planned.push_back({lengths[i], 1});
    }
    PathScriptedReaders readers(scripts, CdScript());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.discs, CountDiscsNeeded(planned, c.discBlocks));
        m_done = -1;
        m_boxes.clear();
        UseDrive(std::vector<std::string>(3, "FreeBytes=" + std::to_string(c.discBlocks * 2048) + "\n"));
        m_job.PartIndex = -1;
        m_job.DiscNumber = 1;
        m_job.DiscCount = CountDiscsNeeded(planned, c.discBlocks);
        for (size_t i = 0; i < lengths.size(); ++i)
            AddPart(PartPath(static_cast<int>(i + 1)), lengths[i]);
        EXPECT_EQ(CDBurnThread::kDone, RunBurn());
        int burned = 0;
        for (int disc = 1; disc <= 3; ++disc)
            burned += DiscTrackFrames(disc).empty() ? 0 : 1;
        EXPECT_EQ(c.discs, burned);
        EXPECT_EQ(c.discs, m_job.DiscNumber);
    }
}

}  // namespace
