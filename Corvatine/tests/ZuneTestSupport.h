// What the server's tests share: the stand-in registered, devices described by a fixture file
// over folders of a scratch folder, a window answering the progress message, the object made
// by the server's own class factory, caller buffers with a guard behind them.
#pragma once

#include "ComHolders.h"
#include "ComTestSupport.h"
#include "TestSupport.h"
#include "ZuneSupportInterface.h"

#include <string>
#include <vector>

namespace zunetest {

// The built server. (The portable-devices stand-in it talks to is registered in the test
// prefix by scripts/test.sh.)
CString ServerPath();

// COM on this thread in the model the server's methods want (multithreaded).
class MtaScope : public comtest::ApartmentScope {
public:
    MtaScope() : ApartmentScope(COINIT_MULTITHREADED) {}
};

// One device of a fixture: its INI lines beyond the defaults, and its storage's sizes.
struct Device {
    Device(const wchar_t* name = L"Zune") : friendlyName(name) {}
    std::wstring friendlyName;
    std::wstring firmware = L"3.1";  // "" with firmwareReadable false: the device cannot say
    bool firmwareReadable = true;
    std::wstring extra;              // more "Key=Value" lines
    bool storageCapacity = true;
    ULONGLONG capacity = 8000000000ull;
    ULONGLONG freeSpace = 6000000000ull;
};

// A fixture file and a folder per device ("device1", ...) with its storage s10001, named to
// the stand-in for the time it lives. No devices: the variable names a fixture of none.
class Devices {
public:
    explicit Devices(const std::vector<Device>& devices);
    ~Devices();
    Devices(const Devices&) = delete;
    Devices& operator=(const Devices&) = delete;
    const testsupport::ScratchFolder& Scratch() const { return m_folder; }
    // The device's folder and a path under its storage ("Vesperlin\\Part03.mp3").
    CString Folder(int device = 1) const;
    CString Storage(const wchar_t* relative = nullptr, int device = 1) const;
    // Makes a file or folder on the device, with a property file when properties are given.
    void AddFile(const wchar_t* relative, size_t size, const char* properties = nullptr, int device = 1) const;
    void AddFolder(const wchar_t* relative, const char* properties = nullptr, int device = 1) const;
    // The property file of an object as its lines.
    std::string Properties(const wchar_t* relative, int device = 1) const;

private:
    testsupport::ScratchFolder m_folder;
};

bool Exists(const CString& path);
// Every file below a folder, relative to it, sorted ("s10001\\Vesperlin\\a.mp3").
std::vector<std::wstring> FilesBelow(const CString& folder);

// A window of this thread that answers WM_ADD_PROGRESS: with 1, or with 0 at the given
// message (1-based); it records each wParam.
class ProgressWindow {
public:
    explicit ProgressWindow(int zeroAt = 0);
    ~ProgressWindow();
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    HWND Handle() const { return m_hwnd; }
    const std::vector<WPARAM>& Received() const { return m_received; }

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND m_hwnd;
    int m_zeroAt;
    std::vector<WPARAM> m_received;
};

// A caller's status buffer with a guard of known characters after its end.
class Output {
public:
    explicit Output(ULONG length = 1024);
    BSTR* Buffer() { return reinterpret_cast<BSTR*>(m_text.data()); }
    ULONG Length() const { return m_length; }
    CString Text() const { return CString(m_text.data()); }
    // Whether nothing was written past the length given.
    bool GuardIntact() const;
    // Fills the buffer with a marker text again.
    void Fill(const wchar_t* text);

private:
    ULONG m_length;
    std::vector<wchar_t> m_text;
};

// The server loaded from its file (no registration needed), and objects of it.
class Server {
public:
    Server();
    bool Loaded() const { return m_server.Loaded(); }
    HRESULT CanUnloadNow() const { return m_server.CanUnloadNow(); }
    com::ComPtr<IZuneSupport> Create() const;

private:
    comtest::LoadedServer m_server;
};

// A BSTR for an argument.
inline com::Bstr B(const wchar_t* text) { return com::Bstr(text); }

// A text with a NUL inside, as a v-table caller can hand it over.
class CutText {
public:
    template <size_t N>
    explicit CutText(const wchar_t (&text)[N]) : m_s(SysAllocStringLen(text, N - 1)) {}
    ~CutText() { SysFreeString(m_s); }
    CutText(const CutText&) = delete;
    CutText& operator=(const CutText&) = delete;
    operator BSTR() const { return m_s; }

private:
    BSTR m_s;
};

// Initialize then GetConnected with the wizard's arguments; the GetConnected result.
HRESULT Connect(IZuneSupport* zune, const wchar_t* name, HWND window = nullptr, Output* output = nullptr);

}  // namespace zunetest
