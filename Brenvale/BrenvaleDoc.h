// CBrenvaleDoc: the console's library: its titles, the sources they came from and the
// user's collections, kept in MediaDB.dat in the data folder; the picture lists of the
// views; and the writers of a title's playlist (.wax) and order file (.vpm).
//
// The library is saved at once after every change (SaveLibrary). Records added to the
// document belong to it; views and dialogs borrow them.
#pragma once

#include "ConsoleMediaObject.h"
#include "afx.h"

namespace Gdiplus {
class Image;
}

// Sent to the main window with an order file's path (lParam) to open.
constexpr UINT WM_OPEN_PATH = 0x500;

// Kinds of the tree's nodes: what the list shows for a node. Kinds with bit 1 list the
// names of the node's children; the others select titles.
enum TitleFilterKind {
    kNodeRoot = 1,
    kNodeAllTitles = 2,
    kNodeCollection = 4,
    kNodeCollections = 5,
    kNodeCreator = 8,
    kNodeCreators = 9,
    kNodeSubject = 16,
    kNodeSubjects = 17,
    kNodeLanguage = 32,
    kNodeLanguages = 33,
    kNodeSource = 128,
    kNodeSources = 129,
};
// Columns of the title list, in the list view's order.
enum TitleColumn {
    kColumnTitle,
    kColumnCreator1,
    kColumnCreator2,
    kColumnPublisher,
    kColumnSource,
    kColumnAcquired,
    kColumnLastPlayed,
    kColumnDuration,
    kTitleColumnCount
};

class CBrenvaleDoc : public CDocument {
    DECLARE_DYNCREATE(CBrenvaleDoc)
public:
    CBrenvaleDoc();
    ~CBrenvaleDoc() override;

    // Version 2: the three lists, then the library id (base64) and two SHA-1 texts that
    // guard it. Loading accepts versions 0 to 2 and takes the loaded lists over only
    // when the whole file has been read.
    void Serialize(CArchive& ar) override;
    // The library never takes a path or a title from a file.
    void SetPathName(const wchar_t*, BOOL = TRUE) override {}
    // Makes the picture lists and loads MediaDB.dat when it exists (message 4020 and
    // FALSE when it cannot be read; the file is left as it is).
    BOOL OnNewDocument() override;
    // ".vpm": handed to the main window; ".dat": loaded as the library; else 4049.
    BOOL OnOpenDocument(const wchar_t* path) override;
    // Creates the folder, then saves (see CDocument: the old file stays until the new
    // one is complete).
    BOOL OnSaveDocument(const wchar_t* path) override;
    void DeleteContents() override;
    // Saves to MediaDB.dat in the data folder.
    BOOL SaveLibrary();

    // Takes the title; a title with the same id (any case) is replaced in its place and
    // passes on its picture, acquired date, last-played date (when valid) and folder.
    INT_PTR AddTitleToLibrary(CMediaObject* title);
    // Takes the source; one of the same id is replaced. The list stays sorted by name.
    INT_PTR AddSource(CSourceObject* source);
    // Takes the collection; the list stays sorted by name (without regard to case).
    INT_PTR AddCollection(CCollectionObject* collection);
    // Removes the titles with these ids, their files and settings, and the sources no
    // title uses any more, then saves. Refused (4047) when one of them is queued for
    // download (queuedTitleIds: the title ids of the download queue's jobs).
    void RemoveTitle(const CStringArray& ids, const CStringArray& queuedTitleIds);
    void RemoveTitleById(const wchar_t* id, const CStringArray& queuedTitleIds);

    CMediaObject* FindTitle(const wchar_t* id, INT_PTR* index = nullptr) const;
    CSourceObject* FindSource(const wchar_t* id) const;
    CSourceObject* FindSourceByName(const wchar_t* displayName) const;
    CCollectionObject* FindCollection(const wchar_t* name, INT_PTR* index = nullptr) const;

    // The title's ".wax" playlist beside its parts. Part paths are escaped for XML; the
    // file is in the ANSI code page unless a path needs more, then in UTF-16.
    BOOL WritePlaylistFile(CMediaObject* title);
    // The title's ".vpm" order file beside its playlist. Nothing is touched when the
    // library lacks the title's source; an existing file is replaced only by a complete
    // new one.
    BOOL WriteMediaOrderFile(CMediaObject* title);

    const CObArray& GetTitles() const { return m_titles; }
    const CObArray& GetSources() const { return m_sources; }
    const CObArray& GetCollections() const { return m_collections; }
    CObArray& GetCollections() { return m_collections; }
    const CString& GetLibraryId() const { return m_libraryId; }
    CMapStringToString& TitleFolderSet() { return m_titleFolderSet; }
    // The picture lists of 16, 32, 48 and 96 pixels (index 0 to 3).
    CImageList& GetPictures(int sizeIndex) { return m_pictures[sizeIndex]; }

    // The data folder (thumbnails, banners, MediaDB.dat); tests may point it elsewhere.
    const CString& GetDataFolder() const { return m_dataFolder; }
    void SetDataFolder(const CString& folder) { m_dataFolder = folder; }
    CString GetLibraryDatabasePath() const;

    // --- What the views show (BrenvaleTitleList.cpp); the library is not changed ---
    // Appends the titles a node of this kind and text selects (titles without metadata never),
    // sorted by the column. Equal keys keep no particular order.
    void BuildTitleList(CObArray& titles, int kind, const CString& text, int sortColumn, BOOL ascending) const;
    // One record per distinct display name (any case) of the listed creators of all titles,
    // the first met standing for its name, sorted by file-as text.
    void CollectCreators(CObArray& creators) const;
    // One record per distinct subject text / language name (any case), sorted by it.
    void CollectSubjects(CObArray& subjects) const;
    void CollectLanguages(CObArray& languages) const;
    // Three-way comparison of two titles by a column (ascending); sources: the library's.
    static int CompareTitles(const CMediaObject* a, const CMediaObject* b, int column, const CObArray& sources);
    // The creator roles the views list (string 2109).
    static const CCreatorRoleSet& CreatorRoles();

    // A title's pictures from its thumbnail file: the index in the four lists, or
    // DefaultTitlePicture.
    int AddTitleIcons(const CString& path);
    void ReplaceTitleIcons(int index, const CString& path);

protected:
    // The game functions of the frame; a library without them knows no installed game.
    virtual BOOL IsGameInstalled(CMediaObject*) { return FALSE; }
    virtual void UninstallGame(CMediaObject*) {}
    // Sends a message to the console's main window; FALSE when there is none.
    virtual BOOL SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void AttachPictures(CMediaObject* title);
    void RebuildTitleFolderSet();
    static CString TitleFolderKey(const CMediaObject* title);
    BOOL CreatePictureLists();

    CObArray m_titles;       // CMediaObject, owned
    CObArray m_sources;      // CSourceObject, owned
    CObArray m_collections;  // CCollectionObject, owned
    CString m_libraryId;
    CImageList m_pictures[4];
    ULONG_PTR m_gdiplusToken = 0;
    CMapStringToString m_titleFolderSet;
    CString m_dataFolder;
};

// Creates a picture list from a bitmap resource whose height is the picture size and
// whose width is a whole multiple of it; the list grows by 10.
BOOL CreateImageListFromBitmap(CImageList& list, int size, UINT bitmapId, UINT flags, COLORREF mask);
// A square icon of the image fitted into the side minus 4, framed (see the source).
HICON MakeThumbnailIcon(Gdiplus::Image& image, int size);
