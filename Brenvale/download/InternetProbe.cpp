#include "InternetProbe.h"

#include "DownloadThread.h"
#include "ServiceAddress.h"
#include "res/DownloadQueueIds.h"

#include <memory>

namespace {

CString ErrorText(const CException& e) { return CDownloadThread::LibraryErrorText(e); }

template <typename... Texts>
void ShowFormatted(UINT id, Texts... texts)
{
    CString text;
    text.Format(id, texts...);
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

BOOL ProbeInternetConnection(const CString& purpose, CString& userName, CString& password,
                             const ProxyCredentialsPrompt& askCredentials)
{
    const CString why = purpose.IsEmpty() ? AfxLoadString(IDS_PURPOSE_CONTINUE) : purpose;
    const CString url = ResolveServiceUrl(AfxLoadString(IDS_PROBE_URL));
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(url, service, server, object, port) ||
        (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS)) {
        ShowFormatted(IDS_PROBE_FAILED, why.GetString());
        return FALSE;
    }

    std::unique_ptr<CInternetSession> session;
    try {
        session = std::make_unique<CInternetSession>(AfxLoadString(AFX_IDS_APP_TITLE), 1, INTERNET_OPEN_TYPE_PRECONFIG);
        // A server that accepts and never answers does not hold the console for ever.
        const auto& limits = CDownloadThread::kDefaultTimeouts;
        session->SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, limits.connect);
        session->SetOption(INTERNET_OPTION_SEND_TIMEOUT, limits.send);
        session->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receive);
    } catch (const CException& e) {
        ShowFormatted(IDS_PROBE_NO_SESSION, ErrorText(e).GetString(), why.GetString());
        return FALSE;
    }

    for (;;) {
        std::unique_ptr<CHttpConnection> connection;
        std::unique_ptr<CHttpFile> request;
        try {
            connection.reset(session->GetHttpConnection(server, port, userName, password));
        } catch (const CException& e) {
            ShowFormatted(IDS_PROBE_NO_CONNECTION, server.GetString(), static_cast<int>(port), ErrorText(e).GetString(),
                          why.GetString());
            return FALSE;
        }
        try {
            request.reset(connection->OpenRequest(CHttpConnection::HTTP_VERB_GET, object, nullptr, 1, nullptr, nullptr,
                                                  UncachedRequestFlags(service)));
            request->SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, CDownloadThread::kDefaultTimeouts.receive);
            SetProxyCredentials(*request, userName, password);
        } catch (const CException& e) {
            ShowFormatted(IDS_PROBE_NO_REQUEST, ErrorText(e).GetString(), why.GetString());
            return FALSE;
        }
        DWORD status = 0;
        try {
            request->SendRequest();
            if (!request->QueryInfoStatusCode(status))
                status = HTTP_STATUS_SERVER_ERROR;
        } catch (const CException& e) {
            ShowFormatted(IDS_PROBE_NOT_CONNECTED, ErrorText(e).GetString());
            return FALSE;
        }
        request.reset();
        connection.reset();
        if (status != HTTP_STATUS_PROXY_AUTH_REQ)
            return TRUE;  // any answer means the Internet can be reached
        if (!askCredentials || !askCredentials(userName, password))
            return FALSE;
    }
}
