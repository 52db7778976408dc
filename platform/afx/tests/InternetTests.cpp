// The URL parser and the texts of internet exceptions (the HTTP classes are exercised
// against a real server by the download thread's tests).
#include "afx.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

struct UrlCase {
    const wchar_t* url;
    BOOL ok;
    DWORD service;
    const wchar_t* server;
    const wchar_t* object;
    INTERNET_PORT port;
};

TEST(AfxParseUrl, SplitsUrlsIntoServiceServerObjectAndPort)
{
    const UrlCase cases[] = {
        {L"http://media.example.com/parts/a.wma", TRUE, AFX_INET_SERVICE_HTTP, L"media.example.com", L"/parts/a.wma", 80},
        {L"https://media.example.com/a.wma?k=1&v=2", TRUE, AFX_INET_SERVICE_HTTPS, L"media.example.com",
         L"/a.wma?k=1&v=2", 443},
        {L"http://127.0.0.1:8123/x/y", TRUE, AFX_INET_SERVICE_HTTP, L"127.0.0.1", L"/x/y", 8123},
        {L"HTTP://Host.Example.com", TRUE, AFX_INET_SERVICE_HTTP, L"Host.Example.com", L"/", 80},
        {L"http://host/My Book 01.wma", TRUE, AFX_INET_SERVICE_HTTP, L"host", L"/My%20Book%2001.wma", 80},
        {L"http://host/My%20Book.wma", TRUE, AFX_INET_SERVICE_HTTP, L"host", L"/My%20Book.wma", 80},
        {L"http://host/a.mp3#chapter2", TRUE, AFX_INET_SERVICE_HTTP, L"host", L"/a.mp3", 80},
        {L"ftp://files.example.com/a.wma", TRUE, AFX_INET_SERVICE_FTP, L"files.example.com", L"/a.wma", 21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.url).ToNarrow());
        DWORD service = 0;
        CString server, object;
        INTERNET_PORT port = 0;
        EXPECT_EQ(AfxParseURL(c.url, service, server, object, port), c.ok);
        EXPECT_EQ(service, c.service);
        EXPECT_EQ(server, c.server);
        EXPECT_EQ(object, c.object);
        EXPECT_EQ(port, c.port);
    }
}

TEST(AfxParseUrl, RefusesTextsThatAreNoUsableUrls)
{
    for (const wchar_t* url : {L"", L"not a url", L"http://"}) {
        SCOPED_TRACE(CString(url).ToNarrow());
        DWORD service = 0;
        CString server, object;
        INTERNET_PORT port = 0;
        EXPECT_FALSE(AfxParseURL(url, service, server, object, port));
        EXPECT_EQ(service, AFX_INET_SERVICE_UNK);
    }
    // Paths and file URLs never pass as web addresses.
    for (const wchar_t* url : {L"c:\\media\\a.wma", L"file:///c:/media/a.wma"}) {
        SCOPED_TRACE(CString(url).ToNarrow());
        DWORD service = 0;
        CString server, object;
        INTERNET_PORT port = 0;
        AfxParseURL(url, service, server, object, port);
        EXPECT_NE(service, AFX_INET_SERVICE_HTTP);
        EXPECT_NE(service, AFX_INET_SERVICE_HTTPS);
    }
}

TEST(InternetUrl, CombinesARedirectsLocationWithTheRequestsUrl)
{
    struct Case {
        const wchar_t* base;
        const wchar_t* location;
        const wchar_t* combined;  // null: refused
    };
    const Case cases[] = {
        {L"http://host:8080/media/a/part.wma", L"/other/part.wma", L"http://host:8080/other/part.wma"},
        {L"http://host/media/a/part.wma?x=1", L"b/part.wma?y=2", L"http://host/media/a/b/part.wma?y=2"},
        {L"http://host/media/part.wma", L"https://cdn.example/p/part.wma", L"https://cdn.example/p/part.wma"},
        {L"https://host/media/part.wma", L"//mirror/part.wma", L"https://mirror/part.wma"},
        {L"http://host/media/part.wma", L"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.location).ToNarrow());
        CString combined;
        EXPECT_EQ(AfxCombineURL(c.base, c.location, combined), c.combined != nullptr);
        if (c.combined) {
            EXPECT_EQ(combined, c.combined);
        }
    }
}

TEST(InternetException, CarriesWinInetTextsForItsCodes)
{
    // The certificate failures of a secure server among them, and the socket errors a request
    // may pass on: the user must learn what failed.
    for (DWORD code : {DWORD(ERROR_INTERNET_CANNOT_CONNECT), DWORD(ERROR_INTERNET_NAME_NOT_RESOLVED),
                       DWORD(ERROR_INTERNET_CONNECTION_ABORTED), DWORD(ERROR_INTERNET_CONNECTION_RESET),
                       DWORD(ERROR_INTERNET_TIMEOUT), DWORD(ERROR_HTTP_INVALID_SERVER_RESPONSE),
                       DWORD(ERROR_INTERNET_SEC_CERT_DATE_INVALID), DWORD(ERROR_INTERNET_SEC_CERT_CN_INVALID),
                       DWORD(ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED), DWORD(ERROR_INTERNET_INVALID_CA),
                       DWORD(ERROR_INTERNET_SEC_CERT_ERRORS), DWORD(ERROR_INTERNET_SEC_CERT_NO_REV),
                       DWORD(ERROR_INTERNET_SEC_CERT_REV_FAILED), DWORD(ERROR_INTERNET_SEC_INVALID_CERT),
                       DWORD(ERROR_INTERNET_SEC_CERT_REVOKED), DWORD(ERROR_INTERNET_SECURITY_CHANNEL_ERROR),
                       DWORD(WSAETIMEDOUT), DWORD(WSAECONNRESET)}) {
        CString text = CInternetException(code).GetErrorMessage();
        SCOPED_TRACE(text.ToNarrow());
        EXPECT_FALSE(text.IsEmpty());
        EXPECT_EQ(text.Find(L"Internet error"), -1) << "no WinINet text for " << code;
        EXPECT_NE(text.Right(1), L"\n");
    }
    try {
        AfxThrowInternetException(7, ERROR_INTERNET_TIMEOUT);
    } catch (const CException& e) {
        auto* inet = dynamic_cast<const CInternetException*>(&e);
        ASSERT_NE(inet, nullptr);
        EXPECT_EQ(inet->m_dwError, static_cast<DWORD>(ERROR_INTERNET_TIMEOUT));
        EXPECT_EQ(inet->m_dwContext, 7u);
    }
}

}  // namespace
