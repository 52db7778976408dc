#include "Internet.h"

#include <algorithm>
#include <iterator>
#include <vector>

IMPLEMENT_DYNAMIC(CInternetSession, CObject)
IMPLEMENT_DYNAMIC(CHttpConnection, CObject)
IMPLEMENT_DYNAMIC(CHttpFile, CObject)

namespace {

BOOL SetNumericOption(HINTERNET handle, DWORD option, DWORD value)
{
    return handle && InternetSetOptionW(handle, option, &value, sizeof(value));
}

// Codes that a secure or broken connection gives and for which WinINet's message table may
// have no text (Wine's has none for them), among them the socket errors that Wine's WinINet
// passes on as they are.
struct InternetErrorText {
    DWORD code;
    const wchar_t* text;
};
const InternetErrorText kInternetErrorTexts[] = {
    {ERROR_INTERNET_CONNECTION_RESET, L"The connection with the server was reset."},
    {WSAETIMEDOUT, L"The server did not answer in time."},
    {WSAECONNRESET, L"The connection with the server was reset."},
    {ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, L"The server asks for a client certificate, and none was given."},
    {ERROR_INTERNET_INVALID_CA,
     L"The server's security certificate was issued by an authority that is not trusted, so the server could not be "
     L"verified."},
    {ERROR_INTERNET_SEC_CERT_ERRORS, L"The server's security certificate has errors, so the server could not be verified."},
    {ERROR_INTERNET_SEC_CERT_NO_REV, L"The server's security certificate could not be checked for revocation."},
    {ERROR_INTERNET_SEC_CERT_REV_FAILED, L"The revocation check of the server's security certificate failed."},
    {ERROR_INTERNET_SEC_INVALID_CERT, L"The server's security certificate is not valid."},
    {ERROR_INTERNET_SEC_CERT_REVOKED, L"The server's security certificate has been revoked."},
    {ERROR_INTERNET_SECURITY_CHANNEL_ERROR, L"A secure connection to the server could not be established."},
    {ERROR_HTTP_INVALID_SERVER_RESPONSE, L"The server's response could not be understood."},
};

}  // namespace

// ---- CInternetException ----

CString CInternetException::GetErrorMessage() const
{
    CString text;
    if (m_dwError == ERROR_INTERNET_EXTENDED_ERROR) {
        DWORD code = 0;
        DWORD length = 0;
        InternetGetLastResponseInfoW(&code, nullptr, &length);
        if (length) {
            std::vector<wchar_t> buffer(length + 1);
            if (InternetGetLastResponseInfoW(&code, buffer.data(), &length))
                text = CString(buffer.data(), static_cast<int>(length)).Trim();
        }
    }
    if (text.IsEmpty()) {
        wchar_t* message = nullptr;
        const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                                FORMAT_MESSAGE_IGNORE_INSERTS,
                                            GetModuleHandleW(L"wininet.dll"), m_dwError, 0,
                                            reinterpret_cast<wchar_t*>(&message), 0, nullptr);
        if (length && message)
            text = CString(message, static_cast<int>(length)).Trim();
        if (message)
            LocalFree(message);
    }
    if (text.IsEmpty())
        text = AfxSystemErrorText(m_dwError);
    if (text.IsEmpty()) {
        const auto known = std::find_if(std::begin(kInternetErrorTexts), std::end(kInternetErrorTexts),
                                        [this](const InternetErrorText& t) { return t.code == m_dwError; });
        if (known != std::end(kInternetErrorTexts))
            text = known->text;
    }
    if (text.IsEmpty())
        text.Format(L"Internet error %lu.", static_cast<unsigned long>(m_dwError));
    return text;
}

void AfxThrowInternetException(DWORD_PTR context, DWORD error)
{
    if (error == 0)
        error = GetLastError();
    throw CInternetException(error, context);
}

// ---- CInternetSession ----

CInternetSession::CInternetSession(const wchar_t* agent, DWORD_PTR context, DWORD accessType,
                                   const wchar_t* proxyName, const wchar_t* proxyBypass, DWORD flags)
    : m_dwContext(context)
{
    m_hSession = InternetOpenW(agent ? agent : L"", accessType, proxyName, proxyBypass, flags);
    if (!m_hSession)
        AfxThrowInternetException(context);
}

CInternetSession::~CInternetSession() { Close(); }

void CInternetSession::Close()
{
    if (m_hSession) {
        InternetCloseHandle(m_hSession);
        m_hSession = nullptr;
    }
}

BOOL CInternetSession::SetOption(DWORD option, DWORD value) { return SetNumericOption(m_hSession, option, value); }

CHttpConnection* CInternetSession::GetHttpConnection(const wchar_t* server, INTERNET_PORT port,
                                                     const wchar_t* userName, const wchar_t* password)
{
    return new CHttpConnection(this, server, port, userName, password, m_dwContext);
}

// ---- CHttpConnection ----

CHttpConnection::CHttpConnection(CInternetSession* session, const wchar_t* server, INTERNET_PORT port,
                                 const wchar_t* userName, const wchar_t* password, DWORD_PTR context)
    : m_strServer(server), m_nPort(port)
{
    HINTERNET hSession = session ? static_cast<HINTERNET>(*session) : nullptr;
    if (!hSession)
        AfxThrowInternetException(context, ERROR_INVALID_HANDLE);
    // Empty credentials are passed as none at all.
    m_hConnection = InternetConnectW(hSession, server, port, userName && *userName ? userName : nullptr,
                                     password && *password ? password : nullptr, INTERNET_SERVICE_HTTP, 0, context);
    if (!m_hConnection)
        AfxThrowInternetException(context);
}

CHttpConnection::~CHttpConnection() { Close(); }

void CHttpConnection::Close()
{
    if (m_hConnection) {
        InternetCloseHandle(m_hConnection);
        m_hConnection = nullptr;
    }
}

CHttpFile* CHttpConnection::OpenRequest(int verb, const wchar_t* objectName, const wchar_t* referrer,
                                        DWORD_PTR context, const wchar_t** acceptTypes, const wchar_t* version,
                                        DWORD flags)
{
    static const wchar_t* const verbs[] = {L"POST", L"GET", L"HEAD", L"PUT", L"LINK", L"DELETE", L"UNLINK"};
    if (verb < 0 || verb >= static_cast<int>(sizeof(verbs) / sizeof(verbs[0])))
        AfxThrowInternetException(context, ERROR_INVALID_PARAMETER);
    return OpenRequest(verbs[verb], objectName, referrer, context, acceptTypes, version, flags);
}

CHttpFile* CHttpConnection::OpenRequest(const wchar_t* verb, const wchar_t* objectName, const wchar_t* referrer,
                                        DWORD_PTR context, const wchar_t** acceptTypes, const wchar_t* version,
                                        DWORD flags)
{
    if (!m_hConnection)
        AfxThrowInternetException(context, ERROR_INVALID_HANDLE);
    HINTERNET request =
        HttpOpenRequestW(m_hConnection, verb, objectName, version, referrer, acceptTypes, flags, context);
    if (!request)
        AfxThrowInternetException(context);
    return new CHttpFile(request, verb, objectName, context);
}

// ---- CHttpFile ----

CHttpFile::CHttpFile(HINTERNET request, const wchar_t* verb, const wchar_t* objectName, DWORD_PTR context)
    : m_hRequest(request), m_strVerb(verb), m_strObject(objectName), m_dwContext(context)
{
}

CHttpFile::~CHttpFile() { Close(); }

void CHttpFile::Close()
{
    if (m_hRequest) {
        InternetCloseHandle(m_hRequest);
        m_hRequest = nullptr;
    }
}

BOOL CHttpFile::AddRequestHeaders(const wchar_t* headers, DWORD flags, int length)
{
    if (!m_hRequest || !headers)
        return FALSE;
    return HttpAddRequestHeadersW(m_hRequest, headers, length < 0 ? static_cast<DWORD>(-1) : length, flags);
}

BOOL CHttpFile::SendRequest(const wchar_t* headers, DWORD headersLength, void* optional, DWORD optionalLength)
{
    if (!m_hRequest)
        AfxThrowInternetException(m_dwContext, ERROR_INVALID_HANDLE);
    if (!HttpSendRequestW(m_hRequest, headers, headers ? headersLength : 0, optional, optionalLength))
        AfxThrowInternetException(m_dwContext);
    return TRUE;
}

BOOL CHttpFile::QueryInfoStatusCode(DWORD& statusCode) const
{
    return QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, statusCode);
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, DWORD& value) const
{
    if (!m_hRequest)
        return FALSE;
    DWORD size = sizeof(value);
    return HttpQueryInfoW(m_hRequest, infoLevel | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr);
}

BOOL CHttpFile::QueryInfo(DWORD infoLevel, CString& value) const
{
    value.Empty();
    if (!m_hRequest)
        return FALSE;
    DWORD size = 0;
    HttpQueryInfoW(m_hRequest, infoLevel, nullptr, &size, nullptr);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0)
        return FALSE;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1);
    if (!HttpQueryInfoW(m_hRequest, infoLevel, buffer.data(), &size, nullptr))
        return FALSE;
    value = CString(buffer.data(), static_cast<int>(size / sizeof(wchar_t)));
    return TRUE;
}

BOOL CHttpFile::SetOption(DWORD option, DWORD value) { return SetNumericOption(m_hRequest, option, value); }

BOOL CHttpFile::SetOption(DWORD option, const wchar_t* text)
{
    return m_hRequest && text &&
           InternetSetOptionW(m_hRequest, option, const_cast<wchar_t*>(text), static_cast<DWORD>(wcslen(text)));
}

DWORD CHttpFile::QueryDataAvailable()
{
    if (!m_hRequest)
        AfxThrowInternetException(m_dwContext, ERROR_INVALID_HANDLE);
    DWORD available = 0;
    if (!InternetQueryDataAvailable(m_hRequest, &available, 0, 0))
        AfxThrowInternetException(m_dwContext);
    return available;
}

UINT CHttpFile::Read(void* buffer, UINT count)
{
    if (!m_hRequest)
        AfxThrowInternetException(m_dwContext, ERROR_INVALID_HANDLE);
    DWORD read = 0;
    if (count && !InternetReadFile(m_hRequest, buffer, count, &read))
        AfxThrowInternetException(m_dwContext);
    return read;
}

// ---- AfxParseURL, AfxCombineURL ----

namespace {

// The text a URL function writes into a buffer it is given, with one more try when the
// first buffer (three times the input, as escaping may need) is too small; empty on failure.
template <typename Call>
CString UrlText(size_t inputLength, Call call)
{
    std::vector<wchar_t> buffer(inputLength * 3 + 64);
    DWORD size = static_cast<DWORD>(buffer.size());
    BOOL done = call(buffer.data(), &size);
    if (!done && GetLastError() == ERROR_INSUFFICIENT_BUFFER && size >= buffer.size()) {
        buffer.resize(size + 1);
        size = static_cast<DWORD>(buffer.size());
        done = call(buffer.data(), &size);
    }
    return done ? CString(buffer.data()) : CString();
}

}  // namespace

BOOL AfxCombineURL(const wchar_t* baseUrl, const wchar_t* relativeUrl, CString& combined)
{
    combined.Empty();
    if (!baseUrl || !relativeUrl || !*relativeUrl)
        return FALSE;
    combined = UrlText(wcslen(baseUrl) + wcslen(relativeUrl), [&](wchar_t* buffer, DWORD* size) {
        return InternetCombineUrlW(baseUrl, relativeUrl, buffer, size, ICU_BROWSER_MODE);
    });
    return !combined.IsEmpty();
}

BOOL AfxParseURL(const wchar_t* url, DWORD& serviceType, CString& server, CString& object, INTERNET_PORT& port)
{
    serviceType = AFX_INET_SERVICE_UNK;
    server.Empty();
    object.Empty();
    port = 0;
    if (!url || !*url)
        return FALSE;

    // Escape blanks and unsafe characters the way a browser would, keeping "?" and "#".
    CString canonical = UrlText(wcslen(url), [url](wchar_t* buffer, DWORD* size) {
        return InternetCanonicalizeUrlW(url, buffer, size, ICU_BROWSER_MODE);
    });
    if (canonical.IsEmpty())
        canonical = url;

    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(canonical, 0, 0, &parts))
        return FALSE;

    switch (parts.nScheme) {
    case INTERNET_SCHEME_HTTP: serviceType = AFX_INET_SERVICE_HTTP; break;
    case INTERNET_SCHEME_HTTPS: serviceType = AFX_INET_SERVICE_HTTPS; break;
    case INTERNET_SCHEME_FTP: serviceType = AFX_INET_SERVICE_FTP; break;
    case INTERNET_SCHEME_GOPHER: serviceType = AFX_INET_SERVICE_GOPHER; break;
    case INTERNET_SCHEME_FILE: serviceType = AFX_INET_SERVICE_FILE; break;
    case INTERNET_SCHEME_MAILTO: serviceType = AFX_INET_SERVICE_MAILTO; break;
    default: serviceType = AFX_INET_SERVICE_UNK; break;
    }
    if (parts.lpszHostName)
        server = CString(parts.lpszHostName, static_cast<int>(parts.dwHostNameLength));
    if (parts.lpszUrlPath)
        object = CString(parts.lpszUrlPath, static_cast<int>(parts.dwUrlPathLength));
    if (parts.lpszExtraInfo)
        object += CString(parts.lpszExtraInfo, static_cast<int>(parts.dwExtraInfoLength));
    // A fragment names a place inside the document; it is never sent to the server.
    const int fragment = object.Find(L'#');
    if (fragment >= 0)
        object.Truncate(fragment);
    port = parts.nPort;
    if (serviceType == AFX_INET_SERVICE_HTTP || serviceType == AFX_INET_SERVICE_HTTPS) {
        if (server.IsEmpty()) {
            serviceType = AFX_INET_SERVICE_UNK;
            return FALSE;
        }
        if (object.IsEmpty())
            object = L"/";
        if (port == 0)
            port = serviceType == AFX_INET_SERVICE_HTTPS ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    }
    return serviceType != AFX_INET_SERVICE_UNK;
}
