#include "DeviceSearch.h"

#include "SuiteMessages.h"

IMPLEMENT_DYNCREATE(CDeviceSearchThread, CWinThread)

namespace {

DeviceSearchStarter& Starter()
{
    static DeviceSearchStarter starter;
    return starter;
}

}  // namespace

DeviceSearchStarter SetDeviceSearchStarter(DeviceSearchStarter starter)
{
    DeviceSearchStarter before = std::move(Starter());
    Starter() = std::move(starter);
    return before;
}

CWinThread* StartDeviceSearch(std::shared_ptr<DeviceSearchJob> job)
{
    if (Starter())
        return Starter()(std::move(job));
    auto* thread = static_cast<CDeviceSearchThread*>(
        AfxBeginThread(RUNTIME_CLASS(CDeviceSearchThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (thread)
        thread->m_job = std::move(job);
    return thread;
}

BOOL CDeviceSearchThread::InitInstance()
{
    if (m_job && !m_job->stopRequested && m_job->owner)
        SendMessageW(m_job->owner, WM_DEVICE_SEARCH_DONE, 0, 0);
    return FALSE;  // the thread's work is done: it ends
}
