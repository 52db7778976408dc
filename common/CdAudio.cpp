#include "CdAudio.h"

#include <cstring>

WAVEFORMATEX CdAudioFormat()
{
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 2;
    format.nSamplesPerSec = kCdSamplesPerSecond;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 4;
    format.nAvgBytesPerSec = kCdSamplesPerSecond * 4;
    return format;
}

bool IsCdAudio(const WAVEFORMATEX& format)
{
    return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels == 2 && format.nSamplesPerSec == kCdSamplesPerSecond &&
           format.wBitsPerSample == 16 && format.nBlockAlign == 4;
}

bool CanConvertToCdAudio(const WAVEFORMATEX& format)
{
    return format.wFormatTag == WAVE_FORMAT_PCM && (format.nChannels == 1 || format.nChannels == 2) &&
           (format.wBitsPerSample == 8 || format.wBitsPerSample == 16) && format.nSamplesPerSec >= 1000 &&
           format.nSamplesPerSec <= 384000 && format.nBlockAlign == format.nChannels * format.wBitsPerSample / 8;
}

CCdAudioConverter::CCdAudioConverter(const WAVEFORMATEX& source)
    : m_valid(CanConvertToCdAudio(source)),
      m_rate(source.nSamplesPerSec),
      m_channels(source.nChannels),
      m_bytesPerSample(static_cast<WORD>(source.wBitsPerSample / 8)),
      m_frameBytes(source.nBlockAlign)
{
}

namespace {

template <int BytesPerSample>
inline int SampleAt(const BYTE* p)
{
    if constexpr (BytesPerSample == 1)
        return (static_cast<int>(p[0]) - 128) * 256;
    else
        return static_cast<short>(p[0] | (p[1] << 8));
}

inline BYTE* PutFrame(BYTE* out, int left, int right)
{
    out[0] = static_cast<BYTE>(left & 0xFF);
    out[1] = static_cast<BYTE>((left >> 8) & 0xFF);
    out[2] = static_cast<BYTE>(right & 0xFF);
    out[3] = static_cast<BYTE>((right >> 8) & 0xFF);
    return out + 4;
}

// from + (to - from) * fraction / 44,100, the quotient rounded toward zero. In 32 bits: the
// distance of two 16-bit samples is at most 65,535 and the fraction below 44,100, so their
// product fits an unsigned 32-bit number (a 64-bit division costs a library call on i686).
inline int Between(int from, int to, DWORD fraction)
{
    const int distance = to - from;
    const DWORD magnitude = static_cast<DWORD>(distance < 0 ? -distance : distance) * fraction / kCdSamplesPerSecond;
    return distance < 0 ? from - static_cast<int>(magnitude) : from + static_cast<int>(magnitude);
}

}  // namespace

template <int BytesPerSample, int Channels>
BYTE* CCdAudioConverter::ConvertFrames(const BYTE* data, size_t frames, BYTE* out)
{
    ULONGLONG frame = m_sourceFrames;
    ULONGLONG index = m_nextIndex;
    DWORD fraction = m_nextFraction;
    int lastLeft = m_lastLeft;
    int lastRight = m_lastRight;
    const DWORD rate = m_rate;
    for (size_t i = 0; i < frames; ++i, ++frame, data += BytesPerSample * Channels) {
        const int left = SampleAt<BytesPerSample>(data);
        const int right = Channels == 2 ? SampleAt<BytesPerSample>(data + BytesPerSample) : left;
        // The output frames this source frame completes: the one standing on it, and those
        // standing between the frame before it and it.
        for (;;) {
            if (index == frame && fraction == 0) {
                out = PutFrame(out, left, right);
            } else if (index + 1 == frame) {
                const int l = Between(lastLeft, left, fraction);
                out = PutFrame(out, l, Channels == 2 ? Between(lastRight, right, fraction) : l);
            } else {
                break;
            }
            fraction += rate;
            if (fraction >= kCdSamplesPerSecond) {
                index += fraction / kCdSamplesPerSecond;
                fraction %= kCdSamplesPerSecond;
            }
        }
        lastLeft = left;
        lastRight = right;
    }
    m_sourceFrames = frame;
    m_nextIndex = index;
    m_nextFraction = fraction;
    m_lastLeft = lastLeft;
    m_lastRight = lastRight;
    return out;
}

BYTE* CCdAudioConverter::ConvertFrames(const BYTE* data, size_t frames, BYTE* out)
{
    if (m_bytesPerSample == 2)
        return m_channels == 2 ? ConvertFrames<2, 2>(data, frames, out) : ConvertFrames<2, 1>(data, frames, out);
    return m_channels == 2 ? ConvertFrames<1, 2>(data, frames, out) : ConvertFrames<1, 1>(data, frames, out);
}

size_t CCdAudioConverter::OutputRoom(size_t size) const
{
    // Each source frame completes at most 44,100 / rate + 1 output frames.
    if (!m_valid)
        return 0;
    return (m_partialBytes + size) / m_frameBytes * 4 * (kCdSamplesPerSecond / m_rate + 1);
}

size_t CCdAudioConverter::Convert(const BYTE* data, size_t size, BYTE* out)
{
    if (!m_valid)
        return 0;
    BYTE* w = out;
    while (m_partialBytes && size) {
        m_partial[m_partialBytes++] = *data++;
        --size;
        if (m_partialBytes == m_frameBytes) {
            w = ConvertFrames(m_partial, 1, w);
            m_partialBytes = 0;
        }
    }
    const size_t whole = size / m_frameBytes;
    w = ConvertFrames(data, whole, w);
    data += whole * m_frameBytes;
    size -= whole * m_frameBytes;
    for (; size; --size)
        m_partial[m_partialBytes++] = *data++;
    return static_cast<size_t>(w - out);
}

void CCdAudioConverter::Convert(const BYTE* data, size_t size, std::vector<BYTE>* out)
{
    const size_t before = out->size();
    out->resize(before + OutputRoom(size));
    out->resize(before + Convert(data, size, out->data() + before));
}

HRESULT CCdAudioReader::Prepare(wmreader::ReaderStep* failed)
{
    using wmreader::ReaderStep;
    m_refused = false;
    m_converting = false;
    m_converter.reset();
    ReaderStep step = ReaderStep::None;
    HRESULT hr = wmreader::FindAudioOutput(m_reader, &m_audio, &step);
    if (SUCCEEDED(hr) && !IsCdAudio(m_audio.Wave()))
        hr = wmreader::SelectOutputFormat(m_reader, &m_audio, IsCdAudio, &step);
    if (SUCCEEDED(hr) && !IsCdAudio(m_audio.Wave()) && !CanConvertToCdAudio(m_audio.Wave()))
        hr = wmreader::SelectOutputFormat(m_reader, &m_audio, CanConvertToCdAudio, &step);
    if (SUCCEEDED(hr)) {
        m_source = m_audio.Wave();
        if (!IsCdAudio(m_source)) {
            if (!CanConvertToCdAudio(m_source)) {
                m_refused = true;
                hr = E_FAIL;
            } else {
                m_converting = true;
                m_converter.reset(new CCdAudioConverter(m_source));
            }
        }
    }
    if (SUCCEEDED(hr))
        hr = wmreader::FindStreams(m_reader, &m_streams, &step);
    if (SUCCEEDED(hr))
        hr = wmreader::ReadAudioStreamOnly(m_reader, m_streams, &step);
    if (failed)
        *failed = step;
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CCdAudioReader::Next(CdAudioChunk* chunk, wmreader::ReaderStep* failed)
{
    *chunk = CdAudioChunk();
    if (failed)
        *failed = wmreader::ReaderStep::None;
    for (;;) {
        HRESULT hr = m_reader.NextSample(&m_sample);
        if (hr == wmreader::kNoMoreSamples)
            return S_FALSE;
        if (FAILED(hr)) {
            if (failed)
                *failed = m_reader.FailedStep();
            return hr;
        }
        if (m_streams.audio && m_sample.stream != m_streams.audio)
            continue;
        chunk->time = m_sample.time;
        chunk->duration = m_sample.duration;
        if (m_converter) {
            // The buffer only grows: resizing it for every sample would clear it every time.
            const size_t room = m_converter->OutputRoom(m_sample.Length());
            if (m_converted.size() < room)
                m_converted.resize(room);
            chunk->data = m_converted.data();
            chunk->length = static_cast<DWORD>(m_converter->Convert(m_sample.Data(), m_sample.Length(), m_converted.data()));
        } else {
            chunk->data = m_sample.Data();
            chunk->length = m_sample.Length();
        }
        return S_OK;
    }
}

HRESULT DecodeToCdAudioFile(const wchar_t* part, const wchar_t* wav, CdDecodeResult* result)
{
    *result = CdDecodeResult();
    std::unique_ptr<wmreader::MediaReader> reader;
    HRESULT hr = wmreader::CreateMediaReader(&reader, &result->readerStep);
    if (FAILED(hr))
        return hr;
    hr = reader->Open(part);
    if (FAILED(hr)) {
        result->readerStep = reader->FailedStep();
        return hr;
    }
    CCdAudioReader cd(*reader);
    hr = cd.Prepare(&result->readerStep);
    result->refused = cd.Refused();
    result->converted = cd.Converting();
    CWaveWriter writer;
    if (SUCCEEDED(hr)) {
        hr = writer.Open(wav, CdAudioFormat());
        result->writerStep = writer.FailedStep();
    }
    CdAudioChunk chunk;
    while (SUCCEEDED(hr) && (hr = cd.Next(&chunk, &result->readerStep)) == S_OK) {
        hr = writer.Write(chunk.data, chunk.length);
        result->writerStep = writer.FailedStep();
    }
    HRESULT closed = writer.Close();
    if (FAILED(closed) && SUCCEEDED(hr)) {
        hr = closed;
        result->writerStep = writer.FailedStep();
    }
    result->dataBytes = writer.DataBytes();
    reader->Close();
    return FAILED(hr) ? hr : S_OK;
}
