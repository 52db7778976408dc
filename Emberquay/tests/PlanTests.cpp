// The CD wizard's reading of its command line and link, and the plans the Confirm page and the
// Tracks dialog show: the discs a choice of parts needs, the tracks a part's markers give, the
// part sizes, the speed text and the Options dialog's speeds.
#include "BurnEngine.h"
#include "CdDialogs.h"
#include "CdWizardApp.h"
#include "ConfirmPage.h"
#include "MediaElements.h"
#include "MediaFixtures.h"
#include "MediaMarkers.h"
#include "TrackPlan.h"
#include "WizardCommandLine.h"
#include "WizardServices.h"

#include <gtest/gtest.h>

namespace {

WizardCommandLine Parse(const CString& line, BOOL* fromPlaylist = nullptr)
{
    WizardCommandLine options;
    const BOOL result = ParseWizardCommandLine(line, L"C:\\P\\Emberquay.exe", CCdWizardApp::CommandLineRules(), options);
    if (fromPlaylist)
        *fromPlaylist = result;
    return options;
}

TEST(CdCommandLine, ReadsWhatTheConsoleWritesForEveryKindAndPath)
{
    // The console's own rows of the wizards' reading.
    const wchar_t* const kinds[] = {L"WMA Audiobook", L"WMA Music",     L"WMV Video (standard)",
                                    L"WMV Video (mobile)", L"MP3 Audiobook", L"MP3 Music"};
    const wchar_t* const paths[] = {
        L"C:\\users\\me\\My Documents\\My Media\\WMA Audiobooks\\Night - Day\\Night - Day.wax",
        L"\\\\server\\media\\a-b\\T.WAX",
    };
    for (const wchar_t* kind : kinds) {
        for (const wchar_t* path : paths) {
            CString line;
            line.Format(L"-SourceID=\"Vesperlin Source 7\" -Path=\"%s\" -Type=\"%s\"", path, kind);
            BOOL fromPlaylist = FALSE;
            const WizardCommandLine read = Parse(line, &fromPlaylist);
            EXPECT_EQ(CString(path), read.path) << line.ToNarrow();
            EXPECT_EQ(CString(L"Vesperlin Source 7"), read.sourceId);
            EXPECT_EQ(CString(kind), read.contentType);
            EXPECT_TRUE(fromPlaylist);
            EXPECT_TRUE(CCdWizardApp::IsPlaylistPath(read.path));
        }
    }
}

TEST(CdCommandLine, TableOfHandWrittenLinesAndLinks)
{
    const struct {
        const wchar_t* line;
        const wchar_t* path;
        const wchar_t* sourceId;
        const wchar_t* type;
        bool runs;  // start-up goes on to the sheet
    } cases[] = {
        {L"\"C:\\P\\Emberquay.exe\" -SourceID=\"src\" -Path=\"C:\\M\\B\\B.wax\" -Type=\"WMA Audiobook\"",
         L"C:\\M\\B\\B.wax", L"src", L"WMA Audiobook", true},
        // A hyphen in a folder name does not split the path.
        {L"-sourceid=\"x\" -Path=\"C:\\a-b\\t.wax\" -Type=\"WMA Audiobook\"", L"C:\\a-b\\t.wax", L"x", L"WMA Audiobook",
         true},
        // Options after the path; the device wizard's keys mean nothing here.
        {L"-Path=\"C:\\M\\B.wax\" -MobileMinVersion=2.1 -Type=\"MP3 Music\"", L"C:\\M\\B.wax", L"", L"MP3 Music", true},
        // A bare order file is read and then refused at start-up.
        {L"C:\\M\\B.vpm", L"C:\\M\\B.vpm", L"", L"", false},
        {L"", L"", L"", L"", false},
        // The CD wizard's link: its defaults for the type and the source.
        {L"zkycdburn://C:\\Media\\Book-One\\Book-One.wax", L"C:\\Media\\Book-One\\Book-One.wax", L"Vesperlin",
         L"MP3 Audiobook", true},
        {L"zkycdburn:///C:\\M\\B.wax-SourceId=lib7-Type=WMA Audiobook", L"C:\\M\\B.wax", L"lib7", L"WMA Audiobook", true},
        // The device wizard's link gives no defaults.
        {L"zkytransfer:///C:\\M\\B.wax", L"C:\\M\\B.wax", L"", L"", true},
    };
    for (const auto& c : cases) {
        const WizardCommandLine read = Parse(c.line);
        EXPECT_EQ(CString(c.path), read.path) << CString(c.line).ToNarrow();
        EXPECT_EQ(CString(c.sourceId), read.sourceId) << CString(c.line).ToNarrow();
        EXPECT_EQ(CString(c.type), read.contentType) << CString(c.line).ToNarrow();
        EXPECT_EQ(c.runs, !read.path.IsEmpty() && CCdWizardApp::IsPlaylistPath(read.path) != FALSE)
            << CString(c.line).ToNarrow();
    }
}

TEST(CdCommandLine, KindNamesAreMatchedByTheirText)
{
    const struct {
        const wchar_t* name;
        int kind;
    } cases[] = {
        {L"WMA Audiobook", KindAudiobook}, {L"wma music", KindMusic},       {L"WMV Video (standard)", KindVideo},
        {L"WMV Video (mobile)", KindMobileVideo}, {L"MP3 Audiobook", KindMp3Audiobook}, {L"MP3 Music", KindMp3Music},
        {L"MP3", 0},                       {L"", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kind, ContentKindFromType(c.name)) << CString(c.name).ToNarrow();
}

// --- Discs and tracks ---

constexpr uint64_t kMinute = 60 * 1000;

TEST(DiscPlan, DiscsCountTheTimeThePausesAndTheTrackLimit)
{
    const struct {
        const char* what;
        std::vector<PlannedPart> parts;
        int discs;
    } cases[] = {
        {"nothing chosen", {}, 0},
        {"a title that fits one disc", {{30 * kMinute, 5}, {30 * kMinute, 5}, {15 * kMinute, 1}}, 1},
        {"40, 40 and 1 minutes: the second part starts a disc", {{40 * kMinute, 1}, {40 * kMinute, 1}, {kMinute, 1}}, 2},
        {"79:50 of audio whose pauses do not fit", {{39 * kMinute + 55000, 3}, {39 * kMinute + 55000, 3}}, 2},
        {"the same without markers fits", {{39 * kMinute + 55000, 1}, {39 * kMinute + 55000, 1}}, 1},
        {"a part longer than a disc takes one of its own", {{100 * kMinute, 1}}, 1},
        {"markers beyond 99 tracks count as 99", {{20 * kMinute, 150}}, 1},
        {"two parts of 60 tracks do not share a disc", {{10 * kMinute, 60}, {10 * kMinute, 60}}, 2},
        {"a chosen item without its part counts as a disc", {{10 * kMinute, 1}, {0, 1, false}, {10 * kMinute, 1}}, 3},
        // 20 hours in one go: no 32-bit wrap.
        {"a 20-hour title in 20 parts", std::vector<PlannedPart>(20, PlannedPart{60 * kMinute, 10}), 20},
        {"one 20-hour part", {{20 * 60 * kMinute, 99}}, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.discs, CountDiscsNeeded(c.parts)) << c.what;
}

TEST(DiscPlan, DiscsAreCountedFromThePartsExactLengths)
{
    // Parts whose duration texts read 1:00, 1:30 and 0:45: their headers' lengths decide.
    testsupport::ScratchFolder folder;
    const struct {
        const char* seconds;
        uint64_t ms;
        uint64_t textMs;
    } parts[] = {{"60.9", 60900, 60000}, {"90.95", 90950, 90000}, {"45.99", 45990, 45000}};
    std::vector<PlannedPart> exact, whole;
    uint64_t totalMs = 0;
    int n = 0;
    for (const auto& p : parts) {
        SCOPED_TRACE(p.seconds);
        CString name;
        name.Format(L"Book-Part%02d.wma", ++n);
        const CString path = folder / name;
        ASSERT_EQ(0, mediafixtures::RunTool(folder, std::string("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=") +
                                         p.seconds + " -ac 2 -ar 44100 -c:a wmav2 -b:a 64k " + testsupport::ShellQuoted(path)));
        const uint64_t ms = PartDurationMs(path, p.textMs);
        // The encoder rounds up to its last frame (2,048 samples, 46 ms).
        EXPECT_GE(ms, p.ms - 1);
        EXPECT_LE(ms, p.ms + 100);
        exact.push_back({ms, 1});
        whole.push_back({p.textMs, 1});
        totalMs += ms;
    }
    // A file without a readable header keeps its duration text's length.
    EXPECT_EQ(45000u, PartDurationMs(folder / L"missing.wma", 45000));

    const uint64_t edge = CWMABurn::BlocksNeeded(totalMs, 3, kTrackGapFrames);
    const struct {
        const char* what;
        uint64_t discBlocks;
        int discs;
    } cases[] = {
        {"a disc with room to spare", edge + 500, 1},
        {"a disc the title fills exactly", edge, 1},
        {"a disc one block short", edge - 1, 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.discs, CountDiscsNeeded(exact, c.discBlocks)) << c.what;
    // Whole seconds would have promised one disc where the burn needs two.
    EXPECT_EQ(1, CountDiscsNeeded(whole, edge - 1));
}

TEST(DiscPlan, TracksOfMarkersSkipSubChaptersAndStopAt99)
{
    const CString nbsp6(L'\u00A0', 6);
    std::vector<MarkerEntry> many;
    for (int i = 0; i < 120; ++i) {
        CString name;
        name.Format(L"Chapter %d", i + 1);
        many.push_back({name, static_cast<DWORD>(i * 5000)});
    }
    const struct {
        const char* what;
        std::vector<MarkerEntry> markers;
        std::vector<const wchar_t*> labels;  // the first ones
        size_t count;
    } cases[] = {
        {"no markers: the part is one track", {}, {L"Track 01 (00:00.000)"}, 1},
        {"names trimmed of blanks and brackets",
         {{L"  (Opening) ", 0}, {L"Act II", 65250}, {nbsp6 + L"Scene", 70000}, {L"Finale", 3723005}},
         {L"Track 01: Opening (00:00.000)", L"Track 02: Act II (01:05.250)", L"Track 03: Finale (62:03.005)"},
         3},
        {"a first marker that is a sub-chapter still starts a track",
         {{nbsp6 + L"Prologue", 0}, {nbsp6 + L"Aside", 1000}},
         {L"Track 01: Prologue (00:00.000)"},
         1},
        {"120 markers give 99 tracks", many, {L"Track 01: Chapter 1 (00:00.000)"}, 99},
    };
    for (const auto& c : cases) {
        const std::vector<PlannedTrack> tracks = TracksOfMarkers(c.markers, 4 * 3600 * 1000ull);
        ASSERT_EQ(c.count, tracks.size()) << c.what;
        for (size_t i = 0; i < c.labels.size(); ++i)
            EXPECT_EQ(CString(c.labels[i]), FormatTrackLabel(static_cast<int>(i) + 1, tracks[i])) << c.what;
    }
}

TEST(DiscPlan, DurationTextsInMilliseconds)
{
    const struct {
        const wchar_t* text;
        uint64_t ms;
    } cases[] = {{L"3:07", 187000}, {L"1:02:03", 3723000}, {L"20:00:00", 72000000}, {L"0:00", 0}, {L"", 0}, {L"x:10", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c.ms, DurationTextToMs(c.text)) << CString(c.text).ToNarrow();
}

// --- The Confirm page's texts ---

TEST(ConfirmTexts, PartSizesAreGroupedByThousands)
{
    const struct {
        LONGLONG bytes;
        const wchar_t* text;
    } cases[] = {{0, L"0 KB"},           {1023, L"0 KB"},           {999 * 1024, L"999 KB"},
                 {1234 * 1024, L"1,234 KB"}, {1234567 * 1024, L"1,234,567 KB"}, {0x7FFFFFFF, L"2,097,151 KB"},
                 {3000000000LL, L"2,929,687 KB"}, {5000000000LL, L"4,882,812 KB"}};
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.text), FormatPartSize(c.bytes)) << c.bytes;
}

TEST(ConfirmTexts, SpeedTextAndTheSpeedStored)
{
    const DriveSpeedList speeds = {{706, "4.0x"}, {1760, "10.0x"}, {4224, "24.0x"}};
    const struct {
        const char* what;
        DriveSpeedList speeds;
        ULONG stored;
        BOOL testMode;
        const wchar_t* text;
        bool store;
        ULONG storedAfter;
    } cases[] = {
        {"a speed offered", speeds, 1760, FALSE, L"10.0x (1760 KB/sec)", false, 0},
        {"the highest", speeds, 4224, FALSE, L"Fastest", false, 0},
        {"none stored", speeds, 0, FALSE, L"Fastest", true, 4224},
        {"one not offered", speeds, 1400, FALSE, L"Fastest", true, 4224},
        {"above the highest", speeds, 9000, FALSE, L"Fastest", true, 4224},
        {"test mode", speeds, 706, TRUE, L"4.0x (706 KB/sec) [Test mode (simulate burning)]", false, 0},
        {"a drive without speeds", {}, 1760, FALSE, L"Fastest", false, 0},
    };
    for (const auto& c : cases) {
        bool store = !c.store;
        ULONG speed = 12345;
        EXPECT_EQ(CString(c.text), ChooseSpeedText(c.speeds, c.stored, c.testMode, store, speed)) << c.what;
        EXPECT_EQ(c.store, store) << c.what;
        if (c.store) {
            EXPECT_EQ(c.storedAfter, speed) << c.what;
        }
    }
}

TEST(ConfirmTexts, OptionsItemsStandForTheSpeedsFromTheHighestDown)
{
    const DriveSpeedList speeds = {{706, "4.0x"}, {1760, "10.0x"}, {4224, "24.0x"}};
    EXPECT_EQ((std::vector<ULONG>{4224, 4224, 1760, 706}), CBurnOptionsDialog::ItemSpeeds(speeds, 0));
    EXPECT_EQ((std::vector<ULONG>{1760}), CBurnOptionsDialog::ItemSpeeds({}, 1760));
    const struct {
        ULONG speed;
        int item;
    } cases[] = {{4224, 0}, {1760, 2}, {706, 3}, {0, 0}, {999, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(c.item, CBurnOptionsDialog::ItemForSpeed(speeds, c.speed)) << c.speed;
}

}  // namespace
