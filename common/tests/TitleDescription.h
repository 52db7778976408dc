// Test helpers shared by the tests of every title class (the wizards' and the console's):
// reading an order document, and the fields they have in common as text, so two titles
// can be compared field by field.
#pragma once

#include "MediaObjectBase.h"
#include "XmlNode.h"

#include <string>

namespace titletest {

// Parses an order document into a title; the error text on failure.
template <class Title>
BOOL ParseOrderText(const CString& document, Title& title, CString& error)
{
    CXmlNode root;
    if (!root.Parse(StripXmlProlog(document))) {
        error = L"not one element";
        return FALSE;
    }
    return title.ParseMediaOrderFile(&root, error);
}

// The metadata and the creators, subjects, languages, protocols and parts of a title,
// a line each.
std::string DescribeContent(const CMediaObjectBase& title);

}  // namespace titletest
