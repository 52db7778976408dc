// Times a transfer into the portable-devices stand-in against a plain file copy of the same
// file on the same disk, in one run.
//     zunetransfer_bench <work folder> <size in MB> <Corvatine.dll>
// The stand-in must be registered in the prefix (zunetransfer.sh does it). Prints the best of
// three of each and their ratio.
#include "BenchClock.h"
#include "BenchFiles.h"
#include "ZuneSupportInterface.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_ADD_PROGRESS)
        return 1;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

ULONGLONG SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

template <class F>
F* Export(HMODULE module, const char* name)
{
    return reinterpret_cast<F*>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: zunetransfer_bench <work folder> <size in MB> <Corvatine.dll>\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const ULONGLONG bytes = static_cast<ULONGLONG>(_wtoi(argv[2])) << 20;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    // One device, whose tree lies in the work folder.
    const std::wstring device = work + L"\\device1";
    CreateDirectoryW(device.c_str(), nullptr);
    CreateDirectoryW((device + L"\\s10001").c_str(), nullptr);
    CreateDirectoryW((device + L"\\s10001\\Vesperlin").c_str(), nullptr);
    const std::string ini = "[Devices]\r\nCount=1\r\n[Device1]\r\nFriendlyName=Bench Zune\r\nFirmware=3.0\r\n"
                            "Folder=device1\r\n";
    HANDLE file = CreateFileW((work + L"\\devices.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr);
    CloseHandle(file);
    SetEnvironmentVariableW(L"VESPERLIN_PORTABLE_DEVICES", (work + L"\\devices.ini").c_str());

    const std::wstring source = work + L"\\source.mp3";
    const std::wstring cover = work + L"\\cover.jpg";
    if (!WriteBenchFile(source, bytes) || !WriteBenchFile(cover, 4096)) {
        std::fprintf(stderr, "cannot write the source file\n");
        return 1;
    }

    HMODULE server = LoadLibraryW(argv[3]);
    auto* getClassObject = server ? Export<HRESULT STDAPICALLTYPE(REFCLSID, REFIID, void**)>(server, "DllGetClassObject")
                                  : nullptr;
    IClassFactory* factory = nullptr;
    IZuneSupport* zune = nullptr;
    if (!getClassObject || FAILED(getClassObject(CLSID_ZuneSupport, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IZuneSupport, reinterpret_cast<void**>(&zune)))) {
        std::fprintf(stderr, "cannot create ZuneSupport\n");
        return 1;
    }
    factory->Release();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProgressProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VesperlinZuneBenchOwner";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);

    wchar_t output[1024];
    BSTR name = SysAllocString(L"Bench Zune");
    ULONG index = static_cast<ULONG>(-1), count = 0;
    LONG retry = 0;
    HRESULT hr = zune->Initialize(name, &index, &count, reinterpret_cast<BSTR*>(output), 1024, nullptr);
    if (SUCCEEDED(hr))
        hr = zune->GetConnected(name, &index, nullptr, nullptr, 0, window, reinterpret_cast<BSTR*>(output), 1024, &retry);
    if (FAILED(hr)) {
        std::fprintf(stderr, "cannot connect: 0x%08lX\n", static_cast<unsigned long>(hr));
        return 1;
    }

    BSTR sourceText = SysAllocString(source.c_str());
    BSTR coverText = SysAllocString(cover.c_str());
    BSTR title = SysAllocString(L"Bench Title");
    BSTR target = SysAllocString(L"Bench-Part01");
    BSTR artist = SysAllocString(L"Bench Artist");
    const std::wstring copy = work + L"\\copy.mp3";
    const std::wstring transferred = device + L"\\s10001\\Vesperlin\\Bench-Part01.mp3";
    double bestCopy = 1e30, bestTransfer = 1e30;
    for (int round = 0; round < 3; ++round) {
        double start = Now();
        if (!CopyFileW(source.c_str(), copy.c_str(), FALSE)) {
            std::fprintf(stderr, "copy failed\n");
            return 1;
        }
        bestCopy = std::min(bestCopy, Now() - start);
        DeleteFileW(copy.c_str());

        start = Now();
        hr = zune->TransferToZune(nullptr, sourceText, coverText, title, target, artist, 0, 0, window,
                                  reinterpret_cast<BSTR*>(output), 1024);
        const double seconds = Now() - start;
        if (FAILED(hr) || SizeOf(transferred) != bytes) {
            std::fprintf(stderr, "transfer failed: 0x%08lX %ls\n", static_cast<unsigned long>(hr), output);
            return 1;
        }
        bestTransfer = std::min(bestTransfer, seconds);
        DeleteFileW(transferred.c_str());
        DeleteFileW((transferred + L".props").c_str());
        DeleteFileW((transferred + L".albumart.jpg").c_str());
    }
    std::printf("size: %llu MB\nplain copy (CopyFileW): %.3f s\ntransfer into the stand-in: %.3f s\n"
                "ratio transfer/copy: %.2f\n",
                static_cast<unsigned long long>(bytes >> 20), bestCopy, bestTransfer, bestTransfer / bestCopy);
    zune->Release();
    DestroyWindow(window);
    DeleteFileW(source.c_str());
    DeleteFileW(cover.c_str());
    CoUninitialize();
    return 0;
}
