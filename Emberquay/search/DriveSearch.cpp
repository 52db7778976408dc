#include "DriveSearch.h"

#include "AfxMessageBox.h"
#include "SuiteMessages.h"
#include "res/WizardSheetIds.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>

IMPLEMENT_DYNCREATE(CDriveSearchThread, CWinThread)

namespace {

constexpr DriveSpeed kCdSpeeds[] = {
    {176, "1.0x"},   {353, "2.0x"},   {387, "2.2x"},   {528, "3.0x"},   {706, "4.0x"},   {1400, "8.0x"},
    {1760, "10.0x"}, {2112, "12.0x"}, {2800, "16.0x"}, {3250, "20.0x"}, {4224, "24.0x"}, {5632, "32.0x"},
    {7040, "40.0x"}, {7744, "44.0x"}, {8448, "48.0x"}, {9152, "52.0x"},
};
constexpr DriveSpeed kDvdSpeeds[] = {
    {1385, "1.0x"}, {2770, "2.0x"},  {3324, "2.4x"},   {4155, "3.0x"},   {5540, "4.0x"},
    {6925, "5.0x"}, {8310, "6.0x"}, {11080, "8.0x"}, {16620, "12.0x"}, {22160, "16.0x"},
};
constexpr DriveSpeed kBdSpeeds[] = {{4495, "1.0x"}, {8991, "2.0x"}, {17980, "4.0x"}, {26970, "6.0x"}};

constexpr const wchar_t* kDiscTypeTexts[] = {
    L"Unknown", L"CD-ROM",   L"CD-R",     L"CD-RW",  L"DVD-ROM", L"DVD-R",      L"DVD-RAM",    L"DVD-RW",
    L"DVD-RW",  L"DVD+RW",   L"CD-ROM",   L"CD-R",   L"CD-RW",   L"DVD+R",      L"Empty",      L"DVD+R DL",
    L"DVD-R DL", L"BD-ROM",  L"BD-R",     L"BD-RE",  L"HD-DVD-ROM", L"HD-DVD-R", L"HD-DVD-RW",
};

DriveSearchMethod& DefaultMethod()
{
    static DriveSearchMethod method = DriveSearchMethod::automatic;
    return method;
}

DriveSearchStarter& Starter()
{
    static DriveSearchStarter starter;
    return starter;
}

// The buffers every call of the library takes.
struct CallBuffers {
    char text[1024] = {};
    ULONG systemError = 0;
    STARBURN_FAILURE_INFO failure = {};
};

void STARBURN_CALL IgnoreEvent(ULONG, void*, void*, void*) {}

// Opens the drive by its address kind; null when it cannot be opened.
void* OpenDrive(const DriveRecord& record, ULONG shared)
{
    CallBuffers call;
    void* grabber = nullptr;
    ULONG result = STARBURN_EXCEPTION_INVALID_PARAMETER;
    switch (record.kind) {
    case DriveAddressKind::scsi:
        result = StarBurn_CdvdBurnerGrabber_Create(&grabber, call.text, sizeof(call.text), &call.systemError, &call.failure,
                                                   IgnoreEvent, nullptr, record.port, record.bus, record.target,
                                                   record.lun, shared);
        break;
    case DriveAddressKind::ansiName:
        result = StarBurn_CdvdBurnerGrabber_CreateEx(&grabber, call.text, sizeof(call.text), &call.systemError,
                                                     &call.failure, IgnoreEvent, nullptr, record.deviceName, shared);
        break;
    case DriveAddressKind::wideName:
        result = StarBurn_CdvdBurnerGrabber_CreateExEx(&grabber, call.text, sizeof(call.text), &call.systemError,
                                                       &call.failure, IgnoreEvent, nullptr, record.deviceNameW, 0, shared);
        break;
    }
    if (result != STARBURN_OK) {
        StarBurn_Destroy(&grabber);
        return nullptr;
    }
    return grabber;
}

ULONGLONG DiscUsedBytes(void* grabber)
{
    CallBuffers call;
    ULONGLONG used = 0;
    if (StarBurn_CdvdBurnerGrabber_GetDiscUsedSpace(grabber, call.text, sizeof(call.text), &call.systemError,
                                                    &call.failure, &used) != STARBURN_OK)
        return 0;
    return used;
}

ULONGLONG DiscFreeBytes(void* grabber)
{
    ULONG low = 0, high = 0;
    if (StarBurn_CdvdBurnerGrabber_GetDiscFreeSpace(grabber, STARBURN_SPACE_BYTES, &low, &high) != STARBURN_OK)
        return 0;
    return (static_cast<ULONGLONG>(high) << 32) | low;
}

bool DiscIsBlank(void* grabber)
{
    CallBuffers call;
    BOOLEAN blank = FALSE;
    if (StarBurn_CdvdBurnerGrabber_IsDiscBlank(grabber, call.text, sizeof(call.text), &call.systemError, &call.failure,
                                               &blank) != STARBURN_OK)
        return false;
    return blank != FALSE;
}

bool GetSpeeds(void* grabber, ULONG& currentRead, ULONG& maxRead, ULONG& currentWrite, ULONG& maxWrite)
{
    CallBuffers call;
    return StarBurn_CdvdBurnerGrabber_GetSpeeds(grabber, call.text, sizeof(call.text), &call.systemError, &call.failure,
                                                &currentRead, &maxRead, &currentWrite, &maxWrite) == STARBURN_OK;
}

// Asks the drive for a speed; speed becomes the one it took. FALSE when it did not answer.
bool TrySpeed(ULONG& speed, void* grabber, bool isRead)
{
    CallBuffers call;
    if (StarBurn_CdvdBurnerGrabber_SetSpeeds(grabber, call.text, sizeof(call.text), &call.systemError, &call.failure,
                                             isRead ? speed : STARBURN_SPEED_MAX,
                                             isRead ? STARBURN_SPEED_MAX : speed) != STARBURN_OK)
        return false;
    ULONG currentRead = 0, maxRead = 0, currentWrite = 0, maxWrite = 0;
    if (!GetSpeeds(grabber, currentRead, maxRead, currentWrite, maxWrite))
        return false;
    speed = isRead ? currentRead : currentWrite;
    return true;
}

// The disc fields: type, its text and flags, space, capacity.
void ReadDiscFields(DriveRecord& record, void* grabber)
{
    record.discType = STARBURN_DISC_NONE;
    record.discType = StarBurn_CdvdBurnerGrabber_GetInsertedDiscType(grabber);
    SetDiscTypeFields(record);
    if (record.discType == STARBURN_DISC_NONE) {
        record.usedSpaceText[0] = 0;
        return;
    }
    GetDiscSpace(grabber, record.usedBytes, record.freeBytes, record.blank, record.trackValue, record.trackFlag);
    if (record.blank)
        wcscpy_s(record.usedSpaceText, L"Blank");
    else
        swprintf(record.usedSpaceText, std::size(record.usedSpaceText), L"%.2f MB",
                 static_cast<double>(record.usedBytes) / (1024.0 * 1024.0));
    record.freeSeconds = record.freeBytes / 153600;
    CallBuffers call;
    STARBURN_DISC_INFORMATION disc = {};
    if (StarBurn_CdvdBurnerGrabber_GetDiscInformation(grabber, call.text, sizeof(call.text), &call.systemError,
                                                      &call.failure, &disc) == STARBURN_OK) {
        const LONG blocks = StarBurn_CdvdBurnerGrabber_MSFToLBA(disc.lastLeadOutMinutes, disc.lastLeadOutSeconds,
                                                                disc.lastLeadOutFrames, 0);
        record.capacitySeconds = blocks > 0 ? static_cast<ULONG>(blocks) / 75 : 0;
    }
}

// The drive letter whose device is "\Device\<name>", from A upward.
void FindLetterOfDevice(DriveRecord& record)
{
    record.driveLetter[0] = 0;
    if (record.kind == DriveAddressKind::scsi) {
        char name[STARBURN_DEVICE_NAME_SIZE] = {};
        if (StarBurn_GetDeviceNameByDeviceAddress(record.port, record.bus, record.target, record.lun, name) ==
                STARBURN_OK &&
            name[0])
            strncpy_s(record.driveLetter, name, _TRUNCATE);
        return;
    }
    char wanted[MAX_PATH + 16] = {};
    if (record.kind == DriveAddressKind::wideName)
        snprintf(wanted, sizeof(wanted), "\\Device\\%s", CString(record.deviceNameW).ToNarrow().c_str());
    else
        snprintf(wanted, sizeof(wanted), "\\Device\\%s", record.deviceName);
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const char drive[3] = {letter, ':', 0};
        char target[MAX_PATH] = {};
        if (QueryDosDeviceA(drive, target, static_cast<DWORD>(sizeof(target))) && _stricmp(target, wanted) == 0) {
            strncpy_s(record.driveLetter, drive, _TRUNCATE);
            return;
        }
    }
}

// Candidates by drive letter: CD-ROM drives whose device is "\Device\CdRom<n>" and that open.
void FindLetterCandidates(std::vector<DriveRecord>& candidates)
{
    for (char letter = 'C'; letter <= 'Z'; ++letter) {
        const char drive[3] = {letter, ':', 0};
        const char root[4] = {letter, ':', '\\', 0};
        if (GetDriveTypeA(root) != DRIVE_CDROM)
            continue;
        char target[MAX_PATH] = {};
        if (!QueryDosDeviceA(drive, target, static_cast<DWORD>(sizeof(target))))
            continue;
        const char* device = strstr(target, "\\Device\\CdRom");
        unsigned number = 0;
        if (!device || sscanf(device, "\\Device\\CdRom%u", &number) != 1)
            continue;
        DriveRecord record;
        record.kind = DriveAddressKind::ansiName;
        snprintf(record.deviceName, sizeof(record.deviceName), "CdRom%u", number);
        void* grabber = OpenDrive(record, STARBURN_OPEN_SHARED);
        if (!grabber)
            continue;
        StarBurn_Destroy(&grabber);
        candidates.push_back(record);
    }
}

void STARBURN_CALL OnDeviceFound(ULONG reason, void* context, void* value1, void*)
{
    if (reason != STARBURN_CALLBACK_DEVICE_FOUND || !value1 || !context)
        return;
    const auto* address = static_cast<const STARBURN_DEVICE_ADDRESS*>(value1);
    DriveRecord record;
    record.kind = DriveAddressKind::scsi;
    record.port = address->port;
    record.bus = address->bus;
    record.target = address->target;
    record.lun = address->lun;
    static_cast<std::vector<DriveRecord>*>(context)->push_back(record);
}

bool UseLibrarySearch(DriveSearchMethod method)
{
    if (method == DriveSearchMethod::automatic)
        method = DefaultMethod();
    if (method != DriveSearchMethod::automatic)
        return method == DriveSearchMethod::library;
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = GetVersionExW(&version);
#pragma GCC diagnostic pop
    return known && version.dwMajorVersion < 5;
}

void DeleteDrives(CObArray& drives)
{
    for (INT_PTR i = 0; i < drives.GetSize(); ++i)
        delete drives[i];
    drives.RemoveAll();
}

}  // namespace

const wchar_t* DiscTypeText(ULONG type) { return type < std::size(kDiscTypeTexts) ? kDiscTypeTexts[type] : nullptr; }

void SetDiscTypeFields(DriveRecord& record)
{
    if (const wchar_t* text = DiscTypeText(record.discType))
        wcscpy_s(record.discTypeText, text);
    const ULONG type = record.discType;
    record.isCd = type >= 1 && type <= 3;
    record.isDvd = (type >= 4 && type <= 9) || type == 13 || type == 15 || type == 16;
    record.isBd = type >= 17 && type <= 19;
}

CString DriveDisplayName(const DriveRecord& record)
{
    CString name = CString::FromNarrow(record.driveLetter, -1);
    const bool letter = !name.IsEmpty();
    if (letter)
        name += L" (";
    const CString vendor = CString::FromNarrow(record.vendor, -1).Trim();
    const CString product = CString::FromNarrow(record.product, -1).Trim();
    CString names = vendor;
    if (!product.IsEmpty())
        names += (names.IsEmpty() ? L"" : L" ") + product;
    if (letter && names.IsEmpty())
        return name.Left(name.GetLength() - 2);
    name += names;
    if (letter)
        name += L")";
    return name;
}

bool DriveWritesAnything(const STARBURN_SUPPORTED_MEDIA_FORMATS& formats)
{
    return formats.writeCdR || formats.writeCdRw || formats.writeDvdR || formats.writeDvdRam || formats.writeDvdRw ||
           formats.writeDvdPlusRw || formats.writeDvdPlusR || formats.writeDvdPlusRDl || formats.writeDvdRDl ||
           formats.writeBdR || formats.writeBdRe || formats.writeHdDvdR;
}

const char* NearestSpeedLabel(ULONG speed, const DriveSpeed* table, size_t count)
{
    if (count == 0)
        return nullptr;
    if (speed <= table[0].speed)
        return table[0].label;
    for (size_t i = 1; i < count; ++i) {
        if (speed <= table[i].speed) {
            const ULONG below = speed - table[i - 1].speed;
            const ULONG above = table[i].speed - speed;
            return above < below ? table[i].label : table[i - 1].label;
        }
    }
    return table[count - 1].label;
}

int CDriveEntry::DriveNumber() const
{
    if (m_driveLetter.IsEmpty())
        return -1;
    const wchar_t letter = m_driveLetter[0];
    return letter >= L'A' && letter <= L'Z' ? letter - L'A' : -1;
}

void GetDiscSpace(void* grabber, ULONGLONG& used, ULONGLONG& free, bool& blank, ULONG& trackValue, UCHAR& trackFlag)
{
    used = DiscUsedBytes(grabber);
    free = DiscFreeBytes(grabber);
    blank = DiscIsBlank(grabber);
    StarBurn_SetFastReadTOC(1);
    CallBuffers call;
    STARBURN_TRACK_INFORMATION track = {};
    track.size = sizeof(track);
    if (StarBurn_CdvdBurnerGrabber_GetTrackInformation(grabber, call.text, sizeof(call.text), &call.systemError,
                                                       &call.failure, STARBURN_NEXT_TRACK, &track) == STARBURN_OK) {
        trackValue = track.nextWritableAddress;
        trackFlag = track.nextWritableAddressValid;
    }
}

void BuildSpeedList(DriveSpeedList& list, DriveRecord& record, bool isRead)
{
    list.clear();
    void* grabber = OpenDrive(record, STARBURN_OPEN_SHARED);
    if (!grabber)
        return;
    ULONG currentRead = 0, maxRead = 0, currentWrite = 0, maxWrite = 0;
    if (!GetSpeeds(grabber, currentRead, maxRead, currentWrite, maxWrite)) {
        StarBurn_Destroy(&grabber);
        return;
    }
    const ULONG maximum = isRead ? maxRead : maxWrite;
    const DriveSpeed* table = nullptr;
    size_t count = 0;
    const ULONG type = record.discType;
    if (type == 2 || type == 3 || type == 11 || type == 12 || type == STARBURN_DISC_NONE) {
        table = kCdSpeeds;
        count = std::size(kCdSpeeds);
    } else if ((type >= 5 && type <= 9) || type == 13 || type == 15 || type == 16) {
        table = kDvdSpeeds;
        count = std::size(kDvdSpeeds);
    } else if (type >= 17 && type <= 19) {
        table = kBdSpeeds;
        count = std::size(kBdSpeeds);
    }
    if (type == STARBURN_DISC_NONE) {
        // No disc to ask with: the CD speeds the drive can reach.
        for (size_t i = 0; i < count; ++i) {
            if (table[i].speed <= maximum)
                list.push_back(table[i]);
        }
    } else if (table == kBdSpeeds && type == STARBURN_DISC_BDRE && record.trackFlag == 0) {
        list.push_back({maximum, table[0].label});
    } else {
        ULONG last = 0;
        for (size_t i = 0; i < count; ++i) {
            // No CD speed above the drive's highest is asked for.
            if (table == kCdSpeeds && table[i].speed > maximum && !list.empty())
                break;
            if (table[i].speed <= last)
                continue;
            ULONG took = table[i].speed;
            if (TrySpeed(took, grabber, isRead) && took != 0) {
                last = std::max(last, took);
                const bool listed =
                    std::any_of(list.begin(), list.end(), [took](const DriveSpeed& s) { return s.speed == took; });
                if (!listed)
                    list.push_back({took, NearestSpeedLabel(took, table, count)});
            }
        }
    }
    StarBurn_Destroy(&grabber);
}

BOOL FillDeviceInformation(DriveRecord& record)
{
    void* grabber = OpenDrive(record, STARBURN_OPEN_SHARED);
    if (!grabber)
        return FALSE;
    record.grabber = grabber;
    char vendor[STARBURN_VENDOR_SIZE + 1] = {};
    char product[STARBURN_PRODUCT_SIZE + 1] = {};
    char revision[STARBURN_REVISION_SIZE + 1] = {};
    if (StarBurn_CdvdBurnerGrabber_GetDeviceInformation(grabber, vendor, product, revision, &record.bufferSizeKB) ==
        STARBURN_OK) {
        strncpy_s(record.vendor, vendor, _TRUNCATE);
        strncpy_s(record.product, product, _TRUNCATE);
        strncpy_s(record.revision, revision, _TRUNCATE);
    }
    FindLetterOfDevice(record);
    record.volumeLabel[0] = 0;
    if (record.driveLetter[0]) {
        const CString root = CString::FromNarrow(record.driveLetter, -1) + L"\\";
        if (!GetVolumeInformationW(root, record.volumeLabel, static_cast<DWORD>(std::size(record.volumeLabel)), nullptr,
                                   nullptr, nullptr, nullptr, 0))
            record.volumeLabel[0] = 0;
    }
    ReadDiscFields(record, grabber);
    CallBuffers call;
    record.formats = {};
    record.formats.size = sizeof(record.formats);
    StarBurn_CdvdBurnerGrabber_GetAdvancedSupportedMediaFormats(grabber, call.text, sizeof(call.text), &call.systemError,
                                                                &call.failure, &record.formats);
    StarBurn_CdvdBurnerGrabber_ProbeSupportedWriteModes(grabber, call.text, sizeof(call.text), &call.systemError,
                                                        &call.failure, &record.trackAtOnce, &record.sessionAtOnce,
                                                        &record.raw16, &record.raw96);
    StarBurn_Destroy(&record.grabber);
    BuildSpeedList(record.writeSpeeds, record, false);
    BuildSpeedList(record.readSpeeds, record, true);
    return TRUE;
}

void RefreshDiscState(DriveRecord& record)
{
    void* grabber = OpenDrive(record, STARBURN_OPEN_SHARED);
    if (!grabber)
        return;
    record.grabber = grabber;
    ReadDiscFields(record, grabber);
    StarBurn_Destroy(&record.grabber);
}

BOOL SearchRecorders(DriveSearchJob& job)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) {
        AfxMessageBox(IDS_WIZARD_COM_FAILED, MB_OK);
        return FALSE;
    }
    DeleteDrives(*job.drives);
    const bool library = UseLibrarySearch(job.method);
    while (job.drives->GetSize() == 0 && !job.stopRequested) {
        std::vector<DriveRecord> candidates;
        if (library)
            StarBurn_FindDevice(STARBURN_FIND_RECORDERS, STARBURN_FIND_DEFAULT, OnDeviceFound, &candidates);
        else
            FindLetterCandidates(candidates);
        for (size_t i = 0; i < candidates.size() && !job.stopRequested; ++i) {
            DriveRecord& record = candidates[i];
            if (!FillDeviceInformation(record) || !DriveWritesAnything(record.formats))
                continue;
            const CString name = DriveDisplayName(record);
            if (name.IsEmpty())
                continue;
            auto* entry = new CDriveEntry;
            entry->m_id.Format(L"ASPI_%d", static_cast<int>(i));
            entry->m_displayName = name;
            entry->m_driveLetter = CString::FromNarrow(record.driveLetter, -1);
            entry->m_writeSpeeds = record.writeSpeeds;
            entry->m_record = record;
            job.drives->Add(entry);
        }
        if (job.drives->GetSize() > 0 || job.stopRequested)
            break;
        if (AfxMessageBox(job.notFoundText, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            break;
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return TRUE;
}

DriveSearchMethod SetDefaultDriveSearchMethod(DriveSearchMethod method)
{
    const DriveSearchMethod before = DefaultMethod();
    DefaultMethod() = method;
    return before;
}

DriveSearchMethod DefaultDriveSearchMethod() { return DefaultMethod(); }

DriveSearchStarter SetDriveSearchStarter(DriveSearchStarter starter)
{
    DriveSearchStarter before = std::move(Starter());
    Starter() = std::move(starter);
    return before;
}

CWinThread* StartDriveSearch(std::shared_ptr<DriveSearchJob> job)
{
    if (Starter())
        return Starter()(std::move(job));
    auto* thread = static_cast<CDriveSearchThread*>(
        AfxBeginThread(RUNTIME_CLASS(CDriveSearchThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (thread)
        thread->m_job = std::move(job);
    return thread;
}

BOOL CDriveSearchThread::InitInstance()
{
    if (m_job && m_job->drives)
        SearchRecorders(*m_job);
    // The page waits for this report, also after a search that could not start.
    if (m_job && !m_job->stopRequested && m_job->owner)
        SendMessageW(m_job->owner, WM_DEVICE_SEARCH_DONE, 0, 0);
    return FALSE;
}
