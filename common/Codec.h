// The codec functions the programs share, one file per concern:
//   Rijndael.h        the AES block cipher (CRijndael)
//   Base64.h          base64 text of bytes and of ANSI texts
//   GuidText.h        new GUID texts
//   Sha1.h            the SHA-1 digest of a text as hexadecimal text
//   TextConversion.h  UTF-16 <-> multibyte text (in the class library, beside CString)
// Include the one you need; this header includes them all.
//
// How they report failures: to their caller, by the result and never by a box or an
// exception: the cipher by its negative result codes, the decoders and conversions by an
// empty result together with FALSE or a null pointer where they return a status. Two
// functions keep the way their callers rely on: NewGuidString throws COleException with
// the system's HRESULT, and ComputeSha1 shows its message through the message-box funnel
// and ends with the silent CUserException, which the caller's message loop absorbs.
#pragma once

#include "Base64.h"
#include "GuidText.h"
#include "Rijndael.h"
#include "Sha1.h"
#include "TextConversion.h"
