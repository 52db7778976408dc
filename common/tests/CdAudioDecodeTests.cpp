// Parts made by real tools, decoded through the system's reader into CD-audio WAV files, and
// compared with ffmpeg's own decoding of the same part.
#include "CdAudio.h"
#include "CdAudioCompare.h"
#include "MediaFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::ScratchFolder;
using testsupport::ShellQuoted;

namespace {


struct PartCase {
    const char* name;
    const wchar_t* file;
    DWORD rate;
    int channels;
    const char* encoder;  // ffmpeg's or lame's options after the input; null: sox's file is the part
    int packetFrames;     // one packet of the codec (or one sample of the reader), in source frames
    const char* sample = "-b 16";  // sox's sample format
};

// The tone: half a second of silence, then three seconds of a sweep (another one on the right).
CString MakePart(const ScratchFolder& folder, const PartCase& c)
{
    const CString part = folder / c.file;
    const CString source = c.encoder ? folder / L"source.wav" : part;
    mediafixtures::RunTool(folder, "sox -n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) + " " +
                                       c.sample + " " + ShellQuoted(source) + " synth 3 sine 200-1200" +
                                       (c.channels == 2 ? " sine 300-900" : "") + " vol 0.5 pad 0.5 0");
    if (!c.encoder)
        return part;
    if (std::string(c.encoder).rfind("lame", 0) == 0)
        mediafixtures::RunTool(folder, std::string(c.encoder) + " " + ShellQuoted(source) + " " + ShellQuoted(part));
    else
        mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -i " + ShellQuoted(source) + " " + c.encoder + " " +
                                           ShellQuoted(part));
    return part;
}

}  // namespace

TEST(CdAudioDecode, PartsOfEveryLayoutBecomeCdAudioLikeFfmpegsDecoding)
{
    const PartCase cases[] = {
        {"WMA 44.1 kHz stereo", L"stereo44.wma", 44100, 2, "-c:a wmav2 -b:a 128k", 2048},
        {"WMA 22.05 kHz mono", L"mono22.wma", 22050, 1, "-c:a wmav2 -b:a 32k", 2048},
        {"WMA 44.1 kHz mono", L"mono44.wma", 44100, 1, "-c:a wmav2 -b:a 64k", 2048},
        // MP3 by lame and by ffmpeg's libmp3lame: both write their delay and padding into the
        // first frame's tag, under their own names.
        {"MP3 44.1 kHz stereo by lame", L"stereo44.mp3", 44100, 2, "lame --quiet -b 128", 1152},
        {"MP3 22.05 kHz mono by lame", L"mono22.mp3", 22050, 1, "lame --quiet -b 64", 576},
        {"MP3 22.05 kHz mono by lame, frames too small for a tag", L"mono22-32k.mp3", 22050, 1, "lame --quiet -b 32", 576},
        {"MP3 44.1 kHz stereo by ffmpeg", L"stereo44-ffmpeg.mp3", 44100, 2, "-c:a libmp3lame -b:a 128k", 1152},
        {"MP3 22.05 kHz mono by ffmpeg", L"mono22-ffmpeg.mp3", 22050, 1, "-c:a libmp3lame -b:a 32k", 576},
        {"MP3 22.05 kHz stereo by ffmpeg", L"stereo22-ffmpeg.mp3", 22050, 2, "-c:a libmp3lame -b:a 64k", 576},
        {"WAV 11.025 kHz 8-bit mono", L"mono11.wav", 11025, 1, nullptr, 4096, "-b 8 -e unsigned-integer"},
        {"WMV with 44.1 kHz stereo audio", L"video.wmv", 44100, 2,
         "-f lavfi -i testsrc=size=320x240:rate=25:duration=3.5 -map 1:v -map 0:a -c:v wmv2 -c:a wmav2 -b:a 128k", 2048},
    };
    for (const PartCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const CString part = MakePart(folder, c);
        const CString wav = folder / L"ours.wav";
        CdDecodeResult result;
        ASSERT_EQ(S_OK, DecodeToCdAudioFile(part, wav, &result))
            << "reader step " << static_cast<int>(result.readerStep) << ", writer step " << static_cast<int>(result.writerStep);
        EXPECT_EQ(c.rate != 44100 || c.channels != 2, result.converted);

        const int slack = static_cast<int>(c.packetFrames * 44100ull / c.rate);
        const std::string out = cdaudiotest::CompareWithFfmpeg(folder, part, wav, slack);
        EXPECT_EQ(0u, out.rfind("ok", 0)) << out;
    }
}

TEST(CdAudioDecode, APartThatIsNotThereFailsAtOpenAndWritesNoFile)
{
    ScratchFolder folder;
    CdDecodeResult result;
    EXPECT_TRUE(FAILED(DecodeToCdAudioFile(folder / L"missing.wma", folder / L"out.wav", &result)));
    EXPECT_EQ(wmreader::ReaderStep::Open, result.readerStep);
    EXPECT_EQ(-1, testsupport::FileSizeOf(folder / L"out.wav"));
}
