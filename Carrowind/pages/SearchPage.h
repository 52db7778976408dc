// The Search page (dialog 124): runs the device search each time it becomes active, with every
// button off, and moves on by itself: Next when players were found, else Back to Welcome.
// A search thread that ends without reporting is treated as done. Cancel asks the search to
// stop, waits for it a bounded time while answering it, and only then ends it by force; the
// wizard stays open on the Welcome page.
#pragma once

#include "AnimateCtrl.h"
#include "DeviceSearch.h"
#include "SearchWatch.h"
#include "WizardPage.h"

#include <memory>

class CWizardSheet;

class CSearchPage : public CWizardPage {
    DECLARE_DYNAMIC(CSearchPage)
public:
    explicit CSearchPage(CWizardSheet* sheet);

    BOOL IsSearching() const { return m_job != nullptr; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
    void OnTimer(UINT_PTR id) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void StartSearch();
    // The search has reported (or its thread ended): forget it, then Next or Back.
    void FinishSearch();

    CWizardSheet* m_sheet;
    CAnimateCtrl m_animation;
    std::shared_ptr<DeviceSearchJob> m_job;
    CSearchWatch m_watch;
};
