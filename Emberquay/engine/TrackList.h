// The CD tracks of one part, as every page of the wizard and the burn see them: where they start
// (the part's chapter markers, filtered) and where the last one ends. The Confirm page's counts,
// the Tracks dialog and the burn all take their tracks from PlanPartTracks, so what the user is
// shown is what is burned.
//
//     std::vector<TrackMarker> markers;
//     ReadPartMarkers(path, &markers);                  // a file without markers gives none
//     const std::vector<PartTrack> tracks = PlanPartTracks(markers, durationMs);
//     TrackBoundaries b;
//     int count = TrackBoundariesOf(tracks, durationMs, &b);
//     // track t (from 1) runs from b.ms[t - 1] to b.ms[t]
#pragma once

#include "MediaMarkers.h"
#include "afx.h"

#include <vector>

// A CD holds at most 99 tracks.
inline constexpr int kMaxCdTracks = 99;
// The shortest track an audio CD takes: a marker less than this after the previous track start
// starts no track, and neither does one less than this before the part's end.
inline constexpr DWORD kMinTrackMs = 4000;
// Markers whose names start with this many no-break spaces are sub-markers: they start no track
// unless they would be the first one.
inline constexpr int kSubMarkerSpaces = 6;

using TrackMarker = MarkerEntry;

// One track of a part: its name (the marker's, trimmed of blanks and the characters "()"; empty
// for a first track no marker names) and its start in milliseconds from the part's start.
struct PartTrack {
    CString name;
    DWORD startMs = 0;
};

struct TrackBoundaries {
    DWORD ms[kMaxCdTracks + 1] = {};  // ms[0] = 0
};

// Reads a part's markers: the suite's marker list for an MP3 file, the header's own markers
// otherwise. A file that cannot be opened gives no markers (and its failure).
HRESULT ReadPartMarkers(const wchar_t* path, std::vector<TrackMarker>* markers);

// The tracks of a part of durationMs (0: not known, no marker is dropped for the end): the first
// starts at 0; a marker starts the next one when it lies at least 4 s after the previous start and
// at least 4 s before the end, is not a sub-marker and the part has fewer than 99 tracks. A marker
// in the first 4 s names the first track. At least one track, at most 99.
std::vector<PartTrack> PlanPartTracks(const std::vector<TrackMarker>& markers, DWORD durationMs);

// The boundaries of the planned tracks: b->ms[0..n - 1] their starts and b->ms[n] just past the
// part's end. Returns n.
int TrackBoundariesOf(const std::vector<PartTrack>& tracks, DWORD durationMs, TrackBoundaries* b);
