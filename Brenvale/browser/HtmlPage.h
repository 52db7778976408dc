// Shows an HTML text of the console's (a service reply page) in the web browser dialog.
#pragma once

#include "AfxWin.h"

// Writes html as "<temp>\Brenvale\<fileName>" (missing folders made, the file made anew; in
// the ANSI code page, or UTF-16 with a byte-order mark when the text has characters the code
// page lacks) and shows it modally with "file:" and the path, message replacing the line above
// the page. Nothing happens for an empty text or file name, or a file name that is not a plain
// name. TRUE when the page was shown.
BOOL ShowHtmlPage(const wchar_t* html, const wchar_t* fileName, const wchar_t* message, CWnd* parent = nullptr);
// The file ShowHtmlPage writes for fileName (empty when the name is no plain file name).
CString HtmlPagePath(const wchar_t* fileName);
