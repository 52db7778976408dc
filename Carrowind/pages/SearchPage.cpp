#include "SearchPage.h"

#include "CarrowindSheet.h"
#include "MediaElements.h"
#include "SuiteMessages.h"
#include "WizardApp.h"
#include "WizardSettings.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CSearchPage, CWizardPage)

namespace {

constexpr UINT_PTR kWatchTimer = 1;
constexpr UINT kWatchIntervalMs = 200;

}  // namespace

CSearchPage::CSearchPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_SEARCH_PAGE), m_sheet(sheet)
{
    m_helpTopic = kSearchHelpTopic;
}

CSearchPage::~CSearchPage() { ForgetSearch(); }

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
    m_thread = thread->DuplicateThreadHandle();
    m_job = job;
    SetTimer(kWatchTimer, kWatchIntervalMs, nullptr);
    thread->ResumeThread();
}

void CSearchPage::ForgetSearch()
{
    if (m_hWnd)
        KillTimer(kWatchTimer);
    m_job.reset();
    if (m_thread) {
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
}

void CSearchPage::FinishSearch()
{
    ForgetSearch();
    const INT_PTR found = m_sheet->m_devices.GetSize();
    if (found > 0) {
        if (m_app && m_app->m_verbose) {
            CString record;
            record.Format(L"DeviceSearch: %d device(s)", static_cast<int>(found));
            m_app->WriteVerboseLog(record);
        }
        m_ownerSheet->PressButton(PSBTN_NEXT);
    } else {
        m_ownerSheet->PressButton(PSBTN_BACK);
    }
}

void CSearchPage::OnTimer(UINT_PTR id)
{
    if (id != kWatchTimer) {
        CWizardPage::OnTimer(id);
        return;
    }
    // A thread that ended without its report leaves the page waiting no longer.
    if (m_job && !m_job->stopRequested && m_thread && WaitForSingleObject(m_thread, 0) == WAIT_OBJECT_0)
        FinishSearch();
}

BOOL CSearchPage::OnQueryCancel()
{
    if (!m_job)
        return CWizardPage::OnQueryCancel();
    m_job->stopRequested = true;
    KillTimer(kWatchTimer);
    // Answers the thread meanwhile (its report is ignored now), so it can stop by itself.
    if (!AfxWaitForThreadEnd(m_thread, kStopWaitMs)) {
        TerminateThread(m_thread, 0);
        WaitForSingleObject(m_thread, kStopWaitMs);
        // What a stopped search left may be half made.
        m_sheet->DeleteDevices();
        if (m_app)
            m_app->WriteVerboseLog(L"DeviceSearch: ended by force");
    }
    ForgetSearch();
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
