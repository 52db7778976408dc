// The stand-in's module: the device manager, the device and the property containers,
// registered under the system's class ids (in a test prefix) and usable from any thread.
#include "Device.h"
#include "Module.h"
#include "Values.h"

namespace {

using namespace wpdstandin;

const com::ClassEntry kClasses[] = {
    {&CLSID_PortableDeviceManager, &com::CreateInstance<CDeviceManager>,
     {L"Portable device manager (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
    {&CLSID_PortableDevice, &com::CreateInstance<CPortableDevice>,
     {L"Portable device (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
    {&CLSID_PortableDeviceValues, &com::CreateInstance<CValues>,
     {L"Portable device values (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
    {&CLSID_PortableDeviceKeyCollection, &com::CreateInstance<CKeyCollection>,
     {L"Portable device key collection (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
    {&CLSID_PortableDevicePropVariantCollection, &com::CreateInstance<CPropVariantCollection>,
     {L"Portable device value collection (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
};
com::Module g_module(kClasses);

}  // namespace
