// Dialogs: modal through the library's loop and driven by posted keys, data exchange in both
// directions, EndDialog codes, help routing, modeless dialogs.
#include "Dialog.h"
#include "Edit.h"
#include "HtmlHelp.h"
#include "Menu.h"
#include "TestSupport.h"
#include "WinApp.h"
#include "WindowTestIds.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// The program's help hook as a test sees it.
class CHelpRecordingApp : public CWinApp {
public:
    CHelpRecordingApp() : CWinApp(L"Window tests") {}
    void ShowHelpTopic(const HELPINFO* info, const wchar_t* topic) override
    {
        topics.push_back(topic ? topic : L"");
        contexts.push_back(info ? info->iCtrlId : -1);
    }
    std::vector<CString> topics;
    std::vector<int> contexts;
};
CHelpRecordingApp g_app;

class CTestDialog : public CDialog {
public:
    CTestDialog() : CDialog(IDD_TEST_DIALOG) { m_helpTopic = L"TestDialog.txt"; }
    CString m_name;
    int m_agree = BST_UNCHECKED;
    int m_option = -1;
    int m_count = 0;
    CEdit m_nameEdit;
    int accelerators = 0;
    int initCalls = 0;

    BOOL PreTranslateMessage(MSG* msg) override
    {
        if (!m_accelerators)
            m_accelerators = AfxLoadAccelerators(IDR_TEST_ACCELERATORS);
        if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST &&
            ::TranslateAcceleratorW(m_hWnd, m_accelerators, msg))
            return TRUE;
        return CDialog::PreTranslateMessage(msg);
    }

protected:
    BOOL OnInitDialog() override
    {
        ++initCalls;
        return CDialog::OnInitDialog();
    }
    void DoDataExchange(CDataExchange* dx) override
    {
        DDX_Control(dx, IDC_NAME, m_nameEdit);
        DDX_Text(dx, IDC_NAME, m_name);
        DDV_MaxChars(dx, m_name, 20);
        DDX_Check(dx, IDC_AGREE, m_agree);
        DDX_Radio(dx, IDC_RADIO_A, m_option);
        DDX_Text(dx, IDC_COUNT, m_count);
    }
    BOOL OnCmdMsg(UINT id, UINT code) override
    {
        if (id == IDC_END_THREE && code == BN_CLICKED) {
            EndDialog(3);
            return TRUE;
        }
        if (id == ID_TEST_ACCELERATOR) {
            ++accelerators;
            return TRUE;
        }
        return CDialog::OnCmdMsg(id, code);
    }

private:
    HACCEL m_accelerators = nullptr;
};

HWND Dialog() { return FindWindowW(nullptr, L"Test Dialog"); }

// The system's F1 message (WM_KEYF1): DefWindowProc turns it into WM_HELP for the window.
constexpr UINT kKeyF1 = 0x004D;
HWND Item(int id) { return GetDlgItem(Dialog(), id); }

void PostKey(HWND target, UINT key)
{
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
}

void TypeText(HWND target, const wchar_t* text)
{
    for (const wchar_t* p = text; *p; ++p)
        PostMessageW(target, WM_CHAR, *p, 1);
}

TEST(Dialog, DataExchangeBothWaysThenEnterEndsWithIdok)
{
    CTestDialog dialog;
    dialog.m_name = L"Ada";
    dialog.m_agree = BST_CHECKED;
    dialog.m_option = 1;
    dialog.m_count = 42;
    struct Seen {
        CString name, count;
        int agree = -1, optionB = -1;
    } seen;
    testsupport::StepRunner steps(std::vector<std::function<void()>>{
        [&] {
            // Members -> controls.
            seen.name = CWnd::FromHandle(Item(IDC_NAME))->GetWindowText();
            seen.count = CWnd::FromHandle(Item(IDC_COUNT))->GetWindowText();
            seen.agree = static_cast<int>(SendMessageW(Item(IDC_AGREE), BM_GETCHECK, 0, 0));
            seen.optionB = static_cast<int>(SendMessageW(Item(IDC_RADIO_B), BM_GETCHECK, 0, 0));
            // Then the user edits: keys and clicks.
            SetFocus(Item(IDC_NAME));
            SendMessageW(Item(IDC_NAME), EM_SETSEL, 0, -1);
            TypeText(Item(IDC_NAME), L"Grace");
            SendMessageW(Item(IDC_AGREE), BM_CLICK, 0, 0);
            SendMessageW(Item(IDC_RADIO_C), BM_CLICK, 0, 0);
            SetWindowTextW(Item(IDC_COUNT), L" 7 ");
            SetFocus(Item(IDC_NAME));
        },
        [&] { PostKey(Item(IDC_NAME), VK_RETURN); },  // the dialog manager turns it into IDOK
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(1, dialog.initCalls);
    EXPECT_EQ(CString(L"Ada"), seen.name);
    EXPECT_EQ(CString(L"42"), seen.count);
    EXPECT_EQ(BST_CHECKED, seen.agree);
    EXPECT_EQ(BST_CHECKED, seen.optionB);
    // Controls -> members.
    EXPECT_EQ(CString(L"Grace"), dialog.m_name);
    EXPECT_EQ(BST_UNCHECKED, dialog.m_agree);
    EXPECT_EQ(2, dialog.m_option);
    EXPECT_EQ(7, dialog.m_count);
}

TEST(Dialog, InvalidInputKeepsTheDialogOpenWithABox)
{
    CTestDialog dialog;
    testsupport::MessageBoxRecorder boxes;
    testsupport::StepRunner steps(std::vector<std::function<void()>>{
        [] { SetWindowTextW(Item(IDC_COUNT), L"twelve"); PostMessageW(Dialog(), WM_COMMAND, IDOK, 0); },
        [] { SetWindowTextW(Item(IDC_NAME), L"a name longer than twenty"); SetWindowTextW(Item(IDC_COUNT), L"12");
             PostMessageW(Dialog(), WM_COMMAND, IDOK, 0); },
        [] { SetWindowTextW(Item(IDC_NAME), L"short"); PostMessageW(Dialog(), WM_COMMAND, IDOK, 0); },
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    ASSERT_EQ(2u, boxes.Boxes().size());
    EXPECT_EQ(CString(L"Please enter an integer."), boxes.Boxes()[0].text);
    EXPECT_NE(-1, boxes.Boxes()[1].text.Find(L"20"));
    EXPECT_EQ(12, dialog.m_count);
    EXPECT_EQ(CString(L"short"), dialog.m_name);
}

TEST(Dialog, EndDialogCodes)
{
    struct Case {
        const char* name;
        std::function<void()> act;
        INT_PTR expected;
    } cases[] = {
        {"Escape", [] { PostKey(Item(IDC_NAME), VK_ESCAPE); }, IDCANCEL},
        {"Cancel button", [] { SendMessageW(Item(IDCANCEL), BM_CLICK, 0, 0); }, IDCANCEL},
        {"custom code", [] { SendMessageW(Item(IDC_END_THREE), BM_CLICK, 0, 0); }, 3},
        {"closing the window", [] { PostMessageW(Dialog(), WM_CLOSE, 0, 0); }, IDCANCEL},
    };
    for (const Case& c : cases) {
        CTestDialog dialog;
        testsupport::StepRunner steps(std::vector<std::function<void()>>{c.act});
        EXPECT_EQ(c.expected, dialog.DoModal()) << c.name;
        EXPECT_EQ(nullptr, dialog.m_hWnd) << c.name;
    }
}

TEST(Dialog, AcceleratorsOfPreTranslateMessageSeeTheKeys)
{
    CTestDialog dialog;
    testsupport::StepRunner steps(std::vector<std::function<void()>>{
        [] {
            // Ctrl+T: the accelerator table of the dialog's PreTranslateMessage.
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0x80;
            SetKeyboardState(keys);
            PostKey(Item(IDC_NAME), 'T');
        },
        [] {
            BYTE keys[256] = {};
            GetKeyboardState(keys);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
            PostMessageW(Dialog(), WM_COMMAND, IDCANCEL, 0);
        },
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(1, dialog.accelerators);
}

TEST(Dialog, HelpReachesTheProgramsHelpHook)
{
    g_app.topics.clear();
    g_app.contexts.clear();
    testsupport::HtmlHelpRecorder help;
    g_app.SetHelpFilePath(L"C:\\tests\\Tests.chm");
    CTestDialog dialog;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [] {
            // F1 as the system hands it to the focused window (what the keyboard's F1 becomes;
            // posted, so that no other window of the display can take the key).
            SetFocus(Item(IDC_AGREE));
            PostMessageW(Item(IDC_AGREE), kKeyF1, 0, 0);
            return true;
        },
        [] { return !g_app.topics.empty(); },                                            // F1 arrived
        [] { SendMessageW(Item(ID_HELP), BM_CLICK, 0, 0); return true; },        // the Help button
        [] { PostMessageW(Dialog(), WM_COMMAND, IDCANCEL, 0); return true; },
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    ASSERT_EQ(1u, g_app.topics.size());
    EXPECT_EQ(CString(L"TestDialog.txt"), g_app.topics[0]);
    EXPECT_EQ(IDC_AGREE, g_app.contexts[0]);
    // The Help button asks HTML Help for the dialog's context.
    ASSERT_EQ(1u, help.Calls().size());
    EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), help.Calls()[0].command);
    EXPECT_EQ(HID_BASE_RESOURCE + IDD_TEST_DIALOG, help.Calls()[0].data);
    EXPECT_EQ(CString(L"C:\\tests\\Tests.chm"), help.Calls()[0].file);
}

TEST(Dialog, ModelessDialogLivesUntilDestroyed)
{
    class CModeless : public CTestDialog {
    public:
        void PostNcDestroy() override { destroyed = true; }
        bool destroyed = false;
    } dialog;
    ASSERT_TRUE(dialog.Create(IDD_TEST_DIALOG));
    EXPECT_EQ(1, dialog.initCalls);
    EXPECT_FALSE(dialog.IsModal());
    const auto tree = testsupport::WindowTree(dialog.m_hWnd);
    const testsupport::WindowInfo* ok = testsupport::FindById(tree, IDOK);
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(CString(L"Button"), ok->className);
    EXPECT_EQ(CString(L"OK"), ok->text);
    EXPECT_TRUE(ok->style & BS_DEFPUSHBUTTON) << testsupport::DumpWindowTree(dialog.m_hWnd).ToNarrow();
    dialog.SendMessage(WM_COMMAND, IDCANCEL);  // EndDialog of a modeless dialog destroys it
    EXPECT_TRUE(dialog.destroyed);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

}  // namespace

namespace {

// A main window that adjusts help calls and passes them on, as the programs' main windows do.
class CHelpPassingWindow : public CWnd {
public:
    void HtmlHelp(DWORD_PTR data, UINT command) override
    {
        ++calls;
        if (++depth > 3) {  // would never end: stop here so that the test can say so
            --depth;
            return;
        }
        CWnd::HtmlHelp(data + 1, command);
        --depth;
    }
    int calls = 0;
    int depth = 0;
};

TEST(Dialog, HelpOfTheMainWindowAndItsDialogsReachesTheHelpFileOnce)
{
    testsupport::HtmlHelpRecorder help;
    g_app.SetHelpFilePath(L"C:\\tests\\Tests.chm");
    CHelpPassingWindow main;
    ASSERT_TRUE(main.CreateEx(0, L"STATIC", L"Main", WS_POPUP, 0, 0, 100, 100, nullptr, 0));
    g_app.m_pMainWnd = &main;

    // The main window's own help (its system menu, its accelerators).
    main.HtmlHelp(HID_BASE_COMMAND + 7, HH_HELP_CONTEXT);
    EXPECT_EQ(1, main.calls);
    ASSERT_EQ(1u, help.Calls().size());
    EXPECT_EQ(HID_BASE_COMMAND + 8, help.Calls()[0].data);
    EXPECT_EQ(main.m_hWnd, help.Calls()[0].caller);
    EXPECT_EQ(CString(L"C:\\tests\\Tests.chm"), help.Calls()[0].file);

    // A dialog's Help button passes the main window once, the program's help finder too.
    CTestDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_TEST_DIALOG));
    SendMessageW(GetDlgItem(dialog.m_hWnd, ID_HELP), BM_CLICK, 0, 0);
    EXPECT_EQ(2, main.calls);
    g_app.OnHelpFinder();
    EXPECT_EQ(3, main.calls);
    ASSERT_EQ(3u, help.Calls().size());
    EXPECT_EQ(HID_BASE_RESOURCE + IDD_TEST_DIALOG + 1, help.Calls()[1].data);
    EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TOPIC), help.Calls()[2].command);
    dialog.DestroyWindow();
    g_app.m_pMainWnd = nullptr;
}

// Boxes a worker thread raises belong to the program's main window and keep it from use.
TEST(Dialog, BoxesOfAWorkerThreadAreOwnedByTheMainWindow)
{
    CWnd main;
    ASSERT_TRUE(main.CreateEx(0, L"STATIC", L"Main", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr, 0));
    g_app.m_pMainWnd = &main;
    {
        testsupport::MessageBoxRecorder boxes(IDYES);
        int answer = 0;
        std::thread worker([&answer] { answer = AfxMessageBox(L"Search again?", MB_YESNO); });
        worker.join();
        EXPECT_EQ(IDYES, answer);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(main.m_hWnd, boxes.Boxes()[0].owner);
    }
    // A real box: the main window is disabled while it is open.
    std::atomic<int> answer{0};
    std::thread worker([&answer] { answer = AfxMessageBox(L"The disc could not be written.", MB_OK); });
    HWND box = nullptr;
    BOOL enabledMeanwhile = TRUE;
    for (int i = 0; i < 200 && !box; ++i) {
        testsupport::PumpMessages(20);
        HWND candidate = FindWindowW(L"#32770", nullptr);
        if (candidate && GetWindow(candidate, GW_OWNER) == main.m_hWnd)
            box = candidate;
    }
    if (box) {
        enabledMeanwhile = IsWindowEnabled(main.m_hWnd);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    }
    while (answer == 0) {  // an unowned box is closed too, so that the worker ends
        if (HWND other = FindWindowW(L"#32770", nullptr))
            PostMessageW(other, WM_COMMAND, IDOK, 0);
        testsupport::PumpMessages(20);
    }
    worker.join();
    EXPECT_NE(nullptr, box);
    EXPECT_FALSE(enabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(main.m_hWnd));
    g_app.m_pMainWnd = nullptr;
}

TEST(Dialog, CaptionHelpModeAndTextPopupsFailHarmlesslyWithTheRightArguments)
{
    g_app.topics.clear();
    g_app.contexts.clear();
    g_app.SetHelpFilePath(L"C:\\tests\\Tests.chm");
    CTestDialog dialog;
    ASSERT_TRUE(dialog.Create(IDD_TEST_DIALOG));
    dialog.ModifyStyleEx(0, WS_EX_CONTEXTHELP);
    // The caption's "?" mode as Windows starts it; Wine has none, and nothing may break.
    dialog.SendMessage(WM_SYSCOMMAND, SC_CONTEXTHELP);
    testsupport::PumpMessages(50);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    // The help the system sends for the control clicked in that mode reaches the hook.
    HELPINFO info{};
    info.cbSize = sizeof info;
    info.iContextType = HELPINFO_WINDOW;
    info.iCtrlId = IDC_AGREE;
    info.hItemHandle = GetDlgItem(dialog.m_hWnd, IDC_AGREE);
    info.MousePos = {12, 34};
    SendMessageW(static_cast<HWND>(info.hItemHandle), WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    ASSERT_EQ(1u, g_app.topics.size());
    EXPECT_EQ(IDC_AGREE, g_app.contexts[0]);

    // The text pop-up a hook shows: the real help system shows none under Wine...
    EXPECT_FALSE(g_app.ShowHelpPopup(dialog.m_hWnd, L"TestDialog.txt", 0x80CF0002, POINT{12, 34}));
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));
    // ...and the call is the one Windows would get.
    testsupport::HtmlHelpRecorder help;
    g_app.ShowHelpPopup(dialog.m_hWnd, L"TestDialog.txt", 0x80CF0002, POINT{12, 34});
    ASSERT_EQ(1u, help.Calls().size());
    const AfxHtmlHelpCall& call = help.Calls()[0];
    EXPECT_EQ(static_cast<UINT>(HH_DISPLAY_TEXT_POPUP), call.command);
    EXPECT_EQ(CString(L"C:\\tests\\Tests.chm::/TestDialog.txt"), call.file);
    ASSERT_TRUE(call.hasPopup);
    EXPECT_EQ(static_cast<int>(sizeof(HH_POPUP)), call.popup.cbStruct);
    EXPECT_EQ(nullptr, call.popup.hinst);
    EXPECT_EQ(0x80CF0002u, call.popup.idString);
    EXPECT_EQ(12, call.popup.pt.x);
    EXPECT_EQ(34, call.popup.pt.y);
    EXPECT_EQ(static_cast<COLORREF>(-1), call.popup.clrForeground);
    EXPECT_EQ(static_cast<COLORREF>(-1), call.popup.clrBackground);
    EXPECT_EQ(-1, call.popup.rcMargins.left);
    EXPECT_EQ(-1, call.popup.rcMargins.bottom);
    EXPECT_EQ(CString(L"C:\\tests\\Tests.chm"), CString(g_app.m_pszHelpFilePath));  // unchanged
    dialog.DestroyWindow();
}

}  // namespace

TEST(Dialog, ModalDialogOpensOverTheMiddleOfItsOwner)
{
    HWND ownerWindow = CreateWindowExW(0, L"STATIC", L"Owner", WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 30,
                                       700, 560, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, ownerWindow);
    struct COwnedDialog : CTestDialog {
        explicit COwnedDialog(CWnd* owner) { m_pParentWnd = owner; }
    } dialog(CWnd::FromHandle(ownerWindow));
    RECT placed = {};
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&placed] {
            GetWindowRect(Dialog(), &placed);
            PostMessageW(Dialog(), WM_COMMAND, IDCANCEL, 0);
            return true;
        },
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    RECT owner = {};
    GetWindowRect(ownerWindow, &owner);
    DestroyWindow(ownerWindow);
    EXPECT_NEAR((owner.left + owner.right) / 2, (placed.left + placed.right) / 2, 1);
    EXPECT_NEAR((owner.top + owner.bottom) / 2, (placed.top + placed.bottom) / 2, 1);
}
