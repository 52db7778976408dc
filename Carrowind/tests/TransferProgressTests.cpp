// The Progress page's arithmetic without its window: part weights, durations, the elapsed
// time, and how the workers' reports move the position (percents of a part, Zune byte
// counts, iTunes step percents, the run-back of a cancel), at and past the total; and the
// texts the Confirm page makes of sizes, folders and part paths.
#include "ConfirmPage.h"
#include "TransferProgress.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(TransferProgress, WeightsDurationsAndElapsedTexts)
{
    const struct {
        ULONGLONG size;
        double weight;
    } weights[] = {{0, 1.0}, {1000, 1.0}, {1024, 1.0}, {2048, 2.0}, {1536, 1.5}, {100ull << 20, 102400.0}};
    for (const auto& c : weights)
        EXPECT_DOUBLE_EQ(c.weight, PartWeight(c.size)) << c.size;

    const struct {
        const wchar_t* text;
        int seconds;
    } durations[] = {
        {L"12:34", 755},  {L"30:00", 1801}, {L"0:00", 1},      {L"1:02:03", 3724}, {L"10:00:00", 36001},
        {L" 2 : 05 ", 126}, {L"90", 0},     {L"", 0},          {L"a:10", 0},       {L"1::2", 0},
        {L"-1:30", 0},    {L"5:", 0},       {L"99999999999:00", 0},
    };
    for (const auto& c : durations)
        EXPECT_EQ(c.seconds, PartDurationSeconds(c.text)) << CString(c.text).ToNarrow();

    const struct {
        long long seconds;
        const wchar_t* text;
    } elapsed[] = {{0, L"00:00"},        {59, L"00:59"},         {3599, L"59:59"},
                   {3600, L"01:00:00"}, {90061, L"25:01:01"},   {-5, L"00:00"}};
    for (const auto& c : elapsed)
        EXPECT_EQ(CString(c.text), FormatElapsed(c.seconds)) << c.seconds;
}

// Device-manager percents of two parts of 100 and 300 units, one report after the other.
TEST(TransferProgress, PercentsOfEachPartMoveTheBarOnlyForward)
{
    CTransferProgress progress;
    progress.SetWeights({100.0, 300.0});
    EXPECT_EQ(401, progress.Range());
    const struct {
        int index;
        int percent;
        std::vector<int> finished;
        double increase;
        int bar;  // the page shows done + 1
    } steps[] = {
        {0, 50, {0, 0}, 50.0, 51},
        {0, 40, {0, 0}, 0.0, 51},   // fell back: nothing changes
        {0, 50, {0, 0}, 0.0, 51},   // the same again
        {0, 60, {0, 0}, 10.0, 61},
        {1, 50, {1, 0}, 150.0, 251},  // part 1 has a result: done jumps to 100 first
        {1, 500, {1, 0}, 150.0, 401},  // an estimate of no ticks: at most the whole part, bar at its end
        {2, 10, {1, 1}, 0.0, 401},     // no such part
        {-1, 10, {1, 1}, 0.0, 401},
    };
    for (const auto& s : steps) {
        EXPECT_DOUBLE_EQ(s.increase, progress.OnPercent(s.index, s.percent, s.finished)) << s.index << " " << s.percent;
        EXPECT_EQ(s.bar, progress.BarPosition(1.0)) << s.index << " " << s.percent;
    }

    // A part that failed before this one does not count.
    progress.SetWeights({100.0, 300.0});
    EXPECT_DOUBLE_EQ(30.0, progress.OnPercent(1, 10, {0, 0}));
    EXPECT_EQ(31, progress.BarPosition(1.0));
}

TEST(TransferProgress, ByteCountsStepPercentsAndTheRunBackOfACancel)
{
    EXPECT_DOUBLE_EQ(2.0, CTransferProgress::AmountOf(2048, true));
    EXPECT_DOUBLE_EQ(2048.0, CTransferProgress::AmountOf(2048, false));
    EXPECT_DOUBLE_EQ(4194303.999, std::round(CTransferProgress::AmountOf(0xFFFFFFFFu, true) * 1000) / 1000);

    // Each row: the done amount when the cancel begins, the total, the reports then, and the
    // done amount after each. A cancel at or past the total runs back over one unit.
    const struct {
        double doneBefore;
        double total;
        double ratio;
        std::vector<double> reports;
        std::vector<double> after;
    } cancels[] = {
        {100.0, 400.0, 1.0 / 3.0, {30.0, 30.0, 0.0, 300.0}, {90.0, 80.0, 80.0, 0.0}},
        {0.0, 400.0, 0.0, {50.0, 50.0}, {0.0, 0.0}},
        {400.0, 400.0, 400.0, {0.5, 1.0}, {200.0, 0.0}},
        {399.5, 400.0, 399.5, {0.5}, {199.75}},
        {500.0, 400.0, 500.0, {1.0}, {0.0}},
    };
    for (const auto& c : cancels) {
        CTransferProgress progress;
        progress.SetWeights({c.total});
        progress.Advance(c.doneBefore, false);
        EXPECT_EQ(std::min(progress.Range(), static_cast<int>(c.doneBefore)), progress.BarPosition());
        for (size_t i = 0; i < c.reports.size(); ++i) {
            const BOOL first = progress.Advance(c.reports[i], true);
            EXPECT_EQ(i == 0 && c.reports[i] > 0 ? TRUE : FALSE, first) << c.doneBefore << " #" << i;
            EXPECT_DOUBLE_EQ(c.after[i], progress.Done()) << c.doneBefore << " #" << i;
            EXPECT_GE(progress.BarPosition(), 0);
            EXPECT_LE(progress.BarPosition(), progress.Range());
        }
        EXPECT_DOUBLE_EQ(c.ratio, progress.CancelRatio()) << c.doneBefore;
    }

    // iTunes steps: percent 0 starts over, p puts the step at 0.9 x p of the total.
    CTransferProgress steps;
    steps.SetWeights({100.0, 300.0});
    const struct {
        int percent;
        double increase;
        double done;
    } stepRows[] = {{0, 0.0, 0.0}, {50, 180.0, 180.0}, {40, 0.0, 180.0}, {100, 180.0, 360.0}, {250, 0.0, 360.0},
                    {0, 0.0, 0.0}, {10, 36.0, 36.0}};
    for (const auto& s : stepRows) {
        const double increase = steps.OnStepPercent(s.percent);
        EXPECT_DOUBLE_EQ(s.increase, increase) << s.percent;
        steps.Advance(increase, false);
        EXPECT_DOUBLE_EQ(s.done, steps.Done()) << s.percent;
    }
}

TEST(ConfirmPageTexts, SizesFoldersAndPartPaths)
{
    const struct {
        ULONGLONG bytes;
        const wchar_t* text;
    } sizes[] = {{0, L"0 KB"},          {1023, L"0 KB"},           {1024, L"1 KB"},
                 {999 * 1024, L"999 KB"}, {1000 * 1024, L"1,000 KB"}, {1234567ull * 1024, L"1,234,567 KB"},
                 {300ull << 20, L"307,200 KB"}, {5ull << 40, L"5,368,709,120 KB"}};
    for (const auto& c : sizes)
        EXPECT_EQ(CString(c.text), CConfirmPage::FormatKilobytes(c.bytes)) << c.bytes;

    const struct {
        const wchar_t* oldPath;
        const wchar_t* folder;
        const wchar_t* baseName;
        const wchar_t* path;
    } paths[] = {
        {L"\\Old-Part01.mp3", L"", L"Night", L"\\Night-Part01.mp3"},
        {L"\\Old-Part02.mp3", L"\\", L"Night", L"\\Night-Part02.mp3"},
        {L"\\Music\\Old-Part03.wma", L"\\Books", L"Night", L"\\Books\\Night-Part03.wma"},
        {L"\\Music\\Old-Part03.wma", L"\\Books\\", L"Night", L"\\Books\\Night-Part03.wma"},
        {L"-Part04.mp3", L"\\Books", L"Night", L"\\Books\\Night.mp3"},  // a dash at 0 does not count
        {L"\\Plain.mp3", L"\\Books", L"Night", L"\\Books\\Night.mp3"},
    };
    for (const auto& c : paths)
        EXPECT_EQ(CString(c.path), CConfirmPage::JoinPartPath(c.folder, c.baseName, CConfirmPage::PartPathSuffix(c.oldPath)))
            << CString(c.oldPath).ToNarrow();

    const struct {
        const wchar_t* format;
        const wchar_t* creator;
        const wchar_t* titleFolder;
        const wchar_t* folder;
    } defaults[] = {
        {L"wmv", L"Ada Quill", L"Night", L"\\Video"},
        {L"wma", L"", L"Night", L"\\Music"},
        {L"MP3", L"Ada Quill", L"", L"\\Music"},
        {L"mp3", L"Ada Quill", L"Night", L"\\Music\\Ada Quill\\Night"},
        {L"m4b", L"Ada Quill", L"Night", L"\\"},
    };
    for (const auto& c : defaults)
        EXPECT_EQ(CString(c.folder), CConfirmPage::DefaultFolderFor(c.format, c.creator, c.titleFolder)) << CString(c.format).ToNarrow();

    EXPECT_EQ(CString(L"\\My Media"), CConfirmPage::MobileFolderFor(L"", L""));
    EXPECT_EQ(CString(L"\\My Media\\Audiobooks\\Night"), CConfirmPage::MobileFolderFor(L"Audiobook", L"Night"));
    EXPECT_EQ(CString(L"\\My Media\\Videos"), CConfirmPage::MobileFolderFor(L"Video", L""));
}

}  // namespace
