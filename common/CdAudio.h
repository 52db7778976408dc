// Audio for a CD: 44,100 samples per second, 16-bit, stereo PCM. A part the reader delivers in
// another PCM layout (mono, another rate, 8-bit) is converted; one it cannot convert (float,
// 24-bit, more than two channels, compressed) is refused, never passed on as CD audio.
//
//     wmreader::MediaReader& reader = ...;                 // opened on the part
//     CCdAudioReader cd(reader);
//     wmreader::ReaderStep step;
//     HRESULT hr = cd.Prepare(&step);                      // refused: cd.Refused()
//     CdAudioChunk chunk;
//     while (SUCCEEDED(hr) && (hr = cd.Next(&chunk, &step)) == S_OK)
//         wav.Write(chunk.data, chunk.length);             // CWaveWriter opened with CdAudioFormat()
//
// The conversion interpolates linearly between neighbouring source samples: enough for speech
// and for the rates a part comes in, without a filter against aliasing when a rate goes down.
#pragma once

#include "AudioOutput.h"
#include "MediaReader.h"
#include "WaveWriter.h"

#include <vector>

inline constexpr DWORD kCdSamplesPerSecond = 44100;

// The CD-audio wave format.
WAVEFORMATEX CdAudioFormat();
bool IsCdAudio(const WAVEFORMATEX& format);
// 8- or 16-bit PCM, one or two channels, a rate between 1,000 and 384,000, consistent sizes.
bool CanConvertToCdAudio(const WAVEFORMATEX& format);

// Converts a stream of PCM bytes in one convertible layout to CD audio. Bytes may come in
// pieces of any size: a frame split between two calls is joined.
class CCdAudioConverter {
public:
    explicit CCdAudioConverter(const WAVEFORMATEX& source);
    bool IsValid() const { return m_valid; }
    // Appends the CD audio that data completes to *out.
    void Convert(const BYTE* data, size_t size, std::vector<BYTE>* out);
    // The same into out, which has room for OutputRoom(size) bytes; returns the bytes written.
    size_t Convert(const BYTE* data, size_t size, BYTE* out);
    // The most CD-audio bytes the next size source bytes can complete.
    size_t OutputRoom(size_t size) const;

private:
    // Writes the output frames that whole source frames complete; returns their end.
    template <int BytesPerSample, int Channels>
    BYTE* ConvertFrames(const BYTE* data, size_t frames, BYTE* out);
    BYTE* ConvertFrames(const BYTE* data, size_t frames, BYTE* out);

    bool m_valid = false;
    DWORD m_rate = 0;
    WORD m_channels = 0;
    WORD m_bytesPerSample = 0;
    WORD m_frameBytes = 0;
    BYTE m_partial[4] = {};
    WORD m_partialBytes = 0;
    // Output frame n stands at source frame n * rate / 44,100: the next one to write at
    // source frame m_nextIndex plus m_nextFraction / 44,100. m_sourceFrames source frames came
    // in, the last of them (m_lastLeft, m_lastRight).
    ULONGLONG m_sourceFrames = 0;
    ULONGLONG m_nextIndex = 0;
    DWORD m_nextFraction = 0;
    int m_lastLeft = 0;
    int m_lastRight = 0;
};

// A piece of CD audio and the time of the source sample it came from.
struct CdAudioChunk {
    const BYTE* data = nullptr;
    DWORD length = 0;
    ULONGLONG time = 0;      // 100-ns units
    ULONGLONG duration = 0;  // 100-ns units
};

// The audio of a part as CD audio, over an opened reader.
class CCdAudioReader {
public:
    explicit CCdAudioReader(wmreader::MediaReader& reader) : m_reader(reader) {}

    // Finds the audio output and takes its first CD-audio format; failing that, its current
    // format (or the first convertible one it offers) to be converted. Then selects the audio
    // stream alone, decoded, over the whole part. A part without a usable layout fails with
    // E_FAIL and Refused() true.
    HRESULT Prepare(wmreader::ReaderStep* failed = nullptr);
    bool Refused() const { return m_refused; }
    bool Converting() const { return m_converting; }
    // The format the reader delivers.
    const WAVEFORMATEX& SourceFormat() const { return m_source; }
    const wmreader::AudioOutput& Output() const { return m_audio; }
    const wmreader::StreamNumbers& Streams() const { return m_streams; }

    // The next audio sample as CD audio. S_FALSE at the end of the part. On a failure the
    // sample's time, duration, flags, output and stream stay in LastSample() for the message.
    // Samples of other streams are skipped; an empty sample gives an empty chunk.
    HRESULT Next(CdAudioChunk* chunk, wmreader::ReaderStep* failed = nullptr);
    const wmreader::Sample& LastSample() const { return m_sample; }

private:
    wmreader::MediaReader& m_reader;
    wmreader::AudioOutput m_audio;
    wmreader::StreamNumbers m_streams;
    WAVEFORMATEX m_source{};
    bool m_refused = false;
    bool m_converting = false;
    std::unique_ptr<CCdAudioConverter> m_converter;
    std::vector<BYTE> m_converted;  // room for a converted sample, kept from sample to sample
    wmreader::Sample m_sample;
};

// Decodes a whole part into one CD-audio WAV file through CreateMediaReader; for tools and
// measurements (the burn engine splits parts into tracks itself).
struct CdDecodeResult {
    wmreader::ReaderStep readerStep = wmreader::ReaderStep::None;
    CWaveWriter::Step writerStep = CWaveWriter::Step::None;
    bool refused = false;
    bool converted = false;
    ULONGLONG dataBytes = 0;
};
HRESULT DecodeToCdAudioFile(const wchar_t* part, const wchar_t* wav, CdDecodeResult* result);
