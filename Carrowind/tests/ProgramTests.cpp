// Carrowind.exe itself, started as the console and COM start it: registration and its removal
// (read back with wine reg query), the progress class served to a client in this process, the
// command-line check, and the verbose log. Boxes of the wizard's process are real: the tests
// find them by their caption, read them and answer them.
#include "ComTestSupport.h"
#include "FileUtils.h"
#include "ProgressObject.h"
#include "SuiteMessages.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "OtherProcessWindows.h"
#include "ServerRegistration.h"

#include <gtest/gtest.h>
#include <shlobj.h>

namespace {

using testsupport::ScratchFolder;

// The program as the build made it.
CString WizardProgram() { return testsupport::BinaryPath(L"Carrowind\\Carrowind.exe"); }

TEST(Program, RegServerWritesTheClassProgIdsAppIdAndTypeLibraryAndUnregServerRemovesThem)
{
    wizardtest::ExpectRegistrationAndItsRemoval({WizardProgram(), L"Carrowind.exe", L"{1573193E-0E49-49A8-A45D-18A47D48FB0D}",
                                                 L"Quillmere", L"{CD4CAA69-0BB6-492C-B88C-74ADCEAE9349}",
                                                 L"Carrowind 1.0 Type Library"});
}

// The test window the served object reports to.
struct PercentWindow {
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_TRANSFER_PERCENT) {
            Percents().push_back(wParam);
            return wParam >= 90 ? 0 : 1;  // the page says stop near the end
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    static std::vector<WPARAM>& Percents()
    {
        static std::vector<WPARAM> percents;
        return percents;
    }
    PercentWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"ServedPercentWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
        Percents().clear();
    }
    ~PercentWindow() { DestroyWindow(window); }
    HWND window;
};

// What the client saw, from its own thread (its apartment, its window).
struct ClientRun {
    HRESULT created = E_PENDING;
    HRESULT owner = E_PENDING, begin = E_PENDING, half = E_PENDING, same = E_PENDING, refused = E_PENDING,
            end = E_PENDING;
    std::vector<WPARAM> percents;
    bool serverHeldOn = false;  // the server went on while the object was held
    bool serverEnded = false;   // and ended after the last release
};

DWORD WINAPI RunClient(void* data)
{
    auto* run = static_cast<ClientRun*>(data);
    comtest::ApartmentScope com;
    PercentWindow owner;
    CLSID clsid{};
    CLSIDFromProgID(L"Vesperlin.WMDMProgressObject", &clsid);
    IWMDMProgressObject* object = nullptr;
    run->created = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IWMDMProgressObject,
                                    reinterpret_cast<void**>(&object));
    if (FAILED(run->created))
        return 0;
    const std::vector<DWORD> servers = testsupport::ProcessesNamed(L"Carrowind.exe");
    HANDLE server = servers.size() == 1 ? OpenProcess(SYNCHRONIZE, FALSE, servers[0]) : nullptr;
    run->owner = object->SetOwnerWindow(HandleToLong(owner.window));
    IWMDMProgress* progress = nullptr;
    if (SUCCEEDED(object->QueryInterface(IID_IWMDMProgress, reinterpret_cast<void**>(&progress)))) {
        run->begin = progress->Begin(200);
        run->half = progress->Progress(100);
        run->same = progress->Progress(100);  // the same percent: nothing sent
        run->refused = progress->Progress(190);
        run->end = progress->End();
        progress->Release();
    }
    run->percents = PercentWindow::Percents();
    run->serverHeldOn = server && WaitForSingleObject(server, 300) == WAIT_TIMEOUT;
    object->Release();
    run->serverEnded = server && WaitForSingleObject(server, 15000) == WAIT_OBJECT_0;
    if (server)
        CloseHandle(server);
    return 0;
}

TEST(Program, EmbeddingServesTheProgressClassToAnotherProcessAndEndsAfterTheLastRelease)
{
    const CString program = WizardProgram();
    ASSERT_EQ(0, testsupport::RunProgram(L"\"" + program + L"\" /RegServer"));
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    ITypeLib* marshal = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLibEx(self, REGKIND_REGISTER, &marshal));
    // The client runs on a thread of its own: a server Wine does not start cannot hang the tests.
    // In a prefix made moments before, Wine's first start of a local server can stall: the
    // stalled server is ended and the client tries once more.
    ClientRun* run = nullptr;
    bool finished = false;
    for (int attempt = 0; attempt < 2 && !finished; ++attempt) {
        run = new ClientRun;  // left to a client that never returns
        HANDLE client = CreateThread(nullptr, 0, RunClient, run, 0, nullptr);
        ASSERT_NE(nullptr, client);
        finished = WaitForSingleObject(client, 45000) == WAIT_OBJECT_0;
        CloseHandle(client);
        if (!finished) {
            for (DWORD id : testsupport::ProcessesNamed(L"Carrowind.exe")) {
                if (HANDLE stuck = OpenProcess(PROCESS_TERMINATE, FALSE, id)) {
                    TerminateProcess(stuck, 1);
                    CloseHandle(stuck);
                }
            }
        }
    }
    if (finished) {
        EXPECT_EQ(S_OK, run->created);
        EXPECT_EQ(S_OK, run->owner);
        EXPECT_EQ(S_OK, run->begin);
        EXPECT_EQ(S_OK, run->half);
        EXPECT_EQ(S_OK, run->same);
        EXPECT_EQ(wmdm::kUserCancelled, run->refused);
        EXPECT_EQ(S_OK, run->end);
        EXPECT_EQ((std::vector<WPARAM>{50, 95}), run->percents);
        EXPECT_TRUE(run->serverHeldOn);
        EXPECT_TRUE(run->serverEnded);
        delete run;
    }
    TLIBATTR* attributes = nullptr;
    if (SUCCEEDED(marshal->GetLibAttr(&attributes))) {
        UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                          attributes->syskind);
        marshal->ReleaseTLibAttr(attributes);
    }
    marshal->Release();
    EXPECT_EQ(0, testsupport::RunProgram(L"\"" + program + L"\" /UnregServer"));
    if (!finished)
        GTEST_SKIP() << "Wine did not start the local server for the client in two tries of 45 s (seen in a freshly made prefix)";
}

TEST(Program, WithoutAPlaylistTheWizardSaysSoAndEnds)
{
    const CString program = WizardProgram();
    for (const wchar_t* arguments : {L"", L" -SourceID=\"s\" -Path=\"C:\\M\\B\\B.vpm\" -Type=\"MP3 Audiobook\""}) {
        HANDLE process = nullptr;
        ASSERT_TRUE(testsupport::StartProgram(L"\"" + program + L"\"" + arguments, &process));
        const testsupport::ProcessBox box = testsupport::WaitForBox(GetProcessId(process));
        EXPECT_EQ(CString(L"Vesperlin Carrowind"), box.caption);
        EXPECT_EQ(CString(L"No Windows Media Audio shortcut (wax) path was included on the command line."), box.text);
        testsupport::Answer(box, IDOK);
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process, 15000));
        CloseHandle(process);
    }
}

CString DocumentsLog()
{
    wchar_t documents[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents);
    return CString(documents) + L"\\Vesperlin\\Carrowind.log";
}

TEST(Program, TheVerboseLogIsWrittenWithVerboseAndNotWithout)
{
    ScratchFolder scratch;
    const CString playlist = wizardtest::MakeTitleFolder(scratch, L"Lantern", 1, L"Lantern Tales");
    const CString program = WizardProgram();
    const CString log = DocumentsLog();
    // The Zune software's version, where a 64-bit install keeps it: the start record names it.
    const std::string zuneKey = "wine reg add \"HKLM\\SOFTWARE\\Microsoft\\Zune\" /v CurrentVersion";
    ASSERT_EQ(0, testsupport::RunHostCommand(zuneKey + " /t REG_SZ /d 4.8.2345.0 /f /reg:64"));
    for (bool verbose : {false, true}) {
        DeleteFileW(log);
        HANDLE process = nullptr;
        const CString line = L"\"" + program + L"\" -SourceID=\"s1\" -Path=\"" + playlist + L"\" -Type=\"MP3 Audiobook\"" +
                             (verbose ? L" -Verbose" : L"");
        ASSERT_TRUE(testsupport::StartProgram(line, &process));
        if (verbose) {
            const testsupport::ProcessBox enabled = testsupport::WaitForBox(GetProcessId(process));
            EXPECT_EQ(CString(L"Verbose logging is enabled.\nLog file: ") + log, enabled.text);
            testsupport::Answer(enabled, IDOK);
        }
        HWND sheet = testsupport::WaitForProcessWindow(GetProcessId(process), L"Vesperlin Carrowind - Welcome");
        ASSERT_NE(nullptr, sheet) << verbose;
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process, 15000));
        CloseHandle(process);
        EXPECT_EQ(verbose, FileExists(log) != FALSE);
    }
    const std::string bytes = testsupport::ReadAllBytes(log);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(std::string("\xFF\xFE", 2), bytes.substr(0, 2));
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / sizeof(wchar_t));
    EXPECT_EQ(std::wstring::npos, text.find(L'\xFEFF'));  // the mark once
    EXPECT_EQ(0u, text.find(L"[00:00:0"));
    for (const wchar_t* record : {L"] INIT\r\n", L"-Path=\"", L"] Lantern Tales (MP3 Audiobook) [iTunes=Not-Installed] [Zune=4.8.2345.0]\r\n",
                                  L"] Clear \r\n", L"] END\r\n"})
        EXPECT_NE(std::wstring::npos, text.find(record)) << CString(record).ToNarrow() << "\n" << CString(text).ToNarrow();
    DeleteFileW(log);
    testsupport::RunHostCommand("wine reg delete \"HKLM\\SOFTWARE\\Microsoft\\Zune\" /f /reg:64");
}

}  // namespace
