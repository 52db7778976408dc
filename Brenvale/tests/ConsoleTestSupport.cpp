#include "ConsoleTestSupport.h"

#include "WindowTestSupport.h"
#include "res/MediaExplorerIds.h"

#include <mmsystem.h>

bool ConsoleUnderTest::Start(const wchar_t* appName, const CRuntimeClass* documentClass, int width, int height)
{
    app = std::make_unique<CBrenvaleApp>(appName);
    if (!app->CreateConsole(FALSE, documentClass))
        return false;
    frame = static_cast<CMainFrame*>(app->m_pMainWnd);
    hwnd = frame->m_hWnd;
    frame->MoveWindow(0, 0, width, height);
    testsupport::RunMessages(100);
    return true;
}

void ConsoleUnderTest::Stop(DWORD waitMs)
{
    if (hwnd && IsWindow(hwnd)) {
        frame->CancelDownload();
        const DWORD start = GetTickCount();
        while (!frame->GetDownloadQueue().IsEmpty() && GetTickCount() - start < waitMs)
            testsupport::RunMessages(10);
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
    }
    if (hwnd && IsWindow(hwnd))
        DestroyWindow(hwnd);
    testsupport::RunMessages(0);
    if (app)
        app->ExitInstance();
    app.reset();
    frame = nullptr;
    hwnd = nullptr;
}

void ExpectOnlyNoSoundOutputBoxes(testsupport::MessageBoxRecorder& boxes, size_t playersOpened)
{
    const size_t expected = waveOutGetNumDevs() > 0 ? 0 : playersOpened;
    EXPECT_EQ(boxes.Boxes().size(), expected);
    for (const AfxMessageBoxRequest& box : boxes.Boxes())
        EXPECT_EQ(box.text, AfxLoadString(IDS_NO_SOUND_OUTPUT));
    boxes.Clear();
}
