#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// A small serialisable record for exercising the archive on its own.
class CItem : public CObject {
    DECLARE_SERIAL(CItem)
public:
    int m_value = 0;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
            ar << m_value;
        else
            ar >> m_value;
    }
};
IMPLEMENT_SERIAL(CItem, CObject, 0)

class COtherItem : public CItem {
    DECLARE_SERIAL(COtherItem)
};
IMPLEMENT_SERIAL(COtherItem, CItem, 0)

std::vector<BYTE> Store(const std::function<void(CArchive&)>& write)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        write(ar);
        ar.Close();
    }
    return file.Detach();
}

template <class F>
void Load(const std::vector<BYTE>& bytes, F read)
{
    CMemFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    read(ar);
}

std::vector<BYTE> Bytes(std::initializer_list<int> values)
{
    std::vector<BYTE> out;
    for (int v : values)
        out.push_back(static_cast<BYTE>(v));
    return out;
}

}  // namespace

TEST(CArchiveTest, TextLengthForms)
{
    struct Case {
        int length;
        std::vector<BYTE> header;
    } cases[] = {
        {0, Bytes({0xFF, 0xFE, 0xFF, 0x00})},
        {254, Bytes({0xFF, 0xFE, 0xFF, 0xFE})},
        {255, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0x00})},
        {300, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01})},
        {0xFFFE, Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        const CString text(L'q', c.length);
        auto bytes = Store([&](CArchive& ar) { ar << text; });
        ASSERT_EQ(bytes.size(), c.header.size() + 2u * c.length) << c.length;
        EXPECT_TRUE(std::equal(c.header.begin(), c.header.end(), bytes.begin())) << c.length;
        CString back;
        Load(bytes, [&](CArchive& ar) { ar >> back; });
        EXPECT_EQ(back, text);
    }
}

TEST(CArchiveTest, SingleByteTextIsReadInTheSystemCodePage)
{
    CString back;
    Load(Bytes({3, 'a', 'b', 'c'}), [&](CArchive& ar) { ar >> back; });
    EXPECT_EQ(back, L"abc");
}

TEST(CArchiveTest, CountForms)
{
    auto small = Store([](CArchive& ar) { ar.WriteCount(0xFFFE); });
    EXPECT_EQ(small, Bytes({0xFE, 0xFF}));
    auto large = Store([](CArchive& ar) { ar.WriteCount(0x10000); });
    EXPECT_EQ(large, Bytes({0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00}));
}

TEST(CArchiveTest, ManyObjectsUseTheLongTagFormAndRoundTrip)
{
    // 40,000 objects push the shared class/object counter past 0x7FFF; a class first
    // written after that gets an index that only the long form can carry.
    CObArray items;
    for (int i = 0; i < 40000; ++i) {
        CItem* item = i >= 39998 ? new COtherItem : new CItem;
        item->m_value = i;
        items.Add(item);
    }
    auto bytes = Store([&](CArchive& ar) { items.Serialize(ar); });
    AfxDeleteObjects(items);

    // The last element refers to its class (map index 40000) in the long form:
    // 0x7FFF, then 0x80000000 | 40000, then the element's own value.
    const std::vector<BYTE> tail = Bytes({0xFF, 0x7F, 0x40, 0x9C, 0x00, 0x80, 0x3F, 0x9C, 0x00, 0x00});
    ASSERT_GE(bytes.size(), tail.size());
    EXPECT_EQ(std::vector<BYTE>(bytes.end() - 10, bytes.end()), tail);

    CObArray loaded;
    Load(bytes, [&](CArchive& ar) { loaded.Serialize(ar, RUNTIME_CLASS(CItem)); });
    ASSERT_EQ(loaded.GetSize(), 40000);
    for (int i = 0; i < 40000; ++i) {
        auto* item = DYNAMIC_DOWNCAST(CItem, loaded[i]);
        ASSERT_NE(item, nullptr);
        ASSERT_EQ(item->m_value, i);
        ASSERT_EQ(item->IsKindOf(RUNTIME_CLASS(COtherItem)), i >= 39998);
    }
    AfxDeleteObjects(loaded);
}

TEST(CArchiveTest, MalformedInputThrowsTheArchiveException)
{
    const CString name = L"CItem";
    struct Case {
        const char* what;
        std::vector<BYTE> bytes;
        int cause;
    } cases[] = {
        {"truncated text", Bytes({0xFF, 0xFE, 0xFF, 0x10, 'a', 0}), CArchiveException::endOfFile},
        {"huge text length", Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}), CArchiveException::endOfFile},
        {"huge count", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F, 0, 0}), CArchiveException::endOfFile},
        {"unknown class", Bytes({1, 0, 0xFF, 0xFF, 0, 0, 3, 0, 'C', 'Z', 'Z'}), CArchiveException::badClass},
        {"class of another kind", Bytes({1, 0, 0xFF, 0xFF, 0, 0, 8, 0, 'C', 'O', 'b', 'A', 'r', 'r', 'a', 'y', 0, 0}),
         CArchiveException::badClass},
        {"wrong class schema", Bytes({1, 0, 0xFF, 0xFF, 5, 0, 5, 0, 'C', 'I', 't', 'e', 'm', 1, 0, 0, 0}),
         CArchiveException::badSchema},
        {"reference to an unknown class", Bytes({1, 0, 0x05, 0x80}), CArchiveException::badIndex},
        {"object back-reference",
         Bytes({2, 0, 0xFF, 0xFF, 0, 0, 5, 0, 'C', 'I', 't', 'e', 'm', 1, 0, 0, 0, 2, 0}),
         CArchiveException::badIndex},
        {"reference to an object as a class",
         Bytes({2, 0, 0xFF, 0xFF, 0, 0, 5, 0, 'C', 'I', 't', 'e', 'm', 1, 0, 0, 0, 0x02, 0x80}),
         CArchiveException::badIndex},
    };
    for (const Case& c : cases) {
        CObArray loaded;
        try {
            Load(c.bytes, [&](CArchive& ar) {
                if (c.bytes.size() > 2 && c.bytes[0] == 0xFF && c.bytes[1] == 0xFE) {
                    CString s;
                    ar >> s;
                } else {
                    loaded.Serialize(ar, RUNTIME_CLASS(CItem));
                }
            });
            ADD_FAILURE() << c.what << ": no exception";
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, c.cause) << c.what;
        }
        AfxDeleteObjects(loaded);
    }
}

TEST(CArchiveTest, ExceptionNamesTheFile)
{
    testsupport::ScratchFolder folder;
    const CString path = folder / L"short.dat";
    testsupport::WriteAll(path, std::string("\x05", 1));
    CFile file(path, CFile::modeRead);
    CArchive ar(&file, CArchive::load);
    try {
        CString s;
        ar >> s;
        FAIL();
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
        EXPECT_EQ(e.m_strFileName, path);
        EXPECT_NE(e.GetErrorMessage().Find(path), -1);
    }
}
