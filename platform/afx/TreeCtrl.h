// CTreeCtrl: a tree-view control; its dialog or view owns the window.
#pragma once

#include "ImageList.h"
#include "Wnd.h"

#include <commctrl.h>

class CEdit;

class CTreeCtrl : public CWnd {
    DECLARE_DYNAMIC(CTreeCtrl)
public:
    BOOL Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
    {
        return CreateEx(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"", style | WS_CHILD, rect, parent, id);
    }
    HTREEITEM InsertItem(const wchar_t* text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
    HTREEITEM InsertItem(const wchar_t* text, int image, int selectedImage, HTREEITEM parent = TVI_ROOT,
                         HTREEITEM after = TVI_LAST);
    BOOL DeleteItem(HTREEITEM item) { return TreeView_DeleteItem(m_hWnd, item); }
    BOOL DeleteAllItems() { return TreeView_DeleteAllItems(m_hWnd); }
    UINT GetCount() const { return TreeView_GetCount(m_hWnd); }
    HTREEITEM GetRootItem() const { return TreeView_GetRoot(m_hWnd); }
    HTREEITEM GetChildItem(HTREEITEM item) const { return TreeView_GetChild(m_hWnd, item); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) const { return TreeView_GetNextSibling(m_hWnd, item); }
    HTREEITEM GetParentItem(HTREEITEM item) const { return TreeView_GetParent(m_hWnd, item); }
    HTREEITEM GetSelectedItem() const { return TreeView_GetSelection(m_hWnd); }
    BOOL SelectItem(HTREEITEM item) { return TreeView_SelectItem(m_hWnd, item); }
    BOOL Expand(HTREEITEM item, UINT code) { return TreeView_Expand(m_hWnd, item, code); }
    BOOL EnsureVisible(HTREEITEM item) { return TreeView_EnsureVisible(m_hWnd, item); }
    CString GetItemText(HTREEITEM item) const;
    BOOL SetItemText(HTREEITEM item, const wchar_t* text);
    DWORD_PTR GetItemData(HTREEITEM item) const;
    BOOL SetItemData(HTREEITEM item, DWORD_PTR data);
    BOOL SetItemImage(HTREEITEM item, int image, int selectedImage);
    BOOL GetItemRect(HTREEITEM item, RECT* rect, BOOL textOnly) const { return TreeView_GetItemRect(m_hWnd, item, rect, textOnly); }
    HTREEITEM HitTest(CPoint point, UINT* flags = nullptr) const;
    HIMAGELIST SetImageList(CImageList* list, int kind) { return TreeView_SetImageList(m_hWnd, list ? list->m_hImageList : nullptr, kind); }
    CEdit* EditLabel(HTREEITEM item);
    CEdit* GetEditControl() const;
};
