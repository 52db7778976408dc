// Runs one device search to its end on the calling thread, as the Search page would, with a
// window of its own that counts the search's reports; for the tests and the benchmark.
//
//     CObArray found;
//     SearchRun run(&found, L"No portable players could be found.");
//     run.job->mp3Title = TRUE;
//     run.Run();    // false when the thread did not start or end in time
//     run.reports;  // 1 for a completed search
#pragma once

#include "DeviceSearch.h"

#include <memory>

class SearchRun {
public:
    SearchRun(CObArray* devices, const CString& notFoundText);
    ~SearchRun();
    SearchRun(const SearchRun&) = delete;
    SearchRun& operator=(const SearchRun&) = delete;

    bool Run(DWORD timeoutMs = 60000);

    std::shared_ptr<DeviceSearchJob> job;
    int reports = 0;

private:
    static LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_owner = nullptr;
};

// Deletes every record of an array and empties it.
void DeleteRecords(CObArray& devices);
