// The configuration manager's device tree as safe removal walks it: the eight functions of
// setupapi.dll, bound at run time by name so that a program starts where they are missing.
//
// LoadDeviceTree binds the system's functions; when the environment variable
// VESPERLIN_DEVICE_TREE names a fixture file, it binds functions of our own instead that walk
// the tree the fixture describes, so tests and the run script can show devices and answer an
// eject. The fixture (an INI file):
//
//     [Tree]
//     Count=3
//     [Node1]
//     Id=USB\ROOT_HUB20\4&1A2B&0     ; the device id
//     Parent=0                        ; the node's parent (0: the root, which has the id "HTREE\ROOT\0")
//     Status=0x0180200A               ; the status word (DN_REMOVABLE is 0x4000)
//     Problem=0                       ; the problem number
//     EjectResult=0                   ; what an eject request answers (0x17: vetoed)
//     VetoType=6                      ; with a veto: its type and the vetoing name
//     VetoName=\Device\HarddiskVolume2
//     NoId=1                          ; the id cannot be read
//
// Every eject request is logged as "Eject <id>" in "<fixture folder>\tree.events.log".
//
//     devices::DeviceTree tree;
//     if (!devices::LoadDeviceTree(&tree)) return error;   // a function is missing
//     DEVINST root = 0;
//     tree.locateDevNode(&root, nullptr, 0);
//     ...
//     devices::UnloadDeviceTree(&tree);
#pragma once

#include <windows.h>
#include <cfgmgr32.h>

namespace devices {

struct DeviceTree {
    decltype(&::CM_Locate_DevNodeA) locateDevNode = nullptr;
    decltype(&::CM_Get_Child) getChild = nullptr;
    decltype(&::CM_Get_Sibling) getSibling = nullptr;
    decltype(&::CM_Get_DevNode_Status) getStatus = nullptr;
    decltype(&::CM_Get_Device_ID_Size) getDeviceIdSize = nullptr;
    decltype(&::CM_Get_Device_IDA) getDeviceId = nullptr;
    decltype(&::CM_Request_Device_EjectA) requestEjectA = nullptr;
    decltype(&::CM_Request_Device_EjectW) requestEjectW = nullptr;
    HMODULE module = nullptr;  // setupapi.dll
    bool loadedModule = false; // we loaded it and free it
    DWORD error = 0;           // the system's error code when setupapi.dll could not be had
};

// Binds the functions; false when setupapi.dll cannot be had (error set). A function the
// module lacks stays null.
bool LoadDeviceTree(DeviceTree* tree);
// Frees setupapi.dll when LoadDeviceTree loaded it.
void UnloadDeviceTree(DeviceTree* tree);

}  // namespace devices
