// The device manager's small services against its stand-in: serial numbers compared field by
// field, child storages found without regard to case (and the three answers when they are
// not), names and attributes, deletion with all a folder holds, and metadata read from real
// Windows Media and MP3 files.
#include "MediaFixtures.h"
#include "WmdmServices.h"
#include "WmdmTestSupport.h"

namespace {

class WmdmServices : public wmdmtest::StandInFixture {
protected:
    void SetUp() override
    {
        CreateDirectoryW(m_folder / L"player", nullptr);
        CreateDirectoryW(m_folder / L"player\\Music", nullptr);
        CreateDirectoryW(m_folder / L"player\\Music\\Books", nullptr);
        MakeFile(L"player\\Music\\Books\\Part01.mp3", 100);
        UseFixture("");
    }
    void UseFixture(const std::string& deviceLines)
    {
        WriteFixture("[Devices]\r\nCount=2\r\n[Device1]\r\nName=Player\r\nSerial=0x045E:0A0B0C0D\r\n" + deviceLines +
                     "[Device1.Storage1]\r\nFolder=player\r\n[Device2]\r\nName=No serial\r\n");
        m_devices = Devices();
        ASSERT_EQ(2u, m_devices.size());
        m_root = RootStorage(m_devices[0].Get());
        ASSERT_TRUE(m_root);
    }
    std::vector<com::ComPtr<IWMDMDevice>> m_devices;
    com::ComPtr<IWMDMStorage> m_root;
};

WMDMID Serial(DWORD vendor, std::vector<BYTE> bytes)
{
    WMDMID serial{};
    serial.cbSize = sizeof(serial);
    serial.dwVendorID = vendor;
    std::copy(bytes.begin(), bytes.end(), serial.pID);
    serial.SerialNumberLength = static_cast<UINT>(bytes.size());
    return serial;
}

TEST_F(WmdmServices, SerialNumbersMatchOnlyWhenVendorLengthAndBytesAgree)
{
    struct Case {
        WMDMID stored;
        BOOL match;
    };
    const Case cases[] = {
        {Serial(0x045E, {0x0A, 0x0B, 0x0C, 0x0D}), TRUE},
        {Serial(0x045F, {0x0A, 0x0B, 0x0C, 0x0D}), FALSE},
        {Serial(0x045E, {0x0A, 0x0B, 0x0C}), FALSE},
        {Serial(0x045E, {0x0A, 0x0B, 0x0C, 0x0E}), FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.match, MatchDeviceSerialNumber(m_devices[0].Get(), c.stored));
    EXPECT_FALSE(MatchDeviceSerialNumber(m_devices[1].Get(), Serial(0, {})));  // it cannot say
    EXPECT_FALSE(MatchDeviceSerialNumber(nullptr, Serial(0x045E, {0x0A, 0x0B, 0x0C, 0x0D})));
}

TEST_F(WmdmServices, AChildIsFoundWithoutRegardToCaseOrTheAnswerSaysWhyNot)
{
    IWMDMStorage* child = nullptr;
    ASSERT_EQ(S_OK, FindWmdmChildStorage(L"MUSIC", m_root.Get(), &child));
    com::ComPtr<IWMDMStorage> music;
    music.Attach(child);
    DWORD attributes = 0;
    EXPECT_EQ(CString(L"Music"), GetWmdmStorageName(music.Get(), &attributes));
    EXPECT_EQ(wmdm::kAttrFolder | wmdm::kAttrCanDelete | wmdm::kAttrHasFolders, attributes);
    EXPECT_EQ(CString(L"\\"), GetWmdmStorageName(m_root.Get()));
    EXPECT_EQ(CString(), GetWmdmStorageName(nullptr, &attributes));

    child = reinterpret_cast<IWMDMStorage*>(0x1);
    EXPECT_EQ(S_FALSE, FindWmdmChildStorage(L"Podcasts", m_root.Get(), &child));
    EXPECT_EQ(nullptr, child);
    EXPECT_EQ(E_POINTER, FindWmdmChildStorage(L"Music", nullptr, &child));

    UseFixture("Fail.EnumChildren=0x80045000*1\r\n");
    IWMDMStorage* untouched = reinterpret_cast<IWMDMStorage*>(0x1);
    EXPECT_EQ(wmdm::kBusy, FindWmdmChildStorage(L"Music", m_root.Get(), &untouched));
    EXPECT_EQ(reinterpret_cast<IWMDMStorage*>(0x1), untouched);
}

// A storage that offers no storage control.
class BareStorage : public IWMDMStorage {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        *result = IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMDMStorage) ? this : nullptr;
        return *result ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP GetName(LPWSTR, UINT) override { return E_NOTIMPL; }
    STDMETHODIMP GetAttributes(DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP SetAttributes(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetSize(DWORD*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP GetStorageGlobals(IWMDMStorageGlobals**) override { return E_NOTIMPL; }
    STDMETHODIMP EnumStorage(IWMDMEnumStorage**) override { return E_NOTIMPL; }
};

TEST_F(WmdmServices, DeletingTakesAFolderWithAllItHoldsOrAnswers82)
{
    IWMDMStorage* child = nullptr;
    ASSERT_EQ(S_OK, FindWmdmChildStorage(L"Music", m_root.Get(), &child));
    com::ComPtr<IWMDMStorage> music;
    music.Attach(child);
    EXPECT_EQ(0u, DeleteWmdmStorage(music.Get()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_folder / L"player\\Music"));

    BareStorage bare;
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), DeleteWmdmStorage(&bare));
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), DeleteWmdmStorage(nullptr));
    CreateDirectoryW(m_folder / L"player\\Kept", nullptr);
    UseFixture("Fail.Delete=0x80045006\r\n");
    com::ComPtr<IWMDMStorage> kept = Child(m_root.Get(), L"Kept");
    ASSERT_TRUE(kept);
    EXPECT_EQ(static_cast<DWORD>(ERROR_CANNOT_MAKE), DeleteWmdmStorage(kept.Get()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_folder / L"player\\Kept"));
}

TEST_F(WmdmServices, AttributesOfWindowsMediaAndMp3FilesBecomeMetadata)
{
    const CString files[] = {mediafixtures::MakeWma(m_folder, L"a.wma"), mediafixtures::MakeMp3(m_folder, L"a.mp3")};
    for (const CString& file : files) {
        SCOPED_TRACE(file.ToNarrow());
        com::ComPtr<IWMDMStorage3> root3;
        ASSERT_EQ(S_OK, m_root.As(&root3, IID_IWMDMStorage3));
        com::ComPtr<IWMDMMetaData> metadata;
        ASSERT_EQ(S_OK, root3->CreateEmptyMetadataObject(metadata.Put()));
        ASSERT_EQ(S_OK, ReadWmAttributes(file, metadata.Get(), 1));

        wmdm::TagType type{};
        BYTE* value = nullptr;
        UINT length = 0;
        ASSERT_EQ(S_OK, metadata->QueryByName(wmdm::kAlbumTitle, &type, &value, &length));
        EXPECT_EQ(wmdm::TagType::String, type);
        EXPECT_STREQ(L"Night Crossing", reinterpret_cast<wchar_t*>(value));
        CoTaskMemFree(value);
        ASSERT_EQ(S_OK, metadata->QueryByName(wmdm::kDuration, &type, &value, &length));
        EXPECT_EQ(wmdm::TagType::Qword, type);
        ASSERT_EQ(sizeof(ULONGLONG), length);
        EXPECT_NEAR(static_cast<double>(*reinterpret_cast<ULONGLONG*>(value) / 10000), 3000.0, 80.0);
        CoTaskMemFree(value);
        ASSERT_EQ(S_OK, metadata->QueryByName(wmdm::kTrack, &type, &value, &length));
        EXPECT_EQ(2u, *reinterpret_cast<DWORD*>(value));
        CoTaskMemFree(value);
        for (const wchar_t* name : {wmdm::kTitle, wmdm::kAuthor, wmdm::kGenre, wmdm::kYear}) {
            EXPECT_EQ(S_OK, metadata->QueryByName(name, &type, &value, &length)) << CString(name).ToNarrow();
            CoTaskMemFree(value);
        }
    }
    com::ComPtr<IWMDMStorage3> root3;
    ASSERT_EQ(S_OK, m_root.As(&root3, IID_IWMDMStorage3));
    com::ComPtr<IWMDMMetaData> metadata;
    ASSERT_EQ(S_OK, root3->CreateEmptyMetadataObject(metadata.Put()));
    EXPECT_TRUE(FAILED(ReadWmAttributes(m_folder / L"missing.wma", metadata.Get(), 0)));
    UINT count = 9;
    EXPECT_EQ(S_OK, metadata->GetItemCount(&count));
    EXPECT_EQ(0u, count);
}

TEST_F(WmdmServices, AConstantBitRateMp3GivesThePlayerItsAudioFramesRate)
{
    // 32 kbit/s parts as lame and ffmpeg make them (ffmpeg's Info frame is written at a higher
    // rate than the audio): the player is told the rate mutagen reads.
    const CString tone = m_folder / L"tone.wav";
    mediafixtures::RunTool(m_folder, "sox -n -r 44100 -c 2 -b 16 " + testsupport::ShellQuoted(tone) +
                                         " synth 4 sine 440");
    const struct {
        const char* what;
        const wchar_t* name;
        std::string command;
    } cases[] = {
        {"lame -b 32 --cbr", L"Night Crossing-Part01.mp3", "lame --quiet -b 32 --cbr --resample 44.1 " +
                                                                 testsupport::ShellQuoted(tone)},
        {"ffmpeg at 32 kbit/s", L"Night Crossing-Part02.mp3",
         "ffmpeg -nostdin -v error -y -i " + testsupport::ShellQuoted(tone) + " -c:a libmp3lame -b:a 32k"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const CString file = m_folder / c.name;
        ASSERT_EQ(0, mediafixtures::RunTool(m_folder, c.command + " " + testsupport::ShellQuoted(file)));
        std::string out;
        mediafixtures::RunPython(m_folder, "import mutagen.mp3\nprint(mutagen.mp3.MP3(" +
                                               testsupport::ShellQuoted(file) + ").info.bitrate)\n",
                                 &out);
        ASSERT_EQ(32000, (std::atol(out.c_str()) + 500) / 1000 * 1000);
        com::ComPtr<IWMDMStorage3> root3;
        ASSERT_EQ(S_OK, m_root.As(&root3, IID_IWMDMStorage3));
        com::ComPtr<IWMDMMetaData> metadata;
        ASSERT_EQ(S_OK, root3->CreateEmptyMetadataObject(metadata.Put()));
        ASSERT_EQ(S_OK, ReadWmAttributes(file, metadata.Get(), 1));
        wmdm::TagType type{};
        BYTE* value = nullptr;
        UINT length = 0;
        ASSERT_EQ(S_OK, metadata->QueryByName(wmdm::kBitrate, &type, &value, &length));
        EXPECT_EQ(wmdm::TagType::Dword, type);
        ASSERT_EQ(sizeof(DWORD), length);
        EXPECT_EQ(32000u, *reinterpret_cast<DWORD*>(value));
        CoTaskMemFree(value);
    }
}

}  // namespace
