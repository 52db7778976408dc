// The frame's dialog, properties, wizard and game commands: Options (33200), Properties
// (33007), Transfer (33001, 33051 with verbose logging offered) and Burn (33002), and the
// game functions the library uses when game titles are deleted.
#include "MainFrm.h"

#include "BrenvaleListView.h"
#include "ConsoleSettings.h"
#include "CredentialScrambler.h"
#include "FileUtils.h"
#include "GameTitles.h"
#include "OptionsDialog.h"
#include "PropertiesDialog.h"
#include "WizardLaunch.h"
#include "res/ConsoleIds.h"

#undef PropertySheet

namespace {

// The first selected title of the list, or null.
CMediaObject* FirstSelectedTitle(const CBrenvaleListView* list)
{
    if (!list)
        return nullptr;
    const std::vector<CMediaObject*> titles = list->GetSelectedTitles();
    return titles.empty() ? nullptr : titles.front();
}

}  // namespace

void CMainFrame::ReadProxyCredentials()
{
    if (GetSettingInt(L"InternetRequiresAuth") == 0)
        return;
    m_proxyUserName = GetSettingString(L"UserName");
    m_proxyPassword = CCredentialScrambler().UnscrambleCredential(kSettingsSection, L"Password");
}

void CMainFrame::ConnectLibraryGames(CCreateContext* context)
{
    CDocument* document = context ? context->m_pCurrentDoc : nullptr;
    if (!document || !document->IsKindOf(RUNTIME_CLASS(CBrenvaleDoc)))
        return;
    CBrenvaleDoc::GameFunctions games;
    games.isInstalled = [](CMediaObject& title) {
        BOOL installed = FALSE;
        return ::IsGameInstalled(title, installed) && installed;
    };
    games.uninstall = [](CMediaObject& title) { ::UninstallGame(title); };
    static_cast<CBrenvaleDoc*>(document)->SetGameFunctions(std::move(games));
}

void CMainFrame::ShowOptions()
{
    COptionsDlg options(this);
    if (options.DoModal() != IDOK)
        return;
    // The dialog empties the name when no authentication is asked for: the connection's
    // credentials stay as they were then.
    if (!options.m_userName.IsEmpty()) {
        m_proxyUserName = options.m_userName;
        m_proxyPassword = options.m_password;
    }
}

void CMainFrame::ShowTitleProperties()
{
    CBrenvaleDoc* doc = GetLibrary();
    if (!doc || GetSelectedTitleCount() != 1)
        return;
    CMediaObject* title = FirstSelectedTitle(GetListView());
    if (!title)
        return;
    // The title's own picture from the library's 32-pixel list, for the General page.
    HIMAGELIST pictures = doc->GetPictures(1).GetSafeHandle();
    HICON icon = pictures ? ImageList_GetIcon(pictures, title->GetPictureIndex(), ILD_NORMAL) : nullptr;
    {
        CTitlePropertiesSheet sheet(title, doc->FindSource(title->m_sourceId), doc->GetDataFolder(), icon, this);
        sheet.DoModal();
    }
    if (icon)
        DestroyIcon(icon);
}

void CMainFrame::LaunchWizard(bool cdWizard)
{
    CMediaObject* title = FirstSelectedTitle(GetListView());
    if (!title)
        return;
    WizardLaunchContext context;
    context.document = GetLibrary();
    context.programFolder = m_wizardFolder.IsEmpty() ? GetProgramFolder() : m_wizardFolder;
    // "Download the parts now?" answered Yes: the Download command for the selected title.
    context.downloadParts = [this](CMediaObject&) { SendMessage(WM_COMMAND, ID_TITLE_DOWNLOAD); };
    if (cdWizard)
        LaunchCdWizard(title, context);
    else
        LaunchDeviceWizard(title, context, m_verboseTransfer != FALSE);
}
