// Parts made by real tools, decoded through the system's reader into CD-audio WAV files, and
// compared with ffmpeg's own decoding of the same part.
#include "CdAudio.h"
#include "MediaFixtures.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::ScratchFolder;
using testsupport::ShellQuoted;

namespace {

// Checks a decoded WAV against ffmpeg's decoding of the part to CD audio: the WAV is 44,100 Hz
// 16-bit stereo, its length within `slack` frames (one packet) of ffmpeg's, and each channel
// correlates with ffmpeg's once the two are aligned at the tone's onset. Whether a decoder drops
// the encoder's delay and padding is its own choice (ffmpeg does, the system's reader keeps part
// of it), so the length may lie anywhere from ffmpeg's trimmed decoding to its untrimmed one.
// Prints "ok ..." or a fault.
const char* const kCompare = R"PY(
import sys, wave, array
ours, ref, untrimmed, slack = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
def frames(path):
    w = wave.open(path)
    p = (w.getframerate(), w.getnchannels(), w.getsampwidth())
    a = array.array('h', w.readframes(w.getnframes()))
    if sys.byteorder != 'little': a.byteswap()
    return p, a
p, a = frames(ours)
q, b = frames(ref)
if p != (44100, 2, 2): print('fault: layout', p); sys.exit()
if q != (44100, 2, 2): print('fault: reference layout', q); sys.exit()
na, nb = len(a) // 2, len(b) // 2
nu = wave.open(untrimmed).getnframes()
if na < min(nb, nu) - slack or na > max(nb, nu) + slack: print('fault: length', na, 'frames against', nb, 'to', nu); sys.exit()
def onset(x, skip):
    for i in range(2 * skip, len(x), 2):
        if abs(x[i]) > 2000 or abs(x[i + 1]) > 2000: return i // 2
    return -1
# The system's reader here now and then hands out noise in the first packet of a WMA part (the
# decoder's priming output); the tone's onset lies well after it.
oa, ob = onset(a, slack), onset(b, 0)
if oa < 0 or ob < 0: print('fault: silence', oa, ob); sys.exit()
def corr(ch, lag, start, count):
    sx = sy = sxx = syy = sxy = 0.0
    n = 0
    for i in range(start, start + count):
        j = i + lag
        if j < 0 or j >= na or i >= nb: continue
        x = a[2 * j + ch]; y = b[2 * i + ch]
        sx += x; sy += y; sxx += x * x; syy += y * y; sxy += x * y; n += 1
    if n < 100: return 0.0
    vx = sxx - sx * sx / n; vy = syy - sy * sy / n
    return (sxy - sx * sy / n) / ((vx * vy) ** 0.5) if vx > 0 and vy > 0 else 0.0
start = ob + 2000
lag = max(range(oa - ob - 24, oa - ob + 25), key=lambda l: corr(0, l, start, 3000))
r = [corr(ch, lag, ob, nb - ob - 2000) for ch in (0, 1)]
if min(r) < 0.9: print('fault: correlation', r, 'at lag', lag); sys.exit()
print('ok', na, nb, nu, lag, round(min(r), 3))
)PY";

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
        {"MP3 44.1 kHz stereo", L"stereo44.mp3", 44100, 2, "lame --quiet -b 128", 1152},
        {"MP3 22.05 kHz mono", L"mono22.mp3", 22050, 1, "lame --quiet -b 32", 576},
        {"MP3 22.05 kHz stereo", L"stereo22.mp3", 22050, 2, "-c:a libmp3lame -b:a 64k", 576},
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

        const CString reference = folder / L"ffmpeg.wav";
        mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -i " + ShellQuoted(part) +
                                           " -ar 44100 -ac 2 " + ShellQuoted(reference));
        const CString untrimmed = folder / L"untrimmed.wav";
        mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -flags2 +skip_manual -i " + ShellQuoted(part) +
                                           " -ar 44100 -ac 2 " + ShellQuoted(untrimmed));
        const CString script = folder / L"compare.py";
        testsupport::WriteAll(script, std::string(kCompare));
        const int slack = static_cast<int>(c.packetFrames * 44100ull / c.rate);
        std::string out;
        mediafixtures::RunTool(folder, "/usr/bin/python3 " + ShellQuoted(script) + " " + ShellQuoted(wav) + " " +
                                           ShellQuoted(reference) + " " + ShellQuoted(untrimmed) + " " + std::to_string(slack),
                               &out);
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
