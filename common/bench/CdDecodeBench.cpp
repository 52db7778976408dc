// Decodes a part into one CD-audio WAV file through the system's reader and prints the time:
//   cddecode_bench <part> <wav>   "decode: <seconds> seconds, <bytes> bytes, converted <0|1>"
//   cddecode_bench <part> - [part ...]  the reader alone: the parts' audio read as the reader
//                                 gives it, one after the other in this one process, nothing
//                                 converted, nothing written
//   cddecode_bench <part> samples  each decoded sample's time, duration and bytes as it comes
#include "BenchClock.h"
#include "CdAudio.h"

#include <objbase.h>

#include <cstdio>
#include <cwchar>

namespace {

// Reads the part's audio as the reader delivers it (prepared as for CD audio: the output
// format, the audio stream alone) and throws it away.
HRESULT DecodeOnly(const wchar_t* part, CdDecodeResult* result)
{
    *result = CdDecodeResult();
    std::unique_ptr<wmreader::MediaReader> reader;
    HRESULT hr = wmreader::CreateMediaReader(&reader, &result->readerStep);
    if (SUCCEEDED(hr))
        hr = reader->Open(part);
    if (FAILED(hr))
        return hr;
    CCdAudioReader cd(*reader);
    hr = cd.Prepare(&result->readerStep);
    result->converted = cd.Converting();
    wmreader::Sample sample;
    while (SUCCEEDED(hr) && (hr = reader->NextSample(&sample)) == S_OK)
        result->dataBytes += sample.Length();
    if (hr == wmreader::kNoMoreSamples)
        hr = S_OK;
    reader->Close();
    return FAILED(hr) ? hr : S_OK;
}

// Lists the samples the reader gives for the part, as CD audio.
HRESULT ListSamples(const wchar_t* part)
{
    std::unique_ptr<wmreader::MediaReader> reader;
    HRESULT hr = wmreader::CreateMediaReader(&reader);
    if (SUCCEEDED(hr))
        hr = reader->Open(part);
    if (FAILED(hr))
        return hr;
    CCdAudioReader cd(*reader);
    hr = cd.Prepare();
    CdAudioChunk chunk;
    ULONGLONG bytes = 0;
    while (SUCCEEDED(hr) && (hr = cd.Next(&chunk)) == S_OK) {
        std::printf("sample %llu +%llu: %lu bytes at byte %llu\n", chunk.time, chunk.duration,
                    static_cast<unsigned long>(chunk.length), bytes);
        bytes += chunk.length;
    }
    reader->Close();
    std::printf("total %llu bytes\n", bytes);
    return FAILED(hr) ? hr : S_OK;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: cddecode_bench <part> <wav|->\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (std::wcscmp(argv[2], L"samples") == 0) {
        HRESULT hr = ListSamples(argv[1]);
        CoUninitialize();
        return FAILED(hr) ? 1 : 0;
    }
    const double start = Now();
    CdDecodeResult result;
    HRESULT hr = S_OK;
    ULONGLONG bytes = 0;
    if (std::wcscmp(argv[2], L"-") == 0) {
        for (int i = 1; i < argc && SUCCEEDED(hr); i = i == 1 ? 3 : i + 1) {
            hr = DecodeOnly(argv[i], &result);
            bytes += result.dataBytes;
        }
        result.dataBytes = bytes;
    } else {
        hr = DecodeToCdAudioFile(argv[1], argv[2], &result);
    }
    const double seconds = Now() - start;
    CoUninitialize();
    if (FAILED(hr)) {
        std::fprintf(stderr, "decoding failed: 0x%08lX (reader step %d, writer step %d)\n", static_cast<unsigned long>(hr),
                     static_cast<int>(result.readerStep), static_cast<int>(result.writerStep));
        return 1;
    }
    std::printf("decode: %.3f seconds, %llu bytes, converted %d\n", seconds, result.dataBytes, result.converted ? 1 : 0);
    return 0;
}
