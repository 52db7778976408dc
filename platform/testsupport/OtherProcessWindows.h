// Windows of other processes, for tests that start programs: the message boxes a program
// shows (found by their owner process, read and answered from outside, as a user would) and
// its top-level windows; the processes running a program file.
#pragma once

#include "afx.h"

#include <vector>

namespace testsupport {

// A message box of another process: its window, caption and text.
struct ProcessBox {
    HWND window = nullptr;
    DWORD process = 0;
    CString caption;
    CString text;
};

// The visible message boxes of every process but this one.
std::vector<ProcessBox> BoxesOfOtherProcesses();
// The first box the process shows within the time (an empty box on time-out).
ProcessBox WaitForBox(DWORD process, DWORD timeoutMs = 20000);
// Presses a button of the box (IDOK, IDYES, ...).
void Answer(const ProcessBox& box, int button);
// A visible top-level window of the process with this title, waited for; null on time-out.
HWND WaitForProcessWindow(DWORD process, const wchar_t* title, DWORD timeoutMs = 20000);
// A visible top-level window of any other process with this title; null when none.
HWND FindOtherProcessWindow(const wchar_t* title, DWORD* process = nullptr);
// The ids of the processes whose program file has this name ("Carrowind.exe").
std::vector<DWORD> ProcessesNamed(const wchar_t* fileName);

}  // namespace testsupport
