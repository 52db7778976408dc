// The frame's side of the player window: opening it on the selected title, and closing it
// before the title it plays is deleted.
#include "MainFrm.h"

#include "BrenvaleListView.h"
#include "MediaExplorerDialog.h"
#include "res/ConsoleIds.h"

void CMainFrame::PlaySelectedTitle()
{
    CBrenvaleListView* list = GetListView();
    CBrenvaleDoc* doc = GetLibrary();
    if (!list || !doc)
        return;
    const std::vector<CMediaObject*> selected = list->GetSelectedTitles();
    CMediaObject* title = selected.empty() ? nullptr : doc->FindTitle(selected.front()->m_mediaId);
    if (!title)
        return;
    constexpr int kPlayable = KindAudiobook | KindMusic | KindVideo | KindMobileVideo | KindMp3Audiobook | KindMp3Music;
    if (!(title->GetMetadata().GetContentKind() & kPlayable))
        return;
    OpenMediaExplorer(title, doc->FindSource(title->m_sourceId), doc->GetDataFolder(), this);
}

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
