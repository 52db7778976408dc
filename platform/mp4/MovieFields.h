// Fixed fields of the movie header's full boxes (mvhd, tkhd, mdhd, elst, stco/co64, stsz)
// as the MP4 layer reads and changes them. A box is checked with Fits before its fields are read.
#pragma once

#include "Mp4Box.h"

#include <cstdint>
#include <vector>

namespace mp4 {

// value x to / from without overflow for every value, with from and to below 2^32.
uint64_t Rescale(uint64_t value, uint32_t from, uint32_t to);

// Where a full box keeps its time scale and duration, by its version.
struct FieldLayout {
    size_t minimum;    // payload bytes the box needs
    size_t timescale;  // 0: none
    size_t duration;
    bool wide;         // duration in 64 bits
};
FieldLayout MovieHeaderLayout(const Box& mvhd);
FieldLayout TrackHeaderLayout(const Box& tkhd);
FieldLayout MediaHeaderLayout(const Box& mdhd);

// The box exists, has version 0 or 1 and holds every field of its layout.
bool Fits(const Box* box, FieldLayout (*layout)(const Box&));
uint64_t ReadDuration(const Box& box, const FieldLayout& layout);
// Writes a duration; a version 0 box whose field is too narrow becomes version 1.
void WriteDuration(Box& box, FieldLayout (*layout)(const Box&), uint64_t value);
// The track id of a checked tkhd.
uint32_t TrackIdOf(const Box& tkhd);
// Converts an edit list's segment durations (movie units) to another scale.
bool RescaleEditList(Box& elst, uint32_t from, uint32_t to);

// The chunk offsets of a sample table, or false when it has none or they do not fit.
bool ChunkOffsets(const Box& stbl, std::vector<uint64_t>& offsets);
// The sum of a sample table's sample sizes, or false.
bool SampleBytes(const Box& stbl, uint64_t& total);

}  // namespace mp4
