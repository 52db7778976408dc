#include "SearchWatch.h"

SearchJob::~SearchJob()
{
    for (INT_PTR i = 0; i < found.GetSize(); ++i)
        delete found[i];
    found.RemoveAll();
}

CSearchWatch::~CSearchWatch()
{
    Forget();
    if (m_stopping) {
        AfxWaitForThreadEnd(m_stopping, kStopWaitMs);
        CloseHandle(m_stopping);
        m_stopping = nullptr;
    }
}

void CSearchWatch::Start(CWnd* page, CWinThread* thread, std::atomic<bool>* stopRequested)
{
    Forget();
    m_page = page;
    m_stopRequested = stopRequested;
    m_thread = thread->DuplicateThreadHandle();
    if (m_page && m_page->m_hWnd)
        m_page->SetTimer(kTimerId, kIntervalMs, nullptr);
    thread->ResumeThread();
}

BOOL CSearchWatch::EndedWithoutReport(UINT_PTR timerId) const
{
    return timerId == kTimerId && m_thread && !(m_stopRequested && *m_stopRequested) &&
           WaitForSingleObject(m_thread, 0) == WAIT_OBJECT_0;
}

BOOL CSearchWatch::Stop()
{
    if (!m_thread)
        return FALSE;
    if (m_stopRequested)
        *m_stopRequested = true;
    if (m_page && m_page->m_hWnd)
        m_page->KillTimer(kTimerId);
    // Answers the thread meanwhile (its report is ignored now), so it can stop by itself.
    BOOL stillRunning = FALSE;
    if (!AfxWaitForThreadEnd(m_thread, kStopWaitMs)) {
        // Inside a call that takes its time: it sees the request when it comes back.
        if (m_stopping)
            CloseHandle(m_stopping);
        m_stopping = m_thread;
        m_thread = nullptr;
        stillRunning = TRUE;
    }
    Forget();
    return stillRunning;
}

BOOL CSearchWatch::IsStopping()
{
    if (!m_stopping)
        return FALSE;
    if (WaitForSingleObject(m_stopping, 0) != WAIT_OBJECT_0)
        return TRUE;
    CloseHandle(m_stopping);
    m_stopping = nullptr;
    return FALSE;
}

void CSearchWatch::Forget()
{
    if (m_page && m_page->m_hWnd)
        m_page->KillTimer(kTimerId);
    if (m_thread) {
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
}
