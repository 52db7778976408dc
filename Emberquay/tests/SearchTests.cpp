// The recorder search against virtual recorders: what it lists and how it describes each drive
// and its disc, the speeds it offers, the drives it leaves out, the question when nothing is
// found, and its one report at the end.
#include "DriveSearch.h"
#include "RecorderFixture.h"
#include "SuiteMessages.h"
#include "WindowTestSupport.h"

#include <algorithm>

namespace {

using burntest::RecorderTest;

// A blank CD-R in D:, a used (closed) CD-R in E:, no disc in F:, and G: which cannot be opened.
constexpr char kFourDrives[] =
    "[Recorders]\r\nCount=4\r\n"
    "[Drive1]\r\nAddress=1:0:0:0\r\nDevice=CdRom0\r\nLetter=D:\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\nRevision=1.00\r\n"
    "WriteSpeeds=706,1760,2800,4224\r\nReadSpeeds=1760,7040\r\nDiscs=1\r\n"
    "[Drive1.Disc1]\r\nType=CD-R\r\n"
    "[Drive2]\r\nAddress=1:0:1:0\r\nDevice=CdRom1\r\nLetter=E:\r\nVendor=OTHERCO\r\nProduct=RW 8\r\nRevision=2.1\r\n"
    "WriteSpeeds=1400\r\n"
    "[Drive2.Disc1]\r\nType=CD-R\r\nUsedBytes=314572800\r\nCapacity=74:00:00\r\nTracks=12\r\n"
    "[Drive3]\r\nAddress=2:0:0:0\r\nDevice=CdRom2\r\nVendor=EMPTY\r\nProduct=DRIVE\r\nWriteSpeeds=1760\r\nDiscs=0\r\n"
    "[Drive4]\r\nAddress=2:0:1:0\r\nDevice=CdRom3\r\nLetter=G:\r\nVendor=BROKEN\r\nFailCreate=all\r\n"
    "[Drive5]\r\nAddress=3:0:0:0\r\nDevice=CdRom4\r\nLetter=H:\r\nVendor=READER\r\nProduct=ONLY\r\nWrites=none\r\n";

// The calls of a log that worked.
size_t Succeeded(const std::vector<std::string>& calls)
{
    return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [](const std::string& line) {
        const size_t arrow = line.find("-> ");
        return arrow != std::string::npos && line.compare(arrow, 4, "-> 0") == 0 &&
               (line.size() == arrow + 4 || line[arrow + 4] == ' ');
    }));
}

std::vector<ULONG> Speeds(const DriveSpeedList& list)
{
    std::vector<ULONG> speeds;
    for (const DriveSpeed& s : list)
        speeds.push_back(s.speed);
    return speeds;
}

std::vector<std::string> Labels(const DriveSpeedList& list)
{
    std::vector<std::string> labels;
    for (const DriveSpeed& s : list)
        labels.push_back(s.label ? s.label : "");
    return labels;
}

class RecorderSearch : public RecorderTest {
protected:
    void SetUp() override { m_before = SetDefaultDriveSearchMethod(DriveSearchMethod::library); }
    void TearDown() override
    {
        SetDefaultDriveSearchMethod(m_before);
        for (INT_PTR i = 0; i < m_drives.GetSize(); ++i)
            delete m_drives[i];
        m_drives.RemoveAll();
        RecorderTest::TearDown();
    }
    CDriveEntry* Drive(INT_PTR i) { return static_cast<CDriveEntry*>(m_drives[i]); }

    DriveSearchMethod m_before = DriveSearchMethod::automatic;
    CObArray m_drives;
};

TEST_F(RecorderSearch, ListsTheWritersWithTheirDiscsAndLeavesOutTheOthers)
{
    Use(kFourDrives);
    testsupport::MessageBoxRecorder boxes(IDCANCEL);
    DriveSearchJob job;
    job.drives = &m_drives;
    job.notFoundText = L"none";
    ASSERT_TRUE(SearchRecorders(job));
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(3, m_drives.GetSize());

    const struct {
        const wchar_t* name;
        const wchar_t* id;
        const char* letter;
        int number;
        ULONG type;
        const wchar_t* typeText;
        const wchar_t* usedText;
        bool blank;
        ULONGLONG used;
        ULONGLONG free;
        ULONG capacitySeconds;
        std::vector<ULONG> writeSpeeds;
        std::vector<std::string> writeLabels;
    } cases[] = {
        {L"D: (VIRTUAL CD-RW 52X)", L"ASPI_0", "D:", 3, STARBURN_DISC_CDR, L"CD-R", L"Blank", true, 0, 359999ULL * 2048,
         4799, {706, 1760, 2800, 4224}, {"4.0x", "10.0x", "16.0x", "24.0x"}},
        {L"E: (OTHERCO RW 8)", L"ASPI_1", "E:", 4, STARBURN_DISC_CDR, L"CD-R", L"300.00 MB", false, 314572800, 0, 4440,
         {1400}, {"8.0x"}},
        // No disc: the CD speeds up to the drive's highest, untried; no letter, no brackets.
        {L"EMPTY DRIVE", L"ASPI_2", "", -1, STARBURN_DISC_NONE, L"Empty", L"", false, 0, 0, 0,
         {176, 353, 387, 528, 706, 1400, 1760}, {"1.0x", "2.0x", "2.2x", "3.0x", "4.0x", "8.0x", "10.0x"}},
    };
    for (INT_PTR i = 0; i < m_drives.GetSize(); ++i) {
        const auto& c = cases[i];
        const CDriveEntry* drive = Drive(i);
        SCOPED_TRACE(drive->m_displayName.ToNarrow());
        const DriveRecord& r = drive->m_record;
        EXPECT_EQ(CString(c.name), drive->m_displayName);
        EXPECT_EQ(CString(c.id), drive->m_id);
        EXPECT_STREQ(c.letter, r.driveLetter);
        EXPECT_EQ(c.number, drive->DriveNumber());
        EXPECT_EQ(c.type, r.discType);
        EXPECT_STREQ(c.typeText, r.discTypeText);
        EXPECT_STREQ(c.usedText, r.usedSpaceText);
        EXPECT_EQ(c.blank, r.blank);
        EXPECT_EQ(c.used, r.usedBytes);
        EXPECT_EQ(c.free, r.freeBytes);
        EXPECT_EQ(c.free / 153600, r.freeSeconds);
        EXPECT_EQ(c.capacitySeconds, r.capacitySeconds);
        EXPECT_EQ(c.type == STARBURN_DISC_CDR, r.isCd);
        EXPECT_TRUE(r.formats.writeCdR);
        EXPECT_TRUE(r.trackAtOnce);
        EXPECT_EQ(c.writeSpeeds, Speeds(drive->m_writeSpeeds));
        EXPECT_EQ(c.writeLabels, Labels(drive->m_writeSpeeds));
        EXPECT_EQ(nullptr, r.grabber);
    }
    // Every drive opened was closed again.
    size_t opened = 0;
    for (const char* open : {"StarBurn_CdvdBurnerGrabber_Create", "StarBurn_CdvdBurnerGrabber_CreateEx",
                             "StarBurn_CdvdBurnerGrabber_CreateExEx"})
        opened += Succeeded(Calls(open));
    EXPECT_LT(0u, opened);
    EXPECT_EQ(opened, Succeeded(Calls("StarBurn_Destroy")));
}

TEST_F(RecorderSearch, NothingFoundAsksAndRetryLooksAgain)
{
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\nVendor=SLOW\r\nFailCreate=1\r\n");
    // Retry once: the second opening works.
    testsupport::MessageBoxRecorder boxes(std::vector<int>{IDRETRY, IDCANCEL});
    DriveSearchJob job;
    job.drives = &m_drives;
    job.notFoundText = L"No recorder.";
    ASSERT_TRUE(SearchRecorders(job));
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(CString(L"No recorder."), boxes.Boxes()[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_RETRYCANCEL | MB_ICONQUESTION), boxes.Boxes()[0].type);
    EXPECT_EQ(1, m_drives.GetSize());

    // Without a recorder, Cancel ends the search with nothing.
    Use("[Recorders]\r\nCount=0\r\n");
    boxes.Clear();
    boxes.SetAnswer(IDCANCEL);
    ASSERT_TRUE(SearchRecorders(job));
    EXPECT_EQ(1u, boxes.Boxes().size());
    EXPECT_EQ(0, m_drives.GetSize());
}

TEST_F(RecorderSearch, TheThreadReportsOnceAtItsEnd)
{
    Use("[Recorders]\r\nCount=0\r\n");
    testsupport::MessageBoxRecorder boxes(IDCANCEL);
    HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    static int reports = 0;
    reports = 0;
    auto old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(
        +[](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
            if (message == WM_DEVICE_SEARCH_DONE)
                ++reports;
            return 0;
        })));
    (void)old;
    auto job = std::make_shared<DriveSearchJob>();
    job->owner = owner;
    job->drives = &m_drives;
    CWinThread* thread = StartDriveSearch(job);
    ASSERT_NE(nullptr, thread);
    HANDLE handle = thread->DuplicateThreadHandle();
    thread->ResumeThread();
    ASSERT_TRUE(AfxWaitForThreadEnd(handle, 10000));
    CloseHandle(handle);
    testsupport::PumpMessages(50);
    EXPECT_EQ(1, reports);
    EXPECT_EQ(0, m_drives.GetSize());
    DestroyWindow(owner);
}

TEST(DriveNames, DisplayNamesAndNearestSpeedLabels)
{
    const struct {
        const char *letter, *vendor, *product;
        const wchar_t* name;
    } names[] = {
        {"D:", "VIRTUAL", "CD-RW 52X", L"D: (VIRTUAL CD-RW 52X)"},
        {"", "VIRTUAL", "CD-RW 52X", L"VIRTUAL CD-RW 52X"},
        {"E:", "", "RW", L"E: (RW)"},
        {"E:", "", "", L"E:"},
        {"", "", "", L""},
    };
    for (const auto& c : names) {
        DriveRecord record;
        strcpy_s(record.driveLetter, c.letter);
        strcpy_s(record.vendor, c.vendor);
        strcpy_s(record.product, c.product);
        EXPECT_EQ(CString(c.name), DriveDisplayName(record));
    }
    const DriveSpeed table[] = {{1760, "10.0x"}, {2112, "12.0x"}, {2800, "16.0x"}};
    const struct {
        ULONG speed;
        const char* label;
    } speeds[] = {{100, "10.0x"}, {1936, "10.0x"}, {1937, "12.0x"}, {2456, "12.0x"}, {2457, "16.0x"}, {9000, "16.0x"}};
    for (const auto& c : speeds)
        EXPECT_STREQ(c.label, NearestSpeedLabel(c.speed, table, 3)) << c.speed;
    CDriveEntry entry;
    for (const auto& [letter, number] : std::vector<std::pair<const wchar_t*, int>>{
             {L"A:", 0}, {L"Z:", 25}, {L"d:", -1}, {L"", -1}, {L"1:", -1}}) {
        entry.m_driveLetter = letter;
        EXPECT_EQ(number, entry.DriveNumber()) << CString(letter).ToNarrow();
    }
}

}  // namespace
