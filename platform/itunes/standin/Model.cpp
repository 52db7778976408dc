#include "Model.h"

#include <shlwapi.h>

#include <algorithm>

namespace itunes {

namespace {

std::vector<std::wstring> SplitBars(const std::wstring& text)
{
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t bar = text.find(L'|', start);
        const std::wstring part = text.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start);
        if (!part.empty())
            parts.push_back(part);
        if (bar == std::wstring::npos)
            break;
        start = bar + 1;
    }
    return parts;
}

std::wstring JoinBars(const std::vector<std::wstring>& parts)
{
    std::wstring text;
    for (const std::wstring& part : parts)
        text += (text.empty() ? L"" : L"|") + part;
    return text;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}


}  // namespace

Model& Model::Current()
{
    static Model model;
    return model;
}

HRESULT Model::Fail(const wchar_t* call) const
{
    if (!m_fixture || !m_fixture->Exists())
        return S_OK;
    return standin::InjectedFailure(m_fixture->Path(), L"iTunes", call);
}

void Model::Load()
{
    m_fixture = std::make_unique<standin::FixtureFile>(L"VESPERLIN_ITUNES");
    const standin::FixtureFile& f = *m_fixture;
    const std::wstring version = f.Text(L"iTunes", L"Version", L"1.12");
    versionMajor = _wtol(version.c_str());
    const size_t dot = version.find(L'.');
    versionMinor = dot == std::wstring::npos ? 0 : _wtol(version.c_str() + dot + 1);
    encoders = SplitBars(f.Text(L"iTunes", L"Encoders", L"AAC Encoder|MP3 Encoder|WAV Encoder"));
    currentEncoder = f.Text(L"iTunes", L"CurrentEncoder", encoders.empty() ? L"" : encoders.back().c_str());
    convertPolls = static_cast<LONG>(static_cast<LONGLONG>(f.Number(L"iTunes", L"ConvertPolls", 2)));
    if (f.Text(L"iTunes", L"ConvertPolls") == L"-1")
        convertPolls = -1;
    addPolls = static_cast<LONG>(f.Number(L"iTunes", L"AddPolls", 1));
    if (f.Text(L"iTunes", L"AddPolls") == L"-1")
        addPolls = -1;
    if (f.Exists()) {
        m_statePath = f.Beside(f.Text(L"iTunes", L"State", L"iTunes.state.ini"));
        m_mediaFolder = f.Folder(L"iTunes", L"Media", L"iTunes Media");
        if (!f.Text(L"iTunes", L"Keep").empty()) {
            m_keepFolder = f.Folder(L"iTunes", L"Keep", L"");
            CreateDirectoryW(m_keepFolder.c_str(), nullptr);
        }
    } else {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_mediaFolder = std::wstring(temp) + L"iTunes Media";
    }
    CreateDirectoryW(m_mediaFolder.c_str(), nullptr);

    std::vector<std::wstring> sections = f.Sections(L"Sources", L"Source", 16);
    if (sections.empty()) {
        Source library;
        library.id = 1;
        library.name = L"Library";
        sources.push_back(library);
        AddPlaylist(1, L"Library", 1, 0);
    }
    for (const std::wstring& section : sections) {
        Source source;
        source.id = static_cast<LONG>(sources.size() + 1);
        source.kind = static_cast<LONG>(f.Number(section, L"Kind", 2));
        source.name = f.Text(section, L"Name", source.kind == 1 ? L"Library" : L"iPod");
        source.freeSpace = static_cast<double>(f.Number(section, L"FreeSpace", 1ull << 32));
        source.capacity = static_cast<double>(f.Number(section, L"Capacity", 1ull << 33));
        source.locked = f.Number(section, L"Locked", 0) != 0;
        sources.push_back(source);
        AddPlaylist(source.id, source.kind == 1 ? L"Library" : source.name, 1, 0);
        for (const std::wstring& name : SplitBars(f.Text(section, L"Playlists")))
            AddPlaylist(source.id, name, 2, 0);
        const std::wstring audiobooks = f.Text(section, L"Audiobooks");
        if (!audiobooks.empty())
            AddPlaylist(source.id, audiobooks, 2, 9);
    }
    for (const std::wstring& section : f.Sections(L"Tracks", L"Track", 256)) {
        Track track;
        track.id = m_nextId++;
        track.sourceId = static_cast<LONG>(f.Number(section, L"Source", 1));
        if (!FindSource(track.sourceId))
            continue;
        track.name = f.Text(section, L"Name");
        track.artist = f.Text(section, L"Artist");
        track.album = f.Text(section, L"Album");
        track.genre = f.Text(section, L"Genre");
        track.number = static_cast<LONG>(f.Number(section, L"Number", 0));
        track.duration = static_cast<LONG>(f.Number(section, L"Duration", 0));
        track.location = f.Text(section, L"Location");
        const std::wstring artwork = f.Text(section, L"Artwork");
        if (!artwork.empty())
            track.artwork.push_back(f.Beside(artwork));
        tracks.push_back(track);
        MainPlaylist(track.sourceId)->tracks.push_back(track.id);
        for (const std::wstring& name : SplitBars(f.Text(section, L"Playlists"))) {
            for (Playlist& playlist : playlists) {
                if (playlist.sourceId == track.sourceId && playlist.name == name && playlist.kind == 2)
                    playlist.tracks.push_back(track.id);
            }
        }
    }
    Save();
}

void Model::Save()
{
    if (m_statePath.empty())
        return;
    std::wstring text = L"[iTunes]\r\nCurrentEncoder=" + currentEncoder + L"\r\nSources=" +
                        std::to_wstring(sourcesCalls) + L"\r\nClosed=" + (closed ? L"1" : L"0") + L"\r\n";
    std::vector<std::wstring> ejected;
    for (const Source& source : sources) {
        if (source.ejected)
            ejected.push_back(source.name);
    }
    text += L"Ejected=" + JoinBars(ejected) + L"\r\n";
    int count = 0;
    std::wstring body;
    for (const Playlist& playlist : playlists) {
        if (playlist.deleted)
            continue;
        std::vector<std::wstring> ids;
        for (LONG id : playlist.tracks)
            ids.push_back(std::to_wstring(id));
        const Source* source = FindSource(playlist.sourceId);
        body += L"[Playlist" + std::to_wstring(++count) + L"]\r\nSource=" + (source ? source->name : L"") +
                L"\r\nName=" + playlist.name + L"\r\nKind=" + std::to_wstring(playlist.kind) + L"\r\nSpecialKind=" +
                std::to_wstring(playlist.specialKind) + L"\r\nTracks=" + JoinBars(ids) + L"\r\n";
    }
    text += L"[Playlists]\r\nCount=" + std::to_wstring(count) + L"\r\n" + body;
    count = 0;
    body.clear();
    for (const Track& track : tracks) {
        if (track.deleted)
            continue;
        std::vector<std::wstring> in;
        for (const Playlist& playlist : playlists) {
            if (!playlist.deleted && std::find(playlist.tracks.begin(), playlist.tracks.end(), track.id) != playlist.tracks.end())
                in.push_back(playlist.name);
        }
        const Source* source = FindSource(track.sourceId);
        body += L"[Track" + std::to_wstring(++count) + L"]\r\nId=" + std::to_wstring(track.id) + L"\r\nSource=" +
                (source ? source->name : L"") + L"\r\nPlaylists=" + JoinBars(in) + L"\r\nName=" + track.name +
                L"\r\nArtist=" + track.artist + L"\r\nAlbum=" + track.album + L"\r\nGenre=" + track.genre +
                L"\r\nNumber=" + std::to_wstring(track.number) + L"\r\nLocation=" + track.location +
                L"\r\nRememberBookmark=" + (track.rememberBookmark ? L"1" : L"0") + L"\r\nExcludeFromShuffle=" +
                (track.excludeFromShuffle ? L"1" : L"0") + L"\r\nArtwork=" + JoinBars(track.artwork) + L"\r\n";
    }
    text += L"[Tracks]\r\nCount=" + std::to_wstring(count) + L"\r\n" + body;
    // UTF-16 with its mark, as the profile functions read it.
    std::wstring withMark = L"\xFEFF" + text;
    const std::wstring temporary = m_statePath + L".new";
    if (standin::WriteFileBytes(temporary, withMark.data(), withMark.size() * sizeof(wchar_t)))
        MoveFileExW(temporary.c_str(), m_statePath.c_str(), MOVEFILE_REPLACE_EXISTING);
}

Source* Model::FindSource(LONG id)
{
    for (Source& source : sources) {
        if (source.id == id)
            return &source;
    }
    return nullptr;
}

Playlist* Model::FindPlaylist(LONG id)
{
    for (Playlist& playlist : playlists) {
        if (playlist.id == id && !playlist.deleted)
            return &playlist;
    }
    return nullptr;
}

Track* Model::FindTrack(LONG id)
{
    for (Track& track : tracks) {
        if (track.id == id && !track.deleted)
            return &track;
    }
    return nullptr;
}

Playlist* Model::MainPlaylist(LONG sourceId)
{
    for (Playlist& playlist : playlists) {
        if (playlist.sourceId == sourceId && playlist.kind == 1 && !playlist.deleted)
            return &playlist;
    }
    return nullptr;
}

std::vector<LONG> Model::PlaylistsOf(LONG sourceId) const
{
    std::vector<LONG> ids;
    for (const Playlist& playlist : playlists) {
        if (playlist.sourceId == sourceId && !playlist.deleted)
            ids.push_back(playlist.id);
    }
    return ids;
}

LONG Model::AddPlaylist(LONG sourceId, const std::wstring& name, LONG kind, LONG specialKind)
{
    Playlist playlist;
    playlist.id = m_nextId++;
    playlist.sourceId = sourceId;
    playlist.name = name;
    playlist.kind = kind;
    playlist.specialKind = specialKind;
    playlists.push_back(playlist);
    return playlist.id;
}

LONG Model::AddTrackFromFile(LONG sourceId, const std::wstring& path)
{
    Track track;
    track.id = m_nextId++;
    track.sourceId = sourceId;
    std::wstring name = FileNameOf(path);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    track.name = name;
    track.location = path;
    tracks.push_back(track);
    if (Playlist* main = MainPlaylist(sourceId))
        main->tracks.push_back(track.id);
    return track.id;
}

LONG Model::CopyTrackTo(LONG trackId, Playlist& playlist)
{
    Track* original = FindTrack(trackId);
    if (!original)
        return 0;
    LONG id = trackId;
    if (original->sourceId != playlist.sourceId) {
        Track copy = *original;
        copy.id = m_nextId++;
        copy.sourceId = playlist.sourceId;
        id = copy.id;
        tracks.push_back(copy);
        if (Playlist* main = MainPlaylist(playlist.sourceId); main && main != &playlist)
            main->tracks.push_back(id);
    }
    playlist.tracks.push_back(id);
    return id;
}

void Model::DeleteTrack(LONG trackId)
{
    for (Playlist& playlist : playlists)
        playlist.tracks.erase(std::remove(playlist.tracks.begin(), playlist.tracks.end(), trackId), playlist.tracks.end());
    for (Track& track : tracks) {
        if (track.id == trackId)
            track.deleted = true;
    }
}

std::wstring Model::MediaPath(const std::wstring& name)
{
    return m_mediaFolder + L"\\" + name;
}

void Model::Keep(const std::wstring& path) const
{
    if (!m_keepFolder.empty())
        CopyFileW(path.c_str(), (m_keepFolder + L"\\" + FileNameOf(path)).c_str(), FALSE);
}

}  // namespace itunes
