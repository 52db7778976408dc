// The files a save writes beside its target before they replace it, named after the target
// so that nobody else's file can have their name: "<target>.<8 hex digits>.saving". Used by
// every writer that replaces a file whole (the class library's document saves, the media
// header writer), so that whoever next takes the target for saving can remove what a crash
// or a kill left behind.
#pragma once

#include <windows.h>

#include <string>

namespace savefiles {

// A new, empty file of that form beside the target, marked as this process's; empty when it
// cannot be made (GetLastError tells why). The mark goes at a later save once the file is
// gone (moved over the target, or deleted), and with the process.
std::wstring NewSavingFileBeside(const wchar_t* target);
// Whether a file name (without folder) is one that NewSavingFileBeside gives for a target
// of that name: the letters of the hex digits in either case, ASCII only.
bool IsSavingFileOf(const std::wstring& name, const std::wstring& targetName);
// Deletes such files of the target (a file still open elsewhere stays); returns how many
// went. For the target's one saver (who holds it for saving), for whom any such file is
// what an interrupted save left.
int RemoveSavingLeftovers(const wchar_t* target);
// Deletes the saving files of every target in the folder whose writer is gone (a crash, a
// kill); returns how many went. A live writer's file is never taken from it, open or
// closed: every file NewSavingFileBeside makes bears a mark its writer's process holds
// until the file is gone, and the system drops the mark when that process ends.
// NewSavingFileBeside does this first, so that the next save of any file in a folder clears
// what killed saves there left.
int RemoveDeadSavingLeftoversIn(const wchar_t* folder);

}  // namespace savefiles
