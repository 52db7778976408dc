// CStdioFile: lines in text mode through a code page, UTF-16 units in binary mode, and its
// place in the file across reads and writes.
#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::ReadAllBytes;
using testsupport::ScratchFolder;
using testsupport::Utf16LeBytes;

TEST(StdioFile, TranslatesLineEndsInTextModeAndNeverDropsText)
{
    ScratchFolder scratch;
    const CString path = scratch / L"lines.txt";
    {
        CStdioFile file(path, CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        file.SetCodePage(CP_UTF8);
        file.WriteString(L"\u00e9t\u00e9\n\u4e2d\u6587\n");
    }
    EXPECT_EQ(ReadAllBytes(path), "\xC3\xA9t\xC3\xA9\r\n\xE4\xB8\xAD\xE6\x96\x87\r\n");
    CStdioFile reader(path, CFile::modeRead | CFile::typeText);
    reader.SetCodePage(CP_UTF8);
    CString line;
    ASSERT_TRUE(reader.ReadString(line));
    EXPECT_EQ(line, L"\u00e9t\u00e9");
    ASSERT_TRUE(reader.ReadString(line));
    EXPECT_EQ(line, L"\u4e2d\u6587");
    EXPECT_FALSE(reader.ReadString(line));
    reader.Close();

    // A conversion that cannot be done is reported, not written as nothing.
    CStdioFile bad(scratch / L"bad.txt", CFile::modeCreate | CFile::modeWrite | CFile::typeText);
    bad.SetCodePage(54321);
    EXPECT_THROW(bad.WriteString(L"text"), CFileException);
}

TEST(StdioFile, ReadsAndWritesUtf16UnitsInBinaryModeAndKeepsItsPlaceAcrossReadsAndWrites)
{
    ScratchFolder scratch;
    const CString path = scratch / L"binary.txt";
    {
        CStdioFile file(path, CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
        file.WriteString(L"one\r\n\u4e2d\n");
        file.SeekToBegin();
        CString line;
        ASSERT_TRUE(file.ReadString(line));
        EXPECT_EQ(line, L"one\r");  // binary mode: the CR stays
        EXPECT_EQ(file.GetPosition(), 10u);
        file.WriteString(L"X");  // written where reading stopped, not where the read-ahead ended
    }
    EXPECT_EQ(ReadAllBytes(path), Utf16LeBytes(L"one\r\nX\n"));
}
