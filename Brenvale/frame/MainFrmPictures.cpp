// The frame's side of the library's thumbnails: decoding them in turns after the frame
// shows, the rows on screen first, and redrawing those rows as their pictures arrive.
#include "MainFrm.h"

#include "BrenvaleListView.h"

#include <algorithm>

namespace {
constexpr UINT_PTR kPictureTimer = 0x5049;  // "PI"
constexpr UINT kPictureTimerMs = 20;
constexpr INT_PTR kPicturesPerTurn = 8;
}  // namespace

void CMainFrame::StartPictureTurns()
{
    CBrenvaleDoc* library = GetLibrary();
    if (library && library->GetPendingPictureCount() > 0)
        ::SetTimer(m_hWnd, kPictureTimer, kPictureTimerMs, nullptr);
}

BOOL CMainFrame::FillPicturesTurn()
{
    CBrenvaleDoc* library = GetLibrary();
    if (!library || library->GetPendingPictureCount() == 0)
        return FALSE;
    CBrenvaleListView* list = GetListView();
    if (list) {
        std::vector<const CMediaObject*> onScreen = list->GetTitlesOnScreen();
        if (onScreen != m_titlesOnScreen) {
            const INT_PTR waitingOnScreen = library->PutPicturesFirst(onScreen);
            if (m_onScreenWaiting != 0)
                m_onScreenWaiting = waitingOnScreen;
            m_titlesOnScreen = std::move(onScreen);
        }
    }
    std::vector<const CMediaObject*> filled;
    const INT_PTR before = library->GetPendingPictureCount();
    const INT_PTR waiting = library->FillPendingPictures(kPicturesPerTurn, &filled);
    // The rows on screen stood at the head of the queue: those taken from it were theirs.
    if (m_onScreenWaiting > 0) {
        m_onScreenWaiting = std::max<INT_PTR>(0, m_onScreenWaiting - (before - waiting));
        if (m_onScreenWaiting == 0)
            ConsoleLog(L"pictures on screen");
    }
    if (waiting == 0)
        ConsoleLog(L"pictures filled");
    if (list) {
        for (const CMediaObject* title : filled) {
            if (std::find(m_titlesOnScreen.begin(), m_titlesOnScreen.end(), title) != m_titlesOnScreen.end()) {
                list->RefreshTitlePictures();
                break;
            }
        }
    }
    return waiting > 0;
}

BOOL CMainFrame::OnPictureTimer()
{
    // While the frame is enabled the idle turns do the work; a modal loop has none.
    if (!IsWindowEnabled())
        FillPicturesTurn();
    CBrenvaleDoc* library = GetLibrary();
    if (!library || library->GetPendingPictureCount() == 0)
        ::KillTimer(m_hWnd, kPictureTimer);
    return TRUE;
}

bool CMainFrame::IsPictureTimer(UINT_PTR id) { return id == kPictureTimer; }
