// What the Progress page hands the burn thread: the parts of one title, the recorder and how to
// burn; the thread writes its result and the next part to burn back. The page owns the job and
// the drive; the thread borrows both from WM_BURNING_START until WM_PART_DONE.
#pragma once

#include "DriveRecord.h"
#include "afx.h"

#include <functional>

// A job holds at most this many parts.
inline constexpr int kMaxBurnParts = 96;
// The gap the recorder leaves before each track, in blocks (1/75 s).
inline constexpr ULONG kTrackGapFrames = 150;

// Reads the disc state of the recorder's record again (its disc type, blank, the next track's
// information, free bytes); RefreshDiscState when a job sets none.
using DiscRefresh = std::function<void(DriveRecord& record)>;

class CBurnJob {
public:
    // What the page records of the job for itself; the burn reads none of these.
    CString SourceFile;   // the last part's file
    CString TargetName;   // "<base>-PartNN.<ext>" of the last part
    CString SideFile;
    CString DriveText;
    DWORD Flags = 0;
    DWORD TotalBytes = 0;
    DWORD LastExtra = 0;
    CString ContentType;
    DWORD GapFrames = 150;

    HWND OwnerWindow = nullptr;
    LONG Result = 0;
    // The last part handed over; when the thread ends, the next part to burn.
    LONG PartIndex = -1;
    CDriveEntry* Drive = nullptr;
    ULONG WriteSpeed = 0xFFFF;
    BOOL TestMode = FALSE;
    CString PartPaths[kMaxBurnParts];
    DWORD PartDurations[kMaxBurnParts] = {};  // exact, in milliseconds (0: not known)
    // The discs the Confirm page announced for these parts (0: not known), and the disc being
    // burned, from 1; when the thread ends, the number of the last disc it burned.
    int DiscCount = 0;
    int DiscNumber = 1;
    DiscRefresh RefreshDisc;
    // Set by the page from its own thread (Cancel); the thread sees it also while one of its
    // message boxes is up, when a posted cancel message would not reach it.
    volatile LONG Cancelled = 0;

    void Cancel() { InterlockedExchange(&Cancelled, 1); }
    bool IsCancelled() const { return Cancelled != 0; }
    // Sets the part index; refuses values outside the part arrays.
    void SetPartIndex(LONG index)
    {
        if (index >= -1 && index < kMaxBurnParts)
            PartIndex = index;
    }
    // Adds a part; false when the job is full.
    bool AddPart(const wchar_t* path, DWORD durationMs)
    {
        if (PartIndex + 1 >= kMaxBurnParts)
            return false;
        ++PartIndex;
        PartPaths[PartIndex] = path;
        PartDurations[PartIndex] = durationMs;
        return true;
    }
};
