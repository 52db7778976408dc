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

BYTE* CCdAudioConverter::AddFrame(int left, int right, BYTE* out)
{
    // The output frames this source frame completes: the one standing on it, and those
    // standing between the frame before it and it.
    const ULONGLONG frame = m_sourceFrames;  // index of (left, right)
    for (;;) {
        const ULONGLONG position = m_outputFrames * m_rate;  // in 1/44,100 source frames
        const ULONGLONG index = position / kCdSamplesPerSecond;
        const LONGLONG fraction = static_cast<LONGLONG>(position % kCdSamplesPerSecond);
        int l, r;
        if (index == frame && fraction == 0) {
            l = left;
            r = right;
        } else if (index + 1 == frame) {
            l = m_lastLeft + static_cast<int>((left - m_lastLeft) * fraction / static_cast<LONGLONG>(kCdSamplesPerSecond));
            r = m_lastRight + static_cast<int>((right - m_lastRight) * fraction / static_cast<LONGLONG>(kCdSamplesPerSecond));
        } else {
            break;
        }
        out[0] = static_cast<BYTE>(l & 0xFF);
        out[1] = static_cast<BYTE>((l >> 8) & 0xFF);
        out[2] = static_cast<BYTE>(r & 0xFF);
        out[3] = static_cast<BYTE>((r >> 8) & 0xFF);
        out += 4;
        ++m_outputFrames;
    }
    m_lastLeft = left;
    m_lastRight = right;
    ++m_sourceFrames;
    return out;
}

void CCdAudioConverter::Convert(const BYTE* data, size_t size, std::vector<BYTE>* out)
{
    if (!m_valid)
        return;
    // Each source frame completes at most 44,100 / rate + 1 output frames.
    const size_t before = out->size();
    const size_t frames = (m_partialBytes + size) / m_frameBytes;
    out->resize(before + frames * 4 * (kCdSamplesPerSecond / m_rate + 1));
    BYTE* w = out->data() + before;
    auto sampleAt = [this](const BYTE* p) {
        return m_bytesPerSample == 1 ? (static_cast<int>(p[0]) - 128) * 256
                                     : static_cast<int>(static_cast<short>(p[0] | (p[1] << 8)));
    };
    auto frameAt = [&](const BYTE* p) {
        const int left = sampleAt(p);
        const int right = m_channels == 2 ? sampleAt(p + m_bytesPerSample) : left;
        w = AddFrame(left, right, w);
    };
    while (m_partialBytes && size) {
        m_partial[m_partialBytes++] = *data++;
        --size;
        if (m_partialBytes == m_frameBytes) {
            frameAt(m_partial);
            m_partialBytes = 0;
        }
    }
    for (; size >= m_frameBytes; data += m_frameBytes, size -= m_frameBytes)
        frameAt(data);
    for (; size; --size)
        m_partial[m_partialBytes++] = *data++;
    out->resize(static_cast<size_t>(w - out->data()));
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
            m_converted.clear();
            m_converter->Convert(m_sample.Data(), m_sample.Length(), &m_converted);
            chunk->data = m_converted.data();
            chunk->length = static_cast<DWORD>(m_converted.size());
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
