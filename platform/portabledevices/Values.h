// The property containers of the stand-in: a key-to-value map, a key list and a value list,
// created by their class ids (as the server does) or directly (as the stand-in does).
#pragma once

#include "Object.h"
#include "PortableDevices.h"

#include <vector>

namespace wpdstandin {

class CValues : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceValues {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CValues, IPortableDeviceValues>(IID_IPortableDeviceValues),
            {},
        };
        return table;
    }
    ~CValues();

    STDMETHODIMP GetCount(DWORD* count) override;
    STDMETHODIMP GetAt(const DWORD index, PROPERTYKEY* key, PROPVARIANT* value) override;
    STDMETHODIMP SetValue(REFPROPERTYKEY key, const PROPVARIANT* value) override;
    STDMETHODIMP GetValue(REFPROPERTYKEY key, PROPVARIANT* value) override;
    STDMETHODIMP SetStringValue(REFPROPERTYKEY key, LPCWSTR value) override;
    STDMETHODIMP GetStringValue(REFPROPERTYKEY key, LPWSTR* value) override;
    STDMETHODIMP SetUnsignedIntegerValue(REFPROPERTYKEY key, const ULONG value) override;
    STDMETHODIMP GetUnsignedIntegerValue(REFPROPERTYKEY key, ULONG* value) override;
    STDMETHODIMP SetSignedIntegerValue(REFPROPERTYKEY key, const LONG value) override;
    STDMETHODIMP GetSignedIntegerValue(REFPROPERTYKEY key, LONG* value) override;
    STDMETHODIMP SetUnsignedLargeIntegerValue(REFPROPERTYKEY key, const ULONGLONG value) override;
    STDMETHODIMP GetUnsignedLargeIntegerValue(REFPROPERTYKEY key, ULONGLONG* value) override;
    STDMETHODIMP SetSignedLargeIntegerValue(REFPROPERTYKEY key, const LONGLONG value) override;
    STDMETHODIMP GetSignedLargeIntegerValue(REFPROPERTYKEY key, LONGLONG* value) override;
    STDMETHODIMP SetFloatValue(REFPROPERTYKEY key, const FLOAT value) override;
    STDMETHODIMP GetFloatValue(REFPROPERTYKEY key, FLOAT* value) override;
    STDMETHODIMP SetErrorValue(REFPROPERTYKEY key, const HRESULT value) override;
    STDMETHODIMP GetErrorValue(REFPROPERTYKEY key, HRESULT* value) override;
    STDMETHODIMP SetKeyValue(REFPROPERTYKEY key, REFPROPERTYKEY value) override;
    STDMETHODIMP GetKeyValue(REFPROPERTYKEY key, PROPERTYKEY* value) override;
    STDMETHODIMP SetBoolValue(REFPROPERTYKEY key, const WINBOOL value) override;
    STDMETHODIMP GetBoolValue(REFPROPERTYKEY key, WINBOOL* value) override;
    STDMETHODIMP SetIUnknownValue(REFPROPERTYKEY key, IUnknown* value) override;
    STDMETHODIMP GetIUnknownValue(REFPROPERTYKEY key, IUnknown** value) override;
    STDMETHODIMP SetGuidValue(REFPROPERTYKEY key, REFGUID value) override;
    STDMETHODIMP GetGuidValue(REFPROPERTYKEY key, GUID* value) override;
    STDMETHODIMP SetBufferValue(REFPROPERTYKEY key, BYTE* value, DWORD size) override;
    STDMETHODIMP GetBufferValue(REFPROPERTYKEY key, BYTE** value, DWORD* size) override;
    STDMETHODIMP SetIPortableDeviceValuesValue(REFPROPERTYKEY key, IPortableDeviceValues* value) override;
    STDMETHODIMP GetIPortableDeviceValuesValue(REFPROPERTYKEY key, IPortableDeviceValues** value) override;
    STDMETHODIMP SetIPortableDevicePropVariantCollectionValue(REFPROPERTYKEY key,
                                                              IPortableDevicePropVariantCollection* value) override;
    STDMETHODIMP GetIPortableDevicePropVariantCollectionValue(REFPROPERTYKEY key,
                                                              IPortableDevicePropVariantCollection** value) override;
    STDMETHODIMP SetIPortableDeviceKeyCollectionValue(REFPROPERTYKEY key, IPortableDeviceKeyCollection* value) override;
    STDMETHODIMP GetIPortableDeviceKeyCollectionValue(REFPROPERTYKEY key, IPortableDeviceKeyCollection** value) override;
    STDMETHODIMP SetIPortableDeviceValuesCollectionValue(REFPROPERTYKEY key,
                                                         IPortableDeviceValuesCollection* value) override;
    STDMETHODIMP GetIPortableDeviceValuesCollectionValue(REFPROPERTYKEY key,
                                                         IPortableDeviceValuesCollection** value) override;
    STDMETHODIMP RemoveValue(REFPROPERTYKEY key) override;
    STDMETHODIMP CopyValuesFromPropertyStore(IPropertyStore* store) override;
    STDMETHODIMP CopyValuesToPropertyStore(IPropertyStore* store) override;
    STDMETHODIMP Clear() override;

private:
    struct Entry {
        PROPERTYKEY key;
        PROPVARIANT value;
    };
    // The stored value of a key, or null.
    const PROPVARIANT* Find(REFPROPERTYKEY key) const;
    // Stores a copy (replacing an earlier value of the key).
    HRESULT Store(REFPROPERTYKEY key, const PROPVARIANT& value);
    // The value as the type asked for: DISP_E_TYPEMISMATCH for another type, an error value's
    // code for VT_ERROR, HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when absent.
    HRESULT Typed(REFPROPERTYKEY key, VARTYPE type, const PROPVARIANT** value) const;
    template <class Fill>
    HRESULT StoreAs(REFPROPERTYKEY key, VARTYPE type, Fill fill);
    template <class T, class Take>
    HRESULT ReadAs(REFPROPERTYKEY key, VARTYPE type, T* value, Take take);
    HRESULT StoreUnknown(REFPROPERTYKEY key, IUnknown* value);
    template <class I>
    HRESULT GetInterface(REFPROPERTYKEY key, REFIID iid, I** value);

    SRWLOCK m_lock = SRWLOCK_INIT;
    std::vector<Entry> m_entries;
};

class CKeyCollection : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceKeyCollection {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CKeyCollection, IPortableDeviceKeyCollection>(IID_IPortableDeviceKeyCollection),
            {},
        };
        return table;
    }
    STDMETHODIMP GetCount(DWORD* count) override;
    STDMETHODIMP GetAt(const DWORD index, PROPERTYKEY* key) override;
    STDMETHODIMP Add(REFPROPERTYKEY key) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP RemoveAt(const DWORD index) override;

private:
    std::vector<PROPERTYKEY> m_keys;
};

class CPropVariantCollection : public com::ObjectRoot<com::FreeThreading>, public IPortableDevicePropVariantCollection {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CPropVariantCollection, IPortableDevicePropVariantCollection>(
                IID_IPortableDevicePropVariantCollection),
            {},
        };
        return table;
    }
    ~CPropVariantCollection();
    STDMETHODIMP GetCount(DWORD* count) override;
    STDMETHODIMP GetAt(const DWORD index, PROPVARIANT* value) override;
    STDMETHODIMP Add(const PROPVARIANT* value) override;
    STDMETHODIMP GetType(VARTYPE* type) override;
    STDMETHODIMP ChangeType(const VARTYPE type) override;
    STDMETHODIMP Clear() override;
    STDMETHODIMP RemoveAt(const DWORD index) override;

private:
    std::vector<PROPVARIANT> m_values;
};

// A task-memory copy of a text (nullptr when out of memory).
LPWSTR DuplicateText(const wchar_t* text);

}  // namespace wpdstandin
