// WMDMProgressObject: the device manager's progress callback for one file insertion. It turns
// the manager's tick counts into a percentage, sends it to the owner window as
// WM_TRANSFER_PERCENT (synchronously, only when it changes) and turns a zero reply into a
// cancel of the insertion. The wizard creates it in process; the same class is served to
// other processes as the program's COM class.
//
//     IWMDMProgressObject* object = nullptr;
//     com::CreateInstance<WMDMProgressObject>(nullptr, IID_IWMDMProgressObject, (void**)&object);
//     object->SetOwnerWindow(HandleToLong(page));
#pragma once

#include "Dispatch.h"
#include "Object.h"
#include "WmdmProgress.h"

#include <oaidl.h>

// {2A50E646-7610-48AA-8F31-AA9EB98F9115}
inline constexpr CLSID CLSID_WMDMProgressObject = {0x2A50E646, 0x7610, 0x48AA, {0x8F, 0x31, 0xAA, 0x9E, 0xB9, 0x8F, 0x91, 0x15}};
// {F8C4BA43-25B4-4DCC-BC9E-3054C17E6D0E}
inline constexpr IID IID_IWMDMProgressObject = {0xF8C4BA43, 0x25B4, 0x4DCC, {0xBC, 0x9E, 0x30, 0x54, 0xC1, 0x7E, 0x6D, 0x0E}};
// {CD4CAA69-0BB6-492C-B88C-74ADCEAE9349}
inline constexpr GUID LIBID_CarrowindLib = {0xCD4CAA69, 0x0BB6, 0x492C, {0xB8, 0x8C, 0x74, 0xAD, 0xCE, 0xAE, 0x93, 0x49}};

struct IWMDMProgressObject : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE SetOwnerWindow(LONG ownerWindow) = 0;
};

class WMDMProgressObject : public com::ObjectRoot<com::ApartmentThreading>,
                           public com::Dispatch<IWMDMProgressObject, &IID_IWMDMProgressObject>,
                           public IWMDMProgress {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<WMDMProgressObject, IWMDMProgressObject>(IID_IWMDMProgressObject),
            com::Implements<WMDMProgressObject, IDispatch>(IID_IDispatch),
            com::Implements<WMDMProgressObject, IWMDMProgress>(IID_IWMDMProgress),
            {},
        };
        return table;
    }

    STDMETHODIMP SetOwnerWindow(LONG ownerWindow) override;
    // Total ticks = the estimate (1 for an estimate of 0 or 1).
    STDMETHODIMP Begin(DWORD estimatedTicks) override;
    // MulDiv(100, ticks, total), sent when it differs from the last one sent; a zero reply
    // gives wmdm::kUserCancelled. Nothing is sent without an owner window.
    STDMETHODIMP Progress(DWORD transpiredTicks) override;
    STDMETHODIMP End() override { return S_OK; }

private:
    HWND m_owner = nullptr;
    DWORD m_totalTicks = 0;
    DWORD m_lastPercent = 0;
};
