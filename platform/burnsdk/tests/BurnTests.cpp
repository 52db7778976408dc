// Burning onto the virtual recorder as the burn engine does: tracks written in order onto the
// disc's folder, the session closed and the disc ejected, files that are not CD audio refused,
// failures where the fixture puts them, test writes that leave the disc as it was, and the log.
#include "RecorderFixture.h"

#include <functional>

namespace {

using burntest::Event;
using burntest::RecorderTest;

constexpr char kCdAudio[] = "-r 44100 -c 2 -b 16";
constexpr ULONG kGap = 150;

ULONGLONG Sectors(LONGLONG wavBytes)
{
    return (static_cast<ULONGLONG>(wavBytes - 44) + 2351) / 2352;
}

class Burn : public RecorderTest {
protected:
    // The drive opened to write, ready, as the burn engine sets it up.
    void* Prepare(const char* device = "CdRom0")
    {
        void* grabber = Open(device);
        EXPECT_NE(nullptr, grabber) << m_text;
        if (!grabber)
            return nullptr;
        EXPECT_EQ(STARBURN_OK, Call(&StarBurn_CdvdBurnerGrabber_TestUnitReady, grabber)) << m_text;
        Clear();
        StarBurn_CdvdBurnerGrabber_SetBUP(grabber, m_text, sizeof m_text, &m_systemError, &m_failure, 1);
        Clear();
        StarBurn_CdvdBurnerGrabber_SetSpeeds(grabber, m_text, sizeof m_text, &m_systemError, &m_failure,
                                             STARBURN_SPEED_MAX, 1760);
        return grabber;
    }

    using PlainCall = ULONG(STARBURN_CALL*)(void*, char*, ULONG, ULONG*, STARBURN_FAILURE_INFO*);
    ULONG Call(PlainCall call, void* grabber)
    {
        Clear();
        return call(grabber, m_text, sizeof m_text, &m_systemError, &m_failure);
    }

    ULONG Write(void* grabber, const CString& file, ULONG test = 0)
    {
        Clear();
        return StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(grabber, m_text, sizeof m_text, &m_systemError, &m_failure,
                                                              file.ToNarrow().c_str(), STARBURN_TRACK_AUDIO, test, 0, 1, 5);
    }

    struct DiscState {
        BOOLEAN blank = 0;
        ULONGLONG used = 0, free = 0;
        UCHAR takesTrack = 0;
        ULONG type = 0;
    };
    DiscState State(void* grabber)
    {
        DiscState state;
        state.type = StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(grabber);
        Clear();
        StarBurn_CdvdBurnerGrabber_IsDiscBlank(grabber, m_text, sizeof m_text, &m_systemError, &m_failure, &state.blank);
        StarBurn_CdvdBurnerGrabber_GetDiscUsedSpace(grabber, m_text, sizeof m_text, &m_systemError, &m_failure, &state.used);
        ULONG low = 0, high = 0;
        StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(grabber, STARBURN_SPACE_BYTES, &low, &high);
        state.free = (static_cast<ULONGLONG>(high) << 32) | low;
        STARBURN_TRACK_INFORMATION track = {};
        StarBurn_CdvdBurnerGrabber_GetTrackInformation(grabber, m_text, sizeof m_text, &m_systemError, &m_failure,
                                                       STARBURN_NEXT_TRACK, &track);
        state.takesTrack = track.nextWritableAddressValid;
        return state;
    }

    CString Track(int drive, int disc, int track) const
    {
        CString name;
        name.Format(L"%s\\Track%02d.wav", DiscFolder(drive, disc).GetString(), track);
        return name;
    }
};

constexpr char kTwoBlankDiscs[] =
    "[Recorders]\r\nCount=1\r\n[Drive1]\r\nLetter=D:\r\nDiscs=2\r\n[Drive1.Disc1]\r\nType=CD-R\r\n"
    "[Drive1.Disc2]\r\nType=CD-RW\r\n";

TEST_F(Burn, TracksLandOnTheDiscInOrderThenTheSessionClosesAndTheDiscGoes)
{
    Use(kTwoBlankDiscs);
    const CString tones[] = {MakeTone(L"a.wav", kCdAudio, 1.0, 440), MakeTone(L"b.wav", kCdAudio, 7.3, 660),
                             MakeTone(L"c.wav", kCdAudio, 0.7, 880)};
    void* grabber = Prepare();
    ASSERT_NE(nullptr, grabber);
    const DiscState before = State(grabber);
    ASSERT_EQ(STARBURN_OK, Call(&StarBurn_CdvdBurnerGrabber_SendOPC, grabber)) << m_text;
    ULONGLONG written = 0;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i + 1);
        m_events.clear();
        ASSERT_EQ(STARBURN_OK, Write(grabber, tones[i])) << m_text;
        written += (Sectors(testsupport::FileSizeOf(tones[i])) + kGap) * 2048;
        // The track begins with its length, fills the cache, then counts up to that length.
        ASSERT_GE(m_events.size(), 4u);
        const ULONG seconds = m_events[0].value2;
        EXPECT_EQ(ULONG{STARBURN_CALLBACK_TRACK_BEGIN}, m_events[0].reason);
        EXPECT_EQ(ULONG(i + 1), m_events[0].value1);
        EXPECT_EQ(i == 1 ? 8u : 1u, seconds);
        EXPECT_EQ(ULONG{STARBURN_CALLBACK_CACHE_FILL}, m_events[1].reason);
        EXPECT_GT(m_events[1].value1, 0u);
        EXPECT_EQ(ULONG{STARBURN_CALLBACK_CACHE_FULL}, m_events[2].reason);
        ULONG last = 0;
        for (size_t k = 3; k < m_events.size(); ++k) {
            EXPECT_EQ(ULONG{STARBURN_CALLBACK_TRACK_PROGRESS}, m_events[k].reason);
            EXPECT_GE(m_events[k].value2, last);
            last = m_events[k].value2;
        }
        EXPECT_EQ(seconds, last);
        if (i == 1) {
            EXPECT_GE(m_events.size(), 6u);  // the long track reports more than once on the way
        }
    }
    const DiscState burned = State(grabber);
    EXPECT_FALSE(burned.blank);
    EXPECT_EQ(before.used + written, burned.used);
    EXPECT_EQ(before.free - written, burned.free);
    EXPECT_EQ(1, burned.takesTrack);  // until the session is closed
    EXPECT_EQ(STARBURN_OK, Call(&StarBurn_CdvdBurnerGrabber_CloseSession, grabber)) << m_text;
    const DiscState closed = State(grabber);
    EXPECT_EQ(0, closed.takesTrack);
    EXPECT_EQ(0u, closed.free);
    EXPECT_EQ(burned.used, closed.used);
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_WRITABLE}, Write(grabber, tones[0]));

    EXPECT_EQ(3, testsupport::FileCount(DiscFolder(1, 1)));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ("", CheckDiscTrack(Track(1, 1, i + 1), tones[i])) << "track " << i + 1;

    // The eject brings the second disc, blank; the next eject leaves the drive empty.
    EXPECT_EQ(STARBURN_OK, Call(&StarBurn_CdvdBurnerGrabber_Eject, grabber));
    const DiscState second = State(grabber);
    EXPECT_EQ(ULONG{STARBURN_DISC_CDRW}, second.type);
    EXPECT_TRUE(second.blank);
    EXPECT_EQ(STARBURN_OK, Write(grabber, tones[2])) << m_text;
    EXPECT_EQ("", CheckDiscTrack(Track(1, 2, 1), tones[2]));
    EXPECT_EQ(STARBURN_OK, Call(&StarBurn_CdvdBurnerGrabber_Eject, grabber));
    EXPECT_EQ(ULONG{STARBURN_DISC_NONE}, StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(grabber));
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_READY}, Call(&StarBurn_CdvdBurnerGrabber_TestUnitReady, grabber));
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_READY}, Write(grabber, tones[0]));
    Close(grabber);
}

TEST_F(Burn, AFileThatIsNotCdAudioIsRefusedAndNothingIsWritten)
{
    Use(kTwoBlankDiscs);
    testsupport::WriteAll(m_folder / L"text.wav", std::string("not a sound at all, only text"));
    struct {
        const wchar_t* name;
        const char* format;  // null: the file is made otherwise
        ULONG exception;
    } cases[] = {
        {L"mono.wav", "-r 44100 -c 1 -b 16", STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"22k.wav", "-r 22050 -c 2 -b 16", STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"48k.wav", "-r 48000 -c 2 -b 16", STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"8bit.wav", "-r 44100 -c 2 -b 8", STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"float.wav", "-r 44100 -c 2 -e floating-point -b 32", STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"cd.aiff", "-r 44100 -c 2 -b 16", STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"text.wav", nullptr, STARBURN_EXCEPTION_NOT_CD_AUDIO},
        {L"missing.wav", nullptr, STARBURN_EXCEPTION_FILE},
    };
    void* grabber = Prepare();
    ASSERT_NE(nullptr, grabber);
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.name).ToNarrow());
        const CString file = c.format ? MakeTone(c.name, c.format, 0.5) : m_folder / c.name;
        m_events.clear();
        EXPECT_EQ(c.exception, Write(grabber, file));
        EXPECT_STRNE("", m_text);
        EXPECT_EQ(c.exception, m_failure.exception);
        EXPECT_TRUE(m_events.empty());
    }
    EXPECT_EQ(-1, testsupport::FileSizeOf(DiscFolder(1, 1)));
    EXPECT_TRUE(State(grabber).blank);
    // CD audio after them is track 1.
    EXPECT_EQ(STARBURN_OK, Write(grabber, MakeTone(L"cd.wav", kCdAudio, 0.5))) << m_text;
    EXPECT_EQ(1, testsupport::FileCount(DiscFolder(1, 1)));
    EXPECT_NE(-1, testsupport::FileSizeOf(Track(1, 1, 1)));
    Close(grabber);
}

TEST_F(Burn, AFailureAtTheThirdTrackLeavesTheFirstTwo)
{
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\nDiscs=1\r\n[Drive1.Disc1]\r\nType=CD-R\r\nFailTrack=3\r\n");
    const CString tone = MakeTone(L"a.wav", kCdAudio, 0.5);
    void* grabber = Prepare();
    ASSERT_NE(nullptr, grabber);
    EXPECT_EQ(STARBURN_OK, Write(grabber, tone));
    EXPECT_EQ(STARBURN_OK, Write(grabber, tone));
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_DEVICE_FAILURE}, Write(grabber, tone));
    EXPECT_STRNE("", m_text);
    EXPECT_EQ(ULONG{ERROR_IO_DEVICE}, m_systemError);
    EXPECT_EQ(0x03, m_failure.senseKey);
    EXPECT_EQ(0x0C, m_failure.additionalSenseCode);
    EXPECT_STREQ("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile", m_failure.call);
    EXPECT_EQ(2, testsupport::FileCount(DiscFolder(1, 1)));
    EXPECT_EQ(-1, testsupport::FileSizeOf(Track(1, 1, 3)));
    Close(grabber);
}

TEST_F(Burn, TestWritesReportProgressAndLeaveTheDiscAsItWas)
{
    Use(kTwoBlankDiscs);
    const CString tone = MakeTone(L"a.wav", kCdAudio, 1.5);
    void* grabber = Prepare();
    ASSERT_NE(nullptr, grabber);
    const DiscState before = State(grabber);
    for (int i = 0; i < 2; ++i) {
        m_events.clear();
        EXPECT_EQ(STARBURN_OK, Write(grabber, tone, 1)) << m_text;
        ASSERT_FALSE(m_events.empty());
        EXPECT_EQ(ULONG{STARBURN_CALLBACK_TRACK_BEGIN}, m_events.front().reason);
        EXPECT_EQ(1u, m_events.front().value1);  // still the disc's first track
        EXPECT_EQ(ULONG{STARBURN_CALLBACK_TRACK_PROGRESS}, m_events.back().reason);
        EXPECT_EQ(2u, m_events.back().value2);
    }
    const DiscState after = State(grabber);
    EXPECT_TRUE(after.blank);
    EXPECT_EQ(before.used, after.used);
    EXPECT_EQ(before.free, after.free);
    EXPECT_EQ(-1, testsupport::FileSizeOf(DiscFolder(1, 1)));
    // A file that is not CD audio is refused in a test write too.
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NOT_CD_AUDIO}, Write(grabber, MakeTone(L"m.wav", "-r 44100 -c 1 -b 16", 0.5), 1));
    Close(grabber);
}

TEST_F(Burn, ACallTheFixtureFailsFailsSoManyTimesThenWorks)
{
    struct {
        const char* key;
        std::function<ULONG(void*)> call;
        ULONG exception;
        bool needsTrack;  // something written first, to close
    } cases[] = {
        {"FailTestUnitReady", [this](void* g) { return Call(&StarBurn_CdvdBurnerGrabber_TestUnitReady, g); },
         STARBURN_EXCEPTION_NOT_READY, false},
        {"FailSendOPC", [this](void* g) { return Call(&StarBurn_CdvdBurnerGrabber_SendOPC, g); },
         STARBURN_EXCEPTION_DEVICE_FAILURE, false},
        {"FailEject", [this](void* g) { return Call(&StarBurn_CdvdBurnerGrabber_Eject, g); },
         STARBURN_EXCEPTION_DEVICE_FAILURE, false},
        {"FailSetBUP",
         [this](void* g) {
             Clear();
             return StarBurn_CdvdBurnerGrabber_SetBUP(g, m_text, sizeof m_text, &m_systemError, &m_failure, 1);
         },
         STARBURN_EXCEPTION_DEVICE_FAILURE, false},
        {"FailSetSpeeds",
         [this](void* g) {
             Clear();
             return StarBurn_CdvdBurnerGrabber_SetSpeeds(g, m_text, sizeof m_text, &m_systemError, &m_failure,
                                                         STARBURN_SPEED_MAX, 1760);
         },
         STARBURN_EXCEPTION_DEVICE_FAILURE, false},
        {"FailCloseSession", [this](void* g) { return Call(&StarBurn_CdvdBurnerGrabber_CloseSession, g); },
         STARBURN_EXCEPTION_DEVICE_FAILURE, true},
    };
    const CString tone = MakeTone(L"a.wav", kCdAudio, 0.3);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        Use(std::string("[Recorders]\r\nCount=1\r\n[Drive1]\r\n") + c.key + "=2\r\n");
        void* grabber = Open("CdRom0");
        ASSERT_NE(nullptr, grabber);
        if (c.needsTrack) {
            ASSERT_EQ(STARBURN_OK, Write(grabber, tone)) << m_text;
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(c.exception, c.call(grabber));
            EXPECT_STRNE("", m_text);
            EXPECT_NE(0u, m_systemError);
            EXPECT_NE(0, m_failure.senseKey);
        }
        EXPECT_EQ(STARBURN_OK, c.call(grabber)) << m_text;
        Close(grabber);
    }
    // Creation fails every time when the fixture says so.
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\nFailCreate=all\r\n");
    for (int attempt = 0; attempt < 3; ++attempt)
        EXPECT_EQ(nullptr, Open("CdRom0"));
}

TEST_F(Burn, ATrackTheDiscCannotTakeIsRefused)
{
    Use("[Recorders]\r\nCount=5\r\n"
        "[Drive1]\r\n[Drive1.Disc1]\r\nType=CD-R\r\nFreeBytes=600000\r\n"   // 292 blocks: less than the gap and 4 s
        "[Drive2]\r\n[Drive2.Disc1]\r\nType=CD-R\r\nUsedBytes=1000000\r\n"  // used and closed
        "[Drive3]\r\nWrites=CD-R,DVD-R\r\n[Drive3.Disc1]\r\nType=DVD-R\r\n"  // not a CD
        "[Drive4]\r\nWriteModes=SAO\r\n"                                     // no track at once
        "[Drive5]\r\nWrites=CD-R\r\n[Drive5.Disc1]\r\nType=CD-RW\r\n");      // a medium it does not write
    const CString tone = MakeTone(L"a.wav", kCdAudio, 4.0);
    struct {
        const char* device;
        ULONG exception;
    } cases[] = {
        {"CdRom0", STARBURN_EXCEPTION_NO_SPACE},     {"CdRom1", STARBURN_EXCEPTION_NOT_WRITABLE},
        {"CdRom2", STARBURN_EXCEPTION_NOT_WRITABLE}, {"CdRom3", STARBURN_EXCEPTION_NOT_SUPPORTED},
        {"CdRom4", STARBURN_EXCEPTION_NOT_WRITABLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.device);
        void* grabber = Open(c.device);
        ASSERT_NE(nullptr, grabber);
        EXPECT_EQ(c.exception, Write(grabber, tone));
        EXPECT_STRNE("", m_text);
        Close(grabber);
    }
    EXPECT_EQ(-1, testsupport::FileSizeOf(m_folder / L"discs"));
}

TEST_F(Burn, NinetyNineTracksFillADisc)
{
    Use("[Recorders]\r\nCount=1\r\n[Drive1]\r\n[Drive1.Disc1]\r\nType=CD-R\r\nTracks=97\r\nBlank=0\r\nClosed=0\r\n"
        "UsedBytes=2048000\r\n");
    const CString tone = MakeTone(L"a.wav", kCdAudio, 0.2);
    void* grabber = Prepare();
    ASSERT_NE(nullptr, grabber);
    EXPECT_EQ(STARBURN_OK, Write(grabber, tone)) << m_text;
    EXPECT_EQ(STARBURN_OK, Write(grabber, tone)) << m_text;
    EXPECT_EQ(ULONG{STARBURN_EXCEPTION_NO_SPACE}, Write(grabber, tone));
    EXPECT_EQ(0, State(grabber).takesTrack);
    EXPECT_NE(-1, testsupport::FileSizeOf(Track(1, 1, 98)));
    EXPECT_NE(-1, testsupport::FileSizeOf(Track(1, 1, 99)));
    Close(grabber);
}

// A thread that asks for the disc type of the grabber *context and ends with it.
DWORD WINAPI AskDiscType(void* context)
{
    return StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(*static_cast<void**>(context));
}

// The burn engine's callback sends to a window of another thread, which may call the library
// meanwhile: the write must not hold the library's lock while it calls back.
TEST_F(Burn, ACallbackMayWaitForAnotherThreadThatCallsTheLibrary)
{
    Use(kTwoBlankDiscs);
    const CString tone = MakeTone(L"a.wav", kCdAudio, 0.5);
    struct Waiter {
        void* grabber = nullptr;
        int waits = 0;
        int answered = 0;
    } waiter;
    waiter.grabber = Open("CdRom0");
    ASSERT_NE(nullptr, waiter.grabber);
    void* writer = nullptr;
    ASSERT_EQ(STARBURN_OK, StarBurn_CdvdBurnerGrabber_CreateEx(
                               &writer, m_text, sizeof m_text, &m_systemError, &m_failure,
                               [](ULONG, void* context, void*, void*) {
                                   auto* w = static_cast<Waiter*>(context);
                                   ++w->waits;
                                   HANDLE thread = CreateThread(nullptr, 0, AskDiscType, &w->grabber, 0, nullptr);
                                   if (WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0) {
                                       DWORD type = 0;
                                       GetExitCodeThread(thread, &type);
                                       if (type == STARBURN_DISC_CDR)
                                           ++w->answered;
                                   }
                                   CloseHandle(thread);
                               },
                               &waiter, "CdRom0", STARBURN_OPEN_EXCLUSIVE));
    EXPECT_EQ(STARBURN_OK, Write(writer, tone)) << m_text;
    EXPECT_GE(waiter.waits, 4);
    EXPECT_EQ(waiter.waits, waiter.answered);
    Close(writer);
    Close(waiter.grabber);
}

TEST_F(Burn, TheLogHoldsEveryCallWithItsArgumentsInOrder)
{
    Use(kTwoBlankDiscs);
    const CString tone = MakeTone(L"a.wav", kCdAudio, 0.3);
    void* grabber = Prepare();
    ASSERT_NE(nullptr, grabber);
    Call(&StarBurn_CdvdBurnerGrabber_SendOPC, grabber);
    Write(grabber, tone);
    Write(grabber, tone, 1);
    Call(&StarBurn_CdvdBurnerGrabber_CloseSession, grabber);
    Call(&StarBurn_CdvdBurnerGrabber_Eject, grabber);
    Close(grabber);
    StarBurn_DownShut();

    const std::string file = "file=\"" + tone.ToNarrow() + "\"";
    const std::vector<std::string> expected = {
        "StarBurn_UpStartEx version=65536 textSize=1024 -> 0",
        "StarBurn_CdvdBurnerGrabber_CreateEx textSize=1024 device=\"CdRom0\" shared=0 drive=1 -> 0 grabber=1",
        "StarBurn_CdvdBurnerGrabber_TestUnitReady grabber=1 drive=1 textSize=1024 -> 0",
        "StarBurn_CdvdBurnerGrabber_SetBUP grabber=1 drive=1 textSize=1024 enable=1 -> 0",
        "StarBurn_CdvdBurnerGrabber_SetSpeeds grabber=1 drive=1 textSize=1024 read=65535 write=1760 -> 0",
        "StarBurn_CdvdBurnerGrabber_SendOPC grabber=1 drive=1 textSize=1024 -> 0",
        "StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile grabber=1 drive=1 textSize=1024 " + file +
            " kind=0 test=0 reserved=0 close=1 cache=5 -> 0 track=1",
        "StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile grabber=1 drive=1 textSize=1024 " + file +
            " kind=0 test=1 reserved=0 close=1 cache=5 -> 0 track=2",
        "StarBurn_CdvdBurnerGrabber_CloseSession grabber=1 drive=1 textSize=1024 -> 0",
        "StarBurn_CdvdBurnerGrabber_Eject grabber=1 drive=1 textSize=1024 -> 0 next=2",
        "StarBurn_Destroy grabber=1 -> 0",
        "StarBurn_DownShut open=0 -> 0",
    };
    EXPECT_EQ(expected, LogLines());
}

}  // namespace
