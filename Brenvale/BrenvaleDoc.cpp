#include "BrenvaleDoc.h"

#include "Codec.h"
#include "DataFolder.h"
#include "FileUtils.h"
#include "XmlWriter.h"
#include "res/BrenvaleIds.h"

#include <gdiplus.h>

#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

IMPLEMENT_DYNCREATE(CBrenvaleDoc, CDocument)

namespace {
constexpr WORD kLibraryVersion = 2;
constexpr COLORREF kPictureMask = RGB(255, 0, 255);
constexpr int kPictureSizes[4] = {16, 32, 48, 96};
constexpr UINT kPictureBitmaps[4] = {IDB_PICTURES_16, IDB_PICTURES_32, IDB_PICTURES_48, IDB_PICTURES_96};

const wchar_t* S(const CString& s) { return s; }

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash < 0 ? CString(L".") : path.Left(slash);
}

// Moves a completely written file over the target (the target's attributes, such as
// hidden, do not stand in the way).
bool ReplaceWith(const CString& written, const CString& target)
{
    if (MoveFileExW(written, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
    return MoveFileExW(written, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// Tells cheaply that a file cannot exist because its folder does not: each grandparent
// folder is listed once, so a library of thousands of titles does not ask the file
// system about every missing thumbnail one by one.
class FolderListing {
public:
    bool FolderMissing(const CString& filePath)
    {
        const CString folder = FolderOf(filePath);
        const int slash = folder.ReverseFind(L'\\');
        if (slash <= 0)
            return false;
        CString parent = folder.Left(slash);
        CString name = folder.Mid(slash + 1);
        parent.MakeLower();
        name.MakeLower();
        auto found = m_listings.find(parent.str());
        if (found == m_listings.end())
            found = m_listings.emplace(parent.str(), List(parent)).first;
        // A folder that could not be listed tells nothing: the file is looked for itself.
        return found->second.known && found->second.names.count(name.str()) == 0;
    }

private:
    struct Listing {
        bool known = false;
        std::unordered_set<std::wstring> names;  // sub-folders, lower-cased
    };
    static Listing List(const CString& folder)
    {
        Listing listing;
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileExW(folder + L"\\*", FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            listing.known = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            return listing;
        }
        listing.known = true;
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                CString name(data.cFileName);
                name.MakeLower();
                listing.names.insert(name.str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return listing;
    }
    std::unordered_map<std::wstring, Listing> m_listings;
};

// Every object of an owning array, deleted.
struct OwnedArray {
    CObArray items;
    ~OwnedArray() { AfxDeleteObjects(items); }
};
}  // namespace

CBrenvaleDoc::CBrenvaleDoc() : m_dataFolder(GetConsoleDataFolder())
{
    Gdiplus::GdiplusStartupInput input;
    if (Gdiplus::GdiplusStartup(&m_gdiplusToken, &input, nullptr) != Gdiplus::Ok)
        m_gdiplusToken = 0;
}

CBrenvaleDoc::~CBrenvaleDoc()
{
    DeleteContents();
    for (CImageList& list : m_pictures)
        list.DeleteImageList();
    if (m_gdiplusToken)
        Gdiplus::GdiplusShutdown(m_gdiplusToken);
}

void CBrenvaleDoc::DeleteContents()
{
    AfxDeleteObjects(m_titles);
    AfxDeleteObjects(m_sources);
    AfxDeleteObjects(m_collections);
    m_titleFolderSet.RemoveAll();
}

CString CBrenvaleDoc::GetLibraryDatabasePath() const
{
    CString format = AfxLoadString(IDS_LIBRARY_FILE_FORMAT);
    if (format.IsEmpty())
        format = L"%s\\MediaDB.dat";
    CString path;
    path.Format(format, S(m_dataFolder));
    return path;
}

// Archive --------------------------------------------------------------------------------

void CBrenvaleDoc::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << kLibraryVersion;
        m_titles.Serialize(ar);
        m_sources.Serialize(ar);
        m_collections.Serialize(ar);
        if (m_libraryId.IsEmpty())
            m_libraryId = NewGuidString(TRUE);
        const CString encoded = Base64EncodeString(m_libraryId);
        ar << encoded << ComputeSha1(m_libraryId) << ComputeSha1(encoded);
        return;
    }
    WORD version = 0;
    ar >> version;
    if (version > kLibraryVersion)
        AfxThrowArchiveException(CArchiveException::badSchema, ar.m_strFileName);
    // Everything is read aside; the live library changes only when the whole file was read.
    OwnedArray titles, sources, collections;
    titles.items.Serialize(ar, RUNTIME_CLASS(CMediaObject));
    sources.items.Serialize(ar, RUNTIME_CLASS(CSourceObject));
    collections.items.Serialize(ar, RUNTIME_CLASS(CCollectionObject));
    CString libraryId;
    if (version == 2) {
        CString encoded, idDigest, encodedDigest;
        ar >> encoded >> idDigest >> encodedDigest;
        libraryId = Base64DecodeString(encoded);
        if (idDigest != ComputeSha1(libraryId) || encodedDigest != ComputeSha1(encoded))
            AfxThrowArchiveException(CArchiveException::genericException, ar.m_strFileName);
    }
    DeleteContents();
    std::swap(m_titles, titles.items);
    std::swap(m_sources, sources.items);
    std::swap(m_collections, collections.items);
    m_libraryId = libraryId;
    SortRecords(m_collections, CompareCollectionNames);
    RebuildTitleFolderSet();
}

CString CBrenvaleDoc::TitleFolderKey(const CMediaObject* title)
{
    CString key;
    key.Format(L"%s\\%s", S(title->m_baseFolder), S(title->m_titleFolder));
    key.MakeLower();
    return key;
}

void CBrenvaleDoc::RebuildTitleFolderSet()
{
    m_titleFolderSet.RemoveAll();
    for (CObject* object : m_titles) {
        const auto* title = static_cast<CMediaObject*>(object);
        if (!title->m_titleFolder.IsEmpty())
            m_titleFolderSet.SetAt(TitleFolderKey(title), L"1");
    }
}

// Opening and saving ------------------------------------------------------------------------

BOOL CreateImageListFromBitmap(CImageList& list, int size, UINT bitmapId, UINT flags, COLORREF mask)
{
    HBITMAP bitmap = AfxLoadBitmap(bitmapId);
    if (!bitmap)
        return FALSE;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    BOOL ok = size > 0 && info.bmHeight == size && info.bmWidth > 0 && info.bmWidth % size == 0 &&
              list.Create(size, size, flags, info.bmWidth / size, 10);
    if (ok && list.Add(bitmap, mask) < 0) {
        list.DeleteImageList();
        ok = FALSE;
    }
    DeleteObject(bitmap);
    return ok;
}

BOOL CBrenvaleDoc::CreatePictureLists()
{
    for (int i = 0; i < 4; ++i)
        if (!CreateImageListFromBitmap(m_pictures[i], kPictureSizes[i], kPictureBitmaps[i], ILC_COLOR32 | ILC_MASK,
                                       kPictureMask))
            return FALSE;
    return TRUE;
}

BOOL CBrenvaleDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return FALSE;
    if (!CreatePictureLists())
        return FALSE;
    const CString path = GetLibraryDatabasePath();
    if (FileExists(path) && !OnOpenDocument(path)) {
        CString text;
        text.Format(AfxLoadString(IDS_LIBRARY_OPEN_FAILED), S(path));
        AfxMessageBox(text, MB_OK);
        return FALSE;
    }
    return TRUE;
}

BOOL CBrenvaleDoc::SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The console's frame is the window of its class in this process.
    HWND window = FindWindowW(L"Vesperlin.Brenvale", nullptr);
    DWORD process = 0;
    if (!window || (GetWindowThreadProcessId(window, &process), process != GetCurrentProcessId()))
        return FALSE;
    result = SendMessageW(window, message, wParam, lParam);
    return TRUE;
}

BOOL CBrenvaleDoc::OnOpenDocument(const wchar_t* path)
{
    const CString file(path);
    const int dot = file.ReverseFind(L'.');
    const CString extension = dot < 0 ? CString() : file.Mid(dot);
    if (extension.CompareNoCase(L".vpm") == 0) {
        LRESULT result = 0;
        if (!SendToMainWindow(WM_OPEN_PATH, 0, reinterpret_cast<LPARAM>(path), result))
            return FALSE;
        return static_cast<BOOL>(result);
    }
    if (extension.CompareNoCase(L".dat") == 0) {
        if (!CDocument::OnOpenDocument(path))
            return FALSE;
        FolderListing folders;
        for (CObject* object : m_titles) {
            auto* title = static_cast<CMediaObject*>(object);
            const CString thumbnail = title->GetThumbnailPath(m_dataFolder, FALSE);
            title->SetPictureIndex(folders.FolderMissing(thumbnail) ? DefaultTitlePicture : AddTitleIcons(thumbnail));
        }
        return TRUE;
    }
    CString text;
    text.Format(AfxLoadString(IDS_UNKNOWN_FILE_TYPE), path);
    AfxMessageBox(text, MB_OK);
    return FALSE;
}

BOOL CBrenvaleDoc::OnSaveDocument(const wchar_t* path)
{
    CreateParentFolder(path);
    return CDocument::OnSaveDocument(path);
}

BOOL CBrenvaleDoc::SaveLibrary() { return OnSaveDocument(GetLibraryDatabasePath()); }

// Records -----------------------------------------------------------------------------------

CMediaObject* CBrenvaleDoc::FindTitle(const wchar_t* id, INT_PTR* index) const
{
    if (!id)
        return nullptr;
    for (INT_PTR i = 0; i < m_titles.GetSize(); ++i) {
        auto* title = static_cast<CMediaObject*>(m_titles[i]);
        if (title->m_mediaId.CompareNoCase(id) == 0) {
            if (index)
                *index = i;
            return title;
        }
    }
    return nullptr;
}

CSourceObject* CBrenvaleDoc::FindSource(const wchar_t* id) const
{
    if (!id)
        return nullptr;
    for (CObject* object : m_sources) {
        auto* source = static_cast<CSourceObject*>(object);
        if (source->m_id.CompareNoCase(id) == 0)
            return source;
    }
    return nullptr;
}

CSourceObject* CBrenvaleDoc::FindSourceByName(const wchar_t* displayName) const
{
    if (!displayName)
        return nullptr;
    for (CObject* object : m_sources) {
        auto* source = static_cast<CSourceObject*>(object);
        if (source->m_displayName == displayName)
            return source;
    }
    return nullptr;
}

CCollectionObject* CBrenvaleDoc::FindCollection(const wchar_t* name, INT_PTR* index) const
{
    if (!name)
        return nullptr;
    for (INT_PTR i = 0; i < m_collections.GetSize(); ++i) {
        auto* collection = static_cast<CCollectionObject*>(m_collections[i]);
        if (collection->m_name == name) {
            if (index)
                *index = i;
            return collection;
        }
    }
    return nullptr;
}

void CBrenvaleDoc::AttachPictures(CMediaObject* title)
{
    title->SetPictureIndex(AddTitleIcons(title->GetThumbnailPath(m_dataFolder, FALSE)));
}

INT_PTR CBrenvaleDoc::AddTitleToLibrary(CMediaObject* title)
{
    if (!title)
        return -1;
    INT_PTR index = -1;
    if (CMediaObject* old = FindTitle(title->m_mediaId, &index)) {
        if (old == title)
            return index;
        m_titles[index] = title;
        int picture = old->GetPictureIndex();
        const CString thumbnail = title->GetThumbnailPath(m_dataFolder, FALSE);
        if (picture == DefaultTitlePicture)
            picture = AddTitleIcons(thumbnail);
        else
            ReplaceTitleIcons(picture, thumbnail);
        title->SetPictureIndex(picture);
        title->SetAcquiredDate(old->m_acquiredDate);
        if (old->GetLastPlayedDate().GetStatus() == COleDateTime::valid)
            title->SetLastPlayedDate(old->GetLastPlayedDate());
        title->m_titleFolder = old->m_titleFolder;
        delete old;
        return index;
    }
    m_titleFolderSet.SetAt(TitleFolderKey(title), L"1");
    index = m_titles.Add(title);
    AttachPictures(title);
    return index;
}

INT_PTR CBrenvaleDoc::AddSource(CSourceObject* source)
{
    if (!source)
        return -1;
    bool replaced = false;
    for (INT_PTR i = 0; i < m_sources.GetSize(); ++i) {
        auto* old = static_cast<CSourceObject*>(m_sources[i]);
        if (old->m_id.CompareNoCase(source->m_id) == 0) {
            if (old != source) {
                m_sources[i] = source;
                delete old;
            }
            replaced = true;
            break;
        }
    }
    if (!replaced)
        m_sources.Add(source);
    SortRecords(m_sources, CompareSourceNames);
    for (INT_PTR i = 0; i < m_sources.GetSize(); ++i)
        if (m_sources[i] == source)
            return i;
    return -1;
}

INT_PTR CBrenvaleDoc::AddCollection(CCollectionObject* collection)
{
    if (!collection)
        return -1;
    m_collections.Add(collection);
    SortRecords(m_collections, CompareCollectionNames);
    for (INT_PTR i = 0; i < m_collections.GetSize(); ++i)
        if (m_collections[i] == collection)
            return i;
    return -1;
}

// Removing titles ---------------------------------------------------------------------------

void CBrenvaleDoc::RemoveTitleById(const wchar_t* id, const CStringArray& queuedTitleIds)
{
    CStringArray ids;
    ids.Add(CString(id));
    RemoveTitle(ids, queuedTitleIds);
}

void CBrenvaleDoc::RemoveTitle(const CStringArray& ids, const CStringArray& queuedTitleIds)
{
    for (const CString& id : ids)
        for (const CString& queued : queuedTitleIds)
            if (id.CompareNoCase(queued) == 0) {
                AfxMessageBox(IDS_TITLES_IN_DOWNLOAD_QUEUE, MB_OK);
                return;
            }
    BOOL uninstall = FALSE;
    for (const CString& id : ids) {
        CMediaObject* title = FindTitle(id);
        if (title && title->GetMetadata().GetContentKind() == KindGame && IsGameInstalled(title)) {
            uninstall = AfxMessageBox(IDS_ASK_UNINSTALL_GAMES, MB_YESNO) == IDYES;
            break;
        }
    }
    CWinApp* app = AfxGetApp();
    for (const CString& id : ids) {
        // An empty id names no title, and "Bookmarks\\" with it would be every title's
        // bookmarks.
        if (id.IsEmpty())
            continue;
        if (app) {
            app->DeleteProfileSection(L"Bookmarks\\" + id);
            app->DeleteProfileValue(L"Furthest Played", id);
            app->DeleteProfileValue(L"Recently Played", id);
        }
        INT_PTR index = -1;
        CMediaObject* title = FindTitle(id, &index);
        if (!title)
            continue;
        // Titles are one title whatever the case of their id: no member may outlive it.
        for (CObject* object : m_collections) {
            CStringArray& members = static_cast<CCollectionObject*>(object)->m_members;
            for (INT_PTR m = members.GetSize() - 1; m >= 0; --m)
                if (members[m].CompareNoCase(title->m_mediaId) == 0)
                    members.RemoveAt(m);
        }
        DeleteFileW(title->GetThumbnailPath(m_dataFolder, FALSE));
        DeleteFileW(title->GetThumbnailPath(m_dataFolder, TRUE));
        const CString cover = title->GetCoverPath(m_dataFolder);
        if (!cover.IsEmpty())
            DeleteFileW(cover);
        const CString playlist = title->GetPlaylistPath();
        DeleteFileW(playlist);
        DeleteFileW(title->GetMediaOrderFilePath());
        if (title->GetMetadata().GetContentKind() == KindGame) {
            if (uninstall && IsGameInstalled(title))
                UninstallGame(title);
            if (app)
                for (const wchar_t* section : {L"Game Exe Names", L"Game Folder Regkeys", L"Game Default Folders",
                                               L"Game Uninstall Keys", L"Game Exe Paths"})
                    app->DeleteProfileValue(section, id);
        }
        for (CObject* object : title->m_parts) {
            const CString part = static_cast<CPartObject*>(object)->GetFilePath(title);
            DeleteFileW(part);
            if (part.GetLength() >= 4 && part.Right(4).CompareNoCase(L".mp3") == 0)
                DeleteFileW(part.Left(part.GetLength() - 4) + L".m4b");
            DeleteFileW(part + L".tmp");
        }
        DeleteFileW(playlist.Left(playlist.ReverseFind(L'\\') + 1) + L"thumbs.db");
        if (!title->m_titleFolder.IsEmpty()) {
            CString folder;
            folder.Format(L"%s\\%s", S(title->m_baseFolder), S(title->m_titleFolder));
            RemoveDirectoryW(folder);
            m_titleFolderSet.RemoveKey(TitleFolderKey(title));
        }
        m_titles.RemoveAt(index);
        delete title;
    }
    for (INT_PTR i = m_sources.GetSize() - 1; i >= 0; --i) {
        auto* source = static_cast<CSourceObject*>(m_sources[i]);
        bool used = false;
        for (CObject* object : m_titles)
            if (static_cast<CMediaObject*>(object)->m_sourceId.CompareNoCase(source->m_id) == 0) {
                used = true;
                break;
            }
        if (!used) {
            DeleteFileW(source->GetBannerPath(m_dataFolder));
            m_sources.RemoveAt(i);
            delete source;
        }
    }
    UpdateAllViews(nullptr);
    SaveLibrary();
}

// Pictures ----------------------------------------------------------------------------------

HICON MakeThumbnailIcon(Gdiplus::Image& image, int size)
{
    using namespace Gdiplus;
    Bitmap canvas(size, size, PixelFormat32bppARGB);
    canvas.SetResolution(image.GetHorizontalResolution(), image.GetVerticalResolution());
    Graphics graphics(&canvas);
    graphics.Clear(Color(0x00, 0xFF, 0xFF, 0xFF));
    graphics.SetInterpolationMode(InterpolationModeHighQualityBicubic);
    const int box = size - 4;
    const int width = static_cast<int>(image.GetWidth());
    const int height = static_cast<int>(image.GetHeight());
    int drawnWidth, drawnHeight, x, y;
    if (width <= height) {
        drawnHeight = box;
        drawnWidth = width * box / height;
        x = (box - drawnWidth) / 2 + 2;
        y = 2;
    } else {
        drawnWidth = box;
        drawnHeight = height * box / width;
        y = (box - drawnHeight) / 2 + 2;
        x = 2;
    }
    graphics.DrawImage(&image, x, y, drawnWidth, drawnHeight);
    if (size > 48) {
        Pen white(Color(0xFF, 0xFF, 0xFF, 0xFF), 2);
        graphics.DrawRectangle(&white, x + 1, y + 1, drawnWidth - 2, drawnHeight - 2);
    }
    Pen grey(Color(0xFF, 0xC4, 0xC4, 0xC4), 1);
    graphics.DrawRectangle(&grey, x - 1, y - 1, drawnWidth + 1, drawnHeight + 1);
    HICON icon = nullptr;
    if (canvas.GetHICON(&icon) != Ok)
        return nullptr;
    return icon;
}

namespace {
// The four icons of a thumbnail file; false when the file is missing or unusable.
bool MakeTitleIcons(const CString& path, HICON (&icons)[4])
{
    for (HICON& icon : icons)
        icon = nullptr;
    if (!FileExists(path))
        return false;
    std::unique_ptr<Gdiplus::Bitmap> image(Gdiplus::Bitmap::FromFile(path));
    if (!image || image->GetLastStatus() != Gdiplus::Ok || image->GetHeight() == 0)
        return false;
    bool all = true;
    for (int i = 0; i < 4; ++i) {
        icons[i] = MakeThumbnailIcon(*image, kPictureSizes[i]);
        all = all && icons[i];
    }
    return all;
}

void DestroyIcons(HICON (&icons)[4])
{
    for (HICON icon : icons)
        if (icon)
            DestroyIcon(icon);
}
}  // namespace

int CBrenvaleDoc::AddTitleIcons(const CString& path)
{
    if (!m_gdiplusToken)
        return DefaultTitlePicture;
    HICON icons[4];
    int index = DefaultTitlePicture;
    if (MakeTitleIcons(path, icons)) {
        const int first = m_pictures[0].Add(icons[0]);
        if (first >= 0) {
            for (int i = 1; i < 4; ++i)
                m_pictures[i].Add(icons[i]);
            index = first;
        }
    }
    DestroyIcons(icons);
    return index;
}

void CBrenvaleDoc::ReplaceTitleIcons(int index, const CString& path)
{
    if (!m_gdiplusToken)
        return;
    HICON icons[4];
    if (MakeTitleIcons(path, icons))
        for (int i = 0; i < 4; ++i)
            m_pictures[i].Replace(index, icons[i]);
    DestroyIcons(icons);
}

// Playlist and order file -------------------------------------------------------------------

BOOL CBrenvaleDoc::WritePlaylistFile(CMediaObject* title)
{
    if (!title)
        return FALSE;
    const int kind = title->GetMetadata().GetContentKind();
    if (!(kind & 15) && !(kind & 96))
        return TRUE;  // games and streaming titles have no playlist
    bool methodKnown = false;
    for (CObject* object : title->m_protocols)
        if (static_cast<CProtocolObject*>(object)->m_method.CompareNoCase(title->GetSelectedMethod()) == 0) {
            methodKnown = true;
            break;
        }
    if (!methodKnown)
        return FALSE;
    CString text = AfxLoadString(IDS_PLAYLIST_HEAD);
    for (CObject* object : title->m_parts) {
        if (!object)
            continue;
        CString entry;
        entry.Format(AfxLoadString(IDS_PLAYLIST_ENTRY),
                     S(EscapeXmlText(static_cast<CPartObject*>(object)->GetFilePath(title), true)));
        text += entry;
    }
    text += AfxLoadString(IDS_PLAYLIST_TAIL);

    const CString path = title->GetPlaylistPath();
    CreateParentFolder(path);
    const CString written = CFile::NewFileBeside(path, L"wax");
    if (written.IsEmpty())
        return FALSE;
    // The ANSI code page as the players expect, unless a path would not survive it.
    UINT flags = CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite | CFile::typeText;
    if (!CCodePageTextFile::CanRepresent(text))
        flags |= CCodePageTextFile::modeWriteUnicode;
    try {
        CCodePageTextFile file(written, flags);
        file.WriteString(text);
        file.Flush();
        file.Close();
    } catch (const CException&) {
        DeleteFileW(written);
        return FALSE;
    }
    if (!ReplaceWith(written, path)) {
        DeleteFileW(written);
        return FALSE;
    }
    return TRUE;
}

namespace {
CXmlElement* AddTextChild(CXmlElementList& list, CXmlElement* parent, const wchar_t* tag, const CString& text)
{
    CXmlElement* element = list.AddElement(tag);
    element->SetText(text);
    parent->AddChild(element);
    return element;
}

CString Number(int value)
{
    CString text;
    text.Format(L"%d", value);
    return text;
}

// Raw texts kept from the order file are XML text already; decoded ones are escaped.
// Outside the metadata, raw texts are made safe for XML parsers (which changes nothing
// in well-formed text); inside the metadata's CDATA section they stand as read, and
// only a "]]>" that would end the section early is broken up.
CString RawAttr(const CString& text) { return MakeXmlSafe(text, true); }
CString InCdata(const CString& text)
{
    CString safe(text);
    safe.Replace(L"]]>", L"]]&gt;");
    return safe;
}
CString Plain(const CString& text) { return EscapeXmlText(text, false); }

void BuildOrderDocument(CXmlElementList& list, CXmlElement* root, const CMediaObject& title,
                        const CSourceObject& source)
{
    root->AddAttribute(L"id", RawAttr(title.m_mediaId));
    root->AddAttribute(L"VPMVersion", L"3.0.0.0");
    root->AddAttribute(L"ZKYVersion", L"3.6.0.0");
    AddTextChild(list, root, L"WMLicense", L"NONE");
    if (title.m_licenseText.IsEmpty() || title.m_licenseText.CompareNoCase(L"NONE") == 0)
        AddTextChild(list, root, L"License", L"NONE");
    AddTextChild(list, root, L"AcquiredDate", title.GetAcquiredDateUtc().Format(L"%Y-%m-%dT%H:%M:%SZ"));

    const CMetadataObject& metadata = title.GetMetadata();
    CXmlElement* meta = list.AddElement(L"Metadata");
    meta->m_cdata = 1;
    root->AddChild(meta);
    AddTextChild(list, meta, L"ContentType", InCdata(Plain(title.GetContentKindName())));
    AddTextChild(list, meta, L"Title", InCdata(metadata.m_title));
    if (!metadata.m_subTitle.IsEmpty())
        AddTextChild(list, meta, L"SubTitle", InCdata(metadata.m_subTitle));
    AddTextChild(list, meta, L"SortTitle", InCdata(metadata.m_sortTitle));
    if (!metadata.m_publisher.IsEmpty())
        AddTextChild(list, meta, L"Publisher", InCdata(metadata.m_publisher));
    if (!metadata.m_series.IsEmpty())
        AddTextChild(list, meta, L"Series", InCdata(metadata.m_series));
    if (!metadata.m_thumbnailUrl.IsEmpty())
        AddTextChild(list, meta, L"ThumbnailUrl", InCdata(Plain(metadata.m_thumbnailUrl)));
    if (!metadata.m_coverUrl.IsEmpty())
        AddTextChild(list, meta, L"CoverUrl", InCdata(Plain(metadata.m_coverUrl)));
    if (!metadata.m_creators.IsEmpty()) {
        CXmlElement* creators = list.AddElement(L"Creators");
        meta->AddChild(creators);
        for (CObject* object : metadata.m_creators) {
            const auto* creator = static_cast<const CCreatorObject*>(object);
            CXmlElement* element = AddTextChild(list, creators, L"Creator", InCdata(creator->m_name));
            element->AddAttribute(L"role", InCdata(creator->m_role));
            element->AddAttribute(L"file-as", InCdata(creator->m_fileAs));
        }
    }
    if (!metadata.m_subjects.IsEmpty()) {
        CXmlElement* subjects = list.AddElement(L"Subjects");
        meta->AddChild(subjects);
        for (CObject* object : metadata.m_subjects) {
            const auto* subject = static_cast<const CSubjectObject*>(object);
            CXmlElement* element = AddTextChild(list, subjects, L"Subject", InCdata(Plain(subject->m_subject)));
            element->AddAttribute(L"id", Number(subject->m_id));
        }
    }
    if (!metadata.m_languages.IsEmpty()) {
        CXmlElement* languages = list.AddElement(L"Languages");
        meta->AddChild(languages);
        for (CObject* object : metadata.m_languages) {
            const auto* language = static_cast<const CLanguageObject*>(object);
            CXmlElement* element = AddTextChild(list, languages, L"Language", InCdata(Plain(language->m_name)));
            element->AddAttribute(L"code", InCdata(language->m_code));
        }
    }
    if (!metadata.m_description.IsEmpty())
        AddTextChild(list, meta, L"Description", InCdata(metadata.m_description));

    CXmlElement* formats = list.AddElement(L"Formats");
    root->AddChild(formats);
    CXmlElement* format = list.AddElement(L"Format");
    format->AddAttribute(L"name", L"Medium Quality");
    formats->AddChild(format);
    CXmlElement* quality = list.AddElement(L"Quality");
    quality->AddAttribute(L"level", L"Medium");
    format->AddChild(quality);
    CXmlElement* protocols = list.AddElement(L"Protocols");
    format->AddChild(protocols);
    for (CObject* object : title.m_protocols) {
        const auto* protocol = static_cast<const CProtocolObject*>(object);
        CXmlElement* element = list.AddElement(L"Protocol");
        element->AddAttribute(L"method", RawAttr(protocol->m_method));
        element->AddAttribute(L"baseurl", RawAttr(protocol->m_baseUrl));
        protocols->AddChild(element);
    }
    CXmlElement* parts = list.AddElement(L"Parts");
    parts->AddAttribute(L"count", Number(static_cast<int>(title.m_parts.GetSize())));
    format->AddChild(parts);
    for (CObject* object : title.m_parts) {
        const auto* part = static_cast<const CPartObject*>(object);
        CXmlElement* element = list.AddElement(L"Part");
        element->AddAttribute(L"number", Number(part->m_number));
        element->AddAttribute(L"filesize", Number(part->m_fileSize));
        element->AddAttribute(L"name", RawAttr(part->m_name));
        element->AddAttribute(L"filename", RawAttr(part->m_fileName));
        if (!part->m_duration.IsEmpty())
            element->AddAttribute(L"duration", RawAttr(part->m_duration));
        parts->AddChild(element);
    }

    CXmlElement* sourceElement = list.AddElement(L"Source");
    sourceElement->AddAttribute(L"id", RawAttr(title.m_sourceId));
    root->AddChild(sourceElement);
    AddTextChild(list, sourceElement, L"Name", Plain(source.m_name));
    AddTextChild(list, sourceElement, L"WebsiteUrl", Plain(source.m_websiteUrl));
    AddTextChild(list, sourceElement, L"BannerUrl", Plain(source.m_bannerUrl));
    if (!source.m_accentColor.IsEmpty())
        AddTextChild(list, sourceElement, L"AccentColor", Plain(source.m_accentColor));
}
}  // namespace

BOOL CBrenvaleDoc::WriteMediaOrderFile(CMediaObject* title)
{
    if (!title)
        return FALSE;
    const CSourceObject* source = FindSource(title->m_sourceId);
    if (!source)
        return FALSE;
    CString path = title->GetPlaylistPath();
    path = path.Left(path.GetLength() - 3) + L"vpm";
    CreateParentFolder(path);
    const CString written = CFile::NewFileBeside(path, L"vpm");
    if (written.IsEmpty())
        return FALSE;
    try {
        CXmlDocumentFile file(written, CCodePageTextFile::modeWriteUnicode | CFile::modeCreate |
                                           CFile::modeReadWrite | CFile::shareDenyWrite);
        file.WriteDeclaration();
        CXmlElementList list;
        list.SetOutputFile(&file);
        CXmlElement* root = list.AddElement(L"VesperlinMedia");
        BuildOrderDocument(list, root, *title, *source);
        file.AddRootElement(root);
        file.WriteElements();
        file.Flush();
        file.Close();
    } catch (const CException&) {
        DeleteFileW(written);
        return FALSE;
    }
    if (!ReplaceWith(written, path)) {
        DeleteFileW(written);
        return FALSE;
    }
    return TRUE;
}
