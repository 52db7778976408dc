// The recorder as the search finds and describes it: drives by name and address, the disc in each,
// what the drives write and how fast, and what the library does with handles and records it is
// given wrongly.
#include "RecorderFixture.h"

#include <cstddef>
#include <cstring>

namespace {

using burntest::RecorderTest;

// A blank CD-R in D:, a used (closed) CD-R in E:, no disc in F:, and G: which cannot be opened.
constexpr char kFourDrives[] =
    "[Recorders]\r\nCount=4\r\n"
    "[Drive1]\r\nAddress=1:0:0:0\r\nDevice=CdRom0\r\nLetter=D:\r\nVendor=VIRTUAL\r\nProduct=CD-RW 52X\r\nRevision=1.00\r\n"
    "BufferKB=2048\r\nWriteSpeeds=706,1760,2800,4224\r\nReadSpeeds=1760,7040\r\nDiscs=1\r\n"
    "[Drive1.Disc1]\r\nType=CD-R\r\n"
    "[Drive2]\r\nAddress=1:0:1:0\r\nDevice=CdRom1\r\nLetter=E:\r\nVendor=OTHERCO\r\nProduct=RW 8\r\nRevision=2.1\r\n"
    "[Drive2.Disc1]\r\nType=CD-R\r\nUsedBytes=314572800\r\nCapacity=74:00:00\r\nTracks=12\r\n"
    "[Drive3]\r\nAddress=2:0:0:0\r\nDevice=CdRom2\r\nLetter=F:\r\nVendor=EMPTY\r\nProduct=DRIVE\r\nDiscs=0\r\n"
    "[Drive4]\r\nAddress=2:0:1:0\r\nDevice=CdRom3\r\nLetter=G:\r\nVendor=BROKEN\r\nFailCreate=all\r\n";

struct DriveCase {
    const char* device;
    UCHAR address[4];
    ULONG created;        // exception number of every way of opening it
    const char* vendor;
    const char* product;
    const char* letter;
    ULONG discType;
    BOOLEAN blank;
    ULONGLONG usedBytes;
    ULONGLONG freeBytes;
    UCHAR takesTrack;     // the next-track record's flag
    LONG capacitySeconds; // the disc's last lead-out start in seconds
};

const DriveCase kDriveCases[] = {
    {"CdRom0", {1, 0, 0, 0}, STARBURN_OK, "VIRTUAL", "CD-RW 52X", "D:", STARBURN_DISC_CDR, TRUE, 0, 359999ULL * 2048, 1, 4799},
    {"CdRom1", {1, 0, 1, 0}, STARBURN_OK, "OTHERCO", "RW 8", "E:", STARBURN_DISC_CDR, FALSE, 314572800, 0, 0, 4440},
    {"CdRom2", {2, 0, 0, 0}, STARBURN_OK, "EMPTY", "DRIVE", "F:", STARBURN_DISC_NONE, FALSE, 0, 0, 0, 0},
    {"CdRom3", {2, 0, 1, 0}, STARBURN_EXCEPTION_DEVICE_FAILURE, "", "", "G:", 0, FALSE, 0, 0, 0, 0},
};

class Queries : public RecorderTest {};

TEST_F(Queries, WithoutAFixtureThereIsNoRecorder)
{
    SetEnvironmentVariableW(L"VESPERLIN_RECORDERS", nullptr);
    ASSERT_EQ(STARBURN_OK, StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION, m_text, sizeof m_text, &m_systemError));
    int found = 0;
    EXPECT_EQ(STARBURN_OK, StarBurn_FindDevice(STARBURN_FIND_READERS | STARBURN_FIND_RECORDERS, STARBURN_FIND_DEFAULT,
                                               [](ULONG, void* context, void*, void*) { ++*static_cast<int*>(context); },
                                               &found));
    EXPECT_EQ(0, found);
    EXPECT_EQ(nullptr, Open("CdRom0"));
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NO_DEVICE}, m_failure.exception);
    void* grabber = reinterpret_cast<void*>(1);
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NO_DEVICE},
              StarBurn_CdvdBurnerGrabber_Create(&grabber, m_text, sizeof m_text, &m_systemError, &m_failure, nullptr,
                                                nullptr, 1, 0, 0, 0, STARBURN_OPEN_SHARED));
    EXPECT_EQ(nullptr, grabber);
    char letter[STARBURN_DEVICE_NAME_SIZE] = "x";
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NO_DEVICE}, StarBurn_GetDeviceNameByDeviceAddress(1, 0, 0, 0, letter));
    EXPECT_STREQ("", letter);
}

TEST_F(Queries, EachDriveOpensByNameAndAddressAndDescribesItsDisc)
{
    Use(kFourDrives);
    for (const DriveCase& c : kDriveCases) {
        SCOPED_TRACE(c.device);
        // The three ways of opening agree.
        void* byName = Open(c.device, STARBURN_OPEN_SHARED);
        EXPECT_EQ(c.created, m_failure.exception);
        if (c.created != STARBURN_OK) {
            EXPECT_STRNE("", m_text);
        }
        void* byWideName = nullptr;
        const std::wstring wide(c.device, c.device + std::strlen(c.device));
        EXPECT_EQ(c.created, StarBurn_CdvdBurnerGrabber_CreateExEx(&byWideName, m_text, sizeof m_text, &m_systemError,
                                                                   &m_failure, nullptr, nullptr, wide.c_str(), 0,
                                                                   STARBURN_OPEN_SHARED));
        void* byAddress = nullptr;
        EXPECT_EQ(c.created, StarBurn_CdvdBurnerGrabber_Create(&byAddress, m_text, sizeof m_text, &m_systemError, &m_failure,
                                                               nullptr, nullptr, c.address[0], c.address[1], c.address[2],
                                                               c.address[3], STARBURN_OPEN_SHARED));
        char letter[STARBURN_DEVICE_NAME_SIZE] = {};
        EXPECT_EQ(STARBURN_OK,
                  StarBurn_GetDeviceNameByDeviceAddress(c.address[0], c.address[1], c.address[2], c.address[3], letter));
        EXPECT_STREQ(c.letter, letter);
        if (c.created != STARBURN_OK) {
            EXPECT_EQ(nullptr, byName);
            EXPECT_EQ(nullptr, byWideName);
            EXPECT_EQ(nullptr, byAddress);
            continue;
        }
        ASSERT_NE(nullptr, byName);
        ASSERT_NE(nullptr, byWideName);
        ASSERT_NE(nullptr, byAddress);
        Close(byWideName);
        Close(byAddress);

        char vendor[260] = {}, product[260] = {}, revision[260] = {};
        ULONG buffer = 0;
        EXPECT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_GetDeviceInformation(byName, vendor, product, revision, &buffer));
        EXPECT_STREQ(c.vendor, vendor);
        EXPECT_STREQ(c.product, product);
        EXPECT_EQ(2048u, buffer);
        EXPECT_EQ(c.discType, StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(byName));

        Clear();
        ULONGLONG used = 12345;
        const ULONG usedResult = StarBurn_CdvdBurnerGrabber_GetDiscUsedSpace(byName, m_text, sizeof m_text, &m_systemError,
                                                                             &m_failure, &used);
        ULONG low = 0, high = 0;
        const ULONG freeResult = StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(byName, STARBURN_SPACE_BYTES, &low, &high);
        BOOLEAN blank = 2;
        const ULONG blankResult = StarBurn_CdvdBurnerGrabber_IsDiscBlank(byName, m_text, sizeof m_text, &m_systemError,
                                                                         &m_failure, &blank);
        STARBURN_TRACK_INFORMATION track = {};
        const ULONG trackResult = StarBurn_CdvdBurnerGrabber_GetTrackInformation(
            byName, m_text, sizeof m_text, &m_systemError, &m_failure, STARBURN_NEXT_TRACK, &track);
        STARBURN_DISC_INFORMATION disc = {};
        const ULONG discResult = StarBurn_CdvdBurnerGrabber_GetDiscInformation(byName, m_text, sizeof m_text,
                                                                               &m_systemError, &m_failure, &disc);
        if (c.discType == STARBURN_DISC_NONE) {
            for (ULONG result : {usedResult, freeResult, blankResult, trackResult, discResult})
                EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_READY}, result);
            EXPECT_EQ(12345u, used);
            EXPECT_EQ(2, blank);
            EXPECT_STREQ("no disc in the drive", m_text);
            EXPECT_EQ(0x02, m_failure.senseKey);
            EXPECT_EQ(0x3A, m_failure.additionalSenseCode);
        } else {
            for (ULONG result : {usedResult, freeResult, blankResult, trackResult, discResult})
                EXPECT_EQ(STARBURN_OK, result);
            EXPECT_EQ(c.usedBytes, used);
            EXPECT_EQ(c.freeBytes, (static_cast<ULONGLONG>(high) << 32) | low);
            EXPECT_EQ(c.blank, blank);
            EXPECT_EQ(c.takesTrack, track.nextWritableAddressValid);
            EXPECT_EQ(c.capacitySeconds,
                      StarBurn_CdvdBurnerGrabber_MSFToLBA(disc.lastLeadOutMinutes, disc.lastLeadOutSeconds,
                                                          disc.lastLeadOutFrames, 0) /
                          75);
        }
        Close(byName);
        EXPECT_EQ(nullptr, byName);
    }
}

TEST_F(Queries, TheRecordsHoldWhatTheCallersReadWhereTheyReadIt)
{
    // Callers read these fields by their place in the records.
    EXPECT_EQ(11u, offsetof(STARBURN_TRACK_INFORMATION, nextWritableAddressValid));
    EXPECT_EQ(16u, offsetof(STARBURN_TRACK_INFORMATION, nextWritableAddress));
    EXPECT_EQ(46u, sizeof(STARBURN_SUPPORTED_MEDIA_FORMATS));
    const size_t writeBytes[] = {6, 8, 11, 13, 15, 19, 21, 25, 30, 32, 34, 36};
    const size_t writeFields[] = {offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdR),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdRw),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdR),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdRam),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdRw),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusRw),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusR),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusRDl),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdRDl),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeBdR),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeBdRe),
                                  offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeHdDvdR)};
    for (size_t i = 0; i < std::size(writeBytes); ++i)
        EXPECT_EQ(writeBytes[i], writeFields[i]);
}

TEST_F(Queries, WhatADriveWritesAndInWhichModes)
{
    Use("[Recorders]\r\nCount=3\r\n"
        "[Drive1]\r\nWrites=CD-R,CD-RW\r\nWriteModes=TAO,SAO\r\n"
        "[Drive2]\r\nWrites=CD-R, dvd+r ,BD-RE\r\nWriteModes=SAO,RAW96\r\n"
        "[Drive3]\r\nWrites=none\r\nWriteModes=\r\n");
    struct {
        const char* device;
        std::vector<size_t> writes;
        BOOLEAN modes[4];
    } cases[] = {
        {"CdRom0", {offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdR), offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdRw)},
         {1, 1, 0, 0}},
        {"CdRom1",
         {offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdR), offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusR),
          offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeBdRe)},
         {0, 1, 0, 1}},
        {"CdRom2", {}, {0, 0, 0, 0}},
    };
    const size_t allWrites[] = {6, 8, 11, 13, 15, 19, 21, 25, 30, 32, 34, 36};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        void* grabber = Open(c.device, STARBURN_OPEN_SHARED);
        ASSERT_NE(nullptr, grabber);
        STARBURN_SUPPORTED_MEDIA_FORMATS formats = {};
        formats.size = sizeof formats;
        ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(
                                   grabber, m_text, sizeof m_text, &m_systemError, &m_failure, &formats));
        EXPECT_EQ(sizeof formats, formats.size);
        const auto* bytes = reinterpret_cast<const UCHAR*>(&formats);
        for (size_t offset : allWrites) {
            const bool wanted = std::find(c.writes.begin(), c.writes.end(), offset) != c.writes.end();
            EXPECT_EQ(wanted ? 1 : 0, bytes[offset]) << "byte " << offset;
            EXPECT_EQ(wanted ? 1 : 0, bytes[offset - 1]) << "reading, byte " << offset - 1;
        }
        BOOLEAN modes[4] = {2, 2, 2, 2};
        ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(grabber, m_text, sizeof m_text,
                                                                                   &m_systemError, &m_failure, &modes[0],
                                                                                   &modes[1], &modes[2], &modes[3]));
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.modes[i], modes[i]) << "mode " << i;
        Close(grabber);
    }
    // The search for recorders alone leaves out the drive that writes nothing; that for readers too
    // takes it.
    struct Found {
        std::vector<STARBURN_DEVICE_ADDRESS> addresses;
        std::vector<std::string> descriptions;
    };
    auto find = [](ULONG kinds) {
        Found found;
        StarBurn_FindDevice(kinds, STARBURN_FIND_DEFAULT,
                            [](ULONG reason, void* context, void* value1, void* value2) {
                                auto* into = static_cast<Found*>(context);
                                EXPECT_EQ(ULONG{STARBURN_CALLBACK_DEVICE_FOUND}, reason);
                                into->addresses.push_back(*static_cast<STARBURN_DEVICE_ADDRESS*>(value1));
                                into->descriptions.push_back(static_cast<const char*>(value2));
                            },
                            &found);
        return found;
    };
    const Found recorders = find(STARBURN_FIND_RECORDERS);
    ASSERT_EQ(2u, recorders.addresses.size());
    EXPECT_EQ(0, recorders.addresses[0].target);
    EXPECT_EQ(1, recorders.addresses[1].target);
    const Found all = find(STARBURN_FIND_READERS | STARBURN_FIND_RECORDERS);
    ASSERT_EQ(3u, all.addresses.size());
    for (size_t i = 0; i < all.addresses.size(); ++i) {
        EXPECT_EQ(sizeof(STARBURN_DEVICE_ADDRESS), all.addresses[i].size);
        EXPECT_EQ(1, all.addresses[i].port);
        EXPECT_EQ(i, all.addresses[i].target);
    }
}

TEST_F(Queries, NamesAreCutAsADriveReportsThem)
{
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\nVendor=VERYLONGVENDOR\r\nProduct=A PRODUCT NAME LONGER THAN SIXTEEN\r\n"
        "Revision=1.0.0.1\r\n");
    void* grabber = Open("CdRom0", STARBURN_OPEN_SHARED);
    ASSERT_NE(nullptr, grabber);
    char vendor[STARBURN_VENDOR_SIZE], product[STARBURN_PRODUCT_SIZE], revision[STARBURN_REVISION_SIZE];
    ULONG buffer = 0;
    ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_GetDeviceInformation(grabber, vendor, product, revision, &buffer));
    EXPECT_STREQ("VERYLONG", vendor);
    EXPECT_STREQ("A PRODUCT NAME L", product);
    EXPECT_STREQ("1.0.", revision);
    // No letter: none to report.
    char letter[STARBURN_DEVICE_NAME_SIZE] = "x";
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NO_DEVICE}, StarBurn_GetDeviceNameByDeviceAddress(1, 0, 0, 0, letter));
    EXPECT_STREQ("", letter);
    Close(grabber);
}

TEST_F(Queries, ARequestedSpeedTakesTheHighestTheDriveTakesNotAboveIt)
{
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\nWriteSpeeds=2800,706,1760\r\nReadSpeeds=1760,7040\r\n"
        "MaxWriteSpeed=4224\r\n");
    void* grabber = Open("CdRom0", STARBURN_OPEN_SHARED);
    ASSERT_NE(nullptr, grabber);
    struct {
        ULONG read, write;
        ULONG readTaken, writeTaken;
    } cases[] = {
        {STARBURN_SPEED_MAX, STARBURN_SPEED_MAX, 7040, 2800},
        {7040, 1760, 7040, 1760},
        {5000, 2000, 1760, 1760},
        {100, 100, 1760, 706},
        {STARBURN_SPEED_MAX, 3250, 7040, 2800},
    };
    ULONG read = 0, maxRead = 0, write = 0, maxWrite = 0;
    ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_GetSpeeds(grabber, m_text, sizeof m_text, &m_systemError, &m_failure,
                                                                &read, &maxRead, &write, &maxWrite));
    EXPECT_EQ(7040u, read);
    EXPECT_EQ(2800u, write);
    EXPECT_EQ(7040u, maxRead);
    EXPECT_EQ(4224u, maxWrite);  // offered, though it takes no more than 2800
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.read << "/" << c.write);
        ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_SetSpeeds(grabber, m_text, sizeof m_text, &m_systemError,
                                                                    &m_failure, c.read, c.write));
        ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_GetSpeeds(grabber, m_text, sizeof m_text, &m_systemError,
                                                                    &m_failure, &read, &maxRead, &write, &maxWrite));
        EXPECT_EQ(c.readTaken, read);
        EXPECT_EQ(c.writeTaken, write);
    }
    Close(grabber);
}

TEST_F(Queries, StartUpAnswersWhatTheFixtureSaysAndRefusesAnotherVersion)
{
    Use("[Recorders]\r\nCount=0\r\n");
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_SUPPORTED},
              StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION + 1, m_text, sizeof m_text, &m_systemError));
    EXPECT_STRNE("", m_text);
    testsupport::WriteAll(m_folder / L"recorders.ini", std::string("[Recorders]\r\nCount=0\r\nFailUpStart=7\r\n"));
    Clear();
    EXPECT_EQ(7u, StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION, m_text, sizeof m_text, &m_systemError));
    EXPECT_STREQ("the library cannot start", m_text);
    EXPECT_NE(0u, m_systemError);
}

TEST_F(Queries, HandlesAndRecordsGivenWronglyAreRefusedUntouched)
{
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\nFailTestUnitReady=2\r\n");
    void* grabber = Open("CdRom0");
    ASSERT_NE(nullptr, grabber);

    // A record too small for what the drive would write into it.
    STARBURN_SUPPORTED_MEDIA_FORMATS formats;
    std::memset(&formats, 0xEE, sizeof formats);
    formats.size = sizeof formats - 1;
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_INVALID_PARAMETER},
              StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(grabber, m_text, sizeof m_text, &m_systemError,
                                                                          &m_failure, &formats));
    EXPECT_EQ(0xEE, reinterpret_cast<UCHAR*>(&formats)[6]);
    // A text buffer shorter than the reason: cut and terminated.
    char small[8];
    std::memset(small, 'x', sizeof small);
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_READY},
              StarBurn_CdvdBurnerGrabber_TestUnitReady(grabber, small, sizeof small, &m_systemError, &m_failure));
    EXPECT_EQ(std::string("the dri"), std::string(small));
    EXPECT_EQ(ULONG{ERROR_NOT_READY}, m_systemError);
    // The second failure is still due, then the drive is ready.
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_READY},
              StarBurn_CdvdBurnerGrabber_TestUnitReady(grabber, m_text, sizeof m_text, &m_systemError, &m_failure));
    EXPECT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_TestUnitReady(grabber, m_text, sizeof m_text, &m_systemError, &m_failure));
    // Free space only in bytes.
    ULONG low = 0, high = 0;
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_INVALID_PARAMETER}, StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(grabber, 1, &low, &high));

    // A closed grabber, a double close and a made-up handle.
    void* copy = grabber;
    Close(grabber);
    EXPECT_EQ(nullptr, grabber);
    StarBurn_Destroy(&copy);
    EXPECT_EQ(nullptr, copy);
    StarBurn_Destroy(nullptr);
    int notAGrabber = 0;
    for (void* handle : {copy, static_cast<void*>(&notAGrabber)}) {
        Clear();
        EXPECT_EQ(ULONG{STARBURN_EXCEPTION_INVALID_PARAMETER},
                  StarBurn_CdvdBurnerGrabber_TestUnitReady(handle, m_text, sizeof m_text, &m_systemError, &m_failure));
        EXPECT_STREQ("the grabber is not open", m_text);
        EXPECT_EQ(ULONG{STARBURN_DISC_UNKNOWN}, StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(handle));
        EXPECT_EQ(ULONG{STARBURN_EXCEPTION_INVALID_PARAMETER},
                  StarBurn_CdvdBurnerGrabber_Eject(handle, m_text, sizeof m_text, &m_systemError, &m_failure));
    }
}

}  // namespace
