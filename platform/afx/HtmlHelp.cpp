#include "HtmlHelp.h"

#include <mutex>

namespace {
std::mutex g_lock;
AfxHtmlHelpHandler g_handler;

using HtmlHelpFunction = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);

HtmlHelpFunction BindHtmlHelp()
{
    static HtmlHelpFunction function = [] {
        HMODULE module = LoadLibraryW(L"hhctrl.ocx");
        return module ? reinterpret_cast<HtmlHelpFunction>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")))
                      : nullptr;
    }();
    return function;
}
}  // namespace

AfxHtmlHelpHandler AfxSetHtmlHelpHandler(AfxHtmlHelpHandler handler)
{
    std::lock_guard<std::mutex> hold(g_lock);
    std::swap(g_handler, handler);
    return handler;
}

HWND AfxHtmlHelp(HWND caller, const wchar_t* file, UINT command, DWORD_PTR data)
{
    AfxHtmlHelpHandler handler;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        handler = g_handler;
    }
    if (handler) {
        AfxHtmlHelpCall call{caller, CString(file), command, data, false, {}};
        if (command == HH_DISPLAY_TEXT_POPUP && data) {
            call.hasPopup = true;
            call.popup = *reinterpret_cast<const HH_POPUP*>(data);
            call.popup.pszText = nullptr;
            call.popup.pszFont = nullptr;
        }
        return handler(call);
    }
    HtmlHelpFunction function = BindHtmlHelp();
    return function ? function(caller, file, command, data) : nullptr;
}
