// CMenu: a menu (owned when loaded or created by the object; menus met through FromHandle,
// GetSubMenu or GetMenu are borrowed temporaries). Accelerator tables and the wait cursor.
//     CMenu menu;  menu.LoadMenu(IDR_CONTEXT);
//     menu.GetSubMenu(0)->TrackPopupMenu(TPM_RIGHTBUTTON, pt.x, pt.y, this);
#pragma once

#include "CObject.h"
#include "CString.h"

class CWnd;

class CMenu : public CObject {
    DECLARE_DYNAMIC(CMenu)
public:
    CMenu() = default;
    ~CMenu() override { DestroyMenu(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    HMENU m_hMenu = nullptr;
    operator HMENU() const { return m_hMenu; }
    HMENU GetSafeHmenu() const { return m_hMenu; }
    // A borrowed temporary object of a menu (deleted when the thread is idle); null for null.
    static CMenu* FromHandle(HMENU menu);
    static void DeleteTempMap();

    BOOL Attach(HMENU menu);  // owned from now on
    HMENU Detach();
    BOOL DestroyMenu();
    BOOL LoadMenu(UINT id);
    BOOL CreateMenu() { return Attach(::CreateMenu()); }
    BOOL CreatePopupMenu() { return Attach(::CreatePopupMenu()); }

    CMenu* GetSubMenu(int position) const { return FromHandle(::GetSubMenu(m_hMenu, position)); }
    int GetMenuItemCount() const { return ::GetMenuItemCount(m_hMenu); }
    UINT GetMenuItemID(int position) const { return ::GetMenuItemID(m_hMenu, position); }
    UINT GetMenuState(UINT id, UINT flags) const { return ::GetMenuState(m_hMenu, id, flags); }
    CString GetMenuString(UINT id, UINT flags) const;
    BOOL AppendMenu(UINT flags, UINT_PTR id = 0, const wchar_t* text = nullptr)
    {
        return ::AppendMenuW(m_hMenu, flags, id, text);
    }
    BOOL InsertMenu(UINT position, UINT flags, UINT_PTR id = 0, const wchar_t* text = nullptr)
    {
        return ::InsertMenuW(m_hMenu, position, flags, id, text);
    }
    BOOL ModifyMenu(UINT position, UINT flags, UINT_PTR id = 0, const wchar_t* text = nullptr)
    {
        return ::ModifyMenuW(m_hMenu, position, flags, id, text);
    }
    BOOL DeleteMenu(UINT position, UINT flags) { return ::DeleteMenu(m_hMenu, position, flags); }
    BOOL RemoveMenu(UINT position, UINT flags) { return ::RemoveMenu(m_hMenu, position, flags); }
    UINT EnableMenuItem(UINT id, UINT enable) { return ::EnableMenuItem(m_hMenu, id, enable); }
    UINT CheckMenuItem(UINT id, UINT check) { return ::CheckMenuItem(m_hMenu, id, check); }
    BOOL CheckMenuRadioItem(UINT first, UINT last, UINT item, UINT flags)
    {
        return ::CheckMenuRadioItem(m_hMenu, first, last, item, flags);
    }
    BOOL SetDefaultItem(UINT item, BOOL byPosition = FALSE) { return ::SetMenuDefaultItem(m_hMenu, item, byPosition); }
    BOOL TrackPopupMenu(UINT flags, int x, int y, CWnd* wnd, const RECT* rect = nullptr);

private:
    bool m_owned = true;
};

// Frees the calling thread's temporary menu objects (a CWinThread does it when its thread ends).
void AfxTermThreadMenus();

// Accelerator tables of the resource module (shared handles: the system frees them).
HACCEL AfxLoadAccelerators(UINT id);

// The hourglass while the object lives (nested waits keep it until the outermost ends).
class CWaitCursor {
public:
    CWaitCursor();
    ~CWaitCursor();
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
    void Restore();  // shows the wait cursor again (after a box changed it)

private:
    HCURSOR m_previous;
};
