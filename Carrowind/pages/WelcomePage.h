// The Welcome page (dialog 120): introduces the transfer; Next only. For an MP3 title the
// text also mentions the iTunes library.
#pragma once

#include "WizardPage.h"

class CWelcomePage : public CWizardPage {
    DECLARE_DYNAMIC(CWelcomePage)
public:
    explicit CWelcomePage(CWizardSheetBase* sheet);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
};
