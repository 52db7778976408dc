#include "ConfirmPage.h"

#include "AfxMessageBox.h"
#include "CdDialogs.h"
#include "CdSettings.h"
#include "CdWizardSheet.h"
#include "DC.h"
#include "MediaMarkers.h"
#include "WizardApp.h"
#include "res/EmberquayIds.h"
#include "res/HelpTopics.h"

IMPLEMENT_DYNAMIC(CCdConfirmPage, CWizardPage)

namespace {

enum Column { kPartColumn, kSizeColumn, kDurationColumn, kPathColumn };

}  // namespace

CString FormatPartSize(LONGLONG bytes)
{
    CString digits;
    digits.Format(L"%lld", bytes / 1024);
    CString grouped;
    const int length = digits.GetLength();
    for (int i = 0; i < length; ++i) {
        if (i > 0 && (length - i) % 3 == 0 && digits[i - 1] != L'-')
            grouped += L',';
        grouped += digits[i];
    }
    return grouped + L" KB";
}

CString ChooseSpeedText(const DriveSpeedList& speeds, ULONG storedSpeed, BOOL testMode, bool& store, ULONG& speedToStore)
{
    store = false;
    speedToStore = 0;
    CString text;
    if (!speeds.empty()) {
        const ULONG highest = speeds.back().speed;
        if (storedSpeed > 0 && storedSpeed < highest) {
            for (size_t i = 0; i + 1 < speeds.size(); ++i) {
                if (speeds[i].speed == storedSpeed) {
                    text.Format(L"%s (%d KB/sec)", CString::FromNarrow(speeds[i].label ? speeds[i].label : "", -1).GetString(),
                                static_cast<int>(storedSpeed));
                    break;
                }
            }
        }
        // A stored speed the drive does not offer (or none) becomes its highest.
        if (text.IsEmpty() && storedSpeed != highest) {
            store = true;
            speedToStore = highest;
        }
    }
    if (text.IsEmpty())
        text = L"Fastest";
    if (testMode)
        text += L" [Test mode (simulate burning)]";
    return text;
}

CCdConfirmPage::CCdConfirmPage(CCdWizardSheet* sheet) : CWizardPage(sheet, IDD_CONFIRM_PAGE), m_sheet(sheet)
{
    m_helpTopic = kConfirmHelpTopic;
}

CDriveEntry* CCdConfirmPage::SelectedDrive() const
{
    if (!m_drives.m_hWnd)
        return nullptr;
    const int index = m_sheet->m_drives.GetSize() == 1 ? 0 : m_drives.GetCurSel();
    return m_sheet->GetDrive(index);
}

void CCdConfirmPage::WidenPathColumn(const CString& text)
{
    CClientDC dc(&m_partList);
    HGDIOBJ old = ::SelectObject(dc.m_hDC, reinterpret_cast<HGDIOBJ>(m_partList.SendMessage(WM_GETFONT)));
    const int width = dc.GetTextExtent(text).cx * 12 / 10;
    ::SelectObject(dc.m_hDC, old);
    if (width > m_pathColumnWidth) {
        m_pathColumnWidth = width;
        m_partList.SetColumnWidth(kPathColumn, width);
    }
}

BOOL CCdConfirmPage::OnInitDialog()
{
    if (!CWizardPage::OnInitDialog())
        return FALSE;
    SetMarkupText(IDC_CONFIRM_TITLE, L"Title", this);
    SetMarkupText(IDC_CONFIRM_DEVICE_LABEL, L"DeviceLabel", this);
    SetMarkupText(IDC_CONFIRM_PART_LABEL, L"PartLabel", this);
    SetMarkupText(IDC_CONFIRM_PROMPT, L"Prompt", this);
    CMediaObject& title = m_sheet->m_media;
    if (title.m_parts.GetSize() == 0) {
        EndDialog(3);
        return FALSE;
    }
    m_drives.SubclassDlgItem(IDC_CONFIRM_DRIVES, this);
    m_partList.SubclassDlgItem(IDC_CONFIRM_PARTS, this);
    m_partList.SetExtendedStyle(m_partList.GetExtendedStyle() | LVS_EX_FULLROWSELECT);
    m_partList.InsertColumn(kPartColumn, L"Part", LVCFMT_LEFT, 80);
    m_partList.InsertColumn(kSizeColumn, L"Size", LVCFMT_RIGHT, 80);
    m_partList.InsertColumn(kDurationColumn, L"Duration", LVCFMT_RIGHT, 80);
    m_partList.InsertColumn(kPathColumn, L"Path", LVCFMT_LEFT, m_pathColumnWidth);
    m_filling = TRUE;
    m_partTracks.assign(static_cast<size_t>(title.m_parts.GetSize()), 1);
    m_partMs.assign(static_cast<size_t>(title.m_parts.GetSize()), 0);
    for (INT_PTR i = 0; i < title.m_parts.GetSize(); ++i) {
        const CPartObject* part = title.GetPart(i);
        if (!part) {
            m_filling = FALSE;
            EndDialog(3);
            return FALSE;
        }
        const bool present = !part->m_fileName.IsEmpty();
        if (present)
            m_partExtension = part->m_fileName.Right(3);
        const CString target = m_sheet->FormatPartFileName(part->m_number, m_partExtension);
        const int row = m_partList.InsertItem(static_cast<int>(i), part->m_name);
        m_partList.SetItemData(row, static_cast<DWORD_PTR>(i));
        m_partList.SetItemText(row, kSizeColumn, part->m_fileSize < 1 ? CString(L"-") : FormatPartSize(part->m_fileSize));
        m_partList.SetItemText(row, kDurationColumn, part->GetDuration());
        CString path;
        if (part->m_fileSize < 1)
            path = L"-";
        else if (present)
            path = target;
        else
            path = L"Cannot burn '" + target + L"'.";
        m_partList.SetItemText(row, kPathColumn, path);
        WidenPathColumn(path);
        const bool burnable = present && part->m_fileSize >= 1;
        m_partList.SetCheck(row, burnable ? CCheckedListCtrl::kChecked : CCheckedListCtrl::kUncheckedDisabled);
        m_partMs[static_cast<size_t>(i)] = DurationTextToMs(part->GetDuration());
        if (burnable) {
            // The exact length and the tracks the burn will take, not the duration text's seconds.
            const uint64_t ms = PartDurationMs(part->m_fileName, m_partMs[static_cast<size_t>(i)]);
            m_partMs[static_cast<size_t>(i)] = ms;
            std::vector<MarkerEntry> markers;
            if (ReadPartMarkers(part->m_fileName, markers) && !markers.empty())
                m_partTracks[static_cast<size_t>(i)] = static_cast<int>(TracksOfMarkers(markers, ms).size());
        }
    }
    m_filling = FALSE;
    m_defaultBase = m_targetBase = m_sheet->m_baseFileName;
    UpdateDiscCount();
    return TRUE;
}

BOOL CCdConfirmPage::OnSetActive()
{
    const BOOL active = CWizardPage::OnSetActive();
    const INT_PTR count = m_sheet->m_drives.GetSize();
    if (count == 0) {
        EndDialog(3);
        return active;
    }
    ShowItem(IDC_CONFIRM_PROMPT_SEVERAL, count > 1);
    ShowItem(IDC_CONFIRM_PROMPT_ONE, count <= 1);
    m_drives.ResetContent();
    const CString last = ReadLastSelectedDevice();
    for (INT_PTR i = 0; i < count; ++i) {
        CDriveEntry* drive = m_sheet->GetDrive(static_cast<int>(i));
        m_drives.AddString(drive->m_displayName);
        if (m_comboSelection == -1 && !last.IsEmpty() && drive->m_displayName.CompareNoCase(last) == 0)
            m_comboSelection = static_cast<int>(i);
        if (i == 0)
            SetDlgItemText(IDC_CONFIRM_ONE_DRIVE, drive->m_displayName);
        drive->m_baseFileName = m_defaultBase;
    }
    int selection = 0;
    if (m_sheet->m_selectedDrive >= 0 && m_sheet->m_selectedDrive < count)
        selection = m_sheet->m_selectedDrive;
    else if (m_comboSelection >= 0 && m_comboSelection < count)
        selection = m_comboSelection;
    m_drives.SetCurSel(selection);
    ShowItem(IDC_CONFIRM_ONE_DRIVE, count == 1);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_CONFIRM_ONE_DRIVE), count == 1);
    ShowItem(IDC_CONFIRM_DRIVES, count > 1);
    if (m_sheet->m_lastBurnedPart != -1)
        RenameTargets();
    m_ownerSheet->PostMessage(PSM_SETWIZBUTTONS, 0, PSWIZB_BACK | PSWIZB_NEXT);
    return active;
}

void CCdConfirmPage::RenameTargets()
{
    CMediaObject& title = m_sheet->m_media;
    for (int row = 0; row < m_partList.GetItemCount(); ++row) {
        if (m_partList.GetCheck(row) == CCheckedListCtrl::kUncheckedDisabled)
            continue;
        const CString path = m_partList.GetItemText(row, kPathColumn);
        int cut = path.ReverseFind(L'-');
        if (cut < 0)
            cut = path.ReverseFind(L'.');
        const CString renamed = m_targetBase + (cut < 0 ? CString() : path.Mid(cut));
        m_partList.SetItemText(row, kPathColumn, renamed);
        WidenPathColumn(renamed);
        // Parts up to the one burned last are done already.
        const CPartObject* part = title.GetPart(static_cast<INT_PTR>(m_partList.GetItemData(row)));
        if (part && part->m_number <= m_sheet->m_lastBurnedPart)
            m_partList.SetCheck(row, CCheckedListCtrl::kUnchecked);
    }
}

int CCdConfirmPage::CountChosenDiscs() const
{
    std::vector<PlannedPart> chosen;
    for (int row = 0; row < m_partList.GetItemCount(); ++row) {
        if (m_partList.GetCheck(row) != CCheckedListCtrl::kChecked)
            continue;
        const INT_PTR index = static_cast<INT_PTR>(m_partList.GetItemData(row));
        const CPartObject* part = m_sheet->m_media.GetPart(index);
        PlannedPart planned;
        if (!part) {
            planned.known = false;
        } else {
            planned.durationMs = m_partMs[static_cast<size_t>(index)];
            planned.tracks = m_partTracks[static_cast<size_t>(index)];
        }
        chosen.push_back(planned);
    }
    return CountDiscsNeeded(chosen);
}

void CCdConfirmPage::UpdateDiscCount()
{
    const int discs = CountChosenDiscs();
    m_sheet->m_discsNeeded = discs;
    CString text;
    if (discs == 1)
        text = AfxLoadString(IDS_ONE_DISC_NEEDED);
    else
        text.Format(AfxLoadString(IDS_DISCS_NEEDED), discs);
    SetDlgItemText(IDC_CONFIRM_DISCS, text);
}

void CCdConfirmPage::SetAllChecks(int state)
{
    for (int row = 0; row < m_partList.GetItemCount(); ++row) {
        if (m_partList.GetCheck(row) != CCheckedListCtrl::kUncheckedDisabled)
            m_partList.SetCheck(row, state);
    }
    UpdateDiscCount();
}

void CCdConfirmPage::ShowTracks()
{
    std::vector<TrackPart> parts;
    for (int row = 0; row < m_partList.GetItemCount(); ++row) {
        const CPartObject* part = m_sheet->m_media.GetPart(static_cast<INT_PTR>(m_partList.GetItemData(row)));
        if (part && !part->m_fileName.IsEmpty())
            parts.push_back({part->m_number, part->m_fileName, DurationTextToMs(part->GetDuration())});
    }
    if (parts.empty()) {
        AfxMessageBox(IDS_NO_PARTS_FOR_TRACKS, MB_OK | MB_ICONINFORMATION);
        return;
    }
    CTracksDialog dialog(m_sheet->m_title, std::move(parts), this);
    dialog.DoModal();
}

void CCdConfirmPage::ShowOptions()
{
    CDriveEntry* drive = SelectedDrive();
    const DriveSpeedList speeds = drive ? drive->m_writeSpeeds : DriveSpeedList();
    const ULONG stored = ReadWriteSpeed();
    CBurnOptionsDialog dialog(speeds, stored, m_sheet->m_testMode, this);
    if (dialog.DoModal() != IDOK)
        return;
    m_sheet->m_testMode = dialog.m_testMode;
    if (dialog.m_speed != stored)
        WriteWriteSpeed(dialog.m_speed);
}

BOOL CCdConfirmPage::OnCommand(WPARAM wParam, LPARAM lParam)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    switch (id) {
    case IDC_CONFIRM_DRIVES:
        if (code == CBN_SELENDOK) {
            CDriveEntry* drive = SelectedDrive();
            m_targetBase = drive && !drive->m_baseFileName.IsEmpty() ? drive->m_baseFileName : m_sheet->m_baseFileName;
            RenameTargets();
            UpdateDiscCount();
            return TRUE;
        }
        break;
    case IDC_CONFIRM_TRACKS:
        ShowTracks();
        return TRUE;
    case IDC_CONFIRM_SELECT_ALL:
        SetAllChecks(CCheckedListCtrl::kChecked);
        return TRUE;
    case IDC_CONFIRM_DESELECT_ALL:
        SetAllChecks(CCheckedListCtrl::kUnchecked);
        return TRUE;
    case IDC_CONFIRM_OPTIONS:
        ShowOptions();
        return TRUE;
    default:
        break;
    }
    return CWizardPage::OnCommand(wParam, lParam);
}

BOOL CCdConfirmPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->idFrom == IDC_CONFIRM_PARTS && header->code == LVN_ITEMCHANGED && !m_filling)
        UpdateDiscCount();
    return CWizardPage::OnNotify(wParam, lParam, result);
}

LRESULT CCdConfirmPage::OnWizardNext()
{
    CDriveEntry* drive = SelectedDrive();
    if (!drive)
        return -1;
    m_sheet->m_selectedParts.RemoveAll();
    ULONGLONG bytes = 0;
    for (int row = 0; row < m_partList.GetItemCount(); ++row) {
        if (m_partList.GetCheck(row) != CCheckedListCtrl::kChecked)
            continue;
        const INT_PTR index = static_cast<INT_PTR>(m_partList.GetItemData(row));
        const CPartObject* part = m_sheet->m_media.GetPart(index);
        if (!part)
            continue;
        m_sheet->m_selectedParts.Add(static_cast<UINT>(index));
        bytes += static_cast<ULONGLONG>(part->m_fileSize > 0 ? part->m_fileSize : 0);
    }
    const INT_PTR chosen = m_sheet->m_selectedParts.GetSize();
    if (chosen == 0) {
        AfxMessageBox(IDS_NO_PARTS_SELECTED, MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    if (chosen > kMaxBurnParts) {
        CString text;
        text.Format(AfxLoadString(IDS_TOO_MANY_PARTS), kMaxBurnParts);
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return -1;
    }
    if (m_sheet->m_testMode && AfxMessageBox(IDS_TEST_MODE_NOTICE, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return -1;
    bool store = false;
    ULONG speed = 0;
    const CString speedText = ChooseSpeedText(drive->m_writeSpeeds, ReadWriteSpeed(), m_sheet->m_testMode, store, speed);
    if (store)
        WriteWriteSpeed(speed);
    m_sheet->m_selectedDrive = m_drives.m_hWnd && m_sheet->m_drives.GetSize() > 1 ? m_drives.GetCurSel() : 0;
    CMapStringToString& placeholders = m_sheet->GetPlaceholders();
    CString number;
    placeholders.SetAt(L"%%DEVICE_NAME%%", drive->m_displayName);
    number.Format(L"%d", static_cast<int>(chosen));
    placeholders.SetAt(L"%%PART_COUNT%%", number);
    number.Format(L"%llu", bytes);
    placeholders.SetAt(L"%%SPACE_NEEDED%%", number);
    placeholders.SetAt(L"%%DEVICE_SPEED%%", speedText);
    WriteLastSelectedDevice(drive->m_displayName);
    return CWizardPage::OnWizardNext();
}
