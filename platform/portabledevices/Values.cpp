#include "Values.h"

#include <cstring>
#include <cwchar>

namespace wpdstandin {

namespace {

// Holds the container's lock for a scope.
class Hold {
public:
    explicit Hold(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~Hold() { ReleaseSRWLockExclusive(&m_lock); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    SRWLOCK& m_lock;
};

PROPVARIANT Empty()
{
    PROPVARIANT v;
    PropVariantInit(&v);
    return v;
}

}  // namespace

LPWSTR DuplicateText(const wchar_t* text)
{
    if (!text)
        text = L"";
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (copy)
        std::memcpy(copy, text, bytes);
    return copy;
}

CValues::~CValues()
{
    Clear();
}

const PROPVARIANT* CValues::Find(REFPROPERTYKEY key) const
{
    for (const Entry& entry : m_entries) {
        if (wpd::SameKey(entry.key, key))
            return &entry.value;
    }
    return nullptr;
}

HRESULT CValues::Store(REFPROPERTYKEY key, const PROPVARIANT& value)
{
    PROPVARIANT copy = Empty();
    HRESULT hr = PropVariantCopy(&copy, &value);
    if (FAILED(hr))
        return hr;
    Hold hold(m_lock);
    for (Entry& entry : m_entries) {
        if (wpd::SameKey(entry.key, key)) {
            PropVariantClear(&entry.value);
            entry.value = copy;
            return S_OK;
        }
    }
    m_entries.push_back({key, copy});
    return S_OK;
}

HRESULT CValues::Typed(REFPROPERTYKEY key, VARTYPE type, const PROPVARIANT** value) const
{
    const PROPVARIANT* found = Find(key);
    if (!found)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    if (found->vt == VT_ERROR && type != VT_ERROR)
        return found->scode;
    if (found->vt != type)
        return DISP_E_TYPEMISMATCH;
    *value = found;
    return S_OK;
}

STDMETHODIMP CValues::GetCount(DWORD* count)
{
    if (!count)
        return E_POINTER;
    Hold hold(m_lock);
    *count = static_cast<DWORD>(m_entries.size());
    return S_OK;
}

STDMETHODIMP CValues::GetAt(const DWORD index, PROPERTYKEY* key, PROPVARIANT* value)
{
    Hold hold(m_lock);
    if (index >= m_entries.size())
        return E_INVALIDARG;
    if (key)
        *key = m_entries[index].key;
    if (value) {
        PropVariantInit(value);
        return PropVariantCopy(value, &m_entries[index].value);
    }
    return S_OK;
}

STDMETHODIMP CValues::SetValue(REFPROPERTYKEY key, const PROPVARIANT* value)
{
    if (!value)
        return E_POINTER;
    return Store(key, *value);
}

STDMETHODIMP CValues::GetValue(REFPROPERTYKEY key, PROPVARIANT* value)
{
    if (!value)
        return E_POINTER;
    PropVariantInit(value);
    Hold hold(m_lock);
    const PROPVARIANT* found = Find(key);
    if (!found)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    return PropVariantCopy(value, found);
}

// A variant of one type filled in by fill, stored for key.
template <class Fill>
HRESULT CValues::StoreAs(REFPROPERTYKEY key, VARTYPE type, Fill fill)
{
    PROPVARIANT v = Empty();
    v.vt = type;
    fill(v);
    return Store(key, v);
}

// The stored value of key, of that type, handed to take under the lock.
template <class T, class Take>
HRESULT CValues::ReadAs(REFPROPERTYKEY key, VARTYPE type, T* value, Take take)
{
    if (!value)
        return E_POINTER;
    Hold hold(m_lock);
    const PROPVARIANT* found = nullptr;
    const HRESULT hr = Typed(key, type, &found);
    return SUCCEEDED(hr) ? take(*found, value) : hr;
}

STDMETHODIMP CValues::SetStringValue(REFPROPERTYKEY key, LPCWSTR value)
{
    if (!value)
        return E_POINTER;
    return StoreAs(key, VT_LPWSTR, [&](PROPVARIANT& v) { v.pwszVal = const_cast<LPWSTR>(value); });
}

STDMETHODIMP CValues::GetStringValue(REFPROPERTYKEY key, LPWSTR* value)
{
    if (value)
        *value = nullptr;
    return ReadAs(key, VT_LPWSTR, value, [](const PROPVARIANT& v, LPWSTR* out) {
        *out = DuplicateText(v.pwszVal);
        return *out ? S_OK : E_OUTOFMEMORY;
    });
}

// The plain getters and setters share one shape.
#define WPD_PLAIN(SetName, GetName, Type, Vt, Field)                                                     \
    STDMETHODIMP CValues::SetName(REFPROPERTYKEY key, const Type value)                                  \
    {                                                                                                    \
        return StoreAs(key, Vt, [&](PROPVARIANT& v) { v.Field = value; });                               \
    }                                                                                                    \
    STDMETHODIMP CValues::GetName(REFPROPERTYKEY key, Type* value)                                       \
    {                                                                                                    \
        return ReadAs(key, Vt, value, [](const PROPVARIANT& v, Type* out) {                              \
            *out = static_cast<Type>(v.Field);                                                           \
            return S_OK;                                                                                 \
        });                                                                                              \
    }

WPD_PLAIN(SetUnsignedIntegerValue, GetUnsignedIntegerValue, ULONG, VT_UI4, ulVal)
WPD_PLAIN(SetSignedIntegerValue, GetSignedIntegerValue, LONG, VT_I4, lVal)
WPD_PLAIN(SetUnsignedLargeIntegerValue, GetUnsignedLargeIntegerValue, ULONGLONG, VT_UI8, uhVal.QuadPart)
WPD_PLAIN(SetSignedLargeIntegerValue, GetSignedLargeIntegerValue, LONGLONG, VT_I8, hVal.QuadPart)
WPD_PLAIN(SetFloatValue, GetFloatValue, FLOAT, VT_R4, fltVal)
WPD_PLAIN(SetErrorValue, GetErrorValue, HRESULT, VT_ERROR, scode)
#undef WPD_PLAIN

// A key value is held as a blob of the key's bytes.
STDMETHODIMP CValues::SetKeyValue(REFPROPERTYKEY key, REFPROPERTYKEY value)
{
    return StoreAs(key, VT_BLOB, [&](PROPVARIANT& v) {
        v.blob.cbSize = sizeof(PROPERTYKEY);
        v.blob.pBlobData = reinterpret_cast<BYTE*>(const_cast<PROPERTYKEY*>(&value));
    });
}

STDMETHODIMP CValues::GetKeyValue(REFPROPERTYKEY key, PROPERTYKEY* value)
{
    return ReadAs(key, VT_BLOB, value, [](const PROPVARIANT& v, PROPERTYKEY* out) {
        if (v.blob.cbSize != sizeof(PROPERTYKEY))
            return DISP_E_TYPEMISMATCH;
        std::memcpy(out, v.blob.pBlobData, sizeof(PROPERTYKEY));
        return S_OK;
    });
}

STDMETHODIMP CValues::SetBoolValue(REFPROPERTYKEY key, const WINBOOL value)
{
    return StoreAs(key, VT_BOOL, [&](PROPVARIANT& v) { v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE; });
}

STDMETHODIMP CValues::GetBoolValue(REFPROPERTYKEY key, WINBOOL* value)
{
    return ReadAs(key, VT_BOOL, value, [](const PROPVARIANT& v, WINBOOL* out) {
        *out = v.boolVal ? TRUE : FALSE;
        return S_OK;
    });
}

HRESULT CValues::StoreUnknown(REFPROPERTYKEY key, IUnknown* value)
{
    return StoreAs(key, VT_UNKNOWN, [&](PROPVARIANT& v) { v.punkVal = value; });
}

template <class I>
HRESULT CValues::GetInterface(REFPROPERTYKEY key, REFIID iid, I** value)
{
    if (value)
        *value = nullptr;
    return ReadAs(key, VT_UNKNOWN, value, [&](const PROPVARIANT& v, I** out) {
        return v.punkVal ? v.punkVal->QueryInterface(iid, reinterpret_cast<void**>(out)) : E_POINTER;
    });
}

STDMETHODIMP CValues::SetIUnknownValue(REFPROPERTYKEY key, IUnknown* value)
{
    return StoreUnknown(key, value);
}

STDMETHODIMP CValues::GetIUnknownValue(REFPROPERTYKEY key, IUnknown** value)
{
    return GetInterface(key, IID_IUnknown, value);
}

STDMETHODIMP CValues::SetGuidValue(REFPROPERTYKEY key, REFGUID value)
{
    return StoreAs(key, VT_CLSID, [&](PROPVARIANT& v) { v.puuid = const_cast<GUID*>(&value); });
}

STDMETHODIMP CValues::GetGuidValue(REFPROPERTYKEY key, GUID* value)
{
    return ReadAs(key, VT_CLSID, value, [](const PROPVARIANT& v, GUID* out) {
        *out = *v.puuid;
        return S_OK;
    });
}

STDMETHODIMP CValues::SetBufferValue(REFPROPERTYKEY key, BYTE* value, DWORD size)
{
    if (!value && size)
        return E_POINTER;
    return StoreAs(key, VT_VECTOR | VT_UI1, [&](PROPVARIANT& v) {
        v.caub.cElems = size;
        v.caub.pElems = value;
    });
}

STDMETHODIMP CValues::GetBufferValue(REFPROPERTYKEY key, BYTE** value, DWORD* size)
{
    if (!size)
        return E_POINTER;
    *size = 0;
    if (value)
        *value = nullptr;
    return ReadAs(key, VT_VECTOR | VT_UI1, value, [&](const PROPVARIANT& v, BYTE** out) {
        *out = static_cast<BYTE*>(CoTaskMemAlloc(v.caub.cElems ? v.caub.cElems : 1));
        if (!*out)
            return E_OUTOFMEMORY;
        std::memcpy(*out, v.caub.pElems, v.caub.cElems);
        *size = v.caub.cElems;
        return S_OK;
    });
}

// The interface-valued getters and setters share one shape.
#define WPD_INTERFACE(Name, Interface)                                                \
    STDMETHODIMP CValues::Set##Name##Value(REFPROPERTYKEY key, Interface* value)      \
    {                                                                                 \
        return StoreUnknown(key, value);                                              \
    }                                                                                 \
    STDMETHODIMP CValues::Get##Name##Value(REFPROPERTYKEY key, Interface** value)     \
    {                                                                                 \
        return GetInterface(key, IID_##Interface, value);                             \
    }

WPD_INTERFACE(IPortableDeviceValues, IPortableDeviceValues)
WPD_INTERFACE(IPortableDevicePropVariantCollection, IPortableDevicePropVariantCollection)
WPD_INTERFACE(IPortableDeviceKeyCollection, IPortableDeviceKeyCollection)
WPD_INTERFACE(IPortableDeviceValuesCollection, IPortableDeviceValuesCollection)
#undef WPD_INTERFACE

STDMETHODIMP CValues::RemoveValue(REFPROPERTYKEY key)
{
    Hold hold(m_lock);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (wpd::SameKey(it->key, key)) {
            PropVariantClear(&it->value);
            m_entries.erase(it);
            return S_OK;
        }
    }
    return S_OK;
}

STDMETHODIMP CValues::CopyValuesFromPropertyStore(IPropertyStore*)
{
    return E_NOTIMPL;  // no caller of ours hands over a property store
}

STDMETHODIMP CValues::CopyValuesToPropertyStore(IPropertyStore*)
{
    return E_NOTIMPL;
}

STDMETHODIMP CValues::Clear()
{
    Hold hold(m_lock);
    for (Entry& entry : m_entries)
        PropVariantClear(&entry.value);
    m_entries.clear();
    return S_OK;
}

STDMETHODIMP CKeyCollection::GetCount(DWORD* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<DWORD>(m_keys.size());
    return S_OK;
}

STDMETHODIMP CKeyCollection::GetAt(const DWORD index, PROPERTYKEY* key)
{
    if (!key)
        return E_POINTER;
    if (index >= m_keys.size())
        return E_INVALIDARG;
    *key = m_keys[index];
    return S_OK;
}

STDMETHODIMP CKeyCollection::Add(REFPROPERTYKEY key)
{
    m_keys.push_back(key);
    return S_OK;
}

STDMETHODIMP CKeyCollection::Clear()
{
    m_keys.clear();
    return S_OK;
}

STDMETHODIMP CKeyCollection::RemoveAt(const DWORD index)
{
    if (index >= m_keys.size())
        return E_INVALIDARG;
    m_keys.erase(m_keys.begin() + index);
    return S_OK;
}

CPropVariantCollection::~CPropVariantCollection()
{
    Clear();
}

STDMETHODIMP CPropVariantCollection::GetCount(DWORD* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<DWORD>(m_values.size());
    return S_OK;
}

STDMETHODIMP CPropVariantCollection::GetAt(const DWORD index, PROPVARIANT* value)
{
    if (!value)
        return E_POINTER;
    PropVariantInit(value);
    if (index >= m_values.size())
        return E_INVALIDARG;
    return PropVariantCopy(value, &m_values[index]);
}

STDMETHODIMP CPropVariantCollection::Add(const PROPVARIANT* value)
{
    if (!value)
        return E_POINTER;
    PROPVARIANT copy = Empty();
    HRESULT hr = PropVariantCopy(&copy, value);
    if (SUCCEEDED(hr))
        m_values.push_back(copy);
    return hr;
}

STDMETHODIMP CPropVariantCollection::GetType(VARTYPE* type)
{
    if (!type)
        return E_POINTER;
    *type = m_values.empty() ? static_cast<VARTYPE>(VT_EMPTY) : m_values.front().vt;
    return S_OK;
}

STDMETHODIMP CPropVariantCollection::ChangeType(const VARTYPE type)
{
    for (const PROPVARIANT& value : m_values) {
        if (value.vt != type)
            return E_NOTIMPL;  // only the identity change is needed by anyone
    }
    return S_OK;
}

STDMETHODIMP CPropVariantCollection::Clear()
{
    for (PROPVARIANT& value : m_values)
        PropVariantClear(&value);
    m_values.clear();
    return S_OK;
}

STDMETHODIMP CPropVariantCollection::RemoveAt(const DWORD index)
{
    if (index >= m_values.size())
        return E_INVALIDARG;
    PropVariantClear(&m_values[index]);
    m_values.erase(m_values.begin() + index);
    return S_OK;
}

}  // namespace wpdstandin
