// The part download thread: fetches one file over HTTP or HTTPS into "<target>.tmp" and
// moves it to the target name when the transfer is complete, reporting to the job's owner
// window.
//
// The caller's side:
//     auto* job = new CDownloadJob(nullptr, nullptr);
//     job->m_strUrl = url; job->m_strTargetPath = path; job->m_hOwnerWnd = hwnd;
//     HANDLE own = nullptr;
//     CWinThread* t = AfxBeginThread(RUNTIME_CLASS(CDownloadThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &own);
//     t->PostThreadMessage(WM_DOWNLOAD_START, 0, (LPARAM)job);
//     AfxWaitForThreadEnd(own);  // the owner keeps dispatching; WM_DOWNLOAD_CANCEL stops the job
//     ... job->GetResult() == 200 ...; delete job; CloseHandle(own);
//
// Reports (posted to the owner window, lParam the job): WM_DOWNLOAD_STARTED,
// WM_DOWNLOAD_PROGRESS (wParam the percentage), WM_DOWNLOAD_DONE (wParam the result).
// WM_DOWNLOAD_ERROR is sent (wParam kDownloadMayRetry when the step may be retried, with
// kDownloadAnswerIsFinal when the server's answer is a lasting one, SuiteMessages.h); the
// reply IDYES repeats the step, any other reply ends the job with that value as its result.
// A failure after the connection was made is told as a lost connection, never as none.
//
// A Content-Length that is no count of bytes (a sign, other characters, more than 63 bits)
// or two different ones refuse the response: its body cannot be checked.
// A body counts as complete only when it is as long as the response's Content-Length, or,
// without one (a chunked or close-delimited body, whose cut WinINet reports as its end), as
// long as the job's expected size; a shorter one is a lost connection. Without either a cut
// body cannot be told from a whole one. At most kMaxRedirects redirects are followed before
// the status is refused like any other.
//
// The calls that wait on the server (the send with its connect, and the reads) run on helper
// threads while this thread waits on them and on its message queue (NetworkWait.h): a
// cancel or stop ends the job at once whatever the server does, and the time limits
// (kDefaultTimeouts) are kept here, WinINet's own being unreliable under Wine. The body is
// read ahead as it comes (a chunk is what had arrived, up to kChunkSize bytes) and written
// in the idle turns; the time limit of the body is one of silence: any byte resets it.
//
// The console's variant (CConsoleDownloadThread) adds WM_DOWNLOAD_STOP, which ends the job
// with kDownloadStopped so that its queue keeps it. SetPaused holds the transfer between
// chunks: the thread keeps answering its messages, so a cancel or stop still ends a paused
// job. A question due while a cancel or stop waits is not asked: the job ends as they say.
#pragma once

#include "afx.h"

#include <atomic>
#include <memory>

#include "NetworkWait.h"

#include "SuiteMessages.h"
#include "res/DownloadIds.h"

// Results of a job besides the status of a complete file (200-299, of which callers count
// exactly 200 as success) and the owner's answer to a question (such as IDNO).
constexpr int kDownloadRefused = 0;    // without an owner: the status was refused or the local file could not be made
constexpr int kDownloadCancelled = 2;  // WM_DOWNLOAD_CANCEL
constexpr int kDownloadAbandoned = 2;  // without an owner: the URL, the network or the disk failed (ends as a cancel does)
constexpr int kDownloadNoJob = 3;      // exit code only: WM_DOWNLOAD_START carried no job
constexpr int kDownloadStopped = 3;    // the console's thread after WM_DOWNLOAD_STOP (the job stays queued)

// The flags of every console and wizard request: always fetched from the server and never
// stored a second time in the URL cache (a cached copy could be stale, and parts are large),
// on a kept connection (which proxy authentication needs); "secure" for HTTPS (whose
// certificate errors are never ignored).
DWORD UncachedRequestFlags(DWORD serviceType);
// Gives the request the proxy user name and password (a proxy answering 407 asks for them),
// besides the connection's own; empty texts set nothing.
void SetProxyCredentials(CHttpFile& request, const CString& userName, const CString& password);

// One download, lent to the thread from WM_DOWNLOAD_START until the thread has ended.
// The device wizard's conversion worker borrows the same record; the fields marked as its
// own are never read by the download thread.
class CDownloadJob : public CObject {
public:
    // Null user name or password give empty texts.
    CDownloadJob(const wchar_t* userName, const wchar_t* password);
    ~CDownloadJob() override = default;

    const CString& GetTargetPath() const { return m_strTargetPath; }
    // The target path with ".tmp" appended, made on the first call and kept.
    const CString& GetTempPath();
    const CString& GetClientId() const { return m_strClientId; }
    const CString& GetLicense() const { return m_strLicense; }
    HWND GetOwnerWindow() const { return m_hOwnerWnd; }
    const CString& GetErrorText() const { return m_strErrorText; }
    void SetErrorText(const wchar_t* text) { m_strErrorText = text; }
    int GetResult() const { return m_nResult; }
    void SetResult(int result) { m_nResult = result; }

    CString m_strUserName;
    CString m_strPassword;
    CString m_strUrl;          // absolute HTTP or HTTPS URL (the source path)
    CString m_strTargetPath;   // the file to produce
    CString m_strTempPath;     // empty until GetTempPath
    CString m_strTitleId;      // the title the download belongs to (for the owner)
    CString m_strErrorText;    // text of the last failure, set before each WM_DOWNLOAD_ERROR
    CString m_strClientId;     // "ClientID" request header; none when empty
    CString m_strLicense;      // "License" request header; none when empty
    int m_nPartIndex = -1;     // the title's part, -1 when not a part; for the owner
    ULONGLONG m_nExpectedSize = 0;  // the part's size from its order file; 0 when not known
    int m_nPartWeight = 0;       // conversion worker: the part's weight (file size in KiB, at least 1)
    int m_nDurationSeconds = 0;  // conversion worker: the part's playing time, sets the expected output
    int m_nBufferLength = 0;     // conversion worker: sets the size of its write buffer
    HWND m_hOwnerWnd = nullptr;  // null: no reports, no questions
    int m_nResult = 0;         // the status code once answered; the job's result at the end
    CString m_strCoverPath;    // conversion worker: the title's cover image, title and artist
    CString m_strTitle;
    CString m_strArtist;
};

class CDownloadThread : public CWinThread {
    DECLARE_DYNCREATE(CDownloadThread)
public:
    // Bytes per read and per write; an idle turn writes up to kChunksPerTurn chunks that
    // have arrived already.
    static constexpr UINT kChunkSize = 10240;
    static constexpr int kChunksPerTurn = 16;
    // Percentage basis when neither the response nor the job gives a size.
    static constexpr ULONGLONG kFallbackSize = 17408000;
    // Redirects followed for one request before its status is refused.
    static constexpr int kMaxRedirects = 10;

    // How long the thread waits, in milliseconds, for the connection to be made, for a
    // request to be sent and answered (send and receive together), and for the next bytes of
    // the response. A slow link still delivers something well within these; a server that
    // stays silent this long has gone.
    struct Timeouts {
        DWORD connect;
        DWORD send;
        DWORD receive;
    };
    static constexpr Timeouts kDefaultTimeouts{60000, 60000, 60000};

    CDownloadThread();
    ~CDownloadThread() override;

    // Holds (true) or continues (false) the transfer between chunks; callable from any
    // thread, also before WM_DOWNLOAD_START.
    void SetPaused(bool paused);
    bool IsPaused() const { return m_bPaused.load(); }

    // Text of a caught library exception as the messages carry it (at most 300 characters,
    // no line breaks).
    static CString LibraryErrorText(const CException& e);

    BOOL InitInstance() override;
    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The chunks of the body that have come, one at least; TRUE while the transfer goes on.
    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;

protected:
    void OnStartDownload(WPARAM wParam, LPARAM lParam);
    void OnCancelDownload(WPARAM wParam, LPARAM lParam);
    void OnStopDownload(WPARAM wParam, LPARAM lParam);

    // Set-up steps in order; each returns FALSE when it has ended the job.
    BOOL ParseJobUrl();
    BOOL OpenSession();
    BOOL OpenConnection();
    BOOL OpenRequest();
    void AddClientIdHeader();
    void AddLicenseHeader();
    enum class SendOutcome { Accepted, Redirected, Again, Ended };
    // Sends the request; Redirected when the answer names another place, which the next
    // connection and request go to (redirects counts them); Again when a retry needs a new
    // connection and request (the old one was closed to end its wait).
    SendOutcome SendRequest(int& redirects);
    struct SendResult {
        enum { Failed, Answered, TimedOut, Ended } outcome = Failed;
        DWORD status = 0;  // Answered
        int pending = 0;   // Ended: the result of the cancel or stop
        CString reason;    // Failed, TimedOut: what happened, for the question
        bool connected = false;  // Failed, TimedOut: the connection had been made
    };
    // One send of the request on a helper thread, waited on as NetworkWait.h says.
    SendResult SendAndWait();
    // The connection and the request go (a redirect or a retry opens new ones).
    void ReleaseRequest();
    // Ends the job after the body stopped coming: a cancel or stop that waits, else the
    // owner's answer to the question with what happened.
    void LoseConnection(const CString& reason);
    // A text of the thread's string table.
    static CString ThreadText(UINT id);
    BOOL OpenLocalFile();

    // Takes the request's URL apart; FALSE when it is no HTTP or HTTPS URL.
    BOOL TakeUrl(const CString& url);
    // Follows the Location of a redirect: the next request goes there. FALSE when the
    // answer names no HTTP or HTTPS place, or a plain HTTP one after HTTPS.
    BOOL TakeRedirect();
    // The result a cancel or stop that has come (handled or still waiting in the queue) ends
    // the job with, kDownloadStopped when both have; 0 when neither has. A failure it caused,
    // or any question while it waits, is not asked about.
    int PendingEnd() const;
    // The end of the transfer: checks the size, moves the file into place, finishes the job.
    void CompleteTransfer();
    // Whether fewer bytes arrived than the response or the job says the file has.
    BOOL BodyIsShort() const;
    // Writes the chunk, asking about failures; FALSE when the job has ended.
    BOOL WriteChunk(const BYTE* data, UINT count);
    void ReportProgress(UINT count);
    // Stores the result, posts WM_DOWNLOAD_DONE and the quit message; the job is not touched
    // afterwards (its owner may delete it at once).
    void FinishJob(int result);
    void CloseConnection();
    // Formats a string-table message and asks it (SendQuestion), unless a cancel or stop
    // waits: then that is the answer.
    // offer: WM_DOWNLOAD_ERROR's flags (0: no retry).
    int AskOwner(UINT messageId, WPARAM offer, ...);
    // Sends WM_DOWNLOAD_ERROR; here with the text in the job's error text and the job as lParam.
    virtual int SendQuestion(WPARAM offer, const CString& text);
    // Reads the response's Content-Length: m_bHaveContentLength and m_nContentLength; FALSE
    // (with the values as sent in refused) when it is no count of bytes or not one count.
    BOOL TakeContentLength(CString& refused);

    CDownloadJob* m_pJob = nullptr;
    BOOL m_bCancel = FALSE;
    BOOL m_bStop = FALSE;
    std::atomic<bool> m_bPaused{false};
    std::unique_ptr<CBodyReader> m_pReader;  // from the first idle turn of the transfer
    ULONGLONG m_lastArrival = 0;             // when the last chunk came (or the wait began)
    CInternetSession* m_pSession = nullptr;
    CHttpConnection* m_pConnection = nullptr;
    CHttpFile* m_pFile = nullptr;
    CFile* m_pLocalFile = nullptr;
    DWORD m_dwStatusCode = 0;
    ULONGLONG m_nTotalSize = 0;
    ULONGLONG m_nBytesSoFar = 0;
    // The percent of the last report; a derived class starting it at -1 has the first chunk
    // reported even at 0 (an owner resets its progress by it).
    LONGLONG m_nLastPercent = 0;

    // The thread's own copies of what it needs of the job, so that nothing reads the job
    // after WM_DOWNLOAD_DONE.
    HWND m_hOwner = nullptr;
    CString m_strTempPath;
    CString m_strTargetPath;
    CString m_strRequestUrl;  // the job's URL, then the place each redirect names
    DWORD m_dwServiceType = 0;
    CString m_strServer;
    CString m_strObject;
    INTERNET_PORT m_nPort = 0;
    // The Content-Length of the response, when it gave one, else the job's expected size:
    // fewer bytes is a lost connection.
    bool m_bHaveContentLength = false;
    ULONGLONG m_nContentLength = 0;
    ULONGLONG m_nExpectedSize = 0;
    bool m_bStarted = false;
    // A derived thread class may shorten these (tests do) before the job starts.
    Timeouts m_timeouts = kDefaultTimeouts;
};
