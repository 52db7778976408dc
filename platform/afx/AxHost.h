// CAxHost: a child window that hosts an ActiveX control, through the system's own control
// container (atl.dll's "AtlAxWin" window class, bound at run time). What we add around it:
// the control is created by CLSID or ProgID, may take the place of a placeholder control of
// a dialog template (resource compilers cannot write control data into templates), may be
// answered an ambient download control (DISPID_AMBIENT_DLCONTROL), and may have its events
// delivered to a sink of ours through its connection point.
//
//     class CExplorer : public CAxHost { ... };
//     BOOL CMyDlg::OnInitDialog()
//     {
//         CDialog::OnInitDialog();
//         m_browser.SetAmbientDownloadControl(DLCTL_NO_SCRIPTS | DLCTL_NO_RUNACTIVEXCTLS | DLCTL_NO_JAVA);
//         if (!m_browser.CreateControlAtPlaceholder(CLSID_WebBrowser, this, IDC_BROWSER))
//             return EndDialog(IDCANCEL), TRUE;
//         ...
//     }
//
// The window owns the control: destroying the window closes the control, disconnects the
// sink and releases every reference the host holds.
#pragma once

#include "Wnd.h"

#include <mshtmdid.h>
#include <ocidl.h>

#include <functional>

// Receives a hosted control's events by dispatch id. Handler exceptions stop in the sink
// (reported through the message-box funnel): none unwinds into the control.
using AxEventHandler = std::function<void(DISPID id, DISPPARAMS* params)>;

class CAxHost : public CWnd {
    DECLARE_DYNAMIC(CAxHost)
public:
    CAxHost() = default;
    ~CAxHost() override;

    // The flags answered to the control's DISPID_AMBIENT_DLCONTROL request (a web page's
    // downloads and code); 0, the default, leaves the ambient property unanswered. Takes
    // effect for controls created afterwards.
    void SetAmbientDownloadControl(DWORD flags) { m_downloadControl = flags; }
    DWORD GetAmbientDownloadControl() const { return m_downloadControl; }

    // Creates the control in a new child window (WS_CHILD is added); FALSE when the control
    // or its window cannot be made (GetCreateResult says why).
    BOOL CreateControl(REFCLSID clsid, const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent,
                       UINT id);
    BOOL CreateControl(const wchar_t* progId, const wchar_t* windowName, DWORD style, const RECT& rect,
                       CWnd* parent, UINT id);
    // The control takes the place of parent's child id (its rectangle, visibility, tab stop
    // and place in the tab order); the placeholder is destroyed. The placeholder stays when
    // the control cannot be made.
    BOOL CreateControlAtPlaceholder(REFCLSID clsid, CWnd* parent, UINT id);
    HRESULT GetCreateResult() const { return m_createResult; }

    // The control's own IUnknown (not AddRef'd), null when none is hosted.
    IUnknown* GetControlUnknown() const { return m_control; }
    // QueryInterface on the control; E_POINTER when none is hosted.
    HRESULT QueryControl(REFIID iid, void** result) const;

    // Connects handler to the control's outgoing interface events (one connection per host,
    // ended when the window goes or by DisconnectEvents).
    HRESULT ConnectEvents(REFIID events, AxEventHandler handler);
    void DisconnectEvents();

protected:
    void OnDestroy() override;

private:
    void ReleaseControl();
    DWORD m_downloadControl = 0;
    HRESULT m_createResult = S_OK;
    IUnknown* m_control = nullptr;     // the control itself
    IUnknown* m_container = nullptr;   // the container's site
    IConnectionPoint* m_connection = nullptr;
    IDispatch* m_sink = nullptr;
    DWORD m_cookie = 0;
};

// The flags the console's browser windows answer: pages from the network run no scripts,
// no ActiveX controls and no Java.
constexpr DWORD kAxNoActiveContent = DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS;
