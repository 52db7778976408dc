#include "PropertiesDialog.h"

#include "CodePageTextFile.h"
#include "ConsoleDialog.h"
#include "ConsoleMediaObject.h"
#include "DC.h"
#include "Explorer.h"
#include "FileUtils.h"
#include "XmlWriter.h"
#include "res/ConsoleDialogIds.h"
#include "res/HelpTopics.h"

#include <shlobj.h>
#include <algorithm>

namespace {

// The web browser control (scripts, ActiveX controls and Java off).
class CExplorerBrowser : public IDescriptionBrowser {
public:
    BOOL Create(HWND page, const RECT& rect, UINT id) override
    {
        return m_explorer.Create(nullptr, WS_CHILD | WS_VISIBLE, rect, CWnd::FromHandle(page), id);
    }
    void Navigate(const wchar_t* url) override { m_explorer.Navigate2(url); }
    void ExecWB(int command, int option) override { m_explorer.ExecWB(command, option); }
    HWND GetWindow() const override { return m_explorer.m_hWnd; }

private:
    CExplorer m_explorer;
};

DescriptionBrowserFactory& BrowserFactory()
{
    static DescriptionBrowserFactory factory = [] { return std::make_unique<CExplorerBrowser>(); };
    return factory;
}

CString DocumentsFolder()
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, path)))
        return CString();
    return path;
}

bool StartsWithNoCase(const CString& text, const wchar_t* start)
{
    const int length = static_cast<int>(wcslen(start));
    return text.GetLength() >= length && text.Left(length).CompareNoCase(start) == 0;
}

constexpr int kCopyCommand = 12;       // OLECMDID_COPY
constexpr int kSelectAllCommand = 17;  // OLECMDID_SELECTALL
constexpr int kDontPrompt = 2;         // OLECMDEXECOPT_DONTPROMPTUSER

}  // namespace

CString ShortenLocation(const CString& location, const CString& documentsFolder)
{
    if (documentsFolder.IsEmpty())
        return location;
    const CString prefix = documentsFolder + L"\\";
    if (!StartsWithNoCase(location, prefix))
        return location;
    CString text;
    text.Format(IDS_MY_DOCUMENTS_FORMAT, location.Mid(prefix.GetLength()).GetString());
    return text;
}

CString FormatTitleDate(const COleDateTime& date)
{
    CString text;
    if (date.GetStatus() == COleDateTime::null) {
        text.LoadString(IDS_DATE_NEVER);
        return text;
    }
    SYSTEMTIME time{};
    wchar_t buffer[128] = {};
    if (date.GetStatus() != COleDateTime::valid || !date.GetAsSystemTime(time) ||
        !GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, buffer, 128))
        return L"Invalid date";
    return buffer;
}

CString CleanDescriptionText(const CString& raw)
{
    CString text = raw;
    text.Replace(L"&lt;", L"<");
    text.Replace(L"&LT;", L"<");
    text.Replace(L"&gt;", L">");
    text.Replace(L"&GT;", L">");
    CString trimmed = text;
    trimmed.TrimLeft();
    if (trimmed.GetLength() >= 4) {
        text = trimmed;
        for (;;) {
            if (StartsWithNoCase(text, L"<P>"))
                text.Delete(0, 3);
            else if (StartsWithNoCase(text, L"<BR>"))
                text.Delete(0, 4);
            else
                break;
            text.TrimLeft();
        }
    }
    text.Trim();
    return text;
}

CString BuildDescriptionPage(const CString& title, const CString& subtitle, const CString& creator,
                             const CString& description)
{
    CString page = L"<html><body>";
    if (!title.IsEmpty())
        page.AppendFormat(L"<B>%s</B><br>", EscapeXmlText(title, true).GetString());
    if (!subtitle.IsEmpty())
        page += EscapeXmlText(subtitle, true) + L"<br>";
    if (!creator.IsEmpty())
        page.AppendFormat(L"<font color=\"gray\">%s</font><br>", EscapeXmlText(creator, true).GetString());
    page += L"<br>";
    page += description;
    page += L"</body></html>";
    page.Replace(L"(TM)", L"&trade;");
    page.Replace(L"\x2122", L"&trade;");
    return page;
}

DWORD SheetControlHelpId(int controlId)
{
    switch (controlId) {
    case IDOK:
        return 0x80C80001;
    case IDCANCEL:
        return 0x80CF0002;
    case IDHELP:
        return 0x80C8E146;
    case 12320:  // the sheet's tab control
        return 12320;
    default:
        return 0;
    }
}

void SetDescriptionBrowserFactory(DescriptionBrowserFactory factory)
{
    BrowserFactory() = std::move(factory);
}

// --- The pages ---

CTitlePage::CTitlePage(UINT templateId, const wchar_t* helpTopic) : CPropertyPage(templateId)
{
    m_helpTopic = helpTopic;
    m_psp.dwFlags |= PSP_HASHELP;
}

void CTitlePage::OnHelp()
{
    ShowDialogHelpTopic(m_hWnd, m_helpTopic);
}

CGeneralPage::CGeneralPage(const CMediaObject* title, HICON icon)
    : CTitlePage(IDD_PROPERTIES_GENERAL, kHelpTopicPropertiesDialogGeneral), m_title(title), m_icon(icon)
{
}

BOOL CGeneralPage::OnInitDialog()
{
    CTitlePage::OnInitDialog();
    if (m_icon)
        ::SendDlgItemMessageW(m_hWnd, IDC_GENERAL_ICON, STM_SETICON, reinterpret_cast<WPARAM>(m_icon), 0);
    if (m_title) {
        SetDlgItemText(IDC_GENERAL_TITLE, m_title->GetMetadata().GetDisplayTitle(TRUE, TRUE));
        SetDlgItemText(IDC_GENERAL_FORMAT, m_title->GetContentKindName());
        CString location = m_title->GetDownloadFolder();
        if (!m_title->m_titleFolder.IsEmpty())
            location.Format(L"%s\\%s", m_title->GetDownloadFolder().GetString(), m_title->m_titleFolder.GetString());
        SetDlgItemText(IDC_GENERAL_LOCATION, ShortenLocation(location, DocumentsFolder()));
        SetDlgItemText(IDC_GENERAL_ACQUIRED, FormatTitleDate(m_title->m_acquiredDate));
        SetDlgItemText(IDC_GENERAL_LAST_PLAYED, FormatTitleDate(m_title->GetLastPlayedDate()));
        const CString duration = m_title->FormatTotalDuration();
        SetDlgItemText(IDC_GENERAL_DURATION, duration);
        if (duration.IsEmpty())
            SetDlgItemText(IDC_GENERAL_DURATION_LABEL, L"");
    }
    if (HWND sheet = ::GetParent(m_hWnd))
        SetWindowLongPtrW(sheet, GWL_EXSTYLE, GetWindowLongPtrW(sheet, GWL_EXSTYLE) | WS_EX_CONTEXTHELP);
    return TRUE;
}

// --- Source ---

CSourcePage::CSourcePage(const CSourceObject* source, const CString& dataFolder)
    : CTitlePage(IDD_PROPERTIES_SOURCE, kHelpTopicPropertiesDialogSource), m_source(source), m_dataFolder(dataFolder)
{
}

BOOL CSourcePage::OnInitDialog()
{
    CTitlePage::OnInitDialog();
    if (!m_source)
        return TRUE;
    SetDlgItemText(IDC_SOURCE_NAME, m_source->m_displayName.IsEmpty() ? m_source->m_name : m_source->m_displayName);
    m_link.SubclassDlgItem(IDC_SOURCE_LINK, this);
    m_link.SetWindowText(m_source->m_websiteUrl);
    m_link.m_url = m_source->m_websiteUrl;
    m_banner.Load(m_source->GetBannerPath(m_dataFolder));
    return TRUE;
}

BOOL CSourcePage::OnEraseBkgnd(CDC* dc)
{
    const BOOL erased = CTitlePage::OnEraseBkgnd(dc);
    m_banner.Paint(dc);
    return erased;
}

// --- Description ---

CDescriptionPage::CDescriptionPage(const CMetadataObject* metadata)
    : CTitlePage(IDD_PROPERTIES_DESCRIPTION, kHelpTopicPropertiesDialogDescription), m_metadata(metadata)
{
}

CDescriptionPage::~CDescriptionPage()
{
    if (!m_pagePath.IsEmpty())
        DeleteFileW(m_pagePath);
}

BOOL CDescriptionPage::OnInitDialog()
{
    CTitlePage::OnInitDialog();
    if (!m_metadata)
        return TRUE;
    CString creator;
    if (const CCreatorObject* first = GetCreator(*m_metadata, 1, CCreatorRoleSet()))
        creator = first->m_displayName;
    const CString page = BuildDescriptionPage(m_metadata->GetDisplayTitle(FALSE, TRUE), m_metadata->m_subTitleDecoded,
                                              creator, CleanDescriptionText(m_metadata->m_description));
    CString path = MakeTempFileName(L"vpd");
    if (!path.IsEmpty()) {
        DeleteFileW(path);
        path += L".html";
        try {
            CCodePageTextFile file(path, CFile::modeCreate | CFile::modeWrite | CCodePageTextFile::modeWriteUnicode);
            file.WriteString(page);
            file.Close();
            m_pagePath = path;
        } catch (const CException&) {
            DeleteFileW(path);
        }
    }
    CRect area;
    ::GetClientRect(m_hWnd, &area);
    if (BrowserFactory())
        m_browser = BrowserFactory()();
    if (m_browser && m_browser->Create(m_hWnd, area, IDC_DESCRIPTION_BROWSER)) {
        if (!m_pagePath.IsEmpty())
            m_browser->Navigate(CString(L"file:") + m_pagePath);
    } else {
        m_browser.reset();
    }
    return TRUE;
}

void CDescriptionPage::OnDestroy()
{
    m_browser.reset();
    if (!m_pagePath.IsEmpty()) {
        DeleteFileW(m_pagePath);
        m_pagePath.Empty();
    }
    CTitlePage::OnDestroy();
}

BOOL CDescriptionPage::PreTranslateMessage(MSG* msg)
{
    if (!m_browser)
        return FALSE;
    switch (msg->message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_NCRBUTTONDOWN:
        return TRUE;
    case WM_KEYDOWN:
        if (GetKeyState(VK_CONTROL) < 0 && (msg->wParam == 'C' || msg->wParam == 'A')) {
            m_browser->ExecWB(msg->wParam == 'C' ? kCopyCommand : kSelectAllCommand, kDontPrompt);
            return TRUE;
        }
        if (HWND browser = m_browser->GetWindow(); browser && !IsChild(browser, ::GetFocus()) && ::GetFocus() != browser)
            ::SetFocus(browser);
        return FALSE;
    default:
        return FALSE;
    }
}

// --- The sheet ---

CTitlePropertiesSheet::CTitlePropertiesSheet(const CMediaObject* title, const CSourceObject* source,
                                             const CString& dataFolder, HICON icon, CWnd* parent)
    : CPropertySheet(IDS_PROPERTIES_CAPTION, parent), m_general(title, icon), m_sourcePage(source, dataFolder)
{
    m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_HASHELP;
    AddPage(&m_general);
    AddPage(&m_sourcePage);
    if (title && !title->GetMetadata().m_description.IsEmpty()) {
        m_description = std::make_unique<CDescriptionPage>(&title->GetMetadata());
        AddPage(m_description.get());
    }
}

CTitlePropertiesSheet::~CTitlePropertiesSheet() = default;

BOOL CTitlePropertiesSheet::OnHelpInfo(HELPINFO* info)
{
    if (info && info->dwContextId == 0)
        info->dwContextId = SheetControlHelpId(info->iCtrlId);
    if (CWinApp* app = AfxGetApp())
        app->ShowHelpTopic(info, kHelpTopicPropertiesDialog);
    return TRUE;
}
