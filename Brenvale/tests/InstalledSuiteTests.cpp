// The suite as it is installed: the build's program folder holds every module the programs
// load, and the console run from there (Larkmoor.exe in its own process, on a library in the
// user's data folder) hands titles of shops whose ids hold hyphens, blanks, accents and
// apostrophes to the wizards beside it, which take them to a player and to a disc.
#include "CdAudioCompare.h"
#include "DataFolder.h"
#include "FileUtils.h"
#include "InstalledConsole.h"
#include "LibraryTestSupport.h"
#include "MediaFixtures.h"
#include "MediaMarkers.h"
#include "TestDrive.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "res/ConsoleIds.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using installedtest::InstalledConsole;
using testsupport::ScratchFolder;

namespace {

// The library of the prefix's user, set aside for the test and put back after it.
class InstalledSuite : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_library = GetConsoleDataFolder() + L"\\MediaDB.dat";
        m_kept = FileExists(m_library) && MoveFileExW(m_library, m_library + L".kept", MOVEFILE_REPLACE_EXISTING);
    }

    void TearDown() override
    {
        DeleteFileW(m_library);
        if (m_kept)
            MoveFileExW(m_library + L".kept", m_library, MOVEFILE_REPLACE_EXISTING);
    }

    // A title of three parts of that shop, in a folder of its name under media.
    static CMediaObject* ShopTitle(const wchar_t* id, const wchar_t* shop, const wchar_t* name, const CString& media)
    {
        CMediaObject* title = librarytest::MakeTitle(id, shop, 3);
        title->SetTitleFolder(name);
        title->SetDownloadFolder(media);
        CMetadataObject& metadata = title->GetMetadata();
        metadata.SetTitle(name);
        metadata.SetSortTitle(name);
        metadata.SetSubTitle(L"");
        metadata.SetContentKind(KindMp3Audiobook);
        return title;
    }

    // The user's library: the shop and its one title (the library owns the title).
    static void FileLibrary(CMediaObject* title, const wchar_t* shopName)
    {
        librarytest::TestLibrary library(GetConsoleDataFolder());
        library.AddSource(librarytest::MakeSource(title->m_sourceId, shopName));
        library.AddTitleToLibrary(title);
        ASSERT_TRUE(library.SaveLibrary());
    }

    // The part file made in scratch (host tools see only plain names) put at the part's own path.
    static void PlacePart(CMediaObject* title, int index, const CString& made, const wchar_t* duration)
    {
        CPartObject* part = title->GetPart(index);
        const CString path = part->GetFilePath(title);
        ASSERT_TRUE(CreateParentFolder(path));
        ASSERT_TRUE(CopyFileW(made, path, FALSE)) << path.ToNarrow();
        part->m_fileSize = static_cast<int>(testsupport::FileSizeOf(path));
        part->SetDuration(duration);
    }

    // Every text of the window and its children, one a line.
    static CString TextsOf(HWND window)
    {
        CString texts;
        for (const testsupport::WindowInfo& info : testsupport::WindowTree(window))
            texts += info.text + L"\n";
        return texts;
    }

    static CString Boxes(const std::vector<testsupport::ProcessBox>& boxes)
    {
        CString text;
        for (const testsupport::ProcessBox& box : boxes)
            text += box.caption + L": " + box.text + L"\n";
        return text;
    }

    CString m_library;
    bool m_kept = false;
};

BOOL CALLBACK FindVisibleItem(HWND child, LPARAM wanted)
{
    auto* item = reinterpret_cast<std::pair<int, HWND>*>(wanted);
    if (GetDlgCtrlID(child) != item->first || !IsWindowVisible(child))
        return TRUE;
    item->second = child;
    return FALSE;
}

// The visible window with this id among the descendants of a window of another process.
HWND VisibleItemOf(HWND window, int id)
{
    std::pair<int, HWND> item(id, nullptr);
    EnumChildWindows(window, FindVisibleItem, reinterpret_cast<LPARAM>(&item));
    return item.second;
}

// Shops whose ids the wizards' command line must carry whole.
struct ShopCase {
    const char* name;
    const wchar_t* shopId;
    const wchar_t* shopName;
    const wchar_t* titleId;
    const wchar_t* title;
};

const ShopCase kShops[] = {
    {"the sample library's shop", L"vesperlin-sample-shop", L"Vesperlin Sample Shop", L"harbour-lights-01",
     L"Harbour Lights - Night Crossing"},
    {"a shop with blanks, accents and an apostrophe", L"Librairie d'Émile-Nord", L"Librairie d'Émile",
     L"île-aux-étoiles 2", L"L'Île aux Étoiles - Livre 2"},
};

TEST_F(InstalledSuite, TheProgramFolderHoldsEveryModuleTheProgramsLoad)
{
    const CString folder = installedtest::ProgramFolder();
    for (const wchar_t* file : {L"Larkmoor.exe", L"Carrowind.exe", L"Emberquay.exe", L"Corvatine.dll", L"Tessaline.dll",
                                L"StarBurn.dll", L"Larkmoor.chm", L"Carrowind.chm", L"Emberquay.chm",
                                L"WMDefaultAlbum.jpg"})
        EXPECT_TRUE(FileExists(folder + L"\\" + file)) << CString(file).ToNarrow() << " is missing from "
                                                       << folder.ToNarrow();
}

// Transfer in the console run from the program folder: the device wizard beside it reads the
// title, shows it on its Confirm page and sends every part to a fixture player, byte for byte.
TEST_F(InstalledSuite, TransferTakesATitleOfAHyphenatedShopFromTheConsoleToThePlayer)
{
    for (const ShopCase& c : kShops) {
        SCOPED_TRACE(c.name);
        ScratchFolder media, made, player;
        CMediaObject* title = ShopTitle(c.titleId, c.shopId, c.title, media.Path());
        std::vector<std::string> sources;
        std::vector<CString> names;
        for (int i = 0; i < 3; ++i) {
            CString tone;
            tone.Format(L"tone-%d.mp3", i + 1);
            ASSERT_NO_FATAL_FAILURE(PlacePart(title, i, mediafixtures::MakeMp3(made, tone, i == 1), L"0:03"));
            const CString path = title->GetPart(i)->GetFilePath(title);
            sources.push_back(testsupport::ReadAllBytes(path));
            names.push_back(path.Mid(path.ReverseFind(L'\\') + 1));
        }
        ASSERT_NO_FATAL_FAILURE(FileLibrary(title, c.shopName));
        CreateDirectoryW(player / L"storage", nullptr);
        testsupport::WriteAll(player / L"devices.ini",
                              "[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\nProtocol=MTP\n"
                              "Serial=0x045E:0A0B0C0D\nFriendlyName=Kitchen Player\nFormats=0x3009,0xB901,0xBA03\n"
                              "[Device1.Storage1]\nName=\\\nFolder=storage\n");

        // The console, and the wizard it starts, get the test's environment.
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", player / L"devices.ini");
        InstalledConsole console;
        const bool started = console.Start();
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        ASSERT_TRUE(started) << installedtest::ProgramFolder().ToNarrow();
        ASSERT_TRUE(console.SelectFirstTitle());
        console.Command(ID_TITLE_TRANSFER);

        std::vector<testsupport::ProcessBox> consoleBoxes;
        DWORD wizard = 0;
        const HWND sheet = installedtest::WaitForWizard(console, L"Vesperlin Carrowind - Welcome", &wizard, &consoleBoxes);
        ASSERT_NE(nullptr, sheet) << "the console said: " << Boxes(consoleBoxes).ToNarrow();
        HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, wizard);
        ASSERT_NE(nullptr, process);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        const HWND confirm = testsupport::WaitForProcessWindow(wizard, L"Vesperlin Carrowind - Confirm", 60000);
        for (int i = 0; confirm && i < 200 && !IsWindowEnabled(GetDlgItem(sheet, 0x3024)); ++i)
            Sleep(50);
        Sleep(300);
        const CString confirmTexts = confirm ? TextsOf(sheet) : CString();
        HWND done = nullptr;
        if (confirm) {
            testsupport::CaptureWindow(sheet, L"InstalledSuite.TransferConfirm");
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
            done = testsupport::WaitForProcessWindow(wizard, L"Vesperlin Carrowind - Transfer Complete", 120000);
        }
        for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses()) {
            ADD_FAILURE() << "asked: " << box.text.ToNarrow();
            testsupport::Answer(box, IDCANCEL);
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, done ? PSBTN_FINISH : PSBTN_CANCEL, 0);
        if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "the device wizard did not end";
            TerminateProcess(process, 1);
        }
        CloseHandle(process);
        ASSERT_NE(nullptr, confirm) << "the device wizard did not reach its Confirm page";
        EXPECT_NE(-1, confirmTexts.Find(c.title)) << confirmTexts.ToNarrow();
        ASSERT_NE(nullptr, done) << "the transfer did not complete";
        EXPECT_TRUE(consoleBoxes.empty()) << Boxes(consoleBoxes).ToNarrow();

        const CString root = player / L"storage";
        const std::vector<CString> files = testsupport::FilesBelow(root);
        for (int i = 0; i < 3; ++i) {
            CString arrived;
            for (const CString& file : files)
                if (file.Mid(file.ReverseFind(L'\\') + 1).CompareNoCase(names[i]) == 0)
                    arrived = file;
            ASSERT_FALSE(arrived.IsEmpty()) << names[i].ToNarrow();
            EXPECT_TRUE(sources[i] == testsupport::ReadAllBytes(root + L"\\" + arrived)) << arrived.ToNarrow();
        }
    }
}

// Burn in the console run from the program folder: the CD wizard beside it reads the title of
// three parts made by real tools (spoken, a sox tone, an ffmpeg tone), announces on its Confirm
// page the tracks the parts' markers make, and burns them onto the virtual recorder's disc:
// each track a CD-audio WAV file as long as its marker span, as many as were announced.
TEST_F(InstalledSuite, BurnTakesATitleOfAHyphenatedShopFromTheConsoleToTheDisc)
{
    const ShopCase& c = kShops[1];
    ScratchFolder media, made, recorder, discRoot, temp;
    CMediaObject* title = ShopTitle(c.titleId, c.shopId, c.title, media.Path());
    // Each part at 44.1 kHz stereo, with its markers (ms) and the tracks they make (s: a CD
    // track lasts 4 s at least).
    const struct {
        const char* source;
        const wchar_t* duration;
        std::vector<int> markers;
        std::vector<double> tracks;
    } parts[] = {
        {"espeak-ng -w speech.wav 'The lighthouse keeper climbed the stair.' && "
         "ffmpeg -nostdin -v error -y -i speech.wav -af apad -t 8 -ac 2 -ar 44100 -b:a 128k part.mp3",
         L"0:08", {0, 4000}, {4, 4}},
        {"sox -n -r 44100 -c 2 tone.wav synth 13 sine 440 && "
         "ffmpeg -nostdin -v error -y -i tone.wav -b:a 128k part.mp3",
         L"0:13", {0, 4000, 8500}, {4, 4.5, 4.5}},
        {"ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=660:duration=8 -ac 2 -ar 44100 -b:a 128k part.mp3",
         L"0:08", {}, {8}},
    };
    std::vector<double> expected;
    std::vector<CString> partPaths;
    for (int i = 0; i < 3; ++i) {
        CString folder;
        folder.Format(L"part%d", i + 1);
        const CString scratch = made / folder;
        ASSERT_TRUE(CreateFolderPath(scratch));
        ASSERT_EQ(0, testsupport::RunHostCommand("cd " + testsupport::ShellQuoted(scratch) + " && " + parts[i].source));
        ASSERT_NO_FATAL_FAILURE(PlacePart(title, i, scratch + L"\\part.mp3", parts[i].duration));
        if (!parts[i].markers.empty()) {
            CMediaMarkers markers;
            ASSERT_EQ(S_OK, markers.Open(title->GetPart(i)->GetFilePath(title), FALSE));
            int n = 0;
            for (int at : parts[i].markers) {
                CString name;
                name.Format(L"Chapter %d-%d", i + 1, ++n);
                markers.AddMarker(name, at);
            }
            ASSERT_EQ(S_OK, markers.Close(TRUE));
            title->GetPart(i)->m_fileSize = static_cast<int>(testsupport::FileSizeOf(title->GetPart(i)->GetFilePath(title)));
        }
        expected.insert(expected.end(), parts[i].tracks.begin(), parts[i].tracks.end());
        partPaths.push_back(title->GetPart(i)->GetFilePath(title));
    }
    // The library takes the title.
    ASSERT_NO_FATAL_FAILURE(FileLibrary(title, c.shopName));

    // The recorder, found through a drive letter the system types as a CD drive.
    testsupport::TestDrive drive(discRoot.Path(), testsupport::DriveKind::CdRom);
    ASSERT_TRUE(drive.Made());
    const wchar_t letter[] = {drive.Letter(), L':', 0};
    const CString fixture = recorder / L"recorders.ini";
    testsupport::WriteAll(fixture, "[Recorders]\nCount=1\n[Drive1]\nDevice=" + drive.DeviceName().ToNarrow() +
                                       "\nLetter=" + CString(letter).ToNarrow() +
                                       "\nVendor=VIRTUAL\nProduct=CD-RW 52X\nDiscs=1\n[Drive1.Disc1]\nType=CD-R\n");
    wchar_t tempBefore[MAX_PATH] = {}, tmpBefore[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TEMP", tempBefore, MAX_PATH);
    GetEnvironmentVariableW(L"TMP", tmpBefore, MAX_PATH);
    SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", fixture);
    SetEnvironmentVariableW(L"TEMP", temp.Path());
    SetEnvironmentVariableW(L"TMP", temp.Path());
    InstalledConsole console;
    const bool started = console.Start();
    SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", nullptr);
    SetEnvironmentVariableW(L"TEMP", tempBefore);
    SetEnvironmentVariableW(L"TMP", tmpBefore);
    ASSERT_TRUE(started) << installedtest::ProgramFolder().ToNarrow();
    ASSERT_TRUE(console.SelectFirstTitle());
    console.Command(ID_TITLE_BURN);

    std::vector<testsupport::ProcessBox> consoleBoxes;
    DWORD wizard = 0;
    const HWND sheet = installedtest::WaitForWizard(console, L"Vesperlin Emberquay - Welcome", &wizard, &consoleBoxes);
    ASSERT_NE(nullptr, sheet) << "the console said: " << Boxes(consoleBoxes).ToNarrow();
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, wizard);
    ASSERT_NE(nullptr, process);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    const HWND confirm = testsupport::WaitForProcessWindow(wizard, L"Vesperlin Emberquay - Confirm", 60000);
    Sleep(300);
    // The tracks the Confirm page announces: its Tracks dialog lists them under each part.
    int announced = -1;
    CString confirmTexts;
    if (confirm) {
        confirmTexts = TextsOf(sheet);
        testsupport::CaptureWindow(sheet, L"InstalledSuite.BurnConfirm");
        // "&Tracks..." on the page shown.
        if (HWND button = VisibleItemOf(sheet, 1018))
            PostMessageW(button, BM_CLICK, 0, 0);
        if (HWND tracks = testsupport::WaitForProcessWindow(wizard, L"Vesperlin Emberquay \u2013 Tracks", 30000)) {
            Sleep(300);
            // The title, its three parts and their tracks.
            announced = static_cast<int>(SendMessageW(GetDlgItem(tracks, 1080), TVM_GETCOUNT, 0, 0)) - 1 - 3;
            PostMessageW(tracks, WM_COMMAND, IDCANCEL, 0);
            for (int i = 0; i < 100 && IsWindow(tracks); ++i)
                Sleep(50);
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
    }
    HWND done = nullptr;
    std::vector<CString> asked;
    for (int i = 0; confirm && i < 2400 && !done; ++i) {
        for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses()) {
            asked.push_back(box.text);
            testsupport::Answer(box, IDCANCEL);
        }
        done = testsupport::FindOtherProcessWindow(L"Vesperlin Emberquay - Burn Complete");
        if (!done)
            Sleep(50);
    }
    PostMessageW(sheet, PSM_PRESSBUTTON, done ? PSBTN_FINISH : PSBTN_CANCEL, 0);
    if (WaitForSingleObject(process, 20000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the CD wizard did not end";
        TerminateProcess(process, 1);
    }
    CloseHandle(process);
    ASSERT_NE(nullptr, confirm) << "the CD wizard did not reach its Confirm page";
    EXPECT_NE(-1, confirmTexts.Find(L"1 recordable CD is required to burn the selected part(s)"))
        << confirmTexts.ToNarrow();
    for (const CString& text : asked)
        ADD_FAILURE() << "asked: " << text.ToNarrow();
    ASSERT_NE(nullptr, done) << "the burn did not complete";
    EXPECT_TRUE(consoleBoxes.empty()) << Boxes(consoleBoxes).ToNarrow();
    EXPECT_EQ(static_cast<int>(expected.size()), announced);

    // On the disc: every track a CD-audio WAV file (read by Python's wave), as long as its span.
    std::string frames;
    ASSERT_EQ(0, testsupport::RunHostCommand(
                     "cd " + testsupport::ShellQuoted(recorder / L"discs\\Drive1\\Disc1") +
                         " && python3 -c \"import glob, wave\n"
                         "for f in sorted(glob.glob('Track*.wav')):\n"
                         "    w = wave.open(f)\n"
                         "    print(w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes())\"",
                     &frames));
    std::vector<std::string> lines;
    for (size_t at = 0; at < frames.size();) {
        const size_t end = frames.find('\n', at);
        lines.push_back(frames.substr(at, end - at));
        at = end == std::string::npos ? frames.size() : end + 1;
    }
    ASSERT_EQ(static_cast<size_t>(announced), lines.size()) << frames;
    ASSERT_EQ(expected.size(), lines.size()) << frames;
    for (size_t t = 0; t < lines.size(); ++t) {
        long rate = 0, channels = 0, width = 0, count = 0;
        ASSERT_EQ(4, std::sscanf(lines[t].c_str(), "%ld %ld %ld %ld", &rate, &channels, &width, &count)) << lines[t];
        EXPECT_EQ(44100, rate);
        EXPECT_EQ(2, channels);
        EXPECT_EQ(2, width);
        EXPECT_LE(std::labs(count - static_cast<long>(expected[t] * 44100)), 4410) << "track " << t + 1;
    }
    // Each part's tracks played one after the other are the part as ffmpeg decodes it: within an
    // MP3 packet and the last sector's silence, every track starting with the audio at its marker.
    const CString disc = recorder / L"discs\\Drive1\\Disc1";
    size_t track = 0;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(parts[i].source);
        std::string files;
        std::vector<long> starts;
        long at = 0;
        for (size_t k = 0; k < parts[i].tracks.size(); ++k, ++track) {
            CString name;
            name.Format(L"Track%02d.wav", static_cast<int>(track + 1));
            files += " " + testsupport::ShellQuoted(disc + L"\\" + name);
            starts.push_back(at);
            long rate = 0, channels = 0, width = 0, count = 0;
            std::sscanf(lines[track].c_str(), "%ld %ld %ld %ld", &rate, &channels, &width, &count);
            at += count;
        }
        CString joinedName;
        joinedName.Format(L"part%d\\joined.wav", i + 1);
        const CString joined = made / joinedName;
        ASSERT_EQ(0, testsupport::RunHostCommand("sox -V1" + files + " " + testsupport::ShellQuoted(joined)));
        ScratchFolder compare;
        const std::string out = cdaudiotest::CompareWithFfmpeg(compare, partPaths[i], joined,
                                                               1152 + 588, starts);
        EXPECT_EQ(0u, out.rfind("ok", 0)) << out;
    }
    EXPECT_TRUE(testsupport::FilesBelow(temp.Path()).empty()) << "files left in the temporary folder";
}

}  // namespace
