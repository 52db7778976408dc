// Where the audio of an MP3 file starts and ends, from the encoder's tag in its first frame
// (the "Xing" or "Info" frame, with the encoder's delay and padding after the encoder's name),
// and what of the decoded audio lies outside: the encoder's delay and the decoder's own
// (kMp3DecoderDelay) before the first sample, the padding after the last.
//
//     wmreader::Mp3Gapless tag;
//     if (wmreader::ReadMp3FileGapless(path, &tag)) {
//         const wmreader::DecodedTrim trim = wmreader::SystemDecoderTrim(tag);
//         // drop trim.skipFrames decoded frames, then hand out trim.keepFrames
//     }
#pragma once

#include <windows.h>

namespace wmreader {

// The samples an MPEG audio layer III decoder gives before the first sample it was fed.
inline constexpr DWORD kMp3DecoderDelay = 529;
// Enough of a file's start to hold an ID3v2 tag of the usual size and the first frame; a longer
// tag is skipped by reading from its end (Mp3FirstFrameOffset).
inline constexpr DWORD kMp3HeadBytes = 16384;

struct Mp3Gapless {
    DWORD rate = 0;             // samples per second
    DWORD frameSamples = 0;     // samples per frame: 1,152 (MPEG-1) or 576 (MPEG-2 and 2.5)
    ULONGLONG frames = 0;       // audio frames after the tag's own frame
    DWORD encoderDelay = 0;     // samples the encoder put before the first one
    DWORD padding = 0;          // samples it put after the last one
    char encoder[10] = {};      // the encoder's name and version, such as "LAME3.100" or "Lavc59.37"
};

// Where the first frame of an MP3 file starts: after its ID3v2 tag (and the tag's footer) when
// it has one. size: the file's size.
ULONGLONG Mp3FirstFrameOffset(const BYTE* head, size_t length, ULONGLONG size);

// Reads the tag of a first frame at frame (length bytes of it); false when it is no layer III
// frame, has no "Xing" or "Info" tag with a frame count and an encoder's delay, or the numbers
// do not add up (a delay and padding longer than the audio).
bool ReadMp3Gapless(const BYTE* frame, size_t length, Mp3Gapless* tag);

// The tag of an MP3 file's first frame, read from the file; false for a file that is not MP3,
// has no such tag or does not read.
bool ReadMp3FileGapless(const wchar_t* path, Mp3Gapless* tag);

// What to drop of the decoded audio of a file with this tag, in the file's own rate.
struct DecodedTrim {
    ULONGLONG skipFrames = 0;  // at the start
    ULONGLONG keepFrames = 0;  // then at most these; 0: all
};
// What the system's decoder leaves to drop: nothing for a tag of LAME's own (a name that starts
// with "LAME": the decoder honours those itself); for any other encoder's tag (ffmpeg's
// "Lavc"/"Lavf") the encoder's and the decoder's delay at the start, and the padding at the
// end, so that frames x samples - delay - padding samples remain.
DecodedTrim SystemDecoderTrim(const Mp3Gapless& tag);

}  // namespace wmreader
