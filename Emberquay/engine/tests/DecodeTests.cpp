// Parts made by real tools, with markers, decoded through the system's reader and burned on the
// virtual recorder: the tracks start at the markers and hold the part's audio as ffmpeg decodes it.
#include "BurnHarness.h"
#include "MediaMarkers.h"

#include <gtest/gtest.h>


namespace {

using testsupport::ShellQuoted;

struct RealPart {
    const char* name;
    const wchar_t* file;
    const char* make;  // after "ffmpeg -i tone.wav": the encoder and its layout
    bool mp3;          // markers in the suite's list (else the header's own)
};

class DecodeBurnTest : public burntest::BurnHarness {
protected:
    // A 16-second part (a sweep after half a second of silence) with markers at 5 s and 11 s (and a sub-marker at 8 s).
    CString MakePart(const RealPart& c)
    {
        const CString tone = m_folder / L"tone.wav";
        const CString part = m_folder / c.file;
        EXPECT_EQ(0, testsupport::RunHostCommand("sox -V1 -n -r 44100 -c 2 -b 16 " + ShellQuoted(tone) +
                                                 " synth 15.5 sine 200-1200 sine 300-900 vol 0.5 pad 0.5 0"));
        std::string meta;
        if (!c.mp3) {
            const CString chapters = m_folder / L"chapters.txt";
            testsupport::WriteAll(chapters, std::string(";FFMETADATA1\n"
                                                        "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=5000\ntitle=One\n"
                                                        "[CHAPTER]\nTIMEBASE=1/1000\nSTART=5000\nEND=11000\ntitle=Two\n"
                                                        "[CHAPTER]\nTIMEBASE=1/1000\nSTART=11000\nEND=16000\ntitle=Three\n"));
            meta = " -i " + ShellQuoted(chapters) + " -map 0 -map_chapters 1";
        }
        EXPECT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(tone) + meta + " " + c.make + " " +
                                                 ShellQuoted(part)));
        if (c.mp3) {
            CMediaMarkers markers;
            EXPECT_EQ(S_OK, markers.Open(part, FALSE));
            markers.AddMarker(L"One", 0);
            markers.AddMarker(L"Two", 5000);
            markers.AddMarker(L"\u00A0\u00A0\u00A0\u00A0\u00A0\u00A0Two b", 8000);
            markers.AddMarker(L"Three", 11000);
            EXPECT_EQ(S_OK, markers.Close(TRUE));
        }
        return part;
    }

    // Joins the tracks ("a.wav|b.wav|") and compares them with ffmpeg's decoding of the part:
    // the length within a packet and the decoder's delay (the last track padded to a sector),
    // each channel correlated once aligned. "ok" or what differs.
    std::string CompareWithFfmpeg(const CString& part, const CString& tracks)
    {
        const CString wav = m_folder / L"ffmpeg.wav";
        EXPECT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(part) + " -ar 44100 -ac 2 " +
                                                 ShellQuoted(wav)));
        const CString script = m_folder / L"compare.py";
        testsupport::WriteAll(script, std::string(kCompare));
        std::string args;
        int start = 0;
        for (int bar; (bar = tracks.Find(L'|', start)) >= 0; start = bar + 1)
            args += " " + ShellQuoted(tracks.Mid(start, bar - start));
        std::string output;
        testsupport::RunHostCommand("python3 " + ShellQuoted(script) + " " + ShellQuoted(wav) + args, &output);
        while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
            output.pop_back();
        return output;
    }

    static constexpr const char* kCompare = R"PY(
import sys, wave, array
def frames(path):
    w = wave.open(path)
    if (w.getframerate(), w.getnchannels(), w.getsampwidth()) != (44100, 2, 2): print('layout of', path); sys.exit()
    a = array.array('h', w.readframes(w.getnframes()))
    if sys.byteorder != 'little': a.byteswap()
    return a
b = frames(sys.argv[1])
a = array.array('h')
for t in sys.argv[2:]: a.extend(frames(t))
na, nb = len(a) // 2, len(b) // 2
if abs(na - nb) > 4096 + 588: print('length', na, 'against', nb); sys.exit()
# The system's reader now and then hands out noise in the first packet of a WMA part (the
# decoder's priming output); the tone starts after half a second of silence.
def onset(x, skip):
    for i in range(2 * skip, len(x), 2):
        if abs(x[i]) > 2000: return i // 2
    return -1
oa, ob = onset(a, 4096), onset(b, 0)
if oa < 0 or ob < 0: print('silence', oa, ob); sys.exit()
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
lag = max(range(oa - ob - 48, oa - ob + 49), key=lambda l: corr(0, l, ob + 4000, 2000))
# Across the whole part, both track joins included.
r = [corr(ch, lag, ob + 1000, nb - ob - 6000) for ch in (0, 1)]
if min(r) < 0.9: print('correlation', r, 'at lag', lag); sys.exit()
print('ok')
)PY";
};

TEST_F(DecodeBurnTest, BurnsRealPartsSplitAtTheirMarkers)
{
    const std::vector<RealPart> cases = {
        {"MP3 44.1 kHz stereo", L"Book-Part01.mp3", "-c:a libmp3lame -b:a 128k -ar 44100 -ac 2", true},
        {"MP3 22.05 kHz mono", L"Book-Part02.mp3", "-c:a libmp3lame -b:a 64k -ar 22050 -ac 1", true},
        {"WMA 44.1 kHz stereo", L"Book-Part03.wma", "-c:a wmav2 -b:a 128k -ar 44100 -ac 2", false},
        {"WMA 22.05 kHz mono", L"Book-Part04.wma", "-c:a wmav2 -b:a 64k -ar 22050 -ac 1", false},
    };
    UseDrive({"FreeBytes=700000000\n"});
    for (const RealPart& c : cases)
        AddPart(MakePart(c), 16000);
    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_Eject").size());
    EXPECT_TRUE(TempFiles().empty());

    // Three tracks a part, in the title's order.
    const std::vector<long> frames = DiscTrackFrames(1);
    ASSERT_EQ(3 * cases.size(), frames.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        // Each track ends at its marker within 1/75 s (one sector).
        EXPECT_EQ(5 * 44100, frames[3 * i]);
        EXPECT_EQ(6 * 44100, frames[3 * i + 1]);
        // Together they hold the part as ffmpeg decodes it.
        CString tracks;
        for (int t = 1; t <= 3; ++t)
            tracks.AppendFormat(L"%s\\Track%02d.wav|", DiscFolder(1, 1).GetString(), static_cast<int>(3 * i) + t);
        EXPECT_EQ("ok", CompareWithFfmpeg(m_job.PartPaths[i], tracks));
    }
}

TEST_F(DecodeBurnTest, KeepsADiscWithinNinetyNineTracks)
{
    // Three parts of 41 tracks each: two fill the first disc (82 tracks), the third needs a second.
    const CString tone = m_folder / L"long.wav";
    ASSERT_EQ(0, testsupport::RunHostCommand("sox -V1 -n -r 44100 -c 2 -b 16 " + ShellQuoted(tone) + " synth 205 sine 440 vol 0.3"));
    UseDrive({"FreeBytes=700000000\n", "FreeBytes=700000000\n"});
    for (int p = 1; p <= 3; ++p) {
        CString part;
        part.Format(L"%s\\Long-Part%02d.mp3", m_folder.Path().GetString(), p);
        ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(tone) +
                                                 " -c:a libmp3lame -b:a 64k " + ShellQuoted(part)));
        CMediaMarkers markers;
        ASSERT_EQ(S_OK, markers.Open(part, FALSE));
        for (DWORD t = 5000; t <= 200000; t += 5000)
            markers.AddMarker(L"Chapter", t);
        ASSERT_EQ(S_OK, markers.Close(TRUE));
        AddPart(part, 205000);
    }
    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    EXPECT_EQ(1u, m_boxes.size());
    EXPECT_EQ(82u, DiscTrackFrames(1).size());
    EXPECT_EQ(41u, DiscTrackFrames(2).size());
    EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
