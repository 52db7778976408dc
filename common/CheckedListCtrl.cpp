#include "CheckedListCtrl.h"

#include "DC.h"

IMPLEMENT_DYNAMIC(CCheckedListCtrl, CListCtrl)

namespace {
constexpr UINT kStateMask = LVIS_STATEIMAGEMASK;  // 0xF000, the index in bits 12 and up

// The state images in check-state order.
constexpr UINT kBoxStyles[4] = {
    DFCS_BUTTONCHECK,
    DFCS_BUTTONCHECK | DFCS_CHECKED,
    DFCS_BUTTONCHECK | DFCS_INACTIVE,
    DFCS_BUTTONCHECK | DFCS_CHECKED | DFCS_INACTIVE,
};

DWORD SystemMajorVersion()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return 0;
#pragma GCC diagnostic pop
    return info.dwMajorVersion;
}

int Toggled(int state) { return state == CCheckedListCtrl::kUnchecked ? CCheckedListCtrl::kChecked : CCheckedListCtrl::kUnchecked; }
}  // namespace

CCheckedListCtrl::CCheckedListCtrl() : m_headerBitmapMargin(HeaderBitmapMarginFor(SystemMajorVersion())) {}

bool CCheckedListCtrl::BuildStateImages()
{
    if (!m_stateImages.Create(kBoxSize, kBoxSize, ILC_COLOR8, 4, 1))
        return false;
    CClientDC screen(nullptr);
    CDC memory;
    CBitmap bitmap;
    if (!screen.m_hDC || !memory.CreateCompatibleDC(&screen) ||
        !bitmap.CreateCompatibleBitmap(screen, kBoxSize, kBoxSize))
        return false;
    for (UINT style : kBoxStyles) {
        CBitmap* old = memory.SelectObject(&bitmap);
        CRect box(0, 0, kBoxSize, kBoxSize);
        memory.DrawFrameControl(&box, DFC_BUTTON, style);
        memory.SelectObject(old);
        m_stateImages.Add(bitmap, static_cast<HBITMAP>(nullptr));
    }
    return true;
}

void CCheckedListCtrl::PreSubclassWindow()
{
    CListCtrl::PreSubclassWindow();
    if (!BuildStateImages())
        return;
    // The object owns the image list, so the list must not destroy it as well.
    ModifyStyle(0, LVS_SHAREIMAGELISTS);
    SetImageList(&m_stateImages, LVSIL_STATE);
    if (CHeaderCtrl* header = GetHeaderCtrl()) {
        header->SetImageList(m_stateImages);
        header->SetBitmapMargin(m_headerBitmapMargin);
    }
}

int CCheckedListCtrl::GetCheck(int row) const { return static_cast<int>(GetItemState(row, kStateMask) >> 12) - 1; }

BOOL CCheckedListCtrl::SetCheck(int row, int state)
{
    const BOOL result = SetItemState(row, INDEXTOSTATEIMAGEMASK(static_cast<UINT>(state + 1)), kStateMask);
    UpdateHeaderBox();
    return result;
}

void CCheckedListCtrl::UpdateHeaderBox()
{
    // Checked unless some enabled box is unchecked; disabled boxes do not count.
    bool allChecked = true;
    const int count = GetItemCount();
    for (int row = 0; row < count && allChecked; ++row)
        allChecked = GetCheck(row) != kUnchecked;
    LVCOLUMNW column{};
    column.mask = LVCF_FMT | LVCF_IMAGE;
    column.fmt = LVCFMT_IMAGE;
    column.iImage = allChecked ? 1 : 0;
    SetColumn(0, &column);
    // The header shows the picture only with HDF_IMAGE, which not every list view passes on
    // from LVCFMT_IMAGE (Wine's does not): set it on the header item as well.
    if (CHeaderCtrl* header = GetHeaderCtrl()) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (header->GetItem(0, &item)) {
            item.mask = HDI_FORMAT | HDI_IMAGE;
            item.fmt |= HDF_IMAGE;
            item.iImage = column.iImage;
            header->SetItem(0, &item);
        }
    }
}

void CCheckedListCtrl::SetSelectedChecks(int state)
{
    for (int position = GetFirstSelectedItemPosition(); position;) {
        const int row = GetNextSelectedItem(position);
        if (!IsDisabled(GetCheck(row)))
            SetCheck(row, state);
    }
}

void CCheckedListCtrl::OnParentNotify(UINT message, LPARAM lParam)
{
    CHeaderCtrl* header = GetHeaderCtrl();
    if (LOWORD(message) == WM_LBUTTONDOWN && header) {
        CRect item;
        header->GetItemRect(0, &item);
        const int top = (item.Height() - kBoxSize) / 2;
        CRect box(4, top, 4 + kBoxSize, top + kBoxSize);
        box.InflateRect(4, 4);
        // The click comes in our client coordinates; the box is the header's.
        CPoint point(lParam);
        MapWindowPoints(m_hWnd, header->m_hWnd, &point, 1);
        if (box.PtInRect(point)) {
            LVCOLUMNW column{};
            column.mask = LVCF_IMAGE;
            GetColumn(0, &column);
            const int state = column.iImage == 0 ? kChecked : kUnchecked;
            const int count = GetItemCount();
            for (int row = 0; row < count; ++row) {
                if (!IsDisabled(GetCheck(row)))
                    SetCheck(row, state);
            }
        }
    }
    CListCtrl::OnParentNotify(message, lParam);
}

void CCheckedListCtrl::OnLButtonDown(UINT flags, CPoint point)
{
    UINT hit = 0;
    const int row = HitTest(point, &hit);
    if (row >= 0 && (hit & LVHT_ONITEMSTATEICON) && !IsDisabled(GetCheck(row))) {
        const int state = Toggled(GetCheck(row));
        if (GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED)
            SetSelectedChecks(state);
        else
            SetCheck(row, state);
    }
    CListCtrl::OnLButtonDown(flags, point);
}

void CCheckedListCtrl::OnKeyDown(UINT key, UINT repeat, UINT flags)
{
    if (key == VK_SPACE) {
        const int focused = GetNextItem(-1, LVNI_FOCUSED);
        if (focused >= 0 && !IsDisabled(GetCheck(focused))) {
            SetSelectedChecks(Toggled(GetCheck(focused)));
            // Clearing and setting the focus again repaints the focus rectangle.
            SetItemState(focused, 0, LVIS_FOCUSED);
            SetItemState(focused, LVIS_FOCUSED, LVIS_FOCUSED);
        }
    }
    CListCtrl::OnKeyDown(key, repeat, flags);
}

HRESULT CCheckedListCtrl::get_accName(VARIANT child, BSTR* name)
{
    const int row = AccessibleRow(child);
    if (row >= 0 && name && row < GetItemCount()) {
        CString joined;
        for (int subItem = 0; subItem < 4; ++subItem) {
            const CString text = GetItemText(row, subItem);
            if (!text.IsEmpty())
                joined += text + L" ";
        }
        if (!joined.IsEmpty()) {
            *name = SysAllocString(joined);
            return *name ? S_OK : E_OUTOFMEMORY;
        }
    }
    return CListCtrl::get_accName(child, name);
}

HRESULT CCheckedListCtrl::get_accRole(VARIANT child, VARIANT* role)
{
    const HRESULT hr = CListCtrl::get_accRole(child, role);
    if (SUCCEEDED(hr) && AccessibleRow(child) >= 0 && role->vt == VT_I4 && role->lVal == ROLE_SYSTEM_LISTITEM)
        role->lVal = ROLE_SYSTEM_CHECKBUTTON;
    return hr;
}

HRESULT CCheckedListCtrl::get_accState(VARIANT child, VARIANT* state)
{
    const HRESULT hr = CListCtrl::get_accState(child, state);
    if (SUCCEEDED(hr) && AccessibleRow(child) >= 0 && state->vt == VT_I4) {
        const int check = GetCheck(AccessibleRow(child));
        if (check != kNoBox) {
            if (IsDisabled(check))
                state->lVal |= STATE_SYSTEM_READONLY;
            if (check & 1)
                state->lVal |= STATE_SYSTEM_CHECKED;
        }
    }
    return hr;
}
