// What the Progress page hands the burn thread: the parts of one title, the recorder and how to
// burn; the thread writes its result and the next part to burn back. The page owns the job and
// the drive; the thread borrows both from WM_BURNING_START until WM_PART_DONE.
#pragma once

#include "afx.h"

#include <functional>

// A job holds at most this many parts.
inline constexpr int kMaxBurnParts = 96;

// How a recorder is opened.
struct RecorderAddress {
    int kind = 0;  // 1: by its SCSI address, else by its device name
    UCHAR port = 0;
    UCHAR bus = 0;
    UCHAR target = 0;
    UCHAR lun = 0;
    CString deviceName;  // "CdRom0"
};

// The recorder as the burn needs it, and the state of its disc.
struct BurnDrive {
    RecorderAddress address;
    CString name;  // shown to the user ("D: VIRTUAL CD-RW 52X")
    // The disc inserted, as the last refresh found it.
    BOOL blank = FALSE;
    BOOL takesTrack = FALSE;  // another track can be written
    ULONGLONG freeBytes = 0;
    // Texts of failures, by step ("BurningPart").
    CMapStringToString errors;
};

// Reads the disc state of drive again (blank, takes a track, free bytes).
using DiscRefresh = std::function<void(BurnDrive& drive)>;
// The library's own query of the disc, used when a job sets none.
void QueryBurnDisc(BurnDrive& drive);

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
    BurnDrive* Drive = nullptr;
    ULONG WriteSpeed = 0xFFFF;
    BOOL TestMode = FALSE;
    CString PartPaths[kMaxBurnParts];
    DWORD PartDurations[kMaxBurnParts] = {};
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
