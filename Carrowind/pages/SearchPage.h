// The Search page (dialog 124): the shared Search page over the device search, whose players
// the sheet's device array takes when it reports (players found: Next; none: Back to Welcome).
#pragma once

#include "DeviceSearch.h"
#include "WizardSearchPage.h"

class CWizardSheet;

class CSearchPage : public CWizardSearchPage {
    DECLARE_DYNAMIC(CSearchPage)
public:
    explicit CSearchPage(CWizardSheet* sheet);

protected:
    std::shared_ptr<SearchJob> NewSearchJob() override;
    CWinThread* StartSearchThread(const std::shared_ptr<SearchJob>& job) override;
    INT_PTR FoundCount() const override;
    void AcceptFound(CObArray& found) override;
    void DiscardFound() override;
    void LogFound(INT_PTR found) override;

private:
    CWizardSheet* m_sheet;
};
