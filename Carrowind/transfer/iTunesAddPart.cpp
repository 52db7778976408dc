// The add step of the iPod add thread: one part file into iTunes, with its name, number,
// genre, album, artist, cover and audiobook options.
#include "iPodAddThread.h"

#include "ComHolders.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "res/TransferIds.h"
#include "res/iPodAddTextIds.h"

#include <algorithm>
#include <functional>

namespace {

constexpr DWORD kStepMs = 1000;
constexpr int kFieldAttempts = 10;
// What the library path counts for a file whose size is unknown.
constexpr ULONGLONG kUnknownSizeKilobytes = 40960;

ULONGLONG FileSizeOf(const CString& path)
{
    const HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER size{};
    const BOOL known = GetFileSizeEx(file, &size);
    CloseHandle(file);
    return known && size.QuadPart > 0 ? static_cast<ULONGLONG>(size.QuadPart) : 0;
}

CString Hex(const wchar_t* format, HRESULT hr)
{
    CString text;
    text.Format(format, static_cast<unsigned>(hr));
    return text;
}

unsigned PointerWord(const void* pointer)
{
    return static_cast<unsigned>(reinterpret_cast<UINT_PTR>(pointer));
}

// The first track of an operation's track collection (null when it has none).
com::ComPtr<IITTrack> FirstTrackOf(IITOperationStatus* status)
{
    com::ComPtr<IITTrack> track;
    com::ComPtr<IITTrackCollection> tracks;
    LONG count = 0;
    if (status && SUCCEEDED(status->get_Tracks(tracks.Put())) && tracks && SUCCEEDED(tracks->get_Count(&count)) &&
        count > 0)
        tracks->get_Item(1, track.Put());
    return track;
}

// AddFile / AddTrack of a playlist that may be the library's, an iPod's or a user playlist.
HRESULT AddFileTo(IITPlaylist* playlist, const CString& path, IITOperationStatus** status)
{
    com::Bstr file(path);
    com::ComPtr<IITLibraryPlaylist> library;
    if (SUCCEEDED(playlist->QueryInterface(IID_IITLibraryPlaylist, library.PutVoid())) && library)
        return library->AddFile(file, status);
    com::ComPtr<IITUserPlaylist> user;
    if (SUCCEEDED(playlist->QueryInterface(IID_IITUserPlaylist, user.PutVoid())) && user)
        return user->AddFile(file, status);
    return E_NOINTERFACE;
}

HRESULT AddTrackTo(IITPlaylist* playlist, IITTrack* track, IITTrack** added)
{
    com::ComPtr<IITUserPlaylist> user;
    if (SUCCEEDED(playlist->QueryInterface(IID_IITUserPlaylist, user.PutVoid())) && user)
        return user->AddTrack(track, added);
    com::ComPtr<IITLibraryPlaylist> library;
    if (SUCCEEDED(playlist->QueryInterface(IID_IITLibraryPlaylist, library.PutVoid())) && library)
        return library->AddTrack(track, added);
    return E_NOINTERFACE;
}

// Sets both audiobook options; TRUE when both read back set.
BOOL SetAudiobookOptions(IITTrack* track)
{
    com::ComPtr<IITFileOrCDTrack> file;
    if (FAILED(track->QueryInterface(IID_IITFileOrCDTrack, file.PutVoid())) || !file)
        return FALSE;
    file->put_RememberBookmark(VARIANT_TRUE);
    file->put_ExcludeFromShuffle(VARIANT_TRUE);
    VARIANT_BOOL remember = VARIANT_FALSE, exclude = VARIANT_FALSE;
    return SUCCEEDED(file->get_RememberBookmark(&remember)) && SUCCEEDED(file->get_ExcludeFromShuffle(&exclude)) &&
           remember && exclude;
}

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

}  // namespace

iTunesPartNames DeriveiTunesPartNames(const CString& path, const CString& targetName)
{
    iTunesPartNames names;
    names.fileName = path.Mid(path.ReverseFind(L'\\') + 1);
    const int dot = names.fileName.ReverseFind(L'.');
    names.extension = dot >= 0 ? names.fileName.Mid(dot) : CString();
    if ((names.extension.CompareNoCase(L".m4b") == 0 || names.extension.CompareNoCase(L".m4a") == 0) &&
        !targetName.IsEmpty())
        names.fileName = targetName;
    const int nameDot = names.fileName.ReverseFind(L'.');
    if (nameDot >= 0)
        names.fileName = names.fileName.Left(nameDot);
    const int dash = names.fileName.ReverseFind(L'-');
    // A name without a '-' is all title.
    names.title = dash >= 0 ? names.fileName.Left(dash) : names.fileName;
    names.title.Trim();
    CString part = names.fileName.GetLength() > names.title.GetLength() ? names.fileName.Mid(names.title.GetLength())
                                                                       : CString();
    part.Replace(L"-", L"");
    part.Replace(L"Part", L"");
    part.Trim();
    names.partNumber = _wtoi(part);
    for (int start = names.title.Find(L"&#"); start >= 0; start = names.title.Find(L"&#", start)) {
        const int end = names.title.Find(L';', start);
        if (end < 0)
            break;
        names.title.Delete(start, end - start + 1);
    }
    names.trackName.Format(L"%s-Part%.2d", names.title.GetString(), names.partNumber);
    return names;
}

CString FormatGroupedKilobytes(ULONGLONG kilobytes)
{
    std::wstring digits = std::to_wstring(kilobytes);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), 1, L',');
    return CString(digits + L" KB");
}

iTunesAddWaits ComputeiTunesAddWaits(int waitSeconds)
{
    const DWORD w = static_cast<DWORD>(std::max(waitSeconds, 0));
    iTunesAddWaits waits;
    waits.a = (w / 5) * 1000;
    waits.b = ((w % 5) / 2) * 1000;
    waits.c = ((w % 5) - (w % 5) / 2) * 1000;
    return waits;
}

void CiPodAddThread::DeleteOldCopy(const iTunesPartNames& names, const CString& player)
{
    const BOOL audiobook = names.extension.CompareNoCase(L".m4b") == 0;
    m_pHelper->Reset();
    CString oldName;
    LONG oldId = 0;
    m_pHelper->FindExistingParts(names.title, names.partNumber, player, audiobook, &oldName, &oldId);
    if (!oldName.IsEmpty() && oldId && m_pHelper->DeleteExistingPart(oldName, oldId, player, audiobook)) {
        CString deleted;
        deleted.Format(L"[DEL:%s|%d]", oldName.GetString(), static_cast<int>(oldId));
        m_strStepLog += deleted;
    } else {
        m_strStepLog += L"[No DEL]";
    }
}

void CiPodAddThread::AddWait(DWORD ms)
{
    CancelPending();  // a cancel from the page is seen by the add's next step
    iTunesWait(ms);
}

BOOL CiPodAddThread::WaitWhileAdding(IITOperationStatus* status, const std::function<void()>& pass)
{
    DWORD waited = 0;
    DWORD waitedSinceCancel = 0;
    for (;;) {
        VARIANT_BOOL inProgress = VARIANT_FALSE;
        const HRESULT asked = status->get_InProgress(&inProgress);
        if (FAILED(asked) && asked != RPC_E_CALL_REJECTED)
            return TRUE;
        if (SUCCEEDED(asked) && !inProgress)
            return TRUE;
        // An iTunes that keeps answering "in progress", or keeps rejecting the question, is
        // waited for no longer than the limit; once cancelled, for a short while only.
        if (waited >= kAddWaitLimitMs || waitedSinceCancel >= kCancelledAddWaitMs) {
            m_strStepLog += m_bCancel ? L"[Add unfinished: cancelled]" : L"[Add unfinished]";
            return FALSE;
        }
        pass();
        AddWait(kStepMs);
        waited += kStepMs;
        if (m_bCancel)
            waitedSinceCancel += kStepMs;
    }
}

HRESULT CiPodAddThread::EndUnfinishedAdd()
{
    return m_bCancel ? kiTunesUserCancelled : kiTunesAddUnfinished;
}

HRESULT CiPodAddThread::FindPlayerPlaylist(const CString& player, UINT missingText, IITPlaylist** playlist,
                                           CString* text)
{
    const HRESULT hr = m_pHelper->FindPlaylist(player, playlist);
    if (FAILED(hr))
        return hr;
    if (*playlist)
        return S_OK;
    *text = LoadText(missingText);
    return E_FAIL;
}

HRESULT CiPodAddThread::StartAdd(IITPlaylist* playlist, const CString& path, const wchar_t* logFormat,
                                 const CString& noStatus, IITOperationStatus** status, CString* text)
{
    const HRESULT hr = AddFileTo(playlist, path, status);
    CString entry;
    entry.Format(logFormat, static_cast<unsigned>(hr), PointerWord(*status));
    m_strStepLog += entry;
    if (FAILED(hr))
        return hr;
    if (*status)
        return hr;
    *text = noStatus;  // nothing was added
    return E_FAIL;
}

HRESULT CiPodAddThread::EndCancelledOrEmptyAdd(IITTrack* track, const CString& noTrack, CString* text)
{
    if (!track) {
        // A part counts as added only when a track was.
        if (m_bCancel)
            return kiTunesUserCancelled;
        *text = noTrack;
        return E_FAIL;
    }
    m_strStepLog += L"[Cancel DEL";
    m_strStepLog += SUCCEEDED(track->Delete()) ? L" success]" : L" fail]";
    return kiTunesUserCancelled;
}

HRESULT CiPodAddThread::AddPartToiTunes(const CString& path, const CString& playerName, BOOL library)
{
    if (!m_pJob || path.IsEmpty() || playerName.IsEmpty() || !m_pJob->m_pPlayer || !m_pHelper)
        return E_FAIL;
    const iTunesPartNames names = DeriveiTunesPartNames(path, m_pJob->m_strTargetName);
    if (names.extension.CompareNoCase(L".m4b") == 0 || names.extension.CompareNoCase(L".m4a") == 0) {
        CString entry;
        entry.Format(L"[%s>%s]", path.Mid(path.ReverseFind(L'\\') + 1).GetString(), m_pJob->m_strTargetName.GetString());
        m_strStepLog += entry;
    }
    CString entry;
    entry.Format(L"[Trk:%d]", names.partNumber);
    m_strStepLog += entry;

    if (playerName != kiTunesLibraryName)
        DeleteOldCopy(names, playerName);
    const ULONGLONG size = FileSizeOf(path);

    CString text;
    HRESULT hr;
    if (library) {
        hr = AddToLibrary(names, path, playerName, size, &text);
        if (FAILED(hr) && !m_bCancel && hr != kiTunesUserCancelled && hr != kiTunesDeviceBusy) {
            if (text.IsEmpty())
                text = m_errors.FormatErrorText(hr);
            CString error;
            error.Format(IDS_TRANSFER_UNABLE_TO, L"transfer the selected title to iTunes Library", text.GetString());
            SetPartText(error);
        }
    } else {
        hr = AddToiPod(names, path, playerName, size, &text);
        // A busy device is asked again: nothing to report yet.
        if (FAILED(hr) && !m_bCancel && hr != kiTunesUserCancelled && hr != kiTunesDeviceBusy) {
            const BOOL mp3 = names.extension.CompareNoCase(L".mp3") == 0;
            if (text.IsEmpty() && hr == kiTunesSourceLocked) {
                text = LoadText(m_pJob->m_bIsShuffle           ? IDS_IPOD_SHUFFLE_NEEDS_ITUNES
                                : m_pJob->m_iTunesSourceFlag == 1 ? IDS_IPOD_MANAGE_MANUALLY
                                                                  : IDS_IPOD_SHUFFLE_OR_MANUALLY);
                if (mp3) {
                    CString alternative;
                    alternative.Format(IDS_IPOD_USE_LIBRARY, playerName.GetString());
                    text += alternative;
                }
            }
            if (text.IsEmpty())
                text = m_errors.FormatErrorText(hr);
            CString action;
            action.Format(mp3 ? L"transfer the selected title to %s" : L"convert the selected title to %s",
                          playerName.GetString());
            CString error;
            error.Format(IDS_TRANSFER_UNABLE_TO, action.GetString(), text.GetString());
            SetPartText(error);
        }
    }
    m_strStepLog += Hex(L">Return=0x%.8X", hr);
    StoreLog();
    return hr;
}

HRESULT CiPodAddThread::AddToLibrary(const iTunesPartNames& names, const CString& path, const CString& playerName,
                                     ULONGLONG fileSize, CString* text)
{
    const ULONGLONG kilobytes = fileSize ? fileSize / 1024 : kUnknownSizeKilobytes;
    const WPARAM progress = static_cast<WPARAM>(kilobytes / 5);
    const BOOL mp3 = names.extension.CompareNoCase(L".mp3") == 0;

    DeleteOldCopy(names, kiTunesLibraryName);
    PostAddProgress(progress, 0);
    // Whichever player stands behind the library: without it nothing is added.
    com::ComPtr<IITPlaylist> playlist;
    HRESULT hr = FindPlayerPlaylist(kiTunesLibraryName, IDS_IPOD_LIBRARY_PLAYLIST_MISSING, playlist.Put(), text);
    if (FAILED(hr))
        return hr;
    PostAddProgress(progress, 0);
    const CString noStatus = LoadText(IDS_IPOD_NOT_PLAYABLE_ITUNES);
    com::ComPtr<IITOperationStatus> status;
    hr = StartAdd(playlist.Get(), path, L"[AddFileLib=0x%.8X|iStatus=0x%.8X]", noStatus, status.Put(), text);
    if (FAILED(hr))
        return hr;
    // The add is never abandoned half-way: a cancel takes effect once iTunes has finished.
    SendAddProgress(progress, 0);
    if (!WaitWhileAdding(status.Get(), [&] { SendAddProgress(progress, 0); }))
        return EndUnfinishedAdd();
    com::ComPtr<IITTrack> track = FirstTrackOf(status.Get());
    if (!track || m_bCancel)
        return EndCancelledOrEmptyAdd(track.Get(), noStatus, text);
    if (mp3) {
        track->put_TrackNumber(names.partNumber);
        SetAudiobookOptions(track.Get());
        m_strStepLog += L"[Option set]";
    }
    if (playerName == kiTunesLibraryName)
        return hr;

    // An Apple player reached through the library: the track goes into its playlist too.
    com::ComPtr<IITPlaylist> player;
    hr = FindPlayerPlaylist(playerName, IDS_IPOD_LIBRARY_PLAYLIST_MISSING, player.Put(), text);
    if (FAILED(hr))
        return hr;
    PostAddProgress(progress, 0);
    com::ComPtr<IITTrack> added;
    hr = AddTrackTo(player.Get(), track.Get(), added.Put());
    CString entry;
    entry.Format(L"[sAddTrack=0x%.8X|iAddedTrack=0x%.8X]", static_cast<unsigned>(hr), PointerWord(added.Get()));
    m_strStepLog += entry;
    PostAddProgress(progress, 0);
    return hr;
}

HRESULT CiPodAddThread::AddToiPod(const iTunesPartNames& names, const CString& path, const CString& playerName,
                                  ULONGLONG fileSize, CString* text)
{
    const BOOL mp3 = names.extension.CompareNoCase(L".mp3") == 0;
    const BOOL mp4 = names.extension.CompareNoCase(L".m4b") == 0 || names.extension.CompareNoCase(L".m4a") == 0;
    const BOOL audiobook = names.extension.CompareNoCase(L".m4b") == 0;
    const LPARAM mode = mp4 ? 1 : 0;
    WPARAM count = mp4 ? 100 : m_pJob->m_nAddProgressEst;
    const iTunesAddWaits waits = ComputeiTunesAddWaits(m_pJob->m_nWaitSeconds);

    com::ComPtr<IITPlaylist> playlist;
    HRESULT hr = FindPlayerPlaylist(playerName, IDS_IPOD_PLAYLIST_MISSING, playlist.Put(), text);
    if (FAILED(hr))
        return hr;
    if (!mp3) {
        com::ComPtr<IITSource> source;
        double freeSpace = 0;
        // Free space that cannot be read is not taken for none.
        if (SUCCEEDED(playlist->get_Source(source.Put())) && source && SUCCEEDED(source->get_FreeSpace(&freeSpace)) &&
            static_cast<double>(fileSize) > freeSpace) {
            const ULONGLONG needed = (fileSize + 512) / 1024;
            const ULONGLONG available = freeSpace > 0 ? static_cast<ULONGLONG>(freeSpace) / 1024 : 0;
            const CString neededText = FormatGroupedKilobytes(needed);
            CString freeText = FormatGroupedKilobytes(available);
            if (neededText.GetLength() > freeText.GetLength())
                freeText = CString(L' ', 2 * (neededText.GetLength() - freeText.GetLength())) + freeText;
            text->Format(IDS_IPOD_NOT_ENOUGH_SPACE, neededText.GetString(), freeText.GetString(), playerName.GetString());
            CString entry;
            entry.Format(L"[SpaceNeeded:%lluKB|SpaceAvail:%lluKB]", needed, available);
            m_strStepLog += entry;
            return E_FAIL;
        }
    }
    CString entry;
    CString noStatus;
    noStatus.Format(IDS_IPOD_NOT_PLAYABLE, static_cast<unsigned>(E_FAIL));
    com::ComPtr<IITOperationStatus> status;
    hr = StartAdd(playlist.Get(), path, L"[AddFile=0x%.8X|iStatus=0x%.8X]", noStatus, status.Put(), text);
    if (FAILED(hr))
        return hr;
    const BOOL finished = WaitWhileAdding(status.Get(), [&] {
        if (mode == 1)
            ++count;
        SendAddProgress(count, mode);
    });
    if (!finished)
        return EndUnfinishedAdd();

    com::ComPtr<IITTrack> track;
    HRESULT nameHr = S_OK, numberHr = S_OK, genreHr = S_OK;
    for (int attempt = 1; attempt <= kFieldAttempts; ++attempt) {
        AddWait(waits.a + waits.b + kStepMs);
        SendAddProgress(mode == 1 ? count + 1 : count / 15, mode);
        track = FirstTrackOf(status.Get());
        if (!track || m_bCancel)
            break;
        AddWait(waits.a + kStepMs);
        com::Bstr name(names.trackName);
        com::Bstr genre(L"Audiobook");
        nameHr = track->put_Name(name);
        numberHr = track->put_TrackNumber(names.partNumber);
        genreHr = track->put_Genre(genre);
        const bool last = attempt == kFieldAttempts;
        if ((FAILED(nameHr) || FAILED(numberHr) || FAILED(genreHr)) && !last)
            continue;
        if (mp4 || mp3) {
            m_strStepLog += L"[Option";
            m_strStepLog += SetAudiobookOptions(track.Get()) ? L" success]" : L" fail]";
        }
        HRESULT artHr = S_OK;
        const CString& cover = m_pJob->m_strCoverPath;
        if (!cover.IsEmpty() && GetFileAttributesW(cover) != INVALID_FILE_ATTRIBUTES) {
            com::Bstr coverPath(cover);
            com::ComPtr<IITArtwork> artwork;
            artHr = track->AddArtworkFromFile(coverPath, artwork.Put());
        }
        AddWait(waits.a + kStepMs);
        com::Bstr album(m_pJob->m_strTitle);
        com::Bstr artist(m_pJob->m_strArtist);
        const HRESULT albumHr = track->put_Album(album);
        const HRESULT artistHr = track->put_Artist(artist);
        entry.Format(L"[Alb:%s|Artist:%s|Art:%s]", m_pJob->m_strTitle.GetString(), m_pJob->m_strArtist.GetString(),
                     cover.GetString());
        m_strStepLog += entry;
        if ((FAILED(artHr) || FAILED(albumHr) || FAILED(artistHr)) && !last)
            continue;
        break;
    }
    if (FAILED(nameHr))
        m_strStepLog += Hex(L"[put_Name=0x%.8X]", nameHr);
    if (FAILED(numberHr))
        m_strStepLog += Hex(L"[put_TrackNumber=0x%.8X]", numberHr);
    if (FAILED(genreHr))
        m_strStepLog += Hex(L"[put_Genre=0x%.8X]", genreHr);
    if (!track || m_bCancel)
        return EndCancelledOrEmptyAdd(track.Get(), noStatus, text);
    AddWait(waits.a + waits.c + kStepMs);

    m_pHelper->Reset();
    CString found;
    LONG foundId = 0;
    m_pHelper->FindExistingParts(names.title, names.partNumber, playerName, audiobook, &found, &foundId);
    if (found.IsEmpty()) {
        entry.Format(L"[NotFound:%s|%d]", names.trackName.GetString(), names.partNumber);
        m_strStepLog += entry;
        *text = noStatus;
        return E_FAIL;
    }
    entry.Format(L"[Found:%s|%d]", found.GetString(), static_cast<int>(foundId));
    m_strStepLog += entry;
    return hr;
}
