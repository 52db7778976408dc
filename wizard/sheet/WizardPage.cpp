#include "WizardPage.h"

#include "MarkupLabel.h"
#include "WizardApp.h"
#include "WizardServices.h"
#include "WizardSheet.h"

IMPLEMENT_DYNAMIC(CWizardPage, CPropertyPage)

CWizardPage::CWizardPage(CWizardSheetBase* sheet, UINT templateId)
    : CPropertyPage(templateId), m_app(AfxGetWizardApp()), m_ownerSheet(sheet)
{
}

BOOL CWizardPage::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    m_pageTitle = GetWindowText();
    if (!m_app || !m_ownerSheet) {
        EndDialog(3);
        return FALSE;
    }
    return TRUE;
}

BOOL CWizardPage::OnSetActive()
{
    const CString appTitle = m_app ? m_app->GetAppTitle() : CString();
    m_pageTitle = GetWindowText();
    const CString caption = m_app ? m_app->LookupStringsFile(m_pageTitle, L"Caption", m_pageTitle) : m_pageTitle;
    m_pageCaption.Format(L"%s - %s", appTitle.GetString(), caption.GetString());
    if (m_ownerSheet && m_ownerSheet->m_hWnd)
        m_ownerSheet->PostMessage(PSM_SETTITLEW, 0, reinterpret_cast<LPARAM>(m_pageCaption.GetString()));
    return CPropertyPage::OnSetActive();
}

void CWizardPage::ShowItem(UINT itemId, BOOL show)
{
    if (HWND item = ::GetDlgItem(m_hWnd, static_cast<int>(itemId)))
        ::ShowWindow(item, show ? SW_SHOW : SW_HIDE);
}

CString CWizardPage::LoadPageText(UINT stringId, const wchar_t* key, const CMapStringToString* extra) const
{
    if (!m_app || !m_ownerSheet)
        return CString();
    const CString text = m_app->LookupStringsFile(L"Messages", key, AfxLoadString(stringId));
    return ReplacePlaceholders(ReplacePlaceholders(text, &m_ownerSheet->GetPlaceholders()), extra);
}

void CWizardPage::SetMarkupText(UINT itemId, const wchar_t* key, CWnd* parent, const wchar_t* omit)
{
    if (!m_app || !m_ownerSheet)
        return;
    CString id;
    id.Format(L"%d", static_cast<int>(itemId));
    CString templateText;
    if (!m_templateTexts.Lookup(id, templateText)) {
        templateText = GetDlgItemText(static_cast<int>(itemId));
        m_templateTexts.SetAt(id, templateText);
    }
    if (m_pageTitle.IsEmpty())
        m_pageTitle = GetWindowText();
    CString source = m_app->LookupStringsFile(m_pageTitle, key, templateText);
    if (omit && *omit)
        source.Replace(omit, L"");
    const CMapStringToString& placeholders = m_ownerSheet->GetPlaceholders();
    // A label reads its text as markup: the values filled in (a title, a path) are shown as
    // they are, so their "<", ">" and "&" go in as entities.
    CMapStringToString escaped;
    for (POSITION at = placeholders.GetStartPosition(); at;) {
        CString name, value;
        placeholders.GetNextAssoc(at, name, value);
        escaped.SetAt(name, EscapeMarkupText(value));
    }
    const CString markup = ReplacePlaceholders(source, &escaped);
    if (CMarkupLabel* label = m_ownerSheet->FindMarkupLabel(this, itemId)) {
        label->SetText(markup);
        return;
    }
    const CString text = ReplacePlaceholders(source, &placeholders);
    if (parent) {
        auto label = std::make_unique<CMarkupLabel>();
        if (label->SubclassDlgItem(itemId, parent)) {
            label->SetText(markup);
            m_ownerSheet->AddMarkupLabel(this, itemId, std::move(label));
            return;
        }
    }
    SetDlgItemText(static_cast<int>(itemId), text);
}
