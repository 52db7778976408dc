// The chapter server's class and interface, as its callers use them.
#pragma once

#include <windows.h>
#include <oaidl.h>

inline constexpr GUID LIBID_Tessaline = {0x3869909C, 0xE870, 0x4E6F, {0xBA, 0x91, 0x7E, 0x71, 0x9C, 0x33, 0x64, 0x90}};
inline constexpr CLSID CLSID_CVPMediaObj = {0x0E5C7CD6, 0x6792, 0x4C57, {0x90, 0xED, 0xDF, 0xFF, 0x9D, 0x3E, 0x66, 0x76}};
inline constexpr IID IID_IVPMediaObj = {0xA3D7B824, 0xA3A3, 0x47B8, {0xB6, 0xAD, 0xC7, 0x36, 0x4F, 0x76, 0x21, 0xED}};
// The server's AppID ("Tessaline").
inline constexpr GUID APPID_Tessaline = {0x5C0F7E11, 0x2B7A, 0x4B9E, {0x9E, 0x4D, 0x7A, 0x3C, 0x1F, 0x08, 0xD2, 0xB5}};

// Texts are 8-bit, in the system's ANSI code page.
struct IVPMediaObj : public IDispatch {
    // Writes the marker text ("<milliseconds> <title>" lines) into the MP4 file as its
    // chapter list, replacing the one it had.
    virtual HRESULT STDMETHODCALLTYPE AddMediaMarkers(LPSTR lpszMP4FilePath, LPSTR lpszMarker) = 0;
    // Ends the object's work (its destruction does the same); always S_OK.
    virtual HRESULT STDMETHODCALLTYPE Close(LPSTR lpszMarker) = 0;
};
#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IVPMediaObj, 0xA3D7B824, 0xA3A3, 0x47B8, 0xB6, 0xAD, 0xC7, 0x36, 0x4F, 0x76, 0x21, 0xED)
#endif
