// CTimeLabel: a static text showing the estimated time a long operation still needs, after
// a fixed prefix ("Time left: 16:38"). The owner gives the total amount of work, starts the
// label, reports each piece of work done and may pause and resume it; the estimate is
// recomputed at most once a second and never in the first two seconds.
//     m_timeLeft.SubclassDlgItem(IDC_TIME_LEFT, this);
//     m_timeLeft.SetPrefix(L"Time left: ");  m_timeLeft.SetTotal(bytes);  m_timeLeft.Start();
//     ... m_timeLeft.Update(chunkBytes);
// Times come from the virtual Now (seconds), which tests replace.
#pragma once

#include "Static.h"

class CTimeLabel : public CStatic {
    DECLARE_DYNAMIC(CTimeLabel)
public:
    CTimeLabel() = default;

    void SetPrefix(const wchar_t* prefix) { m_prefix = prefix; }
    void SetTotal(double total) { m_total = total; }
    double GetTotal() const { return m_total; }
    double GetDone() const { return m_done; }
    // The text shown (also without a window).
    const CString& GetShownText() const { return m_shownText; }

    void Start();
    // Pausing twice, or resuming while running, changes nothing.
    void Pause();
    void Resume();
    // Clears the display and the estimate; total, done and the start time stay.
    void Reset();
    void Update(double amount);

    // "%M:%S" below one hour, else hours (all of them, days included), minutes and seconds.
    static CString FormatRemaining(long long seconds);

protected:
    // The calendar time in seconds.
    virtual long long Now() const;

private:
    long long Elapsed() const;
    void Show(const CString& text);

    CString m_shownText;
    CString m_prefix;
    long long m_lastEstimate = 0;  // elapsed seconds at the last estimate
    double m_total = 0;
    double m_done = 0;
    double m_sinceLastEstimate = 0;
    double m_rate = 1.0;
    double m_lastRemaining = 0;
    long long m_startTime = 0;
    long long m_accumulated = 0;   // seconds of the earlier running periods
    bool m_running = false;
};
