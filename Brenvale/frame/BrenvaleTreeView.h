// CBrenvaleTreeView: the library as a fixed tree (left pane of the main frame): the whole
// library, the user's collections, and groups by creator, subject, language and source
// (a group only when it has more than one entry). Selecting a node tells the list view
// what to show. Collection nodes can be renamed in place and have a context menu.
//
// The selection is kept as the node's kind and text, so a refill selects the same node
// again (or "View All Media" when it is gone). A refill ignores the selection changes its
// own deletions cause and tells the other views only when the selection really changed.
#pragma once

#include "AfxWin.h"
#include "BrenvaleDoc.h"

class CMainFrame;

// The library and the console's frame of a view (null when the view has other ones).
CBrenvaleDoc* LibraryOfView(const CView& view);
CMainFrame* MainFrameOfView(const CView& view);

// One in-place rename of a collection name (in the tree or the list): the frame's keys are
// off while the edit box is open; the end is taken once (the control may report it again
// as its edit box goes).
class CCollectionRenameEdit {
public:
    void Begin(CMainFrame* frame, const CString& oldName);
    // Renames and saves; FALSE when no edit was open or the rename was refused.
    BOOL End(CMainFrame* frame, CBrenvaleDoc* library, const wchar_t* newText);
    // The name before the edit (kept after End for the caller).
    const CString& OldName() const { return m_oldName; }

private:
    CString m_oldName;
    bool m_editing = false;
};

class CBrenvaleTreeView : public CTreeView {
    DECLARE_DYNCREATE(CBrenvaleTreeView)
public:
    CBrenvaleTreeView();

    int GetSelectedKind() const { return m_selectedKind; }
    const CString& GetSelectedText() const { return m_selectedText; }
    HTREEITEM GetSelectedNode() const { return m_selectedNode; }
    HTREEITEM GetCollectionsNode() const { return m_collectionsNode; }
    // The node of a collection (by its exact name), or null.
    HTREEITEM FindCollectionNode(const CString& name) const;
    // Removes a collection's node; the selection moves to its next sibling, else its
    // previous one, when the collection was the one selected.
    void RemoveCollectionNode(const CString& name);
    // Adds a collection ("New Collection", "New Collection (2)", ...) and starts naming it.
    void NewCollection();
    // In-place editing of the selected collection's name.
    void EditSelectedCollection();
    // Selects the node of this kind and text (TVN_SELCHANGED follows); FALSE when none.
    BOOL SelectNode(int kind, const CString& text);
    CBrenvaleDoc* GetLibrary() const;

    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnContextMenu(CWnd* wnd, CPoint point) override;

private:
    HTREEITEM AddNode(const CString& text, int picture, int kind, HTREEITEM parent, HTREEITEM& toSelect);
    void OnSelectionChanged(HTREEITEM node);
    BOOL OnBeginLabelEdit(NMTVDISPINFOW* info);
    BOOL OnEndLabelEdit(NMTVDISPINFOW* info);
    CMainFrame* GetMainFrame() const;

    CString m_selectedText;
    int m_selectedKind = -1;
    HTREEITEM m_selectedNode = nullptr;
    HTREEITEM m_collectionsNode = nullptr;
    CCollectionRenameEdit m_rename;
    bool m_filling = false;
};

// Renames a collection of the library and saves it; FALSE (nothing changed) for an empty or
// unchanged name, a name another collection has exactly (message 4042), or no such collection.
BOOL RenameLibraryCollection(CBrenvaleDoc& library, const CString& oldName, const CString& newName);
