// The frame's update and message checks.
#include "MainFrm.h"

BOOL CMainFrame::RunUpdateCheck(BOOL, const wchar_t*)
{
    return TRUE;
}

void CMainFrame::RunMessageCheck(BOOL)
{
}
