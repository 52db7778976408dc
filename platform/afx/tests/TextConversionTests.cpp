// The conversions between UTF-16 and multibyte text: round trips, losses, failures, and the
// counting and whole-text forms the class library builds on.
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
