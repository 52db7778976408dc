// Media files made at test time by real tools (ffmpeg, python3-mutagen), and their readings.
#pragma once

#include "TestSupport.h"

#include <string>
#include <utility>
#include <vector>

namespace mediafixtures {

// Runs a shell command line on the host; its standard output is returned in *output.
int RunTool(const testsupport::ScratchFolder& folder, const std::string& commandLine, std::string* output = nullptr);
// Runs a Python script with the system Python (where python3-mutagen lives).
int RunPython(const testsupport::ScratchFolder& folder, const std::string& script, std::string* output = nullptr);


// A 3-second tone encoded as WMA (ASF) with title, artist, album, genre, year and track, and
// two chapters ("Intro" at 0 s, "Second part" at 1.5 s) that the muxer stores as header markers.
CString MakeWma(const testsupport::ScratchFolder& folder, const wchar_t* name);
// A 3-second MP3 with the same tags; vbr picks a variable bit rate (with a Xing header).
CString MakeMp3(const testsupport::ScratchFolder& folder, const wchar_t* name, bool vbr = false);

// Replaces the ID3 tag of an MP3 file with a version 2.3 tag holding a title and the given
// user-text frames (description, text) in this order, UTF-16 encoded.
void WriteUserTextFrames(const testsupport::ScratchFolder& folder, const CString& path,
                         const std::vector<std::pair<std::wstring, std::wstring>>& frames);

// A text as a Python string literal.
std::string PyText(const std::wstring& text);

// Walks an ASF file's header with Python and checks it: every object inside the header and
// the objects filling it exactly, the header's object count, the file size in the file
// properties, a data object right after the header. Prints "data=<hash of everything from the
// data object on>" and one line "name:type:hex value" per extended content descriptor; on a
// fault, a line starting "fault:". checkCount false skips the object count (ffmpeg's muxer
// leaves its marker object out of the count).
std::string AsfLayout(const testsupport::ScratchFolder& folder, const CString& path, bool checkCount = true);
// The same for an MP3 file: checks the ID3v2 tag's size against the file and prints
// "audio=<hash of everything after the tag>".
std::string Mp3Layout(const testsupport::ScratchFolder& folder, const CString& path);

// Python helpers for crafting ASF headers (objects, header_size, user_text, library, padding,
// extension, splice, replace_extension, insert_before_padding, extensions), as a script prelude.
const char* AsfPython();
// Runs Python statements on 'd', the bytes of an ASF file (with AsfPython's helpers), and
// writes the bytes back.
void ReworkAsfFile(const testsupport::ScratchFolder& folder, const CString& path, const std::string& statements);
// One line per header extension object: "sound" when its declared data size is what it holds
// (else "declared N of M"), the kinds of its inner objects, and the metadata library's
// "WM/Text" values as "description|text" (';' between them).
std::string AsfExtensions(const testsupport::ScratchFolder& folder, const CString& path);

// The "WM/Text" values of an ASF file as mutagen reads them: (description, text) in order.
std::vector<std::pair<std::string, std::string>> MutagenUserTexts(const testsupport::ScratchFolder& folder,
                                                                  const CString& path);

// ffprobe's duration of a file in milliseconds (-1 when it cannot read it).
long long ProbeDurationMs(const testsupport::ScratchFolder& folder, const CString& path);

}  // namespace mediafixtures
