#include "WindowTestSupport.h"

#include "Wnd.h"

#include <gtest/gtest.h>

#include <gdiplus.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>

namespace testsupport {

void RunMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                continue;
            if (!AfxPreTranslateMessage(&msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (ms)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

void PumpMessages(DWORD ms)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (ms)
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
}

namespace {
bool Matches(HWND hwnd, const wchar_t* className, const wchar_t* text)
{
    wchar_t buffer[256];
    if (className) {
        GetClassNameW(hwnd, buffer, 256);
        if (lstrcmpiW(buffer, className) != 0)
            return false;
    }
    if (text) {
        GetWindowTextW(hwnd, buffer, 256);
        if (lstrcmpW(buffer, text) != 0)
            return false;
    }
    return true;
}

struct Search {
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    if (process == GetCurrentProcessId() && Matches(hwnd, search->className, search->title)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK FindChild(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    if (Matches(hwnd, search->className, search->title)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        Search search{className, title, nullptr};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (GetTickCount() - start >= timeoutMs)
            return nullptr;
        PumpMessages(20);
    }
}

HWND FindDescendant(HWND parent, const wchar_t* className, const wchar_t* text)
{
    Search search{className, text, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {
void Collect(HWND root, HWND hwnd, int depth, std::vector<WindowInfo>& tree)
{
    WindowInfo info;
    info.depth = depth;
    wchar_t buffer[512];
    GetClassNameW(hwnd, buffer, 512);
    info.className = buffer;
    info.id = depth == 0 ? 0 : GetDlgCtrlID(hwnd);
    const int length = GetWindowTextW(hwnd, buffer, 512);
    info.text = CString(buffer, length > 0 ? length : 0);
    info.style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, root, reinterpret_cast<POINT*>(&rect), 2);
    info.rect = rect;
    info.visible = IsWindowVisible(hwnd) != FALSE;
    tree.push_back(info);
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        Collect(root, child, depth + 1, tree);
}
}  // namespace

std::vector<WindowInfo> WindowTree(HWND root)
{
    std::vector<WindowInfo> tree;
    if (root && IsWindow(root))
        Collect(root, root, 0, tree);
    return tree;
}

CString DumpWindowTree(HWND root)
{
    CString dump;
    for (const WindowInfo& w : WindowTree(root)) {
        CString line;
        line.Format(L"%*s%s id=%d \"%s\" style=0x%08X rect=(%d,%d,%d,%d)%s\n", w.depth * 2, L"",
                    static_cast<const wchar_t*>(w.className), w.id, static_cast<const wchar_t*>(w.text), w.style,
                    w.rect.left, w.rect.top, w.rect.right, w.rect.bottom, w.visible ? L"" : L" hidden");
        dump += line;
    }
    return dump;
}

const WindowInfo* FindById(const std::vector<WindowInfo>& tree, int id)
{
    for (const WindowInfo& w : tree) {
        if (w.depth > 0 && w.id == id)
            return &w;
    }
    return nullptr;
}

// --- Steps ---

namespace {
constexpr DWORD kStepPatienceMs = 5000;
}

namespace {
// Steps run on the test thread only.
std::vector<std::pair<UINT_PTR, StepRunner*>> t_runners;
}

StepRunner::StepRunner(std::vector<Step> steps, UINT intervalMs) : m_steps(steps.begin(), steps.end())
{
    Start(intervalMs);
}

StepRunner::StepRunner(std::vector<std::function<void()>> steps, UINT intervalMs)
{
    for (auto& step : steps)
        m_steps.push_back([step] {
            step();
            return true;
        });
    Start(intervalMs);
}

void StepRunner::Start(UINT intervalMs)
{
    m_timer = SetTimer(nullptr, 0, intervalMs, Tick);
    t_runners.emplace_back(m_timer, this);
}

StepRunner::~StepRunner()
{
    KillTimer(nullptr, m_timer);
    for (auto it = t_runners.begin(); it != t_runners.end(); ++it) {
        if (it->second == this) {
            t_runners.erase(it);
            break;
        }
    }
}

void CALLBACK StepRunner::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    StepRunner* runner = nullptr;
    for (auto& entry : t_runners) {
        if (entry.first == id)
            runner = entry.second;
    }
    // A step may run a nested loop (a box, a dialog): the timer ticks there too, but the
    // step that is running is not re-entered.
    if (!runner || runner->m_running)
        return;
    if (runner->m_steps.empty()) {
        runner->EndLeftWindowsOfFailedTest();
        return;
    }
    runner->m_running = true;
    if (!runner->m_stepStarted)
        runner->m_stepStarted = GetTickCount();
    Step step = runner->m_steps.front();
    bool done = false;
    try {
        done = step();
    } catch (...) {
        ADD_FAILURE() << "a test step threw";
        runner->m_failed = true;
        done = true;
    }
    // The runner may have been destroyed by the step's nested loop ending the test: look again.
    for (auto& entry : t_runners) {
        if (entry.second != runner)
            continue;
        runner->m_running = false;
        if (!done && GetTickCount() - runner->m_stepStarted > kStepPatienceMs) {
            ADD_FAILURE() << "a test step waited in vain for " << kStepPatienceMs << " ms";
            runner->m_failed = true;
            done = true;
        }
        if (done && !runner->m_steps.empty()) {
            runner->m_steps.pop_front();
            runner->m_stepStarted = 0;
        }
    }
}

namespace {
BOOL CALLBACK EndModalWindow(HWND hwnd, LPARAM ended)
{
    CWnd* window = CWnd::FromHandlePermanent(hwnd);
    if (window && window->ContinueModal()) {
        window->EndModalLoop(IDABORT);
        ++*reinterpret_cast<int*>(ended);
    }
    return TRUE;
}
}  // namespace

void StepRunner::EndLeftWindowsOfFailedTest()
{
    if (m_leftWindowsEnded || !(m_failed || ::testing::Test::HasFailure()))
        return;
    // A failed step may leave a window that the last step cannot close (a page refusing
    // Cancel while it waits for work that never comes): after the steps' patience its modal
    // loop is ended, so the failing test fails at once instead of waiting for its time limit.
    if (!m_stepStarted)
        m_stepStarted = GetTickCount();
    if (GetTickCount() - m_stepStarted <= kStepPatienceMs)
        return;
    m_leftWindowsEnded = true;
    int ended = 0;
    EnumThreadWindows(GetCurrentThreadId(), EndModalWindow, reinterpret_cast<LPARAM>(&ended));
    if (ended)
        fprintf(stderr, "after a failed test step, %d window(s) left open were ended\n", ended);
}

// --- Help ---

HtmlHelpRecorder::HtmlHelpRecorder()
{
    m_previous = AfxSetHtmlHelpHandler([this](const AfxHtmlHelpCall& call) -> HWND {
        m_calls.push_back(call);
        return nullptr;
    });
}

HtmlHelpRecorder::~HtmlHelpRecorder() { AfxSetHtmlHelpHandler(m_previous); }

// --- Pictures ---

namespace {
bool PngEncoder(CLSID* clsid)
{
    UINT count = 0;
    UINT size = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &size) != Gdiplus::Ok || size == 0)
        return false;
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, size, codecs) != Gdiplus::Ok)
        return false;
    for (UINT i = 0; i < count; ++i) {
        if (codecs[i].MimeType && lstrcmpiW(codecs[i].MimeType, L"image/png") == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

CString PictureName(const wchar_t* name)
{
    if (name)
        return CString(name);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!test)
        return CString(L"window");
    CString full = CString::FromNarrow(test->test_suite_name(), -1, CP_UTF8) + L"." +
                   CString::FromNarrow(test->name(), -1, CP_UTF8);
    full.Replace(L'/', L'_');
    return full;
}
}  // namespace

CString CaptureWindow(HWND hwnd, const wchar_t* name)
{
    const char* folderVariable = std::getenv("VESPERLIN_SCREENSHOT_DIR");
    if (!hwnd || !IsWindow(hwnd) || !folderVariable || !*folderVariable)
        return CString();
    const CString folder = WindowsPath(folderVariable);
    SHCreateDirectoryExW(nullptr, folder, nullptr);
    const CString path = folder + L"\\" + PictureName(name) + L".png";

    // The picture is taken from the screen (Wine's PrintWindow leaves the controls out), so
    // window tests never share the display (CTest runs them one at a time).
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    PumpMessages(150);

    RECT rect{};
    GetWindowRect(hwnd, &rect);
    const int cx = rect.right - rect.left;
    const int cy = rect.bottom - rect.top;
    HBITMAP bitmap = nullptr;
    if (cx > 0 && cy > 0) {
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        bitmap = CreateCompatibleBitmap(screen, cx, cy);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, cx, cy, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
    if (!bitmap)
        return CString();

    bool written = false;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok) {
        CLSID png{};
        Gdiplus::GpBitmap* image = nullptr;
        if (PngEncoder(&png) &&
            Gdiplus::DllExports::GdipCreateBitmapFromHBITMAP(bitmap, nullptr, &image) == Gdiplus::Ok) {
            written = Gdiplus::DllExports::GdipSaveImageToFile(image, path, &png, nullptr) == Gdiplus::Ok;
            Gdiplus::DllExports::GdipDisposeImage(image);
        }
        Gdiplus::GdiplusShutdown(token);
    }
    DeleteObject(bitmap);
    return written ? path : CString();
}

OwnerWindow::OwnerWindow(Handler handler) : m_handler(std::move(handler))
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &OwnerWindow::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VesperlinTestOwnerWindow";
    RegisterClassW(&wc);  // fails harmlessly once registered
    m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

OwnerWindow::~OwnerWindow() { DestroyWindow(m_hwnd); }

LRESULT CALLBACK OwnerWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (self && self->m_handler && self->m_handler(message, wParam, lParam, &result))
        return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace testsupport
