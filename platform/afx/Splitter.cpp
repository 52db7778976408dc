#include "DC.h"
#include "FrameWnd.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(CSplitterWnd, CWnd)

BOOL CSplitterWnd::CreateStatic(CWnd* parent, int rows, int columns, DWORD style, UINT id)
{
    if (!parent || rows < 1 || columns < 1 || rows > 16 || columns > 16 || m_hWnd)
        return FALSE;
    m_rows = rows;
    m_columns = columns;
    m_ideal.assign(static_cast<size_t>(columns), 0);
    m_minimum.assign(static_cast<size_t>(columns), 0);
    m_current.assign(static_cast<size_t>(columns), 0);
    m_panes.assign(static_cast<size_t>(rows * columns), nullptr);
    const wchar_t* cls = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursorW(nullptr, IDC_ARROW),
                                             reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    return CWnd::CreateEx(0, cls, L"", style | WS_CHILD | WS_CLIPCHILDREN, CRect(0, 0, 0, 0), parent, id);
}

BOOL CSplitterWnd::CreateView(int row, int column, const CRuntimeClass* viewClass, SIZE size, CCreateContext* context)
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns || !viewClass)
        return FALSE;
    CObject* object = viewClass->CreateObject();
    if (!object || !object->IsKindOf(RUNTIME_CLASS(CView))) {
        delete object;
        return FALSE;
    }
    auto* view = static_cast<CView*>(object);
    m_ideal[static_cast<size_t>(column)] = std::max(0, static_cast<int>(size.cx));
    const UINT id = AFX_IDW_PANE_FIRST + static_cast<UINT>(row * 16 + column);
    if (!view->CreateView(this, id, CRect(0, 0, size.cx, size.cy), context)) {
        delete view;
        return FALSE;
    }
    m_panes[static_cast<size_t>(row * m_columns + column)] = view->m_hWnd;
    RecalcLayout();
    return TRUE;
}

CWnd* CSplitterWnd::GetPane(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0 || column >= m_columns)
        return nullptr;
    HWND pane = m_panes[static_cast<size_t>(row * m_columns + column)];
    return pane && ::IsWindow(pane) ? FromHandlePermanent(pane) : nullptr;
}

void CSplitterWnd::GetColumnInfo(int column, int& current, int& minimum) const
{
    current = minimum = 0;
    if (column < 0 || column >= m_columns)
        return;
    current = m_current[static_cast<size_t>(column)];
    minimum = m_minimum[static_cast<size_t>(column)];
}

void CSplitterWnd::SetColumnInfo(int column, int ideal, int minimum)
{
    if (column < 0 || column >= m_columns)
        return;
    m_ideal[static_cast<size_t>(column)] = std::max(0, ideal);
    m_minimum[static_cast<size_t>(column)] = std::max(0, minimum);
}

void CSplitterWnd::RecalcLayout()
{
    if (!m_hWnd)
        return;
    CRect client;
    GetClientRect(&client);
    const int rowHeight = m_rows ? client.Height() / m_rows : 0;
    int x = 0;
    for (int c = 0; c < m_columns; ++c) {
        const int left = client.Width() - x - (m_columns - 1 - c) * kBarWidth;
        int width = c == m_columns - 1 ? left : std::min(m_ideal[static_cast<size_t>(c)], left);
        width = std::max(0, width);
        m_current[static_cast<size_t>(c)] = width;
        for (int r = 0; r < m_rows; ++r) {
            HWND pane = m_panes[static_cast<size_t>(r * m_columns + c)];
            if (pane)
                ::MoveWindow(pane, x, r * rowHeight, width, r == m_rows - 1 ? client.Height() - r * rowHeight : rowHeight,
                             TRUE);
        }
        x += width + kBarWidth;
    }
    Invalidate(TRUE);
}

CWnd* CSplitterWnd::GetNextPane(CWnd* current, BOOL previous) const
{
    const int count = static_cast<int>(m_panes.size());
    if (count == 0)
        return nullptr;
    int index = -1;
    for (int i = 0; i < count; ++i)
        if (current && m_panes[static_cast<size_t>(i)] == current->m_hWnd)
            index = i;
    for (int step = 1; step <= count; ++step) {
        const int next = index < 0 ? (previous ? count - step : step - 1)
                                   : ((index + (previous ? -step : step)) % count + count) % count;
        HWND pane = m_panes[static_cast<size_t>(next)];
        if (pane && ::IsWindow(pane))
            return FromHandlePermanent(pane);
    }
    return nullptr;
}

int CSplitterWnd::BarAt(CPoint point) const
{
    int x = 0;
    for (int c = 0; c + 1 < m_columns; ++c) {
        x += m_current[static_cast<size_t>(c)];
        if (point.x >= x && point.x < x + kBarWidth)
            return c;
        x += kBarWidth;
    }
    return -1;
}

void CSplitterWnd::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    RecalcLayout();
}

void CSplitterWnd::OnLButtonDown(UINT, CPoint point)
{
    const int bar = BarAt(point);
    if (bar < 0)
        return;
    int start = 0;
    for (int c = 0; c < bar; ++c)
        start += m_current[static_cast<size_t>(c)] + kBarWidth;
    m_tracking = bar;
    m_trackOffset = point.x - (start + m_current[static_cast<size_t>(bar)]);
    ::SetCapture(m_hWnd);
}

void CSplitterWnd::OnMouseMove(UINT, CPoint point)
{
    if (m_tracking < 0)
        return;
    int start = 0;
    for (int c = 0; c < m_tracking; ++c)
        start += m_current[static_cast<size_t>(c)] + kBarWidth;
    CRect client;
    GetClientRect(&client);
    int width = point.x - m_trackOffset - start;
    width = std::clamp(width, m_minimum[static_cast<size_t>(m_tracking)], std::max(0, client.Width() - start - kBarWidth));
    m_ideal[static_cast<size_t>(m_tracking)] = width;
    RecalcLayout();
}

void CSplitterWnd::OnLButtonUp(UINT, CPoint)
{
    if (m_tracking < 0)
        return;
    m_tracking = -1;
    ::ReleaseCapture();
}

BOOL CSplitterWnd::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    if (wnd == this && hitTest == HTCLIENT) {
        POINT p;
        ::GetCursorPos(&p);
        ScreenToClient(&p);
        if (m_tracking >= 0 || BarAt(CPoint(p.x, p.y)) >= 0) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
            return TRUE;
        }
    }
    return CWnd::OnSetCursor(wnd, hitTest, message);
}

BOOL CSplitterWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    LRESULT ignored = 0;
    const HWND control = reinterpret_cast<HWND>(lParam);
    if (control && ReflectChildNotify(control, &ignored))
        return TRUE;
    // Everything else is the frame's.
    if (HWND parent = ::GetParent(m_hWnd))
        ::SendMessageW(parent, WM_COMMAND, wParam, lParam);
    return TRUE;
}

BOOL CSplitterWnd::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (CWnd::OnNotify(wParam, lParam, result))
        return TRUE;
    if (HWND parent = ::GetParent(m_hWnd)) {
        *result = ::SendMessageW(parent, WM_NOTIFY, wParam, lParam);
        return TRUE;
    }
    return FALSE;
}

void CSplitterWnd::OnPaint()
{
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    int x = 0;
    for (int c = 0; c + 1 < m_columns; ++c) {
        x += m_current[static_cast<size_t>(c)];
        RECT bar{x, 0, x + kBarWidth, client.bottom};
        ::FillRect(dc.m_hDC, &bar, ::GetSysColorBrush(COLOR_BTNFACE));
        x += kBarWidth;
    }
}
