#include "SearchPage.h"

#include "CarrowindSheet.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "WizardApp.h"
#include "WizardSettings.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CSearchPage, CWizardSearchPage)

CSearchPage::CSearchPage(CWizardSheet* sheet)
    : CWizardSearchPage(sheet, IDD_SEARCH_PAGE, kSearchHelpTopic, L"DeviceSearch"), m_sheet(sheet)
{
}

std::shared_ptr<SearchJob> CSearchPage::NewSearchJob()
{
    auto job = std::make_shared<DeviceSearchJob>();
    job->devices = &job->found;  // the sheet takes them when the search reports
    job->mobileMinVersion = m_sheet->m_mobileMinVersion;
    job->mobileCurVersion = m_sheet->m_mobileCurVersion;
    const int kind = m_sheet->m_media.GetMetadata().GetContentKind();
    job->mp3Title = (kind & (KindMp3Audiobook | KindMp3Music)) != 0;
    // An iPod takes Windows Media titles too (iTunes converts them): the search may start iTunes
    // for any title, when it is installed.
    job->iTunesInstalled = IsLocalServerInstalled(kITunesApplicationClass);
    return job;
}

CWinThread* CSearchPage::StartSearchThread(const std::shared_ptr<SearchJob>& job)
{
    return StartDeviceSearch(std::static_pointer_cast<DeviceSearchJob>(job));
}

INT_PTR CSearchPage::FoundCount() const { return m_sheet->m_devices.GetSize(); }

void CSearchPage::AcceptFound(CObArray& found)
{
    m_sheet->DeleteDevices();
    m_sheet->m_devices.Append(found);
    found.RemoveAll();
}

void CSearchPage::DiscardFound() { m_sheet->DeleteDevices(); }

void CSearchPage::LogFound(INT_PTR found)
{
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
