// The SHA-1 digest of a text as hexadecimal text.
#pragma once

#include "afx.h"

// Forty upper-case hexadecimal digits of the SHA-1 digest of the text's UTF-16LE code units
// (after a round trip through the ANSI code page). On a CryptoAPI failure the user is shown
// the message and CUserException is thrown.
CString ComputeSha1(const wchar_t* text);
// Test seam: the CryptoAPI provider type ComputeSha1 asks for (PROV_RSA_FULL unless changed).
// Returns the previous type.
DWORD SetSha1ProviderTypeForTesting(DWORD providerType);
