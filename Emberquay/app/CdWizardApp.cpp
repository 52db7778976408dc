#include "CdWizardApp.h"

#include "AfxMessageBox.h"
#include "BurnSdk.h"
#include "CdWizardSheet.h"
#include "WizardServices.h"
#include "res/EmberquayIds.h"

#include <objbase.h>

IMPLEMENT_DYNAMIC(CCdWizardApp, CWizardAppBase)

namespace {

const WizardNames kNames{L"Emberquay", IDS_EMBERQUAY_TITLE, L"EMBERQUAY-87B2C489-1EB7-4ff7-B05C-D77B42FF0B9D",
                         IDS_ALREADY_RUNNING};

}  // namespace

CCdWizardApp::CCdWizardApp() : CWizardAppBase(kNames) {}

const WizardCommandLineRules& CCdWizardApp::CommandLineRules()
{
    static const WizardCommandLineRules rules{L"zkycdburn://", L"MP3 Audiobook", L"Vesperlin", false};
    return rules;
}

BOOL CCdWizardApp::InitInstance()
{
    if (!CWizardAppBase::InitInstance())
        return FALSE;
    return StartAndRun(IDS_EMBERQUAY_REGISTRY_KEY, [this] {
        char text[1024] = {};
        ULONG systemError = 0;
        if (StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION, text, sizeof(text), &systemError) != STARBURN_OK) {
            AfxMessageBox(IDS_BURNING_NOT_INSTALLED, MB_OK | MB_ICONERROR);
            return;
        }
        RunWizard();
        StarBurn_DownShut();
    });
}

void CCdWizardApp::RunWizard()
{
    WizardCommandLine options;
    if (!ReadTitleCommandLine(CommandLineRules(), IDS_NO_PLAYLIST_PATH, options))
        return;
    const int slash = options.path.ReverseFind(L'\\');
    if (slash >= 0)
        m_sourceFolder = options.path.Left(slash);
    CCdWizardSheet sheet(options.path);
    RunMainSheet(sheet);
}
