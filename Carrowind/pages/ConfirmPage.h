// The Confirm page (dialog 121): the players the search found, the only one by its name or
// a drop-down list of their display names to choose from. Back returns to the Welcome page.
#pragma once

#include "WizardPage.h"

class CWizardSheet;
class PlayerRecord;

class CConfirmPage : public CWizardPage {
    DECLARE_DYNAMIC(CConfirmPage)
public:
    explicit CConfirmPage(CWizardSheet* sheet);

    // The chosen player (the drop-down's selection, or the only one); null when none.
    PlayerRecord* GetSelectedPlayer();
    int GetSelectedIndex() const { return m_selectedPlayer; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    LRESULT OnWizardNext() override;

private:
    void ShowPlayerChoice(INT_PTR playerCount);
    void FillPlayers();

    CWizardSheet* m_sheet;
    int m_selectedPlayer = -1;
};
