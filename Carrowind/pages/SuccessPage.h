// The Success page (dialog 125): ends the wizard (Finish only, Cancel becomes Close), shows the
// time the transfer took and offers to remove the player safely (command 32788). For the
// iTunes library the page tells nobody to disconnect anything and removal does nothing. After
// Windows Media audio went to an Apple player, a user whose iTunes import setting now differs
// from the one before the transfer is reminded of that one in place of the disconnect sentence.
#pragma once

#include "WizardPage.h"

#include <functional>

class CWizardSheet;

// Safely removes a player by its name: 0 when removed, else a code; status gets the text.
using PlayerRemover = std::function<int(const CString& deviceName, CString& status)>;
// Replaces the remover (an empty one restores the product's); returns the one before.
PlayerRemover SetPlayerRemover(PlayerRemover remover);

class CSuccessPage : public CWizardPage {
    DECLARE_DYNAMIC(CSuccessPage)
public:
    explicit CSuccessPage(CWizardSheet* sheet);

    CString m_status;
    CString m_deviceName = L"player";
    int m_removalResult = 0;
    int m_appleKind = 0;
    CString m_iTunesDeviceName = L"iPod";

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    void OnSafelyRemovePlayer();
    void TellWhatWasCopied();
    CWizardSheet* m_sheet;
};
