// The two panes of the player window above its lists: the title's cover (CThumbnailPane,
// window name "Thumbnail") and a scrolling column of its metadata (CMetadataPane, window
// name "Metadata": title, subtitle, creators, format, publisher, source).
//
//     auto* pane = new CMetadataPane(title, source, dataFolder);
//     pane->CreateEx(WS_EX_CONTROLPARENT, nullptr, L"Metadata", WS_CHILD | WS_VISIBLE | WS_VSCROLL, rect, this, 0);
//
// Both borrow the title and the source; the player window keeps them alive while the
// panes live, and deletes the panes with itself.
#pragma once

#include "AfxWin.h"

#include <memory>
#include <vector>

class CMediaObject;
class CSourceObject;
namespace Gdiplus {
class Bitmap;
}

// Flags of a metadata field.
constexpr UINT kFieldHeading = 1;  // the heading font
constexpr UINT kFieldGap = 2;      // 8 pixels before the field
constexpr UINT kFieldSmallGap = 4; // 5 pixels before the field (the larger gap wins)
constexpr int kFieldHeight = 16;
constexpr int kFieldLabelWidth = 75;
constexpr int kScrollLine = 25;

// A creator's role as its label: the first letter a capital, ":" at the end (once).
CString FieldLabelText(const CString& role);
// Where a field goes in the running rectangle (whose top moves past it): the label's and
// the value's rectangles; without a label the value takes the whole width.
struct FieldPlacement {
    CRect label;  // empty without a label
    CRect value;
};
FieldPlacement PlaceField(CRect& running, bool hasLabel, UINT flags);
// A page of scrolling: the client height cut down to whole lines.
int ScrollPageSize(int clientHeight);
// The cover's rectangle in a client area of width x height: the full width at the image's
// proportions, or, when that is too tall, the full height centred across. Empty for an
// image or area without size.
CRect FitCoverRect(int width, int height, int imageWidth, int imageHeight);

class CMetadataPane : public CWnd {
public:
    CMetadataPane(const CMediaObject* title, const CSourceObject* source, const CString& dataFolder);
    ~CMetadataPane() override;

    // Appends a field (nothing when label and value are both empty).
    void AddField(const CString& label, const CString& value, CRect& running, UINT flags);
    // The fields' windows in the order added (label statics before their values).
    const std::vector<CStatic*>& Fields() const { return m_fields; }
    int GetScrollMax() const { return m_scrollMax; }

protected:
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnDestroy() override;
    void PostNcDestroy() override { delete this; }
    void OnVScroll(UINT code, UINT pos, CWnd* scrollBar) override;
    HBRUSH OnCtlColor(CDC* dc, CWnd* wnd, UINT ctlColor) override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    BOOL OnHelpInfo(HELPINFO*) override { return TRUE; }
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    void SetScrollRange();
    void ScrollTo(int position);

    const CMediaObject* m_title;
    const CSourceObject* m_source;
    CString m_dataFolder;
    std::vector<CStatic*> m_fields;  // owned
    CFont m_normalFont;
    CFont m_headingFont;
    CBrush m_background;
    int m_bottom = 0;  // the bottom of the last field, in unscrolled coordinates
    int m_scrollMax = 0;
    int m_scrollPos = 0;
};

class CThumbnailPane : public CWnd {
public:
    CThumbnailPane(const CMediaObject* title, const CString& dataFolder);
    ~CThumbnailPane() override;

    // The file the picture came from; empty when the built-in picture is shown (or none).
    const CString& GetImagePath() const { return m_imagePath; }
    bool HasImage() const { return m_image != nullptr; }
    const CRect& GetDrawRect() const { return m_drawRect; }

protected:
    int OnCreate(LPCREATESTRUCTW cs) override;
    void OnSize(UINT type, int cx, int cy) override;
    void PostNcDestroy() override { delete this; }
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnPaint() override;
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    void Fit();

    const CMediaObject* m_title;
    CString m_dataFolder;
    CString m_imagePath;
    std::unique_ptr<Gdiplus::Bitmap> m_image;
    CRect m_drawRect;
    CBrush m_background;
};

// The cover picture of a title: its cover file, else its thumbnail file in the data folder;
// empty when neither exists.
CString FindTitlePicture(const CMediaObject& title, const CString& dataFolder);
