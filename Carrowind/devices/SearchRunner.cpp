#include "SearchRunner.h"

#include "SuiteMessages.h"

SearchRun::SearchRun(CObArray* devices, const CString& notFoundText) : job(std::make_shared<DeviceSearchJob>())
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"VesperlinSearchRunOwner";
    RegisterClassW(&windowClass);
    m_owner = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              windowClass.hInstance, nullptr);
    SetWindowLongPtrW(m_owner, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    job->owner = m_owner;
    job->devices = devices;
    job->notFoundText = notFoundText;
}

SearchRun::~SearchRun()
{
    if (m_owner)
        DestroyWindow(m_owner);
}

LRESULT CALLBACK SearchRun::OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICE_SEARCH_DONE) {
        if (auto* run = reinterpret_cast<SearchRun*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
            ++run->reports;
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool SearchRun::Run(DWORD timeoutMs)
{
    reports = 0;
    CWinThread* thread = StartDeviceSearch(job);
    if (!thread)
        return false;
    HANDLE handle = thread->DuplicateThreadHandle();
    thread->ResumeThread();
    const BOOL ended = AfxWaitForThreadEnd(handle, timeoutMs);
    CloseHandle(handle);
    return ended != FALSE;
}

void DeleteRecords(CObArray& devices)
{
    for (INT_PTR i = 0; i < devices.GetSize(); ++i)
        delete devices[i];
    devices.RemoveAll();
}
