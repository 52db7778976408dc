// The system's lists of devices as the device search reads them: the present interfaces of a
// device-interface class (disks, USB devices) with their paths and descriptions, the present
// devices of an enumerator, and the storage device number behind an interface path.
//
// Each function asks the system (SetupAPI, DeviceIoControl) and then adds the rows of a fixture
// file, so that tests and the run script can show devices the system under Wine never lists.
// The fixture (an INI file) is named by the environment variable VESPERLIN_DEVICE_LISTS:
//
//     [Interfaces]
//     Count=2
//     [Interface1]
//     Class=Disk                      ; Disk, USB or an interface class {GUID}
//     Path=\\?\usbstor#disk&ven_generic&prod_flash_disk&rev_1.00#0001#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}
//     FriendlyName=Generic Flash Disk ; absent: the device has no such property
//     Description=Disk drive          ; absent: no description
//     DeviceType=7                    ; the storage device number of the path (absent: none)
//     DeviceNumber=1
//     SetupClass=DiskDrive            ; the device's setup class and enumerator, for ListDevices
//     Enumerator=USBSTOR
//     [Interface2]
//     Class=USB
//     Path=\\?\usb#vid_045e&pid_0710#5&1&0&2#{a5dcbf10-6530-11d2-901f-00c04fb951ed}
//     Description=Zune
//
//     for (const devices::InterfaceRow& row : devices::ListInterfaces(devices::kDiskInterfaces)) ...
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace devices {

inline constexpr GUID kDiskInterfaces = {0x53F56307, 0xB6BF, 0x11D0, {0x94, 0xF2, 0x00, 0xA0, 0xC9, 0x1E, 0xFB, 0x8B}};
inline constexpr GUID kUsbDeviceInterfaces = {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}};

struct InterfaceRow {
    std::wstring path;         // whole, however long
    bool hasFriendlyName = false;
    std::wstring friendlyName;
    bool hasDescription = false;
    std::wstring description;
};

// The present interfaces of an interface class, in the system's order, then the fixture's. An
// interface whose path cannot be read is skipped; the later ones are still listed.
std::vector<InterfaceRow> ListInterfaces(const GUID& interfaceClass);

struct DeviceRow {
    GUID setupClass{};
    bool hasFriendlyName = false;
    std::wstring friendlyName;
};

// The present devices of an enumerator ("USBSTOR", "USB") in every setup class, with their
// classes; the caller compares the class with the one a class name stands for (ClassOfName).
std::vector<DeviceRow> ListDevices(const wchar_t* enumerator);
// The setup class a class name ("DiskDrive", "USB") stands for; false when it names none.
bool ClassOfName(const wchar_t* className, GUID* setupClass);

// The storage device number (type and number) of a device path ("\\.\E:" or an interface path).
bool GetStorageDeviceNumber(const std::wstring& path, DWORD* deviceType, DWORD* deviceNumber);

}  // namespace devices
