#include "ProgressPage.h"

#include "AfxMessageBox.h"
#include "CarrowindSheet.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "TransferJob.h"
#include "WinThread.h"
#include "WizardApp.h"
#include "WizardServices.h"
#include "WindowsMediaThread.h"
#include "progress/TitleSideFiles.h"
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

}  // namespace

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
        DeleteRunFiles();
        if (m_conversion.Folder().IsEmpty() || m_sender.WorkerId() || m_conversion.ConverterId())
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
    m_sender.Cancel();
    // The conversion hears of it at once, also while it waits for room in its folder.
    m_conversion.Cancel();
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
    DeleteRunFiles();
    m_parts.clear();
    const BOOL convert = CPartConversion::Needed(player, m_sheet);
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
    m_sheet->m_imagePath = CTitleSideFiles::PrepareCover(player, m_sheet->m_imagePath);
    m_sender.Ended();
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

void CProgressPage::ConvertParts()
{
    const int count = GetPartCount();
    if (!m_conversion.MakeFolder()) {
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
        target.Format(L"%s\\%s", m_conversion.Folder().GetString(),
                      m_sheet->FormatPartFileName(part->number, L"m4b").GetString());
        line += part->partFile + L"|" + target;
        if (!m_conversion.Convert(*part, target, i, m_sheet, m_hWnd, m_cancelFlag)) {
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
        if (m_awaitingStart && !m_sender.WorkerId()) {
            m_transferLabel.Pause();
            PostMessage(WM_TRANSFER_PART, static_cast<WPARAM>(i), 0);
            m_awaitingStart = FALSE;
        }
    }
    m_preparationDone = TRUE;
    if (m_awaitingStart && !m_sender.WorkerId()) {
        m_transferLabel.Reset();
        ShowStatus(IDC_PROGRESS_TRANSFER_TIME, CString());
    }
    // A part still on its way ends the run through its WM_PART_DONE.
    if (m_cancelFlag && !m_sender.WorkerId())
        BackToConfirm();
}

LRESULT CProgressPage::OnConvertStarted() { return m_cancelFlag ? 2 : 1; }

LRESULT CProgressPage::OnConvertProgress(int percent, CDownloadJob* job)
{
    if (m_awaitingStart && !m_sender.WorkerId() && percent > 0 && job) {
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
    if (!CPartSender::PlayerPresent(player)) {
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
    if (m_sender.Start(player, index, *m_parts.at(index), m_sheet, m_hWnd, &m_awaitingStart))
        return;
    // No worker: the failure takes the road of a finished part.
    CTransferJob* job = CPartSender::MakeJob(nullptr, player, index, *part, part->name, m_sheet, m_hWnd);
    PostMessage(WM_PART_DONE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(job));
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
    m_sender.Ended();
    m_transferLabel.Pause();
    PartTransferState* part = index >= 0 && m_parts.count(index) ? m_parts[index].get() : nullptr;
    if (!part) {
        m_transferLabel.Reset();
        return;
    }
    CString line = L"Complete: ";
    if (part->madeByRun && CPartConversion::IsConvertedFile(part->sourcePath)) {
        line += CPartConversion::DeleteSiblings(part->sourcePath);
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
        if (result == kTransferCancelled && !targetName.IsEmpty() && player)
            CTitleSideFiles::DeletePartial(player, targetName);
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
        if (player)
            CTitleSideFiles::CopyAfterLastPart(player, m_sheet);
        m_running = FALSE;
        DeleteRunFiles();
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
        if (CPartConversion::IsConvertedFile(part->sourcePath)) {
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
        DeleteRunFiles();
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
    m_sender.Ended();
    DeleteRunFiles();
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

void CProgressPage::DeleteRunFiles() { m_conversion.DeleteRunFiles(m_parts, m_sender.WorkerId() != 0); }
