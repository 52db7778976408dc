#include "PlayerPanes.h"

#include "ConsoleMediaObject.h"
#include "FileUtils.h"
#include "res/MediaExplorerIds.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>

CString FieldLabelText(const CString& role)
{
    CString text = role;
    if (!text.IsEmpty())
        text.SetAt(0, static_cast<wchar_t>(towupper(text[0])));
    if (text.IsEmpty() || text[text.GetLength() - 1] != L':')
        text += L":";
    return text;
}

FieldPlacement PlaceField(CRect& running, bool hasLabel, UINT flags)
{
    if (flags & kFieldGap)
        running.top += 8;
    else if (flags & kFieldSmallGap)
        running.top += 5;
    FieldPlacement placement;
    const int top = running.top, bottom = running.top + kFieldHeight;
    if (hasLabel) {
        placement.label = CRect(running.left, top, running.left + kFieldLabelWidth, bottom);
        placement.value = CRect(running.left + kFieldLabelWidth, top, std::max(running.right, running.left + kFieldLabelWidth), bottom);
    } else {
        placement.value = CRect(running.left, top, running.right, bottom);
    }
    running.top = bottom;
    return placement;
}

int ScrollPageSize(int clientHeight)
{
    return std::max(clientHeight, 0) / kScrollLine * kScrollLine;
}

CRect FitCoverRect(int width, int height, int imageWidth, int imageHeight)
{
    if (width <= 0 || height <= 0 || imageWidth <= 0 || imageHeight <= 0)
        return CRect();
    const long long tall = static_cast<long long>(imageHeight) * width / imageWidth;
    if (tall <= height)
        return CRect(0, 0, width, static_cast<int>(tall));
    const int wide = static_cast<int>(static_cast<long long>(imageWidth) * height / imageHeight);
    const int left = (width - wide) / 2;
    return CRect(left, 0, left + wide, height);
}

CString FindTitlePicture(const CMediaObject& title, const CString& dataFolder)
{
    CString path = title.GetCoverPath(dataFolder);
    if (!path.IsEmpty() && FileExists(path))
        return path;
    path = title.GetThumbnailPath(dataFolder, FALSE);
    return !path.IsEmpty() && FileExists(path) ? path : CString();
}

namespace {

// The parent's font with the pane's face (and, for headings, size and weight).
BOOL MakePaneFont(CFont& font, HWND parent, int height, int weight)
{
    LOGFONTW face = {};
    HFONT parentFont = parent ? reinterpret_cast<HFONT>(::SendMessageW(parent, WM_GETFONT, 0, 0)) : nullptr;
    if (!parentFont || !::GetObjectW(parentFont, sizeof face, &face))
        ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof face, &face);
    wcscpy_s(face.lfFaceName, L"Segoe UI");
    if (height)
        face.lfHeight = height;
    if (weight)
        face.lfWeight = weight;
    return font.CreateFontIndirect(&face);
}

// Keys first go to the player window's dialog handling (tab, accelerators).
BOOL PassToDialog(CWnd* pane, MSG* msg)
{
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST)
        return FALSE;
    HWND dialog = ::GetParent(pane->m_hWnd);
    return dialog && ::IsDialogMessageW(dialog, msg);
}

}  // namespace

// --- Metadata ---

CMetadataPane::CMetadataPane(const CMediaObject* title, const CSourceObject* source, const CString& dataFolder)
    : m_title(title), m_source(source), m_dataFolder(dataFolder)
{
}

CMetadataPane::~CMetadataPane()
{
    for (CStatic* field : m_fields)
        delete field;
}

int CMetadataPane::OnCreate(LPCREATESTRUCTW cs)
{
    if (CWnd::OnCreate(cs) == -1)
        return -1;
    if (!MakePaneFont(m_normalFont, cs->hwndParent, 0, 0) || !MakePaneFont(m_headingFont, cs->hwndParent, 18, FW_BOLD) ||
        !m_background.CreateSysColorBrush(COLOR_WINDOW))
        return -1;
    CRect running;
    GetClientRect(&running);
    running.left += 5;
    running.bottom = 0x7FFFFFFF;
    if (m_title) {
        const CMetadataObject& metadata = m_title->GetMetadata();
        AddField(L"", metadata.GetDisplayTitle(FALSE, TRUE), running, kFieldHeading);
        AddField(L"", metadata.m_subTitleDecoded, running, kFieldHeading);
        for (INT_PTR i = 0; i < metadata.m_creators.GetSize(); ++i) {
            const auto* creator = static_cast<const CCreatorObject*>(metadata.m_creators[i]);
            AddField(creator->m_role, creator->m_displayName, running, i == 0 ? kFieldGap : 0);
        }
        AddField(L"Format", m_title->GetContentKindName(), running, kFieldGap);
        AddField(L"Publisher", metadata.m_publisherDecoded, running, kFieldGap);
    }
    if (m_source)
        AddField(L"Source", m_source->m_displayName.IsEmpty() ? m_source->m_name : m_source->m_displayName, running,
                 kFieldSmallGap);
    SetScrollRange();
    return 0;
}

void CMetadataPane::AddField(const CString& label, const CString& value, CRect& running, UINT flags)
{
    if (label.IsEmpty() && value.IsEmpty())
        return;
    const FieldPlacement place = PlaceField(running, !label.IsEmpty(), flags);
    CFont& font = (flags & kFieldHeading) ? m_headingFont : m_normalFont;
    auto addStatic = [&](const CString& text, const CRect& rect) {
        auto* field = new CStatic;
        CRect shown = rect;
        shown.OffsetRect(0, -m_scrollPos);
        if (!field->Create(text, WS_VISIBLE | SS_NOPREFIX | SS_ENDELLIPSIS | SS_LEFT, shown, this)) {
            delete field;
            return;
        }
        field->SetFont(font, FALSE);
        m_fields.push_back(field);
    };
    if (!label.IsEmpty())
        addStatic(FieldLabelText(label), place.label);
    addStatic(value, place.value);
    m_bottom = std::max(m_bottom, static_cast<int>(place.value.bottom));
}

void CMetadataPane::SetScrollRange()
{
    CRect client;
    GetClientRect(&client);
    m_scrollMax = std::max(0, m_bottom - client.Height());
    SCROLLINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE | SIF_POS | SIF_PAGE;
    info.nMin = 0;
    info.nMax = m_scrollMax;
    info.nPage = 0;
    info.nPos = 0;
    ::SetScrollInfo(m_hWnd, SB_VERT, &info, TRUE);
    ::ShowScrollBar(m_hWnd, SB_VERT, m_scrollMax > 0);
    ScrollTo(0);
}

void CMetadataPane::ScrollTo(int position)
{
    position = std::clamp(position, 0, m_scrollMax);
    const int delta = m_scrollPos - position;
    m_scrollPos = position;
    if (delta)
        ::ScrollWindowEx(m_hWnd, 0, delta, nullptr, nullptr, nullptr, nullptr, SW_SCROLLCHILDREN | SW_INVALIDATE | SW_ERASE);
    ::SetScrollPos(m_hWnd, SB_VERT, m_scrollPos, TRUE);
}

void CMetadataPane::OnVScroll(UINT code, UINT pos, CWnd*)
{
    CRect client;
    GetClientRect(&client);
    const int page = ScrollPageSize(client.Height());
    int target = m_scrollPos;
    switch (code) {
    case SB_LINEUP: target -= kScrollLine; break;
    case SB_LINEDOWN: target += kScrollLine; break;
    case SB_PAGEUP: target -= page; break;
    case SB_PAGEDOWN: target += page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: target = static_cast<int>(pos); break;
    case SB_TOP: target = 0; break;
    case SB_BOTTOM: target = m_scrollMax; break;
    default: return;
    }
    ScrollTo(target);
}

HBRUSH CMetadataPane::OnCtlColor(CDC* dc, CWnd*, UINT)
{
    if (dc) {
        ::SetBkColor(dc->m_hDC, ::GetSysColor(COLOR_WINDOW));
        ::SetTextColor(dc->m_hDC, ::GetSysColor(COLOR_WINDOWTEXT));
    }
    return m_background;
}

BOOL CMetadataPane::OnEraseBkgnd(CDC* dc)
{
    CRect client;
    GetClientRect(&client);
    ::FillRect(dc->m_hDC, &client, m_background);
    return TRUE;
}

void CMetadataPane::OnDestroy()
{
    for (CStatic* field : m_fields)
        delete field;  // their windows go with this one's children
    m_fields.clear();
    CWnd::OnDestroy();
}

BOOL CMetadataPane::PreTranslateMessage(MSG* msg)
{
    return PassToDialog(this, msg);
}

// --- Cover ---

CThumbnailPane::CThumbnailPane(const CMediaObject* title, const CString& dataFolder)
    : m_title(title), m_dataFolder(dataFolder)
{
}

CThumbnailPane::~CThumbnailPane() = default;

int CThumbnailPane::OnCreate(LPCREATESTRUCTW cs)
{
    if (CWnd::OnCreate(cs) == -1 || !m_background.CreateSysColorBrush(COLOR_WINDOW))
        return -1;
    if (m_title)
        m_imagePath = FindTitlePicture(*m_title, m_dataFolder);
    if (!m_imagePath.IsEmpty()) {
        m_image.reset(Gdiplus::Bitmap::FromFile(m_imagePath));
        if (m_image && (m_image->GetLastStatus() != Gdiplus::Ok || m_image->GetWidth() == 0 || m_image->GetHeight() == 0))
            m_image.reset();
    }
    if (!m_image) {
        m_imagePath.Empty();
        if (HBITMAP picture = AfxLoadBitmap(IDB_NO_COVER)) {
            m_image.reset(Gdiplus::Bitmap::FromHBITMAP(picture, nullptr));
            ::DeleteObject(picture);
            if (m_image && (m_image->GetLastStatus() != Gdiplus::Ok || m_image->GetWidth() == 0))
                m_image.reset();
        }
    }
    Fit();
    return 0;
}

void CThumbnailPane::Fit()
{
    CRect client;
    GetClientRect(&client);
    m_drawRect = m_image ? FitCoverRect(client.Width(), client.Height(), static_cast<int>(m_image->GetWidth()),
                                        static_cast<int>(m_image->GetHeight()))
                         : CRect();
}

void CThumbnailPane::OnSize(UINT type, int cx, int cy)
{
    CWnd::OnSize(type, cx, cy);
    Fit();
    Invalidate();
}

BOOL CThumbnailPane::OnEraseBkgnd(CDC* dc)
{
    CRect client;
    GetClientRect(&client);
    ::FillRect(dc->m_hDC, &client, m_background);
    if (!m_image || m_drawRect.IsRectEmpty())
        return TRUE;  // nothing to draw: the background only
    {
        Gdiplus::Graphics graphics(dc->m_hDC);
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        CRect inner = m_drawRect;
        inner.DeflateRect(1, 1);
        graphics.DrawImage(m_image.get(), inner.left, inner.top, inner.Width(), inner.Height());
    }
    ::FrameRect(dc->m_hDC, &m_drawRect, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    return TRUE;
}

void CThumbnailPane::OnPaint()
{
    PAINTSTRUCT paint;
    ::BeginPaint(m_hWnd, &paint);
    ::EndPaint(m_hWnd, &paint);
}

BOOL CThumbnailPane::PreTranslateMessage(MSG* msg)
{
    return PassToDialog(this, msg);
}
