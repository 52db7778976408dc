// The Search page both wizards share: runs the wizard's search each time it becomes active,
// with every button off, and moves on by itself: Next when something was found, else Back to
// Welcome. A search thread that ends without reporting is treated as done. The search fills
// its job's own array; the page takes the records into the sheet when the search reports (or
// its thread has ended). Cancel asks the search to stop and waits for it a bounded time while
// answering it; a search still inside a call then stops by itself, keeping what it found until
// it ends, and the next search waits for it. The wizard stays open on the Welcome page.
//
// A wizard's page gives its search through these members:
//
//     std::shared_ptr<SearchJob> NewSearchJob() override;   // its job, its own fields filled
//     CWinThread* StartSearchThread(const std::shared_ptr<SearchJob>& job) override;  // suspended
//     INT_PTR FoundCount() const override;
//     void AcceptFound(CObArray& found) override;           // the sheet takes the records
//     void DiscardFound() override;                         // the sheet's records go
//
// The page fills the job's owner and the text it shows when nothing is found.
#pragma once

#include "AnimateCtrl.h"
#include "SearchWatch.h"
#include "WizardPage.h"

#include <memory>

class CWizardSearchPage : public CWizardPage {
    DECLARE_DYNAMIC(CWizardSearchPage)
public:
    // logName starts the page's verbose log records ("DeviceSearch").
    CWizardSearchPage(CWizardSheetBase* sheet, UINT templateId, const wchar_t* helpTopic, const wchar_t* logName);

    // A search runs, or waits for a stopped one to end before it starts.
    BOOL IsSearching() const { return m_job != nullptr || m_startPending; }

protected:
    virtual std::shared_ptr<SearchJob> NewSearchJob() = 0;
    // The search thread for the job, suspended; nullptr when it cannot be started.
    virtual CWinThread* StartSearchThread(const std::shared_ptr<SearchJob>& job) = 0;
    virtual INT_PTR FoundCount() const = 0;
    // The sheet takes the records a search found (found is left empty).
    virtual void AcceptFound(CObArray& found) = 0;
    // The sheet's records of an earlier search go (a new search starts).
    virtual void DiscardFound() = 0;
    // Adds the verbose log's records of what was found (found > 0).
    virtual void LogFound(INT_PTR found) = 0;

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

    const wchar_t* m_logName;
    CAnimateCtrl m_animation;
    std::shared_ptr<SearchJob> m_job;
    CSearchWatch m_watch;
    BOOL m_startPending = FALSE;  // a search waits for a stopped one to end
};
