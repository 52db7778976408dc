// A virtual recorder for one test: the fixture written into a scratch folder and named by the
// environment, the library started on it, the call log and the virtual discs read back, and
// audio files made by sox.
#pragma once

#include "BurnSdk.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace burntest {

// One callback the library made.
struct Event {
    ULONG reason;
    ULONG value1;  // what value1 points to (0 for none)
    ULONG value2;
};

class RecorderTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Writes the fixture and starts the library on it (expecting that to work).
    void Use(const std::string& fixture);
    // Opens the drive by its device name; null when it cannot be opened.
    void* Open(const char* device, ULONG shared = STARBURN_OPEN_EXCLUSIVE);
    void Close(void*& grabber) { StarBurn_Destroy(&grabber); }

    // The call log's lines, and those of one function.
    std::vector<std::string> LogLines() const;
    std::vector<std::string> Calls(const char* function) const;

    // A WAV file made by sox from a synthesised tone: `format` holds sox's format options
    // ("-r 44100 -c 2 -b 16"). Fails the test when sox cannot make it.
    CString MakeTone(const wchar_t* name, const char* format, double seconds, int frequency = 440);
    // The virtual disc's folder: disc k of drive d.
    CString DiscFolder(int drive, int disc) const;
    // Checks with Python's wave module that track is CD audio holding source's samples padded with
    // silence to whole sectors; empty when it does, else what is wrong.
    std::string CheckDiscTrack(const CString& track, const CString& source) const;

    // The buffers every call gets, cleared before each.
    void Clear();
    char m_text[1024] = {};
    ULONG m_systemError = 0;
    STARBURN_FAILURE_INFO m_failure = {};

    // Callbacks the grabbers made (their context is this test).
    static void STARBURN_CALL OnEvent(ULONG reason, void* context, void* value1, void* value2);
    std::vector<Event> m_events;

    testsupport::ScratchFolder m_folder;
};

}  // namespace burntest
