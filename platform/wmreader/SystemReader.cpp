// The system's synchronous reader, bound at run time: mingw-w64 ships the reader's interfaces
// (wmsdkidl.h) but no import library for wmvcore.dll.
#include "MediaReader.h"
#include "Mp3Gapless.h"

#include <wmsdkidl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <new>

namespace wmreader {

WAVEFORMATEX MediaType::Wave() const
{
    WAVEFORMATEX wave{};
    if (IsEqualGUID(formatType, kFormatWaveFormatEx) && format.size() >= sizeof(PCMWAVEFORMAT))
        std::memcpy(&wave, format.data(), std::min(format.size(), sizeof(wave)));
    return wave;
}

void Sample::Reset()
{
    if (m_holder)
        m_holder->Release();
    m_holder = nullptr;
    m_owned.clear();
    m_data = nullptr;
    m_length = 0;
}

void Sample::Hold(IUnknown* holder, const BYTE* data, DWORD length)
{
    Reset();
    m_holder = holder;
    m_data = data;
    m_length = length;
}

void Sample::Own(std::vector<BYTE> bytes)
{
    Reset();
    m_owned = std::move(bytes);
    m_data = m_owned.data();
    m_length = static_cast<DWORD>(m_owned.size());
}

namespace {

template <typename T>
void SafeRelease(T*& p)
{
    if (p)
        p->Release();
    p = nullptr;
}

typedef HRESULT(WINAPI* CreateSyncReaderFunction)(IUnknown* certificate, DWORD rights, IWMSyncReader** reader);

CreateSyncReaderFunction BoundCreateSyncReader()
{
    static CreateSyncReaderFunction function = [] {
        HMODULE module = LoadLibraryW(L"wmvcore.dll");  // kept for the life of the process
        return module ? reinterpret_cast<CreateSyncReaderFunction>(
                            reinterpret_cast<void*>(GetProcAddress(module, "WMCreateSyncReader")))
                      : nullptr;
    }();
    return function;
}

// An audio stream of an ASF file and its compressed format.
struct CodedStream {
    WORD number = 0;
    WAVEFORMATEX wave{};
};

constexpr GUID kAsfHeaderObject = {0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C}};
constexpr GUID kAsfStreamProperties = {0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65}};
constexpr GUID kAsfAudioMedia = {0xF8699E40, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B}};

// The audio streams the stream properties objects of an ASF file's header describe; none for
// a file that is not ASF or a header that does not read.
std::vector<CodedStream> ReadAsfAudioStreams(const wchar_t* path)
{
    std::vector<CodedStream> streams;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return streams;
    BYTE head[30] = {};
    DWORD got = 0;
    std::vector<BYTE> header;
    if (ReadFile(file, head, sizeof(head), &got, nullptr) && got == sizeof(head) &&
        std::memcmp(head, &kAsfHeaderObject, sizeof(GUID)) == 0) {
        ULONGLONG size = 0;
        std::memcpy(&size, head + 16, sizeof(size));
        if (size > sizeof(head) && size <= (16u << 20)) {
            header.resize(static_cast<size_t>(size) - sizeof(head));
            if (!ReadFile(file, header.data(), static_cast<DWORD>(header.size()), &got, nullptr) || got != header.size())
                header.clear();
        }
    }
    CloseHandle(file);
    size_t at = 0;
    while (at + 24 <= header.size()) {
        ULONGLONG size = 0;
        std::memcpy(&size, header.data() + at + 16, sizeof(size));
        if (size < 24 || size > header.size() - at)
            break;
        const BYTE* object = header.data() + at;
        if (std::memcmp(object, &kAsfStreamProperties, sizeof(GUID)) == 0 && size >= 78 &&
            std::memcmp(object + 24, &kAsfAudioMedia, sizeof(GUID)) == 0) {
            DWORD typeLength = 0;
            WORD flags = 0;
            std::memcpy(&typeLength, object + 64, sizeof(typeLength));
            std::memcpy(&flags, object + 72, sizeof(flags));
            if (typeLength >= sizeof(PCMWAVEFORMAT) && typeLength <= size - 78) {
                CodedStream coded;
                coded.number = static_cast<WORD>(flags & 0x7F);
                std::memcpy(&coded.wave, object + 78, std::min<size_t>(typeLength, sizeof(coded.wave)));
                streams.push_back(coded);
            }
        }
        at += static_cast<size_t>(size);
    }
    return streams;
}

class SystemReader : public MediaReader {
public:
    explicit SystemReader(IWMSyncReader* reader) : m_reader(reader) {}
    ~SystemReader() override
    {
        Close();
        SafeRelease(m_reader);
    }

    HRESULT Open(const wchar_t* path) override
    {
        m_delays.clear();
        m_coded.clear();
        m_mp3 = Mp3Gapless();
        HRESULT hr = m_reader->Open(path);
        if (SUCCEEDED(hr)) {
            m_coded = ReadAsfAudioStreams(path);
            if (m_coded.empty())
                ReadMp3FileGapless(path, &m_mp3);
        }
        return Step(ReaderStep::Open, hr);
    }

    void Close() override
    {
        SafeRelease(m_profile);
        m_delays.clear();
        m_coded.clear();
        m_mp3 = Mp3Gapless();
        m_reader->Close();
    }

    HRESULT OutputCount(DWORD* count) override
    {
        *count = 0;
        return Step(ReaderStep::OutputCount, m_reader->GetOutputCount(count));
    }

    HRESULT OutputType(DWORD output, MediaType* type) override
    {
        IWMOutputMediaProps* props = nullptr;
        HRESULT hr = m_reader->GetOutputProps(output, &props);
        if (FAILED(hr))
            return Step(ReaderStep::OutputProps, hr);
        hr = CopyType(props, type);
        props->Release();
        return hr;
    }

    HRESULT FormatCount(DWORD output, DWORD* count) override
    {
        *count = 0;
        return Step(ReaderStep::FormatCount, m_reader->GetOutputFormatCount(output, count));
    }

    HRESULT FormatType(DWORD output, DWORD index, MediaType* type) override
    {
        IWMOutputMediaProps* props = nullptr;
        HRESULT hr = m_reader->GetOutputFormat(output, index, &props);
        if (FAILED(hr))
            return Step(ReaderStep::Format, hr);
        hr = CopyType(props, type);
        props->Release();
        return hr;
    }

    HRESULT SetOutputFormat(DWORD output, DWORD index) override
    {
        IWMOutputMediaProps* props = nullptr;
        HRESULT hr = m_reader->GetOutputFormat(output, index, &props);
        if (FAILED(hr))
            return Step(ReaderStep::Format, hr);
        hr = m_reader->SetOutputProps(output, props);
        props->Release();
        return Step(ReaderStep::SetOutputProps, hr);
    }

    HRESULT StreamCount(DWORD* count) override
    {
        *count = 0;
        if (!m_profile) {
            HRESULT hr = m_reader->QueryInterface(__uuidof(IWMProfile), reinterpret_cast<void**>(&m_profile));
            if (FAILED(hr) || !m_profile)
                return Step(ReaderStep::QueryProfile, FAILED(hr) ? hr : E_POINTER);
        }
        return Step(ReaderStep::StreamCount, m_profile->GetStreamCount(count));
    }

    HRESULT StreamInfo(DWORD index, WORD* number, GUID* type) override
    {
        *number = 0;
        *type = GUID{};
        if (!m_profile)
            return Step(ReaderStep::QueryProfile, E_POINTER);
        IWMStreamConfig* config = nullptr;
        HRESULT hr = m_profile->GetStream(index, &config);
        if (FAILED(hr))
            return Step(ReaderStep::Stream, hr);
        hr = config->GetStreamNumber(number);
        if (FAILED(hr)) {
            config->Release();
            return Step(ReaderStep::StreamNumber, hr);
        }
        hr = config->GetStreamType(type);
        config->Release();
        return Step(ReaderStep::StreamType, hr);
    }

    HRESULT SetStreamSelected(WORD stream, bool selected) override
    {
        WMT_STREAM_SELECTION selection = selected ? WMT_ON : WMT_OFF;
        return Step(ReaderStep::SelectStreams, m_reader->SetStreamsSelected(1, &stream, &selection));
    }

    HRESULT SetReadStreamSamples(WORD stream, bool compressed) override
    {
        return Step(ReaderStep::ReadStreamSamples, m_reader->SetReadStreamSamples(stream, compressed ? TRUE : FALSE));
    }

    HRESULT SetRange(ULONGLONG start, LONGLONG duration) override
    {
        return Step(ReaderStep::SetRange, m_reader->SetRange(start, duration));
    }

    HRESULT NextSample(Sample* sample) override
    {
        for (;;) {
            sample->Reset();
            INSSBuffer* buffer = nullptr;
            HRESULT hr = m_reader->GetNextSample(0, &buffer, &sample->time, &sample->duration, &sample->flags,
                                                 &sample->output, &sample->stream);
            if (hr == kNoMoreSamples && Pad(sample))
                return Step(ReaderStep::None, S_OK);
            if (hr == kNoMoreSamples || FAILED(hr)) {
                SafeRelease(buffer);
                return Step(ReaderStep::NextSample, hr);
            }
            if (!buffer)
                return Step(ReaderStep::SampleBuffer, E_POINTER);
            BYTE* data = nullptr;
            DWORD length = 0;
            hr = buffer->GetBufferAndLength(&data, &length);
            if (FAILED(hr)) {
                buffer->Release();
                return Step(ReaderStep::SampleBuffer, hr);
            }
            // The Windows Media audio decoder starts every file with two frames of its own delay
            // (92.9 ms at 44.1 and 22.05 kHz; in the first of them, now and then, noise), which
            // this reader hands out as if it were the file's first audio, and then stops at the
            // file's duration, that much short of its end. Dropped here, the audio starts at the
            // file's time 0, where its markers and chapters count from; the end is made up with
            // silence (Pad), so that the audio lasts as long as the file says. An MP3 file that
            // another encoder than LAME made keeps its encoder's and decoder's delay (1,105
            // samples from ffmpeg's libmp3lame) before its first sample and its padding after
            // the last: both are dropped, as its tag says (Mp3Gapless.h).
            Delay& delay = DelayOf(*sample);
            if (delay.bytes && length) {
                const DWORD dropped = std::min(delay.bytes, length);
                delay.bytes -= dropped;
                if (delay.padEnd)
                    delay.dropped += dropped;
                data += dropped;
                length -= dropped;
                const ULONGLONG shift = delay.byteRate ? static_cast<ULONGLONG>(dropped) * 10000000ULL / delay.byteRate : 0;
                sample->duration = sample->duration > shift ? sample->duration - shift : 0;
                if (!length) {
                    buffer->Release();  // all delay: the next one
                    continue;
                }
            }
            if (delay.limited && length > delay.left) {
                const ULONGLONG cut = length - delay.left;
                length = static_cast<DWORD>(delay.left);
                const ULONGLONG shift = delay.byteRate ? cut * 10000000ULL / delay.byteRate : 0;
                sample->duration = sample->duration > shift ? sample->duration - shift : 0;
                if (!length) {
                    buffer->Release();  // all padding: read on to the end of the file
                    continue;
                }
            }
            if (delay.limited)
                delay.left -= length;
            // Times count from the end of the delay: the first audio is at 0.
            sample->time = sample->time > delay.time ? sample->time - delay.time : 0;
            if (length) {
                const ULONGLONG end = sample->time + sample->duration;
                delay.end = std::max(delay.end, end);
                delay.stream = sample->stream;
            }
            sample->Hold(buffer, data, length);
            return Step(ReaderStep::None, S_OK);
        }
    }

private:
    // An output's decoder delay: what is still to be dropped, what was, and as a time; and
    // what may still be handed out after it.
    struct Delay {
        bool known = false;
        DWORD bytes = 0;
        bool padEnd = false;  // the dropped bytes are made up at the end
        DWORD dropped = 0;    // made up with silence at the end
        bool limited = false;
        ULONGLONG left = 0;   // bytes still to hand out when limited
        DWORD byteRate = 0;  // of the output
        ULONGLONG time = 0;  // 100-ns units
        ULONGLONG end = 0;   // of the last audio handed out
        WORD stream = 0;
    };

    // At the end of the file: the silence that makes up for an output's dropped delay, as one
    // more sample; false when there is none left.
    bool Pad(Sample* sample)
    {
        for (auto& [output, delay] : m_delays) {
            if (!delay.dropped)
                continue;
            sample->Own(std::vector<BYTE>(delay.dropped, 0));
            sample->output = output;
            sample->stream = delay.stream;
            sample->flags = 0;
            sample->time = delay.end;
            sample->duration = delay.byteRate ? static_cast<ULONGLONG>(delay.dropped) * 10000000ULL / delay.byteRate : 0;
            delay.dropped = 0;
            return true;
        }
        return false;
    }

    WAVEFORMATEX OutputWave(DWORD output)
    {
        MediaType type;
        IWMOutputMediaProps* props = nullptr;
        if (FAILED(m_reader->GetOutputProps(output, &props)) || !props)
            return WAVEFORMATEX{};
        HRESULT hr = CopyType(props, &type);
        props->Release();
        return SUCCEEDED(hr) ? type.Wave() : WAVEFORMATEX{};
    }

    // The compressed wave format of a stream of the file, from the file's own header (the
    // reader's profile describes its streams in their decoded format).
    WAVEFORMATEX StreamWave(WORD stream)
    {
        for (const CodedStream& coded : m_coded)
            if (coded.number == stream)
                return coded.wave;
        return WAVEFORMATEX{};
    }

    Delay& DelayOf(const Sample& sample)
    {
        Delay& delay = m_delays[sample.output];
        if (delay.known)
            return delay;
        delay.known = true;
        const WAVEFORMATEX out = OutputWave(sample.output);
        if (!out.nSamplesPerSec || !out.nBlockAlign || out.wFormatTag != WAVE_FORMAT_PCM)
            return delay;
        // The frames to drop and to keep in the coded stream's rate, then in the output's
        // (the reader may resample).
        const WAVEFORMATEX coded = StreamWave(sample.stream);
        ULONGLONG skip = WmaDecoderDelay(coded);
        ULONGLONG keep = 0;
        DWORD codedRate = coded.nSamplesPerSec;
        delay.padEnd = skip != 0;
        if (!skip && m_mp3.frames) {
            const DecodedTrim trim = SystemDecoderTrim(m_mp3);
            skip = trim.skipFrames;
            keep = trim.keepFrames;
            codedRate = m_mp3.rate;
        }
        if ((!skip && !keep) || !codedRate)
            return delay;
        auto inOutput = [&](ULONGLONG frames) { return (frames * out.nSamplesPerSec + codedRate / 2) / codedRate; };
        delay.bytes = static_cast<DWORD>(inOutput(skip) * out.nBlockAlign);
        delay.byteRate = out.nAvgBytesPerSec;
        delay.time = skip * 10000000ULL / codedRate;
        if (keep) {
            delay.limited = true;
            delay.left = inOutput(keep) * out.nBlockAlign;
        }
        return delay;
    }

    HRESULT CopyType(IWMOutputMediaProps* props, MediaType* type)
    {
        *type = MediaType();
        DWORD size = 0;
        HRESULT hr = props->GetMediaType(nullptr, &size);
        if (FAILED(hr))
            return Step(ReaderStep::MediaTypeSize, hr);
        if (size < sizeof(WM_MEDIA_TYPE))
            return Step(ReaderStep::MediaTypeSize, E_UNEXPECTED);
        std::unique_ptr<BYTE[]> block(new (std::nothrow) BYTE[size]);
        if (!block)
            return Step(ReaderStep::MediaTypeMemory, E_OUTOFMEMORY);
        WM_MEDIA_TYPE* media = reinterpret_cast<WM_MEDIA_TYPE*>(block.get());
        hr = props->GetMediaType(media, &size);
        if (FAILED(hr))
            return Step(ReaderStep::MediaType, hr);
        type->majorType = media->majortype;
        type->subtype = media->subtype;
        type->formatType = media->formattype;
        if (media->pbFormat && media->cbFormat)
            type->format.assign(media->pbFormat, media->pbFormat + media->cbFormat);
        return Step(ReaderStep::None, S_OK);
    }

    IWMSyncReader* m_reader;
    IWMProfile* m_profile = nullptr;
    std::map<DWORD, Delay> m_delays;  // by output number
    std::vector<CodedStream> m_coded;
    Mp3Gapless m_mp3;  // the tag of an MP3 file (frames 0: none)
};

std::mutex g_factoryLock;
MediaReaderFactory g_factory;

}  // namespace

DWORD WmaDecoderDelay(const WAVEFORMATEX& coded)
{
    // Windows Media Audio 1 and 2: a frame is 512, 1,024 or 2,048 samples by the rate; the
    // decoder gives its first output two frames late.
    const bool v1 = coded.wFormatTag == 0x0160;
    if (!v1 && coded.wFormatTag != 0x0161)
        return 0;
    const DWORD rate = coded.nSamplesPerSec;
    if (!rate || rate > 48000)
        return 0;
    DWORD frame = 2048;
    if (rate <= 16000)
        frame = 512;
    else if (rate <= 22050 || (v1 && rate <= 32000))
        frame = 1024;
    return 2 * frame;
}

HRESULT CreateSystemReader(std::unique_ptr<MediaReader>* reader)
{
    reader->reset();
    CreateSyncReaderFunction create = BoundCreateSyncReader();
    if (!create)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    IWMSyncReader* system = nullptr;
    HRESULT hr = create(nullptr, 0, &system);
    if (FAILED(hr) || !system) {
        SafeRelease(system);
        return FAILED(hr) ? hr : E_POINTER;
    }
    reader->reset(new (std::nothrow) SystemReader(system));
    if (!*reader) {
        system->Release();
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CreateMediaReader(std::unique_ptr<MediaReader>* reader, ReaderStep* failed)
{
    MediaReaderFactory factory;
    {
        std::lock_guard<std::mutex> lock(g_factoryLock);
        factory = g_factory;
    }
    HRESULT hr = factory ? factory(reader) : CreateSystemReader(reader);
    if (SUCCEEDED(hr) && !*reader)
        hr = E_POINTER;
    if (failed)
        *failed = FAILED(hr) ? ReaderStep::Create : ReaderStep::None;
    return hr;
}

MediaReaderFactory SetMediaReaderFactory(MediaReaderFactory factory)
{
    std::lock_guard<std::mutex> lock(g_factoryLock);
    std::swap(g_factory, factory);
    return factory;
}

}  // namespace wmreader
