// The device wizard's sheet and pages under a display: Welcome -> Search -> Next or back, with
// search threads the tests supply through the page's starter; About; the banner; texts from
// the strings file; the Settings page with iTunes' preferences files the tests write. Pictures
// of every page go to the screenshot folder.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "FileUtils.h"
#include "HelpEntries.h"
#include "MarkupLabel.h"
#include "PlayerRecord.h"
#include "SearchFixtures.h"
#include "SuiteMessages.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "iTunesImportSettings.h"
#include "res/AdvancedOptionsIds.h"
#include "res/BrowseFolderIds.h"
#include "res/BrowseiPodDialogIds.h"
#include "res/CarrowindIds.h"
#include "res/ConfirmPageIds.h"
#include "res/HelpTopics.h"
#include "res/ProgressPageIds.h"
#include "res/SettingsPageIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include <functional>
#include <vector>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;
using wizardtest::LabelText;
using wizardtest::ReportSearchDone;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

// A record the fake searches put into the device array.
class CFoundPlayer : public PlayerRecord {
public:
    static int& Alive()
    {
        static int alive = 0;
        return alive;
    }
    CFoundPlayer() : PlayerRecord(L"Kitchen Player", nullptr, L"", NoSerialNumber(), 1) { ++Alive(); }
    ~CFoundPlayer() override { --Alive(); }
};

class Pages : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_playlist = wizardtest::MakeTitleFolder(m_scratch, L"Harbour", 2, L"Harbour Lights");
        App().m_contentType = L"WMA Audiobook";
        App().m_bannerPath.Empty();
        App().m_stringsFilePath.Empty();
    }
    // The sheet's current page index, once the page's posted work is done.
    static std::function<bool()> WaitForPage(CWizardSheet& sheet, int index)
    {
        return [&sheet, index] { return sheet.GetActiveIndex() == index && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); };
    }
    ScratchFolder m_scratch;
    CString m_playlist;
    wizardtest::ScriptedSearches<DeviceSearchJob> m_searches{SetDeviceSearchStarter};
    MessageBoxRecorder m_boxes{IDCANCEL};
};

TEST_F(Pages, NothingFoundAsksThenGoesBackToWelcome)
{
    CString asked;
    m_searches.Do([&asked](DeviceSearchJob& job) {
        asked = job.notFoundText;
        AfxMessageBox(job.notFoundText, MB_RETRYCANCEL | MB_ICONEXCLAMATION);
        ReportSearchDone(job);
    });
    CWizardSheet sheet(m_playlist);
    CString welcomeText, caption;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            welcomeText = LabelText(sheet, &sheet.m_welcome, IDC_WELCOME_MESSAGE);
            caption = sheet.GetWindowText();
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Welcome");
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return !asked.IsEmpty() && sheet.GetActiveIndex() == 0; },
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_NE(-1, welcomeText.Find(L"<b>Harbour Lights</b> (WMA Audiobook)")) << welcomeText.ToNarrow();
    EXPECT_EQ(CString(L"Vesperlin Carrowind - Welcome"), caption);
    EXPECT_EQ(AfxLoadString(IDS_NO_DEVICES_FOUND), asked);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(asked, m_boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONQUESTION), m_boxes.Boxes()[0].type);
}

TEST_F(Pages, APlayerFoundGoesOnAndTheSuccessPageEndsTheWizard)
{
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_searches.Do([go](DeviceSearchJob& job) {
        WaitForSingleObject(go, 10000);
        job.devices->Add(new CFoundPlayer);
        ReportSearchDone(job);
    });
    CWizardSheet sheet(m_playlist);
    int successButtons = -1;
    CString searchCaption;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 1 && sheet.m_search.IsSearching(); },
        [&] {
            searchCaption = sheet.GetWindowText();
            // Every button is off while the search runs.
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)));
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3023)));
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Search");
            SetEvent(go);
            return true;
        },
        // The Confirm page shows the player found; the transfer's pages are tested on their
        // own, so the sheet goes to the Success page from here.
        [&] { return sheet.GetActiveIndex() == 2; },
        [&] {
            testsupport::PumpMessages(100);
            sheet.SetActivePage(&sheet.m_success);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success); },
        [&] {
            testsupport::PumpMessages(100);
            successButtons = ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3025)) ? 1 : 0;
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Success");
            sheet.PressButton(PSBTN_FINISH);
            return true;
        },
    });
    EXPECT_EQ(ID_WIZFINISH, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(CString(L"Vesperlin Carrowind - Searching for Players"), searchCaption);
    EXPECT_EQ(1, successButtons);
    EXPECT_EQ(1, sheet.m_devices.GetSize());
    CloseHandle(go);
}

// With parts left out on the Confirm page, the Success page says which parts were copied and
// which were not; with all of them it says the title was copied.
TEST_F(Pages, TheSuccessPageSaysWhichPartsWereCopied)
{
    struct Case {
        std::vector<UINT> chosen;
        const wchar_t* expected;
    } cases[] = {
        {{0}, L"Copied to your player: 1 of the 2 parts of <b>Harbour Lights</b> (part 1). Not copied: part 2."},
        {{1}, L"Copied to your player: 1 of the 2 parts of <b>Harbour Lights</b> (part 2). Not copied: part 1."},
        {{0, 1}, L"<b>Harbour Lights</b> has been copied to your player."},
    };
    for (const Case& each : cases) {
        CWizardSheet sheet(m_playlist);
        CString shown;
        StepRunner steps(std::vector<StepRunner::Step>{
            [&] {
                for (UINT index : each.chosen)
                    sheet.m_selectedParts.Add(index);
                sheet.SetActivePage(&sheet.m_success);
                return true;
            },
            [&] { return sheet.GetActiveIndex() == sheet.GetPageIndex(&sheet.m_success); },
            [&] {
                testsupport::PumpMessages(100);
                if (CMarkupLabel* label = sheet.FindMarkupLabel(&sheet.m_success, IDC_SUCCESS_MESSAGE))
                    shown = label->GetWindowText();
                if (each.chosen.size() == 1 && each.chosen[0] == 0)
                    testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Success.SomeParts");
                sheet.PressButton(PSBTN_FINISH);
                return true;
            },
        });
        EXPECT_EQ(ID_WIZFINISH, sheet.DoModal());
        EXPECT_TRUE(steps.Done());
        EXPECT_NE(-1, shown.Find(each.expected)) << shown.ToNarrow();
        if (each.chosen.size() == 1) {
            EXPECT_EQ(-1, shown.Find(L"has been copied")) << shown.ToNarrow();
        }
    }
}

TEST_F(Pages, ASearchThatEndsWithoutReportingLeavesNoPageWaiting)
{
    m_searches.Do([](DeviceSearchJob&) {});  // ends, reports nothing
    CWizardSheet sheet(m_playlist);
    bool backOnWelcome = false;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActiveIndex() == 1; },
        WaitForPage(sheet, 0),
        [&] {
            backOnWelcome = true;
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_TRUE(backOnWelcome);
}

TEST_F(Pages, CancelDuringASearchStopsItAndStaysOnWelcome)
{
    const struct {
        const char* name;
        bool stops;  // the search heeds the request at once (else it is inside a long call)
    } cases[] = {{"a search that stops when asked", true}, {"a search inside a long call", false}};
    for (const auto& c : cases) {
        HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        auto starts = std::make_shared<std::atomic<int>>(0);
        const bool stops = c.stops;
        m_searches.Do([release, running, stops, starts](DeviceSearchJob& job) {
            if (++*starts > 1) {
                ReportSearchDone(job);  // the next search finds nothing
                return;
            }
            job.devices->Add(new CFoundPlayer);
            SetEvent(running);
            if (stops) {
                while (!job.stopRequested)
                    Sleep(10);
            } else {
                // Still busy long after Cancel; then it goes on with its own records.
                WaitForSingleObject(release, INFINITE);
                job.devices->Add(new CFoundPlayer);
            }
            ReportSearchDone(job);  // too late: ignored
        });
        CFoundPlayer::Alive() = 0;
        {
            CWizardSheet sheet(m_playlist);
            int afterCancel = -1;
            bool searching = true;
            INT_PTR devicesAfterCancel = -1;
            int startsWhileStopping = -1;
            int pageAfterSecondSearch = -1;
            std::vector<StepRunner::Step> script{
                [&] {
                    sheet.PressButton(PSBTN_NEXT);
                    return true;
                },
                [&] { return WaitForSingleObject(running, 0) == WAIT_OBJECT_0; },
                [&] {
                    sheet.PressButton(PSBTN_CANCEL);
                    return true;
                },
                WaitForPage(sheet, 0),
                [&] {
                    testsupport::PumpMessages(300);  // a late report would move on now
                    afterCancel = sheet.GetActiveIndex();
                    searching = sheet.m_search.IsSearching();
                    devicesAfterCancel = sheet.m_devices.GetSize();
                    if (!stops)
                        sheet.PressButton(PSBTN_NEXT);  // a new search, while the first is busy
                    return true;
                },
            };
            if (!stops) {
                script.push_back([&] {
                    testsupport::PumpMessages(600);
                    startsWhileStopping = *starts;  // the new search waits for the first
                    SetEvent(release);
                    return true;
                });
                script.push_back([&] { return *starts >= 2 && sheet.GetActiveIndex() == 0; });
                script.push_back([&] {
                    pageAfterSecondSearch = sheet.GetActiveIndex();
                    return true;
                });
            }
            script.push_back([&] {
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            });
            StepRunner steps(std::move(script));
            EXPECT_EQ(IDCANCEL, sheet.DoModal()) << c.name;
            EXPECT_TRUE(steps.Done()) << c.name;
            EXPECT_EQ(0, afterCancel) << c.name;
            EXPECT_FALSE(searching) << c.name;
            // What a stopped search found never reaches the sheet.
            EXPECT_EQ(0, devicesAfterCancel) << c.name;
            EXPECT_EQ(0, sheet.m_devices.GetSize()) << c.name;
            if (!stops) {
                EXPECT_EQ(1, startsWhileStopping) << c.name;
                EXPECT_EQ(0, pageAfterSecondSearch) << c.name;
            }
        }
        SetEvent(release);
        // The stopped search deletes its own records once it has ended.
        for (int i = 0; i < 100 && CFoundPlayer::Alive() != 0; ++i)
            Sleep(50);
        EXPECT_EQ(0, CFoundPlayer::Alive()) << c.name;
        CloseHandle(release);
        CloseHandle(running);
    }
}

TEST_F(Pages, AboutBannerStringsFileAndTheMp3Text)
{
    // The source's banner grows the sheet by the strip above the pages.
    const CString banner = testsupport::BinaryPath(L"wizard\\res\\SampleBanner.png");
    ASSERT_TRUE(FileExists(banner));
    const CString strings = m_scratch / L"Carrowind.strings";
    testsupport::WriteAll(strings, "[Welcome]\r\nCaption=Hello\r\nPrompt=Press <b>Next</b> for %%SOURCE_TITLE%%\\nnow.\r\n");
    App().m_stringsFilePath = strings;
    App().m_contentType = L"MP3 Audiobook";
    int plainHeight = 0;
    {
        CWizardSheet plain(m_playlist);
        StepRunner steps(std::vector<std::function<void()>>{[&] {
            CRect rect;
            plain.GetWindowRect(&rect);
            plainHeight = rect.Height();
            plain.PressButton(PSBTN_CANCEL);
        }});
        plain.DoModal();
    }
    App().m_bannerPath = banner;
    CWizardSheet sheet(m_playlist);
    int bannerHeight = 0;
    CString aboutCaption, aboutTitle, caption, prompt, message;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            CRect rect;
            sheet.GetWindowRect(&rect);
            bannerHeight = rect.Height();
            caption = sheet.GetWindowText();
            prompt = LabelText(sheet, &sheet.m_welcome, IDC_WELCOME_PROMPT);
            message = LabelText(sheet, &sheet.m_welcome, IDC_WELCOME_MESSAGE);
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Banner");
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandAbout);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0) != nullptr; },
        [&] {
            HWND about = testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0);
            aboutCaption = CWnd::FromHandle(about)->GetWindowText();
            aboutTitle = CWnd::FromHandle(about)->GetDlgItemText(IDC_ABOUT_TITLE);
            testsupport::CaptureWindow(about, L"Carrowind.About");
            ::PostMessageW(about, WM_COMMAND, IDOK, 0);
            return true;
        },
        [&] {
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    App().m_stringsFilePath.Empty();
    App().m_bannerPath.Empty();
    EXPECT_TRUE(sheet.HasBanner());
    EXPECT_EQ(plainHeight + CWizardSheetBase::kBannerHeight, bannerHeight);
    EXPECT_EQ(CString(L"Vesperlin Carrowind - Hello"), caption);
    EXPECT_EQ(CString(L"Press <b>Next</b> for Harbour Lights\r\nnow."), prompt);
    EXPECT_NE(-1, message.Find(AfxLoadString(IDS_WELCOME_CONNECT_MP3))) << message.ToNarrow();
    EXPECT_EQ(CString(L"About Vesperlin Carrowind"), aboutCaption);
    EXPECT_EQ(CString(L"Vesperlin Carrowind"), aboutTitle);
}

// The system menu's Help Topics and copyright entries and the About dialog's Help button each
// make one call of the help file (they used to come back to the sheet for ever).
TEST_F(Pages, TheSystemMenusHelpAndTheAboutDialogsHelpButtonOpenTheHelpFile)
{
    testsupport::HtmlHelpRecorder recorder;
    // The help calls a user's action makes (the sheet also starts and ends the help system).
    auto contextCalls = [&recorder] {
        std::vector<AfxHtmlHelpCall> calls;
        for (const AfxHtmlHelpCall& call : recorder.Calls())
            if (call.command == HH_HELP_CONTEXT)
                calls.push_back(call);
        return calls;
    };
    CWizardSheet sheet(m_playlist);
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandHelpTopics);
            return true;
        },
        [&] { return contextCalls().size() >= 1; },
        [&] {
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandCopyright);
            return true;
        },
        [&] { return contextCalls().size() >= 2; },
        [&] {
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandAbout);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0) != nullptr; },
        [&] {
            HWND about = testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0);
            ::SendMessageW(::GetDlgItem(about, IDHELP), BM_CLICK, 0, 0);
            return true;
        },
        [&] { return contextCalls().size() >= 3; },
        [&] {
            ::PostMessageW(testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0), WM_COMMAND, IDOK, 0);
            return true;
        },
        [&] {
            testsupport::PumpMessages(100);
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    const CString file(App().m_pszHelpFilePath ? App().m_pszHelpFilePath : L"");
    const std::vector<AfxHtmlHelpCall> calls = contextCalls();
    ASSERT_EQ(3u, calls.size());
    const DWORD_PTR expected[] = {HID_BASE_COMMAND + CWizardSheetBase::kCommandHelpTopics,
                                  HID_BASE_COMMAND + CWizardSheetBase::kCommandCopyright, HID_BASE_RESOURCE + IDD_ABOUT};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), calls[i].command) << i;
        EXPECT_EQ(expected[i], calls[i].data) << i;
        EXPECT_EQ(file, calls[i].file) << i;
    }
}

// The source of a page of the wizard's help file.
CString HelpPageSource(const wchar_t* topic)
{
    const bool shared = CString(topic) == kAboutHelpTopic || CString(topic) == kWizardHelpTopic;
    return testsupport::SourcePath(CString(shared ? L"wizard/help/" : L"Carrowind/help/") + topic);
}

// Every control a user reaches on a page or dialog carries its help id, and the page of its
// window in the help file has the pop-up for it (the pop-ups used to be looked up with no id).
TEST(PageHelp, EveryControlOfEveryPageAndDialogHasItsPopupInItsWindowsTopic)
{
    const wizardtest::TemplateHelp dialogs[] = {
        {IDD_WELCOME_PAGE, "Welcome", HelpPageSource(kWelcomeHelpTopic), {}, {}},
        {IDD_SEARCH_PAGE, "Search", HelpPageSource(kSearchHelpTopic), {}, {}},
        {IDD_CONFIRM_PAGE, "Confirm", HelpPageSource(kConfirmHelpTopic), {}, {}},
        {IDD_SETTINGS_PAGE, "Settings", HelpPageSource(kSettingsHelpTopic), {}, {}},
        {IDD_PROGRESS_PAGE, "Progress", HelpPageSource(kProgressHelpTopic), {}, {}},
        {IDD_SUCCESS_PAGE, "Success", HelpPageSource(kSuccessHelpTopic), {}, {}},
        {IDD_ABOUT, "About", HelpPageSource(kAboutHelpTopic), {}, {}},
        {IDD_ADVANCED_OPTIONS, "Advanced Options", HelpPageSource(kAdvancedOptionsHelpTopic), {}, {}},
        // The browser's OK and Cancel show the texts of their own pop-ups under shared ids.
        {IDD_BROWSE_FOLDER, "Browse Portable Player", HelpPageSource(kBrowseFolderHelpTopic),
         {{IDOK, HID_CONTROL(IDD_ABOUT, IDOK)}, {IDCANCEL, HID_CONTROL(IDD_ADVANCED_OPTIONS, IDCANCEL)}},
         {IDC_BROWSE_ENTRY_DUMP}},
        {IDD_BROWSE_IPOD, "Browse iPod", HelpPageSource(kBrowseiPodHelpTopic), {}, {}},
    };
    for (const wizardtest::TemplateHelp& dialog : dialogs)
        wizardtest::ExpectTemplateHelp(dialog);
}

// "?", F1 and Shift+F1 on each control of the Welcome page and the About dialog; F1 pressed on
// the wizard opens the page's help once (the key's command used to reach no one).
TEST_F(Pages, EachControlOfTheWelcomePageAndAboutShowsItsOwnHelp)
{
    testsupport::HtmlHelpRecorder recorder;
    const CString file(App().m_pszHelpFilePath ? App().m_pszHelpFilePath : L"");
    CWizardSheet sheet(m_playlist);
    std::vector<AfxHtmlHelpCall> fromKey;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            wizardtest::ExpectControlHelp(sheet.m_welcome.m_hWnd, recorder,
                                          {file, kWelcomeHelpTopic, HelpPageSource(kWelcomeHelpTopic),
                                           HID_BASE_RESOURCE + IDD_WELCOME_PAGE});
            fromKey = wizardtest::HelpRequests(recorder);
            HWND next = ::GetDlgItem(sheet.m_hWnd, 0x3024);
            ::SetFocus(next);
            ::PostMessageW(next, WM_KEYDOWN, VK_F1, 1);
            ::PostMessageW(next, WM_KEYUP, VK_F1, 0xC0000001);
            return true;
        },
        [&] { return wizardtest::HelpRequests(recorder).size() > fromKey.size(); },
        [&] {
            testsupport::PumpMessages(100);
            const std::vector<AfxHtmlHelpCall> calls = wizardtest::HelpRequests(recorder);
            fromKey.assign(calls.begin() + static_cast<std::ptrdiff_t>(fromKey.size()), calls.end());
            sheet.PostMessage(WM_SYSCOMMAND, CWizardSheetBase::kCommandAbout);
            return true;
        },
        [&] { return testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0) != nullptr; },
        [&] {
            HWND about = testsupport::WaitForWindow(L"#32770", L"About Vesperlin Carrowind", 0);
            wizardtest::ExpectControlHelp(about, recorder,
                                          {file, kAboutHelpTopic, HelpPageSource(kAboutHelpTopic),
                                           HID_BASE_RESOURCE + IDD_ABOUT});
            ::PostMessageW(about, WM_COMMAND, IDOK, 0);
            return true;
        },
        [&] {
            testsupport::PumpMessages(100);
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    ASSERT_EQ(1u, fromKey.size());
    EXPECT_EQ(static_cast<UINT>(HH_HELP_CONTEXT), fromKey[0].command);
    EXPECT_EQ(static_cast<DWORD_PTR>(HID_BASE_RESOURCE + IDD_WELCOME_PAGE), fromKey[0].data);
    EXPECT_EQ(file, fromKey[0].file);
}

TEST_F(Pages, AnUnreadablePlaylistEndsTheWizardAfterItsMessage)
{
    CWizardSheet sheet(m_scratch / L"Missing.wax");
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_NE(-1, m_boxes.Boxes()[0].text.Find(L"is not valid."));
    EXPECT_FALSE(sheet.IsTitleLoaded());
}

}  // namespace

namespace {

// iTunes' preferences file as iTunes writes its AAC preset (null: without it), in place of the
// user's own while the object lives; the user's file comes back afterwards.
class iTunesPreferences {
public:
    iTunesPreferences() : m_path(iTunesPreferencesPath())
    {
        m_had = FileExists(m_path);
        if (m_had)
            m_before = testsupport::ReadAllBytes(m_path);
    }
    ~iTunesPreferences()
    {
        if (m_had)
            testsupport::WriteAll(m_path, m_before);
        else
            DeleteFileW(m_path);
    }
    void Write(const char* presetValue)
    {
        std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<plist version=\"1.0\">\r\n<dict>\r\n";
        if (presetValue)
            text += std::string("\t<key>iTunes.exe:AAC Encoder</key>\r\n\t<data>\r\n\t") + presetValue +
                    "\r\n\tQmV0dGVyIFF1YWxpdHkgKDEyOCBrYnBzKQAAAAAAAAAAAAAAAAAAAAAA\r\n\t</data>\r\n";
        text += "</dict>\r\n</plist>\r\n";
        CreateParentFolder(m_path);
        testsupport::WriteAll(m_path, text);
    }
    void Remove() { DeleteFileW(m_path); }
    std::string Text() const { return testsupport::ReadAllBytes(m_path); }

private:
    CString m_path;
    bool m_had = false;
    std::string m_before;
};

constexpr const char* kSpokenPodcast = "AAAAAAdQb2RjYXN0";
constexpr const char* kHighQuality = "AAAAAAZCZXR0ZXI=";
constexpr const char* kHigherQuality = "AAAAAARCZXN0AAAA";
constexpr const char* kiTunesPlus = "AAAAAAppVHVuZXMA";
constexpr const char* kCustom = "AAAAAAZDdXN0b20A";

class SettingsPage : public Pages {
protected:
    void SetUp() override
    {
        Pages::SetUp();
        m_searches.Do([](DeviceSearchJob& job) {
            job.devices->Add(new CFoundPlayer);
            ReportSearchDone(job);
        });
        TheiTunesImportState().Clear();
    }
    void TearDown() override
    {
        TheiTunesImportState().Clear();
        Pages::TearDown();
    }
    // The steps from the Welcome page to the Settings page, as the Confirm page leaves the
    // placeholders for a Windows Media audiobook and a user on iTunes' 128 kbps preset.
    static std::vector<StepRunner::Step> ToSettings(CWizardSheet& sheet)
    {
        return {
            [&sheet] {
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            [&sheet] { return sheet.GetActivePage() == &sheet.m_confirm; },
            [&sheet] {
                testsupport::PumpMessages(50);
                CMapStringToString& placeholders = sheet.GetPlaceholders();
                placeholders.SetAt(L"%%RECOMMEND_SETTING%%", L"Spoken Podcast (64 kbps)");
                placeholders.SetAt(L"%%RECOMMEND_MINUTE%%", L"1 minute");
                placeholders.SetAt(L"%%ENCODER_SETTING%%", L"High Quality (128 kbps)");
                placeholders.SetAt(L"%%ESTIMATED_MINUTE%%", L"2.5 minutes");
                TheiTunesImportState().mode = iTunesImportState::kModeChangeRecommended;
                // (Next on the Confirm page runs its checks against a real player first.)
                sheet.SetActivePage(&sheet.m_settings);
                return true;
            },
            [&sheet] { return sheet.GetActivePage() == &sheet.m_settings; },
        };
    }
    static bool Visible(CWizardSheet& sheet, UINT id) { return ::IsWindowVisible(::GetDlgItem(sheet.m_settings.m_hWnd, id)) != FALSE; }
    static void Click(CWizardSheet& sheet, UINT id)
    {
        sheet.m_settings.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                     reinterpret_cast<LPARAM>(::GetDlgItem(sheet.m_settings.m_hWnd, id)));
    }
    iTunesPreferences m_preferences;
};

TEST_F(SettingsPage, ShowsBothSettingsCancelGoesBackAndARefreshAfterTheChangeShowsTheMatch)
{
    m_preferences.Write(kHighQuality);
    CWizardSheet sheet(m_playlist);
    CString caption, recommended, current, prompt, matched, matchPrompt;
    std::string written;
    bool buttonsOn = false, backOnConfirm = false, allShown = false, othersHidden = false;
    std::vector<StepRunner::Step> steps = ToSettings(sheet);
    steps.insert(steps.end(), {
        [&] {
            testsupport::PumpMessages(100);
            caption = sheet.GetWindowText();
            recommended = LabelText(sheet, &sheet.m_settings, IDC_SETTINGS_RECOMMENDED);
            current = LabelText(sheet, &sheet.m_settings, IDC_SETTINGS_CURRENT);
            prompt = LabelText(sheet, &sheet.m_settings, IDC_SETTINGS_PROMPT);
            buttonsOn = ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3023)) && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024));
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.Settings");
            // Cancel on this page only goes back.
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
        [&] { return sheet.GetActivePage() == &sheet.m_confirm; },
        [&] {
            backOnConfirm = ::IsWindow(sheet.m_hWnd) != FALSE;
            testsupport::PumpMessages(50);
            sheet.SetActivePage(&sheet.m_settings);
            return true;
        },
        [&] { return sheet.GetActivePage() == &sheet.m_settings; },
        [&] {
            testsupport::PumpMessages(50);
            allShown = Visible(sheet, IDC_SETTINGS_INTRO) && Visible(sheet, IDC_SETTINGS_CURRENT) &&
                       Visible(sheet, IDC_SETTINGS_INSTRUCTIONS) && Visible(sheet, IDC_SETTINGS_REFRESH);
            // The user picks the recommended preset in iTunes, then Refresh.
            m_preferences.Write(kSpokenPodcast);
            written = m_preferences.Text();
            Click(sheet, IDC_SETTINGS_REFRESH);
            matched = LabelText(sheet, &sheet.m_settings, IDC_SETTINGS_RECOMMENDED);
            matchPrompt = LabelText(sheet, &sheet.m_settings, IDC_SETTINGS_PROMPT);
            othersHidden = !Visible(sheet, IDC_SETTINGS_INTRO) && !Visible(sheet, IDC_SETTINGS_CURRENT) &&
                           !Visible(sheet, IDC_SETTINGS_INSTRUCTIONS) && !Visible(sheet, IDC_SETTINGS_REFRESH) &&
                           Visible(sheet, IDC_SETTINGS_RECOMMENDED) && Visible(sheet, IDC_SETTINGS_PROMPT);
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.SettingsMatch");
            // (Next would start the transfer to the fake player.)
            sheet.SetActivePage(&sheet.m_success);
            return true;
        },
        [&] { return sheet.GetActivePage() == &sheet.m_success; },
        [&] {
            sheet.PressButton(PSBTN_FINISH);
            return true;
        },
    });
    StepRunner runner(std::move(steps));
    EXPECT_EQ(ID_WIZFINISH, sheet.DoModal());
    EXPECT_TRUE(runner.Done());
    EXPECT_EQ(CString(L"Vesperlin Carrowind - Settings"), caption);
    EXPECT_NE(-1, recommended.Find(L"<b>Spoken Podcast (64 kbps)</b>")) << recommended.ToNarrow();
    EXPECT_NE(-1, recommended.Find(L"<b>1 minute</b>")) << recommended.ToNarrow();
    EXPECT_NE(-1, current.Find(L"<b>High Quality (128 kbps)</b>")) << current.ToNarrow();
    EXPECT_NE(-1, current.Find(L"<b>2.5 minutes</b>")) << current.ToNarrow();
    EXPECT_EQ(AfxLoadString(IDS_SETTINGS_NEXT_WHEN_SATISFIED), prompt);
    EXPECT_TRUE(buttonsOn);
    EXPECT_TRUE(backOnConfirm);
    EXPECT_TRUE(allShown);
    EXPECT_EQ(AfxLoadString(IDS_SETTINGS_NOW_MATCH), matched);
    EXPECT_EQ(AfxLoadString(IDS_SETTINGS_SELECT_NEXT), matchPrompt);
    EXPECT_TRUE(othersHidden);
    // The settings the user had before are kept for the end, the import mode stays, and the
    // page wrote nothing into iTunes' file.
    EXPECT_EQ(CString(L"High Quality (128 kbps)"), TheiTunesImportState().savedPreset);
    EXPECT_EQ(iTunesImportState::kModeChangeRecommended, TheiTunesImportState().mode);
    EXPECT_EQ(written, m_preferences.Text());
}

TEST_F(SettingsPage, RefreshShowsWhatITunesPreferencesTell)
{
    const struct {
        const char* name;
        const char* preset;  // null: a file without the AAC key; "none": no file at all
        bool match;
        const wchar_t* setting;
        const wchar_t* minutes;
    } cases[] = {
        {"the recommended preset", kSpokenPodcast, true, nullptr, nullptr},
        {"iTunes' 128 kbps preset", kHighQuality, false, L"High Quality (128 kbps)", L"2.5 minutes"},
        {"the 256 kbps preset", kHigherQuality, false, L"Higher Quality (256 kbps)", L"4 minutes"},
        {"iTunes Plus", kiTunesPlus, false, L"iTunes Plus (256 kbps)", L"4 minutes"},
        {"no AAC key: iTunes' default", nullptr, false, L"High Quality (128 kbps)", L"2.5 minutes"},
        {"a custom preset", kCustom, false, L"Custom...", L"1 minute"},
        // iTunes without a preferences file yet imports with its default preset, and the page says so.
        {"no preferences file", "none", false, L"High Quality (128 kbps) (iTunes' default)", L"2.5 minutes"},
    };
    CWizardSheet sheet(m_playlist);
    std::vector<StepRunner::Step> steps = ToSettings(sheet);
    steps.push_back([&] {
        testsupport::PumpMessages(50);
        for (const auto& c : cases) {
            if (c.preset && std::string(c.preset) == "none")
                m_preferences.Remove();
            else
                m_preferences.Write(c.preset);
            sheet.m_settings.Refresh();
            EXPECT_EQ(c.match, sheet.m_settings.SettingsMatch() != FALSE) << c.name;
            EXPECT_EQ(!c.match, Visible(sheet, IDC_SETTINGS_CURRENT)) << c.name;
            if (!c.match) {
                CString setting, minutes;
                sheet.GetPlaceholders().Lookup(L"%%ENCODER_SETTING%%", setting);
                sheet.GetPlaceholders().Lookup(L"%%ESTIMATED_MINUTE%%", minutes);
                EXPECT_EQ(CString(c.setting), setting) << c.name;
                EXPECT_EQ(CString(c.minutes), minutes) << c.name;
                const CString current = LabelText(sheet, &sheet.m_settings, IDC_SETTINGS_CURRENT);
                EXPECT_NE(-1, current.Find(L"<b>" + CString(c.minutes) + L"</b>")) << c.name << ": " << current.ToNarrow();
            }
            // Each case starts from the page as it opens.
            sheet.PressButton(PSBTN_BACK);
            testsupport::PumpMessages(50);
            sheet.SetActivePage(&sheet.m_settings);
            testsupport::PumpMessages(50);
            EXPECT_EQ(&sheet.m_settings, sheet.GetActivePage()) << c.name;
        }
        sheet.PressButton(PSBTN_CANCEL);  // back to Confirm
        return true;
    });
    steps.push_back([&] { return sheet.GetActivePage() == &sheet.m_confirm; });
    steps.push_back([&] {
        sheet.PressButton(PSBTN_CANCEL);
        return true;
    });
    StepRunner runner(std::move(steps));
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    EXPECT_TRUE(runner.Done());
}

TEST_F(SettingsPage, TheConfirmPageGoesToItOnlyWhenAChangeIsRecommended)
{
    CWizardSheet sheet(m_playlist);
    LRESULT asTheyAre = 0, recommended = 0;
    StepRunner runner(std::vector<StepRunner::Step>{
        [&] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&] { return sheet.GetActivePage() == &sheet.m_confirm; },
        [&] {
            TheiTunesImportState().mode = iTunesImportState::kModeAsTheyAre;
            asTheyAre = sheet.PageAfterConfirm();
            TheiTunesImportState().mode = iTunesImportState::kModeChangeRecommended;
            recommended = sheet.PageAfterConfirm();
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    });
    sheet.DoModal();
    EXPECT_TRUE(runner.Done());
    EXPECT_EQ(IDD_PROGRESS_PAGE, asTheyAre);
    EXPECT_EQ(IDD_SETTINGS_PAGE, recommended);
}

}  // namespace
