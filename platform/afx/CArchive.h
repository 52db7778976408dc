// CArchive: the class library's binary serialisation stream (little-endian), with
// tagged objects, class records and length-prefixed UTF-16 texts.
//
// Object tags: 0 is a null object; 0xFFFF introduces a class not yet seen in this
// archive (schema word, name length word, single-byte name); 0x8000|n refers to the
// class with map index n. Classes and objects share one map counter starting at 1.
// Once the counter reaches 0x7FFF, references use the long form: the word 0x7FFF and
// then a 32-bit tag whose high bit marks a class.
//
// Loading never trusts a count or length from the file: anything that would read past
// the end throws CArchiveException(endOfFile) before memory is allocated for it.
#pragma once

#include "CException.h"
#include "CFile.h"
#include "CObject.h"
#include "CString.h"

#include <unordered_map>
#include <vector>

class CDocument;

class CArchiveException : public CException {
public:
    enum {
        none = 0,
        genericException = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7
    };
    explicit CArchiveException(int cause = none, const wchar_t* fileName = nullptr)
        : m_cause(cause), m_strFileName(fileName)
    {
    }
    CString GetErrorMessage() const override;

    int m_cause;
    CString m_strFileName;
};

[[noreturn]] void AfxThrowArchiveException(int cause, const wchar_t* fileName = nullptr);

class CArchive {
public:
    enum Mode { store = 0, load = 1, bNoFlushOnDelete = 2 };

    CArchive(CFile* file, UINT mode, int bufferSize = 4096);
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_loading; }
    bool IsStoring() const { return !m_loading; }
    CFile* GetFile() const { return m_file; }

    // Writes out what is buffered (storing) and detaches from the file.
    void Close();
    // Detaches without writing what is still buffered.
    void Abort();
    void Flush();

    UINT Read(void* buffer, UINT count);
    // Reads exactly count bytes or throws endOfFile.
    void ReadExact(void* buffer, UINT count);
    void Write(const void* buffer, UINT count);

    // Throws endOfFile unless at least that many bytes are left to read.
    void EnsureAvailable(ULONGLONG bytes);
    ULONGLONG BytesRemaining() const;

    // Element counts of collections: 16-bit below 0xFFFF, else 0xFFFF and 32-bit.
    void WriteCount(DWORD_PTR count);
    DWORD_PTR ReadCount();

    void WriteObject(const CObject* object);
    // Reads a tagged object created from its class; with a class given, anything not
    // derived from it is refused with badClass.
    CObject* ReadObject(const CRuntimeClass* requested);
    void WriteClass(const CRuntimeClass* cls);
    const CRuntimeClass* ReadClass(const CRuntimeClass* requested = nullptr, UINT* schema = nullptr);

    CArchive& operator<<(BYTE v) { return Put(&v, sizeof v); }
    CArchive& operator<<(WORD v) { return Put(&v, sizeof v); }
    CArchive& operator<<(short v) { return Put(&v, sizeof v); }
    CArchive& operator<<(wchar_t v) { return Put(&v, sizeof v); }
    CArchive& operator<<(char v) { return Put(&v, sizeof v); }
    CArchive& operator<<(LONG v) { return Put(&v, sizeof v); }
    CArchive& operator<<(DWORD v) { return Put(&v, sizeof v); }
    CArchive& operator<<(int v) { return *this << static_cast<LONG>(v); }
    CArchive& operator<<(UINT v) { return *this << static_cast<DWORD>(v); }
    CArchive& operator<<(LONGLONG v) { return Put(&v, sizeof v); }
    CArchive& operator<<(ULONGLONG v) { return Put(&v, sizeof v); }
    CArchive& operator<<(float v) { return Put(&v, sizeof v); }
    CArchive& operator<<(double v) { return Put(&v, sizeof v); }
    CArchive& operator<<(const CString& s);
    CArchive& operator<<(const CObject* object)
    {
        WriteObject(object);
        return *this;
    }

    CArchive& operator>>(BYTE& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(WORD& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(short& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(wchar_t& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(char& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(LONG& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(DWORD& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(int& v)
    {
        LONG l;
        *this >> l;
        v = static_cast<int>(l);
        return *this;
    }
    CArchive& operator>>(UINT& v)
    {
        DWORD d;
        *this >> d;
        v = static_cast<UINT>(d);
        return *this;
    }
    CArchive& operator>>(LONGLONG& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(ULONGLONG& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(float& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(double& v) { return Get(&v, sizeof v); }
    CArchive& operator>>(CString& s);
    CArchive& operator>>(CObject*& object)
    {
        object = ReadObject(nullptr);
        return *this;
    }

    CString m_strFileName;
    CDocument* m_pDocument = nullptr;
    UINT m_nObjectSchema = static_cast<UINT>(-1);

private:
    CArchive& Put(const void* data, UINT size)
    {
        Write(data, size);
        return *this;
    }
    CArchive& Get(void* data, UINT size)
    {
        ReadExact(data, size);
        return *this;
    }
    void FillBuffer();
    void FlushBuffer();
    DWORD NextMapIndex();
    void ReadTag(WORD& tag, DWORD& longTag);
    const CRuntimeClass* ClassFromTag(WORD tag, DWORD longTag, const CRuntimeClass* requested);
    [[noreturn]] void Throw(int cause) const;

    enum class Entry { Null, Class, Object };
    struct LoadEntry {
        Entry kind;
        const void* pointer;
    };

    CFile* m_file;
    bool m_loading;
    bool m_flushOnDelete;
    std::vector<BYTE> m_buffer;
    size_t m_cur = 0;   // next byte in the buffer
    size_t m_end = 0;   // end of valid bytes (loading)
    ULONGLONG m_fileRemaining = 0;  // bytes of the file not yet buffered (loading)

    int m_depth = 0;
    DWORD m_mapCount = 1;
    std::unordered_map<const void*, DWORD> m_storeMap;
    std::vector<LoadEntry> m_loadArray;
};
