// The title properties sheet ("Properties", no Apply, with Help): the General page, the
// Source page and, only for a title with a description, the Description page showing
// the description in a web browser control. The pages only show data.
#pragma once

#include "BannerPicture.h"
#include "COleDateTime.h"
#include "HyperLink.h"
#include "PropertySheet.h"

#include <functional>
#include <memory>

class CMediaObject;
class CMetadataObject;
class CSourceObject;
namespace Gdiplus {
class Image;
}

// --- What the pages show ---

// The location with a leading "<documents>\" (any case) shown as "<My Documents>\...".
CString ShortenLocation(const CString& location, const CString& documentsFolder);
// A date without its time in the user's locale; "never" for a date never set.
CString FormatTitleDate(const COleDateTime& date);
// The order file's description made ready for the page: "&lt;"/"&gt;" back to "<" and
// ">", leading <P> and <BR> tags removed, blanks trimmed.
CString CleanDescriptionText(const CString& raw);
// The page: the title in bold, the subtitle, the creator in grey (each escaped as text,
// each only when present), then the description as HTML; (TM) and U+2122 as "&trade;".
CString BuildDescriptionPage(const CString& title, const CString& subtitle, const CString& creator,
                             const CString& description);
// The help id the sheet's own controls stand for (OK, Cancel, Help, the tab control).
DWORD SheetControlHelpId(int controlId);

// --- The Description page's browser ---

// The hosted web browser control, with scripts, ActiveX controls and Java turned off.
// The browser control (CExplorer) by default; tests may give a fake.
class IDescriptionBrowser {
public:
    virtual ~IDescriptionBrowser() = default;
    // Creates the control as a child of the page over the rectangle.
    virtual BOOL Create(HWND page, const RECT& rect, UINT id) = 0;
    virtual void Navigate(const wchar_t* url) = 0;
    // OLECMDID_COPY (12), OLECMDID_SELECTALL (17) with OLECMDEXECOPT_DONTPROMPTUSER (2).
    virtual void ExecWB(int command, int option) = 0;
    virtual HWND GetWindow() const = 0;
};
using DescriptionBrowserFactory = std::function<std::unique_ptr<IDescriptionBrowser>()>;
void SetDescriptionBrowserFactory(DescriptionBrowserFactory factory);

// --- The pages and the sheet ---

// A page of the sheet: F1 and the Help button open the page's own topic.
class CTitlePage : public CPropertyPage {
public:
    CTitlePage(UINT templateId, const wchar_t* helpTopic);

protected:
    void OnHelp() override;
};

class CGeneralPage : public CTitlePage {
public:
    CGeneralPage(const CMediaObject* title, HICON icon);

protected:
    BOOL OnInitDialog() override;

private:
    const CMediaObject* m_title;
    HICON m_icon;
};

class CSourcePage : public CTitlePage {
public:
    CSourcePage(const CSourceObject* source, const CString& dataFolder);

    CHyperLink m_link;
    const Gdiplus::Image* GetBanner() const { return m_banner.Get(); }

protected:
    BOOL OnInitDialog() override;
    BOOL OnEraseBkgnd(CDC* dc) override;

private:
    const CSourceObject* m_source;
    CString m_dataFolder;
    CBannerPicture m_banner;
};

class CDescriptionPage : public CTitlePage {
public:
    explicit CDescriptionPage(const CMetadataObject* metadata);
    ~CDescriptionPage() override;

    // The temporary page (empty until made; deleted with the page).
    const CString& GetPagePath() const { return m_pagePath; }
    IDescriptionBrowser* GetBrowser() const { return m_browser.get(); }
    // Right clicks are swallowed, Ctrl+C and Ctrl+A copy and select in the browser, other
    // keys first move the focus to it.
    BOOL PreTranslateMessage(MSG* msg) override;

protected:
    BOOL OnInitDialog() override;
    void OnDestroy() override;

private:
    const CMetadataObject* m_metadata;
    CString m_pagePath;
    std::unique_ptr<IDescriptionBrowser> m_browser;
};

class CTitlePropertiesSheet : public CPropertySheet {
public:
    // The title (its source may be null) and the console's data folder; all borrowed.
    CTitlePropertiesSheet(const CMediaObject* title, const CSourceObject* source, const CString& dataFolder,
                          HICON icon, CWnd* parent);
    ~CTitlePropertiesSheet() override;

    CGeneralPage m_general;
    CSourcePage m_sourcePage;
    std::unique_ptr<CDescriptionPage> m_description;  // only with a description

protected:
    BOOL OnHelpInfo(HELPINFO* info) override;
};
