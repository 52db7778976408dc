#include "iTunesAutomation.h"

#include "ComHolders.h"
#include "res/iTunesStringIds.h"

#include <atomic>
#include <cwchar>
#include <utility>

namespace {

iTunesSleep& SleepFunction()
{
    static iTunesSleep sleep;
    return sleep;
}

CString TextOf(BSTR text) { return text ? CString(text, static_cast<int>(SysStringLen(text))) : CString(); }

// The name of an iTunes object; empty when it cannot be read.
template <class Object>
CString NameOf(Object* object)
{
    com::Bstr name;
    if (!object || FAILED(object->get_Name(name.Put())))
        return CString();
    return TextOf(name.Get());
}

bool StartsWithNoCase(const CString& text, const CString& prefix)
{
    return text.GetLength() >= prefix.GetLength() && text.Left(prefix.GetLength()).CompareNoCase(prefix) == 0;
}

// The playlists of the playlist's source.
HRESULT SourcePlaylists(IITPlaylist* playlist, com::ComPtr<IITSource>* source, com::ComPtr<IITPlaylistCollection>* playlists)
{
    if (!playlist)
        return E_POINTER;
    HRESULT hr = playlist->get_Source(source->Put());
    if (SUCCEEDED(hr) && !*source)
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        hr = (*source)->get_Playlists(playlists->Put());
    if (SUCCEEDED(hr) && !*playlists)
        hr = E_FAIL;
    return hr;
}

// A track's iTunes track id, or 0.
LONG TrackIdOf(IITTrack* track)
{
    LONG source = 0, playlist = 0, id = 0, database = 0;
    if (!track || FAILED(track->GetITObjectIDs(&source, &playlist, &id, &database)))
        return 0;
    return id;
}

// The names of iTunes' own playlists in the library, never taken for a player.
bool IsReservedName(const CString& name)
{
    return name == L"Library" || name == L"Radio" || name == L"Music";
}

// The wizard's own name for a part's track: "<title>-Part<nn>".
CString PartTrackName(const CString& title, int partNumber)
{
    CString name;
    name.Format(L"%s-Part%.2d", title.GetString(), partNumber);
    return name;
}

// The part number a track name gives after "<title>-": "Part03", "-Part 3", "03"; -1 when the
// rest is anything else (another track of the user's that begins like the title).
int PartNumberAfterTitle(const CString& name, const CString& title)
{
    if (!StartsWithNoCase(name, title) || name.GetLength() <= title.GetLength() || name[title.GetLength()] != L'-')
        return -1;
    CString rest = name.Mid(title.GetLength() + 1);
    rest.Remove(L'-');
    rest.Replace(L"Part", L"");
    rest.Trim();
    if (rest.IsEmpty() || rest.GetLength() > 9)
        return -1;
    for (int i = 0; i < rest.GetLength(); ++i) {
        if (rest[i] < L'0' || rest[i] > L'9')
            return -1;
    }
    return _wtoi(rest);
}

// Audio file extensions a track name may still carry.
CString WithoutAudioExtension(const CString& name)
{
    const int dot = name.ReverseFind(L'.');
    if (dot < 0)
        return name;
    const CString extension = name.Mid(dot);
    for (const wchar_t* known : {L".mp3", L".m4a", L".m4b", L".wav", L".wma", L".aac"}) {
        if (extension.CompareNoCase(known) == 0)
            return name.Left(dot);
    }
    return name;
}

}  // namespace

iTunesSleep SetiTunesSleep(iTunesSleep sleep)
{
    return std::exchange(SleepFunction(), std::move(sleep));
}

void iTunesWait(DWORD milliseconds)
{
    if (SleepFunction())
        SleepFunction()(milliseconds);
    else
        Sleep(milliseconds);
}

DWORD GetAppleDeviceKind(const CString& name)
{
    DWORD kind = 0;
    if (name.Find(L"Apple iPod Shuffle") >= 0)
        kind = kAppleIPodShuffle;
    else if (name.Find(L"Apple device") >= 0)
        kind = kAppleDevice;
    else if (name.Find(L"Apple iPod") >= 0)
        kind = kAppleIPod;
    if (name.Find(kiTunesLibraryName) >= 0)
        kind |= kAppleLibraryBit;
    return kind;
}

CString ExtractParenthesized(const CString& name)
{
    const int open = name.Find(L'(');
    if (open < 0 || name.GetLength() - open - 1 < 2)
        return name;
    return name.Mid(open + 1, name.GetLength() - open - 2);
}

wchar_t* CopyBstr(BSTR text)
{
    if (!text)
        return nullptr;
    const UINT length = SysStringLen(text);
    wchar_t* copy = new wchar_t[length + 1];
    wmemcpy(copy, text, length);
    copy[length] = L'\0';
    return copy;
}

HRESULT ConnectToiTunes(IiTunes** iTunes, BOOL interactive)
{
    if (!iTunes)
        return E_POINTER;
    *iTunes = nullptr;
    for (;;) {
        com::ComPtr<IiTunes> created;
        HRESULT hr = CoCreateInstance(CLSID_iTunesApp, nullptr, CLSCTX_LOCAL_SERVER, IID_IiTunes, created.PutVoid());
        if (SUCCEEDED(hr) && !created)
            hr = E_FAIL;
        if (hr == REGDB_E_CLASSNOTREG) {
            if (interactive)
                AfxMessageBox(IDS_ITUNES_REQUIRED, MB_OK | MB_ICONSTOP);
            return hr;
        }
        if (FAILED(hr)) {
            if (!interactive)
                return hr;
            CString text;
            text.Format(IDS_ITUNES_CONNECT_FAILED, static_cast<unsigned>(hr));
            if (AfxMessageBox(text, MB_OKCANCEL | MB_ICONQUESTION) == IDCANCEL)
                return hr;
            iTunesWait(1000);
            continue;
        }
        VARIANT_BOOL compatible = VARIANT_FALSE;
        hr = created->CheckVersion(1, 12, &compatible);
        if (FAILED(hr))
            return hr;
        if (compatible == VARIANT_FALSE)
            return E_INVALIDARG;
        *iTunes = created.Detach();
        return S_OK;
    }
}

BOOL CheckiTunesVersion()
{
    com::ComPtr<IiTunes> iTunes;
    if (FAILED(ConnectToiTunes(iTunes.Put(), TRUE)) || !iTunes)
        return FALSE;
    VARIANT_BOOL compatible = VARIANT_FALSE;
    return SUCCEEDED(iTunes->CheckVersion(1, 12, &compatible)) && compatible != VARIANT_FALSE;
}

HRESULT RestoreiTunesEncoder(IITEncoder* encoder)
{
    if (!encoder)
        return E_FAIL;
    com::ComPtr<IiTunes> iTunes;
    HRESULT hr = ConnectToiTunes(iTunes.Put(), TRUE);
    if (SUCCEEDED(hr))
        hr = iTunes->put_CurrentEncoder(encoder);
    return hr;
}

void ShowiTunesError(HRESULT code, const wchar_t* action)
{
    const unsigned value = static_cast<unsigned>(code);
    const bool goneOrBusy = value == 0x800706BA || value == 0x800706BF || value == 0x80010001 || value == 0x80010108 ||
                            value == 0x80080005;
    CString detail;
    detail.Format(goneOrBusy ? IDS_ITUNES_CLOSED_DURING : IDS_ITUNES_NOT_INSTALLED, value);
    CString text;
    text.Format(IDS_ITUNES_ERROR, action && *action ? action : L"access iPod", detail.GetString());
    AfxMessageBox(text, MB_OK | MB_ICONSTOP);
}

BOOL IsiTunesRunning()
{
    return FindWindowW(L"iTunes", L"iTunes") != nullptr;
}

void HideiTunesWindow()
{
    if (HWND window = FindWindowW(L"iTunes", L"iTunes")) {
        ShowWindow(window, SW_SHOWMINIMIZED);
        ShowWindow(window, SW_HIDE);
    }
}

BOOL CloseiTunes()
{
    HWND window = FindWindowW(L"iTunes", L"iTunes");
    if (!window)
        return FALSE;
    PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

namespace {
std::atomic<bool> g_iTunesStartedHere{false};
}  // namespace

void NoteiTunesStartedHere() { g_iTunesStartedHere = true; }
BOOL WasiTunesStartedHere() { return g_iTunesStartedHere ? TRUE : FALSE; }
void ForgetiTunesStartedHere() { g_iTunesStartedHere = false; }

HRESULT EjectiPod(const CString& iPodName)
{
    if (iPodName.IsEmpty())
        return E_INVALIDARG;
    com::ComPtr<IiTunes> iTunes;
    HRESULT hr = ConnectToiTunes(iTunes.Put(), FALSE);
    if (FAILED(hr))
        return hr;
    com::ComPtr<IITSourceCollection> sources;
    hr = iTunes->get_Sources(sources.Put());
    if (FAILED(hr) || !sources)
        return FAILED(hr) ? hr : E_FAIL;
    LONG count = 0;
    hr = sources->get_Count(&count);
    if (FAILED(hr))
        return hr;
    // The iPod source of that very name (ignoring case): never another iPod whose name begins
    // the same way.
    for (LONG i = 1; i <= count; ++i) {
        com::ComPtr<IITSource> source;
        LONG kind = 0;
        if (FAILED(sources->get_Item(i, source.Put())) || !source || FAILED(source->get_Kind(&kind)) ||
            kind != ITSourceKindIPod)
            continue;
        BSTR name = nullptr;
        if (FAILED(source->get_Name(&name)))
            continue;
        const CString sourceName = name ? name : L"";
        SysFreeString(name);
        if (sourceName.CompareNoCase(iPodName) != 0)
            continue;
        com::ComPtr<IITIPodSource> pod;
        hr = source->QueryInterface(IID_IITIPodSource, reinterpret_cast<void**>(pod.Put()));
        if (FAILED(hr) || !pod)
            return FAILED(hr) ? hr : E_NOINTERFACE;
        return pod->EjectIPod();
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

CiTunesHelper::~CiTunesHelper()
{
    ReleasePlaylist();
    if (m_iTunes)
        m_iTunes->Release();
}

void CiTunesHelper::ReleasePlaylist()
{
    if (m_playlist) {
        m_playlist->Release();
        m_playlist = nullptr;
    }
}

void CiTunesHelper::Reset()
{
    ResetTrack();
    ResetArtwork();
}

void CiTunesHelper::ResetTrack()
{
    ReleasePlaylist();
    m_playlistName.Empty();
    m_sourceId = 0;
    m_playlistId = 0;
    m_locked = FALSE;
    m_work1.Empty();
    m_work2.Empty();
}

void CiTunesHelper::ResetArtwork()
{
    m_tracks.clear();
}

IiTunes* CiTunesHelper::iTunes()
{
    if (!m_iTunes && FAILED(ConnectToiTunes(&m_iTunes, TRUE)))
        m_iTunes = nullptr;
    return m_iTunes;
}

HRESULT CiTunesHelper::FindPlaylist(const CString& playerName, IITPlaylist** playlist, BOOL* locked, CString* iPodNames)
{
    if (!playlist)
        return E_POINTER;
    *playlist = nullptr;
    if (locked)
        *locked = FALSE;
    if (!playerName.IsEmpty() && playerName == m_playlistName && m_playlist) {
        *playlist = m_playlist;
        m_playlist->AddRef();
        if (locked)
            *locked = m_locked;
        return S_OK;
    }
    if (!m_iTunes) {
        const HRESULT hr = ConnectToiTunes(&m_iTunes, TRUE);
        if (FAILED(hr) || !m_iTunes) {
            m_iTunes = nullptr;
            return FAILED(hr) ? hr : E_FAIL;
        }
    }
    const bool wantLibrary = playerName == kiTunesLibraryName;
    CString names;
    com::ComPtr<IITPlaylist> found;
    com::ComPtr<IITSource> foundSource;
    LONG foundSourceId = 0, foundPlaylistId = 0;
    com::ComPtr<IITSourceCollection> sources;
    HRESULT hr = m_iTunes->get_Sources(sources.Put());
    LONG count = 0;
    if (SUCCEEDED(hr) && sources)
        hr = sources->get_Count(&count);
    for (LONG i = 1; SUCCEEDED(hr) && i <= count; ++i) {
        com::ComPtr<IITSource> source;
        hr = sources->get_Item(i, source.Put());
        if (FAILED(hr) || !source)
            break;
        LONG kind = 0;
        hr = source->get_Kind(&kind);
        if (FAILED(hr))
            break;
        if (kind != ITSourceKindIPod && !(kind == ITSourceKindLibrary && wantLibrary))
            continue;
        com::ComPtr<IITPlaylistCollection> playlists;
        LONG playlistCount = 0;
        hr = source->get_Playlists(playlists.Put());
        if (SUCCEEDED(hr) && playlists)
            hr = playlists->get_Count(&playlistCount);
        if (FAILED(hr))
            break;
        if (playlistCount < 1)
            continue;
        // The source's main playlist, looked up again by its numbers.
        com::ComPtr<IITPlaylist> main;
        for (LONG p = 1; SUCCEEDED(hr) && p <= playlistCount && !main; ++p) {
            com::ComPtr<IITPlaylist> candidate;
            hr = playlists->get_Item(p, candidate.Put());
            LONG playlistKind = 0;
            if (SUCCEEDED(hr) && candidate && SUCCEEDED(candidate->get_Kind(&playlistKind)) &&
                playlistKind == ITPlaylistKindLibrary)
                main = candidate;
        }
        if (FAILED(hr))
            break;
        if (!main)
            continue;
        LONG sourceId = 0, playlistId = 0, trackId = 0, databaseId = 0;
        hr = main->GetITObjectIDs(&sourceId, &playlistId, &trackId, &databaseId);
        com::ComPtr<IITObject> object;
        if (SUCCEEDED(hr))
            hr = m_iTunes->GetITObjectByID(sourceId, playlistId, 0, 0, object.Put());
        if (FAILED(hr))
            break;
        com::ComPtr<IITPlaylist> looked;
        if (!object || FAILED(object.As(&looked, IID_IITPlaylist)) || !looked)
            continue;
        const CString name = NameOf(looked.Get());
        bool matches = false;
        if (kind == ITSourceKindLibrary)
            matches = name == L"Library";
        else if (!IsReservedName(name)) {
            names += name + L"|";
            // The player is the iPod of that very name: another iPod whose name merely begins
            // like it (or like which it begins) is someone else's.
            matches = !playerName.IsEmpty() && name.CompareNoCase(playerName) == 0;
        }
        if (matches && !found) {
            found = looked;
            foundSource = source;
            foundSourceId = sourceId;
            foundPlaylistId = playlistId;
        }
    }
    if (FAILED(hr)) {
        ShowiTunesError(hr);
        return hr;
    }
    if (iPodNames)
        *iPodNames = names;
    if (!found)
        return S_OK;
    BOOL isLocked = FALSE;
    LONG foundKind = 0;
    if (SUCCEEDED(foundSource->get_Kind(&foundKind)) && foundKind == ITSourceKindIPod) {
        com::ComPtr<IITUserPlaylist> probe;
        const HRESULT probed = m_iTunes->CreateFolderInSource(com::Bstr(kiTunesProbeFolderName), foundSource.Get(), probe.Put());
        if (probed == ITUNES_E_OBJECTLOCKED)
            isLocked = TRUE;
        else if (SUCCEEDED(probed) && probe)
            probe->Delete();
    }
    ReleasePlaylist();
    m_playlist = found.Detach();
    m_playlistName = playerName;
    m_sourceId = foundSourceId;
    m_playlistId = foundPlaylistId;
    m_locked = isLocked;
    *playlist = m_playlist;
    m_playlist->AddRef();
    if (locked)
        *locked = isLocked;
    return S_OK;
}

namespace {

// The first user playlist of the collection that wants takes, or null.
template <class Wants>
IITUserPlaylist* FirstUserPlaylist(IITPlaylistCollection* playlists, Wants wants)
{
    LONG count = 0;
    playlists->get_Count(&count);
    for (LONG i = 1; i <= count; ++i) {
        com::ComPtr<IITPlaylist> candidate;
        com::ComPtr<IITUserPlaylist> user;
        if (SUCCEEDED(playlists->get_Item(i, candidate.Put())) && candidate &&
            SUCCEEDED(candidate.As(&user, IID_IITUserPlaylist)) && user && wants(user.Get()))
            return user.Detach();
    }
    return nullptr;
}

}  // namespace

IITUserPlaylist* CiTunesHelper::FindVesperlinTracks(IITPlaylist* playlist, BOOL create)
{
    com::ComPtr<IITSource> source;
    com::ComPtr<IITPlaylistCollection> playlists;
    if (FAILED(SourcePlaylists(playlist, &source, &playlists)))
        return nullptr;
    if (IITUserPlaylist* found = FirstUserPlaylist(
            playlists.Get(), [](IITUserPlaylist* user) { return NameOf(user) == kVesperlinPlaylistName; }))
        return found;
    if (!create || !iTunes())
        return nullptr;
    com::ComPtr<IITPlaylist> created;
    com::ComPtr<IITUserPlaylist> user;
    if (FAILED(m_iTunes->CreatePlaylistInSource(com::Bstr(kVesperlinPlaylistName), source.Get(), created.Put())) ||
        !created || FAILED(created.As(&user, IID_IITUserPlaylist)))
        return nullptr;
    return user.Detach();
}

IITUserPlaylist* CiTunesHelper::FindAudiobooksPlaylist(IITPlaylist* playlist)
{
    com::ComPtr<IITSource> source;
    com::ComPtr<IITPlaylistCollection> playlists;
    if (FAILED(SourcePlaylists(playlist, &source, &playlists)))
        return nullptr;
    return FirstUserPlaylist(playlists.Get(), [](IITUserPlaylist* user) {
        LONG kind = 0, special = 0;
        return SUCCEEDED(user->get_Kind(&kind)) && kind == ITPlaylistKindUser && SUCCEEDED(user->get_SpecialKind(&special)) &&
               special == ITUserPlaylistSpecialKindAudiobooks;
    });
}

IITPlaylist* CiTunesHelper::PlaylistFor(const CString& playerName, BOOL audiobook)
{
    com::ComPtr<IITPlaylist> playlist;
    if (FAILED(FindPlaylist(playerName, playlist.Put())) || !playlist)
        return nullptr;
    if (audiobook) {
        if (IITUserPlaylist* books = FindAudiobooksPlaylist(playlist.Get()))
            return books;  // an IITUserPlaylist is an IITPlaylist
    }
    return playlist.Detach();
}

void CiTunesHelper::FillTrackList(const CString& title, const CString& playerName, BOOL audiobook)
{
    ResetArtwork();
    com::ComPtr<IITPlaylist> playlist;
    playlist.Attach(PlaylistFor(playerName, audiobook));
    if (!playlist || title.IsEmpty())
        return;
    com::ComPtr<IITTrackCollection> tracks;
    LONG count = 0;
    if (FAILED(playlist->Search(com::Bstr(title), ITPlaylistSearchFieldAll, tracks.Put())) || !tracks ||
        FAILED(tracks->get_Count(&count)))
        return;
    for (LONG i = 1; i <= count; ++i) {
        com::ComPtr<IITTrack> track;
        if (FAILED(tracks->get_Item(i, track.Put())) || !track)
            continue;
        TrackEntry entry{};
        wcsncpy(entry.name, NameOf(track.Get()), 259);
        entry.trackId = TrackIdOf(track.Get());
        m_tracks.push_back(entry);
    }
}

void CiTunesHelper::FindExistingParts(const CString& title, int partNumber, const CString& playerName, BOOL audiobook,
                                      CString* trackName, LONG* trackId)
{
    if (trackName)
        trackName->Empty();
    if (trackId)
        *trackId = 0;
    CString trimmed = title;
    trimmed.Trim();
    FillTrackList(trimmed, playerName, audiobook);
    // The wizard's own name for the part first, then the other spellings of its number.
    const CString own = PartTrackName(trimmed, partNumber);
    const TrackEntry* match = nullptr;
    for (const TrackEntry& entry : m_tracks) {
        if (own.CompareNoCase(entry.name) == 0) {
            match = &entry;
            break;
        }
    }
    for (const TrackEntry& entry : m_tracks) {
        if (!match && PartNumberAfterTitle(entry.name, trimmed) == partNumber)
            match = &entry;
    }
    if (!match)
        return;
    if (trackName)
        *trackName = match->name;
    if (trackId)
        *trackId = match->trackId;
}

BOOL CiTunesHelper::DeleteExistingPart(const CString& trackName, LONG trackId, const CString& playerName, BOOL audiobook)
{
    CString name = WithoutAudioExtension(trackName);
    name.Trim();
    if (name.IsEmpty() || trackId == 0)
        return FALSE;
    com::ComPtr<IITPlaylist> playlist;
    playlist.Attach(PlaylistFor(playerName, audiobook));
    com::ComPtr<IITTrackCollection> tracks;
    LONG count = 0;
    if (!playlist || FAILED(playlist->get_Tracks(tracks.Put())) || !tracks || FAILED(tracks->get_Count(&count)))
        return FALSE;
    // The very track: its name and its id, never another of the same name.
    for (LONG i = 1; i <= count; ++i) {
        com::ComPtr<IITTrack> track;
        if (FAILED(tracks->get_Item(i, track.Put())) || !track)
            continue;
        if (TrackIdOf(track.Get()) == trackId && NameOf(track.Get()).CompareNoCase(name) == 0)
            return SUCCEEDED(track->Delete());
    }
    return FALSE;
}
