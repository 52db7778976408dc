// Parts made by real tools, with markers, decoded through the system's reader and burned on the
// virtual recorder: the tracks start at the markers and hold the part's audio as ffmpeg decodes it.
#include "BurnHarness.h"
#include "MediaMarkers.h"

#include <gtest/gtest.h>

#include <numeric>

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
    // A 16-second part with markers at 5 s and 11 s (and a sub-marker at 8 s).
    CString MakePart(const RealPart& c)
    {
        const CString tone = m_folder / L"tone.wav";
        const CString part = m_folder / c.file;
        EXPECT_EQ(0, testsupport::RunHostCommand("sox -V1 -n -r 44100 -c 2 -b 16 " + ShellQuoted(tone) +
                                                 " synth 16 sine 200-1200 sine 300-900 vol 0.5"));
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

    // Frames of ffmpeg's own decoding of the part to CD audio.
    long FfmpegFrames(const CString& part)
    {
        const CString wav = m_folder / L"ffmpeg.wav";
        EXPECT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(part) + " -ar 44100 -ac 2 " +
                                                 ShellQuoted(wav)));
        return std::stol(WaveParameters(wav).substr(WaveParameters(wav).rfind(' ') + 1));
    }
};

TEST_F(DecodeBurnTest, TracksStartAtTheMarkersOfRealParts)
{
    const std::vector<RealPart> cases = {
        {"MP3 44.1 kHz stereo", L"Book-Part01.mp3", "-c:a libmp3lame -b:a 128k -ar 44100 -ac 2", true},
        {"MP3 22.05 kHz mono", L"Book-Part02.mp3", "-c:a libmp3lame -b:a 64k -ar 22050 -ac 1", true},
        {"WMA 44.1 kHz stereo", L"Book-Part03.wma", "-c:a wmav2 -b:a 128k -ar 44100 -ac 2", false},
        {"WMA 22.05 kHz mono", L"Book-Part04.wma", "-c:a wmav2 -b:a 64k -ar 22050 -ac 1", false},
    };
    int disc = 0;
    UseDrive(std::vector<std::string>(cases.size(), "FreeBytes=700000000\n"));
    for (const RealPart& c : cases) {
        SCOPED_TRACE(c.name);
        ++disc;
        m_done = -1;
        m_job.PartIndex = -1;
        AddPart(MakePart(c), 16000);
        // One part a disc: the recorder's next disc comes after each eject.
        EXPECT_EQ(CDBurnThread::kDone, RunBurn());
        const std::vector<long> frames = DiscTrackFrames(disc);
        ASSERT_EQ(3u, frames.size());
        // Each track ends at its marker within 1/75 s (one sector).
        EXPECT_EQ(5 * 44100, frames[0]);
        EXPECT_EQ(6 * 44100, frames[1]);
        // The whole part is there: ffmpeg's length within one packet (and the decoder's delay),
        // the last track padded to a whole sector.
        const long total = std::accumulate(frames.begin(), frames.end(), 0L);
        const long reference = FfmpegFrames(m_job.PartPaths[0]);
        EXPECT_NEAR(reference, total, 4096 + 588) << total << " against " << reference;
        EXPECT_TRUE(TempFiles().empty());
    }
}

}  // namespace
