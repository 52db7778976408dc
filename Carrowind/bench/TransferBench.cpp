// Times a title's parts sent through the transfer thread, one thread per part as the Progress
// page sends them, onto the device manager's stand-in and onto a removable drive, against a
// plain file copy of the same files on the same disk, in one run.
//     transfer_bench <work folder> <parts> <size of a part in MB> [an MP3 file]
// The stand-in must be registered in the prefix (transfer.sh does it). Each part is noise; with
// an MP3 file it begins with that file, so that its tags and frame count are read as those of a
// real part. Prints the best of three of each (the three taken in a different order each round,
// so that none always meets a disk busy with another's writes), their ratios to the copy and the
// mean gap between two parts (from one part's report to the next part's status message).
#include "BenchClock.h"
#include "BenchFiles.h"
#include "CarrowindApp.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TestDrive.h"
#include "TransferJob.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// The wizard's application object, not started: its services only.
CWizardApp g_app;

// The page's side: answers go-on to everything, notes when a part reports and when the next asks.
struct Page {
    HWND window = nullptr;
    bool done = false;
    int result = 0;
    double reported = 0;
    double gaps = 0;
    int gapCount = 0;
};
Page g_page;

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PART_STATUS:
        if (g_page.reported > 0) {
            g_page.gaps += Now() - g_page.reported;
            ++g_page.gapCount;
        }
        return 1;
    case WM_TRANSFER_PERCENT:
        return 1;
    case WM_PART_DONE:
        g_page.done = true;
        g_page.result = static_cast<int>(wParam);
        g_page.reported = Now();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// Sends every part through its own thread; false when one did not arrive.
bool SendParts(PlayerRecord* player, const std::vector<std::wstring>& sources)
{
    g_page.reported = 0;
    for (const std::wstring& source : sources) {
        IStream* stream = nullptr;
        if (IWMDMDevice* device = player->GetDeviceInterface())
            CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device, &stream);
        CTransferJob job(stream, g_page.window);
        job.m_strSourcePath = source.c_str();
        job.m_strTargetName = source.substr(source.rfind(L'\\') + 1).c_str();
        job.m_pPlayer = player;
        g_page.done = false;
        DWORD id = 0;
        HANDLE thread = StartTransferThread(&job, &id);
        if (!thread)
            return false;
        while (!g_page.done) {
            MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        if (g_page.result != kTransferDone)
            return false;
    }
    return true;
}

void Write(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// Overwrites the start of the file with the bytes of another.
bool StartWith(const std::wstring& path, const wchar_t* headPath)
{
    HANDLE head = CreateFileW(headPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (head == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> bytes(GetFileSize(head, nullptr));
    DWORD read = 0;
    const bool ok = ReadFile(head, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
    CloseHandle(head);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DWORD written = 0;
    const bool wrote = ok && WriteFile(file, bytes.data(), read, &written, nullptr) && written == read;
    CloseHandle(file);
    return wrote;
}

std::string Narrow(const std::wstring& text)
{
    std::string narrow;
    for (wchar_t c : text)
        narrow += static_cast<char>(c);
    return narrow;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: transfer_bench <work folder> <parts> <size of a part in MB>\n");
        return 2;
    }
    const std::wstring work = argv[1];
    const int parts = std::max(1, _wtoi(argv[2]));
    const ULONGLONG bytes = static_cast<ULONGLONG>(_wtoi(argv[3])) << 20;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    for (const wchar_t* folder : {L"\\player", L"\\copies", L"\\drive", L"\\drive\\Books"})
        CreateDirectoryW((work + folder).c_str(), nullptr);
    std::vector<std::wstring> sources;
    for (int i = 1; i <= parts; ++i) {
        sources.push_back(work + L"\\Night-Part0" + std::to_wstring(i) + L".mp3");
        if (!WriteBenchFile(sources.back(), bytes)) {
            std::fprintf(stderr, "cannot write the source files\n");
            return 1;
        }
        if (argc > 4 && !StartWith(sources.back(), argv[4])) {
            std::fprintf(stderr, "cannot read the MP3 file\n");
            return 1;
        }
    }

    WNDCLASSW type{};
    type.lpfnWndProc = PageProc;
    type.lpszClassName = L"TransferBenchPage";
    type.hInstance = GetModuleHandleW(nullptr);
    RegisterClassW(&type);
    g_page.window = CreateWindowW(L"TransferBenchPage", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, type.hInstance, nullptr);
    if (!g_page.window) {
        std::fprintf(stderr, "cannot make the page's window\n");
        return 1;
    }

    // The device manager's player over "player", and a removable drive over "drive".
    testsupport::TestDrive drive((work + L"\\drive").c_str(), testsupport::DriveKind::Removable);
    if (!drive.Made()) {
        std::fprintf(stderr, "cannot make the removable drive\n");
        return 1;
    }
    Write(work + L"\\devices.ini", "[Devices]\r\nCount=2\r\n[Device1]\r\nName=Bench Player\r\nProtocol=MTP\r\n"
                                   "[Device1.Storage1]\r\nName=\\\r\nFolder=player\r\n"
                                   "[Device2]\r\nName=Removable Disk\r\n[Device2.Storage1]\r\nName=\\\r\nFolder=" +
                                       Narrow(work) + "\\drive\r\n");
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", (work + L"\\devices.ini").c_str());
    IComponentAuthenticate* created = nullptr;
    IWMDeviceManager* manager = nullptr;
    IWMDMEnumDevice* devices = nullptr;
    IStream* streams[2] = {};
    if (FAILED(CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                reinterpret_cast<void**>(&created))) ||
        FAILED(created->QueryInterface(IID_IWMDeviceManager, reinterpret_cast<void**>(&manager))) ||
        FAILED(manager->EnumDevices(&devices))) {
        std::fprintf(stderr, "cannot reach the device manager's stand-in (registered?)\n");
        return 1;
    }
    for (IStream*& stream : streams) {
        IWMDMDevice* device = nullptr;
        ULONG fetched = 0;
        if (devices->Next(1, &device, &fetched) == S_OK) {
            CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device, &stream);
            device->Release();
        }
    }
    PlayerRecord player(L"Bench Player", streams[0], L"Bench Player", NoSerialNumber(), 0);
    player.folderPath = L"\\";
    PlayerRecord stick(L"Removable Disk", streams[1], L"Removable Disk", NoSerialNumber(), 0);
    stick.massStorage = TRUE;
    stick.driveLetter = drive.Letter();
    stick.folderPath = L"\\Books";

    double bestCopy = 1e30, bestDevice = 1e30, bestDrive = 1e30;
    double gaps = 0;
    int gapCount = 0;
    for (int round = 0; round < 3; ++round) {
        for (int turn = 0; turn < 3; ++turn) {
            const int what = (round + turn) % 3;
            const double start = Now();
            if (what == 0) {
                for (const std::wstring& source : sources) {
                    const std::wstring copy = work + L"\\copies" + source.substr(source.rfind(L'\\'));
                    if (!CopyFileW(source.c_str(), copy.c_str(), FALSE)) {
                        std::fprintf(stderr, "copy failed\n");
                        return 1;
                    }
                }
                bestCopy = std::min(bestCopy, Now() - start);
                continue;
            }
            PlayerRecord* target = what == 1 ? &player : &stick;
            g_page.gaps = 0;
            g_page.gapCount = 0;
            if (!SendParts(target, sources)) {
                std::fprintf(stderr, "a part did not arrive (%d)\n", g_page.result);
                return 1;
            }
            double& best = what == 1 ? bestDevice : bestDrive;
            best = std::min(best, Now() - start);
            gaps += g_page.gaps;
            gapCount += g_page.gapCount;
        }
        // Each round writes new files, as a transfer to a player does.
        for (const std::wstring& source : sources) {
            const std::wstring name = source.substr(source.rfind(L'\\'));
            DeleteFileW((work + L"\\copies" + name).c_str());
            DeleteFileW((work + L"\\player" + name).c_str());
            DeleteFileW((work + L"\\player" + name + L".props").c_str());
            DeleteFileW((work + L"\\drive\\Books" + name).c_str());
        }
    }
    std::printf("parts %d x %llu MB\nplain copy       %.3f s\nthread onto WMDM %.3f s  ratio %.2f\n"
                "thread onto drive %.3f s  ratio %.2f\ngap between parts %.1f ms\n",
                parts, static_cast<unsigned long long>(bytes >> 20), bestCopy, bestDevice, bestDevice / bestCopy,
                bestDrive, bestDrive / bestCopy, gapCount ? gaps * 1000.0 / gapCount : 0.0);
    devices->Release();
    manager->Release();
    created->Release();
    DestroyWindow(g_page.window);
    CoUninitialize();
    return 0;
}
