// Times the console's library document on a large library: saving and loading a
// MediaDB.dat of 10,000 titles of 5 parts each through CBrenvaleDoc.
#include "BenchClock.h"
#include "BrenvaleDoc.h"
#include "XmlNode.h"

#include <cstdio>

namespace {

CMediaObject* MakeTitle(int n)
{
    auto* title = new CMediaObject;
    CString text;
    text.Format(L"{BENCH-%05d}", n);
    title->SetMediaId(text);
    title->SetSourceId(L"source-1");
    text.Format(L"Title %05d", n);
    title->SetTitleFolder(text);
    title->SetSelectedMethod(L"download");
    title->SetDownloadFolder(L"C:\\Media\\MP3 Audiobooks");
    CMetadataObject& metadata = title->GetMetadata();
    metadata.SetTitle(text);
    metadata.SetSortTitle(text);
    metadata.SetDescription(L"A description of the title &amp; its parts, long enough to be typical of a shop.");
    metadata.SetContentKind(KindMp3Audiobook);
    auto* creator = new CCreatorObject;
    creator->SetName(L"Author Name");
    creator->SetFileAs(L"Name, Author");
    creator->SetRole(L"Author");
    metadata.AddCreator(creator);
    for (int p = 1; p <= 5; ++p) {
        auto* part = new CPartObject;
        part->m_number = p;
        part->m_fileSize = 20000000 + p;
        part->m_name.Format(L"Part %d", p);
        part->m_fileName.Format(L"bench-fmt425-%05d-%d.mp3", n, p);
        part->SetDuration(L"1:02:03");
        title->AddPart(part);
    }
    auto* protocol = new CProtocolObject;
    protocol->SetMethod(L"download");
    protocol->SetBaseUrl(L"http://media.test/files");
    title->AddProtocol(protocol);
    title->m_licenseText = L"NONE";
    return title;
}

}  // namespace

int main()
{
    BuildEntityTable();
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    CString folder;
    folder.Format(L"%sLibraryBench-%lu", temp, GetCurrentProcessId());
    CreateDirectoryW(folder, nullptr);
    const CString path = folder + L"\\MediaDB.dat";

    const int titles = 10000;
    double saveTime = 0, loadTime = 0;
    {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        for (int n = 0; n < titles; ++n)
            library.AddTitleToLibrary(MakeTitle(n));
        auto* source = new CSourceObject;
        source->m_id = L"source-1";
        source->SetName(L"Bench Shop");
        library.AddSource(source);
        const double start = Now();
        if (!library.OnSaveDocument(path)) {
            std::printf("save failed\n");
            return 1;
        }
        saveTime = Now() - start;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path, GetFileExInfoStandard, &data);
    {
        CBrenvaleDoc library;
        library.SetDataFolder(folder);
        const double start = Now();
        if (!library.OnOpenDocument(path) || library.GetTitles().GetSize() != titles) {
            std::printf("load failed\n");
            return 1;
        }
        loadTime = Now() - start;
    }
    std::printf("MediaDB.dat of %d titles x 5 parts (%lu KB): save %.3f s, load %.3f s\n", titles,
                data.nFileSizeLow / 1024, saveTime, loadTime);
    DeleteFileW(path);
    RemoveDirectoryW(folder);
    return 0;
}
