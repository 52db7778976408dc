#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mediafixtures {

using testsupport::ScratchFolder;
using testsupport::UnixPath;

std::string Arg(const CString& windowsPath) { return testsupport::ShellQuoted(windowsPath); }

int RunTool(const ScratchFolder& folder, const std::string& commandLine, std::string* output)
{
    const CString err = folder / L"tool.err";
    const int code = testsupport::RunHostCommand("(" + commandLine + ") 2>" + Arg(err), output);
    if (code != 0) {
        std::vector<BYTE> bytes = testsupport::ReadAll(err);
        ADD_FAILURE() << "host command failed (" << code << "): " << commandLine << "\n"
                      << std::string(bytes.begin(), bytes.end());
    }
    return code;
}

int RunPython(const ScratchFolder& folder, const std::string& script, std::string* output)
{
    CString path = folder / L"script.py";
    testsupport::WriteAll(path, script);
    return RunTool(folder, "/usr/bin/python3 " + Arg(path), output);
}

CString MakeWma(const ScratchFolder& folder, const wchar_t* name)
{
    CString meta = folder / L"chapters.txt";
    testsupport::WriteAll(meta,
                          ";FFMETADATA1\ntitle=Harbour Lights\nartist=Ada Quill\nalbum=Night Crossing\n"
                          "genre=Spoken Word\ntrack=3\n"
                          "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1500\ntitle=Intro\n"
                          "[CHAPTER]\nTIMEBASE=1/1000\nSTART=1500\nEND=3000\ntitle=Second part\n");
    CString path = folder / name;
    RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3 -i " + Arg(meta) +
                        " -map 0 -map_metadata 1 -map_chapters 1 -metadata WM/Year=2021 -c:a wmav2 -b:a 64k " +
                        Arg(path));
    return path;
}

CString MakeMp3(const ScratchFolder& folder, const wchar_t* name, bool vbr)
{
    CString path = folder / name;
    RunTool(folder, std::string("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3 ") +
                        "-metadata title='Harbour Lights' -metadata artist='Ada Quill' -metadata album='Night Crossing' "
                        "-metadata genre='Spoken Word' -metadata date=2021 -metadata track=3 -c:a libmp3lame " +
                        (vbr ? "-q:a 4 " : "-b:a 64k ") + Arg(path));
    return path;
}

std::string PyText(const std::wstring& text)
{
    std::string out = "'";
    char buffer[16];
    for (wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\' && c != L'\'') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(buffer, sizeof(buffer), "\\u%04x", static_cast<unsigned>(c));
            out += buffer;
        }
    }
    return out + "'";
}

void WriteUserTextFrames(const ScratchFolder& folder, const CString& path,
                         const std::vector<std::pair<std::wstring, std::wstring>>& frames)
{
    std::string list = "[";
    for (const auto& f : frames)
        list += "(" + PyText(f.first) + ", " + PyText(f.second) + "),";
    list += "]";
    RunPython(folder, "import struct, mutagen.id3\n"
                      "path = " + Arg(path) + "\n"
                      "mutagen.id3.delete(path)\n"
                      "def frame(fid, data):\n"
                      "    return fid + struct.pack('>IH', len(data), 0) + data\n"
                      "def u16(s):\n"
                      "    return b'\\xff\\xfe' + s.encode('utf-16-le')\n"
                      "body = frame(b'TIT2', b'\\x01' + u16('Harbour Lights'))\n"
                      "for d, t in " + list + ":\n"
                      "    body += frame(b'TXXX', b'\\x01' + u16(d) + b'\\x00\\x00' + u16(t))\n"
                      "size = len(body)\n"
                      "head = b'ID3\\x03\\x00\\x00' + bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])\n"
                      "audio = open(path, 'rb').read()\n"
                      "open(path, 'wb').write(head + body + audio)\n"
                      "got = [(f.desc, f.text[0]) for f in mutagen.id3.ID3(path).getall('TXXX')]\n"
                      "# mutagen keeps one frame per description, so a duplicate shows once\n"
                      "assert set(got) <= set(" + list + ") and bool(got) == bool(" + list + "), got\n");
}

long long ProbeDurationMs(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    if (RunTool(folder, "ffprobe -v error -show_entries format=duration -of csv=p=0 " + Arg(path), &out) != 0)
        return -1;
    return static_cast<long long>(std::atof(out.c_str()) * 1000.0 + 0.5);
}

}  // namespace mediafixtures
