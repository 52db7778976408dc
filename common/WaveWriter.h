// A RIFF WAVE file written through the multimedia file functions: the header and an 18-byte
// "fmt " chunk at Open, the samples as they come, both chunk sizes fixed at Close.
//
//     CWaveWriter wav;
//     HRESULT hr = wav.Open(L"C:\\temp\\1.wav", format);   // format: a WAVEFORMATEX
//     while (SUCCEEDED(hr) && more) hr = wav.Write(bytes, length);
//     HRESULT closed = wav.Close();                         // also done by the destructor
//
// Layout: "RIFF", size, "WAVE", "fmt ", 18, the format's first 18 bytes, "data", size, samples.
// Until Close the sizes on disk claim only the header (a data size of 0), so a write cut short
// by a crash leaves a file that claims no more than it holds. A file never grows past what the
// 32-bit RIFF sizes can describe: a write that would is refused (kTooLarge) and nothing of it
// is written.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

class CWaveWriter {
public:
    // The calls that can fail, for the caller's message.
    enum class Step {
        None, Open, CreateRiff, CreateFormat, WriteFormat, AscendFormat, CreateData, WriteData, AscendData, AscendRiff
    };

    // The write would take the file past what its RIFF sizes can hold.
    static constexpr HRESULT kTooLarge = static_cast<HRESULT>(0x800700DFL);  // ERROR_FILE_TOO_LARGE
    // The most sample bytes a file can hold: the RIFF size counts "WAVE", the "fmt " chunk, the
    // "data" chunk's header, the samples and a pad byte after an odd count.
    static constexpr ULONGLONG kMaxDataBytes = 0xFFFFFFFFull - (4 + 8 + 18 + 8) - 1;

    // maxDataBytes: a lower limit than the format's, for tests.
    explicit CWaveWriter(ULONGLONG maxDataBytes = kMaxDataBytes) : m_maxDataBytes(maxDataBytes) {}
    ~CWaveWriter() { Close(); }
    CWaveWriter(const CWaveWriter&) = delete;
    CWaveWriter& operator=(const CWaveWriter&) = delete;

    // Creates path (an existing file of that name is replaced) and writes the header. On
    // failure nothing stays open.
    HRESULT Open(const wchar_t* path, const WAVEFORMATEX& format);
    HRESULT Write(const void* data, DWORD size);
    // Fixes both sizes and closes the file; S_OK when nothing is open.
    HRESULT Close();

    bool IsOpen() const { return m_file != nullptr; }
    ULONGLONG DataBytes() const { return m_dataBytes; }
    Step FailedStep() const { return m_failed; }

    // Whether size more bytes fit after written ones.
    static bool Fits(ULONGLONG written, ULONGLONG size, ULONGLONG max = kMaxDataBytes)
    {
        return written <= max && size <= max - written;
    }

private:
    HRESULT Fail(Step step);

    ULONGLONG m_maxDataBytes;
    HMMIO m_file = nullptr;
    MMCKINFO m_riff{};
    MMCKINFO m_data{};
    ULONGLONG m_dataBytes = 0;
    Step m_failed = Step::None;
};
