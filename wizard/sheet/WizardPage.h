// The base of every wizard page of both wizards: ties a page to its sheet and the application,
// gives the sheet the caption "<application title> - <page caption>", and supplies the page's
// texts. A text comes from the string table or the dialog template, may be replaced by the
// strings file (section: the page's title; "Messages" for string-table texts), and has its
// placeholders ("%%SOURCE_TITLE%%") filled from the sheet's map and an extra one. Texts with
// markup are shown through markup labels the sheet keeps.
//
//     BOOL CWelcomePage::OnInitDialog()
//     {
//         CWizardPage::OnInitDialog();
//         SetMarkupText(IDC_WELCOME_MESSAGE, L"Message", this);
//         return TRUE;
//     }
#pragma once

#include "Collections.h"
#include "PropertySheet.h"

class CWizardAppBase;
class CWizardSheetBase;

class CWizardPage : public CPropertyPage {
    DECLARE_DYNAMIC(CWizardPage)
public:
    CWizardPage(CWizardSheetBase* sheet, UINT templateId);

    // Shows or hides a dialog item, when it exists.
    void ShowItem(UINT itemId, BOOL show);
    // A string-table text, as the strings file's section "Messages" may replace it, with its
    // placeholders filled; empty without application or sheet.
    CString LoadPageText(UINT stringId, const wchar_t* key, const CMapStringToString* extra = nullptr) const;
    // Sets a dialog item's text: the template's text (as first seen) or the strings file's
    // value for the key, placeholders filled; through the item's markup label when it has one
    // or parent is given (the label is made then), else as the plain window text. A text
    // given as omit is left out of the template's or the strings file's text first.
    void SetMarkupText(UINT itemId, const wchar_t* key, CWnd* parent = nullptr, const wchar_t* omit = nullptr);

    CWizardSheetBase* GetOwnerSheet() const { return m_ownerSheet; }
    const CString& GetCaption() const { return m_pageCaption; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;

    CWizardAppBase* m_app;
    CWizardSheetBase* m_ownerSheet;
    CString m_pageCaption;  // "<application title> - <caption>", kept for the posted PSM_SETTITLEW
    CString m_pageTitle;    // the page dialog's own text: its strings-file section
    CMapStringToString m_templateTexts;
};
