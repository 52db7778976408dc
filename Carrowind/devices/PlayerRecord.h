// One connected player as the device search found it: an MTP or mass-storage player of the
// device manager, a mass-storage player with a profile file, a Zune, or a Windows Mobile
// device (its main memory or one of its storage cards). The sheet's device array owns the
// records; pages keep indexes into that array, never pointers across a new search.
//
//     auto* record = new PlayerRecord(L"Removable Disk (E:)", stream, L"Generic Flash Disk", serial, 0);
//     record->GetDisplayName();   // "Generic Flash Disk" (the name is a removable disk)
//     IWMDMDevice* device = record->GetDeviceInterface();  // unmarshalled once, on first use
#pragma once

#include "Collections.h"
#include "Wmdm.h"
#include "afx.h"

#include <vector>

// The system headers keep a 16-bit era macro of this name; the record's query takes it.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

// A lazy value that has not been computed yet.
inline constexpr int kUnknownValue = -9999;
// The storage layout of a player whose first storage has a name of its own.
inline constexpr int kNamedRootLayout = -9900;

// One entry of a player's folder list, or of the search's map of Windows Mobile devices.
struct PlayerFolderEntry {
    GUID deviceId{};           // the mobile device's id (folder list: parent, attributes, folder flag, item)
    CString appFolder;         // the application's folder on the device, ending in a backslash
    CString downloadFolder;    // "DownloadFolder" with "\" appended
    CString mediaDbFolder;     // "MediaDBFolder" with "\" appended
    CString productVersion;    // "ProductVersion"
    BOOL isMainEntry = FALSE;  // keyed by the device's own name, not by a storage card
    CString mobileId;          // the application's "MobileID"
};

class PlayerRecord : public CObject {
public:
    PlayerRecord(const CString& name, IStream* deviceStream, const CString& description, const WMDMID& serial,
                 int protocolFlag, const CString& altName = CString());
    ~PlayerRecord() override;
    PlayerRecord(const PlayerRecord&) = delete;
    PlayerRecord& operator=(const PlayerRecord&) = delete;

    // altName when set, else name.
    CString GetName() const { return altName.IsEmpty() ? name : altName; }
    const CString& GetDisplayName() const { return displayName; }
    // The device interface, unmarshalled from the stream on the first call (the stream is
    // consumed); null without a stream or when unmarshalling fails. The record keeps it.
    IWMDMDevice* GetDeviceInterface();
    CString GetManufacturer();
    // "Error details: %s" with the step's detail text, or empty.
    CString GetErrorDetails(const wchar_t* stepKey) const;
    // Stores a target folder without the characters file names cannot hold, its last
    // component cut to 50 characters (at a blank when it has one).
    void SetFolderPath(const CString& text);
    const CString& GetFolderPath() const { return folderPath; }
    void SetMobileAppFolder(const CString& folder);
    CString GetBaseFileName() const { return baseFileName; }
    // The profile's folder for a title (joined with the name when the profile asks for it).
    CString GetTargetPath(const CString& titleName) const;
    // Deletes a file below the player's target folder (mass-storage players only) and the folder
    // when it is left empty. A path that would leave the folder is refused (FALSE).
    BOOL DeleteTargetFile(const CString& relativePath);

    int IsApple();
    int IsZune();
    int IsMp3Only();
    void SetMp3Only(int value) { isMp3Only = value ? 1 : 0; }
    // Storage queries, each computed once and kept (PlayerStorage.cpp).
    // 1 for a storage card of a Windows Mobile device, 0 for its main memory; kUnknownValue
    // while the device cannot be reached (asked again on the next call).
    int IsMobileStorageCard();
    // 1 MTP, 0 a plain root storage (or a Windows Mobile player), kNamedRootLayout when the
    // first storage has a name of its own, kUnknownValue when it cannot be told.
    int GetStorageLayout();
    // Free bytes on the player (a Zune through its server, the others through their first
    // storage); locked is left as it is for these players.
    BOOL GetFreeSpace(ULONGLONG* freeBytes, BOOL* locked = nullptr);

    int AddFormatCode(DWORD code);
    // The index of the first equal code; found is FALSE and the index the count when absent.
    int FindFormatCode(DWORD code, BOOL* found) const;

    CMapStringToString errorDetails;
    CString name;
    CString displayName;
    CString baseFileName;
    CString otherName;  // the title's name when no base file name is set
    IStream* deviceStream = nullptr;
    IWMDMDevice* device = nullptr;
    CString folderPath;
    CString rootStorageName;
    CString manufacturerText;
    DWORD rootStorageAttributes = 0;
    int storageLayout = kUnknownValue;
    int folderCreationFailed = 0;
    int albumReady = 0;
    WMDMID serialNumber{};
    BOOL mobileDevice = FALSE;
    BOOL mobileAppFound = FALSE;
    // Set when the player is reached through its file system: a profile file was found in the
    // root of its drive, so its side files are written and half-written files cleaned up.
    BOOL massStorage = FALSE;
    wchar_t driveLetter = 0;  // the drive of a mass-storage player
    GUID mobileDeviceId{};
    CString mobileAppFolder;
    CString targetFolder;
    BOOL joinTarget = FALSE;
    BOOL thumbnailFlag = FALSE;
    BOOL coverFlag = FALSE;
    CString bannerFolder;
    CString clientId;
    CString mobileDownloadFolder;
    CString mobileMediaDbFolder;
    CString altName;
    CString zuneFolderId;
    int isMobileStorageCard = kUnknownValue;
    int isApple = kUnknownValue;
    int isZune = kUnknownValue;
    int isMp3Only = kUnknownValue;
    BOOL isShuffle = FALSE;
    DWORD iTunesSourceFlag = 0;
    int zuneIndex = -1;
    std::vector<DWORD> formatCodes;
};

// A serial number record with only its size set: the device gave none.
inline WMDMID NoSerialNumber()
{
    WMDMID serial{};
    serial.cbSize = sizeof(WMDMID);
    return serial;
}

// The record at an index of a device array, or null.
PlayerRecord* PlayerAt(const CObArray& devices, INT_PTR index);

// A path that stays on the player's drive: no drive or share of its own and no ".." step.
bool StaysOnPlayer(const CString& path);

// The system's text of a Win32 error code, cut at its first line break; "Unknown error code
// %08x (%d)" when the system has none.
CString FormatSystemError(DWORD code);
