#include "MediaObjectBase.h"

#include "ElementListParser.h"
#include "XmlNode.h"

#include <algorithm>
#include <climits>
#include <memory>

IMPLEMENT_DYNAMIC(CMediaObjectBase, CObject)

CMediaObjectBase::CMediaObjectBase() : m_acquiredDate(COleDateTime::GetCurrentTime())
{
    m_lastPlayedDate.SetStatus(COleDateTime::null);
}

CMediaObjectBase::~CMediaObjectBase()
{
    AfxDeleteObjects(m_protocols);
    AfxDeleteObjects(m_parts);
}

INT_PTR CMediaObjectBase::AddProtocol(CProtocolObject* protocol) { return protocol ? m_protocols.Add(protocol) : -1; }
INT_PTR CMediaObjectBase::AddPart(CPartObject* part) { return part ? m_parts.Add(part) : -1; }

CPartObject* CMediaObjectBase::GetPart(INT_PTR index) const
{
    return index >= 0 && index < m_parts.GetSize() ? static_cast<CPartObject*>(m_parts[index]) : nullptr;
}

CProtocolObject* CMediaObjectBase::GetProtocol(INT_PTR index) const
{
    return index >= 0 && index < m_protocols.GetSize() ? static_cast<CProtocolObject*>(m_protocols[index]) : nullptr;
}

namespace {
void SetIfNotNull(CString& field, const wchar_t* value)
{
    if (value)
        field = value;
}
}  // namespace

void CMediaObjectBase::SetMediaId(const wchar_t* id) { SetIfNotNull(m_mediaId, id); }
void CMediaObjectBase::SetSourceId(const wchar_t* id) { SetIfNotNull(m_sourceId, id); }
void CMediaObjectBase::SetTitleFolder(const wchar_t* folder) { SetIfNotNull(m_titleFolder, folder); }
void CMediaObjectBase::SetBaseFolder(const wchar_t* folder) { SetIfNotNull(m_baseFolder, folder); }
void CMediaObjectBase::SetFileName(const wchar_t* name) { SetIfNotNull(m_fileName, name); }

void CMediaObjectBase::SetAcquiredDate(const COleDateTime& date)
{
    if (date.GetStatus() == COleDateTime::valid)
        m_acquiredDate = date;
}

void CMediaObjectBase::SetLastPlayedDate(const COleDateTime& date)
{
    if (date.GetStatus() == COleDateTime::valid)
        m_lastPlayedDate = date;
}

CString CMediaObjectBase::GetMediaOrderFilePath() const
{
    CString path;
    if (m_titleFolder.IsEmpty())
        path.Format(L"%s\\%s", static_cast<const wchar_t*>(m_baseFolder), static_cast<const wchar_t*>(m_fileName));
    else
        path.Format(L"%s\\%s\\%s.vpm", static_cast<const wchar_t*>(m_baseFolder),
                    static_cast<const wchar_t*>(m_titleFolder), static_cast<const wchar_t*>(m_titleFolder));
    return path;
}

CString CMediaObjectBase::GetThumbnailPath(const CString& root, BOOL asFolderPicture) const
{
    const CString extension = UrlFileExtension(m_metadata.m_thumbnailUrl, L".jpg");
    CString path;
    if (m_titleFolder.IsEmpty())
        path.Format(L"%s\\Thumbnails\\%s%s", static_cast<const wchar_t*>(root),
                    static_cast<const wchar_t*>(SafeFileNameComponent(m_mediaId)),
                    static_cast<const wchar_t*>(extension));
    else if (asFolderPicture)
        path.Format(L"%s\\%s\\folder%s", static_cast<const wchar_t*>(m_baseFolder),
                    static_cast<const wchar_t*>(m_titleFolder), static_cast<const wchar_t*>(extension));
    else
        path.Format(L"%s\\%s\\%s%s", static_cast<const wchar_t*>(m_baseFolder),
                    static_cast<const wchar_t*>(m_titleFolder), static_cast<const wchar_t*>(m_titleFolder),
                    static_cast<const wchar_t*>(extension));
    return path;
}

CString CMediaObjectBase::GetCoverPath(const CString& root) const
{
    // "-Cover" goes before the extension the thumbnail path ends with.
    const CString path = GetThumbnailPath(root, FALSE);
    const int extensionLength = UrlFileExtension(m_metadata.m_thumbnailUrl, L".jpg").GetLength();
    if (path.GetLength() <= extensionLength)
        return CString();
    return path.Left(path.GetLength() - extensionLength) + L"-Cover" + path.Right(extensionLength);
}

CString CMediaObjectBase::GetContentKindName() const { return GetContentKindDisplayName(m_metadata.GetContentKind()); }

CString FindCoverImage(const CString& path)
{
    // The "-" or "." is looked for in the file name only, never in a folder name.
    const int nameStart = std::max(path.ReverseFind(L'\\'), path.ReverseFind(L'/')) + 1;
    const CString name = path.Mid(nameStart);
    int cut = name.ReverseFind(L'-');
    if (cut < 0)
        cut = name.ReverseFind(L'.');
    const CString base = cut < 0 ? path : path.Left(nameStart + cut);
    for (const wchar_t* extension : {L".jpg", L".gif", L".png", L".bmp", L".tif"}) {
        const CString candidate = base + extension;
        const DWORD attributes = GetFileAttributesW(candidate);
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return candidate;
    }
    CString message;
    message.Format(L"Album Art image file not found.\n%s(jpg|gif|bmp|tif)", static_cast<const wchar_t*>(base));
    AfxMessageBox(message, MB_OK);
    return CString();
}

int DurationTextToSeconds(const CString& duration)
{
    const int lastColon = duration.ReverseFind(L':');
    if (duration.IsEmpty() || lastColon < 0)
        return 0;
    const long long seconds = _wtoi64(duration.Mid(lastColon + 1));
    const CString before = duration.Left(lastColon);
    const int minutesColon = before.ReverseFind(L':');
    long long minutes, hours = 0;
    if (minutesColon < 0) {
        minutes = _wtoi64(before);
    } else {
        minutes = _wtoi64(before.Mid(minutesColon + 1));
        hours = _wtoi64(before.Left(minutesColon));
    }
    const long long total = hours * 3600 + minutes * 60 + seconds;
    return total > INT_MAX ? INT_MAX : (total < 0 ? 0 : static_cast<int>(total));
}

int CMediaObjectBase::GetTotalDuration() const
{
    long long total = 0;
    for (CObject* part : m_parts)
        total += DurationTextToSeconds(static_cast<CPartObject*>(part)->m_duration);
    return total > INT_MAX ? INT_MAX : static_cast<int>(total);
}

CString CMediaObjectBase::FormatTotalDuration() const
{
    const int total = GetTotalDuration();
    CString text;
    if (total <= 0)
        return text;
    const int hours = total / 3600;
    const int minutes = total % 3600 / 60;
    const int seconds = total % 60;
    if (hours == 0)
        text.Format(L"%.2d:%.2d", minutes, seconds);
    else
        text.Format(L"%d:%.2d:%.2d", hours, minutes, seconds);
    return text;
}

COleDateTime CMediaObjectBase::GetAcquiredDateUtc() const
{
    if (m_acquiredDate.GetStatus() != COleDateTime::valid)
        return m_acquiredDate;
    return m_acquiredDate - AfxLocalTimeBias();
}

void CMediaObjectBase::DeriveContentKindFromParts()
{
    if (m_metadata.GetContentKind() == KindNone && !m_parts.IsEmpty())
        m_metadata.SetContentKind(ContentKindFromFileName(GetPart(0)->m_fileName));
}

void CMediaObjectBase::SerializeCommon(CArchive& ar)
{
    if (ar.IsStoring()) {
        ar << m_mediaId << m_sourceId << m_titleFolder << m_selectedMethod << m_baseFolder << m_fileName;
        ar << m_acquiredDate << m_lastPlayedDate;
        m_metadata.Serialize(ar);
        m_protocols.Serialize(ar);
        m_parts.Serialize(ar);
        return;
    }
    ar >> m_mediaId >> m_sourceId >> m_titleFolder >> m_selectedMethod >> m_baseFolder >> m_fileName;
    ar >> m_acquiredDate >> m_lastPlayedDate;
    m_metadata.Serialize(ar);
    LoadRecordList(ar, m_protocols, RUNTIME_CLASS(CProtocolObject));
    LoadRecordList(ar, m_parts, RUNTIME_CLASS(CPartObject));
}

CString CMediaObjectBase::ReadOrderLicense(const CXmlNode* root)
{
    CString license;
    root->GetChildText(L"WMLicense", license, TRUE);
    if (license.IsEmpty())
        root->GetChildText(L"License", license, TRUE);
    return license;
}

BOOL CMediaObjectBase::ParseIdentity(const CXmlNode* root, CString& error, const COrderFileMessages& messages)
{
    if (!root || root->GetName().CompareNoCase(L"VesperlinMedia") != 0)
        return FALSE;
    CString id;
    if (!root->GetAttribute(L"id", id) || id.IsEmpty()) {
        error.LoadString(messages.noMediaId);
        return FALSE;
    }
    m_mediaId = id;
    return TRUE;
}

BOOL CMediaObjectBase::ParseMetadataElement(const CXmlNode* root, CString& error, const COrderFileMessages& messages)
{
    CXmlNode metadata;
    if (!root->FindChild(L"Metadata", metadata)) {
        error.LoadString(messages.noMetadata);
        return FALSE;
    }
    return m_metadata.ParseMetadata(&metadata, error, messages);
}

BOOL CMediaObjectBase::ParseProtocolsAndParts(const CXmlNode* root, CString& error, const COrderFileMessages& messages)
{
    const ElementListResult protocols = ParseElementList<CProtocolObject>(
        *root, L"Protocol", error, [this](CProtocolObject* p) { AddProtocol(p); },
        [&](CProtocolObject& p, const CXmlNode* n, CString& e) { return p.ParseProtocol(n, e, messages); });
    if (!protocols.searched || protocols.found == 0) {
        error.LoadString(messages.noProtocol);
        return FALSE;
    }
    if (!protocols.parsed)
        return FALSE;
    const ElementListResult parts = ParseElementList<CPartObject>(
        *root, L"Part", error, [this](CPartObject* p) { AddPart(p); },
        [&](CPartObject& p, const CXmlNode* n, CString& e) { return p.ParsePart(n, e, messages); });
    if (!parts.searched || parts.found == 0) {
        error.LoadString(messages.noPart);
        return FALSE;
    }
    return parts.parsed ? TRUE : FALSE;
}
