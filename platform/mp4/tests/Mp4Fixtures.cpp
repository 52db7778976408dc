#include "Mp4Fixtures.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace mp4fixtures {

using mediafixtures::RunTool;
using testsupport::ScratchFolder;
using testsupport::ShellQuoted;

CString MakeAudio(const ScratchFolder& folder, const wchar_t* name, bool moovFirst, int seconds)
{
    const CString path = folder / name;
    RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
                        " -metadata title='Harbour Lights' -metadata artist='Ada Quill' -c:a aac -b:a 64k " +
                        (moovFirst ? "-movflags +faststart " : "") + ShellQuoted(path));
    return path;
}

CString MakeFragmented(const ScratchFolder& folder, const wchar_t* name, int seconds)
{
    const CString path = folder / name;
    RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=" + std::to_string(seconds) +
                        " -c:a aac -movflags frag_keyframe+empty_moov -frag_duration 1000000 " + ShellQuoted(path));
    return path;
}

CString MakeVideoOnly(const ScratchFolder& folder, const wchar_t* name)
{
    const CString path = folder / name;
    RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i color=c=black:s=64x64:d=1 -c:v mpeg4 " + ShellQuoted(path));
    return path;
}

CString AddFfmpegChapters(const ScratchFolder& folder, const CString& path, const wchar_t* name)
{
    const CString meta = folder / L"ffchapters.txt";
    testsupport::WriteAll(meta, ";FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=4000\ntitle=Old one\n"
                                "[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=10000\ntitle=Old two\n");
    const CString out = folder / name;
    RunTool(folder, "ffmpeg -nostdin -v error -y -i " + ShellQuoted(path) + " -i " + ShellQuoted(meta) +
                        " -map 0 -map_chapters 1 -c copy " + ShellQuoted(out));
    return out;
}

std::string Mp4Tool(const ScratchFolder& folder, const std::string& arguments)
{
    std::string out;
    RunTool(folder, "/usr/bin/python3 " + ShellQuoted(testsupport::SourcePath(L"platform/mp4/tests/mp4tool.py")) + " " +
                        arguments, &out);
    return out;
}

CString Derive(const ScratchFolder& folder, const CString& source, const char* command, const wchar_t* name,
               const std::string& argument)
{
    const CString path = folder / name;
    Mp4Tool(folder, std::string(command) + " " + ShellQuoted(source) + " " + ShellQuoted(path) + " " + argument);
    return path;
}

std::string Layout(const ScratchFolder& folder, const CString& path)
{
    return Mp4Tool(folder, "layout " + ShellQuoted(path));
}

long long SoundEndMs(const ScratchFolder& folder, const CString& path)
{
    const std::string layout = Layout(folder, path);
    const size_t at = layout.find(" soun ");
    const size_t media = at == std::string::npos ? at : layout.find("media=", at);
    if (media == std::string::npos)
        return -1;
    unsigned long long duration = 0, scale = 0;
    if (std::sscanf(layout.c_str() + media, "media=%llu/%llu", &duration, &scale) != 2 || scale == 0)
        return -1;
    return static_cast<long long>(duration / scale * 1000 + duration % scale * 1000 / scale);
}

std::string Chapters(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    RunTool(folder, "ffprobe -v error -show_entries chapter=start_time,end_time:chapter_tags=title -of default=nw=1 " +
                        ShellQuoted(path), &out);
    return out;
}

std::string AudioMd5(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    RunTool(folder, "ffmpeg -nostdin -v error -i " + ShellQuoted(path) + " -map 0:a -c copy -f md5 -", &out);
    return out;
}

std::string Tags(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    RunTool(folder, "/usr/bin/python3 -c \"import sys; from mutagen.mp4 import MP4; m = MP4(sys.argv[1]); "
                    "print('%s|%s|%d' % (m.tags['\\xa9nam'][0], m.tags['\\xa9ART'][0], round(m.info.length)))\" " +
                        ShellQuoted(path), &out);
    return out;
}

bool Decodes(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    return RunTool(folder, "ffmpeg -nostdin -v error -xerror -i " + ShellQuoted(path) + " -f null - 2>&1", &out) == 0 &&
           out.empty();
}

std::string ChapterText(std::initializer_list<ExpectedChapter> chapters)
{
    std::string text;
    char line[64];
    for (const ExpectedChapter& c : chapters) {
        std::snprintf(line, sizeof(line), "start_time=%lld.%03lld000\nend_time=%lld.%03lld000\n", c.startMs / 1000,
                      c.startMs % 1000, c.endMs / 1000, c.endMs % 1000);
        text += line;
        text += std::string("TAG:title=") + c.title + "\n";
    }
    return text;
}

}  // namespace mp4fixtures
