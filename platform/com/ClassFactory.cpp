#include "ClassFactory.h"

namespace com {

HRESULT QueryInterfaceTable(void* object, const InterfaceEntry* table, REFIID iid, void** result)
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    for (const InterfaceEntry* entry = table; entry->iid; ++entry) {
        if (IsEqualIID(*entry->iid, iid) || (entry == table && IsEqualIID(iid, IID_IUnknown))) {
            if (entry->query)
                return entry->query(object, iid, result);
            IUnknown* found = entry->cast(object);
            found->AddRef();
            *result = found;
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** result)
{
    return m_create(outer, iid, result);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        Module::Current().Lock();
    else
        Module::Current().Unlock();
    return S_OK;
}

}  // namespace com
