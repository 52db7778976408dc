// What a server writes into HKEY_CLASSES_ROOT for its classes, its type library and its AppID,
// as tables; unregistering removes exactly the keys registering made.
//
//     HKCR\CLSID\{clsid}            = description; AppID = {appid}
//          \InprocServer32          = module path; ThreadingModel = "Apartment"
//          \ProgID                  = "Server.Class.1"
//          \VersionIndependentProgID= "Server.Class"
//          \Programmable, \TypeLib  = {libid}
//     HKCR\Server.Class.1           = description; \CLSID = {clsid}
//     HKCR\Server.Class             = description; \CLSID = {clsid}; \CurVer = "Server.Class.1"
//     HKCR\AppID\{appid}            = name
//     HKCR\AppID\Server.DLL         AppID = {appid}
#pragma once

#include <windows.h>

namespace com {

// Where a class's objects live: in the module itself (a DLL) or in a program started for them.
enum class ServerKind { InProcess, LocalServer };

struct ClassRegistration {
    const wchar_t* description;               // default value of the class and ProgID keys
    const wchar_t* progId;                    // with version ("Server.Class.1"); nullptr: none
    const wchar_t* versionIndependentProgId;  // ("Server.Class", with "CurVer"); nullptr: none
    const wchar_t* threadingModel;            // "Apartment", "Both", "Free"; nullptr: none written
    bool programmable;                        // writes the "Programmable" key
    ServerKind server;
};

// The module's type library (resource TYPELIB 1), registered and unregistered with its classes.
struct TypeLibRegistration {
    const GUID* libId;
    WORD majorVersion;
    WORD minorVersion;
};

struct AppIdRegistration {
    const GUID* appId;
    const wchar_t* name;        // default value of "AppID\{appid}"
    const wchar_t* moduleName;  // "Server.DLL": the key under "AppID" that names the AppID
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"
struct GuidText {
    explicit GuidText(const GUID& guid);
    wchar_t text[39];
};

// The class's keys; typeLib and appId (either may be null) name what the class key refers to.
HRESULT RegisterClassKeys(const CLSID& clsid, const ClassRegistration& registration, const wchar_t* modulePath,
                          const TypeLibRegistration* typeLib, const AppIdRegistration* appId);
HRESULT UnregisterClassKeys(const CLSID& clsid, const ClassRegistration& registration);
HRESULT RegisterAppId(const AppIdRegistration& appId);
HRESULT UnregisterAppId(const AppIdRegistration& appId);
// The type library of a module file (its TYPELIB 1 resource), with the interface keys it names.
HRESULT RegisterTypeLibOf(const wchar_t* modulePath);
HRESULT UnregisterTypeLibOf(const TypeLibRegistration& typeLib, const wchar_t* modulePath);

}  // namespace com
