// Emberquay.exe itself, started as the console and the user start it: the message of each way
// start-up ends early (no playlist, the recording library cannot start, a second start while
// one runs), the running wizard's sheet showing the title, and the registration of its COM
// server and its removal.
#include "RecorderFixture.h"
#include "ServerRegistration.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/EmberquayIds.h"

#include <gtest/gtest.h>

namespace {

struct ProcessWindowSearch {
    DWORD process;
    const wchar_t* className;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM slot)
{
    auto* search = reinterpret_cast<ProcessWindowSearch*>(slot);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != search->process || !IsWindowVisible(window))
        return TRUE;
    wchar_t text[256] = {}, name[64] = {};
    GetWindowTextW(window, text, 256);
    GetClassNameW(window, name, 64);
    if ((!search->className || wcscmp(name, search->className) == 0) && (!search->title || wcscmp(text, search->title) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of another process, waiting for it up to timeoutMs.
HWND WaitForProcessWindow(HANDLE process, const wchar_t* className, const wchar_t* title, DWORD timeoutMs = 20000)
{
    const DWORD start = GetTickCount();
    do {
        ProcessWindowSearch search{GetProcessId(process), className, title, nullptr};
        EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(50);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

// The text of a message box.
CString BoxText(HWND box)
{
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return text;
}

class Program : public burntest::RecorderTest {
protected:
    void SetUp() override
    {
        m_program = testsupport::BinaryPath(L"Emberquay/Emberquay.exe");
        m_playlist = wizardtest::MakeTitleFolder(m_folder, L"Harbour", 2, L"Harbour Lights");
    }
    void TearDown() override
    {
        for (HANDLE process : m_processes) {
            if (WaitForSingleObject(process, 10000) != WAIT_OBJECT_0)
                TerminateProcess(process, 1);
            CloseHandle(process);
        }
        RecorderTest::TearDown();
    }
    HANDLE Start(const CString& arguments)
    {
        HANDLE process = nullptr;
        EXPECT_TRUE(testsupport::StartProgram(L"\"" + m_program + L"\" " + arguments, &process));
        if (process)
            m_processes.push_back(process);
        return process;
    }
    CString WizardArguments() const
    {
        return L"-SourceID=\"src\" -Path=\"" + m_playlist + L"\" -Type=\"MP3 Audiobook\"";
    }
    // Answers the process's message box and returns its text.
    CString AnswerBox(HANDLE process, int answer = IDOK)
    {
        HWND box = WaitForProcessWindow(process, L"#32770", L"Vesperlin Emberquay");
        if (!box)
            return L"<no box>";
        const CString text = BoxText(box);
        PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(answer), 0);
        return text;
    }
    static bool Ends(HANDLE process) { return WaitForSingleObject(process, 20000) == WAIT_OBJECT_0; }

    CString m_program;
    CString m_playlist;
    std::vector<HANDLE> m_processes;
};

TEST_F(Program, StartUpsThatEndWithTheirMessage)
{
    const struct {
        const char* what;
        const char* fixture;  // the recorders; null: none
        const wchar_t* arguments;
        UINT message;
    } cases[] = {
        {"no playlist", nullptr, L"", IDS_NO_PLAYLIST_PATH},
        {"an order file in its place", nullptr, L"C:\\M\\B.vpm", IDS_NO_PLAYLIST_PATH},
        {"the recording library cannot start", "[Recorders]\r\nCount=0\r\nFailUpStart=7\r\n", L"-Path=\"C:\\M\\B.wax\"",
         IDS_BURNING_NOT_INSTALLED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.fixture) {
            // Written, not started here: the program is the one to start the library.
            const CString fixture = m_folder / L"recorders.ini";
            testsupport::WriteAll(fixture, std::string(c.fixture));
            SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", fixture);
        } else {
            SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", nullptr);
        }
        HANDLE process = Start(c.arguments);
        ASSERT_NE(nullptr, process);
        EXPECT_EQ(AfxLoadString(c.message), AnswerBox(process));
        EXPECT_TRUE(Ends(process));
    }
}

TEST_F(Program, ASecondStartIsToldAndBringsTheRunningWizardForward)
{
    Use("[Recorders]\r\nCount=0\r\n");
    HANDLE first = Start(WizardArguments());
    ASSERT_NE(nullptr, first);
    HWND sheet = WaitForProcessWindow(first, L"#32770", L"Vesperlin Emberquay - Welcome");
    ASSERT_NE(nullptr, sheet);
    // The title's name on the Welcome page.
    const std::vector<testsupport::WindowInfo> tree = testsupport::WindowTree(sheet);
    const testsupport::WindowInfo* message = testsupport::FindById(tree, IDC_WELCOME_MESSAGE);
    ASSERT_NE(nullptr, message);
    EXPECT_NE(-1, message->text.Find(L"Harbour")) << message->text.ToNarrow();
    testsupport::CaptureWindow(sheet, L"Emberquay.Program.Welcome");

    // The sheet answers the registered message with its number.
    const UINT registered = RegisterWindowMessageW(L"EMBERQUAY-87B2C489-1EB7-4ff7-B05C-D77B42FF0B9D");
    DWORD_PTR reply = 0;
    ASSERT_TRUE(SendMessageTimeoutW(sheet, registered, 0, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 2000, &reply));
    EXPECT_EQ(registered, reply);

    ShowWindow(sheet, SW_MINIMIZE);
    HANDLE second = Start(WizardArguments());
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(AfxLoadString(IDS_ALREADY_RUNNING), AnswerBox(second));
    EXPECT_TRUE(Ends(second));
    // The running wizard is restored.
    for (int i = 0; i < 100 && IsIconic(sheet); ++i)
        Sleep(50);
    EXPECT_FALSE(IsIconic(sheet));

    PostMessageW(sheet, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Ends(first));
}

TEST(Registration, RegServerWritesTheClassProgIdsAppIdAndTypeLibraryAndUnregServerRemovesThem)
{
    wizardtest::ExpectRegistrationAndItsRemoval({testsupport::BinaryPath(L"Emberquay/Emberquay.exe"), L"Emberquay.exe",
                                                 L"{87B2C489-1EB7-4ff7-B05C-D77B42FF0B9D}", L"Emberquay",
                                                 L"{5E0C7A31-8D2B-4C55-9E61-3B7F0A4C2D18}", L"Emberquay 1.0 Type Library"});
}

}  // namespace
