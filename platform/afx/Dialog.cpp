#include "Dialog.h"

#include "AfxMessageBox.h"
#include "AfxResource.h"
#include "CException.h"
#include "HtmlHelp.h"
#include "WinApp.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <cwchar>

IMPLEMENT_DYNAMIC(CDialog, CWnd)

INT_PTR CALLBACK AfxDlgProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

const DLGTEMPLATE* AfxLoadDialogTemplate(UINT templateId)
{
    HINSTANCE module = AfxGetResourceHandle();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(templateId), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    return loaded ? static_cast<const DLGTEMPLATE*>(LockResource(loaded)) : nullptr;
}

namespace {

// Steps over a name-or-number field of a dialog template: empty, 0xFFFF and a number, or a
// string with its terminating null.
const WORD* SkipNameOrNumber(const WORD* p)
{
    if (*p == 0xFFFF)
        return p + 2;
    while (*p)
        ++p;
    return p + 1;
}

const BYTE* AlignToDword(const BYTE* base, const BYTE* p)
{
    const size_t offset = static_cast<size_t>(p - base);
    return base + ((offset + 3) & ~static_cast<size_t>(3));
}

// Gives each control of a dialog made from an extended template the help id the template
// holds for it, so that its WM_HELP carries it (Wine's dialog manager leaves the ids out).
void ApplyControlHelpIds(HWND dialog, const DLGTEMPLATE* dialogTemplate)
{
    // Only the extended template carries help ids (dialog version 1, signature 0xFFFF).
    const auto* words = reinterpret_cast<const WORD*>(dialogTemplate);
    if (!dialog || !dialogTemplate || words[0] != 1 || words[1] != 0xFFFF)
        return;
    const auto* base = reinterpret_cast<const BYTE*>(dialogTemplate);
    DWORD style = 0;
    memcpy(&style, base + 12, sizeof(style));
    WORD count = 0;
    memcpy(&count, base + 16, sizeof(count));
    // After the counts and the rectangle: menu, class, caption, then the font when one is set.
    const WORD* p = reinterpret_cast<const WORD*>(base + 26);
    p = SkipNameOrNumber(p);
    p = SkipNameOrNumber(p);
    p = SkipNameOrNumber(p);
    if (style & (DS_SETFONT | DS_SHELLFONT))
        p = SkipNameOrNumber(p + 3);  // point size, weight, italic and character set, then the face
    const BYTE* item = reinterpret_cast<const BYTE*>(p);
    for (WORD i = 0; i < count; ++i) {
        item = AlignToDword(base, item);
        DWORD helpId = 0, id = 0;
        memcpy(&helpId, item, sizeof(helpId));
        memcpy(&id, item + 20, sizeof(id));  // after help id, styles and the rectangle
        const WORD* field = reinterpret_cast<const WORD*>(item + 24);
        field = SkipNameOrNumber(field);  // class
        field = SkipNameOrNumber(field);  // text
        const WORD extra = *field;
        item = reinterpret_cast<const BYTE*>(field + 1) + extra;
        if (helpId && id != 0xFFFF && id != 0xFFFFFFFF) {
            if (HWND control = ::GetDlgItem(dialog, static_cast<int>(id)))
                ::SetWindowContextHelpId(control, helpId);
        }
    }
}

}  // namespace

CDialog::~CDialog()
{
    // A modeless dialog still open when its object goes: the window goes with it.
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(m_hWnd);
}

BOOL CDialog::CreateFromTemplate(const DLGTEMPLATE* dialogTemplate, HWND parent)
{
    if (!dialogTemplate || m_hWnd)
        return FALSE;
    AfxHookWindowCreate(this);
    HWND hwnd = CreateDialogIndirectParamW(AfxGetResourceHandle(), dialogTemplate, parent, AfxDlgProc, 0);
    AfxUnhookWindowCreate();
    if (!hwnd) {
        if (m_hWnd)
            Detach();
        return FALSE;
    }
    return m_hWnd == hwnd;
}

BOOL CDialog::Create(UINT templateId, CWnd* parent)
{
    m_templateId = templateId;
    if (!m_nIDHelp)
        m_nIDHelp = templateId;
    m_pParentWnd = parent;
    m_modal = false;
    return CreateFromTemplate(AfxLoadDialogTemplate(templateId), parent ? parent->m_hWnd : nullptr);
}

BOOL CDialog::CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent)
{
    m_pParentWnd = parent;
    m_modal = false;
    return CreateFromTemplate(dialogTemplate, parent ? parent->m_hWnd : nullptr);
}

BOOL CDialog::InitModalIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent)
{
    m_indirectTemplate = dialogTemplate;
    m_pParentWnd = parent;
    return dialogTemplate != nullptr;
}

INT_PTR CDialog::DoModal()
{
    const DLGTEMPLATE* dialogTemplate = m_indirectTemplate ? m_indirectTemplate : AfxLoadDialogTemplate(m_templateId);
    if (!dialogTemplate)
        return -1;
    CModalScope scope(m_pParentWnd);
    m_modal = true;
    int result = -1;
    if (CreateFromTemplate(dialogTemplate, scope.Owner())) {
        if (!(GetStyle() & WS_VISIBLE))
            ShowWindow(SW_SHOWNORMAL);
        if (m_hWnd)
            result = RunModalLoop();
    }
    scope.Finish(*this);
    m_modal = false;
    return result;
}

void CDialog::EndDialog(int result)
{
    if (m_modal) {
        EndModalLoop(result);
        if (m_hWnd)
            ShowWindow(SW_HIDE);
    } else if (m_hWnd) {
        ::DestroyWindow(m_hWnd);
    }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
        return TRUE;
    } catch (const CUserException&) {
        return FALSE;  // the user has been told and the control has the focus
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(TRUE))
        EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::OnHelp() { HtmlHelp(HID_BASE_RESOURCE + m_nIDHelp, HH_HELP_CONTEXT); }

BOOL CDialog::OnHelpInfo(HELPINFO* info)
{
    if (CWinApp* app = AfxGetApp())
        app->ShowHelpTopic(info, m_helpTopic);
    return TRUE;
}

BOOL CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_INITDIALOG) {
        // The controls' help ids as the template gives them.
        ApplyControlHelpIds(m_hWnd, m_indirectTemplate ? m_indirectTemplate
                                                          : (m_templateId ? AfxLoadDialogTemplate(m_templateId) : nullptr));
        // A modal dialog opens over the middle of its owner (the dialog may still move itself).
        if (m_modal && !(GetStyle() & WS_CHILD))
            CenterWindow();
        *result = OnInitDialog();
        return TRUE;
    }
    return CWnd::OnWndMsg(message, wParam, lParam, result);
}

BOOL CDialog::OnCmdMsg(UINT id, UINT code)
{
    if (code != BN_CLICKED && code != 1)  // buttons, menus and accelerators only
        return CWnd::OnCmdMsg(id, code);
    switch (id) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    case ID_HELP:
    case IDHELP:
        OnHelp();
        return TRUE;
    default:
        return CWnd::OnCmdMsg(id, code);
    }
}

LRESULT CDialog::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    // The dialog manager's default window procedure (the class's), never DefWindowProc.
    if (m_pfnSuper)
        return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefDlgProcW(m_hWnd, message, wParam, lParam);
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return FALSE;
    return ::IsDialogMessageW(m_hWnd, msg);
}

// --- Data exchange ---

HWND CDataExchange::PrepareCtrl(int id)
{
    HWND control = ::GetDlgItem(m_pDlgWnd->m_hWnd, id);
    if (!control) {
        CString text;
        text.Format(L"The dialog has no control %d.", id);
        AfxMessageBox(text, MB_OK | MB_ICONSTOP);
        AfxThrowUserException();
    }
    m_hWndLastControl = control;
    m_bEditLastControl = FALSE;
    return control;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && m_hWndLastControl) {
        ::SetFocus(m_hWndLastControl);
        if (m_bEditLastControl)
            ::SendMessageW(m_hWndLastControl, EM_SETSEL, 0, -1);
    }
    AfxThrowUserException();
}

void DDX_Control(CDataExchange* dx, int id, CWnd& control)
{
    if (control.m_hWnd)
        return;
    HWND item = dx->PrepareCtrl(id);
    if (!control.SubclassWindow(item)) {
        AfxMessageBox(L"A dialog control could not be bound.", MB_OK | MB_ICONSTOP);
        AfxThrowUserException();
    }
}

void DDX_Text(CDataExchange* dx, int id, CString& value)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = CWnd::FromHandle(control)->GetWindowText();
    else
        ::SetWindowTextW(control, value);
}

namespace {
// A whole number of the text (blanks around allowed); FALSE when it is not one or overflows.
template <class T>
bool ParseWhole(const CString& text, bool isSigned, T& out)
{
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t')
        ++p;
    if (!*p)
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    long long number = 0;
    if (isSigned)
        number = std::wcstoll(p, &end, 10);
    else if (*p == L'-')
        return false;
    else
        number = static_cast<long long>(std::wcstoull(p, &end, 10));
    if (errno == ERANGE || end == p)
        return false;
    while (*end == L' ' || *end == L'\t')
        ++end;
    if (*end)
        return false;
    if (isSigned ? (number < INT_MIN || number > INT_MAX) : (number < 0 || number > static_cast<long long>(UINT_MAX)))
        return false;
    out = static_cast<T>(number);
    return true;
}

template <class T>
void ExchangeWhole(CDataExchange* dx, int id, T& value, bool isSigned)
{
    HWND control = dx->PrepareEditCtrl(id);
    if (!dx->m_bSaveAndValidate) {
        CString text;
        text.Format(isSigned ? L"%d" : L"%u", value);
        ::SetWindowTextW(control, text);
        return;
    }
    T parsed{};
    if (!ParseWhole(CWnd::FromHandle(control)->GetWindowText(), isSigned, parsed)) {
        AfxMessageBox(L"Please enter an integer.", MB_OK | MB_ICONEXCLAMATION);
        dx->Fail();
    }
    value = parsed;
}
}  // namespace

void DDX_Text(CDataExchange* dx, int id, int& value) { ExchangeWhole(dx, id, value, true); }
void DDX_Text(CDataExchange* dx, int id, UINT& value) { ExchangeWhole(dx, id, value, false); }

namespace {
// A value a control gives with one message and takes (in wParam) with another.
void ExchangeByMessages(CDataExchange* dx, int id, int& value, UINT getMessage, UINT setMessage)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = static_cast<int>(::SendMessageW(control, getMessage, 0, 0));
    else
        ::SendMessageW(control, setMessage, static_cast<WPARAM>(value), 0);
}
}  // namespace

void DDX_Check(CDataExchange* dx, int id, int& value) { ExchangeByMessages(dx, id, value, BM_GETCHECK, BM_SETCHECK); }

void DDX_Radio(CDataExchange* dx, int id, int& value)
{
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate)
        value = -1;
    int index = 0;
    // The group: this button up to (not including) the next control with WS_GROUP.
    for (HWND button = control; button; button = ::GetWindow(button, GW_HWNDNEXT), ++index) {
        if (button != control && (GetWindowLongPtrW(button, GWL_STYLE) & WS_GROUP))
            break;
        if (!(::SendMessageW(button, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON))
            continue;
        if (dx->m_bSaveAndValidate) {
            if (::SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED && value < 0)
                value = index;
        } else {
            ::SendMessageW(button, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
        }
    }
}

void DDX_CBIndex(CDataExchange* dx, int id, int& index) { ExchangeByMessages(dx, id, index, CB_GETCURSEL, CB_SETCURSEL); }
void DDX_LBIndex(CDataExchange* dx, int id, int& index) { ExchangeByMessages(dx, id, index, LB_GETCURSEL, LB_SETCURSEL); }

void DDV_MaxChars(CDataExchange* dx, const CString& value, int maxChars)
{
    if (dx->m_bSaveAndValidate && value.GetLength() > maxChars) {
        CString text;
        text.Format(L"Enter no more than %d characters.", maxChars);
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        dx->Fail();
    }
    if (!dx->m_bSaveAndValidate && dx->m_hWndLastControl && dx->m_bEditLastControl)
        ::SendMessageW(dx->m_hWndLastControl, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
}
