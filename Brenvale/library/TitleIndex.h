// The positions of a library's titles by id, kept beside the title list so that finding
// a title, or the place of the title a new one replaces, takes the same time in a
// library of any size. Ids are compared without regard to case, as CString::CompareNoCase
// compares them; where two titles share an id the first one counts.
#pragma once

#include "afx.h"

#include <string>
#include <unordered_map>

class CTitleIndex {
public:
    // Indexes every title of the list (CMediaObject records) afresh.
    void Rebuild(const CObArray& titles);
    void Clear() { m_positions.clear(); }
    // The position of the title with this id, or -1.
    INT_PTR Find(const wchar_t* id) const;
    // Notes a title appended at that position (a title of the same id keeps its place).
    void Add(const CString& id, INT_PTR position);
    INT_PTR GetCount() const { return static_cast<INT_PTR>(m_positions.size()); }

private:
    static std::wstring Key(const wchar_t* id);
    std::unordered_map<std::wstring, INT_PTR> m_positions;
};
