// The virtual recorder behind the library's functions: the drives and discs a fixture file
// describes (format in BurnSdk.h), their state in this process, and the call log.
#pragma once

#include "BurnSdk.h"

#include <mutex>
#include <string>
#include <vector>

namespace burnsdk {

// The size of a CD sector of audio, and the gap written before every track.
inline constexpr ULONG kAudioSectorBytes = 2352;
inline constexpr ULONG kTrackGapBlocks = 150;
inline constexpr ULONG kDataBlockBytes = 2048;
inline constexpr ULONG kMaxTracks = 99;

struct Disc {
    ULONG type = STARBURN_DISC_CDR;
    bool blank = true;
    bool closed = false;
    ULONG tracks = 0;       // on the disc, written ones included
    ULONGLONG usedBytes = 0;
    ULONGLONG freeBytes = 0;
    UCHAR capacity[3] = {79, 59, 74};
    ULONG failTrack = 0;    // 0: none
    ULONG tracksTried = 0;  // writes asked of this disc, test writes included
};

// A counted failure: the first `remaining` calls fail (always when `always`).
struct Failure {
    bool always = false;
    ULONG remaining = 0;
    // True when this call is to fail (and counts it).
    bool Due();
};

enum class Call { Create, TestUnitReady, SendOpc, CloseSession, Eject, SetBup, SetSpeeds, Count };

struct Drive {
    int index = 0;  // from 1, as in the fixture
    UCHAR address[4] = {};
    std::wstring device;
    std::string letter;
    std::string vendor, product, revision;
    ULONG bufferKB = 2048;
    STARBURN_SUPPORTED_MEDIA_FORMATS formats = {};
    BOOLEAN modes[4] = {};  // TAO, SAO, RAW16, RAW96
    std::vector<ULONG> readSpeeds, writeSpeeds;  // ascending
    ULONG maxRead = 0, maxWrite = 0;
    std::vector<Disc> discs;
    size_t inserted = 0;  // discs[inserted] is in the drive; past the end: none
    Failure failures[static_cast<int>(Call::Count)];
    std::wstring discFolder;  // where disc k's tracks go: discFolder\Disc<k>

    Disc* InsertedDisc() { return inserted < discs.size() ? &discs[inserted] : nullptr; }
    // Whether it writes this kind of disc; any kind.
    bool Writes(ULONG discType) const;
    bool IsRecorder() const;
};

struct Grabber {
    ULONG id = 0;
    int drive = 0;  // index into Recorder::drives
    STARBURN_CALLBACK callback = nullptr;
    void* context = nullptr;
    ULONG readSpeed = 0, writeSpeed = 0;
};

struct Recorder {
    std::wstring fixture;  // empty: none
    std::wstring log;
    ULONG failUpStart = 0;
    std::vector<Drive> drives;
    std::vector<Grabber*> grabbers;
    ULONG nextGrabber = 1;
};

// The recorder under its lock, read from the fixture the environment names when that changed
// (or always with reload). The lock may be taken again on the same thread (a callback that
// calls the library); callbacks that may wait for other threads run outside it.
class Session {
public:
    explicit Session(bool reload = false);
    Recorder& operator*() { return *m_recorder; }
    Recorder* operator->() { return m_recorder; }
    // The open grabber behind a handle; null for one that is not open.
    Grabber* Find(void* handle);

private:
    std::lock_guard<std::recursive_mutex> m_lock;
    Recorder* m_recorder;
};

// Appends one line to the call log (nothing without a fixture).
void Log(Recorder& recorder, const std::string& line);

// Text helpers for log lines.
std::string Narrow(const std::wstring& text, UINT codePage = CP_UTF8);
std::wstring Wide(const char* text);
std::string Quoted(const std::string& text);

}  // namespace burnsdk
