// The control wrappers that take more than a line.
#include "AnimateCtrl.h"
#include "Button.h"
#include "Edit.h"
#include "ListBox.h"
#include "ListCtrl.h"
#include "ProgressCtrl.h"
#include "Static.h"
#include "ToolTipCtrl.h"
#include "TreeCtrl.h"

#include "AfxResource.h"

IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)
IMPLEMENT_DYNAMIC(CSliderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)
IMPLEMENT_DYNAMIC(CAnimateCtrl, CWnd)
IMPLEMENT_DYNAMIC(CHeaderCtrl, CWnd)
IMPLEMENT_DYNAMIC(CListCtrl, CWnd)
IMPLEMENT_DYNAMIC(CTreeCtrl, CWnd)

// --- List box and combo box ---

namespace {
// An item's text of a list box or combo box: its length by one message, the text by another.
CString ItemText(const CWnd& control, UINT lengthMessage, UINT textMessage, int index)
{
    const int length = static_cast<int>(control.SendMessage(lengthMessage, static_cast<WPARAM>(index)));
    if (length <= 0)
        return CString();
    CString text;
    wchar_t* buffer = text.GetBuffer(length + 1);
    const int got = static_cast<int>(
        control.SendMessage(textMessage, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer)));
    text.ReleaseBuffer(got > 0 ? got : 0);
    return text;
}
}  // namespace

CString CListBox::GetText(int index) const { return ItemText(*this, LB_GETTEXTLEN, LB_GETTEXT, index); }

CString CComboBox::GetLBText(int index) const { return ItemText(*this, CB_GETLBTEXTLEN, CB_GETLBTEXT, index); }

// --- Tooltips ---

BOOL CToolTipCtrl::Create(CWnd* parent, DWORD style)
{
    if (!CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | style, CW_USEDEFAULT,
                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, parent ? parent->m_hWnd : nullptr, nullptr))
        return FALSE;
    return TRUE;
}

TTTOOLINFOW CToolTipCtrl::ToolInfo(CWnd* tool, const wchar_t* text) const
{
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = ::GetParent(tool->m_hWnd);
    info.uId = reinterpret_cast<UINT_PTR>(tool->m_hWnd);
    info.lpszText = const_cast<wchar_t*>(text);
    return info;
}

BOOL CToolTipCtrl::AddTool(CWnd* tool, const wchar_t* text)
{
    if (!tool)
        return FALSE;
    TTTOOLINFOW info = ToolInfo(tool, text);
    return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)));
}

void CToolTipCtrl::DelTool(CWnd* tool)
{
    TTTOOLINFOW info = ToolInfo(tool, nullptr);
    SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::UpdateTipText(const wchar_t* text, CWnd* tool)
{
    TTTOOLINFOW info = ToolInfo(tool, text);
    SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}

// --- Animation ---

BOOL CAnimateCtrl::Open(UINT resourceId)
{
    // ACM_OPEN takes the module in wParam so the clip comes from the resource module.
    return static_cast<BOOL>(SendMessage(ACM_OPENW, reinterpret_cast<WPARAM>(AfxGetResourceHandle()),
                                         reinterpret_cast<LPARAM>(MAKEINTRESOURCEW(resourceId))));
}

// --- List view ---

BOOL CListCtrl::SetItemState(int item, UINT state, UINT mask)
{
    LVITEMW lv{};
    lv.stateMask = mask;
    lv.state = state;
    return static_cast<BOOL>(SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
}

DWORD_PTR CListCtrl::GetItemData(int item) const
{
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    return GetItem(&lv) ? static_cast<DWORD_PTR>(lv.lParam) : 0;
}

BOOL CListCtrl::SetItemData(int item, DWORD_PTR data)
{
    LVITEMW lv{};
    lv.mask = LVIF_PARAM;
    lv.iItem = item;
    lv.lParam = static_cast<LPARAM>(data);
    return SetItem(&lv);
}

int CListCtrl::InsertItem(int item, const wchar_t* text, int image)
{
    LVITEMW lv{};
    lv.mask = LVIF_TEXT | (image >= 0 ? LVIF_IMAGE : 0);
    lv.iItem = item;
    lv.pszText = const_cast<wchar_t*>(text);
    lv.iImage = image;
    return InsertItem(&lv);
}

CString CListCtrl::GetItemText(int item, int subItem) const
{
    // Grows the buffer until the text fits.
    for (int size = 256;; size *= 4) {
        CString text;
        LVITEMW lv{};
        lv.iSubItem = subItem;
        lv.cchTextMax = size;
        lv.pszText = text.GetBuffer(size);
        const int got = static_cast<int>(SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
        text.ReleaseBuffer(got > 0 ? got : 0);
        if (got < size - 1 || size >= 1 << 20)
            return text;
    }
}

BOOL CListCtrl::SetItemText(int item, int subItem, const wchar_t* text)
{
    LVITEMW lv{};
    lv.iSubItem = subItem;
    lv.pszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(SendMessage(LVM_SETITEMTEXTW, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&lv)));
}

int CListCtrl::InsertColumn(int column, const wchar_t* heading, int format, int width, int subItem)
{
    LVCOLUMNW info{};
    info.mask = LVCF_FMT | LVCF_TEXT | (width >= 0 ? LVCF_WIDTH : 0) | (subItem >= 0 ? LVCF_SUBITEM : 0);
    info.fmt = format;
    info.pszText = const_cast<wchar_t*>(heading);
    info.cx = width;
    info.iSubItem = subItem;
    return static_cast<int>(SendMessage(LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info)));
}

int CListCtrl::HitTest(CPoint point, UINT* flags) const
{
    LVHITTESTINFO info{};
    info.pt = point;
    const int item = ListView_HitTest(m_hWnd, &info);
    if (flags)
        *flags = info.flags;
    return item;
}

CEdit* CListCtrl::EditLabel(int item)
{
    return static_cast<CEdit*>(FromHandle(ListView_EditLabel(m_hWnd, item)));
}

CHeaderCtrl* CListCtrl::GetHeaderCtrl() const
{
    return static_cast<CHeaderCtrl*>(FromHandle(ListView_GetHeader(m_hWnd)));
}

namespace {
// Whether an out pointer and a row can be answered for.
HRESULT CheckRow(int row, int count, const void* out)
{
    if (!out)
        return E_POINTER;
    return row < count ? S_OK : E_INVALIDARG;
}

HRESULT AnswerLong(VARIANT* out, long value)
{
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}
}  // namespace

HRESULT CListCtrl::get_accName(VARIANT child, BSTR* name)
{
    const int row = AccessibleRow(child);
    if (row < 0)
        return CWnd::get_accName(child, name);
    if (const HRESULT hr = CheckRow(row, GetItemCount(), name); FAILED(hr))
        return hr;
    *name = SysAllocString(GetItemText(row, 0));
    return *name ? S_OK : E_OUTOFMEMORY;
}

HRESULT CListCtrl::get_accRole(VARIANT child, VARIANT* role)
{
    const int row = AccessibleRow(child);
    if (row < 0)
        return CWnd::get_accRole(child, role);
    if (const HRESULT hr = CheckRow(row, GetItemCount(), role); FAILED(hr))
        return hr;
    return AnswerLong(role, ROLE_SYSTEM_LISTITEM);
}

HRESULT CListCtrl::get_accState(VARIANT child, VARIANT* state)
{
    const int row = AccessibleRow(child);
    if (row < 0)
        return CWnd::get_accState(child, state);
    if (const HRESULT hr = CheckRow(row, GetItemCount(), state); FAILED(hr))
        return hr;
    const UINT itemState = GetItemState(row, LVIS_SELECTED | LVIS_FOCUSED);
    long flags = STATE_SYSTEM_SELECTABLE | STATE_SYSTEM_FOCUSABLE;
    if (itemState & LVIS_SELECTED)
        flags |= STATE_SYSTEM_SELECTED;
    if ((itemState & LVIS_FOCUSED) && ::GetFocus() == m_hWnd)
        flags |= STATE_SYSTEM_FOCUSED;
    return AnswerLong(state, flags);
}

// --- Tree view ---

HTREEITEM CTreeCtrl::InsertItem(const wchar_t* text, HTREEITEM parent, HTREEITEM after)
{
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(text);
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

HTREEITEM CTreeCtrl::InsertItem(const wchar_t* text, int image, int selectedImage, HTREEITEM parent, HTREEITEM after)
{
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    insert.item.pszText = const_cast<wchar_t*>(text);
    insert.item.iImage = image;
    insert.item.iSelectedImage = selectedImage;
    return reinterpret_cast<HTREEITEM>(SendMessage(TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

CString CTreeCtrl::GetItemText(HTREEITEM item) const
{
    for (int size = 256;; size *= 4) {
        CString text;
        TVITEMW tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        tv.cchTextMax = size;
        tv.pszText = text.GetBuffer(size);
        if (!SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv))) {
            text.ReleaseBuffer(0);
            return text;
        }
        text.ReleaseBuffer();
        if (text.GetLength() < size - 1 || size >= 1 << 20)
            return text;
    }
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, const wchar_t* text)
{
    TVITEMW tv{};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = const_cast<wchar_t*>(text);
    return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)));
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM item) const
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    return SendMessage(TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv)) ? static_cast<DWORD_PTR>(tv.lParam) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM item, DWORD_PTR data)
{
    TVITEMW tv{};
    tv.mask = TVIF_PARAM;
    tv.hItem = item;
    tv.lParam = static_cast<LPARAM>(data);
    return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)));
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM item, int image, int selectedImage)
{
    TVITEMW tv{};
    tv.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    tv.hItem = item;
    tv.iImage = image;
    tv.iSelectedImage = selectedImage;
    return static_cast<BOOL>(SendMessage(TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv)));
}

HTREEITEM CTreeCtrl::HitTest(CPoint point, UINT* flags) const
{
    TVHITTESTINFO info{};
    info.pt = point;
    HTREEITEM item = TreeView_HitTest(m_hWnd, &info);
    if (flags)
        *flags = info.flags;
    return item;
}

CEdit* CTreeCtrl::EditLabel(HTREEITEM item) { return static_cast<CEdit*>(FromHandle(TreeView_EditLabel(m_hWnd, item))); }

CEdit* CTreeCtrl::GetEditControl() const { return static_cast<CEdit*>(FromHandle(TreeView_GetEditControl(m_hWnd))); }
