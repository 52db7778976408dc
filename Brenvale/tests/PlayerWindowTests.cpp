// The player window: its plain rules as tables, the window itself against a scripted
// player control and a folder of part files (parts, markers, volume, speed, resume points
// and bookmarks in the registry of the console's profile), its panes, pictures of it, and
// one run on the system's own player control with a part made by ffmpeg.
#include "MediaExplorerDialog.h"

#include "LibraryTestSupport.h"
#include "PlayerPanes.h"
#include "PlayerRules.h"
#include "ResumePoints.h"
#include "WindowTestSupport.h"
#include "res/BookmarkIds.h"
#include "res/MediaExplorerIds.h"

#include <gtest/gtest.h>

#include <shlwapi.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::PumpMessages;
using testsupport::ScratchFolder;

const wchar_t* const kProfileKey = L"Software\\Vesperlin Player Tests\\Vesperlin Brenvale";

// --- Plain rules ---

TEST(PlayerRules, VolumeSliderAndControlVolumeMapBothWays)
{
    const struct {
        int level;
        long volume;
    } toVolume[] = {{-3, 0}, {0, 0}, {1, 0}, {3, 0}, {10, 2}, {50, 32}, {90, 84}, {99, 98}, {100, 100}, {140, 100}};
    for (const auto& c : toVolume)
        EXPECT_EQ(c.volume, VolumeFromSliderLevel(c.level)) << c.level;
    const struct {
        long volume;
        int level;
    } toLevel[] = {{-1, 0}, {0, 0}, {1, 6}, {2, 9}, {32, 50}, {84, 90}, {99, 99}, {100, 100}, {250, 100}};
    for (const auto& c : toLevel)
        EXPECT_EQ(c.level, SliderLevelFromVolume(c.volume)) << c.volume;
    // The keys: nothing at the ends, steps of 5, never past 0 or 100.
    const struct {
        long volume;
        int up, down;
    } keys[] = {{100, -1, 95}, {98, 100, 94}, {0, 5, -1}, {1, 11, 1}, {2, 14, 4}, {32, 55, 45}};
    for (const auto& c : keys) {
        EXPECT_EQ(c.up, VolumeUpLevel(c.volume)) << c.volume;
        EXPECT_EQ(c.down, VolumeDownLevel(c.volume)) << c.volume;
    }
}

TEST(PlayerRules, StoredSpeedsAndRatesMarkTheirMenuEntry)
{
    const struct {
        int tenths;
        UINT item;
    } stored[] = {{6, ID_SPEED_SLOW}, {10, ID_SPEED_NORMAL}, {12, ID_SPEED_FAST}, {14, ID_SPEED_FASTER},
                  {20, ID_SPEED_DOUBLE}, {50, ID_SPEED_FAST_FORWARD}, {7, ID_SPEED_NORMAL}, {0, ID_SPEED_NORMAL}};
    for (const auto& c : stored)
        EXPECT_EQ(c.item, SpeedItemFromStored(c.tenths)) << c.tenths;
    const struct {
        double rate;
        UINT item;
    } rates[] = {{1.0, ID_SPEED_NORMAL}, {1.2, ID_SPEED_FAST}, {1.15, ID_SPEED_FAST}, {1.3, ID_SPEED_NORMAL},
                 {0.6, ID_SPEED_SLOW},   {5.0, ID_SPEED_FAST_FORWARD}, {-1.0, ID_SPEED_NORMAL}, {1e300, ID_SPEED_NORMAL}};
    for (const auto& c : rates)
        EXPECT_EQ(c.item, SpeedItemFromRate(c.rate)) << c.rate;
    EXPECT_EQ(0.6, RateOfSpeedItem(ID_SPEED_SLOW));
    EXPECT_EQ(5.0, RateOfSpeedItem(ID_SPEED_FAST_FORWARD));
    EXPECT_EQ(1.0, RateOfSpeedItem(ID_VIDEO_SMALL));
}

TEST(PlayerRules, TimeLabelsUseHoursOnlyFromAnHourOn)
{
    const struct {
        long position, duration;
        const wchar_t* elapsed;
        const wchar_t* remaining;
    } cases[] = {{0, 0, L"", L""},           {30, 0, L"", L""},
                 {0, 59, L"00:00", L"-00:59"}, {59, 3599, L"00:59", L"-59:00"},
                 {3600, 3700, L"01:00:00", L"-01:40"}, {10, 7322, L"00:10", L"-02:01:52"},
                 {-1, 90, L"00:00", L"-01:30"},   {100, 90, L"01:40", L"-00:00"}};
    for (const auto& c : cases) {
        const TimeLabels labels = MakeTimeLabels(c.position, c.duration);
        EXPECT_EQ(CString(c.elapsed), labels.elapsed) << c.position << "/" << c.duration;
        EXPECT_EQ(CString(c.remaining), labels.remaining) << c.position << "/" << c.duration;
    }
}

TEST(PlayerRules, ChannelClicksGivePositionsAwayFromTheLeftEnd)
{
    const struct {
        long width, offset, maximum, position;
    } cases[] = {{110, 5, 300, -1},  {110, 0, 300, -1},   {10, 8, 300, -1},     {110, 6, 300, 3},
                 {110, 55, 300, 150}, {110, 105, 300, 300}, {110, 400, 300, 300}, {210, 105, 2000000000, 1000000000}};
    for (const auto& c : cases)
        EXPECT_EQ(c.position, ChannelClickPosition(c.width, c.offset, c.maximum)) << c.width << "," << c.offset;
}

TEST(PlayerRules, TheMarkerRowHoldsItsStartUpToTheNextStart)
{
    const std::vector<long> starts = {10, 60, 60, 200};
    const struct {
        long position;
        int row;
    } cases[] = {{0, -1}, {9, -1}, {10, 0}, {59, 0}, {60, 2}, {199, 2}, {200, 3}, {2147483646, 3}};
    for (const auto& c : cases)
        EXPECT_EQ(c.row, FindMarkerRow(starts, c.position)) << c.position;
    EXPECT_EQ(-1, FindMarkerRow({}, 5));
}

TEST(PlayerPaneRules, LabelsAreCapitalisedWithOneColon)
{
    const struct {
        const wchar_t* role;
        const wchar_t* label;
    } cases[] = {{L"narrator", L"Narrator:"}, {L"Author", L"Author:"}, {L"read by:", L"Read by:"}, {L"x", L"X:"}};
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.label), FieldLabelText(c.role)) << CString(c.role).ToNarrow();
}

TEST(PlayerPaneRules, FieldsStackSixteenPixelsHighAfterTheirGaps)
{
    CRect running(5, 0, 205, 0x7FFFFFFF);
    const struct {
        bool label;
        UINT flags;
        CRect labelRect, valueRect;
    } steps[] = {
        {false, kFieldHeading, CRect(), CRect(5, 0, 205, 16)},
        {true, kFieldGap, CRect(5, 24, 80, 40), CRect(80, 24, 205, 40)},
        {true, 0, CRect(5, 40, 80, 56), CRect(80, 56 - 16, 205, 56)},
        {true, kFieldSmallGap, CRect(5, 61, 80, 77), CRect(80, 61, 205, 77)},
        {false, kFieldGap | kFieldSmallGap, CRect(), CRect(5, 85, 205, 101)},  // the larger gap wins
    };
    for (const auto& step : steps) {
        const FieldPlacement place = PlaceField(running, step.label, step.flags);
        EXPECT_EQ(step.labelRect, place.label);
        EXPECT_EQ(step.valueRect, place.value);
        EXPECT_EQ(step.valueRect.bottom, running.top);
    }
    EXPECT_EQ(75, ScrollPageSize(99));
    EXPECT_EQ(0, ScrollPageSize(24));
}

TEST(PlayerPaneRules, CoversFitTheWidthOrAreCentredAtFullHeight)
{
    const struct {
        int width, height, imageWidth, imageHeight;
        CRect fit;
    } cases[] = {
        {200, 300, 400, 300, CRect(0, 0, 200, 150)},  // wide: full width
        {200, 300, 100, 100, CRect(0, 0, 200, 200)},  // square in a tall pane
        {200, 100, 100, 300, CRect(83, 0, 116, 100)}, // tall: full height, centred across
        {200, 100, 0, 300, CRect()},                 // no picture size: nothing to draw
        {200, 100, 300, 0, CRect()},
        {0, 100, 300, 200, CRect()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.fit, FitCoverRect(c.width, c.height, c.imageWidth, c.imageHeight))
            << c.width << "x" << c.height << " " << c.imageWidth << "x" << c.imageHeight;
}

// --- The window against a scripted control ---

// Plays nothing: answers what the test set and records what the window asked.
class ScriptedControl : public IPlayerControl {
public:
    CString GetURL() override { return url; }
    void SetURL(const wchar_t* value) override
    {
        url = value;
        urls.push_back(url);
    }
    long GetPlayState() override { return state; }
    bool IsBusy() override { return IsBusyPlayState(state); }
    void SetFullScreen(BOOL value) override { calls.push_back(value ? "fullScreen" : "window"); }
    void SetUiMode(const wchar_t* mode) override { calls.push_back("uiMode " + CString(mode).ToNarrow()); }
    bool HasSoundOutput() override { return soundOutput; }
    void Play() override
    {
        calls.push_back("play");
        state = PLAYER_STATE_PLAYING;
    }
    void Stop() override
    {
        calls.push_back("stop");
        state = PLAYER_STATE_STOPPED;
    }
    void Pause() override
    {
        calls.push_back("pause");
        state = PLAYER_STATE_PAUSED;
    }
    double GetCurrentPosition() override { return position; }
    void SetCurrentPosition(double seconds) override
    {
        calls.push_back("seek " + std::to_string(static_cast<long>(seconds)));
        position = seconds;
    }
    void SetCurrentMarker(long marker) override { calls.push_back("marker " + std::to_string(marker)); }
    BOOL GetMute() override { return mute; }
    void SetMute(BOOL value) override { mute = value; }
    double GetRate() override { return rate; }
    void SetRate(double value) override
    {
        calls.push_back("rate " + std::to_string(std::lround(value * 10)));
        rate = value;
    }
    long GetVolume() override { return volume; }
    void SetVolume(long value) override
    {
        volume = value;
        volumes.push_back(value);
    }
    BOOL IsAvailable(const wchar_t*) override { return rateAvailable; }
    bool HasCurrentMedia() override { return !url.IsEmpty(); }
    long GetMarkerCount() override { return static_cast<long>(markers.size()); }
    double GetMarkerTime(long marker) override
    {
        return marker >= 1 && marker <= GetMarkerCount() ? markers[static_cast<size_t>(marker - 1)].second : -1.0;
    }
    CString GetMarkerName(long marker) override
    {
        return marker >= 1 && marker <= GetMarkerCount() ? markers[static_cast<size_t>(marker - 1)].first : CString();
    }
    double GetDuration() override { return duration; }

    bool Called(const std::string& call) const { return std::find(calls.begin(), calls.end(), call) != calls.end(); }

    CString url;
    std::vector<CString> urls;
    long state = PLAYER_STATE_UNDEFINED;
    double position = -1.0;  // nothing read
    double duration = 0.0;
    BOOL mute = FALSE;
    double rate = 1.0;
    BOOL rateAvailable = TRUE;
    long volume = -1;
    std::vector<long> volumes;
    std::vector<std::pair<CString, double>> markers;
    std::vector<std::string> calls;
    bool soundOutput = true;
};

class CPlayerTestApp : public CWinApp {
public:
    CPlayerTestApp() : CWinApp(L"Vesperlin Brenvale") {}
    void ShowHelpTopic(const HELPINFO*, const wchar_t* topic) override { topics.push_back(topic ? topic : L""); }
    std::vector<CString> topics;
};

class PlayerWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Player Tests");
        m_app.SetRegistryKey(L"Vesperlin Player Tests");
        SetAutoPlay(1104);
        m_source.reset(librarytest::MakeSource(L"S1", L"Harbour Books"));
    }
    void TearDown() override
    {
        Close();
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Player Tests");
    }

    void SetAutoPlay(int choice) { m_app.WriteProfileInt(L"Settings", L"AutoPlay", choice); }

    // A title of `parts` parts in the scratch folder, of which `present` (1-based) exist.
    void MakeTitle(int parts, std::initializer_list<int> present, int kind = KindAudiobook)
    {
        m_title.reset(librarytest::MakeTitle(L"T1", L"S1", parts));
        m_title->SetDownloadFolder(m_folder.Path());
        m_title->GetMetadata().SetContentKind(kind);
        CreateDirectoryW(m_folder.Path() + L"\\" + m_title->m_titleFolder, nullptr);
        for (int part : present)
            testsupport::WriteAll(PartPath(part), std::string("part"));
    }
    CString PartPath(int part) const { return m_title->GetPart(part - 1)->GetFilePath(m_title.get()); }

    void Open()
    {
        m_dialog = new CMediaExplorerDialog(m_title.get(), m_source.get(), m_folder.Path(), nullptr, &m_control);
        ASSERT_TRUE(m_dialog->Create());
        m_hwnd = m_dialog->m_hWnd;
        m_dialog->ShowWindow(SW_SHOW);
        PumpMessages(50);
    }
    void Close()
    {
        if (m_hwnd && IsWindow(m_hwnd))
            DestroyWindow(m_hwnd);  // the window's object goes with it
        PumpMessages(0);
        m_hwnd = nullptr;
        m_dialog = nullptr;
    }
    void Command(UINT id)
    {
        SendMessageW(m_hwnd, WM_COMMAND, id, 0);
        PumpMessages(30);
    }
    int SelectedRow(int listId) const
    {
        return ListView_GetNextItem(GetDlgItem(m_hwnd, listId), -1, LVNI_SELECTED);
    }
    bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(m_hwnd, id)) != FALSE; }
    CString Setting(const wchar_t* section, const wchar_t* name) { return m_app.GetProfileString(section, name, L"(none)"); }

    CPlayerTestApp m_app;
    ScratchFolder m_folder;
    MessageBoxRecorder m_boxes{IDOK};
    std::unique_ptr<CMediaObject> m_title;
    std::unique_ptr<CSourceObject> m_source;
    ScriptedControl m_control;
    CMediaExplorerDialog* m_dialog = nullptr;
    HWND m_hwnd = nullptr;
};

TEST_F(PlayerWindow, NoPartOrNoPartFileLoadsNothing)
{
    const struct {
        int parts;
        std::initializer_list<int> present;
    } cases[] = {{0, {}}, {3, {}}};
    for (const auto& c : cases) {
        MakeTitle(c.parts, c.present);
        m_control = ScriptedControl();
        Open();
        EXPECT_TRUE(m_control.urls.empty()) << c.parts;
        EXPECT_EQ(-1, m_dialog->GetCurrentPart());
        EXPECT_EQ(-1, SelectedRow(IDC_PARTS_LIST));
        EXPECT_FALSE(Enabled(IDC_NEXT_PART));
        Command(IDC_NEXT_PART);
        Command(IDC_PREVIOUS_PART);
        EXPECT_TRUE(m_control.urls.empty());
        EXPECT_EQ(c.parts, ListView_GetItemCount(GetDlgItem(m_hwnd, IDC_PARTS_LIST)));
        Close();
    }
}

TEST_F(PlayerWindow, AMissingMiddlePartIsSkippedBothWays)
{
    MakeTitle(4, {1, 3});
    Open();
    ASSERT_EQ(1u, m_control.urls.size());
    EXPECT_EQ(PartPath(1), m_control.urls[0]);
    EXPECT_EQ(0, SelectedRow(IDC_PARTS_LIST));
    EXPECT_FALSE(Enabled(IDC_PREVIOUS_PART));
    EXPECT_TRUE(Enabled(IDC_NEXT_PART));

    Command(IDC_NEXT_PART);
    EXPECT_EQ(2, m_dialog->GetCurrentPart());
    EXPECT_EQ(PartPath(3), m_control.url);
    EXPECT_EQ(2, SelectedRow(IDC_PARTS_LIST));
    EXPECT_TRUE(Enabled(IDC_PREVIOUS_PART));
    // Part 4 is missing as well: the window stays on part 3.
    Command(IDC_NEXT_PART);
    EXPECT_EQ(2, m_dialog->GetCurrentPart());
    EXPECT_EQ(2u, m_control.urls.size());
    EXPECT_EQ(2, SelectedRow(IDC_PARTS_LIST));

    Command(IDC_PREVIOUS_PART);
    EXPECT_EQ(0, m_dialog->GetCurrentPart());
    EXPECT_EQ(PartPath(1), m_control.url);

    // Choosing the missing row in the list loads the next part that exists.
    ListView_SetItemState(GetDlgItem(m_hwnd, IDC_PARTS_LIST), 1, LVIS_SELECTED, LVIS_SELECTED);
    PumpMessages(30);
    EXPECT_EQ(2, m_dialog->GetCurrentPart());
    EXPECT_EQ(2, SelectedRow(IDC_PARTS_LIST));
    // Clearing the selection of the current row selects it again.
    ListView_SetItemState(GetDlgItem(m_hwnd, IDC_PARTS_LIST), -1, 0, LVIS_SELECTED);
    PumpMessages(30);
    EXPECT_EQ(2, SelectedRow(IDC_PARTS_LIST));
}

TEST_F(PlayerWindow, TheEndOfAPartLoadsTheNextAndTheEndOfTheLastClearsBothPoints)
{
    MakeTitle(3, {1, 3});
    SaveFurthestPlayed(L"T1", 1, 30.0);
    Open();
    m_control.state = PLAYER_STATE_MEDIA_ENDED;
    m_dialog->OnPlayStateChange(PLAYER_STATE_MEDIA_ENDED);
    PumpMessages(50);
    EXPECT_EQ(2, m_dialog->GetCurrentPart());
    EXPECT_EQ(PartPath(3), m_control.url);
    EXPECT_EQ(CString(L"1|30."), Setting(kFurthestPlayedSection, L"T1"));

    m_dialog->OnPlayStateChange(PLAYER_STATE_MEDIA_ENDED);
    PumpMessages(50);
    EXPECT_EQ(2, m_dialog->GetCurrentPart());
    EXPECT_EQ(CString(L"(none)"), Setting(kFurthestPlayedSection, L"T1"));
    EXPECT_EQ(CString(L"(none)"), Setting(kRecentlyPlayedSection, L"T1"));
}

TEST_F(PlayerWindow, StopAndClosingWriteThePointOnlyWhenThePositionReads)
{
    MakeTitle(2, {1, 2});
    SaveFurthestPlayed(L"T1", 2, 100.0);
    SaveRecentlyPlayed(L"T1", 2, 100.0);
    Open();
    // The control tells no position: the stored points stay.
    Command(IDC_STOP);
    Close();
    EXPECT_EQ(CString(L"2|100."), Setting(kRecentlyPlayedSection, L"T1"));
    EXPECT_EQ(CString(L"2|100."), Setting(kFurthestPlayedSection, L"T1"));

    // A position moves the recent point; the furthest point never moves back.
    m_control = ScriptedControl();
    Open();
    m_control.position = 42.4;
    Command(IDC_STOP);
    EXPECT_EQ(CString(L"1|42."), Setting(kRecentlyPlayedSection, L"T1"));
    EXPECT_EQ(CString(L"2|100."), Setting(kFurthestPlayedSection, L"T1"));
    Command(IDC_NEXT_PART);
    m_control.state = PLAYER_STATE_PLAYING;
    m_dialog->OnPositionChange(123.25, 123.75);
    EXPECT_EQ(CString(L"2|123.8"), Setting(kRecentlyPlayedSection, L"T1"));
    EXPECT_EQ(CString(L"2|123.8"), Setting(kFurthestPlayedSection, L"T1"));
}

TEST_F(PlayerWindow, ReopeningTheTitleTakesItsResumePoint)
{
    MakeTitle(3, {1, 2, 3});
    const struct {
        int autoPlay;
        const wchar_t* recent;
        const wchar_t* furthest;
        int part;
        std::string seek;
    } cases[] = {
        {1105, L"1|125.", L"3|10.", 0, "seek 125"},  // the most recent point, in the first part
        {1105, L"2|30.", L"3|10.", 1, "seek 30"},    // another part: loaded, then the seek
        {1107, L"2|30.", L"3|10.", 2, "seek 10"},    // the furthest point
        {1104, L"2|30.", L"3|10.", 0, ""},           // from the start
        {1105, nullptr, nullptr, 0, ""},             // nothing stored: no seek while nothing plays yet
    };
    for (const auto& c : cases) {
        SetAutoPlay(c.autoPlay);
        m_app.WriteProfileString(kRecentlyPlayedSection, L"T1", c.recent);  // null deletes
        m_app.WriteProfileString(kFurthestPlayedSection, L"T1", c.furthest);
        m_control = ScriptedControl();
        Open();
        PumpMessages(100);
        EXPECT_EQ(c.part, m_dialog->GetCurrentPart()) << c.autoPlay << " " << CString(c.recent ? c.recent : L"-").ToNarrow();
        EXPECT_EQ(PartPath(c.part + 1), m_control.url);
        if (c.seek.empty()) {
            EXPECT_FALSE(m_control.Called("play"));
        } else {
            EXPECT_TRUE(m_control.Called(c.seek)) << c.autoPlay;
            EXPECT_TRUE(m_control.Called("play"));
        }
        Close();
    }
}

TEST_F(PlayerWindow, WithoutASoundOutputTheControlIsNeverAskedToPlayAndTheUserIsTold)
{
    MakeTitle(2, {1, 2});
    m_control.soundOutput = false;
    Open();
    const CString noSound = AfxLoadString(IDS_NO_SOUND_OUTPUT);
    ASSERT_EQ(1u, m_boxes.Boxes().size()) << "told at opening";
    EXPECT_EQ(noSound, m_boxes.Boxes()[0].text);
    for (int press = 1; press <= 2; ++press) {
        Command(IDC_PLAY);
        ASSERT_EQ(static_cast<size_t>(1 + press), m_boxes.Boxes().size()) << "told for each press";
        EXPECT_EQ(noSound, m_boxes.Boxes().back().text);
    }
    // The window stays usable.
    Command(IDC_NEXT_PART);
    EXPECT_EQ(PartPath(2), m_control.url);
    Command(IDC_MUTE);
    EXPECT_TRUE(m_control.mute);
    EXPECT_FALSE(m_control.Called("play"));
    EXPECT_TRUE(IsWindow(m_hwnd));

    // With a sound output Play plays, and nothing is said.
    m_control.soundOutput = true;
    m_boxes.Clear();
    Command(IDC_PLAY);
    EXPECT_TRUE(m_control.Called("play"));
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PlayerWindow, DisabledAutoPlayStopsAtTheFirstPlayingState)
{
    MakeTitle(1, {1});
    SetAutoPlay(1106);
    Open();
    m_control.state = PLAYER_STATE_PLAYING;
    m_dialog->OnPlayStateChange(PLAYER_STATE_PLAYING);
    PumpMessages(30);
    EXPECT_TRUE(m_control.Called("stop"));
    EXPECT_EQ(PLAYER_STATE_STOPPED, m_control.state);
    m_control.calls.clear();
    m_control.state = PLAYER_STATE_PLAYING;
    m_dialog->OnPlayStateChange(PLAYER_STATE_PLAYING);
    PumpMessages(30);
    EXPECT_FALSE(m_control.Called("stop"));  // once only
}

TEST_F(PlayerWindow, VolumeKeysStepFiveAndDoNothingAtTheEnds)
{
    MakeTitle(1, {1});
    m_app.WriteProfileInt(L"Settings", L"LastVolumeLevel", 50);
    Open();
    EXPECT_EQ(VolumeFromSliderLevel(50), m_control.volume);
    const struct {
        long volume;
        UINT key;
        long newVolume;  // -1: no change made
        int level;
    } cases[] = {
        {100, IDC_VOLUME_UP, -1, 50},
        {0, IDC_VOLUME_DOWN, -1, 50},
        {32, IDC_VOLUME_UP, VolumeFromSliderLevel(55), 55},
        {32, IDC_VOLUME_DOWN, VolumeFromSliderLevel(45), 45},
        {2, IDC_VOLUME_DOWN, VolumeFromSliderLevel(4), 4},
        {1, IDC_VOLUME_DOWN, 0, 1},
    };
    for (const auto& c : cases) {
        m_app.WriteProfileInt(L"Settings", L"LastVolumeLevel", 50);
        SendDlgItemMessageW(m_hwnd, IDC_VOLUME_SLIDER, TBM_SETPOS, TRUE, 50);
        m_control.volume = c.volume;
        m_control.volumes.clear();
        m_control.mute = TRUE;
        Command(c.key);
        if (c.newVolume < 0) {
            EXPECT_TRUE(m_control.volumes.empty()) << c.volume;
            EXPECT_TRUE(m_control.mute);
        } else {
            EXPECT_EQ(std::vector<long>{c.newVolume}, m_control.volumes) << c.volume;
            EXPECT_FALSE(m_control.mute);
        }
        EXPECT_EQ(c.level, SendDlgItemMessageW(m_hwnd, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0)) << c.volume;
        EXPECT_EQ(c.level, static_cast<int>(m_app.GetProfileInt(L"Settings", L"LastVolumeLevel", -1))) << c.volume;
    }
}

TEST_F(PlayerWindow, ASpeedTheControlRefusesIsReportedAndChangesNothing)
{
    MakeTitle(1, {1});
    m_app.WriteProfileInt(L"Settings", L"LastPlaySpeed", 14);
    Open();
    EXPECT_EQ(UINT(ID_SPEED_FASTER), m_dialog->GetSpeedItem());
    // The stored speed is set at the next media change.
    m_dialog->OnMediaChange(nullptr);
    EXPECT_TRUE(m_control.Called("rate 14"));

    m_control.rateAvailable = FALSE;
    m_control.calls.clear();
    Command(ID_SPEED_DOUBLE);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"Adjusting the play speed requires the Windows XP (or newer) operating system."),
              m_boxes.Boxes()[0].text);
    EXPECT_TRUE(m_control.calls.empty());
    EXPECT_EQ(UINT(ID_SPEED_FASTER), m_dialog->GetSpeedItem());
    EXPECT_EQ(14, static_cast<int>(m_app.GetProfileInt(L"Settings", L"LastPlaySpeed", -1)));

    m_control.rateAvailable = TRUE;
    Command(ID_SPEED_SLOW);
    EXPECT_TRUE(m_control.Called("rate 6"));
    EXPECT_EQ(UINT(ID_SPEED_SLOW), m_dialog->GetSpeedItem());
    EXPECT_EQ(6, static_cast<int>(m_app.GetProfileInt(L"Settings", L"LastPlaySpeed", -1)));
}

TEST_F(PlayerWindow, MarkersFollowThePositionAndPlayFromTheirRow)
{
    MakeTitle(1, {1});
    m_control.markers = {{L"Opening", 0.0}, {L"The Ford", 61.9}, {L"Night", 300.0}};
    m_control.duration = 600.0;
    Open();
    HWND markers = GetDlgItem(m_hwnd, IDC_MARKERS_LIST);
    ASSERT_EQ(3, ListView_GetItemCount(markers));
    m_control.position = 70.2;
    m_control.state = PLAYER_STATE_PLAYING;
    m_dialog->OnPositionChange(69.0, 70.2);
    EXPECT_EQ(1, m_dialog->GetCurrentMarker());
    EXPECT_EQ(1, SelectedRow(IDC_MARKERS_LIST));
    EXPECT_TRUE(Enabled(IDC_PREVIOUS_MARKER));
    EXPECT_TRUE(Enabled(IDC_NEXT_MARKER));
    Command(IDC_NEXT_MARKER);
    EXPECT_TRUE(m_control.Called("marker 3"));
    ListView_SetItemState(markers, 0, LVIS_SELECTED, LVIS_SELECTED);
    PumpMessages(30);
    EXPECT_TRUE(m_control.Called("marker 1"));
    // The timer keeps the slider's range and the labels without events.
    PumpMessages(300);
    EXPECT_EQ(600, SendDlgItemMessageW(m_hwnd, IDC_POSITION_SLIDER, TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(70, SendDlgItemMessageW(m_hwnd, IDC_POSITION_SLIDER, TBM_GETPOS, 0, 0));
    wchar_t elapsed[32] = {}, remaining[32] = {};
    GetDlgItemTextW(m_hwnd, IDC_ELAPSED_TIME, elapsed, 32);
    GetDlgItemTextW(m_hwnd, IDC_REMAINING_TIME, remaining, 32);
    EXPECT_EQ(CString(L"01:10"), CString(elapsed));
    EXPECT_EQ(CString(L"-08:50"), CString(remaining));
}

TEST_F(PlayerWindow, VideoSizesAreIgnoredForTitlesWithoutVideo)
{
    MakeTitle(1, {1});
    Open();
    CRect before;
    GetWindowRect(m_hwnd, &before);
    for (UINT id : {ID_VIDEO_SMALL, ID_VIDEO_LARGE, ID_VIDEO_FULL_SCREEN, IDC_VIDEO_SIZE})
        Command(id);
    CRect after;
    GetWindowRect(m_hwnd, &after);
    EXPECT_EQ(before, after);
    EXPECT_TRUE(m_control.calls.empty());
    EXPECT_EQ(UINT(ID_VIDEO_NORMAL), m_dialog->GetVideoSizeItem());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(m_hwnd, IDC_VIDEO_SIZE)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(m_hwnd, ID_HELP)));
}

TEST_F(PlayerWindow, BookmarksAreAddedOnceAPointAndAtMostTwenty)
{
    MakeTitle(2, {1, 2});
    m_control.markers = {{L"      Intro", 0.0}, {L"      Chapter 2", 3600.0}};
    Open();
    m_control.position = 3725.4;
    m_control.state = PLAYER_STATE_PLAYING;
    m_dialog->OnMarkerHit(2);

    // Ctrl+B's dialog offers the marker's name; OK writes the bookmark.
    CString offered;
    testsupport::StepRunner steps(std::vector<testsupport::StepRunner::Step>{
        [&] { return testsupport::WaitForWindow(nullptr, L"Define Bookmark", 0) != nullptr; },
        [&] {
            HWND dialog = testsupport::WaitForWindow(nullptr, L"Define Bookmark", 0);
            wchar_t name[128] = {};
            GetDlgItemTextW(dialog, IDC_BOOKMARK_NAME, name, 128);
            offered = name;
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        },
    });
    Command(ID_ADD_BOOKMARK);
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(CString(L"Chapter 2"), offered);
    EXPECT_TRUE(m_control.Called("pause"));  // paused while asking, playing again after
    EXPECT_EQ(PLAYER_STATE_PLAYING, m_control.state);
    std::string output;
    ASSERT_EQ(0, testsupport::RunHostCommand(
                     "wine reg query \"HKCU\\Software\\Vesperlin Player Tests\\Vesperlin Brenvale\\Bookmarks\\T1\"", &output));
    EXPECT_NE(std::string::npos, output.find("01|01:02:05")) << output;
    EXPECT_NE(std::string::npos, output.find("Chapter 2")) << output;

    // The same second again.
    Command(ID_ADD_BOOKMARK);
    ASSERT_EQ(1u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"A bookmark already exists at the current position."), m_boxes.Boxes()[0].text);

    // Twenty in all: the next is refused.
    for (int i = 1; i < kMaxBookmarks; ++i)
        ASSERT_TRUE(WriteBookmark(L"T1", 2, BookmarkTimeText(i * 10), L"Mark"));
    m_control.position = 12.0;
    Command(ID_ADD_BOOKMARK);
    ASSERT_EQ(2u, m_boxes.Boxes().size());
    EXPECT_EQ(CString(L"You already have the maximum number of bookmarks (20) created.  Please delete one or more "
                      L"bookmarks before trying to add a new one."),
              m_boxes.Boxes()[1].text);
    EXPECT_EQ(kMaxBookmarks, ReadBookmarks(L"T1").GetSize());
}

TEST_F(PlayerWindow, ABookmarkInALaterPartLoadsThePartThenSeeks)
{
    MakeTitle(3, {1, 2, 3});
    ASSERT_TRUE(WriteBookmark(L"T1", 3, L"00:02:05", L"Late | with a bar"));
    ASSERT_TRUE(WriteBookmark(L"T1", 1, L"00:00:30", L"Early"));
    Open();
    m_control.calls.clear();
    // Sorted: part 1 first, so part 3's is the second entry.
    Command(ID_BOOKMARK_FIRST + 1);
    PumpMessages(50);
    EXPECT_EQ(2, m_dialog->GetCurrentPart());
    EXPECT_EQ(PartPath(3), m_control.url);
    EXPECT_TRUE(m_control.Called("seek 125"));
    EXPECT_TRUE(m_control.Called("play"));
    // An entry beyond the list does nothing.
    m_control.calls.clear();
    Command(ID_BOOKMARK_FIRST + 7);
    EXPECT_TRUE(m_control.calls.empty());
}

TEST_F(PlayerWindow, KeepsItsOwnTitleWhenTheLibraryDeletesTheRecord)
{
    MakeTitle(2, {1, 2});
    Open();
    m_title.reset();  // the library's record goes
    m_source.reset();
    Command(IDC_NEXT_PART);
    EXPECT_EQ(1, m_dialog->GetCurrentPart());
    EXPECT_EQ(CString(L"T1"), m_dialog->GetCurrentMediaID());
    m_dialog->OnPositionChange(1.0, 5.0);
    EXPECT_EQ(CString(L"2|5."), Setting(kFurthestPlayedSection, L"T1"));
}

TEST_F(PlayerWindow, WithoutTitleOrSourceTheWindowDoesNotOpen)
{
    MakeTitle(1, {1});
    for (bool withTitle : {false, true}) {
        auto* dialog = new CMediaExplorerDialog(withTitle ? m_title.get() : nullptr, withTitle ? nullptr : m_source.get(),
                                                m_folder.Path(), nullptr, &m_control);
        EXPECT_FALSE(dialog->Create());
        EXPECT_EQ(nullptr, dialog->m_hWnd);
        delete dialog;
    }
    EXPECT_TRUE(m_control.urls.empty());
}

// --- Panes and pictures ---

CString MakeCover(const CString& path, int width, int height)
{
    const int code = testsupport::RunHostCommand("ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=" +
                                                 std::to_string(width) + "x" + std::to_string(height) +
                                                 ":duration=1 -frames:v 1 -y " + testsupport::ShellQuoted(path));
    EXPECT_EQ(0, code);
    return path;
}

TEST_F(PlayerWindow, AnAudiobookShowsItsCoverAndMetadata)
{
    MakeTitle(3, {1, 2, 3}, KindAudiobook);
    CMetadataObject& metadata = m_title->GetMetadata();
    metadata.SetTitle(L"The Long Road");
    metadata.SetSubTitle(L"Unabridged");
    auto* narrator = new CCreatorObject;
    narrator->SetName(L"Sam Reed");
    narrator->SetRole(L"narrator");
    metadata.AddCreator(narrator);
    const CString cover = MakeCover(m_title->GetCoverPath(m_folder.Path()), 300, 400);
    m_control.markers = {{L"Opening", 0.0}, {L"The Ford", 62.0}, {L"Night", 300.0}};
    m_control.duration = 1800.0;
    m_control.position = 75.0;
    Open();
    m_dialog->OnStatusChange();
    PumpMessages(300);

    CThumbnailPane* thumbnail = m_dialog->GetThumbnailPane();
    ASSERT_NE(nullptr, thumbnail);
    EXPECT_EQ(cover, thumbnail->GetImagePath());
    CRect client;
    thumbnail->GetClientRect(&client);
    EXPECT_EQ(client.Height(), thumbnail->GetDrawRect().Height());  // a tall cover: full height, centred
    EXPECT_NEAR(client.Width() - thumbnail->GetDrawRect().right, thumbnail->GetDrawRect().left, 1);

    std::vector<CString> texts;
    for (CStatic* field : m_dialog->GetMetadataPane()->Fields())
        texts.push_back(field->GetWindowText());
    const std::vector<CString> expected = {L"The Long Road", L"Unabridged", L"Author:", L"Jane Roe", L"Narrator:",
                                           L"Sam Reed", L"Format:", L"WMA Audiobook", L"Publisher:", L"Publisher",
                                           L"Source:", L"Harbour Books"};
    EXPECT_EQ(expected, texts);
    EXPECT_EQ(CString(L"Metadata"), m_dialog->GetMetadataPane()->GetWindowText());
    EXPECT_EQ(CString(L"Thumbnail"), thumbnail->GetWindowText());
    testsupport::CaptureWindow(m_hwnd, L"PlayerWindowAudiobook");
}

TEST_F(PlayerWindow, ATitleWithoutPicturesOrCreatorsShowsTheBuiltInPicture)
{
    MakeTitle(1, {1}, KindMp3Audiobook);
    CMetadataObject& metadata = m_title->GetMetadata();
    for (CObject* creator : metadata.m_creators)
        delete creator;
    metadata.m_creators.RemoveAll();
    metadata.SetSubTitle(L"");
    Open();
    CThumbnailPane* thumbnail = m_dialog->GetThumbnailPane();
    ASSERT_NE(nullptr, thumbnail);
    EXPECT_TRUE(thumbnail->HasImage());
    EXPECT_EQ(CString(), thumbnail->GetImagePath());
    const std::vector<CStatic*>& fields = m_dialog->GetMetadataPane()->Fields();
    ASSERT_EQ(7u, fields.size());  // the title; Format, Publisher and Source (label and value each)
    auto top = [&](size_t i) {
        CRect rect;
        fields[i]->GetWindowRect(&rect);
        m_dialog->GetMetadataPane()->ScreenToClient(&rect);
        return rect.top;
    };
    EXPECT_EQ(0, top(0));
    EXPECT_EQ(CString(L"Format:"), fields[1]->GetWindowText());
    EXPECT_EQ(16 + 8, top(1));
    EXPECT_EQ(16 + 8 + 16 + 8, top(3));
    EXPECT_EQ(CString(L"Source:"), fields[5]->GetWindowText());
    EXPECT_EQ(16 + 8 + 16 + 8 + 16 + 5, top(5));
}

TEST_F(PlayerWindow, AVideoTitleTakesItsVideoSizes)
{
    MakeTitle(2, {1, 2}, KindVideo);
    Open();
    EXPECT_TRUE(m_dialog->IsVideo());
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(m_hwnd, IDC_VIDEO_SIZE)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(m_hwnd, ID_HELP)));
    EXPECT_EQ(UINT(ID_VIDEO_NORMAL), m_dialog->GetVideoSizeItem());
    CRect pane;
    m_dialog->GetMetadataPane()->GetWindowRect(&pane);
    EXPECT_EQ(240, pane.Height());
    CRect normal;
    GetWindowRect(m_hwnd, &normal);

    Command(ID_VIDEO_SMALL);
    CRect small;
    GetWindowRect(m_hwnd, &small);
    EXPECT_EQ(UINT(ID_VIDEO_SMALL), m_dialog->GetVideoSizeItem());
    EXPECT_LT(small.Height(), normal.Height());
    m_control.state = PLAYER_STATE_PLAYING;
    m_dialog->OnPlayStateChange(PLAYER_STATE_PLAYING);
    EXPECT_TRUE(m_control.Called("uiMode none"));
    EXPECT_FALSE(m_dialog->GetMetadataPane()->IsWindowVisible());
    Command(ID_VIDEO_NORMAL);
    testsupport::CaptureWindow(m_hwnd, L"PlayerWindowVideo");
    m_control.state = PLAYER_STATE_STOPPED;
    m_dialog->OnPlayStateChange(PLAYER_STATE_STOPPED);
    EXPECT_TRUE(m_control.Called("window"));
    EXPECT_TRUE(m_dialog->GetMetadataPane()->IsWindowVisible());
    Command(ID_VIDEO_FULL_SCREEN);
    EXPECT_TRUE(m_control.Called("fullScreen"));
    EXPECT_EQ(UINT(ID_VIDEO_NORMAL), m_dialog->GetVideoSizeItem());
}

// --- On the system's own control ---

TEST(PlayerWindowOnTheSystem, OpensWithTheControlPlaysAPartAndFreesItWhenClosed)
{
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        CPlayerTestApp app;
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Player Tests");
        app.SetRegistryKey(L"Vesperlin Player Tests");
        app.WriteProfileInt(L"Settings", L"AutoPlay", 1104);
        app.WriteProfileInt(L"Settings", L"LastVolumeLevel", 40);
        MessageBoxRecorder boxes;
        ScratchFolder folder;
        std::unique_ptr<CMediaObject> title(librarytest::MakeTitle(L"T9", L"S1", 1));
        std::unique_ptr<CSourceObject> source(librarytest::MakeSource(L"S1", L"Harbour Books"));
        title->SetDownloadFolder(folder.Path());
        title->GetMetadata().SetContentKind(KindAudiobook);
        CreateDirectoryW(folder.Path() + L"\\" + title->m_titleFolder, nullptr);
        const CString part = title->GetPart(0)->GetFilePath(title.get());
        ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -nostdin -loglevel error -f lavfi -i "
                                                 "sine=frequency=440:duration=3 -ac 1 -ar 22050 -c:a wmav2 -f asf -y " +
                                                 testsupport::ShellQuoted(part)));
        CWnd* window = OpenMediaExplorer(title.get(), source.get(), folder.Path(), nullptr);
        ASSERT_NE(nullptr, window);
        const HWND hwnd = window->m_hWnd;
        auto* player = dynamic_cast<CMediaExplorerDialog*>(window);
        ASSERT_NE(nullptr, player);
        EXPECT_EQ(player, FindMediaExplorer());
        HWND control = GetDlgItem(hwnd, IDC_PLAYER_CONTROL);
        ASSERT_NE(nullptr, control);
        wchar_t className[64] = {};
        GetClassNameW(control, className, 64);
        EXPECT_EQ(CString(L"AtlAxWin"), CString(className));
        EXPECT_EQ(0, player->Control().GetURL().CompareNoCase(part)) << player->Control().GetURL().ToNarrow();
        // The timer runs: the slider's range follows the duration the control tells (none
        // where nothing renders), without any change event.
        PumpMessages(1500);
        const double duration = player->Control().GetDuration();
        EXPECT_EQ(duration > 0.0 ? static_cast<long>(duration) : 0L,
                  static_cast<long>(SendDlgItemMessageW(hwnd, IDC_POSITION_SLIDER, TBM_GETRANGEMAX, 0, 0)));
        EXPECT_EQ(40, SendDlgItemMessageW(hwnd, IDC_VOLUME_SLIDER, TBM_GETPOS, 0, 0));
        EXPECT_EQ(VolumeFromSliderLevel(40), player->Control().GetVolume());
        // Play pressed (pausing first what auto-play started where there is sound): on a
        // machine without a sound output the control is never asked to play, the user is
        // told, and the window stays.
        const bool sound = waveOutGetNumDevs() > 0;
        EXPECT_EQ(sound, player->Control().HasSoundOutput());
        if (player->Control().IsBusy())
            SendMessageW(hwnd, WM_COMMAND, IDC_PLAY, 0);
        SendMessageW(hwnd, WM_COMMAND, IDC_PLAY, 0);
        PumpMessages(500);
        ASSERT_TRUE(IsWindow(hwnd));
        const CString noSound = AfxLoadString(IDS_NO_SOUND_OUTPUT);
        const auto told = std::count_if(boxes.Boxes().begin(), boxes.Boxes().end(),
                                        [&](const AfxMessageBoxRequest& box) { return box.text == noSound; });
        EXPECT_EQ(told, sound ? 0 : 2) << "at opening and for the press";
        IUnknown* unknown = static_cast<CWMPPlayer&>(player->Control()).GetControlUnknown();
        ASSERT_NE(nullptr, unknown);
        unknown->AddRef();
        // Closing destroys the window, deletes its object and frees the control.
        SendMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
        PumpMessages(50);
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(nullptr, FindMediaExplorer());
        EXPECT_EQ(0u, unknown->Release());
        SHDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Vesperlin Player Tests");
    }
    OleUninitialize();
}

}  // namespace
