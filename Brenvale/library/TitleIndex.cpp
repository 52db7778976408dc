#include "TitleIndex.h"

#include "ConsoleMediaObject.h"

#include <cwctype>

std::wstring CTitleIndex::Key(const wchar_t* id)
{
    // The same folding as the comparison without regard to case: character by character.
    std::wstring key(id ? id : L"");
    for (wchar_t& ch : key)
        ch = static_cast<wchar_t>(std::towlower(ch));
    return key;
}

void CTitleIndex::Rebuild(const CObArray& titles)
{
    m_positions.clear();
    m_positions.reserve(static_cast<size_t>(titles.GetSize()));
    for (INT_PTR i = 0; i < titles.GetSize(); ++i)
        Add(static_cast<const CMediaObject*>(titles[i])->m_mediaId, i);
}

INT_PTR CTitleIndex::Find(const wchar_t* id) const
{
    if (!id)
        return -1;
    const auto found = m_positions.find(Key(id));
    return found == m_positions.end() ? -1 : found->second;
}

void CTitleIndex::Add(const CString& id, INT_PTR position) { m_positions.emplace(Key(id), position); }
