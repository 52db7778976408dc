#include "XmlNode.h"

#include "MediaElements.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

class XmlReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildEntityTable(); }
};

CString Wide(const char* utf8) { return CString::FromNarrow(utf8, -1, CP_UTF8); }

}  // namespace

TEST_F(XmlReaderTest, ParsingOneElement)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        const wchar_t* name;
        const wchar_t* inner;
    } cases[] = {
        {L"<Part number=\"1\"/>", true, L"Part", L""},
        {L"<Part number=\"1\" />", true, L"Part", L""},
        {L"<Part/>", true, L"Part", L""},
        {L"<Title>  Salt  </Title>", true, L"Title", L"Salt"},
        {L"<Title>Salt</ Title >", true, L"Title", L"Salt"},
        {L"<A><B>x</B></A>", true, L"A", L"<B>x</B>"},
        {L"<Title>Salt</title>", false, L"", L""},            // end tag compared with case
        {L"<Title>Salt", false, L"", L""},                     // no end tag
        {L"<Title a='1'>x</Title>", false, L"", L""},          // single quotes are not values
        {L"<Title a=\"1>x</Title>", false, L"", L""},          // unterminated value
        {L"<Title a>x</Title>", false, L"", L""},              // attribute without '='
        {L"<Part/>trailing>", false, L"", L""},                // nothing may follow an empty element
        {L"<>x</>", false, L"", L""},
        {L" <Title>x</Title>", false, L"", L""},               // must start with '<'
        {L"<Title>x</Title> ", false, L"", L""},               // must end with '>'
        {L"<Title></Title>", true, L"Title", L""},
    };
    for (const Case& c : cases) {
        CXmlNode node;
        EXPECT_EQ(node.Parse(c.text) != FALSE, c.ok) << CString(c.text).ToNarrow();
        EXPECT_EQ(node.GetName(), c.name) << CString(c.text).ToNarrow();
        EXPECT_EQ(node.GetText(FALSE), c.inner) << CString(c.text).ToNarrow();
    }
}

TEST_F(XmlReaderTest, AttributeRules)
{
    CXmlNode node;
    ASSERT_TRUE(node.Parse(L"<P Number=\"1\" path=\"a\\\"b\" empty=\"\" dup=\"1\" dup=\"2\" spaced =\"s\" ent=\"&amp;\"/>"));
    CString value = L"untouched";
    EXPECT_TRUE(node.GetAttribute(L"number", value));
    EXPECT_EQ(value, L"1");
    EXPECT_TRUE(node.GetAttribute(L"NUMBER", value));  // looked up lower-cased
    EXPECT_TRUE(node.GetAttribute(L"path", value));
    EXPECT_EQ(value, L"a\\\"b");  // an escaped quote does not end the value; the backslash stays
    EXPECT_TRUE(node.GetAttribute(L"empty", value));
    EXPECT_EQ(value, L"");
    EXPECT_TRUE(node.GetAttribute(L"dup", value));
    EXPECT_EQ(value, L"2");
    EXPECT_TRUE(node.GetAttribute(L"ent", value));
    EXPECT_EQ(value, L"&amp;");  // values are kept as written
    value = L"untouched";
    EXPECT_FALSE(node.GetAttribute(L"spaced", value));  // the blank before '=' belongs to the key
    EXPECT_TRUE(node.GetAttribute(L"spaced ", value));
    EXPECT_FALSE(node.GetAttribute(L"missing", value));
    EXPECT_EQ(value, L"s");
}

TEST_F(XmlReaderTest, AnAttributeHoldingANulIsRefusedWhole)
{
    // A NUL in a key or a value would cut the text short wherever it is used: such an
    // attribute is left out, the others stay.
    std::wstring text = L"<Part number=\"1\" filesize=\"5\" name=\"One\" filename=\"a.wma\" id=\"good\"/>";
    text.replace(text.find(L"a.wma"), 5, std::wstring(L"a.wma\0..\\..\\x", 13));
    text.replace(text.find(L"name="), 4, std::wstring(L"na\0e", 4));
    CXmlNode node;
    ASSERT_TRUE(node.Parse(CString(text)));
    CString value = L"untouched";
    EXPECT_FALSE(node.GetAttribute(L"filename", value));
    EXPECT_FALSE(node.GetAttribute(L"na", value));
    EXPECT_FALSE(node.GetAttribute(L"name", value));
    EXPECT_EQ(value, L"untouched");
    EXPECT_TRUE(node.GetAttribute(L"number", value));
    EXPECT_EQ(value, L"1");
    EXPECT_TRUE(node.GetAttribute(L"id", value));
    EXPECT_EQ(value, L"good");
    // A required attribute refused this way is reported missing.
    CPartObject part;
    CString error;
    EXPECT_FALSE(part.ParsePart(&node, error));
    EXPECT_EQ(error, AfxLoadString(COrderFileMessages::Standard().noPartName));
}

TEST_F(XmlReaderTest, FindingElementsByText)
{
    CXmlNode root;
    ASSERT_TRUE(root.Parse(
        L"<Root><Parts count=\"2\"><Part number=\"1\"/><Part number=\"2\" ></Part></Parts>"
        L"<Item\tkind=\"tab\"/><![CDATA[<Deep><Name>inside</Name></Deep>]]><Bad a=x/></Root>"));

    CXmlNode parts;
    ASSERT_TRUE(root.FindChild(L"Parts", parts));
    CObArray found;
    ASSERT_TRUE(root.FindChildren(L"Part", found));  // any depth, not "Parts"
    ASSERT_EQ(found.GetSize(), 2);
    CString number;
    static_cast<CXmlNode*>(found[1])->GetAttribute(L"number", number);
    EXPECT_EQ(number, L"2");
    DeleteXmlNodes(found);
    EXPECT_EQ(found.GetSize(), 0);

    CXmlNode node;
    EXPECT_FALSE(root.FindChild(L"Item", node));  // only a blank may follow the name
    CString text;
    EXPECT_TRUE(root.GetChildText(L"Name", text, FALSE));  // CDATA is ordinary text
    EXPECT_EQ(text, L"inside");
    EXPECT_FALSE(root.FindChild(L"Bad", node));
    EXPECT_FALSE(root.FindChild(L"part", node));  // names compared with case
    text = L"untouched";
    EXPECT_FALSE(root.GetChildText(L"Missing", text, TRUE));
    EXPECT_EQ(text, L"untouched");
}

TEST_F(XmlReaderTest, FindChildrenFailsWholeAndKeepsWhatTheCallerHad)
{
    CXmlNode root;
    ASSERT_TRUE(root.Parse(L"<R><C>1</C><C a=x>2</C></R>"));
    CObArray nodes;
    auto* mine = new CXmlNode;
    nodes.Add(mine);
    EXPECT_FALSE(root.FindChildren(L"C", nodes));
    ASSERT_EQ(nodes.GetSize(), 1);
    EXPECT_EQ(nodes[0], mine);
    DeleteXmlNodes(nodes);
}

TEST_F(XmlReaderTest, DecodingText)
{
    wchar_t ansi233 = 0;
    const char byte233 = static_cast<char>(233);
    MultiByteToWideChar(CP_ACP, 0, &byte233, 1, &ansi233, 1);
    struct Case {
        CString in;
        CString out;
    } cases[] = {
        {L"", L""},
        {L"  padded  ", L"padded"},
        {L"&#x41;&#65;&#X42;", L"AAB"},
        {L"&#233;", CString(ansi233)},
        {L"a&#150;b&#151;c&#8211;d&#8212;e", L"a-b-c-d-e"},
        {L"&#153;&#732;", Wide("\xE2\x84\xA2~")},
        {L"x&#0;y&#;z&#xZZ;", L"x y z"},
        {L"&#x1F600;", Wide("\xF0\x9F\x98\x80")},  // beyond 16 bits: a surrogate pair
        {L"&#x110000;&#99999999999;", L""},           // out of range: blanks, trimmed away
        {L"&unknown; & alone", L"&unknown; & alone"},
        {L"&amp;lt;", L"<"},
        {L"&AMP;&#38;", L"&&"},
        {L"&yacute;", Wide("\xC3\xBD")},
        {L"a&rsaquo;b&lsaquo;", Wide("a b\xE2\x80\xB9")},
        {L"&ndash;&tilde;&fraq12;&frac12;", Wide("\xC2\xAD~\xC2\xBD&frac12;")},
        {L"Brand<sup>TM</sup> H<sub>2</sub>O x<sup>2</sup>", Wide("Brand\xE2\x84\xA2 H(2)O x(2)")},
        {L"&eacute;&eacute;", Wide("\xC3\xA9\xC3\xA9")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DecodeXmlText(c.in), c.out) << c.in.ToNarrow(CP_UTF8);
}

TEST_F(XmlReaderTest, EntityTable)
{
    EXPECT_EQ(GetEntityTableSize(), 264);
    BuildEntityTable();  // building again replaces, never duplicates
    EXPECT_EQ(GetEntityTableSize(), 264);
}

TEST(XmlDocumentTest, PrologIsRemovedBeforeTheRoot)
{
    EXPECT_EQ(StripXmlProlog(L"  <?XML version=\"1.0\"?>\r\n<!DOCTYPE x>\n <R/>  "), L"<R/>");
    EXPECT_EQ(StripXmlProlog(L"<R/>"), L"<R/>");
}
