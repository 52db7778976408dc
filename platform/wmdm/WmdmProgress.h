// The device manager's progress callback, as the suite declares it: the device manager calls
// Begin, then Progress as the insertion of a file goes on, then End, on the thread that runs the
// insertion. A Progress answer of kUserCancelled makes it abandon the insertion.
//
//     class CMyProgress : public IWMDMProgress { ... };
//     storageControl->Insert(..., progress /* IWMDMProgress* */, ...);
//
// Only the members the suite calls or implements, in the interface's own slot order; the device
// manager's other declarations live beside this header.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace wmdm {

// The insertion was abandoned because the progress callback said so.
inline constexpr HRESULT kUserCancelled = static_cast<HRESULT>(0x8004500BL);

}  // namespace wmdm

inline constexpr IID IID_IWMDMProgress = {0x1DCB3A0C, 0x33ED, 0x11D3, {0x84, 0x70, 0x00, 0xC0, 0x4F, 0x79, 0xDB, 0xC0}};

struct IWMDMProgress : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Begin(DWORD estimatedTicks) = 0;
    virtual HRESULT STDMETHODCALLTYPE Progress(DWORD transpiredTicks) = 0;
    virtual HRESULT STDMETHODCALLTYPE End() = 0;
};
