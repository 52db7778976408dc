// The Advanced Options dialog (dialog 137): the folder on the chosen player that receives the
// parts and the parts' base file name, with an example of the first part's path, defaults to
// go back to, and the player's folder browser. What the user accepts is written into the
// player record; the Confirm page takes it from there.
//
//     CAdvancedOptions options(player, name, folder, base, defaultBase, defaultFolder, L"wma", sheet);
//     if (options.DoModal() == IDOK) use(player->GetFolderPath(), player->GetBaseFileName());
#pragma once

#include "Dialog.h"


class CWizardSheet;
class PlayerRecord;

// The dialog's result when a Zune lost its connection: the wizard ends.
inline constexpr INT_PTR kAdvancedOptionsZuneLost = 3;

// Which of the dialog's edits a player takes: the folder for a player that is neither Apple nor
// Zune (read-only where the player's media application was found or it is a mass-storage
// player); the base name and "&Use Default" for a player that is not Apple and is neither of
// those two.
struct AdvancedOptionsEdits {
    BOOL folder = FALSE;
    BOOL folderReadOnly = FALSE;
    BOOL baseName = FALSE;
};
AdvancedOptionsEdits AdvancedOptionsEditsFor(PlayerRecord& player);

// Opens Advanced Options for the Confirm page's player with its folder and base name and the
// defaults to offer (the sheet's default base name; "\\" for no default folder). On IDOK the
// two take what the dialog left in the player record (folder "\\" when empty) and changed
// says whether either differs now (ignoring case). kAdvancedOptionsZuneLost: the wizard ends.
INT_PTR RunAdvancedOptions(CWizardSheet* sheet, PlayerRecord* player, const CString& defaultFolder,
                           const CString& format, CString* folder, CString* baseName, BOOL* changed);

class CAdvancedOptions : public CDialog {
    DECLARE_DYNAMIC(CAdvancedOptions)
public:
    CAdvancedOptions(PlayerRecord* player, const CString& playerName, const CString& folder, const CString& baseName,
                     const CString& defaultBaseName, const CString& defaultFolder, const CString& format,
                     CWizardSheet* sheet);

    PlayerRecord* m_pPlayer;
    CString m_strPlayerName;
    CString m_strFolder;
    CString m_strBaseName;
    CString m_strDefaultBaseName;
    CString m_strDefaultFolder;
    CString m_strFormat;
    CWizardSheet* m_pSheet;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    // The player keeps its media application's folder, or is reached through its file system:
    // the folder is then not typed but chosen.
    BOOL FolderIsFixed();
    void DrawExample(const CString& folder, const CString& baseName);
    // Refused characters: the user is told and the cleaned text replaces the input.
    CString CheckEdit(UINT editId, const wchar_t* fieldName, const wchar_t* kindName, BOOL folder);
    void OnFolderEdited();
    void OnBaseNameEdited();
    void UseDefault();
    void Browse();
    void BrowseApplePlayer();
    void BrowseZune();
    void BrowsePlayer();
    void SetEditText(UINT editId, const CString& text);

    BOOL m_updating = FALSE;  // the dialog itself is changing an edit
};
