#include "CArchive.h"

#include <cstring>
#include <memory>

namespace {

constexpr WORD kNullTag = 0;
constexpr WORD kNewClassTag = 0xFFFF;
constexpr WORD kClassTag = 0x8000;
constexpr WORD kBigObjectTag = 0x7FFF;
constexpr DWORD kBigClassTag = 0x80000000;
constexpr DWORD kMaxMapCount = 0x3FFFFFFE;
constexpr WORD kMaxClassNameLength = 64;
constexpr int kMaxDepth = 64;

}  // namespace

CString CArchiveException::GetErrorMessage() const
{
    const wchar_t* name = m_strFileName.IsEmpty() ? L"the archive" : static_cast<const wchar_t*>(m_strFileName);
    CString text;
    switch (m_cause) {
    case readOnly: text.Format(L"%s is open for reading and cannot be written.", name); break;
    case endOfFile: text.Format(L"%s ended unexpectedly.", name); break;
    case writeOnly: text.Format(L"%s is open for writing and cannot be read.", name); break;
    case badIndex: text.Format(L"%s is not in a valid format.", name); break;
    case badClass: text.Format(L"%s holds an object of an unexpected class.", name); break;
    case badSchema: text.Format(L"%s was written by a newer version of this program.", name); break;
    default: text.Format(L"An error occurred while reading or writing %s.", name); break;
    }
    return text;
}

void AfxThrowArchiveException(int cause, const wchar_t* fileName) { throw CArchiveException(cause, fileName); }

CArchive::CArchive(CFile* file, UINT mode, int bufferSize)
    : m_file(file), m_loading((mode & load) != 0), m_flushOnDelete((mode & bNoFlushOnDelete) == 0)
{
    if (file)
        m_strFileName = file->GetFilePath();
    m_buffer.resize(static_cast<size_t>(bufferSize < 512 ? 512 : bufferSize));
    if (m_loading && m_file) {
        const ULONGLONG length = m_file->GetLength();
        const ULONGLONG position = m_file->GetPosition();
        m_fileRemaining = length > position ? length - position : 0;
        m_loadArray.push_back({Entry::Null, nullptr});
    }
}

CArchive::~CArchive()
{
    if (m_file && !m_loading && m_flushOnDelete) {
        try {
            FlushBuffer();
        } catch (const CException&) {
            // A destructor cannot report; callers that care call Close().
        }
    }
}

void CArchive::Throw(int cause) const { AfxThrowArchiveException(cause, m_strFileName); }

void CArchive::Close()
{
    if (m_file && !m_loading)
        FlushBuffer();
    m_file = nullptr;
}

void CArchive::Abort() { m_file = nullptr; }

void CArchive::Flush()
{
    if (!m_loading) {
        FlushBuffer();
        if (m_file)
            m_file->Flush();
    }
}

void CArchive::FlushBuffer()
{
    if (m_cur > 0 && m_file) {
        m_file->Write(m_buffer.data(), static_cast<UINT>(m_cur));
        m_cur = 0;
    }
}

void CArchive::FillBuffer()
{
    // Keep unread bytes, then top the buffer up from the file.
    if (m_cur > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_cur, m_end - m_cur);
        m_end -= m_cur;
        m_cur = 0;
    }
    while (m_end < m_buffer.size() && m_fileRemaining > 0) {
        const UINT got = m_file->Read(m_buffer.data() + m_end, static_cast<UINT>(m_buffer.size() - m_end));
        if (got == 0) {
            m_fileRemaining = 0;  // the file shrank under us
            break;
        }
        m_end += got;
        m_fileRemaining = got > m_fileRemaining ? 0 : m_fileRemaining - got;
    }
}

UINT CArchive::Read(void* buffer, UINT count)
{
    if (!m_loading)
        Throw(CArchiveException::writeOnly);
    BYTE* out = static_cast<BYTE*>(buffer);
    UINT done = 0;
    while (done < count) {
        if (m_cur == m_end) {
            if (!m_file || m_fileRemaining == 0)
                break;
            // Large reads bypass the buffer.
            if (count - done >= m_buffer.size()) {
                const UINT got = m_file->Read(out + done, count - done);
                if (got == 0) {
                    m_fileRemaining = 0;
                    break;
                }
                done += got;
                m_fileRemaining = got > m_fileRemaining ? 0 : m_fileRemaining - got;
                continue;
            }
            FillBuffer();
            if (m_cur == m_end)
                break;
        }
        const size_t n = std::min<size_t>(count - done, m_end - m_cur);
        std::memcpy(out + done, m_buffer.data() + m_cur, n);
        m_cur += n;
        done += static_cast<UINT>(n);
    }
    return done;
}

void CArchive::ReadExact(void* buffer, UINT count)
{
    if (Read(buffer, count) != count)
        Throw(CArchiveException::endOfFile);
}

void CArchive::Write(const void* buffer, UINT count)
{
    if (m_loading)
        Throw(CArchiveException::readOnly);
    if (!m_file)
        Throw(CArchiveException::genericException);
    const BYTE* in = static_cast<const BYTE*>(buffer);
    while (count > 0) {
        if (m_cur == m_buffer.size())
            FlushBuffer();
        const size_t n = std::min<size_t>(count, m_buffer.size() - m_cur);
        std::memcpy(m_buffer.data() + m_cur, in, n);
        m_cur += n;
        in += n;
        count -= static_cast<UINT>(n);
    }
}

ULONGLONG CArchive::BytesRemaining() const { return (m_end - m_cur) + m_fileRemaining; }

void CArchive::EnsureAvailable(ULONGLONG bytes)
{
    if (m_loading && bytes > BytesRemaining())
        Throw(CArchiveException::endOfFile);
}

void CArchive::WriteCount(DWORD_PTR count)
{
    if (count < 0xFFFF) {
        *this << static_cast<WORD>(count);
    } else {
        *this << static_cast<WORD>(0xFFFF);
        *this << static_cast<DWORD>(count);
    }
}

DWORD_PTR CArchive::ReadCount()
{
    WORD small;
    *this >> small;
    if (small != 0xFFFF)
        return small;
    DWORD large;
    *this >> large;
    return large;
}

CArchive& CArchive::operator<<(const CString& s)
{
    const DWORD_PTR length = static_cast<DWORD_PTR>(s.GetLength());
    // The Unicode mark: 0xFF then 0xFFFE; then the length in 1, 3 or 7 bytes.
    *this << static_cast<BYTE>(0xFF) << static_cast<WORD>(0xFFFE);
    if (length < 0xFF) {
        *this << static_cast<BYTE>(length);
    } else {
        *this << static_cast<BYTE>(0xFF);
        if (length < 0xFFFE) {
            *this << static_cast<WORD>(length);
        } else {
            *this << static_cast<WORD>(0xFFFF) << static_cast<DWORD>(length);
        }
    }
    Write(s.GetString(), static_cast<UINT>(length * sizeof(wchar_t)));
    return *this;
}

CArchive& CArchive::operator>>(CString& s)
{
    bool wide = false;
    ULONGLONG length;
    BYTE b;
    *this >> b;
    if (b < 0xFF) {
        length = b;
    } else {
        WORD w;
        *this >> w;
        if (w == 0xFFFE) {
            wide = true;
            *this >> b;
            if (b < 0xFF) {
                length = b;
                goto haveLength;
            }
            *this >> w;
        }
        if (w < 0xFFFE) {
            length = w;
        } else {
            DWORD d;
            *this >> d;
            if (d < 0xFFFFFFFF) {
                length = d;
            } else {
                ULONGLONG q;
                *this >> q;
                length = q;
            }
        }
    }
haveLength:
    const ULONGLONG bytes = length * (wide ? 2 : 1);
    if (length > 0x7FFFFFFF)
        Throw(CArchiveException::endOfFile);
    EnsureAvailable(bytes);
    if (wide) {
        std::wstring text(static_cast<size_t>(length), L'\0');
        ReadExact(text.data(), static_cast<UINT>(bytes));
        s = CString(std::move(text));
    } else {
        std::string text(static_cast<size_t>(length), '\0');
        ReadExact(text.data(), static_cast<UINT>(bytes));
        s = CString::FromNarrow(text.data(), static_cast<int>(text.size()));
    }
    return *this;
}

DWORD CArchive::NextMapIndex()
{
    if (m_mapCount >= kMaxMapCount)
        Throw(CArchiveException::badIndex);
    return m_mapCount++;
}

void CArchive::WriteClass(const CRuntimeClass* cls)
{
    if (!cls || !cls->IsSerializable())
        Throw(CArchiveException::badClass);
    auto found = m_storeMap.find(cls);
    if (found != m_storeMap.end()) {
        const DWORD index = found->second;
        if (index < kBigObjectTag) {
            *this << static_cast<WORD>(kClassTag | index);
        } else {
            *this << kBigObjectTag << static_cast<DWORD>(kBigClassTag | index);
        }
        return;
    }
    const size_t nameLength = std::strlen(cls->m_lpszClassName);
    *this << kNewClassTag << static_cast<WORD>(cls->m_wSchema) << static_cast<WORD>(nameLength);
    Write(cls->m_lpszClassName, static_cast<UINT>(nameLength));
    m_storeMap.emplace(cls, NextMapIndex());
}

void CArchive::WriteObject(const CObject* object)
{
    if (!object) {
        *this << kNullTag;
        return;
    }
    auto found = m_storeMap.find(object);
    if (found != m_storeMap.end()) {
        const DWORD index = found->second;
        if (index < kBigObjectTag) {
            *this << static_cast<WORD>(index);
        } else {
            *this << kBigObjectTag << index;
        }
        return;
    }
    WriteClass(object->GetRuntimeClass());
    m_storeMap.emplace(object, NextMapIndex());
    const_cast<CObject*>(object)->Serialize(*this);
}

void CArchive::ReadTag(WORD& tag, DWORD& longTag)
{
    *this >> tag;
    if (tag == kBigObjectTag)
        *this >> longTag;
    else
        longTag = (static_cast<DWORD>(tag & kClassTag) << 16) | (tag & ~kClassTag);
}

const CRuntimeClass* CArchive::ClassFromTag(WORD tag, DWORD longTag, const CRuntimeClass* requested)
{
    const CRuntimeClass* cls = nullptr;
    if (tag == kNewClassTag) {
        WORD classSchema, nameLength;
        *this >> classSchema >> nameLength;
        if (nameLength == 0 || nameLength >= kMaxClassNameLength)
            Throw(CArchiveException::badClass);
        char name[kMaxClassNameLength + 1] = {};
        ReadExact(name, nameLength);
        cls = CRuntimeClass::FromName(name);
        if (!cls || !cls->IsSerializable() || !cls->m_pfnCreateObject)
            Throw(CArchiveException::badClass);
        if (cls->m_wSchema != classSchema)
            Throw(CArchiveException::badSchema);
        m_loadArray.push_back({Entry::Class, cls});
        NextMapIndex();
    } else {
        const DWORD index = longTag & ~kBigClassTag;
        if (index == 0 || index >= m_loadArray.size() || m_loadArray[index].kind != Entry::Class)
            Throw(CArchiveException::badIndex);
        cls = static_cast<const CRuntimeClass*>(m_loadArray[index].pointer);
    }
    if (requested && !cls->IsDerivedFrom(requested))
        Throw(CArchiveException::badClass);
    return cls;
}

const CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* requested, UINT* schema)
{
    if (!m_loading)
        Throw(CArchiveException::writeOnly);
    WORD tag;
    DWORD longTag;
    ReadTag(tag, longTag);
    if (!(longTag & kBigClassTag))
        Throw(CArchiveException::badIndex);  // an object reference where a class must stand
    const CRuntimeClass* cls = ClassFromTag(tag, longTag, requested);
    if (schema)
        *schema = cls->m_wSchema;
    return cls;
}

CObject* CArchive::ReadObject(const CRuntimeClass* requested)
{
    if (!m_loading)
        Throw(CArchiveException::writeOnly);
    WORD tag;
    DWORD longTag;
    ReadTag(tag, longTag);
    if (longTag == kNullTag)
        return nullptr;
    if (!(longTag & kBigClassTag)) {
        // Every object of this library has exactly one owner, so no file written by it
        // refers back to an object; a reference would hand one object to two owners.
        Throw(CArchiveException::badIndex);
    }
    const CRuntimeClass* cls = ClassFromTag(tag, longTag, requested);

    std::unique_ptr<CObject> object(cls->CreateObject());
    if (!object)
        Throw(CArchiveException::badClass);
    m_loadArray.push_back({Entry::Object, object.get()});
    NextMapIndex();
    // Objects nest only a few levels in any real file; a deep chain is garbage that
    // would otherwise exhaust the stack.
    if (m_depth >= kMaxDepth)
        Throw(CArchiveException::badIndex);
    const UINT savedSchema = m_nObjectSchema;
    m_nObjectSchema = cls->m_wSchema;
    ++m_depth;
    try {
        object->Serialize(*this);  // a throw deletes the half-built object
    } catch (...) {
        --m_depth;
        m_nObjectSchema = savedSchema;
        throw;
    }
    --m_depth;
    m_nObjectSchema = savedSchema;
    return object.release();
}
