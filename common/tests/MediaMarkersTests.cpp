// Chapter markers: the marker text and its time texts, the list kept in a file's "WM/Text"
// attribute (checked against mutagen and ffmpeg files), and the native markers of a header.
#include "MediaFixtures.h"
#include "MediaMarkers.h"

#include <gtest/gtest.h>

using testsupport::ShellQuoted;
using testsupport::ScratchFolder;

namespace {

CString Xml(std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> markers)
{
    CString text = L"<Markers>";
    for (const auto& m : markers)
        text += CString(L"<Marker><Name>") + m.first + L"</Name><Time>" + m.second + L"</Time></Marker>";
    return text + L"</Markers>";
}

// The stored marker text of a file as mutagen reads it (empty when it holds none).
std::string StoredListByMutagen(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                     "f = [x for x in mutagen.id3.ID3(" + ShellQuoted(path) + ").getall('TXXX')"
                                     " if x.desc == 'Vesperlin MediaMarkers']\n"
                                     "print(f[-1].text[0] if f else '', end='')\n", &out);
    return out;
}

// How many user-text frames of the marker description the file's bytes hold.
int StoredLists(const ScratchFolder& folder, const CString& path)
{
    std::string out;
    mediafixtures::RunPython(folder, "data = open(" + ShellQuoted(path) + ", 'rb').read()\n"
                                     "print(data.count('Vesperlin MediaMarkers'.encode('utf-16-le')), end='')\n", &out);
    return std::atoi(out.c_str());
}

}  // namespace

TEST(MarkerTimes, FormatAndParse)
{
    struct Format {
        DWORD ms;
        const wchar_t* text;
    } formats[] = {
        {0, L"00:00.000"},        {83004, L"01:23.004"},        {3599999, L"59:59.999"},
        {3600000, L"01:00:00.000"}, {3723456, L"01:02:03.456"}, {90000000, L"25:00:00.000"},
    };
    for (const Format& f : formats) {
        EXPECT_EQ(CMediaMarkers::FormatMarkerTime(f.ms), f.text);
        EXPECT_EQ(CMediaMarkers::ParseMarkerTime(f.text), f.ms) << CString(f.text).ToNarrow();
    }
    struct Parse {
        const wchar_t* text;
        DWORD ms;
    } parses[] = {
        {L"", 0},
        {L"1:2:3:4.5", ((2 * 60 + 3) * 60 + 4) * 1000 + 5},
        {L"03.5", 3005},
        {L".250", 250},
        {L"1234", 1234},
        {L"1:30", 90000},
        {L"x:10.1", 10001},
        {L"2:", 120000},
        {L"1.2.3", 1003},
    };
    for (const Parse& p : parses)
        EXPECT_EQ(CMediaMarkers::ParseMarkerTime(p.text), p.ms) << CString(p.text).ToNarrow();
}

TEST(MarkerText, ParsingRules)
{
    struct Case {
        const char* what;
        CString text;
        int count;
        const wchar_t* firstName;
        DWORD firstTime;
    } cases[] = {
        {"plain", Xml({{L"Intro", L"00:01.500"}, {L"Two", L"01:00.000"}}), 2, L"Intro", 1500},
        {"markup characters kept", Xml({{L"a < b & c", L"00:02.000"}}), 1, L"a < b & c", 2000},
        {"empty name skipped", Xml({{L"", L"00:01.000"}, {L"Kept", L"00:02.000"}}), 1, L"Kept", 2000},
        {"empty time skipped", Xml({{L"Lost", L""}, {L"Kept", L"00:02.000"}}), 1, L"Kept", 2000},
        {"missing time skipped", L"<Markers><Marker><Name>x</Name></Marker></Markers>", 0, L"", 0},
        {"unclosed marker ends the scan", L"<Markers><Marker><Name>x</Name><Time>1</Time>", 0, L"", 0},
        {"not markers at all", L"just some notes", 0, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CMediaMarkers markers;
        EXPECT_EQ(markers.ParseMarkerText(c.text), c.count);
        EXPECT_EQ(markers.GetMarkerCount(), c.count);
    }
    // Names come back through a file below; here the text round trip of awkward names.
    CMediaMarkers m;
    m.AddMarker(L"a < b & c", 1000);
    m.AddMarker(L"x</Name>y", 2000);
    CMediaMarkers back;
    ASSERT_EQ(back.ParseMarkerText(m.BuildMarkerText()), 2);
    EXPECT_EQ(m.BuildMarkerText(), L"<Markers><Marker><Name>a < b & c</Name><Time>00:01.000</Time></Marker>"
                                   L"<Marker><Name>x</Name>y</Name><Time>00:02.000</Time></Marker></Markers>");
}

TEST(MarkerText, LimitsOfTheList)
{
    CMediaMarkers m;
    for (int i = 0; i < 100; ++i)
        ASSERT_EQ(m.AddMarker(L"m", static_cast<DWORD>(i)), S_OK);
    EXPECT_EQ(m.AddMarker(L"one too many", 1), E_INVALIDARG);
    EXPECT_EQ(m.GetMarkerCount(), 100);
    CString text = m.BuildMarkerText();
    CString more = text.Left(text.GetLength() - 10) + L"<Marker><Name>101</Name><Time>9</Time></Marker></Markers>";
    CMediaMarkers parsed;
    EXPECT_EQ(parsed.ParseMarkerText(more), 100) << "a stored list gives its first 100";

    EXPECT_EQ(m.RemoveMarker(99), S_OK);
    EXPECT_EQ(m.GetMarkerCount(), 99);
    EXPECT_EQ(m.RemoveMarker(99), static_cast<HRESULT>(0xC00D07F0));
    EXPECT_EQ(m.RemoveMarker(-1), static_cast<HRESULT>(0xC00D07F0));
    CMediaMarkers empty;
    EXPECT_EQ(empty.RemoveMarker(0), static_cast<HRESULT>(0xC00D07F0));

    CMediaMarkers longName;
    longName.AddMarker(CString(L'n', 400), 1);
    CMediaMarkers longBack;
    longBack.ParseMarkerText(longName.BuildMarkerText());
    EXPECT_EQ(longName.BuildMarkerText().Find(CString(L'n', 260)), -1) << "names are cut to 259 characters";
    // On a closed object every index gives nothing.
    EXPECT_EQ(m.GetMarkerName(0), L"");
    EXPECT_EQ(m.GetMarkerTime(0), 0u);
}

TEST(MediaMarkers, ReadsTheLastUserTextOnly)
{
    ScratchFolder folder;
    CString list = Xml({{L"Chapter One", L"00:00.000"}, {L"Chapter Two", L"01:02:03.456"}});
    CString other = Xml({{L"Elsewhere", L"00:05.000"}});
    struct Case {
        const char* what;
        std::vector<std::pair<std::wstring, std::wstring>> frames;
        int count;
        const wchar_t* lastName;
        DWORD lastTime;
    } cases[] = {
        {"one list", {{L"Vesperlin MediaMarkers", list.str()}}, 2, L"Chapter Two", 3723456},
        {"two lists: the last counts", {{L"Vesperlin MediaMarkers", other.str()}, {L"Vesperlin MediaMarkers", list.str()}},
         2, L"Chapter Two", 3723456},
        {"another description last", {{L"Vesperlin MediaMarkers", list.str()}, {L"Notes", other.str()}}, 0, L"", 0},
        {"no user text", {}, 0, L"", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = mediafixtures::MakeMp3(folder, L"part.mp3");
        mediafixtures::WriteUserTextFrames(folder, path, c.frames);
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, TRUE), S_OK);
        EXPECT_EQ(markers.GetMarkerCount(), c.count);
        EXPECT_EQ(markers.GetMarkerName(c.count - 1), c.lastName);
        EXPECT_EQ(markers.GetMarkerTime(c.count - 1), c.lastTime);
        EXPECT_EQ(markers.GetMarkerName(100), L"");
        EXPECT_EQ(markers.GetMarkerName(-1), L"");
        EXPECT_EQ(markers.Close(FALSE), S_OK);
    }
}

TEST(MediaMarkers, ReadsAListThatMutagenWrote)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"part.mp3");
    // mutagen's own user-text frame: UTF-8 text in a version 2.4 tag.
    mediafixtures::RunPython(folder, "from mutagen.id3 import ID3, TXXX\n"
                                     "tag = ID3(" + ShellQuoted(path) + ")\n"
                                     "tag.add(TXXX(encoding=3, desc='Vesperlin MediaMarkers', text=["
                                     "'<Markers><Marker><Name>Pr\\u00e9lude</Name><Time>00:00.000</Time></Marker>'"
                                     "'<Marker><Name>Act II</Name><Time>1:02:03.5</Time></Marker></Markers>']))\n"
                                     "tag.save(v2_version=4)\n");
    CMediaMarkers markers;
    ASSERT_EQ(markers.Open(path, TRUE), S_OK);
    ASSERT_EQ(markers.GetMarkerCount(), 2);
    EXPECT_EQ(markers.GetMarkerName(0), L"Pr\u00e9lude");
    EXPECT_EQ(markers.GetMarkerName(1), L"Act II");
    EXPECT_EQ(markers.GetMarkerTime(1), 3723005u);
    EXPECT_EQ(markers.Close(FALSE), S_OK);
}

TEST(MediaMarkers, SavedListIsReadByMutagenAndByUs)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeMp3(folder, L"part.mp3");
    // A foreign user text last: it must survive the save untouched.
    mediafixtures::WriteUserTextFrames(folder, path,
                                       {{L"Vesperlin MediaMarkers", Xml({{L"Old", L"00:01.000"}}).str()},
                                        {L"Notes", L"keep me"}});
    std::vector<BYTE> before = testsupport::ReadAll(path);
    {
        // Opened read only, a changed list cannot be saved, and the failure is reported.
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, TRUE), S_OK);
        ASSERT_EQ(markers.AddMarker(L"Lost", 1), S_OK);
        EXPECT_EQ(markers.Close(TRUE), E_ACCESSDENIED);
    }
    EXPECT_EQ(testsupport::ReadAll(path), before);
    {
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, FALSE), S_OK);
        EXPECT_EQ(markers.GetMarkerCount(), 0);
        ASSERT_EQ(markers.AddMarker(L"Opening & <Credits>", 0), S_OK);
        ASSERT_EQ(markers.AddMarker(L"Chapter \u00c9t\u00e9", 3723456), S_OK);
        ASSERT_EQ(markers.Close(TRUE), S_OK);
    }
    EXPECT_EQ(StoredListByMutagen(folder, path),
              "<Markers><Marker><Name>Opening & <Credits></Name><Time>00:00.000</Time></Marker>"
              "<Marker><Name>Chapter \xc3\x89t\xc3\xa9</Name><Time>01:02:03.456</Time></Marker></Markers>");
    std::string notes;
    mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                     "print([x.text[0] for x in mutagen.id3.ID3(" + ShellQuoted(path) + ").getall('TXXX')"
                                     " if x.desc == 'Notes'], end='')\n", &notes);
    EXPECT_EQ(notes, "['keep me']");
    EXPECT_EQ(StoredLists(folder, path), 1) << "the older list is replaced, not left beside the new one";
    EXPECT_GT(mediafixtures::ProbeDurationMs(folder, path), 2900) << "ffprobe still reads the audio";

    CMediaMarkers back;
    ASSERT_EQ(back.Open(path, TRUE), S_OK);
    ASSERT_EQ(back.GetMarkerCount(), 2);
    EXPECT_EQ(back.GetMarkerName(0), L"Opening & <Credits>");
    EXPECT_EQ(back.GetMarkerName(1), L"Chapter \u00c9t\u00e9");
    EXPECT_EQ(back.GetMarkerTime(1), 3723456u);
    EXPECT_EQ(back.Close(FALSE), S_OK);

    // Saving the list again replaces it (it is now the last user text) instead of adding one.
    {
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, FALSE), S_OK);
        ASSERT_EQ(markers.RemoveMarker(0), S_OK);
        ASSERT_EQ(markers.Close(TRUE), S_OK);
    }
    EXPECT_EQ(StoredLists(folder, path), 1) << "a tag holds one user text per description";
    EXPECT_EQ(StoredListByMutagen(folder, path),
              "<Markers><Marker><Name>Chapter \xc3\x89t\xc3\xa9</Name><Time>01:02:03.456</Time></Marker></Markers>");
}

TEST(MediaMarkers, ListSavedInAWindowsMediaFile)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"part.wma");
    std::string before = mediafixtures::AsfLayout(folder, path, false);
    {
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, FALSE), S_OK);
        ASSERT_EQ(markers.AddMarker(L"Start", 1500), S_OK);
        ASSERT_EQ(markers.Close(TRUE), S_OK);
    }
    // A sound header in front of the unchanged data object.
    std::string after = mediafixtures::AsfLayout(folder, path);
    EXPECT_EQ(after.substr(0, after.find('\n')), before.substr(0, before.find('\n'))) << after;
    std::string out;
    mediafixtures::RunPython(folder, "from mutagen.asf import ASF\n"
                                     "v = ASF(" + ShellQuoted(path) + ")['WM/Text'][0].value.decode('utf-16-le').split('\\x00')\n"
                                     "print(v[0] + '|' + v[1], end='')\n", &out);
    EXPECT_EQ(out, "Vesperlin MediaMarkers|<Markers><Marker><Name>Start</Name><Time>00:01.500</Time></Marker></Markers>");
    CMediaMarkers back;
    ASSERT_EQ(back.Open(path, TRUE), S_OK);
    EXPECT_EQ(back.GetMarkerCount(), 1);
    EXPECT_EQ(back.GetMarkerTime(0), 1500u);
    // The native chapters are still there for ffprobe.
    std::string chapters;
    mediafixtures::RunTool(folder, "ffprobe -v error -show_chapters -of csv=p=0 " + ShellQuoted(path) + " | wc -l", &chapters);
    EXPECT_EQ(std::atoi(chapters.c_str()), 2);
}

TEST(MediaMarkers, OpenFailures)
{
    ScratchFolder folder;
    CMediaMarkers markers;
    EXPECT_TRUE(FAILED(markers.Open(folder / L"missing.mp3", TRUE)));
    EXPECT_EQ(markers.GetMarkerCount(), 0);
    testsupport::WriteAll(folder / L"text.mp3", std::string("not a media file at all"));
    EXPECT_TRUE(FAILED(markers.Open(folder / L"text.mp3", TRUE)));
    EXPECT_EQ(markers.GetMarkerName(0), L"");
}

TEST(WMEditor, NativeMarkersAndAttributes)
{
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"part.wma");
    CWMEditor closed;
    EXPECT_EQ(closed.GetMarkerCount(), -1);
    EXPECT_EQ(closed.GetMarkerName(0), L"");
    EXPECT_EQ(closed.GetMarkerTime(0), 0u);
    EXPECT_EQ(closed.Close(), NS_E_INVALID_REQUEST);

    CWMEditor editor;
    ASSERT_EQ(editor.Open(path), S_OK);
    ASSERT_EQ(editor.GetMarkerCount(), 2);
    EXPECT_EQ(editor.GetMarkerName(0), L"Intro");
    EXPECT_EQ(editor.GetMarkerName(1), L"Second part");
    EXPECT_EQ(editor.GetMarkerTime(1), 1500u) << "15,000,000 units";
    EXPECT_EQ(editor.GetMarkerName(2), L"");
    EXPECT_EQ(editor.GetMarkerTime(-1), 0u);

    WMT_ATTR_DATATYPE type;
    QWORD value = 0;
    ASSERT_EQ(editor.GetAttribute(L"Duration", type, value), S_OK);
    EXPECT_EQ(type, WMT_TYPE_QWORD);
    EXPECT_NEAR(static_cast<double>(value / 10000), static_cast<double>(mediafixtures::ProbeDurationMs(folder, path)), 30);
    ASSERT_EQ(editor.GetAttribute(L"FileSize", type, value), S_OK);
    EXPECT_EQ(value, testsupport::ReadAll(path).size());
    ASSERT_EQ(editor.GetAttribute(L"Bitrate", type, value), S_OK);
    EXPECT_EQ(type, WMT_TYPE_DWORD);
    CString text;
    EXPECT_EQ(editor.GetAttributeText(L"WM/AlbumTitle", text), S_OK);
    EXPECT_EQ(text, L"Night Crossing");
    EXPECT_EQ(editor.GetAttributeText(L"Author", text), S_OK);
    EXPECT_EQ(text, L"Ada Quill");
    EXPECT_EQ(editor.GetAttributeText(L"Duration", text), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(editor.GetAttribute(L"Author", type, value), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(editor.Close(), S_OK);
    EXPECT_EQ(editor.GetMarkerCount(), -1);
}
