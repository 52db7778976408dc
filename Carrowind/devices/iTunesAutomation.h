// What every iTunes user in the device wizard shares: connecting to iTunes (with the retry
// prompt and the interface version it needs), finding the playlist that stands for a player
// (the iTunes library or an iPod iTunes shows as a source) and whether iTunes lets us change
// that iPod, the maker's playlist, the parts of a title already there and deleting an old copy,
// the error box for iTunes failures, putting back iTunes' encoder, Apple player names, and the
// iTunes window.
//
//     CiTunesHelper helper;                       // one per thread; never shared between threads
//     IITPlaylist* playlist = nullptr;
//     BOOL locked = FALSE;
//     if (SUCCEEDED(helper.FindPlaylist(L"John's iPod", &playlist, &locked)) && playlist) { ... }
#pragma once

#include "afx.h"
#include "iTunesInterfaces.h"

#include <functional>
#include <vector>

// The name the library's record carries, and the maker's playlist in a source.
inline constexpr wchar_t kiTunesLibraryName[] = L"iTunes Library";
inline constexpr wchar_t kVesperlinPlaylistName[] = L"Vesperlin";
// The folder created and deleted again to learn whether iTunes lets us change an iPod.
inline constexpr wchar_t kiTunesProbeFolderName[] = L"_Vesperlin_";

// Apple player kinds of GetAppleDeviceKind; the lowest bit is added for the library.
inline constexpr DWORD kAppleIPod = 0x1200;
inline constexpr DWORD kAppleDevice = 0x1290;
inline constexpr DWORD kAppleIPodShuffle = 0x1300;
inline constexpr DWORD kAppleLibraryBit = 1;

// 0x1300 for a name holding "Apple iPod Shuffle", else 0x1290 for "Apple device", else 0x1200
// for "Apple iPod", else 0; plus 1 when it holds "iTunes Library".
DWORD GetAppleDeviceKind(const CString& name);
// The text between the first '(' and the last character, when at least two characters follow
// the '('; else the whole name.
CString ExtractParenthesized(const CString& name);
// A new copy of a text iTunes gave (the caller frees it with delete[]); null for null.
wchar_t* CopyBstr(BSTR text);

// Creates iTunes (a local server) and checks that it serves interface version 1.12. Class not
// registered: when interactive, message 3508; the code comes back. Another failure: when
// interactive, message 3515 (OK tries again after a second, Cancel gives the code back). A
// refused version: the call's failure or E_INVALIDARG.
HRESULT ConnectToiTunes(IiTunes** iTunes, BOOL interactive);
// iTunes connects (interactively) and is compatible with interface version 1.12.
BOOL CheckiTunesVersion();
// Makes the encoder iTunes' current one again; E_FAIL without one.
HRESULT RestoreiTunesEncoder(IITEncoder* encoder);
// Message 5008 with the action (default "access iPod") and the detail: 5009 for the codes of an
// iTunes that went away or is busy, else 5010.
void ShowiTunesError(HRESULT code, const wchar_t* action = nullptr);

// The top-level window whose class and title are both "iTunes".
BOOL IsiTunesRunning();
// Shows it minimised, then hides it.
void HideiTunesWindow();
// Asks it to close; FALSE when there is no such window.
BOOL CloseiTunes();
// The wizard started iTunes itself (the search, the Confirm page or a browse did): it is closed
// when the wizard ends. Process-wide, so that a search that was stopped still tells.
void NoteiTunesStartedHere();
BOOL WasiTunesStartedHere();
void ForgetiTunesStartedHere();
// Ejects the iPod iTunes shows as a source of that name (ignoring case);
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when iTunes shows no such iPod, else iTunes' answer.
// Never shows a box.
HRESULT EjectiPod(const CString& iPodName);

// The fixed waits of the iTunes code (the retry prompt's second), for tests to shorten.
using iTunesSleep = std::function<void(DWORD milliseconds)>;
iTunesSleep SetiTunesSleep(iTunesSleep sleep);
void iTunesWait(DWORD milliseconds);

// One thread's iTunes access: the connection, the last playlist found with the player name it
// was found for, whether that iPod is locked for changes, and the track list of a title.
class CiTunesHelper {
public:
    struct TrackEntry {
        wchar_t name[260];
        LONG trackId;
    };

    CiTunesHelper() = default;
    ~CiTunesHelper();
    CiTunesHelper(const CiTunesHelper&) = delete;
    CiTunesHelper& operator=(const CiTunesHelper&) = delete;

    // Clears the names, numbers and the track list / the names and numbers / the track list.
    void Reset();
    void ResetTrack();
    void ResetArtwork();

    // The playlist standing for the player: the library's "Library" for "iTunes Library", else
    // the main playlist of the iPod source whose name equals the player name (case-insensitive),
    // or failing that one whose name the player name begins with. A second request for the same
    // name gives the cached playlist. An empty name matches nothing: it collects the names of
    // the iPods iTunes shows ("|" after each) into *iPodNames. For an iPod found, *locked tells
    // whether iTunes refuses changes to it. S_OK with *playlist null when nothing matched; an
    // iTunes failure shows ShowiTunesError and comes back.
    HRESULT FindPlaylist(const CString& playerName, IITPlaylist** playlist, BOOL* locked = nullptr,
                         CString* iPodNames = nullptr);
    // The user playlist named "Vesperlin" in the playlist's source; created when missing and
    // create is set. Null when there is none.
    IITUserPlaylist* FindVesperlinTracks(IITPlaylist* playlist, BOOL create);
    // The audiobooks playlist (special kind 9) of the playlist's source, or null.
    IITUserPlaylist* FindAudiobooksPlaylist(IITPlaylist* playlist);
    // The part of the title already in the player's playlist (the audiobooks one when audiobook
    // is set): a track named "<title>-Part<nn>" with that number, matched after exactly that
    // title. Empty name and 0 when none.
    void FindExistingParts(const CString& title, int partNumber, const CString& playerName, BOOL audiobook,
                           CString* trackName, LONG* trackId);
    // Deletes the track of that name (less its extension) when its track id is the given one.
    BOOL DeleteExistingPart(const CString& trackName, LONG trackId, const CString& playerName, BOOL audiobook);

    // The connection (connected on first use); null when iTunes cannot be reached.
    IiTunes* iTunes();
    BOOL IsLocked() const { return m_locked; }
    const CString& CachedName() const { return m_playlistName; }
    int TrackCount() const { return static_cast<int>(m_tracks.size()); }
    const TrackEntry& Track(int index) const { return m_tracks[index]; }

private:
    // Fills the track list with the tracks of the title in the player's playlist.
    void FillTrackList(const CString& title, const CString& playerName, BOOL audiobook);
    // The player's playlist, or its source's audiobooks playlist when audiobook is set (the
    // main one when the source has none); null when there is none.
    IITPlaylist* PlaylistFor(const CString& playerName, BOOL audiobook);
    void ReleasePlaylist();

    IiTunes* m_iTunes = nullptr;
    IITPlaylist* m_playlist = nullptr;
    CString m_playlistName;
    LONG m_sourceId = 0;
    LONG m_playlistId = 0;
    BOOL m_locked = FALSE;
    std::vector<TrackEntry> m_tracks;
    CString m_work1;
    CString m_work2;
};
