// Times the console's library document on large libraries: MediaDB.dat of 10,000 and
// 100,000 titles (5 parts and a 1,000-character description each), with and without a
// thumbnail file per title. For each it prints the time to build the library title by
// title, to save it, to open it as the console does at start-up (ready for the frame,
// pictures waiting), to decode every waiting picture, and the peak working set.
//
//   library_bench                  every configuration, each in a process of its own
//   library_bench TITLES PICTURES  one configuration (PICTURES 0 or 1)
#include "BenchClock.h"
#include "BenchTitles.h"
#include "BrenvaleDoc.h"
#include "XmlNode.h"

#include <gdiplus.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <memory>

namespace {

CString Description()
{
    CString text;
    while (text.GetLength() < 1000)
        text += L"A description of the title &amp; its parts, as long as a shop writes them. ";
    return text.Left(1000);
}

double PeakWorkingSetMb()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

void RemoveFolderTree(const CString& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder + L"\\*", &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const CString name(data.cFileName);
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFolderTree(folder + L"\\" + name);
            else
                DeleteFileW(folder + L"\\" + name);
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder);
}

// Where a picture's time goes: GDI+ decoding the file, then making the four framed icons,
// then putting them into four picture lists as large as the library's (and, beside that,
// into four lists of sixteen places: what the place in a long list costs).
void PrintPictureCost(const CString& sample, int listPlaces)
{
    const int rounds = 200;
    const int sizes[4] = {16, 32, 48, 96};
    CImageList large[4], small[4];
    for (int i = 0; i < 4; ++i) {
        large[i].Create(sizes[i], sizes[i], ILC_COLOR32 | ILC_MASK, 0, 10);
        large[i].SetImageCount(listPlaces);
        small[i].Create(sizes[i], sizes[i], ILC_COLOR32 | ILC_MASK, 0, 10);
        small[i].SetImageCount(16);
    }
    double decode = 0, icons = 0, intoLarge = 0, intoSmall = 0, asBitmaps = 0, painted = 0;
    ThumbnailPainter painter;
    for (int round = 0; round < rounds; ++round) {
        const double start = Now();
        std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromFile(sample));
        image->GetHeight();
        const double decoded = Now();
        HICON made[4];
        for (int i = 0; i < 4; ++i)
            made[i] = MakeThumbnailIcon(*image, sizes[i]);
        const double framed = Now();
        for (int i = 0; i < 4; ++i)
            large[i].Replace((round * 37) % listPlaces, made[i]);
        const double putLarge = Now();
        for (int i = 0; i < 4; ++i)
            small[i].Replace(round % 16, made[i]);
        const double putSmall = Now();
        // Beside it: the same pictures drawn and handed over as 32-bit bitmaps, no icon made.
        for (int i = 0; i < 4; ++i) {
            Gdiplus::Bitmap canvas(sizes[i], sizes[i], PixelFormat32bppARGB);
            {
                Gdiplus::Graphics graphics(&canvas);
                graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
                graphics.DrawImage(image.get(), 2, 2, sizes[i] - 4, sizes[i] - 4);
            }
            HBITMAP bitmap = nullptr;
            if (canvas.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap) == Gdiplus::Ok) {
                ImageList_Replace(small[i], round % 16, bitmap, nullptr);
                DeleteObject(bitmap);
            }
        }
        const double drawn = Now();
        asBitmaps += drawn - putSmall;
        // As the library fills its lists: one painter's canvases, bitmaps and masks handed over.
        painter.Paint(*image);
        painter.Put(large, (round * 37) % listPlaces);
        painted += Now() - drawn;
        intoSmall += putSmall - putLarge;
        intoLarge += putLarge - framed;
        icons += framed - decoded;
        decode += decoded - start;
        for (HICON icon : made)
            DestroyIcon(icon);
    }
    std::printf("  one picture: GDI+ decode %.2f ms, four framed icons %.2f ms, into four lists of %d places %.2f ms "
                "(of 16 places %.2f ms); drawn as four bitmaps and put in without icons %.2f ms; "
                "painted and put into the large lists as the library does %.2f ms\n",
                decode * 1000 / rounds, icons * 1000 / rounds, listPlaces, intoLarge * 1000 / rounds,
                intoSmall * 1000 / rounds, asBitmaps * 1000 / rounds, painted * 1000 / rounds);
}

int RunOne(int titles, bool pictures)
{
    BuildEntityTable();
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    CString folder;
    folder.Format(L"%sLibraryBench-%lu", temp, GetCurrentProcessId());
    CreateDirectoryW(folder, nullptr);
    const CString media = folder + L"\\Media";
    CreateDirectoryW(media, nullptr);
    const CString description = Description();

    int status = 0;
    double buildTime = 0, saveTime = 0, openTime = 0, fillTime = 0;
    INT_PTR waiting = 0;
    ULONGLONG fileSize = 0;
    {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        const double start = Now();
        // A thousand titles to a download folder: Wine makes a folder in time that grows with
        // the folder it goes into, and that is the fixture's cost, not the library's.
        CStringArray shelves;
        for (int n = 0; n < titles; n += 1000) {
            CString shelf;
            shelf.Format(L"%s\\Shelf%03d", static_cast<const wchar_t*>(media), n / 1000);
            CreateDirectoryW(shelf, nullptr);
            shelves.Add(shelf);
        }
        for (int n = 0; n < titles; ++n)
            library.AddTitleToLibrary(MakeBenchTitle(n, shelves[n / 1000], description));
        buildTime = Now() - start;
        auto* source = new CSourceObject;
        source->m_id = L"source-1";
        source->SetName(L"Bench Shop");
        library.AddSource(source);
        if (pictures) {
            const CString sample = folder + L"\\sample.jpg";
            if (!WriteBenchThumbnail(sample)) {
                std::printf("no JPEG encoder\n");
                status = 1;
            }
            for (CObject* object : library.GetTitles()) {
                const auto* title = static_cast<CMediaObject*>(object);
                CreateDirectoryW(title->GetDownloadFolder() + L"\\" + title->m_titleFolder, nullptr);
                CopyFileW(sample, title->GetThumbnailPath(folder, FALSE), FALSE);
            }
        }
        const double saveStart = Now();
        if (!library.SaveLibrary()) {
            std::printf("save failed\n");
            status = 1;
        }
        saveTime = Now() - saveStart;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    CBrenvaleDoc probe;
    probe.SetDataFolder(folder);
    if (GetFileAttributesExW(probe.GetLibraryDatabasePath(), GetFileExInfoStandard, &data))
        fileSize = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    if (status == 0) {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        const double start = Now();
        if (!library.OnNewDocument() || library.GetTitles().GetSize() != titles) {
            std::printf("load failed\n");
            status = 1;
        }
        openTime = Now() - start;
        waiting = library.GetPendingPictureCount();
        // About 14 ms a picture: 10,000 are decoded here, more are left to the frame.
        if (titles <= 10000) {
            const double fillStart = Now();
            library.FillPendingPictures();
            fillTime = Now() - fillStart;
        }
    }
    std::printf("%7d titles, %-11s %4llu MB: build %6.2f s, save %6.2f s, open %6.2f s", titles,
                pictures ? "thumbnails," : "no pictures,", fileSize / (1024 * 1024), buildTime, saveTime, openTime);
    if (pictures) {
        std::printf(", %lld pictures waiting", static_cast<long long>(waiting));
        if (fillTime > 0)
            std::printf(", decoded in %.2f s (%.2f ms each)", fillTime, fillTime * 1000.0 / static_cast<double>(waiting));
    }
    std::printf("; peak working set %.0f MB\n", PeakWorkingSetMb());
    if (pictures && status == 0)
        PrintPictureCost(folder + L"\\sample.jpg", titles);
    std::fflush(stdout);
    RemoveFolderTree(folder);
    Gdiplus::GdiplusShutdown(token);
    return status;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc == 3)
        return RunOne(std::atoi(argv[1]), std::atoi(argv[2]) != 0);
    // Each configuration in a fresh process, so that its peak working set is its own.
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    int status = 0;
    for (const int titles : {10000, 100000})
        for (const int pictures : {0, 1}) {
            CString command;
            command.Format(L"\"%s\" %d %d", self, titles, pictures);
            STARTUPINFOW startup{};
            startup.cb = sizeof startup;
            PROCESS_INFORMATION process{};
            std::wstring line(command.GetString());
            if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                &process)) {
                std::printf("cannot start %d %d\n", titles, pictures);
                return 1;
            }
            WaitForSingleObject(process.hProcess, INFINITE);
            DWORD code = 1;
            GetExitCodeProcess(process.hProcess, &code);
            status |= static_cast<int>(code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    return status;
}
