// The QuickTime text track that carries a chapter list: its samples (a 16-bit length, the
// UTF-8 title, an 'encd' box naming UTF-8) and its box tree.
#pragma once

#include "Mp4.h"
#include "Mp4Box.h"

#include <cstdint>
#include <vector>

namespace mp4 {

Box Leaf(uint32_t type, std::vector<uint8_t> payload);
Box Container(uint32_t type, std::vector<Box> children);

// The samples of the chapters, one after the other; their sizes go to sizes.
std::vector<uint8_t> ChapterSamples(const std::vector<MP4Chapter_t>& chapters, std::vector<uint32_t>& sizes);
// The track (time scale 1000, durations in milliseconds, not shown as a track of its own)
// with its samples in one chunk at dataOffset, in 64 bits when wideOffset.
Box ChapterTrack(MP4TrackId id, const std::vector<MP4Chapter_t>& chapters, const std::vector<uint32_t>& sizes,
                 uint32_t movieTimeScale, uint64_t dataOffset, bool wideOffset);

}  // namespace mp4
