// The writing half of the device manager's stand-in: inserted files arrive byte for byte with
// their metadata in a property file, progress is reported and a cancel leaves no partial file,
// busy answers and the named failures are injectable, folders are made, renamed and deleted,
// read-only items are protected, and albums keep their references and cover art.
#include "WmdmTestSupport.h"

namespace {

using wmdmtest::NameOf;

// Records the progress calls; answers "cancel" from the given Progress call on (0: never).
class ProgressRecorder : public IWMDMProgress {
public:
    explicit ProgressRecorder(int cancelAt = 0) : m_cancelAt(cancelAt) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override
    {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWMDMProgress)) {
            *result = this;
            return S_OK;
        }
        *result = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Begin(DWORD ticks) override
    {
        total = ticks;
        ++begins;
        return S_OK;
    }
    STDMETHODIMP Progress(DWORD ticks) override
    {
        ticksSeen.push_back(ticks);
        return m_cancelAt && static_cast<int>(ticksSeen.size()) >= m_cancelAt ? wmdm::kUserCancelled : S_OK;
    }
    STDMETHODIMP End() override
    {
        ++ends;
        return S_OK;
    }

    DWORD total = 0;
    int begins = 0;
    int ends = 0;
    std::vector<DWORD> ticksSeen;

private:
    int m_cancelAt;
};

constexpr UINT kInsertFile = wmdm::kModeBlock | wmdm::kContentFile | wmdm::kModeTransferProtected |
                             wmdm::kInsertInto | wmdm::kFileCreateOverwrite;  // 0x100885
constexpr UINT kInsertFolder = wmdm::kModeBlock | wmdm::kContentFolder | wmdm::kInsertInto;  // 0x809

class WmdmWrites : public wmdmtest::StandInFixture {
protected:
    void SetUp() override
    {
        CreateDirectoryW(m_folder / L"player", nullptr);
        CreateDirectoryW(m_folder / L"player\\Books", nullptr);
        Use("");
    }
    // The fixture with extra lines in the device's section; the device and its Books folder.
    void Use(const std::string& deviceLines)
    {
        WriteFixture("[Devices]\r\nCount=1\r\n[Device1]\r\nName=Player\r\nChunkBytes=4096\r\n" + deviceLines +
                     "[Device1.Storage1]\r\nFolder=player\r\n");
        const auto devices = Devices();
        ASSERT_EQ(1u, devices.size());
        m_root = RootStorage(devices[0].Get());
        ASSERT_TRUE(m_root);
        m_books = Child(m_root.Get(), L"Books");
        ASSERT_TRUE(m_books);
        ASSERT_EQ(S_OK, m_books.As(&m_control, IID_IWMDMStorageControl3));
        com::ComPtr<IWMDMStorage3> storage3;
        ASSERT_EQ(S_OK, m_books.As(&storage3, IID_IWMDMStorage3));
        ASSERT_EQ(S_OK, storage3->CreateEmptyMetadataObject(m_metadata.Put()));
    }
    void AddText(const wchar_t* name, const wchar_t* text)
    {
        m_metadata->AddItem(wmdm::TagType::String, name, reinterpret_cast<const BYTE*>(text),
                            static_cast<UINT>((wcslen(text) + 1) * sizeof(wchar_t)));
    }
    void AddNumber(const wchar_t* name, DWORD value)
    {
        m_metadata->AddItem(wmdm::TagType::Dword, name, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    }
    HRESULT InsertPart(const CString& source, const wchar_t* name, IWMDMProgress* progress,
                       com::ComPtr<IWMDMStorage>* created = nullptr)
    {
        com::ComPtr<IWMDMStorage> made;
        const HRESULT hr = m_control->Insert3(kInsertFile, 8, source, name, nullptr, progress, m_metadata.Get(),
                                              made.Put());
        if (created)
            *created = made;
        return hr;
    }
    bool Exists(const wchar_t* relative) const
    {
        return GetFileAttributesW(m_folder / relative) != INVALID_FILE_ATTRIBUTES;
    }

    com::ComPtr<IWMDMStorage> m_root;
    com::ComPtr<IWMDMStorage> m_books;
    com::ComPtr<IWMDMStorageControl3> m_control;
    com::ComPtr<IWMDMMetaData> m_metadata;
};

TEST_F(WmdmWrites, AnInsertedFileArrivesWholeWithItsMetadataAndProgress)
{
    const CString source = MakeFile(L"Part01.mp3", 10000);
    AddText(wmdm::kTitle, L"Caf\u00e9 Night");
    AddNumber(wmdm::kFormatCode, 0x3009);
    ProgressRecorder progress;
    com::ComPtr<IWMDMStorage> created;
    ASSERT_EQ(S_OK, InsertPart(source, L"Night-Part01.mp3", &progress, &created));
    EXPECT_EQ(CString(L"Night-Part01.mp3"), NameOf(created.Get()));
    EXPECT_EQ(testsupport::ReadAll(source), testsupport::ReadAll(m_folder / L"player\\Books\\Night-Part01.mp3"));
    EXPECT_FALSE(Exists(L"player\\Books\\Night-Part01.mp3.partial"));
    const auto props = Lines(L"player\\Books\\Night-Part01.mp3.props");
    EXPECT_EQ((std::vector<std::string>{"WMDM/Title=Caf\xc3\xa9 Night", "WMDM/FormatCode=12297"}), props);
    // 10000 bytes in chunks of 4096: ticks of a KiB, never backwards, ending at the total.
    EXPECT_EQ(1, progress.begins);
    EXPECT_EQ(1, progress.ends);
    EXPECT_EQ(10u, progress.total);
    EXPECT_EQ((std::vector<DWORD>{4, 8, 10}), progress.ticksSeen);
    EXPECT_EQ((std::vector<std::string>{"Insert3 Books\\Night-Part01.mp3"}), Lines(L"Device1.events.log"));

    // The metadata reads back with its types.
    com::ComPtr<IWMDMStorage3> stored;
    ASSERT_EQ(S_OK, created.As(&stored, IID_IWMDMStorage3));
    com::ComPtr<IWMDMMetaData> back;
    ASSERT_EQ(S_OK, stored->GetMetadata(back.Put()));
    wmdm::TagType type{};
    BYTE* value = nullptr;
    UINT length = 0;
    ASSERT_EQ(S_OK, back->QueryByName(wmdm::kFormatCode, &type, &value, &length));
    EXPECT_EQ(wmdm::TagType::Dword, type);
    ASSERT_EQ(sizeof(DWORD), length);
    EXPECT_EQ(0x3009u, *reinterpret_cast<DWORD*>(value));
    CoTaskMemFree(value);

    // Without a name of the caller's the file keeps its own; the fallback without metadata too.
    ASSERT_EQ(S_OK, m_control->Insert(kInsertFile, source, nullptr, nullptr, created.Put()));
    EXPECT_EQ(CString(L"Part01.mp3"), NameOf(created.Get()));
    EXPECT_FALSE(Exists(L"player\\Books\\Part01.mp3.props"));
}

TEST_F(WmdmWrites, ACancelledInsertLeavesNoPartialFileAndKeepsWhatWasSentBefore)
{
    const CString first = MakeFile(L"Part01.wma", 5000);
    const CString second = MakeFile(L"Part02.wma", 20000);
    ASSERT_EQ(S_OK, InsertPart(first, L"Part01.wma", nullptr));
    ProgressRecorder cancelling(2);
    EXPECT_EQ(wmdm::kUserCancelled, InsertPart(second, L"Part02.wma", &cancelling));
    EXPECT_EQ(1, cancelling.ends);
    EXPECT_FALSE(Exists(L"player\\Books\\Part02.wma"));
    EXPECT_FALSE(Exists(L"player\\Books\\Part02.wma.partial"));
    EXPECT_FALSE(Exists(L"player\\Books\\Part02.wma.props"));
    EXPECT_EQ(testsupport::ReadAll(first), testsupport::ReadAll(m_folder / L"player\\Books\\Part01.wma"));
    // Overwriting with a cancel keeps the file that was there.
    ProgressRecorder again(1);
    EXPECT_EQ(wmdm::kUserCancelled, InsertPart(second, L"Part01.wma", &again));
    EXPECT_EQ(testsupport::ReadAll(first), testsupport::ReadAll(m_folder / L"player\\Books\\Part01.wma"));
}

TEST_F(WmdmWrites, OverwritingReplacesTheFileAndItsMetadata)
{
    const CString first = MakeFile(L"Part01.wma", 5000, 'a');
    const CString second = MakeFile(L"Part01b.wma", 7000, 'b');
    AddText(wmdm::kTitle, L"Old");
    ASSERT_EQ(S_OK, InsertPart(first, L"Part01.wma", nullptr));
    com::ComPtr<IWMDMStorage3> books3;
    ASSERT_EQ(S_OK, m_books.As(&books3, IID_IWMDMStorage3));
    ASSERT_EQ(S_OK, books3->CreateEmptyMetadataObject(m_metadata.Put()));
    AddText(wmdm::kAuthor, L"New");
    for (int round = 0; round < 2; ++round) {
        ProgressRecorder progress;
        ASSERT_EQ(S_OK, InsertPart(second, L"Part01.wma", &progress));
        EXPECT_EQ(testsupport::ReadAll(second), testsupport::ReadAll(m_folder / L"player\\Books\\Part01.wma"));
        EXPECT_FALSE(Exists(L"player\\Books\\Part01.wma.partial"));
        EXPECT_EQ((std::vector<std::string>{"WMDM/Author=New"}), Lines(L"player\\Books\\Part01.wma.props"));
    }
    // Without the overwrite bit the file there stays.
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
              m_control->Insert3(wmdm::kModeBlock | wmdm::kContentFile, 8, first, L"Part01.wma", nullptr, nullptr,
                                 nullptr, nullptr));
    EXPECT_EQ(testsupport::ReadAll(second), testsupport::ReadAll(m_folder / L"player\\Books\\Part01.wma"));
}

TEST_F(WmdmWrites, InjectedFailuresAnswerSoManyTimesAndWriteNothing)
{
    const CString source = MakeFile(L"Part01.mp3", 3000);
    struct Case {
        const char* line;
        HRESULT code;
        int times;  // -1: every time
    };
    const Case cases[] = {
        {"Fail.Insert3=0x80045000*3\r\n", wmdm::kBusy, 3},
        {"Fail.Insert3=0x80045004\r\n", wmdm::kNotSupported, -1},
        {"Fail.Insert3=0x80045006*1\r\n", wmdm::kNoRights, 1},
        {"Fail.Insert3=0x80045001*1\r\n", wmdm::kInterfaceDead, 1},
        {"Fail.Insert3=0x8004500A*1\r\n", wmdm::kMacCheckFailed, 1},
        {"Fail.Insert3=0x8004500F*1\r\n", wmdm::kRevoked, 1},
        {"Fail.Insert3=0x80045012*1\r\n", wmdm::kLicenseNotExist, 1},
        {"Fail.Insert3=0xC00D00CD*1\r\n", wmdm::kNoContentProtection, 1},
        {"Fail.Insert3=0xC00D2767*1\r\n", wmdm::kDrmNotLicensed, 1},
    };
    int round = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        // A fixture of its own per case, so each count starts afresh.
        testsupport::RemoveTree(m_folder / L"player\\Books");
        CreateDirectoryW(m_folder / L"player\\Books", nullptr);
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
        const CString fixture = m_folder / (L"devices" + std::to_wstring(++round) + L".ini").c_str();
        testsupport::WriteAll(fixture, std::string("[Devices]\r\nCount=1\r\n[Device1]\r\nName=Player\r\n") + c.line +
                                           "[Device1.Storage1]\r\nFolder=player\r\n");
        SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", fixture);
        const auto devices = Devices();
        ASSERT_EQ(1u, devices.size());
        com::ComPtr<IWMDMStorage> books = Child(RootStorage(devices[0].Get()).Get(), L"Books");
        ASSERT_TRUE(books);
        ASSERT_EQ(S_OK, books.As(&m_control, IID_IWMDMStorageControl3));
        const int tries = c.times < 0 ? 2 : c.times;
        for (int i = 0; i < tries; ++i)
            EXPECT_EQ(c.code, InsertPart(source, L"Part01.mp3", nullptr));
        EXPECT_FALSE(Exists(L"player\\Books\\Part01.mp3"));
        EXPECT_EQ(c.times < 0 ? c.code : S_OK, InsertPart(source, L"Part01.mp3", nullptr));
        EXPECT_EQ(c.times >= 0, Exists(L"player\\Books\\Part01.mp3"));
    }
}

TEST_F(WmdmWrites, FoldersAreMadeRenamedAndDeletedAndNamesStayInside)
{
    com::ComPtr<IWMDMStorageControl> rootControl;
    ASSERT_EQ(S_OK, m_root.As(&rootControl, IID_IWMDMStorageControl));
    com::ComPtr<IWMDMStorage> made;
    ASSERT_EQ(S_OK, rootControl->Insert(kInsertFolder, L"Audiobooks", nullptr, nullptr, made.Put()));
    EXPECT_EQ(CString(L"Audiobooks"), NameOf(made.Get()));
    DWORD attributes = 0;
    EXPECT_EQ(S_OK, made->GetAttributes(&attributes));
    EXPECT_EQ(wmdm::kAttrFolder | wmdm::kAttrCanDelete, attributes);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS),
              rootControl->Insert(kInsertFolder, L"audiobooks", nullptr, nullptr, made.Put()));
    for (const wchar_t* name : {L"..", L"..\\Escaped", L"a\\b", L"C:\\x", L"", L"x.props"}) {
        EXPECT_EQ(E_INVALIDARG, rootControl->Insert(kInsertFolder, name, nullptr, nullptr, made.Put()))
            << CString(name).ToNarrow();
        if (*name) {  // an empty name is the source's own
            EXPECT_EQ(E_INVALIDARG, m_control->Insert3(kInsertFile, 8, MakeFile(L"x.mp3", 10), name, nullptr, nullptr,
                                                       nullptr, made.Put()))
                << CString(name).ToNarrow();
        }
    }
    EXPECT_FALSE(Exists(L"Escaped"));

    // Rename: not over another item; with the side files.
    const CString source = MakeFile(L"Part01.mp3", 100);
    AddText(wmdm::kTitle, L"One");
    com::ComPtr<IWMDMStorage> part;
    ASSERT_EQ(S_OK, InsertPart(source, L"Part01.mp3", nullptr, &part));
    ASSERT_EQ(S_OK, InsertPart(source, L"Part02.mp3", nullptr));
    com::ComPtr<IWMDMStorageControl> partControl;
    ASSERT_EQ(S_OK, part.As(&partControl, IID_IWMDMStorageControl));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS), partControl->Rename(wmdm::kModeBlock, L"Part02.mp3", nullptr));
    EXPECT_EQ(E_INVALIDARG, partControl->Rename(wmdm::kModeBlock, L"..\\Out.mp3", nullptr));
    ASSERT_EQ(S_OK, partControl->Rename(wmdm::kModeBlock, L"First.mp3", nullptr));
    EXPECT_EQ(CString(L"First.mp3"), NameOf(part.Get()));
    EXPECT_TRUE(Exists(L"player\\Books\\First.mp3"));
    EXPECT_TRUE(Exists(L"player\\Books\\First.mp3.props"));
    EXPECT_FALSE(Exists(L"player\\Books\\Part01.mp3.props"));

    // Read-only items are kept until their attribute is cleared.
    com::ComPtr<IWMDMStorage> second = Child(m_books.Get(), L"Part02.mp3");
    ASSERT_TRUE(second);
    ASSERT_EQ(S_OK, second->SetAttributes(wmdm::kAttrReadOnly | wmdm::kAttrCanDelete));
    EXPECT_EQ(S_OK, second->GetAttributes(&attributes));
    EXPECT_TRUE(attributes & wmdm::kAttrReadOnly);
    com::ComPtr<IWMDMStorageControl> booksControl;
    ASSERT_EQ(S_OK, m_books.As(&booksControl, IID_IWMDMStorageControl));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY), booksControl->Delete(wmdm::kModeBlock, nullptr));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED),
              booksControl->Delete(wmdm::kModeBlock | wmdm::kModeRecursive, nullptr));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), InsertPart(source, L"Part02.mp3", nullptr));
    EXPECT_TRUE(Exists(L"player\\Books\\Part02.mp3"));
    ASSERT_EQ(S_OK, second->SetAttributes(wmdm::kAttrCanDelete));
    EXPECT_EQ(S_OK, booksControl->Delete(wmdm::kModeBlock | wmdm::kModeRecursive, nullptr));
    EXPECT_FALSE(Exists(L"player\\Books"));
    EXPECT_FALSE(Exists(L"player\\Books.props"));
    EXPECT_EQ(wmdm::kInterfaceDead, InsertPart(source, L"Part03.mp3", nullptr));
    com::ComPtr<IWMDMStorageControl> root;
    ASSERT_EQ(S_OK, m_root.As(&root, IID_IWMDMStorageControl));
    EXPECT_EQ(wmdm::kNotSupported, root->Delete(wmdm::kModeBlock | wmdm::kModeRecursive, nullptr));
}

TEST_F(WmdmWrites, AnAlbumRefersToEveryPartAndKeepsItsCover)
{
    std::vector<com::ComPtr<IWMDMStorage>> parts(3);
    for (int i = 0; i < 3; ++i) {
        const std::wstring name = L"Night-Part0" + std::to_wstring(i + 1) + L".mp3";
        ASSERT_EQ(S_OK, InsertPart(MakeFile(name.c_str(), 300), name.c_str(), nullptr, &parts[i]));
    }
    com::ComPtr<IWMDMMetaData> albumData;
    com::ComPtr<IWMDMStorage3> books3;
    ASSERT_EQ(S_OK, m_books.As(&books3, IID_IWMDMStorage3));
    ASSERT_EQ(S_OK, books3->CreateEmptyMetadataObject(albumData.Put()));
    const DWORD albumFormat = wmdm::kFormatAbstractAudioAlbum;
    albumData->AddItem(wmdm::TagType::Dword, wmdm::kFormatCode, reinterpret_cast<const BYTE*>(&albumFormat),
                       sizeof(albumFormat));
    com::ComPtr<IWMDMStorage> album;
    ASSERT_EQ(S_OK, m_control->Insert3(wmdm::kModeBlock | wmdm::kContentFile, 0, nullptr, L"Night.alb", nullptr,
                                       nullptr, albumData.Get(), album.Put()));
    EXPECT_EQ(0, testsupport::FileSizeOf(m_folder / L"player\\Books\\Night.alb"));

    com::ComPtr<IWMDMStorage4> album4;
    ASSERT_EQ(S_OK, album.As(&album4, IID_IWMDMStorage4));
    com::ComPtr<IWMDMMetaData> cover;
    ASSERT_EQ(S_OK, books3->CreateEmptyMetadataObject(cover.Put()));
    const BYTE art[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
    cover->AddItem(wmdm::TagType::Binary, wmdm::kAlbumCoverData, art, sizeof(art));
    const DWORD width = 32;
    cover->AddItem(wmdm::TagType::Dword, wmdm::kAlbumCoverWidth, reinterpret_cast<const BYTE*>(&width), sizeof(width));
    ASSERT_EQ(S_OK, album4->SetMetadata(cover.Get()));
    EXPECT_EQ(std::vector<BYTE>(std::begin(art), std::end(art)),
              testsupport::ReadAll(m_folder / L"player\\Books\\Night.alb.AlbumCoverData.bin"));
    EXPECT_EQ((std::vector<std::string>{"WMDM/FormatCode=47619", "WMDM/AlbumCoverData=10 bytes",
                                        "WMDM/AlbumCoverWidth=32"}),
              Lines(L"player\\Books\\Night.alb.props"));

    IWMDMStorage* refs[3] = {parts[0].Get(), parts[1].Get(), parts[2].Get()};
    ASSERT_EQ(S_OK, album4->SetReferences(3, refs));
    EXPECT_EQ((std::vector<std::string>{"Books\\Night-Part01.mp3", "Books\\Night-Part02.mp3", "Books\\Night-Part03.mp3"}),
              Lines(L"player\\Books\\Night.alb.refs"));
    DWORD count = 0;
    IWMDMStorage** back = nullptr;
    ASSERT_EQ(S_OK, album4->GetReferences(&count, &back));
    ASSERT_EQ(3u, count);
    EXPECT_EQ(CString(L"Night-Part02.mp3"), NameOf(back[1]));
    for (DWORD i = 0; i < count; ++i)
        back[i]->Release();
    CoTaskMemFree(back);
    // A storage of someone else's is no reference.
    IWMDMStorage* foreign[1] = {m_root.Get()};
    EXPECT_EQ(E_INVALIDARG, album4->SetReferences(1, foreign));
    // A side file is not listed as a storage.
    com::ComPtr<IWMDMEnumStorage> children;
    ASSERT_EQ(S_OK, m_books->EnumStorage(children.Put()));
    int listed = 0;
    com::ComPtr<IWMDMStorage> child;
    ULONG fetched = 0;
    while (children->Next(1, child.Put(), &fetched) == S_OK)
        ++listed;
    EXPECT_EQ(4, listed);
}

TEST_F(WmdmWrites, APlayerTakenOutOfTheFixtureIsUnplugged)
{
    const CString source = MakeFile(L"Part01.mp3", 300);
    ASSERT_EQ(S_OK, InsertPart(source, L"Part01.mp3", nullptr));
    const auto devices = Devices();
    ASSERT_EQ(1u, devices.size());
    DWORD status = 0;
    EXPECT_EQ(S_OK, devices[0]->GetStatus(&status));
    // The player goes between two parts: the fixture lists another one in its place.
    WriteFixture("[Devices]\r\nCount=1\r\n[Device1]\r\nName=Another Player\r\n[Device1.Storage1]\r\nFolder=player\r\n");
    EXPECT_EQ(wmdm::kInterfaceDead, devices[0]->GetStatus(&status));
    com::ComPtr<IWMDMEnumStorage> storages;
    EXPECT_EQ(wmdm::kInterfaceDead, devices[0]->EnumStorage(storages.Put()));
    EXPECT_EQ(wmdm::kInterfaceDead, InsertPart(source, L"Part02.mp3", nullptr));
    EXPECT_FALSE(Exists(L"player\\Books\\Part02.mp3"));
    EXPECT_TRUE(Exists(L"player\\Books\\Part01.mp3"));
    WriteFixture("[Devices]\r\nCount=0\r\n");
    EXPECT_EQ(wmdm::kInterfaceDead, devices[0]->GetStatus(&status));
}

TEST_F(WmdmWrites, ReadCopiesAStorageToALocalPath)
{
    const CString source = MakeFile(L"Part01.mp3", 700);
    com::ComPtr<IWMDMStorage> part;
    ASSERT_EQ(S_OK, InsertPart(source, L"Part01.mp3", nullptr, &part));
    com::ComPtr<IWMDMStorageControl> control;
    ASSERT_EQ(S_OK, part.As(&control, IID_IWMDMStorageControl));
    ASSERT_EQ(S_OK, control->Read(wmdm::kModeBlock | wmdm::kContentFile, m_folder / L"copy.mp3", nullptr, nullptr));
    EXPECT_EQ(testsupport::ReadAll(source), testsupport::ReadAll(m_folder / L"copy.mp3"));
}

}  // namespace
