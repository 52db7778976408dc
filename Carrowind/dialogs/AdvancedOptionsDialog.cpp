#include "AdvancedOptionsDialog.h"

#include "AfxMessageBox.h"
#include "BrowseFolderDialog.h"
#include "BrowseiPodDialog.h"
#include "CarrowindSheet.h"
#include "Edit.h"
#include "FolderBrowserRules.h"
#include "PlayerRecord.h"
#include "ZuneClient.h"
#include "iTunesAutomation.h"
#include "res/AdvancedOptionsIds.h"
#include "res/ConfirmPageIds.h"
#include "res/DeviceStringIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CAdvancedOptions, CDialog)

namespace {

// The folder bit of a path's attributes: FILE_ATTRIBUTE_DIRECTORY through the mobile link, the
// device manager's folder bit otherwise.
DWORD FolderBitOf(const PlayerRecord* player) { return player->mobileDevice ? FILE_ATTRIBUTE_DIRECTORY : 0x8; }

CString CutAtLastBackslash(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash <= 0 ? CString(L"\\") : path.Left(slash);
}

}  // namespace

INT_PTR RunAdvancedOptions(CWizardSheet* sheet, PlayerRecord* player, const CString& defaultFolder,
                           const CString& format, CString* folder, CString* baseName, BOOL* changed)
{
    *changed = FALSE;
    if (baseName->IsEmpty())
        *baseName = sheet->m_baseFileName;
    CAdvancedOptions options(player, player->GetDisplayName(), *folder, *baseName, sheet->m_defaultBaseFileName,
                             defaultFolder, format, sheet);
    const INT_PTR result = options.DoModal();
    if (result != IDOK)
        return result;
    if (player->GetFolderPath().CompareNoCase(*folder) != 0) {
        *folder = player->GetFolderPath().IsEmpty() ? CString(L"\\") : player->GetFolderPath();
        *changed = TRUE;
    }
    if (player->GetBaseFileName().CompareNoCase(*baseName) != 0) {
        *baseName = player->GetBaseFileName();
        *changed = TRUE;
    }
    return result;
}

CAdvancedOptions::CAdvancedOptions(PlayerRecord* player, const CString& playerName, const CString& folder,
                                   const CString& baseName, const CString& defaultBaseName,
                                   const CString& defaultFolder, const CString& format, CWizardSheet* sheet)
    : CDialog(IDD_ADVANCED_OPTIONS, sheet), m_pPlayer(player), m_strPlayerName(playerName),
      m_strFolder(folder), m_strBaseName(baseName), m_strDefaultBaseName(defaultBaseName),
      m_strDefaultFolder(defaultFolder), m_strFormat(format), m_pSheet(sheet)
{
    m_helpTopic = kAdvancedOptionsHelpTopic;
}

AdvancedOptionsEdits AdvancedOptionsEditsFor(PlayerRecord& player)
{
    const BOOL apple = player.IsApple() > 0;
    const BOOL zune = player.IsZune() > 0;
    // The media application or the profile of a mass-storage player decides where the parts go
    // and what they are called.
    const BOOL fixed = player.mobileAppFound || player.massStorage;
    AdvancedOptionsEdits edits;
    edits.folder = !apple && !zune;
    edits.folderReadOnly = fixed;
    edits.baseName = !apple && !fixed;
    return edits;
}

BOOL CAdvancedOptions::FolderIsFixed() { return m_pPlayer->mobileAppFound || m_pPlayer->massStorage; }

BOOL CAdvancedOptions::OnInitDialog()
{
    CDialog::OnInitDialog();
    CString shown = m_strPlayerName;
    if (m_pPlayer->mobileDevice && m_pPlayer->IsMobileStorageCard() == 0) {
        const CString root = m_pPlayer->GetRootStorageName();
        if (!root.IsEmpty() && root != L"\\")
            shown.Format(L"%s\\%s", m_strPlayerName.GetString(), root.GetString());
    }
    SetDlgItemText(IDC_ADVANCED_PLAYER, shown);
    if (m_strDefaultBaseName.IsEmpty())
        m_strDefaultBaseName = m_strBaseName;
    if (m_strDefaultFolder.IsEmpty())
        m_strDefaultFolder = L"\\";
    SetEditText(IDC_ADVANCED_FOLDER, m_strFolder);
    SetEditText(IDC_ADVANCED_BASE_NAME, m_strBaseName);
    DrawExample(m_strFolder, m_strBaseName);

    const AdvancedOptionsEdits edits = AdvancedOptionsEditsFor(*m_pPlayer);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ADVANCED_FOLDER), edits.folder);
    ::SendDlgItemMessageW(m_hWnd, IDC_ADVANCED_FOLDER, EM_SETREADONLY, edits.folderReadOnly, 0);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ADVANCED_BASE_NAME), edits.baseName);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_ADVANCED_USE_DEFAULT), edits.baseName);
    return TRUE;
}

void CAdvancedOptions::SetEditText(UINT editId, const CString& text)
{
    m_updating = TRUE;
    SetDlgItemText(editId, text);
    m_updating = FALSE;
}

void CAdvancedOptions::DrawExample(const CString& folder, const CString& baseName)
{
    SetDlgItemText(IDC_ADVANCED_EXAMPLE, FormatPartExample(folder, baseName, m_strFormat));
}

CString CAdvancedOptions::CheckEdit(UINT editId, const wchar_t* fieldName, const wchar_t* kindName, BOOL folder)
{
    const CString entered = GetDlgItemText(editId);
    CString kept;
    CString refused;
    SplitRefusedCharacters(entered, folder, &kept, &refused);
    if (refused.IsEmpty())
        return entered;
    CString cleaned = kept;
    if (folder)
        cleaned = NormalizeTargetFolder(kept, m_strFolder, m_pPlayer->mobileAppFound);
    CString caption = GetWindowText();
    AfxShowMessageBox(m_hWnd,
                      AfxFormatString(IDS_REFUSED_CHARACTERS, entered.GetString(), fieldName, refused.GetString(),
                                      kindName, cleaned.GetString()),
                      caption, MB_OK | MB_ICONEXCLAMATION);
    SetEditText(editId, cleaned);
    ::SendDlgItemMessageW(m_hWnd, editId, EM_SETSEL, 0, -1);
    return cleaned;
}

void CAdvancedOptions::OnFolderEdited()
{
    CString folder = CheckEdit(IDC_ADVANCED_FOLDER, L"player folder", L"folder name", TRUE);
    if (!folder.IsEmpty() && folder[0] != L'\\') {
        folder = L"\\" + folder;
        SetEditText(IDC_ADVANCED_FOLDER, folder);
        ::SendDlgItemMessageW(m_hWnd, IDC_ADVANCED_FOLDER, EM_SETSEL, folder.GetLength(), folder.GetLength());
    }
    DrawExample(folder, GetDlgItemText(IDC_ADVANCED_BASE_NAME));
}

void CAdvancedOptions::OnBaseNameEdited()
{
    CString baseName = CheckEdit(IDC_ADVANCED_BASE_NAME, L"base file name", L"file name", FALSE);
    CString trimmed = baseName;
    trimmed.Trim();
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), !trimmed.IsEmpty());
    DrawExample(GetDlgItemText(IDC_ADVANCED_FOLDER), baseName);
}

void CAdvancedOptions::UseDefault()
{
    SetEditText(IDC_ADVANCED_FOLDER, m_strDefaultFolder);
    SetEditText(IDC_ADVANCED_BASE_NAME, m_strDefaultBaseName);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), !m_strDefaultBaseName.IsEmpty());
    DrawExample(m_strDefaultFolder, m_strDefaultBaseName);
}

void CAdvancedOptions::Browse()
{
    if (m_pPlayer->IsZune() > 0)
        BrowseZune();
    else if (m_pPlayer->IsApple() > 0)
        BrowseApplePlayer();
    else
        BrowsePlayer();
}

void CAdvancedOptions::BrowseApplePlayer()
{
    // The Browse iPod dialog starts iTunes when it is not running: the wizard closes it at the end.
    if (m_pSheet && !IsiTunesRunning())
        m_pSheet->m_iTunesStarted = TRUE;
    ULONGLONG freeBytes = 0;
    CString freeText;
    if (m_pPlayer->GetFreeSpace(&freeBytes))
        freeText = AfxFormatString(IDS_IPOD_FREE_SPACE_GB, FormatGigabytes(freeBytes).GetString());
    CBrowseiPodDialog(m_strPlayerName, freeText, this).DoModal();
}

void CAdvancedOptions::BrowseZune()
{
    if (!ConnectZuneDevice(m_hWnd, m_pPlayer->name)) {
        AfxMessageBox(AfxFormatString(IDS_CONFIRM_ZUNE_LOST, m_pPlayer->name.GetString()), MB_OK | MB_ICONSTOP);
        EndDialog(static_cast<int>(kAdvancedOptionsZuneLost));
        return;
    }
    CBrowseFolderDialog browser(L"\\", m_pPlayer, kBrowseShowReadOnly, CString(), 0, this);
    browser.DoModal();
}

void CAdvancedOptions::BrowsePlayer()
{
    CString folder = NormalizeTargetFolder(GetDlgItemText(IDC_ADVANCED_FOLDER), m_strFolder, m_pPlayer->mobileAppFound);
    DWORD attributes = 0;
    if (!m_pPlayer->FolderExists(folder, &attributes)) {
        CString refused;
        if (const UINT reason = CheckFolderPath(folder, &refused)) {
            AfxMessageBox(FolderNameMessage(reason, refused), MB_OK | MB_ICONEXCLAMATION);
            return;
        }
        if (AfxMessageBox(AfxFormatString(IDS_CREATE_PLAYER_FOLDER, folder.GetString()), MB_YESNO | MB_ICONQUESTION) ==
            IDYES) {
            const DWORD result = m_pPlayer->EditDevicePath(folder, nullptr, FALSE);
            if (result != 0 && result != ERROR_ALREADY_EXISTS) {
                AfxMessageBox(AfxFormatString(IDS_CANNOT_DELETE_ON_PLAYER, L"create folder",
                                              m_pPlayer->GetDisplayName().GetString()),
                              MB_OK | MB_ICONSTOP);
                while (folder != L"\\" && !m_pPlayer->FolderExists(folder))
                    folder = CutAtLastBackslash(folder);
                m_pPlayer->folderCreationFailed = 1;
                folder = NormalizeTargetFolder(folder, m_strFolder, FALSE);
            }
        }
    } else if (!(attributes & FolderBitOf(m_pPlayer))) {
        folder = NormalizeTargetFolder(CutAtLastBackslash(folder), m_strFolder, FALSE);
    }
    SetEditText(IDC_ADVANCED_FOLDER, folder);
    DrawExample(folder, GetDlgItemText(IDC_ADVANCED_BASE_NAME));
    CBrowseFolderDialog browser(folder, m_pPlayer, kBrowseShowReadOnly, CString(), 0, this);
    if (browser.DoModal() != IDOK || FolderIsFixed())
        return;
    const CString chosen = m_pPlayer->GetFolderPath();
    if (!chosen.IsEmpty() && chosen.CompareNoCase(folder) != 0) {
        SetEditText(IDC_ADVANCED_FOLDER, chosen);
        DrawExample(chosen, GetDlgItemText(IDC_ADVANCED_BASE_NAME));
    }
}

void CAdvancedOptions::OnOK()
{
    const CString baseName = GetDlgItemText(IDC_ADVANCED_BASE_NAME);
    CString folder = NormalizeTargetFolder(GetDlgItemText(IDC_ADVANCED_FOLDER), m_strFolder, m_pPlayer->mobileAppFound);
    if (folder.CompareNoCase(m_pPlayer->GetFolderPath()) != 0) {
        DWORD attributes = 0;
        if (m_pPlayer->FolderExists(folder, &attributes) && !(attributes & FolderBitOf(m_pPlayer)))
            folder = CutAtLastBackslash(folder);
        m_pPlayer->SetFolderPath(folder);
    }
    if (baseName.CompareNoCase(m_pPlayer->GetBaseFileName()) != 0)
        m_pPlayer->baseFileName = baseName;
    EndDialog(IDOK);
}

BOOL CAdvancedOptions::OnCmdMsg(UINT id, UINT code)
{
    if (code == EN_UPDATE && !m_updating) {
        if (id == IDC_ADVANCED_FOLDER) {
            OnFolderEdited();
            return TRUE;
        }
        if (id == IDC_ADVANCED_BASE_NAME) {
            OnBaseNameEdited();
            return TRUE;
        }
    }
    if (code == BN_CLICKED && id == IDC_ADVANCED_BROWSE) {
        Browse();
        return TRUE;
    }
    if (code == BN_CLICKED && id == IDC_ADVANCED_USE_DEFAULT) {
        UseDefault();
        return TRUE;
    }
    return CDialog::OnCmdMsg(id, code);
}
