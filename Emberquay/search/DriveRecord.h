// What the CD wizard knows of one recorder: the device-information record the search fills from
// the recording library (names, drive letter, the disc inserted and its space, what the drive
// writes, its speeds), and the drive entry the sheet keeps for each recorder found.
#pragma once

#include "BurnSdk.h"
#include "Collections.h"

#include <vector>

// One speed a drive takes, in KB per second, with the label of the nearest table speed ("16.0x").
struct DriveSpeed {
    ULONG speed = 0;
    const char* label = nullptr;  // static text of the speed tables; null for none
};
using DriveSpeedList = std::vector<DriveSpeed>;

enum class DriveAddressKind : ULONG { scsi = 1, ansiName = 2, wideName = 3 };

struct DriveRecord {
    DriveAddressKind kind = DriveAddressKind::ansiName;
    UCHAR port = 0, bus = 0, target = 0, lun = 0;
    char deviceName[MAX_PATH] = {};     // "CdRom0"
    wchar_t deviceNameW[MAX_PATH] = {};
    void* grabber = nullptr;            // while a query runs
    char vendor[MAX_PATH] = {};
    char product[MAX_PATH] = {};
    char revision[MAX_PATH] = {};
    ULONG bufferSizeKB = 0;
    ULONG discType = STARBURN_DISC_NONE;
    wchar_t discTypeText[MAX_PATH] = {};
    wchar_t usedSpaceText[MAX_PATH] = {};
    bool blank = false;
    ULONGLONG freeBytes = 0;
    ULONGLONG usedBytes = 0;
    ULONGLONG freeSeconds = 0;          // free bytes / 153,600 (CD audio: 75 sectors of 2,048 a second)
    ULONG capacitySeconds = 0;
    wchar_t volumeLabel[MAX_PATH] = {};
    char driveLetter[16] = {};          // "D:"; empty when none maps to the drive
    STARBURN_SUPPORTED_MEDIA_FORMATS formats = {};
    BOOLEAN trackAtOnce = FALSE, sessionAtOnce = FALSE, raw16 = FALSE, raw96 = FALSE;
    DriveSpeedList writeSpeeds;
    DriveSpeedList readSpeeds;
    ULONG trackValue = 0;
    UCHAR trackFlag = 0;
    bool isCd = false, isDvd = false, isBd = false;
};

// A recorder the search found, as the sheet's array holds it.
class CDriveEntry : public CObject {
public:
    CMapStringToString m_errors;   // step key ("BurningPart") to the failure text
    CString m_id;                  // "ASPI_<candidate index>"
    CString m_displayName;         // "D: (VIRTUAL CD-RW 52X)"
    CString m_reserved;
    CString m_baseFileName;        // of the burned parts; the Confirm page sets it
    CString m_driveLetter;         // "D:"
    DriveSpeedList m_writeSpeeds;  // what the Options dialog offers
    DriveRecord m_record;

    // 0 for A to 25 for Z from the drive letter; -1 without an upper-case letter.
    int DriveNumber() const;
};

// The disc type's text ("CD-R", "Empty"); null above the table.
const wchar_t* DiscTypeText(ULONG type);
// Sets the record's disc type text and its CD, DVD and BD flags from its disc type.
void SetDiscTypeFields(DriveRecord& record);
// "D: (Vendor Product)", "Vendor Product" without a letter; empty when nothing names it.
CString DriveDisplayName(const DriveRecord& record);
// TRUE when any of the record's write capabilities is set.
bool DriveWritesAnything(const STARBURN_SUPPORTED_MEDIA_FORMATS& formats);
// The label of the table entry nearest to a speed the drive took (the lower one on a tie).
const char* NearestSpeedLabel(ULONG speed, const DriveSpeed* table, size_t count);
