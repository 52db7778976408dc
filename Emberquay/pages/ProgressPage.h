// The CD wizard's Progress page (dialog 131): runs the burn of the chosen parts. On activation it
// builds one state per chosen part, hands all of them to one burn thread in one job and shows
// what the thread and the engine report: the part being decoded with its bar and remaining time,
// then the disc being written track by track; when the job comes back it moves on to the Success
// page with the elapsed time, or shows the failure and goes back to the Confirm page.
//
// The thread and the engine send their reports synchronously; the handlers pump the page's
// messages so that Cancel stays usable, except while the disc is written (Cancel and Close are
// grayed then). Cancel reaches the thread by its message, by the job's own flag (also while one
// of the thread's questions is up) and by the answer to the next decoding report.
#pragma once

#include "BurnJob.h"
#include "ProgressCtrl.h"
#include "TimeLabel.h"
#include "WizardPage.h"

#include <map>
#include <memory>

class CCdWizardSheet;
class CWinThread;

// One chosen part as the page follows it.
struct BurnPartState {
    double Weight = 1.0;  // file size in KB, at least 1
    CString FilePath;
    CString Name;
    CString FileName;
    int Number = 0;
    int Status = 2;       // 2: waiting
    int BurnStatus = 0;   // 2: burned by a successful job, 1: the job failed at it
    DWORD Extra = 0;
    DWORD DurationMs = 0;
};

class CCdProgressPage : public CWizardPage {
    DECLARE_DYNAMIC(CCdProgressPage)
public:
    explicit CCdProgressPage(CCdWizardSheet* sheet);
    ~CCdProgressPage() override;

    // The target name of a part ("<base>-PartNN.<ext>" with the part file's three-letter
    // extension); empty when it cannot be made, which refuses the burn.
    static CString TargetNameOf(const CString& base, int number, const CString& partFile);

    const std::map<int, BurnPartState>& States() const { return m_states; }
    BOOL IsBurning() const { return m_thread != nullptr; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Prepare();
    void StartJob(int lastIndex);
    bool StartBurnThread(int lastIndex, CString& error);
    LRESULT OnPartStatus();
    LRESULT OnBurnProgress(int part, LONG decodedMs);
    void OnStage(LPARAM stage, WPARAM value);
    void OnJobDone(LONG result, CBurnJob* job);
    // Cancel flag set, back to the Confirm page.
    void GoBack();
    void PumpMessages();
    void ShowDownloadText(const CString& text);
    void MakeCurrent(int part);
    void ShowBurning(UINT stringId, int track = -1);
    void EnableClose(BOOL enable);
    CDriveEntry* ChosenDrive() const;

    CCdWizardSheet* m_sheet;
    BOOL m_cancel = FALSE;
    BOOL m_mayGoBack = TRUE;
    BOOL m_notCancellable = FALSE;
    int m_lastIndex = -1;
    double m_totalWeight = 0;
    ULONGLONG m_totalSeconds = 0;
    std::map<int, BurnPartState> m_states;
    CTimeLabel m_prepareTime;
    CTimeLabel m_burnTime;
    CProgressCtrl m_prepareBar;
    CProgressCtrl m_burnBar;
    CWinThread* m_thread = nullptr;  // until its WM_PART_DONE: the thread deletes itself after it
    DWORD m_threadId = 0;
    CBurnJob* m_job = nullptr;       // the running job, for its cancel flag
    BOOL m_ackPending = FALSE;
    BOOL m_firstStatus = TRUE;
    long long m_startTime = 0;
    int m_current = 0;
    int m_trackCount = 0;
    int m_currentTrack = 0;
    int m_burnRange = 0;
    DWORD m_decodedSeconds = 0;
    int m_burnDone = 0;
    int m_handling = 0;              // depth of the burn's reports being handled
};
