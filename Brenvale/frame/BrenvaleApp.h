// CBrenvaleApp: the console's application object. One console runs per user: a first
// start builds the program (splash, registry key, document template, shell file type,
// the main frame with the library) and shows it; a later start finds the running console
// by its frame's window class, brings it to the front, hands its file or link over
// through a data section that every instance of the program shares, and ends.
//
// The hand-over: the path (or "zkyopen://" link) is copied into SharedOpenPath and
// WM_OPEN_PATH (0x500) is posted to the running frame; without a path WM_STARTUP_NO_FILE
// (0x501) is posted. A path too long for the shared buffer is refused with a message,
// never cut (a cut path can name another file); 0x501 is posted instead. A relative path
// is made absolute against the starting instance's own current folder first.
//
// Which start is the first is decided by a named mutex that the first console owns for its
// lifetime (two consoles started together cannot both build a frame); a later start waits,
// bounded, for the first one's frame to appear. Hand-overs from later starts take turns: a
// named mutex is held from writing the buffer until the running frame has copied the text
// out (it signals a named event, which the writer waits for, bounded), so two order files
// handed over together both arrive. The first console hands its own command line to its
// frame privately, never through the buffer.
#pragma once

#include "AfxWin.h"
#include "SuiteMessages.h"
#include "afx.h"

// The frame's window class, found by later starts.
constexpr const wchar_t* kConsoleWindowClass = L"Vesperlin.Brenvale";
// Room of the shared buffer, in characters (with the terminator).
constexpr int kSharedOpenPathLength = 260;

// The named objects of the single-instance decision and of the hand-over's turns.
constexpr const wchar_t* kConsoleInstanceMutex = L"Vesperlin.Brenvale.Instance";
constexpr const wchar_t* kHandOverTurnMutex = L"Vesperlin.Brenvale.HandOverTurn";
constexpr const wchar_t* kHandOverCopiedEvent = L"Vesperlin.Brenvale.HandOverCopied";

// The one path or link handed over; the same bytes in every running instance.
extern wchar_t SharedOpenPath[kSharedOpenPathLength];

class CBrenvaleApp : public CWinApp {
    DECLARE_DYNAMIC(CBrenvaleApp)
public:
    // The name is the registry profile's; null takes the program's title (string 57344).
    explicit CBrenvaleApp(const wchar_t* appName = nullptr);

    BOOL InitInstance() override;
    int ExitInstance() override;
    // While the program is idle, decodes the library's waiting thumbnails a few at a time
    // and redraws the list after each turn, so a large library is shown at once and its
    // pictures arrive after it.
    BOOL OnIdle(LONG count) override;
    // The About box (33302) over the main window.
    BOOL OnCmdMsg(UINT id, UINT code) override;
    // Adds the question icon to question boxes that ask for no icon; swallows the message
    // of a help file that cannot be opened.
    int DoMessageBox(const wchar_t* text, UINT type, UINT helpId) override;
    // WM_HELP of the console's dialogs: F1 opens the dialog's page, Shift+F1 a text pop-up
    // of the control (centred on it), a menu item its context help.
    void ShowHelpTopic(const HELPINFO* info, const wchar_t* topic) override;

    // The running console's frame (restored and brought to the front), or null after
    // registering the frame's window class for this instance when it is the first console
    // (it then owns the instance mutex). Null without the mutex: another console started
    // but showed no frame within the wait.
    CWnd* FindRunningInstance();
    // What a first instance builds, from the OLE start-up on (steps a test runs alone);
    // the library document is of docClass (a CBrenvaleDoc).
    BOOL CreateConsole(BOOL showSplash, const CRuntimeClass* docClass = nullptr);
    // Copies the path into the shared buffer and posts 0x500, or posts 0x501 for an empty
    // path. FALSE (nothing copied, 0x501 posted) when the path does not fit.
    static BOOL HandOver(HWND frame, const CString& path);
    // HandOver in its turn among the starts that hand over at the same moment: returns once
    // the running frame has copied the text (or after a bounded wait).
    static BOOL HandOverInTurn(HWND frame, const CString& path);
    // The frame has copied the shared buffer: the waiting writer may go.
    static void AcknowledgeHandOver();
    // A path of the command line made absolute against the current folder; links
    // ("://") and empty texts are returned as they are.
    static CString AbsoluteHandedPath(const CString& path);
    // The box type DoMessageBox shows.
    static UINT AdjustMessageBoxType(UINT type);
    // The text of a box that is never shown (the class library's "help cannot be opened").
    void LoadSuppressedMessageText();

private:
    BOOL RegisterFrameClass();
    // Takes the instance mutex when no other console owns it; TRUE when this one does.
    BOOL TakeInstanceMutex();
    BOOL m_registeredClass = FALSE;
    HANDLE m_instanceMutex = nullptr;
    BOOL m_ownsInstance = FALSE;
    BOOL m_oleStarted = FALSE;
    CString m_suppressedText;
    CString m_consoleName;
};
