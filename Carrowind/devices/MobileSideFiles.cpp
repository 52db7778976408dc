// A Windows Mobile player's paths and the side files its reading application takes, through
// the device link. Every operation opens its own link and lets it go before it returns.
#include "DataFolder.h"
#include "FileUtils.h"
#include "MobileLink.h"
#include "PlayerRecord.h"
#include "WmdmServices.h"
#include "res/DeviceStringIds.h"

#include <vector>

namespace {

constexpr wchar_t kListFileName[] = L"Carrowind.dat";
constexpr wchar_t kDeviceLibrary[] = L"ZKYMobileRapi.DLL";
constexpr wchar_t kDeviceFunction[] = L"ZKYMInvokableFunction";

// The device's session, opened on the calling thread for one operation (throws CRAPIException).
class MobileSession {
public:
    explicit MobileSession(const GUID& deviceId) : m_desktop(false)
    {
        HRESULT hr = m_desktop.Get()->FindDevice(&deviceId, rapi::GetDevice::NonBlocking, &m_connection.device);
        if (FAILED(hr) || !m_connection.device) {
            m_connection.device = nullptr;
            throw CRAPIException(FAILED(hr) ? hr : E_FAIL);
        }
        RAPI_DEVICEINFO info{};
        hr = m_connection.device->GetDeviceInfo(&info);
        SysFreeString(info.bstrName);
        SysFreeString(info.bstrPlatform);
        if (FAILED(hr))
            throw CRAPIException(hr);
        m_session = m_connection.GetSession();
    }
    IRAPISession* operator->() const { return m_session; }
    CRAPIConnection& Connection() { return m_connection; }

private:
    CRAPIDesktop m_desktop;
    CRAPIConnection m_connection;
    IRAPISession* m_session = nullptr;
};

CString WithoutTrailingBackslashes(const CString& text)
{
    CString trimmed = text;
    trimmed.TrimRight(L'\\');
    return trimmed;
}

CString FileNameOf(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash >= 0 ? path.Mid(slash + 1) : path;
}

// "Cover.jpg" -> "Cover-Cover.jpg": "-Cover" before the last four characters.
CString SmallCoverName(const CString& path)
{
    if (path.GetLength() < 4)
        return CString();
    return path.Left(path.GetLength() - 4) + L"-Cover" + path.Right(4);
}

// A name that stays a plain name: no folder, drive or ".." of its own.
bool PlainName(const CString& text)
{
    return !text.IsEmpty() && text.FindOneOf(L"\\/:") < 0 && text.Find(L"..") < 0;
}

}  // namespace

CString PlayerRecord::GetMobileDeviceRoot()
{
    if (IsMobileStorageCard() == 1)
        return L"\\" + name;
    CString root;
    root.LoadString(IDS_MOBILE_DOCUMENTS);
    return root;
}

int PlayerRecord::QueryMobilePath(const CString& path, DWORD* attributes)
{
    if (attributes)
        *attributes = 0;
    if (!mobileDevice || path.IsEmpty())
        return -1;
    try {
        MobileSession session(mobileDeviceId);
        const CString full = GetMobileDeviceRoot() + path;
        CE_FIND_DATA found{};
        HANDLE find = session->CeFindFirstFile(full, &found);
        if (find == INVALID_HANDLE_VALUE)
            return 0;
        session->CeFindClose(find);
        if (attributes)
            *attributes = found.dwFileAttributes;
        return 1;
    } catch (const CRAPIException&) {
        return -1;
    }
}

void PlayerRecord::DeleteMobileTargetFile(const CString& fileName)
{
    CString file = fileName;
    file.Trim(L'\\');
    if (!mobileDevice || !mobileAppFound || file.IsEmpty() || !StaysOnPlayer(file) || !StaysOnPlayer(folderPath))
        return;
    try {
        MobileSession session(mobileDeviceId);
        const CString folder = WithoutTrailingBackslashes(GetMobileDeviceRoot() + folderPath);
        session->CeDeleteFile(folder + L"\\" + file);
        session->CeRemoveDirectory(folder);  // fails while the folder still holds files
    } catch (const CRAPIException&) {
        // the device is gone: nothing to delete
    }
}

CString PlayerRecord::GetRootStorageName(DWORD* attributes, int* layout)
{
    if (IsZune() > 0) {
        startStorageName = name;
        startStorageAttributes = 0x5000008;
    } else if (startStorageName.IsEmpty()) {
        if (IWMDMStorage* start = GetRootStorage(GetDeviceInterface())) {
            DWORD word = 0;
            startStorageName = GetWmdmStorageName(start, &word);
            startStorageAttributes = word;
            start->Release();
        }
    }
    if (attributes)
        *attributes = startStorageAttributes;
    if (layout)
        *layout = GetStorageLayout();
    return startStorageName;
}

BOOL CopySideFilesToMobile(PlayerRecord* player, const CString& playlistPath, const CString& coverPath,
                           const CString& sourceId)
{
    if (!player || player->mobileAppFolder.IsEmpty() || !player->mobileDevice || !player->mobileAppFound)
        return FALSE;
    const CString appFolder = WithoutTrailingBackslashes(player->mobileAppFolder);
    const int dot = playlistPath.ReverseFind(L'.');
    if (dot < 0 || !StaysOnPlayer(player->folderPath))
        return FALSE;
    const CString orderFile = playlistPath.Left(dot + 1) + L"vpm";
    const CString rootName = player->GetRootStorageName();
    if (rootName.IsEmpty())
        return FALSE;  // the title's folder on the device cannot be named
    const CString deviceFolder = L"\\" + rootName + player->folderPath + L"\\";
    try {
        MobileSession session(player->mobileDeviceId);
        const CString deviceOrderFile = deviceFolder + FileNameOf(orderFile);
        if (!CopyFileToMobile(session.Connection(), orderFile, deviceOrderFile, FILE_ATTRIBUTE_HIDDEN))
            return FALSE;

        // Best effort from here to the list file.
        if (!coverPath.IsEmpty()) {
            const CString deviceCover = deviceFolder + FileNameOf(coverPath);
            CopyFileToMobile(session.Connection(), coverPath, deviceCover, FILE_ATTRIBUTE_NORMAL);
            const CString smallCover = SmallCoverName(coverPath);
            if (!smallCover.IsEmpty() && FileExists(smallCover))
                CopyFileToMobile(session.Connection(), smallCover, SmallCoverName(deviceCover), FILE_ATTRIBUTE_NORMAL);
            const CString coverName = FileNameOf(coverPath);
            const int extension = coverName.ReverseFind(L'.');
            if (extension >= 0 && extension + 1 < coverName.GetLength()) {
                CString folderImage;
                folderImage.Format(L"%sfolder.%s", static_cast<const wchar_t*>(deviceFolder),
                                   static_cast<const wchar_t*>(coverName.Mid(extension + 1)));
                CopyFileToMobile(session.Connection(), coverPath, folderImage, FILE_ATTRIBUTE_HIDDEN);
            }
        }
        if (!player->mobileMediaDbFolder.IsEmpty() && PlainName(sourceId)) {
            const CString dataFolder = GetConsoleDataFolder();
            CString pattern;
            pattern.Format(L"%s\\Banners\\%s.*", static_cast<const wchar_t*>(dataFolder),
                           static_cast<const wchar_t*>(sourceId));
            WIN32_FIND_DATAW found;
            HANDLE find = FindFirstFileW(pattern, &found);
            if (find != INVALID_HANDLE_VALUE) {
                FindClose(find);
                CString local, remote;
                local.Format(L"%s\\Banners\\%s", static_cast<const wchar_t*>(dataFolder), found.cFileName);
                remote.Format(L"%sBanners\\%s", static_cast<const wchar_t*>(player->mobileMediaDbFolder), found.cFileName);
                CopyFileToMobile(session.Connection(), local, remote, FILE_ATTRIBUTE_NORMAL);
            }
        }

        HANDLE list = session->CeCreateFile(appFolder + L"\\" + kListFileName, GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                            OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (list == INVALID_HANDLE_VALUE)
            return FALSE;
        // Opening the list file again answers "already exists": that is the usual case, not a failure.
        const DWORD openError = session->CeGetLastError();
        const DWORD position = session->CeSetFilePointer(list, 0, nullptr, FILE_END);
        const bool atEnd = position != INVALID_SET_FILE_POINTER || session->CeGetLastError() == 0;
        const int bytes = WideCharToMultiByte(CP_ACP, 0, deviceOrderFile, -1, nullptr, 0, nullptr, nullptr);
        std::vector<char> line(bytes > 0 ? static_cast<size_t>(bytes) : 1, '\0');
        if (bytes > 0)
            WideCharToMultiByte(CP_ACP, 0, deviceOrderFile, -1, line.data(), bytes, nullptr, nullptr);
        const DWORD length = bytes > 0 ? static_cast<DWORD>(bytes - 1) : 0;
        DWORD written = 0, ended = 0;
        const bool wroteLine = atEnd && session->CeWriteFile(list, line.data(), length, &written, nullptr) && written == length;
        const bool wroteEnd = wroteLine && session->CeWriteFile(list, "\r\n", 2, &ended, nullptr) && ended == 2;
        session->CeCloseHandle(list);

        DWORD outputSize = 0;
        BYTE* output = nullptr;
        const HRESULT hr = session->CeRapiInvoke(appFolder + L"\\" + kDeviceLibrary, kDeviceFunction, 0, nullptr,
                                                 &outputSize, &output, nullptr, 0);
        if (output)
            LocalFree(output);
        const bool opened = openError == 0 || openError == ERROR_ALREADY_EXISTS;
        return opened && wroteEnd && SUCCEEDED(hr);
    } catch (const CRAPIException&) {
        return FALSE;
    }
}
