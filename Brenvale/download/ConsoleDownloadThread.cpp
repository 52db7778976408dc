#include "ConsoleDownloadThread.h"

IMPLEMENT_DYNCREATE(CConsoleDownloadThread, CDownloadThread)

CConsoleDownloadThread::CConsoleDownloadThread() { m_nLastPercent = -1; }

int CConsoleDownloadThread::SendQuestion(WPARAM offer, const CString& text)
{
    return static_cast<int>(SendMessageW(m_hOwner, WM_DOWNLOAD_ERROR, offer, reinterpret_cast<LPARAM>(text.GetString())));
}
