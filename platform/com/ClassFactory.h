// The class object of one creatable class: creates its objects (stand-alone or aggregated)
// and locks the module on LockServer(TRUE).
#pragma once

#include "Object.h"

namespace com {

class ClassFactory : public ObjectRoot<FreeThreading>, public IClassFactory {
public:
    static const InterfaceEntry* Interfaces()
    {
        static constexpr InterfaceEntry table[] = {
            Implements<ClassFactory, IClassFactory>(IID_IClassFactory),
            {},
        };
        return table;
    }

    explicit ClassFactory(CreateFunction create) : m_create(create) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** result) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    CreateFunction m_create;
};

}  // namespace com
