// The device wizard's sheet and pages under a display: Welcome -> Search -> Next or back, with
// search threads the tests supply through the page's starter; About; the banner; texts from
// the strings file. Pictures of every page go to the screenshot folder.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "FileUtils.h"
#include "MarkupLabel.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/CarrowindIds.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;

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

// A search thread whose work the test gives.
class CFakeSearchThread : public CWinThread {
    DECLARE_DYNCREATE(CFakeSearchThread)
public:
    static std::function<void(DeviceSearchJob&)>& Work()
    {
        static std::function<void(DeviceSearchJob&)> work;
        return work;
    }
    std::shared_ptr<DeviceSearchJob> m_job;

protected:
    BOOL InitInstance() override
    {
        if (Work())
            Work()(*m_job);
        return FALSE;
    }
};
IMPLEMENT_DYNCREATE(CFakeSearchThread, CWinThread)

void Report(DeviceSearchJob& job) { SendMessageW(job.owner, WM_DEVICE_SEARCH_DONE, 0, 0); }

class Pages : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_playlist = wizardtest::MakeTitleFolder(m_scratch, L"Harbour", 2, L"Harbour Lights");
        App().m_contentType = L"WMA Audiobook";
        App().m_bannerPath.Empty();
        App().m_stringsFilePath.Empty();
        m_before = SetDeviceSearchStarter([](std::shared_ptr<DeviceSearchJob> job) -> CWinThread* {
            auto* thread = static_cast<CFakeSearchThread*>(
                AfxBeginThread(RUNTIME_CLASS(CFakeSearchThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
            thread->m_job = std::move(job);
            return thread;
        });
    }
    void TearDown() override
    {
        SetDeviceSearchStarter(m_before);
        CFakeSearchThread::Work() = nullptr;
    }
    // The sheet's current page index, once the page's posted work is done.
    static std::function<bool()> WaitForPage(CWizardSheet& sheet, int index)
    {
        return [&sheet, index] { return sheet.GetActiveIndex() == index && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); };
    }
    static CString LabelText(CWizardSheet& sheet, CWnd* page, UINT id)
    {
        CMarkupLabel* label = sheet.FindMarkupLabel(page, id);
        return label ? label->GetWindowText() : CString(L"<no label>");
    }
    ScratchFolder m_scratch;
    CString m_playlist;
    DeviceSearchStarter m_before;
    MessageBoxRecorder m_boxes{IDCANCEL};
};

TEST_F(Pages, NothingFoundAsksThenGoesBackToWelcome)
{
    CString asked;
    CFakeSearchThread::Work() = [&asked](DeviceSearchJob& job) {
        asked = job.notFoundText;
        AfxMessageBox(job.notFoundText, MB_RETRYCANCEL | MB_ICONEXCLAMATION);
        Report(job);
    };
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
    CFakeSearchThread::Work() = [go](DeviceSearchJob& job) {
        WaitForSingleObject(go, 10000);
        job.devices->Add(new CFoundPlayer);
        Report(job);
    };
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

TEST_F(Pages, ASearchThatEndsWithoutReportingLeavesNoPageWaiting)
{
    CFakeSearchThread::Work() = [](DeviceSearchJob&) {};  // ends, reports nothing
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
        bool stops;  // the search heeds the request to stop
    } cases[] = {{"a search that stops when asked", true}, {"a search that never stops", false}};
    for (const auto& c : cases) {
        HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE running = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        const bool stops = c.stops;
        CFakeSearchThread::Work() = [never, running, stops](DeviceSearchJob& job) {
            job.devices->Add(new CFoundPlayer);
            SetEvent(running);
            if (stops) {
                while (!job.stopRequested)
                    Sleep(10);
                Report(job);  // too late: ignored
            } else {
                WaitForSingleObject(never, INFINITE);
            }
        };
        CFoundPlayer::Alive() = 0;
        {
            CWizardSheet sheet(m_playlist);
            int afterCancel = -1;
            bool searching = true;
            StepRunner steps(std::vector<StepRunner::Step>{
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
                    sheet.PressButton(PSBTN_CANCEL);
                    return true;
                },
            });
            EXPECT_EQ(IDCANCEL, sheet.DoModal()) << c.name;
            EXPECT_TRUE(steps.Done()) << c.name;
            EXPECT_EQ(0, afterCancel) << c.name;
            EXPECT_FALSE(searching) << c.name;
            // A search stopped by force leaves no half-made records behind.
            EXPECT_EQ(c.stops ? 1 : 0, sheet.m_devices.GetSize()) << c.name;
        }
        EXPECT_EQ(0, CFoundPlayer::Alive()) << c.name;
        CloseHandle(never);
        CloseHandle(running);
    }
}

TEST_F(Pages, AboutBannerStringsFileAndTheMp3Text)
{
    // The source's banner grows the sheet by the strip above the pages.
    const CString banner = testsupport::BinaryPath(L"Carrowind\\res\\SampleBanner.png");
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

TEST_F(Pages, AnUnreadablePlaylistEndsTheWizardAfterItsMessage)
{
    CWizardSheet sheet(m_scratch / L"Missing.wax");
    EXPECT_EQ(IDCANCEL, sheet.DoModal());
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_NE(-1, m_boxes.Boxes()[0].text.Find(L"is not valid."));
    EXPECT_FALSE(sheet.IsTitleLoaded());
}

}  // namespace
