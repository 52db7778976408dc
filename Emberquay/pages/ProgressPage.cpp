#include "ProgressPage.h"

#include "AfxMessageBox.h"
#include "BurnEngine.h"
#include "BurnThread.h"
#include "CdSettings.h"
#include "CdWizardApp.h"
#include "CdWizardSheet.h"
#include "MarkupLabel.h"
#include "SuiteMessages.h"
#include "TrackPlan.h"
#include "res/EmberquayIds.h"
#include "res/HelpTopics.h"

#include <algorithm>

#include <ctime>

IMPLEMENT_DYNAMIC(CCdProgressPage, CWizardPage)

namespace {

constexpr wchar_t kBurningNewThread[] = L"BurningNewThread";
constexpr wchar_t kBurningPart[] = L"BurningPart";
constexpr wchar_t kCurrentPartName[] = L"%%CUR_PART_NAME%%";
constexpr wchar_t kCurrentPartNumber[] = L"%%CUR_PART_NUM%%";

CString NumberText(long long value)
{
    CString text;
    text.Format(L"%lld", value);
    return text;
}

}  // namespace

CCdProgressPage::CCdProgressPage(CCdWizardSheet* sheet) : CWizardPage(sheet, IDD_PROGRESS_PAGE), m_sheet(sheet)
{
    m_helpTopic = kProgressHelpTopic;
}

CCdProgressPage::~CCdProgressPage()
{
    // A job still running (the wizard torn down without its end) keeps its records: the thread
    // may still read them.
    m_states.clear();
}

CString CCdProgressPage::TargetNameOf(const CString& base, int number, const CString& partFile)
{
    const int slash = partFile.ReverseFind(L'\\');
    const CString name = partFile.Mid(slash + 1);
    const int dot = name.ReverseFind(L'.');
    if (dot < 0 || name.GetLength() - dot - 1 != 3)
        return CString();
    CString target;
    target.Format(L"%s-Part%.2d.%s", base.GetString(), number, name.Mid(dot + 1).GetString());
    return target;
}

BOOL CCdProgressPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    m_prepareBar.SubclassDlgItem(IDC_PROGRESS_PREPARE_BAR, this);
    m_burnBar.SubclassDlgItem(IDC_PROGRESS_BURN_BAR, this);
    m_prepareTime.SubclassDlgItem(IDC_PROGRESS_PREPARE_TIME, this);
    m_burnTime.SubclassDlgItem(IDC_PROGRESS_BURN_TIME, this);
    m_prepareTime.SetPrefix(AfxLoadString(IDS_TIME_REMAINING_PREFIX));
    SetMarkupText(IDC_PROGRESS_MESSAGE, L"Message", this);
    return TRUE;
}

BOOL CCdProgressPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    SetMarkupText(IDC_PROGRESS_MESSAGE, L"Message", this);
    SetMarkupText(IDC_PROGRESS_DRIVE, L"Drive", this);
    SetMarkupText(IDC_PROGRESS_SPEED, L"Speed", this);
    if (m_ownerSheet)
        m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, 0);
    m_prepareBar.SetPos(0);
    m_burnBar.SetPos(0);
    m_startTime = static_cast<long long>(std::time(nullptr));
    PostMessage(WM_PREPARE_PARTS);
    return active;
}

CDriveEntry* CCdProgressPage::ChosenDrive() const
{
    return m_sheet ? m_sheet->GetDrive(m_sheet->m_selectedDrive) : nullptr;
}

void CCdProgressPage::GoBack()
{
    m_cancel = TRUE;
    m_prepareTime.Pause();
    m_burnTime.Pause();
    if (!m_sheet) {
        PostQuitMessage(0);
        return;
    }
    if (m_mayGoBack)
        m_sheet->PressButton(PSBTN_BACK);
}

void CCdProgressPage::ShowDownloadText(const CString& text)
{
    if (CMarkupLabel* label = m_sheet ? m_sheet->FindMarkupLabel(this, IDC_PROGRESS_DOWNLOAD) : nullptr)
        label->SetText(text);
    else
        SetDlgItemText(IDC_PROGRESS_DOWNLOAD, text);
}

void CCdProgressPage::PumpMessages()
{
    ++m_handling;
    AfxPumpQueuedMessages();
    --m_handling;
}

void CCdProgressPage::EnableClose(BOOL enable)
{
    if (!m_ownerSheet)
        return;
    if (CWnd* cancel = m_ownerSheet->GetDlgItem(IDCANCEL))
        cancel->EnableWindow(enable);
    if (HMENU menu = ::GetSystemMenu(m_ownerSheet->m_hWnd, FALSE))
        ::EnableMenuItem(menu, SC_CLOSE, MF_BYCOMMAND | (enable ? MF_ENABLED : MF_GRAYED));
}

void CCdProgressPage::Prepare()
{
    if (!m_sheet || !m_app) {
        GoBack();
        return;
    }
    CMediaObject& title = m_sheet->m_media;
    const INT_PTR chosen = m_sheet->m_selectedParts.GetSize();
    if (!title.GetPart(0) || chosen == 0 || chosen > kMaxBurnParts || !ChosenDrive()) {
        GoBack();
        return;
    }
    m_prepareTime.Reset();
    m_burnTime.Reset();
    m_states.clear();
    m_totalWeight = 0;
    ULONGLONG totalMs = 0;
    for (INT_PTR i = 0; i < chosen; ++i) {
        const CPartObject* part = title.GetPart(static_cast<INT_PTR>(m_sheet->m_selectedParts[i]));
        if (!part) {
            GoBack();
            return;
        }
        BurnPartState state;
        state.Weight = std::max(1.0, static_cast<double>(part->m_fileSize) / 1024.0);
        state.FilePath = part->m_fileName;  // the path the playlist gives
        state.Name = part->m_name;
        state.FileName = state.FilePath;
        state.Number = part->m_number;
        // The exact length, as the Confirm page counted the discs.
        const uint64_t ms = PartDurationMs(part->m_fileName, DurationTextToMs(part->m_duration));
        state.DurationMs = static_cast<DWORD>(ms > 0xFFFFFFFEull ? 0xFFFFFFFEull : ms);
        m_totalWeight += state.Weight;
        totalMs += state.DurationMs;
        m_states[static_cast<int>(i)] = state;
    }
    m_totalSeconds = totalMs / 1000;
    const int firstSeconds = static_cast<int>(m_states[0].DurationMs / 1000) + 1;
    m_prepareBar.SetRange32(0, firstSeconds);
    m_prepareTime.SetTotal(firstSeconds);
    SetDlgItemText(IDC_PROGRESS_STAGE, L"");

    m_cancel = FALSE;
    m_mayGoBack = TRUE;
    m_notCancellable = FALSE;
    m_firstStatus = TRUE;
    m_current = 0;
    m_trackCount = 0;
    m_currentTrack = 0;
    m_burnRange = 0;
    m_burnDone = 0;
    m_decodedSeconds = 0;
    m_lastIndex = -1;
    m_sheet->m_lastBurnedPart = -1;
    EnableClose(TRUE);
    PostMessage(WM_BURN_PARTS, static_cast<WPARAM>(chosen - 1));

    CMapStringToString& placeholders = m_sheet->GetPlaceholders();
    placeholders.SetAt(kCurrentPartName, m_states[0].Name);
    placeholders.SetAt(kCurrentPartNumber, L"1");
    SetMarkupText(IDC_PROGRESS_DOWNLOAD, L"DownloadLabel", this);
    ShowBurning(IDS_STATUS_WAITING);
}

// "Status: ... "<part>" (n/count)...", with the track for the burning texts.
void CCdProgressPage::ShowBurning(UINT stringId, int track)
{
    if (m_states.empty())
        return;
    const BurnPartState& part = m_states[m_current];
    const int count = static_cast<int>(m_states.size());
    CString text;
    if (track >= 0)
        text.Format(AfxLoadString(stringId), part.Name.GetString(), m_current + 1, count, track + 1, m_trackCount,
                    m_notCancellable ? L"(cannot be cancelled)" : L"...");
    else
        text.Format(AfxLoadString(stringId), part.Name.GetString(), m_current + 1, count);
    SetDlgItemText(IDC_PROGRESS_BURNING, text);
}

void CCdProgressPage::StartJob(int lastIndex)
{
    if (!m_sheet || !m_app || !ChosenDrive() || lastIndex < 0 || lastIndex >= static_cast<int>(m_states.size())) {
        GoBack();
        return;
    }
    CMapStringToString& placeholders = m_sheet->GetPlaceholders();
    placeholders.SetAt(kCurrentPartName, m_states[0].Name);
    placeholders.SetAt(kCurrentPartNumber, L"1");
    SetMarkupText(IDC_PROGRESS_DOWNLOAD, L"DownloadLabel", this);
    m_prepareBar.SetPos(0);
    m_burnBar.SetPos(0);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);

    CString error;
    if (StartBurnThread(lastIndex, error))
        return;
    CDriveEntry* drive = ChosenDrive();
    drive->m_errors.SetAt(kBurningNewThread, error);
    auto* job = new CBurnJob;
    job->SetPartIndex(lastIndex);
    job->Drive = drive;
    job->TargetName = m_states[lastIndex].Name;
    job->DriveText = m_sheet->m_title;
    job->OwnerWindow = m_hWnd;
    PostMessage(WM_PART_DONE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(job));
}

bool CCdProgressPage::StartBurnThread(int lastIndex, CString& error)
{
    const BurnPartState& last = m_states[lastIndex];
    const CString target = TargetNameOf(m_sheet->m_baseFileName, last.Number, last.FilePath);
    const int dot = last.FilePath.ReverseFind(L'.');
    const CString extension = dot < 0 ? CString() : last.FilePath.Mid(dot);
    if (target.GetLength() < 5 || extension.IsEmpty() ||
        target.Right(extension.GetLength()).CompareNoCase(extension) != 0) {
        error.Format(AfxLoadString(IDS_TARGET_NAME_CORRUPTED), target.GetString());
        return false;
    }
    auto job = std::make_unique<CBurnJob>();
    job->SourceFile = last.FilePath;
    job->TargetName = target;
    job->DriveText = ChosenDrive()->m_baseFileName;
    job->OwnerWindow = m_hWnd;
    job->Drive = ChosenDrive();
    job->TotalBytes = static_cast<DWORD>(m_totalWeight * 1024.0);
    job->LastExtra = last.Extra;
    job->ContentType = m_app->m_contentType;
    job->GapFrames = static_cast<DWORD>(static_cast<CCdWizardApp*>(m_app)->m_trackGapFrames);
    job->WriteSpeed = ReadWriteSpeed();
    job->TestMode = m_sheet->m_testMode;
    job->DiscCount = m_sheet->m_discsNeeded;
    for (int i = 0; i <= lastIndex; ++i) {
        if (!job->AddPart(m_states[i].FilePath, m_states[i].DurationMs))
            break;
    }
    job->Drive->m_errors.RemoveKey(kBurningPart);
    job->Drive->m_errors.RemoveKey(kBurningNewThread);

    CWinThread* thread = AfxBeginThread(RUNTIME_CLASS(CDBurnThread), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) {
        error.Format(AfxLoadString(IDS_UNABLE_TO), L"begin burning thread", L"AfxBeginThread returns NULL.");
        return false;
    }
    m_thread = thread;
    m_threadId = thread->m_nThreadID;
    m_job = job.release();
    m_lastIndex = lastIndex;
    m_ackPending = TRUE;
    thread->ResumeThread();
    ::PostThreadMessageW(m_threadId, WM_BURNING_START, 0, reinterpret_cast<LPARAM>(m_job));
    return true;
}

LRESULT CCdProgressPage::OnPartStatus()
{
    if (m_firstStatus) {
        m_firstStatus = FALSE;
        m_burnTime.Start();
        m_prepareTime.Start();
        SetDlgItemText(IDC_PROGRESS_BURN_TIME, AfxLoadString(IDS_TIME_CALCULATING));
    } else {
        m_burnTime.Resume();
    }
    m_ackPending = FALSE;
    PumpMessages();
    return m_cancel ? 2 : 1;
}

void CCdProgressPage::MakeCurrent(int part)
{
    m_current = part;
    m_notCancellable = FALSE;
    EnableClose(TRUE);
    const int seconds = static_cast<int>(m_states[part].DurationMs / 1000) + 1;
    m_prepareBar.SetRange32(0, seconds);
    m_prepareBar.SetPos(0);
    m_burnBar.SetPos(0);
    m_decodedSeconds = 0;
    SetDlgItemText(IDC_PROGRESS_BURN_TIME, AfxLoadString(IDS_TIME_CALCULATING));
    m_prepareTime.Reset();
    m_prepareTime.SetTotal(seconds);
    m_prepareTime.Start();
    CMapStringToString& placeholders = m_sheet->GetPlaceholders();
    placeholders.SetAt(kCurrentPartName, m_states[part].Name);
    placeholders.SetAt(kCurrentPartNumber, NumberText(part + 1));
    SetMarkupText(IDC_PROGRESS_DOWNLOAD, L"DownloadLabel", this);
    ShowBurning(IDS_STATUS_WAITING);
}

LRESULT CCdProgressPage::OnBurnProgress(int part, LONG decodedMs)
{
    const int last = static_cast<int>(m_states.size()) - 1;
    if (part >= 0 && part <= last && part != m_current && m_current != last) {
        MakeCurrent(part);
    } else if (part > last && !m_states.empty()) {
        // Every part is decoded: the disc is written now, which cannot be stopped.
        int lower = 0, upper = 0;
        m_prepareBar.GetRange(lower, upper);
        m_prepareBar.SetPos(upper);
        SetDlgItemText(IDC_PROGRESS_PREPARE_TIME, L"");
        SetDlgItemText(IDC_PROGRESS_BURN_TIME, L"");
        CString text;
        text.Format(AfxLoadString(IDS_STATUS_PROCESSED), m_states[m_current].Name.GetString(), m_current + 1,
                    last + 1);
        ShowDownloadText(text);
        m_notCancellable = TRUE;
        EnableClose(FALSE);
    }
    if (decodedMs > 0) {
        const DWORD seconds = static_cast<DWORD>(decodedMs) / 1000;
        if (m_cancel) {
            const CString canceling = AfxLoadString(IDS_STATUS_CANCELING);
            ShowDownloadText(canceling);
            SetDlgItemText(IDC_PROGRESS_BURNING, canceling);
            SetDlgItemText(IDC_PROGRESS_BURN_TIME, L"");
            SetDlgItemText(IDC_PROGRESS_STAGE, L"");
        } else {
            m_prepareBar.SetPos(static_cast<int>(seconds));
            if (seconds > m_decodedSeconds)
                m_prepareTime.Update(seconds - m_decodedSeconds);
            m_decodedSeconds = seconds;
        }
    }
    PumpMessages();
    return m_cancel ? 0 : 1;
}

void CCdProgressPage::OnStage(LPARAM stage, WPARAM value)
{
    const int v = static_cast<int>(value);
    switch (stage) {
    case kStagePrepared:
        if (v > 0)
            m_trackCount = v;
        break;
    case kStageTrack:
        if (v < m_trackCount) {
            m_currentTrack = v;
            ShowBurning(IDS_STATUS_BURNING_TRACK, m_currentTrack);
        }
        break;
    case kStageTrackBegin:
        m_burnRange = v;
        m_burnDone = 0;
        m_burnBar.SetRange32(0, v);
        m_burnBar.SetPos(0);
        m_burnTime.Reset();
        m_burnTime.SetPrefix(AfxLoadString(IDS_TIME_REMAINING_PREFIX));
        m_burnTime.SetTotal(v);
        m_burnTime.Start();
        break;
    case kStageTrackWrite:
        if (v > m_burnDone)
            m_burnTime.Update(v - m_burnDone);
        m_burnDone = v;
        ShowBurning(IDS_STATUS_BURNING_TRACK, m_currentTrack);
        m_burnBar.SetPos(v);
        break;
    case kStageCacheFill: {
        CString text;
        text.Format(AfxLoadString(IDS_PREPARING_CACHE), NumberText(v).GetString());
        SetDlgItemText(IDC_PROGRESS_STAGE, text);
        break;
    }
    case kStageCacheFull:
        m_prepareTime.Update(0);
        break;
    case kStageClosing: {
        CString text;
        text.Format(AfxLoadString(IDS_CLOSING_SESSION), L"...");
        SetDlgItemText(IDC_PROGRESS_STAGE, text);
        break;
    }
    case kStageEjected:
        m_burnBar.SetPos(m_burnRange);
        ShowBurning(IDS_STATUS_PART_BURNED);
        SetDlgItemText(IDC_PROGRESS_STAGE, L"");
        SetDlgItemText(IDC_PROGRESS_BURN_TIME, L"");
        if (m_sheet && !m_sheet->m_testMode && !m_states.empty())
            m_sheet->m_lastBurnedPart = m_states[m_current].Number;
        EnableClose(TRUE);
        m_burnRange = 0;
        m_current = 0;
        m_notCancellable = FALSE;
        break;
    default:
        break;
    }
    PumpMessages();
}

void CCdProgressPage::OnJobDone(LONG result, CBurnJob* job)
{
    EnableClose(TRUE);
    // The thread has ended (or never ran): forget it before anything can use it.
    m_thread = nullptr;
    m_threadId = 0;
    if (job == m_job)
        m_job = nullptr;
    if (result == CDBurnThread::kCancelled)
        m_cancel = TRUE;
    const int next = job ? static_cast<int>(job->PartIndex) : 0;
    CDriveEntry* drive = job ? job->Drive : nullptr;
    const BOOL testMode = job ? job->TestMode : FALSE;
    const int discs = job ? job->DiscNumber : 1;
    delete job;
    m_burnTime.Pause();

    if (result == CDBurnThread::kDone) {
        for (auto& [index, state] : m_states) {
            if (index < next)
                state.BurnStatus = 2;
        }
        if (m_sheet && next > 0 && m_states.count(next - 1) && m_states[next - 1].Number > m_sheet->m_lastBurnedPart)
            m_sheet->m_lastBurnedPart = m_states[next - 1].Number;
    } else {
        if (!testMode && m_states.count(next))
            m_states[next].BurnStatus = 1;
        if (!m_cancel) {
            CString error;
            if (drive)
                drive->m_errors.Lookup(result == -1 ? kBurningNewThread : kBurningPart, error);
            if (error.IsEmpty() && m_ackPending)
                error.Format(AfxLoadString(IDS_ERROR_DETAILS), AfxLoadString(IDS_BURN_NOT_ACKNOWLEDGED).GetString());
            int shown = std::min(next, static_cast<int>(m_states.size()) - 1);
            CString target;
            if (m_sheet && shown >= 0)
                target = TargetNameOf(m_sheet->m_baseFileName, m_states[shown].Number, m_states[shown].FilePath);
            CString text;
            if (testMode)
                text.Format(AfxLoadString(IDS_SIMULATION_FAILED), target.GetString(), error.GetString());
            else if (!error.IsEmpty())
                text.Format(AfxLoadString(IDS_BURN_FAILED), target.GetString(), error.GetString());
            else
                text.Format(AfxLoadString(IDS_BURN_FAILED_NO_TEXT), target.GetString());
            AfxMessageBox(text, MB_OK | MB_ICONERROR);
            m_cancel = TRUE;
        }
    }
    m_ackPending = FALSE;

    if (m_cancel) {
        GoBack();
        return;
    }
    const long long elapsed = std::max(0LL, static_cast<long long>(std::time(nullptr)) - m_startTime);
    m_sheet->m_elapsedText = CTimeLabel::FormatRemaining(elapsed);
    SetDlgItemText(IDC_PROGRESS_BURNING, AfxLoadString(IDS_BURN_COMPLETE));
    CMapStringToString& placeholders = m_sheet->GetPlaceholders();
    placeholders.SetAt(L"%%PART_COUNT%%", NumberText(static_cast<long long>(m_states.size())));
    placeholders.SetAt(L"%%BURN_COUNT%%", NumberText(next));
    CString discText;
    if (discs == 1)
        discText = AfxLoadString(IDS_ONE_CD);
    else
        discText.Format(AfxLoadString(IDS_SEVERAL_CDS), discs);
    placeholders.SetAt(L"%%DISC_COUNT%%", discText);
    m_sheet->PressButton(PSBTN_NEXT);
}

BOOL CCdProgressPage::OnQueryCancel()
{
    if (!m_notCancellable)
        m_cancel = TRUE;
    if (m_cancel && m_thread) {
        if (m_job)
            m_job->Cancel();
        ::PostThreadMessageW(m_threadId, WM_TRANSFER_CANCEL, 0, 0);
    }
    // A running burn ends the page itself (its WM_PART_DONE); without one Cancel closes.
    return m_thread == nullptr && m_handling == 0 ? CWizardPage::OnQueryCancel() : FALSE;
}

BOOL CCdProgressPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_PREPARE_PARTS:
        Prepare();
        break;
    case WM_BURN_PARTS:
        StartJob(static_cast<int>(wParam));
        break;
    case WM_PART_STATUS:
        *result = OnPartStatus();
        return TRUE;
    case WM_BURN_PROGRESS:
        *result = OnBurnProgress(static_cast<int>(wParam), static_cast<LONG>(lParam));
        return TRUE;
    case WM_ADD_PROGRESS:
        OnStage(lParam, wParam);
        break;
    case WM_PART_DONE:
        OnJobDone(static_cast<LONG>(wParam), reinterpret_cast<CBurnJob*>(lParam));
        break;
    default:
        return CWizardPage::OnWndMsg(message, wParam, lParam, result);
    }
    *result = 0;
    return TRUE;
}
