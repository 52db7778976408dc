#include "AboutDialog.h"

#include "OleDispatchDriver.h"
#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"

namespace {

// The detect object itself, called by dispatch id.
class CDetectObjectVersions : public IVersionSource {
public:
    BOOL Create() { return SUCCEEDED(m_detect.CreateDispatch(L"Vesperlin.ZKYDetectObject")); }
    BOOL GetVersionText(int dispid, CString& text) override
    {
        VARIANT result;
        VariantInit(&result);
        const bool read = SUCCEEDED(m_detect.TryInvoke(dispid, DISPATCH_METHOD, &result)) &&
                          SUCCEEDED(AfxStoreVariantResult(result, VT_BSTR, &text));
        VariantClear(&result);
        return read;
    }

private:
    COleDispatchDriver m_detect;
};

}  // namespace

std::unique_ptr<IVersionSource> CreateDetectObject()
{
    auto detect = std::make_unique<CDetectObjectVersions>();
    if (!detect->Create())
        return nullptr;
    return detect;
}

namespace {

VersionSourceFactory& Factory()
{
    static VersionSourceFactory factory = CreateDetectObject;
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
