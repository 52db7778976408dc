// CBrenvaleListView: the right pane of the main frame. It shows what the tree's selected
// node stands for: the titles it selects, sorted by one of eight columns, or, for a group
// node, the names of the node's children. Six view modes; "Console" draws tall rows with
// the title's picture and eight lines of text itself. Mode, sort column, order and column
// widths are kept in the registry. Collections are renamed in place in "My Collections";
// a double-click plays a title or opens a name's node.
//
// Rows carry their title as item data and get their texts on demand, so a refill of
// thousands of titles only inserts the rows. A refill of the same node keeps the user's
// selection (rows are known by their title, or by their text for names).
#pragma once

#include "AfxWin.h"
#include "BrenvaleDoc.h"
#include "BrenvaleTreeView.h"

#include <vector>

class CMainFrame;
class CBrenvaleTreeView;

class CBrenvaleListView : public CListView {
    DECLARE_DYNCREATE(CBrenvaleListView)
public:
    CBrenvaleListView();
    ~CBrenvaleListView() override;

    // The title of the only selected row; null for none, several, or a name row.
    CMediaObject* GetSelectedTitle() const;
    std::vector<CMediaObject*> GetSelectedTitles() const;
    // The texts of the selected name rows.
    CStringArray GetSelectedNames() const;
    // Starts renaming the only selected name row.
    void EditSelectedName();
    // Title rows ask their title for its picture when drawn (thumbnails arrive after a
    // load); this redraws the rows on screen.
    void RefreshTitlePictures();
    // The titles of the rows on screen, top row first.
    std::vector<const CMediaObject*> GetTitlesOnScreen() const;

    UINT GetViewMode() const { return m_viewMode; }
    // Applies a mode (33111-33116), stores it, refills when asked.
    void SetViewMode(UINT mode, BOOL refill);
    int GetSortColumn() const { return m_sortColumn; }
    BOOL GetSortAscending() const { return m_sortAscending; }
    void SetSortColumn(int column);
    void SetSortAscending(BOOL ascending);
    // The text of a title's column as the rows show it.
    CString GetColumnText(const CMediaObject& title, int column) const;
    CBrenvaleDoc* GetLibrary() const;

    void OnInitialUpdate() override;
    void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject) override;

protected:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;
    void MeasureItem(LPMEASUREITEMSTRUCT measureItem) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnContextMenu(CWnd* wnd, CPoint point) override;

private:
    CMainFrame* GetMainFrame() const;
    CBrenvaleTreeView* GetTree() const;
    void MakeTitleColumns();
    void MakeNameColumn();
    void OnHeaderWidthChanged(int column);
    void OnHeaderClick(int column);
    void OnDoubleClick();
    BOOL OnEndLabelEdit(NMLVDISPINFOW* info);
    HFONT TitleFont();

    UINT m_viewMode;
    int m_lastKind = -1;
    CString m_lastText;
    bool m_hasLast = false;
    int m_sortColumn;
    BOOL m_sortAscending;
    CCollectionRenameEdit m_rename;
    bool m_initialized = false;
    bool m_titleColumns = false;
    HFONT m_titleFont = nullptr;
    CString m_textBuffer;  // answers of LVN_GETDISPINFO live here until the next
};
