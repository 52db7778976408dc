#include "AfxMessageBox.h"

#include "WinApp.h"
#include "WinThread.h"
#include "Wnd.h"

#include <mutex>

namespace {

std::mutex g_lock;
AfxMessageBoxHandler g_handler;
CString g_caption;
HWND g_owner = nullptr;

}  // namespace

AfxMessageBoxHandler AfxSetMessageBoxHandler(AfxMessageBoxHandler handler)
{
    std::lock_guard<std::mutex> hold(g_lock);
    std::swap(g_handler, handler);
    return handler;
}

void AfxSetMessageBoxCaption(const wchar_t* caption)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_caption = caption;
}

void AfxSetMessageBoxOwner(HWND owner)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_owner = owner;
}

int AfxShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type, UINT helpId)
{
    AfxMessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        handler = g_handler;
    }
    AfxMessageBoxRequest request{owner, CString(text), CString(caption), type, helpId};
    if (handler)
        return handler(request);
    return MessageBoxW(owner, request.text, request.caption, type);
}

int AfxMessageBox(const wchar_t* text, UINT type, UINT helpId)
{
    if (CWinApp* app = AfxGetApp())
        return app->DoMessageBox(text, type, helpId);
    return AfxDefaultMessageBox(text, type, helpId);
}

namespace {
HWND LiveWindow(const CWnd* window) { return window && window->m_hWnd && IsWindow(window->m_hWnd) ? window->m_hWnd : nullptr; }
}  // namespace

HWND AfxGetMessageBoxOwner()
{
    HWND owner;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        owner = g_owner;
    }
    if (owner && IsWindow(owner))
        return owner;
    if (CWinThread* thread = AfxGetThread())
        if (HWND main = LiveWindow(thread->m_pMainWnd))
            return main;
    // A worker thread has no main window of its own: its boxes belong to the program's, so
    // that they stay in front of it and keep it from being used until they are answered.
    if (CWinApp* app = AfxGetApp())
        return LiveWindow(app->m_pMainWnd);
    return nullptr;
}

int AfxDefaultMessageBox(const wchar_t* text, UINT type, UINT helpId)
{
    CString caption;
    {
        std::lock_guard<std::mutex> hold(g_lock);
        caption = g_caption;
    }
    return AfxShowMessageBox(AfxGetMessageBoxOwner(), text, caption, type, helpId);
}

int AfxMessageBox(UINT textId, UINT type, UINT helpId)
{
    CString text;
    text.LoadString(textId);
    return AfxMessageBox(text, type, helpId == static_cast<UINT>(-1) ? textId : helpId);
}
