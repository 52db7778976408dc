// Times inserting a title's parts into a device-manager stand-in's folder, with a progress
// callback as the wizard gives one, against a plain file copy of the same files on the same
// disk, in one run.
//     wmdminsert_bench <work folder> <parts> <size of a part in MB> [copy|insert]
// The stand-in must be registered in the prefix (wmdminsert.sh does it). Prints the best of
// three of each and their ratio; with copy or insert, does that once only (the part files of an
// earlier run are kept), so that a timer outside can compare whole runs.
#include "BenchClock.h"
#include "BenchFiles.h"
#include "Wmdm.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// Counts the progress calls and answers "go on", as the wizard's progress object does.
class CountingProgress : public IWMDMProgress {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        *result = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMDMProgress) ? this : nullptr;
        return *result ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Begin(DWORD) override { return S_OK; }
    STDMETHODIMP Progress(DWORD) override
    {
        ++calls;
        return S_OK;
    }
    STDMETHODIMP End() override { return S_OK; }
    unsigned long calls = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: wmdminsert_bench <work folder> <parts> <size of a part in MB>\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const int parts = std::max(1, _wtoi(argv[2]));
    const ULONGLONG bytes = static_cast<ULONGLONG>(_wtoi(argv[3])) << 20;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);

    const std::wstring player = work + L"\\player";
    CreateDirectoryW(player.c_str(), nullptr);
    CreateDirectoryW((work + L"\\copies").c_str(), nullptr);
    const std::string ini = "[Devices]\r\nCount=1\r\n[Device1]\r\nName=Bench Player\r\n"
                            "[Device1.Storage1]\r\nFolder=player\r\n";
    HANDLE file = CreateFileW((work + L"\\devices.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr);
    CloseHandle(file);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", (work + L"\\devices.ini").c_str());

    const std::wstring only = argc > 4 ? argv[4] : L"";
    std::vector<std::wstring> sources;
    for (int i = 1; i <= parts; ++i) {
        sources.push_back(work + L"\\Part0" + std::to_wstring(i) + L".mp3");
        WIN32_FILE_ATTRIBUTE_DATA data{};
        const bool kept = !only.empty() && GetFileAttributesExW(sources.back().c_str(), GetFileExInfoStandard, &data) &&
                          ((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) == bytes;
        if (!kept && !WriteBenchFile(sources.back(), bytes)) {
            std::fprintf(stderr, "cannot write the source files\n");
            return 1;
        }
    }

    IComponentAuthenticate* created = nullptr;
    IWMDeviceManager* manager = nullptr;
    IWMDMEnumDevice* devices = nullptr;
    IWMDMDevice* device = nullptr;
    IWMDMEnumStorage* storages = nullptr;
    IWMDMStorage* root = nullptr;
    IWMDMStorageControl3* control = nullptr;
    ULONG fetched = 0;
    if (FAILED(CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                reinterpret_cast<void**>(&created))) ||
        FAILED(created->QueryInterface(IID_IWMDeviceManager, reinterpret_cast<void**>(&manager))) ||
        FAILED(manager->EnumDevices(&devices)) || devices->Next(1, &device, &fetched) != S_OK ||
        FAILED(device->EnumStorage(&storages)) || storages->Next(1, &root, &fetched) != S_OK ||
        FAILED(root->QueryInterface(IID_IWMDMStorageControl3, reinterpret_cast<void**>(&control)))) {
        std::fprintf(stderr, "cannot reach the device manager's stand-in (registered?)\n");
        return 1;
    }

    const UINT mode = wmdm::kModeBlock | wmdm::kContentFile | wmdm::kModeTransferProtected | wmdm::kInsertInto |
                      wmdm::kFileCreateOverwrite;
    CountingProgress progress;
    double bestCopy = 1e30, bestInsert = 1e30;
    const int rounds = only.empty() ? 3 : 1;
    for (int round = 0; round < rounds; ++round) {
        double start = Now();
        for (const std::wstring& source : sources) {
            if (only == L"insert")
                break;
            const std::wstring copy = work + L"\\copies" + source.substr(source.rfind(L'\\'));
            if (!CopyFileW(source.c_str(), copy.c_str(), FALSE)) {
                std::fprintf(stderr, "copy failed\n");
                return 1;
            }
        }
        bestCopy = std::min(bestCopy, Now() - start);

        start = Now();
        for (const std::wstring& source : sources) {
            if (only == L"copy")
                break;
            const std::wstring name = source.substr(source.rfind(L'\\') + 1);
            IWMDMStorage* inserted = nullptr;
            const HRESULT hr = control->Insert3(mode, 8, source.c_str(), name.c_str(), nullptr, &progress, nullptr, &inserted);
            if (FAILED(hr)) {
                std::fprintf(stderr, "insert failed: 0x%08lX\n", static_cast<unsigned long>(hr));
                return 1;
            }
            inserted->Release();
        }
        bestInsert = std::min(bestInsert, Now() - start);
        // Each round writes new files, as a transfer to a player does.
        for (const std::wstring& source : sources) {
            const std::wstring name = source.substr(source.rfind(L'\\'));
            DeleteFileW((work + L"\\copies" + name).c_str());
            DeleteFileW((player + name).c_str());
        }
    }
    std::printf("parts %d x %llu MB\nplain copy   %.3f s\ninsert       %.3f s (%lu progress calls)\nratio        %.2f\n",
                parts, static_cast<unsigned long long>(bytes >> 20), bestCopy, bestInsert, progress.calls,
                bestInsert / bestCopy);
    control->Release();
    root->Release();
    storages->Release();
    device->Release();
    devices->Release();
    manager->Release();
    created->Release();
    CoUninitialize();
    return 0;
}
