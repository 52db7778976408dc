#include "MediaObject.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

CPartObject* MakePart(int number, const wchar_t* fileName, const wchar_t* duration)
{
    auto* part = new CPartObject;
    part->m_number = number;
    part->m_fileName = fileName;
    part->SetDuration(duration);
    return part;
}

}  // namespace

TEST(TitleModelTest, PartFilePaths)
{
    struct Case {
        int kind;
        const wchar_t* folder;
        const wchar_t* expected;
    } cases[] = {
        {KindMp3Audiobook, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.mp3"},
        {KindMp3Music, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.mp3"},
        {KindVideo, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.wmv"},
        {KindMobileVideo, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.wmv"},
        {KindGame, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.exe"},
        {KindAudiobook, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.wma"},
        {KindNone, L"Salt", L"D:\\Downloads\\Salt\\Salt-Part03.wma"},
        {KindAudiobook, L"", L"D:\\Downloads\\Media\\salt-03.wma"},
    };
    for (const Case& c : cases) {
        CMediaObject title;
        title.SetBaseFolder(L"D:\\Downloads");
        title.SetTitleFolder(c.folder);
        title.GetMetadata().SetContentKind(c.kind);
        CPartObject* part = MakePart(3, L"salt-03.wma", L"");
        title.AddPart(part);
        EXPECT_EQ(part->GetFilePath(&title), c.expected) << c.kind;
    }
    EXPECT_EQ(CPartObject().GetFilePath(nullptr), L"");
}

TEST(TitleModelTest, NamesFromOrderFilesStayInsideTheirFolders)
{
    CMediaObject title;
    title.SetBaseFolder(L"D:\\Downloads");
    title.SetMediaId(L"..\\..\\Windows\\evil");
    CPartObject* part = MakePart(1, L"../../boot.ini", L"");
    title.AddPart(part);
    EXPECT_EQ(part->GetFilePath(&title), L"D:\\Downloads\\Media\\.._.._boot.ini");
    EXPECT_EQ(title.GetThumbnailPath(L"C:\\Data", FALSE), L"C:\\Data\\Thumbnails\\.._.._Windows_evil.jpg");
    CSourceObject source;
    source.m_id = L"..";
    source.m_bannerUrl = L"http://x.test/b.png";
    EXPECT_EQ(source.GetBannerPath(L"C:\\Data\\"), L"C:\\Data\\Banners\\_.png");
    // Ordinary names are untouched.
    EXPECT_EQ(SafeFileNameComponent(L"{5B1C2D3E-0001}"), L"{5B1C2D3E-0001}");
    EXPECT_EQ(SafeFileNameComponent(L"salt-fmt30-01.wma"), L"salt-fmt30-01.wma");
}

TEST(TitleModelTest, DeviceNamesAndTrailingDotsAreMadeSafe)
{
    const struct {
        const wchar_t* name;
        const wchar_t* safe;
    } cases[] = {
        // Windows opens a device for these, with any extension and in any case.
        {L"CON", L"CON_"},
        {L"prn", L"prn_"},
        {L"Aux", L"Aux_"},
        {L"NUL.txt", L"NUL_.txt"},
        {L"nul.tar.gz", L"nul_.tar.gz"},
        {L"com1.wma", L"com1_.wma"},
        {L"COM9", L"COM9_"},
        {L"COM0", L"COM0_"},
        {L"lpt1", L"lpt1_"},
        {L"LPT9.mp3", L"LPT9_.mp3"},
        {L"CON .txt", L"CON_ .txt"},  // blanks before the dot do not hide the device
        {L"COM\u00B9", L"COM\u00B9_"},
        // Windows drops trailing dots and blanks: they go, so the name is the one stored.
        {L"book.", L"book"},
        {L"book . .", L"book"},
        {L"CON.", L"CON_"},
        {L"...", L"_"},
        {L"  ", L"_"},
        // Near misses stay as they are.
        {L"CONSOLE", L"CONSOLE"},
        {L"COM10.wma", L"COM10.wma"},
        {L"LPT", L"LPT"},
        {L"xNUL", L"xNUL"},
        {L"con-fmt30-01.wma", L"con-fmt30-01.wma"},
        {L".hidden", L".hidden"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeFileNameComponent(c.name), c.safe) << CString(c.name).ToNarrow();

    // Every path made from an order file's values goes through it.
    CMediaObject title;
    title.SetBaseFolder(L"D:\\Downloads");
    title.SetMediaId(L"aux");
    CPartObject* part = MakePart(1, L"nul.wma", L"");
    title.AddPart(part);
    EXPECT_EQ(part->GetFilePath(&title), L"D:\\Downloads\\Media\\nul_.wma");
    EXPECT_EQ(title.GetThumbnailPath(L"C:\\Data", FALSE), L"C:\\Data\\Thumbnails\\aux_.jpg");
    CSourceObject source;
    source.m_id = L"LPT1.";
    EXPECT_EQ(source.GetBannerPath(L"C:\\Data"), L"C:\\Data\\Banners\\LPT1_");
}

TEST(TitleModelTest, PicturePaths)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* folder;
        BOOL asFolder;
        const wchar_t* thumbnail;
        const wchar_t* cover;
    } cases[] = {
        {L"http://img.test/a/salt.png", L"Salt", FALSE, L"D:\\Dl\\Salt\\Salt.png", L"D:\\Dl\\Salt\\Salt-Cover.png"},
        {L"http://img.test/a/salt.png", L"Salt", TRUE, L"D:\\Dl\\Salt\\folder.png", L"D:\\Dl\\Salt\\Salt-Cover.png"},
        {L"http://img.test/a/salt", L"Salt", FALSE, L"D:\\Dl\\Salt\\Salt.jpg", L"D:\\Dl\\Salt\\Salt-Cover.jpg"},
        {L"http://img.test/salt?v=1.2", L"Salt", FALSE, L"D:\\Dl\\Salt\\Salt.jpg", L"D:\\Dl\\Salt\\Salt-Cover.jpg"},
        {L"http://img.test/a/salt.jpeg", L"Salt", FALSE, L"D:\\Dl\\Salt\\Salt.jpeg", L"D:\\Dl\\Salt\\Salt-Cover.jpeg"},
        {L"http://img.test/a/salt.gif", L"", FALSE, L"C:\\Data\\Thumbnails\\T1.gif", L"C:\\Data\\Thumbnails\\T1-Cover.gif"},
    };
    for (const Case& c : cases) {
        CMediaObject title;
        title.SetMediaId(L"T1");
        title.SetBaseFolder(L"D:\\Dl");
        title.SetTitleFolder(c.folder);
        title.GetMetadata().SetThumbnailUrl(c.url);
        EXPECT_EQ(title.GetThumbnailPath(L"C:\\Data", c.asFolder), c.thumbnail) << CString(c.url).ToNarrow();
        EXPECT_EQ(title.GetCoverPath(L"C:\\Data"), c.cover) << CString(c.url).ToNarrow();
    }
    CMediaObject title;
    title.SetBaseFolder(L"D:\\Dl");
    title.SetTitleFolder(L"Salt");
    EXPECT_EQ(title.GetMediaOrderFilePath(), L"D:\\Dl\\Salt\\Salt.vpm");
    title.SetTitleFolder(L"");
    title.SetFileName(L"order.vpm");
    EXPECT_EQ(title.GetMediaOrderFilePath(), L"D:\\Dl\\order.vpm");
}

TEST(TitleModelTest, Durations)
{
    struct Case {
        std::vector<const wchar_t*> durations;
        int seconds;
        const wchar_t* text;
    } cases[] = {
        {{L"1:02:03", L"59:59"}, 7322, L"2:02:02"},
        {{L"1:15"}, 75, L"01:15"},
        {{L"", L"90", L"abc"}, 0, L""},
        {{L"1:2:3:4"}, 3600 + 180 + 4, L"1:03:04"},  // four fields: first is hours
        {{L"x:10"}, 10, L"00:10"},
        {{L" 2:00 "}, 120, L"02:00"},
    };
    for (const Case& c : cases) {
        CMediaObject title;
        int n = 1;
        for (const wchar_t* d : c.durations)
            title.AddPart(MakePart(n++, L"p.wma", d));
        EXPECT_EQ(title.GetTotalDuration(), c.seconds);
        EXPECT_EQ(title.FormatTotalDuration(), c.text);
    }
}

TEST(TitleModelTest, AccentColoursAndKinds)
{
    struct Case {
        const wchar_t* text;
        COLORREF colour;
    } cases[] = {
        {L"#336699", RGB(0x33, 0x66, 0x99)},
        {L"336699", 16764057},
        {L"#369", 16764057},
        {L"#33669G", 16764057},
        {L"", 16764057},
    };
    for (const Case& c : cases) {
        CSourceObject source;
        source.m_accentColor = c.text;
        EXPECT_EQ(source.GetAccentColor(), c.colour) << CString(c.text).ToNarrow();
    }
    CMetadataObject metadata;
    for (int kind : {128, 3, -1, 256}) {
        metadata.SetContentKind(KindMusic);
        metadata.SetContentKind(kind);
        EXPECT_EQ(metadata.GetContentKind(), KindNone) << kind;
    }
}

TEST(TitleModelTest, SettersIgnoreNullAndInvalid)
{
    CMediaObject title;
    title.SetSourceId(L"S");
    title.SetSourceId(nullptr);
    EXPECT_EQ(title.m_sourceId, L"S");
    const COleDateTime before = title.m_acquiredDate;
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    title.SetAcquiredDate(invalid);
    EXPECT_EQ(title.m_acquiredDate, before);
    EXPECT_EQ(title.m_lastPlayedDate.GetStatus(), COleDateTime::null);
    EXPECT_EQ(title.AddPart(nullptr), -1);
    CMetadataObject& m = title.GetMetadata();
    m.SetTitle(L"A &amp; B");
    m.SetTitle(nullptr);
    EXPECT_EQ(m.m_titleDecoded, L"A & B");
    m.SetSubTitle(L"");
    EXPECT_EQ(m.GetDisplayTitle(TRUE, FALSE), L"A &amp; B");
}

TEST(TitleModelTest, CoverImageBesideAFile)
{
    testsupport::ScratchFolder folder;
    CreateDirectoryW(folder / L"my-folder", nullptr);
    const CString part = folder / L"my-folder\\Salt-Part01.mp3";
    testsupport::WriteAll(folder / L"my-folder\\Salt.gif", std::string("g"));
    testsupport::WriteAll(folder / L"my-folder\\Salt.png", std::string("p"));
    EXPECT_EQ(FindCoverImage(part), folder / L"my-folder\\Salt.gif");

    // A name without "-" cuts at its extension, never at a "-" of the folder.
    testsupport::WriteAll(folder / L"my-folder\\Plain.bmp", std::string("b"));
    EXPECT_EQ(FindCoverImage(folder / L"my-folder\\Plain.mp3"), folder / L"my-folder\\Plain.bmp");

    testsupport::MessageBoxRecorder boxes;
    EXPECT_EQ(FindCoverImage(folder / L"my-folder\\None-Part01.mp3"), L"");
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              L"Album Art image file not found.\n" + (folder / L"my-folder\\None") + L"(jpg|gif|bmp|tif)");
}
