#include "TransferFixtures.h"

#include "MediaFixtures.h"
#include "SuiteMessages.h"
#include "TransferThread.h"
#include "Wmdm.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace transfertest {

IStream* WmdmDeviceStream(const testsupport::ScratchFolder& folder, const std::string& fixture, int device)
{
    testsupport::WriteAll(folder / L"devices.ini", fixture);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", folder / L"devices.ini");
    IComponentAuthenticate* created = nullptr;
    IWMDeviceManager* manager = nullptr;
    IWMDMEnumDevice* devices = nullptr;
    IWMDMDevice* found = nullptr;
    IStream* stream = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                   reinterpret_cast<void**>(&created))) &&
        SUCCEEDED(created->QueryInterface(IID_IWMDeviceManager, reinterpret_cast<void**>(&manager))) &&
        SUCCEEDED(manager->EnumDevices(&devices))) {
        ULONG fetched = 0;
        for (int i = 1; i <= device; ++i) {
            if (found)
                found->Release();
            found = nullptr;
            if (devices->Next(1, &found, &fetched) != S_OK)
                break;
        }
        if (found)
            CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, found, &stream);
    }
    for (IUnknown* held : std::initializer_list<IUnknown*>{found, devices, manager, created})
        if (held)
            held->Release();
    return stream;
}

std::unique_ptr<PlayerRecord> MakePlayer(const testsupport::ScratchFolder& folder, const std::string& fixture,
                                         const wchar_t* name, int protocolFlag)
{
    IStream* stream = WmdmDeviceStream(folder, fixture);
    if (!stream)
        return nullptr;
    return std::make_unique<PlayerRecord>(name, stream, name, NoSerialNumber(), protocolFlag);
}

std::unique_ptr<PlayerRecord> MakeMobilePlayer(const testsupport::ScratchFolder& folder, bool card)
{
    auto player = MakePlayer(
        folder, "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\nProtocol=RAPI\n[Device1.Storage1]\nName=\\\nFolder=ppc\n",
        card ? L"Storage Card" : L"Pocket PC", 0);
    if (!player)
        throw std::runtime_error("the fixture's player is missing");
    player->mobileDevice = TRUE;
    player->mobileDeviceId = kPocketPcId;
    player->isMobileStorageCard = card ? 1 : 0;
    return player;
}

void UseMobileFixture(const testsupport::ScratchFolder& folder, const std::string& fixture)
{
    testsupport::WriteAll(folder / L"mobiles.ini", fixture);
    SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", folder / L"mobiles.ini");
}

void ForgetFixtures()
{
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
    SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", nullptr);
}

CString MakePicture(const testsupport::ScratchFolder& folder, const wchar_t* name, int width, int height)
{
    const CString path = folder / name;
    std::ostringstream command;
    command << "ffmpeg -v error -y -f lavfi -i color=c=0x3366aa:s=" << width << "x" << height
            << " -frames:v 1 " << testsupport::ShellQuoted(path);
    mediafixtures::RunTool(folder, command.str());
    return path;
}

CString MakeBytes(const testsupport::ScratchFolder& folder, const wchar_t* name, size_t size, unsigned seed)
{
    std::vector<BYTE> bytes(size);
    std::mt19937 generator(seed);
    for (BYTE& b : bytes)
        b = static_cast<BYTE>(generator());
    const CString path = folder / name;
    testsupport::WriteAll(path, bytes.data(), bytes.size());
    return path;
}

std::string Text(const CString& path) { return Exists(path) ? testsupport::ReadAllBytes(path) : std::string(); }

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

std::string Narrow(const CString& text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
    if (bytes > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    narrow.resize(narrow.size() - 1);
    return narrow;
}

int CountLines(const std::string& text, const std::string& piece)
{
    std::istringstream lines(text);
    std::string line;
    int count = 0;
    while (std::getline(lines, line))
        if (line.find(piece) != std::string::npos)
            ++count;
    return count;
}

TestPage::TestPage()
{
    static const ATOM atom = [] {
        WNDCLASSW type{};
        type.lpfnWndProc = &TestPage::Proc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"VesperlinTestTransferPage";
        return RegisterClassW(&type);
    }();
    (void)atom;
    m_window = CreateWindowExW(0, L"VesperlinTestTransferPage", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), this);
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

TestPage::~TestPage()
{
    if (m_window)
        DestroyWindow(m_window);
}

int TestPage::Run(CTransferJob* job, DWORD* exitCode)
{
    statusCount = 0;
    percents.clear();
    addProgress.clear();
    addProgressModes.clear();
    addProgressSent.clear();
    doneCount = 0;
    doneJob = nullptr;
    m_done = -1;
    HANDLE thread = nullptr;
    if (job) {
        thread = starter ? starter(job, &m_threadId) : StartTransferThread(job, &m_threadId);
    } else {
        // A thread handed no job.
        auto* worker = new CTransferThread;
        if (worker->CreateThread(CREATE_SUSPENDED)) {
            thread = worker->DuplicateThreadHandle();
            m_threadId = worker->m_nThreadID;
            worker->PostThreadMessage(WM_TRANSFER_START, 0, 0);
            worker->ResumeThread();
        } else {
            delete worker;
        }
    }
    if (!thread)
        return -3;
    const ULONGLONG deadline = GetTickCount64() + 120000;
    bool ended = false;
    while (GetTickCount64() < deadline) {
        const DWORD wait = MsgWaitForMultipleObjects(1, &thread, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (wait == WAIT_OBJECT_0)
            ended = true;
        if (ended && (doneCount > 0 || WaitForSingleObject(thread, 0) == WAIT_OBJECT_0)) {
            // What the thread posted before it ended is in the queue by now.
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            break;
        }
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(thread, &code);
    if (exitCode)
        *exitCode = code;
    CloseHandle(thread);
    return m_done;
}

LRESULT CALLBACK TestPage::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* page = reinterpret_cast<TestPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!page)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PART_STATUS:
        ++page->statusCount;
        if (page->onStatus)
            page->onStatus();
        return page->statusReply;
    case WM_TRANSFER_PERCENT: {
        const int count = static_cast<int>(page->percents.size());
        page->percents.push_back(wParam);
        return page->percentReply ? page->percentReply(wParam, count) : 1;
    }
    case WM_ADD_PROGRESS:
        page->addProgress.push_back(wParam);
        page->addProgressModes.push_back(lParam);
        page->addProgressSent.push_back(InSendMessage() != FALSE);
        return page->addProgressReply ? page->addProgressReply(wParam) : 1;
    case WM_PART_DONE:
        ++page->doneCount;
        page->m_done = static_cast<int>(wParam);
        page->doneJob = reinterpret_cast<CTransferJob*>(lParam);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace transfertest
