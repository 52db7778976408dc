#include "DownloadThread.h"

#include "FileUtils.h"
#include "NetworkWait.h"

#include <algorithm>
#include <cstdarg>
#include <cwchar>

namespace {

// Header values come from order files: a CR or LF inside would add or break headers.
CString HeaderValue(const CString& value)
{
    CString clean(value);
    clean.Remove(L'\r');
    clean.Remove(L'\n');
    return clean;
}

// A status that asking again will not change: the file is not there, or no longer.
bool IsFinalStatus(DWORD status) { return status == HTTP_STATUS_NOT_FOUND || status == HTTP_STATUS_GONE; }

bool IsRedirect(DWORD status)
{
    return status == HTTP_STATUS_MOVED || status == HTTP_STATUS_REDIRECT || status == HTTP_STATUS_REDIRECT_METHOD ||
           status == HTTP_STATUS_REDIRECT_KEEP_VERB || status == HTTP_STATUS_PERMANENT_REDIRECT;
}

}  // namespace

DWORD UncachedRequestFlags(DWORD serviceType)
{
    DWORD flags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;
    if (serviceType == AFX_INET_SERVICE_HTTPS)
        flags |= INTERNET_FLAG_SECURE;
    return flags;
}

void SetProxyCredentials(CHttpFile& request, const CString& userName, const CString& password)
{
    if (userName.IsEmpty() && password.IsEmpty())
        return;
    request.SetOption(INTERNET_OPTION_PROXY_USERNAME, userName);
    request.SetOption(INTERNET_OPTION_PROXY_PASSWORD, password);
}

// ---- CDownloadJob ----

CDownloadJob::CDownloadJob(const wchar_t* userName, const wchar_t* password)
    : m_strUserName(userName), m_strPassword(password)
{
}

const CString& CDownloadJob::GetTempPath()
{
    if (m_strTempPath.IsEmpty())
        m_strTempPath.Format(L"%s.tmp", m_strTargetPath.GetString());
    return m_strTempPath;
}

// ---- CDownloadThread ----

IMPLEMENT_DYNCREATE(CDownloadThread, CWinThread)

CDownloadThread::CDownloadThread() = default;

CDownloadThread::~CDownloadThread() { CloseConnection(); }

BOOL CDownloadThread::InitInstance()
{
    return TRUE;
}

BOOL CDownloadThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DOWNLOAD_START:
        OnStartDownload(wParam, lParam);
        return TRUE;
    case WM_DOWNLOAD_CANCEL:
        OnCancelDownload(wParam, lParam);
        return TRUE;
    case WM_DOWNLOAD_STOP:
        OnStopDownload(wParam, lParam);
        return TRUE;
    default:
        return CWinThread::OnThreadMessage(message, wParam, lParam);
    }
}

void CDownloadThread::OnStartDownload(WPARAM, LPARAM lParam)
{
    // A thread serves one job.
    if (m_bStarted)
        return;
    m_bStarted = true;
    m_pJob = reinterpret_cast<CDownloadJob*>(lParam);
    if (!m_pJob) {
        PostQuitMessage(kDownloadNoJob);
        return;
    }
    m_hOwner = m_pJob->GetOwnerWindow();
    m_strTargetPath = m_pJob->GetTargetPath();
    if (m_hOwner)
        PostMessageW(m_hOwner, WM_DOWNLOAD_STARTED, 0, reinterpret_cast<LPARAM>(m_pJob));

    if (!ParseJobUrl() || !OpenSession())
        return;
    // A redirect sends the next request over a new connection to the place it names.
    int redirects = 0;
    for (;;) {
        // A cancel or stop that came during the last hop ends the job before the next.
        if (const int pending = PendingEnd()) {
            CloseConnection();
            FinishJob(pending);
            return;
        }
        if (!OpenConnection() || !OpenRequest())
            return;
        AddClientIdHeader();
        AddLicenseHeader();
        const SendOutcome outcome = SendRequest(redirects);
        if (outcome == SendOutcome::Ended)
            return;
        if (outcome == SendOutcome::Accepted)
            break;
    }
    if (!OpenLocalFile())
        return;
    // The transfer runs in OnIdle.
}

void CDownloadThread::OnCancelDownload(WPARAM, LPARAM) { m_bCancel = TRUE; }

void CDownloadThread::OnStopDownload(WPARAM, LPARAM) { m_bStop = TRUE; }

void CDownloadThread::SetPaused(bool paused)
{
    m_bPaused.store(paused);
    // A paused thread waits for a message; this one has it read on from where it held.
    if (!paused && m_nThreadID)
        ::PostThreadMessageW(m_nThreadID, WM_NULL, 0, 0);
}

CString CDownloadThread::LibraryErrorText(const CException& e)
{
    CString text = e.GetErrorMessage().Left(300);
    TrimLineBreaks(text.GetBuffer());
    text.ReleaseBuffer();
    return text;
}

int CDownloadThread::AskOwner(UINT messageId, WPARAM offer, ...)
{
    CString format;
    format.LoadString(messageId);
    CString text;
    va_list args;
    va_start(args, offer);
    text.FormatV(format, args);
    va_end(args);
    if (const int pending = PendingEnd())
        return pending;
    return SendQuestion(offer, text);
}

int CDownloadThread::SendQuestion(WPARAM offer, const CString& text)
{
    m_pJob->SetErrorText(text);
    return static_cast<int>(SendMessageW(m_hOwner, WM_DOWNLOAD_ERROR, offer, reinterpret_cast<LPARAM>(m_pJob)));
}

BOOL CDownloadThread::TakeUrl(const CString& url)
{
    if (!AfxParseURL(url, m_dwServiceType, m_strServer, m_strObject, m_nPort) ||
        (m_dwServiceType != AFX_INET_SERVICE_HTTP && m_dwServiceType != AFX_INET_SERVICE_HTTPS))
        return FALSE;
    m_strRequestUrl = url;
    return TRUE;
}

BOOL CDownloadThread::ParseJobUrl()
{
    if (TakeUrl(m_pJob->m_strUrl))
        return TRUE;
    int result = kDownloadAbandoned;
    if (m_hOwner)
        result = AskOwner(IDS_DOWNLOAD_BAD_URL, FALSE, m_pJob->m_strUrl.GetString());
    FinishJob(result);
    return FALSE;
}

BOOL CDownloadThread::OpenSession()
{
    const CString agent = AfxLoadString(AFX_IDS_APP_TITLE);
    for (;;) {
        try {
            // The time limits are kept by the waits of this thread (NetworkWait.h), not by
            // WinINet's options (whose connect limit Wine does not keep).
            m_pSession = new CInternetSession(agent, 1, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
            return TRUE;
        } catch (const CException& e) {
            int answer = kDownloadAbandoned;
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_NO_SESSION, TRUE, LibraryErrorText(e).GetString());
            if (answer == IDYES)
                continue;
            FinishJob(answer);
            return FALSE;
        }
    }
}

BOOL CDownloadThread::OpenConnection()
{
    for (;;) {
        try {
            m_pConnection =
                m_pSession->GetHttpConnection(m_strServer, m_nPort, m_pJob->m_strUserName, m_pJob->m_strPassword);
            return TRUE;
        } catch (const CException& e) {
            int answer = kDownloadAbandoned;
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_NO_CONNECTION, TRUE, m_strServer.GetString(), static_cast<int>(m_nPort),
                                  LibraryErrorText(e).GetString());
            if (answer == IDYES)
                continue;
            FinishJob(answer);
            return FALSE;
        }
    }
}

BOOL CDownloadThread::OpenRequest()
{
    // Redirects are followed here, so that their number is bounded.
    const DWORD flags = UncachedRequestFlags(m_dwServiceType) | INTERNET_FLAG_NO_AUTO_REDIRECT;
    for (;;) {
        try {
            m_pFile = m_pConnection->OpenRequest(CHttpConnection::HTTP_VERB_GET, m_strObject, nullptr, 1, nullptr,
                                                 nullptr, flags);
            SetProxyCredentials(*m_pFile, m_pJob->m_strUserName, m_pJob->m_strPassword);
            return TRUE;
        } catch (const CException& e) {
            int answer = kDownloadAbandoned;
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_NO_REQUEST, TRUE, m_strObject.GetString(), LibraryErrorText(e).GetString());
            if (answer == IDYES)
                continue;
            FinishJob(answer);
            return FALSE;
        }
    }
}

void CDownloadThread::AddClientIdHeader()
{
    const CString value = HeaderValue(m_pJob->GetClientId());
    if (value.IsEmpty())
        return;
    CString header;
    header.Format(L"ClientID: %s\r\n", value.GetString());
    m_pFile->AddRequestHeaders(header, HTTP_ADDREQ_FLAG_ADD_IF_NEW);
}

void CDownloadThread::AddLicenseHeader()
{
    const CString value = HeaderValue(m_pJob->GetLicense());
    if (value.IsEmpty())
        return;
    CString header;
    header.Format(L"License: %s\r\n", value.GetString());
    m_pFile->AddRequestHeaders(header, HTTP_ADDREQ_FLAG_ADD_IF_NEW);
}

CDownloadThread::SendOutcome CDownloadThread::SendRequest(int& redirects)
{
    for (;;) {
        int answer = kDownloadAbandoned;
        const SendResult sent = SendAndWait();
        if (sent.outcome == SendResult::Ended) {
            // A cancel or stop came while the request waited: it ends the job as it says.
            CloseConnection();
            FinishJob(sent.pending);
            return SendOutcome::Ended;
        }
        if (sent.outcome == SendResult::Answered) {
            const DWORD status = sent.status;
            m_dwStatusCode = status;
            m_pJob->SetResult(static_cast<int>(status));
            if (status >= 200 && status <= 299)
                break;
            if (IsRedirect(status) && redirects < kMaxRedirects && TakeRedirect()) {
                ++redirects;
                return SendOutcome::Redirected;
            }
            // A bad status, or one redirect too many: a loop is refused like a bad status.
            answer = kDownloadRefused;
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_BAD_STATUS,
                                  IsFinalStatus(status) ? kDownloadMayRetry | kDownloadAnswerIsFinal : kDownloadMayRetry,
                                  static_cast<int>(status));
            if (answer == IDYES) {
                redirects = 0;
                continue;
            }
        } else {
            // No answer: the send failed, the server closed without answering, or it did not
            // answer in time (the request was closed then, so a retry opens a new one). Once
            // the connection was made, the way to the server worked: the connection was lost.
            if (const int pending = PendingEnd())
                answer = pending;
            else if (m_hOwner)
                answer = AskOwner(sent.connected ? IDS_DOWNLOAD_CONNECTION_LOST : IDS_DOWNLOAD_NOT_CONNECTED,
                                  kDownloadMayRetry, sent.reason.GetString());
            if (answer == IDYES) {
                if (sent.outcome != SendResult::TimedOut)
                    continue;
                ReleaseRequest();
                return SendOutcome::Again;
            }
        }
        FinishJob(answer);
        return SendOutcome::Ended;
    }

    CString refused;
    if (!TakeContentLength(refused)) {
        // Nothing the body brings could be checked against such a size.
        int answer = kDownloadRefused;
        if (m_hOwner)
            answer = AskOwner(IDS_DOWNLOAD_BAD_LENGTH, kDownloadMayRetry | kDownloadAnswerIsFinal, refused.GetString());
        if (answer == IDYES) {
            redirects = 0;
            ReleaseRequest();
            return SendOutcome::Again;
        }
        FinishJob(answer);
        return SendOutcome::Ended;
    }
    m_nExpectedSize = m_pJob->m_nExpectedSize;
    const ULONGLONG size = m_bHaveContentLength ? m_nContentLength : m_nExpectedSize;
    m_nTotalSize = size ? size : kFallbackSize;
    return SendOutcome::Accepted;
}

BOOL CDownloadThread::TakeContentLength(CString& refused)
{
    m_bHaveContentLength = false;
    m_nContentLength = 0;
    // Every Content-Length line of the answer as it came (the single value WinINet gives
    // hides a second, different one); a line may list the value more than once.
    CString headers;
    CStringArray values;
    if (m_pFile->QueryInfo(HTTP_QUERY_RAW_HEADERS_CRLF, headers)) {
        int position = 0;
        for (CString line = headers.Tokenize(L"\r\n", position); position >= 0;
             line = headers.Tokenize(L"\r\n", position)) {
            const int colon = line.Find(L':');
            if (colon <= 0 || line.Left(colon).Trim().CompareNoCase(L"Content-Length") != 0)
                continue;
            CString list = line.Mid(colon + 1);
            if (list.Trim().IsEmpty()) {
                values.Add(CString());  // a line without a value is no size either
                continue;
            }
            int at = 0;
            for (CString value = list.Tokenize(L",", at); at >= 0; value = list.Tokenize(L",", at))
                values.Add(value.Trim());
        }
    } else {
        CString length;
        if (m_pFile->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length))
            values.Add(length.Trim());
    }
    if (values.IsEmpty())
        return TRUE;
    ULONGLONG first = 0;
    bool valid = true;
    for (INT_PTR i = 0; i < values.GetSize(); ++i) {
        ULONGLONG size = 0;
        if (!ParseByteCount(values[i], size) || (i > 0 && size != first))
            valid = false;
        if (i == 0)
            first = size;
        if (i > 0)
            refused += L", ";
        refused += values[i];
    }
    if (!valid)
        return FALSE;
    m_bHaveContentLength = true;
    m_nContentLength = first;
    return TRUE;
}

BOOL CDownloadThread::TakeRedirect()
{
    CString location;
    CString target;
    if (!m_pFile->QueryInfo(HTTP_QUERY_LOCATION, location) || !AfxCombineURL(m_strRequestUrl, location.Trim(), target))
        return FALSE;
    // A download begun over HTTPS never goes on in the clear (as WinINet's own following
    // refuses, too).
    const CString previous = m_strRequestUrl;
    const DWORD previousService = m_dwServiceType;
    if (!TakeUrl(target) || (previousService == AFX_INET_SERVICE_HTTPS && m_dwServiceType != AFX_INET_SERVICE_HTTPS)) {
        TakeUrl(previous);
        return FALSE;
    }
    ReleaseRequest();
    return TRUE;
}

CDownloadThread::SendResult CDownloadThread::SendAndWait()
{
    SendResult result;
    CRequestSend send(*m_pFile, m_timeouts.connect, m_timeouts.send + m_timeouts.receive);
    if (!send.Started()) {
        result.reason = LibraryErrorText(CInternetException(ERROR_NOT_ENOUGH_MEMORY));
        return result;
    }
    NetworkWait end = send.Wait();
    while (end == NetworkWait::Message) {
        if ((result.pending = PendingEnd()) != 0) {
            result.outcome = SendResult::Ended;
            return result;  // the caller closes the request, which ends the helper's call
        }
        PumpMessage();
        end = send.Wait();
    }
    if (end == NetworkWait::TimedOut) {
        result.connected = send.Connected();
        m_pFile->Close();
        result.outcome = SendResult::TimedOut;
        result.reason = ThreadText(IDS_DOWNLOAD_TIMED_OUT);
        return result;
    }
    result.connected = send.Connected();
    DWORD status = 0;
    if (!send.Succeeded()) {
        const DWORD error = send.Error();
        result.reason = error == ERROR_HTTP_INVALID_SERVER_RESPONSE
                            ? ThreadText(IDS_DOWNLOAD_NO_ANSWER)
                            : LibraryErrorText(CInternetException(error));
    } else if (!m_pFile->QueryInfoStatusCode(status) || status == 0) {
        // Wine's WinINet takes a connection closed before any answer for one without a status.
        result.reason = ThreadText(IDS_DOWNLOAD_NO_ANSWER);
    } else {
        result.outcome = SendResult::Answered;
        result.status = status;
    }
    return result;
}

CString CDownloadThread::ThreadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

void CDownloadThread::ReleaseRequest()
{
    delete m_pFile;
    m_pFile = nullptr;
    delete m_pConnection;
    m_pConnection = nullptr;
}

int CDownloadThread::PendingEnd() const
{
    MSG msg;
    const HWND threadQueue = reinterpret_cast<HWND>(-1);
    if (m_bStop || PeekMessageW(&msg, threadQueue, WM_DOWNLOAD_STOP, WM_DOWNLOAD_STOP, PM_NOREMOVE))
        return kDownloadStopped;
    if (m_bCancel || PeekMessageW(&msg, threadQueue, WM_DOWNLOAD_CANCEL, WM_DOWNLOAD_CANCEL, PM_NOREMOVE))
        return kDownloadCancelled;
    return 0;
}

BOOL CDownloadThread::OpenLocalFile()
{
    m_strTempPath = m_pJob->GetTempPath();
    for (;;) {
        int answer = kDownloadRefused;
        if (!CreateParentFolder(m_strTempPath)) {
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_NO_FOLDER, TRUE, m_strTempPath.GetString());
        } else {
            auto* file = new CFile;
            CFileException error;
            if (file->Open(m_strTempPath, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive | CFile::typeBinary,
                           &error)) {
                m_pLocalFile = file;
                return TRUE;
            }
            delete file;
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_NO_LOCAL_FILE, TRUE, m_strTempPath.GetString(),
                                  LibraryErrorText(error).GetString());
        }
        if (answer == IDYES)
            continue;
        FinishJob(answer);
        return FALSE;
    }
}

BOOL CDownloadThread::OnIdle(LONG)
{
    if (!m_pJob || !m_pFile || !m_pLocalFile)
        return FALSE;
    if (m_bStop || m_bCancel) {
        CloseConnection();
        DeleteFileW(m_strTempPath);
        FinishJob(m_bStop ? kDownloadStopped : kDownloadCancelled);
        return FALSE;
    }
    // Paused: nothing is taken until a message comes (SetPaused(false), cancel or stop); the
    // reader stops when its buffers are full. The wait for the server starts again after it.
    if (m_bPaused.load()) {
        m_lastArrival = GetTickCount64();
        return FALSE;
    }
    if (!m_pReader) {
        m_pReader = std::make_unique<CBodyReader>(*m_pFile, kChunkSize);
        m_lastArrival = GetTickCount64();
        if (!m_pReader->Started()) {
            LoseConnection(LibraryErrorText(CInternetException(ERROR_NOT_ENOUGH_MEMORY)));
            return FALSE;
        }
    }

    // Whole chunks as the reader has them; a message (a cancel, a stop) ends the wait at once.
    // A few that are already there are written in one turn (a turn costs a look at the queue).
    for (int taken = 0; taken < kChunksPerTurn; ++taken) {
        CBodyReader::Chunk chunk{};
        const ULONGLONG deadline = taken == 0 ? m_lastArrival + m_timeouts.receive : 1;  // later: only what is there
        switch (m_pReader->Next(deadline, &chunk)) {
        case NetworkWait::Message:
            return TRUE;
        case NetworkWait::TimedOut:
            if (taken > 0)
                return TRUE;
            // The server stalled in the middle of the body.
            LoseConnection(ThreadText(IDS_DOWNLOAD_TIMED_OUT));
            return FALSE;
        case NetworkWait::Done:
            break;
        }
        m_lastArrival = GetTickCount64();
        if (!chunk.ok) {
            LoseConnection(LibraryErrorText(CInternetException(chunk.error)));
            return FALSE;
        }
        const UINT count = chunk.size;
        if (count == 0) {
            CompleteTransfer();
            return FALSE;
        }
        const BOOL written = WriteChunk(chunk.data, count);
        if (m_pReader)
            m_pReader->Release();
        if (!written)
            return FALSE;
        ReportProgress(count);
    }
    return TRUE;
}

void CDownloadThread::LoseConnection(const CString& reason)
{
    int answer = kDownloadAbandoned;
    if (const int pending = PendingEnd())
        answer = pending;
    else if (m_hOwner)
        answer = AskOwner(IDS_DOWNLOAD_CONNECTION_LOST, FALSE, reason.GetString());
    FinishJob(answer);
}

void CDownloadThread::CompleteTransfer()
{
    // A body that ends short is a lost connection, never a file.
    if (BodyIsShort()) {
        LoseConnection(LibraryErrorText(CInternetException(ERROR_INTERNET_CONNECTION_ABORTED)));
        return;
    }

    CloseConnection();
    // One step replaces the target: the older file stays as it was when the move fails.
    for (;;) {
        LONG osError = ERROR_SUCCESS;
        // Windows refuses to replace a read-only file (not every system does): it is not
        // replaced here either.
        const DWORD attributes = GetFileAttributesW(m_strTargetPath);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            osError = ERROR_ACCESS_DENIED;
        else if (MoveFileExW(m_strTempPath, m_strTargetPath, MOVEFILE_REPLACE_EXISTING))
            break;
        else
            osError = static_cast<LONG>(GetLastError());
        const CFileException error(CFileException::OsErrorToException(osError), osError, m_strTargetPath);
        int answer = kDownloadAbandoned;
        if (m_hOwner)
            answer = AskOwner(IDS_DOWNLOAD_WRITE_FAILED, TRUE, LibraryErrorText(error).GetString());
        if (answer == IDYES)
            continue;
        FinishJob(answer);
        return;
    }
    m_pJob->SetResult(static_cast<int>(m_dwStatusCode));
    FinishJob(static_cast<int>(m_dwStatusCode));
}

BOOL CDownloadThread::WriteChunk(const BYTE* data, UINT count)
{
    // A failed write may have stored part of the chunk; a retry writes the whole chunk again
    // from where it began, so that nothing is stored twice.
    const ULONGLONG chunkStart = m_nBytesSoFar;
    bool retry = false;
    for (;;) {
        try {
            if (retry)
                m_pLocalFile->Seek(static_cast<LONGLONG>(chunkStart), CFile::begin);
            retry = true;
            m_pLocalFile->Write(data, count);
            return TRUE;
        } catch (const CException& e) {
            int answer = kDownloadAbandoned;
            if (m_hOwner)
                answer = AskOwner(IDS_DOWNLOAD_WRITE_FAILED, TRUE, LibraryErrorText(e).GetString());
            if (answer == IDYES)
                continue;
            FinishJob(answer);
            return FALSE;
        }
    }
}

BOOL CDownloadThread::BodyIsShort() const
{
    // Without a Content-Length the body's end is the last chunk or the closing of the
    // connection, and WinINet reports a cut connection just as it reports that end: the
    // size the job expects is the only measure then.
    const ULONGLONG expected = m_bHaveContentLength ? m_nContentLength : m_nExpectedSize;
    return m_nBytesSoFar < expected;
}

void CDownloadThread::ReportProgress(UINT count)
{
    m_nBytesSoFar += count;
    // Rounded like MulDiv, in 64 bits so that parts over 4 GiB count right.
    const ULONGLONG scaled = m_nBytesSoFar * 100;
    const LONGLONG percent = static_cast<LONGLONG>((scaled + m_nTotalSize / 2) / m_nTotalSize);
    if (percent != m_nLastPercent) {
        if (m_hOwner)
            PostMessageW(m_hOwner, WM_DOWNLOAD_PROGRESS, static_cast<WPARAM>(percent), reinterpret_cast<LPARAM>(m_pJob));
        m_nLastPercent = percent;
    }
}

void CDownloadThread::FinishJob(int result)
{
    CDownloadJob* job = m_pJob;
    m_pJob = nullptr;
    job->SetResult(result);
    if (m_hOwner)
        PostMessageW(m_hOwner, WM_DOWNLOAD_DONE, static_cast<WPARAM>(result), reinterpret_cast<LPARAM>(job));
    PostQuitMessage(result);
}

void CDownloadThread::CloseConnection()
{
    // The reader first: closing the request then ends a read it is blocked in.
    m_pReader.reset();
    if (m_pLocalFile) {
        m_pLocalFile->Abort();
        delete m_pLocalFile;
        m_pLocalFile = nullptr;
    }
    delete m_pFile;
    m_pFile = nullptr;
    delete m_pConnection;
    m_pConnection = nullptr;
    delete m_pSession;
    m_pSession = nullptr;
}

int CDownloadThread::ExitInstance()
{
    CloseConnection();
    if (!m_strTempPath.IsEmpty() && FileExists(m_strTempPath))
        DeleteFileW(m_strTempPath);
    return CWinThread::ExitInstance();
}
