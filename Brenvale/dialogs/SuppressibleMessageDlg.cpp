#include "SuppressibleMessageDlg.h"

#include "res/ConsoleIds.h"

namespace {
// Replaces each "%s" in turn by the values (only as many as there are values).
CString FillPlaces(const CString& text, std::initializer_list<const CString*> values)
{
    CString result;
    int from = 0;
    auto value = values.begin();
    for (;;) {
        const int at = text.Find(L"%s", from);
        if (at < 0 || value == values.end())
            break;
        result += text.Mid(from, at - from);
        result += **value++;
        from = at + 2;
    }
    result += text.Mid(from);
    return result;
}
}  // namespace

CSuppressibleMessageDlg::CSuppressibleMessageDlg(UINT templateId, const wchar_t* key, CWnd* parent,
                                                 const wchar_t* secondText, BOOL showEvenWhenSuppressed)
    : CDialog(templateId, parent), m_key(key), m_secondText(secondText), m_showEvenWhenSuppressed(showEvenWhenSuppressed)
{
}

BOOL CSuppressibleMessageDlg::IsSuppressed(const wchar_t* key)
{
    CWinApp* app = AfxGetApp();
    return app && key && app->GetProfileInt(kSuppressibleSection, key, 0) != 0;
}

INT_PTR CSuppressibleMessageDlg::DoModal()
{
    if (!m_showEvenWhenSuppressed && IsSuppressed(m_key))
        return IDOK;
    return CDialog::DoModal();
}

BOOL CSuppressibleMessageDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_showEvenWhenSuppressed)
        CheckDlgButton(IDC_SUPPRESSIBLE_CHECK, IsSuppressed(m_key) ? BST_CHECKED : BST_UNCHECKED);
    const CString text = GetDlgItemText(IDC_SUPPRESSIBLE_TEXT);
    if (text.Find(L"%s") >= 0)
        SetDlgItemText(IDC_SUPPRESSIBLE_TEXT, FillPlaces(text, {&m_key, &m_secondText}));
    const CString check = GetDlgItemText(IDC_SUPPRESSIBLE_CHECK);
    if (check.Find(L"%s") >= 0)
        SetDlgItemText(IDC_SUPPRESSIBLE_CHECK, FillPlaces(check, {&m_key}));
    return TRUE;
}

void CSuppressibleMessageDlg::Close(int result)
{
    if (IsDlgButtonChecked(IDC_SUPPRESSIBLE_CHECK) == BST_CHECKED) {
        if (CWinApp* app = AfxGetApp())
            app->WriteProfileInt(kSuppressibleSection, m_key, 1);
    }
    EndDialog(result);
}

BOOL CSuppressibleMessageDlg::OnCmdMsg(UINT id, UINT code)
{
    if (code == BN_CLICKED && (id == IDOK || id == IDYES || id == IDNO)) {
        Close(static_cast<int>(id));
        return TRUE;
    }
    return CDialog::OnCmdMsg(id, code);
}
