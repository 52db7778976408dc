// The CD wizard's sheet: the shared wizard sheet with the CD wizard's five pages (Welcome,
// Search, Confirm, Progress, Success), the recorders the search found and what the pages leave
// for each other (the recorder and parts chosen, test mode).
#pragma once

#include "CdPages.h"
#include "ConfirmPage.h"
#include "ProgressPage.h"
#include "WizardSheet.h"

class CCdWizardSheet : public CWizardSheetBase {
    DECLARE_DYNAMIC(CCdWizardSheet)
public:
    explicit CCdWizardSheet(const CString& playlistPath, CWnd* parent = nullptr);
    ~CCdWizardSheet() override;

    // Deletes every drive entry and empties the array.
    void DeleteDrives();
    // The drive entry at an index of the array, or null.
    CDriveEntry* GetDrive(int index) const;

    CObArray m_drives;            // CDriveEntry records the search found; the sheet owns them
    int m_selectedDrive = -1;
    int m_lastBurnedPart = -1;    // the part number that last reached the burn, -1 for none
    CUIntArray m_selectedParts;   // indexes of the chosen parts, in list order
    BOOL m_testMode = FALSE;
    int m_discsNeeded = 0;        // the discs the Confirm page announced for the chosen parts
    CString m_elapsedText;        // the burn's time, for the Success page

    CCdWelcomePage m_welcome;
    CCdSearchPage m_search;
    CCdConfirmPage m_confirm;
    CCdProgressPage m_progress;
    CCdSuccessPage m_success;

protected:
    BOOL OnInitDialog() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void ShowAboutDialog() override;
};
