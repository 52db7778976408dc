#include "XmlWriter.h"

#include "XmlNode.h"

#include <cwctype>

IMPLEMENT_DYNAMIC(CXmlDocumentFile, CCodePageTextFile)

namespace {
CString Tabs(int depth) { return depth > 0 ? CString(L'\t', depth) : CString(); }
}  // namespace

void CXmlElement::Write(int depth)
{
    m_depth = depth;
    WriteStartTag();
    for (CXmlElement* child : m_children)
        child->Write(depth + 1);
    WriteEndTag();
}

void CXmlElement::WriteStartTag()
{
    CString line = Tabs(m_depth);
    if (m_cdata) {
        CString cdata = Tabs(m_depth) + L"<![CDATA[\r\n";
        m_file->WriteString(cdata);
    }
    line += L"<";
    line += m_tag;
    for (const CXmlAttribute& attribute : m_attributes) {
        line += L" ";
        line += attribute.m_name;
        line += L"=\"";
        line += attribute.m_value;
        line += L"\"";
    }
    if (m_text.IsEmpty() && m_children.empty()) {
        line += L"/>\r\n";
    } else {
        line += L">";
        if (!m_children.empty())
            line += L"\r\n";
        else
            line += m_text;
    }
    m_file->WriteString(line);
}

void CXmlElement::WriteEndTag()
{
    if (m_text.IsEmpty() && m_children.empty())
        return;
    const CString indent = m_children.empty() ? CString() : Tabs(m_depth);
    m_file->WriteString(indent + L"</" + m_tag + L">\r\n");
    if (m_cdata)
        m_file->WriteString(indent + L"]]>\r\n");
}

CXmlElement* CXmlElementList::AddElement(const wchar_t* tag)
{
    m_elements.push_back(std::make_unique<CXmlElement>(tag));
    CXmlElement* element = m_elements.back().get();
    if (m_file)
        element->SetOutputFile(m_file);
    return element;
}

CXmlDocumentFile::CXmlDocumentFile(const wchar_t* path, UINT openFlags) : m_flags(openFlags)
{
    CFileException error;
    if (!Open(path, openFlags, &error))
        throw error;
    SeekToBegin();
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes != INVALID_FILE_ATTRIBUTES)
        SetFileAttributesW(path, attributes | FILE_ATTRIBUTE_HIDDEN);
}

CXmlDocumentFile::~CXmlDocumentFile()
{
    if (IsOpen()) {
        try {
            Close();
        } catch (const CFileException&) {
            Abort();
        }
    }
}

void CXmlDocumentFile::WriteDeclaration()
{
    if (m_flags & modeWriteUnicode)
        WriteString(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n");
    else
        WriteString(L"<?xml version=\"1.0\"?>\r\n");
}

void CXmlDocumentFile::WriteElements()
{
    for (CXmlElement* root : m_roots)
        root->Write(0);
}

CString EscapeXmlText(const CString& value, bool attribute)
{
    CString out;
    for (int i = 0; i < value.GetLength(); ++i) {
        const wchar_t ch = value[i];
        switch (ch) {
        case L'&': out += L"&amp;"; break;
        case L'<': out += L"&lt;"; break;
        case L'>': out += L"&gt;"; break;
        case L'"':
            if (attribute)
                out += L"&quot;";
            else
                out += ch;
            break;
        default: out += ch; break;
        }
    }
    return out;
}

namespace {
// The length of a well-formed reference starting at an "&" ("&amp;", "&#38;", "&#x26;"),
// or 0 when the "&" starts none.
int ReferenceLength(const CString& text, int at)
{
    int i = at + 1;
    const int length = text.GetLength();
    if (i < length && text[i] == L'#') {
        ++i;
        const bool hex = i < length && (text[i] == L'x' || text[i] == L'X');
        if (hex)
            ++i;
        const int digitsStart = i;
        while (i < length && (hex ? iswxdigit(text[i]) : iswdigit(text[i])))
            ++i;
        if (i == digitsStart)
            return 0;
    } else {
        const int nameStart = i;
        while (i < length && (iswalnum(text[i]) || text[i] == L'_' || text[i] == L'-' || text[i] == L'.'))
            ++i;
        if (i == nameStart || !iswalpha(text[nameStart]))
            return 0;
    }
    return i < length && text[i] == L';' ? i + 1 - at : 0;
}
// A reference as XML knows it: character references and the five XML entities stay;
// another named entity becomes the character it stands for (escaped), and a name the
// reader does not know keeps its text with the "&" escaped.
CString XmlReference(const CString& reference)
{
    if (reference[1] == L'#')
        return reference;
    for (const wchar_t* known : {L"&amp;", L"&lt;", L"&gt;", L"&quot;", L"&apos;"})
        if (reference == known)
            return reference;
    // Decoding trims white space, so the reference is decoded between two guards.
    CString decoded = DecodeXmlText(L"[" + reference + L"]");
    decoded = decoded.Mid(1, decoded.GetLength() - 2);
    if (decoded == reference)
        return L"&amp;" + reference.Mid(1);
    return EscapeXmlText(decoded, true);
}
}  // namespace

CString MakeXmlSafe(const CString& text, bool attribute)
{
    CString out;
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t ch = text[i];
        if (ch == L'&') {
            const int reference = ReferenceLength(text, i);
            if (reference > 0) {
                out += XmlReference(text.Mid(i, reference));
                i += reference - 1;
            } else {
                out += L"&amp;";
            }
        } else if (ch == L'<') {
            out += L"&lt;";
        } else if (ch == L'>') {
            out += L"&gt;";
        } else if (ch == L'"' && attribute) {
            out += L"&quot;";
        } else {
            out += ch;
        }
    }
    return out;
}
