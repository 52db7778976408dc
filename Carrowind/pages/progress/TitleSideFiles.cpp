#include "TitleSideFiles.h"

#include "CarrowindSheet.h"
#include "DeviceProfile.h"
#include "FileUtils.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "WizardApp.h"

CString CTitleSideFiles::PrepareCover(PlayerRecord* player, const CString& coverPath)
{
    const bool showsCover = player->IsZune() > 0 || player->IsApple() > 0 ||
                            (player->GetStorageLayout() != 0 && !player->albumReady) || player->mobileAppFound ||
                            player->massStorage;
    if (!showsCover || (!coverPath.IsEmpty() && FileExists(coverPath)))
        return coverPath;
    static const wchar_t kDefaultCover[] = L"WMDefaultAlbum.jpg";
    CWizardAppBase* app = AfxGetWizardApp();
    const CString source = app ? app->JoinPath(kDefaultCover) : GetProgramFolder() + L"\\" + kDefaultCover;
    if (coverPath.IsEmpty())
        return FileExists(source) ? source : coverPath;
    CopyFileW(source, coverPath, TRUE);
    return coverPath;
}

void CTitleSideFiles::CopyAfterLastPart(PlayerRecord* player, CWizardSheet* sheet)
{
    const int kind = sheet->m_media.GetMetadata().GetContentKind();
    const BOOL mp3Title = (kind & (KindMp3Audiobook | KindMp3Music)) != 0;
    if (TransferServices().copySideFiles) {
        TransferServices().copySideFiles(player, sheet->m_playlistPath, sheet->m_imagePath, sheet->m_sourceId,
                                         mp3Title);
        return;
    }
    if (player->mobileAppFound)
        CopySideFilesToMobile(player, sheet->m_playlistPath, sheet->m_imagePath, sheet->m_sourceId);
    if (mp3Title && player->massStorage)
        CopySideFilesToDevice(player, sheet->m_playlistPath, sheet->m_imagePath, sheet->m_sourceId);
}

void CTitleSideFiles::DeletePartial(PlayerRecord* player, const CString& targetName)
{
    if (TransferServices().deletePartial) {
        TransferServices().deletePartial(player, targetName);
        return;
    }
    if (player->mobileAppFound)
        player->DeleteMobileTargetFile(targetName);
    if (player->massStorage)
        player->DeleteTargetFile(targetName);
}
