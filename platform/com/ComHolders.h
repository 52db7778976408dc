// Holders that release what they own: an interface pointer, a BSTR, a VARIANT.
//
//     com::ComPtr<IVPMediaObj> object;
//     HRESULT hr = CoCreateInstance(CLSID_CVPMediaObj, nullptr, CLSCTX_INPROC_SERVER, IID_IVPMediaObj, object.PutVoid());
//     com::ComPtr<IDispatch> dispatch;
//     if (SUCCEEDED(hr)) hr = object.As(&dispatch);
//     com::Bstr name(L"AddMediaMarkers");
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace com {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(T* p) : m_p(p) { if (m_p) m_p->AddRef(); }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ~ComPtr() { Reset(); }
    ComPtr& operator=(ComPtr other) noexcept { std::swap(m_p, other.m_p); return *this; }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // Releases what is held and gives the slot to an out parameter.
    T** Put() { Reset(); return &m_p; }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() { if (T* p = std::exchange(m_p, nullptr)) p->Release(); }
    // Takes over a reference the caller owns / hands the reference over.
    void Attach(T* p) { Reset(); m_p = p; }
    T* Detach() { return std::exchange(m_p, nullptr); }
    // QueryInterface for another interface of the same object.
    template <class U>
    HRESULT As(ComPtr<U>* other, REFIID iid = __uuidof(U)) const
    {
        if (!m_p) return E_POINTER;
        return m_p->QueryInterface(iid, other->PutVoid());
    }

private:
    T* m_p = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : m_s(text ? SysAllocString(text) : nullptr) {}
    Bstr(const Bstr& other) : m_s(other.m_s ? SysAllocStringLen(other.m_s, other.Length()) : nullptr) {}
    Bstr(Bstr&& other) noexcept : m_s(std::exchange(other.m_s, nullptr)) {}
    ~Bstr() { SysFreeString(m_s); }
    Bstr& operator=(Bstr other) noexcept { std::swap(m_s, other.m_s); return *this; }

    BSTR Get() const { return m_s; }
    operator BSTR() const { return m_s; }
    UINT Length() const { return SysStringLen(m_s); }
    BSTR* Put() { SysFreeString(std::exchange(m_s, nullptr)); return &m_s; }
    BSTR Detach() { return std::exchange(m_s, nullptr); }

private:
    BSTR m_s = nullptr;
};

class Variant : public VARIANT {
public:
    Variant() { VariantInit(this); }
    explicit Variant(const wchar_t* text) : Variant() { vt = VT_BSTR; bstrVal = SysAllocString(text); }
    explicit Variant(LONG value) : Variant() { vt = VT_I4; lVal = value; }
    Variant(const Variant& other) : Variant() { VariantCopy(this, const_cast<VARIANT*>(static_cast<const VARIANT*>(&other))); }
    ~Variant() { VariantClear(this); }
    Variant& operator=(const Variant& other) { if (this != &other) VariantCopy(this, const_cast<VARIANT*>(static_cast<const VARIANT*>(&other))); return *this; }
    // Clears the value and gives the slot to an out parameter.
    VARIANT* Put() { VariantClear(this); return this; }
};

}  // namespace com
