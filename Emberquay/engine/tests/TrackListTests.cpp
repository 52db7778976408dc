// The track starts of a part, from its markers.
#include "TrackList.h"

#include <gtest/gtest.h>

namespace {

const wchar_t kSub[] = L"\u00A0\u00A0\u00A0\u00A0\u00A0\u00A0Sub";

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
        {"within the first 4 s", {{L"A", 3999}, {L"B", 4000}, {L"C", 4001}}, 60000, {0, 4001, 60001}},
        {"closer than 4 s to the last start", {{L"A", 10000}, {L"B", 13999}, {L"C", 14000}, {L"D", 14001}}, 60000,
         {0, 10000, 14001, 60001}},
        {"sub-markers start no track", {{L"A", 10000}, {kSub, 20000}, {L"C", 30000}}, 60000, {0, 10000, 30000, 60001}},
        {"a first sub-marker starts one", {{kSub, 10000}, {kSub, 20000}}, 60000, {0, 10000, 60001}},
        {"five spaces are a name", {{L"A", 10000}, {L"\u00A0\u00A0\u00A0\u00A0\u00A0x", 20000}}, 60000,
         {0, 10000, 20000, 60001}},
        {"markers out of order", {{L"A", 20000}, {L"B", 10000}, {L"C", 30000}}, 60000, {0, 20000, 30000, 60001}},
    };
    for (const SplitCase& c : cases) {
        TrackBoundaries b;
        const int tracks = CloseTrackList(&b, AcceptTrackStarts(c.markers, &b), c.durationMs);
        std::vector<DWORD> got(b.ms, b.ms + tracks + 1);
        EXPECT_EQ(c.boundaries, got) << c.name;
    }
}

TEST(TrackList, StopsAtTheTrackLimitOfADisc)
{
    for (int count : {97, 98, 99, 150}) {
        std::vector<TrackMarker> markers;
        for (int i = 1; i <= count; ++i)
            markers.push_back({L"M", static_cast<DWORD>(i) * 5000});
        TrackBoundaries b;
        const int starts = AcceptTrackStarts(markers, &b);
        const int tracks = CloseTrackList(&b, starts, (count + 1) * 5000);
        EXPECT_EQ(std::min(count, kMaxCdTracks), starts) << count;
        // 97 starts leave room for the closing boundary; 98 and more do not.
        EXPECT_EQ(count == 97 ? 98 : std::min(count, kMaxCdTracks), tracks) << count;
        EXPECT_LE(tracks, kMaxCdTracks);
    }
}

}  // namespace
