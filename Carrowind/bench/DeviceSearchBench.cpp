// Times the device search over the device manager's stand-in with 1, 10 and 50 players,
// against a plain listing of the same devices (each device's name, status and type) in one
// run: the search's own cost is what lies above the listing.
//     devicesearch_bench <work folder> [counts, comma-separated: 1,10,50] [rounds: 5]
// The stand-in must be registered in the prefix (devicesearch.sh does it). Prints, per count,
// the median milliseconds of a search and of a listing, and their ratio.
#include "BenchClock.h"
#include "SearchRunner.h"
#include "Wmdm.h"
#include "afx.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void WriteFixture(const std::wstring& folder, int players)
{
    std::string ini = "[Devices]\nCount=" + std::to_string(players) + "\n";
    for (int i = 1; i <= players; ++i) {
        const std::string n = std::to_string(i);
        ini += "[Device" + n + "]\nName=Player " + n + "\nSerial=0x045E:0A0B" + (i < 16 ? "0" : "") + n +
               "\nProtocol=MTP\nFriendlyName=Player " + n + "\nModelName=KP-" + n + "\n[Device" + n +
               ".Storage1]\nName=\\\nFolder=player\n";
    }
    CreateDirectoryW((folder + L"\\player").c_str(), nullptr);
    std::ofstream((folder + L"\\devices.ini").c_str(), std::ios::binary) << ini;
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", (folder + L"\\devices.ini").c_str());
}

// One search as the Search page runs it; the number of records.
INT_PTR Search()
{
    CObArray found;
    SearchRun run(&found, L"No portable players could be found.");
    if (!run.Run())
        return -1;
    const INT_PTR count = found.GetSize();
    DeleteRecords(found);
    return count;
}

// Every device's name, status and type, straight from the manager.
INT_PTR List()
{
    IComponentAuthenticate* created = nullptr;
    IWMDeviceManager* manager = nullptr;
    IWMDMEnumDevice* devices = nullptr;
    INT_PTR count = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                   reinterpret_cast<void**>(&created))) &&
        SUCCEEDED(created->QueryInterface(IID_IWMDeviceManager, reinterpret_cast<void**>(&manager))) &&
        SUCCEEDED(manager->EnumDevices(&devices))) {
        IWMDMDevice* device = nullptr;
        ULONG fetched = 0;
        while (devices->Next(1, &device, &fetched) == S_OK) {
            wchar_t name[wmdm::kDeviceNameChars + 1] = {};
            DWORD status = 0, type = 0;
            device->GetName(name, wmdm::kDeviceNameChars);
            device->GetStatus(&status);
            device->GetType(&type);
            device->Release();
            ++count;
        }
    }
    for (IUnknown* held : {static_cast<IUnknown*>(devices), static_cast<IUnknown*>(manager), static_cast<IUnknown*>(created)})
        if (held)
            held->Release();
    return count;
}

template <typename F>
double MedianMs(int rounds, F run)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        const double start = Now();
        run();
        times.push_back((Now() - start) * 1000.0);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: devicesearch_bench <work folder> [counts] [rounds]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    std::vector<int> counts;
    std::wstring list = argc > 2 ? argv[2] : L"1,10,50";
    for (size_t start = 0; start <= list.size();) {
        const size_t end = std::min(list.find(L',', start), list.size());
        if (end > start)
            counts.push_back(_wtoi(list.substr(start, end - start).c_str()));
        start = end + 1;
    }
    const int rounds = argc > 3 ? std::max(1, _wtoi(argv[3])) : 5;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    AfxSetMessageBoxHandler([](const AfxMessageBoxRequest&) { return IDCANCEL; });
    std::printf("players  search-ms  listing-ms  ratio  records\n");
    int status = 0;
    for (int players : counts) {
        WriteFixture(folder, players);
        INT_PTR records = Search();  // warm-up
        const double search = MedianMs(rounds, [&] { records = Search(); });
        const double listing = MedianMs(rounds, [] { List(); });
        std::printf("%7d  %9.1f  %10.1f  %5.1f  %7d\n", players, search, listing, listing > 0 ? search / listing : 0.0,
                    static_cast<int>(records));
        if (records != players)
            status = 1;
    }
    CoUninitialize();
    return status;
}
