// The device lists: fixture rows come after what the system lists (under Wine: nothing), only
// under their class or enumerator, with paths of any length whole; storage device numbers come
// from the fixture row or from the volume itself.
#include "DeviceLists.h"
#include "TestDrive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <winioctl.h>

namespace {

class DeviceLists : public ::testing::Test {
protected:
    void TearDown() override { SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", nullptr); }
    void WriteFixture(const std::string& text)
    {
        testsupport::WriteAll(m_folder / L"lists.ini", text);
        SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", m_folder / L"lists.ini");
    }
    testsupport::ScratchFolder m_folder;
};

TEST_F(DeviceLists, FixtureRowsFollowTheSystemsUnderTheirClass)
{
    const size_t systemDisks = devices::ListInterfaces(devices::kDiskInterfaces).size();
    const size_t systemUsb = devices::ListInterfaces(devices::kUsbDeviceInterfaces).size();
    const std::string longPath = "\\\\?\\usb#vid_05ac&pid_1300#" + std::string(300, '7') +
                                 "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    WriteFixture("[Interfaces]\r\nCount=4\r\n"
                 "[Interface1]\r\nClass=Disk\r\nPath=\\\\?\\usbstor#disk&ven_generic&prod_flash_disk#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}\r\n"
                 "DeviceType=7\r\nDeviceNumber=3\r\nSetupClass=DiskDrive\r\nEnumerator=USBSTOR\r\n"
                 "[Interface2]\r\nClass=USB\r\nPath=" + longPath + "\r\nDescription=Apple iPod\r\n"
                 "[Interface3]\r\nClass=USB\r\nPath=\\\\?\\usb#vid_045e&pid_0710#z1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}\r\n"
                 "Description=Zune\r\nFriendlyName=Kitchen Zune\r\nEnumerator=USB\r\nSetupClass=USB\r\n"
                 "[Interface4]\r\nClass={00000000-0000-0000-0000-000000000001}\r\nPath=other\r\n");

    const auto disks = devices::ListInterfaces(devices::kDiskInterfaces);
    ASSERT_EQ(systemDisks + 1, disks.size());
    EXPECT_EQ(std::wstring(L"\\\\?\\usbstor#disk&ven_generic&prod_flash_disk#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}"),
              disks.back().path);
    EXPECT_FALSE(disks.back().hasFriendlyName);
    EXPECT_FALSE(disks.back().hasDescription);

    const auto usb = devices::ListInterfaces(devices::kUsbDeviceInterfaces);
    ASSERT_EQ(systemUsb + 2, usb.size());
    const devices::InterfaceRow& ipod = usb[systemUsb];
    EXPECT_EQ(longPath.size(), ipod.path.size());  // a path past 129 characters is kept whole
    EXPECT_TRUE(ipod.hasDescription);
    EXPECT_EQ(std::wstring(L"Apple iPod"), ipod.description);
    EXPECT_EQ(std::wstring(L"Kitchen Zune"), usb.back().friendlyName);

    struct Case {
        const wchar_t* enumerator;
        const wchar_t* className;
        size_t rows;
    };
    for (const Case& c : {Case{L"USBSTOR", L"DiskDrive", 1}, Case{L"USB", L"USB", 1}, Case{L"PCI", L"DiskDrive", 0}}) {
        SCOPED_TRACE(CString(c.enumerator).ToNarrow());
        const size_t system = [&] {
            SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", nullptr);
            const size_t n = devices::ListDevices(c.enumerator).size();
            SetEnvironmentVariableW(L"VESPERLIN_DEVICE_LISTS", m_folder / L"lists.ini");
            return n;
        }();
        const auto rows = devices::ListDevices(c.enumerator);
        ASSERT_EQ(system + c.rows, rows.size());
        GUID setupClass{};
        ASSERT_TRUE(devices::ClassOfName(c.className, &setupClass));
        if (c.rows) {
            EXPECT_TRUE(IsEqualGUID(setupClass, rows.back().setupClass));
        }
    }
    GUID none{};
    EXPECT_FALSE(devices::ClassOfName(L"NoSuchSetupClass", &none));
}

TEST_F(DeviceLists, StorageNumbersComeFromTheRowOrFromTheVolume)
{
    WriteFixture("[Interfaces]\r\nCount=1\r\n[Interface1]\r\nClass=Disk\r\nPath=\\\\?\\usbstor#disk#9\r\n"
                 "DeviceType=7\r\nDeviceNumber=4\r\n");
    DWORD type = 0, number = 0;
    ASSERT_TRUE(devices::GetStorageDeviceNumber(L"\\\\?\\USBSTOR#disk#9", &type, &number));
    EXPECT_EQ(7u, type);
    EXPECT_EQ(4u, number);
    EXPECT_FALSE(devices::GetStorageDeviceNumber(L"\\\\?\\usbstor#disk#8", &type, &number));

    testsupport::ScratchFolder stickFolder;
    testsupport::TestDrive stick(stickFolder.Path(), testsupport::DriveKind::Removable);
    ASSERT_TRUE(stick.Made());
    const wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', stick.Letter(), L':', 0};
    ASSERT_TRUE(devices::GetStorageDeviceNumber(volume, &type, &number));
    EXPECT_EQ(static_cast<DWORD>(FILE_DEVICE_DISK), type);
}

}  // namespace
