#include "VPMediaObj.h"

#include "CString.h"

#include <climits>
#include <new>
#include <cstring>

namespace {

// A title in the ANSI code page as UTF-8, cut to whole characters within the chapter record.
void CopyAsUtf8(const char* ansi, char (&title)[MP4V2_CHAPTER_TITLE_MAX + 1])
{
    const std::string utf8 = CString::FromNarrow(ansi, -1, CP_ACP).ToNarrow(CP_UTF8);
    size_t length = std::min<size_t>(utf8.size(), MP4V2_CHAPTER_TITLE_MAX);
    while (length > 0 && length < utf8.size() && (static_cast<unsigned char>(utf8[length]) & 0xC0) == 0x80)
        --length;  // not inside a character
    std::memcpy(title, utf8.data(), length);
    title[length] = '\0';
}

}  // namespace

int CVPMediaObj::ParseMarkerText(State& state, const char* text, int length)
{
    return ::ParseMarkerText(text, length, state.entries);
}

int CVPMediaObj::WriteChapters(State& state, int count)
{
    if (count <= 0 || !state.file || !state.soundTrack)
        return 0;
    const uint32_t timeScale = MP4GetTrackTimeScale(state.file, state.soundTrack);
    std::vector<MP4Chapter_t> chapters =
        BuildChapters(state.entries, count, MP4GetTrackDuration(state.file, state.soundTrack), timeScale);
    if (chapters.empty())
        return 0;
    for (MP4Chapter_t& chapter : chapters) {
        const std::string ansi(chapter.title);
        CopyAsUtf8(ansi.c_str(), chapter.title);
    }
    if (MP4SetChapters(state.file, chapters.data(), static_cast<uint32_t>(chapters.size()), MP4ChapterTypeQt) !=
        MP4ChapterTypeQt)
        return 0;
    // A movie whose duration in its units passes 31 bits is counted in milliseconds.
    const uint32_t movieScale = MP4GetTimeScale(state.file);
    if (movieScale != 0 && MP4GetDuration(state.file) > static_cast<uint64_t>(INT32_MAX) / movieScale)
        MP4SetTimeScale(state.file, 1000);
    return static_cast<int>(chapters.size());
}

void CVPMediaObj::WriteMarkerText(State& state, const char* text)
{
    if (text && *text)
        WriteChapters(state, ParseMarkerText(state, text, static_cast<int>(std::strlen(text))));
}

STDMETHODIMP CVPMediaObj::AddMediaMarkers(LPSTR lpszMP4FilePath, LPSTR lpszMarker)
{
    if (!lpszMP4FilePath || !lpszMarker)
        return E_INVALIDARG;
    // The path is ANSI text; the file is opened by its wide name.
    std::string path;
    try {
        path = CString::FromNarrow(lpszMP4FilePath, -1, CP_ACP).ToNarrow(CP_UTF8);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    if (!m_state) {
        m_state = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE, sizeof(State));
        if (!m_state)
            return E_OUTOFMEMORY;
    }
    auto* state = static_cast<State*>(GlobalLock(m_state));
    if (!state)
        return E_FAIL;
    state->file = MP4Modify(path.c_str(), 0, 0);
    if (!state->file) {
        GlobalUnlock(m_state);
        return E_FAIL;
    }
    // The sound track of this file (an object may be handed several files).
    state->soundTrack = MP4_INVALID_TRACK_ID;
    const uint32_t tracks = MP4GetNumberOfTracks(state->file, nullptr, 0);
    for (uint32_t i = 0; i < tracks && i <= 0xFFFF; ++i) {
        const MP4TrackId id = MP4FindTrackId(state->file, static_cast<uint16_t>(i), nullptr, 0);
        const char* type = MP4GetTrackType(state->file, id);
        if (type && std::strcmp(type, MP4_AUDIO_TRACK_TYPE) == 0) {
            state->soundTrack = id;
            break;
        }
    }
    bool complete = true;
    try {
        WriteMarkerText(*state, lpszMarker);
    } catch (const std::bad_alloc&) {
        complete = false;  // what was set before is written whole, or nothing
    }
    const bool written = MP4Close(state->file);
    state->file = MP4_INVALID_FILE_HANDLE;
    GlobalUnlock(m_state);
    if (!complete)
        return E_OUTOFMEMORY;
    return written ? S_OK : E_FAIL;
}

STDMETHODIMP CVPMediaObj::Close(LPSTR lpszMarker)
{
    if (!m_state)
        return S_OK;
    if (auto* state = static_cast<State*>(GlobalLock(m_state))) {
        if (state->file) {
            try {
                WriteMarkerText(*state, lpszMarker);
            } catch (const std::bad_alloc&) {
                // Close always succeeds; the file keeps what it had
            }
            MP4Close(state->file);
            state->file = MP4_INVALID_FILE_HANDLE;
        }
        GlobalUnlock(m_state);
    }
    GlobalFree(m_state);
    m_state = nullptr;
    return S_OK;
}
