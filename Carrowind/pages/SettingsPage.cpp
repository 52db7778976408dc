#include "SettingsPage.h"

#include "CarrowindSheet.h"
#include "MarkupLabel.h"
#include "WizardApp.h"
#include "iTunesImportSettings.h"
#include "res/HelpTopics.h"
#include "res/SettingsPageIds.h"

IMPLEMENT_DYNAMIC(CSettingsPage, CWizardPage)

namespace {

constexpr UINT kShownItems[] = {IDC_SETTINGS_INTRO, IDC_SETTINGS_RECOMMENDED, IDC_SETTINGS_CURRENT,
                                IDC_SETTINGS_INSTRUCTIONS, IDC_SETTINGS_REFRESH};
constexpr struct {
    UINT item;
    const wchar_t* key;
} kMarkupItems[] = {
    {IDC_SETTINGS_INTRO, L"MessageS1"},
    {IDC_SETTINGS_RECOMMENDED, L"MessageS2"},
    {IDC_SETTINGS_CURRENT, L"MessageS3"},
    {IDC_SETTINGS_INSTRUCTIONS, L"MessageS4"},
};

// What iTunes imports with when its preferences tell nothing (no preferences file yet): its
// default preset, shown as that.
void ShowDefaultWhenUntold(iTunesImportSettings& settings, CString* shown)
{
    *shown = settings.preset;
    if (!settings.preset.IsEmpty())
        return;
    iTunesImportSettings defaults;
    ReadiTunesEncoderSettingsFromText(CString(), TRUE, &defaults, false);
    settings.preset = defaults.preset;
    settings.bitRate = defaults.bitRate;
    shown->Format(AfxLoadString(IDS_SETTINGS_ITUNES_DEFAULT), defaults.preset.GetString());
}

}  // namespace

CSettingsPage::CSettingsPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_SETTINGS_PAGE)
{
    m_helpTopic = kSettingsHelpTopic;
}

BOOL CSettingsPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    return TRUE;
}

BOOL CSettingsPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    for (UINT item : kShownItems)
        ShowItem(item, TRUE);
    if (m_ownerSheet) {
        CMapStringToString& placeholders = m_ownerSheet->GetPlaceholders();
        CString current;
        placeholders.Lookup(L"%%ENCODER_SETTING%%", current);
        if (current.IsEmpty()) {
            iTunesImportSettings untold;
            CString shown;
            ShowDefaultWhenUntold(untold, &shown);
            placeholders.SetAt(L"%%ENCODER_SETTING%%", shown);
            placeholders.SetAt(L"%%ESTIMATED_MINUTE%%", EstimatedConversionTime(untold.bitRate));
        }
    }
    for (const auto& markup : kMarkupItems)
        SetMarkupText(markup.item, markup.key, this);
    SetLabel(IDC_SETTINGS_PROMPT, LoadPageText(IDS_SETTINGS_NEXT_WHEN_SATISFIED, L"SETTINGS_NEXT_WHEN_SATISFIED"));
    m_match = FALSE;
    // The settings the user has before changing any here, for the reminder at the end.
    iTunesImportSettings before;
    ReadiTunesEncoderSettings(TRUE, &before);
    TheiTunesImportState().Remember(before);
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
    return active;
}

BOOL CSettingsPage::OnQueryCancel()
{
    if (!m_ownerSheet)
        return CWizardPage::OnQueryCancel();
    // Cancel here only goes back to the Confirm page.
    m_ownerSheet->PressButton(PSBTN_BACK);
    return FALSE;
}

BOOL CSettingsPage::OnCmdMsg(UINT id, UINT code)
{
    if (id == IDC_SETTINGS_REFRESH && code == BN_CLICKED) {
        Refresh();
        return TRUE;
    }
    return CWizardPage::OnCmdMsg(id, code);
}

void CSettingsPage::Refresh()
{
    iTunesImportSettings settings;
    ReadiTunesEncoderSettings(TRUE, &settings);
    ShowSettings(settings);
}

void CSettingsPage::ShowSettings(const iTunesImportSettings& read)
{
    iTunesImportSettings settings = read;
    CString shown;
    ShowDefaultWhenUntold(settings, &shown);
    if (m_app && m_app->m_verbose) {
        CString line;
        line.Format(L"Refresh: [%s|AAC: %s|%s]", settings.encoder.GetString(), settings.preset.GetString(),
                    settings.musicFolder.Left(128).GetString());
        m_app->WriteVerboseLog(line);
    }
    if (!m_ownerSheet)
        return;
    CMapStringToString& placeholders = m_ownerSheet->GetPlaceholders();
    CString recommended;
    placeholders.Lookup(L"%%RECOMMEND_SETTING%%", recommended);
    m_match = settings.preset == recommended;
    if (m_match) {
        SetLabel(IDC_SETTINGS_RECOMMENDED, LoadPageText(IDS_SETTINGS_NOW_MATCH, L"SETTINGS_NOW_MATCH"));
        for (UINT item : {IDC_SETTINGS_INTRO, IDC_SETTINGS_CURRENT, IDC_SETTINGS_INSTRUCTIONS, IDC_SETTINGS_REFRESH})
            ShowItem(item, FALSE);
        SetLabel(IDC_SETTINGS_PROMPT, LoadPageText(IDS_SETTINGS_SELECT_NEXT, L"SETTINGS_SELECT_NEXT"));
        return;
    }
    placeholders.SetAt(L"%%ESTIMATED_MINUTE%%", EstimatedConversionTime(settings.bitRate));
    placeholders.SetAt(L"%%ENCODER_SETTING%%", shown);
    SetMarkupText(IDC_SETTINGS_CURRENT, L"MessageS3", this);
}

void CSettingsPage::SetLabel(UINT itemId, const CString& text)
{
    if (!m_ownerSheet)
        return;
    if (CMarkupLabel* label = m_ownerSheet->FindMarkupLabel(this, itemId)) {
        label->SetText(text);
        return;
    }
    auto label = std::make_unique<CMarkupLabel>();
    if (label->SubclassDlgItem(itemId, this)) {
        label->SetText(text);
        m_ownerSheet->AddMarkupLabel(this, itemId, std::move(label));
    }
}
