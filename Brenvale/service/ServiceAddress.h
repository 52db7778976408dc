// Where the console's service requests go (the connection probe, the update and message
// services). By default the address the string table gives; the "ServiceAddress" setting
// (section "Settings", a server such as "http://127.0.0.1:8123") sends every request to
// another server with the same path and query: tests and the run script point it at a server
// of their own on loopback.
#pragma once

#include "afx.h"

constexpr const wchar_t* kServiceAddressSetting = L"ServiceAddress";

// url with its scheme, server and port taken from address; url unchanged when address is
// empty or is not an "http:" or "https:" server without a path.
CString RedirectServiceUrl(const wchar_t* url, const wchar_t* address);
// RedirectServiceUrl with the "ServiceAddress" setting.
CString ResolveServiceUrl(const wchar_t* url);
