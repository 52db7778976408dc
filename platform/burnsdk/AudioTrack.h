// The files a recorder takes as audio tracks, and the copy it keeps of each written one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace burnsdk {

// The sample data of a CD-audio RIFF WAVE file.
struct AudioFile {
    ULONGLONG dataOffset = 0;
    ULONGLONG dataBytes = 0;  // whole sample frames only
};

// Why a file cannot be written as a track: 0 when it can (the data in *file), else the
// exception number, with the reason and the system error.
ULONG OpenCdAudio(const std::wstring& path, AudioFile* file, std::string* reason, ULONG* systemError);

// The sectors the data takes on a disc.
ULONGLONG SectorsOf(ULONGLONG dataBytes);

// Copies the samples into target as the disc holds them (padded with silence to whole sectors,
// under a plain WAV header), calling progress with the bytes written so far after each piece.
// Returns 0 or ERROR_ codes; a failed copy leaves no target file.
ULONG CopyAsDiscTrack(const std::wstring& source, const AudioFile& file, const std::wstring& target,
                      const std::function<void(ULONGLONG)>& progress);

}  // namespace burnsdk
