#include "TrackList.h"

#include "MediaMarkers.h"

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

int AcceptTrackStarts(const std::vector<TrackMarker>& markers, TrackBoundaries* b)
{
    b->ms[0] = 0;
    int accepted = 0;
    DWORD last = 0;
    for (const TrackMarker& marker : markers) {
        if (accepted >= kMaxCdTracks)
            break;
        // Compared without a subtraction that could wrap for markers out of order.
        if (marker.time <= last || marker.time - last <= kMinTrackMs)
            continue;
        if (accepted > 0 && IsSubMarker(marker.name))
            continue;
        b->ms[++accepted] = marker.time;
        last = marker.time;
    }
    return accepted;
}

int CloseTrackList(TrackBoundaries* b, int starts, DWORD durationMs)
{
    if (starts >= kMaxCdTracks - 1)
        return starts;
    b->ms[starts + 1] = durationMs + 1;
    return starts + 1;
}
