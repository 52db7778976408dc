// The console's check that the Internet can be reached before it downloads: one request for
// a small image on the service's image host (the "ServiceAddress" setting may send it to
// another server). A proxy that asks for credentials (407) gets the ones the user gives.
#pragma once

#include "afx.h"

#include <functional>

// Asks the user for the proxy's user name and password (filled in as they are); false when
// the user cancels.
using ProxyCredentialsPrompt = std::function<bool(CString& userName, CString& password)>;

// TRUE when the server answered with any status but 407, asking for credentials as long as
// the proxy wants them (userName and password then hold the ones it took). FALSE after an
// error message (purpose completes its sentence; empty: "continue") or a cancelled prompt.
BOOL ProbeInternetConnection(const CString& purpose, CString& userName, CString& password,
                             const ProxyCredentialsPrompt& askCredentials);
