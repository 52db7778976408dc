// What the device wizard's workers share: one job per thread, handed over by a thread message
// and reported back to the owner window when it ends; a cancel message that also ends a wait
// at once; COM for the thread in the worker's model.
//
//     class CMyThread : public CWorkerThread {
//         CMyThread() : CWorkerThread(COINIT_APARTMENTTHREADED, WM_MY_CANCEL) {}
//         ... on the last step: EndJob(result, owner, WM_MY_DONE, (LPARAM)job); ...
//     };
#pragma once

#include "afx.h"

#include <objbase.h>

class CWorkerThread : public CWinThread {
    DECLARE_DYNAMIC(CWorkerThread)
public:
    // COM for the thread (a failure leaves it off); TRUE.
    BOOL InitInstance() override;
    // COM off again (derived workers release their objects first), then the base's exit.
    int ExitInstance() override;

protected:
    CWorkerThread(DWORD comModel, UINT cancelMessage);

    // Whether the cancel message has come, also when it still waits in the queue (taking it
    // from there calls OnCancelMessage).
    BOOL CancelPending();
    // What the cancel message does; the base sets m_bCancel.
    virtual void OnCancelMessage() { m_bCancel = TRUE; }
    // Waits ms in slices of Pause; FALSE as soon as a cancel is seen.
    BOOL WaitCancellable(DWORD ms);
    // One slice of a wait; returns the milliseconds that count as passed. The base sleeps and
    // counts the clock's time (a slow sleep does not stretch the wait).
    virtual DWORD Pause(DWORD ms);
    // Ends the job once: the result kept, doneMessage (result, job) posted to owner when there
    // is one, the loop ended with the result. FALSE when it had ended already.
    BOOL EndJob(int result, HWND owner, UINT doneMessage, LPARAM job);

    BOOL m_bCancel = FALSE;
    BOOL m_bFinished = FALSE;
    int m_nResult = 3;
    BOOL m_bComInitialized = FALSE;

private:
    DWORD m_comModel;
    UINT m_cancelMessage;
};
