// Carrowind.exe: the device wizard's application object, its COM module and its entry point.
#include "CarrowindApp.h"
#include "Module.h"
#include "ProgressObject.h"

namespace {

// {1573193E-0E49-49a8-A45D-18A47D48FB0D}
constexpr GUID APPID_Carrowind = {0x1573193E, 0x0E49, 0x49A8, {0xA4, 0x5D, 0x18, 0xA4, 0x7D, 0x48, 0xFB, 0x0D}};

const com::ClassEntry kClasses[] = {
    {&CLSID_WMDMProgressObject, &com::CreateInstance<WMDMProgressObject>,
     {L"WMDMProgressObject Class", L"Vesperlin.WMDMProgressObject.1", L"Vesperlin.WMDMProgressObject", nullptr, true,
      com::ServerKind::LocalServer}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_CarrowindLib, 1, 0};
const com::AppIdRegistration kAppId{&APPID_Carrowind, L"Quillmere", L"Carrowind.exe"};
com::Module g_module(kClasses, &kTypeLib, &kAppId);

CWizardApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return AfxWinMain(); }
