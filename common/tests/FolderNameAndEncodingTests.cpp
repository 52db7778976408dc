// The two small functions the device wizard and the console share: the folder name of a
// content kind and the encoding of a text file by its byte-order mark.
#include "ContentFolderName.h"
#include "TestSupport.h"
#include "TextFileEncoding.h"

#include <gtest/gtest.h>

using testsupport::ScratchFolder;
using testsupport::WriteAll;

TEST(SharedHelpers, PluralizeFolderNamesAndTellTextEncodings)
{
    const struct {
        const wchar_t* name;
        const wchar_t* folder;
    } names[] = {{L"MP3 Audiobook", L"MP3 Audiobooks"},
                 {L"WMV Video (standard)", L"WMV Videos (standard)"},
                 {L"WMA Music", L"WMA Music"},
                 {L"Audiobook Video", L"Audiobooks Videos"},
                 {L"audiobook", L"audiobook"}};
    for (const auto& n : names)
        EXPECT_EQ(PluralizeFolderName(n.name), n.folder);

    ScratchFolder scratch;
    const struct {
        const char* bytes;
        size_t size;
        int encoding;
    } files[] = {{"\xFF\xFEx\0", 4, 1}, {"\xEF\xBB\xBFx", 4, 2}, {"\xEF\xBB", 2, 0}, {"\xFF", 1, 0}, {"abc", 3, 0}};
    for (const auto& f : files) {
        WriteAll(scratch / L"t.txt", f.bytes, f.size);
        EXPECT_EQ(GetTextFileEncoding(scratch / L"t.txt"), f.encoding) << f.size;
    }
    EXPECT_EQ(GetTextFileEncoding(scratch / L"missing.txt"), 0);
}
