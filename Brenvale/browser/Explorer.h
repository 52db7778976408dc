// CExplorer: the web browser control in a window of its own, driven late-bound by dispatch id
// (Navigate2, ExecWB). Pages run no scripts, no ActiveX controls and no Java: what it shows
// comes from the network.
//
//     m_browser.CreateAtPlaceholder(this, IDC_BROWSER);
//     m_browser.Navigate2(L"file:C:\\temp\\Brenvale\\CheckUpdatesResponse.htm");
//     m_browser.ExecWB(OLECMDID_COPY, OLECMDEXECOPT_DONTPROMPTUSER);
#pragma once

#include "AxHost.h"
#include "OleDispatchDriver.h"

#include <functional>
#include <vector>

// Dispatch ids of the browser's methods.
enum ExplorerDispid : DISPID {
    DISPID_EXPLORER_NAVIGATE2 = 500,
    DISPID_EXPLORER_EXECWB = 502,
};

// A call the wrapper made, with its arguments as texts in declared order ("<null>" for a
// null pointer), for tests: the page itself may never load.
struct ExplorerCall {
    DISPID id;
    std::vector<CString> arguments;
    HRESULT result;
};
using ExplorerCallRecorder = std::function<void(const ExplorerCall&)>;
// Installs a recorder of every call (empty: none); returns the previous one.
ExplorerCallRecorder SetExplorerCallRecorder(ExplorerCallRecorder recorder);

class CExplorer : public CAxHost {
    DECLARE_DYNCREATE(CExplorer)
public:
    CExplorer() { SetAmbientDownloadControl(kAxNoActiveContent); }

    BOOL Create(const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL CreateAtPlaceholder(CWnd* parent, UINT id);

    // Navigate2 with the URL as a string variant and null pointers for the flags, target
    // frame, post data and headers; the control's answer (the caller may ignore it).
    HRESULT Navigate2(const wchar_t* url);
    // ExecWB with the command and option and null pointers for input and output.
    HRESULT ExecWB(long command, long option);

    static const CLSID& ControlClsid();

private:
    HRESULT Call(DISPID id, std::initializer_list<COleVariant> arguments);
};
