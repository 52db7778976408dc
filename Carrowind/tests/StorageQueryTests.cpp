// The player record's storage queries over the device manager's and the mobile link's
// stand-ins: the storage layout, free space, and storage card or main memory.
#include "DeviceSearch.h"
#include "PlayerRecord.h"
#include "TestSupport.h"
#include "Wmdm.h"

#include <gtest/gtest.h>

namespace {

class StorageQueries : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", nullptr);
        CoUninitialize();
    }

    // The stream of the fixture's only device, as the search hands it to a record.
    IStream* DeviceStream(const std::string& fixture)
    {
        CreateDirectoryW(m_folder / L"player", nullptr);
        testsupport::WriteAll(m_folder / L"devices.ini", fixture);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_folder / L"devices.ini");
        IComponentAuthenticate* created = nullptr;
        IWMDeviceManager* manager = nullptr;
        IWMDMEnumDevice* devices = nullptr;
        IWMDMDevice* device = nullptr;
        IStream* stream = nullptr;
        ULONG fetched = 0;
        if (SUCCEEDED(CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                       reinterpret_cast<void**>(&created))) &&
            SUCCEEDED(created->QueryInterface(IID_IWMDeviceManager, reinterpret_cast<void**>(&manager))) &&
            SUCCEEDED(manager->EnumDevices(&devices)) && devices->Next(1, &device, &fetched) == S_OK)
            CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device, &stream);
        for (IUnknown* held : std::initializer_list<IUnknown*>{device, devices, manager, created})
            if (held)
                held->Release();
        return stream;
    }

    testsupport::ScratchFolder m_folder;
};

TEST_F(StorageQueries, LayoutAndFreeSpace)
{
    const struct {
        const char* label;
        const char* device;   // more lines of the device's section
        const char* storage;  // the storage section's lines
        int seed;             // the search's protocol flag
        BOOL mobile;
        int layout;
        const wchar_t* rootName;
        BOOL hasFree;
        ULONGLONG free;
    } cases[] = {
        {"a plain root", "", "Name=\\\nFree=1000000\nTotal=2000000\n", kUnknownValue, FALSE, 0, L"\\", TRUE, 1000000},
        {"a named root", "", "Name=Internal Storage\nFree=5000000000\n", kUnknownValue, FALSE, kNamedRootLayout,
         L"Internal Storage", TRUE, 5000000000ull},
        {"an MTP player keeps its seed", "", "Name=Internal Storage\nFree=7\n", 1, FALSE, 1, L"", TRUE, 7},
        {"a Windows Mobile player", "", "Name=Storage Card\nFree=9\n", kUnknownValue, TRUE, 0, L"Storage Card", TRUE, 9},
        {"a storage without its globals", "Fail.GetStorageGlobals=0x80045003\n", "Name=\\\n", kUnknownValue, FALSE, 0, L"\\",
         FALSE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        IStream* stream = DeviceStream(std::string("[Devices]\nCount=1\n[Device1]\nName=P\n") + c.device +
                                       "[Device1.Storage1]\nFolder=player\n" + c.storage);
        ASSERT_NE(nullptr, stream);
        PlayerRecord record(L"P", stream, L"", NoSerialNumber(), c.seed);
        record.mobileDevice = c.mobile;
        EXPECT_EQ(c.layout, record.GetStorageLayout());
        EXPECT_EQ(c.layout, record.GetStorageLayout());  // kept
        EXPECT_EQ(CString(c.rootName), record.rootStorageName);
        ULONGLONG freeBytes = 1;
        BOOL locked = FALSE;
        EXPECT_EQ(c.hasFree, record.GetFreeSpace(&freeBytes, &locked));
        EXPECT_EQ(c.free, freeBytes);
        EXPECT_FALSE(locked);
    }
}

TEST_F(StorageQueries, PlayersWithoutADeviceOrTableEntry)
{
    PlayerRecord none(L"P", nullptr, L"", NoSerialNumber(), kUnknownValue);
    ULONGLONG freeBytes = 1;
    EXPECT_EQ(kUnknownValue, none.GetStorageLayout());
    EXPECT_FALSE(none.GetFreeSpace(&freeBytes));

    // A Zune without an entry in the Zune table has no free space answer.
    PlayerRecord zune(L"Microsoft Zune", nullptr, L"Microsoft Zune", NoSerialNumber(), kUnknownValue);
    zune.zuneIndex = 3;
    EXPECT_FALSE(zune.GetFreeSpace(&freeBytes));
    EXPECT_EQ(kUnknownValue, zune.GetStorageLayout());
    EXPECT_EQ(CString(L"Microsoft Zune"), zune.rootStorageName);
    EXPECT_EQ(0x5000008u, zune.rootStorageAttributes);
}

TEST_F(StorageQueries, StorageCardOrMainMemory)
{
    const GUID id = {0x6E1A1C9A, 0x1111, 0x2222, {0x33, 0x33, 0x44, 0x44, 0x55, 0x55, 0x66, 0x66}};
    PlayerRecord before(L"Pocket PC", nullptr, L"", NoSerialNumber(), 0);
    before.mobileDeviceId = id;
    EXPECT_EQ(kUnknownValue, before.IsMobileStorageCard());  // no link yet: asked again later

    CreateDirectoryW(m_folder / L"ppc", nullptr);
    testsupport::WriteAll(m_folder / L"mobiles.ini", "[Devices]\nCount=1\n[Device1]\nName=Pocket PC\n"
                                                     "Guid={6E1A1C9A-1111-2222-3333-444455556666}\nFolder=ppc\n");
    SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", m_folder / L"mobiles.ini");
    EXPECT_EQ(0, before.IsMobileStorageCard());
    const struct {
        const wchar_t* name;
        const wchar_t* altName;
        int card;
    } cases[] = {{L"Pocket PC", L"", 0}, {L"Storage Card", L"", 1}, {L"WM Device", L"Pocket PC", 0}};
    for (const auto& c : cases) {
        PlayerRecord record(c.name, nullptr, L"", NoSerialNumber(), 0, c.altName);
        record.mobileDeviceId = id;
        EXPECT_EQ(c.card, record.IsMobileStorageCard()) << c.name;
    }
}

}  // namespace
