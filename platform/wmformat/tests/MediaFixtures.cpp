#include "MediaFixtures.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mediafixtures {

using testsupport::ScratchFolder;
using testsupport::ShellQuoted;
using testsupport::UnixPath;

int RunTool(const ScratchFolder& folder, const std::string& commandLine, std::string* output)
{
    const CString err = folder / L"tool.err";
    const int code = testsupport::RunHostCommand("(" + commandLine + ") 2>" + ShellQuoted(err), output);
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
    return RunTool(folder, "/usr/bin/python3 " + ShellQuoted(path), output);
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
    RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3 -i " + ShellQuoted(meta) +
                        " -map 0 -map_metadata 1 -map_chapters 1 -metadata WM/Year=2021 -c:a wmav2 -b:a 64k " +
                        ShellQuoted(path));
    return path;
}

CString MakeMp3(const ScratchFolder& folder, const wchar_t* name, bool vbr)
{
    CString path = folder / name;
    RunTool(folder, std::string("ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3 ") +
                        "-metadata title='Harbour Lights' -metadata artist='Ada Quill' -metadata album='Night Crossing' "
                        "-metadata genre='Spoken Word' -metadata date=2021 -metadata track=3 -c:a libmp3lame " +
                        (vbr ? "-q:a 4 " : "-b:a 64k ") + ShellQuoted(path));
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
                      "path = " + ShellQuoted(path) + "\n"
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
    if (RunTool(folder, "ffprobe -v error -show_entries format=duration -of csv=p=0 " + ShellQuoted(path), &out) != 0)
        return -1;
    return static_cast<long long>(std::atof(out.c_str()) * 1000.0 + 0.5);
}

}  // namespace mediafixtures

namespace mediafixtures {

std::string AsfLayout(const ScratchFolder& folder, const CString& path, bool checkCount)
{
    std::string out;
    RunPython(folder,
              "import struct, hashlib, uuid\n"
              "def g(t): return uuid.UUID(t).bytes_le\n"
              "HEADER = g('75B22630-668E-11CF-A6D9-00AA0062CE6C')\n"
              "PROPS = g('8CABDCA1-A947-11CF-8EE4-00C00C205365')\n"
              "EXTENDED = g('D2D0A440-E307-11D2-97F0-00A0C95EA850')\n"
              "DATA = g('75B22636-668E-11CF-A6D9-00AA0062CE6C')\n"
              "d = open(" + ShellQuoted(path) + ", 'rb').read()\n"
              "def check():\n"
              "    lines = []\n"
              "    if d[:16] != HEADER: return ['fault: no header object']\n"
              "    size, count = struct.unpack('<QI', d[16:28])\n"
              "    pos, n, fsize = 30, 0, None\n"
              "    while pos < size:\n"
              "        kind = d[pos:pos + 16]\n"
              "        s = struct.unpack('<Q', d[pos + 16:pos + 24])[0]\n"
              "        if s < 24 or pos + s > size: return ['fault: object past the header at %d' % pos]\n"
              "        if kind == PROPS: fsize = struct.unpack('<Q', d[pos + 40:pos + 48])[0]\n"
              "        if kind == EXTENDED:\n"
              "            q = pos + 26\n"
              "            for i in range(struct.unpack('<H', d[pos + 24:pos + 26])[0]):\n"
              "                nl = struct.unpack('<H', d[q:q + 2])[0]\n"
              "                name = d[q + 2:q + 2 + nl].decode('utf-16-le').rstrip('\\x00')\n"
              "                q += 2 + nl\n"
              "                t, vl = struct.unpack('<HH', d[q:q + 4])\n"
              "                lines.append('%s:%d:%s' % (name, t, d[q + 4:q + 4 + vl].hex()))\n"
              "                q += 4 + vl\n"
              "            if q != pos + s: return ['fault: descriptors do not fill their object']\n"
              "        pos += s\n"
              "        n += 1\n"
              "    if pos != size: return ['fault: objects do not fill the header']\n"
              "    if " + std::string(checkCount ? "True" : "False") + " and n != count: return ['fault: %d objects, the header says %d' % (n, count)]\n"
              "    if fsize != len(d): return ['fault: file properties say %s bytes, the file has %d' % (fsize, len(d))]\n"
              "    if d[size:size + 16] != DATA: return ['fault: no data object after the header']\n"
              "    if size + struct.unpack('<Q', d[size + 16:size + 24])[0] > len(d): return ['fault: data object past the end']\n"
              "    return ['data=' + hashlib.sha1(d[size:]).hexdigest()] + lines\n"
              "print('\\n'.join(check()))\n",
              &out);
    return out;
}

const char* AsfPython()
{
    return "import struct, uuid\n"
           "def g(t): return uuid.UUID(t).bytes_le\n"
           "EXT = g('5FBF03B5-A92E-11CF-8EE3-00C00C205365')\n"
           "LIB = g('44231C94-9498-49D1-A141-1D134E457054')\n"
           "PAD = g('1806D474-CADF-4509-A4BA-9AABCB96AAE8')\n"
           "FP = g('8CABDCA1-A947-11CF-8EE4-00C00C205365')\n"
           "RESERVED = g('ABD3D211-A9BA-11CF-8EE6-00C00C205365')\n"
           "def objects(d, pos, end):\n"
           "    while pos + 24 <= end:\n"
           "        s = struct.unpack('<Q', d[pos + 16:pos + 24])[0]\n"
           "        if s < 24: return\n"
           "        yield d[pos:pos + 16], pos, s\n"
           "        pos += s\n"
           "def header_size(d): return struct.unpack('<Q', d[16:24])[0]\n"
           "def top(d): return list(objects(d, 30, header_size(d)))\n"
           "def user_text(desc, text, lang=0):\n"
           "    value = (desc + '\\x00' + text + '\\x00').encode('utf-16-le')\n"
           "    name = 'WM/Text\\x00'.encode('utf-16-le')\n"
           "    return struct.pack('<HHHHI', lang, 0, len(name), 1, len(value)) + name + value\n"
           "def library(*records):\n"
           "    body = struct.pack('<H', len(records)) + b''.join(records)\n"
           "    return LIB + struct.pack('<Q', 24 + len(body)) + body\n"
           "def padding(n): return PAD + struct.pack('<Q', n) + bytes(n - 24)\n"
           "def extension(inner, declared=None):\n"
           "    body = RESERVED + struct.pack('<HI', 6, len(inner) if declared is None else declared) + inner\n"
           "    return EXT + struct.pack('<Q', 24 + len(body)) + body\n"
           "def splice(d, pos, old, new, counted=1):\n"
           "    d[pos:pos + old] = new\n"
           "    d[16:24] = struct.pack('<Q', header_size(d) + len(new) - old)\n"
           "    d[24:28] = struct.pack('<I', struct.unpack('<I', d[24:28])[0] + counted)\n"
           "    fp = d.index(FP)\n"
           "    d[fp + 40:fp + 48] = struct.pack('<Q', len(d))\n"
           "def replace_extension(d, new):\n"
           "    k, p, s = [o for o in top(d) if o[0] == EXT][0]\n"
           "    splice(d, p, s, new, 0)\n"
           "def insert_before_padding(d, new, counted=1):\n"
           "    k, p, s = [o for o in top(d) if o[0] == PAD][-1]\n"
           "    if s < len(new) + 24: raise SystemExit('no room')\n"
           "    splice(d, p, s, new + padding(s - len(new)), counted)\n"
           "def extensions(d):\n"
           "    out = []\n"
           "    for k, p, s in top(d):\n"
           "        if k != EXT: continue\n"
           "        declared = struct.unpack('<I', d[p + 42:p + 46])[0]\n"
           "        inner, texts = [], []\n"
           "        for ik, q, t in objects(d, p + 46, p + s):\n"
           "            inner.append('library' if ik == LIB else 'padding' if ik == PAD else 'other')\n"
           "            if ik == LIB:\n"
           "                r = q + 26\n"
           "                for i in range(struct.unpack('<H', d[q + 24:q + 26])[0]):\n"
           "                    lang, stream, nl, kind, dl = struct.unpack('<HHHHI', d[r:r + 12])\n"
           "                    if d[r + 12:r + 12 + nl].decode('utf-16-le').rstrip('\\x00') == 'WM/Text':\n"
           "                        texts.append('|'.join(d[r + 12 + nl:r + 12 + nl + dl].decode('utf-16-le').split('\\x00')[:2]))\n"
           "                    r += 12 + nl + dl\n"
           "        out.append('%s %s %s' % ('sound' if declared == s - 46 else 'declared %d of %d' % (declared, s - 46),\n"
           "                                 ','.join(inner), ';'.join(texts)))\n"
           "    return out\n";
}

void ReworkAsfFile(const ScratchFolder& folder, const CString& path, const std::string& statements)
{
    RunPython(folder, std::string(AsfPython()) + "d = bytearray(open(" + ShellQuoted(path) + ", 'rb').read())\n" +
                          statements + "\nopen(" + ShellQuoted(path) + ", 'wb').write(d)\n");
}

std::string AsfExtensions(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    RunPython(folder, std::string(AsfPython()) + "print('\\n'.join(extensions(open(" + ShellQuoted(path) +
                          ", 'rb').read())), end='')\n",
              &out);
    return out;
}

std::vector<std::pair<std::string, std::string>> MutagenUserTexts(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    RunPython(folder, "from mutagen.asf import ASF\n"
                      "t = ASF(" + ShellQuoted(path) + ")\n"
                      "for v in t.get('WM/Text', []):\n"
                      "    d, x = v.value.decode('utf-16-le').split('\\x00')[:2]\n"
                      "    print(d + '\\t' + x)\n",
              &out);
    std::vector<std::pair<std::string, std::string>> texts;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            texts.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return texts;
}

std::string Mp3Layout(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    RunPython(folder,
              "import hashlib\n"
              "d = open(" + ShellQuoted(path) + ", 'rb').read()\n"
              "end = 0\n"
              "if d[:3] == b'ID3':\n"
              "    if any(b & 0x80 for b in d[6:10]): print('fault: tag size not sync-safe'); raise SystemExit\n"
              "    end = 10 + (d[6] << 21 | d[7] << 14 | d[8] << 7 | d[9]) + (10 if d[3] == 4 and d[5] & 0x10 else 0)\n"
              "if end > len(d) or d[end] != 0xFF: print('fault: no audio frame right after the tag')\n"
              "else: print('audio=' + hashlib.sha1(d[end:]).hexdigest())\n",
              &out);
    return out;
}

}  // namespace mediafixtures
