#include "AudioOutput.h"

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

HRESULT ReadAudioStreamOnly(MediaReader& reader, WORD audioStream, ReaderStep* failed)
{
    HRESULT hr = S_OK;
    if (audioStream) {
        hr = reader.SetStreamSelected(audioStream, true);
        if (SUCCEEDED(hr))
            hr = reader.SetReadStreamSamples(audioStream, false);
    }
    if (SUCCEEDED(hr))
        hr = reader.SetRange(0, 0);
    return Failed(reader, hr, failed);
}

}  // namespace wmreader
