#include "CmdTarget.h"

#include "Wnd.h"

#include <commctrl.h>

BOOL CCmdTarget::OnCmdMsg(UINT, UINT) { return FALSE; }
BOOL CCmdTarget::OnUpdateCmdUI(CCmdUI*) { return FALSE; }

void CCmdUI::Enable(BOOL on)
{
    m_bEnabled = on;
    if (m_hMenu) {
        ::EnableMenuItem(m_hMenu, m_nIndex, MF_BYPOSITION | (on ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    } else if (m_pOther && m_pOther->m_hWnd) {
        m_pOther->SendMessage(TB_ENABLEBUTTON, m_nID, MAKELPARAM(on ? TRUE : FALSE, 0));
    }
}

namespace {
// Checks or unchecks a menu item by position, with a round mark or a tick.
void CheckMenuItemAt(HMENU menu, UINT position, bool checked, bool radio)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_STATE;
    if (!::GetMenuItemInfoW(menu, position, TRUE, &info))
        return;
    info.fType = radio ? (info.fType | MFT_RADIOCHECK) : (info.fType & ~MFT_RADIOCHECK);
    info.fState = checked ? (info.fState | MFS_CHECKED) : (info.fState & ~MFS_CHECKED);
    ::SetMenuItemInfoW(menu, position, TRUE, &info);
}
}  // namespace

void CCmdUI::SetCheck(int check)
{
    m_nCheck = check;
    if (m_hMenu)
        CheckMenuItemAt(m_hMenu, m_nIndex, check != 0, false);
    else if (m_pOther && m_pOther->m_hWnd)
        m_pOther->SendMessage(TB_CHECKBUTTON, m_nID, MAKELPARAM(check ? TRUE : FALSE, 0));
}

void CCmdUI::SetRadio(BOOL on)
{
    m_nCheck = on ? 1 : 0;
    if (m_hMenu)
        CheckMenuItemAt(m_hMenu, m_nIndex, on != FALSE, true);
    else if (m_pOther && m_pOther->m_hWnd)
        m_pOther->SendMessage(TB_CHECKBUTTON, m_nID, MAKELPARAM(on ? TRUE : FALSE, 0));
}

void CCmdUI::SetText(const wchar_t* text)
{
    if (!m_hMenu || !text)
        return;
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = const_cast<wchar_t*>(text);
    ::SetMenuItemInfoW(m_hMenu, m_nIndex, TRUE, &info);
}
