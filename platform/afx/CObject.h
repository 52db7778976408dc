// CObject and CRuntimeClass: run-time class records with dynamic creation and
// lookup by name, the base of every serialisable class.
#pragma once

#include <windows.h>

class CArchive;
class CObject;

struct CRuntimeClass {
    const char* m_lpszClassName;
    int m_nObjectSize;
    UINT m_wSchema;  // 0xFFFF: not serialisable
    CObject* (*m_pfnCreateObject)();
    const CRuntimeClass* m_pBaseClass;

    CObject* CreateObject() const;
    bool IsDerivedFrom(const CRuntimeClass* base) const;
    bool IsSerializable() const { return m_wSchema != 0xFFFF; }

    // Registered classes (every class declared dynamic registers itself at start-up).
    static const CRuntimeClass* FromName(const char* className);
    static const CRuntimeClass* FromName(const wchar_t* className);
};

// Registers a class record for lookup by name; used by the IMPLEMENT_ macros.
struct AfxClassInit {
    explicit AfxClassInit(const CRuntimeClass* record);
};

class CObject {
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass* GetRuntimeClass() const;
    virtual void Serialize(CArchive& ar);

    bool IsKindOf(const CRuntimeClass* cls) const;
    bool IsSerializable() const { return GetRuntimeClass()->IsSerializable(); }

    static const CRuntimeClass classCObject;
    static const CRuntimeClass* GetThisClass() { return &classCObject; }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

#define RUNTIME_CLASS(class_name) (class_name::GetThisClass())

#define DECLARE_DYNAMIC(class_name)                          \
public:                                                      \
    static const CRuntimeClass class##class_name;            \
    static const CRuntimeClass* GetThisClass() { return &class##class_name; } \
    const CRuntimeClass* GetRuntimeClass() const override;

#define DECLARE_DYNCREATE(class_name) \
    DECLARE_DYNAMIC(class_name)       \
    static CObject* CreateObject();

#define DECLARE_SERIAL(class_name) DECLARE_DYNCREATE(class_name)

#define AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_name, schema, create)                               \
    const CRuntimeClass class_name::class##class_name = {#class_name, static_cast<int>(sizeof(class_name)), \
                                                         schema, create, &base_name::class##base_name};      \
    static const AfxClassInit _init_##class_name(RUNTIME_CLASS(class_name));                             \
    const CRuntimeClass* class_name::GetRuntimeClass() const { return RUNTIME_CLASS(class_name); }

#define IMPLEMENT_DYNAMIC(class_name, base_name) AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_name, 0xFFFF, nullptr)

#define IMPLEMENT_DYNCREATE(class_name, base_name)                       \
    CObject* class_name::CreateObject() { return new class_name; }       \
    AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_name, 0xFFFF, class_name::CreateObject)

#define IMPLEMENT_SERIAL(class_name, base_name, schema)                  \
    CObject* class_name::CreateObject() { return new class_name; }       \
    AFX_IMPLEMENT_RUNTIMECLASS(class_name, base_name, schema, class_name::CreateObject)

// Casts with a run-time check; null when the object is not of that class.
template <class T>
T* DynamicDowncast(CObject* object)
{
    return object && object->IsKindOf(T::GetThisClass()) ? static_cast<T*>(object) : nullptr;
}
#define DYNAMIC_DOWNCAST(class_name, object) DynamicDowncast<class_name>(object)
