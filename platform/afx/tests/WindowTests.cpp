// The window core: the handle map, creation through the hook, subclassing, message routing
// with reflection, and the exception boundary of the window procedure.
#include "Button.h"
#include "DC.h"
#include "ListBox.h"
#include "ListCtrl.h"
#include "ProgressCtrl.h"
#include "Static.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "Wnd.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring>* g_log = nullptr;
void Log(const std::wstring& entry)
{
    if (g_log)
        g_log->push_back(entry);
}

constexpr UINT kButtonId = 2001;
constexpr UINT kOwnerDrawId = 2002;
constexpr UINT kListBoxId = 2003;
constexpr UINT kListId = 2004;
constexpr UINT kSliderId = 2005;
constexpr UINT kStaticId = 2006;
constexpr UINT kRangeFirst = 34000;
constexpr UINT kRangeLast = 34100;
constexpr UINT kThrowLibrary = 3001;
constexpr UINT kThrowStandard = 3002;
constexpr UINT kThrowUser = 3003;

class COwnerDrawButton : public CButton {
public:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override
    {
        Log(L"child DrawItem " + std::to_wstring(drawItem->CtlID));
        CDC dc;
        dc.Attach(drawItem->hDC);
        dc.FillSolidRect(drawItem->rcItem, RGB(0, 128, 0));
        dc.Detach();
    }
};

class CMeasuredListBox : public CListBox {
public:
    void MeasureItem(LPMEASUREITEMSTRUCT measureItem) override
    {
        Log(L"child MeasureItem " + std::to_wstring(measureItem->CtlID));
        measureItem->itemHeight = 20;
    }
    void DrawItem(LPDRAWITEMSTRUCT) override {}
};

class CReflectingSlider : public CSliderCtrl {
protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (message == WM_HSCROLL) {
            Log(L"child HScroll " + std::to_wstring(LOWORD(wParam)));
            return TRUE;
        }
        return CSliderCtrl::OnChildNotify(message, wParam, lParam, result);
    }
};

class CColouredStatic : public CStatic {
public:
    HBRUSH CtlColor(CDC* dc, UINT ctlColor) override
    {
        Log(L"child CtlColor " + std::to_wstring(ctlColor));
        dc->SetBkColor(RGB(255, 255, 0));
        return m_brush;
    }
    CBrush m_brush{RGB(255, 255, 0)};
};

class CRoutingWnd : public CWnd {
public:
    CButton m_button;
    COwnerDrawButton m_ownerDraw;
    CMeasuredListBox m_listBox;
    CListCtrl m_list;
    CReflectingSlider m_slider;
    CColouredStatic m_static;

protected:
    int OnCreate(LPCREATESTRUCTW cs) override
    {
        Log(L"OnCreate");
        if (CWnd::OnCreate(cs) == -1)
            return -1;
        m_button.Create(L"Push", WS_VISIBLE | BS_PUSHBUTTON, CRect(5, 5, 80, 30), this, kButtonId);
        m_ownerDraw.Create(L"", WS_VISIBLE | BS_OWNERDRAW, CRect(90, 5, 160, 30), this, kOwnerDrawId);
        m_listBox.Create(WS_VISIBLE | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS, CRect(5, 40, 100, 120), this, kListBoxId);
        m_list.Create(WS_VISIBLE | LVS_REPORT, CRect(110, 40, 300, 120), this, kListId);
        m_slider.Create(WS_VISIBLE | TBS_HORZ, CRect(5, 130, 200, 160), this, kSliderId);
        m_static.Create(L"Static", WS_VISIBLE | SS_LEFT, CRect(210, 130, 300, 150), this, kStaticId);
        return 0;
    }
    void OnSize(UINT type, int cx, int cy) override
    {
        Log(L"OnSize " + std::to_wstring(cx) + L"x" + std::to_wstring(cy));
        CWnd::OnSize(type, cx, cy);
    }
    void OnPaint() override
    {
        CPaintDC dc(this);
        Log(L"OnPaint");
    }
    void OnTimer(UINT_PTR id) override
    {
        Log(L"OnTimer " + std::to_wstring(id));
        KillTimer(id);
    }
    BOOL OnCmdMsg(UINT id, UINT code) override
    {
        if (id == kButtonId && code == BN_CLICKED) {
            Log(L"OnCommand button");
            return TRUE;
        }
        if (id >= kRangeFirst && id <= kRangeLast) {
            Log(L"OnCommandRange " + std::to_wstring(id));
            return TRUE;
        }
        if (id == kThrowLibrary)
            AfxThrowOleException(E_FAIL);
        if (id == kThrowStandard)
            throw std::runtime_error("broken handler");
        if (id == kThrowUser)
            AfxThrowUserException();
        return CWnd::OnCmdMsg(id, code);
    }
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override
    {
        if (CWnd::OnNotify(wParam, lParam, result))
            return TRUE;
        const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == kListId && header->code == LVN_ITEMCHANGED) {
            Log(L"OnNotify LVN_ITEMCHANGED");
            return TRUE;
        }
        return FALSE;
    }
};

struct RoutingCase {
    const char* name;
    std::function<void(CRoutingWnd&)> act;
    std::wstring expected;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override { g_log = &m_log; }
    void TearDown() override { g_log = nullptr; }
    bool Logged(const std::wstring& entry) const
    {
        for (const auto& e : m_log) {
            if (e == entry)
                return true;
        }
        return false;
    }
    std::wstring Joined() const
    {
        std::wstring all;
        for (const auto& e : m_log)
            all += e + L"; ";
        return all;
    }
    std::vector<std::wstring> m_log;
};

TEST_F(WindowTest, MessagesReachTheirHandlers)
{
    CRoutingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"Routing", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(50, 50, 380, 260), nullptr, 0));
    // Creation-time messages: the object was attached before the first one.
    EXPECT_EQ(L"OnCreate", m_log.front());
    EXPECT_TRUE(Logged(L"child MeasureItem " + std::to_wstring(kListBoxId))) << Joined();
    wnd.m_list.InsertColumn(0, L"Name", LVCFMT_LEFT, 80);
    wnd.m_list.InsertItem(0, L"row");
    wnd.m_listBox.AddString(L"entry");
    testsupport::PumpMessages(50);

    const RoutingCase cases[] = {
        {"size", [](CRoutingWnd& w) { w.MoveWindow(60, 60, 400, 300); }, L"OnSize "},
        {"paint", [](CRoutingWnd& w) { w.Invalidate(); w.UpdateWindow(); }, L"OnPaint"},
        {"timer", [](CRoutingWnd& w) { w.SetTimer(7, 10); testsupport::PumpMessages(200); }, L"OnTimer 7"},
        {"command", [](CRoutingWnd& w) { w.m_button.SendMessage(BM_CLICK); }, L"OnCommand button"},
        {"command range start", [](CRoutingWnd& w) { w.SendMessage(WM_COMMAND, kRangeFirst); }, L"OnCommandRange 34000"},
        {"command range end", [](CRoutingWnd& w) { w.SendMessage(WM_COMMAND, kRangeLast); }, L"OnCommandRange 34100"},
        {"notification", [](CRoutingWnd& w) { w.m_list.SetItemState(0, LVIS_SELECTED, LVIS_SELECTED); },
         L"OnNotify LVN_ITEMCHANGED"},
        {"reflected owner-draw", [](CRoutingWnd& w) { w.m_ownerDraw.Invalidate(); w.m_ownerDraw.UpdateWindow(); },
         L"child DrawItem 2002"},
        {"reflected scroll", [](CRoutingWnd& w) { w.SendMessage(WM_HSCROLL, SB_LINERIGHT, reinterpret_cast<LPARAM>(w.m_slider.m_hWnd)); },
         L"child HScroll 1"},
        {"reflected colour", [](CRoutingWnd& w) { w.m_static.Invalidate(); w.m_static.UpdateWindow(); },
         L"child CtlColor " + std::to_wstring(CTLCOLOR_STATIC)},
    };
    for (const RoutingCase& c : cases) {
        m_log.clear();
        c.act(wnd);
        testsupport::PumpMessages(20);
        bool found = false;
        for (const auto& e : m_log)
            found = found || e.compare(0, c.expected.size(), c.expected) == 0;
        EXPECT_TRUE(found) << c.name << ": " << Joined().size() << " entries: "
                           << CString(Joined().c_str()).ToNarrow(CP_UTF8);
    }
    testsupport::CaptureWindow(wnd.m_hWnd);
}

TEST_F(WindowTest, AnExceptionInAHandlerIsReportedAndTheProgramGoesOn)
{
    CRoutingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, nullptr, L"Routing", WS_OVERLAPPEDWINDOW, CRect(0, 0, 300, 200), nullptr, 0));
    testsupport::MessageBoxRecorder boxes;
    wnd.SendMessage(WM_COMMAND, kThrowLibrary);
    wnd.SendMessage(WM_COMMAND, kThrowStandard);
    wnd.SendMessage(WM_COMMAND, kThrowUser);  // the user was told already: no box
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_NE(-1, boxes.Boxes()[1].text.Find(L"broken handler")) << boxes.Boxes()[1].text.ToNarrow();
    EXPECT_TRUE(boxes.Boxes()[0].type & MB_ICONSTOP);
    // Still alive and routing.
    m_log.clear();
    wnd.SendMessage(WM_COMMAND, kRangeFirst + 5);
    EXPECT_TRUE(Logged(L"OnCommandRange 34005"));
}

TEST_F(WindowTest, AWindowWhoseCreateFailsIsGoneAndItsObjectFree)
{
    class CRefusing : public CWnd {
        int OnCreate(LPCREATESTRUCTW) override { throw std::runtime_error("no"); }
    } wnd;
    testsupport::MessageBoxRecorder boxes;
    EXPECT_FALSE(wnd.CreateEx(0, nullptr, L"x", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ(1u, boxes.Boxes().size());
}

TEST_F(WindowTest, HandleMapKeepsForeignWindowsAlive)
{
    HWND foreign = CreateWindowExW(0, L"STATIC", L"foreign", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, foreign);
    CWnd* temp = CWnd::FromHandle(foreign);
    ASSERT_NE(nullptr, temp);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign));
    EXPECT_EQ(temp, CWnd::FromHandle(foreign));   // the same temporary until idle
    EXPECT_FALSE(temp->DestroyWindow());           // never destroyed by us
    CWnd::DeleteTempMap();
    EXPECT_TRUE(IsWindow(foreign));

    {
        // Subclassed: borrowed, so the object lets it go but never destroys it.
        class CCounting : public CWnd {
        public:
            void PreSubclassWindow() override { ++presubclassed; }
            int presubclassed = 0;
        } wnd;
        ASSERT_TRUE(wnd.SubclassWindow(foreign));
        EXPECT_EQ(1, wnd.presubclassed);
        EXPECT_EQ(&wnd, CWnd::FromHandlePermanent(foreign));
        CCounting second;
        EXPECT_FALSE(second.SubclassWindow(foreign));  // one object per window
    }
    EXPECT_TRUE(IsWindow(foreign));
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(foreign));
    EXPECT_EQ(static_cast<LONG_PTR>(GetClassLongPtrW(foreign, GCLP_WNDPROC)), GetWindowLongPtrW(foreign, GWLP_WNDPROC));

    {
        // Created: owned, destroyed with the object; a self-deleting window goes in PostNcDestroy.
        CWnd owned;
        ASSERT_TRUE(owned.CreateEx(0, nullptr, L"owned", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
        foreign = owned.m_hWnd;
    }
    EXPECT_FALSE(IsWindow(foreign));

    static bool deleted = false;
    class CSelfDeleting : public CWnd {
    public:
        ~CSelfDeleting() override { deleted = true; }
        void PostNcDestroy() override { delete this; }
    };
    auto* self = new CSelfDeleting;
    ASSERT_TRUE(self->CreateEx(0, nullptr, L"self", WS_POPUP, CRect(0, 0, 10, 10), nullptr, 0));
    DestroyWindow(self->m_hWnd);
    EXPECT_TRUE(deleted);
}

TEST_F(WindowTest, PreTranslateMessageSeesKeysAlongTheParentChain)
{
    class CFiltering : public CWnd {
    public:
        BOOL PreTranslateMessage(MSG* msg) override
        {
            if (msg->message == WM_KEYDOWN) {
                keys.push_back(static_cast<UINT>(msg->wParam));
                return msg->wParam == 'Q';
            }
            return FALSE;
        }
        std::vector<UINT> keys;
    } parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"parent", WS_POPUP, CRect(0, 0, 100, 100), nullptr, 0));
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, L"EDIT", L"", WS_CHILD | WS_VISIBLE, CRect(0, 0, 50, 20), &parent, 1));
    MSG msg{child.m_hWnd, WM_KEYDOWN, 'Q', 0, 0, {}};
    EXPECT_TRUE(CWnd::WalkPreTranslateTree(nullptr, &msg));
    msg.wParam = 'A';
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(nullptr, &msg));
    EXPECT_EQ((std::vector<UINT>{'Q', 'A'}), parent.keys);
}

}  // namespace
