#include "ConsoleDialog.h"

#include "AfxMessageBox.h"
#include "WinApp.h"

void CConsoleDialog::OnHelp()
{
    HELPINFO info{};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = m_hWnd;
    if (CWinApp* app = AfxGetApp())
        app->ShowHelpTopic(&info, m_helpTopic);
}

int CConsoleDialog::ShowMessage(UINT id, const wchar_t* argument, UINT type)
{
    CString text;
    text.Format(id, argument ? argument : L"");
    return AfxMessageBox(text, type);
}
