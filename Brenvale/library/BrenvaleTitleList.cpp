// What the views show: the titles a tree node selects, sorted by a column, and the groups
// of the tree (creators, subjects, languages).
#include "BrenvaleDoc.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

namespace {
// The last day of the year 9999: where a missing date sorts.
constexpr double kNoDate = 2958465.0;

int CompareText(const CString& a, const CString& b)
{
    const int result = ::CompareStringOrdinal(a, a.GetLength(), b, b.GetLength(), TRUE);
    return result == CSTR_LESS_THAN ? -1 : result == CSTR_GREATER_THAN ? 1 : 0;
}

int CompareNumbers(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }

double DateKey(const COleDateTime& date) { return date.GetStatus() == COleDateTime::valid ? date.m_dt : kNoDate; }

CString SourceName(const CMediaObject& title, const CObArray& sources)
{
    for (const CObject* object : sources) {
        const auto* source = static_cast<const CSourceObject*>(object);
        if (source && source->m_id.CompareNoCase(title.m_sourceId) == 0)
            return source->m_displayName;
    }
    return CString();
}

CString CreatorFileAs(const CMediaObject& title, int n)
{
    // The sort name of the creator the column shows first.
    const CCreatorObject* creator = GetColumnCreator(title.GetMetadata(), n, CBrenvaleDoc::CreatorRoles());
    return creator ? creator->m_fileAs : CString();
}

// A title with its sort key worked out once.
struct Keyed {
    CMediaObject* title;
    CString text;
    double number;
};

CString LowerKey(const CString& text)
{
    CString key = text;
    key.MakeLower();
    return key;
}

// Appends one record per distinct lower-cased key, the first met standing for it.
template <typename Record, typename KeyOf>
void CollectDistinct(const CObArray& titles, CObArray& out, CObArray CMetadataObject::*list, KeyOf keyOf,
                     bool (*keep)(const Record&))
{
    std::unordered_set<std::wstring> seen;
    for (const CObject* object : titles) {
        const auto* title = static_cast<const CMediaObject*>(object);
        if (!title)
            continue;
        for (CObject* element : title->GetMetadata().*list) {
            auto* record = static_cast<Record*>(element);
            if (!record || (keep && !keep(*record)))
                continue;
            if (seen.insert(LowerKey(keyOf(*record)).str()).second)
                out.Add(record);
        }
    }
}

template <typename Record, typename KeyOf>
void SortByKey(CObArray& records, KeyOf keyOf)
{
    std::vector<CObject*> items(records.begin(), records.end());
    std::sort(items.begin(), items.end(), [&](const CObject* a, const CObject* b) {
        return CompareText(keyOf(*static_cast<const Record*>(a)), keyOf(*static_cast<const Record*>(b))) < 0;
    });
    for (size_t i = 0; i < items.size(); ++i)
        records[static_cast<INT_PTR>(i)] = items[i];
}

bool IsListedCreator(const CCreatorObject& creator) { return CBrenvaleDoc::CreatorRoles().IsKnownCreatorRole(creator.m_role); }
}  // namespace

const CCreatorRoleSet& CBrenvaleDoc::CreatorRoles()
{
    static const CCreatorRoleSet roles;
    return roles;
}

int CBrenvaleDoc::CompareTitles(const CMediaObject* a, const CMediaObject* b, int column, const CObArray& sources)
{
    if (!a || !b)
        return 0;
    const CMetadataObject& ma = a->GetMetadata();
    const CMetadataObject& mb = b->GetMetadata();
    switch (column) {
    case kColumnTitle: return CompareText(ma.m_sortTitleDecoded, mb.m_sortTitleDecoded);
    case kColumnCreator1: return CompareText(CreatorFileAs(*a, 1), CreatorFileAs(*b, 1));
    case kColumnCreator2: return CompareText(CreatorFileAs(*a, 2), CreatorFileAs(*b, 2));
    case kColumnPublisher: return CompareText(ma.m_publisherDecoded, mb.m_publisherDecoded);
    case kColumnSource: return CompareText(SourceName(*a, sources), SourceName(*b, sources));
    case kColumnAcquired: return CompareNumbers(DateKey(a->m_acquiredDate), DateKey(b->m_acquiredDate));
    case kColumnLastPlayed: return CompareNumbers(DateKey(a->GetLastPlayedDate()), DateKey(b->GetLastPlayedDate()));
    case kColumnDuration: return CompareNumbers(a->GetTotalDuration(), b->GetTotalDuration());
    default: return 0;
    }
}

void CBrenvaleDoc::BuildTitleList(CObArray& titles, int kind, const CString& text, int sortColumn, BOOL ascending) const
{
    const CCollectionObject* collection = kind == kNodeCollection ? FindCollection(text) : nullptr;
    const CSourceObject* source = kind == kNodeSource ? FindSourceByName(text) : nullptr;
    if ((kind == kNodeCollection && !collection) || (kind == kNodeSource && !source))
        return;
    std::vector<Keyed> picked;
    for (CObject* object : m_titles) {
        auto* title = static_cast<CMediaObject*>(object);
        if (!title)
            continue;
        const CMetadataObject& metadata = title->GetMetadata();
        // A title without a metadata record of its own: nothing to show it by.
        if (metadata.m_title.IsEmpty() && metadata.m_sortTitle.IsEmpty() && metadata.m_creators.IsEmpty())
            continue;
        bool match = false;
        switch (kind) {
        case kNodeAllTitles:
            match = true;
            break;
        case kNodeCollection:
            for (INT_PTR i = 0; i < collection->m_members.GetSize() && !match; ++i)
                match = collection->m_members[i].CompareNoCase(title->m_mediaId) == 0;
            break;
        case kNodeCreator:
            for (const CObject* c : metadata.m_creators)
                match = match || (c && static_cast<const CCreatorObject*>(c)->m_displayName.CompareNoCase(text) == 0);
            break;
        case kNodeSubject:
            for (const CObject* c : metadata.m_subjects)
                match = match || (c && static_cast<const CSubjectObject*>(c)->m_subject.CompareNoCase(text) == 0);
            break;
        case kNodeLanguage:
            for (const CObject* c : metadata.m_languages)
                match = match || (c && static_cast<const CLanguageObject*>(c)->m_name.CompareNoCase(text) == 0);
            break;
        case kNodeSource:
            match = title->m_sourceId.CompareNoCase(source->m_id) == 0;
            break;
        default:
            break;
        }
        if (!match)
            continue;
        Keyed keyed{title, CString(), 0};
        switch (sortColumn) {
        case kColumnTitle: keyed.text = metadata.m_sortTitleDecoded; break;
        case kColumnCreator1: keyed.text = CreatorFileAs(*title, 1); break;
        case kColumnCreator2: keyed.text = CreatorFileAs(*title, 2); break;
        case kColumnPublisher: keyed.text = metadata.m_publisherDecoded; break;
        case kColumnSource: keyed.text = SourceName(*title, m_sources); break;
        case kColumnAcquired: keyed.number = DateKey(title->m_acquiredDate); break;
        case kColumnLastPlayed: keyed.number = DateKey(title->GetLastPlayedDate()); break;
        case kColumnDuration: keyed.number = title->GetTotalDuration(); break;
        default: break;
        }
        picked.push_back(keyed);
    }
    const bool byText = sortColumn >= kColumnTitle && sortColumn <= kColumnSource;
    const bool byNumber = sortColumn >= kColumnAcquired && sortColumn <= kColumnDuration;
    if (byText || byNumber) {
        std::sort(picked.begin(), picked.end(), [&](const Keyed& a, const Keyed& b) {
            const int result = byText ? CompareText(a.text, b.text) : CompareNumbers(a.number, b.number);
            return ascending ? result < 0 : result > 0;
        });
    }
    for (const Keyed& keyed : picked)
        titles.Add(keyed.title);
}

void CBrenvaleDoc::CollectCreators(CObArray& creators) const
{
    CObArray found;
    CollectDistinct<CCreatorObject>(m_titles, found, &CMetadataObject::m_creators,
                                    [](const CCreatorObject& c) { return c.m_displayName; }, IsListedCreator);
    SortByKey<CCreatorObject>(found, [](const CCreatorObject& c) { return c.m_fileAs; });
    creators.Append(found);
}

void CBrenvaleDoc::CollectSubjects(CObArray& subjects) const
{
    CObArray found;
    CollectDistinct<CSubjectObject>(m_titles, found, &CMetadataObject::m_subjects,
                                    [](const CSubjectObject& s) { return s.m_subject; }, nullptr);
    SortByKey<CSubjectObject>(found, [](const CSubjectObject& s) { return s.m_subject; });
    subjects.Append(found);
}

void CBrenvaleDoc::CollectLanguages(CObArray& languages) const
{
    CObArray found;
    CollectDistinct<CLanguageObject>(m_titles, found, &CMetadataObject::m_languages,
                                     [](const CLanguageObject& l) { return l.m_name; }, nullptr);
    SortByKey<CLanguageObject>(found, [](const CLanguageObject& l) { return l.m_name; });
    languages.Append(found);
}
