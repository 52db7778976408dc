// What the stand-in's devices are: a fixture file names them, a folder tree per device holds
// their objects, a property file beside each object holds what the folder cannot.
//
// The fixture (an INI file) is named by the environment variable VESPERLIN_PORTABLE_DEVICES;
// without it, or without the file, there is no device.
//
//     [Devices]
//     Count=1
//     [Device1]
//     FriendlyName=Kitchen Zune       ; may be empty
//     Firmware=3.0                    ; absent: the device cannot say
//     HoldingClient=Other Program     ; absent: the client that opened the device holds it
//     Folder=zune1                    ; the device's tree, beside the fixture or absolute
//     Id=...                          ; the device id (default: one made from the index)
//     OptimalBufferSize=262144        ; what new objects' streams ask for (0 is allowed)
//     BusyOpens=1                     ; so many opens answer "busy" first
//     BusyTransfers=1                 ; so many new objects with data answer "busy" first
//     RemoveAfterBytes=100000         ; the device goes away once that much has been written
//     ShortWriteAt=100000             ; one write that crosses this offset stores only up to it
//     RefuseExifArt=1                 ; album art is taken only as JFIF
//     RefuseAlbumArt=1                ; album art is not taken at all
//     RefuseFolders=1                 ; folders cannot be created
//
// The tree: "Folder\s10001" is the storage s10001 (capacity and free space in
// "Folder\s10001.props"); below it every file or folder is an object whose id is its path from
// the device folder ("s10001\Vesperlin\Part01.mp3"), with its properties in "<path>.props"
// (UTF-8 lines "Title=Night Crossing"), its album art in "<path>.albumart.jpg", and data being
// written in "<path>.partial". What happens to the device is logged in "Folder\events.log".
#pragma once

#include "PortableDevices.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace wpdstandin {

struct DeviceDescription {
    std::wstring id;
    std::wstring friendlyName;
    bool hasFirmware = false;
    std::wstring firmware;
    bool hasHoldingClient = false;
    std::wstring holdingClient;
    std::wstring folder;
    DWORD optimalBufferSize = 256 * 1024;
    unsigned busyOpens = 0;
    unsigned busyTransfers = 0;
    ULONGLONG removeAfterBytes = 0;  // 0: never
    ULONGLONG shortWriteAt = 0;      // 0: never
    bool refuseExifArt = false;
    bool refuseAlbumArt = false;
    bool refuseFolders = false;
};

// The devices of the fixture, in order (removed ones included).
std::vector<DeviceDescription> ReadFixture();

// What happened to a device in this process: counted failures, removal, event sinks.
struct DeviceState {
    unsigned busyOpensAnswered = 0;
    unsigned busyTransfersAnswered = 0;
    ULONGLONG bytesWritten = 0;
    bool shortWriteDone = false;
    bool removed = false;
    std::wstring openedBy;
    struct Sink {
        std::wstring cookie;
        IPortableDeviceEventCallback* callback;
        const void* owner;
    };
    std::vector<Sink> sinks;
    unsigned nextCookie = 1;
};

// The state of a device, kept for the life of the process; use it under StateLock().
DeviceState& StateOf(const DeviceDescription& device);
std::mutex& StateLock();

// Marks the device removed and tells every sink, from a thread of the stand-in's own, before
// returning; logs it.
void RemoveDevice(const DeviceDescription& device);
void LogEvent(const DeviceDescription& device, const std::wstring& line);

// Object ids and the files behind them.
enum class ObjectKind { None, Device, Storage, Folder, File };
// The kind of the object with this id; None for an id that names nothing or leaves the tree.
ObjectKind KindOf(const DeviceDescription& device, const std::wstring& id);
std::wstring PathOf(const DeviceDescription& device, const std::wstring& id);
std::wstring ParentOf(const std::wstring& id);
std::wstring ChildId(const std::wstring& parent, const std::wstring& name);
// The ids of an object's children, sorted by name; side files are not objects.
std::vector<std::wstring> ChildrenOf(const DeviceDescription& device, const std::wstring& id);
// A name an object may be stored under (no path characters, not a side file's).
bool IsValidName(const std::wstring& name);
// The name an object is stored under: name as a file may have it (a device name such as
// "con.part" becomes "con_.part"), or "name (2).ext" and so on up to kMaxNameNumber when the
// parent already holds it; empty when every one of those is taken.
constexpr int kMaxNameNumber = 9999;
std::wstring UniqueName(const DeviceDescription& device, const std::wstring& parent, const std::wstring& name);

// Every property of an object (those in its property file over those its file gives).
HRESULT ReadProperties(const DeviceDescription& device, const std::wstring& id, IPortableDeviceValues* into);
// Writes the properties we keep of an object to its property file (merged with what is there).
HRESULT WriteProperties(const DeviceDescription& device, const std::wstring& id, IPortableDeviceValues* values);

}  // namespace wpdstandin
