// The help entries of a wizard's pages and dialogs as a user reaches them, for both wizards'
// tests: "?" on a control, F1 on a control, and what the help file holds for them.
//     testsupport::HtmlHelpRecorder recorder;
//     ... with the dialog up:
//     wizardtest::ExpectControlHelp(dialog, recorder, {helpFile, L"AboutDialog.txt", aboutSource,
//                                                       HID_BASE_RESOURCE + IDD_ABOUT});
#pragma once

#include "HelpIds.h"
#include "HtmlHelp.h"
#include "WindowTestSupport.h"

#include <map>
#include <set>
#include <vector>

namespace wizardtest {

// The help calls a user's request made: every recorded call but the help system's own start
// and end (the sheet makes those).
std::vector<AfxHtmlHelpCall> HelpRequests(const testsupport::HtmlHelpRecorder& recorder);

// The WM_HELP a control's window gets when the user clicks the control after the title bar's
// "?" (F1 up), and when the user presses F1 on it (with Shift: Shift+F1). Sent to the control,
// which passes it on to its dialog as controls do.
void ContextHelpOn(HWND control);
void PressF1On(HWND control, bool shift = false);

// The controls of a dialog or page that have an id (not -1), with the help id each carries;
// visibleOnly: only those shown now (the ones a user can point at).
struct ControlHelp {
    int id;
    HWND control;
    DWORD helpId;
};
std::vector<ControlHelp> ControlsOf(HWND dialog, bool visibleOnly);

// The pop-up ids (".topic 0x8XXXXXXX" lines) of a help page's source file.
std::set<DWORD> PopupIdsOf(const CString& sourcePath);

// Where a dialog's help goes.
struct DialogHelp {
    CString helpFile;     // the program's help file
    const wchar_t* topic; // the dialog's page in it
    CString topicSource;  // that page's source file
    DWORD_PTR context;    // the dialog's own help context (its Help button, F1)
};

// Checks every control the dialog shows: it carries a help id that its page holds; "?" on it asks
// for that pop-up from the dialog's page at the control; F1 on it opens the dialog's own help
// once; Shift+F1 shows the pop-up centred on the control. Each fault fails with the control's id.
void ExpectControlHelp(HWND dialog, const testsupport::HtmlHelpRecorder& recorder, const DialogHelp& help);

// Every control with an id in a dialog template of the program (a class-library dialog made
// hidden under a hidden window and destroyed again) and the help id each carries; the control
// handles are null.
std::vector<ControlHelp> TemplateControls(UINT templateId);

// A dialog template and the page of its pop-ups.
struct TemplateHelp {
    UINT templateId;
    const char* name;
    CString topicSource;              // the source of the dialog's page in the help file
    std::map<int, DWORD> otherIds;    // controls whose help id is not the dialog's own for them
    std::set<int> internal;           // controls no user reaches (no help id)
};
// Every control of the template carries its help id (0x80000000 + dialog << 16 + control, or
// the one given) and the page holds a pop-up for it; internal controls carry none.
void ExpectTemplateHelp(const TemplateHelp& dialog);

}  // namespace wizardtest
