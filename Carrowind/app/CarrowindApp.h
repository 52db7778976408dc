// CWizardApp: the device wizard's application. One program with two roles: the wizard the
// console starts for one title (a single instance), and the COM local server of the device
// manager's progress class (/RegServer, /UnregServer, /Embedding).
#pragma once

#include "WizardApp.h"
#include "WizardCommandLine.h"

class CWizardApp : public CWizardAppBase {
    DECLARE_DYNAMIC(CWizardApp)
public:
    CWizardApp();

    BOOL InitInstance() override;

    // The device wizard's reading of its command line or link.
    static const WizardCommandLineRules& CommandLineRules();
    // TRUE for a playlist path the wizard runs with (ends in ".wax", any case).

private:
    // The wizard itself, from the command line to the end of the sheet.
    void RunWizard();
};

// What the wizard lets go when it ends: an iTunes it started itself (the search, the Confirm
// page or a browse started it) is asked to close, after a pause for what it still does; the
// Zune servers are released once no search thread runs (waited for up to kSearchEndWaitMs).
// The verbose log's record of it ("Clear ", with "[Checked:PostQuitIT]" or
// "[Checked:NotFoundIT]" when iTunes was to be closed).
inline constexpr DWORD kSearchEndWaitMs = 5000;
CString ReleaseWizardSession(BOOL iTunesStarted);
