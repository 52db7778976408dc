// The Progress page (dialog 123): sends the chosen parts to the chosen player one at a time
// and moves to the Success page with the elapsed time. The page shows and routes; each stage
// of a run is a class of its own (progress/): the conversion of Windows Media parts for an
// Apple player (CPartConversion), the sending of each part through its worker thread
// (CPartSender) and the title's side files after the last part (CTitleSideFiles). The page
// shows per-part status and the overall bar with the remaining time, answers the workers'
// synchronous reports (go on, or stop while cancelling) and the conversion's questions.
// Cancel and failures return to the Confirm page; the parts already sent stay on the player,
// a half-written one is deleted.
//
// A WM_PART_DONE still queued when the page goes is taken from the queue with its job.
#pragma once

#include "TimeLabel.h"
#include "TransferProgress.h"
#include "WizardPage.h"
#include "progress/PartConversion.h"
#include "progress/PartSender.h"
#include "progress/ProgressRun.h"

class CDownloadJob;
class CTransferJob;
class CWizardSheet;
class PlayerRecord;

class CProgressPage : public CWizardPage {
    DECLARE_DYNAMIC(CProgressPage)
public:
    explicit CProgressPage(CWizardSheet* sheet);
    ~CProgressPage() override;

    // The run's state, for tests and the Success page.
    const CTransferProgress& GetProgress() const { return m_progress; }
    int GetCurrentIndex() const { return m_currentIndex; }
    BOOL IsCancelling() const { return m_cancelFlag; }
    DWORD GetWorkerId() const { return m_sender.WorkerId(); }
    const PartTransferState* GetPart(int index) const;
    int GetPartCount() const { return static_cast<int>(m_parts.size()); }
    // The folder of this run's converted parts; empty when nothing is converted.
    const CString& GetConversionFolder() const { return m_conversion.Folder(); }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    LRESULT OnWizardBack() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnDestroy() override;

private:
    void PrepareParts();
    // Converts the parts in order while the earlier ones transfer.
    void ConvertParts();
    // What the run made goes (nothing while a worker or the conversion runs).
    void DeleteRunFiles();
    LRESULT OnConvertStarted();
    LRESULT OnConvertProgress(int percent, CDownloadJob* job);
    LRESULT OnConvertError(BOOL retry, CDownloadJob* job);
    void TransferPart(int index);
    void OnPartDone(int result, CTransferJob* job);
    LRESULT OnPartStatus();
    LRESULT OnTransferPercent(int percent);
    LRESULT OnAddProgress(unsigned amount, int kind);

    PlayerRecord* ChosenPlayer() const;
    BOOL IsPlayerPresent(PlayerRecord* player);
    // The chosen player is gone: its record leaves the array, the user is told.
    void ForgetGonePlayer();
    // Sets the cancel flag; back to the Confirm page when goBack.
    void EndTransfer(BOOL goBack);
    void BackToConfirm();
    void ShowStatus(UINT itemId, const CString& text);
    void ShowWaitingFor(int index);
    void SetBar(int position);
    void EnableCancel(BOOL enable);
    CString FormatText(UINT stringId, ...) const;
    BOOL AllPartsFinished(int* failed) const;
    int FindNextReadyPart() const;
    // Takes every WM_PART_DONE still queued for the page and deletes its job.
    void DropQueuedResults();

    CWizardSheet* m_sheet;
    CTimeLabel m_transferLabel;
    CTimeLabel m_downloadLabel;
    CTransferProgress m_progress;
    PartStates m_parts;
    CPartConversion m_conversion;
    CPartSender m_sender;
    BOOL m_cancelFlag = FALSE;
    BOOL m_firstStatus = TRUE;
    BOOL m_preparationDone = FALSE;
    BOOL m_awaitingStart = FALSE;
    BOOL m_isZune = FALSE;
    BOOL m_running = FALSE;  // a run of this activation is under way
    int m_currentIndex = -1;
    long long m_startTime = 0;
    double m_convertGiven = 0.0;  // conversion progress given to the time label
};
