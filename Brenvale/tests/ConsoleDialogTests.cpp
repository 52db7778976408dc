// The console's dialogs and the properties sheet on screen (Xvfb): what they show from the
// registry and the title, what OK stores, and a picture of each for people to look at.
#include "AboutDialog.h"
#include "AuthenticationDialog.h"
#include "CredentialScrambler.h"
#include "DownloadPartsDialog.h"
#include "DownloadThread.h"
#include "FileUtils.h"
#include "GetMediaDialog.h"
#include "LibraryTestSupport.h"
#include "OptionsDialog.h"
#include "PropertiesDialog.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "res/ConsoleDialogIds.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <tuple>
#include <shlwapi.h>

#include <map>
#include <vector>

#undef PropertySheet

using testsupport::ScratchFolder;
using testsupport::StepRunner;

namespace {

// A company key of this test program's own, so that test programs running at the same time
// never share settings.
const wchar_t* const kCompany = L"Vesperlin Dialog Tests";
const wchar_t* const kProgramKey = L"Software\\Vesperlin Dialog Tests\\Vesperlin Brenvale";

class ConsoleDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
        m_app.SetRegistryKey(kCompany);
        m_app.SetHelpFilePath(L"C:\\Program Files\\Vesperlin\\Larkmoor.chm");
        m_previous = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
            m_boxes.push_back(box.text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(m_previous);
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
    }
    int Int(const wchar_t* name, int fallback = -1) { return static_cast<int>(m_app.GetProfileInt(L"Settings", name, fallback)); }
    CString Str(const wchar_t* name) { return m_app.GetProfileString(L"Settings", name, L"<none>"); }
    static CString Text(UINT id, const wchar_t* a = L"", const wchar_t* b = L"")
    {
        CString text;
        text.Format(id, a, b);
        return text;
    }
    static bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }
    static bool Enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
public:
    static void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    static CString ItemText(HWND dialog, int id)
    {
        wchar_t text[512] = {};
        GetDlgItemTextW(dialog, id, text, 512);
        return text;
    }

protected:
    CWinApp m_app{nullptr};
    AfxMessageBoxHandler m_previous;
    std::vector<CString> m_boxes;
};

// The topics of the recorded help calls ("file::/topic").
std::vector<CString> Topics(const testsupport::HtmlHelpRecorder& help)
{
    std::vector<CString> topics;
    for (const AfxHtmlHelpCall& call : help.Calls())
        topics.push_back(call.file.Mid(call.file.Find(L"::/") + 3));
    return topics;
}

// --- Options ---

TEST_F(ConsoleDialog, OptionsShowAndStoreEveryField)
{
    m_app.WriteProfileInt(L"Settings", L"AutoCheckUpdates", 0);
    m_app.WriteProfileInt(L"Settings", L"AutoPlay", 1106);
    m_app.WriteProfileInt(L"Settings", L"InternetRequiresAuth", 1);
    m_app.WriteProfileString(L"Settings", L"UserName", L"proxyuser");
    CCredentialScrambler().ScrambleCredential(L"Settings", L"Password", L"old secret");
    m_app.WriteProfileString(L"Settings", L"DownloadFolder", L"C:\\Media Base");

    testsupport::HtmlHelpRecorder help;
    COptionsDlg dialog(nullptr);
    std::map<int, bool> checks;
    CString folder, user, password;
    StepRunner steps({
        [&] {
            HWND d = dialog.m_hWnd;
            for (int id : {IDC_OPTIONS_CHECK_UPDATES, IDC_OPTIONS_CHECK_MESSAGES, IDC_OPTIONS_NO_AUTOPLAY,
                           IDC_OPTIONS_RESUME_RECENT, IDC_OPTIONS_REQUIRES_AUTH})
                checks[id] = Checked(d, id);
            folder = ItemText(d, IDC_OPTIONS_FOLDER);
            user = ItemText(d, IDC_OPTIONS_USER_NAME);
            password = ItemText(d, IDC_OPTIONS_PASSWORD);
            EXPECT_TRUE(Enabled(d, IDC_OPTIONS_FOLDER_CHANGE));
            EXPECT_TRUE(Enabled(d, IDC_OPTIONS_PASSWORD));
            testsupport::CaptureWindow(d, L"OptionsDialog");
            Click(d, IDC_HELP_BUTTON);
        },
        [&] {
            HWND d = dialog.m_hWnd;
            Click(d, IDC_OPTIONS_CHECK_UPDATES);
            Click(d, IDC_OPTIONS_CHECK_MESSAGES);
            Click(d, IDC_OPTIONS_RESUME_FURTHEST);
            SetDlgItemTextW(d, IDC_OPTIONS_FOLDER, L"C:\\Books");
            SetDlgItemTextW(d, IDC_OPTIONS_USER_NAME, L"newuser");
            SetDlgItemTextW(d, IDC_OPTIONS_PASSWORD, L"new \"secret\"");
            Click(d, IDOK);
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(std::vector<CString>{L"OptionsDialog.txt"}, Topics(help));
    EXPECT_FALSE(checks[IDC_OPTIONS_CHECK_UPDATES]);
    EXPECT_TRUE(checks[IDC_OPTIONS_CHECK_MESSAGES]);
    EXPECT_TRUE(checks[IDC_OPTIONS_NO_AUTOPLAY]);
    EXPECT_FALSE(checks[IDC_OPTIONS_RESUME_RECENT]);
    EXPECT_TRUE(checks[IDC_OPTIONS_REQUIRES_AUTH]);
    EXPECT_EQ(CString(L"C:\\Media Base\\MP3 Audiobooks"), folder);
    EXPECT_EQ(CString(L"proxyuser"), user);
    EXPECT_EQ(CString(L"old secret"), password);

    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(1, Int(L"AutoCheckUpdates"));
    EXPECT_EQ(0, Int(L"AutoCheckMessages"));
    EXPECT_EQ(IDC_OPTIONS_RESUME_FURTHEST, Int(L"AutoPlay"));
    EXPECT_EQ(CString(L"C:\\Books"), Str(L"DownloadFolder-MP3 Audiobook"));
    EXPECT_EQ(1, Int(L"InternetRequiresAuth"));
    EXPECT_EQ(CString(L"newuser"), Str(L"UserName"));
    EXPECT_EQ(-1, Str(L"Password").Find(L"secret"));
    EXPECT_EQ(CString(L"new \"secret\""), CCredentialScrambler().UnscrambleCredential(L"Settings", L"Password"));

    // Checked against Wine's registry as well.
    std::string output;
    ASSERT_EQ(0, testsupport::RunHostCommand("wine reg query \"HKCU\\Software\\Vesperlin Dialog Tests\\Vesperlin Brenvale\\Settings\" /v AutoPlay", &output));
    EXPECT_NE(std::string::npos, output.find("0x453")) << output;  // 1107
}

TEST_F(ConsoleDialog, OptionsRefuseBadInputBeforeStoringAnything)
{
    for (int autoPlay : {0, 2000}) {
        m_app.WriteProfileInt(L"Settings", L"AutoPlay", autoPlay);
        m_app.WriteProfileInt(L"Settings", L"AutoCheckUpdates", 1);
        COptionsDlg dialog(nullptr);
        dialog.m_driveType = [](const wchar_t* root) {
            return root[0] == L'E' ? static_cast<UINT>(DRIVE_REMOVABLE) : static_cast<UINT>(DRIVE_FIXED);
        };
        bool recentChecked = false;
        m_boxes.clear();
        StepRunner steps({
            [&] {
                HWND d = dialog.m_hWnd;
                recentChecked = Checked(d, IDC_OPTIONS_RESUME_RECENT);
                Click(d, IDC_OPTIONS_CHECK_UPDATES);  // would store 0
                for (const wchar_t* folder : {L"", L"C:\\a|b", L"relative\\folder", L"C:\\a:b", L"E:\\Media"}) {
                    SetDlgItemTextW(d, IDC_OPTIONS_FOLDER, folder);
                    Click(d, IDOK);
                }
                SetDlgItemTextW(d, IDC_OPTIONS_FOLDER, L"\\\\server\\share");
                Click(d, IDC_OPTIONS_REQUIRES_AUTH);
                SetDlgItemTextW(d, IDC_OPTIONS_USER_NAME, L"someone");
                Click(d, IDOK);  // no password
                Click(d, IDCANCEL);
            },
        });
        EXPECT_EQ(IDCANCEL, dialog.DoModal());
        EXPECT_TRUE(recentChecked) << autoPlay;
        const CString kind = L"MP3 Audiobook";
        const std::vector<CString> expected = {
            Text(IDS_FOLDER_EMPTY, kind), Text(IDS_FOLDER_INVALID_CHARACTERS, kind), Text(IDS_FOLDER_INVALID_CHARACTERS, kind),
            Text(IDS_FOLDER_INVALID_CHARACTERS, kind), Text(IDS_FOLDER_UNSUPPORTED_DRIVE, kind, L"removable"),
            Text(IDS_NEED_USER_AND_PASSWORD)};
        EXPECT_EQ(expected, m_boxes);
        EXPECT_NE(-1, m_boxes[1].Find(L"(\x00a0/\x00a0\x00a0*\x00a0\x00a0?\x00a0\x00a0\"\"\x00a0\x00a0<"));
        // Nothing was stored by the refused OKs.
        EXPECT_EQ(1, Int(L"AutoCheckUpdates"));
        EXPECT_EQ(CString(L"<none>"), Str(L"DownloadFolder-MP3 Audiobook"));
    }
}

TEST_F(ConsoleDialog, TheMachineWideLockKeepsTheFolderAndAuthOffDropsThePassword)
{
    m_app.WriteProfileInt(L"Settings", L"DownloadFolder-Locked", 1);
    m_app.WriteProfileString(L"Settings", L"DownloadFolder-MP3 Audiobook", L"\\\\fileserver\\media\\MP3 Audiobooks");
    m_app.WriteProfileString(L"Settings", L"UserName", L"kept");
    CCredentialScrambler().ScrambleCredential(L"Settings", L"Password", L"pw");
    COptionsDlg dialog(nullptr);
    bool changeEnabled = true, userEnabled = true;
    CString folder;
    StepRunner steps({
        [&] {
            HWND d = dialog.m_hWnd;
            changeEnabled = Enabled(d, IDC_OPTIONS_FOLDER_CHANGE);
            userEnabled = Enabled(d, IDC_OPTIONS_USER_NAME);
            folder = ItemText(d, IDC_OPTIONS_FOLDER);
            testsupport::CaptureWindow(d, L"OptionsDialog-Locked");
            SetDlgItemTextW(d, IDC_OPTIONS_FOLDER, L"C:\\Elsewhere");  // what a change would be
            Click(d, IDOK);
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_FALSE(changeEnabled);
    EXPECT_FALSE(userEnabled);
    EXPECT_EQ(CString(L"\\\\fileserver\\media\\MP3 Audiobooks"), folder);
    EXPECT_EQ(CString(L"\\\\fileserver\\media\\MP3 Audiobooks"), Str(L"DownloadFolder-MP3 Audiobook"));
    EXPECT_EQ(0, Int(L"InternetRequiresAuth"));
    EXPECT_EQ(CString(L"<none>"), Str(L"Password"));
    EXPECT_EQ(CString(L"kept"), Str(L"UserName"));
    EXPECT_EQ(IDC_OPTIONS_RESUME_RECENT, Int(L"AutoPlay"));
}

// --- Download ---

class DownloadDialog : public ConsoleDialog {
protected:
    void SetUp() override
    {
        ConsoleDialog::SetUp();
        m_title.reset(librarytest::MakeTitle(L"book1", L"src1", 4));
        m_title->SetDownloadFolder(m_media.Path());
        for (INT_PTR i = 0; i < 4; ++i)
            m_title->GetPart(i)->m_fileSize = i == 0 ? 999424 : 1048576;
    }
    void TearDown() override
    {
        for (INT_PTR i = 0; i < m_queue.GetSize(); ++i)
            delete m_queue.GetAt(i);
        ConsoleDialog::TearDown();
    }
    void OnDisk(int part)
    {
        const CString path = m_title->GetPart(part)->GetFilePath(m_title.get());
        ASSERT_TRUE(CreateParentFolder(path));
        testsupport::WriteAll(path, std::string("x"));
    }
    void Queue(const wchar_t* title, int part)
    {
        auto* job = new CDownloadJob(nullptr, nullptr);
        job->m_strTitleId = title;
        job->m_nPartIndex = part;
        m_queue.Add(job);
    }
    ScratchFolder m_media;
    std::unique_ptr<CMediaObject> m_title;
    CObArray m_queue;
};

int HeaderBox(CCheckedListCtrl& list)
{
    HDITEMW item{};
    item.mask = HDI_IMAGE;
    Header_GetItem(ListView_GetHeader(list.m_hWnd), 0, &item);
    return item.iImage;
}

TEST_F(DownloadDialog, OffersOnlyThePartsThatAreNeitherOnDiskNorQueued)
{
    OnDisk(0);
    Queue(L"BOOK1", 1);  // downloading
    Queue(L"book1", 3);  // pending
    CDownloadPartsDlg dialog(m_title.get(), &m_queue, nullptr);
    std::vector<int> states, afterUncheck, afterCheckAll;
    std::vector<CString> status, sizes;
    int headerAll = -1, headerAfterUncheck = -1;
    StepRunner steps({
        [&] {
            for (int row = 0; row < 4; ++row) {
                states.push_back(dialog.m_list.GetCheck(row));
                status.push_back(dialog.m_list.GetItemText(row, 1));
                sizes.push_back(dialog.m_list.GetItemText(row, 2));
            }
            headerAll = HeaderBox(dialog.m_list);
            // Every column is wider than its widest text (the durations were cut).
            for (int column = 0; column < 4; ++column) {
                int widest = 0;
                for (int row = 0; row < dialog.m_list.GetItemCount(); ++row)
                    widest = std::max(widest, ListView_GetStringWidth(dialog.m_list.m_hWnd,
                                                                      dialog.m_list.GetItemText(row, column).GetString()));
                EXPECT_GT(dialog.m_list.GetColumnWidth(column), widest) << "column " << column;
            }
            testsupport::CaptureWindow(dialog.m_hWnd, L"DownloadDialog");
            Click(dialog.m_hWnd, IDC_DOWNLOAD_UNCHECK_ALL);
            for (int row = 0; row < 4; ++row)
                afterUncheck.push_back(dialog.m_list.GetCheck(row));
            headerAfterUncheck = HeaderBox(dialog.m_list);
            Click(dialog.m_hWnd, IDOK);  // nothing chosen: refused
            Click(dialog.m_hWnd, IDC_DOWNLOAD_CHECK_ALL);
            for (int row = 0; row < 4; ++row)
                afterCheckAll.push_back(dialog.m_list.GetCheck(row));
            Click(dialog.m_hWnd, IDOK);
        },
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    using L = CCheckedListCtrl;
    EXPECT_EQ((std::vector<int>{L::kCheckedDisabled, L::kCheckedDisabled, L::kChecked, L::kCheckedDisabled}), states);
    EXPECT_EQ((std::vector<CString>{L"downloaded", L"downloading...", L"not downloaded", L"pending..."}), status);
    EXPECT_EQ((std::vector<CString>{L"976 KB", L"1,024 KB", L"1,024 KB", L"1,024 KB"}), sizes);
    EXPECT_EQ((std::vector<int>{L::kCheckedDisabled, L::kCheckedDisabled, L::kUnchecked, L::kCheckedDisabled}), afterUncheck);
    EXPECT_EQ(states, afterCheckAll);
    EXPECT_EQ(1, headerAll);
    EXPECT_EQ(0, headerAfterUncheck);
    EXPECT_EQ(std::vector<CString>{Text(IDS_NO_PARTS_SELECTED)}, m_boxes);
    ASSERT_EQ(1, dialog.m_chosen.GetSize());
    EXPECT_EQ(2u, dialog.m_chosen.GetAt(0));
}

TEST_F(DownloadDialog, EndsAtOnceWithoutPartsToOffer)
{
    for (int part = 0; part < 4; ++part)
        OnDisk(part);
    CDownloadPartsDlg everything(m_title.get(), &m_queue, nullptr);
    EXPECT_EQ(IDCANCEL, everything.DoModal());
    EXPECT_EQ(std::vector<CString>{Text(IDS_ALL_PARTS_DOWNLOADED)}, m_boxes);
    EXPECT_EQ(0, everything.m_chosen.GetSize());

    std::unique_ptr<CMediaObject> empty(librarytest::MakeTitle(L"none", L"src1", 0));
    CDownloadPartsDlg none(empty.get(), &m_queue, nullptr);
    EXPECT_EQ(CDownloadPartsDlg::kNoParts, none.DoModal());
}

// --- About and Authentication ---

class FakeDetectObject : public IVersionSource {
public:
    BOOL GetVersionText(int dispid, CString& text) override
    {
        static const wchar_t* const texts[] = {L"", L"0.9.4.1", L"11.0.6002.18111", L"2.3"};
        if (dispid < 1 || dispid > 3)
            return FALSE;
        text = texts[dispid];
        return TRUE;
    }
};

// Opens the About box, reads its three version texts (taking a picture when named) and
// closes it with OK.
std::tuple<CString, CString, CString> ShownVersions(const wchar_t* picture)
{
    CAboutDlg dialog(nullptr);
    CString version, player, platform;
    StepRunner steps({
        [&] {
            // The program's own icon, not the system's generic one.
            const auto icon = reinterpret_cast<HICON>(SendDlgItemMessageW(dialog.m_hWnd, IDC_ABOUT_ICON, STM_GETICON, 0, 0));
            EXPECT_NE(icon, nullptr);
            EXPECT_EQ(icon, LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ABOUT_PROGRAM)));
            EXPECT_NE(icon, LoadIconW(nullptr, IDI_APPLICATION));
            version = ConsoleDialog::ItemText(dialog.m_hWnd, IDC_ABOUT_VERSION);
            player = ConsoleDialog::ItemText(dialog.m_hWnd, IDC_ABOUT_PLAYER_VERSION);
            platform = ConsoleDialog::ItemText(dialog.m_hWnd, IDC_ABOUT_PLATFORM_VERSION);
            if (picture)
                testsupport::CaptureWindow(dialog.m_hWnd, picture);
            ConsoleDialog::Click(dialog.m_hWnd, IDOK);
        },
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    return {version, player, platform};
}

TEST_F(ConsoleDialog, AboutShowsTheDetectObjectsVersions)
{
    for (bool withObject : {true, false}) {
        SetVersionSourceFactory(withObject ? VersionSourceFactory([] { return std::make_unique<FakeDetectObject>(); })
                                           : VersionSourceFactory());
        const auto [version, player, platform] = ShownVersions(withObject ? L"AboutDialog" : nullptr);
        EXPECT_EQ(CString(withObject ? L"0.9.4.1 BETA" : L"<error>"), version);
        EXPECT_EQ(CString(withObject ? L"11.0.6002.18111" : L"<error>"), player);
        EXPECT_EQ(CString(withObject ? L"2.3" : L"<error>"), platform);
    }
    SetVersionSourceFactory(CreateDetectObject);
}

TEST_F(ConsoleDialog, AboutAsksTheDetectObjectItself)
{
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_CONSOLE_VERSION", L"0.8.2.5");
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_PLAYER_VERSION", L"12.0.1");
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_PLATFORM_VERSION", L"11.0.2");
    CoInitialize(nullptr);
    const auto [version, player, platform] = ShownVersions(nullptr);
    CoUninitialize();
    for (const wchar_t* name : {L"VESPERLIN_DETECT_CONSOLE_VERSION", L"VESPERLIN_DETECT_PLAYER_VERSION",
                                L"VESPERLIN_DETECT_PLATFORM_VERSION"})
        SetEnvironmentVariableW(name, nullptr);
    EXPECT_EQ(CString(L"0.8.2.5 BETA"), version);
    EXPECT_EQ(CString(L"12.0.1"), player);
    EXPECT_EQ(CString(L"11.0.2"), platform);
}

TEST_F(ConsoleDialog, AuthenticationStoresTheCredentials)
{
    m_app.WriteProfileString(L"Settings", L"UserName", L"before");
    CCredentialScrambler().ScrambleCredential(L"Settings", L"Password", L"earlier");
    m_app.WriteProfileInt(L"Settings", L"InternetRequiresAuth", 1);
    for (bool remember : {true, false}) {
        CAuthenticationDlg dialog(nullptr);
        CString user, password;
        bool checked = false;
        m_boxes.clear();
        StepRunner steps({
            [&] {
                HWND d = dialog.m_hWnd;
                user = ItemText(d, IDC_AUTH_USER_NAME);
                password = ItemText(d, IDC_AUTH_PASSWORD);
                checked = Checked(d, IDC_AUTH_REMEMBER);
                if (remember)
                    testsupport::CaptureWindow(d, L"AuthenticationDialog");
                SetDlgItemTextW(d, IDC_AUTH_PASSWORD, L"");
                Click(d, IDOK);  // refused: no password
                SetDlgItemTextW(d, IDC_AUTH_USER_NAME, L"agent");
                SetDlgItemTextW(d, IDC_AUTH_PASSWORD, L"s3cret");
                if (!remember)
                    Click(d, IDC_AUTH_REMEMBER);
                Click(d, IDOK);
            },
        });
        ASSERT_EQ(IDOK, dialog.DoModal());
        EXPECT_EQ(std::vector<CString>{Text(IDS_NEED_USER_AND_PASSWORD)}, m_boxes);
        EXPECT_TRUE(checked);
        if (remember) {
            EXPECT_EQ(CString(L"before"), user);
            EXPECT_EQ(CString(L"earlier"), password);
            EXPECT_EQ(CString(L"s3cret"), CCredentialScrambler().UnscrambleCredential(L"Settings", L"Password"));
            EXPECT_EQ(1, Int(L"InternetRequiresAuth"));
        } else {
            EXPECT_EQ(CString(L"agent"), user);
            EXPECT_EQ(CString(L"<none>"), Str(L"Password"));
            EXPECT_EQ(0, Int(L"InternetRequiresAuth"));
            m_app.WriteProfileInt(L"Settings", L"InternetRequiresAuth", 1);
        }
        EXPECT_EQ(CString(L"agent"), Str(L"UserName"));
    }
}

// --- Links ---

TEST(HyperLink, OpensOnlyWebAddresses)
{
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"http://www.vesperlin.test/", true}, {L"https://vesperlin.test/shop?x=1", true}, {L"HTTP://HOST.TEST", true},
        {L"", false}, {L"file:///C:/windows/system32/calc.exe", false}, {L"C:\\windows\\notepad.exe", false},
        {L"mailto:a@b.test", false}, {L"javascript:alert(1)", false}, {L"ftp://host.test/", false}, {L"http://", false},
        {L"\\\\server\\share\\setup.exe", false}, {L"http:calc.exe", false}, {L" http://host.test/", false},
        {L"http://host.test/a b", true}, {L"http://host.test/\" --argument", false}, {L"http://host.test/\r\nx", false},
    };
    for (const auto& [url, web] : cases)
        EXPECT_EQ(web, IsWebAddress(url)) << url;
}

// --- The properties sheet ---

class FakeBrowser : public IDescriptionBrowser {
public:
    explicit FakeBrowser(std::vector<CString>* log) : m_log(log) {}
    ~FakeBrowser() override
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    BOOL Create(HWND page, const RECT& rect, UINT id) override
    {
        m_window = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"(browser)", WS_CHILD | WS_VISIBLE | ES_MULTILINE, rect.left,
                                   rect.top, rect.right - rect.left, rect.bottom - rect.top, page,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
        return m_window != nullptr;
    }
    void Navigate(const wchar_t* url) override { m_log->push_back(CString(L"navigate ") + url); }
    void ExecWB(int command, int option) override
    {
        CString entry;
        entry.Format(L"exec %d %d", command, option);
        m_log->push_back(entry);
    }
    HWND GetWindow() const override { return m_window; }

private:
    std::vector<CString>* m_log;
    HWND m_window = nullptr;
};

TEST(TitleProperties, PageTextsAndTheDescriptionPage)
{
    EXPECT_EQ(CString(L"<My Documents>\\My Media\\Book"), ShortenLocation(L"c:\\USERS\\me\\Documents\\My Media\\Book", L"C:\\users\\me\\Documents"));
    EXPECT_EQ(CString(L"D:\\Media\\Book"), ShortenLocation(L"D:\\Media\\Book", L"C:\\users\\me\\Documents"));
    EXPECT_EQ(CString(L"C:\\users\\me\\DocumentsX\\a"), ShortenLocation(L"C:\\users\\me\\DocumentsX\\a", L"C:\\users\\me\\Documents"));
    COleDateTime never;
    never.SetStatus(COleDateTime::null);
    EXPECT_EQ(CString(L"never"), FormatTitleDate(never));
    EXPECT_EQ(-1, FormatTitleDate(COleDateTime(2024, 3, 9, 13, 45, 0)).Find(L"13"));

    EXPECT_EQ(CString(L"Text <b>bold</b>"), CleanDescriptionText(L"  &lt;p&gt;<br>  <P> Text &LT;b&GT;bold</b>  "));
    EXPECT_EQ(CString(L"<p>"), CleanDescriptionText(L"<p>"));  // shorter than 4 after blanks: kept
    EXPECT_EQ(CString(L"<html><body><B>AT&amp;T &lt;Live&gt;</B><br>Part &quot;1&quot;<br><font color=\"gray\">Ann</font><br><br>"
                      L"Brand&trade; and Other&trade; <i>here</i></body></html>"),
              BuildDescriptionPage(L"AT&T <Live>", L"Part \"1\"", L"Ann", L"Brand(TM) and Other\x2122 <i>here</i>"));
    EXPECT_EQ(CString(L"<html><body><br>d</body></html>"), BuildDescriptionPage(L"", L"", L"", L"d"));
    EXPECT_EQ(0x80C80001u, SheetControlHelpId(IDOK));
    EXPECT_EQ(0x80CF0002u, SheetControlHelpId(IDCANCEL));
    EXPECT_EQ(0x80C8E146u, SheetControlHelpId(IDHELP));
    EXPECT_EQ(12320u, SheetControlHelpId(12320));
    EXPECT_EQ(0u, SheetControlHelpId(1201));
}

class PropertiesSheet : public ConsoleDialog {
protected:
    void SetUp() override
    {
        ConsoleDialog::SetUp();
        m_source.reset(librarytest::MakeSource(L"src1", L"Lantern Audio"));
        m_source->m_websiteUrl = L"https://lantern.test/";
        m_source->m_bannerUrl = L"http://img.lantern.test/banner.png";
        m_title.reset(librarytest::MakeTitle(L"book1", L"src1", 2));
        m_title->GetMetadata().SetTitle(L"Tom &amp; Jerry");
        m_title->GetMetadata().SetDescription(L"&lt;p&gt;A story of <b>two</b> friends(TM).");
        COleDateTime never;
        never.SetStatus(COleDateTime::null);
        m_title->m_lastPlayedDate = never;
        SetDescriptionBrowserFactory([this] { return std::make_unique<FakeBrowser>(&m_browserLog); });
    }
    void TearDown() override
    {
        SetDescriptionBrowserFactory(nullptr);
        ConsoleDialog::TearDown();
    }
    ScratchFolder m_data;
    std::unique_ptr<CSourceObject> m_source;
    std::unique_ptr<CMediaObject> m_title;
    std::vector<CString> m_browserLog;
};

TEST_F(PropertiesSheet, ShowsTheTitleSourceAndDescription)
{
    // The source's banner, a real PNG file made by ffmpeg.
    const CString banner = m_source->GetBannerPath(m_data.Path());
    ASSERT_TRUE(CreateParentFolder(banner));
    ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -f lavfi -i color=c=0x2b5797:s=360x48 -frames:v 1 " +
                                             testsupport::ShellQuoted(banner)));
    testsupport::HtmlHelpRecorder help;
    CTitlePropertiesSheet sheet(m_title.get(), m_source.get(), m_data.Path(), LoadIconW(nullptr, IDI_APPLICATION), nullptr);
    ASSERT_EQ(3, sheet.GetPageCount());
    CString pagePath, title, lastPlayed, sourceName, link, caption;
    std::string page;
    std::vector<CString> opened;
    sheet.m_sourcePage.m_link.m_open = [&](const wchar_t* url) {
        opened.push_back(url);
        return TRUE;
    };
    StepRunner steps({
        [&] {
            HWND general = sheet.m_general.m_hWnd;
            title = ItemText(general, IDC_GENERAL_TITLE);
            lastPlayed = ItemText(general, IDC_GENERAL_LAST_PLAYED);
            wchar_t text[64] = {};
            GetWindowTextW(sheet.m_hWnd, text, 64);
            caption = text;
            EXPECT_TRUE(GetDlgItem(sheet.m_hWnd, 0x3021) == nullptr || !IsWindowVisible(GetDlgItem(sheet.m_hWnd, 0x3021)));
            EXPECT_TRUE(IsWindowVisible(GetDlgItem(sheet.m_hWnd, IDHELP)));
            testsupport::CaptureWindow(sheet.m_hWnd, L"PropertiesSheet-General");
            sheet.SetActivePage(1);
        },
        [&] {
            HWND source = sheet.m_sourcePage.m_hWnd;
            EXPECT_NE(nullptr, sheet.m_sourcePage.GetBanner());
            sourceName = ItemText(source, IDC_SOURCE_NAME);
            link = ItemText(source, IDC_SOURCE_LINK);
            testsupport::CaptureWindow(sheet.m_hWnd, L"PropertiesSheet-Source");
            RECT area;
            GetWindowRect(GetDlgItem(source, IDC_SOURCE_LINK), &area);
            SendMessageW(GetDlgItem(source, IDC_SOURCE_LINK), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
            SendMessageW(GetDlgItem(source, IDC_SOURCE_LINK), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(sheet.m_hWnd, IDHELP)));
            Click(sheet.m_hWnd, IDHELP);
            // F1 on the sheet's own OK button: the sheet's topic.
            HELPINFO info{};
            info.cbSize = sizeof(info);
            info.iContextType = HELPINFO_WINDOW;
            info.iCtrlId = IDOK;
            info.hItemHandle = GetDlgItem(sheet.m_hWnd, IDOK);
            SendMessageW(sheet.m_hWnd, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
            sheet.SetActivePage(2);
        },
        [&] {
            pagePath = sheet.m_description->GetPagePath();
            page = testsupport::ReadAllBytes(pagePath);
            testsupport::CaptureWindow(sheet.m_hWnd, L"PropertiesSheet-Description");
            sheet.EndDialog(IDOK);
        },
    });
    sheet.DoModal();
    EXPECT_EQ((std::vector<CString>{L"PropertiesDialog-Source.txt", L"PropertiesDialog.txt"}), Topics(help));
    EXPECT_EQ(CString(L"Properties"), caption.Left(10));
    EXPECT_EQ(CString(L"Tom & Jerry: A & B"), title);
    EXPECT_EQ(CString(L"never"), lastPlayed);
    EXPECT_EQ(CString(L"Lantern Audio"), sourceName);
    EXPECT_EQ(CString(L"https://lantern.test/"), link);
    EXPECT_EQ(std::vector<CString>{L"https://lantern.test/"}, opened);
    ASSERT_FALSE(pagePath.IsEmpty());
    EXPECT_EQ(CString(L".html"), pagePath.Right(5));
    EXPECT_EQ(0, StrCmpNIW(PathFindFileNameW(pagePath), L"vpd", 3));
    ASSERT_GE(page.size(), 2u);
    EXPECT_EQ(std::string("\xFF\xFE"), page.substr(0, 2));
    EXPECT_EQ(testsupport::Utf16LeBytes(L"<html><body><B>Tom &amp; Jerry</B><br>A &amp; B<br><font color=\"gray\">Jane Roe</font><br><br>"
                                        L"A story of <b>two</b> friends&trade;.</body></html>"),
              page.substr(2));
    ASSERT_FALSE(m_browserLog.empty());
    EXPECT_EQ(CString(L"navigate file:") + pagePath, m_browserLog[0]);
    EXPECT_FALSE(FileExists(pagePath));  // gone with the page's window
    EXPECT_TRUE(sheet.m_description->GetPagePath().IsEmpty());
}

TEST_F(PropertiesSheet, NoDescriptionNoThirdPage)
{
    m_title->GetMetadata().SetDescription(L"");
    m_title->GetMetadata().m_description.Empty();
    CTitlePropertiesSheet sheet(m_title.get(), m_source.get(), m_data.Path(), nullptr, nullptr);
    EXPECT_EQ(2, sheet.GetPageCount());
    int tabs = 0;
    StepRunner steps({
        [&] {
            tabs = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet.m_hWnd));
            sheet.SetActivePage(1);
        },
        [&] {
            sheet.EndDialog(IDCANCEL);
        },
    });
    sheet.DoModal();
    EXPECT_EQ(2, tabs);
    EXPECT_EQ(nullptr, sheet.m_sourcePage.GetBanner());  // no banner file: no picture, no substitute
    EXPECT_TRUE(m_browserLog.empty());
}

}  // namespace

// --- Get Media ---

namespace {

class GetMedia : public ConsoleDialog {
protected:
    void SetUp() override
    {
        ConsoleDialog::SetUp();
        AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
            m_boxes.push_back(box.text);
            return (box.type & MB_TYPEMASK) == MB_YESNO ? IDYES : IDOK;
        });
        m_library = std::make_unique<librarytest::TestLibrary>(m_scratch / L"Data");
        m_library->AddSource(librarytest::MakeSource(L"s1", L"Source"));
    }
    static bool Visible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }

    ScratchFolder m_scratch;
    std::unique_ptr<librarytest::TestLibrary> m_library;
};

TEST_F(GetMedia, ANewTitleGetsTheFolderOfItsFormatOnceTheFolderIsAcceptable)
{
    const CString proposed = m_scratch / L"New Media";
    m_app.WriteProfileString(L"Settings", L"DownloadFolder-MP3 Audiobook", proposed);
    std::unique_ptr<CMediaObject> title(librarytest::MakeTitle(L"g1", L"s1"));
    title->GetMetadata().SetTitle(L"Who? What: Where*");
    title->GetMetadata().SetSubTitle(L"");
    title->SetTitleFolder(L"");
    title->SetDownloadFolder(L"");
    title->SetSelectedMethod(L"");
    CGetMediaDlg dialog(title.get(), nullptr, m_library.get(), nullptr);
    dialog.m_driveType = [](const wchar_t* root) {
        return root[0] == L'D' ? static_cast<UINT>(DRIVE_CDROM) : static_cast<UINT>(DRIVE_FIXED);
    };
    StepRunner steps({
        [&] {
            HWND d = dialog.m_hWnd;
            EXPECT_EQ(ItemText(d, IDC_GET_MEDIA_FOLDER), proposed);
            EXPECT_EQ(ItemText(d, IDC_GET_MEDIA_TITLE), L"Who? What: Where*");
            EXPECT_TRUE(Enabled(d, IDC_GET_MEDIA_FOLDER) && Enabled(d, IDC_GET_MEDIA_BROWSE));
            EXPECT_TRUE(Visible(d, IDC_GET_MEDIA_OPTIONS_NOTE));
            EXPECT_FALSE(Visible(d, IDC_GET_MEDIA_KEPT_NOTE));
            EXPECT_NE(dialog.GetBanner(), nullptr) << "without a banner of its source the default one";
            testsupport::CaptureWindow(d, L"Console.GetMedia.Dialog");
            for (const wchar_t* refused : {L"", L"relative\\folder", L"C:\\a?b", L"D:\\Media"}) {
                SetDlgItemTextW(d, IDC_GET_MEDIA_FOLDER, refused);
                Click(d, IDOK);
            }
            EXPECT_EQ(title->GetDownloadFolder(), L"") << "a refused folder changes nothing";
            SetDlgItemTextW(d, IDC_GET_MEDIA_FOLDER, proposed);
            Click(d, IDOK);  // missing: created after the question
        },
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    const std::vector<CString> expected = {
        Text(IDS_GET_MEDIA_NO_FOLDER), Text(IDS_GET_MEDIA_INVALID_FOLDER), Text(IDS_GET_MEDIA_INVALID_FOLDER),
        Text(IDS_GET_MEDIA_UNSUPPORTED_DRIVE, L"CD and DVD"), Text(IDS_GET_MEDIA_ASK_CREATE_FOLDER)};
    EXPECT_EQ(expected, m_boxes);
    EXPECT_TRUE(FolderExists(proposed));
    EXPECT_EQ(title->GetDownloadFolder(), proposed);
    EXPECT_EQ(title->m_titleFolder, L"Who What Where");
    EXPECT_EQ(title->GetSelectedMethod(), L"download");
}

TEST_F(GetMedia, ATitleTheLibraryHoldsKeepsItsFolders)
{
    const CString old = m_scratch / L"Old Media";
    ASSERT_TRUE(CreateFolderPath(old));
    CMediaObject* held = librarytest::MakeTitle(L"g2", L"s1");
    held->SetDownloadFolder(old);
    held->SetTitleFolder(L"Kept Folder");
    m_library->AddTitleToLibrary(held);
    m_app.WriteProfileString(L"Settings", L"DownloadFolder-MP3 Audiobook", m_scratch / L"Other");
    std::unique_ptr<CMediaObject> title(librarytest::MakeTitle(L"G2", L"s1"));
    title->SetDownloadFolder(L"");
    title->SetTitleFolder(L"");
    CGetMediaDlg dialog(title.get(), nullptr, m_library.get(), nullptr);
    StepRunner steps({
        [&] {
            HWND d = dialog.m_hWnd;
            EXPECT_EQ(ItemText(d, IDC_GET_MEDIA_FOLDER), old);
            EXPECT_FALSE(Enabled(d, IDC_GET_MEDIA_FOLDER) || Enabled(d, IDC_GET_MEDIA_BROWSE));
            EXPECT_FALSE(Visible(d, IDC_GET_MEDIA_OPTIONS_NOTE));
            EXPECT_TRUE(Visible(d, IDC_GET_MEDIA_KEPT_NOTE));
            Click(d, IDOK);
        },
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_EQ(title->GetDownloadFolder(), old);
    EXPECT_EQ(title->m_titleFolder, L"Kept Folder");

    // A title of a locked folder can't change it either.
    m_app.WriteProfileInt(L"Settings", L"DownloadFolder-Locked", 1);
    std::unique_ptr<CMediaObject> other(librarytest::MakeTitle(L"g3", L"s1"));
    CGetMediaDlg locked(other.get(), nullptr, m_library.get(), nullptr);
    StepRunner lockedSteps({
        [&] {
            EXPECT_FALSE(Enabled(locked.m_hWnd, IDC_GET_MEDIA_FOLDER));
            EXPECT_TRUE(Visible(locked.m_hWnd, IDC_GET_MEDIA_OPTIONS_NOTE));
            Click(locked.m_hWnd, IDCANCEL);
        },
    });
    EXPECT_EQ(IDCANCEL, locked.DoModal());
}

}  // namespace
