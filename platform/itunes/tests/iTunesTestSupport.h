// What tests of code over iTunes share: the stand-in registered in the test prefix, run with a
// fixture of the test's own, and its state file read back.
//
//     itunestest::StandinRun iTunes("[Sources]\nCount=1\n[Source1]\nKind=1\n");
//     ... code under test connects to iTunes ...
//     EXPECT_EQ(L"AAC Encoder", iTunes.State(L"iTunes", L"CurrentEncoder"));
#pragma once

#include <vector>

#include "TestSupport.h"

#include <windows.h>

#include <string>

namespace itunestest {

// The stand-in program, and its registration in the prefix (true when the program succeeded).
CString StandinProgram();
bool RegisterStandin();
bool UnregisterStandin();

// The stand-in's process ids.
std::vector<DWORD> StandinProcesses();

class StandinRun {
public:
    // Writes the fixture into a folder of its own, names it in VESPERLIN_ITUNES and registers
    // the stand-in; with start, runs it and waits for its window (as when iTunes is open).
    explicit StandinRun(const std::string& fixture, bool start = true);
    // Stop(), and the variable unset.
    ~StandinRun();
    StandinRun(const StandinRun&) = delete;
    StandinRun& operator=(const StandinRun&) = delete;

    // Whether the program started and showed its window.
    bool Started() const { return m_started; }
    // Closes the stand-in's window and waits for every stand-in process to end (ending those
    // left after 20 seconds).
    void Stop();
    const CString& Folder() const { return m_folder.Path(); }
    CString Path(const wchar_t* name) const { return m_folder / name; }
    // A value of the state file the stand-in writes after each change ("" when missing).
    CString State(const wchar_t* section, const wchar_t* key) const;
    int StateNumber(const wchar_t* section, const wchar_t* key) const;
    // The section of the state file for the track / playlist of that name (empty when none).
    CString TrackSection(const wchar_t* name) const;
    // The state sections of every track of that name in that source.
    std::vector<CString> TrackSections(const wchar_t* source, const wchar_t* name) const;
    CString PlaylistSection(const wchar_t* source, const wchar_t* name) const;

private:
    testsupport::ScratchFolder m_folder;
    bool m_started = false;
};

}  // namespace itunestest
