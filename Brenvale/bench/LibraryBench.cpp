// Times the console's library document on a large library: saving and loading a
// MediaDB.dat of 10,000 titles of 5 parts each through CBrenvaleDoc.
#include "BenchClock.h"
#include "BenchTitles.h"
#include "BrenvaleDoc.h"
#include "XmlNode.h"

#include <cstdio>

int main()
{
    BuildEntityTable();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    CString folder;
    folder.Format(L"%sLibraryBench-%lu", temp, GetCurrentProcessId());
    CreateDirectoryW(folder, nullptr);
    const CString path = folder + L"\\MediaDB.dat";

    const int titles = 10000;
    double saveTime = 0, loadTime = 0;
    {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        for (int n = 0; n < titles; ++n)
            library.AddTitleToLibrary(MakeBenchTitle(n));
        auto* source = new CSourceObject;
        source->m_id = L"source-1";
        source->SetName(L"Bench Shop");
        library.AddSource(source);
        const double start = Now();
        if (!library.OnSaveDocument(path)) {
            std::printf("save failed\n");
            return 1;
        }
        saveTime = Now() - start;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path, GetFileExInfoStandard, &data);
    {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        const double start = Now();
        if (!library.OnOpenDocument(path) || library.GetTitles().GetSize() != titles) {
            std::printf("load failed\n");
            return 1;
        }
        loadTime = Now() - start;
    }
    std::printf("MediaDB.dat of %d titles x 5 parts (%lu KB): save %.3f s, load %.3f s\n", titles,
                data.nFileSizeLow / 1024, saveTime, loadTime);
    DeleteFileW(path);
    RemoveDirectoryW(folder);
    return 0;
}
