// The CD-recording library (StarBurn.dll) as the suite declares it: the functions, constants,
// records and callback the CD wizard calls, linked through the import table (link the target
// `starburn`, and place the DLL beside the program with vesperlin_place_starburn()).
//
//     char text[1024] = {};
//     ULONG systemError = 0;
//     STARBURN_FAILURE_INFO failure = {};
//     if (StarBurn_UpStartEx(STARBURN_INTERFACE_VERSION, text, sizeof text, &systemError) != STARBURN_OK)
//         ...;                                           // the library cannot work here
//     void* grabber = nullptr;
//     if (StarBurn_CdvdBurnerGrabber_CreateEx(&grabber, text, sizeof text, &systemError, &failure,
//                                             OnEvent, context, "CdRom0", 0) == STARBURN_OK) {
//         ULONG type = StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(grabber);
//         StarBurn_Destroy(&grabber);                    // grabber is null afterwards
//     }
//     StarBurn_DownShut();
//
// Every function that can fail returns an exception number (STARBURN_OK when it did not), and
// those that take a text buffer put the reason there (always terminated, cut to the size given),
// the system error code in *systemError and the drive's sense data in the failure record. All
// functions use the C calling convention; a grabber is an opaque pointer-sized handle.
//
// The DLL built here is a virtual recorder for tests and development: its drives, their discs and
// the failures they show come from a fixture file, and what it writes goes into a folder.
//
// The fixture (an INI file) is named by the environment variable VESPERLIN_RECORDERS; without it,
// or without the file, there is no recorder. It is read on first use and again by
// StarBurn_UpStartEx and whenever the variable names another file; the state of drives and discs
// (the disc inserted, what was written, the failures still due) lasts until then.
//
//     [Recorders]
//     Count=2                  ; the drives, [Drive1] to [DriveN]
//     Log=calls.log            ; every call with its arguments (default: calls.log)
//     VirtualDisc=discs        ; written discs go to discs\Drive<i>\Disc<k> (default: discs)
//     FailUpStart=7            ; StarBurn_UpStartEx answers this exception number
//     [Drive1]
//     Address=1:0:0:0          ; SCSI port:bus:target:LUN (default 1:0:<i-1>:0)
//     Device=CdRom0            ; the device name it opens by (default CdRom<i-1>); a Wine drive
//                              ;   typed "cdrom" is \Device\CdRom<n> to QueryDosDevice
//     Letter=D:                ; absent: no drive letter
//     Vendor=VIRTUAL           ; cut to 8, product to 16, revision to 4 characters, as a drive
//     Product=CD-RW 52X        ;   reports them
//     Revision=1.00
//     BufferKB=2048
//     Writes=CD-R,CD-RW        ; media it writes (default CD-R,CD-RW; "none": a reader only)
//     WriteModes=TAO,SAO       ; of TAO, SAO, RAW16, RAW96 (default TAO,SAO)
//     ReadSpeeds=1760,4224     ; KB/s it takes; a request takes the highest not above it, or the
//     WriteSpeeds=706,1760     ;   lowest (defaults 7040 and 4224)
//     MaxReadSpeed=7040        ; what it offers (default: the highest it takes)
//     MaxWriteSpeed=1760
//     Discs=2                  ; [Drive1.Disc1] onward, in the order they are inserted; every
//                              ;   eject brings the next (none after the last; 0: no disc;
//                              ;   default 1, a blank CD-R)
//     FailCreate=all           ; the first N calls fail ("all": every call), counted per drive:
//     FailTestUnitReady=1      ;   Create (all three forms), TestUnitReady, SendOPC, CloseSession,
//     FailSendOPC=1            ;   Eject, SetBUP, SetSpeeds
//     [Drive1.Disc1]
//     Type=CD-R                ; a type text (STARBURN_DISC_TYPE names) or its number
//     Blank=1                  ; default: 1 when UsedBytes is 0
//     Closed=1                 ; nothing more can be written (default: 1 when not blank)
//     Tracks=0                 ; tracks already on it
//     UsedBytes=0              ; the drive counts 2,048 bytes a block
//     FreeBytes=737280000      ; default: the capacity's blocks less the used space (none when
//                              ;   closed; closing the session leaves none either)
//     Capacity=79:59:74        ; the last lead-out start, minutes:seconds:frames (default 79:59:74)
//     FailTrack=3              ; the disc's third write fails (test writes count)
//
// Writing: StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile takes a RIFF WAVE file of CD audio
// (PCM, 44,100 Hz, 16 bits, 2 channels) and refuses any other file. Each track written outside
// test mode lands in the disc's folder as "Track<nn>.wav" as the drive holds it: the samples padded
// with silence to whole 2,352-byte sectors, under a plain 44-byte WAV header; every track costs
// its sectors and a 150-block gap of the disc's free space. A test write checks the file, reports
// progress and writes nothing. The log (UTF-8, one line a call) reads
//     StarBurn_CdvdBurnerGrabber_TestUnitReady grabber=2 drive=1 textSize=1024 -> 0
//     StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile grabber=2 drive=1 textSize=1024 file="C:\t\a.wav" kind=0 test=0 reserved=0 close=1 cache=5 -> 0 track=1
// with the exception number after "->" (and what the call gave back after it).
#pragma once

#include <windows.h>

#ifdef STARBURN_BUILDING
#define STARBURN_API extern "C" __declspec(dllexport)
#else
#define STARBURN_API extern "C" __declspec(dllimport)
#endif
#define STARBURN_CALL __cdecl

// The version of these declarations; StarBurn_UpStartEx refuses another.
#define STARBURN_INTERFACE_VERSION 0x00010000UL

// Exception numbers.
enum STARBURN_EXCEPTION : ULONG {
    STARBURN_OK = 0,
    STARBURN_EXCEPTION_INVALID_PARAMETER = 1,  // a null or unknown grabber, a short record, a bad value
    STARBURN_EXCEPTION_NO_DEVICE = 2,          // no drive answers to that address or name
    STARBURN_EXCEPTION_NOT_READY = 3,          // no disc, or the drive is not ready
    STARBURN_EXCEPTION_DEVICE_FAILURE = 4,     // the drive reported a failure (sense data in the record)
    STARBURN_EXCEPTION_FILE = 5,               // the file to write cannot be read
    STARBURN_EXCEPTION_NOT_CD_AUDIO = 6,       // the file is not 44,100 Hz 16-bit stereo PCM WAVE
    STARBURN_EXCEPTION_NO_SPACE = 7,           // the disc has no room for it (space or 99 tracks)
    STARBURN_EXCEPTION_NOT_WRITABLE = 8,       // the disc is closed, read-only or not a CD for audio
    STARBURN_EXCEPTION_NOT_SUPPORTED = 9,      // the drive cannot do it (write mode, medium, version)
};

// Disc types (StarBurn_CdvdBurnerGrabber_GetInsertedDiscType).
enum STARBURN_DISC_TYPE : ULONG {
    STARBURN_DISC_UNKNOWN = 0,
    STARBURN_DISC_CDROM = 1,
    STARBURN_DISC_CDR = 2,
    STARBURN_DISC_CDRW = 3,
    STARBURN_DISC_DVDROM = 4,
    STARBURN_DISC_DVDR = 5,
    STARBURN_DISC_DVDRAM = 6,
    STARBURN_DISC_DVDRW_RESTRICTED = 7,
    STARBURN_DISC_DVDRW_SEQUENTIAL = 8,
    STARBURN_DISC_DVDPLUSRW = 9,
    STARBURN_DISC_DDCDROM = 10,
    STARBURN_DISC_DDCDR = 11,
    STARBURN_DISC_DDCDRW = 12,
    STARBURN_DISC_DVDPLUSR = 13,
    STARBURN_DISC_NONE = 14,
    STARBURN_DISC_DVDPLUSR_DL = 15,
    STARBURN_DISC_DVDR_DL = 16,
    STARBURN_DISC_BDROM = 17,
    STARBURN_DISC_BDR = 18,
    STARBURN_DISC_BDRE = 19,
    STARBURN_DISC_HDDVDROM = 20,
    STARBURN_DISC_HDDVDR = 21,
    STARBURN_DISC_HDDVDRW = 22,
};

// Callback reasons.
enum STARBURN_CALLBACK_REASON : ULONG {
    STARBURN_CALLBACK_TRACK_BEGIN = 5,     // value1 -> ULONG track number, value2 -> ULONG its seconds
    STARBURN_CALLBACK_CACHE_FILL = 6,      // value1 -> ULONG bytes in the drive's cache so far
    STARBURN_CALLBACK_CACHE_FULL = 7,      // the cache is full; writing starts
    STARBURN_CALLBACK_DEVICE_FOUND = 10,   // value1 -> STARBURN_DEVICE_ADDRESS, value2 -> char description
    STARBURN_CALLBACK_TRACK_PROGRESS = 12, // value1 -> ULONG track number, value2 -> ULONG seconds written
};

// Called on the caller's thread from inside the call that reports; context is the one given
// when the grabber was created (or to StarBurn_FindDevice).
typedef void(STARBURN_CALL* STARBURN_CALLBACK)(ULONG reason, void* context, void* value1, void* value2);

// The kinds of device StarBurn_FindDevice looks for (a mask) and its only option.
#define STARBURN_FIND_READERS 0x01UL
#define STARBURN_FIND_RECORDERS 0x04UL
#define STARBURN_FIND_DEFAULT 0x00UL

// The last argument of the Create functions: 1 opens the drive shared (for queries), 0 for the
// caller alone (to write).
#define STARBURN_OPEN_EXCLUSIVE 0UL
#define STARBURN_OPEN_SHARED 1UL

// StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace's unit.
#define STARBURN_SPACE_BYTES 3UL

// StarBurn_CdvdBurnerGrabber_SetSpeeds: the drive's highest speed.
#define STARBURN_SPEED_MAX 0xFFFFUL

// StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile's track kind.
#define STARBURN_TRACK_AUDIO 0UL

// Track 255 of StarBurn_CdvdBurnerGrabber_GetTrackInformation: the next track to write.
#define STARBURN_NEXT_TRACK 255UL

// Buffers of StarBurn_CdvdBurnerGrabber_GetDeviceInformation hold at least these (with NUL).
#define STARBURN_VENDOR_SIZE 9
#define STARBURN_PRODUCT_SIZE 17
#define STARBURN_REVISION_SIZE 5
// StarBurn_GetDeviceNameByDeviceAddress's buffer ("D:").
#define STARBURN_DEVICE_NAME_SIZE 16

// The drive's sense data and the call that failed.
struct STARBURN_FAILURE_INFO {
    UCHAR senseKey;
    UCHAR additionalSenseCode;
    UCHAR additionalSenseQualifier;
    UCHAR reserved;
    ULONG exception;
    char call[64];  // the function's name
};

struct STARBURN_DEVICE_ADDRESS {
    UCHAR size;  // sizeof(STARBURN_DEVICE_ADDRESS)
    UCHAR port;
    UCHAR bus;
    UCHAR target;
    UCHAR lun;
};

// What a drive reads and writes. size must be set to sizeof before the call.
struct STARBURN_SUPPORTED_MEDIA_FORMATS {
    USHORT size;
    UCHAR reserved2[2];
    UCHAR readCdRom;         // 4
    UCHAR readCdR;           // 5
    UCHAR writeCdR;          // 6
    UCHAR readCdRw;          // 7
    UCHAR writeCdRw;         // 8
    UCHAR readDvdRom;        // 9
    UCHAR readDvdR;          // 10
    UCHAR writeDvdR;         // 11
    UCHAR readDvdRam;        // 12
    UCHAR writeDvdRam;       // 13
    UCHAR readDvdRw;         // 14
    UCHAR writeDvdRw;        // 15
    UCHAR reserved16[2];
    UCHAR readDvdPlusRw;     // 18
    UCHAR writeDvdPlusRw;    // 19
    UCHAR readDvdPlusR;      // 20
    UCHAR writeDvdPlusR;     // 21
    UCHAR reserved22[2];
    UCHAR readDvdPlusRDl;    // 24
    UCHAR writeDvdPlusRDl;   // 25
    UCHAR reserved26[3];
    UCHAR readDvdRDl;        // 29
    UCHAR writeDvdRDl;       // 30
    UCHAR readBdR;           // 31
    UCHAR writeBdR;          // 32
    UCHAR readBdRe;          // 33
    UCHAR writeBdRe;         // 34
    UCHAR readHdDvdR;        // 35
    UCHAR writeHdDvdR;       // 36
    UCHAR readBdRom;         // 37
    UCHAR readHdDvdRom;      // 38
    UCHAR reserved39[7];
};

// The next track to write (track 255).
struct STARBURN_TRACK_INFORMATION {
    USHORT size;
    UCHAR trackNumber;               // 2
    UCHAR sessionNumber;             // 3
    UCHAR reserved4[4];
    UCHAR blank;                     // 8
    UCHAR reserved9[2];
    UCHAR nextWritableAddressValid;  // 11: the disc takes another track
    ULONG trackStartAddress;         // 12
    ULONG nextWritableAddress;       // 16
    ULONG freeBlocks;                // 20
};

struct STARBURN_DISC_INFORMATION {
    UCHAR discStatus;  // 0 blank, 1 appendable, 2 complete
    UCHAR erasable;
    UCHAR firstTrack;
    UCHAR lastTrack;
    UCHAR sessions;
    UCHAR lastLeadOutMinutes;  // the last possible lead-out start: the disc's capacity
    UCHAR lastLeadOutSeconds;
    UCHAR lastLeadOutFrames;
};

// Start-up and shut-down of the library.
STARBURN_API ULONG STARBURN_CALL StarBurn_UpStartEx(ULONG interfaceVersion, char* exceptionText, ULONG exceptionTextSize,
                                                    ULONG* systemError);
STARBURN_API void STARBURN_CALL StarBurn_DownShut();

// Calls callback(STARBURN_CALLBACK_DEVICE_FOUND, context, address, description) once a device.
STARBURN_API ULONG STARBURN_CALL StarBurn_FindDevice(ULONG kinds, ULONG options, STARBURN_CALLBACK callback, void* context);
// The drive letter of the drive at a SCSI address ("D:").
STARBURN_API ULONG STARBURN_CALL StarBurn_GetDeviceNameByDeviceAddress(UCHAR port, UCHAR bus, UCHAR target, UCHAR lun,
                                                                       char* deviceName);
STARBURN_API void STARBURN_CALL StarBurn_SetFastReadTOC(ULONG enable);

// Opening a drive: by SCSI address, ANSI device name or UTF-16 device name.
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_Create(void** grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                   ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                   STARBURN_CALLBACK callback, void* context, UCHAR port,
                                                                   UCHAR bus, UCHAR target, UCHAR lun, ULONG shared);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_CreateEx(void** grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                     ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                     STARBURN_CALLBACK callback, void* context,
                                                                     const char* deviceName, ULONG shared);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_CreateExEx(void** grabber, char* exceptionText,
                                                                       ULONG exceptionTextSize, ULONG* systemError,
                                                                       STARBURN_FAILURE_INFO* failure,
                                                                       STARBURN_CALLBACK callback, void* context,
                                                                       const wchar_t* deviceName, ULONG reserved, ULONG shared);
// Closes a grabber and clears *grabber (a null or closed one is ignored).
STARBURN_API void STARBURN_CALL StarBurn_Destroy(void** grabber);

// Queries.
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDeviceInformation(void* grabber, char* vendor, char* product,
                                                                                 char* revision, ULONG* bufferSizeKB);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(void* grabber);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDiscUsedSpace(void* grabber, char* exceptionText,
                                                                             ULONG exceptionTextSize, ULONG* systemError,
                                                                             STARBURN_FAILURE_INFO* failure, ULONGLONG* usedBytes);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(void* grabber, ULONG unit, ULONG* low, ULONG* high);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_IsDiscBlank(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                        ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                        BOOLEAN* blank);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetTrackInformation(void* grabber, char* exceptionText,
                                                                                ULONG exceptionTextSize, ULONG* systemError,
                                                                                STARBURN_FAILURE_INFO* failure, ULONG track,
                                                                                STARBURN_TRACK_INFORMATION* information);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDiscInformation(void* grabber, char* exceptionText,
                                                                               ULONG exceptionTextSize, ULONG* systemError,
                                                                               STARBURN_FAILURE_INFO* failure,
                                                                               STARBURN_DISC_INFORMATION* information);
// The block address of a minutes:seconds:frames position; withLeadIn 1 counts from the start of
// the program area (150 blocks less), 0 from the start of the disc.
STARBURN_API LONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_MSFToLBA(UCHAR minutes, UCHAR seconds, UCHAR frames, ULONG withLeadIn);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(
    void* grabber, char* exceptionText, ULONG exceptionTextSize, ULONG* systemError, STARBURN_FAILURE_INFO* failure,
    STARBURN_SUPPORTED_MEDIA_FORMATS* formats);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
    void* grabber, char* exceptionText, ULONG exceptionTextSize, ULONG* systemError, STARBURN_FAILURE_INFO* failure,
    BOOLEAN* trackAtOnce, BOOLEAN* sessionAtOnce, BOOLEAN* raw16, BOOLEAN* raw96);
// Speeds in KB/s.
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetSpeeds(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                      ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                      ULONG* currentRead, ULONG* maximumRead,
                                                                      ULONG* currentWrite, ULONG* maximumWrite);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_SetSpeeds(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                      ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                      ULONG readSpeed, ULONG writeSpeed);

// Writing.
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_TestUnitReady(void* grabber, char* exceptionText,
                                                                          ULONG exceptionTextSize, ULONG* systemError,
                                                                          STARBURN_FAILURE_INFO* failure);
// Buffer-underrun protection on (1) or off (0).
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_SetBUP(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                   ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                   ULONG enable);
// Optimum power calibration for the disc inserted.
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_SendOPC(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                    ULONG* systemError, STARBURN_FAILURE_INFO* failure);
// Writes a file as one track in track-at-once mode: kind STARBURN_TRACK_AUDIO (a CD-audio WAVE
// file), testWrite nonzero simulates, reserved 0, closeTrack 1, cacheMegabytes the cache to fill
// before writing starts. Calls the grabber's callback as it goes.
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
    void* grabber, char* exceptionText, ULONG exceptionTextSize, ULONG* systemError, STARBURN_FAILURE_INFO* failure,
    const char* fileName, ULONG kind, ULONG testWrite, ULONG reserved, ULONG closeTrack, ULONG cacheMegabytes);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_CloseSession(void* grabber, char* exceptionText,
                                                                         ULONG exceptionTextSize, ULONG* systemError,
                                                                         STARBURN_FAILURE_INFO* failure);
STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_Eject(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                  ULONG* systemError, STARBURN_FAILURE_INFO* failure);
