#include "Document.h"

#include "AfxMessageBox.h"

#include <new>
#include <stdexcept>

IMPLEMENT_DYNAMIC(CDocument, CObject)

void CDocument::SetPathName(const wchar_t* path, BOOL)
{
    m_strPathName = path;
    const int slash = m_strPathName.ReverseFind(L'\\');
    SetTitle(m_strPathName.Mid(slash + 1));
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.Empty();
    SetModifiedFlag(FALSE);
    return TRUE;
}

CFile* CDocument::GetFile(const wchar_t* path, UINT openFlags, CFileException* error)
{
    auto* file = new CFile;
    if (!file->Open(path, openFlags, error)) {
        delete file;
        return nullptr;
    }
    return file;
}

void CDocument::ReleaseFile(CFile* file, BOOL abort)
{
    if (!file)
        return;
    if (abort) {
        file->Abort();
    } else {
        try {
            file->Close();
        } catch (const CException&) {
            file->Abort();
            delete file;
            throw;
        }
    }
    delete file;
}

void CDocument::ReportSaveLoadException(const wchar_t* path, const CException* e, BOOL saving)
{
    if (dynamic_cast<const CUserException*>(e))
        return;  // the user has been told already
    CString text = e ? e->GetErrorMessage() : CString();
    if (text.IsEmpty())
        text.Format(saving ? L"Failed to save document %s." : L"Failed to open document %s.", path ? path : L"");
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

namespace {
// Memory that runs out while a document is read or written (a huge library, or a damaged
// count that asks for too much) fails that load or save like any other archive error.
CArchiveException OutOfMemory(const wchar_t* path)
{
    return CArchiveException(CArchiveException::genericException, path);
}
}  // namespace

BOOL CDocument::OnOpenDocument(const wchar_t* path)
{
    CFileException fileError;
    CFile* file = GetFile(path, CFile::modeRead | CFile::shareDenyWrite, &fileError);
    if (!file) {
        ReportSaveLoadException(path, &fileError, FALSE);
        return FALSE;
    }
    CArchive archive(file, CArchive::load | CArchive::bNoFlushOnDelete);
    archive.m_pDocument = this;
    archive.m_strFileName = path;
    auto fail = [&](const CException& e) {
        archive.Abort();
        if (file)
            ReleaseFile(file, TRUE);
        ReportSaveLoadException(path, &e, FALSE);
        return FALSE;
    };
    try {
        Serialize(archive);
        archive.Close();
        CFile* closing = file;  // ReleaseFile deletes the file also when closing throws
        file = nullptr;
        ReleaseFile(closing, FALSE);
    } catch (const CException& e) {
        return fail(e);
    } catch (const std::bad_alloc&) {
        return fail(OutOfMemory(path));
    } catch (const std::length_error&) {
        return fail(OutOfMemory(path));
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(const wchar_t* path)
{
    const CString temporary = CFile::NewFileBeside(path);
    if (temporary.IsEmpty()) {
        const LONG code = static_cast<LONG>(GetLastError());
        const CFileException error(CFileException::OsErrorToException(code), code, path);
        ReportSaveLoadException(path, &error, TRUE);
        return FALSE;
    }
    CFileException fileError;
    CFile* file = GetFile(temporary, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &fileError);
    if (!file) {
        DeleteFileW(temporary);
        fileError.m_strFileName = path;
        ReportSaveLoadException(path, &fileError, TRUE);
        return FALSE;
    }
    CArchive archive(file, CArchive::store | CArchive::bNoFlushOnDelete);
    archive.m_pDocument = this;
    archive.m_strFileName = path;
    // A failure is reported under the name of the file the user knows, never under the
    // name of the file the save was writing.
    auto fail = [&](const CException& e) {
        archive.Abort();
        if (file)
            ReleaseFile(file, TRUE);
        DeleteFileW(temporary);
        ReportSaveLoadException(path, &e, TRUE);
        return FALSE;
    };
    try {
        Serialize(archive);
        archive.Close();
        file->Flush();
        CFile* closing = file;
        file = nullptr;
        ReleaseFile(closing, FALSE);
    } catch (const CFileException& e) {
        CFileException named(e);
        named.m_strFileName = path;
        return fail(named);
    } catch (const CException& e) {
        return fail(e);
    } catch (const std::bad_alloc&) {
        return fail(OutOfMemory(path));
    } catch (const std::length_error&) {
        return fail(OutOfMemory(path));
    }
    if (!CFile::ReplaceWith(temporary, path)) {
        const LONG code = static_cast<LONG>(GetLastError());
        DeleteFileW(temporary);
        const CFileException error(CFileException::OsErrorToException(code), code, path);
        ReportSaveLoadException(path, &error, TRUE);
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}
