#include "WinThread.h"

#include "Menu.h"
#include "Wnd.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CWinThread, CObject)

namespace {
thread_local CWinThread* t_currentThread = nullptr;
// The system timer message: like WM_PAINT, it does not end an idle phase.
constexpr UINT kSysTimer = 0x0118;
}  // namespace

// Hand-shake between the creator and the new thread: the thread makes its queue, signals
// `started`, and waits for `go`, which the creator sets after it has (when asked) suspended it.
struct CWinThread::StartupData {
    HANDLE started = nullptr;
    HANDLE go = nullptr;
};

CWinThread* AfxGetThread() { return t_currentThread; }
void AfxSetThread(CWinThread* thread) { t_currentThread = thread; }

CWinThread::CWinThread() = default;

CWinThread::~CWinThread()
{
    if (m_hThread)
        CloseHandle(m_hThread);
    if (t_currentThread == this)
        t_currentThread = nullptr;
}

BOOL CWinThread::CreateThread(DWORD createFlags, UINT stackSize, LPSECURITY_ATTRIBUTES security)
{
    if (m_hThread)
        return FALSE;
    auto* startup = new StartupData;
    startup->started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    startup->go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!startup->started || !startup->go) {
        if (startup->started)
            CloseHandle(startup->started);
        if (startup->go)
            CloseHandle(startup->go);
        delete startup;
        return FALSE;
    }
    m_startup = startup;
    DWORD id = 0;
    HANDLE thread = ::CreateThread(security, stackSize, &CWinThread::ThreadEntry, this, 0, &id);
    if (!thread) {
        m_startup = nullptr;
        CloseHandle(startup->started);
        CloseHandle(startup->go);
        delete startup;
        return FALSE;
    }
    m_hThread = thread;
    m_nThreadID = id;
    // From here the new thread owns `startup`: it frees it once `go` is set.
    WaitForSingleObject(startup->started, INFINITE);
    if (createFlags & CREATE_SUSPENDED)
        ::SuspendThread(thread);
    SetEvent(startup->go);
    return TRUE;
}

DWORD WINAPI CWinThread::ThreadEntry(void* param)
{
    auto* self = static_cast<CWinThread*>(param);
    StartupData* startup = self->m_startup;
    // The queue is made by the first call that touches it, before the creator goes on.
    MSG probe;
    PeekMessageW(&probe, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    t_currentThread = self;
    SetEvent(startup->started);
    WaitForSingleObject(startup->go, INFINITE);
    CloseHandle(startup->started);
    CloseHandle(startup->go);
    delete startup;
    self->m_startup = nullptr;

    int result = self->InitInstance() ? self->Run() : self->ExitInstance();
    t_currentThread = nullptr;
    AfxTermThreadWindows();
    AfxTermThreadMenus();
    self->Delete();
    return static_cast<DWORD>(result);
}

BOOL CWinThread::InitInstance() { return FALSE; }

int CWinThread::Run()
{
    BOOL idle = TRUE;
    LONG idleCount = 0;
    for (;;) {
        while (idle && !PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                idle = FALSE;
        }
        do {
            if (!PumpMessage())
                return ExitInstance();
            if (IsIdleMessage(&m_msgCur)) {
                idle = TRUE;
                idleCount = 0;
            }
        } while (PeekMessageW(&m_msgCur, nullptr, 0, 0, PM_NOREMOVE));
    }
}

BOOL CWinThread::PumpMessage()
{
    if (!GetMessageW(&m_msgCur, nullptr, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&m_msgCur)) {
        TranslateMessage(&m_msgCur);
        DispatchMessageW(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinThread::PreTranslateMessage(MSG* msg)
{
    if (msg->hwnd == nullptr)
        return OnThreadMessage(msg->message, msg->wParam, msg->lParam);
    // The window the message is for, then its parents.
    return CWnd::WalkPreTranslateTree(nullptr, msg);
}

BOOL CWinThread::OnThreadMessage(UINT, WPARAM, LPARAM) { return FALSE; }

BOOL CWinThread::OnIdle(LONG)
{
    // Temporary objects of windows and menus met through FromHandle live until now.
    CWnd::DeleteTempMap();
    CMenu::DeleteTempMap();
    return FALSE;
}

BOOL CWinThread::IsIdleMessage(const MSG* msg)
{
    static thread_local POINT lastPos{-1, -1};
    static thread_local UINT lastMessage = 0;
    if (msg->message == WM_MOUSEMOVE || msg->message == WM_NCMOUSEMOVE) {
        if (msg->message == lastMessage && msg->pt.x == lastPos.x && msg->pt.y == lastPos.y)
            return FALSE;
        lastPos = msg->pt;
        lastMessage = msg->message;
        return TRUE;
    }
    return msg->message != WM_PAINT && msg->message != kSysTimer;
}

int CWinThread::ExitInstance() { return static_cast<int>(m_msgCur.wParam); }

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

DWORD CWinThread::SuspendThread() { return ::SuspendThread(m_hThread); }
DWORD CWinThread::ResumeThread() { return ::ResumeThread(m_hThread); }
BOOL CWinThread::SetThreadPriority(int priority) { return ::SetThreadPriority(m_hThread, priority); }
int CWinThread::GetThreadPriority() const { return ::GetThreadPriority(m_hThread); }

BOOL CWinThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) const
{
    return ::PostThreadMessageW(m_nThreadID, message, wParam, lParam);
}

HANDLE CWinThread::DuplicateThreadHandle() const
{
    HANDLE copy = nullptr;
    if (!m_hThread ||
        !DuplicateHandle(GetCurrentProcess(), m_hThread, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
        return nullptr;
    return copy;
}

CWinThread* AfxBeginThread(const CRuntimeClass* threadClass, int priority, UINT stackSize, DWORD createFlags,
                           LPSECURITY_ATTRIBUTES security, HANDLE* ownHandle)
{
    if (ownHandle)
        *ownHandle = nullptr;
    if (!threadClass || !threadClass->IsDerivedFrom(RUNTIME_CLASS(CWinThread)))
        return nullptr;
    auto* thread = static_cast<CWinThread*>(threadClass->CreateObject());
    if (!thread)
        return nullptr;
    // Held suspended until the priority is set and the caller's handle is made, so the
    // thread cannot have ended (and deleted itself) in between.
    if (!thread->CreateThread(createFlags | CREATE_SUSPENDED, stackSize, security)) {
        delete thread;
        return nullptr;
    }
    thread->SetThreadPriority(priority);
    if (ownHandle)
        *ownHandle = thread->DuplicateThreadHandle();
    if (!(createFlags & CREATE_SUSPENDED))
        thread->ResumeThread();
    return thread;
}

namespace {

// Handles what is queued now; remembers a WM_QUIT taken from the queue.
void HandleQueuedMessages(bool& quitSeen, WPARAM& quitCode)
{
    CWinThread* self = AfxGetThread();
    MSG msg;
    // PeekMessage also delivers messages sent from other threads.
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quitSeen = true;
            quitCode = msg.wParam;
            continue;
        }
        if (!(self && self->PreTranslateMessage(&msg))) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

}  // namespace

BOOL AfxPumpQueuedMessages()
{
    bool quitSeen = false;
    WPARAM quitCode = 0;
    HandleQueuedMessages(quitSeen, quitCode);
    if (quitSeen)
        PostQuitMessage(static_cast<int>(quitCode));
    return !quitSeen;
}

BOOL AfxWaitForThreadEnd(HANDLE thread, DWORD timeout, DWORD* exitCode)
{
    const ULONGLONG start = GetTickCount64();
    bool quitSeen = false;
    WPARAM quitCode = 0;
    BOOL ended = FALSE;
    for (;;) {
        HandleQueuedMessages(quitSeen, quitCode);
        DWORD step = 100;
        if (timeout != INFINITE) {
            const ULONGLONG elapsed = GetTickCount64() - start;
            if (elapsed >= timeout) {
                ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
                break;
            }
            step = static_cast<DWORD>(std::min<ULONGLONG>(step, timeout - elapsed));
        }
        const DWORD r = MsgWaitForMultipleObjectsEx(1, &thread, step, QS_ALLINPUT | QS_SENDMESSAGE, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) {
            ended = TRUE;
            break;
        }
        if (r == WAIT_FAILED)
            break;
    }
    if (ended && exitCode) {
        if (!GetExitCodeThread(thread, exitCode) && !GetExitCodeProcess(thread, exitCode))
            *exitCode = 0;
    }
    if (quitSeen)
        PostQuitMessage(static_cast<int>(quitCode));
    return ended;
}
