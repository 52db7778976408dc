// The Settings page (dialog 122): shown before a transfer of Windows Media audio to an Apple
// player when iTunes' AAC import setting differs from the one recommended here. It sets the
// recommended setting beside the user's with the time each takes per part, and Refresh reads
// iTunes' settings again once the user changed them in iTunes. Next goes on, Back and Cancel
// return to the Confirm page. The page only reads iTunes' settings; it changes none of them.
#pragma once

#include "WizardPage.h"

class CWizardSheet;
struct iTunesImportSettings;

class CSettingsPage : public CWizardPage {
    DECLARE_DYNAMIC(CSettingsPage)
public:
    explicit CSettingsPage(CWizardSheet* sheet);

    // Reads iTunes' import settings again and shows how they compare.
    void Refresh();
    // The same with the settings given (as read for a Windows Media audiobook).
    void ShowSettings(const iTunesImportSettings& settings);
    // Whether the last refresh found the recommended setting.
    BOOL SettingsMatch() const { return m_match; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    BOOL OnQueryCancel() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    // Gives an item's markup label (made when missing) a text.
    void SetLabel(UINT itemId, const CString& text);

    BOOL m_match = FALSE;
};
