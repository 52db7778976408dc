// Property sheets in wizard mode: page activation, the buttons each page sets, next/back
// overrides, Finish; the sheet's PreTranslateMessage sees keys in the library's loop.
#include "PropertySheet.h"
#include "TestSupport.h"
#include "WindowTestIds.h"
#include "WindowTestSupport.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

// commctrl.h names its function through a macro.
#undef PropertySheet

#include <string>
#include <vector>

namespace {

std::vector<std::wstring> g_events;

class CTestPage : public CPropertyPage {
public:
    CTestPage(UINT templateId, const wchar_t* name, DWORD buttons) : CPropertyPage(templateId), m_name(name), m_buttons(buttons) {}
    LRESULT m_next = 0;  // what OnWizardNext answers
    LRESULT m_back = 0;
    BOOL m_cancelRefused = FALSE;  // Cancel leaves the sheet open

protected:
    BOOL OnQueryCancel() override { return !m_cancelRefused; }
    BOOL OnSetActive() override
    {
        g_events.push_back(m_name + L" active");
        GetSheet()->SetWizardButtons(m_buttons);
        return CPropertyPage::OnSetActive();
    }
    BOOL OnKillActive() override
    {
        g_events.push_back(m_name + L" inactive");
        return CPropertyPage::OnKillActive();
    }
    LRESULT OnWizardNext() override
    {
        g_events.push_back(m_name + L" next");
        return m_next;
    }
    LRESULT OnWizardBack() override
    {
        g_events.push_back(m_name + L" back");
        return m_back;
    }
    BOOL OnWizardFinish() override
    {
        g_events.push_back(m_name + L" finish");
        return TRUE;
    }

private:
    std::wstring m_name;
    DWORD m_buttons;
};

class CTestSheet : public CPropertySheet {
public:
    CTestSheet() : CPropertySheet(L"Test Wizard") {}
    int keys = 0;
    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) {
            ++keys;
            return TRUE;
        }
        return CPropertySheet::PreTranslateMessage(msg);
    }
};

// Which of Back, Next and Finish the sheet shows enabled.
std::wstring Buttons(HWND sheet)
{
    std::wstring shown;
    const struct {
        int id;
        const wchar_t* name;
    } buttons[] = {{ID_WIZBACK, L"back "}, {ID_WIZNEXT, L"next "}, {ID_WIZFINISH, L"finish "}};
    for (const auto& b : buttons) {
        HWND button = GetDlgItem(sheet, b.id);
        if (button && IsWindowVisible(button) && IsWindowEnabled(button))
            shown += b.name;
    }
    return shown;
}

TEST(WizardSheet, WizardWalksNextNextBackFinish)
{
    g_events.clear();
    CTestPage first(IDD_WIZARD_PAGE1, L"first", PSWIZB_NEXT);
    CTestPage second(IDD_WIZARD_PAGE2, L"second", PSWIZB_BACK | PSWIZB_NEXT);
    CTestPage third(IDD_WIZARD_PAGE3, L"third", PSWIZB_BACK | PSWIZB_FINISH);
    first.m_next = IDD_WIZARD_PAGE2;  // a page id: go there
    CTestSheet sheet;
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.AddPage(&third);
    sheet.SetWizardMode();
    std::vector<std::wstring> buttons;
    std::vector<int> active;
    auto look = [&] {
        buttons.push_back(Buttons(sheet.m_hWnd));
        active.push_back(sheet.GetActiveIndex());
    };
    testsupport::StepRunner steps(std::vector<std::function<void()>>{
        [&] { look(); sheet.PressButton(PSBTN_NEXT); },
        [&] { look(); PostMessageW(sheet.m_hWnd, WM_KEYDOWN, VK_F5, 1); sheet.PressButton(PSBTN_NEXT); },
        [&] { look(); testsupport::CaptureWindow(sheet.m_hWnd); sheet.PressButton(PSBTN_BACK); },
        [&] { look(); sheet.PressButton(PSBTN_NEXT); },
        [&] { sheet.PressButton(PSBTN_FINISH); },
    });
    EXPECT_EQ(ID_WIZFINISH, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(1, sheet.keys);
    const std::vector<std::wstring> expectedEvents = {
        L"first active",  L"first next",   L"first inactive", L"second active", L"second next",
        L"second inactive", L"third active", L"third back",     L"third inactive", L"second active",
        L"second next",  L"second inactive", L"third active",  L"third finish",
    };
    EXPECT_EQ(expectedEvents, g_events);
    const std::vector<std::wstring> expectedButtons = {L"next ", L"back next ", L"back finish ", L"back next "};
    EXPECT_EQ(expectedButtons, buttons);
    EXPECT_EQ((std::vector<int>{0, 1, 2, 1}), active);
    EXPECT_EQ(nullptr, sheet.m_hWnd);
}

TEST(WizardSheet, NextCanStayOrJumpAndCancelEndsTheSheet)
{
    g_events.clear();
    CTestPage first(IDD_WIZARD_PAGE1, L"first", PSWIZB_NEXT);
    CTestPage second(IDD_WIZARD_PAGE2, L"second", PSWIZB_BACK | PSWIZB_NEXT);
    CTestPage third(IDD_WIZARD_PAGE3, L"third", PSWIZB_BACK | PSWIZB_FINISH);
    first.m_next = -1;  // stay
    CTestSheet sheet;
    sheet.AddPage(&first);
    sheet.AddPage(&second);
    sheet.AddPage(&third);
    sheet.SetWizardMode();
    std::vector<int> active;
    testsupport::StepRunner steps(std::vector<std::function<void()>>{
        [&] { sheet.PressButton(PSBTN_NEXT); },
        [&] { active.push_back(sheet.GetActiveIndex()); first.m_next = IDD_WIZARD_PAGE3; sheet.PressButton(PSBTN_NEXT); },
        [&] { active.push_back(sheet.GetActiveIndex()); sheet.PressButton(PSBTN_CANCEL); },
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_EQ((std::vector<int>{0, 2}), active);
}

TEST(WizardSheet, APageEndsTheSheetWithItsCode)
{
    CTestPage first(IDD_WIZARD_PAGE1, L"first", PSWIZB_NEXT);
    CTestSheet sheet;
    sheet.AddPage(&first);
    sheet.SetWizardMode();
    testsupport::StepRunner steps(std::vector<std::function<void()>>{[&] { first.EndDialog(3); }});
    EXPECT_EQ(3, sheet.DoModal());
}

// A step that waits in vain fails the test; when the last step's Cancel is refused, the sheet
// left open is ended after the steps' patience instead of holding the test until its limit.
TEST(WizardSheet, ASheetLeftOpenAfterAFailedStepIsEnded)
{
    CTestPage first(IDD_WIZARD_PAGE1, L"first", PSWIZB_NEXT);
    first.m_cancelRefused = TRUE;
    CTestSheet sheet;
    sheet.AddPage(&first);
    sheet.SetWizardMode();
    INT_PTR result = 0;
    {
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
            [] { return false; },
            [&] {
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            },
        });
        EXPECT_NONFATAL_FAILURE(result = sheet.DoModal(), "waited in vain");
        EXPECT_TRUE(steps.Done());
    }
    EXPECT_EQ(IDABORT, result);
    EXPECT_EQ(nullptr, sheet.m_hWnd);
}

}  // namespace

namespace {

// A property sheet (not a wizard) with an owner opens over the middle of it.
TEST(PropertySheet, ASheetOpensOverTheMiddleOfItsOwner)
{
    HWND ownerWindow = CreateWindowExW(0, L"STATIC", L"Owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 300, 200,
                                       700, 560, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, ownerWindow);
    CTestPage page(IDD_WIZARD_PAGE1, L"only", 0);
    CPropertySheet sheet(L"Properties", CWnd::FromHandle(ownerWindow));
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    sheet.AddPage(&page);
    RECT placed = {};
    testsupport::StepRunner steps(std::vector<std::function<void()>>{
        [&] {
            GetWindowRect(sheet.m_hWnd, &placed);
            sheet.PressButton(PSBTN_CANCEL);
        },
    });
    sheet.DoModal();
    RECT owner = {};
    GetWindowRect(ownerWindow, &owner);
    DestroyWindow(ownerWindow);
    EXPECT_NEAR((owner.left + owner.right) / 2, (placed.left + placed.right) / 2, 1);
    EXPECT_NEAR((owner.top + owner.bottom) / 2, (placed.top + placed.bottom) / 2, 1);
}

}  // namespace
