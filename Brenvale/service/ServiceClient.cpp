#include "ServiceClient.h"

#include "DetectObject.h"
#include "DownloadThread.h"
#include "FileUtils.h"
#include "OleDispatchDriver.h"
#include "TextConversion.h"
#include "res/ServiceIds.h"

#include <algorithm>
#include <memory>
#include <string>

namespace {

// The text of a caught failure as the messages carry it: the class library's 300-character
// form without its trailing line breaks.
CString FailureText(const CException& e)
{
    wchar_t text[300];
    if (!e.GetErrorMessage(text, 300))
        text[0] = L'\0';
    return TrimLineBreaks(text);
}

bool IsUnreserved(unsigned char ch)
{
    return (ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '-' ||
           ch == '.' || ch == '_' || ch == '~';
}

// Reads the body whole, up to the cap; a body that ends before the length the server gave
// has lost its connection.
std::string ReadReply(CHttpFile& request)
{
    DWORD announced = 0;
    const bool haveLength = request.QueryInfo(HTTP_QUERY_CONTENT_LENGTH, announced) != FALSE;
    std::string body;
    char piece[16384];
    while (body.size() < kMaxServiceReplyBytes) {
        const UINT want = static_cast<UINT>(std::min(sizeof piece, kMaxServiceReplyBytes - body.size()));
        const UINT got = request.Read(piece, want);
        if (got == 0)
            break;
        body.append(piece, got);
    }
    if (haveLength && body.size() < announced && body.size() < kMaxServiceReplyBytes)
        AfxThrowInternetException(1, ERROR_INTERNET_CONNECTION_RESET);
    return body;
}

}  // namespace

CString PercentEncode(const CString& value)
{
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    const std::string bytes = AfxToMultiByte(value, value.GetLength(), CP_UTF8);
    CString encoded;
    for (const char byte : bytes) {
        const auto ch = static_cast<unsigned char>(byte);
        if (IsUnreserved(ch)) {
            encoded += static_cast<wchar_t>(ch);
        } else {
            encoded += L'%';
            encoded += kHex[ch >> 4];
            encoded += kHex[ch & 15];
        }
    }
    return encoded;
}

CString BuildServiceQuery(const CString& url, const CString& osVersion, const CString& consoleVersion,
                          const wchar_t* id)
{
    CString query;
    query.Format(L"PlatformID=WIN&OSVersion=%s&ZKYVersion=%s", PercentEncode(osVersion).GetString(),
                 PercentEncode(consoleVersion).GetString());
    if (id && *id) {
        if (url.Find(L"CheckForUpdates") >= 0)
            query += L"&MediaID=" + PercentEncode(id);
        else if (url.Find(L"CheckForMessages") >= 0)
            query += L"&LastMessageID=" + PercentEncode(id);
    }
    return query;
}

CString FindReplyElement(const CString& reply, const wchar_t* name)
{
    const CString open = CString(L"<") + name + L">";
    const CString close = CString(L"</") + name + L">";
    const int start = reply.Find(open);
    if (start < 0)
        return CString();
    const int first = start + open.GetLength();
    const int end = reply.Find(close, first);
    return end < 0 ? CString() : reply.Mid(first, end - first);
}

CString DescribeServiceFailure(const CString& body)
{
    const CString code = FindReplyElement(body, L"ErrorCode");
    const CString message = FindReplyElement(body, L"ErrorMessage");
    const CString details = FindReplyElement(body, L"ErrorDetails");
    CString text;
    if (!code.IsEmpty() && !message.IsEmpty()) {
        if (details.IsEmpty())
            text.Format(L"Error %s: %s.", code.GetString(), message.GetString());
        else
            text.Format(L"Error %s: %s (%s).", code.GetString(), message.GetString(), details.GetString());
    } else if (body.Find(L"NotImplemented") >= 0) {
        text.LoadString(IDS_SERVICE_NOT_IMPLEMENTED);
    } else {
        text = body;
    }
    return text;
}

BOOL SendServiceRequest(const CString& url, const CString& query, const CString& activity, CString& reply,
                        DWORD& status, const CString& userName, const CString& password)
{
    reply.Empty();
    status = 0;
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(url, service, server, object, port) ||
        (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS)) {
        reply.Format(IDS_SERVICE_URL_INVALID, url.GetString());
        return FALSE;
    }
    if (object.IsEmpty())
        object = L"/";
    if (!query.IsEmpty())
        object += (object.Find(L'?') >= 0 ? L"&" : L"?") + query;
    const CString words = activity.IsEmpty() ? CString(L"HTTP request") : activity;

    // Always from the server, and never kept in the URL cache. Certificate errors are never
    // ignored.
    const DWORD flags = UncachedRequestFlags(service);
    // Declared in the order they are opened, so that they close in the reverse order.
    std::unique_ptr<CInternetSession> session;
    std::unique_ptr<CHttpConnection> connection;
    std::unique_ptr<CHttpFile> request;
    std::string body;
    UINT step = IDS_SERVICE_NO_SESSION;
    try {
        session = std::make_unique<CInternetSession>(AfxLoadString(AFX_IDS_APP_TITLE), 1, INTERNET_OPEN_TYPE_PRECONFIG);
        step = IDS_SERVICE_NO_CONNECTION;
        connection.reset(session->GetHttpConnection(server, port, userName, password));
        step = IDS_SERVICE_NO_REQUEST;
        request.reset(connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, object, nullptr, 1, nullptr, nullptr,
                                              flags));
        // A proxy that asks for credentials gets the same ones.
        SetProxyCredentials(*request, userName, password);
        step = IDS_SERVICE_NOT_SENT;
        request->SendRequest();
        step = IDS_SERVICE_CONNECTION_LOST;
        status = HTTP_STATUS_SERVER_ERROR;
        DWORD code = 0;
        if (request->QueryInfoStatusCode(code))
            status = code;
        if (status != HTTP_STATUS_NOT_MODIFIED)
            body = ReadReply(*request);
    } catch (const CException& e) {
        const CString text = FailureText(e);
        if (step == IDS_SERVICE_NO_CONNECTION)
            reply.Format(step, server.GetString(), static_cast<int>(port), text.GetString(), words.GetString());
        else
            reply.Format(step, text.GetString(), words.GetString());
        return FALSE;
    }
    reply = AfxToWideUtf8OrAnsi(body.data(), static_cast<int>(body.size()));
    if (status >= HTTP_STATUS_OK && status <= HTTP_STATUS_NOT_MODIFIED)
        return TRUE;
    reply = DescribeServiceFailure(reply);
    return FALSE;
}

BOOL CheckForUpdatesOrMessages(const CString& url, const wchar_t* id, CString& reply, CString& installedVersion,
                               DWORD& status, const CString& userName, const CString& password)
{
    reply.Empty();
    installedVersion.Empty();
    status = 0;
    CString osVersion;
    {
        COleDispatchDriver detect;
        const HRESULT created = detect.CreateDispatch(kDetectObjectProgId);
        try {
            if (FAILED(created))
                throw COleDispatchException(created);
            detect.InvokeHelper(DISPID_DETECT_CONSOLE_VERSION, DISPATCH_METHOD, VT_BSTR, &installedVersion);
            detect.InvokeHelper(DISPID_DETECT_OS_VERSION, DISPATCH_METHOD, VT_BSTR, &osVersion);
        } catch (const CException& e) {
            // An object that cannot answer is as little use as none.
            installedVersion.Empty();
            reply.Format(IDS_DETECT_OBJECT_MISSING, FailureText(e).GetString());
            return FALSE;
        }
    }
    const wchar_t* activity = L"proceed with this checking";
    if (url.Find(L"CheckForUpdates") >= 0)
        activity = L"check for updates";
    else if (url.Find(L"CheckForMessages") >= 0)
        activity = L"check for messages";
    return SendServiceRequest(url, BuildServiceQuery(url, osVersion, installedVersion, id), activity, reply, status,
                              userName, password);
}
