#include "ConsoleMediaObject.h"

#include "XmlNode.h"
#include "res/BrenvaleIds.h"
#include "res/MediaCoreIds.h"

#include <algorithm>

IMPLEMENT_SERIAL(CMediaObject, CMediaObjectBase, 0)
IMPLEMENT_SERIAL(CCollectionObject, CObject, 0)

namespace {
constexpr WORD kConsoleMediaObjectVersion = 3;
constexpr WORD kCollectionVersion = 1;
}  // namespace

const COrderFileMessages& ConsoleOrderFileMessages()
{
    static const COrderFileMessages messages = {
        IDS_CONSOLE_ORDER_INVALID_FORMAT,
        IDS_CONSOLE_ORDER_BAD_ROOT,
        IDS_CONSOLE_NO_MEDIA_ID,
        IDS_CONSOLE_NO_METADATA,
        IDS_CONSOLE_NO_PROTOCOL,
        IDS_CONSOLE_NO_PART,
        IDS_CONSOLE_NO_TITLE,
        IDS_CONSOLE_NO_SORT_TITLE,
        IDS_CONSOLE_NO_CREATOR_NAME,
        IDS_CONSOLE_NO_CREATOR_FILE_AS,
        IDS_CONSOLE_NO_CREATOR_ROLE,
        IDS_CONSOLE_NO_SUBJECT_NAME,
        IDS_CONSOLE_NO_LANGUAGE_NAME,
        IDS_CONSOLE_NO_LANGUAGE_CODE,
        IDS_CONSOLE_NO_PROTOCOL_METHOD,
        IDS_CONSOLE_NO_PROTOCOL_URL,
        IDS_CONSOLE_NO_PART_NUMBER,
        IDS_CONSOLE_NO_PART_FILE_SIZE,
        IDS_CONSOLE_NO_PART_NAME,
        IDS_CONSOLE_NO_PART_FILE_NAME,
        IDS_CONSOLE_NO_SOURCE_ID,
        IDS_CONSOLE_NO_SOURCE_NAME,
        IDS_CONSOLE_NO_SOURCE_WEBSITE,
        IDS_CONSOLE_UNSUPPORTED_TYPE,
        0,  // the console accepts standard-video titles
        IDS_CONSOLE_PART_FILE_SIZE_NOT_BYTES,
    };
    return messages;
}

BOOL CMediaObject::ParseMediaOrderFile(const CXmlNode* root, CString& error)
{
    const COrderFileMessages& messages = ConsoleOrderFileMessages();
    if (!ParseIdentity(root, error, messages))
        return FALSE;
    m_orderLicense = ReadOrderLicense(root);
    if (!ParseMetadataElement(root, error, messages))
        return FALSE;
    root->GetChildText(L"TransactionID", m_transactionId, TRUE);
    root->GetChildText(L"EarlyReturnURL", m_earlyReturnUrl, TRUE);
    root->GetChildText(L"DownloadSuccessURL", m_downloadSuccessUrl, TRUE);
    return ParseProtocolsAndParts(root, error, messages);
}

void CMediaObject::Serialize(CArchive& ar)
{
    const WORD version = SerializeRecordVersion(ar, kConsoleMediaObjectVersion);
    SerializeCommon(ar);
    if (ar.IsStoring()) {
        ar << m_licenseText << m_transactionId << m_earlyReturnUrl << m_downloadSuccessUrl;
        return;
    }
    if (version >= 2)
        ar >> m_licenseText;
    if (version >= 3)
        ar >> m_transactionId >> m_earlyReturnUrl >> m_downloadSuccessUrl;
    DeriveContentKindFromParts();
}

CString CMediaObject::GetPlaylistPath() const
{
    CString path;
    if (m_titleFolder.IsEmpty())
        path.Format(L"%s\\%s", static_cast<const wchar_t*>(m_baseFolder), static_cast<const wchar_t*>(m_fileName));
    else
        path.Format(L"%s\\%s\\%s.wax", static_cast<const wchar_t*>(m_baseFolder),
                    static_cast<const wchar_t*>(m_titleFolder), static_cast<const wchar_t*>(m_titleFolder));
    return path;
}

INT_PTR CCollectionObject::AddMedia(const wchar_t* id) { return id ? m_members.Add(CString(id)) : -1; }

void CCollectionObject::RemoveMedia(const wchar_t* id)
{
    if (!id)
        return;
    for (INT_PTR i = 0; i < m_members.GetSize(); ++i) {
        if (m_members[i] == id) {
            m_members.RemoveAt(i);
            return;
        }
    }
}

void CCollectionObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kCollectionVersion);
    if (ar.IsStoring()) {
        ar << m_name;
        m_members.Serialize(ar);
        return;
    }
    ar >> m_name;
    m_members.Serialize(ar);
    if (m_name.IsEmpty())
        m_name = L"(Empty)";
}

CCreatorRoleSet::CCreatorRoleSet() { Fill(AfxLoadString(IDS_CREATOR_ROLES)); }

CCreatorRoleSet::CCreatorRoleSet(const CString& roles) { Fill(roles); }

void CCreatorRoleSet::Fill(const CString& roles)
{
    int position = 0;
    while (position >= 0 && position < roles.GetLength()) {
        int bar = roles.Find(L'|', position);
        CString piece = bar < 0 ? roles.Mid(position) : roles.Mid(position, bar - position);
        piece.Trim();
        piece.MakeLower();
        if (!piece.IsEmpty())
            m_roles.SetAt(piece, L"1");
        position = bar < 0 ? -1 : bar + 1;
    }
}

bool CCreatorRoleSet::IsKnownCreatorRole(const CString& role) const
{
    CString key(role);
    key.MakeLower();
    return m_roles.PLookup(key) != nullptr;
}

CCreatorObject* GetCreator(const CMetadataObject& metadata, int n, const CCreatorRoleSet& roles)
{
    if (n < 1)
        return nullptr;
    int counted = 0;
    for (CObject* object : metadata.m_creators) {
        auto* creator = static_cast<CCreatorObject*>(object);
        if (creator && roles.IsKnownCreatorRole(creator->m_role) && ++counted == n)
            return creator;
    }
    return nullptr;
}

const CCreatorObject* GetColumnCreator(const CMetadataObject& metadata, int column, const CCreatorRoleSet& roles)
{
    for (const CObject* object : metadata.m_creators) {
        const auto* creator = static_cast<const CCreatorObject*>(object);
        if (creator && roles.IsKnownCreatorRole(creator->m_role) && (creator->m_role == L"Author") == (column == 1))
            return creator;
    }
    return nullptr;
}

namespace {
int CompareTexts(const CObject* a, const CObject* b, const CString& (*text)(const CObject*))
{
    if (!a || !b)
        return 0;
    return text(a).CompareNoCase(text(b));
}
}  // namespace

int CompareCollectionNames(const CObject* a, const CObject* b)
{
    return CompareTexts(a, b, [](const CObject* o) -> const CString& {
        return static_cast<const CCollectionObject*>(o)->m_name;
    });
}

int CompareSourceNames(const CObject* a, const CObject* b)
{
    return CompareTexts(a, b, [](const CObject* o) -> const CString& {
        return static_cast<const CSourceObject*>(o)->m_displayName;
    });
}

int CompareTitleIds(const CObject* a, const CObject* b)
{
    return CompareTexts(a, b, [](const CObject* o) -> const CString& {
        return static_cast<const CMediaObject*>(o)->m_mediaId;
    });
}

void SortRecords(CObArray& records, int (*compare)(const CObject*, const CObject*))
{
    // Nulls would break the ordering the sort needs; they go to the end.
    auto firstNull = std::stable_partition(records.begin(), records.end(), [](CObject* o) { return o != nullptr; });
    std::stable_sort(records.begin(), firstNull,
                     [compare](const CObject* a, const CObject* b) { return compare(a, b) < 0; });
}
