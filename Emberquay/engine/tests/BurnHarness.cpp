#include "BurnHarness.h"

#include "ScriptedReader.h"
#include "SuiteMessages.h"

#include <sstream>

namespace burntest {

namespace {

constexpr wchar_t kPageClass[] = L"VesperlinBurnTestPage";

CString Environment(const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return value;
}

}  // namespace

void BurnHarness::SetUp()
{
    m_temp = m_folder / L"temp";
    CreateDirectoryW(m_temp, nullptr);
    m_oldTmp = Environment(L"TMP");
    m_oldTemp = Environment(L"TEMP");
    SetEnvironmentVariableW(L"TMP", m_temp);
    SetEnvironmentVariableW(L"TEMP", m_temp);
    CDBurnThread::s_nextDiscPauseMs = 10;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = PageProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kPageClass;
    RegisterClassW(&wc);
    m_page = CreateWindowW(kPageClass, L"Progress", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(m_page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    m_job.OwnerWindow = m_page;
    m_job.Drive = &m_drive;
    strcpy_s(m_drive.m_record.deviceName, "CdRom0");
    m_drive.m_displayName = L"D: VIRTUAL CD-RW";

    m_previousBoxes = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
        m_boxes.push_back(box.text);
        if (m_cancelInBox)
            m_job.Cancel();
        if (!m_answers.empty()) {
            const int answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        return (box.type & MB_TYPEMASK) == MB_RETRYCANCEL ? IDRETRY : IDOK;
    });
}

void BurnHarness::TearDown()
{
    AfxSetMessageBoxHandler(m_previousBoxes);
    DestroyWindow(m_page);
    SetEnvironmentVariableW(L"TMP", m_oldTmp);
    SetEnvironmentVariableW(L"TEMP", m_oldTemp);
    RecorderTest::TearDown();
}

void BurnHarness::UseDrive(const std::vector<std::string>& discs, const std::string& drive)
{
    // A fresh recorder: no disc written before.
    testsupport::RemoveTree(m_folder / L"discs");
    DeleteFileW(m_folder / L"calls.log");
    std::ostringstream fixture;
    fixture << "[Recorders]\nCount=1\n[Drive1]\nDevice=CdRom0\nDiscs=" << discs.size() << "\n" << drive;
    for (size_t i = 0; i < discs.size(); ++i)
        fixture << "[Drive1.Disc" << i + 1 << "]\n" << discs[i];
    Use(fixture.str());
}

LRESULT CALLBACK BurnHarness::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<BurnHarness*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_PART_STATUS:
        return self->m_statusReply;
    case WM_BURN_PROGRESS: {
        const LONG value = static_cast<LONG>(lParam);
        self->m_progress.push_back({wParam, value});
        if (value != -1 && self->m_cancelAtProgress >= 0 && self->m_cancelAtProgress-- == 0)
            return 0;
        return 1;
    }
    case WM_ADD_PROGRESS:
        self->m_stages.push_back(lParam);
        if (lParam == kStageTrack && static_cast<int>(wParam) == self->m_cancelAtTrack)
            self->m_job.Cancel();
        return 1;
    case WM_PART_DONE:
        self->m_done = static_cast<LONG>(wParam);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LONG BurnHarness::RunBurn(bool withJob)
{
    HANDLE thread = nullptr;
    CWinThread* burn = AfxBeginThread(RUNTIME_CLASS(CDBurnThread), THREAD_PRIORITY_NORMAL, 0, 0, nullptr, &thread);
    EXPECT_NE(nullptr, burn);
    if (!burn)
        return -1;
    burn->PostThreadMessage(WM_BURNING_START, 0, withJob ? reinterpret_cast<LPARAM>(&m_job) : 0);
    const DWORD start = GetTickCount();
    while (m_done < 0 && GetTickCount() - start < 120000 && WaitForSingleObject(thread, 0) == WAIT_TIMEOUT) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    EXPECT_TRUE(AfxWaitForThreadEnd(thread, 30000));
    CloseHandle(thread);
    MSG msg;  // a WM_PART_DONE posted just before the thread ended
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
    return m_done;
}

std::vector<CString> BurnHarness::TempFiles() const
{
    std::vector<CString> files;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(m_temp + L"\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            files.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return files;
}

std::string BurnHarness::WaveParameters(const CString& path) const
{
    std::string output;
    testsupport::RunHostCommand("python3 -c \"import sys, wave; w = wave.open(sys.argv[1]); print(w.getframerate(), "
                                "w.getnchannels(), w.getsampwidth(), w.getnframes())\" " +
                                    testsupport::ShellQuoted(path),
                                &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
        output.pop_back();
    return output;
}

std::vector<long> BurnHarness::DiscTrackFrames(int disc) const
{
    std::vector<long> frames;
    for (int t = 1; t <= 99; ++t) {
        CString track;
        track.Format(L"%s\\Track%02d.wav", DiscFolder(1, disc).GetString(), t);
        if (GetFileAttributesW(track) == INVALID_FILE_ATTRIBUTES)
            break;
        std::istringstream p(WaveParameters(track));
        long rate = 0, channels = 0, width = 0, count = -1;
        p >> rate >> channels >> width >> count;
        EXPECT_EQ(44100, rate) << t;
        EXPECT_EQ(2, channels) << t;
        EXPECT_EQ(2, width) << t;
        frames.push_back(count);
    }
    return frames;
}

}  // namespace burntest
