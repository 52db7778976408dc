// A title's folder as the console leaves it for the wizards: the playlist in the console's own
// layout (ANSI when every path fits the code page, else UTF-16 with its mark; each path
// XML-escaped, indented under its entry) and an order file beside it (UTF-16 with its mark and
// an XML declaration).
#pragma once

#include "TestSupport.h"

#include <string>
#include <vector>

namespace wizardtest {

// The console's playlist text for these part paths.
std::wstring ConsolePlaylistText(const std::vector<std::wstring>& partPaths);
// Writes it as the console does (unicode: UTF-16 with its mark; else the ANSI code page).
void WriteConsolePlaylist(const CString& path, const std::vector<std::wstring>& partPaths, bool unicode);
// An order file for a title: its id, title, thumbnail URL, source and parts (file names).
std::wstring OrderFileText(const wchar_t* id, const wchar_t* title, const wchar_t* thumbnailUrl,
                           const wchar_t* sourceId, const std::vector<std::wstring>& partFileNames);
void WriteUtf16File(const CString& path, const std::wstring& text);

// A title folder "<scratch>\<name>" with parts "<name>-PartNN.<extension>" (small files), its
// playlist and its order file; returns the playlist's path.
CString MakeTitleFolder(const testsupport::ScratchFolder& scratch, const wchar_t* name, int parts,
                        const wchar_t* title = L"Harbour Lights", bool unicodePlaylist = false,
                        const wchar_t* extension = L"mp3");

}  // namespace wizardtest
