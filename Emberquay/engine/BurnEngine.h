// CWMABurn: fills one audio CD from the parts of a title. Starting at a given part it decodes as
// many whole parts as fit on the disc into temporary CD-audio WAV files, one per track (tracks
// start at the parts' markers), writes them track at once, closes the session, ejects the disc,
// deletes the WAV files and leaves the index of the first part that did not fit.
//
//     CWMABurn engine;
//     engine.SetPart(path, durationMs, 0);               // for each part
//     engine.SetDrive(entry.m_record);                   // the recorder and its disc's free space
//     CString error;
//     HRESULT hr = engine.Burn(count, page, progress, &error, start, kTrackGapFrames);
//     start = engine.NextPartIndex();
//
// Stages go to the owner window as WM_ADD_PROGRESS (lParam: the stage); decoding progress goes
// through progress (Begin(part index), Progress(milliseconds decoded)); kBurnCancelled from
// Progress cancels.
#pragma once

#include "BurnJob.h"
#include "BurnSdk.h"
#include "TrackList.h"
#include "WmdmProgress.h"

#include <memory>
#include <vector>

class CCdAudioReader;
namespace wmreader {
class MediaReader;
}

// The user cancelled (a progress reply, a question answered so).
inline constexpr HRESULT kBurnCancelled = wmdm::kUserCancelled;
// The disc is done and another one follows.
inline constexpr HRESULT kBurnNextDisc = static_cast<HRESULT>(0x80045000L);

// The stages the engine reports (lParam of WM_ADD_PROGRESS).
enum BurnStage : LPARAM {
    kStagePrepared = 20,     // wParam: the disc's track count
    kStageTrack = 21,        // wParam: the track's index from 0
    kStageTrackBegin = 30,   // wParam: the track's length in seconds
    kStageTrackWrite = 31,   // wParam: seconds written
    kStageCacheFill = 40,    // wParam: thousands of bytes in the drive's cache
    kStageCacheFull = 41,
    kStageClosing = 50,
    kStageEjected = 60,
};

struct TrackFileEntry {
    CString path;
    DWORD endMs = 0;
    ULONG part = 0;           // the job's part it comes from
    int partTrack = 1;        // its number in that part, from 1
    ULONGLONG frames = 0;     // decoded into it
};

class CWMABurn {
public:
    CWMABurn() = default;
    ~CWMABurn();
    CWMABurn(const CWMABurn&) = delete;
    CWMABurn& operator=(const CWMABurn&) = delete;

    void SetPart(const wchar_t* path, DWORD durationMs, int index);
    void SetWriteSpeed(ULONG speed) { m_writeSpeed = speed; }
    void SetTestMode(BOOL testMode) { m_testMode = testMode; }
    // A copy of the recorder's record: how it is opened and its disc's free space.
    void SetDrive(const DriveRecord& record) { m_record = record; }
    // A flag another thread sets to cancel (the job's); seen after the engine's own question.
    void SetCancelFlag(const volatile LONG* cancelled) { m_cancelled = cancelled; }
    // The folder for the track files (empty: the system's temporary folder).
    void SetTempFolder(const wchar_t* folder) { m_tempFolder = folder; }

    HRESULT Burn(int partCount, HWND owner, IWMDMProgress* progress, CString* errorOut, ULONG startIndex, ULONG gapFrames);
    ULONG NextPartIndex() const { return m_startIndex; }

    // The blocks parts of the given total length and track count need on a disc: their audio,
    // each track's gap and the sector a track's end may fill with silence, and one more.
    static ULONGLONG BlocksNeeded(ULONGLONG totalMs, ULONGLONG tracks, ULONG gapFrames);
    // Where a track of a part starts, in CD frames from the part's start: ms rounded to a whole
    // sector, so that no silence is put between two tracks of one part.
    static ULONGLONG TrackStartFrame(DWORD ms);
    // The same count for decoded audio of the given length in CD-audio frames (588 a block).
    static ULONGLONG BlocksOfFrames(ULONGLONG frames, ULONGLONG tracks, ULONG gapFrames);

private:
    HRESULT Fail(const wchar_t* step, HRESULT hr);
    HRESULT FailText(const wchar_t* step, const CString& detail, HRESULT hr);
    // Adds to the error text which part (and which of its tracks) it comes from, and that the
    // disc has not been written.
    void NamePart(ULONG part, int partTrack);
    // Opens a part and prepares its audio as CD audio; a failure is in the error text.
    HRESULT OpenPartAudio(ULONG part, std::unique_ptr<wmreader::MediaReader>* reader,
                          std::unique_ptr<CCdAudioReader>* cd);
    // Checks that a part opens and gives CD audio, and that its first audio decodes.
    HRESULT CheckPartOpens(ULONG part);
    // Checks a decoded part: its audio reaches its end, and every track has audio.
    HRESULT CheckDecodedPart(ULONG part, size_t firstTrack, ULONGLONG frames);
    // The reason a track file cannot be made in the temporary folder, naming the folder.
    HRESULT FailTempFolder(HRESULT hr);
    // Adds the part's track files to the list (files reserved in the temporary folder).
    HRESULT AddTrackFiles(int part, const TrackBoundaries& b, int tracks);
    HRESULT DecodePart(int part, IWMDMProgress* progress, size_t firstTrack, const TrackBoundaries& b, int tracks,
                       ULONGLONG* framesOut);
    HRESULT WriteDisc();
    void DeleteTrackFiles();
    static void STARBURN_CALL BurnerCallback(ULONG reason, void* context, void* value1, void* value2);

    CString m_paths[kMaxBurnParts];
    DWORD m_durations[kMaxBurnParts] = {};
    ULONG m_partCount = 0;
    ULONG m_startIndex = 0;
    ULONG m_nextIndex = 0;
    ULONG m_gap = kTrackGapFrames;
    ULONG m_writeSpeed = 0xFFFF;
    BOOL m_testMode = FALSE;
    DriveRecord m_record;
    CString m_tempFolder;
    CString m_error;
    HWND m_owner = nullptr;
    const volatile LONG* m_cancelled = nullptr;
    int m_decodingTrack = 1;  // the part's track being decoded, from 1
    void* m_grabber = nullptr;
    std::vector<TrackFileEntry> m_tracks;
};
