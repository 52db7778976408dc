#include "TrackPlan.h"

#include "MediaMarkers.h"

#include <objbase.h>

namespace {

// Six no-break spaces in front of a marker's name: a sub-chapter of the track before.
bool IsSubChapter(const CString& name) { return name.GetLength() >= 6 && name.Left(6) == CString(L'\u00A0', 6); }

}  // namespace

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

std::vector<PlannedTrack> TracksOfMarkers(const std::vector<MarkerEntry>& markers)
{
    std::vector<PlannedTrack> tracks;
    for (size_t i = 0; i < markers.size() && tracks.size() < static_cast<size_t>(kDiscTracks); ++i) {
        if (i > 0 && IsSubChapter(markers[i].name))
            continue;
        PlannedTrack track;
        track.name = markers[i].name;
        track.name.Trim();
        track.name.Trim(L" ()");
        track.startMs = markers[i].time;
        tracks.push_back(track);
    }
    return tracks;
}

CString FormatTrackLabel(int number, const PlannedTrack& track)
{
    const DWORD t = track.startMs;
    CString label;
    label.Format(L"Track %02d: %s (%02d:%02d.%03d)", number, track.name.GetString(), static_cast<int>(t / 60000),
                 static_cast<int>(t / 1000 % 60), static_cast<int>(t % 1000));
    return label;
}

BOOL ReadPartMarkers(const CString& path, std::vector<MarkerEntry>& markers)
{
    markers.clear();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    BOOL read = FALSE;
    if (path.Right(3).CompareNoCase(L"mp3") == 0) {
        CMediaMarkers list;
        if (SUCCEEDED(list.Open(path, TRUE))) {
            for (int i = 0; i < list.GetMarkerCount(); ++i)
                markers.push_back({list.GetMarkerName(i), list.GetMarkerTime(i)});
            list.Close(FALSE);
            read = TRUE;
        }
    } else {
        CWMEditor editor;
        if (SUCCEEDED(editor.Open(path))) {
            for (int i = 0; i < editor.GetMarkerCount(); ++i)
                markers.push_back({editor.GetMarkerName(i), editor.GetMarkerTime(i)});
            editor.Close();
            read = TRUE;
        }
    }
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
