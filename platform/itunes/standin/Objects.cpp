#include "Objects.h"

#include "Model.h"

#include <array>
#include <cwchar>
#include <string>
#include <vector>

namespace itunes {

namespace {

#define INJECT(call)                                                \
    do {                                                            \
        const HRESULT injected = Model::Current().Fail(L##call);    \
        if (FAILED(injected))                                       \
            return injected;                                        \
    } while (0)

HRESULT PutText(BSTR* out, const std::wstring& text)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT PutNumber(LONG* out, LONG value)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

// GetITObjectIDs' answer: the source, playlist, track and database numbers, all or none.
HRESULT PutObjectIDs(const std::array<LONG*, 4>& out, const std::array<LONG, 4>& ids)
{
    for (LONG* id : out) {
        if (!id)
            return E_POINTER;
    }
    for (size_t i = 0; i < out.size(); ++i)
        *out[i] = ids[i];
    return S_OK;
}

std::wstring TextOf(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

std::wstring ExtensionOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    const size_t dot = path.rfind(L'.');
    return dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash) ? std::wstring() : path.substr(dot);
}

// The numbers an object of the client gives (one of ours, or a proxy of one).
bool IdsOf(IITObject* object, LONG* source, LONG* playlist, LONG* track)
{
    LONG database = 0;
    return object && SUCCEEDED(object->GetITObjectIDs(source, playlist, track, &database));
}

template <class T, class... Args>
HRESULT Make(REFIID iid, void** result, Args&&... args)
{
    return com::Object<T>::Create(iid, result, std::forward<Args>(args)...);
}

// What every collection shares: items numbered from 1 (an index out of range is
// E_INVALIDARG), ItemByName answering S_OK with no item when no name matches. The collection
// gives its Size() and MakeItem(0-based index, item).
template <class Derived, class Interface, const IID* InterfaceId, class Item>
class CCollection : public com::ObjectRoot<com::ApartmentThreading>, public com::Dispatch<Interface, InterfaceId> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<Derived, Interface>(*InterfaceId),
            com::Implements<Derived, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP get_Count(LONG* count) override { return PutNumber(count, static_cast<LONG>(Self().Size())); }
    STDMETHODIMP get_Item(LONG index, Item** item) override
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        if (index < 1 || index > static_cast<LONG>(Self().Size()))
            return E_INVALIDARG;
        return Self().MakeItem(static_cast<size_t>(index - 1), item);
    }

protected:
    // ItemByName's answer: the first item for which matches(index) holds.
    template <class Matches>
    HRESULT FindItem(Item** item, Matches matches)
    {
        if (!item)
            return E_POINTER;
        *item = nullptr;
        const size_t size = Self().Size();
        for (size_t i = 0; i < size; ++i) {
            if (matches(i))
                return Self().MakeItem(i, item);
        }
        return S_OK;  // none of that name
    }

private:
    Derived& Self() { return *static_cast<Derived*>(this); }
};

// ---- encoders ----

class CEncoder : public com::ObjectRoot<com::ApartmentThreading>, public com::Dispatch<IITEncoder, &IID_IITEncoder> {
public:
    explicit CEncoder(std::wstring name) : m_name(std::move(name)) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CEncoder, IITEncoder>(IID_IITEncoder),
            com::Implements<CEncoder, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP get_Name(BSTR* name) override { return PutText(name, m_name); }
    STDMETHODIMP get_Format(BSTR* format) override
    {
        const size_t blank = m_name.find(L' ');
        return PutText(format, m_name.substr(0, blank));
    }

private:
    std::wstring m_name;
};

class CEncoderCollection
    : public CCollection<CEncoderCollection, IITEncoderCollection, &IID_IITEncoderCollection, IITEncoder> {
public:
    size_t Size() const { return Model::Current().encoders.size(); }
    HRESULT MakeItem(size_t index, IITEncoder** encoder)
    {
        return Make<CEncoder>(IID_IITEncoder, reinterpret_cast<void**>(encoder), Model::Current().encoders[index]);
    }
    STDMETHODIMP get_ItemByName(BSTR name, IITEncoder** encoder) override
    {
        INJECT("ItemByName");
        return FindItem(encoder, [&](size_t i) { return Model::Current().encoders[i] == TextOf(name); });
    }
};

// ---- artwork ----

class CArtwork : public com::ObjectRoot<com::ApartmentThreading>, public com::Dispatch<IITArtwork, &IID_IITArtwork> {
public:
    CArtwork(LONG track, size_t index) : m_track(track), m_index(index) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CArtwork, IITArtwork>(IID_IITArtwork),
            com::Implements<CArtwork, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP Delete() override
    {
        const std::wstring* file = File();
        if (!file)
            return ITUNES_E_OBJECTDELETED;
        Track* track = Model::Current().FindTrack(m_track);
        track->artwork.erase(track->artwork.begin() + static_cast<std::ptrdiff_t>(m_index));
        Model::Current().Save();
        return S_OK;
    }
    STDMETHODIMP SaveArtworkToFile(BSTR path) override
    {
        INJECT("SaveArtworkToFile");
        const std::wstring* file = File();
        if (!file)
            return ITUNES_E_OBJECTDELETED;
        return CopyFileW(file->c_str(), TextOf(path).c_str(), FALSE) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    STDMETHODIMP get_Format(LONG* format) override
    {
        if (!format)
            return E_POINTER;
        const std::wstring* file = File();
        if (!file)
            return ITUNES_E_OBJECTDELETED;
        const std::wstring extension = ExtensionOf(*file);
        *format = _wcsicmp(extension.c_str(), L".jpg") == 0 || _wcsicmp(extension.c_str(), L".jpeg") == 0 ? ITArtworkFormatJPEG
                  : _wcsicmp(extension.c_str(), L".png") == 0                                              ? ITArtworkFormatPNG
                  : _wcsicmp(extension.c_str(), L".bmp") == 0                                              ? ITArtworkFormatBMP
                                                                                                            : ITArtworkFormatUnknown;
        return S_OK;
    }

private:
    const std::wstring* File() const
    {
        const Track* track = Model::Current().FindTrack(m_track);
        return track && m_index < track->artwork.size() ? &track->artwork[m_index] : nullptr;
    }
    LONG m_track;
    size_t m_index;
};

class CArtworkCollection
    : public CCollection<CArtworkCollection, IITArtworkCollection, &IID_IITArtworkCollection, IITArtwork> {
public:
    explicit CArtworkCollection(LONG track) : m_track(track) {}
    size_t Size() const
    {
        const Track* track = Model::Current().FindTrack(m_track);
        return track ? track->artwork.size() : 0;
    }
    HRESULT MakeItem(size_t index, IITArtwork** artwork)
    {
        return Make<CArtwork>(IID_IITArtwork, reinterpret_cast<void**>(artwork), m_track, index);
    }

private:
    LONG m_track;
};

// ---- tracks ----

class CTrack : public com::ObjectRoot<com::ApartmentThreading>,
               public com::Dispatch<IITFileOrCDTrack, &IID_IITFileOrCDTrack> {
public:
    explicit CTrack(LONG id) : m_id(id) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CTrack, IITFileOrCDTrack>(IID_IITFileOrCDTrack),
            com::Implements<CTrack, IITTrack>(IID_IITTrack),
            com::Implements<CTrack, IITObject>(IID_IITObject),
            com::Implements<CTrack, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP GetITObjectIDs(LONG* sourceID, LONG* playlistID, LONG* trackID, LONG* databaseID) override
    {
        const Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        const Playlist* main = Model::Current().MainPlaylist(track->sourceId);
        return PutObjectIDs({sourceID, playlistID, trackID, databaseID},
                            {track->sourceId, main ? main->id : 0, track->id, track->id});
    }
    STDMETHODIMP get_Name(BSTR* name) override { return GetText(name, &Track::name); }
    STDMETHODIMP put_Name(BSTR name) override
    {
        INJECT("put_Name");
        return SetText(name, &Track::name);
    }
    STDMETHODIMP get_Index(LONG* index) override { return PutNumber(index, m_id); }
    STDMETHODIMP Delete() override
    {
        INJECT("Delete");
        if (!Model::Current().FindTrack(m_id))
            return ITUNES_E_OBJECTDELETED;
        Model::Current().DeleteTrack(m_id);
        Model::Current().Save();
        return S_OK;
    }
    STDMETHODIMP get_Kind(LONG* kind) override
    {
        if (!kind)
            return E_POINTER;
        *kind = 1;  // a file track
        return S_OK;
    }
    STDMETHODIMP get_Artist(BSTR* artist) override { return GetText(artist, &Track::artist); }
    STDMETHODIMP put_Artist(BSTR artist) override
    {
        INJECT("put_Artist");
        return SetText(artist, &Track::artist);
    }
    STDMETHODIMP get_Album(BSTR* album) override { return GetText(album, &Track::album); }
    STDMETHODIMP put_Album(BSTR album) override
    {
        INJECT("put_Album");
        return SetText(album, &Track::album);
    }
    STDMETHODIMP get_Genre(BSTR* genre) override { return GetText(genre, &Track::genre); }
    STDMETHODIMP put_Genre(BSTR genre) override
    {
        INJECT("put_Genre");
        return SetText(genre, &Track::genre);
    }
    STDMETHODIMP get_TrackNumber(LONG* number) override { return GetNumber(number, &Track::number); }
    STDMETHODIMP put_TrackNumber(LONG number) override
    {
        INJECT("put_TrackNumber");
        Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        track->number = number;
        Model::Current().Save();
        return S_OK;
    }
    STDMETHODIMP get_Duration(LONG* seconds) override { return GetNumber(seconds, &Track::duration); }
    STDMETHODIMP get_Time(BSTR* time) override
    {
        const Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        wchar_t text[32];
        swprintf(text, 32, L"%ld:%02ld", static_cast<long>(track->duration / 60), static_cast<long>(track->duration % 60));
        return PutText(time, text);
    }
    STDMETHODIMP AddArtworkFromFile(BSTR path, IITArtwork** artwork) override
    {
        INJECT("AddArtworkFromFile");
        if (artwork)
            *artwork = nullptr;
        Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        // iTunes keeps a copy of its own.
        const std::wstring copy = Model::Current().MediaPath(L"artwork-" + std::to_wstring(m_id) + L"-" +
                                                             std::to_wstring(track->artwork.size() + 1) +
                                                             ExtensionOf(TextOf(path)));
        if (!CopyFileW(TextOf(path).c_str(), copy.c_str(), FALSE))
            return HRESULT_FROM_WIN32(GetLastError());
        track->artwork.push_back(copy);
        Model::Current().Save();
        if (!artwork)
            return S_OK;
        return Make<CArtwork>(IID_IITArtwork, reinterpret_cast<void**>(artwork), m_id, track->artwork.size() - 1);
    }
    STDMETHODIMP get_Artwork(IITArtworkCollection** artwork) override
    {
        if (!artwork)
            return E_POINTER;
        *artwork = nullptr;
        if (!Model::Current().FindTrack(m_id))
            return ITUNES_E_OBJECTDELETED;
        return Make<CArtworkCollection>(IID_IITArtworkCollection, reinterpret_cast<void**>(artwork), m_id);
    }
    STDMETHODIMP get_Location(BSTR* path) override { return GetText(path, &Track::location); }
    STDMETHODIMP get_RememberBookmark(VARIANT_BOOL* value) override { return GetFlag(value, &Track::rememberBookmark); }
    STDMETHODIMP put_RememberBookmark(VARIANT_BOOL value) override
    {
        INJECT("put_RememberBookmark");
        return SetFlag(value, &Track::rememberBookmark);
    }
    STDMETHODIMP get_ExcludeFromShuffle(VARIANT_BOOL* value) override { return GetFlag(value, &Track::excludeFromShuffle); }
    STDMETHODIMP put_ExcludeFromShuffle(VARIANT_BOOL value) override
    {
        INJECT("put_ExcludeFromShuffle");
        return SetFlag(value, &Track::excludeFromShuffle);
    }

private:
    HRESULT GetText(BSTR* out, std::wstring Track::*field)
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        const Track* track = Model::Current().FindTrack(m_id);
        return track ? PutText(out, track->*field) : ITUNES_E_OBJECTDELETED;
    }
    HRESULT SetText(BSTR text, std::wstring Track::*field)
    {
        Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        track->*field = TextOf(text);
        Model::Current().Save();
        return S_OK;
    }
    HRESULT GetNumber(LONG* out, LONG Track::*field)
    {
        if (!out)
            return E_POINTER;
        const Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        *out = track->*field;
        return S_OK;
    }
    HRESULT GetFlag(VARIANT_BOOL* out, bool Track::*field)
    {
        if (!out)
            return E_POINTER;
        const Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        *out = track->*field ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT SetFlag(VARIANT_BOOL value, bool Track::*field)
    {
        Track* track = Model::Current().FindTrack(m_id);
        if (!track)
            return ITUNES_E_OBJECTDELETED;
        track->*field = value != VARIANT_FALSE;
        Model::Current().Save();
        return S_OK;
    }
    LONG m_id;
};

class CTrackCollection : public CCollection<CTrackCollection, IITTrackCollection, &IID_IITTrackCollection, IITTrack> {
public:
    explicit CTrackCollection(std::vector<LONG> ids) : m_ids(std::move(ids)) {}
    size_t Size() const { return m_ids.size(); }
    HRESULT MakeItem(size_t index, IITTrack** track)
    {
        if (!Model::Current().FindTrack(m_ids[index]))
            return ITUNES_E_OBJECTDELETED;
        return Make<CTrack>(IID_IITTrack, reinterpret_cast<void**>(track), m_ids[index]);
    }
    STDMETHODIMP get_ItemByName(BSTR name, IITTrack** track) override
    {
        return FindItem(track, [&](size_t i) {
            const Track* candidate = Model::Current().FindTrack(m_ids[i]);
            return candidate && _wcsicmp(candidate->name.c_str(), TextOf(name).c_str()) == 0;
        });
    }

private:
    std::vector<LONG> m_ids;
};

HRESULT MakeTracks(std::vector<LONG> ids, IITTrackCollection** tracks)
{
    if (!tracks)
        return E_POINTER;
    *tracks = nullptr;
    return Make<CTrackCollection>(IID_IITTrackCollection, reinterpret_cast<void**>(tracks), std::move(ids));
}

// ---- operations ----

// An add (tracks known at once, in progress for some polls) or a conversion (its track made
// when it ends).
class CStatus : public com::ObjectRoot<com::ApartmentThreading>,
                public com::Dispatch<IITConvertOperationStatus, &IID_IITConvertOperationStatus> {
public:
    CStatus(std::vector<LONG> tracks, LONG polls) : m_tracks(std::move(tracks)), m_polls(polls) {}
    CStatus(std::wstring source, LONG polls) : m_source(std::move(source)), m_polls(polls), m_converting(true) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CStatus, IITConvertOperationStatus>(IID_IITConvertOperationStatus),
            com::Implements<CStatus, IITOperationStatus>(IID_IITOperationStatus),
            com::Implements<CStatus, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP get_InProgress(VARIANT_BOOL* inProgress) override
    {
        INJECT("InProgress");
        if (!inProgress)
            return E_POINTER;
        if (!m_ended && !m_stopped && m_polls != 0) {
            if (m_polls > 0)
                --m_polls;
            m_progress = std::min<LONG>(m_progress + 10, kMaximum - 1);
            *inProgress = VARIANT_TRUE;
            return S_OK;
        }
        End();
        *inProgress = VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_Tracks(IITTrackCollection** tracks) override
    {
        INJECT("Tracks");
        if (!m_stopped && m_polls == 0)
            End();
        return MakeTracks(m_tracks, tracks);
    }
    STDMETHODIMP get_ProgressValue(LONG* value) override { return PutNumber(value, m_progress); }
    STDMETHODIMP get_MaxProgressValue(LONG* value) override { return PutNumber(value, kMaximum); }
    STDMETHODIMP StopConversion() override
    {
        m_stopped = true;
        return S_OK;
    }

private:
    static constexpr LONG kMaximum = 100;
    // A conversion that ran to its end makes its file and the library track for it.
    void End()
    {
        if (m_ended || m_stopped)
            return;
        m_ended = true;
        if (!m_converting)
            return;
        m_progress = kMaximum;
        std::wstring name = m_source.substr(m_source.find_last_of(L"\\/") + 1);
        const size_t dot = name.rfind(L'.');
        if (dot != std::wstring::npos)
            name.resize(dot);
        const std::wstring target = Model::Current().MediaPath(name + L".m4a");
        if (!ConvertWavToMp4(m_source, target))
            return;
        Model& model = Model::Current();
        for (const Source& source : model.sources) {
            if (source.kind == ITSourceKindLibrary) {
                m_tracks.push_back(model.AddTrackFromFile(source.id, target));
                break;
            }
        }
        model.Save();
    }

    std::vector<LONG> m_tracks;
    std::wstring m_source;
    LONG m_polls;
    LONG m_progress = 0;
    bool m_converting = false;
    bool m_ended = false;
    bool m_stopped = false;
};

// ---- playlists ----

class CSource;
HRESULT MakeSource(LONG id, IITSource** source);

class CPlaylist : public com::ObjectRoot<com::ApartmentThreading>,
                  public com::Dispatch<IITLibraryPlaylist, &IID_IITLibraryPlaylist>,
                  public com::Dispatch<IITUserPlaylist, &IID_IITUserPlaylist> {
public:
    explicit CPlaylist(LONG id) : m_id(id) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CPlaylist, IITLibraryPlaylist>(IID_IITPlaylist),
            com::Implements<CPlaylist, IITLibraryPlaylist>(IID_IITLibraryPlaylist),
            com::Implements<CPlaylist, IITUserPlaylist>(IID_IITUserPlaylist),
            com::Implements<CPlaylist, IITLibraryPlaylist>(IID_IITObject),
            com::Implements<CPlaylist, IITLibraryPlaylist>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP GetITObjectIDs(LONG* sourceID, LONG* playlistID, LONG* trackID, LONG* databaseID) override
    {
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        return PutObjectIDs({sourceID, playlistID, trackID, databaseID}, {playlist->sourceId, playlist->id, 0, 0});
    }
    STDMETHODIMP get_Name(BSTR* name) override
    {
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!name)
            return E_POINTER;
        *name = nullptr;
        return playlist ? PutText(name, playlist->name) : ITUNES_E_OBJECTDELETED;
    }
    STDMETHODIMP put_Name(BSTR name) override
    {
        Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        playlist->name = TextOf(name);
        Model::Current().Save();
        return S_OK;
    }
    STDMETHODIMP get_Index(LONG* index) override { return PutNumber(index, m_id); }
    STDMETHODIMP Delete() override
    {
        Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        const Source* source = Model::Current().FindSource(playlist->sourceId);
        if (source && source->locked)
            return ITUNES_E_OBJECTLOCKED;
        playlist->deleted = true;
        Model::Current().Save();
        return S_OK;
    }
    STDMETHODIMP get_Kind(LONG* kind) override
    {
        if (!kind)
            return E_POINTER;
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        *kind = playlist->kind;
        return S_OK;
    }
    STDMETHODIMP get_Source(IITSource** source) override
    {
        if (!source)
            return E_POINTER;
        *source = nullptr;
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        return playlist ? MakeSource(playlist->sourceId, source) : ITUNES_E_OBJECTDELETED;
    }
    STDMETHODIMP get_Tracks(IITTrackCollection** tracks) override
    {
        INJECT("Tracks");
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        return MakeTracks(playlist->tracks, tracks);
    }
    // The tracks whose name, artist or album holds the text (case-insensitive); null when none.
    STDMETHODIMP Search(BSTR text, LONG, IITTrackCollection** tracks) override
    {
        INJECT("Search");
        if (!tracks)
            return E_POINTER;
        *tracks = nullptr;
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        std::wstring wanted = TextOf(text);
        CharLowerBuffW(wanted.data(), static_cast<DWORD>(wanted.size()));
        std::vector<LONG> found;
        for (LONG id : playlist->tracks) {
            const Track* track = Model::Current().FindTrack(id);
            if (!track)
                continue;
            for (std::wstring field : {track->name, track->artist, track->album}) {
                CharLowerBuffW(field.data(), static_cast<DWORD>(field.size()));
                if (!wanted.empty() && field.find(wanted) != std::wstring::npos) {
                    found.push_back(id);
                    break;
                }
            }
        }
        if (found.empty())
            return S_OK;
        return MakeTracks(std::move(found), tracks);
    }
    STDMETHODIMP AddFile(BSTR path, IITOperationStatus** status) override
    {
        INJECT("AddFile");
        if (!status)
            return E_POINTER;
        *status = nullptr;
        Model& model = Model::Current();
        Playlist* playlist = model.FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        const Source* source = model.FindSource(playlist->sourceId);
        if (source && source->locked)
            return ITUNES_E_OBJECTLOCKED;
        if (GetFileAttributesW(TextOf(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return S_OK;  // nothing added: no status
        model.Keep(TextOf(path));
        const LONG track = model.AddTrackFromFile(playlist->sourceId, TextOf(path));
        playlist = model.FindPlaylist(m_id);
        if (playlist->kind != ITPlaylistKindLibrary)
            playlist->tracks.push_back(track);
        model.Save();
        return Make<CStatus>(IID_IITOperationStatus, reinterpret_cast<void**>(status), std::vector<LONG>{track},
                             model.addPolls);
    }
    STDMETHODIMP AddTrack(IITTrack* track, IITTrack** added) override
    {
        INJECT("AddTrack");
        if (added)
            *added = nullptr;
        LONG sourceId = 0, playlistId = 0, trackId = 0;
        if (!IdsOf(track, &sourceId, &playlistId, &trackId))
            return E_INVALIDARG;
        Model& model = Model::Current();
        Playlist* playlist = model.FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        const Source* source = model.FindSource(playlist->sourceId);
        if (source && source->locked)
            return ITUNES_E_OBJECTLOCKED;
        const LONG copy = model.CopyTrackTo(trackId, *playlist);
        if (!copy)
            return ITUNES_E_OBJECTDELETED;
        model.Save();
        if (!added)
            return S_OK;
        return Make<CTrack>(IID_IITTrack, reinterpret_cast<void**>(added), copy);
    }
    STDMETHODIMP get_SpecialKind(LONG* kind) override
    {
        if (!kind)
            return E_POINTER;
        const Playlist* playlist = Model::Current().FindPlaylist(m_id);
        if (!playlist)
            return ITUNES_E_OBJECTDELETED;
        *kind = playlist->specialKind;
        return S_OK;
    }

private:
    LONG m_id;
};

HRESULT MakePlaylist(LONG id, REFIID iid, void** playlist)
{
    return Make<CPlaylist>(iid, playlist, id);
}

class CPlaylistCollection
    : public CCollection<CPlaylistCollection, IITPlaylistCollection, &IID_IITPlaylistCollection, IITPlaylist> {
public:
    explicit CPlaylistCollection(LONG source) : m_ids(Model::Current().PlaylistsOf(source)) {}
    size_t Size() const { return m_ids.size(); }
    HRESULT MakeItem(size_t index, IITPlaylist** playlist)
    {
        return MakePlaylist(m_ids[index], IID_IITPlaylist, reinterpret_cast<void**>(playlist));
    }
    STDMETHODIMP get_ItemByName(BSTR name, IITPlaylist** playlist) override
    {
        return FindItem(playlist, [&](size_t i) {
            const Playlist* candidate = Model::Current().FindPlaylist(m_ids[i]);
            return candidate && candidate->name == TextOf(name);
        });
    }

private:
    std::vector<LONG> m_ids;
};

// ---- sources ----

class CSource : public com::ObjectRoot<com::ApartmentThreading>, public com::Dispatch<IITIPodSource, &IID_IITIPodSource> {
public:
    explicit CSource(LONG id) : m_id(id) {}
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CSource, IITIPodSource>(IID_IITIPodSource),
            com::Implements<CSource, IITSource>(IID_IITSource),
            com::Implements<CSource, IITObject>(IID_IITObject),
            com::Implements<CSource, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP GetITObjectIDs(LONG* sourceID, LONG* playlistID, LONG* trackID, LONG* databaseID) override
    {
        return PutObjectIDs({sourceID, playlistID, trackID, databaseID}, {m_id, 0, 0, 0});
    }
    STDMETHODIMP get_Name(BSTR* name) override
    {
        const Source* source = Model::Current().FindSource(m_id);
        if (!name)
            return E_POINTER;
        *name = nullptr;
        return source ? PutText(name, source->name) : ITUNES_E_OBJECTDELETED;
    }
    STDMETHODIMP put_Name(BSTR) override { return E_NOTIMPL; }
    STDMETHODIMP get_Index(LONG* index) override { return PutNumber(index, m_id); }
    STDMETHODIMP get_Kind(LONG* kind) override
    {
        if (!kind)
            return E_POINTER;
        const Source* source = Model::Current().FindSource(m_id);
        if (!source)
            return ITUNES_E_OBJECTDELETED;
        *kind = source->kind;
        return S_OK;
    }
    STDMETHODIMP get_Capacity(double* bytes) override
    {
        if (!bytes)
            return E_POINTER;
        const Source* source = Model::Current().FindSource(m_id);
        if (!source)
            return ITUNES_E_OBJECTDELETED;
        *bytes = source->capacity;
        return S_OK;
    }
    STDMETHODIMP get_FreeSpace(double* bytes) override
    {
        INJECT("FreeSpace");
        if (!bytes)
            return E_POINTER;
        const Source* source = Model::Current().FindSource(m_id);
        if (!source)
            return ITUNES_E_OBJECTDELETED;
        *bytes = source->freeSpace;
        return S_OK;
    }
    STDMETHODIMP get_Playlists(IITPlaylistCollection** playlists) override
    {
        INJECT("Playlists");
        if (!playlists)
            return E_POINTER;
        *playlists = nullptr;
        if (!Model::Current().FindSource(m_id))
            return ITUNES_E_OBJECTDELETED;
        return Make<CPlaylistCollection>(IID_IITPlaylistCollection, reinterpret_cast<void**>(playlists), m_id);
    }
    STDMETHODIMP EjectIPod() override
    {
        INJECT("EjectIPod");
        Model& model = Model::Current();
        Source* source = model.FindSource(m_id);
        if (!source)
            return ITUNES_E_OBJECTDELETED;
        if (source->kind != ITSourceKindIPod)
            return E_INVALIDARG;  // only an iPod is ejected
        source->ejected = true;
        model.Save();
        return S_OK;
    }

private:
    LONG m_id;
};

HRESULT MakeSource(LONG id, IITSource** source)
{
    return Make<CSource>(IID_IITSource, reinterpret_cast<void**>(source), id);
}

class CSourceCollection
    : public CCollection<CSourceCollection, IITSourceCollection, &IID_IITSourceCollection, IITSource> {
public:
    size_t Size() const { return Model::Current().sources.size(); }
    HRESULT MakeItem(size_t index, IITSource** source) { return MakeSource(Model::Current().sources[index].id, source); }
    STDMETHODIMP get_ItemByName(BSTR name, IITSource** source) override
    {
        return FindItem(source, [&](size_t i) { return Model::Current().sources[i].name == TextOf(name); });
    }
};

// ---- the application ----

class CApp : public com::ObjectRoot<com::ApartmentThreading>, public com::Dispatch<IiTunes, &IID_IiTunes> {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CApp, IiTunes>(IID_IiTunes),
            com::Implements<CApp, IDispatch>(IID_IDispatch),
            {},
        };
        return table;
    }
    STDMETHODIMP CheckVersion(LONG major, LONG minor, VARIANT_BOOL* compatible) override
    {
        INJECT("CheckVersion");
        if (!compatible)
            return E_POINTER;
        const Model& model = Model::Current();
        const bool ok = model.versionMajor > major || (model.versionMajor == major && model.versionMinor >= minor);
        *compatible = ok ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP get_Sources(IITSourceCollection** sources) override
    {
        INJECT("Sources");
        if (!sources)
            return E_POINTER;
        *sources = nullptr;
        ++Model::Current().sourcesCalls;
        Model::Current().Save();
        return Make<CSourceCollection>(IID_IITSourceCollection, reinterpret_cast<void**>(sources));
    }
    STDMETHODIMP get_Encoders(IITEncoderCollection** encoders) override
    {
        INJECT("Encoders");
        if (!encoders)
            return E_POINTER;
        *encoders = nullptr;
        return Make<CEncoderCollection>(IID_IITEncoderCollection, reinterpret_cast<void**>(encoders));
    }
    STDMETHODIMP get_CurrentEncoder(IITEncoder** encoder) override
    {
        INJECT("get_CurrentEncoder");
        if (!encoder)
            return E_POINTER;
        *encoder = nullptr;
        return Make<CEncoder>(IID_IITEncoder, reinterpret_cast<void**>(encoder), Model::Current().currentEncoder);
    }
    STDMETHODIMP put_CurrentEncoder(IITEncoder* encoder) override
    {
        INJECT("put_CurrentEncoder");
        BSTR name = nullptr;
        if (!encoder || FAILED(encoder->get_Name(&name)))
            return E_INVALIDARG;
        Model::Current().currentEncoder = TextOf(name);
        SysFreeString(name);
        Model::Current().Save();
        return S_OK;
    }
    STDMETHODIMP ConvertFile2(BSTR path, IITConvertOperationStatus** status) override
    {
        INJECT("ConvertFile2");
        if (!status)
            return E_POINTER;
        *status = nullptr;
        if (GetFileAttributesW(TextOf(path).c_str()) == INVALID_FILE_ATTRIBUTES)
            return E_INVALIDARG;
        Model::Current().Keep(TextOf(path));
        return Make<CStatus>(IID_IITConvertOperationStatus, reinterpret_cast<void**>(status), TextOf(path),
                             Model::Current().convertPolls);
    }
    STDMETHODIMP GetITObjectByID(LONG sourceID, LONG playlistID, LONG trackID, LONG, IITObject** object) override
    {
        INJECT("GetITObjectByID");
        if (!object)
            return E_POINTER;
        *object = nullptr;
        Model& model = Model::Current();
        if (trackID)
            return model.FindTrack(trackID) ? Make<CTrack>(IID_IITObject, reinterpret_cast<void**>(object), trackID)
                                            : E_INVALIDARG;
        if (playlistID) {
            const Playlist* playlist = model.FindPlaylist(playlistID);
            return playlist && playlist->sourceId == sourceID ? MakePlaylist(playlistID, IID_IITObject, reinterpret_cast<void**>(object))
                                                              : E_INVALIDARG;
        }
        return model.FindSource(sourceID) ? Make<CSource>(IID_IITObject, reinterpret_cast<void**>(object), sourceID)
                                          : E_INVALIDARG;
    }
    STDMETHODIMP CreateFolderInSource(BSTR name, IITSource* source, IITUserPlaylist** folder) override
    {
        INJECT("CreateFolderInSource");
        return CreateIn(name, source, 4, IID_IITUserPlaylist, reinterpret_cast<void**>(folder));
    }
    STDMETHODIMP CreatePlaylistInSource(BSTR name, IITSource* source, IITPlaylist** playlist) override
    {
        INJECT("CreatePlaylistInSource");
        return CreateIn(name, source, 0, IID_IITPlaylist, reinterpret_cast<void**>(playlist));
    }
    STDMETHODIMP get_LibraryPlaylist(IITLibraryPlaylist** playlist) override
    {
        if (!playlist)
            return E_POINTER;
        *playlist = nullptr;
        Model& model = Model::Current();
        for (const Source& source : model.sources) {
            if (source.kind == ITSourceKindLibrary) {
                if (const Playlist* main = model.MainPlaylist(source.id))
                    return MakePlaylist(main->id, IID_IITLibraryPlaylist, reinterpret_cast<void**>(playlist));
            }
        }
        return E_FAIL;
    }

private:
    static HRESULT CreateIn(BSTR name, IITSource* source, LONG specialKind, REFIID iid, void** result)
    {
        if (!result)
            return E_POINTER;
        *result = nullptr;
        LONG sourceId = 0, playlistId = 0, trackId = 0;
        if (!IdsOf(source, &sourceId, &playlistId, &trackId))
            return E_INVALIDARG;
        Model& model = Model::Current();
        const Source* target = model.FindSource(sourceId);
        if (!target)
            return E_INVALIDARG;
        if (target->locked)
            return ITUNES_E_OBJECTLOCKED;
        const LONG id = model.AddPlaylist(sourceId, TextOf(name), ITPlaylistKindUser, specialKind);
        model.Save();
        return MakePlaylist(id, iid, result);
    }
};

}  // namespace

HRESULT CreateApplication(IUnknown* outer, REFIID iid, void** object)
{
    if (object)
        *object = nullptr;
    INJECT("Create");
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return Make<CApp>(iid, object);
}

}  // namespace itunes
