#include "PartSender.h"

#include "CarrowindSheet.h"
#include "ErrorTable.h"
#include "MediaElements.h"
#include "MediaMarkers.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TransferJob.h"
#include "WizardSettings.h"
#include "WmMetadata.h"
#include "WmdmServices.h"
#include "iPodAddThread.h"
#include "iTunesAutomation.h"
#include "res/ProgressPageIds.h"
#include "res/TransferIds.h"

#include <utility>
#include <vector>

namespace {

// Starts a worker that deletes itself when it ends; only its id is kept, since a message to an
// ended thread fails harmlessly.
DWORD StartSelfDeletingWorker(HANDLE (*start)(CTransferJob*, DWORD*), CTransferJob* job)
{
    DWORD threadId = 0;
    HANDLE thread = start(job, &threadId);
    if (!thread)
        return 0;
    CloseHandle(thread);
    return threadId;
}

BOOL PlayerStillThere(PlayerRecord* player)
{
    ULONGLONG freeBytes = 0;
    if (!player->GetFreeSpace(&freeBytes))
        return FALSE;
    if (player->IsMp3Only() > 0 || player->IsApple() > 0 || player->IsZune() > 0 || player->massStorage)
        return TRUE;
    IWMDMDevice* device = player->GetDeviceInterface();
    return device && MatchDeviceSerialNumber(device, player->serialNumber);
}

bool FileThere(const CString& path)
{
    return !path.IsEmpty() && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The most markers handed to the iPod add thread.
constexpr int kMaxMarkers = 256;

}  // namespace

BOOL CPartSender::PlayerPresent(PlayerRecord* player)
{
    return TransferServices().playerPresent ? TransferServices().playerPresent(player) : PlayerStillThere(player);
}

CTransferJob* CPartSender::MakeJob(IStream* deviceStream, PlayerRecord* player, int index,
                                   const PartTransferState& part, const CString& target, CWizardSheet* sheet,
                                   HWND owner)
{
    auto* job = new CTransferJob(deviceStream, owner);
    job->m_nPartIndex = index;
    job->m_pPlayer = player;
    job->m_strCoverPath = sheet->m_imagePath;
    job->m_strTitle = sheet->m_title;
    job->m_strArtist = sheet->m_artist;
    job->m_strSourcePath = part.sourcePath;
    job->m_strTargetName = target;
    return job;
}

BOOL CPartSender::Start(PlayerRecord* player, int index, PartTransferState& part, CWizardSheet* sheet, HWND owner,
                        BOOL* awaitingStart)
{
    static const wchar_t kStartKey[] = L"TransferNewThread";
    const BOOL zune = player->IsZune() > 0;
    IStream* stream = nullptr;
    if (player->IsApple() <= 0 && !zune) {
        IWMDMDevice* device = player->GetDeviceInterface();
        CString text;
        if (!device) {
            text.Format(AfxLoadString(IDS_TRANSFER_UNABLE_TO), L"get device interface",
                        CErrorTable().FormatErrorText(E_FAIL).GetString());
        } else {
            const HRESULT marshalled = CoMarshalInterThreadInterfaceInStream(IID_IWMDMDevice, device, &stream);
            if (FAILED(marshalled) || !stream) {
                stream = nullptr;
                text.Format(AfxLoadString(IDS_TRANSFER_UNABLE_TO), L"marshal interface",
                            CErrorTable().FormatErrorText(FAILED(marshalled) ? marshalled : E_POINTER).GetString());
            }
        }
        if (!text.IsEmpty()) {
            player->errorDetails.SetAt(kStartKey, text);
            return FALSE;
        }
    }
    const BOOL apple = player->IsApple() > 0;
    // The chapters of an Apple part come from the title's own file.
    const CString markerSource = part.partFile;
    if (apple && part.partFile.Right(3).CompareNoCase(L"mp3") == 0) {
        // An MP3 part that already has its audiobook twin beside it goes as that file.
        const CString twin = part.partFile.Left(part.partFile.GetLength() - 3) + L"m4b";
        if (FileThere(twin))
            part.partFile = part.sourcePath = twin;
    }
    const CString ext = part.partFile.Right(3);
    const CString target = sheet->FormatPartFileName(part.number, ext);
    if (target.GetLength() < 5 || target.Right(3).CompareNoCase(ext) != 0) {
        CString text;
        text.Format(AfxLoadString(IDS_PROGRESS_TARGET_NAME_CORRUPTED), target.GetString());
        player->errorDetails.SetAt(kStartKey, text);
        if (stream)
            stream->Release();
        return FALSE;
    }
    CTransferJob* job = MakeJob(stream, player, index, part, target, sheet, owner);
    if (zune) {
        WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
        QWORD value = 0;
        if (SUCCEEDED(ReadWmFileAttribute(part.sourcePath, L"Duration", &type, &value)) && value)
            job->m_nDuration = value / 10000;
        value = 0;
        if (SUCCEEDED(ReadWmFileAttribute(part.sourcePath, L"FileSize", &type, &value)) && value)
            job->m_nFileSize = value;
    }
    if (apple)
        FillAppleJob(job, player, markerSource, sheet);
    *awaitingStart = TRUE;
    const DWORD id = TransferServices().startWorker
                         ? TransferServices().startWorker(job)
                         : StartSelfDeletingWorker(apple ? &StartiPodAddThread : &StartTransferThread, job);
    if (!id) {
        CString text;
        text.Format(AfxLoadString(IDS_TRANSFER_UNABLE_TO), L"begin the transfer thread", L"AfxBeginThread returns NULL.");
        player->errorDetails.SetAt(kStartKey, text);
        delete job;
        return FALSE;
    }
    m_workerId = id;
    return TRUE;
}

void CPartSender::Cancel() const
{
    if (m_workerId)
        PostThreadMessageW(m_workerId, WM_TRANSFER_CANCEL, 0, 0);
}

void CPartSender::FillAppleJob(CTransferJob* job, PlayerRecord* player, const CString& markerSource,
                               CWizardSheet* sheet)
{
    // The library's record adds to the library itself, the others to the iPod of that name.
    job->m_bIsApple = (player->IsApple() & kAppleLibraryBit) != 0;
    job->m_striPodName = ExtractParenthesized(player->GetDisplayName());
    job->m_nAddProgressEst = static_cast<DWORD>(ReadiPodAddProgressEst());
    job->m_nWaitSeconds = ReadWmaToAppleWaitSeconds();
    job->m_bIsShuffle = player->isShuffle;
    job->m_iTunesSourceFlag = player->iTunesSourceFlag;
    // The chapters come from the title's own part: a converted WAV file carries none.
    job->m_strMarkerText = BuildMarkerText(markerSource);
    job->m_strFileExtension = sheet->m_media.GetMetadata().GetContentKind() == KindMusic ? L"m4a" : L"m4b";
}

CString CPartSender::BuildMarkerText(const CString& path)
{
    std::vector<std::pair<DWORD, CString>> markers;
    if (path.Right(3).CompareNoCase(L"mp3") == 0) {
        CMediaMarkers reader;
        if (SUCCEEDED(reader.Open(path, TRUE))) {
            for (int i = 0; i < reader.GetMarkerCount() && i < kMaxMarkers; ++i)
                markers.emplace_back(reader.GetMarkerTime(i), reader.GetMarkerName(i));
            reader.Close(FALSE);
        }
    } else {
        CWMEditor reader;
        if (SUCCEEDED(reader.Open(path))) {
            for (int i = 0; i < reader.GetMarkerCount() && i < kMaxMarkers; ++i)
                markers.emplace_back(reader.GetMarkerTime(i), reader.GetMarkerName(i));
        }
    }
    static const wchar_t kIndent[] = L"\u00a0\u00a0\u00a0\u00a0\u00a0\u00a0";
    CString text;
    for (auto& [time, name] : markers) {
        if (name.Left(6) == kIndent)
            name = L"-" + name.Mid(6);
        name.Trim();
        CString line;
        line.Format(L"%lu %s\r\n", static_cast<unsigned long>(time), name.GetString());
        text += line;
    }
    return text;
}
