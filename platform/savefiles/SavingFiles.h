// The files a save writes beside its target before they replace it, named after the target
// so that nobody else's file can have their name: "<target>.<8 hex digits>.saving". Used by
// every writer that replaces a file whole (the class library's document saves, the media
// header writer), so that whoever next takes the target for saving can remove what a crash
// or a kill left behind.
#pragma once

#include <windows.h>

#include <string>

namespace savefiles {

// A new, empty file of that form beside the target; empty when it cannot be made
// (GetLastError tells why).
std::wstring NewSavingFileBeside(const wchar_t* target);
// Whether a file name (without folder) is one that NewSavingFileBeside gives for a target
// of that name: the letters of the hex digits in either case, ASCII only.
bool IsSavingFileOf(const std::wstring& name, const std::wstring& targetName);
// Deletes such files of the target (a file still open elsewhere stays); returns how many went.
int RemoveSavingLeftovers(const wchar_t* target);

}  // namespace savefiles
