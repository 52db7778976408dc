// What both wizards do with a reader before they read: find its audio output, choose the
// output's format, find the audio (and video) stream, and ask for the audio stream alone,
// decoded, from the start to the end.
//
//     wmreader::AudioOutput audio;
//     HRESULT hr = wmreader::FindAudioOutput(reader, &audio);
//     if (SUCCEEDED(hr) && audio.Wave().nSamplesPerSec != 22050)
//         hr = wmreader::SelectOutputFormat(reader, &audio, [](const WAVEFORMATEX& f) { return f.nSamplesPerSec == 22050; });
//     wmreader::StreamNumbers streams;
//     if (SUCCEEDED(hr)) hr = wmreader::FindStreams(reader, &streams);
//     if (SUCCEEDED(hr)) hr = wmreader::ReadAudioStreamOnly(reader, streams);
//
// Each helper fails with the step the reader reports (reader.FailedStep()), or with its own:
// ReaderStep::NoAudioOutput.
#pragma once

#include "MediaReader.h"

#include <string>

namespace wmreader {

struct AudioOutput {
    DWORD output = 0;  // the output's number
    MediaType type;    // the format it delivers

    WAVEFORMATEX Wave() const { return type.Wave(); }
};

// The first output whose major type is audio, with its current format. kNoAudioOutput with
// the step ReaderStep::NoAudioOutput when there is none.
HRESULT FindAudioOutput(MediaReader& reader, AudioOutput* audio, ReaderStep* failed = nullptr);

// Goes through the output's formats in order and makes the first one that wanted accepts the
// output's format (audio->type then holds it). S_FALSE, the format unchanged, when none is
// accepted.
HRESULT SelectOutputFormat(MediaReader& reader, AudioOutput* audio, const std::function<bool(const WAVEFORMATEX&)>& wanted,
                           ReaderStep* failed = nullptr);

// The stream numbers of the file's audio and video streams (0 = none; the last of each kind).
struct StreamNumbers {
    WORD audio = 0;
    WORD video = 0;
};
HRESULT FindStreams(MediaReader& reader, StreamNumbers* streams, ReaderStep* failed = nullptr);

// Selects the audio stream, decoded, switches the video stream off (the reader would otherwise
// decode every picture too), and sets the whole file as the range. Without an audio stream
// only the range is set.
HRESULT ReadAudioStreamOnly(MediaReader& reader, const StreamNumbers& streams, ReaderStep* failed = nullptr);

// The detail text of a failure of FindAudioOutput or SelectOutputFormat ("Could not get output
// count", ..., "Could not find an audio stream in the specified file"); empty for other steps.
std::wstring AudioOutputFailureText(ReaderStep step);

// The detail text of a damaged sample: "Error 0x%.8X: Bad Data Unit at Time=%d (Duration=%d,
// Flag=%d, Output=%d, Stream=%d)." with the sample's time and duration in milliseconds.
std::wstring BadDataUnitText(HRESULT code, const Sample& sample);

}  // namespace wmreader
