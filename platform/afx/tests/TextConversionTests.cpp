// The conversions between UTF-16 and multibyte text: round trips, losses, failures, and the
// counting and whole-text forms the class library builds on, and the byte-order mark of
// text files.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

namespace {

CString Wide(const char* utf8) { return CString::FromNarrow(utf8, -1, CP_UTF8); }

}  // namespace

TEST(TextConversion, RoundTripsInTheirCodePages)
{
    struct Case {
        UINT codePage;
        const char* utf8;
    } cases[] = {
        {1252, "plain ASCII"},
        {1252, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC"},                  // Grüße €
        {CP_UTF8, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xF0\x9F\x8E\xB5"},  // 日本語 and a surrogate pair
        {932, "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E"},
        {1251, "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},       // Привет
        {1252, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.codePage << " " << c.utf8);
        const CString original = Wide(c.utf8);
        char narrow[128];
        wchar_t wide[128];
        BOOL lossy = TRUE;
        ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, original, sizeof narrow, c.codePage, &lossy));
        EXPECT_FALSE(lossy);
        ASSERT_EQ(wide, ConvertMultiByteToWide(wide, narrow, 128, c.codePage, &lossy));
        EXPECT_FALSE(lossy);
        EXPECT_EQ(original, CString(wide));
        // Without asking about losses the result is the same.
        ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, original, sizeof narrow, c.codePage));
        ASSERT_EQ(wide, ConvertMultiByteToWide(wide, narrow, 128, c.codePage));
        EXPECT_EQ(original, CString(wide));
    }
}

TEST(TextConversion, LossesAreReportedNotHidden)
{
    char narrow[64];
    wchar_t wide[64];
    BOOL lossy = FALSE;

    // Characters a western code page lacks become "?" or a look-alike, and are reported.
    ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, L"a\u65E5\u672Cb", sizeof narrow, 1252, &lossy));
    EXPECT_STREQ("a??b", narrow);
    EXPECT_TRUE(lossy);
    lossy = FALSE;
    ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, L"\u0101", sizeof narrow, 1252, &lossy));
    EXPECT_TRUE(lossy) << narrow;

    // An unpaired surrogate cannot be carried by UTF-8.
    ASSERT_EQ(narrow, ConvertWideToMultiByte(narrow, L"x\xD800y", sizeof narrow, CP_UTF8, &lossy));
    EXPECT_TRUE(lossy);

    // Bytes that are not UTF-8 become U+FFFD and are reported.
    ASSERT_EQ(wide, ConvertMultiByteToWide(wide, "ok\xC3(", 64, CP_UTF8, &lossy));
    EXPECT_TRUE(lossy);
    EXPECT_NE(nullptr, wcschr(wide, 0xFFFD));
    ASSERT_EQ(wide, ConvertMultiByteToWide(wide, "fine", 64, CP_UTF8, &lossy));
    EXPECT_FALSE(lossy);
}

TEST(TextConversion, FailuresLeaveAnEmptyBuffer)
{
    char narrow[4];
    wchar_t wide[4];
    memset(narrow, 'x', sizeof narrow);
    wmemset(wide, L'x', 4);
    // Too small for the text and its terminator.
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, L"four", sizeof narrow, 1252));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, "four", 4, 1252));
    EXPECT_EQ(0, wide[0]);
    BOOL lossy = TRUE;
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, L"four", sizeof narrow, 1252, &lossy));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, "four", 4, CP_UTF8, &lossy));
    EXPECT_EQ(0, wide[0]);

    // Null arguments and a buffer without room.
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(nullptr, L"a", 4, 1252));
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, nullptr, 4, 1252));
    EXPECT_EQ(0, narrow[0]);
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, nullptr, 4, 1252));
    EXPECT_EQ(nullptr, ConvertMultiByteToWide(wide, "a", 0, 1252));
    EXPECT_EQ(nullptr, ConvertWideToMultiByte(narrow, L"a", -5, 1252));

    // Exactly enough room.
    EXPECT_EQ(narrow, ConvertWideToMultiByte(narrow, L"abc", sizeof narrow, 1252));
    EXPECT_STREQ("abc", narrow);
}

TEST(TextConversion, WholeTextsAndCountingFormsFollowOneSetOfRules)
{
    // Whole texts: -1 stops at the NUL, an explicit length may hold one; no terminator comes back.
    EXPECT_EQ(std::string("caf\xE9"), AfxToMultiByte(L"caf\u00e9", -1, 1252));
    EXPECT_EQ(std::string("a\0b", 3), AfxToMultiByte(L"a\0b", 3, 1252));
    EXPECT_EQ(std::wstring(L"\u00e9t\u00e9"), AfxToWide("\xC3\xA9t\xC3\xA9", -1, CP_UTF8));
    EXPECT_EQ(CString(L"caf\u00e9"), CString::FromNarrow("caf\xE9", -1, 1252));
    EXPECT_EQ(std::string("\xE4\xB8\xAD"), CString(L"\u4e2d").ToNarrow(CP_UTF8));

    // An empty text is not a failure; a conversion that cannot be done is, and says so.
    bool ok = false;
    EXPECT_EQ(std::string(), AfxToMultiByte(L"", -1, 1252, {}, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(), AfxToMultiByte(nullptr, 5, 1252, {}, &ok));
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(), AfxToMultiByte(L"text", -1, 54321, {}, &ok));  // no such code page
    EXPECT_FALSE(ok);
    EXPECT_EQ(std::wstring(), AfxToWide("ok\xC3(", -1, CP_UTF8, MB_ERR_INVALID_CHARS, &ok));
    EXPECT_FALSE(ok);
    EXPECT_EQ(std::string(), CString(L"text").ToNarrow(54321));

    // The counting form: -1 counts the NUL; a null buffer of size 0 asks for the size.
    EXPECT_EQ(4, AfxWideToMultiByte(1252, L"abc", -1, nullptr, 0));
    EXPECT_EQ(3, AfxWideToMultiByte(1252, L"abc", 3, nullptr, 0));
    EXPECT_EQ(0, AfxWideToMultiByte(1252, nullptr, -1, nullptr, 0));
    EXPECT_EQ(0, AfxWideToMultiByte(1252, L"abc", -1, nullptr, 8));  // no buffer for the size given
    char buffer[8] = {};
    const AfxNarrowing hashes{WC_COMPOSITECHECK | WC_SEPCHARS, "#"};
    EXPECT_EQ(4, AfxWideToMultiByte(1252, L"a\u4e2db", -1, buffer, sizeof buffer, hashes));
    EXPECT_STREQ("a#b", buffer);
    wchar_t wide[8] = {};
    EXPECT_EQ(3, AfxMultiByteToWide(CP_UTF8, "\xC3\xA9x", -1, wide, 8));
    EXPECT_STREQ(L"\u00e9x", wide);
}

TEST(TextConversion, BytesWithoutAMarkAreUtf8WhenValidElseAnsi)
{
    const struct {
        std::string bytes;
        bool utf8;  // else read in the ANSI code page
        std::wstring utf8Text;
    } cases[] = {
        {"plain ascii", true, L"plain ascii"},
        {"caf\xC3\xA9 \xE6\x97\xA5", true, L"caf\u00e9 \u65e5"},
        {"\xEF\xBB\xBFmarked", true, L"marked"},
        {std::string("a\0b", 3), true, std::wstring(L"a\0b", 3)},
        {"caf\xE9", false, L""},                   // a lone high byte
        {"cut \xE6\x97", false, L""},              // a sequence cut at the end
        {"\xC0\xAF overlong", false, L""},
        {"\xED\xA0\x80 surrogate", false, L""},
        {"\xC3\xA9 then \xFF", false, L""},        // valid at first, not later
    };
    for (const auto& c : cases) {
        const std::wstring expected =
            c.utf8 ? c.utf8Text : AfxToWide(c.bytes.data(), static_cast<int>(c.bytes.size()), CP_ACP);
        EXPECT_EQ(expected, AfxToWideUtf8OrAnsi(c.bytes.data(), static_cast<int>(c.bytes.size()))) << c.bytes;
    }
    EXPECT_EQ(std::wstring(L"abc"), AfxToWideUtf8OrAnsi("abc", -1));
    EXPECT_EQ(std::wstring(), AfxToWideUtf8OrAnsi(nullptr, 4));
    EXPECT_EQ(std::wstring(), AfxToWideUtf8OrAnsi("\xEF\xBB\xBF", 3));
}

TEST(TextConversion, CanRepresentRefusesDefaultsAndLookAlikes)
{
    const struct {
        const wchar_t* text;
        UINT codePage;
        bool representable;
    } cases[] = {
        {L"caf\u00e9", 1252, true},
        {L"\u4e2d", 1252, false},    // a default character
        {L"\u0101", 1252, false},    // a best-fit look-alike ("a")
        {L"\u4e2d", CP_UTF8, true},  // UTF-8 holds every text
        {L"", 1252, true},
        {nullptr, 1252, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.representable, AfxCanRepresent(c.text, c.codePage)) << (c.text ? CString(c.text).ToNarrow(CP_UTF8) : "null");
}

TEST(ByteOrderMark, TellsTheMarkOfBytesAndOfFiles)
{
    testsupport::ScratchFolder scratch;
    const struct {
        const char* bytes;
        size_t size;
        AfxByteOrderMark mark;
    } cases[] = {
        {"\xFF\xFEx\0", 4, AfxByteOrderMark::utf16LittleEndian},
        {"\xFF\xFE", 2, AfxByteOrderMark::utf16LittleEndian},
        {"\xEF\xBB\xBFx", 4, AfxByteOrderMark::utf8},
        {"\xEF\xBB\xBF", 3, AfxByteOrderMark::utf8},
        {"\xEF\xBB", 2, AfxByteOrderMark::none},
        {"\xFE\xFF", 2, AfxByteOrderMark::none},  // big-endian UTF-16 is not read
        {"\xFF", 1, AfxByteOrderMark::none},
        {"", 0, AfxByteOrderMark::none},
        {"abc", 3, AfxByteOrderMark::none},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.mark, AfxByteOrderMarkOf(reinterpret_cast<const BYTE*>(c.bytes), c.size)) << c.size;
        testsupport::WriteAll(scratch / L"t.txt", c.bytes, c.size);
        EXPECT_EQ(c.mark, AfxReadByteOrderMark(scratch / L"t.txt")) << c.size;
    }
    EXPECT_EQ(AfxByteOrderMark::none, AfxByteOrderMarkOf(nullptr, 3));
    EXPECT_EQ(AfxByteOrderMark::none, AfxReadByteOrderMark(scratch / L"missing.txt"));
    EXPECT_EQ(AfxByteOrderMark::none, AfxReadByteOrderMark(scratch.Path()));  // a folder
    EXPECT_EQ(AfxByteOrderMark::none, AfxReadByteOrderMark(nullptr));

    // A file another program holds open for writing can still be told.
    const CString held = scratch / L"held.txt";
    testsupport::WriteAll(held, "\xFF\xFEx\0", 4);
    CFile writer(held, CFile::modeReadWrite | CFile::shareDenyNone);
    EXPECT_EQ(AfxByteOrderMark::utf16LittleEndian, AfxReadByteOrderMark(held));
}
