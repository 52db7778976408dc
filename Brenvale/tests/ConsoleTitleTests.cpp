// The console's title record: its order-file parse with the console's messages, its
// archive form (versions 1 to 3) and collections.
#include "LibraryTestSupport.h"
#include "TestSupport.h"
#include "XmlNode.h"
#include "res/BrenvaleIds.h"

#include <gtest/gtest.h>

using namespace librarytest;

namespace {

class ConsoleTitle : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildEntityTable(); }
};

const wchar_t* const kOrder =
    L"<?xml version=\"1.0\"?>\r\n"
    L"<VesperlinMedia id=\"{T-1}\" VPMVersion=\"3.0.0.0\" MobileMinVersion=\"2.0.0.0\">"
    L"<WMLicense></WMLicense><License>LIC &amp; 1</License>"
    L"<TransactionID>TX&amp;1</TransactionID><EarlyReturnURL>http://r.test/?a=1&amp;b=2</EarlyReturnURL>"
    L"<DownloadSuccessURL>http://s.test/ok</DownloadSuccessURL>"
    L"<Metadata><ContentType>Video</ContentType><Title>Tom &amp; Jerry</Title><SortTitle>Tom</SortTitle>"
    L"<Creators><Creator role=\"Author\" file-as=\"Roe, J\">J Roe</Creator></Creators></Metadata>"
    L"<Formats><Format name=\"Medium Quality\"><Protocols><Protocol method=\"download\" baseurl=\"http://m.test\"/>"
    L"</Protocols><Parts count=\"1\"><Part number=\"1\" filesize=\"10\" name=\"One\" filename=\"a.wmv\"/>"
    L"</Parts></Format></Formats></VesperlinMedia>";

CString With(const wchar_t* text, const wchar_t* piece, const wchar_t* replacement)
{
    CString result(text);
    result.Replace(piece, replacement);
    return result;
}

}  // namespace

TEST_F(ConsoleTitle, ParsesOrderFileWithConsoleFieldsAndAcceptsStandardVideoSilently)
{
    testsupport::MessageBoxRecorder boxes;
    CMediaObject title;
    CString error;
    ASSERT_TRUE(titletest::ParseOrderText(kOrder, title, error)) << error.ToNarrow(CP_UTF8);
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(title.m_mediaId, L"{T-1}");
    EXPECT_EQ(title.GetMetadata().GetContentKind(), KindVideo);
    EXPECT_EQ(title.m_orderLicense, L"LIC & 1");  // WMLicense empty: License is taken
    EXPECT_EQ(title.m_transactionId, L"TX&1");
    EXPECT_EQ(title.m_earlyReturnUrl, L"http://r.test/?a=1&b=2");
    EXPECT_EQ(title.m_downloadSuccessUrl, L"http://s.test/ok");
    EXPECT_EQ(title.GetMetadata().m_title, L"Tom &amp; Jerry");
    EXPECT_EQ(title.GetMetadata().m_titleDecoded, L"Tom & Jerry");
    EXPECT_EQ(title.GetPictureIndex(), DefaultTitlePicture);
    EXPECT_TRUE(title.m_licenseText.IsEmpty());  // the archived licence is not the order file's

    CMediaObject lower;
    EXPECT_TRUE(titletest::ParseOrderText(With(kOrder, L"VesperlinMedia", L"vesperlinMEDIA"), lower, error));
}

TEST_F(ConsoleTitle, ReportsMissingItemsWithTheConsoleMessageNumbers)
{
    struct Case {
        CString document;
        UINT message;  // 0: no message
    } cases[] = {
        {With(kOrder, L"VesperlinMedia", L"OtherRoot"), 0},
        {With(kOrder, L"id=\"{T-1}\"", L"id=\"\""), IDS_CONSOLE_NO_MEDIA_ID},
        {With(kOrder, L"Metadata>", L"Meta>"), IDS_CONSOLE_NO_METADATA},
        {With(kOrder, L"<Protocol method=\"download\" baseurl=\"http://m.test\"/>", L""), IDS_CONSOLE_NO_PROTOCOL},
        {With(kOrder, L"baseurl=", L"base="), IDS_CONSOLE_NO_PROTOCOL_URL},
        {With(kOrder, L"<Part number", L"<Pa number"), IDS_CONSOLE_NO_PART},
        {With(kOrder, L" filesize=\"10\"", L""), IDS_CONSOLE_NO_PART_FILE_SIZE},
        {With(kOrder, L" filesize=\"10\"", L" filesize=\"-1\""), IDS_CONSOLE_PART_FILE_SIZE_NOT_BYTES},
        {With(kOrder, L" filesize=\"10\"", L" filesize=\"0x0A\""), IDS_CONSOLE_PART_FILE_SIZE_NOT_BYTES},
        {With(kOrder, L"<Title>Tom &amp; Jerry</Title>", L""), IDS_CONSOLE_NO_TITLE},
        {With(kOrder, L"<SortTitle>Tom</SortTitle>", L""), IDS_CONSOLE_NO_SORT_TITLE},
        {With(kOrder, L" role=\"Author\"", L""), IDS_CONSOLE_NO_CREATOR_ROLE},
    };
    for (const Case& c : cases) {
        CMediaObject title;
        CString error = L"untouched";
        EXPECT_FALSE(titletest::ParseOrderText(c.document, title, error)) << c.document.ToNarrow(CP_UTF8);
        EXPECT_EQ(error, c.message ? AfxLoadString(c.message) : CString(L"untouched")) << c.document.ToNarrow(CP_UTF8);
    }
    CMediaObject streaming;
    CString error;
    EXPECT_FALSE(titletest::ParseOrderText(With(kOrder, L">Video<", L">Streaming Video<"), streaming, error));
    EXPECT_EQ(error, L"The content type of Streaming Video is not supported.");
}

namespace {

// A title record of the given schema, written by hand from the stored layout.
std::vector<BYTE> TitleRecord(WORD schema, LONG kind, const wchar_t* partFile)
{
    ArchiveBytes bytes;
    bytes.Word(schema);
    for (const wchar_t* text : {L"id-1", L"src-1", L"Folder", L"download", L"C:\\Media", L""})
        bytes.Text(text);
    bytes.Date(0, 45000.5).Date(2, 0.0);
    bytes.Word(4);  // metadata
    for (const wchar_t* text : {L"Title", L"Sort", L"", L"Pub", L"Desc", L"http://t.test/a.png"})
        bytes.Text(text);
    bytes.Count(0).Count(0).Count(0).Long(kind).Text(L"http://t.test/c.png").Text(L"Series");
    bytes.Count(1).NewClass("CProtocolObject").Word(1).Text(L"download").Text(L"http://m.test");
    bytes.Count(1).NewClass("CPartObject").Word(3).Long(1).Long(99).Text(L"One").Text(partFile).Text(L"1:00");
    if (schema >= 2)
        bytes.Text(L"LICENCE");
    if (schema >= 3)
        bytes.Text(L"TX").Text(L"http://r.test").Text(L"http://s.test");
    return bytes.Data();
}

void LoadRecord(const std::vector<BYTE>& data, CObject& record)
{
    CMemFile file(data.data(), data.size());
    CArchive archive(&file, CArchive::load);
    archive.m_strFileName = L"C:\\lib\\MediaDB.dat";
    record.Serialize(archive);
    EXPECT_EQ(archive.BytesRemaining(), 0u);
}

}  // namespace

TEST_F(ConsoleTitle, LoadsArchiveSchemasOneToThreeAndRefusesFour)
{
    for (WORD schema : {1, 2, 3}) {
        CMediaObject title;
        LoadRecord(TitleRecord(schema, KindMp3Music, L"a.mp3"), title);
        EXPECT_EQ(title.m_mediaId, L"id-1");
        EXPECT_EQ(title.GetSelectedMethod(), L"download");
        EXPECT_EQ(title.GetDownloadFolder(), L"C:\\Media");
        EXPECT_EQ(title.m_acquiredDate.GetStatus(), COleDateTime::valid);
        EXPECT_EQ(title.GetLastPlayedDate().GetStatus(), COleDateTime::null);
        EXPECT_EQ(title.GetMetadata().m_series, L"Series");
        EXPECT_EQ(title.GetMetadata().GetContentKind(), KindMp3Music);
        ASSERT_EQ(title.m_parts.GetSize(), 1);
        EXPECT_EQ(title.GetPart(0)->m_duration, L"1:00");
        EXPECT_EQ(title.m_licenseText, schema >= 2 ? L"LICENCE" : L"");
        EXPECT_EQ(title.m_transactionId, schema >= 3 ? L"TX" : L"");
        EXPECT_EQ(title.m_downloadSuccessUrl, schema >= 3 ? L"http://s.test" : L"");
    }
    CMediaObject refused;
    try {
        LoadRecord(TitleRecord(4, KindMp3Music, L"a.mp3"), refused);
        ADD_FAILURE() << "schema 4 loaded";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badSchema);
        EXPECT_EQ(e.m_strFileName, L"C:\\lib\\MediaDB.dat");
    }
}

TEST_F(ConsoleTitle, DerivesAMissingKindFromTheFirstPartFile)
{
    const struct {
        const wchar_t* file;
        int kind;
    } cases[] = {{L"x-FMT40-1.wmv", KindMobileVideo}, {L"x-fmt425-1.mp3", KindMp3Audiobook}, {L"plain.wma", 1}};
    for (const auto& c : cases) {
        CMediaObject title;
        LoadRecord(TitleRecord(3, 0, c.file), title);
        EXPECT_EQ(title.GetMetadata().GetContentKind(), c.kind) << CString(c.file).ToNarrow(CP_UTF8);
    }
}

TEST_F(ConsoleTitle, StoresAndLoadsEveryArchivedField)
{
    std::unique_ptr<CMediaObject> original(MakeTitle(L"abc", L"src"));
    original->SetLastPlayedDate(COleDateTime(2025, 1, 2, 3, 4, 5));
    CMemFile file;
    {
        CArchive archive(&file, CArchive::store);
        original->Serialize(archive);
        archive.Close();
    }
    file.SeekToBegin();
    CMediaObject copy;
    {
        CArchive archive(&file, CArchive::load);
        copy.Serialize(archive);
    }
    EXPECT_EQ(Describe(copy), Describe(*original));
}

TEST_F(ConsoleTitle, KeepsDatesOnlyWhenValidAndNamesItsPlaylist)
{
    CMediaObject title;
    const COleDateTime before = title.m_acquiredDate;
    COleDateTime invalid;
    invalid.SetStatus(COleDateTime::invalid);
    title.SetAcquiredDate(invalid);
    COleDateTime null;
    null.SetStatus(COleDateTime::null);
    title.SetAcquiredDate(null);
    EXPECT_EQ(title.m_acquiredDate, before);

    title.SetDownloadFolder(L"D:\\Books");
    title.m_fileName = L"single.wax";
    EXPECT_EQ(title.GetPlaylistPath(), L"D:\\Books\\single.wax");
    title.SetTitleFolder(L"My Book");
    EXPECT_EQ(title.GetPlaylistPath(), L"D:\\Books\\My Book\\My Book.wax");
    title.SetSelectedMethod(nullptr);
    title.SetLicenseText(nullptr);
    EXPECT_TRUE(title.GetSelectedMethod().IsEmpty());
}

TEST_F(ConsoleTitle, CollectionsListMembersAsAddedAndStoreTheirName)
{
    CCollectionObject collection;
    collection.SetName(L"Favourites");
    EXPECT_EQ(collection.AddMedia(L"a"), 0);
    EXPECT_EQ(collection.AddMedia(L"b"), 1);
    EXPECT_EQ(collection.AddMedia(L"a"), 2);
    EXPECT_EQ(collection.AddMedia(nullptr), -1);
    collection.RemoveMedia(L"A");  // exact comparison: nothing
    EXPECT_EQ(collection.m_members.GetSize(), 3);
    collection.RemoveMedia(L"a");
    ASSERT_EQ(collection.m_members.GetSize(), 2);
    EXPECT_EQ(collection.m_members[0], L"b");
    EXPECT_EQ(collection.m_members[1], L"a");

    ArchiveBytes bytes;
    bytes.Word(1).Text(L"").Count(2).Text(L"x").Text(L"y");
    CCollectionObject loaded;
    LoadRecord(bytes.Data(), loaded);
    EXPECT_EQ(loaded.m_name, L"(Empty)");
    ASSERT_EQ(loaded.m_members.GetSize(), 2);
    EXPECT_EQ(loaded.m_members[1], L"y");

    ArchiveBytes newer;
    newer.Word(2).Text(L"n").Count(0);
    CCollectionObject refused;
    EXPECT_THROW(LoadRecord(newer.Data(), refused), CArchiveException);
}

TEST_F(ConsoleTitle, SortsWithoutRegardToCaseAndCountsOnlyListedCreators)
{
    CObArray records;
    for (const wchar_t* name : {L"beta", L"Alpha", L"gamma", L"ALPHA2"})
        records.Add(MakeCollection(name, {}));
    SortRecords(records, CompareCollectionNames);
    CString order;
    for (CObject* o : records)
        order += static_cast<CCollectionObject*>(o)->m_name + L",";
    EXPECT_EQ(order, L"Alpha,ALPHA2,beta,gamma,");
    AfxDeleteObjects(records);

    CMetadataObject metadata;
    for (const wchar_t* role : {L"Producer", L"Cook", L"narrator"}) {
        auto* creator = new CCreatorObject;
        creator->SetName(role);
        creator->SetRole(role);
        metadata.AddCreator(creator);
    }
    const CCreatorRoleSet roles;  // from the string table
    ASSERT_NE(GetCreator(metadata, 2, roles), nullptr);
    EXPECT_EQ(GetCreator(metadata, 2, roles)->m_role, L"narrator");
    EXPECT_EQ(GetCreator(metadata, 3, roles), nullptr);
    EXPECT_TRUE(roles.IsKnownCreatorRole(L"author AND narrator"));
}
