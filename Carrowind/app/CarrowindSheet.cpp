#include "CarrowindSheet.h"

#include "AboutDialog.h"
#include "WizardApp.h"
#include "WizardSettings.h"
#include "iTunesImportSettings.h"
#include "ZuneClient.h"
#include "res/CarrowindIds.h"
#include "res/SettingsPageIds.h"

IMPLEMENT_DYNAMIC(CWizardSheet, CWizardSheetBase)

CWizardSheet::CWizardSheet(const CString& playlistPath, CWnd* parent)
    : CWizardSheetBase(playlistPath, IDI_CARROWIND, IDR_WIZARD_ACCELERATORS, parent),
      m_welcome(this),
      m_search(this),
      m_confirm(this),
      m_settings(this),
      m_progress(this),
      m_success(this)
{
    AddPage(&m_welcome);
    AddPage(&m_search);
    AddPage(&m_confirm);
    AddPage(&m_settings);
    AddPage(&m_progress);
    AddPage(&m_success);
    SetWizardMode();
}

CWizardSheet::~CWizardSheet() { DeleteDevices(); }

void CWizardSheet::DeleteDevices()
{
    for (INT_PTR i = 0; i < m_devices.GetSize(); ++i)
        delete m_devices[i];
    m_devices.RemoveAll();
}

LRESULT CWizardSheet::PageAfterConfirm() const
{
    if (TheiTunesImportState().mode == iTunesImportState::kModeChangeRecommended)
        return IDD_SETTINGS_PAGE;
    for (int i = 0; i + 1 < GetPageCount(); ++i) {
        if (GetPage(i) == &m_settings)
            return static_cast<LRESULT>(GetPage(i + 1)->m_nIDHelp);  // a page's help id is its template's
    }
    return 0;
}

void CWizardSheet::ShowAboutDialog()
{
    CAboutDialog about(this);
    about.DoModal();
}

CString CWizardSheet::ReadWindowPosition() { return ReadWindowPositionSetting(); }

void CWizardSheet::OnTitleLoaded()
{
    if (!m_app || !m_app->m_verbose)
        return;
    CString line;
    line.Format(L"%s (%s) [iTunes=", m_title.GetString(), m_contentType.GetString());
    CString version;
    if (IsLocalServerInstalled(kITunesApplicationClass, &version))
        line += version + (FindWindowW(L"iTunes", L"iTunes") ? L".Launched" : L".NotLaunched");
    else
        line += L"Not-Installed";
    line += L"]";
    const CString zune = ReadZuneSoftwareVersion();
    if (!zune.IsEmpty())
        line += L" [Zune=" + zune + L"]";
    m_app->WriteVerboseLog(line);
}
