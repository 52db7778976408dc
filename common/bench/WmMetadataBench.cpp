// Times reading part-file headers the way the programs read them: for each of the files of a
// folder (Windows Media and MP3 parts) the markers are read (CMediaMarkers for MP3, CWMEditor
// for Windows Media), then "Duration", "FileSize", "Bitrate", "WM/AlbumTitle" and "Author"
// each with ReadWmFileAttribute: six opens of every file. Beside it, what six bare opens,
// reads of 4 KiB and closes of every file cost on this system. Then a marker list is saved
// into a 5 GiB (sparse) Windows Media file, in place and by a copy, and a 10-hour MP3 without
// a frame count (long.mp3, made by the script) is opened.
//   wmmetadata_bench <folder with seed.wma, long.mp3 and parts\ holding the files to read> [--reads-only]
// The figures the script compares are printed as "figure <name> <ms per file>".
#include "BenchClock.h"
#include "MediaMarkers.h"
#include "WmMetadata.h"

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wmmetadata_bench <folder with seed.wma, long.mp3 and parts\\>\n");
        return 2;
    }
    const CString folder = argv[1];
    std::vector<CString> paths;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(folder + L"\\parts\\*.*", &found);
    if (find != INVALID_HANDLE_VALUE) {
        do
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                paths.push_back(folder + L"\\parts\\" + found.cFileName);
        while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (paths.empty()) {
        std::fprintf(stderr, "no files in %ls\\parts\n", folder.GetString());
        return 1;
    }
    const double files = static_cast<double>(paths.size());

    // Bare opens: each file opened, sized, 4 KiB read and closed 'opens' times.
    auto bare = [&](int opens) {
        BYTE buffer[4096];
        double start = Now();
        for (const CString& path : paths)
            for (int i = 0; i < opens; ++i) {
                HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
                LARGE_INTEGER size;
                DWORD read = 0;
                GetFileSizeEx(file, &size);
                ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
                CloseHandle(file);
            }
        return (Now() - start) * 1000.0 / files;
    };
    // The system's file cache holds every file before anything is timed.
    {
        std::vector<BYTE> all(1 << 20);
        for (const CString& path : paths) {
            HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            DWORD read = 0;
            while (ReadFile(file, all.data(), static_cast<DWORD>(all.size()), &read, nullptr) && read)
                ;
            CloseHandle(file);
        }
    }

    // The callers' pattern, once over every file: nothing this process learned of a file
    // before helps (what the layer keeps between opens of one file counts, as in a program).
    long long markers = 0, failures = 0, durationMs = 0;
    double start = Now();
    for (const CString& path : paths) {
        if (path.Right(3).CompareNoCase(L"MP3") == 0) {
            CMediaMarkers list;
            if (FAILED(list.Open(path, TRUE)))
                ++failures;
            for (int m = 0; m < list.GetMarkerCount(); ++m)
                markers += list.GetMarkerName(m).GetLength() > 0 && list.GetMarkerTime(m) < 0xFFFFFFFF ? 1 : 0;
            list.Close(FALSE);
        } else {
            CWMEditor editor;
            if (FAILED(editor.Open(path)))
                ++failures;
            for (int m = 0; m < editor.GetMarkerCount(); ++m)
                markers += editor.GetMarkerName(m).GetLength() > 0 && editor.GetMarkerTime(m) < 0xFFFFFFFF ? 1 : 0;
            editor.Close();
        }
        WMT_ATTR_DATATYPE type;
        QWORD duration = 0, size = 0, bitrate = 0;
        if (FAILED(ReadWmFileAttribute(path, L"Duration", &type, &duration)) ||
            FAILED(ReadWmFileAttribute(path, L"FileSize", &type, &size)) ||
            FAILED(ReadWmFileAttribute(path, L"Bitrate", &type, &bitrate)))
            ++failures;
        for (const wchar_t* name : {L"WM/AlbumTitle", L"Author"}) {
            BYTE* text = nullptr;
            WORD length = 0;
            if (FAILED(ReadWmFileAttribute(path, name, &text, &length)))
                ++failures;
            delete[] text;
        }
        durationMs += static_cast<long long>(duration / 10000);
    }
    const double ours = (Now() - start) * 1000.0 / files;
    std::printf("markers and 5 attributes, 6 opens a file: %d files, %lld markers, %.1f h of audio, %lld failures: "
                "%.3f ms per file\n",
                static_cast<int>(paths.size()), markers, durationMs / 3600000.0, failures, ours);
    const double bare6 = bare(6), bare1 = bare(1);
    std::printf("bare open, size, read 4 KiB and close: 6 times a file %.3f ms, once %.3f ms per file\n", bare6, bare1);
    std::printf("figure ours %.4f\nfigure bare6 %.4f\nfigure bare1 %.4f\nfigure failures %lld\n", ours, bare6, bare1,
                failures);
    if (argc > 2 && std::wcscmp(argv[2], L"--reads-only") == 0)
        return 0;

    // A marker list saved into a large Windows Media file. The first save gives the header its
    // padding (a copy of a small file); the file is then made 5 GiB long, sparse, and saved again.
    const CString large = folder + L"\\large.wma";
    auto saveMarkers = [&](int markers, const wchar_t* name) {
        CMediaMarkers list;
        HRESULT hr = list.Open(large, FALSE);
        while (SUCCEEDED(hr) && list.GetMarkerCount() > 0)
            hr = list.RemoveMarker(0);
        for (int m = 0; SUCCEEDED(hr) && m < markers; ++m)
            hr = list.AddMarker(name, static_cast<DWORD>(m) * 1000);
        double begin = Now();
        HRESULT closed = list.Close(TRUE);
        return std::make_pair(FAILED(hr) ? hr : closed, Now() - begin);
    };
    if (!CopyFileW(folder + L"\\seed.wma", large, FALSE) || FAILED(saveMarkers(1, L"first").first)) {
        std::fprintf(stderr, "cannot prepare the large file\n");
        return 1;
    }
    HANDLE file = CreateFileW(large, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = 5ll << 30;
    bool extended = file != INVALID_HANDLE_VALUE && SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (!extended) {
        std::fprintf(stderr, "cannot extend the large file\n");
        return 1;
    }
    auto inPlace = saveMarkers(20, L"Chapter name of ordinary length");
    std::printf("marker list of 20 saved into a 5 GiB file whose header has room (in place): 0x%08lX in %.3f s\n",
                static_cast<unsigned long>(inPlace.first), inPlace.second);
    auto copied = saveMarkers(100, std::wstring(250, L'n').c_str());
    std::printf("marker list of 100 long names (no room: the 5 GiB are copied): 0x%08lX in %.3f s\n",
                static_cast<unsigned long>(copied.first), copied.second);
    DeleteFileW(large);

    // A 10-hour MP3 without a Xing, Info or VBRI header: its frames are counted in samples.
    const CString hours = folder + L"\\long.mp3";
    double begin = Now();
    CWMEditor editor;
    WMT_ATTR_DATATYPE type;
    QWORD duration = 0;
    HRESULT hr = editor.Open(hours);
    if (SUCCEEDED(hr))
        hr = editor.GetAttribute(L"Duration", type, duration);
    editor.Close();
    std::printf("10-hour variable bit rate MP3 without a frame count: 0x%08lX, duration %.1f s, opened in %.1f ms\n",
                static_cast<unsigned long>(hr), duration / 1e7, (Now() - begin) * 1000.0);
    return 0;
}
