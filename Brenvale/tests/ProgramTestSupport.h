// Helpers for the tests of the programs the console starts: the stand-in program that
// records how it was started, and the wizards' own reading of their command line.
#pragma once

#include "afx.h"

#include <optional>
#include <string>

namespace programtest {

// The stand-in program (console_program_stub.exe beside the test program).
CString StubProgram();
// Waits up to 20 s for a file to appear; its text (UTF-8 as written by the stub).
std::optional<std::string> WaitForFile(const CString& path);
std::string Utf8(const CString& text);

// The Uninstall entry the stand-in's game installer writes (in the 32-bit view, as 32-bit
// installers do) and its uninstaller removes.
bool TestGameRegistered();
void RemoveTestGameEntry();

// What a wizard reads from its command line.
struct WizardOptions {
    std::wstring path, sourceId, type;
    bool verbose = false;
};
// How the device wizard (cdWizard false) and the CD wizard read their command line: the
// playlist path is cut out at the first ".wax" from the nearest quote before it, the rest
// is split at every hyphen and each piece is matched by its beginning. A program path in
// front (as a wizard started by hand sees it) is dropped.
WizardOptions ParseAsWizard(std::wstring text, bool cdWizard, const std::wstring& programPath = std::wstring());

}  // namespace programtest
