// The console's text file and XML writer: exact bytes of the written layout, both
// encodings, reading lines back, the escaping helpers, and the picture strips the
// console's views load.
#include "LibraryTestSupport.h"
#include "TestSupport.h"
#include "XmlNode.h"
#include "XmlWriter.h"

#include <gtest/gtest.h>

using testsupport::ReadAllBytes;
using testsupport::ScratchFolder;
using testsupport::Utf16LeBytes;
using testsupport::WriteAll;

namespace {

constexpr UINT kCreate = CFile::modeCreate | CFile::modeReadWrite | CFile::shareDenyWrite;

}  // namespace

TEST(XmlWriter, WritesOneLinePerElementWithTabsAndCrLf)
{
    ScratchFolder scratch;
    const CString path = scratch / L"doc.xml";
    {
        CXmlDocumentFile file(path, kCreate);
        CXmlElementList list;
        list.SetOutputFile(&file);
        CXmlElement* root = list.AddElement(L"Root");
        root->AddAttribute(L"a", L"1 < 2 & \"x\"");  // written as given
        CXmlElement* child = list.AddElement(L"Child");
        child->SetText(L"text & more");
        root->AddChild(child);
        root->AddChild(list.AddElement(L"Empty"));
        file.AddRootElement(root);
        file.WriteDeclaration();
        file.WriteElements();
    }
    EXPECT_EQ(ReadAllBytes(path), "<?xml version=\"1.0\"?>\r\n"
                                  "<Root a=\"1 < 2 & \"x\"\">\r\n"
                                  "\t<Child>text & more</Child>\r\n"
                                  "\t<Empty/>\r\n"
                                  "</Root>\r\n");
    const DWORD attributes = GetFileAttributesW(path);
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
}

TEST(XmlWriter, WrapsACdataElementAndWritesUtf16WithMark)
{
    ScratchFolder scratch;
    const CString path = scratch / L"unicode.xml";
    {
        CXmlDocumentFile file(path, kCreate | CCodePageTextFile::modeWriteUnicode);
        CXmlElementList list;
        list.SetOutputFile(&file);
        CXmlElement* root = list.AddElement(L"R");
        CXmlElement* meta = list.AddElement(L"Meta");
        meta->m_cdata = 1;
        CXmlElement* leaf = list.AddElement(L"T");
        leaf->SetText(L"\u041a\u043d\u0438\u0433\u0430");
        meta->AddChild(leaf);
        root->AddChild(meta);
        file.AddRootElement(root);
        file.WriteDeclaration();
        file.WriteElements();
    }
    const std::string expected = "\xFF\xFE" + Utf16LeBytes(L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
                                                           L"<R>\r\n"
                                                           L"\t<![CDATA[\r\n"
                                                           L"\t<Meta>\r\n"
                                                           L"\t\t<T>\u041a\u043d\u0438\u0433\u0430</T>\r\n"
                                                           L"\t</Meta>\r\n"
                                                           L"\t]]>\r\n"
                                                           L"</R>\r\n");
    EXPECT_EQ(ReadAllBytes(path), expected);
}

TEST(CodePageTextFile, WritesTheAnsiCodePageAndReadsLinesOfEitherEncoding)
{
    ScratchFolder scratch;
    const CString ansi = scratch / L"ansi.txt";
    {
        CCodePageTextFile file(ansi, CFile::modeCreate | CFile::modeWrite | CFile::typeText);
        file.WriteString(L"caf\u00e9 \u4e2d\r\nsecond\n");
    }
    // What the ANSI code page lacks becomes "#"; the text's own line ends are kept.
    EXPECT_EQ(ReadAllBytes(ansi), "caf\xe9 #\r\nsecond\n");
    EXPECT_FALSE(CCodePageTextFile::IsFileUnicode(ansi));

    const CString unicode = scratch / L"unicode.txt";
    WriteAll(unicode, "\xFF\xFE" + Utf16LeBytes(L"first \u4e2d\r\nsecond\rthird"));
    EXPECT_TRUE(CCodePageTextFile::IsFileUnicode(unicode));
    CCodePageTextFile reader;
    ASSERT_TRUE(reader.Open(unicode, CFile::modeRead | CFile::typeText));
    EXPECT_TRUE(reader.IsUnicode());
    CString line;
    ASSERT_TRUE(reader.ReadString(line));
    EXPECT_EQ(line, L"first \u4e2d");
    ASSERT_TRUE(reader.ReadString(line));
    EXPECT_EQ(line, L"second\rthird");  // a line ends at LF only
    EXPECT_FALSE(reader.ReadString(line));
    reader.Close();

    CCodePageTextFile ansiReader;
    ASSERT_TRUE(ansiReader.Open(ansi, CFile::modeRead | CFile::typeText));
    EXPECT_FALSE(ansiReader.IsUnicode());
    ASSERT_TRUE(ansiReader.ReadString(line));
    EXPECT_EQ(line, L"caf\u00e9 #");
    ASSERT_TRUE(ansiReader.ReadString(line));
    EXPECT_EQ(line, L"second");
    EXPECT_FALSE(ansiReader.ReadString(line));

    const CString tooShort = scratch / L"short.txt";
    WriteAll(tooShort, "\xFF");
    EXPECT_FALSE(CCodePageTextFile::IsFileUnicode(tooShort));
    EXPECT_FALSE(CCodePageTextFile::IsFileUnicode(scratch / L"missing.txt"));
}

TEST(XmlEscaping, EscapesPlainValuesAndLeavesXmlTextAsItIs)
{
    BuildEntityTable();
    const struct {
        const wchar_t* value;
        bool attribute;
        const wchar_t* escaped;  // EscapeXmlText
        const wchar_t* safe;     // MakeXmlSafe
    } cases[] = {
        {L"Rock & Roll", false, L"Rock &amp; Roll", L"Rock &amp; Roll"},
        {L"a &amp; b", false, L"a &amp;amp; b", L"a &amp; b"},
        {L"&#233;&#xE9;", false, L"&amp;#233;&amp;#xE9;", L"&#233;&#xE9;"},
        {L"caf&eacute;", false, L"caf&amp;eacute;", L"caf\u00e9"},
        {L"&bogus; & &;", false, L"&amp;bogus; &amp; &amp;;", L"&amp;bogus; &amp; &amp;;"},
        {L"1 < 2 > 0", false, L"1 &lt; 2 &gt; 0", L"1 &lt; 2 &gt; 0"},
        {L"say \"hi\"", true, L"say &quot;hi&quot;", L"say &quot;hi&quot;"},
        {L"say \"hi\"", false, L"say \"hi\"", L"say \"hi\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeXmlText(c.value, c.attribute), c.escaped) << CString(c.value).ToNarrow(CP_UTF8);
        EXPECT_EQ(MakeXmlSafe(c.value, c.attribute), c.safe) << CString(c.value).ToNarrow(CP_UTF8);
        // The reader decodes either form back to what the value stood for.
        EXPECT_EQ(DecodeXmlText(MakeXmlSafe(c.value, c.attribute)), DecodeXmlText(c.value));
    }
}

TEST(Pictures, TheStripsLoadAsImageListsOf23Pictures)
{
    // The picture strips load as image lists of 23 pictures.
    CImageList pictures;
    ASSERT_TRUE(pictures.Create(300, 16, 10, RGB(255, 0, 255)));
    EXPECT_EQ(pictures.GetImageCount(), 23);
    IMAGEINFO info{};
    ASSERT_TRUE(pictures.GetImageInfo(22, &info));
    EXPECT_EQ(info.rcImage.right - info.rcImage.left, 16);
    EXPECT_FALSE(CImageList().Create(999, 16, 10, RGB(255, 0, 255)));
}
