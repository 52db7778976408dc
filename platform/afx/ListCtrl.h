// CListCtrl and CHeaderCtrl: a list-view control and the header of its report view; the
// dialog or view that holds the control owns the window.
//     CListCtrl& list = ...;  list.InsertColumn(0, L"Name", LVCFMT_LEFT, 120);
//     int row = list.InsertItem(list.GetItemCount(), L"first");  list.SetItemText(row, 1, L"x");
// Accessibility: the list answers WM_GETOBJECT itself and supplies its rows as child
// elements (name = the row's first text, role list item, selected/focused states), which
// the system's standard object of a list view may not know.
#pragma once

#include <algorithm>

#include "ImageList.h"
#include "Wnd.h"

#include <commctrl.h>

class CEdit;

class CHeaderCtrl : public CWnd {
    DECLARE_DYNAMIC(CHeaderCtrl)
public:
    int GetItemCount() const { return Header_GetItemCount(m_hWnd); }
    BOOL GetItemRect(int index, RECT* rect) const { return Header_GetItemRect(m_hWnd, index, rect); }
    BOOL GetItem(int index, HDITEMW* item) const { return static_cast<BOOL>(SendMessage(HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item))); }
    BOOL SetItem(int index, HDITEMW* item) { return static_cast<BOOL>(SendMessage(HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item))); }
    HIMAGELIST SetImageList(HIMAGELIST list) { return reinterpret_cast<HIMAGELIST>(SendMessage(HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(list))); }
    HIMAGELIST GetImageList() const { return reinterpret_cast<HIMAGELIST>(SendMessage(HDM_GETIMAGELIST)); }
    int SetBitmapMargin(int width) { return static_cast<int>(SendMessage(HDM_SETBITMAPMARGIN, static_cast<WPARAM>(width))); }
    int GetBitmapMargin() const { return static_cast<int>(SendMessage(HDM_GETBITMAPMARGIN)); }
};

class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)
public:
    CListCtrl() { EnableActiveAccessibility(); }
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", style | WS_CHILD, rect, parent, id);
    }
    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    int GetNextItem(int start, UINT flags) const { return ListView_GetNextItem(m_hWnd, start, flags); }
    int GetSelectedCount() const { return static_cast<int>(ListView_GetSelectedCount(m_hWnd)); }
    int GetSelectionMark() const { return ListView_GetSelectionMark(m_hWnd); }
    int GetCountPerPage() const { return ListView_GetCountPerPage(m_hWnd); }
    int GetTopIndex() const { return ListView_GetTopIndex(m_hWnd); }
    BOOL DeleteAllItems() { return ListView_DeleteAllItems(m_hWnd); }
    BOOL DeleteItem(int item) { return ListView_DeleteItem(m_hWnd, item); }
    BOOL DeleteColumn(int column) { return ListView_DeleteColumn(m_hWnd, column); }
    BOOL EnsureVisible(int item, BOOL partialOk) { return ListView_EnsureVisible(m_hWnd, item, partialOk); }
    UINT GetItemState(int item, UINT mask) const { return ListView_GetItemState(m_hWnd, item, mask); }
    BOOL SetItemState(int item, UINT state, UINT mask);
    DWORD_PTR GetItemData(int item) const;
    BOOL SetItemData(int item, DWORD_PTR data);
    BOOL GetItem(LVITEMW* item) const { return static_cast<BOOL>(SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
    BOOL SetItem(const LVITEMW* item) { return static_cast<BOOL>(SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(item))); }
    // Returns the new row's index, or -1.
    int InsertItem(int item, const wchar_t* text, int image = -1);
    int InsertItem(const LVITEMW* item) { return static_cast<int>(SendMessage(LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(item))); }
    CString GetItemText(int item, int subItem) const;
    BOOL SetItemText(int item, int subItem, const wchar_t* text);
    int InsertColumn(int column, const wchar_t* heading, int format = LVCFMT_LEFT, int width = -1, int subItem = -1);
    BOOL GetColumn(int column, LVCOLUMNW* info) const { return static_cast<BOOL>(SendMessage(LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(info))); }
    BOOL SetColumn(int column, const LVCOLUMNW* info) { return static_cast<BOOL>(SendMessage(LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(info))); }
    int GetColumnWidth(int column) const { return ListView_GetColumnWidth(m_hWnd, column); }
    BOOL SetColumnWidth(int column, int width) { return ListView_SetColumnWidth(m_hWnd, column, width); }
    // Each column as wide as its widest text or its heading, whichever is wider.
    void FitColumnsToContents()
    {
        const int columns = Header_GetItemCount(ListView_GetHeader(m_hWnd));
        for (int column = 0; column < columns; ++column) {
            SetColumnWidth(column, LVSCW_AUTOSIZE);
            int contents = GetColumnWidth(column);
            if (column == 0) {
                // The first column's texts stand after the rows' check boxes and icons, which
                // not every list counts in its own fitting.
                int images = 0;
                for (int kind : {LVSIL_STATE, LVSIL_SMALL}) {
                    int cx = 0, cy = 0;
                    if (HIMAGELIST list = ListView_GetImageList(m_hWnd, kind); list && ImageList_GetIconSize(list, &cx, &cy))
                        images += cx;
                }
                for (int row = 0; row < GetItemCount(); ++row)
                    contents = std::max(contents, images + ListView_GetStringWidth(m_hWnd, GetItemText(row, 0).GetString()) + 12);
            }
            SetColumnWidth(column, LVSCW_AUTOSIZE_USEHEADER);
            if (GetColumnWidth(column) < contents)
                SetColumnWidth(column, contents);
        }
    }
    DWORD GetExtendedStyle() const { return ListView_GetExtendedListViewStyle(m_hWnd); }
    DWORD SetExtendedStyle(DWORD style) { return static_cast<DWORD>(SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style)); }
    HIMAGELIST SetImageList(CImageList* list, int kind) { return ListView_SetImageList(m_hWnd, list ? list->m_hImageList : nullptr, kind); }
    HIMAGELIST GetImageList(int kind) const { return ListView_GetImageList(m_hWnd, kind); }
    BOOL GetItemRect(int item, RECT* rect, UINT code) const { return ListView_GetItemRect(m_hWnd, item, rect, code); }
    int HitTest(CPoint point, UINT* flags = nullptr) const;
    int HitTest(LVHITTESTINFO* info) const { return ListView_HitTest(m_hWnd, info); }
    int SubItemHitTest(LVHITTESTINFO* info) { return ListView_SubItemHitTest(m_hWnd, info); }
    BOOL SortItems(PFNLVCOMPARE compare, DWORD_PTR data) { return ListView_SortItems(m_hWnd, compare, data); }
    CEdit* EditLabel(int item);
    CHeaderCtrl* GetHeaderCtrl() const;
    // Selection walk: POSITION-like, 0 at the end.
    int GetFirstSelectedItemPosition() const { return GetNextItem(-1, LVNI_SELECTED) + 1; }
    int GetNextSelectedItem(int& position) const
    {
        const int item = position - 1;
        position = GetNextItem(item, LVNI_SELECTED) + 1;
        return item;
    }

    // Accessibility of the rows (see above); derived lists refine the answers.
    // The row a child element id stands for, or -1 for the list itself.
    static int AccessibleRow(const VARIANT& child) { return child.vt == VT_I4 && child.lVal > 0 ? child.lVal - 1 : -1; }
    HRESULT get_accName(VARIANT child, BSTR* name) override;
    HRESULT get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT get_accState(VARIANT child, VARIANT* state) override;
    long GetAccessibleChildCount() override { return GetItemCount(); }
};
