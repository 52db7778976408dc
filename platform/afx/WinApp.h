// CWinApp: the application object, a CWinThread for the program's main thread.
// This core holds the application's names and its registry profile; the windows
// layer adds the main window, document templates and the command line around it.
//
// Profile values live under HKEY_CURRENT_USER\Software\<registry key>\<profile name>,
// one sub-key per section, once SetRegistryKey has named the company key. Before that
// the profile functions read the defaults and write nothing.
#pragma once

#include "CString.h"
#include "CmdTarget.h"
#include "RegistryKey.h"
#include "WinThread.h"

#include <vector>

class CCommandLineInfo;
class CDocTemplate;
class CDocument;

#include "HtmlHelp.h"

class CWinApp : public CWinThread, public CCmdTarget {
    DECLARE_DYNAMIC(CWinApp)
public:
    // The application's name; null takes the string-table text AFX_IDS_APP_TITLE (AfxIds.h).
    explicit CWinApp(const wchar_t* appName = nullptr);
    ~CWinApp() override;

    // An application's start-up goes on unless a derived one says otherwise (a plain thread's
    // InitInstance ends it).
    BOOL InitInstance() override { return TRUE; }

    // Names the company key; the profile name becomes the application's name.
    void SetRegistryKey(const wchar_t* registryKey);
    void SetRegistryKey(UINT registryKeyId);

    // HKCU\Software\<key>\<profile>, created when missing; the caller closes it (a
    // CRegistryKey does that).
    // Null before SetRegistryKey or when the key cannot be created.
    HKEY GetAppRegistryKey() const;
    // The section's key under the application's key, created when missing; the caller
    // closes it (a CRegistryKey does that). Null on failure.
    HKEY GetSectionKey(const wchar_t* section) const;

    // A REG_DWORD value, or the default when it is missing or of another type.
    UINT GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) const;
    // A REG_SZ value (terminated safely whether or not the stored data holds the NUL),
    // or the default when it is missing or of another type.
    CString GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue = nullptr) const;
    BOOL WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);
    // A null value deletes the entry; a null entry deletes the whole section.
    BOOL WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);
    // Deletes a section with everything below it (the windows layer's DelRegTree).
    BOOL DeleteProfileSection(const wchar_t* section);
    // Deletes one value of a section.
    BOOL DeleteProfileValue(const wchar_t* section, const wchar_t* entry);

    // --- Messages and help (the window half) ---
    // Every message box of the program passes here (AfxMessageBox calls it); a program
    // overrides it to adjust boxes. The base shows the box through the funnel.
    virtual int DoMessageBox(const wchar_t* text, UINT type, UINT helpId);
    // Help through HTML Help: the help file is the program's path with ".chm".
    void EnableHtmlHelp();
    // Asks the main window's HtmlHelp (the help file of m_pszHelpFilePath), or HTML Help
    // directly when there is no main window.
    virtual void HtmlHelp(DWORD_PTR data, UINT command = HH_HELP_CONTEXT);
    // The program's help hook: WM_HELP of every class-library dialog and property sheet
    // (F1, the caption's "?") arrives here with the window's help topic (may be empty).
    // The base opens the topic of the help file ("file::/topic") when there is one.
    virtual void ShowHelpTopic(const HELPINFO* info, const wchar_t* topic);
    // A text pop-up of HTML Help for a control: the string contextId of the topic file
    // ("helpfile::/topic") at the point, in the default colours, margins and font. FALSE when
    // the help system shows none (Wine's shows no text pop-ups).
    BOOL ShowHelpPopup(HWND owner, const wchar_t* topic, DWORD contextId, POINT at);
    // Sets the help file path (m_pszHelpFilePath follows it).
    void SetHelpFilePath(const wchar_t* path);

    // --- Documents, the command line and the shell (the frame half; WinAppFrame.cpp) ---
    // The application owns its templates (deleted with it).
    void AddDocTemplate(CDocTemplate* docTemplate);
    CDocTemplate* GetFirstDocTemplate() const { return m_templates.empty() ? nullptr : m_templates.front(); }
    // Fills info from the program's command line (each argument after the program's name).
    void ParseCommandLine(CCommandLineInfo& info);
    // A new, empty document of the first template (with its frame the first time).
    virtual void OnFileNew();
    // Asks for a file with the first template's filter and opens it.
    virtual void OnFileOpen();
    // Opens a file through the first template; null when it was not opened.
    virtual CDocument* OpenDocumentFile(const wchar_t* path);
    // The file dialog of OnFileOpen; FALSE when cancelled. Tests override it.
    virtual BOOL DoPromptFileName(CString& path, CDocTemplate* docTemplate);
    // Lets the shell open documents in this program (its open verb starts the program with the
    // file; the single running program is found by the program itself).
    void EnableShellOpen() { m_shellOpenEnabled = TRUE; }
    // Registers each template's file type: the extension names the file-type identifier, which
    // has the display name, the program's icon and the open verb "<program>" "%1" (no print verbs).
    BOOL RegisterShellFileTypes(BOOL compatibility = FALSE);
    // The help contents (HTML Help's table of contents).
    virtual void OnHelpFinder();
    // The application's commands: new and open files, exit, help contents.
    BOOL OnCmdMsg(UINT id, UINT code) override;
    // Idle: the main window's bars get their command states.
    BOOL OnIdle(LONG count) override;

    const wchar_t* m_pszAppName = nullptr;
    const wchar_t* m_pszHelpFilePath = nullptr;
    const wchar_t* m_pszRegistryKey = nullptr;
    const wchar_t* m_pszProfileName = nullptr;
    HINSTANCE m_hInstance = nullptr;

private:
    std::vector<CDocTemplate*> m_templates;
    BOOL m_shellOpenEnabled = FALSE;
    CString m_appName;
    CString m_registryKey;
    CString m_profileName;
    CString m_helpFilePath;
};

// The application object (null when the program has none).
CWinApp* AfxGetApp();

// The program's main: InitInstance, then Run (or ExitInstance when it fails). In a program
// that ends at once (a second instance), a main window that is not the program's own is let go.
int AfxWinMain();

// Reads a REG_SZ value of an open key into text. The text is empty unless the value is
// a non-empty REG_SZ; the result is the Win32 error code of the read (0 for success,
// also for another type or an empty value). Data without a terminating NUL is ended
// safely.
LONG AfxReadRegistryString(HKEY key, const wchar_t* valueName, CString& text, DWORD* type = nullptr);
