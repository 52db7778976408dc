// The iTunes stand-in as the wizard's code meets it across processes: its conversion makes an
// MP4 file that ffprobe reads and our MP4 layer writes chapters into, its failures injected by
// the fixture, and the state it leaves for tests to read back.
#include "iTunesTestSupport.h"

#include "ComHolders.h"
#include "ComTestSupport.h"
#include "MediaFixtures.h"
#include "Mp4.h"
#include "Mp4Fixtures.h"
#include "iTunesInterfaces.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testsupport::ScratchFolder;
using testsupport::ShellQuoted;

const std::string kSources =
    "[Sources]\nCount=2\n"
    "[Source1]\nKind=1\nName=Library\n"
    "[Source2]\nKind=2\nName=Ada's iPod\nFreeSpace=5000000\nPlaylists=Vesperlin\n";
const std::string kFixture = "[iTunes]\nCurrentEncoder=MP3 Encoder\n" + kSources;

com::ComPtr<IiTunes> Connect(HRESULT* hr = nullptr)
{
    com::ComPtr<IiTunes> iTunes;
    const HRESULT created = CoCreateInstance(CLSID_iTunesApp, nullptr, CLSCTX_LOCAL_SERVER, IID_IiTunes, iTunes.PutVoid());
    if (hr)
        *hr = created;
    return iTunes;
}

com::ComPtr<IITPlaylist> MainPlaylistOf(IiTunes* iTunes, LONG sourceIndex)
{
    com::ComPtr<IITSourceCollection> sources;
    com::ComPtr<IITSource> source;
    com::ComPtr<IITPlaylistCollection> playlists;
    com::ComPtr<IITPlaylist> playlist;
    if (SUCCEEDED(iTunes->get_Sources(sources.Put())) && SUCCEEDED(sources->get_Item(sourceIndex, source.Put())) &&
        SUCCEEDED(source->get_Playlists(playlists.Put())))
        playlists->get_Item(1, playlist.Put());
    return playlist;
}

TEST(iTunesStandin, ConvertsAWavePartIntoAnMp4FileThatTakesChaptersAndKeepsTheSamples)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run(kFixture);
    ASSERT_TRUE(run.Started());
    ScratchFolder folder;
    const CString wav = folder / L"Part01.wav";
    ASSERT_EQ(0, mediafixtures::RunTool(folder, "sox -n -r 22050 -c 2 -b 16 " + ShellQuoted(wav) + " synth 4 sine 440"));
    HRESULT created = S_OK;
    com::ComPtr<IiTunes> iTunes = Connect(&created);
    ASSERT_TRUE(iTunes) << std::hex << created;
    com::ComPtr<IITConvertOperationStatus> status;
    ASSERT_EQ(S_OK, iTunes->ConvertFile2(com::Bstr(wav), status.Put()));
    ASSERT_TRUE(status);
    LONG maximum = 0;
    EXPECT_EQ(S_OK, status->get_MaxProgressValue(&maximum));
    EXPECT_GT(maximum, 0);
    VARIANT_BOOL inProgress = VARIANT_TRUE;
    int polls = 0;
    for (; polls < 50 && inProgress != VARIANT_FALSE; ++polls) {
        ASSERT_EQ(S_OK, status->get_InProgress(&inProgress));
        LONG value = -1;
        status->get_ProgressValue(&value);
        EXPECT_GE(value, 0);
        EXPECT_LE(value, maximum);
    }
    EXPECT_GT(polls, 1) << "the conversion takes a while";
    com::ComPtr<IITTrackCollection> tracks;
    ASSERT_EQ(S_OK, status->get_Tracks(tracks.Put()));
    LONG count = 0;
    tracks->get_Count(&count);
    ASSERT_EQ(1, count);
    com::ComPtr<IITTrack> track;
    ASSERT_EQ(S_OK, tracks->get_Item(1, track.Put()));
    com::ComPtr<IITFileOrCDTrack> file;
    ASSERT_EQ(S_OK, track.As(&file, IID_IITFileOrCDTrack));
    com::Bstr location;
    ASSERT_EQ(S_OK, file->get_Location(location.Put()));
    const CString converted = folder / L"Part01.m4b";
    ASSERT_TRUE(CopyFileW(location, converted, FALSE));

    std::string probe;
    mediafixtures::RunTool(folder,
                           "ffprobe -v error -show_entries stream=codec_type,sample_rate,channels:format=duration -of "
                           "default=nw=1 " + ShellQuoted(converted), &probe);
    EXPECT_NE(std::string::npos, probe.find("codec_type=audio")) << probe;
    EXPECT_NE(std::string::npos, probe.find("sample_rate=22050")) << probe;
    EXPECT_NE(std::string::npos, probe.find("channels=2")) << probe;
    EXPECT_NE(std::string::npos, probe.find("duration=4.0")) << probe;
    std::string wavMd5, mp4Md5;
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -i " + ShellQuoted(wav) + " -map 0:a -f md5 -", &wavMd5);
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -i " + ShellQuoted(converted) + " -map 0:a -f md5 -", &mp4Md5);
    EXPECT_EQ(wavMd5, mp4Md5) << "the samples are the part's own";

    // Chapters, written by the MP4 layer the chapter server uses.
    char path[MAX_PATH * 3] = {};
    WideCharToMultiByte(CP_UTF8, 0, converted, -1, path, sizeof(path), nullptr, nullptr);
    MP4FileHandle handle = MP4Modify(path);
    ASSERT_NE(nullptr, handle);
    MP4Chapter_t chapters[2] = {};
    chapters[0].duration = 1500;
    strcpy(chapters[0].title, "Opening");
    chapters[1].duration = 2500;
    strcpy(chapters[1].title, "Storm");
    MP4SetChapters(handle, chapters, 2, MP4ChapterTypeQt);
    ASSERT_TRUE(MP4Close(handle));
    const std::string written = mp4fixtures::Chapters(folder, converted);
    EXPECT_NE(std::string::npos, written.find("TAG:title=Opening")) << written;
    EXPECT_NE(std::string::npos, written.find("start_time=1.500000\nend_time=4.000000\nTAG:title=Storm")) << written;
    EXPECT_TRUE(mp4fixtures::Decodes(folder, converted));
}

TEST(iTunesStandin, AStoppedConversionMakesNoTrackAndOneThatStaysInProgressNeverEnds)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run("[iTunes]\nConvertPolls=-1\n");
    ASSERT_TRUE(run.Started());
    ScratchFolder folder;
    const CString wav = folder / L"Part01.wav";
    ASSERT_EQ(0, mediafixtures::RunTool(folder, "sox -n -r 8000 -c 1 -b 16 " + ShellQuoted(wav) + " synth 1 sine 440"));
    HRESULT created = S_OK;
    com::ComPtr<IiTunes> iTunes = Connect(&created);
    ASSERT_TRUE(iTunes) << std::hex << created;
    com::ComPtr<IITConvertOperationStatus> status;
    ASSERT_EQ(S_OK, iTunes->ConvertFile2(com::Bstr(wav), status.Put()));
    VARIANT_BOOL inProgress = VARIANT_FALSE;
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(S_OK, status->get_InProgress(&inProgress));
        ASSERT_NE(VARIANT_FALSE, inProgress);
    }
    EXPECT_EQ(S_OK, status->StopConversion());
    EXPECT_EQ(S_OK, status->get_InProgress(&inProgress));
    EXPECT_EQ(VARIANT_FALSE, inProgress);
    com::ComPtr<IITTrackCollection> tracks;
    ASSERT_EQ(S_OK, status->get_Tracks(tracks.Put()));
    LONG count = -1;
    tracks->get_Count(&count);
    EXPECT_EQ(0, count);
}

TEST(iTunesStandin, AddsFilesToAnIPodWithTheirFieldsAndArtworkAndWritesTheState)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run(kFixture);
    ASSERT_TRUE(run.Started());
    ScratchFolder folder;
    const CString mp3 = mediafixtures::MakeMp3(folder, L"Book-Part01.mp3");
    const CString cover = folder / L"cover.png";
    testsupport::WriteAll(cover, std::string("\x89PNG\r\n\x1a\n", 8));
    HRESULT created = S_OK;
    com::ComPtr<IiTunes> iTunes = Connect(&created);
    ASSERT_TRUE(iTunes) << std::hex << created;
    com::ComPtr<IITPlaylist> playlist = MainPlaylistOf(iTunes.Get(), 2);
    ASSERT_TRUE(playlist);
    com::ComPtr<IITLibraryPlaylist> main;
    ASSERT_EQ(S_OK, playlist.As(&main, IID_IITLibraryPlaylist));
    com::ComPtr<IITOperationStatus> status;
    ASSERT_EQ(S_OK, main->AddFile(com::Bstr(mp3), status.Put()));
    ASSERT_TRUE(status);
    com::ComPtr<IITTrackCollection> tracks;
    com::ComPtr<IITTrack> track;
    ASSERT_EQ(S_OK, status->get_Tracks(tracks.Put()));
    ASSERT_EQ(S_OK, tracks->get_Item(1, track.Put()));
    EXPECT_EQ(S_OK, track->put_Name(com::Bstr(L"Book-Part01")));
    EXPECT_EQ(S_OK, track->put_TrackNumber(1));
    EXPECT_EQ(S_OK, track->put_Genre(com::Bstr(L"Audiobook")));
    EXPECT_EQ(S_OK, track->put_Album(com::Bstr(L"Book")));
    EXPECT_EQ(S_OK, track->put_Artist(com::Bstr(L"Ada Quill")));
    com::ComPtr<IITArtwork> artwork;
    EXPECT_EQ(S_OK, track->AddArtworkFromFile(com::Bstr(cover), artwork.Put()));
    LONG format = 0;
    ASSERT_TRUE(artwork);
    EXPECT_EQ(S_OK, artwork->get_Format(&format));
    EXPECT_EQ(ITArtworkFormatPNG, format);
    com::ComPtr<IITFileOrCDTrack> file;
    ASSERT_EQ(S_OK, track.As(&file, IID_IITFileOrCDTrack));
    EXPECT_EQ(S_OK, file->put_RememberBookmark(VARIANT_TRUE));
    com::ComPtr<IITEncoderCollection> encoders;
    com::ComPtr<IITEncoder> aac;
    ASSERT_EQ(S_OK, iTunes->get_Encoders(encoders.Put()));
    ASSERT_EQ(S_OK, encoders->get_ItemByName(com::Bstr(L"AAC Encoder"), aac.Put()));
    ASSERT_TRUE(aac);
    EXPECT_EQ(S_OK, iTunes->put_CurrentEncoder(aac.Get()));

    const CString section = run.TrackSection(L"Book-Part01");
    ASSERT_FALSE(section.IsEmpty());
    EXPECT_EQ(CString(L"Ada's iPod"), run.State(section, L"Source"));
    EXPECT_EQ(CString(L"1"), run.State(section, L"Number"));
    EXPECT_EQ(CString(L"Audiobook"), run.State(section, L"Genre"));
    EXPECT_EQ(CString(L"Book"), run.State(section, L"Album"));
    EXPECT_EQ(CString(L"Ada Quill"), run.State(section, L"Artist"));
    EXPECT_EQ(CString(L"1"), run.State(section, L"RememberBookmark"));
    EXPECT_EQ(CString(L"0"), run.State(section, L"ExcludeFromShuffle"));
    const CString kept = run.State(section, L"Artwork");
    EXPECT_EQ(testsupport::ReadAllBytes(cover), testsupport::ReadAllBytes(kept)) << "iTunes keeps a copy of the artwork";
    EXPECT_EQ(CString(L"AAC Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
}

// A failure the fixture injects reaches the caller through the marshaler as it stands, the
// given number of times, then the call succeeds.
TEST(iTunesStandin, InjectedFailuresReachTheCallerAndEndAfterTheirCount)
{
    struct Case {
        const char* fixture;
        HRESULT first;
    };
    const Case cases[] = {
        {"[iTunes]\nFail.Sources=0x80010001*2\n", RPC_E_CALL_REJECTED},
        {"[iTunes]\nFail.AddFile=0x80045000*2\n", ITUNES_E_DEVICEBUSY},
        {"[iTunes]\nFail.CheckVersion=0x80004005*2\n", E_FAIL},
    };
    comtest::ApartmentScope com;
    ScratchFolder folder;
    const CString mp3 = mediafixtures::MakeMp3(folder, L"Song.mp3");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        itunestest::StandinRun run(std::string(c.fixture) + kSources);
        ASSERT_TRUE(run.Started());
        HRESULT created = S_OK;
        com::ComPtr<IiTunes> iTunes = Connect(&created);
        ASSERT_TRUE(iTunes) << std::hex << created;
        auto call = [&]() -> HRESULT {
            if (strstr(c.fixture, "Sources")) {
                com::ComPtr<IITSourceCollection> sources;
                return iTunes->get_Sources(sources.Put());
            }
            if (strstr(c.fixture, "AddFile")) {
                com::ComPtr<IITLibraryPlaylist> library;
                com::ComPtr<IITOperationStatus> status;
                HRESULT hr = iTunes->get_LibraryPlaylist(library.Put());
                return SUCCEEDED(hr) ? library->AddFile(com::Bstr(mp3), status.Put()) : hr;
            }
            VARIANT_BOOL compatible = VARIANT_FALSE;
            return iTunes->CheckVersion(1, 12, &compatible);
        };
        EXPECT_EQ(c.first, call());
        EXPECT_EQ(c.first, call());
        EXPECT_EQ(S_OK, call());
    }
}

TEST(iTunesStandin, RefusesChangesToALockedIPodAndCreationWhenToldTo)
{
    comtest::ApartmentScope com;
    {
        itunestest::StandinRun run(kFixture + "Locked=1\n");
        ASSERT_TRUE(run.Started());
        HRESULT created = S_OK;
        com::ComPtr<IiTunes> iTunes = Connect(&created);
        ASSERT_TRUE(iTunes) << std::hex << created;
        com::ComPtr<IITPlaylist> playlist = MainPlaylistOf(iTunes.Get(), 2);
        com::ComPtr<IITSource> source;
        ASSERT_EQ(S_OK, playlist->get_Source(source.Put()));
        com::ComPtr<IITUserPlaylist> folder;
        EXPECT_EQ(ITUNES_E_OBJECTLOCKED, iTunes->CreateFolderInSource(com::Bstr(L"_x_"), source.Get(), folder.Put()));
    }
    {
        itunestest::StandinRun run("[iTunes]\nFail.Create=0x80080005\n");
        ASSERT_TRUE(run.Started());
        HRESULT hr = S_OK;
        Connect(&hr);
        EXPECT_EQ(CO_E_SERVER_EXEC_FAILURE, hr);
    }
}

// What every collection answers alike: items numbered from 1 to its count, anything else refused
// with no item, and a name none of them has answered with S_OK and no item.
template <class Collection, class Item>
void ExpectItemsNumberedFromOne(Collection* collection, const wchar_t* knownName)
{
    ASSERT_TRUE(collection);
    LONG count = 0;
    ASSERT_EQ(S_OK, collection->get_Count(&count));
    ASSERT_GT(count, 0);
    for (LONG index : {0L, -1L, count + 1}) {
        com::ComPtr<Item> item;
        EXPECT_EQ(E_INVALIDARG, collection->get_Item(index, item.Put())) << index;
        EXPECT_FALSE(item) << index;
    }
    for (LONG index : {1L, count}) {
        com::ComPtr<Item> item;
        EXPECT_EQ(S_OK, collection->get_Item(index, item.Put())) << index;
        EXPECT_TRUE(item) << index;
    }
    com::ComPtr<Item> named;
    EXPECT_EQ(S_OK, collection->get_ItemByName(com::Bstr(knownName), named.Put()));
    EXPECT_TRUE(named);
    com::ComPtr<Item> none;
    EXPECT_EQ(S_OK, collection->get_ItemByName(com::Bstr(L"No Such Name"), none.Put()));
    EXPECT_FALSE(none);
}

TEST(iTunesStandin, CollectionsNumberTheirItemsFromOneAndFindThemByName)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run(kFixture);
    ASSERT_TRUE(run.Started());
    com::ComPtr<IiTunes> iTunes = Connect();
    ASSERT_TRUE(iTunes);
    com::ComPtr<IITSourceCollection> sources;
    ASSERT_EQ(S_OK, iTunes->get_Sources(sources.Put()));
    {
        SCOPED_TRACE("sources");
        ExpectItemsNumberedFromOne<IITSourceCollection, IITSource>(sources.Get(), L"Ada's iPod");
    }
    com::ComPtr<IITSource> iPod;
    ASSERT_EQ(S_OK, sources->get_Item(2, iPod.Put()));
    com::ComPtr<IITPlaylistCollection> playlists;
    ASSERT_EQ(S_OK, iPod->get_Playlists(playlists.Put()));
    {
        SCOPED_TRACE("the iPod's playlists");
        ExpectItemsNumberedFromOne<IITPlaylistCollection, IITPlaylist>(playlists.Get(), L"Vesperlin");
    }
    com::ComPtr<IITEncoderCollection> encoders;
    ASSERT_EQ(S_OK, iTunes->get_Encoders(encoders.Put()));
    {
        SCOPED_TRACE("encoders");
        ExpectItemsNumberedFromOne<IITEncoderCollection, IITEncoder>(encoders.Get(), L"AAC Encoder");
    }
}

}  // namespace
