// Files sample titles into the console's library, the way the console files a title it has
// downloaded: reads each media order file (.vpm) of a folder with the console's order-file
// reader, places the title's parts, pictures and its source's banner where the library
// looks for them, writes its playlist, adds title and source to the library document and
// saves MediaDB.dat. The folder holds, beside the order files, the files the order files
// name on the service's server (parts by their file names, pictures by the last segment
// of their URLs); Brenvale/samples/make_sample_titles.py makes such a folder.
//
//     MakeSampleLibrary.exe [--data-folder DIR] [--download-folder DIR] FOLDER
//
// Without options the library is the user's (the console's data folder) and the titles go
// to the default download folders ("My Media" in the user's documents). A library that
// exists is extended; titles already in it are replaced. Exit code 0 when every title was
// filed and the library saved.
#include "BrenvaleDoc.h"
#include "ConsoleSettings.h"
#include "ContentFolderName.h"
#include "DownloadFolders.h"
#include "FileUtils.h"
#include "XmlNode.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

void Report(const wchar_t* format, const CString& text)
{
    fwprintf(stderr, format, static_cast<const wchar_t*>(text));
    fputwc(L'\n', stderr);
}

// The whole file as text (UTF-8, with or without its byte-order mark); FALSE when unreadable.
BOOL ReadUtf8File(const CString& path, CString& text)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    LARGE_INTEGER size{};
    std::vector<char> bytes;
    BOOL ok = GetFileSizeEx(file, &size) && size.QuadPart < 16 * 1024 * 1024;
    if (ok) {
        bytes.resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    CloseHandle(file);
    if (!ok)
        return FALSE;
    size_t start = bytes.size() >= 3 && bytes[0] == '\xEF' && bytes[1] == '\xBB' && bytes[2] == '\xBF' ? 3 : 0;
    text = CString::FromNarrow(bytes.data() + start, static_cast<int>(bytes.size() - start), CP_UTF8);
    return TRUE;
}

// The last path segment of a URL ("http://host/a/b.jpg" -> "b.jpg").
CString UrlFileName(const CString& url)
{
    CString name = url;
    const int cut = name.FindOneOf(L"?#");
    if (cut >= 0)
        name = name.Left(cut);
    return name.Mid(name.ReverseFind(L'/') + 1);
}

// Copies a file of the sample folder into place, making the folders on the way.
BOOL PlaceFile(const CString& folder, const CString& name, const CString& target)
{
    if (name.IsEmpty() || SafeFileNameComponent(name) != name) {
        Report(L"not a file name of the sample folder: %ls", name);
        return FALSE;
    }
    const CString source = folder + L"\\" + name;
    if (!FileExists(source)) {
        Report(L"missing sample file: %ls", source);
        return FALSE;
    }
    if (!CreateParentFolder(target) || !CopyFileW(source, target, FALSE)) {
        Report(L"cannot write %ls", target);
        return FALSE;
    }
    return TRUE;
}

// Reads, places and adds one title; FALSE (with the reason on stderr) when it cannot.
BOOL FileTitle(CBrenvaleDoc& library, const CString& folder, const CString& orderFile,
               const CString& downloadBase, int index)
{
    CString text;
    if (!ReadUtf8File(orderFile, text)) {
        Report(L"cannot read %ls", orderFile);
        return FALSE;
    }
    CXmlNode root;
    if (!root.Parse(StripXmlProlog(text))) {
        Report(L"not an order file: %ls", orderFile);
        return FALSE;
    }
    auto* title = new CMediaObject;
    auto* source = new CSourceObject;
    CString error;
    CXmlNode sourceNode;
    if (!title->ParseMediaOrderFile(&root, error) || !root.FindChild(L"Source", sourceNode) ||
        !source->ParseSource(&sourceNode, error)) {
        Report(L"order file refused: %ls", orderFile + L" (" + error + L")");
        delete title;
        delete source;
        return FALSE;
    }
    title->SetSourceId(source->m_id);
    title->SetSelectedMethod(L"download");
    title->SetDownloadFolder(downloadBase + L"\\" + PluralizeFolderName(title->GetContentKindName()));
    CMediaObject* known = library.FindTitle(title->GetMediaId());
    title->SetTitleFolder(known ? CString(known->m_titleFolder) : MakeTitleFolderName(library, title->GetDownloadFolder(), *title));
    title->SetAcquiredDate(COleDateTime::GetCurrentTime() - COleDateTimeSpan(index * 3, index, 0, 0));

    const CString data = library.GetDataFolder();
    const CMetadataObject& metadata = title->GetMetadata();
    BOOL placed = TRUE;
    for (INT_PTR i = 0; i < title->m_parts.GetSize(); ++i) {
        const CPartObject* part = title->GetPart(i);
        placed = PlaceFile(folder, part->m_fileName, part->GetFilePath(title)) && placed;
    }
    // The thumbnail, its hidden copy as the folder's picture, the cover and the banner.
    const CString thumbnail = title->GetThumbnailPath(data, FALSE);
    placed = PlaceFile(folder, UrlFileName(metadata.m_thumbnailUrl), thumbnail) && placed;
    const CString folderPicture = title->GetThumbnailPath(data, TRUE);
    SetFileAttributesW(folderPicture, FILE_ATTRIBUTE_NORMAL);  // a hidden copy of an earlier run
    if (placed && CopyFileW(thumbnail, folderPicture, FALSE))
        SetFileAttributesW(folderPicture, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    if (!metadata.m_coverUrl.IsEmpty())
        placed = PlaceFile(folder, UrlFileName(metadata.m_coverUrl), title->GetCoverPath(data)) && placed;
    if (!source->m_bannerUrl.IsEmpty())
        placed = PlaceFile(folder, UrlFileName(source->m_bannerUrl), source->GetBannerPath(data)) && placed;
    if (!placed || !library.WritePlaylistFile(title)) {
        Report(L"title not filed: %ls", orderFile);
        delete title;
        delete source;
        return FALSE;
    }
    library.AddTitleToLibrary(title);
    library.AddSource(source);
    return TRUE;
}

CString DefaultDownloadBase()
{
    wchar_t documents[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, documents)))
        return CString();
    return CString(documents) + L"\\My Media";
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    CString dataFolder, downloadBase, folder;
    bool usage = false;
    for (int i = 1; i < argc && !usage; ++i) {
        const CString argument = argv[i];
        if (argument == L"--data-folder" && i + 1 < argc)
            dataFolder = argv[++i];
        else if (argument == L"--download-folder" && i + 1 < argc)
            downloadBase = argv[++i];
        else if (folder.IsEmpty() && argument.Left(2) != L"--")
            folder = argument;
        else
            usage = true;
    }
    if (usage || folder.IsEmpty()) {
        fputws(L"usage: MakeSampleLibrary.exe [--data-folder DIR] [--download-folder DIR] FOLDER\n", stderr);
        return 2;
    }
    folder.TrimRight(L"\\");
    if (downloadBase.IsEmpty())
        downloadBase = DefaultDownloadBase();
    downloadBase.TrimRight(L"\\");

    // Message boxes of the library (a library that cannot be read) go to stderr.
    AfxSetMessageBoxHandler([](const AfxMessageBoxRequest& box) {
        Report(L"%ls", box.text);
        return IDOK;
    });
    BuildEntityTable();
    CBrenvaleDoc library;
    if (!dataFolder.IsEmpty())
        library.SetDataFolder(dataFolder);
    if (!library.OnNewDocument())
        return 1;

    std::vector<CString> orderFiles;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(folder + L"\\*.vpm", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            orderFiles.push_back(folder + L"\\" + found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
    }
    if (orderFiles.empty()) {
        Report(L"no order files in %ls", folder);
        return 1;
    }
    std::sort(orderFiles.begin(), orderFiles.end(),
              [](const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; });
    int failed = 0;
    for (size_t i = 0; i < orderFiles.size(); ++i)
        failed += !FileTitle(library, folder, orderFiles[i], downloadBase, static_cast<int>(i));
    if (!library.SaveLibrary()) {
        Report(L"cannot save %ls", library.GetLibraryDatabasePath());
        return 1;
    }
    fwprintf(stdout, L"%d titles filed in %ls\n", static_cast<int>(orderFiles.size()) - failed,
             static_cast<const wchar_t*>(library.GetLibraryDatabasePath()));
    return failed ? 1 : 0;
}
