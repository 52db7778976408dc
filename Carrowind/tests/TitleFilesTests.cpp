// A title read from the files the console leaves in its folder: the playlist (ANSI or UTF-16,
// paths escaped and indented as the console writes them), the order file beside it, part files
// made by ffmpeg, and broken files.
#include "FileUtils.h"
#include "MediaFixtures.h"
#include "TitleFiles.h"
#include "TitleFixtures.h"
#include "WizardSheet.h"
#include "XmlNode.h"
#include "res/WizardSheetIds.h"

#include <gtest/gtest.h>

namespace {

using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

struct Read {
    BOOL ok = FALSE;
    CMediaObject title;
    CSourceObject source;
    TitleFileReading reading;
};

std::unique_ptr<Read> ReadTitle(const CString& playlist, const wchar_t* type = L"MP3 Audiobook")
{
    static const bool entities = [] {
        BuildEntityTable();
        return true;
    }();
    (void)entities;
    auto read = std::make_unique<Read>();
    read->reading.artist = L"Unknown Artist";
    read->ok = LoadTitleFiles(playlist, type, read->title, read->source, read->reading);
    return read;
}

TEST(TitleFiles, ReadsTheConsolesPlaylistInBothEncodingsAndTheOrderFileBeside)
{
    for (bool unicode : {false, true}) {
        ScratchFolder scratch;
        // A folder the console names after the title: blanks, an ampersand, a hyphen.
        const wchar_t* name = unicode ? L"Salt & Pepper \u4e2d" : L"Salt & Pepper - One";
        const CString playlist = wizardtest::MakeTitleFolder(scratch, name, 3, L"Harbour Lights", unicode);
        MessageBoxRecorder boxes;
        const auto read = ReadTitle(playlist);
        ASSERT_TRUE(read->ok) << unicode;
        EXPECT_TRUE(boxes.Boxes().empty());
        ASSERT_EQ(3, read->title.m_parts.GetSize());
        for (int i = 0; i < 3; ++i) {
            const CPartObject* part = read->title.GetPart(i);
            CString file;
            file.Format(L"%s\\%s\\%s-Part%02d.mp3", scratch.Path().GetString(), name, name, i + 1);
            EXPECT_EQ(file, part->m_fileName);  // decoded, existing
            EXPECT_EQ(i + 1, part->m_number);
            CString expected;
            expected.Format(L"Part %d", i + 1);
            EXPECT_EQ(expected, part->m_name);
        }
        EXPECT_EQ(KindMp3Audiobook, read->title.GetMetadata().GetContentKind());
        EXPECT_EQ(CString(L"Harbour Lights"), read->title.GetMetadata().GetDisplayTitle(FALSE, TRUE));
        EXPECT_EQ(CString(L"title-7"), read->title.m_mediaId);
        EXPECT_EQ(CString(L"src9"), read->title.m_sourceId);
        EXPECT_EQ(CString(L"Harbour Library"), read->source.m_name);
        EXPECT_EQ(CString(L"http://127.0.0.1/Img200/cover.jpg"), read->title.GetMetadata().m_coverUrl);
        EXPECT_EQ(CString(name) + L"-Part01.mp3", read->reading.firstPartFileName);
        EXPECT_EQ(CString(L"Unknown Artist"), read->reading.artist);
    }
}

TEST(TitleFiles, PartFilesMadeByFfmpegGiveDurationAlbumTitleAndArtist)
{
    ScratchFolder scratch;
    const CString part = mediafixtures::MakeWma(scratch, L"Crossing-Part01.wma");
    ASSERT_TRUE(FileExists(part));
    const CString playlist = scratch / L"Crossing.wax";
    wizardtest::WriteConsolePlaylist(playlist, {part.str()}, false);
    MessageBoxRecorder boxes;
    const auto read = ReadTitle(playlist, L"WMA Audiobook");
    ASSERT_TRUE(read->ok);
    EXPECT_EQ(CString(L"0:03"), read->title.GetPart(0)->GetDuration());
    EXPECT_GT(read->title.GetPart(0)->m_fileSize, 1000);
    // No order file: the album title stands, and the author is the artist.
    EXPECT_EQ(CString(L"Night Crossing"), read->title.GetMetadata().GetDisplayTitle(FALSE, TRUE));
    EXPECT_EQ(CString(L"Ada Quill"), read->reading.artist);
    EXPECT_EQ(KindAudiobook, read->title.GetMetadata().GetContentKind());
}

// A part's duration text is its length rounded to the nearest second, as the order file
// gives it: a part of 44.999 s shows 0:45 on every page.
TEST(TitleFiles, DurationTextsAreRoundedToTheNearestSecond)
{
    const struct {
        ULONGLONG hundredNanoseconds;
        const wchar_t* text;
    } rows[] = {
        {449990000, L"0:45"},     {445000000, L"0:45"},   {444999999, L"0:44"}, {0, L"0:00"},
        {4000000, L"0:00"},       {5000000, L"0:01"},     {35999990000, L"60:00"},
        {37230000000, L"62:03"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(CString(row.text), PartDurationText(row.hundredNanoseconds)) << row.hundredNanoseconds;
}

TEST(TitleFiles, BrokenPlaylistsAreRefusedWithTheirReason)
{
    const struct {
        const char* name;
        std::string bytes;
        const wchar_t* type;
        UINT message;
        UINT reason;
    } cases[] = {
        {"not XML", "<asx><entry>", L"MP3 Music", IDS_WIZARD_PLAYLIST_NOT_VALID, IDS_WIZARD_PLAYLIST_BAD_FORMAT},
        {"empty", "", L"MP3 Music", IDS_WIZARD_PLAYLIST_NOT_VALID, IDS_WIZARD_PLAYLIST_BAD_FORMAT},
        {"another root", "<playlist><entry>x</entry></playlist>", L"MP3 Music", IDS_WIZARD_PLAYLIST_NOT_VALID,
         IDS_WIZARD_PLAYLIST_BAD_ROOT},
        {"no entry", "<asx version=\"3.0\">\r\n</asx>", L"MP3 Music", IDS_WIZARD_PLAYLIST_NOT_VALID,
         IDS_WIZARD_PLAYLIST_NO_ENTRY},
        {"a path out of the folder", "<asx>\r\n\t<entry>\r\n\t\t<ref href=\"..\\..\\Windows\\win.ini\"/>\r\n\t</entry></asx>",
         L"MP3 Music", IDS_WIZARD_PLAYLIST_NOT_VALID, 0},
        {"an absolute path stepping back", "<asx><entry><ref href=\"C:\\M\\..\\..\\x.mp3\"/></entry></asx>", L"MP3 Music",
         IDS_WIZARD_PLAYLIST_NOT_VALID, 0},
        {"a standard video", "<asx><entry><ref href=\"C:\\M\\V-Part01.wmv\"/></entry></asx>", L"WMV Video (standard)",
         IDS_WIZARD_VIDEO_NOT_MOBILE, 0},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        const CString playlist = scratch / L"Broken.wax";
        WriteAll(playlist, c.bytes);
        MessageBoxRecorder boxes;
        const auto read = ReadTitle(playlist, c.type);
        EXPECT_FALSE(read->ok) << c.name;
        ASSERT_EQ(1u, boxes.Boxes().size()) << c.name;
        const CString& text = boxes.Boxes()[0].text;
        const CString format = AfxLoadString(c.message);
        EXPECT_EQ(format.Left(20), text.Left(20)) << c.name << ": " << text.ToNarrow();
        if (c.reason) {
            EXPECT_NE(-1, text.Find(AfxLoadString(c.reason))) << c.name << ": " << text.ToNarrow();
        }
        if (c.message == IDS_WIZARD_PLAYLIST_NOT_VALID) {
            EXPECT_NE(-1, text.Find(playlist)) << c.name;
        }
    }
    // A playlist that is not there.
    ScratchFolder scratch;
    MessageBoxRecorder boxes;
    EXPECT_FALSE(ReadTitle(scratch / L"Missing.wax")->ok);
    ASSERT_EQ(1u, boxes.Boxes().size());
    EXPECT_NE(-1, boxes.Boxes()[0].text.Find(AfxLoadString(IDS_WIZARD_PLAYLIST_BAD_FORMAT)));
}

TEST(TitleFiles, UnusableOrderFilesLeaveThePlaylistsTitle)
{
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"not XML", "<VesperlinMedia id=\"x\"><Metadata>"},
        {"another root", "<OtherMedia id=\"x\"><Metadata><Title>Other</Title></Metadata></OtherMedia>"},
        {"empty", ""},
    };
    for (const auto& c : cases) {
        ScratchFolder scratch;
        const CString playlist = wizardtest::MakeTitleFolder(scratch, L"Quay", 1);
        WriteAll(scratch / L"Quay\\Quay.vpm", c.bytes);
        MessageBoxRecorder boxes;
        const auto read = ReadTitle(playlist);
        EXPECT_TRUE(read->ok) << c.name;
        EXPECT_TRUE(boxes.Boxes().empty()) << c.name;
        EXPECT_EQ(CString(L"Quay"), read->title.GetMetadata().GetDisplayTitle(FALSE, TRUE)) << c.name;
        EXPECT_TRUE(read->title.m_mediaId.IsEmpty()) << c.name;
    }
}

TEST(TitleFiles, EntriesUtf8PlaylistsAndPartNames)
{
    const struct {
        const wchar_t* inner;
        const wchar_t* path;
    } entries[] = {
        {L"\r\n\t\t<ref href=\"C:\\M\\A&amp;B-Part01.mp3\"/>\r\n\t", L"C:\\M\\A&B-Part01.mp3"},
        {L"<ref href=C:\\M\\B-Part02.mp3/>", L"C:\\M\\B-Part02.mp3"},
        {L"<REF HREF=\"C:\\M\\B-Part02.mp3\" />", L"C:\\M\\B-Part02.mp3"},
        {L"<ref href=\"Book-Part03.mp3\"/>", L"C:\\Title\\Book-Part03.mp3"},
        {L"<ref href=\"\\\\server\\share\\x.mp3\"/>", L"\\\\server\\share\\x.mp3"},
    };
    for (const auto& e : entries)
        EXPECT_EQ(CString(e.path), PartPathOfEntry(e.inner, L"C:\\Title")) << CString(e.inner).ToNarrow();

    const struct {
        const wchar_t* path;
        int number;
        const wchar_t* name;
    } names[] = {
        {L"C:\\M\\Book-Part03.mp3", 3, L"Part 3"}, {L"C:\\M\\Book-Part12.wma", 12, L"Part 12"},
        {L"C:\\M\\Book-Chapter.mp3", 5, L"Chapter"}, {L"C:\\M\\Book-7.mp3", 5, L"7"},
        {L"C:\\M\\Book.mp3", 5, L"Part 5"},          {L"C:\\M\\Book-.mp3", 5, L"Part 5"},
        {L"C:\\M\\Book-Part00.mp3", 5, L"Part 5"},
    };
    for (const auto& n : names) {
        int number = 5;
        CString name;
        NamePartFromPath(n.path, number, name);
        EXPECT_EQ(n.number, number) << CString(n.path).ToNarrow();
        EXPECT_EQ(CString(n.name), name) << CString(n.path).ToNarrow();
    }

    // UTF-8 with its mark and a note before the root; an XML declaration and a DOCTYPE before the order file's root.
    ScratchFolder scratch;
    const CString playlist = wizardtest::MakeTitleFolder(scratch, L"Tide", 2);
    const std::wstring text = wizardtest::ConsolePlaylistText({(scratch / L"Tide\\Tide-Part01.mp3").str()});
    WriteAll(playlist, "\xEF\xBB\xBFnote " + CString(text).ToNarrow(CP_UTF8));
    wizardtest::WriteUtf16File(scratch / L"Tide\\Tide.vpm",
                               L"<?xml version=\"1.0\"?>\r\n<!DOCTYPE VesperlinMedia>\r\n<vesperlinmedia id=\"t2\">"
                               L"<Metadata><Title>Tide Tables</Title></Metadata></vesperlinmedia>");
    MessageBoxRecorder boxes;
    const auto read = ReadTitle(playlist);
    ASSERT_TRUE(read->ok);
    EXPECT_EQ(1, read->title.m_parts.GetSize());
    EXPECT_EQ(CString(L"Tide Tables"), read->title.GetMetadata().GetDisplayTitle(FALSE, TRUE));
    EXPECT_EQ(CString(L"t2"), read->title.m_mediaId);
}

TEST(WizardSheetNames, BaseFileNamesAndPartFileNames)
{
    const struct {
        const wchar_t* title;
        const wchar_t* base;
    } cases[] = {
        {L"Salt: A \"Story\" of <Sea>/Shore?", L"Salt A Story of SeaShore"},
        {L"A very long title of sixty characters that goes on and on ok", L"A very long title of sixty characters that goes"},
        {L"Ending...", L"Ending"},
        {L"Dots . . ", L"Dots"},
        {L"***", L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CString(c.base), CWizardSheetBase::CleanBaseFileName(c.title)) << CString(c.title).ToNarrow();
    EXPECT_EQ(CString(L"Tom  Jerry"), CWizardSheetBase::RemoveCharacterReferences(L"Tom &#38; Jerry"));
    EXPECT_EQ(CString(L"AB"), CWizardSheetBase::RemoveCharacterReferences(L"A&#1;&#22;B"));
    EXPECT_EQ(CString(L"Rock &# Roll"), CWizardSheetBase::RemoveCharacterReferences(L"Rock &# Roll"));
}

}  // namespace
