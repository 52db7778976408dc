#include "Explorer.h"

#include "OleDispatchDriver.h"

IMPLEMENT_DYNCREATE(CExplorer, CAxHost)

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
constexpr CLSID kBrowserClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};

ExplorerCallRecorder& Recorder()
{
    static ExplorerCallRecorder recorder;
    return recorder;
}

CString Describe(const VARIANT& argument)
{
    const VARIANT* value = &argument;
    if (argument.vt == (VT_VARIANT | VT_BYREF)) {
        if (!argument.pvarVal)
            return L"<null>";
        value = argument.pvarVal;
    }
    VARIANT text;
    VariantInit(&text);
    CString result = L"<?>";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(value), 0, VT_BSTR)))
        result = text.bstrVal ? CString(text.bstrVal) : CString();
    VariantClear(&text);
    return result;
}

}  // namespace

ExplorerCallRecorder SetExplorerCallRecorder(ExplorerCallRecorder recorder)
{
    ExplorerCallRecorder previous = std::move(Recorder());
    Recorder() = std::move(recorder);
    return previous;
}

const CLSID& CExplorer::ControlClsid() { return kBrowserClsid; }

BOOL CExplorer::Create(const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return CreateControl(kBrowserClsid, windowName, style, rect, parent, id);
}

BOOL CExplorer::CreateAtPlaceholder(CWnd* parent, UINT id)
{
    return CreateControlAtPlaceholder(kBrowserClsid, parent, id);
}

HRESULT CExplorer::Call(DISPID id, std::initializer_list<COleVariant> arguments)
{
    IDispatch* dispatch = nullptr;
    HRESULT hr = QueryControl(IID_IDispatch, reinterpret_cast<void**>(&dispatch));
    if (SUCCEEDED(hr)) {
        COleDispatchDriver driver(dispatch);
        hr = driver.TryInvoke(id, DISPATCH_METHOD, nullptr, arguments);
    }
    if (Recorder()) {
        ExplorerCall call{id, {}, hr};
        for (const COleVariant& argument : arguments)
            call.arguments.push_back(Describe(argument));
        Recorder()(call);
    }
    return hr;
}

HRESULT CExplorer::Navigate2(const wchar_t* url)
{
    COleVariant address(url ? url : L"");
    const COleVariant none = COleVariant::ByRef(nullptr);
    return Call(DISPID_EXPLORER_NAVIGATE2, {COleVariant::ByRef(&address), none, none, none, none});
}

HRESULT CExplorer::ExecWB(long command, long option)
{
    const COleVariant none = COleVariant::ByRef(nullptr);
    return Call(DISPID_EXPLORER_EXECWB, {COleVariant(command), COleVariant(option), none, none});
}
