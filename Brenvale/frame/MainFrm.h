// CMainFrame: the console's main window. A menu bar, a toolbar, a status bar (with room
// for the download progress bar over pane 1) and a static splitter: the library tree on
// the left, the list of titles or names on the right. The frame gives every console
// command its state, builds the collection sub-menus when a menu opens, keeps the
// download queue and stores its layout when it closes.
//
// 0x500 and 0x501 arrive here from the start-up hand-over: a posted 0x500 takes its path
// from this instance's own shared buffer (the sender's lParam is not trusted), a sent one
// (the document's own open command) from lParam.
#pragma once

#include "AfxWin.h"
#include "BrenvaleDoc.h"
#include "DownloadQueue.h"

#include <vector>

class CBrenvaleListView;
class CBrenvaleTreeView;

class CMainFrame : public CFrameWnd {
    DECLARE_DYNCREATE(CMainFrame)
public:
    CMainFrame();
    ~CMainFrame() override;

    CBrenvaleTreeView* GetTreeView() const;
    CBrenvaleListView* GetListView() const;
    CBrenvaleDoc* GetLibrary() const;
    // The library's thumbnails are decoded after the frame shows, a few per turn, the rows
    // on screen first: a turn runs while the program is idle (the application's OnIdle),
    // and from a timer while a dialog or message box has the frame disabled. TRUE while
    // pictures still wait. MainFrmPictures.cpp.
    BOOL FillPicturesTurn();
    void StartPictureTurns();
    BOOL OnPictureTimer();
    static bool IsPictureTimer(UINT_PTR id);
    // -1 without both views; 0 while the list shows names; else the selected rows.
    int GetSelectedTitleCount() const;
    // -1 without both views; the selected rows in "My Collections"; 1 on a collection node.
    int GetSelectedCollectionCount() const;
    // Off: the frame's accelerators are put aside (so Del and F2 reach an edit box); on: back.
    void EnableFrameAccelerators(BOOL enable);
    bool IsKnownCreatorRole(const CString& role) const { return m_creatorRoles.IsKnownCreatorRole(role); }

    // The download queue (head first; the frame owns the jobs) and its state
    // (0 idle, 1 running, 2 suspended).
    CObArray& GetDownloadQueue() { return m_downloads.Jobs(); }
    int GetQueueState() const { return m_downloads.GetState(); }
    // Cancels the download: without a running thread the queue is emptied at once.
    void CancelDownload();
    // Pauses a running download or resumes a paused one (command 33004).
    void PauseResumeDownload();
    // Asks which parts of a library title to download and queues them; TRUE when queued.
    BOOL QueueTitleDownload(CMediaObject* title);
    // A path or link handed over with 0x500: a title's playlist plays it; an order file
    // becomes a library title whose parts are queued. 1 when a title was added, else 0.
    LRESULT OpenHandedPath(const CString& text);
    // The Play command (33000) for the title selected in the list.
    void OnPlay();
    // TRUE when the Internet can be reached (asking for proxy credentials on 407); the
    // purpose completes the error messages' sentence.
    BOOL ProbeInternetConnection(UINT purposeId);
    // This console's own command-line path, handed to itself: kept here and 0x500 posted
    // with wParam kOwnOpenPath, never through the shared buffer (a later start may be
    // writing it). Too long a path is refused as the buffer would refuse it: FALSE, and
    // 0x501 is posted instead.
    BOOL OpenPathLater(const CString& path);
    static constexpr WPARAM kOwnOpenPath = 1;
    // The last path or link handed over with 0x500 (empty before the first).
    const CString& GetHandedOverPath() const { return m_handedOverPath; }
    int GetStartupChecks() const { return m_startupChecks; }

    // The update check: TRUE means go on (the console is current, or the user declined an
    // optional update); FALSE that a required update was announced, the console is about
    // to close for an update, or the check failed. mediaId asks for one title's needs.
    BOOL RunUpdateCheck(BOOL quiet, const wchar_t* mediaId);
    // The message check: shows the newest service message once.
    void RunMessageCheck(BOOL quiet);

    // The help context a command's help goes to: the items of one dynamic list share one.
    static DWORD FoldHelpContext(DWORD context);
    void HtmlHelp(DWORD_PTR data, UINT command) override;

    BOOL OnCmdMsg(UINT id, UINT code) override;
    BOOL OnUpdateCmdUI(CCmdUI* ui) override;

    // The credentials the console's HTTP connections give a proxy: read at start-up when
    // the connection requires authentication, replaced by the Options dialog's.
    const CString& GetProxyUserName() const { return m_proxyUserName; }
    const CString& GetProxyPassword() const { return m_proxyPassword; }
    // Where Transfer and Burn look for the wizards (the console's own folder unless set).
    void SetWizardFolder(const CString& folder) { m_wizardFolder = folder; }

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    int OnCreate(LPCREATESTRUCTW cs) override;
    BOOL OnCreateClient(LPCREATESTRUCTW cs, CCreateContext* context) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu) override;
    void OnClose() override;
    void OnDestroy() override;
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    BOOL CreateToolBar();
    BOOL CreateStatusBar();
    void ShowToolbarMenu(UINT buttonId);
    void SetViewMode(UINT id);
    void SortBy(UINT id);
    void DeleteTitles();
    // Before titles are deleted, the player window playing one of them is closed on the
    // user's word (FALSE: kept, nothing is deleted); MainFrmPlayer.cpp.
    BOOL ConfirmClosingPlayer(const std::vector<CMediaObject*>& titles);
    void DeleteCollections();
    void RenameCollection();
    void NewCollection();
    void AddSelectedToCollection(INT_PTR index);
    void RemoveSelectedFromCollection(INT_PTR index);
    // Asks 8007 when downloads are queued; FALSE keeps the console. Yes cancels and waits.
    BOOL ConfirmEndWithDownloads();
    void StoreLayout();
    LRESULT OnOpenPath(WPARAM wParam, LPARAM lParam);
    LRESULT OnStartupWithoutFile();
    // The checks of a start without a file: the version values, the automatic message and
    // update checks, the machine-wide download folder.
    void RunStartupChecks();
    // The reports of the queue's download thread and the queue's own start message.
    BOOL OnDownloadMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Downloads beside the queue (no questions); TRUE when the server answered 200.
    BOOL DownloadTitleThumbnail(CMediaObject* title);
    BOOL DownloadTitleCover(CMediaObject* title);
    BOOL DownloadSourceBanner(CSourceObject* source);
    BOOL RunSideDownload(const CString& url, const CString& target, const CString& titleId);
    // Tells the service that the title was acquired (its reply is not read).
    void NotifyDownloadSuccess(const CString& url);
    // Selects the list's title whose playlist is the path and plays it; FALSE when no title has it.
    BOOL PlayTitleOfPlaylist(const CString& path);
    CStringArray SelectedTitleIds() const;
    CStringArray QueuedTitleIds() const;
    int GetTreeKind() const;
    // Commands of MainFrmCommands.cpp.
    void ReadProxyCredentials();
    void ConnectLibraryGames(CCreateContext* context);
    void ShowOptions();
    void ShowTitleProperties();
    void LaunchWizard(bool cdWizard);

    CSplitterWnd m_splitter;
    CToolBar m_toolbar;
    CStatusBar m_statusBar;
    CImageList m_normalImages;
    CImageList m_hotImages;
    CString m_proxyUserName;
    CString m_proxyPassword;
    CDownloadQueue m_downloads;
    CCreatorRoleSet m_creatorRoles;
    CStringArray m_removableCollections;
    HACCEL m_savedAccelerators = nullptr;
    BOOL m_verboseTransfer = FALSE;
    CString m_handedOverPath;
    bool m_openPathFromQueue = false;  // the 0x500 being handled came through the queue
    CString m_ownOpenPath;
    std::vector<const CMediaObject*> m_titlesOnScreen;  // as the last picture turn saw them
    INT_PTR m_onScreenWaiting = -1;  // their pictures still waiting (-1: not counted yet)
    int m_startupChecks = 0;
    CString m_wizardFolder;
};

// Appends a line to the file named by the environment variable LARKMOOR_LOG, when set
// (what reached the frame, for people and tests looking on from outside).
void ConsoleLog(const wchar_t* text);
