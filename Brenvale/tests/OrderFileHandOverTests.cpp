// The first steps of an order file handed to the console: links made paths, the file's
// encodings, declarations, the root check and its messages, and a hostile order file whose
// ids would lead its files out of their folders.
#include "ConsoleMediaObject.h"
#include "DownloadFolders.h"
#include "LibraryTestSupport.h"
#include "OrderFileHandOver.h"
#include "UrlEscapes.h"
#include "TestSupport.h"
#include "res/BrenvaleIds.h"

#include <gtest/gtest.h>

using namespace librarytest;
using testsupport::MessageBoxRecorder;
using testsupport::ScratchFolder;

namespace {

TEST(OrderFileHandOver, LinksBecomeWindowsPathsAndPlaylistsAreToldByTheirExtension)
{
    const struct {
        const wchar_t* handed;
        const wchar_t* path;
        bool playlist;
    } cases[] = {
        {L"zkyopen://C:/Titles/book.vpm", L"C:\\Titles\\book.vpm", false},
        {L"zkyopen://\"C:/Titles/My Book.vpm\"", L"C:\\Titles\\My Book.vpm", false},
        {L"  zkyopen:///C:/Titles/Book.WAX// ", L"C:\\Titles\\Book.WAX", true},
        {L"C:\\Titles\\plain path.vpm", L"C:\\Titles\\plain path.vpm", false},
        {L"C:/kept/as/given.vpm", L"C:/kept/as/given.vpm", false},  // no "://": not a link
        {L"C:\\Titles\\a.b\\Book.wax", L"C:\\Titles\\a.b\\Book.wax", true},
        {L"C:\\Titles\\wax", L"C:\\Titles\\wax", false},
        // Browsers hand links over escaped (UTF-8); a plain path is never decoded.
        {L"zkyopen://Z:/Orders/My%20Orders/x.vpm", L"Z:\\Orders\\My Orders\\x.vpm", false},
        {L"zkyopen://Z:/Caf%C3%A9%2fOrders/x%2Ewax", L"Z:\\Caf\u00E9\\Orders\\x.wax", true},
        {L"zkyopen://Z:/100%25/%22q%22.vpm", L"Z:\\100%\\\"q\".vpm", false},
        {L"zkyopen://Z:/50%/x%2.vpm", L"Z:\\50%\\x%2.vpm", false},          // no escapes: kept
        {L"zkyopen://Z:/bad%E9/x.vpm", L"Z:\\bad%E9\\x.vpm", false},      // no UTF-8: kept as given
        {L"zkyopen://Z:/nul%00/x.vpm", L"Z:\\nul%00\\x.vpm", false},
        {L"zkyopen://Z:/\u65E5%E6%9C%AC/x.vpm", L"Z:\\\u65E5\u672C\\x.vpm", false},
        {L"Z:\\My%20Orders\\x.vpm", L"Z:\\My%20Orders\\x.vpm", false},
    };
    for (const auto& c : cases) {
        const CString path = NormalizeHandedPath(c.handed);
        EXPECT_EQ(path, c.path) << CString(c.handed).ToNarrow();
        EXPECT_EQ(IsPlaylistPath(path), c.playlist) << CString(c.handed).ToNarrow();
    }
}

TEST(OrderFileHandOver, PartNamesAreEscapedAsUtf8ForTheDownloadUrlButNeverTwice)
{
    const struct {
        const wchar_t* name;
        const wchar_t* escaped;
    } cases[] = {
        {L"road-part1.mp3", L"road-part1.mp3"},
        {L"partie 1 \u00E9.mp3", L"partie%201%20%C3%A9.mp3"},
        {L"partie%201%20%C3%A9.mp3", L"partie%201%20%C3%A9.mp3"},  // already escaped
        {L"100% #1?.mp3", L"100%25%20%231%3F.mp3"},
        {L"disc 1/part 2.mp3", L"disc%201/part%202.mp3"},
        {L"\u65E5\u672C.mp3", L"%E6%97%A5%E6%9C%AC.mp3"},
        {L"\U0001F3B5.mp3", L"%F0%9F%8E%B5.mp3"},
        {L"a+b&c=d;e,f'(g)~h_i.mp3", L"a+b&c=d;e,f'(g)~h_i.mp3"},
        {L"back\\slash.mp3", L"back%5Cslash.mp3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EscapeUrlPath(c.name), c.escaped) << CString(c.name).ToNarrow(CP_UTF8);
}

TEST(OrderFileHandOver, EveryEncodingAndPrologIsReadAndOnlyTheRightRootPasses)
{
    const std::string body = "<VesperlinMedia id=\"x\"><Title>Caf\xC3\xA9</Title></VesperlinMedia>";
    auto utf16 = [](const std::wstring& text) {
        std::string bytes("\xFF\xFE", 2);
        bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
        return bytes;
    };
    const struct {
        const char* name;
        std::string bytes;
        UINT problem;
        const wchar_t* title;  // the decoded text of <Title>, for the accepted ones
    } cases[] = {
        {"UTF-8 mark", "\xEF\xBB\xBF" + body, 0, L"Caf\u00E9"},
        {"UTF-8 mark, declaration, DOCTYPE",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<!DOCTYPE VesperlinMedia>\r\n" + body, 0, L"Caf\u00E9"},
        {"no mark, valid UTF-8", "<?xml version=\"1.0\"?><!doctype VesperlinMedia>" + body, 0, L"Caf\u00E9"},
        {"no mark, ANSI", "<vesperlinmedia id=\"x\"><Title>Caf\xE9</Title></vesperlinmedia>", 0, L"Caf\u00E9"},
        {"UTF-16 mark", utf16(L"<?xml version=\"1.0\" encoding=\"utf-16\"?>\r\n<VesperlinMedia id=\"x\"><Title>Caf\u00E9</Title></VesperlinMedia>"),
         0, L"Caf\u00E9"},
        {"wrong root", "<?xml version=\"1.0\"?><MediaOrder id=\"x\"></MediaOrder>", IDS_CONSOLE_ORDER_BAD_ROOT, nullptr},
        {"not XML", "this is no order file", IDS_CONSOLE_ORDER_INVALID_FORMAT, nullptr},
        {"unterminated declaration", "<?xml version=\"1.0\" <VesperlinMedia></VesperlinMedia>",
         IDS_CONSOLE_ORDER_INVALID_FORMAT, nullptr},
        {"declaration only", "<?xml version=\"1.0\"?>", IDS_CONSOLE_ORDER_INVALID_FORMAT, nullptr},
        {"empty", "", IDS_CONSOLE_ORDER_INVALID_FORMAT, nullptr},
        {"unclosed root", "<VesperlinMedia id=\"x\"><Title>t</Title>", IDS_CONSOLE_ORDER_INVALID_FORMAT, nullptr},
        {"NUL inside", std::string("<VesperlinMedia id=\"x\">\0</VesperlinMedia>", 40), IDS_CONSOLE_ORDER_INVALID_FORMAT,
         nullptr},
    };
    for (const auto& c : cases) {
        CXmlNode root;
        EXPECT_EQ(ParseMediaOrderText(DecodeOrderFileBytes(c.bytes), root), c.problem) << c.name;
        if (c.title) {
            CString title;
            EXPECT_TRUE(root.GetChildText(L"Title", title, TRUE)) << c.name;
            EXPECT_EQ(title, c.title) << c.name;
        }
    }
}

TEST(OrderFileHandOver, AFileThatCannotBeReadOrCheckedIsReportedWithItsPath)
{
    ScratchFolder scratch;
    MessageBoxRecorder boxes;
    CXmlNode root;
    const CString missing = scratch / L"missing.vpm";
    EXPECT_FALSE(OpenMediaOrderFileText(missing, root));
    const CString wrong = scratch / L"wrong.vpm";
    testsupport::WriteAll(wrong, std::string("<Other/>"));
    EXPECT_FALSE(OpenMediaOrderFileText(wrong, root));
    const CString good = scratch / L"good.vpm";
    testsupport::WriteAll(good, std::string("<VesperlinMedia id=\"x\"/>"));
    EXPECT_TRUE(OpenMediaOrderFileText(good, root));
    EXPECT_EQ(root.GetName(), L"VesperlinMedia");

    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text.Find(L"Unable to open the specified Vesperlin media file \"" + missing + L"\".\n("), 0)
        << boxes.Boxes()[0].text.ToNarrow();
    EXPECT_EQ(boxes.Boxes()[1].text, L"The specified Vesperlin media file \"" + wrong +
                                         L"\" is not valid.\n(The Vesperlin media file root element is not valid.)");
}

TEST(OrderFileHandOver, AHostileOrderFileWritesNothingOutsideItsFolders)
{
    // Ids, file names and URLs that try to climb out of the download and data folders.
    const std::string order =
        "<VesperlinMedia id=\"..\\..\\evil\\id\">"
        "<Metadata><ContentType>MP3 Audiobook</ContentType><Title>..\\..\\Windows</Title><SortTitle>x</SortTitle>"
        "<ThumbnailUrl>http://h.test/a/..%5c..%5cpic.jpg</ThumbnailUrl><CoverUrl>http://h.test/c.jpg</CoverUrl>"
        "<Creators><Creator role=\"author\" file-as=\"a\">a</Creator></Creators>"
        "<Languages><Language code=\"en\">English</Language></Languages></Metadata>"
        "<Formats><Format name=\"m\"><Protocols><Protocol method=\"download\" baseurl=\"http://h.test\"/></Protocols>"
        "<Parts count=\"2\"><Part number=\"1\" filesize=\"1\" name=\"p\" filename=\"..\\..\\..\\boot.ini\"/>"
        "<Part number=\"2\" filesize=\"1\" name=\"q\" filename=\"sub/../../x.mp3\"/></Parts></Format></Formats>"
        "<Source id=\"..\\..\\src/evil\"><Name>n</Name><WebsiteUrl>http://w.test</WebsiteUrl>"
        "<BannerUrl>http://h.test/b/..\\..\\banner.gif</BannerUrl></Source></VesperlinMedia>";
    CXmlNode root;
    ASSERT_EQ(ParseMediaOrderText(DecodeOrderFileBytes(order), root), 0u);
    CMediaObject title;
    CString error;
    ASSERT_TRUE(title.ParseMediaOrderFile(&root, error)) << error.ToNarrow();
    CXmlNode sourceNode;
    ASSERT_TRUE(root.FindChild(L"Source", sourceNode));
    CSourceObject source;
    ASSERT_TRUE(source.ParseSource(&sourceNode, error, ConsoleOrderFileMessages())) << error.ToNarrow();

    ScratchFolder scratch;
    TestLibrary library(scratch / L"Data");
    const CString downloads = scratch / L"Downloads";
    title.SetDownloadFolder(downloads);
    title.SetTitleFolder(MakeTitleFolderName(library, downloads, title));
    // Below the folder, with no component that climbs ("." or ".."), no other separator and
    // no drive or stream colon.
    auto inside = [](const CString& path, const CString& folder) {
        if (path.Find(folder + L"\\") != 0 || path.Find(L'/') >= 0)
            return false;
        const CString rest = path.Mid(folder.GetLength() + 1);
        if (rest.Find(L':') >= 0)
            return false;
        int start = 0;
        for (;;) {
            const int end = rest.Find(L'\\', start);
            const CString part = end < 0 ? rest.Mid(start) : rest.Mid(start, end - start);
            if (part.IsEmpty() || part == L"." || part == L"..")
                return false;
            if (end < 0)
                return true;
            start = end + 1;
        }
    };
    const CString titleFolder = downloads + L"\\" + title.m_titleFolder;
    EXPECT_TRUE(inside(titleFolder, downloads)) << titleFolder.ToNarrow();
    for (INT_PTR i = 0; i < title.m_parts.GetSize(); ++i)
        EXPECT_TRUE(inside(title.GetPart(i)->GetFilePath(&title), titleFolder)) << title.GetPart(i)->GetFilePath(&title).ToNarrow();
    EXPECT_TRUE(inside(title.GetPlaylistPath(), titleFolder)) << title.GetPlaylistPath().ToNarrow();
    EXPECT_TRUE(inside(title.GetThumbnailPath(library.GetDataFolder(), FALSE), titleFolder));
    EXPECT_TRUE(inside(title.GetCoverPath(library.GetDataFolder()), titleFolder));
    const CString banners = library.GetDataFolder() + L"\\Banners";
    EXPECT_TRUE(inside(source.GetBannerPath(library.GetDataFolder()), banners))
        << source.GetBannerPath(library.GetDataFolder()).ToNarrow();
    // Without a title folder the thumbnail goes to the data folder's own, by the id made safe.
    CMediaObject bare;
    ASSERT_TRUE(bare.ParseMediaOrderFile(&root, error));
    EXPECT_TRUE(inside(bare.GetThumbnailPath(library.GetDataFolder(), FALSE), library.GetDataFolder() + L"\\Thumbnails"))
        << bare.GetThumbnailPath(library.GetDataFolder(), FALSE).ToNarrow();
}

}  // namespace
