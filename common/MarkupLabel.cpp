#include "MarkupLabel.h"

#include "DC.h"

#include <cwchar>
#include <cwctype>
#include <vector>

IMPLEMENT_DYNAMIC(CMarkupLabel, CStatic)

namespace {

struct NamedColour {
    const wchar_t* name;
    COLORREF value;
};

const NamedColour kColours[] = {
    {L"AliceBlue", RGB(0xF0, 0xF8, 0xFF)},
    {L"AntiqueWhite", RGB(0xFA, 0xEB, 0xD7)},
    {L"Aqua", RGB(0x00, 0xFF, 0xFF)},
    {L"Aquamarine", RGB(0x7F, 0xFF, 0xD4)},
    {L"Azure", RGB(0xF0, 0xFF, 0xFF)},
    {L"Beige", RGB(0xF5, 0xF5, 0xDC)},
    {L"Bisque", RGB(0xFF, 0xE4, 0xC4)},
    {L"Black", RGB(0x00, 0x00, 0x00)},
    {L"BlanchedAlmond", RGB(0xFF, 0xFF, 0xCD)},
    {L"Blue", RGB(0x00, 0x00, 0xFF)},
    {L"BlueViolet", RGB(0x8A, 0x2B, 0xE2)},
    {L"Brown", RGB(0xA5, 0x2A, 0x2A)},
    {L"Burlywood", RGB(0xDE, 0xB8, 0x87)},
    {L"CadetBlue", RGB(0x5F, 0x9E, 0xA0)},
    {L"Chartreuse", RGB(0x7F, 0xFF, 0x00)},
    {L"Chocolate", RGB(0xD2, 0x69, 0x1E)},
    {L"Coral", RGB(0xFF, 0x7F, 0x50)},
    {L"CornflowerBlue", RGB(0x64, 0x95, 0xED)},
    {L"Cornsilk", RGB(0xFF, 0xF8, 0xDC)},
    {L"Crimson", RGB(0xDC, 0x14, 0x3C)},
    {L"Cyan", RGB(0x00, 0xFF, 0xFF)},
    {L"DarkBlue", RGB(0x00, 0x00, 0x8B)},
    {L"DarkCyan", RGB(0x00, 0x8B, 0x8B)},
    {L"DarkGoldenRod", RGB(0xB8, 0x86, 0x0B)},
    {L"DarkGray", RGB(0xA9, 0xA9, 0xA9)},
    {L"DarkGreen", RGB(0x00, 0x64, 0x00)},
    {L"DarkKhaki", RGB(0xBD, 0xB7, 0x6B)},
    {L"DarkMagenta", RGB(0x8B, 0x00, 0x8B)},
    {L"DarkOliveGreen", RGB(0x55, 0x6B, 0x2F)},
    {L"DarkOrange", RGB(0xFF, 0x8C, 0x00)},
    {L"DarkOrchid", RGB(0x99, 0x32, 0xCC)},
    {L"DarkRed", RGB(0x8B, 0x00, 0x00)},
    {L"DarkSalmon", RGB(0xE9, 0x96, 0x7A)},
    {L"DarkSeaGreen", RGB(0x8F, 0xBC, 0x8F)},
    {L"DarkSlateBlue", RGB(0x48, 0x3D, 0x8B)},
    {L"DarkSlateGray", RGB(0x2F, 0x4F, 0x4F)},
    {L"DarkTurquoise", RGB(0x00, 0xCE, 0xD1)},
    {L"DarkViolet", RGB(0x94, 0x00, 0xD3)},
    {L"DeepPink", RGB(0xFF, 0x14, 0x93)},
    {L"DeepSkyBlue", RGB(0x00, 0xBF, 0xFF)},
    {L"DimGray", RGB(0x69, 0x69, 0x69)},
    {L"DodgerBlue", RGB(0x1E, 0x90, 0xFF)},
    {L"FireBrick", RGB(0xB2, 0x22, 0x22)},
    {L"FloralWhite", RGB(0xFF, 0xFA, 0xF0)},
    {L"ForestGreen", RGB(0x22, 0x8B, 0x22)},
    {L"Fuchsia", RGB(0xFF, 0x00, 0xFF)},
    {L"Gainsboro", RGB(0xDC, 0xDC, 0xDC)},
    {L"GhostWhite", RGB(0xF8, 0xF8, 0xFF)},
    {L"Gold", RGB(0xFF, 0xD7, 0x00)},
    {L"GoldenRod", RGB(0xDA, 0xA5, 0x20)},
    {L"Gray", RGB(0x7F, 0x7F, 0x7F)},
    {L"Green", RGB(0x00, 0x80, 0x00)},
    {L"GreenYellow", RGB(0xAD, 0xFF, 0x2F)},
    {L"HoneyDew", RGB(0xF0, 0xFF, 0xF0)},
    {L"HotPink", RGB(0xFF, 0x69, 0xB4)},
    {L"IndianRed", RGB(0xCD, 0x5C, 0x5C)},
    {L"Indigo", RGB(0x4B, 0x00, 0x82)},
    {L"Ivory", RGB(0xFF, 0xFF, 0xF0)},
    {L"Khaki", RGB(0xF0, 0xE6, 0x8C)},
    {L"Lavender", RGB(0xE6, 0xE6, 0xFA)},
    {L"LavenderBlush", RGB(0xFF, 0xF0, 0xF5)},
    {L"Lawngreen", RGB(0x7C, 0xFC, 0x00)},
    {L"LemonChiffon", RGB(0xFF, 0xFA, 0xCD)},
    {L"LightBlue", RGB(0xAD, 0xD8, 0xE6)},
    {L"LightCoral", RGB(0xF0, 0x80, 0x80)},
    {L"LightCyan", RGB(0xE0, 0xFF, 0xFF)},
    {L"LightGoldenRodYellow", RGB(0xFA, 0xFA, 0xD2)},
    {L"LightGreen", RGB(0x90, 0xEE, 0x90)},
    {L"LightGrey", RGB(0xD3, 0xD3, 0xD3)},
    {L"LightPink", RGB(0xFF, 0xB6, 0xC1)},
    {L"LightSalmon", RGB(0xFF, 0xA0, 0x7A)},
    {L"LightSeaGreen", RGB(0x20, 0xB2, 0xAA)},
    {L"LightSkyBlue", RGB(0x87, 0xCE, 0xFA)},
    {L"LightSlateGray", RGB(0x77, 0x88, 0x99)},
    {L"LightSteelBlue", RGB(0xB0, 0xC4, 0xDE)},
    {L"LightYellow", RGB(0xFF, 0xFF, 0xE0)},
    {L"Lime", RGB(0x00, 0xFF, 0x00)},
    {L"LimeGreen", RGB(0x32, 0xCD, 0x32)},
    {L"Linen", RGB(0xFA, 0xF0, 0xE6)},
    {L"Magenta", RGB(0xFF, 0x00, 0xFF)},
    {L"Maroon", RGB(0x80, 0x00, 0x00)},
    {L"MediumAquamarine", RGB(0x66, 0xCD, 0xAA)},
    {L"MediumBlue", RGB(0x00, 0x00, 0xCD)},
    {L"MediumOrchid", RGB(0xBA, 0x55, 0xD3)},
    {L"MediumPurple", RGB(0x93, 0x70, 0xDB)},
    {L"MediumSeaGreen", RGB(0x3C, 0xB3, 0x71)},
    {L"MediumSlateBlue", RGB(0x7B, 0x68, 0xEE)},
    {L"MediumSpringGreen", RGB(0x00, 0xFA, 0x9A)},
    {L"MediumTurquoise", RGB(0x48, 0xD1, 0xCC)},
    {L"MediumVioletRed", RGB(0xC7, 0x15, 0x85)},
    {L"MidnightBlue", RGB(0x19, 0x19, 0x70)},
    {L"MintCream", RGB(0xF5, 0xFF, 0xFA)},
    {L"MistyRose", RGB(0xFF, 0xE4, 0xE1)},
    {L"Moccasin", RGB(0xFF, 0xE4, 0xB5)},
    {L"NavajoWhite", RGB(0xFF, 0xDE, 0xAD)},
    {L"Navy", RGB(0x00, 0x00, 0x80)},
    {L"OldLace", RGB(0xFD, 0xF5, 0xE6)},
    {L"Olive", RGB(0x80, 0x80, 0x00)},
    {L"OliveDrab", RGB(0x6B, 0x8E, 0x23)},
    {L"Orange", RGB(0xFF, 0xA5, 0x00)},
    {L"OrangeRed", RGB(0xFF, 0x45, 0x00)},
    {L"Orchid", RGB(0xDA, 0x70, 0xD6)},
    {L"PaleGoldenRod", RGB(0xEE, 0xE8, 0xAA)},
    {L"PaleGreen", RGB(0x98, 0xFB, 0x98)},
    {L"PaleTurquoise", RGB(0xAF, 0xEE, 0xEE)},
    {L"PaleVioletRed", RGB(0xDB, 0x70, 0x93)},
    {L"PapayaWhip", RGB(0xFF, 0xEF, 0xD5)},
    {L"PeachPuff", RGB(0xFF, 0xDA, 0xB9)},
    {L"Peru", RGB(0xCD, 0x85, 0x3F)},
    {L"Pink", RGB(0xFF, 0xC0, 0xCB)},
    {L"Plum", RGB(0xDD, 0xA0, 0xDD)},
    {L"PowderBlue", RGB(0xB0, 0xE0, 0xE6)},
    {L"Purple", RGB(0x80, 0x00, 0x80)},
    {L"Red", RGB(0xFF, 0x00, 0x00)},
    {L"RosyBrown", RGB(0xBC, 0x8F, 0x8F)},
    {L"RoyalBlue", RGB(0x41, 0x69, 0xE1)},
    {L"SaddleBrown", RGB(0x8B, 0x45, 0x13)},
    {L"Salmon", RGB(0xFA, 0x80, 0x72)},
    {L"SandyBrown", RGB(0xF4, 0xA4, 0x60)},
    {L"SeaGreen", RGB(0x2E, 0x8B, 0x57)},
    {L"SeaShell", RGB(0xFF, 0xF5, 0xEE)},
    {L"Sienna", RGB(0xA0, 0x52, 0x2D)},
    {L"Silver", RGB(0xC0, 0xC0, 0xC0)},
    {L"SkyBlue", RGB(0x87, 0xCE, 0xEB)},
    {L"SlateBlue", RGB(0x6A, 0x5A, 0xCD)},
    {L"SlateGray", RGB(0x70, 0x80, 0x90)},
    {L"Snow", RGB(0xFF, 0xFA, 0xFA)},
    {L"SpringGreen", RGB(0x00, 0xFF, 0x7F)},
    {L"SteelBlue", RGB(0x46, 0x82, 0xB4)},
    {L"Tan", RGB(0xD2, 0xB4, 0x8C)},
    {L"Teal", RGB(0x00, 0x80, 0x80)},
    {L"Thistle", RGB(0xD8, 0xBF, 0xD8)},
    {L"Tomato", RGB(0xFF, 0x63, 0x47)},
    {L"Turquoise", RGB(0x40, 0xE0, 0xD0)},
    {L"Violet", RGB(0xEE, 0x82, 0xEE)},
    {L"Wheat", RGB(0xF5, 0xDE, 0xB3)},
    {L"White", RGB(0xFF, 0xFF, 0xFF)},
    {L"WhiteSmoke", RGB(0xF5, 0xF5, 0xF5)},
    {L"Yellow", RGB(0xFF, 0xFF, 0x00)},
    {L"YellowGreen", RGB(0x8B, 0xCD, 0x32)},
};

struct Entity {
    const wchar_t* name;
    wchar_t character;
};

// In replacement order; the code of entry i is i + 2.
const Entity kEntities[] = {
    {L"&amp;", L'&'},    {L"&bull;", 0x2022}, {L"&copy;", 0x00A9},   {L"&euro;", 0x20AC},  {L"&gt;", L'>'},
    {L"&iquest;", 0x00BF}, {L"&lt;", L'<'},  {L"&nbsp;", L' '},      {L"&para;", 0x00B6},  {L"&pound;", 0x00A3},
    {L"&quot;", L'"'},   {L"&reg;", 0x00AE},  {L"&trade;", 0x2122},
};
constexpr wchar_t kEntityMark = 0x0001;

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

int DecimalPart(const CString& text)
{
    const long value = std::wcstol(text, nullptr, 10);
    return value < 0 ? 0 : (value > 255 ? 255 : static_cast<int>(value));
}

}  // namespace

// --- Colours ---

CMarkupColor::CMarkupColor(const wchar_t* text)
{
    const CString value(text);
    const int comma = value.Find(L',');
    if (comma >= 0) {
        const int second = value.Find(L',', comma + 1);
        const int red = DecimalPart(value.Left(comma));
        const int green = DecimalPart(second >= 0 ? value.Mid(comma + 1, second - comma - 1) : value.Mid(comma + 1));
        const int blue = second >= 0 ? DecimalPart(value.Mid(second + 1)) : 0;
        m_value = RGB(red, green, blue);
    } else if (value.Find(L'#') >= 0) {
        SetFromHexText(value);
    } else {
        for (const NamedColour& colour : kColours) {
            if (value.CompareNoCase(colour.name) == 0) {
                m_value = colour.value;
                break;
            }
        }
    }
}

void CMarkupColor::SetFromHexText(const wchar_t* text)
{
    m_value = RGB(0, 0, 0);
    if (!text || wcslen(text) != 7 || text[0] != L'#')
        return;
    int digits[6];
    for (int i = 0; i < 6; ++i) {
        digits[i] = HexDigit(text[i + 1]);
        if (digits[i] < 0)
            return;
    }
    m_value = RGB(digits[0] * 16 + digits[1], digits[2] * 16 + digits[3], digits[4] * 16 + digits[5]);
}

CString CMarkupColor::GetText() const
{
    CString text;
    text.Format(L"#%02X%02X%02X", GetRValue(m_value), GetGValue(m_value), GetBValue(m_value));
    return text;
}

CString CMarkupColor::GetName() const
{
    for (const NamedColour& colour : kColours) {
        if (colour.value == m_value)
            return CString(colour.name);
    }
    return CString(L"not defined");
}

// --- Text ---

CString ReplaceMarkupEntities(const CString& text)
{
    CString result = text;
    wchar_t code = 2;
    for (const Entity& entity : kEntities) {
        const wchar_t pair[3] = {kEntityMark, code++, 0};
        result.Replace(entity.name, pair);
    }
    return result;
}

CString EscapeMarkupText(const CString& text)
{
    CString result;
    const int length = text.GetLength();
    for (int i = 0; i < length; ++i) {
        switch (text[i]) {
        case L'&': result += L"&amp;"; break;
        case L'<': result += L"&lt;"; break;
        case L'>': result += L"&gt;"; break;
        default: result += text[i];
        }
    }
    return result;
}

CString DecodeMarkupText(const CString& text)
{
    CString result;
    const int length = text.GetLength();
    for (int i = 0; i < length; ++i) {
        if (text[i] == kEntityMark && i + 1 < length) {
            const int index = text[++i] - 2;
            const bool known = index >= 0 && index < static_cast<int>(sizeof kEntities / sizeof kEntities[0]);
            result += known ? kEntities[index].character : L' ';
        } else {
            result += text[i];
        }
    }
    return result;
}

namespace {

bool StartsWithNoCase(const wchar_t* text, const wchar_t* prefix)
{
    return _wcsnicmp(text, prefix, wcslen(prefix)) == 0;
}

void Bigger(LONG& height) { height = height <= 0 ? height - 1 : height + 1; }
void Smaller(LONG& height)
{
    if (height < 0)
        ++height;
    else if (height > 0)
        --height;
}

// The attributes of a <FONT ...> tag (the text between "<FONT" and ">").
struct FontAttributes {
    bool hasColor = false, hasBackground = false, hasFace = false, hasSize = false;
    CString color, background, face;
    int size = 0;
};

FontAttributes ReadFontAttributes(const CString& attributes)
{
    FontAttributes read;
    const wchar_t* p = attributes;
    for (;;) {
        while (*p == L' ' || *p == L'\t')
            ++p;
        if (!*p)
            break;
        static const wchar_t* const names[] = {L"BGCOLOR", L"COLOR", L"FACE", L"SIZE"};
        int which = -1;
        for (int i = 0; i < 4 && which < 0; ++i) {
            const size_t n = wcslen(names[i]);
            if (_wcsnicmp(p, names[i], n) == 0 && !iswalnum(p[n]))
                which = i;
        }
        if (which < 0) {  // unknown: skipped up to the next blank
            while (*p && *p != L' ' && *p != L'\t')
                ++p;
            continue;
        }
        p += wcslen(names[which]);
        while (*p == L' ' || *p == L'=')
            ++p;
        if (*p != L'"')
            break;  // no quoted value: the list ends
        const wchar_t* start = ++p;
        while (*p && *p != L'"')
            ++p;
        if (!*p)
            break;  // an unclosed quote ends the list
        const CString value(start, static_cast<int>(p - start));
        ++p;
        switch (which) {
        case 0: read.hasBackground = true; read.background = value; break;
        case 1: read.hasColor = true; read.color = value; break;
        case 2: read.hasFace = true; read.face = value; break;
        default: read.hasSize = true; read.size = static_cast<int>(std::wcstol(value, nullptr, 10)); break;
        }
    }
    return read;
}

}  // namespace

std::vector<MarkupElement> ParseMarkup(const CString& text, const LOGFONTW& base, COLORREF textColor,
                                       COLORREF background)
{
    std::vector<MarkupElement> elements;
    MarkupElement state{};
    state.font = base;
    state.textColor = textColor;
    state.background = background;
    state.ruleThickness = 2;
    bool sizeChanged = false;
    auto emit = [&](MarkupElement::Kind kind, const CString& run, bool rule) {
        MarkupElement element = state;
        element.kind = kind;
        element.text = run;
        element.rule = rule;
        elements.push_back(element);
    };
    auto count = [](int& counter, bool open) {
        if (open)
            ++counter;
        else if (counter > 0)
            --counter;
    };

    const wchar_t* p = text;
    while (*p) {
        // A tag is recognised only when a ">" closes it; otherwise its "<" is text.
        const wchar_t* close = *p == L'<' ? wcschr(p, L'>') : nullptr;
        bool tag = close != nullptr;
        if (tag) {
            if (StartsWithNoCase(p, L"<B>")) count(state.bold, true);
            else if (StartsWithNoCase(p, L"</B>")) count(state.bold, false);
            else if (StartsWithNoCase(p, L"<I>")) count(state.italic, true);
            else if (StartsWithNoCase(p, L"</I>")) count(state.italic, false);
            else if (StartsWithNoCase(p, L"<U>")) count(state.underline, true);
            else if (StartsWithNoCase(p, L"</U>")) count(state.underline, false);
            else if (StartsWithNoCase(p, L"<STRIKE>")) count(state.strike, true);
            else if (StartsWithNoCase(p, L"</STRIKE>")) count(state.strike, false);
            else if (StartsWithNoCase(p, L"<BIG>") || StartsWithNoCase(p, L"</SMALL>")) Bigger(state.font.lfHeight);
            else if (StartsWithNoCase(p, L"</BIG>") || StartsWithNoCase(p, L"<SMALL>")) Smaller(state.font.lfHeight);
            else if (StartsWithNoCase(p, L"<SUB>")) count(state.subscript, true);
            else if (StartsWithNoCase(p, L"</SUB>")) count(state.subscript, false);
            else if (StartsWithNoCase(p, L"<SUP>")) count(state.superscript, true);
            else if (StartsWithNoCase(p, L"</SUP>")) count(state.superscript, false);
            else if (StartsWithNoCase(p, L"<FONT")) {
                const FontAttributes font = ReadFontAttributes(CString(p + 5, static_cast<int>(close - p - 5)));
                if (font.hasColor) state.textColor = CMarkupColor(font.color);
                if (font.hasBackground) state.background = CMarkupColor(font.background);
                if (font.hasFace) lstrcpynW(state.font.lfFaceName, font.face, 32);
                if (font.hasSize) {
                    state.font.lfHeight -= font.size;
                    sizeChanged = true;
                }
            } else if (StartsWithNoCase(p, L"</FONT>")) {
                state.textColor = textColor;
                state.background = background;
                state.font = base;
                if (sizeChanged)
                    emit(MarkupElement::SizeEnd, CString(), false);
                sizeChanged = false;
            } else if (StartsWithNoCase(p, L"<CODE>")) lstrcpynW(state.font.lfFaceName, L"Courier New", LF_FACESIZE);
            else if (StartsWithNoCase(p, L"</CODE>")) state.font = base;
            else if (StartsWithNoCase(p, L"<A HREF=") || StartsWithNoCase(p, L"</A>")) {
                // Links are painted as plain text; the target is not used.
            } else if (StartsWithNoCase(p, L"<HR")) {
                const wchar_t* size = p + 3;
                while (*size == L' ')
                    ++size;
                if (size < close && StartsWithNoCase(size, L"SIZE=")) {
                    const long thickness = std::wcstol(size + 5, nullptr, 10);
                    state.ruleThickness = thickness < 0 ? 0 : (thickness > 1000 ? 1000 : static_cast<int>(thickness));
                }
                emit(MarkupElement::LineBreak, CString(), true);
            } else if (StartsWithNoCase(p, L"<BR>")) emit(MarkupElement::LineBreak, CString(), false);
            else tag = false;
        }
        if (tag) {
            p = close + 1;
            continue;
        }
        // Text up to the next "<" (a "<" that starts no tag is text itself).
        const wchar_t* end = wcschr(p + 1, L'<');
        if (!end)
            end = p + wcslen(p);
        emit(MarkupElement::Text, CString(p, static_cast<int>(end - p)), false);
        p = end;
    }
    return elements;
}

// --- The word wrapper ---

int WrapMarkupText(const CString& text, RECT& rect, int position, int& line, int lineHeight,
                   const std::function<int(const CString&)>& width,
                   const std::function<void(int x, int y, const CString&)>& draw)
{
    if (rect.top >= rect.bottom - 1)
        return position;
    // Words up to and including a blank; a line feed ends a word and the line.
    struct Word {
        CString text;
        bool forcesEnd;
    };
    std::vector<Word> words;
    {
        CString current;
        const int length = text.GetLength();
        for (int i = 0; i < length; ++i) {
            const wchar_t c = text[i];
            if (c == L'\r')
                continue;
            if (c == L'\n') {
                words.push_back({current + L" ", true});
                current.Empty();
                continue;
            }
            if (c == kEntityMark && i + 1 < length) {
                current += DecodeMarkupText(text.Mid(i, 2));
                ++i;
                continue;
            }
            current += c;
            if (c == L' ') {
                words.push_back({current, false});
                current.Empty();
            }
        }
        if (!current.IsEmpty())
            words.push_back({current, false});
    }

    const int available = rect.right - rect.left;
    int right = position;
    size_t next = 0;
    while (next < words.size()) {
        CString run;
        bool forced = false;
        // Fill one line.
        while (next < words.size()) {
            CString word = words[next].text;
            if (run.IsEmpty() && position == 0) {
                word.TrimLeft(L' ');
                if (word.IsEmpty() && !words[next].forcesEnd) {
                    ++next;
                    continue;
                }
            }
            const CString candidate = run + word;
            const bool fits = width(candidate) < available - position - 2;
            if (!fits && !run.IsEmpty())
                break;  // the word starts the next line
            run = candidate;
            forced = words[next].forcesEnd;
            ++next;
            if (!fits || forced)
                break;  // a word wider than the line stands alone
        }
        if (line <= rect.bottom - lineHeight)
            draw(rect.left + position, line, run);
        right = position + width(run);
        if (next < words.size() || forced) {
            line += lineHeight;
            position = 0;
            right = 0;
        }
    }
    rect.top = line > rect.bottom - lineHeight ? rect.bottom : line;
    return right;
}

// --- The label ---

namespace {

// Draws a run with each character at the place its measured extent gives it, so the next run
// starts right after it: left to itself, the system may set the characters closer than it
// measures them (Wine does), which leaves a gap after every run, around each bold word.
void DrawRun(CDC& dc, int x, int y, const CString& run)
{
    const int length = run.GetLength();
    if (length <= 0)
        return;
    std::vector<INT> ends(static_cast<size_t>(length));
    INT fit = 0;
    SIZE size{};
    if (!::GetTextExtentExPointW(dc.m_hDC, run, length, 0, &fit, ends.data(), &size)) {
        dc.TextOut(x, y, run);
        return;
    }
    std::vector<INT> advances(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i)
        advances[static_cast<size_t>(i)] = ends[static_cast<size_t>(i)] - (i > 0 ? ends[static_cast<size_t>(i) - 1] : 0);
    ::ExtTextOutW(dc.m_hDC, x, y, 0, nullptr, run, static_cast<UINT>(length), advances.data());
}

}  // namespace

CMarkupLabel::CMarkupLabel() { Reset(); }

CMarkupLabel::~CMarkupLabel() { Reset(); }

void CMarkupLabel::Reset()
{
    m_background = GetSysColor(COLOR_BTNFACE);
    m_textColor = GetSysColor(COLOR_WINDOWTEXT);
    m_ruleThickness = 2;
}

void CMarkupLabel::SetText(const wchar_t* text)
{
    Reset();
    if (m_hWnd) {
        SetWindowText(text);
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

COLORREF CMarkupLabel::SetBackgroundColor(const wchar_t* colorText) { return SetBackgroundColor(CMarkupColor(colorText).GetColor()); }

COLORREF CMarkupLabel::SetBackgroundColor(COLORREF color)
{
    const COLORREF old = m_background;
    m_background = color;
    return old;
}

COLORREF CMarkupLabel::SetTextColor(const wchar_t* colorText) { return SetTextColor(CMarkupColor(colorText).GetColor()); }

COLORREF CMarkupLabel::SetTextColor(COLORREF color)
{
    const COLORREF old = m_textColor;
    m_textColor = color;
    return old;
}

void CMarkupLabel::SetLogFont(const LOGFONTW& font)
{
    m_ownFont = font;
    m_hasOwnFont = true;
}

void CMarkupLabel::SetMargins(int left, int right)
{
    m_leftMargin = left;
    m_rightMargin = right;
}

void CMarkupLabel::OnPaint()
{
    CPaintDC dc(this);
    Paint(dc);
}

BOOL CMarkupLabel::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_UPDATEUISTATE) {
        *result = Default();
        CClientDC dc(this);
        Paint(dc);
        return TRUE;
    }
    return CStatic::OnWndMsg(message, wParam, lParam, result);
}

std::vector<CMarkupLabel::DrawnRun> CMarkupLabel::LayOut()
{
    std::vector<DrawnRun> runs;
    CClientDC dc(this);
    Paint(dc, &runs);
    return runs;
}

void CMarkupLabel::Paint(CDC& dc, std::vector<DrawnRun>* runs)
{
    const CString text = ReplaceMarkupEntities(GetWindowText());
    CRect client;
    GetClientRect(&client);
    if (runs)
        client.bottom = client.top + 0x10000;  // every line
    else
        dc.FillSolidRect(client, m_background);

    LOGFONTW base{};
    if (m_hasOwnFont) {
        base = m_ownFont;
    } else {
        HFONT font = GetFont();
        if (!font || !GetObjectW(font, sizeof base, &base))
            GetObjectW(GetStockObject(SYSTEM_FONT), sizeof base, &base);
    }
    const int saved = dc.SaveDC();
    dc.SelectObject(GetFont() ? static_cast<HGDIOBJ>(GetFont()) : GetStockObject(SYSTEM_FONT));
    TEXTMETRICW metrics{};
    dc.GetTextMetrics(&metrics);

    CRect area = client;
    area.left += m_leftMargin;
    area.right -= m_rightMargin;
    int line = area.top;
    int position = 0;
    for (const MarkupElement& element : ParseMarkup(text, base, m_textColor, m_background)) {
        if (element.kind == MarkupElement::SizeEnd) {
            line += metrics.tmDescent;  // the font last read: the last element's
            continue;
        }
        LOGFONTW font = element.font;
        font.lfWeight = element.bold > 0 ? FW_BOLD : FW_NORMAL;
        font.lfItalic = element.italic > 0;
        font.lfUnderline = element.underline > 0;
        font.lfStrikeOut = element.strike > 0;
        CFont drawn;
        drawn.CreateFontIndirect(&font);
        dc.SelectObject(static_cast<HGDIOBJ>(drawn));
        m_font.Attach(drawn.Detach());  // the label keeps the font it drew with
        dc.SetTextColor(element.textColor);
        dc.SetBkColor(element.background);
        dc.GetTextMetrics(&metrics);
        const int shift = element.subscript > 0 ? metrics.tmAscent / 2 : (element.superscript > 0 ? -metrics.tmAscent / 2 : 0);
        if (element.kind == MarkupElement::Text) {
            area.top = line;
            position = WrapMarkupText(
                element.text, area, position, line, metrics.tmHeight,
                [&](const CString& run) { return dc.GetTextExtent(run).cx; },
                [&](int x, int y, const CString& run) {
                    if (runs)
                        runs->push_back({run, {x, y + shift, x + dc.GetTextExtent(run).cx, y + shift + metrics.tmHeight},
                                         element.bold > 0});
                    else
                        DrawRun(dc, x, y + shift, run);
                });
        } else {
            line += metrics.tmHeight;
            position = 0;
        }
        if (element.rule) {
            CRect rule(client.left, line, client.right, line + element.ruleThickness);
            if (!runs)
                dc.FillSolidRect(rule, element.textColor);
            line += element.ruleThickness;
            position = 0;
        }
    }
    dc.RestoreDC(saved);
}
