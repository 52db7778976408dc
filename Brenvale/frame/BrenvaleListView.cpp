#include "BrenvaleListView.h"

#include "BrenvaleTreeView.h"
#include "ConsoleSettings.h"
#include "MainFrm.h"
#include "res/ConsoleIds.h"

#include <algorithm>
#include <unordered_set>

IMPLEMENT_DYNCREATE(CBrenvaleListView, CListView)

namespace {
constexpr DWORD kListHelpContext = 0x20066;
constexpr DWORD kModeStyleMask = LVS_TYPEMASK | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER;  // 0x4403
constexpr int kConsoleRowHeight = 116;
constexpr int kConsolePicture = 96;
constexpr int kConsoleNameWidth = 600;
constexpr int kConsoleColumnWidth = 75;
constexpr int kSortAscendingPicture = 21;
constexpr int kSortDescendingPicture = 22;
constexpr UINT kDeferredRefill = WM_APP + 0x11;
constexpr COLORREF kSeparatorColour = RGB(236, 233, 216);
const wchar_t* const kColumnHeaders[kTitleColumnCount] = {L"Title",  L"Creator 1", L"Creator 2",   L"Publisher",
                                                          L"Source", L"Acquired",  L"Last played", L"Duration"};

struct ModeInfo {
    UINT id;
    DWORD style;
    int large;  // index of the document's picture lists: 0 16, 1 32, 2 48, 3 96 px
    int small;
};
const ModeInfo kModes[] = {
    {ID_VIEW_CONSOLE, LVS_REPORT | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER, 1, 3},
    {ID_VIEW_THUMBNAILS, LVS_ICON, 3, 0},
    {ID_VIEW_TILES, LVS_LIST, 1, 2},
    {ID_VIEW_ICONS, LVS_ICON, 1, 0},
    {ID_VIEW_LIST, LVS_LIST, 1, 0},
    {ID_VIEW_DETAILS, LVS_REPORT, 1, 0},
};

const ModeInfo* FindMode(UINT id)
{
    for (const ModeInfo& mode : kModes)
        if (mode.id == id)
            return &mode;
    return nullptr;
}

CString FormatDate(const COleDateTime& date)
{
    if (date.GetStatus() != COleDateTime::valid)
        return AfxLoadString(IDS_NEVER);
    SYSTEMTIME time{};
    if (!::VariantTimeToSystemTime(date.m_dt, &time))
        return AfxLoadString(IDS_NEVER);
    wchar_t text[128];
    if (!::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, text, 128))
        return CString();
    return CString(text);
}

CString WidthSettingName(int column)
{
    CString name;
    name.Format(L"MultiColumn%dWidth", column + 1);
    return name;
}

// The label padded with blanks to the width (in the DC's font), as long as the gap left
// is at least as wide as the last blank added.
CString PadLabel(HDC dc, const CString& label, int width)
{
    CString padded = label;
    SIZE blank{};
    ::GetTextExtentPoint32W(dc, L" ", 1, &blank);
    for (int guard = 0; guard < 200; ++guard) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, padded, padded.GetLength(), &size);
        if (size.cx >= width || width - size.cx < blank.cx)
            break;
        padded += L' ';
    }
    return padded;
}

void DrawLine(HDC dc, const CString& text, RECT rect, UINT flags)
{
    ::DrawTextW(dc, text, text.GetLength(), &rect, flags | DT_SINGLELINE | DT_NOPREFIX);
}
}  // namespace

CBrenvaleListView::CBrenvaleListView()
{
    m_viewMode = static_cast<UINT>(GetSettingInt(L"LastViewID"));
    if (m_viewMode < ID_VIEW_CONSOLE || m_viewMode > ID_VIEW_DETAILS)
        m_viewMode = ID_VIEW_CONSOLE;
    m_sortColumn = GetSettingInt(L"LastSortColumnIndex");
    if (m_sortColumn < 0 || m_sortColumn >= kTitleColumnCount)
        m_sortColumn = kColumnTitle;
    m_sortAscending = GetSettingInt(L"LastSortOrderAsc") != 0;
}

CBrenvaleListView::~CBrenvaleListView()
{
    if (m_titleFont)
        ::DeleteObject(m_titleFont);
}

CBrenvaleDoc* CBrenvaleListView::GetLibrary() const { return LibraryOfView(*this); }
CMainFrame* CBrenvaleListView::GetMainFrame() const { return MainFrameOfView(*this); }

CBrenvaleTreeView* CBrenvaleListView::GetTree() const
{
    CMainFrame* frame = GetMainFrame();
    return frame ? frame->GetTreeView() : nullptr;
}

// --- Selection ---

std::vector<CMediaObject*> CBrenvaleListView::GetSelectedTitles() const
{
    std::vector<CMediaObject*> titles;
    const CListCtrl& list = GetListCtrl();
    for (int row = list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = list.GetNextItem(row, LVNI_SELECTED))
        if (auto* title = reinterpret_cast<CMediaObject*>(list.GetItemData(row)))
            titles.push_back(title);
    return titles;
}

CMediaObject* CBrenvaleListView::GetSelectedTitle() const
{
    const CListCtrl& list = GetListCtrl();
    if (list.GetSelectedCount() != 1)
        return nullptr;
    const int row = list.GetNextItem(-1, LVNI_SELECTED);
    return row >= 0 ? reinterpret_cast<CMediaObject*>(list.GetItemData(row)) : nullptr;
}

CStringArray CBrenvaleListView::GetSelectedNames() const
{
    CStringArray names;
    const CListCtrl& list = GetListCtrl();
    for (int row = list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = list.GetNextItem(row, LVNI_SELECTED))
        if (list.GetItemData(row) == 0)
            names.Add(list.GetItemText(row, 0));
    return names;
}

void CBrenvaleListView::EditSelectedName()
{
    CListCtrl& list = GetListCtrl();
    if (list.GetSelectedCount() != 1)
        return;
    const int row = list.GetNextItem(-1, LVNI_SELECTED);
    if (row >= 0 && list.GetItemData(row) == 0) {
        SetFocus();
        list.EditLabel(row);
    }
}

// --- Modes and sorting ---

void CBrenvaleListView::SetViewMode(UINT mode, BOOL refill)
{
    const ModeInfo* info = FindMode(mode);
    if (!info)
        return;
    CListCtrl& list = GetListCtrl();
    auto remeasureRows = [this] {
        CRect rect;
        GetWindowRect(&rect);
        WINDOWPOS pos{m_hWnd, nullptr, 0, 0, rect.Width(), rect.Height(),
                      SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER};
        SendMessage(WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    };
    if ((GetStyle() & LVS_OWNERDRAWFIXED) && mode != ID_VIEW_CONSOLE) {
        // The control keeps a measured row height: measured once more, as an ordinary row,
        // while the rows are still owner-drawn.
        m_viewMode = mode;
        remeasureRows();
    }
    ModifyStyle(kModeStyleMask, info->style);
    // A header hidden in another mode is shown again for the report with a header (the
    // control does not always do it when the mode changes at the same time).
    if (CHeaderCtrl* header = list.GetHeaderCtrl(); header && header->m_hWnd) {
        const bool shown = (info->style & LVS_TYPEMASK) == LVS_REPORT && !(info->style & LVS_NOCOLUMNHEADER);
        header->ModifyStyle(shown ? HDS_HIDDEN : 0, shown ? 0 : HDS_HIDDEN);
        header->ShowWindow(shown ? SW_SHOWNORMAL : SW_HIDE);
    }
    // The control lays itself out again (the header appears or goes).
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    if (CBrenvaleDoc* doc = GetLibrary()) {
        list.SetImageList(&doc->GetPictures(info->large), LVSIL_NORMAL);
        list.SetImageList(&doc->GetPictures(info->small), LVSIL_SMALL);
    }
    if (mode != m_viewMode) {
        m_viewMode = mode;
        if (mode == ID_VIEW_CONSOLE)
            remeasureRows();  // the control measures its rows again
    }
    if (refill)
        OnUpdate(nullptr, 0, nullptr);
    WriteSettingInt(L"LastViewID", static_cast<int>(m_viewMode));
}

void CBrenvaleListView::SetSortColumn(int column)
{
    if (column < 0 || column >= kTitleColumnCount)
        return;
    m_sortColumn = column;
    WriteSettingInt(L"LastSortColumnIndex", column);
}

void CBrenvaleListView::SetSortAscending(BOOL ascending)
{
    m_sortAscending = ascending ? TRUE : FALSE;
    WriteSettingInt(L"LastSortOrderAsc", m_sortAscending);
}

// --- Filling ---

void CBrenvaleListView::OnInitialUpdate()
{
    ModifyStyle(0, LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS | LVS_AUTOARRANGE | LVS_EDITLABELS | WS_TABSTOP);
    GetListCtrl().SetExtendedStyle(GetListCtrl().GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    const UINT mode = m_viewMode;
    m_viewMode = 0;  // applied as a change, so Console rows are measured
    SetViewMode(mode, FALSE);
    m_initialized = true;
    CListView::OnInitialUpdate();
}

CString CBrenvaleListView::GetColumnText(const CMediaObject& title, int column) const
{
    const CMetadataObject& metadata = title.GetMetadata();
    switch (column) {
    case kColumnTitle:
        return metadata.GetDisplayTitle(TRUE, TRUE);
    case kColumnCreator1:
    case kColumnCreator2: {
        CString authors;
        CString other;
        const CCreatorRoleSet& roles = CBrenvaleDoc::CreatorRoles();
        for (const CObject* object : metadata.m_creators) {
            const auto* creator = static_cast<const CCreatorObject*>(object);
            if (!creator || !roles.IsKnownCreatorRole(creator->m_role))
                continue;
            if (creator->m_role == L"Author") {
                authors = authors.IsEmpty() ? creator->m_displayName : authors + L", " + creator->m_displayName;
            } else if (other.IsEmpty()) {
                other = creator->m_role + L": " + creator->m_displayName;
            }
            if (!authors.IsEmpty() && !other.IsEmpty())
                break;
        }
        return column == kColumnCreator1 ? authors : other;
    }
    case kColumnPublisher:
        return metadata.m_publisherDecoded;
    case kColumnSource: {
        const CBrenvaleDoc* doc = GetLibrary();
        const CSourceObject* source = doc ? doc->FindSource(title.m_sourceId) : nullptr;
        return source ? source->m_displayName : CString();
    }
    case kColumnAcquired:
        return FormatDate(title.m_acquiredDate);
    case kColumnLastPlayed:
        return FormatDate(title.GetLastPlayedDate());
    case kColumnDuration:
        return title.FormatTotalDuration();
    default:
        return CString();
    }
}

void CBrenvaleListView::MakeNameColumn()
{
    const int width = m_viewMode == ID_VIEW_CONSOLE ? kConsoleNameWidth : GetSettingInt(L"SingleColumnWidth");
    GetListCtrl().InsertColumn(0, L"Name", LVCFMT_LEFT, width);
    m_titleColumns = false;
}

void CBrenvaleListView::MakeTitleColumns()
{
    CListCtrl& list = GetListCtrl();
    for (int column = 0; column < kTitleColumnCount; ++column) {
        const int width =
            m_viewMode == ID_VIEW_CONSOLE ? kConsoleColumnWidth : GetSettingInt(WidthSettingName(column));
        list.InsertColumn(column, kColumnHeaders[column], column == kColumnDuration ? LVCFMT_RIGHT : LVCFMT_LEFT, width,
                          column);
    }
    LVCOLUMNW sorted{};
    sorted.mask = LVCF_FMT | LVCF_IMAGE;
    sorted.fmt = (m_sortColumn == kColumnDuration ? LVCFMT_RIGHT : LVCFMT_LEFT) | LVCFMT_IMAGE | LVCFMT_BITMAP_ON_RIGHT;
    sorted.iImage = m_sortAscending ? kSortAscendingPicture : kSortDescendingPicture;
    list.SetColumn(m_sortColumn, &sorted);
    if (CHeaderCtrl* header = list.GetHeaderCtrl(); header && header->m_hWnd) {
        // The arrows are pictures 21 and 22 of the small list, at the right of the text.
        header->SetImageList(list.GetImageList(LVSIL_SMALL));
        HDITEMW item{};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        header->GetItem(m_sortColumn, &item);
        item.fmt |= HDF_IMAGE | HDF_BITMAP_ON_RIGHT;
        item.iImage = sorted.iImage;
        header->SetItem(m_sortColumn, &item);
    }
    m_titleColumns = true;
}

void CBrenvaleListView::OnUpdate(CView*, LPARAM, CObject* hintObject)
{
    if (!m_initialized)
        return;  // the first fill comes with OnInitialUpdate
    CBrenvaleTreeView* tree = GetTree();
    CBrenvaleDoc* doc = GetLibrary();
    if (!tree || !doc)
        return;
    CTreeCtrl& treeCtrl = tree->GetTreeCtrl();
    HTREEITEM node = tree->GetSelectedNode();
    const int kind = tree->GetSelectedKind();
    const CString text = tree->GetSelectedText();
    CListCtrl& list = GetListCtrl();

    // The rows selected now, when the same node is shown again.
    std::unordered_set<const void*> keptTitles;
    std::unordered_set<std::wstring> keptNames;
    if (m_hasLast && m_lastKind == kind && m_lastText == text) {
        for (int row = list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = list.GetNextItem(row, LVNI_SELECTED)) {
            const DWORD_PTR data = list.GetItemData(row);
            if (data)
                keptTitles.insert(reinterpret_cast<const void*>(data));
            else
                keptNames.insert(list.GetItemText(row, 0).str());
        }
    }
    m_hasLast = true;
    m_lastKind = kind;
    m_lastText = text;

    list.SendMessage(WM_SETREDRAW, FALSE);
    list.DeleteAllItems();
    while (list.DeleteColumn(0)) {
    }
    int rows = 0;
    if (kind & 1) {
        MakeNameColumn();
        for (HTREEITEM child = node ? treeCtrl.GetChildItem(node) : nullptr; child;
             child = treeCtrl.GetNextSiblingItem(child)) {
            TVITEMW item{};
            item.mask = TVIF_IMAGE;
            item.hItem = child;
            TreeView_GetItem(treeCtrl.m_hWnd, &item);
            LVITEMW row{};
            row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
            row.iItem = rows;
            const CString name = treeCtrl.GetItemText(child);
            row.pszText = const_cast<wchar_t*>(static_cast<const wchar_t*>(name));
            row.iImage = item.iImage;
            row.lParam = 0;
            if (list.InsertItem(&row) >= 0)
                ++rows;
        }
    } else {
        MakeTitleColumns();
        CObArray titles;
        doc->BuildTitleList(titles, kind, text, m_sortColumn, m_sortAscending);
        list.SendMessage(LVM_SETITEMCOUNT, static_cast<WPARAM>(titles.GetSize()), 0);
        if (hintObject && hintObject->IsKindOf(RUNTIME_CLASS(CMediaObject))) {
            keptTitles.clear();
            keptNames.clear();
            keptTitles.insert(hintObject);
        }
        for (CObject* object : titles) {
            auto* title = static_cast<CMediaObject*>(object);
            LVITEMW row{};
            row.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
            row.iItem = rows;
            row.pszText = LPSTR_TEXTCALLBACKW;
            row.iImage = I_IMAGECALLBACK;  // the title's picture when drawn
            row.lParam = reinterpret_cast<LPARAM>(title);
            if (list.InsertItem(&row) >= 0)
                ++rows;
        }
    }
    bool anySelected = false;
    int first = -1;
    if (!keptTitles.empty() || !keptNames.empty()) {
        for (int row = 0; row < rows; ++row) {
            const DWORD_PTR data = list.GetItemData(row);
            const bool keep = data ? keptTitles.count(reinterpret_cast<const void*>(data)) != 0
                                   : keptNames.count(list.GetItemText(row, 0).str()) != 0;
            if (keep) {
                list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
                if (first < 0)
                    first = row;
                anySelected = true;
            }
        }
    }
    if (!anySelected && rows > 0) {
        list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        first = 0;
    }
    list.SendMessage(WM_SETREDRAW, TRUE);
    if (first >= 0)
        list.EnsureVisible(first, FALSE);
    list.Invalidate();
}

// --- Console rows ---

HFONT CBrenvaleListView::TitleFont()
{
    if (!m_titleFont) {
        LOGFONTW font{};
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
        wcscpy_s(font.lfFaceName, L"Segoe UI");
        font.lfHeight = 18;
        font.lfWeight = FW_BOLD;
        m_titleFont = ::CreateFontIndirectW(&font);
    }
    return m_titleFont;
}

void CBrenvaleListView::MeasureItem(LPMEASUREITEMSTRUCT measureItem)
{
    if (m_viewMode == ID_VIEW_CONSOLE) {
        measureItem->itemHeight = kConsoleRowHeight;
        return;
    }
    // An ordinary row: the font's height and a small picture.
    HDC dc = ::GetDC(m_hWnd);
    HGDIOBJ old = ::SelectObject(dc, GetFont() ? GetFont() : ::GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(m_hWnd, dc);
    measureItem->itemHeight = static_cast<UINT>(std::max<LONG>(metrics.tmHeight + 1, 16));
}

void CBrenvaleListView::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    HDC dc = drawItem->hDC;
    const int row = static_cast<int>(drawItem->itemID);
    CListCtrl& list = GetListCtrl();
    const bool selected = (list.GetItemState(row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
    const COLORREF background = ::GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW);
    const COLORREF textColour = ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT);
    RECT rect = drawItem->rcItem;
    HBRUSH brush = ::CreateSolidBrush(background);
    ::FillRect(dc, &rect, brush);
    ::DeleteObject(brush);

    LVITEMW item{};
    item.mask = LVIF_IMAGE | LVIF_PARAM;
    item.iItem = row;
    list.GetItem(&item);
    if (HIMAGELIST pictures = list.GetImageList(LVSIL_SMALL)) {
        const int top = rect.top + 10;
        ::ImageList_DrawEx(pictures, item.iImage, dc, rect.left, top, kConsolePicture, kConsolePicture, CLR_NONE,
                           textColour, selected ? (ILD_TRANSPARENT | ILD_BLEND50) : ILD_TRANSPARENT);
        HPEN pen = ::CreatePen(PS_SOLID, 1, background);
        HGDIOBJ oldPen = ::SelectObject(dc, pen);
        HGDIOBJ oldBrush = ::SelectObject(dc, ::GetStockObject(NULL_BRUSH));
        ::Rectangle(dc, rect.left, top, rect.left + kConsolePicture, top + kConsolePicture);
        ::SelectObject(dc, oldBrush);
        ::SelectObject(dc, oldPen);
        ::DeleteObject(pen);
    }
    HPEN separator = ::CreatePen(PS_SOLID, 1, kSeparatorColour);
    HGDIOBJ oldPen = ::SelectObject(dc, separator);
    ::MoveToEx(dc, rect.left, rect.bottom - 1, nullptr);
    ::LineTo(dc, rect.right, rect.bottom - 1);
    ::SelectObject(dc, oldPen);
    ::DeleteObject(separator);

    RECT text = rect;
    text.left += 102;
    text.top += 10;
    text.bottom -= 10;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColour);
    const auto* title = reinterpret_cast<const CMediaObject*>(item.lParam);
    if (!title) {
        const CString name = list.GetItemText(row, 0);
        DrawLine(dc, name, text, DT_VCENTER | DT_NOCLIP);
        return;
    }
    HGDIOBJ listFont = ::SelectObject(dc, TitleFont());
    RECT titleRect = text;
    titleRect.right -= 186;
    DrawLine(dc, GetColumnText(*title, kColumnTitle), titleRect, DT_END_ELLIPSIS);
    ::SelectObject(dc, listFont);

    SIZE labelSize{};
    ::GetTextExtentPoint32W(dc, L"Last played:  ", 14, &labelSize);
    const int labelWidth = labelSize.cx;
    const int lineHeight = 20;
    auto lineRect = [&](int line, int left, int right) {
        RECT r{left, text.top + (line - 1) * lineHeight, right, text.top + line * lineHeight};
        return r;
    };
    const int leftRight = text.right - 186;
    const CString creator1 = GetColumnText(*title, kColumnCreator1);
    if (!creator1.IsEmpty())
        DrawLine(dc, creator1, lineRect(2, text.left, leftRight), DT_END_ELLIPSIS);
    const CString creator2 = GetColumnText(*title, kColumnCreator2);
    if (!creator2.IsEmpty()) {
        const int colon = creator2.Find(L':');
        CString line = creator2;
        if (colon >= 0) {
            CString value = creator2.Mid(colon + 1);
            value.Trim();
            line = PadLabel(dc, creator2.Left(colon + 1), labelWidth) + value;
        }
        DrawLine(dc, line, lineRect(3, text.left, leftRight), DT_END_ELLIPSIS);
    }
    const CString publisher = GetColumnText(*title, kColumnPublisher);
    if (!publisher.IsEmpty())
        DrawLine(dc, PadLabel(dc, L"Publisher: ", labelWidth) + publisher, lineRect(4, text.left, leftRight), DT_NOCLIP);
    const CString source = GetColumnText(*title, kColumnSource);
    if (!source.IsEmpty())
        DrawLine(dc, PadLabel(dc, L"Source:   ", labelWidth) + source, lineRect(5, text.left, leftRight), DT_NOCLIP);
    const int rightLeft = text.right - 180;
    const struct {
        const wchar_t* label;
        int column;
        int line;
    } rightBlock[] = {{L"Acquired: ", kColumnAcquired, 2}, {L"Last played: ", kColumnLastPlayed, 3},
                      {L"Duration: ", kColumnDuration, 4}};
    for (const auto& entry : rightBlock) {
        const CString value = GetColumnText(*title, entry.column);
        if (!value.IsEmpty())
            DrawLine(dc, PadLabel(dc, entry.label, labelWidth) + value, lineRect(entry.line, rightLeft, text.right),
                     DT_NOCLIP);
    }
}

// --- Notifications ---

BOOL CBrenvaleListView::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return CListView::OnChildNotify(message, wParam, lParam, result);
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    switch (header->code) {
    case LVN_GETDISPINFOW: {
        auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        const auto* title = reinterpret_cast<const CMediaObject*>(info->item.lParam);
        if ((info->item.mask & LVIF_TEXT) && info->item.pszText && info->item.cchTextMax > 0) {
            m_textBuffer = title ? GetColumnText(*title, info->item.iSubItem) : CString();
            lstrcpynW(info->item.pszText, m_textBuffer, info->item.cchTextMax);
        }
        if ((info->item.mask & LVIF_IMAGE) && title)
            info->item.iImage = title->GetPictureIndex();
        *result = 0;
        return TRUE;
    }
    case NM_DBLCLK:
        OnDoubleClick();
        *result = 0;
        return TRUE;
    case LVN_BEGINLABELEDITW: {
        CBrenvaleTreeView* tree = GetTree();
        const auto* info = reinterpret_cast<NMLVDISPINFOW*>(lParam);
        if (!tree || tree->GetSelectedKind() != kNodeCollections) {
            *result = TRUE;  // refused
            return TRUE;
        }
        m_rename.Begin(GetMainFrame(), GetListCtrl().GetItemText(info->item.iItem, 0));
        *result = FALSE;
        return TRUE;
    }
    case LVN_ENDLABELEDITW:
        *result = OnEndLabelEdit(reinterpret_cast<NMLVDISPINFOW*>(lParam));
        return TRUE;
    default:
        return FALSE;
    }
}

BOOL CBrenvaleListView::OnEndLabelEdit(NMLVDISPINFOW* info)
{
    if (!m_rename.End(GetMainFrame(), GetLibrary(), info->item.pszText))
        return FALSE;
    if (CBrenvaleTreeView* tree = GetTree())
        if (HTREEITEM node = tree->FindCollectionNode(m_rename.OldName()))
            tree->GetTreeCtrl().SetItemText(node, info->item.pszText);
    return TRUE;
}

void CBrenvaleListView::OnDoubleClick()
{
    CListCtrl& list = GetListCtrl();
    if (list.GetSelectedCount() != 1)
        return;
    const int row = list.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return;
    if (list.GetItemData(row) != 0) {
        if (CMainFrame* frame = GetMainFrame())
            frame->SendMessage(WM_COMMAND, ID_TITLE_PLAY);
        return;
    }
    CBrenvaleTreeView* tree = GetTree();
    if (!tree || !tree->GetSelectedNode())
        return;
    const CString name = list.GetItemText(row, 0);
    CTreeCtrl& treeCtrl = tree->GetTreeCtrl();
    for (HTREEITEM child = treeCtrl.GetChildItem(tree->GetSelectedNode()); child;
         child = treeCtrl.GetNextSiblingItem(child))
        if (treeCtrl.GetItemText(child) == name) {
            treeCtrl.SelectItem(child);
            return;
        }
}

void CBrenvaleListView::OnHeaderWidthChanged(int column)
{
    CHeaderCtrl* header = GetListCtrl().GetHeaderCtrl();
    if (!header || column < 0 || column >= header->GetItemCount())
        return;
    RECT rect{};
    if (!header->GetItemRect(column, &rect))
        return;
    const int width = rect.right - rect.left;
    if (header->GetItemCount() == 1)
        WriteSettingInt(L"SingleColumnWidth", width);
    else
        WriteSettingInt(WidthSettingName(column), width);
}

void CBrenvaleListView::OnHeaderClick(int column)
{
    if (!m_titleColumns || column < 0 || column >= kTitleColumnCount)
        return;
    SetSortAscending(column == m_sortColumn ? !m_sortAscending : TRUE);
    SetSortColumn(column);
    // Refilled once the header has finished with its click.
    PostMessage(kDeferredRefill);
}

BOOL CBrenvaleListView::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    CHeaderCtrl* headerCtrl = GetListCtrl().GetHeaderCtrl();
    if (header && headerCtrl && header->hwndFrom == headerCtrl->m_hWnd) {
        const auto* info = reinterpret_cast<const NMHEADERW*>(lParam);
        switch (header->code) {
        case HDN_ENDTRACKW:
        case HDN_ENDTRACKA:
        case HDN_DIVIDERDBLCLICKW:
        case HDN_DIVIDERDBLCLICKA:
            *result = Default();  // the control resizes the column first
            OnHeaderWidthChanged(info->iItem);
            return TRUE;
        case HDN_ITEMCLICKW:
        case HDN_ITEMCLICKA:
            *result = Default();
            OnHeaderClick(info->iItem);
            return TRUE;
        default:
            break;
        }
    }
    return CListView::OnNotify(wParam, lParam, result);
}

BOOL CBrenvaleListView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_HELPHITTEST) {
        *result = kListHelpContext;
        return TRUE;
    }
    if (message == kDeferredRefill) {
        OnUpdate(nullptr, 0, nullptr);
        *result = 0;
        return TRUE;
    }
    return CListView::OnWndMsg(message, wParam, lParam, result);
}

void CBrenvaleListView::OnContextMenu(CWnd*, CPoint point)
{
    CListCtrl& list = GetListCtrl();
    if (list.GetSelectedCount() < 1)
        return;
    CMenu menu;
    if (!menu.LoadMenu(IDR_CONTEXT_MENUS))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup)
        return;
    popup->SetDefaultItem(ID_TITLE_PLAY);
    if (point.x == -1 && point.y == -1) {
        int row = list.GetNextItem(-1, LVNI_SELECTED | LVNI_FOCUSED);
        if (row < 0)
            row = list.GetNextItem(-1, LVNI_SELECTED);
        RECT rect{};
        list.GetItemRect(row, &rect, LVIR_ICON);
        POINT at{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
        ClientToScreen(&at);
        point = CPoint(at.x, at.y);
    }
    CWnd* owner = GetMainFrame();
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, owner ? owner : this);
}

void CBrenvaleListView::RefreshTitlePictures() { Invalidate(FALSE); }

std::vector<const CMediaObject*> CBrenvaleListView::GetTitlesOnScreen() const
{
    std::vector<const CMediaObject*> titles;
    CListCtrl& list = const_cast<CBrenvaleListView*>(this)->GetListCtrl();
    const int rows = list.GetItemCount();
    if (rows == 0 || !list.IsWindowVisible())
        return titles;
    int first = 0;
    int last = rows - 1;
    const DWORD type = list.GetStyle() & LVS_TYPEMASK;
    const bool rowsInOrder = type == LVS_REPORT || type == LVS_LIST;
    if (rowsInOrder) {
        first = static_cast<int>(list.SendMessage(LVM_GETTOPINDEX));
        const int perPage = static_cast<int>(list.SendMessage(LVM_GETCOUNTPERPAGE));
        last = std::min(rows - 1, first + std::max(perPage, 1));  // a part-shown row too
    }
    CRect client;
    list.GetClientRect(&client);
    for (int row = std::max(first, 0); row <= last; ++row) {
        if (!rowsInOrder) {
            // Icons stand anywhere: the rows whose place meets the window.
            RECT place{LVIR_BOUNDS, 0, 0, 0};
            if (!list.SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&place)))
                continue;
            RECT meet;
            if (!::IntersectRect(&meet, &place, &client))
                continue;
        }
        if (const auto* title = reinterpret_cast<const CMediaObject*>(list.GetItemData(row)))
            titles.push_back(title);
    }
    return titles;
}
