// CCheckedListCtrl: a report list whose rows carry a check box drawn as a state image, with
// a "check all" box in the first column's header; clicks on a selected row's box and the
// space bar toggle the whole selection. Dialogs subclass a list control with it (DDX_Control
// or SubclassDlgItem) and read and set the boxes with GetCheck and SetCheck:
//     m_parts.SubclassDlgItem(IDC_PART_LIST, this);
//     m_parts.SetCheck(row, CCheckedListCtrl::kChecked);
// Accessibility presents rows as check buttons named after their texts.
#pragma once

#include "ImageList.h"
#include "ListCtrl.h"

class CCheckedListCtrl : public CListCtrl {
    DECLARE_DYNAMIC(CCheckedListCtrl)
public:
    // Check states: bit 1 set = the box is disabled (cannot be changed by the user).
    enum : int { kNoBox = -1, kUnchecked = 0, kChecked = 1, kUncheckedDisabled = 2, kCheckedDisabled = 3 };
    // The size of the drawn boxes.
    static constexpr int kBoxSize = 13;

    CCheckedListCtrl();

    // The row's check state (kNoBox when the row has no state image).
    int GetCheck(int row) const;
    // Sets the row's check state and updates the header box; the result of setting the item state.
    BOOL SetCheck(int row, int state);
    static bool IsDisabled(int state) { return (state & 2) != 0; }
    // The margin of the header's picture for a system major version.
    static int HeaderBitmapMarginFor(DWORD majorVersion) { return majorVersion > 5 ? 4 : -2; }
    int GetHeaderBitmapMargin() const { return m_headerBitmapMargin; }
    const CImageList& GetStateImages() const { return m_stateImages; }

    HRESULT get_accName(VARIANT child, BSTR* name) override;
    HRESULT get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT get_accState(VARIANT child, VARIANT* state) override;

protected:
    void PreSubclassWindow() override;
    void OnParentNotify(UINT message, LPARAM lParam) override;
    void OnLButtonDown(UINT flags, CPoint point) override;
    void OnKeyDown(UINT key, UINT repeat, UINT flags) override;

private:
    bool BuildStateImages();
    void UpdateHeaderBox();
    // Sets every enabled box of the selection (from the first selected row on) to state.
    void SetSelectedChecks(int state);

    CImageList m_stateImages;
    int m_headerBitmapMargin;
};
