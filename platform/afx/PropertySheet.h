// CPropertySheet and CPropertyPage: tabbed sheets and wizards over comctl32's property
// sheet. DoModal runs the sheet modeless inside the class library's own modal loop, so the
// sheet's PreTranslateMessage (accelerators, key filters) sees every key; the sheet window is
// subclassed from its first message.
//
//     CPropertySheet sheet(L"Setup");  sheet.AddPage(&welcome);  sheet.AddPage(&done);
//     sheet.SetWizardMode();
//     if (sheet.DoModal() == ID_WIZFINISH) ...
//
// Pages get the sheet's notifications as virtual calls: OnSetActive (set the wizard buttons
// here), OnKillActive, OnWizardNext/OnWizardBack (0: the neighbour page, -1: stay, or the
// template id of the page to go to), OnWizardFinish, OnApply, OnReset, OnQueryCancel.
#pragma once

#include "Dialog.h"

#include <commctrl.h>

#include <vector>

class CPropertySheet;

class CPropertyPage : public CDialog {
    DECLARE_DYNAMIC(CPropertyPage)
public:
    explicit CPropertyPage(UINT templateId, UINT captionId = 0);
    ~CPropertyPage() override;

    // Set before the sheet is shown: flags (PSP_*), titles, icon; the template, procedure
    // and lParam are the class library's.
    PROPSHEETPAGEW m_psp{};

    virtual BOOL OnSetActive();
    virtual BOOL OnKillActive();
    virtual LRESULT OnWizardNext();
    virtual LRESULT OnWizardBack();
    virtual BOOL OnWizardFinish();
    virtual BOOL OnApply();
    virtual void OnReset();
    virtual BOOL OnQueryCancel();
    void SetModified(BOOL changed = TRUE);
    // The sheet holding the page (null before it is shown).
    CPropertySheet* GetSheet() const { return m_sheet; }
    // Ends the whole sheet with the code.
    void EndDialog(int result);

    // Keys are the sheet's (it runs the dialog manager for all pages).
    BOOL PreTranslateMessage(MSG*) override { return FALSE; }

protected:
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnOK() override {}
    void OnCancel() override {}

private:
    friend class CPropertySheet;
    friend INT_PTR CALLBACK AfxPropPageDlgProc(HWND, UINT, WPARAM, LPARAM);
    CPropertySheet* m_sheet = nullptr;
    CString m_caption;
};

class CPropertySheet : public CWnd {
    DECLARE_DYNAMIC(CPropertySheet)
public:
    explicit CPropertySheet(const wchar_t* caption = nullptr, CWnd* parent = nullptr, UINT selectPage = 0);
    explicit CPropertySheet(UINT captionId, CWnd* parent = nullptr, UINT selectPage = 0);
    ~CPropertySheet() override;

    // Set before DoModal: flags (PSH_*), icon, bitmaps; pages, caption and mode come from the calls below.
    PROPSHEETHEADERW m_psh{};

    void AddPage(CPropertyPage* page);
    void RemovePage(CPropertyPage* page);
    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CPropertyPage* GetPage(int index) const;
    int GetPageIndex(const CPropertyPage* page) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int index);
    BOOL SetActivePage(CPropertyPage* page) { return SetActivePage(GetPageIndex(page)); }
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    BOOL IsWizard() const { return (m_psh.dwFlags & (PSH_WIZARD | PSH_WIZARD97)) != 0; }
    void SetTitle(const wchar_t* title, UINT style = 0);

    // Modal (see above): ID_WIZFINISH, IDOK, IDCANCEL or the code of EndDialog; -1 on failure.
    virtual INT_PTR DoModal();
    void EndDialog(int result);

    // Wrappers of the sheet's messages.
    void SetWizardButtons(DWORD flags) { SendMessage(PSM_SETWIZBUTTONS, 0, static_cast<LPARAM>(flags)); }
    BOOL PressButton(int button) { return PostMessage(PSM_PRESSBUTTON, static_cast<WPARAM>(button)); }
    void CancelToClose() { SendMessage(PSM_CANCELTOCLOSE); }
    void SetFinishText(const wchar_t* text) { SendMessage(PSM_SETFINISHTEXTW, 0, reinterpret_cast<LPARAM>(text)); }
    CWnd* GetTabControl() const { return FromHandle(reinterpret_cast<HWND>(SendMessage(PSM_GETTABCONTROL))); }

    // The sheet's dialog manager for its keys.
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL ContinueModal() override;

    // Set by the pages' notifications: how the sheet ended.
    int m_nModalResult = IDCANCEL;

protected:
    virtual BOOL OnInitDialog();
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnHelpInfo(HELPINFO* info) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CString m_caption;
    CWnd* m_pParentWnd = nullptr;
    UINT m_startPage = 0;

private:
    friend class CPropertyPage;
    // The page's record as comctl32 gets it (template, our procedure, the page in lParam).
    static PROPSHEETPAGEW PageRecord(CPropertyPage* page);
    std::vector<CPropertyPage*> m_pages;
    std::vector<PROPSHEETPAGEW> m_pageRecords;
    bool m_ended = false;
};

// The wizard's buttons (comctl32 ids) and the Finish result.
#ifndef ID_WIZBACK
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025
#endif
