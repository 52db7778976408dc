#include "CFile.h"

#include "SavingFiles.h"

#include <algorithm>
#include <cstring>

IMPLEMENT_DYNAMIC(CFile, CObject)
IMPLEMENT_DYNAMIC(CMemFile, CFile)

int CFileException::OsErrorToException(LONG osError)
{
    switch (osError) {
    case NO_ERROR: return none;
    case ERROR_FILE_NOT_FOUND: return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY: return badPath;
    case ERROR_TOO_MANY_OPEN_FILES: return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return accessDenied;
    case ERROR_INVALID_HANDLE: return invalidFile;
    case ERROR_CURRENT_DIRECTORY: return removeCurrentDir;
    case ERROR_CANNOT_MAKE: return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK: return badSeek;
    case ERROR_SHARING_VIOLATION: return sharingViolation;
    case ERROR_LOCK_VIOLATION: return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return diskFull;
    case ERROR_HANDLE_EOF: return endOfFile;
    default: return genericException;
    }
}

CString CFileException::GetErrorMessage() const
{
    const wchar_t* name = m_strFileName.IsEmpty() ? L"an unnamed file" : static_cast<const wchar_t*>(m_strFileName);
    CString text;
    switch (m_cause) {
    case fileNotFound: text.Format(L"%s was not found.", name); break;
    case badPath: text.Format(L"%s contains an incorrect path.", name); break;
    case tooManyOpenFiles: text.Format(L"%s could not be opened because there are too many open files.", name); break;
    case accessDenied: text.Format(L"Access to %s was denied.", name); break;
    case invalidFile: text.Format(L"An incorrect file handle was associated with %s.", name); break;
    case removeCurrentDir: text.Format(L"%s could not be removed because it is the current directory.", name); break;
    case directoryFull: text.Format(L"%s could not be created because the directory is full.", name); break;
    case badSeek: text.Format(L"Seek failed on %s", name); break;
    case hardIO: text.Format(L"A hardware I/O error was reported while accessing %s.", name); break;
    case sharingViolation: text.Format(L"A sharing violation occurred while accessing %s.", name); break;
    case lockViolation: text.Format(L"A locking violation occurred while accessing %s.", name); break;
    case diskFull: text.Format(L"Disk full while accessing %s.", name); break;
    case endOfFile: text.Format(L"An attempt was made to access %s past its end.", name); break;
    default: text.Format(L"An unexpected error occurred while accessing %s.", name); break;
    }
    return text;
}

void AfxThrowFileException(int cause, LONG osError, const wchar_t* fileName)
{
    throw CFileException(cause, osError, fileName);
}

namespace {

[[noreturn]] void ThrowLastError(const CString& fileName)
{
    const LONG error = static_cast<LONG>(GetLastError());
    AfxThrowFileException(CFileException::OsErrorToException(error), error, fileName);
}

}  // namespace

CFile::CFile(const wchar_t* fileName, UINT openFlags)
{
    CFileException error;
    if (!Open(fileName, openFlags, &error))
        throw error;
}

CFile::~CFile()
{
    if (m_hFile != INVALID_HANDLE_VALUE && m_bCloseOnDelete)
        CloseHandle(m_hFile);
}

BOOL CFile::Open(const wchar_t* fileName, UINT openFlags, CFileException* error)
{
    if (IsOpen())
        Abort();
    m_strFileName = fileName;
    DWORD access = 0;
    switch (openFlags & 3) {
    case modeRead: access = GENERIC_READ; break;
    case modeWrite: access = GENERIC_WRITE; break;
    default: access = GENERIC_READ | GENERIC_WRITE; break;
    }
    DWORD share = 0;
    switch (openFlags & 0x70) {
    case shareDenyWrite: share = FILE_SHARE_READ; break;
    case shareDenyRead: share = FILE_SHARE_WRITE; break;
    case shareDenyNone: share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    default: share = 0; break;
    }
    DWORD creation = OPEN_EXISTING;
    if (openFlags & modeCreate)
        creation = (openFlags & modeNoTruncate) ? OPEN_ALWAYS : CREATE_ALWAYS;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (openFlags & osWriteThrough)
        attributes |= FILE_FLAG_WRITE_THROUGH;
    if (openFlags & osSequentialScan)
        attributes |= FILE_FLAG_SEQUENTIAL_SCAN;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, (openFlags & modeNoInherit) ? FALSE : TRUE};
    HANDLE h = CreateFileW(fileName, access, share, &sa, creation, attributes, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (error) {
            const LONG code = static_cast<LONG>(GetLastError());
            *error = CFileException(CFileException::OsErrorToException(code), code, fileName);
        }
        return FALSE;
    }
    m_hFile = h;
    m_bCloseOnDelete = true;
    return TRUE;
}

void CFile::Close()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        const BOOL ok = CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
        if (!ok)
            ThrowLastError(m_strFileName);
    }
}

void CFile::Abort()
{
    if (m_hFile != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hFile);
        m_hFile = INVALID_HANDLE_VALUE;
    }
}

UINT CFile::Read(void* buffer, UINT count)
{
    if (count == 0)
        return 0;
    DWORD read = 0;
    if (!ReadFile(m_hFile, buffer, count, &read, nullptr))
        ThrowLastError(m_strFileName);
    return read;
}

void CFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    DWORD written = 0;
    if (!WriteFile(m_hFile, buffer, count, &written, nullptr))
        ThrowLastError(m_strFileName);
    if (written != count)
        AfxThrowFileException(CFileException::diskFull, -1, m_strFileName);
}

void CFile::Flush()
{
    if (m_hFile != INVALID_HANDLE_VALUE && !FlushFileBuffers(m_hFile))
        ThrowLastError(m_strFileName);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from)
{
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_hFile, distance, &position, from))
        ThrowLastError(m_strFileName);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetPosition() const
{
    LARGE_INTEGER zero{};
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_hFile, zero, &position, FILE_CURRENT))
        ThrowLastError(m_strFileName);
    return static_cast<ULONGLONG>(position.QuadPart);
}

ULONGLONG CFile::GetLength() const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(m_hFile, &size))
        ThrowLastError(m_strFileName);
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::SetLength(ULONGLONG length)
{
    Seek(static_cast<LONGLONG>(length), begin);
    if (!SetEndOfFile(m_hFile))
        ThrowLastError(m_strFileName);
}

CString CFile::GetFileName() const
{
    const int slash = std::max(m_strFileName.ReverseFind(L'\\'), m_strFileName.ReverseFind(L'/'));
    return m_strFileName.Mid(slash + 1);
}

BOOL CFile::GetStatus(const wchar_t* fileName, CFileStatus& status)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!fileName || !GetFileAttributesExW(fileName, GetFileExInfoStandard, &data))
        return FALSE;
    status.m_ctime = data.ftCreationTime;
    status.m_mtime = data.ftLastWriteTime;
    status.m_atime = data.ftLastAccessTime;
    status.m_size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    status.m_attribute = static_cast<BYTE>(data.dwFileAttributes);
    if (!GetFullPathNameW(fileName, MAX_PATH, status.m_szFullName, nullptr))
        status.m_szFullName[0] = 0;
    return TRUE;
}

void CFile::Rename(const wchar_t* oldName, const wchar_t* newName)
{
    if (!MoveFileW(oldName, newName))
        ThrowLastError(oldName);
}

CString CFile::NewFileBeside(const wchar_t* target) { return CString(savefiles::NewSavingFileBeside(target).c_str()); }

int CFile::RemoveSavingLeftovers(const wchar_t* target) { return savefiles::RemoveSavingLeftovers(target); }

BOOL CFile::ReplaceWith(const wchar_t* written, const wchar_t* target, DWORD patienceMs)
{
    const DWORD start = GetTickCount();
    for (bool attributesCleared = false;;) {
        if (MoveFileExW(written, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return TRUE;
        const DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            return FALSE;
        if (!attributesCleared) {
            // Hidden or read-only: such attributes do not keep a save from its file.
            attributesCleared = true;
            const DWORD attributes = GetFileAttributesW(target);
            if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                                                        FILE_ATTRIBUTE_SYSTEM)) &&
                !(attributes & FILE_ATTRIBUTE_DIRECTORY) && SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL))
                continue;
        }
        if (GetTickCount() - start >= patienceMs) {
            SetLastError(error);
            return FALSE;
        }
        Sleep(50);
    }
}

void CFile::Remove(const wchar_t* fileName)
{
    if (!DeleteFileW(fileName))
        ThrowLastError(fileName);
}

CMemFile::CMemFile(const void* data, size_t size)
    : m_data(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size)
{
}

CMemFile::~CMemFile() = default;

void CMemFile::Close()
{
    m_data.clear();
    m_position = 0;
}

UINT CMemFile::Read(void* buffer, UINT count)
{
    if (m_position >= m_data.size())
        return 0;
    const size_t n = std::min<size_t>(count, m_data.size() - m_position);
    std::memcpy(buffer, m_data.data() + m_position, n);
    m_position += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count)
{
    if (count == 0)
        return;
    if (m_position + count > m_data.size())
        m_data.resize(m_position + count);
    std::memcpy(m_data.data() + m_position, buffer, count);
    m_position += count;
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from)
{
    LONGLONG base = 0;
    if (from == current)
        base = static_cast<LONGLONG>(m_position);
    else if (from == end)
        base = static_cast<LONGLONG>(m_data.size());
    const LONGLONG target = base + offset;
    if (target < 0)
        AfxThrowFileException(CFileException::badSeek);
    m_position = static_cast<size_t>(target);
    return m_position;
}

void CMemFile::SetLength(ULONGLONG length)
{
    m_data.resize(static_cast<size_t>(length));
    if (m_position > m_data.size())
        m_position = m_data.size();
}

std::vector<BYTE> CMemFile::Detach()
{
    std::vector<BYTE> out;
    out.swap(m_data);
    m_position = 0;
    return out;
}
