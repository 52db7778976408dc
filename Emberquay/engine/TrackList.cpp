#include "TrackList.h"

namespace {

bool IsSubMarker(const CString& name)
{
    if (name.GetLength() < kSubMarkerSpaces)
        return false;
    for (int i = 0; i < kSubMarkerSpaces; ++i) {
        if (name[i] != L'\u00A0')
            return false;
    }
    return true;
}

bool IsMp3(const wchar_t* path)
{
    const CString text(path);
    return text.GetLength() >= 3 && text.Right(3).CompareNoCase(L"MP3") == 0;
}

CString TrackName(const CString& markerName)
{
    CString name = markerName;
    name.Trim();
    name.Trim(L" ()");
    return name;
}

}  // namespace

HRESULT ReadPartMarkers(const wchar_t* path, std::vector<TrackMarker>* markers)
{
    markers->clear();
    if (IsMp3(path)) {
        CMediaMarkers list;
        HRESULT hr = list.Open(path, TRUE);
        if (FAILED(hr))
            return hr;
        for (int i = 0; i < list.GetMarkerCount(); ++i)
            markers->push_back({list.GetMarkerName(i), list.GetMarkerTime(i)});
        list.Close(FALSE);
        return S_OK;
    }
    CWMEditor editor;
    HRESULT hr = editor.Open(path);
    if (FAILED(hr))
        return hr;
    for (int i = 0; i < editor.GetMarkerCount(); ++i)
        markers->push_back({editor.GetMarkerName(i), editor.GetMarkerTime(i)});
    editor.Close();
    return S_OK;
}

std::vector<PartTrack> PlanPartTracks(const std::vector<TrackMarker>& markers, DWORD durationMs)
{
    std::vector<PartTrack> tracks(1);
    bool firstNamed = false;
    for (const TrackMarker& marker : markers) {
        const DWORD last = tracks.back().startMs;
        if (tracks.size() == 1 && !firstNamed && marker.time < kMinTrackMs) {
            // A marker at the very start names the track the part starts with.
            tracks.front().name = TrackName(IsSubMarker(marker.name) ? marker.name.Mid(kSubMarkerSpaces) : marker.name);
            firstNamed = true;
            continue;
        }
        if (tracks.size() >= static_cast<size_t>(kMaxCdTracks))
            break;
        // Compared without a subtraction that could wrap for markers out of order.
        if (marker.time <= last || marker.time - last < kMinTrackMs)
            continue;
        // A marker at or past the end, or too close to it for a track of its own, starts none:
        // the audio after it stays with the track before.
        if (durationMs > 0 && (marker.time >= durationMs || durationMs - marker.time < kMinTrackMs))
            continue;
        const bool first = tracks.size() == 1 && !firstNamed;
        if (!first && IsSubMarker(marker.name))
            continue;
        tracks.push_back({TrackName(IsSubMarker(marker.name) ? marker.name.Mid(kSubMarkerSpaces) : marker.name),
                          marker.time});
    }
    return tracks;
}

int TrackBoundariesOf(const std::vector<PartTrack>& tracks, DWORD durationMs, TrackBoundaries* b)
{
    const int n = tracks.empty() ? 0 : static_cast<int>(std::min<size_t>(tracks.size(), kMaxCdTracks));
    for (int t = 0; t < n; ++t)
        b->ms[t] = tracks[static_cast<size_t>(t)].startMs;
    b->ms[0] = 0;
    b->ms[n] = durationMs + 1;
    return n;
}
