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
#include "iTunesImportSettings.h"

#include <functional>
#include <vector>

class CWizardSheet;
class PlayerRecord;

// What the Confirm page asks of iTunes for an Apple player; tests replace single members (an
// empty one keeps the product's).
struct ConfirmAppleServices {
    std::function<BOOL()> iTunesRunning;
    // Starts iTunes (with its retry prompt) and hides its window; FALSE when it cannot.
    std::function<BOOL()> loadiTunes;
    std::function<BOOL()> checkVersion;
    // The installed iTunes' version text; empty when unknown.
    std::function<CString()> installedVersion;
    // ReadiTunesEncoderSettings as the page calls it.
    std::function<int(iTunesImportSettings* settings)> readSettings;
    // The bit rate the chapter server keeps: 1 with *bitRate, 0 when the value cannot be
    // read, -1 when its key cannot be opened.
    std::function<int(DWORD* bitRate)> readBitRate;
    // The part already in iTunes: the track's name and id (empty and 0 when none).
    std::function<void(const CString& title, int number, const CString& playerName, BOOL audiobook,
                       CString* trackName, LONG* trackId)>
        findExistingPart;
};
// Replaces the services; returns those before.
ConfirmAppleServices SetConfirmAppleServices(ConfirmAppleServices services);

// What an Apple player iTunes does not let us change needs, as text id: a newer iTunes for the
// shuffle the search recognised, else the "Manually manage music" option when the search's
// iTunes answered its listing with 1, else both.
UINT LockedApplePlayerTextId(const PlayerRecord& player);

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

    // The import mode for a title to an Apple player (the mode before comes in *mode): for
    // Windows Media audio, 1 with an iTunes of version 12 or later (or of no known version),
    // else what iTunes' settings answer (the mode stays when reading them fails). The AAC bit
    // rate comes from those settings; when they give none, from the chapter server's
    // "BitRate" (42 when that value cannot be read, 64 without its key), doubled for music.
    // The lines for the log are appended to *log.
    static void ReadImportMode(const CString& installedVersion, int contentKind,
                               const std::function<int(iTunesImportSettings*)>& readSettings,
                               const std::function<int(DWORD*)>& readBitRate, int* mode,
                               iTunesImportSettings* settings, std::vector<CString>* log);
    // The size a part takes after AAC conversion: bit rate x (seconds + 1) x 128 bytes for a
    // duration "m:ss", else its file size x 1.35.
    static ULONGLONG EstimateAacBytes(LONGLONG fileSize, const CString& duration, DWORD bitRate);

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
    // The checks of an Apple player: iTunes loaded and compatible, the title's format, the
    // import mode and bit rate; FALSE when the page stays.
    BOOL CheckApplePlayer(PlayerRecord* player, int kind, const CString& incompatible);
    // The parts of the title already in iTunes (the library, the player's playlist); the
    // name to show in the question (empty: none there).
    CString FindPartsIniTunes(PlayerRecord* player, CString* hits);
    void Log(const CString& line) const;

    CWizardSheet* m_sheet;
    CCheckedListCtrl m_parts;
    CString m_strFolder = L"\\";
    CString m_strBaseName;
    CString m_strTitleFolder;
    CString m_strFormat;
    int m_selectedPlayer = -1;
    iTunesImportSettings m_iTunesSettings;  // as read on the last Next for an Apple player
};
