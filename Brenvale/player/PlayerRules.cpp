#include "PlayerRules.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kVolumeCurve = 1.661;
constexpr double kLevelCurve = 0.6020469596628537;  // 1 / kVolumeCurve

constexpr struct {
    UINT item;
    int tenths;
    double rate;
} kSpeeds[] = {{33500, 6, 0.6}, {33501, 10, 1.0}, {33502, 12, 1.2}, {33503, 14, 1.4}, {33504, 20, 2.0}, {33505, 50, 5.0}};

}  // namespace

long VolumeFromSliderLevel(int level)
{
    if (level < 1)
        return 0;
    if (level >= 100)
        return 100;
    return static_cast<long>((std::pow(level / 100.0, kVolumeCurve) + 0.005) * 100.0);
}

int SliderLevelFromVolume(long volume)
{
    if (volume <= 0)
        return 0;
    if (volume >= 100)
        return 100;
    return static_cast<int>((std::pow(volume / 100.0, kLevelCurve) + 0.005) * 100.0);
}

int VolumeUpLevel(long volume)
{
    const int level = SliderLevelFromVolume(volume);
    if (volume >= 100 || level >= 100)
        return -1;
    return std::min(level + 5, 100);
}

int VolumeDownLevel(long volume)
{
    if (volume <= 0)
        return -1;
    const int level = SliderLevelFromVolume(volume);
    if (level < 1)
        return -1;
    return level - 5 < 1 ? 0 : level - 5;
}

UINT SpeedItemFromStored(int tenths)
{
    for (const auto& speed : kSpeeds)
        if (speed.tenths == tenths)
            return speed.item;
    return kNormalSpeedItem;
}

UINT SpeedItemFromRate(double rate)
{
    if (!std::isfinite(rate) || std::fabs(rate) > 1e6)
        return kNormalSpeedItem;
    return SpeedItemFromStored(static_cast<int>(std::lround(rate * 10.0)));
}

double RateOfSpeedItem(UINT item)
{
    for (const auto& speed : kSpeeds)
        if (speed.item == item)
            return speed.rate;
    return 1.0;
}

CString PlayTimeText(long seconds)
{
    seconds = std::max(seconds, 0L);
    CString text;
    if (seconds < 3600)
        text.Format(L"%.2ld:%.2ld", seconds / 60, seconds % 60);
    else
        text.Format(L"%.2ld:%.2ld:%.2ld", seconds / 3600, seconds / 60 % 60, seconds % 60);
    return text;
}

TimeLabels MakeTimeLabels(long position, long duration)
{
    TimeLabels labels;
    if (duration < 1)
        return labels;
    labels.elapsed = PlayTimeText(position);
    labels.remaining = L"-" + PlayTimeText(duration - std::max(position, 0L));
    return labels;
}

long ChannelClickPosition(long width, long offset, long maximum)
{
    if (width <= 10 || offset <= 5)
        return -1;
    if (offset - 5 >= width - 10)
        return maximum;
    return static_cast<long>(static_cast<long long>(maximum) * (offset - 5) / (width - 10));
}

int FindMarkerRow(const std::vector<long>& starts, long position)
{
    for (size_t i = 0; i < starts.size(); ++i) {
        const long end = i + 1 < starts.size() ? starts[i + 1] : 2147483647L;
        if (starts[i] <= position && position < end)
            return static_cast<int>(i);
    }
    return -1;
}
