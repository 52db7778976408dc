#include "CdWizardSheet.h"

#include "CdDialogs.h"
#include "AfxMessageBox.h"
#include "WizardServices.h"
#include "res/EmberquayIds.h"
#include "res/WizardSheetIds.h"

IMPLEMENT_DYNAMIC(CCdWizardSheet, CWizardSheetBase)

namespace {

// Posted to itself when the title's kind cannot be burned: the sheet ends after the message.
constexpr UINT WM_END_UNBURNABLE_WIZARD = WM_APP + 0x101;

}  // namespace

CCdWizardSheet::CCdWizardSheet(const CString& playlistPath, CWnd* parent)
    : CWizardSheetBase(playlistPath, IDI_EMBERQUAY, IDR_WIZARD_ACCELERATORS, parent),
      m_welcome(this),
      m_search(this),
      m_confirm(this),
      m_progress(this),
      m_success(this)
{
    AddPage(&m_welcome);
    AddPage(&m_search);
    AddPage(&m_confirm);
    AddPage(&m_progress);
    AddPage(&m_success);
    SetWizardMode();
}

CCdWizardSheet::~CCdWizardSheet() { DeleteDrives(); }

void CCdWizardSheet::DeleteDrives()
{
    for (INT_PTR i = 0; i < m_drives.GetSize(); ++i)
        delete m_drives[i];
    m_drives.RemoveAll();
}

CDriveEntry* CCdWizardSheet::GetDrive(int index) const
{
    if (index < 0 || index >= m_drives.GetSize())
        return nullptr;
    return static_cast<CDriveEntry*>(m_drives[index]);
}

BOOL CCdWizardSheet::OnInitDialog()
{
    // Only the kinds of the suite's titles are burned; the reader is not asked for others.
    if (ContentKindFromType(m_contentType) == 0) {
        CString reason, text;
        reason.Format(AfxLoadString(IDS_TYPE_NOT_SUPPORTED), m_contentType.GetString());
        text.Format(AfxLoadString(IDS_WIZARD_PLAYLIST_NOT_VALID), m_playlistPath.GetString(), reason.GetString());
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
        PostMessage(WM_END_UNBURNABLE_WIZARD);
        return CPropertySheet::OnInitDialog();
    }
    return CWizardSheetBase::OnInitDialog();
}

BOOL CCdWizardSheet::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_END_UNBURNABLE_WIZARD) {
        EndDialog(IDCANCEL);
        *result = 0;
        return TRUE;
    }
    return CWizardSheetBase::OnWndMsg(message, wParam, lParam, result);
}

void CCdWizardSheet::ShowAboutDialog()
{
    CCdAboutDialog about(this);
    about.DoModal();
}
