// CWinThread: a user-interface thread with its own message queue and the class
// library's run loop, created from a runtime class with AfxBeginThread.
//
//     CWinThread* t = AfxBeginThread(RUNTIME_CLASS(CMyThread));
//     t->PostThreadMessage(WM_MY_JOB, 0, (LPARAM)job);   // the queue already exists
//
// Thread messages (posted with no window) reach the virtual OnThreadMessage; a derived
// class overrides it and hands the messages it knows to its own handlers.
#pragma once

#include "CObject.h"

class CWnd;

class CWinThread : public CObject {
    DECLARE_DYNAMIC(CWinThread)
public:
    CWinThread();
    ~CWinThread() override;
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Starts the system thread (flags: 0 or CREATE_SUSPENDED). When it returns TRUE the
    // new thread's message queue exists, so a thread message posted at once is kept.
    BOOL CreateThread(DWORD createFlags = 0, UINT stackSize = 0, LPSECURITY_ATTRIBUTES security = nullptr);

    // Overridables, called on the thread itself.
    // Set-up; FALSE ends the thread at once (ExitInstance still runs).
    virtual BOOL InitInstance();
    // The run loop: messages first; while none waits, OnIdle(0), OnIdle(1), ... as long as
    // it returns TRUE. Ends on WM_QUIT with ExitInstance's result.
    virtual int Run();
    // Gets and handles one message; FALSE on WM_QUIT.
    virtual BOOL PumpMessage();
    // TRUE when the message was handled and must not be dispatched to a window. The base
    // hands thread messages to OnThreadMessage and window messages to PreTranslateMessage of
    // the window and its parents.
    virtual BOOL PreTranslateMessage(MSG* msg);
    // A thread message (no window); TRUE when handled.
    virtual BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Idle work; TRUE asks for another call while no message waits. The base deletes the
    // temporary window and menu objects of FromHandle (overrides call it).
    virtual BOOL OnIdle(LONG count);
    // Whether a message ends an idle phase (so that OnIdle starts again from 0).
    virtual BOOL IsIdleMessage(const MSG* msg);
    // Clean-up; the result is the thread's exit code. The base returns the quit code.
    virtual int ExitInstance();
    // Called when the thread has ended and m_bAutoDelete is set: deletes the object.
    virtual void Delete();

    // Control from any thread.
    DWORD SuspendThread();
    DWORD ResumeThread();
    BOOL SetThreadPriority(int priority);
    int GetThreadPriority() const;
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) const;

    // A handle of the caller's own to the system thread, still valid after the object has
    // deleted itself; the caller closes it. Ask before the thread can end (for instance
    // while it is suspended), or let AfxBeginThread hand one out.
    HANDLE DuplicateThreadHandle() const;

    // An object that stands for a thread it did not start (the application object for the
    // main thread) sets m_hThread (closed by the destructor) and m_nThreadID itself and
    // registers with AfxSetThread; Run works on whichever thread calls it.
    operator HANDLE() const { return m_hThread; }
    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    // The object deletes itself when the thread ends (default TRUE).
    BOOL m_bAutoDelete = TRUE;
    // The thread's main window, when it has one.
    CWnd* m_pMainWnd = nullptr;

protected:
    // The message being handled (the WM_QUIT message once Run has ended).
    MSG m_msgCur{};

private:
    static DWORD WINAPI ThreadEntry(void* param);
    struct StartupData;
    StartupData* m_startup = nullptr;
};

// The CWinThread object of the calling thread (null on threads not started by the class
// library, unless one was registered with AfxSetThread).
CWinThread* AfxGetThread();
// Registers the object that represents the calling thread (the application object does
// this for the main thread).
void AfxSetThread(CWinThread* thread);

// Creates a thread object from its runtime class and starts it. Returns null when the class
// is not a CWinThread or the thread cannot be started. createFlags: 0 or CREATE_SUSPENDED.
// When ownHandle is given it receives a duplicate of the thread handle that stays valid after
// the object has deleted itself; the caller closes it.
CWinThread* AfxBeginThread(const CRuntimeClass* threadClass, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0, LPSECURITY_ATTRIBUTES security = nullptr,
                           HANDLE* ownHandle = nullptr);

// Waits for a thread (or any waitable handle) to end while the calling thread keeps handling
// its own messages, posted and sent: it waits in steps of at most 100 ms and dispatches every
// message that arrives, so a worker blocked in SendMessage to one of the caller's windows is
// answered. A WM_QUIT taken from the queue meanwhile is posted again after the wait.
// timeout is in milliseconds (INFINITE: no limit). Returns TRUE when the handle was
// signalled; exitCode (optional) then receives the thread's exit code.
BOOL AfxWaitForThreadEnd(HANDLE thread, DWORD timeout = INFINITE, DWORD* exitCode = nullptr);

// Handles every message already queued for the calling thread (and those sent to it) inside
// a handler, as the run loop would: each passes the thread's PreTranslateMessage first (so a
// sheet's dialog manager and accelerators see the keys), then is dispatched. Does not wait.
// A WM_QUIT taken from the queue is posted again before returning, and FALSE tells the
// caller to stop its work; TRUE otherwise.
BOOL AfxPumpQueuedMessages();
