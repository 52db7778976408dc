// The CD wizard's plain pages: Welcome (dialog 129), Search (132) and Success (133). The Search page runs the recorder search each time it becomes active, with every
// button off, and moves on by itself: Next when recorders were found, else Back to Welcome.
#pragma once

#include "AnimateCtrl.h"
#include "DriveSearch.h"
#include "SearchWatch.h"
#include "WizardPage.h"

#include <memory>

class CCdWizardSheet;

class CCdWelcomePage : public CWizardPage {
    DECLARE_DYNAMIC(CCdWelcomePage)
public:
    explicit CCdWelcomePage(CCdWizardSheet* sheet);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};

class CCdSearchPage : public CWizardPage {
    DECLARE_DYNAMIC(CCdSearchPage)
public:
    explicit CCdSearchPage(CCdWizardSheet* sheet);

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
    void FinishSearch();

    CCdWizardSheet* m_sheet;
    CAnimateCtrl m_animation;
    std::shared_ptr<DriveSearchJob> m_job;
    CSearchWatch m_watch;
};

class CCdSuccessPage : public CWizardPage {
    DECLARE_DYNAMIC(CCdSuccessPage)
public:
    explicit CCdSuccessPage(CCdWizardSheet* sheet);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

private:
    void ShowResult();
    CCdWizardSheet* m_sheet;
};
