// The accessible object a window hands out for WM_GETOBJECT: every call goes to the
// system's standard object of the window, except the name, role and state (the window's
// virtual overrides) and the child elements the window supplies itself (list rows).
#include "Wnd.h"

#include <oleacc.h>

class CAccessibleProxy : public IAccessible {
public:
    explicit CAccessibleProxy(CWnd* wnd) : m_wnd(wnd) {}
    virtual ~CAccessibleProxy() = default;
    void Disconnect() { m_wnd = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IAccessible) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return refs;
    }

    // IDispatch: clients of this object use the v-table.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        IAccessible* base = Base();
        return base ? base->get_accParent(parent) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override
    {
        if (!m_wnd)
            return CO_E_OBJNOTCONNECTED;
        if (!count)
            return E_POINTER;
        const long own = m_wnd->GetAccessibleChildCount();
        if (own >= 0) {
            *count = own;
            return S_OK;
        }
        IAccessible* base = Base();
        return base ? base->get_accChildCount(count) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        if (!m_wnd)
            return CO_E_OBJNOTCONNECTED;
        if (OwnChild(child)) {  // simple elements: no object of their own
            if (!out)
                return E_POINTER;
            *out = nullptr;
            return S_FALSE;
        }
        IAccessible* base = Base();
        return base ? base->get_accChild(child, out) : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return m_wnd ? m_wnd->get_accName(child, name) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return Forward(child, [&](IAccessible* b) { return b->get_accValue(child, value); }, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return Forward(child, [&](IAccessible* b) { return b->get_accDescription(child, text); }, text);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return m_wnd ? m_wnd->get_accRole(child, role) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return m_wnd ? m_wnd->get_accState(child, state) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override
    {
        return Forward(child, [&](IAccessible* b) { return b->get_accHelp(child, text); }, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override
    {
        return Forward(child, [&](IAccessible* b) { return b->get_accHelpTopic(file, child, topic); }, file);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* text) override
    {
        return Forward(child, [&](IAccessible* b) { return b->get_accKeyboardShortcut(child, text); }, text);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override
    {
        IAccessible* base = Base();
        return base ? base->get_accFocus(child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override
    {
        IAccessible* base = Base();
        return base ? base->get_accSelection(children) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* text) override
    {
        return Forward(child, [&](IAccessible* b) { return b->get_accDefaultAction(child, text); }, text);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override
    {
        IAccessible* base = Base();
        return base ? base->accSelect(flags, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* cx, long* cy, VARIANT child) override
    {
        IAccessible* base = Base();
        return base ? base->accLocation(x, y, cx, cy, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override
    {
        IAccessible* base = Base();
        return base ? base->accNavigate(direction, start, end) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override
    {
        IAccessible* base = Base();
        return base ? base->accHitTest(x, y, child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        IAccessible* base = Base();
        return base ? base->accDoDefaultAction(child) : CO_E_OBJNOTCONNECTED;
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

private:
    IAccessible* Base() { return m_wnd ? m_wnd->GetStandardAccessible() : nullptr; }
    bool OwnChild(const VARIANT& child) const
    {
        return child.vt == VT_I4 && child.lVal > 0 && m_wnd->GetAccessibleChildCount() >= 0;
    }
    // Text properties of elements we supply ourselves have none; the rest is the base's.
    template <class Call>
    HRESULT Forward(const VARIANT& child, Call call, BSTR* text)
    {
        if (!m_wnd)
            return CO_E_OBJNOTCONNECTED;
        if (OwnChild(child)) {
            if (text)
                *text = nullptr;
            return S_FALSE;
        }
        IAccessible* base = Base();
        return base ? call(base) : E_FAIL;
    }

    LONG m_refs = 1;
    CWnd* m_wnd;
};

void AfxDisconnectAccessibleProxy(IAccessible* proxy) { static_cast<CAccessibleProxy*>(proxy)->Disconnect(); }

IAccessible* CWnd::GetStandardAccessible()
{
    if (!m_standardAccessible && m_hWnd)
        CreateStdAccessibleObject(m_hWnd, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&m_standardAccessible));
    return m_standardAccessible;
}

long CWnd::GetAccessibleChildCount() { return -1; }

HRESULT CWnd::get_accName(VARIANT child, BSTR* name)
{
    IAccessible* base = GetStandardAccessible();
    return base ? base->get_accName(child, name) : E_FAIL;
}

HRESULT CWnd::get_accRole(VARIANT child, VARIANT* role)
{
    IAccessible* base = GetStandardAccessible();
    return base ? base->get_accRole(child, role) : E_FAIL;
}

HRESULT CWnd::get_accState(VARIANT child, VARIANT* state)
{
    IAccessible* base = GetStandardAccessible();
    return base ? base->get_accState(child, state) : E_FAIL;
}

BOOL AfxAnswerGetObject(CWnd* wnd, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (!wnd->m_accessibilityEnabled || static_cast<LONG>(lParam) != OBJID_CLIENT)
        return FALSE;
    if (!wnd->m_accessibleProxy)
        wnd->m_accessibleProxy = new CAccessibleProxy(wnd);
    *result = LresultFromObject(IID_IAccessible, wParam, wnd->m_accessibleProxy);
    return TRUE;
}
