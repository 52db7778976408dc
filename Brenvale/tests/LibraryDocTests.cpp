// The library document: MediaDB.dat written by hand from its layout and loaded in
// each version, round trips, refused and interrupted loads and saves, adding and
// removing records, the picture lists, and the .wax and .vpm writers checked by
// Python's XML parser and by our own reader.
#include "Base64.h"
#include "Sha1.h"
#include "LibraryTestSupport.h"
#include "TestSupport.h"
#include "XmlNode.h"
#include "res/BrenvaleIds.h"

#include <gtest/gtest.h>

#include <gdiplus.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace librarytest;
using testsupport::FileCount;
using testsupport::MessageBoxRecorder;
using testsupport::ReadAll;
using testsupport::ScratchFolder;
using testsupport::WriteAll;

namespace {

const wchar_t* const kLibraryId = L"{6B29FC40-CA47-1067-B31D-00DD010662DA}";

struct Trailer {
    std::wstring encoded, idDigest, encodedDigest;
};

Trailer GoodTrailer()
{
    const CString encoded = Base64EncodeString(kLibraryId);
    return {encoded.str(), ComputeSha1(kLibraryId).str(), ComputeSha1(encoded).str()};
}

// A library of two titles (the first of the current record version with two parts, the
// second an old record without licence and kind), one source and two collections, in the
// stored layout of the given version. Class and object tags count from 1 in writing order.
std::vector<BYTE> LibraryBytes(WORD version, const Trailer& trailer = GoodTrailer())
{
    ArchiveBytes b;
    b.Word(version);
    b.Count(2).NewClass("CMediaObject");  // class 1, title 2
    b.Word(3);
    for (const wchar_t* text : {L"{A-1}", L"src-1", L"Book One", L"download", L"C:\\Media", L""})
        b.Text(text);
    b.Date(0, 45000.25).Date(2, 0.0);
    b.Word(4);
    for (const wchar_t* text : {L"Book &amp; One", L"Book", L"Sub", L"Pub", L"Desc", L"http://t.test/one.jpg"})
        b.Text(text);
    b.Count(1).NewClass("CCreatorObject").Word(1).Text(L"Ann Lee").Text(L"Lee, Ann").Text(L"Author");  // 3, 4
    b.Count(1).NewClass("CSubjectObject").Word(1).Long(42).Text(L"Fiction");                        // 5, 6
    b.Count(1).NewClass("CLanguageObject").Word(1).Text(L"en").Text(L"English");                    // 7, 8
    b.Long(32).Text(L"http://t.test/one-c.jpg").Text(L"Saga");
    b.Count(1).NewClass("CProtocolObject").Word(1).Text(L"download").Text(L"http://m.test");  // 9, 10
    b.Count(2).NewClass("CPartObject").Word(3).Long(1).Long(100).Text(L"Part 1").Text(L"one-1.mp3").Text(L"1:00");
    b.OldClass(11).Word(3).Long(2).Long(200).Text(L"Part 2").Text(L"one-2.mp3").Text(L"2:00");  // 11, 12, 13
    b.Text(L"LIC").Text(L"TX-1").Text(L"http://r.test").Text(L"http://s.test");
    b.OldClass(1).Word(1);  // title 14: no licence, no order texts
    for (const wchar_t* text : {L"{B-2}", L"src-1", L"", L"download", L"D:\\Films", L"b2.wax"})
        b.Text(text);
    b.Date(0, 44000.5).Date(0, 44001.75);
    b.Word(1);  // a metadata record without kind, cover and series
    for (const wchar_t* text : {L"Two", L"Two Sort", L"", L"", L"", L""})
        b.Text(text);
    b.Count(0).Count(0).Count(0);
    b.Count(0);
    b.Count(1).OldClass(11).Word(1).Long(7).Long(700).Text(L"Only").Text(L"X-FMT40-b.wmv");  // 15
    b.Count(1).NewClass("CSourceObject").Word(1);  // 16, 17
    for (const wchar_t* text : {L"src-1", L"Shop &amp; Co", L"http://shop.test", L"http://shop.test/b.gif", L"#336699"})
        b.Text(text);
    b.Count(2).NewClass("CCollectionObject").Word(1).Text(L"zeta").Count(1).Text(L"{A-1}");  // 18, 19
    b.OldClass(18).Word(1).Text(L"Alpha").Count(0);  // 20
    if (version >= 2)
        b.Text(trailer.encoded).Text(trailer.idDigest).Text(trailer.encodedDigest);
    return b.Data();
}

void ExpectHandBuiltLibrary(const CBrenvaleDoc& library)
{
    ASSERT_EQ(library.GetTitles().GetSize(), 2);
    const auto* title = static_cast<const CMediaObject*>(library.GetTitles()[0]);
    EXPECT_EQ(title->m_mediaId, L"{A-1}");
    EXPECT_EQ(title->m_sourceId, L"src-1");
    EXPECT_EQ(title->m_titleFolder, L"Book One");
    EXPECT_EQ(title->GetSelectedMethod(), L"download");
    EXPECT_EQ(title->GetDownloadFolder(), L"C:\\Media");
    EXPECT_EQ(title->m_fileName, L"");
    EXPECT_EQ(title->m_acquiredDate.GetStatus(), COleDateTime::valid);
    EXPECT_EQ(title->m_acquiredDate.m_dt, 45000.25);
    EXPECT_EQ(title->GetLastPlayedDate().GetStatus(), COleDateTime::null);
    const CMetadataObject& m = title->GetMetadata();
    EXPECT_EQ(m.m_title, L"Book &amp; One");
    EXPECT_EQ(m.m_titleDecoded, L"Book & One");
    EXPECT_EQ(m.m_sortTitle, L"Book");
    EXPECT_EQ(m.m_subTitle, L"Sub");
    EXPECT_EQ(m.m_publisher, L"Pub");
    EXPECT_EQ(m.m_description, L"Desc");
    EXPECT_EQ(m.m_thumbnailUrl, L"http://t.test/one.jpg");
    EXPECT_EQ(m.GetContentKind(), KindMp3Audiobook);
    EXPECT_EQ(m.m_coverUrl, L"http://t.test/one-c.jpg");
    EXPECT_EQ(m.m_series, L"Saga");
    ASSERT_EQ(m.m_creators.GetSize(), 1);
    const auto* creator = static_cast<const CCreatorObject*>(m.m_creators[0]);
    EXPECT_EQ(creator->m_name + L"|" + creator->m_fileAs + L"|" + creator->m_role, L"Ann Lee|Lee, Ann|Author");
    ASSERT_EQ(m.m_subjects.GetSize(), 1);
    EXPECT_EQ(static_cast<const CSubjectObject*>(m.m_subjects[0])->m_id, 42);
    EXPECT_EQ(static_cast<const CSubjectObject*>(m.m_subjects[0])->m_subject, L"Fiction");
    ASSERT_EQ(m.m_languages.GetSize(), 1);
    EXPECT_EQ(static_cast<const CLanguageObject*>(m.m_languages[0])->m_code, L"en");
    EXPECT_EQ(static_cast<const CLanguageObject*>(m.m_languages[0])->m_name, L"English");
    ASSERT_EQ(title->m_protocols.GetSize(), 1);
    EXPECT_EQ(static_cast<const CProtocolObject*>(title->m_protocols[0])->m_method, L"download");
    EXPECT_EQ(static_cast<const CProtocolObject*>(title->m_protocols[0])->m_baseUrl, L"http://m.test");
    ASSERT_EQ(title->m_parts.GetSize(), 2);
    EXPECT_EQ(title->GetPart(1)->m_number, 2);
    EXPECT_EQ(title->GetPart(1)->m_fileSize, 200);
    EXPECT_EQ(title->GetPart(1)->m_name, L"Part 2");
    EXPECT_EQ(title->GetPart(1)->m_fileName, L"one-2.mp3");
    EXPECT_EQ(title->GetPart(1)->m_duration, L"2:00");
    EXPECT_EQ(title->m_licenseText, L"LIC");
    EXPECT_EQ(title->m_transactionId, L"TX-1");
    EXPECT_EQ(title->m_earlyReturnUrl, L"http://r.test");
    EXPECT_EQ(title->m_downloadSuccessUrl, L"http://s.test");
    EXPECT_EQ(title->GetPictureIndex(), DefaultTitlePicture);

    const auto* old = static_cast<const CMediaObject*>(library.GetTitles()[1]);
    EXPECT_EQ(old->m_mediaId, L"{B-2}");
    EXPECT_EQ(old->m_titleFolder, L"");
    EXPECT_EQ(old->GetDownloadFolder(), L"D:\\Films");
    EXPECT_EQ(old->m_fileName, L"b2.wax");
    EXPECT_EQ(old->GetPlaylistPath(), L"D:\\Films\\b2.wax");
    EXPECT_EQ(old->GetLastPlayedDate().m_dt, 44001.75);
    EXPECT_EQ(old->GetMetadata().m_sortTitle, L"Two Sort");
    EXPECT_EQ(old->GetMetadata().GetContentKind(), KindMobileVideo);  // from the part's file name
    ASSERT_EQ(old->m_parts.GetSize(), 1);
    EXPECT_EQ(old->GetPart(0)->m_fileSize, 700);
    EXPECT_EQ(old->GetPart(0)->m_duration, L"");
    EXPECT_EQ(old->m_licenseText + old->m_transactionId + old->m_earlyReturnUrl + old->m_downloadSuccessUrl, L"");

    ASSERT_EQ(library.GetSources().GetSize(), 1);
    const auto* source = static_cast<const CSourceObject*>(library.GetSources()[0]);
    EXPECT_EQ(source->m_id + L"|" + source->m_name + L"|" + source->m_websiteUrl + L"|" + source->m_bannerUrl + L"|" +
                  source->m_accentColor,
              L"src-1|Shop &amp; Co|http://shop.test|http://shop.test/b.gif|#336699");
    EXPECT_EQ(source->m_displayName, L"Shop & Co");
    ASSERT_EQ(library.GetCollections().GetSize(), 2);  // sorted by name on loading
    EXPECT_EQ(static_cast<const CCollectionObject*>(library.GetCollections()[0])->m_name, L"Alpha");
    EXPECT_EQ(static_cast<const CCollectionObject*>(library.GetCollections()[0])->m_members.GetSize(), 0);
    EXPECT_EQ(static_cast<const CCollectionObject*>(library.GetCollections()[1])->m_name, L"zeta");
    ASSERT_EQ(static_cast<const CCollectionObject*>(library.GetCollections()[1])->m_members.GetSize(), 1);
    EXPECT_EQ(static_cast<const CCollectionObject*>(library.GetCollections()[1])->m_members[0], L"{A-1}");
}

class Library : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildEntityTable(); }
    CString DatabasePath() const { return m_scratch / L"MediaDB.dat"; }
    ScratchFolder m_scratch;
};

bool Exists(const CString& path) { return GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES; }

// The files of a folder, without the lock of a document that holds the library there.
int FilesBesideTheLock(const CString& folder)
{
    return FileCount(folder) - (Exists(folder + L"\\MediaDB.dat.lock") ? 1 : 0);
}

}  // namespace

TEST_F(Library, LoadsAHandBuiltFileOfEachVersion)
{
    for (WORD version : {0, 1, 2}) {
        WriteAll(DatabasePath(), LibraryBytes(version).data(), LibraryBytes(version).size());
        TestLibrary library(m_scratch.Path());
        MessageBoxRecorder boxes;
        ASSERT_TRUE(library.OnOpenDocument(DatabasePath())) << version;
        EXPECT_TRUE(boxes.Boxes().empty());
        ExpectHandBuiltLibrary(library);
        EXPECT_EQ(library.GetLibraryId(), version == 2 ? kLibraryId : L"");
    }
}

TEST_F(Library, GivesAnOldLibraryAnIdAtItsFirstSaveAndKeepsIt)
{
    WriteAll(DatabasePath(), LibraryBytes(1).data(), LibraryBytes(1).size());
    CString id;
    {
        TestLibrary library(m_scratch.Path());
        ASSERT_TRUE(library.OnOpenDocument(DatabasePath()));
        ASSERT_TRUE(library.SaveLibrary());
        id = library.GetLibraryId();
        EXPECT_EQ(id.GetLength(), 38);
        const std::vector<BYTE> saved = ReadAll(DatabasePath());
        ASSERT_GE(saved.size(), 2u);
        EXPECT_EQ(saved[0], 2);
        EXPECT_EQ(saved[1], 0);
    }

    TestLibrary reloaded(m_scratch.Path());
    ASSERT_TRUE(reloaded.OnOpenDocument(DatabasePath()));
    EXPECT_EQ(reloaded.GetLibraryId(), id);
    ExpectHandBuiltLibrary(reloaded);
    ASSERT_TRUE(reloaded.SaveLibrary());
    EXPECT_EQ(reloaded.GetLibraryId(), id);
}

TEST_F(Library, RefusesABadFileAndKeepsTheLibraryItHad)
{
    WriteAll(DatabasePath(), LibraryBytes(2).data(), LibraryBytes(2).size());
    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnOpenDocument(DatabasePath()));
    const std::string before = Describe(library);

    Trailer badEncoding = GoodTrailer();
    badEncoding.encoded[3] = badEncoding.encoded[3] == L'A' ? L'B' : L'A';
    Trailer badIdDigest = GoodTrailer();
    badIdDigest.idDigest[0] = badIdDigest.idDigest[0] == L'0' ? L'1' : L'0';
    Trailer badEncodedDigest = GoodTrailer();
    badEncodedDigest.encodedDigest[39] = badEncodedDigest.encodedDigest[39] == L'0' ? L'1' : L'0';
    std::vector<BYTE> truncated = LibraryBytes(2);
    truncated.resize(truncated.size() / 2);
    const std::vector<BYTE> bad[] = {LibraryBytes(3), LibraryBytes(2, badEncoding), LibraryBytes(2, badIdDigest),
                                     LibraryBytes(2, badEncodedDigest), truncated};
    const CString other = m_scratch / L"Other.dat";
    for (const std::vector<BYTE>& bytes : bad) {
        WriteAll(other, bytes.data(), bytes.size());
        MessageBoxRecorder boxes;
        EXPECT_FALSE(library.OnOpenDocument(other));
        EXPECT_EQ(boxes.Boxes().size(), 1u);  // the class library's report of the failed load
        EXPECT_EQ(Describe(library), before);
        EXPECT_EQ(library.GetLibraryId(), kLibraryId);
    }
}

TEST_F(Library, StartsEmptyWithoutAFileAndRefusesToStartOnAnUnreadableOne)
{
    {
        TestLibrary library(m_scratch.Path());
        MessageBoxRecorder boxes;
        ASSERT_TRUE(library.OnNewDocument());
        EXPECT_TRUE(library.GetTitles().IsEmpty());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(library.GetPictures(i).GetImageCount(), 23) << i;
        EXPECT_TRUE(boxes.Boxes().empty());
    }
    Trailer tampered = GoodTrailer();
    tampered.idDigest[5] = tampered.idDigest[5] == L'F' ? L'E' : L'F';
    const std::vector<BYTE> bytes = LibraryBytes(2, tampered);
    WriteAll(DatabasePath(), bytes.data(), bytes.size());
    TestLibrary library(m_scratch.Path());
    MessageBoxRecorder boxes;
    EXPECT_FALSE(library.OnNewDocument());
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[1].text,
              L"Unable to open the Vesperlin for Windows database file \"" + DatabasePath() + L"\".");
    EXPECT_TRUE(library.GetTitles().IsEmpty());
    EXPECT_EQ(ReadAll(DatabasePath()), bytes);  // never overwritten or deleted
}

TEST_F(Library, SavesAndLoadsTitlesSourcesAndCollections)
{
    TestLibrary library(m_scratch.Path());
    for (const wchar_t* id : {L"t1", L"t2", L"t3"})
        library.AddTitleToLibrary(MakeTitle(id, id[1] == L'1' ? L"s1" : L"s2", 3));
    library.AddSource(MakeSource(L"s1", L"Zed Books"));
    library.AddSource(MakeSource(L"s2", L"alpha &amp; Omega"));
    library.AddCollection(MakeCollection(L"Road trip", {L"t1", L"t3"}));
    library.AddCollection(MakeCollection(L"bedtime", {L"t2", L"t2"}));
    library.SetDataFolder(m_scratch / L"Vesperlin\\Brenvale");  // missing folders are made
    ASSERT_TRUE(library.SaveLibrary());
    EXPECT_EQ(FilesBesideTheLock(m_scratch / L"Vesperlin\\Brenvale"), 1);

    TestLibrary loaded(m_scratch.Path());
    ASSERT_TRUE(loaded.OnOpenDocument(library.GetLibraryDatabasePath()));
    EXPECT_EQ(Describe(loaded), Describe(library));
    EXPECT_EQ(loaded.GetLibraryId(), library.GetLibraryId());
    EXPECT_EQ(static_cast<CSourceObject*>(loaded.GetSources()[0])->m_id, L"s2");  // by display name
    EXPECT_EQ(static_cast<CCollectionObject*>(loaded.GetCollections()[0])->m_name, L"bedtime");
}

namespace {

// A file that fails with a full disk once a number of bytes has been written.
class FailingFile : public CFile {
public:
    explicit FailingFile(ULONGLONG limit) : m_limit(limit) {}
    void Write(const void* buffer, UINT count) override
    {
        if (m_written + count > m_limit) {
            const UINT part = static_cast<UINT>(m_limit - m_written);
            CFile::Write(buffer, part);
            m_written += part;
            AfxThrowFileException(CFileException::diskFull, ERROR_DISK_FULL, m_strFileName);
        }
        CFile::Write(buffer, count);
        m_written += count;
    }

private:
    ULONGLONG m_limit;
    ULONGLONG m_written = 0;
};

}  // namespace

TEST_F(Library, AnInterruptedSaveLeavesThePreviousLibraryLoadable)
{
    TestLibrary library(m_scratch.Path());
    library.AddTitleToLibrary(MakeTitle(L"kept", L"s1"));
    library.AddSource(MakeSource(L"s1", L"Shop"));
    ASSERT_TRUE(library.SaveLibrary());
    const std::vector<BYTE> before = ReadAll(DatabasePath());
    const std::string described = Describe(library);

    for (int i = 0; i < 200; ++i)
        library.AddTitleToLibrary(MakeTitle(CString(L"new") + CString(std::to_wstring(i)), L"s1", 5));
    library.makeFile = [] { return new FailingFile(20000); };  // well into the titles
    MessageBoxRecorder boxes;
    EXPECT_FALSE(library.SaveLibrary());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    // The disk-full message names the file the user knows, not the one the save wrote,
    // and says that the change is kept.
    CString told;
    told.Format(AfxLoadString(IDS_LIBRARY_NOT_SAVED), static_cast<const wchar_t*>(DatabasePath()),
                static_cast<const wchar_t*>(L"Disk full while accessing " + DatabasePath() + L"."));
    EXPECT_EQ(boxes.Boxes()[0].text, told);
    EXPECT_TRUE(library.IsModified());
    EXPECT_EQ(ReadAll(DatabasePath()), before);
    EXPECT_EQ(FilesBesideTheLock(m_scratch.Path()), 1);  // the half-written file is gone

    TestLibrary reloaded(m_scratch.Path());
    ASSERT_TRUE(reloaded.OnOpenDocument(DatabasePath()));
    EXPECT_EQ(Describe(reloaded), described);
}

TEST_F(Library, ReplacesATitleWithTheSameIdInAnyCase)
{
    const COleDateTime oldPlayed(2024, 1, 2, 3, 4, 5);
    const COleDateTime newPlayed(2025, 5, 5, 5, 5, 5);
    for (bool oldPlayedValid : {true, false}) {
        TestLibrary library(m_scratch.Path());
        library.AddTitleToLibrary(MakeTitle(L"first", L"s"));
        CMediaObject* old = MakeTitle(L"AbC", L"s");
        old->SetAcquiredDate(COleDateTime(2020, 2, 2, 2, 2, 2));
        if (oldPlayedValid)
            old->SetLastPlayedDate(oldPlayed);
        ASSERT_EQ(library.AddTitleToLibrary(old), 1);
        old->SetPictureIndex(3);
        old->SetTitleFolder(L"Kept Folder");

        CMediaObject* replacement = MakeTitle(L"aBc", L"s");
        replacement->SetAcquiredDate(COleDateTime(2026, 1, 1, 0, 0, 0));
        replacement->SetLastPlayedDate(newPlayed);
        EXPECT_EQ(library.AddTitleToLibrary(replacement), 1);
        ASSERT_EQ(library.GetTitles().GetSize(), 2);
        INT_PTR index = -1;
        EXPECT_EQ(library.FindTitle(L"ABC", &index), replacement);
        EXPECT_EQ(index, 1);
        EXPECT_EQ(replacement->GetPictureIndex(), 3);
        EXPECT_EQ(replacement->m_titleFolder, L"Kept Folder");
        EXPECT_EQ(replacement->m_acquiredDate, COleDateTime(2020, 2, 2, 2, 2, 2));
        EXPECT_EQ(replacement->GetLastPlayedDate(), oldPlayedValid ? oldPlayed : newPlayed);
        EXPECT_EQ(library.FindTitle(L"missing"), nullptr);
    }
}

TEST_F(Library, KeepsSourcesUniqueAndCollectionsSortedWithoutRegardToCase)
{
    TestLibrary library(m_scratch.Path());
    EXPECT_EQ(library.AddSource(MakeSource(L"b", L"Beta")), 0);
    EXPECT_EQ(library.AddSource(MakeSource(L"a", L"alpha")), 0);
    CSourceObject* replacement = MakeSource(L"B", L"Aardvark");
    EXPECT_EQ(library.AddSource(replacement), 0);
    EXPECT_EQ(library.GetSources().GetSize(), 2);
    EXPECT_EQ(library.FindSource(L"b"), replacement);
    EXPECT_EQ(library.FindSourceByName(L"Aardvark"), replacement);
    EXPECT_EQ(library.FindSourceByName(L"aardvark"), nullptr);
    EXPECT_EQ(library.AddSource(nullptr), -1);

    EXPECT_EQ(library.AddCollection(MakeCollection(L"music", {})), 0);
    EXPECT_EQ(library.AddCollection(MakeCollection(L"Books", {})), 0);
    const INT_PTR variant = library.AddCollection(MakeCollection(L"Music", {}));  // case variants coexist
    EXPECT_TRUE(variant == 1 || variant == 2) << variant;
    EXPECT_EQ(library.AddCollection(MakeCollection(L"zoo", {})), 3);
    EXPECT_EQ(library.AddCollection(nullptr), -1);
    INT_PTR index = -1;
    ASSERT_NE(library.FindCollection(L"Music", &index), nullptr);
    EXPECT_EQ(library.FindCollection(L"Music", &index)->m_name, L"Music");
    EXPECT_EQ(library.FindCollection(L"BOOKS"), nullptr);

    // A renamed collection is sorted into place when the library is saved and loaded.
    library.FindCollection(L"zoo")->SetName(L"Audio");
    ASSERT_TRUE(library.SaveLibrary());
    TestLibrary loaded(m_scratch.Path());
    ASSERT_TRUE(loaded.OnOpenDocument(DatabasePath()));
    CString order;
    for (CObject* o : loaded.GetCollections())
        order += static_cast<CCollectionObject*>(o)->m_name.Left(2);
    EXPECT_TRUE(order == L"AuBomuMu" || order == L"AuBoMumu") << order.ToNarrow(CP_UTF8);
}

TEST_F(Library, RemovesATitleWithItsFilesSettingsAndUnusedSource)
{
    CWinApp app(L"Vesperlin Brenvale Library Tests");
    app.SetRegistryKey(L"Vesperlin, Inc.");
    const CString downloads = m_scratch / L"Downloads";
    TestLibrary library(m_scratch.Path());
    CMediaObject* title = MakeTitle(L"gone", L"s1");
    title->SetDownloadFolder(downloads);
    title->SetTitleFolder(L"Gone Title");
    library.AddTitleToLibrary(title);
    CMediaObject* other = MakeTitle(L"stays", L"s2");
    other->SetDownloadFolder(downloads);
    library.AddTitleToLibrary(other);
    library.AddSource(MakeSource(L"s1", L"One"));
    library.AddSource(MakeSource(L"s2", L"Two"));
    library.AddCollection(MakeCollection(L"c", {L"gone", L"stays", L"Gone"}));

    CreateDirectoryW(downloads, nullptr);
    CreateDirectoryW(downloads + L"\\Gone Title", nullptr);
    CreateDirectoryW(m_scratch / L"Banners", nullptr);
    CStringArray files;
    for (CObject* o : title->m_parts) {
        const CString part = static_cast<CPartObject*>(o)->GetFilePath(title);
        files.Add(part);
        files.Add(part.Left(part.GetLength() - 4) + L".m4b");
        files.Add(part + L".tmp");
    }
    files.Add(title->GetPlaylistPath());
    files.Add(title->GetMediaOrderFilePath());
    files.Add(title->GetThumbnailPath(m_scratch.Path(), FALSE));
    files.Add(title->GetThumbnailPath(m_scratch.Path(), TRUE));
    files.Add(title->GetCoverPath(m_scratch.Path()));
    files.Add(downloads + L"\\Gone Title\\thumbs.db");
    const CString banner = static_cast<CSourceObject*>(library.FindSource(L"s1"))->GetBannerPath(m_scratch.Path());
    files.Add(banner);
    for (const CString& file : files)
        WriteAll(file, std::string("x"));
    app.WriteProfileInt(L"Bookmarks\\gone", L"1", 5);
    app.WriteProfileInt(L"Recently Played", L"gone", 1);
    app.WriteProfileInt(L"Recently Played", L"stays", 1);

    CStringArray ids;
    ids.Add(L"GONE");
    CStringArray queue;
    queue.Add(L"gone");
    {
        MessageBoxRecorder boxes;
        library.RemoveTitle(ids, queue);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, AfxLoadString(IDS_TITLES_IN_DOWNLOAD_QUEUE));
        EXPECT_EQ(library.GetTitles().GetSize(), 2);
        EXPECT_TRUE(Exists(files[0]));
    }
    MessageBoxRecorder boxes;
    library.RemoveTitle(ids, CStringArray());
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(library.GetTitles().GetSize(), 1);
    EXPECT_EQ(library.FindTitle(L"gone"), nullptr);
    for (const CString& file : files)
        EXPECT_FALSE(Exists(file)) << file.ToNarrow(CP_UTF8);
    EXPECT_FALSE(Exists(downloads + L"\\Gone Title"));
    CString value;
    EXPECT_FALSE(library.TitleFolderSet().Lookup(CString(downloads + L"\\gone title").MakeLower(), value));
    ASSERT_EQ(library.GetSources().GetSize(), 1);
    EXPECT_NE(library.FindSource(L"s2"), nullptr);
    const auto* collection = static_cast<CCollectionObject*>(library.GetCollections()[0]);
    ASSERT_EQ(collection->m_members.GetSize(), 1);
    EXPECT_EQ(collection->m_members[0], L"stays");
    EXPECT_EQ(app.GetProfileInt(L"Bookmarks\\gone", L"1", -1), static_cast<UINT>(-1));
    EXPECT_EQ(app.GetProfileInt(L"Recently Played", L"gone", -1), static_cast<UINT>(-1));
    EXPECT_EQ(app.GetProfileInt(L"Recently Played", L"stays", -1), 1u);
    EXPECT_TRUE(Exists(library.GetLibraryDatabasePath()));  // saved at once

    // An empty id names no title: the other titles' bookmarks stay.
    app.WriteProfileInt(L"Bookmarks\\stays", L"1", 7);
    library.RemoveTitleById(L"", CStringArray());
    library.RemoveTitleById(nullptr, CStringArray());
    EXPECT_EQ(app.GetProfileInt(L"Bookmarks\\stays", L"1", -1), 7u);
    EXPECT_EQ(library.GetTitles().GetSize(), 1);
    app.DeleteProfileSection(L"Bookmarks");
    app.DeleteProfileSection(L"Recently Played");
}

TEST_F(Library, OpensOnlyLibrariesAndOrderFilesByExtension)
{
    TestLibrary library(m_scratch.Path());
    const CString text = m_scratch / L"notes.txt";
    WriteAll(text, std::string("x"));
    for (const CString& path : {text, m_scratch / L"noextension"}) {
        MessageBoxRecorder boxes;
        EXPECT_FALSE(library.OnOpenDocument(path));
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].text, L"Unable to open the specified path \"" + path +
                                             L"\".  The file type is not recognized by Vesperlin for Windows.");
    }
    MessageBoxRecorder boxes;
    EXPECT_FALSE(library.OnOpenDocument(m_scratch / L"title.vpm"));  // no main window to hand it to
    EXPECT_TRUE(boxes.Boxes().empty());
    const CString upper = m_scratch / L"LIBRARY.DAT";
    WriteAll(upper, LibraryBytes(1).data(), LibraryBytes(1).size());
    EXPECT_TRUE(library.OnOpenDocument(upper));
}


TEST_F(Library, GivesATitleItsThumbnailInEveryPictureList)
{
    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    CMediaObject* title = MakeTitle(L"pic", L"s");
    title->SetDownloadFolder(m_scratch.Path());
    title->SetTitleFolder(L"Pic");
    title->GetMetadata().SetThumbnailUrl(L"http://img.test/p.bmp");
    CreateDirectoryW(m_scratch / L"Pic", nullptr);
    WriteBitmap(title->GetThumbnailPath(m_scratch.Path(), FALSE), 40, 20);
    library.AddTitleToLibrary(title);
    EXPECT_EQ(title->GetPictureIndex(), 23);
    EXPECT_EQ(library.GetPictureSlotsInUse(), 24);
    for (int i = 0; i < 4; ++i)
        EXPECT_GE(library.GetPictures(i).GetImageCount(), 24) << i;

    CMediaObject* without = MakeTitle(L"nopic", L"s");
    library.AddTitleToLibrary(without);
    EXPECT_EQ(without->GetPictureIndex(), DefaultTitlePicture);

    // The same title added again replaces its pictures in place.
    CMediaObject* again = MakeTitle(L"PIC", L"s");
    again->SetDownloadFolder(m_scratch.Path());
    again->GetMetadata().SetThumbnailUrl(L"http://img.test/p.bmp");
    library.AddTitleToLibrary(again);
    EXPECT_EQ(again->GetPictureIndex(), 23);
    EXPECT_EQ(library.GetPictureSlotsInUse(), 24);

    // Loading the library finds the thumbnail again; the title without one keeps the placeholder.
    ASSERT_TRUE(library.SaveLibrary());
    TestLibrary loaded(m_scratch.Path());
    ASSERT_TRUE(loaded.OnNewDocument());
    ASSERT_EQ(loaded.GetTitles().GetSize(), 2);
    EXPECT_EQ(loaded.FillPendingPictures(), 0);
    EXPECT_EQ(loaded.FindTitle(L"pic")->GetPictureIndex(), 23);
    EXPECT_EQ(loaded.FindTitle(L"nopic")->GetPictureIndex(), DefaultTitlePicture);
    EXPECT_EQ(loaded.GetPictures(3).GetImageCount(), 24);
}

// Titles filed one by one: the picture lists grow by a share of their size, so they are
// copied a few times in all rather than once every few titles.
TEST_F(Library, PictureListsGrowGeometricallyAsTitlesAreAddedOneByOne)
{
    TestLibrary library(m_scratch.Path());
    ASSERT_TRUE(library.OnNewDocument());
    CreateDirectoryW(m_scratch / L"Pic", nullptr);
    constexpr int kTitles = 400;
    int resizes = 0;
    int capacity = library.GetPictures(0).GetImageCount();
    for (int n = 0; n < kTitles; ++n) {
        CString id;
        id.Format(L"one-by-one-%d", n);
        CMediaObject* title = MakeTitle(id, L"s");
        title->SetDownloadFolder(m_scratch.Path());
        title->SetTitleFolder(L"Pic");
        title->GetMetadata().SetThumbnailUrl(L"http://img.test/p.bmp");
        if (n == 0)
            WriteBitmap(title->GetThumbnailPath(m_scratch.Path(), FALSE), 40, 20);
        library.AddTitleToLibrary(title);
        ASSERT_EQ(title->GetPictureIndex(), 23 + n);
        const int now = library.GetPictures(0).GetImageCount();
        if (now != capacity) {
            ++resizes;
            capacity = now;
        }
        for (int i = 1; i < 4; ++i)
            ASSERT_EQ(library.GetPictures(i).GetImageCount(), now) << i;
    }
    EXPECT_EQ(library.GetPictureSlotsInUse(), 23 + kTitles);
    // Growing by ten every ten titles would be 40 copies; a quarter of the size each time
    // is about a dozen.
    EXPECT_LE(resizes, 16);
    EXPECT_LE(capacity, (23 + kTitles) * 5 / 4 + 16);

    // Saved and loaded, the lists hold exactly what is in use; the next title grows them again.
    ASSERT_TRUE(library.SaveLibrary());
    TestLibrary loaded(m_scratch.Path());
    ASSERT_TRUE(loaded.OnNewDocument());
    EXPECT_EQ(loaded.FillPendingPictures(), 0);
    EXPECT_EQ(loaded.GetPictures(2).GetImageCount(), 23 + kTitles);
    CMediaObject* more = MakeTitle(L"one-more", L"s");
    more->SetDownloadFolder(m_scratch.Path());
    more->SetTitleFolder(L"Pic");
    more->GetMetadata().SetThumbnailUrl(L"http://img.test/p.bmp");
    loaded.AddTitleToLibrary(more);
    EXPECT_EQ(more->GetPictureIndex(), 23 + kTitles);
    EXPECT_EQ(loaded.GetPictureSlotsInUse(), 24 + kTitles);
}

TEST_F(Library, FitsAThumbnailIntoAFramedSquareIcon)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    {
        Gdiplus::Bitmap image(200, 100, PixelFormat32bppARGB);
        Gdiplus::Graphics(&image).Clear(Gdiplus::Color(255, 0, 0, 0));
        const struct {
            int size;
            int frameX, frameY;   // the grey frame's corner: (x - 1, y - 1)
            POINT innerEdge;      // on the white inner frame (large icons only)
            bool white;
        } cases[] = {{96, 1, 24, {3, 48}, true}, {48, 1, 12, {3, 24}, false}};
        for (const auto& c : cases) {
            HICON icon = MakeThumbnailIcon(image, c.size);
            ASSERT_NE(icon, nullptr);
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAPINFO header{};
            header.bmiHeader.biSize = sizeof header.bmiHeader;
            header.bmiHeader.biWidth = c.size;
            header.bmiHeader.biHeight = -c.size;
            header.bmiHeader.biPlanes = 1;
            header.bmiHeader.biBitCount = 32;
            std::vector<DWORD> pixels(static_cast<size_t>(c.size * c.size));
            HDC dc = GetDC(nullptr);
            ASSERT_EQ(GetDIBits(dc, info.hbmColor, 0, c.size, pixels.data(), &header, DIB_RGB_COLORS), c.size);
            ReleaseDC(nullptr, dc);
            auto rgb = [&](int x, int y) { return pixels[static_cast<size_t>(y * c.size + x)] & 0xFFFFFF; };
            EXPECT_EQ(rgb(c.frameX, c.frameY), 0xC4C4C4u) << c.size;
            EXPECT_EQ(rgb(c.size / 2, c.size / 2), 0u) << c.size;  // the picture itself
            EXPECT_EQ(rgb(c.innerEdge.x, c.innerEdge.y), c.white ? 0xFFFFFFu : 0u) << c.size;
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
    }
    Gdiplus::GdiplusShutdown(token);
}

// The lists are filled from bitmaps rather than icons: what they hold must be what the
// framed icon of the same picture gave, at every size, and a photograph (transparent
// bands beside it) is drawn exactly as from the icon. A picture with its own
// translucency is drawn blended once over what is behind it (from the icon such pixels
// came out darker, their colour weighed by their alpha twice).
TEST_F(Library, PutsAThumbnailIntoThePictureListsExactlyAsItsFramedIcon)
{
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    ASSERT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    const struct {
        const wchar_t* file;
        const char* source;
        bool translucent;       // else drawn as from the icon
        DWORD colour, alpha;    // of a translucent picture: its middle
    } pictures[] = {
        {L"wide photo.jpg", "testsrc=s=200x120", false, 0, 0},
        {L"tall photo.jpg", "testsrc=s=90x160", false, 0, 0},
        {L"half clear.png", "color=c=0x20a040@0.5:s=60x90,format=rgba", true, 0x20a040, 0x80},
    };
    const DWORD background = 0x336699;
    const int sizes[4] = {16, 32, 48, 96};
    // One painter for them all, as a fill uses it: each picture drawn over the last.
    ThumbnailPainter painter;
    for (const auto& picture : pictures) {
        const CString path = m_scratch / picture.file;
        ASSERT_EQ(0, testsupport::RunHostCommand(std::string("ffmpeg -v error -y -f lavfi -i '") + picture.source +
                                                 "' -frames:v 1 " + testsupport::ShellQuoted(path)));
        Gdiplus::Bitmap image(path);
        ASSERT_EQ(image.GetLastStatus(), Gdiplus::Ok) << picture.source;
        ASSERT_TRUE(painter.Paint(image));
        CImageList fromIcons[4], fromBitmaps[4];
        for (int i = 0; i < 4; ++i) {
            for (CImageList* lists : {fromIcons, fromBitmaps}) {
                ASSERT_TRUE(lists[i].Create(sizes[i], sizes[i], ILC_COLOR32 | ILC_MASK, 0, 4));
                ASSERT_TRUE(lists[i].SetImageCount(3));
            }
            HICON icon = MakeThumbnailIcon(image, sizes[i]);
            ASSERT_NE(icon, nullptr);
            EXPECT_EQ(fromIcons[i].Replace(1, icon), 1);
            DestroyIcon(icon);
        }
        ASSERT_TRUE(painter.Put(fromBitmaps, 1));

        for (int i = 0; i < 4; ++i) {
            const int size = sizes[i];
            // The stored colour and mask of place 1.
            auto stored = [&](CImageList& list, bool mask) {
                IMAGEINFO info{};
                EXPECT_TRUE(ImageList_GetImageInfo(list.GetSafeHandle(), 1, &info));
                BITMAPINFO header{};
                header.bmiHeader.biSize = sizeof header.bmiHeader;
                header.bmiHeader.biWidth = size;
                header.bmiHeader.biHeight = -size;
                header.bmiHeader.biPlanes = 1;
                header.bmiHeader.biBitCount = 32;
                std::vector<DWORD> pixels(static_cast<size_t>(size * size));
                HDC screen = GetDC(nullptr);
                HDC from = CreateCompatibleDC(screen);
                HDC to = CreateCompatibleDC(screen);
                void* bits = nullptr;
                HBITMAP copy = CreateDIBSection(screen, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
                HGDIOBJ oldFrom = SelectObject(from, mask ? info.hbmMask : info.hbmImage);
                HGDIOBJ oldTo = SelectObject(to, copy);
                BitBlt(to, 0, 0, size, size, from, info.rcImage.left, info.rcImage.top, SRCCOPY);
                GdiFlush();
                std::copy_n(static_cast<DWORD*>(bits), pixels.size(), pixels.begin());
                SelectObject(to, oldTo);
                SelectObject(from, oldFrom);
                DeleteObject(copy);
                DeleteDC(to);
                DeleteDC(from);
                ReleaseDC(nullptr, screen);
                return pixels;
            };
            // "" when the same, else the first pixel that differs.
            auto difference = [size](const std::vector<DWORD>& got, const std::vector<DWORD>& want) {
                for (size_t n = 0; n < got.size() && n < want.size(); ++n)
                    if (got[n] != want[n]) {
                        char text[96];
                        std::snprintf(text, sizeof text, "(%d, %d): %08lx, not %08lx", static_cast<int>(n) % size,
                                      static_cast<int>(n) / size, static_cast<unsigned long>(got[n]),
                                      static_cast<unsigned long>(want[n]));
                        return std::string(text);
                    }
                return std::string(got.size() == want.size() ? "" : "sizes differ");
            };
            EXPECT_EQ(difference(stored(fromBitmaps[i], false), stored(fromIcons[i], false)), "")
                << picture.source << ' ' << size;
            EXPECT_EQ(difference(stored(fromBitmaps[i], true), stored(fromIcons[i], true)), "")
                << picture.source << ' ' << size;
            // Drawn over a coloured background, as the views draw them.
            auto drawn = [&](CImageList& list, UINT style) {
                BITMAPINFO header{};
                header.bmiHeader.biSize = sizeof header.bmiHeader;
                header.bmiHeader.biWidth = size;
                header.bmiHeader.biHeight = -size;
                header.bmiHeader.biPlanes = 1;
                header.bmiHeader.biBitCount = 32;
                void* bits = nullptr;
                HBITMAP canvas = CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
                HDC dc = CreateCompatibleDC(nullptr);
                HGDIOBJ old = SelectObject(dc, canvas);
                std::fill_n(static_cast<DWORD*>(bits), size * size, background);
                ImageList_Draw(list.GetSafeHandle(), 1, dc, 0, 0, style);
                GdiFlush();
                std::vector<DWORD> pixels(static_cast<DWORD*>(bits), static_cast<DWORD*>(bits) + size * size);
                SelectObject(dc, old);
                DeleteDC(dc);
                DeleteObject(canvas);
                return pixels;
            };
            if (!picture.translucent) {
                for (UINT style : {ILD_NORMAL, ILD_TRANSPARENT, ILD_SELECTED})
                    EXPECT_EQ(difference(drawn(fromBitmaps[i], style), drawn(fromIcons[i], style)), "")
                        << picture.source << ' ' << size << " style " << style;
                continue;
            }
            const DWORD middle = drawn(fromBitmaps[i], ILD_NORMAL)[static_cast<size_t>(size / 2 * size + size / 2)];
            for (int shift : {0, 8, 16}) {
                const int own = static_cast<int>((picture.colour >> shift) & 0xFF);
                const int behind = static_cast<int>((background >> shift) & 0xFF);
                const int alpha = static_cast<int>(picture.alpha);
                const int want = (own * alpha + behind * (255 - alpha)) / 255;
                EXPECT_NEAR(static_cast<int>((middle >> shift) & 0xFF), want, 2)
                    << picture.source << ' ' << size << " channel " << shift;
            }
        }
    }
    Gdiplus::GdiplusShutdown(token);
}

// Playlist ------------------------------------------------------------------------------------

TEST_F(Library, WritesAPlaylistThatStaysValidWithAnyFolderName)
{
    TestLibrary library(m_scratch.Path());
    const CString downloads = m_scratch / L"Rock & Roll \u97f3\u697d 'live'";
    CMediaObject* title = MakeTitle(L"wax", L"s", 2);
    title->SetDownloadFolder(downloads);
    title->SetTitleFolder(L"Tom & Jerry's");
    library.AddTitleToLibrary(title);
    ASSERT_TRUE(library.WritePlaylistFile(title));
    const CString path = title->GetPlaylistPath();
    const std::vector<BYTE> bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_TRUE(bytes[0] == 0xFF && bytes[1] == 0xFE);  // the ANSI code page cannot hold the folder name
    std::wstring expect;
    for (int n = 0; n < 2; ++n)
        expect += L"entry[" + std::to_wstring(n + 1) + L"]/ref\thref\t" + title->GetPart(n)->GetFilePath(title).str() +
                  L"\n";
    EXPECT_EQ(CheckXmlWithPython(path, expect, m_scratch.Path()), 0);
    // Our reader finds the same paths.
    CXmlNode asx;
    ASSERT_TRUE(asx.Parse(StripXmlProlog(ReadTextFile(path))));
    CObArray refs;
    ASSERT_TRUE(asx.FindChildren(L"ref", refs));
    ASSERT_EQ(refs.GetSize(), 2);
    for (int n = 0; n < 2; ++n) {
        CString href;
        ASSERT_TRUE(static_cast<CXmlNode*>(refs[n])->GetAttribute(L"href", href));
        EXPECT_EQ(DecodeXmlText(href), title->GetPart(n)->GetFilePath(title));
    }
    DeleteXmlNodes(refs);

    // A plain title: the ANSI code page, exactly the lines of the string table.
    CMediaObject* plain = MakeTitle(L"plain", L"s", 1);
    plain->SetDownloadFolder(L"C:\\Media");
    plain->SetTitleFolder(L"Plain");
    plain->SetDownloadFolder(m_scratch.Path());
    library.AddTitleToLibrary(plain);
    ASSERT_TRUE(library.WritePlaylistFile(plain));
    const std::string expected = "<asx version=\"3.0\">\r\n\t<entry>\r\n\t\t<ref href=\"" +
                                 plain->GetPart(0)->GetFilePath(plain).ToNarrow() +
                                 "\"/>\r\n\t</entry>\r\n</asx>";
    const std::vector<BYTE> plainBytes = ReadAll(plain->GetPlaylistPath());
    EXPECT_EQ(std::string(plainBytes.begin(), plainBytes.end()), expected);

    // No protocol for the selected method: nothing is written.
    CMediaObject* stream = MakeTitle(L"stream", L"s", 1);
    stream->SetDownloadFolder(m_scratch.Path());
    stream->SetSelectedMethod(L"stream");
    library.AddTitleToLibrary(stream);
    EXPECT_FALSE(library.WritePlaylistFile(stream));
    EXPECT_FALSE(Exists(stream->GetPlaylistPath()));
    // A game has no playlist.
    stream->GetMetadata().SetContentKind(KindGame);
    EXPECT_TRUE(library.WritePlaylistFile(stream));
    EXPECT_FALSE(Exists(stream->GetPlaylistPath()));
}

// Order file ----------------------------------------------------------------------------------

namespace {

const wchar_t* const kTrickyOrder =
    L"<?xml version=\"1.0\"?><VesperlinMedia id=\"{Q&amp;A-&quot;1&quot;}\" VPMVersion=\"3.0.0.0\">"
    L"<Metadata><ContentType>MP3 Audiobook</ContentType>"
    L"<Title>Tom &amp; Jerry &lt;Deluxe&gt;</Title><SubTitle>\"Quoted\" &amp; 'single'</SubTitle>"
    L"<SortTitle>Tom &amp; Jerry</SortTitle><Publisher>\u00c9ditions &amp; S\u00f6hne</Publisher>"
    L"<Series>caf&eacute; &#233;</Series>"
    L"<ThumbnailUrl>http://img.test/a.jpg?x=1&amp;y=2</ThumbnailUrl>"
    L"<Creators><Creator role=\"Author\" file-as=\"Tolstoy, Lev &amp; Co\">\u041b\u0435\u0432 "
    L"\u0422\u043e\u043b\u0441\u0442\u043e\u0439</Creator></Creators>"
    L"<Subjects><Subject id=\"3\">Fiction &amp; &lt;Drama&gt;</Subject></Subjects>"
    L"<Languages><Language code=\"ru\">\u0420\u0443\u0441\u0441\u043a\u0438\u0439 &amp; English</Language></Languages>"
    L"<Description>Line one &amp; two \u2014 \u4e2d\u6587</Description></Metadata>"
    L"<Protocols><Protocol method=\"download\" baseurl=\"http://m.test/get?a=1&amp;b=2\"/></Protocols>"
    L"<Parts><Part number=\"1\" filesize=\"100\" name=\"Part &quot;One&quot; &amp; more\" filename=\"p1.mp3\" "
    L"duration=\"1:00:00\"/><Part number=\"2\" filesize=\"200\" name=\"\u0427\u0430\u0441\u0442\u044c 2\" "
    L"filename=\"p2.mp3\"/></Parts>"
    L"<Source id=\"shop&amp;1\"><Name>Smith &amp; Sons &lt;Books&gt;</Name>"
    L"<WebsiteUrl>http://shop.test/?a=1&amp;b=2</WebsiteUrl><BannerUrl>http://shop.test/b.gif</BannerUrl>"
    L"<AccentColor>#336699</AccentColor></Source></VesperlinMedia>";

// Everything of a title that its order file carries.
std::string OrderContent(const CMediaObject& title)
{
    const std::string all = Describe(title);
    return title.m_mediaId.ToNarrow(CP_UTF8) + all.substr(all.find('\n'));
}

}  // namespace

TEST_F(Library, WritesAnOrderFileThatPythonAndOurReaderReadBackUnchanged)
{
    TestLibrary library(m_scratch.Path());
    CMediaObject* title = new CMediaObject;
    CString error;
    ASSERT_TRUE(titletest::ParseOrderText(kTrickyOrder, *title, error)) << error.ToNarrow(CP_UTF8);
    CXmlNode root, sourceNode;
    ASSERT_TRUE(root.Parse(StripXmlProlog(kTrickyOrder)));
    ASSERT_TRUE(root.FindChild(L"Source", sourceNode));
    auto* source = new CSourceObject;
    ASSERT_TRUE(source->ParseSource(&sourceNode, error, ConsoleOrderFileMessages()));
    title->SetSourceId(source->m_id);
    title->SetDownloadFolder(m_scratch / L"R&B \u97f3");
    title->SetTitleFolder(L"Tom & Jerry");
    library.AddTitleToLibrary(title);
    library.AddSource(source);

    ASSERT_TRUE(library.WriteMediaOrderFile(title));
    const CString path = title->GetMediaOrderFilePath();
    EXPECT_EQ(FileCount(m_scratch / L"R&B \u97f3\\Tom & Jerry"), 1);
    const std::wstring expect =
        L".\tid\t{Q&A-\"1\"}\n"
        L"WMLicense\t\tNONE\n"
        L"Formats/Format/Protocols/Protocol\tbaseurl\thttp://m.test/get?a=1&b=2\n"
        L"Formats/Format/Parts\tcount\t2\n"
        L"Formats/Format/Parts/Part[1]\tname\tPart \"One\" & more\n"
        L"Formats/Format/Parts/Part[2]\tname\t\u0427\u0430\u0441\u0442\u044c 2\n"
        L"Source\tid\tshop&1\n"
        L"Source/Name\t\tSmith & Sons <Books>\n"
        L"Source/WebsiteUrl\t\thttp://shop.test/?a=1&b=2\n"
        L"Source/AccentColor\t\t#336699\n";
    EXPECT_EQ(CheckXmlWithPython(path, expect, m_scratch.Path()), 0);

    const CString text = ReadTextFile(path);
    CMediaObject reread;
    ASSERT_TRUE(titletest::ParseOrderText(text, reread, error)) << error.ToNarrow(CP_UTF8);
    EXPECT_EQ(OrderContent(reread), OrderContent(*title));
    CXmlNode rereadRoot, rereadSourceNode;
    ASSERT_TRUE(rereadRoot.Parse(StripXmlProlog(text)));
    ASSERT_TRUE(rereadRoot.FindChild(L"Source", rereadSourceNode));
    CSourceObject rereadSource;
    ASSERT_TRUE(rereadSource.ParseSource(&rereadSourceNode, error, ConsoleOrderFileMessages()));
    EXPECT_EQ(rereadSource.m_id, source->m_id);
    EXPECT_EQ(rereadSource.m_name, source->m_name);
    EXPECT_EQ(rereadSource.m_websiteUrl, source->m_websiteUrl);
    EXPECT_EQ(rereadSource.m_displayName, L"Smith & Sons <Books>");
}

TEST_F(Library, LeavesAnExistingOrderFileAloneWhenTheSourceIsMissing)
{
    TestLibrary library(m_scratch.Path());
    CMediaObject* title = MakeTitle(L"orphan", L"no-such-source");
    title->SetDownloadFolder(m_scratch.Path());
    library.AddTitleToLibrary(title);
    CreateDirectoryW(m_scratch / L"Folder orphan", nullptr);
    const CString path = title->GetMediaOrderFilePath();
    WriteAll(path, std::string("previous order file"));
    EXPECT_FALSE(library.WriteMediaOrderFile(title));
    const std::vector<BYTE> bytes = ReadAll(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "previous order file");
    EXPECT_EQ(FileCount(m_scratch / L"Folder orphan"), 1);
    EXPECT_FALSE(library.WriteMediaOrderFile(nullptr));

    // With its source the file is replaced by the complete new one.
    library.AddSource(MakeSource(L"no-such-source", L"Found"));
    ASSERT_TRUE(library.WriteMediaOrderFile(title));
    EXPECT_NE(ReadTextFile(path).Find(L"<Name>Found</Name>"), -1);
    EXPECT_EQ(FileCount(m_scratch / L"Folder orphan"), 1);
}
