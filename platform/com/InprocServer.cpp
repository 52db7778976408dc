// The exports of an in-process server (InprocServer.h), over its Module. Linked into the server DLL
// (the com_inproc object library), which is linked with --kill-at so the names are plain.
// No C++ exception leaves them: their callers are the system's.
#include "InprocServer.h"
#include "Module.h"

#include "AfxMessageBox.h"

#include <new>

namespace {

template <class Call>
HRESULT Guarded(Call call)
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

}  // namespace

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
    return Guarded([&] { return com::Module::Current().GetClassObject(clsid, iid, object); });
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllCanUnloadNow()
{
    return com::Module::Current().LockCount() == 0 ? S_OK : S_FALSE;
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllRegisterServer()
{
    return Guarded([&] { return com::Module::Current().RegisterServer(); });
}

__declspec(dllexport) HRESULT STDAPICALLTYPE DllUnregisterServer()
{
    return Guarded([&] { return com::Module::Current().UnregisterServer(); });
}

__declspec(dllexport) void STDAPICALLTYPE DllSetMessageBoxHook(com::MessageBoxHook hook, void* context)
{
    Guarded([&] {
        if (!hook)
            AfxSetMessageBoxHandler(nullptr);
        else
            AfxSetMessageBoxHandler([hook, context](const AfxMessageBoxRequest& box) {
                return hook(context, box.owner, box.text, box.caption, box.type);
            });
        return S_OK;
    });
}

}  // extern "C"
