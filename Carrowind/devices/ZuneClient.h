// The wizard's side of the Zune device server: a table of up to 16 Zunes with one server object
// each (filled by the device search, read by the pages and the transfer afterwards), the lookup
// by display name and thin wrappers with the wizard's conventions (a 1024-character status
// text, the owner window, the client name "Vesperlin Carrowind").
//
//     const int index = FindZuneDevice(player->name);          // -1: no such Zune
//     if (index >= 0) ConnectZuneDevice(owner, player->name);
#pragma once

#include "ZuneSupportInterface.h"
#include "afx.h"

#include <vector>

inline constexpr int kMaxZuneDevices = 16;
inline constexpr wchar_t kZuneClientName[] = L"Vesperlin Carrowind";

struct ZuneEntry {
    CString displayName;
    CString usbPath;
    IZuneSupport* server = nullptr;  // owned
};

// The table; entries beyond ZuneDeviceCount are empty.
ZuneEntry* ZuneDevices();
int ZuneDeviceCount();
void SetZuneDeviceCount(int count);

// Fills the table from the USB device table (entries described "Zune", at most 16) when it is
// empty; the count.
int BuildZuneTable();
// The entry whose display name equals the name exactly; -1 when none.
int FindZuneDevice(const CString& displayName);
// Releases every server and empties the table.
void ReleaseZuneDevices();

// Initialize, then (unless the server already holds the device) GetConnected once.
HRESULT ConnectNewZuneDevice(HWND owner, IZuneSupport* server, const CString& friendlyName, ULONG* deviceIndex,
                             ULONG* deviceCount, CString* status, LONG* retry);
// Connects the named table entry again when this client no longer holds it, as long as the
// user asks to retry; FALSE for a name not in the table.
BOOL ConnectZuneDevice(HWND owner, const CString& displayName);
HRESULT FindZuneTarget(IZuneSupport* server, const CString& folderId, const CString& targetName, CString* objectId);
HRESULT GetZuneStorageSize(IZuneSupport* server, ULONGLONG* capacity, ULONGLONG* freeSpace, CString* status);

// The installed Zune software's "CurrentVersion" (empty when absent), and whether its major
// version is 3 or more.
CString ReadZuneSoftwareVersion();
BOOL IsZuneSoftware3OrNewer(const CString& version);

// TransferToZune with the wizard's status buffer; E_POINTER for a null server.
HRESULT TransferToZuneDevice(HWND owner, IZuneSupport* server, const CString& folderId, const CString& sourcePath,
                             const CString& imagePath, const CString& mediaTitle, const CString& targetName,
                             const CString& artist, ULONGLONG duration, ULONGLONG fileSize, CString* status);
// DeleteFromZune; a failure is shown (owned by owner, when given). FALSE without a server or id.
BOOL DeleteZuneObject(HWND owner, IZuneSupport* server, const CString& displayName, const CString& objectId);

// One object below a Zune folder.
struct ZuneObject {
    CString id;
    CString name;
    ULONG attributes = 0;
    ULONGLONG size = 0;
};
// The most objects one listing makes room for (each takes two texts of 1024 characters): a
// server that counts more has the listing cut there.
inline constexpr ULONG kMaxZuneListing = 4096;
// The objects below parentId (S_OK with none when it has none); S_FALSE when the server counted
// more than kMaxZuneListing and only that many were asked for.
HRESULT ListZuneObjects(IZuneSupport* server, const CString& parentId, std::vector<ZuneObject>* objects);
