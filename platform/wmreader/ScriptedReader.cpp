#include "ScriptedReader.h"

#include <cstring>

namespace wmreader {

MediaType AudioType(DWORD samplesPerSecond, WORD channels, WORD bitsPerSample, WORD formatTag)
{
    MediaType type;
    type.majorType = kMediaTypeAudio;
    type.subtype = GUID{formatTag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
    type.formatType = kFormatWaveFormatEx;
    WAVEFORMATEX wave{};
    wave.wFormatTag = formatTag;
    wave.nChannels = channels;
    wave.nSamplesPerSec = samplesPerSecond;
    wave.wBitsPerSample = bitsPerSample;
    wave.nBlockAlign = static_cast<WORD>(channels * bitsPerSample / 8);
    wave.nAvgBytesPerSec = samplesPerSecond * wave.nBlockAlign;
    type.format.resize(sizeof(wave));
    std::memcpy(type.format.data(), &wave, sizeof(wave));
    return type;
}

MediaType VideoType()
{
    MediaType type;
    type.majorType = kMediaTypeVideo;
    return type;
}

ScriptedSample ScriptedSample::Pcm(DWORD timeMs, DWORD length, WORD stream, DWORD durationMs)
{
    ScriptedSample sample;
    sample.bytes.resize(length);
    for (DWORD i = 0; i < length; ++i)
        sample.bytes[i] = static_cast<BYTE>(timeMs + i);
    sample.time = static_cast<ULONGLONG>(timeMs) * 10000;
    sample.duration = static_cast<ULONGLONG>(durationMs) * 10000;
    sample.stream = stream;
    return sample;
}

ScriptedSample ScriptedSample::Failure(HRESULT result, DWORD timeMs, WORD stream)
{
    ScriptedSample sample;
    sample.result = result;
    sample.time = static_cast<ULONGLONG>(timeMs) * 10000;
    sample.stream = stream;
    return sample;
}

HRESULT ScriptedReader::Call(ReaderStep step, const std::string& entry)
{
    if (m_log && !entry.empty())
        m_log->push_back(entry);
    auto failure = m_script.failures.find(step);
    return Step(step, failure != m_script.failures.end() ? failure->second : S_OK);
}

HRESULT ScriptedReader::CallEach(std::initializer_list<ReaderStep> steps)
{
    for (ReaderStep step : steps) {
        HRESULT hr = Call(step);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT ScriptedReader::Open(const wchar_t*)
{
    m_next = 0;
    HRESULT hr = Call(ReaderStep::Open, "Open");
    return FAILED(hr) ? hr : Step(ReaderStep::Open, m_script.openResult);
}

void ScriptedReader::Close()
{
    if (m_log)
        m_log->push_back("Close");
}

HRESULT ScriptedReader::OutputCount(DWORD* count)
{
    HRESULT hr = Call(ReaderStep::OutputCount);
    *count = SUCCEEDED(hr) ? static_cast<DWORD>(m_script.outputs.size()) : 0;
    return hr;
}

HRESULT ScriptedReader::OutputType(DWORD output, MediaType* type)
{
    if (HRESULT hr = CallEach({ReaderStep::OutputProps, ReaderStep::MediaTypeSize, ReaderStep::MediaTypeMemory,
                                 ReaderStep::MediaType}); FAILED(hr))
        return hr;
    if (output >= m_script.outputs.size())
        return Step(ReaderStep::OutputProps, E_INVALIDARG);
    *type = m_script.outputs[output].current;
    return S_OK;
}

HRESULT ScriptedReader::FormatCount(DWORD output, DWORD* count)
{
    HRESULT hr = Call(ReaderStep::FormatCount);
    *count = SUCCEEDED(hr) && output < m_script.outputs.size()
                 ? static_cast<DWORD>(m_script.outputs[output].formats.size())
                 : 0;
    return hr;
}

HRESULT ScriptedReader::FormatType(DWORD output, DWORD index, MediaType* type)
{
    if (HRESULT hr = CallEach({ReaderStep::Format, ReaderStep::MediaTypeSize, ReaderStep::MediaTypeMemory,
                                 ReaderStep::MediaType}); FAILED(hr))
        return hr;
    if (output >= m_script.outputs.size() || index >= m_script.outputs[output].formats.size())
        return Step(ReaderStep::Format, E_INVALIDARG);
    *type = m_script.outputs[output].formats[index];
    return S_OK;
}

HRESULT ScriptedReader::SetOutputFormat(DWORD output, DWORD index)
{
    HRESULT hr = Call(ReaderStep::SetOutputProps,
                      "SetOutputFormat " + std::to_string(output) + " " + std::to_string(index));
    if (SUCCEEDED(hr) && output < m_script.outputs.size() && index < m_script.outputs[output].formats.size())
        m_script.outputs[output].current = m_script.outputs[output].formats[index];
    return hr;
}

HRESULT ScriptedReader::StreamCount(DWORD* count)
{
    HRESULT hr = Call(ReaderStep::QueryProfile);
    if (SUCCEEDED(hr))
        hr = Call(ReaderStep::StreamCount);
    *count = SUCCEEDED(hr) ? static_cast<DWORD>(m_script.streams.size()) : 0;
    return hr;
}

HRESULT ScriptedReader::StreamInfo(DWORD index, WORD* number, GUID* type)
{
    if (HRESULT hr = CallEach({ReaderStep::Stream, ReaderStep::StreamNumber, ReaderStep::StreamType}); FAILED(hr))
        return hr;
    if (index >= m_script.streams.size())
        return Step(ReaderStep::Stream, E_INVALIDARG);
    *number = m_script.streams[index].first;
    *type = m_script.streams[index].second;
    return S_OK;
}

HRESULT ScriptedReader::SetStreamSelected(WORD stream, bool selected)
{
    return Call(ReaderStep::SelectStreams,
                "SetStreamSelected " + std::to_string(stream) + (selected ? " on" : " off"));
}

HRESULT ScriptedReader::SetReadStreamSamples(WORD stream, bool compressed)
{
    return Call(ReaderStep::ReadStreamSamples,
                "SetReadStreamSamples " + std::to_string(stream) + (compressed ? " compressed" : " decoded"));
}

HRESULT ScriptedReader::SetRange(ULONGLONG start, LONGLONG duration)
{
    return Call(ReaderStep::SetRange, "SetRange " + std::to_string(start) + " " + std::to_string(duration));
}

HRESULT ScriptedReader::NextSample(Sample* sample)
{
    sample->Reset();
    HRESULT hr = Call(ReaderStep::NextSample);
    if (FAILED(hr))
        return hr;
    if (m_next >= m_script.samples.size())
        return Step(ReaderStep::NextSample, kNoMoreSamples);
    const ScriptedSample& next = m_script.samples[m_next++];
    sample->time = next.time;
    sample->duration = next.duration;
    sample->flags = next.flags;
    sample->output = next.output;
    sample->stream = next.stream;
    if (FAILED(next.result))
        return Step(ReaderStep::NextSample, next.result);
    if (FAILED(next.bufferResult))
        return Step(ReaderStep::SampleBuffer, next.bufferResult);
    sample->Own(next.bytes);
    return Step(ReaderStep::None, S_OK);
}

ScriptedReaderFactory::ScriptedReaderFactory(ReaderScript script) : m_script(std::move(script))
{
    m_previous = SetMediaReaderFactory([this](std::unique_ptr<MediaReader>* reader) {
        ++m_created;
        reader->reset(new ScriptedReader(m_script, &m_log));
        return S_OK;
    });
}

ScriptedReaderFactory::~ScriptedReaderFactory() { SetMediaReaderFactory(std::move(m_previous)); }

}  // namespace wmreader
