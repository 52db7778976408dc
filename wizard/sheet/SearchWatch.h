// How a wizard's Search page keeps an eye on its search thread: it owns its own handle of the
// thread (valid after the thread object deleted itself), notices a thread that ended without
// its report, and on Cancel asks the search to stop and waits a bounded time while answering
// it. A search is never ended by force: one that is still inside a call (iTunes, the recording
// library, a message box) when the wait ends is left to stop by itself, and the next search
// starts only once it has.
//
//     m_watch.Start(this, thread, &job->stopRequested);   // resumes the suspended thread
//     void OnTimer(UINT_PTR id)  { if (m_watch.EndedWithoutReport(id)) FinishSearch(); }
//     BOOL OnQueryCancel()       { if (m_watch.Stop()) /* still stopping */; ... }
//     if (m_watch.IsStopping())  /* start the next search later */;
#pragma once

#include "Collections.h"
#include "WinThread.h"
#include "Wnd.h"

#include <atomic>

// What every wizard's search job holds: the page it reports to, the text it shows when it finds
// nothing, the page's request to stop, and what the search found. The records stay the job's
// (the search thread shares the job) until the page takes them in the search's report; a job
// whose search was stopped deletes what it holds when its last owner lets it go.
struct SearchJob {
    SearchJob() = default;
    virtual ~SearchJob();
    SearchJob(const SearchJob&) = delete;
    SearchJob& operator=(const SearchJob&) = delete;

    HWND owner = nullptr;  // the Search page
    CString notFoundText;
    std::atomic<bool> stopRequested{false};
    CObArray found;
};

class CSearchWatch {
public:
    // How long Stop waits for a search to end by itself before the page goes on without it.
    static constexpr DWORD kStopWaitMs = 3000;
    static constexpr UINT_PTR kTimerId = 1;
    // The page's timer while a new search waits for a stopped one to end.
    static constexpr UINT_PTR kRestartTimerId = 2;
    static constexpr UINT kIntervalMs = 200;

    CSearchWatch() = default;
    // Waits (bounded) for a search that is still stopping.
    ~CSearchWatch();
    CSearchWatch(const CSearchWatch&) = delete;
    CSearchWatch& operator=(const CSearchWatch&) = delete;

    // Watches a suspended search thread from the page's timer and resumes it.
    void Start(CWnd* page, CWinThread* thread, std::atomic<bool>* stopRequested);
    BOOL IsWatching() const { return m_thread != nullptr; }
    // For the page's timer: TRUE once when the watched thread ended without being asked to stop.
    BOOL EndedWithoutReport(UINT_PTR timerId) const;
    // Asks the search to stop and waits for it a bounded time; TRUE when it has not ended yet
    // (it stops by itself: nothing it may still touch is taken from it). The watch is
    // forgotten either way.
    BOOL Stop();
    // A search asked to stop that has not ended yet.
    BOOL IsStopping();
    // Stops the timer and closes the handle (the search's report came).
    void Forget();

private:
    CWnd* m_page = nullptr;
    HANDLE m_thread = nullptr;
    HANDLE m_stopping = nullptr;  // a stopped search's thread until it has ended
    std::atomic<bool>* m_stopRequested = nullptr;
};
