#include "Recorder.h"

#include "TextConversion.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace burnsdk {

namespace {

constexpr wchar_t kFixtureVariable[] = L"VESPERLIN_RECORDERS";

std::wstring ReadText(const std::wstring& file, const std::wstring& section, const wchar_t* key, const wchar_t* fallback = L"")
{
    wchar_t buffer[1024];
    GetPrivateProfileStringW(section.c_str(), key, fallback, buffer, 1024, file.c_str());
    return buffer;
}

bool HasKey(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    return ReadText(file, section, key, L"\x01") != L"\x01";
}

ULONGLONG ReadNumber(const std::wstring& file, const std::wstring& section, const wchar_t* key, ULONGLONG fallback)
{
    const std::wstring text = ReadText(file, section, key);
    return text.empty() ? fallback : std::wcstoull(text.c_str(), nullptr, 0);
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// "a, b,c" -> {"A", "B", "C"}
std::vector<std::wstring> List(const std::wstring& text)
{
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(L',', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring item = text.substr(start, end - start);
        item.erase(0, item.find_first_not_of(L" \t"));
        item.erase(item.find_last_not_of(L" \t") + 1);
        if (!item.empty())
            items.push_back(Upper(item));
        start = end + 1;
    }
    return items;
}

std::vector<ULONG> Speeds(const std::wstring& text, ULONG fallback)
{
    std::vector<ULONG> speeds;
    for (const std::wstring& item : List(text))
        speeds.push_back(static_cast<ULONG>(std::wcstoul(item.c_str(), nullptr, 0)));
    if (speeds.empty())
        speeds.push_back(fallback);
    std::sort(speeds.begin(), speeds.end());
    return speeds;
}

Failure ReadFailure(const std::wstring& file, const std::wstring& section, const wchar_t* key)
{
    Failure failure;
    const std::wstring text = Upper(ReadText(file, section, key));
    if (text == L"ALL")
        failure.always = true;
    else if (!text.empty())
        failure.remaining = static_cast<ULONG>(std::wcstoul(text.c_str(), nullptr, 0));
    return failure;
}

struct DiscTypeName {
    const wchar_t* name;
    ULONG type;
};
constexpr DiscTypeName kDiscTypes[] = {
    {L"CD-ROM", STARBURN_DISC_CDROM},         {L"CD-R", STARBURN_DISC_CDR},
    {L"CD-RW", STARBURN_DISC_CDRW},           {L"DVD-ROM", STARBURN_DISC_DVDROM},
    {L"DVD-R", STARBURN_DISC_DVDR},           {L"DVD-RAM", STARBURN_DISC_DVDRAM},
    {L"DVD-RW", STARBURN_DISC_DVDRW_SEQUENTIAL}, {L"DVD+RW", STARBURN_DISC_DVDPLUSRW},
    {L"DVD+R", STARBURN_DISC_DVDPLUSR},       {L"DVD+R DL", STARBURN_DISC_DVDPLUSR_DL},
    {L"DVD-R DL", STARBURN_DISC_DVDR_DL},     {L"BD-ROM", STARBURN_DISC_BDROM},
    {L"BD-R", STARBURN_DISC_BDR},             {L"BD-RE", STARBURN_DISC_BDRE},
    {L"HD-DVD-ROM", STARBURN_DISC_HDDVDROM},  {L"HD-DVD-R", STARBURN_DISC_HDDVDR},
    {L"HD-DVD-RW", STARBURN_DISC_HDDVDRW},
};

ULONG DiscType(const std::wstring& text)
{
    if (text.empty())
        return STARBURN_DISC_CDR;
    if (std::iswdigit(text[0]))
        return static_cast<ULONG>(std::wcstoul(text.c_str(), nullptr, 0));
    for (const DiscTypeName& named : kDiscTypes) {
        if (Upper(text) == named.name)
            return named.type;
    }
    return STARBURN_DISC_UNKNOWN;
}

// The media a drive writes, and the bytes of the formats record that say so (the write byte;
// the read byte before it).
struct WritableMedium {
    const wchar_t* name;
    size_t writeOffset;
    std::vector<ULONG> types;
};
const WritableMedium kWritableMedia[] = {
    {L"CD-R", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdR), {STARBURN_DISC_CDR, STARBURN_DISC_DDCDR}},
    {L"CD-RW", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeCdRw), {STARBURN_DISC_CDRW, STARBURN_DISC_DDCDRW}},
    {L"DVD-R", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdR), {STARBURN_DISC_DVDR}},
    {L"DVD-RAM", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdRam), {STARBURN_DISC_DVDRAM}},
    {L"DVD-RW", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdRw),
     {STARBURN_DISC_DVDRW_RESTRICTED, STARBURN_DISC_DVDRW_SEQUENTIAL}},
    {L"DVD+RW", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusRw), {STARBURN_DISC_DVDPLUSRW}},
    {L"DVD+R", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusR), {STARBURN_DISC_DVDPLUSR}},
    {L"DVD+R DL", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdPlusRDl), {STARBURN_DISC_DVDPLUSR_DL}},
    {L"DVD-R DL", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeDvdRDl), {STARBURN_DISC_DVDR_DL}},
    {L"BD-R", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeBdR), {STARBURN_DISC_BDR}},
    {L"BD-RE", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeBdRe), {STARBURN_DISC_BDRE}},
    {L"HD-DVD-R", offsetof(STARBURN_SUPPORTED_MEDIA_FORMATS, writeHdDvdR), {STARBURN_DISC_HDDVDR, STARBURN_DISC_HDDVDRW}},
};

UCHAR& FormatByte(STARBURN_SUPPORTED_MEDIA_FORMATS& formats, size_t offset)
{
    return reinterpret_cast<UCHAR*>(&formats)[offset];
}

STARBURN_SUPPORTED_MEDIA_FORMATS Formats(const std::vector<std::wstring>& writes)
{
    STARBURN_SUPPORTED_MEDIA_FORMATS formats = {};
    formats.size = sizeof formats;
    formats.readCdRom = 1;
    for (const WritableMedium& medium : kWritableMedia) {
        if (std::find(writes.begin(), writes.end(), medium.name) != writes.end()) {
            FormatByte(formats, medium.writeOffset) = 1;
            FormatByte(formats, medium.writeOffset - 1) = 1;
        }
    }
    return formats;
}

bool ParseMsf(const std::wstring& text, UCHAR msf[3])
{
    unsigned m = 0, s = 0, f = 0;
    if (swscanf(text.c_str(), L"%u:%u:%u", &m, &s, &f) != 3 || m > 255 || s > 59 || f > 74)
        return false;
    msf[0] = static_cast<UCHAR>(m);
    msf[1] = static_cast<UCHAR>(s);
    msf[2] = static_cast<UCHAR>(f);
    return true;
}

ULONGLONG CapacityBlocks(const UCHAR msf[3])
{
    return (static_cast<ULONGLONG>(msf[0]) * 60 + msf[1]) * 75 + msf[2];
}

Disc ReadDisc(const std::wstring& file, const std::wstring& section)
{
    Disc disc;
    disc.type = DiscType(ReadText(file, section, L"Type"));
    ParseMsf(ReadText(file, section, L"Capacity"), disc.capacity);
    disc.usedBytes = ReadNumber(file, section, L"UsedBytes", 0);
    disc.blank = ReadNumber(file, section, L"Blank", disc.usedBytes == 0 ? 1 : 0) != 0;
    disc.closed = ReadNumber(file, section, L"Closed", disc.blank ? 0 : 1) != 0;
    disc.tracks = static_cast<ULONG>(ReadNumber(file, section, L"Tracks", 0));
    const ULONGLONG capacity = CapacityBlocks(disc.capacity) * kDataBlockBytes;
    const ULONGLONG left = disc.closed || capacity < disc.usedBytes ? 0 : capacity - disc.usedBytes;
    disc.freeBytes = ReadNumber(file, section, L"FreeBytes", left);
    disc.failTrack = static_cast<ULONG>(ReadNumber(file, section, L"FailTrack", 0));
    return disc;
}

std::wstring Beside(const std::wstring& fixture, const std::wstring& name)
{
    if ((name.size() > 1 && name[1] == L':') || (!name.empty() && name[0] == L'\\'))
        return name;
    const size_t slash = fixture.find_last_of(L"\\/");
    return (slash == std::wstring::npos ? std::wstring() : fixture.substr(0, slash + 1)) + name;
}

void Load(Recorder& recorder, const std::wstring& file)
{
    for (Grabber* grabber : recorder.grabbers)
        delete grabber;
    recorder = Recorder();
    if (file.empty() || GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return;
    recorder.fixture = file;
    const std::wstring main = L"Recorders";
    recorder.log = Beside(file, ReadText(file, main, L"Log", L"calls.log"));
    recorder.failUpStart = static_cast<ULONG>(ReadNumber(file, main, L"FailUpStart", 0));
    const std::wstring discs = Beside(file, ReadText(file, main, L"VirtualDisc", L"discs"));
    const int count = static_cast<int>(ReadNumber(file, main, L"Count", 0));
    for (int i = 1; i <= count && i <= 64; ++i) {
        const std::wstring section = L"Drive" + std::to_wstring(i);
        Drive drive;
        drive.index = i;
        unsigned a[4] = {1, 0, static_cast<unsigned>(i - 1), 0};
        swscanf(ReadText(file, section, L"Address").c_str(), L"%u:%u:%u:%u", &a[0], &a[1], &a[2], &a[3]);
        for (int k = 0; k < 4; ++k)
            drive.address[k] = static_cast<UCHAR>(a[k]);
        drive.device = ReadText(file, section, L"Device", (L"CdRom" + std::to_wstring(i - 1)).c_str());
        drive.letter = Narrow(ReadText(file, section, L"Letter"), CP_ACP);
        drive.vendor = Narrow(ReadText(file, section, L"Vendor"), CP_ACP).substr(0, STARBURN_VENDOR_SIZE - 1);
        drive.product = Narrow(ReadText(file, section, L"Product"), CP_ACP).substr(0, STARBURN_PRODUCT_SIZE - 1);
        drive.revision = Narrow(ReadText(file, section, L"Revision"), CP_ACP).substr(0, STARBURN_REVISION_SIZE - 1);
        drive.bufferKB = static_cast<ULONG>(ReadNumber(file, section, L"BufferKB", 2048));
        std::vector<std::wstring> writes = List(ReadText(file, section, L"Writes", L"CD-R,CD-RW"));
        drive.formats = Formats(writes);
        const std::vector<std::wstring> modes = List(ReadText(file, section, L"WriteModes", L"TAO,SAO"));
        const wchar_t* modeNames[4] = {L"TAO", L"SAO", L"RAW16", L"RAW96"};
        for (int k = 0; k < 4; ++k)
            drive.modes[k] = std::find(modes.begin(), modes.end(), modeNames[k]) != modes.end();
        drive.readSpeeds = Speeds(ReadText(file, section, L"ReadSpeeds"), 7040);
        drive.writeSpeeds = Speeds(ReadText(file, section, L"WriteSpeeds"), 4224);
        drive.maxRead = static_cast<ULONG>(ReadNumber(file, section, L"MaxReadSpeed", drive.readSpeeds.back()));
        drive.maxWrite = static_cast<ULONG>(ReadNumber(file, section, L"MaxWriteSpeed", drive.writeSpeeds.back()));
        const int discCount = static_cast<int>(ReadNumber(file, section, L"Discs", HasKey(file, section, L"Discs") ? 0 : 1));
        for (int k = 1; k <= discCount && k <= 1000; ++k)
            drive.discs.push_back(ReadDisc(file, section + L".Disc" + std::to_wstring(k)));
        const wchar_t* failureKeys[] = {L"FailCreate",  L"FailTestUnitReady", L"FailSendOPC", L"FailCloseSession",
                                        L"FailEject",   L"FailSetBUP",        L"FailSetSpeeds"};
        for (int k = 0; k < static_cast<int>(Call::Count); ++k)
            drive.failures[k] = ReadFailure(file, section, failureKeys[k]);
        drive.discFolder = discs + L"\\Drive" + std::to_wstring(i);
        recorder.drives.push_back(std::move(drive));
    }
}

std::wstring FixtureNamed()
{
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD length = GetEnvironmentVariableW(kFixtureVariable, buffer, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(buffer, length) : std::wstring();
}

}  // namespace

bool Failure::Due()
{
    if (always)
        return true;
    if (remaining == 0)
        return false;
    --remaining;
    return true;
}

bool Drive::Writes(ULONG discType) const
{
    STARBURN_SUPPORTED_MEDIA_FORMATS copy = formats;
    for (const WritableMedium& medium : kWritableMedia) {
        if (std::find(medium.types.begin(), medium.types.end(), discType) != medium.types.end())
            return FormatByte(copy, medium.writeOffset) != 0;
    }
    return false;
}

bool Drive::IsRecorder() const
{
    STARBURN_SUPPORTED_MEDIA_FORMATS copy = formats;
    return std::any_of(std::begin(kWritableMedia), std::end(kWritableMedia),
                       [&](const WritableMedium& medium) { return FormatByte(copy, medium.writeOffset) != 0; });
}

Session::Session(bool reload) : m_lock([]() -> std::recursive_mutex& {
                                     static std::recursive_mutex lock;
                                     return lock;
                                 }())
{
    static Recorder recorder;
    static bool loaded = false;
    m_recorder = &recorder;
    const std::wstring file = FixtureNamed();
    if (reload || !loaded || file != recorder.fixture) {
        Load(recorder, file);
        loaded = true;
    }
}

Grabber* Session::Find(void* handle)
{
    if (!handle)
        return nullptr;
    for (Grabber* grabber : m_recorder->grabbers) {
        if (grabber == handle)
            return grabber;
    }
    return nullptr;
}

void Log(Recorder& recorder, const std::string& line)
{
    if (recorder.log.empty())
        return;
    const HANDLE file = CreateFileW(recorder.log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    const std::string text = line + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Narrow(const std::wstring& text, UINT codePage)
{
    return AfxToMultiByte(text.c_str(), static_cast<int>(text.size()), codePage);
}

std::wstring Wide(const char* text)
{
    return text ? AfxToWide(text, -1, CP_ACP) : std::wstring();
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

}  // namespace burnsdk
