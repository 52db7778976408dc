// The system's synchronous media reader (WMCreateSyncReader of wmvcore.dll), behind a small
// interface of our own. Programs get a reader from CreateMediaReader; tests put a scripted
// reader in its place with SetMediaReaderFactory, for what the system's reader cannot be made to
// produce (several output formats, a damaged sample, a file without audio, a failure half-way).
//
//     std::unique_ptr<wmreader::MediaReader> reader;
//     HRESULT hr = wmreader::CreateMediaReader(&reader);
//     if (SUCCEEDED(hr)) hr = reader->Open(path);
//     wmreader::AudioOutput audio;
//     if (SUCCEEDED(hr)) hr = wmreader::FindAudioOutput(*reader, &audio);   // AudioOutput.h
//     ...
//     wmreader::Sample sample;
//     while ((hr = reader->NextSample(&sample)) == S_OK) use(sample.Data(), sample.Length());
//     // hr == kNoMoreSamples at the end of the file
//
// A call that fails leaves FailedStep() naming the call inside it that failed, so that each
// caller can word its own message. The interface's members mirror the reader calls the programs
// make, one to one, with the media types copied out of the reader's property objects.
#pragma once

#include <windows.h>
#include <mmreg.h>

#include <functional>
#include <memory>
#include <vector>

namespace wmreader {

// Result codes of the reader.
inline constexpr HRESULT kNoMoreSamples = static_cast<HRESULT>(0xC00D0BCFL);  // the end of the file
inline constexpr HRESULT kBadDataUnit = static_cast<HRESULT>(0xC00D080DL);    // a damaged sample
// What FindAudioOutput answers when the file has no audio output.
inline constexpr HRESULT kNoAudioOutput = E_UNEXPECTED;

// Major types of an output or a stream.
inline constexpr GUID kMediaTypeAudio = {0x73647561, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID kMediaTypeVideo = {0x73646976, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// The format type of a format block that holds a WAVEFORMATEX.
inline constexpr GUID kFormatWaveFormatEx = {0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// The call inside a reader operation (or a helper of AudioOutput.h) that failed.
enum class ReaderStep {
    None,
    Create,             // WMCreateSyncReader (or wmvcore.dll missing)
    Open,
    OutputCount,        // GetOutputCount
    OutputProps,        // GetOutputProps
    MediaTypeSize,      // the size of an output's or format's media type
    MediaTypeMemory,    // room for that media type
    MediaType,          // the media type itself
    FormatCount,        // GetOutputFormatCount
    Format,             // GetOutputFormat
    SetOutputProps,
    NoAudioOutput,      // no output of the file is audio
    QueryProfile,       // the reader's profile interface
    StreamCount,
    Stream,             // a stream's configuration
    StreamNumber,
    StreamType,
    SelectStreams,      // SetStreamsSelected
    ReadStreamSamples,  // SetReadStreamSamples
    SetRange,
    NextSample,         // GetNextSample
    SampleBuffer,       // the sample's buffer and length
};

// A media type as an output or one of its formats offers it.
struct MediaType {
    GUID majorType{};
    GUID subtype{};
    GUID formatType{};
    std::vector<BYTE> format;  // the format block, as long as the reader gave it

    bool IsAudio() const { return IsEqualGUID(majorType, kMediaTypeAudio) != 0; }
    // The format block as a WAVEFORMATEX (its first bytes; zeros where the block is shorter);
    // all zeros when the block is not a wave format.
    WAVEFORMATEX Wave() const;
};

// One decoded sample. The reader keeps the bytes alive until the next NextSample or Reset.
class Sample {
public:
    Sample() = default;
    ~Sample() { Reset(); }
    Sample(const Sample&) = delete;
    Sample& operator=(const Sample&) = delete;

    const BYTE* Data() const { return m_data; }
    DWORD Length() const { return m_length; }
    void Reset();

    ULONGLONG time = 0;      // 100-ns units from the start of the file
    ULONGLONG duration = 0;  // 100-ns units
    DWORD flags = 0;
    DWORD output = 0;
    WORD stream = 0;

    // For readers: the bytes, and what holds them (released by Reset).
    void Hold(IUnknown* holder, const BYTE* data, DWORD length);
    void Own(std::vector<BYTE> bytes);

private:
    IUnknown* m_holder = nullptr;
    std::vector<BYTE> m_owned;
    const BYTE* m_data = nullptr;
    DWORD m_length = 0;
};

class MediaReader {
public:
    virtual ~MediaReader() = default;

    virtual HRESULT Open(const wchar_t* path) = 0;
    // Closes the file; the reader can open another.
    virtual void Close() = 0;

    virtual HRESULT OutputCount(DWORD* count) = 0;
    // The output's current media type (its properties, their size, room, the type).
    virtual HRESULT OutputType(DWORD output, MediaType* type) = 0;
    virtual HRESULT FormatCount(DWORD output, DWORD* count) = 0;
    // One of the formats the output can deliver.
    virtual HRESULT FormatType(DWORD output, DWORD index, MediaType* type) = 0;
    // Makes format index the output's current one (SetOutputProps with that format).
    virtual HRESULT SetOutputFormat(DWORD output, DWORD index) = 0;

    // The streams of the file's profile: their count, then each one's number and major type.
    virtual HRESULT StreamCount(DWORD* count) = 0;
    virtual HRESULT StreamInfo(DWORD index, WORD* number, GUID* type) = 0;

    virtual HRESULT SetStreamSelected(WORD stream, bool selected) = 0;
    virtual HRESULT SetReadStreamSamples(WORD stream, bool compressed) = 0;
    // From start for duration (100-ns units; 0 = to the end).
    virtual HRESULT SetRange(ULONGLONG start, LONGLONG duration) = 0;
    // The next sample of any selected stream; kNoMoreSamples at the end.
    virtual HRESULT NextSample(Sample* sample) = 0;

    // The call that made the last failing operation fail.
    ReaderStep FailedStep() const { return m_failed; }

protected:
    // Records step as failed when hr is a failure; returns hr.
    HRESULT Step(ReaderStep step, HRESULT hr)
    {
        m_failed = FAILED(hr) ? step : ReaderStep::None;
        return hr;
    }

private:
    ReaderStep m_failed = ReaderStep::None;
};

// Makes a reader: the system's, or the factory's that tests set. On failure *reader stays empty;
// the system's reader fails with the step ReaderStep::Create in *failed when given.
HRESULT CreateMediaReader(std::unique_ptr<MediaReader>* reader, ReaderStep* failed = nullptr);
// The system's reader, whatever factory is set. Its audio starts at the file's time 0: the
// Windows Media audio decoder's own delay (WmaDecoderDelay) is not handed out.
HRESULT CreateSystemReader(std::unique_ptr<MediaReader>* reader);

// The frames of decoder delay before the first audio of a stream in this compressed format: two
// frames for Windows Media Audio 1 and 2 (4,096 samples at 44.1 kHz, 2,048 at 22.05 kHz), 0 for
// any other format.
DWORD WmaDecoderDelay(const WAVEFORMATEX& coded);

using MediaReaderFactory = std::function<HRESULT(std::unique_ptr<MediaReader>*)>;
// Replaces the factory of CreateMediaReader (empty: the system's reader); returns the one before.
// Set it before any thread makes readers.
MediaReaderFactory SetMediaReaderFactory(MediaReaderFactory factory);

}  // namespace wmreader
