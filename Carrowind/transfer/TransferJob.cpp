#include "TransferJob.h"

#include "SuiteMessages.h"
#include "TransferThread.h"

#include <vector>

CTransferJob::CTransferJob(IStream* deviceStream, HWND owner) : m_hOwnerWnd(owner), m_pDeviceStream(deviceStream) {}

CTransferJob::~CTransferJob()
{
    if (m_pDeviceStream)
        m_pDeviceStream->Release();
}

HANDLE StartTransferThread(CTransferJob* job, DWORD* threadId)
{
    return StartWorkerThread(job ? new CTransferThread : nullptr, job, threadId);
}

HANDLE StartWorkerThread(CWinThread* thread, CTransferJob* job, DWORD* threadId)
{
    if (threadId)
        *threadId = 0;
    if (!job || !thread) {
        delete thread;
        return nullptr;
    }
    if (!thread->CreateThread(CREATE_SUSPENDED)) {
        delete thread;
        return nullptr;
    }
    // Both are taken while the thread cannot have ended (and deleted its object).
    HANDLE own = thread->DuplicateThreadHandle();
    const DWORD id = thread->m_nThreadID;
    thread->PostThreadMessage(WM_TRANSFER_START, 0, reinterpret_cast<LPARAM>(job));
    thread->ResumeThread();
    if (threadId)
        *threadId = id;
    return own;
}

void PostTransferCancel(DWORD threadId)
{
    if (threadId)
        PostThreadMessageW(threadId, WM_TRANSFER_CANCEL, 0, 0);
}

BOOL DiscardTransferMessages(HWND owner, const CTransferJob* job)
{
    BOOL removed = FALSE;
    MSG msg;
    // Messages for other jobs are put back in their order.
    std::vector<MSG> others;
    while (PeekMessageW(&msg, owner, WM_PART_DONE, WM_PART_DONE, PM_REMOVE)) {
        if (reinterpret_cast<const CTransferJob*>(msg.lParam) == job)
            removed = TRUE;
        else
            others.push_back(msg);
    }
    for (const MSG& other : others)
        PostMessageW(other.hwnd, other.message, other.wParam, other.lParam);
    return removed;
}
