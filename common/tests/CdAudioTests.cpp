// CD audio: the layout conversion, the WAV writer, and the CD reader over scripted readers.
#include "CdAudio.h"
#include "MediaFixtures.h"
#include "ScriptedReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace wmreader;
using testsupport::ScratchFolder;
using testsupport::ShellQuoted;

namespace {

WAVEFORMATEX Pcm(DWORD rate, WORD channels, WORD bits, WORD tag = WAVE_FORMAT_PCM)
{
    return AudioType(rate, channels, bits, tag).Wave();
}

std::vector<BYTE> Samples16(const std::vector<int>& values)
{
    std::vector<BYTE> bytes;
    for (int v : values) {
        bytes.push_back(static_cast<BYTE>(v & 0xFF));
        bytes.push_back(static_cast<BYTE>((v >> 8) & 0xFF));
    }
    return bytes;
}

// The CD frames of converted bytes as (left, right) pairs.
std::vector<std::pair<int, int>> Frames(const std::vector<BYTE>& bytes)
{
    std::vector<std::pair<int, int>> frames;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4)
        frames.emplace_back(static_cast<short>(bytes[i] | (bytes[i + 1] << 8)),
                            static_cast<short>(bytes[i + 2] | (bytes[i + 3] << 8)));
    return frames;
}

std::vector<BYTE> Convert(const WAVEFORMATEX& format, const std::vector<BYTE>& input, size_t piece = 0)
{
    CCdAudioConverter converter(format);
    EXPECT_TRUE(converter.IsValid());
    std::vector<BYTE> out;
    if (!piece)
        piece = input.size();
    for (size_t at = 0; at < input.size(); at += piece)
        converter.Convert(input.data() + at, std::min(piece, input.size() - at), &out);
    return out;
}

// "rate channels sampwidth frames" as Python's wave module reads the file.
std::string WaveParams(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    mediafixtures::RunPython(folder, "import wave\nw = wave.open(" + ShellQuoted(path) +
                                         ")\nprint(w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes())\n",
                             &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

DWORD Le32(const std::string& bytes, size_t at)
{
    DWORD v = 0;
    std::memcpy(&v, bytes.data() + at, sizeof(v));
    return v;
}

}  // namespace

TEST(CdAudioFormat, OnlyPlainPcmOfOneOrTwoChannelsAndEightOrSixteenBitsConverts)
{
    struct Case {
        WAVEFORMATEX format;
        bool cd;
        bool convertible;
    } cases[] = {
        {Pcm(44100, 2, 16), true, true},
        {Pcm(44100, 1, 16), false, true},
        {Pcm(22050, 2, 16), false, true},
        {Pcm(22050, 1, 8), false, true},
        {Pcm(48000, 2, 16), false, true},
        {Pcm(44100, 2, 24), false, false},
        {Pcm(44100, 2, 32, WAVE_FORMAT_IEEE_FLOAT), false, false},
        {Pcm(44100, 2, 16, WAVE_FORMAT_EXTENSIBLE), false, false},
        {Pcm(44100, 6, 16), false, false},
        {Pcm(500, 1, 16), false, false},
        {WAVEFORMATEX{}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.cd, IsCdAudio(c.format))
            << c.format.nSamplesPerSec << "/" << c.format.nChannels << "/" << c.format.wBitsPerSample;
        EXPECT_EQ(c.convertible, CanConvertToCdAudio(c.format)) << c.format.nSamplesPerSec << "/" << c.format.nChannels;
    }
    WAVEFORMATEX badAlign = Pcm(22050, 2, 16);
    badAlign.nBlockAlign = 3;
    EXPECT_FALSE(CanConvertToCdAudio(badAlign));
    EXPECT_FALSE(CCdAudioConverter(Pcm(44100, 2, 24)).IsValid());
}

TEST(CdAudioConverter, LayoutsBecomeSixteenBitStereoAtTheCdRate)
{
    struct Case {
        const char* name;
        WAVEFORMATEX format;
        std::vector<BYTE> input;
        std::vector<std::pair<int, int>> expected;
    } cases[] = {
        {"CD audio unchanged", Pcm(44100, 2, 16), Samples16({1, -2, 300, -400}), {{1, -2}, {300, -400}}},
        {"mono on both channels", Pcm(44100, 1, 16), Samples16({5, -32768, 32767}), {{5, 5}, {-32768, -32768}, {32767, 32767}}},
        {"8-bit around 128", Pcm(44100, 2, 8), {128, 0, 255, 129}, {{0, -32768}, {32512, 256}}},
        {"half the rate: every other frame between its neighbours", Pcm(22050, 1, 16), Samples16({0, 100, 300}),
         {{0, 0}, {50, 50}, {100, 100}, {200, 200}, {300, 300}}},
        {"8-bit mono at 11,025", Pcm(11025, 1, 8), {128, 132}, {{0, 0}, {256, 256}, {512, 512}, {768, 768}, {1024, 1024}}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Frames(Convert(c.format, c.input))) << c.name;
        // The same bytes in pieces that split frames give the same audio.
        for (size_t piece : {1, 3})
            EXPECT_EQ(c.expected, Frames(Convert(c.format, c.input, piece))) << c.name << ", pieces of " << piece;
    }
}

TEST(CdAudioConverter, OtherRatesKeepTheLengthAndFollowTheSignal)
{
    for (DWORD rate : {8000u, 22050u, 32000u, 48000u, 96000u}) {
        // One second of a ramp on the left and its negation on the right.
        std::vector<int> values;
        for (DWORD i = 0; i < rate; ++i) {
            values.push_back(static_cast<int>(i * 30000ull / rate));
            values.push_back(-static_cast<int>(i * 30000ull / rate));
        }
        std::vector<std::pair<int, int>> frames = Frames(Convert(Pcm(rate, 2, 16), Samples16(values), 4410));
        const size_t expected = static_cast<size_t>((rate - 1) * 44100ull / rate) + 1;
        ASSERT_EQ(expected, frames.size()) << rate;
        for (size_t n = 0; n < frames.size(); n += 97) {
            const double want = n * 30000.0 / 44100.0;
            EXPECT_NEAR(want, frames[n].first, 2.0) << rate << " frame " << n;
            EXPECT_NEAR(-want, frames[n].second, 2.0) << rate << " frame " << n;
        }
    }
}

TEST(WaveWriter, TheFileHasTheHeaderTheSamplesAndBothSizes)
{
    ScratchFolder folder;
    struct Case {
        WAVEFORMATEX format;
        DWORD bytes;
        const char* params;
    } cases[] = {
        {CdAudioFormat(), 44100 * 4, "44100 2 2 44100"},
        {Pcm(22050, 1, 8), 1001, "22050 1 1 1001"},  // an odd count gets its pad byte
    };
    for (const Case& c : cases) {
        const CString path = folder / L"track.wav";
        testsupport::WriteAll(path, std::string(200000, 'x'));  // replaced, not overwritten in place
        std::vector<BYTE> samples(c.bytes);
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<BYTE>(i * 7);
        CWaveWriter writer;
        ASSERT_EQ(S_OK, writer.Open(path, c.format));
        for (DWORD at = 0; at < c.bytes; at += 1000)
            ASSERT_EQ(S_OK, writer.Write(samples.data() + at, std::min<DWORD>(1000, c.bytes - at)));
        EXPECT_EQ(c.bytes, writer.DataBytes());
        ASSERT_EQ(S_OK, writer.Close());
        EXPECT_FALSE(writer.IsOpen());

        const std::string file = testsupport::ReadAllBytes(path);
        const size_t padded = c.bytes + (c.bytes & 1);
        ASSERT_EQ(46 + padded, file.size());
        EXPECT_EQ("RIFF", file.substr(0, 4));
        EXPECT_EQ(file.size() - 8, Le32(file, 4));
        EXPECT_EQ("WAVEfmt ", file.substr(8, 8));
        EXPECT_EQ(18u, Le32(file, 16));
        EXPECT_EQ(0, std::memcmp(file.data() + 20, &c.format, 18));
        EXPECT_EQ("data", file.substr(38, 4));
        EXPECT_EQ(c.bytes, Le32(file, 42));
        EXPECT_EQ(0, std::memcmp(file.data() + 46, samples.data(), c.bytes));
        EXPECT_EQ(c.params, WaveParams(folder, path));
    }
}

TEST(WaveWriter, AWriteKilledBeforeCloseLeavesAFileThatClaimsNoMoreThanItHolds)
{
    ScratchFolder folder;
    const CString path = folder / L"killed.wav";
    const CString child = testsupport::BinaryPath(L"common/tests/wave_writer_child.exe");
    EXPECT_EQ(9, testsupport::RunProgram(L"\"" + child + L"\" \"" + path + L"\" 300000"));
    const std::string file = testsupport::ReadAllBytes(path);
    ASSERT_EQ(46u + 300000u, file.size());
    EXPECT_LE(Le32(file, 4) + 8ull, file.size());
    EXPECT_LE(Le32(file, 42) + 46ull, file.size());
    EXPECT_EQ("44100 2 2 0", WaveParams(folder, path));
}

TEST(WaveWriter, FailuresNameTheirStepAndLeaveNothingOpen)
{
    ScratchFolder folder;
    CWaveWriter writer;
    EXPECT_TRUE(FAILED(writer.Open(folder / L"no such folder\\a.wav", CdAudioFormat())));
    EXPECT_EQ(CWaveWriter::Step::Open, writer.FailedStep());
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(E_UNEXPECTED, writer.Write("ab", 2));
    EXPECT_EQ(S_OK, writer.Close());
}

TEST(WaveWriter, NoFileGrowsPastWhatItsSizesCanHold)
{
    const ULONGLONG max = CWaveWriter::kMaxDataBytes;
    struct Case {
        ULONGLONG written, size;
        bool fits;
    } cases[] = {
        {0, 176400, true}, {0, max, true}, {max - 10, 10, true}, {max - 10, 11, false},
        {max, 1, false},   {max + 5, 0, false}, {0, 0xFFFFFFFFull, false}, {3000000000ull, 1300000000ull, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.fits, CWaveWriter::Fits(c.written, c.size)) << c.written << " + " << c.size;
    // The RIFF size of the fullest file, with a pad byte, still fits in 32 bits.
    EXPECT_LE(4 + 8 + 18 + 8 + max + 1, 0xFFFFFFFFull);

    // A writer at its limit refuses the write that would pass it, writes nothing of it, and
    // still closes a whole file.
    ScratchFolder folder;
    const CString path = folder / L"full.wav";
    CWaveWriter writer(10000);
    ASSERT_EQ(S_OK, writer.Open(path, CdAudioFormat()));
    std::vector<BYTE> block(4000, 0x22);
    EXPECT_EQ(S_OK, writer.Write(block.data(), 4000));
    EXPECT_EQ(S_OK, writer.Write(block.data(), 4000));
    EXPECT_EQ(CWaveWriter::kTooLarge, writer.Write(block.data(), 4000));
    EXPECT_EQ(CWaveWriter::Step::WriteData, writer.FailedStep());
    EXPECT_EQ(S_OK, writer.Write(block.data(), 2000));
    EXPECT_EQ(10000u, writer.DataBytes());
    EXPECT_EQ(S_OK, writer.Close());
    EXPECT_EQ("44100 2 2 2500", WaveParams(folder, path));
}

namespace {

ReaderScript Part(MediaType current, std::vector<MediaType> formats, std::vector<ScriptedSample> samples)
{
    ReaderScript script;
    script.outputs = {{VideoType(), {}}, {std::move(current), std::move(formats)}};
    script.streams = {{1, kMediaTypeVideo}, {2, kMediaTypeAudio}};
    script.samples = std::move(samples);
    return script;
}

}  // namespace

TEST(CdAudioReader, TheFirstCdFormatIsChosenElseTheSourceIsConvertedElseRefused)
{
    struct Case {
        const char* name;
        MediaType current;
        std::vector<MediaType> formats;
        HRESULT result;
        bool converting;
        std::vector<std::string> log;  // before the stream selection
        DWORD sourceRate;
    } cases[] = {
        {"CD audio as it comes", AudioType(44100, 2, 16), {AudioType(44100, 2, 16)}, S_OK, false, {}, 44100},
        {"the CD format among several", AudioType(44100, 1, 16),
         {AudioType(44100, 1, 16), AudioType(44100, 2, 8), AudioType(44100, 2, 16), AudioType(44100, 2, 16)},
         S_OK, false, {"SetOutputFormat 1 2"}, 44100},
        {"mono at 22,050 converted", AudioType(22050, 1, 16), {AudioType(22050, 1, 16)}, S_OK, true, {}, 22050},
        {"8-bit at 44,100 converted", AudioType(44100, 2, 8), {AudioType(44100, 2, 8)}, S_OK, true, {}, 44100},
        {"float left for a PCM format offered", AudioType(44100, 2, 32, WAVE_FORMAT_IEEE_FLOAT),
         {AudioType(44100, 2, 32, WAVE_FORMAT_IEEE_FLOAT), AudioType(48000, 2, 16)},
         S_OK, true, {"SetOutputFormat 1 1"}, 48000},
        {"nothing convertible", AudioType(44100, 2, 24), {AudioType(44100, 2, 24), AudioType(96000, 6, 16)},
         E_FAIL, false, {}, 44100},
    };
    for (const Case& c : cases) {
        std::vector<std::string> log;
        ScriptedReader reader(Part(c.current, c.formats, {}), &log);
        CCdAudioReader cd(reader);
        ReaderStep step = ReaderStep::Open;
        EXPECT_EQ(c.result, cd.Prepare(&step)) << c.name;
        EXPECT_EQ(ReaderStep::None, step) << c.name;
        EXPECT_EQ(c.result == E_FAIL, cd.Refused()) << c.name;
        EXPECT_EQ(c.converting, cd.Converting()) << c.name;
        EXPECT_EQ(1u, cd.Output().output) << c.name;
        std::vector<std::string> expected = c.log;
        if (SUCCEEDED(c.result)) {
            EXPECT_EQ(c.sourceRate, cd.SourceFormat().nSamplesPerSec) << c.name;
            expected.insert(expected.end(), {"SetStreamSelected 2 on", "SetStreamSelected 1 off",
                                             "SetReadStreamSamples 2 decoded", "SetRange 0 0"});
        }
        EXPECT_EQ(expected, log) << c.name;
    }
}

TEST(CdAudioReader, APartWithoutAudioFailsAtItsOutputs)
{
    ReaderScript script;
    script.outputs = {{VideoType(), {}}};
    ScriptedReader reader(script);
    CCdAudioReader cd(reader);
    ReaderStep step = ReaderStep::None;
    EXPECT_EQ(kNoAudioOutput, cd.Prepare(&step));
    EXPECT_EQ(ReaderStep::NoAudioOutput, step);
    EXPECT_FALSE(cd.Refused());
}

TEST(CdAudioReader, SamplesComeAsCdAudioUntilTheEndOrAFailure)
{
    ScriptedSample video = ScriptedSample::Pcm(0, 999, 1);
    ScriptedSample badBuffer = ScriptedSample::Pcm(300, 400, 2);
    badBuffer.bufferResult = E_OUTOFMEMORY;
    ScriptedSample badUnit = ScriptedSample::Failure(kBadDataUnit, 250, 2);
    badUnit.duration = 500000;
    badUnit.flags = 1;
    badUnit.output = 1;
    struct Case {
        const char* name;
        MediaType format;
        std::vector<ScriptedSample> samples;
        std::vector<DWORD> lengths;  // of the chunks before the last answer
        HRESULT last;
        ReaderStep step;
    } cases[] = {
        {"to the end", AudioType(44100, 2, 16),
         {ScriptedSample::Pcm(0, 4000, 2), video, ScriptedSample::Pcm(100, 4000, 2)}, {4000, 4000}, S_FALSE, ReaderStep::None},
        {"an empty sample is no end", AudioType(44100, 2, 16),
         {ScriptedSample::Pcm(0, 4000, 2), ScriptedSample::Pcm(50, 0, 2), ScriptedSample::Pcm(100, 8, 2)}, {4000, 0, 8},
         S_FALSE, ReaderStep::None},
        {"converted from mono", AudioType(44100, 1, 16),
         {ScriptedSample::Pcm(0, 4000, 2), ScriptedSample::Pcm(100, 4001, 2), ScriptedSample::Pcm(200, 1, 2)},
         {8000, 8000, 4}, S_FALSE, ReaderStep::None},
        {"a damaged sample", AudioType(44100, 2, 16), {ScriptedSample::Pcm(0, 4000, 2), badUnit}, {4000}, kBadDataUnit,
         ReaderStep::NextSample},
        {"a failure in the middle", AudioType(44100, 2, 16),
         {ScriptedSample::Pcm(0, 4000, 2), ScriptedSample::Failure(E_ABORT, 200, 2), ScriptedSample::Pcm(300, 4000, 2)},
         {4000}, E_ABORT, ReaderStep::NextSample},
        {"a sample without its buffer", AudioType(44100, 2, 16), {ScriptedSample::Pcm(0, 4000, 2), badBuffer}, {4000},
         E_OUTOFMEMORY, ReaderStep::SampleBuffer},
    };
    for (const Case& c : cases) {
        ScriptedReader reader(Part(c.format, {c.format}, c.samples));
        CCdAudioReader cd(reader);
        ASSERT_EQ(S_OK, cd.Prepare()) << c.name;
        std::vector<DWORD> lengths;
        CdAudioChunk chunk;
        ReaderStep step = ReaderStep::Open;
        HRESULT hr;
        while ((hr = cd.Next(&chunk, &step)) == S_OK)
            lengths.push_back(chunk.length);
        EXPECT_EQ(c.lengths, lengths) << c.name;
        EXPECT_EQ(c.last, hr) << c.name;
        EXPECT_EQ(c.step, step) << c.name;
        if (hr == kBadDataUnit) {
            // What the message of a damaged sample tells.
            EXPECT_EQ(2500000u, cd.LastSample().time);
            EXPECT_EQ(500000u, cd.LastSample().duration);
            EXPECT_EQ(1u, cd.LastSample().flags);
            EXPECT_EQ(1u, cd.LastSample().output);
            EXPECT_EQ(2, cd.LastSample().stream);
        }
    }
}

TEST(CdAudioReader, AFailureInTheMiddleLeavesAWavOfWhatWasDecoded)
{
    ScratchFolder folder;
    ScriptedReaderFactory factory(
        Part(AudioType(22050, 1, 16), {AudioType(22050, 1, 16)},
             {ScriptedSample::Pcm(0, 4410, 2), ScriptedSample::Pcm(100, 4410, 2), ScriptedSample::Failure(kBadDataUnit, 200, 2)}));
    const CString wav = folder / L"part.wav";
    CdDecodeResult result;
    EXPECT_EQ(kBadDataUnit, DecodeToCdAudioFile(L"C:\\part.wma", wav, &result));
    EXPECT_EQ(ReaderStep::NextSample, result.readerStep);
    EXPECT_TRUE(result.converted);
    EXPECT_EQ(8819u * 4, result.dataBytes);  // 4,410 source frames become 8,819 at twice the rate
    EXPECT_EQ("44100 2 2 8819", WaveParams(folder, wav));
    EXPECT_EQ((std::vector<std::string>{"Open", "SetStreamSelected 2 on", "SetStreamSelected 1 off",
                                        "SetReadStreamSamples 2 decoded", "SetRange 0 0", "Close"}),
              factory.Log());
}

TEST(CdAudioReader, ARefusedPartWritesNoFile)
{
    ScratchFolder folder;
    ScriptedReaderFactory factory(Part(AudioType(44100, 2, 24), {}, {ScriptedSample::Pcm(0, 6000, 2)}));
    CdDecodeResult result;
    EXPECT_EQ(E_FAIL, DecodeToCdAudioFile(L"C:\\part.wma", folder / L"part.wav", &result));
    EXPECT_TRUE(result.refused);
    EXPECT_EQ(-1, testsupport::FileSizeOf(folder / L"part.wav"));
}
