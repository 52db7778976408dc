// One part on its way to one player: the record the Progress page fills and hands to a transfer
// (or iPod add) thread with WM_TRANSFER_START, and gets back with WM_PART_DONE.
//
//     IStream* stream = nullptr;   // the player's device, marshalled for the worker
//     CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, player->GetDeviceInterface(), &stream);
//     auto* job = new CTransferJob(stream, page);
//     job->m_strSourcePath = L"C:\\Books\\Night-Part01.mp3";
//     job->m_strTargetName = L"Night-Part01.mp3";
//     job->m_pPlayer = player;
//     DWORD threadId = 0;
//     HANDLE thread = StartTransferThread(job, &threadId);   // the page waits on it, then closes it
//     ... WM_PART_DONE (result, job): job->m_nResult, then delete job ...
//
// The job belongs to the page. The thread borrows it from WM_TRANSFER_START until it posts
// WM_PART_DONE and never touches it afterwards; the page deletes it only after WM_PART_DONE has
// come (or, when the thread is gone without one, after DiscardTransferMessages).
#pragma once

#include "afx.h"

#include <objidl.h>

class PlayerRecord;

// Results of a part.
inline constexpr int kTransferDone = 1;
inline constexpr int kTransferCancelled = 2;
inline constexpr int kTransferFailed = 3;
// The device was busy: the thread tries again (never reported).
inline constexpr int kTransferBusy = 4;

// The key of the player's error-detail map under which a failed part leaves its text.
inline constexpr wchar_t kTransferPartKey[] = L"TransferPart";

class CTransferJob : public CObject {
public:
    // Takes the marshalled device (consumed by the thread; released here when it never was).
    explicit CTransferJob(IStream* deviceStream, HWND owner = nullptr);
    ~CTransferJob() override;
    CTransferJob(const CTransferJob&) = delete;
    CTransferJob& operator=(const CTransferJob&) = delete;

    CString m_strSourcePath;     // the part's local file
    CString m_strTargetName;     // its file name on the player, with the extension
    CString m_strCoverPath;      // the title's cover image (Zune image, album art)
    CString m_strTitle;          // the title's name (Zune media title, album name)
    CString m_strArtist;         // the title's author
    CString m_striPodName;       // iPod only
    CString m_strMarkerText;     // iPod only
    CString m_strFileExtension;  // iPod only: "m4a" or "m4b"
    HWND m_hOwnerWnd = nullptr;  // receives WM_PART_STATUS, WM_PART_DONE, WM_ADD_PROGRESS, WM_TRANSFER_PERCENT
    int m_nResult = 0;           // written by the thread before WM_PART_DONE
    int m_nPartIndex = -1;
    PlayerRecord* m_pPlayer = nullptr;  // borrowed
    IStream* m_pDeviceStream = nullptr;
    DWORD m_nAddProgressEst = 2560;
    int m_nWaitSeconds = 10;
    BOOL m_bIsShuffle = FALSE;
    BOOL m_bIsApple = FALSE;
    DWORD m_iTunesSourceFlag = 0;
    ULONGLONG m_nDuration = 0;  // Zune only: milliseconds
    ULONGLONG m_nFileSize = 0;  // Zune only: bytes
    // Set by the thread when the player held a file of the target name before this part: a
    // cancelled part then leaves that file as it was, and the page must not delete it.
    BOOL m_bTargetExisted = FALSE;
};

// Creates a transfer thread (it deletes itself when it ends), hands it the job and returns a
// handle of the caller's own to wait on (the caller closes it); threadId receives the thread's
// id, the only way to reach it afterwards (PostTransferCancel). Null when no thread could be
// started: the job was not handed over.
HANDLE StartTransferThread(CTransferJob* job, DWORD* threadId);
// The same for a worker of any kind that takes its job with WM_TRANSFER_START (the thread
// object is deleted when no thread could be started).
HANDLE StartWorkerThread(CWinThread* thread, CTransferJob* job, DWORD* threadId);

// Asks the thread with that id to cancel its part. Harmless when it has already ended.
void PostTransferCancel(DWORD threadId);

// Removes the WM_PART_DONE messages for job still queued for owner (a window of the calling
// thread); call it before deleting a job whose thread has ended without the page handling its
// report. TRUE when one was removed (its result is then in the job).
BOOL DiscardTransferMessages(HWND owner, const CTransferJob* job);
