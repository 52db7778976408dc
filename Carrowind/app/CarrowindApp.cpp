#include "CarrowindApp.h"

#include "AfxMessageBox.h"
#include "CarrowindSheet.h"
#include "DeviceSearch.h"
#include "DocTemplate.h"
#include "WizardServices.h"
#include "ZuneClient.h"
#include "iTunesAutomation.h"
#include "res/CarrowindIds.h"
#include "res/WizardSheetIds.h"

IMPLEMENT_DYNAMIC(CWizardApp, CWizardAppBase)

namespace {

const WizardNames kNames{L"Carrowind", IDS_CARROWIND_TITLE, L"CARROWIND-1573193E-0E49-49a8-A45D-18A47D48FB0D",
                         IDS_ALREADY_RUNNING};

}  // namespace

CWizardApp::CWizardApp() : CWizardAppBase(kNames) {}

const WizardCommandLineRules& CWizardApp::CommandLineRules()
{
    static const WizardCommandLineRules rules{L"zkytransfer://", L"MP3 Audiobook", L"Vesperlin", true};
    return rules;
}

BOOL CWizardApp::InitInstance()
{
    // (The class library's application has no set-up of its own here: its base is the
    // worker threads', which ends a thread.) The single-instance rule comes before the log's
    // first record, so a second copy writes none; the shared start-up finds it held.
    if (!TakeSingleInstance())
        return FALSE;
    const CString commandLine = GetCommandLineW();
    if (HasVerboseSwitch(commandLine))
        m_verbose = TRUE;
    WriteVerboseLog(L"INIT");
    return StartAndRun(IDS_CARROWIND_REGISTRY_KEY, [this] { RunWizard(); });
}

void CWizardApp::RunWizard()
{
    WizardCommandLine options;
    if (!ReadTitleCommandLine(CommandLineRules(), IDS_NO_PLAYLIST_PATH, options)) {
        WriteVerboseLog(AfxLoadString(IDS_NO_PLAYLIST_PATH));
        return;
    }
    WriteVerboseLog(GetCommandLineW());
    BOOL iTunesStarted = FALSE;
    {
        CWizardSheet sheet(options.path);
        RunMainSheet(sheet);
        iTunesStarted = sheet.m_iTunesStarted;
    }
    WriteVerboseLog(ReleaseWizardSession(iTunesStarted));
}

CString ReleaseWizardSession(BOOL iTunesStarted)
{
    CString cleared = L"Clear ";
    if (iTunesStarted || WasiTunesStartedHere()) {
        cleared += L" [Checked:";
        BOOL closed = FALSE;
        if (IsiTunesRunning()) {
            iTunesWait(2000);  // what iTunes was still doing for the wizard ends first
            closed = CloseiTunes();
        }
        cleared += closed ? L"PostQuitIT]" : L"NotFoundIT]";
        ForgetiTunesStartedHere();
    }
    // A search that was stopped may still be connecting Zunes: their table is its until it ends.
    if (WaitForDeviceSearchesToEnd(kSearchEndWaitMs))
        ReleaseZuneDevices();
    else
        cleared += L" [Zune:SearchRunning]";
    return cleared;
}
