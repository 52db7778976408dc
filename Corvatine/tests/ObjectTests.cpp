// Listing, searching and deleting objects on a device the stand-in holds.
#include "ZuneTestSupport.h"

#include <gtest/gtest.h>

namespace {

using namespace zunetest;

// The caller's arrays of a listing.
struct Listing {
    explicit Listing(ULONG capacity)
        : ids(capacity, std::vector<wchar_t>(1024, 0)), names(capacity, std::vector<wchar_t>(1024, 0)),
          attributes(capacity, 0), sizes(capacity, 77)
    {
        for (ULONG i = 0; i < capacity; ++i) {
            idPointers.push_back(ids[i].data());
            namePointers.push_back(names[i].data());
        }
        attributeList = attributes.data();
        sizeList = sizes.data();
    }
    std::vector<std::vector<wchar_t>> ids, names;
    std::vector<LPWSTR> idPointers, namePointers;
    std::vector<ULONG> attributes;
    std::vector<ULONGLONG> sizes;
    ULONG* attributeList;
    ULONGLONG* sizeList;
};

class ZuneObjects : public ::testing::Test {
protected:
    ZuneObjects() : m_devices(std::vector<Device>{L"Zune"})
    {
        m_devices.AddFolder(L"Vesperlin");
        m_devices.AddFile(L"Vesperlin\\Book-Part01.mp3", 1000);
        m_devices.AddFile(L"Vesperlin\\Book-Part02.wma", 2000, "Hidden=1\r\nCanDelete=0\r\n");
        m_devices.AddFolder(L"Vesperlin\\Extras");
        m_devices.AddFile(L"Vesperlin\\Extras\\Bonus.mp3", 300);
        m_devices.AddFile(L"Vesperlin\\cover.jpg", 50);
        m_devices.AddFile(L"Vesperlin\\list.wpl", 60);
        m_devices.AddFile(L"Vesperlin\\Index.mp3", 70, "System=1\r\n");
        m_devices.AddFile(L"Vesperlin\\Notes.mp3", 80, "Title=Notes\r\n");
        m_devices.AddFolder(L"Music");
        m_devices.AddFile(L"Music\\Song.mp3", 90);
        m_zune = m_server.Create();
        EXPECT_EQ(S_OK, Connect(m_zune.Get(), L"Zune"));
    }
    HRESULT List(const wchar_t* parent, ULONG* count, Listing* listing, Output& parentName, Output& out)
    {
        return m_zune->GetObjectIdList(B(parent), parentName.Buffer(), count,
                                       listing ? listing->idPointers.data() : nullptr,
                                       listing ? listing->namePointers.data() : nullptr,
                                       listing ? &listing->attributeList : nullptr,
                                       listing ? &listing->sizeList : nullptr, out.Buffer(), out.Length());
    }

    MtaScope m_com;
    Server m_server;
    comtest::ServerMessageBoxes m_boxes{L"Corvatine.dll"};
    Devices m_devices;
    com::ComPtr<IZuneSupport> m_zune;
};

TEST_F(ZuneObjects, ListingCountsThenFillsNamesAttributesAndSizes)
{
    Output parentName, out;
    ULONG count = 0;
    ASSERT_EQ(S_OK, List(L"s10001\\Vesperlin", &count, nullptr, parentName, out));
    EXPECT_EQ(7u, count);  // every child: an upper bound of what is listed
    EXPECT_EQ(CString(L"Vesperlin"), parentName.Text());

    Listing listing(count);
    ASSERT_EQ(S_OK, List(L"s10001\\Vesperlin", &count, &listing, parentName, out));
    // The image, the playlist and the system object are not listed and take no entry.
    ASSERT_EQ(4u, count);
    struct Entry {
        const wchar_t* id;
        const wchar_t* name;
        ULONG attributes;
        ULONGLONG size;
    };
    const Entry expected[] = {
        {L"s10001\\Vesperlin\\Book-Part01.mp3", L"Book-Part01.mp3", ZUNE_ATTR_AUDIO | ZUNE_ATTR_CAN_DELETE, 1000},
        {L"s10001\\Vesperlin\\Book-Part02.wma", L"Book-Part02.wma", ZUNE_ATTR_AUDIO | ZUNE_ATTR_HIDDEN, 2000},
        {L"s10001\\Vesperlin\\Extras", L"Extras", ZUNE_ATTR_FOLDER, 0},
        {L"s10001\\Vesperlin\\Notes.mp3", L"Notes.mp3", ZUNE_ATTR_AUDIO | ZUNE_ATTR_CAN_DELETE, 80},
    };
    for (ULONG i = 0; i < count; ++i) {
        EXPECT_STREQ(expected[i].id, listing.ids[i].data());
        EXPECT_STREQ(expected[i].name, listing.names[i].data());
        EXPECT_EQ(expected[i].attributes, listing.attributes[i]) << i;
        EXPECT_EQ(expected[i].size, listing.sizes[i]) << i;
    }
    // Room for two: two are stored, the rest only enumerated.
    Listing two(4);
    count = 2;
    ASSERT_EQ(S_OK, List(L"s10001\\Vesperlin", &count, &two, parentName, out));
    EXPECT_EQ(2u, count);
    EXPECT_EQ(0, two.ids[2][0]);
    EXPECT_EQ(77u, two.sizes[2]);
}

TEST_F(ZuneObjects, AFolderOfTwentyFiveChildrenIsListedWholeAndNullArraysAreSkipped)
{
    for (int i = 0; i < 25; ++i) {
        CString name;
        name.Format(L"Many\\Part%02d.mp3", i);
        m_devices.AddFile(name, 10 + i);
    }
    Output parentName, out;
    ULONG count = 0;
    ASSERT_EQ(S_OK, List(L"s10001\\Many", &count, nullptr, parentName, out));
    ASSERT_EQ(25u, count);
    Listing listing(count);
    ASSERT_EQ(S_OK, List(L"s10001\\Many", &count, &listing, parentName, out));
    ASSERT_EQ(25u, count);
    EXPECT_STREQ(L"s10001\\Many\\Part24.mp3", listing.ids[24].data());
    EXPECT_EQ(34u, listing.sizes[24]);
    // Without names, attributes or sizes the ids are still listed.
    Listing idsOnly(25);
    count = 25;
    EXPECT_EQ(S_OK, m_zune->GetObjectIdList(B(L"s10001\\Many"), nullptr, &count, idsOnly.idPointers.data(), nullptr,
                                            nullptr, nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(25u, count);
    EXPECT_STREQ(L"s10001\\Many\\Part00.mp3", idsOnly.ids[0].data());
    // A parent that is not there lists nothing, and says it filled nothing.
    count = 25;
    EXPECT_NE(S_OK, List(L"s10001\\Missing", &count, &listing, parentName, out));
    EXPECT_EQ(0u, count);
    count = 9;
    EXPECT_NE(S_OK, List(L"s10001\\Missing", &count, nullptr, parentName, out));
    EXPECT_EQ(0u, count);
    // The parent's name goes into its buffer within the length given.
    Output shortName(4);
    count = 0;
    EXPECT_EQ(S_OK, m_zune->GetObjectIdList(B(L"s10001\\Many"), shortName.Buffer(), &count, nullptr, nullptr, nullptr,
                                            nullptr, shortName.Buffer(), shortName.Length()));
    EXPECT_EQ(CString(L"Man"), shortName.Text());
    EXPECT_TRUE(shortName.GuardIntact());
}

TEST_F(ZuneObjects, SearchFindsAChildByNameOrAnObjectAnywhere)
{
    Output out;
    EXPECT_EQ(S_OK, m_zune->DoesTargetExist(B(L"s10001\\Vesperlin"), B(L"book-part01.MP3"), out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"s10001\\Vesperlin\\Book-Part01.mp3"), out.Text());
    EXPECT_EQ(S_OK, m_zune->DoesTargetExist(nullptr, B(L"MUSIC"), out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"s10001\\Music"), out.Text());
    // One level only.
    EXPECT_EQ(E_FAIL, m_zune->DoesTargetExist(nullptr, B(L"Song.mp3"), out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L""), out.Text());
    EXPECT_EQ(E_FAIL, m_zune->DoesTargetExist(B(L"s10001\\Vesperlin"), B(L""), out.Buffer(), out.Length()));

    // Deletion by name: a file in the maker's folder, at any depth, by name or by id.
    EXPECT_EQ(S_OK, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(L"bonus.mp3"), nullptr, out.Buffer(),
                                             out.Length()));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin\\Extras\\Bonus.mp3")));
    EXPECT_TRUE(Exists(m_devices.Storage(L"Vesperlin\\Extras")));
    EXPECT_EQ(S_OK, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(L"s10001\\Vesperlin\\Notes.mp3"),
                                             nullptr, out.Buffer(), out.Length()));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin\\Notes.mp3")));
    EXPECT_EQ(E_FAIL, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(L"Nowhere.mp3"), nullptr,
                                               out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"Failed to delete audiobook content from device. 'Nowhere.mp3' file not found."), out.Text());
}

TEST_F(ZuneObjects, DeletionByNameTakesOnlyTheSuitesOwnFiles)
{
    m_devices.AddFile(L"Music\\Part01.mp3", 40);
    m_devices.AddFile(L"Vesperlin\\Part01.mp3", 40);
    m_devices.AddFolder(L"Vesperlin\\Album");
    m_devices.AddFile(L"Vesperlin\\Album\\Track.mp3", 40);
    Output out;
    // The user's file of the same name comes first in the device's order; ours is the one deleted.
    EXPECT_EQ(S_OK, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(L"Part01.mp3"), nullptr, out.Buffer(),
                                             out.Length()));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin\\Part01.mp3")));
    EXPECT_TRUE(Exists(m_devices.Storage(L"Music\\Part01.mp3")));
    // Nothing outside the maker's folder, and never a folder by a file's name.
    for (const wchar_t* name : {L"Part01.mp3", L"Song.mp3", L"s10001\\Music\\Song.mp3", L"Music", L"music", L"Album",
                                L"Extras", L"s10001\\Vesperlin\\Album", L"DEVICE", L"s10001", L"S10001\\ "}) {
        EXPECT_EQ(E_FAIL, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(name), nullptr, out.Buffer(),
                                                   out.Length()))
            << CString(name).ToNarrow();
    }
    for (const wchar_t* left : {L"Music\\Part01.mp3", L"Music\\Song.mp3", L"Vesperlin\\Album\\Track.mp3",
                                L"Vesperlin\\Extras\\Bonus.mp3"})
        EXPECT_TRUE(Exists(m_devices.Storage(left))) << CString(left).ToNarrow();
}

TEST_F(ZuneObjects, ANameCutShortByANulIsRefusedThroughTheVTable)
{
    Output out;
    const CutText part(L"Book-Part01.mp3\0.txt");
    EXPECT_EQ(E_INVALIDARG,
              m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, part, nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"ERROR:  a text argument holds a NUL character."), out.Text());
    const CutText id(L"s10001\\Vesperlin\\Book-Part01.mp3\0x");
    EXPECT_EQ(E_INVALIDARG, m_zune->DeleteFromZune(id, nullptr, out.Buffer(), out.Length()));
    const CutText target(L"Book-Part01.mp3\0x");
    EXPECT_EQ(E_INVALIDARG, m_zune->DoesTargetExist(B(L"s10001\\Vesperlin"), target, out.Buffer(), out.Length()));
    EXPECT_TRUE(Exists(m_devices.Storage(L"Vesperlin\\Book-Part01.mp3")));
}

// A storage with no maker's folder yet, where the user keeps a file of the folder's name.
class ZuneMakersFolder : public ::testing::Test {
protected:
    ZuneMakersFolder()
    {
        m_devices.AddFile(L"Vesperlin", 30);
        m_zune = m_server.Create();
        EXPECT_EQ(S_OK, Connect(m_zune.Get(), L"Zune"));
    }

    MtaScope m_com;
    Server m_server;
    comtest::ServerMessageBoxes m_boxes{L"Corvatine.dll"};
    Devices m_devices{std::vector<Device>{L"Zune"}};
    com::ComPtr<IZuneSupport> m_zune;
};

TEST_F(ZuneMakersFolder, AUsersFileOfTheFoldersNameIsNeverDeletedForIt)
{
    for (const wchar_t* name : {L"Vesperlin", L"vesperlin"}) {
        Output out;
        EXPECT_EQ(E_FAIL, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(name), nullptr, out.Buffer(),
                                                   out.Length()))
            << CString(name).ToNarrow();
        EXPECT_TRUE(Exists(m_devices.Storage(L"Vesperlin"))) << CString(name).ToNarrow();
    }
}

TEST_F(ZuneObjects, AnotherSpellingOfTheStoragesIdIsNoWayToDeleteIt)
{
    m_devices.AddFolder(L"Empty");
    // Each of these the file system takes for the storage (or a folder in it).
    for (const wchar_t* alias : {L"s10001\\ ", L"s10001\\...", L"s10001\\. ", L"S10001\\ ", L"s10001\\.",
                                 L"s10001.", L"s10001 ", L"s10001\\Empty\\..", L"S10001\\Empty ", L"s10001\\EMPTY"}) {
        Output out;
        const HRESULT hr = m_zune->DeleteFromZune(B(alias), nullptr, out.Buffer(), out.Length());
        EXPECT_NE(S_OK, hr) << CString(alias).ToNarrow();
        EXPECT_TRUE(Exists(m_devices.Storage(L"Empty"))) << CString(alias).ToNarrow();
        EXPECT_TRUE(Exists(m_devices.Storage(L"Music\\Song.mp3"))) << CString(alias).ToNarrow();
    }
    // The storage still answers.
    ULONGLONG capacity = 0, freeSpace = 0;
    Output out;
    EXPECT_EQ(S_OK, m_zune->GetDeviceStorageSize(&capacity, &freeSpace, out.Buffer(), out.Length()));
    EXPECT_GT(capacity, 0u);
    // The real id still deletes the folder.
    EXPECT_EQ(S_OK, m_zune->DeleteFromZune(B(L"s10001\\Empty"), nullptr, out.Buffer(), out.Length()));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Empty")));
}

TEST_F(ZuneObjects, DeletionTakesObjectsAndTheirChildrenButNeverTheDeviceOrAStorage)
{
    Output out;
    // A file, with its property file.
    EXPECT_EQ(S_OK, m_zune->DeleteFromZune(B(L"s10001\\Vesperlin\\Book-Part02.wma"), nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L""), out.Text());
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin\\Book-Part02.wma")));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin\\Book-Part02.wma.props")));
    // A folder with its children.
    EXPECT_EQ(S_OK, m_zune->DeleteFromZune(B(L"s10001\\Vesperlin\\Extras"), nullptr, out.Buffer(), out.Length()));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin\\Extras")));
    // What is not there.
    EXPECT_EQ(S_FALSE, m_zune->DeleteFromZune(B(L"s10001\\Gone.mp3"), nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"ERROR: The object 's10001\\Gone.mp3' failed to be deleted from the device."), out.Text());
    EXPECT_EQ(E_FAIL, m_zune->DeleteFromZune(B(L""), nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"Failed to delete audiobook content from device. '' not found."), out.Text());

    // The root and the storage, by id or by the whole-device search, are refused.
    for (const wchar_t* id : {L"DEVICE", L"device", L"s10001", L"S10001"}) {
        EXPECT_EQ(E_ACCESSDENIED, m_zune->DeleteFromZune(B(id), nullptr, out.Buffer(), out.Length()));
        EXPECT_EQ(0, out.Text().Find(L"ERROR: The object '")) << out.Text().ToNarrow();
        EXPECT_TRUE(FAILED(m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(id), nullptr, out.Buffer(),
                                                    out.Length())));
    }
    EXPECT_TRUE(Exists(m_devices.Storage(L"Vesperlin\\Book-Part01.mp3")));
    EXPECT_TRUE(Exists(m_devices.Storage(L"Music\\Song.mp3")));

    // The maker's folder found by name goes with its children.
    EXPECT_EQ(S_OK, m_zune->DeleteFromZuneEx(B(L"Zune"), nullptr, nullptr, 0, B(L"Vesperlin"), nullptr, out.Buffer(),
                                             out.Length()));
    EXPECT_FALSE(Exists(m_devices.Storage(L"Vesperlin")));
    EXPECT_TRUE(Exists(m_devices.Storage(L"Music\\Song.mp3")));
}

TEST_F(ZuneObjects, TheOneShotListingOpensTheNamedDeviceItself)
{
    com::ComPtr<IZuneSupport> fresh = m_server.Create();
    Output parentName, out;
    ULONG count = 0;
    ASSERT_EQ(S_OK, fresh->GetObjectIdListEx(B(L"zune"), B(L"s10001"), parentName.Buffer(), &count, nullptr, nullptr,
                                             nullptr, nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(2u, count);
    Listing listing(count);
    ASSERT_EQ(S_OK, fresh->GetObjectIdListEx(B(L"zune"), B(L"s10001"), parentName.Buffer(), &count,
                                             listing.idPointers.data(), listing.namePointers.data(),
                                             &listing.attributeList, &listing.sizeList, out.Buffer(), out.Length()));
    ASSERT_EQ(2u, count);
    EXPECT_STREQ(L"Music", listing.names[0].data());
    EXPECT_STREQ(L"Vesperlin", listing.names[1].data());
    EXPECT_EQ(ZUNE_ATTR_FOLDER, listing.attributes[1]);
    // The object itself is still not connected.
    EXPECT_EQ(E_FAIL, fresh->GetObjectIdList(B(L"s10001"), parentName.Buffer(), &count, nullptr, nullptr, nullptr,
                                             nullptr, out.Buffer(), out.Length()));
    EXPECT_EQ(CString(L"ERROR:  device is not connected"), out.Text());
}

}  // namespace
