// The Confirm page (dialog 121): the players the search found (the only one by its name, or a
// drop-down list of their display names), the title's parts with check boxes, sizes,
// durations and target paths. Next checks the choice before the transfer may start: the
// player's kind against the title's format, the Zune's connection, that the player is still
// the one found, the parts chosen, the free space, the target folder, parts already there;
// then it leaves the chosen player and parts for the Progress page. Back returns to the
// Welcome page. Every refusal is a message box through the application's funnel.
#pragma once

#include "CheckedListCtrl.h"
#include "WizardPage.h"

class CWizardSheet;
class PlayerRecord;

class CConfirmPage : public CWizardPage {
    DECLARE_DYNAMIC(CConfirmPage)
public:
    explicit CConfirmPage(CWizardSheet* sheet);

    // The chosen player (the drop-down's selection, or the only one); null when none.
    PlayerRecord* GetSelectedPlayer();
    int GetSelectedIndex() const { return m_selectedPlayer; }
    const CString& GetFolder() const { return m_strFolder; }

    // "12,345 KB": bytes / 1024 with commas before the last 6 and the last 3 digits.
    static CString FormatKilobytes(ULONGLONG bytes);
    // A row's target path: the folder and the base name with the row's suffix ("-Part01.mp3").
    static CString JoinPartPath(const CString& folder, const CString& baseName, const CString& suffix);
    // The suffix kept of a path: from its last "-" at index 1 or later, else from its last ".".
    static CString PartPathSuffix(const CString& path);
    // An MTP player's folder for a format ("wma", "mp3", "wmv").
    static CString DefaultFolderFor(const CString& format, const CString& creator, const CString& titleFolder);
    // A Windows Mobile player's folder: "\My Media[\<kind>s][\<base name>]".
    static CString MobileFolderFor(const CString& kindName, const CString& baseName);

protected:
    BOOL OnInitDialog() override;
    BOOL OnSetActive() override;
    LRESULT OnWizardNext() override;
    LRESULT OnWizardBack() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

    // Ctrl+Alt+F12 and "Advanced Options...": the options of the transfer to the player.
    // (ConfirmAdvancedOptions.cpp)
    virtual void OnAdvancedOptions();
    // After the free-space question was answered Yes: lets the user delete files on the player
    // (TRUE: the user is done and the space is asked again; FALSE: the page stays).
    virtual BOOL BrowsePlayerToFreeSpace(PlayerRecord* player, const CString& startFolder, ULONGLONG neededBytes);

private:
    void ShowPlayerChoice(INT_PTR playerCount);
    void FillPlayers();
    void FillParts();
    void OnPlayerChanged();
    void CheckAllParts(BOOL check);
    void UpdatePartPaths(const CString& folder, const CString& baseName);
    void SetPlayerFolders(PlayerRecord* player);
    void ShowAdvancedButton(PlayerRecord* player);
    // Shows a refusal (and logs it); the box's answer.
    int Refuse(const CString& text, UINT type);
    // The free-space step: TRUE when the chosen parts fit. endWizard is set when the player is lost.
    BOOL CheckFreeSpace(PlayerRecord* player, ULONGLONG needed, BOOL* endWizard);
    void Log(const CString& line) const;

    CWizardSheet* m_sheet;
    CCheckedListCtrl m_parts;
    CString m_strFolder = L"\\";
    CString m_strBaseName;
    CString m_strTitleFolder;
    CString m_strFormat;
    int m_selectedPlayer = -1;
};
