// The kit's test server: its ids and its interface, as the tests call it.
#pragma once

#include <windows.h>
#include <oaidl.h>

// {6B1E04F2-35C8-4A57-9D0B-2C91A4E7F31x}
inline constexpr GUID LIBID_KitTest = {0x6B1E04F2, 0x35C8, 0x4A57, {0x9D, 0x0B, 0x2C, 0x91, 0xA4, 0xE7, 0xF3, 0x10}};
inline constexpr IID IID_ICounter = {0x6B1E04F2, 0x35C8, 0x4A57, {0x9D, 0x0B, 0x2C, 0x91, 0xA4, 0xE7, 0xF3, 0x11}};
inline constexpr CLSID CLSID_Counter = {0x6B1E04F2, 0x35C8, 0x4A57, {0x9D, 0x0B, 0x2C, 0x91, 0xA4, 0xE7, 0xF3, 0x12}};
// A class without a type library entry, any thread, no ProgID.
inline constexpr CLSID CLSID_Pinger = {0x6B1E04F2, 0x35C8, 0x4A57, {0x9D, 0x0B, 0x2C, 0x91, 0xA4, 0xE7, 0xF3, 0x13}};
inline constexpr GUID APPID_KitTest = {0x6B1E04F2, 0x35C8, 0x4A57, {0x9D, 0x0B, 0x2C, 0x91, 0xA4, 0xE7, 0xF3, 0x14}};

struct ICounter : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Add(LONG value, LONG* total) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    // Sets the total to the length of the text in bytes; E_INVALIDARG for a null or empty text.
    virtual HRESULT STDMETHODCALLTYPE Label(LPSTR text) = 0;
};
