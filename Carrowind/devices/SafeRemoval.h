// Safe removal of a player after a transfer: its node in the system's device tree is found by
// drive, friendly name or device id, the nearest removable node above it is asked to eject,
// and a code and a message come back for the page to show.
//
//     CString message;
//     const int code = SafelyRemovePlayer(L"EjectName", L"Kitchen Player*", message, FALSE, FALSE);
//     // 0: ejected; 10 bad mode or drive; 11 no helper; 12 setupapi unusable; 13 the walk failed
#pragma once

#include "DeviceTree.h"
#include "afx.h"

// Results of the walk (the first number of the failure messages).
enum EjectWalkResult : UINT {
    kEjectDone = 0,
    kEjectFunctionMissing = 3,
    kEjectNothingMatched = 4,
    kEjectNotRemovable = 5,
    kEjectHasProblem = 6,
    kEjectNoDeviceId = 10,
    kEjectStatusFailed = 11,
    kEjectNoSibling = 12,
    kEjectNoRoot = 13,
    kEjectRequestFailed = 14,
    kEjectVetoed = 15,
};

int SafelyRemovePlayer(const CString& mode, const CString& target, CString& message, BOOL verbose, BOOL debug);

// An Apple player is ejected through iTunes by the name iTunes shows it under: 0 and message
// 3106 with the device name when iTunes ejected it; else 13 and message 3115 with the device
// name, iTunes' code and kAppleEjectDetail.
inline constexpr ULONG kAppleEjectDetail = 19;
int SafelyRemoveApplePlayer(const CString& deviceName, const CString& iTunesName, CString& message);

// The same over a bound device tree (tests give one whose functions fail).
int SafelyRemovePlayerWith(const devices::DeviceTree& tree, const CString& mode, const CString& target,
                           CString& message, BOOL verbose);

// "*" matches the rest; otherwise both end together; letters compared without case.
bool MatchEjectPattern(const char* pattern, const char* text);
