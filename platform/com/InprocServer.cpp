// The four exports of an in-process server, over its Module. Linked into the server DLL
// (the com_inproc object library), which is linked with --kill-at so the names are plain.
// No C++ exception leaves them: their callers are the system's.
#include "Module.h"

#include <new>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void* reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        com::Module::Current().SetInstance(instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH && !reserved) {
        // Unloaded by FreeLibrary: oleaut32 is still there to take the type library back.
        com::Module::Current().ReleaseTypeInfo();
    }
    return TRUE;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    try {
        return com::Module::Current().GetClassObject(clsid, iid, object);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return com::Module::Current().LockCount() == 0 ? S_OK : S_FALSE;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer()
{
    try {
        return com::Module::Current().RegisterServer();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    try {
        return com::Module::Current().UnregisterServer();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // extern "C"
