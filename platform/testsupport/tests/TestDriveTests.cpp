// Drive letters made for tests behave as the system's removable and CD drives do, land in their
// folders, and are gone (with their registry value) at the end.
#include "TestDrive.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <winioctl.h>

namespace {

// The kind a drive's registry value names ("<none>" when there is none).
CString DriveValue(wchar_t letter)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine\\Drives", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return L"<none>";
    const wchar_t name[] = {static_cast<wchar_t>(towlower(letter)), L':', 0};
    wchar_t value[32] = L"";
    DWORD size = sizeof(value) - sizeof(wchar_t);
    DWORD type = 0;
    const LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? CString(value) : CString(L"<none>");
}

TEST(TestDrive, RemovableAndCdDrivesAnswerAsTheSystemsDoAndGoAway)
{
    struct Case {
        testsupport::DriveKind kind;
        UINT driveType;
        DWORD deviceType;
        const wchar_t* value;
        const wchar_t* device;  // how the device's name begins (null: not checked)
    };
    const Case cases[] = {
        {testsupport::DriveKind::Removable, DRIVE_REMOVABLE, FILE_DEVICE_DISK, L"floppy", nullptr},
        {testsupport::DriveKind::CdRom, DRIVE_CDROM, FILE_DEVICE_CD_ROM, L"cdrom", L"CdRom"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(CString(c.value).ToNarrow());
        testsupport::ScratchFolder folder;
        wchar_t letter = 0;
        {
            testsupport::TestDrive drive(folder.Path(), c.kind);
            ASSERT_TRUE(drive.Made());
            letter = drive.Letter();
            EXPECT_EQ(c.driveType, GetDriveTypeW(drive.Root()));
            EXPECT_EQ(CString(c.value), DriveValue(letter));
            if (c.device) {
                EXPECT_EQ(0, drive.DeviceName().Find(c.device)) << drive.DeviceName().ToNarrow();
            }
            const wchar_t volume[] = {L'\\', L'\\', L'.', L'\\', letter, L':', 0};
            HANDLE device = CreateFileW(volume, 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(INVALID_HANDLE_VALUE, device);
            STORAGE_DEVICE_NUMBER number{};
            DWORD returned = 0;
            EXPECT_TRUE(DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof(number),
                                        &returned, nullptr));
            EXPECT_EQ(c.deviceType, number.DeviceType);
            CloseHandle(device);
            testsupport::WriteAll(drive.Root() + L"Vesperlin.xml", "<Carrowind/>");
            EXPECT_EQ(std::string("<Carrowind/>"), testsupport::ReadAllBytes(folder / L"Vesperlin.xml"));
        }
        const wchar_t root[] = {letter, L':', L'\\', 0};
        EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeW(root));
        EXPECT_EQ(CString(L"<none>"), DriveValue(letter));
    }
}

TEST(TestDrive, TwoDrivesAtOnceGetLettersOfTheirOwn)
{
    testsupport::ScratchFolder first, second;
    testsupport::TestDrive a(first.Path(), testsupport::DriveKind::Removable, L'P');
    testsupport::TestDrive b(second.Path(), testsupport::DriveKind::Removable, L'P');
    ASSERT_TRUE(a.Made());
    ASSERT_TRUE(b.Made());
    EXPECT_NE(a.Letter(), b.Letter());
    testsupport::WriteAll(b.Root() + L"b.txt", "b");
    EXPECT_EQ(-1, testsupport::FileSizeOf(first / L"b.txt"));
    EXPECT_EQ(1, testsupport::FileSizeOf(second / L"b.txt"));
}

}  // namespace
