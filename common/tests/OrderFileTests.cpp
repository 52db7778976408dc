#include "TitleTestSupport.h"

#include "TestSupport.h"
#include "res/MediaCoreIds.h"

#include <gtest/gtest.h>

using titletest::Describe;
using titletest::ParseOrderText;

namespace {

class OrderFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildEntityTable(); }

    static CString Sample() { return titletest::ReadUtf8File(testsupport::SourcePath(L"common/tests/data/sample.vpm")); }

    // The sample with one piece of text replaced; fails the test when the piece is absent.
    static CString SampleWith(const wchar_t* from, const wchar_t* to)
    {
        CString text = Sample();
        EXPECT_GT(text.Replace(from, to), 0) << CString(from).ToNarrow();
        return text;
    }
};

}  // namespace

TEST_F(OrderFileTest, ReadsTheWritersLayout)
{
    CMediaObject title;
    CString error;
    ASSERT_TRUE(ParseOrderText(Sample(), title, error)) << error.ToNarrow();
    const CMetadataObject& m = title.GetMetadata();
    EXPECT_EQ(title.m_mediaId, L"{5B1C2D3E-0001-4A5B-9C7D-112233445566}");
    EXPECT_EQ(title.m_license, L"NONE");
    EXPECT_EQ(title.m_mobileMinVersion, L"1.0.0.0");
    EXPECT_EQ(title.m_mobileCurVersion, L"1.0.0.0");
    EXPECT_EQ(m.GetContentKind(), KindAudiobook);
    EXPECT_EQ(m.m_title, L"The Salt &amp; the Sea");  // raw as read
    EXPECT_EQ(m.m_titleDecoded, L"The Salt & the Sea");
    EXPECT_EQ(m.GetDisplayTitle(TRUE, TRUE), L"The Salt & the Sea: A Voyage");
    EXPECT_EQ(m.m_descriptionDecoded, L"A story of <salt> & water.");
    EXPECT_EQ(m.m_thumbnailUrl, L"http://img.example.test/covers/salt.png");
    ASSERT_EQ(m.m_creators.GetSize(), 2);
    const auto* narrator = static_cast<CCreatorObject*>(m.m_creators[1]);
    EXPECT_EQ(narrator->m_name, L"Ben Quint");
    EXPECT_EQ(narrator->m_fileAs, L"Quint, Ben");
    EXPECT_EQ(narrator->m_role, L"narrator");
    ASSERT_EQ(m.m_subjects.GetSize(), 2);
    EXPECT_EQ(static_cast<CSubjectObject*>(m.m_subjects[1])->m_id, 40);
    ASSERT_EQ(m.m_languages.GetSize(), 1);
    EXPECT_EQ(static_cast<CLanguageObject*>(m.m_languages[0])->m_code, L"en");
    ASSERT_EQ(title.m_protocols.GetSize(), 1);
    EXPECT_EQ(title.GetProtocol(0)->m_method, L"download");
    ASSERT_EQ(title.m_parts.GetSize(), 3);
    EXPECT_EQ(title.GetPart(1)->m_fileSize, 2097152);
    EXPECT_EQ(title.GetPart(0)->m_duration, L"1:02:03");
    EXPECT_EQ(title.GetPart(2)->m_duration, L"");
}

TEST_F(OrderFileTest, WrapperElementsAreTransparent)
{
    CString bare = Sample();
    for (const wchar_t* wrapper : {L"<Formats>", L"</Formats>", L"<Format name=\"Medium Quality\">", L"</Format>",
                                   L"<Protocols>", L"</Protocols>", L"<Parts count=\"3\">", L"</Parts>",
                                   L"<![CDATA[", L"]]>", L"<Creators>", L"</Creators>"})
        ASSERT_EQ(bare.Replace(wrapper, L""), 1) << CString(wrapper).ToNarrow();
    CMediaObject full, stripped;
    CString error;
    ASSERT_TRUE(ParseOrderText(Sample(), full, error));
    ASSERT_TRUE(ParseOrderText(bare, stripped, error)) << error.ToNarrow();
    stripped.m_acquiredDate = full.m_acquiredDate;
    EXPECT_EQ(Describe(stripped), Describe(full));
}

TEST_F(OrderFileTest, EachMissingRequiredItemGivesItsMessage)
{
    struct Case {
        const wchar_t* from;
        const wchar_t* to;
        UINT message;
    } cases[] = {
        {L" id=\"{5B1C2D3E-0001-4A5B-9C7D-112233445566}\"", L"", IDS_ORDER_NO_MEDIA_ID},
        {L" id=\"{5B1C2D3E-0001-4A5B-9C7D-112233445566}\"", L" id=\"\"", IDS_ORDER_NO_MEDIA_ID},
        {L"<Metadata>", L"<MetaData>", IDS_ORDER_NO_METADATA},
        {L"<Protocol method", L"<Protocolx method", IDS_ORDER_NO_PROTOCOL},
        {L"<Part number=\"", L"<Piece number=\"", IDS_ORDER_NO_PART},
        {L"<Title>The Salt &amp; the Sea</Title>", L"", IDS_ORDER_NO_TITLE},
        {L"<SortTitle>Salt &amp; the Sea, The</SortTitle>", L"<SortTitle></SortTitle>", IDS_ORDER_NO_SORT_TITLE},
        {L">Ada Marlow</Creator>", L"></Creator>", IDS_ORDER_NO_CREATOR_NAME},
        {L" file-as=\"Quint, Ben\"", L"", IDS_ORDER_NO_CREATOR_FILE_AS},
        {L"role=\"narrator\" ", L"", IDS_ORDER_NO_CREATOR_ROLE},
        {L">Fiction</Subject>", L"></Subject>", IDS_ORDER_NO_SUBJECT_NAME},
        {L">English</Language>", L"> </Language>", IDS_ORDER_NO_LANGUAGE_NAME},
        {L" code=\"en\"", L"", IDS_ORDER_NO_LANGUAGE_CODE},
        {L"method=\"download\" ", L"", IDS_ORDER_NO_PROTOCOL_METHOD},
        {L" baseurl=\"http://media.example.test/titles/salt\"", L"", IDS_ORDER_NO_PROTOCOL_URL},
        {L"number=\"2\" ", L"", IDS_ORDER_NO_PART_NUMBER},
        {L"filesize=\"512\" ", L"", IDS_ORDER_NO_PART_FILE_SIZE},
        {L"name=\"Part 3\" ", L"", IDS_ORDER_NO_PART_NAME},
        {L"filename=\"salt-fmt30-03.wma\"", L"", IDS_ORDER_NO_PART_FILE_NAME},
    };
    for (const Case& c : cases) {
        CMediaObject title;
        CString error;
        EXPECT_FALSE(ParseOrderText(SampleWith(c.from, c.to), title, error)) << CString(c.from).ToNarrow();
        EXPECT_EQ(error, AfxLoadString(c.message)) << CString(c.from).ToNarrow();
    }
}

TEST_F(OrderFileTest, PartSizesAreReadInSixtyFourBitsAndAnythingButACountIsRefused)
{
    constexpr UINT kNotBytes = IDS_ORDER_PART_FILE_SIZE_NOT_BYTES;
    const struct {
        const wchar_t* text;
        LONGLONG size;  // -1: refused with the message
        UINT message;
    } cases[] = {
        {L"3000000000", 3000000000LL, 0},
        {L"5000000000", 5000000000LL, 0},
        {L"4294967296", 4294967296LL, 0},
        {L"0", 0, 0},
        {L" 42 ", 42, 0},
        {L"9223372036854775807", 9223372036854775807LL, 0},
        {L"9223372036854775808", -1, kNotBytes},  // past 63 bits
        {L"18446744073709551616", -1, kNotBytes},  // past 64 bits
        {L"99999999999999999999", -1, kNotBytes},
        {L"-1", -1, kNotBytes},
        {L"+5", -1, kNotBytes},
        {L"+12", -1, kNotBytes},
        {L"0x1F", -1, kNotBytes},
        {L"\xFF11\xFF12", -1, kNotBytes},  // full-width digits
        {L"12abc", -1, kNotBytes},
        {L"abc", -1, kNotBytes},
        {L"1.5", -1, kNotBytes},
        {L" ", -1, IDS_ORDER_NO_PART_FILE_SIZE},
        {L"", -1, IDS_ORDER_NO_PART_FILE_SIZE},
    };
    for (const auto& c : cases) {
        const CString text = SampleWith(L"filesize=\"2097152\"", L"filesize=\"" + CString(c.text) + L"\"");
        CMediaObject title;
        CString error;
        const BOOL parsed = ParseOrderText(text, title, error);
        if (c.size < 0) {
            EXPECT_FALSE(parsed) << CString(c.text).ToNarrow();
            EXPECT_EQ(error, AfxLoadString(c.message)) << CString(c.text).ToNarrow();
        } else {
            ASSERT_TRUE(parsed) << CString(c.text).ToNarrow() << " " << error.ToNarrow();
            EXPECT_EQ(title.GetPart(1)->m_fileSize, c.size) << CString(c.text).ToNarrow();
        }
    }
}

TEST_F(OrderFileTest, ContentKinds)
{
    struct Case {
        const wchar_t* name;
        int kind;
    } cases[] = {
        {L"AUDIOBOOK", KindAudiobook},      {L"Audio Book", KindAudiobook},   {L"Spoken audio", KindAudiobook},
        {L"WMA Audiobook", KindAudiobook},  {L"wma music", KindMusic},        {L"Video (standard)", KindVideo},
        {L"WMV Video (mobile)", KindMobileVideo}, {L"Game", KindGame},        {L"MP3 Audio Book", KindMp3Audiobook},
        {L"MP3 Music", KindMp3Music},       {L"Streaming Video", KindStreamingVideo}, {L"Podcast", KindNone},
        {L"AUDIO", KindNone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ContentKindFromName(c.name), c.kind) << CString(c.name).ToNarrow();
    // Every display name reads back as its own kind.
    for (int kind : {1, 2, 4, 8, 16, 32, 64})
        EXPECT_EQ(ContentKindFromName(GetContentKindDisplayName(kind)), kind) << kind;
    EXPECT_EQ(GetContentKindDisplayName(128), L"(Unknown)");

    for (const wchar_t* refused : {L"Streaming Video", L"Podcast"}) {
        CMediaObject title;
        CString error;
        EXPECT_FALSE(ParseOrderText(SampleWith(L">WMA Audiobook<", (L">" + CString(refused) + L"<")), title, error));
        EXPECT_EQ(error, L"The content type of " + CString(refused) + L" is not supported.");
    }
}

TEST_F(OrderFileTest, StandardVideoIsRefusedWithItsOwnBox)
{
    testsupport::MessageBoxRecorder boxes;
    CMediaObject title;
    CString error = L"previous";
    EXPECT_FALSE(ParseOrderText(SampleWith(L">WMA Audiobook<", L">Video<"), title, error));
    EXPECT_TRUE(error.IsEmpty());
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].type, static_cast<UINT>(MB_OK));
    EXPECT_EQ(boxes.Boxes()[0].text.Left(44), L"The selected video title \"The Salt &amp; the");

    // Mobile video is what a player takes.
    CMediaObject mobile;
    EXPECT_TRUE(ParseOrderText(SampleWith(L">WMA Audiobook<", L">Mobile Video<"), mobile, error));
    EXPECT_EQ(boxes.Boxes().size(), 1u);
}

TEST_F(OrderFileTest, LenientReadings)
{
    CMediaObject title;
    CString error;
    // A part number that is not a number reads as 0; a malformed Creator leaves no creators;
    // "License" is read when "WMLicense" is empty; "MobileMinVersion" is kept when present.
    CString text = SampleWith(L"number=\"2\"", L"number=\"two\"");
    text.Replace(L"<Creator role=\"narrator\"", L"<Creator role=narrator");
    text.Replace(L"<WMLicense>NONE</WMLicense>", L"<WMLicense></WMLicense>");
    text.Replace(L"<License>NONE</License>", L"<License>Opaque &amp; Value</License>");
    text.Replace(L"VPMVersion=", L"MobileMinVersion=\"2.5.0.0\" VPMVersion=");
    ASSERT_TRUE(ParseOrderText(text, title, error)) << error.ToNarrow();
    EXPECT_EQ(title.GetPart(1)->m_number, 0);
    EXPECT_EQ(title.GetMetadata().m_creators.GetSize(), 0);
    EXPECT_EQ(title.m_license, L"Opaque & Value");
    EXPECT_EQ(title.m_mobileMinVersion, L"2.5.0.0");
    EXPECT_EQ(title.m_mobileCurVersion, L"1.0.0.0");

    // The root's name is compared without case; any other root is refused without a message.
    CMediaObject lower;
    CString lowerText = SampleWith(L"<VesperlinMedia id", L"<vesperlinmedia id");
    lowerText.Replace(L"</VesperlinMedia>", L"</vesperlinmedia>");
    EXPECT_TRUE(ParseOrderText(lowerText, lower, error));
    CMediaObject wrongRoot;
    CString wrong = Sample();
    wrong.Replace(L"<VesperlinMedia id", L"<OtherMedia id");
    wrong.Replace(L"</VesperlinMedia>", L"</OtherMedia>");
    EXPECT_FALSE(ParseOrderText(wrong, wrongRoot, error));
    EXPECT_TRUE(error.IsEmpty());
}

TEST_F(OrderFileTest, SourceElement)
{
    CXmlNode root;
    ASSERT_TRUE(root.Parse(StripXmlProlog(Sample())));
    CXmlNode node;
    ASSERT_TRUE(root.FindChild(L"Source", node));
    CSourceObject source;
    CString error;
    ASSERT_TRUE(source.ParseSource(&node, error));
    EXPECT_EQ(source.m_id, L"shop-1");
    EXPECT_EQ(source.m_displayName, L"Harbour Books");
    EXPECT_EQ(source.GetAccentColor(), RGB(0x33, 0x66, 0x99));

    struct Case {
        const wchar_t* from;
        const wchar_t* to;
        UINT message;
    } cases[] = {
        {L"<Source id=\"shop-1\">", L"<Source>", IDS_ORDER_NO_SOURCE_ID},
        {L"<Name>Harbour Books</Name>", L"", IDS_ORDER_NO_SOURCE_NAME},
        {L"<WebsiteUrl>http://shop.example.test/</WebsiteUrl>", L"<WebsiteUrl/>", IDS_ORDER_NO_SOURCE_WEBSITE},
    };
    for (const Case& c : cases) {
        CXmlNode r, n;
        ASSERT_TRUE(r.Parse(StripXmlProlog(SampleWith(c.from, c.to))));
        ASSERT_TRUE(r.FindChild(L"Source", n));
        CSourceObject s;
        EXPECT_FALSE(s.ParseSource(&n, error));
        EXPECT_EQ(error, AfxLoadString(c.message));
    }
}

TEST_F(OrderFileTest, ATextHoldingANulIsRefusedWhereverItStands)
{
    // A NUL at the start, in the middle or at the end of an element's text: what the
    // checks see and what is stored must be the same text, so the text is refused as an
    // attribute holding a NUL is. A required element then reads as missing; an optional one
    // refuses the file as not valid, rather than being emptied behind the user's back.
    const std::wstring nul(1, L'\0');
    const std::wstring places[] = {nul + L"X", L"X" + nul + L"Y", L"X" + nul};
    struct Case {
        const wchar_t* element;  // the text "X...Y" of it in the sample is replaced
        const wchar_t* text;
        UINT message;
    } cases[] = {
        {L"Title", L"The Salt &amp; the Sea", IDS_ORDER_NO_TITLE},
        {L"SortTitle", L"Salt &amp; the Sea, The", IDS_ORDER_NO_SORT_TITLE},
        {L"Creator", L"Ada Marlow", IDS_ORDER_NO_CREATOR_NAME},
        {L"Subject", L"Fiction", IDS_ORDER_NO_SUBJECT_NAME},
        {L"Language", L"English", IDS_ORDER_NO_LANGUAGE_NAME},
        {L"Publisher", L"Harbour &amp; Quill", IDS_ORDER_INVALID_FORMAT},
        {L"SubTitle", L"A Voyage", IDS_ORDER_INVALID_FORMAT},
        {L"Series", L"Coastal Tales", IDS_ORDER_INVALID_FORMAT},
        {L"Description", L"A story of &lt;salt&gt; &amp; water.", IDS_ORDER_INVALID_FORMAT},
        {L"ThumbnailUrl", L"http://img.example.test/covers/salt.png", IDS_ORDER_INVALID_FORMAT},
        {L"CoverUrl", L"http://img.example.test/covers/salt-large.png", IDS_ORDER_INVALID_FORMAT},
        {L"Name", L"Harbour Books", IDS_ORDER_NO_SOURCE_NAME},
        {L"BannerUrl", L"http://shop.example.test/banner.gif", IDS_ORDER_INVALID_FORMAT},
        {L"AccentColor", L"#336699", IDS_ORDER_INVALID_FORMAT},
    };
    for (const Case& c : cases)
        for (const std::wstring& place : places) {
            std::wstring text = place;
            text.replace(text.find(L'X'), 1, L"The");
            if (text.find(L'Y') != std::wstring::npos)
                text.replace(text.find(L'Y'), 1, L"Rest");
            const CString sample = Sample();
            std::wstring document(sample.GetString(), static_cast<size_t>(sample.GetLength()));
            const std::wstring from = std::wstring(L">") + c.text + L"<";
            ASSERT_NE(document.find(from), std::wstring::npos);
            document.replace(document.find(from), from.size(), L">" + text + L"<");
            const CString changed(document.c_str(), static_cast<int>(document.size()));
            SCOPED_TRACE(CString(c.element).ToNarrow() + " " + std::to_string(&place - places));
            CMediaObject title;
            CString error;
            const CString element(c.element);
            if (element == L"Name" || element == L"BannerUrl" || element == L"AccentColor") {
                CXmlNode root, node;
                ASSERT_TRUE(root.Parse(StripXmlProlog(changed)));
                ASSERT_TRUE(root.FindChild(L"Source", node));
                CSourceObject source;
                EXPECT_FALSE(source.ParseSource(&node, error));
                EXPECT_EQ(error, AfxLoadString(c.message));
                continue;
            }
            EXPECT_FALSE(ParseOrderText(changed, title, error));
            EXPECT_EQ(error, AfxLoadString(c.message));
        }
}
