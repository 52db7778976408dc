// The transfer worker: copies one part to one player. A Zune gets it through its device server,
// a mass-storage player with a profile by a file copy onto its drive, every other player (MTP,
// Windows Mobile, plain drives) through the device manager, with its metadata and, where the
// player keeps albums, into the title's album "<title>.alb" with the cover.
//
// Thread messages: WM_TRANSFER_START (lParam the job) starts the part, WM_TRANSFER_CANCEL
// cancels it. To the job's owner window: WM_PART_STATUS sent (0, job) first (1 goes on, any
// other answer ends the part with it), WM_TRANSFER_PERCENT sent by the progress object during
// an insertion or copy (0 cancels), WM_ADD_PROGRESS sent by the Zune step, WM_PART_DONE posted
// last (result, job); after that the thread does not touch the job. A busy device is asked
// again every m_busyRetryMs until it is ready or the part is cancelled. A failed part leaves
// one "Unable to ..." text under kTransferPartKey in the player's error-detail map.
#pragma once

#include "ErrorTable.h"
#include "TransferJob.h"
#include "Wmdm.h"
#include "WorkerThread.h"
#include "afx.h"

class CTransferThread : public CWorkerThread {
    DECLARE_DYNCREATE(CTransferThread)
public:
    static constexpr DWORD kBusyRetryMs = 2000;

    CTransferThread();
    ~CTransferThread() override;

    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Runs the part's step; TRUE (call again) while the device is busy.
    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;

    // Milliseconds between two tries on a busy device (a cancel ends the wait at once).
    DWORD m_busyRetryMs = kBusyRetryMs;

    // The thread's result for a step's HRESULT: done, cancelled, busy or failed.
    static int MapStepResult(HRESULT hr, BOOL cancelled);

protected:
    void StartTransfer(LPARAM lParam);
    // Stores the result in the job, posts WM_PART_DONE and ends the loop.
    void Finish(int result);
    // The Zune step (through the player's device server).
    HRESULT TransferPartToZune(const CString& deviceName, const CString& sourcePath, const CString& targetName);
    // The device manager's step: into the player's folder, then the album.
    HRESULT TransferPartToDevice(const CString& sourcePath, const CString& targetName, IWMDMDevice* device);
    // A mass-storage player's step: a file copy into the player's folder on its drive.
    HRESULT CopyPartToDrive(const CString& sourcePath, const CString& targetName);
    // Stores message 5001 with the action and the error text of hr under kTransferPartKey.
    void SetPartError(const wchar_t* action, HRESULT hr);
    void SetPartError(const wchar_t* action, const CString& detail);
    BOOL HasPartError() const;

    CTransferJob* m_pJob = nullptr;
    BOOL m_bIsZune = FALSE;
    IWMDMDevice* m_pDevice = nullptr;
    CErrorTable m_errors;
};
