#include "TransferThread.h"

#include "DeviceFolders.h"
#include "PlayerRecord.h"
#include "ProgressObject.h"
#include "SuiteMessages.h"
#include "WmdmServices.h"
#include "ZuneClient.h"
#include "res/TransferIds.h"

#include <objbase.h>

#include <algorithm>
#include <vector>

IMPLEMENT_DYNCREATE(CTransferThread, CWorkerThread)

namespace {

// Failures after which the insertion is not tried again without metadata: the file itself is
// refused, not the way it was offered.
bool RetryWithoutMetadata(HRESULT hr)
{
    static constexpr HRESULT kFinal[] = {wmdm::kInterfaceDead, wmdm::kNotCertified, wmdm::kNoRights,
                                         wmdm::kMacCheckFailed, wmdm::kRevoked,     wmdm::kLicenseNotExist,
                                         wmdm::kNoContentProtection, wmdm::kDrmNotLicensed};
    for (HRESULT code : kFinal)
        if (hr == code)
            return false;
    return true;
}

// The progress object that informs owner, asked for the device manager's callback.
IWMDMProgress* CreateProgress(HWND owner, HRESULT* hr)
{
    IWMDMProgressObject* object = nullptr;
    *hr = com::CreateInstance<WMDMProgressObject>(nullptr, IID_IWMDMProgressObject, reinterpret_cast<void**>(&object));
    if (FAILED(*hr) || !object) {
        if (SUCCEEDED(*hr))
            *hr = E_FAIL;
        return nullptr;
    }
    object->SetOwnerWindow(HandleToLong(owner));
    IWMDMProgress* progress = nullptr;
    *hr = object->QueryInterface(IID_IWMDMProgress, reinterpret_cast<void**>(&progress));
    object->Release();
    return SUCCEEDED(*hr) ? progress : nullptr;
}

// A name that stays in its folder.
bool PlainName(const CString& text)
{
    return !text.IsEmpty() && text.FindOneOf(L"\\/:") < 0 && text != L"." && text != L"..";
}

}  // namespace

// The device arrives marshalled and the Zune servers live in the multithreaded apartment.
CTransferThread::CTransferThread() : CWorkerThread(COINIT_MULTITHREADED, WM_TRANSFER_CANCEL) {}

CTransferThread::~CTransferThread() { ReleaseAndClear(m_pDevice); }

int CTransferThread::ExitInstance()
{
    ReleaseAndClear(m_pDevice);
    return CWorkerThread::ExitInstance();
}

BOOL CTransferThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_TRANSFER_START:
        StartTransfer(lParam);
        return TRUE;
    case WM_TRANSFER_CANCEL:
        m_bCancel = TRUE;
        return TRUE;
    default:
        return CWinThread::OnThreadMessage(message, wParam, lParam);
    }
}

int CTransferThread::MapStepResult(HRESULT hr, BOOL cancelled)
{
    if (SUCCEEDED(hr))
        return kTransferDone;
    if (cancelled || hr == wmdm::kUserCancelled)
        return kTransferCancelled;
    if (hr == wmdm::kBusy)
        return kTransferBusy;
    return kTransferFailed;
}

void CTransferThread::StartTransfer(LPARAM lParam)
{
    // A thread serves one job.
    if (m_pJob || m_bFinished)
        return;
    m_pJob = reinterpret_cast<CTransferJob*>(lParam);
    if (!m_pJob) {
        ReleaseAndClear(m_pDevice);
        EndJob(kTransferFailed, nullptr, WM_PART_DONE, 0);  // nothing to report to
        return;
    }
    PlayerRecord* player = m_pJob->m_pPlayer;
    if (player) {
        m_bIsZune = player->IsZune() > 0;
        player->errorDetails.RemoveKey(kTransferPartKey);  // a text of an earlier part says nothing of this one
    }
    if (!m_bIsZune) {
        IStream* stream = m_pJob->m_pDeviceStream;
        m_pJob->m_pDeviceStream = nullptr;  // consumed by the call below, whatever it answers
        ReleaseAndClear(m_pDevice);
        HRESULT hr = E_POINTER;
        if (stream)
            hr = CoGetInterfaceAndReleaseStream(stream, IID_IWMDMDevice, reinterpret_cast<void**>(&m_pDevice));
        if (FAILED(hr) || !m_pDevice) {
            m_pDevice = nullptr;
            SetPartError(L"get interface from Device Stream", FAILED(hr) ? hr : E_POINTER);
            Finish(kTransferFailed);
            return;
        }
    }
    if (!m_pJob->m_hOwnerWnd)
        return;
    const LRESULT answer = SendMessageW(m_pJob->m_hOwnerWnd, WM_PART_STATUS, 0, reinterpret_cast<LPARAM>(m_pJob));
    if (m_bCancel)
        Finish(kTransferCancelled);
    else if (answer != 1)
        Finish(static_cast<int>(answer));
}

BOOL CTransferThread::OnIdle(LONG count)
{
    if (!m_pJob || m_bFinished) {
        CWinThread::OnIdle(count);
        return FALSE;
    }
    if (m_bCancel) {
        Finish(kTransferCancelled);
        return FALSE;
    }
    const CString source = m_pJob->m_strSourcePath;
    const CString target = m_pJob->m_strTargetName;
    if (source.IsEmpty() || target.IsEmpty()) {
        CString text;
        text.Format(IDS_TRANSFER_PATH_MISSING, static_cast<const wchar_t*>(source), static_cast<const wchar_t*>(target));
        if (m_pJob->m_pPlayer)
            m_pJob->m_pPlayer->errorDetails.SetAt(kTransferPartKey, text);
        Finish(kTransferFailed);
        return FALSE;
    }
    PlayerRecord* player = m_pJob->m_pPlayer;
    HRESULT hr;
    if (m_bIsZune)
        hr = TransferPartToZune(player ? player->name : CString(), source, target);
    else if (player && player->massStorage && player->driveLetter)
        hr = CopyPartToDrive(source, target);
    else
        hr = TransferPartToDevice(source, target, m_pDevice);
    const int result = MapStepResult(hr, m_bCancel);
    if (result == kTransferBusy) {
        if (WaitCancellable(m_busyRetryMs))
            return TRUE;  // the same step again
        Finish(kTransferCancelled);
        return FALSE;
    }
    Finish(result);
    return FALSE;
}

void CTransferThread::Finish(int result)
{
    if (m_bFinished)
        return;
    // The page may delete the job as soon as the report is posted.
    CTransferJob* job = m_pJob;
    m_pJob = nullptr;
    if (job)
        job->m_nResult = result;
    ReleaseAndClear(m_pDevice);
    EndJob(result, job ? job->m_hOwnerWnd : nullptr, WM_PART_DONE, reinterpret_cast<LPARAM>(job));
}

void CTransferThread::SetPartError(const wchar_t* action, const CString& detail)
{
    if (!m_pJob || !m_pJob->m_pPlayer)
        return;
    CString text;
    text.Format(IDS_TRANSFER_UNABLE_TO, action, static_cast<const wchar_t*>(detail));
    m_pJob->m_pPlayer->errorDetails.SetAt(kTransferPartKey, text);
}

void CTransferThread::SetPartError(const wchar_t* action, HRESULT hr) { SetPartError(action, m_errors.FormatErrorText(hr)); }

BOOL CTransferThread::HasPartError() const
{
    CString text;
    return m_pJob && m_pJob->m_pPlayer && m_pJob->m_pPlayer->errorDetails.Lookup(kTransferPartKey, text) &&
           !text.IsEmpty();
}

HRESULT CTransferThread::TransferPartToZune(const CString& deviceName, const CString& sourcePath,
                                            const CString& targetName)
{
    PlayerRecord* player = m_pJob ? m_pJob->m_pPlayer : nullptr;
    if (!player)
        return E_POINTER;
    const HWND owner = m_pJob->m_hOwnerWnd;
    if (owner && !SendMessageW(owner, WM_ADD_PROGRESS, 256, 0)) {
        m_bCancel = TRUE;
        return wmdm::kUserCancelled;
    }
    CString fileName = targetName;
    const int dot = fileName.ReverseFind(L'.');
    if (dot >= 0)
        fileName = fileName.Left(dot);
    if (targetName.IsEmpty())
        fileName = player->GetBaseFileName();
    CString title = m_pJob->m_strTitle;
    if (title.IsEmpty())
        title = player->GetBaseFileName();

    CString action;
    HRESULT hr = E_POINTER;
    const int index = FindZuneDevice(deviceName);
    if (index < 0 || index >= kMaxZuneDevices) {
        action.Format(L"match the Zune device index(%d)", index);
    } else {
        IZuneSupport* server = ZuneDevices()[index].server;
        CString existing;
        if (player->FindZuneFile(targetName, &existing) && !existing.IsEmpty()) {
            if (DeleteZuneObject(owner, server, deviceName, existing)) {
                for (auto& [entryIndex, entry] : player->folders) {
                    if (entry->deletionResult == 0 && entry->zuneObjectId.CompareNoCase(existing) == 0) {
                        entry->deletionResult = 1;
                        break;
                    }
                }
            }
        }
        hr = TransferToZuneDevice(owner, server, player->zuneFolderId, sourcePath, m_pJob->m_strCoverPath, title,
                                  fileName, m_pJob->m_strArtist, m_pJob->m_nDuration, m_pJob->m_nFileSize, &action);
        if (SUCCEEDED(hr))
            return hr;
    }
    if (hr == wmdm::kUserCancelled || m_bCancel)
        return hr;
    if (action.IsEmpty())
        action = L"transfer the selected title to Zune device";
    SetPartError(action, hr);
    return hr;
}

HRESULT CTransferThread::TransferPartToDevice(const CString& sourcePath, const CString& targetName,
                                              IWMDMDevice* device)
{
    PlayerRecord* player = m_pJob ? m_pJob->m_pPlayer : nullptr;
    if (!player || !device)
        return E_FAIL;
    IWMDMStorage* folder = nullptr;
    HRESULT hr = player->FindStorage(device, player->folderPath, nullptr, &folder, nullptr);
    if (FAILED(hr) || !folder) {
        if (SUCCEEDED(hr))
            hr = E_FAIL;
        if (player->mobileDevice)
            SetPartError(L"locate folder of Windows Mobile device", CString(L"folder is not found"));
        else
            SetPartError(L"locate folder from WMDM Device Interface", hr);
        ReleaseAndClear(folder);
        return hr;
    }
    IWMDMStorage* existing = nullptr;
    if (FindWmdmChildStorage(targetName, folder, &existing) == S_OK)
        m_pJob->m_bTargetExisted = TRUE;
    ReleaseAndClear(existing);
    DWORD status = 0;
    hr = device->GetStatus(&status);
    if (FAILED(hr)) {
        // A player that went away answers here: it is not busy, it is gone.
        SetPartError(L"get the status of the portable player", hr);
        folder->Release();
        return hr;
    }
    IWMDMStorage* created = nullptr;
    bool retried = false;
    if (status != wmdm::kStatusReady) {
        hr = wmdm::kBusy;
    } else {
        IWMDMProgress* progress = CreateProgress(m_pJob->m_hOwnerWnd, &hr);
        if (!progress) {
            SetPartError(L"create a progress object", hr);
            folder->Release();
            return hr;
        }
        hr = InsertWmdmFile(folder, sourcePath, targetName, progress, &created);
        if (FAILED(hr) && !m_bCancel && hr != wmdm::kUserCancelled && hr != wmdm::kBusy) {
            SetPartError(L"transfer the selected title", hr);
            if (RetryWithoutMetadata(hr)) {
                ReleaseAndClear(created);
                IWMDMStorageControl* control = nullptr;
                if (SUCCEEDED(folder->QueryInterface(IID_IWMDMStorageControl, reinterpret_cast<void**>(&control)))) {
                    const UINT mode = wmdm::kModeBlock | wmdm::kContentFile | wmdm::kModeTransferProtected |
                                      wmdm::kInsertInto | wmdm::kFileCreateOverwrite;
                    hr = control->Insert(mode, sourcePath, nullptr, progress, &created);
                    control->Release();
                    retried = true;
                }
            }
        }
        progress->Release();
    }
    if (FAILED(hr) && !m_bCancel && hr != wmdm::kUserCancelled && (!HasPartError() || retried))
        SetPartError(L"insert the selected title", hr);
    if (SUCCEEDED(hr) && created && player->GetStorageLayout() != 0 && !m_pJob->m_strCoverPath.IsEmpty()) {
        const CString albumName = m_pJob->m_strTitle.IsEmpty() ? player->GetBaseFileName() : m_pJob->m_strTitle;
        if (IWMDMStorage* album = CreateAlbumOnDevice(player, device, albumName, m_pJob->m_strCoverPath,
                                                      player->folderPath, sourcePath)) {
            // Added to the parts the album holds already.
            AppendWmdmReferences(album, 1, &created);
            album->Release();
        }
    }
    ReleaseAndClear(created);
    folder->Release();
    return hr;
}

HRESULT CTransferThread::CopyPartToDrive(const CString& sourcePath, const CString& targetName)
{
    PlayerRecord* player = m_pJob->m_pPlayer;
    CString inside = player->folderPath;
    inside.Trim(L'\\');
    if (!PlainName(targetName) || !StaysOnPlayer(inside)) {
        SetPartError(L"transfer the selected title", E_INVALIDARG);
        return E_INVALIDARG;
    }
    CString folder;
    folder.Format(L"%c:\\%s", player->driveLetter, static_cast<const wchar_t*>(inside));
    folder.TrimRight(L'\\');
    const DWORD folderAttributes = GetFileAttributesW(folder + L"\\");
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND);
        SetPartError(L"locate folder from WMDM Device Interface", hr);
        return hr;
    }
    const CString target = folder + L"\\" + targetName;
    if (GetFileAttributesW(target) != INVALID_FILE_ATTRIBUTES)
        m_pJob->m_bTargetExisted = TRUE;

    HANDLE from = CreateFileW(sourcePath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (from == INVALID_HANDLE_VALUE) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        SetPartError(L"transfer the selected title", hr);
        return hr;
    }
    // The part is written beside its place under a name of this run's own (made with CREATE_NEW,
    // so no file of the user's is taken), and takes the target's name once it is complete.
    CString partial;
    HANDLE to = INVALID_HANDLE_VALUE;
    for (unsigned attempt = 0; attempt < 100 && to == INVALID_HANDLE_VALUE; ++attempt) {
        partial.Format(L"%s.%lu-%u.partial", static_cast<const wchar_t*>(target), GetCurrentThreadId(), attempt);
        to = CreateFileW(partial, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (to == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (to == INVALID_HANDLE_VALUE) {
        const HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        CloseHandle(from);
        SetPartError(L"transfer the selected title", hr);
        return hr;
    }
    HRESULT hr = S_OK;
    IWMDMProgress* progress = CreateProgress(m_pJob->m_hOwnerWnd, &hr);
    LARGE_INTEGER size{};
    GetFileSizeEx(from, &size);
    // Ticks are KiB, so that a file of any size fits the 32-bit count.
    const ULONGLONG totalTicks = (static_cast<ULONGLONG>(size.QuadPart) + 1023) / 1024;
    if (progress)
        progress->Begin(static_cast<DWORD>(std::min<ULONGLONG>(totalTicks, MAXDWORD)));
    constexpr DWORD kChunkBytes = 4 * 1024 * 1024;
    std::vector<BYTE> buffer(kChunkBytes);
    ULONGLONG done = 0;
    hr = S_OK;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(from, buffer.data(), kChunkBytes, &read, nullptr)) {
            hr = HRESULT_FROM_WIN32(GetLastError());
            break;
        }
        if (read == 0)
            break;
        DWORD written = 0;
        if (!WriteFile(to, buffer.data(), read, &written, nullptr) || written != read) {
            hr = HRESULT_FROM_WIN32(GetLastError() ? GetLastError() : ERROR_DISK_FULL);
            break;
        }
        done += read;
        if (progress && progress->Progress(static_cast<DWORD>(std::min<ULONGLONG>((done + 1023) / 1024, MAXDWORD))) != S_OK) {
            hr = wmdm::kUserCancelled;
            break;
        }
    }
    if (progress) {
        progress->End();
        progress->Release();
    }
    CloseHandle(from);
    if (!CloseHandle(to) && SUCCEEDED(hr))
        hr = HRESULT_FROM_WIN32(GetLastError());
    if (SUCCEEDED(hr) && !MoveFileExW(partial, target, MOVEFILE_REPLACE_EXISTING))
        hr = HRESULT_FROM_WIN32(GetLastError());
    if (FAILED(hr)) {
        DeleteFileW(partial);  // this run's own file
        if (hr != wmdm::kUserCancelled)
            SetPartError(L"insert the selected title", hr);
    }
    return hr;
}
