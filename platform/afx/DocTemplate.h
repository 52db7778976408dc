// Document templates and the command line: what the application makes its document and
// main frame from, and what it was started for.
//
//     auto* t = new CSingleDocTemplate(IDR_MAINFRAME, RUNTIME_CLASS(CMyDoc), RUNTIME_CLASS(CMainFrame),
//                                      RUNTIME_CLASS(CView));
//     AddDocTemplate(t);                          // the application owns it from now on
//     CCommandLineInfo info;  ParseCommandLine(info);
//     OnFileNew();                                // a document and its frame
//
// The template's string (the resource id's string) holds seven fields separated by "\n":
// window title, document name, name of a new document, filter text, extension,
// file-type identifier, file-type display name.
#pragma once

#include "CString.h"
#include "Collections.h"
#include "Document.h"

class CFrameWnd;

class CDocTemplate : public CObject {
    DECLARE_DYNAMIC(CDocTemplate)
public:
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };
    CDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                 const CRuntimeClass* viewClass);
    ~CDocTemplate() override = default;

    UINT GetResourceId() const { return m_nIDResource; }
    // One field of the template's string; FALSE (and an empty text) when it has none.
    BOOL GetDocString(CString& text, DocStringIndex index) const;
    // Whether the string could be loaded and names a document class and a frame class.
    BOOL IsValid() const { return m_valid; }

    // Opens the file as the document (null: a new, empty document). Makes the document and
    // its frame when there is none yet; the frame is shown only when makeVisible is set.
    // Returns the document, or null on failure (a frame made for it is gone again).
    virtual CDocument* OpenDocumentFile(const wchar_t* path, BOOL makeVisible = TRUE) = 0;
    // The frame of the document has gone; the template lets the document go.
    virtual void OnFrameGone(CDocument* doc) = 0;

protected:
    CDocument* CreateNewDocument();
    CFrameWnd* CreateNewFrame(CDocument* doc);
    // Every view of the document gets its first update.
    void InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible);

    UINT m_nIDResource;
    const CRuntimeClass* m_pDocClass;
    const CRuntimeClass* m_pFrameClass;
    const CRuntimeClass* m_pViewClass;
    CString m_strDocStrings;
    BOOL m_valid = FALSE;
};

// One document at a time (its frame is the main window).
class CSingleDocTemplate : public CDocTemplate {
    DECLARE_DYNAMIC(CSingleDocTemplate)
public:
    using CDocTemplate::CDocTemplate;
    ~CSingleDocTemplate() override;
    CDocument* OpenDocumentFile(const wchar_t* path, BOOL makeVisible = TRUE) override;
    void OnFrameGone(CDocument* doc) override;
    CDocument* GetDocument() const { return m_pOnlyDoc; }

private:
    CDocument* m_pOnlyDoc = nullptr;
};

// What the command line asks for. ParseParam sees each argument after the program's name,
// flags without their "/" or "-".
class CCommandLineInfo {
public:
    enum ShellCommand { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppRegister, AppUnregister, FileNothing };
    virtual ~CCommandLineInfo() = default;
    // Flags (case-insensitive): "pt", "p", "dde", "Embedding", "Automation", "Register" or
    // "Regserver", "Unregister" or "Unregserver"; other flags are ignored. The first
    // argument that is no flag (a path or a link) is the file name to open.
    virtual void ParseParam(const wchar_t* param, BOOL isFlag, BOOL isLast);

    BOOL m_bShowSplash = TRUE;
    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;
    ShellCommand m_nShellCommand = FileNew;
    CString m_strFileName;
    CString m_strPrinterName;
    CString m_strDriverName;
    CString m_strPortName;

private:
    int m_printToArgs = 0;
};

// The arguments of a command line after the program's name (CommandLineToArgvW rules).
CStringArray AfxSplitCommandLine(const wchar_t* commandLine);
