// The transfer thread's Zune step through the Zune device server (Corvatine) over the portable
// devices stand-in, with the Zune table filled as the device search fills it.
#include "MediaFixtures.h"
#include "PlayerRecord.h"
#include "TransferFixtures.h"
#include "ZuneClient.h"
#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

class ZuneTransferThread : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static HMODULE loaded = LoadLibraryW(zunetest::ServerPath());
        static const int registered = comtest::RunRegsvr32(zunetest::ServerPath());
        ASSERT_NE(nullptr, loaded);
        ASSERT_EQ(0, registered);
    }
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_page = std::make_unique<transfertest::TestPage>();
        // The server lives in the multithreaded apartment, as the search leaves it; a thread of
        // this test keeps that apartment for as long as the test runs.
        m_release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_apartment = std::thread([this, ready] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            IZuneSupport* server = nullptr;
            if (SUCCEEDED(CoCreateInstance(CLSID_ZuneSupport, nullptr, CLSCTX_INPROC_SERVER, IID_IZuneSupport,
                                           reinterpret_cast<void**>(&server)))) {
                ULONG index = static_cast<ULONG>(-1), count = 0;
                LONG retry = 0;
                CString status;
                m_connected = SUCCEEDED(ConnectNewZuneDevice(nullptr, server, L"Microsoft Zune", &index, &count,
                                                             &status, &retry));
                ZuneDevices()[0].displayName = L"Microsoft Zune";
                ZuneDevices()[0].server = server;
                SetZuneDeviceCount(1);
            }
            SetEvent(ready);
            WaitForSingleObject(m_release, INFINITE);
            ReleaseZuneDevices();
            CoUninitialize();
        });
        WaitForSingleObject(ready, 30000);
        CloseHandle(ready);
        ASSERT_TRUE(m_connected);
        m_zune = std::make_unique<PlayerRecord>(L"Microsoft Zune", nullptr, L"Microsoft Zune", NoSerialNumber(),
                                                kUnknownValue);
        m_zune->zuneIndex = 0;
        m_cover = transfertest::MakePicture(m_folder, L"Cover.jpg");
    }
    void TearDown() override
    {
        m_page.reset();
        SetEvent(m_release);
        if (m_apartment.joinable())
            m_apartment.join();
        CloseHandle(m_release);
        CoUninitialize();
    }

    std::unique_ptr<CTransferJob> Job(const CString& source, const CString& target)
    {
        auto job = std::make_unique<CTransferJob>(nullptr, m_page->Window());
        job->m_strSourcePath = source;
        job->m_strTargetName = target;
        job->m_strCoverPath = m_cover;
        job->m_strTitle = L"Night Crossing";
        job->m_strArtist = L"Ada Quill";
        job->m_nDuration = 3000;
        job->m_pPlayer = m_zune.get();
        return job;
    }

    zunetest::Devices m_devices{std::vector<zunetest::Device>{zunetest::Device{L"Microsoft Zune"}}};
    comtest::ServerMessageBoxes m_boxes{L"Corvatine.dll"};
    testsupport::ScratchFolder m_folder;
    std::unique_ptr<transfertest::TestPage> m_page;
    std::unique_ptr<PlayerRecord> m_zune;
    CString m_cover;
    HANDLE m_release = nullptr;
    std::thread m_apartment;
    bool m_connected = false;
};

TEST_F(ZuneTransferThread, ThreePartsWithPropertiesAndArt)
{
    std::vector<CString> parts;
    for (int i = 1; i <= 3; ++i) {
        CString name, target;
        name.Format(L"Night-%d.mp3", i);
        target.Format(L"Night Crossing-Part%.2d.mp3", i);
        parts.push_back(mediafixtures::MakeMp3(m_folder, name));
        auto job = Job(parts.back(), target);
        ASSERT_EQ(kTransferDone, m_page->Run(job.get())) << i;
        ASSERT_FALSE(m_page->addProgress.empty());
        EXPECT_EQ(256u, m_page->addProgress.front());  // the thread's own, before the server's
    }
    for (int i = 1; i <= 3; ++i) {
        CString name;
        name.Format(L"Vesperlin\\Night Crossing-Part%.2d.mp3", i);
        EXPECT_EQ(testsupport::ReadAllBytes(parts[i - 1]), testsupport::ReadAllBytes(m_devices.Storage(name)));
        const std::string properties = m_devices.Properties(name);
        EXPECT_NE(std::string::npos, properties.find("Title=Night Crossing")) << properties;
        EXPECT_NE(std::string::npos, properties.find("Artist=Ada Quill")) << properties;
        EXPECT_TRUE(transfertest::Exists(m_devices.Storage(name + L".albumart.jpg")));
    }
    // The same part again takes the old one's place rather than a copy beside it.
    auto again = Job(parts[0], L"Night Crossing-Part01.mp3");
    ASSERT_EQ(kTransferDone, m_page->Run(again.get()));
    EXPECT_FALSE(transfertest::Exists(m_devices.Storage(L"Vesperlin\\Night Crossing-Part01 (2).mp3")));
    EXPECT_TRUE(transfertest::Exists(m_devices.Storage(L"Vesperlin\\Night Crossing-Part01.mp3")));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(ZuneTransferThread, ThePageCancels)
{
    const CString part = mediafixtures::MakeMp3(m_folder, L"Night-1.mp3");
    for (WPARAM refused : {WPARAM(256), WPARAM(10)}) {
        SCOPED_TRACE(refused);
        auto job = Job(part, L"Night Crossing-Part01.mp3");
        m_page->addProgressReply = [refused](WPARAM bytes) -> LRESULT { return bytes == refused ? 0 : 1; };
        EXPECT_EQ(kTransferCancelled, m_page->Run(job.get()));
        EXPECT_FALSE(transfertest::Exists(m_devices.Storage(L"Vesperlin\\Night Crossing-Part01.mp3")));
    }
    EXPECT_TRUE(m_zune->GetErrorDetails(kTransferPartKey).IsEmpty());
}

}  // namespace

namespace {

TEST_F(ZuneTransferThread, TheFolderListShowsTheMakersFolder)
{
    m_devices.AddFolder(L"Music");
    m_devices.AddFile(L"Loose.mp3", 2048);
    const CString part = mediafixtures::MakeMp3(m_folder, L"Night-1.mp3");
    auto job = Job(part, L"Night Crossing-Part01.mp3");
    ASSERT_EQ(kTransferDone, m_page->Run(job.get()));

    m_zune->ListFolders(L"Microsoft Zune");
    ASSERT_FALSE(m_zune->folders.empty());
    const PlayerFolderEntry& root = *m_zune->folders.at(0);
    EXPECT_EQ(-1, root.parentIndex);
    EXPECT_EQ(CString(L"s10001"), root.zuneObjectId);
    EXPECT_EQ(1u, root.isFolder);
    int maker = -1;
    bool loose = false, music = false, arrived = false;
    for (const auto& [index, entry] : m_zune->folders) {
        if (entry->name == L"Vesperlin") {
            maker = index;
            EXPECT_EQ(0, entry->parentIndex);
            EXPECT_TRUE(entry->attributes & 0x8000);  // the maker's folder may be emptied
        }
        loose |= entry->name == L"Loose.mp3" && entry->parentIndex == 0 && entry->sizeText == L"2 KB";
        music |= entry->name == L"Music";
        arrived |= entry->name == L"Night Crossing-Part01.mp3" && entry->parentIndex == maker && maker > 0 &&
                   !entry->zuneObjectId.IsEmpty();
    }
    EXPECT_GT(maker, 0);
    EXPECT_TRUE(loose);
    EXPECT_FALSE(music);  // other folders at the top are not the wizard's to show
    EXPECT_TRUE(arrived);
    // A Zune keeps its list until the browser asks for it anew.
    const size_t listed = m_zune->folders.size();
    m_zune->ListFolders(L"Microsoft Zune");
    EXPECT_EQ(listed, m_zune->folders.size());
    // The list now answers whether the part is there, without asking the server.
    CString id;
    EXPECT_TRUE(m_zune->FindZuneFile(L"night crossing-part01.mp3", &id));
    EXPECT_FALSE(id.IsEmpty());
}

}  // namespace
