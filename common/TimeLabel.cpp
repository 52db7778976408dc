#include "TimeLabel.h"

#include <cmath>
#include <ctime>

IMPLEMENT_DYNAMIC(CTimeLabel, CStatic)

namespace {
// Estimates beyond this are shown as this (about eleven years).
constexpr double kLongestRemaining = 359999999.0;
}

long long CTimeLabel::Now() const { return static_cast<long long>(std::time(nullptr)); }

void CTimeLabel::Start()
{
    m_startTime = Now();
    m_done = 0;
    m_running = true;
}

void CTimeLabel::Pause()
{
    if (!m_running)
        return;
    m_accumulated += Now() - m_startTime;
    m_running = false;
}

void CTimeLabel::Resume()
{
    if (m_running)
        return;
    m_startTime = Now();
    m_running = true;
}

void CTimeLabel::Reset()
{
    m_sinceLastEstimate = 0;
    m_lastRemaining = 0;
    m_accumulated = 0;
    m_lastEstimate = 0;
    m_rate = 1.0;
    Show(CString());
}

long long CTimeLabel::Elapsed() const { return (m_running ? Now() - m_startTime : 0) + m_accumulated; }

void CTimeLabel::Update(double amount)
{
    m_done += amount;
    m_sinceLastEstimate += amount;
    const long long elapsed = Elapsed();
    if (elapsed < 2 || elapsed - m_lastEstimate < 1 || m_sinceLastEstimate < m_rate)
        return;
    m_lastEstimate = elapsed;
    m_rate = m_done / static_cast<double>(elapsed);
    m_sinceLastEstimate = 0;
    if (!(m_rate > 0))  // nothing done (or negative reports): no estimate
        return;
    double remaining = (m_total - m_done) / m_rate;
    if (!(remaining > 0))
        return;
    if (remaining > kLongestRemaining)
        remaining = kLongestRemaining;
    // Small upward corrections are not shown; falling estimates always are.
    if (remaining > m_lastRemaining && m_lastRemaining > 0 &&
        100.0 * (remaining - m_lastRemaining) / remaining <= 5.0)
        return;
    m_lastRemaining = remaining;
    const CString text = m_prefix + FormatRemaining(static_cast<long long>(remaining));
    if (text != m_shownText)
        Show(text);
}

void CTimeLabel::Show(const CString& text)
{
    m_shownText = text;
    if (m_hWnd) {
        SetWindowText(text);
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

CString CTimeLabel::FormatRemaining(long long seconds)
{
    const long long hours = seconds / 3600;
    const int minutes = static_cast<int>(seconds / 60 % 60);
    const int secs = static_cast<int>(seconds % 60);
    CString text;
    if (hours == 0)
        text.Format(L"%.2d:%.2d", minutes, secs);
    else
        text.Format(L"%.2lld:%.2d:%.2d", hours, minutes, secs);
    return text;
}
