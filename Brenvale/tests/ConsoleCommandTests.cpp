// The console's commands without their windows: the stored form of the proxy password,
// the download-folder check, the About box's texts, the Download dialog's part rules, the
// wizards' command line (read back with the wizards' own parsing rules) and game titles
// installed, started and uninstalled through real programs.
#include "AboutDialog.h"
#include "BrenvaleDoc.h"
#include "CredentialScrambler.h"
#include "DownloadFolderCheck.h"
#include "DownloadPartsDialog.h"
#include "DownloadThread.h"
#include "FileUtils.h"
#include "GameTitles.h"
#include "StringArraySort.h"
#include "LibraryTestSupport.h"
#include "ProgramTestSupport.h"
#include "TestSupport.h"
#include "WizardLaunch.h"
#include "res/ConsoleDialogIds.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace programtest;
using testsupport::ScratchFolder;

namespace {

// A company key of this test program's own, so that test programs running at the same time
// never share settings.
const wchar_t* const kCompany = L"Vesperlin Command Tests";
const wchar_t* const kProgramKey = L"Software\\Vesperlin Command Tests\\Vesperlin Brenvale";

// The console's application object with a clean registry key and recorded message boxes.
class ConsoleCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
        m_app.SetRegistryKey(kCompany);
        m_previous = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& box) {
            m_boxes.push_back(box.text);
            return m_answer;
        });
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(m_previous);
        SHDeleteKeyW(HKEY_CURRENT_USER, kProgramKey);
    }
    static CString Text(UINT id, const wchar_t* argument = L"")
    {
        CString text;
        text.Format(id, argument);
        return text;
    }
    CWinApp m_app{nullptr};
    AfxMessageBoxHandler m_previous;
    std::vector<CString> m_boxes;
    int m_answer = IDOK;
};

// --- Credential scrambling ---

// Always the lowest choice: shortest fillers of the lowest character, k = 2.
int Lowest() { return 0; }

TEST(CredentialScrambler, WritesTheStoredLayoutAndReadsKnownValuesBack)
{
    // "ab" with the lowest choices: 20 x ':', 26, 20 x ':', then per character
    // '2', 6 x '!', the character, 2 x '!', and 10 x '!' at the end.
    const CString known = CString(L':', 20) + L"26" + CString(L':', 20) + L"2!!!!!!a!!" + L"2!!!!!!b!!" + CString(L'!', 10);
    EXPECT_EQ(known, CCredentialScrambler::Scramble(L"ab", Lowest));
    CString value;
    ASSERT_TRUE(CCredentialScrambler::Unscramble(known, value));
    EXPECT_EQ(CString(L"ab"), value);

    // Written by hand with other fillers and digits: "x-9" with k = 9, 3 and 2.
    const CString other = L"~~~~~~~~~~~~~~~~~~~~~~~~39zzzzzzzzzzzzzzzzzzzzzzzzzzzz"
                          L"9" + CString(L'#', 27) + L"x" + CString(L'#', 9) +
                          L"3" + CString(L'~', 9) + L"-" + L"%%%" +
                          L"2" + L"!!!!!!" + L"9" + L"!!" + L"()()()()()()";
    ASSERT_TRUE(CCredentialScrambler::Unscramble(other, value));
    EXPECT_EQ(CString(L"x-9"), value);
}

TEST(CredentialScrambler, RoundTripsEveryKindOfCharacterWithRandomFillers)
{
    srand(1234);
    const auto random = [] { return rand(); };
    const wchar_t* values[] = {L"a", L"secret password", L"0123456789", L":~!\"#", L"\x00e9t\x00e9 \x4e2d\x6587\x2122",
                               L" lead and trail "};
    for (const wchar_t* original : values) {
        for (int round = 0; round < 20; ++round) {
            const CString stored = CCredentialScrambler::Scramble(original, random);
            // Fillers A and B hold no digit: the length number starts at the first digit.
            const int firstDigit = stored.FindOneOf(L"0123456789");
            EXPECT_GE(firstDigit, 20);
            EXPECT_LE(firstDigit, 40);
            EXPECT_EQ(static_cast<int>(wcslen(original)) * 13, _wtoi(stored.Mid(firstDigit)));
            CString value;
            ASSERT_TRUE(CCredentialScrambler::Unscramble(stored, value)) << stored.GetString();
            EXPECT_EQ(CString(original), value);
        }
    }
    CString long200(L'q', 200);
    CString value;
    ASSERT_TRUE(CCredentialScrambler::Unscramble(CCredentialScrambler::Scramble(long200, random), value));
    EXPECT_EQ(long200, value);
}

TEST(CredentialScrambler, MalformedStoredValuesGiveTheDefault)
{
    const CString good = CCredentialScrambler::Scramble(L"ab", Lowest);
    const CString empty = CCredentialScrambler::Scramble(L"", Lowest);
    EXPECT_EQ(CString(L':', 20) + L"0" + CString(L':', 20) + CString(L'!', 10), empty);
    const CString cases[] = {
        L"",
        empty,                                             // length 0
        good + L" ",                                       // a blank after filler C
        good.Left(good.GetLength() - 11),                  // cut inside the last character's filler
        CString(L':', 20) + L"26" + CString(L':', 20) + L"1!!!a!!" + L"2!!!!!!b!!" + CString(L'!', 10),  // k = 1
        CString(L':', 20) + CString(L':', 20),            // no length
        CString(L':', 20) + L"99999999999" + CString(L':', 20) + CString(L'!', 10),  // 11 digits
        CString(L':', 20) + L"9999999999" + CString(L':', 20) + CString(L'!', 10),   // more than an int
        CString(L':', 20) + L"2600" + CString(L':', 20) + L"2!!!!!!a!!" + CString(L'!', 10),  // claims 200
    };
    for (const CString& stored : cases) {
        CString value = L"default";
        EXPECT_FALSE(CCredentialScrambler::Unscramble(stored, value)) << stored.GetString();
        EXPECT_EQ(CString(L"default"), value);
    }
    // A length that is not a multiple of 13 is divided down: 27 / 13 = 2 characters.
    CString value;
    CString odd = good;
    odd.Replace(L"26", L"27");
    ASSERT_TRUE(CCredentialScrambler::Unscramble(odd, value));
    EXPECT_EQ(CString(L"ab"), value);
}

TEST_F(ConsoleCommand, ScrambledCredentialsGoThroughTheSettings)
{
    CCredentialScrambler scrambler;
    ASSERT_TRUE(scrambler.ScrambleCredential(L"Settings", L"Password", L"p\x00e4ss word"));
    const CString stored = m_app.GetProfileString(L"Settings", L"Password");
    EXPECT_EQ(-1, stored.Find(L"ss word"));
    EXPECT_EQ(CString(L"p\x00e4ss word"), scrambler.UnscrambleCredential(L"Settings", L"Password", L"none"));
    EXPECT_EQ(CString(L"none"), scrambler.UnscrambleCredential(L"Settings", L"Missing", L"none"));
    EXPECT_EQ(CString(), scrambler.UnscrambleCredential(L"Settings", L"Missing"));
}

// --- The download-folder check ---

TEST(DownloadFolderCheck, RefusesWhatCannotHoldDownloads)
{
    const std::map<wchar_t, UINT> drives = {{L'C', DRIVE_FIXED}, {L'N', DRIVE_REMOTE}, {L'E', DRIVE_REMOVABLE},
                                            {L'D', DRIVE_CDROM}, {L'R', DRIVE_RAMDISK}, {L'U', DRIVE_UNKNOWN}};
    std::vector<std::wstring> asked;
    const DriveTypeQuery query = [&](const wchar_t* root) {
        asked.push_back(root);
        const auto found = drives.find(static_cast<wchar_t>(towupper(root[0])));
        return found == drives.end() ? static_cast<UINT>(DRIVE_NO_ROOT_DIR) : found->second;
    };
    struct Case {
        const wchar_t* folder;
        DownloadFolderProblem problem;
        const wchar_t* driveKind;
    } cases[] = {
        {L"", DownloadFolderProblem::Empty, L""},
        {L"C:\\My Media\\MP3 Audiobooks", DownloadFolderProblem::None, L""},
        {L"c:\\", DownloadFolderProblem::None, L""},
        {L"N:\\Shared", DownloadFolderProblem::None, L""},
        {L"\\\\server\\share\\Media", DownloadFolderProblem::None, L""},
        {L"E:\\Media", DownloadFolderProblem::UnsupportedDrive, L"removable"},
        {L"U:\\Media", DownloadFolderProblem::UnsupportedDrive, L"removable"},
        {L"Q:\\Media", DownloadFolderProblem::UnsupportedDrive, L"removable"},
        {L"D:\\Media", DownloadFolderProblem::UnsupportedDrive, L"CD and DVD"},
        {L"R:\\Media", DownloadFolderProblem::UnsupportedDrive, L"RAM"},
        {L"E:\\a|b", DownloadFolderProblem::InvalidCharacters, L""},  // before any drive test
        {L"C:/Media", DownloadFolderProblem::InvalidCharacters, L""},
        {L"C:\\Me*dia", DownloadFolderProblem::InvalidCharacters, L""},
        {L"C:\\Media?", DownloadFolderProblem::InvalidCharacters, L""},
        {L"C:\\\"Media\"", DownloadFolderProblem::InvalidCharacters, L""},
        {L"C:\\<Media>", DownloadFolderProblem::InvalidCharacters, L""},
        {L"C:\\a:b", DownloadFolderProblem::InvalidCharacters, L""},
        {L"Media", DownloadFolderProblem::InvalidCharacters, L""},
        {L"..\\Media", DownloadFolderProblem::InvalidCharacters, L""},
        {L"\\Media", DownloadFolderProblem::InvalidCharacters, L""},
        {L"C:Media", DownloadFolderProblem::InvalidCharacters, L""},
    };
    for (const Case& c : cases) {
        asked.clear();
        CString driveKind = L"stale";
        EXPECT_EQ(c.problem, CheckDownloadFolder(c.folder, driveKind, query)) << c.folder;
        EXPECT_EQ(CString(c.driveKind), driveKind) << c.folder;
        if (c.problem == DownloadFolderProblem::InvalidCharacters || CString(c.folder).Left(2) == L"\\\\")
        {
            EXPECT_TRUE(asked.empty()) << c.folder;
        }
    }
    asked.clear();
    CString driveKind;
    CheckDownloadFolder(L"d:\\x", driveKind, query);
    EXPECT_EQ(std::vector<std::wstring>{L"d:\\"}, asked);
}

TEST(DownloadFolderCheck, ADriveLetterWineLacksIsRefusedAsRemovable)
{
    CString driveKind;
    EXPECT_EQ(DownloadFolderProblem::UnsupportedDrive, CheckDownloadFolder(L"K:\\Media", driveKind));
    EXPECT_EQ(CString(L"removable"), driveKind);
    EXPECT_EQ(DownloadFolderProblem::None, CheckDownloadFolder(L"C:\\Media", driveKind));
}

// --- The About box's texts ---

class FakeDetectObject : public IVersionSource {
public:
    explicit FakeDetectObject(std::map<int, CString> texts) : m_texts(std::move(texts)) {}
    BOOL GetVersionText(int dispid, CString& text) override
    {
        const auto found = m_texts.find(dispid);
        if (found == m_texts.end())
            return FALSE;
        text = found->second;
        return TRUE;
    }

private:
    std::map<int, CString> m_texts;
};

TEST(AboutVersionTexts, ShowWhatTheDetectObjectReports)
{
    struct Case {
        std::map<int, CString> reported;
        const wchar_t *console, *player, *platform;
    } cases[] = {
        {{{1, L"2.1.0.7"}, {2, L"11.0.6001.7000"}, {3, L"3.5"}}, L"2.1.0.7", L"11.0.6001.7000", L"3.5"},
        {{{1, L"0.9.1.2"}, {2, L"12.0"}, {3, L""}}, L"0.9.1.2 BETA", L"12.0", L""},
        {{{1, L"10.0.0.1"}}, L"10.0.0.1", L"<error>", L"<error>"},
        {{{2, L"9.0"}, {3, L"x"}}, L"<error>", L"9.0", L"x"},
    };
    for (Case& c : cases) {
        FakeDetectObject detect(c.reported);
        const AboutVersionTexts texts = ReadAboutVersionTexts(&detect);
        EXPECT_EQ(CString(c.console), texts.console);
        EXPECT_EQ(CString(c.player), texts.player);
        EXPECT_EQ(CString(c.platform), texts.platform);
    }
    const AboutVersionTexts none = ReadAboutVersionTexts(nullptr);
    EXPECT_EQ(CString(L"<error>"), none.console);
    EXPECT_EQ(CString(L"<error>"), none.platform);
}

// --- The Download dialog's rules ---

TEST(DownloadParts, SizesAndStatesOfParts)
{
    const std::pair<LONGLONG, const wchar_t*> sizes[] = {
        {0, L"0 KB"}, {1023, L"0 KB"}, {999424, L"976 KB"}, {1048576, L"1,024 KB"}, {102400000, L"100,000 KB"},
        {3000000000LL, L"2929,687 KB"},  // above 2 GiB; one separator only
        {5000000000LL, L"4882,812 KB"},  // above 4 GiB
        {-1, L"0 KB"},                   // a negative size kept from an old library
    };
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(CString(text), FormatPartSize(bytes)) << bytes;

    CObArray queue;
    auto add = [&](const wchar_t* title, int part) {
        auto* job = new CDownloadJob(nullptr, nullptr);
        job->m_strTitleId = title;
        job->m_nPartIndex = part;
        queue.Add(job);
    };
    add(L"BOOK-1", 1);  // head: being downloaded
    add(L"other", 2);
    add(L"book-1", 3);
    add(L"Book-1", 1);  // a later job for the same part: the first one decides
    EXPECT_EQ(PartStatus::Downloaded, GetPartStatus(true, L"Book-1", 1, &queue));
    EXPECT_EQ(PartStatus::Downloading, GetPartStatus(false, L"Book-1", 1, &queue));
    EXPECT_EQ(PartStatus::Pending, GetPartStatus(false, L"Book-1", 3, &queue));
    EXPECT_EQ(PartStatus::NotDownloaded, GetPartStatus(false, L"Book-1", 2, &queue));
    EXPECT_EQ(PartStatus::NotDownloaded, GetPartStatus(false, L"Book-1", 0, nullptr));
    EXPECT_EQ(CString(L"downloading..."), PartStatusText(PartStatus::Downloading));
    EXPECT_EQ(CString(L"pending..."), PartStatusText(PartStatus::Pending));
    EXPECT_EQ(CString(L"not downloaded"), PartStatusText(PartStatus::NotDownloaded));
    EXPECT_EQ(CString(L"downloaded"), PartStatusText(PartStatus::Downloaded));
    for (INT_PTR i = 0; i < queue.GetSize(); ++i)
        delete queue.GetAt(i);
}

}  // namespace

namespace {

// --- Sorting strings ---

TEST(SortStringArray, BothDirectionsWithoutRegardToCase)
{
    const auto sorted = [](std::vector<const wchar_t*> items, BOOL ascending) {
        CStringArray strings;
        for (const wchar_t* item : items)
            strings.Add(item);
        SortStringArray(strings, ascending);
        std::vector<CString> result;
        for (INT_PTR i = 0; i < strings.GetSize(); ++i)
            result.push_back(strings.GetAt(i));
        return result;
    };
    EXPECT_EQ((std::vector<CString>{L"A", L"b", L"c"}), sorted({L"b", L"A", L"c"}, TRUE));
    EXPECT_EQ((std::vector<CString>{L"c", L"b", L"A"}), sorted({L"b", L"A", L"c"}, FALSE));
    EXPECT_EQ((std::vector<CString>{L"x", L"X", L"y"}), sorted({L"y", L"x", L"X"}, TRUE));  // stable
    EXPECT_EQ((std::vector<CString>{L"only"}), sorted({L"only"}, FALSE));
    EXPECT_TRUE(sorted({}, TRUE).empty());
}

// --- The wizards' command line, read back with the wizards' parsing rules ---

TEST(WizardCommandLine, EachContentKindReadsBackInBothWizards)
{
    const int kinds[] = {KindAudiobook, KindMusic, KindVideo, KindMobileVideo, KindMp3Audiobook, KindMp3Music};
    const wchar_t* const paths[] = {
        L"C:\\users\\me\\My Documents\\My Media\\WMA Audiobooks\\Night - Day\\Night - Day.wax",
        L"\\\\server\\media\\a-b\\T.WAX",
    };
    for (int kind : kinds) {
        const CString kindName = GetContentKindDisplayName(kind);
        for (const wchar_t* path : paths) {
            for (bool verbose : {false, true}) {
                CString line;
                ASSERT_TRUE(BuildWizardCommandLine(L"Vesperlin Source 7", path, kindName, verbose, line));
                EXPECT_EQ(-1, line.Find(L"-Check"));  // the console never asks for a check run
                for (bool cdWizard : {false, true}) {
                    const WizardOptions read = ParseAsWizard(line.GetString(), cdWizard);
                    EXPECT_EQ(std::wstring(path), read.path) << line.GetString();
                    EXPECT_EQ(std::wstring(L"Vesperlin Source 7"), read.sourceId);
                    EXPECT_EQ(kindName.str(), read.type);
                    EXPECT_EQ(verbose && !cdWizard, read.verbose);
                }
            }
        }
    }
    // Ids and kinds as shops write them: hyphens, blanks, accents, apostrophes, an option's name.
    const wchar_t* const ids[] = {L"vesperlin-sample-shop", L"ab-12", L"-lead", L"Éditions d'Été - 7", L"a -Path=x -Type=y"};
    for (const wchar_t* id : ids) {
        CString line;
        ASSERT_TRUE(BuildWizardCommandLine(id, paths[0], L"WMV-Video", false, line)) << id;
        for (bool cdWizard : {false, true}) {
            const WizardOptions read = ParseAsWizard(line.GetString(), cdWizard);
            EXPECT_EQ(std::wstring(id), read.sourceId) << line.GetString();
            EXPECT_EQ(std::wstring(paths[0]), read.path) << line.GetString();
            EXPECT_EQ(std::wstring(L"WMV-Video"), read.type) << line.GetString();
        }
    }
    CString line;
    ASSERT_TRUE(BuildWizardCommandLine(L"src", L"C:\\M\\B\\B.wax", L"WMA Audiobook", true, line));
    EXPECT_EQ(CString(L"-SourceID=\"src\" -Path=\"C:\\M\\B\\B.wax\" -Type=\"WMA Audiobook\" -Verbose"), line);
    // A program name in front, as a wizard started by hand sees it, is dropped.
    const WizardOptions read = ParseAsWizard(L"\"C:\\P\\Carrowind.exe\" " + line.str(), false, L"C:\\P\\Carrowind.exe");
    EXPECT_EQ(std::wstring(L"C:\\M\\B\\B.wax"), read.path);
}

TEST(WizardCommandLine, RefusesValuesTheWizardsWouldReadDifferently)
{
    struct Case {
        const wchar_t *sourceId, *path, *type;
    } cases[] = {
        {L"a\" -Path=\"C:\\evil.wax", L"C:\\M\\B.wax", L"WMA Audiobook"},  // a quote breaks out
        {L"x.wax", L"C:\\M\\B.wax", L"WMA Audiobook"},                      // taken for the playlist
        {L"src ", L"C:\\M\\B.wax", L"WMA Audiobook"},                       // trimmed blank
        {L":src", L"C:\\M\\B.wax", L"WMA Audiobook"},                       // trimmed colon
        {L"src", L"C:\\a.wax\\B.wax", L"WMA Audiobook"},                    // an earlier ".wax"
    };
    for (const Case& c : cases) {
        // Written as they are, the wizards would read other values back.
        CString naive;
        naive.Format(L"-SourceID=\"%s\" -Path=\"%s\" -Type=\"%s\"", c.sourceId, c.path, c.type);
        const WizardOptions read = ParseAsWizard(naive.GetString(), false);
        EXPECT_FALSE(read.sourceId == c.sourceId && read.path == c.path && read.type == c.type) << naive.GetString();

        CString line = L"stale";
        EXPECT_FALSE(BuildWizardCommandLine(c.sourceId, c.path, c.type, false, line)) << naive.GetString();
        EXPECT_TRUE(line.IsEmpty());
    }
    // The wizards are started only with a playlist.
    CString line;
    EXPECT_FALSE(BuildWizardCommandLine(L"src", L"C:\\M\\B.vpm", L"WMA Audiobook", false, line));
}

TEST(WizardCommandLine, OnlyMediaKindsAreHandedOver)
{
    for (int kind : {KindAudiobook, KindMusic, KindVideo, KindMobileVideo, KindMp3Audiobook, KindMp3Music})
        EXPECT_TRUE(CanHandToWizard(kind)) << kind;
    for (int kind : {KindNone, KindGame, KindStreamingVideo})
        EXPECT_FALSE(CanHandToWizard(kind)) << kind;
}

// --- Programs started by the console ---

class WizardLaunch : public ConsoleCommand {
protected:
    void SetUp() override
    {
        ConsoleCommand::SetUp();
        m_library.AddSource(librarytest::MakeSource(L"src1", L"Source One"));
        m_title = librarytest::MakeTitle(L"book1", L"src1");
        m_title->GetMetadata().SetContentKind(KindAudiobook);
        m_title->SetDownloadFolder(m_media.Path());
        m_library.AddTitleToLibrary(m_title);
        m_context.document = &m_library;
        m_context.programFolder = m_programs.Path();
        m_context.downloadParts = [this](CMediaObject&) { ++m_downloads; };
    }
    void AddPartFile()
    {
        const CString part = m_title->GetPart(1)->GetFilePath(m_title);
        ASSERT_TRUE(CreateParentFolder(part));
        testsupport::WriteAll(part, std::string("audio"));
    }
    ScratchFolder m_media, m_programs, m_data;
    librarytest::TestLibrary m_library{m_data.Path()};
    CMediaObject* m_title = nullptr;
    WizardLaunchContext m_context;
    int m_downloads = 0;
};

TEST_F(WizardLaunch, StartsTheProgramInItsPlaceWithoutWaiting)
{
    AddPartFile();
    const CString wizard = m_programs / L"Carrowind.exe";
    ASSERT_TRUE(CopyFileW(StubProgram(), wizard, FALSE));
    m_answer = IDYES;  // verbose logging
    ASSERT_TRUE(LaunchDeviceWizard(m_title, m_context, true));
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(Text(IDS_ASK_VERBOSE_TRANSFER), m_boxes[0]);
    // The order file and the playlist lie beside the parts before the wizard reads them.
    EXPECT_TRUE(FileExists(m_title->GetMediaOrderFilePath()));
    EXPECT_TRUE(FileExists(m_title->GetPlaylistPath()));
    // The wizard is still waiting for its go: the console did not wait for it.
    EXPECT_FALSE(FileExists(wizard + L".txt"));
    testsupport::WriteAll(wizard + L".go", std::string());
    const auto recorded = WaitForFile(wizard + L".txt");
    ASSERT_TRUE(recorded);
    const std::string expected = Utf8(L"-SourceID=\"src1\" -Path=\"" + m_title->GetPlaylistPath() +
                                      L"\" -Type=\"WMA Audiobook\" -Verbose");
    EXPECT_EQ(expected, recorded->substr(0, recorded->find('\n')));
}

TEST_F(WizardLaunch, TheCdWizardGetsThePlainCommandLine)
{
    AddPartFile();
    const CString wizard = m_programs / L"Emberquay.exe";
    ASSERT_TRUE(CopyFileW(StubProgram(), wizard, FALSE));
    testsupport::WriteAll(wizard + L".go", std::string());
    ASSERT_TRUE(LaunchCdWizard(m_title, m_context));
    EXPECT_TRUE(m_boxes.empty());
    EXPECT_FALSE(FileExists(m_title->GetMediaOrderFilePath()));
    const auto recorded = WaitForFile(wizard + L".txt");
    ASSERT_TRUE(recorded);
    EXPECT_EQ(Utf8(L"-SourceID=\"src1\" -Path=\"" + m_title->GetPlaylistPath() + L"\" -Type=\"WMA Audiobook\""),
              recorded->substr(0, recorded->find('\n')));
}

TEST_F(WizardLaunch, RefusalsStartNothing)
{
    // No part on disk: the user is offered the download.
    m_answer = IDYES;
    EXPECT_FALSE(LaunchDeviceWizard(m_title, m_context, false));
    EXPECT_EQ(1, m_downloads);
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(Text(IDS_ASK_DOWNLOAD_PARTS_FIRST), m_boxes[0]);

    AddPartFile();
    m_boxes.clear();
    EXPECT_FALSE(LaunchDeviceWizard(m_title, m_context, false));  // no Carrowind.exe
    EXPECT_FALSE(LaunchCdWizard(m_title, m_context));             // no Emberquay.exe
    ASSERT_EQ(2u, m_boxes.size());
    EXPECT_EQ(Text(IDS_DEVICE_WIZARD_MISSING), m_boxes[0]);
    EXPECT_EQ(Text(IDS_CD_WIZARD_MISSING), m_boxes[1]);

    // Cancel at the verbose question: nothing starts, the order file is already written.
    const CString wizard = m_programs / L"Carrowind.exe";
    ASSERT_TRUE(CopyFileW(StubProgram(), wizard, FALSE));
    testsupport::WriteAll(wizard + L".go", std::string());
    m_boxes.clear();
    m_answer = IDCANCEL;
    EXPECT_FALSE(LaunchDeviceWizard(m_title, m_context, true));
    EXPECT_TRUE(FileExists(m_title->GetMediaOrderFilePath()));
    Sleep(300);
    EXPECT_FALSE(FileExists(wizard + L".txt"));

    // A source id the wizard could not read back: the box names the title and says why.
    m_title->SetSourceId(L"src\" -Verbose \"");
    m_library.AddSource(librarytest::MakeSource(L"src\" -Verbose \"", L"Odd"));
    m_boxes.clear();
    EXPECT_FALSE(LaunchDeviceWizard(m_title, m_context, false));
    ASSERT_EQ(1u, m_boxes.size());
    CString refused;
    refused.Format(IDS_WIZARD_TITLE_NOT_PASSABLE, m_title->GetMetadata().GetDisplayTitle(FALSE, TRUE).GetString());
    EXPECT_EQ(refused, m_boxes[0]);
    EXPECT_NE(-1, m_boxes[0].Find(L"double quote"));

    // Games are never handed over, and nothing is said.
    m_title->GetMetadata().SetContentKind(KindGame);
    m_boxes.clear();
    EXPECT_FALSE(LaunchDeviceWizard(m_title, m_context, false));
    EXPECT_FALSE(LaunchCdWizard(m_title, m_context));
    EXPECT_TRUE(m_boxes.empty());
}

// --- Game titles ---

class GameTitle : public ConsoleCommand {
protected:
    void SetUp() override
    {
        ConsoleCommand::SetUp();
        RemoveTestGameEntry();
        m_title.reset(librarytest::MakeTitle(L"game1", L"src1", 1));
        m_title->GetMetadata().SetContentKind(KindGame);
        m_title->SetDownloadFolder(m_media.Path());
        m_gameFolder = m_install / L"Test Game";
        SetEnvironmentVariableW(L"VESPERLIN_TEST_GAME_DIR", m_gameFolder);
    }
    void TearDown() override
    {
        RemoveTestGameEntry();
        SetEnvironmentVariableW(L"VESPERLIN_TEST_GAME_DIR", nullptr);
        ConsoleCommand::TearDown();
    }
    void Set(const wchar_t* section, const CString& value) { m_app.WriteProfileString(section, L"game1", value); }
    CString Get(const wchar_t* section) { return m_app.GetProfileString(section, L"game1"); }

    ScratchFolder m_media, m_install;
    CString m_gameFolder;
    std::unique_ptr<CMediaObject> m_title;
};

TEST_F(GameTitle, InstallLaunchAndUninstall)
{
    // The installer is the title's first part: "<download folder>\\Media\\Setup Game.exe".
    m_title->SetTitleFolder(L"");
    m_title->GetPart(0)->m_fileName = L"Setup Game.exe";
    const CString installer = m_title->GetPart(0)->GetFilePath(m_title.get());
    ASSERT_TRUE(CreateParentFolder(installer));
    ASSERT_TRUE(CopyFileW(StubProgram(), installer, FALSE));
    Set(L"Game Uninstall Keys", L"VesperlinTestGame");
    Set(L"Game Exe Names", L"TestGame.exe");
    Set(L"Game Default Folders", m_gameFolder);

    BOOL installed = TRUE;
    ASSERT_TRUE(IsGameInstalled(*m_title, installed));
    EXPECT_FALSE(installed);

    ASSERT_TRUE(InstallGame(*m_title));
    ASSERT_TRUE(WaitForFile(m_gameFolder + L"\\installed.txt"));
    EXPECT_TRUE(TestGameRegistered());  // in the 32-bit view, as 32-bit installers write it
    ASSERT_TRUE(IsGameInstalled(*m_title, installed));
    EXPECT_TRUE(installed);

    const CString game = m_gameFolder + L"\\TestGame.exe";
    testsupport::WriteAll(game + L".go", std::string());
    ASSERT_TRUE(LaunchGame(*m_title));
    const auto recorded = WaitForFile(game + L".txt");
    ASSERT_TRUE(recorded);
    // Started by its full path in quotes, in its own folder; the path is remembered (the
    // default folder's rule gives it in capitals).
    CString expected = L"\"" + game + L"\"\n" + m_gameFolder;
    EXPECT_EQ(Utf8(expected.MakeUpper()), Utf8(CString(recorded->c_str()).MakeUpper()));
    EXPECT_EQ(0, game.CompareNoCase(Get(L"Game Exe Paths")));
    EXPECT_TRUE(m_boxes.empty());

    ASSERT_TRUE(UninstallGame(*m_title));
    ASSERT_TRUE(WaitForFile(m_gameFolder + L"\\uninstalled.txt"));
    EXPECT_FALSE(TestGameRegistered());
    EXPECT_FALSE(FileExists(game));
    ASSERT_TRUE(IsGameInstalled(*m_title, installed));
    EXPECT_FALSE(installed);
    // Gone: the stored path no longer leads anywhere and the default folder holds nothing.
    m_boxes.clear();
    EXPECT_FALSE(LaunchGame(*m_title));
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(CString(L"The specified game cannot be found."), m_boxes[0]);
}

TEST_F(GameTitle, FindsTheProgramByEachRule)
{
    CreateDirectoryW(m_gameFolder, nullptr);
    const CString game = m_gameFolder + L"\\TestGame.exe";
    ASSERT_TRUE(CopyFileW(StubProgram(), game, FALSE));
    testsupport::WriteAll(game + L".go", std::string());

    // Missing settings are reported one by one.
    EXPECT_FALSE(LaunchGame(*m_title));
    Set(L"Game Exe Names", L"TestGame.exe");
    EXPECT_FALSE(LaunchGame(*m_title));
    BOOL installed = TRUE;
    EXPECT_FALSE(IsGameInstalled(*m_title, installed));
    EXPECT_FALSE(UninstallGame(*m_title));
    const std::vector<CString> expected = {Text(IDS_GAME_NO_EXE_NAME), Text(IDS_GAME_NO_DEFAULT_FOLDER),
                                           Text(IDS_GAME_NO_UNINSTALL_KEY), Text(IDS_GAME_NO_UNINSTALL_KEY)};
    EXPECT_EQ(expected, m_boxes);

    // A folder value in the machine registry (32-bit view), a path ending in ".exe" in any case.
    const CString folderKey = L"SOFTWARE\\Vesperlin Test Games";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, folderKey, 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY,
                                             nullptr, &key, nullptr));
    const CString exeValue = m_gameFolder + L"\\testgame.Exe";
    RegSetValueExW(key, L"Program", 0, REG_SZ, reinterpret_cast<const BYTE*>(exeValue.GetString()),
                   static_cast<DWORD>((exeValue.GetLength() + 1) * sizeof(wchar_t)));
    RegSetValueExW(key, L"Folder", 0, REG_SZ, reinterpret_cast<const BYTE*>(m_gameFolder.GetString()),
                   static_cast<DWORD>((m_gameFolder.GetLength() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    for (const wchar_t* value : {L"\\Program", L"\\Folder"}) {
        m_app.DeleteProfileValue(L"Game Exe Paths", L"game1");
        Set(L"Game Folder Regkeys", folderKey + value);
        EXPECT_TRUE(LaunchGame(*m_title)) << value;
        EXPECT_EQ(0, Get(L"Game Exe Paths").CompareNoCase(game)) << value;
        EXPECT_TRUE(WaitForFile(game + L".txt")) << value;
        DeleteFileW(game + L".txt");
    }
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, folderKey, KEY_WOW64_32KEY, 0);

    // The default folder's placeholder in mixed case.
    EXPECT_EQ(ExpandProgramFiles(L"%PROGRAMFILES%\\Game"), ExpandProgramFiles(L"%ProgramFiles%\\Game"));
    EXPECT_EQ(-1, ExpandProgramFiles(L"%ProgramFiles%\\Game").Find(L'%'));

    // A stored program path relative to the current folder is never started.
    m_boxes.clear();
    Set(L"Game Folder Regkeys", L"");
    Set(L"Game Default Folders", L"Test Game");
    Set(L"Game Exe Paths", L"Test Game\\TestGame.exe");
    SetCurrentDirectoryW(m_install.Path());
    EXPECT_FALSE(LaunchGame(*m_title));
    SetCurrentDirectoryW(m_media.Path());
    ASSERT_EQ(1u, m_boxes.size());
    EXPECT_EQ(CString(L"The specified game cannot be found."), m_boxes[0]);
    std::unique_ptr<CMediaObject> book(librarytest::MakeTitle(L"notgame", L"s", 1));
    EXPECT_FALSE(IsGameInstalled(*book, installed));
    EXPECT_FALSE(installed);
    EXPECT_FALSE(LaunchGame(*book));
    EXPECT_FALSE(UninstallGame(*book));
}

}  // namespace
