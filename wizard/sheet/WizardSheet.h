// The wizard sheet both wizards build on: a property sheet in wizard mode that reads the title
// from its playlist and order file, keeps the placeholder texts and the markup labels of its
// pages, draws the source's banner in a strip above the pages, adds Help Topics, the
// copyright notice and About to its system menu, answers a second start of the program and
// shows the caption's context help for the wizard's buttons.
//
//     class CWizardSheet : public CWizardSheetBase {
//     public:
//         CWizardSheet(const CString& playlist) : CWizardSheetBase(playlist, IDI_WIZARD, IDR_ACCELERATORS)
//         {
//             AddPage(&m_welcome);  ...  SetWizardMode();
//         }
//     protected:
//         void ShowAboutDialog() override;
//     };
#pragma once

#include "MediaObject.h"
#include "PropertySheet.h"

#include <map>
#include <memory>
#include <utility>

class CMarkupLabel;
class CWizardAppBase;

namespace Gdiplus {
class Bitmap;
}

class CWizardSheetBase : public CPropertySheet {
    DECLARE_DYNAMIC(CWizardSheetBase)
public:
    // The height of the banner strip above the pages.
    static constexpr int kBannerHeight = 50;
    // System-menu commands.
    static constexpr UINT kCommandAbout = 0x10;
    static constexpr UINT kCommandCopyright = 0x20;
    static constexpr UINT kCommandHelpTopics = 0x30;

    CWizardSheetBase(const CString& playlistPath, UINT iconId, UINT acceleratorsId, CWnd* parent = nullptr);
    ~CWizardSheetBase() override;

    // "<base file name>-PartNN.<extension>".
    CString FormatPartFileName(int partNumber, const wchar_t* extension) const;
    // The base file name made of a text: no ":*?<>|/\ or double quote, at most 50 characters
    // (cut back to the last blank), no trailing blanks or dots.
    void SetBaseFileName(const CString& text);
    static CString CleanBaseFileName(const CString& text);
    // Removes every character reference ("&#38;") from a text; an "&#" without ";" ends it.
    static CString RemoveCharacterReferences(const CString& text);

    CMapStringToString& GetPlaceholders() { return m_placeholders; }
    // The markup label of a page's item, or null.
    CMarkupLabel* FindMarkupLabel(const CWnd* page, UINT itemId) const;
    // Takes a label for a page's item (the sheet owns it).
    void AddMarkupLabel(const CWnd* page, UINT itemId, std::unique_ptr<CMarkupLabel> label);

    BOOL HasBanner() const { return m_banner != nullptr; }
    BOOL IsTitleLoaded() const { return m_titleLoaded; }

    CString m_playlistPath;
    CString m_playlistFileName;
    CString m_baseFileName;
    CString m_defaultBaseFileName;
    CString m_title;
    CString m_displayTitle;
    CString m_artist;
    CString m_bannerFilePath;   // the banner actually shown
    CString m_imagePath;        // the title's picture beside the playlist
    CString m_firstPartFileName;
    CString m_sourceId;
    CString m_bannerPath;       // the application's banner for the source id
    CString m_contentType;
    CString m_mobileMinVersion;
    CString m_mobileCurVersion;
    CMediaObject m_media;
    CSourceObject m_source;

protected:
    BOOL OnInitDialog() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
    // The Help command (F1 on the sheet and its pages): the page shown opens its own help.
    BOOL OnCmdMsg(UINT id, UINT code) override;
    void HtmlHelp(DWORD_PTR data, UINT command) override;
    BOOL PreTranslateMessage(MSG* msg) override;

    // The About dialog of the program (system-menu command 0x10).
    virtual void ShowAboutDialog() = 0;
    // After the title was read and the sheet set up: the program's own start line.
    virtual void OnTitleLoaded() {}
    // The program's "WindowPosition" setting ("top", "topmost"; anything else: none).
    virtual CString ReadWindowPosition() { return CString(); }

    CWizardAppBase* m_app = nullptr;

private:
    void LoadBanner();
    void PaintBanner();
    // The wizard button under the cursor, for the caption's context help; null when none.
    HWND WizardButtonUnderCursor() const;

    std::map<std::pair<const CWnd*, UINT>, std::unique_ptr<CMarkupLabel>> m_markupLabels;
    CMapStringToString m_placeholders;
    HICON m_icon = nullptr;
    HACCEL m_accelerators = nullptr;
    Gdiplus::Bitmap* m_banner = nullptr;
    ULONG_PTR m_gdiplusToken = 0;
    DWORD_PTR m_helpCookie = 0;
    BOOL m_contextHelp = FALSE;
    BOOL m_titleLoaded = FALSE;
};
