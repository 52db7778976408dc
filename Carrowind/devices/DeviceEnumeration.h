// How the device search looks at the hardware: the removable drives and their storage device
// numbers, disk names from the disk interfaces, the USB device table (Apple and Zune players),
// the iPod database test, drive letters in device names, the device manager and a device's
// protocol and names. The tables are the program's own, filled by the search and read after it.
#pragma once

#include "Wmdm.h"
#include "afx.h"

#include <vector>

struct DriveEntry {
    bool matched = false;
    wchar_t letter = 0;
    DWORD deviceType = 0;
    DWORD deviceNumber = 0;
    CString diskName;
};

struct UsbDeviceEntry {
    CString description;
    CString path;  // "USB#VID_045E&PID_0710#5&1&0&2"
};

// The removable drives (B to Z) that answer a storage device number.
std::vector<DriveEntry> ScanRemovableDrives();
// The name of the disk with that storage device number; false when no disk interface has it.
bool GetDiskName(DWORD deviceType, DWORD deviceNumber, CString* name);
bool GetDiskNameOfDrive(wchar_t letter, CString* name);
// The name of the disk or USB device that stands for a player, and how many candidates there are.
CString GetPlayerDiskName(const CString& deviceName, int* count);
// "Removable Disk (E:)" and "E:\" give E; anything else 0.
wchar_t GetDriveLetterFromName(const CString& name);
bool IsIPodDrive(wchar_t letter);

// The USB device table, built on first use and kept until FreeUsbDeviceTable.
const std::vector<UsbDeviceEntry>& UsbDeviceTable();
void FreeUsbDeviceTable();

// What the USB scan learnt about Apple players: whether an iPod shuffle is plugged in, and the
// USB path of the first one.
struct AppleUsbScan {
    BOOL shuffleFound = FALSE;
    CString appleUsbPath;
};
// The USB devices whose path holds the fragment (case-sensitive); the scan is cleared and then
// names the first of them that is an iPod shuffle. An empty fragment counts nothing and leaves
// the scan alone.
int CountUsbDevices(const CString& fragment, AppleUsbScan* scan);
// The Apple USB devices ("USB#VID_05AC&PID_1...").
int CountAppleUsbDevices(AppleUsbScan* scan);
// Whether the drive's disk stands on the USB device of that path ("USB#VID_05AC&PID_1300#000A27"):
// the disk interface with the drive's storage device number has the path's last part in its own.
bool IsDriveOnUsbDevice(wchar_t letter, const CString& usbPath);

// "SOFTWARE\Microsoft\Windows Portable Devices\Devices\<path>" "FriendlyName", else the default.
CString ReadFriendlyName(const CString& subKey, const CString& defaultName);

// The device manager, created as the system's class asks; shows its message and returns
// false when it cannot be had.
bool CreateDeviceManager(IWMDeviceManager** manager);

struct DeviceProperties {
    int protocolFlag = -9999;  // 1 MTP, 0 another protocol, -9999 unknown
    bool isRapi = false;
    CString friendlyName;
    CString modelName;
};
// False when the device lacks the extended interface or its model-name query answers
// E_NOINTERFACE.
bool ReadDeviceProperties(IWMDMDevice* device, DeviceProperties* properties);
