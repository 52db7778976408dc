#include "GetMediaDialog.h"

#include "BrenvaleDoc.h"
#include "ConsoleSettings.h"
#include "DownloadFolders.h"
#include "FileUtils.h"
#include "OptionsDialog.h"
#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"

CString ProposedDownloadFolder(const CMediaObject& title, const CBrenvaleDoc& library)
{
    if (const CMediaObject* existing = library.FindTitle(title.m_mediaId))
        return existing->GetDownloadFolder();
    return GetKindDownloadFolder(title.GetContentKindName());
}

CString GetMediaFolderMessage(DownloadFolderProblem problem, const CString& driveKind)
{
    CString text;
    switch (problem) {
    case DownloadFolderProblem::None:
        break;
    case DownloadFolderProblem::Empty:
        text.LoadString(IDS_GET_MEDIA_NO_FOLDER);
        break;
    case DownloadFolderProblem::InvalidCharacters:
        text.LoadString(IDS_GET_MEDIA_INVALID_FOLDER);
        break;
    case DownloadFolderProblem::UnsupportedDrive:
        text.Format(IDS_GET_MEDIA_UNSUPPORTED_DRIVE, driveKind.GetString());
        break;
    }
    return text;
}

CGetMediaDlg::CGetMediaDlg(CMediaObject* title, CSourceObject* source, CBrenvaleDoc* library, CWnd* parent)
    : CConsoleDialog(IDD_GET_MEDIA, parent, kHelpTopicGetMediaDialog), m_title(title), m_source(source),
      m_library(library)
{
}

BOOL CGetMediaDlg::OnInitDialog()
{
    CConsoleDialog::OnInitDialog();
    SetTitleFont(IDC_GET_MEDIA_TITLE, m_titleFont);
    if (m_title)
        SetDlgItemText(IDC_GET_MEDIA_TITLE, m_title->GetMetadata().GetDisplayTitle(TRUE, TRUE));
    m_existing = m_title && m_library ? m_library->FindTitle(m_title->m_mediaId) : nullptr;
    if (m_title && m_library)
        SetDlgItemText(IDC_GET_MEDIA_FOLDER, ProposedDownloadFolder(*m_title, *m_library));
    ::SendDlgItemMessageW(m_hWnd, IDC_GET_MEDIA_FOLDER, EM_LIMITTEXT, 256, 0);
    if (m_existing || GetSettingInt(kDownloadFolderLocked) > 0) {
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_GET_MEDIA_FOLDER), FALSE);
        ::EnableWindow(::GetDlgItem(m_hWnd, IDC_GET_MEDIA_BROWSE), FALSE);
    }
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_GET_MEDIA_OPTIONS_NOTE), m_existing ? SW_HIDE : SW_SHOW);
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_GET_MEDIA_KEPT_NOTE), m_existing ? SW_SHOW : SW_HIDE);
    // A missing or broken banner only leaves the picture out.
    if (!m_source || !m_library || !m_banner.Load(m_source->GetBannerPath(m_library->GetDataFolder())))
        m_banner.LoadResource(IDB_DEFAULT_BANNER);
    return TRUE;
}

BOOL CGetMediaDlg::OnEraseBkgnd(CDC* dc)
{
    const BOOL erased = CConsoleDialog::OnEraseBkgnd(dc);
    m_banner.Paint(dc);
    return erased;
}

BOOL CGetMediaDlg::OnCmdMsg(UINT id, UINT code)
{
    if (code == BN_CLICKED && id == IDC_GET_MEDIA_BROWSE) {
        Browse();
        return TRUE;
    }
    return CConsoleDialog::OnCmdMsg(id, code);
}

void CGetMediaDlg::Browse()
{
    CString folder;
    if (BrowseForDownloadFolder(m_hWnd, AfxLoadString(IDS_GET_MEDIA_BROWSE_TITLE), CString(), folder))
        SetDlgItemText(IDC_GET_MEDIA_FOLDER, folder);
}

void CGetMediaDlg::OnOK()
{
    if (!m_title || !m_library)
        return;
    const CString folder = GetDlgItemText(IDC_GET_MEDIA_FOLDER);
    CString driveKind;
    const CString message = GetMediaFolderMessage(CheckDownloadFolder(folder, driveKind, m_driveType), driveKind);
    if (!message.IsEmpty()) {
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!FolderExists(folder)) {
        if (ShowMessage(IDS_GET_MEDIA_ASK_CREATE_FOLDER, nullptr, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return;
        if (!CreateFolderPath(folder)) {
            ShowMessage(IDS_GET_MEDIA_CREATE_FAILED);
            return;
        }
    }
    m_title->SetSelectedMethod(L"download");
    // A title the library holds keeps its folders, so its parts are found where they are.
    if (const CMediaObject* existing = m_library->FindTitle(m_title->m_mediaId)) {
        m_title->SetDownloadFolder(existing->GetDownloadFolder());
        m_title->SetTitleFolder(existing->m_titleFolder);
    } else {
        m_title->SetDownloadFolder(folder);
        m_title->SetTitleFolder(MakeTitleFolderName(*m_library, folder, *m_title));
    }
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    EndDialog(IDOK);
}
