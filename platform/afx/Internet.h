// HTTP over WinINet: a session, a connection to one server, a request and its response,
// the exception the classes throw, and the URL parser.
//
//     CInternetSession session(L"Agent");
//     std::unique_ptr<CHttpConnection> c(session.GetHttpConnection(L"host", 80));
//     std::unique_ptr<CHttpFile> f(c->OpenRequest(CHttpConnection::HTTP_VERB_GET, L"/x"));
//     f->SendRequest();  ... f->Read(buffer, size) ...
//
// Failures of WinINet calls throw CInternetException by value.
#pragma once

#include "CException.h"
#include "CObject.h"

#include <wininet.h>

// Service types reported by AfxParseURL.
constexpr DWORD AFX_INET_SERVICE_FTP = INTERNET_SERVICE_FTP;
constexpr DWORD AFX_INET_SERVICE_GOPHER = INTERNET_SERVICE_GOPHER;
constexpr DWORD AFX_INET_SERVICE_HTTP = INTERNET_SERVICE_HTTP;
constexpr DWORD AFX_INET_SERVICE_UNK = 0x1000;
constexpr DWORD AFX_INET_SERVICE_FILE = AFX_INET_SERVICE_UNK + 1;
constexpr DWORD AFX_INET_SERVICE_MAILTO = AFX_INET_SERVICE_UNK + 2;
constexpr DWORD AFX_INET_SERVICE_HTTPS = AFX_INET_SERVICE_UNK + 11;

class CInternetException : public CException {
public:
    explicit CInternetException(DWORD error, DWORD_PTR context = 0) : m_dwError(error), m_dwContext(context) {}
    // WinINet's text for the code (the server's own text for extended errors), else the
    // system's, else a sentence of our own for the codes a secure or broken connection
    // gives where those lack one (certificate failures above all); a generic text naming
    // the code when none has one.
    CString GetErrorMessage() const override;

    DWORD m_dwError;
    DWORD_PTR m_dwContext;
};

// Throws CInternetException; error 0 takes GetLastError().
[[noreturn]] void AfxThrowInternetException(DWORD_PTR context, DWORD error = 0);

class CHttpConnection;
class CHttpFile;

class CInternetSession : public CObject {
    DECLARE_DYNAMIC(CInternetSession)
public:
    // Opens the session (InternetOpen); throws CInternetException on failure.
    explicit CInternetSession(const wchar_t* agent = nullptr, DWORD_PTR context = 1,
                              DWORD accessType = INTERNET_OPEN_TYPE_PRECONFIG, const wchar_t* proxyName = nullptr,
                              const wchar_t* proxyBypass = nullptr, DWORD flags = 0);
    ~CInternetSession() override;
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // A new connection object (the caller deletes it); throws CInternetException.
    CHttpConnection* GetHttpConnection(const wchar_t* server, INTERNET_PORT port = INTERNET_INVALID_PORT_NUMBER,
                                       const wchar_t* userName = nullptr, const wchar_t* password = nullptr);
    virtual void Close();
    // A numeric session option (INTERNET_OPTION_...), inherited by the session's
    // connections and requests; FALSE on failure.
    BOOL SetOption(DWORD option, DWORD value);

    DWORD_PTR GetContext() const { return m_dwContext; }
    operator HINTERNET() const { return m_hSession; }

private:
    HINTERNET m_hSession = nullptr;
    DWORD_PTR m_dwContext;
};

class CHttpConnection : public CObject {
    DECLARE_DYNAMIC(CHttpConnection)
public:
    enum { HTTP_VERB_POST = 0, HTTP_VERB_GET = 1, HTTP_VERB_HEAD = 2, HTTP_VERB_PUT = 3, HTTP_VERB_DELETE = 5 };

    // Connects (InternetConnect); throws CInternetException on failure.
    CHttpConnection(CInternetSession* session, const wchar_t* server, INTERNET_PORT port,
                    const wchar_t* userName = nullptr, const wchar_t* password = nullptr, DWORD_PTR context = 1);
    ~CHttpConnection() override;
    CHttpConnection(const CHttpConnection&) = delete;
    CHttpConnection& operator=(const CHttpConnection&) = delete;

    // A new request object (the caller deletes it); throws CInternetException.
    // acceptTypes: a null-terminated array of texts, or null; version null: the default HTTP version.
    CHttpFile* OpenRequest(int verb, const wchar_t* objectName, const wchar_t* referrer = nullptr,
                           DWORD_PTR context = 1, const wchar_t** acceptTypes = nullptr,
                           const wchar_t* version = nullptr, DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    CHttpFile* OpenRequest(const wchar_t* verb, const wchar_t* objectName, const wchar_t* referrer = nullptr,
                           DWORD_PTR context = 1, const wchar_t** acceptTypes = nullptr,
                           const wchar_t* version = nullptr, DWORD flags = INTERNET_FLAG_EXISTING_CONNECT);
    virtual void Close();

    const CString& GetServerName() const { return m_strServer; }
    INTERNET_PORT GetPort() const { return m_nPort; }
    operator HINTERNET() const { return m_hConnection; }

private:
    HINTERNET m_hConnection = nullptr;
    CString m_strServer;
    INTERNET_PORT m_nPort;
};

class CHttpFile : public CObject {
    DECLARE_DYNAMIC(CHttpFile)
public:
    CHttpFile(HINTERNET request, const wchar_t* verb, const wchar_t* objectName, DWORD_PTR context);
    ~CHttpFile() override;
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    // Adds "Name: value\r\n" lines (flags: HTTP_ADDREQ_FLAG_...); FALSE on failure.
    BOOL AddRequestHeaders(const wchar_t* headers, DWORD flags = HTTP_ADDREQ_FLAG_ADD_IF_NEW, int length = -1);
    // Sends the request; throws CInternetException on failure. May be called again to send
    // the same request once more.
    BOOL SendRequest(const wchar_t* headers = nullptr, DWORD headersLength = 0, void* optional = nullptr,
                     DWORD optionalLength = 0);
    // Response information; FALSE when the item is missing or cannot be read.
    BOOL QueryInfoStatusCode(DWORD& statusCode) const;
    BOOL QueryInfo(DWORD infoLevel, CString& value) const;
    BOOL QueryInfo(DWORD infoLevel, DWORD& value) const;
    // A numeric option of this request (INTERNET_OPTION_...); FALSE on failure.
    BOOL SetOption(DWORD option, DWORD value);
    // A text option of this request (such as INTERNET_OPTION_PROXY_USERNAME); FALSE on failure.
    BOOL SetOption(DWORD option, const wchar_t* text);
    // Bytes of the body that can be read without waiting; waits until at least one has
    // arrived, and gives 0 at the body's end. Throws CInternetException.
    virtual DWORD QueryDataAvailable();
    // Reads up to count bytes of the body; 0 at its end. Throws CInternetException.
    virtual UINT Read(void* buffer, UINT count);
    virtual void Close();

    const CString& GetVerb() const { return m_strVerb; }
    const CString& GetObjectName() const { return m_strObject; }
    operator HINTERNET() const { return m_hRequest; }

private:
    HINTERNET m_hRequest;
    CString m_strVerb;
    CString m_strObject;
    DWORD_PTR m_dwContext;
};

// Splits a URL into its service type, server, object (path and query) and port (the
// scheme's default when the URL names none). Blanks and other characters that a URL cannot
// hold are escaped first. FALSE (service type AFX_INET_SERVICE_UNK) when the text is no URL.
BOOL AfxParseURL(const wchar_t* url, DWORD& serviceType, CString& server, CString& object, INTERNET_PORT& port);

// The absolute URL that relativeUrl (absolute, or relative as a Location header may give it)
// names when read against baseUrl; FALSE when it cannot be made.
BOOL AfxCombineURL(const wchar_t* baseUrl, const wchar_t* relativeUrl, CString& combined);
