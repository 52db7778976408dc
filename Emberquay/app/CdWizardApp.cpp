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
    switch (StartWizardOrServer(IDS_EMBERQUAY_REGISTRY_KEY)) {
    case StartUp::serve:
        return TRUE;
    case StartUp::ended:
    case StartUp::failed:
        return FALSE;
    case StartUp::wizard:
        break;
    }
    char text[1024] = {};
    ULONG systemError = 0;
    if (StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION, text, sizeof(text), &systemError) != STARBURN_OK) {
        AfxMessageBox(IDS_BURNING_NOT_INSTALLED, MB_OK | MB_ICONERROR);
        return FALSE;
    }
    RunWizard();
    StarBurn_DownShut();
    return FALSE;
}

void CCdWizardApp::RunWizard()
{
    m_sourceId.Empty();
    m_contentType.Empty();
    m_bannerPath.Empty();
    WizardCommandLine options;
    ParseWizardCommandLine(GetCommandLineW(), ProgramPath(), CommandLineRules(), options);
    m_sourceId = options.sourceId;
    m_contentType = options.contentType;
    if (options.path.IsEmpty() || !IsPlaylistPath(options.path)) {
        AfxMessageBox(IDS_NO_PLAYLIST_PATH, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    m_bannerPath = FindBannerImage(m_sourceId);
    const int slash = options.path.ReverseFind(L'\\');
    if (slash >= 0)
        m_sourceFolder = options.path.Left(slash);
    CCdWizardSheet sheet(options.path);
    m_pMainWnd = &sheet;
    AfxSetMessageBoxOwner(nullptr);
    sheet.DoModal();
    m_pMainWnd = nullptr;
}

int CCdWizardApp::ExitInstance()
{
    EndWizardOrServer();
    return CWizardAppBase::ExitInstance();
}
