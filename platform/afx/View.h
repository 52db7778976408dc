// CView and its two control views: a child window that shows a document. The frame or
// its splitter makes views from their runtime class with a creation context naming the
// document; a view adds itself to the document's view list and removes itself when its
// window goes. Views are made with new and delete themselves when their window is gone.
//
//     class CNamesView : public CListView {
//         DECLARE_DYNCREATE(CNamesView)
//         void OnUpdate(CView* sender, LPARAM hint, CObject* object) override { ...refill... }
//     };
//     splitter.CreateView(0, 1, RUNTIME_CLASS(CNamesView), CSize(200, 200), context);
//
// CListView and CTreeView are the common list and tree controls themselves (the view
// window is the control); GetListCtrl and GetTreeCtrl give the control's wrapper.
#pragma once

#include "CmdTarget.h"
#include "Document.h"
#include "ListCtrl.h"
#include "TreeCtrl.h"
#include "Wnd.h"

class CDocTemplate;
class CFrameWnd;
class CView;

// What a frame and its views are made with.
struct CCreateContext {
    const CRuntimeClass* m_pNewViewClass = nullptr;
    CDocument* m_pCurrentDoc = nullptr;
    CDocTemplate* m_pNewDocTemplate = nullptr;
    CFrameWnd* m_pCurrentFrame = nullptr;
};

// The id of the frame's first pane (its client window: a view or a splitter).
constexpr UINT AFX_IDW_PANE_FIRST = 0xE900;

class CView : public CWnd {
    DECLARE_DYNAMIC(CView)
public:
    CView() = default;
    ~CView() override;

    // Makes the view's window as a child of parent and joins the context's document.
    virtual BOOL CreateView(CWnd* parent, UINT id, const RECT& rect, CCreateContext* context);
    CDocument* GetDocument() const { return m_pDocument; }
    // The frame that holds the view (the top-level parent), or null.
    CFrameWnd* GetParentFrame() const;

    // First filling after the document is ready; the base calls OnUpdate(null, 0, null).
    virtual void OnInitialUpdate();
    // The document changed (sender: the view that changed it). The base repaints.
    virtual void OnUpdate(CView* sender, LPARAM hint, CObject* hintObject);
    // Command state, asked by the frame's routing.
    virtual BOOL OnUpdateCmdUI(CCmdUI* ui);
    // Handles the view's own commands and then the document's (the frame asks the view first).
    BOOL OnCmdMsg(UINT id, UINT code) override;

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    void OnSetFocus(CWnd* oldWnd) override;
    void OnDestroy() override;
    void PostNcDestroy() override { delete this; }
    void OnPaint() override;

    CDocument* m_pDocument = nullptr;
};

// A view that is a list-view control.
class CListView : public CView {
    DECLARE_DYNAMIC(CListView)
public:
    CListCtrl& GetListCtrl() { return m_list; }
    const CListCtrl& GetListCtrl() const { return m_list; }
    ~CListView() override { m_list.m_hWnd = nullptr; }

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    void PreSubclassWindow() override;
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnPaint() override { Default(); }
    void OnNcDestroy() override;

private:
    CListCtrl m_list;  // the wrapper of this very window (not in the handle map)
};

// A view that is a tree-view control.
class CTreeView : public CView {
    DECLARE_DYNAMIC(CTreeView)
public:
    CTreeCtrl& GetTreeCtrl() { return m_tree; }
    const CTreeCtrl& GetTreeCtrl() const { return m_tree; }
    ~CTreeView() override { m_tree.m_hWnd = nullptr; }

protected:
    BOOL PreCreateWindow(CREATESTRUCTW& cs) override;
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnPaint() override { Default(); }
    void OnNcDestroy() override;

private:
    CTreeCtrl m_tree;
};
