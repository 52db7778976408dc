#include "PropertySheet.h"

#include "AfxResource.h"
#include "WinApp.h"

IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)
IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

// --- Pages ---

INT_PTR CALLBACK AfxPropPageDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    // The page object rides in the page record; from here on the page's messages are ours.
    const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
    auto* page = record ? reinterpret_cast<CPropertyPage*>(record->lParam) : nullptr;
    if (!page || !page->SubclassWindow(hwnd))
        return TRUE;
    return AfxCallWndProc(page, hwnd, message, wParam, lParam);
}

CPropertyPage::CPropertyPage(UINT templateId, UINT captionId) : CDialog(templateId, nullptr)
{
    m_psp.dwSize = sizeof m_psp;
    if (captionId) {
        m_caption = AfxLoadString(captionId);
        m_psp.dwFlags |= PSP_USETITLE;
    }
}

CPropertyPage::~CPropertyPage()
{
    // The sheet destroys page windows; an object that goes first lets its window go.
    if (m_hWnd)
        UnsubclassWindow();
}

BOOL CPropertyPage::OnSetActive()
{
    UpdateData(FALSE);
    return TRUE;
}

BOOL CPropertyPage::OnKillActive() { return UpdateData(TRUE); }
LRESULT CPropertyPage::OnWizardNext() { return 0; }
LRESULT CPropertyPage::OnWizardBack() { return 0; }
BOOL CPropertyPage::OnWizardFinish() { return TRUE; }
BOOL CPropertyPage::OnApply() { return TRUE; }
void CPropertyPage::OnReset() {}
BOOL CPropertyPage::OnQueryCancel() { return TRUE; }

void CPropertyPage::SetModified(BOOL changed)
{
    HWND sheet = ::GetParent(m_hWnd);
    if (sheet)
        ::SendMessageW(sheet, changed ? PSM_CHANGED : PSM_UNCHANGED, reinterpret_cast<WPARAM>(m_hWnd), 0);
}

void CPropertyPage::EndDialog(int result)
{
    if (m_sheet)
        m_sheet->EndDialog(result);
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (!header || header->hwndFrom != ::GetParent(m_hWnd))
        return CDialog::OnNotify(wParam, lParam, result);
    switch (header->code) {
    case PSN_SETACTIVE:
        *result = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        *result = OnKillActive() ? FALSE : TRUE;
        break;
    case PSN_APPLY:
        if (OnApply()) {
            *result = PSNRET_NOERROR;
            if (m_sheet)
                m_sheet->m_nModalResult = IDOK;
        } else {
            *result = PSNRET_INVALID_NOCHANGEPAGE;
        }
        break;
    case PSN_RESET:
        OnReset();
        if (m_sheet)
            m_sheet->m_nModalResult = IDCANCEL;
        break;
    case PSN_QUERYCANCEL:
        *result = OnQueryCancel() ? FALSE : TRUE;
        break;
    case PSN_WIZNEXT:
        *result = OnWizardNext();
        break;
    case PSN_WIZBACK:
        *result = OnWizardBack();
        break;
    case PSN_WIZFINISH:
        if (OnWizardFinish()) {
            *result = FALSE;
            if (m_sheet)
                m_sheet->m_nModalResult = ID_WIZFINISH;
        } else {
            *result = TRUE;
        }
        break;
    case PSN_HELP:
        OnHelp();
        break;
    default:
        return CDialog::OnNotify(wParam, lParam, result);
    }
    // Dialog procedures answer in DWLP_MSGRESULT; the sheet reads it either way.
    SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, *result);
    return TRUE;
}

// --- The sheet ---

CPropertySheet::CPropertySheet(const wchar_t* caption, CWnd* parent, UINT selectPage)
    : m_caption(caption), m_pParentWnd(parent), m_startPage(selectPage)
{
    m_psh.dwSize = sizeof m_psh;
}

CPropertySheet::CPropertySheet(UINT captionId, CWnd* parent, UINT selectPage)
    : CPropertySheet(static_cast<const wchar_t*>(AfxLoadString(captionId)), parent, selectPage)
{
}

CPropertySheet::~CPropertySheet()
{
    for (CPropertyPage* page : m_pages)
        page->m_sheet = nullptr;
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
}

void CPropertySheet::AddPage(CPropertyPage* page)
{
    if (!page)
        return;
    m_pages.push_back(page);
    page->m_sheet = this;
    if (m_hWnd) {
        // The sheet is up: comctl32 adds the page at once.
        const PROPSHEETPAGEW record = PageRecord(page);
        HPROPSHEETPAGE handle = CreatePropertySheetPageW(&record);
        if (handle)
            SendMessage(PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(handle));
    }
}

void CPropertySheet::RemovePage(CPropertyPage* page)
{
    const int index = GetPageIndex(page);
    if (index < 0)
        return;
    if (m_hWnd)
        SendMessage(PSM_REMOVEPAGE, static_cast<WPARAM>(index));
    m_pages.erase(m_pages.begin() + index);
    page->m_sheet = nullptr;
}

CPropertyPage* CPropertySheet::GetPage(int index) const
{
    return index >= 0 && index < GetPageCount() ? m_pages[static_cast<size_t>(index)] : nullptr;
}

int CPropertySheet::GetPageIndex(const CPropertyPage* page) const
{
    for (size_t i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i] == page)
            return static_cast<int>(i);
    }
    return -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    if (!m_hWnd)
        return GetPage(static_cast<int>(m_startPage));
    HWND current = reinterpret_cast<HWND>(SendMessage(PSM_GETCURRENTPAGEHWND));
    for (CPropertyPage* page : m_pages) {
        if (page->m_hWnd && page->m_hWnd == current)
            return page;
    }
    return nullptr;
}

int CPropertySheet::GetActiveIndex() const
{
    if (!m_hWnd)
        return static_cast<int>(m_startPage);
    return GetPageIndex(GetActivePage());
}

BOOL CPropertySheet::SetActivePage(int index)
{
    if (!m_hWnd) {
        m_startPage = static_cast<UINT>(index);
        return TRUE;
    }
    return static_cast<BOOL>(SendMessage(PSM_SETCURSEL, static_cast<WPARAM>(index)));
}

void CPropertySheet::SetTitle(const wchar_t* title, UINT style)
{
    m_caption = title;
    if (m_hWnd)
        SendMessage(PSM_SETTITLEW, style, reinterpret_cast<LPARAM>(static_cast<const wchar_t*>(m_caption)));
    else if (style & PSH_PROPTITLE)
        m_psh.dwFlags |= PSH_PROPTITLE;
}

INT_PTR CPropertySheet::DoModal()
{
    if (m_pages.empty() || m_hWnd)
        return -1;
    m_pageRecords.clear();
    for (CPropertyPage* page : m_pages) {
        m_pageRecords.push_back(PageRecord(page));
        page->m_sheet = this;
    }
    CModalScope scope(m_pParentWnd);

    PROPSHEETHEADERW header = m_psh;
    header.dwSize = sizeof header;
    header.dwFlags |= PSH_PROPSHEETPAGE | PSH_MODELESS;
    header.dwFlags &= ~static_cast<DWORD>(PSH_USEPSTARTPAGE);
    header.hwndParent = scope.Owner();
    header.hInstance = AfxGetResourceHandle();
    header.pszCaption = m_caption;
    header.nPages = static_cast<UINT>(m_pageRecords.size());
    header.nStartPage = m_startPage;
    header.ppsp = m_pageRecords.data();

    m_nModalResult = IDCANCEL;
    m_ended = false;
    AfxHookWindowCreate(this);
    const INT_PTR created = PropertySheetW(&header);
    AfxUnhookWindowCreate();
    INT_PTR result = -1;
    if (created && created != -1 && m_hWnd) {
        result = RunModalLoop();
        if (result == -1 && !m_ended)
            result = m_nModalResult;
    }
    scope.Finish(*this);
    return result;
}

PROPSHEETPAGEW CPropertySheet::PageRecord(CPropertyPage* page)
{
    PROPSHEETPAGEW record = page->m_psp;
    record.dwSize = sizeof record;
    record.hInstance = AfxGetResourceHandle();
    record.pszTemplate = MAKEINTRESOURCEW(page->m_templateId);
    record.pfnDlgProc = AfxPropPageDlgProc;
    record.lParam = reinterpret_cast<LPARAM>(page);
    if (record.dwFlags & PSP_USETITLE)
        record.pszTitle = page->m_caption;
    return record;
}

BOOL CPropertySheet::ContinueModal()
{
    if (!CWnd::ContinueModal())
        return FALSE;
    // A modeless sheet says it is done by having no current page any more.
    if (m_hWnd && !SendMessage(PSM_GETCURRENTPAGEHWND)) {
        EndModalLoop(m_nModalResult);
        return FALSE;
    }
    return TRUE;
}

void CPropertySheet::EndDialog(int result)
{
    m_nModalResult = result;
    m_ended = true;
    EndModalLoop(result);
    if (m_hWnd)
        ShowWindow(SW_HIDE);
}

BOOL CPropertySheet::PreTranslateMessage(MSG* msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return FALSE;
    return static_cast<BOOL>(SendMessage(PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(msg)));
}

BOOL CPropertySheet::OnInitDialog() { return static_cast<BOOL>(Default()); }

BOOL CPropertySheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        *result = OnInitDialog();
        // A property sheet with an owner opens over the middle of it, as a dialog does (the
        // system leaves it where the window manager puts it; it has its size only now);
        // wizards place themselves.
        if (!IsWizard() && !(GetStyle() & WS_CHILD) && ::GetWindow(m_hWnd, GW_OWNER))
            CenterWindow();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CPropertySheet::OnHelpInfo(HELPINFO* info)
{
    CPropertyPage* page = GetActivePage();
    if (CWinApp* app = AfxGetApp())
        app->ShowHelpTopic(info, page ? static_cast<const wchar_t*>(page->m_helpTopic) : L"");
    return TRUE;
}

LRESULT CPropertySheet::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefDlgProcW(m_hWnd, message, wParam, lParam);
}
