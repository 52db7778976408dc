#include "AboutDialog.h"

#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"

namespace {

VersionSourceFactory& Factory()
{
    static VersionSourceFactory factory;
    return factory;
}

}  // namespace

void SetVersionSourceFactory(VersionSourceFactory factory)
{
    Factory() = std::move(factory);
}

AboutVersionTexts ReadAboutVersionTexts(IVersionSource* source)
{
    AboutVersionTexts texts;
    if (!source)
        return texts;
    CString text;
    if (source->GetVersionText(1, text)) {
        if (text.Left(2) == L"0.")
            text += L" BETA";
        texts.console = text;
    }
    if (source->GetVersionText(2, text))
        texts.player = text;
    if (source->GetVersionText(3, text))
        texts.platform = text;
    return texts;
}

CAboutDlg::CAboutDlg(CWnd* parent) : CConsoleDialog(IDD_ABOUT, parent, kHelpTopicAboutDialog) {}

BOOL CAboutDlg::OnInitDialog()
{
    CConsoleDialog::OnInitDialog();
    std::unique_ptr<IVersionSource> source = Factory() ? Factory()() : nullptr;
    const AboutVersionTexts texts = ReadAboutVersionTexts(source.get());
    SetDlgItemText(IDC_ABOUT_VERSION, texts.console);
    SetDlgItemText(IDC_ABOUT_PLAYER_VERSION, texts.player);
    SetDlgItemText(IDC_ABOUT_PLATFORM_VERSION, texts.platform);
    return TRUE;
}
