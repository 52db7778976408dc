// The device wizard's settings: text values under HKEY_LOCAL_MACHINE\SOFTWARE\Vesperlin,
// Inc.\Carrowind, each with its default and rules; a failure to read falls back to the
// default and never reaches the user.
#pragma once

#include "afx.h"

// "LastSelDevice": the player chosen last; empty when missing.
CString ReadLastSelDevice();
// Writes "LastSelDevice", making the key when needed.
LONG WriteLastSelDevice(const wchar_t* name);
// "iPodAddProgressEst": 2560 when missing or empty, else the number written.
int ReadiPodAddProgressEst();
// "WMAToAppleDeviceWaitSeconds": 10 when missing, clamped to 0..60; a missing or clamped
// value is written back.
int ReadWmaToAppleWaitSeconds();
// "WindowPosition": "top", "topmost" or anything else.
CString ReadWindowPositionSetting();

// Whether a local server is installed for the class (the program its LocalServer32 names
// exists); version (optional) receives that program's product version.
BOOL IsLocalServerInstalled(const wchar_t* clsid, CString* version = nullptr);
// The iTunes application's class.
inline constexpr const wchar_t* kITunesApplicationClass = L"{DC0C2640-1415-4644-875C-6F4D769839BA}";
// TRUE when a player's name names a Zune ("Microsoft Zune").
BOOL IsZuneName(const wchar_t* name);
