// The Get Media dialog's title folder name.
#include "DownloadFolders.h"
#include "LibraryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace librarytest;
using testsupport::ScratchFolder;

namespace {

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
