// Parts made by real tools, with markers, decoded through the system's reader and burned on the
// virtual recorder: the tracks start at the markers and hold the part's audio as ffmpeg decodes it.
#include "BurnHarness.h"
#include "CdAudio.h"
#include "CdAudioCompare.h"
#include "MediaMarkers.h"
#include "TrackList.h"

#include <gtest/gtest.h>


namespace {

using testsupport::ShellQuoted;

struct RealPart {
    const char* name;
    const wchar_t* file;
    const char* make;  // after "ffmpeg -i tone.wav": the encoder and its layout
    bool mp3;          // markers in the suite's list (else the header's own)
    int packetFrames;  // one packet of the codec, in CD-audio frames
    const char* lame = nullptr;  // lame's options: ffmpeg makes a WAV file of the layout, lame the part
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
        if (c.lame) {
            const CString layout = m_folder / L"layout.wav";
            EXPECT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(tone) + " " + c.make + " " +
                                                     ShellQuoted(layout)));
            EXPECT_EQ(0, testsupport::RunHostCommand(std::string("lame --quiet ") + c.lame + " " + ShellQuoted(layout) + " " +
                                                     ShellQuoted(part)));
        } else {
            EXPECT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(tone) + meta + " " + c.make + " " +
                                                     ShellQuoted(part)));
        }
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

    // The tracks joined into one WAV file, as a player would play them one after the other.
    CString JoinTracks(int first, int count)
    {
        const CString joined = m_folder / L"joined.wav";
        CWaveWriter wav;
        EXPECT_EQ(S_OK, wav.Open(joined, CdAudioFormat()));
        for (int t = first; t < first + count; ++t) {
            CString track;
            track.Format(L"%s\\Track%02d.wav", DiscFolder(1, 1).GetString(), t);
            const std::vector<BYTE> bytes = testsupport::ReadAll(track);
            // The recorder's tracks have a plain 44-byte header.
            if (bytes.size() > 44) {
                EXPECT_EQ(S_OK, wav.Write(bytes.data() + 44, static_cast<DWORD>(bytes.size() - 44)));
            }
        }
        EXPECT_EQ(S_OK, wav.Close());
        return joined;
    }
};

TEST_F(DecodeBurnTest, BurnsRealPartsSplitAtTheirMarkers)
{
    const std::vector<RealPart> cases = {
        {"MP3 44.1 kHz stereo by ffmpeg", L"Book-Part01.mp3", "-c:a libmp3lame -b:a 128k -ar 44100 -ac 2", true, 1152},
        {"MP3 22.05 kHz mono by ffmpeg", L"Book-Part02.mp3", "-c:a libmp3lame -b:a 64k -ar 22050 -ac 1", true, 1152},
        {"WMA 44.1 kHz stereo", L"Book-Part03.wma", "-c:a wmav2 -b:a 128k -ar 44100 -ac 2", false, 2048},
        {"WMA 22.05 kHz mono", L"Book-Part04.wma", "-c:a wmav2 -b:a 64k -ar 22050 -ac 1", false, 4096},
        {"MP3 44.1 kHz stereo by lame", L"Book-Part05.mp3", "-ar 44100 -ac 2", true, 1152, "-b 128"},
        {"MP3 22.05 kHz mono by lame", L"Book-Part06.mp3", "-ar 22050 -ac 1", true, 1152, "-b 64"},
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
        // Together they hold the part as ffmpeg decodes it: within a packet, and the silence
        // that fills the last track's last sector; each track starts with the audio at its marker.
        const std::string out = cdaudiotest::CompareWithFfmpeg(m_folder, m_job.PartPaths[i],
                                                               JoinTracks(3 * static_cast<int>(i) + 1, 3),
                                                               cases[i].packetFrames + 588, {0, 5 * 44100, 11 * 44100});
        EXPECT_EQ(0u, out.rfind("ok", 0)) << out;
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

TEST_F(DecodeBurnTest, BurnsTheTracksThePlanShows)
{
    // One 20-second MP3 part a case, all on one disc: the tracks burned are the ones the plan
    // the Confirm page and the Tracks dialog use gives, part after part.
    const struct {
        const char* name;
        std::vector<TrackMarker> markers;
    } cases[] = {
        {"a marker past the end", {{L"Opening", 0}, {L"Act II", 6000}, {L"Encore", 25000}}},
        {"a marker at the end", {{L"Act I", 6000}, {L"End", 20000}}},
        {"markers 2 s apart", {{L"a", 2000}, {L"b", 4000}, {L"c", 6000}, {L"d", 8000}, {L"e", 10000}, {L"f", 12000}}},
        {"markers exactly 4 s apart", {{L"1", 4000}, {L"2", 8000}, {L"3", 12000}, {L"4", 16000}}},
        {"markers out of order", {{L"Late", 12000}, {L"Early", 6000}, {L"Later", 15000}}},
        {"a marker 1 s before the end", {{L"Song", 10000}, {L"Tail", 19000}}},
    };
    const CString tone = m_folder / L"tone20.wav";
    ASSERT_EQ(0, testsupport::RunHostCommand("sox -V1 -n -r 44100 -c 2 -b 16 " + ShellQuoted(tone) +
                                             " synth 20 sine 300-900 vol 0.4"));
    UseDrive({"FreeBytes=700000000\n"});
    std::vector<long> expected;
    int p = 0;
    for (const auto& c : cases) {
        CString part;
        part.Format(L"%s\\Plan's Part-Part%02d.mp3", m_folder.Path().GetString(), ++p);
        ASSERT_EQ(0, testsupport::RunHostCommand("ffmpeg -v error -y -i " + ShellQuoted(tone) +
                                                 " -c:a libmp3lame -b:a 64k " + ShellQuoted(part)));
        CMediaMarkers markers;
        ASSERT_EQ(S_OK, markers.Open(part, FALSE));
        for (const TrackMarker& m : c.markers)
            markers.AddMarker(m.name, m.time);
        ASSERT_EQ(S_OK, markers.Close(TRUE));
        AddPart(part, 20000);
        const std::vector<PartTrack> plan = PlanPartTracks(c.markers, 20000);
        for (size_t t = 0; t < plan.size(); ++t) {
            const ULONGLONG end = t + 1 < plan.size() ? CWMABurn::TrackStartFrame(plan[t + 1].startMs) : 0;
            // The last track runs to the part's end (checked below by its length only).
            expected.push_back(t + 1 < plan.size() ? static_cast<long>(end - CWMABurn::TrackStartFrame(plan[t].startMs)) : -1);
        }
    }
    EXPECT_EQ(CDBurnThread::kDone, RunBurn());
    EXPECT_TRUE(m_boxes.empty()) << (m_boxes.empty() ? "" : m_boxes.front().ToNarrow());
    EXPECT_EQ(1u, Calls("StarBurn_CdvdBurnerGrabber_CloseSession").size());
    std::vector<long> frames = DiscTrackFrames(1);
    ASSERT_EQ(expected.size(), frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        if (expected[i] >= 0) {
            EXPECT_EQ(expected[i], frames[i]) << "track " << i + 1;
        } else {
            // At least the 4 s a CD track takes.
            EXPECT_GE(frames[i], 4 * 44100) << "track " << i + 1;
        }
    }
    EXPECT_TRUE(TempFiles().empty());
}

}  // namespace
