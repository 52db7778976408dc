// MP4 files made at test time by ffmpeg, changed by mp4tool.py, and read back by ffprobe,
// ffmpeg and mutagen: the tools users' players stand for.
#pragma once

#include "MediaFixtures.h"

#include <string>

namespace mp4fixtures {

// Seconds of AAC tone with title "Harbour Lights" and artist "Ada Quill"; moovFirst puts the
// movie header before the media data. extension decides the muxer (".m4b", ".m4a").
CString MakeAudio(const testsupport::ScratchFolder& folder, const wchar_t* name, bool moovFirst, int seconds = 10);
// Seconds of AAC tone as a fragmented movie (an empty movie header, the samples in fragments).
CString MakeFragmented(const testsupport::ScratchFolder& folder, const wchar_t* name, int seconds = 4);
// One second of video and no sound track.
CString MakeVideoOnly(const testsupport::ScratchFolder& folder, const wchar_t* name);
// The file with chapters of ffmpeg's own (a text track): "Old one" 0-4 s, "Old two" 4 s-end.
CString AddFfmpegChapters(const testsupport::ScratchFolder& folder, const CString& path, const wchar_t* name);

// mp4tool.py with these arguments (paths quoted by the caller); its output.
std::string Mp4Tool(const testsupport::ScratchFolder& folder, const std::string& arguments);
// A copy of source changed by an mp4tool.py command ("co64", "big", "timescale", ...), named
// name in the folder; argument follows the two paths.
CString Derive(const testsupport::ScratchFolder& folder, const CString& source, const char* command,
               const wchar_t* name, const std::string& argument = std::string());
std::string Layout(const testsupport::ScratchFolder& folder, const CString& path);
// Where the first sound track ends, in milliseconds (its media duration, cut): where the last
// chapter ends.
long long SoundEndMs(const testsupport::ScratchFolder& folder, const CString& path);
// ffprobe's chapters: "start_time=..\nend_time=..\nTAG:title=..\n" per chapter.
std::string Chapters(const testsupport::ScratchFolder& folder, const CString& path);
// The MD5 of the audio packets as ffmpeg copies them out.
std::string AudioMd5(const testsupport::ScratchFolder& folder, const CString& path);
// mutagen's reading: "title|artist|length in whole seconds".
std::string Tags(const testsupport::ScratchFolder& folder, const CString& path);
// ffmpeg decodes every packet without an error.
bool Decodes(const testsupport::ScratchFolder& folder, const CString& path);

// The expected ffprobe text of chapters given as (start ms, end ms, UTF-8 title).
struct ExpectedChapter {
    long long startMs;
    long long endMs;
    const char* title;
};
std::string ChapterText(std::initializer_list<ExpectedChapter> chapters);

}  // namespace mp4fixtures
