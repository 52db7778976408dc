// A drive letter of the test prefix that stands for a folder and that the system reports as a
// removable drive or a CD drive (GetDriveTypeW, and a storage device number from the volume),
// as a player or a recorder would appear; removed again at the end.
//
//     testsupport::ScratchFolder folder;
//     testsupport::TestDrive stick(folder.Path(), testsupport::DriveKind::Removable);
//     ASSERT_TRUE(stick.Made());
//     testsupport::WriteAll(stick.Root() + L"Vesperlin.xml", "<Carrowind>...</Carrowind>");
//
// Under Wine a drive's kind comes from the mount manager, which reads the prefix's drive list
// only when it starts; so the drive is also defined with the mount manager at once, and named in
// HKLM\Software\Wine\Drives ("floppy" or "cdrom") for programs started later. A CD drive is
// "\Device\CdRom<n>" to QueryDosDevice, as a recorder's drive letter is.
#pragma once

#include "afx.h"

namespace testsupport {

enum class DriveKind { Removable, CdRom };

class TestDrive {
public:
    // The first free letter from preferred on (M when none is given) that no other test holds.
    TestDrive(const CString& folder, DriveKind kind, wchar_t preferred = 0);
    ~TestDrive();
    TestDrive(const TestDrive&) = delete;
    TestDrive& operator=(const TestDrive&) = delete;

    bool Made() const { return m_letter != 0; }
    wchar_t Letter() const { return m_letter; }
    // "M:\\"
    CString Root() const;
    // The device the letter stands for, after "\\Device\\" ("CdRom1" for a CD drive); empty when
    // the system names none.
    CString DeviceName() const;

private:
    wchar_t m_letter = 0;
};

}  // namespace testsupport
