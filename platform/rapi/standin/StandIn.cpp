// The stand-in's module: the mobile-device link's desktop under the system's class id
// (registered in test prefixes only), usable from any thread.
#include "Module.h"
#include "Objects.h"

namespace {

const com::ClassEntry kClasses[] = {
    {&CLSID_RAPI, &com::CreateInstance<rapistandin::CDesktop>,
     {L"Mobile device link desktop (stand-in)", nullptr, nullptr, L"Both", false, com::ServerKind::InProcess}},
};
com::Module g_module(kClasses);

}  // namespace
