#include "OleDispatchDriver.h"

#include <oleauto.h>

#include <vector>

// --- COleVariant ---

COleVariant::COleVariant(const wchar_t* text) : COleVariant()
{
    vt = VT_BSTR;
    bstrVal = SysAllocString(text ? text : L"");
    if (!bstrVal)
        AfxThrowMemoryException();
}

COleVariant::COleVariant(const VARIANT& other) : COleVariant()
{
    if (FAILED(VariantCopy(this, const_cast<VARIANT*>(&other))))
        AfxThrowMemoryException();
}

COleVariant& COleVariant::operator=(const COleVariant& other)
{
    if (this != &other && FAILED(VariantCopy(this, const_cast<COleVariant*>(&other))))
        AfxThrowMemoryException();
    return *this;
}

COleVariant COleVariant::Bool(BOOL value)
{
    COleVariant v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

COleVariant COleVariant::ByRef(VARIANT* target)
{
    COleVariant v;
    v.vt = VT_VARIANT | VT_BYREF;
    v.pvarVal = target;
    return v;
}

COleVariant COleVariant::Missing()
{
    COleVariant v;
    v.vt = VT_ERROR;
    v.scode = DISP_E_PARAMNOTFOUND;
    return v;
}

// --- COleDispatchException ---

COleDispatchException::COleDispatchException(HRESULT sc, const EXCEPINFO* info) : m_scError(sc)
{
    if (!info)
        return;
    m_wCode = info->wCode;
    if (info->bstrDescription)
        m_strDescription = info->bstrDescription;
    if (info->bstrSource)
        m_strSource = info->bstrSource;
    if (info->scode)
        m_scError = info->scode;
}

CString COleDispatchException::GetErrorMessage() const
{
    if (!m_strDescription.IsEmpty())
        return m_strDescription;
    CString text = AfxSystemErrorText(static_cast<DWORD>(m_scError));
    if (text.IsEmpty())
        text.Format(L"Automation error 0x%.8X.", static_cast<unsigned>(m_scError));
    return text;
}

// --- COleDispatchDriver ---

HRESULT COleDispatchDriver::CreateDispatch(const wchar_t* progId)
{
    CLSID clsid;
    const HRESULT hr = CLSIDFromProgID(progId ? progId : L"", &clsid);
    return FAILED(hr) ? hr : CreateDispatch(clsid);
}

HRESULT COleDispatchDriver::CreateDispatch(REFCLSID clsid)
{
    ReleaseDispatch();
    IDispatch* dispatch = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&dispatch));
    if (FAILED(hr))
        return hr;
    AttachDispatch(dispatch, TRUE);
    return S_OK;
}

void COleDispatchDriver::AttachDispatch(IDispatch* dispatch, BOOL autoRelease)
{
    ReleaseDispatch();
    m_lpDispatch = dispatch;
    m_bAutoRelease = autoRelease;
}

IDispatch* COleDispatchDriver::DetachDispatch()
{
    IDispatch* dispatch = m_lpDispatch;
    m_lpDispatch = nullptr;
    return dispatch;
}

void COleDispatchDriver::ReleaseDispatch()
{
    if (m_lpDispatch && m_bAutoRelease)
        m_lpDispatch->Release();
    m_lpDispatch = nullptr;
}

HRESULT COleDispatchDriver::TryInvoke(DISPID id, WORD flags, VARIANT* result,
                                      std::initializer_list<COleVariant> arguments, EXCEPINFO* exception) noexcept
{
    if (result)
        VariantInit(result);
    if (!m_lpDispatch)
        return E_POINTER;
    // Invoke takes the arguments last first.
    std::vector<VARIANT> reversed;
    try {
        reversed.reserve(arguments.size());
        for (auto it = arguments.end(); it != arguments.begin();)
            reversed.push_back(*--it);  // shallow: the list keeps the values alive
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    EXCEPINFO local{};
    UINT argumentError = 0;
    const HRESULT hr = m_lpDispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                                            exception ? exception : &local, &argumentError);
    if (!exception) {
        SysFreeString(local.bstrSource);
        SysFreeString(local.bstrDescription);
        SysFreeString(local.bstrHelpFile);
    }
    return hr;
}

HRESULT AfxStoreVariantResult(VARIANT& value, VARTYPE type, void* result)
{
    if (type == VT_EMPTY || !result)
        return S_OK;
    if (type == VT_VARIANT) {
        *static_cast<VARIANT*>(result) = value;  // handed over
        VariantInit(&value);
        return S_OK;
    }
    VARIANT converted;
    VariantInit(&converted);
    HRESULT hr = VariantChangeType(&converted, &value, 0, type);
    if (FAILED(hr))
        return DISP_E_TYPEMISMATCH;
    switch (type) {
    case VT_BSTR:
        *static_cast<CString*>(result) = converted.bstrVal ? CString(converted.bstrVal, static_cast<int>(SysStringLen(converted.bstrVal))) : CString();
        break;
    case VT_I4:
        *static_cast<long*>(result) = converted.lVal;
        break;
    case VT_R8:
        *static_cast<double*>(result) = converted.dblVal;
        break;
    case VT_BOOL:
        *static_cast<BOOL*>(result) = converted.boolVal != VARIANT_FALSE;
        break;
    case VT_DISPATCH:
        *static_cast<IDispatch**>(result) = converted.pdispVal;
        VariantInit(&converted);  // the reference goes to the caller
        break;
    default:
        hr = DISP_E_BADVARTYPE;
        break;
    }
    VariantClear(&converted);
    return hr;
}

void COleDispatchDriver::InvokeHelper(DISPID id, WORD flags, VARTYPE resultType, void* result,
                                      std::initializer_list<COleVariant> arguments)
{
    VARIANT value;
    EXCEPINFO exception{};
    HRESULT hr = TryInvoke(id, flags, resultType == VT_EMPTY ? nullptr : &value, arguments, &exception);
    if (FAILED(hr)) {
        COleDispatchException error(hr, hr == DISP_E_EXCEPTION ? &exception : nullptr);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        throw error;
    }
    if (resultType == VT_EMPTY)
        return;
    hr = AfxStoreVariantResult(value, resultType, result);
    VariantClear(&value);
    if (FAILED(hr))
        throw COleDispatchException(hr);
}

void COleDispatchDriver::SetProperty(DISPID id, const COleVariant& value)
{
    InvokeHelper(id, DISPATCH_PROPERTYPUT, VT_EMPTY, nullptr, {value});
}
