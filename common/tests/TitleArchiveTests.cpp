#include "TitleTestSupport.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using titletest::Describe;

namespace {

// Builds archive bytes by hand, from the layout, independently of CArchive.
class Bytes {
public:
    Bytes& u8(int v)
    {
        m_data.push_back(static_cast<BYTE>(v));
        return *this;
    }
    Bytes& u16(int v) { return u8(v & 0xFF).u8((v >> 8) & 0xFF); }
    Bytes& u32(unsigned v) { return u16(static_cast<int>(v & 0xFFFF)).u16(static_cast<int>(v >> 16)); }
    Bytes& u64(unsigned long long v) { return u32(static_cast<unsigned>(v & 0xFFFFFFFF)).u32(static_cast<unsigned>(v >> 32)); }
    Bytes& f64(double v)
    {
        BYTE raw[8];
        std::memcpy(raw, &v, 8);
        m_data.insert(m_data.end(), raw, raw + 8);
        return *this;
    }
    // A text in the UTF-16 form with a one-byte or 0xFF + 16-bit length.
    Bytes& text(const wchar_t* s)
    {
        const size_t n = std::wcslen(s);
        u8(0xFF).u16(0xFFFE);
        if (n < 255)
            u8(static_cast<int>(n));
        else
            u8(0xFF).u16(static_cast<int>(n));
        for (size_t i = 0; i < n; ++i)
            u16(s[i]);
        return *this;
    }
    Bytes& date(int status, double value) { return u32(static_cast<unsigned>(status)).f64(value); }
    Bytes& newClass(const char* name)
    {
        u16(0xFFFF).u16(0).u16(static_cast<int>(std::strlen(name)));
        for (const char* p = name; *p; ++p)
            u8(*p);
        return *this;
    }
    Bytes& append(const Bytes& other)
    {
        m_data.insert(m_data.end(), other.m_data.begin(), other.m_data.end());
        return *this;
    }
    const std::vector<BYTE>& data() const { return m_data; }

private:
    std::vector<BYTE> m_data;
};

template <class T>
std::unique_ptr<T> Load(const std::vector<BYTE>& bytes)
{
    CMemFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    std::unique_ptr<CObject> object(ar.ReadObject(RUNTIME_CLASS(T)));
    EXPECT_EQ(ar.BytesRemaining(), 0u);
    return std::unique_ptr<T>(static_cast<T*>(object.release()));
}

// A small title: one creator, one protocol, two parts.
void FillSmallTitle(CMediaObject& t)
{
    t.SetMediaId(L"T1");
    t.SetSourceId(L"S1");
    t.SetTitleFolder(L"Salt");
    t.SetBaseFolder(L"D:\\Dl");
    t.m_acquiredDate = COleDateTime(46000.5);
    CMetadataObject& m = t.GetMetadata();
    m.SetTitle(L"Salt &amp; Sea");
    m.SetSortTitle(L"Salt");
    m.SetThumbnailUrl(L"http://i.test/s.png");
    m.SetSeries(L"Tales");
    m.SetContentKind(KindMp3Audiobook);
    auto* creator = new CCreatorObject;
    creator->SetName(L"Ada");
    creator->SetFileAs(L"Marlow, Ada");
    creator->SetRole(L"author");
    m.AddCreator(creator);
    auto* protocol = new CProtocolObject;
    protocol->SetMethod(L"download");
    protocol->SetBaseUrl(L"http://m.test/s");
    t.AddProtocol(protocol);
    for (int n = 1; n <= 2; ++n) {
        auto* part = new CPartObject;
        part->m_number = n;
        part->m_fileSize = 1000 * n;
        part->m_name = n == 1 ? L"One" : L"Two";
        part->m_fileName = n == 1 ? L"s-1.mp3" : L"s-2.mp3";
        part->SetDuration(n == 1 ? L"1:00" : L"");
        t.AddPart(part);
    }
}

// The bytes of that title, from the layout.
Bytes SmallTitleBytes()
{
    Bytes b;
    b.newClass("CMediaObject").u16(2);  // map 1: class, 2: the title
    b.text(L"T1").text(L"S1").text(L"Salt").text(L"").text(L"D:\\Dl").text(L"");
    b.date(0, 46000.5).date(2, 0.0);
    b.u16(4).text(L"Salt &amp; Sea").text(L"Salt").text(L"").text(L"").text(L"").text(L"http://i.test/s.png");
    b.u16(1).newClass("CCreatorObject").u16(1).text(L"Ada").text(L"Marlow, Ada").text(L"author");  // 3, 4
    b.u16(0).u16(0);  // no subjects, no languages
    b.u32(32).text(L"").text(L"Tales");
    b.u16(1).newClass("CProtocolObject").u16(1).text(L"download").text(L"http://m.test/s");  // 5, 6
    b.u16(2).newClass("CPartObject").u16(4).u32(1).u64(1000).text(L"One").text(L"s-1.mp3").text(L"1:00");  // 7, 8
    b.u16(0x8007).u16(4).u32(2).u64(2000).text(L"Two").text(L"s-2.mp3").text(L"");  // 9
    return b;
}

}  // namespace

TEST(TitleArchiveTest, SmallTitleMatchesTheLayoutByteForByte)
{
    BuildEntityTable();
    CMediaObject title;
    FillSmallTitle(title);
    const std::vector<BYTE> expected = SmallTitleBytes().data();
    EXPECT_EQ(titletest::StoreObject(title), expected);

    auto loaded = Load<CMediaObject>(expected);
    ASSERT_TRUE(loaded);
    EXPECT_EQ(Describe(*loaded), Describe(title));
    EXPECT_EQ(loaded->GetMetadata().m_titleDecoded, L"Salt & Sea");
}

TEST(TitleArchiveTest, OlderRecordVersionsLoad)
{
    // A part of version 1 ends after its file name; version 2 carries one more integer.
    Bytes v1;
    v1.newClass("CPartObject").u16(1).u32(4).u32(10).text(L"Four").text(L"f.wma");
    auto part1 = Load<CPartObject>(v1.data());
    EXPECT_EQ(part1->m_number, 4);
    EXPECT_EQ(part1->m_fileName, L"f.wma");
    EXPECT_EQ(part1->m_duration, L"");
    Bytes v2;
    v2.newClass("CPartObject").u16(2).u32(4).u32(10).text(L"Four").text(L"f.wma").u32(77);
    auto part2 = Load<CPartObject>(v2.data());
    EXPECT_EQ(part2->m_fileName, L"f.wma");
    EXPECT_EQ(part2->m_duration, L"");

    // Metadata of version 1 has no kind, cover or series; a title without a kind takes
    // the kind coded in its first part's file name.
    struct Case {
        const wchar_t* fileName;
        int kind;
    } cases[] = {
        {L"salt-FMT40-01.wmv", KindMobileVideo},
        {L"salt-fmt425-01.mp3", KindMp3Audiobook},
        {L"salt-fmt325-01.exe", KindGame},
        {L"salt-01.wma", KindAudiobook},
    };
    for (const Case& c : cases) {
        Bytes b;
        b.newClass("CMediaObject").u16(1);
        for (int i = 0; i < 6; ++i)
            b.text(L"");
        b.date(0, 45000.0).date(2, 0.0);
        b.u16(1).text(L"Old").text(L"Old").text(L"").text(L"").text(L"").text(L"");
        b.u16(0).u16(0).u16(0);  // creators, subjects, languages
        b.u16(0);                // protocols
        b.u16(1).newClass("CPartObject").u16(3).u32(1).u32(5).text(L"P").text(c.fileName).text(L"");
        auto title = Load<CMediaObject>(b.data());
        EXPECT_EQ(title->GetMetadata().GetContentKind(), c.kind) << CString(c.fileName).ToNarrow();
        EXPECT_EQ(title->GetMetadata().m_series, L"");
    }
}

TEST(TitleArchiveTest, PartSizesAreKeptInSixtyFourBitsAndOlderPartsReadTheirs)
{
    // The current record holds the size in 64 bits, so sizes past 2 and 4 GiB come back
    // whole; a record of an older version holds a 32-bit size, read as it always was. A
    // negative size of either width is no count of bytes and reads as unknown (0), as an
    // order file without a size would.
    struct Case {
        const char* what;
        Bytes bytes;
        LONGLONG size;
    } cases[] = {
        {"version 4, 3,000,000,000", Bytes().newClass("CPartObject").u16(4).u32(1).u64(3000000000ull).text(L"P").text(L"p.mp3").text(L"1:00"), 3000000000LL},
        {"version 4, 5,000,000,000", Bytes().newClass("CPartObject").u16(4).u32(1).u64(5000000000ull).text(L"P").text(L"p.mp3").text(L"1:00"), 5000000000LL},
        {"version 3, largest", Bytes().newClass("CPartObject").u16(3).u32(1).u32(0x7FFFFFFF).text(L"P").text(L"p.mp3").text(L"1:00"), 0x7FFFFFFF},
        {"version 3, negative", Bytes().newClass("CPartObject").u16(3).u32(1).u32(0xFFFFFFFF).text(L"P").text(L"p.mp3").text(L"1:00"), 0},
        {"version 3, most negative", Bytes().newClass("CPartObject").u16(3).u32(1).u32(0x80000000).text(L"P").text(L"p.mp3").text(L"1:00"), 0},
        {"version 4, -1", Bytes().newClass("CPartObject").u16(4).u32(1).u64(0xFFFFFFFFFFFFFFFFull).text(L"P").text(L"p.mp3").text(L"1:00"), 0},
        {"version 4, most negative", Bytes().newClass("CPartObject").u16(4).u32(1).u64(0x8000000000000000ull).text(L"P").text(L"p.mp3").text(L"1:00"), 0},
        {"version 2", Bytes().newClass("CPartObject").u16(2).u32(1).u32(2097152).text(L"P").text(L"p.mp3").u32(77), 2097152},
        {"version 1", Bytes().newClass("CPartObject").u16(1).u32(1).u32(4096).text(L"P").text(L"p.mp3"), 4096},
    };
    for (const Case& c : cases) {
        auto part = Load<CPartObject>(c.bytes.data());
        ASSERT_TRUE(part) << c.what;
        EXPECT_EQ(part->m_fileSize, c.size) << c.what;
        EXPECT_EQ(part->m_fileName, L"p.mp3") << c.what;
        // Stored again, it is a current record with the same size.
        auto again = Load<CPartObject>(titletest::StoreObject(*part));
        EXPECT_EQ(again->m_fileSize, c.size) << c.what;
    }

    // A whole title with such parts, parsed from an order file, survives the round trip.
    BuildEntityTable();
    CString text = titletest::ReadUtf8File(testsupport::SourcePath(L"common/tests/data/sample.vpm"));
    ASSERT_EQ(text.Replace(L"filesize=\"2097152\"", L"filesize=\"5000000000\""), 1);
    ASSERT_EQ(text.Replace(L"filesize=\"512\"", L"filesize=\"3000000000\""), 1);
    CMediaObject title;
    CString error;
    ASSERT_TRUE(titletest::ParseOrderText(text, title, error)) << error.ToNarrow();
    auto loaded = Load<CMediaObject>(titletest::StoreObject(title));
    ASSERT_EQ(loaded->m_parts.GetSize(), 3);
    EXPECT_EQ(loaded->GetPart(1)->m_fileSize, 5000000000LL);
    EXPECT_EQ(loaded->GetPart(2)->m_fileSize, 3000000000LL);
    EXPECT_EQ(Describe(*loaded), Describe(title));
}

TEST(TitleArchiveTest, NullElementsOfEveryListAreSkipped)
{
    // The archive form allows a null element (tag 0) in any list. A title without a kind
    // whose parts list starts with one, and with nulls before and after the records of
    // every other list, loads with its records only.
    Bytes b;
    b.newClass("CMediaObject").u16(2);  // 1, 2
    for (int i = 0; i < 6; ++i)
        b.text(L"");
    b.date(0, 45000.0).date(2, 0.0);
    b.u16(4).text(L"T").text(L"T").text(L"").text(L"").text(L"").text(L"");
    b.u16(3).u16(0).newClass("CCreatorObject").u16(1).text(L"Ada").text(L"Ada").text(L"author").u16(0);  // 3, 4
    b.u16(1).u16(0);  // subjects: only a null
    b.u16(2).newClass("CLanguageObject").u16(1).text(L"en").text(L"English").u16(0);  // 5, 6
    b.u32(0).text(L"").text(L"");                                                      // no kind
    b.u16(2).u16(0).newClass("CProtocolObject").u16(1).text(L"download").text(L"http://m.test");  // 7, 8
    b.u16(4).u16(0).newClass("CPartObject").u16(3).u32(1).u32(5).text(L"P1").text(L"x-fmt40-1.wmv").text(L"1:00");
    b.u16(0).u16(0x8009).u16(3).u32(2).u32(5).text(L"P2").text(L"x-2.wmv").text(L"0:30");  // 9, 10, 11
    auto title = Load<CMediaObject>(b.data());
    ASSERT_TRUE(title);
    const CMetadataObject& m = title->GetMetadata();
    EXPECT_EQ(m.m_creators.GetSize(), 1);
    EXPECT_EQ(m.m_subjects.GetSize(), 0);
    EXPECT_EQ(m.m_languages.GetSize(), 1);
    EXPECT_EQ(title->m_protocols.GetSize(), 1);
    ASSERT_EQ(title->m_parts.GetSize(), 2);
    EXPECT_EQ(title->GetPart(0)->m_name, L"P1");
    EXPECT_EQ(title->GetPart(1)->m_name, L"P2");
    EXPECT_EQ(m.GetContentKind(), KindMobileVideo);  // from the first part that is there
    EXPECT_EQ(title->GetTotalDuration(), 90);
    EXPECT_EQ(Describe(*Load<CMediaObject>(titletest::StoreObject(*title))), Describe(*title));
}

TEST(TitleArchiveTest, NewerRecordVersionsAreRefused)
{
    struct Case {
        const char* what;
        Bytes bytes;
    } cases[] = {
        {"title 3", Bytes().newClass("CMediaObject").u16(3)},
        {"part 5", Bytes().newClass("CPartObject").u16(5)},
        {"creator 2", Bytes().newClass("CCreatorObject").u16(2)},
        {"source 2", Bytes().newClass("CSourceObject").u16(2)},
    };
    for (const Case& c : cases) {
        CMemFile file(c.bytes.data().data(), c.bytes.data().size());
        CArchive ar(&file, CArchive::load);
        try {
            delete ar.ReadObject(nullptr);
            ADD_FAILURE() << c.what;
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::badSchema) << c.what;
        }
    }
    // Metadata is embedded in its title: version 5 is refused there.
    Bytes title;
    title.newClass("CMediaObject").u16(2);
    for (int i = 0; i < 6; ++i)
        title.text(L"");
    title.date(0, 1.0).date(2, 0.0).u16(5);
    CMemFile file(title.data().data(), title.data().size());
    CArchive ar(&file, CArchive::load);
    try {
        delete ar.ReadObject(nullptr);
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badSchema);
    }
}

TEST(TitleArchiveTest, FullTitleRoundTrips)
{
    CMediaObject title;
    CString error;
    BuildEntityTable();
    ASSERT_TRUE(titletest::ParseOrderText(
        titletest::ReadUtf8File(testsupport::SourcePath(L"common/tests/data/sample.vpm")), title, error));
    title.SetSourceId(L"shop-1");
    title.SetLastPlayedDate(COleDateTime(2026, 12, 1, 8, 30, 0));
    title.GetMetadata().SetDescription(CString(L'x', 300));  // the long length form
    auto loaded = Load<CMediaObject>(titletest::StoreObject(title));
    EXPECT_EQ(Describe(*loaded), Describe(title));
    EXPECT_EQ(titletest::StoreObject(*loaded), titletest::StoreObject(title));

    CSourceObject source;
    source.m_id = L"shop-1";
    source.SetName(L"Harbour &amp; Books");
    source.m_accentColor = L"#336699";
    auto back = Load<CSourceObject>(titletest::StoreObject(source));
    EXPECT_EQ(back->m_name, L"Harbour &amp; Books");
    EXPECT_EQ(back->m_displayName, L"Harbour & Books");
    EXPECT_EQ(back->GetAccentColor(), RGB(0x33, 0x66, 0x99));
}

TEST(TitleArchiveTest, LibrarySizedArchiveRoundTrips)
{
    // 4,000 titles of 8 parts: more than 40,000 objects in one archive.
    CObArray titles;
    for (int i = 0; i < 4000; ++i) {
        auto* t = new CMediaObject;
        FillSmallTitle(*t);
        t->m_mediaId.Format(L"T%d", i);
        for (int n = 3; n <= 8; ++n) {
            auto* part = new CPartObject;
            part->m_number = n;
            part->m_fileName.Format(L"t%d-%d.mp3", i, n);
            t->AddPart(part);
        }
        titles.Add(t);
    }
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        titles.Serialize(ar);
        ar.Close();
    }
    const std::vector<BYTE> bytes = file.Detach();
    CObArray loaded;
    {
        CMemFile in(bytes.data(), bytes.size());
        CArchive ar(&in, CArchive::load);
        loaded.Serialize(ar, RUNTIME_CLASS(CMediaObject));
    }
    ASSERT_EQ(loaded.GetSize(), titles.GetSize());
    for (INT_PTR i = 0; i < titles.GetSize(); i += 399)
        EXPECT_EQ(Describe(*static_cast<CMediaObject*>(loaded[i])), Describe(*static_cast<CMediaObject*>(titles[i])));
    EXPECT_EQ(static_cast<CMediaObject*>(loaded[3999])->GetPart(7)->m_fileName, L"t3999-8.mp3");
    AfxDeleteObjects(titles);
    AfxDeleteObjects(loaded);
}
