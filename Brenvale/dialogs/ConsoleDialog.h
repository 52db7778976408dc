// The base of the console's small modal dialogs: the Help button and F1 open the
// dialog's own help topic through the application's ShowHelpTopic.
#pragma once

#include "Dialog.h"
#include "Gdi.h"

// Opens the help topic for a window's Help button through the application's ShowHelpTopic.
void ShowDialogHelpTopic(HWND window, const wchar_t* topic);

class CConsoleDialog : public CDialog {
public:
    CConsoleDialog(UINT templateId, CWnd* parent, const wchar_t* helpTopic) : CDialog(templateId, parent)
    {
        m_helpTopic = helpTopic;
    }

protected:
    void OnHelp() override;
    // Gives the item a font made from the dialog's own, at normal weight in "MS Shell Dlg"
    // (the font object lives as long as the dialog).
    void SetTitleFont(int itemId, CFont& font);
    // Shows a string-table message with one text inserted (through the message-box funnel).
    static int ShowMessage(UINT id, const wchar_t* argument = nullptr, UINT type = MB_OK | MB_ICONEXCLAMATION);
};
