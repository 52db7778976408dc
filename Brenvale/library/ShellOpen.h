// Handing a URL or a path to the shell.
#pragma once

#include "afx.h"

#include <functional>

// Opens a URL or a path in the shell; TRUE when the shell took it.
BOOL OpenInShell(const wchar_t* target);

// Whether a URL from outside (an order file, a service reply) may be handed to the shell: an
// "http:" or "https:" URL with a host, without control characters or quotes (which could end
// the URL on a browser's command line). A program or a path never passes.
bool IsWebAddress(const wchar_t* url);

// Takes what OpenInShell is given instead of the shell (tests answer it); an empty handler
// gives it back to the shell. Returns the handler that was set.
using ShellOpenHandler = std::function<BOOL(const wchar_t* target)>;
ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);
