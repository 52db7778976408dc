// CFile over real files (opening, the exception's cause and file, positions and lengths,
// renaming, status, the new file beside a target) and CMemFile over memory.
#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

TEST(CFileTest, ReadsWritesSeeksAndSetsTheLength)
{
    ScratchFolder scratch;
    const CString path = scratch / L"data.bin";
    {
        CFile file(path, CFile::modeCreate | CFile::modeReadWrite);
        EXPECT_EQ(file.GetFileName(), L"data.bin");
        EXPECT_EQ(file.GetFilePath(), path);
        file.Write("abcdef", 6);
        EXPECT_EQ(file.GetPosition(), 6u);
        EXPECT_EQ(file.GetLength(), 6u);
        EXPECT_EQ(file.Seek(-2, CFile::end), 4u);
        char two[3] = {};
        EXPECT_EQ(file.Read(two, 2), 2u);
        EXPECT_STREQ(two, "ef");
        EXPECT_EQ(file.Read(two, 2), 0u);  // at the end: nothing, no exception
        file.SetLength(3);
        EXPECT_EQ(file.GetLength(), 3u);
        file.SeekToBegin();
        file.Write("X", 1);
        file.Close();
        EXPECT_FALSE(file.IsOpen());
    }
    const std::vector<BYTE> bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Xbc");

    // modeNoTruncate keeps what is there.
    CFile again(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite);
    EXPECT_EQ(again.GetLength(), 3u);
}

TEST(CFileTest, FailuresNameTheirCauseAndTheFile)
{
    ScratchFolder scratch;
    const CString missing = scratch / L"missing.txt";
    const CString noFolder = scratch / L"no folder\\x.txt";
    const CString held = scratch / L"held.txt";
    WriteAll(held, std::string("x"));
    CFile holder(held, CFile::modeRead | CFile::shareExclusive);

    const struct {
        CString path;
        UINT flags;
        int cause;
    } cases[] = {
        {missing, CFile::modeRead, CFileException::fileNotFound},
        {noFolder, CFile::modeCreate | CFile::modeWrite, CFileException::badPath},
        {held, CFile::modeRead | CFile::shareDenyNone, CFileException::sharingViolation},
    };
    for (const auto& c : cases) {
        CFile file;
        CFileException error;
        EXPECT_FALSE(file.Open(c.path, c.flags, &error)) << c.path.ToNarrow();
        EXPECT_EQ(error.m_cause, c.cause) << c.path.ToNarrow();
        EXPECT_EQ(error.m_strFileName, c.path);
        EXPECT_NE(error.GetErrorMessage().Find(c.path), -1) << error.GetErrorMessage().ToNarrow();
        EXPECT_FALSE(file.IsOpen());
    }
    try {
        CFile file(missing, CFile::modeRead);
        ADD_FAILURE() << "opened a missing file";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::fileNotFound);
        EXPECT_EQ(e.m_lOsError, ERROR_FILE_NOT_FOUND);
    }

    // Writing to a file opened for reading is reported, not ignored.
    CFile reader;
    holder.Close();
    ASSERT_TRUE(reader.Open(held, CFile::modeRead | CFile::shareDenyNone));
    EXPECT_THROW(reader.Write("y", 1), CFileException);
    EXPECT_THROW(CFile::Remove(missing), CFileException);
    EXPECT_THROW(CFile::Rename(missing, held), CFileException);
}

TEST(CFileTest, StatusRenameRemoveAndTheNewFileBesideATarget)
{
    ScratchFolder scratch;
    const CString first = scratch / L"first.txt";
    WriteAll(first, std::string("12345"));
    CFileStatus status;
    ASSERT_TRUE(CFile::GetStatus(first, status));
    EXPECT_EQ(status.m_size, 5u);
    EXPECT_EQ(CString(status.m_szFullName).CompareNoCase(first), 0);
    EXPECT_FALSE(CFile::GetStatus(scratch / L"missing.txt", status));
    EXPECT_FALSE(CFile::GetStatus(nullptr, status));

    const CString second = scratch / L"second.txt";
    CFile::Rename(first, second);
    EXPECT_FALSE(CFile::GetStatus(first, status));
    EXPECT_TRUE(CFile::GetStatus(second, status));

    // A new empty file beside the target, named after it, a fresh name each time.
    const CString a = CFile::NewFileBeside(second);
    const CString b = CFile::NewFileBeside(second);
    ASSERT_FALSE(a.IsEmpty());
    ASSERT_FALSE(b.IsEmpty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.Left(second.GetLength() + 1), second + L".") << a.ToNarrow();
    EXPECT_EQ(a.Right(7), L".saving") << a.ToNarrow();
    EXPECT_EQ(a.GetLength(), second.GetLength() + 16) << a.ToNarrow();
    ASSERT_TRUE(CFile::GetStatus(a, status));
    EXPECT_EQ(status.m_size, 0u);
    EXPECT_TRUE(CFile::NewFileBeside(scratch / L"no folder\\target.dat").IsEmpty());
    // What a crash left of such files goes; a file still open for a save stays.
    CFile open(b, CFile::modeWrite | CFile::shareExclusive);
    EXPECT_EQ(CFile::RemoveSavingLeftovers(second), 1);
    EXPECT_FALSE(CFile::GetStatus(a, status));
    open.Close();
    EXPECT_EQ(CFile::RemoveSavingLeftovers(second), 1);
    EXPECT_FALSE(CFile::GetStatus(b, status));
    EXPECT_TRUE(CFile::GetStatus(second, status));
}

TEST(CFileTest, ASaveClearsItsFolderOfWhatKilledSavesOfAnyFileLeft)
{
    ScratchFolder scratch;
    const CString target = scratch / L"Track 01.wma";
    WriteAll(target, std::string("track"));
    const CString live = CFile::NewFileBeside(scratch / L"Track 02.wma");  // a save under way
    ASSERT_FALSE(live.IsEmpty());
    const wchar_t* dead[] = {L"Track 03.wma.0badf00d.saving", L"Cover 'Front'.jpg.DEADBEEF.saving",
                             L"Caf\xE9 No 5.wma.12345678.SAVING"};
    const wchar_t* others[] = {
        L"Track 03.wma.saving",          // no digits
        L"notes.1234567.saving",         // seven digits
        L"Track 04.wma.1234567g.saving",  // not hex
        L"Track 05.wma.\xFF11\xFF12\xFF13\xFF14\xFF15\xFF16\xFF17\xFF18.saving",  // full-width digits
        L"Track 05.wma",
    };
    for (const wchar_t* name : dead)
        WriteAll(scratch / name, std::string("half a copy"));
    for (const wchar_t* name : others)
        WriteAll(scratch / name, std::string("someone's"));
    CFileStatus status;
    const CString mine = CFile::NewFileBeside(target);
    ASSERT_FALSE(mine.IsEmpty());
    for (const wchar_t* name : dead)
        EXPECT_FALSE(CFile::GetStatus(scratch / name, status)) << CString(name).ToNarrow();
    for (const wchar_t* name : others)
        EXPECT_TRUE(CFile::GetStatus(scratch / name, status)) << CString(name).ToNarrow();
    // A live writer's file stays, although it is closed (between its writing and its move).
    EXPECT_TRUE(CFile::GetStatus(live, status));
    EXPECT_TRUE(CFile::GetStatus(mine, status));
    EXPECT_TRUE(CFile::GetStatus(target, status));

    // Once a writer's save has ended (its file gone), its mark goes with the next save: a
    // file of that name found later is a leftover again.
    CFile::Remove(live);
    ASSERT_FALSE(CFile::NewFileBeside(scratch / L"Track 06.wma").IsEmpty());
    WriteAll(live, std::string("half a copy"));
    ASSERT_FALSE(CFile::NewFileBeside(scratch / L"Track 07.wma").IsEmpty());
    EXPECT_FALSE(CFile::GetStatus(live, status));
}

TEST(CMemFileTest, GrowsAsItIsWrittenAndReadsBackWhatItHolds)
{
    CMemFile file;
    file.Write("hello", 5);
    EXPECT_EQ(file.GetLength(), 5u);
    EXPECT_EQ(file.Seek(8, CFile::begin), 8u);  // beyond the end: the gap fills with zeros
    file.Write("!", 1);
    EXPECT_EQ(file.GetLength(), 9u);
    EXPECT_EQ(file.Data()[6], 0);
    file.SeekToBegin();
    char buffer[16] = {};
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 9u);
    EXPECT_EQ(std::string(buffer, 5), "hello");
    EXPECT_EQ(file.Read(buffer, 1), 0u);
    EXPECT_THROW(file.Seek(-10, CFile::current), CFileException);

    file.SetLength(2);  // the position follows a shorter length
    EXPECT_EQ(file.GetPosition(), 2u);
    const std::vector<BYTE> taken = file.Detach();
    EXPECT_EQ(std::string(taken.begin(), taken.end()), "he");
    EXPECT_EQ(file.GetLength(), 0u);
    EXPECT_FALSE(file.Open(L"x", CFile::modeRead));

    const BYTE data[] = {1, 2, 3};
    CMemFile over(data, sizeof data);
    BYTE back[3] = {};
    EXPECT_EQ(over.Read(back, 3), 3u);
    EXPECT_EQ(back[2], 3);
}
