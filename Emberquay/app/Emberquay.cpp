// Emberquay.exe: the CD wizard's application object, its COM module and its entry point.
#include "CdWizardApp.h"
#include "Module.h"
#include "ProgressObject.h"

namespace {

// {87B2C489-1EB7-4ff7-B05C-D77B42FF0B9D}
constexpr GUID APPID_Emberquay = {0x87B2C489, 0x1EB7, 0x4FF7, {0xB0, 0x5C, 0xD7, 0x7B, 0x42, 0xFF, 0x0B, 0x9D}};
// {5E0C7A31-8D2B-4C55-9E61-3B7F0A4C2D18}
constexpr GUID LIBID_EmberquayLib = {0x5E0C7A31, 0x8D2B, 0x4C55, {0x9E, 0x61, 0x3B, 0x7F, 0x0A, 0x4C, 0x2D, 0x18}};

const com::ClassEntry kClasses[] = {
    {&CLSID_WMDMProgressObject, &com::CreateInstance<WMDMProgressObject>,
     {L"WMDMProgressObject Class", L"Vesperlin.WMDMProgressObject.1", L"Vesperlin.WMDMProgressObject", nullptr, true,
      com::ServerKind::LocalServer}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_EmberquayLib, 1, 0};
const com::AppIdRegistration kAppId{&APPID_Emberquay, L"Emberquay", L"Emberquay.exe"};
com::Module g_module(kClasses, &kTypeLib, &kAppId);

CCdWizardApp theApp;

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) { return AfxWinMain(); }
