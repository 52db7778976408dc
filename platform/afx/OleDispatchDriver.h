// Late-bound calls on an automation object: COleDispatchDriver holds one IDispatch and calls
// it by dispatch id; COleVariant carries the arguments; a failed call throws
// COleDispatchException (a CException, so the window-procedure boundary reports it) or, with
// TryInvoke, hands the HRESULT back without throwing.
//
//     COleDispatchDriver detect;
//     HRESULT hr = detect.CreateDispatch(L"Vesperlin.ZKYDetectObject");   // never throws
//     if (FAILED(hr)) return ShowCreationFailure(hr);
//     CString version;
//     detect.InvokeHelper(1, DISPATCH_METHOD, VT_BSTR, &version);          // throws on failure
//     browser.InvokeHelper(500, DISPATCH_METHOD, VT_EMPTY, nullptr,
//                          {COleVariant::ByRef(&url), COleVariant::Missing()});
//
// Results by type: VT_EMPTY none, VT_BSTR CString*, VT_I4 long*, VT_R8 double*, VT_BOOL BOOL*,
// VT_DISPATCH IDispatch** (the caller releases it), VT_VARIANT VARIANT* (the caller clears it).
#pragma once

#include "CException.h"
#include "CString.h"

#include <windows.h>
#include <oaidl.h>

#include <initializer_list>

// A VARIANT that clears itself; copies are deep.
class COleVariant : public VARIANT {
public:
    COleVariant() { VariantInit(this); }
    COleVariant(const wchar_t* text);
    COleVariant(long value) : COleVariant() { vt = VT_I4; lVal = value; }
    COleVariant(int value) : COleVariant(static_cast<long>(value)) {}
    COleVariant(double value) : COleVariant() { vt = VT_R8; dblVal = value; }
    COleVariant(const VARIANT& other);
    COleVariant(const COleVariant& other) : COleVariant(static_cast<const VARIANT&>(other)) {}
    ~COleVariant() { VariantClear(this); }
    COleVariant& operator=(const COleVariant& other);
    // An automation Boolean (VARIANT_TRUE / VARIANT_FALSE).
    static COleVariant Bool(BOOL value);
    // A reference to a variant the caller keeps (VT_VARIANT | VT_BYREF).
    static COleVariant ByRef(VARIANT* target);
    // An optional argument left out (VT_ERROR, DISP_E_PARAMNOTFOUND).
    static COleVariant Missing();
    void Clear() { VariantClear(this); }
};

// A failed late-bound call: the result code, and what the object said about it.
class COleDispatchException : public CException {
public:
    COleDispatchException(HRESULT sc, const EXCEPINFO* info = nullptr);
    CString GetErrorMessage() const override;
    HRESULT m_scError;
    WORD m_wCode = 0;
    CString m_strDescription;
    CString m_strSource;
};

class COleDispatchDriver {
public:
    COleDispatchDriver() = default;
    // Takes dispatch; autoRelease: released by ReleaseDispatch and the destructor.
    explicit COleDispatchDriver(IDispatch* dispatch, BOOL autoRelease = TRUE)
        : m_lpDispatch(dispatch), m_bAutoRelease(autoRelease) {}
    ~COleDispatchDriver() { ReleaseDispatch(); }
    COleDispatchDriver(const COleDispatchDriver&) = delete;
    COleDispatchDriver& operator=(const COleDispatchDriver&) = delete;

    // Creates the object (in-process or local) and holds its IDispatch; the failure's
    // HRESULT otherwise (CO_E_CLASSSTRING for an unknown ProgID). Never throws.
    HRESULT CreateDispatch(const wchar_t* progId);
    HRESULT CreateDispatch(REFCLSID clsid);
    void AttachDispatch(IDispatch* dispatch, BOOL autoRelease = TRUE);
    IDispatch* DetachDispatch();
    void ReleaseDispatch();

    // A call by dispatch id; arguments in the order the method declares them. Throws
    // COleDispatchException when there is no object or the call fails.
    void InvokeHelper(DISPID id, WORD flags, VARTYPE resultType, void* result,
                      std::initializer_list<COleVariant> arguments = {});
    // The same without throwing: the call's HRESULT; *result (may be null) gets the value.
    HRESULT TryInvoke(DISPID id, WORD flags, VARIANT* result, std::initializer_list<COleVariant> arguments = {},
                      EXCEPINFO* exception = nullptr) noexcept;
    void GetProperty(DISPID id, VARTYPE type, void* value) { InvokeHelper(id, DISPATCH_PROPERTYGET, type, value); }
    void SetProperty(DISPID id, const COleVariant& value);

    IDispatch* m_lpDispatch = nullptr;
    BOOL m_bAutoRelease = TRUE;
};

// Stores a call's result variant into the typed slot InvokeHelper describes; the HRESULT of
// the conversion (DISP_E_TYPEMISMATCH when it does not convert).
HRESULT AfxStoreVariantResult(VARIANT& value, VARTYPE type, void* result);
