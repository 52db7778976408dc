// The check-box list: check states, the header box, selection-wide toggles by mouse and
// space bar, accessibility of the rows.
#include "CheckedListCtrl.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <vector>

namespace {

using State = std::vector<int>;

class CheckedList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_parent.CreateEx(0, nullptr, L"Checked list", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                                      CRect(100, 100, 460, 300), nullptr, 0));
        HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS,
                                    5, 5, 340, 150, m_parent.m_hWnd, reinterpret_cast<HMENU>(1301), nullptr, nullptr);
        ASSERT_TRUE(m_list.SubclassWindow(list));
        m_list.InsertColumn(0, L"Part", LVCFMT_LEFT, 120);
        m_list.InsertColumn(1, L"Size", LVCFMT_LEFT, 80);
        m_list.InsertColumn(2, L"Status", LVCFMT_LEFT, 120);
        m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    }
    void Fill(const State& states)
    {
        m_list.DeleteAllItems();
        for (size_t i = 0; i < states.size(); ++i) {
            CString name;
            name.Format(L"Part %d", static_cast<int>(i) + 1);
            m_list.InsertItem(static_cast<int>(i), name);
            m_list.SetCheck(static_cast<int>(i), states[i]);
        }
    }
    State States() const
    {
        State states;
        for (int i = 0; i < m_list.GetItemCount(); ++i)
            states.push_back(m_list.GetCheck(i));
        return states;
    }
    int HeaderImage()
    {
        LVCOLUMNW column{};
        column.mask = LVCF_IMAGE;
        m_list.GetColumn(0, &column);
        // The header itself shows that picture.
        HDITEMW item{};
        item.mask = HDI_FORMAT | HDI_IMAGE;
        m_list.GetHeaderCtrl()->GetItem(0, &item);
        EXPECT_TRUE(item.fmt & HDF_IMAGE);
        EXPECT_EQ(column.iImage, item.iImage);
        return column.iImage;
    }
    void Select(const std::vector<int>& rows)
    {
        for (int i = 0; i < m_list.GetItemCount(); ++i)
            m_list.SetItemState(i, 0, LVIS_SELECTED | LVIS_FOCUSED);
        for (int row : rows)
            m_list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }
    // A point on the row's state icon (found by hit-testing along the row).
    CPoint StateIconPoint(int row)
    {
        CRect bounds;
        m_list.GetItemRect(row, &bounds, LVIR_BOUNDS);
        for (int x = bounds.left; x < bounds.left + 40; ++x) {
            UINT flags = 0;
            const CPoint p(x, bounds.CenterPoint().y);
            if (m_list.HitTest(p, &flags) == row && (flags & LVHT_ONITEMSTATEICON))
                return p;
        }
        ADD_FAILURE() << "no state icon on row " << row;
        return CPoint();
    }
    void ClickBox(int row)
    {
        const CPoint p = StateIconPoint(row);
        m_list.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        m_list.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    }
    void ClickHeader(int x)
    {
        CRect item;
        m_list.GetHeaderCtrl()->GetItemRect(0, &item);
        m_list.SendMessage(WM_PARENTNOTIFY, WM_LBUTTONDOWN, MAKELPARAM(x, item.Height() / 2));
    }

    CWnd m_parent;
    CCheckedListCtrl m_list;
};

TEST_F(CheckedList, ChecksReadBackAndRowsWithoutABoxReadMinusOne)
{
    m_list.InsertItem(0, L"no box yet");
    EXPECT_EQ(CCheckedListCtrl::kNoBox, m_list.GetCheck(0));
    for (int state : {0, 1, 2, 3}) {
        EXPECT_TRUE(m_list.SetCheck(0, state));
        EXPECT_EQ(state, m_list.GetCheck(0));
        EXPECT_EQ(static_cast<UINT>(state + 1) << 12, m_list.GetItemState(0, LVIS_STATEIMAGEMASK));
    }
    EXPECT_EQ(4, m_list.GetStateImages().GetImageCount());
    EXPECT_EQ(m_list.GetStateImages().m_hImageList, m_list.GetImageList(LVSIL_STATE));
    EXPECT_EQ(m_list.GetStateImages().m_hImageList, m_list.GetHeaderCtrl()->GetImageList());
}

TEST_F(CheckedList, HeaderBoxIsCheckedWhenNoEnabledBoxIsUnchecked)
{
    const struct {
        State states;
        int header;
    } cases[] = {
        {{0, 1}, 0}, {{1, 1}, 1}, {{1, 2}, 1}, {{2, 2}, 1}, {{3, 0}, 0}, {{1, 3, 2}, 1},
    };
    for (const auto& c : cases) {
        Fill(c.states);
        EXPECT_EQ(c.header, HeaderImage()) << ::testing::PrintToString(c.states);
    }
}

TEST_F(CheckedList, HeaderClickTogglesEveryEnabledRow)
{
    Fill({1, 1, 2, 3});
    ASSERT_EQ(1, HeaderImage());
    ClickHeader(60);  // beside the box: nothing
    EXPECT_EQ((State{1, 1, 2, 3}), States());
    ClickHeader(10);
    EXPECT_EQ((State{0, 0, 2, 3}), States());
    EXPECT_EQ(0, HeaderImage());
    ClickHeader(1);   // the box is widened by 4 pixels on each side
    EXPECT_EQ((State{1, 1, 2, 3}), States());
}

TEST_F(CheckedList, BoxClicksToggleTheRowOrTheWholeSelection)
{
    const struct {
        const char* name;
        State before;
        std::vector<int> selected;
        int clicked;
        State after;
    } cases[] = {
        {"unselected row alone", {0, 0, 0, 0}, {2, 3}, 0, {1, 0, 0, 0}},
        {"selected row takes the selection", {0, 1, 0, 0}, {0, 1, 2}, 0, {1, 1, 1, 0}},
        {"disabled rows of the selection stay", {1, 3, 2, 1}, {0, 1, 2, 3}, 0, {0, 3, 2, 0}},
        {"a disabled box does nothing", {0, 2, 0, 0}, {0, 1, 2}, 1, {0, 2, 0, 0}},
        {"checked-disabled toggles to unchecked", {3, 1, 1}, {}, 1, {3, 0, 1}},
    };
    for (const auto& c : cases) {
        Fill(c.before);
        Select(c.selected);
        ClickBox(c.clicked);
        EXPECT_EQ(c.after, States()) << c.name;
    }
}

TEST_F(CheckedList, SpaceTogglesTheSelectionFromTheFocusedRow)
{
    Fill({0, 1, 0});
    Select({});
    m_list.SendMessage(WM_KEYDOWN, VK_SPACE, 0);  // no focused row: nothing changes
    EXPECT_EQ((State{0, 1, 0}), States());
    Select({1, 2});
    m_list.SetItemState(1, LVIS_FOCUSED, LVIS_FOCUSED);
    m_list.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_EQ((State{0, 0, 0}), States());
    EXPECT_EQ(1, m_list.GetNextItem(-1, LVNI_FOCUSED));
    Fill({2, 0});
    Select({0, 1});
    m_list.SetItemState(0, LVIS_FOCUSED, LVIS_FOCUSED);
    m_list.SendMessage(WM_KEYDOWN, VK_SPACE, 0);  // focused box disabled: nothing changes
    EXPECT_EQ((State{2, 0}), States());
}

TEST_F(CheckedList, HeaderMarginFollowsTheSystemVersion)
{
    EXPECT_EQ(-2, CCheckedListCtrl::HeaderBitmapMarginFor(5));
    EXPECT_EQ(4, CCheckedListCtrl::HeaderBitmapMarginFor(6));
    EXPECT_EQ(m_list.GetHeaderBitmapMargin(), m_list.GetHeaderCtrl()->GetBitmapMargin());
}

TEST_F(CheckedList, RowsAreAccessibleAsCheckButtons)
{
    Fill({1, 2, 0});
    m_list.SetItemText(0, 2, L"downloaded");
    IAccessible* accessible = nullptr;
    ASSERT_EQ(S_OK, AccessibleObjectFromWindow(m_list.m_hWnd, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                               reinterpret_cast<void**>(&accessible)));
    long children = 0;
    EXPECT_EQ(S_OK, accessible->get_accChildCount(&children));
    EXPECT_EQ(3, children);
    const struct {
        long child;
        const wchar_t* name;
        long states;  // must be present
        long absent;  // must not be
    } cases[] = {
        {1, L"Part 1 downloaded ", STATE_SYSTEM_CHECKED, STATE_SYSTEM_READONLY},
        {2, L"Part 2 ", STATE_SYSTEM_READONLY, STATE_SYSTEM_CHECKED},
        {3, L"Part 3 ", 0, STATE_SYSTEM_CHECKED | STATE_SYSTEM_READONLY},
    };
    for (const auto& c : cases) {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = c.child;
        BSTR name = nullptr;
        ASSERT_EQ(S_OK, accessible->get_accName(child, &name));
        EXPECT_EQ(CString(c.name), CString(name));
        SysFreeString(name);
        VARIANT role;
        ASSERT_EQ(S_OK, accessible->get_accRole(child, &role));
        EXPECT_EQ(ROLE_SYSTEM_CHECKBUTTON, role.lVal);
        VARIANT state;
        ASSERT_EQ(S_OK, accessible->get_accState(child, &state));
        EXPECT_EQ(c.states, state.lVal & c.states) << c.child;
        EXPECT_EQ(0, state.lVal & c.absent) << c.child;
    }
    accessible->Release();
}

TEST_F(CheckedList, Picture)
{
    Fill({1, 0, 2, 3});
    m_list.SetItemText(0, 1, L"12 MB");
    m_list.SetItemText(0, 2, L"not downloaded");
    m_list.SetItemText(2, 2, L"downloaded");
    m_list.SetItemText(3, 2, L"downloaded");
    EXPECT_FALSE(testsupport::CaptureWindow(m_parent.m_hWnd).IsEmpty());
}

}  // namespace
