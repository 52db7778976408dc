#include "Dispatch.h"

#include "CString.h"

#include <oleauto.h>

#include <new>
#include <string>
#include <vector>

namespace com {

namespace {

bool IsText(VARTYPE type)
{
    return type == VT_LPSTR || type == VT_LPWSTR;
}

// A BSTR that holds a NUL before its end: every method reads its text only up to that NUL,
// so "file.m4b\0.txt" would name a different file than the caller gave.
bool HasInnerNul(BSTR text)
{
    if (!text)
        return false;
    const UINT length = SysStringLen(text);
    for (UINT i = 0; i < length; ++i) {
        if (text[i] == L'\0')
            return true;
    }
    return false;
}

// A text given by value, also inside a variant given by reference (as scripts pass their
// variables). A BSTR given by reference is an [out] or [in, out] buffer, which may hold
// anything, and is not looked at.
bool HoldsInnerNul(const VARIANT& value)
{
    if (value.vt == VT_BSTR)
        return HasInnerNul(value.bstrVal);
    if (value.vt == (VT_VARIANT | VT_BYREF))
        return value.pvarVal && value.pvarVal->vt != (VT_VARIANT | VT_BYREF) && HoldsInnerNul(*value.pvarVal);
    return false;
}

// The index (last first, as the arguments arrive) of a text argument cut short by a NUL, or -1.
int FindCutText(const DISPPARAMS* params)
{
    if (!params || !params->rgvarg)
        return -1;
    for (UINT i = 0; i < params->cArgs; ++i) {
        if (HoldsInnerNul(params->rgvarg[i]))
            return static_cast<int>(i);
    }
    return -1;
}

// The description of the method id names, or null.
FUNCDESC* FindMethod(ITypeInfo* info, DISPID id)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(info->GetTypeAttr(&attributes)))
        return nullptr;
    const UINT count = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (UINT i = 0; i < count; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(i, &function)))
            continue;
        if (function->memid == id && function->invkind == INVOKE_FUNC)
            return function;
        info->ReleaseFuncDesc(function);
    }
    return nullptr;
}

HRESULT CallWithText(const FUNCDESC& function, void* object, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argumentError)
{
    const UINT count = static_cast<UINT>(function.cParams);
    for (UINT i = 0; i < count; ++i) {
        const ELEMDESC& parameter = function.lprgelemdescParam[i];
        if ((parameter.paramdesc.wParamFlags & PARAMFLAG_FOUT) || parameter.tdesc.vt == VT_PTR)
            return DISP_E_BADVARTYPE;
    }
    if (params->cNamedArgs != 0)
        return DISP_E_NONAMEDARGS;
    if (params->cArgs != count)
        return DISP_E_BADPARAMCOUNT;

    std::vector<VARIANT> converted(count);
    std::vector<VARIANT> pointers(count);
    std::vector<std::string> narrow(count);
    std::vector<VARTYPE> types(count);
    std::vector<VARIANT*> arguments(count);
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
        const VARTYPE type = function.lprgelemdescParam[i].tdesc.vt;
        VARIANT* given = &params->rgvarg[count - 1 - i];  // arguments arrive last first
        hr = VariantChangeType(&converted[i], given, 0, IsText(type) ? static_cast<VARTYPE>(VT_BSTR) : type);
        if (FAILED(hr)) {
            if (argumentError)
                *argumentError = count - 1 - i;
            hr = DISP_E_TYPEMISMATCH;
            break;
        }
        types[i] = converted[i].vt;
        arguments[i] = &converted[i];
        if (IsText(type)) {
            // The text goes to the method as a pointer-sized number.
            void* text = converted[i].bstrVal ? converted[i].bstrVal : const_cast<wchar_t*>(L"");
            if (type == VT_LPSTR) {
                if (converted[i].bstrVal)
                    narrow[i] = CString(converted[i].bstrVal).ToNarrow(CP_ACP);
                text = narrow[i].data();
            }
            pointers[i].vt = VT_UINT_PTR;
            pointers[i].byref = text;
            types[i] = VT_UINT_PTR;
            arguments[i] = &pointers[i];
        }
    }
    VARIANT returned;
    VariantInit(&returned);
    if (SUCCEEDED(hr))
        hr = DispCallFunc(object, function.oVft, CC_STDCALL, VT_ERROR, count, types.data(), arguments.data(), &returned);
    for (VARIANT& v : converted)
        VariantClear(&v);
    if (FAILED(hr))
        return hr;
    if (result)
        VariantInit(result);
    if (FAILED(returned.scode)) {
        if (exception) {
            *exception = EXCEPINFO{};
            exception->scode = returned.scode;
        }
        return DISP_E_EXCEPTION;
    }
    return S_OK;
}

}  // namespace

HRESULT InvokeMethod(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                     EXCEPINFO* exception, UINT* argumentError)
{
    // A text that runs past its first NUL is refused before any method sees it.
    const int cut = FindCutText(params);
    if (cut >= 0) {
        if (argumentError)
            *argumentError = static_cast<UINT>(cut);
        return DISP_E_TYPEMISMATCH;
    }
    FUNCDESC* function = (flags & DISPATCH_METHOD) && params ? FindMethod(info, id) : nullptr;
    bool text = false;
    for (SHORT i = 0; function && i < function->cParams; ++i)
        text = text || IsText(function->lprgelemdescParam[i].tdesc.vt);
    HRESULT hr = E_OUTOFMEMORY;
    try {
        if (text)
            hr = CallWithText(*function, object, params, result, exception, argumentError);
        else
            hr = info->Invoke(object, id, flags, params, result, exception, argumentError);
    } catch (const std::bad_alloc&) {
        // no exception goes back to the caller
    }
    if (function)
        info->ReleaseFuncDesc(function);
    return hr;
}

}  // namespace com
