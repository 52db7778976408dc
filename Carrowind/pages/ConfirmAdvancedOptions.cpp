// The Confirm page's Advanced Options: the default folder the dialog offers, and the folder and
// base name the page takes back.
#include "AdvancedOptionsDialog.h"
#include "CarrowindSheet.h"
#include "ConfirmPage.h"
#include "PlayerRecord.h"
#include "BrowseFolderDialog.h"
#include "res/ConfirmPageIds.h"

void CConfirmPage::OnAdvancedOptions()
{
    PlayerRecord* player = GetSelectedPlayer();
    if (!player)
        return;
    // The folder "&Use Default" restores, by the first rule that applies to the player.
    CString defaultFolder = L"\\";
    if (player->IsZune() > 0) {
        defaultFolder = m_strFolder;
    } else if (player->GetStorageLayout() == 1) {
        defaultFolder = DefaultFolderFor(m_strFormat, m_sheet->m_artist, m_strTitleFolder);
    } else if (player->mobileDevice) {
        if (player->mobileAppFound || player->IsMobileStorageCard() == 0)
            defaultFolder = MobileFolderFor(m_sheet->m_media.GetContentKindName(), m_sheet->m_baseFileName);
    } else if (player->massStorage && !player->targetFolder.IsEmpty()) {
        defaultFolder = player->GetTargetPath(m_strTitleFolder).Mid(2);
    }
    if (m_strBaseName.IsEmpty())
        m_strBaseName = m_sheet->m_baseFileName;
    BOOL changed = FALSE;
    const INT_PTR result = RunAdvancedOptions(m_sheet, player, defaultFolder, m_strFormat, &m_strFolder, &m_strBaseName, &changed);
    if (result == IDOK && changed)
        UpdatePartPaths(m_strFolder, m_strBaseName);
    if (result == kAdvancedOptionsZuneLost && player->IsZune() > 0 && m_ownerSheet)
        m_ownerSheet->EndDialog(static_cast<int>(kAdvancedOptionsZuneLost));
}

BOOL CConfirmPage::BrowsePlayerToFreeSpace(PlayerRecord* player, const CString& startFolder, ULONGLONG neededBytes)
{
    return ::BrowsePlayerToFreeSpace(this, player, startFolder, neededBytes);
}
