// What the mobile-device link's stand-in connects to: the devices a fixture file describes, each
// a folder tree (its file system) and a registry section.
//
// The fixture (an INI file) is named by the environment variable VESPERLIN_RAPI_DEVICES;
// without it, or without the file, no device is connected.
//
//     [Devices]
//     Count=1
//     Fail.EnumDevices=0x80004005      ; the listing fails (see Fail. below)
//     [Device1]
//     Name=Pocket PC                    ; the device's name
//     Guid={6E1A1C9A-...}               ; its id (default: one made from the index)
//     Platform=PocketPC
//     OsVersion=5.2
//     Folder=ppc                        ; its file system, beside the fixture or absolute ("\x" is Folder\x)
//     Cards=Storage Card,SD Card        ; root folders that are storage cards: listed with the temporary attribute
//     Fail.CreateSession=0x80004005     ; also FindDevice, GetDeviceInfo, CeRapiInit, CeRapiInvoke (HRESULTs),
//     Fail.CeCreateFile=5               ;   CeCreateFile and CeWriteFile (Win32 codes); "*N": only N times
//     ShortWrite=100                    ; CeWriteFile takes at most so many bytes a call (and says so in its count)
//     [Device1.Registry]
//     HKCR\Vesperlin.Media\Shell\Open\Command|="\Program Files\Reader\Reader.exe" "%1"
//     HKCU\Software\Vesperlin, Inc.\Brenvale\Settings|DownloadFolder=\My Documents\Audiobooks
//
// A registry line is a key path from HKCR or HKCU, "|", a value name (empty: the default value),
// "=" and the value's text (every value is a text value); a key exists when a value lies in it
// or below it.
//
// A file a caller creates is logged in "<fixture folder>\Device1.events.log" with the attributes
// it asked for ("CeCreateFile \My Documents\Carrowind.dat 0x2 OPEN_ALWAYS"). A library on the
// device is a file of the tree; the device-side library "ZKYMobileRapi.DLL" answers its
// function "ZKYMInvokableFunction" by appending the line "ZKYMInvokableFunction" to
// "ZKYMobileRapi.log" beside it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rapistandin {

struct RegistryValue {
    std::wstring key;   // "HKCR\Vesperlin.Media\Shell\Open\Command"
    std::wstring name;  // "" for the default value
    std::wstring text;
};

struct MobileDevice {
    std::wstring fixture;
    std::wstring section;
    std::wstring name;
    GUID id{};
    std::wstring platform;
    DWORD osMajor = 5;
    DWORD osMinor = 2;
    std::wstring folder;
    std::vector<std::wstring> cards;
    std::vector<RegistryValue> registry;
    std::wstring eventLog;

    // The host path of a device path ("\My Documents\x"); empty for one that would leave the tree.
    std::wstring HostPath(const std::wstring& devicePath) const;
    bool IsCard(const std::wstring& rootFolderName) const;
};

// The connected devices; fails with the injected failure of EnumDevices.
HRESULT ReadFixture(std::vector<MobileDevice>* devices);
HRESULT InjectedFailure(const MobileDevice& device, const wchar_t* call);
void LogEvent(const MobileDevice& device, const std::wstring& line);

}  // namespace rapistandin
