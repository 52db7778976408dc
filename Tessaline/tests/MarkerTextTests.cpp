// The marker text and the chapters it becomes, as pure functions.
#include "MarkerText.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<int64_t, std::string>>;

Entries Parse(const std::string& text, int length)
{
    std::vector<MarkerEntry> entries(kMaxMarkers + 1);
    const int count = ParseMarkerText(text.data(), length, entries.data());
    Entries out;
    for (int i = 0; i < count; ++i)
        out.emplace_back(entries[i].startMs, entries[i].title);
    return out;
}

constexpr int kWhole = INT_MIN;

struct ParseCase {
    const char* name;
    std::string text;
    int length;  // kWhole: the whole text
    Entries expected;
};

std::string Lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::to_string(i) + " Line " + std::to_string(i) + "\r\n";
    return text;
}

TEST(MarkerText, ParsesTheTable)
{
    const std::string longTitle(1500, 'x');
    const ParseCase cases[] = {
        {"CR LF lines", "0 Opening\r\n600000 Part two\r\n", kWhole, {{0, "Opening"}, {600000, "Part two"}}},
        {"LF lines", "0 Opening\n600000 Part two\n", kWhole, {{0, "Opening"}, {600000, "Part two"}}},
        {"CR lines", "0 Opening\r600000 Part two", kWhole, {{0, "Opening"}, {600000, "Part two"}}},
        {"blanks and tabs before the title are skipped, inner ones kept", "1000 \t  Two  words \n", kWhole,
         {{1000, "Two  words "}}},
        {"a tab separates within its line, whatever comes later", "1000\tOne\r\n2000 Two", kWhole,
         {{1000, "One"}, {2000, "Two"}}},
        {"a leading # gives nothing", "# 0 Opening\n1000 Two\n", kWhole, {}},
        {"a # where a marker may start ends the text", "0 A\n  # stop\n1000 B\n", kWhole, {{0, "A"}}},
        {"a # inside a title is text", "0 Part #1\n", kWhole, {{0, "Part #1"}}},
        {"a time without a separator gives nothing", "1000\n2000\t\n3000 C", kWhole, {{2000, ""}, {3000, "C"}}},
        {"a line starting with anything else is skipped", "x1000 A\n-5 B\n\xE9 C\n2000 D", kWhole, {{2000, "D"}}},
        {"empty lines and leading blanks", "\r\n\r\n  \t 5 Five", kWhole, {{5, "Five"}}},
        {"a time field past 15 characters is read as its first 15", "12345678901234567890 Long\n", kWhole,
         {{123456789012345, "Long"}}},
        {"the time is the field's leading number", "12ab Title\n", kWhole, {{12, "Title"}}},
        {"NULs between lines are skipped", std::string("0 A\n\0\0" "5 B", 9), 9, {{0, "A"}, {5, "B"}}},
        {"the length ends the text", "0 Opening\n1000 Second", 9, {{0, "Opening"}}},
        {"a long title is cut to 1023 characters", "0 " + longTitle, kWhole, {{0, longTitle.substr(0, 1023)}}},
        {"empty", "", kWhole, {}},
        {"length 0", "0 A", 0, {}},
        {"negative length", "0 A", -4, {}},
    };
    for (const ParseCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Parse(c.text, c.length == kWhole ? static_cast<int>(c.text.size()) : c.length));
    }
    EXPECT_EQ(0, ParseMarkerText(nullptr, 10, nullptr));
}

TEST(MarkerText, StopsAtTheTwoHundredFiftySixthLine)
{
    const std::string text = Lines(257);
    const Entries entries = Parse(text, static_cast<int>(text.size()));
    ASSERT_EQ(256u, entries.size());
    EXPECT_EQ(Entries::value_type(255, "Line 255"), entries.back());
}

MarkerEntry Marker(int64_t startMs, const char* title)
{
    MarkerEntry entry{};
    entry.startMs = startMs;
    std::strncpy(entry.title, title, kMaxTitleLength);
    return entry;
}

struct BuildCase {
    const char* name;
    std::vector<MarkerEntry> entries;
    uint64_t duration;
    uint32_t timeScale;
    Entries expected;  // duration in ms, title
};

TEST(MarkerText, BuildsChapters)
{
    const BuildCase cases[] = {
        // 3,600,000 ms at 44.1 kHz; the third marker lies after the end, the second chapter
        // ends with the track.
        {"three markers, one after the end",
         {Marker(0, "Opening"), Marker(600000, "Part two"), Marker(4000000, "Late")},
         158760000, 44100, {{600000, "Opening"}, {3000000, "Part two"}}},
        {"an untitled marker leaves the chapters at their times",
         {Marker(0, "A"), Marker(1000, ""), Marker(2000, "C")}, 3000, 1000, {{2000, "A"}, {1000, "C"}}},
        {"a marker at the track end gives no chapter", {Marker(0, "A"), Marker(3000, "B")}, 3000, 1000,
         {{3000, "A"}}},
        {"the first chapter starts the track", {Marker(500, "A"), Marker(1500, "B")}, 3000, 1000,
         {{1500, "A"}, {1500, "B"}}},
        {"markers are taken in time order", {Marker(2000, "B"), Marker(0, "A"), Marker(1000, "C")}, 3000, 1000,
         {{1000, "A"}, {1000, "C"}, {1000, "B"}}},
        {"of two markers at one time the later one stays", {Marker(0, "A"), Marker(0, "B"), Marker(1000, "C")},
         2000, 1000, {{1000, "B"}, {1000, "C"}}},
        {"the track end in milliseconds is cut, not rounded", {Marker(0, "A")}, 480047, 48000, {{10000, "A"}}},
        {"time scale 0", {Marker(0, "A")}, 1000, 0, {}},
        {"an empty track", {Marker(0, "A")}, 0, 1000, {}},
        {"no markers", {}, 1000, 1000, {}},
    };
    for (const BuildCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<MP4Chapter_t> chapters =
            BuildChapters(c.entries.data(), static_cast<int>(c.entries.size()), c.duration, c.timeScale);
        Entries got;
        for (const MP4Chapter_t& chapter : chapters)
            got.emplace_back(static_cast<int64_t>(chapter.duration), chapter.title);
        EXPECT_EQ(c.expected, got);
    }
}

}  // namespace
