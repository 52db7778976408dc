// CFile over a Win32 file handle, CMemFile over memory, and CFileException.
#pragma once

#include "CException.h"
#include "CObject.h"

#include <vector>

class CFileException : public CException {
public:
    enum {
        none = 0,
        genericException,
        fileNotFound,
        badPath,
        tooManyOpenFiles,
        accessDenied,
        invalidFile,
        removeCurrentDir,
        directoryFull,
        badSeek,
        hardIO,
        sharingViolation,
        lockViolation,
        diskFull,
        endOfFile
    };
    CFileException(int cause = none, LONG osError = -1, const wchar_t* fileName = nullptr)
        : m_cause(cause), m_lOsError(osError), m_strFileName(fileName)
    {
    }
    CString GetErrorMessage() const override;
    static int OsErrorToException(LONG osError);

    int m_cause;
    LONG m_lOsError;
    CString m_strFileName;
};

[[noreturn]] void AfxThrowFileException(int cause, LONG osError = -1, const wchar_t* fileName = nullptr);

struct CFileStatus {
    FILETIME m_ctime{};
    FILETIME m_mtime{};
    FILETIME m_atime{};
    ULONGLONG m_size = 0;
    BYTE m_attribute = 0;
    wchar_t m_szFullName[MAX_PATH] = {};
};

class CFile : public CObject {
    DECLARE_DYNAMIC(CFile)
public:
    enum OpenFlags : UINT {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareCompat = 0x0000,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        typeText = 0x4000,
        typeBinary = 0x8000,
        osWriteThrough = 0x10000,
        osSequentialScan = 0x40000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    explicit CFile(HANDLE handle) : m_hFile(handle), m_bCloseOnDelete(false) {}
    // Opens or throws CFileException.
    CFile(const wchar_t* fileName, UINT openFlags);
    ~CFile() override;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    virtual BOOL Open(const wchar_t* fileName, UINT openFlags, CFileException* error = nullptr);
    virtual void Close();
    virtual void Abort();  // closes without throwing
    virtual UINT Read(void* buffer, UINT count);
    virtual void Write(const void* buffer, UINT count);
    virtual void Flush();
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    virtual ULONGLONG GetPosition() const;
    virtual ULONGLONG GetLength() const;
    virtual void SetLength(ULONGLONG length);
    void SeekToBegin() { Seek(0, begin); }
    ULONGLONG SeekToEnd() { return Seek(0, end); }

    bool IsOpen() const { return m_hFile != INVALID_HANDLE_VALUE; }
    HANDLE GetHandle() const { return m_hFile; }
    CString GetFilePath() const { return m_strFileName; }
    CString GetFileName() const;

    static BOOL GetStatus(const wchar_t* fileName, CFileStatus& status);
    static void Rename(const wchar_t* oldName, const wchar_t* newName);
    static void Remove(const wchar_t* fileName);
    // A new, empty file beside the target, for writing the target's new contents before
    // they replace it: "<target>.<8 hex digits>.saving", a name no other file has; empty
    // when it cannot be made (GetLastError tells why).
    static CString NewFileBeside(const wchar_t* target);
    // Deletes the files NewFileBeside made for this target that a crash or a kill left
    // behind (a file still open elsewhere stays); returns how many went.
    static int RemoveSavingLeftovers(const wchar_t* target);
    // Moves a completely written file over its target. A target that another process has
    // open refuses the replace until it is closed: that is tried again for up to
    // patienceMs (a reader is done soon); a read-only target is made writable first.
    // FALSE with GetLastError telling why when the target stays in the way.
    static BOOL ReplaceWith(const wchar_t* written, const wchar_t* target, DWORD patienceMs = kReplacePatienceMs);
    static constexpr DWORD kReplacePatienceMs = 3000;

    HANDLE m_hFile = INVALID_HANDLE_VALUE;

protected:
    bool m_bCloseOnDelete = true;
    CString m_strFileName;
};

// A file held in memory; grows as it is written.
class CMemFile : public CFile {
    DECLARE_DYNAMIC(CMemFile)
public:
    CMemFile() = default;
    CMemFile(const void* data, size_t size);
    ~CMemFile() override;

    BOOL Open(const wchar_t*, UINT, CFileException* = nullptr) override { return FALSE; }
    void Close() override;
    void Abort() override { Close(); }
    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    void Flush() override {}
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override { return m_position; }
    ULONGLONG GetLength() const override { return m_data.size(); }
    void SetLength(ULONGLONG length) override;

    const std::vector<BYTE>& Data() const { return m_data; }
    std::vector<BYTE> Detach();

private:
    std::vector<BYTE> m_data;
    size_t m_position = 0;
};
