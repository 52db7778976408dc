// The product's own search: recorders found through the drive letters Wine types "cdrom", in a
// prefix that has one (Q: is \Device\CdRom0), opened by their "CdRom<n>" names.
#include "CdDrivePrefix.h"
#include "DriveSearch.h"
#include "RecorderFixture.h"

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
    if (!cdprefix::InCdDrivePrefix()) {
        std::string output;
        EXPECT_EQ(0, cdprefix::RunInCdDrivePrefix("DriveLetterSearch.*", &output)) << output;
        return;
    }
    const struct {
        const char* what;
        const char* fixture;
        const wchar_t* found;  // null: nothing
    } cases[] = {
        // CdRom0 is the drive behind Q:; CdRom1 has no letter and is never asked.
        {"the drive behind the letter",
         "[Recorders]\r\nCount=2\r\n[Drive1]\r\nDevice=CdRom0\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\n"
         "[Drive2]\r\nDevice=CdRom1\r\nVendor=HIDDEN\r\nProduct=NO LETTER\r\n",
         L"Q: (VIRTUAL CD-RW 52X)"},
        {"a drive that cannot be opened by its name",
         "[Recorders]\r\nCount=1\r\n[Drive1]\r\nDevice=CdRom0\r\nVendor=VIRTUAL\r\nFailCreate=all\r\n", nullptr},
        {"no recorder behind the letter", "[Recorders]\r\nCount=0\r\n", nullptr},
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
            const auto* drive = static_cast<const CDriveEntry*>(m_drives[0]);
            EXPECT_EQ(CString(c.found), drive->m_displayName);
            EXPECT_STREQ(cdprefix::Letter(), drive->m_record.driveLetter);
            EXPECT_STREQ("CdRom0", drive->m_record.deviceName);
            EXPECT_EQ(16, drive->DriveNumber());
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
