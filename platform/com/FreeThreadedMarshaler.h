// The free-threaded marshaler as an aggregate of our objects: an object that holds one hands
// itself across apartments by pointer, so an interface marshalled into a stream
// (CoMarshalInterThreadInterfaceInStream) still works after the apartment that marshalled it
// has ended, and no proxy or stub is needed for our own interfaces.
//
//     class CThing : public com::FreeThreadedRoot, public IThing {
//     public:
//         static const com::InterfaceEntry* Interfaces()
//         {
//             static constexpr com::InterfaceEntry table[] = {
//                 com::Implements<CThing, IThing>(IID_IThing),
//                 com::MarshalsFreeThreaded<CThing>(),
//                 {},
//             };
//             return table;
//         }
//     };
//
// A class with a FinalConstruct of its own calls FreeThreadedRoot::FinalConstruct first.
#pragma once

#include "Object.h"

#include <objidl.h>

namespace com {

// Holds the marshaler aggregated into the object whose controlling unknown it was made for.
class FreeThreadedMarshaler {
public:
    FreeThreadedMarshaler() = default;
    ~FreeThreadedMarshaler() { Reset(); }
    FreeThreadedMarshaler(const FreeThreadedMarshaler&) = delete;
    FreeThreadedMarshaler& operator=(const FreeThreadedMarshaler&) = delete;

    HRESULT Create(IUnknown* controlling);
    void Reset();
    // What the object answers for IID_IMarshal; E_NOINTERFACE before Create.
    HRESULT Query(REFIID iid, void** result) const;

private:
    IUnknown* m_inner = nullptr;
};

// A free-threaded object's root: reference counts any thread may change, and the marshaler.
class FreeThreadedRoot : public ObjectRoot<FreeThreading> {
public:
    HRESULT FinalConstruct() { return m_marshaler.Create(ControllingUnknown()); }
    void FinalRelease() { m_marshaler.Reset(); }
    const FreeThreadedMarshaler& Marshaler() const { return m_marshaler; }

private:
    FreeThreadedMarshaler m_marshaler;
};

// The interface-table row that hands IID_IMarshal to the object's marshaler.
template <class Class>
constexpr InterfaceEntry MarshalsFreeThreaded()
{
    return {&IID_IMarshal, nullptr, [](void* object, REFIID iid, void** result) -> HRESULT {
                return static_cast<const FreeThreadedRoot*>(static_cast<Class*>(object))->Marshaler().Query(iid, result);
            }};
}

}  // namespace com
