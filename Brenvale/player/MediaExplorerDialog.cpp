#include "MediaExplorerDialog.h"

#include "BookmarkDlg.h"
#include "ConsoleDialog.h"
#include "ConsoleMediaObject.h"
#include "FileUtils.h"
#include "GameTitles.h"
#include "MediaMarkers.h"
#include "PlayerPanes.h"
#include "PlayerRules.h"
#include "ResumePoints.h"
#include "SuiteMessages.h"
#include "res/BookmarkIds.h"
#include "res/BrenvaleIds.h"
#include "res/ConsoleIds.h"
#include "res/HelpTopics.h"
#include "res/MediaExplorerIds.h"

#include <windows.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

constexpr UINT_PTR kPositionTimer = 1700;
constexpr UINT kPositionTimerInterval = 200;
// Posted at opening when the machine has no sound output: the message comes over the shown window.
constexpr UINT kTellNoSoundOutput = WM_APP + 0x31;
constexpr int kBannerBand = 50;
constexpr int kInset = 5;
constexpr int kButtonImageWidth = 31;
constexpr COLORREF kButtonMask = RGB(255, 0, 255);
constexpr int kNormalVideoHeight = 240;
constexpr int kSmallVideoHeight = 120;
constexpr int kLargeVideoWidth = 640;
constexpr int kLargeVideoHeight = 480;
constexpr long kMaxSliderSeconds = 0x7FFFFFFF;

constexpr UINT kOwnerDrawnButtons[] = {IDC_PLAY,       IDC_MUTE,      IDC_STOP,       IDC_PREVIOUS_PART,
                                       IDC_PREVIOUS_MARKER, IDC_NEXT_MARKER, IDC_NEXT_PART, IDC_PLAY_SPEED,
                                       IDC_VIDEO_SIZE, IDC_SKIP_BACK, IDC_SKIP_TO,    IDC_BOOKMARKS,
                                       IDC_OPEN_IN_PLAYER, ID_HELP, IDCANCEL};

bool IsOwnerDrawnButton(UINT id)
{
    return std::find(std::begin(kOwnerDrawnButtons), std::end(kOwnerDrawnButtons), id) != std::end(kOwnerDrawnButtons);
}

// A record copied through its archive form: the window's own, whatever the library does
// with its record later. Null when the record is null or cannot be copied.
template <class T>
std::unique_ptr<T> CopyRecord(const T* record)
{
    if (!record)
        return nullptr;
    auto copy = std::make_unique<T>();
    try {
        CMemFile file;
        {
            CArchive store(&file, CArchive::store);
            const_cast<T*>(record)->Serialize(store);
            store.Close();
        }
        file.SeekToBegin();
        CArchive load(&file, CArchive::load);
        copy->Serialize(load);
    } catch (const CException&) {
        return nullptr;
    }
    return copy;
}

int GetSetting(const wchar_t* name, int fallback)
{
    CWinApp* app = AfxGetApp();
    return app ? static_cast<int>(app->GetProfileInt(L"Settings", name, fallback)) : fallback;
}

void WriteSetting(const wchar_t* name, int value)
{
    if (CWinApp* app = AfxGetApp())
        app->WriteProfileInt(L"Settings", name, value);
}

CRect ChildRect(HWND dialog, HWND child)
{
    CRect rect;
    ::GetWindowRect(child, &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

CRect WorkArea()
{
    CRect work;
    if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        work = CRect(0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    return work;
}

// The time text of a bookmark ("hh:mm:ss") in seconds; -1 when it is not one.
long BookmarkSeconds(const CString& text)
{
    if (text.GetLength() != 8)
        return -1;
    return _wtol(text.Left(2)) * 3600 + _wtol(text.Mid(3, 2)) * 60 + _wtol(text.Mid(6, 2));
}

}  // namespace

// --- Opening ---

BOOL OpenInWindowsMediaPlayer(const wchar_t* file)
{
    return RunAppPathProgram(AfxLoadString(IDS_WMPLAYER_APP_PATH), file);
}

CMediaExplorerDialog* FindMediaExplorer()
{
    const CString caption = AfxLoadString(IDS_PLAYER_TITLE);
    for (HWND window = ::FindWindowW(nullptr, caption); window; window = ::FindWindowExW(nullptr, window, nullptr, caption))
        if (auto* player = dynamic_cast<CMediaExplorerDialog*>(CWnd::FromHandlePermanent(window)))
            return player;
    return nullptr;
}

CWnd* OpenMediaExplorer(CMediaObject* title, CSourceObject* source, const CString& dataFolder, CWnd* parent)
{
    // One player window at a time.
    if (CMediaExplorerDialog* open = FindMediaExplorer())
        open->DestroyWindow();
    auto* player = new CMediaExplorerDialog(title, source, dataFolder, parent);
    if (!player->Create()) {
        delete player;
        return nullptr;
    }
    player->ShowWindow(SW_SHOW);
    return player;
}

CMediaExplorerDialog::CMediaExplorerDialog(const CMediaObject* title, const CSourceObject* source,
                                           const CString& dataFolder, CWnd* parent, IPlayerControl* control)
    : CDialog(IDD_MEDIA_EXPLORER, parent),
      m_title(CopyRecord(title)),
      m_source(CopyRecord(source)),
      m_dataFolder(dataFolder),
      m_owner(parent),
      m_control(control ? control : &m_player)
{
    m_helpTopic = kHelpTopicMediaExplorerDialog;
    if (m_title)
        m_titleId = m_title->m_mediaId;
    // The cover pane draws with GDI+ while the window lives.
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        m_gdiplusToken = 0;
}

CMediaExplorerDialog::~CMediaExplorerDialog()
{
    m_player.SetEvents(nullptr);
    // The panes (and their pictures) went with the window's children.
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

BOOL CMediaExplorerDialog::Create()
{
    // The set-up closes the window when it fails: the object then stays for the caller.
    return CDialog::Create(IDD_MEDIA_EXPLORER, m_owner) && m_hWnd && m_setUpDone;
}

CString CMediaExplorerDialog::GetCurrentMediaID() const
{
    return m_titleId;
}

void CMediaExplorerDialog::PostNcDestroy()
{
    // A window that opened deletes its own object; one whose set-up failed leaves it to
    // the caller of Create.
    if (m_setUpDone)
        delete this;
}

// --- Set-up ---

BOOL CMediaExplorerDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (!SetUp()) {
        DestroyWindow();
        return FALSE;
    }
    m_setUpDone = true;
    return TRUE;
}

bool CMediaExplorerDialog::SetUp()
{
    if (!m_title || !m_source)
        return false;
    m_keys = AfxLoadAccelerators(IDR_PLAYER_KEYS);
    if (m_control == &m_player) {
        m_player.SetEvents(this);
        if (!m_player.CreateAtPlaceholder(this, IDC_PLAYER_CONTROL))
            return false;
    }
    if (!SetUpTooltips())
        return false;
    LOGFONTW face = {};
    if (::GetObjectW(GetFont(), sizeof face, &face)) {
        wcscpy_s(face.lfFaceName, L"Segoe UI");
        m_listFont.CreateFontIndirect(&face);
    }
    if (!SetUpLists())
        return false;
    SetUpVolume();
    m_speedItem = SpeedItemFromStored(GetSetting(L"LastPlaySpeed", 10));
    if (!m_buttonImages.Create(IDB_PLAYER_BUTTONS, kButtonImageWidth, 0, kButtonMask))
        return false;
    if (!m_background.CreateSysColorBrush(COLOR_WINDOW))
        return false;
    if (!FitToWorkArea()) {
        AfxMessageBox(IDS_SCREEN_TOO_SMALL, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!CreatePanes())
        return false;
    const int kind = m_title->GetMetadata().GetContentKind();
    m_video = kind == KindVideo || kind == KindMobileVideo;
    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_VIDEO_SIZE), m_video ? SW_SHOW : SW_HIDE);
    ::ShowWindow(::GetDlgItem(m_hWnd, ID_HELP), m_video ? SW_HIDE : SW_SHOW);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PREVIOUS_PART), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NEXT_PART), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PREVIOUS_MARKER), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NEXT_MARKER), FALSE);
    GoToPart(0, +1);
    StartAutoPlay();
    if (m_video) {
        if (HWND control = ::GetDlgItem(m_hWnd, IDC_PLAYER_CONTROL)) {
            ::SetWindowPos(control, HWND_BOTTOM, m_metadataRect.left, m_metadataRect.top, m_metadataRect.Width(),
                           m_metadataRect.Height(), SWP_SHOWWINDOW | SWP_NOACTIVATE);
        }
        if (!ApplyVideoSize(ID_VIDEO_NORMAL, true))
            ApplyVideoSize(ID_VIDEO_SMALL, true);
    }
    if (m_listFont.GetSafeHandle()) {
        ::SendDlgItemMessageW(m_hWnd, IDC_ELAPSED_TIME, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.GetSafeHandle()), TRUE);
        ::SendDlgItemMessageW(m_hWnd, IDC_REMAINING_TIME, WM_SETFONT, reinterpret_cast<WPARAM>(m_listFont.GetSafeHandle()), TRUE);
    }
    SetTimer(kPositionTimer, kPositionTimerInterval);
    m_timerRunning = true;
    return true;
}

bool CMediaExplorerDialog::SetUpTooltips()
{
    if (!m_tooltips.Create(this))
        return false;
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const int id = ::GetDlgCtrlID(child);
        CString text;
        if (id == IDC_POSITION_SLIDER)
            text = AfxLoadString(IDS_POSITION_SLIDER);
        else if (id == IDC_VOLUME_SLIDER)
            text = AfxLoadString(IDS_VOLUME_SLIDER);
        else
            text = CWnd::FromHandle(child)->GetWindowText();
        text.Trim();
        if (!text.IsEmpty())
            m_tooltips.AddTool(CWnd::FromHandle(child), text);
    }
    m_tooltips.Activate(TRUE);
    return true;
}

bool CMediaExplorerDialog::SetUpLists()
{
    if (!m_parts.SubclassDlgItem(IDC_PARTS_LIST, this) || !m_markers.SubclassDlgItem(IDC_MARKERS_LIST, this))
        return false;
    const int scrollBar = ::GetSystemMetrics(SM_CXVSCROLL);
    for (CListCtrl* list : {&m_parts, &m_markers}) {
        if (m_listFont.GetSafeHandle())
            list->SetFont(m_listFont);
        list->SetExtendedStyle(list->GetExtendedStyle() | LVS_EX_FULLROWSELECT);
        CRect client;
        list->GetClientRect(&client);
        const UINT heading = list == &m_parts ? IDS_PARTS_COLUMN : IDS_MARKERS_COLUMN;
        if (list->InsertColumn(0, AfxLoadString(heading), LVCFMT_LEFT, std::max(20, client.Width() - scrollBar)) < 0)
            return false;
    }
    for (INT_PTR i = 0; i < m_title->m_parts.GetSize(); ++i) {
        CString text;
        text.Format(L"Part %d", static_cast<int>(i + 1));
        m_parts.InsertItem(static_cast<int>(i), text);
    }
    return true;
}

void CMediaExplorerDialog::SetUpVolume()
{
    m_volume.SubclassDlgItem(IDC_VOLUME_SLIDER, this);
    m_volume.ModifyStyle(0, TBS_DOWNISLEFT);
    m_volume.SetLineSize(5);
    m_volume.SetPageSize(0);
    m_volume.SetRange(0, 100, TRUE);
    int level = GetSetting(L"LastVolumeLevel", 50);
    if (level < 0 || level > 100)
        level = 50;
    m_volume.SetPos(level);
    m_control->SetVolume(VolumeFromSliderLevel(level));
    m_control->SetMute(FALSE);
    RefreshMuteButton();
    m_position.SubclassDlgItem(IDC_POSITION_SLIDER, this);
    m_position.ModifyStyle(0, TBS_DOWNISLEFT);
    m_position.SetLineSize(15);
    m_position.SetPageSize(0);
    m_position.SetRange(0, 0, TRUE);
}

bool CMediaExplorerDialog::FitToWorkArea()
{
    const CRect work = WorkArea();
    CRect window;
    GetWindowRect(&window);
    // The band at the top holds no banner: every child moves up into it and the window
    // becomes as much shorter.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        CRect rect = ChildRect(m_hWnd, child);
        rect.OffsetRect(0, -kBannerBand);
        ::SetWindowPos(child, nullptr, rect.left, rect.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    window.bottom -= kBannerBand;
    // Still too tall: the lists give up the rest, when that is at most half of them.
    const int rest = window.Height() - work.Height();
    CRect parts = ChildRect(m_hWnd, m_parts);
    if (rest > 0 && rest <= parts.Height() / 2) {
        for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
            CRect rect = ChildRect(m_hWnd, child);
            if (child == m_parts.m_hWnd || child == m_markers.m_hWnd)
                rect.bottom -= rest;
            else if (rect.top >= parts.bottom)
                rect.OffsetRect(0, -rest);
            else
                continue;
            ::SetWindowPos(child, nullptr, rect.left, rect.top, rect.Width(), rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
        }
        window.bottom -= rest;
    }
    if (window.Height() > work.Height() || window.Width() > work.Width())
        return false;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, window.Width(), window.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CenterWindow();
    CRect client;
    GetClientRect(&client);
    parts = ChildRect(m_hWnd, m_parts);
    m_videoArea = CRect(kInset, kInset, client.right - kInset, parts.top - kInset);
    return true;
}

bool CMediaExplorerDialog::CreatePanes()
{
    const CRect parts = ChildRect(m_hWnd, m_parts), markers = ChildRect(m_hWnd, m_markers);
    m_thumbnailRect = CRect(parts.left, kInset, parts.right, parts.top - kInset);
    m_metadataRect = CRect(markers.left, kInset, markers.right, markers.top - kInset);
    m_thumbnailPane = new CThumbnailPane(m_title.get(), m_dataFolder);
    if (!m_thumbnailPane->CreateEx(WS_EX_CONTROLPARENT, nullptr, L"Thumbnail", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                                   m_thumbnailRect, this, 0)) {
        delete m_thumbnailPane;
        m_thumbnailPane = nullptr;
        return false;
    }
    m_metadataPane = new CMetadataPane(m_title.get(), m_source.get(), m_dataFolder);
    if (!m_metadataPane->CreateEx(WS_EX_CONTROLPARENT, nullptr, L"Metadata",
                                  WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_CLIPSIBLINGS, m_metadataRect, this, 0)) {
        delete m_metadataPane;
        m_metadataPane = nullptr;
        return false;
    }
    // The layout the video sizes start from.
    CRect window;
    GetWindowRect(&window);
    m_baseWindow = CSize(window.Width(), window.Height());
    m_baseLayout.clear();
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        m_baseLayout.push_back({child, ChildRect(m_hWnd, child)});
    return true;
}

bool CMediaExplorerDialog::PlayIfPossible()
{
    if (!m_control->HasSoundOutput()) {
        if (!m_toldNoSound) {
            m_toldNoSound = true;
            AfxMessageBox(IDS_NO_SOUND_OUTPUT, MB_OK | MB_ICONEXCLAMATION);
        }
        return false;
    }
    if (!m_control->HasCurrentMedia())
        return false;
    m_control->Play();
    return true;
}

void CMediaExplorerDialog::StartAutoPlay()
{
    // The loaded part starts by itself where there is a sound output; without one the user
    // learns why nothing plays.
    if (!m_control->HasSoundOutput() && m_control->HasCurrentMedia()) {
        m_toldNoSound = true;
        PostMessage(kTellNoSoundOutput);
    }
    switch (GetSetting(L"AutoPlay", 1105)) {
    case 1105:
        m_skipRetries = 0;
        PostMessage(WM_COMMAND, ID_SKIP_TO_RECENT);
        break;
    case 1107:
        m_skipRetries = 0;
        PostMessage(WM_COMMAND, ID_SKIP_TO_FURTHEST);
        break;
    case 1106:
        m_stopAfterStart = true;
        break;
    default:
        break;  // from the start of the first part
    }
}

// --- Closing ---

void CMediaExplorerDialog::OnCancel()
{
    if (m_timerRunning) {
        KillTimer(kPositionTimer);
        m_timerRunning = false;
    }
    DestroyWindow();
}

void CMediaExplorerDialog::OnDestroy()
{
    if (m_timerRunning) {
        KillTimer(kPositionTimer);
        m_timerRunning = false;
    }
    if (m_setUpDone)
        RecordFurthestAtCurrentPosition();
    m_player.SetEvents(nullptr);
    CDialog::OnDestroy();
}

void CMediaExplorerDialog::OnHelp()
{
    ShowDialogHelpTopic(m_hWnd, kHelpTopicMediaExplorerDialog);
}

// --- Parts ---

void CMediaExplorerDialog::GoToPart(int index, int step)
{
    const int count = static_cast<int>(m_title->m_parts.GetSize());
    if (count == 0 || index < 0 || index >= count)
        return;
    int found = -1;
    for (int i = index; i >= 0 && i < count; i += step) {
        const auto* part = static_cast<const CPartObject*>(m_title->m_parts[i]);
        if (part && FileExists(part->GetFilePath(m_title.get()))) {
            found = i;
            break;
        }
    }
    if (found < 0) {
        if (m_currentPart >= 0)
            SelectRow(m_parts, m_currentPart);
        LoadMarkerList();
        return;
    }
    if (m_control->IsBusy())
        RecordFurthestAtCurrentPosition();
    m_currentPart = found;
    SelectRow(m_parts, found);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PREVIOUS_PART), found > 0);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NEXT_PART), found < count - 1);
    m_control->SetURL(static_cast<const CPartObject*>(m_title->m_parts[found])->GetFilePath(m_title.get()));
    m_sliderMax = -1;
    LoadMarkerList();
}

void CMediaExplorerDialog::SelectRow(CListCtrl& list, int row)
{
    if (row < 0 || row >= list.GetItemCount())
        return;
    bool& guard = &list == &m_parts ? m_partRowGuard : m_markerRowGuard;
    guard = true;
    list.SetItemState(row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    list.EnsureVisible(row, FALSE);
    guard = false;
}

bool CMediaExplorerDialog::IsMp3() const
{
    const int kind = m_title->GetMetadata().GetContentKind();
    return kind == KindMp3Audiobook || kind == KindMp3Music;
}

// --- Markers ---

void CMediaExplorerDialog::LoadMarkerList()
{
    m_markerRowGuard = true;
    m_markers.DeleteAllItems();
    m_markerRowGuard = false;
    m_markerStarts.clear();
    m_currentMarker = -1;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PREVIOUS_MARKER), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NEXT_MARKER), FALSE);
    if (!m_control->HasCurrentMedia())
        return;
    const CString url = m_control->GetURL();
    std::vector<std::pair<CString, long>> found;
    if (IsMp3()) {
        CMediaMarkers markers;
        if (FAILED(markers.Open(url, TRUE)))
            return;  // the list stays empty, the markers' source as it was
        for (int i = 0; i < markers.GetMarkerCount(); ++i)
            found.emplace_back(markers.GetMarkerName(i), static_cast<long>(markers.GetMarkerTime(i) / 1000));
        markers.Close(FALSE);
    } else {
        const long count = m_control->GetMarkerCount();
        for (long i = 1; i <= count; ++i) {
            const double time = m_control->GetMarkerTime(i);
            found.emplace_back(m_control->GetMarkerName(i),
                               time > 0.0 && time < kMaxSliderSeconds ? static_cast<long>(time) : 0L);
        }
    }
    m_markerRowGuard = true;
    for (size_t i = 0; i < found.size(); ++i) {
        const int row = m_markers.InsertItem(static_cast<int>(i), found[i].first);
        if (row >= 0)
            m_markers.SetItemData(row, static_cast<DWORD_PTR>(found[i].second));
        m_markerStarts.push_back(found[i].second);
    }
    m_markerRowGuard = false;
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NEXT_MARKER), !m_markerStarts.empty());
    m_markersSource = m_markerStarts.empty() ? CString() : url;
}

int CMediaExplorerDialog::MarkerRowAtPosition()
{
    return FindMarkerRow(m_markerStarts, RoundPlayerPosition(m_control->GetCurrentPosition(), true));
}

void CMediaExplorerDialog::TrackCurrentMarker()
{
    if (m_control->GetURL().CompareNoCase(m_markersSource) != 0)
        LoadMarkerList();
    const int row = MarkerRowAtPosition();
    if (row < 0 || row == m_currentMarker)
        return;
    m_currentMarker = row;
    SelectRow(m_markers, row);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_PREVIOUS_MARKER), row > 0);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_NEXT_MARKER), row < static_cast<int>(m_markerStarts.size()) - 1);
}

void CMediaExplorerDialog::PlayMarker(int row)
{
    if (IsMp3()) {
        if (row >= 0 && row < static_cast<int>(m_markerStarts.size()))
            m_control->SetCurrentPosition(static_cast<double>(m_markerStarts[static_cast<size_t>(row)]));
    } else {
        m_control->SetCurrentMarker(row + 1);
    }
    PlayIfPossible();
}

// --- Resume points ---

void CMediaExplorerDialog::RecordFurthest(double seconds)
{
    // No current part or no position read: nothing is written (the stored points stay).
    if (m_currentPart < 0 || !(seconds > 0.0))
        return;
    SaveFurthestPlayed(m_titleId, m_currentPart + 1, seconds);
}

void CMediaExplorerDialog::RecordFurthestAtCurrentPosition()
{
    const double position = m_control->GetCurrentPosition();
    if (position >= 0.0)
        RecordFurthest(RoundPosition(position));
}

// --- Events ---

void CMediaExplorerDialog::OnStatusChange()
{
    if (!m_control->HasCurrentMedia())
        return;
    SetSliderRange();
    TrackCurrentMarker();
}

void CMediaExplorerDialog::OnPlayStateChange(long state)
{
    if (!m_hWnd)
        return;
    if (m_video) {
        if (state == PLAYER_STATE_PLAYING && !m_stopAfterStart) {
            m_control->SetUiMode(L"none");
            if (m_metadataPane)
                m_metadataPane->ShowWindow(SW_HIDE);
            if (m_thumbnailPane && m_videoSizeItem == ID_VIDEO_LARGE)
                m_thumbnailPane->ShowWindow(SW_HIDE);
        } else if (state == PLAYER_STATE_STOPPED) {
            m_control->SetFullScreen(FALSE);
            m_control->SetUiMode(L"invisible");
            if (m_metadataPane)
                m_metadataPane->ShowWindow(SW_SHOW);
            if (m_thumbnailPane)
                m_thumbnailPane->ShowWindow(SW_SHOW);
        }
    }
    RefreshPlayButton();
    if (state == PLAYER_STATE_MEDIA_ENDED) {
        if (m_currentPart < static_cast<int>(m_title->m_parts.GetSize()) - 1)
            PostMessage(WM_COMMAND, IDC_NEXT_PART);
        else
            ClearResumePoints(m_titleId);  // the whole title has been heard
    }
    if (state == PLAYER_STATE_PLAYING && m_stopAfterStart) {
        PostMessage(WM_COMMAND, IDC_STOP);
        m_stopAfterStart = false;
    }
    SetSliderRange();
    TrackCurrentMarker();
}

void CMediaExplorerDialog::OnPositionChange(double oldPosition, double newPosition)
{
    RecordFurthest(std::max(oldPosition, newPosition));
    SetSliderRange();
    TrackCurrentMarker();
}

void CMediaExplorerDialog::OnMarkerHit(long)
{
    RecordFurthestAtCurrentPosition();
    TrackCurrentMarker();
}

void CMediaExplorerDialog::OnMediaChange(IDispatch*)
{
    const double rate = RateOfSpeedItem(m_speedItem);
    if (m_control->GetRate() != rate)
        m_control->SetRate(rate);
    RecordFurthestAtCurrentPosition();
    SetSliderRange();
    TrackCurrentMarker();
}

// --- Position and time ---

void CMediaExplorerDialog::SetSliderRange()
{
    const double duration = m_control->GetDuration();
    const long whole = duration > 0.0 ? static_cast<long>(std::min(duration, static_cast<double>(kMaxSliderSeconds))) : 0;
    m_sliderMax = whole;
    m_position.SetRange(0, whole, TRUE);
    m_position.SetLineSize(15);
    m_position.SetPageSize(0);
}

void CMediaExplorerDialog::UpdateTimeLabels(long position)
{
    const TimeLabels labels = MakeTimeLabels(position, m_sliderMax);
    SetDlgItemText(IDC_ELAPSED_TIME, labels.elapsed);
    SetDlgItemText(IDC_REMAINING_TIME, labels.remaining);
}

void CMediaExplorerDialog::OnTimer(UINT_PTR id)
{
    if (id != kPositionTimer) {
        CDialog::OnTimer(id);
        return;
    }
    if (!m_control->HasCurrentMedia() || m_dragging)
        return;
    // The control may announce no duration change: the timer keeps the range right.
    const double duration = m_control->GetDuration();
    const long whole = duration > 0.0 ? static_cast<long>(std::min(duration, static_cast<double>(kMaxSliderSeconds))) : 0;
    if (whole != m_sliderMax)
        SetSliderRange();
    const long position = std::max(RoundPlayerPosition(m_control->GetCurrentPosition()), 0L);
    m_position.SetPos(static_cast<int>(position));
    UpdateTimeLabels(position);
    if (IsMp3())
        TrackCurrentMarker();
}

long CMediaExplorerDialog::ClickedSliderPosition(CSliderCtrl& slider)
{
    const DWORD at = ::GetMessagePos();
    CRect rect;
    slider.GetWindowRect(&rect);
    return ChannelClickPosition(rect.Width(), static_cast<short>(LOWORD(at)) - rect.left, slider.GetRangeMax());
}

void CMediaExplorerDialog::OnHScroll(UINT code, UINT pos, CWnd* scrollBar)
{
    if (scrollBar && scrollBar->m_hWnd == m_position.m_hWnd)
        OnPositionScroll(code, pos);
    else if (scrollBar && scrollBar->m_hWnd == m_volume.m_hWnd)
        OnVolumeScroll(code);
    else
        CDialog::OnHScroll(code, pos, scrollBar);
}

void CMediaExplorerDialog::OnPositionScroll(UINT code, UINT pos)
{
    const long maximum = m_position.GetRangeMax();
    long target = (code == TB_THUMBPOSITION || code == TB_THUMBTRACK) && pos >= 1 && static_cast<long>(pos) <= maximum
                      ? static_cast<long>(pos)
                      : -1;
    switch (code) {
    case TB_LINEUP:
    case TB_LINEDOWN:
    case TB_THUMBTRACK:
        m_dragging = true;
        UpdateTimeLabels(m_position.GetPos());
        break;
    case TB_PAGEUP:
    case TB_PAGEDOWN:
        target = ClickedSliderPosition(m_position);
        if (target >= 0) {
            m_position.SetPos(static_cast<int>(target));
            UpdateTimeLabels(target);
            m_control->SetCurrentPosition(static_cast<double>(target));
        }
        m_seekDone = true;
        break;
    case TB_ENDTRACK:
        if (!m_seekDone)
            m_control->SetCurrentPosition(static_cast<double>(m_position.GetPos()));
        m_dragging = false;
        m_seekDone = false;
        break;
    default:
        if (target >= 0)
            UpdateTimeLabels(target);
        break;
    }
}

// --- Volume ---

void CMediaExplorerDialog::OnVolumeScroll(UINT code)
{
    if (code == TB_PAGEUP || code == TB_PAGEDOWN) {
        const long clicked = ClickedSliderPosition(m_volume);
        if (clicked >= 0)
            m_volume.SetPos(static_cast<int>(clicked));
    }
    const int level = m_volume.GetPos();
    WriteSetting(L"LastVolumeLevel", level);
    m_control->SetVolume(VolumeFromSliderLevel(level));
    m_control->SetMute(FALSE);
    RefreshMuteButton();
}

void CMediaExplorerDialog::StepVolume(bool up)
{
    const long volume = m_control->GetVolume();
    const int level = up ? VolumeUpLevel(volume) : VolumeDownLevel(volume);
    if (level >= 0)
        ApplyVolumeLevel(level);
}

void CMediaExplorerDialog::ApplyVolumeLevel(int level)
{
    m_control->SetVolume(VolumeFromSliderLevel(level));
    m_control->SetMute(FALSE);
    RefreshMuteButton();
    m_volume.SetPos(level);
    WriteSetting(L"LastVolumeLevel", level);
}

void CMediaExplorerDialog::RefreshMuteButton()
{
    SetButtonText(IDC_MUTE, m_control->GetMute() ? IDS_SOUND : IDS_MUTE);
}

void CMediaExplorerDialog::RefreshPlayButton()
{
    SetButtonText(IDC_PLAY, m_control->IsBusy() ? IDS_PAUSE : IDS_PLAY);
}

void CMediaExplorerDialog::SetButtonText(int id, UINT textId)
{
    HWND button = ::GetDlgItem(m_hWnd, id);
    if (!button)
        return;
    const CString text = AfxLoadString(textId);
    ::SetWindowTextW(button, text);
    if (m_tooltips.m_hWnd)
        m_tooltips.UpdateTipText(text, CWnd::FromHandle(button));
    ::InvalidateRect(button, nullptr, TRUE);
}

// --- Commands ---

BOOL CMediaExplorerDialog::OnCmdMsg(UINT id, UINT code)
{
    if (code != 0 && code != 1 && code != BN_CLICKED)
        return CDialog::OnCmdMsg(id, code);
    if (id >= ID_SPEED_SLOW && id <= ID_SPEED_FAST_FORWARD) {
        ChooseSpeed(id);
        return TRUE;
    }
    if (id >= ID_VIDEO_SMALL && id <= ID_VIDEO_FULL_SCREEN) {
        if (m_video)  // titles without video have no sizes
            ApplyVideoSize(id, false);
        return TRUE;
    }
    if (id >= ID_BOOKMARK_FIRST && id <= ID_BOOKMARK_LAST) {
        GoToBookmark(id);
        return TRUE;
    }
    switch (id) {
    case IDC_PLAY:
        if (m_control->IsBusy()) {
            m_control->Pause();
        } else {
            m_toldNoSound = false;  // asked for by the user: told again
            PlayIfPossible();
        }
        RefreshPlayButton();
        return TRUE;
    case IDC_MUTE:
        m_control->SetMute(!m_control->GetMute());
        RefreshMuteButton();
        return TRUE;
    case IDC_STOP:
        RecordFurthestAtCurrentPosition();
        m_control->Stop();
        RefreshPlayButton();
        return TRUE;
    case IDC_PREVIOUS_PART:
        GoToPart(m_currentPart - 1, -1);
        return TRUE;
    case IDC_NEXT_PART:
        GoToPart(m_currentPart + 1, +1);
        return TRUE;
    case IDC_PREVIOUS_MARKER: {
        const int row = MarkerRowAtPosition();
        if (row > 0)
            PlayMarker(row - 1);
        return TRUE;
    }
    case IDC_NEXT_MARKER: {
        const int row = MarkerRowAtPosition();
        if (row < static_cast<int>(m_markerStarts.size()) - 1)
            PlayMarker(row + 1);
        return TRUE;
    }
    case IDC_PLAY_SPEED:
        ShowSpeedMenu();
        return TRUE;
    case IDC_VIDEO_SIZE:
        if (m_video)
            ShowVideoSizeMenu();
        return TRUE;
    case IDC_SKIP_BACK:
        m_control->SetCurrentPosition(m_control->GetCurrentPosition() - 15.0);
        return TRUE;
    case IDC_SKIP_TO:
        ShowSkipToMenu();
        return TRUE;
    case IDC_BOOKMARKS:
        ShowBookmarksMenu();
        return TRUE;
    case IDC_OPEN_IN_PLAYER:
        OpenInStandAlonePlayer();
        return TRUE;
    case IDC_VOLUME_UP:
        StepVolume(true);
        return TRUE;
    case IDC_VOLUME_DOWN:
        StepVolume(false);
        return TRUE;
    case ID_SKIP_TO_RECENT:
    case ID_SKIP_TO_FURTHEST:
        SkipToStored(id);
        return TRUE;
    case ID_ADD_BOOKMARK:
        AddBookmark();
        return TRUE;
    case ID_MANAGE_BOOKMARKS:
        ManageBookmarks();
        return TRUE;
    default:
        return CDialog::OnCmdMsg(id, code);
    }
}

void CMediaExplorerDialog::ShowPopupMenu(UINT menuId, UINT buttonId, const std::function<void(CMenu&)>& prepare)
{
    CMenu menu;
    if (!menu.LoadMenu(menuId))
        return;
    CMenu* popup = menu.GetSubMenu(0);
    if (!popup)
        return;
    prepare(*popup);
    // The menu opens at the button's top right corner.
    CRect button;
    ::GetWindowRect(::GetDlgItem(m_hWnd, static_cast<int>(buttonId)), &button);
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, button.right, button.top, this);
}

void CMediaExplorerDialog::ShowSpeedMenu()
{
    ShowPopupMenu(IDR_PLAY_SPEED_MENU, IDC_PLAY_SPEED, [this](CMenu& popup) {
        popup.CheckMenuRadioItem(ID_SPEED_SLOW, ID_SPEED_FAST_FORWARD, SpeedItemFromRate(m_control->GetRate()),
                                 MF_BYCOMMAND);
    });
}

void CMediaExplorerDialog::ChooseSpeed(UINT item)
{
    const double rate = RateOfSpeedItem(item);
    if (!m_control->IsAvailable(L"rate")) {
        AfxMessageBox(IDS_SPEED_NOT_AVAILABLE, MB_OK | MB_ICONINFORMATION);
        return;
    }
    m_control->SetRate(rate);
    m_speedItem = item;
    WriteSetting(L"LastPlaySpeed", static_cast<int>(rate * 10.0 + 1e-9));
}

void CMediaExplorerDialog::ShowVideoSizeMenu()
{
    ShowPopupMenu(IDR_VIDEO_SIZE_MENU, IDC_VIDEO_SIZE, [this](CMenu& popup) {
        popup.CheckMenuRadioItem(ID_VIDEO_SMALL, ID_VIDEO_FULL_SCREEN, m_videoSizeItem, MF_BYCOMMAND);
    });
}

bool CMediaExplorerDialog::ApplyVideoSize(UINT item, bool quiet)
{
    if (item == ID_VIDEO_FULL_SCREEN) {
        if (!m_control->IsBusy())
            PlayIfPossible();
        m_control->SetFullScreen(TRUE);
        return true;
    }
    int dw = 0, dh = 0;
    if (item == ID_VIDEO_NORMAL)
        dh = kNormalVideoHeight - m_videoArea.Height();
    else if (item == ID_VIDEO_LARGE) {
        dh = kLargeVideoHeight - m_videoArea.Height();
        dw = std::max(0, kLargeVideoWidth - m_videoArea.Width());
    }
    const CRect work = WorkArea();
    const CSize size(m_baseWindow.cx + dw, m_baseWindow.cy + dh);
    if (size.cx > work.Width() || size.cy > work.Height()) {
        if (!quiet)
            AfxMessageBox(IDS_VIDEO_SIZE_TOO_LARGE, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    HWND control = ::GetDlgItem(m_hWnd, IDC_PLAYER_CONTROL);
    const HWND remaining = ::GetDlgItem(m_hWnd, IDC_REMAINING_TIME);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    for (const ChildPlace& place : m_baseLayout) {
        if (place.window == control || !::IsWindow(place.window))
            continue;
        CRect rect = place.rect;
        if (m_metadataPane && place.window == m_metadataPane->m_hWnd) {
            rect.right += dw;
            rect.bottom += dh;
            m_metadataRect = rect;
        } else if (m_thumbnailPane && place.window == m_thumbnailPane->m_hWnd) {
            rect.bottom += dh;
            m_thumbnailRect = rect;
        } else if (rect.top >= m_videoArea.bottom) {
            rect.OffsetRect(0, dh);
            if (place.window == m_markers.m_hWnd || place.window == m_position.m_hWnd)
                rect.right += dw;
            else if (place.window == remaining)
                rect.OffsetRect(dw, 0);
            else if (place.window != m_parts.m_hWnd && place.window != ::GetDlgItem(m_hWnd, IDC_ELAPSED_TIME))
                rect.OffsetRect(dw / 2, 0);
        } else {
            continue;
        }
        ::SetWindowPos(place.window, nullptr, rect.left, rect.top, rect.Width(), rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CRect video = m_metadataRect;
    if (item == ID_VIDEO_SMALL) {
        const int top = video.top + (video.Height() - kSmallVideoHeight) / 2;
        video = CRect(video.left, top, video.right, top + std::min(kSmallVideoHeight, video.Height()));
    } else if (item == ID_VIDEO_LARGE) {
        video = CRect(0, 0, kLargeVideoWidth, kLargeVideoHeight);
    }
    if (control)
        ::SetWindowPos(control, nullptr, video.left, video.top, video.Width(), video.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    if (m_thumbnailPane && m_control->IsBusy())
        m_thumbnailPane->ShowWindow(item == ID_VIDEO_LARGE ? SW_HIDE : SW_SHOW);
    CenterWindow();
    m_videoSizeItem = item;
    Invalidate();
    return true;
}

void CMediaExplorerDialog::ShowSkipToMenu()
{
    ShowPopupMenu(IDR_SKIP_TO_MENU, IDC_SKIP_TO, [this](CMenu& popup) {
        const bool busy = m_control->IsBusy();
        const ResumePoint recent = LoadRecentlyPlayed(m_titleId);
        const ResumePoint furthest = LoadFurthestPlayed(m_titleId);
        if (busy) {
            popup.EnableMenuItem(ID_SKIP_TO_RECENT, MF_BYCOMMAND | MF_GRAYED);
        } else if (IsBeyondStart(recent)) {
            popup.ModifyMenu(ID_SKIP_TO_RECENT, MF_BYCOMMAND | MF_STRING, ID_SKIP_TO_RECENT,
                             SkipMenuText(popup.GetMenuString(ID_SKIP_TO_RECENT, MF_BYCOMMAND), recent));
            m_skipRetries = 0;
        }
        const int position = RoundPosition(m_control->GetCurrentPosition());
        if (!CanSkipToFurthest(furthest, busy, m_currentPart + 1, position)) {
            popup.EnableMenuItem(ID_SKIP_TO_FURTHEST, MF_BYCOMMAND | MF_GRAYED);
        } else {
            popup.ModifyMenu(ID_SKIP_TO_FURTHEST, MF_BYCOMMAND | MF_STRING, ID_SKIP_TO_FURTHEST,
                             SkipMenuText(popup.GetMenuString(ID_SKIP_TO_FURTHEST, MF_BYCOMMAND), furthest));
            m_skipRetries = 0;
        }
    });
}

void CMediaExplorerDialog::SkipToStored(UINT id)
{
    const ResumePoint stored = id == ID_SKIP_TO_RECENT ? LoadRecentlyPlayed(m_titleId) : LoadFurthestPlayed(m_titleId);
    // A position the control cannot tell (nothing playing yet) is the start: a title without
    // a stored point is not sought to its start.
    const int position = std::max(RoundPosition(m_control->GetCurrentPosition()), 0);
    switch (DecideSkip(stored, m_currentPart + 1, position)) {
    case SkipAction::GoToPart:
        GoToPart(stored.part - 1, +1);
        // The seek follows once the part is loaded; only once.
        if (m_skipRetries < 1) {
            ++m_skipRetries;
            PostMessage(WM_COMMAND, id);
        }
        break;
    case SkipAction::Seek:
        m_control->SetCurrentPosition(stored.seconds);
        PlayIfPossible();
        break;
    case SkipAction::None:
        break;
    }
}

void CMediaExplorerDialog::ShowBookmarksMenu()
{
    ShowPopupMenu(IDR_BOOKMARKS_MENU, IDC_BOOKMARKS, [this](CMenu& popup) {
        popup.DeleteMenu(ID_BOOKMARK_FIRST, MF_BYCOMMAND);  // the place holder
        const CStringArray entries = ReadBookmarks(m_titleId);
        if (entries.IsEmpty())
            popup.DeleteMenu(static_cast<UINT>(popup.GetMenuItemCount() - 1), MF_BYPOSITION);  // the separator
        for (INT_PTR i = 0; i < entries.GetSize() && ID_BOOKMARK_FIRST + i <= ID_BOOKMARK_LAST; ++i) {
            BookmarkEntry bookmark;
            if (!SplitBookmarkEntry(entries[i], bookmark))
                continue;
            CString text;
            text.Format(L"Part %d (%s) - %s", bookmark.part, ShortTimeText(bookmark.timeText).GetString(),
                        bookmark.name.GetString());
            popup.AppendMenu(MF_STRING, ID_BOOKMARK_FIRST + static_cast<UINT>(i), text);
        }
    });
}

void CMediaExplorerDialog::GoToBookmark(UINT id)
{
    const CStringArray entries = ReadBookmarks(m_titleId);
    const INT_PTR index = static_cast<INT_PTR>(id - ID_BOOKMARK_FIRST);
    BookmarkEntry bookmark;
    if (index >= entries.GetSize() || !SplitBookmarkEntry(entries[index], bookmark))
        return;
    if (bookmark.part == m_currentPart + 1) {
        m_bookmarkRetried = false;
        const long seconds = BookmarkSeconds(bookmark.timeText);
        if (seconds >= 0) {
            m_control->SetCurrentPosition(static_cast<double>(seconds));
            PlayIfPossible();
        }
        return;
    }
    if (m_bookmarkRetried) {  // its part could not be loaded: given up
        m_bookmarkRetried = false;
        return;
    }
    GoToPart(bookmark.part - 1, +1);
    m_bookmarkRetried = true;
    PostMessage(WM_COMMAND, id);
}

void CMediaExplorerDialog::AddBookmark()
{
    if (m_currentPart < 0)
        return;
    const bool resume = m_control->IsBusy();
    if (resume)
        SendMessage(WM_COMMAND, IDC_PLAY);  // pauses
    const int part = m_currentPart + 1;
    const CString timeText = BookmarkTimeText(RoundPosition(std::max(m_control->GetCurrentPosition(), 0.0)));
    switch (CheckNewBookmark(m_titleId, part, timeText)) {
    case BookmarkAddCheck::TooMany: {
        CString text;
        text.Format(IDS_BOOKMARK_LIMIT, kMaxBookmarks);
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        break;
    }
    case BookmarkAddCheck::Exists:
        AfxMessageBox(IDS_BOOKMARK_EXISTS, MB_OK | MB_ICONEXCLAMATION);
        break;
    case BookmarkAddCheck::Ok: {
        const CString marker = m_currentMarker >= 0 ? m_markers.GetItemText(m_currentMarker, 0) : CString();
        CBookmarkDlg dialog(m_title->GetMetadata().GetDisplayTitle(TRUE, TRUE), part, timeText, marker, this);
        if (dialog.DoModal() == IDOK)
            WriteBookmark(m_titleId, part, timeText, dialog.m_name);
        break;
    }
    }
    if (resume && m_hWnd)
        SendMessage(WM_COMMAND, IDC_PLAY);
}

void CMediaExplorerDialog::ManageBookmarks()
{
    const bool resume = m_control->IsBusy();
    if (resume)
        SendMessage(WM_COMMAND, IDC_PLAY);
    CManageBookmarksDlg dialog(m_title->GetMetadata().GetDisplayTitle(TRUE, TRUE), m_titleId, this);
    dialog.DoModal();
    if (resume && m_hWnd)
        SendMessage(WM_COMMAND, IDC_PLAY);
}

void CMediaExplorerDialog::OpenInStandAlonePlayer()
{
    m_control->Stop();
    OpenInWindowsMediaPlayer(m_title->GetPlaylistPath());
}

// --- Lists ---

BOOL CMediaExplorerDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header && header->code == LVN_ITEMCHANGED && (header->idFrom == IDC_PARTS_LIST || header->idFrom == IDC_MARKERS_LIST)) {
        const auto* change = reinterpret_cast<const NMLISTVIEW*>(lParam);
        const bool parts = header->idFrom == IDC_PARTS_LIST;
        const bool guarded = parts ? m_partRowGuard : m_markerRowGuard;
        if ((change->uChanged & LVIF_STATE) && !guarded && change->iItem >= 0) {
            const bool was = (change->uOldState & LVIS_SELECTED) != 0, is = (change->uNewState & LVIS_SELECTED) != 0;
            const int current = parts ? m_currentPart : m_currentMarker;
            if (was && !is) {
                PostMessage(WM_PLAYER_KEEP_ROW, static_cast<WPARAM>(current), reinterpret_cast<LPARAM>(header->hwndFrom));
            } else if (!was && is && change->iItem != current) {
                if (parts)
                    GoToPart(change->iItem, +1);
                else
                    PlayMarker(change->iItem);
            }
        }
        *result = 0;
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, result);
}

BOOL CMediaExplorerDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == kTellNoSoundOutput) {
        AfxMessageBox(IDS_NO_SOUND_OUTPUT, MB_OK | MB_ICONEXCLAMATION);
        *result = 0;
        return TRUE;
    }
    if (message == WM_PLAYER_KEEP_ROW) {
        CListCtrl* list = reinterpret_cast<HWND>(lParam) == m_parts.m_hWnd     ? &m_parts
                          : reinterpret_cast<HWND>(lParam) == m_markers.m_hWnd ? &m_markers
                                                                               : nullptr;
        const int row = static_cast<int>(wParam);
        if (list && row >= 0 && row < list->GetItemCount() && list->GetSelectedCount() == 0) {
            SelectRow(*list, row);
            list->SetFocus();
        }
        *result = 0;
        return TRUE;
    }
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}

// --- Drawing and input ---

void CMediaExplorerDialog::OnDrawItem(int id, LPDRAWITEMSTRUCT draw)
{
    if (!draw || draw->CtlType != ODT_BUTTON) {
        CDialog::OnDrawItem(id, draw);
        return;
    }
    int image;
    switch (id) {
    case IDC_PLAY: image = m_control->IsBusy() ? 6 : 4; break;
    case IDC_MUTE: image = m_control->GetMute() ? 10 : 8; break;
    case ID_HELP: image = 2; break;
    case IDCANCEL: image = 0; break;
    default: image = (id - 1698) * 2; break;
    }
    if (draw->itemState & ODS_DISABLED)
        ++image;
    CRect rect = draw->rcItem;
    ::FillRect(draw->hDC, &rect, m_background.GetSafeHandle() ? static_cast<HBRUSH>(m_background) : ::GetSysColorBrush(COLOR_WINDOW));
    const bool pressed = (draw->itemState & ODS_SELECTED) != 0;
    if (pressed)
        ::DrawEdge(draw->hDC, &rect, BDR_SUNKENOUTER, BF_RECT);
    else if (static_cast<UINT>(id) == m_hoverButton && !(draw->itemState & ODS_DISABLED))
        ::DrawEdge(draw->hDC, &rect, BDR_RAISEDINNER, BF_RECT);
    if (image >= 0 && image < m_buttonImages.GetImageCount())
        m_buttonImages.Draw(draw->hDC, image, CPoint(4 + (pressed ? 1 : 0), 4 + (pressed ? 1 : 0)), ILD_TRANSPARENT);
    if (draw->itemState & ODS_FOCUS) {
        CRect focus = rect;
        focus.DeflateRect(2, 2);
        ::DrawFocusRect(draw->hDC, &focus);
    }
}

BOOL CMediaExplorerDialog::OnSetCursor(CWnd* wnd, UINT hitTest, UINT message)
{
    const UINT id = wnd && wnd->m_hWnd != m_hWnd ? static_cast<UINT>(::GetDlgCtrlID(wnd->m_hWnd)) : 0;
    const UINT hover = IsOwnerDrawnButton(id) ? id : 0;
    if (hover != m_hoverButton) {
        const UINT old = m_hoverButton;
        m_hoverButton = hover;
        for (UINT button : {old, hover})
            if (button)
                ::InvalidateRect(::GetDlgItem(m_hWnd, static_cast<int>(button)), nullptr, FALSE);
    }
    return CDialog::OnSetCursor(wnd, hitTest, message);
}

BOOL CMediaExplorerDialog::OnMouseWheel(UINT, short delta, CPoint point)
{
    for (HWND window = ::WindowFromPoint(point); window && window != m_hWnd; window = ::GetParent(window)) {
        if (::GetWindowLongPtrW(window, GWL_STYLE) & WS_VSCROLL) {
            ::SendMessageW(window, WM_VSCROLL, delta > 0 ? SB_LINEUP : SB_LINEDOWN, 0);
            break;
        }
    }
    return TRUE;
}

BOOL CMediaExplorerDialog::OnEraseBkgnd(CDC* dc)
{
    const BOOL erased = CDialog::OnEraseBkgnd(dc);
    if (!dc || !m_background.GetSafeHandle() || !m_parts.m_hWnd)
        return erased;
    CRect client;
    GetClientRect(&client);
    const CRect parts = ChildRect(m_hWnd, m_parts);
    CRect above(client.left, client.top, client.right, parts.top - kInset);
    ::FillRect(dc->m_hDC, &above, m_background);
    if (m_video && m_videoSizeItem == ID_VIDEO_SMALL && m_control->IsBusy())
        ::FillRect(dc->m_hDC, &m_metadataRect, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    return TRUE;
}

BOOL CMediaExplorerDialog::PreTranslateMessage(MSG* msg)
{
    if (m_tooltips.m_hWnd && msg->message >= WM_MOUSEFIRST && msg->message <= WM_MOUSELAST)
        m_tooltips.RelayEvent(msg);
    if (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN || msg->message == WM_KEYUP ||
        msg->message == WM_SYSKEYUP) {
        if (msg->wParam >= VK_NUMPAD0 && msg->wParam <= VK_NUMPAD9)
            msg->wParam = '0' + (msg->wParam - VK_NUMPAD0);
        if (!m_video) {
            const bool altEnter = msg->wParam == VK_RETURN && (::GetKeyState(VK_MENU) & 0x8000);
            if (altEnter || msg->wParam == '0' || msg->wParam == '8' || msg->wParam == '9')
                return TRUE;
        }
    }
    if (m_keys && ::TranslateAcceleratorW(m_hWnd, m_keys, msg))
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}
