#include "TestSupport.h"

#include <gtest/gtest.h>

TEST(CStringTest, SearchAndExtractClampOutOfRangeArguments)
{
    const CString s(L"Hello, World");
    EXPECT_EQ(s.Find(L"World"), 7);
    EXPECT_EQ(s.Find(L'o', 5), 8);
    EXPECT_EQ(s.Find(L"o", 100), -1);
    EXPECT_EQ(s.ReverseFind(L'o'), 8);
    EXPECT_EQ(s.Mid(7), L"World");
    EXPECT_EQ(s.Mid(-3, 5), L"Hello");
    EXPECT_EQ(s.Mid(10, 100), L"ld");
    EXPECT_EQ(s.Left(100), s);
    EXPECT_EQ(s.Right(5), L"World");
    EXPECT_EQ(s.Right(-1), L"");
    EXPECT_EQ(s.GetAt(100), 0);
}

TEST(CStringTest, ChangingOperations)
{
    CString s(L"  a&b&c \t\r\n");
    s.Trim();
    EXPECT_EQ(s, L"a&b&c");
    EXPECT_EQ(s.Replace(L"&", L"&amp;"), 2);
    EXPECT_EQ(s, L"a&amp;b&amp;c");  // inserted text is not scanned again
    s.MakeUpper();
    EXPECT_EQ(s, L"A&AMP;B&AMP;C");
    EXPECT_EQ(s.CompareNoCase(L"a&amp;b&amp;c"), 0);
    CString t(L"xxabcxx");
    t.Trim(L'x');
    EXPECT_EQ(t, L"abc");
    t.Insert(1, L"--");
    EXPECT_EQ(t, L"a--bc");
    t.Delete(1, 2);
    EXPECT_EQ(t, L"abc");
}

TEST(CStringTest, FormatUsesWideStringRules)
{
    CString s;
    s.Format(L"%s|%d|%.2d|0x%.8X|%S", L"wide", -5, 3, 0x1234u, "narrow");
    EXPECT_EQ(s, L"wide|-5|03|0x00001234|narrow");
    CString big;
    big.Format(L"%s", std::wstring(5000, L'z').c_str());
    EXPECT_EQ(big.GetLength(), 5000);
}

TEST(CStringTest, BufferAccess)
{
    CString s;
    wchar_t* p = s.GetBuffer(10);
    wcscpy(p, L"abc");
    s.ReleaseBuffer();
    EXPECT_EQ(s.GetLength(), 3);
    EXPECT_EQ(s, L"abc");
}
