#include "AxHost.h"

#include "CException.h"

#include <ole2.h>

#include <exception>
#include <new>

IMPLEMENT_DYNAMIC(CAxHost, CWnd)

namespace {

// --- atl.dll, bound at run time (the i686 cross tools have no import library for it) ---

using AxWinInitFunction = BOOL(WINAPI*)();
using AxAttachControlFunction = HRESULT(WINAPI*)(IUnknown* control, HWND hwnd, IUnknown** container);

struct AtlFunctions {
    AxAttachControlFunction attachControl = nullptr;
    bool ready = false;
};

// The container's window class, registered once per process.
const AtlFunctions& Atl()
{
    static const AtlFunctions functions = [] {
        AtlFunctions f;
        HMODULE atl = LoadLibraryW(L"atl.dll");  // kept for the life of the process
        if (!atl)
            return f;
        auto init = reinterpret_cast<AxWinInitFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
        f.attachControl =
            reinterpret_cast<AxAttachControlFunction>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxAttachControl")));
        f.ready = init && f.attachControl && init();
        return f;
    }();
    return functions;
}

const wchar_t kContainerClass[] = L"AtlAxWin";

// Reference counting shared by the small objects below.
template <class Self>
class RefCounted {
public:
    STDMETHODIMP_(ULONG) AddRef() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    STDMETHODIMP_(ULONG) Release()
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete static_cast<Self*>(this);
        return static_cast<ULONG>(refs);
    }

protected:
    LONG m_refs = 1;
};

// An IDispatch called by dispatch id only: no type information, no names.
class IdOnlyDispatch : public IDispatch {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override
    {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
};

// The container's client site with ambient properties of ours: the control is handed this
// site instead of the container's, which answers everything but the ambient IDispatch.
class AmbientSite final : public IOleClientSite, public IdOnlyDispatch, public RefCounted<AmbientSite> {
public:
    AmbientSite(IOleClientSite* inner, DWORD downloadControl) : m_inner(inner), m_downloadControl(downloadControl)
    {
        m_inner->AddRef();
    }
    ~AmbientSite() { m_inner->Release(); }
    IOleClientSite* Inner() const { return m_inner; }

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
            *result = static_cast<IOleClientSite*>(this);
        else if (IsEqualIID(iid, IID_IDispatch))
            *result = static_cast<IDispatch*>(this);
        else
            return m_inner->QueryInterface(iid, result);  // in-place site, frame, control site
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return RefCounted::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return RefCounted::Release(); }

    STDMETHODIMP SaveObject() override { return m_inner->SaveObject(); }
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override
    {
        return m_inner->GetMoniker(assign, which, moniker);
    }
    STDMETHODIMP GetContainer(IOleContainer** container) override { return m_inner->GetContainer(container); }
    STDMETHODIMP ShowObject() override { return m_inner->ShowObject(); }
    STDMETHODIMP OnShowWindow(BOOL show) override { return m_inner->OnShowWindow(show); }
    STDMETHODIMP RequestNewObjectLayout() override { return m_inner->RequestNewObjectLayout(); }

    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (id == DISPID_AMBIENT_DLCONTROL && m_downloadControl && (flags & DISPATCH_PROPERTYGET) && result) {
            VariantInit(result);
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(m_downloadControl);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;  // the control takes its default
    }

private:
    IOleClientSite* m_inner;
    DWORD m_downloadControl;
};

// What the container holds as "the control": passes every call on to the control, but hands
// it our site wherever the container hands over its own.
class ControlProxy final : public IOleObject, public RefCounted<ControlProxy> {
public:
    ControlProxy(IOleObject* control, DWORD downloadControl) : m_control(control), m_downloadControl(downloadControl)
    {
        m_control->AddRef();
    }
    ~ControlProxy()
    {
        if (m_site)
            m_site->Release();
        m_control->Release();
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        if (!result)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleObject)) {
            *result = static_cast<IOleObject*>(this);
            AddRef();
            return S_OK;
        }
        return m_control->QueryInterface(iid, result);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return RefCounted::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return RefCounted::Release(); }

    STDMETHODIMP SetClientSite(IOleClientSite* site) override
    {
        if (m_site) {
            m_site->Release();
            m_site = nullptr;
        }
        if (site) {
            m_site = new (std::nothrow) AmbientSite(site, m_downloadControl);
            if (!m_site)
                return E_OUTOFMEMORY;
        }
        return m_control->SetClientSite(m_site);
    }
    STDMETHODIMP GetClientSite(IOleClientSite** site) override { return m_control->GetClientSite(site); }
    STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR object) override { return m_control->SetHostNames(app, object); }
    STDMETHODIMP Close(DWORD option) override { return m_control->Close(option); }
    STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override { return m_control->SetMoniker(which, moniker); }
    STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override
    {
        return m_control->GetMoniker(assign, which, moniker);
    }
    STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override
    {
        return m_control->InitFromData(data, creation, reserved);
    }
    STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override
    {
        return m_control->GetClipboardData(reserved, data);
    }
    STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent, LPCRECT rect) override
    {
        if (m_site && site == m_site->Inner())
            site = m_site;
        return m_control->DoVerb(verb, msg, site, index, parent, rect);
    }
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override { return m_control->EnumVerbs(verbs); }
    STDMETHODIMP Update() override { return m_control->Update(); }
    STDMETHODIMP IsUpToDate() override { return m_control->IsUpToDate(); }
    STDMETHODIMP GetUserClassID(CLSID* clsid) override { return m_control->GetUserClassID(clsid); }
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override { return m_control->GetUserType(form, type); }
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override { return m_control->SetExtent(aspect, size); }
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override { return m_control->GetExtent(aspect, size); }
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override { return m_control->Advise(sink, connection); }
    STDMETHODIMP Unadvise(DWORD connection) override { return m_control->Unadvise(connection); }
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override { return m_control->EnumAdvise(advise); }
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override { return m_control->GetMiscStatus(aspect, status); }
    STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override { return m_control->SetColorScheme(palette); }

private:
    IOleObject* m_control;
    DWORD m_downloadControl;
    AmbientSite* m_site = nullptr;
};

// The events of a control, by dispatch id, to a handler of ours.
class EventSink final : public IdOnlyDispatch, public RefCounted<EventSink> {
public:
    EventSink(REFIID events, AxEventHandler handler) : m_events(events), m_handler(std::move(handler)) {}
    // The host is going: events that still arrive are dropped.
    void Disconnect() { m_handler = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        if (!result)
            return E_POINTER;
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, m_events)) {
            *result = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return RefCounted::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return RefCounted::Release(); }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result, EXCEPINFO*, UINT*) override
    {
        if (result)
            VariantInit(result);
        if (!m_handler)
            return S_OK;
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        AddRef();  // a handler that destroys the host keeps us alive until it returns
        try {
            AxEventHandler handler = m_handler;
            handler(id, params ? params : &none);
        } catch (const CUserException&) {
        } catch (const CException& e) {
            try {
                e.ReportError(MB_OK | MB_ICONSTOP);
            } catch (...) {
            }
        } catch (...) {
            try {
                AfxReportWndProcException(nullptr);
            } catch (...) {
            }
        }
        Release();
        return S_OK;
    }

private:
    IID m_events;
    AxEventHandler m_handler;
};

}  // namespace

CAxHost::~CAxHost()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        DestroyWindow();  // closes the control while the object is still whole
    ReleaseControl();
}

BOOL CAxHost::CreateControl(const wchar_t* progId, const wchar_t* windowName, DWORD style, const RECT& rect,
                            CWnd* parent, UINT id)
{
    CLSID clsid;
    m_createResult = CLSIDFromProgID(progId ? progId : L"", &clsid);
    return SUCCEEDED(m_createResult) && CreateControl(clsid, windowName, style, rect, parent, id);
}

BOOL CAxHost::CreateControl(REFCLSID clsid, const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent,
                            UINT id)
{
    if (m_hWnd) {
        m_createResult = E_UNEXPECTED;
        return FALSE;
    }
    if (!Atl().ready) {
        m_createResult = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    IOleObject* control = nullptr;
    m_createResult = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                      reinterpret_cast<void**>(&control));
    if (FAILED(m_createResult))
        return FALSE;
    IPersistStreamInit* persist = nullptr;
    if (SUCCEEDED(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)))) {
        persist->InitNew();
        persist->Release();
    }
    // An empty window text: the container makes no control of its own from it.
    if (!CreateEx(0, kContainerClass, L"", style | WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, rect, parent, id)) {
        control->Release();
        m_createResult = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_CANNOT_MAKE);
        return FALSE;
    }
    ControlProxy* proxy = new (std::nothrow) ControlProxy(control, m_downloadControl);
    m_createResult = proxy ? Atl().attachControl(proxy, m_hWnd, &m_container) : E_OUTOFMEMORY;
    if (proxy)
        proxy->Release();  // the container holds it
    if (SUCCEEDED(m_createResult) && !m_container)
        m_createResult = E_FAIL;
    if (FAILED(m_createResult)) {
        control->Release();
        DestroyWindow();
        return FALSE;
    }
    control->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&m_control));
    control->Release();
    if (windowName && *windowName)
        SetWindowText(windowName);
    return TRUE;
}

BOOL CAxHost::CreateControlAtPlaceholder(REFCLSID clsid, CWnd* parent, UINT id)
{
    HWND placeholder = parent ? ::GetDlgItem(parent->m_hWnd, static_cast<int>(id)) : nullptr;
    if (!placeholder) {
        m_createResult = E_INVALIDARG;
        return FALSE;
    }
    CRect rect;
    ::GetWindowRect(placeholder, &rect);
    parent->ScreenToClient(&rect);
    const DWORD kept = static_cast<DWORD>(GetWindowLongPtrW(placeholder, GWL_STYLE)) &
                       (WS_VISIBLE | WS_DISABLED | WS_TABSTOP | WS_GROUP | WS_BORDER);
    const HWND before = ::GetWindow(placeholder, GW_HWNDPREV);
    // Made under a free id first, so that the dialog never has two children with one id.
    if (!CreateControl(clsid, nullptr, kept, rect, parent, 0))
        return FALSE;
    ::DestroyWindow(placeholder);
    SetWindowLongPtrW(m_hWnd, GWLP_ID, static_cast<LONG_PTR>(id));
    ::SetWindowPos(m_hWnd, before ? before : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return TRUE;
}

HRESULT CAxHost::QueryControl(REFIID iid, void** result) const
{
    if (!result)
        return E_POINTER;
    *result = nullptr;
    return m_control ? m_control->QueryInterface(iid, result) : E_POINTER;
}

HRESULT CAxHost::ConnectEvents(REFIID events, AxEventHandler handler)
{
    DisconnectEvents();
    IConnectionPointContainer* points = nullptr;
    HRESULT hr = QueryControl(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points));
    if (FAILED(hr))
        return hr;
    hr = points->FindConnectionPoint(events, &m_connection);
    points->Release();
    if (FAILED(hr))
        return hr;
    EventSink* sink = new (std::nothrow) EventSink(events, std::move(handler));
    if (!sink) {
        DisconnectEvents();
        return E_OUTOFMEMORY;
    }
    m_sink = sink;
    hr = m_connection->Advise(m_sink, &m_cookie);
    if (FAILED(hr))
        DisconnectEvents();
    return hr;
}

void CAxHost::DisconnectEvents()
{
    if (m_sink)
        static_cast<EventSink*>(m_sink)->Disconnect();
    if (m_connection) {
        if (m_cookie)
            m_connection->Unadvise(m_cookie);
        m_connection->Release();
        m_connection = nullptr;
    }
    m_cookie = 0;
    if (m_sink) {
        m_sink->Release();
        m_sink = nullptr;
    }
}

void CAxHost::ReleaseControl()
{
    DisconnectEvents();
    if (m_control) {
        m_control->Release();
        m_control = nullptr;
    }
    if (m_container) {
        m_container->Release();
        m_container = nullptr;
    }
}

void CAxHost::OnDestroy()
{
    // The container has closed the control and taken back its site by now.
    ReleaseControl();
    CWnd::OnDestroy();
}
