// The system's synchronous reader, bound at run time: mingw-w64 ships the reader's interfaces
// (wmsdkidl.h) but no import library for wmvcore.dll.
#include "MediaReader.h"

#include <wmsdkidl.h>

#include <algorithm>
#include <cstring>
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

class SystemReader : public MediaReader {
public:
    explicit SystemReader(IWMSyncReader* reader) : m_reader(reader) {}
    ~SystemReader() override
    {
        Close();
        SafeRelease(m_reader);
    }

    HRESULT Open(const wchar_t* path) override { return Step(ReaderStep::Open, m_reader->Open(path)); }

    void Close() override
    {
        SafeRelease(m_profile);
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
        sample->Reset();
        INSSBuffer* buffer = nullptr;
        HRESULT hr = m_reader->GetNextSample(0, &buffer, &sample->time, &sample->duration, &sample->flags,
                                             &sample->output, &sample->stream);
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
        sample->Hold(buffer, data, length);
        return Step(ReaderStep::None, S_OK);
    }

private:
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
};

std::mutex g_factoryLock;
MediaReaderFactory g_factory;

}  // namespace

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
