#include "XmlNode.h"

#include "XmlEntities.inc"

#include <memory>

IMPLEMENT_DYNAMIC(CXmlNode, CObject)

namespace {

// The white space of XML text as the reader sees it.
constexpr wchar_t kWhiteSpace[] = L" \t\n\v\f\r";

bool IsWhite(wchar_t ch) { return ch == L' ' || (ch >= L'\t' && ch <= L'\r'); }

CString TrimWhite(CString text)
{
    text.Trim(kWhiteSpace);
    return text;
}

CMapStringToString& EntityTable()
{
    static CMapStringToString table(10);
    return table;
}

// One character for a numeric reference, as the decoder maps it; empty when the
// reference gives a blank.
CString NumericReplacement(const CString& reference)
{
    // reference is "&#...;"
    int pos = 2;
    int base = 10;
    if (reference.GetAt(2) == L'x' || reference.GetAt(2) == L'X') {
        base = 16;
        pos = 3;
    }
    unsigned long value = 0;
    bool digits = false;
    bool overflow = false;
    for (; pos < reference.GetLength(); ++pos) {
        const wchar_t ch = reference.GetAt(pos);
        int digit;
        if (ch >= L'0' && ch <= L'9')
            digit = ch - L'0';
        else if (base == 16 && ch >= L'a' && ch <= L'f')
            digit = ch - L'a' + 10;
        else if (base == 16 && ch >= L'A' && ch <= L'F')
            digit = ch - L'A' + 10;
        else
            break;
        digits = true;
        if (value > 0x10FFFF)
            overflow = true;  // keep reading the digits, the value is already out of range
        else
            value = value * static_cast<unsigned long>(base) + static_cast<unsigned long>(digit);
    }
    if (!digits || value == 0 || overflow || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return CString(L' ');
    switch (value) {
    case 150:
    case 151:
    case 8211:
    case 8212: return CString(L'-');
    case 153: return CString(static_cast<wchar_t>(0x2122));
    case 732: return CString(L'~');
    default: break;
    }
    if (value <= 255) {
        const char byte = static_cast<char>(value);
        wchar_t ch = 0;
        if (AfxMultiByteToWide(CP_ACP, &byte, 1, &ch, 1) != 1 || ch == 0)
            return CString(L' ');
        return CString(ch);
    }
    if (value > 0xFFFF) {
        // Beyond the basic plane: a surrogate pair, so the character survives intact.
        const unsigned long v = value - 0x10000;
        wchar_t pair[2] = {static_cast<wchar_t>(0xD800 + (v >> 10)), static_cast<wchar_t>(0xDC00 + (v & 0x3FF))};
        return CString(pair, 2);
    }
    return CString(static_cast<wchar_t>(value));
}

}  // namespace

void BuildEntityTable()
{
    CMapStringToString& table = EntityTable();
    table.RemoveAll();
    table.InitHashTable(331);
    for (const XmlEntity& entity : kXmlEntities)
        table.SetAt(entity.name, CString(entity.character));
}

INT_PTR GetEntityTableSize() { return EntityTable().GetCount(); }

CString DecodeXmlText(const CString& input)
{
    if (input.IsEmpty())
        return input;
    CString text(input);
    // Ampersands first, so that an escaped ampersand before "lt;" ends up as "<".
    text.Replace(L"&amp;", L"&");
    text.Replace(L"&AMP;", L"&");
    text.Replace(L"&#38;", L"&");

    const CMapStringToString& table = EntityTable();
    for (int pos = text.Find(L'&'); pos >= 0; pos = text.Find(L'&', pos + 1)) {
        const int semicolon = text.Find(L';', pos + 1);
        if (semicolon < 0)
            break;  // no reference can end after this point
        const CString candidate = text.Mid(pos, semicolon - pos + 1);
        CString replacement;
        if (candidate.GetAt(1) == L'#') {
            replacement = NumericReplacement(candidate);
        } else if (!table.Lookup(candidate, replacement)) {
            continue;
        }
        text.Replace(candidate, replacement);
    }

    text.Replace(L"<sup>TM</sup>", CString(static_cast<wchar_t>(0x2122)));
    text.Replace(L"<sup>", L"(");
    text.Replace(L"<sub>", L"(");
    text.Replace(L"</sup>", L")");
    text.Replace(L"</sub>", L")");
    return TrimWhite(text);
}

CString StripXmlProlog(const CString& document)
{
    CString text = TrimWhite(document);
    if (text.Left(5).CompareNoCase(L"<?xml") == 0) {
        const int end = text.Find(L"?>");
        text = TrimWhite(end >= 0 ? text.Mid(end + 2) : CString());
    }
    if (text.Left(9).CompareNoCase(L"<!DOCTYPE") == 0) {
        const int end = text.Find(L'>');
        text = TrimWhite(end >= 0 ? text.Mid(end + 1) : CString());
    }
    return text;
}

BOOL CXmlNode::Parse(const CString& source)
{
    auto fail = [this]() {
        m_name.Empty();
        m_attributes.RemoveAll();
        return FALSE;
    };
    const int length = source.GetLength();
    if (length < 2 || source[0] != L'<' || source[length - 1] != L'>')
        return fail();

    const int tagEnd = source.Find(L'>');
    CString startTag = source.Mid(1, tagEnd - 1);
    CString rest = source.Mid(tagEnd + 1);
    rest.TrimLeft(kWhiteSpace);
    startTag.Trim(kWhiteSpace);

    int nameEnd = 0;
    while (nameEnd < startTag.GetLength() && !IsWhite(startTag[nameEnd]) && startTag[nameEnd] != L'/')
        ++nameEnd;
    CString name = startTag.Left(nameEnd);
    if (name.IsEmpty())
        return fail();
    m_name = name;
    m_attributes.RemoveAll();

    CString remainder = startTag.Mid(nameEnd);
    remainder.TrimLeft(kWhiteSpace);
    while (!remainder.IsEmpty()) {
        if (remainder == L"/") {
            // An empty element: nothing may follow its tag.
            if (!rest.IsEmpty())
                return fail();
            return TRUE;
        }
        const int equals = remainder.Find(L'=');
        if (equals < 0)
            return fail();
        CString key = remainder.Left(equals);
        int pos = equals + 1;
        while (pos < remainder.GetLength() && IsWhite(remainder[pos]))
            ++pos;
        if (remainder.GetAt(pos) != L'"')
            return fail();
        const int valueStart = pos + 1;
        int close = valueStart;
        for (;;) {
            close = remainder.Find(L'"', close);
            if (close < 0)
                return fail();
            if (remainder.GetAt(close - 1) != L'\\')
                break;
            ++close;
        }
        key.MakeLower();
        const CString value = remainder.Mid(valueStart, close - valueStart);
        // XML has no NUL character; an attribute holding one is refused (left out), as the
        // map and every later user of the text would cut it short at the NUL.
        if (key.Find(L'\0') < 0 && value.Find(L'\0') < 0)
            m_attributes.SetAt(key, value);
        remainder = remainder.Mid(close + 1);
        remainder.TrimLeft(kWhiteSpace);
    }

    if (rest.IsEmpty())
        return fail();
    const int endTagStart = rest.ReverseFind(L'<');
    if (endTagStart < 0)
        return fail();
    CString endTag = rest.Mid(endTagStart + 1);
    if (!endTag.IsEmpty() && endTag[endTag.GetLength() - 1] == L'>')
        endTag.Truncate(endTag.GetLength() - 1);
    endTag.Trim(kWhiteSpace);
    if (endTag.GetAt(0) != L'/')
        return fail();
    endTag = endTag.Mid(1);
    endTag.TrimLeft(kWhiteSpace);
    if (endTag != m_name)
        return fail();
    m_text = TrimWhite(rest.Left(endTagStart));
    return TRUE;
}

BOOL CXmlNode::GetAttribute(const wchar_t* name, CString& value) const
{
    CString key(name);
    key.MakeLower();
    return m_attributes.Lookup(key, value);
}

bool CXmlNode::TakeText(BOOL decode, CString& text) const
{
    CString found = decode ? DecodeXmlText(m_text) : m_text;
    // XML has no NUL character: a text holding one (written, or made by a reference such
    // as "&#65536;") is refused as an attribute is, rather than kept by some readers and
    // cut short at the NUL by others.
    if (found.Find(L'\0') >= 0)
        return false;
    text = found;
    return true;
}

CString CXmlNode::GetText(BOOL decode) const
{
    CString text;
    TakeText(decode, text);
    return text;
}

bool CXmlNode::FindElement(const CString& name, int from, int& first, int& last) const
{
    if (name.IsEmpty())
        return false;
    // The first "<name>", "<name " or "<name/>": one scan for "<name" and a look at what
    // follows it.
    const CString open = L"<" + name;
    int start = -1;
    for (int at = m_text.Find(open, from); at >= 0; at = m_text.Find(open, at + 1)) {
        const int next = at + open.GetLength();
        const wchar_t ch = m_text.GetAt(next);
        if (ch == L'>' || ch == L' ' || (ch == L'/' && m_text.GetAt(next + 1) == L'>')) {
            start = at;
            break;
        }
    }
    if (start < 0)
        return false;
    const int tagEnd = m_text.Find(L'>', start);
    if (tagEnd < 0)
        return false;
    int back = tagEnd - 1;
    while (back > start && IsWhite(m_text[back]))
        --back;
    if (back > start && m_text[back] == L'/') {
        first = start;
        last = tagEnd;
        return true;
    }
    const CString endTag = L"</" + name + L">";
    const int end = m_text.Find(endTag, tagEnd + 1);
    if (end < 0)
        return false;
    first = start;
    last = end + endTag.GetLength() - 1;
    return true;
}

BOOL CXmlNode::FindChild(const wchar_t* name, CXmlNode& node) const
{
    int first, last;
    if (!FindElement(CString(name), 0, first, last))
        return FALSE;
    return node.Parse(m_text.Mid(first, last - first + 1));
}

BOOL CXmlNode::FindChildren(const wchar_t* name, CObArray& nodes) const
{
    const CString element(name);
    const INT_PTR before = nodes.GetSize();
    int first, last;
    for (int from = 0; FindElement(element, from, first, last); from = last + 1) {
        auto node = std::make_unique<CXmlNode>();
        if (!node->Parse(m_text.Mid(first, last - first + 1))) {
            for (INT_PTR i = before; i < nodes.GetSize(); ++i)
                delete nodes[i];
            nodes.RemoveAt(before, nodes.GetSize() - before);
            return FALSE;
        }
        nodes.Add(node.release());
    }
    return TRUE;
}

BOOL CXmlNode::GetChildText(const wchar_t* name, CString& text, BOOL decode) const
{
    CXmlNode child;
    if (!FindChild(name, child))
        return FALSE;
    // A text holding a NUL is as absent as a malformed child.
    return child.TakeText(decode, text) ? TRUE : FALSE;
}

void DeleteXmlNodes(CObArray& nodes) { AfxDeleteObjects(nodes); }
