// The console as a user starts it: Larkmoor.exe run from the build's program folder
// (build/<arch>/program, where the build lays the suite out as installed), driven from
// outside as a user would: its first title selected, its commands given, its boxes read.
// The library is the one of the prefix's user (the console's data folder).
//
//     installedtest::InstalledConsole console;
//     ASSERT_TRUE(console.Start());
//     ASSERT_TRUE(console.SelectFirstTitle());
//     console.Command(ID_TITLE_TRANSFER);
#pragma once

#include "OtherProcessWindows.h"
#include "afx.h"

#include <vector>

namespace installedtest {

// The program folder of this build ("<binary dir>\program"); VESPERLIN_BINARY_DIR names the
// build, else the folder above the running program's.
CString ProgramFolder();

class InstalledConsole {
public:
    InstalledConsole() = default;
    InstalledConsole(const InstalledConsole&) = delete;
    InstalledConsole& operator=(const InstalledConsole&) = delete;
    // Closes a console this object started (answering its boxes), ending it if it stays.
    ~InstalledConsole();

    // Starts ProgramFolder()\Larkmoor.exe (with this environment) and waits for its frame; false
    // when the program is missing or no frame came.
    bool Start();
    // Takes a console already running (started by a script); false when none came in time.
    bool Attach(DWORD timeoutMs = 60000);

    // Selects the first row of the title list (the Home key in the list); false when the list
    // has no row or none is selected after.
    bool SelectFirstTitle();
    // Gives the frame a command, as its menu or accelerator would.
    void Command(UINT id) const;
    // The console's boxes shown now, each answered with the button (0: left open).
    std::vector<testsupport::ProcessBox> Boxes(int answer = 0) const;

    HWND Frame() const { return m_frame; }
    DWORD Process() const { return m_process; }

private:
    HWND FindFrame(DWORD timeoutMs);

    HANDLE m_started = nullptr;
    DWORD m_process = 0;
    HWND m_frame = nullptr;
};

// A top-level window of this title in another process than the console, waited for with the
// console's boxes answered OK meanwhile (and kept in *consoleBoxes); its process in *process.
HWND WaitForWizard(const InstalledConsole& console, const wchar_t* title, DWORD* process,
                   std::vector<testsupport::ProcessBox>* consoleBoxes, DWORD timeoutMs = 60000);

}  // namespace installedtest
