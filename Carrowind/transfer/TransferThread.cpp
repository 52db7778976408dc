#include "TransferThread.h"

#include "PlayerRecord.h"
#include "SuiteMessages.h"

IMPLEMENT_DYNCREATE(CTransferThread, CWinThread)

CTransferThread::CTransferThread() = default;

CTransferThread::~CTransferThread()
{
    if (m_pDevice)
        m_pDevice->Release();
}

BOOL CTransferThread::InitInstance() { return TRUE; }

int CTransferThread::ExitInstance() { return CWinThread::ExitInstance(); }

BOOL CTransferThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TRANSFER_START:
        StartTransfer(lParam);
        return TRUE;
    case WM_TRANSFER_CANCEL:
        m_bCancel = TRUE;
        return TRUE;
    default:
        return CWinThread::OnThreadMessage(message, wParam, lParam);
    }
}

BOOL CTransferThread::OnIdle(LONG) { return FALSE; }

int CTransferThread::MapStepResult(HRESULT hr, BOOL cancelled)
{
    if (SUCCEEDED(hr))
        return kTransferDone;
    if (cancelled || hr == wmdm::kUserCancelled)
        return kTransferCancelled;
    if (hr == wmdm::kBusy)
        return kTransferBusy;
    return kTransferFailed;
}

void CTransferThread::StartTransfer(LPARAM lParam)
{
    m_pJob = reinterpret_cast<CTransferJob*>(lParam);
    Finish(kTransferFailed);
}

void CTransferThread::Finish(int result)
{
    m_nResult = result;
    m_bFinished = TRUE;
    if (m_pJob) {
        m_pJob->m_nResult = result;
        if (m_pJob->m_hOwnerWnd)
            PostMessageW(m_pJob->m_hOwnerWnd, WM_PART_DONE, static_cast<WPARAM>(result), reinterpret_cast<LPARAM>(m_pJob));
        m_pJob = nullptr;
    }
    PostQuitMessage(result);
}

HRESULT CTransferThread::TransferPartToZune(const CString&, const CString&, const CString&) { return E_NOTIMPL; }
HRESULT CTransferThread::TransferPartToDevice(const CString&, const CString&, IWMDMDevice*) { return E_NOTIMPL; }
HRESULT CTransferThread::CopyPartToDrive(const CString&, const CString&) { return E_NOTIMPL; }
void CTransferThread::SetPartError(const wchar_t*, HRESULT) {}
void CTransferThread::SetPartError(const wchar_t*, const CString&) {}
BOOL CTransferThread::HasPartError() const { return FALSE; }
BOOL CTransferThread::WaitCancellable(DWORD) { return !m_bCancel; }
