// The media player control wrapper: the play-state and position rules, and the system's own
// control hosted at a dialog's placeholder with a part file made by ffmpeg.
#include "WMPPlayer.h"

#include "AfxWin.h"
#include "OleTestIds.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(PlayerControl, BusyStatesArePlayingScanningBufferingWaitingTransitioningReconnecting)
{
    const struct {
        long state;
        bool busy;
    } cases[] = {{0, false}, {1, false}, {2, false}, {3, true},   {4, true},  {5, true},  {6, true},
                 {7, true},  {8, false}, {9, true},  {10, false}, {11, true}, {12, false}, {-1, false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.busy, IsBusyPlayState(c.state)) << c.state;
}

TEST(PlayerControl, PositionsRoundHalfUpOrUpToWholeSeconds)
{
    const struct {
        double seconds;
        bool ceiling;
        long whole;
    } cases[] = {{2.5, false, 3}, {2.49, false, 2}, {0.0, false, 0},  {2.01, true, 3},
                 {2.0, true, 2},  {-1.0, false, -1}, {-1.0, true, -1}, {1e12, false, 2147483647}};
    for (const auto& c : cases)
        EXPECT_EQ(c.whole, RoundPlayerPosition(c.seconds, c.ceiling)) << c.seconds << (c.ceiling ? " up" : "");
}

class RecordingEvents : public IPlayerEvents {
public:
    void OnPlayStateChange(long state) override { states.push_back(state); }
    std::vector<long> states;
};

class PlayerControlOnTheSystem : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr))); }
    void TearDown() override { OleUninitialize(); }

    // A 3-second tone.
    CString MakePart()
    {
        const CString path = m_folder / L"Part01.wav";
        const int code = testsupport::RunHostCommand(
            "ffmpeg -nostdin -loglevel error -f lavfi -i sine=frequency=440:duration=3 -ac 1 -ar 22050 -y " +
            testsupport::ShellQuoted(path));
        EXPECT_EQ(0, code);
        return path;
    }
    testsupport::ScratchFolder m_folder;
};

TEST_F(PlayerControlOnTheSystem, HostedAtThePlaceholderPlaysAPartAndGoesWithItsWindow)
{
    const CString part = MakePart();
    CDialog host;
    ASSERT_TRUE(host.Create(IDD_TEST_PLAYER));
    CRect placeholder;
    ::GetWindowRect(::GetDlgItem(host, IDC_TEST_PLAYER), &placeholder);
    host.ScreenToClient(&placeholder);

    CWMPPlayer player;
    RecordingEvents events;
    player.SetEvents(&events);
    ASSERT_TRUE(player.CreateAtPlaceholder(&host, IDC_TEST_PLAYER)) << std::hex << player.GetCreateResult();

    // The control stands where the placeholder stood, under its id, before the list in tab order.
    const auto tree = testsupport::WindowTree(host);
    const testsupport::WindowInfo* hosted = testsupport::FindById(tree, IDC_TEST_PLAYER);
    ASSERT_NE(nullptr, hosted) << testsupport::DumpWindowTree(host).ToNarrow();
    EXPECT_EQ(CString(L"AtlAxWin"), hosted->className);
    EXPECT_EQ(placeholder, hosted->rect);
    EXPECT_TRUE(hosted->visible);
    EXPECT_EQ(player.m_hWnd, ::GetDlgItem(host, IDC_TEST_PLAYER));
    EXPECT_EQ(::GetDlgItem(host, IDC_TEST_LIST), ::GetWindow(player, GW_HWNDNEXT));
    EXPECT_NE(nullptr, ::GetWindow(player, GW_CHILD)) << "the control's own window";

    player.SetVolume(40);
    player.SetURL(part);
    EXPECT_EQ(0, player.GetURL().CompareNoCase(part)) << player.GetURL().ToNarrow();
    // The part opens (transitioning, ready); it plays where the machine has a sound device.
    auto played = [&] { return std::find(events.states.begin(), events.states.end(), PLAYER_STATE_PLAYING) != events.states.end(); };
    auto ended = [&] {
        return !events.states.empty() && !IsBusyPlayState(events.states.back()) && events.states.back() != PLAYER_STATE_READY;
    };
    double duration = 0.0;
    for (int i = 0; i < 250 && !(played() ? duration > 2.5 : ended()); ++i) {
        testsupport::PumpMessages(20);
        duration = player.GetDuration();
    }
    std::string seen;
    for (long s : events.states)
        seen += std::to_string(s) + " ";
    ASSERT_FALSE(events.states.empty()) << "no play-state event";
    EXPECT_NE(events.states.end(), std::find(events.states.begin(), events.states.end(), PLAYER_STATE_TRANSITIONING)) << seen;
    for (long s : events.states)
        EXPECT_TRUE(s >= PLAYER_STATE_UNDEFINED && s <= PLAYER_STATE_RECONNECTING) << seen;
    EXPECT_EQ(events.states.back(), player.GetLastEventState());
    if (played()) {
        EXPECT_NEAR(3.0, duration, 0.2) << seen;
    } else {
        // Without a sound device nothing renders: the reads give their nothing values.
        EXPECT_EQ(0.0, duration) << seen;
        EXPECT_EQ(-1.0, player.GetCurrentPosition()) << seen;
    }
    EXPECT_EQ(40, player.GetVolume());
    EXPECT_TRUE(player.HasCurrentMedia());
    testsupport::CaptureWindow(host);

    // Whatever the control leaves out answers its nothing value, never an exception.
    EXPECT_LE(0, player.GetMarkerCount());
    const double rate = player.GetRate();
    EXPECT_GT(rate, 0.0);
    player.SetRate(rate);
    player.SetMute(FALSE);
    EXPECT_FALSE(player.GetMute());
    player.Pause();
    player.SetCurrentMarker(1);
    EXPECT_EQ(-1.0, player.GetMarkerTime(99));
    EXPECT_EQ(CString(), player.GetMarkerName(99));
    player.IsAvailable(L"rate");
    const long state = player.GetPlayState();
    EXPECT_TRUE(state >= PLAYER_STATE_UNDEFINED && state <= PLAYER_STATE_RECONNECTING) << state;
    player.Stop();
    testsupport::PumpMessages(100);
    EXPECT_FALSE(player.IsBusy());

    // Closing the window frees the control: the reference taken here is the last one.
    IUnknown* control = player.GetControlUnknown();
    ASSERT_NE(nullptr, control);
    control->AddRef();
    host.DestroyWindow();
    testsupport::PumpMessages(50);
    EXPECT_EQ(nullptr, player.m_hWnd);
    EXPECT_EQ(nullptr, player.GetControlUnknown());
    EXPECT_EQ(0u, control->Release());
}

// A handler that fails: its exception stops where the control calls us and is reported.
class FailingEvents : public IPlayerEvents {
public:
    void OnPlayStateChange(long) override
    {
        ++calls;
        throw COleDispatchException(E_NOTIMPL);
    }
    int calls = 0;
};

TEST_F(PlayerControlOnTheSystem, AFailingEventHandlerIsReportedAndTheControlGoesOn)
{
    testsupport::MessageBoxRecorder boxes;
    const CString part = MakePart();
    CDialog host;
    ASSERT_TRUE(host.Create(IDD_TEST_PLAYER));
    CWMPPlayer player;
    FailingEvents events;
    player.SetEvents(&events);
    ASSERT_TRUE(player.CreateAtPlaceholder(&host, IDC_TEST_PLAYER));
    player.SetURL(part);
    for (int i = 0; i < 250 && events.calls < 2; ++i)
        testsupport::PumpMessages(20);
    EXPECT_LE(2, events.calls) << "later events still arrive";
    ASSERT_FALSE(boxes.Boxes().empty());
    EXPECT_EQ(COleDispatchException(E_NOTIMPL).GetErrorMessage(), boxes.Boxes()[0].text);
    player.SetEvents(nullptr);
    host.DestroyWindow();
}

TEST_F(PlayerControlOnTheSystem, WithoutAControlEveryReadAnswersNothing)
{
    CWMPPlayer player;  // never created
    EXPECT_EQ(-1.0, player.GetCurrentPosition());
    EXPECT_EQ(0.0, player.GetDuration());
    EXPECT_EQ(1.0, player.GetRate());
    EXPECT_EQ(-1, player.GetVolume());
    EXPECT_FALSE(player.GetMute());
    EXPECT_FALSE(player.IsAvailable(L"rate"));
    EXPECT_EQ(0, player.GetMarkerCount());
    EXPECT_FALSE(player.HasCurrentMedia());
    EXPECT_EQ(CString(), player.GetURL());
    EXPECT_EQ(PLAYER_STATE_UNDEFINED, player.GetPlayState());
    EXPECT_FALSE(player.IsBusy());
    player.Play();
    player.SetURL(L"C:\\nothing.wav");
}

TEST_F(PlayerControlOnTheSystem, AMissingPlaceholderOrClassLeavesTheDialogAsItWas)
{
    CDialog host;
    ASSERT_TRUE(host.Create(IDD_TEST_PLAYER));
    CWMPPlayer player;
    EXPECT_FALSE(player.CreateAtPlaceholder(&host, 4711));
    EXPECT_EQ(E_INVALIDARG, player.GetCreateResult());
    CAxHost other;
    const CLSID none = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_FALSE(other.CreateControlAtPlaceholder(none, &host, IDC_TEST_PLAYER));
    EXPECT_EQ(REGDB_E_CLASSNOTREG, other.GetCreateResult());
    EXPECT_EQ(CString(L"Static"), testsupport::FindById(testsupport::WindowTree(host), IDC_TEST_PLAYER)->className);
    EXPECT_EQ(nullptr, other.m_hWnd);
    EXPECT_FALSE(other.CreateControl(L"Vesperlin.NoSuchControl", L"", WS_VISIBLE, CRect(0, 0, 10, 10), &host, 5));
    EXPECT_EQ(CO_E_CLASSSTRING, other.GetCreateResult());
    host.DestroyWindow();
}

}  // namespace
