// The console's part download thread: the suite's download thread (common/DownloadThread.h)
// as the console's download queue drives it.
//
// Besides cancel, the queue may post WM_DOWNLOAD_STOP (the job ends with kDownloadStopped
// and stays queued for later) and pause the transfer with SetPaused. The question
// WM_DOWNLOAD_ERROR carries the text itself as lParam (valid during the call only), not
// the job. The first chunk of every job is reported, even at 0 percent, so that the queue's
// progress starts again from the bottom when a stopped job is fetched anew. The texts are
// the console's own string table entries under the thread's ids (res/ConsoleDownloadStrings.rc).
#pragma once

#include "DownloadThread.h"

class CConsoleDownloadThread : public CDownloadThread {
    DECLARE_DYNCREATE(CConsoleDownloadThread)
public:
    CConsoleDownloadThread();

protected:
    int SendQuestion(WPARAM offer, const CString& text) override;
};
