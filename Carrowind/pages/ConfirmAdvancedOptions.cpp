// The Confirm page's Advanced Options: the default folder the dialog offers, and the folder and
// base name the page takes back.
#include "AdvancedOptionsDialog.h"
#include "CarrowindSheet.h"
#include "ConfirmPage.h"
#include "PlayerRecord.h"
#include "res/ConfirmPageIds.h"

BOOL CConfirmPage::OnCmdMsg(UINT id, UINT code)
{
    if ((id == IDC_CONFIRM_ADVANCED || id == ID_CONFIRM_ADVANCED_OPTIONS) && code == BN_CLICKED) {
        OnAdvancedOptions();
        return TRUE;
    }
    return CWizardPage::OnCmdMsg(id, code);
}

void CConfirmPage::OnAdvancedOptions()
{
    PlayerRecord* player = GetSelectedPlayer();
    if (!player)
        return;
    CString defaultFolder = L"\\";
    if (player->IsZune() > 0)
        defaultFolder = m_strFolder;
    else if (player->massStorage && !player->targetFolder.IsEmpty())
        defaultFolder = player->GetTargetPath(m_sheet->m_title).Mid(2);
    const CString& firstPart = m_sheet->m_firstPartFileName;
    const int dot = firstPart.ReverseFind(L'.');
    const CString format = dot >= 0 ? firstPart.Mid(dot + 1) : CString();
    BOOL changed = FALSE;
    const INT_PTR result = RunAdvancedOptions(m_sheet, player, defaultFolder, format, &m_strFolder, &m_strBaseName, &changed);
    if (result == kAdvancedOptionsZuneLost && player->IsZune() > 0 && m_ownerSheet)
        m_ownerSheet->EndDialog(static_cast<int>(kAdvancedOptionsZuneLost));
}
