// The device wizard's sheet: the shared wizard sheet with the device wizard's pages, the device
// array the search fills and what the pages leave for each other.
#pragma once

#include "ConfirmPage.h"
#include "ProgressPage.h"
#include "SearchPage.h"
#include "SettingsPage.h"
#include "SuccessPage.h"
#include "WelcomePage.h"
#include "WizardSheet.h"

class CWizardSheet : public CWizardSheetBase {
    DECLARE_DYNAMIC(CWizardSheet)
public:
    explicit CWizardSheet(const CString& playlistPath, CWnd* parent = nullptr);
    ~CWizardSheet() override;

    // Deletes every player record and empties the array.
    void DeleteDevices();
    // Where Next on the Confirm page leads: the Settings page when iTunes' import setting
    // should be changed first, else the page after it.
    LRESULT PageAfterConfirm() const;

    CObArray m_devices;              // the players the search found; the sheet owns them
    int m_confirmedIndex = -1;
    int m_currentIndex = -1;
    CUIntArray m_numbers;
    CUIntArray m_selectedParts;      // the chosen parts' indexes, rebuilt by the Confirm page's Next
    int m_lastTransferredPart = -1;  // the number of the part sent last
    BOOL m_iTunesStarted = FALSE;    // iTunes was started by this wizard: closed at the end
    BOOL m_iTunesCompatible = FALSE; // the installed iTunes passed the version check
    CString m_elapsedText;           // the transfer's time, for the Success page

    CWelcomePage m_welcome;
    CSearchPage m_search;
    CConfirmPage m_confirm;
    CSettingsPage m_settings;
    CProgressPage m_progress;
    CSuccessPage m_success;

protected:
    void ShowAboutDialog() override;
    void OnTitleLoaded() override;
    CString ReadWindowPosition() override;
};
