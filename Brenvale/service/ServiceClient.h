// The console's client of its maker's update and message services: plain HTTP GET
// requests whose replies are small XML texts, with the versions of the installed programs
// read from the detect object.
#pragma once

#include "afx.h"

// One GET of url with query appended; reply gets the body, status the HTTP status code.
// activity says what the request is for in the error messages. TRUE when the status is
// from 200 to 304.
BOOL SendServiceRequest(const CString& url, const CString& query, const CString& activity,
                        CString& reply, DWORD& status, const CString& userName,
                        const CString& password);

// Asks the update service (a URL holding "CheckForUpdates") or the message service (one
// holding "CheckForMessages"); id is the media id or the last message id, or null.
// installedVersion gets the console's installed version text from the detect object.
BOOL CheckForUpdatesOrMessages(const CString& url, const wchar_t* id, CString& reply,
                               CString& installedVersion, DWORD& status,
                               const CString& userName, const CString& password);
