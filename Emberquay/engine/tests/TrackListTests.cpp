// The track starts of a part, from its markers and its duration.
#include "TrackList.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kSub[] = L"\u00A0\u00A0\u00A0\u00A0\u00A0\u00A0Sub";

std::vector<DWORD> Boundaries(const std::vector<TrackMarker>& markers, DWORD durationMs)
{
    TrackBoundaries b;
    const int tracks = TrackBoundariesOf(PlanPartTracks(markers, durationMs), durationMs, &b);
    return std::vector<DWORD>(b.ms, b.ms + tracks + 1);
}

std::vector<TrackMarker> Evenly(int count, DWORD stepMs)
{
    std::vector<TrackMarker> markers;
    for (int i = 1; i <= count; ++i)
        markers.push_back({L"M", static_cast<DWORD>(i) * stepMs});
    return markers;
}

struct SplitCase {
    const char* name;
    std::vector<TrackMarker> markers;
    DWORD durationMs;
    std::vector<DWORD> boundaries;  // ms[0..tracks]
};

TEST(TrackList, SplitsAtTheMarkersThatStartTracks)
{
    const std::vector<SplitCase> cases = {
        {"no markers: one track", {}, 60000, {0, 60001}},
        {"markers at known times", {{L"A", 10000}, {L"B", 25000}, {L"C", 40000}}, 60000, {0, 10000, 25000, 40000, 60001}},
        {"within the first 4 s", {{L"A", 3999}, {L"B", 4000}, {L"C", 4001}}, 60000, {0, 4000, 60001}},
        {"closer than 4 s to the last start", {{L"A", 10000}, {L"B", 13999}, {L"C", 14000}, {L"D", 14001}}, 60000,
         {0, 10000, 14000, 60001}},
        {"markers exactly 4 s apart", Evenly(9, 4000), 40000, {0, 4000, 8000, 12000, 16000, 20000, 24000, 28000, 32000, 36000, 40001}},
        {"markers 2 s apart", Evenly(9, 2000), 20000, {0, 4000, 8000, 12000, 16000, 20001}},
        {"sub-markers start no track", {{L"A", 10000}, {kSub, 20000}, {L"C", 30000}}, 60000, {0, 10000, 30000, 60001}},
        {"a first sub-marker starts one", {{kSub, 10000}, {kSub, 20000}}, 60000, {0, 10000, 60001}},
        {"five spaces are a name", {{L"A", 10000}, {L"\u00A0\u00A0\u00A0\u00A0\u00A0x", 20000}}, 60000,
         {0, 10000, 20000, 60001}},
        {"markers out of order", {{L"A", 20000}, {L"B", 10000}, {L"C", 30000}}, 60000, {0, 20000, 30000, 60001}},
        {"a marker past the end", {{L"A", 10000}, {L"B", 75000}}, 60000, {0, 10000, 60001}},
        {"a marker at the end", {{L"A", 10000}, {L"B", 60000}}, 60000, {0, 10000, 60001}},
        {"a marker less than 4 s before the end joins the last track", {{L"A", 10000}, {L"B", 56001}}, 60000,
         {0, 10000, 60001}},
        {"a marker 4 s before the end", {{L"A", 10000}, {L"B", 56000}}, 60000, {0, 10000, 56000, 60001}},
        {"a duration not known drops no marker for the end", {{L"A", 10000}, {L"B", 75000}}, 0, {0, 10000, 75000, 1}},
    };
    for (const SplitCase& c : cases)
        EXPECT_EQ(c.boundaries, Boundaries(c.markers, c.durationMs)) << c.name;
}

TEST(TrackList, NamesTheTracksFromTheirMarkers)
{
    const std::vector<PartTrack> tracks =
        PlanPartTracks({{L"  (Opening) ", 0}, {L"Act II", 65250}, {kSub, 70000}, {L"L\u00E9a's \"Finale\"", 3723005}}, 4000000);
    ASSERT_EQ(3u, tracks.size());
    EXPECT_EQ(CString(L"Opening"), tracks[0].name);
    EXPECT_EQ(0u, tracks[0].startMs);
    EXPECT_EQ(CString(L"Act II"), tracks[1].name);
    EXPECT_EQ(CString(L"L\u00E9a's \"Finale\""), tracks[2].name);
    EXPECT_EQ(3723005u, tracks[2].startMs);
    EXPECT_EQ(CString(), PlanPartTracks({{L"A", 10000}}, 60000)[0].name);
}

TEST(TrackList, TheStartAnd98MarkersMake99Tracks)
{
    const struct {
        int markers;
        int tracks;
    } cases[] = {{97, 98}, {98, 99}, {99, 99}, {150, 99}};
    for (const auto& c : cases) {
        const DWORD duration = static_cast<DWORD>(c.markers + 1) * 5000;
        const std::vector<DWORD> b = Boundaries(Evenly(c.markers, 5000), duration);
        EXPECT_EQ(static_cast<size_t>(c.tracks) + 1, b.size()) << c.markers;
        EXPECT_EQ(duration + 1, b.back()) << c.markers;
        if (c.tracks == 99) {
            EXPECT_EQ(98u * 5000, b[98]) << c.markers;
        }
    }
}

}  // namespace
