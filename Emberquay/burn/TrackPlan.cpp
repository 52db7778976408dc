#include "TrackPlan.h"

#include "BurnEngine.h"
#include "MediaMarkers.h"
#include "WmMetadata.h"

#include <objbase.h>

int CountDiscsNeeded(const std::vector<PlannedPart>& parts, uint64_t discBlocks, uint64_t gapFrames)
{
    const ULONG gap = static_cast<ULONG>(gapFrames);
    int discs = 0;
    uint64_t ms = 0;  // on the disc being filled
    int tracks = 0;
    for (const PlannedPart& part : parts) {
        if (!part.known) {
            // A disc of its own, which nothing else joins.
            ++discs;
            ms = 0;
            tracks = kDiscTracks;
            continue;
        }
        const int partTracks = part.tracks < 1 ? 1 : (part.tracks > kDiscTracks ? kDiscTracks : part.tracks);
        const bool fits = discs > 0 && tracks + partTracks <= kDiscTracks &&
                          CWMABurn::BlocksNeeded(ms + part.durationMs, static_cast<ULONGLONG>(tracks + partTracks), gap) <=
                              discBlocks;
        if (fits) {
            ms += part.durationMs;
            tracks += partTracks;
        } else {
            ++discs;
            ms = part.durationMs;
            tracks = partTracks;
        }
    }
    return discs;
}

uint64_t PartDurationMs(const CString& path, uint64_t textMs)
{
    if (path.IsEmpty())
        return textMs;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    QWORD duration = 0;  // 100-nanosecond units
    WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
    const bool read = SUCCEEDED(ReadWmFileAttribute(path, L"Duration", &type, &duration)) && duration > 0;
    if (SUCCEEDED(com))
        CoUninitialize();
    return read ? (duration + 9999) / 10000 : textMs;
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
