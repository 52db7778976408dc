// The device search the Search page runs: a job record the page fills and a worker thread
// that fills the sheet's device array and then sends WM_DEVICE_SEARCH_DONE to the page once.
// The thread is made suspended by a starter (the product's default, or one a test sets),
// given its job, and resumed by the page.
//
//     auto job = std::make_shared<DeviceSearchJob>();  job->owner = page;  job->devices = &job->found;
//     CWinThread* thread = StartDeviceSearch(job);     // suspended
//     thread->ResumeThread();
//
// A job asked to stop (Cancel) ends as soon as it can and reports nothing: the thread looks at
// the request between its steps and devices and before every question; the page never deletes
// the thread object, which ends and deletes itself.
#pragma once

#include "Collections.h"
#include "SearchWatch.h"
#include "WinThread.h"
#include "Wmdm.h"

#include <atomic>
#include <functional>
#include <memory>

// notFoundText: what the search tells when it finds no player.
struct DeviceSearchJob : SearchJob {
    CObArray* devices = nullptr; // where the records go (the Search page's: the job's own array)
    CString mobileMinVersion;
    CString mobileCurVersion;
    BOOL mp3Title = FALSE;
    BOOL iTunesInstalled = FALSE;  // iTunes may be started for the search (it is installed)
};

// Makes the search thread for a job, suspended; null when it cannot be started.
using DeviceSearchStarter = std::function<CWinThread*(std::shared_ptr<DeviceSearchJob>)>;
// Replaces the starter (an empty one restores the product's); returns the one before.
DeviceSearchStarter SetDeviceSearchStarter(DeviceSearchStarter starter);
CWinThread* StartDeviceSearch(std::shared_ptr<DeviceSearchJob> job);

// Whether iTunes is running and connected, and the names of its iPods ("|" after each) with
// the value its source listing gives: 1 when it listed at least one iPod, else 0.
struct ITunesSources {
    bool connected = false;
    CString names;
    DWORD sourceFlag = 0;
};
using ITunesProbe = std::function<ITunesSources()>;
ITunesProbe SetITunesProbe(ITunesProbe probe);
// The product's answer: iTunes asked through the helper's connection when it runs (or, with
// startiTunes, started for it and its window hidden; the wizard then closes it at its end).
class CiTunesHelper;
ITunesSources ListiTunesSources(CiTunesHelper& helper, BOOL startiTunes);
// The first of iTunes' source names ("|" after each) that stands for the player a device-manager
// name (cut before "(") gives: one that holds it (case-insensitive), or whose short drive name
// (the signs ' | \ / : as "_", 11 characters) is it. Empty when none.
CString MatchiTunesSource(const CString& recordName, const CString& sourceNames);
// The records of the iPods iTunes shows that no device-manager device stood for (matchedNames,
// "|" after each): "Apple device" (or "Apple iPod Shuffle" for the shuffle the USB scan found),
// each followed for an MP3 title by the same player reached through "iTunes Library"; for an
// MP3 title without any Apple record (appleAdded false), the library's record alone.
void AddiTunesRecords(DeviceSearchJob& job, const ITunesSources& iTunes, const CString& matchedNames, BOOL shuffleFound,
                      bool appleAdded);

// Waits up to timeoutMs for every search thread of the product's to end; FALSE when one still runs.
BOOL WaitForDeviceSearchesToEnd(DWORD timeoutMs);

// The product's search thread: every player the device manager lists (with the mass-storage
// players' profile files and the Windows Mobile devices the mobile link knows), appended to the
// job's array; when none is found the user is asked whether to search again. Reports
// WM_DEVICE_SEARCH_DONE once, unless COM or the device manager cannot be started or the job
// was asked to stop.
class CDeviceSearchThread : public CWinThread {
    DECLARE_DYNCREATE(CDeviceSearchThread)
public:
    std::shared_ptr<DeviceSearchJob> m_job;

protected:
    BOOL InitInstance() override;

private:
    void Search(IWMDeviceManager* manager, IWMDeviceManager2* manager2);
};
