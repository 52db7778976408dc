// The server module: its class table, its lock count, its type library and its registration.
// One per DLL or program, defined at namespace scope by the server:
//
//     const com::ClassEntry kClasses[] = {
//         {&CLSID_CVPMediaObj, &com::CreateInstance<CVPMediaObj>,
//          {L"CVPMediaObj Object", L"Tessaline.VPMediaObj.1", L"Tessaline.VPMediaObj", L"apartment", true,
//           com::ServerKind::InProcess}},
//     };
//     const com::TypeLibRegistration kTypeLib{&LIBID_Tessaline, 1, 0};
//     const com::AppIdRegistration kAppId{&APPID_Tessaline, L"Tessaline", L"Tessaline.DLL"};
//     com::Module g_module(kClasses, &kTypeLib, &kAppId);
//
// Every object and every LockServer(TRUE) holds a lock; the module may be unloaded (DLL) or
// end (program) only when the count is zero. Linking com_inproc adds the four DLL exports.
//
// A program that serves its classes to other processes (a local server) registers its class
// objects while it runs and, started by COM for a client, ends when the last object goes:
//
//     g_module.RegisterClassObjects();          // CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE
//     g_module.QuitWhenUnused(GetCurrentThreadId());   // only when started with /Embedding
//     ... run the message loop ...
//     g_module.RevokeClassObjects();
#pragma once

#include "Registrar.h"

#include <windows.h>
#include <oaidl.h>

#include <span>

namespace com {

using CreateFunction = HRESULT (*)(IUnknown* outer, REFIID iid, void** object);

struct ClassEntry {
    const CLSID* clsid;
    CreateFunction create;
    ClassRegistration registration;
};

class Module {
public:
    Module(std::span<const ClassEntry> classes, const TypeLibRegistration* typeLib = nullptr,
           const AppIdRegistration* appId = nullptr);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    // The module of this DLL or program (an empty one when the code defines none, as tests may).
    static Module& Current();

    LONG Lock() { return InterlockedIncrement(&m_locks); }
    // When QuitWhenUnused was asked and the count falls to what the registered class objects
    // hold themselves, WM_QUIT is posted to the serving thread.
    LONG Unlock();
    LONG LockCount() const { return m_locks; }

    // Registers a class object of each class with COM, for other processes to create objects
    // through. On failure the ones registered so far are revoked again.
    HRESULT RegisterClassObjects(DWORD context = CLSCTX_LOCAL_SERVER, DWORD flags = REGCLS_MULTIPLEUSE);
    // Revokes what RegisterClassObjects registered (nothing when it did not run).
    void RevokeClassObjects();
    // The program serves only: its loop on that thread ends once no client holds an object
    // or a server lock any more.
    void QuitWhenUnused(DWORD threadId) { m_quitThread = threadId; }

    HINSTANCE Instance() const { return m_instance; }
    void SetInstance(HINSTANCE instance) { m_instance = instance; }
    // The module's file, for the registry and the type library.
    bool GetPath(wchar_t* path, DWORD size) const;

    // A new class factory for one of the module's classes.
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
    // The description of an interface in the module's type library: the v-table form of a
    // dual interface, so that ITypeInfo::Invoke calls the object's methods. Cached.
    HRESULT GetTypeInfo(REFIID iid, ITypeInfo** info);

    HRESULT RegisterServer();
    // Removes what RegisterServer wrote; goes on past keys already gone.
    HRESULT UnregisterServer();
    // Drops the cached type library (when the module is unloaded).
    void ReleaseTypeInfo();

private:
    std::span<const ClassEntry> m_classes;
    const TypeLibRegistration* m_typeLib;
    const AppIdRegistration* m_appId;
    HINSTANCE m_instance = nullptr;
    LONG m_locks = 0;
    // The class objects registered with COM: their cookies, and the locks they hold.
    DWORD m_cookies[8] = {};
    LONG m_classObjectLocks = 0;
    DWORD m_quitThread = 0;
    SRWLOCK m_typeLock = SRWLOCK_INIT;
    ITypeLib* m_typeLibrary = nullptr;
    struct CachedInfo {
        IID iid;
        ITypeInfo* info;
    };
    CachedInfo m_infos[8] = {};
};

}  // namespace com
