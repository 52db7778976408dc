// The library file against what disks, crashes and damaged files do: null elements in
// its lists, counts that ask for more memory than there is, files left by interrupted
// saves, two documents saving one file; and the library's own bookkeeping: finding a
// title by id, and picture lists that get their size once and their pictures later.
#include "LibraryTestSupport.h"
#include "TestSupport.h"
#include "TitleIndex.h"
#include "XmlNode.h"
#include "res/BrenvaleIds.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>

using namespace librarytest;
using testsupport::MessageBoxRecorder;
using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::WriteAll;
using testsupport::BinaryPath;
using testsupport::StartProgram;

namespace {

class LibraryFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildEntityTable(); }
    CString DatabasePath() const { return m_scratch / L"MediaDB.dat"; }
    void WriteDatabase(const ArchiveBytes& bytes) const { WriteAll(DatabasePath(), bytes.Data().data(), bytes.Size()); }
    ScratchFolder m_scratch;
};

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// A title record of the current version: the id and a title folder, two parts.
void TitleRecord(ArchiveBytes& b, const wchar_t* id, bool firstOfClass)
{
    if (firstOfClass)
        b.NewClass("CMediaObject");
    else
        b.OldClass(1);
    b.Word(3);
    for (const wchar_t* text : {id, L"src", L"", L"download", L"C:\\Media", L"t.wax"})
        b.Text(text);
    b.Date(0, 45000.0).Date(2, 0.0);
    b.Word(4);
    for (const wchar_t* text : {L"Title", L"Title", L"", L"", L"", L""})
        b.Text(text);
    b.Count(0).Count(0).Count(0).Long(0).Text(L"").Text(L"");
    b.Count(0).Count(0);  // no protocols, no parts
    b.Text(L"").Text(L"").Text(L"").Text(L"");
}

// A file whose length claims far more bytes than it holds: the archive believes a huge
// count could be real until it reads past the bytes that are there.
class ClaimingFile : public CFile {
public:
    explicit ClaimingFile(ULONGLONG claimed) : m_claimed(claimed) {}
    ULONGLONG GetLength() const override { return m_claimed; }

private:
    ULONGLONG m_claimed;
};

}  // namespace

TEST_F(LibraryFile, SkipsNullElementsInTheListsOfTheLibrary)
{
    // Titles, sources and collections each with a null element before and after a record
    // (class and object tags count from 1 in writing order).
    ArchiveBytes b;
    b.Word(1);
    b.Count(4).Word(0);
    TitleRecord(b, L"{T-1}", true);  // class 1, title 2
    b.Word(0);
    TitleRecord(b, L"{T-2}", false);  // title 3
    b.Count(3).Word(0).NewClass("CSourceObject").Word(1);  // 4, 5
    for (const wchar_t* text : {L"src", L"Shop", L"http://shop.test", L"", L""})
        b.Text(text);
    b.Word(0);
    b.Count(2).NewClass("CCollectionObject").Word(1).Text(L"Mine").Count(1).Text(L"{T-2}").Word(0);  // 6, 7
    WriteDatabase(b);

    TestLibrary library(m_scratch.Path());
    MessageBoxRecorder boxes;
    ASSERT_TRUE(library.OnNewDocument());
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(library.GetTitles().GetSize(), 2);
    ASSERT_EQ(library.GetSources().GetSize(), 1);
    ASSERT_EQ(library.GetCollections().GetSize(), 1);
    INT_PTR index = -1;
    ASSERT_TRUE(library.FindTitle(L"{t-2}", &index));
    EXPECT_EQ(index, 1);
    EXPECT_TRUE(library.FindSource(L"SRC"));
    EXPECT_TRUE(library.FindCollection(L"Mine"));

    // What is saved again holds no null element.
    ASSERT_TRUE(library.SaveLibrary());
    const std::string described = Describe(library);
    library.DeleteContents();
    ASSERT_TRUE(library.OnOpenDocument(DatabasePath()));
    EXPECT_EQ(Describe(library), described);
}

TEST_F(LibraryFile, ACountAskingForTooMuchMemoryFailsTheLoadAndLeavesTheFile)
{
    // Each count fits the bytes the file claims to have, but its elements would need many
    // times that in memory.
    const struct {
        const char* what;
        bool titles;
    } cases[] = {{"title count", true}, {"collection member count", false}};
    for (const auto& c : cases) {
        ArchiveBytes b;
        b.Word(1);
        if (c.titles) {
            b.Word(0xFFFF).Long(0x1FFFFFF0);
        } else {
            b.Count(0).Count(0);
            b.Count(1).NewClass("CCollectionObject").Word(1).Text(L"Mine").Word(0xFFFF).Long(0x3FFFFFF0);
        }
        WriteDatabase(b);

        TestLibrary library(m_scratch.Path());
        library.makeFile = [] { return new ClaimingFile(0x40000000); };  // 1 GiB
        MessageBoxRecorder boxes;
        EXPECT_FALSE(library.OnNewDocument()) << c.what;
        ASSERT_EQ(boxes.Boxes().size(), 2u) << c.what;  // the archive's failure, then 4020
        CString refused;
        refused.Format(AfxLoadString(IDS_LIBRARY_OPEN_FAILED), static_cast<const wchar_t*>(DatabasePath()));
        EXPECT_EQ(boxes.Boxes()[1].text, refused);
        EXPECT_TRUE(library.GetTitles().IsEmpty());
        EXPECT_EQ(ReadAll(DatabasePath()), b.Data()) << c.what;
    }
}

TEST_F(LibraryFile, OpeningRemovesWhatInterruptedSavesLeftAndNothingElse)
{
    ASSERT_TRUE(TestLibrary(m_scratch.Path()).SaveLibrary());
    const std::vector<BYTE> saved = ReadAll(DatabasePath());
    const wchar_t* leftovers[] = {L"MediaDB.dat.0badf00d.saving", L"mediadb.DAT.12345678.SAVING"};
    const wchar_t* others[] = {
        L"MediaDB.dat.saving",          // not a name a save gives
        L"MediaDB.dat.1234567.saving",  // seven digits
        L"MediaDB.dat.1234567g.saving",
        L"MediaDB.dat.\xFF11\xFF12\xFF13\xFF14\xFF15\xFF16\xFF17\xFF18.saving",  // full-width digits
        L"MediaDB.dat.\xFF21\xFF22\xFF23\xFF24\xFF25\xFF26\xFF41\xFF42.saving",  // full-width letters
        L"Other.dat.0badf00d.saving",  // another file's
        L"sav1A2B.tmp",                 // a user's file
        L"MediaDB.dat.bak",
    };
    for (const wchar_t* name : leftovers)
        WriteAll(m_scratch / name, std::string("half a library"));
    for (const wchar_t* name : others)
        WriteAll(m_scratch / name, std::string("someone's"));

    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    for (const wchar_t* name : leftovers)
        EXPECT_FALSE(Exists(m_scratch / name)) << CString(name).ToNarrow();
    for (const wchar_t* name : others)
        EXPECT_TRUE(Exists(m_scratch / name)) << CString(name).ToNarrow();
    EXPECT_EQ(ReadAll(DatabasePath()), saved);

    // A save writes beside the library under a name of that form, and leaves nothing.
    library.AddTitleToLibrary(MakeTitle(L"t", L"s"));
    ASSERT_TRUE(library.SaveLibrary());
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(m_scratch / L"*.saving", &data);
    int saving = 0;
    if (find != INVALID_HANDLE_VALUE) {
        do
            ++saving;
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    // The save also cleared the folder of what a killed save of another file left; the
    // names that only end as a save's do stay.
    EXPECT_FALSE(Exists(m_scratch / L"Other.dat.0badf00d.saving"));
    int otherSavings = 0;
    for (const wchar_t* name : others)
        otherSavings += CString(name).Right(7) == L".saving" && CString(name) != L"Other.dat.0badf00d.saving" ? 1 : 0;
    EXPECT_EQ(saving, otherSavings);
}

TEST_F(LibraryFile, ASecondDocumentReadsTheLibraryButRefusesToSaveIt)
{
    auto first = std::make_unique<TestLibrary>(m_scratch.Path());
    ASSERT_TRUE(first->OnNewDocument());
    first->AddTitleToLibrary(MakeTitle(L"one", L"s"));
    ASSERT_TRUE(first->SaveLibrary());
    const std::vector<BYTE> saved = ReadAll(DatabasePath());

    TestLibrary second(m_scratch.Path());
    MessageBoxRecorder boxes;
    ASSERT_TRUE(second.OnNewDocument());  // reading stays possible
    EXPECT_TRUE(second.FindTitle(L"one"));
    second.AddTitleToLibrary(MakeTitle(L"two", L"s"));
    EXPECT_FALSE(second.SaveLibrary());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    CString refused;
    refused.Format(AfxLoadString(IDS_LIBRARY_IN_USE), static_cast<const wchar_t*>(DatabasePath()));
    EXPECT_EQ(boxes.Boxes()[0].text, refused);
    EXPECT_EQ(ReadAll(DatabasePath()), saved);

    // The first goes on saving. The second stays refused once the first is gone, as what
    // it holds is older than the file; a document that opens the library now saves it.
    first->AddTitleToLibrary(MakeTitle(L"three", L"s"));
    ASSERT_TRUE(first->SaveLibrary());
    first.reset();
    EXPECT_FALSE(second.SaveLibrary());
    TestLibrary third(m_scratch.Path());
    ASSERT_TRUE(third.OnNewDocument());
    EXPECT_TRUE(third.FindTitle(L"three"));
    EXPECT_FALSE(third.FindTitle(L"two"));
    EXPECT_TRUE(third.SaveLibrary());
    EXPECT_EQ(boxes.Boxes().size(), 2u);
}

// Another process reading the library file, as a backup or a search tool does.
class ReaderProcess {
public:
    ReaderProcess(const CString& path, DWORD holdMs) : m_marker(path + L".reading")
    {
        CString line;
        line.Format(L"\"%s\" \"%s\" %lu", static_cast<const wchar_t*>(BinaryPath(L"Brenvale/tests/library_reader_stub.exe")),
                    static_cast<const wchar_t*>(path), static_cast<unsigned long>(holdMs));
        if (!StartProgram(line, &m_process))
            m_process = nullptr;
    }
    ~ReaderProcess() { Stop(); }
    // Whether it has the file open (it says so within 20 s).
    bool Reading() const
    {
        for (int i = 0; m_process && i < 400; ++i) {
            if (Exists(m_marker))
                return true;
            Sleep(50);
        }
        return false;
    }
    void Stop()
    {
        if (!m_process)
            return;
        TerminateProcess(m_process, 0);
        WaitForSingleObject(m_process, 20000);
        CloseHandle(m_process);
        m_process = nullptr;
        DeleteFileW(m_marker);
    }

private:
    CString m_marker;
    HANDLE m_process = nullptr;
};

TEST_F(LibraryFile, ASaveWaitsForAReaderAndKeepsTheChangeWhileTheReaderStays)
{
    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    library.AddTitleToLibrary(MakeTitle(L"one", L"s"));
    ASSERT_TRUE(library.SaveLibrary());
    MessageBoxRecorder boxes;
    {
        // A reader that is done within a second: the save waits for it.
        ReaderProcess reader(DatabasePath(), 1000);
        ASSERT_TRUE(reader.Reading());
        library.AddTitleToLibrary(MakeTitle(L"two", L"s"));
        EXPECT_TRUE(library.SaveLibrary());
        EXPECT_FALSE(library.IsModified());
    }
    EXPECT_TRUE(boxes.Boxes().empty());
    {
        TestLibrary reading(m_scratch.Path());
        ASSERT_TRUE(reading.OnNewDocument());
        EXPECT_TRUE(reading.FindTitle(L"two"));
    }

    // A reader that stays: the save fails, says that the change is kept, and the next
    // save (here: the one on closing) writes it.
    const std::vector<BYTE> before = ReadAll(DatabasePath());
    ReaderProcess reader(DatabasePath(), 60000);
    ASSERT_TRUE(reader.Reading());
    library.AddTitleToLibrary(MakeTitle(L"three", L"s"));
    EXPECT_FALSE(library.SaveLibrary());
    EXPECT_TRUE(library.IsModified());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_NE(boxes.Boxes()[0].text.Find(DatabasePath()), -1);
    CString kept = AfxLoadString(IDS_LIBRARY_NOT_SAVED);
    kept = kept.Mid(kept.ReverseFind(L'\n') + 1);
    EXPECT_NE(boxes.Boxes()[0].text.Find(kept), -1) << boxes.Boxes()[0].text.ToNarrow();
    EXPECT_EQ(ReadAll(DatabasePath()), before);
    reader.Stop();
    EXPECT_TRUE(library.SavePendingChanges());
    EXPECT_FALSE(library.IsModified());
    EXPECT_TRUE(library.SavePendingChanges());  // nothing waits
    TestLibrary reading(m_scratch.Path());
    ASSERT_TRUE(reading.OnNewDocument());
    EXPECT_TRUE(reading.FindTitle(L"three"));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(LibraryFile, TheSaveBeforeClosingAsksToRetryOrCancelUntilTheChangeIsSaved)
{
    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    library.AddTitleToLibrary(MakeTitle(L"one", L"s"));
    ASSERT_TRUE(library.SaveLibrary());
    EXPECT_TRUE(library.SaveBeforeClosing());  // nothing waits: nothing asked
    const std::vector<BYTE> before = ReadAll(DatabasePath());

    ReaderProcess reader(DatabasePath(), 60000);
    ASSERT_TRUE(reader.Reading());
    MessageBoxRecorder boxes(std::vector<int>{IDOK, IDRETRY, IDCANCEL});
    library.AddTitleToLibrary(MakeTitle(L"two", L"s"));
    EXPECT_FALSE(library.SaveLibrary());
    // Retried once, then cancelled: two questions, each naming the file and the reason, and
    // none promising a save at a close that is not coming.
    EXPECT_FALSE(library.SaveBeforeClosing());
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    for (size_t i = 1; i < 3; ++i) {
        const AfxMessageBoxRequest& box = boxes.Boxes()[i];
        EXPECT_EQ(box.type & MB_TYPEMASK, static_cast<UINT>(MB_RETRYCANCEL));
        EXPECT_EQ(box.text.Left(box.text.Find(L":\n") + 2), boxes.Boxes()[0].text.Left(boxes.Boxes()[0].text.Find(L":\n") + 2));
        EXPECT_EQ(box.text.Find(L"when Vesperlin for Windows closes"), -1) << box.text.ToNarrow();
        CString cancel = AfxLoadString(IDS_LIBRARY_NOT_SAVED_AT_CLOSE);
        cancel = cancel.Mid(cancel.ReverseFind(L'\n') + 1);
        EXPECT_EQ(box.text.Right(cancel.GetLength()), cancel);
    }
    EXPECT_TRUE(library.IsModified());
    EXPECT_EQ(ReadAll(DatabasePath()), before);

    // Once the reader is gone a retry saves.
    reader.Stop();
    boxes.Clear();
    EXPECT_TRUE(library.SaveBeforeClosing());
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_FALSE(library.IsModified());
    TestLibrary reading(m_scratch.Path());
    ASSERT_TRUE(reading.OnNewDocument());
    EXPECT_TRUE(reading.FindTitle(L"two"));
}

TEST_F(LibraryFile, ALockFileThatCannotBeMadeRefusesTheSave)
{
    // A folder in the lock file's place: neither document may save, and both are told.
    const CString lock = DatabasePath() + L".lock";
    ASSERT_TRUE(CreateDirectoryW(lock, nullptr));
    HANDLE attempt = CreateFileW(lock, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_EQ(attempt, INVALID_HANDLE_VALUE);
    const DWORD error = GetLastError();
    CString refused;
    refused.Format(AfxLoadString(IDS_LIBRARY_LOCK_FAILED), static_cast<const wchar_t*>(DatabasePath()),
                   static_cast<const wchar_t*>(lock), static_cast<const wchar_t*>(AfxSystemErrorText(error)));

    MessageBoxRecorder boxes;
    TestLibrary first(m_scratch.Path());
    TestLibrary second(m_scratch.Path());
    ASSERT_TRUE(first.OnNewDocument());
    ASSERT_TRUE(second.OnNewDocument());
    first.AddTitleToLibrary(MakeTitle(L"one", L"s"));
    second.AddTitleToLibrary(MakeTitle(L"two", L"s"));
    EXPECT_FALSE(first.SaveLibrary());
    EXPECT_FALSE(second.SaveLibrary());
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, refused);
    EXPECT_EQ(boxes.Boxes()[1].text, refused);
    EXPECT_FALSE(Exists(DatabasePath()));
    EXPECT_TRUE(first.IsModified());

    // Once the folder is gone the first save takes the lock; the other document is refused
    // as for any other holder.
    ASSERT_TRUE(RemoveDirectoryW(lock));
    EXPECT_TRUE(first.SavePendingChanges());
    EXPECT_FALSE(second.SaveLibrary());
    ASSERT_EQ(boxes.Boxes().size(), 3u);
    CString inUse;
    inUse.Format(AfxLoadString(IDS_LIBRARY_IN_USE), static_cast<const wchar_t*>(DatabasePath()));
    EXPECT_EQ(boxes.Boxes()[2].text, inUse);
}

TEST_F(LibraryFile, FindsTitlesThroughTheIndexKeptWithTheList)
{
    TestLibrary library(m_scratch.Path());
    for (const wchar_t* id : {L"Alpha", L"Beta", L"Gamma", L"Delta"})
        library.AddTitleToLibrary(MakeTitle(id, L"s"));
    const struct {
        const wchar_t* id;
        INT_PTR index;
    } found[] = {{L"alpha", 0}, {L"BETA", 1}, {L"gAmMa", 2}, {L"Delta", 3}, {L"Epsilon", -1}, {L"", -1}};
    for (const auto& f : found) {
        INT_PTR index = -7;
        CMediaObject* title = library.FindTitle(f.id, &index);
        EXPECT_EQ(title ? index : -1, f.index) << CString(f.id).ToNarrow();
        if (title) {
            EXPECT_EQ(title, library.GetTitles()[index]);
        }
    }
    EXPECT_FALSE(library.FindTitle(nullptr));

    // A replacement keeps its place; a removal moves the later titles up.
    CMediaObject* replacement = MakeTitle(L"GAMMA", L"s");
    EXPECT_EQ(library.AddTitleToLibrary(replacement), 2);
    EXPECT_EQ(library.FindTitle(L"gamma"), replacement);
    MessageBoxRecorder boxes;
    library.RemoveTitleById(L"beta", CStringArray());
    INT_PTR index = -1;
    EXPECT_EQ(library.FindTitle(L"delta", &index), library.GetTitles()[2]);
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(library.FindTitle(L"Beta"));
    EXPECT_EQ(library.AddTitleToLibrary(MakeTitle(L"beta", L"s")), 3);
    ASSERT_TRUE(library.SaveLibrary());

    // The index of a loaded library is built with it.
    TestLibrary loaded(m_scratch.Path());
    ASSERT_TRUE(loaded.OnOpenDocument(library.GetLibraryDatabasePath()));
    ASSERT_EQ(loaded.GetTitles().GetSize(), 4);
    EXPECT_EQ(loaded.FindTitle(L"BETA", &index), loaded.GetTitles()[3]);
    EXPECT_EQ(index, 3);
}

TEST(TitleIndexTest, FoldsCaseAsTheComparisonDoesAndKeepsTheFirstOfTwins)
{
    CObArray titles;
    for (const wchar_t* id : {L"\u00C9t\u00E9", L"A-1", L"a-1", L"b"}) {
        auto* title = new CMediaObject;
        title->SetMediaId(id);
        titles.Add(title);
    }
    CTitleIndex index;
    index.Rebuild(titles);
    EXPECT_EQ(index.GetCount(), 3);
    EXPECT_EQ(index.Find(L"A-1"), 1);  // the first of two ids that differ in case
    EXPECT_EQ(index.Find(L"B"), 3);
    for (INT_PTR i = 0; i < titles.GetSize(); ++i) {
        const CString& id = static_cast<CMediaObject*>(titles[i])->m_mediaId;
        CString upper(id);
        upper.MakeUpper();
        // Found exactly when the comparison without regard to case finds the same title.
        EXPECT_EQ(index.Find(upper) >= 0, upper.CompareNoCase(id) == 0) << i;
    }
    AfxDeleteObjects(titles);
}

TEST_F(LibraryFile, SizesThePictureListsOnceAndFillsThemAfterTheLoad)
{
    const int pictures = 5;
    {
        TestLibrary library(m_scratch.Path());
        for (int n = 0; n < pictures + 1; ++n) {
            CString id;
            id.Format(L"t%d", n);
            CMediaObject* title = MakeTitle(id, L"s");
            title->SetDownloadFolder(m_scratch.Path());
            title->SetTitleFolder(id);
            title->GetMetadata().SetThumbnailUrl(L"http://img.test/p.bmp");
            if (n < pictures) {  // the last title has no thumbnail
                CreateDirectoryW(m_scratch / id, nullptr);
                WriteBitmap(title->GetThumbnailPath(m_scratch.Path(), FALSE), 30 + n, 20);
            }
            library.AddTitleToLibrary(title);
        }
        ASSERT_TRUE(library.SaveLibrary());
    }

    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    // Ready for the views at once: the lists hold their final count, every title shows
    // the placeholder, nothing is decoded yet.
    const int strip = 23;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(library.GetPictures(i).GetImageCount(), strip + pictures) << i;
    for (CObject* object : library.GetTitles())
        EXPECT_EQ(static_cast<CMediaObject*>(object)->GetPictureIndex(), DefaultTitlePicture);
    EXPECT_EQ(library.GetPendingPictureCount(), pictures);

    // Filled in turns; the lists never change size.
    EXPECT_EQ(library.FillPendingPictures(2), pictures - 2);
    EXPECT_NE(library.FindTitle(L"t0")->GetPictureIndex(), DefaultTitlePicture);
    EXPECT_EQ(library.FindTitle(L"t2")->GetPictureIndex(), DefaultTitlePicture);
    MessageBoxRecorder boxes;
    library.RemoveTitleById(L"t3", CStringArray());  // a title gone before its turn is skipped
    EXPECT_EQ(library.FillPendingPictures(), 0);
    std::set<int> indices;
    for (CObject* object : library.GetTitles()) {
        const auto* title = static_cast<CMediaObject*>(object);
        const int index = title->GetPictureIndex();
        if (title->m_mediaId == L"t5") {
            EXPECT_EQ(index, DefaultTitlePicture);
            continue;
        }
        EXPECT_GE(index, strip);
        EXPECT_LT(index, strip + pictures);
        indices.insert(index);
    }
    EXPECT_EQ(indices.size(), static_cast<size_t>(pictures - 1));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(library.GetPictures(i).GetImageCount(), strip + pictures) << i;

    // A document told to decode on load has every picture when the load returns.
    library.DeleteContents();
    TestLibrary decoding(m_scratch.Path());
    decoding.SetDecodePicturesOnLoad(TRUE);
    ASSERT_TRUE(decoding.OnNewDocument());
    EXPECT_EQ(decoding.GetPendingPictureCount(), 0);
    EXPECT_GE(decoding.FindTitle(L"t4")->GetPictureIndex(), strip);
}
