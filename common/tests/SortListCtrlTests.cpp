// The sortable list: its comparison rules as tables, then the control itself: header clicks
// sort and turn the order round, rows keep their item data, header double-clicks size a
// column, cells are found under points, rows are painted in alternating colours and the
// selected row is read aloud.
#include "SortListCtrl.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <vector>

namespace {

int Sign(int value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

TEST(SortListRules, NumericColumnsAreThoseOfNumbersSumsPercentagesAndDurations)
{
    const struct {
        std::vector<CString> cells;
        bool numeric;
    } cases[] = {
        {{L"512", L"2048"}, true},
        {{L"$1,024.50", L"12%", L"-3"}, true},
        {{L"1:00:05", L"59:59", L""}, true},
        {{L"2026-12-11", L"2025-01-31"}, true},
        {{L"  42", L"7"}, true},  // leading blanks do not count
        {{L"", L""}, true},
        {{L"512", L"2 KB"}, false},
        {{L"Harbour", L"12"}, false},
        {{L"1:00 ", L"2"}, false},  // a trailing blank does
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.numeric, CSortListCtrl::IsNumericColumn(c.cells)) << c.cells[0].ToNarrow() << " / " << c.cells[1].ToNarrow();
}

TEST(SortListRules, CellsCompareByValueOrByTextIgnoringCase)
{
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool numeric;
        int ascending;  // the sign of the comparison in ascending order
    } cases[] = {
        {L"512", L"2048", true, -1},          // by value, not as text
        {L"512", L"2048", false, 1},          // as text "5" comes after "2"
        {L"2,048", L"512", true, 1},          // thousands separators are left out
        {L"$9.99", L"$10.00", true, -1},
        {L"12.5%", L"12.25%", true, 1},
        {L"-5", L"3", true, -1},
        {L"1:00:00", L"59:59", true, 1},      // an hour is longer than 59 minutes
        {L"4:05", L"245", true, 0},           // 4 minutes 5 seconds are 245 seconds
        {L"1:02:03", L"3723", true, 0},
        {L"", L"0", true, 0},
        {L"4000000000", L"1", true, 1},       // beyond 32 bits
        {L"2026-01-05", L"2026-12-11", true, -1},  // dates by year, month and day
        {L"2025-12-31", L"2026-01-01", true, -1},
        {L"2026-03-09", L"2026-03-09", true, 0},
        {L"harbour", L"Harbour", false, 0},
        {L"apple", L"Banana", false, -1},
        {L"Zebra", L"apple", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.a).ToNarrow() + " vs " + CString(c.b).ToNarrow());
        EXPECT_EQ(c.ascending, Sign(CSortListCtrl::CompareCells(c.a, c.b, c.numeric, true)));
        EXPECT_EQ(-c.ascending, Sign(CSortListCtrl::CompareCells(c.a, c.b, c.numeric, false)));
    }
}

TEST(SortListRules, DurationsAreSpokenAsHoursMinutesAndSeconds)
{
    const struct {
        const wchar_t* cell;
        const wchar_t* spoken;
    } cases[] = {
        {L"1:00:05", L"1 hour 5 seconds"},
        {L"2:01", L"2 minutes 1 second"},
        {L"3:01:00", L"3 hours 1 minute"},
        {L"0:45", L"45 seconds"},
        {L"2048", L""},  // a plain number is no duration
        {L"10:00", L"10 minutes"},
        {L"0:00", L""},
        {L"12 KB", L""},
        {L"1:0a", L""},
        {L"", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.spoken), CSortListCtrl::SpokenDuration(c.cell)) << CString(c.cell).ToNarrow();
}

struct Row {
    const wchar_t* name;
    const wchar_t* size;
    const wchar_t* time;
};

class SortList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, L"Sortable list", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                                      CRect(100, 100, 500, 320), nullptr, 0));
        HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS,
                                    5, 5, 370, 170, m_parent.m_hWnd, reinterpret_cast<HMENU>(1062), nullptr, nullptr);
        ASSERT_TRUE(m_list.SubclassWindow(list));
        m_list.InsertColumn(0, L"Name", LVCFMT_LEFT, 120);
        m_list.InsertColumn(1, L"Size", LVCFMT_LEFT, 80);
        m_list.InsertColumn(2, L"Time", LVCFMT_LEFT, 80);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    }
    void Fill(const std::vector<Row>& rows)
    {
        for (size_t i = 0; i < rows.size(); ++i) {
            const int row = m_list.InsertItem(static_cast<int>(i), rows[i].name);
            m_list.SetItemText(row, 1, rows[i].size);
            m_list.SetItemText(row, 2, rows[i].time);
            m_list.SetItemData(row, 1000 + i);  // the row's own data: 1000 + its first place
        }
    }
    // The names from top to bottom, each with the data it carries.
    std::vector<CString> Order() const
    {
        std::vector<CString> order;
        for (int row = 0; row < m_list.GetItemCount(); ++row) {
            CString entry;
            entry.Format(L"%s=%u", m_list.GetItemText(row, 0).GetString(), static_cast<unsigned>(m_list.GetItemData(row)));
            order.push_back(entry);
        }
        return order;
    }
    // A real click on a column's header.
    void ClickHeader(int column)
    {
        CRect item;
        m_list.GetHeaderCtrl()->GetItemRect(column, &item);
        const CPoint p = item.CenterPoint();
        HWND header = m_list.GetHeaderCtrl()->m_hWnd;
        ::SendMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        ::SendMessageW(header, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        testsupport::PumpMessages(20);
    }

    CWnd m_parent;
    CSortListCtrl m_list;
};

const std::vector<Row> kRows = {
    {L"delta", L"2048", L"1:00:00"},
    {L"Alpha", L"512", L"59:59"},
    {L"charlie", L"512", L"4:05"},
    {L"Bravo", L"64", L"10"},
};

TEST_F(SortList, HeaderClicksSortTurnTheOrderRoundAndKeepEachRowsData)
{
    Fill(kRows);
    const struct {
        int column;
        std::vector<CString> order;
        bool ascending;
        bool numeric;
    } steps[] = {
        // Sizes by value; the two of 512 stay in their order.
        {1, {L"Bravo=1003", L"Alpha=1001", L"charlie=1002", L"delta=1000"}, true, true},
        // The same header again: the other way round, the equal rows still in their order.
        {1, {L"delta=1000", L"Alpha=1001", L"charlie=1002", L"Bravo=1003"}, false, true},
        // Another header: ascending again, names ignoring case.
        {0, {L"Alpha=1001", L"Bravo=1003", L"charlie=1002", L"delta=1000"}, true, false},
        // Durations by their length.
        {2, {L"Bravo=1003", L"charlie=1002", L"Alpha=1001", L"delta=1000"}, true, true},
        {2, {L"delta=1000", L"Alpha=1001", L"charlie=1002", L"Bravo=1003"}, false, true},
    };
    for (const auto& step : steps) {
        ClickHeader(step.column);
        EXPECT_EQ(step.order, Order());
        EXPECT_EQ(step.column, m_list.GetSortColumn());
        EXPECT_EQ(step.ascending, m_list.IsAscending());
        EXPECT_EQ(step.numeric, m_list.IsNumericSort());
    }
}

TEST_F(SortList, ADoubleClickOnAHeaderSizesItsColumn)
{
    Fill({{L"A name far longer than the column is wide", L"1", L"1"}});
    m_list.SetColumnWidth(0, 30);
    CRect item, last;
    m_list.GetHeaderCtrl()->GetItemRect(0, &item);
    m_list.GetHeaderCtrl()->GetItemRect(2, &last);
    HWND header = m_list.GetHeaderCtrl()->m_hWnd;
    // Beyond the last column nothing changes.
    ::SendMessageW(header, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(last.right + 20, item.Height() / 2));
    EXPECT_EQ(30, m_list.GetColumnWidth(0));
    EXPECT_EQ(80, m_list.GetColumnWidth(2));
    ::SendMessageW(header, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(item.left + 10, item.Height() / 2));
    EXPECT_GT(m_list.GetColumnWidth(0), 150);
}

TEST_F(SortList, CellsAreFoundUnderPointsInReportViewOnly)
{
    Fill(kRows);
    CRect row1;
    m_list.GetItemRect(1, &row1, LVIR_BOUNDS);
    const int y = row1.CenterPoint().y;
    const struct {
        int x;
        int row;
        int column;
    } cases[] = {{10, 1, 0}, {130, 1, 1}, {230, 1, 2}, {330, CSortListCtrl::kNoCell, -1}};
    for (const auto& c : cases) {
        int column = -1;
        CRect cell;
        EXPECT_EQ(c.row, m_list.CellHitTest(CPoint(c.x, y), &column, &cell)) << c.x;
        EXPECT_EQ(c.column, column) << c.x;
        if (c.row >= 0) {
            EXPECT_TRUE(cell.PtInRect(CPoint(c.x, y))) << c.x;
        }
    }
    EXPECT_EQ(CSortListCtrl::kNoCell, m_list.CellHitTest(CPoint(10, 160)));
    m_list.ModifyStyle(LVS_TYPEMASK, LVS_LIST);
    EXPECT_EQ(CSortListCtrl::kNotReportView, m_list.CellHitTest(CPoint(10, y)));
}

TEST_F(SortList, RowsAreBandedInTheirColours)
{
    Fill(kRows);
    CRect row0, row1, client;
    m_list.GetItemRect(0, &row0, LVIR_BOUNDS);
    m_list.GetItemRect(1, &row1, LVIR_BOUNDS);
    m_list.GetClientRect(&client);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.Width(), client.Height());
    HGDIOBJ old = SelectObject(memory, bitmap);
    EXPECT_EQ(0, m_list.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory)));
    const int x = client.right - 5;  // right of the texts
    EXPECT_EQ(CSortListCtrl::kEvenRowColour, GetPixel(memory, x, row0.CenterPoint().y));
    EXPECT_EQ(CSortListCtrl::kOddRowColour, GetPixel(memory, x, row1.CenterPoint().y));
    EXPECT_EQ(CSortListCtrl::kEvenRowColour, GetPixel(memory, x, row1.bottom + row1.Height() / 2));
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    m_list.SetItemState(1, LVIS_SELECTED, LVIS_SELECTED);
    testsupport::CaptureWindow(m_parent.m_hWnd, L"Common.SortList");
}

TEST_F(SortList, TheAccessibleNameReadsTheSelectedRow)
{
    Fill(kRows);
    IAccessible* accessible = nullptr;
    ASSERT_EQ(S_OK, AccessibleObjectFromWindow(m_list.m_hWnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                               reinterpret_cast<void**>(&accessible)));
    auto name = [accessible](long child) {
        VARIANT id;
        VariantInit(&id);
        id.vt = VT_I4;
        id.lVal = child;
        BSTR text = nullptr;
        EXPECT_EQ(S_OK, accessible->get_accName(id, &text));
        const CString result = text ? CString(text) : CString(L"<none>");
        SysFreeString(text);
        return result;
    };
    EXPECT_EQ(CString(L"No Info"), name(CHILDID_SELF));
    m_list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(CString(L"Name delta, Size 2048, Time 1 hour"), name(CHILDID_SELF));
    m_list.SetItemState(0, 0, LVIS_SELECTED);
    m_list.SetItemState(2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_EQ(CString(L"Name charlie, Size 512, Time 4 minutes 5 seconds"), name(CHILDID_SELF));
    // A row itself keeps its own name.
    EXPECT_EQ(CString(L"Alpha"), name(2));
    accessible->Release();
    EXPECT_EQ(CString(L"Time"), m_list.GetHeaderText(2));
}

}  // namespace
