#include "BurnJob.h"
#include "BurnSdk.h"

void QueryBurnDisc(BurnDrive& drive)
{
    drive.blank = FALSE;
    drive.takesTrack = FALSE;
    drive.freeBytes = 0;
    char text[1024] = {};
    ULONG systemError = 0;
    STARBURN_FAILURE_INFO failure = {};
    void* grabber = nullptr;
    const RecorderAddress& a = drive.address;
    ULONG e = 0;
    if (a.kind == 1) {
        e = StarBurn_CdvdBurnerGrabber_Create(&grabber, text, sizeof text, &systemError, &failure, nullptr, nullptr, a.port,
                                              a.bus, a.target, a.lun, STARBURN_OPEN_SHARED);
    } else {
        const std::string device = a.deviceName.ToNarrow(CP_ACP);
        e = StarBurn_CdvdBurnerGrabber_CreateEx(&grabber, text, sizeof text, &systemError, &failure, nullptr, nullptr,
                                                device.c_str(), STARBURN_OPEN_SHARED);
    }
    if (e != STARBURN_OK || !grabber)
        return;
    BOOLEAN blank = FALSE;
    if (StarBurn_CdvdBurnerGrabber_IsDiscBlank(grabber, text, sizeof text, &systemError, &failure, &blank) == STARBURN_OK)
        drive.blank = blank ? TRUE : FALSE;
    STARBURN_TRACK_INFORMATION track = {};
    track.size = sizeof track;
    if (StarBurn_CdvdBurnerGrabber_GetTrackInformation(grabber, text, sizeof text, &systemError, &failure,
                                                       STARBURN_NEXT_TRACK, &track) == STARBURN_OK)
        drive.takesTrack = track.nextWritableAddressValid ? TRUE : FALSE;
    ULONG low = 0, high = 0;
    if (StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(grabber, STARBURN_SPACE_BYTES, &low, &high) == STARBURN_OK)
        drive.freeBytes = (static_cast<ULONGLONG>(high) << 32) | low;
    StarBurn_Destroy(&grabber);
}
