// How a wizard's Search page keeps an eye on its search thread: it owns its own handle of the
// thread (valid after the thread object deleted itself), notices a thread that ended without
// its report, and on Cancel asks the search to stop, waits a bounded time while answering it,
// and only then ends it by force.
//
//     m_watch.Start(this, thread, &job->stopRequested);   // resumes the suspended thread
//     void OnTimer(UINT_PTR id)  { if (m_watch.EndedWithoutReport(id)) FinishSearch(); }
//     BOOL OnQueryCancel()       { if (m_watch.Stop()) /* ended by force */; ... }
#pragma once

#include "WinThread.h"
#include "Wnd.h"

#include <atomic>

// What every wizard's search job holds: the page it reports to, the text it shows when it finds
// nothing, and the page's request to stop.
struct SearchJob {
    HWND owner = nullptr;  // the Search page
    CString notFoundText;
    std::atomic<bool> stopRequested{false};
};

class CSearchWatch {
public:
    // How long Stop waits for a search to end before ending it by force.
    static constexpr DWORD kStopWaitMs = 3000;
    static constexpr UINT_PTR kTimerId = 1;
    static constexpr UINT kIntervalMs = 200;

    CSearchWatch() = default;
    ~CSearchWatch() { Forget(); }
    CSearchWatch(const CSearchWatch&) = delete;
    CSearchWatch& operator=(const CSearchWatch&) = delete;

    // Watches a suspended search thread from the page's timer and resumes it.
    void Start(CWnd* page, CWinThread* thread, std::atomic<bool>* stopRequested);
    BOOL IsWatching() const { return m_thread != nullptr; }
    // For the page's timer: TRUE once when the watched thread ended without being asked to stop.
    BOOL EndedWithoutReport(UINT_PTR timerId) const;
    // Asks the search to stop and waits for it; TRUE when it had to be ended by force (what
    // it left may be half made). The watch is forgotten either way.
    BOOL Stop();
    // Stops the timer and closes the handle (the search's report came).
    void Forget();

private:
    CWnd* m_page = nullptr;
    HANDLE m_thread = nullptr;
    std::atomic<bool>* m_stopRequested = nullptr;
};
