#include "SearchWatch.h"

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
    BOOL forced = FALSE;
    // Answers the thread meanwhile (its report is ignored now), so it can stop by itself.
    if (!AfxWaitForThreadEnd(m_thread, kStopWaitMs)) {
        TerminateThread(m_thread, 0);
        WaitForSingleObject(m_thread, kStopWaitMs);
        forced = TRUE;
    }
    Forget();
    return forced;
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
