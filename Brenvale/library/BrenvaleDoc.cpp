#include "BrenvaleDoc.h"

#include "Codec.h"
#include "DataFolder.h"
#include "FileUtils.h"
#include "res/BrenvaleIds.h"

#include <gdiplus.h>

#include <utility>

IMPLEMENT_DYNCREATE(CBrenvaleDoc, CDocument)

namespace {
constexpr WORD kLibraryVersion = 2;

const wchar_t* S(const CString& s) { return s; }

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
    ReleaseSaveLock();
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
    m_titleIndex.Clear();
    m_pendingPictures.clear();
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
    LoadRecordList(ar, titles.items, RUNTIME_CLASS(CMediaObject));
    LoadRecordList(ar, sources.items, RUNTIME_CLASS(CSourceObject));
    LoadRecordList(ar, collections.items, RUNTIME_CLASS(CCollectionObject));
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
    m_titleIndex.Rebuild(m_titles);
}

CString TitleFolderKey(const CString& downloadFolder, const CString& titleFolder)
{
    CString key;
    key.Format(L"%s\\%s", S(downloadFolder), S(titleFolder));
    key.MakeLower();
    return key;
}

void MakeUniqueTitleFolder(CBrenvaleDoc& library, const CString& baseFolder, CString& folderName)
{
    const CString given = folderName;
    CString candidate = given;
    for (int counter = 2; library.TitleFolderSet().PLookup(TitleFolderKey(baseFolder, candidate)); ++counter)
        candidate.Format(L"%s%d", S(given), counter);
    folderName = candidate;
}

void CBrenvaleDoc::RebuildTitleFolderSet()
{
    m_titleFolderSet.RemoveAll();
    for (CObject* object : m_titles) {
        const auto* title = static_cast<CMediaObject*>(object);
        if (!title->m_titleFolder.IsEmpty())
            m_titleFolderSet.SetAt(TitleFolderKey(title->m_baseFolder, title->m_titleFolder), L"1");
    }
}

// Opening and saving ------------------------------------------------------------------------

BOOL CBrenvaleDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return FALSE;
    if (!CreatePictureLists())
        return FALSE;
    const CString path = GetLibraryDatabasePath();
    TakeSaveLock(path);
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
        TakeSaveLock(file);
        if (!CDocument::OnOpenDocument(path))
            return FALSE;
        PreparePictures();
        return TRUE;
    }
    CString text;
    text.Format(AfxLoadString(IDS_UNKNOWN_FILE_TYPE), path);
    AfxMessageBox(text, MB_OK);
    return FALSE;
}

BOOL CBrenvaleDoc::OnSaveDocument(const wchar_t* path)
{
    // The change waits in the document until a save gets it into the file.
    SetModifiedFlag(TRUE);
    CreateParentFolder(path);
    if (!CanSaveLibraryFile(path)) {
        CString text;
        CString reason;
        if (m_lockError == ERROR_SUCCESS) {
            text.Format(AfxLoadString(IDS_LIBRARY_IN_USE), path);
            reason = AfxSystemErrorText(ERROR_SHARING_VIOLATION);
        } else {
            reason = AfxSystemErrorText(m_lockError);
            text.Format(AfxLoadString(IDS_LIBRARY_LOCK_FAILED), path, S(CString(path) + L".lock"), S(reason));
        }
        TellSaveFailure(text, reason);
        return FALSE;
    }
    return CDocument::OnSaveDocument(path);
}

void CBrenvaleDoc::TellSaveFailure(const CString& text, const CString& reason)
{
    if (m_closingSave) {
        m_closingFailure = reason;
        return;
    }
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

void CBrenvaleDoc::ReportSaveLoadException(const wchar_t* path, const CException* e, BOOL saving)
{
    if (!saving || dynamic_cast<const CUserException*>(e)) {
        CDocument::ReportSaveLoadException(path, e, saving);
        return;
    }
    const CString reason = e ? e->GetErrorMessage() : CString();
    CString text;
    text.Format(AfxLoadString(IDS_LIBRARY_NOT_SAVED), path, S(reason));
    TellSaveFailure(text, reason);
}

BOOL CBrenvaleDoc::SavePendingChanges() { return IsModified() ? SaveLibrary() : TRUE; }

BOOL CBrenvaleDoc::SaveBeforeClosing()
{
    while (IsModified()) {
        m_closingSave = true;
        m_closingFailure.Empty();
        BOOL saved = FALSE;
        try {
            saved = SaveLibrary();
        } catch (...) {
            m_closingSave = false;
            throw;
        }
        m_closingSave = false;
        if (saved)
            return TRUE;
        const CString path = GetLibraryDatabasePath();
        CString text;
        text.Format(AfxLoadString(IDS_LIBRARY_NOT_SAVED_AT_CLOSE), S(path), S(m_closingFailure));
        if (AfxMessageBox(text, MB_RETRYCANCEL | MB_ICONEXCLAMATION) != IDRETRY)
            return FALSE;
    }
    return TRUE;
}

// The one saver of a library file ------------------------------------------------------------

namespace {
bool SamePath(const CString& a, const CString& b) { return a.CompareNoCase(b) == 0; }
}  // namespace

bool CBrenvaleDoc::TakeSaveLock(const CString& path)
{
    if (m_saveLock != INVALID_HANDLE_VALUE && SamePath(m_saveLockPath, path))
        return true;
    for (const CString& refused : m_refusedPaths)
        if (SamePath(refused, path))
            return false;
    // Open without sharing while this document lives; closing (also by a crash) deletes it.
    HANDLE lock = CreateFileW(path + L".lock", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (lock == INVALID_HANDLE_VALUE) {
        // Another holder refuses the file for good. Any other reason (a folder in the
        // lock's place, no right to write there) is kept for the save to tell, and tried
        // again at the next save: a folder that does not exist yet is made by the save.
        const DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION)
            m_refusedPaths.Add(path);
        else
            m_lockError = error ? error : ERROR_ACCESS_DENIED;
        return false;
    }
    m_lockError = ERROR_SUCCESS;
    ReleaseSaveLock();
    m_saveLock = lock;
    m_saveLockPath = path;
    // As the file's one saver, whatever earlier saves left half-written beside it is
    // garbage: a crash or a kill during a save.
    CFile::RemoveSavingLeftovers(path);
    return true;
}

void CBrenvaleDoc::ReleaseSaveLock()
{
    if (m_saveLock != INVALID_HANDLE_VALUE)
        CloseHandle(m_saveLock);
    m_saveLock = INVALID_HANDLE_VALUE;
    m_saveLockPath.Empty();
}

BOOL CBrenvaleDoc::CanSaveLibraryFile(const CString& path)
{
    m_lockError = ERROR_SUCCESS;
    // Without the lock two documents could save over each other: whatever keeps it from
    // being taken refuses the save.
    return TakeSaveLock(path) ? TRUE : FALSE;
}

BOOL CBrenvaleDoc::SaveLibrary() { return OnSaveDocument(GetLibraryDatabasePath()); }

// Records -----------------------------------------------------------------------------------

CMediaObject* CBrenvaleDoc::FindTitle(const wchar_t* id, INT_PTR* index) const
{
    const INT_PTR found = m_titleIndex.Find(id);
    if (found < 0)
        return nullptr;
    if (index)
        *index = found;
    return static_cast<CMediaObject*>(m_titles[found]);
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
    m_titleFolderSet.SetAt(TitleFolderKey(title->m_baseFolder, title->m_titleFolder), L"1");
    index = m_titles.Add(title);
    m_titleIndex.Add(title->m_mediaId, index);
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
            m_titleFolderSet.RemoveKey(TitleFolderKey(title->m_baseFolder, title->m_titleFolder));
        }
        m_titles.RemoveAt(index);
        m_titleIndex.Rebuild(m_titles);  // the later titles moved up
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
