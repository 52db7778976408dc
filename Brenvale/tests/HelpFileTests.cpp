// The console's help file as Wine's own help-file storage opens it (the storage HTML Help
// reads its files through): every topic the console's windows name reads back as the page
// it was compiled from.
#include "HelpTopics.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

using namespace testsupport;

// The help-file storage object (itss.dll); only the members up to the one used are declared.
// Outside the unnamed namespace: the compiler must not take the type for one that no object
// of this program can have.
struct IHelpFileStorage : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfile(const WCHAR*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgCreateDocfileOnILockBytes(ILockBytes*, DWORD, DWORD, IStorage**) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageFile(const WCHAR*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgIsStorageILockBytes(ILockBytes*) = 0;
    virtual HRESULT STDMETHODCALLTYPE StgOpenStorage(const WCHAR* name, IStorage* priority, DWORD mode, SNB exclude,
                                                     DWORD reserved, IStorage** storage) = 0;
};

namespace {

constexpr CLSID kHelpFileStorageClass = {0x5d02926a, 0x212e, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};
constexpr IID kHelpFileStorageInterface = {0x88cc31de, 0x27ab, 0x11d0, {0x9d, 0xf9, 0x00, 0xa0, 0xc9, 0x22, 0xe6, 0xec}};

CString HelpFilePath() { return BinaryPath(L"Brenvale/Larkmoor.chm"); }

class HelpFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_NE(GetFileAttributesW(HelpFilePath()), INVALID_FILE_ATTRIBUTES) << "help file not built";
        IHelpFileStorage* factory = nullptr;
        ASSERT_EQ(CoCreateInstance(kHelpFileStorageClass, nullptr, CLSCTX_INPROC_SERVER, kHelpFileStorageInterface,
                                   reinterpret_cast<void**>(&factory)),
                  S_OK);
        const HRESULT hr = factory->StgOpenStorage(HelpFilePath(), nullptr, STGM_READ | STGM_SHARE_DENY_WRITE,
                                                   nullptr, 0, &m_storage);
        factory->Release();
        ASSERT_EQ(hr, S_OK);
    }
    void TearDown() override
    {
        if (m_storage)
            m_storage->Release();
        CoUninitialize();
    }

    // The bytes of a page of the file; FALSE when the file does not hold it.
    bool ReadPage(const wchar_t* name, std::string& bytes)
    {
        IStream* stream = nullptr;
        if (FAILED(m_storage->OpenStream(name, nullptr, STGM_READ, 0, &stream)))
            return false;
        char buffer[4096];
        ULONG read = 0;
        bytes.clear();
        while (SUCCEEDED(stream->Read(buffer, sizeof(buffer), &read)) && read > 0)
            bytes.append(buffer, read);
        stream->Release();
        return true;
    }

    IStorage* m_storage = nullptr;
};

TEST_F(HelpFile, EveryTopicOfTheConsoleOpensAsItsPage)
{
    for (const wchar_t* topic : kHelpTopics) {
        SCOPED_TRACE(topic);
        std::string page;
        ASSERT_TRUE(ReadPage(topic, page));
        const std::string source = ReadAllBytes(SourcePath(CString(L"Brenvale/help/") + topic));
        ASSERT_FALSE(source.empty());
        EXPECT_EQ(page, source);
        EXPECT_EQ(page.rfind(".topic 0x", 0), 0u) << "not a page of control texts";
    }
}

TEST_F(HelpFile, ATopicItDoesNotHoldIsNotFound)
{
    std::string page;
    EXPECT_FALSE(ReadPage(L"NoSuchDialog.txt", page));
}

}  // namespace
