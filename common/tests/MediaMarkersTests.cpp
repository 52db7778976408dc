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

TEST(MediaMarkers, SavedIntoFilesWithOlderTags)
{
    // Tags users have: ID3v1 only (lame), and an ID3v2.2 tag, which no packaged tagger writes
    // any more: it is put together here and checked with mutagen.
    ScratchFolder folder;
    CString wav = folder / L"tone.wav", v1 = folder / L"v1.mp3";
    mediafixtures::RunTool(folder, "ffmpeg -nostdin -v error -y -f lavfi -i sine=frequency=440:duration=3 " +
                                       ShellQuoted(wav) + " && lame --quiet -b 64 --id3v1-only --tt 'Harbour Lights' "
                                       "--ta 'Ada Quill' --tl 'Night Crossing' --tn 3 " + ShellQuoted(wav) + " " +
                                       ShellQuoted(v1));
    CString v22 = mediafixtures::MakeMp3(folder, L"v22.mp3");
    mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                     "path = " + ShellQuoted(v22) + "\n"
                                     "mutagen.id3.delete(path)\n"
                                     "def frame(fid, data): return fid + len(data).to_bytes(3, 'big') + data\n"
                                     "body = frame(b'TT2', b'\\x00Harbour Lights') + frame(b'TP1', b'\\x01\\xff\\xfe' + 'Ada Quill'.encode('utf-16-le'))\n"
                                     "body += frame(b'TAL', b'\\x00Night Crossing') + frame(b'TRK', b'\\x003/12')\n"
                                     "body += frame(b'COM', b'\\x00eng\\x00kept comment')\n"
                                     "body += frame(b'PIC', b'\\x00PNG\\x03\\x00' + b'\\x89PNG picture bytes')\n"
                                     "body += frame(b'TXX', b'\\x00Vesperlin MediaMarkers\\x00<Markers><Marker><Name>Old</Name><Time>00:01.000</Time></Marker></Markers>')\n"
                                     "body += bytes(64)\n"
                                     "size = len(body)\n"
                                     "head = b'ID3\\x02\\x00\\x00' + bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])\n"
                                     "audio = open(path, 'rb').read()\n"
                                     "open(path, 'wb').write(head + body + audio)\n"
                                     "t = mutagen.id3.ID3(path)\n"
                                     "assert t.version == (2, 2, 0) and t['TIT2'].text[0] == 'Harbour Lights', t.version\n");
    struct Case {
        const char* what;
        CString path;
        int storedMarkers;
    } cases[] = {{"ID3v1 only", v1, 0}, {"ID3v2.2", v22, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string audio = mediafixtures::Mp3Layout(folder, c.path);
        {
            CWMEditor editor;
            ASSERT_EQ(editor.Open(c.path), S_OK);
            CString text;
            EXPECT_EQ(editor.GetAttributeText(L"Title", text), S_OK);
            EXPECT_EQ(text, L"Harbour Lights");
            EXPECT_EQ(editor.GetAttributeText(L"Author", text), S_OK);
            EXPECT_EQ(text, L"Ada Quill");
            EXPECT_EQ(editor.GetAttributeText(L"WM/AlbumTitle", text), S_OK);
            EXPECT_EQ(text, L"Night Crossing");
            WMT_ATTR_DATATYPE type;
            QWORD track = 0;
            EXPECT_EQ(editor.GetAttribute(L"WM/Track", type, track), S_OK);
            EXPECT_EQ(track, 2u);
        }
        {
            CMediaMarkers markers;
            ASSERT_EQ(markers.Open(c.path, FALSE), S_OK);
            EXPECT_EQ(markers.GetMarkerCount(), c.storedMarkers);
            ASSERT_EQ(markers.AddMarker(L"Chapter", 1500), S_OK);
            ASSERT_EQ(markers.Close(TRUE), S_OK);
        }
        std::string out;
        mediafixtures::RunPython(folder, "import mutagen.id3\n"
                                         "t = mutagen.id3.ID3(" + ShellQuoted(c.path) + ", translate=False)\n"
                                         "m = [x.text[0] for x in t.getall('TXXX') if x.desc == 'Vesperlin MediaMarkers']\n"
                                         "print(t.version, t['TIT2'].text[0], t['TPE1'].text[0], t['TALB'].text[0], t['TRCK'].text[0].split('/')[0])\n"
                                         "print(m[-1])\n"
                                         "if t.version == (2, 3, 0) and t.getall('APIC'):\n"
                                         "    p = t.getall('APIC')[0]\n"
                                         "    print(p.mime, int(p.type), p.data, t.getall('COMM')[0].text[0])\n",
                                 &out);
        std::string expected = "(2, 3, 0) Harbour Lights Ada Quill Night Crossing 3\n"
                               "<Markers>";
        if (c.storedMarkers)
            expected += "<Marker><Name>Old</Name><Time>00:01.000</Time></Marker>";
        expected += "<Marker><Name>Chapter</Name><Time>00:01.500</Time></Marker></Markers>\n";
        if (c.storedMarkers)
            expected += "image/png 3 b'\\x89PNG picture bytes' kept comment\n";
        EXPECT_EQ(out, expected);
        // Everything after the new tag (the audio, and an ID3v1 tag) is what followed the old one.
        EXPECT_EQ(mediafixtures::Mp3Layout(folder, c.path), audio);
        CMediaMarkers back;
        ASSERT_EQ(back.Open(c.path, TRUE), S_OK);
        EXPECT_EQ(back.GetMarkerCount(), c.storedMarkers + 1);
    }
}

TEST(MediaMarkers, ListInTheMetadataLibraryIsSavedThere)
{
    // A Windows Media file whose marker list is a record of the metadata library object (where
    // values too large for the extended content description go).
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"library.wma");
    const std::string walk =
        "import struct, uuid\n"
        "def g(t): return uuid.UUID(t).bytes_le\n"
        "EXT, LIB = g('5FBF03B5-A92E-11CF-8EE3-00C00C205365'), g('44231C94-9498-49D1-A141-1D134E457054')\n"
        "ECD = g('D2D0A440-E307-11D2-97F0-00A0C95EA850')\n"
        "def objects(d, pos, end):\n"
        "    while pos + 24 <= end:\n"
        "        s = struct.unpack('<Q', d[pos + 16:pos + 24])[0]\n"
        "        yield d[pos:pos + 16], pos, s\n"
        "        pos += s\n"
        "def texts(d):\n"
        "    out = []\n"
        "    size = struct.unpack('<Q', d[16:24])[0]\n"
        "    for kind, pos, s in objects(d, 30, size):\n"
        "        if kind == ECD and 'WM/Text'.encode('utf-16-le') in d[pos:pos + s]: out.append('descriptor')\n"
        "        if kind != EXT: continue\n"
        "        for inner, q, t in objects(d, pos + 46, pos + s):\n"
        "            if inner != LIB: continue\n"
        "            n, r = struct.unpack('<H', d[q + 24:q + 26])[0], q + 26\n"
        "            for i in range(n):\n"
        "                lang, stream, nl, kind2, dl = struct.unpack('<HHHHI', d[r:r + 12])\n"
        "                name = d[r + 12:r + 12 + nl].decode('utf-16-le').rstrip('\\x00')\n"
        "                value = d[r + 12 + nl:r + 12 + nl + dl]\n"
        "                if name == 'WM/Text': out.append('library:' + value.decode('utf-16-le').split('\\x00')[1])\n"
        "                r += 12 + nl + dl\n"
        "    return out\n";
    mediafixtures::RunPython(folder, walk +
                                         "path = " + ShellQuoted(path) + "\n"
                                         "d = bytearray(open(path, 'rb').read())\n"
                                         "value = ('Vesperlin MediaMarkers\\x00<Markers><Marker><Name>Stored</Name>'\n"
                                         "         '<Time>00:02.000</Time></Marker></Markers>\\x00').encode('utf-16-le')\n"
                                         "name = 'WM/Text\\x00'.encode('utf-16-le')\n"
                                         "record = struct.pack('<HHHHI', 0, 0, len(name), 1, len(value)) + name + value\n"
                                         "lib = LIB + struct.pack('<QH', 24 + 2 + len(record), 1) + record\n"
                                         "ext = [p for k, p, s in objects(d, 30, struct.unpack('<Q', d[16:24])[0]) if k == EXT][0]\n"
                                         "es, ds = struct.unpack('<Q', d[ext + 16:ext + 24])[0], struct.unpack('<I', d[ext + 42:ext + 46])[0]\n"
                                         "d[ext + es:ext + es] = lib\n"
                                         "d[ext + 16:ext + 24] = struct.pack('<Q', es + len(lib))\n"
                                         "d[ext + 42:ext + 46] = struct.pack('<I', ds + len(lib))\n"
                                         "d[16:24] = struct.pack('<Q', struct.unpack('<Q', d[16:24])[0] + len(lib))\n"
                                         "fp = d.index(g('8CABDCA1-A947-11CF-8EE4-00C00C205365'))\n"
                                         "d[fp + 40:fp + 48] = struct.pack('<Q', len(d))\n"
                                         "open(path, 'wb').write(d)\n"
                                         "assert texts(d) == ['library:<Markers><Marker><Name>Stored</Name><Time>00:02.000</Time></Marker></Markers>'], texts(d)\n");
    const std::string before = mediafixtures::AsfLayout(folder, path, false);
    ASSERT_EQ(before.find("fault"), std::string::npos) << before;
    {
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, FALSE), S_OK);
        ASSERT_EQ(markers.GetMarkerCount(), 1);
        EXPECT_EQ(markers.GetMarkerName(0), L"Stored");
        ASSERT_EQ(markers.AddMarker(L"Added", 2500), S_OK);
        ASSERT_EQ(markers.Close(TRUE), S_OK);
    }
    std::string out;
    mediafixtures::RunPython(folder, walk + "print(texts(open(" + ShellQuoted(path) + ", 'rb').read()), end='')\n", &out);
    EXPECT_EQ(out, "['library:<Markers><Marker><Name>Stored</Name><Time>00:02.000</Time></Marker>"
                   "<Marker><Name>Added</Name><Time>00:02.500</Time></Marker></Markers>']");
    const std::string after = mediafixtures::AsfLayout(folder, path);
    EXPECT_EQ(after.substr(0, after.find('\n')), before.substr(0, before.find('\n'))) << after;
    EXPECT_GT(mediafixtures::ProbeDurationMs(folder, path), 2900);
    CMediaMarkers back;
    ASSERT_EQ(back.Open(path, TRUE), S_OK);
    EXPECT_EQ(back.GetMarkerCount(), 2);
    EXPECT_EQ(back.GetMarkerTime(1), 2500u);
}

TEST(MediaMarkers, ListSavedBesideAnotherUserTextOfTheLibraryIsReadBack)
{
    // The metadata library already holds a "WM/Text" of its own (a name, or one in another
    // language): the list must go where the reader takes it from, after that one.
    struct Case {
        const char* what;
        const char* record;
    } cases[] = {
        {"a name of its own", "user_text('Notes', 'a name of its own')"},
        {"a language of its own", "user_text('Notes', 'notes en fran\\u00e7ais', 1)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchFolder folder;
        CString path = mediafixtures::MakeWma(folder, L"part.wma");
        const long long duration = mediafixtures::ProbeDurationMs(folder, path);
        mediafixtures::ReworkAsfFile(folder, path, std::string("replace_extension(d, extension(library(") + c.record + ")))");
        for (int save = 1; save <= 3; ++save) {
            {
                CMediaMarkers markers;
                ASSERT_EQ(markers.Open(path, FALSE), S_OK);
                ASSERT_EQ(markers.GetMarkerCount(), save - 1);
                ASSERT_EQ(markers.AddMarker(CString(L"Chapter ") + CString(std::to_wstring(save).c_str()), save * 1000), S_OK);
                ASSERT_EQ(markers.Close(TRUE), S_OK);
            }
            CMediaMarkers back;
            ASSERT_EQ(back.Open(path, TRUE), S_OK);
            ASSERT_EQ(back.GetMarkerCount(), save);
            EXPECT_EQ(back.GetMarkerTime(save - 1), static_cast<DWORD>(save * 1000));
            // One list in the file as mutagen reads it (an in-place save leaves the old bytes
            // inside padding, so they are not counted by bytes), after the library's own text.
            const auto texts = mediafixtures::MutagenUserTexts(folder, path);
            ASSERT_EQ(texts.size(), 2u);
            EXPECT_EQ(texts[0].first, "Notes");
            EXPECT_EQ(texts[1].first, "Vesperlin MediaMarkers");
            EXPECT_EQ(texts[1].second, CString(back.BuildMarkerText()).ToNarrow());
        }
        EXPECT_NEAR(mediafixtures::ProbeDurationMs(folder, path), duration, 5);
    }
}

TEST(MediaMarkers, Version22TagKeepsEveryFrameWhenSaved)
{
    // A podcast's version 2.2 tag (the frames podcast programs add) gets a one-marker save.
    // With a version 2.3 form for every frame it is upgraded; a frame without one (encrypted
    // metadata, a program's own) keeps the whole tag at version 2.2, every frame as it was.
    ScratchFolder folder;
    const std::string frames =
        "def frame(fid, data): return fid + len(data).to_bytes(3, 'big') + data\n"
        "podcast = [frame(b'TT2', b'\\x00Episode One'), frame(b'PCS', b'\\x00\\x00\\x00\\x01'),\n"
        "           frame(b'WFD', b'\\x00http://pod.example.test/feed'), frame(b'TDS', b'\\x00About the sea'),\n"
        "           frame(b'TID', b'\\x00http://pod.example.test/1'), frame(b'TCT', b'\\x00Literature')]\n"
        "own = [frame(b'CRM', b'owner@example.test\\x00how\\x00\\x01\\x02\\x03'), frame(b'XYZ', b'\\x00a program of its own')]\n";
    // The frames of a tag as stored: "id=hex of data" in order.
    const std::string listing =
        "def listing(path):\n"
        "    d = open(path, 'rb').read()\n"
        "    major, size = d[3], d[6] << 21 | d[7] << 14 | d[8] << 7 | d[9]\n"
        "    pos, end, out = 10, 10 + size, []\n"
        "    idl, hl = (3, 6) if major == 2 else (4, 10)\n"
        "    while pos + hl <= end and d[pos] != 0:\n"
        "        n = int.from_bytes(d[pos + idl:pos + idl + 3 if major == 2 else pos + 8], 'big')\n"
        "        out.append(d[pos:pos + idl].decode() + '=' + d[pos + hl:pos + hl + n].hex())\n"
        "        pos += hl + n\n"
        "    return major, out\n";
    struct Case {
        const char* what;
        const char* extra;  // Python list of more frames
        int major;          // of the saved tag
        std::vector<std::string> ids;
    } cases[] = {
        {"podcast frames", "[]", 3, {"TIT2", "PCST", "WFED", "TDES", "TGID", "TCAT", "TXXX"}},
        {"and frames with no version 2.3 form", "own", 2, {"TT2", "PCS", "WFD", "TDS", "TID", "TCT", "CRM", "XYZ", "TXX"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CString path = mediafixtures::MakeMp3(folder, L"podcast.mp3");
        mediafixtures::RunPython(folder, "import mutagen.id3\n" + frames +
                                             "path = " + ShellQuoted(path) + "\n"
                                             "mutagen.id3.delete(path)\n"
                                             "body = b''.join(podcast + " + c.extra + ") + bytes(64)\n"
                                             "size = len(body)\n"
                                             "head = b'ID3\\x02\\x00\\x00' + bytes([(size >> 21) & 127, (size >> 14) & 127, (size >> 7) & 127, size & 127])\n"
                                             "audio = open(path, 'rb').read()\n"
                                             "open(path, 'wb').write(head + body + audio)\n");
        const std::string audio = mediafixtures::Mp3Layout(folder, path);
        {
            CMediaMarkers markers;
            ASSERT_EQ(markers.Open(path, FALSE), S_OK);
            ASSERT_EQ(markers.AddMarker(L"Start", 500), S_OK);
            ASSERT_EQ(markers.Close(TRUE), S_OK);
        }
        std::string out;
        mediafixtures::RunPython(folder, frames + listing +
                                             "major, saved = listing(" + ShellQuoted(path) + ")\n"
                                             "print(major)\n"
                                             "print(' '.join(s.split('=')[0] for s in saved))\n"
                                             "print(all(any(s.split('=')[1] == f[6:].hex() for s in saved) for f in podcast + " +
                                             c.extra + "))\n"
                                             "import mutagen.id3\n"
                                             "t = mutagen.id3.ID3(" + ShellQuoted(path) + ")\n"
                                             "print(t['TIT2'].text[0], *([t['TDES'].text[0], t['TCAT'].text[0], t['TGID'].text[0]] if major == 3 else []))\n",
                                 &out);
        std::string ids;
        for (const std::string& id : c.ids)
            ids += (ids.empty() ? "" : " ") + id;
        // mutagen reads the upgraded tag's podcast frames (a version 2.2 tag: its title).
        EXPECT_EQ(out, std::to_string(c.major) + "\n" + ids + "\nTrue\nEpisode One" +
                           (c.major == 3 ? " About the sea Literature http://pod.example.test/1" : "") + "\n");
        EXPECT_EQ(mediafixtures::Mp3Layout(folder, path), audio);
        CMediaMarkers back;
        ASSERT_EQ(back.Open(path, TRUE), S_OK);
        ASSERT_EQ(back.GetMarkerCount(), 1);
        EXPECT_EQ(back.GetMarkerTime(0), 500u);
    }
}

TEST(MediaMarkers, ListsLeftBeforeAnotherUserTextGoWithTheNextSave)
{
    // A file saved before lists were written after the library's own user text: its list
    // stands before that text, where no reader takes it from. The next save writes the one
    // list where it is read, and removes the stale copy; the other text stays.
    ScratchFolder folder;
    CString path = mediafixtures::MakeWma(folder, L"part.wma");
    {
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, FALSE), S_OK);
        ASSERT_EQ(markers.AddMarker(L"Stale", 1000), S_OK);
        ASSERT_EQ(markers.Close(TRUE), S_OK);
    }
    mediafixtures::ReworkAsfFile(folder, path, "replace_extension(d, extension(library(user_text('Notes', 'own'))))");
    ASSERT_EQ(mediafixtures::MutagenUserTexts(folder, path).size(), 2u);
    {
        CMediaMarkers markers;
        ASSERT_EQ(markers.Open(path, FALSE), S_OK);
        EXPECT_EQ(markers.GetMarkerCount(), 0) << "the last user text is another's";
        ASSERT_EQ(markers.AddMarker(L"Fresh", 2000), S_OK);
        ASSERT_EQ(markers.Close(TRUE), S_OK);
    }
    const auto texts = mediafixtures::MutagenUserTexts(folder, path);
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], std::make_pair(std::string("Notes"), std::string("own")));
    EXPECT_EQ(texts[1], std::make_pair(std::string("Vesperlin MediaMarkers"),
                                       std::string("<Markers><Marker><Name>Fresh</Name><Time>00:02.000</Time></Marker></Markers>")));
    CMediaMarkers back;
    ASSERT_EQ(back.Open(path, TRUE), S_OK);
    ASSERT_EQ(back.GetMarkerCount(), 1);
    EXPECT_EQ(back.GetMarkerName(0), L"Fresh");
}
