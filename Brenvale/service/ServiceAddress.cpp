#include "ServiceAddress.h"

#include "ConsoleSettings.h"

CString RedirectServiceUrl(const wchar_t* url, const wchar_t* address)
{
    const CString given(url ? url : L"");
    CString server(address ? address : L"");
    server.Trim();
    if (server.IsEmpty())
        return given;
    DWORD service = 0;
    CString host, object;
    INTERNET_PORT port = 0;
    if (!AfxParseURL(server, service, host, object, port) ||
        (service != AFX_INET_SERVICE_HTTP && service != AFX_INET_SERVICE_HTTPS) || host.IsEmpty() ||
        (!object.IsEmpty() && object != L"/"))
        return given;  // not a server address: the default stays
    server.TrimRight(L'/');
    // The path and query of the given URL: everything from the first "/" after the server.
    const int schemeEnd = given.Find(L"://");
    if (schemeEnd < 0)
        return given;
    const int pathStart = given.Find(L'/', schemeEnd + 3);
    return pathStart < 0 ? server : server + given.Mid(pathStart);
}

CString ResolveServiceUrl(const wchar_t* url)
{
    return RedirectServiceUrl(url, GetSettingString(kServiceAddressSetting));
}
