// The device search the Search page runs: a job record the page fills and a worker thread
// that fills the sheet's device array and then sends WM_DEVICE_SEARCH_DONE to the page once.
// The thread is made suspended by a starter (the product's default, or one a test sets),
// given its job, and resumed by the page.
//
//     auto job = std::make_shared<DeviceSearchJob>();  job->owner = page;  job->devices = &sheet.m_devices;
//     CWinThread* thread = StartDeviceSearch(job);     // suspended
//     thread->ResumeThread();
//
// A job asked to stop (Cancel) ends as soon as it can and reports nothing; the page never
// deletes the thread object, which ends and deletes itself.
#pragma once

#include "Collections.h"
#include "WinThread.h"

#include <atomic>
#include <functional>
#include <memory>

struct DeviceSearchJob {
    HWND owner = nullptr;        // the Search page
    CObArray* devices = nullptr; // the sheet's device array: records added are the sheet's
    CString notFoundText;        // what the search tells when it finds no player
    CString mobileMinVersion;
    CString mobileCurVersion;
    BOOL mp3Title = FALSE;
    BOOL iTunesInstalled = FALSE;
    std::atomic<bool> stopRequested{false};
};

// Makes the search thread for a job, suspended; null when it cannot be started.
using DeviceSearchStarter = std::function<CWinThread*(std::shared_ptr<DeviceSearchJob>)>;
// Replaces the starter (an empty one restores the product's); returns the one before.
DeviceSearchStarter SetDeviceSearchStarter(DeviceSearchStarter starter);
CWinThread* StartDeviceSearch(std::shared_ptr<DeviceSearchJob> job);

// The product's search thread until the players' search exists: it finds no player, leaves
// the array empty and reports at once.
class CDeviceSearchThread : public CWinThread {
    DECLARE_DYNCREATE(CDeviceSearchThread)
public:
    std::shared_ptr<DeviceSearchJob> m_job;

protected:
    BOOL InitInstance() override;
};
