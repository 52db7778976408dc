// Reading every element of one name into an owning list of records; shared by the
// order-file readers.
#pragma once

#include "XmlNode.h"

struct ElementListResult {
    bool searched = false;  // false: an element of that name is malformed
    INT_PTR found = 0;      // elements found
    bool parsed = true;     // false: a record failed to parse (the message is set)
};

// For each element named `name` below `parent`: makes a new T, hands it to add (the
// list takes it), then parse(record, node, error). Stops at the first record that
// fails; records added so far stay in the list.
template <class T, class Add, class Parse>
ElementListResult ParseElementList(const CXmlNode& parent, const wchar_t* name, CString& error, Add add, Parse parse)
{
    ElementListResult result;
    CObArray nodes;
    if (!parent.FindChildren(name, nodes))
        return result;
    result.searched = true;
    result.found = nodes.GetSize();
    for (CObject* node : nodes) {
        T* record = new T;
        add(record);
        if (!parse(*record, static_cast<const CXmlNode*>(node), error)) {
            result.parsed = false;
            break;
        }
    }
    DeleteXmlNodes(nodes);
    return result;
}
