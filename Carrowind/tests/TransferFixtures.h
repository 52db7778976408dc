// What the transfer engine's tests share: a device manager fixture over folders of a scratch
// folder with the device's stream as the search hands it on, a mobile link fixture, a real
// cover picture, and a window standing for the Progress page that records what a transfer
// thread sends it and answers as the test says.
#pragma once

#include "PlayerRecord.h"
#include "TestSupport.h"
#include "TransferJob.h"
#include "iTunesAutomation.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace transfertest {

// Writes the device manager's fixture (an INI text) as "devices.ini" in the folder and names it
// to the stand-in; the stream of its first device (or of the device given), or null.
IStream* WmdmDeviceStream(const testsupport::ScratchFolder& folder, const std::string& fixture, int device = 1);
// A record of the fixture's first device, as the search makes it (null without the device).
std::unique_ptr<PlayerRecord> MakePlayer(const testsupport::ScratchFolder& folder, const std::string& fixture,
                                         const wchar_t* name, int protocolFlag);
// The Windows Mobile device "Pocket PC" as the device manager lists it over the folder "ppc":
// its main memory, or its card "Storage Card" (the link's fixture names the same device id).
inline constexpr GUID kPocketPcId = {0x6E1A1C9A, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
std::unique_ptr<PlayerRecord> MakeMobilePlayer(const testsupport::ScratchFolder& folder, bool card);
// Writes the mobile link's fixture as "mobiles.ini" and names it to the stand-in.
void UseMobileFixture(const testsupport::ScratchFolder& folder, const std::string& fixture);
// Both stand-ins forgotten again.
void ForgetFixtures();

// A real picture (ffmpeg), width x height, of the extension's kind.
CString MakePicture(const testsupport::ScratchFolder& folder, const wchar_t* name, int width = 64, int height = 48);
// A file of that many pseudo-random bytes.
CString MakeBytes(const testsupport::ScratchFolder& folder, const wchar_t* name, size_t size, unsigned seed);
// The text of a file, or "" when it is missing.
std::string Text(const CString& path);
bool Exists(const CString& path);
using testsupport::FilesBelow;
// The number of lines of a text that contain the piece.
int CountLines(const std::string& text, const std::string& piece);

// A text in UTF-8.
std::string Narrow(const CString& text);

// A hidden window of the calling thread that plays the Progress page for transfer threads.
class TestPage {
public:
    TestPage();
    ~TestPage();
    TestPage(const TestPage&) = delete;
    TestPage& operator=(const TestPage&) = delete;
    HWND Window() const { return m_window; }

    // Starts a thread on the job (null: hands it none), handles this thread's messages until
    // the thread has ended and its report has come; the report's result, or -1 without one.
    // The thread's exit code goes to exitCode.
    int Run(CTransferJob* job, DWORD* exitCode = nullptr);
    // The thread of the part that Run is handling.
    DWORD ThreadId() const { return m_threadId; }

    // Answers.
    LRESULT statusReply = 1;
    // The reply to a percent message; given the percent and how many came before in this part.
    std::function<LRESULT(WPARAM percent, int count)> percentReply;
    std::function<LRESULT(WPARAM bytes)> addProgressReply;
    // Starts the worker on a job (StartTransferThread unless set).
    std::function<HANDLE(CTransferJob* job, DWORD* threadId)> starter;
    // Called when the status message comes (before it is answered).
    std::function<void()> onStatus;

    // What came, for the last part.
    int statusCount = 0;
    std::vector<WPARAM> percents;
    std::vector<WPARAM> addProgress;
    std::vector<LPARAM> addProgressModes;  // lParam of each of addProgress
    std::vector<bool> addProgressSent;     // sent (waiting for the answer) rather than posted
    int doneCount = 0;
    CTransferJob* doneJob = nullptr;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_window = nullptr;
    DWORD m_threadId = 0;
    int m_done = -1;
};

// The iTunes helpers' fixed waits skipped while it lives.
struct NoiTunesWaits {
    NoiTunesWaits() { previous = SetiTunesSleep([](DWORD) {}); }
    ~NoiTunesWaits() { SetiTunesSleep(std::move(previous)); }
    iTunesSleep previous;
};

}  // namespace transfertest
