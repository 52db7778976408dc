// The console's XML writer: a tree of elements with attributes and text, written line
// by line (CR LF) with tab indentation into a CCodePageTextFile.
//
// The writer puts texts and attribute values into the file as they are given; callers
// make them XML text first (EscapeXmlText for plain values, MakeXmlSafe for texts that
// are already XML text, such as raw texts kept from an order file).
#pragma once

#include "CodePageTextFile.h"

#include <memory>
#include <vector>

class CXmlAttribute {
public:
    CXmlAttribute(const CString& name, const CString& value) : m_name(name), m_value(value) {}
    CString m_name;
    CString m_value;
};
using CXmlAttributeList = std::vector<CXmlAttribute>;

class CXmlElement {
public:
    explicit CXmlElement(const wchar_t* tag) : m_tag(tag) {}
    virtual ~CXmlElement() = default;
    CXmlElement(const CXmlElement&) = delete;
    CXmlElement& operator=(const CXmlElement&) = delete;

    void SetText(const wchar_t* text) { m_text = text; }
    void SetOutputFile(CCodePageTextFile* file) { m_file = file; }
    void AddAttribute(const wchar_t* name, const wchar_t* value) { m_attributes.emplace_back(name, value); }
    // The child is not owned (the element list owns every element).
    void AddChild(CXmlElement* child) { m_children.push_back(child); }

    // Writes the element and its children at the given nesting level.
    virtual void Write(int depth);
    virtual void WriteStartTag();
    virtual void WriteEndTag();

    const CString& GetTag() const { return m_tag; }
    // Non-zero: the element's lines are wrapped in a CDATA section.
    int m_cdata = 0;

protected:
    CString m_tag;
    CString m_text;
    CCodePageTextFile* m_file = nullptr;
    CXmlAttributeList m_attributes;
    std::vector<CXmlElement*> m_children;
    int m_depth = 0;
};

// Creates and owns the elements of one document.
class CXmlElementList {
public:
    CXmlElementList() = default;
    CXmlElementList(const CXmlElementList&) = delete;
    CXmlElementList& operator=(const CXmlElementList&) = delete;
    void SetOutputFile(CCodePageTextFile* file) { m_file = file; }
    CXmlElement* AddElement(const wchar_t* tag);

private:
    std::vector<std::unique_ptr<CXmlElement>> m_elements;
    CCodePageTextFile* m_file = nullptr;
};

// An XML document file: opened (and made hidden) at construction, closed at destruction.
class CXmlDocumentFile : public CCodePageTextFile {
    DECLARE_DYNAMIC(CXmlDocumentFile)
public:
    // Throws CFileException when the file cannot be opened.
    CXmlDocumentFile(const wchar_t* path, UINT openFlags);
    ~CXmlDocumentFile() override;

    // The XML declaration; it names UTF-16 when the file is written as UTF-16.
    void WriteDeclaration();
    // The element is not owned.
    void AddRootElement(CXmlElement* element) { m_roots.push_back(element); }
    void WriteElements();

private:
    std::vector<CXmlElement*> m_roots;
    UINT m_flags;
};

// A plain value as XML text: "&", "<" and ">" become references, and in attribute
// values the double quote too.
CString EscapeXmlText(const CString& value, bool attribute);
// A text that is meant to be XML text already (kept as read from an order file): left
// as it is, except that what would break the document is escaped: an "&" that does not
// start a character or entity reference, "<" and ">", and in attribute values the
// double quote. Applied to well-formed XML text it changes nothing.
CString MakeXmlSafe(const CString& text, bool attribute);
