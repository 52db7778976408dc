// The library's functions over the virtual recorder.
#include "AudioTrack.h"
#include "BurnSdk.h"
#include "Recorder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace burnsdk;

namespace {

// One call: its log line, and what it gives back on failure.
class Report {
public:
    Report(const char* name, char* text = nullptr, ULONG textSize = 0, ULONG* systemError = nullptr,
           STARBURN_FAILURE_INFO* failure = nullptr)
        : m_name(name), m_text(text), m_textSize(textSize), m_systemError(systemError), m_failure(failure), m_line(name)
    {
    }

    Report& Arg(const char* key, ULONGLONG value)
    {
        m_line += std::string(" ") + key + "=" + std::to_string(value);
        return *this;
    }
    Report& Arg(const char* key, const std::string& text)
    {
        m_line += std::string(" ") + key + "=" + text;
        return *this;
    }
    // The grabber's and its drive's numbers, and the text buffer's size.
    Report& Grabbed(const Grabber& grabber, const Drive& drive)
    {
        Arg("grabber", grabber.id).Arg("drive", static_cast<ULONGLONG>(drive.index));
        return m_text ? Arg("textSize", m_textSize) : *this;
    }
    // What the call gives back, written after the result.
    void Out(const char* key, ULONGLONG value) { m_out += std::string(" ") + key + "=" + std::to_string(value); }
    void Out(const char* key, const std::string& text) { m_out += std::string(" ") + key + "=" + text; }

    ULONG Fail(ULONG exception, const std::string& reason, ULONG systemError = 0, UCHAR senseKey = 0, UCHAR asc = 0,
               UCHAR ascq = 0)
    {
        if (m_text && m_textSize > 0) {
            const size_t length = std::min<size_t>(reason.size(), m_textSize - 1);
            std::memcpy(m_text, reason.data(), length);
            m_text[length] = '\0';
        }
        if (m_systemError)
            *m_systemError = systemError;
        if (m_failure) {
            *m_failure = STARBURN_FAILURE_INFO{};
            m_failure->senseKey = senseKey;
            m_failure->additionalSenseCode = asc;
            m_failure->additionalSenseQualifier = ascq;
            m_failure->exception = exception;
            snprintf(m_failure->call, sizeof m_failure->call, "%s", m_name);
        }
        return exception;
    }

    ULONG Done(Recorder& recorder, ULONG result)
    {
        Log(recorder, m_line + " -> " + std::to_string(result) + m_out);
        return result;
    }

private:
    const char* m_name;
    char* m_text;
    ULONG m_textSize;
    ULONG* m_systemError;
    STARBURN_FAILURE_INFO* m_failure;
    std::string m_line;
    std::string m_out;
};

ULONG NotOpen(Report& report)
{
    return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "the grabber is not open", ERROR_INVALID_HANDLE);
}

ULONG NoDisc(Report& report)
{
    return report.Fail(STARBURN_EXCEPTION_NOT_READY, "no disc in the drive", ERROR_NOT_READY, 0x02, 0x3A, 0x00);
}

// A failure the fixture asks of this call.
ULONG Injected(Report& report, const char* what, UCHAR senseKey, UCHAR asc, UCHAR ascq)
{
    return report.Fail(STARBURN_EXCEPTION_DEVICE_FAILURE, std::string(what) + " failed (the drive reported an error)",
                       ERROR_IO_DEVICE, senseKey, asc, ascq);
}

bool Due(Drive& drive, Call call)
{
    return drive.failures[static_cast<int>(call)].Due();
}

// The speed a drive takes when asked for one: the highest it takes not above it, else its lowest.
ULONG Take(const std::vector<ULONG>& speeds, ULONG requested)
{
    if (requested >= STARBURN_SPEED_MAX)
        return speeds.back();
    ULONG taken = speeds.front();
    for (ULONG speed : speeds) {
        if (speed <= requested)
            taken = speed;
    }
    return taken;
}

bool IsAudioCd(ULONG type)
{
    return type == STARBURN_DISC_CDR || type == STARBURN_DISC_CDRW || type == STARBURN_DISC_DDCDR ||
           type == STARBURN_DISC_DDCDRW;
}

bool IsRecordable(ULONG type)
{
    return type != STARBURN_DISC_UNKNOWN && type != STARBURN_DISC_CDROM && type != STARBURN_DISC_DVDROM &&
           type != STARBURN_DISC_DDCDROM && type != STARBURN_DISC_NONE && type != STARBURN_DISC_BDROM &&
           type != STARBURN_DISC_HDDVDROM;
}

// Opens a grabber on the drive at index (or reports why not).
ULONG OpenGrabber(Session& session, Report& report, int index, void** handle, STARBURN_CALLBACK callback, void* context,
                  ULONG shared)
{
    if (!handle)
        return report.Done(*session, report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no place for the grabber",
                                                 ERROR_INVALID_PARAMETER));
    *handle = nullptr;
    report.Arg("shared", shared);
    if (index < 0)
        return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NO_DEVICE, "no such device", ERROR_FILE_NOT_FOUND));
    Drive& drive = session->drives[static_cast<size_t>(index)];
    report.Arg("drive", static_cast<ULONGLONG>(drive.index));
    if (Due(drive, Call::Create))
        return report.Done(*session, Injected(report, "opening the device", 0x02, 0x04, 0x00));
    Grabber* grabber = new Grabber;
    grabber->id = session->nextGrabber++;
    grabber->drive = index;
    grabber->callback = callback;
    grabber->context = context;
    grabber->readSpeed = drive.readSpeeds.back();
    grabber->writeSpeed = drive.writeSpeeds.back();
    session->grabbers.push_back(grabber);
    *handle = grabber;
    report.Out("grabber", grabber->id);
    return report.Done(*session, STARBURN_OK);
}

int DriveNamed(Recorder& recorder, const std::wstring& name)
{
    for (size_t i = 0; i < recorder.drives.size(); ++i) {
        if (CompareStringOrdinal(recorder.drives[i].device.c_str(), -1, name.c_str(), -1, TRUE) == CSTR_EQUAL)
            return static_cast<int>(i);
    }
    return -1;
}

int DriveAt(Recorder& recorder, UCHAR port, UCHAR bus, UCHAR target, UCHAR lun)
{
    const UCHAR address[4] = {port, bus, target, lun};
    for (size_t i = 0; i < recorder.drives.size(); ++i) {
        if (std::memcmp(recorder.drives[i].address, address, sizeof address) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

std::string AddressText(UCHAR port, UCHAR bus, UCHAR target, UCHAR lun)
{
    char text[32];
    snprintf(text, sizeof text, "%u:%u:%u:%u", port, bus, target, lun);
    return text;
}

void CopyText(char* target, size_t size, const std::string& text)
{
    snprintf(target, size, "%s", text.c_str());
}

ULONGLONG FreeBlocks(const Disc& disc)
{
    return disc.freeBytes / kDataBlockBytes;
}

// The calls that only report a disc's state: the grabber, its drive and the inserted disc.
struct Target {
    Grabber* grabber = nullptr;
    Drive* drive = nullptr;
    Disc* disc = nullptr;
};

// Finds the call's grabber and drive; FALSE (with the failure made) when it is not open.
bool Resolve(Session& session, Report& report, void* handle, Target* target)
{
    target->grabber = session.Find(handle);
    if (!target->grabber) {
        NotOpen(report);
        return false;
    }
    target->drive = &session->drives[static_cast<size_t>(target->grabber->drive)];
    target->disc = target->drive->InsertedDisc();
    report.Grabbed(*target->grabber, *target->drive);
    return true;
}

std::wstring DiscFolder(const Drive& drive)
{
    return drive.discFolder + L"\\Disc" + std::to_wstring(drive.inserted + 1);
}

void MakeFolders(const std::wstring& path)
{
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\')
            CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

// Runs a call on an open grabber: the body's result is logged and returned; a handle that is not
// open gives notOpen.
template <class Body>
ULONG OnGrabber(Report& report, void* grabber, Body&& body, ULONG notOpen = STARBURN_EXCEPTION_INVALID_PARAMETER)
{
    Session session;
    Target t;
    if (!Resolve(session, report, grabber, &t))
        return report.Done(*session, notOpen);
    return report.Done(*session, body(t));
}

}  // namespace

STARBURN_API ULONG STARBURN_CALL StarBurn_UpStartEx(ULONG interfaceVersion, char* exceptionText, ULONG exceptionTextSize,
                                                    ULONG* systemError)
{
    Session session(true);
    Report report("StarBurn_UpStartEx", exceptionText, exceptionTextSize, systemError);
    report.Arg("version", interfaceVersion).Arg("textSize", exceptionTextSize);
    if (interfaceVersion != STARBURN_INTERFACE_VERSION)
        return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NOT_SUPPORTED, "another interface version",
                                                 ERROR_REVISION_MISMATCH));
    if (session->failUpStart != 0)
        return report.Done(*session, report.Fail(session->failUpStart, "the library cannot start", ERROR_DLL_INIT_FAILED));
    return report.Done(*session, STARBURN_OK);
}

STARBURN_API void STARBURN_CALL StarBurn_DownShut()
{
    Session session;
    Report report("StarBurn_DownShut");
    report.Arg("open", session->grabbers.size());
    for (Grabber* grabber : session->grabbers)
        delete grabber;
    session->grabbers.clear();
    report.Done(*session, STARBURN_OK);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_FindDevice(ULONG kinds, ULONG options, STARBURN_CALLBACK callback, void* context)
{
    std::vector<STARBURN_DEVICE_ADDRESS> found;
    std::vector<std::string> descriptions;
    {
        Session session;
        Report report("StarBurn_FindDevice");
        report.Arg("kinds", kinds).Arg("options", options);
        if (!callback)
            return report.Done(*session, report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no callback"));
        for (const Drive& drive : session->drives) {
            const bool recorder = drive.IsRecorder();
            if (!((kinds & STARBURN_FIND_READERS) || ((kinds & STARBURN_FIND_RECORDERS) && recorder)))
                continue;
            STARBURN_DEVICE_ADDRESS address = {sizeof(STARBURN_DEVICE_ADDRESS), drive.address[0], drive.address[1],
                                               drive.address[2], drive.address[3]};
            found.push_back(address);
            descriptions.push_back(drive.vendor + " " + drive.product + " " + drive.revision);
        }
        report.Out("found", found.size());
        report.Done(*session, STARBURN_OK);
    }
    for (size_t i = 0; i < found.size(); ++i)
        callback(STARBURN_CALLBACK_DEVICE_FOUND, context, &found[i], const_cast<char*>(descriptions[i].c_str()));
    return STARBURN_OK;
}

STARBURN_API ULONG STARBURN_CALL StarBurn_GetDeviceNameByDeviceAddress(UCHAR port, UCHAR bus, UCHAR target, UCHAR lun,
                                                                       char* deviceName)
{
    Session session;
    Report report("StarBurn_GetDeviceNameByDeviceAddress");
    report.Arg("address", AddressText(port, bus, target, lun));
    if (!deviceName)
        return report.Done(*session, STARBURN_EXCEPTION_INVALID_PARAMETER);
    deviceName[0] = '\0';
    const int index = DriveAt(*session, port, bus, target, lun);
    if (index < 0 || session->drives[static_cast<size_t>(index)].letter.empty())
        return report.Done(*session, STARBURN_EXCEPTION_NO_DEVICE);
    CopyText(deviceName, STARBURN_DEVICE_NAME_SIZE, session->drives[static_cast<size_t>(index)].letter);
    report.Out("name", Quoted(deviceName));
    return report.Done(*session, STARBURN_OK);
}

STARBURN_API void STARBURN_CALL StarBurn_SetFastReadTOC(ULONG enable)
{
    Session session;
    Report report("StarBurn_SetFastReadTOC");
    report.Arg("enable", enable).Done(*session, STARBURN_OK);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_Create(void** grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                   ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                   STARBURN_CALLBACK callback, void* context, UCHAR port,
                                                                   UCHAR bus, UCHAR target, UCHAR lun, ULONG shared)
{
    Session session;
    Report report("StarBurn_CdvdBurnerGrabber_Create", exceptionText, exceptionTextSize, systemError, failure);
    report.Arg("textSize", exceptionTextSize).Arg("address", AddressText(port, bus, target, lun));
    return OpenGrabber(session, report, DriveAt(*session, port, bus, target, lun), grabber, callback, context, shared);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_CreateEx(void** grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                     ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                     STARBURN_CALLBACK callback, void* context,
                                                                     const char* deviceName, ULONG shared)
{
    Session session;
    Report report("StarBurn_CdvdBurnerGrabber_CreateEx", exceptionText, exceptionTextSize, systemError, failure);
    const std::wstring name = Wide(deviceName);
    report.Arg("textSize", exceptionTextSize).Arg("device", Quoted(Narrow(name)));
    return OpenGrabber(session, report, DriveNamed(*session, name), grabber, callback, context, shared);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_CreateExEx(void** grabber, char* exceptionText,
                                                                       ULONG exceptionTextSize, ULONG* systemError,
                                                                       STARBURN_FAILURE_INFO* failure,
                                                                       STARBURN_CALLBACK callback, void* context,
                                                                       const wchar_t* deviceName, ULONG reserved, ULONG shared)
{
    Session session;
    Report report("StarBurn_CdvdBurnerGrabber_CreateExEx", exceptionText, exceptionTextSize, systemError, failure);
    const std::wstring name = deviceName ? deviceName : L"";
    report.Arg("textSize", exceptionTextSize).Arg("device", Quoted(Narrow(name))).Arg("reserved", reserved);
    return OpenGrabber(session, report, DriveNamed(*session, name), grabber, callback, context, shared);
}

STARBURN_API void STARBURN_CALL StarBurn_Destroy(void** grabber)
{
    Session session;
    Report report("StarBurn_Destroy");
    if (!grabber) {
        report.Done(*session, STARBURN_EXCEPTION_INVALID_PARAMETER);
        return;
    }
    Grabber* open = session.Find(*grabber);
    *grabber = nullptr;
    if (!open) {
        report.Done(*session, STARBURN_EXCEPTION_INVALID_PARAMETER);
        return;
    }
    report.Arg("grabber", open->id);
    session->grabbers.erase(std::find(session->grabbers.begin(), session->grabbers.end(), open));
    delete open;
    report.Done(*session, STARBURN_OK);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDeviceInformation(void* grabber, char* vendor, char* product,
                                                                                 char* revision, ULONG* bufferSizeKB)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetDeviceInformation");
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!vendor || !product || !revision || !bufferSizeKB)
            return STARBURN_EXCEPTION_INVALID_PARAMETER;
        CopyText(vendor, STARBURN_VENDOR_SIZE, t.drive->vendor);
        CopyText(product, STARBURN_PRODUCT_SIZE, t.drive->product);
        CopyText(revision, STARBURN_REVISION_SIZE, t.drive->revision);
        *bufferSizeKB = t.drive->bufferKB;
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(void* grabber)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetInsertedDiscType");
    return OnGrabber(
        report, grabber, [](Target& t) -> ULONG { return t.disc ? t.disc->type : static_cast<ULONG>(STARBURN_DISC_NONE); },
        STARBURN_DISC_UNKNOWN);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDiscUsedSpace(void* grabber, char* exceptionText,
                                                                             ULONG exceptionTextSize, ULONG* systemError,
                                                                             STARBURN_FAILURE_INFO* failure, ULONGLONG* usedBytes)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetDiscUsedSpace",
                  exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!usedBytes)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no place for the result");
        if (!t.disc)
            return NoDisc(report);
        *usedBytes = t.disc->usedBytes;
        report.Out("used", *usedBytes);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(void* grabber, ULONG unit, ULONG* low, ULONG* high)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace");
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        report.Arg("unit", unit);
        if (!low || !high || unit != STARBURN_SPACE_BYTES)
            return STARBURN_EXCEPTION_INVALID_PARAMETER;
        if (!t.disc)
            return STARBURN_EXCEPTION_NOT_READY;
        *low = static_cast<ULONG>(t.disc->freeBytes);
        *high = static_cast<ULONG>(t.disc->freeBytes >> 32);
        report.Out("free", t.disc->freeBytes);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_IsDiscBlank(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                        ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                        BOOLEAN* blank)
{
    Report report("StarBurn_CdvdBurnerGrabber_IsDiscBlank", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!blank)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no place for the result");
        if (!t.disc)
            return NoDisc(report);
        *blank = t.disc->blank ? TRUE : FALSE;
        report.Out("blank", *blank);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetTrackInformation(void* grabber, char* exceptionText,
                                                                                ULONG exceptionTextSize, ULONG* systemError,
                                                                                STARBURN_FAILURE_INFO* failure, ULONG track,
                                                                                STARBURN_TRACK_INFORMATION* information)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetTrackInformation",
                  exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        report.Arg("track", track);
        if (!information || track != STARBURN_NEXT_TRACK)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "only the next track is known");
        if (!t.disc)
            return NoDisc(report);
        const Disc& disc = *t.disc;
        const bool writable = IsRecordable(disc.type) && !disc.closed && disc.tracks < kMaxTracks;
        const ULONG usedBlocks = static_cast<ULONG>(disc.usedBytes / kDataBlockBytes);
        *information = STARBURN_TRACK_INFORMATION{};
        information->size = sizeof *information;
        information->trackNumber = static_cast<UCHAR>(disc.tracks + 1);
        information->sessionNumber = 1;
        information->blank = 1;
        information->nextWritableAddressValid = writable ? 1 : 0;
        information->trackStartAddress = usedBlocks;
        information->nextWritableAddress = writable ? usedBlocks + kTrackGapBlocks : 0;
        information->freeBlocks = static_cast<ULONG>(FreeBlocks(disc));
        report.Out("writable", writable ? 1 : 0);
        report.Out("next", information->nextWritableAddress);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetDiscInformation(void* grabber, char* exceptionText,
                                                                               ULONG exceptionTextSize, ULONG* systemError,
                                                                               STARBURN_FAILURE_INFO* failure,
                                                                               STARBURN_DISC_INFORMATION* information)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetDiscInformation",
                  exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!information)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no place for the result");
        if (!t.disc)
            return NoDisc(report);
        const Disc& disc = *t.disc;
        *information = STARBURN_DISC_INFORMATION{};
        information->discStatus = disc.blank ? 0 : disc.closed ? 2 : 1;
        information->erasable = disc.type == STARBURN_DISC_CDRW || disc.type == STARBURN_DISC_DDCDRW ||
                                        disc.type == STARBURN_DISC_DVDPLUSRW || disc.type == STARBURN_DISC_BDRE
                                    ? 1
                                    : 0;
        information->firstTrack = 1;
        information->lastTrack = static_cast<UCHAR>(disc.tracks);
        information->sessions = disc.blank ? 0 : 1;
        information->lastLeadOutMinutes = disc.capacity[0];
        information->lastLeadOutSeconds = disc.capacity[1];
        information->lastLeadOutFrames = disc.capacity[2];
        report.Out("capacity", std::to_string(disc.capacity[0]) + ":" + std::to_string(disc.capacity[1]) + ":" +
                                   std::to_string(disc.capacity[2]));
        return STARBURN_OK;
    });
}

STARBURN_API LONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_MSFToLBA(UCHAR minutes, UCHAR seconds, UCHAR frames, ULONG withLeadIn)
{
    const LONG address = (static_cast<LONG>(minutes) * 60 + seconds) * 75 + frames - (withLeadIn ? kTrackGapBlocks : 0);
    Session session;
    Report report("StarBurn_CdvdBurnerGrabber_MSFToLBA");
    report.Arg("minutes", minutes).Arg("seconds", seconds).Arg("frames", frames).Arg("withLeadIn", withLeadIn);
    report.Out("address", std::to_string(address));
    report.Done(*session, STARBURN_OK);
    return address;
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(
    void* grabber, char* exceptionText, ULONG exceptionTextSize, ULONG* systemError, STARBURN_FAILURE_INFO* failure,
    STARBURN_SUPPORTED_MEDIA_FORMATS* formats)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats",
                  exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!formats)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no record");
        report.Arg("size", formats->size);
        if (formats->size < sizeof *formats)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "the record is too small");
        *formats = t.drive->formats;
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(
    void* grabber, char* exceptionText, ULONG exceptionTextSize, ULONG* systemError, STARBURN_FAILURE_INFO* failure,
    BOOLEAN* trackAtOnce, BOOLEAN* sessionAtOnce, BOOLEAN* raw16, BOOLEAN* raw96)
{
    Report report("StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes",
                  exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        BOOLEAN* outs[4] = {trackAtOnce, sessionAtOnce, raw16, raw96};
        for (int i = 0; i < 4; ++i) {
            if (!outs[i])
                return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no place for a result");
        }
        for (int i = 0; i < 4; ++i)
            *outs[i] = t.drive->modes[i];
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_GetSpeeds(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                      ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                      ULONG* currentRead, ULONG* maximumRead,
                                                                      ULONG* currentWrite, ULONG* maximumWrite)
{
    Report report("StarBurn_CdvdBurnerGrabber_GetSpeeds", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!currentRead || !maximumRead || !currentWrite || !maximumWrite)
            return report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "no place for a result");
        *currentRead = t.grabber->readSpeed;
        *maximumRead = t.drive->maxRead;
        *currentWrite = t.grabber->writeSpeed;
        *maximumWrite = t.drive->maxWrite;
        report.Out("read", *currentRead);
        report.Out("write", *currentWrite);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_SetSpeeds(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                      ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                      ULONG readSpeed, ULONG writeSpeed)
{
    Report report("StarBurn_CdvdBurnerGrabber_SetSpeeds", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        report.Arg("read", readSpeed).Arg("write", writeSpeed);
        if (Due(*t.drive, Call::SetSpeeds))
            return Injected(report, "setting the speeds", 0x05, 0x24, 0x00);
        t.grabber->readSpeed = Take(t.drive->readSpeeds, readSpeed);
        t.grabber->writeSpeed = Take(t.drive->writeSpeeds, writeSpeed);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_TestUnitReady(void* grabber, char* exceptionText,
                                                                          ULONG exceptionTextSize, ULONG* systemError,
                                                                          STARBURN_FAILURE_INFO* failure)
{
    Report report("StarBurn_CdvdBurnerGrabber_TestUnitReady", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (Due(*t.drive, Call::TestUnitReady))
            return report.Fail(STARBURN_EXCEPTION_NOT_READY, "the drive is becoming ready",
                                                     ERROR_NOT_READY, 0x02, 0x04, 0x01);
        if (!t.disc)
            return NoDisc(report);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_SetBUP(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                   ULONG* systemError, STARBURN_FAILURE_INFO* failure,
                                                                   ULONG enable)
{
    Report report("StarBurn_CdvdBurnerGrabber_SetBUP", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        report.Arg("enable", enable);
        if (Due(*t.drive, Call::SetBup))
            return Injected(report, "buffer-underrun protection", 0x05, 0x26, 0x00);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_SendOPC(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                    ULONG* systemError, STARBURN_FAILURE_INFO* failure)
{
    Report report("StarBurn_CdvdBurnerGrabber_SendOPC", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!t.disc)
            return NoDisc(report);
        if (Due(*t.drive, Call::SendOpc))
            return Injected(report, "power calibration", 0x03, 0x73, 0x03);
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile(
    void* grabber, char* exceptionText, ULONG exceptionTextSize, ULONG* systemError, STARBURN_FAILURE_INFO* failure,
    const char* fileName, ULONG kind, ULONG testWrite, ULONG reserved, ULONG closeTrack, ULONG cacheMegabytes)
{
    Report report("StarBurn_CdvdBurnerGrabber_TrackAtOnceFromFile", exceptionText, exceptionTextSize, systemError, failure);
    const std::wstring path = Wide(fileName);
    AudioFile audio;
    STARBURN_CALLBACK callback = nullptr;
    void* context = nullptr;
    std::wstring target;
    ULONG track = 0;
    {
        Session session;
        Target t;
        if (!Resolve(session, report, grabber, &t))
            return report.Done(*session, STARBURN_EXCEPTION_INVALID_PARAMETER);
        report.Arg("file", Quoted(Narrow(path))).Arg("kind", kind).Arg("test", testWrite).Arg("reserved", reserved);
        report.Arg("close", closeTrack).Arg("cache", cacheMegabytes);
        if (!fileName || kind != STARBURN_TRACK_AUDIO)
            return report.Done(*session, report.Fail(STARBURN_EXCEPTION_INVALID_PARAMETER, "only audio tracks from a file",
                                                     ERROR_INVALID_PARAMETER));
        if (!t.disc)
            return report.Done(*session, NoDisc(report));
        Disc& disc = *t.disc;
        if (!t.drive->modes[0])
            return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NOT_SUPPORTED, "the drive cannot write track at once",
                                                     ERROR_NOT_SUPPORTED, 0x05, 0x64, 0x00));
        if (!IsAudioCd(disc.type) || !t.drive->Writes(disc.type) || disc.closed)
            return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NOT_WRITABLE,
                                                     disc.closed ? "the disc is closed" : "the disc takes no audio track here",
                                                     ERROR_WRITE_PROTECT, 0x05, 0x30, 0x05));
        std::string reason;
        ULONG error = 0;
        const ULONG opened = OpenCdAudio(path, &audio, &reason, &error);
        if (opened != STARBURN_OK)
            return report.Done(*session, report.Fail(opened, reason, error));
        ++disc.tracksTried;
        if (disc.failTrack != 0 && disc.tracksTried == disc.failTrack)
            return report.Done(*session, Injected(report, "writing the track", 0x03, 0x0C, 0x00));
        if (disc.tracks >= kMaxTracks)
            return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NO_SPACE, "the disc holds 99 tracks already",
                                                     ERROR_DISK_FULL, 0x05, 0x21, 0x00));
        if (SectorsOf(audio.dataBytes) + kTrackGapBlocks > FreeBlocks(disc))
            return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NO_SPACE, "the track does not fit on the disc",
                                                     ERROR_DISK_FULL, 0x05, 0x21, 0x00));
        callback = t.grabber->callback;
        context = t.grabber->context;
        track = disc.tracks + 1;
        wchar_t name[32];
        swprintf(name, 32, L"\\Track%02lu.wav", static_cast<unsigned long>(track));
        target = DiscFolder(*t.drive) + name;
    }
    // The writing itself runs outside the lock: the callback may wait for other threads.
    constexpr ULONG kBytesPerSecond = 44100 * 4;
    const ULONGLONG padded = SectorsOf(audio.dataBytes) * kAudioSectorBytes;
    ULONG seconds = static_cast<ULONG>((padded + kBytesPerSecond - 1) / kBytesPerSecond);
    auto notify = [&](ULONG reason, ULONG value) {
        if (callback)
            callback(reason, context, &track, &value);
    };
    notify(STARBURN_CALLBACK_TRACK_BEGIN, seconds);
    ULONG cached = static_cast<ULONG>(std::min<ULONGLONG>(padded, static_cast<ULONGLONG>(cacheMegabytes) << 20));
    if (callback)
        callback(STARBURN_CALLBACK_CACHE_FILL, context, &cached, nullptr);
    if (callback)
        callback(STARBURN_CALLBACK_CACHE_FULL, context, nullptr, nullptr);
    ULONG copied = ERROR_SUCCESS;
    if (testWrite) {
        notify(STARBURN_CALLBACK_TRACK_PROGRESS, seconds);
    } else {
        MakeFolders(target.substr(0, target.find_last_of(L'\\')));
        copied = CopyAsDiscTrack(path, audio, target, [&](ULONGLONG done) {
            notify(STARBURN_CALLBACK_TRACK_PROGRESS, static_cast<ULONG>(done / kBytesPerSecond));
        });
        if (copied == ERROR_SUCCESS)
            notify(STARBURN_CALLBACK_TRACK_PROGRESS, seconds);
    }
    Session session;
    if (copied != ERROR_SUCCESS)
        return report.Done(*session, report.Fail(STARBURN_EXCEPTION_DEVICE_FAILURE, "the track could not be written", copied,
                                                 0x03, 0x0C, 0x00));
    // The grabber was closed, or the fixture changed, while the track was written.
    Grabber* open = session.Find(grabber);
    Disc* disc = open ? session->drives[static_cast<size_t>(open->drive)].InsertedDisc() : nullptr;
    if (!disc)
        return report.Done(*session, report.Fail(STARBURN_EXCEPTION_NOT_READY, "the drive went away", ERROR_NOT_READY));
    if (!testWrite) {
        const ULONGLONG bytes = (SectorsOf(audio.dataBytes) + kTrackGapBlocks) * kDataBlockBytes;
        disc->tracks = track;
        disc->blank = false;
        disc->usedBytes += bytes;
        disc->freeBytes -= std::min(bytes, disc->freeBytes);
    }
    report.Out("track", track);
    return report.Done(*session, STARBURN_OK);
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_CloseSession(void* grabber, char* exceptionText,
                                                                         ULONG exceptionTextSize, ULONG* systemError,
                                                                         STARBURN_FAILURE_INFO* failure)
{
    Report report("StarBurn_CdvdBurnerGrabber_CloseSession", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (!t.disc)
            return NoDisc(report);
        if (Due(*t.drive, Call::CloseSession))
            return Injected(report, "closing the session", 0x03, 0x0C, 0x00);
        if (t.disc->blank || t.disc->closed)
            return report.Fail(STARBURN_EXCEPTION_NOT_WRITABLE,
                                                     t.disc->closed ? "the disc is closed" : "nothing was written to close",
                                                     ERROR_WRITE_PROTECT, 0x05, 0x2C, 0x00);
        t.disc->closed = true;
    t.disc->freeBytes = 0;
        return STARBURN_OK;
    });
}

STARBURN_API ULONG STARBURN_CALL StarBurn_CdvdBurnerGrabber_Eject(void* grabber, char* exceptionText, ULONG exceptionTextSize,
                                                                  ULONG* systemError, STARBURN_FAILURE_INFO* failure)
{
    Report report("StarBurn_CdvdBurnerGrabber_Eject", exceptionText, exceptionTextSize, systemError, failure);
    return OnGrabber(report, grabber, [&](Target& t) -> ULONG {
        if (Due(*t.drive, Call::Eject))
            return Injected(report, "ejecting", 0x02, 0x53, 0x02);
        if (t.drive->inserted < t.drive->discs.size())
            ++t.drive->inserted;
        report.Out("next", t.drive->InsertedDisc() ? t.drive->inserted + 1 : 0);
        return STARBURN_OK;
    });
}
