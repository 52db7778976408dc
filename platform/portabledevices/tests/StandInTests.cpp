// The stand-in itself (registered in the test prefix by scripts/test.sh): no fixture, no device; ids that would leave a device's folder name
// nothing; a new object exists only once committed.
#include "ComHolders.h"
#include "ComTestSupport.h"
#include "PortableDevices.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class StandIn : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryW(m_folder / L"zune", nullptr);
        CreateDirectoryW(m_folder / L"zune\\s10001", nullptr);
        testsupport::WriteAll(m_folder / L"outside.mp3", std::string(10, 'o'));
        testsupport::WriteAll(m_folder / L"devices.ini", "[Devices]\r\nCount=1\r\n[Device1]\r\nFolder=zune\r\n");
    }
    void TearDown() override { SetEnvironmentVariableW(L"VESPERLIN_PORTABLE_DEVICES", nullptr); }

    // The device opened, and its content.
    void Open()
    {
        SetEnvironmentVariableW(L"VESPERLIN_PORTABLE_DEVICES", m_folder / L"devices.ini");
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPortableDeviceManager, m_manager.PutVoid()));
        LPWSTR id = nullptr;
        DWORD count = 1;
        ASSERT_EQ(S_OK, m_manager->GetDevices(&id, &count));
        ASSERT_EQ(1u, count);
        com::ComPtr<IPortableDeviceValues> client;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPortableDeviceValues, client.PutVoid()));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDevice, nullptr, CLSCTX_INPROC_SERVER, IID_IPortableDevice,
                                         m_device.PutVoid()));
        EXPECT_EQ(S_OK, m_device->Open(id, client.Get()));
        CoTaskMemFree(id);
        ASSERT_EQ(S_OK, m_device->Content(m_content.Put()));
    }

    comtest::ApartmentScope m_com;
    testsupport::ScratchFolder m_folder;
    com::ComPtr<IPortableDeviceManager> m_manager;
    com::ComPtr<IPortableDevice> m_device;
    com::ComPtr<IPortableDeviceContent> m_content;
};

TEST_F(StandIn, WithoutAFixtureItFindsNoDevice)
{
    SetEnvironmentVariableW(L"VESPERLIN_PORTABLE_DEVICES", nullptr);
    com::ComPtr<IPortableDeviceManager> manager;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceManager, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPortableDeviceManager, manager.PutVoid()));
    DWORD count = 5;
    EXPECT_EQ(S_OK, manager->GetDevices(nullptr, &count));
    EXPECT_EQ(0u, count);
}

TEST_F(StandIn, IdsThatLeaveTheDeviceNameNothingAndNothingIsWrittenThere)
{
    Open();
    com::ComPtr<IPortableDeviceProperties> properties;
    ASSERT_EQ(S_OK, m_content->Properties(properties.Put()));
    for (const wchar_t* id : {L"s10001\\..\\..\\outside.mp3", L"..\\outside.mp3", L"s10001\\", L"\\s10001",
                              L"Z:\\tmp", L"s10001/x", L"s10001\\x.props",
                              // other spellings the file system takes for the storage
                              L"s10001\\ ", L"s10001\\.", L"s10001\\...", L"s10001\\. ", L"S10001", L"s10001 ",
                              L"s10001."}) {
        com::ComPtr<IPortableDeviceValues> values;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND), properties->GetValues(id, nullptr, values.Put()))
            << CString(id).ToNarrow();
        com::ComPtr<IPortableDeviceValues> folder;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                                         IID_IPortableDeviceValues, folder.PutVoid()));
        folder->SetStringValue(wpd::OBJECT_PARENT_ID, id);
        folder->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, L"new");
        folder->SetGuidValue(wpd::OBJECT_CONTENT_TYPE, wpd::CONTENT_TYPE_FOLDER);
        LPWSTR created = nullptr;
        EXPECT_TRUE(FAILED(m_content->CreateObjectWithPropertiesOnly(folder.Get(), &created)));
        CoTaskMemFree(created);
    }
    // Nor may a name climb out.
    com::ComPtr<IPortableDeviceValues> climbing;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPortableDeviceValues, climbing.PutVoid()));
    climbing->SetStringValue(wpd::OBJECT_PARENT_ID, L"s10001");
    climbing->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, L"..\\..\\escaped");
    com::ComPtr<IStream> stream;
    EXPECT_EQ(E_INVALIDARG, m_content->CreateObjectWithPropertiesAndData(climbing.Get(), stream.Put(), nullptr, nullptr));
    EXPECT_EQ(std::vector<BYTE>(10, 'o'), testsupport::ReadAll(m_folder / L"outside.mp3"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_folder / L"escaped"));
}

TEST_F(StandIn, ADeviceNameOfWindowsIsStoredAsAnOrderFilesNameWouldBe)
{
    Open();
    // Windows opens a device for these in every folder, so each looks taken under any number.
    struct Case {
        const wchar_t* name;
        const wchar_t* first;
        const wchar_t* second;
    };
    const Case cases[] = {
        {L"con.part", L"s10001\\con_.part", L"s10001\\con_ (2).part"},
        {L"NUL", L"s10001\\NUL_", L"s10001\\NUL_ (2)"},
        {L"com1.mp3", L"s10001\\com1_.mp3", L"s10001\\com1_ (2).mp3"},
        {L"Part01.mp3", L"s10001\\Part01.mp3", L"s10001\\Part01 (2).mp3"},
    };
    for (const Case& c : cases) {
        for (const wchar_t* expected : {c.first, c.second}) {
            com::ComPtr<IPortableDeviceValues> values;
            ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IPortableDeviceValues, values.PutVoid()));
            values->SetStringValue(wpd::OBJECT_PARENT_ID, L"s10001");
            values->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, c.name);
            com::ComPtr<IStream> stream;
            ASSERT_EQ(S_OK, m_content->CreateObjectWithPropertiesAndData(values.Get(), stream.Put(), nullptr, nullptr))
                << CString(c.name).ToNarrow();
            ULONG written = 0;
            EXPECT_EQ(S_OK, stream->Write("abc", 3, &written));
            EXPECT_EQ(S_OK, stream->Commit(STGC_DEFAULT));
            com::ComPtr<IPortableDeviceDataStream> data;
            ASSERT_EQ(S_OK, stream.As(&data, IID_IPortableDeviceDataStream));
            LPWSTR id = nullptr;
            ASSERT_EQ(S_OK, data->GetObjectID(&id));
            EXPECT_STREQ(expected, id);
            CoTaskMemFree(id);
        }
    }
}

TEST_F(StandIn, ANewObjectExistsOnlyOnceCommitted)
{
    Open();
    com::ComPtr<IPortableDeviceValues> values;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_PortableDeviceValues, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPortableDeviceValues, values.PutVoid()));
    values->SetStringValue(wpd::OBJECT_PARENT_ID, L"s10001");
    values->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, L"Kept.mp3");
    values->SetStringValue(wpd::MEDIA_TITLE, L"Caf\u00e9 night");
    for (bool commit : {false, true}) {
        com::ComPtr<IStream> stream;
        DWORD optimal = 0;
        ASSERT_EQ(S_OK, m_content->CreateObjectWithPropertiesAndData(values.Get(), stream.Put(), &optimal, nullptr));
        EXPECT_EQ(256u * 1024, optimal);
        ULONG written = 0;
        EXPECT_EQ(S_OK, stream->Write("abc", 3, &written));
        com::ComPtr<IPortableDeviceDataStream> data;
        ASSERT_EQ(S_OK, stream.As(&data, IID_IPortableDeviceDataStream));
        LPWSTR id = nullptr;
        EXPECT_EQ(E_UNEXPECTED, data->GetObjectID(&id));
        if (commit) {
            EXPECT_EQ(S_OK, stream->Commit(STGC_DEFAULT));
            EXPECT_EQ(S_OK, data->GetObjectID(&id));
            EXPECT_STREQ(L"s10001\\Kept.mp3", id);
            CoTaskMemFree(id);
        }
        data.Reset();
        stream.Reset();
        EXPECT_EQ(commit, GetFileAttributesW(m_folder / L"zune\\s10001\\Kept.mp3") != INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_folder / L"zune\\s10001\\Kept.mp3.partial"));
    }
    const std::vector<BYTE> properties = testsupport::ReadAll(m_folder / L"zune\\s10001\\Kept.mp3.props");
    EXPECT_NE(std::string::npos, std::string(properties.begin(), properties.end()).find("Title=Caf\xc3\xa9 night"));
}

}  // namespace
