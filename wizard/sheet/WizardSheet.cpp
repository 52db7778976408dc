#include "WizardSheet.h"

#include "AfxIds.h"
#include "FileUtils.h"
#include "MarkupLabel.h"
#include "TitleFiles.h"
#include "WizardApp.h"
#include "XmlNode.h"
#include "res/WizardSheetIds.h"

#include <algorithm>
#include <gdiplus.h>
#include <windowsx.h>

IMPLEMENT_DYNAMIC(CWizardSheetBase, CPropertySheet)

namespace {

// Posted to itself when the title could not be read: the sheet ends after the reader's message.
constexpr UINT WM_END_UNREAD_WIZARD = WM_APP + 0x100;

// The help ids of the wizard's buttons in the sheet's topic.
struct ButtonHelp {
    int id;
    DWORD helpId;
};
constexpr ButtonHelp kButtonHelp[] = {
    {0x3021, 0x808FFFFE}, {0x3022, 0x808FFFFE}, {0x3023, 0x808FFFFE}, {0x3024, 0x808FFFFD},
    {0x3025, 0x808FFFFA}, {IDCANCEL, 0x808FFFFC}, {IDHELP, 0x808FFFFB},
};

}  // namespace

CWizardSheetBase::CWizardSheetBase(const CString& playlistPath, UINT iconId, UINT acceleratorsId, CWnd* parent)
    : CPropertySheet(AFX_IDS_APP_TITLE, parent), m_app(AfxGetWizardApp())
{
    m_icon = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(iconId));
    if (m_app) {
        m_contentType = m_app->m_contentType;
        m_sourceId = m_app->m_sourceId;
        m_bannerPath = m_app->m_bannerPath;
        m_mobileMinVersion = m_app->m_mobileMinVersion;
        m_mobileCurVersion = m_app->m_mobileCurVersion;
    }
    m_accelerators = LoadAcceleratorsW(AfxGetResourceHandle(), MAKEINTRESOURCEW(acceleratorsId));
    m_playlistPath = playlistPath;
    const int slash = playlistPath.ReverseFind(L'\\');
    m_playlistFileName = slash < 0 ? playlistPath : playlistPath.Mid(slash + 1);
    m_placeholders.SetAt(L"%%SOURCE_FILE%%", m_playlistFileName);
    m_placeholders.SetAt(L"%%SOURCE_PATH%%", m_playlistPath);
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        m_gdiplusToken = 0;
    AfxHtmlHelp(nullptr, nullptr, HH_INITIALIZE, reinterpret_cast<DWORD_PTR>(&m_helpCookie));
}

CWizardSheetBase::~CWizardSheetBase()
{
    // A side copy of the order file a page may have left beside the playlist.
    const CString sideCopy = m_playlistPath + L".vps";
    if (!m_playlistPath.IsEmpty() && FileExists(sideCopy))
        DeleteFileW(sideCopy);
    m_markupLabels.clear();
    delete m_banner;
    m_banner = nullptr;
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
    AfxHtmlHelp(nullptr, nullptr, HH_UNINITIALIZE, m_helpCookie);
}

CString CWizardSheetBase::FormatPartFileName(int partNumber, const wchar_t* extension) const
{
    CString name;
    name.Format(L"%s-Part%.2d.%s", m_baseFileName.GetString(), partNumber, extension ? extension : L"");
    return name;
}

CString CWizardSheetBase::CleanBaseFileName(const CString& text)
{
    CString name;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (!wcschr(L":*?<>|/\\\"", text[i]))
            name += text[i];
    }
    if (name.GetLength() > 50) {
        name.Truncate(50);
        const int blank = name.ReverseFind(L' ');
        if (blank > 0)
            name.Truncate(blank);
    }
    while (!name.IsEmpty() && (name.Right(1) == L" " || name.Right(1) == L"."))
        name.Truncate(name.GetLength() - 1);
    return name;
}

void CWizardSheetBase::SetBaseFileName(const CString& text) { m_baseFileName = CleanBaseFileName(text); }

CString CWizardSheetBase::RemoveCharacterReferences(const CString& text)
{
    CString result(text);
    for (int from = 0;;) {
        const int start = result.Find(L"&#", from);
        if (start < 0)
            break;
        const int end = result.Find(L';', start);
        if (end < 0)
            break;  // no reference: the rest stays as it is
        result.Delete(start, end - start + 1);
        from = start;
    }
    return result;
}

CMarkupLabel* CWizardSheetBase::FindMarkupLabel(const CWnd* page, UINT itemId) const
{
    const auto found = m_markupLabels.find({page, itemId});
    return found == m_markupLabels.end() ? nullptr : found->second.get();
}

void CWizardSheetBase::AddMarkupLabel(const CWnd* page, UINT itemId, std::unique_ptr<CMarkupLabel> label)
{
    m_markupLabels[{page, itemId}] = std::move(label);
}

BOOL CWizardSheetBase::OnInitDialog()
{
    m_artist = AfxLoadString(IDS_WIZARD_UNKNOWN_ARTIST);
    static const bool entities = [] {
        BuildEntityTable();
        return true;
    }();
    (void)entities;
    TitleFileReading reading;
    reading.artist = m_artist;
    m_baseFileName = m_playlistFileName;
    const int dot = m_baseFileName.ReverseFind(L'.');
    if (dot >= 0)
        m_baseFileName.Truncate(dot);
    m_titleLoaded = LoadTitleFiles(m_playlistPath, m_contentType, m_media, m_source, reading);
    if (!m_titleLoaded) {
        // The user has seen why; the wizard has nothing to transfer.
        PostMessage(WM_END_UNREAD_WIZARD);
        return CPropertySheet::OnInitDialog();
    }
    m_artist = reading.artist;
    m_imagePath = reading.imagePath;
    m_firstPartFileName = reading.firstPartFileName;
    m_title = m_displayTitle = m_media.GetMetadata().GetDisplayTitle(FALSE, TRUE);
    const CString appTitle = m_app ? m_app->GetAppTitle() : CString();
    m_placeholders.SetAt(L"%%SOURCE_TITLE%%", m_title);
    m_placeholders.SetAt(L"%%SOURCE_FORMAT%%", m_contentType);
    m_placeholders.SetAt(L"%%APP_TITLE%%", appTitle);
    if (m_baseFileName.IsEmpty())
        SetBaseFileName(m_title);
    m_baseFileName = RemoveCharacterReferences(m_baseFileName);
    m_defaultBaseFileName = m_baseFileName;

    ModifyStyleEx(0, WS_EX_CONTEXTHELP);
    const BOOL result = CPropertySheet::OnInitDialog();

    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE)) {
        CString about;
        if (appTitle.IsEmpty())
            about = AfxLoadString(IDS_WIZARD_MENU_ABOUT);
        else
            about.Format(AfxLoadString(IDS_WIZARD_MENU_ABOUT_FORMAT), appTitle.GetString());
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kCommandHelpTopics, AfxLoadString(IDS_WIZARD_MENU_HELP_TOPICS));
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kCommandCopyright, AfxLoadString(IDS_WIZARD_MENU_COPYRIGHT));
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kCommandAbout, about);
    }
    if (m_icon) {
        SetIcon(m_icon, TRUE);
        SetIcon(m_icon, FALSE);
    }
    LoadBanner();
    if (m_banner) {
        CRect window;
        GetWindowRect(&window);
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.Width(), window.Height() + kBannerHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    CString position = ReadWindowPosition();
    position.Remove(L' ');
    if (position.CompareNoCase(L"top") == 0)
        ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    else if (position.CompareNoCase(L"topmost") == 0)
        ::SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    OnTitleLoaded();
    return result;
}

void CWizardSheetBase::LoadBanner()
{
    CString path = m_bannerPath;
    if (path.IsEmpty() || !FileExists(path))
        path = m_app ? m_app->JoinPath(L"WMBannerImage.gif") : CString();
    if (path.IsEmpty() || !FileExists(path) || !m_gdiplusToken)
        return;
    auto* bitmap = Gdiplus::Bitmap::FromFile(path);
    if (!bitmap || bitmap->GetLastStatus() != Gdiplus::Ok) {
        delete bitmap;
        return;
    }
    m_banner = bitmap;
    m_bannerFilePath = path;
}

void CWizardSheetBase::PaintBanner()
{
    HDC dc = ::GetWindowDC(m_hWnd);
    if (!dc)
        return;
    CRect client;
    GetClientRect(&client);
    const RECT strip{GetSystemMetrics(SM_CXFIXEDFRAME), GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION),
                     GetSystemMetrics(SM_CXFIXEDFRAME) + client.Width(),
                     GetSystemMetrics(SM_CYFIXEDFRAME) + GetSystemMetrics(SM_CYCAPTION) + kBannerHeight};
    FillRect(dc, &strip, GetSysColorBrush(COLOR_3DFACE));
    {
        Gdiplus::Graphics graphics(dc);
        graphics.SetPageUnit(Gdiplus::UnitPixel);
        const Gdiplus::Rect target(strip.left, strip.top, strip.right - strip.left, kBannerHeight);
        graphics.SetClip(target);
        graphics.DrawImage(m_banner, strip.left, strip.top, static_cast<INT>(m_banner->GetWidth()),
                           static_cast<INT>(m_banner->GetHeight()));
    }
    ::ReleaseDC(m_hWnd, dc);
}

BOOL CWizardSheetBase::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (m_app && message == m_app->SingleInstanceMessage() && message != 0) {
        *result = message;
        return TRUE;
    }
    switch (message) {
    case WM_END_UNREAD_WIZARD:
        EndDialog(IDCANCEL);
        *result = 0;
        return TRUE;
    case WM_NCCALCSIZE:
        *result = DefWindowProc(message, wParam, lParam);
        if (m_banner) {
            auto* rect = reinterpret_cast<RECT*>(lParam);  // the first rectangle either way
            rect->top += kBannerHeight;
        }
        return TRUE;
    case WM_NCHITTEST: {
        *result = DefWindowProc(message, wParam, lParam);
        if (m_banner) {
            CRect client;
            GetClientRect(&client);
            ClientToScreen(&client);
            const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (at.x >= client.left && at.x < client.right && at.y < client.top && at.y >= client.top - kBannerHeight)
                *result = HTCLIENT;
        }
        return TRUE;
    }
    case WM_NCPAINT:
        *result = DefWindowProc(message, wParam, lParam);
        if (m_banner)
            PaintBanner();
        return TRUE;
    default:
        return CPropertySheet::OnWndMsg(message, wParam, lParam, result);
    }
}

void CWizardSheetBase::OnSysCommand(UINT id, LPARAM lParam)
{
    switch (id & 0xFFF0) {
    case kCommandAbout:
        ShowAboutDialog();
        return;
    case kCommandCopyright:
        HtmlHelp(0x10000 + kCommandCopyright, HH_HELP_CONTEXT);
        return;
    case kCommandHelpTopics:
        HtmlHelp(0x10000 + kCommandHelpTopics, HH_HELP_CONTEXT);
        return;
    default:
        m_contextHelp = (id & 0xFFF0) == SC_CONTEXTHELP;
        CPropertySheet::OnSysCommand(id, lParam);
    }
}

BOOL CWizardSheetBase::OnCmdMsg(UINT id, UINT code)
{
    if (id == ID_HELP && (code == 0 || code == 1)) {
        if (CPropertyPage* page = GetActivePage())
            page->SendMessage(WM_COMMAND, ID_HELP);
        return TRUE;
    }
    return CPropertySheet::OnCmdMsg(id, code);
}

HWND CWizardSheetBase::WizardButtonUnderCursor() const
{
    const DWORD position = GetMessagePos();
    const POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    for (const ButtonHelp& button : kButtonHelp) {
        HWND item = ::GetDlgItem(m_hWnd, button.id);
        RECT rect{};
        if (item && ::IsWindowVisible(item) && ::GetWindowRect(item, &rect) && PtInRect(&rect, at))
            return item;
    }
    return nullptr;
}

void CWizardSheetBase::HtmlHelp(DWORD_PTR data, UINT command)
{
    if (command != HH_HELP_CONTEXT || !m_contextHelp) {
        CPropertySheet::HtmlHelp(data, command);
        return;
    }
    m_contextHelp = FALSE;
    HWND button = WizardButtonUnderCursor();
    if (!button || !::IsWindowEnabled(button) || !m_app)
        return;
    const int id = ::GetDlgCtrlID(button);
    const auto help = std::find_if(std::begin(kButtonHelp), std::end(kButtonHelp),
                                   [id](const ButtonHelp& entry) { return entry.id == id; });
    const DWORD position = GetMessagePos();
    m_app->ShowHelpPopup(m_hWnd, L"Wizard.txt", help->helpId, {GET_X_LPARAM(position), GET_Y_LPARAM(position)});
}

BOOL CWizardSheetBase::PreTranslateMessage(MSG* msg)
{
    if (m_accelerators && m_hWnd && TranslateAcceleratorW(m_hWnd, m_accelerators, msg))
        return TRUE;
    return CPropertySheet::PreTranslateMessage(msg);
}
