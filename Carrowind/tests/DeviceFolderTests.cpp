// A player's folders and files through the device manager's stand-in: the lookup by path, the
// changes of the folder browser, the folder list, the title's album, formats and size texts.
#include "DeviceFolders.h"
#include "FileUtils.h"
#include "MediaFixtures.h"
#include "TransferFixtures.h"
#include "WmdmServices.h"

#include <gtest/gtest.h>

#include <gdiplus.h>

#include <stdexcept>

using transfertest::Exists;

namespace {

class DeviceFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        for (const wchar_t* folder : {L"player", L"player\\Music", L"player\\Music\\Books", L"ppc", L"ppc\\My Documents",
                                      L"ppc\\My Documents\\Audiobooks", L"ppc\\Storage Card", L"ppc\\Storage Card\\Audiobooks"})
            CreateDirectoryW(m_folder / folder, nullptr);
        transfertest::MakeBytes(m_folder, L"player\\Music\\Books\\small.mp3", 1023, 1);
        transfertest::MakeBytes(m_folder, L"player\\Music\\Books\\big.mp3", 1048576, 2);
    }
    void TearDown() override
    {
        transfertest::ForgetFixtures();
        CoUninitialize();
    }

    // A player over "player" whose first storage has the given name (device lines may give its
    // formats; else it keeps albums).
    std::unique_ptr<PlayerRecord> Player(const char* rootName = "Internal Storage", const char* device = "",
                                         int protocolFlag = 1)
    {
        auto player = transfertest::MakePlayer(
            m_folder,
            std::string("[Devices]\nCount=1\n[Device1]\nName=Kitchen Player\n") +
                (std::string(device).find("Formats=") == std::string::npos ? "Formats=0x3009,0xBA03\n" : "") + device +
                "[Device1.Storage1]\nFolder=player\nName=" + rootName + "\n",
            L"Kitchen Player", protocolFlag);
        if (!player)
            throw std::runtime_error("the fixture's player is missing");
        return player;
    }

    std::unique_ptr<PlayerRecord> MobilePlayer(bool card) { return transfertest::MakeMobilePlayer(m_folder, card); }

    testsupport::ScratchFolder m_folder;
};

TEST_F(DeviceFolders, LookupByPath)
{
    const struct {
        const char* label;
        const char* rootName;
        const wchar_t* path;
        const wchar_t* file;
        HRESULT result;
        const wchar_t* folderName;  // null: no folder given back
        bool fileFound;
    } cases[] = {
        {"a backslash on a named first storage", "Internal Storage", L"\\", nullptr, S_OK, L"Internal Storage", false},
        {"the first storage by its name", "Internal Storage", L"Internal Storage", nullptr, S_OK, L"Internal Storage", false},
        {"two levels from a plain root", "\\", L"\\Music\\Books", nullptr, S_OK, L"Books", false},
        {"a trailing backslash", "\\", L"\\Music\\Books\\", nullptr, S_OK, L"Books", false},
        {"names in another case", "\\", L"\\MUSIC\\books", nullptr, S_OK, L"Books", false},
        {"a missing folder on the way", "\\", L"\\Missing\\Books", nullptr, E_FAIL, nullptr, false},
        {"an empty name inside the path", "\\", L"\\Music\\\\Books", nullptr, HRESULT_FROM_WIN32(ERROR_INVALID_NAME),
         nullptr, false},
        {"a file in the folder", "\\", L"\\Music\\Books", L"small.mp3", S_OK, L"Books", true},
        {"a file that is not there", "\\", L"\\Music\\Books", L"other.mp3", S_FALSE, L"Books", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto player = Player(c.rootName);
        IWMDMStorage* folder = nullptr;
        IWMDMStorage* file = nullptr;
        EXPECT_EQ(c.result, player->FindStorage(player->GetDeviceInterface(), c.path, c.file, &folder, &file));
        ASSERT_EQ(c.folderName != nullptr, folder != nullptr);
        if (folder) {
            EXPECT_EQ(CString(c.folderName), GetWmdmStorageName(folder));
            folder->Release();
        }
        EXPECT_EQ(c.fileFound, file != nullptr);
        if (file)
            file->Release();
    }
    IWMDMStorage* folder = nullptr;
    EXPECT_EQ(E_POINTER, FindWmdmStorageByPath(nullptr, nullptr, &folder, nullptr, L"\\", 0, nullptr));
}

TEST_F(DeviceFolders, WindowsMobileFoldersLieBelowTheirRoot)
{
    for (bool card : {false, true}) {
        SCOPED_TRACE(card ? "a storage card" : "the main memory");
        auto player = MobilePlayer(card);
        IWMDMStorage* root = player->GetRootStorage(player->GetDeviceInterface());
        ASSERT_NE(nullptr, root);
        EXPECT_EQ(CString(card ? L"Storage Card" : L"My Documents"), GetWmdmStorageName(root));
        root->Release();
        EXPECT_EQ(CString(card ? L"Storage Card" : L"My Documents"), player->GetRootStorageName());
        EXPECT_TRUE(player->EditDevicePath(L"\\Audiobooks\\Night", nullptr, FALSE) == 0);
        EXPECT_TRUE(Exists(m_folder / (card ? L"ppc\\Storage Card\\Audiobooks\\Night" : L"ppc\\My Documents\\Audiobooks\\Night")));
        EXPECT_FALSE(Exists(m_folder / L"ppc\\Audiobooks"));
    }
}

TEST_F(DeviceFolders, EditingPaths)
{
    const CString longName(L'x', MAX_PATH + 1);
    const struct {
        const char* label;
        CString path;
        const wchar_t* newName;
        BOOL item;
        DWORD result;
        const wchar_t* there;     // exists afterwards (relative to "player")
        const wchar_t* notThere;  // does not exist afterwards
    } cases[] = {
        {"create two levels", L"\\Music\\New\\Deeper", nullptr, FALSE, 0, L"Music\\New\\Deeper", nullptr},
        {"create an existing folder", L"\\Music", nullptr, FALSE, ERROR_ALREADY_EXISTS, L"Music", L"Music\\Music"},
        {"a path of 261 characters", L"\\" + longName, nullptr, FALSE, ERROR_FILENAME_EXCED_RANGE, nullptr, nullptr},
        {"an empty name inside the path", L"\\Music\\\\Empty", nullptr, FALSE, ERROR_CANNOT_MAKE, nullptr, L"Empty"},
        {"rename a file", L"\\Music\\Books\\small.mp3", L"tiny.mp3", FALSE, 0, L"Music\\Books\\tiny.mp3",
         L"Music\\Books\\small.mp3"},
        {"rename onto an existing name", L"\\Music\\Books\\tiny.mp3", L"big.mp3", FALSE, ERROR_ALREADY_EXISTS,
         L"Music\\Books\\tiny.mp3", nullptr},
        {"rename a folder", L"\\Music\\New", L"Newer", FALSE, 0, L"Music\\Newer\\Deeper", L"Music\\New"},
        {"a new name of 261 characters", L"\\Music\\Newer", longName, FALSE, ERROR_FILENAME_EXCED_RANGE,
         L"Music\\Newer", nullptr},
        {"rename what is not there", L"\\Music\\Gone", L"Other", FALSE, ERROR_CANNOT_MAKE, nullptr, L"Music\\Other"},
        {"delete a folder with what it holds", L"\\Music\\Newer", nullptr, TRUE, 0, L"Music", L"Music\\Newer"},
        {"delete what is not there", L"\\Music\\Newer", nullptr, TRUE, ERROR_CANNOT_MAKE, nullptr, nullptr},
    };
    auto player = Player("\\");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.result, player->EditDevicePath(c.path, c.newName, c.item));
        if (c.there) {
            EXPECT_TRUE(Exists(m_folder / (CString(L"player\\") + c.there)));
        }
        if (c.notThere) {
            EXPECT_FALSE(Exists(m_folder / (CString(L"player\\") + c.notThere)));
        }
    }
    PlayerRecord none(L"P", nullptr, L"", NoSerialNumber(), 0);
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), none.EditDevicePath(L"\\Music\\X", nullptr, FALSE));
}

TEST_F(DeviceFolders, ExistsAndAttributes)
{
    auto player = Player("\\");
    DWORD attributes = 0;
    EXPECT_TRUE(player->FolderExists(L"\\Music\\Books", &attributes));
    EXPECT_TRUE(attributes & wmdm::kAttrFolder);
    EXPECT_FALSE(player->FolderExists(L"\\Music\\Missing"));
    EXPECT_TRUE(player->FileExists(L"big.mp3", L"\\Music\\Books"));
    EXPECT_FALSE(player->FileExists(L"big.mp3", L"\\Music"));
    EXPECT_TRUE(player->SetStorageAttributes(L"big.mp3", L"\\Music\\Books", wmdm::kAttrReadOnly));
    EXPECT_NE(std::string::npos, transfertest::Text(m_folder / L"player\\Music\\Books\\big.mp3.props").find("Attributes="));
    EXPECT_FALSE(player->SetStorageAttributes(L"gone.mp3", L"\\Music\\Books", 0));
}

TEST_F(DeviceFolders, TheFolderList)
{
    auto player = Player("\\");
    player->displayName = L"Kitchen Player";
    player->ListFolders(CString());
    ASSERT_EQ(5u, player->folders.size());
    const struct {
        int index;
        int parent;
        const wchar_t* name;
        const wchar_t* path;
        const wchar_t* size;
        bool folder;
    } expected[] = {
        {0, -1, L"Kitchen Player", L"\\", L"", true},
        {1, 0, L"Music", L"\\Music", L"", true},
        {2, 1, L"Books", L"\\Music\\Books", L"", true},
    };
    for (const auto& e : expected) {
        const PlayerFolderEntry& entry = *player->folders.at(e.index);
        EXPECT_EQ(e.parent, entry.parentIndex) << e.index;
        EXPECT_EQ(CString(e.name), entry.name);
        EXPECT_EQ(CString(e.path), entry.path);
        EXPECT_EQ(CString(e.size), entry.sizeText);
        EXPECT_EQ(e.folder, entry.isFolder != 0);
    }
    // The two files below Books, in the stand-in's order.
    CString sizes;
    for (int i = 3; i < 5; ++i) {
        EXPECT_EQ(2, player->folders.at(i)->parentIndex);
        sizes += player->folders.at(i)->name + L"=" + player->folders.at(i)->sizeText + L";";
    }
    EXPECT_TRUE(sizes == L"big.mp3=1,024 KB;small.mp3=1 KB;" || sizes == L"small.mp3=1 KB;big.mp3=1,024 KB;")
        << static_cast<const wchar_t*>(sizes);
    // Listed again, the list is made anew rather than added to.
    player->ListFolders(L"Other caption");
    EXPECT_EQ(5u, player->folders.size());
    EXPECT_EQ(CString(L"Other caption"), player->folders.at(0)->name);

    // A Windows Mobile main memory names its My Documents in the caption.
    auto mobile = MobilePlayer(false);
    mobile->ListFolders(L"Pocket PC (Windows Mobile)");
    ASSERT_FALSE(mobile->folders.empty());
    EXPECT_EQ(CString(L"Pocket PC (Windows Mobile\\My Documents)"), mobile->folders.at(0)->name);
    EXPECT_EQ(CString(L"\\"), mobile->folders.at(0)->path);
    ASSERT_GE(mobile->folders.size(), 2u);
    EXPECT_EQ(CString(L"\\Audiobooks"), mobile->folders.at(1)->path);
}

TEST(StorageSizes, Texts)
{
    const struct {
        ULONGLONG bytes;
        bool atLeastOne;
        const wchar_t* text;
    } cases[] = {
        {0, true, L"1 KB"},          {0, false, L"0 KB"},          {1023, true, L"1 KB"},
        {1048576, true, L"1,024 KB"}, {999999ull * 1024, true, L"999,999 KB"},
        {1234567ull * 1024, true, L"1,234,567 KB"}, {1234567890ull * 1024, true, L"1,234,567,890 KB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.text), FormatStorageSize(c.bytes, c.atLeastOne)) << c.bytes;
}

TEST(AlbumArt, EncodersByFormatCode)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::Ok, Gdiplus::GdiplusStartup(&token, &input, nullptr));
    const struct {
        DWORD code;
        bool found;
    } cases[] = {{0x3804, true}, {0x3807, true}, {0x3808, true}, {0x380B, true}, {0x380D, true}, {0x3009, false}, {0, false}};
    for (const auto& c : cases) {
        CLSID encoder{};
        const HRESULT hr = GetImageEncoderForFormat(c.code, &encoder);
        EXPECT_EQ(c.found ? S_OK : HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS), hr) << std::hex << c.code;
    }
    Gdiplus::GdiplusShutdown(token);
}

TEST_F(DeviceFolders, Albums)
{
    const CString cover = transfertest::MakePicture(m_folder, L"Cover.png", 40, 30);
    testsupport::WriteAll(m_folder / L"Empty.jpg", "");
    const struct {
        const char* label;
        const char* device;
        const wchar_t* folder;
        CString cover;
        bool made;
        const wchar_t* albumFile;  // relative to "player"
        bool art;
    } cases[] = {
        {"a new album with its art", "", L"\\Music\\Books", cover, true, L"Music\\Books\\Night.alb", true},
        {"the album found again", "", L"\\Music\\Books", cover, true, L"Music\\Books\\Night.alb", true},
        {"its folder made first", "", L"\\Music\\Later", cover, true, L"Music\\Later\\Night.alb", true},
        {"an empty cover: no art", "", L"\\Music\\Plain", m_folder / L"Empty.jpg", true, L"Music\\Plain\\Night.alb", false},
        {"no cover: no album", "", L"\\Music\\None", CString(), false, L"Music\\None\\Night.alb", false},
        {"a device that keeps no albums", "Formats=0x3009\n", L"\\Music\\Other", cover, false,
         L"Music\\Other\\Night.alb", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        DeleteFileW(m_folder / L"Device1.events.log");
        auto player = Player("\\", c.device);
        player->albumReady = 7;
        IWMDMStorage* album = CreateAlbumOnDevice(player.get(), player->GetDeviceInterface(), L"Night", c.cover,
                                                  c.folder, CString());
        EXPECT_EQ(c.made, album != nullptr);
        if (album)
            album->Release();
        EXPECT_EQ(c.made, Exists(m_folder / (CString(L"player\\") + c.albumFile)));
        EXPECT_EQ(c.art, Exists(m_folder / (CString(L"player\\") + c.albumFile + L".AlbumCoverData.bin")));
        if (c.made) {
            EXPECT_EQ(1, player->albumReady);
        }
        if (std::string(c.label) == "the album found again") {
            EXPECT_EQ(0, transfertest::CountLines(transfertest::Text(m_folder / L"Device1.events.log"), "Insert3"));
        }
    }
    const std::string properties = transfertest::Text(m_folder / L"player\\Music\\Books\\Night.alb.props");
    EXPECT_NE(std::string::npos, properties.find("WMDM/FormatCode=47619")) << properties;  // 0xBA03
    EXPECT_NE(std::string::npos, properties.find("WMDM/AlbumCoverFormat=14347")) << properties;  // 0x380B
    EXPECT_NE(std::string::npos, properties.find("WMDM/AlbumCoverWidth=40")) << properties;
    // The art is the picture encoded, not a block of the source file's size.
    const std::string art = transfertest::Text(m_folder / L"player\\Music\\Books\\Night.alb.AlbumCoverData.bin");
    EXPECT_EQ("\x89PNG", art.substr(0, 4));
    EXPECT_NE('\0', art.back());
}

// The album is called by the title's name, not by the title of the part it was made for; the
// part's other attributes stay on it.
TEST_F(DeviceFolders, AnAlbumMadeForAPartIsCalledByTheTitlesName)
{
    const CString cover = transfertest::MakePicture(m_folder, L"Cover.png", 40, 30);
    const CString part = mediafixtures::MakeWma(m_folder, L"Night-Part01.wma");
    ASSERT_TRUE(FileExists(part));
    auto player = Player("\\");
    IWMDMStorage* album =
        CreateAlbumOnDevice(player.get(), player->GetDeviceInterface(), L"Night Crossing", cover, L"\\Music\\Books", part);
    ASSERT_NE(nullptr, album);
    album->Release();
    const std::string properties = transfertest::Text(m_folder / L"player\\Music\\Books\\Night Crossing.alb.props");
    EXPECT_NE(std::string::npos, properties.find("WMDM/Title=Night Crossing")) << properties;
    EXPECT_EQ(std::string::npos, properties.find("WMDM/Title=Harbour Lights")) << properties;  // the part's own title
    EXPECT_NE(std::string::npos, properties.find("WMDM/Author=Ada Quill")) << properties;
}

TEST_F(DeviceFolders, SupportedFormats)
{
    const struct {
        const char* label;
        const char* device;
        DWORD code;
        BOOL found;
        const wchar_t* report;
    } cases[] = {
        {"a listed code", "", 0xBA03, TRUE, L"[1]=0x0000BA03\r\n"},
        {"a code not listed", "", 0xB901, FALSE, L"NO match!"},
        {"one number instead of a list", "FormatsAsNumber=1\n", 0x3009, FALSE, L"does not match 'VT_ARRAY | VT_UI4'"},
        {"no extended interface", "Device3=0\n", 0x3009, FALSE, L"QueryInterface(IID_IWMDMDevice3)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto player = Player("\\", c.device);
        CString report;
        EXPECT_EQ(c.found, IsFormatSupportedByDevice(player->GetDeviceInterface(), c.code, TRUE, &report));
        EXPECT_GE(report.Find(c.report), 0) << static_cast<const wchar_t*>(report);
        EXPECT_EQ(c.found, IsFormatSupportedByDevice(player->GetDeviceInterface(), c.code, FALSE));
    }
}

}  // namespace

namespace {

TEST_F(DeviceFolders, StorageOperationsRefuseBeforeAsking)
{
    auto player = Player("\\");
    IWMDMStorage* root = GetFirstWmdmStorage(player->GetDeviceInterface());
    ASSERT_NE(nullptr, root);
    DeleteFileW(m_folder / L"Device1.events.log");
    const CString longName(L'n', MAX_PATH + 1);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), CreateWmdmFolder(root, longName, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE), RenameWmdmStorage(root, longName));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), CreateWmdmFolder(nullptr, L"New", nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), RenameWmdmStorage(nullptr, L"New"));
    EXPECT_EQ(E_POINTER, InsertWmdmFile(nullptr, L"a.mp3", L"a.mp3", nullptr, nullptr));
    EXPECT_FALSE(AppendWmdmReferences(root, 0, nullptr));
    EXPECT_FALSE(Exists(m_folder / L"Device1.events.log"));  // the device was not asked
    IWMDMStorage* made = nullptr;
    EXPECT_EQ(0u, CreateWmdmFolder(root, L"New", nullptr, &made));
    ASSERT_NE(nullptr, made);
    EXPECT_EQ(CString(L"New"), GetWmdmStorageName(made));
    made->Release();
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), CreateWmdmFolder(root, L"New", nullptr));
    EXPECT_EQ(0u, ReadWmdmStorage(root, m_folder / L"copied", TRUE));
    EXPECT_TRUE(Exists(m_folder / L"copied\\Music\\Books\\big.mp3"));
    root->Release();
}

}  // namespace
