// The wizard's iTunes helpers against the iTunes stand-in: connecting (not installed, a version
// refused, rejected creation then success), the playlist of a player with its cache and the
// lock probe, the maker's playlist, the parts of a title already there and deleting an old
// copy, the error box, the encoder and the iTunes window; and the device search's Apple players
// (the iPods iTunes shows and the library) found through them.
#include "iTunesAutomation.h"
#include "CarrowindApp.h"
#include "ZuneClient.h"

#include "DeviceSearch.h"
#include "PlayerRecord.h"
#include "SafeRemoval.h"
#include "SearchRunner.h"

#include "ComHolders.h"
#include "ComTestSupport.h"
#include "iTunesTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::string kSources =
    "[Sources]\nCount=4\n"
    "[Source1]\nKind=1\nName=Library\n"
    "[Source2]\nKind=2\nName=Ada\n"
    "[Source3]\nKind=2\nName=Ada's iPod\nPlaylists=Vesperlin\nAudiobooks=Audiobooks\n"
    "[Source4]\nKind=2\nName=Locked Pod\nLocked=1\n"
    "[Tracks]\nCount=6\n"
    "[Track1]\nSource=3\nName=Book-Part03\n"
    "[Track2]\nSource=3\nName=Book-Part30\n"
    "[Track3]\nSource=3\nName=Book 3\n"
    "[Track4]\nSource=3\nName=Booklet-Part03\n"
    "[Track5]\nSource=3\nName=Tale-Part02\nPlaylists=Audiobooks\n"
    "[Track6]\nSource=1\nName=Book-Part03\n";
const std::string kFixture = "[iTunes]\nCurrentEncoder=MP3 Encoder\n" + kSources;

// The fixed waits, recorded instead of slept.
struct RecordedWaits {
    RecordedWaits()
    {
        previous = SetiTunesSleep([this](DWORD milliseconds) { waits.push_back(milliseconds); });
    }
    ~RecordedWaits() { SetiTunesSleep(std::move(previous)); }
    std::vector<DWORD> waits;
    iTunesSleep previous;
};

TEST(iTunesNames, AppleKindsAndTheNameInParentheses)
{
    const struct {
        const wchar_t* name;
        DWORD kind;
    } kinds[] = {
        {L"iTunes Library", 1},
        {L"Apple iPod Shuffle and iTunes Library", 0x1301},
        {L"Apple iPod Shuffle (Ada)", 0x1300},
        {L"Apple device (Ada's iPod)", 0x1290},
        {L"Apple iPod (Ada's iPod)", 0x1200},
        {L"Apple iPod and iTunes Library", 0x1201},
        {L"Creative Zen", 0},
    };
    for (const auto& c : kinds)
        EXPECT_EQ(c.kind, GetAppleDeviceKind(c.name)) << c.name;
    const struct {
        const wchar_t* name;
        const wchar_t* inside;
    } names[] = {
        {L"Apple iPod (Ada's iPod)", L"Ada's iPod"},
        {L"Ada's iPod", L"Ada's iPod"},
        {L"Apple iPod (A", L"Apple iPod (A"},  // fewer than two characters follow '('
        {L"Apple iPod (A)", L"A"},
        {L"Apple iPod (AB)", L"AB"},
        {L"(x(y))", L"x(y)"},
    };
    for (const auto& c : names)
        EXPECT_EQ(CString(c.inside), ExtractParenthesized(c.name)) << c.name;
    EXPECT_EQ(nullptr, CopyBstr(nullptr));
    com::Bstr text(L"Ada");
    wchar_t* copy = CopyBstr(text);
    EXPECT_STREQ(L"Ada", copy);
    delete[] copy;
}

TEST(iTunesConnection, ResultsAndBoxesOfEachWayIn)
{
    struct Case {
        const char* name;
        std::string fixture;
        bool registered;
        BOOL interactive;
        std::vector<int> answers;
        HRESULT result;
        std::vector<UINT> boxes;  // message ids, in order
        size_t waits;
        bool checkAfter;  // CheckiTunesVersion afterwards (interactive, with the same answers)
    };
    const Case cases[] = {
        {"version refused", "[iTunes]\nVersion=1.11\n" + kSources, true, TRUE, {IDOK}, E_INVALIDARG, {}, 0, false},
        {"version check fails", "[iTunes]\nFail.CheckVersion=0x80004005\n" + kSources, true, TRUE, {IDOK}, E_FAIL, {}, 0, false},
        {"rejected twice, then in", "[iTunes]\nFail.Create=0x80010001*2\n" + kSources, true, TRUE, {IDOK}, S_OK,
         {3515, 3515}, 2, true},
        {"rejected, cancelled", "[iTunes]\nFail.Create=0x80010001*2\n" + kSources, true, TRUE, {IDCANCEL},
         RPC_E_CALL_REJECTED, {3515}, 0, false},
        {"rejected, quiet", "[iTunes]\nFail.Create=0x80010001*2\n" + kSources, true, FALSE, {IDOK}, RPC_E_CALL_REJECTED,
         {}, 0, true},
        {"newer version", "[iTunes]\nVersion=2.0\n" + kSources, true, TRUE, {IDOK}, S_OK, {}, 0, true},
        // Last: this program's first connection is to a stand-in already reached.
        {"not installed", kFixture, false, TRUE, {IDOK}, REGDB_E_CLASSNOTREG, {3508}, 0, false},
        {"not installed, quiet", kFixture, false, FALSE, {IDOK}, REGDB_E_CLASSNOTREG, {}, 0, false},
    };
    comtest::ApartmentScope com;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        itunestest::StandinRun run(c.fixture, c.registered);
        if (c.registered)
            ASSERT_TRUE(run.Started());
        else
            ASSERT_TRUE(itunestest::UnregisterStandin());
        RecordedWaits waits;
        testsupport::MessageBoxRecorder boxes(c.answers);
        com::ComPtr<IiTunes> iTunes;
        EXPECT_EQ(c.result, ConnectToiTunes(iTunes.Put(), c.interactive));
        EXPECT_EQ(SUCCEEDED(c.result), static_cast<bool>(iTunes));
        ASSERT_EQ(c.boxes.size(), boxes.Boxes().size());
        for (size_t i = 0; i < c.boxes.size(); ++i) {
            CString expected = AfxLoadString(c.boxes[i]);
            if (c.boxes[i] == 3515)
                expected.Format(3515, static_cast<unsigned>(RPC_E_CALL_REJECTED));
            EXPECT_EQ(expected, boxes.Boxes()[i].text);
            EXPECT_EQ(c.boxes[i] == 3515 ? UINT(MB_OKCANCEL | MB_ICONQUESTION) : UINT(MB_OK | MB_ICONSTOP),
                      boxes.Boxes()[i].type & (MB_TYPEMASK | MB_ICONMASK));
        }
        EXPECT_EQ(c.waits, waits.waits.size());
        for (DWORD wait : waits.waits)
            EXPECT_EQ(1000u, wait);
        iTunes.Reset();
        EXPECT_EQ(c.checkAfter, CheckiTunesVersion() != FALSE);
    }
}

CString NameOf(IITPlaylist* playlist)
{
    com::Bstr name;
    if (!playlist || FAILED(playlist->get_Name(name.Put())) || !name.Get())
        return CString();
    return CString(name.Get());
}

TEST(iTunesPlaylists, APlayerIsTheIPodOfThatVeryNameOrTheLibrary)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run(kFixture);
    ASSERT_TRUE(run.Started());
    testsupport::MessageBoxRecorder boxes;
    const struct {
        const wchar_t* player;
        const wchar_t* playlist;  // "" when none
        BOOL locked;
    } cases[] = {
        {L"Ada's iPod", L"Ada's iPod", FALSE},
        {L"ada's ipod", L"Ada's iPod", FALSE},
        {L"Ada", L"Ada", FALSE},
        {L"Ada's iPod nano", L"", FALSE},  // never "Ada" or "Ada's iPod" for it
        {L"Locked Pod", L"Locked Pod", TRUE},
        {L"iTunes Library", L"Library", FALSE},
        {L"Library", L"", FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.player);
        CiTunesHelper helper;
        com::ComPtr<IITPlaylist> playlist;
        BOOL locked = 2;
        CString names;
        EXPECT_EQ(S_OK, helper.FindPlaylist(c.player, playlist.Put(), &locked, &names));
        EXPECT_EQ(CString(c.playlist), NameOf(playlist.Get()));
        EXPECT_EQ(c.locked, locked);
        EXPECT_EQ(c.locked, helper.IsLocked());
        EXPECT_EQ(CString(L"Ada|Ada's iPod|Locked Pod|"), names);
    }
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_TRUE(run.PlaylistSection(L"Ada's iPod", kiTunesProbeFolderName).IsEmpty()) << "the probe's folder is gone";

    // The same player again: the cached playlist, without a walk of the sources.
    CiTunesHelper helper;
    com::ComPtr<IITPlaylist> first, second;
    ASSERT_EQ(S_OK, helper.FindPlaylist(L"Ada's iPod", first.Put()));
    const int walks = run.StateNumber(L"iTunes", L"Sources");
    ASSERT_EQ(S_OK, helper.FindPlaylist(L"Ada's iPod", second.Put()));
    EXPECT_EQ(walks, run.StateNumber(L"iTunes", L"Sources"));
    EXPECT_EQ(CString(L"Ada's iPod"), NameOf(second.Get()));
    // An empty name lists the iPods and matches nothing.
    com::ComPtr<IITPlaylist> none;
    CString names;
    EXPECT_EQ(S_OK, helper.FindPlaylist(L"", none.Put(), nullptr, &names));
    EXPECT_FALSE(none);
    EXPECT_EQ(walks + 1, run.StateNumber(L"iTunes", L"Sources"));

    // The maker's playlist: found where it is, made where asked.
    com::ComPtr<IITUserPlaylist> vesperlin;
    vesperlin.Attach(helper.FindVesperlinTracks(first.Get(), FALSE));
    EXPECT_TRUE(vesperlin);
    com::ComPtr<IITPlaylist> ada;
    ASSERT_EQ(S_OK, helper.FindPlaylist(L"Ada", ada.Put()));
    com::ComPtr<IITUserPlaylist> made;
    made.Attach(helper.FindVesperlinTracks(ada.Get(), FALSE));
    EXPECT_FALSE(made);
    made.Attach(helper.FindVesperlinTracks(ada.Get(), TRUE));
    EXPECT_TRUE(made);
    EXPECT_FALSE(run.PlaylistSection(L"Ada", kVesperlinPlaylistName).IsEmpty());
}

TEST(iTunesPlaylists, AnITunesFailureOnTheWayIsShownAndReturned)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run("[iTunes]\nFail.Sources=0x800706BA\n" + kSources);
    ASSERT_TRUE(run.Started());
    testsupport::MessageBoxRecorder boxes;
    CiTunesHelper helper;
    com::ComPtr<IITPlaylist> playlist;
    EXPECT_EQ(static_cast<HRESULT>(0x800706BA), helper.FindPlaylist(L"Ada's iPod", playlist.Put()));
    EXPECT_FALSE(playlist);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_NE(-1, boxes.Boxes()[0].text.Find(L"access iPod"));
    EXPECT_NE(-1, boxes.Boxes()[0].text.Find(L"can't be closed during operation. (Error 0x800706BA)"));
}

TEST(iTunesParts, APartIsFoundByItsNumberAfterExactlyTheTitleAndOnlyThatTrackIsDeleted)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run(kFixture);
    ASSERT_TRUE(run.Started());
    testsupport::MessageBoxRecorder boxes;
    const struct {
        const wchar_t* title;
        int part;
        BOOL audiobook;
        const wchar_t* found;  // "" when none
    } cases[] = {
        {L"Book", 3, FALSE, L"Book-Part03"},
        {L" Book ", 3, FALSE, L"Book-Part03"},
        {L"Book", 30, FALSE, L"Book-Part30"},
        {L"Book", 4, FALSE, L""},
        {L"Booklet", 3, FALSE, L"Booklet-Part03"},
        {L"Tale", 2, TRUE, L"Tale-Part02"},
        {L"Book", 3, TRUE, L""},  // not in the audiobooks playlist
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        SCOPED_TRACE(c.part);
        CiTunesHelper helper;
        CString name;
        LONG id = -1;
        helper.FindExistingParts(c.title, c.part, L"Ada's iPod", c.audiobook, &name, &id);
        EXPECT_EQ(CString(c.found), name);
        const CString section = run.TrackSection(c.found);
        EXPECT_EQ(*c.found ? run.StateNumber(section, L"Id") : 0, id);
    }

    CiTunesHelper helper;
    CString name;
    LONG id = 0;
    helper.FindExistingParts(L"Book", 3, L"Ada's iPod", FALSE, &name, &id);
    ASSERT_NE(0, id);
    EXPECT_FALSE(helper.DeleteExistingPart(name, id + 1, L"Ada's iPod", FALSE)) << "another id: left alone";
    EXPECT_TRUE(helper.DeleteExistingPart(name + L".m4b", id, L"Ada's iPod", FALSE));
    EXPECT_FALSE(helper.DeleteExistingPart(name, id, L"Ada's iPod", FALSE)) << "already gone";
    // The library's copy, the user's "Book 3" and the other parts stay.
    int left = 0;
    for (int i = 1; i <= run.StateNumber(L"Tracks", L"Count"); ++i) {
        CString section;
        section.Format(L"Track%d", i);
        left += run.State(section, L"Name") == L"Book-Part03";
    }
    EXPECT_EQ(1, left);
    EXPECT_FALSE(run.TrackSection(L"Book 3").IsEmpty());
    EXPECT_FALSE(run.TrackSection(L"Book-Part30").IsEmpty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(iTunesErrors, TheDetailTellsAGoneOrBusyITunesFromAMissingOne)
{
    const struct {
        HRESULT code;
        const wchar_t* action;
        const wchar_t* text;
    } cases[] = {
        {static_cast<HRESULT>(0x800706BA), nullptr,
         L"An error occurred while attempting to access iPod.\n\nApple iTunes can't be closed during operation. (Error 0x800706BA)"},
        {static_cast<HRESULT>(0x800706BF), L"", L"An error occurred while attempting to access iPod.\n\nApple iTunes can't be closed during operation. (Error 0x800706BF)"},
        {RPC_E_CALL_REJECTED, L"add", L"An error occurred while attempting to add.\n\nApple iTunes can't be closed during operation. (Error 0x80010001)"},
        {static_cast<HRESULT>(0x80010108), nullptr, L"An error occurred while attempting to access iPod.\n\nApple iTunes can't be closed during operation. (Error 0x80010108)"},
        {CO_E_SERVER_EXEC_FAILURE, nullptr, L"An error occurred while attempting to access iPod.\n\nApple iTunes can't be closed during operation. (Error 0x80080005)"},
        {REGDB_E_CLASSNOTREG, L"find iPods", L"An error occurred while attempting to find iPods.\n\nMake sure Apple iTunes has been installed. (Error 0x80040154)"},
    };
    for (const auto& c : cases) {
        testsupport::MessageBoxRecorder boxes;
        ShowiTunesError(c.code, c.action);
        ASSERT_EQ(1u, boxes.Boxes().size());
        EXPECT_EQ(CString(c.text), boxes.Boxes()[0].text);
        EXPECT_EQ(UINT(MB_ICONSTOP), boxes.Boxes()[0].type & MB_ICONMASK);
    }
}

TEST(iTunesWindow, EncoderPutBackAndTheWindowHiddenAndClosed)
{
    comtest::ApartmentScope com;
    itunestest::StandinRun run(kFixture);
    ASSERT_TRUE(run.Started());
    EXPECT_EQ(E_FAIL, RestoreiTunesEncoder(nullptr));
    {
        com::ComPtr<IiTunes> iTunes;
        ASSERT_EQ(S_OK, ConnectToiTunes(iTunes.Put(), FALSE));
        com::ComPtr<IITEncoderCollection> encoders;
        com::ComPtr<IITEncoder> aac;
        ASSERT_EQ(S_OK, iTunes->get_Encoders(encoders.Put()));
        ASSERT_EQ(S_OK, encoders->get_ItemByName(com::Bstr(L"AAC Encoder"), aac.Put()));
        EXPECT_EQ(S_OK, RestoreiTunesEncoder(aac.Get()));
    }
    EXPECT_EQ(CString(L"AAC Encoder"), run.State(L"iTunes", L"CurrentEncoder"));
    ASSERT_TRUE(IsiTunesRunning());
    HideiTunesWindow();
    EXPECT_FALSE(IsWindowVisible(FindWindowW(L"iTunes", L"iTunes")));
    CloseiTunes();
    for (int i = 0; i < 100 && IsiTunesRunning(); ++i)
        Sleep(50);
    EXPECT_FALSE(IsiTunesRunning());
    EXPECT_EQ(CString(L"1"), run.State(L"iTunes", L"Closed"));
}

// Safe removal of an Apple player goes through iTunes: the iPod of that very name is ejected;
// an iPod iTunes does not show or refuses to eject is a failure with iTunes' code.
TEST(iTunesSafeRemoval, AnApplePlayerIsEjectedThroughiTunes)
{
    comtest::ApartmentScope com;
    const struct {
        const char* label;
        std::string fixture;
        const wchar_t* iTunesName;
        int result;
        const wchar_t* message;
        const wchar_t* ejected;  // the state file's list afterwards
    } cases[] = {
        {"the iPod is ejected", kFixture, L"ada's ipod", 0, L"Safely removed player (\"Apple device\").", L"Ada's iPod"},
        {"no iPod of that name", kFixture, L"Ada's iPod nano", 13,
         L"Removing player (\"Apple device\") returned error code 2147943568,19!", L""},
        {"iTunes refuses", "[iTunes]\nFail.EjectIPod=0x80004005\n" + kSources, L"Ada's iPod", 13,
         L"Removing player (\"Apple device\") returned error code 2147500037,19!", L""},
        {"the library is no iPod", kFixture, L"Library", 13,
         L"Removing player (\"Apple device\") returned error code 2147943568,19!", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        itunestest::StandinRun run(c.fixture);
        ASSERT_TRUE(run.Started());
        testsupport::MessageBoxRecorder boxes;
        CString message;
        EXPECT_EQ(c.result, SafelyRemoveApplePlayer(L"Apple device", c.iTunesName, message));
        EXPECT_EQ(CString(c.message), message);
        EXPECT_EQ(CString(c.ejected), run.State(L"iTunes", L"Ejected"));
        EXPECT_TRUE(boxes.Boxes().empty());
    }
}

// When the wizard ends, an iTunes it started itself (here: the search's listing) is closed, and
// only that one; the Zune table is released.
TEST(iTunesWizardEnd, AnITunesTheWizardStartedIsClosedAndTheZunesReleased)
{
    comtest::ApartmentScope com;
    RecordedWaits waits;
    const struct {
        const char* label;
        bool open;            // iTunes runs before the wizard
        bool listed;          // the search lists iTunes' sources (starting it when closed)
        BOOL sheetFlag;       // a page noted that it started iTunes
        const wchar_t* log;
        bool runningAfter;
    } cases[] = {
        {"started by the search", false, true, FALSE, L"Clear  [Checked:PostQuitIT]", false},
        {"started by a page", true, false, TRUE, L"Clear  [Checked:PostQuitIT]", false},
        {"the user's own iTunes", true, true, FALSE, L"Clear ", true},
        {"a page's iTunes the user closed", false, false, TRUE, L"Clear  [Checked:NotFoundIT]", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ForgetiTunesStartedHere();
        itunestest::StandinRun run(kFixture, c.open);
        ASSERT_EQ(c.open, IsiTunesRunning() != FALSE);
        if (c.listed) {
            CiTunesHelper helper;
            const ITunesSources sources = ListiTunesSources(helper, TRUE);
            EXPECT_TRUE(sources.connected);
            EXPECT_EQ(1u, sources.sourceFlag);  // iTunes shows iPods
        }
        SetZuneDeviceCount(1);
        ZuneDevices()[0].displayName = L"Microsoft Zune";
        EXPECT_EQ(CString(c.log), ReleaseWizardSession(c.sheetFlag));
        EXPECT_EQ(0, ZuneDeviceCount());
        for (int i = 0; i < 100 && IsiTunesRunning(); ++i)
            Sleep(50);
        EXPECT_EQ(c.runningAfter, IsiTunesRunning() != FALSE);
        if (!c.runningAfter && (c.open || c.listed)) {
            EXPECT_EQ(CString(L"1"), run.State(L"iTunes", L"Closed"));
        }
    }
}

// Last: the first connection of this program is the main thread's, not the search's.
struct Record {
    const wchar_t* name;
    const wchar_t* displayName;
};

TEST(iTunesSearch, FindsTheIPodsITunesShowsAndTheLibrary)
{
    const std::string twoPods =
        "[Sources]\nCount=3\n[Source1]\nKind=1\nName=Library\n[Source2]\nKind=2\nName=Ada's iPod\n"
        "[Source3]\nKind=2\nName=Bo\n";
    const std::string libraryOnly = "[Sources]\nCount=1\n[Source1]\nKind=1\nName=Library\n";
    const struct {
        const char* label;
        const std::string* fixture;
        BOOL mp3Title;
        std::vector<Record> records;
        DWORD sourceFlag = 1;  // the records' iTunes source flag: iTunes shows iPods
    } cases[] = {
        {"iPods, audiobook title", &twoPods, FALSE, {{L"Ada's iPod", L"Apple device (Ada's iPod)"}, {L"Bo", L"Apple device (Bo)"}}},
        {"iPods, MP3 title", &twoPods, TRUE,
         {{L"Ada's iPod", L"Apple device (Ada's iPod)"},
          {L"iTunes Library", L"iTunes Library"},
          {L"Bo", L"Apple device (Bo)"},
          {L"iTunes Library", L"iTunes Library"}}},
        {"library only, MP3 title", &libraryOnly, TRUE, {{L"iTunes Library", L"iTunes Library"}}, 0},
    };
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        itunestest::StandinRun iTunes(*c.fixture);
        ASSERT_TRUE(iTunes.Started());
        testsupport::MessageBoxRecorder boxes(IDNO);
        CObArray found;
        SearchRun run(&found, L"No portable players could be found.");
        run.job->mp3Title = c.mp3Title;
        run.job->iTunesInstalled = TRUE;  // as the Search page says when iTunes is installed
        ASSERT_TRUE(run.Run());
        EXPECT_EQ(1, run.reports);
        ASSERT_EQ(c.records.size(), static_cast<size_t>(found.GetSize()));
        for (size_t i = 0; i < c.records.size(); ++i) {
            auto* record = static_cast<PlayerRecord*>(found.GetAt(static_cast<INT_PTR>(i)));
            EXPECT_EQ(CString(c.records[i].name), record->name);
            EXPECT_EQ(CString(c.records[i].displayName), record->GetDisplayName());
            EXPECT_EQ(c.sourceFlag, record->iTunesSourceFlag);
            EXPECT_EQ(0, record->IsMp3Only());
        }
        EXPECT_TRUE(boxes.Boxes().empty());
        for (INT_PTR i = 0; i < found.GetSize(); ++i)
            delete static_cast<PlayerRecord*>(found.GetAt(i));
    }
    CoUninitialize();
}

}  // namespace
