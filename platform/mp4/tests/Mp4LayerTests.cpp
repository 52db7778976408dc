// The MP4 layer on files made by ffmpeg: a write stopped at any point (crash or full disk),
// the movie time scale, repeated writes, and mutated box trees.
#include "Mp4.h"
#include "Mp4Fixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace {

using mp4fixtures::Chapters;
using testsupport::ReadAll;
using testsupport::ScratchFolder;

MP4Chapter_t Chapter(MP4Duration durationMs, const char* title)
{
    MP4Chapter_t chapter{};
    chapter.duration = durationMs;
    std::strncpy(chapter.title, title, MP4V2_CHAPTER_TITLE_MAX);
    return chapter;
}

// What the chapter server does with the layer: chapters for the first sound track.
bool WriteChapters(const CString& path, std::vector<MP4Chapter_t> chapters)
{
    MP4FileHandle file = MP4Modify(path.ToNarrow(CP_UTF8).c_str());
    if (!file)
        return false;
    const MP4TrackId sound = MP4FindTrackId(file, 0, MP4_AUDIO_TRACK_TYPE);
    const bool set = sound != MP4_INVALID_TRACK_ID &&
                     MP4SetChapters(file, chapters.data(), static_cast<uint32_t>(chapters.size())) == MP4ChapterTypeQt;
    return MP4Close(file) && set;
}

int TextTracks(const std::string& layout)
{
    int count = 0;
    for (size_t at = layout.find(" text "); at != std::string::npos; at = layout.find(" text ", at + 1))
        ++count;
    return count;
}

void Copy(const CString& from, const CString& to)
{
    ASSERT_TRUE(CopyFileW(from, to, FALSE));
}

struct StopCase {
    const wchar_t* name;
    bool moovFirst;
    bool ffmpegChapters;
    bool mediaToTheEnd;  // the mdat's size says "to the end of the file"
};

class StoppedWrite : public ::testing::TestWithParam<StopCase> {};

TEST_P(StoppedWrite, LeavesAFileWithTheOldOrTheNewChapters)
{
    ScratchFolder folder;
    CString base = mp4fixtures::MakeAudio(folder, L"base.m4b", GetParam().moovFirst);
    if (GetParam().ffmpegChapters)
        base = mp4fixtures::AddFfmpegChapters(folder, base, L"chaptered.m4b");
    if (GetParam().mediaToTheEnd)
        base = mp4fixtures::Derive(folder, base, "toend", L"toend.m4b");
    const std::string oldChapters = Chapters(folder, base);
    const std::string audio = mp4fixtures::AudioMd5(folder, base);
    const std::vector<BYTE> original = ReadAll(base);
    const std::vector<MP4Chapter_t> next = {Chapter(2500, "New one"), Chapter(7500, "New two")};

    const CString probe = folder / L"probe.m4b";
    Copy(base, probe);
    ASSERT_TRUE(WriteChapters(probe, next));
    const uint64_t total = mp4::LastCloseBytes();
    const std::string newChapters = Chapters(folder, probe);
    ASSERT_EQ(mp4fixtures::ChapterText({{0, 2500, "New one"}, {2500, 10000, "New two"}}), newChapters);
    ASSERT_GT(total, 64u);

    // Around each step of the write (headers of 8 bytes, the body, the last type changes)
    // and spread over it.
    std::set<uint64_t> points = {0, 1, 4, 7, 8, 9, 12, 16, total - 12, total - 9, total - 8, total - 5, total - 4,
                                 total - 1};
    for (uint64_t k = 1; k < 12; ++k)
        points.insert(total * k / 12);

    const CString work = folder / L"work.m4b";
    for (uint64_t point : points) {
        SCOPED_TRACE(point);
        Copy(base, work);
        mp4::SetWriteFault(mp4::WriteFault::DiskFull, point);
        if (!WriteChapters(work, next)) {
            EXPECT_TRUE(ReadAll(work) == original) << "a failed write must leave the file as it was";
        } else {
            EXPECT_EQ(newChapters, Chapters(folder, work));
        }

        Copy(base, work);
        mp4::SetWriteFault(mp4::WriteFault::Crash, point);
        WriteChapters(work, next);
        const std::string chapters = Chapters(folder, work);
        EXPECT_TRUE(chapters == oldChapters || chapters == newChapters) << chapters;
        EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, work));
        EXPECT_TRUE(mp4fixtures::Decodes(folder, work));
        // And the next write after the crash works, with one chapter track.
        ASSERT_TRUE(WriteChapters(work, {Chapter(10000, "After")}));
        EXPECT_EQ(mp4fixtures::ChapterText({{0, 10000, "After"}}), Chapters(folder, work));
        EXPECT_EQ(1, TextTracks(mp4fixtures::Layout(folder, work)));
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, StoppedWrite,
                         ::testing::Values(StopCase{L"MoovLast", false, false, false},
                                           StopCase{L"MoovFirstWithChapters", true, true, false},
                                           StopCase{L"MediaToTheEnd", true, false, true}),
                         [](const auto& info) { return CString(info.param.name).ToNarrow(); });

TEST(Mp4Layer, RepeatedWritesReplaceTheChaptersAndReuseTheFreedSpace)
{
    for (bool moovFirst : {false, true}) {
        SCOPED_TRACE(moovFirst);
        ScratchFolder folder;
        const CString path = mp4fixtures::MakeAudio(folder, L"repeat.m4b", moovFirst);
        const std::string audio = mp4fixtures::AudioMd5(folder, path);
        const std::string tags = mp4fixtures::Tags(folder, path);
        const size_t start = ReadAll(path).size();
        size_t firstGrowth = 0;
        for (int round = 1; round <= 6; ++round) {
            std::vector<MP4Chapter_t> chapters;
            for (int i = 0; i < round; ++i)
                chapters.push_back(Chapter(10000 / round + (i == 0 ? 10000 % round : 0), "Round"));
            ASSERT_TRUE(WriteChapters(path, chapters));
            if (round == 1)
                firstGrowth = ReadAll(path).size() - start;
        }
        const std::string layout = mp4fixtures::Layout(folder, path);
        EXPECT_EQ(1, TextTracks(layout)) << layout;
        EXPECT_EQ(std::string::npos, layout.find("fault")) << layout;
        EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, path));
        EXPECT_EQ(tags, mp4fixtures::Tags(folder, path));
        EXPECT_LE(ReadAll(path).size() - start, 4 * firstGrowth) << layout;
        EXPECT_TRUE(mp4fixtures::Decodes(folder, path));
    }
}

TEST(Mp4Layer, ChangingTheMovieTimeScaleKeepsEveryDuration)
{
    ScratchFolder folder;
    const CString made = mp4fixtures::MakeAudio(folder, L"made.m4b", false);
    const CString fine = mp4fixtures::Derive(folder, made, "timescale", L"fine.m4b", "48000");
    const std::string probe = "ffprobe -v error -show_entries format=duration:stream=start_time,duration -of csv=p=0 ";
    std::string before, after;
    mediafixtures::RunTool(folder, probe + testsupport::ShellQuoted(fine), &before);

    MP4FileHandle file = MP4Modify(fine.ToNarrow(CP_UTF8).c_str());
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(48000u, MP4GetTimeScale(file));
    const MP4Duration duration = MP4GetDuration(file);
    EXPECT_TRUE(MP4SetTimeScale(file, 1000));
    EXPECT_EQ(1000u, MP4GetTimeScale(file));
    EXPECT_EQ(duration / 48, MP4GetDuration(file));
    EXPECT_FALSE(MP4SetTimeScale(file, 0));
    ASSERT_TRUE(MP4Close(file));

    mediafixtures::RunTool(folder, probe + testsupport::ShellQuoted(fine), &after);
    EXPECT_EQ(before, after);
    EXPECT_NE(std::string::npos, mp4fixtures::Layout(folder, fine).find("movie timescale=1000 duration=10"));
}

TEST(Mp4Layer, FilesItCannotReadAreRefusedAndLeftAlone)
{
    ScratchFolder folder;
    EXPECT_EQ(nullptr, MP4Modify(nullptr));
    EXPECT_EQ(nullptr, MP4Modify((folder / L"missing.m4b").ToNarrow(CP_UTF8).c_str()));
    const CString text = folder / L"text.m4b";
    testsupport::WriteAll(text, std::string("not an MP4 file at all\r\n"));
    EXPECT_EQ(nullptr, MP4Modify(text.ToNarrow(CP_UTF8).c_str()));
    const std::vector<BYTE> left = ReadAll(text);
    EXPECT_EQ("not an MP4 file at all\r\n", std::string(left.begin(), left.end()));
    EXPECT_FALSE(MP4Close(nullptr));
    EXPECT_EQ(0u, MP4GetNumberOfTracks(nullptr));
    EXPECT_EQ(nullptr, MP4GetTrackType(nullptr, 1));
}

TEST(Mp4Layer, FragmentedFilesAreRefusedAndLeftAlone)
{
    ScratchFolder folder;
    const CString fragmented = mp4fixtures::MakeFragmented(folder, L"fragmented.m4a");
    ASSERT_NE(std::string::npos, mp4fixtures::Layout(folder, fragmented).find("moof"));
    const std::vector<BYTE> before = ReadAll(fragmented);
    EXPECT_FALSE(WriteChapters(fragmented, {Chapter(1000, "One"), Chapter(3000, "Two")}));
    EXPECT_EQ(before, ReadAll(fragmented));
}

TEST(Mp4Layer, AMovieHeaderToTheEndOfTheFileIsReadAndWritten)
{
    ScratchFolder folder;
    const CString made = mp4fixtures::MakeAudio(folder, L"made.m4b", false);
    // The movie header is the last box, its size 0: "to the end of the file".
    const CString toEnd = mp4fixtures::Derive(folder, made, "toend", L"toend.m4b");
    ASSERT_EQ(0, std::memcmp(ReadAll(made).data(), ReadAll(toEnd).data(), 16));
    const std::string audio = mp4fixtures::AudioMd5(folder, toEnd);
    ASSERT_TRUE(WriteChapters(toEnd, {Chapter(4000, "First"), Chapter(6000, "Second")}));
    EXPECT_EQ(mp4fixtures::ChapterText({{0, 4000, "First"}, {4000, 10000, "Second"}}), Chapters(folder, toEnd));
    EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, toEnd));
    const std::string layout = mp4fixtures::Layout(folder, toEnd);
    EXPECT_EQ(std::string::npos, layout.find("fault")) << layout;
    EXPECT_TRUE(mp4fixtures::Decodes(folder, toEnd));
}

TEST(Mp4Layer, AnExistingPictureChapterTrackKeepsOneChapterReference)
{
    ScratchFolder folder;
    const CString made = folder / L"pictures.mp4";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=6 -f lavfi -i "
                                   "color=c=blue:s=64x64:d=6:r=1 -map 0 -map 1 -c:a aac -c:v mpeg4 " +
                                       testsupport::ShellQuoted(made));
    const CString pictures = mp4fixtures::Derive(folder, made, "chapref", L"chapref.mp4");
    const std::string before = mp4fixtures::Layout(folder, pictures);
    ASSERT_NE(std::string::npos, before.find("soun stco chap=2 ")) << before;
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(WriteChapters(pictures, {Chapter(2000, "Open"), Chapter(4000, "Close")}));
        EXPECT_EQ(mp4fixtures::ChapterText({{0, 2000, "Open"}, {2000, 6000, "Close"}}), Chapters(folder, pictures));
        // One reference box: the chapters written first, the picture track after them.
        const std::string layout = mp4fixtures::Layout(folder, pictures);
        EXPECT_EQ(1, TextTracks(layout)) << layout;
        const size_t text = layout.find(" text ");
        ASSERT_NE(std::string::npos, text) << layout;
        const std::string textId = layout.substr(layout.rfind("track ", text) + 6, text - layout.rfind("track ", text) - 6);
        EXPECT_NE(std::string::npos, layout.find("soun stco chap=" + textId + ",2 ")) << layout;
    }
    EXPECT_TRUE(mp4fixtures::Decodes(folder, pictures));
}

TEST(Mp4Layer, ALargeFreeBoxAtTheEndCostsNoMoreThanASmallOne)
{
    for (bool moovFirst : {false, true}) {
        SCOPED_TRACE(moovFirst);
        ScratchFolder folder;
        const CString made = mp4fixtures::MakeAudio(folder, L"made.m4b", moovFirst);
        // 4.5 GiB, sparse: nothing of it is ever read or copied.
        const CString padded = mp4fixtures::Derive(folder, made, "freetail", L"padded.m4b", "4831838208");
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(padded, GetFileExInfoStandard, &data));
        const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        ASSERT_GT(size, 4831838208ull);
        const std::string audio = mp4fixtures::AudioMd5(folder, padded);
        PROCESS_MEMORY_COUNTERS memory{};
        memory.cb = sizeof(memory);
        ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)));
        const SIZE_T peakBefore = memory.PeakPagefileUsage;
        ASSERT_TRUE(WriteChapters(padded, {Chapter(5000, "First"), Chapter(5000, "Second")}));
        ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof(memory)));
        EXPECT_LT(memory.PeakPagefileUsage - peakBefore, static_cast<SIZE_T>(64) << 20);
        // The header went into the free box, which keeps the rest: the file is as long as before.
        ASSERT_TRUE(GetFileAttributesExW(padded, GetFileExInfoStandard, &data));
        EXPECT_EQ(size, (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        EXPECT_EQ(mp4fixtures::ChapterText({{0, 5000, "First"}, {5000, 10000, "Second"}}), Chapters(folder, padded));
        EXPECT_EQ(audio, mp4fixtures::AudioMd5(folder, padded));
        const std::string layout = mp4fixtures::Layout(folder, padded);
        EXPECT_EQ(std::string::npos, layout.find("fault")) << layout;
        ASSERT_TRUE(WriteChapters(padded, {Chapter(10000, "Again")}));
        EXPECT_EQ(mp4fixtures::ChapterText({{0, 10000, "Again"}}), Chapters(folder, padded));
    }
}

// Where a mutation may change the file: box sizes, entry counts and chunk offsets of the movie
// header, found by a walk of its own.
void CollectFields(const std::vector<BYTE>& data, size_t start, size_t end, std::vector<size_t>& fields)
{
    static const char* const containers[] = {"moov", "trak", "mdia", "minf", "stbl", "edts", "tref", "dinf", "udta"};
    static const char* const counted[] = {"stco", "co64", "stsz", "stts", "stsc", "elst", "stsd", "dref"};
    size_t pos = start;
    while (pos + 8 <= end) {
        const uint32_t size = (data[pos] << 24) | (data[pos + 1] << 16) | (data[pos + 2] << 8) | data[pos + 3];
        const std::string type(reinterpret_cast<const char*>(&data[pos + 4]), 4);
        if (size < 8 || pos + size > end)
            return;
        fields.push_back(pos);
        if (std::find(std::begin(containers), std::end(containers), type) != std::end(containers))
            CollectFields(data, pos + 8, pos + size, fields);
        if (std::find(std::begin(counted), std::end(counted), type) != std::end(counted) && size >= 16) {
            fields.push_back(pos + 12);
            if (type == "stco" && size >= 20)
                fields.push_back(pos + 16);
            if (type == "stsz" && size >= 20)
                fields.push_back(pos + 16);
        }
        if ((type == "mvhd" || type == "tkhd" || type == "mdhd") && size >= 32)
            fields.push_back(pos + (type == "mvhd" || type == "mdhd" ? 20 : 28));
        pos += size;
    }
}

TEST(Mp4Layer, MutatedBoxTreesNeverCrashAndAFailedCallLeavesTheFile)
{
    ScratchFolder folder;
    const CString made = mp4fixtures::MakeAudio(folder, L"small.m4b", true, 2);
    const CString base = mp4fixtures::AddFfmpegChapters(folder, made, L"base.m4b");
    const std::vector<BYTE> original = ReadAll(base);
    std::vector<size_t> fields;
    CollectFields(original, 0, original.size(), fields);
    ASSERT_GT(fields.size(), 40u);
    const uint32_t values[] = {0, 1, 7, 8, 0x7FFFFFFF, 0xFFFFFFFF, 0x10000};
    const CString work = folder / L"mutant.m4b";
    int opened = 0, written = 0;
    for (size_t field : fields) {
        for (uint32_t value : values) {
            std::vector<BYTE> mutant = original;
            mutant[field] = static_cast<BYTE>(value >> 24);
            mutant[field + 1] = static_cast<BYTE>(value >> 16);
            mutant[field + 2] = static_cast<BYTE>(value >> 8);
            mutant[field + 3] = static_cast<BYTE>(value);
            testsupport::WriteAll(work, mutant.data(), mutant.size());
            MP4FileHandle file = MP4Modify(work.ToNarrow(CP_UTF8).c_str());
            if (!file) {
                ASSERT_TRUE(ReadAll(work) == mutant) << "refused, yet changed: field " << field;
                continue;
            }
            ++opened;
            const MP4TrackId sound = MP4FindTrackId(file, 0, MP4_AUDIO_TRACK_TYPE);
            (void)MP4GetTrackDuration(file, sound);
            (void)MP4GetTrackTimeScale(file, sound);
            MP4Chapter_t chapters[] = {Chapter(500, "One"), Chapter(1500, "Two")};
            MP4SetChapters(file, chapters, 2);
            if (MP4GetDuration(file) > 0)
                MP4SetTimeScale(file, 1000);
            if (!MP4Close(file)) {
                ASSERT_TRUE(ReadAll(work) == mutant) << "failed, yet changed: field " << field;
                continue;
            }
            ++written;
            // What the layer wrote it can read again.
            MP4FileHandle again = MP4Modify(work.ToNarrow(CP_UTF8).c_str());
            EXPECT_NE(nullptr, again) << "field " << field << " value " << value;
            MP4Close(again);
        }
    }
    EXPECT_GT(opened, 0);
    EXPECT_GT(written, 0);
}

}  // namespace
