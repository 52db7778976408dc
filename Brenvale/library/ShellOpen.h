// Handing a URL or a path to the shell.
#pragma once

#include "afx.h"

#include <functional>

// Opens a URL or a path in the shell; TRUE when the shell took it.
BOOL OpenInShell(const wchar_t* target);

// Takes what OpenInShell is given instead of the shell (tests answer it); an empty handler
// gives it back to the shell. Returns the handler that was set.
using ShellOpenHandler = std::function<BOOL(const wchar_t* target)>;
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);
