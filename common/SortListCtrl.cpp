#include "SortListCtrl.h"

#include "DC.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CSortHeaderCtrl, CHeaderCtrl)
IMPLEMENT_DYNAMIC(CSortListCtrl, CListCtrl)

namespace {

constexpr const wchar_t* kNumericCharacters = L"$.%,:-0123456789";
constexpr int kHeaderTextLength = 127;

// What a sort needs while the list view calls back: the sort column's texts by the rows'
// places before the sort.
struct SortContext {
    std::vector<CString> cells;
    bool numeric;
    bool ascending;
};

int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM data)
{
    const auto* context = reinterpret_cast<const SortContext*>(data);
    const auto a = static_cast<size_t>(first);
    const auto b = static_cast<size_t>(second);
    const int order = CSortListCtrl::CompareCells(context->cells[a], context->cells[b], context->numeric, context->ascending);
    if (order != 0)
        return order;
    // Equal rows keep their order, whichever way the list view sorts.
    return a < b ? -1 : (a > b ? 1 : 0);
}

bool IsDurationText(const CString& cell)
{
    if (cell.IsEmpty())
        return false;
    bool digit = false;
    bool colon = false;
    for (int i = 0; i < cell.GetLength(); ++i) {
        const wchar_t ch = cell[i];
        if (ch >= L'0' && ch <= L'9')
            digit = true;
        else if (ch == L':')
            colon = true;
        else
            return false;
    }
    return digit && colon;
}

// "%d hour " and the like, singular for 1.
CString CountOf(long long count, const wchar_t* unit)
{
    CString text;
    text.Format(L"%lld %s%s ", count, unit, count == 1 ? L"" : L"s");
    return text;
}

}  // namespace

void CSortHeaderCtrl::OnLButtonDblClk(UINT flags, CPoint point)
{
    HDHITTESTINFO hit{};
    hit.pt = point;
    const int column = static_cast<int>(SendMessage(HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    CWnd* list = GetParent();
    if (column >= 0 && column < GetItemCount() && list) {
        ListView_SetColumnWidth(list->m_hWnd, column, LVSCW_AUTOSIZE_USEHEADER);
        list->Invalidate();
        return;
    }
    CHeaderCtrl::OnLButtonDblClk(flags, point);
}

bool CSortListCtrl::IsNumericColumn(const std::vector<CString>& cells)
{
    for (CString cell : cells) {
        cell.TrimLeft();
        if (!cell.IsEmpty() && cell.SpanIncluding(kNumericCharacters).GetLength() != cell.GetLength())
            return false;
    }
    return true;
}

std::vector<double> CSortListCtrl::NumericFields(const CString& cell)
{
    CString text = cell;
    text.TrimLeft();
    text.Remove(L'$');
    text.Remove(L'%');
    text.Remove(L',');
    const bool negative = !text.IsEmpty() && text[0] == L'-';
    std::vector<double> fields;
    double value = 0;  // the field so far, its colon-separated parts folded in
    double part = 0;
    double scale = 0;  // the place of the next decimal digit, 0 before the point
    auto endField = [&] {
        fields.push_back(value + part);
        value = part = scale = 0;
    };
    for (int i = negative ? 1 : 0; i < text.GetLength(); ++i) {
        const wchar_t ch = text[i];
        if (ch >= L'0' && ch <= L'9') {
            if (scale > 0) {
                part += (ch - L'0') * scale;
                scale /= 10;
            } else {
                part = part * 10 + (ch - L'0');
            }
        } else if (ch == L'.' && scale == 0) {
            scale = 0.1;
        } else if (ch == L':') {
            value = (value + part) * 60;
            part = scale = 0;
        } else if (ch == L'-') {
            endField();
        } else {
            break;  // a second point: the rest does not count
        }
    }
    endField();
    if (negative)
        fields.front() = -fields.front();
    return fields;
}

int CSortListCtrl::CompareCells(const CString& a, const CString& b, bool numeric, bool ascending)
{
    int order;
    if (numeric) {
        const std::vector<double> x = NumericFields(a);
        const std::vector<double> y = NumericFields(b);
        order = std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end())   ? -1
                : std::lexicographical_compare(y.begin(), y.end(), x.begin(), x.end()) ? 1
                                                                                       : 0;
    } else {
        order = a.CompareNoCase(b);
        order = order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    return ascending ? order : -order;
}

CString CSortListCtrl::SpokenDuration(const CString& cell)
{
    if (!IsDurationText(cell))
        return CString();
    // Seconds, minutes, hours: the fields from the right.
    long long fields[3] = {0, 0, 0};
    int field = 0;
    long long place = 1;
    for (int i = cell.GetLength() - 1; i >= 0 && field < 3; --i) {
        if (cell[i] == L':') {
            ++field;
            place = 1;
        } else if (place < 1000000000LL) {
            fields[field] += (cell[i] - L'0') * place;
            place *= 10;
        }
    }
    CString spoken;
    if (fields[2])
        spoken += CountOf(fields[2], L"hour");
    if (fields[1])
        spoken += CountOf(fields[1], L"minute");
    if (fields[0])
        spoken += CountOf(fields[0], L"second");
    spoken.TrimRight();
    return spoken;
}

void CSortListCtrl::PreSubclassWindow()
{
    CListCtrl::PreSubclassWindow();
    BindHeader();
}

void CSortListCtrl::BindHeader()
{
    if (m_header.m_hWnd || !m_hWnd)
        return;
    if (HWND header = ListView_GetHeader(m_hWnd))
        m_header.SubclassWindow(header);
}

void CSortListCtrl::Sort(int column, bool toggle)
{
    BindHeader();
    if (column == m_sortColumn && toggle) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = true;
    }
    const int count = GetItemCount();
    SortContext context{{}, false, m_ascending};
    std::vector<DWORD_PTR> data;
    context.cells.reserve(static_cast<size_t>(count));
    data.reserve(static_cast<size_t>(count));
    for (int row = 0; row < count; ++row) {
        context.cells.push_back(GetItemText(row, column));
        data.push_back(GetItemData(row));
        SetItemData(row, static_cast<DWORD_PTR>(row));
    }
    m_numeric = IsNumericColumn(context.cells);
    context.numeric = m_numeric;
    SortItems(CompareRows, reinterpret_cast<DWORD_PTR>(&context));
    for (int row = 0; row < count; ++row) {
        const auto before = static_cast<size_t>(GetItemData(row));
        SetItemData(row, before < data.size() ? data[before] : 0);
    }
}

int CSortListCtrl::CellHitTest(CPoint point, int* column, CRect* cell) const
{
    if ((GetStyle() & LVS_TYPEMASK) != LVS_REPORT)
        return kNotReportView;
    CRect client;
    GetClientRect(&client);
    const int columns = m_header.m_hWnd ? m_header.GetItemCount() : Header_GetItemCount(ListView_GetHeader(m_hWnd));
    const int last = std::min(GetItemCount(), GetTopIndex() + GetCountPerPage() + 1);
    for (int row = GetTopIndex(); row < last; ++row) {
        CRect bounds;
        if (!GetItemRect(row, &bounds, LVIR_BOUNDS) || point.y < bounds.top || point.y >= bounds.bottom)
            continue;
        for (int index = 0; index < columns; ++index) {
            CRect rect;
            if (!ListView_GetSubItemRect(m_hWnd, row, index, LVIR_BOUNDS, &rect))
                continue;
            // The first column's rectangle is the whole row's; it ends where the second starts.
            if (index == 0)
                rect.right = rect.left + GetColumnWidth(0);
            if (!rect.PtInRect(point))
                continue;
            if (column)
                *column = index;
            if (cell)
                cell->IntersectRect(rect, client);
            return row;
        }
    }
    return kNoCell;
}

CString CSortListCtrl::GetHeaderText(int column) const
{
    wchar_t text[kHeaderTextLength + 1] = {};
    HDITEMW item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = kHeaderTextLength + 1;
    HWND header = m_header.m_hWnd ? m_header.m_hWnd : ListView_GetHeader(m_hWnd);
    if (!::SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
        return CString();
    return CString(text);
}

CString CSortListCtrl::DescribeSelectedRow() const
{
    const int row = GetNextItem(-1, LVNI_SELECTED);
    if (row < 0)
        return L"No Info";
    CString description;
    HWND header = m_header.m_hWnd ? m_header.m_hWnd : ListView_GetHeader(m_hWnd);
    const int columns = Header_GetItemCount(header);
    for (int column = 0; column < columns; ++column) {
        const CString text = GetItemText(row, column);
        if (text.IsEmpty())
            continue;
        const CString spoken = SpokenDuration(text);
        if (!description.IsEmpty())
            description += L", ";
        description += GetHeaderText(column) + L" " + (spoken.IsEmpty() ? text : spoken);
    }
    return description;
}

HRESULT CSortListCtrl::get_accName(VARIANT child, BSTR* name)
{
    if (AccessibleRow(child) >= 0)
        return CListCtrl::get_accName(child, name);
    if (!name)
        return E_POINTER;
    *name = SysAllocString(DescribeSelectedRow());
    return *name ? S_OK : E_OUTOFMEMORY;
}

BOOL CSortListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == NM_CUSTOMDRAW) {
            *result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
            return TRUE;
        }
        if (header->code == LVN_COLUMNCLICK) {
            Sort(reinterpret_cast<const NMLISTVIEW*>(lParam)->iSubItem, true);
            *result = 0;
            return TRUE;
        }
    }
    return CListCtrl::OnChildNotify(message, wParam, lParam, result);
}

LRESULT CSortListCtrl::OnCustomDraw(NMLVCUSTOMDRAW* draw) const
{
    switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        draw->clrText = RGB(0, 0, 0);
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        draw->clrTextBk = (draw->nmcd.dwItemSpec % 2) == 0 ? kEvenRowColour : kOddRowColour;
        return CDRF_DODEFAULT;
    default:
        return CDRF_DODEFAULT;
    }
}

BOOL CSortListCtrl::OnEraseBkgnd(CDC* dc)
{
    CRect client;
    GetClientRect(&client);
    dc->FillSolidRect(client, kOddRowColour);
    CRect first;
    int top = client.top;
    int height = 0;
    if (GetItemCount() > 0 && GetItemRect(GetTopIndex(), &first, LVIR_BOUNDS)) {
        top = first.top;
        height = first.Height();
    }
    if (height <= 0)
        return FALSE;
    const int rows = GetCountPerPage();
    for (int i = 0; i <= rows; ++i) {
        const CRect band(client.left, top + i * height, client.right, top + (i + 1) * height);
        dc->FillSolidRect(band, ((GetTopIndex() + i) % 2) == 0 ? kEvenRowColour : kOddRowColour);
    }
    return FALSE;
}
