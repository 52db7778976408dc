// The collections: the array operations, the map's order and removal, and their archive
// round trips.
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

template <class T>
std::vector<BYTE> Store(T& object)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        object.Serialize(ar);
        ar.Close();
    }
    return file.Detach();
}

template <class T>
void Load(const std::vector<BYTE>& bytes, T& object)
{
    CMemFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    object.Serialize(ar);
}

class CNamed : public CObject {
    DECLARE_SERIAL(CNamed)
public:
    CString m_name;
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
            ar << m_name;
        else
            ar >> m_name;
    }
};
IMPLEMENT_SERIAL(CNamed, CObject, 1)

}  // namespace

TEST(CArrayTest, GrowsInsertsAndRemovesWithinItsBounds)
{
    CDWordArray a;
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.GetUpperBound(), -1);
    EXPECT_EQ(a.Add(1), 0);
    EXPECT_EQ(a.Add(2), 1);
    a.SetAtGrow(4, 5);  // grows with zeros
    ASSERT_EQ(a.GetSize(), 5);
    EXPECT_EQ(a[3], 0u);
    a.InsertAt(1, 9, 2);
    EXPECT_EQ((std::vector<DWORD>(a.begin(), a.end())), (std::vector<DWORD>{1, 9, 9, 2, 0, 0, 5}));
    a.RemoveAt(5, 100);  // clamped to the end
    a.RemoveAt(-1);      // out of range: nothing
    a.RemoveAt(9);
    EXPECT_EQ((std::vector<DWORD>(a.begin(), a.end())), (std::vector<DWORD>{1, 9, 9, 2, 0}));
    CDWordArray b;
    b.Add(7);
    EXPECT_EQ(a.Append(b), 5);
    EXPECT_EQ(a.GetAt(5), 7u);
    EXPECT_THROW(a.GetAt(6), std::out_of_range);
    b.Copy(a);
    EXPECT_EQ(b.GetSize(), 6);
    a.RemoveAll();
    EXPECT_EQ(a.GetCount(), 0);
}

TEST(CArrayTest, ArraysRoundTripThroughAnArchive)
{
    CStringArray texts;
    texts.Add(L"one");
    texts.Add(L"");
    texts.Add(L"\u4e2d\u6587");
    CStringArray textsBack;
    textsBack.Add(L"stale");
    Load(Store(texts), textsBack);
    EXPECT_EQ((std::vector<CString>(textsBack.begin(), textsBack.end())),
              (std::vector<CString>(texts.begin(), texts.end())));

    CDWordArray numbers;
    numbers.Add(0xDEADBEEF);
    numbers.Add(0);
    CDWordArray numbersBack;
    Load(Store(numbers), numbersBack);
    EXPECT_EQ(numbersBack.GetSize(), 2);
    EXPECT_EQ(numbersBack[0], 0xDEADBEEFu);

    // An object array stores tagged objects; loading may insist on their class.
    CObArray objects;
    for (const wchar_t* name : {L"a", L"b"}) {
        auto* item = new CNamed;
        item->m_name = name;
        objects.Add(item);
    }
    const std::vector<BYTE> bytes = Store(objects);
    CObArray loaded;
    Load(bytes, loaded);
    ASSERT_EQ(loaded.GetSize(), 2);
    EXPECT_EQ(static_cast<CNamed*>(loaded[1])->m_name, L"b");
    CMemFile file(bytes.data(), bytes.size());
    CArchive ar(&file, CArchive::load);
    CObArray refused;
    try {
        refused.Serialize(ar, RUNTIME_CLASS(CStringArray));
        ADD_FAILURE() << "loaded objects of another class";
    } catch (const CArchiveException& e) {
        EXPECT_EQ(e.m_cause, CArchiveException::badClass);
    }
    AfxDeleteObjects(refused);
    AfxDeleteObjects(loaded);
    AfxDeleteObjects(objects);
    EXPECT_TRUE(objects.IsEmpty());

    // A count that the remaining bytes cannot hold is refused before anything is made.
    const std::vector<BYTE> huge = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    CStringArray none;
    EXPECT_THROW(Load(huge, none), CArchiveException);
}

TEST(CMapStringToStringTest, KeepsInsertionOrderAndMovesTheLastIntoARemovedSlot)
{
    CMapStringToString map;
    map.SetAt(L"a", L"1");
    map.SetAt(L"b", L"2");
    map[L"c"] = L"3";
    map.SetAt(L"a", L"one");  // replaces, keeps its place
    EXPECT_EQ(map.GetCount(), 3);
    CString value;
    EXPECT_TRUE(map.Lookup(L"a", value));
    EXPECT_EQ(value, L"one");
    EXPECT_FALSE(map.Lookup(L"A", value));  // keys are exact
    EXPECT_EQ(map.PLookup(L"missing"), nullptr);

    auto order = [&map] {
        std::vector<CString> keys;
        CString key, text;
        for (POSITION pos = map.GetStartPosition(); pos;) {
            map.GetNextAssoc(pos, key, text);
            keys.push_back(key + L"=" + text);
        }
        return keys;
    };
    EXPECT_EQ(order(), (std::vector<CString>{L"a=one", L"b=2", L"c=3"}));
    EXPECT_TRUE(map.RemoveKey(L"a"));
    EXPECT_FALSE(map.RemoveKey(L"a"));
    EXPECT_EQ(order(), (std::vector<CString>{L"c=3", L"b=2"}));
    EXPECT_TRUE(map.Lookup(L"c", value));  // still found after the move
    EXPECT_EQ(value, L"3");

    CMapStringToString back;
    back.SetAt(L"stale", L"x");
    Load(Store(map), back);
    EXPECT_EQ(back.GetCount(), 2);
    EXPECT_FALSE(back.Lookup(L"stale", value));
    EXPECT_TRUE(back.Lookup(L"b", value));
    EXPECT_EQ(value, L"2");
    map.RemoveAll();
    EXPECT_TRUE(map.IsEmpty());
    EXPECT_EQ(map.GetStartPosition(), nullptr);
}
