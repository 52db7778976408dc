// Game titles (content kind 16): installed, started and uninstalled as Windows programs.
// Per game the console's settings hold a few texts, each named by the title's media id:
//   "Game Uninstall Keys"   the game's sub-key of the machine's Uninstall key
//   "Game Exe Names"        the file name of its program
//   "Game Exe Paths"        the program's full path as last found (written here)
//   "Game Folder Regkeys"   a machine registry path whose last part names a value holding
//                           the game's folder or its program's path
//   "Game Default Folders"  the game's default installation folder
// Machine keys written by 32-bit installers are read in the 32-bit registry view first.
#pragma once

#include "afx.h"

class CMediaObject;

// FALSE for a title that is not a game (installed FALSE) and for a game without an
// uninstall key (after message 4052); TRUE otherwise, with installed = whether the game's
// Uninstall entry exists.
BOOL IsGameInstalled(const CMediaObject& title, BOOL& installed);
// Finds and starts the game's program (in its own folder), or says that it can't.
// TRUE when the program started.
BOOL LaunchGame(const CMediaObject& title);
// Starts the game's uninstaller; TRUE when it started. The console does not wait for it.
BOOL UninstallGame(const CMediaObject& title);
// Starts the title's first part file, the game's installer; TRUE when it started.
BOOL InstallGame(const CMediaObject& title);
// Starts the program registered under the machine's App Paths key (the key's path below
// HKEY_LOCAL_MACHINE) with the file as its quoted argument; TRUE when it started.
BOOL RunAppPathProgram(const wchar_t* appPathKey, const wchar_t* file);

// The program-folder rule: the text in upper case with "%PROGRAMFILES%" replaced by the
// folder of 32-bit programs (where the games' installers put them); with appPaths,
// "%PROGRAMFILES(X86)%" is replaced instead when present, and "%PROGRAMFILES%" is the
// native Program Files folder.
CString ExpandProgramFiles(const CString& text, bool appPaths = false);
// A machine registry text (REG_SZ or REG_EXPAND_SZ, at most maxChars), 32-bit view first.
BOOL ReadMachineText(const CString& key, const wchar_t* valueName, int maxChars, CString& text);
// Whether the machine key opens for reading in either view.
BOOL MachineKeyExists(const CString& key);
