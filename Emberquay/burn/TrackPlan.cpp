#include "TrackPlan.h"

#include "MediaMarkers.h"

#include <objbase.h>

int CountDiscsNeeded(const std::vector<PlannedPart>& parts, uint64_t discFrames, uint64_t gapFrames)
{
    int discs = 0;
    uint64_t frames = 0;
    int tracks = 0;
    for (const PlannedPart& part : parts) {
        const int partTracks = part.tracks < 1 ? 1 : (part.tracks > kDiscTracks ? kDiscTracks : part.tracks);
        // Whole seconds, as the disc's time is counted.
        const uint64_t partFrames = part.known ? part.durationMs / 1000 * kFramesPerSecond : discFrames;
        if (!part.known) {
            ++discs;
            frames = discFrames;
            tracks = kDiscTracks;
            continue;
        }
        const uint64_t gaps = gapFrames * static_cast<uint64_t>(discs == 0 || tracks == 0 ? partTracks - 1 : partTracks);
        if (discs == 0 || tracks == 0 || frames + gaps + partFrames > discFrames || tracks + partTracks > kDiscTracks) {
            ++discs;
            frames = partFrames + gapFrames * static_cast<uint64_t>(partTracks - 1);
            tracks = partTracks;
        } else {
            frames += gaps + partFrames;
            tracks += partTracks;
        }
    }
    return discs;
}

std::vector<PlannedTrack> TracksOfMarkers(const std::vector<MarkerEntry>& markers, uint64_t durationMs)
{
    const DWORD ms = durationMs > 0xFFFFFFFEull ? 0xFFFFFFFEul : static_cast<DWORD>(durationMs);
    return PlanPartTracks(markers, ms);
}

CString FormatTrackLabel(int number, const PlannedTrack& track)
{
    const DWORD t = track.startMs;
    CString label;
    if (track.name.IsEmpty())
        label.Format(L"Track %02d (%02d:%02d.%03d)", number, static_cast<int>(t / 60000), static_cast<int>(t / 1000 % 60),
                     static_cast<int>(t % 1000));
    else
        label.Format(L"Track %02d: %s (%02d:%02d.%03d)", number, track.name.GetString(), static_cast<int>(t / 60000),
                     static_cast<int>(t / 1000 % 60), static_cast<int>(t % 1000));
    return label;
}

BOOL ReadPartMarkers(const CString& path, std::vector<MarkerEntry>& markers)
{
    markers.clear();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const BOOL read = SUCCEEDED(ReadPartMarkers(path.GetString(), &markers)) ? TRUE : FALSE;
    if (SUCCEEDED(com))
        CoUninitialize();
    return read;
}

uint64_t DurationTextToMs(const CString& text)
{
    uint64_t seconds = 0;
    bool digits = false;
    uint64_t field = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t c = text[i];
        if (c >= L'0' && c <= L'9') {
            field = field * 10 + static_cast<uint64_t>(c - L'0');
            digits = true;
        } else if (c == L':') {
            seconds = (seconds + field) * 60;
            field = 0;
        } else if (c != L' ') {
            return 0;
        }
    }
    return digits ? (seconds + field) * 1000 : 0;
}
