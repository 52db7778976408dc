#include "ProgressPage.h"

#include "AfxMessageBox.h"
#include "CarrowindSheet.h"
#include "DeviceProfile.h"
#include "ErrorTable.h"
#include "FileUtils.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TransferJob.h"
#include "WinThread.h"
#include "WizardApp.h"
#include "WizardServices.h"
#include "MediaMarkers.h"
#include "WindowsMediaThread.h"
#include "iPodAddThread.h"
#include "WizardSettings.h"
#include "WmMetadata.h"
#include "WmdmServices.h"
#include "iTunesAutomation.h"
#include "res/AppleStringIds.h"
#include "res/ConfirmPageIds.h"
#include "res/DeviceStringIds.h"
#include "res/HelpTopics.h"
#include "res/ProgressPageIds.h"
#include "res/TransferIds.h"

#include <cstdarg>
#include <ctime>

IMPLEMENT_DYNAMIC(CProgressPage, CWizardPage)

namespace {

// The kinds of WM_ADD_PROGRESS reports that are not byte or unit counts.
constexpr int kAddStepPercent = 1;
constexpr int kAddFileMarker = 0x30;

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

void CopyTitleSideFiles(PlayerRecord* player, const CString& playlist, const CString& cover, const CString& sourceId,
                        BOOL mp3Title)
{
    if (player->mobileAppFound)
        CopySideFilesToMobile(player, playlist, cover, sourceId);
    if (mp3Title && player->massStorage)
        CopySideFilesToDevice(player, playlist, cover, sourceId);
}

void DeletePartialFile(PlayerRecord* player, const CString& targetName)
{
    if (player->mobileAppFound)
        player->DeleteMobileTargetFile(targetName);
    if (player->massStorage)
        player->DeleteTargetFile(targetName);
}

HANDLE StartConversionThread(CDownloadJob* job, DWORD* threadId)
{
    HANDLE own = nullptr;
    auto* thread = static_cast<CWindowsMediaThread*>(AfxBeginThread(RUNTIME_CLASS(CWindowsMediaThread),
                                                                    THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED,
                                                                    nullptr, &own));
    if (!thread)
        return nullptr;
    *threadId = thread->m_nThreadID;
    thread->ResumeThread();
    PostThreadMessageW(*threadId, WM_CONVERT_PART, 0, reinterpret_cast<LPARAM>(job));
    return own;
}

bool FileThere(const CString& path)
{
    return !path.IsEmpty() && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

// The most markers handed to the iPod add thread.
constexpr int kMaxMarkers = 256;

// The title's picture for a player that shows one (a Zune, an Apple player, an MTP player
// whose album is not made yet, a Windows Mobile or mass-storage player): when the title names
// a picture that is missing, the program's default picture is put there; when it names none,
// the default picture is sent as it lies beside the program (nothing is written into the
// title's folder). A picture that is there is never replaced. The picture the run sends.
CString PrepareDefaultCover(PlayerRecord* player, const CString& coverPath)
{
    const bool showsCover = player->IsZune() > 0 || player->IsApple() > 0 ||
                            (player->GetStorageLayout() != 0 && !player->albumReady) || player->mobileAppFound ||
                            player->massStorage;
    if (!showsCover || (!coverPath.IsEmpty() && FileExists(coverPath)))
        return coverPath;
    static const wchar_t kDefaultCover[] = L"WMDefaultAlbum.jpg";
    CWizardAppBase* app = AfxGetWizardApp();
    const CString source = app ? app->JoinPath(kDefaultCover) : GetProgramFolder() + L"\\" + kDefaultCover;
    if (coverPath.IsEmpty())
        return FileExists(source) ? source : coverPath;
    CopyFileW(source, coverPath, TRUE);
    return coverPath;
}

TransferPageServices& Services()
{
    static TransferPageServices services;
    return services;
}

bool EndsWithConvertedExtension(const CString& path)
{
    const CString ext = path.Right(3);
    return ext.CompareNoCase(L"wav") == 0 || ext.CompareNoCase(L"m4a") == 0 || ext.CompareNoCase(L"m4b") == 0;
}

}  // namespace

TransferPageServices SetTransferPageServices(TransferPageServices services)
{
    TransferPageServices before = Services();
    Services() = std::move(services);
    return before;
}

CProgressPage::CProgressPage(CWizardSheet* sheet) : CWizardPage(sheet, IDD_PROGRESS_PAGE), m_sheet(sheet)
{
    m_helpTopic = kProgressHelpTopic;
}

CProgressPage::~CProgressPage() = default;

void CProgressPage::OnDestroy()
{
    // A result still queued for the page carries its job: the job goes with it.
    DropQueuedResults();
    // iTunes and the chapter server may still hold a file of the last part for a moment.
    for (int attempt = 0; attempt < 50; ++attempt) {
        DeleteTempSiblings();
        if (m_conversionFolder.IsEmpty() || m_workerId || m_converterId)
            break;
        Sleep(100);
    }
    CWizardPage::OnDestroy();
}

const PartTransferState* CProgressPage::GetPart(int index) const
{
    const auto found = m_parts.find(index);
    return found == m_parts.end() ? nullptr : found->second.get();
}

BOOL CProgressPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    const CString prefix = AfxLoadString(IDS_PROGRESS_TIME_PREFIX);
    if (m_downloadLabel.SubclassDlgItem(IDC_PROGRESS_DOWNLOAD_TIME, this))
        m_downloadLabel.SetPrefix(prefix);
    if (m_transferLabel.SubclassDlgItem(IDC_PROGRESS_TRANSFER_TIME, this))
        m_transferLabel.SetPrefix(prefix);
    return TRUE;
}

BOOL CProgressPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    // iTunes keeps an Apple player's tracks: there is no folder to name.
    PlayerRecord* player = ChosenPlayer();
    SetMarkupText(IDC_PROGRESS_MESSAGE, L"Message", this,
                  player && player->IsApple() > 0 ? L" (folder %%DEVICE_FOLDER%%)" : nullptr);
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, 0);
    SetBar(0);
    ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS_DOWNLOAD_BAR, PBM_SETPOS, 0, 0);
    m_startTime = static_cast<long long>(time(nullptr));
    PostMessage(WM_PREPARE_PARTS);
    return active;
}

BOOL CProgressPage::OnQueryCancel()
{
    m_cancelFlag = TRUE;
    if (m_workerId)
        PostThreadMessageW(m_workerId, WM_TRANSFER_CANCEL, 0, 0);
    // The conversion hears of it at once, also while it waits for room in its folder.
    if (m_converterId)
        PostThreadMessageW(m_converterId, WM_CONVERT_QUIT, 0, 0);
    return FALSE;
}

LRESULT CProgressPage::OnWizardBack() { return IDD_CONFIRM_PAGE; }

BOOL CProgressPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_PREPARE_PARTS:
        *result = 0;
        PrepareParts();
        return TRUE;
    case WM_TRANSFER_PART:
        *result = 0;
        TransferPart(static_cast<int>(wParam));
        return TRUE;
    case WM_PART_DONE:
        *result = 0;
        OnPartDone(static_cast<int>(wParam), reinterpret_cast<CTransferJob*>(lParam));
        return TRUE;
    case WM_PART_STATUS:
        *result = OnPartStatus();
        return TRUE;
    case WM_TRANSFER_PERCENT:
        *result = OnTransferPercent(static_cast<int>(wParam));
        return TRUE;
    case WM_ADD_PROGRESS:
        *result = OnAddProgress(static_cast<unsigned>(wParam), static_cast<int>(lParam));
        return TRUE;
    case WM_CONVERT_STARTED:
        *result = OnConvertStarted();
        return TRUE;
    case WM_CONVERT_PROGRESS:
        *result = OnConvertProgress(static_cast<int>(wParam), reinterpret_cast<CDownloadJob*>(lParam));
        return TRUE;
    case WM_CONVERT_ERROR:
        *result = OnConvertError(wParam != 0, reinterpret_cast<CDownloadJob*>(lParam));
        return TRUE;
    default:
        return CWizardPage::OnWndMsg(message, wParam, lParam, result);
    }
}

PlayerRecord* CProgressPage::ChosenPlayer() const
{
    if (!m_sheet)
        return nullptr;
    return PlayerAt(m_sheet->m_devices, m_sheet->m_confirmedIndex);
}

void CProgressPage::PrepareParts()
{
    if (!m_sheet) {
        m_cancelFlag = TRUE;
        PostQuitMessage(0);
        return;
    }
    PlayerRecord* player = ChosenPlayer();
    const CObArray& parts = m_sheet->m_media.m_parts;
    if (!player || parts.GetSize() == 0 || m_sheet->m_selectedParts.GetSize() == 0) {
        m_cancelFlag = TRUE;
        BackToConfirm();
        return;
    }
    m_transferLabel.Reset();
    m_downloadLabel.Reset();
    DropQueuedResults();
    DeleteTempSiblings();
    m_parts.clear();
    const BOOL convert = NeedsConversion(player);
    std::vector<double> weights;
    for (INT_PTR i = 0; i < m_sheet->m_selectedParts.GetSize(); ++i) {
        const INT_PTR chosen = static_cast<INT_PTR>(m_sheet->m_selectedParts[i]);
        if (chosen >= parts.GetSize() || !parts[chosen])
            continue;
        const auto* part = static_cast<const CPartObject*>(parts[chosen]);
        auto state = std::make_unique<PartTransferState>();
        state->weight = PartWeight(part->m_fileSize > 0 ? static_cast<ULONGLONG>(part->m_fileSize) : 0);
        state->durationSeconds = PartDurationSeconds(part->GetDuration());
        state->number = part->m_number;
        state->name = part->GetName();
        state->partFile = part->m_fileName;
        state->sourcePath = part->m_fileName;
        // Windows Media audio for an Apple player waits for its conversion; everything else
        // (also a part that is not converted because iTunes cannot take it) is ready at once.
        state->prepState = convert ? 0 : 2;
        weights.push_back(state->weight);
        m_parts[static_cast<int>(m_parts.size())] = std::move(state);
    }
    if (m_parts.empty()) {
        m_cancelFlag = TRUE;
        BackToConfirm();
        return;
    }
    m_progress.SetWeights(weights);
    const int range = m_progress.Range();
    ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS_TRANSFER_BAR, PBM_SETRANGE32, 0, range);
    ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS_DOWNLOAD_BAR, PBM_SETRANGE32, 0, range);
    m_transferLabel.SetTotal(m_progress.TotalWeight());
    m_downloadLabel.SetTotal(m_progress.TotalWeight());
    m_cancelFlag = FALSE;
    m_firstStatus = TRUE;
    m_preparationDone = FALSE;
    ShowStatus(IDC_PROGRESS_TRANSFER_TIME, CString());
    m_sheet->m_imagePath = PrepareDefaultCover(player, m_sheet->m_imagePath);
    m_workerId = 0;
    m_sheet->m_lastTransferredPart = -1;
    m_running = TRUE;
    m_convertGiven = 0.0;
    if (!convert) {
        m_preparationDone = TRUE;
        m_awaitingStart = FALSE;
        PostMessage(WM_TRANSFER_PART, 0, 0);
        return;
    }
    m_awaitingStart = TRUE;
    ConvertParts();
}

BOOL CProgressPage::NeedsConversion(PlayerRecord* player) const
{
    const int apple = player->IsApple();
    const int kind = m_sheet->m_media.GetMetadata().GetContentKind();
    return apple > 1 && (m_sheet->m_iTunesCompatible || apple < static_cast<int>(kAppleIPodShuffle)) &&
           (kind & (KindAudiobook | KindMusic)) != 0;
}

CString CProgressPage::MakeRunFolder(const CString& parent)
{
    if (parent.IsEmpty())
        return CString();
    CString base = parent;
    base.TrimRight(L'\\');
    // A folder of this run's own: one that did not exist before. One that is there already is
    // another's (an earlier run's, another program's) and is left alone.
    constexpr unsigned kAttempts = 100;
    for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
        CString folder;
        folder.Format(L"%s\\Carrowind-%lu-%u", base.GetString(), GetCurrentProcessId(), attempt);
        if (CreateDirectoryW(folder, nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return CString();
    }
    return CString();
}

BOOL CProgressPage::MakeConversionFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    // The converted parts go to a folder of our own only, never beside the user's files.
    const CString folder = length == 0 || length > MAX_PATH ? CString() : MakeRunFolder(CString(temp, static_cast<int>(length)));
    if (folder.IsEmpty())
        return FALSE;
    m_conversionFolder = folder;
    return TRUE;
}

void CProgressPage::ConvertParts()
{
    const int count = GetPartCount();
    if (!MakeConversionFolder()) {
        m_preparationDone = TRUE;
        m_awaitingStart = FALSE;
        const CString text = FormatText(IDS_PROGRESS_TRANSFER_FAILED, GetPart(0)->name.GetString());
        AfxMessageBox(text, MB_OK | MB_ICONERROR);
        EndTransfer(TRUE);
        return;
    }
    m_sheet->GetPlaceholders().SetAt(L"%%CUR_PART_NAME%%", GetPart(0)->name);
    m_sheet->GetPlaceholders().SetAt(L"%%CUR_PART_NUM%%", L"1");
    SetMarkupText(IDC_PROGRESS_TRANSFER_STATUS, L"TransferLabel");
    for (int i = 0; i < count; ++i) {
        PartTransferState* part = m_parts[i].get();
        CString line;
        line.Format(L"Read %d: ", i + 1);
        if (m_firstStatus) {
            ShowWaitingFor(i);
            m_firstStatus = FALSE;
            m_transferLabel.Start();
            ShowStatus(IDC_PROGRESS_TRANSFER_TIME, AfxLoadString(IDS_PROGRESS_CALCULATING));
        }
        CString target;
        target.Format(L"%s\\%s", m_conversionFolder.GetString(),
                      m_sheet->FormatPartFileName(part->number, L"m4b").GetString());
        line += part->partFile + L"|" + target;
        if (!ConvertPartToWav(part->partFile, target, i)) {
            part->prepState = 1;
            if (m_cancelFlag) {
                line += L" [CANCEL]";
            } else {
                m_cancelFlag = TRUE;
                line += L" [FAILED]";
            }
        } else {
            line += L" [DONE]";
        }
        if (m_app && m_app->m_verbose)
            m_app->WriteVerboseLog(line);
        if (m_cancelFlag)
            break;
        part->prepState = 2;
        if (m_awaitingStart && !m_workerId) {
            m_transferLabel.Pause();
            PostMessage(WM_TRANSFER_PART, static_cast<WPARAM>(i), 0);
            m_awaitingStart = FALSE;
        }
    }
    m_preparationDone = TRUE;
    if (m_awaitingStart && !m_workerId) {
        m_transferLabel.Reset();
        ShowStatus(IDC_PROGRESS_TRANSFER_TIME, CString());
    }
    // A part still on its way ends the run through its WM_PART_DONE.
    if (m_cancelFlag && !m_workerId)
        BackToConfirm();
}

CString CProgressPage::ConvertedName(const CString& target, const CString& produced)
{
    return target.Left(target.GetLength() - 3) + produced.Right(3);
}

BOOL CProgressPage::ConvertPartToWav(const CString& source, const CString& target, int index)
{
    PartTransferState* part = m_parts.count(index) ? m_parts[index].get() : nullptr;
    if (!m_sheet || !part)
        return FALSE;
    auto job = std::make_unique<CDownloadJob>(nullptr, nullptr);
    job->m_strUrl = source;
    job->m_strTargetPath = target;
    job->m_nPartIndex = index;
    job->m_nPartWeight = static_cast<int>(part->weight);
    job->m_nDurationSeconds = part->durationSeconds;
    job->m_nBufferLength = part->durationSeconds;
    job->m_hOwnerWnd = m_hWnd;
    job->m_strCoverPath = m_sheet->m_imagePath;
    job->m_strTitle = m_sheet->m_title;
    job->m_strArtist = m_sheet->m_artist;
    DWORD threadId = 0;
    HANDLE thread = Services().startConverter ? Services().startConverter(job.get(), &threadId)
                                              : StartConversionThread(job.get(), &threadId);
    if (!thread)
        return FALSE;
    m_converterId = threadId;
    if (m_cancelFlag)
        PostThreadMessageW(threadId, WM_CONVERT_QUIT, 0, 0);
    // The wait keeps the page alive: earlier parts transfer and Cancel is heard meanwhile.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
        AfxPumpQueuedMessages();
        if (m_cancelFlag)
            PostThreadMessageW(threadId, WM_CONVERT_QUIT, 0, 0);
    }
    CloseHandle(thread);
    m_converterId = 0;
    // The progress reports still queued name the job: they go before it does.
    DiscardConversionProgress(m_hWnd);
    const CString produced = job->GetTargetPath();
    if (job->GetResult() == kConvertDone && FileThere(produced)) {
        CString converted = ConvertedName(target, produced);
        if (converted.CompareNoCase(produced) != 0 &&
            !MoveFileExW(produced, converted, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            converted = produced;
        part->sourcePath = converted;
        part->madeByRun = TRUE;
        return TRUE;
    }
    // A result without its file is a failure too. Only what the conversion made is deleted.
    DeleteSiblings(target);
    if (FileThere(produced) && produced.CompareNoCase(source) != 0)
        DeleteFileW(produced);
    return FALSE;
}

CString CProgressPage::DeleteSiblings(const CString& path)
{
    CString deleted;
    const CString stem = path.Left(path.GetLength() - 3);
    for (const wchar_t* ext : {L"wav", L"m4a", L"m4b"}) {
        const CString sibling = stem + ext;
        if (FileThere(sibling) && DeleteFileW(sibling))
            deleted += (deleted.IsEmpty() ? L"" : L"|") + sibling;
    }
    return deleted;
}

void CProgressPage::DeleteTempSiblings()
{
    // Nothing goes while a worker or the conversion may still use the files.
    if (m_workerId || m_converterId)
        return;
    for (auto& [key, part] : m_parts) {
        if (part->madeByRun && EndsWithConvertedExtension(part->sourcePath))
            DeleteSiblings(part->sourcePath);
        part->madeByRun = FALSE;
    }
    if (m_conversionFolder.IsEmpty())
        return;
    // The folder is ours alone: whatever a conversion left in it goes with it.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(m_conversionFolder + L"\\*", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(m_conversionFolder + L"\\" + found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // Kept while something still holds a file in it: the next try removes it.
    if (RemoveDirectoryW(m_conversionFolder) || GetFileAttributesW(m_conversionFolder) == INVALID_FILE_ATTRIBUTES)
        m_conversionFolder.Empty();
}

CString CProgressPage::BuildMarkerText(const CString& path)
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

void CProgressPage::FillAppleJob(CTransferJob* job, PlayerRecord* player, const CString& markerSource) const
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
    job->m_strFileExtension = m_sheet->m_media.GetMetadata().GetContentKind() == KindMusic ? L"m4a" : L"m4b";
}

LRESULT CProgressPage::OnConvertStarted() { return m_cancelFlag ? 2 : 1; }

LRESULT CProgressPage::OnConvertProgress(int percent, CDownloadJob* job)
{
    if (m_awaitingStart && !m_workerId && percent > 0 && job) {
        const int index = job->m_nPartIndex;
        if (const PartTransferState* part = GetPart(index)) {
            double base = 0.0;
            for (const auto& [key, state] : m_parts) {
                if (key < index && state->prepState != 0)
                    base += state->weight;
            }
            const double pos = std::min(percent, 100) * 0.01 * part->weight + base;
            const double delta = pos - m_convertGiven;
            if (delta > 0.0) {
                m_transferLabel.Update(delta);
                m_progress.Advance(delta, false);
                m_convertGiven = pos;
            }
            SetBar(m_progress.BarPosition());
            UpdateWindow();
        }
    }
    return m_cancelFlag ? 0 : 1;
}

LRESULT CProgressPage::OnConvertError(BOOL retry, CDownloadJob* job)
{
    const PartTransferState* part = job ? GetPart(job->m_nPartIndex) : nullptr;
    // While cancelling nobody is asked to try again.
    if (!part || m_cancelFlag)
        return IDNO;
    const CString text = FormatText(retry ? IDS_CONVERT_ERROR_RETRY : IDS_CONVERT_ERROR, part->name.GetString(),
                                    job->GetErrorText().GetString());
    return AfxMessageBox(text, retry ? MB_YESNO : MB_OK | MB_ICONERROR);
}

BOOL CProgressPage::IsPlayerPresent(PlayerRecord* player)
{
    return Services().playerPresent ? Services().playerPresent(player) : PlayerStillThere(player);
}

void CProgressPage::ForgetGonePlayer()
{
    const CString name = [&] {
        CString value;
        m_sheet->GetPlaceholders().Lookup(L"%%DEVICE_NAME%%", value);
        return value;
    }();
    const int index = m_sheet->m_confirmedIndex;
    if (index >= 0 && index < m_sheet->m_devices.GetSize()) {
        delete m_sheet->m_devices[index];
        m_sheet->m_devices.RemoveAt(index);
    }
    // No index may point at another player now.
    m_sheet->m_confirmedIndex = -1;
    CString text;
    text.Format(LoadPageText(IDS_PLAYER_NOT_FOUND, L"ERROR_DEVICE_NOT_FOUND"), name.GetString());
    AfxMessageBox(text, MB_OK | MB_ICONERROR);
}

void CProgressPage::TransferPart(int index)
{
    if (!m_sheet) {
        m_cancelFlag = TRUE;
        PostQuitMessage(0);
        return;
    }
    if (!m_running || m_cancelFlag)
        return;
    PlayerRecord* player = ChosenPlayer();
    if (!player) {
        EndTransfer(m_preparationDone);
        return;
    }
    m_isZune = player->IsZune() > 0;
    if (!IsPlayerPresent(player)) {
        ForgetGonePlayer();
        EndTransfer(m_preparationDone);
        return;
    }
    const PartTransferState* part = GetPart(index);
    if (!part) {
        EndTransfer(m_preparationDone);
        return;
    }
    m_currentIndex = index;
    CString number;
    number.Format(L"%d", index + 1);
    m_sheet->GetPlaceholders().SetAt(L"%%CUR_PART_NAME%%", part->name);
    m_sheet->GetPlaceholders().SetAt(L"%%CUR_PART_NUM%%", number);
    SetMarkupText(IDC_PROGRESS_TRANSFER_STATUS, L"TransferLabel");
    SetBar(m_progress.BarPosition(1.0));
    UpdateWindow();
    if (StartWorker(player, index))
        return;
    // No worker: the failure takes the road of a finished part.
    CTransferJob* job = MakeJob(nullptr, player, index, part->name);
    PostMessage(WM_PART_DONE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(job));
}

CTransferJob* CProgressPage::MakeJob(IStream* deviceStream, PlayerRecord* player, int index, const CString& target) const
{
    auto* job = new CTransferJob(deviceStream, m_hWnd);
    job->m_nPartIndex = index;
    job->m_pPlayer = player;
    job->m_strCoverPath = m_sheet->m_imagePath;
    job->m_strTitle = m_sheet->m_title;
    job->m_strArtist = m_sheet->m_artist;
    job->m_strSourcePath = m_parts.at(index)->sourcePath;
    job->m_strTargetName = target;
    return job;
}

BOOL CProgressPage::StartWorker(PlayerRecord* player, int index)
{
    static const wchar_t kStartKey[] = L"TransferNewThread";
    m_isZune = player->IsZune() > 0;
    PartTransferState* part = m_parts[index].get();
    IStream* stream = nullptr;
    if (player->IsApple() <= 0 && !m_isZune) {
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
    const CString markerSource = part->partFile;
    if (apple && part->partFile.Right(3).CompareNoCase(L"mp3") == 0) {
        // An MP3 part that already has its audiobook twin beside it goes as that file.
        const CString twin = part->partFile.Left(part->partFile.GetLength() - 3) + L"m4b";
        if (FileThere(twin))
            part->partFile = part->sourcePath = twin;
    }
    const CString ext = part->partFile.Right(3);
    const CString target = m_sheet->FormatPartFileName(part->number, ext);
    if (target.GetLength() < 5 || target.Right(3).CompareNoCase(ext) != 0) {
        CString text;
        text.Format(AfxLoadString(IDS_PROGRESS_TARGET_NAME_CORRUPTED), target.GetString());
        player->errorDetails.SetAt(kStartKey, text);
        if (stream)
            stream->Release();
        return FALSE;
    }
    CTransferJob* job = MakeJob(stream, player, index, target);
    if (m_isZune) {
        WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
        QWORD value = 0;
        if (SUCCEEDED(ReadWmFileAttribute(part->sourcePath, L"Duration", &type, &value)) && value)
            job->m_nDuration = value / 10000;
        value = 0;
        if (SUCCEEDED(ReadWmFileAttribute(part->sourcePath, L"FileSize", &type, &value)) && value)
            job->m_nFileSize = value;
    }
    if (apple)
        FillAppleJob(job, player, markerSource);
    m_awaitingStart = TRUE;
    const DWORD id = Services().startWorker ? Services().startWorker(job)
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

LRESULT CProgressPage::OnPartStatus()
{
    if (m_firstStatus) {
        m_firstStatus = FALSE;
        m_transferLabel.Start();
        ShowStatus(IDC_PROGRESS_TRANSFER_TIME, AfxLoadString(IDS_PROGRESS_CALCULATING));
    } else {
        m_transferLabel.Resume();
    }
    m_awaitingStart = FALSE;
    AfxPumpQueuedMessages();
    return m_cancelFlag ? 2 : 1;
}

LRESULT CProgressPage::OnTransferPercent(int percent)
{
    const int index = m_currentIndex;
    if (!GetPart(index)) {
        ShowStatus(IDC_PROGRESS_TRANSFER_TIME, CString());
        UpdateWindow();
        return 0;
    }
    std::vector<int> finished;
    for (const auto& [key, part] : m_parts)
        finished.push_back(part->transferState != 0);
    const double increase = m_progress.OnPercent(index, percent, finished);
    if (increase > 0.0) {
        if (m_cancelFlag) {
            const CString canceling = AfxLoadString(IDS_PROGRESS_CANCELING);
            ShowStatus(IDC_PROGRESS_DOWNLOAD_STATUS, canceling);
            ShowStatus(IDC_PROGRESS_DOWNLOAD_TIME, CString());
            ShowStatus(IDC_PROGRESS_TRANSFER_STATUS,
                       canceling + FormatText(IDS_PROGRESS_WAIT_FOR_PART, GetPart(index)->name.GetString(), index + 1,
                                              GetPartCount()));
            ShowStatus(IDC_PROGRESS_TRANSFER_TIME, CString());
        } else {
            m_transferLabel.Update(increase);
        }
        SetBar(m_progress.BarPosition(1.0));
        UpdateWindow();
    }
    AfxPumpQueuedMessages();
    return m_cancelFlag ? 0 : 1;
}

LRESULT CProgressPage::OnAddProgress(unsigned amount, int kind)
{
    if (kind == kAddFileMarker && amount == 0) {
        if (m_app && m_app->m_verbose) {
            CString line;
            line.Format(L"Progress: AddFile index=%d", m_currentIndex);
            m_app->WriteVerboseLog(line);
        }
        return m_cancelFlag ? 0 : 1;
    }
    double increase = 0.0;
    if (kind == kAddStepPercent && amount == 0) {
        m_progress.OnStepPercent(0);
        m_transferLabel.Reset();
        m_transferLabel.Start();
        SetBar(0);
        UpdateWindow();
    } else if (kind == kAddStepPercent) {
        increase = m_progress.OnStepPercent(static_cast<int>(amount));
    } else {
        increase = CTransferProgress::AmountOf(amount, m_isZune != FALSE);
    }
    if (increase > 0.0) {
        m_transferLabel.Update(increase);
        if (m_progress.Advance(increase, m_cancelFlag != FALSE) && m_sheet) {
            CString status = GetDlgItemText(IDC_PROGRESS_TRANSFER_STATUS);
            status.Replace(L"Transferring", L"Canceling");
            ShowStatus(IDC_PROGRESS_TRANSFER_STATUS, status);
            EnableCancel(FALSE);
        }
        SetBar(m_progress.BarPosition());
        UpdateWindow();
    }
    AfxPumpQueuedMessages();
    return m_cancelFlag ? 0 : 1;
}

void CProgressPage::OnPartDone(int result, CTransferJob* job)
{
    EnableCancel(TRUE);
    if (!m_sheet) {
        delete job;
        m_transferLabel.Reset();
        return;
    }
    if (result == kTransferCancelled)
        m_cancelFlag = TRUE;
    const BOOL transferred = result == kTransferDone;
    CString targetName;
    PlayerRecord* player = nullptr;
    int index = -1;
    if (job) {
        targetName = job->m_strTargetName;
        player = job->m_pPlayer;
        index = job->m_nPartIndex;
        delete job;
    }
    m_workerId = 0;
    m_transferLabel.Pause();
    PartTransferState* part = index >= 0 && m_parts.count(index) ? m_parts[index].get() : nullptr;
    if (!part) {
        m_transferLabel.Reset();
        return;
    }
    CString line = L"Complete: ";
    if (part->madeByRun && EndsWithConvertedExtension(part->sourcePath)) {
        line += DeleteSiblings(part->sourcePath);
        part->madeByRun = FALSE;
    }
    if (transferred) {
        part->transferState = 2;
        m_sheet->m_lastTransferredPart = part->number;
        if (player)
            player->folders.clear();
        line += L" [DONE]";
    } else {
        part->transferState = 1;
        if (m_cancelFlag) {
            line += L" [CANCEL]";
        } else {
            CString details;
            if (player)
                details = player->GetErrorDetails(result == -1 ? L"TransferNewThread" : kTransferPartKey);
            if (details.IsEmpty() && m_awaitingStart)
                details = FormatText(IDS_ERROR_DETAILS, AfxLoadString(IDS_PROGRESS_NOT_ACKNOWLEDGED).GetString());
            const CString label = targetName.IsEmpty() ? part->name : targetName;
            const CString message = details.IsEmpty()
                                        ? FormatText(IDS_PROGRESS_TRANSFER_FAILED, label.GetString())
                                        : FormatText(IDS_PROGRESS_TRANSFER_FAILED_DETAILS, label.GetString(),
                                                     details.GetString());
            line += L" [FAILED:" + message + L"]";
            m_cancelFlag = TRUE;
            AfxMessageBox(message, MB_OK | MB_ICONERROR);
        }
    }
    if (m_app && m_app->m_verbose) {
        if (player) {
            CString log = player->GetErrorDetails(L"TransferPartLog");
            const int at = log.Find(L"Error details: ");
            if (at >= 0)
                log = log.Mid(at + 15);
            if (!log.IsEmpty())
                m_app->WriteVerboseLog(log);
        }
        m_app->WriteVerboseLog(line);
    }
    if (m_cancelFlag) {
        m_transferLabel.Reset();
        if (result == kTransferCancelled && !targetName.IsEmpty() && player) {
            if (Services().deletePartial)
                Services().deletePartial(player, targetName);
            else
                DeletePartialFile(player, targetName);
        }
        if (m_preparationDone)
            BackToConfirm();
        return;
    }
    m_sheet->m_elapsedText = FormatElapsed(static_cast<long long>(time(nullptr)) - m_startTime);
    int failed = 0;
    if (AllPartsFinished(&failed)) {
        ShowStatus(IDC_PROGRESS_TRANSFER_STATUS, AfxLoadString(IDS_PROGRESS_COMPLETE));
        m_transferLabel.Reset();
        if (failed > 0) {
            int sent = 0;
            for (const auto& [key, state] : m_parts)
                sent += state->transferState == 2;
            CString count;
            count.Format(L"%d", sent);
            m_sheet->GetPlaceholders().SetAt(L"%%PART_COUNT%%", count);
        }
        if (player) {
            const int kind = m_sheet->m_media.GetMetadata().GetContentKind();
            const BOOL mp3Title = (kind & (KindMp3Audiobook | KindMp3Music)) != 0;
            if (Services().copySideFiles)
                Services().copySideFiles(player, m_sheet->m_playlistPath, m_sheet->m_imagePath, m_sheet->m_sourceId,
                                         mp3Title);
            else
                CopyTitleSideFiles(player, m_sheet->m_playlistPath, m_sheet->m_imagePath, m_sheet->m_sourceId,
                                   mp3Title);
        }
        m_running = FALSE;
        DeleteTempSiblings();
        m_ownerSheet->PressButton(PSBTN_NEXT);
        return;
    }
    const int next = FindNextReadyPart();
    if (next > 0 && next < GetPartCount()) {
        ShowWaitingFor(next);
        UpdateWindow();
        TransferPart(next);
        return;
    }
    if (index + 1 < GetPartCount()) {
        // The next part is still being converted: the conversion starts it when it is ready.
        ShowWaitingFor(index + 1);
        if (EndsWithConvertedExtension(part->sourcePath)) {
            m_transferLabel.Reset();
            m_transferLabel.Start();
            ShowStatus(IDC_PROGRESS_TRANSFER_TIME, AfxLoadString(IDS_PROGRESS_CALCULATING));
            m_progress.OnStepPercent(0);
            m_convertGiven = 0.0;
            SetBar(0);
        } else {
            ShowStatus(IDC_PROGRESS_TRANSFER_TIME, CString());
        }
        UpdateWindow();
        m_awaitingStart = TRUE;
        return;
    }
    m_transferLabel.Reset();
    m_running = FALSE;
    if (m_cancelFlag) {
        BackToConfirm();
    } else {
        DeleteTempSiblings();
        m_ownerSheet->PressButton(PSBTN_NEXT);
    }
}

BOOL CProgressPage::AllPartsFinished(int* failed) const
{
    int ready = 0, sent = 0, lost = 0;
    for (const auto& [key, part] : m_parts) {
        ready += part->prepState == 2;
        sent += part->transferState == 2;
        lost += part->transferState != 0 && part->transferState != 2;
    }
    *failed = lost;
    return sent == GetPartCount() || (m_preparationDone && lost + sent == ready);
}

int CProgressPage::FindNextReadyPart() const
{
    for (const auto& [key, part] : m_parts) {
        if (part->transferState == 0 && part->prepState == 2)
            return key;
    }
    return -1;
}

void CProgressPage::EndTransfer(BOOL goBack)
{
    m_cancelFlag = TRUE;
    if (goBack)
        BackToConfirm();
}

void CProgressPage::BackToConfirm()
{
    m_running = FALSE;
    m_workerId = 0;
    DeleteTempSiblings();
    if (!m_sheet) {
        PostQuitMessage(0);
        return;
    }
    m_sheet->SetActivePage(&m_sheet->m_confirm);
}

void CProgressPage::ShowStatus(UINT itemId, const CString& text)
{
    if (m_hWnd)
        SetDlgItemText(static_cast<int>(itemId), text);
}

void CProgressPage::ShowWaitingFor(int index)
{
    if (const PartTransferState* part = GetPart(index))
        ShowStatus(IDC_PROGRESS_TRANSFER_STATUS,
                   FormatText(IDS_PROGRESS_WAITING, part->name.GetString(), index + 1, GetPartCount()));
}

void CProgressPage::SetBar(int position)
{
    if (m_hWnd)
        ::SendDlgItemMessageW(m_hWnd, IDC_PROGRESS_TRANSFER_BAR, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void CProgressPage::EnableCancel(BOOL enable)
{
    if (m_ownerSheet && m_ownerSheet->m_hWnd)
        ::EnableWindow(::GetDlgItem(m_ownerSheet->m_hWnd, IDCANCEL), enable);
}

CString CProgressPage::FormatText(UINT stringId, ...) const
{
    const CString format = AfxLoadString(stringId);
    va_list args;
    va_start(args, stringId);
    CString text;
    text.FormatV(format, args);
    va_end(args);
    return text;
}

void CProgressPage::DropQueuedResults()
{
    if (!m_hWnd)
        return;
    MSG msg;
    while (PeekMessageW(&msg, m_hWnd, WM_PART_DONE, WM_PART_DONE, PM_REMOVE))
        delete reinterpret_cast<CTransferJob*>(msg.lParam);
}
