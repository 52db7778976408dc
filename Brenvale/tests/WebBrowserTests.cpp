// The web browser dialog on the system's own browser control (the page stays blank where no
// HTML engine is installed): its line of text, the navigation and copy calls with their
// arguments, the page filter, the ambient answer that keeps a page's code off, and the reply
// pages ShowHtmlPage writes.
#include "HtmlPage.h"
#include "WebBrowserDlg.h"

#include "WindowTestSupport.h"
#include "res/WebBrowserIds.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const wchar_t kTemplateLine[] = L"Vesperlin for Windows is not able to check the version required for the selected title.";

TEST(WebBrowserFilter, SwallowsRightClicksAndTurnsControlKeysIntoCommands)
{
    const struct {
        UINT message;
        WPARAM key;
        bool control;
        BrowserFilterAction action;
    } cases[] = {
        {WM_RBUTTONDOWN, 0, false, BrowserFilterAction::Swallow},
        {WM_RBUTTONDBLCLK, 0, false, BrowserFilterAction::Swallow},
        {WM_NCRBUTTONDOWN, HTCAPTION, false, BrowserFilterAction::Swallow},
        {WM_RBUTTONUP, 0, false, BrowserFilterAction::Pass},
        {WM_LBUTTONDOWN, 0, false, BrowserFilterAction::Pass},
        {WM_KEYDOWN, 'C', true, BrowserFilterAction::Copy},
        {WM_KEYDOWN, 'A', true, BrowserFilterAction::SelectAll},
        {WM_KEYDOWN, 'C', false, BrowserFilterAction::Pass},
        {WM_KEYDOWN, 'A', false, BrowserFilterAction::Pass},
        {WM_KEYDOWN, 'V', true, BrowserFilterAction::Pass},
        {WM_KEYUP, 'C', true, BrowserFilterAction::Pass},
        {WM_CHAR, 'c', true, BrowserFilterAction::Pass},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.action, FilterBrowserMessage(c.message, c.key, c.control)) << c.message << " " << c.key;
}

// Records the browser calls of one test.
class BrowserCalls {
public:
    BrowserCalls() : m_previous(SetExplorerCallRecorder([this](const ExplorerCall& call) { calls.push_back(call); })) {}
    ~BrowserCalls() { SetExplorerCallRecorder(std::move(m_previous)); }
    std::vector<ExplorerCall> calls;

private:
    ExplorerCallRecorder m_previous;
};

class WebBrowserDialog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }

    // Presses a key with Ctrl held, as the dialog's loop sees it.
    static void PressWithControl(HWND target, WPARAM key)
    {
        BYTE keys[256];
        GetKeyboardState(keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
        MSG msg{target, WM_KEYDOWN, key, 0, 0, {}};
        const BOOL used = AfxPreTranslateMessage(&msg);
        keys[VK_CONTROL] = 0;
        SetKeyboardState(keys);
        EXPECT_TRUE(used);
    }
};

TEST_F(WebBrowserDialog, ShowsTheLineAndNavigatesTheHostedBrowserToTheUrl)
{
    BrowserCalls recorder;
    CWebBrowserDlg dialog(L"file:C:\\windows\\temp\\Brenvale\\CheckUpdatesResponse.htm",
                          L"Vesperlin for Windows is not able to check for updates.", nullptr);
    HRESULT ambient = E_FAIL;
    VARIANT downloadControl;
    VariantInit(&downloadControl);
    CString tree;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] { return dialog.m_hWnd != nullptr && ::IsWindowVisible(dialog); },
        [&] {
            tree = testsupport::DumpWindowTree(dialog);
            // The control was handed our site: it answers the page's download control.
            IOleObject* control = nullptr;
            IOleClientSite* site = nullptr;
            IDispatch* ambients = nullptr;
            if (SUCCEEDED(dialog.Browser().QueryControl(IID_IOleObject, reinterpret_cast<void**>(&control))) &&
                SUCCEEDED(control->GetClientSite(&site)) && site &&
                SUCCEEDED(site->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&ambients)))) {
                DISPPARAMS none{nullptr, nullptr, 0, 0};
                ambient = ambients->Invoke(DISPID_AMBIENT_DLCONTROL, IID_NULL, 0, DISPATCH_PROPERTYGET, &none,
                                           &downloadControl, nullptr, nullptr);
            }
            if (ambients)
                ambients->Release();
            if (site)
                site->Release();
            if (control)
                control->Release();
            testsupport::CaptureWindow(dialog);
            return true;
        },
        [&] {
            PressWithControl(dialog.Browser(), 'A');
            PressWithControl(dialog.Browser(), 'C');
            MSG click{dialog.Browser(), WM_RBUTTONDOWN, 0, 0, 0, {}};
            EXPECT_TRUE(AfxPreTranslateMessage(&click));
            return true;
        },
        [&] {
            dialog.PostMessage(WM_COMMAND, IDOK, 0);
            return true;
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(steps.Done());

    EXPECT_NE(-1, tree.Find(L"\"Vesperlin for Windows is not able to check for updates.\"")) << tree.ToNarrow();
    EXPECT_NE(-1, tree.Find(L"AtlAxWin")) << tree.ToNarrow();
    EXPECT_EQ(S_OK, ambient);
    EXPECT_EQ(VT_I4, downloadControl.vt);
    EXPECT_EQ(static_cast<LONG>(DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS), downloadControl.lVal);

    ASSERT_EQ(3u, recorder.calls.size());
    const ExplorerCall& navigate = recorder.calls[0];
    EXPECT_EQ(DISPID_EXPLORER_NAVIGATE2, navigate.id);
    const std::vector<CString> expected = {L"file:C:\\windows\\temp\\Brenvale\\CheckUpdatesResponse.htm", L"<null>",
                                           L"<null>", L"<null>", L"<null>"};
    EXPECT_EQ(expected, navigate.arguments);
    EXPECT_EQ(S_OK, navigate.result);
    EXPECT_EQ(DISPID_EXPLORER_EXECWB, recorder.calls[1].id);
    EXPECT_EQ((std::vector<CString>{L"17", L"2", L"<null>", L"<null>"}), recorder.calls[1].arguments);
    EXPECT_EQ(DISPID_EXPLORER_EXECWB, recorder.calls[2].id);
    EXPECT_EQ((std::vector<CString>{L"12", L"2", L"<null>", L"<null>"}), recorder.calls[2].arguments);
}

TEST_F(WebBrowserDialog, AnEmptyMessageKeepsTheTemplatesLine)
{
    BrowserCalls recorder;
    CWebBrowserDlg dialog(L"file:C:\\x.htm", L"", nullptr);
    CString line;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] { return dialog.m_hWnd != nullptr; },
        [&] {
            line = dialog.GetDlgItemText(IDC_BROWSER_MESSAGE);
            dialog.PostMessage(WM_COMMAND, IDOK, 0);
            return true;
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(CString(kTemplateLine), line);
    ASSERT_EQ(1u, recorder.calls.size());
    EXPECT_EQ(CString(L"file:C:\\x.htm"), recorder.calls[0].arguments[0]);
}

TEST_F(WebBrowserDialog, ShowHtmlPageWritesThePageAndShowsItsFile)
{
    BrowserCalls recorder;
    CString line;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] {
            HWND dialog = testsupport::WaitForWindow(nullptr, L"Vesperlin", 0);
            if (!dialog)
                return false;
            line = CWnd::FromHandle(dialog)->GetDlgItemText(IDC_BROWSER_MESSAGE);
            ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        },
    });
    const CString path = HtmlPagePath(L"CheckMessagesResponse.htm");
    DeleteFileW(path);
    const wchar_t page[] = L"<html><body>Proxy error</body></html>";
    ASSERT_TRUE(ShowHtmlPage(page, L"CheckMessagesResponse.htm", L"Vesperlin for Windows is not able to check for messages."));
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(CString(L"Vesperlin for Windows is not able to check for messages."), line);
    EXPECT_EQ(std::string("<html><body>Proxy error</body></html>"), testsupport::ReadAllBytes(path));
    ASSERT_EQ(1u, recorder.calls.size());
    EXPECT_EQ(L"file:" + path, recorder.calls[0].arguments[0]);
    EXPECT_NE(-1, path.Find(L"\\Brenvale\\CheckMessagesResponse.htm"));

    // Characters the ANSI code page lacks: the page is written in UTF-16 instead of losing them.
    testsupport::StepRunner again(std::vector<testsupport::StepRunner::Step>{
        [&] {
            HWND dialog = testsupport::WaitForWindow(nullptr, L"Vesperlin", 0);
            if (dialog)
                ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return dialog != nullptr;
        },
    });
    ASSERT_TRUE(ShowHtmlPage(L"<p>\u65e5\u672c</p>", L"CheckMessagesResponse.htm", L""));
    EXPECT_EQ("\xff\xfe" + testsupport::Utf16LeBytes(L"<p>\u65e5\u672c</p>"), testsupport::ReadAllBytes(path));
    DeleteFileW(path);
}

TEST_F(WebBrowserDialog, TheDispatchDriverReadsAndWritesTheBrowsersProperties)
{
    CDialog host;
    ASSERT_TRUE(host.Create(IDD_WEB_BROWSER));
    CExplorer browser;
    ASSERT_TRUE(browser.CreateAtPlaceholder(&host, IDC_BROWSER)) << std::hex << browser.GetCreateResult();
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(S_OK, browser.QueryControl(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    COleDispatchDriver driver(dispatch);
    const DISPID silent = 551;  // a Boolean property of the browser
    for (BOOL value : {TRUE, FALSE}) {
        driver.SetProperty(silent, COleVariant::Bool(value));
        BOOL read = !value;
        driver.GetProperty(silent, VT_BOOL, &read);
        EXPECT_EQ(value, read);
    }
    CString name;
    driver.GetProperty(0, VT_BSTR, &name);  // the default property: the browser's name
    EXPECT_FALSE(name.IsEmpty());
    EXPECT_THROW(driver.SetProperty(4711, COleVariant(1L)), COleDispatchException);
    host.DestroyWindow();
}

TEST(ShowHtmlPage, NothingHappensWithoutTextOrWithANameThatIsNoPlainName)
{
    BrowserCalls recorder;
    EXPECT_FALSE(ShowHtmlPage(L"", L"Page.htm", L"x"));
    EXPECT_FALSE(ShowHtmlPage(nullptr, L"Page.htm", L"x"));
    EXPECT_FALSE(ShowHtmlPage(L"<html/>", L"", L"x"));
    EXPECT_FALSE(ShowHtmlPage(L"<html/>", L"..\\Page.htm", L"x"));
    EXPECT_FALSE(ShowHtmlPage(L"<html/>", L"C:Page.htm", L"x"));
    EXPECT_TRUE(HtmlPagePath(L"sub/Page.htm").IsEmpty());
    EXPECT_TRUE(recorder.calls.empty());
}

}  // namespace
