#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace zunetest {

namespace {

constexpr wchar_t kGuard = 0xFFFE;
constexpr size_t kGuardLength = 16;

void MakeFolders(const CString& path)
{
    // Every level of a path below an existing folder.
    for (int i = 3; i <= path.GetLength(); ++i) {
        if (i == path.GetLength() || path[i] == L'\\')
            CreateDirectoryW(path.Left(i), nullptr);
    }
}

}  // namespace

CString ServerPath()
{
    return comtest::BuiltModule(CORVATINE_PATH);
}

Devices::Devices(const std::vector<Device>& devices)
{
    std::wstring ini = L"[Devices]\r\nCount=" + std::to_wstring(devices.size()) + L"\r\n";
    for (size_t i = 0; i < devices.size(); ++i) {
        const Device& d = devices[i];
        const int n = static_cast<int>(i + 1);
        ini += L"[Device" + std::to_wstring(n) + L"]\r\nFriendlyName=" + d.friendlyName + L"\r\nFolder=device" +
               std::to_wstring(n) + L"\r\n";
        if (d.firmwareReadable)
            ini += L"Firmware=" + d.firmware + L"\r\n";
        ini += d.extra;
        MakeFolders(Storage(nullptr, n));
        std::string sizes = "FreeSpace=" + std::to_string(d.freeSpace) + "\r\n";
        if (d.storageCapacity)
            sizes += "Capacity=" + std::to_string(d.capacity) + "\r\n";
        testsupport::WriteAll(Folder(n) + L"\\s10001.props", sizes);
    }
    testsupport::WriteAll(m_folder / L"devices.ini", CString(ini.c_str()).ToNarrow(CP_ACP));
    SetEnvironmentVariableW(L"VESPERLIN_PORTABLE_DEVICES", m_folder / L"devices.ini");
}

Devices::~Devices()
{
    SetEnvironmentVariableW(L"VESPERLIN_PORTABLE_DEVICES", nullptr);
}

CString Devices::Folder(int device) const
{
    CString name;
    name.Format(L"device%d", device);
    return m_folder / name;
}

CString Devices::Storage(const wchar_t* relative, int device) const
{
    CString path = Folder(device) + L"\\s10001";
    if (relative && *relative)
        path += CString(L"\\") + relative;
    return path;
}

void Devices::AddFile(const wchar_t* relative, size_t size, const char* properties, int device) const
{
    const CString path = Storage(relative, device);
    MakeFolders(path.Left(path.ReverseFind(L'\\')));
    testsupport::WriteAll(path, std::string(size, 'x'));
    if (properties)
        testsupport::WriteAll(path + L".props", properties);
}

void Devices::AddFolder(const wchar_t* relative, const char* properties, int device) const
{
    const CString path = Storage(relative, device);
    MakeFolders(path);
    if (properties)
        testsupport::WriteAll(path + L".props", properties);
}

std::string Devices::Properties(const wchar_t* relative, int device) const
{
    const std::vector<BYTE> bytes = testsupport::ReadAll(Storage(relative, device) + L".props");
    return std::string(bytes.begin(), bytes.end());
}

bool Exists(const CString& path)
{
    return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> FilesBelow(const CString& folder)
{
    std::vector<std::wstring> files;
    std::function<void(const CString&, const std::wstring&)> walk = [&](const CString& path, const std::wstring& prefix) {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(path + L"\\*", &found);
        if (search == INVALID_HANDLE_VALUE)
            return;
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                walk(path + L"\\" + name.c_str(), prefix + name + L"\\");
            else
                files.push_back(prefix + name);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    };
    walk(folder, L"");
    std::sort(files.begin(), files.end());
    return files;
}

ProgressWindow::ProgressWindow(int zeroAt) : m_zeroAt(zeroAt)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ZuneTestProgress";
    RegisterClassW(&windowClass);
    m_hwnd = CreateWindowExW(0, L"ZuneTestProgress", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleW(nullptr), this);
}

ProgressWindow::~ProgressWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
}

LRESULT CALLBACK ProgressWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_ADD_PROGRESS && self) {
        self->m_received.push_back(wParam);
        return static_cast<int>(self->m_received.size()) == self->m_zeroAt ? 0 : 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

Output::Output(ULONG length) : m_length(length), m_text(length + kGuardLength, kGuard)
{
    Fill(L"");
}

void Output::Fill(const wchar_t* text)
{
    std::fill(m_text.begin(), m_text.end(), kGuard);
    for (size_t i = 0; i < m_length && (i == 0 || text[i - 1]); ++i)
        m_text[i] = text[i];
}

bool Output::GuardIntact() const
{
    return std::all_of(m_text.begin() + m_length, m_text.end(), [](wchar_t c) { return c == kGuard; });
}

Server::Server() : m_server(ServerPath()) {}

com::ComPtr<IZuneSupport> Server::Create() const
{
    com::ComPtr<IClassFactory> factory;
    com::ComPtr<IZuneSupport> zune;
    if (SUCCEEDED(m_server.GetClassObject(CLSID_ZuneSupport, IID_IClassFactory, factory.PutVoid())))
        factory->CreateInstance(nullptr, IID_IZuneSupport, zune.PutVoid());
    return zune;
}

HRESULT Connect(IZuneSupport* zune, const wchar_t* name, HWND window, Output* output)
{
    Output own;
    Output& out = output ? *output : own;
    ULONG index = static_cast<ULONG>(-1), count = 0;
    HRESULT hr = zune->Initialize(B(name), &index, &count, out.Buffer(), out.Length(), nullptr);
    if (FAILED(hr))
        return hr;
    LONG retry = 0;
    return zune->GetConnected(B(name), &index, nullptr, nullptr, 0, window, out.Buffer(), out.Length(), &retry);
}

}  // namespace zunetest
