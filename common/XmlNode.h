// The suite's small XML reader. A node holds the text of one element; children are
// found by searching that text for their start tags, at any depth, and parsed into
// fresh nodes on demand. Text is UTF-16; nothing is decoded until asked.
#pragma once

#include "afx.h"

class CXmlNode : public CObject {
    DECLARE_DYNAMIC(CXmlNode)
public:
    CXmlNode() = default;

    // Fills the node from the text of exactly one element. On failure the name and the
    // attributes are emptied and the result is FALSE.
    BOOL Parse(const CString& text);

    const CString& GetName() const { return m_name; }
    // Looks the name up lower-cased; FALSE (value untouched) when absent. An attribute
    // whose name or value holds a NUL character is not kept: it reads as absent.
    BOOL GetAttribute(const wchar_t* name, CString& value) const;
    // The inner text, passed through DecodeXmlText when decode is set. A text that holds
    // a NUL character is not kept: it reads as empty.
    CString GetText(BOOL decode) const;

    // The first element of that name anywhere in the inner text, parsed into node.
    BOOL FindChild(const wchar_t* name, CXmlNode& node) const;
    // Appends a new node for every element of that name in document order; TRUE also
    // when there is none. When one does not parse, the nodes this call appended are
    // deleted and the result is FALSE.
    BOOL FindChildren(const wchar_t* name, CObArray& nodes) const;
    // FindChild, then GetText; FALSE (text untouched) when missing or malformed, or when
    // its text holds a NUL character.
    BOOL GetChildText(const wchar_t* name, CString& text, BOOL decode) const;
    // The inner text (decoded on request) into text; false, text untouched, when it holds a NUL.
    bool TakeText(BOOL decode, CString& text) const;

private:
    // Finds the next element of that name from a position of the inner text: its first
    // and last character. FALSE when there is none.
    bool FindElement(const CString& name, int from, int& first, int& last) const;

    CString m_name;
    CMapStringToString m_attributes;
    CString m_text;
};

// Deletes every node of an array filled by FindChildren and empties it.
void DeleteXmlNodes(CObArray& nodes);

// Decodes character references and named entities (see BuildEntityTable), turns the
// sup/sub tags into a trademark sign or parentheses, and trims the result.
CString DecodeXmlText(const CString& text);

// Fills the process-wide table of named entities. Called once at start-up; until then
// named references are left as they are.
void BuildEntityTable();
// The number of entries in the table (for checks of the table itself).
INT_PTR GetEntityTableSize();

// Prepares a whole document for CXmlNode::Parse of its root: trims it and removes a
// leading XML declaration and a leading DOCTYPE declaration.
CString StripXmlProlog(const CString& document);
