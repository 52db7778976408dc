// The reader helpers over scripted readers (what the system's reader cannot be made to do),
// and the binding of the system's reader.
#include "AudioOutput.h"
#include "Mp3Gapless.h"
#include "ScriptedReader.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace wmreader;

namespace {

ReaderScript OneAudioOutput(std::vector<MediaType> formats)
{
    ReaderScript script;
    script.outputs = {{formats.empty() ? AudioType(44100, 2, 16) : formats.front(), formats}};
    script.streams = {{1, kMediaTypeAudio}};
    return script;
}

bool Is22050(const WAVEFORMATEX& f) { return f.nSamplesPerSec == 22050; }

}  // namespace

TEST(AudioOutput, TheFirstAudioOutputIsTakenWithItsFormat)
{
    ReaderScript script;
    script.outputs = {{VideoType(), {}}, {AudioType(22050, 1, 16), {}}, {AudioType(44100, 2, 16), {}}};
    ScriptedReader reader(script);
    AudioOutput audio;
    ReaderStep step = ReaderStep::Open;
    ASSERT_EQ(S_OK, FindAudioOutput(reader, &audio, &step));
    EXPECT_EQ(ReaderStep::None, step);
    EXPECT_EQ(1u, audio.output);
    EXPECT_EQ(22050u, audio.Wave().nSamplesPerSec);
    EXPECT_EQ(1, audio.Wave().nChannels);
}

TEST(AudioOutput, AFileWithoutAudioOutputIsAFailureOfItsOwn)
{
    for (const auto& outputs : {std::vector<ScriptedOutput>{}, std::vector<ScriptedOutput>{{VideoType(), {}}}}) {
        ReaderScript script;
        script.outputs = outputs;
        ScriptedReader reader(script);
        AudioOutput audio;
        ReaderStep step = ReaderStep::None;
        EXPECT_EQ(kNoAudioOutput, FindAudioOutput(reader, &audio, &step));
        EXPECT_EQ(ReaderStep::NoAudioOutput, step);
    }
}

TEST(AudioOutput, EachFailingCallIsNamed)
{
    struct Case {
        ReaderStep step;
        int helper;  // 0 FindAudioOutput, 1 SelectOutputFormat, 2 FindStreams, 3 ReadAudioStreamOnly
    } cases[] = {
        {ReaderStep::OutputCount, 0},     {ReaderStep::OutputProps, 0},   {ReaderStep::MediaTypeSize, 0},
        {ReaderStep::MediaTypeMemory, 0}, {ReaderStep::MediaType, 0},     {ReaderStep::FormatCount, 1},
        {ReaderStep::Format, 1},          {ReaderStep::MediaType, 1},     {ReaderStep::SetOutputProps, 1},
        {ReaderStep::QueryProfile, 2},    {ReaderStep::StreamCount, 2},   {ReaderStep::Stream, 2},
        {ReaderStep::StreamNumber, 2},    {ReaderStep::StreamType, 2},    {ReaderStep::SelectStreams, 3},
        {ReaderStep::ReadStreamSamples, 3}, {ReaderStep::SetRange, 3},
    };
    for (const Case& c : cases) {
        ReaderScript script = OneAudioOutput({AudioType(44100, 2, 16), AudioType(22050, 2, 16)});
        script.failures[c.step] = E_ACCESSDENIED;
        ScriptedReader reader(script);
        AudioOutput audio;
        audio.type = AudioType(44100, 2, 16);
        StreamNumbers streams;
        ReaderStep step = ReaderStep::None;
        HRESULT hr = c.helper == 0   ? FindAudioOutput(reader, &audio, &step)
                     : c.helper == 1 ? SelectOutputFormat(reader, &audio, Is22050, &step)
                     : c.helper == 2 ? FindStreams(reader, &streams, &step)
                                     : ReadAudioStreamOnly(reader, {1, 0}, &step);
        EXPECT_EQ(E_ACCESSDENIED, hr) << static_cast<int>(c.step);
        EXPECT_EQ(c.step, step);
    }
}

TEST(AudioOutput, TheFirstWantedFormatIsSetAndAFormatNoneWantedStays)
{
    struct Case {
        std::vector<MediaType> formats;
        HRESULT result;
        std::vector<std::string> log;
        DWORD rate;
    } cases[] = {
        {{AudioType(44100, 2, 16), AudioType(22050, 2, 16), AudioType(22050, 1, 16)},
         S_OK, {"SetOutputFormat 0 1"}, 22050},
        {{AudioType(44100, 2, 16), AudioType(32000, 1, 16)}, S_FALSE, {}, 44100},
        {{}, S_FALSE, {}, 44100},
    };
    for (const Case& c : cases) {
        std::vector<std::string> log;
        ScriptedReader reader(OneAudioOutput(c.formats), &log);
        AudioOutput audio;
        ASSERT_EQ(S_OK, FindAudioOutput(reader, &audio));
        audio.type = AudioType(44100, 2, 16);
        EXPECT_EQ(c.result, SelectOutputFormat(reader, &audio, Is22050));
        EXPECT_EQ(c.log, log);
        EXPECT_EQ(c.rate, audio.Wave().nSamplesPerSec);
    }
}

TEST(AudioOutput, StreamsAreFoundByTypeTheLastOfEachKindWins)
{
    ReaderScript script;
    script.streams = {{1, kMediaTypeAudio}, {2, kMediaTypeVideo}, {3, kMediaTypeAudio}, {4, GUID{}}};
    ScriptedReader reader(script);
    StreamNumbers streams;
    ASSERT_EQ(S_OK, FindStreams(reader, &streams));
    EXPECT_EQ(3, streams.audio);
    EXPECT_EQ(2, streams.video);
}

TEST(AudioOutput, OnlyTheAudioStreamIsReadDecodedOverTheWholeFile)
{
    struct Case {
        StreamNumbers streams;
        std::vector<std::string> log;
    } cases[] = {
        {{3, 0}, {"SetStreamSelected 3 on", "SetReadStreamSamples 3 decoded", "SetRange 0 0"}},
        {{2, 1}, {"SetStreamSelected 2 on", "SetStreamSelected 1 off", "SetReadStreamSamples 2 decoded", "SetRange 0 0"}},
        {{0, 1}, {"SetRange 0 0"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> log;
        ScriptedReader reader(ReaderScript{}, &log);
        ASSERT_EQ(S_OK, ReadAudioStreamOnly(reader, c.streams));
        EXPECT_EQ(c.log, log) << c.streams.audio << "/" << c.streams.video;
    }
}

TEST(AudioOutput, FailuresReadAsTheProgramsReportThem)
{
    ReaderScript noAudio;
    noAudio.outputs = {{VideoType(), {}}};
    ScriptedReader reader(noAudio);
    AudioOutput audio;
    ReaderStep step = ReaderStep::None;
    FindAudioOutput(reader, &audio, &step);
    EXPECT_EQ(L"Could not find an audio stream in the specified file", AudioOutputFailureText(step));
    EXPECT_EQ(L"Could not query for the space needed for media type", AudioOutputFailureText(ReaderStep::MediaTypeSize));
    EXPECT_EQ(L"", AudioOutputFailureText(ReaderStep::NextSample));

    Sample sample;
    sample.time = 12345678;    // 1,234 ms
    sample.duration = 464399;  // 46 ms
    sample.flags = 1;
    sample.output = 0;
    sample.stream = 2;
    EXPECT_EQ(L"Error 0xC00D080D: Bad Data Unit at Time=1234 (Duration=46, Flag=1, Output=0, Stream=2).",
              BadDataUnitText(kBadDataUnit, sample));
}

TEST(MediaReaderFactory, TestsReplaceTheSystemReaderAndPutItBack)
{
    std::unique_ptr<MediaReader> reader;
    {
        ScriptedReaderFactory factory(OneAudioOutput({}));
        ASSERT_EQ(S_OK, CreateMediaReader(&reader));
        EXPECT_NE(nullptr, dynamic_cast<ScriptedReader*>(reader.get()));
        EXPECT_EQ(1, factory.Created());
    }
    ReaderStep step = ReaderStep::Open;
    ASSERT_EQ(S_OK, CreateMediaReader(&reader, &step)) << "the system's reader, bound from wmvcore.dll";
    EXPECT_EQ(ReaderStep::None, step);
    EXPECT_EQ(nullptr, dynamic_cast<ScriptedReader*>(reader.get()));
}

TEST(SystemReader, AFileThatIsNotThereFailsToOpen)
{
    testsupport::ScratchFolder folder;
    std::unique_ptr<MediaReader> reader;
    ASSERT_EQ(S_OK, CreateSystemReader(&reader));
    EXPECT_TRUE(FAILED(reader->Open(folder / L"missing.wma")));
    EXPECT_EQ(ReaderStep::Open, reader->FailedStep());
    reader->Close();
}

TEST(Mp3Gapless, TheEncodersTagSaysWhereTheAudioStartsAndEnds)
{
    // 3.5 s of a tone, encoded by lame and by ffmpeg's libmp3lame.
    testsupport::ScratchFolder folder;
    using testsupport::ShellQuoted;
    for (const char* layout : {"-r 44100 -c 2", "-r 22050 -c 1"}) {
        const CString name = std::string(layout).find("44100") != std::string::npos ? L"44" : L"22";
        ASSERT_EQ(0, testsupport::RunHostCommand("sox -V1 -n -b 16 " + std::string(layout) + " " +
                                                 ShellQuoted(folder / (name + L".wav")) + " synth 3.5 sine 440 vol 0.3"));
    }
    struct Case {
        const char* name;
        const wchar_t* file;
        const wchar_t* source;
        const char* make;  // {in} and {out} replaced
        bool tag;
        DWORD rate;
        const char* encoder;
        ULONGLONG skip, keep;  // what the system's decoder leaves to drop
    } cases[] = {
        {"ffmpeg, 44.1 kHz stereo", L"ff44.mp3", L"44.wav", "ffmpeg -v error -y -i {in} -c:a libmp3lame -b:a 128k {out}", true, 44100,
         "Lavc", 576 + kMp3DecoderDelay, 154350},
        {"ffmpeg, 22.05 kHz mono", L"ff22.mp3", L"22.wav", "ffmpeg -v error -y -i {in} -c:a libmp3lame -b:a 32k {out}", true, 22050,
         "Lavc", 576 + kMp3DecoderDelay, 77175},
        {"lame, 44.1 kHz stereo: the decoder drops it itself", L"la44.mp3", L"44.wav", "lame --quiet -b 128 {in} {out}", true, 44100,
         "LAME", 0, 0},
        {"lame, 22.05 kHz mono at 32 kbps: no room for a tag", L"la22.mp3", L"22.wav", "lame --quiet -b 32 {in} {out}", false, 0, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string command = c.make;
        const CString in = folder / c.source;
        command.replace(command.find("{in}"), 4, ShellQuoted(in));
        command.replace(command.find("{out}"), 5, ShellQuoted(folder / c.file));
        ASSERT_EQ(0, testsupport::RunHostCommand(command));
        Mp3Gapless tag;
        ASSERT_EQ(c.tag, ReadMp3FileGapless(folder / c.file, &tag));
        const DecodedTrim trim = SystemDecoderTrim(tag);
        EXPECT_EQ(c.skip, trim.skipFrames);
        EXPECT_EQ(c.keep, trim.keepFrames);
        if (!c.tag)
            continue;
        EXPECT_EQ(c.rate, tag.rate);
        EXPECT_EQ(0u, std::string(tag.encoder).rfind(c.encoder, 0)) << tag.encoder;
        EXPECT_EQ(576u, tag.encoderDelay);
        // Delay, audio and padding fill the frames.
        EXPECT_EQ(tag.frames * tag.frameSamples, 576u + static_cast<ULONGLONG>(c.rate) * 7 / 2 + tag.padding);
    }

    // Behind an ID3v2 tag longer than the first bytes read (markers, pictures), the first frame
    // is found after it; a file cut inside its first frame, or one that is not MP3, has no tag.
    const std::vector<BYTE> mp3 = testsupport::ReadAll(folder / L"ff44.mp3");
    ASSERT_GT(mp3.size(), 1000u);
    std::vector<BYTE> tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 0};
    const DWORD body = 3 * kMp3HeadBytes;
    tagged[6] = static_cast<BYTE>((body >> 21) & 0x7F);
    tagged[7] = static_cast<BYTE>((body >> 14) & 0x7F);
    tagged[8] = static_cast<BYTE>((body >> 7) & 0x7F);
    tagged[9] = static_cast<BYTE>(body & 0x7F);
    tagged.resize(10 + body, 0);
    // ffmpeg's file starts with a tag of its own: the long one goes before it.
    tagged.insert(tagged.end(), mp3.begin(), mp3.end());
    testsupport::WriteAll(folder / L"tagged.mp3", tagged.data(), tagged.size());
    Mp3Gapless tag;
    ASSERT_TRUE(ReadMp3FileGapless(folder / L"tagged.mp3", &tag));
    EXPECT_EQ(SystemDecoderTrim(tag).keepFrames, 154350u);
    for (size_t cut : {3u, 40u, 90u}) {
        testsupport::WriteAll(folder / L"cut.mp3", mp3.data(), std::min(mp3.size(), cut));
        EXPECT_FALSE(ReadMp3FileGapless(folder / L"cut.mp3", &tag)) << cut;
    }
    testsupport::WriteAll(folder / L"text.mp3", std::string(5000, 'x'));
    EXPECT_FALSE(ReadMp3FileGapless(folder / L"text.mp3", &tag));
    EXPECT_FALSE(ReadMp3FileGapless(folder / L"missing.mp3", &tag));
}
