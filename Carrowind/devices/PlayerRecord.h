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

#include <commctrl.h>

#include <map>
#include <memory>
#include <vector>

struct IZuneSupport;

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

    // A player's folder list (PlayerRecord::folders).
    int parentIndex = -1;        // the entry's parent, -1 for the start storage
    DWORD attributes = 0;        // the storage's attribute word
    DWORD isFolder = 0;          // the folder bit (8) or 0; 1 for a Zune's start storage
    HTREEITEM treeItem = nullptr;  // the folder browser's item
    CString name;
    CString path;                // the full path on the player
    CString sizeText;            // files only: "12 KB"
    CString zuneObjectId;        // a Zune's object id
    int deletionResult = 0;      // set once a Zune object was deleted
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

    // Folders and files on the player through the device manager (PlayerFolders.cpp). Paths
    // start with a backslash ("\\Music\\Books"); a Windows Mobile player's paths are below its
    // root (My Documents on the main memory, the card's folder on a card).
    // The start storage: a Windows Mobile player's root folder, else the device's first
    // storage; the caller releases it.
    IWMDMStorage* GetRootStorage(IWMDMDevice* wmdmDevice);
    // The folder of a path and a file in it (see FindWmdmStorageByPath); the caller releases both.
    HRESULT FindStorage(IWMDMDevice* wmdmDevice, const CString& folderPath, const wchar_t* fileName,
                        IWMDMStorage** folder, IWMDMStorage** file);
    BOOL FolderExists(const CString& path, DWORD* attributes = nullptr);
    BOOL FileExists(const CString& fileName, const CString& folderPath);
    BOOL SetStorageAttributes(const CString& fileName, const CString& folderPath, DWORD attributes);
    // Create mode (no new name, item FALSE): makes every missing folder of the path. Rename mode
    // (a new name): renames the path's last item. Delete mode (item TRUE): deletes the last item
    // with all it holds. 0, ERROR_CANNOT_MAKE (82) for every failure, ERROR_ALREADY_EXISTS (183),
    // ERROR_FILENAME_EXCED_RANGE (206) for a path or name longer than MAX_PATH.
    DWORD EditDevicePath(const CString& path, const wchar_t* newName, BOOL targetIsItem);
    // Rebuilds the folder list for the folder browser: entry 0 the start storage (captioned
    // rootCaption, else the display name, else the name), then its tree depth first.
    void ListFolders(const CString& rootCaption);
    // Appends the storage's children (and theirs) below the entry parentIndex; count is the next
    // free index.
    void AppendStorageTree(IWMDMStorage* storage, int parentIndex, int* count);
    // Adds an entry under the next free index; that index.
    int AddFolderEntry(std::unique_ptr<PlayerFolderEntry> entry);
    void ClearFolderEntries();
    // A Zune's file of that name in the folder list, else asked of its server; its object id.
    BOOL FindZuneFile(const CString& fileName, CString* objectId);
    // The Zune's server in the Zune table, or null.
    IZuneSupport* ZuneServer() const;

    // The Windows Mobile side through the device link (MobileSideFiles.cpp).
    // 1 when the path exists below the device root (attributes: its file attributes), 0 when it
    // does not, -1 when it cannot be told (not a Windows Mobile player, empty path, no link).
    int QueryMobilePath(const CString& path, DWORD* attributes = nullptr);
    // Deletes a file in the player's folder on the device, then the folder when left empty.
    void DeleteMobileTargetFile(const CString& fileName);
    // The start storage's name (cached with its attributes); a Zune's name.
    CString GetRootStorageName(DWORD* attributes = nullptr, int* layout = nullptr);
    // "\\<card>" on a storage card, "\\My Documents" on the main memory.
    CString GetMobileDeviceRoot();

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
    // The start storage (GetRootStorage) as GetRootStorageName found it.
    CString startStorageName;
    DWORD startStorageAttributes = 0;
    CString manufacturerText;
    DWORD rootStorageAttributes = 0;
    int storageLayout = kUnknownValue;
    int folderCreationFailed = 0;
    int deleteFailed = 0;  // a deletion on the player failed: the folder browser offers no more
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
    // The folder list, keyed by entry index (0: the start storage).
    std::map<int, std::unique_ptr<PlayerFolderEntry>> folders;

    // The most entries and the deepest folder a Zune's folder list takes: a device that lists
    // more, or a tree that never ends, has its list cut there (zuneListCut says so).
    static constexpr int kMaxZuneEntries = 20000;
    static constexpr int kMaxZuneDepth = 32;
    BOOL zuneListCut = FALSE;

private:
    void ListZuneFolders(const CString& caption);
};

// Copies a title's side files to a Windows Mobile player whose reading application was found:
// the order file beside the playlist (hidden), the cover, the small cover and a hidden
// "folder.<ext>" into the title's folder, the source's banner into the application's library
// folder; then appends the order file's device path to the application's list file and tells
// the application. TRUE when the order file was copied, the line written and the call made.
BOOL CopySideFilesToMobile(PlayerRecord* player, const CString& playlistPath, const CString& coverPath,
                           const CString& sourceId);

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
