// Base64 text of bytes and of ANSI texts.
#pragma once

#include "afx.h"

#include <string>
#include <vector>

// Base64 of bytes (RFC 4648 alphabet, "=" padding, lines of 76 characters separated by CR LF).
std::string Base64EncodeBytes(const BYTE* data, size_t size);
// Decodes base64 text; white space (CR, LF, blank, tab) is skipped. FALSE, with the output
// empty, for a character outside the alphabet, misplaced padding or a truncated group.
BOOL Base64DecodeBytes(const char* text, size_t length, std::vector<BYTE>& output);

// The text in the thread's ANSI code page, encoded as base64.
CString Base64EncodeString(const wchar_t* text);
// The base64 text decoded, ended at its first zero byte and read as ANSI text; an empty text
// when the input is not valid base64.
CString Base64DecodeString(const wchar_t* text);
