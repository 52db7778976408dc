#include "ConsoleDownloadThread.h"

IMPLEMENT_DYNCREATE(CConsoleDownloadThread, CDownloadThread)

CConsoleDownloadThread::CConsoleDownloadThread() { m_nLastPercent = -1; }

int CConsoleDownloadThread::SendQuestion(BOOL mayRetry, const CString& text)
{
    return static_cast<int>(
        SendMessageW(m_hOwner, WM_DOWNLOAD_ERROR, mayRetry ? 1 : 0, reinterpret_cast<LPARAM>(text.GetString())));
}
