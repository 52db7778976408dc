// The Browse iPod dialog (dialog 138): the tracks of the maker's playlist for an Apple player
// as iTunes lists them (name, time, artist, album), the player's free space and, for the track
// the user activates, its album artwork. It only reads iTunes. Each track's first artwork is
// saved once into "<temporary folder>_Artwork" under a file name made safe from the track's.
//
//     CBrowseiPodDialog browse(player->GetDisplayName(), L"Free: 1.25 GB", this);
//     browse.DoModal();
#pragma once

#include "Dialog.h"
#include "SortListCtrl.h"
#include "iTunesInterfaces.h"

#include <functional>
#include <vector>

// How the dialog reaches iTunes: the playlist standing for a player (by its playlist name), and
// the maker's playlist inside the library's playlist. Each hands out a reference the dialog
// releases, or null. The product's goes through the shared iTunes helpers (CiTunesHelper).
struct BrowseiPodLookup {
    std::function<IITPlaylist*(const CString& playlistName)> findPlaylist;
    std::function<IITPlaylist*(IITPlaylist* library)> findMakersPlaylist;
};
// Replaces the lookup (one with empty functions restores the product's); returns the one before.
BrowseiPodLookup SetBrowseiPodLookup(BrowseiPodLookup lookup);

// The artwork box: paints the artwork file it is given, kept in proportion; the dialog face
// colour without one.
class CArtworkBox : public CWnd {
    DECLARE_DYNAMIC(CArtworkBox)
public:
    // The image file to show (empty: none); FALSE when it cannot be opened.
    BOOL SetImageFile(const CString& path);
    const CString& GetImageFile() const { return m_path; }
    // Where an image of that size goes inside the box: wider than tall, the box's width, centred
    // vertically and 1 pixel in from the left; else the box's height, centred across and 1
    // pixel from the top; never below 1 pixel nor beyond the box.
    static CRect FitImage(CSize image, const CRect& box);

protected:
    void DrawItem(LPDRAWITEMSTRUCT drawItem) override;

private:
    CString m_path;
};

class CBrowseiPodDialog : public CDialog {
    DECLARE_DYNAMIC(CBrowseiPodDialog)
public:
    // Posted or sent to the dialog: lists the playlist again (answers 0).
    static constexpr UINT WM_BROWSE_RELOAD = WM_USER + 1;

    // The player's display name ("Apple iPod (John's iPod)") and its free-space text.
    CBrowseiPodDialog(const CString& playerName, const CString& freeSpace, CWnd* parent);

    // Lists the playlist again; closes the dialog when iTunes has no playlist for the player.
    void Reload();

    // The artwork folder for the temporary folder (empty: none) and the current directory.
    static CString ArtworkFolderFor(const CString& tempFolder, const CString& currentDir);
    // "<folder>\<name><number>.<jpg|png|bmp>" for artwork formats 1-3, the name made safe for
    // a file name; empty for other formats.
    static CString ArtworkFileName(const CString& folder, const CString& trackName, int number, LONG format);
    // A track name as part of a file name: no path separators, reserved or control characters
    // (each becomes "_"), no leading or trailing blanks and dots, at most 100 characters.
    static CString SafeFileNamePart(const CString& name);

    CString m_strPlaylistName;
    CString m_strFreeSpace;
    CString m_strPlayerName;
    HICON m_hIcon = nullptr;
    wchar_t m_szCurrentDir[MAX_PATH] = {};
    wchar_t m_szArtworkDir[MAX_PATH] = {};
    BOOL m_bLibrary = FALSE;
    CSortListCtrl m_tracks;
    CArtworkBox m_artwork;

protected:
    BOOL OnInitDialog() override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnCmdMsg(UINT id, UINT code) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnPaint() override;
    void OnDestroy() override;

private:
    // Lists the playlist's tracks; FALSE when there is none to list (the dialog closes).
    BOOL ListTracks();
    void AddTrack(IITTrack* track, int number);
    void OnTrackActivated(const NMITEMACTIVATE* activate);
    void ShowArtwork(const CString& path);

    std::vector<CString> m_rowArtwork;  // by the rows' item data: the artwork file saved, or empty
    ULONG_PTR m_gdiplusToken = 0;
};
