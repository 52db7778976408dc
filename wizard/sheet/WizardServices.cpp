#include "WizardServices.h"

#include "DataFolder.h"
#include "FileUtils.h"
#include "MediaElements.h"
#include "RegistryKey.h"

#include <vector>

CString ReplacePlaceholders(const CString& text, const CMapStringToString* placeholders)
{
    CString result(text);
    if (placeholders) {
        POSITION position = placeholders->GetStartPosition();
        while (position) {
            CString key;
            CString value;
            placeholders->GetNextAssoc(position, key, value);
            if (!key.IsEmpty())
                result.Replace(key, value);
        }
    }
    result.Replace(L"\\n", L"\r\n");
    return result;
}

CString FormatLastErrorText(const wchar_t* step, DWORD error)
{
    wchar_t* message = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       error, 0, reinterpret_cast<wchar_t*>(&message), 0, nullptr);
    if (length == 0 || !message) {
        if (message)
            LocalFree(message);
        return CString();
    }
    CString systemText(message, static_cast<int>(length));
    LocalFree(message);
    systemText.TrimRight(L"\r\n");
    CString text;
    text.Format(L"[%s] failed with error %d: %s", step, static_cast<int>(error), systemText.GetString());
    return text;
}

LONG ReadRegValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, CString& data, CString& errorText,
                  BOOL view64)
{
    data.Empty();
    errorText.Empty();
    CRegistryKey key;
    LONG status = key.Open(root, subKey, KEY_QUERY_VALUE | (view64 ? KEY_WOW64_64KEY : 0));
    if (status != ERROR_SUCCESS) {
        errorText = FormatLastErrorText(L"RegOpenKeyEx", static_cast<DWORD>(status));
        return status;
    }
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        errorText = FormatLastErrorText(L"RegQueryValueEx(get type and size)", static_cast<DWORD>(status));
        return status;
    }
    if (type != REG_SZ || size == 0) {
        errorText = L"The registry value is not a text or is empty.";
        return ERROR_INVALID_DATA;
    }
    // Room for a terminator the stored data may lack.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD read = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
    status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &read);
    if (status != ERROR_SUCCESS) {
        errorText = FormatLastErrorText(L"RegQueryValueEx", static_cast<DWORD>(status));
        return status;
    }
    buffer[std::min<size_t>(read / sizeof(wchar_t), buffer.size() - 1)] = L'\0';
    data = buffer.data();
    return ERROR_SUCCESS;
}

LONG WriteRegValue(HKEY root, const wchar_t* subKey, const wchar_t* valueName, const wchar_t* data, BOOL create,
                   CString& errorText)
{
    errorText.Empty();
    CRegistryKey key;
    LONG status = create ? key.Create(root, subKey, KEY_WRITE) : key.Open(root, subKey, KEY_SET_VALUE);
    if (status != ERROR_SUCCESS) {
        errorText = FormatLastErrorText(create ? L"RegCreateKeyEx" : L"RegOpenKeyEx", static_cast<DWORD>(status));
        return status;
    }
    const wchar_t* text = data ? data : L"";
    const DWORD bytes = static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t));
    status = RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
    if (status != ERROR_SUCCESS)
        errorText = FormatLastErrorText(L"RegSetValueEx", static_cast<DWORD>(status));
    return status;
}

UINT WizardMessageBoxType(UINT type)
{
    if ((type & MB_TYPEMASK) >= MB_YESNOCANCEL)
        return (type & ~MB_ICONMASK) | MB_ICONQUESTION;
    return type;
}

CString FindBannerImageIn(const CString& dataFolder, const wchar_t* sourceId)
{
    if (!sourceId || !*sourceId || dataFolder.IsEmpty())
        return CString();
    for (const wchar_t* extension : {L".gif", L".jpg", L".png"}) {
        CString path;
        path.Format(L"%s\\Banners\\%s%s", dataFolder.GetString(), sourceId, extension);
        if (FileExists(path))
            return path;
    }
    return CString();
}

CString FindBannerImage(const wchar_t* sourceId)
{
    if (!sourceId || !*sourceId)
        return CString();
    return FindBannerImageIn(GetConsoleDataFolder(), sourceId);
}

CString GetFileProductVersion(const wchar_t* path)
{
    if (!path || !*path)
        return CString();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    CString text;
    if (size == 0) {
        text.Format(L"GetFileVersionInfoSize=Error:%u", GetLastError());
        return text;
    }
    std::vector<BYTE> info(size);
    if (!GetFileVersionInfoW(path, 0, size, info.data())) {
        text.Format(L"GetFileVersionInfo=Error:%u", GetLastError());
        return text;
    }
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    wchar_t* version = nullptr;
    if (!VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof(Translation))
        return L"VerQueryValue=FALSE";
    CString block;
    block.Format(L"\\StringFileInfo\\%04hX%04hX\\ProductVersion", translation->language, translation->codePage);
    if (!VerQueryValueW(info.data(), block, reinterpret_cast<void**>(&version), &length) || !version)
        return L"VerQueryValue=FALSE";
    text = CString(version, static_cast<int>(wcsnlen(version, length)));
    text.Replace(L',', L'.');
    text.Remove(L' ');
    return text;
}

int ContentKindFromType(const wchar_t* contentType)
{
    static const struct {
        const wchar_t* name;
        int kind;
    } kinds[] = {
        {L"WMA Audiobook", KindAudiobook},  {L"WMA Music", KindMusic},       {L"WMV Video (standard)", KindVideo},
        {L"WMV Video (mobile)", KindMobileVideo}, {L"Game", KindGame},       {L"MP3 Audiobook", KindMp3Audiobook},
        {L"MP3 Music", KindMp3Music},
    };
    if (!contentType)
        return 0;
    for (const auto& entry : kinds) {
        if (_wcsicmp(contentType, entry.name) == 0)
            return entry.kind;
    }
    return 0;
}
