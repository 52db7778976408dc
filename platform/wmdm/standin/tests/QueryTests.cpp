// The enumeration half of the device manager's stand-in: what the fixture describes is what the
// devices, their properties and their storages answer; no fixture lists no device; injected
// failures answer so many times; devices marshalled from an apartment that ended still work.
#include "WmdmTestSupport.h"

#include <thread>

namespace {

using wmdmtest::NameOf;

class WmdmQueries : public wmdmtest::StandInFixture {};

const char kThreeDevices[] =
    "[Devices]\r\nCount=3\r\n"
    "[Device1]\r\nName=Kitchen Player\r\nManufacturer=Vendor A\r\nSerial=0x045E:0A0B0C0D\r\nProtocol=MTP\r\n"
    "FriendlyName=Kitchen\r\nModelName=KP-1\r\nFormats=0x3009,0xB901,0xBA03\r\nStatus=2,2,1\r\n"
    "[Device1.Storage1]\r\nName=Internal Storage\r\nFolder=kitchen\r\nAttributes=0\r\nFree=1000000\r\nTotal=0x200000000\r\n"
    "[Device2]\r\nName=Removable Disk (E:)\r\nType=0x10\r\nDevice3=0\r\nStorages=2\r\n"
    "[Device2.Storage1]\r\nFolder=stick\r\n"
    "[Device2.Storage2]\r\nName=Card\r\nFolder=card\r\n"
    "[Device3]\r\nName=Pocket PC\r\nProtocol=RAPI\r\nSerial=7:\r\nFormats=0x3009\r\nFormatsAsNumber=1\r\n"
    "Fail.GetProperty.WMDM/DeviceModelName=0x80004002\r\nFail.GetManufacturer=0x80045000*2\r\n";

TEST_F(WmdmQueries, WithoutAFixtureOrWithAnEmptyOneThereIsNoDevice)
{
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
    EXPECT_TRUE(Devices().empty());
    WriteFixture("[Devices]\r\nCount=0\r\n");
    EXPECT_TRUE(Devices().empty());
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_folder / L"missing.ini");
    EXPECT_TRUE(Devices().empty());
}

TEST_F(WmdmQueries, DevicesAnswerWhatTheFixtureSays)
{
    WriteFixture(kThreeDevices);
    CreateDirectoryW(m_folder / L"kitchen", nullptr);
    CreateDirectoryW(m_folder / L"stick", nullptr);
    CreateDirectoryW(m_folder / L"card", nullptr);
    const auto devices = Devices();
    ASSERT_EQ(3u, devices.size());

    struct Case {
        const wchar_t* name;
        DWORD type;
        bool device3;
        HRESULT serial;
        UINT serialLength;
        const GUID* protocol;
    };
    const Case cases[] = {
        {L"Kitchen Player", 0x90, true, S_OK, 4, &WMDM_DEVICE_PROTOCOL_MTP},
        {L"Removable Disk (E:)", 0x10, false, wmdm::kNotSupported, 0, nullptr},
        {L"Pocket PC", 0x90, true, S_OK, 0, &WMDM_DEVICE_PROTOCOL_RAPI},
    };
    for (size_t i = 0; i < 3; ++i) {
        const Case& c = cases[i];
        IWMDMDevice* device = devices[i].Get();
        SCOPED_TRACE(CString(c.name).ToNarrow());
        EXPECT_EQ(CString(c.name), NameOf(device));
        DWORD type = 0;
        EXPECT_EQ(S_OK, device->GetType(&type));
        EXPECT_EQ(c.type, type);
        WMDMID serial{};
        serial.cbSize = sizeof(serial);
        EXPECT_EQ(c.serial, device->GetSerialNumber(&serial));
        if (SUCCEEDED(c.serial)) {
            EXPECT_EQ(c.serialLength, serial.SerialNumberLength);
        }
        com::ComPtr<IWMDMDevice3> device3;
        EXPECT_EQ(c.device3 ? S_OK : E_NOINTERFACE, devices[i].As(&device3, IID_IWMDMDevice3));
        if (!device3)
            continue;
        PROPVARIANT value;
        const HRESULT hr = device3->GetProperty(wmdm::kDeviceProtocol, &value);
        ASSERT_EQ(S_OK, hr);
        ASSERT_EQ(VT_CLSID, value.vt);
        EXPECT_TRUE(IsEqualGUID(*c.protocol, *value.puuid));
        PropVariantClear(&value);
    }

    WMDMID serial{};
    ASSERT_EQ(S_OK, devices[0]->GetSerialNumber(&serial));
    EXPECT_EQ(140u, serial.cbSize);
    EXPECT_EQ(0x045Eu, serial.dwVendorID);
    EXPECT_EQ(0x0A, serial.pID[0]);
    EXPECT_EQ(0x0D, serial.pID[3]);

    // The status script: busy twice, then ready for good.
    for (DWORD expected : {2u, 2u, 1u, 1u}) {
        DWORD status = 0;
        EXPECT_EQ(S_OK, devices[0]->GetStatus(&status));
        EXPECT_EQ(expected, status);
    }
    DWORD status = 0;
    EXPECT_EQ(S_OK, devices[1]->GetStatus(&status));
    EXPECT_EQ(wmdm::kStatusReady, status);
    const auto log = Lines(L"Device1.events.log");
    EXPECT_EQ((std::vector<std::string>{"GetStatus 0x2", "GetStatus 0x2", "GetStatus 0x1", "GetStatus 0x1"}), log);
}

TEST_F(WmdmQueries, PropertiesAndInjectedFailures)
{
    WriteFixture(kThreeDevices);
    const auto devices = Devices();
    ASSERT_EQ(3u, devices.size());
    com::ComPtr<IWMDMDevice3> kitchen, pocket;
    ASSERT_EQ(S_OK, devices[0].As(&kitchen, IID_IWMDMDevice3));
    ASSERT_EQ(S_OK, devices[2].As(&pocket, IID_IWMDMDevice3));

    struct Case {
        IWMDMDevice3* device;
        const wchar_t* property;
        HRESULT hr;
        VARTYPE vt;
        const wchar_t* text;
    };
    const Case cases[] = {
        {kitchen.Get(), wmdm::kDeviceFriendlyName, S_OK, VT_BSTR, L"Kitchen"},
        {kitchen.Get(), wmdm::kDeviceModelName, S_OK, VT_BSTR, L"KP-1"},
        {kitchen.Get(), wmdm::kFormatsSupported, S_OK, VT_ARRAY | VT_UI4, nullptr},
        {pocket.Get(), wmdm::kDeviceFriendlyName, wmdm::kNotSupported, VT_EMPTY, nullptr},
        {pocket.Get(), wmdm::kDeviceModelName, E_NOINTERFACE, VT_EMPTY, nullptr},
        {pocket.Get(), wmdm::kFormatsSupported, S_OK, VT_UI4, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.property).ToNarrow());
        PROPVARIANT value;
        EXPECT_EQ(c.hr, c.device->GetProperty(c.property, &value));
        EXPECT_EQ(c.vt, value.vt);
        if (c.text && value.vt == VT_BSTR) {
            EXPECT_STREQ(c.text, value.bstrVal);
        }
        PropVariantClear(&value);
    }

    PROPVARIANT formats;
    ASSERT_EQ(S_OK, kitchen->GetProperty(wmdm::kFormatsSupported, &formats));
    LONG upper = -1;
    SafeArrayGetUBound(formats.parray, 1, &upper);
    ASSERT_EQ(2, upper);
    std::vector<DWORD> codes;
    for (LONG i = 0; i <= upper; ++i) {
        DWORD code = 0;
        SafeArrayGetElement(formats.parray, &i, &code);
        codes.push_back(code);
    }
    EXPECT_EQ((std::vector<DWORD>{0x3009, 0xB901, 0xBA03}), codes);
    PropVariantClear(&formats);

    // Busy twice, then the answer; a device without a manufacturer has none to give.
    wchar_t name[wmdm::kDeviceNameChars];
    EXPECT_EQ(wmdm::kBusy, devices[2]->GetManufacturer(name, wmdm::kDeviceNameChars));
    EXPECT_EQ(wmdm::kBusy, devices[2]->GetManufacturer(name, wmdm::kDeviceNameChars));
    EXPECT_EQ(wmdm::kNotSupported, devices[2]->GetManufacturer(name, wmdm::kDeviceNameChars));
    EXPECT_EQ(S_OK, devices[0]->GetManufacturer(name, wmdm::kDeviceNameChars));
    EXPECT_STREQ(L"Vendor A", name);
    // A buffer too small for the name is not overrun.
    wchar_t small[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(wmdm::kBufferTooSmall, devices[0]->GetName(small, 4));
    EXPECT_EQ(L'\0', small[0]);

    WriteFixture("[Devices]\r\nCount=1\r\nFail.EnumDevices=0x80045003\r\n[Device1]\r\n");
    com::ComPtr<IWMDeviceManager> manager = Manager();
    com::ComPtr<IWMDMEnumDevice> enumeration;
    EXPECT_EQ(wmdm::kProcessFailed, manager->EnumDevices(enumeration.Put()));
    com::ComPtr<IWMDeviceManager2> manager2;
    ASSERT_EQ(S_OK, manager.As(&manager2, IID_IWMDeviceManager2));
    EXPECT_EQ(wmdm::kProcessFailed, manager2->EnumDevices2(enumeration.Put()));
}

TEST_F(WmdmQueries, StoragesAreTheFoldersWithTheirNamesSizesAndSpace)
{
    WriteFixture(kThreeDevices);
    CreateDirectoryW(m_folder / L"kitchen", nullptr);
    CreateDirectoryW(m_folder / L"kitchen\\Music", nullptr);
    MakeFile(L"kitchen\\Music\\Song.mp3", 3000);
    MakeFile(L"kitchen\\Music\\Song.mp3.props", 10);  // a side file is no storage
    CreateDirectoryW(m_folder / L"stick", nullptr);
    CreateDirectoryW(m_folder / L"card", nullptr);
    const auto devices = Devices();
    ASSERT_EQ(3u, devices.size());

    struct Case {
        IWMDMDevice* device;
        unsigned index;
        const wchar_t* name;
        DWORD attributes;
    };
    const Case cases[] = {
        {devices[0].Get(), 0, L"Internal Storage", wmdm::kAttrHasFolders},
        {devices[1].Get(), 0, L"\\", wmdm::kAttrFolder},
        {devices[1].Get(), 1, L"Card", wmdm::kAttrFolder},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.name).ToNarrow());
        com::ComPtr<IWMDMStorage> root = RootStorage(c.device, c.index);
        ASSERT_TRUE(root);
        EXPECT_EQ(CString(c.name), NameOf(root.Get()));
        DWORD attributes = 0;
        EXPECT_EQ(S_OK, root->GetAttributes(&attributes));
        EXPECT_EQ(c.attributes, attributes);
    }
    EXPECT_FALSE(RootStorage(devices[1].Get(), 2));

    com::ComPtr<IWMDMStorage> root = RootStorage(devices[0].Get());
    com::ComPtr<IWMDMStorage> music = Child(root.Get(), L"music");
    ASSERT_TRUE(music);
    com::ComPtr<IWMDMEnumStorage> children;
    ASSERT_EQ(S_OK, music->EnumStorage(children.Put()));
    IWMDMStorage* found[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, children->Next(3, found, &fetched));
    ASSERT_EQ(1u, fetched);
    com::ComPtr<IWMDMStorage> song;
    song.Attach(found[0]);
    EXPECT_EQ(CString(L"Song.mp3"), NameOf(song.Get()));
    DWORD low = 0, high = 7;
    EXPECT_EQ(S_OK, song->GetSize(&low, &high));
    EXPECT_EQ(3000u, low);
    EXPECT_EQ(0u, high);
    DWORD attributes = 0;
    EXPECT_EQ(S_OK, music->GetAttributes(&attributes));
    EXPECT_EQ(wmdm::kAttrFolder | wmdm::kAttrCanDelete | wmdm::kAttrHasFiles, attributes);

    com::ComPtr<IWMDMStorageGlobals> globals;
    ASSERT_EQ(S_OK, root->GetStorageGlobals(globals.Put()));
    EXPECT_EQ(S_OK, globals->GetTotalFree(&low, &high));
    EXPECT_EQ(1000000u, low);
    EXPECT_EQ(0u, high);
    EXPECT_EQ(S_OK, globals->GetTotalSize(&low, &high));
    EXPECT_EQ(0u, low);
    EXPECT_EQ(2u, high);
    // Without numbers in the fixture the folder's drive answers.
    com::ComPtr<IWMDMStorage> stick = RootStorage(devices[1].Get());
    ASSERT_EQ(S_OK, stick->GetStorageGlobals(globals.Put()));
    low = high = 0;
    EXPECT_EQ(S_OK, globals->GetTotalFree(&low, &high));
    EXPECT_TRUE(low != 0 || high != 0);
}

TEST_F(WmdmQueries, ADeviceMarshalledFromAnApartmentThatEndedStillAnswers)
{
    WriteFixture("[Devices]\r\nCount=1\r\n[Device1]\r\nName=Travel Player\r\n");
    CreateDirectoryW(m_folder / L"Device1.Storage1", nullptr);
    IStream* stream = nullptr;
    std::thread([&] {
        comtest::ApartmentScope apartment;
        const auto devices = Devices();
        ASSERT_EQ(1u, devices.size());
        ASSERT_EQ(S_OK, CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, devices[0].Get(), &stream));
    }).join();
    ASSERT_NE(nullptr, stream);
    std::thread([&] {
        comtest::ApartmentScope apartment(COINIT_MULTITHREADED);
        com::ComPtr<IWMDMDevice> device;
        ASSERT_EQ(S_OK, CoGetInterfaceAndReleaseStream(stream, IID_IWMDMDevice, device.PutVoid()));
        EXPECT_EQ(CString(L"Travel Player"), NameOf(device.Get()));
        com::ComPtr<IWMDMStorage> root = RootStorage(device.Get());
        EXPECT_EQ(CString(L"\\"), NameOf(root.Get()));
    }).join();
}

}  // namespace
