#include "SuccessPage.h"

#include "AfxMessageBox.h"
#include "MarkupLabel.h"
#include "Menu.h"
#include "CarrowindSheet.h"
#include "SafeRemoval.h"
#include "WizardApp.h"
#include "WizardSettings.h"
#include "iTunesAutomation.h"
#include "iTunesImportSettings.h"
#include "res/AppleStringIds.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

#include <vector>

IMPLEMENT_DYNAMIC(CSuccessPage, CWizardPage)

namespace {

PlayerRemover& Remover()
{
    static PlayerRemover remover;
    return remover;
}

// The player is found in the device tree by its name and ejected.
int RemoveNotAvailable(const CString& deviceName, CString& status)
{
    return SafelyRemovePlayer(L"EjectName", deviceName, status, FALSE, FALSE);
}

// "part 1", "parts 2 and 3", "parts 1, 2 and 4".
CString PartList(const std::vector<int>& numbers)
{
    CString list(numbers.size() == 1 ? L"part " : L"parts ");
    for (size_t i = 0; i < numbers.size(); ++i) {
        if (i > 0)
            list += i + 1 == numbers.size() ? L" and " : L", ";
        CString number;
        number.Format(L"%d", numbers[i]);
        list += number;
    }
    return list;
}

}  // namespace

PlayerRemover SetPlayerRemover(PlayerRemover remover)
{
    PlayerRemover before = std::move(Remover());
    Remover() = std::move(remover);
    return before;
}

CSuccessPage::CSuccessPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_SUCCESS_PAGE), m_sheet(sheet)
{
    m_helpTopic = kSuccessHelpTopic;
    m_status = AfxLoadString(IDS_REMOVAL_NOT_PROCESSED);
}

BOOL CSuccessPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_SUCCESS_MESSAGE, L"Message", this);
    CString elapsed;
    if (!m_sheet->m_elapsedText.IsEmpty())
        elapsed.Format(AfxLoadString(IDS_TIME_ELAPSED), m_sheet->m_elapsedText.GetString());
    SetDlgItemText(IDC_SUCCESS_ELAPSED, elapsed);
    ShowItem(IDC_SUCCESS_ELAPSED, TRUE);
    if (m_app)
        m_app->WriteVerboseLog(elapsed);
    return TRUE;
}

BOOL CSuccessPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_FINISH);
    m_ownerSheet->CancelToClose();
    m_removalResult = 0;
    m_appleKind = 0;
    m_iTunesDeviceName = L"iPod";
    m_deviceName = L"player";
    m_status = AfxLoadString(IDS_REMOVAL_NOT_PROCESSED);
    CString name;
    if (m_sheet->GetPlaceholders().Lookup(L"%%DEVICE_NAME%%", name) && !name.IsEmpty()) {
        m_deviceName = name;
        m_appleKind = static_cast<int>(GetAppleDeviceKind(name));
        const int open = name.Find(L'(');
        m_iTunesDeviceName = open < 0 ? name : name.Mid(open + 1, name.GetLength() - open - 2);
        if (open > 1) {
            m_deviceName = name.Left(open);
            m_deviceName.TrimRight();
        }
    }
    m_removalResult = 99;
    TellWhatWasCopied();
    if (m_appleKind == 1) {
        CString text = GetDlgItemText(IDC_SUCCESS_MESSAGE);
        if (CMarkupLabel* label = m_ownerSheet->FindMarkupLabel(this, IDC_SUCCESS_MESSAGE)) {
            text = label->GetWindowText();
            text.Replace(AfxLoadString(IDS_DISCONNECT_SENTENCE), L"");
            label->SetText(text);
        }
    }
    const int kind = m_sheet->m_media.GetMetadata().GetContentKind();
    const iTunesImportState& saved = TheiTunesImportState();
    if (m_appleKind > 1 && (kind == KindAudiobook || kind == KindMusic) && saved.HasSaved()) {
        iTunesImportSettings now;
        ReadiTunesEncoderSettings(TRUE, &now);
        if (now.encoder != saved.savedEncoder || now.preset != saved.savedPreset) {
            CString reminder;
            reminder.Format(AfxLoadString(IDS_SUCCESS_ITUNES_REMINDER), m_deviceName.GetString(),
                            saved.savedEncoder.GetString(), saved.savedPreset.GetString());
            if (CMarkupLabel* label = m_ownerSheet->FindMarkupLabel(this, IDC_SUCCESS_MESSAGE)) {
                CString text = label->GetWindowText();
                text.Replace(AfxLoadString(IDS_DISCONNECT_SENTENCE), reminder);
                label->SetText(text);
            }
        }
    }
    MessageBeep(0);
    return active;
}

BOOL CSuccessPage::OnCmdMsg(UINT id, UINT code)
{
    if (id == ID_SAFELY_REMOVE_PLAYER && code == BN_CLICKED) {
        OnSafelyRemovePlayer();
        return TRUE;
    }
    return CWizardPage::OnCmdMsg(id, code);
}

void CSuccessPage::OnSafelyRemovePlayer()
{
    if (m_appleKind == 1 || IsZuneName(m_deviceName))
        return;
    if (m_removalResult == 0) {
        AfxMessageBox(m_status, MB_OK | MB_ICONINFORMATION);
        return;
    }
    CString question = m_status;
    if (m_removalResult != 99)
        question.Format(AfxLoadString(IDS_REMOVAL_FAILED_RETRY), m_deviceName.GetString(), m_status.GetString());
    if (AfxMessageBox(question, MB_RETRYCANCEL | MB_ICONQUESTION) != IDRETRY)
        return;
    CWaitCursor wait;
    const PlayerRemover& remover = Remover();
    if (m_appleKind > 1)
        m_removalResult = SafelyRemoveApplePlayer(m_deviceName, m_iTunesDeviceName, m_status);
    else
        m_removalResult = remover ? remover(m_deviceName, m_status) : RemoveNotAvailable(m_deviceName, m_status);
    AfxMessageBox(m_status, MB_OK | MB_ICONINFORMATION);
}

void CSuccessPage::TellWhatWasCopied()
{
    // The Confirm page offers only the parts that can be sent; when some were left out, the
    // page says which were copied and which were not instead of calling the title copied.
    const CObArray& parts = m_sheet->m_media.m_parts;
    const INT_PTR total = parts.GetSize();
    std::vector<bool> chosen(static_cast<size_t>(total), false);
    for (INT_PTR i = 0; i < m_sheet->m_selectedParts.GetSize(); ++i)
        if (m_sheet->m_selectedParts[i] < static_cast<UINT>(total))
            chosen[m_sheet->m_selectedParts[i]] = true;
    std::vector<int> copied, left;
    for (INT_PTR i = 0; i < total; ++i) {
        const auto* part = static_cast<const CPartObject*>(parts[i]);
        const int number = part && part->m_number > 0 ? part->m_number : static_cast<int>(i) + 1;
        (chosen[static_cast<size_t>(i)] ? copied : left).push_back(number);
    }
    CMarkupLabel* label = m_ownerSheet->FindMarkupLabel(this, IDC_SUCCESS_MESSAGE);
    if (left.empty() || copied.empty() || !label)
        return;
    const CString title = EscapeMarkupText(m_sheet->m_title);
    CString whole, some;
    whole.Format(AfxLoadString(IDS_SUCCESS_COPIED_SENTENCE), title.GetString());
    some.Format(AfxLoadString(IDS_SUCCESS_SOME_PARTS), static_cast<int>(copied.size()), static_cast<int>(total),
                title.GetString(), PartList(copied).GetString(), PartList(left).GetString());
    CString text = label->GetWindowText();
    if (text.Replace(whole, some) > 0)
        label->SetText(text);
}
