// COM objects: a class states its threading model and its interfaces; Object<T> (alone) or
// Aggregate<T> (inside an outer object) adds the reference count, QueryInterface and the
// module lock.
//
//     class CThing : public com::ObjectRoot<com::ApartmentThreading>, public IThing {
//     public:
//         static const com::InterfaceEntry* Interfaces()
//         {
//             static constexpr com::InterfaceEntry table[] = {
//                 com::Implements<CThing, IThing>(IID_IThing),  // the first row also answers IUnknown
//                 {},
//             };
//             return table;
//         }
//         HRESULT FinalConstruct();      // optional: after construction, may fail the creation
//         void FinalRelease();           // optional: before destruction
//         STDMETHODIMP DoIt() override;
//     };
//     com::CreateInstance<CThing>(outer, IID_IThing, &p);     // what the class factory calls
#pragma once

#include "Module.h"

#include <windows.h>
#include <unknwn.h>

#include <new>
#include <utility>

namespace com {

// Reference counts of objects called on one apartment's thread ("Apartment").
struct ApartmentThreading {
    static ULONG Increment(LONG& count) { return static_cast<ULONG>(++count); }
    static ULONG Decrement(LONG& count) { return static_cast<ULONG>(--count); }
};

// Reference counts of objects any thread may call ("Both", "Free").
struct FreeThreading {
    static ULONG Increment(LONG& count) { return static_cast<ULONG>(InterlockedIncrement(&count)); }
    static ULONG Decrement(LONG& count) { return static_cast<ULONG>(InterlockedDecrement(&count)); }
};

// One row of a class's interface table: an IID and how to reach that interface of the object:
// a cast to one of its bases, or a query handed to an object it aggregates (the cast is then
// null).
struct InterfaceEntry {
    const IID* iid;
    IUnknown* (*cast)(void* object);
    HRESULT (*query)(void* object, REFIID iid, void** result) = nullptr;
};

template <class Class, class Interface>
constexpr InterfaceEntry Implements(const IID& iid)
{
    return {&iid, [](void* object) -> IUnknown* { return static_cast<Interface*>(static_cast<Class*>(object)); }};
}

// Looks iid up in a table ended by an empty row; the first row also answers IID_IUnknown.
HRESULT QueryInterfaceTable(void* object, const InterfaceEntry* table, REFIID iid, void** result);

template <class ThreadModel>
class ObjectRoot {
public:
    using Threading = ThreadModel;

    HRESULT FinalConstruct() { return S_OK; }
    void FinalRelease() {}
    // The object's own IUnknown, or the outer object's when aggregated (for aggregating, in
    // turn, e.g. the free-threaded marshaler: FreeThreadedMarshaler.h).
    IUnknown* ControllingUnknown() const { return m_controlling; }

protected:
    ObjectRoot() = default;
    ~ObjectRoot() = default;

private:
    template <class T> friend class Object;
    template <class T> friend class Aggregate;
    IUnknown* m_controlling = nullptr;
};

// An object standing alone.
template <class T>
class Object final : public T {
public:
    template <class... Args>
    explicit Object(Args&&... args) : T(std::forward<Args>(args)...)
    {
        Module::Current().Lock();
    }
    ~Object()
    {
        this->FinalRelease();
        Module::Current().Unlock();
    }

    // A new object with one reference, held by *result as the interface asked for.
    template <class... Args>
    static HRESULT Create(REFIID iid, void** result, Args&&... args)
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        Object* object = new (std::nothrow) Object(std::forward<Args>(args)...);
        if (!object)
            return E_OUTOFMEMORY;
        object->m_controlling = QueryInterfaceTableFirst(object);
        object->m_refs = 1;  // kept alive through FinalConstruct and the first QueryInterface
        HRESULT hr = object->FinalConstruct();
        if (SUCCEEDED(hr))
            hr = object->QueryInterface(iid, result);
        object->Release();
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        return QueryInterfaceTable(static_cast<T*>(this), T::Interfaces(), iid, result);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return T::Threading::Increment(m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = T::Threading::Decrement(m_refs);
        if (refs == 0) {
            m_refs = 1;  // a FinalRelease that hands itself around does not delete twice
            delete this;
        }
        return refs;
    }

private:
    static IUnknown* QueryInterfaceTableFirst(Object* object) { return T::Interfaces()[0].cast(static_cast<T*>(object)); }
    LONG m_refs = 0;
};

// An object inside an outer object: its interfaces delegate IUnknown to the outer one; the
// outer object holds the inner, non-delegating IUnknown this class is.
template <class T>
class Aggregate final : public IUnknown {
public:
    static HRESULT Create(IUnknown* outer, void** inner)
    {
        if (!inner)
            return E_POINTER;
        *inner = nullptr;
        Aggregate* object = new (std::nothrow) Aggregate(outer);
        if (!object)
            return E_OUTOFMEMORY;
        object->m_refs = 1;
        HRESULT hr = object->m_contained.FinalConstruct();
        if (SUCCEEDED(hr))
            *inner = static_cast<IUnknown*>(object);
        else
            object->Release();
        return hr;
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        if (!result)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown)) {
            *result = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        return QueryInterfaceTable(static_cast<T*>(&m_contained), T::Interfaces(), iid, result);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return T::Threading::Increment(m_refs); }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = T::Threading::Decrement(m_refs);
        if (refs == 0) {
            m_refs = 1;
            delete this;
        }
        return refs;
    }

private:
    class Contained final : public T {
    public:
        explicit Contained(IUnknown* outer) : m_outer(outer) { this->m_controlling = outer; }
        STDMETHODIMP QueryInterface(REFIID iid, void** result) override { return m_outer->QueryInterface(iid, result); }
        STDMETHODIMP_(ULONG) AddRef() override { return m_outer->AddRef(); }
        STDMETHODIMP_(ULONG) Release() override { return m_outer->Release(); }

    private:
        IUnknown* m_outer;
    };

    explicit Aggregate(IUnknown* outer) : m_contained(outer) { Module::Current().Lock(); }
    ~Aggregate()
    {
        m_contained.FinalRelease();
        Module::Current().Unlock();
    }

    Contained m_contained;
    LONG m_refs = 0;
};

// What a class factory calls: a stand-alone object, or the inner unknown of an aggregate
// (which an outer object may only ask for as IUnknown).
template <class T>
HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    if (!outer)
        return Object<T>::Create(iid, result);
    if (!IsEqualIID(iid, IID_IUnknown))
        return CLASS_E_NOAGGREGATION;
    return Aggregate<T>::Create(outer, result);
}

}  // namespace com
