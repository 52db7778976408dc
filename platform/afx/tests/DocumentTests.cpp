// CDocument: path and title, the modified flag, loading and the save that never leaves a
// half-written file, with failures shown through the message-box funnel.
#include "TestSupport.h"

#include <gtest/gtest.h>

using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

namespace {

// A document of one text; it can be told to fail in the middle of a save or a load.
class CTextDocument : public CDocument {
public:
    CString m_text;
    int m_deleted = 0;
    enum class Fail { never, archive, user } m_fail = Fail::never;

    void DeleteContents() override
    {
        ++m_deleted;
        m_text.Empty();
    }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring()) {
            ar << m_text;
            for (int i = 0; i < 1000; ++i)
                ar << static_cast<DWORD>(i);  // enough that part of it reaches the file
        } else {
            CString text;
            ar >> text;
            m_text = text;
        }
        if (m_fail == Fail::archive)
            AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
        if (m_fail == Fail::user)
            AfxThrowUserException();
    }
};

}  // namespace

TEST(Document, PathTitleAndTheModifiedFlag)
{
    CTextDocument doc;
    doc.SetPathName(L"C:\\Data\\Library.dat");
    EXPECT_EQ(doc.GetPathName(), L"C:\\Data\\Library.dat");
    EXPECT_EQ(doc.GetTitle(), L"Library.dat");
    doc.SetModifiedFlag();
    EXPECT_TRUE(doc.IsModified());
    doc.m_text = L"x";
    EXPECT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.m_deleted, 1);
    EXPECT_TRUE(doc.m_text.IsEmpty());
    EXPECT_TRUE(doc.GetPathName().IsEmpty());
    EXPECT_FALSE(doc.IsModified());
}

TEST(Document, SavesAndLoadsThroughItsArchive)
{
    ScratchFolder scratch;
    const CString path = scratch / L"doc.dat";
    testsupport::MessageBoxRecorder boxes;
    CTextDocument doc;
    doc.m_text = L"\u00e9t\u00e9";
    doc.SetModifiedFlag();
    ASSERT_TRUE(doc.OnSaveDocument(path));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(testsupport::FileCount(scratch.Path()), 1) << "no temporary file is left behind";

    CTextDocument back;
    back.SetModifiedFlag();
    ASSERT_TRUE(back.OnOpenDocument(path));
    EXPECT_EQ(back.m_text, L"\u00e9t\u00e9");
    EXPECT_FALSE(back.IsModified());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(Document, AFailedSaveKeepsTheOldFileAndSaysWhy)
{
    ScratchFolder scratch;
    const CString path = scratch / L"doc.dat";
    WriteAll(path, std::string("the old contents"));
    testsupport::MessageBoxRecorder boxes;

    CTextDocument doc;
    doc.m_text = L"new";
    doc.SetModifiedFlag();
    doc.m_fail = CTextDocument::Fail::archive;
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_TRUE(doc.IsModified());
    const std::vector<BYTE> bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "the old contents");
    EXPECT_EQ(testsupport::FileCount(scratch.Path()), 1) << "the new file is removed";
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));

    // A user exception means the user was told already: no second box.
    boxes.Clear();
    doc.m_fail = CTextDocument::Fail::user;
    EXPECT_FALSE(doc.OnSaveDocument(path));
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(testsupport::FileCount(scratch.Path()), 1);

    // A folder that does not exist: nothing is made, the failure names the target.
    boxes.Clear();
    doc.m_fail = CTextDocument::Fail::never;
    const CString nowhere = scratch / L"no folder\\doc.dat";
    EXPECT_FALSE(doc.OnSaveDocument(nowhere));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.Find(nowhere), -1) << boxes.Boxes()[0].text.ToNarrow();
}

TEST(Document, AFailedLoadIsReported)
{
    ScratchFolder scratch;
    testsupport::MessageBoxRecorder boxes;
    CTextDocument doc;
    const CString missing = scratch / L"missing.dat";
    EXPECT_FALSE(doc.OnOpenDocument(missing));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.Find(missing), -1) << boxes.Boxes()[0].text.ToNarrow();

    // A file too short for what Serialize reads ends in the archive exception, shown once.
    boxes.Clear();
    const CString shortFile = scratch / L"short.dat";
    WriteAll(shortFile, std::string("\x05", 1));
    EXPECT_FALSE(doc.OnOpenDocument(shortFile));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}
