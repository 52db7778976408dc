// The console's update and message checks on a running frame, against the loopback server:
// the update reply kinds (required, offered, current, invalid), the message reply kinds,
// error replies and "NotImplemented" inside the check's message, the HTML failure pages in
// the web browser dialog, what a quiet check keeps to itself, the exact query the server
// receives, the URLs that reach the shell, and the Help menu's two commands.
#include "BrenvaleApp.h"
#include "ConsoleSettings.h"
#include "Explorer.h"
#include "FileUtils.h"
#include "HtmlPage.h"
#include "MainFrm.h"
#include "ServiceAddress.h"
#include "ServiceTestSupport.h"
#include "ShellOpen.h"
#include "WindowTestSupport.h"
#include "res/ConsoleIds.h"
#include "res/ServiceIds.h"
#include "res/WebBrowserIds.h"

#include <gtest/gtest.h>

#include <shlwapi.h>

#include <memory>

using servicetest::ScopedVariables;
using servicetest::UpdateReply;
using testsupport::MessageBoxRecorder;

namespace {

constexpr const wchar_t* kTestAppName = L"Vesperlin Brenvale Service Tests";
constexpr const wchar_t* kProfileKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale Service Tests";
const std::string kUpdatePath = "/ZKY/ZKYUpdateService.svc/CheckForUpdates";
const std::string kMessagePath = "/ZKY/ZKYMessageService.svc/CheckForMessages";
const std::string kQuery = "?PlatformID=WIN&OSVersion=6.1.7601&ZKYVersion=";
const wchar_t kOfferEnd[] = L"\n\nWould you like to quit Vesperlin for Windows and download this update?";

// The library of the tests, in a folder of their own.
class ServiceTestLibrary : public CBrenvaleDoc {
    DECLARE_DYNCREATE(ServiceTestLibrary)
public:
    ServiceTestLibrary() { SetDataFolder(Folder()); }
    static CString& Folder()
    {
        static CString folder;
        return folder;
    }
};
IMPLEMENT_DYNCREATE(ServiceTestLibrary, CBrenvaleDoc)

// Handles what waits in this thread's queue; the quit message of a closed frame is dropped,
// so that the next console's dialogs run their loops.
void HandleWaitingMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Answers the one dialog a check shows (the update offer, the reply page) from inside its
// modal loop: reads the text of a control, takes a picture when named, presses a button.
class DialogAnswer {
public:
    DialogAnswer(int textControl, int button, const wchar_t* picture = nullptr)
        : m_steps(std::vector<testsupport::StepRunner::Step>{[this, textControl, button, picture] {
              HWND dialog = testsupport::WaitForWindow(L"#32770", L"Vesperlin", 0);
              if (!dialog || !GetDlgItem(dialog, textControl))
                  return false;
              text = CWnd::FromHandle(dialog)->GetDlgItemText(textControl);
              if (picture)
                  testsupport::CaptureWindow(dialog, picture);
              PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
              return true;
          }})
    {
    }
    bool Answered() const { return m_steps.Done(); }
    CString text;

private:
    testsupport::StepRunner m_steps;
};

class ServiceChecks : public servicetest::ServiceServerSuite {
protected:

    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
        ServiceTestLibrary::Folder() = m_scratch.Path();
        m_previousShell = SetShellOpenHandler([this](const wchar_t* target) {
            m_opened.push_back(target);
            return m_shellTakes;
        });
        m_app = std::make_unique<CBrenvaleApp>(kTestAppName);
        ASSERT_TRUE(m_app->CreateConsole(FALSE, RUNTIME_CLASS(ServiceTestLibrary)));
        m_frame = static_cast<CMainFrame*>(m_app->m_pMainWnd);
        m_hwnd = m_frame->m_hWnd;
        HandleWaitingMessages();
        ASSERT_TRUE(WriteSettingString(kServiceAddressSetting, s_server->Address()));
    }

    void TearDown() override
    {
        if (m_hwnd && IsWindow(m_hwnd))
            SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
        HandleWaitingMessages();
        if (m_app)
            m_app->ExitInstance();
        m_app.reset();
        SetShellOpenHandler(std::move(m_previousShell));
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
    }

    // The one box a check showed (its text and its buttons and icon), or none for an empty text.
    void ExpectOneBoxOrNone(const CString& text, UINT type) const
    {
        const std::vector<AfxMessageBoxRequest>& boxes = m_boxes.Boxes();
        if (text.IsEmpty()) {
            EXPECT_TRUE(boxes.empty()) << boxes[0].text.ToNarrow();
            return;
        }
        ASSERT_EQ(1u, boxes.size());
        EXPECT_EQ(text, boxes[0].text);
        EXPECT_EQ(type, boxes[0].type & (MB_TYPEMASK | MB_ICONMASK));
    }

    // Whether the frame was asked to close; the request is taken away, so the frame stays.
    bool TakeCloseRequest()
    {
        MSG msg;
        return PeekMessageW(&msg, m_hwnd, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
    }

    ScopedVariables m_system{{L"VESPERLIN_DETECT_OS_VERSION", L"6.1.7601"}};
    testsupport::ScratchFolder m_scratch;
    MessageBoxRecorder m_boxes{IDOK};
    std::vector<CString> m_opened;  // what went to the shell
    BOOL m_shellTakes = TRUE;
    ShellOpenHandler m_previousShell;
    std::unique_ptr<CBrenvaleApp> m_app;
    CMainFrame* m_frame = nullptr;
    HWND m_hwnd = nullptr;
};

TEST_F(ServiceChecks, UpdateRepliesAskOfferTellOrStayQuietAsTheirKindSays)
{
    const std::string download = "http://www.vesperlin.example/get";
    const std::string missingUrl =
        "<R><RequiredVersion>3.0.0.0</RequiredVersion><LatestVersion>3.7.0.0</LatestVersion>"
        "<LatestNotes>n</LatestNotes></R>";
    const std::string down = "<Fault><ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage></Fault>";
    const CString required = L"A newer version of Vesperlin for Windows (\"3.7.0.0\") than is currently installed "
                             L"(\"3.6.0.0\") is required.\n\nSecurity fixes.\n\nWould you like to quit Vesperlin for "
                             L"Windows and go online to download the latest version of Vesperlin for Windows "
                             L"available for your operating system?";
    const CString invalid = CString(L"The response is not valid.\n") + CString::FromNarrow(missingUrl.c_str(), -1);
    const CString notImplemented = L"Vesperlin for Windows is not able to check for updates.\nError Status Code: "
                                   L"'NotImplemented'.  If this problem persists, please contact customer support.";
    const UINT info = MB_ICONINFORMATION;
    const struct {
        const char* what;
        int status;
        std::string body;
        const wchar_t* installed;
        BOOL quiet;
        const wchar_t* mediaId;
        int answer;            // to the box or the offer
        BOOL result;
        CString box;           // the one message box (empty: none)
        UINT boxType;
        const wchar_t* offer;  // the offer's text up to its question (null: not shown)
        bool quits;            // the download page opened and the console asked to close
    } cases[] = {
        {"current, quiet", 304, "", L"3.6.0.0", TRUE, nullptr, IDOK, TRUE, L"", 0, nullptr, false},
        {"current, asked", 304, "", L"3.6.0.0", FALSE, nullptr, IDOK, TRUE,
         L"The version of Vesperlin for Windows (\"3.6.0.0\") that you have installed is the latest version "
         L"available for your operating system.",
         MB_OK | info, nullptr, false},
        {"required, yes", 200, UpdateReply("3.7.0.0", "3.7.0.0", "Security fixes.", download.c_str()), L"3.6.0.0",
         FALSE, nullptr, IDYES, FALSE, required, MB_YESNO | info, nullptr, true},
        {"required, no", 200, UpdateReply("3.7.0.0", "3.7.0.0", "Security fixes.", download.c_str()), L"3.6.0.0",
         TRUE, L"T 1", IDNO, FALSE, required, MB_YESNO | info, nullptr, false},
        {"required by the fourth number", 200, UpdateReply("3.6.0.9", "3.6.0.9", "n", download.c_str()), L"3.6.0.5",
         TRUE, nullptr, IDNO, FALSE,
         L"A newer version of Vesperlin for Windows (\"3.6.0.9\") than is currently installed (\"3.6.0.5\") is "
         L"required.\n\nn\n\nWould you like to quit Vesperlin for Windows and go online to download the latest "
         L"version of Vesperlin for Windows available for your operating system?",
         MB_YESNO | info, nullptr, false},
        {"newer only in the fourth number", 200, UpdateReply("3.0.0.0", "3.6.0.9", "n", download.c_str()), L"3.6.0.5",
         FALSE, nullptr, IDYES, TRUE, L"", 0, nullptr, false},
        {"older", 200, UpdateReply("1.0.0.0", "3.5.9.9", "n", download.c_str()), L"3.6.0.0", FALSE, nullptr, IDYES,
         TRUE, L"", 0, nullptr, false},
        // Part by part: 3.6.1.0 is newer than 3.6.0.120. Notes read in the ANSI code page lose their "Â".
        {"offered, yes", 200, UpdateReply("3.0.0.0", "3.6.1.0", "Faster\xC2 downloads.", download.c_str()),
         L"3.6.0.120", FALSE, nullptr, IDYES, FALSE, L"", 0,
         L"A newer version of Vesperlin for Windows (\"3.6.1.0\") is available.\n\nFaster downloads.", true},
        // UTF-8 notes keep their no-break space.
        {"offered, no", 200, UpdateReply("3.0.0.0", "3.7.0.0", "Faster\xC2\xA0" "downloads.", download.c_str()),
         L"3.6.0.0", TRUE, L"T 1", IDNO, TRUE, L"", 0,
         L"A newer version of Vesperlin for Windows (\"3.7.0.0\") is available.\n\nFaster\u00a0downloads.", false},
        {"latest of two parts", 200, UpdateReply("3.0.0.0", "3.7", "n", download.c_str()), L"3.6.0.0", TRUE, nullptr,
         IDOK, FALSE,
         L"The checking for updates returns an invalid latest version number (\"3.7\").  If this problem persists, "
         L"please contact customer support.",
         MB_OK, nullptr, false},
        {"required of three parts", 200, UpdateReply("3.6.0", "3.7.0.0", "n", download.c_str()), L"3.6.0.0", FALSE,
         nullptr, IDOK, FALSE,
         L"The checking for updates returns an invalid required version number (\"3.6.0\").  If this problem "
         L"persists, please contact customer support.",
         MB_OK, nullptr, false},
        {"installed invalid", 200, UpdateReply("3.0.0.0", "3.7.0.0", "n", download.c_str()), L"3.6", FALSE, nullptr,
         IDOK, FALSE, L"The current Vesperlin for Windows version number (\"3.6\") is invalid.", MB_OK, nullptr, false},
        {"element missing, asked", 200, missingUrl, L"3.6.0.0", FALSE, nullptr, IDOK, FALSE, invalid, MB_OK, nullptr,
         false},
        {"element missing, quiet", 200, missingUrl, L"3.6.0.0", TRUE, nullptr, IDOK, FALSE, L"", 0, nullptr, false},
        {"element missing, title", 200, missingUrl, L"3.6.0.0", TRUE, L"T 1", IDOK, FALSE, invalid, MB_OK, nullptr,
         false},
        // A download "page" that is a program is no valid reply: nothing reaches the shell.
        {"program for a page", 200, UpdateReply("3.7.0.0", "3.7.0.0", "n", "C:\\Windows\\System32\\calc.exe"),
         L"3.6.0.0", FALSE, nullptr, IDYES, FALSE,
         CString(L"The response is not valid.\n") +
             CString::FromNarrow(UpdateReply("3.7.0.0", "3.7.0.0", "n", "C:\\Windows\\System32\\calc.exe").c_str(), -1),
         MB_OK, nullptr, false},
        {"another success status", 204, "", L"3.6.0.0", FALSE, nullptr, IDOK, FALSE, L"The response is not valid.\n",
         MB_OK, nullptr, false},
        {"error, asked", 500, down, L"3.6.0.0", FALSE, nullptr, IDOK, FALSE,
         L"Vesperlin for Windows is not able to check for updates.\nError 17: Down.", MB_OK, nullptr, false},
        {"error, title", 503,
         "<ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage><ErrorDetails>maintenance</ErrorDetails>",
         L"3.6.0.0", TRUE, L"T 1", IDOK, FALSE,
         L"Vesperlin for Windows is not able to check the version required for the selected title.\nError 17: Down "
         L"(maintenance).",
         MB_OK, nullptr, false},
        {"error, quiet", 500, down, L"3.6.0.0", TRUE, nullptr, IDOK, FALSE, L"", 0, nullptr, false},
        {"not implemented", 501, "<string>NotImplemented</string>", L"3.6.0.0", FALSE, nullptr, IDOK, FALSE,
         notImplemented, MB_OK, nullptr, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedVariables installed{{L"VESPERLIN_DETECT_CONSOLE_VERSION", c.installed}};
        s_server->Script(L"CheckForUpdates", c.status, c.body);
        m_boxes.Clear();
        m_boxes.SetAnswer(c.answer);
        m_opened.clear();
        std::unique_ptr<DialogAnswer> offer;
        if (c.offer)
            offer = std::make_unique<DialogAnswer>(IDC_SUPPRESSIBLE_TEXT, c.answer);

        EXPECT_EQ(c.result, m_frame->RunUpdateCheck(c.quiet, c.mediaId));

        EXPECT_EQ(kUpdatePath + kQuery + CString(c.installed).ToNarrow() + (c.mediaId ? "&MediaID=T%201" : ""),
                  s_server->LastRequest());
        ExpectOneBoxOrNone(c.box, c.boxType);
        if (offer) {
            EXPECT_TRUE(offer->Answered());
            EXPECT_EQ(CString(c.offer) + kOfferEnd, offer->text);
        }
        EXPECT_EQ(c.quits ? std::vector<CString>{CString::FromNarrow(download.c_str(), -1)} : std::vector<CString>{},
                  m_opened);
        EXPECT_EQ(c.quits, TakeCloseRequest());
    }
}

TEST_F(ServiceChecks, AnOfferNotToBeShownAgainStaysAwayUnlessTheUserAsks)
{
    s_server->Script(L"CheckForUpdates", 200, UpdateReply("3.0.0.0", "3.8.0.0", "n", "https://www.vesperlin.example/"));
    {
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{[] {
            HWND dialog = testsupport::WaitForWindow(L"#32770", L"Vesperlin", 0);
            if (!dialog || !GetDlgItem(dialog, IDC_SUPPRESSIBLE_CHECK))
                return false;
            CheckDlgButton(dialog, IDC_SUPPRESSIBLE_CHECK, BST_CHECKED);
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDNO)));
            return true;
        }});
        EXPECT_TRUE(m_frame->RunUpdateCheck(TRUE, nullptr));
        EXPECT_TRUE(steps.Done());
    }
    // Quiet checks, also for a title, go on without it.
    EXPECT_TRUE(m_frame->RunUpdateCheck(TRUE, nullptr));
    EXPECT_TRUE(m_frame->RunUpdateCheck(TRUE, L"T1"));
    // The user's own check shows it again, and a Yes still fetches the update.
    DialogAnswer offer(IDC_SUPPRESSIBLE_CHECK, IDYES);
    EXPECT_FALSE(m_frame->RunUpdateCheck(FALSE, nullptr));
    EXPECT_TRUE(offer.Answered());
    EXPECT_EQ(std::vector<CString>{L"https://www.vesperlin.example/"}, m_opened);
    EXPECT_TRUE(TakeCloseRequest());
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ServiceChecks, WhenTheShellCannotOpenTheDownloadPageTheConsoleStays)
{
    m_shellTakes = FALSE;
    const std::string page = "http://www.vesperlin.example/get";
    // A required update: still no going on with it.
    s_server->Script(L"CheckForUpdates", 200, UpdateReply("3.7.0.0", "3.7.0.0", "n", page.c_str()));
    m_boxes.SetAnswer(IDYES);
    EXPECT_FALSE(m_frame->RunUpdateCheck(FALSE, nullptr));
    EXPECT_EQ(1u, m_opened.size());
    EXPECT_FALSE(TakeCloseRequest());
    // An offered one: declined as it were.
    s_server->Script(L"CheckForUpdates", 200, UpdateReply("3.0.0.0", "3.9.0.0", "n", page.c_str()));
    DialogAnswer offer(IDC_SUPPRESSIBLE_TEXT, IDYES);
    EXPECT_TRUE(m_frame->RunUpdateCheck(FALSE, nullptr));
    EXPECT_TRUE(offer.Answered());
    EXPECT_EQ(2u, m_opened.size());
    EXPECT_FALSE(TakeCloseRequest());
}

TEST_F(ServiceChecks, MessageRepliesAreShownOnceAndOnlyAValidOneIsRemembered)
{
    const std::string news = "https://www.vesperlin.example/news";
    const std::string withUrl = "<M><MessageID>5</MessageID><MessageNotes>New titles in store.</MessageNotes>"
                                "<MessageURL>" + news + "</MessageURL></M>";
    const std::string withoutUrl = "<M><MessageID>5</MessageID><MessageNotes>New titles\xC2 in store.</MessageNotes></M>";
    const std::string noNotes = "<M><MessageID>5</MessageID><MessageNotes></MessageNotes></M>";
    const std::string program = "<M><MessageID>5</MessageID><MessageNotes>n</MessageNotes>"
                                "<MessageURL>\\\\server\\share\\setup.exe</MessageURL></M>";
    const CString ask = L"New titles in store.\n\nWould you like to go online to learn more now?";
    const UINT info = MB_ICONINFORMATION;
    const struct {
        const char* what;
        int status;
        std::string body;
        BOOL quiet;
        int answer;
        CString box;  // empty: none
        UINT boxType;
        const wchar_t* remembered;
        bool opens;
    } cases[] = {
        {"with a page, yes", 200, withUrl, TRUE, IDYES, ask, MB_YESNO | info, L"5", true},
        {"with a page, no", 200, withUrl, FALSE, IDNO, ask, MB_YESNO | info, L"5", false},
        {"notes alone", 200, withoutUrl, TRUE, IDOK, L"New titles in store.", MB_OK | info, L"5", false},
        {"no notes, asked", 200, noNotes, FALSE, IDOK, CString(L"The response is not valid.\n") + CString::FromNarrow(noNotes.c_str(), -1),
         MB_OK, L"4", false},
        {"no notes, quiet", 200, noNotes, TRUE, IDOK, L"", 0, L"4", false},
        {"a program for a page", 200, program, FALSE, IDYES,
         CString(L"The response is not valid.\n") + CString::FromNarrow(program.c_str(), -1), MB_OK, L"4", false},
        {"none new, asked", 304, "", FALSE, IDOK, L"There are no new messages at this time.", MB_OK | info, L"4", false},
        {"none new, quiet", 304, "", TRUE, IDOK, L"", 0, L"4", false},
        {"another success status", 202, "", FALSE, IDOK, L"The response is not valid.\n", MB_OK, L"4", false},
        {"error, asked", 500, "<ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage>", FALSE, IDOK,
         L"Vesperlin for Windows is not able to check for messages.\nError 17: Down.", MB_OK, L"4", false},
        {"error, quiet", 500, "<ErrorCode>17</ErrorCode><ErrorMessage>Down</ErrorMessage>", TRUE, IDOK, L"", 0, L"4",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteSettingString(L"LastMessageID", L"4"));
        s_server->Script(L"CheckForMessages", c.status, c.body);
        m_boxes.Clear();
        m_boxes.SetAnswer(c.answer);
        m_opened.clear();

        m_frame->RunMessageCheck(c.quiet);

        EXPECT_EQ(kMessagePath + kQuery + "3.6.0.0&LastMessageID=4", s_server->LastRequest());
        ExpectOneBoxOrNone(c.box, c.boxType);
        EXPECT_EQ(CString(c.remembered), GetSettingString(L"LastMessageID"));
        EXPECT_EQ(c.opens ? std::vector<CString>{CString::FromNarrow(news.c_str(), -1)} : std::vector<CString>{},
                  m_opened);
        EXPECT_FALSE(TakeCloseRequest());
    }
    // Without a message seen yet, no id is sent.
    ASSERT_TRUE(WriteSettingString(L"LastMessageID", L""));
    s_server->Script(L"CheckForMessages", 304, "");
    m_frame->RunMessageCheck(TRUE);
    EXPECT_EQ(kMessagePath + kQuery + "3.6.0.0", s_server->LastRequest());
}

TEST_F(ServiceChecks, AnHtmlFailurePageIsShownInTheWebBrowserDialog)
{
    const std::string page = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\"><html><head><title>Proxy Error"
                             "</title></head><body><h1>502 Proxy Error</h1><p>The service could not be reached.</p>"
                             "</body></html>";
    const struct {
        const char* what;
        bool updates;
        BOOL quiet;
        const wchar_t* mediaId;
        std::string body;
        const wchar_t* file;
        const wchar_t* line;
        const wchar_t* picture;
    } cases[] = {
        {"updates", true, FALSE, nullptr, page, L"CheckUpdatesResponse.htm",
         L"Vesperlin for Windows is not able to check for updates.", L"ServiceChecks.UpdateFailurePage"},
        {"title", true, TRUE, L"T1", "<HTML><BODY>Gateway Timeout</BODY></HTML>", L"CheckUpdatesResponse.htm",
         L"Vesperlin for Windows is not able to check the version required for the selected title.", nullptr},
        {"messages", false, FALSE, nullptr, "<p>Access denied</p></body>", L"CheckMessagesResponse.htm",
         L"Vesperlin for Windows is not able to check for messages.", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ExplorerCall> calls;
        ExplorerCallRecorder previous = SetExplorerCallRecorder([&](const ExplorerCall& call) { calls.push_back(call); });
        s_server->Script(c.updates ? L"CheckForUpdates" : L"CheckForMessages", 502, c.body);
        m_boxes.Clear();
        const CString path = HtmlPagePath(c.file);
        DeleteFileW(path);
        {
            DialogAnswer dialog(IDC_BROWSER_MESSAGE, IDOK, c.picture);
            if (c.updates)
                EXPECT_FALSE(m_frame->RunUpdateCheck(c.quiet, c.mediaId));
            else
                m_frame->RunMessageCheck(c.quiet);
            EXPECT_TRUE(dialog.Answered());
            EXPECT_EQ(CString(c.line), dialog.text);
        }
        SetExplorerCallRecorder(std::move(previous));
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_EQ(c.body, testsupport::ReadAllBytes(path));
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(DISPID_EXPLORER_NAVIGATE2, calls[0].id);
        EXPECT_EQ(L"file:" + path, calls[0].arguments[0]);
        DeleteFileW(path);
    }
    // A quiet start-up check shows no page.
    s_server->Script(L"CheckForUpdates", 502, page);
    EXPECT_FALSE(m_frame->RunUpdateCheck(TRUE, nullptr));
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_FALSE(FileExists(HtmlPagePath(L"CheckUpdatesResponse.htm")));
}

TEST_F(ServiceChecks, WithoutTheDetectObjectTheChecksFailAndSayWhy)
{
    ScopedVariables unavailable{{L"VESPERLIN_DETECT_UNAVAILABLE", L"1"}};
    const size_t before = s_server->RequestCount();
    const struct {
        BOOL quiet;
        const wchar_t* mediaId;
        const wchar_t* start;  // of the one box; empty: none
    } cases[] = {
        {FALSE, nullptr, L"Vesperlin for Windows is not able to check for updates.\nUnable to create the ZKY detect "
                         L"object used to get version information ("},
        {TRUE, L"T1", L"Vesperlin for Windows is not able to check the version required for the selected title.\n"
                      L"Unable to create the ZKY detect object used to get version information ("},
        {TRUE, nullptr, L""},
    };
    for (const auto& c : cases) {
        m_boxes.Clear();
        EXPECT_FALSE(m_frame->RunUpdateCheck(c.quiet, c.mediaId));
        if (*c.start) {
            ASSERT_EQ(1u, m_boxes.Boxes().size());
            EXPECT_EQ(0, m_boxes.Boxes()[0].text.Find(c.start)) << m_boxes.Boxes()[0].text.ToNarrow();
        } else {
            EXPECT_TRUE(m_boxes.Boxes().empty());
        }
    }
    m_boxes.Clear();
    m_frame->RunMessageCheck(FALSE);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(0, m_boxes.Boxes()[0].text.Find(L"Vesperlin for Windows is not able to check for messages.\nUnable to "
                                               L"create the ZKY detect object"));
    EXPECT_EQ(before, s_server->RequestCount());
}

TEST_F(ServiceChecks, TheHelpMenusCommandsRunTheUsersOwnChecks)
{
    s_server->Script(L"CheckForUpdates", 304, "");
    s_server->Script(L"CheckForMessages", 304, "");
    m_frame->SendMessage(WM_COMMAND, ID_HELP_CHECK_UPDATE);
    EXPECT_EQ(kUpdatePath + kQuery + "3.6.0.0", s_server->LastRequest());
    m_frame->SendMessage(WM_COMMAND, ID_HELP_CHECK_MESSAGES);
    EXPECT_EQ(kMessagePath + kQuery + "3.6.0.0", s_server->LastRequest());
    ASSERT_EQ(2u, m_boxes.Boxes().size());
    EXPECT_EQ(0, m_boxes.Boxes()[0].text.Find(L"The version of Vesperlin for Windows (\"3.6.0.0\") that you have"));
    EXPECT_EQ(CString(L"There are no new messages at this time."), m_boxes.Boxes()[1].text);
}

}  // namespace
