#include "DownloadPartsDialog.h"

#include "ConsoleMediaObject.h"
#include "DownloadThread.h"
#include "FileUtils.h"
#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"

CString FormatPartSize(LONGLONG fileSize)
{
    CString text;
    text.Format(L"%lld KB", (fileSize > 0 ? fileSize : 0) / 1024);
    if (text.GetLength() > 6)
        text.Insert(text.GetLength() - 6, L',');
    return text;
}

PartStatus GetPartStatus(bool fileExists, const CString& mediaId, int partIndex, const CObArray* queue)
{
    if (fileExists)
        return PartStatus::Downloaded;
    for (INT_PTR i = 0; queue && i < queue->GetSize(); ++i) {
        const auto* job = dynamic_cast<const CDownloadJob*>(queue->GetAt(i));
        if (job && job->m_nPartIndex == partIndex && job->m_strTitleId.CompareNoCase(mediaId) == 0)
            return i == 0 ? PartStatus::Downloading : PartStatus::Pending;
    }
    return PartStatus::NotDownloaded;
}

CString PartStatusText(PartStatus status)
{
    switch (status) {
    case PartStatus::Downloaded:
        return L"downloaded";
    case PartStatus::Downloading:
        return L"downloading...";
    case PartStatus::Pending:
        return L"pending...";
    case PartStatus::NotDownloaded:
        break;
    }
    return L"not downloaded";
}

CDownloadPartsDlg::CDownloadPartsDlg(CMediaObject* title, const CObArray* queue, CWnd* parent)
    : CConsoleDialog(IDD_DOWNLOAD_PARTS, parent, kHelpTopicDownloadPartsDialog), m_title(title), m_queue(queue)
{
}

INT_PTR CDownloadPartsDlg::DoModal()
{
    m_status.clear();
    if (!m_title || m_title->m_parts.GetSize() == 0)
        return kNoParts;
    bool anyMissing = false;
    for (INT_PTR i = 0; i < m_title->m_parts.GetSize(); ++i) {
        const CPartObject* part = m_title->GetPart(i);
        const bool onDisk = part && FileExists(part->GetFilePath(m_title));
        m_status.push_back(GetPartStatus(onDisk, m_title->GetMediaId(), static_cast<int>(i), m_queue));
        anyMissing = anyMissing || m_status.back() == PartStatus::NotDownloaded;
    }
    if (!anyMissing) {
        ShowMessage(IDS_ALL_PARTS_DOWNLOADED, nullptr, MB_OK | MB_ICONINFORMATION);
        return IDCANCEL;
    }
    return CConsoleDialog::DoModal();
}

BOOL CDownloadPartsDlg::OnInitDialog()
{
    CConsoleDialog::OnInitDialog();
    SetTitleFont(IDC_DOWNLOAD_TITLE, m_titleFont);
    SetDlgItemText(IDC_DOWNLOAD_TITLE, m_title->GetMetadata().GetDisplayTitle(TRUE, TRUE));

    m_list.SubclassDlgItem(IDC_DOWNLOAD_PARTS, this);
    m_list.SetExtendedStyle(m_list.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, L"Part", LVCFMT_LEFT, 100);
    m_list.InsertColumn(1, L"Status", LVCFMT_LEFT, 100);
    m_list.InsertColumn(2, L"Size", LVCFMT_RIGHT, 100);
    m_list.InsertColumn(3, L"Duration", LVCFMT_RIGHT, 100);

    for (int row = 0; row < static_cast<int>(m_status.size()); ++row) {
        const CPartObject* part = m_title->GetPart(row);
        m_list.InsertItem(row, part ? part->GetName() : CString());
        m_list.SetItemText(row, 1, PartStatusText(m_status[row]));
        m_list.SetItemText(row, 2, FormatPartSize(part ? part->m_fileSize : 0));
        m_list.SetItemText(row, 3, part ? part->GetDuration() : CString());
        m_list.SetCheck(row, m_status[row] == PartStatus::NotDownloaded ? CCheckedListCtrl::kChecked
                                                                        : CCheckedListCtrl::kCheckedDisabled);
    }
    m_list.FitColumnsToContents();
    m_list.SetItemState(0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    m_list.SetFocus();
    return FALSE;
}

void CDownloadPartsDlg::SetEnabledChecks(int from, int to)
{
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        if (m_list.GetCheck(row) == from)
            m_list.SetCheck(row, to);
}

BOOL CDownloadPartsDlg::OnCmdMsg(UINT id, UINT code)
{
    if (code == BN_CLICKED && id == IDC_DOWNLOAD_CHECK_ALL) {
        SetEnabledChecks(CCheckedListCtrl::kUnchecked, CCheckedListCtrl::kChecked);
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDC_DOWNLOAD_UNCHECK_ALL) {
        SetEnabledChecks(CCheckedListCtrl::kChecked, CCheckedListCtrl::kUnchecked);
        return TRUE;
    }
    return CConsoleDialog::OnCmdMsg(id, code);
}

void CDownloadPartsDlg::OnOK()
{
    m_chosen.RemoveAll();
    for (int row = 0; row < m_list.GetItemCount(); ++row)
        if (m_list.GetCheck(row) == CCheckedListCtrl::kChecked)
            m_chosen.Add(static_cast<UINT>(row));
    if (m_chosen.GetSize() == 0) {
        ShowMessage(IDS_NO_PARTS_SELECTED);
        return;
    }
    EndDialog(IDOK);
}
