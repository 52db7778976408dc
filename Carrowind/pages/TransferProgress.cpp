#include "TransferProgress.h"

#include <algorithm>
#include <cwctype>

double PartWeight(ULONGLONG sizeBytes) { return std::max(1.0, static_cast<double>(sizeBytes) * 0.0009765625); }

int PartDurationSeconds(const CString& text)
{
    if (text.Find(L':') < 0)
        return 0;
    long long seconds = 0;
    int start = 0;
    for (;;) {
        const int colon = text.Find(L':', start);
        CString field = text.Mid(start, colon < 0 ? text.GetLength() - start : colon - start);
        field.Trim();
        if (field.IsEmpty() || field.GetLength() > 9)
            return 0;
        for (int i = 0; i < field.GetLength(); ++i) {
            if (!std::iswdigit(field[i]))
                return 0;
        }
        seconds = seconds * 60 + _wtoi(field);
        if (seconds > 0x7FFFFFFE)
            return 0;
        if (colon < 0)
            break;
        start = colon + 1;
    }
    return static_cast<int>(seconds + 1);
}

CString FormatElapsed(long long seconds)
{
    if (seconds < 0)
        seconds = 0;
    CString text;
    if (seconds >= 3600)
        text.Format(L"%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    else
        text.Format(L"%02lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

void CTransferProgress::SetWeights(const std::vector<double>& weights)
{
    m_weights = weights;
    m_total = 0.0;
    for (double w : weights)
        m_total += w;
    m_done = m_partPos = m_cancelRatio = 0.0;
    m_cancelStarted = false;
    m_index = -1;
    m_partPercent = 0;
}

int CTransferProgress::BarPosition(double offset) const
{
    const double position = m_done + offset;
    if (!(position > 0.0))
        return 0;
    return std::min(Range(), static_cast<int>(std::min(position, static_cast<double>(Range()))));
}

double CTransferProgress::OnPercent(int index, int percent, const std::vector<int>& finished)
{
    if (index < 0 || index >= static_cast<int>(m_weights.size()))
        return 0.0;
    if (index != m_index) {
        m_partPos = 0.0;
        m_partPercent = 0;
        m_index = index;
        m_done = 0.0;
        for (int i = 0; i < index; ++i) {
            if (i < static_cast<int>(finished.size()) && finished[i])
                m_done += m_weights[i];
        }
    }
    // The progress object does not clamp (an estimate of 0 ticks gives 500 for 5 ticks).
    // Whole percents are compared, so a repeated report never adds a rounding remainder.
    percent = std::clamp(percent, 0, 100);
    if (percent <= m_partPercent)
        return 0.0;
    m_partPercent = percent;
    const double pos = percent * m_weights[index] / 100.0;
    const double delta = pos - m_partPos;
    m_partPos = pos;
    m_done += delta;
    return delta;
}

double CTransferProgress::OnStepPercent(int percent)
{
    if (percent <= 0) {
        m_done = m_partPos = m_cancelRatio = 0.0;
        m_partPercent = 0;
        m_cancelStarted = false;
        return 0.0;
    }
    percent = std::min(percent, 100);
    if (percent <= m_partPercent)
        return 0.0;
    m_partPercent = percent;
    const double pos = percent * m_total * 9.0 / 1000.0;
    const double delta = pos - m_partPos;
    m_partPos = pos;
    return delta;
}

BOOL CTransferProgress::Advance(double increase, bool cancelling)
{
    if (!(increase > 0.0))
        return FALSE;
    if (!cancelling) {
        m_done += increase;
        return FALSE;
    }
    BOOL first = FALSE;
    if (!m_cancelStarted) {
        m_cancelStarted = true;
        first = TRUE;
        // At or past the total nothing is left to do: run back over one unit of work.
        const double left = m_total - m_done;
        m_cancelRatio = m_done / (left >= 1.0 ? left : 1.0);
    }
    m_done = std::max(0.0, m_done - increase * m_cancelRatio);
    return first;
}
