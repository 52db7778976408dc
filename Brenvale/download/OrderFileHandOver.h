// The first steps of a media order file handed to the console (a path or a "zkyopen://"
// link): the link made a path, the file read in its encoding, and its root element checked.
#pragma once

#include "XmlNode.h"
#include "afx.h"

#include <string>

// A link made a Windows path: "zkyopen://" removed, blanks, double quotes and slashes trimmed
// at both ends, and every "/" turned into "\" ("zkyopen://C:/Titles/book.vpm" gives
// "C:\Titles\book.vpm"); percent-escapes of a link are decoded as UTF-8 ("My%20Orders" is
// "My Orders"). A text without "://" is returned as it is.
CString NormalizeHandedPath(const CString& text);
// Whether the path names a title's playlist (".wax", any case).
bool IsPlaylistPath(const CString& path);

// The text of an order file's bytes: UTF-16 little-endian or UTF-8 after their byte-order
// marks; without a mark UTF-8 when the bytes are valid UTF-8, else the ANSI code page.
CString DecodeOrderFileBytes(const std::string& bytes);

// Parses an order file's text into its root element: a leading XML declaration and document
// type declaration are skipped. 0 when the root is "VesperlinMedia" (any case), else the
// message: 4200 when the text is no XML element, 4201 when the root has another name.
UINT ParseMediaOrderText(const CString& text, CXmlNode& root);

// Reads and checks the order file at path; on failure shows its message (4084 when the file
// can't be read, 4086 with 4200 or 4201) and returns FALSE.
BOOL OpenMediaOrderFileText(const CString& path, CXmlNode& root);
