// What the iTunes stand-in holds: its sources (the library and iPods), their playlists and
// tracks, its encoders, and the failures a test injects, read from a fixture file (an INI file
// the environment variable VESPERLIN_ITUNES names) when the program starts:
//
//     [iTunes]      Version=1.12 (the interface version served), Encoders=AAC Encoder|MP3 Encoder,
//                   CurrentEncoder=MP3 Encoder, ConvertPolls=3 (polls a conversion stays in
//                   progress; -1 until stopped), AddPolls=1 (-1: an add that never ends),
//                   State=iTunes.state.ini,
//                   Media=iTunes Media (the folder converted files go to),
//                   Keep=<folder> (where a copy of every file given to ConvertFile2 and to
//                   AddFile is kept under its own name, as a device or library would hold it),
//                   Fail.<call>=<code>[*<times>] (Create, CheckVersion, Sources, AddFile,
//                   AddTrack, ConvertFile2, InProgress, CreateFolderInSource, put_Name, EjectIPod, ...)
//     [Sources]     Count=N; [Source1..N] Kind=1|2, Name, FreeSpace, Capacity (bytes),
//                   Locked=1 (synced automatically: changes refused), Playlists=A|B (user
//                   playlists), Audiobooks=<name> (the audiobooks playlist, special kind 9)
//     [Tracks]      Count=N; [Track1..N] Source=<index>, Playlists=A|B (besides the main one),
//                   Name, Artist, Album, Genre, Number, Duration (seconds), Location, Artwork=<file>
//
// The library's main playlist is named "Library", an iPod's after the iPod. After every change
// the whole state is written to the state file (beside the fixture), which tests read back:
//
//     [iTunes]      CurrentEncoder, Sources=<count of Sources calls>, Closed=1 at the end,
//                   Ejected=<names of the iPods ejected>|...
//     [Playlists]   Count; [Playlist<n>] Source (its name), Name, Kind, SpecialKind, Tracks=<ids>
//     [Tracks]      Count; [Track<n>] Id, Source, Playlists, Name, Artist, Album, Genre, Number,
//                   Location, RememberBookmark, ExcludeFromShuffle, Artwork=<files>|...
#pragma once

#include "FixtureFiles.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace itunes {

struct Source {
    LONG id = 0;
    LONG kind = 1;
    std::wstring name;
    double freeSpace = 0;
    double capacity = 0;
    bool locked = false;
    bool ejected = false;  // ejected through iTunes
};

struct Playlist {
    LONG id = 0;
    LONG sourceId = 0;
    std::wstring name;
    LONG kind = 2;
    LONG specialKind = 0;
    std::vector<LONG> tracks;
    bool deleted = false;
};

struct Track {
    LONG id = 0;
    LONG sourceId = 0;
    std::wstring name, artist, album, genre, location;
    LONG number = 0;
    LONG duration = 0;
    bool rememberBookmark = false;
    bool excludeFromShuffle = false;
    std::vector<std::wstring> artwork;  // files kept by the stand-in
    bool deleted = false;
};

// A conversion iTunes runs: polls left, and the track it made once it ended.
struct Conversion {
    std::wstring source;
    LONG pollsLeft = 0;  // -1: until stopped
    LONG progress = 0;
    LONG maximum = 100;
    LONG trackId = 0;
    bool stopped = false;
    bool ended = false;
};

class Model {
public:
    static Model& Current();

    void Load();
    // Writes the state file.
    void Save();

    // S_OK, or the failure the fixture injects into the call.
    HRESULT Fail(const wchar_t* call) const;
    const standin::FixtureFile& Fixture() const { return *m_fixture; }

    std::vector<Source> sources;
    std::vector<Playlist> playlists;
    std::vector<Track> tracks;
    std::vector<std::wstring> encoders;
    std::wstring currentEncoder;
    LONG versionMajor = 1;
    LONG versionMinor = 12;
    LONG convertPolls = 2;
    LONG addPolls = 1;
    LONG sourcesCalls = 0;
    bool closed = false;

    Source* FindSource(LONG id);
    Playlist* FindPlaylist(LONG id);
    Track* FindTrack(LONG id);
    // The source's main playlist (kind 1).
    Playlist* MainPlaylist(LONG sourceId);
    // The live playlists of a source, in order.
    std::vector<LONG> PlaylistsOf(LONG sourceId) const;
    LONG AddPlaylist(LONG sourceId, const std::wstring& name, LONG kind, LONG specialKind);
    // A new track from a file (its name from the file name) in the source's main playlist.
    LONG AddTrackFromFile(LONG sourceId, const std::wstring& path);
    // A copy of a track into a playlist of another source (or the same track when the same source).
    LONG CopyTrackTo(LONG trackId, Playlist& playlist);
    // Removes the track from every playlist of its source.
    void DeleteTrack(LONG trackId);
    // A file of the stand-in's own (artwork copies, converted files).
    std::wstring MediaPath(const std::wstring& name);
    // A copy of the file, under its own name, in the fixture's Keep folder (when it names one).
    void Keep(const std::wstring& path) const;

private:
    std::unique_ptr<standin::FixtureFile> m_fixture;
    std::wstring m_statePath;
    std::wstring m_mediaFolder;
    std::wstring m_keepFolder;
    LONG m_nextId = 100;
};

// Writes the 16-bit PCM audio of a WAV file into an MP4 audio file (a 'sowt' sample entry);
// false when the source is no PCM WAV file or the target cannot be written.
bool ConvertWavToMp4(const std::wstring& wavPath, const std::wstring& mp4Path);

}  // namespace itunes
