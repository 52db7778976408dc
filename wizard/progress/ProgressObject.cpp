#include "ProgressObject.h"

#include "SuiteMessages.h"

STDMETHODIMP WMDMProgressObject::SetOwnerWindow(LONG ownerWindow)
{
    m_owner = static_cast<HWND>(LongToHandle(ownerWindow));
    return S_OK;
}

STDMETHODIMP WMDMProgressObject::Begin(DWORD estimatedTicks)
{
    m_totalTicks = estimatedTicks <= 1 ? 1 : estimatedTicks;
    return S_OK;
}

STDMETHODIMP WMDMProgressObject::Progress(DWORD transpiredTicks)
{
    if (!m_owner)
        return S_OK;
    const DWORD total = m_totalTicks == 0 ? 1 : m_totalTicks;
    const DWORD percent = static_cast<DWORD>(MulDiv(100, static_cast<int>(transpiredTicks), static_cast<int>(total)));
    if (percent == m_lastPercent)
        return S_OK;
    m_lastPercent = percent;
    const LRESULT reply = SendMessageW(m_owner, WM_TRANSFER_PERCENT, percent, 0);
    return reply == 0 ? wmdm::kUserCancelled : S_OK;
}
