// The console's client of its maker's update and message services: plain HTTP GET
// requests whose replies are small XML texts, with the versions of the installed programs
// read from the detect object.
//
//     CString reply, installed;
//     DWORD status = 0;
//     if (CheckForUpdatesOrMessages(ResolveServiceUrl(AfxLoadString(IDS_UPDATE_SERVICE_URL)), nullptr,
//                                   reply, installed, status, userName, password) && status == 200)
//         latest = FindReplyElement(reply, L"LatestVersion");
//
// A reply is untrusted text: it is read whole (at most kMaxServiceReplyBytes), decoded once
// (UTF-8 when it is valid UTF-8, else the ANSI code page), and what the checks take from it
// is looked up as text, never run or formatted.
#pragma once

#include "afx.h"

#include <cstddef>

// A reply is cut after this many bytes.
constexpr size_t kMaxServiceReplyBytes = 1 << 20;

// One GET of url with query appended ("?" or, when the URL holds one already, "&"; nothing
// for an empty query); reply gets the body, status the HTTP status code (500 when the answer
// had none). activity says what the request is for in the error messages ("HTTP request"
// when empty). userName and password go to the server and to a proxy that asks for them.
// TRUE when the status is from 200 to 304. Otherwise reply says what failed: the service's
// error elements, its "NotImplemented", the body itself, or which step of the request failed
// and why. A body that ends before its Content-Length is a lost connection.
BOOL SendServiceRequest(const CString& url, const CString& query, const CString& activity,
                        CString& reply, DWORD& status, const CString& userName,
                        const CString& password);

// Asks the update service (a URL holding "CheckForUpdates") or the message service (one
// holding "CheckForMessages"); id is the media id or the last message id, or null.
// installedVersion gets the console's installed version text from the detect object; when
// the object cannot be created or answer, reply says so and the result is FALSE.
BOOL CheckForUpdatesOrMessages(const CString& url, const wchar_t* id, CString& reply,
                               CString& installedVersion, DWORD& status,
                               const CString& userName, const CString& password);

// "PlatformID=WIN&OSVersion=..&ZKYVersion=.." and, when id is neither null nor empty,
// "&MediaID=.." for a URL holding "CheckForUpdates" or "&LastMessageID=.." for one holding
// "CheckForMessages". Every value is percent-encoded.
CString BuildServiceQuery(const CString& url, const CString& osVersion, const CString& consoleVersion,
                          const wchar_t* id);
// The value's UTF-8 bytes with each byte other than a letter, a digit and "-._~" as "%XX".
CString PercentEncode(const CString& value);
// The text between the first "<name>" of the reply and the first "</name>" after it, as it
// stands; empty when either tag is missing.
CString FindReplyElement(const CString& reply, const wchar_t* name);
// What the body of a refused request tells: "Error <code>: <message>." (with " (<details>)"
// before the point when the reply has details), the service's "NotImplemented" text, or the
// body itself.
CString DescribeServiceFailure(const CString& body);
