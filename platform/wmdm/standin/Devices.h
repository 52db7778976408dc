// What the device manager's stand-in lists: the devices a fixture file describes, each storage
// a folder tree; what callers write lands in those folders, with a property file per object.
//
// The fixture (an INI file) is named by the environment variable VESPERLIN_WMDM_DEVICES;
// without it, or without the file, there is no device.
//
//     [Devices]
//     Count=1
//     Fail.EnumDevices=0x80045003      ; the enumeration fails (see Fail. below)
//     [Device1]
//     Name=Removable Disk (E:)          ; what GetName gives (100 characters at most)
//     Manufacturer=Generic              ; absent: GetManufacturer fails
//     Status=2,2,1                      ; each GetStatus takes the next word, the last repeats (default 1, ready)
//     Type=0x90                         ; type bits (default 0x90: storage and non-SDMI)
//     Serial=0x045E:0A0B0C0D            ; vendor id and the id bytes in hex; absent: GetSerialNumber fails
//     Device3=1                         ; 0: the device lacks the extended interface (GetProperty)
//     Protocol=MTP                      ; MTP, RAPI or a {GUID}; absent: the property is not available
//     FriendlyName=Kitchen Player       ; absent: not available
//     ModelName=KP-1                    ; absent: not available
//     Formats=0x3009,0xB901,0xBA03      ; the supported format codes
//     FormatsAsNumber=1                 ; the list given as one number (its first code) instead of an array
//     ChunkBytes=65536                  ; bytes copied between two progress calls (default 4 MiB)
//     Storages=1                        ; the storages (default 1)
//     Fail.Insert3=0x80045000*3         ; the call answers that code so many times, then works (no *N: always)
//     [Device1.Storage1]
//     Name=\                            ; the storage's name ("\" is a plain root)
//     Folder=player1                    ; its folder tree, beside the fixture or absolute (default Device1.Storage1)
//     Attributes=0x8                    ; the storage's attribute word (default: the folder bit)
//     Free=1000000                      ; free bytes (default: those of the folder's drive)
//     Total=2000000                     ; capacity (default: that of the folder's drive)
//
// Calls that can be made to fail: EnumDevices ([Devices]); on a device GetName, GetManufacturer,
// GetType, GetSerialNumber, EnumStorage, GetProperty (every property) and GetProperty.<name>
// (one: "Fail.GetProperty.WMDM/DeviceModelName=0x80004002"); on its storages Insert, Insert3,
// Delete, Rename, Read, SetAttributes, SetMetadata, SetReferences, GetReferences,
// GetStorageGlobals, CreateEmptyMetadataObject and EnumChildren (a storage's EnumStorage).
//
// In the tree every file or folder below a storage's folder is a storage of its own. Its
// metadata and attributes are kept in "<path>.props" (UTF-8 lines "WMDM/Title=Night Crossing",
// "Attributes=0x01000000"; numbers in decimal), a binary item in "<path>.<item>.bin" (the name
// after the last "/": "Album.alb.AlbumCoverData.bin"), an album's references in "<path>.refs"
// (one path from the storage's folder a line), and a file being inserted in "<path>.partial".
// Every call that changes something, and every status query, is logged in
// "<fixture folder>\Device1.events.log". A device the fixture no longer lists (rewritten
// without it, or with another name in its section) is unplugged: its status query, its
// enumerations and every call on its storages answer 0x80045001 (the interface is dead).
#pragma once

#include "FixtureFiles.h"

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

namespace wmdmstandin {

struct StorageDescription {
    std::wstring name;
    std::wstring folder;
    DWORD attributes = 0;
    bool hasFree = false;
    ULONGLONG free = 0;
    bool hasTotal = false;
    ULONGLONG total = 0;
};

struct DeviceDescription {
    std::wstring fixture;  // the fixture file
    std::wstring section;  // "Device1"
    std::wstring name;
    bool hasManufacturer = false;
    std::wstring manufacturer;
    std::vector<DWORD> statusScript;
    DWORD type = 0x90;
    bool hasSerial = false;
    DWORD serialVendor = 0;
    std::vector<BYTE> serial;
    bool offersDevice3 = true;
    bool hasProtocol = false;
    GUID protocol{};
    bool hasFriendlyName = false;
    std::wstring friendlyName;
    bool hasModelName = false;
    std::wstring modelName;
    std::vector<DWORD> formats;
    bool formatsAsNumber = false;
    DWORD chunkBytes = 4 * 1024 * 1024;
    std::vector<StorageDescription> storages;
    std::wstring eventLog;
};

// The devices of the fixture, in order; empty without one. Fails with the injected failure of
// EnumDevices.
HRESULT ReadFixture(std::vector<DeviceDescription>* devices);

// S_OK, or the failure injected for this call of the device ("Fail.<call>"), counted for the
// life of the process.
HRESULT InjectedFailure(const DeviceDescription& device, const std::wstring& call);
// The fixture still lists the device (under its section, with its name).
bool StillAttached(const DeviceDescription& device);
// The next word of the device's status script.
DWORD NextStatus(const DeviceDescription& device);
void LogEvent(const DeviceDescription& device, const std::wstring& line);

}  // namespace wmdmstandin
