// Times AddMediaMarkers with 100 chapters on each file given, through the class object of
// Tessaline.dll loaded directly (no registration needed).
//     tessaline_bench <Tessaline.dll> <file> [<file> ...]
// Prints, per file, its size and the fastest and median time of 10 calls in milliseconds.
#include "BenchClock.h"
#include "ComHolders.h"
#include "TessalineIds.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: tessaline_bench <Tessaline.dll> <file> [<file> ...]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HMODULE server = LoadLibraryW(argv[1]);
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject =
        server ? reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(server, "DllGetClassObject")))
               : nullptr;
    com::ComPtr<IClassFactory> factory;
    if (!getClassObject || FAILED(getClassObject(CLSID_CVPMediaObj, IID_IClassFactory, factory.PutVoid()))) {
        std::fprintf(stderr, "cannot load the chapter server\n");
        return 1;
    }
    std::string markers;
    for (int i = 0; i < 100; ++i)
        markers += std::to_string(i * 1000) + " Chapter " + std::to_string(i + 1) + "\r\n";
    int status = 0;
    for (int f = 2; f < argc; ++f) {
        std::string path(MAX_PATH * 2, '\0');
        path.resize(static_cast<size_t>(
            WideCharToMultiByte(CP_ACP, 0, argv[f], -1, path.data(), static_cast<int>(path.size()), nullptr, nullptr)));
        std::vector<double> times;
        for (int run = 0; run < 10; ++run) {
            com::ComPtr<IVPMediaObj> object;
            factory->CreateInstance(nullptr, IID_IVPMediaObj, object.PutVoid());
            const double start = Now();
            const HRESULT hr = object ? object->AddMediaMarkers(path.data(), markers.data()) : E_FAIL;
            times.push_back((Now() - start) * 1000.0);
            if (FAILED(hr)) {
                std::fprintf(stderr, "AddMediaMarkers failed: 0x%08lx\n", static_cast<unsigned long>(hr));
                status = 1;
            }
        }
        std::sort(times.begin(), times.end());
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(argv[f], GetFileExInfoStandard, &data);
        const double megabytes = ((static_cast<double>(data.nFileSizeHigh) * 4294967296.0) + data.nFileSizeLow) / 1048576.0;
        std::printf("%10.1f MB  fastest %7.2f ms  median %7.2f ms  %ls\n", megabytes, times.front(), times[5], argv[f]);
    }
    factory.Reset();
    CoUninitialize();
    return status;
}
