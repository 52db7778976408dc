// The console's windows under a real display: the main frame on a fixture library (tree
// nodes, the list in every mode, header sorting, selections kept across refills, new and
// renamed collections, the layout stored on close, closing with downloads queued, keyboard
// commands and command states), the splash, the suppressible message, the message-box
// and help rules, and the hand-over messages within one process.
#include "AxHost.h"
#include "BrenvaleApp.h"
#include "BrenvaleListView.h"
#include "ConsoleTestSupport.h"
#include "BrenvaleTreeView.h"
#include "ConsoleSettings.h"
#include "CredentialScrambler.h"
#include "FileUtils.h"
#include "GameTitles.h"
#include "InstalledConsole.h"
#include "LibraryTestSupport.h"
#include "MainFrm.h"
#include "MediaFixtures.h"
#include "MediaMarkers.h"
#include "Mp4Fixtures.h"
#include "MediaExplorerDialog.h"
#include "OtherProcessWindows.h"
#include "ProgramTestSupport.h"
#include "RegistryKey.h"
#include "SplashWnd.h"
#include "SuppressibleMessageDlg.h"
#include "TestDrive.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"
#include "ZuneFixtures.h"
#include "ZuneTestSupport.h"
#include "iTunesTestSupport.h"
#include "ComTestSupport.h"
#include "res/BrenvaleIds.h"
#include "res/ConsoleDialogIds.h"
#include "res/ConsoleIds.h"

#include <gtest/gtest.h>

#include <vector>

#include <mshtmdid.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

using namespace librarytest;
using testsupport::MessageBoxRecorder;
using testsupport::RunMessages;
using testsupport::ScratchFolder;

namespace {

constexpr const wchar_t* kTestAppName = L"Vesperlin Brenvale Console Tests";
constexpr const wchar_t* kProfileKey = L"Software\\Vesperlin, Inc.\\Vesperlin Brenvale Console Tests";

// The library document of the tests: the usual one, in a folder of the test's own.
class FixtureLibrary : public CBrenvaleDoc {
    DECLARE_DYNCREATE(FixtureLibrary)
public:
    FixtureLibrary() { SetDataFolder(Folder()); }
    static CString& Folder()
    {
        static CString folder;
        return folder;
    }
};
IMPLEMENT_DYNCREATE(FixtureLibrary, CBrenvaleDoc)


void PressKey(HWND target, UINT key, bool control = false)
{
    // The key's state as GetKeyState reports it is not needed: accelerators read the message.
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    if (control)
        keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(target, WM_KEYDOWN, key, 1);
    RunMessages(50);
    PostMessageW(target, WM_KEYUP, key, 0xC0000001);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    RunMessages(50);
}

CMediaObject* FixtureTitle(const wchar_t* id, const wchar_t* title, const wchar_t* sourceId,
                           std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> creators,
                           const wchar_t* language, const wchar_t* duration)
{
    CMediaObject* t = MakeTitle(id, sourceId, 1);
    CMetadataObject& m = t->GetMetadata();
    m.SetTitle(title);
    m.SetSortTitle(title);
    m.SetSubTitle(L"");
    for (INT_PTR i = 0; i < m.m_creators.GetSize(); ++i)
        delete m.m_creators[i];
    m.m_creators.RemoveAll();
    for (const auto& [name, role] : creators) {
        auto* creator = new CCreatorObject;
        creator->SetName(name);
        creator->SetFileAs(name);
        creator->SetRole(role);
        m.AddCreator(creator);
    }
    static_cast<CLanguageObject*>(m.m_languages[0])->m_name = language;
    t->GetPart(0)->SetDuration(duration);
    return t;
}

class Console : public ConsoleFixture<> {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
        FixtureLibrary::Folder() = m_scratch.Path();
        TestLibrary library(m_scratch.Path());
        library.AddSource(MakeSource(L"s1", L"First Source"));
        library.AddSource(MakeSource(L"s2", L"Second Source"));
        library.AddTitleToLibrary(FixtureTitle(L"t1", L"Autumn Light", L"s1", {{L"Ann Ames", L"Author"}}, L"English",
                                               L"2:10:00"));
        library.AddTitleToLibrary(FixtureTitle(L"t2", L"Brass Harbour", L"s2", {{L"Bo Bell", L"Author"}}, L"French",
                                               L"45:00"));
        library.AddTitleToLibrary(FixtureTitle(L"t3", L"Cinder Road", L"s1",
                                               {{L"Ann Ames", L"Author"}, {L"Cy Cole", L"Narrator"}}, L"English",
                                               L"1:05:00"));
        library.AddCollection(MakeCollection(L"Favourites", {L"t1"}));
        ASSERT_TRUE(library.SaveLibrary());
    }

    void TearDown() override
    {
        Stop();
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
    }

    void Start() { StartConsole(kTestAppName, RUNTIME_CLASS(FixtureLibrary), 1000, 680); }
    void Stop() { StopConsole(0); }

    // Title t1 with its first part downloaded into media, the wizards looked for in programs
    // (the build's program folder for the real wizards, as installed).
    CMediaObject* TitleForTheWizards(const CString& programs, const ScratchFolder& media)
    {
        m_frame->SetWizardFolder(programs);
        CMediaObject* title = Library()->FindTitle(L"t1");
        title->SetDownloadFolder(media.Path());
        const CString part = title->GetPart(0)->GetFilePath(title);
        EXPECT_TRUE(CreateParentFolder(part));
        testsupport::WriteAll(part, std::string("audio"));
        return title;
    }
    // The title's parts up to three (named "Part n"), and its picture beside its playlist (the
    // album's cover, an MP3 title's side file, each iPod track's artwork); returns the picture.
    static CString ThreePartsWithAPicture(CMediaObject* title)
    {
        for (int n = static_cast<int>(title->m_parts.GetSize()) + 1; n <= 3; ++n) {
            auto* part = new CPartObject;
            part->m_number = n;
            part->m_fileSize = 1000;
            part->m_name.Format(L"Part %d", n);
            title->AddPart(part);
        }
        const CString playlist = title->GetPlaylistPath();
        const CString picture = playlist.Left(playlist.GetLength() - 4) + L".jpg";
        EXPECT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -f lavfi -i color=c=0x3366aa:s=64x48 -frames:v 1 " +
                                                 testsupport::ShellQuoted(picture)));
        return picture;
    }

    // The other process's window of that caption (null after 30 seconds), the console's messages
    // running meanwhile; *wizard gets its process id.
    HWND WaitForWizardWindow(const wchar_t* caption, DWORD* wizard)
    {
        HWND found = nullptr;
        for (int i = 0; i < 600 && !found; ++i) {
            found = testsupport::FindOtherProcessWindow(caption, wizard);
            if (!found)
                RunMessages(50);
        }
        return found;
    }

    // The wizard Transfer started, taken past its Welcome page to the Confirm page once its
    // buttons are back; its sheet (null when a page did not come) and process id.
    HWND WizardAtConfirm(DWORD* wizard)
    {
        const HWND sheet = WaitForWizardWindow(L"Vesperlin Carrowind - Welcome", wizard);
        if (!sheet)
            return nullptr;
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        if (!WaitForWizardWindow(L"Vesperlin Carrowind - Confirm", wizard))
            return nullptr;
        for (int i = 0; i < 200 && !IsWindowEnabled(GetDlgItem(sheet, 0x3024)); ++i)
            RunMessages(50);
        RunMessages(200);
        return sheet;
    }

    // The tree as "text(kind)" lines, indented by depth.
    std::string TreeText() const
    {
        const CTreeCtrl& tree = Tree()->GetTreeCtrl();
        std::string text;
        std::function<void(HTREEITEM, int)> walk = [&](HTREEITEM node, int depth) {
            for (; node; node = tree.GetNextSiblingItem(node)) {
                text += std::string(static_cast<size_t>(depth) * 2, ' ') + tree.GetItemText(node).ToNarrow() + "(" +
                        std::to_string(tree.GetItemData(node)) + ")\n";
                walk(tree.GetChildItem(node), depth + 1);
            }
        };
        walk(tree.GetRootItem(), 0);
        return text;
    }

    std::string Rows() const
    {
        const CListCtrl& list = List()->GetListCtrl();
        std::string rows;
        for (int i = 0; i < list.GetItemCount(); ++i)
            rows += (rows.empty() ? "" : "|") + list.GetItemText(i, 0).ToNarrow();
        return rows;
    }

    std::string SelectedIds() const
    {
        std::string ids;
        for (CMediaObject* title : List()->GetSelectedTitles())
            ids += title->m_mediaId.ToNarrow();
        return ids;
    }

    void Select(int kind, const wchar_t* text)
    {
        ASSERT_TRUE(Tree()->SelectNode(kind, text)) << CString(text).ToNarrow();
        RunMessages(20);
    }

    void SelectRows(std::initializer_list<int> rows)
    {
        CListCtrl& list = List()->GetListCtrl();
        list.SetItemState(-1, 0, LVIS_SELECTED);
        for (int row : rows)
            list.SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
    }

    int Setting(const wchar_t* name) const
    {
        return static_cast<int>(m_app->GetProfileInt(L"Settings", name, -12345));
    }

    CBrenvaleTreeView* Tree() const { return m_frame->GetTreeView(); }
    CBrenvaleListView* List() const { return m_frame->GetListView(); }
    CBrenvaleDoc* Library() const { return m_frame->GetLibrary(); }

    ScratchFolder m_scratch;
    MessageBoxRecorder m_boxes{IDNO};
};

TEST_F(Console, ShowsGroupsOnlyWithMoreThanOneEntryAndTheListInEveryMode)
{
    Start();
    // One subject only: no subject group. Two creators (listed roles), languages and sources.
    EXPECT_EQ(TreeText(),
              "Media Library(1)\n"
              "  View All Media(2)\n"
              "  My Collections(5)\n"
              "    Favourites(4)\n"
              "  Group by Creator(9)\n"
              "    Ann Ames(8)\n"
              "    Bo Bell(8)\n"
              "    Cy Cole(8)\n"
              "  Group by Language(33)\n"
              "    English(32)\n"
              "    French(32)\n"
              "  Group by Source(129)\n"
              "    First Source(128)\n"
              "    Second Source(128)\n");
    EXPECT_EQ(Tree()->GetSelectedKind(), kNodeAllTitles);
    EXPECT_EQ(Rows(), "Autumn Light|Brass Harbour|Cinder Road");
    EXPECT_EQ(SelectedIds(), "t1");  // the first row when nothing was selected

    const struct {
        UINT id;
        DWORD type;
        bool ownerDrawn;
        int smallSize;
    } modes[] = {
        {ID_VIEW_THUMBNAILS, LVS_ICON, false, 16}, {ID_VIEW_TILES, LVS_LIST, false, 48},
        {ID_VIEW_ICONS, LVS_ICON, false, 16},      {ID_VIEW_LIST, LVS_LIST, false, 16},
        {ID_VIEW_DETAILS, LVS_REPORT, false, 16},  {ID_VIEW_CONSOLE, LVS_REPORT, true, 96},
    };
    for (const auto& mode : modes) {
        m_frame->SendMessage(WM_COMMAND, mode.id);
        RunMessages(20);
        CListCtrl& list = List()->GetListCtrl();
        const DWORD style = list.GetStyle();
        EXPECT_EQ(style & LVS_TYPEMASK, mode.type) << mode.id;
        EXPECT_EQ((style & LVS_OWNERDRAWFIXED) != 0, mode.ownerDrawn) << mode.id;
        int cx = 0, cy = 0;
        ImageList_GetIconSize(list.GetImageList(LVSIL_SMALL), &cx, &cy);
        EXPECT_EQ(cx, mode.smallSize) << mode.id;
        EXPECT_EQ(list.GetItemCount(), 3) << mode.id;
        EXPECT_EQ(Setting(L"LastViewID"), static_cast<int>(mode.id));
        if (mode.id == ID_VIEW_DETAILS) {
            EXPECT_EQ(list.GetItemText(2, kColumnCreator1), L"Ann Ames");
            EXPECT_EQ(list.GetItemText(2, kColumnCreator2), L"Narrator: Cy Cole");
            EXPECT_EQ(list.GetItemText(2, kColumnSource), L"First Source");
            EXPECT_EQ(list.GetItemText(2, kColumnDuration), L"1:05:00");
            EXPECT_EQ(list.GetItemText(0, kColumnLastPlayed), L"never");
            testsupport::CaptureWindow(m_hwnd, L"Console.Frame.DetailsMode");
        }
    }
    // Console rows are tall and drawn by the view.
    RECT row{};
    List()->GetListCtrl().GetItemRect(0, &row, LVIR_BOUNDS);
    EXPECT_EQ(row.bottom - row.top, 116);
    testsupport::CaptureWindow(m_hwnd, L"Console.Frame.ConsoleMode");

    // A group lists its children's names.
    Select(kNodeCreators, L"Group by Creator");
    EXPECT_EQ(Rows(), "Ann Ames|Bo Bell|Cy Cole");
    Select(kNodeCreator, L"Ann Ames");
    EXPECT_EQ(Rows(), "Autumn Light|Cinder Road");
}

TEST_F(Console, ThumbnailsArriveWhileTheProgramIsIdleAfterTheFrameIsShown)
{
    Start();
    const CMediaObject* brass = m_frame->GetLibrary()->FindTitle(L"t2");
    ASSERT_NE(brass, nullptr);
    const CString thumbnail = brass->GetThumbnailPath(FixtureLibrary::Folder(), FALSE);
    Stop();
    ASSERT_TRUE(CreateParentFolder(thumbnail));
    ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -f lavfi -i color=c=0x8b2f3a:s=200x200 -frames:v 1 " +
                                             testsupport::ShellQuoted(thumbnail)));

    Start();
    auto rowPicture = [&](const wchar_t* id) {
        CListCtrl& list = List()->GetListCtrl();
        for (int row = 0; row < list.GetItemCount(); ++row) {
            const auto* title = reinterpret_cast<const CMediaObject*>(list.GetItemData(row));
            if (title && title->m_mediaId == id) {
                LVITEMW item{};
                item.mask = LVIF_IMAGE;
                item.iItem = row;
                list.SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
                return item.iImage;
            }
        }
        return -1;
    };
    // The load decodes nothing: the frame shows the placeholder until the program is idle.
    EXPECT_EQ(rowPicture(L"t2"), DefaultTitlePicture);
    for (LONG turn = 0; turn < 10 && m_frame->GetLibrary()->GetPendingPictureCount() > 0; ++turn)
        m_app->OnIdle(turn);
    EXPECT_EQ(m_frame->GetLibrary()->GetPendingPictureCount(), 0);
    EXPECT_NE(rowPicture(L"t2"), DefaultTitlePicture);
    EXPECT_EQ(rowPicture(L"t1"), DefaultTitlePicture) << "a title without a thumbnail keeps the placeholder";
}

// A library larger than the window, every title with a thumbnail.
class ConsolePictures : public Console {
protected:
    static constexpr int kTitles = 150;
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
        FixtureLibrary::Folder() = m_scratch.Path();
        TestLibrary library(m_scratch.Path());
        library.AddSource(MakeSource(L"s1", L"First Source"));
        for (int n = 0; n < kTitles; ++n) {
            CString id, name;
            id.Format(L"p%03d", n);
            name.Format(L"Picture Title %03d", n);
            CMediaObject* title = FixtureTitle(id, name, L"s1", {{L"Ann Ames", L"Author"}}, L"English", L"10:00");
            title->SetDownloadFolder(m_scratch.Path());
            title->SetTitleFolder(L"Pictures");
            title->GetMetadata().SetThumbnailUrl(L"http://img.test/p.bmp");
            library.AddTitleToLibrary(title);
            if (n == 0) {
                CreateParentFolder(title->GetThumbnailPath(m_scratch.Path(), FALSE));
                WriteBitmap(title->GetThumbnailPath(m_scratch.Path(), FALSE), 60, 40);
            }
        }
        ASSERT_TRUE(library.SaveLibrary());
    }

    int RowPicture(int row)
    {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        List()->GetListCtrl().SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iImage;
    }
};

TEST_F(ConsolePictures, TheRowsOnScreenGetTheirPicturesFirstAndPicturesArriveUnderADialog)
{
    Start();
    CBrenvaleDoc* library = m_frame->GetLibrary();
    ASSERT_EQ(library->GetPendingPictureCount(), kTitles);
    m_frame->SendMessage(WM_COMMAND, ID_VIEW_DETAILS);
    CListCtrl& list = List()->GetListCtrl();
    ASSERT_EQ(list.GetItemCount(), kTitles);
    list.EnsureVisible(kTitles - 1, FALSE);
    RunMessages(50);
    const std::vector<const CMediaObject*> onScreen = List()->GetTitlesOnScreen();
    ASSERT_FALSE(onScreen.empty());
    ASSERT_LT(onScreen.size(), static_cast<size_t>(kTitles / 2));
    const int top = static_cast<int>(list.SendMessage(LVM_GETTOPINDEX));
    ASSERT_GT(top, 0) << "the list is scrolled to its end";

    // As many turns as the rows on screen need: those rows have their pictures, the top of
    // the library (off screen) still waits.
    const size_t turns = (onScreen.size() + 7) / 8;
    for (size_t turn = 0; turn < turns; ++turn)
        m_frame->FillPicturesTurn();
    for (const CMediaObject* title : onScreen)
        EXPECT_NE(title->GetPictureIndex(), DefaultTitlePicture) << title->m_mediaId.ToNarrow();
    EXPECT_NE(RowPicture(kTitles - 1), DefaultTitlePicture);
    // The last turn's spare places went to the head of the library, no further.
    EXPECT_EQ(RowPicture(8), DefaultTitlePicture);
    testsupport::CaptureWindow(m_hwnd, L"Console.Pictures.OnScreenFirst");

    // While a dialog has the frame disabled no idle turn runs; the timer goes on filling.
    const INT_PTR waiting = library->GetPendingPictureCount();
    ASSERT_GT(waiting, 0);
    EnableWindow(m_hwnd, FALSE);
    const DWORD start = GetTickCount();
    while (library->GetPendingPictureCount() > 0 && GetTickCount() - start < 20000)
        RunMessages(20);
    EnableWindow(m_hwnd, TRUE);
    EXPECT_EQ(library->GetPendingPictureCount(), 0);
    EXPECT_NE(RowPicture(0), DefaultTitlePicture);
}

// --- Titles in other scripts ---

constexpr const wchar_t* kSystemLinkKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink";
// The faces the console draws with, each linked to a font that covers CJK scripts.
constexpr const wchar_t* kLinkedFaces[] = {L"Tahoma", L"MS Shell Dlg", L"MS Shell Dlg 2", L"Microsoft Sans Serif", L"Segoe UI", L"Arial"};
constexpr wchar_t kCjkLink[] = L"wqy-microhei.ttc,WenQuanYi Micro Hei\0";

// Whether two characters are drawn differently in the font (a missing glyph draws the
// same box for both).
bool DrawnApart(HFONT font, wchar_t a, wchar_t b)
{
    HDC dc = CreateCompatibleDC(nullptr);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 48;
    info.bmiHeader.biHeight = -48;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
    HGDIOBJ oldFont = SelectObject(dc, font);
    auto draw = [&](wchar_t c) {
        RECT all{0, 0, 48, 48};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        TextOutW(dc, 4, 4, &c, 1);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        return std::vector<DWORD>(pixels, pixels + 48 * 48);
    };
    const bool apart = draw(a) != draw(b);
    SelectObject(dc, oldFont);
    SelectObject(dc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return apart;
}

// Runs in a process of its own, started by the test below once the prefix links the
// console's faces to a font with CJK glyphs (fonts are linked when a process starts).
TEST_F(Console, DISABLED_ATitleInJapaneseIsDrawnInItsOwnScript)
{
    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    library.AddTitleToLibrary(FixtureTitle(L"t9", L"\u543E\u8F29\u306F\u732B\u3067\u3042\u308B", L"s1",
                                           {{L"\u590F\u76EE \u6F31\u77F3", L"Author"}}, L"\u65E5\u672C\u8A9E",
                                           L"9:30:00"));
    ASSERT_TRUE(library.SaveLibrary());
    Start();
    for (UINT mode : {ID_VIEW_DETAILS, ID_VIEW_CONSOLE}) {
        m_frame->SendMessage(WM_COMMAND, mode);
        RunMessages(100);
        testsupport::CaptureWindow(m_hwnd, mode == ID_VIEW_DETAILS ? L"Console.JapaneseTitle.Details"
                                                                   : L"Console.JapaneseTitle.Console");
    }
    const HFONT listFont = reinterpret_cast<HFONT>(List()->GetListCtrl().SendMessage(WM_GETFONT));
    ASSERT_NE(listFont, nullptr);
    LOGFONTW face{};
    GetObjectW(listFont, sizeof face, &face);
    EXPECT_TRUE(DrawnApart(listFont, L'\u543E', L'\u732B')) << "the list's font draws kanji: " << CString(face.lfFaceName).ToNarrow();
    EXPECT_TRUE(DrawnApart(listFont, L'\u306F', L'\u3042')) << "... and kana";
    wcscpy_s(face.lfFaceName, L"Segoe UI");  // the Console mode's title font
    HFONT titleFont = CreateFontIndirectW(&face);
    EXPECT_TRUE(DrawnApart(titleFont, L'\u543E', L'\u732B'));
    DeleteObject(titleFont);
}

TEST(ConsoleScripts, ATitleInJapaneseIsReadableWhereTheFacesAreLinkedToACjkFont)
{
    if (GetFileAttributesW(L"Z:\\usr\\share\\fonts\\truetype\\wqy\\wqy-microhei.ttc") == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "no font with CJK glyphs on this machine (fonts-wqy-microhei)";
    // The prefix links the faces to the CJK font first (each value put back as it was after).
    CRegistryKey links;
    ASSERT_EQ(links.Create(HKEY_LOCAL_MACHINE, kSystemLinkKey, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    std::vector<std::pair<const wchar_t*, std::wstring>> previous;  // empty: there was none
    for (const wchar_t* face : kLinkedFaces) {
        DWORD type = 0, bytes = 0;
        std::wstring old;
        if (RegQueryValueExW(links, face, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS && type == REG_MULTI_SZ) {
            old.resize(bytes / sizeof(wchar_t));
            RegQueryValueExW(links, face, nullptr, nullptr, reinterpret_cast<BYTE*>(old.data()), &bytes);
        }
        previous.emplace_back(face, old);
        std::wstring linked(kCjkLink, sizeof kCjkLink / sizeof(wchar_t) - 1);  // one entry and its NUL
        linked += old.empty() ? std::wstring(1, L'\0') : old;
        ASSERT_EQ(RegSetValueExW(links, face, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(linked.data()),
                                 static_cast<DWORD>(linked.size() * sizeof(wchar_t))),
                  ERROR_SUCCESS);
    }
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) +
                               L"\" --gtest_also_run_disabled_tests --gtest_filter=Console.DISABLED_ATitleInJapaneseIsDrawnInItsOwnScript";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 120000), WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(code, 0u) << "the run in its own process failed (its output is above)";
    for (const auto& [face, old] : previous) {
        if (old.empty())
            RegDeleteValueW(links, face);
        else
            RegSetValueExW(links, face, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(old.data()),
                           static_cast<DWORD>(old.size() * sizeof(wchar_t)));
    }
}

TEST_F(Console, HeaderClickSortsAndTheSameColumnAgainTogglesTheDirection)
{
    Start();
    m_frame->SendMessage(WM_COMMAND, ID_VIEW_DETAILS);
    RunMessages(20);
    CHeaderCtrl* header = List()->GetListCtrl().GetHeaderCtrl();
    ASSERT_NE(header, nullptr);
    auto click = [&](int column) {
        RECT rect{};
        ASSERT_TRUE(header->GetItemRect(column, &rect));
        const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        PostMessageW(header->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(header->m_hWnd, WM_LBUTTONUP, 0, at);
        RunMessages(100);
    };
    auto sortPicture = [&](int column) {
        LVCOLUMNW info{};
        info.mask = LVCF_FMT | LVCF_IMAGE;
        List()->GetListCtrl().GetColumn(column, &info);
        return (info.fmt & LVCFMT_IMAGE) ? info.iImage : -1;
    };
    click(kColumnDuration);
    EXPECT_EQ(Rows(), "Brass Harbour|Cinder Road|Autumn Light");
    EXPECT_EQ(sortPicture(kColumnDuration), 21);
    EXPECT_EQ(sortPicture(kColumnTitle), -1);
    EXPECT_EQ(Setting(L"LastSortColumnIndex"), kColumnDuration);
    EXPECT_EQ(Setting(L"LastSortOrderAsc"), 1);
    click(kColumnDuration);
    EXPECT_EQ(Rows(), "Autumn Light|Cinder Road|Brass Harbour");
    EXPECT_EQ(sortPicture(kColumnDuration), 22);
    EXPECT_EQ(Setting(L"LastSortOrderAsc"), 0);
    // A new column starts ascending; the sort command toggles the same way.
    click(kColumnTitle);
    EXPECT_EQ(Rows(), "Autumn Light|Brass Harbour|Cinder Road");
    m_frame->SendMessage(WM_COMMAND, ID_SORT_TITLE);
    EXPECT_EQ(Rows(), "Cinder Road|Brass Harbour|Autumn Light");

    // Dragging the divider after Creator 2 stores its width; a new start uses it.
    RECT rect{};
    ASSERT_TRUE(header->GetItemRect(kColumnCreator2, &rect));
    const int y = (rect.top + rect.bottom) / 2;
    PostMessageW(header->m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(rect.right - 1, y));
    PostMessageW(header->m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(rect.right + 39, y));
    PostMessageW(header->m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(rect.right + 39, y));
    RunMessages(100);
    const int stored = Setting(L"MultiColumn3Width");
    EXPECT_EQ(stored, List()->GetListCtrl().GetColumnWidth(kColumnCreator2));
    EXPECT_GT(stored, 90);
    Stop();
    Start();
    EXPECT_EQ(List()->GetViewMode(), static_cast<UINT>(ID_VIEW_DETAILS));
    EXPECT_EQ(List()->GetListCtrl().GetColumnWidth(kColumnCreator2), stored);
    EXPECT_EQ(List()->GetSortColumn(), kColumnTitle);
    EXPECT_FALSE(List()->GetSortAscending());
    m_frame->SendMessage(WM_COMMAND, ID_VIEW_CONSOLE);  // Console columns: 75 each
    EXPECT_EQ(List()->GetListCtrl().GetColumnWidth(kColumnCreator2), 75);
}

TEST_F(Console, RefillsKeepTheSelectionAlsoWhenTheListViewSentTheUpdate)
{
    Start();
    SelectRows({1, 2});
    Library()->UpdateAllViews(nullptr);
    EXPECT_EQ(SelectedIds(), "t2t3");
    // An update sent by the list view refills the tree: its own deletions must not move
    // the selection to another node, and the list keeps its rows.
    Library()->UpdateAllViews(List());
    EXPECT_EQ(Tree()->GetSelectedKind(), kNodeAllTitles);
    EXPECT_EQ(SelectedIds(), "t2t3");
    Select(kNodeCollection, L"Favourites");
    Library()->UpdateAllViews(List());
    EXPECT_EQ(Tree()->GetSelectedKind(), kNodeCollection);
    EXPECT_EQ(Tree()->GetSelectedText(), L"Favourites");
    EXPECT_EQ(Rows(), "Autumn Light");
    // A node that is gone after a refill: "View All Media".
    Library()->GetCollections().RemoveAll();  // the record is the library's; it goes below
    Library()->UpdateAllViews(nullptr);
    EXPECT_EQ(Tree()->GetSelectedKind(), kNodeAllTitles);
    EXPECT_EQ(Rows(), "Autumn Light|Brass Harbour|Cinder Road");
}

TEST_F(Console, NewCollectionsAreNumberedAndTheTwentyFirstIsRefused)
{
    Start();
    auto newCollection = [&] {
        m_frame->SendMessage(WM_COMMAND, ID_COLLECTION_NEW);
        RunMessages(10);
        TreeView_EndEditLabelNow(Tree()->GetTreeCtrl().m_hWnd, TRUE);  // the name is kept
        RunMessages(10);
    };
    newCollection();
    EXPECT_EQ(Tree()->GetSelectedText(), L"New Collection");
    EXPECT_EQ(Tree()->GetSelectedKind(), kNodeCollection);
    newCollection();
    EXPECT_EQ(Tree()->GetSelectedText(), L"New Collection (2)");
    while (Library()->GetCollections().GetSize() < 20)
        newCollection();
    for (const auto& box : m_boxes.Boxes())
        ADD_FAILURE() << box.text.ToNarrow();
    newCollection();
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              L"You already have the maximum number of collections (20) created.  Please delete one or more "
              L"collections before trying to add a new collection.");
    EXPECT_EQ(Library()->GetCollections().GetSize(), 20);
    int nodes = 0;
    const CTreeCtrl& tree = Tree()->GetTreeCtrl();
    for (HTREEITEM n = tree.GetChildItem(Tree()->GetCollectionsNode()); n; n = tree.GetNextSiblingItem(n))
        ++nodes;
    EXPECT_EQ(nodes, 20);
    // Saved at once: a new start shows them.
    Stop();
    Start();
    EXPECT_EQ(Library()->GetCollections().GetSize(), 20);
    EXPECT_NE(Library()->FindCollection(L"New Collection (19)"), nullptr);
}

TEST_F(Console, RenamingToAnExactDuplicateIsRefusedFromTheKeyboard)
{
    Start();
    m_frame->SendMessage(WM_COMMAND, ID_COLLECTION_NEW);
    RunMessages(10);
    HWND edit = TreeView_GetEditControl(Tree()->GetTreeCtrl().m_hWnd);
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"Jazz");
    TreeView_EndEditLabelNow(Tree()->GetTreeCtrl().m_hWnd, FALSE);
    RunMessages(10);
    ASSERT_NE(Library()->FindCollection(L"Jazz"), nullptr);
    EXPECT_EQ(Tree()->GetSelectedText(), L"Jazz");

    // F2 starts renaming (the accelerator); the frame's keys are off while the box is open.
    PressKey(Tree()->m_hWnd, VK_F2);
    edit = TreeView_GetEditControl(Tree()->GetTreeCtrl().m_hWnd);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(m_frame->m_hAccelTable, nullptr);
    SetWindowTextW(edit, L"Favourites");
    TreeView_EndEditLabelNow(Tree()->GetTreeCtrl().m_hWnd, FALSE);
    RunMessages(10);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, L"The specified collection name already exists.");
    EXPECT_NE(m_frame->m_hAccelTable, nullptr);
    EXPECT_NE(Library()->FindCollection(L"Jazz"), nullptr);
    EXPECT_NE(Tree()->FindCollectionNode(L"Jazz"), nullptr);

    // Another case is another name.
    Tree()->EditSelectedCollection();
    edit = TreeView_GetEditControl(Tree()->GetTreeCtrl().m_hWnd);
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"favourites");
    TreeView_EndEditLabelNow(Tree()->GetTreeCtrl().m_hWnd, FALSE);
    RunMessages(10);
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_NE(Library()->FindCollection(L"favourites"), nullptr);
    EXPECT_EQ(Library()->FindCollection(L"Jazz"), nullptr);
    EXPECT_EQ(Tree()->GetSelectedText(), L"favourites");

    // In "My Collections" the list renames, and the tree's node follows.
    Select(kNodeCollections, L"My Collections");
    EXPECT_EQ(Rows(), "Favourites|favourites");  // the tree's order until its next refill
    SelectRows({0});
    m_frame->SendMessage(WM_COMMAND, ID_COLLECTION_RENAME);
    edit = ListView_GetEditControl(List()->m_hWnd);
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"favourites");  // exactly the other one's name
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    RunMessages(20);
    EXPECT_EQ(m_boxes.Boxes().size(), 2u);
    SelectRows({0});
    m_frame->SendMessage(WM_COMMAND, ID_COLLECTION_RENAME);
    edit = ListView_GetEditControl(List()->m_hWnd);
    ASSERT_NE(edit, nullptr);
    SetWindowTextW(edit, L"Evening");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    RunMessages(20);
    EXPECT_EQ(m_boxes.Boxes().size(), 2u);
    EXPECT_NE(Library()->FindCollection(L"Evening"), nullptr);
    EXPECT_NE(Tree()->FindCollectionNode(L"Evening"), nullptr);
    EXPECT_EQ(Tree()->FindCollectionNode(L"Favourites"), nullptr);
}

TEST_F(Console, StoresTheLayoutOnCloseAndRestoresItAtTheNextStart)
{
    Start();
    auto* splitter = static_cast<CSplitterWnd*>(CWnd::FromHandlePermanent(GetDlgItem(m_hwnd, AFX_IDW_PANE_FIRST)));
    ASSERT_NE(splitter, nullptr);
    int width = 0, minimum = 0;
    splitter->GetColumnInfo(0, width, minimum);
    EXPECT_EQ(width, 200);
    splitter->SetColumnInfo(0, 260, 0);
    splitter->RecalcLayout();
    m_frame->SendMessage(WM_COMMAND, ID_VIEW_STATUS_BAR_CMD);
    Select(kNodeCollection, L"Favourites");
    EXPECT_EQ(Setting(L"LastTreeWidth"), -12345);  // nothing before closing
    Stop();
    m_console.app = std::make_unique<CBrenvaleApp>(kTestAppName);
    m_app = m_console.app.get();
    m_app->SetRegistryKey(IDS_COMPANY_KEY);
    EXPECT_EQ(Setting(L"LastTreeWidth"), 260);
    EXPECT_EQ(Setting(L"LastToolbarViewState"), 1);
    EXPECT_EQ(Setting(L"LastStatusBarViewState"), 0);
    EXPECT_EQ(Setting(L"LastTreeType"), kNodeCollection);
    EXPECT_EQ(m_app->GetProfileString(L"Settings", L"LastTreeText"), L"Favourites");
    m_console.app.reset();
    m_app = nullptr;

    Start();
    splitter = static_cast<CSplitterWnd*>(CWnd::FromHandlePermanent(GetDlgItem(m_hwnd, AFX_IDW_PANE_FIRST)));
    splitter->GetColumnInfo(0, width, minimum);
    EXPECT_EQ(width, 260);
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(m_hwnd, AFX_IDW_STATUS_BAR)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(m_hwnd, AFX_IDW_TOOLBAR)));
    EXPECT_EQ(Tree()->GetSelectedKind(), kNodeCollection);
    EXPECT_EQ(Rows(), "Autumn Light");
}

TEST_F(Console, ClosingWithDownloadsQueuedAsksAndNoKeepsTheWindow)
{
    Start();
    auto* job = new CDownloadJob(nullptr, nullptr);
    job->m_strTitleId = L"t2";
    m_frame->GetDownloadQueue().Add(job);
    m_boxes.SetAnswer(IDNO);
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, L"You are currently downloading one or more parts.  Are you sure you want to "
                                       L"exit Vesperlin for Windows?");
    EXPECT_EQ(m_boxes.Boxes()[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    EXPECT_EQ(m_boxes.Boxes()[0].type & MB_ICONMASK, static_cast<UINT>(MB_ICONQUESTION));
    EXPECT_TRUE(IsWindow(m_hwnd));
    EXPECT_EQ(m_frame->GetDownloadQueue().GetSize(), 1);
    // The queued title cannot be deleted meanwhile (the library refuses it).
    m_boxes.SetAnswer(IDYES);
    SelectRows({1});
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_DELETE);
    EXPECT_NE(Library()->FindTitle(L"t2"), nullptr);
    // Yes cancels and closes.
    m_boxes.Clear();
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_FALSE(IsWindow(m_hwnd));
}

TEST_F(Console, ClosingWhileTheLibraryCannotBeSavedAsksAndCancelKeepsTheWindowAndTheChange)
{
    Start();
    const CString database = Library()->GetLibraryDatabasePath();
    // Another program keeps the library file open, so no save can replace it.
    HANDLE blocker = CreateFileW(database, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(blocker, INVALID_HANDLE_VALUE);
    m_boxes.SetAnswer(IDOK);
    Library()->AddTitleToLibrary(MakeTitle(L"t4", L"s1"));
    EXPECT_FALSE(Library()->SaveLibrary());
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);

    // Closing: the save fails again and the user chooses; no promise of a later save.
    m_boxes.Clear();
    m_boxes.SetAnswer(IDCANCEL);
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    const AfxMessageBoxRequest& asked = m_boxes.Boxes()[0];
    EXPECT_EQ(asked.type & MB_TYPEMASK, static_cast<UINT>(MB_RETRYCANCEL));
    EXPECT_NE(asked.text.Find(database), -1) << asked.text.ToNarrow();
    EXPECT_EQ(asked.text.Find(L"when Vesperlin for Windows closes"), -1) << asked.text.ToNarrow();
    EXPECT_TRUE(IsWindow(m_hwnd)) << "the console closed with the change unsaved";
    EXPECT_TRUE(Library()->IsModified());

    // Retry once the other program is done: the change is saved and the console closes.
    CloseHandle(blocker);
    m_boxes.Clear();
    m_boxes.SetAnswer(IDRETRY);
    SendMessageW(m_hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_FALSE(IsWindow(m_hwnd));
    TestLibrary saved(m_scratch.Path());
    ASSERT_TRUE(saved.OnNewDocument());
    EXPECT_NE(saved.FindTitle(L"t4"), nullptr);
}

TEST_F(Console, KeysAndButtonsFollowTheCommandStates)
{
    Start();
    auto buttonEnabled = [&](UINT id) {
        m_frame->SendMessage(WM_IDLEUPDATECMDUI);
        return SendMessageW(GetDlgItem(m_hwnd, AFX_IDW_TOOLBAR), TB_ISBUTTONENABLED, id, 0) != 0;
    };
    // Fly-by texts and tooltips come from each command's "status\ntooltip" string.
    HWND status = GetDlgItem(m_hwnd, AFX_IDW_STATUS_BAR);
    auto statusText = [&] {
        wchar_t text[256] = {};
        SendMessageW(status, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return CString(text);
    };
    EXPECT_EQ(statusText(), L"For Help, press F1");
    m_frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(ID_TITLE_BURN, MF_STRING), reinterpret_cast<LPARAM>(GetMenu(m_hwnd)));
    EXPECT_EQ(statusText(), L"Burn the selected media item by launching the Emberquay");
    m_frame->SendMessage(WM_MENUSELECT, MAKEWPARAM(0, 0xFFFF), 0);
    EXPECT_EQ(statusText(), L"For Help, press F1");
    NMTTDISPINFOW tip{};
    tip.hdr.hwndFrom = reinterpret_cast<HWND>(SendMessageW(GetDlgItem(m_hwnd, AFX_IDW_TOOLBAR), TB_GETTOOLTIPS, 0, 0));
    tip.hdr.idFrom = ID_TITLE_DOWNLOAD;
    tip.hdr.code = TTN_GETDISPINFOW;
    m_frame->SendMessage(WM_NOTIFY, ID_TITLE_DOWNLOAD, reinterpret_cast<LPARAM>(&tip));
    ASSERT_NE(tip.lpszText, nullptr);
    EXPECT_EQ(CString(tip.lpszText), L"Download");

    EXPECT_TRUE(buttonEnabled(ID_TITLE_PLAY));  // one title selected
    SelectRows({0, 1});
    EXPECT_FALSE(buttonEnabled(ID_TITLE_PLAY));
    EXPECT_TRUE(buttonEnabled(ID_EDIT_DELETE));
    // Del asks before deleting; No keeps the titles.
    m_boxes.SetAnswer(IDNO);
    PressKey(List()->m_hWnd, VK_DELETE);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text, L"Are you sure you want to delete the selected title(s)?");
    EXPECT_EQ(Library()->GetTitles().GetSize(), 3);
    // A group shows names: the title commands are off, also from the keyboard.
    Select(kNodeLanguages, L"Group by Language");
    EXPECT_FALSE(buttonEnabled(ID_TITLE_PLAY));
    EXPECT_FALSE(buttonEnabled(ID_EDIT_DELETE));
    m_boxes.Clear();
    PressKey(List()->m_hWnd, VK_DELETE);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    // Tab moves to the next pane.
    Tree()->SetFocus();
    PressKey(Tree()->m_hWnd, VK_TAB);
    EXPECT_EQ(GetFocus(), List()->m_hWnd);
    // Yes deletes (a title node: the delete key deletes titles).
    Select(kNodeAllTitles, L"View All Media");
    SelectRows({0});
    m_boxes.SetAnswer(IDYES);
    PressKey(List()->m_hWnd, VK_DELETE);
    EXPECT_EQ(Library()->FindTitle(L"t1"), nullptr);
    EXPECT_EQ(Rows(), "Brass Harbour|Cinder Road");
}

// F1 on the main window and Help Topics open the console's help file at its first page (the
// file has no context ids, so the frame's own help by context id opened nothing); the copyright
// entry asks for its notice. One call each, made for the console's window.
TEST_F(Console, F1AndTheHelpMenuOpenTheConsolesHelpFile)
{
    Start();
    testsupport::HtmlHelpRecorder help;
    struct Case {
        const char* entry;
        std::function<void()> use;
        UINT command;
        DWORD_PTR data;
    };
    const Case cases[] = {
        {"F1 in the title list", [&] { PressKey(List()->m_hWnd, VK_F1); }, HH_DISPLAY_TOPIC, 0},
        {"F1 in the tree", [&] { PressKey(Tree()->m_hWnd, VK_F1); }, HH_DISPLAY_TOPIC, 0},
        {"Help Topics", [&] { m_frame->SendMessage(WM_COMMAND, ID_HELP_TOPICS); }, HH_DISPLAY_TOPIC, 0},
        {"About Copyrighted Materials", [&] { m_frame->SendMessage(WM_COMMAND, ID_HELP_COPYRIGHT); }, HH_HELP_CONTEXT,
         HID_BASE_RESOURCE + IDH_COPYRIGHT_NOTICE},
    };
    const CString file(AfxGetApp()->m_pszHelpFilePath);
    ASSERT_FALSE(file.IsEmpty());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entry);
        const size_t before = help.Calls().size();
        c.use();
        ASSERT_EQ(before + 1, help.Calls().size());
        const AfxHtmlHelpCall& call = help.Calls().back();
        EXPECT_EQ(c.command, call.command);
        EXPECT_EQ(c.data, call.data);
        EXPECT_EQ(file, call.file);
        EXPECT_EQ(m_hwnd, call.caller);
    }
}

TEST_F(Console, PlayOpensThePlayerAndDeletingItsTitleClosesItOnlyWhenTheUserSaysSo)
{
    Start();
    CMediaObject* title = Library()->FindTitle(L"t1");
    ASSERT_NE(title, nullptr);
    title->SetDownloadFolder(m_scratch.Path());
    CreateDirectoryW(m_scratch.Path() + L"\\" + title->m_titleFolder, nullptr);
    ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -nostdin -loglevel error -f lavfi -i sine=duration=2 -ac 1 -y " +
                                             testsupport::ShellQuoted(title->GetPart(0)->GetFilePath(title))));
    SelectRows({0});
    ASSERT_EQ(SelectedIds(), "t1");
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_PLAY);
    RunMessages(100);
    CMediaExplorerDialog* player = FindMediaExplorer();
    ASSERT_NE(player, nullptr);
    const HWND playerWindow = player->m_hWnd;
    EXPECT_EQ(player->GetCurrentMediaID(), L"t1");
    EXPECT_EQ(player->GetCurrentPart(), 0);
    // Playing again replaces the window: one player at a time.
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_PLAY);
    RunMessages(100);
    EXPECT_FALSE(IsWindow(playerWindow));
    player = FindMediaExplorer();
    ASSERT_NE(player, nullptr);
    ExpectOnlyNoSoundOutputBoxes(m_boxes, 2);

    // Deleting the title asks about the player first; No keeps both.
    m_boxes.SetAnswer(IDNO);
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_DELETE);
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].text,
              L"The selected title (\"Autumn Light\") is currently open in Vesperlin Media Explorer.  Are you sure you "
              L"want to close it and delete the title?");
    EXPECT_EQ(m_boxes.Boxes()[0].type & MB_ICONMASK, UINT(MB_ICONERROR));
    EXPECT_EQ(FindMediaExplorer(), player);
    EXPECT_NE(Library()->FindTitle(L"t1"), nullptr);
    // Yes closes the player, then the usual question deletes the title.
    m_boxes.SetAnswer(IDYES);
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_DELETE);
    RunMessages(50);
    ASSERT_EQ(m_boxes.Boxes().size(), 3u);
    EXPECT_EQ(m_boxes.Boxes()[2].text, L"Are you sure you want to delete the selected title(s)?");
    EXPECT_EQ(FindMediaExplorer(), nullptr);
    EXPECT_EQ(Library()->FindTitle(L"t1"), nullptr);
}

TEST_F(Console, AddAndRemoveMenusListTheRightCollections)
{
    Start();
    CMenu menu;
    ASSERT_TRUE(menu.LoadMenu(IDR_CONTEXT_MENUS));
    CMenu* popup = menu.GetSubMenu(0);
    auto open = [&] {
        m_frame->SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup->m_hMenu), 0);
    };
    auto items = [&](int position) {
        CMenu* sub = popup->GetSubMenu(position);
        std::string names;
        for (int i = 0; i < sub->GetMenuItemCount(); ++i)
            names += (names.empty() ? "" : "|") + sub->GetMenuString(static_cast<UINT>(i), MF_BYPOSITION).ToNarrow();
        return names;
    };
    auto enabled = [&](int position) { return !(popup->GetMenuState(static_cast<UINT>(position), MF_BYPOSITION) & MF_GRAYED); };
    Library()->AddCollection(MakeCollection(L"Evening", {L"t1", L"t3"}));
    SelectRows({0, 2});  // t1 and t3: only "Evening" holds both
    open();
    EXPECT_TRUE(enabled(5));
    EXPECT_EQ(items(5), "Evening|Favourites");
    EXPECT_TRUE(enabled(6));
    EXPECT_EQ(items(6), "Evening");
    m_frame->SendMessage(WM_COMMAND, ID_REMOVE_FROM_COLLECTION_FIRST);
    EXPECT_EQ(Library()->FindCollection(L"Evening")->m_members.GetSize(), 0);
    SelectRows({1});
    open();
    EXPECT_FALSE(enabled(6));
    m_frame->SendMessage(WM_COMMAND, ID_ADD_TO_COLLECTION_FIRST + 1);  // Favourites
    EXPECT_EQ(Library()->FindCollection(L"Favourites")->m_members.GetSize(), 2);
}

TEST_F(Console, HandOverMessagesTakeTheSharedBufferWhenPostedAndTheTextWhenSent)
{
    Start();
    ASSERT_TRUE(CBrenvaleApp::HandOver(m_hwnd, L"C:\\Orders\\one.vpm"));
    PostMessageW(m_hwnd, WM_OPEN_PATH, 0, 0x1234);  // a wild pointer is never read
    RunMessages(20);
    EXPECT_EQ(m_frame->GetHandedOverPath(), L"C:\\Orders\\one.vpm");
    SendMessageW(m_hwnd, WM_OPEN_PATH, 0, reinterpret_cast<LPARAM>(L"zkyopen://host/two"));
    EXPECT_EQ(m_frame->GetHandedOverPath(), L"zkyopen://host/two");
    // Too long for the buffer: refused, the buffer keeps its text, the checks run.
    const int checks = m_frame->GetStartupChecks();
    const CString tooLong = L"C:\\" + CString(L'x', 300) + L".vpm";
    EXPECT_FALSE(CBrenvaleApp::HandOver(m_hwnd, tooLong));
    RunMessages(20);
    EXPECT_EQ(m_frame->GetStartupChecks(), checks + 1);
    EXPECT_EQ(CString(SharedOpenPath), L"C:\\Orders\\one.vpm");
    const CString fits = L"C:\\" + CString(L'y', kSharedOpenPathLength - 4);
    EXPECT_TRUE(CBrenvaleApp::HandOver(m_hwnd, fits));
    RunMessages(20);
    EXPECT_EQ(m_frame->GetHandedOverPath(), fits);

    // A dropped order file is opened as a document, which hands it to the frame; another
    // kind of file is refused.
    auto drop = [&](const std::wstring& path) {
        const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GHND, bytes);
        auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
        files->pFiles = sizeof(DROPFILES);
        files->fWide = TRUE;
        wmemcpy(reinterpret_cast<wchar_t*>(files + 1), path.c_str(), path.size());
        GlobalUnlock(memory);
        SendMessageW(m_hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    };
    drop(L"C:\\Dropped\\three.vpm");
    EXPECT_EQ(m_frame->GetHandedOverPath(), L"C:\\Dropped\\three.vpm");
    m_boxes.Clear();
    drop(L"C:\\Dropped\\picture.jpg");
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_NE(m_boxes.Boxes()[0].text.Find(L"picture.jpg"), -1);
}

// --- The dialog, properties, wizard and game commands ---

struct ModalSearch {
    HWND frame, found;
};

BOOL CALLBACK FindModalWindow(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<ModalSearch*>(data);
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (window != search->frame && IsWindowVisible(window) && wcscmp(name, L"#32770") == 0 &&
        GetWindow(window, GW_OWNER) == search->frame) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// The console's modal window over the frame (a dialog or the properties sheet), or null.
HWND ModalWindowOver(HWND frame)
{
    ModalSearch search{frame, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindModalWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

CString ItemText(HWND dialog, int id)
{
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, id, text, 512);
    return text;
}

void Click(HWND dialog, int id)
{
    SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// The machine-wide download path, which every console of the machine reads.
class MachineDownloadPath {
public:
    explicit MachineDownloadPath(const CString& path)
    {
        SHSetValueW(HKEY_LOCAL_MACHINE, kMachineDownloadPathKey, kMachineDownloadPathValue, REG_SZ, path.GetString(),
                    static_cast<DWORD>((path.GetLength() + 1) * sizeof(wchar_t)));
    }
    ~MachineDownloadPath() { SHDeleteValueW(HKEY_LOCAL_MACHINE, kMachineDownloadPathKey, kMachineDownloadPathValue); }
};

TEST_F(Console, OptionsKeepTheMachineWideFolderAndHandTheProxyCredentialsToTheFrame)
{
    // Stored credentials are what the frame gives its connections from the start.
    const CString settings = CString(kProfileKey) + L"\\Settings";
    const CString scrambled = CCredentialScrambler::Scramble(L"start pw", rand);
    const DWORD one = 1;
    SHSetValueW(HKEY_CURRENT_USER, settings, L"InternetRequiresAuth", REG_DWORD, &one, sizeof(one));
    SHSetValueW(HKEY_CURRENT_USER, settings, L"UserName", REG_SZ, L"startuser", sizeof(L"startuser"));
    SHSetValueW(HKEY_CURRENT_USER, settings, L"Password", REG_SZ, scrambled.GetString(),
                static_cast<DWORD>((scrambled.GetLength() + 1) * sizeof(wchar_t)));
    ScratchFolder media;
    MachineDownloadPath machinePath(media.Path());
    Start();
    EXPECT_EQ(CString(L"startuser"), m_frame->GetProxyUserName());
    EXPECT_EQ(CString(L"start pw"), m_frame->GetProxyPassword());
    ApplyMachineDownloadPath();  // what the start-up checks do
    const CString fixedFolder = media.Path() + L"\\MP3 Audiobooks";

    bool changeEnabled = true;
    CString folder, user;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] {
            HWND options = ModalWindowOver(m_hwnd);
            if (!options)
                return false;
            changeEnabled = IsWindowEnabled(GetDlgItem(options, IDC_OPTIONS_FOLDER_CHANGE)) != FALSE;
            folder = ItemText(options, IDC_OPTIONS_FOLDER);
            user = ItemText(options, IDC_OPTIONS_USER_NAME);
            testsupport::CaptureWindow(options, L"Console.Options.Locked");
            SetDlgItemTextW(options, IDC_OPTIONS_FOLDER, L"C:\\Elsewhere");
            SetDlgItemTextW(options, IDC_OPTIONS_USER_NAME, L"newuser");
            SetDlgItemTextW(options, IDC_OPTIONS_PASSWORD, L"new pw");
            Click(options, IDOK);
            return true;
        },
    });
    m_frame->SendMessage(WM_COMMAND, ID_TOOLS_OPTIONS);
    EXPECT_TRUE(steps.Done());
    EXPECT_FALSE(changeEnabled);
    EXPECT_EQ(fixedFolder, folder);
    EXPECT_EQ(CString(L"startuser"), user);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(fixedFolder, m_app->GetProfileString(L"Settings", L"DownloadFolder-MP3 Audiobook"));
    EXPECT_EQ(CString(L"newuser"), m_app->GetProfileString(L"Settings", L"UserName"));
    EXPECT_EQ(CString(L"new pw"), CCredentialScrambler().UnscrambleCredential(L"Settings", L"Password"));
    EXPECT_EQ(CString(L"newuser"), m_frame->GetProxyUserName());
    EXPECT_EQ(CString(L"new pw"), m_frame->GetProxyPassword());

    // Authentication turned off: the password is dropped from the settings; the running
    // connections keep what they had.
    testsupport::StepRunner offSteps(std::vector<testsupport::StepRunner::Step>{
        [&] {
            HWND options = ModalWindowOver(m_hwnd);
            if (!options)
                return false;
            Click(options, IDC_OPTIONS_REQUIRES_AUTH);
            Click(options, IDOK);
            return true;
        },
    });
    m_frame->SendMessage(WM_COMMAND, ID_TOOLS_OPTIONS);
    EXPECT_TRUE(offSteps.Done());
    EXPECT_EQ(0, Setting(L"InternetRequiresAuth"));
    EXPECT_EQ(CString(L"<none>"), m_app->GetProfileString(L"Settings", L"Password", L"<none>"));
    EXPECT_EQ(CString(L"newuser"), m_frame->GetProxyUserName());
}

TEST_F(Console, AboutShowsTheVersionsTheDetectObjectReports)
{
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_CONSOLE_VERSION", L"3.6.0.12");
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_PLAYER_VERSION", L"12.0.7601");
    SetEnvironmentVariableW(L"VESPERLIN_DETECT_PLATFORM_VERSION", L"4.2");
    Start();
    CString version, player, platform;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] {
            HWND about = ModalWindowOver(m_hwnd);
            if (!about)
                return false;
            version = ItemText(about, IDC_ABOUT_VERSION);
            player = ItemText(about, IDC_ABOUT_PLAYER_VERSION);
            platform = ItemText(about, IDC_ABOUT_PLATFORM_VERSION);
            testsupport::CaptureWindow(about, L"Console.About");
            Click(about, IDOK);
            return true;
        },
    });
    m_frame->SendMessage(WM_COMMAND, ID_HELP_ABOUT);
    for (const wchar_t* name : {L"VESPERLIN_DETECT_CONSOLE_VERSION", L"VESPERLIN_DETECT_PLAYER_VERSION",
                                L"VESPERLIN_DETECT_PLATFORM_VERSION"})
        SetEnvironmentVariableW(name, nullptr);
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(CString(L"3.6.0.12"), version);
    EXPECT_EQ(CString(L"12.0.7601"), player);
    EXPECT_EQ(CString(L"4.2"), platform);
}

// The description pages the properties sheet has written into the temporary folder.
std::vector<CString> DescriptionPages()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::vector<CString> pages;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(CString(temp) + L"vpd*.html", &found);
    if (search == INVALID_HANDLE_VALUE)
        return pages;
    do
        pages.push_back(CString(temp) + found.cFileName);
    while (FindNextFileW(search, &found));
    FindClose(search);
    return pages;
}

TEST_F(Console, PropertiesShowTheSelectedTitleWithItsPictureAndDescription)
{
    Start();
    CMediaObject* title = Library()->FindTitle(L"t3");
    ASSERT_NE(title, nullptr);
    title->GetMetadata().SetTitle(L"Cinder Road &amp; &lt;Sons&gt;");
    title->GetMetadata().SetDescription(L"&lt;p&gt;Ashes(TM) and <i>embers</i>.");
    Library()->FindTitle(L"t2")->GetMetadata().SetDescription(L"");
    Library()->FindTitle(L"t2")->GetMetadata().m_description.Empty();
    const std::vector<CString> before = DescriptionPages();

    struct Shown {
        int tabs = 0;
        bool icon = false;
        CString title, page;
        std::string pageBytes;
        bool browserHosted = false;
        DWORD browserDownloadControl = 0;
    };
    auto showProperties = [&](int row, bool description) {
        Shown shown;
        SelectRows({row});
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
            [&] {
                HWND sheet = ModalWindowOver(m_hwnd);
                if (!sheet)
                    return false;
                shown.tabs = TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet));
                HWND general = PropSheet_GetCurrentPageHwnd(sheet);
                shown.title = ItemText(general, IDC_GENERAL_TITLE);
                shown.icon = SendDlgItemMessageW(general, IDC_GENERAL_ICON, STM_GETICON, 0, 0) != 0;
                if (description)
                    PropSheet_SetCurSel(sheet, nullptr, 2);
                return true;
            },
            [&] {
                HWND sheet = ModalWindowOver(m_hwnd);
                if (description) {
                    for (const CString& page : DescriptionPages())
                        if (std::find(before.begin(), before.end(), page) == before.end())
                            shown.page = page;
                    shown.pageBytes = testsupport::ReadAllBytes(shown.page);
                    // The page's browser: a hosted control told to run no scripts, Java or ActiveX.
                    HWND page = PropSheet_GetCurrentPageHwnd(sheet);
                    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
                        CWnd* window = CWnd::FromHandlePermanent(child);
                        if (window && window->IsKindOf(RUNTIME_CLASS(CAxHost))) {
                            const auto* host = static_cast<CAxHost*>(window);
                            shown.browserHosted = host->GetControlUnknown() != nullptr;
                            shown.browserDownloadControl = host->GetAmbientDownloadControl();
                        }
                    }
                    testsupport::CaptureWindow(sheet, L"Console.Properties.Description");
                }
                SendMessageW(sheet, WM_COMMAND, IDCANCEL, 0);
                return true;
            },
        });
        m_frame->SendMessage(WM_COMMAND, ID_TITLE_PROPERTIES);
        EXPECT_TRUE(steps.Done());
        return shown;
    };

    const Shown withDescription = showProperties(2, true);
    EXPECT_EQ(3, withDescription.tabs);
    EXPECT_TRUE(withDescription.icon);
    EXPECT_EQ(CString(L"Cinder Road & <Sons>"), withDescription.title);
    // The order file's text is escaped in the page; its description stays HTML. The page
    // goes with the sheet.
    ASSERT_FALSE(withDescription.page.IsEmpty());
    const std::string& page = withDescription.pageBytes;
    EXPECT_NE(std::string::npos, page.find(testsupport::Utf16LeBytes(L"<B>Cinder Road &amp; &lt;Sons&gt;</B><br>")));
    EXPECT_NE(std::string::npos, page.find(testsupport::Utf16LeBytes(L"<br>Ashes&trade; and <i>embers</i>.</body>")));
    EXPECT_FALSE(FileExists(withDescription.page));
    EXPECT_TRUE(withDescription.browserHosted);
    EXPECT_EQ(static_cast<DWORD>(DLCTL_NO_SCRIPTS | DLCTL_NO_JAVA | DLCTL_NO_RUNACTIVEXCTLS),
              withDescription.browserDownloadControl);

    const Shown withoutDescription = showProperties(1, false);
    EXPECT_EQ(2, withoutDescription.tabs);
    EXPECT_EQ(CString(L"Brass Harbour"), withoutDescription.title);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// The real road: the Transfer command starts the real device wizard beside the console, which
// reads the title the console wrote and shows its Welcome page; a second start tells the user
// and brings the first wizard to the front; the first ends when its sheet is cancelled.
TEST_F(Console, TransferStartsTheRealDeviceWizardWhichReadsTheTitleAndRunsOnce)
{
    ScratchFolder media;
    Start();
    CMediaObject* title = nullptr;
    ASSERT_NO_FATAL_FAILURE(title = TitleForTheWizards(installedtest::ProgramFolder(), media));
    SelectRows({0});

    m_frame->SendMessage(WM_COMMAND, ID_TITLE_TRANSFER);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    DWORD first = 0;
    HWND sheet = nullptr;
    for (int i = 0; i < 600 && !sheet; ++i) {
        sheet = testsupport::FindOtherProcessWindow(L"Vesperlin Carrowind - Welcome", &first);
        if (!sheet)
            RunMessages(50);
    }
    ASSERT_NE(nullptr, sheet);
    HANDLE firstProcess = OpenProcess(SYNCHRONIZE, FALSE, first);
    ASSERT_NE(nullptr, firstProcess);
    // The Welcome page names the title the console handed over.
    HWND page = FindWindowExW(sheet, nullptr, L"#32770", nullptr);
    wchar_t text[1024] = {};
    GetWindowTextW(GetDlgItem(page, 1000), text, 1024);
    const CString named = L"<b>" + title->GetMetadata().GetDisplayTitle(FALSE, TRUE) + L"</b> (MP3 Audiobook)";
    EXPECT_EQ(CString(L"<b>Autumn Light</b> (MP3 Audiobook)"), named);
    EXPECT_NE(nullptr, wcsstr(text, named)) << CString(text).ToNarrow();
    testsupport::CaptureWindow(sheet, L"Carrowind.FromConsole");

    // A second start says the wizard runs already and brings the first one to the front.
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_TRANSFER);
    testsupport::ProcessBox box;
    for (int i = 0; i < 600 && !box.window; ++i) {
        for (const testsupport::ProcessBox& shown : testsupport::BoxesOfOtherProcesses()) {
            if (shown.process != first)
                box = shown;
        }
        if (!box.window)
            RunMessages(50);
    }
    ASSERT_NE(nullptr, box.window);
    EXPECT_EQ(CString(L"Vesperlin Carrowind"), box.caption);
    EXPECT_EQ(CString(L"Carrowind is already running.  Please either close Carrowind or let Carrowind finish, then "
                      L"attempt this transfer again."),
              box.text);
    HANDLE second = OpenProcess(SYNCHRONIZE, FALSE, box.process);
    testsupport::Answer(box, IDOK);
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(second, 20000));
    CloseHandle(second);
    EXPECT_EQ(sheet, GetForegroundWindow());
    EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(firstProcess, 0));  // unaffected

    // Cancel ends the first wizard.
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(firstProcess, 20000));
    CloseHandle(firstProcess);
}

// The players a transfer from the console reaches, each as a fixture of its stand-in.
enum class RoadPlayer { Mtp, RemovableDrive, Mobile, Zune };

struct TransferRoadCase {
    const char* name;
    bool wma;  // a Windows Media title, else an MP3 one
    RoadPlayer player;
};

// The road a user takes: Transfer in the running console, then the device wizard's pages
// answered as a user would (Next on Welcome, Next on Confirm), onto each kind of player. Each
// part of the 3-part title arrives byte for byte with what the player keeps beside it, the
// wizard ends on its Success page, and nothing half-written stays behind.
TEST_F(Console, TransferSendsEveryPartOfTheTitleToThePlayerThroughTheWizard)
{
    const TransferRoadCase cases[] = {
        {"MP3 title onto an MTP player", false, RoadPlayer::Mtp},
        {"Windows Media title onto an MTP player", true, RoadPlayer::Mtp},
        {"MP3 title onto a removable drive", false, RoadPlayer::RemovableDrive},
        {"Windows Media title onto a removable drive", true, RoadPlayer::RemovableDrive},
        {"MP3 title onto a Windows Mobile device", false, RoadPlayer::Mobile},
        {"Windows Media title onto a Windows Mobile device", true, RoadPlayer::Mobile},
        {"MP3 title onto a Zune", false, RoadPlayer::Zune},
        {"Windows Media title onto a Zune", true, RoadPlayer::Zune},
    };
    Start();
    for (const TransferRoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder media, player;
        CMediaObject* title = nullptr;
        ASSERT_NO_FATAL_FAILURE(title = TitleForTheWizards(installedtest::ProgramFolder(), media));
        title->GetMetadata().SetContentKind(c.wma ? KindAudiobook : KindMp3Audiobook);
        const wchar_t* extension = c.wma ? L".wma" : L".mp3";
        const CString picture = ThreePartsWithAPicture(title);
        std::vector<std::string> sources;
        std::vector<CString> names;
        for (int i = 0; i < 3; ++i) {
            const CString path = title->GetPart(i)->GetFilePath(title);
            ASSERT_TRUE(CreateParentFolder(path));
            CString tone;
            tone.Format(L"tone-%d%s", i + 1, extension);
            const CString made =
                c.wma ? mediafixtures::MakeWma(media, tone) : mediafixtures::MakeMp3(media, tone, i == 1);
            ASSERT_TRUE(CopyFileW(made, path, FALSE));
            sources.push_back(testsupport::ReadAllBytes(path));
            names.push_back(path.Mid(path.ReverseFind(L'\\') + 1));
        }

        // The player, and the folder its files land in.
        std::unique_ptr<testsupport::TestDrive> drive;
        std::unique_ptr<zunetest::Devices> zunes;
        std::unique_ptr<wizardtest::ZuneServerRegistration> zuneServer;
        CString root = player / L"storage";
        CreateDirectoryW(root, nullptr);
        if (c.player == RoadPlayer::Mtp) {
            testsupport::WriteAll(player / L"devices.ini",
                                  "[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\nProtocol=MTP\n"
                                  "Serial=0x045E:0A0B0C0D\nFriendlyName=Kitchen Player\nFormats=0x3009,0xB901,0xBA03\n"
                                  "[Device1.Storage1]\nName=\\\nFolder=storage\n");
        } else if (c.player == RoadPlayer::Mobile) {
            // The device manager lists the device's main memory; the mobile link reaches its files
            // and registry, which name the reading application and the download folder.
            root = player / L"ppc";
            for (const wchar_t* folder : {L"ppc", L"ppc\\My Documents", L"ppc\\Program Files",
                                          L"ppc\\Program Files\\Reader"})
                CreateDirectoryW(player / folder, nullptr);
            testsupport::WriteAll(player / L"ppc\\Program Files\\Reader\\ZKYMobileRapi.DLL", "");
            testsupport::WriteAll(player / L"devices.ini",
                                  "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\nSerial=0x0001:0A0B0C0D\n"
                                  "Protocol=RAPI\n[Device1.Storage1]\nName=\\\nFolder=ppc\n");
            testsupport::WriteAll(
                player / L"mobiles.ini",
                "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\nGuid={6E1A1C9A-1111-2222-3333-444455556666}\n"
                "Folder=ppc\n[Device1.Registry]\n"
                "HKCR\\Vesperlin.Media\\Shell\\Open\\Command|=\"\\Program Files\\Reader\\Reader.exe\" \"%1\"\n"
                "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|DownloadFolder=\\My Documents\\Audiobooks\n"
                "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|MediaDBFolder=\\My Documents\\Library\n"
                "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|ProductVersion=1.5.0.0\n"
                "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|MobileID=PPC-42\n");
            SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", player / L"mobiles.ini");
        } else if (c.player == RoadPlayer::Zune) {
            // No player of the device manager: the USB list shows a Zune, which the wizard
            // reaches through the Zune device server over the portable devices.
            testsupport::WriteAll(player / L"devices.ini", "[Devices]\nCount=0\n");
            wizardtest::UseUsbZune(player);
            ASSERT_NO_FATAL_FAILURE(wizardtest::SetZuneSoftware(L"3.1"));
            zunes = std::make_unique<zunetest::Devices>(std::vector<zunetest::Device>{zunetest::Device(L"Microsoft Zune")});
            root = zunes->Storage();
            // The Zune device server as installed, registered from the program folder.
            zuneServer = std::make_unique<wizardtest::ZuneServerRegistration>(installedtest::ProgramFolder() +
                                                                               L"\\Corvatine.dll");
            ASSERT_TRUE(zuneServer->Registered());
        } else {
            drive = std::make_unique<testsupport::TestDrive>(root, testsupport::DriveKind::Removable);
            ASSERT_TRUE(drive->Made());
            testsupport::WriteAll(drive->Root() + L"Vesperlin.xml",
                                  "<?xml version=\"1.0\"?>\r\n<Carrowind><VPM>\\Books\\[title]</VPM>"
                                  "<Thumbnail>1</Thumbnail></Carrowind>\r\n");
            CString driveName;
            driveName.Format(L"Removable Disk (%c:)", drive->Letter());
            testsupport::WriteAll(player / L"devices.ini", "[Devices]\nCount=1\n[Device1]\nName=" +
                                                               driveName.ToNarrow() +
                                                               "\nSerial=0x0781:0102\n[Device1.Storage1]\nName=\\\n"
                                                               "Folder=" + root.ToNarrow() + "\n");
        }
        // The wizard gets the console's environment.
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", player / L"devices.ini");
        SelectRows({0});
        m_frame->SendMessage(WM_COMMAND, ID_TITLE_TRANSFER);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", nullptr);
        wizardtest::ForgetUsbZune();

        DWORD wizard = 0;
        const HWND sheet = WizardAtConfirm(&wizard);
        ASSERT_NE(nullptr, sheet);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, wizard);
        ASSERT_NE(nullptr, process);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        const HWND done = WaitForWizardWindow(L"Vesperlin Carrowind - Transfer Complete", &wizard);
        for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses()) {
            ADD_FAILURE() << "the wizard asks: " << box.text.ToNarrow();
            testsupport::Answer(box, IDCANCEL);
        }
        if (done) {
            testsupport::CaptureWindow(sheet, L"Carrowind.SuccessFromConsole");
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        } else {
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process, 20000));
        CloseHandle(process);
        if (c.player == RoadPlayer::Zune)
            wizardtest::SetZuneSoftware(nullptr);
        ASSERT_NE(nullptr, done);

        const std::vector<CString> files = testsupport::FilesBelow(root);
        std::string listing;
        for (const CString& file : files)
            listing += file.ToNarrow() + "\n";
        SCOPED_TRACE(listing);
        for (const CString& file : files) {
            EXPECT_EQ(-1, file.Find(L".partial")) << file.ToNarrow();
            EXPECT_EQ(-1, file.Find(L".tmp")) << file.ToNarrow();
        }
        for (const CString& file : testsupport::FilesBelow(media.Path()))
            EXPECT_EQ(-1, file.Find(L".tmp")) << file.ToNarrow();
        auto sent = [&](const CString& name) {
            for (const CString& file : files)
                if (file.Mid(file.ReverseFind(L'\\') + 1).CompareNoCase(name) == 0)
                    return file;
            return CString();
        };
        for (int i = 0; i < 3; ++i) {
            const CString arrived = sent(names[i]);
            ASSERT_FALSE(arrived.IsEmpty()) << names[i].ToNarrow();
            EXPECT_TRUE(sources[i] == testsupport::ReadAllBytes(root + L"\\" + arrived)) << arrived.ToNarrow();
            if (c.player == RoadPlayer::Mtp) {
                EXPECT_NE(std::string::npos, testsupport::ReadAllBytes(root + L"\\" + arrived + L".props").find(
                                                 c.wma ? "WMDM/FormatCode=47361" : "WMDM/FormatCode=12297"));
            }
        }
        auto endingIn = [&](const wchar_t* ending) {
            std::vector<CString> found;
            for (const CString& file : files)
                if (file.Right(static_cast<int>(wcslen(ending))).CompareNoCase(ending) == 0)
                    found.push_back(file);
            return found;
        };
        if (c.player == RoadPlayer::Mtp) {
            // One album of the title's name, referencing every part, with the picture as its art.
            const std::vector<CString> albums = endingIn(L".alb");
            ASSERT_EQ(1u, albums.size());
            EXPECT_EQ(CString(L"Autumn Light.alb"), albums[0].Mid(albums[0].ReverseFind(L'\\') + 1));
            const std::string references = testsupport::ReadAllBytes(root + L"\\" + albums[0] + L".refs");
            for (const CString& name : names)
                EXPECT_NE(std::string::npos, references.find(name.ToNarrow())) << references;
            EXPECT_EQ("\xFF\xD8", testsupport::ReadAllBytes(root + L"\\" + albums[0] + L".AlbumCoverData.bin").substr(0, 2));
        } else if (c.player == RoadPlayer::Zune) {
            // Each part in the maker's folder, with the title's properties and its cover as art.
            const std::string cover = testsupport::ReadAllBytes(picture);
            for (int i = 0; i < 3; ++i) {
                const CString sentPart = L"Vesperlin\\" + names[i];
                EXPECT_EQ(sentPart, sent(names[i]));
                std::string properties = zunes->Properties(sentPart);
                properties.erase(std::remove(properties.begin(), properties.end(), '\r'), properties.end());
                for (const std::string& line : {std::string("Title=Autumn Light"), std::string("Album=Autumn Light"),
                                                "Track=" + std::to_string(i + 1),
                                                std::string(c.wma ? "Format=0xB901" : "Format=0x3009")})
                    EXPECT_NE(std::string::npos, ("\n" + properties).find("\n" + line + "\n")) << properties;
                EXPECT_TRUE(cover == testsupport::ReadAllBytes(zunes->Storage(sentPart + L".albumart.jpg")));
            }
        } else if (c.player == RoadPlayer::RemovableDrive) {
            // After the parts, an MP3 title's order file and picture; a Windows Media title has none.
            EXPECT_EQ(c.wma ? 0u : 1u, endingIn(L".vpm").size());
            EXPECT_EQ(c.wma ? 0u : 1u, endingIn(L".jpg").size());
        } else {
            // The parts in the device's documents; beside them the order file and the pictures,
            // the order file's one line in the reading application's list, and the application
            // told of it on the device.
            const CString folder = CString(L"My Documents\\My Media\\") + (c.wma ? L"WMA" : L"MP3") +
                                   L" Audiobooks\\" + names[0].Left(names[0].Find(L"-Part"));
            for (const CString& name : names)
                EXPECT_EQ(folder + L"\\" + name, sent(name));
            const std::vector<CString> orders = endingIn(L".vpm");
            ASSERT_EQ(1u, orders.size());
            EXPECT_EQ(folder, orders[0].Left(orders[0].ReverseFind(L'\\')));
            const std::string cover = testsupport::ReadAllBytes(picture);
            EXPECT_TRUE(cover == testsupport::ReadAllBytes(root + L"\\" + folder + picture.Mid(picture.ReverseFind(L'\\'))));
            EXPECT_TRUE(cover == testsupport::ReadAllBytes(root + L"\\" + folder + L"\\folder.jpg"));
            EXPECT_EQ("\\" + orders[0].ToNarrow() + "\r\n",
                      testsupport::ReadAllBytes(root + L"\\Program Files\\Reader\\Carrowind.dat"));
            EXPECT_EQ("ZKYMInvokableFunction\r\n",
                      testsupport::ReadAllBytes(root + L"\\Program Files\\Reader\\ZKYMobileRapi.log"));
            const std::string events = testsupport::ReadAllBytes(player / L"Device1.events.log");
            EXPECT_NE(std::string::npos,
                      events.find("CeRapiInvoke \\Program Files\\Reader\\ZKYMobileRapi.DLL ZKYMInvokableFunction"))
                << events;
        }
    }
}

TEST_F(Console, TransferAndBurnStartTheWizardsBesideTheConsoleWithoutWaiting)
{
    ScratchFolder programs, media;
    Start();
    CMediaObject* title = nullptr;
    ASSERT_NO_FATAL_FAILURE(title = TitleForTheWizards(programs.Path(), media));
    const CString device = programs / L"Carrowind.exe";
    const CString cd = programs / L"Emberquay.exe";
    ASSERT_TRUE(CopyFileW(programtest::StubProgram(), device, FALSE));
    ASSERT_TRUE(CopyFileW(programtest::StubProgram(), cd, FALSE));
    SelectRows({0});

    // Ctrl+Shift+T offers verbose logging; Yes adds it.
    m_boxes.SetAnswer(IDYES);
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_TRANSFER_VERBOSE);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"Are you sure you want to enable verbose logging for Carrowind at this time?"),
              m_boxes.Boxes()[0].text);
    // The order file and the playlist are there before the wizard reads them, and the
    // console did not wait for the wizard (it waits for its go).
    EXPECT_TRUE(FileExists(title->GetMediaOrderFilePath()));
    EXPECT_TRUE(FileExists(title->GetPlaylistPath()));
    EXPECT_FALSE(FileExists(device + L".txt"));
    testsupport::WriteAll(device + L".go", std::string());
    const auto transferred = programtest::WaitForFile(device + L".txt");
    ASSERT_TRUE(transferred);
    const std::string deviceLine = transferred->substr(0, transferred->find('\n'));
    EXPECT_EQ(programtest::Utf8(L"-SourceID=\"s1\" -Path=\"" + title->GetPlaylistPath() +
                                L"\" -Type=\"MP3 Audiobook\" -Verbose"),
              deviceLine);
    const programtest::WizardOptions deviceRead =
        programtest::ParseAsWizard(CString(deviceLine.c_str()).GetString(), false);
    EXPECT_EQ(title->GetPlaylistPath().str(), deviceRead.path);
    EXPECT_EQ(std::wstring(L"s1"), deviceRead.sourceId);
    EXPECT_EQ(std::wstring(L"MP3 Audiobook"), deviceRead.type);
    EXPECT_TRUE(deviceRead.verbose);

    // Burn: the plain command line, no question.
    m_boxes.Clear();
    testsupport::WriteAll(cd + L".go", std::string());
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_BURN);
    EXPECT_TRUE(m_boxes.Boxes().empty());
    const auto burned = programtest::WaitForFile(cd + L".txt");
    ASSERT_TRUE(burned);
    const std::string cdLine = burned->substr(0, burned->find('\n'));
    const programtest::WizardOptions cdRead = programtest::ParseAsWizard(CString(cdLine.c_str()).GetString(), true);
    EXPECT_EQ(title->GetPlaylistPath().str(), cdRead.path);
    EXPECT_EQ(std::wstring(L"s1"), cdRead.sourceId);
    EXPECT_EQ(std::wstring(L"MP3 Audiobook"), cdRead.type);
    EXPECT_EQ(std::string::npos, cdLine.find("-Verbose"));

    // A title without parts on disk offers the download first and starts nothing.
    DeleteFileW(device + L".txt");
    SelectRows({1});
    m_boxes.SetAnswer(IDNO);
    m_boxes.Clear();
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_TRANSFER);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"You must first download one or more parts.\n\nDo you want to download parts for this title now?"),
              m_boxes.Boxes()[0].text);
    Sleep(300);
    EXPECT_FALSE(FileExists(device + L".txt"));
}

// The whole road: Burn starts the real CD wizard, which reads the playlist the console left
// and names the title on its Welcome page.
TEST_F(Console, BurnStartsTheRealCdWizardWhichShowsTheTitle)
{
    ScratchFolder media;
    Start();
    m_frame->SetWizardFolder(installedtest::ProgramFolder());
    CMediaObject* title = Library()->FindTitle(L"t1");
    title->SetDownloadFolder(media.Path());
    const CString part = title->GetPart(0)->GetFilePath(title);
    ASSERT_TRUE(CreateParentFolder(part));
    testsupport::WriteAll(part, std::string("audio"));
    SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", nullptr);
    SelectRows({0});
    m_boxes.Clear();
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_BURN);
    EXPECT_TRUE(m_boxes.Boxes().empty());

    HWND wizard = nullptr;
    for (int i = 0; i < 400 && !wizard; ++i) {
        wizard = FindWindowW(L"#32770", L"Vesperlin Emberquay - Welcome");
        if (!wizard)
            testsupport::PumpMessages(50);
    }
    ASSERT_NE(nullptr, wizard) << "the CD wizard's sheet did not appear";
    CString welcome;
    for (const testsupport::WindowInfo& window : testsupport::WindowTree(wizard)) {
        if (window.id == 1000)
            welcome = window.text;
    }
    CString playlistName = title->GetPlaylistPath();
    playlistName = playlistName.Mid(playlistName.ReverseFind(L'\\') + 1);
    playlistName.Truncate(playlistName.ReverseFind(L'.'));
    EXPECT_NE(-1, welcome.Find(L"<b>" + playlistName + L"</b>")) << welcome.ToNarrow();
    testsupport::CaptureWindow(wizard, L"Console.BurnStartsTheRealCdWizard");
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    for (int i = 0; i < 200 && IsWindow(wizard); ++i)
        testsupport::PumpMessages(50);
    EXPECT_FALSE(IsWindow(wizard));
}

// The visible window with this id among the descendants of a window (of any process).
BOOL CALLBACK FindVisibleItem(HWND child, LPARAM param)
{
    auto* wanted = reinterpret_cast<std::pair<int, HWND>*>(param);
    if (GetDlgCtrlID(child) != wanted->first || !IsWindowVisible(child))
        return TRUE;
    wanted->second = child;
    return FALSE;
}
HWND VisibleItemOf(HWND window, int id)
{
    std::pair<int, HWND> wanted(id, nullptr);
    EnumChildWindows(window, FindVisibleItem, reinterpret_cast<LPARAM>(&wanted));
    return wanted.second;
}

// The burn road from the console's Burn command to the virtual recorder behind a CD drive letter,
// through the real CD wizard: a title of three parts of 10 s, each with a chapter marker at 5 s,
// burned onto one disc or two, in test mode, and with a write failure; the wizard's questions
// are answered as a user would.
TEST_F(Console, BurnRoadFromTheConsoleToTheVirtualRecorder)
{
    ScratchFolder media, recorder, discRoot, temp;
    Start();
    m_frame->SetWizardFolder(installedtest::ProgramFolder());
    CMediaObject* title = librarytest::MakeTitle(L"b1", L"s1", 3);
    title->GetMetadata().SetTitle(L"Dawn Crossing");
    title->GetMetadata().SetSortTitle(L"Dawn Crossing");
    title->GetMetadata().SetSubTitle(L"");
    title->SetDownloadFolder(media.Path());
    std::vector<CString> parts;
    for (int i = 0; i < 3; ++i) {
        CPartObject* part = title->GetPart(i);
        part->SetDuration(L"0:10");
        const CString path = part->GetFilePath(title);
        ASSERT_TRUE(CreateParentFolder(path));
        ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -f lavfi -i 'sine=frequency=" +
                                                 std::to_string(300 + 100 * i) + ":duration=10' -ac 2 -ar 44100 "
                                                 "-b:a 128k '" + testsupport::UnixPath(path) + "'"));
        CMediaMarkers markers;
        ASSERT_EQ(S_OK, markers.Open(path, FALSE));
        markers.AddMarker(L"Opening", 0);
        markers.AddMarker(L"Middle", 5000);
        ASSERT_EQ(S_OK, markers.Close(TRUE));
        part->m_fileSize = static_cast<int>(testsupport::FileSizeOf(path));
        parts.push_back(path);
    }
    Library()->AddTitleToLibrary(title);
    Library()->UpdateAllViews(nullptr);
    ASSERT_EQ(Rows(), "Autumn Light|Brass Harbour|Cinder Road|Dawn Crossing");

    // The recorder is found through a drive letter the system types as a CD drive.
    testsupport::TestDrive drive(discRoot.Path(), testsupport::DriveKind::CdRom);
    ASSERT_TRUE(drive.Made());
    const wchar_t letter[] = {drive.Letter(), L':', 0};
    const CString device = drive.DeviceName();
    ASSERT_EQ(0, device.Find(L"CdRom")) << device.ToNarrow();
    const CString fixture = recorder / L"recorders.ini";
    SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", fixture);
    // Whatever happens below, the environment comes back and no wizard of this test stays.
    struct Cleanup {
        wchar_t temp[MAX_PATH] = {}, tmp[MAX_PATH] = {};
        std::vector<DWORD> wizards;
        ~Cleanup()
        {
            for (DWORD id : wizards) {
                if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
                    if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
                        TerminateProcess(process, 1);
                        WaitForSingleObject(process, 5000);
                    }
                    CloseHandle(process);
                }
            }
            SetEnvironmentVariableW(L"TEMP", temp);
            SetEnvironmentVariableW(L"TMP", tmp);
            SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", nullptr);
        }
    } cleanup;
    GetEnvironmentVariableW(L"TEMP", cleanup.temp, MAX_PATH);
    GetEnvironmentVariableW(L"TMP", cleanup.tmp, MAX_PATH);
    SetEnvironmentVariableW(L"TEMP", temp.Path());
    SetEnvironmentVariableW(L"TMP", temp.Path());

    // Blocks of parts of 10 s with two tracks each, as the burn counts them.
    auto blocksFor = [](int count) { return (count * 10000 * 75 + 999) / 1000 + count * 2 * 151 + 1; };
    const struct Case {
        const char* name;
        std::string discs;
        bool testMode;
        std::vector<const wchar_t*> boxes;  // the beginnings of the boxes, answered OK in turn
        const wchar_t* endPage;             // the page the wizard ends on
        std::vector<size_t> tracks;         // per disc
        size_t closed, ejected;
    } cases[] = {
        {"one disc", "Discs=1\n[Drive1.Disc1]\nType=CD-R\n", false, {}, L"Burn Complete", {6}, 1, 1},
        {"two discs",
         "Discs=2\n[Drive1.Disc1]\nType=CD-R\nFreeBytes=" + std::to_string((blocksFor(2) + 50) * 2048) +
             "\n[Drive1.Disc2]\nType=CD-R\n",
         false, {L"The burning of CD "}, L"Burn Complete",
         {4, 2}, 2, 2},
        {"test mode", "Discs=1\n[Drive1.Disc1]\nType=CD-R\n", true,
         {L"The Emberquay will begin a burn in Test mode",
          L"The Emberquay has completed burning in Test mode without errors."},
         L"Confirm", {0}, 0, 1},
        {"a write failure at track 3", "Discs=1\n[Drive1.Disc1]\nType=CD-R\nFailTrack=3\n", false,
         {L"An error occurred while attempting to burn \"Folder b1-Part03.mp3\".\n\nUnable to burn track 3 of the CD "
          L"(track 1 of the part \""},
         L"Confirm", {2}, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testsupport::RemoveTree(recorder / L"discs");
        DeleteFileW(recorder / L"calls.log");
        testsupport::WriteAll(fixture, "[Recorders]\nCount=1\n[Drive1]\nDevice=" + device.ToNarrow() +
                                           "\nLetter=" + CString(letter).ToNarrow() +
                                           "\nVendor=VIRTUAL\nProduct=CD-RW 52X\n" + c.discs);
        // A CD wizard still ending (of an earlier test) would take this start over as its own.
        for (int i = 0; i < 600 && !testsupport::ProcessesNamed(L"Emberquay.exe").empty(); ++i)
            RunMessages(50);
        SelectRows({3});
        m_boxes.Clear();
        m_frame->SendMessage(WM_COMMAND, ID_TITLE_BURN);
        EXPECT_TRUE(m_boxes.Boxes().empty());
        DWORD process = 0;
        HWND sheet = nullptr;
        for (int i = 0; i < 2400 && !sheet; ++i) {
            sheet = testsupport::FindOtherProcessWindow(L"Vesperlin Emberquay - Welcome", &process);
            if (!sheet)
                RunMessages(50);
        }
        if (!sheet) {
            CString boxes;
            for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses())
                boxes += box.caption + L": " + box.text + L"\n";
            for (DWORD id : testsupport::ProcessesNamed(L"Emberquay.exe")) {
                cleanup.wizards.push_back(id);
                boxes.AppendFormat(L"Emberquay.exe %lu runs\n", static_cast<unsigned long>(id));
            }
            FAIL() << "the CD wizard's sheet did not appear\n" << boxes.ToNarrow();
        }
        cleanup.wizards.push_back(process);
        HANDLE wizard = OpenProcess(SYNCHRONIZE, FALSE, process);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        ASSERT_NE(nullptr, testsupport::WaitForProcessWindow(process, L"Vesperlin Emberquay - Confirm", 60000));
        RunMessages(300);
        if (c.testMode) {
            HWND options = VisibleItemOf(sheet, 1042);  // "&Options..." on the Confirm page
            ASSERT_NE(nullptr, options);
            PostMessageW(options, BM_CLICK, 0, 0);
            HWND dialog = testsupport::WaitForProcessWindow(process, L"Vesperlin Emberquay - Options");
            ASSERT_NE(nullptr, dialog);
            SendMessageW(GetDlgItem(dialog, 1060), BM_SETCHECK, BST_CHECKED, 0);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            for (int i = 0; i < 100 && IsWindow(dialog); ++i)
                RunMessages(50);
        }
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);

        // The questions and messages of the burn, answered OK in turn; then the page it ends on.
        std::vector<CString> shown;
        HWND end = nullptr;
        const CString endTitle = CString(L"Vesperlin Emberquay - ") + c.endPage;
        bool leftConfirm = false;
        for (int i = 0; i < 1200 && !end; ++i) {
            for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses()) {
                if (box.process != process)
                    continue;
                shown.push_back(box.text);
                testsupport::Answer(box, IDOK);
            }
            if (!testsupport::FindOtherProcessWindow(L"Vesperlin Emberquay - Confirm"))
                leftConfirm = true;
            if (leftConfirm && shown.size() >= c.boxes.size())
                end = testsupport::FindOtherProcessWindow(endTitle);
            if (!end)
                RunMessages(50);
        }
        ASSERT_NE(nullptr, end) << "the wizard did not end on " << endTitle.ToNarrow();
        RunMessages(300);
        if (c.tracks.size() == 1 && c.tracks[0] == 6)
            testsupport::CaptureWindow(end, L"Console.BurnRoad.Success");
        PostMessageW(end, PSM_PRESSBUTTON, c.endPage == CString(L"Confirm") ? PSBTN_CANCEL : PSBTN_FINISH, 0);
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(wizard, 20000));
        CloseHandle(wizard);

        ASSERT_EQ(c.boxes.size(), shown.size());
        for (size_t i = 0; i < c.boxes.size(); ++i)
            EXPECT_EQ(0, shown[i].Find(c.boxes[i])) << shown[i].ToNarrow();
        // Every track is CD audio; the tracks of the first disc start at the parts and their markers.
        std::string log;
        testsupport::RunHostCommand("cat '" + testsupport::UnixPath(recorder / L"calls.log") + "'", &log);
        auto count = [&log](const char* call) {
            size_t n = 0;
            for (size_t at = log.find(call); at != std::string::npos; at = log.find(call, at + 1))
                ++n;
            return n;
        };
        EXPECT_EQ(c.closed, count("StarBurn_CdvdBurnerGrabber_CloseSession grabber"));
        EXPECT_EQ(c.ejected, count("StarBurn_CdvdBurnerGrabber_Eject grabber"));
        for (size_t d = 0; d < c.tracks.size(); ++d) {
            CString folder;
            folder.Format(L"%s\\discs\\Drive1\\Disc%d", recorder.Path().GetString(), static_cast<int>(d) + 1);
            std::string frames;
            testsupport::RunHostCommand(
                "cd '" + testsupport::UnixPath(folder) + "' 2>/dev/null && python3 -c \"import glob, wave\n"
                "for f in sorted(glob.glob('Track*.wav')):\n"
                "    w = wave.open(f)\n"
                "    print(w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes())\"",
                &frames);
            std::vector<std::string> lines;
            for (size_t at = 0; at < frames.size();) {
                const size_t nl = frames.find('\n', at);
                lines.push_back(frames.substr(at, nl - at));
                at = nl == std::string::npos ? frames.size() : nl + 1;
            }
            ASSERT_EQ(c.tracks[d], lines.size()) << "disc " << d + 1 << "\n" << frames;
            for (size_t t = 0; t < lines.size(); ++t) {
                long rate = 0, channels = 0, width = 0, count = 0;
                ASSERT_EQ(4, sscanf(lines[t].c_str(), "%ld %ld %ld %ld", &rate, &channels, &width, &count)) << lines[t];
                EXPECT_EQ(44100, rate);
                EXPECT_EQ(2, channels);
                EXPECT_EQ(2, width);
                // 5 s from a part's start to its marker, and about as long from there to its end.
                EXPECT_LE(std::labs(count - 220500), t % 2 == 0 ? 588 : 4410) << "disc " << d + 1 << " track " << t + 1;
            }
        }
        std::vector<CString> left;
        WIN32_FIND_DATAW found = {};
        HANDLE search = FindFirstFileW(temp / L"*", &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    left.emplace_back(found.cFileName);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        EXPECT_TRUE(left.empty()) << left.size() << " file(s) left in the temporary folder";
    }
}

// The Apple road from the console: Transfer starts the real device wizard, which finds the
// iPod (and for an MP3 title the library) the iTunes stand-in shows. A Windows Media part is
// converted to WAV, made AAC by iTunes and given its markers as chapters; an MP3 part goes as
// it is. Every part arrives with its fields and the title's picture, iTunes' encoder is the
// user's again, and neither the title's folder nor the temporary folder keeps anything of the
// run. The stand-in keeps a copy of what it was given, as the iPod or library would.
TEST_F(Console, TransferSendsAnAudiobookToAnIPodOrTheLibraryThroughITunes)
{
    const struct {
        const char* name;
        bool wma;
        int player;  // index in the Confirm page's list
        const wchar_t* source;
        bool iTunesOpen = true;  // else the wizard's search starts it
    } cases[] = {
        {"Windows Media audiobook to the iPod", true, 0, L"Ada's iPod"},
        {"MP3 audiobook to the iPod", false, 0, L"Ada's iPod"},
        {"MP3 audiobook to the library", false, 1, L"Library"},
        {"Windows Media audiobook to the iPod, iTunes closed at the start", true, 0, L"Ada's iPod", false},
    };
    // The chapter server as installed, registered from the program folder.
    const CString tessaline = installedtest::ProgramFolder() + L"\\Tessaline.dll";
    ASSERT_EQ(0, comtest::RunRegsvr32(tessaline));
    struct Unregister {
        CString module;
        ~Unregister() { comtest::RunRegsvr32(module, true); }
    } unregister{tessaline};
    // The add thread's extra waits for Windows Media parts are not wanted here.
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Vesperlin, Inc.\\Carrowind", L"WMAToAppleDeviceWaitSeconds", REG_SZ,
                    L"0", 2 * sizeof(wchar_t));
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        itunestest::StandinRun iTunes("[iTunes]\nCurrentEncoder=MP3 Encoder\nConvertPolls=2\nKeep=kept\n"
                                      "[Sources]\nCount=2\n[Source1]\nKind=1\nName=Library\n"
                                      "[Source2]\nKind=2\nName=Ada's iPod\nFreeSpace=4000000000\n",
                                      c.iTunesOpen);
        ASSERT_EQ(c.iTunesOpen, iTunes.Started());
        ScratchFolder media, player, tools;
        CMediaObject* title = nullptr;
        ASSERT_NO_FATAL_FAILURE(title = TitleForTheWizards(installedtest::ProgramFolder(), media));
        title->GetMetadata().SetContentKind(c.wma ? KindAudiobook : KindMp3Audiobook);
        ThreePartsWithAPicture(title);
        std::vector<CString> parts;
        for (int i = 0; i < 3; ++i) {
            const CString path = title->GetPart(i)->GetFilePath(title);
            ASSERT_TRUE(CreateParentFolder(path));
            CString tone;
            tone.Format(L"tone-%d.%s", i + 1, c.wma ? L"wma" : L"mp3");
            ASSERT_TRUE(CopyFileW(c.wma ? mediafixtures::MakeWma(media, tone) : mediafixtures::MakeMp3(media, tone),
                                  path, FALSE));
            parts.push_back(path);
        }
        const std::vector<CString> mediaBefore = testsupport::FilesBelow(media.Path());
        // (What the stand-in keeps lives in its own folder, not the run's.)
        const CString keptBelow = iTunes.Folder().Mid(iTunes.Folder().ReverseFind(L'\\') + 1) + L"\\";
        auto audioInTemp = [&keptBelow] {
            std::vector<CString> files;
            for (const CString& file : testsupport::TempFilesEndingIn({L".wav", L".m4a", L".m4b"})) {
                if (file.Left(keptBelow.GetLength()).CompareNoCase(keptBelow) != 0)
                    files.push_back(file);
            }
            return files;
        };
        const std::vector<CString> tempBefore = audioInTemp();

        // No other player: the iPod and the library are the only ones.
        testsupport::WriteAll(player / L"devices.ini", "[Devices]\nCount=0\n");
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", player / L"devices.ini");
        SelectRows({0});
        m_frame->SendMessage(WM_COMMAND, ID_TITLE_TRANSFER);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);

        DWORD wizard = 0;
        const HWND sheet = WizardAtConfirm(&wizard);
        ASSERT_NE(nullptr, sheet);
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, wizard);
        ASSERT_NE(nullptr, process);
        // The player as a user picks it in the Confirm page's list.
        const HWND confirm = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
        const HWND players = GetDlgItem(confirm, 1023);
        ASSERT_NE(nullptr, players);
        SendMessageW(players, CB_SETCURSEL, static_cast<WPARAM>(c.player), 0);
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
        // An iTunes whose import setting is not the recommended one shows the Settings page first.
        HWND done = nullptr;
        bool settingsPassed = false;
        for (int i = 0; i < 1200 && !done; ++i) {
            done = testsupport::FindOtherProcessWindow(L"Vesperlin Carrowind - Transfer Complete", &wizard);
            if (!settingsPassed && testsupport::FindOtherProcessWindow(L"Vesperlin Carrowind - Settings", &wizard)) {
                settingsPassed = true;
                RunMessages(200);
                PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
            }
            for (const testsupport::ProcessBox& box : testsupport::BoxesOfOtherProcesses()) {
                ADD_FAILURE() << "the wizard asks: " << box.text.ToNarrow();
                testsupport::Answer(box, IDCANCEL);
            }
            if (!done)
                RunMessages(100);
        }
        if (done) {
            if (c.wma)
                testsupport::CaptureWindow(sheet, L"Carrowind.AppleSuccessFromConsole");
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_FINISH, 0);
        } else {
            PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
        EXPECT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), WaitForSingleObject(process, 20000));
        CloseHandle(process);
        ASSERT_NE(nullptr, done);

        // The target's tracks: one per part, in order, with the title's fields and picture.
        std::vector<CString> tracks;
        const int count = iTunes.StateNumber(L"Tracks", L"Count");
        for (int i = 1; i <= count; ++i) {
            CString section;
            section.Format(L"Track%d", i);
            if (iTunes.State(section, L"Source") == c.source)
                tracks.push_back(section);
        }
        ASSERT_EQ(3u, tracks.size());
        const CString kept = iTunes.Path(L"kept");
        for (int i = 0; i < 3; ++i) {
            CString suffix;
            suffix.Format(L"-Part%02d", i + 1);
            const CString name = iTunes.State(tracks[i], L"Name");
            EXPECT_EQ(suffix, name.Right(suffix.GetLength())) << name.ToNarrow();
            EXPECT_EQ(i + 1, iTunes.StateNumber(tracks[i], L"Number"));
            if (c.player == 0) {
                EXPECT_EQ(CString(L"Audiobook"), iTunes.State(tracks[i], L"Genre"));
                EXPECT_EQ(CString(L"Autumn Light"), iTunes.State(tracks[i], L"Album"));
                const CString artwork = iTunes.State(tracks[i], L"Artwork");
                ASSERT_FALSE(artwork.IsEmpty()) << name.ToNarrow();
                EXPECT_EQ("\xFF\xD8", testsupport::ReadAllBytes(artwork).substr(0, 2));
            }
            if (!c.wma) {
                // An MP3 part reaches iTunes as it is.
                const CString file = parts[static_cast<size_t>(i)];
                EXPECT_EQ(testsupport::ReadAllBytes(file),
                          testsupport::ReadAllBytes(kept + L"\\" + file.Mid(file.ReverseFind(L'\\') + 1)));
                continue;
            }
            // The WAV iTunes was given, and the AAC part it made, with the part's markers as chapters.
            std::string wave;
            ASSERT_EQ(0, mediafixtures::RunPython(tools,
                                                  "import wave\nw = wave.open(" +
                                                      testsupport::ShellQuoted(kept + L"\\" + name + L".wav") +
                                                      ")\nprint(w.getnchannels(), w.getsampwidth(), w.getframerate(), "
                                                      "w.getnframes())\n",
                                                  &wave))
                << name.ToNarrow();
            long channels = 0, width = 0, rate = 0, frames = 0;
            ASSERT_EQ(4, sscanf(wave.c_str(), "%ld %ld %ld %ld", &channels, &width, &rate, &frames)) << wave;
            EXPECT_EQ(2, width);
            EXPECT_GE(channels, 1);
            // The 3-second tone, whole.
            EXPECT_NEAR(3.0, static_cast<double>(frames) / rate, 0.1) << wave;
            const CString aac = kept + L"\\" + name + L".m4b";
            EXPECT_EQ(mp4fixtures::ChapterText({{0, 1500, "Intro"}, {1500, mp4fixtures::SoundEndMs(tools, aac), "Second part"}}),
                      mp4fixtures::Chapters(tools, aac));
        }
        EXPECT_EQ(CString(L"MP3 Encoder"), iTunes.State(L"iTunes", L"CurrentEncoder"));
        // Only the playlist and order file the console left for the wizard are new there.
        std::vector<CString> mediaAfter;
        for (const CString& file : testsupport::FilesBelow(media.Path())) {
            if (file.Right(4).CompareNoCase(L".wax") != 0 && file.Right(4).CompareNoCase(L".vpm") != 0)
                mediaAfter.push_back(file);
        }
        EXPECT_EQ(mediaBefore, mediaAfter);
        EXPECT_EQ(tempBefore, audioInTemp());
    }
}

TEST_F(Console, DeletingAnInstalledGameUninstallsItFirst)
{
    ScratchFolder media, install;
    const CString gameFolder = install / L"Test Game";
    SetEnvironmentVariableW(L"VESPERLIN_TEST_GAME_DIR", gameFolder);
    programtest::RemoveTestGameEntry();
    Start();
    CMediaObject* game = FixtureTitle(L"g1", L"Dune Runner", L"s1", {{L"Ann Ames", L"Developer"}}, L"English", L"");
    game->GetMetadata().SetContentKind(KindGame);
    game->SetDownloadFolder(media.Path());
    game->SetTitleFolder(L"");  // the installer keeps its own name, in the download folder's "Media"
    game->GetPart(0)->m_fileName = L"Setup Dune Runner.exe";
    Library()->AddTitleToLibrary(game);
    Library()->UpdateAllViews(nullptr);
    for (const auto& [section, value] : {std::pair<const wchar_t*, CString>{L"Game Uninstall Keys", L"VesperlinTestGame"},
                                         {L"Game Exe Names", L"TestGame.exe"},
                                         {L"Game Default Folders", gameFolder}})
        m_app->WriteProfileString(section, L"g1", value);

    // Installed from its first part, the tiny installer, as Play does.
    const CString installer = game->GetPart(0)->GetFilePath(game);
    ASSERT_TRUE(CreateParentFolder(installer));
    ASSERT_TRUE(CopyFileW(programtest::StubProgram(), installer, FALSE));
    ASSERT_TRUE(InstallGame(*game));
    ASSERT_TRUE(programtest::WaitForFile(gameFolder + L"\\installed.txt"));
    EXPECT_TRUE(programtest::TestGameRegistered());
    EXPECT_TRUE(FileExists(gameFolder + L"\\TestGame.exe"));
    // Started once, which stores where its program lies.
    testsupport::WriteAll(gameFolder + L"\\TestGame.exe.go", std::string());
    ASSERT_TRUE(LaunchGame(*game));
    ASSERT_TRUE(programtest::WaitForFile(gameFolder + L"\\TestGame.exe.txt"));
    EXPECT_FALSE(m_app->GetProfileString(L"Game Exe Paths", L"g1").IsEmpty());

    // Deleting it: both questions answered Yes; the uninstaller runs and the game's
    // settings go with the title.
    ASSERT_EQ(Rows(), "Autumn Light|Brass Harbour|Cinder Road|Dune Runner");
    SelectRows({3});
    m_boxes.SetAnswer(IDYES);
    m_frame->SendMessage(WM_COMMAND, ID_TITLE_DELETE);
    ASSERT_EQ(2u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"One or more of the selected titles to delete is an installed game.  Would you like to uninstall "
                      L"the game(s) before deleting them from Vesperlin for Windows?"),
              m_boxes.Boxes()[1].text);
    ASSERT_TRUE(programtest::WaitForFile(gameFolder + L"\\uninstalled.txt"));
    EXPECT_FALSE(programtest::TestGameRegistered());
    EXPECT_FALSE(FileExists(gameFolder + L"\\TestGame.exe"));
    EXPECT_EQ(Library()->FindTitle(L"g1"), nullptr);
    EXPECT_FALSE(FileExists(installer));
    for (const wchar_t* section : {L"Game Uninstall Keys", L"Game Exe Names", L"Game Default Folders", L"Game Exe Paths"})
        EXPECT_EQ(CString(L"<none>"), m_app->GetProfileString(section, L"g1", L"<none>")) << CString(section).ToNarrow();
    SetEnvironmentVariableW(L"VESPERLIN_TEST_GAME_DIR", nullptr);
    programtest::RemoveTestGameEntry();
}

TEST(ConsoleRules, QuestionBoxesGetTheQuestionIconOnlyWithoutAnIconOfTheirOwn)
{
    const struct {
        UINT asked;
        UINT shown;
    } cases[] = {
        {MB_OK, MB_OK},
        {MB_OKCANCEL, MB_OKCANCEL},
        {MB_YESNO, MB_YESNO | MB_ICONQUESTION},
        {MB_YESNOCANCEL, MB_YESNOCANCEL | MB_ICONQUESTION},
        {MB_RETRYCANCEL, MB_RETRYCANCEL | MB_ICONQUESTION},
        {MB_CANCELTRYCONTINUE, MB_CANCELTRYCONTINUE | MB_ICONQUESTION},
        {MB_ABORTRETRYIGNORE, MB_ABORTRETRYIGNORE},
        {MB_YESNO | MB_ICONERROR, MB_YESNO | MB_ICONERROR},
        {MB_YESNO | MB_ICONINFORMATION, MB_YESNO | MB_ICONINFORMATION},
        {MB_YESNO | MB_DEFBUTTON2, MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CBrenvaleApp::AdjustMessageBoxType(c.asked), c.shown) << c.asked;

    CBrenvaleApp app(kTestAppName);
    app.LoadSuppressedMessageText();
    MessageBoxRecorder boxes(IDCANCEL);
    EXPECT_EQ(app.DoMessageBox(L"Failed to launch help.", MB_OKCANCEL, 0), IDOK);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(app.DoMessageBox(L"Failed to launch help!", MB_OKCANCEL, 0), IDCANCEL);
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST(ConsoleRules, TheCommandLineNamesAFileOrALinkAndTheTemplateHasSevenFields)
{
    const struct {
        const wchar_t* commandLine;
        CCommandLineInfo::ShellCommand command;
        const wchar_t* file;
        bool splash;
    } cases[] = {
        {L"Larkmoor.exe", CCommandLineInfo::FileNew, L"", true},
        {L"Larkmoor.exe \"C:\\My Orders\\a.vpm\"", CCommandLineInfo::FileOpen, L"C:\\My Orders\\a.vpm", true},
        {L"Larkmoor.exe zkyopen://media.test/o?id=1&k=2", CCommandLineInfo::FileOpen, L"zkyopen://media.test/o?id=1&k=2", true},
        {L"Larkmoor.exe /dde", CCommandLineInfo::FileDDE, L"", true},
        {L"Larkmoor.exe -Embedding", CCommandLineInfo::FileNew, L"", false},
        {L"Larkmoor.exe /AUTOMATION", CCommandLineInfo::FileNew, L"", false},
        {L"Larkmoor.exe /p a.vpm", CCommandLineInfo::FilePrint, L"a.vpm", true},
        {L"Larkmoor.exe /Unregserver", CCommandLineInfo::AppUnregister, L"", true},
        {L"Larkmoor.exe /unknown b.vpm c.vpm", CCommandLineInfo::FileOpen, L"b.vpm", true},
    };
    for (const auto& c : cases) {
        CCommandLineInfo info;
        const CStringArray arguments = AfxSplitCommandLine(c.commandLine);
        for (INT_PTR i = 0; i < arguments.GetSize(); ++i) {
            const bool flag = arguments[i][0] == L'/' || arguments[i][0] == L'-';
            info.ParseParam(flag ? arguments[i].Mid(1) : arguments[i], flag, i + 1 == arguments.GetSize());
        }
        EXPECT_EQ(info.m_nShellCommand, c.command) << CString(c.commandLine).ToNarrow();
        EXPECT_EQ(info.m_strFileName, c.file) << CString(c.commandLine).ToNarrow();
        EXPECT_EQ(info.m_bShowSplash != FALSE, c.splash) << CString(c.commandLine).ToNarrow();
    }

    CSingleDocTemplate docTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CBrenvaleDoc), RUNTIME_CLASS(CMainFrame),
                                   RUNTIME_CLASS(CView));
    EXPECT_TRUE(docTemplate.IsValid());
    const wchar_t* const fields[] = {L"Vesperlin for Windows", L"", L"VPMedia", L"Vesperlin Media Files (*.vpm)",
                                     L".vpm", L"Vesperlin.Media", L"Vesperlin.Media"};
    for (int i = 0; i < 7; ++i) {
        CString text;
        docTemplate.GetDocString(text, static_cast<CDocTemplate::DocStringIndex>(i));
        EXPECT_EQ(text, fields[i]) << i;
    }
}

TEST(ConsoleRules, DynamicMenuItemsShareTheirListsHelpContext)
{
    const struct {
        DWORD context;
        DWORD folded;
    } cases[] = {{99535, 99535},   {99536, 99536},   {99556, 99536},   {99557, 99557},   {100036, 100036},
                 {100050, 100036}, {100536, 100536}, {100556, 100536}, {100557, 100557}, {0x20067, 0x20067}};
    for (const auto& c : cases)
        EXPECT_EQ(CMainFrame::FoldHelpContext(c.context), c.folded) << c.context;
}

TEST(Splash, AMissingBitmapShowsNothingAndTheTimerWaitsForTheMainWindow)
{
    EXPECT_FALSE(CSplashWnd::ShowSplashScreen(9999, 3000));
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    CSplashWnd::OnMainWindowShown();  // harmless without a splash

    const DWORD start = GetTickCount();
    ASSERT_TRUE(CSplashWnd::ShowSplashScreen(IDB_SPLASH, 3000));
    ASSERT_NE(CSplashWnd::Current(), nullptr);
    HWND splash = CSplashWnd::Current()->m_hWnd;
    EXPECT_TRUE(GetWindowLongW(splash, GWL_EXSTYLE) & WS_EX_TOPMOST);
    testsupport::CaptureWindow(splash, L"Splash.Window");
    CSplashWnd::OnMainWindowShown();  // shown early: the splash stays for its time
    testsupport::PumpMessages(1000);
    EXPECT_NE(CSplashWnd::Current(), nullptr);
    while (CSplashWnd::Current() && GetTickCount() - start < 10000)
        testsupport::PumpMessages(20);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(CSplashWnd::Current(), nullptr);
    EXPECT_FALSE(IsWindow(splash));
    EXPECT_GE(elapsed, 2900u);
    EXPECT_LT(elapsed, 6000u);
}

TEST(SuppressibleMessage, ACheckedBoxSuppressesTheKeyEvenWhenAnsweredNo)
{
    SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
    CBrenvaleApp app(kTestAppName);
    app.SetRegistryKey(IDS_COMPANY_KEY);
    HWND shown = nullptr;
    CString text, check;
    {
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
            [&] {
                shown = testsupport::WaitForWindow(nullptr, L"Vesperlin", 0);
                if (!shown)
                    return false;
                text = CWnd::FromHandle(shown)->GetDlgItemText(IDC_SUPPRESSIBLE_TEXT);
                check = CWnd::FromHandle(shown)->GetDlgItemText(IDC_SUPPRESSIBLE_CHECK);
                testsupport::CaptureWindow(shown, L"SuppressibleMessage.UpdateOffer");
                CheckDlgButton(shown, IDC_SUPPRESSIBLE_CHECK, BST_CHECKED);
                PostMessageW(shown, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(shown, IDNO)));
                return true;
            },
        });
        CSuppressibleMessageDlg dialog(IDD_SUPPRESSIBLE_UPDATE, L"2.5.0.1", nullptr, L"Faster downloads.", FALSE);
        EXPECT_EQ(dialog.DoModal(), IDNO);
    }
    EXPECT_EQ(text, L"A newer version of Vesperlin for Windows (\"2.5.0.1\") is available.\n\nFaster downloads.\n\nWould "
                    L"you like to quit Vesperlin for Windows and download this update?");
    EXPECT_EQ(check, L"&Do not prompt on this release again for version \"2.5.0.1\".");
    EXPECT_TRUE(CSuppressibleMessageDlg::IsSuppressed(L"2.5.0.1"));
    // Suppressed: IDOK without a window.
    CSuppressibleMessageDlg again(IDD_SUPPRESSIBLE_UPDATE, L"2.5.0.1", nullptr, L"", FALSE);
    EXPECT_EQ(again.DoModal(), IDOK);
    // Shown anyway: checked.
    UINT state = 0;
    {
        testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
            [&] {
                HWND window = testsupport::WaitForWindow(nullptr, L"Vesperlin", 0);
                if (!window)
                    return false;
                state = IsDlgButtonChecked(window, IDC_SUPPRESSIBLE_CHECK);
                PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(window, IDYES)));
                return true;
            },
        });
        CSuppressibleMessageDlg shownAnyway(IDD_SUPPRESSIBLE_UPDATE, L"2.5.0.1", nullptr, L"", TRUE);
        EXPECT_EQ(shownAnyway.DoModal(), IDYES);
    }
    EXPECT_EQ(state, static_cast<UINT>(BST_CHECKED));
    // Another version is not suppressed.
    EXPECT_FALSE(CSuppressibleMessageDlg::IsSuppressed(L"2.6.0.0"));
    SHDeleteKeyW(HKEY_CURRENT_USER, kProfileKey);
}

}  // namespace
