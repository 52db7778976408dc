#include "ShellOpen.h"

#include "Internet.h"

#include <shellapi.h>

#include <utility>

namespace {

ShellOpenHandler& Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

}  // namespace

BOOL OpenInShell(const wchar_t* target)
{
    if (Handler())
        return Handler()(target);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}

bool IsWebAddress(const wchar_t* url)
{
    if (!url || (_wcsnicmp(url, L"http://", 7) != 0 && _wcsnicmp(url, L"https://", 8) != 0))
        return false;
    for (const wchar_t* ch = url; *ch; ++ch) {
        if (*ch < L' ' || *ch == 0x7F || *ch == L'"')
            return false;
    }
    DWORD service = 0;
    CString server, object;
    INTERNET_PORT port = 0;
    return AfxParseURL(url, service, server, object, port) &&
           (service == AFX_INET_SERVICE_HTTP || service == AFX_INET_SERVICE_HTTPS) && !server.IsEmpty();
}
