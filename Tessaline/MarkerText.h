// The marker text the device wizard hands over, and the chapters it becomes.
//
//     "0 Opening\r\n600000 Part two\r\n"   one marker per line: the start in milliseconds, a
//                                         blank or tab, the title; '#' ends the text
#pragma once

#include "Mp4.h"

#include <cstdint>
#include <vector>

constexpr int kMaxMarkers = 256;
constexpr int kMaxTitleLength = 1023;

// One marker, laid out as the chapter record (a 64-bit value and 1024 bytes of title).
struct MarkerEntry {
    int64_t startMs;
    char title[kMaxTitleLength + 1];
};
static_assert(sizeof(MarkerEntry) == sizeof(MP4Chapter_t), "a marker entry has the chapter record's layout");

// Parses length bytes of text into at most kMaxMarkers entries, in the order of the text;
// returns how many. A marker line starts with a digit; its time field runs to the first blank
// or tab of that line (a line without one gives no entry), at most 15 characters of it are
// read, and its leading number is the time; the title, after further blanks and tabs, runs to
// the line's end (CR or LF) and is cut to 1023 characters. Lines starting with anything else
// are skipped; '#' ends the text.
int ParseMarkerText(const char* text, int length, MarkerEntry* entries);

// The chapters of the entries for a track of trackDuration units at timeScale units per
// second: entries in time order (stable), those with a title that start before the track's
// end each become a chapter lasting until the next such chapter, the last one until the track
// ends; the first covers the track from its start, since the chapter list starts at 0. Titles
// are copied as they are. Nothing for time scale 0.
std::vector<MP4Chapter_t> BuildChapters(const MarkerEntry* entries, int count, uint64_t trackDuration,
                                        uint32_t timeScale);

// The end of a track in milliseconds.
uint64_t TrackEndMs(uint64_t trackDuration, uint32_t timeScale);
