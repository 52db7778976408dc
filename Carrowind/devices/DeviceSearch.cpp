#include "DeviceSearch.h"

#include "DeviceEnumeration.h"
#include "DeviceProfile.h"
#include "FileUtils.h"
#include "MobileLink.h"
#include "PlayerRecord.h"
#include "SearchRunner.h"
#include "SuiteMessages.h"
#include "ZuneClient.h"
#include "res/DeviceStringIds.h"
#include "res/CarrowindIds.h"
#include "iTunesAutomation.h"

#include <atomic>
#include <map>
#include <memory>

IMPLEMENT_DYNCREATE(CDeviceSearchThread, CWinThread)

namespace {

DeviceSearchStarter& Starter()
{
    static DeviceSearchStarter starter;
    return starter;
}

ITunesProbe& Probe()
{
    static ITunesProbe probe;
    return probe;
}

// The product's search threads that have been made and not yet ended.
std::atomic<int>& RunningSearches()
{
    static std::atomic<int> running{0};
    return running;
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

// The Windows Mobile devices of one pass, by device name and by storage-card folder name.
using MobileMap = std::map<CString, PlayerFolderEntry, bool (*)(const CString&, const CString&)>;
bool LessNoCase(const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; }

template <typename T>
struct Released {
    T* p = nullptr;
    ~Released() { if (p) p->Release(); }
};

// A text value of an opened key of the device's registry; empty when absent.
CString ReadDeviceText(IRAPISession* session, HKEY key, const wchar_t* name)
{
    wchar_t text[520] = {};
    DWORD type = 0;
    DWORD size = sizeof(text) - sizeof(wchar_t);
    if (session->CeRegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return CString();
    return CString(text);
}

// Opens the key path one level at a time; every opened key lands in opened (the caller closes them).
HKEY OpenDeviceKey(IRAPISession* session, HKEY root, std::initializer_list<const wchar_t*> path, std::vector<HKEY>* opened)
{
    HKEY key = root;
    for (const wchar_t* part : path) {
        HKEY next = nullptr;
        if (session->CeRegOpenKeyEx(key, part, 0, KEY_READ, &next) != ERROR_SUCCESS)
            return nullptr;
        opened->push_back(next);
        key = next;
    }
    return key;
}

void ReadMobileDevice(IRAPIDevice* device, MobileMap* map, CString* lastName)
{
    RAPI_DEVICEINFO info{};
    if (FAILED(device->GetDeviceInfo(&info)))
        return;
    const CString deviceName = info.bstrName ? info.bstrName : L"";
    SysFreeString(info.bstrName);
    SysFreeString(info.bstrPlatform);
    CRAPIConnection connection;
    device->AddRef();
    connection.device = device;
    IRAPISession* session = connection.GetSession();  // throws for a device without a session

    PlayerFolderEntry entry;
    entry.deviceId = info.DeviceId;
    std::vector<HKEY> opened;
    if (HKEY command = OpenDeviceKey(session, HKEY_CLASSES_ROOT, {L"Vesperlin.Media", L"Shell", L"Open", L"Command"}, &opened)) {
        const CString line = ReadDeviceText(session, command, L"");
        const int open = line.Find(L'"');
        const int close = open >= 0 ? line.Find(L'"', open + 1) : -1;
        if (close > open + 1) {
            const CString program = line.Mid(open + 1, close - open - 1);
            const int slash = program.ReverseFind(L'\\');
            if (slash >= 0)
                entry.appFolder = program.Left(slash + 1);
        }
    }
    if (HKEY settings = OpenDeviceKey(session, HKEY_CURRENT_USER, {L"Software", L"Vesperlin, Inc.", L"Brenvale", L"Settings"}, &opened)) {
        entry.downloadFolder = ReadDeviceText(session, settings, L"DownloadFolder") + L"\\";
        entry.mediaDbFolder = ReadDeviceText(session, settings, L"MediaDBFolder") + L"\\";
        entry.productVersion = ReadDeviceText(session, settings, L"ProductVersion");
        entry.mobileId = ReadDeviceText(session, settings, L"MobileID");
    }
    for (HKEY key : opened)
        session->CeRegCloseKey(key);

    entry.isMainEntry = TRUE;
    (*map)[deviceName] = entry;
    *lastName = deviceName;

    DWORD count = 0;
    CE_FIND_DATA* found = nullptr;
    if (session->CeFindAllFiles(L"\\*", rapi::kFindAttributes | rapi::kFindName | rapi::kFindFoldersOnly, &count, &found) && found) {
        entry.isMainEntry = FALSE;
        for (DWORD i = 0; i < count; ++i) {
            if (!(found[i].dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY))
                continue;
            CString folder = found[i].cFileName;
            folder = folder.Mid(folder.ReverseFind(L'\\') + 1);
            if (!folder.IsEmpty())
                (*map)[folder] = entry;
        }
        session->CeRapiFreeBuffer(found);
    }
}

void ReadMobileDevices(MobileMap* map, CString* lastName)
{
    try {
        CRAPIDesktop desktop(false);
        IRAPIEnumDevices* devices = desktop.EnumDevices();
        for (;;) {
            Released<IRAPIDevice> device;
            if (devices->Next(&device.p) != S_OK || !device.p)
                break;
            try {
                ReadMobileDevice(device.p, map, lastName);
            } catch (const CRAPIException&) {
                // a device that takes no session is not listed
            }
        }
    } catch (const CRAPIException&) {
        // no mobile link on this computer
    }
}

// Friendly name, model name or name: the text that carries more.
CString ChooseDescription(const CString& name, const DeviceProperties& properties)
{
    CString friendly = properties.friendlyName;
    const CString& model = properties.modelName;
    if (!friendly.IsEmpty() && !model.IsEmpty()) {
        CString lowerFriendly = friendly, lowerModel = model;
        lowerFriendly.MakeLower();
        lowerModel.MakeLower();
        if (lowerModel.Find(lowerFriendly) >= 0)
            friendly = model;
    }
    if (!friendly.IsEmpty())
        return friendly;
    if (!model.IsEmpty())
        return model;
    return name;
}

enum class ZunePass { Connected, NoneConnected, ComFailed };

// Leaves the thread's apartment for the multithreaded one, where the Zune servers are created
// and connected (the pages and the transfer call them directly afterwards), and comes back.
ZunePass ConnectZuneDevices(DeviceSearchJob* job)
{
    CoUninitialize();
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        AfxMessageBox(IDS_COM_START_FAILED, MB_ICONERROR);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        return ZunePass::ComFailed;
    }
    int added = 0;
    ZuneEntry* entries = ZuneDevices();
    for (int i = 0; i < ZuneDeviceCount() && !job->stopRequested;) {
        ZuneEntry& entry = entries[i];
        CString text;
        bool retryOffered = false;
        if (!entry.server) {
            const HRESULT hr = CoCreateInstance(CLSID_ZuneSupport, nullptr, CLSCTX_INPROC_SERVER, IID_IZuneSupport,
                                                reinterpret_cast<void**>(&entry.server));
            if (FAILED(hr)) {
                entry.server = nullptr;
                text.Format(L"Unable to create instance of Corvatine (error 0x%.8X) required to connect Zune device ('%s')",
                            static_cast<unsigned>(hr), static_cast<const wchar_t*>(entry.displayName));
            }
        }
        if (entry.server) {
            // No index to fall back on: the server finds the Zune by its name or not at all, so
            // that a name it cannot find never connects another player.
            ULONG index = static_cast<ULONG>(-1);
            ULONG count = 0xFFFF;
            LONG retry = 0;
            CString status;
            const HRESULT hr = ConnectNewZuneDevice(job->owner, entry.server, entry.displayName, &index, &count, &status, &retry);
            if (SUCCEEDED(hr)) {
                CString zuneName;
                zuneName.LoadString(3503);
                auto* record = new PlayerRecord(entry.displayName, nullptr, zuneName, NoSerialNumber(), kUnknownValue);
                record->zuneIndex = i;
                record->isMobileStorageCard = 0;
                record->SetMp3Only(0);
                job->devices->Add(record);
                ++added;
                ++i;
                continue;
            }
            if (status == L"shown") {
                // The server has told the user; its retry flag asks for another attempt.
                if (!(retry && added == 0))
                    ++i;
                continue;
            }
            if (!status.IsEmpty()) {
                text.Format(L"Can't access the device '%s'.\n\n%s", static_cast<const wchar_t*>(entry.displayName),
                            static_cast<const wchar_t*>(status));
                retryOffered = retry != 0;
            } else {
                text.Format(L"Can't access the device '%s'. (error 0x%.8X)\n\nPlease reconnect it and try again.",
                            static_cast<const wchar_t*>(entry.displayName), static_cast<unsigned>(hr));
                retryOffered = true;
            }
        }
        if (added == 0 && !text.IsEmpty() && !job->stopRequested) {
            if (retryOffered) {
                if (AfxMessageBox(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION) == IDRETRY)
                    continue;  // the same Zune again
            } else {
                AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
            }
        }
        ++i;
    }
    if (added == 0)
        ReleaseZuneDevices();
    CoUninitialize();
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        AfxMessageBox(IDS_COM_START_FAILED, MB_ICONERROR);
        return ZunePass::ComFailed;
    }
    return added ? ZunePass::Connected : ZunePass::NoneConnected;
}

}  // namespace

ITunesSources ListiTunesSources(CiTunesHelper& helper, BOOL startiTunes)
{
    ITunesSources sources;
    const BOOL running = IsiTunesRunning();
    if (!running && !startiTunes)
        return sources;
    if (!helper.iTunes())
        return sources;
    if (!running) {
        NoteiTunesStartedHere();  // closed again when the wizard ends
        HideiTunesWindow();       // started for the search: kept out of the way
    }
    IITPlaylist* none = nullptr;
    if (FAILED(helper.FindPlaylist(CString(), &none, nullptr, &sources.names)))
        return sources;
    if (none)
        none->Release();
    sources.connected = true;
    // What the listing found: iTunes shows iPods (their names), or none at all.
    sources.sourceFlag = sources.names.IsEmpty() ? 0 : 1;
    return sources;
}

CString MatchiTunesSource(const CString& recordName, const CString& sourceNames)
{
    CString wanted = recordName;
    wanted.MakeLower();
    if (wanted.IsEmpty())
        return CString();  // a nameless device is no source of iTunes
    int start = 0;
    for (CString name = sourceNames.Tokenize(L"|", start); start >= 0; name = sourceNames.Tokenize(L"|", start)) {
        CString lower = name;
        lower.MakeLower();
        if (lower.Find(wanted) >= 0)
            return name;
        // The drive's short name iTunes' name gives: its signs made "_", cut to 11 characters.
        for (const wchar_t sign : {L'\'', L'|', L'\\', L'/', L':'})
            lower.Replace(sign, L'_');
        if (lower.Left(11) == wanted)
            return name;
    }
    return CString();
}

void AddiTunesRecords(DeviceSearchJob& job, const ITunesSources& iTunes, const CString& matchedNames, BOOL shuffleFound,
                      bool appleAdded)
{
    const CString library = LoadText(IDS_ITUNES_LIBRARY_NAME);
    auto add = [&](const CString& name, const CString& description) {
        auto* record = new PlayerRecord(name, nullptr, description, NoSerialNumber(), kUnknownValue);
        record->iTunesSourceFlag = iTunes.sourceFlag;
        record->SetMp3Only(0);
        record->isMobileStorageCard = 0;
        job.devices->Add(record);
        return record;
    };
    // Whole names: an iPod whose name is part of another's is still its own player.
    auto matched = [&](const CString& name) {
        int start = 0;
        for (CString seen = matchedNames.Tokenize(L"|", start); start >= 0; seen = matchedNames.Tokenize(L"|", start))
            if (seen.CompareNoCase(name) == 0)
                return true;
        return false;
    };
    const bool shuffle = shuffleFound && iTunes.sourceFlag == 1;
    int start = 0;
    for (CString name = iTunes.names.Tokenize(L"|", start); start >= 0; name = iTunes.names.Tokenize(L"|", start)) {
        if (name.IsEmpty() || matched(name))
            continue;
        PlayerRecord* record = add(name, LoadText(shuffle ? IDS_APPLE_SHUFFLE : IDS_APPLE_DEVICE));
        record->isShuffle = shuffle ? TRUE : FALSE;
        appleAdded = true;
        if (job.mp3Title)
            add(library, library);  // the same iPod reached through the library
    }
    if (job.mp3Title && !appleAdded && iTunes.connected)
        add(library, library);
}

ITunesProbe SetITunesProbe(ITunesProbe probe)
{
    ITunesProbe before = std::move(Probe());
    Probe() = std::move(probe);
    return before;
}

DeviceSearchStarter SetDeviceSearchStarter(DeviceSearchStarter starter)
{
    DeviceSearchStarter before = std::move(Starter());
    Starter() = std::move(starter);
    return before;
}

CWinThread* StartDeviceSearch(std::shared_ptr<DeviceSearchJob> job)
{
    if (Starter())
        return Starter()(std::move(job));
    auto* thread = static_cast<CDeviceSearchThread*>(
        AfxBeginThread(RUNTIME_CLASS(CDeviceSearchThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    if (thread) {
        thread->m_job = std::move(job);
        ++RunningSearches();
    }
    return thread;
}

BOOL WaitForDeviceSearchesToEnd(DWORD timeoutMs)
{
    const ULONGLONG until = GetTickCount64() + timeoutMs;
    while (RunningSearches() > 0) {
        if (GetTickCount64() >= until)
            return FALSE;
        Sleep(20);
    }
    return TRUE;
}

BOOL CDeviceSearchThread::InitInstance()
{
    struct Ended {
        ~Ended() { --RunningSearches(); }
    } ended;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        AfxMessageBox(IDS_COM_START_FAILED, MB_ICONERROR);
        return FALSE;
    }
    DeviceSearchJob* job = m_job.get();
    if (!job || !job->owner || !job->devices || job->notFoundText.IsEmpty()) {
        CoUninitialize();
        return FALSE;
    }
    // The records of an earlier search go: pages keep indexes into the array, not records.
    DeleteRecords(*job->devices);

    IWMDeviceManager* manager = nullptr;
    if (!CreateDeviceManager(&manager)) {
        CoUninitialize();
        return FALSE;
    }
    IWMDeviceManager2* manager2 = nullptr;
    if (FAILED(manager->QueryInterface(IID_IWMDeviceManager2, reinterpret_cast<void**>(&manager2))))
        manager2 = nullptr;
    if (job->mobileMinVersion.IsEmpty())
        job->mobileMinVersion = LoadText(IDS_DEFAULT_MOBILE_VERSION);
    if (job->mobileCurVersion.IsEmpty())
        job->mobileCurVersion = LoadText(IDS_DEFAULT_MOBILE_VERSION);

    if (ZuneDeviceCount() > 0)
        ReleaseZuneDevices();
    Search(manager, manager2);

    if (manager2)
        manager2->Release();
    manager->Release();
    CoUninitialize();
    if (!job->stopRequested)
        SendMessageW(job->owner, WM_DEVICE_SEARCH_DONE, 0, 0);
    return FALSE;  // the thread's work is done: it ends
}

void CDeviceSearchThread::Search(IWMDeviceManager* manager, IWMDeviceManager2* manager2)
{
    DeviceSearchJob* job = m_job.get();
    // -1 not decided, 0 iTunes not reached, 1 connected.
    int iTunesState = job->iTunesInstalled ? -1 : 0;
    while (job->devices->GetSize() == 0 && !job->stopRequested) {
        Released<IWMDMEnumDevice> enumeration;
        const HRESULT hr = manager2 ? manager2->EnumDevices2(&enumeration.p) : manager->EnumDevices(&enumeration.p);
        if (FAILED(hr) || !enumeration.p) {
            CString text;
            text.Format(IDS_DEVICE_ENUM_FAILED, static_cast<unsigned>(hr));
            AfxMessageBox(text, MB_ICONERROR);
            return;
        }

        std::vector<DriveEntry> drives = ScanRemovableDrives();
        for (DriveEntry& drive : drives) {
            CString diskName;
            if (GetDiskName(drive.deviceType, drive.deviceNumber, &diskName) && !diskName.IsEmpty())
                drive.diskName = diskName;
            drive.matched = false;
        }
        MobileMap mobiles(LessNoCase);
        CString lastMobileName;
        ReadMobileDevices(&mobiles, &lastMobileName);

        // iTunes: Apple players are reached through it. It is asked (and started, when it is
        // not running) while an Apple player is plugged in, or while it is installed and no
        // pass has found it unreachable.
        if (job->stopRequested)
            return;  // iTunes is neither started nor asked for a search that was stopped
        AppleUsbScan usb;
        const int appleUsb = CountAppleUsbDevices(&usb);
        // Released before the Zune step leaves this apartment.
        auto helper = std::make_unique<CiTunesHelper>();
        ITunesSources iTunes;
        if (appleUsb > 0 || iTunesState != 0) {
            iTunes = Probe() ? Probe()() : ListiTunesSources(*helper, TRUE);
            iTunesState = iTunes.connected ? 1 : 0;
        }
        // Whether iTunes shows a source or playlist of that name.
        auto iTunesKnows = [&](const CString& recordName) {
            if (Probe())
                return !MatchiTunesSource(recordName, iTunes.names).IsEmpty();
            IITPlaylist* playlist = nullptr;
            if (FAILED(helper->FindPlaylist(recordName, &playlist)) || !playlist)
                return false;
            playlist->Release();
            return true;
        };
        const CString library = LoadText(IDS_ITUNES_LIBRARY_NAME);
        CString matchedNames;
        bool appleAdded = false;

        for (;;) {
            if (job->stopRequested)
                return;
            Released<IWMDMDevice> device;
            ULONG fetched = 0;
            if (enumeration.p->Next(1, &device.p, &fetched) != S_OK || !device.p)
                break;
            wchar_t nameBuffer[wmdm::kDeviceNameChars + 1] = {};
            DWORD status = 0, type = 0;
            if (FAILED(device.p->GetName(nameBuffer, wmdm::kDeviceNameChars)) || FAILED(device.p->GetStatus(&status)) ||
                FAILED(device.p->GetType(&type)))
                continue;
            if (!(status & wmdm::kStatusReady) || !(type & (wmdm::kTypeStorage | wmdm::kTypeNonSdmi)))
                continue;
            CString name = nameBuffer;
            name.Trim();
            wchar_t letter = GetDriveLetterFromName(name);

            // An iPod: its drive holds iTunes' database, or (without a drive, while an Apple USB
            // device is plugged in) Apple made it and iTunes shows iPods.
            bool apple = false;
            if (letter || appleUsb == 0) {
                apple = letter && IsIPodDrive(letter);
            } else if (!iTunes.names.IsEmpty()) {
                wchar_t maker[wmdm::kDeviceNameChars + 1] = {};
                CString manufacturer;
                if (SUCCEEDED(device.p->GetManufacturer(maker, wmdm::kDeviceNameChars)))
                    manufacturer = maker;
                manufacturer.Trim();
                apple = manufacturer == L"Apple";
            }
            if (apple) {
                if (iTunesState == 0)
                    continue;  // reached through iTunes only, which cannot be reached
                CString recordName = name;
                const int paren = recordName.Find(L'(');
                if (paren >= 0)
                    recordName = recordName.Left(paren);
                recordName.Trim();
                const CString source = MatchiTunesSource(recordName, iTunes.names);
                if (!source.IsEmpty()) {
                    matchedNames += source + L"|";
                    DeviceProperties properties;
                    ReadDeviceProperties(device.p, &properties);
                    UINT kind = IDS_APPLE_IPOD;
                    bool shuffle = false;
                    if (iTunesKnows(source)) {
                        shuffle = (usb.shuffleFound && iTunes.sourceFlag == 1) ||
                                  (letter && IsDriveOnUsbDevice(letter, usb.appleUsbPath));
                        kind = shuffle ? IDS_APPLE_SHUFFLE : IDS_APPLE_DEVICE;
                    }
                    const CString description = LoadText(kind);
                    // No stream: an Apple player is reached through iTunes, not the device manager.
                    auto* record = new PlayerRecord(source, nullptr, description, NoSerialNumber(), properties.protocolFlag);
                    record->iTunesSourceFlag = iTunes.sourceFlag;
                    record->isShuffle = shuffle ? TRUE : FALSE;
                    record->SetMp3Only(0);
                    record->isMobileStorageCard = 0;
                    job->devices->Add(record);
                    appleAdded = true;
                    if (job->mp3Title) {
                        // The same player reached through the library.
                        CString both;
                        both.Format(L"%s and %s", static_cast<const wchar_t*>(library),
                                    static_cast<const wchar_t*>(description));
                        const bool known = kind != IDS_APPLE_IPOD;
                        auto* second = new PlayerRecord(known ? library : source, nullptr, known ? library : both,
                                                        NoSerialNumber(), properties.protocolFlag);
                        second->iTunesSourceFlag = iTunes.sourceFlag;
                        second->isShuffle = record->isShuffle;
                        second->SetMp3Only(0);
                        second->isMobileStorageCard = 0;
                        job->devices->Add(second);
                    }
                    continue;
                }
                if (letter)
                    continue;  // an iPod drive iTunes does not show
                // Otherwise a player like any other.
            }

            WMDMID serial = NoSerialNumber();
            const bool hasSerial = SUCCEEDED(device.p->GetSerialNumber(&serial)) && serial.SerialNumberLength >= 2;
            if (!hasSerial)
                serial = NoSerialNumber();
            DeviceProperties properties;
            const bool offersDevice3 = ReadDeviceProperties(device.p, &properties);
            if (!hasSerial && !offersDevice3)
                continue;

            CString description;
            if (properties.protocolFlag != 1 || (properties.friendlyName.IsEmpty() && properties.modelName.IsEmpty())) {
                int count = 0;
                const CString diskName = GetPlayerDiskName(name, &count);
                if (count == 1)
                    description = diskName;
            }
            if (description.IsEmpty())
                description = ChooseDescription(name, properties);

            IStream* stream = nullptr;
            if (FAILED(CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device.p, &stream)))
                continue;
            auto* record = new PlayerRecord(name, stream, description, serial, properties.protocolFlag);
            record->SetMp3Only(hasSerial ? 0 : 1);

            auto mobile = mobiles.find(name);
            CString altName;
            if (mobile == mobiles.end() && properties.isRapi && !lastMobileName.IsEmpty()) {
                mobile = mobiles.find(lastMobileName);
                altName = lastMobileName;
            }
            if (mobile != mobiles.end()) {
                const PlayerFolderEntry& entry = mobile->second;
                record->displayName.Format(L"%s (%s)", static_cast<const wchar_t*>(LoadText(IDS_MOBILE_DEVICE)),
                                           static_cast<const wchar_t*>(name));
                record->mobileDevice = TRUE;
                record->mobileDeviceId = entry.deviceId;
                record->isMobileStorageCard = entry.isMainEntry ? 0 : 1;
                bool store = !entry.appFolder.IsEmpty();
                if (store && entry.isMainEntry && !job->stopRequested) {
                    CString text;
                    if (CompareVersions(entry.productVersion, job->mobileMinVersion) < 0) {
                        text.Format(IDS_MOBILE_APP_TOO_OLD, static_cast<const wchar_t*>(job->mobileMinVersion),
                                    static_cast<const wchar_t*>(entry.productVersion));
                        AfxMessageBox(text, MB_ICONERROR);
                        store = false;
                    } else if (CompareVersions(entry.productVersion, job->mobileCurVersion) < 0) {
                        text.Format(IDS_MOBILE_APP_NEWER, static_cast<const wchar_t*>(job->mobileCurVersion),
                                    static_cast<const wchar_t*>(entry.productVersion));
                        AfxMessageBox(text, MB_ICONINFORMATION);
                    }
                }
                if (store) {
                    record->SetMobileAppFolder(entry.appFolder);
                    record->mobileDownloadFolder = entry.downloadFolder;
                    record->mobileMediaDbFolder = entry.mediaDbFolder;
                    record->altName = altName.IsEmpty() ? name : altName;
                    if (!entry.mobileId.IsEmpty())
                        record->clientId = entry.mobileId;
                }
            } else if (job->mp3Title) {
                if (!letter && !properties.modelName.IsEmpty()) {
                    CString model = properties.modelName;
                    model.MakeUpper();
                    for (DriveEntry& drive : drives) {
                        CString disk = drive.diskName;
                        disk.MakeUpper();
                        if (!drive.matched && !disk.IsEmpty() && disk.Find(model) >= 0) {
                            letter = drive.letter;
                            drive.matched = true;
                            break;
                        }
                    }
                }
                letter = static_cast<wchar_t>(towupper(letter));
                if (letter >= L'A' && letter <= L'Z') {
                    const CString profile = FindDeviceProfile(letter);
                    if (!profile.IsEmpty()) {
                        ReadDeviceProfile(record, profile);
                        record->massStorage = TRUE;
                        record->driveLetter = letter;
                    }
                }
            }
            job->devices->Add(record);
        }

        if (iTunes.connected && !job->stopRequested)
            AddiTunesRecords(*job, iTunes, matchedNames, usb.shuffleFound, appleAdded);
        helper.reset();

        if (BuildZuneTable() > 0 && !job->stopRequested) {
            const CString version = ReadZuneSoftwareVersion();
            if (!IsZuneSoftware3OrNewer(version)) {
                CString text;
                text.Format(IDS_ZUNE_SOFTWARE_TOO_OLD, 3, 0, static_cast<const wchar_t*>(version));
                AfxMessageBox(text, MB_ICONWARNING);
                ReleaseZuneDevices();  // no record stands for them
            } else {
                switch (ConnectZuneDevices(job)) {
                case ZunePass::ComFailed:
                    return;
                case ZunePass::NoneConnected:
                    return;  // the user was told about each Zune: no further question
                case ZunePass::Connected:
                    break;
                }
            }
        }

        if (job->devices->GetSize() == 0 && !job->stopRequested) {
            if (AfxMessageBox(job->notFoundText, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
                return;
            FreeUsbDeviceTable();
        }
    }
}
