#include "WorkerThread.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CWorkerThread, CWinThread)

namespace {
constexpr DWORD kWaitSliceMs = 50;
}

CWorkerThread::CWorkerThread(DWORD comModel, UINT cancelMessage) : m_comModel(comModel), m_cancelMessage(cancelMessage)
{
}

BOOL CWorkerThread::InitInstance()
{
    m_bComInitialized = SUCCEEDED(CoInitializeEx(nullptr, m_comModel));
    return TRUE;
}

int CWorkerThread::ExitInstance()
{
    if (m_bComInitialized) {
        CoUninitialize();
        m_bComInitialized = FALSE;
    }
    return CWinThread::ExitInstance();
}

BOOL CWorkerThread::CancelPending()
{
    MSG msg;
    if (!m_bCancel && PeekMessageW(&msg, reinterpret_cast<HWND>(-1), m_cancelMessage, m_cancelMessage, PM_REMOVE))
        OnCancelMessage();
    return m_bCancel;
}

BOOL CWorkerThread::WaitCancellable(DWORD ms)
{
    for (DWORD waited = 0;;) {
        if (CancelPending())
            return FALSE;
        if (waited >= ms)
            return TRUE;
        const DWORD passed = Pause(std::min(kWaitSliceMs, ms - waited));
        waited = passed >= ms - waited ? ms : waited + passed;
    }
}

DWORD CWorkerThread::Pause(DWORD ms)
{
    const ULONGLONG start = GetTickCount64();
    Sleep(ms);
    return static_cast<DWORD>(std::min<ULONGLONG>(GetTickCount64() - start, MAXDWORD));
}

BOOL CWorkerThread::EndJob(int result, HWND owner, UINT doneMessage, LPARAM job)
{
    if (m_bFinished)
        return FALSE;
    m_nResult = result;
    m_bFinished = TRUE;
    if (owner)
        PostMessageW(owner, doneMessage, static_cast<WPARAM>(result), job);
    PostQuitMessage(result);
    return TRUE;
}
