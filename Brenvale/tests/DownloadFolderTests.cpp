// The Get Media rules for a new title's folders: the download folder check and the title
// folder name.
#include "DownloadFolders.h"
#include "LibraryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace librarytest;
using testsupport::ScratchFolder;

namespace {

UINT g_driveType = DRIVE_FIXED;
CString g_askedRoot;
UINT WINAPI TestDriveType(const wchar_t* root)
{
    g_askedRoot = root;
    return g_driveType;
}

TEST(DownloadFolderCheck, RefusesWhatCannotHoldDownloads)
{
    struct Case {
        const wchar_t* folder;
        UINT driveType;
        UINT message;
        const wchar_t* word;
        const wchar_t* askedRoot;  // null: no drive asked
    };
    const Case cases[] = {
        {L"", DRIVE_FIXED, IDS_NO_DOWNLOAD_FOLDER, L"", nullptr},
        {L"C:\\My Media\\WMA Audiobooks", DRIVE_FIXED, 0, L"", L"C:\\"},
        {L"Z:\\Media", DRIVE_REMOTE, 0, L"", L"Z:\\"},
        {L"D:\\Media", DRIVE_CDROM, IDS_DOWNLOAD_DRIVE_REFUSED, L"CD and DVD", L"D:\\"},
        {L"E:\\Media", DRIVE_REMOVABLE, IDS_DOWNLOAD_DRIVE_REFUSED, L"removable", L"E:\\"},
        {L"R:\\Media", DRIVE_RAMDISK, IDS_DOWNLOAD_DRIVE_REFUSED, L"RAM", L"R:\\"},
        {L"Q:\\Media", DRIVE_NO_ROOT_DIR, IDS_DOWNLOAD_DRIVE_REFUSED, L"removable", L"Q:\\"},
        {L"\\\\server\\share\\Media", DRIVE_CDROM, 0, L"", nullptr},
        {L"C:\\a/b", DRIVE_FIXED, IDS_DOWNLOAD_FOLDER_INVALID, L"", nullptr},
        {L"C:\\Media|x", DRIVE_FIXED, IDS_DOWNLOAD_FOLDER_INVALID, L"", nullptr},
        // Relative folders: they would follow whatever the current folder is.
        {L"Music", DRIVE_FIXED, IDS_DOWNLOAD_FOLDER_INVALID, L"", nullptr},
        {L"..\\Music", DRIVE_FIXED, IDS_DOWNLOAD_FOLDER_INVALID, L"", nullptr},
        {L"\\Music", DRIVE_FIXED, IDS_DOWNLOAD_FOLDER_INVALID, L"", nullptr},
        {L"C:Music", DRIVE_FIXED, IDS_DOWNLOAD_FOLDER_INVALID, L"", L"C:\\"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.folder);
        g_driveType = c.driveType;
        g_askedRoot = L"(none)";
        CString word = L"stale";
        EXPECT_EQ(CheckDownloadFolder(c.folder, word, &TestDriveType), c.message);
        EXPECT_EQ(word, CString(c.word));
        EXPECT_EQ(g_askedRoot, CString(c.askedRoot ? c.askedRoot : L"(none)"));
    }
}

TEST(TitleFolderName, IsMadeSafeShortAndUniqueFromTheTitle)
{
    struct Case {
        const wchar_t* title;
        const wchar_t* mediaId;
        const wchar_t* folder;
    };
    const Case cases[] = {
        {L"Who? What: Where*", L"id", L"Who What Where"},
        // 60 characters: cut to 50, then at the last blank.
        {L"The Quite Long Title Of A Book That Goes On And On Past Fifty", L"id",
         L"The Quite Long Title Of A Book That Goes On And"},
        {L"Trailing dots... ", L"id", L"Trailing dots"},
        {L"Tab\there\x01", L"id", L"Tabhere"},
        {L"a\\..\\..\\b/c", L"id", L"a....bc"},
        {L"CON", L"id", L"CON_"},
        {L"nul.txt", L"id", L"nul_.txt"},
        {L"???", L"Book-42", L"Book-42"},
        {L"<>", L"..", L"Title"},
        {L"Taken", L"id", L"Taken2"},
    };
    ScratchFolder scratch;
    TestLibrary library(scratch.Path());
    CMediaObject* taken = MakeTitle(L"taken", L"s");
    taken->SetDownloadFolder(L"C:\\Media");
    taken->SetTitleFolder(L"Taken");
    library.AddTitleToLibrary(taken);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.title);
        CMediaObject title;
        title.GetMetadata().SetTitle(c.title);
        title.m_mediaId = c.mediaId;
        EXPECT_EQ(MakeTitleFolderName(library, L"C:\\Media", title), CString(c.folder));
    }
}

}  // namespace
