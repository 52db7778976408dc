// The markup label: colour texts and names, entities, the tag scanner's elements, the word
// wrapper on a fixed-width measure, a picture with every tag, and the gap at a bold word.
#include "MarkupLabel.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(MarkupColor, ColourTexts)
{
    const struct {
        const wchar_t* text;
        COLORREF value;
    } cases[] = {
        {L"255, 0, 0", RGB(255, 0, 0)}, {L"#FF0000", RGB(255, 0, 0)}, {L"Red", RGB(255, 0, 0)},
        {L"rEd", RGB(255, 0, 0)},       {L"RED", RGB(255, 0, 0)},     {L"#ff8000", RGB(255, 128, 0)},
        {L"#FF000", 0},                 {L"#FF00000", 0},             {L"#GG0000", 0},
        {L" #FF0000", 0},               {L"no such colour", 0},       {L"10,20", RGB(10, 20, 0)},
        {L"300, -5, 256", RGB(255, 0, 255)},  // parts outside 0..255 are clamped
        {L"Gray", RGB(0x7F, 0x7F, 0x7F)},     {L"YellowGreen", RGB(0x8B, 0xCD, 0x32)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.value, CMarkupColor(c.text).GetColor()) << CString(c.text).ToNarrow();
}

TEST(MarkupColor, NamesAndHexText)
{
    EXPECT_EQ(CMarkupColor(L"Aqua").GetColor(), CMarkupColor(L"Cyan").GetColor());
    EXPECT_EQ(CString(L"Aqua"), CMarkupColor(L"Cyan").GetName());
    EXPECT_EQ(CString(L"Fuchsia"), CMarkupColor(L"magenta").GetName());
    EXPECT_EQ(CString(L"not defined"), CMarkupColor(RGB(1, 2, 3)).GetName());
    EXPECT_EQ(CString(L"#FF8000"), CMarkupColor(RGB(255, 128, 0)).GetText());
    CMarkupColor colour(RGB(9, 9, 9));
    colour.SetFromHexText(L"#0A0B0C");
    EXPECT_EQ(RGB(10, 11, 12), colour.GetColor());
    colour.SetFromHexText(L"0A0B0C");
    EXPECT_EQ(0u, colour.GetColor());
}

TEST(MarkupText, Entities)
{
    const struct {
        const wchar_t* text;
        const wchar_t* shown;
    } cases[] = {
        {L"&amp;lt;", L"&lt;"},  // an escaped entity stays as written
        {L"a &lt;b&gt; &quot;c&quot;", L"a <b> \"c\""},
        {L"&copy;&reg;&trade;&euro;&pound;&para;&bull;&iquest;", L"\u00A9\u00AE\u2122\u20AC\u00A3\u00B6\u2022\u00BF"},
        {L"x&nbsp;y", L"x y"},
        {L"&AMP; &unknown;", L"&AMP; &unknown;"},  // case-sensitive; unknown names stay
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.shown), DecodeMarkupText(ReplaceMarkupEntities(c.text))) << CString(c.text).ToNarrow();
    const wchar_t unknownCode[] = {0x0001, 0x0050, L'x', 0};
    EXPECT_EQ(CString(L" x"), DecodeMarkupText(unknownCode));
}

LOGFONTW BaseFont()
{
    LOGFONTW font{};
    font.lfHeight = -12;
    lstrcpyW(font.lfFaceName, L"Tahoma");
    return font;
}

std::vector<MarkupElement> Parse(const wchar_t* text)
{
    return ParseMarkup(ReplaceMarkupEntities(text), BaseFont(), RGB(0, 0, 0), RGB(255, 255, 255));
}

TEST(MarkupText, TagsBecomeStyledElements)
{
    auto texts = [](const std::vector<MarkupElement>& elements) {
        std::vector<CString> out;
        for (const auto& e : elements)
            out.push_back(e.kind == MarkupElement::Text ? e.text : (e.kind == MarkupElement::LineBreak ? CString(L"|") : CString(L"^")));
        return out;
    };
    // An unknown tag is text from its "<"; a tag without ">" is text too.
    EXPECT_EQ((std::vector<CString>{L"<P>para"}), texts(Parse(L"<P>para")));
    EXPECT_EQ((std::vector<CString>{L"a", L"<FONT COLOR=\"red\""}), texts(Parse(L"a<FONT COLOR=\"red\"")));
    EXPECT_EQ((std::vector<CString>{L"x ", L"< y"}), texts(Parse(L"x <b>< y")));

    auto bold = Parse(L"<B><b>a</B>b</B>c</B>d");
    ASSERT_EQ(4u, bold.size());
    EXPECT_EQ(2, bold[0].bold);
    EXPECT_EQ(1, bold[1].bold);
    EXPECT_EQ(0, bold[2].bold);
    EXPECT_EQ(0, bold[3].bold);  // closing more than was opened does not go below 0

    for (const wchar_t* red : {L"<FONT COLOR=\"255, 0, 0\">r", L"<font color=\"#FF0000\">r", L"<FONT COLOR=\"rED\">r"}) {
        auto e = Parse(red);
        ASSERT_EQ(1u, e.size());
        EXPECT_EQ(RGB(255, 0, 0), e[0].textColor) << CString(red).ToNarrow();
    }
    auto font = Parse(L"<FONT BGCOLOR=\"Navy\" FACE=\"Arial\" SIZE=\"3\" BOGUS=1>a</FONT>b");
    ASSERT_EQ(3u, font.size());
    EXPECT_EQ(RGB(0, 0, 0x80), font[0].background);
    EXPECT_EQ(CString(L"Arial"), CString(font[0].font.lfFaceName));
    EXPECT_EQ(-15, font[0].font.lfHeight);
    EXPECT_EQ(MarkupElement::SizeEnd, font[1].kind);  // the line moves down after a size change
    EXPECT_EQ(-12, font[2].font.lfHeight);
    EXPECT_EQ(RGB(255, 255, 255), font[2].background);

    auto rule = Parse(L"above<HR SIZE=4>below<hr>");
    ASSERT_EQ(4u, rule.size());
    EXPECT_EQ(MarkupElement::LineBreak, rule[1].kind);
    EXPECT_TRUE(rule[1].rule);
    EXPECT_EQ(4, rule[1].ruleThickness);
    EXPECT_TRUE(rule[3].rule);

    auto mixed = Parse(L"<CODE>c</CODE><BIG>b</BIG><SMALL>s</SMALL><SUB>1</SUB><SUP>2</SUP><I><U><STRIKE>x<BR><A HREF=\"http://x\">link</A>");
    ASSERT_EQ(8u, mixed.size());
    EXPECT_EQ(CString(L"Courier New"), CString(mixed[0].font.lfFaceName));
    EXPECT_EQ(-13, mixed[1].font.lfHeight);
    EXPECT_EQ(-11, mixed[2].font.lfHeight);
    EXPECT_EQ(1, mixed[3].subscript);
    EXPECT_EQ(1, mixed[4].superscript);
    EXPECT_EQ(1, mixed[5].italic);
    EXPECT_EQ(1, mixed[5].underline);
    EXPECT_EQ(1, mixed[5].strike);
    EXPECT_EQ(MarkupElement::LineBreak, mixed[6].kind);
    EXPECT_EQ(CString(L"link"), mixed[7].text);
}

TEST(MarkupText, WordWrapOnAFixedWidthMeasure)
{
    // Ten pixels a character; the label is 100 pixels wide, lines 16 high.
    const auto width = [](const CString& run) { return run.GetLength() * 10; };
    const struct {
        const char* name;
        const wchar_t* text;
        int position;
        std::vector<CString> lines;
        int right;
    } cases[] = {
        {"words wrap", L"aaa bbb ccc ddd", 0, {L"aaa bbb ", L"ccc ddd"}, 70},
        {"a long word stands alone", L"a abcdefghijklmnop b", 0, {L"a ", L"abcdefghijklmnop ", L"b"}, 10},
        {"a line feed ends the line", L"one\ntwo", 0, {L"one ", L"two"}, 30},
        {"blanks start no line", L"   lead", 0, {L"lead"}, 40},
        {"blanks after text are kept", L" tail", 30, {L" tail"}, 80},
        {"a carriage return is skipped", L"x\r\ny", 0, {L"x ", L"y"}, 10},
    };
    for (const auto& c : cases) {
        RECT rect{0, 0, 100, 200};
        int line = 0;
        std::vector<CString> drawn;
        const int right = WrapMarkupText(c.text, rect, c.position, line, 16, width,
                                         [&](int, int y, const CString& run) {
                                             EXPECT_EQ(static_cast<int>(drawn.size()) * 16, y) << c.name;
                                             drawn.push_back(run);
                                         });
        EXPECT_EQ(c.lines, drawn) << c.name;
        EXPECT_EQ(c.right, right) << c.name;
    }
    // Nothing is drawn below the bottom.
    RECT small{0, 0, 100, 20};
    int line = 0;
    int count = 0;
    WrapMarkupText(L"aaa bbb ccc ddd eee fff", small, 0, line, 16, width, [&](int, int, const CString&) { ++count; });
    EXPECT_EQ(1, count);
    EXPECT_EQ(20, small.top);
}

TEST(MarkupLabel, PictureWithEveryTag)
{
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"Markup label", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                                CRect(100, 100, 520, 400), nullptr, 0));
    HWND item = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, 390, 250,
                                parent.m_hWnd, nullptr, nullptr, nullptr);
    SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    CMarkupLabel label;
    ASSERT_TRUE(label.SubclassWindow(item));
    label.SetText(
        L"<B>Bold</B>, <I>italic</I>, <U>underline</U>, <STRIKE>strike</STRIKE>, <BIG>bigger</BIG> and "
        L"<SMALL>smaller</SMALL> type; H<SUB>2</SUB>O and x<SUP>2</SUP>.<BR>"
        L"<FONT COLOR=\"Red\">red</FONT>, <FONT COLOR=\"0, 128, 0\">green</FONT>, "
        L"<FONT BGCOLOR=\"#FFFF00\">highlighted</FONT>, <FONT FACE=\"Times New Roman\" SIZE=\"4\">a face and size</FONT>, "
        L"<CODE>fixed pitch</CODE> and <A HREF=\"http://example.invalid\">a link</A>."
        L"<HR SIZE=3>Entities: &amp; &bull; &copy; &euro; &gt; &iquest; &lt; &para; &pound; &quot; &reg; &trade;<HR>"
        L"Long text wraps at the label's edge: the quick brown fox jumps over the lazy dog, again and again.");
    EXPECT_FALSE(testsupport::CaptureWindow(parent.m_hWnd).IsEmpty());
}

// A bold word sits at the normal word gap: the widest blank between the words of a line with
// bold words is that of the same line in plain type. Each run used to end with a gap of its
// own (the system set its characters closer than it measured them), around every bold word.
TEST(MarkupLabel, ABoldWordSitsAtTheNormalWordGap)
{
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"Markup label", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                                CRect(100, 100, 620, 200), nullptr, 0));
    HWND item = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, 490, 20,
                                parent.m_hWnd, nullptr, nullptr, nullptr);
    SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    CMarkupLabel label;
    ASSERT_TRUE(label.SubclassWindow(item));
    // The widest run of blank columns between the first and the last inked one.
    auto widestGap = [&](const wchar_t* text) {
        label.SetText(text);
        ::SetForegroundWindow(parent.m_hWnd);
        ::RedrawWindow(item, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        HDC dc = ::GetDC(item);
        const COLORREF background = ::GetPixel(dc, 489, 19);
        std::vector<bool> inked;
        for (int x = 0; x < 490; ++x) {
            bool any = false;
            for (int y = 0; y < 20 && !any; ++y)
                any = ::GetPixel(dc, x, y) != background;
            inked.push_back(any);
        }
        ::ReleaseDC(item, dc);
        int widest = 0, blank = 0;
        bool started = false;
        for (bool column : inked) {
            if (column) {
                if (started)
                    widest = std::max(widest, blank);
                started = true;
                blank = 0;
            } else {
                ++blank;
            }
        }
        return widest;
    };
    const int plain = widestGap(L"This wizard burns the title Night Crossing to audio CDs. Click Next to go on.");
    ASSERT_GT(plain, 0);
    for (const wchar_t* text : {L"This wizard burns the title <B>Night Crossing</B> to audio CDs. Click <B>Next</B> to go on.",
                                L"<B>Night Crossing</B> has been burned to 2 CDs. <I>Click</I> <U>Next</U> to go on."}) {
        SCOPED_TRACE(CString(text).ToNarrow());
        EXPECT_LE(widestGap(text), plain + 2) << "plain type: " << plain;
    }
    testsupport::CaptureWindow(parent.m_hWnd);
}

}  // namespace
