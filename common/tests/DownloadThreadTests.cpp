// The part download thread against a real HTTP server on loopback, driven by an owner
// window that records every report and answers the questions from a script.
#include <winsock2.h>  // before the headers that bring windows.h

#include "DownloadThread.h"
#include "HttpTestServer.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace testsupport;

// A local file that, once the position reaches a mark, stores only half of a chunk and then
// fails as a full disk does; everything else goes to the real file.
class CShortWriteFile : public CFile {
public:
    CShortWriteFile(CFile* inner, ULONGLONG failAt) : m_inner(inner), m_failAt(failAt) {}
    ~CShortWriteFile() override { delete m_inner; }
    void Write(const void* buffer, UINT count) override
    {
        if (!m_failed && m_inner->GetPosition() >= m_failAt) {
            m_failed = true;
            m_inner->Write(buffer, count / 2);
            AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL);
        }
        m_inner->Write(buffer, count);
    }
    ULONGLONG Seek(LONGLONG offset, UINT from) override { return m_inner->Seek(offset, from); }
    ULONGLONG GetPosition() const override { return m_inner->GetPosition(); }
    void Abort() override { m_inner->Abort(); }
    void Close() override { m_inner->Close(); }

private:
    CFile* m_inner;
    ULONGLONG m_failAt;
    bool m_failed = false;
};

// The download thread with its local file behind CShortWriteFile.
class CShortWriteDownloadThread : public CDownloadThread {
    DECLARE_DYNCREATE(CShortWriteDownloadThread)
public:
    BOOL OnIdle(LONG count) override
    {
        if (m_pLocalFile && !m_wrapped) {
            m_wrapped = true;
            m_pLocalFile = new CShortWriteFile(m_pLocalFile, 20000);
        }
        return CDownloadThread::OnIdle(count);
    }

private:
    bool m_wrapped = false;
};
IMPLEMENT_DYNCREATE(CShortWriteDownloadThread, CDownloadThread)

// The download thread with time-outs short enough for a test to wait them out.
class CQuickTimeoutDownloadThread : public CDownloadThread {
    DECLARE_DYNCREATE(CQuickTimeoutDownloadThread)
public:
    CQuickTimeoutDownloadThread() { m_timeouts = {2000, 1000, 1000}; }
};
IMPLEMENT_DYNCREATE(CQuickTimeoutDownloadThread, CDownloadThread)

namespace {

std::vector<BYTE> Bytes(const std::string& text) { return std::vector<BYTE>(text.begin(), text.end()); }

// A port on loopback that takes no more connections: it listens with no room to queue and
// two connects already fill it, so a third one's attempt is never answered.
class BlackHole {
public:
    BlackHole()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (m_listener == INVALID_SOCKET || bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) ||
            listen(m_listener, 0) || getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length))
            return;
        for (SOCKET& filler : m_fillers) {
            filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        }
        Sleep(200);
        m_port = ntohs(address.sin_port);
    }
    ~BlackHole()
    {
        for (SOCKET filler : m_fillers)
            if (filler != INVALID_SOCKET)
                closesocket(filler);
        if (m_listener != INVALID_SOCKET)
            closesocket(m_listener);
        WSACleanup();
    }
    int Port() const { return m_port; }
    CString Url(const wchar_t* path) const
    {
        CString url;
        url.Format(L"http://127.0.0.1:%d%s", m_port, path);
        return url;
    }

private:
    SOCKET m_listener = INVALID_SOCKET;
    SOCKET m_fillers[2] = {INVALID_SOCKET, INVALID_SOCKET};
    int m_port = 0;
};

struct Report {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    CString text;  // the job's error text, for questions
};

// A message-only window on the test thread, standing in for a program's owner window.
// Questions are answered through the message-box funnel, as the programs do.
class TestOwner {
public:
    TestOwner() : m_window([this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        return Handle(message, wParam, lParam, result);
    }) {}
    HWND Hwnd() const { return m_window.Hwnd(); }

    std::vector<Report> reports;
    // Called before a question is answered (to repair what failed) and on every posted report.
    std::function<void(const Report&)> beforeAnswer;
    std::function<void(const Report&)> onReport;
    // Deletes the job when WM_DOWNLOAD_DONE arrives, as the console's queue does.
    bool deleteJobOnDone = false;

    std::vector<Report> Of(UINT message) const
    {
        std::vector<Report> found;
        for (const auto& r : reports)
            if (r.message == message)
                found.push_back(r);
        return found;
    }

private:
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
    {
        if (message < WM_DOWNLOAD_STARTED || message > WM_DOWNLOAD_ERROR)
            return false;
        auto* job = reinterpret_cast<CDownloadJob*>(lParam);
        Report report{message, wParam, lParam, CString()};
        if (message == WM_DOWNLOAD_ERROR) {
            report.text = job->GetErrorText();
            reports.push_back(report);
            if (beforeAnswer)
                beforeAnswer(report);
            *result = AfxMessageBox(report.text, wParam ? MB_YESNO | MB_ICONQUESTION : MB_OK | MB_ICONERROR);
            return true;
        }
        reports.push_back(report);
        if (onReport)
            onReport(report);
        if (message == WM_DOWNLOAD_DONE && deleteJobOnDone)
            delete job;
        return true;
    }
    testsupport::OwnerWindow m_window;
};

class DownloadThreadTest : public HttpServerSuite {
protected:
    void SetUp() override
    {
        ASSERT_NE(s_server->Port(), 0);
        m_previous = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
            m_boxTypes.push_back(box.type);
            if (!m_answers.empty()) {
                const int answer = m_answers.front();
                m_answers.pop_front();
                return answer;
            }
            return (box.type & MB_YESNO) ? IDNO : IDOK;
        });
    }
    void TearDown() override { AfxSetMessageBoxHandler(m_previous); }

    std::unique_ptr<CDownloadJob> MakeJob(const CString& url, const CString& target, bool withOwner = true)
    {
        auto job = std::make_unique<CDownloadJob>(nullptr, nullptr);
        job->m_strUrl = url;
        job->m_strTargetPath = target;
        if (withOwner)
            job->m_hOwnerWnd = m_owner.Hwnd();
        return job;
    }

    // Runs one job on a new download thread the way the programs do, and returns the thread's
    // exit code once it has ended and every report has been handled.
    DWORD Run(CDownloadJob* job, const CRuntimeClass* threadClass = RUNTIME_CLASS(CDownloadThread))
    {
        HANDLE own = nullptr;
        CWinThread* thread = AfxBeginThread(threadClass, THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
        EXPECT_NE(thread, nullptr);
        if (!thread)
            return 0xFFFFFFFF;
        m_threadId = thread->m_nThreadID;
        thread->PostThreadMessage(WM_DOWNLOAD_START, 0, reinterpret_cast<LPARAM>(job));
        DWORD code = 0xFFFFFFFF;
        EXPECT_TRUE(AfxWaitForThreadEnd(own, 60000, &code)) << "the download thread did not end";
        CloseHandle(own);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        return code;
    }

    // Reports in their order: STARTED first of the posted ones, DONE(result) last, progress
    // above 0 and changing. A question is sent, so the owner may see it before the posted
    // STARTED that came first.
    void ExpectReportShape(const CDownloadJob* job, int result)
    {
        const auto& reports = m_owner.reports;
        ASSERT_GE(reports.size(), 2u);
        const auto firstPosted = std::find_if(reports.begin(), reports.end(),
                                              [](const auto& r) { return r.message != WM_DOWNLOAD_ERROR; });
        ASSERT_NE(firstPosted, reports.end());
        EXPECT_EQ(firstPosted->message, WM_DOWNLOAD_STARTED);
        EXPECT_EQ(reports.back().message, WM_DOWNLOAD_DONE);
        EXPECT_EQ(reports.back().wParam, static_cast<WPARAM>(result));
        EXPECT_EQ(m_owner.Of(WM_DOWNLOAD_DONE).size(), 1u);
        for (const auto& r : reports)
            EXPECT_EQ(r.lParam, reinterpret_cast<LPARAM>(job));
        LONGLONG last = 0;
        for (const auto& r : m_owner.Of(WM_DOWNLOAD_PROGRESS)) {
            const auto percent = static_cast<LONGLONG>(r.wParam);
            EXPECT_GT(percent, last) << "progress must rise and never report 0";
            last = percent;
        }
    }

    LONGLONG LastProgress() const
    {
        auto progress = m_owner.Of(WM_DOWNLOAD_PROGRESS);
        return progress.empty() ? -1 : static_cast<LONGLONG>(progress.back().wParam);
    }

    TestOwner m_owner;
    std::deque<int> m_answers;
    std::vector<UINT> m_boxTypes;
    DWORD m_threadId = 0;
    ScratchFolder m_folder;
    AfxMessageBoxHandler m_previous;
};

struct Question {
    WPARAM mayRetry;  // the question's flags
    const wchar_t* text;  // the full message
};

// A retry offered, and one offered for a lasting answer of the server (not the default).
constexpr WPARAM kRetry = kDownloadMayRetry;
constexpr WPARAM kRetryFinal = kDownloadMayRetry | kDownloadAnswerIsFinal;

struct OutcomeCase {
    const char* name;
    const wchar_t* path;  // on the test server (a full URL when it has "://")
    ULONGLONG expectedSize;
    std::vector<int> answers;
    int result;
    std::vector<Question> questions;
    long long newBytes;      // the target's size afterwards; -1: the old target is kept
    LONGLONG lastProgress;   // -1: no progress report at all
    size_t requests;         // requests the server received for the path
};

const wchar_t kLost[] =
    L"The connection to the Internet has been lost.  Please check your Internet connection; you must be connected to "
    L"the Internet to download (The connection with the server has been terminated.).";
// The questions of a lost connection and of one never made, up to the library's text.
const wchar_t kLostPrefix[] = L"The connection to the Internet has been lost.  Please check your Internet connection; "
                              L"you must be connected to the Internet to download (";
const wchar_t kNotConnectedPrefix[] = L"Unable to establish a connection to the Internet.  Please check your Internet "
                                      L"connection; you must be connected to the Internet to download (";
const wchar_t kRedirected[] = L"The download server returned response code 302.";

TEST_F(DownloadThreadTest, OutcomesOfTheServersAnswers)
{
    const OutcomeCase cases[] = {
        {"complete file", L"/file/100000", 0, {}, 200, {}, 100000, 100, 1},
        // A file that is not there (or no longer) will not come by asking again: the retry
        // is offered, not proposed.
        {"404, retried once, then refused", L"/status/404", 0, {IDYES, IDNO}, IDNO,
         {{kRetryFinal, L"The download server returned response code 404."},
          {kRetryFinal, L"The download server returned response code 404."}},
         -1, -1, 2},
        {"410, refused", L"/status/410", 0, {IDNO}, IDNO, {{kRetryFinal, L"The download server returned response code 410."}},
         -1, -1, 1},
        {"503, refused", L"/status/503", 0, {IDNO}, IDNO, {{kRetry, L"The download server returned response code 503."}},
         -1, -1, 1},
        {"500 then 200 on retry", L"/flaky/outcomes/5000", 0, {IDYES}, 200,
         {{kRetry, L"The download server returned response code 500."}}, 5000, 100, 2},
        // A Content-Length that cannot be a size, or two that disagree: nothing could tell a
        // cut body from a whole one, so the answer is refused before a byte is stored.
        {"Content-Length of 20 digits", L"/length/100/99999999999999999999", 0, {IDNO}, IDNO,
         {{kRetryFinal, L"The download server returned a file size that is not a number of bytes (Content-Length: "
                        L"99999999999999999999)."}},
         -1, -1, 1},
        {"Content-Length of -1", L"/length/100/-1", 0, {IDNO}, IDNO,
         {{kRetryFinal, L"The download server returned a file size that is not a number of bytes (Content-Length: -1)."}},
         -1, -1, 1},
        {"Content-Length of 2^64", L"/length/100/18446744073709551616", 0, {IDNO}, IDNO,
         {{kRetryFinal, L"The download server returned a file size that is not a number of bytes (Content-Length: "
                        L"18446744073709551616)."}},
         -1, -1, 1},
        {"Content-Length of 2^63", L"/length/100/9223372036854775808", 0, {IDNO}, IDNO,
         {{kRetryFinal, L"The download server returned a file size that is not a number of bytes (Content-Length: "
                        L"9223372036854775808)."}},
         -1, -1, 1},
        {"Content-Length with a sign", L"/length/100/+100", 0, {IDNO}, IDNO,
         {{kRetryFinal, L"The download server returned a file size that is not a number of bytes (Content-Length: +100)."}},
         -1, -1, 1},
        {"two different Content-Lengths", L"/length/100/100/200", 0, {IDNO}, IDNO,
         {{kRetryFinal,
           L"The download server returned a file size that is not a number of bytes (Content-Length: 100, 200)."}},
         -1, -1, 1},
        {"two different Content-Lengths in one line", L"/length/100/100%2C%2099", 0, {IDNO}, IDNO,
         {{kRetryFinal,
           L"The download server returned a file size that is not a number of bytes (Content-Length: 100, 99)."}},
         -1, -1, 1},
        {"the same Content-Length twice", L"/length/100/100/100", 0, {}, 200, {}, 100, 100, 1},
        {"the same Content-Length twice in one line", L"/length/100/100%2C100", 0, {}, 200, {}, 100, 100, 1},
        // Without any size the percentage runs against 17,408,000 bytes.
        {"no Content-Length, no expected size", L"/nolength/400000", 0, {}, 200, {}, 400000, 2, 1},
        // The expected size stands in for the length, and the percentage may pass 100.
        {"no Content-Length, expected size", L"/nolength/400000", 200000, {}, 200, {}, 400000, 200, 1},
        // An expected size over 4 GiB is kept whole: 400,000 bytes stay below 1 % (and fall short).
        {"no Content-Length, expected size over 4 GiB", L"/nolength/400000", 4295167296ULL, {}, IDOK, {{0, kLost}}, -1,
         -1, 1},
        // Without a Content-Length a cut looks like the end: the order file's size tells them apart.
        {"no Content-Length, shorter than expected", L"/nolength/10000", 30000, {}, IDOK, {{0, kLost}}, -1, 33, 1},
        {"chunked body as long as expected", L"/chunked/100000", 100000, {}, 200, {}, 100000, 100, 1},
        {"chunked body, no expected size", L"/chunked/30000", 0, {}, 200, {}, 30000, -1, 1},
        {"chunked body cut inside a chunk", L"/chunked/30000/10000", 30000, {}, IDOK, {{0, kLost}}, -1, 33, 1},
        {"chunked body cut after a whole chunk", L"/chunked/30000/8192", 30000, {}, IDOK, {{0, kLost}}, -1, 27, 1},
        // Ten redirects are followed (absolute and relative places); the eleventh is refused.
        {"ten redirects", L"/redirect/10/file/5000", 0, {}, 200, {}, 5000, 100, 1},
        {"eleven redirects", L"/redirect/11/file/5000", 0, {IDNO}, IDNO, {{1, kRedirected}}, -1, -1, 1},
        // A redirect is followed only to an HTTP or HTTPS place.
        {"redirect to an FTP place", L"/moved?to=ftp%3A%2F%2F127.0.0.1%2Fpart.wma", 0, {IDNO}, IDNO, {{1, kRedirected}},
         -1, -1, 1},
        // A loop is refused after ten hops; a retry follows ten more.
        {"redirect loop, retried once", L"/loop", 0, {IDYES, IDNO}, IDNO, {{1, kRedirected}, {1, kRedirected}}, -1, -1,
         22},
        {"zero-byte body", L"/empty", 0, {}, 200, {}, 0, -1, 1},
        // A short body is a lost connection, never a complete file.
        {"truncated body", L"/truncated/30000/1000", 0, {}, IDOK, {{0, kLost}}, -1, 3, 1},
        // Over 4 GiB announced: 100,000 bytes are far below 1 %, and the size must not wrap.
        {"truncated body over 4 GiB", L"/truncated/4295067296/100000", 0, {}, IDOK, {{0, kLost}}, -1, -1, 1},
        {"ftp URL", L"ftp://127.0.0.1/part.wma", 0, {}, IDOK,
         {{0, L"Unable to parse the source URL \"ftp://127.0.0.1/part.wma\" into a proper HTTP download request."}}, -1,
         -1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_owner.reports.clear();
        m_boxTypes.clear();
        m_answers.assign(c.answers.begin(), c.answers.end());
        const CString path(c.path);
        const CString url = path.Find(L"://") >= 0 ? path : s_server->Url(c.path);
        const size_t before = s_server->RequestsFor(CString(c.path).ToNarrow()).size();
        const CString target = m_folder / L"part.wma";
        WriteAll(target, std::string("old part"));

        auto job = MakeJob(url, target);
        job->m_nExpectedSize = c.expectedSize;
        const DWORD code = Run(job.get());

        EXPECT_EQ(code, static_cast<DWORD>(c.result));
        EXPECT_EQ(job->GetResult(), c.result);
        ExpectReportShape(job.get(), c.result);
        auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
        EXPECT_EQ(questions.size(), c.questions.size());
        for (size_t i = 0; i < std::min(questions.size(), c.questions.size()); ++i) {
            EXPECT_EQ(questions[i].wParam, c.questions[i].mayRetry);
            EXPECT_EQ(questions[i].text, c.questions[i].text);
            EXPECT_EQ(m_boxTypes[i] & MB_TYPEMASK, c.questions[i].mayRetry ? UINT(MB_YESNO) : UINT(MB_OK));
        }
        EXPECT_EQ(LastProgress(), c.lastProgress);
        if (c.newBytes >= 0)
            EXPECT_EQ(ReadAll(target), ServerBody(static_cast<size_t>(c.newBytes)));
        else
            EXPECT_EQ(ReadAll(target), Bytes("old part"));
        EXPECT_EQ(GetFileAttributesW(job->GetTempPath()), INVALID_FILE_ATTRIBUTES) << "the .tmp file stayed";
        if (path.Find(L"://") < 0) {
            EXPECT_EQ(s_server->RequestsFor(CString(c.path).ToNarrow()).size() - before, c.requests);
        }
    }
}

TEST_F(DownloadThreadTest, AJobWithoutAnOwnerEndsAtItsFirstFailureWithoutQuestions)
{
    struct Case {
        const char* name;
        CString url;
        int result;
        bool targetMade;
    };
    const Case cases[] = {
        {"complete", s_server->Url(L"/file/20000"), 200, true},
        {"refused connection", L"http://127.0.0.1:1/part.wma", kDownloadAbandoned, false},
        {"bad status", s_server->Url(L"/status/500"), kDownloadRefused, false},
        {"lost connection", s_server->Url(L"/truncated/20000/100"), kDownloadAbandoned, false},
        {"no HTTP URL", L"file:///c:/part.wma", kDownloadAbandoned, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_boxTypes.clear();
        const CString target = m_folder / L"quiet.bin";
        DeleteFileW(target);
        auto job = MakeJob(c.url, target, false);
        EXPECT_EQ(Run(job.get()), static_cast<DWORD>(c.result));
        EXPECT_EQ(job->GetResult(), c.result);
        EXPECT_TRUE(m_boxTypes.empty());
        EXPECT_TRUE(m_owner.reports.empty());
        EXPECT_EQ(GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES, c.targetMade);
    }
}

TEST_F(DownloadThreadTest, ANullJobEndsTheThreadWithTheNoJobExitCode)
{
    EXPECT_EQ(Run(nullptr), static_cast<DWORD>(kDownloadNoJob));
    EXPECT_TRUE(m_owner.reports.empty());
}

TEST_F(DownloadThreadTest, ConnectionFailuresOfferARetry)
{
    m_answers = {IDYES, IDNO};
    auto job = MakeJob(L"http://127.0.0.1:1/part.wma", m_folder / L"part.wma");
    EXPECT_EQ(Run(job.get()), static_cast<DWORD>(IDNO));
    auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 2u);
    for (const auto& q : questions) {
        EXPECT_EQ(q.wParam, 1u);
        EXPECT_EQ(q.text.Find(L"Unable to establish a connection to the Internet."), 0) << q.text.ToNarrow();
        EXPECT_EQ(q.text.Right(2), L").");
        EXPECT_EQ(q.text.FindOneOf(L"\r\n"), -1);
    }
    ExpectReportShape(job.get(), IDNO);
}

TEST_F(DownloadThreadTest, CancelDuringTheTransferKeepsTheOlderTarget)
{
    const CString target = m_folder / L"slow.wma";
    WriteAll(target, std::string("older version"));
    // 2,000,000 bytes in 10,240-byte drips every 20 ms: about 4 s unless cancelled.
    auto job = MakeJob(s_server->Url(L"/slow/2000000/10240/20"), target);
    m_owner.onReport = [this](const Report& r) {
        if (r.message == WM_DOWNLOAD_PROGRESS)
            PostThreadMessageW(m_threadId, WM_DOWNLOAD_CANCEL, 0, 0);
    };
    EXPECT_EQ(Run(job.get()), static_cast<DWORD>(kDownloadCancelled));
    EXPECT_EQ(job->GetResult(), kDownloadCancelled);
    ExpectReportShape(job.get(), kDownloadCancelled);
    EXPECT_LT(LastProgress(), 100);
    EXPECT_TRUE(m_owner.Of(WM_DOWNLOAD_ERROR).empty());
    EXPECT_EQ(ReadAll(target), Bytes("older version"));
    EXPECT_EQ(GetFileAttributesW(target + L".tmp"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadThreadTest, ACancelEndsTheJobWithinASecondWhateverTheServerDoes)
{
    BlackHole blackHole;
    ASSERT_NE(blackHole.Port(), 0);
    struct Case {
        const char* name;
        CString url;
        UINT message = WM_DOWNLOAD_CANCEL;
        int result = kDownloadCancelled;
    };
    const Case cases[] = {
        {"stalls in the middle of the body", s_server->Url(L"/stall/300000/20000")},
        {"accepts and never answers", s_server->Url(L"/silent")},
        {"one byte every ten seconds", s_server->Url(L"/slow/100000/1/10000")},
        {"slow redirects", s_server->Url(L"/slowredirect/20/1000/file/5000")},
        {"a connect that gets no answer", blackHole.Url(L"/part.wma")},
        // The console's stop ends the same waits, with its own result.
        {"stopped while the server never answers", s_server->Url(L"/silent"), WM_DOWNLOAD_STOP, kDownloadStopped},
        {"stopped in the middle of a stalled body", s_server->Url(L"/stall/300000/20000"), WM_DOWNLOAD_STOP,
         kDownloadStopped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_owner.reports.clear();
        const CString target = m_folder / L"cancelled.wma";
        WriteAll(target, std::string("older version"));
        auto job = MakeJob(c.url, target);
        // The cancel comes once the server has had time to start what it does.
        std::atomic<ULONGLONG> cancelledAt{0};
        std::thread canceller;
        m_owner.onReport = [&](const Report& r) {
            if (r.message == WM_DOWNLOAD_STARTED)
                canceller = std::thread([this, &cancelledAt, &c] {
                    Sleep(1500);
                    cancelledAt = GetTickCount64();
                    PostThreadMessageW(m_threadId, c.message, 0, 0);
                });
        };
        EXPECT_EQ(Run(job.get()), static_cast<DWORD>(c.result));
        const ULONGLONG endedAt = GetTickCount64();
        if (canceller.joinable())
            canceller.join();
        ASSERT_NE(cancelledAt.load(), 0u);
        EXPECT_LT(endedAt - cancelledAt.load(), 1000u) << "the cancel waited for the server";
        ExpectReportShape(job.get(), c.result);
        EXPECT_TRUE(m_owner.Of(WM_DOWNLOAD_ERROR).empty());
        EXPECT_EQ(ReadAll(target), Bytes("older version"));
        EXPECT_EQ(GetFileAttributesW(target + L".tmp"), INVALID_FILE_ATTRIBUTES);
    }
    m_owner.onReport = nullptr;
}

TEST_F(DownloadThreadTest, AConnectThatGetsNoAnswerTimesOutAtItsOwnLimit)
{
    BlackHole blackHole;
    ASSERT_NE(blackHole.Port(), 0);
    m_answers = {IDNO};
    auto job = MakeJob(blackHole.Url(L"/part.wma"), m_folder / L"nowhere.wma");
    const ULONGLONG begun = GetTickCount64();
    EXPECT_EQ(Run(job.get(), RUNTIME_CLASS(CQuickTimeoutDownloadThread)), static_cast<DWORD>(IDNO));
    const ULONGLONG took = GetTickCount64() - begun;
    // The connect limit of that thread is 2 s (WinINet's own would wait minutes).
    EXPECT_GE(took, 1900u);
    EXPECT_LT(took, 3500u);
    auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].wParam, 1u);
    EXPECT_EQ(questions[0].text, CString(kNotConnectedPrefix) + L"The server did not answer in time.).");
    ExpectReportShape(job.get(), IDNO);
}

TEST_F(DownloadThreadTest, AServerThatClosesWithoutAnsweringIsNamedSo)
{
    // The connection was made: it is told as lost, not as one that could not be made.
    m_answers = {IDYES, IDNO};
    auto job = MakeJob(s_server->Url(L"/hangup"), m_folder / L"hangup.wma");
    EXPECT_EQ(Run(job.get()), static_cast<DWORD>(IDNO));
    auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 2u);
    for (const auto& q : questions) {
        EXPECT_EQ(q.wParam, kRetry);
        EXPECT_EQ(q.text, CString(kLostPrefix) + L"The server closed the connection without answering.).");
    }
    ExpectReportShape(job.get(), IDNO);
    EXPECT_GE(s_server->RequestsFor("/hangup").size(), 2u);
}

TEST_F(DownloadThreadTest, AServerThatStaysSilentTimesOut)
{
    struct Case {
        const char* name;
        const wchar_t* path;
        bool withOwner;
        int result;
        WPARAM mayRetry;
        const wchar_t* questionPrefix;  // null: no question
    };
    const Case cases[] = {
        // The server took the connection: what went wrong is not the way to it.
        {"accepts and never answers", L"/silent", true, IDNO, kRetry, kLostPrefix},
        {"stalls in the middle of the body", L"/stall/30000/10000", true, IDOK, 0, kLostPrefix},
        {"never answers a job without an owner", L"/silent", false, kDownloadAbandoned, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        m_owner.reports.clear();
        m_answers = {c.result};
        const CString target = m_folder / L"silent.wma";
        WriteAll(target, std::string("old part"));
        auto job = MakeJob(s_server->Url(c.path), target, c.withOwner);
        EXPECT_EQ(Run(job.get(), RUNTIME_CLASS(CQuickTimeoutDownloadThread)), static_cast<DWORD>(c.result));
        EXPECT_EQ(job->GetResult(), c.result);
        auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
        ASSERT_EQ(questions.size(), c.questionPrefix ? 1u : 0u);
        if (c.questionPrefix) {
            const CString& text = questions[0].text;
            const CString prefix(c.questionPrefix);
            EXPECT_EQ(questions[0].wParam, c.mayRetry);
            EXPECT_EQ(text.Left(prefix.GetLength()), prefix) << text.ToNarrow();
            EXPECT_EQ(text.Right(2), L").");
            EXPECT_GT(text.GetLength(), prefix.GetLength() + 10) << text.ToNarrow();
            EXPECT_EQ(text.Find(L"Internet error"), -1) << text.ToNarrow();
            ExpectReportShape(job.get(), c.result);
        }
        EXPECT_EQ(ReadAll(target), Bytes("old part"));
        EXPECT_EQ(GetFileAttributesW(target + L".tmp"), INVALID_FILE_ATTRIBUTES);
    }
}

TEST_F(DownloadThreadTest, TheTimeLimitOfTheBodyIsOneOfSilence)
{
    // A byte every 600 ms against a limit of 1 s: the server is slow but alive, and each
    // byte shows in the progress as it comes, although the whole takes far past the limit.
    const CString target = m_folder / L"trickle.wma";
    auto job = MakeJob(s_server->Url(L"/slow/5/1/600"), target);
    const ULONGLONG begun = GetTickCount64();
    EXPECT_EQ(Run(job.get(), RUNTIME_CLASS(CQuickTimeoutDownloadThread)), 200u);
    EXPECT_GT(GetTickCount64() - begun, 2000u);
    EXPECT_TRUE(m_owner.Of(WM_DOWNLOAD_ERROR).empty());
    ExpectReportShape(job.get(), 200);
    EXPECT_GE(m_owner.Of(WM_DOWNLOAD_PROGRESS).size(), 4u) << "the bytes were not reported as they came";
    EXPECT_EQ(LastProgress(), 100);
    EXPECT_EQ(ReadAll(target), ServerBody(5));
}

TEST_F(DownloadThreadTest, WhatCameBeforeASilenceIsReportedAtOnceAndTheLimitCountsFromIt)
{
    // 20,000 of 300,000 bytes at once, then silence: the progress shows them (7 %) and the
    // question comes one limit (1 s) after them, not later.
    m_answers = {IDOK};
    ULONGLONG firstProgressAt = 0;
    m_owner.onReport = [&](const Report& r) {
        if (r.message == WM_DOWNLOAD_PROGRESS && firstProgressAt == 0)
            firstProgressAt = GetTickCount64();
    };
    ULONGLONG askedAt = 0;
    LONGLONG progressWhenAsked = -1;
    m_owner.beforeAnswer = [&](const Report&) {
        askedAt = GetTickCount64();
        MSG msg;
        while (PeekMessageW(&msg, m_owner.Hwnd(), WM_DOWNLOAD_PROGRESS, WM_DOWNLOAD_PROGRESS, PM_REMOVE))
            DispatchMessageW(&msg);
        progressWhenAsked = LastProgress();
    };
    auto job = MakeJob(s_server->Url(L"/stall/300000/20000"), m_folder / L"stalled.wma");
    EXPECT_EQ(Run(job.get(), RUNTIME_CLASS(CQuickTimeoutDownloadThread)), static_cast<DWORD>(IDOK));
    m_owner.beforeAnswer = nullptr;
    m_owner.onReport = nullptr;
    ASSERT_NE(askedAt, 0u);
    ASSERT_NE(firstProgressAt, 0u);
    EXPECT_GE(askedAt - firstProgressAt, 900u);
    EXPECT_LT(askedAt - firstProgressAt, 1600u) << "the limit did not count from the last bytes";
    EXPECT_EQ(progressWhenAsked, 7);
    auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].text, CString(kLostPrefix) + L"The server did not answer in time.).");
}

TEST_F(DownloadThreadTest, ACancelWhileTheServerIsSilentIsNotAskedAbout)
{
    // The cancel comes while the request waits for an answer; when the wait ends the job ends
    // as cancelled, without asking about the failure the wait ended with.
    auto job = MakeJob(s_server->Url(L"/silent"), m_folder / L"silent.wma");
    m_owner.onReport = [this](const Report& r) {
        if (r.message == WM_DOWNLOAD_STARTED)
            PostThreadMessageW(m_threadId, WM_DOWNLOAD_CANCEL, 0, 0);
    };
    EXPECT_EQ(Run(job.get(), RUNTIME_CLASS(CQuickTimeoutDownloadThread)), static_cast<DWORD>(kDownloadCancelled));
    ExpectReportShape(job.get(), kDownloadCancelled);
    EXPECT_TRUE(m_owner.Of(WM_DOWNLOAD_ERROR).empty());
}

TEST_F(DownloadThreadTest, AnUntrustedCertificateIsNamedInTheQuestion)
{
    HttpTestServer secure;
    ASSERT_TRUE(secure.StartHttps()) << "the loopback HTTPS server did not start";
    m_answers = {IDNO};
    auto job = MakeJob(secure.Url(L"/file/1000"), m_folder / L"secure.wma");
    EXPECT_EQ(Run(job.get()), static_cast<DWORD>(IDNO));
    auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].wParam, 1u);
    const CString& text = questions[0].text;
    EXPECT_EQ(text.Find(L"Unable to establish a connection to the Internet."), 0) << text.ToNarrow();
    EXPECT_NE(text.Find(L"certificate"), -1) << text.ToNarrow();
    EXPECT_EQ(text.Find(L"Internet error"), -1) << text.ToNarrow();
    EXPECT_EQ(GetFileAttributesW(job->GetTargetPath()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadThreadTest, HeaderValuesFromOrderFilesCannotAddHeaders)
{
    auto job = MakeJob(s_server->Url(L"/file/10?headers=1"), m_folder / L"h1.bin");
    job->m_strClientId = L"{6F9619FF-8B86-D011-B42D-00C04FC964FF}\r\nX-Injected: 1";
    job->m_strLicense = L"TGljZW5z\r\nZVRleHQ=\n";
    EXPECT_EQ(Run(job.get()), 200u);
    auto logged = s_server->RequestsFor("/file/10?headers=1");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_NE(logged[0].find("[\"ClientID\", \"{6F9619FF-8B86-D011-B42D-00C04FC964FF}X-Injected: 1\"]"),
              std::string::npos)
        << logged[0];
    EXPECT_NE(logged[0].find("[\"License\", \"TGljZW5zZVRleHQ=\"]"), std::string::npos) << logged[0];
    EXPECT_EQ(logged[0].find("[\"X-Injected\""), std::string::npos) << logged[0];
    EXPECT_NE(logged[0].find("[\"User-Agent\", \"Vesperlin Download Test\"]"), std::string::npos) << logged[0];

    // Empty values send no header at all.
    auto plain = MakeJob(s_server->Url(L"/file/10?headers=0"), m_folder / L"h0.bin");
    EXPECT_EQ(Run(plain.get()), 200u);
    logged = s_server->RequestsFor("/file/10?headers=0");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].find("ClientID"), std::string::npos) << logged[0];
    EXPECT_EQ(logged[0].find("License"), std::string::npos) << logged[0];
}

TEST_F(DownloadThreadTest, LocalFileFailuresAreRetriedFromTheFolderOn)
{
    // The folder cannot be made while a file stands where it belongs.
    const CString blocker = m_folder / L"Media";
    WriteAll(blocker, std::string("in the way"));
    const CString target = blocker + L"\\Title\\part.wma";
    {
        m_answers = {IDYES};
        m_owner.beforeAnswer = [&](const Report&) { DeleteFileW(blocker); };
        auto job = MakeJob(s_server->Url(L"/file/30000"), target);
        EXPECT_EQ(Run(job.get()), 200u);
        auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].wParam, 1u);
        EXPECT_EQ(questions[0].text,
                  L"Unable to create the local folder needed to create \"" + target + L".tmp\".");
        EXPECT_EQ(ReadAll(target), ServerBody(30000));
    }
    {
        // The temporary file is held open by someone else; the retry opens it again.
        m_owner.reports.clear();
        m_answers = {IDYES};
        const CString tmp = target + L".tmp";
        HANDLE held = CreateFileW(tmp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        m_owner.beforeAnswer = [&](const Report&) { CloseHandle(held); };
        auto job = MakeJob(s_server->Url(L"/file/40000"), target);
        EXPECT_EQ(Run(job.get()), 200u);
        auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_EQ(questions[0].wParam, 1u);
        const CString prefix = L"Unable to create the local download path \"" + tmp + L"\" (";
        EXPECT_EQ(questions[0].text.Left(prefix.GetLength()), prefix) << questions[0].text.ToNarrow();
        EXPECT_GT(questions[0].text.GetLength(), prefix.GetLength() + 3);
        EXPECT_EQ(ReadAll(target), ServerBody(40000));
    }
}

TEST_F(DownloadThreadTest, AnOlderTargetThatCannotBeReplacedIsKeptAndARetryOffered)
{
    // Each way makes the target impossible to replace and returns what undoes it.
    struct Blocker {
        const char* name;
        std::function<std::function<void()>(const CString&)> block;
    };
    const Blocker blockers[] = {
        {"held open by another program",
         [](const CString& target) -> std::function<void()> {
             HANDLE held = CreateFileW(target, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       0, nullptr);
             EXPECT_NE(held, INVALID_HANDLE_VALUE);
             return [held] { CloseHandle(held); };
         }},
        // Windows refuses to replace a read-only file; the thread asks before it tries.
        {"read-only",
         [](const CString& target) -> std::function<void()> {
             EXPECT_TRUE(SetFileAttributesW(target, FILE_ATTRIBUTE_READONLY));
             return [target] { SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL); };
         }},
    };
    const CString target = m_folder / L"locked.wma";
    for (const auto& blocker : blockers) {
        for (bool unblockOnRetry : {false, true}) {
            SCOPED_TRACE(std::string(blocker.name) + (unblockOnRetry ? ", freed, then retried" : ", refused"));
            m_owner.reports.clear();
            WriteAll(target, std::string("the older part"));
            std::function<void()> unblock = blocker.block(target);
            m_answers = unblockOnRetry ? std::deque<int>{IDYES} : std::deque<int>{IDYES, IDNO};
            m_owner.beforeAnswer = [&](const Report&) {
                if (unblockOnRetry && unblock) {
                    unblock();
                    unblock = nullptr;
                }
            };
            auto job = MakeJob(s_server->Url(L"/file/50000"), target);
            const int result = unblockOnRetry ? 200 : IDNO;
            EXPECT_EQ(Run(job.get()), static_cast<DWORD>(result));
            if (unblock)
                unblock();
            EXPECT_EQ(job->GetResult(), result);
            ExpectReportShape(job.get(), result);
            auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
            ASSERT_EQ(questions.size(), unblockOnRetry ? 1u : 2u);
            for (const auto& q : questions) {
                EXPECT_EQ(q.wParam, 1u);
                EXPECT_EQ(q.text.Find(L"Unable to write local data ("), 0) << q.text.ToNarrow();
            }
            EXPECT_EQ(ReadAll(target), unblockOnRetry ? ServerBody(50000) : Bytes("the older part"));
            EXPECT_EQ(GetFileAttributesW(target + L".tmp"), INVALID_FILE_ATTRIBUTES);
        }
    }
}

TEST_F(DownloadThreadTest, AWriteRetriedAfterAPartialWriteStoresEachByteOnce)
{
    const CString target = m_folder / L"full.wma";
    m_answers = {IDYES};
    auto job = MakeJob(s_server->Url(L"/file/50000"), target);
    EXPECT_EQ(Run(job.get(), RUNTIME_CLASS(CShortWriteDownloadThread)), 200u);
    ExpectReportShape(job.get(), 200);
    auto questions = m_owner.Of(WM_DOWNLOAD_ERROR);
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].wParam, 1u);
    EXPECT_EQ(questions[0].text.Find(L"Unable to write local data ("), 0) << questions[0].text.ToNarrow();
    const auto data = ReadAll(target);
    EXPECT_EQ(data.size(), 50000u);
    EXPECT_TRUE(data == ServerBody(50000)) << "the target differs from the body";
}

TEST_F(DownloadThreadTest, TheOwnerMayDeleteTheJobAsSoonAsItIsDone)
{
    const CString target = m_folder / L"part.wma";
    m_owner.deleteJobOnDone = true;
    auto* job = MakeJob(s_server->Url(L"/file/60000"), target).release();
    EXPECT_EQ(Run(job), 200u);
    ASSERT_EQ(m_owner.Of(WM_DOWNLOAD_DONE).size(), 1u);
    EXPECT_EQ(m_owner.Of(WM_DOWNLOAD_DONE)[0].wParam, 200u);
    EXPECT_EQ(ReadAll(target), ServerBody(60000));
}

}  // namespace
