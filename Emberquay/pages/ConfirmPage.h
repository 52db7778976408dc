// The Confirm page (dialog 130): the recorder (a combo box, or its name alone when there is
// one), the parts to burn (a checked list: chosen, not chosen, or not burnable), the number of
// discs the choice needs, the burn options and the Tracks dialog. Next stores the choice in the
// sheet and the registry.
#pragma once

#include "CheckedListCtrl.h"
#include "DriveRecord.h"
#include "ListBox.h"
#include "TrackPlan.h"
#include "WizardPage.h"

class CCdWizardSheet;

// "1,234 KB" for a size in bytes (thousands grouped).
CString FormatPartSize(LONGLONG bytes);
// The speed text the Confirm page shows for a drive's speeds and the stored speed; store is
// set (with the speed to store) when the stored speed is not one the drive offers.
CString ChooseSpeedText(const DriveSpeedList& speeds, ULONG storedSpeed, BOOL testMode, bool& store, ULONG& speedToStore);

class CCdConfirmPage : public CWizardPage {
    DECLARE_DYNAMIC(CCdConfirmPage)
public:
    explicit CCdConfirmPage(CCdWizardSheet* sheet);

    // The discs the chosen items need.
    int CountChosenDiscs() const;
    CCheckedListCtrl& PartList() { return m_partList; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void RenameTargets();
    void WidenPathColumn(const CString& text);
    void UpdateDiscCount();
    void SetAllChecks(int state);
    void ShowTracks();
    void ShowOptions();
    CDriveEntry* SelectedDrive() const;

    CCdWizardSheet* m_sheet;
    CCheckedListCtrl m_partList;
    CComboBox m_drives;
    CString m_targetBase;
    CString m_defaultBase;
    CString m_partExtension;
    int m_pathColumnWidth = 100;
    int m_comboSelection = -1;
    std::vector<int> m_partTracks;  // the tracks each part's markers give (by part index)
    std::vector<uint64_t> m_partMs;  // each part's exact length, as the burn counts it (by part index)
    BOOL m_filling = FALSE;
};
