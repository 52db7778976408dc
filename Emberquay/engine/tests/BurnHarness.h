// A burn against the virtual recorder for one test: the recorder's fixture, a temporary folder of
// the test's own, a hidden window standing for the Progress page (it records what the burn sends
// and answers as the test says) and the message-box funnel answering the burn's questions.
#pragma once

#include "BurnThread.h"
#include "RecorderFixture.h"

#include <deque>
#include <string>
#include <vector>

namespace burntest {

class BurnHarness : public RecorderTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // One recorder whose discs are given as fixture sections ("FreeBytes=...\n"); drive: more
    // lines of the drive's own section ("FailSendOPC=1\n").
    void UseDrive(const std::vector<std::string>& discs, const std::string& drive = std::string());
    // A job for drive 1 with these parts (path, duration in ms).
    void AddPart(const CString& path, DWORD durationMs) { ASSERT_TRUE(m_job.AddPart(path, durationMs)); }
    // Starts the burn thread on the job (null: hands it none) and handles the page's messages
    // until WM_PART_DONE, or until the thread has ended without posting it (then -1).
    LONG RunBurn(bool withJob = true);

    // The files of the temporary folder.
    std::vector<CString> TempFiles() const;
    // The tracks on disc k of drive 1, and their frame counts (checked to be CD audio).
    std::vector<long> DiscTrackFrames(int disc) const;
    // Python's view of a WAV file: "rate channels width frames".
    std::string WaveParameters(const CString& path) const;

    CBurnJob m_job;
    CDriveEntry m_drive;
    CString m_temp;

    // What the page saw.
    std::vector<LPARAM> m_stages;          // WM_ADD_PROGRESS stages in order
    std::vector<std::pair<WPARAM, LONG>> m_progress;  // WM_BURN_PROGRESS
    std::vector<CString> m_boxes;          // message-box texts
    std::deque<int> m_answers;             // the buttons pressed, in order (then IDOK/IDRETRY)
    LONG m_done = -1;                      // WM_PART_DONE's wParam
    LRESULT m_statusReply = 1;             // the page's reply to WM_PART_STATUS
    // The page's reply to the nth WM_BURN_PROGRESS with a value that is not -1 (0: cancel), and
    // a cancel by the page when a track starts being written.
    int m_cancelAtProgress = -1;
    int m_cancelAtTrack = -1;
    // Cancel while a box is up: the page's cancel arrives before the box is answered.
    bool m_cancelInBox = false;

    HWND m_page = nullptr;

private:
    static LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    AfxMessageBoxHandler m_previousBoxes;
    CString m_oldTmp, m_oldTemp;
};

}  // namespace burntest
