#include "MainFrm.h"

#include "BrenvaleApp.h"
#include "BrenvaleListView.h"
#include "BrenvaleTreeView.h"
#include "ConsoleSettings.h"
#include "res/ConsoleIds.h"

#include <algorithm>
#include <cstdio>

IMPLEMENT_DYNCREATE(CMainFrame, CFrameWnd)

namespace {
constexpr COLORREF kToolbarMask = RGB(255, 0, 255);
constexpr int kToolbarPicture = 32;
constexpr UINT kIndicators[] = {ID_SEPARATOR, IDS_STATUS_PROGRESS_PANE, IDS_STATUS_PERCENT_PANE};
// Buttons that show the second line of their command's string as their text.
constexpr UINT kLabelledButtons[] = {ID_TITLE_PLAY, ID_TITLE_TRANSFER, ID_TITLE_BURN, ID_TITLE_DOWNLOAD, ID_EDIT_DELETE,
                                     ID_TITLE_PROPERTIES};
constexpr DWORD kCopyrightContext = HID_BASE_RESOURCE + IDH_COPYRIGHT_NOTICE;
constexpr int kSortColumnForDuration = kColumnDuration;

// The title kinds the wizards can take.
constexpr int kTransferableKinds = 1 | 2 | 4 | 8 | 32 | 64;
}  // namespace

void ConsoleLog(const wchar_t* text)
{
    wchar_t path[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(L"LARKMOOR_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    HANDLE file = INVALID_HANDLE_VALUE;
    // A reader may hold the file for a moment: a line is not lost for that.
    for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
        file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && ::GetLastError() != ERROR_SHARING_VIOLATION)
            return;
        if (file == INVALID_HANDLE_VALUE)
            ::Sleep(10);
    }
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string line = CString(text).ToNarrow(CP_UTF8) + "\n";
    DWORD written = 0;
    ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
}

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

// --- Creation ---

BOOL CMainFrame::PreCreateWindow(CREATESTRUCTW& cs)
{
    cs.lpszClass = kConsoleWindowClass;
    cs.style &= ~FWS_ADDTOTITLE;
    return CFrameWnd::PreCreateWindow(cs);
}

int CMainFrame::OnCreate(LPCREATESTRUCTW cs)
{
    if (CFrameWnd::OnCreate(cs) == -1)
        return -1;
    if (!CreateToolBar())
        return -1;
    if (GetSettingInt(L"LastToolbarViewState") == 0)
        m_toolbar.ShowWindow(SW_HIDE);
    if (!CreateStatusBar())
        return -1;
    m_downloads.Attach(m_hWnd, this, &m_statusBar);
    if (GetSettingInt(L"LastStatusBarViewState") == 0)
        m_statusBar.ShowWindow(SW_HIDE);
    ReadProxyCredentials();
    return 0;
}

BOOL CMainFrame::CreateToolBar()
{
    if (!m_toolbar.CreateEx(this, TBSTYLE_FLAT | TBSTYLE_LIST,
                            WS_CHILD | WS_VISIBLE | CBRS_TOP | CBRS_TOOLTIPS | CBRS_FLYBY, AFX_IDW_TOOLBAR)) {
        AfxMessageBox(IDS_TOOLBAR_CREATE_FAILED);
        return FALSE;
    }
    const bool imagesMade = CreateImageListFromBitmap(m_normalImages, kToolbarPicture, IDB_TOOLBAR,
                                                      ILC_COLOR32 | ILC_MASK, kToolbarMask) &&
                            CreateImageListFromBitmap(m_hotImages, kToolbarPicture, IDB_TOOLBAR_HOT,
                                                      ILC_COLOR32 | ILC_MASK, kToolbarMask);
    if (imagesMade) {
        m_toolbar.SetImageList(&m_normalImages);
        m_toolbar.SetHotImageList(&m_hotImages);
    }
    if (!imagesMade || !m_toolbar.LoadToolBar(IDR_MAINFRAME)) {
        AfxMessageBox(IDS_TOOLBAR_LOAD_FAILED);
        return FALSE;
    }
    for (int i = 0; i < m_toolbar.GetCount(); ++i) {
        const UINT id = m_toolbar.GetItemID(i);
        if (id == 0)
            continue;
        if (std::find(std::begin(kLabelledButtons), std::end(kLabelledButtons), id) != std::end(kLabelledButtons))
            m_toolbar.SetButtonText(i, GetCommandString(id, 1));
        UINT style = m_toolbar.GetButtonStyle(i) | BTNS_AUTOSIZE;
        if (id == ID_VIEW_OPTIONS || id == ID_SORT_OPTIONS)
            style |= BTNS_WHOLEDROPDOWN;
        m_toolbar.SetButtonStyle(i, style);
    }
    m_toolbar.SendMessage(TB_AUTOSIZE);
    return TRUE;
}

BOOL CMainFrame::CreateStatusBar()
{
    if (!m_statusBar.CreateEx(this, WS_CHILD | WS_VISIBLE | CBRS_BOTTOM, AFX_IDW_STATUS_BAR)) {
        AfxMessageBox(IDS_STATUSBAR_CREATE_FAILED);
        return FALSE;
    }
    if (!m_statusBar.SetIndicators(kIndicators, static_cast<int>(std::size(kIndicators)))) {
        AfxMessageBox(IDS_STATUSBAR_INIT_FAILED);
        return FALSE;
    }
    m_statusBar.SetPaneText(1, L"");
    m_statusBar.SetPaneText(2, L"");
    return TRUE;
}

BOOL CMainFrame::OnCreateClient(LPCREATESTRUCTW, CCreateContext* context)
{
    if (!m_splitter.CreateStatic(this, 1, 2, WS_CHILD | WS_VISIBLE, AFX_IDW_PANE_FIRST))
        return FALSE;
    m_splitter.ModifyStyleEx(0, WS_EX_CONTROLPARENT);
    const int treeWidth = GetSettingInt(L"LastTreeWidth");
    if (!m_splitter.CreateView(0, 0, RUNTIME_CLASS(CBrenvaleTreeView), CSize(treeWidth, 200), context) ||
        !m_splitter.CreateView(0, 1, RUNTIME_CLASS(CBrenvaleListView), CSize(200, 200), context)) {
        m_splitter.DestroyWindow();
        return FALSE;
    }
    if (CBrenvaleTreeView* tree = GetTreeView())
        SetActiveView(tree);
    ConnectLibraryGames(context);
    return TRUE;
}

// --- Accessors ---

CBrenvaleTreeView* CMainFrame::GetTreeView() const
{
    CWnd* pane = m_splitter.m_hWnd ? m_splitter.GetPane(0, 0) : nullptr;
    return pane && pane->IsKindOf(RUNTIME_CLASS(CBrenvaleTreeView)) ? static_cast<CBrenvaleTreeView*>(pane) : nullptr;
}

CBrenvaleListView* CMainFrame::GetListView() const
{
    CWnd* pane = m_splitter.m_hWnd ? m_splitter.GetPane(0, 1) : nullptr;
    return pane && pane->IsKindOf(RUNTIME_CLASS(CBrenvaleListView)) ? static_cast<CBrenvaleListView*>(pane) : nullptr;
}

CBrenvaleDoc* CMainFrame::GetLibrary() const
{
    CDocument* doc = GetActiveDocument();
    return doc && doc->IsKindOf(RUNTIME_CLASS(CBrenvaleDoc)) ? static_cast<CBrenvaleDoc*>(doc) : nullptr;
}

int CMainFrame::GetTreeKind() const
{
    const CBrenvaleTreeView* tree = GetTreeView();
    return tree ? tree->GetSelectedKind() : -1;
}

int CMainFrame::GetSelectedTitleCount() const
{
    const CBrenvaleTreeView* tree = GetTreeView();
    const CBrenvaleListView* list = GetListView();
    if (!tree || !list)
        return -1;
    if (tree->GetSelectedKind() & 1)
        return 0;
    return list->GetListCtrl().GetSelectedCount();
}

int CMainFrame::GetSelectedCollectionCount() const
{
    const CBrenvaleTreeView* tree = GetTreeView();
    const CBrenvaleListView* list = GetListView();
    if (!tree || !list)
        return -1;
    if (tree->GetSelectedKind() == kNodeCollections)
        return list->GetListCtrl().GetSelectedCount();
    return tree->GetSelectedKind() == kNodeCollection ? 1 : 0;
}

void CMainFrame::EnableFrameAccelerators(BOOL enable)
{
    if (!enable) {
        if (m_hAccelTable) {
            m_savedAccelerators = m_hAccelTable;
            m_hAccelTable = nullptr;
        }
    } else if (m_savedAccelerators) {
        m_hAccelTable = m_savedAccelerators;
        m_savedAccelerators = nullptr;
    }
}

CStringArray CMainFrame::SelectedTitleIds() const
{
    CStringArray ids;
    if (const CBrenvaleListView* list = GetListView())
        for (CMediaObject* title : list->GetSelectedTitles())
            ids.Add(title->m_mediaId);
    return ids;
}

CStringArray CMainFrame::QueuedTitleIds() const
{
    return m_downloads.TitleIds();
}

DWORD CMainFrame::FoldHelpContext(DWORD context)
{
    for (DWORD first : {99536u, 100036u, 100536u})
        if (context >= first && context <= first + 20)
            return first;
    return context;
}

void CMainFrame::HtmlHelp(DWORD_PTR data, UINT command)
{
    if (command == HH_HELP_CONTEXT)
        data = FoldHelpContext(static_cast<DWORD>(data));
    CFrameWnd::HtmlHelp(data, command);
}

// --- Commands ---

BOOL CMainFrame::OnCmdMsg(UINT id, UINT code)
{
    if (code != 0 && code != 1)
        return CFrameWnd::OnCmdMsg(id, code);
    if (id >= ID_ADD_TO_COLLECTION_FIRST && id <= ID_ADD_TO_COLLECTION_LAST) {
        AddSelectedToCollection(static_cast<INT_PTR>(id - ID_ADD_TO_COLLECTION_FIRST));
        return TRUE;
    }
    if (id >= ID_REMOVE_FROM_COLLECTION_FIRST && id <= ID_REMOVE_FROM_COLLECTION_LAST) {
        RemoveSelectedFromCollection(static_cast<INT_PTR>(id - ID_REMOVE_FROM_COLLECTION_FIRST));
        return TRUE;
    }
    if (id >= ID_VIEW_CONSOLE && id <= ID_VIEW_DETAILS) {
        SetViewMode(id);
        return TRUE;
    }
    if ((id >= ID_SORT_TITLE && id <= ID_SORT_LAST_PLAYED) || id == ID_SORT_DURATION) {
        SortBy(id);
        return TRUE;
    }
    switch (id) {
    case ID_TITLE_TRANSFER_VERBOSE:
        m_verboseTransfer = TRUE;
        SendMessage(WM_COMMAND, ID_TITLE_TRANSFER);
        m_verboseTransfer = FALSE;
        return TRUE;
    case ID_TITLE_PLAY:
        OnPlay();
        return TRUE;
    case ID_TITLE_DOWNLOAD:
        if (CBrenvaleListView* list = GetListView(); list && GetSelectedTitleCount() == 1)
            for (CMediaObject* title : list->GetSelectedTitles())
                QueueTitleDownload(title);
        return TRUE;
    case ID_DOWNLOAD_PAUSE:
        PauseResumeDownload();
        return TRUE;
    case ID_TITLE_TRANSFER:
    case ID_TITLE_BURN:
        LaunchWizard(id == ID_TITLE_BURN);
        return TRUE;
    case ID_TITLE_PROPERTIES:
        ShowTitleProperties();
        return TRUE;
    case ID_TOOLS_OPTIONS:
        ShowOptions();
        return TRUE;
    case ID_HELP_CHECK_UPDATE:
        RunUpdateCheck(FALSE, nullptr);
        return TRUE;
    case ID_HELP_CHECK_MESSAGES:
        RunMessageCheck(FALSE);
        return TRUE;
    case ID_DOWNLOAD_CANCEL:
        CancelDownload();
        return TRUE;
    case ID_TITLE_DELETE:
        DeleteTitles();
        return TRUE;
    case ID_EDIT_DELETE:
        if (GetSelectedTitleCount() > 0)
            DeleteTitles();
        else if (GetSelectedCollectionCount() > 0)
            DeleteCollections();
        return TRUE;
    case ID_COLLECTION_NEW:
        NewCollection();
        return TRUE;
    case ID_COLLECTION_RENAME:
        RenameCollection();
        return TRUE;
    case ID_COLLECTION_DELETE:
        DeleteCollections();
        return TRUE;
    case ID_CONSOLE_EXIT:
        if (CWinApp* app = AfxGetApp())
            app->OnCmdMsg(ID_APP_EXIT, 0);
        return TRUE;
    case ID_VIEW_OPTIONS:
    case ID_SORT_OPTIONS:
        ShowToolbarMenu(id);
        return TRUE;
    case ID_HELP_TOPICS:
    case ID_HELP_CMD:  // F1 on the main window: the help file at its first page, as Help Topics
        if (CWinApp* app = AfxGetApp())
            app->OnHelpFinder();
        return TRUE;
    case ID_HELP_COPYRIGHT:
        HtmlHelp(kCopyrightContext, HH_HELP_CONTEXT);
        return TRUE;
    default:
        return CFrameWnd::OnCmdMsg(id, code);
    }
}

BOOL CMainFrame::OnUpdateCmdUI(CCmdUI* ui)
{
    const UINT id = ui->m_nID;
    const int titles = GetSelectedTitleCount();
    const CBrenvaleListView* list = GetListView();
    if (id >= ID_VIEW_CONSOLE && id <= ID_VIEW_DETAILS) {
        ui->Enable(list != nullptr);
        ui->SetRadio(list && list->GetViewMode() == id);
        return TRUE;
    }
    if ((id >= ID_SORT_TITLE && id <= ID_SORT_LAST_PLAYED) || id == ID_SORT_DURATION) {
        const int kind = GetTreeKind();
        const int column = id == ID_SORT_DURATION ? kSortColumnForDuration : static_cast<int>(id - ID_SORT_TITLE);
        ui->Enable(kind >= 0 && !(kind & 1));
        ui->SetRadio(list && list->GetSortColumn() == column);
        return TRUE;
    }
    switch (id) {
    case ID_TITLE_PLAY:
    case ID_TITLE_DOWNLOAD:
    case ID_TITLE_PROPERTIES:
        ui->Enable(titles == 1);
        return TRUE;
    case ID_TITLE_TRANSFER:
    case ID_TITLE_BURN: {
        bool any = false;
        if (list && titles > 0)
            for (CMediaObject* title : list->GetSelectedTitles())
                any = any || (title->GetMetadata().GetContentKind() & kTransferableKinds) != 0;
        ui->Enable(any);
        return TRUE;
    }
    case ID_DOWNLOAD_PAUSE:
        ui->Enable(!GetDownloadQueue().IsEmpty());
        ui->SetText(AfxLoadString(GetQueueState() == CDownloadQueue::kPaused ? IDS_RESUME_DOWNLOAD : IDS_PAUSE_DOWNLOAD));
        return TRUE;
    case ID_DOWNLOAD_CANCEL:
        ui->Enable(!GetDownloadQueue().IsEmpty());
        return TRUE;
    case ID_TITLE_DELETE:
        ui->Enable(titles > 0);
        return TRUE;
    case ID_EDIT_DELETE:
        ui->Enable(titles > 0 || GetSelectedCollectionCount() > 0);
        return TRUE;
    case ID_COLLECTION_RENAME:
        ui->Enable(GetSelectedCollectionCount() == 1);
        return TRUE;
    case ID_COLLECTION_DELETE:
        ui->Enable(GetSelectedCollectionCount() > 0);
        return TRUE;
    default:
        return CFrameWnd::OnUpdateCmdUI(ui);
    }
}

void CMainFrame::SetViewMode(UINT id)
{
    if (CBrenvaleListView* list = GetListView())
        list->SetViewMode(id, TRUE);
}

void CMainFrame::SortBy(UINT id)
{
    CBrenvaleListView* list = GetListView();
    CBrenvaleTreeView* tree = GetTreeView();
    CBrenvaleDoc* doc = GetLibrary();
    if (!list || !tree || !doc || (tree->GetSelectedKind() & 1))
        return;
    const int column = id == ID_SORT_DURATION ? kSortColumnForDuration : static_cast<int>(id - ID_SORT_TITLE);
    if (column == list->GetSortColumn())
        list->SetSortAscending(!list->GetSortAscending());
    else
        list->SetSortAscending(TRUE);
    list->SetSortColumn(column);
    doc->UpdateAllViews(tree);
}

void CMainFrame::ShowToolbarMenu(UINT buttonId)
{
    CMenu menu;
    if (!menu.LoadMenu(IDR_CONTEXT_MENUS))
        return;
    CMenu* popup = menu.GetSubMenu(buttonId == ID_VIEW_OPTIONS ? 1 : 2);
    if (!popup)
        return;
    RECT rect{};
    const int index = m_toolbar.m_hWnd ? m_toolbar.CommandToIndex(buttonId) : -1;
    POINT at{0, 0};
    if (index >= 0 && m_toolbar.GetItemRect(index, &rect) && (m_toolbar.GetStyle() & WS_VISIBLE)) {
        at = {rect.left, rect.bottom};
        m_toolbar.ClientToScreen(&at);
    } else {
        ::GetCursorPos(&at);
    }
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, this);
}

BOOL CMainFrame::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->code == TBN_DROPDOWN && header->hwndFrom == m_toolbar.m_hWnd) {
        const auto* toolbar = reinterpret_cast<const NMTOOLBARW*>(lParam);
        if (toolbar->iItem == static_cast<int>(ID_VIEW_OPTIONS) || toolbar->iItem == static_cast<int>(ID_SORT_OPTIONS)) {
            ShowToolbarMenu(static_cast<UINT>(toolbar->iItem));
            *result = TBDDRET_DEFAULT;
            return TRUE;
        }
    }
    return CFrameWnd::OnNotify(wParam, lParam, result);
}

void CMainFrame::OnSize(UINT type, int cx, int cy)
{
    CFrameWnd::OnSize(type, cx, cy);
    CProgressCtrl* progress = m_downloads.GetProgressBar();
    if (progress && progress->m_hWnd && m_statusBar.m_hWnd) {
        RECT pane{};
        m_statusBar.GetItemRect(1, &pane);
        progress->MoveWindow(pane);
    }
}

// --- Collection sub-menus ---

void CMainFrame::OnInitMenuPopup(CMenu* popup, UINT index, BOOL sysMenu)
{
    CFrameWnd::OnInitMenuPopup(popup, index, sysMenu);
    if (sysMenu || !popup)
        return;
    int addAt = -1;
    int removeAt = -1;
    for (int i = 0; i < popup->GetMenuItemCount(); ++i) {
        CMenu* sub = popup->GetSubMenu(i);
        if (!sub || sub->GetMenuItemCount() == 0)
            continue;
        const UINT first = sub->GetMenuItemID(0);
        if (first == ID_ADD_TO_COLLECTION_FIRST && addAt < 0)
            addAt = i;
        else if (first == ID_REMOVE_FROM_COLLECTION_FIRST && removeAt < 0)
            removeAt = i;
    }
    if (addAt < 0 && removeAt < 0)
        return;
    CBrenvaleDoc* doc = GetLibrary();
    const CStringArray selected = SelectedTitleIds();
    const bool canAdd = doc && !doc->GetCollections().IsEmpty() && GetSelectedTitleCount() >= 1 && !selected.IsEmpty();
    CStringArray holding;
    if (addAt >= 0) {
        popup->EnableMenuItem(static_cast<UINT>(addAt), MF_BYPOSITION | (canAdd ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
        if (canAdd) {
            CMenu* sub = popup->GetSubMenu(addAt);
            while (sub->GetMenuItemCount() > 0)
                sub->DeleteMenu(0, MF_BYPOSITION);
            const CObArray& collections = doc->GetCollections();
            for (INT_PTR i = 0; i < collections.GetSize() && i <= ID_ADD_TO_COLLECTION_LAST - ID_ADD_TO_COLLECTION_FIRST; ++i) {
                const auto* collection = static_cast<const CCollectionObject*>(collections[i]);
                sub->AppendMenu(MF_STRING, ID_ADD_TO_COLLECTION_FIRST + static_cast<UINT>(i), collection->GetName());
                bool all = true;
                for (const CString& id : selected) {
                    bool found = false;
                    for (const CString& member : collection->m_members)
                        found = found || member.CompareNoCase(id) == 0;
                    all = all && found;
                }
                if (all)
                    holding.Add(collection->GetName());
            }
        }
    }
    if (removeAt >= 0) {
        const bool canRemove = canAdd && !holding.IsEmpty();
        popup->EnableMenuItem(static_cast<UINT>(removeAt),
                              MF_BYPOSITION | (canRemove ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
        CMenu* sub = popup->GetSubMenu(removeAt);
        while (sub->GetMenuItemCount() > 0)
            sub->DeleteMenu(0, MF_BYPOSITION);
        m_removableCollections.RemoveAll();
        for (INT_PTR j = 0; j < holding.GetSize() && j <= ID_REMOVE_FROM_COLLECTION_LAST - ID_REMOVE_FROM_COLLECTION_FIRST; ++j) {
            sub->AppendMenu(MF_STRING, ID_REMOVE_FROM_COLLECTION_FIRST + static_cast<UINT>(j), holding[j]);
            m_removableCollections.Add(holding[j]);
        }
        if (holding.IsEmpty())  // keeps the sub-menu recognisable the next time
            sub->AppendMenu(MF_STRING | MF_GRAYED, ID_REMOVE_FROM_COLLECTION_FIRST, L"");
    }
}

void CMainFrame::AddSelectedToCollection(INT_PTR index)
{
    CBrenvaleDoc* doc = GetLibrary();
    if (!doc || index < 0 || index >= doc->GetCollections().GetSize() || GetSelectedTitleCount() < 1)
        return;
    auto* collection = static_cast<CCollectionObject*>(doc->GetCollections()[index]);
    for (const CString& id : SelectedTitleIds()) {
        bool present = false;
        for (const CString& member : collection->m_members)
            present = present || member.CompareNoCase(id) == 0;
        if (!present)
            collection->AddMedia(id);
    }
    doc->SaveLibrary();
}

void CMainFrame::RemoveSelectedFromCollection(INT_PTR index)
{
    CBrenvaleDoc* doc = GetLibrary();
    if (!doc || index < 0 || index >= m_removableCollections.GetSize())
        return;
    CCollectionObject* collection = doc->FindCollection(m_removableCollections[index]);
    if (collection) {
        for (const CString& id : SelectedTitleIds())
            for (INT_PTR i = collection->m_members.GetSize() - 1; i >= 0; --i)
                if (collection->m_members[i].CompareNoCase(id) == 0)
                    collection->m_members.RemoveAt(i);
        doc->UpdateAllViews(GetTreeView());
    }
    m_removableCollections.RemoveAll();
    if (collection)
        doc->SaveLibrary();
}

// --- Deleting and collections ---

void CMainFrame::DeleteTitles()
{
    CBrenvaleListView* list = GetListView();
    CBrenvaleDoc* doc = GetLibrary();
    if (!list || !doc || GetTreeView() == nullptr)
        return;
    if (GetSettingInt(L"DisableDelete") == 1) {
        AfxMessageBox(IDS_DELETE_DISABLED, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::vector<CMediaObject*> titles = list->GetSelectedTitles();
    if (titles.empty() || !ConfirmClosingPlayer(titles))
        return;
    CStringArray ids;
    for (CMediaObject* title : titles)
        ids.Add(title->m_mediaId);
    if (AfxMessageBox(IDS_ASK_DELETE_TITLES, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    doc->RemoveTitle(ids, QueuedTitleIds());
}

void CMainFrame::DeleteCollections()
{
    CBrenvaleTreeView* tree = GetTreeView();
    CBrenvaleListView* list = GetListView();
    CBrenvaleDoc* doc = GetLibrary();
    if (!tree || !list || !doc)
        return;
    const int kind = tree->GetSelectedKind();
    if (!(kind & 4))
        return;
    CStringArray names;
    if (!(kind & 1))
        names.Add(tree->GetSelectedText());
    else
        names.Append(list->GetSelectedNames());
    if (names.IsEmpty())
        return;
    const UINT question = names.GetSize() == 1 ? IDS_ASK_DELETE_COLLECTION : IDS_ASK_DELETE_COLLECTIONS;
    if (AfxMessageBox(question, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    for (const CString& name : names) {
        INT_PTR index = -1;
        CCollectionObject* collection = doc->FindCollection(name, &index);
        if (!collection)
            continue;
        doc->GetCollections().RemoveAt(index);
        delete collection;
        tree->RemoveCollectionNode(name);
    }
    doc->UpdateAllViews(tree);
    doc->SaveLibrary();
}

void CMainFrame::RenameCollection()
{
    CBrenvaleTreeView* tree = GetTreeView();
    CBrenvaleListView* list = GetListView();
    if (!tree || !list || GetSelectedCollectionCount() != 1)
        return;
    if (tree->GetSelectedKind() == kNodeCollections)
        list->EditSelectedName();
    else
        tree->EditSelectedCollection();
}

void CMainFrame::NewCollection()
{
    if (CBrenvaleTreeView* tree = GetTreeView()) {
        tree->SetFocus();
        tree->NewCollection();
    }
}

// --- Downloads and closing ---

void CMainFrame::CancelDownload()
{
    m_downloads.Cancel(GetLibrary());
}

BOOL CMainFrame::ConfirmEndWithDownloads()
{
    if (GetDownloadQueue().IsEmpty())
        return TRUE;
    if (AfxMessageBox(IDS_ASK_EXIT_DOWNLOADING, MB_YESNO) != IDYES)
        return FALSE;
    CancelDownload();
    m_downloads.WaitForThread();  // keeps answering the thread's questions
    return TRUE;
}

void CMainFrame::StoreLayout()
{
    int current = 0;
    int minimum = 0;
    m_splitter.GetColumnInfo(0, current, minimum);
    WriteSettingInt(L"LastTreeWidth", current);
    WriteSettingInt(L"LastToolbarViewState", (m_toolbar.GetStyle() & WS_VISIBLE) ? 1 : 0);
    WriteSettingInt(L"LastStatusBarViewState", (m_statusBar.GetStyle() & WS_VISIBLE) ? 1 : 0);
    if (const CBrenvaleTreeView* tree = GetTreeView()) {
        WriteSettingString(L"LastTreeText", tree->GetSelectedText());
        WriteSettingInt(L"LastTreeType", tree->GetSelectedKind());
    }
}

void CMainFrame::OnClose()
{
    if (!ConfirmEndWithDownloads())
        return;
    // A change that an earlier save could not write gets one more try; should that fail
    // too, the user chooses between another try and staying open (the change kept).
    if (CBrenvaleDoc* doc = GetLibrary())
        if (!doc->SaveBeforeClosing())
            return;
    StoreLayout();
    CFrameWnd::OnClose();
}

void CMainFrame::OnDestroy()
{
    if (CBrenvaleTreeView* tree = GetTreeView())
        tree->DestroyWindow();
    if (CBrenvaleListView* list = GetListView())
        list->DestroyWindow();
    if (m_splitter.m_hWnd)
        m_splitter.DestroyWindow();
    if (m_toolbar.m_hWnd)
        m_toolbar.DestroyWindow();
    if (m_statusBar.m_hWnd)
        m_statusBar.DestroyWindow();
    CFrameWnd::OnDestroy();
}

// --- Messages of the hand-over ---

BOOL CMainFrame::PreTranslateMessage(MSG* msg)
{
    // Posted messages pass here on their way; sent ones never do.
    if (msg->message == WM_OPEN_PATH && msg->hwnd == m_hWnd)
        m_openPathFromQueue = true;
    return CFrameWnd::PreTranslateMessage(msg);
}

BOOL CMainFrame::OpenPathLater(const CString& path)
{
    if (path.IsEmpty() || path.GetLength() >= kSharedOpenPathLength) {
        PostMessage(WM_STARTUP_NO_FILE, 0, 0);
        return path.IsEmpty();
    }
    m_ownOpenPath = path;
    PostMessage(WM_OPEN_PATH, kOwnOpenPath, 0);
    return TRUE;
}

LRESULT CMainFrame::OnOpenPath(WPARAM wParam, LPARAM lParam)
{
    // Only this thread's own send (the document's open command) hands a text by lParam;
    // whatever came through the queue or from another thread reads the shared buffer.
    const bool posted = m_openPathFromQueue || ::InSendMessage() ||
                        lParam == reinterpret_cast<LPARAM>(SharedOpenPath);
    m_openPathFromQueue = false;
    CString path;
    if (!posted && lParam) {
        path = reinterpret_cast<const wchar_t*>(lParam);
    } else if (wParam == kOwnOpenPath && !m_ownOpenPath.IsEmpty()) {
        path = m_ownOpenPath;  // this console's own command line, once
        m_ownOpenPath.Empty();
    } else {
        // Posted from any instance: the text is in this instance's own copy of the shared
        // buffer; once copied, the start that wrote it may go (and the next one write).
        const wchar_t* end = std::find(SharedOpenPath, SharedOpenPath + kSharedOpenPathLength, L'\0');
        path = CString(SharedOpenPath, static_cast<int>(end - SharedOpenPath));
        CBrenvaleApp::AcknowledgeHandOver();
    }
    m_handedOverPath = path;
    ConsoleLog(L"0x500 " + path);
    return OpenHandedPath(path);
}

LRESULT CMainFrame::OnStartupWithoutFile()
{
    ++m_startupChecks;
    ConsoleLog(L"0x501");
    RunStartupChecks();
    return 0;
}

BOOL CMainFrame::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (OnDownloadMessage(message, wParam, lParam, result))
        return TRUE;
    switch (message) {
    case WM_OPEN_PATH:
        *result = OnOpenPath(wParam, lParam);
        return TRUE;
    case WM_STARTUP_NO_FILE:
        *result = OnStartupWithoutFile();
        return TRUE;
    case WM_TIMER:
        if (IsPictureTimer(wParam)) {
            OnPictureTimer();
            *result = 0;
            return TRUE;
        }
        return CFrameWnd::OnWndMsg(message, wParam, lParam, result);
    case WM_QUERYENDSESSION:
        if (!ConfirmEndWithDownloads()) {
            *result = FALSE;
            return TRUE;
        }
        if (CBrenvaleDoc* doc = GetLibrary())
            if (!doc->SaveBeforeClosing()) {
                *result = FALSE;
                return TRUE;
            }
        return CFrameWnd::OnWndMsg(message, wParam, lParam, result);
    default:
        return CFrameWnd::OnWndMsg(message, wParam, lParam, result);
    }
}
