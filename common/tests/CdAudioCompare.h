// Compares a part decoded to CD audio with ffmpeg's own decoding of the same part.
#pragma once

#include "MediaFixtures.h"
#include "TestSupport.h"

#include <string>
#include <vector>

namespace cdaudiotest {

// Checks a decoded WAV against ffmpeg's decoding of the part to CD audio: the WAV is 44,100 Hz
// 16-bit stereo, its length within `slack` frames (one packet) of ffmpeg's, its first 50 ms as
// quiet as ffmpeg's (the parts start with half a second of silence), and each channel correlates
// with ffmpeg's at a lag of at most half a millisecond: the audio starts at the part's time 0, as
// ffmpeg's does, with the decoder's delay dropped (`maxLag` frames, by default half a
// millisecond). The length may still lie up to ffmpeg's
// untrimmed decoding (a decoder may keep the encoder's padding at the end). Where tracks were
// joined into the WAV, the first 50 ms after each track's start are checked on their own: no
// louder than ffmpeg's there (no noise where a track begins), and following ffmpeg's audio.
// Prints "ok ..." or a fault.
inline const char* const kCompare = R"PY(
import sys, wave, array
ours, ref, untrimmed, slack, maxlag = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), int(sys.argv[5])
starts = [int(t) for t in sys.argv[6].split(',')] if len(sys.argv) > 6 and sys.argv[6] else []
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
# ffmpeg spreads a mono part over two channels 3 dB down: its level against ours.
def level(x, off, first, count):
    return max(1.0, sum(float(x[2 * (i + off)]) ** 2 for i in range(first, first + count)) / count) ** 0.5
span = min(nb, na - lag) - ob
gain = level(a, lag, ob, span) / level(b, 0, ob, span)
for t in starts:
    if t + lag + 2205 > na or t + 2205 > nb: print('fault: a track starts at', t, 'past the end'); sys.exit()
    for ch in (0, 1):
        x = [a[2 * (t + lag + i) + ch] for i in range(2205)]
        y = [b[2 * (t + i) + ch] for i in range(2205)]
        px, py = max(map(abs, x)), max(map(abs, y))
        if px > py * gain * 1.05 + 64: print('fault: the first 50 ms of the track at', t, 'peak at', px, 'where ffmpeg\'s peak at', py); sys.exit()
        rc = corr(ch, lag, t, 2205)
        if py > 2000 and rc < 0.9: print('fault: the first 50 ms of the track at', t, 'correlate', rc); sys.exit()
print('ok', na, nb, nu, lag, round(min(r), 3), len(starts))
)PY";

// Decodes part with ffmpeg (trimmed and untrimmed) into folder and runs the check on ours with
// `slack` frames; trackStarts: where the tracks joined into ours start, in frames. Returns the
// check's line.
inline std::string CompareWithFfmpeg(const testsupport::ScratchFolder& folder, const CString& part, const CString& ours,
                                     int slack, const std::vector<long>& trackStarts = {})
{
    std::string starts;
    for (long t : trackStarts)
        starts += (starts.empty() ? "" : ",") + std::to_string(t);
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
                                       ShellQuoted(reference) + " " + ShellQuoted(untrimmed) + " " + std::to_string(slack) + " 22 \"" +
                                       starts + "\"",
                           &out);
    return out;
}

}  // namespace cdaudiotest
