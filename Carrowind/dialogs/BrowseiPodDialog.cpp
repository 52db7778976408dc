#include "BrowseiPodDialog.h"

#include "AfxMessageBox.h"
#include "ComHolders.h"
#include "DC.h"
#include "FileUtils.h"
#include "iTunesAutomation.h"
#include "Menu.h"
#include "res/BrowseiPodDialogIds.h"
#include "res/CarrowindIds.h"
#include "res/HelpTopics.h"

#include <gdiplus.h>
#include <windowsx.h>

#include <algorithm>

IMPLEMENT_DYNAMIC(CArtworkBox, CWnd)
IMPLEMENT_DYNAMIC(CBrowseiPodDialog, CDialog)

namespace {

enum Column { kColumnName, kColumnTime, kColumnArtist, kColumnAlbum, kColumnLocation };
constexpr struct {
    const wchar_t* title;
    int width;
} kColumns[] = {{L"Name", 150}, {L"Time", 50}, {L"Artist", 100}, {L"Album", 150}, {L"Location", 0}};

constexpr int kSafeNameLength = 100;

BrowseiPodLookup& Lookup()
{
    static BrowseiPodLookup lookup;
    return lookup;
}

// A text property of iTunes' objects; empty when it gives none.
template <class T>
CString TextOf(T* object, HRESULT (STDMETHODCALLTYPE T::*get)(BSTR*))
{
    com::Bstr text;
    if (FAILED((object->*get)(text.Put())) || !text.Get())
        return CString();
    return CString(text.Get());
}

}  // namespace

BrowseiPodLookup SetBrowseiPodLookup(BrowseiPodLookup lookup)
{
    BrowseiPodLookup before = std::move(Lookup());
    Lookup() = std::move(lookup);
    return before;
}

// --- The artwork box ---

CRect CArtworkBox::FitImage(CSize image, const CRect& box)
{
    const int boxWidth = box.Width();
    const int boxHeight = box.Height();
    if (image.cx <= 0 || image.cy <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return CRect(box.left, box.top, box.left, box.top);
    if (image.cx > image.cy) {
        const int height = std::clamp(static_cast<int>(static_cast<long long>(boxWidth) * image.cy / image.cx), 1, boxHeight);
        const int top = box.top + (boxHeight - height) / 2;
        return CRect(box.left + 1, top, box.left + 1 + boxWidth, top + height);
    }
    const int width = std::clamp(static_cast<int>(static_cast<long long>(image.cx) * boxHeight / image.cy), 1, boxWidth);
    const int left = box.left + (boxWidth - width) / 2;
    return CRect(left, box.top + 1, left + width, box.top + 1 + boxHeight);
}

BOOL CArtworkBox::SetImageFile(const CString& path)
{
    m_path.Empty();
    if (!path.IsEmpty()) {
        HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            m_path = path;
        }
    }
    if (m_hWnd)
        Invalidate();
    return !m_path.IsEmpty();
}

void CArtworkBox::DrawItem(LPDRAWITEMSTRUCT drawItem)
{
    const CRect box(drawItem->rcItem);
    HDC dc = drawItem->hDC;
    if (m_path.IsEmpty()) {
        FillRect(dc, &box, GetSysColorBrush(COLOR_BTNFACE));
        return;
    }
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    Gdiplus::Image image(m_path);
    if (image.GetLastStatus() != Gdiplus::Ok)
        return;
    const CRect place = FitImage(CSize(static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight())), box);
    Gdiplus::Image* thumbnail = image.GetThumbnailImage(static_cast<UINT>(place.Width()), static_cast<UINT>(place.Height()), nullptr, nullptr);
    Gdiplus::Graphics graphics(dc);
    graphics.SetClip(Gdiplus::Rect(box.left, box.top, box.Width(), box.Height()));
    if (thumbnail && thumbnail->GetLastStatus() == Gdiplus::Ok)
        graphics.DrawImage(thumbnail, place.left, place.top, place.Width(), place.Height());
    else
        graphics.DrawImage(&image, place.left, place.top, place.Width(), place.Height());
    delete thumbnail;
}

// --- The dialog ---

CBrowseiPodDialog::CBrowseiPodDialog(const CString& playerName, const CString& freeSpace, CWnd* parent)
    : CDialog(IDD_BROWSE_IPOD, parent), m_strFreeSpace(freeSpace), m_strPlayerName(playerName)
{
    m_helpTopic = kBrowseiPodHelpTopic;
    m_hIcon = static_cast<HICON>(LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDI_CARROWIND), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
}

CString CBrowseiPodDialog::ArtworkFolderFor(const CString& tempFolder, const CString& currentDir)
{
    CString folder;
    if (tempFolder.IsEmpty())
        folder.Format(L"%s\\_Artwork", currentDir.GetString());
    else if (tempFolder.Right(1) == L"\\")
        folder.Format(L"%s_Artwork", tempFolder.GetString());
    else
        folder.Format(L"%s\\_Artwork", tempFolder.GetString());
    return folder;
}

CString CBrowseiPodDialog::SafeFileNamePart(const CString& name)
{
    CString safe;
    for (int i = 0; i < name.GetLength(); ++i) {
        const wchar_t ch = name[i];
        const bool reserved = ch < 32 || wcschr(L"\\/:*?\"<>|", ch) != nullptr;
        safe += reserved ? L'_' : ch;
    }
    safe.Trim(L" .");
    if (safe.GetLength() > kSafeNameLength)
        safe = safe.Left(kSafeNameLength);
    return safe;
}

CString CBrowseiPodDialog::ArtworkFileName(const CString& folder, const CString& trackName, int number, LONG format)
{
    const wchar_t* extension = format == ITArtworkFormatJPEG ? L"jpg"
                               : format == ITArtworkFormatPNG ? L"png"
                               : format == ITArtworkFormatBMP ? L"bmp"
                                                              : nullptr;
    if (!extension)
        return CString();
    CString path;
    path.Format(L"%s%s%s%d%s%s", folder.GetString(), L"\\", SafeFileNamePart(trackName).GetString(), number, L".", extension);
    return path;
}

BOOL CBrowseiPodDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        m_gdiplusToken = 0;
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    GetCurrentDirectoryW(MAX_PATH, m_szCurrentDir);
    wchar_t temp[MAX_PATH] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH, temp);
    const CString folder = ArtworkFolderFor(tempLength > 0 && tempLength < MAX_PATH ? CString(temp) : CString(), m_szCurrentDir);
    lstrcpynW(m_szArtworkDir, folder, MAX_PATH);
    CreateFolderPath(m_szArtworkDir);

    m_tracks.SubclassDlgItem(IDC_BROWSE_TRACKS, this);
    m_artwork.SubclassDlgItem(IDC_BROWSE_ARTWORK, this);
    m_tracks.SetExtendedStyle(m_tracks.GetExtendedStyle() | LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE | LVS_EX_FLATSB);
    for (int i = 0; i < static_cast<int>(std::size(kColumns)); ++i)
        m_tracks.InsertColumn(i, kColumns[i].title, LVCFMT_LEFT, kColumns[i].width);

    m_strPlaylistName = ExtractParenthesized(m_strPlayerName);
    const CString library = AfxLoadString(IDS_ITUNES_LIBRARY_NAME);
    const CString shown = m_strPlayerName.Find(library) >= 0 ? m_strPlaylistName : m_strPlayerName;
    m_bLibrary = m_strPlaylistName == library;
    CString caption;
    caption.Format(AfxLoadString(m_bLibrary ? IDS_BROWSE_LIBRARY_CAPTION : IDS_BROWSE_CAPTION), shown.GetString());
    SetWindowText(caption);
    SetDlgItemText(IDC_BROWSE_FREE_SPACE, m_strFreeSpace);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BROWSE_ARTWORK), FALSE);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BROWSE_ARTWORK_LABEL), FALSE);
    ::ShowWindow(::GetDlgItem(m_hWnd, ID_HELP), SW_HIDE);
    Reload();
    return TRUE;
}

void CBrowseiPodDialog::OnDestroy()
{
    m_artwork.SetImageFile(CString());
    CDialog::OnDestroy();
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
    m_gdiplusToken = 0;
}

void CBrowseiPodDialog::Reload()
{
    CWaitCursor wait;
    const HRESULT com = CoInitialize(nullptr);
    const BOOL listed = ListTracks();
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!listed)
        PostMessage(WM_CLOSE);
}

BOOL CBrowseiPodDialog::ListTracks()
{
    // Without a lookup of the tests', this listing's own iTunes helper (it shows iTunes' failures).
    CiTunesHelper helper;
    BrowseiPodLookup lookup = Lookup();
    if (!lookup.findPlaylist) {
        lookup.findPlaylist = [&helper](const CString& name) -> IITPlaylist* {
            IITPlaylist* playlist = nullptr;
            helper.FindPlaylist(name, &playlist);
            return playlist;
        };
    }
    if (!lookup.findMakersPlaylist)
        lookup.findMakersPlaylist = [&helper](IITPlaylist* library) -> IITPlaylist* { return helper.FindVesperlinTracks(library, FALSE); };
    com::ComPtr<IITPlaylist> players;
    players.Attach(lookup.findPlaylist(m_strPlaylistName));
    if (!players)
        return FALSE;
    // In the library, the maker's playlist is the one listed.
    com::ComPtr<IITPlaylist> makers;
    if (m_bLibrary) {
        makers.Attach(lookup.findMakersPlaylist(players.Get()));
        if (!makers) {
            CString text;
            text.Format(AfxLoadString(IDS_BROWSE_NO_VESPERLIN_PLAYLIST), m_strPlaylistName.GetString());
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
            return FALSE;
        }
    }
    IITPlaylist* playlist = m_bLibrary ? makers.Get() : players.Get();
    com::ComPtr<IITTrackCollection> tracks;
    LONG count = 0;
    if (FAILED(playlist->get_Tracks(tracks.Put())) || !tracks || FAILED(tracks->get_Count(&count)))
        count = 0;
    m_tracks.DeleteAllItems();
    m_rowArtwork.clear();
    ShowArtwork(CString());
    for (LONG number = 1; number <= count; ++number) {
        com::ComPtr<IITTrack> track;
        if (FAILED(tracks->get_Item(number, track.Put())) || !track)
            continue;  // iTunes could not give this one; the next number is tried
        AddTrack(track.Get(), static_cast<int>(number));
    }
    return TRUE;
}

void CBrowseiPodDialog::AddTrack(IITTrack* track, int number)
{
    const CString name = TextOf<IITObject>(track, &IITObject::get_Name);
    CString artworkFile;
    com::ComPtr<IITArtworkCollection> artworks;
    LONG artworkCount = 0;
    if (SUCCEEDED(track->get_Artwork(artworks.Put())) && artworks && SUCCEEDED(artworks->get_Count(&artworkCount)) &&
        artworkCount > 0) {
        com::ComPtr<IITArtwork> artwork;
        LONG format = ITArtworkFormatUnknown;
        if (SUCCEEDED(artworks->get_Item(1, artwork.Put())) && artwork && SUCCEEDED(artwork->get_Format(&format))) {
            artworkFile = ArtworkFileName(m_szArtworkDir, name, number, format);
            if (!artworkFile.IsEmpty() && !FileExists(artworkFile)) {
                if (FAILED(artwork->SaveArtworkToFile(com::Bstr(artworkFile))))
                    artworkFile.Empty();
            }
        }
    }
    CString location;
    com::ComPtr<IITFileOrCDTrack> file;
    if (SUCCEEDED(track->QueryInterface(IID_IITFileOrCDTrack, file.PutVoid())) && file)
        location = TextOf<IITFileOrCDTrack>(file.Get(), &IITFileOrCDTrack::get_Location);
    const CString artist = TextOf<IITTrack>(track, &IITTrack::get_Artist);
    const CString album = TextOf<IITTrack>(track, &IITTrack::get_Album);
    const CString time = TextOf<IITTrack>(track, &IITTrack::get_Time);

    const int row = m_tracks.InsertItem(m_tracks.GetItemCount(), name);
    if (row < 0)
        return;
    m_tracks.SetItemText(row, kColumnTime, time);
    m_tracks.SetItemText(row, kColumnArtist, artist);
    m_tracks.SetItemText(row, kColumnAlbum, album);
    m_tracks.SetItemText(row, kColumnLocation, location);
    // The row keeps its own artwork through sorting.
    m_tracks.SetItemData(row, m_rowArtwork.size());
    m_rowArtwork.push_back(artworkFile);
}

void CBrowseiPodDialog::OnTrackActivated(const NMITEMACTIVATE* activate)
{
    int row = activate->iItem;
    if (row < 0 || row >= m_tracks.GetItemCount()) {
        const DWORD position = GetMessagePos();
        CPoint point(GET_X_LPARAM(position), GET_Y_LPARAM(position));
        m_tracks.ScreenToClient(&point);
        row = m_tracks.HitTest(point);
    }
    if (row < 0 || row >= m_tracks.GetItemCount())
        return;
    const auto index = static_cast<size_t>(m_tracks.GetItemData(row));
    ShowArtwork(index < m_rowArtwork.size() ? m_rowArtwork[index] : CString());
}

void CBrowseiPodDialog::ShowArtwork(const CString& path)
{
    CWaitCursor wait;
    const BOOL shown = m_artwork.SetImageFile(path);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BROWSE_ARTWORK), shown);
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BROWSE_ARTWORK_LABEL), shown);
}

BOOL CBrowseiPodDialog::OnCmdMsg(UINT id, UINT code)
{
    if (id == IDC_BROWSE_RELOAD && code == BN_CLICKED) {
        Reload();
        return TRUE;
    }
    return CDialog::OnCmdMsg(id, code);
}

BOOL CBrowseiPodDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom == IDC_BROWSE_TRACKS && header->code == LVN_ITEMACTIVATE) {
        OnTrackActivated(reinterpret_cast<const NMITEMACTIVATE*>(lParam));
        *result = 0;
        return TRUE;
    }
    return CDialog::OnNotify(wParam, lParam, result);
}

BOOL CBrowseiPodDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (message) {
    case WM_QUERYDRAGICON:
        *result = reinterpret_cast<LRESULT>(m_hIcon);
        return TRUE;
    case WM_BROWSE_RELOAD:
        Reload();
        *result = 0;
        return TRUE;
    default:
        return CDialog::OnWndMsg(message, wParam, lParam, result);
    }
}

void CBrowseiPodDialog::OnPaint()
{
    if (!::IsIconic(m_hWnd)) {
        CDialog::OnPaint();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC));
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.m_hDC, x, y, m_hIcon);
}
