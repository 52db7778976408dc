// The wizards' services: registry values and the device wizard's settings, the strings file,
// placeholders, the message box, the banner of a source, the verbose log; and the device
// manager's progress object.
#include "CarrowindApp.h"
#include "FileUtils.h"
#include "TestSupport.h"
#include "CarrowindSheet.h"
#include "ProgressObject.h"
#include "SuiteMessages.h"
#include "WizardServices.h"
#include "WizardSettings.h"
#include "res/CarrowindIds.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

const wchar_t* const kSettingsKey = L"SOFTWARE\\Vesperlin, Inc.\\Carrowind";

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

class Settings : public ::testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey); }
    void TearDown() override { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey); }
    static void Put(const wchar_t* name, const wchar_t* value)
    {
        CString error;
        ASSERT_EQ(0, WriteRegValue(HKEY_LOCAL_MACHINE, kSettingsKey, name, value, TRUE, error)) << error.ToNarrow();
    }
    static CString Get(const wchar_t* name)
    {
        CString value, error;
        return ReadRegValue(HKEY_LOCAL_MACHINE, kSettingsKey, name, value, error) == 0 ? value : CString(L"<none>");
    }
};

TEST_F(Settings, WaitSecondsAreClampedAndWrittenBackOnlyWhenMissingOrClamped)
{
    const struct {
        const wchar_t* stored;  // null: missing
        int seconds;
        const wchar_t* after;
    } cases[] = {
        {nullptr, 10, L"10"}, {L"75", 60, L"60"}, {L"-5", 0, L"0"}, {L"20", 20, L"20"}, {L"60", 60, L"60"}, {L"", 10, L"10"},
    };
    for (const auto& c : cases) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsKey);
        if (c.stored)
            Put(L"WMAToAppleDeviceWaitSeconds", c.stored);
        EXPECT_EQ(c.seconds, ReadWmaToAppleWaitSeconds()) << (c.stored ? CString(c.stored).ToNarrow() : "missing");
        EXPECT_EQ(CString(c.after), Get(L"WMAToAppleDeviceWaitSeconds"));
    }
}

TEST_F(Settings, RoundTripsAndDefaults)
{
    EXPECT_EQ(2560, ReadiPodAddProgressEst());
    EXPECT_TRUE(ReadLastSelDevice().IsEmpty());
    EXPECT_TRUE(ReadWindowPositionSetting().IsEmpty());
    Put(L"iPodAddProgressEst", L"0");
    EXPECT_EQ(0, ReadiPodAddProgressEst());
    Put(L"iPodAddProgressEst", L"");
    EXPECT_EQ(2560, ReadiPodAddProgressEst());
    EXPECT_EQ(0, WriteLastSelDevice(L"E: (Harbour Player)"));
    EXPECT_EQ(CString(L"E: (Harbour Player)"), ReadLastSelDevice());
    Put(L"WindowPosition", L" Top Most ");
    EXPECT_EQ(CString(L"TopMost"), ReadWindowPositionSetting());
    // The command-line tool sees the same value.
    std::string output;
    const std::string view = sizeof(void*) == 8 ? " /reg:64" : " /reg:32";
    ASSERT_EQ(0, testsupport::RunHostCommand(
                     "wine reg query \"HKLM\\SOFTWARE\\Vesperlin, Inc.\\Carrowind\" /v LastSelDevice" + view, &output));
    EXPECT_NE(std::string::npos, output.find("E: (Harbour Player)")) << output;
}

TEST_F(Settings, TextStoredWithoutItsTerminatorIsReadSafely)
{
    HKEY key = nullptr;
    ASSERT_EQ(0, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSettingsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    const wchar_t text[] = {L'a', L'b', L'c'};  // no NUL
    ASSERT_EQ(0, RegSetValueExW(key, L"LastSelDevice", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text)));
    const DWORD number = 7;
    ASSERT_EQ(0, RegSetValueExW(key, L"Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number)));
    RegCloseKey(key);
    EXPECT_EQ(CString(L"abc"), ReadLastSelDevice());
    CString value, error;
    EXPECT_EQ(ERROR_INVALID_DATA, ReadRegValue(HKEY_LOCAL_MACHINE, kSettingsKey, L"Number", value, error));
    EXPECT_FALSE(error.IsEmpty());
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadRegValue(HKEY_LOCAL_MACHINE, kSettingsKey, L"Missing", value, error));
    EXPECT_EQ(0, error.Find(L"[RegQueryValueEx(get type and size)] failed with error 2: "));
    EXPECT_NE(0, ReadRegValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\No Such Key", L"x", value, error));
    EXPECT_EQ(0, error.Find(L"[RegOpenKeyEx] failed with error 2: "));
}

TEST(WizardServices, PlaceholdersStringsFileAndMessageBoxes)
{
    CMapStringToString map;
    map.SetAt(L"%%SOURCE_TITLE%%", L"Harbour Lights");
    map.SetAt(L"%%APP_TITLE%%", L"Vesperlin Carrowind");
    EXPECT_EQ(CString(L"Harbour Lights by Vesperlin Carrowind\r\n%%UNKNOWN%%"),
              ReplacePlaceholders(L"%%SOURCE_TITLE%% by %%APP_TITLE%%\\n%%UNKNOWN%%", &map));
    EXPECT_EQ(CString(L"one\r\ntwo"), ReplacePlaceholders(L"one\\ntwo", nullptr));

    ScratchFolder scratch;
    const CString strings = scratch / L"Carrowind.strings";
    WriteAll(strings, "[Welcome]\r\nCaption=Hello there\r\nLong=" + std::string(600, 'x') + "\r\n[Messages]\r\nEmpty=\r\n");
    const CString before = App().m_stringsFilePath;
    App().m_stringsFilePath = strings;
    EXPECT_EQ(CString(L"Hello there"), App().LookupStringsFile(L"Welcome", L"Caption", L"Welcome"));
    EXPECT_EQ(499, App().LookupStringsFile(L"Welcome", L"Long", L"").GetLength());
    EXPECT_EQ(CString(L"default"), App().LookupStringsFile(L"Messages", L"Empty", L"default"));
    EXPECT_EQ(CString(L"default"), App().LookupStringsFile(L"Nowhere", L"Caption", L"default"));
    App().m_stringsFilePath.Empty();
    EXPECT_EQ(CString(L"default"), App().LookupStringsFile(L"Welcome", L"Caption", L"default"));
    App().m_stringsFilePath = before;

    const struct {
        UINT type;
        UINT shown;
    } types[] = {
        {MB_OK | MB_ICONEXCLAMATION, MB_OK | MB_ICONEXCLAMATION},
        {MB_OK, MB_OK},
        {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
        {MB_YESNO | MB_ICONEXCLAMATION, MB_YESNO | MB_ICONQUESTION},
        {MB_RETRYCANCEL | MB_ICONINFORMATION, MB_RETRYCANCEL | MB_ICONQUESTION},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2},
        {MB_OKCANCEL | MB_ICONSTOP, MB_OKCANCEL | MB_ICONSTOP},
    };
    for (const auto& t : types) {
        EXPECT_EQ(t.shown, WizardMessageBoxType(t.type)) << t.type;
        MessageBoxRecorder boxes(IDNO);
        EXPECT_EQ(IDNO, AfxMessageBox(L"Go on?", t.type));
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(CString(L"Vesperlin Carrowind"), boxes.Boxes()[0].caption);
        EXPECT_EQ(t.shown, boxes.Boxes()[0].type);
    }
    MessageBoxRecorder boxes;
    AfxMessageBox(IDS_ALREADY_RUNNING, MB_OK);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(0, boxes.Boxes()[0].text.Find(L"Carrowind is already running."));
}

TEST(WizardServices, BannerLookupPrefersGifThenJpgThenPng)
{
    ScratchFolder data;
    CreateFolderPath(data / L"Banners");
    EXPECT_TRUE(FindBannerImageIn(data.Path(), L"src1").IsEmpty());
    WriteAll(data / L"Banners\\src1.png", std::string("png"));
    EXPECT_EQ(data / L"Banners\\src1.png", FindBannerImageIn(data.Path(), L"src1"));
    WriteAll(data / L"Banners\\src1.jpg", std::string("jpg"));
    EXPECT_EQ(data / L"Banners\\src1.jpg", FindBannerImageIn(data.Path(), L"src1"));
    WriteAll(data / L"Banners\\src1.gif", std::string("gif"));
    EXPECT_EQ(data / L"Banners\\src1.gif", FindBannerImageIn(data.Path(), L"src1"));
    EXPECT_TRUE(FindBannerImageIn(data.Path(), L"").IsEmpty());
    EXPECT_TRUE(GetFileProductVersion(L"").IsEmpty());
    EXPECT_EQ(0, GetFileProductVersion(data / L"missing.exe").Find(L"GetFileVersionInfoSize=Error:"));
    EXPECT_EQ(KindMp3Audiobook, ContentKindFromType(L"mp3 audiobook"));
    EXPECT_EQ(KindMp3Music, ContentKindFromType(L"MP3 Music"));
    EXPECT_EQ(KindMobileVideo, ContentKindFromType(L"WMV Video (mobile)"));
    EXPECT_EQ(0, ContentKindFromType(L"Podcast"));
    EXPECT_TRUE(IsZuneName(L"Microsoft Zune (Black)"));
    EXPECT_FALSE(IsZuneName(L"E: (Harbour Player)"));
}

TEST(WizardServices, VerboseLogIsUtf16WithOneMarkAndTurnsItselfOffOnceWhenItCannotBeMade)
{
    ScratchFolder scratch;
    CWizardApp& app = App();
    {
        // Off: nothing is written.
        app.m_verbose = FALSE;
        app.m_logFilePath = scratch / L"Off\\Carrowind.log";
        app.WriteVerboseLog(L"INIT");
        EXPECT_FALSE(FileExists(app.m_logFilePath));
    }
    // A folder in the way of the file: told once, then off.
    CreateFolderPath(scratch / L"Blocked\\Carrowind.log");
    app.m_logFilePath = scratch / L"Blocked\\Carrowind.log";
    app.m_verbose = TRUE;
    {
        MessageBoxRecorder boxes;
        app.WriteVerboseLog(L"INIT");
        app.WriteVerboseLog(L"again");
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(0, boxes.Boxes()[0].text.Find(L"Unable to create verbose log file \"" + app.m_logFilePath + L"\" ("));
        EXPECT_NE(-1, boxes.Boxes()[0].text.Find(L"Verbose logging is disabled."));
        EXPECT_FALSE(app.m_verbose);
    }
}

// --- The device manager's progress object ---

struct PercentWindow {
    static std::vector<WPARAM>& Percents()
    {
        static std::vector<WPARAM> percents;
        return percents;
    }
    static LRESULT& Reply()
    {
        static LRESULT reply = 1;
        return reply;
    }
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_TRANSFER_PERCENT) {
            Percents().push_back(wParam);
            return Reply();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    PercentWindow()
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PercentWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        Percents().clear();
        Reply() = 1;
    }
    ~PercentWindow() { DestroyWindow(window); }
    HWND window;
};

TEST(ProgressObject, TurnsTicksIntoPercentsSentOncePerChangeAndAZeroReplyCancels)
{
    PercentWindow owner;
    IWMDMProgressObject* object = nullptr;
    ASSERT_EQ(S_OK, com::CreateInstance<WMDMProgressObject>(nullptr, IID_IWMDMProgressObject,
                                                            reinterpret_cast<void**>(&object)));
    IWMDMProgress* progress = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IWMDMProgress, reinterpret_cast<void**>(&progress)));
    // No owner yet: nothing is sent.
    EXPECT_EQ(S_OK, progress->Begin(200));
    EXPECT_EQ(S_OK, progress->Progress(100));
    EXPECT_TRUE(PercentWindow::Percents().empty());

    ASSERT_EQ(S_OK, object->SetOwnerWindow(HandleToLong(owner.window)));
    const struct {
        DWORD ticks;
        std::vector<WPARAM> sent;
    } steps[] = {{0, {}}, {1, {1}}, {2, {1}}, {3, {1, 2}}, {200, {1, 2, 100}}, {200, {1, 2, 100}}};
    for (const auto& s : steps) {
        EXPECT_EQ(S_OK, progress->Progress(s.ticks));
        EXPECT_EQ(s.sent, PercentWindow::Percents()) << s.ticks;
    }
    // No clamping: an estimate of 0 counts as 1 tick.
    EXPECT_EQ(S_OK, progress->Begin(0));
    EXPECT_EQ(S_OK, progress->Progress(5));
    EXPECT_EQ(500u, PercentWindow::Percents().back());
    // The page says stop.
    PercentWindow::Reply() = 0;
    EXPECT_EQ(wmdm::kUserCancelled, progress->Progress(6));
    EXPECT_EQ(S_OK, progress->End());
    progress->Release();
    object->Release();
}

TEST(WizardSheetNames, PartFileNamesOfTheBaseName)
{
    CWizardSheet sheet(L"C:\\M\\Book\\Book.wax");
    EXPECT_EQ(CString(L"Book.wax"), sheet.m_playlistFileName);
    sheet.SetBaseFileName(L"Book");
    EXPECT_EQ(CString(L"Book-Part03.wma"), sheet.FormatPartFileName(3, L"wma"));
    EXPECT_EQ(CString(L"Book-Part12.mp3"), sheet.FormatPartFileName(12, L"mp3"));
    EXPECT_EQ(CString(L"Book-Part100.mp3"), sheet.FormatPartFileName(100, L"mp3"));
}

}  // namespace
