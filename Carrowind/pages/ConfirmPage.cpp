#include "ConfirmPage.h"

#include "CarrowindSheet.h"
#include "PlayerRecord.h"
#include "res/CarrowindIds.h"
#include "res/ConfirmPageIds.h"

IMPLEMENT_DYNAMIC(CConfirmPage, CWizardPage)

CConfirmPage::CConfirmPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_CONFIRM_PAGE), m_sheet(sheet) {}

BOOL CConfirmPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_CONFIRM_TITLE, L"Message1", this);
    return TRUE;
}

BOOL CConfirmPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    FillPlayers();
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
    return active;
}

LRESULT CConfirmPage::OnWizardBack() { return IDD_WELCOME_PAGE; }

LRESULT CConfirmPage::OnWizardNext() { return m_sheet->PageAfterConfirm(); }

void CConfirmPage::ShowPlayerChoice(INT_PTR playerCount)
{
    const BOOL one = playerCount == 1;
    ShowItem(IDC_CONFIRM_ONLY_PLAYER, one);
    ShowItem(IDC_CONFIRM_PLAYERS, !one);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CONFIRM_ONLY_PLAYER), one);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CONFIRM_PLAYERS), !one);
    ShowItem(IDC_CONFIRM_ONE_PLAYER, one);
    ShowItem(IDC_CONFIRM_MANY_PLAYERS, !one);
}

void CConfirmPage::FillPlayers()
{
    const CObArray& devices = m_sheet->m_devices;
    HWND list = ::GetDlgItem(m_hWnd, IDC_CONFIRM_PLAYERS);
    ::SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (INT_PTR i = 0; i < devices.GetSize(); ++i) {
        const PlayerRecord* player = PlayerAt(devices, i);
        ::SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(static_cast<const wchar_t*>(player->GetDisplayName())));
    }
    // The player confirmed before stays chosen while the array still has it.
    int chosen = m_sheet->m_confirmedIndex;
    if (chosen < 0 || chosen >= devices.GetSize())
        chosen = devices.GetSize() > 0 ? 0 : -1;
    ::SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
    m_selectedPlayer = chosen;
    if (devices.GetSize() == 1)
        SetDlgItemText(IDC_CONFIRM_ONLY_PLAYER, PlayerAt(devices, 0)->GetDisplayName());
    ShowPlayerChoice(devices.GetSize());
}

PlayerRecord* CConfirmPage::GetSelectedPlayer()
{
    if (m_sheet->m_devices.GetSize() != 1)
        m_selectedPlayer = static_cast<int>(::SendMessageW(::GetDlgItem(m_hWnd, IDC_CONFIRM_PLAYERS), CB_GETCURSEL, 0, 0));
    return PlayerAt(m_sheet->m_devices, m_selectedPlayer);
}
