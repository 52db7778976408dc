// Times reading part-file headers: 1,000 files (half Windows Media, half MP3) are opened, their
// markers and the attributes the wizards use are read, and the time per file is printed. Then
// a marker list is saved into a 5 GiB (sparse) Windows Media file, in place and by a copy, and
// a 10-hour MP3 without a frame count (long.mp3, made by the script) is opened.
//   WmMetadataBench <folder with seed.wma, seed.mp3 and long.mp3>
#include "BenchClock.h"
#include "MediaMarkers.h"
#include "WmMetadata.h"

#include <cstdio>
#include <string>
#include <utility>

namespace {

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: wmmetadata_bench <folder with seed.wma and seed.mp3>\n");
        return 2;
    }
    const CString folder = argv[1];
    const int files = 1000;
    CString paths[files];
    for (int i = 0; i < files; ++i) {
        bool asf = i % 2 == 0;
        paths[i].Format(L"%s\\part-%04d.%s", folder.GetString(), i, asf ? L"wma" : L"mp3");
        if (!CopyFileW(folder + (asf ? L"\\seed.wma" : L"\\seed.mp3"), paths[i], FALSE)) {
            std::fprintf(stderr, "cannot copy the seed files\n");
            return 1;
        }
    }

    // Reads a file's markers and the attributes the wizards use; with oneEditor the attributes
    // come through the markers' editor (ASF) or one more editor (MP3), else each through
    // ReadWmFileAttribute as the transfer pages read "Duration" and "FileSize".
    auto readAll = [&](bool oneEditor, long long& markers, long long& failures, long long& durationMs) {
        markers = failures = durationMs = 0;
        double start = Now();
        for (const CString& path : paths) {
            bool mp3 = path.Right(3).CompareNoCase(L"MP3") == 0;
            CWMEditor editor;
            if (mp3) {
                CMediaMarkers list;
                if (FAILED(list.Open(path, TRUE))) {
                    ++failures;
                    continue;
                }
                for (int m = 0; m < list.GetMarkerCount(); ++m)
                    markers += list.GetMarkerName(m).GetLength() > 0 && list.GetMarkerTime(m) < 0xFFFFFFFF ? 1 : 0;
                list.Close(FALSE);
                if (oneEditor && FAILED(editor.Open(path))) {
                    ++failures;
                    continue;
                }
            } else {
                if (FAILED(editor.Open(path))) {
                    ++failures;
                    continue;
                }
                for (int m = 0; m < editor.GetMarkerCount(); ++m)
                    markers += editor.GetMarkerName(m).GetLength() > 0 && editor.GetMarkerTime(m) < 0xFFFFFFFF ? 1 : 0;
            }
            WMT_ATTR_DATATYPE type;
            QWORD duration = 0, size = 0, bitrate = 0;
            CString album, author;
            if (oneEditor) {
                if (FAILED(editor.GetAttribute(L"Duration", type, duration)) ||
                    FAILED(editor.GetAttribute(L"FileSize", type, size)) ||
                    FAILED(editor.GetAttribute(L"Bitrate", type, bitrate)) ||
                    FAILED(editor.GetAttributeText(L"WM/AlbumTitle", album)) ||
                    FAILED(editor.GetAttributeText(L"Author", author)))
                    ++failures;
            } else if (FAILED(ReadWmFileAttribute(path, L"Duration", &type, &duration)) ||
                       FAILED(ReadWmFileAttribute(path, L"FileSize", &type, &size)) ||
                       FAILED(ReadWmFileAttribute(path, L"Bitrate", &type, &bitrate))) {
                ++failures;
            }
            editor.Close();
            durationMs += static_cast<long long>(duration / 10000);
        }
        return (Now() - start) * 1000.0 / files;
    };
    long long markers = 0, failures = 0, durationMs = 0;
    readAll(true, markers, failures, durationMs);  // warms the file cache
    double perFile = readAll(true, markers, failures, durationMs);
    std::printf("markers and attributes through one editor (MP3: two): %d files (half ASF, half MP3), %lld markers, "
                "%.1f h of audio, %lld failures: %.3f ms per file\n",
                files, markers, durationMs / 3600000.0, failures, perFile);
    perFile = readAll(false, markers, failures, durationMs);
    std::printf("markers, then Duration, FileSize and Bitrate by ReadWmFileAttribute (4 opens a file): "
                "%lld failures: %.3f ms per file\n",
                failures, perFile);

    // For comparison: what opening a file and reading its first 4 KiB costs on this system.
    double start = Now();
    BYTE buffer[4096];
    for (const CString& path : paths) {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        LARGE_INTEGER size;
        DWORD read = 0;
        GetFileSizeEx(file, &size);
        ReadFile(file, buffer, sizeof(buffer), &read, nullptr);
        CloseHandle(file);
    }
    std::printf("baseline: open, size and read 4 KiB: %.3f ms per file\n", (Now() - start) * 1000.0 / files);
    for (const CString& path : paths)
        DeleteFileW(path);

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
