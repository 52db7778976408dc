// Percent-escapes of the console's links and download addresses, always over UTF-8 bytes.
#pragma once

#include "afx.h"

// "%XX" sequences of the text replaced by the bytes they stand for, read as UTF-8. A "%" not
// followed by two hexadecimal digits stays as it is; when the decoded bytes are no valid
// UTF-8 the text is returned unchanged (it was not escaped by a browser).
CString DecodePercentEscapes(const CString& text);

// One path segment of a URL escaped as UTF-8: letters, digits and "-._~!$&'()*+,;=:@" stay,
// every other byte becomes "%XX" (a space "%20", "é" "%C3%A9"). A "%" that already starts
// an escape ("%20") is kept, so an escaped name is not escaped twice.
CString EscapeUrlPathSegment(const CString& segment);

// A relative path of "/"-separated segments (a part's file name) with each segment escaped.
CString EscapeUrlPath(const CString& path);
