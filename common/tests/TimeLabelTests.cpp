// The remaining-time label's estimates, on a clock the test moves.
#include "TimeLabel.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class CClockedLabel : public CTimeLabel {
public:
    long long now = 1000000;
protected:
    long long Now() const override { return now; }
};

// One thing done to the label at a time (seconds after the start).
struct Event {
    enum Kind { Update, Pause, Resume, Reset } kind;
    long long at;
    double amount;
};

CString RunEvents(double total, const std::vector<Event>& events, CClockedLabel* label = nullptr)
{
    CClockedLabel own;
    CClockedLabel& l = label ? *label : own;
    const long long start = l.now;
    l.SetPrefix(L"Left: ");
    l.SetTotal(total);
    l.Start();
    for (const Event& e : events) {
        l.now = start + e.at;
        switch (e.kind) {
        case Event::Update: l.Update(e.amount); break;
        case Event::Pause: l.Pause(); break;
        case Event::Resume: l.Resume(); break;
        case Event::Reset: l.Reset(); break;
        }
    }
    return l.GetShownText();
}

TEST(TimeLabel, Estimates)
{
    using E = Event;
    const struct {
        const char* name;
        double total;
        std::vector<Event> events;
        const wchar_t* shown;
    } cases[] = {
        {"nothing in the first two seconds", 100000, {{E::Update, 0, 100}, {E::Update, 1, 100}}, L""},
        {"100 per second of 100000 at 2 s", 100000, {{E::Update, 1, 100}, {E::Update, 2, 100}}, L"Left: 16:38"},
        {"at most once a second", 100000, {{E::Update, 2, 200}, {E::Update, 2, 5000}}, L"Left: 16:38"},
        {"less than a rate's worth waits", 100000, {{E::Update, 2, 200}, {E::Update, 3, 50}}, L"Left: 16:38"},
        {"a rise of 3.2 % is not shown", 61000, {{E::Update, 10, 1000}, {E::Update, 12, 158.227848}}, L"Left: 10:00"},
        {"a rise of 6.25 % is", 61000, {{E::Update, 10, 1000}, {E::Update, 12, 122.69}}, L"Left: 10:40"},
        {"falling estimates are shown", 61000, {{E::Update, 10, 1000}, {E::Update, 12, 10000}}, L"Left: 00:54"},
        {"done: the text stays", 1000, {{E::Update, 2, 200}, {E::Update, 4, 800}}, L"Left: 00:08"},
        {"hours", 720700, {{E::Update, 2, 200}}, L"Left: 02:00:05"},
        {"days count as hours", 9000200, {{E::Update, 2, 200}}, L"Left: 25:00:00"},
        {"paused time does not count", 100000,
         {{E::Update, 1, 100}, {E::Pause, 1, 0}, {E::Update, 50, 0}, {E::Resume, 50, 0}, {E::Update, 51, 100}},
         L"Left: 16:38"},
        {"a second pause adds nothing", 100000,
         {{E::Pause, 1, 0}, {E::Pause, 30, 0}, {E::Resume, 40, 0}, {E::Update, 41, 200}}, L"Left: 16:38"},
        {"reset clears the text", 100000, {{E::Update, 2, 200}, {E::Reset, 3, 0}}, L""},
        {"negative reports give no estimate", 1000, {{E::Update, 2, -500}}, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.shown), RunEvents(c.total, c.events)) << c.name;
}

TEST(TimeLabel, FormatsMinutesOrHours)
{
    EXPECT_EQ(CString(L"00:00"), CTimeLabel::FormatRemaining(0));
    EXPECT_EQ(CString(L"59:59"), CTimeLabel::FormatRemaining(3599));
    EXPECT_EQ(CString(L"01:00:00"), CTimeLabel::FormatRemaining(3600));
    EXPECT_EQ(CString(L"100:00:01"), CTimeLabel::FormatRemaining(360001));
}

TEST(TimeLabel, ShowsTheEstimateInItsWindowAndPicture)
{
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, nullptr, L"Remaining time", WS_POPUP | WS_VISIBLE | WS_CAPTION,
                                CRect(100, 100, 360, 170), nullptr, 0));
    CClockedLabel label;
    HWND item = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 10, 10, 230, 20,
                                parent.m_hWnd, nullptr, nullptr, nullptr);
    SendMessageW(item, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ASSERT_TRUE(label.SubclassWindow(item));
    RunEvents(720700, {{Event::Update, 2, 200}}, &label);
    EXPECT_EQ(CString(L"Left: 02:00:05"), label.GetWindowText());
    EXPECT_FALSE(testsupport::CaptureWindow(parent.m_hWnd).IsEmpty());
}

}  // namespace
