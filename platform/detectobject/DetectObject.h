// The detect object stand-in: "Vesperlin.ZKYDetectObject", an in-process automation server
// that answers four version texts, each from a method without arguments (dispids 1 to 4).
// The real object comes with the suite's installer; this one stands in for it where it is
// absent (tests, the run script).
//
// The answers come from the process environment, so a test or the run script chooses them
// (an empty value answers an empty text); a variable that is not set gives the default:
//     VESPERLIN_DETECT_CONSOLE_VERSION    dispid 1, default "3.6.0.0"
//     VESPERLIN_DETECT_PLAYER_VERSION     dispid 2, default the file version of wmp.dll
//     VESPERLIN_DETECT_PLATFORM_VERSION   dispid 3, default the file version of wmvcore.dll
//     VESPERLIN_DETECT_OS_VERSION         dispid 4, default "major.minor.build" of the system
//     VESPERLIN_DETECT_UNAVAILABLE=1      the object cannot be created (REGDB_E_CLASSNOTREG),
//                                         as where it is not installed
#pragma once

#include <windows.h>
#include <oaidl.h>

inline constexpr GUID LIBID_ZKYDetectLib = {0x3C2B7E10, 0x8F4A, 0x4D6B, {0x9A, 0x1E, 0x5B, 0x0C, 0x7D, 0x2E, 0x4F, 0x60}};
inline constexpr IID IID_IZKYDetectObject = {0x3C2B7E11, 0x8F4A, 0x4D6B, {0x9A, 0x1E, 0x5B, 0x0C, 0x7D, 0x2E, 0x4F, 0x60}};
inline constexpr CLSID CLSID_ZKYDetectObject = {0x3C2B7E12, 0x8F4A, 0x4D6B, {0x9A, 0x1E, 0x5B, 0x0C, 0x7D, 0x2E, 0x4F, 0x60}};

inline constexpr const wchar_t* kDetectObjectProgId = L"Vesperlin.ZKYDetectObject";

// Dispatch ids of the four answers.
enum DetectObjectDispid : DISPID {
    DISPID_DETECT_CONSOLE_VERSION = 1,
    DISPID_DETECT_PLAYER_VERSION = 2,
    DISPID_DETECT_PLATFORM_VERSION = 3,
    DISPID_DETECT_OS_VERSION = 4,
};

struct IZKYDetectObject : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE GetConsoleVersion(BSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlayerVersion(BSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPlatformVersion(BSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetOSVersion(BSTR* version) = 0;
};
