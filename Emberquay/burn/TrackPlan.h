// How the chosen parts of a title fall into CD tracks and onto discs: each part is split into
// tracks at its markers (the first marker always starts one; a later marker named with six
// no-break spaces in front is a sub-chapter and starts none; at most 99 a disc), and the discs
// are filled in list order. Durations are counted in CD frames (75 a second) in 64 bits.
#pragma once

#include "BurnJob.h"
#include "TrackList.h"
#include "afx.h"

#include <cstdint>
#include <vector>

// What a disc holds: 79:57 of audio, 99 tracks, and the 2-second pause before every track
// after the first.
inline constexpr uint64_t kDiscSeconds = 4797;
inline constexpr uint64_t kFramesPerSecond = 75;
inline constexpr int kDiscTracks = kMaxCdTracks;

// One chosen part as the disc count sees it.
struct PlannedPart {
    uint64_t durationMs = 0;  // exact (PartDurationMs)
    int tracks = 1;      // its tracks (at least 1)
    bool known = true;   // false: no part object, counted as a whole disc
};

// The number of discs the parts need, in list order, counted as the burn fills a disc (the
// blocks of the exact durations, every track's gap, at most 99 tracks): a part starts a new disc
// when it would not fit in the blocks or tracks left; a part too long for any disc still takes
// one disc of its own.
int CountDiscsNeeded(const std::vector<PlannedPart>& parts, uint64_t discBlocks = kDiscSeconds * kFramesPerSecond,
                     uint64_t gapFrames = kTrackGapFrames);
// A part's exact length in milliseconds from its file's header (rounded up), or textMs (its
// duration text's whole seconds) when the header gives none.
uint64_t PartDurationMs(const CString& path, uint64_t textMs);

// One track of a part, as the burn makes it.
using PlannedTrack = PartTrack;
// The tracks a part of durationMs gives from its markers: the burn's own plan (see TrackList.h).
std::vector<PlannedTrack> TracksOfMarkers(const std::vector<MarkerEntry>& markers, uint64_t durationMs);
// "Track 01: Name (00:05.250)", or "Track 01 (00:00.000)" for a track no marker names.
CString FormatTrackLabel(int number, const PlannedTrack& track);
// A part's markers, read as the burn reads them. FALSE when the file's markers cannot be read.
BOOL ReadPartMarkers(const CString& path, std::vector<MarkerEntry>& markers);
// The part's duration from its "m:ss" or "h:mm:ss" text, in milliseconds (0 when unreadable).
uint64_t DurationTextToMs(const CString& text);
