// The class library's collections: CObArray (object pointers; the array does not own
// them), CStringArray, CDWordArray, CUIntArray and CMapStringToString.
#pragma once

#include "CObject.h"
#include "CString.h"

#include <unordered_map>
#include <utility>
#include <vector>

// An iteration position: null ends the iteration.
struct __POSITION {};
typedef __POSITION* POSITION;

// A growable array with the class library's interface over std::vector.
template <class T, class ARG = const T&>
class CArray {
public:
    INT_PTR GetSize() const { return static_cast<INT_PTR>(m_items.size()); }
    INT_PTR GetCount() const { return GetSize(); }
    bool IsEmpty() const { return m_items.empty(); }
    INT_PTR GetUpperBound() const { return GetSize() - 1; }
    void SetSize(INT_PTR size) { m_items.resize(size > 0 ? static_cast<size_t>(size) : 0); }
    void RemoveAll() { m_items.clear(); }
    const T& GetAt(INT_PTR i) const { return m_items.at(static_cast<size_t>(i)); }
    T& ElementAt(INT_PTR i) { return m_items.at(static_cast<size_t>(i)); }
    void SetAt(INT_PTR i, ARG value) { m_items.at(static_cast<size_t>(i)) = value; }
    void SetAtGrow(INT_PTR i, ARG value)
    {
        if (i >= GetSize())
            SetSize(i + 1);
        m_items.at(static_cast<size_t>(i)) = value;
    }
    const T& operator[](INT_PTR i) const { return GetAt(i); }
    T& operator[](INT_PTR i) { return ElementAt(i); }
    INT_PTR Add(ARG value)
    {
        m_items.push_back(value);
        return GetSize() - 1;
    }
    INT_PTR Append(const CArray& other)
    {
        const INT_PTR first = GetSize();
        m_items.insert(m_items.end(), other.m_items.begin(), other.m_items.end());
        return first;
    }
    void Copy(const CArray& other) { m_items = other.m_items; }
    void InsertAt(INT_PTR i, ARG value, INT_PTR count = 1)
    {
        if (i > GetSize())
            SetSize(i);
        m_items.insert(m_items.begin() + i, static_cast<size_t>(count > 0 ? count : 0), value);
    }
    void RemoveAt(INT_PTR i, INT_PTR count = 1)
    {
        if (i < 0 || i >= GetSize() || count <= 0)
            return;
        const INT_PTR end = i + count > GetSize() ? GetSize() : i + count;
        m_items.erase(m_items.begin() + i, m_items.begin() + end);
    }
    T* GetData() { return m_items.data(); }
    const T* GetData() const { return m_items.data(); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

protected:
    std::vector<T> m_items;
};

class CArchive;

class CObArray : public CObject, public CArray<CObject*, CObject*> {
    DECLARE_SERIAL(CObArray)
public:
    // Stores each element as a tagged object; loading replaces the contents (the
    // caller owns whatever was in the array before and what is loaded).
    void Serialize(CArchive& ar) override;
    // Loading that accepts only objects of the given class (or derived); anything
    // else is refused with the archive's bad-class exception.
    void Serialize(CArchive& ar, const CRuntimeClass* elementClass);
};

class CStringArray : public CObject, public CArray<CString> {
    DECLARE_SERIAL(CStringArray)
public:
    void Serialize(CArchive& ar) override;
};

class CDWordArray : public CObject, public CArray<DWORD, DWORD> {
    DECLARE_SERIAL(CDWordArray)
public:
    void Serialize(CArchive& ar) override;
};

class CUIntArray : public CObject, public CArray<UINT, UINT> {
    DECLARE_DYNAMIC(CUIntArray)
};

// Deletes every object of an owning CObArray and empties it.
void AfxDeleteObjects(CObArray& array);

// Text-to-text map. Iteration order is the insertion order (removal swaps in the last).
class CMapStringToString : public CObject {
    DECLARE_SERIAL(CMapStringToString)
public:
    explicit CMapStringToString(INT_PTR blockSize = 10) { (void)blockSize; }
    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_entries.size()); }
    INT_PTR GetSize() const { return GetCount(); }
    bool IsEmpty() const { return m_entries.empty(); }
    void InitHashTable(UINT size, BOOL = TRUE) { m_index.reserve(size); }
    BOOL Lookup(const wchar_t* key, CString& value) const;
    const CString* PLookup(const wchar_t* key) const;
    void SetAt(const wchar_t* key, const wchar_t* value);
    CString& operator[](const wchar_t* key);
    BOOL RemoveKey(const wchar_t* key);
    void RemoveAll();
    POSITION GetStartPosition() const;
    void GetNextAssoc(POSITION& pos, CString& key, CString& value) const;
    void Serialize(CArchive& ar) override;

private:
    std::vector<std::pair<CString, CString>> m_entries;
    std::unordered_map<CString, size_t> m_index;
};
