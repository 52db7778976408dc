// The subset of the mp4v2 library's calls that the chapter server makes, written for this
// suite: open an MP4 file for modification, read track and movie durations and time scales,
// replace the QuickTime chapter list, change the movie time scale, close.
//
//     MP4FileHandle file = MP4Modify(utf8Path);            // null: not an MP4 file we can edit
//     MP4TrackId sound = MP4FindTrackId(file, 0, MP4_AUDIO_TRACK_TYPE);
//     MP4Chapter_t chapters[2] = {{600000, "Opening"}, {3000000, "Part two"}};
//     MP4SetChapters(file, chapters, 2, MP4ChapterTypeQt);
//     bool written = MP4Close(file);
//
// How a file is changed: only the movie header (moov) is rewritten, never the media data, so a
// write costs the same whatever the file's size. The new moov, followed by a small mdat with
// the chapter texts, goes into a run of free boxes large enough for it or after the end of the
// file; then it is made visible by one 8-byte header write, and only then is the old moov (and
// the old chapter texts) turned into a free box. A crash or a full disk at any point leaves a
// file whose first moov is complete: the old chapters or the new ones. Boxes the layer does not
// need are kept byte for byte, and chunk offsets stay valid because no media data moves.
#pragma once

#include <cstdint>

typedef struct MP4FileOpaque* MP4FileHandle;
typedef uint32_t MP4TrackId;
typedef uint64_t MP4Duration;

#define MP4_INVALID_FILE_HANDLE nullptr
#define MP4_INVALID_TRACK_ID 0
#define MP4_AUDIO_TRACK_TYPE "soun"
#define MP4V2_CHAPTER_TITLE_MAX 1023

// One chapter: its duration in milliseconds and its title (UTF-8, NUL-terminated).
struct MP4Chapter_t {
    MP4Duration duration;
    char title[MP4V2_CHAPTER_TITLE_MAX + 1];
};
static_assert(sizeof(MP4Chapter_t) == 1032, "the chapter record is a 64-bit value and 1024 bytes of title");

enum MP4ChapterType {
    MP4ChapterTypeNone = 0,
    MP4ChapterTypeAny = 1,
    MP4ChapterTypeQt = 2,
    MP4ChapterTypeNero = 4,
};

// Opens a file for modification; fileName is UTF-8 (opened as wide text). Null when the file
// cannot be opened for reading and writing or is not an MP4 file whose movie header this
// layer can read (the file is then left as it was).
MP4FileHandle MP4Modify(const char* fileName, uint32_t verbosity = 0, uint32_t flags = 0);

// Tracks, counted and found in file order; type (e.g. "soun") filters, null takes all.
uint32_t MP4GetNumberOfTracks(MP4FileHandle file, const char* type = nullptr, uint8_t subType = 0);
MP4TrackId MP4FindTrackId(MP4FileHandle file, uint16_t index, const char* type = nullptr, uint8_t subType = 0);
// The track's handler type ("soun", "vide", "text", ...), or null for an unknown id.
const char* MP4GetTrackType(MP4FileHandle file, MP4TrackId trackId);
// In the track's own time units.
MP4Duration MP4GetTrackDuration(MP4FileHandle file, MP4TrackId trackId);
uint32_t MP4GetTrackTimeScale(MP4FileHandle file, MP4TrackId trackId);

// Replaces the file's QuickTime chapter list (only MP4ChapterTypeQt is written; a Nero chapter
// list the file has is removed, so that no reader shows the old chapters): the chapters
// follow each other from time 0. Returns the type written, MP4ChapterTypeNone on failure
// (no sound track to carry the reference, a duration sum past 64 bits).
MP4ChapterType MP4SetChapters(MP4FileHandle file, MP4Chapter_t* chapters, uint32_t count,
                              MP4ChapterType type = MP4ChapterTypeQt);

uint32_t MP4GetTimeScale(MP4FileHandle file);
MP4Duration MP4GetDuration(MP4FileHandle file);
// Sets the movie time scale; every duration in movie units (movie, tracks, edit lists) is
// converted to the new scale.
bool MP4SetTimeScale(MP4FileHandle file, uint32_t value);

// Writes the changes (if any) and closes the file. False when they could not be written; the
// file is then as it was before MP4Modify.
bool MP4Close(MP4FileHandle file, uint32_t flags = 0);

namespace mp4 {

// Test seam: makes the next writes of MP4Close stop after a number of bytes, as a crash
// (nothing more reaches the file, not even a clean-up) or a full disk (writes fail, the layer
// cleans up). Extending the file counts its new bytes. Cleared by each MP4Close.
enum class WriteFault { None, Crash, DiskFull };
void SetWriteFault(WriteFault fault, uint64_t bytesAllowed);
// Bytes the last MP4Close wrote or added (for choosing fault points).
uint64_t LastCloseBytes();

}  // namespace mp4
