// Helpers for tests of COM servers: regsvr32, the registry, DLL exports.
#pragma once

#include "afx.h"

#include <string>
#include <vector>

namespace comtest {

// A module built beside the tests, from its Unix path (given by the build).
CString BuiltModule(const char* unixPath);

// Runs the system's regsvr32 of this process's architecture silently (the 32-bit one from
// the i686 build) on a DLL, registering or unregistering it; its exit code, or -1.
int RunRegsvr32(const CString& dllPath, bool unregister = false);

// Keys and text values under HKEY_CLASSES_ROOT in this process's view; "<none>" for a value
// or key that does not exist. name null: the default value.
bool KeyExists(const CString& path);
CString ReadText(const CString& path, const wchar_t* name = nullptr);

// "{...}" of a GUID.
CString GuidString(const GUID& guid);

// What one class's registration with its type library and AppID writes.
struct ServerKeys {
    const CLSID& clsid;
    const wchar_t* progId;
    const wchar_t* versionIndependentProgId;
    const GUID& appId;
    const wchar_t* moduleName;   // the key under AppID naming the AppID
    const GUID& libId;
    const wchar_t* libVersion;   // "1.0"
    const IID& iid;              // the dual interface
};
// Every key that registration creates (in this process's registry view).
std::vector<CString> RegisteredKeys(const ServerKeys& server);

// Initialises COM for the time it lives: a single-threaded apartment, or the multithreaded one.
class ApartmentScope {
public:
    explicit ApartmentScope(DWORD model = COINIT_APARTMENTTHREADED) : m_hr(CoInitializeEx(nullptr, model)) {}
    ~ApartmentScope() { if (SUCCEEDED(m_hr)) CoUninitialize(); }
    ApartmentScope(const ApartmentScope&) = delete;
    ApartmentScope& operator=(const ApartmentScope&) = delete;

private:
    HRESULT m_hr;
};

// A server DLL loaded directly, with its exports.
class LoadedServer {
public:
    explicit LoadedServer(const CString& path);
    ~LoadedServer();
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;
    bool Loaded() const { return m_module != nullptr; }
    HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) const;
    HRESULT CanUnloadNow() const;

private:
    HMODULE m_module;
};

// Answers the message boxes of a loaded server (InprocServer.h) for the time it lives: each box
// is recorded and gets the scripted button.
class ServerMessageBoxes {
public:
    struct Box {
        HWND owner;
        CString text;
        CString caption;
        UINT type;
    };
    ServerMessageBoxes(const wchar_t* moduleName, int answer = IDOK);
    ~ServerMessageBoxes();
    ServerMessageBoxes(const ServerMessageBoxes&) = delete;
    ServerMessageBoxes& operator=(const ServerMessageBoxes&) = delete;
    bool Installed() const { return m_set != nullptr; }
    void SetAnswer(int answer) { m_answer = answer; }
    const std::vector<Box>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    static int STDAPICALLTYPE Answer(void* context, HWND owner, const wchar_t* text, const wchar_t* caption, UINT type);

    void* m_set;
    int m_answer;
    std::vector<Box> m_boxes;
};

}  // namespace comtest
