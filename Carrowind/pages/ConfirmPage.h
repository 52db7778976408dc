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
    // Advanced Options for the chosen player (ConfirmAdvancedOptions.cpp): takes back the folder
    // and base name the user accepted; a lost Zune ends the wizard.
    void OnAdvancedOptions();

    CString m_strFolder = L"\\";  // the folder on the player that receives the parts
    CString m_strBaseName;         // the parts' base file name

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    void ShowPlayerChoice(INT_PTR playerCount);
    void FillPlayers();

    CWizardSheet* m_sheet;
    int m_selectedPlayer = -1;
};
