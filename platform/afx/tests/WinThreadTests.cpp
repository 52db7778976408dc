// User-interface threads: the queue at creation, suspended start, thread messages, the run
// loop with OnIdle, exit codes, self-deletion, and the owner's wait helper.
#include "afx.h"
#include "WinThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_PING = WM_USER + 1;
constexpr UINT WM_TEST_QUIT = WM_USER + 2;  // wParam: quit code
constexpr UINT WM_TEST_IDLE_ROUNDS = WM_USER + 3;

std::atomic<int> g_destroyed{0};

// Records what the run loop does, in order, as short tokens ("m1", "i0", ...).
class CLoggingThread : public CWinThread {
    DECLARE_DYNCREATE(CLoggingThread)
public:
    ~CLoggingThread() override { ++g_destroyed; }

    BOOL InitInstance() override
    {
        Log("init");
        return s_initResult;
    }
    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        switch (message) {
        case WM_TEST_PING:
            Log("m" + std::to_string(wParam));
            return TRUE;
        case WM_TEST_QUIT:
            PostQuitMessage(static_cast<int>(wParam));
            return TRUE;
        default:
            return CWinThread::OnThreadMessage(message, wParam, lParam);
        }
    }
    BOOL OnIdle(LONG count) override
    {
        Log("i" + std::to_string(count));
        // Two rounds of idle work per idle phase, then rest until the next message.
        if (count >= 2) {
            SetEvent(s_idleDone);
            return FALSE;
        }
        return TRUE;
    }
    int ExitInstance() override
    {
        s_baseExitResult = CWinThread::ExitInstance();
        Log("exit");
        return s_baseExitResult + 1000;
    }

    static void Log(const std::string& token)
    {
        std::lock_guard<std::mutex> hold(s_lock);
        s_log.push_back(token);
    }
    static std::vector<std::string> TakeLog()
    {
        std::lock_guard<std::mutex> hold(s_lock);
        return std::move(s_log);
    }

    static inline std::mutex s_lock;
    static inline std::vector<std::string> s_log;
    static inline BOOL s_initResult = TRUE;
    static inline int s_baseExitResult = -1;
    static inline HANDLE s_idleDone = nullptr;
};
IMPLEMENT_DYNCREATE(CLoggingThread, CWinThread)

class WinThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CLoggingThread::TakeLog();
        CLoggingThread::s_initResult = TRUE;
        CLoggingThread::s_baseExitResult = -1;
        CLoggingThread::s_idleDone = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        g_destroyed = 0;
    }
    void TearDown() override { CloseHandle(CLoggingThread::s_idleDone); }

    static DWORD WaitEnd(HANDLE h)
    {
        EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
        DWORD code = 0xDEAD;
        GetExitCodeThread(h, &code);
        return code;
    }
};

TEST_F(WinThreadTest, MessagesPostedRightAfterCreationAreKept)
{
    // Repeated, because a queue made late loses the first post only now and then.
    for (int round = 0; round < 20; ++round) {
        HANDLE own = nullptr;
        CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CLoggingThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
        ASSERT_NE(thread, nullptr);
        ASSERT_NE(own, nullptr);
        ASSERT_TRUE(thread->PostThreadMessage(WM_TEST_PING, 1, 0));
        ASSERT_TRUE(thread->PostThreadMessage(WM_TEST_QUIT, 5, 0));
        EXPECT_EQ(WaitEnd(own), 1005u);
        CloseHandle(own);
        auto log = CLoggingThread::TakeLog();
        ASSERT_GE(log.size(), 3u);
        EXPECT_EQ(log.front(), "init");
        EXPECT_EQ(std::count(log.begin(), log.end(), "m1"), 1);
        EXPECT_EQ(log.back(), "exit");
    }
    EXPECT_EQ(g_destroyed, 20);
}

TEST_F(WinThreadTest, RunLoopHandlesMessagesFirstThenIdlesFromZero)
{
    HANDLE own = nullptr;
    CWinThread* thread =
        AfxBeginThread(RUNTIME_CLASS(CLoggingThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED, nullptr, &own);
    ASSERT_NE(thread, nullptr);
    // Suspended: nothing of the object runs until it is resumed.
    Sleep(100);
    EXPECT_TRUE(CLoggingThread::TakeLog().empty());
    thread->PostThreadMessage(WM_TEST_PING, 1, 0);
    thread->PostThreadMessage(WM_TEST_PING, 2, 0);
    DWORD tid = thread->m_nThreadID;
    thread->ResumeThread();
    ASSERT_EQ(WaitForSingleObject(CLoggingThread::s_idleDone, 10000), WAIT_OBJECT_0);
    PostThreadMessageW(tid, WM_TEST_PING, 3, 0);
    ASSERT_EQ(WaitForSingleObject(CLoggingThread::s_idleDone, 10000), WAIT_OBJECT_0);
    PostThreadMessageW(tid, WM_TEST_QUIT, 42, 0);
    // The quit code is what the base ExitInstance returns; the override's result is the exit code.
    EXPECT_EQ(WaitEnd(own), 1042u);
    CloseHandle(own);
    EXPECT_EQ(CLoggingThread::s_baseExitResult, 42);
    std::vector<std::string> expected{"init", "m1", "m2", "i0", "i1", "i2", "m3", "i0", "i1", "i2", "exit"};
    EXPECT_EQ(CLoggingThread::TakeLog(), expected);
    EXPECT_EQ(g_destroyed, 1);
}

TEST_F(WinThreadTest, FailedInitInstanceEndsThroughExitInstanceWithoutRunning)
{
    CLoggingThread::s_initResult = FALSE;
    HANDLE own = nullptr;
    ASSERT_NE(AfxBeginThread(RUNTIME_CLASS(CLoggingThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own), nullptr);
    EXPECT_EQ(WaitEnd(own), 1000u);
    CloseHandle(own);
    std::vector<std::string> expected{"init", "exit"};
    EXPECT_EQ(CLoggingThread::TakeLog(), expected);
}

TEST_F(WinThreadTest, ObjectStaysWhenAutoDeleteIsOff)
{
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CLoggingThread), THREAD_PRIORITY_BELOW_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(thread, nullptr);
    thread->m_bAutoDelete = FALSE;
    EXPECT_EQ(thread->GetThreadPriority(), THREAD_PRIORITY_BELOW_NORMAL);
    thread->PostThreadMessage(WM_TEST_QUIT, 9, 0);
    thread->ResumeThread();
    // The object's own handle stays valid because the object was kept.
    EXPECT_EQ(WaitEnd(thread->m_hThread), 1009u);
    EXPECT_EQ(g_destroyed, 0);
    delete thread;
    EXPECT_EQ(g_destroyed, 1);
}

TEST_F(WinThreadTest, BeginThreadRefusesClassesThatAreNotThreads)
{
    EXPECT_EQ(AfxBeginThread(RUNTIME_CLASS(CObject)), nullptr);
    EXPECT_EQ(AfxBeginThread(nullptr), nullptr);
}

// ---- The owner's wait helper ----

constexpr UINT WM_TEST_ASK = WM_APP + 1;
constexpr UINT WM_TEST_NOTE = WM_APP + 2;

struct OwnerRecord {
    std::vector<UINT> messages;
};

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* record = reinterpret_cast<OwnerRecord*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (record && (message == WM_TEST_ASK || message == WM_TEST_NOTE)) {
        record->messages.push_back(message);
        return message == WM_TEST_ASK ? static_cast<LRESULT>(wParam) * 2 : 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

HWND g_owner = nullptr;

// Posts a note to the owner, then blocks in SendMessage until the owner answers, and ends
// with the answer as its exit code.
class CAskingThread : public CWinThread {
    DECLARE_DYNCREATE(CAskingThread)
public:
    BOOL InitInstance() override
    {
        PostMessageW(g_owner, WM_TEST_NOTE, 0, 0);
        m_answer = static_cast<int>(SendMessageW(g_owner, WM_TEST_ASK, 21, 0));
        return FALSE;
    }
    int ExitInstance() override { return m_answer; }
    int m_answer = 0;
};
IMPLEMENT_DYNCREATE(CAskingThread, CWinThread)

// Never ends by itself; a thread message ends it.
class CIdleThread : public CWinThread {
    DECLARE_DYNCREATE(CIdleThread)
public:
    BOOL InitInstance() override { return TRUE; }
};
IMPLEMENT_DYNCREATE(CIdleThread, CWinThread)

class WaitHelperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = OwnerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VesperlinWaitOwner";
        RegisterClassW(&wc);
        g_owner = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(g_owner, nullptr);
        SetWindowLongPtrW(g_owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&m_record));
    }
    void TearDown() override
    {
        DestroyWindow(g_owner);
        g_owner = nullptr;
    }
    OwnerRecord m_record;
};

TEST_F(WaitHelperTest, AnswersAWorkerBlockedInSendMessage)
{
    HANDLE own = nullptr;
    ASSERT_NE(AfxBeginThread(RUNTIME_CLASS(CAskingThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own), nullptr);
    DWORD code = 0;
    // A plain wait would never return: the worker waits for this thread's window procedure.
    ASSERT_TRUE(AfxWaitForThreadEnd(own, 20000, &code));
    CloseHandle(own);
    EXPECT_EQ(code, 42u);
    ASSERT_FALSE(m_record.messages.empty());
    EXPECT_EQ(std::count(m_record.messages.begin(), m_record.messages.end(), WM_TEST_ASK), 1);
    // The posted note is dispatched during the wait or is still queued after it.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    EXPECT_EQ(std::count(m_record.messages.begin(), m_record.messages.end(), WM_TEST_NOTE), 1);
}

TEST_F(WaitHelperTest, TimesOutOnALiveThreadAndKeepsAQuitMessage)
{
    HANDLE own = nullptr;
    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CIdleThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
    ASSERT_NE(thread, nullptr);
    DWORD tid = thread->m_nThreadID;
    PostQuitMessage(17);
    PostMessageW(g_owner, WM_TEST_NOTE, 0, 0);
    EXPECT_FALSE(AfxWaitForThreadEnd(own, 250));
    // The owner's note was dispatched; the quit message waits again in the queue.
    EXPECT_EQ(std::count(m_record.messages.begin(), m_record.messages.end(), WM_TEST_NOTE), 1);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 17u);

    PostThreadMessageW(tid, WM_QUIT, 3, 0);
    DWORD code = 0;
    EXPECT_TRUE(AfxWaitForThreadEnd(own, INFINITE, &code));
    EXPECT_EQ(code, 3u);
    CloseHandle(own);
}

// Stands for the test's own thread: records what passes its PreTranslateMessage and keeps
// the messages it is told to.
class CRecordingThread : public CWinThread {
public:
    BOOL PreTranslateMessage(MSG* msg) override
    {
        seen.push_back(msg->message);
        return msg->message == WM_TEST_ASK;  // taken here, never dispatched
    }
    std::vector<UINT> seen;
};

TEST_F(WaitHelperTest, PumpHandlesWhatIsQueuedThroughPreTranslateAndKeepsTheQuit)
{
    CRecordingThread self;
    CWinThread* before = AfxGetThread();
    AfxSetThread(&self);
    PostMessageW(g_owner, WM_TEST_NOTE, 0, 0);
    PostMessageW(g_owner, WM_TEST_ASK, 0, 0);
    EXPECT_TRUE(AfxPumpQueuedMessages());
    EXPECT_EQ(std::count(self.seen.begin(), self.seen.end(), WM_TEST_NOTE), 1);
    EXPECT_EQ(std::count(self.seen.begin(), self.seen.end(), WM_TEST_ASK), 1);
    EXPECT_EQ(std::count(m_record.messages.begin(), m_record.messages.end(), WM_TEST_NOTE), 1);
    EXPECT_EQ(std::count(m_record.messages.begin(), m_record.messages.end(), WM_TEST_ASK), 0);

    // A quit taken from the queue stops the caller and waits in the queue again.
    PostQuitMessage(9);
    PostMessageW(g_owner, WM_TEST_NOTE, 0, 0);
    EXPECT_FALSE(AfxPumpQueuedMessages());
    EXPECT_EQ(std::count(m_record.messages.begin(), m_record.messages.end(), WM_TEST_NOTE), 2);
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 9u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    AfxSetThread(before);
}

}  // namespace
