// CBrenvaleDoc: the console's library: its titles, the sources they came from and the
// user's collections, kept in MediaDB.dat in the data folder; the picture lists of the
// views (LibraryPictures.cpp); and the writers of a title's playlist (.wax) and order
// file (.vpm) (TitleFileWriters.cpp).
//
// The library is saved at once after every change (SaveLibrary). Records added to the
// document belong to it; views and dialogs borrow them.
//
// One document at a time saves a library file: the first to open it holds it for saving
// (a lock file beside it, "MediaDB.dat.lock", open while the document lives); another
// document, in this process or another, can read the library but refuses to save it.
#pragma once

#include "ConsoleMediaObject.h"
#include "LibraryPictures.h"
#include "SuiteMessages.h"
#include "TitleIndex.h"
#include "afx.h"

#include <deque>
#include <functional>
#include <vector>

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
    // Makes the picture lists, takes MediaDB.dat for saving (removing what interrupted
    // saves left beside it) and loads it when it exists (message 4020 and FALSE when it
    // cannot be read; the file is left as it is).
    BOOL OnNewDocument() override;
    // ".vpm": handed to the main window; ".dat": loaded as the library, its pictures
    // waiting for FillPendingPictures (see below); else 4049.
    BOOL OnOpenDocument(const wchar_t* path) override;
    // Creates the folder, then saves (see CDocument: the old file stays until the new
    // one is complete). Refused with message 4021 when another document holds the file
    // for saving, or held it when this one read it, and with 4022 when the lock file
    // cannot be made for another reason. A save that fails leaves the document modified:
    // the change is kept and written by the next save (message 4023 says so).
    BOOL OnSaveDocument(const wchar_t* path) override;
    void DeleteContents() override;
    // Saves to MediaDB.dat in the data folder.
    BOOL SaveLibrary();
    // Saves once more when an earlier save failed; TRUE when nothing waits.
    BOOL SavePendingChanges();
    // The save of the console's close: a change that cannot be saved is not left to a
    // later save there will not be. The user is asked (4024) to retry or to cancel; FALSE
    // when they cancel (the console stays open, the change kept), TRUE when nothing waits.
    BOOL SaveBeforeClosing();

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
    // DefaultTitlePicture. The lists grow by a quarter of their size when full (not by a
    // few pictures, which would copy them for every few titles added), so they may hold
    // blank places beyond the pictures in use.
    int AddTitleIcons(const CString& path);
    // The places of the picture lists in use (the strips' pictures and the titles').
    int GetPictureSlotsInUse() const { return m_pictureSlots; }
    void ReplaceTitleIcons(int index, const CString& path);

    // Loading a library does not decode its thumbnails: the picture lists get their
    // final size at once, every title shows DefaultTitlePicture, and the frame, once it
    // is shown, fills the pictures in turns with FillPendingPictures, redrawing after
    // each turn. SetDecodePicturesOnLoad(TRUE) makes a load decode them all itself.
    void SetDecodePicturesOnLoad(BOOL decode) { m_decodePicturesOnLoad = decode; }
    // Decodes up to maxCount waiting thumbnails (all of them for -1) into their places (a
    // title shows its own picture from then on); returns how many still wait.
    // The titles that got their picture are appended to filled when given.
    INT_PTR FillPendingPictures(INT_PTR maxCount = -1, std::vector<const CMediaObject*>* filled = nullptr);
    // Moves the waiting pictures of these titles (the rows on screen) to the head of the
    // queue, in their order; the others keep theirs. Returns how many were waiting.
    INT_PTR PutPicturesFirst(const std::vector<const CMediaObject*>& titles);
    INT_PTR GetPendingPictureCount() const { return static_cast<INT_PTR>(m_pendingPictures.size()); }

    // Whether this document may save the library file at that path (it holds it, or
    // could take it now).
    BOOL CanSaveLibraryFile(const CString& path);

protected:
    // A failed save tells that the change is kept (4023); loading reports as usual.
    void ReportSaveLoadException(const wchar_t* path, const CException* e, BOOL saving) override;

public:

    // The console's game functions, which deleting titles uses: whether a game title is
    // installed, and starting its uninstaller. A library without them knows no installed game.
    struct GameFunctions {
        std::function<BOOL(CMediaObject&)> isInstalled;
        std::function<void(CMediaObject&)> uninstall;
    };
    void SetGameFunctions(GameFunctions games) { m_games = std::move(games); }

protected:
    virtual BOOL IsGameInstalled(CMediaObject* title) { return title && m_games.isInstalled && m_games.isInstalled(*title); }
    virtual void UninstallGame(CMediaObject* title)
    {
        if (title && m_games.uninstall)
            m_games.uninstall(*title);
    }
    // Sends a message to the console's main window; FALSE when there is none.
    virtual BOOL SendToMainWindow(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

private:
    void AttachPictures(CMediaObject* title);
    // After a load: sizes the picture lists once for every title with a thumbnail file
    // and queues those titles (decoding them at once when asked to).
    void PreparePictures();
    void RebuildTitleFolderSet();
    BOOL CreatePictureLists();
    // Takes the library file at that path for saving; FALSE when another document holds it.
    bool TakeSaveLock(const CString& path);
    // Tells why a save failed: a box of its own, or, during SaveBeforeClosing, kept in
    // m_closingFailure for the question that box asks.
    void TellSaveFailure(const CString& text, const CString& reason);
    void ReleaseSaveLock();

    CObArray m_titles;       // CMediaObject, owned
    CObArray m_sources;      // CSourceObject, owned
    CObArray m_collections;  // CCollectionObject, owned
    CString m_libraryId;
    CImageList m_pictures[4];
    int m_pictureSlots = 0;  // places of m_pictures in use (the rest are blank, for growth)
    GameFunctions m_games;
    ULONG_PTR m_gdiplusToken = 0;
    CMapStringToString m_titleFolderSet;
    CString m_dataFolder;
    CTitleIndex m_titleIndex;  // the positions of m_titles by id

    struct PendingPicture {
        CString titleId;
        int slot;  // its place in the four picture lists
    };
    std::deque<PendingPicture> m_pendingPictures;
    BOOL m_decodePicturesOnLoad = FALSE;

    HANDLE m_saveLock = INVALID_HANDLE_VALUE;
    CString m_saveLockPath;
    CStringArray m_refusedPaths;  // library files another document held when this one met them
    DWORD m_lockError = ERROR_SUCCESS;  // why the lock could not be taken, other than a holder
    bool m_closingSave = false;         // SaveBeforeClosing is saving
    CString m_closingFailure;           // why its save failed
};

// The key of a title folder in TitleFolderSet: "<download folder>\<title folder>", lower-cased.
CString TitleFolderKey(const CString& downloadFolder, const CString& titleFolder);

// Makes the title folder name unique among the library's title folders in the base
// folder: "Book", then "Book2", "Book3", ...
void MakeUniqueTitleFolder(CBrenvaleDoc& library, const CString& baseFolder, CString& folderName);
