// The CD tracks of one part: where they start (the part's chapter markers, filtered) and where
// the last one ends.
//
//     std::vector<TrackMarker> markers;
//     ReadPartMarkers(path, &markers);                  // a file without markers gives none
//     TrackBoundaries b;
//     int tracks = CloseTrackList(&b, AcceptTrackStarts(markers, &b), durationMs);
//     // track t (from 1) runs from b.ms[t - 1] to b.ms[t]
#pragma once

#include "afx.h"

#include <vector>

// A CD holds at most 99 tracks.
inline constexpr int kMaxCdTracks = 99;
// A marker less than this after the previous track start (or the part's start) starts no track.
inline constexpr DWORD kMinTrackMs = 4000;
// Markers whose names start with this many no-break spaces are sub-markers: they start no track
// unless they would be the first one.
inline constexpr int kSubMarkerSpaces = 6;

struct TrackMarker {
    CString name;
    DWORD time = 0;  // milliseconds from the start of the part
};

struct TrackBoundaries {
    DWORD ms[kMaxCdTracks + 1] = {};  // ms[0] = 0
};

// Reads a part's markers: the suite's marker list for an MP3 file, the header's own markers
// otherwise. A file that cannot be opened gives no markers (and its failure).
HRESULT ReadPartMarkers(const wchar_t* path, std::vector<TrackMarker>* markers);

// Fills b->ms[1..n] with the accepted track starts and returns n (0 to 99).
int AcceptTrackStarts(const std::vector<TrackMarker>& markers, TrackBoundaries* b);

// Adds the closing boundary (the part's end) when the starts leave room for one more track and
// returns the part's track count. With 98 or 99 starts the last track runs to the part's end.
int CloseTrackList(TrackBoundaries* b, int starts, DWORD durationMs);
