// The frame's download road: an order file handed over becomes a library title whose parts
// are queued; the queue's messages and commands; the checks of a start without a file; Play.
#include "MainFrm.h"

#include "AboutDialog.h"
#include "AuthenticationDialog.h"
#include "BrenvaleListView.h"
#include "BrenvaleTreeView.h"
#include "ConsoleSettings.h"
#include "DownloadPartsDialog.h"
#include "FileUtils.h"
#include "GameTitles.h"
#include "GetMediaDialog.h"
#include "InternetProbe.h"
#include "MediaExplorerDialog.h"
#include "OrderFileHandOver.h"
#include "ServiceClient.h"
#include "UrlEscapes.h"
#include "res/ConsoleDialogIds.h"
#include "res/ConsoleIds.h"
#include "res/DownloadQueueIds.h"

#include <memory>

namespace {

// The kinds the player plays (audio and video); a game is kind 16.
constexpr int kPlayableKinds = 1 | 2 | 4 | 8 | 32 | 64;
constexpr int kGameKind = 16;

void ShowOrderFileNotValid(const CString& path, const CString& reason)
{
    CString text;
    text.Format(AfxLoadString(IDS_ORDER_FILE_NOT_VALID), path.GetString(), reason.GetString());
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

// --- The hand-over of an order file ---

BOOL CMainFrame::PlayTitleOfPlaylist(const CString& path)
{
    CBrenvaleListView* list = GetListView();
    if (!list || (GetTreeKind() & 1))
        return FALSE;  // the list shows names, not titles
    CListCtrl& rows = list->GetListCtrl();
    for (int row = 0; row < rows.GetItemCount(); ++row) {
        const auto* title = reinterpret_cast<const CMediaObject*>(rows.GetItemData(row));
        if (!title || title->GetPlaylistPath().CompareNoCase(path) != 0)
            continue;
        rows.SetItemState(-1, 0, LVIS_SELECTED);
        rows.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        PostMessage(WM_COMMAND, ID_TITLE_PLAY, 0);
        return TRUE;
    }
    return FALSE;
}

LRESULT CMainFrame::OpenHandedPath(const CString& text)
{
    CBrenvaleDoc* library = GetLibrary();
    if (text.IsEmpty() || !library)
        return 0;
    const CString path = NormalizeHandedPath(text);
    if (IsPlaylistPath(path) && PlayTitleOfPlaylist(path))
        return 0;

    CXmlNode root;
    if (!OpenMediaOrderFileText(path, root))
        return 0;
    // Until the library takes them, the new records are this function's.
    auto title = std::make_unique<CMediaObject>();
    CString error;
    if (!title->ParseMediaOrderFile(&root, error)) {
        ShowOrderFileNotValid(path, error);
        return 0;
    }
    if (!ProbeInternetConnection(IDS_PURPOSE_GET_MEDIA))
        return 0;
    // The service may require a newer console for this title.
    if (!RunUpdateCheck(TRUE, title->m_mediaId))
        return 0;
    CXmlNode sourceNode;
    if (!root.FindChild(L"Source", sourceNode)) {
        ShowOrderFileNotValid(path, AfxLoadString(IDS_ORDER_FILE_NO_SOURCE));
        return 0;
    }
    auto source = std::make_unique<CSourceObject>();
    if (!source->ParseSource(&sourceNode, error, ConsoleOrderFileMessages())) {
        ShowOrderFileNotValid(path, error);
        return 0;
    }
    title->SetSourceId(source->m_id);
    // The order file's licence is what the title's part downloads carry (the library keeps it).
    if (title->m_licenseText.IsEmpty())
        title->SetLicenseText(title->m_orderLicense);
    DownloadSourceBanner(source.get());
    if (!title->m_downloadSuccessUrl.IsEmpty())
        NotifyDownloadSuccess(title->m_downloadSuccessUrl);

    CGetMediaDlg dialog(title.get(), source.get(), library, this);
    if (dialog.DoModal() != IDOK)
        return 0;
    {
        CWaitCursor wait;
        DownloadTitleThumbnail(title.get());
        if (!title->GetMetadata().m_coverUrl.IsEmpty())
            DownloadTitleCover(title.get());
        library->WritePlaylistFile(title.get());
    }
    CMediaObject* added = title.release();
    library->AddTitleToLibrary(added);
    library->AddSource(source.release());
    library->SaveLibrary();
    library->UpdateAllViews(nullptr, 0, added);
    ConsoleLog(L"added " + added->m_mediaId);
    if (added->GetSelectedMethod().CompareNoCase(L"download") == 0)
        QueueTitleDownload(added);
    return 1;
}

BOOL CMainFrame::ProbeInternetConnection(UINT purposeId)
{
    return ::ProbeInternetConnection(AfxLoadString(purposeId), m_proxyUserName, m_proxyPassword,
                                     [this](CString& userName, CString& password) {
                                         CAuthenticationDlg dialog(this);
                                         if (dialog.DoModal() != IDOK)
                                             return false;
                                         userName = dialog.m_userName;
                                         password = dialog.m_password;
                                         return true;
                                     });
}

void CMainFrame::NotifyDownloadSuccess(const CString& url)
{
    CString reply;
    DWORD status = 0;
    SendServiceRequest(url, CString(), AfxLoadString(IDS_PURPOSE_GET_MEDIA), reply, status, m_proxyUserName,
                       m_proxyPassword);
}

// --- Downloads beside the queue ---

BOOL CMainFrame::RunSideDownload(const CString& url, const CString& target, const CString& titleId)
{
    if (url.IsEmpty() || target.IsEmpty())
        return FALSE;
    CDownloadJob job(m_proxyUserName, m_proxyPassword);
    job.m_strUrl = url;
    job.m_strTargetPath = target;
    job.m_strTitleId = titleId;
    return m_downloads.RunSideDownload(job) == HTTP_STATUS_OK;
}

BOOL CMainFrame::DownloadTitleThumbnail(CMediaObject* title)
{
    CBrenvaleDoc* library = GetLibrary();
    if (!library || !title)
        return FALSE;
    const CString dataFolder = library->GetDataFolder();
    const CString thumbnail = title->GetThumbnailPath(dataFolder, FALSE);
    if (!RunSideDownload(title->GetMetadata().m_thumbnailUrl, thumbnail, title->m_mediaId))
        return FALSE;
    // The title folder's picture, hidden as the shell's own folder pictures are. An older
    // one keeps its attributes, which would refuse the copy.
    const CString folderPicture = title->GetThumbnailPath(dataFolder, TRUE);
    if (folderPicture.CompareNoCase(thumbnail) != 0) {
        SetFileAttributesW(folderPicture, FILE_ATTRIBUTE_NORMAL);
        if (CopyFileW(thumbnail, folderPicture, FALSE))
            SetFileAttributesW(folderPicture, GetFileAttributesW(folderPicture) | FILE_ATTRIBUTE_HIDDEN |
                                                  FILE_ATTRIBUTE_SYSTEM);
    }
    return TRUE;
}

BOOL CMainFrame::DownloadTitleCover(CMediaObject* title)
{
    CBrenvaleDoc* library = GetLibrary();
    if (!library || !title)
        return FALSE;
    return RunSideDownload(title->GetMetadata().m_coverUrl, title->GetCoverPath(library->GetDataFolder()),
                           title->m_mediaId);
}

BOOL CMainFrame::DownloadSourceBanner(CSourceObject* source)
{
    CBrenvaleDoc* library = GetLibrary();
    if (!library || !source)
        return FALSE;
    return RunSideDownload(source->m_bannerUrl, source->GetBannerPath(library->GetDataFolder()), CString());
}

// --- The queue ---

BOOL CMainFrame::QueueTitleDownload(CMediaObject* title)
{
    CBrenvaleDoc* library = GetLibrary();
    if (!library || !title)
        return FALSE;
    CDownloadPartsDlg dialog(title, &m_downloads.Jobs(), this);
    if (dialog.DoModal() != IDOK)
        return FALSE;
    if (dialog.m_chosen.IsEmpty() || title->m_parts.IsEmpty() || title->m_protocols.IsEmpty())
        return FALSE;
    CString baseUrl;
    for (INT_PTR i = 0; i < title->m_protocols.GetSize(); ++i) {
        const CProtocolObject* protocol = title->GetProtocol(i);
        if (protocol && protocol->m_method.CompareNoCase(L"download") == 0) {
            baseUrl = protocol->m_baseUrl;
            break;
        }
    }
    baseUrl.TrimRight(L'/');
    if (!ProbeInternetConnection(IDS_PURPOSE_GET_MEDIA))
        return FALSE;
    for (UINT index : dialog.m_chosen) {
        const CPartObject* part = title->GetPart(static_cast<INT_PTR>(index));
        if (!part)
            continue;
        auto* job = new CDownloadJob(m_proxyUserName, m_proxyPassword);
        // The base URL as the order file gives it; the part's name escaped as UTF-8.
        job->m_strUrl.Format(L"%s/%s", baseUrl.GetString(), EscapeUrlPath(part->m_fileName).GetString());
        job->m_strTargetPath = part->GetFilePath(title);
        job->m_strTitleId = title->m_mediaId;
        job->m_nPartIndex = static_cast<int>(index);
        job->m_nExpectedSize = part->m_fileSize > 0 ? static_cast<ULONGLONG>(part->m_fileSize) : 0;
        job->m_hOwnerWnd = m_hWnd;
        job->m_strClientId = library->GetLibraryId();
        job->m_strLicense = title->m_licenseText;
        m_downloads.Append(job);
    }
    PostMessage(WM_START_NEXT_DOWNLOAD, 0, 0);
    return TRUE;
}

void CMainFrame::PauseResumeDownload()
{
    m_downloads.PauseResume(GetLibrary());
}

BOOL CMainFrame::OnDownloadMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const CBrenvaleDoc* library = GetLibrary();
    switch (message) {
    case WM_START_NEXT_DOWNLOAD:
        *result = m_downloads.StartNext(wParam != 0);
        return TRUE;
    case WM_DOWNLOAD_STARTED:
        m_downloads.OnStarted(library);
        *result = 0;
        return TRUE;
    case WM_DOWNLOAD_PROGRESS:
        m_downloads.OnProgress(static_cast<int>(wParam), library);
        *result = 0;
        return TRUE;
    case WM_DOWNLOAD_DONE:
        ConsoleLog(CString(L"0x522 ") + CString(std::to_wstring(static_cast<int>(wParam)).c_str()));
        *result = m_downloads.OnFinished(static_cast<int>(wParam), reinterpret_cast<CDownloadJob*>(lParam), library);
        return TRUE;
    case WM_DOWNLOAD_ERROR:
        *result = m_downloads.AskAboutError(wParam, reinterpret_cast<const wchar_t*>(lParam), library);
        return TRUE;
    default:
        return FALSE;
    }
}

// --- Start-up without a file ---

void CMainFrame::RunStartupChecks()
{
    const int firstLaunch = GetSettingInt(L"FirstLaunchFlag");
    CString installed;
    if (std::unique_ptr<IVersionSource> detect = CreateDetectObject())
        if (!detect->GetVersionText(1, installed))
            installed.Empty();
    const CString current = GetSettingString(L"CurrentVersion");
    if (firstLaunch != 0 || (!installed.IsEmpty() && (current.IsEmpty() || current != installed))) {
        WriteSettingInt(L"FirstLaunchFlag", 0);
        if (!installed.IsEmpty())
            WriteSettingString(L"CurrentVersion", installed);
    }
    if (GetSettingInt(L"AutoCheckMessages") != 0)
        RunMessageCheck(TRUE);
    if (GetSettingInt(L"AutoCheckUpdates") != 0)
        RunUpdateCheck(TRUE, nullptr);
    ApplyMachineDownloadPath();
}

// --- Play ---

void CMainFrame::OnPlay()
{
    CBrenvaleListView* list = GetListView();
    CBrenvaleDoc* library = GetLibrary();
    if (!list || !library || GetSelectedTitleCount() != 1)
        return;
    const std::vector<CMediaObject*> selected = list->GetSelectedTitles();
    CMediaObject* title = selected.empty() ? nullptr : library->FindTitle(selected.front()->m_mediaId);
    if (!title)
        return;
    bool anyPart = false;
    for (INT_PTR i = 0; i < title->m_parts.GetSize() && !anyPart; ++i)
        if (const CPartObject* part = title->GetPart(i))
            anyPart = FileExists(part->GetFilePath(title)) != FALSE;
    if (!anyPart) {
        if (AfxMessageBox(IDS_ASK_DOWNLOAD_PARTS_FIRST, MB_YESNO | MB_ICONINFORMATION) == IDYES)
            QueueTitleDownload(title);
        return;
    }
    title->SetLastPlayedDate(COleDateTime::GetCurrentTime());
    library->SaveLibrary();
    library->UpdateAllViews(GetTreeView());

    const int kind = title->GetMetadata().GetContentKind();
    if (kind & kPlayableKinds) {
        // The part being downloaded may be the one to play: the download stops (its job stays
        // queued) and starts again, in the state it had, once the player is open.
        const int had = m_downloads.StopAndWait();
        if (CMediaExplorerDialog* open = FindMediaExplorer())
            open->DestroyWindow();
        OpenMediaExplorer(title, library->FindSource(title->m_sourceId), library->GetDataFolder(), this);
        if (had != CDownloadQueue::kIdle)
            PostMessage(WM_START_NEXT_DOWNLOAD, had == CDownloadQueue::kPaused ? 1 : 0, 0);
        return;
    }
    if (kind == kGameKind) {
        BOOL installed = FALSE;
        if (!IsGameInstalled(*title, installed))
            return;  // the game functions have said why
        if (installed) {
            LaunchGame(*title);
            return;
        }
        CString question;
        question.Format(AfxLoadString(IDS_ASK_INSTALL_GAME), title->GetMetadata().GetDisplayTitle(TRUE, TRUE).GetString());
        if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) == IDYES)
            InstallGame(*title);
    }
}
