#include "SearchPage.h"

#include "CarrowindSheet.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "WizardApp.h"
#include "WizardSettings.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CSearchPage, CWizardPage)

CSearchPage::CSearchPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_SEARCH_PAGE), m_sheet(sheet)
{
    m_helpTopic = kSearchHelpTopic;
}

BOOL CSearchPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_SEARCH_MESSAGE, L"Message", this);
    if (m_animation.SubclassDlgItem(IDC_SEARCH_ANIMATION, this))
        m_animation.Open(IDR_SEARCH_ANIMATION);
    return TRUE;
}

BOOL CSearchPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    if (m_ownerSheet) {
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, 0);
        PostMessage(WM_START_DEVICE_SEARCH);
    }
    return active;
}

void CSearchPage::StartSearch()
{
    if (!m_sheet || m_job)
        return;
    auto job = std::make_shared<DeviceSearchJob>();
    job->owner = m_hWnd;
    job->devices = &m_sheet->m_devices;
    job->notFoundText = LoadPageText(IDS_NO_DEVICES_FOUND, L"ERROR_NO_DEVICES_FOUND");
    job->mobileMinVersion = m_sheet->m_mobileMinVersion;
    job->mobileCurVersion = m_sheet->m_mobileCurVersion;
    const int kind = m_sheet->m_media.GetMetadata().GetContentKind();
    job->mp3Title = (kind & (KindMp3Audiobook | KindMp3Music)) != 0;
    if (job->mp3Title)
        job->iTunesInstalled = IsLocalServerInstalled(kITunesApplicationClass);
    CWinThread* thread = StartDeviceSearch(job);
    if (!thread) {
        // No search: nothing was found.
        m_ownerSheet->PressButton(PSBTN_BACK);
        return;
    }
    m_job = job;
    m_watch.Start(this, thread, &job->stopRequested);
}

void CSearchPage::FinishSearch()
{
    m_watch.Forget();
    m_job.reset();
    const INT_PTR found = m_sheet->m_devices.GetSize();
    if (found > 0) {
        if (m_app && m_app->m_verbose) {
            CString record;
            record.Format(L"DeviceSearch: %d device(s)", static_cast<int>(found));
            m_app->WriteVerboseLog(record);
            for (INT_PTR i = 0; i < found; ++i) {
                const PlayerRecord* player = PlayerAt(m_sheet->m_devices, i);
                record.Format(L"DeviceSearch: found \"%s\" (%s)", static_cast<const wchar_t*>(player->GetDisplayName()),
                              static_cast<const wchar_t*>(player->GetName()));
                m_app->WriteVerboseLog(record);
            }
        }
        m_ownerSheet->PressButton(PSBTN_NEXT);
    } else {
        m_ownerSheet->PressButton(PSBTN_BACK);
    }
}

void CSearchPage::OnTimer(UINT_PTR id)
{
    if (id != CSearchWatch::kTimerId) {
        CWizardPage::OnTimer(id);
        return;
    }
    // A thread that ended without its report leaves the page waiting no longer.
    if (m_job && m_watch.EndedWithoutReport(id))
        FinishSearch();
}

BOOL CSearchPage::OnQueryCancel()
{
    if (!m_job)
        return CWizardPage::OnQueryCancel();
    if (m_watch.Stop()) {
        // What a stopped search left may be half made.
        m_sheet->DeleteDevices();
        if (m_app)
            m_app->WriteVerboseLog(L"DeviceSearch: ended by force");
    }
    m_job.reset();
    m_ownerSheet->SendMessage(PSM_PRESSBUTTON, PSBTN_BACK);
    return FALSE;
}

BOOL CSearchPage::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (m_app) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
    }
    return CWizardPage::OnSetCursor(wnd, hitTest, message);
}

BOOL CSearchPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_START_DEVICE_SEARCH:
        StartSearch();
        *result = 0;
        return TRUE;
    case WM_DEVICE_SEARCH_DONE:
        *result = 0;
        if (m_job && !m_job->stopRequested)
            FinishSearch();
        return TRUE;
    default:
        return CWizardPage::OnWndMsg(message, wParam, lParam, result);
    }
}
