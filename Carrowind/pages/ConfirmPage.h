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
    const CString& GetFolder() const { return m_strFolder; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardBack() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

    // Ctrl+Alt+F12 and "Advanced Options...": the options of the transfer to the player
    // (ConfirmAdvancedOptions.cpp).
    virtual void OnAdvancedOptions();

private:
    void ShowPlayerChoice(INT_PTR playerCount);
    void FillPlayers();

    CWizardSheet* m_sheet;
    CString m_strFolder = L"\\";
    CString m_strBaseName;
    int m_selectedPlayer = -1;
};
