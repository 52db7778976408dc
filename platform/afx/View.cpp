#include "View.h"

#include "DC.h"
#include "FrameWnd.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CView, CWnd)
IMPLEMENT_DYNAMIC(CListView, CView)
IMPLEMENT_DYNAMIC(CTreeView, CView)

// --- The document's view list ---

void CDocument::AddView(CView* view)
{
    if (view && std::find(m_views.begin(), m_views.end(), view) == m_views.end())
        m_views.push_back(view);
}

void CDocument::RemoveView(CView* view) { m_views.erase(std::remove(m_views.begin(), m_views.end(), view), m_views.end()); }

void CDocument::UpdateAllViews(CView* sender, LPARAM hint, CObject* hintObject)
{
    // A copy: a view's update may add or remove views.
    const std::vector<CView*> views = m_views;
    for (CView* view : views) {
        if (view != sender && std::find(m_views.begin(), m_views.end(), view) != m_views.end())
            view->OnUpdate(sender, hint, hintObject);
    }
}

// --- CView ---

CView::~CView()
{
    if (m_pDocument)
        m_pDocument->RemoveView(this);
}

BOOL CView::CreateView(CWnd* parent, UINT id, const RECT& rect, CCreateContext* context)
{
    m_pDocument = context ? context->m_pCurrentDoc : nullptr;
    if (!CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE | WS_BORDER, rect, parent, id)) {
        m_pDocument = nullptr;
        return FALSE;
    }
    if (m_pDocument)
        m_pDocument->AddView(this);
    return TRUE;
}

BOOL CView::PreCreateWindow(CREATESTRUCTW& cs)
{
    if (!cs.lpszClass)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                           reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
    return TRUE;
}

CFrameWnd* CView::GetParentFrame() const
{
    for (HWND hwnd = ::GetParent(m_hWnd); hwnd; hwnd = ::GetParent(hwnd)) {
        CWnd* wnd = FromHandlePermanent(hwnd);
        if (wnd && wnd->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
            return static_cast<CFrameWnd*>(wnd);
    }
    return nullptr;
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }
void CView::OnUpdate(CView*, LPARAM, CObject*) { Invalidate(); }
BOOL CView::OnUpdateCmdUI(CCmdUI* ui) { return m_pDocument && m_pDocument->OnUpdateCmdUI(ui); }
BOOL CView::OnCmdMsg(UINT id, UINT code) { return CWnd::OnCmdMsg(id, code) || (m_pDocument && m_pDocument->OnCmdMsg(id, code)); }

void CView::OnSetFocus(CWnd* oldWnd)
{
    if (CFrameWnd* frame = GetParentFrame())
        frame->SetActiveView(this);
    CWnd::OnSetFocus(oldWnd);
}

void CView::OnDestroy()
{
    if (CFrameWnd* frame = GetParentFrame())
        frame->OnViewDestroyed(this);
    if (m_pDocument) {
        m_pDocument->RemoveView(this);
        m_pDocument = nullptr;
    }
    CWnd::OnDestroy();
}

void CView::OnPaint()
{
    CPaintDC dc(this);
}

// --- CListView and CTreeView: the view window is the control ---

BOOL CListView::PreCreateWindow(CREATESTRUCTW& cs)
{
    cs.lpszClass = WC_LISTVIEWW;
    return CView::PreCreateWindow(cs);
}

void CListView::PreSubclassWindow() { m_list.m_hWnd = m_hWnd; }

int CListView::OnCreate(LPCREATESTRUCTW cs)
{
    m_list.m_hWnd = m_hWnd;
    return CView::OnCreate(cs);
}

void CListView::OnNcDestroy()
{
    m_list.m_hWnd = nullptr;
    CView::OnNcDestroy();
}

BOOL CTreeView::PreCreateWindow(CREATESTRUCTW& cs)
{
    cs.lpszClass = WC_TREEVIEWW;
    return CView::PreCreateWindow(cs);
}

int CTreeView::OnCreate(LPCREATESTRUCTW cs)
{
    m_tree.m_hWnd = m_hWnd;
    return CView::OnCreate(cs);
}

void CTreeView::OnNcDestroy()
{
    m_tree.m_hWnd = nullptr;
    CView::OnNcDestroy();
}
