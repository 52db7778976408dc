#include "Module.h"

#include "ClassFactory.h"

namespace com {

namespace {

Module* g_current = nullptr;

}  // namespace

Module::Module(std::span<const ClassEntry> classes, const TypeLibRegistration* typeLib,
               const AppIdRegistration* appId)
    : m_classes(classes), m_typeLib(typeLib), m_appId(appId)
{
    g_current = this;
    m_instance = GetModuleHandleW(nullptr);
}

Module::~Module()
{
    ReleaseTypeInfo();
    if (g_current == this)
        g_current = nullptr;
}

Module& Module::Current()
{
    if (g_current)
        return *g_current;
    static Module empty({});
    return empty;
}

bool Module::GetPath(wchar_t* path, DWORD size) const
{
    const DWORD length = GetModuleFileNameW(m_instance, path, size);
    return length > 0 && length < size;
}

LONG Module::Unlock()
{
    const LONG locks = InterlockedDecrement(&m_locks);
    if (m_quitThread != 0 && locks <= m_classObjectLocks)
        PostThreadMessageW(m_quitThread, WM_QUIT, 0, 0);
    return locks;
}

HRESULT Module::RegisterClassObjects(DWORD context, DWORD flags)
{
    if (m_classes.size() > sizeof(m_cookies) / sizeof(m_cookies[0]))
        return E_OUTOFMEMORY;
    const LONG before = m_locks;
    HRESULT hr = S_OK;
    for (size_t i = 0; i < m_classes.size() && SUCCEEDED(hr); ++i) {
        IUnknown* factory = nullptr;
        hr = GetClassObject(*m_classes[i].clsid, IID_IUnknown, reinterpret_cast<void**>(&factory));
        if (SUCCEEDED(hr)) {
            hr = CoRegisterClassObject(*m_classes[i].clsid, factory, context, flags, &m_cookies[i]);
            factory->Release();  // COM holds it while it is registered
        }
    }
    m_classObjectLocks = m_locks - before;
    if (FAILED(hr))
        RevokeClassObjects();
    return hr;
}

void Module::RevokeClassObjects()
{
    m_quitThread = 0;
    m_classObjectLocks = 0;
    for (DWORD& cookie : m_cookies) {
        if (cookie != 0)
            CoRevokeClassObject(cookie);
        cookie = 0;
    }
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const ClassEntry& entry : m_classes) {
        if (IsEqualCLSID(*entry.clsid, clsid))
            return Object<ClassFactory>::Create(iid, object, entry.create);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT Module::GetTypeInfo(REFIID iid, ITypeInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    AcquireSRWLockExclusive(&m_typeLock);
    CachedInfo* slot = nullptr;
    for (CachedInfo& cached : m_infos) {
        if (cached.info && IsEqualIID(cached.iid, iid)) {
            *info = cached.info;
            cached.info->AddRef();
            ReleaseSRWLockExclusive(&m_typeLock);
            return S_OK;
        }
        if (!cached.info && !slot)
            slot = &cached;
    }
    HRESULT hr = S_OK;
    wchar_t path[MAX_PATH];
    if (!m_typeLibrary)
        hr = GetPath(path, MAX_PATH) ? LoadTypeLibEx(path, REGKIND_NONE, &m_typeLibrary) : E_FAIL;
    ITypeInfo* found = nullptr;
    if (SUCCEEDED(hr))
        hr = m_typeLibrary->GetTypeInfoOfGuid(iid, &found);
    // A dual interface is found as its dispatch description; Invoke needs the v-table one.
    TYPEATTR* attributes = nullptr;
    if (SUCCEEDED(hr) && SUCCEEDED(found->GetTypeAttr(&attributes))) {
        const bool dual = attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL);
        found->ReleaseTypeAttr(attributes);
        HREFTYPE interfaceRef = 0;
        ITypeInfo* vtable = nullptr;
        if (dual && SUCCEEDED(found->GetRefTypeOfImplType(-1, &interfaceRef)) &&
            SUCCEEDED(found->GetRefTypeInfo(interfaceRef, &vtable))) {
            found->Release();
            found = vtable;
        }
    }
    if (SUCCEEDED(hr)) {
        if (slot) {
            *slot = {iid, found};
            found->AddRef();
        }
        *info = found;
    }
    ReleaseSRWLockExclusive(&m_typeLock);
    return hr;
}

void Module::ReleaseTypeInfo()
{
    AcquireSRWLockExclusive(&m_typeLock);
    for (CachedInfo& cached : m_infos) {
        if (cached.info)
            cached.info->Release();
        cached = {};
    }
    if (m_typeLibrary)
        m_typeLibrary->Release();
    m_typeLibrary = nullptr;
    ReleaseSRWLockExclusive(&m_typeLock);
}

HRESULT Module::RegisterServer()
{
    wchar_t path[MAX_PATH];
    if (!GetPath(path, MAX_PATH))
        return E_FAIL;
    HRESULT hr = S_OK;
    if (m_appId)
        hr = RegisterAppId(*m_appId);
    for (const ClassEntry& entry : m_classes) {
        if (SUCCEEDED(hr))
            hr = RegisterClassKeys(*entry.clsid, entry.registration, path, m_typeLib, m_appId);
    }
    if (SUCCEEDED(hr) && m_typeLib)
        hr = RegisterTypeLibOf(path);
    if (FAILED(hr))
        UnregisterServer();
    return hr;
}

HRESULT Module::UnregisterServer()
{
    wchar_t path[MAX_PATH];
    HRESULT hr = S_OK;
    auto keep = [&hr](HRESULT step) {
        if (FAILED(step) && SUCCEEDED(hr))
            hr = step;
    };
    if (m_typeLib)
        keep(GetPath(path, MAX_PATH) ? UnregisterTypeLibOf(*m_typeLib, path) : E_FAIL);
    for (const ClassEntry& entry : m_classes)
        keep(UnregisterClassKeys(*entry.clsid, entry.registration));
    if (m_appId)
        keep(UnregisterAppId(*m_appId));
    return hr;
}

}  // namespace com
