// Window helpers for the test programs: waiting for a window, a dump of a window tree that
// tests assert on, steps run inside a dialog's modal loop, recorded help calls, and pictures of windows for people to look at (never compared).
//
//     testsupport::StepRunner steps({
//         [] { PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, 0); },
//     });                                      // runs while dialog.DoModal() loops
//     EXPECT_EQ(IDOK, dialog.DoModal());
#pragma once

#include "TestSupport.h"

#include "Geometry.h"
#include "HtmlHelp.h"

#include <deque>
#include <functional>
#include <vector>

namespace testsupport {

// A top-level window of this process whose class and/or title match (null: any), waiting
// up to timeoutMs while this thread keeps handling its messages. Null when none appeared.
HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs = 5000);
// A descendant of parent with this class and/or text (null: any).
HWND FindDescendant(HWND parent, const wchar_t* className, const wchar_t* text = nullptr);

// One window of a tree: depth 0 is the root; the rectangle is in the root's client coordinates.
struct WindowInfo {
    int depth;
    CString className;
    int id;
    CString text;
    DWORD style;
    CRect rect;
    bool visible;
};
std::vector<WindowInfo> WindowTree(HWND root);
// The tree as text, one line per window: indentation, class, id, text in quotes, style, rect.
CString DumpWindowTree(HWND root);
// The first window of the tree with this id below the root (null when none).
const WindowInfo* FindById(const std::vector<WindowInfo>& tree, int id);

// A message-only window of the calling thread, standing in for a program's owner window that
// workers report to. Every message goes to the handler first; one it leaves (returns false)
// goes to DefWindowProcW.
class OwnerWindow {
public:
    using Handler = std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)>;
    explicit OwnerWindow(Handler handler);
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Hwnd() const { return m_hwnd; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    Handler m_handler;
    HWND m_hwnd = nullptr;
};

// Handles this thread's pending messages (sent and posted) for up to ms milliseconds.
void PumpMessages(DWORD ms = 0);
// Handles messages for ms milliseconds (0: those waiting) the way a program's loop does: keys
// pass the windows' accelerators (AfxPreTranslateMessage); a WM_QUIT (a closed frame's) is
// dropped, so that a test goes on after closing a window.
void RunMessages(DWORD ms);

// Runs the steps one after the other from a thread timer of the calling thread, so they run
// inside whatever message loop is active (a dialog's modal loop). Each step runs once; a
// step may return false to be tried again at the next tick (waiting for a window), for five
// seconds at most: then the test fails and the next step follows. Steps that are left when
// the object goes are dropped. Once the steps of a failed test are done, a modal loop of the
// thread still running after those five seconds is ended (its window's code IDABORT).
class StepRunner {
public:
    using Step = std::function<bool()>;
    explicit StepRunner(std::vector<Step> steps, UINT intervalMs = 30);
    // Steps without a condition.
    explicit StepRunner(std::vector<std::function<void()>> steps, UINT intervalMs = 30);
    ~StepRunner();
    StepRunner(const StepRunner&) = delete;
    StepRunner& operator=(const StepRunner&) = delete;
    bool Done() const { return m_steps.empty(); }
    size_t Remaining() const { return m_steps.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    void Start(UINT intervalMs);
    void EndLeftWindowsOfFailedTest();
    std::deque<Step> m_steps;
    DWORD m_stepStarted = 0;
    bool m_failed = false;  // a step gave up or threw
    bool m_leftWindowsEnded = false;
    UINT_PTR m_timer = 0;
    bool m_running = false;
};

// Records every HTML Help call instead of making it.
class HtmlHelpRecorder {
public:
    HtmlHelpRecorder();
    ~HtmlHelpRecorder();
    HtmlHelpRecorder(const HtmlHelpRecorder&) = delete;
    HtmlHelpRecorder& operator=(const HtmlHelpRecorder&) = delete;
    const std::vector<AfxHtmlHelpCall>& Calls() const { return m_calls; }

private:
    std::vector<AfxHtmlHelpCall> m_calls;
    AfxHtmlHelpHandler m_previous;
};

// Writes a picture of the window (with its frame) as <name>.png into the folder named by
// VESPERLIN_SCREENSHOT_DIR (made when missing); a null name takes the running test's name
// ("Suite.Test" -> "Suite.Test.png"). The window is brought to the front and repainted
// first. Returns the file's path, or empty when no picture could be written.
CString CaptureWindow(HWND hwnd, const wchar_t* name = nullptr);

}  // namespace testsupport
