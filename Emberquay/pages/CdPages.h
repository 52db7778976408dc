// The CD wizard's plain pages: Welcome (dialog 129), Search (132) and Success (133). The Search page is the shared one over the
// recorder search, which fills the sheet's drive array (recorders found: Next; none: Back).
#pragma once

#include "DriveSearch.h"
#include "WizardSearchPage.h"

class CCdWizardSheet;

class CCdWelcomePage : public CWizardPage {
    DECLARE_DYNAMIC(CCdWelcomePage)
public:
    explicit CCdWelcomePage(CCdWizardSheet* sheet);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};

class CCdSearchPage : public CWizardSearchPage {
    DECLARE_DYNAMIC(CCdSearchPage)
public:
    explicit CCdSearchPage(CCdWizardSheet* sheet);

protected:
    std::shared_ptr<SearchJob> NewSearchJob() override;
    CWinThread* StartSearchThread(const std::shared_ptr<SearchJob>& job) override;
    INT_PTR FoundCount() const override;
    void AcceptFound(CObArray& found) override;
    void DiscardFound() override;
    void LogFound(INT_PTR found) override;

private:
    CCdWizardSheet* m_sheet;
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
