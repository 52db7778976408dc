// The device folder browser (dialog 134): the folders and files of a player as a tree, to pick
// the folder that receives the parts, to create, rename and delete folders and files on the
// player, or (delete mode, for a full player) to free space. Every change goes through the
// player record's folder operations, and the tree is then rebuilt from the player's own list,
// so what it shows is what the player holds.
//
//     CBrowseFolderDialog browser(L"\\Music", player, kBrowseShowReadOnly, CString(), neededBytes, this);
//     if (browser.DoModal() == IDOK) use(player->GetFolderPath());
#pragma once

#include "Dialog.h"
#include "MarkupLabel.h"
#include "TreeCtrl.h"

#include <shtypes.h>

class PlayerRecord;
struct PlayerFolderEntry;

// The Confirm page's answer to a full player: the browser in its delete mode at startFolder,
// captioned with the player's name and showing the bytes the parts need. TRUE when the user
// closed it with OK (the free space is then asked again), FALSE for Close.
BOOL BrowsePlayerToFreeSpace(CWnd* parent, PlayerRecord* player, const CString& startFolder, ULONGLONG neededBytes);

class CBrowseFolderDialog : public CDialog {
    DECLARE_DYNAMIC(CBrowseFolderDialog)
public:
    // flags: kBrowseDeleteMode for the delete mode, kBrowseShowHidden to show hidden items at
    // start, and the filter of the listed entries (FolderBrowserRules.h). rootCaption names the
    // player's root entry (the display name when empty); neededBytes 0 shows the free space only.
    CBrowseFolderDialog(const CString& initialPath, PlayerRecord* player, DWORD flags, const CString& rootCaption,
                        ULONGLONG neededBytes, CWnd* parent);
    ~CBrowseFolderDialog() override;

    // The entry of a tree item (null for none).
    PlayerFolderEntry* EntryOf(HTREEITEM item) const;
    // The tree item showing this path below the player's root, or null.
    HTREEITEM FindItem(const CString& path) const;
    CString GetStatusText() const { return m_statusText; }
    CTreeCtrl& Tree() { return m_tree; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;
    void OnOK() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    BOOL OnCmdMsg(UINT id, UINT code) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnContextMenu(CWnd* wnd, CPoint point) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // The delete mode's pop-ups in place of the normal ones: each control's help id replaced.
    void UseDeleteModeHelpIds();
    BOOL IsDeleteMode() const;
    BOOL IsZune() const;
    BOOL IsDrivePlayer() const;
    BOOL MayChange(const PlayerFolderEntry& entry, DWORD mask) const;
    // The player's list read again, then the tree filled from it.
    void Rebuild();
    void FillTree();
    // Selects the path's entry (the first entry when none matches); FALSE when none matched.
    BOOL SelectPath(const CString& path);
    void UpdateSpaceText();
    void ShowStatus(const CString& path);
    void OnSelectionChanged();
    void UpdateActionButton();
    BOOL OnBeginLabelEdit(const NMTVDISPINFOW* info);
    void OnEndLabelEdit(const NMTVDISPINFOW* info);
    void StartRename(HTREEITEM item, const CString& text = CString());
    void DeleteSelected();
    void CreateNewFolder();
    void ShowProperties();
    void ToggleHidden();
    void Refresh();
    void ShowMenu(HTREEITEM item, CPoint point);
    // The shell's item of a path below Computer (kept while the same path is asked for).
    BOOL LookUpShellItem(const CString& path);
    void FreeShellItem();
    void Report(UINT textId, const CString& first, const CString& second = CString(), UINT type = MB_OK | MB_ICONSTOP);
    void ReportUnsupported(const wchar_t* operation);

    CString m_initialPath;
    PlayerRecord* m_player;
    DWORD m_flags;
    CString m_rootCaption;
    ULONGLONG m_neededBytes;
    CString m_spaceText;
    CString m_statusText;
    CTreeCtrl m_tree;
    CMarkupLabel m_status;
    int m_folderIcon = 0;
    int m_rootIcon = 0;
    BOOL m_showHidden = FALSE;
    PIDLIST_ABSOLUTE m_shellItem = nullptr;
    CString m_shellItemPath;
    // A rename waiting for the tree to finish its label edit.
    CString m_pendingSelect;
    CString m_retryName;
    HTREEITEM m_retryItem = nullptr;
    BOOL m_editing = FALSE;  // a label edit has begun and not yet ended
};
