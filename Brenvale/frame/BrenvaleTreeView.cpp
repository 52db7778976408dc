#include "BrenvaleTreeView.h"

#include "ConsoleSettings.h"
#include "MainFrm.h"
#include "res/ConsoleIds.h"

IMPLEMENT_DYNCREATE(CBrenvaleTreeView, CTreeView)

namespace {
constexpr INT_PTR kMaxCollections = 20;
constexpr DWORD kTreeHelpContext = 0x20065;

// Node pictures (the document's 16-pixel list).
enum NodePicture {
    kPictureRoot = 0,
    kPictureAll = 1,
    kPictureCollections = 2,
    kPictureCollection = 3,
    kPictureCreators = 4,
    kPictureCreator = 5,
    kPictureSubjects = 6,
    kPictureSubject = 7,
    kPictureLanguages = 8,
    kPictureLanguage = 9,
    kPictureSources = 18,
    kPictureSource = 19,
};
}  // namespace

CBrenvaleTreeView::CBrenvaleTreeView() = default;

CBrenvaleDoc* LibraryOfView(const CView& view)
{
    CDocument* doc = view.GetDocument();
    return doc && doc->IsKindOf(RUNTIME_CLASS(CBrenvaleDoc)) ? static_cast<CBrenvaleDoc*>(doc) : nullptr;
}

CMainFrame* MainFrameOfView(const CView& view)
{
    CFrameWnd* frame = view.GetParentFrame();
    return frame && frame->IsKindOf(RUNTIME_CLASS(CMainFrame)) ? static_cast<CMainFrame*>(frame) : nullptr;
}

CBrenvaleDoc* CBrenvaleTreeView::GetLibrary() const { return LibraryOfView(*this); }
CMainFrame* CBrenvaleTreeView::GetMainFrame() const { return MainFrameOfView(*this); }

void CBrenvaleTreeView::OnInitialUpdate()
{
    ModifyStyle(0, TVS_HASBUTTONS | TVS_EDITLABELS | TVS_DISABLEDRAGDROP | TVS_SHOWSELALWAYS | WS_TABSTOP);
    m_selectedText = GetSettingString(L"LastTreeText");
    m_selectedKind = GetSettingInt(L"LastTreeType");
    if (CBrenvaleDoc* doc = GetLibrary())
        GetTreeCtrl().SetImageList(&doc->GetPictures(0), TVSIL_NORMAL);
    CTreeView::OnInitialUpdate();
}

HTREEITEM CBrenvaleTreeView::AddNode(const CString& text, int picture, int kind, HTREEITEM parent, HTREEITEM& toSelect)
{
    CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM node = tree.InsertItem(text, picture, picture, parent, TVI_LAST);
    if (!node)
        return nullptr;
    tree.SetItemData(node, static_cast<DWORD_PTR>(kind));
    if (kind == m_selectedKind && text == m_selectedText)
        toSelect = node;
    return node;
}

void CBrenvaleTreeView::OnUpdate(CView*, LPARAM, CObject*)
{
    CBrenvaleDoc* doc = GetLibrary();
    if (!doc || m_filling)
        return;
    CTreeCtrl& tree = GetTreeCtrl();
    const int kindBefore = m_selectedKind;
    const CString textBefore = m_selectedText;
    m_filling = true;
    tree.SendMessage(WM_SETREDRAW, FALSE);
    tree.DeleteAllItems();
    m_selectedNode = nullptr;
    HTREEITEM toSelect = nullptr;
    HTREEITEM root = AddNode(AfxLoadString(IDS_NODE_LIBRARY), kPictureRoot, kNodeRoot, TVI_ROOT, toSelect);
    HTREEITEM all = tree.InsertItem(AfxLoadString(IDS_NODE_ALL_TITLES), kPictureAll, kPictureAll, root, TVI_LAST);
    tree.SetItemData(all, kNodeAllTitles);
    toSelect = all;  // unless a later node is the selected one
    m_collectionsNode = AddNode(AfxLoadString(IDS_NODE_COLLECTIONS), kPictureCollections, kNodeCollections, root, toSelect);
    for (CObject* object : doc->GetCollections())
        AddNode(static_cast<CCollectionObject*>(object)->GetName(), kPictureCollection, kNodeCollection,
                m_collectionsNode, toSelect);
    // A group node with one node per record, when there is more than one record.
    auto addGroup = [&](const CObArray& records, UINT groupText, int groupPicture, int groupKind, int picture, int kind,
                        CString (*text)(const CObject*)) {
        if (records.GetSize() <= 1)
            return;
        HTREEITEM group = AddNode(AfxLoadString(groupText), groupPicture, groupKind, root, toSelect);
        for (const CObject* record : records)
            AddNode(text(record), picture, kind, group, toSelect);
    };
    CObArray creators;
    doc->CollectCreators(creators);
    addGroup(creators, IDS_NODE_CREATORS, kPictureCreators, kNodeCreators, kPictureCreator, kNodeCreator,
             [](const CObject* r) { return static_cast<const CCreatorObject*>(r)->m_displayName; });
    CObArray subjects;
    doc->CollectSubjects(subjects);
    addGroup(subjects, IDS_NODE_SUBJECTS, kPictureSubjects, kNodeSubjects, kPictureSubject, kNodeSubject,
             [](const CObject* r) { return static_cast<const CSubjectObject*>(r)->m_subject; });
    CObArray languages;
    doc->CollectLanguages(languages);
    addGroup(languages, IDS_NODE_LANGUAGES, kPictureLanguages, kNodeLanguages, kPictureLanguage, kNodeLanguage,
             [](const CObject* r) { return static_cast<const CLanguageObject*>(r)->m_name; });
    if (doc->GetSources().GetSize() >= 2) {
        HTREEITEM group = AddNode(AfxLoadString(IDS_NODE_SOURCES), kPictureSources, kNodeSources, root, toSelect);
        for (CObject* s : doc->GetSources())
            AddNode(static_cast<CSourceObject*>(s)->m_displayName, kPictureSource, kNodeSource, group, toSelect);
    }
    tree.Expand(root, TVE_EXPAND);
    tree.Expand(toSelect, TVE_EXPAND);
    tree.SelectItem(toSelect);
    tree.SendMessage(WM_SETREDRAW, TRUE);
    tree.Invalidate();
    m_filling = false;
    m_selectedNode = toSelect;
    m_selectedText = tree.GetItemText(toSelect);
    m_selectedKind = static_cast<int>(tree.GetItemData(toSelect));
    // The list follows only a selection that changed (an update reaches it anyway).
    if (m_selectedKind != kindBefore || m_selectedText != textBefore)
        doc->UpdateAllViews(this);
}

HTREEITEM CBrenvaleTreeView::FindCollectionNode(const CString& name) const
{
    const CTreeCtrl& tree = GetTreeCtrl();
    if (!m_collectionsNode)
        return nullptr;
    for (HTREEITEM node = tree.GetChildItem(m_collectionsNode); node; node = tree.GetNextSiblingItem(node))
        if (tree.GetItemText(node) == name)
            return node;
    return nullptr;
}

BOOL CBrenvaleTreeView::SelectNode(int kind, const CString& text)
{
    CTreeCtrl& tree = GetTreeCtrl();
    // Depth-first over the whole (small) tree.
    std::vector<HTREEITEM> pending;
    for (HTREEITEM node = tree.GetRootItem(); node; node = tree.GetNextSiblingItem(node))
        pending.push_back(node);
    while (!pending.empty()) {
        HTREEITEM node = pending.back();
        pending.pop_back();
        if (static_cast<int>(tree.GetItemData(node)) == kind && tree.GetItemText(node) == text)
            return tree.SelectItem(node);
        for (HTREEITEM child = tree.GetChildItem(node); child; child = tree.GetNextSiblingItem(child))
            pending.push_back(child);
    }
    return FALSE;
}

void CBrenvaleTreeView::RemoveCollectionNode(const CString& name)
{
    CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM node = FindCollectionNode(name);
    if (!node)
        return;
    if (m_selectedKind == kNodeCollection && m_selectedNode == node) {
        HTREEITEM next = tree.GetNextSiblingItem(node);
        if (!next)
            next = TreeView_GetPrevSibling(tree.m_hWnd, node);
        if (next) {
            // Moving the selection refills the views once the node is gone.
            m_filling = true;
            tree.SelectItem(next);
            m_filling = false;
            m_selectedNode = next;
            m_selectedText = tree.GetItemText(next);
            m_selectedKind = static_cast<int>(tree.GetItemData(next));
        }
    }
    m_filling = true;
    tree.DeleteItem(node);
    m_filling = false;
    if (m_selectedNode == node || !tree.GetSelectedItem()) {
        m_selectedNode = nullptr;
        m_selectedKind = kNodeAllTitles;
        m_selectedText = AfxLoadString(IDS_NODE_ALL_TITLES);
        SelectNode(m_selectedKind, m_selectedText);
    }
}

void CBrenvaleTreeView::OnSelectionChanged(HTREEITEM node)
{
    if (m_filling || !node)
        return;
    CTreeCtrl& tree = GetTreeCtrl();
    m_selectedNode = node;
    m_selectedText = tree.GetItemText(node);
    m_selectedKind = static_cast<int>(tree.GetItemData(node));
    if (CDocument* doc = GetDocument())
        doc->UpdateAllViews(this);
}

void CBrenvaleTreeView::NewCollection()
{
    CBrenvaleDoc* doc = GetLibrary();
    if (!doc || !m_collectionsNode)
        return;
    if (doc->GetCollections().GetSize() >= kMaxCollections) {
        CString text;
        text.Format(AfxLoadString(IDS_TOO_MANY_COLLECTIONS), static_cast<int>(kMaxCollections));
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const CString base = AfxLoadString(IDS_NEW_COLLECTION);
    CString name = base;
    for (int n = 2; doc->FindCollection(name); ++n)
        name.Format(L"%s (%d)", static_cast<const wchar_t*>(base), n);
    CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM node = tree.InsertItem(name, kPictureCollection, kPictureCollection, m_collectionsNode, TVI_LAST);
    if (!node)
        return;
    tree.SetItemData(node, kNodeCollection);
    auto* collection = new CCollectionObject;
    collection->SetName(name);
    if (doc->AddCollection(collection) < 0) {
        delete collection;
        tree.DeleteItem(node);  // no node without its collection
        return;
    }
    doc->SaveLibrary();
    tree.Expand(m_collectionsNode, TVE_EXPAND);
    tree.SelectItem(node);
    tree.EditLabel(node);
}

void CBrenvaleTreeView::EditSelectedCollection()
{
    if (m_selectedKind == kNodeCollection && m_selectedNode)
        GetTreeCtrl().EditLabel(m_selectedNode);
}

BOOL CBrenvaleTreeView::OnBeginLabelEdit(NMTVDISPINFOW* info)
{
    CTreeCtrl& tree = GetTreeCtrl();
    HTREEITEM node = info->item.hItem;
    if (!node || static_cast<int>(tree.GetItemData(node)) != kNodeCollection)
        return TRUE;  // refused
    TreeView_SetItemState(tree.m_hWnd, node, 0, TVIS_SELECTED);
    m_rename.Begin(GetMainFrame(), tree.GetItemText(node));
    return FALSE;
}

BOOL CBrenvaleTreeView::OnEndLabelEdit(NMTVDISPINFOW* info)
{
    TreeView_SetItemState(GetTreeCtrl().m_hWnd, info->item.hItem, TVIS_SELECTED, TVIS_SELECTED);
    if (!m_rename.End(GetMainFrame(), GetLibrary(), info->item.pszText))
        return FALSE;
    if (m_selectedText == m_rename.OldName())
        m_selectedText = info->item.pszText;
    return TRUE;
}

void CCollectionRenameEdit::Begin(CMainFrame* frame, const CString& oldName)
{
    m_oldName = oldName;
    m_editing = true;
    if (frame)
        frame->EnableFrameAccelerators(FALSE);
}

BOOL CCollectionRenameEdit::End(CMainFrame* frame, CBrenvaleDoc* library, const wchar_t* newText)
{
    if (!m_editing)
        return FALSE;
    m_editing = false;
    if (frame)
        frame->EnableFrameAccelerators(TRUE);
    return library && RenameLibraryCollection(*library, m_oldName, newText ? CString(newText) : CString());
}

BOOL RenameLibraryCollection(CBrenvaleDoc& library, const CString& oldName, const CString& newName)
{
    if (newName.IsEmpty() || newName == oldName)
        return FALSE;
    if (library.FindCollection(newName)) {
        AfxMessageBox(IDS_COLLECTION_EXISTS, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    CCollectionObject* collection = library.FindCollection(oldName);
    if (!collection)
        return FALSE;
    collection->SetName(newName);
    SortRecords(library.GetCollections(), CompareCollectionNames);  // the list stays sorted by name
    library.OnSaveDocument(library.GetLibraryDatabasePath());
    return TRUE;
}

BOOL CBrenvaleTreeView::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message != WM_NOTIFY)
        return CTreeView::OnChildNotify(message, wParam, lParam, result);
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    switch (header->code) {
    case TVN_SELCHANGEDW:
        OnSelectionChanged(reinterpret_cast<NMTREEVIEWW*>(lParam)->itemNew.hItem);
        *result = 0;
        return TRUE;
    case TVN_BEGINLABELEDITW:
        *result = OnBeginLabelEdit(reinterpret_cast<NMTVDISPINFOW*>(lParam));
        return TRUE;
    case TVN_ENDLABELEDITW:
        *result = OnEndLabelEdit(reinterpret_cast<NMTVDISPINFOW*>(lParam));
        return TRUE;
    case NM_RCLICK: {
        const DWORD pos = ::GetMessagePos();
        POINT screen{static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
        POINT client = screen;
        ScreenToClient(&client);
        if (HTREEITEM node = GetTreeCtrl().HitTest(CPoint(client.x, client.y))) {
            GetTreeCtrl().SelectItem(node);
            PostMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_hWnd), MAKELPARAM(screen.x, screen.y));
        }
        *result = 1;
        return TRUE;
    }
    default:
        return FALSE;
    }
}

void CBrenvaleTreeView::OnContextMenu(CWnd*, CPoint point)
{
    if (!(m_selectedKind & 4) || !m_selectedNode)
        return;
    CMenu menu;
    if (!menu.LoadMenu(IDR_COLLECTION_MENUS))
        return;
    CMenu* popup = menu.GetSubMenu(m_selectedKind == kNodeCollections ? 0 : 1);
    if (!popup)
        return;
    if (point.x == -1 && point.y == -1) {
        RECT rect{};
        GetTreeCtrl().GetItemRect(m_selectedNode, &rect, TRUE);
        POINT at{rect.left, (rect.top + rect.bottom) / 2};
        ClientToScreen(&at);
        point = CPoint(at.x, at.y);
    }
    CWnd* owner = GetMainFrame();
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, owner ? owner : this);
}

BOOL CBrenvaleTreeView::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_HELPHITTEST) {
        *result = kTreeHelpContext;
        return TRUE;
    }
    return CTreeView::OnWndMsg(message, wParam, lParam, result);
}
