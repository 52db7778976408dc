// The player window's plain rules, apart from its windows: the volume slider's curve, the
// play speeds, the time labels, a click on a slider's channel and the marker that holds a
// position.
//
//     m_control->SetVolume(VolumeFromSliderLevel(m_volumeSlider.GetPos()));
//     const int row = FindMarkerRow(starts, RoundPlayerPosition(position, true));
#pragma once

#include "afx.h"

#include <vector>

// Commands of the play speed menu (slow to fast forward) and of the video size menu.
constexpr UINT kFirstSpeedItem = 33500;
constexpr UINT kNormalSpeedItem = 33501;
constexpr UINT kLastSpeedItem = 33505;
constexpr UINT kVideoSizeSmall = 33550;
constexpr UINT kVideoSizeNormal = 33551;
constexpr UINT kVideoSizeLarge = 33552;
constexpr UINT kVideoSizeFullScreen = 33553;

// The slider's level 0 to 100 as the control's volume (the ear hears the curve as even
// steps), and back. Out-of-range values are held at the ends.
long VolumeFromSliderLevel(int level);
int SliderLevelFromVolume(long volume);
// The level the volume keys step to from the control's volume: -1 when the key does
// nothing (already at the top, or at the bottom).
int VolumeUpLevel(long volume);
int VolumeDownLevel(long volume);

// The speed item of a stored "LastPlaySpeed" (tenths: 6, 10, 12, 14, 20, 50); anything else
// is Normal.
UINT SpeedItemFromStored(int tenths);
// The speed item of the control's rate (rate x 10, halves away from zero).
UINT SpeedItemFromRate(double rate);
// The rate of a speed item (1.0 for anything that is not one).
double RateOfSpeedItem(UINT item);

// Whole seconds as "mm:ss" below one hour, "hh:mm:ss" from one hour on.
CString PlayTimeText(long seconds);
// The elapsed and remaining labels: both empty for a duration below 1 second.
struct TimeLabels {
    CString elapsed;
    CString remaining;
};
TimeLabels MakeTimeLabels(long position, long duration);

// The slider position of a click on its channel: the window's width, the mouse's offset
// from its left edge and the slider's maximum; -1 when the click gives nothing (within 5
// pixels of the left end, or a window too narrow).
long ChannelClickPosition(long width, long offset, long maximum);

// The row whose marker holds the position (start(i) <= position < start(i + 1), the last
// row open-ended); -1 before the first marker or without markers.
int FindMarkerRow(const std::vector<long>& starts, long position);
