#include "DocTemplate.h"

#include "FrameWnd.h"
#include "WinApp.h"

#include <shellapi.h>

IMPLEMENT_DYNAMIC(CDocTemplate, CObject)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

CDocTemplate::CDocTemplate(UINT resourceId, const CRuntimeClass* docClass, const CRuntimeClass* frameClass,
                           const CRuntimeClass* viewClass)
    : m_nIDResource(resourceId), m_pDocClass(docClass), m_pFrameClass(frameClass), m_pViewClass(viewClass)
{
    m_strDocStrings = AfxLoadString(resourceId);
    m_valid = !m_strDocStrings.IsEmpty() && docClass && docClass->IsDerivedFrom(RUNTIME_CLASS(CDocument)) &&
              frameClass && frameClass->IsDerivedFrom(RUNTIME_CLASS(CFrameWnd));
}

BOOL CDocTemplate::GetDocString(CString& text, DocStringIndex index) const
{
    text.Empty();
    int start = 0;
    for (int field = 0; field < index; ++field) {
        const int next = m_strDocStrings.Find(L'\n', start);
        if (next < 0)
            return FALSE;
        start = next + 1;
    }
    const int end = m_strDocStrings.Find(L'\n', start);
    text = end < 0 ? m_strDocStrings.Mid(start) : m_strDocStrings.Mid(start, end - start);
    return !text.IsEmpty();
}

CDocument* CDocTemplate::CreateNewDocument()
{
    if (!m_valid)
        return nullptr;
    CObject* object = m_pDocClass->CreateObject();
    if (!object)
        return nullptr;
    auto* doc = static_cast<CDocument*>(object);
    doc->m_pDocTemplate = this;
    return doc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* doc)
{
    CObject* object = m_pFrameClass->CreateObject();
    if (!object)
        return nullptr;
    auto* frame = static_cast<CFrameWnd*>(object);
    CCreateContext context;
    context.m_pNewViewClass = m_pViewClass;
    context.m_pCurrentDoc = doc;
    context.m_pNewDocTemplate = this;
    context.m_pCurrentFrame = frame;
    if (!frame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &context)) {
        // A window that failed in its creation has deleted its object already.
        return nullptr;
    }
    return frame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* frame, CDocument* doc, BOOL makeVisible)
{
    const std::vector<CView*> views = doc->GetViews();
    for (CView* view : views)
        view->OnInitialUpdate();
    if (!views.empty() && !frame->GetActiveView())
        frame->SetActiveView(views.front());
    if (makeVisible) {
        frame->ShowWindow(SW_SHOW);
        frame->UpdateWindow();
    }
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    delete m_pOnlyDoc;
    m_pOnlyDoc = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(const wchar_t* path, BOOL makeVisible)
{
    if (m_pOnlyDoc) {
        // One document: a new file reloads it, a path is opened into it.
        if (path ? !m_pOnlyDoc->OnOpenDocument(path) : !m_pOnlyDoc->OnNewDocument())
            return nullptr;
        if (path)
            m_pOnlyDoc->SetPathName(path);
        m_pOnlyDoc->UpdateAllViews(nullptr);
        return m_pOnlyDoc;
    }
    CDocument* doc = CreateNewDocument();
    if (!doc)
        return nullptr;
    m_pOnlyDoc = doc;
    CFrameWnd* frame = CreateNewFrame(doc);
    if (!frame) {
        if (m_pOnlyDoc == doc) {
            m_pOnlyDoc = nullptr;
            delete doc;
        }
        return nullptr;
    }
    CWinApp* app = AfxGetApp();
    if (app && !app->m_pMainWnd)
        app->m_pMainWnd = frame;
    const BOOL loaded = path ? doc->OnOpenDocument(path) : doc->OnNewDocument();
    if (!loaded) {
        frame->DestroyWindow();  // lets the document go through OnFrameGone
        return nullptr;
    }
    if (path)
        doc->SetPathName(path);
    InitialUpdateFrame(frame, doc, makeVisible);
    return doc;
}

void CSingleDocTemplate::OnFrameGone(CDocument* doc)
{
    if (doc && doc == m_pOnlyDoc) {
        m_pOnlyDoc = nullptr;
        delete doc;
    }
}

// --- The command line ---

void CCommandLineInfo::ParseParam(const wchar_t* param, BOOL isFlag, BOOL)
{
    if (!param)
        return;
    if (isFlag) {
        const CString flag(param);
        if (flag.CompareNoCase(L"pt") == 0) {
            m_nShellCommand = FilePrintTo;
            m_printToArgs = 3;
        } else if (flag.CompareNoCase(L"p") == 0) {
            m_nShellCommand = FilePrint;
        } else if (flag.CompareNoCase(L"dde") == 0) {
            m_nShellCommand = FileDDE;
        } else if (flag.CompareNoCase(L"Embedding") == 0) {
            m_bRunEmbedded = TRUE;
            m_bShowSplash = FALSE;
        } else if (flag.CompareNoCase(L"Automation") == 0) {
            m_bRunAutomated = TRUE;
            m_bShowSplash = FALSE;
        } else if (flag.CompareNoCase(L"Register") == 0 || flag.CompareNoCase(L"Regserver") == 0) {
            m_nShellCommand = AppRegister;
        } else if (flag.CompareNoCase(L"Unregister") == 0 || flag.CompareNoCase(L"Unregserver") == 0) {
            m_nShellCommand = AppUnregister;
        }
        return;
    }
    if (m_strFileName.IsEmpty()) {
        m_strFileName = param;
        if (m_nShellCommand == FileNew)
            m_nShellCommand = FileOpen;
        return;
    }
    if (m_nShellCommand == FilePrintTo && m_printToArgs > 0) {
        CString& target = m_printToArgs == 3 ? m_strPrinterName : m_printToArgs == 2 ? m_strDriverName : m_strPortName;
        target = param;
        --m_printToArgs;
    }
}

CStringArray AfxSplitCommandLine(const wchar_t* commandLine)
{
    CStringArray arguments;
    if (!commandLine || !*commandLine)
        return arguments;
    int count = 0;
    LPWSTR* argv = ::CommandLineToArgvW(commandLine, &count);
    if (!argv)
        return arguments;
    for (int i = 1; i < count; ++i)
        arguments.Add(argv[i]);
    ::LocalFree(argv);
    return arguments;
}
