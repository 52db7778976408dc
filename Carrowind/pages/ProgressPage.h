// The Progress page (dialog 123): sends the chosen parts to the chosen player one at a time,
// each through a worker thread of its own that gets a CTransferJob and gives it back with
// WM_PART_DONE; shows per-part status and the overall bar with the remaining time, answers
// the workers' synchronous reports (go on, or stop while cancelling), copies the side files
// after the last part and moves to the Success page with the elapsed time. Cancel and
// failures return to the Confirm page; the parts already sent stay on the player, a half-
// written one is deleted.
//
// While a worker runs only its thread id is kept (a worker deletes itself when it ends), and a
// WM_PART_DONE still queued when the page goes is taken from the queue with its job.
#pragma once

#include "TimeLabel.h"
#include "TransferProgress.h"
#include "WizardPage.h"

#include <functional>
#include <map>
#include <memory>

class CDownloadJob;
class CTransferJob;
struct IStream;
class CWizardSheet;
class PlayerRecord;

// One chosen part of a run, in the order of the chosen parts.
struct PartTransferState {
    double weight = 1.0;
    CString sourcePath;
    CString name;
    CString partFile;
    int number = 0;
    int prepState = 0;      // 0 waiting for conversion, 1 conversion failed, 2 ready
    int transferState = 0;  // 0 not yet, 1 failed or cancelled, 2 transferred
    int durationSeconds = 0;
    // sourcePath is a file this run made (a converted part in the conversion folder): it and
    // its siblings go when the part is done. A file of the user's never is.
    BOOL madeByRun = FALSE;
};

// What the page does outside itself; tests replace single members (an empty one keeps the
// product's).
struct TransferPageServices {
    // Starts the worker of a part and hands it the job: the worker's thread id, or 0 when
    // none started (the job is still the caller's then, error text in the player's map).
    std::function<DWORD(CTransferJob* job)> startWorker;
    // Whether the player is still connected.
    std::function<BOOL(PlayerRecord* player)> playerPresent;
    // After the last part: the title's side files onto the player.
    std::function<void(PlayerRecord* player, const CString& playlist, const CString& cover, const CString& sourceId,
                       BOOL mp3Title)>
        copySideFiles;
    // After a cancel: deletes the half-written part (its name on the player).
    std::function<void(PlayerRecord* player, const CString& targetName)> deletePartial;
    // Starts the conversion of a part to WAV: the converter's thread and a handle of the
    // caller's own to wait on (closed by the caller), or null when none started. The
    // converter speaks the conversion thread's messages (WM_CONVERT_STARTED, _PROGRESS,
    // _ERROR) and ends on WM_CONVERT_QUIT; it stores its result and the WAV file in the job.
    std::function<HANDLE(CDownloadJob* job, DWORD* threadId)> startConverter;
};
// Replaces the services; returns those before.
TransferPageServices SetTransferPageServices(TransferPageServices services);

class CProgressPage : public CWizardPage {
    DECLARE_DYNAMIC(CProgressPage)
public:
    explicit CProgressPage(CWizardSheet* sheet);
    ~CProgressPage() override;

    // The chapter list of a part file for the iPod add thread: "<ms> <name>\r\n" per marker
    // (at most 256), from the marker attribute of an MP3 file, else from the Windows Media
    // header; empty when the file cannot be read.
    static CString BuildMarkerText(const CString& path);
    // A converted part's file beside the conversion's own target: target with its last three
    // characters replaced by the produced file's.
    static CString ConvertedName(const CString& target, const CString& produced);

    // The run's state, for tests and the Success page.
    const CTransferProgress& GetProgress() const { return m_progress; }
    int GetCurrentIndex() const { return m_currentIndex; }
    BOOL IsCancelling() const { return m_cancelFlag; }
    DWORD GetWorkerId() const { return m_workerId; }
    const PartTransferState* GetPart(int index) const;
    int GetPartCount() const { return static_cast<int>(m_parts.size()); }
    // The folder of this run's converted parts; empty when nothing is converted.
    const CString& GetConversionFolder() const { return m_conversionFolder; }
    // Makes a folder of the run's own in parent, one that did not exist before; its path, or
    // empty when none could be made (a folder already there is never taken).
    static CString MakeRunFolder(const CString& parent);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    LRESULT OnWizardBack() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnDestroy() override;

private:
    void PrepareParts();
    // Whether the parts wait for their conversion to WAV (Windows Media audio to an Apple
    // player that takes it through iTunes).
    BOOL NeedsConversion(PlayerRecord* player) const;
    // Converts the parts in order while the earlier ones transfer; FALSE when it was stopped.
    void ConvertParts();
    BOOL MakeConversionFolder();
    // Converts one part to WAV in the conversion folder; TRUE when its sourcePath is the WAV.
    BOOL ConvertPartToWav(const CString& source, const CString& target, int index);
    // Fills an Apple player's part of the job (iPod name, markers, settings).
    void FillAppleJob(CTransferJob* job, PlayerRecord* player, const CString& markerSource) const;
    // Deletes the files this run made (converted parts and their siblings)
    // and removes the conversion folder with whatever is in it (it is ours alone); nothing
    // while a worker or the conversion runs.
    void DeleteTempSiblings();
    // Deletes the wav, m4a and m4b siblings of a file; the names deleted, "|" between them.
    static CString DeleteSiblings(const CString& path);
    LRESULT OnConvertStarted();
    LRESULT OnConvertProgress(int percent, CDownloadJob* job);
    LRESULT OnConvertError(BOOL retry, CDownloadJob* job);
    void TransferPart(int index);
    BOOL StartWorker(PlayerRecord* player, int index);
    // A job of the page for a part (the stream is the job's from here).
    CTransferJob* MakeJob(IStream* deviceStream, PlayerRecord* player, int index, const CString& target) const;
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
    std::map<int, std::unique_ptr<PartTransferState>> m_parts;
    BOOL m_cancelFlag = FALSE;
    BOOL m_firstStatus = TRUE;
    BOOL m_preparationDone = FALSE;
    BOOL m_awaitingStart = FALSE;
    BOOL m_isZune = FALSE;
    BOOL m_running = FALSE;  // a run of this activation is under way
    int m_currentIndex = -1;
    DWORD m_workerId = 0;
    DWORD m_converterId = 0;  // the conversion thread while one runs
    long long m_startTime = 0;
    CString m_conversionFolder;
    double m_convertGiven = 0.0;  // conversion progress given to the time label
};
