// The conversion worker: Windows Media parts decoded to WAV files, with a scripted reader for
// what real files cannot be made to do, and ffmpeg's WMA parts through the system's reader.
// An owner window on the test thread records every report as the Progress page receives it.
#include "WindowsMediaThread.h"

#include "MediaFixtures.h"
#include "ScriptedReader.h"
#include "SuiteMessages.h"
#include "TestSupport.h"
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

using namespace testsupport;
using namespace wmreader;

namespace {

struct Report {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    CString text;  // the job's error text when the report came
};

// A message-only window standing in for the Progress page.
class ConversionOwner {
public:
    ConversionOwner() : m_window([this](UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
        return Handle(message, wParam, lParam, result);
    }) {}
    HWND Hwnd() const { return m_window.Hwnd(); }

    std::vector<Report> reports;
    LRESULT startAnswer = 1;
    std::function<void(const Report&)> onReport;

    std::vector<Report> Of(UINT message) const
    {
        std::vector<Report> found;
        for (const auto& r : reports)
            if (r.message == message)
                found.push_back(r);
        return found;
    }

private:
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
    {
        if (message < WM_CONVERT_STARTED || message > WM_CONVERT_PROGRESS)
            return false;
        Report report{message, wParam, lParam, reinterpret_cast<CDownloadJob*>(lParam)->GetErrorText()};
        reports.push_back(report);
        if (onReport)
            onReport(report);
        *result = message == WM_CONVERT_STARTED ? startAnswer : 0;
        return true;
    }
    OwnerWindow m_window;
};

// One conversion as the page runs it: a thread per job, waited for while the test thread
// dispatches its messages.
class Conversion {
public:
    explicit Conversion(CDownloadJob* job, DWORD throttleWaitMs = 50, ULONGLONG maxWaveBytes = CWaveWriter::kMaxDataBytes)
        : m_job(job)
    {
        m_thread = static_cast<CWindowsMediaThread*>(AfxBeginThread(RUNTIME_CLASS(CWindowsMediaThread), THREAD_PRIORITY_NORMAL,
                                                                    0, CREATE_SUSPENDED, nullptr, &m_handle));
        if (!m_thread)
            return;
        m_thread->m_throttleWaitMs = throttleWaitMs;
        m_thread->m_maxWaveBytes = maxWaveBytes;
        m_threadId = m_thread->m_nThreadID;
        m_thread->ResumeThread();
        PostThreadMessageW(m_threadId, WM_CONVERT_PART, 0, reinterpret_cast<LPARAM>(job));
    }
    ~Conversion()
    {
        if (m_handle) {
            if (WaitForSingleObject(m_handle, 0) != WAIT_OBJECT_0)
                Wait(30000);
            CloseHandle(m_handle);
        }
    }
    bool Started() const { return m_handle != nullptr; }
    void Cancel() const { PostThreadMessageW(m_threadId, WM_CONVERT_QUIT, 0, 0); }

    // Dispatches messages until the thread has ended (TRUE) or ms have passed; the reports
    // posted before its end are handled too.
    BOOL Wait(DWORD ms, bool dispatch = true)
    {
        const ULONGLONG until = GetTickCount64() + ms;
        for (;;) {
            MSG msg;
            if (dispatch) {
                while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageW(&msg);
            } else {
                PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            }
            if (WaitForSingleObject(m_handle, 0) == WAIT_OBJECT_0)
                break;
            const ULONGLONG now = GetTickCount64();
            if (now >= until)
                return FALSE;
            MsgWaitForMultipleObjects(1, &m_handle, FALSE, static_cast<DWORD>(std::min<ULONGLONG>(until - now, 50)),
                                      dispatch ? QS_ALLINPUT : QS_SENDMESSAGE);
        }
        if (dispatch) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
        }
        return TRUE;
    }
    DWORD ExitCode() const
    {
        DWORD code = STILL_ACTIVE;
        GetExitCodeThread(m_handle, &code);
        return code;
    }

private:
    CDownloadJob* m_job;
    CWindowsMediaThread* m_thread = nullptr;
    HANDLE m_handle = nullptr;
    DWORD m_threadId = 0;
};

std::unique_ptr<CDownloadJob> MakeJob(const CString& source, const CString& target, HWND owner, int seconds = 0)
{
    auto job = std::make_unique<CDownloadJob>(nullptr, nullptr);
    job->m_strUrl = source;
    job->m_strTargetPath = target;
    job->m_hOwnerWnd = owner;
    job->m_nDurationSeconds = seconds;
    job->m_nBufferLength = seconds;
    return job;
}

ReaderScript Script(MediaType current, std::vector<MediaType> formats, std::vector<ScriptedSample> samples)
{
    ReaderScript script;
    script.outputs = {{std::move(current), std::move(formats)}};
    script.streams = {{2, kMediaTypeAudio}};
    script.samples = std::move(samples);
    return script;
}

// n samples of size bytes each, stream 2, 100 ms apart.
std::vector<ScriptedSample> Samples(int n, DWORD size)
{
    std::vector<ScriptedSample> samples;
    for (int i = 0; i < n; ++i)
        samples.push_back(ScriptedSample::Pcm(static_cast<DWORD>(i) * 100, size, 2, 100));
    return samples;
}

// The header a WAV file of the conversion starts with: RIFF, WAVE, an 18-byte "fmt " chunk,
// "data" with its size.
constexpr size_t kHeaderBytes = 12 + 8 + 18 + 8;

// A file's path as a Python string literal.
std::string PyPath(const CString& path)
{
    const std::string unix = UnixPath(path);
    return mediafixtures::PyText(std::wstring(unix.begin(), unix.end()));
}

// Python's reading of a WAV file: "rate channels width frames" or "error ...".
std::string WaveReading(const ScratchFolder& folder, const CString& wav)
{
    std::string out;
    mediafixtures::RunPython(folder,
                             "import wave\n"
                             "try:\n"
                             "    w = wave.open(" + PyPath(wav) + ")\n"
                             "    print(w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes())\n"
                             "except Exception as e:\n"
                             "    print('error', e)\n",
                             &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

std::string Expected(DWORD rate, int channels, int width, ULONGLONG bytes)
{
    return std::to_string(rate) + " " + std::to_string(channels) + " " + std::to_string(width) + " " +
           std::to_string(bytes / (channels * width));
}

}  // namespace

TEST(ConversionThread, TheOutputTakesTheFirst22050FormatAndTheWavHoldsEverySampleByte)
{
    struct Case {
        const char* name;
        MediaType current;
        std::vector<MediaType> formats;
        const char* switched;  // the reader call that changes the format; null: none
        DWORD rate;
        int channels;
        int width;
    };
    const Case cases[] = {
        {"already 22,050 Hz", AudioType(22050, 1, 16), {AudioType(44100, 2, 16), AudioType(22050, 2, 16)}, nullptr, 22050, 1, 2},
        {"44,100 Hz offering 22,050 Hz", AudioType(44100, 2, 16),
         {AudioType(44100, 2, 16), AudioType(22050, 2, 16), AudioType(22050, 1, 16)}, "SetOutputFormat 0 1", 22050, 2, 2},
        {"44,100 Hz with no 22,050 Hz format", AudioType(44100, 2, 16), {AudioType(44100, 2, 16), AudioType(32000, 2, 16)},
         nullptr, 44100, 2, 2},
        {"8-bit 11,025 Hz", AudioType(11025, 1, 8), {AudioType(11025, 1, 8)}, nullptr, 11025, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ReaderScript script = Script(c.current, c.formats, Samples(40, 4000));
        script.streams.push_back({3, kMediaTypeVideo});
        ScriptedReaderFactory factory(script);
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
        {
            Conversion conversion(job.get());
            ASSERT_TRUE(conversion.Started());
            ASSERT_TRUE(conversion.Wait(30000));
            EXPECT_EQ(static_cast<DWORD>(kConvertDone), conversion.ExitCode());
        }
        EXPECT_EQ(kConvertDone, job->GetResult());
        const auto& log = factory.Log();
        EXPECT_EQ(c.switched != nullptr, std::find(log.begin(), log.end(), std::string(c.switched ? c.switched : "")) != log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "SetStreamSelected 2 on"), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "SetRange 0 0"), log.end());

        // A new randomly named WAV file beside the target, holding every byte in order.
        const CString wav = job->GetTargetPath();
        EXPECT_EQ(0, wav.Find(folder.Path() + L"\\"));
        EXPECT_EQ(wav.GetLength() - 4, wav.Find(L".wav"));
        EXPECT_NE(folder / L"part.wav", wav);
        EXPECT_EQ(Expected(c.rate, c.channels, c.width, 160000), WaveReading(folder, wav));
        const std::vector<BYTE> bytes = ReadAll(wav);
        ASSERT_EQ(kHeaderBytes + 160000, bytes.size());
        std::vector<BYTE> expected;
        for (const auto& s : Samples(40, 4000))
            expected.insert(expected.end(), s.bytes.begin(), s.bytes.end());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + kHeaderBytes));

        // Taken, then progress, then the end last; no error.
        ASSERT_FALSE(owner.reports.empty());
        EXPECT_EQ(WM_CONVERT_STARTED, owner.reports.front().message);
        EXPECT_EQ(WM_CONVERT_END, owner.reports.back().message);
        EXPECT_EQ(static_cast<WPARAM>(kConvertDone), owner.reports.back().wParam);
        EXPECT_TRUE(owner.Of(WM_CONVERT_ERROR).empty());
        EXPECT_EQ(1u, owner.Of(WM_CONVERT_END).size());
    }
}

TEST(ConversionThread, ThePercentageCountsBytesAndStaysWithin0To100)
{
    struct Case {
        const char* name;
        MediaType format;
        int seconds;          // the job's playing time
        int samples;          // of 17,640 bytes
        int lastPercent;
    };
    const Case cases[] = {
        // 176,400 bytes a second: ten samples are the second the job announced.
        {"16-bit stereo, as long as announced", AudioType(44100, 2, 16), 1, 10, 100},
        {"16-bit stereo, twice as long as announced", AudioType(44100, 2, 16), 1, 20, 100},
        {"16-bit stereo, half as long", AudioType(44100, 2, 16), 2, 10, 50},
        // 22,050 bytes a second (8-bit mono): 176,400 bytes make 8 s.
        {"8-bit mono at 22,050 Hz", AudioType(22050, 1, 8), 16, 10, 50},
        // No playing time: the fixed basis of 270,336,000 bytes.
        {"no playing time", AudioType(22050, 2, 16), 0, 20, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ScriptedReaderFactory factory(Script(c.format, {c.format}, Samples(c.samples, 17640)));
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), c.seconds);
        {
            Conversion conversion(job.get());
            ASSERT_TRUE(conversion.Wait(30000));
        }
        EXPECT_EQ(kConvertDone, job->GetResult());
        int last = 0;
        for (const Report& r : owner.Of(WM_CONVERT_PROGRESS)) {
            EXPECT_GT(static_cast<int>(r.wParam), last);
            EXPECT_LE(r.wParam, 100u);
            last = static_cast<int>(r.wParam);
        }
        EXPECT_EQ(c.lastPercent, last);
    }
}

TEST(ConversionThread, EveryFailureEndsWithOneErrorTextAndResult3)
{
    struct Case {
        const char* name;
        ReaderScript script;
        CString source;
        const wchar_t* text;       // a piece of the job's error text
        ULONGLONG dataBytes;       // what the WAV holds; -1: no WAV is made
    };
    ReaderScript plain = Script(AudioType(22050, 2, 16), {AudioType(22050, 2, 16)}, {});
    auto with = [&](std::function<void(ReaderScript&)> change) {
        ReaderScript s = plain;
        change(s);
        return s;
    };
    ScriptedSample badBuffer = ScriptedSample::Pcm(300, 400, 2);
    badBuffer.bufferResult = E_OUTOFMEMORY;
    ScriptedSample badUnit = ScriptedSample::Failure(kBadDataUnit, 200, 2);
    badUnit.duration = 1000000;
    const ULONGLONG none = ~0ull;
    const Case cases[] = {
        {"no audio output", with([](ReaderScript& s) { s.outputs = {{VideoType(), {}}}; s.streams = {{1, kMediaTypeVideo}}; }),
         L"C:\\part.wma", L"Unable to GetAudioOutput.\nCould not find an audio stream in the specified file", none},
        {"the file does not open", with([](ReaderScript& s) { s.openResult = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND); }),
         L"C:\\part.wma", L"Unable to open the reader.\nError 0x80070002", none},
        {"no source path", plain, L"", L"Either source or target path missing:\n source (\"\")", none},
        {"the stream count fails", with([](ReaderScript& s) { s.failures[ReaderStep::StreamCount] = E_FAIL; }), L"C:\\part.wma",
         L"Unable to process 'GetStreamCount'.\nError 0x80004005", none},
        {"the range is refused", with([](ReaderScript& s) { s.failures[ReaderStep::SetRange] = E_INVALIDARG; }), L"C:\\part.wma",
         L"Unable to process 'SetRange'.", none},
        {"a bad data unit in the middle",
         with([&](ReaderScript& s) { s.samples = Samples(3, 20000); s.samples.push_back(badUnit); s.samples.push_back(ScriptedSample::Pcm(300, 400, 2)); }),
         L"C:\\part.wma",
         L"Unable to get next sample.\nError 0xC00D080D: Bad Data Unit at Time=200 (Duration=100, Flag=0, Output=0, Stream=2).",
         60000},
        {"a failure in the middle",
         with([](ReaderScript& s) { s.samples = Samples(3, 20000); s.samples.push_back(ScriptedSample::Failure(E_ABORT, 300, 2)); }),
         L"C:\\part.wma", L"Unable to get next sample.\nError 0x80004004", 60000},
        {"a sample without its buffer", with([&](ReaderScript& s) { s.samples = {badBuffer}; }), L"C:\\part.wma",
         L"Unable to process 'GetBufferAndLength'.", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ScriptedReaderFactory factory(c.script);
        ConversionOwner owner;
        // A small buffer (16 KiB): 20,000-byte samples go straight to the file.
        auto job = MakeJob(c.source, folder / L"part.wav", owner.Hwnd(), 1);
        {
            Conversion conversion(job.get());
            ASSERT_TRUE(conversion.Wait(30000));
            EXPECT_EQ(static_cast<DWORD>(kConvertFailed), conversion.ExitCode());
        }
        EXPECT_EQ(kConvertFailed, job->GetResult());
        const auto errors = owner.Of(WM_CONVERT_ERROR);
        ASSERT_EQ(1u, errors.size());
        EXPECT_NE(-1, errors[0].text.Find(c.text)) << ::testing::PrintToString(errors[0].text);
        ASSERT_EQ(WM_CONVERT_END, owner.reports.back().message);
        EXPECT_EQ(static_cast<WPARAM>(kConvertFailed), owner.reports.back().wParam);
        if (c.dataBytes == none) {
            EXPECT_EQ(0, FileCount(folder.Path()));
        } else {
            // The part-written file is closed with both sizes fixed.
            EXPECT_EQ(Expected(22050, 2, 2, c.dataBytes), WaveReading(folder, job->GetTargetPath()));
        }
    }
}

TEST(ConversionThread, AudioBeyondWhatAWavFileCanHoldFailsAndLeavesAValidFile)
{
    // 100,000 bytes where the file may take less (4 GiB in a program): buffered and direct
    // writes alike are refused before the sizes could wrap.
    struct Case {
        const char* name;
        DWORD sampleBytes;
        ULONGLONG maxBytes;
        const wchar_t* action;
    };
    const Case cases[] = {
        // 20,000-byte samples do not fit the 16 KiB buffer: the third one is refused.
        {"samples written directly", 20000, 50000, L"Unable to process 'mmioWrite.sample'."},
        // 1,000-byte samples: 16 buffered, then one direct; the third buffer is refused.
        {"samples through the buffer", 1000, 40000, L"Unable to process 'mmioWrite.buffer'."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        ScriptedReaderFactory factory(Script(AudioType(22050, 1, 16), {}, Samples(100000 / c.sampleBytes, c.sampleBytes)));
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
        {
            Conversion conversion(job.get(), 50, c.maxBytes);
            ASSERT_TRUE(conversion.Wait(30000));
        }
        EXPECT_EQ(kConvertFailed, job->GetResult());
        const auto errors = owner.Of(WM_CONVERT_ERROR);
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ(0, errors[0].text.Find(c.action)) << ::testing::PrintToString(errors[0].text);
        const std::string reading = WaveReading(folder, job->GetTargetPath());
        EXPECT_EQ(0u, reading.rfind("22050 1 2 ", 0)) << reading;
        EXPECT_LE(FileSizeOf(job->GetTargetPath()), static_cast<LONGLONG>(kHeaderBytes + c.maxBytes));
    }
}

TEST(ConversionThread, AZeroLengthSampleEndsTheConversionAsDone)
{
    ScratchFolder folder;
    std::vector<ScriptedSample> samples = Samples(2, 4000);
    samples.push_back(ScriptedSample::Pcm(200, 0, 2));
    samples.push_back(ScriptedSample::Pcm(300, 4000, 2));
    ScriptedReaderFactory factory(Script(AudioType(22050, 1, 16), {}, samples));
    ConversionOwner owner;
    auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
    {
        Conversion conversion(job.get());
        ASSERT_TRUE(conversion.Wait(30000));
    }
    EXPECT_EQ(kConvertDone, job->GetResult());
    EXPECT_EQ(Expected(22050, 1, 2, 8000), WaveReading(folder, job->GetTargetPath()));
}

TEST(ConversionThread, TheStartAnswerAndTheJobDecideWhetherItRuns)
{
    ScriptedReaderFactory factory(Script(AudioType(22050, 1, 16), {}, Samples(2, 4000)));
    {
        SCOPED_TRACE("no job: exit code 3 and no end report");
        ConversionOwner owner;
        Conversion conversion(nullptr);
        ASSERT_TRUE(conversion.Wait(30000));
        EXPECT_EQ(static_cast<DWORD>(kConvertFailed), conversion.ExitCode());
        EXPECT_TRUE(owner.reports.empty());
    }
    {
        SCOPED_TRACE("the page answers 0: the job ends with 0 before the reader is made");
        ScratchFolder folder;
        ConversionOwner owner;
        owner.startAnswer = 0;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
        {
            Conversion conversion(job.get());
            ASSERT_TRUE(conversion.Wait(30000));
            EXPECT_EQ(0u, conversion.ExitCode());
        }
        EXPECT_EQ(0, job->GetResult());
        EXPECT_EQ(0, factory.Created());
        EXPECT_EQ(0, FileCount(folder.Path()));
    }
}

TEST(ConversionThread, CancelEndsWith2BetweenSamples)
{
    ScratchFolder folder;
    ScriptedReaderFactory factory(Script(AudioType(22050, 1, 16), {}, Samples(5000, 4000)));
    ConversionOwner owner;
    auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1000);
    Conversion conversion(job.get());
    owner.onReport = [&](const Report& r) {
        if (r.message == WM_CONVERT_PROGRESS && r.wParam == 1)
            conversion.Cancel();
    };
    ASSERT_TRUE(conversion.Wait(30000));
    EXPECT_EQ(static_cast<DWORD>(kConvertCancelled), conversion.ExitCode());
    EXPECT_EQ(kConvertCancelled, job->GetResult());
    EXPECT_TRUE(owner.Of(WM_CONVERT_ERROR).empty());
    // What was written before the cancel is a valid WAV file.
    EXPECT_EQ(0u, WaveReading(folder, job->GetTargetPath()).rfind("22050 1 2 ", 0));
}

TEST(ConversionThread, TwoLargeWavesHoldItBackUntilOneGoesAndCancelEndsTheWaitAtOnce)
{
    ScriptedReaderFactory factory(Script(AudioType(22050, 1, 16), {}, Samples(2, 4000)));
    const std::string large(static_cast<size_t>(CWindowsMediaThread::kLargeWaveBytes), 'x');
    const std::string small(static_cast<size_t>(CWindowsMediaThread::kLargeWaveBytes - 1), 'x');
    {
        SCOPED_TRACE("two large WAV files wait for one to go");
        ScratchFolder folder;
        WriteAll(folder / L"1.wav", large);
        WriteAll(folder / L"2.wav", large);
        WriteAll(folder / L"3.wav", small);
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
        Conversion conversion(job.get(), 50);
        EXPECT_FALSE(conversion.Wait(1000));
        EXPECT_EQ(3, FileCount(folder.Path()));
        DeleteFileW(folder / L"2.wav");
        ASSERT_TRUE(conversion.Wait(30000));
        EXPECT_EQ(kConvertDone, job->GetResult());
        EXPECT_EQ(3, FileCount(folder.Path()));
    }
    {
        SCOPED_TRACE("small files and a folder named like a WAV do not count");
        ScratchFolder folder;
        WriteAll(folder / L"1.wav", large);
        WriteAll(folder / L"3.wav", small);
        CreateDirectoryW(folder / L"4.wav", nullptr);
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
        Conversion conversion(job.get(), 60000);
        ASSERT_TRUE(conversion.Wait(30000));
        EXPECT_EQ(kConvertDone, job->GetResult());
    }
    {
        SCOPED_TRACE("a cancel during the wait ends it long before the next look");
        ScratchFolder folder;
        WriteAll(folder / L"1.wav", large);
        WriteAll(folder / L"2.wav", large);
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 1);
        Conversion conversion(job.get(), 600000);
        EXPECT_FALSE(conversion.Wait(500));
        conversion.Cancel();
        ASSERT_TRUE(conversion.Wait(20000));
        EXPECT_EQ(static_cast<DWORD>(kConvertCancelled), conversion.ExitCode());
        EXPECT_EQ(kConvertCancelled, job->GetResult());
        EXPECT_EQ(2, FileCount(folder.Path()));
    }
    {
        SCOPED_TRACE("a target without a folder goes to the temporary folder, never held back");
        ScratchFolder folder;
        WriteAll(folder / L"1.wav", large);
        WriteAll(folder / L"2.wav", large);
        wchar_t previous[MAX_PATH] = {};
        const DWORD had = GetEnvironmentVariableW(L"TMP", previous, MAX_PATH);
        SetEnvironmentVariableW(L"TMP", folder.Path());
        ConversionOwner owner;
        auto job = MakeJob(L"C:\\part.wma", L"part.wav", owner.Hwnd(), 1);
        {
            Conversion conversion(job.get(), 600000);
            EXPECT_TRUE(conversion.Wait(20000));
        }
        SetEnvironmentVariableW(L"TMP", had ? previous : nullptr);
        EXPECT_EQ(kConvertDone, job->GetResult());
        EXPECT_EQ(0, job->GetTargetPath().Find(folder.Path() + L"\\"));
        EXPECT_EQ(3, FileCount(folder.Path()));
    }
}

TEST(ConversionThread, ProgressStillQueuedIsDiscardedBeforeTheJobGoes)
{
    ScratchFolder folder;
    ScriptedReaderFactory factory(Script(AudioType(22050, 1, 16), {}, Samples(50, 4410)));
    ConversionOwner owner;
    auto job = MakeJob(L"C:\\part.wma", folder / L"part.wav", owner.Hwnd(), 10);
    {
        // The page is busy: it answers what is sent but handles nothing posted until the end.
        Conversion conversion(job.get());
        ASSERT_TRUE(conversion.Wait(30000, false));
    }
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, owner.Hwnd(), WM_CONVERT_PROGRESS, WM_CONVERT_PROGRESS, PM_NOREMOVE));
    DiscardConversionProgress(owner.Hwnd());
    job.reset();
    // Whatever arrives now may not reach into the deleted job.
    owner.onReport = [](const Report&) {};
    EXPECT_FALSE(PeekMessageW(&msg, owner.Hwnd(), WM_CONVERT_PROGRESS, WM_CONVERT_PROGRESS, PM_NOREMOVE));
    EXPECT_TRUE(PeekMessageW(&msg, owner.Hwnd(), WM_CONVERT_END, WM_CONVERT_END, PM_REMOVE));
}

TEST(ConversionThread, BufferAndPercentageNeverWrapOnLongParts)
{
    struct Case {
        DWORD rate;
        int length;
        ULONGLONG capacity;
    };
    const Case buffers[] = {
        {22050, 10, 16384},         // 8,820 bytes: the least
        {22050, 600, 529200},       // 1% of ten minutes of 16-bit stereo
        {44100, 8 * 3600, 1677312}, // eight hours would wrap 32 bits on the way: the most
        {44100, 0, 16384},
        {44100, -5, 16384},
    };
    for (const Case& c : buffers)
        EXPECT_EQ(c.capacity, CWindowsMediaThread::BufferCapacity(c.rate, c.length)) << c.rate << " " << c.length;
    EXPECT_EQ(0, CWindowsMediaThread::Percent(0, 0));
    EXPECT_EQ(0, CWindowsMediaThread::Percent(5, 0));
    EXPECT_EQ(50, CWindowsMediaThread::Percent(5000000000ull, 10000000000ull));
    EXPECT_EQ(100, CWindowsMediaThread::Percent(30000000000ull, 10000000000ull));
}

namespace {

// Python's check of a decoded tone: the reading, then whether it lasts about three seconds and
// is not silence.
std::string ToneCheck(const ScratchFolder& folder, const CString& wav)
{
    std::string out;
    mediafixtures::RunPython(folder,
                             "import wave, array\n"
                             "w = wave.open(" + PyPath(wav) + ")\n"
                             "a = array.array('h', w.readframes(w.getnframes()))\n"
                             "seconds = w.getnframes() / w.getframerate()\n"
                             "loud = max(abs(v) for v in a) if a else 0\n"
                             "print(w.getframerate(), w.getnchannels(), w.getsampwidth(), 'long' if 2.8 < seconds < 3.4 else seconds, 'loud' if loud > 1000 else loud)\n",
                             &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

}  // namespace

TEST(ConversionThread, WmaPartsMadeByFfmpegBecome16BitWavFiles)
{
    struct Case {
        const char* name;
        const wchar_t* file;
        const char* make;  // ffmpeg's options
        int channels;
        DWORD rate;
    };
    const Case cases[] = {
        {"44.1 kHz stereo", L"stereo44.wma", "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=3 -ac 2 -c:a wmav2 -b:a 128k", 2,
         44100},
        {"22.05 kHz mono", L"mono22.wma", "-f lavfi -i sine=frequency=300:sample_rate=22050:duration=3 -c:a wmav2 -b:a 32k", 1, 22050},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const CString part = folder / c.file;
        ASSERT_EQ(0, mediafixtures::RunTool(folder, std::string("ffmpeg -nostdin -v error -y ") + c.make + " " + ShellQuoted(part)));
        ConversionOwner owner;
        auto job = MakeJob(part, folder / L"out.wav", owner.Hwnd(), 3);
        {
            Conversion conversion(job.get());
            ASSERT_TRUE(conversion.Wait(60000));
        }
        ASSERT_EQ(kConvertDone, job->GetResult()) << ::testing::PrintToString(job->GetErrorText());
        const std::string reading = ToneCheck(folder, job->GetTargetPath());
        // The reader's own rate, or 22,050 Hz when it offers that.
        const std::string tail = " " + std::to_string(c.channels) + " 2 long loud";
        EXPECT_TRUE(reading == std::to_string(c.rate) + tail || reading == "22050" + tail) << reading;
        const auto progress = owner.Of(WM_CONVERT_PROGRESS);
        ASSERT_FALSE(progress.empty());
        EXPECT_GE(progress.back().wParam, 90u);
        EXPECT_LE(progress.back().wParam, 100u);
    }
}

namespace {

// Python's comparison of a converted part with ffmpeg's decoding of it at the same rate and
// channels: "ok ..." when the tone sets in within half a millisecond of ffmpeg's, the first
// 50 ms are as quiet as ffmpeg's (the part starts with half a second of silence) and the length
// lies within one packet of ffmpeg's; otherwise what differs.
std::string AlignmentCheck(const ScratchFolder& folder, const CString& ours, const CString& ffmpeg)
{
    std::string out;
    mediafixtures::RunPython(folder,
                             "import wave, array\n"
                             "def read(path):\n"
                             "    w = wave.open(path)\n"
                             "    return w.getframerate(), w.getnchannels(), array.array('h', w.readframes(w.getnframes()))\n"
                             "ra, ca, a = read(" + PyPath(ours) + ")\n"
                             "rb, cb, b = read(" + PyPath(ffmpeg) + ")\n"
                             "def onset(x): return next((i for i, v in enumerate(x) if abs(v) > 2000), -1)\n"
                             "head = ca * ra // 20\n"
                             "pa, pb = max(map(abs, a[:head])), max(map(abs, b[:head]))\n"
                             "oa, ob = onset(a) // ca, onset(b) // cb\n"
                             "na, nb = len(a) // ca, len(b) // cb\n"
                             "packet = 2048 * ra // 44100 * 2\n"
                             "if (ra, ca) != (rb, cb): print('layout', ra, ca, rb, cb)\n"
                             "elif pa > pb + 64: print('first 50 ms peak at', pa, 'against', pb)\n"
                             "elif abs(oa - ob) > ra // 2000: print('tone at frame', oa, 'against', ob)\n"
                             "elif abs(na - nb) > packet: print('length', na, 'against', nb)\n"
                             "else: print('ok', oa, ob, na, nb)\n",
                             &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

}  // namespace

TEST(ConversionThread, ConvertedWmaStartsAtThePartsTimeZeroLikeFfmpegsDecoding)
{
    struct Case {
        const char* name;
        DWORD rate;
        int channels;
        const char* bitrate;
    };
    const Case cases[] = {
        {"44.1 kHz stereo", 44100, 2, "128k"},
        {"22.05 kHz mono", 22050, 1, "32k"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const CString source = folder / L"source.wav";
        const CString part = folder / L"Chapter 1 \u2013 \u201cThe Weir\u201d.wma";
        ASSERT_EQ(0, mediafixtures::RunTool(folder, "sox -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                                                        " -b 16 " + ShellQuoted(source) + " synth 3 sine 200-1200 vol 0.5 pad 0.5 0"));
        ASSERT_EQ(0, mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -i " + ShellQuoted(source) + " -c:a wmav2 -b:a " +
                                                        c.bitrate + " " + ShellQuoted(part)));
        ConversionOwner owner;
        auto job = MakeJob(part, folder / L"out.wav", owner.Hwnd(), 3);
        {
            Conversion conversion(job.get());
            ASSERT_TRUE(conversion.Wait(60000));
        }
        ASSERT_EQ(kConvertDone, job->GetResult()) << ::testing::PrintToString(job->GetErrorText());
        std::string reading = WaveReading(folder, job->GetTargetPath());
        unsigned rate = 0, channels = 0;
        ASSERT_EQ(2, sscanf(reading.c_str(), "%u %u", &rate, &channels)) << reading;
        const CString reference = folder / L"ffmpeg.wav";
        ASSERT_EQ(0, mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -i " + ShellQuoted(part) + " -ar " +
                                                        std::to_string(rate) + " -ac " + std::to_string(channels) + " " +
                                                        ShellQuoted(reference)));
        const std::string check = AlignmentCheck(folder, job->GetTargetPath(), reference);
        EXPECT_EQ(0u, check.rfind("ok", 0)) << check;
    }
}
