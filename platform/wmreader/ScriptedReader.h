// A reader that plays a script instead of decoding a file, for tests of the code over
// MediaReader: the outputs and formats it offers, its streams, the samples it hands out (with
// failures among them) and a failure for any call. It records the calls that change its state.
//
//     wmreader::ReaderScript script;
//     script.outputs = {{wmreader::AudioType(22050, 1, 16), {wmreader::AudioType(22050, 1, 16)}}};
//     script.streams = {{1, wmreader::kMediaTypeAudio}};
//     script.samples = {wmreader::ScriptedSample::Pcm(0, 4410, 2)};
//     wmreader::ScriptedReaderFactory factory(script);   // CreateMediaReader makes these now
#pragma once

#include "MediaReader.h"

#include <initializer_list>
#include <map>
#include <string>

namespace wmreader {

// An audio media type with a PCM wave format (tag WAVE_FORMAT_PCM unless another is given).
MediaType AudioType(DWORD samplesPerSecond, WORD channels, WORD bitsPerSample, WORD formatTag = WAVE_FORMAT_PCM);
// A video media type.
MediaType VideoType();

struct ScriptedSample {
    HRESULT result = S_OK;     // a failure is handed out in place of the sample
    HRESULT bufferResult = S_OK;  // the failure of its buffer
    std::vector<BYTE> bytes;
    ULONGLONG time = 0;
    ULONGLONG duration = 0;
    DWORD flags = 0;
    DWORD output = 0;
    WORD stream = 1;

    // length bytes of PCM (a ramp) at timeMs.
    static ScriptedSample Pcm(DWORD timeMs, DWORD length, WORD stream = 1, DWORD durationMs = 0);
    static ScriptedSample Failure(HRESULT result, DWORD timeMs = 0, WORD stream = 1);
};

struct ScriptedOutput {
    MediaType current;
    std::vector<MediaType> formats;
};

struct ReaderScript {
    std::vector<ScriptedOutput> outputs;
    std::vector<std::pair<WORD, GUID>> streams;  // number, major type
    std::vector<ScriptedSample> samples;         // then kNoMoreSamples
    std::map<ReaderStep, HRESULT> failures;      // a call that fails every time
    HRESULT openResult = S_OK;
};

class ScriptedReader : public MediaReader {
public:
    explicit ScriptedReader(ReaderScript script, std::vector<std::string>* log = nullptr)
        : m_script(std::move(script)), m_log(log) {}

    HRESULT Open(const wchar_t* path) override;
    void Close() override;
    HRESULT OutputCount(DWORD* count) override;
    HRESULT OutputType(DWORD output, MediaType* type) override;
    HRESULT FormatCount(DWORD output, DWORD* count) override;
    HRESULT FormatType(DWORD output, DWORD index, MediaType* type) override;
    HRESULT SetOutputFormat(DWORD output, DWORD index) override;
    HRESULT StreamCount(DWORD* count) override;
    HRESULT StreamInfo(DWORD index, WORD* number, GUID* type) override;
    HRESULT SetStreamSelected(WORD stream, bool selected) override;
    HRESULT SetReadStreamSamples(WORD stream, bool compressed) override;
    HRESULT SetRange(ULONGLONG start, LONGLONG duration) override;
    HRESULT NextSample(Sample* sample) override;

private:
    HRESULT Call(ReaderStep step, const std::string& entry = std::string());
    // The calls inside one operation, in order, up to the first that fails.
    HRESULT CallEach(std::initializer_list<ReaderStep> steps);

    ReaderScript m_script;
    std::vector<std::string>* m_log;
    size_t m_next = 0;
};

// While it lives, CreateMediaReader makes scripted readers of this script; Log() lists the
// calls of all of them ("Open", "SetOutputFormat 0 1", "SetStreamSelected 2 on",
// "SetReadStreamSamples 2 decoded", "SetRange 0 0", "Close").
class ScriptedReaderFactory {
public:
    explicit ScriptedReaderFactory(ReaderScript script);
    ~ScriptedReaderFactory();
    ScriptedReaderFactory(const ScriptedReaderFactory&) = delete;
    ScriptedReaderFactory& operator=(const ScriptedReaderFactory&) = delete;

    const std::vector<std::string>& Log() const { return m_log; }
    int Created() const { return m_created; }

private:
    ReaderScript m_script;
    std::vector<std::string> m_log;
    int m_created = 0;
    MediaReaderFactory m_previous;
};

}  // namespace wmreader
