// Compares a part decoded to CD audio with ffmpeg's own decoding of the same part.
#pragma once

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <string>

namespace cdaudiotest {

// Checks a decoded WAV against ffmpeg's decoding of the part to CD audio: the WAV is 44,100 Hz
// 16-bit stereo, its length within `slack` frames (one packet) of ffmpeg's, its first 50 ms as
// quiet as ffmpeg's (the parts start with half a second of silence), and each channel correlates
// with ffmpeg's at a lag of at most half a millisecond: the audio starts at the part's time 0, as
// ffmpeg's does, with the decoder's delay dropped (`maxLag` frames, by default half a
// millisecond). The length may still lie up to ffmpeg's
// untrimmed decoding (a decoder may keep the encoder's padding at the end).
// Prints "ok ..." or a fault.
inline const char* const kCompare = R"PY(
import sys, wave, array
ours, ref, untrimmed, slack, maxlag = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
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
def onset(x):
    for i in range(0, len(x), 2):
        if abs(x[i]) > 2000 or abs(x[i + 1]) > 2000: return i // 2
    return -1
head = 2 * 2205
pa, pb = max(map(abs, a[:head]), default=0), max(map(abs, b[:head]), default=0)
if pa > pb + 64: print('fault: the first 50 ms peak at', pa, 'where ffmpeg\'s peak at', pb); sys.exit()
oa, ob = onset(a), onset(b)
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
if abs(lag) > maxlag: print('fault: the audio lies', lag, 'frames after ffmpeg\'s (onsets', oa, ob, ')'); sys.exit()
if min(r) < 0.9: print('fault: correlation', r, 'at lag', lag); sys.exit()
print('ok', na, nb, nu, lag, round(min(r), 3))
)PY";

// The lag an MP3 part made by ffmpeg's libmp3lame may still show: the system's reader keeps its
// encoder's and decoder's delay (1,105 source frames; 50 ms at 22.05 kHz) where ffmpeg drops it.
inline constexpr int kMp3ReaderLagFrames = 2 * 1105 + 24;

// Decodes part with ffmpeg (trimmed and untrimmed) into folder and runs the check on ours with
// `slack` frames; returns the check's line.
inline std::string CompareWithFfmpeg(const testsupport::ScratchFolder& folder, const CString& part, const CString& ours,
                                     int slack, int maxLag = 22)
{
    using testsupport::ShellQuoted;
    const CString reference = folder / L"ffmpeg.wav";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -i " + ShellQuoted(part) + " -ar 44100 -ac 2 " +
                                       ShellQuoted(reference));
    const CString untrimmed = folder / L"untrimmed.wav";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -flags2 +skip_manual -i " + ShellQuoted(part) +
                                       " -ar 44100 -ac 2 " + ShellQuoted(untrimmed));
    const CString script = folder / L"compare.py";
    testsupport::WriteAll(script, std::string(kCompare));
    std::string out;
    mediafixtures::RunTool(folder, "/usr/bin/python3 " + ShellQuoted(script) + " " + ShellQuoted(ours) + " " +
                                       ShellQuoted(reference) + " " + ShellQuoted(untrimmed) + " " + std::to_string(slack) + " " +
                                       std::to_string(maxLag),
                           &out);
    return out;
}

}  // namespace cdaudiotest
