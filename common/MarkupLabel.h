// CMarkupLabel: a static text that paints its window text as a small subset of HTML, word
// wrapped inside the control:
//     <B> <I> <U> <STRIKE> <BIG> <SMALL> <SUB> <SUP> <CODE> <BR> <HR SIZE=n> <A HREF=...>
//     <FONT COLOR="..." BGCOLOR="..." FACE="..." SIZE="n">, and the entities &amp; &bull;
//     &copy; &euro; &gt; &iquest; &lt; &nbsp; &para; &pound; &quot; &reg; &trade;
// Pages subclass a static item with it and set texts with SetText:
//     m_intro.SubclassDlgItem(IDC_INTRO, this);  m_intro.SetText(L"<B>Ready</B> to copy<BR>...");
// CMarkupColor turns colour texts ("255, 0, 0", "#FF0000", "Red") into colour values.
#pragma once

#include "Gdi.h"
#include "Static.h"

#include <functional>
#include <vector>

class CMarkupColor {
public:
    CMarkupColor() = default;
    explicit CMarkupColor(COLORREF value) : m_value(value) {}
    // Black first; "r, g, b" (decimal, each clamped to 0..255, a missing blue is 0), else
    // exactly "#RRGGBB", else a colour name (any case); anything else stays black.
    explicit CMarkupColor(const wchar_t* text);
    COLORREF GetColor() const { return m_value; }
    operator COLORREF() const { return m_value; }
    // "#RRGGBB".
    CString GetText() const;
    // The first name of the table with this value, else "not defined".
    CString GetName() const;
    // From exactly "#" and six hexadecimal digits; anything else gives black.
    void SetFromHexText(const wchar_t* text);

private:
    COLORREF m_value = RGB(0, 0, 0);
};

// One element of a label's text as the painter draws it: a run of text or a line break,
// with the style in effect for it.
struct MarkupElement {
    enum Kind { Text, LineBreak, SizeEnd } kind;
    CString text;        // Text: entities as U+0001 pairs (see DecodeMarkupText)
    LOGFONTW font;       // the working description (weight, italic, ... not applied yet)
    int bold, italic, underline, strike, subscript, superscript;
    COLORREF textColor, background;
    int ruleThickness;   // of the pending rule
    bool rule;           // a horizontal rule follows (LineBreak of <HR>)
};

// Entities replaced by U+0001 and a code character (2 for "&amp;", 3 for "&bull;", ...).
CString ReplaceMarkupEntities(const CString& text);
// A plain text (a title, a path, a device's name) as markup that shows it as it is: "&", "<"
// and ">" become their entities.
CString EscapeMarkupText(const CString& text);
// U+0001 pairs back to their characters (an unknown code reads as a blank).
CString DecodeMarkupText(const CString& text);
// The elements of a text (entities already replaced), from the base font and colours.
std::vector<MarkupElement> ParseMarkup(const CString& text, const LOGFONTW& base, COLORREF textColor,
                                       COLORREF background);

// The word wrapper: draws text from a horizontal position inside rect, moving *line down
// as lines end; returns the right end of the last line drawn. width measures a run, draw
// draws one at (x, y). rect.top becomes the current line afterwards.
int WrapMarkupText(const CString& text, RECT& rect, int position, int& line, int lineHeight,
                   const std::function<int(const CString&)>& width,
                   const std::function<void(int x, int y, const CString&)>& draw);

class CMarkupLabel : public CStatic {
    DECLARE_DYNAMIC(CMarkupLabel)
public:
    CMarkupLabel();
    ~CMarkupLabel() override;

    // Resets the colours to the system's, sets the text and repaints at once.
    void SetText(const wchar_t* text);
    // Each returns the colour before.
    virtual COLORREF SetBackgroundColor(const wchar_t* colorText);
    virtual COLORREF SetBackgroundColor(COLORREF color);
    virtual COLORREF SetTextColor(const wchar_t* colorText);
    virtual COLORREF SetTextColor(COLORREF color);
    // The label's own font (else the window's font).
    void SetLogFont(const LOGFONTW& font);
    void SetMargins(int left, int right);

    // A run of text as the label draws it at its present size: its place, size and style.
    struct DrawnRun {
        CString text;
        RECT rect;
        bool bold;
    };
    // The runs, line by line, without drawing; lines below the label are laid out too (the
    // label does not draw them), so the last run's bottom tells whether the text fits.
    std::vector<DrawnRun> LayOut();

protected:
    void OnPaint() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void Reset();
    // Draws the text, or (runs given) lays it out only, without the label's bottom edge.
    void Paint(CDC& dc, std::vector<DrawnRun>* runs = nullptr);

    COLORREF m_background;
    COLORREF m_textColor;
    LOGFONTW m_ownFont{};
    bool m_hasOwnFont = false;
    int m_ruleThickness = 2;
    CFont m_font;
    int m_leftMargin = 0;
    int m_rightMargin = 0;
};
