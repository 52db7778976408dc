#include "PlayerRecord.h"

#include "iTunesAutomation.h"
#include "res/DeviceStringIds.h"

namespace {

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

bool Contains(const CString& text, UINT id)
{
    const CString part = LoadText(id);
    return !part.IsEmpty() && text.Find(part) >= 0;
}

}  // namespace

PlayerRecord::PlayerRecord(const CString& name_, IStream* stream, const CString& description, const WMDMID& serial,
                           int protocolFlag, const CString& altName_)
    : name(name_), deviceStream(stream), storageLayout(protocolFlag), serialNumber(serial), altName(altName_)
{
    const CString first = description.IsEmpty() ? name : description;
    CString cut = name;
    const int paren = cut.Find(L'(');
    if (paren >= 0) {
        cut = cut.Left(paren);
        cut.Trim();
    }
    if (cut.CompareNoCase(L"Removable Disk") != 0 && cut.CompareNoCase(first) != 0)
        displayName.Format(L"%s (%s)", static_cast<const wchar_t*>(first), static_cast<const wchar_t*>(cut));
    else
        displayName = first;
}

PlayerRecord::~PlayerRecord()
{
    if (device)
        device->Release();
    if (deviceStream)
        deviceStream->Release();
}

IWMDMDevice* PlayerRecord::GetDeviceInterface()
{
    if (device || !deviceStream)
        return device;
    IWMDMDevice* unmarshalled = nullptr;
    const HRESULT hr = CoGetInterfaceAndReleaseStream(deviceStream, IID_IWMDMDevice, reinterpret_cast<void**>(&unmarshalled));
    deviceStream = nullptr;  // released by the call, whatever it answered
    if (SUCCEEDED(hr))
        device = unmarshalled;
    return device;
}

CString PlayerRecord::GetManufacturer()
{
    if (manufacturerText.IsEmpty()) {
        if (IWMDMDevice* wmdmDevice = GetDeviceInterface()) {
            wchar_t text[260] = {};
            if (SUCCEEDED(wmdmDevice->GetManufacturer(text, static_cast<UINT>(std::size(text)))) && text[0])
                manufacturerText = text;
        }
    }
    return manufacturerText;
}

CString PlayerRecord::GetErrorDetails(const wchar_t* stepKey) const
{
    CString detail;
    if (!errorDetails.Lookup(stepKey, detail) || detail.IsEmpty())
        return CString();
    CString text;
    text.Format(IDS_ERROR_DETAILS, static_cast<const wchar_t*>(detail));
    return text;
}

void PlayerRecord::SetFolderPath(const CString& text)
{
    if (text.CompareNoCase(folderPath) == 0)
        return;
    CString path = text;
    path.TrimRight(L' ');
    CString clean;
    for (int i = 0; i < path.GetLength(); ++i) {
        if (!wcschr(L":*?<>|/\"", path[i]))
            clean += path[i];
    }
    const int slash = clean.ReverseFind(L'\\');
    if (slash >= 0) {
        CString last = clean.Mid(slash + 1);
        if (last.GetLength() > 50) {
            last = last.Left(50);
            const int blank = last.ReverseFind(L' ');
            if (blank > 0)
                last = last.Left(blank);
            clean.Format(L"%s\\%s", static_cast<const wchar_t*>(clean.Left(slash)), static_cast<const wchar_t*>(last));
        }
    }
    folderPath = clean;
}

void PlayerRecord::SetMobileAppFolder(const CString& folder)
{
    mobileAppFolder = folder;
    mobileAppFound = folder.IsEmpty() ? FALSE : TRUE;
}

CString PlayerRecord::GetTargetPath(const CString& titleName) const
{
    if (targetFolder.IsEmpty() || !joinTarget)
        return targetFolder;
    CString path;
    path.Format(L"%s\\%s", static_cast<const wchar_t*>(targetFolder), static_cast<const wchar_t*>(titleName));
    return path;
}

bool StaysOnPlayer(const CString& path)
{
    if (path.Find(L':') >= 0 || path.Left(2) == L"\\\\")
        return false;
    CString rest = path + L"\\";
    rest.Replace(L'/', L'\\');
    int start = 0;
    for (int end = rest.Find(L'\\'); end >= 0; end = rest.Find(L'\\', start)) {
        CString part = rest.Mid(start, end - start);
        part.Trim();
        if (part == L"..")
            return false;
        start = end + 1;
    }
    return true;
}

BOOL PlayerRecord::DeleteTargetFile(const CString& relativePath)
{
    // Only a player reached through its drive: its folder is the folder path on that drive.
    if (!massStorage || !driveLetter)
        return FALSE;
    CString path = relativePath;
    path.Trim(L'\\');
    if (path.IsEmpty() || path[0] == L'/' || !StaysOnPlayer(path))
        return FALSE;
    CString inside = folderPath;
    inside.Trim(L'\\');
    CString folder;
    folder.Format(L"%c:\\%s", driveLetter, static_cast<const wchar_t*>(inside));
    folder.TrimRight(L'\\');
    CString file;
    file.Format(L"%s\\%s", static_cast<const wchar_t*>(folder), static_cast<const wchar_t*>(path));
    const BOOL deleted = DeleteFileW(file);
    if (!inside.IsEmpty())
        RemoveDirectoryW(folder);  // fails while the folder still holds files
    return deleted;
}

int PlayerRecord::IsApple()
{
    if (isApple == kUnknownValue)
        isApple = static_cast<int>(GetAppleDeviceKind(displayName));
    return isApple;
}

int PlayerRecord::IsZune()
{
    if (isZune == kUnknownValue)
        isZune = Contains(displayName, 3503) ? 1 : 0;
    return isZune;
}

int PlayerRecord::IsMp3Only()
{
    if (isMp3Only == kUnknownValue)
        isMp3Only = Contains(displayName, IDS_MP3_ONLY) ? 1 : 0;
    return isMp3Only;
}

int PlayerRecord::AddFormatCode(DWORD code)
{
    formatCodes.push_back(code);
    return static_cast<int>(formatCodes.size() - 1);
}

int PlayerRecord::FindFormatCode(DWORD code, BOOL* found) const
{
    for (size_t i = 0; i < formatCodes.size(); ++i) {
        if (formatCodes[i] == code) {
            if (found)
                *found = TRUE;
            return static_cast<int>(i);
        }
    }
    if (found)
        *found = FALSE;
    return static_cast<int>(formatCodes.size());
}

PlayerRecord* PlayerAt(const CObArray& devices, INT_PTR index)
{
    if (index < 0 || index >= devices.GetSize())
        return nullptr;
    return static_cast<PlayerRecord*>(devices[index]);
}

CString FormatSystemError(DWORD code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    CString text;
    if (length && buffer) {
        text = buffer;
        const int end = text.FindOneOf(L"\r\n");
        if (end >= 0)
            text = text.Left(end);
    }
    if (buffer)
        LocalFree(buffer);
    if (text.IsEmpty())
        text.Format(L"Unknown error code %08x (%d)", code, static_cast<int>(code & 0xFFFF));
    return text;
}
