// The console's download queue: the jobs of the parts to download, head first, and the one
// console download thread that works on the head job. The main frame owns the queue, hands
// it the thread's reports (WM_DOWNLOAD_STARTED ... WM_DOWNLOAD_ERROR) and posts itself
// WM_START_NEXT_DOWNLOAD, which StartNext answers.
//
// States: 0 idle (no thread), 1 running, 2 paused. Pausing holds the thread between two
// chunks (it keeps answering its messages), so a paused thread can always be cancelled or
// stopped. The thread object is the queue's own (not deleted by itself), so that a pause
// or cancel never reaches a thread that has just ended.
//
// While a download runs, a progress bar lies over pane 1 of the frame's status bar, pane 2
// shows the percentage and the frame's message line says which part is downloading.
#pragma once

#include "ConsoleDownloadThread.h"

class CBrenvaleDoc;
class CFrameWnd;
class CProgressCtrl;
class CStatusBar;

class CDownloadQueue {
public:
    enum State { kIdle = 0, kRunning = 1, kPaused = 2 };

    CDownloadQueue() = default;
    // Cancels a download still running and waits for its thread, then deletes the jobs.
    ~CDownloadQueue();
    CDownloadQueue(const CDownloadQueue&) = delete;
    CDownloadQueue& operator=(const CDownloadQueue&) = delete;

    // The window that gets the reports (and WM_START_NEXT_DOWNLOAD), and the frame and status
    // bar that show the progress (either may be null).
    void Attach(HWND owner, CFrameWnd* frame, CStatusBar* statusBar);

    CObArray& Jobs() { return m_jobs; }
    const CObArray& Jobs() const { return m_jobs; }
    CDownloadJob* Head() const;
    int GetState() const { return m_state; }
    bool HasThread() const { return m_thread != nullptr; }
    CProgressCtrl* GetProgressBar() const { return m_progress; }
    // The title ids of the queued jobs.
    CStringArray TitleIds() const;

    // Takes the job (appended behind the others).
    void Append(CDownloadJob* job);

    // WM_START_NEXT_DOWNLOAD: with no thread, state 0 and a job queued, a thread starts on the
    // head job (held at once when paused is set, state 2; else state 1). 0, or -1 when
    // nothing started.
    LRESULT StartNext(bool paused);
    // WM_DOWNLOAD_STARTED: the progress bar (made when missing) starts again from 0.
    void OnStarted(const CBrenvaleDoc* library);
    // WM_DOWNLOAD_PROGRESS: the bar moves on, never back.
    void OnProgress(int percent, const CBrenvaleDoc* library);
    // WM_DOWNLOAD_DONE: the thread is gone. A stopped job stays at the head (whoever stopped
    // it starts the queue again); any other result removes the head job (a cancel all of
    // them) and posts WM_START_NEXT_DOWNLOAD for the next. -1 when the job is not the head.
    LRESULT OnFinished(int result, CDownloadJob* job, const CBrenvaleDoc* library);
    // WM_DOWNLOAD_ERROR: asks about the failed step of the head job (offer: the message's
    // flags; errorText: what the thread says); the answer goes back to the thread. With
    // nothing to ask about, IDNO (skip the part), so that the queue goes on.
    int AskAboutError(WPARAM offer, const wchar_t* errorText, const CBrenvaleDoc* library) const;

    // Pause or resume (only with a thread): 1 -> 2, 2 -> 1.
    void PauseResume(const CBrenvaleDoc* library);
    // Cancels the running download and with it every queued job (after the thread's report);
    // without a thread the queue is emptied at once.
    void Cancel(const CBrenvaleDoc* library);
    // Stops the running download (its job stays queued) and waits for the thread, answering
    // its questions meanwhile. Returns the state the queue had (0 when nothing ran).
    int StopAndWait();
    // Waits for the thread to end (answering its questions); nothing when there is none.
    void WaitForThread();

    // A download beside the queue (a picture or banner; the job has no owner window, so it
    // asks and reports nothing): a running queue download is held meanwhile. Returns the
    // job's result (200 for a complete file).
    int RunSideDownload(CDownloadJob& job);

    // The frame's message line: which part of which title downloads or is paused, or the
    // idle text.
    void UpdateStatusText(const CBrenvaleDoc* library) const;

private:
    void ReleaseThread();
    void DestroyProgressBar();
    CString TitleName(const CDownloadJob& job, const CBrenvaleDoc* library) const;

    CObArray m_jobs;  // CDownloadJob, owned
    int m_state = kIdle;
    CDownloadThread* m_thread = nullptr;
    HANDLE m_threadHandle = nullptr;
    HWND m_owner = nullptr;
    CFrameWnd* m_frame = nullptr;
    CStatusBar* m_statusBar = nullptr;
    CProgressCtrl* m_progress = nullptr;
};
