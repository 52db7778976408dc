// CDocument: the data half of the document/view pair. This core holds the path, the
// title, the modified flag and the load and save through an archive; the windows
// layer adds the views and the document template around it.
//
// Saving is safe against interruption: the archive is written to a new file beside the
// target (CFile::NewFileBeside), flushed, and only then moved over the target. A save
// that fails at any point leaves the old file as it was, removes the new one and is
// reported under the target's name. Memory that runs out during a load or a save fails
// it as an archive error.
//
// Loading does not empty the document first: a document whose Serialize builds the
// loaded contents aside and takes them over only at the end keeps its contents when a
// load fails.
#pragma once

#include "CArchive.h"
#include "CFile.h"
#include "CObject.h"
#include "CString.h"
#include "CmdTarget.h"

#include <vector>

class CDocTemplate;
class CView;

class CDocument : public CObject, public CCmdTarget {
    DECLARE_DYNAMIC(CDocument)
public:
    CDocument() = default;
    ~CDocument() override = default;
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    const CString& GetTitle() const { return m_strTitle; }
    virtual void SetTitle(const wchar_t* title) { m_strTitle = title; }
    const CString& GetPathName() const { return m_strPathName; }
    virtual void SetPathName(const wchar_t* path, BOOL addToRecentList = TRUE);

    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL modified = TRUE) { m_bModified = modified; }

    // Empties the document (DeleteContents) and clears the modified flag.
    virtual BOOL OnNewDocument();
    // Reads the file through Serialize; reports a failure and returns FALSE.
    virtual BOOL OnOpenDocument(const wchar_t* path);
    // Writes the document through Serialize (see the note above); reports a failure.
    virtual BOOL OnSaveDocument(const wchar_t* path);
    virtual void DeleteContents() {}

    // Tells every view but the sender that the document changed (CView::OnUpdate).
    virtual void UpdateAllViews(CView* sender, LPARAM hint = 0, CObject* hintObject = nullptr);
    // The views showing the document, in the order they were added (views add and
    // remove themselves).
    void AddView(CView* view);
    void RemoveView(CView* view);
    const std::vector<CView*>& GetViews() const { return m_views; }
    // The template that made the document (null when made otherwise).
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }
    CDocTemplate* m_pDocTemplate = nullptr;

    // The file a load or save goes through (null with the error filled on failure),
    // and its release (closed, or aborted after a failure, and deleted).
    virtual CFile* GetFile(const wchar_t* path, UINT openFlags, CFileException* error);
    virtual void ReleaseFile(CFile* file, BOOL abort);
    // Shows the failure of a load or a save.
    virtual void ReportSaveLoadException(const wchar_t* path, const CException* e, BOOL saving);

protected:
    CString m_strTitle;
    CString m_strPathName;
    BOOL m_bModified = FALSE;

private:
    std::vector<CView*> m_views;
};
