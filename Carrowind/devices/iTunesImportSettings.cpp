#include "iTunesImportSettings.h"

#include <shlobj.h>

#include <vector>

namespace {

const wchar_t kEncoderKey[] = L"<key>Preferences:130</key>";
const wchar_t kPresetKey[] = L"<key>iTunes.exe:AAC Encoder</key>";

// count characters that follow the key (keyLength characters at position at), without "<data>", tabs and line ends.
CString CleanValueAfter(const CString& text, int at, int keyLength, int count)
{
    CString value = text.Mid(at + keyLength, count);
    value.Replace(L"<data>", L"");
    value.Remove(L'\t');
    value.Remove(L'\r');
    value.Remove(L'\n');
    return value;
}

struct EncoderRow {
    const wchar_t* value;
    const wchar_t* name;
};
const EncoderRow kEncoders[] = {
    {L"AAABEExvc3NsZXNzIEVu", L"Apple Lossless Encoder"},
    {L"AAABC0FBQyBFbmNvZGVy", L"AAC Encoder"},
    {L"AAABDEFJRkYgRW5jb2Rl", L"AIFF Encoder"},
    {L"AAABC01QMyBFbmNvZGVy", L"MP3 Encoder"},
    {L"AAABC1dBViBFbmNvZGVy", L"WAV Encoder"},
};

// A preset; bitRate 0 leaves the bit rate, a null name the preset name.
struct PresetRow {
    const wchar_t* value;
    const wchar_t* name;
    DWORD bitRate;
    int withFlag;
    int withoutFlag;
};
const PresetRow kHighQuality = {nullptr, L"High Quality (128 kbps)", 128, 2, 1};
const PresetRow kPresets[] = {
    {L"AAAAAAdQb2Rj", L"Spoken Podcast (64 kbps)", 64, 1, 2},
    {L"AAAAAAZCZXR0", L"High Quality (128 kbps)", 128, 2, 1},
    {L"AAAAAARCZXN0", L"Higher Quality (256 kbps)", 256, 2, 2},
    {L"AAAAAAppVHVu", L"iTunes Plus (256 kbps)", 256, 2, 2},
    {L"AAAAAAZDdXN0", L"Custom...", 0, 2, 2},
};

struct FolderRow {
    const wchar_t* value;
    const wchar_t* text;
};
const FolderRow kFolders[] = {
    {L"BAAAAQABAQAAAQ", L"ITMusicFolder=Checked"},
    {L"BAAAAQABAAAAAQ", L"ITMusicFolder=Unchecked"},
    {L"BAAAAQABAQAAAA", L"ITMusicFolder=DefaultV"},
};

int ApplyPreset(const PresetRow& row, BOOL flag, iTunesImportSettings* settings)
{
    if (row.name)
        settings->preset = row.name;
    if (row.bitRate)
        settings->bitRate = row.bitRate;
    return flag ? row.withFlag : row.withoutFlag;
}

}  // namespace

CString iTunesPreferencesPath()
{
    wchar_t roaming[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, roaming)))
        return CString();
    CString path;
    path.Format(L"%s\\Apple Computer\\iTunes\\iTunesPrefs.xml", roaming);
    return path;
}

int ReadiTunesEncoderSettings(BOOL flag, iTunesImportSettings* settings, bool wantMusicFolder)
{
    const CString path = iTunesPreferencesPath();
    return path.IsEmpty() ? 2 : ReadiTunesEncoderSettingsFrom(path, flag, settings, wantMusicFolder);
}

int ReadiTunesEncoderSettingsFrom(const CString& path, BOOL flag, iTunesImportSettings* settings, bool wantMusicFolder)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 2;
    LARGE_INTEGER size{};
    // A preferences file is small; one larger than this is not iTunes'.
    constexpr LONGLONG kMaxBytes = 64LL * 1024 * 1024;
    std::vector<char> bytes;
    bool read = GetFileSizeEx(file, &size) && size.QuadPart <= kMaxBytes;
    if (read && size.QuadPart > 0) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        read = ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
    }
    CloseHandle(file);
    if (!read)
        return 2;
    CString text;
    if (!bytes.empty()) {
        const int length = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        if (length > 0) {
            wchar_t* buffer = text.GetBuffer(length);
            MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), buffer, length);
            text.ReleaseBuffer(length);
        }
    }
    return ReadiTunesEncoderSettingsFromText(text, flag, settings, wantMusicFolder);
}

int ReadiTunesEncoderSettingsFromText(const CString& text, BOOL flag, iTunesImportSettings* settings, bool wantMusicFolder)
{
    const int encoderAt = text.Find(kEncoderKey);
    if (encoderAt >= 0) {
        const CString value = CleanValueAfter(text, encoderAt, static_cast<int>(wcslen(kEncoderKey)), 200).Mid(20, 20);
        settings->encoder = L"AAC Encoder";
        for (const EncoderRow& row : kEncoders)
            if (value == row.value)
                settings->encoder = row.name;
    }

    const int presetAt = text.Find(kPresetKey);
    if (presetAt < 0)
        return ApplyPreset(kHighQuality, flag, settings);
    const CString value = CleanValueAfter(text, presetAt, static_cast<int>(wcslen(kPresetKey)), 100).Left(12);
    int result = 2;
    for (const PresetRow& row : kPresets)
        if (value == row.value)
            result = ApplyPreset(row, flag, settings);

    if (wantMusicFolder) {
        // From the encoder's key on (from the start when the file has none), cleaned as the
        // values are: a value wrapped over two lines still matches.
        const int from = encoderAt >= 0 ? encoderAt : 0;
        const CString rest = CleanValueAfter(text, from, 0, text.GetLength() - from);
        settings->musicFolder = L"ITMusicFolder=Unknown";
        for (const FolderRow& row : kFolders) {
            if (rest.Find(row.value) >= 0) {
                settings->musicFolder = row.text;
                break;
            }
        }
    }
    return result;
}

CString EstimatedConversionTime(DWORD bitRate)
{
    if (bitRate <= 64)
        return L"1 minute";
    if (bitRate <= 128)
        return L"2.5 minutes";
    if (bitRate <= 256)
        return L"4 minutes";
    return L"more than 5 minutes";
}

void iTunesImportState::Remember(const iTunesImportSettings& settings)
{
    if (savedEncoder.IsEmpty())
        savedEncoder = settings.encoder;
    if (savedPreset.IsEmpty())
        savedPreset = settings.preset;
}

iTunesImportState& TheiTunesImportState()
{
    static iTunesImportState state;
    return state;
}
