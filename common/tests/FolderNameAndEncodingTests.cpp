// The two small functions the device wizard and the console share: the folder name of a
// content kind and the encoding of a text file by its byte-order mark.
#include "ContentFolderName.h"
#include "MarkedTextFile.h"
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

TEST(MarkedTextFile, EachMarkIsReadAndUnmarkedTextIsAnsiOrUtf8AsAsked)
{
    const std::string utf16 = std::string("\xFF\xFE", 2) + testsupport::Utf16LeBytes(L"<a>\u00e9\u4e2d</a>");
    const struct {
        const char* name;
        std::string bytes;
        UnmarkedText unmarked;
        int encoding;
        const wchar_t* text;
    } cases[] = {
        {"UTF-16 with its mark", utf16, UnmarkedText::ansi, TextFileUtf16LE, L"<a>\u00e9\u4e2d</a>"},
        {"UTF-8 with its mark", "\xEF\xBB\xBFx <a>\xC3\xA9</a>", UnmarkedText::ansi, TextFileUtf8, L"x <a>\u00e9</a>"},
        {"ANSI (Western)", "<a>\xE9</a>", UnmarkedText::ansi, TextFileOther, L"<a>\u00e9</a>"},
        {"unmarked UTF-8 read as ANSI", "<a>\xC3\xA9</a>", UnmarkedText::ansi, TextFileOther, L"<a>\u00c3\u00a9</a>"},
        {"unmarked UTF-8 taken as UTF-8", "<a>\xC3\xA9</a>", UnmarkedText::utf8OrAnsi, TextFileOther, L"<a>\u00e9</a>"},
        {"not UTF-8 falls back to ANSI", "<a>\xE9</a>", UnmarkedText::utf8OrAnsi, TextFileOther, L"<a>\u00e9</a>"},
        {"a mark alone", "\xFF\xFE", UnmarkedText::ansi, TextFileUtf16LE, L""},
        {"odd UTF-16 byte dropped", std::string("\xFF\xFEx\0y", 5), UnmarkedText::ansi, TextFileUtf16LE, L"x"},
        {"empty file", "", UnmarkedText::ansi, TextFileOther, L""},
    };
    ScratchFolder scratch;
    for (const auto& c : cases) {
        WriteAll(scratch / L"t.txt", c.bytes);
        CString text = L"stale";
        DWORD error = 99;
        EXPECT_EQ(c.encoding, ReadMarkedTextFile(scratch / L"t.txt", text, error, c.unmarked)) << c.name;
        EXPECT_EQ(CString(c.text), text) << c.name;
        EXPECT_EQ(0u, error) << c.name;
    }
    CString text = L"stale";
    DWORD error = 0;
    EXPECT_EQ(-1, ReadMarkedTextFile(scratch / L"missing.txt", text, error));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), error);
    EXPECT_TRUE(text.IsEmpty());
    const CString reason = FileErrorText(error, scratch / L"missing.txt");
    EXPECT_EQ(CString(L"missing.txt was not found."), reason.Right(26)) << reason.ToNarrow();
    EXPECT_EQ(-1, ReadMarkedTextFile(L"", text, error));
}
