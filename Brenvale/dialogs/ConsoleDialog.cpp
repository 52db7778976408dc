#include "ConsoleDialog.h"

#include "AfxMessageBox.h"
#include "WinApp.h"

void ShowDialogHelpTopic(HWND window, const wchar_t* topic)
{
    HELPINFO info{};
    info.cbSize = sizeof(info);
    info.iContextType = HELPINFO_WINDOW;
    info.hItemHandle = window;
    if (CWinApp* app = AfxGetApp())
        app->ShowHelpTopic(&info, topic);
}

void CConsoleDialog::OnHelp()
{
    ShowDialogHelpTopic(m_hWnd, m_helpTopic);
}

int CConsoleDialog::ShowMessage(UINT id, const wchar_t* argument, UINT type)
{
    CString text;
    text.Format(id, argument ? argument : L"");
    return AfxMessageBox(text, type);
}

void CConsoleDialog::SetTitleFont(int itemId, CFont& font)
{
    LOGFONTW description{};
    if (!GetObjectW(GetFont(), sizeof(description), &description))
        return;
    description.lfWeight = FW_NORMAL;
    wcscpy_s(description.lfFaceName, L"MS Shell Dlg");
    if (font.CreateFontIndirect(&description))
        ::SendDlgItemMessageW(m_hWnd, itemId, WM_SETFONT, reinterpret_cast<WPARAM>(HFONT(font)), FALSE);
}
