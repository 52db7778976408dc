#include "Collections.h"

#include "CArchive.h"

#include <memory>

IMPLEMENT_SERIAL(CObArray, CObject, 0)
IMPLEMENT_SERIAL(CStringArray, CObject, 0)
IMPLEMENT_SERIAL(CDWordArray, CObject, 0)
IMPLEMENT_DYNAMIC(CUIntArray, CObject)
IMPLEMENT_SERIAL(CMapStringToString, CObject, 0)

namespace {
// How many elements to make room for before loading count of them: never more than the
// archive's remaining bytes could fill, so a damaged count cannot ask for memory many
// times the file's size before the elements themselves show it to be wrong.
size_t Reservation(const CArchive& ar, DWORD_PTR count, size_t elementSize)
{
    const ULONGLONG fits = ar.BytesRemaining() / elementSize;
    return static_cast<size_t>(count < fits ? count : fits);
}
}  // namespace

void CObArray::Serialize(CArchive& ar) { Serialize(ar, nullptr); }

void CObArray::Serialize(CArchive& ar, const CRuntimeClass* elementClass)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(GetSize()));
        for (CObject* item : m_items)
            ar.WriteObject(item);
        return;
    }
    // Every element takes at least its two-byte tag: a count beyond that is garbage.
    const DWORD_PTR count = ar.ReadCount();
    ar.EnsureAvailable(static_cast<ULONGLONG>(count) * 2);
    RemoveAll();
    m_items.reserve(Reservation(ar, count, sizeof(CObject*)));
    for (DWORD_PTR i = 0; i < count; ++i) {
        std::unique_ptr<CObject> item(ar.ReadObject(elementClass));
        m_items.push_back(item.get());
        item.release();
    }
}

void CStringArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(GetSize()));
        for (const CString& s : m_items)
            ar << s;
        return;
    }
    const DWORD_PTR count = ar.ReadCount();
    ar.EnsureAvailable(static_cast<ULONGLONG>(count));
    RemoveAll();
    m_items.reserve(Reservation(ar, count, sizeof(CString)));
    for (DWORD_PTR i = 0; i < count; ++i) {
        CString s;
        ar >> s;
        m_items.push_back(std::move(s));
    }
}

void CDWordArray::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(GetSize()));
        for (DWORD v : m_items)
            ar << v;
        return;
    }
    const DWORD_PTR count = ar.ReadCount();
    ar.EnsureAvailable(static_cast<ULONGLONG>(count) * 4);
    RemoveAll();
    m_items.resize(static_cast<size_t>(count));
    for (DWORD& v : m_items)
        ar >> v;
}

void AfxDeleteObjects(CObArray& array)
{
    for (CObject* item : array)
        delete item;
    array.RemoveAll();
}

BOOL CMapStringToString::Lookup(const wchar_t* key, CString& value) const
{
    const CString* found = PLookup(key);
    if (!found)
        return FALSE;
    value = *found;
    return TRUE;
}

const CString* CMapStringToString::PLookup(const wchar_t* key) const
{
    auto it = m_index.find(CString(key));
    return it == m_index.end() ? nullptr : &m_entries[it->second].second;
}

void CMapStringToString::SetAt(const wchar_t* key, const wchar_t* value) { (*this)[key] = value; }

CString& CMapStringToString::operator[](const wchar_t* key)
{
    CString k(key);
    auto it = m_index.find(k);
    if (it != m_index.end())
        return m_entries[it->second].second;
    m_index.emplace(k, m_entries.size());
    m_entries.emplace_back(std::move(k), CString());
    return m_entries.back().second;
}

BOOL CMapStringToString::RemoveKey(const wchar_t* key)
{
    auto it = m_index.find(CString(key));
    if (it == m_index.end())
        return FALSE;
    const size_t slot = it->second;
    m_index.erase(it);
    if (slot != m_entries.size() - 1) {
        m_entries[slot] = std::move(m_entries.back());
        m_index[m_entries[slot].first] = slot;
    }
    m_entries.pop_back();
    return TRUE;
}

void CMapStringToString::RemoveAll()
{
    m_entries.clear();
    m_index.clear();
}

// A position is the index of the next entry plus one.
POSITION CMapStringToString::GetStartPosition() const
{
    return m_entries.empty() ? nullptr : reinterpret_cast<POSITION>(static_cast<INT_PTR>(1));
}

void CMapStringToString::GetNextAssoc(POSITION& pos, CString& key, CString& value) const
{
    const size_t slot = static_cast<size_t>(reinterpret_cast<INT_PTR>(pos)) - 1;
    if (slot >= m_entries.size()) {
        pos = nullptr;
        return;
    }
    key = m_entries[slot].first;
    value = m_entries[slot].second;
    pos = slot + 1 < m_entries.size() ? reinterpret_cast<POSITION>(static_cast<INT_PTR>(slot + 2)) : nullptr;
}

void CMapStringToString::Serialize(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar.WriteCount(static_cast<DWORD_PTR>(m_entries.size()));
        for (const auto& [k, v] : m_entries)
            ar << k << v;
        return;
    }
    const DWORD_PTR count = ar.ReadCount();
    ar.EnsureAvailable(static_cast<ULONGLONG>(count) * 2);
    RemoveAll();
    for (DWORD_PTR i = 0; i < count; ++i) {
        CString k, v;
        ar >> k >> v;
        SetAt(k, v);
    }
}
