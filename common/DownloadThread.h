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
// WM_DOWNLOAD_ERROR is sent (wParam 1 when the step may be retried); the reply IDYES
// repeats the step, any other reply ends the job with that value as its result.
// Results: 200-299 complete; 2 cancelled (or, without an owner, a library failure);
// 0 without an owner when the status was refused or the local file could not be made;
// 3 (exit code only) when WM_DOWNLOAD_START carried no job.
#pragma once

#include "afx.h"

#include "res/DownloadIds.h"

#include <memory>

// Thread messages to the download thread.
constexpr UINT WM_DOWNLOAD_START = WM_USER + 0x110;   // 0x510, lParam: the job
constexpr UINT WM_DOWNLOAD_CANCEL = WM_USER + 0x111;  // 0x511
// Reports to the job's owner window.
constexpr UINT WM_DOWNLOAD_STARTED = WM_USER + 0x120;   // 0x520, posted
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 0x121;  // 0x521, posted, wParam: percent
constexpr UINT WM_DOWNLOAD_DONE = WM_USER + 0x122;      // 0x522, posted, wParam: result
constexpr UINT WM_DOWNLOAD_ERROR = WM_USER + 0x123;     // 0x523, sent, wParam: 1 = may retry

// One download, lent to the thread from WM_DOWNLOAD_START until the thread has ended.
// The fields the thread does not read are carried for the programs that share the record.
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
    CString m_strTitleId;      // the title the download belongs to
    CString m_strErrorText;    // text of the last failure, set before each WM_DOWNLOAD_ERROR
    CString m_strClientId;     // "ClientID" request header; none when empty
    CString m_strLicense;      // "License" request header; none when empty
    int m_nPartIndex = -1;     // the title's part, -1 when not a part
    ULONGLONG m_nExpectedSize = 0;  // size to assume without a usable Content-Length; 0 unknown
    int m_nWeight = 0;         // the second number (used by the conversion worker)
    int m_nDuration1 = 0;      // used by the conversion worker
    int m_nDuration2 = 0;
    HWND m_hOwnerWnd = nullptr;  // null: no reports, no questions
    int m_nResult = 0;         // the status code once answered; the job's result at the end
    CString m_strCoverPath;    // extra texts for the conversion worker
    CString m_strTitle;
    CString m_strArtist;
};

class CDownloadThread : public CWinThread {
    DECLARE_DYNCREATE(CDownloadThread)
public:
    // Bytes read per idle turn.
    static constexpr UINT kChunkSize = 10240;
    // Percentage basis when neither the response nor the job gives a size.
    static constexpr ULONGLONG kFallbackSize = 17408000;

    CDownloadThread();
    ~CDownloadThread() override;

    BOOL InitInstance() override;
    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // One chunk of the transfer per call; TRUE while the transfer goes on.
    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;

protected:
    void OnStartDownload(WPARAM wParam, LPARAM lParam);
    void OnCancelDownload(WPARAM wParam, LPARAM lParam);

    // Set-up steps in order; each returns FALSE when it has ended the job.
    BOOL ParseJobUrl();
    BOOL OpenSession();
    BOOL OpenConnection();
    BOOL OpenRequest();
    void AddClientIdHeader();
    void AddLicenseHeader();
    BOOL SendRequest();
    BOOL OpenLocalFile();

    // The end of the transfer: checks the size, moves the file into place, finishes the job.
    void CompleteTransfer();
    // Writes the chunk, asking about failures; FALSE when the job has ended.
    BOOL WriteChunk(UINT count);
    void ReportProgress(UINT count);
    // Stores the result, posts WM_DOWNLOAD_DONE and the quit message; the job is not touched
    // afterwards (its owner may delete it at once).
    void FinishJob(int result);
    void CloseConnection();
    // Formats a string-table message into the job's error text and sends WM_DOWNLOAD_ERROR.
    int AskOwner(UINT messageId, BOOL mayRetry, ...);
    // Text of a caught library exception as the messages carry it.
    static CString LibraryErrorText(const CException& e);

    CDownloadJob* m_pJob = nullptr;
    BOOL m_bCancel = FALSE;
    BYTE* m_pBuffer = nullptr;
    CInternetSession* m_pSession = nullptr;
    CHttpConnection* m_pConnection = nullptr;
    CHttpFile* m_pFile = nullptr;
    CFile* m_pLocalFile = nullptr;
    DWORD m_dwStatusCode = 0;
    ULONGLONG m_nTotalSize = 0;
    ULONGLONG m_nBytesSoFar = 0;
    LONGLONG m_nLastPercent = 0;

    // The thread's own copies of what it needs of the job, so that nothing reads the job
    // after WM_DOWNLOAD_DONE.
    HWND m_hOwner = nullptr;
    CString m_strTempPath;
    CString m_strTargetPath;
    DWORD m_dwServiceType = 0;
    CString m_strServer;
    CString m_strObject;
    INTERNET_PORT m_nPort = 0;
    // The Content-Length of the response, when it gave one: fewer bytes is a lost connection.
    bool m_bHaveContentLength = false;
    ULONGLONG m_nContentLength = 0;
    bool m_bStarted = false;
};
