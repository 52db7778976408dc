// The recorder search the Search page runs: a job the page fills and a worker thread that
// fills the job's drive array through the recording library, then sends
// WM_DEVICE_SEARCH_DONE (0, 0) to the page once, whatever happened on the way.
//
//     auto job = std::make_shared<DriveSearchJob>();  job->owner = page;  job->drives = &job->found;
//     CWinThread* thread = StartDriveSearch(job);      // suspended
//     thread->ResumeThread();
//
// Candidates come from the drive letters of type CD-ROM whose device is "\Device\CdRom<n>",
// each opened by its "CdRom<n>" name; or, on systems before 5.0 and where a job asks for it,
// from the library's own device search by SCSI address. When nothing is found the job's
// question is asked with Retry and Cancel. A job asked to stop ends as soon as it can and
// reports nothing.
#pragma once

#include "DriveRecord.h"
#include "SearchWatch.h"
#include "WinThread.h"

#include <atomic>
#include <functional>
#include <memory>

enum class DriveSearchMethod { automatic, driveLetters, library };

// notFoundText: the question when no recorder was found.
struct DriveSearchJob : SearchJob {
    CObArray* drives = nullptr;    // where the CDriveEntry records go (the Search page's: the job's own array)
    DriveSearchMethod method = DriveSearchMethod::automatic;
};

// Which search a job gets by default (tests choose the library's).
DriveSearchMethod SetDefaultDriveSearchMethod(DriveSearchMethod method);
DriveSearchMethod DefaultDriveSearchMethod();

// The search itself, on the calling thread: fills job.drives (emptied first). FALSE when COM
// could not be started there (nothing searched).
BOOL SearchRecorders(DriveSearchJob& job);

// Fills the record of a candidate (its address or device name set); FALSE when the drive
// cannot be opened.
BOOL FillDeviceInformation(DriveRecord& record);
// The disc fields of the record anew (a drive that cannot be opened leaves them).
void RefreshDiscState(DriveRecord& record);
// The speeds the drive takes for its disc, read (isRead) or write.
void BuildSpeedList(DriveSpeedList& list, DriveRecord& record, bool isRead);
// Used, free, blank and the next track's information of an open drive.
void GetDiscSpace(void* grabber, ULONGLONG& used, ULONGLONG& free, bool& blank, ULONG& trackValue, UCHAR& trackFlag);

// Makes the search thread for a job, suspended; null when it cannot be started.
using DriveSearchStarter = std::function<CWinThread*(std::shared_ptr<DriveSearchJob>)>;
DriveSearchStarter SetDriveSearchStarter(DriveSearchStarter starter);
CWinThread* StartDriveSearch(std::shared_ptr<DriveSearchJob> job);

class CDriveSearchThread : public CWinThread {
    DECLARE_DYNCREATE(CDriveSearchThread)
public:
    std::shared_ptr<DriveSearchJob> m_job;

protected:
    BOOL InitInstance() override;
};
