// Transfers against the stand-in: real MP3 and WMA parts with their properties and cover,
// progress to the caller's window and its cancel, and the failures a device can bring.
#include "MediaFixtures.h"
#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace zunetest;

std::vector<BYTE> Bytes(const CString& path)
{
    return testsupport::ReadAll(path);
}

bool HasLine(const std::string& properties, const std::string& line)
{
    return ("\r\n" + properties).find("\r\n" + line + "\r\n") != std::string::npos;
}

class ZuneTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_mp3 = mediafixtures::MakeMp3(m_media, L"source-part03.mp3");
        m_cover = m_media / L"cover.jpg";
        mediafixtures::RunTool(m_media, "ffmpeg -nostdin -v error -y -f lavfi -i color=c=orange:s=96x96 -frames:v 1 " +
                                            testsupport::ShellQuoted(m_cover));
    }
    // TransferToZune into the default folder, connected first.
    HRESULT Transfer(IZuneSupport* zune, const CString& file, const wchar_t* target, HWND window, Output& out,
                     ULONGLONG duration = 3000, ULONGLONG size = 0, const wchar_t* folder = L"")
    {
        return zune->TransferToZune(B(folder), B(file), B(m_cover), B(L"Night Crossing"), B(target), B(L"Ada Quill"),
                                    duration, size, window, out.Buffer(), out.Length());
    }

    MtaScope m_com;
    Server m_server;
    // No box of the server ever waits for a person.
    comtest::ServerMessageBoxes m_boxes{L"Corvatine.dll"};
    testsupport::ScratchFolder m_media;
    CString m_mp3;
    CString m_cover;
};

TEST_F(ZuneTransfer, RealPartsArriveInTheMakersFolderWithTheirPropertiesAndCover)
{
    const CString wma = mediafixtures::MakeWma(m_media, L"source.wma");
    Devices devices(std::vector<Device>{L"Zune"});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ProgressWindow window;
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle()));
    Output out;
    ASSERT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Night Crossing-Part03", window.Handle(), out, 3000));
    EXPECT_EQ(CString(L"s10001\\Vesperlin\\Night Crossing-Part03.mp3"), out.Text());
    ASSERT_EQ(S_OK, Transfer(zune.Get(), wma, L"Night Crossing-Part04", window.Handle(), out, 3100, 4242));
    EXPECT_EQ(CString(L"s10001\\Vesperlin\\Night Crossing-Part04.wma"), out.Text());
    EXPECT_TRUE(m_boxes.Boxes().empty());

    // The folder was made once, and holds the two files, their properties and covers only.
    const std::vector<std::wstring> expected = {
        L"Vesperlin.props",
        L"Vesperlin\\Night Crossing-Part03.mp3",
        L"Vesperlin\\Night Crossing-Part03.mp3.albumart.jpg",
        L"Vesperlin\\Night Crossing-Part03.mp3.props",
        L"Vesperlin\\Night Crossing-Part04.wma",
        L"Vesperlin\\Night Crossing-Part04.wma.albumart.jpg",
        L"Vesperlin\\Night Crossing-Part04.wma.props",
    };
    EXPECT_EQ(expected, FilesBelow(devices.Storage()));
    EXPECT_TRUE(HasLine(devices.Properties(L"Vesperlin"), "ContentType=Folder"));
    EXPECT_TRUE(HasLine(devices.Properties(L"Vesperlin"), "Format=0x3001"));

    EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Night Crossing-Part03.mp3")));
    EXPECT_EQ(Bytes(wma), Bytes(devices.Storage(L"Vesperlin\\Night Crossing-Part04.wma")));
    EXPECT_EQ(Bytes(m_cover), Bytes(devices.Storage(L"Vesperlin\\Night Crossing-Part03.mp3.albumart.jpg")));
    // What arrived is still a part a player reads.
    EXPECT_NEAR(3000, mediafixtures::ProbeDurationMs(m_media, devices.Storage(L"Vesperlin\\Night Crossing-Part04.wma")),
                150);

    const std::string mp3 = devices.Properties(L"Vesperlin\\Night Crossing-Part03.mp3");
    for (const char* line : {"Title=Night Crossing", "Album=Night Crossing", "MtpDA9A=Night Crossing",
                             "Artist=Ada Quill", "AlbumArtist=Ada Quill", "Track=3", "Genre=18", "Duration=3000",
                             "Name=Night Crossing-Part03", "SubTitle=Night Crossing-Part03",
                             "OriginalFileName=Night Crossing-Part03.mp3", "ContentType=Audio", "Format=0x3009",
                             "AlbumArtFormat=0x3801"})
        EXPECT_TRUE(HasLine(mp3, line)) << line << "\n" << mp3;
    EXPECT_TRUE(HasLine(mp3, "Size=" + std::to_string(Bytes(m_mp3).size()))) << mp3;
    EXPECT_NE(std::string::npos, mp3.find("DateAuthored=20")) << mp3;
    const std::string wmaProperties = devices.Properties(L"Vesperlin\\Night Crossing-Part04.wma");
    for (const char* line : {"Format=0xB901", "Track=4", "Duration=3100", "Size=4242"})
        EXPECT_TRUE(HasLine(wmaProperties, line)) << line << "\n" << wmaProperties;
}

TEST_F(ZuneTransfer, NamesFormatsAndTracksComeFromTheSourceAndTheTargetName)
{
    Devices devices(std::vector<Device>{L"Zune"});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ProgressWindow window;
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle()));
    const CString upper = m_media / L"Chapter.MP3";
    CopyFileW(m_mp3, upper, FALSE);
    struct Case {
        CString file;
        const wchar_t* target;
        const char* original;
        const char* name;
        const char* track;  // nullptr: none set
        const char* format;
    };
    const Case cases[] = {
        {upper, L"", "Chapter.MP3", "Chapter", nullptr, "0x3009"},
        {m_mp3, L"Title03", "Title03.mp3", "Title03", "Track=3", "0x3009"},
        {m_mp3, L"Title99", "Title99.mp3", "Title99", "Track=99", "0x3009"},
        {m_mp3, L"Title00", "Title00.mp3", "Title00", nullptr, "0x3009"},
        {m_mp3, L"Titleab", "Titleab.mp3", "Titleab", nullptr, "0x3009"},
        {m_mp3, L"7", "7.mp3", "7", "Track=7", "0x3009"},  // a one-character name is read as it is
    };
    for (const Case& c : cases) {
        Output out;
        ASSERT_EQ(S_OK, Transfer(zune.Get(), c.file, c.target, window.Handle(), out)) << c.original;
        std::wstring id = out.Text().str();
        const std::string properties = devices.Properties(id.substr(std::wstring(L"s10001\\").size()).c_str());
        EXPECT_TRUE(HasLine(properties, std::string("OriginalFileName=") + c.original)) << properties;
        EXPECT_TRUE(HasLine(properties, std::string("Name=") + c.name)) << properties;
        EXPECT_TRUE(HasLine(properties, std::string("SubTitle=") + c.name)) << properties;
        EXPECT_TRUE(HasLine(properties, std::string("Format=") + c.format)) << properties;
        EXPECT_EQ(c.track != nullptr, properties.find("Track=") != std::string::npos) << properties;
        if (c.track) {
            EXPECT_TRUE(HasLine(properties, c.track)) << properties;
        }
    }
}

TEST_F(ZuneTransfer, ATargetNameCutShortByANulIsRefusedThroughTheVTable)
{
    Devices devices(std::vector<Device>{L"Zune"});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ProgressWindow window;
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle()));
    Output out;
    const CutText target(L"x\0y");
    EXPECT_EQ(E_INVALIDARG, zune->TransferToZune(B(L""), B(m_mp3), B(m_cover), B(L"Night Crossing"), target,
                                                 B(L"Ada Quill"), 3000, 0, window.Handle(), out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"ERROR:  a text argument holds a NUL character."), out.Text());
    EXPECT_FALSE(Exists(devices.Storage(L"Vesperlin\\x.mp3")));
    EXPECT_FALSE(Exists(devices.Storage(L"x.mp3")));
}

TEST_F(ZuneTransfer, ProgressReachesTheWindowInOrderAndAZeroReplyCancelsLeavingNoObject)
{
    Device device{L"Zune"};
    device.extra = L"OptimalBufferSize=8192\r\n";
    Devices devices({device});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune"));
    const size_t size = Bytes(m_mp3).size();
    ASSERT_GT(size, 3u * 8192);
    {
        ProgressWindow window;
        Output out;
        ASSERT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Whole", window.Handle(), out));
        std::vector<WPARAM> expected = {10};
        for (size_t left = size; left > 0; left -= std::min<size_t>(left, 8192))
            expected.push_back(std::min<size_t>(left, 8192));
        EXPECT_EQ(expected, window.Received());
    }
    for (int zeroAt : {3, 2, 1}) {
        ProgressWindow window(zeroAt);
        Output out;
        EXPECT_EQ(ZUNE_E_CANCELLED, Transfer(zune.Get(), m_mp3, L"Cancelled", window.Handle(), out)) << zeroAt;
        EXPECT_EQ(static_cast<size_t>(zeroAt), window.Received().size());
        EXPECT_EQ(CString(zeroAt == 1 ? L"" : L"copy media file stream to device"), out.Text());
    }
    // No window answers: nothing is sent.
    Output out;
    EXPECT_EQ(ZUNE_E_CANCELLED, Transfer(zune.Get(), m_mp3, L"Cancelled", nullptr, out));
    const std::vector<std::wstring> left = {L"Vesperlin.props", L"Vesperlin\\Whole.mp3",
                                            L"Vesperlin\\Whole.mp3.albumart.jpg", L"Vesperlin\\Whole.mp3.props"};
    EXPECT_EQ(left, FilesBelow(devices.Storage()));
}

TEST_F(ZuneTransfer, DeviceFailuresLeaveNoPartialObject)
{
    struct Case {
        const char* what;
        const wchar_t* extra;
        HRESULT result;
        const wchar_t* output;
    };
    const Case cases[] = {
        {"busy", L"BusyTransfers=1\r\n", static_cast<HRESULT>(0x80045000), L"process CreateObjectWithPropertiesAndData"},
        {"short write", L"OptimalBufferSize=8192\r\nShortWriteAt=20000\r\n", STG_E_WRITEFAULT,
         L"copy media file stream to device"},
        {"removed", L"OptimalBufferSize=8192\r\nRemoveAfterBytes=20000\r\n",
         HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED), L"copy media file stream to device"},
    };
    for (const Case& c : cases) {
        Device device{L"Zune"};
        device.extra = c.extra;
        Devices devices({device});
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        ProgressWindow window;
        ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle())) << c.what;
        Output out;
        EXPECT_EQ(c.result, Transfer(zune.Get(), m_mp3, L"Part01", window.Handle(), out)) << c.what;
        EXPECT_EQ(CString(c.output), out.Text()) << c.what;
        const std::vector<std::wstring> folderOnly = {L"Vesperlin.props"};
        EXPECT_EQ(folderOnly, FilesBelow(devices.Storage())) << c.what;
        LONG connected = -1;
        zune->CheckConnection(B(L"Zune"), nullptr, out.Buffer(), out.Length(), &connected);
        if (std::string(c.what) == "removed") {
            // The session's sink heard of it; the device is gone for good.
            const std::vector<BYTE> log = Bytes(devices.Folder() + L"\\events.log");
            EXPECT_NE(std::string::npos,
                      std::string(log.begin(), log.end()).find("removed; event delivered to 1 of 1 sink(s)"));
            EXPECT_EQ(0, connected);
            EXPECT_EQ(S_OK, zune->ResetDevice(2));
            ULONG index = 0, count = 0;
            EXPECT_EQ(E_FAIL, zune->Initialize(B(L"Zune"), &index, &count, out.Buffer(), out.Length(), nullptr));
            EXPECT_EQ(CString(L"ERROR:  No Windows portable devices found."), out.Text());
        } else {
            EXPECT_EQ(1, connected) << c.what;
            // The next try goes through.
            EXPECT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Part01", window.Handle(), out)) << c.what;
            EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Part01.mp3"))) << c.what;
        }
    }
}

TEST_F(ZuneTransfer, ADeviceWithoutAnOptimalBufferSizeStillGetsTheWholeFile)
{
    Device device{L"Zune"};
    device.extra = L"OptimalBufferSize=0\r\n";
    Devices devices({device});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ProgressWindow window;
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle()));
    Output out;
    ASSERT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Part01", window.Handle(), out));
    EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Part01.mp3")));
    EXPECT_EQ(Bytes(m_cover), Bytes(devices.Storage(L"Vesperlin\\Part01.mp3.albumart.jpg")));
}

TEST_F(ZuneTransfer, ABufferSizeTheDeviceNamesIsHeldToASaneRange)
{
    const size_t size = Bytes(m_mp3).size();
    struct Case {
        const wchar_t* optimal;
        size_t mostMessages;  // besides the first (10)
    };
    // A device asking for 4 GiB would have the server allocate it; one asking for a byte would
    // get a message per byte.
    const Case cases[] = {{L"4294967295", 1}, {L"1", size / 4096 + 1}, {L"2147483648", 1}};
    for (const Case& c : cases) {
        Device device{L"Zune"};
        device.extra = std::wstring(L"OptimalBufferSize=") + c.optimal + L"\r\n";
        Devices devices({device});
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune"));
        ProgressWindow window;
        Output out;
        ASSERT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Part01", window.Handle(), out)) << out.Text().ToNarrow();
        EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Part01.mp3")));
        ASSERT_FALSE(window.Received().empty());
        EXPECT_LE(window.Received().size() - 1, c.mostMessages) << CString(c.optimal).ToNarrow();
    }
}

TEST_F(ZuneTransfer, AMissingCoverIsToldToTheCallerWithoutABox)
{
    Devices devices(std::vector<Device>{L"Zune"});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune"));
    ProgressWindow window;
    Output out;
    for (const CString& cover : {CString(m_media / L"missing.jpg"), CString()}) {
        ASSERT_EQ(S_FALSE, zune->TransferToZune(B(L""), B(m_mp3), B(cover), B(L"Night"), B(L"Part01"), B(L"Ada"), 0, 0,
                                                window.Handle(), out.Buffer(), out.Length()));
        EXPECT_EQ(0, out.Text().Find(L"The selected file 'Part01' has been successfully transferred to the Zune device "
                                     L"with no album art.\n\nSendAlbumArt ERROR:"))
            << out.Text().ToNarrow();
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
    EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Part01.mp3")));
    EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Part01 (2).mp3")));
}

TEST_F(ZuneTransfer, AMakersFolderThatCannotBeMadeIsToldToTheCallerWithoutABox)
{
    // Both transfers look for the maker's folder and make it when it is missing; on a device
    // that makes no folders the part goes to the storage with its cover, and the caller hears
    // of it through S_FALSE and the text.
    Device device{L"Zune"};
    device.extra = L"RefuseFolders=1\r\n";
    Devices devices({device});
    com::ComPtr<IZuneSupport> zune = m_server.Create();
    ProgressWindow window;
    ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle()));
    const struct {
        const char* what;
        bool oneShot;
        const wchar_t* target;
    } cases[] = {{"TransferToZune", false, L"Part01"}, {"TransferToZuneEx", true, L"Part02"}};
    for (const auto& c : cases) {
        Output out;
        const HRESULT hr = c.oneShot ? zune->TransferToZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(m_mp3), B(m_cover),
                                                              B(L"Night"), B(c.target), B(L"Ada"), 0, 0,
                                                              window.Handle(), out.Buffer(), out.Length())
                                     : Transfer(zune.Get(), m_mp3, c.target, window.Handle(), out);
        EXPECT_EQ(S_FALSE, hr) << c.what;
        EXPECT_EQ(CString(L"Failed to create 'Vesperlin' sub-folder, the selected audiobook will be transferred to "
                          L"root folder."),
                  out.Text())
            << c.what;
        EXPECT_TRUE(out.GuardIntact()) << c.what;
        const CString file = CString(c.target) + L".mp3";
        EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(file))) << c.what;
        EXPECT_EQ(Bytes(m_cover), Bytes(devices.Storage(file + L".albumart.jpg"))) << c.what;
    }
    EXPECT_FALSE(Exists(devices.Storage(L"Vesperlin")));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ZuneTransfer, FoldersAndAlbumArtFallBackAsTheDeviceAllows)
{
    Device refusesFolders{L"Plain Zune"};
    refusesFolders.extra = L"RefuseFolders=1\r\nRefuseAlbumArt=1\r\n";
    Device jfifOnly{L"Zune"};
    jfifOnly.extra = L"RefuseExifArt=1\r\n";
    Devices devices({refusesFolders, jfifOnly});
    devices.AddFolder(L"Books", nullptr, 2);
    ProgressWindow window;
    Output out;
    {
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        ASSERT_EQ(S_OK, Connect(zune.Get(), L"Plain Zune", window.Handle()));
        // No folder can be made: the part goes to the storage, without its cover; both are
        // told to the caller (who shows its own message), not in a box.
        ASSERT_EQ(S_FALSE, Transfer(zune.Get(), m_mp3, L"Part01", window.Handle(), out));
        EXPECT_EQ(0, out.Text().Find(L"Failed to create 'Vesperlin' sub-folder, the selected audiobook will be "
                                     L"transferred to root folder.\n\nThe selected file 'Part01' has been successfully "
                                     L"transferred to the Zune device with no album art.\n\nSendAlbumArt ERROR:  Failed "
                                     L"to create resource from IPortableDeviceValues, hr = 0x"))
            << out.Text().ToNarrow();
        EXPECT_TRUE(m_boxes.Boxes().empty());
        EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Part01.mp3")));
        EXPECT_FALSE(Exists(devices.Storage(L"Part01.mp3.albumart.jpg")));
    }
    m_boxes.Clear();
    {
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        ASSERT_EQ(S_OK, Connect(zune.Get(), L"Zune", window.Handle()));
        // A folder the caller names; the cover refused as EXIF goes as JFIF.
        ASSERT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Part02", window.Handle(), out, 3000, 0, L"s10001\\Books"));
        EXPECT_EQ(CString(L"s10001\\Books\\Part02.mp3"), out.Text());
        EXPECT_TRUE(HasLine(devices.Properties(L"Books\\Part02.mp3", 2), "AlbumArtFormat=0x3808"));
        EXPECT_EQ(Bytes(m_cover), Bytes(devices.Storage(L"Books\\Part02.mp3.albumart.jpg", 2)));
        EXPECT_FALSE(Exists(devices.Storage(L"Vesperlin", 2)));
        EXPECT_TRUE(m_boxes.Boxes().empty());
        // An existing folder of the maker is found, also by the one-shot transfer.
        out.Fill(L"");
        ASSERT_EQ(S_OK, zune->TransferToZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(m_mp3), B(m_cover), B(L"Night"),
                                               B(L"Part03"), B(L"Ada"), 0, 0, window.Handle(), out.Buffer(),
                                               out.Length()));
        EXPECT_EQ(CString(L"s10001\\Vesperlin\\Part03.mp3"), out.Text());
        ASSERT_EQ(S_OK, zune->TransferToZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(m_mp3), B(m_cover), B(L"Night"),
                                               B(L"Part04"), B(L"Ada"), 0, 0, window.Handle(), out.Buffer(),
                                               out.Length()));
        EXPECT_EQ(CString(L"s10001\\Vesperlin\\Part04.mp3"), out.Text());
        // The object's own session is untouched by them.
        ULONGLONG capacity = 0, freeSpace = 0;
        EXPECT_EQ(S_OK, zune->GetDeviceStorageSize(&capacity, &freeSpace, out.Buffer(), out.Length()));
        // And its id, cut by a short buffer, is whole on the device.
        Output shortOut(8);
        ASSERT_EQ(S_OK, Transfer(zune.Get(), m_mp3, L"Part05", window.Handle(), shortOut));
        EXPECT_EQ(CString(L"s10001\\"), shortOut.Text());
        EXPECT_TRUE(shortOut.GuardIntact());
        EXPECT_TRUE(Exists(devices.Storage(L"Vesperlin\\Part05.mp3.albumart.jpg", 2)));
    }
}

TEST_F(ZuneTransfer, TheOneShotTransferTakesOnlyAFolderForTheMakersFolderNeverAUsersFileOfThatName)
{
    // The device-wide search meets the user's file first (its folder sorts before the maker's).
    const struct {
        const char* what;
        bool makerFolder;
        const wchar_t* userFile;
    } cases[] = {
        {"no maker's folder yet", false, L"Music\\Vesperlin"},
        {"the maker's folder after the file", true, L"Music\\Vesperlin"},
        {"a file of the name in another case", true, L"Audiobooks\\vesperlin"},
    };
    for (const auto& c : cases) {
        Devices devices({Device{L"Zune"}});
        devices.AddFile(c.userFile, 1234);
        if (c.makerFolder)
            devices.AddFolder(L"Vesperlin");
        const std::vector<BYTE> before = Bytes(devices.Storage(c.userFile));
        com::ComPtr<IZuneSupport> zune = m_server.Create();
        ProgressWindow window;
        Output out;
        ASSERT_EQ(S_OK, zune->TransferToZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(m_mp3), B(m_cover), B(L"Night"),
                                               B(L"Part01"), B(L"Ada"), 0, 0, window.Handle(), out.Buffer(),
                                               out.Length()))
            << c.what << ": " << out.Text().ToNarrow();
        EXPECT_EQ(CString(L"s10001\\Vesperlin\\Part01.mp3"), out.Text()) << c.what;
        EXPECT_EQ(Bytes(m_mp3), Bytes(devices.Storage(L"Vesperlin\\Part01.mp3"))) << c.what;
        const DWORD folder = GetFileAttributesW(devices.Storage(L"Vesperlin"));
        EXPECT_TRUE(folder != INVALID_FILE_ATTRIBUTES && (folder & FILE_ATTRIBUTE_DIRECTORY)) << c.what;
        // The user's file is still a file with its own bytes, and nothing went beside or into it.
        EXPECT_EQ(before, Bytes(devices.Storage(c.userFile))) << c.what;
        EXPECT_FALSE(Exists(devices.Storage(CString(c.userFile) + L"\\Part01.mp3"))) << c.what;
        EXPECT_TRUE(m_boxes.Boxes().empty()) << c.what;
    }
}

}  // namespace
