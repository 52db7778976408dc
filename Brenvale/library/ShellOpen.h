// Handing a URL or a path to the shell.
#pragma once

#include "afx.h"

// Opens a URL or a path in the shell; TRUE when the shell took it.
BOOL OpenInShell(const wchar_t* target);
