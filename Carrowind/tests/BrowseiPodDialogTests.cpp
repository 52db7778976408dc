// The Browse iPod dialog over a playlist of our own making (tracks with artwork of real image
// files, one iTunes cannot give): rows, saved artwork, the artwork shown for the activated row
// after sorting, closing when iTunes has no playlist; its naming and fitting rules as tables.
#include "AdvancedOptionsDialog.h"
#include "BrowseiPodDialog.h"
#include "CarrowindSheet.h"
#include "FileUtils.h"
#include "PlayerRecord.h"
#include "TestSupport.h"
#include "TitleFixtures.h"
#include "WindowTestSupport.h"
#include "res/AdvancedOptionsIds.h"
#include "res/BrowseiPodDialogIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::StepRunner;

namespace {

// --- Objects that answer as iTunes' do ---

int& LiveObjects()
{
    static int live = 0;
    return live;
}

template <class I>
class Fake : public I {
public:
    Fake() { ++LiveObjects(); }
    Fake(const Fake&) = delete;
    Fake& operator=(const Fake&) = delete;
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && !Answers(iid))
            return E_NOINTERFACE;
        *out = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }

protected:
    virtual ~Fake() { --LiveObjects(); }
    virtual bool Answers(REFIID) const { return false; }

private:
    ULONG m_refs = 1;
};

HRESULT GiveText(const CString& text, BSTR* out)
{
    *out = SysAllocString(text);
    return S_OK;
}

template <class I>
class FakeObject : public Fake<I> {
public:
    explicit FakeObject(const CString& name) : m_name(name) {}
    HRESULT STDMETHODCALLTYPE GetITObjectIDs(LONG*, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) override { return GiveText(m_name, name); }
    HRESULT STDMETHODCALLTYPE put_Name(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Index(LONG*) override { return E_NOTIMPL; }

protected:
    CString m_name;
};

struct ArtworkCounts {
    int saves = 0;
};

class FakeArtwork : public Fake<IITArtwork> {
public:
    FakeArtwork(LONG format, const CString& image, ArtworkCounts* counts) : m_format(format), m_image(image), m_counts(counts) {}
    HRESULT STDMETHODCALLTYPE Delete() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SaveArtworkToFile(BSTR path) override
    {
        ++m_counts->saves;
        return CopyFileW(m_image, path, FALSE) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }
    HRESULT STDMETHODCALLTYPE get_Format(LONG* format) override
    {
        *format = m_format;
        return S_OK;
    }

protected:
    bool Answers(REFIID iid) const override { return iid == IID_IITArtwork; }

private:
    LONG m_format;
    CString m_image;
    ArtworkCounts* m_counts;
};

class FakeArtworkCollection : public Fake<IITArtworkCollection> {
public:
    explicit FakeArtworkCollection(IITArtwork* artwork) : m_artwork(artwork) {}
    ~FakeArtworkCollection() override
    {
        if (m_artwork)
            m_artwork->Release();
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override
    {
        *count = m_artwork ? 1 : 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITArtwork** artwork) override
    {
        if (index != 1 || !m_artwork)
            return E_INVALIDARG;
        m_artwork->AddRef();
        *artwork = m_artwork;
        return S_OK;
    }

private:
    IITArtwork* m_artwork;
};

struct TrackFields {
    const wchar_t* name;
    const wchar_t* time;
    const wchar_t* artist;
    const wchar_t* album;
    const wchar_t* location;
    LONG artworkFormat;  // 0: no artwork
};

class FakeTrack : public FakeObject<IITFileOrCDTrack> {
public:
    FakeTrack(const TrackFields& fields, const CString& image, ArtworkCounts* counts)
        : FakeObject(fields.name), m_fields(fields), m_image(image), m_counts(counts)
    {
    }
    HRESULT STDMETHODCALLTYPE Delete() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) override
    {
        *kind = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Artist(BSTR* artist) override { return GiveText(m_fields.artist, artist); }
    HRESULT STDMETHODCALLTYPE put_Artist(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Album(BSTR* album) override { return GiveText(m_fields.album, album); }
    HRESULT STDMETHODCALLTYPE put_Album(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Genre(BSTR*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_Genre(BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_TrackNumber(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_TrackNumber(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Duration(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Time(BSTR* time) override { return GiveText(m_fields.time, time); }
    HRESULT STDMETHODCALLTYPE AddArtworkFromFile(BSTR, IITArtwork**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Artwork(IITArtworkCollection** artwork) override
    {
        *artwork = new FakeArtworkCollection(m_fields.artworkFormat ? new FakeArtwork(m_fields.artworkFormat, m_image, m_counts) : nullptr);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Location(BSTR* path) override { return GiveText(m_fields.location, path); }
    HRESULT STDMETHODCALLTYPE get_RememberBookmark(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_RememberBookmark(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_ExcludeFromShuffle(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE put_ExcludeFromShuffle(VARIANT_BOOL) override { return E_NOTIMPL; }

protected:
    bool Answers(REFIID iid) const override { return iid == IID_IITObject || iid == IID_IITTrack || iid == IID_IITFileOrCDTrack; }

private:
    TrackFields m_fields;
    CString m_image;
    ArtworkCounts* m_counts;
};

// A playlist whose tracks are made afresh for every call, as iTunes hands out new objects;
// a track without fields is one iTunes cannot give.
class FakeTrackCollection : public Fake<IITTrackCollection> {
public:
    FakeTrackCollection(std::vector<const TrackFields*> tracks, std::vector<CString> images, ArtworkCounts* counts)
        : m_tracks(std::move(tracks)), m_images(std::move(images)), m_counts(counts)
    {
    }
    HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override
    {
        *count = static_cast<LONG>(m_tracks.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Item(LONG index, IITTrack** track) override
    {
        *track = nullptr;
        if (index < 1 || index > static_cast<LONG>(m_tracks.size()) || !m_tracks[static_cast<size_t>(index - 1)])
            return E_FAIL;
        const size_t at = static_cast<size_t>(index - 1);
        *track = new FakeTrack(*m_tracks[at], m_images[at], m_counts);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_ItemByName(BSTR, IITTrack**) override { return E_NOTIMPL; }

private:
    std::vector<const TrackFields*> m_tracks;
    std::vector<CString> m_images;
    ArtworkCounts* m_counts;
};

class FakePlaylist : public FakeObject<IITPlaylist> {
public:
    FakePlaylist(const CString& name, std::vector<const TrackFields*> tracks, std::vector<CString> images, ArtworkCounts* counts)
        : FakeObject(name), m_tracks(std::move(tracks)), m_images(std::move(images)), m_counts(counts)
    {
    }
    HRESULT STDMETHODCALLTYPE Delete() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Kind(LONG* kind) override
    {
        *kind = ITPlaylistKindLibrary;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Source(IITSource**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE get_Tracks(IITTrackCollection** tracks) override
    {
        *tracks = new FakeTrackCollection(m_tracks, m_images, m_counts);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Search(BSTR, LONG, IITTrackCollection**) override { return E_NOTIMPL; }

protected:
    bool Answers(REFIID iid) const override { return iid == IID_IITObject || iid == IID_IITPlaylist; }

private:
    std::vector<const TrackFields*> m_tracks;
    std::vector<CString> m_images;
    ArtworkCounts* m_counts;
};

// --- Rules ---

TEST(BrowseiPodRules, ArtworkFoldersAndFileNames)
{
    const struct {
        const wchar_t* temp;
        const wchar_t* folder;
    } folders[] = {
        {L"C:\\users\\me\\Temp\\", L"C:\\users\\me\\Temp\\_Artwork"},
        {L"C:\\users\\me\\Temp", L"C:\\users\\me\\Temp\\_Artwork"},
        {L"", L"D:\\work\\_Artwork"},
    };
    for (const auto& f : folders)
        EXPECT_EQ(CString(f.folder), CBrowseiPodDialog::ArtworkFolderFor(f.temp, L"D:\\work")) << CString(f.temp).ToNarrow();

    const CString longName(L'x', 300);
    const struct {
        CString name;
        int number;
        LONG format;
        CString file;
    } files[] = {
        {L"Harbour Lights-Part01", 1, ITArtworkFormatJPEG, L"C:\\A\\Harbour Lights-Part011.jpg"},
        {L"Harbour Lights-Part02", 2, ITArtworkFormatPNG, L"C:\\A\\Harbour Lights-Part022.png"},
        {L"Tide", 12, ITArtworkFormatBMP, L"C:\\A\\Tide12.bmp"},
        {L"Tide", 3, ITArtworkFormatUnknown, L""},
        {L"Tide", 3, 7, L""},
        // A name never leads out of the folder nor makes an invalid path.
        {L"..\\..\\Windows\\win.ini", 4, ITArtworkFormatJPEG, L"C:\\A\\_.._Windows_win.ini4.jpg"},
        {L"AC/DC: Back? <In> \"Black\" | *", 5, ITArtworkFormatJPEG, L"C:\\A\\AC_DC_ Back_ _In_ _Black_ _ _5.jpg"},
        {L" ..Dots and blanks.. ", 6, ITArtworkFormatPNG, L"C:\\A\\Dots and blanks6.png"},
        {L"Tab\there", 7, ITArtworkFormatPNG, L"C:\\A\\Tab_here7.png"},
        {longName, 8, ITArtworkFormatJPEG, L"C:\\A\\" + CString(L'x', 100) + L"8.jpg"},
    };
    for (const auto& f : files)
        EXPECT_EQ(f.file, CBrowseiPodDialog::ArtworkFileName(L"C:\\A", f.name, f.number, f.format)) << f.name.ToNarrow();
}

TEST(BrowseiPodRules, ArtworkKeepsItsProportionsInsideTheBox)
{
    const struct {
        CSize image;
        CRect box;
        CRect place;
    } cases[] = {
        {{200, 100}, {0, 0, 100, 100}, {1, 25, 101, 75}},    // wide: the box's width, centred vertically
        {{100, 200}, {0, 0, 100, 100}, {25, 1, 75, 101}},    // tall: the box's height, centred across
        {{300, 300}, {0, 0, 100, 100}, {0, 1, 100, 101}},    // square: as a tall one
        {{5000, 1}, {0, 0, 100, 100}, {1, 49, 101, 50}},     // never below a pixel
        {{1, 5000}, {10, 10, 110, 60}, {59, 11, 60, 61}},
        {{640, 480}, {10, 20, 170, 140}, {11, 20, 171, 140}},
    };
    for (const auto& c : cases) {
        const CRect place = CArtworkBox::FitImage(c.image, c.box);
        EXPECT_EQ(c.place.left, place.left) << c.image.cx << "x" << c.image.cy;
        EXPECT_EQ(c.place.top, place.top) << c.image.cx << "x" << c.image.cy;
        EXPECT_EQ(c.place.right, place.right) << c.image.cx << "x" << c.image.cy;
        EXPECT_EQ(c.place.bottom, place.bottom) << c.image.cx << "x" << c.image.cy;
    }
}

// --- The dialog ---

const TrackFields kPart1{L"Harbour Lights-Part01", L"30:05", L"Ada Quill", L"Harbour Lights", L"C:\\Music\\Part01.m4b", ITArtworkFormatPNG};
const TrackFields kPart2{L"Harbour Lights-Part02", L"1:02:03", L"Ada Quill", L"Harbour Lights", L"C:\\Music\\Part02.m4b", ITArtworkFormatJPEG};
const TrackFields kNoArt{L"An Interlude", L"4:10", L"Bea Marsh", L"Tides", L"C:\\Music\\Interlude.m4a", 0};
const TrackFields kHostile{L"..\\..\\Escape", L"2:00", L"Cal Reed", L"Outside", L"C:\\Music\\Escape.m4a", ITArtworkFormatJPEG};

class BrowseiPod : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_png = m_scratch / L"cover.png";
        m_jpg = m_scratch / L"cover.jpg";
        for (const CString* image : {&m_png, &m_jpg}) {
            const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i color=c=0x3060C0:s=240x120 -frames:v 1 '" +
                                        testsupport::UnixPath(*image) + "'";
            ASSERT_EQ(0, testsupport::RunHostCommand(command));
        }
        // The artwork folder starts empty.
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        m_artworkFolder = CBrowseiPodDialog::ArtworkFolderFor(temp, L"");
        for (const wchar_t* pattern : {L"*.jpg", L"*.png", L"*.bmp"}) {
            WIN32_FIND_DATAW found;
            HANDLE find = FindFirstFileW(m_artworkFolder + L"\\" + pattern, &found);
            if (find == INVALID_HANDLE_VALUE)
                continue;
            do
                DeleteFileW(m_artworkFolder + L"\\" + found.cFileName);
            while (FindNextFileW(find, &found));
            FindClose(find);
        }
        LiveObjects() = 0;
    }
    void TearDown() override { SetBrowseiPodLookup({}); }
    // iTunes' answer for the player's playlist name (and for the maker's inside the library).
    void Serve(const CString& playlistName, std::vector<const TrackFields*> tracks, bool makers = true)
    {
        std::vector<CString> images;
        for (const TrackFields* track : tracks)
            images.push_back(track && track->artworkFormat == ITArtworkFormatPNG ? m_png : m_jpg);
        BrowseiPodLookup lookup;
        lookup.findPlaylist = [this, playlistName, tracks, images](const CString& name) -> IITPlaylist* {
            m_asked.push_back(name);
            if (name != playlistName)
                return nullptr;
            return new FakePlaylist(name, tracks, images, &m_counts);
        };
        lookup.findMakersPlaylist = [this, makers, tracks, images](IITPlaylist*) -> IITPlaylist* {
            return makers ? new FakePlaylist(L"Vesperlin", tracks, images, &m_counts) : nullptr;
        };
        SetBrowseiPodLookup(std::move(lookup));
    }
    static std::vector<CString> Rows(CBrowseiPodDialog& dialog)
    {
        std::vector<CString> rows;
        for (int row = 0; row < dialog.m_tracks.GetItemCount(); ++row) {
            CString line;
            for (int column = 0; column < 5; ++column)
                line += (column ? L"|" : L"") + dialog.m_tracks.GetItemText(row, column);
            rows.push_back(line);
        }
        return rows;
    }
    static void Activate(CBrowseiPodDialog& dialog, int row)
    {
        NMITEMACTIVATE activate{};
        activate.hdr.hwndFrom = dialog.m_tracks.m_hWnd;
        activate.hdr.idFrom = IDC_BROWSE_TRACKS;
        activate.hdr.code = LVN_ITEMACTIVATE;
        activate.iItem = row;
        dialog.SendMessage(WM_NOTIFY, IDC_BROWSE_TRACKS, reinterpret_cast<LPARAM>(&activate));
    }
    static bool ArtworkEnabled(CBrowseiPodDialog& dialog)
    {
        return ::IsWindowEnabled(::GetDlgItem(dialog.m_hWnd, IDC_BROWSE_ARTWORK)) &&
               ::IsWindowEnabled(::GetDlgItem(dialog.m_hWnd, IDC_BROWSE_ARTWORK_LABEL));
    }

    ScratchFolder m_scratch;
    CString m_png, m_jpg, m_artworkFolder;
    ArtworkCounts m_counts;
    std::vector<CString> m_asked;
    MessageBoxRecorder m_boxes{IDOK};
};

TEST_F(BrowseiPod, ListsThePlaylistSavesArtworkOnceAndShowsTheActivatedRowsArtwork)
{
    Serve(L"John's iPod", {&kPart1, nullptr, &kPart2, &kNoArt, &kHostile});
    CBrowseiPodDialog dialog(L"Apple iPod (John's iPod)", L"Free Space: 1.25 GB", nullptr);
    CString caption, freeSpace;
    std::vector<CString> rows, rowsAgain;
    int savesFirst = -1, savesAgain = -1;
    LRESULT reloadAnswer = -1;
    bool helpHidden = false, boxOffAtStart = false, noArtOff = false, partOneShown = false, partTwoShown = false;
    CString partOneFile, partTwoFile;
    StepRunner steps(std::vector<StepRunner::Step>{
        [&] {
            caption = dialog.GetWindowText();
            freeSpace = dialog.GetDlgItemText(IDC_BROWSE_FREE_SPACE);
            helpHidden = !::IsWindowVisible(::GetDlgItem(dialog.m_hWnd, ID_HELP));
            boxOffAtStart = !ArtworkEnabled(dialog);
            rows = Rows(dialog);
            savesFirst = m_counts.saves;
            dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BROWSE_RELOAD, BN_CLICKED), 0);
            reloadAnswer = dialog.SendMessage(CBrowseiPodDialog::WM_BROWSE_RELOAD);
            savesAgain = m_counts.saves;
            rowsAgain = Rows(dialog);
            // Sorted by name, the rows move; each still shows its own artwork.
            dialog.m_tracks.Sort(0, false);
            Activate(dialog, 0);  // "..\..\Escape"
            Activate(dialog, 1);  // "An Interlude": no artwork
            noArtOff = !ArtworkEnabled(dialog) && dialog.m_artwork.GetImageFile().IsEmpty();
            Activate(dialog, 2);  // part 1, PNG artwork
            partOneShown = ArtworkEnabled(dialog);
            partOneFile = dialog.m_artwork.GetImageFile();
            Activate(dialog, 3);
            partTwoShown = ArtworkEnabled(dialog);
            partTwoFile = dialog.m_artwork.GetImageFile();
            dialog.m_tracks.SetItemState(2, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            Activate(dialog, 2);
            return true;
        },
        [&] {
            testsupport::PumpMessages(100);
            testsupport::CaptureWindow(dialog.m_hWnd, L"Carrowind.BrowseiPod");
            dialog.PostMessage(WM_COMMAND, IDOK);
            return true;
        },
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_TRUE(steps.Done());
    EXPECT_EQ(CString(L"Browse Apple iPod (John's iPod)"), caption);
    EXPECT_EQ(CString(L"Free Space: 1.25 GB"), freeSpace);
    EXPECT_TRUE(helpHidden);
    EXPECT_TRUE(boxOffAtStart);
    // In the playlist's order, the track iTunes could not give left out.
    const std::vector<CString> expected = {
        L"Harbour Lights-Part01|30:05|Ada Quill|Harbour Lights|C:\\Music\\Part01.m4b",
        L"Harbour Lights-Part02|1:02:03|Ada Quill|Harbour Lights|C:\\Music\\Part02.m4b",
        L"An Interlude|4:10|Bea Marsh|Tides|C:\\Music\\Interlude.m4a",
        L"..\\..\\Escape|2:00|Cal Reed|Outside|C:\\Music\\Escape.m4a",
    };
    EXPECT_EQ(expected, rows);
    EXPECT_EQ(expected, rowsAgain);
    EXPECT_EQ(0, dialog.m_tracks.GetColumnWidth(4));  // the location stays hidden
    // Three tracks have artwork: saved once each, inside the artwork folder, under safe names.
    EXPECT_EQ(3, savesFirst);
    EXPECT_EQ(3, savesAgain);  // after the Reload button and the reload message
    EXPECT_EQ(0, reloadAnswer);
    EXPECT_EQ(3, testsupport::FileCount(m_artworkFolder));
    EXPECT_TRUE(FileExists(m_artworkFolder + L"\\Harbour Lights-Part011.png"));
    EXPECT_TRUE(FileExists(m_artworkFolder + L"\\Harbour Lights-Part023.jpg"));
    EXPECT_TRUE(FileExists(m_artworkFolder + L"\\_.._Escape5.jpg"));
    EXPECT_TRUE(noArtOff);
    EXPECT_TRUE(partOneShown);
    EXPECT_EQ(m_artworkFolder + L"\\Harbour Lights-Part011.png", partOneFile);
    EXPECT_TRUE(partTwoShown);
    EXPECT_EQ(m_artworkFolder + L"\\Harbour Lights-Part023.jpg", partTwoFile);
    EXPECT_EQ(0u, m_boxes.Boxes().size());
    EXPECT_EQ(0, LiveObjects());  // every iTunes object released
}

TEST_F(BrowseiPod, ClosesItselfWhenITunesHasNoPlaylistForThePlayer)
{
    const struct {
        const char* name;
        const wchar_t* player;
        bool makers;         // the library holds the maker's playlist
        const wchar_t* asked;
        const wchar_t* message;  // null: the dialog closes without one
    } cases[] = {
        {"an iPod iTunes does not show", L"Apple iPod (Kitchen iPod)", true, L"Kitchen iPod", nullptr},
        {"a name without parentheses", L"Kitchen iPod", true, L"Kitchen iPod", nullptr},
        {"the library without the maker's playlist", L"iTunes Library (iTunes Library)", false, L"iTunes Library",
         L"The Vesperlin playlist is not found in the iTunes Library."},
    };
    for (const auto& c : cases) {
        m_asked.clear();
        m_boxes.Clear();
        Serve(c.makers ? L"John's iPod" : L"iTunes Library", {&kPart1}, c.makers);
        CBrowseiPodDialog dialog(c.player, L"", nullptr);
        EXPECT_EQ(IDCANCEL, dialog.DoModal()) << c.name;
        ASSERT_EQ(1u, m_asked.size()) << c.name;
        EXPECT_EQ(CString(c.asked), m_asked[0]) << c.name;
        if (c.message) {
            ASSERT_EQ(1u, m_boxes.Boxes().size()) << c.name;
            EXPECT_EQ(CString(c.message), m_boxes.Boxes()[0].text) << c.name;
        } else {
            EXPECT_EQ(0u, m_boxes.Boxes().size()) << c.name;
        }
        EXPECT_EQ(0, LiveObjects()) << c.name;
    }
}

TEST_F(BrowseiPod, TheLibraryShowsTheMakersPlaylist)
{
    Serve(L"iTunes Library", {&kPart2, &kPart1});
    CBrowseiPodDialog dialog(L"iTunes Library (iTunes Library)", L"", nullptr);
    CString caption;
    std::vector<CString> rows;
    StepRunner steps(std::vector<std::function<void()>>{[&] {
        caption = dialog.GetWindowText();
        rows = Rows(dialog);
        dialog.PostMessage(WM_COMMAND, IDOK);
    }});
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(CString(L"Browse Vesperlin playlist of iTunes Library"), caption);
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(0, rows[0].Find(L"Harbour Lights-Part02|"));
    EXPECT_TRUE(dialog.m_bLibrary);
    EXPECT_EQ(0, LiveObjects());
}

}  // namespace

// Browse in Advanced Options for an Apple player opens the Browse iPod dialog, which starts
// iTunes when it is not running: the sheet then knows to close it when the wizard ends.
TEST_F(BrowseiPod, BrowsingAnApplePlayerNotesTheITunesItStarts)
{
    const CString playlist = wizardtest::MakeTitleFolder(m_scratch, L"Harbour", 2, L"Harbour Lights");
    for (const bool running : {false, true}) {
        SCOPED_TRACE(running ? "iTunes running" : "iTunes closed");
        // A window of iTunes' class and title stands for a running iTunes.
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"iTunes";
        RegisterClassW(&windowClass);
        HWND iTunes = running ? CreateWindowExW(0, L"iTunes", L"iTunes", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                                windowClass.hInstance, nullptr)
                              : nullptr;
        ASSERT_EQ(running, iTunes != nullptr);
        Serve(L"Someone else's iPod", {});  // the dialog closes itself: iTunes shows no such iPod
        m_asked.clear();
        CWizardSheet sheet(playlist);
        PlayerRecord player(L"Ada's iPod", nullptr, L"Apple device", NoSerialNumber(), kUnknownValue);
        CAdvancedOptions options(&player, L"Apple device (Ada's iPod)", L"\\", L"Harbour", L"Harbour", L"\\", L"m4b",
                                 &sheet);
        StepRunner steps(std::vector<StepRunner::Step>{
            [&] {
                if (!options.m_hWnd)
                    return false;
                SendMessageW(options.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_ADVANCED_BROWSE, BN_CLICKED), 0);
                return true;
            },
            [&] {
                options.EndDialog(IDCANCEL);
                return true;
            },
        });
        EXPECT_EQ(IDCANCEL, options.DoModal());
        EXPECT_TRUE(steps.Done());
        EXPECT_EQ(std::vector<CString>{L"Ada's iPod"}, m_asked);
        EXPECT_EQ(running ? FALSE : TRUE, sheet.m_iTunesStarted);
        if (iTunes)
            DestroyWindow(iTunes);
    }
}
