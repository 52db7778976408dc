#include "Menu.h"

#include "AfxResource.h"
#include "Wnd.h"

#include <memory>
#include <unordered_map>

IMPLEMENT_DYNAMIC(CMenu, CObject)

namespace {
using MenuMap = std::unordered_map<HMENU, std::unique_ptr<CMenu>>;
// A plain pointer, as the windows' map (see AfxTermThreadWindows); freed by AfxTermThreadMenus.
thread_local MenuMap* t_menus = nullptr;

MenuMap& TempMenus()
{
    if (!t_menus)
        t_menus = new MenuMap;
    return *t_menus;
}
}  // namespace

void AfxTermThreadMenus()
{
    delete t_menus;
    t_menus = nullptr;
}

CMenu* CMenu::FromHandle(HMENU menu)
{
    if (!menu)
        return nullptr;
    auto& temp = TempMenus()[menu];
    if (!temp) {
        temp = std::make_unique<CMenu>();
        temp->m_hMenu = menu;
        temp->m_owned = false;
    }
    return temp.get();
}

void CMenu::DeleteTempMap()
{
    if (t_menus)
        t_menus->clear();
}

BOOL CMenu::Attach(HMENU menu)
{
    DestroyMenu();
    m_hMenu = menu;
    m_owned = true;
    return menu != nullptr;
}

HMENU CMenu::Detach()
{
    HMENU menu = m_hMenu;
    m_hMenu = nullptr;
    return menu;
}

BOOL CMenu::DestroyMenu()
{
    if (!m_hMenu)
        return FALSE;
    const BOOL done = m_owned ? ::DestroyMenu(m_hMenu) : TRUE;
    m_hMenu = nullptr;
    return done;
}

BOOL CMenu::LoadMenu(UINT id) { return Attach(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id))); }

CString CMenu::GetMenuString(UINT id, UINT flags) const
{
    wchar_t buffer[256];
    const int length = ::GetMenuStringW(m_hMenu, id, buffer, 256, flags);
    return CString(buffer, length > 0 ? length : 0);
}

BOOL CMenu::TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, const RECT* rect)
{
    return ::TrackPopupMenu(m_hMenu, flags, x, y, 0, wnd ? wnd->m_hWnd : nullptr, rect);
}

HACCEL AfxLoadAccelerators(UINT id) { return ::LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)); }

namespace {
thread_local int g_waitDepth = 0;
}

CWaitCursor::CWaitCursor() : m_previous(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) { ++g_waitDepth; }

CWaitCursor::~CWaitCursor()
{
    if (--g_waitDepth == 0)
        ::SetCursor(m_previous ? m_previous : ::LoadCursorW(nullptr, IDC_ARROW));
}

void CWaitCursor::Restore() { ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT)); }
