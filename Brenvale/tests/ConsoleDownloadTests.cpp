// The console's part download thread against the loopback HTTP server, driven by an owner
// window as the console's download queue drives it: questions carry their text, stop keeps
// the job, pause holds the transfer between chunks.
#include "ConsoleDownloadThread.h"
#include "HttpTestServer.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

using testsupport::FileSizeOf;

struct Report {
    UINT message;
    WPARAM wParam;
    CString text;  // the question's text
};

const wchar_t kCheckConnection[] =
    L".  Please check your Internet connection; you must be connected to the Internet to proceed with this download.";

class ConsoleDownloadTest : public HttpServerSuite {
protected:
    void SetUp() override
    {
        ASSERT_NE(s_server->Port(), 0);
        WNDCLASSW wc{};
        wc.lpfnWndProc = &ConsoleDownloadTest::Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VesperlinConsoleDownloadTestOwner";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_previous = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
            ++m_boxes;
            if (!m_answers.empty()) {
                const int answer = m_answers.front();
                m_answers.pop_front();
                return answer;
            }
            return (box.type & MB_YESNO) ? IDNO : IDOK;
        });
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(m_previous);
        DestroyWindow(m_hwnd);
    }

    CDownloadJob MakeJob(const wchar_t* path, const CString& target)
    {
        CDownloadJob job(nullptr, nullptr);
        job.m_strUrl = s_server->Url(path);
        job.m_strTargetPath = target;
        job.m_strClientId = L"{client}";
        job.m_strLicense = L"licence text";
        job.m_nPartIndex = 0;
        job.m_hOwnerWnd = m_hwnd;
        return job;
    }

    // Runs the job on a new console download thread; returns its exit code once it has ended
    // and its reports have been handled. beforeStart may act on the thread before 0x510;
    // alsoPost is posted right behind it.
    DWORD Run(CDownloadJob& job, std::function<void(CConsoleDownloadThread*)> beforeStart = {}, UINT alsoPost = 0)
    {
        m_reports.clear();
        HANDLE own = nullptr;
        CWinThread* thread =
            AfxBeginThread(RUNTIME_CLASS(CConsoleDownloadThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
        EXPECT_NE(thread, nullptr);
        if (!thread)
            return 0xFFFFFFFF;
        m_thread = static_cast<CConsoleDownloadThread*>(thread);
        if (beforeStart)
            beforeStart(m_thread);
        thread->PostThreadMessage(WM_DOWNLOAD_START, 0, reinterpret_cast<LPARAM>(&job));
        if (alsoPost)
            thread->PostThreadMessage(alsoPost, 0, 0);
        DWORD code = 0xFFFFFFFF;
        EXPECT_TRUE(AfxWaitForThreadEnd(own, 60000, &code)) << "the download thread did not end";
        CloseHandle(own);
        m_thread = nullptr;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        return code;
    }

    std::vector<Report> Of(UINT message) const
    {
        std::vector<Report> found;
        for (const auto& r : m_reports)
            if (r.message == message)
                found.push_back(r);
        return found;
    }

    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<ConsoleDownloadTest*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self || message < WM_DOWNLOAD_STARTED || message > WM_DOWNLOAD_ERROR)
            return DefWindowProcW(hwnd, message, wParam, lParam);
        if (message == WM_DOWNLOAD_ERROR) {
            const CString text(reinterpret_cast<const wchar_t*>(lParam));
            self->m_reports.push_back({message, wParam, text});
            return AfxMessageBox(text, wParam ? MB_YESNO | MB_ICONQUESTION : MB_OK | MB_ICONERROR);
        }
        self->m_reports.push_back({message, wParam, CString()});
        if (self->m_onReport)
            self->m_onReport(self->m_reports.back());
        return 0;
    }

    HWND m_hwnd = nullptr;
    CConsoleDownloadThread* m_thread = nullptr;
    std::vector<Report> m_reports;
    std::function<void(const Report&)> m_onReport;
    std::deque<int> m_answers;
    int m_boxes = 0;
    ScratchFolder m_folder;
    AfxMessageBoxHandler m_previous;
};

TEST_F(ConsoleDownloadTest, ACompletePartReplacesTheOlderFileAndCarriesTheHeaders)
{
    const CString target = m_folder / L"Part 1.wma";
    WriteAll(target, std::string("older version"));
    CDownloadJob job = MakeJob(L"/file/300000", target);
    EXPECT_EQ(Run(job), 200u);
    EXPECT_EQ(job.GetResult(), 200);
    EXPECT_EQ(ReadAll(target), ServerBody(300000));
    EXPECT_FALSE(Exists(target + L".tmp"));
    ASSERT_FALSE(m_reports.empty());
    EXPECT_EQ(m_reports.front().message, WM_DOWNLOAD_STARTED);
    EXPECT_EQ(m_reports.back().message, WM_DOWNLOAD_DONE);
    EXPECT_EQ(m_reports.back().wParam, 200u);
    const auto progress = Of(WM_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front().wParam, 3u) << "the first chunk is reported (10,240 of 300,000 bytes)";
    EXPECT_EQ(progress.back().wParam, 100u);
    const auto requests = s_server->RequestsFor("/file/300000");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].find(R"(["ClientID", "{client}"])"), std::string::npos) << requests[0];
    EXPECT_NE(requests[0].find(R"(["License", "licence text"])"), std::string::npos) << requests[0];
}

TEST_F(ConsoleDownloadTest, CancelEndsTheJobWithTwoAndLeavesNoTemporaryFile)
{
    const CString target = m_folder / L"cancelled.wma";
    CDownloadJob job = MakeJob(L"/slow/2000000/10240/20", target);
    m_onReport = [this](const Report& r) {
        if (r.message == WM_DOWNLOAD_PROGRESS)
            m_thread->PostThreadMessage(WM_DOWNLOAD_CANCEL, 0, 0);
    };
    EXPECT_EQ(Run(job), static_cast<DWORD>(kDownloadCancelled));
    EXPECT_EQ(m_reports.back().wParam, static_cast<WPARAM>(kDownloadCancelled));
    EXPECT_FALSE(Exists(target));
    EXPECT_FALSE(Exists(target + L".tmp"));
    EXPECT_EQ(m_boxes, 0);
}

TEST_F(ConsoleDownloadTest, AStoppedJobEndsWithThreeAndStartsAgainFromTheBottom)
{
    const CString target = m_folder / L"stopped.wma";
    CDownloadJob job = MakeJob(L"/slow/400000/10240/10", target);
    WPARAM lastBeforeStop = 0;
    m_onReport = [&](const Report& r) {
        if (r.message == WM_DOWNLOAD_PROGRESS && Of(WM_DOWNLOAD_PROGRESS).size() == 8) {
            lastBeforeStop = r.wParam;
            m_thread->PostThreadMessage(WM_DOWNLOAD_STOP, 0, 0);
        }
    };
    EXPECT_EQ(Run(job), static_cast<DWORD>(kDownloadStopped));
    EXPECT_EQ(m_reports.back().wParam, static_cast<WPARAM>(kDownloadStopped));
    EXPECT_FALSE(Exists(target + L".tmp"));
    EXPECT_GE(lastBeforeStop, 5u);

    // The queue keeps the job and fetches it again later: progress starts from the bottom.
    m_onReport = {};
    EXPECT_EQ(Run(job), 200u);
    const auto progress = Of(WM_DOWNLOAD_PROGRESS);
    ASSERT_FALSE(progress.empty());
    EXPECT_LT(progress.front().wParam, lastBeforeStop);
    EXPECT_EQ(ReadAll(target), ServerBody(400000));
    EXPECT_FALSE(Exists(target + L".tmp"));
}

TEST_F(ConsoleDownloadTest, PauseHoldsTheTransferBetweenChunksUntilResumed)
{
    struct Case {
        const char* name;
        bool pausedFromTheStart;
    };
    for (const Case& c : {Case{"paused mid-transfer", false}, Case{"started paused", true}}) {
        SCOPED_TRACE(c.name);
        const CString target = m_folder / L"paused.wma";
        const CString temp = target + L".tmp";
        CDownloadJob job = MakeJob(L"/slow/300000/10240/5", target);
        LONGLONG heldAt = -1, heldLater = -1;
        size_t reportsWhileHeld = 0;
        // Progress of the chunk in flight when the pause came is let through first.
        auto progressWaiting = [this]() {
            size_t count = 0;
            MSG msg;
            while (PeekMessageW(&msg, m_hwnd, WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_PROGRESS, PM_REMOVE))
                ++count;
            return count;
        };
        auto holdAndResume = [&]() {
            Sleep(300);
            progressWaiting();
            heldAt = FileSizeOf(temp);
            Sleep(700);
            heldLater = FileSizeOf(temp);
            reportsWhileHeld = progressWaiting();
            m_thread->SetPaused(false);
        };
        if (c.pausedFromTheStart) {
            m_onReport = [&](const Report& r) {
                if (r.message == WM_DOWNLOAD_STARTED)
                    holdAndResume();
            };
        } else {
            m_onReport = [&](const Report& r) {
                if (r.message == WM_DOWNLOAD_PROGRESS && !m_thread->IsPaused() && heldAt < 0) {
                    m_thread->SetPaused(true);
                    holdAndResume();
                }
            };
        }
        EXPECT_EQ(Run(job, [&](CConsoleDownloadThread* t) { t->SetPaused(c.pausedFromTheStart); }), 200u);
        EXPECT_GE(heldAt, 0);
        EXPECT_EQ(heldAt, heldLater) << "the paused thread went on writing";
        EXPECT_EQ(reportsWhileHeld, 0u);
        if (c.pausedFromTheStart) {
            EXPECT_EQ(heldAt, 0);
        }
        EXPECT_EQ(ReadAll(target), ServerBody(300000));
        EXPECT_FALSE(Exists(temp));
        m_onReport = {};
    }
}

TEST_F(ConsoleDownloadTest, QuestionsCarryTheirTextAndTheAnswerDecides)
{
    // A 500, then "yes": the request is sent again and the part completes.
    const CString flaky = m_folder / L"flaky.wma";
    m_answers = {IDYES};
    CDownloadJob again = MakeJob(L"/flaky/console/200000", flaky);
    EXPECT_EQ(Run(again), 200u);
    auto questions = Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].wParam, 1u);
    EXPECT_EQ(questions[0].text, CString(L"The download server returned response code 500") + kCheckConnection);
    EXPECT_EQ(s_server->RequestsFor("/flaky/console/200000").size(), 2u);
    EXPECT_EQ(ReadAll(flaky), ServerBody(200000));

    // A body cut short is a lost connection, never a part.
    const CString cut = m_folder / L"cut.wma";
    CDownloadJob truncated = MakeJob(L"/truncated/300000/100000", cut);
    EXPECT_EQ(Run(truncated), static_cast<DWORD>(IDOK));
    questions = Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].wParam, 0u);
    EXPECT_EQ(questions[0].text.Find(L"The connection to the Internet has been lost ("), 0) << questions[0].text.GetString();
    EXPECT_NE(questions[0].text.Find(kCheckConnection), -1);
    EXPECT_FALSE(Exists(cut));
    EXPECT_FALSE(Exists(cut + L".tmp"));
}

TEST_F(ConsoleDownloadTest, AQuestionWhileAStopOrCancelWaitsIsAnsweredWithoutABox)
{
    struct Case {
        UINT message;
        int result;
    };
    for (const Case& c : {Case{WM_DOWNLOAD_STOP, kDownloadStopped}, Case{WM_DOWNLOAD_CANCEL, kDownloadCancelled}}) {
        SCOPED_TRACE(c.message);
        m_boxes = 0;
        CDownloadJob job = MakeJob(L"/status/404", m_folder / L"missing.wma");
        EXPECT_EQ(Run(job, {}, c.message), static_cast<DWORD>(c.result));
        EXPECT_TRUE(Of(WM_DOWNLOAD_ERROR).empty());
        EXPECT_EQ(m_boxes, 0);
        EXPECT_EQ(m_reports.back().wParam, static_cast<WPARAM>(c.result));
    }
}

}  // namespace
