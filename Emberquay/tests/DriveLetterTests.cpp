// The product's own search: recorders found through the drive letters the system types as CD
// drives (a test drive's letter is \Device\CdRom<n>), opened by their "CdRom<n>" names.
#include "DriveSearch.h"
#include "RecorderFixture.h"
#include "TestDrive.h"


namespace {

class DriveLetterSearch : public burntest::RecorderTest {
protected:
    void TearDown() override
    {
        for (INT_PTR i = 0; i < m_drives.GetSize(); ++i)
            delete m_drives[i];
        m_drives.RemoveAll();
        RecorderTest::TearDown();
    }
    CObArray m_drives;
};

TEST_F(DriveLetterSearch, FindsTheRecorderBehindACdDriveLetter)
{
    testsupport::ScratchFolder disc;
    testsupport::TestDrive drive(disc.Path(), testsupport::DriveKind::CdRom);
    ASSERT_TRUE(drive.Made());
    const CString device = drive.DeviceName();
    ASSERT_EQ(0, device.Find(L"CdRom")) << device.ToNarrow();
    // A device no drive letter stands for.
    const CString hidden = L"CdRom90";
    const std::string name = device.ToNarrow();
    const std::string letter = std::string(1, static_cast<char>(drive.Letter())) + ":";
    const struct {
        const char* what;
        std::string fixture;
        bool found;
    } cases[] = {
        // The drive behind the letter is found; the other one has no letter and is never asked.
        {"the drive behind the letter",
         "[Recorders]\r\nCount=2\r\n[Drive1]\r\nDevice=" + name + "\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\n"
         "[Drive2]\r\nDevice=" + hidden.ToNarrow() + "\r\nVendor=HIDDEN\r\nProduct=NO LETTER\r\n",
         true},
        {"a drive that cannot be opened by its name",
         "[Recorders]\r\nCount=1\r\n[Drive1]\r\nDevice=" + name + "\r\nVendor=VIRTUAL\r\nFailCreate=all\r\n", false},
        {"no recorder behind the letter", "[Recorders]\r\nCount=0\r\n", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Use(c.fixture);
        testsupport::MessageBoxRecorder boxes(IDCANCEL);
        DriveSearchJob job;
        job.drives = &m_drives;
        job.method = DriveSearchMethod::driveLetters;
        job.notFoundText = L"none";
        ASSERT_TRUE(SearchRecorders(job));
        if (c.found) {
            ASSERT_EQ(1, m_drives.GetSize());
            const auto* found = static_cast<const CDriveEntry*>(m_drives[0]);
            EXPECT_EQ(CString(letter.c_str()) + L" (VIRTUAL CD-RW 52X)", found->m_displayName);
            EXPECT_EQ(letter, std::string(found->m_record.driveLetter));
            EXPECT_EQ(name, std::string(found->m_record.deviceName));
            EXPECT_EQ(drive.Letter() - L'A', found->DriveNumber());
            EXPECT_TRUE(boxes.Boxes().empty());
        } else {
            EXPECT_EQ(0, m_drives.GetSize());
            EXPECT_EQ(1u, boxes.Boxes().size());
        }
        for (INT_PTR i = 0; i < m_drives.GetSize(); ++i)
            delete m_drives[i];
        m_drives.RemoveAll();
    }
}

}  // namespace
