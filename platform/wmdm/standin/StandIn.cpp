// The stand-in's module: the device manager under the system's class id (registered in test
// prefixes only), usable from any thread.
#include "Module.h"
#include "Objects.h"

namespace {

const com::ClassEntry kClasses[] = {
    {&CLSID_MediaDevMgr, &com::CreateInstance<wmdmstandin::CDeviceManager>,
     {L"Media device manager (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
};
com::Module g_module(kClasses);

}  // namespace
