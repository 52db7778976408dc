// The Progress page under a display with scripted workers in place of the transfer thread:
// each worker speaks the thread's messages (status, percents of its part, its result) from a
// thread of its own, so the page answers them as it answers the real one. The road through
// all parts to the Success page, Cancel in the middle of a part, failures with and without a
// reason, a worker that cannot start, and the player removed between parts.
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "FileUtils.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TitleFixtures.h"
#include "TransferJob.h"
#include "WindowTestSupport.h"
#include "WindowsMediaThread.h"
#include "iTunesImportSettings.h"
#include "MarkupLabel.h"
#include "res/CarrowindIds.h"
#include "res/ProgressPageIds.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

// What a scripted worker does with its part.
struct PartScript {
    int result = kTransferDone;
    bool status = true;        // reports WM_PART_STATUS first
    CString reason;            // stored under the thread's key before a failure
    bool holdAtHalf = false;   // waits at 50 % until cancelled (or released)
    bool counts = false;       // reports counts of work done (WM_ADD_PROGRESS) instead of percents
};

class ScriptedWorkers {
public:
    std::map<int, PartScript> scripts;  // by part index; missing: done
    std::vector<CString> started;       // target names, in order
    std::vector<CString> sources;
    std::vector<bool> sourceThere;      // whether each source existed when its worker started
    std::vector<CString> apple;         // an Apple job's "<iPod name>|<extension>|<markers>"
    std::atomic<bool> holding{false};
    std::atomic<bool> release{false};
    std::vector<LRESULT> percentReplies;
    CString statusAfterCancel;  // the page's status once a counting worker was told to stop
    BOOL cancelEnabledAfterCancel = TRUE;
    std::mutex lock;

    // Back to no script and nothing recorded.
    void Reset()
    {
        scripts.clear();
        started.clear();
        sources.clear();
        sourceThere.clear();
        apple.clear();
        percentReplies.clear();
        statusAfterCancel.Empty();
        cancelEnabledAfterCancel = TRUE;
        holding = false;
        release = false;
    }

    DWORD Start(CTransferJob* job)
    {
        started.push_back(job->m_strTargetName);
        sources.push_back(job->m_strSourcePath);
        sourceThere.push_back(GetFileAttributesW(job->m_strSourcePath) != INVALID_FILE_ATTRIBUTES);
        if (!job->m_striPodName.IsEmpty())
            apple.push_back(job->m_striPodName + L"|" + job->m_strFileExtension + L"|" + job->m_strMarkerText);
        auto* context = new std::pair<ScriptedWorkers*, CTransferJob*>(this, job);
        context->first->m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        DWORD id = 0;
        HANDLE thread = CreateThread(nullptr, 0, &ScriptedWorkers::Run, context, 0, &id);
        WaitForSingleObject(m_ready, 5000);
        CloseHandle(m_ready);
        CloseHandle(thread);
        return id;
    }

private:
    static bool Cancelled()
    {
        MSG msg;
        return PeekMessageW(&msg, nullptr, WM_TRANSFER_CANCEL, WM_TRANSFER_CANCEL, PM_REMOVE) != FALSE;
    }
    static DWORD WINAPI Run(void* parameter)
    {
        auto* context = static_cast<std::pair<ScriptedWorkers*, CTransferJob*>*>(parameter);
        ScriptedWorkers& self = *context->first;
        CTransferJob* job = context->second;
        delete context;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue for the cancel
        SetEvent(self.m_ready);
        const auto found = self.scripts.find(job->m_nPartIndex);
        const PartScript script = found == self.scripts.end() ? PartScript() : found->second;
        HWND owner = job->m_hOwnerWnd;
        int result = script.result;
        if (script.status) {
            const LRESULT reply = SendMessageW(owner, WM_PART_STATUS, 0, reinterpret_cast<LPARAM>(job));
            if (reply != 1)
                result = static_cast<int>(reply);
        }
        bool cancelled = result != script.result;
        for (int percent = 10; percent <= 100 && !cancelled && script.status && !script.counts; percent += 10) {
            if (Cancelled()) {
                cancelled = true;
                break;
            }
            const LRESULT reply = SendMessageW(owner, WM_TRANSFER_PERCENT, percent, 0);
            {
                std::lock_guard<std::mutex> guard(self.lock);
                self.percentReplies.push_back(reply);
            }
            if (reply == 0)
                cancelled = true;
            if (percent == 50 && script.holdAtHalf) {
                self.holding = true;
                for (int i = 0; i < 1000 && !self.release && !cancelled; ++i) {
                    cancelled = Cancelled();
                    Sleep(10);
                }
                self.holding = false;
            }
        }
        if (script.counts && !cancelled) {
            self.holding = true;
            for (int i = 0; i < 1000 && !self.release && !cancelled; ++i) {
                cancelled = Cancelled();
                Sleep(10);
            }
            self.holding = false;
        }
        if (cancelled && script.counts) {
            const LRESULT reply = SendMessageW(owner, WM_ADD_PROGRESS, 1, 2);
            wchar_t text[256] = {};
            GetDlgItemTextW(owner, IDC_PROGRESS_TRANSFER_STATUS, text, 256);
            std::lock_guard<std::mutex> guard(self.lock);
            self.statusAfterCancel = text;
            self.cancelEnabledAfterCancel = IsWindowEnabled(GetDlgItem(GetParent(owner), IDCANCEL));
            self.percentReplies.push_back(reply);
            result = kTransferCancelled;
        } else if (cancelled) {
            // The page answers stop to every report once it is cancelling.
            const LRESULT reply = SendMessageW(owner, WM_TRANSFER_PERCENT, 60, 0);
            std::lock_guard<std::mutex> guard(self.lock);
            self.percentReplies.push_back(reply);
            result = kTransferCancelled;
        }
        if (!script.reason.IsEmpty())
            job->m_pPlayer->errorDetails.SetAt(kTransferPartKey, script.reason);
        job->m_nResult = result;
        PostMessageW(owner, WM_PART_DONE, static_cast<WPARAM>(result), reinterpret_cast<LPARAM>(job));
        return 0;
    }
    HANDLE m_ready = nullptr;
};

// Two players of the device manager's stand-in; the search finds them as a user's would be.
const char kTwoPlayers[] =
    "[Devices]\nCount=2\n"
    "[Device1]\nName=Kitchen Player\nSerial=0x045E:0A0B0C0D\nProtocol=MTP\nFriendlyName=Kitchen Player\n"
    "[Device1.Storage1]\nName=\\\nFolder=player1\n"
    "[Device2]\nName=Garden Player\nProtocol=MTP\nFriendlyName=Garden Player\n[Device2.Storage1]\nName=\\\nFolder=player2\n";

class ProgressPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_playlist = wizardtest::MakeTitleFolder(m_scratch, L"Harbour", 3, L"Harbour Lights");
        CreateDirectoryW(m_scratch / L"player1", nullptr);
        CreateDirectoryW(m_scratch / L"player2", nullptr);
        testsupport::WriteAll(m_scratch / L"devices.ini", kTwoPlayers);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_scratch / L"devices.ini");
        FreeUsbDeviceTable();
        App().m_contentType = L"MP3 Audiobook";
        App().m_bannerPath.Empty();
        App().m_stringsFilePath.Empty();
        TransferPageServices services;
        services.startWorker = [this](CTransferJob* job) -> DWORD {
            if (job->m_nPartIndex == m_refuseIndex)
                return 0;
            return m_workers.Start(job);
        };
        services.playerPresent = [this](PlayerRecord*) { return m_presentChecks++ < m_presentFor; };
        services.copySideFiles = [this](PlayerRecord* player, const CString&, const CString&, const CString&,
                                        BOOL mp3) { m_sideFiles.push_back(player->GetName() + (mp3 ? L" mp3" : L"")); };
        services.deletePartial = [this](PlayerRecord*, const CString& target) { m_deleted.push_back(target); };
        m_before = SetTransferPageServices(services);
    }
    void TearDown() override
    {
        SetTransferPageServices(m_before);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
    }

    // The steps from the Welcome page to the Confirm page (the search finds both players),
    // then the first player chosen with every part, and the Progress page opened as the
    // Confirm page's Next does.
    // A test may put another player first (prepare), named deviceName.
    std::vector<StepRunner::Step> Begin(CWizardSheet& sheet, std::function<void()> prepare = {},
                                        const wchar_t* deviceName = L"Kitchen Player", const wchar_t* folder = L"\\Books")
    {
        return {
            [&sheet] {
                sheet.PressButton(PSBTN_NEXT);
                return true;
            },
            [&sheet] { return OnPage(sheet, &sheet.m_confirm) && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); },
            [&sheet, prepare, deviceName, folder] {
                if (prepare)
                    prepare();
                sheet.m_confirmedIndex = 0;
                sheet.m_selectedParts.RemoveAll();
                for (UINT i = 0; i < 3; ++i)
                    sheet.m_selectedParts.Add(i);
                sheet.GetPlaceholders().SetAt(L"%%DEVICE_NAME%%", deviceName);
                sheet.GetPlaceholders().SetAt(L"%%PART_COUNT%%", L"3");
                sheet.GetPlaceholders().SetAt(L"%%DEVICE_FOLDER%%", folder);
                sheet.SetActivePage(&sheet.m_progress);
                return true;
            },
        };
    }
    static std::vector<StepRunner::Step> Then(std::vector<StepRunner::Step> first, std::vector<StepRunner::Step> more)
    {
        first.insert(first.end(), more.begin(), more.end());
        return first;
    }
    static bool OnPage(CWizardSheet& sheet, CPropertyPage* page) { return sheet.GetActiveIndex() == sheet.GetPageIndex(page); }

    ScratchFolder m_scratch;
    CString m_playlist;
    ScriptedWorkers m_workers;
    int m_refuseIndex = -1;
    int m_presentChecks = 0;
    int m_presentFor = 1000;
    std::vector<CString> m_sideFiles;
    std::vector<CString> m_deleted;
    TransferPageServices m_before;
    MessageBoxRecorder m_boxes{IDOK};
};

TEST_F(ProgressPage, EveryPartGoesOnceThenTheSideFilesAndTheSuccessPageWithTheElapsedTime)
{
    m_workers.scripts[1].holdAtHalf = true;
    CWizardSheet sheet(m_playlist);
    int midBar = -1, range = -1;
    CString midStatus;
    BOOL buttonsOff = FALSE;
    StepRunner steps(Then(Begin(sheet), {
        [&] { return m_workers.holding.load(); },
        [&] {
            HWND page = sheet.m_progress.m_hWnd;
            midBar = static_cast<int>(::SendDlgItemMessageW(page, IDC_PROGRESS_TRANSFER_BAR, PBM_GETPOS, 0, 0));
            range = static_cast<int>(::SendDlgItemMessageW(page, IDC_PROGRESS_TRANSFER_BAR, PBM_GETRANGE, FALSE, 0));
            midStatus = sheet.m_progress.GetDlgItemText(IDC_PROGRESS_TRANSFER_STATUS);
            buttonsOff = !::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)) &&
                         !::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3023));
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.TransferProgress");
            m_workers.release = true;
            return true;
        },
        [&] { return OnPage(sheet, &sheet.m_success); },
        [&] {
            testsupport::PumpMessages(100);
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.TransferSuccess");
            sheet.PressButton(PSBTN_FINISH);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ((std::vector<CString>{L"Harbour-Part01.mp3", L"Harbour-Part02.mp3", L"Harbour-Part03.mp3"}),
              m_workers.started);
    // Three parts of 1 unit each: part 1 done and half of part 2, plus one.
    EXPECT_EQ(4, range);
    EXPECT_EQ(2, midBar);
    EXPECT_EQ(CString(L"Status: Transferring \"Part 2\" (2/3)..."), midStatus);
    EXPECT_TRUE(buttonsOff);
    EXPECT_EQ((std::vector<CString>{L"Kitchen Player mp3"}), m_sideFiles);
    EXPECT_TRUE(m_deleted.empty());
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(3, sheet.m_lastTransferredPart);
    EXPECT_EQ(5, sheet.m_elapsedText.GetLength()) << sheet.m_elapsedText.ToNarrow();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(2, sheet.m_progress.GetPart(i)->transferState);
    for (LRESULT reply : m_workers.percentReplies)
        EXPECT_EQ(1, reply);
}

// Cancel while part 2 is on its way, once for a worker reporting percents (the device
// manager's) and once for one counting its work (as a Zune transfer does): the first part
// stays, the half-written second is deleted, the third never starts, the next report is
// answered with stop, and the Confirm page is back without a message. While counts arrive
// the status says "Canceling" and Cancel is off until the part has ended.
TEST_F(ProgressPage, CancelInTheSecondPartKeepsTheFirstDeletesTheHalfPartAndReturnsToConfirmSilently)
{
    for (const bool counts : {false, true}) {
        SCOPED_TRACE(counts ? "counts" : "percents");
        m_workers.Reset();
        m_deleted.clear();
        m_workers.scripts[1].holdAtHalf = !counts;
        m_workers.scripts[1].counts = counts;
        CWizardSheet sheet(m_playlist);
        BOOL cancelEnabledAtEnd = FALSE;
        StepRunner steps(Then(Begin(sheet), {
            [&] { return m_workers.holding.load(); },
            [&] {
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            },
            [&] { return OnPage(sheet, &sheet.m_confirm); },
            [&] {
                cancelEnabledAtEnd = ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, IDCANCEL));
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            },
        }));
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ((std::vector<CString>{L"Harbour-Part01.mp3", L"Harbour-Part02.mp3"}), m_workers.started);
        EXPECT_EQ((std::vector<CString>{L"Harbour-Part02.mp3"}), m_deleted);
        EXPECT_TRUE(m_sideFiles.empty());
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_EQ(2, sheet.m_progress.GetPart(0)->transferState);
        EXPECT_EQ(1, sheet.m_progress.GetPart(1)->transferState);
        EXPECT_EQ(0, sheet.m_progress.GetPart(2)->transferState);
        EXPECT_EQ(1, sheet.m_lastTransferredPart);
        ASSERT_FALSE(m_workers.percentReplies.empty());
        EXPECT_EQ(0, m_workers.percentReplies.back());
        EXPECT_TRUE(cancelEnabledAtEnd);
        if (counts) {
            EXPECT_EQ(CString(L"Status: Canceling \"Part 2\" (2/3)..."), m_workers.statusAfterCancel);
            EXPECT_FALSE(m_workers.cancelEnabledAfterCancel);
        }
    }
}

// Each failure of part 2 ends the run with one message and part 3 is never started.
TEST_F(ProgressPage, AFailedPartShowsItsReasonOnceAndTheRunStops)
{
    const struct {
        PartScript script;
        bool refuseStart;
        const wchar_t* message;
    } cases[] = {
        {{kTransferFailed, true, L"Unable to insert the selected title.\nError 0x80045004: not supported."}, false,
         L"An error occurred while attempting to transfer \"Harbour-Part02.mp3\".\n\nError details: Unable to insert the "
         L"selected title.\nError 0x80045004: not supported."},
        {{kTransferFailed, true, L""}, false,
         L"An error occurred while attempting to transfer \"Harbour-Part02.mp3\". Please disconnect your device and "
         L"try again."},
        {{kTransferFailed, false, L""}, false,
         L"An error occurred while attempting to transfer \"Harbour-Part02.mp3\".\n\nError details: Failed to start "
         L"transfer thread, WM_TRANSFER_START is not acknowledged."},
        {{}, true,
         L"An error occurred while attempting to transfer \"Part 2\".\n\nError details: Unable to begin the "
         L"transfer thread.\nAfxBeginThread returns NULL."},
    };
    for (const auto& c : cases) {
        m_workers.Reset();
        m_workers.scripts[1] = c.script;
        m_boxes.Clear();
        m_deleted.clear();
        m_refuseIndex = c.refuseStart ? 1 : -1;
        CWizardSheet sheet(m_playlist);
        StepRunner steps(Then(Begin(sheet), {
            [&] { return OnPage(sheet, &sheet.m_confirm); },
            [&] {
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            },
        }));
        sheet.DoModal();
        m_refuseIndex = -1;
        EXPECT_TRUE(steps.Done());
        ASSERT_EQ(1u, m_boxes.Boxes().size()) << CString(c.message).ToNarrow();
        EXPECT_EQ(CString(c.message), m_boxes.Boxes()[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONERROR), m_boxes.Boxes()[0].type);
        EXPECT_EQ(c.refuseStart ? 1u : 2u, m_workers.started.size());
        EXPECT_TRUE(m_deleted.empty());
        EXPECT_TRUE(m_sideFiles.empty());
        EXPECT_EQ(2, sheet.m_progress.GetPart(0)->transferState);
        EXPECT_EQ(1, sheet.m_progress.GetPart(1)->transferState);
    }
}

// The chosen player is gone before part 2: the user is told even though another player is
// left, its record leaves the array and no index points at the other player.
TEST_F(ProgressPage, ThePlayerRemovedBetweenPartsIsToldAndForgotten)
{
    m_presentFor = 1;
    CWizardSheet sheet(m_playlist);
    int confirmedAfter = 99;
    StepRunner steps(Then(Begin(sheet), {
        [&] { return !m_boxes.Boxes().empty() && OnPage(sheet, &sheet.m_confirm); },
        [&] {
            confirmedAfter = sheet.m_confirmedIndex;
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ((std::vector<CString>{L"Harbour-Part01.mp3"}), m_workers.started);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"The selected portable player (\"Kitchen Player\") could not be found.\n\nThis process will be "
                      L"aborted. Please reconnect your device and try again."),
              m_boxes.Boxes()[0].text);
    ASSERT_EQ(1, sheet.m_devices.GetSize());
    EXPECT_EQ(CString(L"Garden Player"), PlayerAt(sheet.m_devices, 0)->GetName());
    EXPECT_EQ(-1, confirmedAfter);
    EXPECT_TRUE(m_sideFiles.empty());
}

// A title whose picture is missing gets the program's default picture at that path before
// the parts go, on a player that shows one (an MTP player without its album yet, a drive
// player); a picture that is there is left as it is, and a player that shows none gets nothing.
TEST_F(ProgressPage, AMissingPictureBecomesTheDefaultOneOnPlayersThatShowIt)
{
    const CString shipped = GetProgramFolder() + L"\\WMDefaultAlbum.jpg";
    ASSERT_TRUE(FileExists(shipped)) << "the default picture is not beside the program";
    const std::string defaultBytes = testsupport::ReadAllBytes(shipped);
    struct Case {
        const char* name;
        int albumReady;
        BOOL massStorage;
        bool pictureThere;
        bool defaultExpected;
    };
    const Case cases[] = {
        {"MTP player without its album", 0, FALSE, false, true},
        {"drive player", 1, TRUE, false, true},
        {"picture already there", 0, FALSE, true, false},
        {"MTP player with its album made", 1, FALSE, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_workers.Reset();
        const CString cover = m_scratch / L"Harbour-cover.jpg";
        DeleteFileW(cover);
        if (c.pictureThere)
            testsupport::WriteAll(cover, "the title's own picture");
        CWizardSheet sheet(m_playlist);
        auto road = Begin(sheet);
        road.insert(road.begin() + 2, [&] {
            PlayerRecord* player = PlayerAt(sheet.m_devices, 0);
            player->albumReady = c.albumReady;
            player->massStorage = c.massStorage;
            sheet.m_imagePath = cover;
            return true;
        });
        StepRunner steps(Then(road, {
            [&] { return OnPage(sheet, &sheet.m_success); },
            [&] {
                sheet.PressButton(PSBTN_FINISH);
                return true;
            },
        }));
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(3u, m_workers.started.size());
        EXPECT_EQ(cover, sheet.m_imagePath);
        if (c.pictureThere)
            EXPECT_EQ("the title's own picture", testsupport::ReadAllBytes(cover));
        else if (c.defaultExpected)
            EXPECT_EQ(defaultBytes, testsupport::ReadAllBytes(cover));
        else
            EXPECT_FALSE(FileExists(cover));
    }
}


// What a scripted conversion does with its part.
struct ConvertScript {
    bool fail = false;  // stores a reason, asks whether to try again, then fails
    bool hold = false;  // reports half its part, then waits until told to quit
};

// Conversions speaking the conversion thread's messages from threads of their own: each
// reports its start and its percentages (the job in lParam), then leaves a WAV file of its own
// name in the target's folder, as the thread does.
class ScriptedConverter {
public:
    std::map<int, ConvertScript> scripts;  // by part index; missing: converts
    std::vector<CString> sources;
    std::vector<CString> targets;
    std::vector<LRESULT> errorReplies;
    std::atomic<bool> holding{false};
    std::atomic<ULONGLONG> cancelledAt{0};
    std::atomic<ULONGLONG> quitAfterMs{~0ULL};

    void Reset()
    {
        scripts.clear();
        sources.clear();
        targets.clear();
        errorReplies.clear();
        holding = false;
        cancelledAt = 0;
        quitAfterMs = ~0ULL;
    }

    HANDLE Start(CDownloadJob* job, DWORD* threadId)
    {
        sources.push_back(job->m_strUrl);
        targets.push_back(job->GetTargetPath());
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        auto* context = new std::pair<ScriptedConverter*, CDownloadJob*>(this, job);
        HANDLE thread = CreateThread(nullptr, 0, &ScriptedConverter::Run, context, 0, threadId);
        WaitForSingleObject(m_ready, 5000);
        CloseHandle(m_ready);
        return thread;
    }

private:
    static DWORD WINAPI Run(void* parameter)
    {
        auto* context = static_cast<std::pair<ScriptedConverter*, CDownloadJob*>*>(parameter);
        ScriptedConverter& self = *context->first;
        CDownloadJob* job = context->second;
        delete context;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(self.m_ready);
        const auto found = self.scripts.find(job->m_nPartIndex);
        const ConvertScript script = found == self.scripts.end() ? ConvertScript() : found->second;
        HWND owner = job->GetOwnerWindow();
        const LPARAM lp = reinterpret_cast<LPARAM>(job);
        int result = kConvertDone;
        if (SendMessageW(owner, WM_CONVERT_STARTED, 0, lp) != 1) {
            result = kConvertCancelled;
        } else if (script.hold) {
            PostMessageW(owner, WM_CONVERT_PROGRESS, 50, lp);
            self.holding = true;
            result = kConvertFailed;
            for (int i = 0; i < 1000; ++i) {
                if (PeekMessageW(&msg, nullptr, WM_CONVERT_QUIT, WM_CONVERT_QUIT, PM_REMOVE)) {
                    self.quitAfterMs = GetTickCount64() - self.cancelledAt;
                    result = kConvertCancelled;
                    break;
                }
                Sleep(5);
            }
            self.holding = false;
        } else if (script.fail) {
            PostMessageW(owner, WM_CONVERT_PROGRESS, 40, lp);
            job->SetErrorText(L"The data unit at 4096 cannot be decoded.");
            self.errorReplies.push_back(SendMessageW(owner, WM_CONVERT_ERROR, 1, lp));
            result = kConvertFailed;
        } else {
            for (int percent : {25, 50, 100, 130})
                PostMessageW(owner, WM_CONVERT_PROGRESS, percent, lp);
            CString wave = job->GetTargetPath();
            wave = wave.Left(wave.ReverseFind(L'\\') + 1);
            wave.AppendFormat(L"conv%u.wav", static_cast<unsigned>(GetCurrentThreadId()));
            testsupport::WriteAll(wave, std::string("RIFF\x24\0\0\0WAVEfmt ", 16));
            job->m_strTargetPath = wave;
        }
        job->SetResult(result);
        PostMessageW(owner, WM_CONVERT_END, static_cast<WPARAM>(result), lp);
        return 0;
    }
    HANDLE m_ready = nullptr;
};

// The Apple road of the page: an iPod chosen, its worker (the iPod add thread's place) and the
// conversion scripted.
class AppleProgressPage : public ProgressPage {
protected:
    void SetUp() override
    {
        ProgressPage::SetUp();
        TransferPageServices services = SetTransferPageServices({});
        services.startConverter = [this](CDownloadJob* job, DWORD* id) { return m_converter.Start(job, id); };
        SetTransferPageServices(services);
        TheiTunesImportState().Clear();
    }
    void TearDown() override
    {
        TheiTunesImportState().Clear();
        ProgressPage::TearDown();
    }
    // The parts chosen on an iPod, "Apple iPod (John's iPod)", and the Progress page opened.
    std::vector<StepRunner::Step> BeginApple(CWizardSheet& sheet)
    {
        return Begin(
            sheet,
            [&sheet] {
                sheet.m_devices.InsertAt(0, new PlayerRecord(L"John's iPod", nullptr, L"Apple iPod", NoSerialNumber(), 0));
                sheet.m_iTunesCompatible = TRUE;
            },
            L"Apple iPod (John's iPod)", L"\\");
    }
    CString TitleOf(const wchar_t* extension, const wchar_t* contentType)
    {
        App().m_contentType = contentType;
        return wizardtest::MakeTitleFolder(m_scratch, extension, 3, L"Harbour Lights", false, extension);
    }
    static CString FolderOf(const CString& path) { return path.Left(path.ReverseFind(L'\\')); }
    // The files left in a folder.
    static std::vector<CString> FilesIn(const CString& folder)
    {
        std::vector<CString> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(folder + L"\\*", &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                names.emplace_back(found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }
    ScriptedConverter m_converter;
};

// A Windows Media title to an iPod converts each part before it goes, an MP3 title goes as it
// is, and an MP3 part with its audiobook twin beside it goes as that twin. Each part reaches
// the worker with the iPod's name and the extension iTunes makes; the files the run made are
// gone at the end with their folder, the user's are all still there.
TEST_F(AppleProgressPage, EachTitleKindReachesTheiPodWorkerWithItsOwnFileAndOnlyTheRunsFilesGo)
{
    const struct {
        const wchar_t* extension;
        const wchar_t* contentType;
        bool twins;
        bool converts;
        const wchar_t* sentExtension;
        const wchar_t* jobExtension;
    } cases[] = {
        {L"wma", L"WMA Audiobook", false, true, L"wav", L"m4b"},
        {L"wma", L"WMA Music", false, true, L"wav", L"m4a"},
        {L"mp3", L"MP3 Audiobook", false, false, L"mp3", L"m4b"},
        {L"mp3", L"MP3 Audiobook", true, false, L"m4b", L"m4b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.contentType).ToNarrow() + (c.twins ? " with twins" : ""));
        m_workers.Reset();
        m_converter.Reset();
        const CString playlist = TitleOf(c.extension, c.contentType);
        const CString folder = playlist.Left(playlist.ReverseFind(L'\\'));
        for (int i = 1; i <= 3; ++i) {
            CString twin;
            twin.Format(L"%s\\%s-Part%02d.m4b", folder.GetString(), c.extension, i);
            if (c.twins)
                testsupport::WriteAll(twin, std::string("twin"));
            else
                DeleteFileW(twin);
        }
        const std::vector<CString> before = FilesIn(folder);
        CWizardSheet sheet(playlist);
        StepRunner steps(Then(BeginApple(sheet), {
            [&] { return OnPage(sheet, &sheet.m_success); },
            [&] {
                sheet.PressButton(PSBTN_FINISH);
                return true;
            },
        }));
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        ASSERT_EQ(3u, m_workers.started.size());
        ASSERT_EQ(c.converts ? 3u : 0u, m_converter.sources.size());
        const CString conversionFolder = c.converts ? FolderOf(m_converter.targets[0]) : CString();
        EXPECT_NE(folder, conversionFolder);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(CString(c.sentExtension), m_workers.sources[i].Right(3)) << m_workers.sources[i].ToNarrow();
            EXPECT_TRUE(m_workers.sourceThere[i]);
            EXPECT_EQ(0, m_workers.apple[i].Find(CString(L"John's iPod|") + c.jobExtension + L"|"));
            if (c.converts) {
                // Converted parts stay in the run's own folder, never beside the user's.
                EXPECT_EQ(0, m_workers.sources[i].Find(conversionFolder + L"\\")) << m_workers.sources[i].ToNarrow();
                EXPECT_EQ(static_cast<const CPartObject*>(sheet.m_media.m_parts[i])->m_fileName, m_converter.sources[i]);
            }
        }
        if (c.converts) {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(conversionFolder));
        }
        EXPECT_EQ(before, FilesIn(folder));
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_EQ(3, sheet.m_lastTransferredPart);
    }
}

// The page's first line names the player and the folder the parts go to; an iPod has no
// folder (iTunes keeps its tracks), so its line names none.
TEST_F(AppleProgressPage, TheMessageNamesTheFolderOnlyForAPlayerThatHasOne)
{
    const struct {
        const char* name;
        bool iPod;
        bool folderNamed;
    } cases[] = {
        {"an MTP player", false, true},
        {"an iPod", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_workers.Reset();
        m_workers.scripts[0].holdAtHalf = true;
        const CString playlist = TitleOf(L"mp3", L"MP3 Audiobook");
        CWizardSheet sheet(playlist);
        CString message;
        StepRunner steps(Then(c.iPod ? BeginApple(sheet) : Begin(sheet), {
            [&] { return m_workers.holding.load(); },
            [&] {
                if (CMarkupLabel* label = sheet.FindMarkupLabel(&sheet.m_progress, IDC_PROGRESS_MESSAGE))
                    message = label->GetWindowText();
                m_workers.release = true;
                return true;
            },
            [&] { return OnPage(sheet, &sheet.m_success); },
            [&] {
                sheet.PressButton(PSBTN_FINISH);
                return true;
            },
        }));
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        EXPECT_GE(message.Find(L"is copied to"), 0) << message.ToNarrow();
        EXPECT_EQ(c.folderNamed, message.Find(L"(folder") >= 0) << message.ToNarrow();
        if (c.folderNamed) {
            EXPECT_GE(message.Find(L"(folder \\Books)."), 0) << message.ToNarrow();
        }
    }
}

// While the user's import setting differs from the one before the transfer, the Success page
// reminds of it in place of the sentence about disconnecting.
TEST_F(AppleProgressPage, TheSuccessPageRemindsOfTheImportSettingTheUserHad)
{
    const CString playlist = TitleOf(L"wma", L"WMA Audiobook");
    iTunesImportSettings first;
    first.encoder = L"AAC Encoder";
    first.preset = L"High Quality (128 kbps)";
    TheiTunesImportState().Remember(first);
    CWizardSheet sheet(playlist);
    CString message;
    StepRunner steps(Then(BeginApple(sheet), {
        [&] { return OnPage(sheet, &sheet.m_success); },
        [&] {
            testsupport::PumpMessages(100);
            if (CMarkupLabel* label = sheet.FindMarkupLabel(&sheet.m_success, IDC_SUCCESS_MESSAGE))
                message = label->GetWindowText();
            testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.AppleSuccess");
            sheet.PressButton(PSBTN_FINISH);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    EXPECT_GE(message.Find(L"\"AAC Encoder\" with \"High Quality (128 kbps)\""), 0) << message.ToNarrow();
    EXPECT_GE(message.Find(L"your Apple iPod"), 0) << message.ToNarrow();
    EXPECT_LT(message.Find(L"You may now disconnect"), 0) << message.ToNarrow();
}

// A conversion that fails asks whether to try again with the part's name and reason; the
// answer goes back to the conversion, the run stops after the part already sent, and the
// Confirm page is back. Cancel during a conversion is heard at once, during an add the
// worker is told; no message, and no file of the run is left behind either way.
TEST_F(AppleProgressPage, AFailedOrCancelledConversionOrAddEndsTheRunWithoutLeftovers)
{
    enum class Way { ConversionFails, CancelConversion, CancelAdd };
    for (const Way way : {Way::ConversionFails, Way::CancelConversion, Way::CancelAdd}) {
        SCOPED_TRACE(static_cast<int>(way));
        m_workers.Reset();
        m_converter.Reset();
        m_boxes.Clear();
        m_boxes.SetAnswer(IDNO);
        const CString playlist = TitleOf(L"wma", L"WMA Audiobook");
        const CString folder = playlist.Left(playlist.ReverseFind(L'\\'));
        const std::vector<CString> before = FilesIn(folder);
        if (way == Way::ConversionFails)
            m_converter.scripts[1].fail = true;
        else if (way == Way::CancelConversion)
            m_converter.scripts[1].hold = true;
        else
            m_workers.scripts[0].counts = true;
        CWizardSheet sheet(playlist);
        StepRunner steps(Then(BeginApple(sheet), {
            [&] {
                if (way == Way::ConversionFails)
                    return true;
                if (way == Way::CancelAdd)
                    return m_workers.holding.load();
                // Part 1 has arrived while part 2 is still being converted.
                const PartTransferState* first = sheet.m_progress.GetPart(0);
                return m_converter.holding.load() && first && first->transferState == 2;
            },
            [&] {
                if (way == Way::CancelConversion) {
                    testsupport::CaptureWindow(sheet.m_hWnd, L"Carrowind.ConvertProgress");
                    m_converter.cancelledAt = GetTickCount64();
                }
                if (way != Way::ConversionFails)
                    sheet.PressButton(PSBTN_CANCEL);
                return true;
            },
            [&] { return OnPage(sheet, &sheet.m_confirm); },
            [&] {
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            },
        }));
        sheet.DoModal();
        EXPECT_TRUE(steps.Done());
        if (way == Way::ConversionFails) {
            ASSERT_EQ(1u, m_boxes.Boxes().size());
            EXPECT_EQ(CString(L"An error occurred while attempting to process \"Part 2\"... Would you like to try to "
                              L"process this part again?\n\nError details: The data unit at 4096 cannot be decoded."),
                      m_boxes.Boxes()[0].text);
            EXPECT_EQ((std::vector<LRESULT>{IDNO}), m_converter.errorReplies);
        } else {
            EXPECT_TRUE(m_boxes.Boxes().empty());
        }
        if (way == Way::CancelConversion) {
            EXPECT_LT(m_converter.quitAfterMs.load(), 1000u);
        }
        // Part 1 went (or was stopped on its way by the failure); no part after the stop.
        EXPECT_EQ(1u, m_workers.started.size());
        if (way == Way::ConversionFails)
            EXPECT_NE(0, sheet.m_progress.GetPart(0)->transferState);
        else
            EXPECT_EQ(way == Way::CancelAdd ? 1 : 2, sheet.m_progress.GetPart(0)->transferState);
        EXPECT_EQ(0, sheet.m_progress.GetPart(2)->transferState);
        ASSERT_FALSE(m_converter.targets.empty());
        const CString conversionFolder = FolderOf(m_converter.targets[0]);
        EXPECT_NE(folder, conversionFolder);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(conversionFolder)) << conversionFolder.ToNarrow();
        EXPECT_EQ(before, FilesIn(folder));
    }
}

// The run's conversion folder is one it made: a folder already there (another program's, an
// earlier run's) is never taken, so what lies in it is never deleted with the run's files; a
// parent that cannot hold a new folder gives none (the page then shows its failure).
TEST(ProgressPageFolders, TheConversionFolderIsAlwaysANewOne)
{
    ScratchFolder scratch;
    CString first;
    first.Format(L"%s\\Carrowind-%lu-0", scratch.Path().GetString(), GetCurrentProcessId());
    ASSERT_TRUE(CreateDirectoryW(first, nullptr));
    testsupport::WriteAll(first + L"\\notes.txt", "another program's file");
    const CString made = CPartConversion::MakeRunFolder(scratch.Path() + L"\\");
    ASSERT_FALSE(made.IsEmpty());
    EXPECT_NE(first, made);
    EXPECT_EQ(0, made.Find(scratch.Path() + L"\\"));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(made));
    EXPECT_EQ(0, testsupport::FileCount(made));
    EXPECT_EQ("another program's file", testsupport::ReadAllBytes(first + L"\\notes.txt"));
    EXPECT_NE(made, CPartConversion::MakeRunFolder(scratch.Path()));
    for (const CString& parent : {scratch / L"missing\\deeper", CString()})
        EXPECT_TRUE(CPartConversion::MakeRunFolder(parent).IsEmpty()) << parent.ToNarrow();
}

}  // namespace
