#include "DownloadQueue.h"

#include "BrenvaleDoc.h"
#include "FrameWnd.h"
#include "ProgressCtrl.h"
#include "res/ConsoleIds.h"
#include "res/DownloadQueueIds.h"

namespace {

constexpr UINT kProgressBarId = 1;

}  // namespace

CDownloadQueue::~CDownloadQueue()
{
    // A download still running ends first: the thread borrows the head job.
    if (m_thread) {
        m_thread->SetPaused(false);
        m_thread->PostThreadMessage(WM_DOWNLOAD_CANCEL, 0, 0);
    }
    ReleaseThread();
    for (CObject* job : m_jobs)
        delete job;
    m_jobs.RemoveAll();
    DestroyProgressBar();
}

void CDownloadQueue::Attach(HWND owner, CFrameWnd* frame, CStatusBar* statusBar)
{
    m_owner = owner;
    m_frame = frame;
    m_statusBar = statusBar;
}

CDownloadJob* CDownloadQueue::Head() const
{
    return m_jobs.IsEmpty() ? nullptr : static_cast<CDownloadJob*>(m_jobs[0]);
}

CStringArray CDownloadQueue::TitleIds() const
{
    CStringArray ids;
    for (CObject* job : m_jobs)
        ids.Add(static_cast<CDownloadJob*>(job)->m_strTitleId);
    return ids;
}

void CDownloadQueue::Append(CDownloadJob* job)
{
    if (job)
        m_jobs.Add(job);
}

LRESULT CDownloadQueue::StartNext(bool paused)
{
    CDownloadJob* head = Head();
    if (m_thread || m_state != kIdle || !head)
        return -1;
    HANDLE own = nullptr;
    CWinThread* created = AfxBeginThread(RUNTIME_CLASS(CConsoleDownloadThread), THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED, nullptr, &own);
    if (!created)
        return -1;
    auto* thread = static_cast<CDownloadThread*>(created);
    // The queue deletes the object once the thread has ended (ReleaseThread).
    thread->m_bAutoDelete = FALSE;
    // A start "paused" is held before it reads anything.
    thread->SetPaused(paused);
    m_thread = thread;
    m_threadHandle = own;
    m_state = paused ? kPaused : kRunning;
    thread->ResumeThread();
    thread->PostThreadMessage(WM_DOWNLOAD_START, 0, reinterpret_cast<LPARAM>(head));
    return 0;
}

void CDownloadQueue::ReleaseThread()
{
    if (!m_thread)
        return;
    // The thread has posted its report and is on its way out: it no longer touches a window.
    if (m_threadHandle) {
        WaitForSingleObject(m_threadHandle, INFINITE);
        CloseHandle(m_threadHandle);
    }
    delete m_thread;
    m_thread = nullptr;
    m_threadHandle = nullptr;
}

void CDownloadQueue::OnStarted(const CBrenvaleDoc* library)
{
    if (m_statusBar && m_statusBar->m_hWnd) {
        if (!m_progress) {
            RECT pane{};
            m_statusBar->GetItemRect(1, &pane);
            m_progress = new CProgressCtrl;
            if (!m_progress->Create(WS_VISIBLE, pane, m_statusBar, kProgressBarId)) {
                delete m_progress;
                m_progress = nullptr;
            } else {
                m_progress->SetRange32(0, 100);
            }
        }
        // A job stopped before starts again from its first byte: so does the bar.
        if (m_progress)
            m_progress->SetPos(0);
        m_statusBar->SetPaneText(2, L"0%");
    }
    UpdateStatusText(library);
}

void CDownloadQueue::OnProgress(int percent, const CBrenvaleDoc* library)
{
    if (m_progress && m_progress->m_hWnd && m_progress->GetPos() <= percent) {
        m_progress->SetPos(percent);
        CString text;
        text.Format(L"%d%%", percent);
        if (m_statusBar && m_statusBar->m_hWnd)
            m_statusBar->SetPaneText(2, text);
    }
    UpdateStatusText(library);
}

LRESULT CDownloadQueue::OnFinished(int result, CDownloadJob* job, const CBrenvaleDoc* library)
{
    ReleaseThread();
    m_state = kIdle;
    if (result == kDownloadStopped)
        return 0;  // the job stays at the head; whoever stopped it starts the queue again
    if (!job || Head() != job)
        return -1;
    delete job;
    m_jobs.RemoveAt(0);
    if (result == kDownloadCancelled) {
        for (CObject* other : m_jobs)
            delete other;
        m_jobs.RemoveAll();
    }
    DestroyProgressBar();
    if (m_statusBar && m_statusBar->m_hWnd)
        m_statusBar->SetPaneText(2, L"");
    UpdateStatusText(library);
    if (m_owner)
        ::PostMessageW(m_owner, WM_START_NEXT_DOWNLOAD, 0, 0);
    return 0;
}

int CDownloadQueue::AskAboutError(WPARAM offer, const wchar_t* errorText, const CBrenvaleDoc* library) const
{
    const bool mayRetry = (offer & kDownloadMayRetry) != 0;
    // A lasting answer of the server (a file that is not there) is not asked again by a
    // mere Return: the default is to give the part up.
    const UINT defaultButton = mayRetry && (offer & kDownloadAnswerIsFinal) ? MB_DEFBUTTON2 : 0;
    const CDownloadJob* head = Head();
    // Nothing to ask about: the part is skipped, so that the queue goes on (a "stopped" answer
    // would leave the job queued with nothing to start it again).
    if (!head || !library || !library->FindTitle(head->m_strTitleId))
        return IDNO;
    const int part = head->m_nPartIndex + 1;
    CString text;
    text.Format(IDS_DOWNLOAD_PART_FAILED, part, TitleName(*head, library).GetString(), errorText ? errorText : L"");
    CString question;
    UINT buttons = MB_OK;
    if (m_jobs.GetSize() == 1) {
        if (mayRetry) {
            question.Format(IDS_ASK_RETRY_PART, part);
            buttons = MB_YESNO;
        }
    } else if (mayRetry) {
        question.Format(IDS_ASK_RETRY_OR_SKIP_PART, part, part);
        buttons = MB_YESNOCANCEL;
    } else {
        question.Format(IDS_ASK_SKIP_PART, part);
        buttons = MB_OKCANCEL;
    }
    return AfxMessageBox(text + question, buttons | defaultButton);
}

void CDownloadQueue::PauseResume(const CBrenvaleDoc* library)
{
    if (!m_thread || m_state == kIdle)
        return;
    const bool pause = m_state == kRunning;
    m_thread->SetPaused(pause);
    m_state = pause ? kPaused : kRunning;
    UpdateStatusText(library);
}

void CDownloadQueue::Cancel(const CBrenvaleDoc* library)
{
    if (m_thread && m_state != kIdle) {
        if (m_state == kPaused) {
            m_thread->SetPaused(false);
            m_state = kRunning;
        }
        m_thread->PostThreadMessage(WM_DOWNLOAD_CANCEL, 0, 0);
        return;
    }
    // No thread works on the queue: nothing would ever report, so the jobs go now.
    for (CObject* job : m_jobs)
        delete job;
    m_jobs.RemoveAll();
    m_state = kIdle;
    DestroyProgressBar();
    UpdateStatusText(library);
}

int CDownloadQueue::StopAndWait()
{
    if (!m_thread || m_state == kIdle)
        return kIdle;
    const int had = m_state;
    if (m_state == kPaused) {
        m_thread->SetPaused(false);
        m_state = kRunning;
    }
    m_thread->PostThreadMessage(WM_DOWNLOAD_STOP, 0, 0);
    WaitForThread();
    return had;
}

void CDownloadQueue::WaitForThread()
{
    if (!m_threadHandle)
        return;
    // The thread's report may be handled during the wait, which closes the queue's handle.
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), m_threadHandle, GetCurrentProcess(), &own, SYNCHRONIZE, FALSE, 0))
        return;
    AfxWaitForThreadEnd(own, INFINITE);  // answers the thread's questions meanwhile
    CloseHandle(own);
}

int CDownloadQueue::RunSideDownload(CDownloadJob& job)
{
    job.m_hOwnerWnd = nullptr;
    // The queue's download is held between two chunks meanwhile (its state is unchanged).
    const bool hold = m_thread && m_state == kRunning;
    if (hold)
        m_thread->SetPaused(true);
    HANDLE own = nullptr;
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CConsoleDownloadThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr,
                                        &own);
    int result = kDownloadAbandoned;
    if (thread) {
        job.SetResult(kDownloadAbandoned);
        thread->PostThreadMessage(WM_DOWNLOAD_START, 0, reinterpret_cast<LPARAM>(&job));
        AfxWaitForThreadEnd(own, INFINITE);
        CloseHandle(own);
        result = job.GetResult();
    }
    // The queue's thread may have ended meanwhile (a cancel handled during the wait).
    if (hold && m_thread && m_state == kRunning)
        m_thread->SetPaused(false);
    return result;
}

CString CDownloadQueue::TitleName(const CDownloadJob& job, const CBrenvaleDoc* library) const
{
    const CMediaObject* title = library ? library->FindTitle(job.m_strTitleId) : nullptr;
    return title ? title->GetMetadata().GetDisplayTitle(TRUE, TRUE) : CString();
}

void CDownloadQueue::UpdateStatusText(const CBrenvaleDoc* library) const
{
    if (!library || !m_frame || !m_frame->m_hWnd)
        return;
    const CDownloadJob* head = Head();
    if (head && head->m_nPartIndex >= 0 && library->FindTitle(head->m_strTitleId)) {
        CString text;
        text.Format(m_state == kPaused ? IDS_DOWNLOAD_PAUSED_TEXT : IDS_DOWNLOADING_TEXT, head->m_nPartIndex + 1,
                    TitleName(*head, library).GetString());
        m_frame->SetMessageText(text);
        return;
    }
    m_frame->SetMessageText(AfxLoadString(IDS_IDLE_MESSAGE));
}

void CDownloadQueue::DestroyProgressBar()
{
    if (!m_progress)
        return;
    if (m_progress->m_hWnd)
        m_progress->DestroyWindow();
    delete m_progress;
    m_progress = nullptr;
}
