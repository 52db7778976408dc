// Tessaline.dll: the in-process server of the MP4 chapter object.
#include "Module.h"
#include "TessalineIds.h"
#include "VPMediaObj.h"

namespace {

const com::ClassEntry kClasses[] = {
    {&CLSID_CVPMediaObj, &com::CreateInstance<CVPMediaObj>,
     {L"CVPMediaObj Object", L"Tessaline.VPMediaObj.1", L"Tessaline.VPMediaObj", L"apartment", true,
      com::ServerKind::InProcess}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_Tessaline, 1, 0};
const com::AppIdRegistration kAppId{&APPID_Tessaline, L"Tessaline", L"Tessaline.DLL"};
com::Module g_module(kClasses, &kTypeLib, &kAppId);

}  // namespace
