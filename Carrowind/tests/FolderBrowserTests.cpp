// Advanced Options and the player folder browser in the running wizard, on players the device
// search finds: a player of the device manager's stand-in and a mass-storage player on a
// removable test drive. New folders, a rename onto a name in use, a delete with its one
// question and a delete the player refuses, checked on the player's own folders.
#include "AdvancedOptionsDialog.h"
#include "BrowseFolderDialog.h"
#include "CarrowindApp.h"
#include "CarrowindSheet.h"
#include "DeviceEnumeration.h"
#include "Edit.h"
#include "FolderBrowserRules.h"
#include "HelpEntries.h"
#include "PlayerRecord.h"
#include "TestDrive.h"
#include "TitleFixtures.h"
#include "TransferFixtures.h"
#include "MediaFixtures.h"
#include "WindowTestSupport.h"
#include "ZuneClient.h"
#include "ZuneFixtures.h"
#include "ZuneTestSupport.h"
#include "res/AdvancedOptionsIds.h"
#include "res/BrowseFolderIds.h"
#include "res/ConfirmPageIds.h"
#include "res/HelpTopics.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;

CWizardApp& App() { return *static_cast<CWizardApp*>(AfxGetWizardApp()); }

const char kProfile[] = "<?xml version=\"1.0\"?>\r\n<Carrowind><VPM>\\Books\\[title]</VPM></Carrowind>\r\n";

bool FileExists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

bool IsFolder(const CString& path)
{
    const DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The texts of the tree items below an item.
std::vector<CString> ChildTexts(CTreeCtrl& tree, HTREEITEM parent)
{
    std::vector<CString> texts;
    for (HTREEITEM item = tree.GetChildItem(parent); item; item = tree.GetNextSiblingItem(item))
        texts.push_back(tree.GetItemText(item));
    return texts;
}

bool Holds(const std::vector<CString>& texts, const wchar_t* text)
{
    return std::find(texts.begin(), texts.end(), CString(text)) != texts.end();
}

// The texts of the boxes shown from the index on.
std::vector<CString> Texts(const MessageBoxRecorder& boxes, size_t from)
{
    std::vector<CString> texts;
    for (size_t i = from; i < boxes.Boxes().size(); ++i)
        texts.push_back(boxes.Boxes()[i].text);
    return texts;
}

bool PlayerListHolds(const PlayerRecord* player, const wchar_t* path)
{
    for (const auto& [index, entry] : player->folders) {
        if (entry->path.CompareNoCase(path) == 0)
            return true;
    }
    return false;
}

CBrowseFolderDialog* OpenBrowser()
{
    HWND window = FindWindowW(L"#32770", L"Browse Portable Player");
    return window ? dynamic_cast<CBrowseFolderDialog*>(CWnd::FromHandlePermanent(window)) : nullptr;
}

void Click(HWND dialog, int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))); }

// The steps that take the wizard over the real search to the Confirm page (and open Advanced
// Options there), then those given, then the closing ones.
std::vector<StepRunner::Step> AtConfirmPage(CWizardSheet& sheet, bool openOptions, std::vector<StepRunner::Step> steps,
                                            std::vector<StepRunner::Step> after = {})
{
    std::vector<StepRunner::Step> all{
        [&sheet] {
            sheet.PressButton(PSBTN_NEXT);
            return true;
        },
        [&sheet] { return sheet.GetActiveIndex() == 2 && ::IsWindowEnabled(::GetDlgItem(sheet.m_hWnd, 0x3024)); },
    };
    if (openOptions) {
        all.push_back([&sheet] {
            Click(sheet.m_confirm.m_hWnd, IDC_CONFIRM_ADVANCED);
            return true;
        });
    }
    all.insert(all.end(), steps.begin(), steps.end());
    all.insert(all.end(), after.begin(), after.end());
    return all;
}

// Closes the browser (once it is gone by itself or asked to), Advanced Options, the wizard.
std::vector<StepRunner::Step> ClosingSteps(CWizardSheet& sheet)
{
    return {
        [] {
            if (OpenBrowser())
                return false;
            if (HWND options = FindWindowW(L"#32770", L"Advanced Options"))
                Click(options, IDCANCEL);
            return true;
        },
        [&sheet] {
            if (FindWindowW(L"#32770", L"Advanced Options"))
                return false;
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    };
}

// Runs the browser modally while the steps drive it.
void RunBrowser(CBrowseFolderDialog& browser, std::vector<StepRunner::Step> steps)
{
    steps.insert(steps.begin(), [&browser] { return browser.m_hWnd && ::IsWindowVisible(browser.m_hWnd); });
    StepRunner inner(steps);
    browser.DoModal();
    EXPECT_TRUE(inner.Done());
}

struct PlayerCase {
    const char* label;
    const char* devices;    // the device manager's fixture; "%F" the player's folder, "%D" the drive letter
    bool onDrive;           // the player's folder is a removable test drive with a profile file
    const wchar_t* displayName;
    bool renamesNewFolder;  // a new folder may be renamed at once (the player allows renaming)
    // The folder chosen in the browser becomes the parts' folder (a mass-storage player's
    // folder comes from its profile instead).
    const wchar_t* confirmedFolder;
    // Advanced Options' example at first: the folder the Confirm page gave the player (an MTP
    // player's music folder, a mass-storage player's profile folder).
    const wchar_t* example;
    const char* picture;
};

const PlayerCase kPlayers[] = {
    {"a player of the device manager",
     "[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\nSerial=0x045E:0A0B0C0D\nProtocol=MTP\n"
     "FriendlyName=Kitchen Player\n[Device1.Storage1]\nName=\\\nFolder=%F\n",
     false, L"Kitchen Player", false, L"\\New Folder (2)", L"\\Music\\Harbour-Part01.mp3", "Player"},
    {"a mass-storage player on a removable drive",
     "[Devices]\nCount=1\n[Device1]\nName=Removable Disk (%D:)\nSerial=0x0781:0102\n[Device1.Storage1]\nName=\\\nFolder=%F\n",
     true, L"Removable Disk (%D:)", true, L"\\Books\\Harbour", L"\\Books\\Harbour\\Harbour-Part01.mp3", "Drive"},
};

// The wizard's settings for an MP3 title (mass-storage players are looked for then).
void SetUpWizard()
{
    FreeUsbDeviceTable();
    App().m_contentType = L"MP3 Audiobook";
    App().m_bannerPath.Empty();
    App().m_stringsFilePath.Empty();
    App().m_verbose = FALSE;
}

// A player of a case over a scratch folder with the folders Music and Books, named to the
// device manager's stand-in; a title to transfer.
class FixturePlayer {
public:
    FixturePlayer(const PlayerCase& c, const ScratchFolder& scratch)
    {
        if (c.onDrive) {
            m_drive = std::make_unique<testsupport::TestDrive>(m_folder.Path(), testsupport::DriveKind::Removable);
            if (!m_drive->Made())
                return;
            letter = m_drive->Letter();
            testsupport::WriteAll(m_drive->Root() + L"Vesperlin.xml", kProfile);
        }
        root = m_folder.Path();
        CreateDirectoryW(root + L"\\Music", nullptr);
        CreateDirectoryW(root + L"\\Books", nullptr);
        // The device manager's player lets this folder be renamed.
        testsupport::WriteAll(root + L"\\Books.props", "Attributes=0x28008\n");
        devices = c.devices;
        // Scratch folders have plain ASCII paths.
        std::string folderBytes;
        for (int i = 0; i < root.GetLength(); ++i)
            folderBytes += static_cast<char>(root[i]);
        for (size_t at = devices.find("%F"); at != std::string::npos; at = devices.find("%F"))
            devices.replace(at, 2, folderBytes);
        for (size_t at = devices.find("%D"); at != std::string::npos; at = devices.find("%D"))
            devices.replace(at, 2, 1, static_cast<char>(letter));
        fixture = scratch / L"devices.ini";
        testsupport::WriteAll(fixture, devices);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", fixture);
        playlist = wizardtest::MakeTitleFolder(scratch, L"Harbour", 2, L"Harbour Lights");
        displayName = c.displayName;
        displayName.Replace(L"%D", CString(letter));
        made = true;
    }
    ~FixturePlayer() { SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr); }

    bool made = false;
    wchar_t letter = L'?';
    CString root;
    std::string devices;
    CString fixture;
    CString playlist;
    CString displayName;

private:
    ScratchFolder m_folder;
    std::unique_ptr<testsupport::TestDrive> m_drive;
};

class FolderBrowser : public ::testing::TestWithParam<PlayerCase> {
protected:
    void SetUp() override { SetUpWizard(); }

    ScratchFolder m_scratch;
};

TEST_P(FolderBrowser, CreatesRenamesAndDeletesFoldersOnThePlayer)
{
    const PlayerCase& c = GetParam();
    FixturePlayer made(c, m_scratch);
    ASSERT_TRUE(made.made);
    const CString& root = made.root;
    const CString& fixture = made.fixture;
    const CString& playlist = made.playlist;
    const CString& displayName = made.displayName;
    MessageBoxRecorder boxes(IDYES);

    CWizardSheet sheet(playlist);
    PlayerRecord* player = nullptr;
    CBrowseFolderDialog* browser = nullptr;
    CString example;
    std::vector<CString> afterCreate;
    std::vector<CString> afterDelete;
    CString retryText;
    CString selectedAfterRename;
    std::vector<CString> renameBoxes;
    std::vector<CString> deleteBoxes;
    std::vector<CString> refusedBoxes;
    UINT deleteBoxType = 0;
    bool deletedOnPlayer = false;
    bool refusedKept = false;
    CString confirmedFolder;
    int transferResult = 0;
    size_t boxesBefore = 0;
    auto endEdit = [&](BOOL cancel) {
        if (browser && browser->Tree().GetEditControl())
            TreeView_EndEditLabelNow(browser->Tree().m_hWnd, cancel);
    };
    StepRunner steps(AtConfirmPage(sheet, false, {
        [&] {
            player = sheet.m_confirm.GetSelectedPlayer();
            EXPECT_TRUE(player && (player->massStorage != FALSE) == c.onDrive);
            Click(sheet.m_confirm.m_hWnd, IDC_CONFIRM_ADVANCED);
            return true;
        },
        [&] {
            HWND options = FindWindowW(L"#32770", L"Advanced Options");
            if (!options)
                return false;
            wchar_t text[MAX_PATH] = {};
            GetDlgItemTextW(options, IDC_ADVANCED_EXAMPLE, text, MAX_PATH);
            example = text;
            testsupport::CaptureWindow(options, CString(L"Carrowind.AdvancedOptions.") + CString(c.picture));
            Click(options, IDC_ADVANCED_BROWSE);
            return true;
        },
        [&] {
            browser = OpenBrowser();
            if (!browser)
                return false;
            testsupport::PumpMessages(100);
            testsupport::CaptureWindow(browser->m_hWnd, CString(L"Carrowind.BrowseFolder.") + CString(c.picture));
            browser->Tree().SelectItem(browser->Tree().GetRootItem());
            Click(browser->m_hWnd, IDC_BROWSE_NEW_FOLDER);
            return true;
        },
        [&] {
            if (!IsFolder(root + L"\\New Folder"))
                return false;
            // The new folder's name is being typed where the player allows renaming.
            EXPECT_EQ(c.renamesNewFolder, browser->Tree().GetEditControl() != nullptr);
            endEdit(TRUE);
            browser->Tree().SelectItem(browser->Tree().GetRootItem());
            Click(browser->m_hWnd, IDC_BROWSE_NEW_FOLDER);
            return true;
        },
        [&] {
            if (!IsFolder(root + L"\\New Folder (2)"))
                return false;
            endEdit(TRUE);
            afterCreate = ChildTexts(browser->Tree(), browser->Tree().GetRootItem());
            testsupport::CaptureWindow(browser->m_hWnd, CString(L"Carrowind.BrowseFolder.NewFolders.") + CString(c.picture));
            // Books onto the name of Music.
            HTREEITEM books = browser->FindItem(L"\\Books");
            EXPECT_NE(nullptr, books);
            if (!books)
                return true;
            browser->Tree().SelectItem(books);
            browser->Tree().SetFocus();
            HWND edit = TreeView_EditLabel(browser->Tree().m_hWnd, books);
            EXPECT_NE(nullptr, edit);
            boxesBefore = boxes.Boxes().size();
            SetWindowTextW(edit, L"Music");
            TreeView_EndEditLabelNow(browser->Tree().m_hWnd, FALSE);
            return true;
        },
        [&] {
            CEdit* edit = browser->Tree().GetEditControl();
            if (!edit)
                return false;
            retryText = edit->GetWindowText();
            renameBoxes = Texts(boxes, boxesBefore);
            // Editing goes on: another name is taken.
            SetWindowTextW(edit->m_hWnd, L"Stories");
            TreeView_EndEditLabelNow(browser->Tree().m_hWnd, FALSE);
            return true;
        },
        [&] {
            if (!IsFolder(root + L"\\Stories"))
                return false;
            testsupport::PumpMessages(50);
            selectedAfterRename = browser->Tree().GetItemText(browser->Tree().GetSelectedItem());
            // The new folder goes, after one question.
            HTREEITEM created = browser->FindItem(L"\\New Folder");
            EXPECT_NE(nullptr, created);
            browser->Tree().SelectItem(created);
            boxes.Clear();
            SendMessageW(browser->m_hWnd, WM_COMMAND, MAKEWPARAM(ID_BROWSE_DELETE, 0), 0);
            return true;
        },
        [&] {
            afterDelete = ChildTexts(browser->Tree(), browser->Tree().GetRootItem());
            deletedOnPlayer = !IsFolder(root + L"\\New Folder") && !PlayerListHolds(player, L"\\New Folder") &&
                              PlayerListHolds(player, L"\\New Folder (2)");
            deleteBoxes = Texts(boxes, 0);
            if (!boxes.Boxes().empty())
                deleteBoxType = boxes.Boxes()[0].type & (MB_TYPEMASK | MB_ICONMASK);
            // The player refuses the next delete.
            WritePrivateProfileStringW(L"Device1", L"Fail.Delete", L"0x80004005", fixture);
            browser->Tree().SelectItem(browser->FindItem(L"\\New Folder (2)"));
            boxes.Clear();
            SendMessageW(browser->m_hWnd, WM_COMMAND, MAKEWPARAM(ID_BROWSE_DELETE, 0), 0);
            return true;
        },
        [&] {
            refusedKept = IsFolder(root + L"\\New Folder (2)");
            refusedBoxes = Texts(boxes, 0);
            EXPECT_TRUE(player->deleteFailed);
            // The new folder becomes the parts' folder.
            browser->Tree().SelectItem(browser->FindItem(L"\\New Folder (2)"));
            Click(browser->m_hWnd, IDOK);
            return true;
        },
        [&] {
            if (OpenBrowser())
                return false;
            browser = nullptr;
            HWND options = FindWindowW(L"#32770", L"Advanced Options");
            if (options)
                Click(options, IDOK);
            return true;
        },
        [&] {
            if (FindWindowW(L"#32770", L"Advanced Options"))
                return false;
            confirmedFolder = sheet.m_confirm.GetFolder();
            if (confirmedFolder != L"\\New Folder (2)") {
                sheet.PressButton(PSBTN_CANCEL);
                return true;
            }
            // A part sent by the transfer thread lands in that folder.
            IStream* stream = nullptr;
            if (IWMDMDevice* device = player->GetDeviceInterface())
                CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device, &stream);
            transfertest::TestPage page;
            CTransferJob job(stream, page.Window());
            CreateDirectoryW(m_scratch / L"src", nullptr);
            job.m_strSourcePath = mediafixtures::MakeMp3(m_scratch, L"src\\Harbour-1.mp3");
            job.m_strTargetName = L"Harbour-Part01.mp3";
            job.m_strTitle = L"Harbour Lights";
            job.m_pPlayer = player;
            transferResult = page.Run(&job);
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());

    EXPECT_EQ(CString(c.example), example);
    EXPECT_TRUE(Holds(afterCreate, L"New Folder"));
    EXPECT_TRUE(Holds(afterCreate, L"New Folder (2)"));
    EXPECT_FALSE(Holds(afterDelete, L"New Folder"));
    EXPECT_TRUE(Holds(afterDelete, L"New Folder (2)"));
    // The rename onto Music was refused with its message and editing resumed with the name
    // typed; the next name was taken and the renamed folder is selected.
    EXPECT_EQ(std::vector<CString>{L"Cannot rename \"Books\": The name \"Music\" you specified already exists. "
                                   L"Specify a different name."},
              renameBoxes);
    EXPECT_EQ(CString(L"Music"), retryText);
    EXPECT_FALSE(IsFolder(root + L"\\Books"));
    EXPECT_EQ(CString(L"Stories"), selectedAfterRename);
    // One question before the delete; the folder is gone from the player and its list.
    EXPECT_EQ(std::vector<CString>{L"Are you sure you want to remove the folder \"New Folder\" and all its contents?"},
              deleteBoxes);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), deleteBoxType);
    EXPECT_TRUE(deletedOnPlayer);
    // The refused delete: its message after the question, the folder still there.
    EXPECT_EQ((std::vector<CString>{L"Are you sure you want to remove the folder \"New Folder (2)\" and all its contents?",
                                    CString(L"Cannot delete: The portable player (\"") + displayName +
                                        L"\") does not support this function."}),
              refusedBoxes);
    EXPECT_TRUE(refusedKept);
    EXPECT_EQ(CString(c.confirmedFolder), confirmedFolder);
    if (confirmedFolder == L"\\New Folder (2)") {
        EXPECT_EQ(kTransferDone, transferResult);
        EXPECT_TRUE(FileExists(root + L"\\New Folder (2)\\Harbour-Part01.mp3"));
    }
}

// The Confirm page opens the browser in its delete mode when the player is too full for the
// parts: read-only files are not offered, the player's own folders cannot be deleted, and the
// space line is red while the parts do not fit.
TEST(FolderBrowserDeleteMode, FreesSpaceOnAFullDrivePlayer)
{
    SetUpWizard();
    ScratchFolder scratch;
    FixturePlayer made(kPlayers[1], scratch);
    ASSERT_TRUE(made.made);
    testsupport::WriteAll(made.root + L"\\Books\\Part.mp3", std::string(3072, 'p'));
    testsupport::WriteAll(made.root + L"\\Books\\Kept.mp3", std::string(3000, 'k'));
    SetFileAttributesW(made.root + L"\\Books\\Kept.mp3", FILE_ATTRIBUTE_READONLY);
    MessageBoxRecorder boxes(IDYES);

    CWizardSheet sheet(made.playlist);
    CString prompt, deleteText, closeText, status;
    std::vector<CString> books;
    BOOL deleteForMusic = TRUE, deleteForPart = FALSE;
    std::vector<CString> questions;
    BOOL closedWithOk = TRUE;
    StepRunner steps(AtConfirmPage(sheet, false, {
        [&] {
            PlayerRecord* player = sheet.m_confirm.GetSelectedPlayer();
            EXPECT_NE(nullptr, player);
            if (!player)
                return true;
            CBrowseFolderDialog* shown = nullptr;
            StepRunner inner(std::vector<StepRunner::Step>{
                [&] {
                    shown = OpenBrowser();
                    if (!shown)
                        return false;
                    CBrowseFolderDialog& browser = *shown;
                    testsupport::PumpMessages(100);
                    testsupport::CaptureWindow(browser.m_hWnd, L"Carrowind.BrowseFolder.DeleteMode");
                    prompt = browser.GetDlgItemText(IDC_BROWSE_PROMPT);
                    deleteText = browser.GetDlgItemText(IDC_BROWSE_NEW_FOLDER);
                    closeText = browser.GetDlgItemText(IDCANCEL);
                    status = browser.GetStatusText();
                    books = ChildTexts(browser.Tree(), browser.FindItem(L"\\Books"));
                    browser.Tree().SelectItem(browser.FindItem(L"\\Music"));
                    deleteForMusic = ::IsWindowEnabled(::GetDlgItem(browser.m_hWnd, IDC_BROWSE_NEW_FOLDER));
                    browser.Tree().SelectItem(browser.FindItem(L"\\Books\\Part.mp3"));
                    deleteForPart = ::IsWindowEnabled(::GetDlgItem(browser.m_hWnd, IDC_BROWSE_NEW_FOLDER));
                    boxes.Clear();
                    Click(browser.m_hWnd, IDC_BROWSE_NEW_FOLDER);
                    return true;
                },
                [&] {
                    if (FileExists(made.root + L"\\Books\\Part.mp3"))
                        return false;
                    questions = Texts(boxes, 0);
                    Click(shown->m_hWnd, IDCANCEL);
                    return true;
                },
            });
            closedWithOk = BrowsePlayerToFreeSpace(&sheet.m_confirm, player, L"\\Books", 1ull << 50);
            EXPECT_TRUE(inner.Done());
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());

    EXPECT_EQ(CString(L"Browse your portable player to delete files to free up more space."), prompt);
    EXPECT_EQ(CString(L"&Delete"), deleteText);
    EXPECT_EQ(CString(L"&Close"), closeText);
    EXPECT_FALSE(closedWithOk);  // Close: the page stays
    EXPECT_EQ(0, status.Find(L"<font color=\"red\">Needed space: 1,099,511,627,776 KB    Free space: "));
    EXPECT_EQ(std::vector<CString>{L"Part.mp3 (3 KB)"}, books);
    EXPECT_FALSE(deleteForMusic);
    EXPECT_TRUE(deleteForPart);
    EXPECT_EQ(std::vector<CString>{L"Are you sure you want to delete \"Part.mp3\"?"}, questions);
    EXPECT_TRUE(FileExists(made.root + L"\\Books\\Kept.mp3"));
    SetFileAttributesW(made.root + L"\\Books\\Kept.mp3", FILE_ATTRIBUTE_NORMAL);
}

// Every control of the Confirm page, of Advanced Options and of the folder browser in both its
// modes has its pop-up in the page's topic ("?" on it, Shift+F1) and opens its window's help
// (F1); the delete mode's controls show the delete mode's own pop-ups.
TEST(FolderBrowserHelp, EachControlOfTheConfirmPageOptionsAndBrowserShowsItsOwnHelp)
{
    SetUpWizard();
    ScratchFolder scratch;
    FixturePlayer made(kPlayers[1], scratch);
    ASSERT_TRUE(made.made);
    MessageBoxRecorder boxes(IDYES);
    testsupport::HtmlHelpRecorder recorder;
    const CString file(App().m_pszHelpFilePath);
    auto help = [&file](const wchar_t* topic, const wchar_t* folder, UINT dialog) {
        return wizardtest::DialogHelp{file, topic, testsupport::SourcePath(CString(folder) + topic),
                                      HID_BASE_RESOURCE + dialog};
    };
    std::set<DWORD> deleteModeIds;
    CWizardSheet sheet(made.playlist);
    StepRunner steps(AtConfirmPage(sheet, true, {
        [&] {
            HWND options = FindWindowW(L"#32770", L"Advanced Options");
            if (!options)
                return false;
            wizardtest::ExpectControlHelp(sheet.m_confirm.m_hWnd, recorder,
                                          help(kConfirmHelpTopic, L"Carrowind/help/", IDD_CONFIRM_PAGE));
            wizardtest::ExpectControlHelp(options, recorder,
                                          help(kAdvancedOptionsHelpTopic, L"Carrowind/help/", IDD_ADVANCED_OPTIONS));
            Click(options, IDC_ADVANCED_BROWSE);
            return true;
        },
        [&] {
            CBrowseFolderDialog* browser = OpenBrowser();
            if (!browser)
                return false;
            wizardtest::ExpectControlHelp(browser->m_hWnd, recorder,
                                          help(kBrowseFolderHelpTopic, L"Carrowind/help/", IDD_BROWSE_FOLDER));
            Click(browser->m_hWnd, IDCANCEL);
            return true;
        },
        [&] {
            if (OpenBrowser())
                return false;
            Click(FindWindowW(L"#32770", L"Advanced Options"), IDCANCEL);
            return true;
        },
        [&] {
            if (FindWindowW(L"#32770", L"Advanced Options"))
                return false;
            PlayerRecord* player = sheet.m_confirm.GetSelectedPlayer();
            EXPECT_NE(nullptr, player);
            if (!player)
                return true;
            StepRunner inner(std::vector<StepRunner::Step>{
                [&] {
                    CBrowseFolderDialog* browser = OpenBrowser();
                    if (!browser)
                        return false;
                    for (const wizardtest::ControlHelp& c : wizardtest::ControlsOf(browser->m_hWnd, true))
                        deleteModeIds.insert(c.helpId);
                    wizardtest::ExpectControlHelp(browser->m_hWnd, recorder,
                                                  help(kBrowseFolderHelpTopic, L"Carrowind/help/", IDD_BROWSE_FOLDER));
                    Click(browser->m_hWnd, IDCANCEL);
                    return true;
                },
            });
            BrowsePlayerToFreeSpace(&sheet.m_confirm, player, L"\\Books", 1ull << 50);
            EXPECT_TRUE(inner.Done());
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ((std::set<DWORD>{0x808F0001, 0x808F0002, 0x808F0003, 0x808F0004, 0x808F0005, 0x808F0006}), deleteModeIds);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, FolderBrowser, ::testing::ValuesIn(kPlayers),
                         [](const ::testing::TestParamInfo<PlayerCase>& info) { return std::string(info.param.picture); });

// Names the player would refuse or that are all taken never reach it: a reserved name typed
// for a folder is refused before the rename (editing goes on), and when every "New Folder (n)"
// up to the last one tried is taken the user is told instead of trying for ever. Refresh and
// Show hidden read the player again.
TEST(FolderBrowserNames, RefusedAndExhaustedNamesAreToldBeforeThePlayerIsAsked)
{
    SetUpWizard();
    ScratchFolder scratch;
    FixturePlayer made(kPlayers[1], scratch);
    ASSERT_TRUE(made.made);
    for (int attempt = 1; attempt <= kMaxNewFolderNames; ++attempt)
        CreateDirectoryW(made.root + L"\\Books\\" + NewFolderName(attempt), nullptr);
    MessageBoxRecorder boxes(IDOK);

    CWizardSheet sheet(made.playlist);
    std::vector<CString> renameBoxes, createBoxes;
    CString editText;
    bool addedBeforeRefresh = true, addedAfterRefresh = false, hiddenListed = true, hiddenShown = false;
    StepRunner steps(AtConfirmPage(sheet, false, {
        [&] {
            PlayerRecord* player = sheet.m_confirm.GetSelectedPlayer();
            EXPECT_NE(nullptr, player);
            if (!player)
                return true;
            CBrowseFolderDialog browser(L"\\Books", player, kBrowseShowReadOnly, CString(), 0, &sheet.m_confirm);
            RunBrowser(browser, {
                [&] {
                    HTREEITEM books = browser.FindItem(L"\\Books");
                    browser.Tree().SelectItem(books);
                    browser.Tree().SetFocus();
                    HWND edit = TreeView_EditLabel(browser.Tree().m_hWnd, books);
                    EXPECT_NE(nullptr, edit);
                    boxes.Clear();
                    SetWindowTextW(edit, L"CON");
                    TreeView_EndEditLabelNow(browser.Tree().m_hWnd, FALSE);
                    return true;
                },
                [&] {
                    CEdit* edit = browser.Tree().GetEditControl();
                    if (!edit)
                        return false;
                    editText = edit->GetWindowText();
                    renameBoxes = Texts(boxes, 0);
                    TreeView_EndEditLabelNow(browser.Tree().m_hWnd, TRUE);
                    browser.Tree().SelectItem(browser.FindItem(L"\\Books"));
                    boxes.Clear();
                    SendMessageW(browser.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_BROWSE_NEW_FOLDER, BN_CLICKED), 0);
                    createBoxes = Texts(boxes, 0);
                    // What changed on the player meanwhile shows after Refresh; a hidden file
                    // only while hidden items are shown.
                    CreateDirectoryW(made.root + L"\\Books\\Added", nullptr);
                    testsupport::WriteAll(made.root + L"\\Books\\Notes.txt", "notes");
                    testsupport::WriteAll(made.root + L"\\Books\\Notes.txt.props", "Attributes=0x400000\n");
                    addedBeforeRefresh = browser.FindItem(L"\\Books\\Added") != nullptr;
                    SendMessageW(browser.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_BROWSE_REFRESH, 0), 0);
                    addedAfterRefresh = browser.FindItem(L"\\Books\\Added") != nullptr;
                    hiddenListed = browser.FindItem(L"\\Books\\Notes.txt") != nullptr;
                    SendMessageW(browser.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_BROWSE_SHOW_HIDDEN, 0), 0);
                    hiddenShown = browser.FindItem(L"\\Books\\Notes.txt") != nullptr;
                    Click(browser.m_hWnd, IDCANCEL);
                    return true;
                },
            });
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());

    EXPECT_EQ(std::vector<CString>{L"The name \"CON\" is reserved for a device and cannot be used on the portable "
                                   L"player. Specify a different name."},
              renameBoxes);
    EXPECT_EQ(CString(L"CON"), editText);
    EXPECT_TRUE(IsFolder(made.root + L"\\Books"));
    EXPECT_EQ(std::vector<CString>{L"Cannot create folder: \"\\Books\" already holds too many folders named \"New "
                                   L"Folder\"."},
              createBoxes);
    EXPECT_FALSE(IsFolder(made.root + L"\\Books\\" + NewFolderName(kMaxNewFolderNames + 1)));
    EXPECT_FALSE(addedBeforeRefresh);
    EXPECT_TRUE(addedAfterRefresh);
    EXPECT_FALSE(hiddenListed);
    EXPECT_TRUE(hiddenShown);
}

// Advanced Options on a device-manager player: what the user types is checked as it is typed,
// a folder the player lacks is made on request (a name the player refuses is not sent), the
// browser opens there, and OK hands folder and base name to the Confirm page.
TEST(AdvancedOptions, EditsTheFolderAndBaseNameOfTheParts)
{
    SetUpWizard();
    ScratchFolder scratch;
    FixturePlayer made(kPlayers[0], scratch);
    ASSERT_TRUE(made.made);
    MessageBoxRecorder boxes(IDYES);

    CWizardSheet sheet(made.playlist);
    HWND options = nullptr;
    auto item = [&](int id) { return ::GetDlgItem(options, id); };
    auto text = [&](int id) {
        wchar_t buffer[MAX_PATH] = {};
        ::GetDlgItemTextW(options, id, buffer, MAX_PATH);
        return CString(buffer);
    };
    CString typedFolder, typedExample, cleanedBase, chosenInBrowser;
    BOOL okWithoutBase = TRUE, okWithBase = FALSE;
    std::vector<CString> typingBoxes, refusedNameBoxes, createBoxes;
    bool refusedNameMade = true, nightMade = false;
    StepRunner steps(AtConfirmPage(sheet, true, {
        [&] {
            options = FindWindowW(L"#32770", L"Advanced Options");
            if (!options)
                return false;
            boxes.Clear();
            ::SetWindowTextW(item(IDC_ADVANCED_FOLDER), L"Books");
            typedFolder = text(IDC_ADVANCED_FOLDER);
            typedExample = text(IDC_ADVANCED_EXAMPLE);
            ::SetWindowTextW(item(IDC_ADVANCED_BASE_NAME), L"a:b");
            cleanedBase = text(IDC_ADVANCED_BASE_NAME);
            typingBoxes = Texts(boxes, 0);
            ::SetWindowTextW(item(IDC_ADVANCED_BASE_NAME), L"");
            okWithoutBase = ::IsWindowEnabled(item(IDOK));
            ::SetWindowTextW(item(IDC_ADVANCED_BASE_NAME), L"Tales");
            okWithBase = ::IsWindowEnabled(item(IDOK));
            // A reserved device name never reaches the player.
            ::SetWindowTextW(item(IDC_ADVANCED_FOLDER), L"\\Books\\CON");
            boxes.Clear();
            SendMessageW(options, WM_COMMAND, MAKEWPARAM(IDC_ADVANCED_BROWSE, BN_CLICKED), 0);
            refusedNameBoxes = Texts(boxes, 0);
            refusedNameMade = IsFolder(made.root + L"\\Books\\CON");
            ::SetWindowTextW(item(IDC_ADVANCED_FOLDER), L"\\Books\\Night");
            boxes.Clear();
            Click(options, IDC_ADVANCED_BROWSE);
            return true;
        },
        [&] {
            CBrowseFolderDialog* browser = OpenBrowser();
            if (!browser)
                return false;
            createBoxes = Texts(boxes, 0);
            nightMade = IsFolder(made.root + L"\\Books\\Night");
            chosenInBrowser = browser->Tree().GetItemText(browser->Tree().GetSelectedItem());
            Click(browser->m_hWnd, IDOK);
            return true;
        },
        [&] {
            if (OpenBrowser())
                return false;
            Click(options, IDOK);
            return true;
        },
        [&] {
            if (FindWindowW(L"#32770", L"Advanced Options"))
                return false;
            sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());

    EXPECT_EQ(CString(L"\\Books"), typedFolder);
    EXPECT_EQ(CString(L"\\Books\\Harbour-Part01.mp3"), typedExample);
    EXPECT_EQ(CString(L"ab"), cleanedBase);
    EXPECT_EQ(std::vector<CString>{L"You've entered (\"a:b\") as base file name.\nThe character (\":\") is not valid in "
                                   L"file name.\n\nCould it be (\"ab\")?"},
              typingBoxes);
    EXPECT_FALSE(okWithoutBase);
    EXPECT_TRUE(okWithBase);
    EXPECT_EQ(std::vector<CString>{L"The name \"CON\" is reserved for a device and cannot be used on the portable "
                                   L"player. Specify a different name."},
              refusedNameBoxes);
    EXPECT_FALSE(refusedNameMade);
    EXPECT_EQ(std::vector<CString>{L"Do you want to create new folder in selected player for \"\\Books\\Night\"?"},
              createBoxes);
    EXPECT_TRUE(nightMade);
    EXPECT_EQ(CString(L"Night"), chosenInBrowser);
    EXPECT_EQ(CString(L"\\Books\\Night"), sheet.m_confirm.GetFolder());
    EXPECT_EQ(CString(L"Tales"), PlayerAt(sheet.m_devices, 0)->GetBaseFileName());
}

// A Zune through the Zune device server: Advanced Options browses it from its root, and a part
// in the maker's folder is deleted after one question (the server asks nothing more).
class ZuneFolderBrowser : public ::testing::Test {
protected:
    static void SetUpTestSuite() { wizardtest::LoadZuneServer(); }
    // No player of the device manager; a Zune on USB that the server knows; the title.
    void SetUp() override
    {
        SetUpWizard();
        wizardtest::SetZuneSoftware(L"3.1");
        testsupport::WriteAll(m_scratch / L"devices.ini", "[Devices]\nCount=0\n");
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_scratch / L"devices.ini");
        wizardtest::UseUsbZune(m_scratch);
        m_playlist = wizardtest::MakeTitleFolder(m_scratch, L"Harbour", 2, L"Harbour Lights");
    }
    void TearDown() override
    {
        ReleaseZuneDevices();
        FreeUsbDeviceTable();
        wizardtest::SetZuneSoftware(nullptr);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        wizardtest::ForgetUsbZune();
    }

    CString m_playlist;
    ScratchFolder m_scratch;
};

TEST_F(ZuneFolderBrowser, DeletesAPartAfterOneQuestion)
{
    zunetest::Devices zunes({zunetest::Device(L"Microsoft Zune")});
    zunes.AddFile(L"Vesperlin\\Harbour-Part01.mp3", 4096);
    zunes.AddFile(L"Vesperlin\\Harbour-Part02.mp3", 4096);
    comtest::ServerMessageBoxes serverBoxes(L"Corvatine.dll", IDOK);
    ASSERT_TRUE(serverBoxes.Installed());
    MessageBoxRecorder boxes(IDYES);

    CWizardSheet sheet(m_playlist);
    CBrowseFolderDialog* browser = nullptr;
    BOOL folderEditable = TRUE;
    std::vector<CString> before, after, questions;
    StepRunner steps(AtConfirmPage(sheet, true, {
        [&] {
            HWND options = FindWindowW(L"#32770", L"Advanced Options");
            if (!options)
                return false;
            folderEditable = ::IsWindowEnabled(::GetDlgItem(options, IDC_ADVANCED_FOLDER));
            testsupport::CaptureWindow(options, L"Carrowind.AdvancedOptions.Zune");
            Click(options, IDC_ADVANCED_BROWSE);
            return true;
        },
        [&] {
            browser = OpenBrowser();
            if (!browser)
                return false;
            testsupport::PumpMessages(100);
            HTREEITEM maker = browser->FindItem(L"\\Vesperlin");
            EXPECT_NE(nullptr, maker);
            browser->Tree().Expand(maker, TVE_EXPAND);
            before = ChildTexts(browser->Tree(), maker);
            testsupport::CaptureWindow(browser->m_hWnd, L"Carrowind.BrowseFolder.Zune");
            browser->Tree().SelectItem(browser->FindItem(L"\\Vesperlin\\Harbour-Part01.mp3"));
            boxes.Clear();
            SendMessageW(browser->m_hWnd, WM_COMMAND, MAKEWPARAM(ID_BROWSE_DELETE, 0), 0);
            return true;
        },
        [&] {
            questions = Texts(boxes, 0);
            after = ChildTexts(browser->Tree(), browser->FindItem(L"\\Vesperlin"));
            Click(browser->m_hWnd, IDCANCEL);
            return true;
        },
    }, ClosingSteps(sheet)));
    sheet.DoModal();
    EXPECT_TRUE(steps.Done());

    EXPECT_FALSE(folderEditable);
    EXPECT_EQ((std::vector<CString>{L"Harbour-Part01.mp3 (4 KB)", L"Harbour-Part02.mp3 (4 KB)"}), before);
    EXPECT_EQ(std::vector<CString>{L"Are you sure you want to delete \"Harbour-Part01.mp3\"?"}, questions);
    EXPECT_TRUE(serverBoxes.Boxes().empty());
    EXPECT_EQ(std::vector<CString>{L"Harbour-Part02.mp3 (4 KB)"}, after);
    EXPECT_FALSE(zunetest::Exists(zunes.Storage(L"Vesperlin\\Harbour-Part01.mp3")));
    EXPECT_TRUE(zunetest::Exists(zunes.Storage(L"Vesperlin\\Harbour-Part02.mp3")));
}

// A Zune that is gone when its folders are asked for: the user is told and the wizard ends.
TEST_F(ZuneFolderBrowser, AZuneThatLostItsConnectionEndsTheWizard)
{
    zunetest::Devices zunes({zunetest::Device(L"Microsoft Zune")});
    comtest::ServerMessageBoxes serverBoxes(L"Corvatine.dll", IDCANCEL);
    ASSERT_TRUE(serverBoxes.Installed());
    MessageBoxRecorder boxes(IDOK);

    CWizardSheet sheet(m_playlist);
    std::vector<CString> told;
    StepRunner steps(AtConfirmPage(sheet, true, {
        [&] {
            HWND options = FindWindowW(L"#32770", L"Advanced Options");
            if (!options)
                return false;
            // The wizard no longer holds the Zune.
            ReleaseZuneDevices();
            boxes.Clear();
            Click(options, IDC_ADVANCED_BROWSE);
            return true;
        },
        [&] {
            // Only reached when the wizard did not end.
            if (CBrowseFolderDialog* browser = OpenBrowser()) {
                ADD_FAILURE() << "the browser opened on a Zune that is gone";
                Click(browser->m_hWnd, IDCANCEL);
            }
            if (HWND options = FindWindowW(L"#32770", L"Advanced Options"))
                Click(options, IDCANCEL);
            if (sheet.m_hWnd)
                sheet.PressButton(PSBTN_CANCEL);
            return true;
        },
    }));
    const INT_PTR result = sheet.DoModal();
    EXPECT_EQ(kAdvancedOptionsZuneLost, result);
    told = Texts(boxes, 0);
    EXPECT_EQ(std::vector<CString>{L"The selected Zune device ('Microsoft Zune') has lost its connection.\n\nThis "
                                   L"process will be aborted. Please connect your Zune device and try again."},
              told);
    EXPECT_EQ(nullptr, OpenBrowser());
}

}  // namespace
