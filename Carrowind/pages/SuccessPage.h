// The Success page (dialog 125): ends the wizard (Finish only, Cancel becomes Close), shows the
// time the transfer took and offers to remove the player safely (command 32788). For the
// iTunes library the page tells nobody to disconnect anything and removal does nothing.
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

    // The Apple kind of a player's name: 1 for the iTunes library alone, higher for Apple
    // players, 0 for others.
    static int AppleKindOfName(const CString& name);

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
    CWizardSheet* m_sheet;
};
