#include "ComTestSupport.h"

#include "InprocServer.h"
#include "RegistryKey.h"
#include "TestSupport.h"

namespace comtest {

CString BuiltModule(const char* unixPath)
{
    return testsupport::WindowsPath(unixPath);
}

int RunRegsvr32(const CString& dllPath, bool unregister)
{
    // From a 32-bit process the system folder is the 32-bit one, so this is the regsvr32 that
    // loads 32-bit servers.
    wchar_t system[MAX_PATH];
    if (GetSystemDirectoryW(system, MAX_PATH) == 0)
        return -1;
    CString command;
    command.Format(L"\"%s\\regsvr32.exe\" /s %s\"%s\"", system, unregister ? L"/u " : L"", static_cast<LPCWSTR>(dllPath));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
        GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<int>(code);
}

bool KeyExists(const CString& path)
{
    CRegistryKey key;
    return key.Open(HKEY_CLASSES_ROOT, path, KEY_READ) == ERROR_SUCCESS;
}

CString ReadText(const CString& path, const wchar_t* name)
{
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return L"<none>";
    return buffer;
}

CString GuidString(const GUID& guid)
{
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::vector<CString> RegisteredKeys(const ServerKeys& server)
{
    const CString clsid = L"CLSID\\" + GuidString(server.clsid);
    const CString progId(server.progId), independent(server.versionIndependentProgId);
    return {clsid,
            clsid + L"\\InprocServer32",
            clsid + L"\\ProgID",
            clsid + L"\\VersionIndependentProgID",
            clsid + L"\\Programmable",
            clsid + L"\\TypeLib",
            progId,
            progId + L"\\CLSID",
            independent,
            independent + L"\\CLSID",
            independent + L"\\CurVer",
            L"AppID\\" + GuidString(server.appId),
            CString(L"AppID\\") + server.moduleName,
            L"TypeLib\\" + GuidString(server.libId) + L"\\" + server.libVersion,
            L"Interface\\" + GuidString(server.iid)};
}

LoadedServer::LoadedServer(const CString& path) : m_module(LoadLibraryW(path)) {}

LoadedServer::~LoadedServer()
{
    if (m_module)
        FreeLibrary(m_module);
}

HRESULT LoadedServer::GetClassObject(REFCLSID clsid, REFIID iid, void** object) const
{
    using Function = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, "DllGetClassObject")));
    return function ? function(clsid, iid, object) : E_NOTIMPL;
}

HRESULT LoadedServer::CanUnloadNow() const
{
    using Function = HRESULT(STDAPICALLTYPE*)();
    auto function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, "DllCanUnloadNow")));
    return function ? function() : E_NOTIMPL;
}

ServerMessageBoxes::ServerMessageBoxes(const wchar_t* moduleName, int answer) : m_set(nullptr), m_answer(answer)
{
    HMODULE module = GetModuleHandleW(moduleName);
    auto set = module ? reinterpret_cast<com::SetMessageBoxHookFunction>(
                            reinterpret_cast<void*>(GetProcAddress(module, com::kSetMessageBoxHookExport)))
                      : nullptr;
    if (set) {
        set(&Answer, this);
        m_set = reinterpret_cast<void*>(set);
    }
}

ServerMessageBoxes::~ServerMessageBoxes()
{
    if (m_set)
        reinterpret_cast<com::SetMessageBoxHookFunction>(m_set)(nullptr, nullptr);
}

int STDAPICALLTYPE ServerMessageBoxes::Answer(void* context, HWND owner, const wchar_t* text, const wchar_t* caption,
                                              UINT type)
{
    auto* self = static_cast<ServerMessageBoxes*>(context);
    self->m_boxes.push_back({owner, CString(text), CString(caption), type});
    return self->m_answer;
}

}  // namespace comtest
