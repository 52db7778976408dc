// The Confirm page's Advanced Options: the defaults the dialog offers, and what the page takes
// back from the player record afterwards.
#include "AdvancedOptionsDialog.h"
#include "CarrowindSheet.h"
#include "ConfirmPage.h"
#include "PlayerRecord.h"
#include "res/AdvancedOptionsIds.h"
#include "res/ConfirmPageIds.h"

BOOL CConfirmPage::OnCmdMsg(UINT id, UINT code)
{
    if ((code == BN_CLICKED && id == IDC_CONFIRM_ADVANCED_OPTIONS) || id == ID_ADVANCED_OPTIONS) {
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
    if (m_strBaseName.IsEmpty())
        m_strBaseName = m_sheet->m_baseFileName;
    CString defaultFolder = L"\\";
    if (player->IsZune() > 0)
        defaultFolder = m_strFolder;
    else if (player->massStorage && !player->targetFolder.IsEmpty())
        defaultFolder = player->GetTargetPath(m_sheet->m_title).Mid(2);
    const CString& firstPart = m_sheet->m_firstPartFileName;
    const int dot = firstPart.ReverseFind(L'.');
    const CString format = dot >= 0 ? firstPart.Mid(dot + 1) : CString();

    CAdvancedOptions options(player, player->GetDisplayName(), m_strFolder, m_strBaseName,
                             m_sheet->m_defaultBaseFileName, defaultFolder, format, m_sheet);
    const INT_PTR result = options.DoModal();
    if (result == IDOK) {
        if (player->GetFolderPath().CompareNoCase(m_strFolder) != 0)
            m_strFolder = player->GetFolderPath().IsEmpty() ? CString(L"\\") : player->GetFolderPath();
        if (player->GetBaseFileName().CompareNoCase(m_strBaseName) != 0)
            m_strBaseName = player->GetBaseFileName();
    } else if (result == kAdvancedOptionsZuneLost && player->IsZune() > 0 && m_ownerSheet) {
        m_ownerSheet->EndDialog(static_cast<int>(kAdvancedOptionsZuneLost));
    }
}
