// IDispatch of a dual interface, answered from the module's type library:
//
//     class CThing : public com::ObjectRoot<com::ApartmentThreading>,
//                    public com::Dispatch<IThing, &IID_IThing> { ... };
//
// GetIDsOfNames and Invoke go through the interface's ITypeInfo, which calls the object's
// v-table, so the two bindings cannot drift apart. Methods with 8-bit or wide text parameters
// (LPSTR, LPWSTR), which ITypeInfo::Invoke refuses, are called by InvokeMethod: a text
// argument arrives as a BSTR (or what converts to one) and is handed over in the system's
// ANSI code page or as wide text. A text argument (a BSTR by value, also in a variant passed
// by reference) that holds a NUL before its end is refused (DISP_E_TYPEMISMATCH,
// argumentError its index) for every method: what a method reads up to the NUL is not what
// the caller gave.
#pragma once

#include "Module.h"

#include <oaidl.h>

namespace com {

// ITypeInfo::Invoke, or for a method with text parameters (all of them [in]) the same call
// made here: arguments converted to the parameters' types, the v-table entry called, a failed
// result reported as DISP_E_EXCEPTION with its code in the exception record.
HRESULT InvokeMethod(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argumentError);

template <class Interface, const IID* InterfaceId>
class Dispatch : public Interface {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return Module::Current().GetTypeInfo(*InterfaceId, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override
    {
        return WithTypeInfo(iid, [&](ITypeInfo* info) { return info->GetIDsOfNames(names, count, ids); });
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override
    {
        return WithTypeInfo(iid, [&](ITypeInfo* info) {
            return InvokeMethod(info, static_cast<Interface*>(this), id, flags, params, result, exception,
                                argumentError);
        });
    }

private:
    // Calls use(type information) for the interface; the dispatch calls name no interface.
    template <class Use>
    static HRESULT WithTypeInfo(REFIID iid, Use use)
    {
        if (!IsEqualIID(iid, IID_NULL))
            return DISP_E_UNKNOWNINTERFACE;
        ITypeInfo* info = nullptr;
        HRESULT hr = Module::Current().GetTypeInfo(*InterfaceId, &info);
        if (FAILED(hr))
            return hr;
        hr = use(info);
        info->Release();
        return hr;
    }
};

}  // namespace com
