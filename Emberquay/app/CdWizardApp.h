// CCdWizardApp: the CD wizard's application. One program with two roles: the wizard the
// console's Burn command starts for one title (a single instance, with the recording library
// started around the sheet), and the COM local server of the progress class (/RegServer,
// /UnregServer, /Embedding).
#pragma once

#include "WizardApp.h"
#include "WizardCommandLine.h"

class CCdWizardApp : public CWizardAppBase {
    DECLARE_DYNAMIC(CCdWizardApp)
public:
    CCdWizardApp();

    BOOL InitInstance() override;

    // The CD wizard's reading of its command line or "zkycdburn://" link.
    static const WizardCommandLineRules& CommandLineRules();
    // TRUE for a playlist path the wizard runs with (ends in ".wax", any case).

    CString m_sourceFolder;
    int m_trackGapFrames = 150;

private:
    void RunWizard();
};
