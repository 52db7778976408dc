#include "AudioOutput.h"

#include <cwchar>

namespace wmreader {

namespace {

HRESULT Failed(MediaReader& reader, HRESULT hr, ReaderStep* failed)
{
    if (failed)
        *failed = FAILED(hr) ? reader.FailedStep() : ReaderStep::None;
    return hr;
}

}  // namespace

HRESULT FindAudioOutput(MediaReader& reader, AudioOutput* audio, ReaderStep* failed)
{
    *audio = AudioOutput();
    DWORD count = 0;
    HRESULT hr = reader.OutputCount(&count);
    if (FAILED(hr))
        return Failed(reader, hr, failed);
    for (DWORD output = 0; output < count; ++output) {
        MediaType type;
        hr = reader.OutputType(output, &type);
        if (FAILED(hr))
            return Failed(reader, hr, failed);
        if (type.IsAudio()) {
            audio->output = output;
            audio->type = std::move(type);
            return Failed(reader, S_OK, failed);
        }
    }
    if (failed)
        *failed = ReaderStep::NoAudioOutput;
    return kNoAudioOutput;
}

HRESULT SelectOutputFormat(MediaReader& reader, AudioOutput* audio, const std::function<bool(const WAVEFORMATEX&)>& wanted,
                           ReaderStep* failed)
{
    DWORD count = 0;
    HRESULT hr = reader.FormatCount(audio->output, &count);
    if (FAILED(hr))
        return Failed(reader, hr, failed);
    for (DWORD index = 0; index < count; ++index) {
        MediaType type;
        hr = reader.FormatType(audio->output, index, &type);
        if (FAILED(hr))
            return Failed(reader, hr, failed);
        if (!type.IsAudio() || !wanted(type.Wave()))
            continue;
        hr = reader.SetOutputFormat(audio->output, index);
        if (FAILED(hr))
            return Failed(reader, hr, failed);
        audio->type = std::move(type);
        return Failed(reader, S_OK, failed);
    }
    return Failed(reader, S_FALSE, failed);
}

HRESULT FindStreams(MediaReader& reader, StreamNumbers* streams, ReaderStep* failed)
{
    *streams = StreamNumbers();
    DWORD count = 0;
    HRESULT hr = reader.StreamCount(&count);
    if (FAILED(hr))
        return Failed(reader, hr, failed);
    for (DWORD index = 0; index < count; ++index) {
        WORD number = 0;
        GUID type{};
        hr = reader.StreamInfo(index, &number, &type);
        if (FAILED(hr))
            return Failed(reader, hr, failed);
        if (IsEqualGUID(type, kMediaTypeAudio))
            streams->audio = number;
        else if (IsEqualGUID(type, kMediaTypeVideo))
            streams->video = number;
    }
    return Failed(reader, S_OK, failed);
}

HRESULT ReadAudioStreamOnly(MediaReader& reader, const StreamNumbers& streams, ReaderStep* failed)
{
    HRESULT hr = S_OK;
    if (streams.audio) {
        hr = reader.SetStreamSelected(streams.audio, true);
        if (SUCCEEDED(hr) && streams.video && streams.video != streams.audio)
            hr = reader.SetStreamSelected(streams.video, false);
        if (SUCCEEDED(hr))
            hr = reader.SetReadStreamSamples(streams.audio, false);
    }
    if (SUCCEEDED(hr))
        hr = reader.SetRange(0, 0);
    return Failed(reader, hr, failed);
}

std::wstring AudioOutputFailureText(ReaderStep step)
{
    switch (step) {
    case ReaderStep::OutputCount: return L"Could not get output count";
    case ReaderStep::OutputProps: return L"Could not get output props";
    case ReaderStep::MediaTypeSize: return L"Could not query for the space needed for media type";
    case ReaderStep::MediaTypeMemory: return L"Insufficient memory";
    case ReaderStep::MediaType: return L"Could not get media type";
    case ReaderStep::NoAudioOutput: return L"Could not find an audio stream in the specified file";
    case ReaderStep::FormatCount: return L"Could not get output format count";
    case ReaderStep::Format: return L"Could not get output format";
    case ReaderStep::SetOutputProps: return L"Could not set output media property";
    default: return std::wstring();
    }
}

std::wstring BadDataUnitText(HRESULT code, const Sample& sample)
{
    wchar_t text[256];
    std::swprintf(text, sizeof(text) / sizeof(text[0]),
                  L"Error 0x%.8X: Bad Data Unit at Time=%d (Duration=%d, Flag=%d, Output=%d, Stream=%d).",
                  static_cast<unsigned>(code), static_cast<int>(sample.time / 10000), static_cast<int>(sample.duration / 10000),
                  static_cast<int>(sample.flags), static_cast<int>(sample.output), static_cast<int>(sample.stream));
    return text;
}

}  // namespace wmreader
