#include "BurnEngine.h"

#include "AfxMessageBox.h"
#include "res/BurnTextIds.h"
#include "CdAudio.h"
#include "ErrorTable.h"
#include "SuiteMessages.h"

#include <memory>

namespace {

constexpr ULONG kBytesPerBlock = 2048;   // the drive's unit of free space
constexpr ULONG kFramesPerSector = 588;  // CD-audio frames in one 2,352-byte sector
constexpr ULONG kFrameBytes = 4;

const CErrorTable& Errors()
{
    static const CErrorTable table;
    return table;
}

// The buffers every library call gets, cleared before each.
struct SdkCall {
    char text[1024];
    ULONG systemError;
    STARBURN_FAILURE_INFO failure;

    SdkCall() { Clear(); }
    void Clear()
    {
        ZeroMemory(text, sizeof text);
        systemError = 0;
        failure = STARBURN_FAILURE_INFO{};
    }
    // "<function> failed (exception %ld, status %ld, text '%s')"
    CString Describe(const wchar_t* function, ULONG exception) const
    {
        CString s;
        s.Format(L"%s failed (exception %ld, status %ld, text '%s')", function, static_cast<long>(exception),
                 static_cast<long>(systemError), CString::FromNarrow(text, -1).GetString());
        return s;
    }
};

const wchar_t* WriterStepText(CWaveWriter::Step step)
{
    switch (step) {
    case CWaveWriter::Step::Open: return L"prepare track data (mmioOpen)";
    case CWaveWriter::Step::CreateRiff: return L"prepare track data (mmioCreateChunk RIFF)";
    case CWaveWriter::Step::CreateFormat: return L"prepare track data (mmioCreateChunk fmt)";
    case CWaveWriter::Step::WriteFormat: return L"prepare track data (mmioWrite Wfx)";
    case CWaveWriter::Step::AscendFormat: return L"prepare track data (mmioAscend Wfx)";
    case CWaveWriter::Step::CreateData: return L"prepare track data (mmioCreateChunk data)";
    case CWaveWriter::Step::WriteData: return L"prepare track data (mmioWrite)";
    case CWaveWriter::Step::AscendData: return L"prepare track data (mmioAscend data)";
    case CWaveWriter::Step::AscendRiff: return L"prepare track data (mmioAscend RIFF)";
    default: return L"prepare track data";
    }
}

// A path the recorder can open through its ANSI interface: the short form when the long one has
// characters outside the code page.
std::string AnsiPath(const CString& path)
{
    BOOL lost = FALSE;
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, path, -1, nullptr, 0, nullptr, &lost);
    if (n > 0 && !lost)
        return path.ToNarrow(CP_ACP);
    wchar_t shortPath[MAX_PATH] = {};
    DWORD length = GetShortPathNameW(path, shortPath, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        return CString(shortPath).ToNarrow(CP_ACP);
    return path.ToNarrow(CP_ACP);
}

// A part as the user knows it: its file's name.
CString PartFileName(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash < 0 ? path : path.Mid(slash + 1);
}

// "m:ss.mmm" of a length in CD-audio frames.
CString FramesText(ULONGLONG frames)
{
    const ULONGLONG ms = frames * 1000 / kCdSamplesPerSecond;
    CString text;
    text.Format(L"%u:%02u.%03u", static_cast<unsigned>(ms / 60000), static_cast<unsigned>(ms / 1000 % 60),
                static_cast<unsigned>(ms % 1000));
    return text;
}

// How much shorter than its header says a part's decoded audio may be before it is taken for a
// damaged or incomplete file: decoders end a packet or so early, and a header's length is an
// estimate for some MP3 files.
ULONGLONG ShortfallAllowedMs(ULONGLONG durationMs)
{
    const ULONGLONG share = durationMs / 50;
    return share > 2000 ? share : 2000;
}

// Sends a stage to the Progress page.
void SendStage(HWND owner, WPARAM value, LPARAM stage)
{
    if (owner)
        SendMessageW(owner, WM_ADD_PROGRESS, value, stage);
}

}  // namespace

CWMABurn::~CWMABurn()
{
    if (m_grabber)
        StarBurn_Destroy(&m_grabber);
    DeleteTrackFiles();
}

void CWMABurn::SetPart(const wchar_t* path, DWORD durationMs, int index)
{
    if (index < 0 || index >= kMaxBurnParts)
        return;
    m_paths[index] = path ? path : L"";
    m_durations[index] = durationMs;
}

ULONGLONG CWMABurn::BlocksNeeded(ULONGLONG totalMs, ULONGLONG tracks, ULONG gapFrames)
{
    const ULONGLONG audio = (totalMs * 75 + 999) / 1000;
    return audio + tracks * (static_cast<ULONGLONG>(gapFrames) + 1) + 1;
}

ULONGLONG CWMABurn::BlocksOfFrames(ULONGLONG frames, ULONGLONG tracks, ULONG gapFrames)
{
    return (frames + kFramesPerSector - 1) / kFramesPerSector + tracks * (static_cast<ULONGLONG>(gapFrames) + 1) + 1;
}

ULONGLONG CWMABurn::TrackStartFrame(DWORD ms)
{
    const ULONGLONG sectors = (static_cast<ULONGLONG>(ms) * 75 + 500) / 1000;
    return sectors * kFramesPerSector;
}

HRESULT CWMABurn::Fail(const wchar_t* step, HRESULT hr)
{
    return FailText(step, Errors().FormatErrorText(hr), hr);
}

HRESULT CWMABurn::FailText(const wchar_t* step, const CString& detail, HRESULT hr)
{
    m_error.Format(AfxLoadString(IDS_UNABLE_TO), step, detail.GetString());
    return hr;
}

void CWMABurn::NamePart(ULONG part, int partTrack)
{
    if (part >= kMaxBurnParts)
        return;
    CString text;
    text.Format(AfxLoadString(IDS_PART_NOT_BURNED), m_error.GetString(), PartFileName(m_paths[part]).GetString(),
                partTrack);
    m_error = text;
}

HRESULT CWMABurn::FailTempFolder(HRESULT hr)
{
    CString folder = m_tempFolder;
    while (folder.GetLength() > 3 && folder.Right(1) == L"\\")
        folder = folder.Left(folder.GetLength() - 1);
    const DWORD attributes = GetFileAttributesW(folder);
    CString detail;
    if (attributes == INVALID_FILE_ATTRIBUTES)
        detail.Format(AfxLoadString(IDS_TEMP_FOLDER_MISSING), folder.GetString());
    else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        detail.Format(AfxLoadString(IDS_TEMP_FOLDER_IS_FILE), folder.GetString());
    else
        detail = Errors().FormatErrorText(hr);
    CString step;
    step.Format(AfxLoadString(IDS_TEMP_FOLDER_STEP), folder.GetString());
    return FailText(step, detail, hr);
}

HRESULT CWMABurn::AddTrackFiles(int part, const TrackBoundaries& b, int tracks)
{
    const CString folder = m_tempFolder;
    for (int t = 1; t <= tracks; ++t) {
        const int n = static_cast<int>(m_tracks.size()) + 1;
        CString prefix;
        prefix.Format(L"T%02d", n % 100);
        wchar_t name[MAX_PATH] = {};
        // The name is reserved by the file GetTempFileNameW creates; the track is written into
        // that very file, so no other file of the folder is ever opened or deleted.
        if (!GetTempFileNameW(folder, prefix, 0, name))
            return FailTempFolder(HRESULT_FROM_WIN32(GetLastError()));
        TrackFileEntry entry;
        entry.path = name;
        entry.endMs = b.ms[t];
        entry.part = static_cast<ULONG>(part);
        entry.partTrack = t;
        m_tracks.push_back(entry);
    }
    return S_OK;
}

HRESULT CWMABurn::OpenPartAudio(ULONG part, std::unique_ptr<wmreader::MediaReader>* reader,
                                std::unique_ptr<CCdAudioReader>* cd)
{
    HRESULT hr = wmreader::CreateMediaReader(reader);
    if (FAILED(hr))
        return Fail(L"create synchronous Reader", hr);
    hr = (*reader)->Open(m_paths[part]);
    if (FAILED(hr))
        return Fail(L"open media file", hr);
    *cd = std::make_unique<CCdAudioReader>(**reader);
    wmreader::ReaderStep step = wmreader::ReaderStep::None;
    hr = (*cd)->Prepare(&step);
    if (FAILED(hr)) {
        (*reader)->Close();
        if ((*cd)->Refused())
            return FailText(L"GetAudioOutput", AfxLoadString(IDS_NO_CD_AUDIO_FORMAT), E_FAIL);
        const std::wstring detail = wmreader::AudioOutputFailureText(step);
        if (!detail.empty())
            return FailText(L"GetAudioOutput", detail.c_str(), hr);
        return Fail(L"prepare the audio stream", hr);
    }
    return S_OK;
}

HRESULT CWMABurn::CheckPartOpens(ULONG part)
{
    std::unique_ptr<wmreader::MediaReader> reader;
    std::unique_ptr<CCdAudioReader> audio;
    HRESULT hr = OpenPartAudio(part, &reader, &audio);
    if (FAILED(hr))
        return hr;
    CCdAudioReader& cd = *audio;
    // Its first audio, to see that it decodes at all.
    wmreader::ReaderStep step = wmreader::ReaderStep::None;
    CdAudioChunk chunk;
    hr = cd.Next(&chunk, &step);
    reader->Close();
    if (hr == wmreader::kBadDataUnit)
        return FailText(L"get next sample", wmreader::BadDataUnitText(hr, cd.LastSample()).c_str(), hr);
    if (FAILED(hr))
        return Fail(step == wmreader::ReaderStep::SampleBuffer ? L"get sample buffer" : L"get next sample", hr);
    if (hr == S_FALSE && m_durations[part] > ShortfallAllowedMs(m_durations[part])) {
        CString detail;
        detail.Format(AfxLoadString(IDS_PART_ENDS_EARLY), FramesText(0).GetString(),
                      FramesText(static_cast<ULONGLONG>(m_durations[part]) * kCdSamplesPerSecond / 1000).GetString());
        return FailText(L"decode the part", detail, E_FAIL);
    }
    return S_OK;
}

HRESULT CWMABurn::CheckDecodedPart(ULONG part, size_t firstTrack, ULONGLONG frames)
{
    const ULONGLONG durationMs = m_durations[part];
    const ULONGLONG decodedMs = frames * 1000 / kCdSamplesPerSecond;
    if (durationMs > 0 && decodedMs + ShortfallAllowedMs(durationMs) < durationMs) {
        // The track the audio ended in.
        int track = 1;
        for (size_t i = firstTrack; i < m_tracks.size(); ++i) {
            if (m_tracks[i].frames > 0)
                track = m_tracks[i].partTrack;
        }
        CString detail;
        detail.Format(AfxLoadString(IDS_PART_ENDS_EARLY), FramesText(frames).GetString(),
                      FramesText(durationMs * kCdSamplesPerSecond / 1000).GetString());
        const HRESULT hr = FailText(L"decode the part", detail, E_FAIL);
        NamePart(part, track);
        return hr;
    }
    // A track whose start lies past the decoded end would be an empty track on the disc.
    for (size_t i = firstTrack; i < m_tracks.size(); ++i) {
        if (m_tracks[i].frames == 0) {
            const ULONGLONG start = i > firstTrack ? TrackStartFrame(m_tracks[i - 1].endMs) : 0;
            CString detail;
            detail.Format(AfxLoadString(IDS_TRACK_PAST_END), FramesText(frames).GetString(), m_tracks[i].partTrack,
                          FramesText(start).GetString());
            const HRESULT hr = FailText(L"decode the part", detail, E_FAIL);
            NamePart(part, m_tracks[i].partTrack);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CWMABurn::DecodePart(int part, IWMDMProgress* progress, size_t firstTrack, const TrackBoundaries& b, int tracks,
                              ULONGLONG* framesOut)
{
    *framesOut = 0;
    std::unique_ptr<wmreader::MediaReader> reader;
    std::unique_ptr<CCdAudioReader> audio;
    HRESULT hr = OpenPartAudio(static_cast<ULONG>(part), &reader, &audio);
    if (FAILED(hr))
        return hr;
    CCdAudioReader& cd = *audio;
    wmreader::ReaderStep step = wmreader::ReaderStep::None;

    // Where each track but the last ends, in frames from the part's start.
    std::vector<ULONGLONG> ends;
    for (int t = 1; t < tracks; ++t)
        ends.push_back(TrackStartFrame(b.ms[t]));

    CWaveWriter wav;
    size_t current = firstTrack;
    hr = wav.Open(m_tracks[current].path, CdAudioFormat());
    if (FAILED(hr)) {
        reader->Close();
        return FailText(WriterStepText(wav.FailedStep()), Errors().FormatErrorText(hr), hr);
    }
    ULONGLONG frames = 0;  // written of this part
    ULONGLONG chunks = 0;
    DWORD lastReported = 0;
    CdAudioChunk chunk;
    for (;;) {
        hr = cd.Next(&chunk, &step);
        if (hr == S_FALSE) {
            hr = S_OK;
            break;
        }
        if (hr == wmreader::kBadDataUnit) {
            FailText(L"get next sample", wmreader::BadDataUnitText(hr, cd.LastSample()).c_str(), hr);
            break;
        }
        if (FAILED(hr)) {
            Fail(step == wmreader::ReaderStep::SampleBuffer ? L"get sample buffer" : L"get next sample", hr);
            break;
        }
        const BYTE* data = chunk.data;
        ULONGLONG left = chunk.length / kFrameBytes;
        while (SUCCEEDED(hr) && left > 0) {
            const size_t k = current - firstTrack;  // the track being written, from 0
            ULONGLONG take = left;
            const bool ends_here = k < ends.size() && frames + left >= ends[k];
            if (ends_here)
                take = ends[k] > frames ? ends[k] - frames : 0;
            if (take > 0) {
                hr = wav.Write(data, static_cast<DWORD>(take * kFrameBytes));
                if (FAILED(hr)) {
                    FailText(WriterStepText(wav.FailedStep()), Errors().FormatErrorText(hr), hr);
                    break;
                }
                data += take * kFrameBytes;
                frames += take;
                left -= take;
                m_tracks[current].frames += take;
            }
            if (ends_here) {
                hr = wav.Close();
                if (SUCCEEDED(hr)) {
                    ++current;
                    hr = wav.Open(m_tracks[current].path, CdAudioFormat());
                }
                if (FAILED(hr))
                    FailText(WriterStepText(wav.FailedStep()), Errors().FormatErrorText(hr), hr);
            }
        }
        if (FAILED(hr))
            break;
        if (++chunks % 4 == 0 && progress) {
            const DWORD ms = static_cast<DWORD>(frames * 1000 / kCdSamplesPerSecond);
            if (ms != lastReported) {
                lastReported = ms;
                if (progress->Progress(ms) == kBurnCancelled) {
                    hr = kBurnCancelled;
                    break;
                }
            }
        }
    }
    HRESULT closed = wav.Close();
    if (SUCCEEDED(hr) && FAILED(closed))
        hr = FailText(WriterStepText(wav.FailedStep()), Errors().FormatErrorText(closed), closed);
    reader->Close();
    *framesOut = frames;
    m_decodingTrack = m_tracks[current].partTrack;
    return hr;
}

HRESULT CWMABurn::Burn(int partCount, HWND owner, IWMDMProgress* progress, CString* errorOut, ULONG startIndex,
                       ULONG gapFrames)
{
    m_error.Empty();
    m_partCount = partCount > 0 ? static_cast<ULONG>(partCount) : 0;
    m_startIndex = m_nextIndex = startIndex;
    m_gap = gapFrames;
    m_owner = owner;
    DeleteTrackFiles();

    HRESULT hr = S_OK;
    if (partCount <= 0 || partCount > kMaxBurnParts) {
        hr = Fail(L"resolve input playlist", E_INVALIDARG);
    } else {
        for (int i = 0; i < partCount; ++i) {
            if (m_paths[i].IsEmpty()) {
                hr = Fail(L"resolve input playlist", E_INVALIDARG);
                break;
            }
        }
    }
    if (SUCCEEDED(hr) && startIndex > m_partCount)
        hr = E_INVALIDARG;
    if (FAILED(hr)) {
        if (errorOut && !m_error.IsEmpty())
            *errorOut = m_error;
        return hr;
    }

    if (m_tempFolder.IsEmpty()) {
        wchar_t folder[MAX_PATH + 1] = {};
        DWORD n = GetTempPathW(MAX_PATH + 1, folder);
        m_tempFolder = n > 0 && n <= MAX_PATH ? CString(folder) : CString(L".");
    }

    const ULONGLONG available = m_record.freeBytes / kBytesPerBlock;

    // This disc's parts, from their lengths and tracks, before any part is opened: every track
    // of the disc costs its gap; a disc holds 99 tracks. A first part that does not fit is an
    // error; a later one ends the disc before it.
    struct DiscPart {
        ULONG part;
        TrackBoundaries b;
        int tracks;
    };
    std::vector<DiscPart> disc;
    {
        ULONGLONG cumulativeMs = 0;
        ULONGLONG discTracks = 0;
        for (ULONG p = startIndex; p < m_partCount; ++p) {
            std::vector<TrackMarker> markers;
            ReadPartMarkers(m_paths[p], &markers);
            DiscPart entry{p, {}, 0};
            entry.tracks = TrackBoundariesOf(PlanPartTracks(markers, m_durations[p]), m_durations[p], &entry.b);
            const ULONGLONG totalTracks = discTracks + static_cast<ULONGLONG>(entry.tracks);
            if (BlocksNeeded(cumulativeMs + m_durations[p], totalTracks, m_gap) > available || totalTracks > kMaxCdTracks) {
                if (p == startIndex)
                    hr = FailText(L"burn to recordable CD", AfxLoadString(IDS_INSUFFICIENT_SPACE), E_FAIL);
                break;
            }
            disc.push_back(entry);
            cumulativeMs += m_durations[p];
            discTracks = totalTracks;
        }
    }
    // The parts of the discs after this one open and decode, so that none of them is found
    // unreadable after this disc has been written; this disc's parts are decoded in full below,
    // before its first track is written.
    for (ULONG p = startIndex + static_cast<ULONG>(disc.size()); SUCCEEDED(hr) && !disc.empty() && p < m_partCount; ++p) {
        if (m_cancelled && *m_cancelled) {
            hr = kBurnCancelled;
            break;
        }
        hr = CheckPartOpens(p);
        if (FAILED(hr))
            NamePart(p, 1);
    }

    ULONGLONG discFrames = 0;  // decoded for this disc, in CD-audio frames
    for (const DiscPart& entry : disc) {
        if (FAILED(hr))
            break;
        const ULONG p = entry.part;
        if (progress) {
            progress->Begin(p);
            if (progress->Progress(static_cast<DWORD>(-1)) == kBurnCancelled) {
                hr = kBurnCancelled;
                break;
            }
        }
        const size_t first = m_tracks.size();
        const ULONGLONG totalTracks = first + static_cast<ULONGLONG>(entry.tracks);
        ULONGLONG partFrames = 0;
        m_decodingTrack = 1;
        hr = AddTrackFiles(static_cast<int>(p), entry.b, entry.tracks);
        if (SUCCEEDED(hr)) {
            hr = DecodePart(static_cast<int>(p), progress, first, entry.b, entry.tracks, &partFrames);
            if (FAILED(hr) && hr != kBurnCancelled && !m_error.IsEmpty())
                NamePart(p, m_decodingTrack);
        }
        if (SUCCEEDED(hr))
            hr = CheckDecodedPart(p, first, partFrames);
        if (FAILED(hr))
            break;
        // The durations above are the headers'; what the disc takes is the decoded audio. A part
        // whose decoded length does not fit after the parts before it goes to the next disc.
        if (BlocksOfFrames(discFrames + partFrames, totalTracks, m_gap) > available) {
            if (p == startIndex) {
                hr = FailText(L"burn to recordable CD", AfxLoadString(IDS_INSUFFICIENT_SPACE), E_FAIL);
                break;
            }
            while (m_tracks.size() > first) {
                DeleteFileW(m_tracks.back().path);
                m_tracks.pop_back();
            }
            if (progress)
                progress->End();
            break;
        }
        discFrames += partFrames;
        if (progress)
            progress->End();
        m_nextIndex = p + 1;
    }

    if (SUCCEEDED(hr) && m_error.IsEmpty() && m_tracks.empty())
        hr = FailText(L"burn to recordable CD", AfxLoadString(IDS_INSUFFICIENT_SPACE), E_FAIL);
    if (SUCCEEDED(hr) && m_error.IsEmpty() && progress) {
        progress->Begin(m_partCount + 1);
        if (progress->Progress(static_cast<DWORD>(-1)) == kBurnCancelled)
            hr = kBurnCancelled;
        else
            progress->End();
    }
    if (SUCCEEDED(hr) && m_error.IsEmpty()) {
        SendStage(m_owner, m_tracks.size(), kStagePrepared);
        hr = WriteDisc();
    }

    if (progress) {
        progress->Begin(static_cast<DWORD>(-1));
        if (progress->Progress(static_cast<DWORD>(-1)) == kBurnCancelled)
            hr = kBurnCancelled;
        else
            progress->End();
    }
    if (m_grabber)
        StarBurn_Destroy(&m_grabber);
    DeleteTrackFiles();
    if (errorOut && !m_error.IsEmpty())
        *errorOut = m_error;
    return hr;
}

HRESULT CWMABurn::WriteDisc()
{
    SdkCall call;
    ULONG e = 0;
    if (m_record.kind == DriveAddressKind::scsi) {
        e = StarBurn_CdvdBurnerGrabber_Create(&m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure,
                                              BurnerCallback, this, m_record.port, m_record.bus, m_record.target,
                                              m_record.lun, STARBURN_OPEN_EXCLUSIVE);
        if (e != STARBURN_OK)
            return FailText(L"create burner grabber", call.Describe(L"StarBurn_CdvdBurnerGrabber_Create()", e), E_FAIL);
    } else {
        // A record found by its wide name opens by the same name in the ANSI code page.
        const std::string device =
            m_record.deviceName[0] ? std::string(m_record.deviceName) : CString(m_record.deviceNameW).ToNarrow(CP_ACP);
        e = StarBurn_CdvdBurnerGrabber_CreateEx(&m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure,
                                                BurnerCallback, this, device.c_str(), STARBURN_OPEN_EXCLUSIVE);
        if (e != STARBURN_OK)
            return FailText(L"create burner grabber", call.Describe(L"StarBurn_CdvdBurnerGrabber_CreateEx", e), E_FAIL);
    }

    call.Clear();
    e = StarBurn_CdvdBurnerGrabber_TestUnitReady(m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure);
    if (e != STARBURN_OK) {
        StarBurn_Destroy(&m_grabber);
        m_error.Format(AfxLoadString(IDS_NOT_READY), call.Describe(L"StarBurn_CdvdBurnerGrabber_TestUnitReady", e).GetString());
        return E_FAIL;
    }
    call.Clear();
    StarBurn_CdvdBurnerGrabber_SetBUP(m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure, 1);
    call.Clear();
    StarBurn_CdvdBurnerGrabber_SetSpeeds(m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure,
                                         STARBURN_SPEED_MAX, m_writeSpeed);
    if (!m_testMode) {
        call.Clear();
        e = StarBurn_CdvdBurnerGrabber_SendOPC(m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure);
        if (e != STARBURN_OK) {
            CString question;
            question.Format(AfxLoadString(IDS_POWER_CALIBRATION),
                            call.Describe(L"StarBurn_CdvdBurnerGrabber_SendOPC", e).GetString());
            const int answer = AfxMessageBox(question, MB_YESNO | MB_ICONEXCLAMATION);
            if (answer == IDYES || (m_cancelled && *m_cancelled)) {
                StarBurn_Destroy(&m_grabber);
                return kBurnCancelled;
            }
        }
    }
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        SendStage(m_owner, i, kStageTrack);
        const std::string path = AnsiPath(m_tracks[i].path);
        call.Clear();
        e = StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(m_grabber, call.text, sizeof call.text, &call.systemError,
                                                           &call.failure, path.c_str(), STARBURN_TRACK_AUDIO,
                                                           m_testMode ? 1 : 0, 0, 1, 5);
        if (e != STARBURN_OK) {
            StarBurn_Destroy(&m_grabber);
            const TrackFileEntry& track = m_tracks[i];
            CString step;
            step.Format(AfxLoadString(IDS_WRITE_STEP), static_cast<int>(i + 1), track.partTrack,
                        PartFileName(track.part < kMaxBurnParts ? m_paths[track.part] : CString()).GetString());
            m_error.Format(AfxLoadString(IDS_TRACK_FAILED), step.GetString(),
                           call.Describe(L"StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile", e).GetString());
            // The disc is neither closed nor ejected; the parts decoded count as handed over.
            m_startIndex = m_nextIndex;
            return E_FAIL;
        }
    }
    SendStage(m_owner, 5, kStageClosing);
    if (!m_testMode) {
        call.Clear();
        e = StarBurn_CdvdBurnerGrabber_CloseSession(m_grabber, call.text, sizeof call.text, &call.systemError,
                                                    &call.failure);
        if (e != STARBURN_OK) {
            StarBurn_Destroy(&m_grabber);
            return FailText(L"close session", call.Describe(L"StarBurn_CdvdBurnerGrabber_CloseSession", e), E_FAIL);
        }
    }
    call.Clear();
    StarBurn_CdvdBurnerGrabber_Eject(m_grabber, call.text, sizeof call.text, &call.systemError, &call.failure);
    SendStage(m_owner, 0, kStageEjected);
    m_startIndex = m_nextIndex;
    return S_OK;
}

void CWMABurn::DeleteTrackFiles()
{
    for (const TrackFileEntry& track : m_tracks)
        DeleteFileW(track.path);
    m_tracks.clear();
}

void STARBURN_CALL CWMABurn::BurnerCallback(ULONG reason, void* context, void* value1, void* value2)
{
    auto* self = static_cast<CWMABurn*>(context);
    if (!self || !self->m_owner)
        return;
    auto value = [](void* p) -> ULONG { return p ? *static_cast<ULONG*>(p) : 0; };
    switch (reason) {
    case STARBURN_CALLBACK_TRACK_BEGIN:
        if (static_cast<LONG>(value(value2)) >= 0)
            SendStage(self->m_owner, value(value2), kStageTrackBegin);
        break;
    case STARBURN_CALLBACK_TRACK_PROGRESS:
        if (static_cast<LONG>(value(value2)) >= 0)
            SendStage(self->m_owner, value(value2), kStageTrackWrite);
        break;
    case STARBURN_CALLBACK_CACHE_FILL:
        SendStage(self->m_owner, value(value1) / 1000, kStageCacheFill);
        break;
    case STARBURN_CALLBACK_CACHE_FULL:
        SendStage(self->m_owner, 0, kStageCacheFull);
        break;
    default:
        break;
    }
}
