// The frame's side of the player window: closing it before the title it plays is deleted.
#include "MainFrm.h"

#include "MediaExplorerDialog.h"
#include "res/ConsoleIds.h"

BOOL CMainFrame::ConfirmClosingPlayer(const std::vector<CMediaObject*>& titles)
{
    CMediaExplorerDialog* player = FindMediaExplorer();
    if (!player)
        return TRUE;
    const CString playing = player->GetCurrentMediaID();
    for (CMediaObject* title : titles) {
        if (!title || playing.IsEmpty() || title->m_mediaId.CompareNoCase(playing) != 0)
            continue;
        CString question;
        question.Format(IDS_TITLE_IN_PLAYER, title->GetMetadata().GetDisplayTitle(TRUE, TRUE).GetString());
        if (AfxMessageBox(question, MB_YESNO | MB_ICONERROR) != IDYES)
            return FALSE;
        player->DestroyWindow();
        break;
    }
    return TRUE;
}
