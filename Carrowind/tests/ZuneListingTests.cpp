// The wizard's side of a Zune listing against a server that answers what it likes: a count no
// folder holds, a tree that never ends.
#include "PlayerRecord.h"
#include "ZuneClient.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

namespace {

// A server of the test's own: every folder holds `files` files and one folder "Vesperlin"
// below it, to `levels` levels (without end unless told); the counting call says `counted`.
class EndlessZune : public IZuneSupport {
public:
    ULONG counted = 3;
    ULONG files = 2;
    size_t levels = static_cast<size_t>(-1);
    ULONG largestRoom = 0;  // the most entries a filling call was given
    int listings = 0;

    HRESULT STDMETHODCALLTYPE GetObjectIdList(BSTR parent, BSTR*, ULONG* numObjects, LPWSTR* ids, LPWSTR* names,
                                              ULONG** attributes, ULONGLONG** sizes, BSTR*, ULONG) override
    {
        ++listings;
        if (!ids) {
            *numObjects = counted;
            return S_OK;
        }
        const ULONG room = *numObjects;
        if (room > largestRoom)
            largestRoom = room;
        const std::wstring parentId = parent ? parent : L"";
        const size_t level = static_cast<size_t>(std::count(parentId.begin(), parentId.end(), L'\\'));
        ULONG filled = 0;
        for (ULONG i = 0; i <= files && filled < room; ++i, ++filled) {
            if (i == files && level + 1 >= levels)
                break;
            const bool folder = i == files;
            wchar_t name[64];
            if (folder)
                std::swprintf(name, 64, L"Vesperlin");
            else
                std::swprintf(name, 64, L"Part%02lu.mp3", static_cast<unsigned long>(i + 1));
            std::wcsncpy(ids[filled], (parentId + L"\\" + name).substr(0, 1023).c_str(), 1023);
            std::wcsncpy(names[filled], name, 1023);
            (*attributes)[filled] = folder ? ZUNE_ATTR_FOLDER : ZUNE_ATTR_AUDIO;
            (*sizes)[filled] = folder ? 0 : 4096;
        }
        *numObjects = filled;
        return S_OK;
    }

    // IUnknown, IDispatch and the rest: nothing the listing uses.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Initialize(BSTR, ULONG*, ULONG*, BSTR*, ULONG, BSTR) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnected(BSTR, ULONG*, BSTR, BYTE*, ULONG, HWND, BSTR*, ULONG, LONG*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CheckConnection(BSTR, HWND, BSTR*, ULONG, LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TransferToZune(BSTR, BSTR, BSTR, BSTR, BSTR, BSTR, ULONGLONG, ULONGLONG, HWND, BSTR*,
                                             ULONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE TransferToZuneEx(BSTR, BSTR, BYTE*, ULONG, BSTR, BSTR, BSTR, BSTR, BSTR, ULONGLONG,
                                               ULONGLONG, HWND, BSTR*, ULONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DeleteFromZune(BSTR, HWND, BSTR*, ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DeleteFromZuneEx(BSTR, BSTR, BYTE*, ULONG, BSTR, HWND, BSTR*, ULONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetObjectIdListEx(BSTR, BSTR, BSTR*, ULONG*, LPWSTR*, LPWSTR*, ULONG**, ULONGLONG**,
                                                BSTR*, ULONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetDeviceStorageSize(ULONGLONG*, ULONGLONG*, BSTR*, ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDeviceStorageSizeEx(BSTR, ULONGLONG*, ULONGLONG*, BSTR*, ULONG) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DoesTargetExist(BSTR, BSTR, BSTR*, ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ResetDevice(int) override { return E_NOTIMPL; }
};

TEST(ZuneListing, ACountNoFolderHoldsIsCutToTheListingsRoom)
{
    const struct {
        ULONG counted;
        HRESULT expected;
    } cases[] = {{3, S_OK}, {kMaxZuneListing, S_OK}, {kMaxZuneListing + 1, S_FALSE}, {0xFFFFFFFFu, S_FALSE},
                 {0x7FFFFFFFu, S_FALSE}};
    for (const auto& c : cases) {
        EndlessZune server;
        server.counted = c.counted;
        std::vector<ZuneObject> objects;
        EXPECT_EQ(c.expected, ListZuneObjects(&server, L"s10001", &objects)) << c.counted;
        EXPECT_LE(server.largestRoom, kMaxZuneListing) << c.counted;
        ASSERT_EQ(3u, objects.size()) << c.counted;
        EXPECT_EQ(CString(L"s10001\\Part01.mp3"), objects[0].id);
        EXPECT_EQ(CString(L"Vesperlin"), objects[2].name);
        EXPECT_EQ(ZUNE_ATTR_FOLDER, objects[2].attributes);
    }
}

class ZuneFolderList : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZuneDevices()[0].displayName = L"Microsoft Zune";
        ZuneDevices()[0].server = &m_server;
        SetZuneDeviceCount(1);
        m_zune.isZune = 1;
        m_zune.zuneIndex = 0;
    }
    void TearDown() override
    {
        ZuneDevices()[0].server = nullptr;  // the test's own, not the table's to release
        ReleaseZuneDevices();
    }
    EndlessZune m_server;
    PlayerRecord m_zune{L"Microsoft Zune", nullptr, L"Microsoft Zune", NoSerialNumber(), kUnknownValue};
};

TEST_F(ZuneFolderList, ATreeThatNeverEndsIsListedToItsDepthAndSaysItWasCut)
{
    m_zune.ListFolders(L"Microsoft Zune");
    EXPECT_TRUE(m_zune.zuneListCut);
    // The storage, then per level its files and the next folder, down to the deepest level.
    EXPECT_EQ(1u + 3u * PlayerRecord::kMaxZuneDepth, m_zune.folders.size());
    EXPECT_EQ(PlayerRecord::kMaxZuneDepth, m_server.listings / 2);
    int deepest = 0;
    for (const auto& [index, entry] : m_zune.folders) {
        int depth = 0;
        for (int at = entry->parentIndex; at > 0; at = m_zune.folders.at(at)->parentIndex)
            ++depth;
        deepest = std::max(deepest, depth);
    }
    EXPECT_EQ(PlayerRecord::kMaxZuneDepth - 1, deepest);
}

TEST_F(ZuneFolderList, AWideTreeStopsAtTheListsMostEntries)
{
    m_server.files = 3000;
    m_server.counted = 3001;
    m_zune.ListFolders(L"Microsoft Zune");
    EXPECT_TRUE(m_zune.zuneListCut);
    EXPECT_EQ(static_cast<size_t>(PlayerRecord::kMaxZuneEntries), m_zune.folders.size());
}

TEST_F(ZuneFolderList, ATreeWithinTheBoundsIsListedWhole)
{
    m_server.files = 4;
    m_server.counted = 5;
    m_server.levels = 3;  // the maker's folder, a folder in it, nothing below that
    m_zune.ListFolders(L"Microsoft Zune");
    EXPECT_FALSE(m_zune.zuneListCut);
    // The storage's four parts and the maker's folder, its four and a folder, that one's four.
    EXPECT_EQ(1u + 5u + 5u + 4u, m_zune.folders.size());
    EXPECT_EQ(3, m_server.listings / 2);
}

}  // namespace
