// The application object both wizards derive from: the program folder, the options of the
// command line, the verbose log, the strings file that overrides texts, the message box of
// the program, help for pages and controls, the single-instance rule and the COM server
// switches.
//
//     class CWizardApp : public CWizardAppBase {
//     public:
//         CWizardApp() : CWizardAppBase(kNames) {}
//         BOOL InitInstance() override;   // TakeSingleInstance, HandleServerSwitches, the sheet
//     };
#pragma once

#include "WinApp.h"

#include <ctime>
#include <functional>

class CCommandLineInfo;
class CFile;
class CPropertySheet;
struct WizardCommandLine;
struct WizardCommandLineRules;

namespace com {
class Module;
}

// What names a wizard: its program, its texts and its keys.
struct WizardNames {
    const wchar_t* program;          // "Carrowind": the log and strings files are named after it
    UINT appTitleId;                 // "Vesperlin Carrowind": captions of boxes and pages
    const wchar_t* singleInstance;   // the mutex and registered message name
    UINT alreadyRunningId;           // the message a second start shows
};

class CWizardAppBase : public CWinApp {
    DECLARE_DYNAMIC(CWizardAppBase)
public:
    explicit CWizardAppBase(const WizardNames& names);
    ~CWizardAppBase() override;

    // --- The verbose log ---
    // Appends "[hh:mm:ss] message" (time since start) when verbose is on; the first record
    // creates the file (its failure is told once and turns the log off).
    void WriteVerboseLog(const wchar_t* message);
    // "<documents>\Vesperlin\<program>.log", or beside the program when there is no documents folder.
    CString DefaultLogFilePath() const;

    // --- Texts ---
    // The strings file's value (at most 499 characters), or the default when there is none.
    CString LookupStringsFile(const wchar_t* section, const wchar_t* key, const wchar_t* defaultText) const;
    // "<program folder>\<name>".
    CString JoinPath(const wchar_t* name) const;
    CString GetAppTitle() const;

    // Caption the application title, the question icon on questions (WizardMessageBoxType),
    // owner the thread's main window.
    int DoMessageBox(const wchar_t* text, UINT type, UINT helpId) override;
    // A page's or dialog's WM_HELP: F1 on a control asks its dialog for the dialog's own topic;
    // otherwise the control's text pop-up from the topic; a menu item's context help.
    void ShowHelpTopic(const HELPINFO* info, const wchar_t* topic) override;

    // --- Start-up ---
    // The single-instance rule: FALSE when another copy runs (it was told and brought to the
    // front). The mutex stays held for the life of the process; once held, TRUE again.
    BOOL TakeSingleInstance();
    // The registered message a running copy's sheet answers with its own number.
    UINT SingleInstanceMessage() const { return m_singleInstanceMessage; }
    // The top-level window that answers the single-instance message, or null.
    HWND FindRunningWizard() const;

    enum class ServerRun { wizard, serve, ended };
    // The class library's server switches: /RegServer and /UnregServer (registry, then end),
    // /Embedding and /Automation (serve only, until the last object is released). Class
    // objects must be registered before.
    ServerRun HandleServerSwitches(com::Module& module, const CCommandLineInfo& info);

    // The start-up both wizards share, after their own first steps: the single-instance rule,
    // COM in the apartment model (its failure told), the common controls, the class library's
    // registry key and command line, the class objects registered, then the server switches.
    // failed: the program ends (the user was told when there was something to tell).
    enum class StartUp { wizard, serve, ended, failed };
    StartUp StartWizardOrServer(UINT registryKeyId);
    // Its end, for ExitInstance: the class objects revoked, COM ended (what was started only).
    void EndWizardOrServer();
    // The shared start-up, then wizard() for the wizard's role: InitInstance's answer (TRUE
    // while it serves).
    BOOL StartAndRun(UINT registryKeyId, const std::function<void()>& wizard);
    // The title's command line read with the wizard's rules into options and into the source,
    // content type and mobile versions here (those not given empty), and the source's banner
    // found; FALSE when it names no playlist the wizard runs with (told with noPlaylistId's text).
    BOOL ReadTitleCommandLine(const WizardCommandLineRules& rules, UINT noPlaylistId, WizardCommandLine& options);
    // The sheet as the program's main window until it ends; its boxes find their own owners.
    void RunMainSheet(CPropertySheet& sheet);
    int ExitInstance() override;

    const WizardNames& Names() const { return m_names; }

    // The program file's full path (empty when it does not fit MAX_PATH).
    static CString ProgramPath();
    // A ".wax" playlist, whatever the case: the only file either wizard opens as its title.
    static BOOL IsPlaylistPath(const CString& path);

    CString m_programFolder;
    CString m_stringsFilePath;  // empty when the program has no strings file
    CString m_sourceId;
    CString m_bannerPath;
    CString m_contentType;
    CString m_mobileMinVersion;
    CString m_mobileCurVersion;
    BOOL m_verbose = FALSE;
    CString m_logFilePath;  // empty: DefaultLogFilePath() at the first record
    time_t m_startTime = 0;

private:
    WizardNames m_names;
    CFile* m_logFile = nullptr;
    HANDLE m_singleInstanceMutex = nullptr;
    UINT m_singleInstanceMessage = 0;
    BOOL m_singleInstanceHeld = FALSE;
    BOOL m_comStarted = FALSE;
    BOOL m_classObjectsRegistered = FALSE;
};

// The program's wizard application (null outside a wizard).
CWizardAppBase* AfxGetWizardApp();
