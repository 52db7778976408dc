#include "MediaElements.h"

#include "ElementListParser.h"
#include "FileUtils.h"
#include "MediaObjectBase.h"
#include "XmlNode.h"
#include "res/MediaCoreIds.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <memory>

IMPLEMENT_SERIAL(CCreatorObject, CObject, 0)
IMPLEMENT_SERIAL(CSubjectObject, CObject, 0)
IMPLEMENT_SERIAL(CLanguageObject, CObject, 0)
IMPLEMENT_SERIAL(CProtocolObject, CObject, 0)
IMPLEMENT_SERIAL(CPartObject, CObject, 0)
IMPLEMENT_SERIAL(CSourceObject, CObject, 0)
IMPLEMENT_SERIAL(CMetadataObject, CObject, 0)

namespace {

// Record versions written by this program.
constexpr WORD kCreatorVersion = 1;
constexpr WORD kSubjectVersion = 1;
constexpr WORD kLanguageVersion = 1;
constexpr WORD kProtocolVersion = 1;
// Parts of version 4 hold their file size in 64 bits; older ones in 32.
constexpr WORD kPartVersion = 4;
constexpr WORD kSourceVersion = 1;
constexpr WORD kMetadataVersion = 4;

}  // namespace

WORD SerializeRecordVersion(CArchive& ar, WORD current)
{
    if (ar.IsStoring()) {
        ar << current;
        return current;
    }
    WORD version;
    ar >> version;
    if (version > current)
        AfxThrowArchiveException(CArchiveException::badSchema, ar.m_strFileName);
    return version;
}

namespace {

// Checks that a node is the element a parser expects (name compared without case).
bool IsElement(const CXmlNode* node, const wchar_t* name)
{
    return node && node->GetName().CompareNoCase(name) == 0;
}

// Fails with a message from the string table.
BOOL Fail(CString& error, UINT id)
{
    error.LoadString(id);
    return FALSE;
}

// A required attribute: present and not empty.
bool RequiredAttribute(const CXmlNode* node, const wchar_t* name, CString& value)
{
    CString read;
    if (!node->GetAttribute(name, read) || read.IsEmpty())
        return false;
    value = read;
    return true;
}

// An optional element's text: empty when the element is absent; false when it is present
// but its text cannot be read (a NUL in it), which refuses the file as a required one would.
bool OptionalText(const CXmlNode* node, const wchar_t* name, BOOL decode, CString& text)
{
    text.Empty();
    CXmlNode child;
    if (!node->FindChild(name, child))
        return true;
    return child.TakeText(decode, text);
}

// The leading integer of a text, as the C library reads it, held within 32 bits.
int TextToInt(const CString& text)
{
    const long long value = _wtoi64(text);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace

void LoadRecordList(CArchive& ar, CObArray& list, const CRuntimeClass* recordClass)
{
    AfxDeleteObjects(list);
    list.Serialize(ar, recordClass);
    list.SetSize(std::remove(list.begin(), list.end(), nullptr) - list.begin());
}

// Content kinds ----------------------------------------------------------------------

int ContentKindFromName(const CString& name)
{
    static const struct {
        const wchar_t* name;
        int kind;
    } kNames[] = {
        {L"Audio Book", KindAudiobook},
        {L"Audiobook", KindAudiobook},
        {L"Music", KindMusic},
        {L"WMA Music", KindMusic},
        {L"Video", KindVideo},
        {L"WMV Video", KindVideo},
        {L"Video (standard)", KindVideo},
        {L"WMV Video (standard)", KindVideo},
        {L"Mobile Video", KindMobileVideo},
        {L"WMV Mobile Video", KindMobileVideo},
        {L"Video (mobile)", KindMobileVideo},
        {L"WMV Video (mobile)", KindMobileVideo},
        {L"Game", KindGame},
        {L"MP3 Audio Book", KindMp3Audiobook},
        {L"MP3 Audiobook", KindMp3Audiobook},
        {L"MP3 Music", KindMp3Music},
        {L"StreamingVideo", KindStreamingVideo},
        {L"Streaming Video", KindStreamingVideo},
    };
    for (const auto& entry : kNames)
        if (name.CompareNoCase(entry.name) == 0)
            return entry.kind;
    if (name.Find(L"Audio") >= 0 || name.Find(L"audio") >= 0)
        return KindAudiobook;
    return KindNone;
}

CString GetContentKindDisplayName(int kind)
{
    UINT id;
    switch (kind) {
    case KindAudiobook: id = IDS_KIND_AUDIOBOOK; break;
    case KindMusic: id = IDS_KIND_MUSIC; break;
    case KindVideo: id = IDS_KIND_VIDEO; break;
    case KindMobileVideo: id = IDS_KIND_MOBILE_VIDEO; break;
    case KindGame: id = IDS_KIND_GAME; break;
    case KindMp3Audiobook: id = IDS_KIND_MP3_AUDIOBOOK; break;
    case KindMp3Music: id = IDS_KIND_MP3_MUSIC; break;
    default: id = IDS_KIND_UNKNOWN; break;
    }
    return AfxLoadString(id);
}

int ContentKindFromFileName(const CString& fileName)
{
    CString name(fileName);
    name.MakeLower();
    static const struct {
        const wchar_t* code;
        int kind;
    } kCodes[] = {
        {L"fmt325-", KindGame},     {L"fmt40-", KindMobileVideo},   {L"fmt35-", KindVideo},
        {L"fmt30-", KindMusic},     {L"fmt425-", KindMp3Audiobook}, {L"fmt430-", KindMp3Music},
    };
    for (const auto& entry : kCodes)
        if (name.Find(entry.code) >= 0)
            return entry.kind;
    return KindAudiobook;
}

void SetRawAndDecoded(const wchar_t* raw, CString& rawField, CString& decodedField)
{
    if (!raw)
        return;
    rawField = raw;
    decodedField = rawField.IsEmpty() ? CString() : DecodeXmlText(rawField);
}

// CCreatorObject ----------------------------------------------------------------------

void CCreatorObject::SetName(const wchar_t* name) { SetRawAndDecoded(name, m_name, m_displayName); }

void CCreatorObject::SetFileAs(const wchar_t* fileAs)
{
    if (fileAs)
        m_fileAs = fileAs;
}

void CCreatorObject::SetRole(const wchar_t* role)
{
    if (role)
        m_role = role;
}

BOOL CCreatorObject::ParseCreator(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Creator"))
        return FALSE;
    const CString name = node->GetText(FALSE);
    if (name.IsEmpty())
        return Fail(error, messages.noCreatorName);
    SetName(name);
    if (!RequiredAttribute(node, L"file-as", m_fileAs))
        return Fail(error, messages.noCreatorFileAs);
    if (!RequiredAttribute(node, L"role", m_role))
        return Fail(error, messages.noCreatorRole);
    return TRUE;
}

void CCreatorObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kCreatorVersion);
    if (ar.IsStoring()) {
        ar << m_name << m_fileAs << m_role;
    } else {
        CString name;
        ar >> name >> m_fileAs >> m_role;
        SetName(name);
    }
}

// CSubjectObject ----------------------------------------------------------------------

BOOL CSubjectObject::ParseSubject(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Subject"))
        return FALSE;
    m_subject = node->GetText(TRUE);
    if (m_subject.IsEmpty())
        return Fail(error, messages.noSubjectName);
    CString id;
    m_id = node->GetAttribute(L"id", id) && !id.IsEmpty() ? TextToInt(id) : 0;
    return TRUE;
}

void CSubjectObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kSubjectVersion);
    if (ar.IsStoring())
        ar << m_id << m_subject;
    else
        ar >> m_id >> m_subject;
}

// CLanguageObject ---------------------------------------------------------------------

BOOL CLanguageObject::ParseLanguage(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Language"))
        return FALSE;
    m_name = node->GetText(TRUE);
    if (m_name.IsEmpty())
        return Fail(error, messages.noLanguageName);
    if (!RequiredAttribute(node, L"code", m_code))
        return Fail(error, messages.noLanguageCode);
    return TRUE;
}

void CLanguageObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kLanguageVersion);
    if (ar.IsStoring())
        ar << m_code << m_name;
    else
        ar >> m_code >> m_name;
}

// CProtocolObject ---------------------------------------------------------------------

void CProtocolObject::SetMethod(const wchar_t* method)
{
    if (method)
        m_method = method;
}

void CProtocolObject::SetBaseUrl(const wchar_t* url)
{
    if (url)
        m_baseUrl = url;
}

BOOL CProtocolObject::ParseProtocol(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Protocol"))
        return FALSE;
    if (!RequiredAttribute(node, L"method", m_method))
        return Fail(error, messages.noProtocolMethod);
    if (!RequiredAttribute(node, L"baseurl", m_baseUrl))
        return Fail(error, messages.noProtocolUrl);
    return TRUE;
}

void CProtocolObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kProtocolVersion);
    if (ar.IsStoring())
        ar << m_method << m_baseUrl;
    else
        ar >> m_method >> m_baseUrl;
}

// CPartObject -------------------------------------------------------------------------

void CPartObject::SetDuration(const wchar_t* duration)
{
    if (duration) {
        m_duration = duration;
        m_duration.Trim();
    }
}

BOOL CPartObject::ParsePart(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Part"))
        return FALSE;
    CString text;
    if (!RequiredAttribute(node, L"number", text))
        return Fail(error, messages.noPartNumber);
    m_number = TextToInt(text);
    // The download's completeness check rests on the size: a size that is given but is not
    // a plain count of bytes (negative, signed, hexadecimal, other digits, past 63 bits) is
    // refused as such, a missing or blank one as missing.
    ULONGLONG size = 0;
    if (!RequiredAttribute(node, L"filesize", text) || CString(text).Trim().IsEmpty())
        return Fail(error, messages.noPartFileSize);
    if (!ParseByteCount(text, size))
        return Fail(error, messages.partFileSizeNotBytes);
    m_fileSize = static_cast<LONGLONG>(size);
    if (!RequiredAttribute(node, L"name", m_name))
        return Fail(error, messages.noPartName);
    if (!RequiredAttribute(node, L"filename", m_fileName))
        return Fail(error, messages.noPartFileName);
    if (node->GetAttribute(L"duration", text))
        SetDuration(text);
    return TRUE;
}

void CPartObject::Serialize(CArchive& ar)
{
    const WORD version = SerializeRecordVersion(ar, kPartVersion);
    if (ar.IsStoring()) {
        ar << m_number << m_fileSize << m_name << m_fileName << m_duration;
        return;
    }
    ar >> m_number;
    if (version >= 4) {
        ar >> m_fileSize;
    } else {
        int size;
        ar >> size;
        m_fileSize = size;
    }
    // A negative size cannot be a count of bytes: it is read as unknown, as an order file
    // without a size would be.
    if (m_fileSize < 0)
        m_fileSize = 0;
    ar >> m_name >> m_fileName;
    if (version == 2) {
        int dropped;
        ar >> dropped;  // a field of the second version that is no longer kept
    }
    if (version >= 3)
        ar >> m_duration;
}

CString CPartObject::GetFilePath(const CMediaObjectBase* title) const
{
    if (!title)
        return CString();
    CString path;
    if (title->m_titleFolder.IsEmpty()) {
        path.Format(L"%s\\Media\\%s", static_cast<const wchar_t*>(title->m_baseFolder),
                    static_cast<const wchar_t*>(SafeFileNameComponent(m_fileName)));
        return path;
    }
    const wchar_t* extension;
    switch (title->GetMetadata().GetContentKind()) {
    case KindVideo:
    case KindMobileVideo: extension = L".wmv"; break;
    case KindGame: extension = L".exe"; break;
    case KindMp3Audiobook:
    case KindMp3Music: extension = L".mp3"; break;
    default: extension = L".wma"; break;
    }
    path.Format(L"%s\\%s\\%s-Part%.2d%s", static_cast<const wchar_t*>(title->m_baseFolder),
                static_cast<const wchar_t*>(title->m_titleFolder), static_cast<const wchar_t*>(title->m_titleFolder),
                m_number, extension);
    return path;
}

// CSourceObject -----------------------------------------------------------------------

void CSourceObject::SetName(const wchar_t* name)
{
    if (!name)
        return;
    m_name = name;
    m_displayName = DecodeXmlText(m_name);
}

BOOL CSourceObject::ParseSource(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Source"))
        return FALSE;
    if (!RequiredAttribute(node, L"id", m_id))
        return Fail(error, messages.noSourceId);
    CString text;
    if (!node->GetChildText(L"Name", text, TRUE) || text.IsEmpty())
        return Fail(error, messages.noSourceName);
    SetName(text);
    if (!node->GetChildText(L"WebsiteUrl", m_websiteUrl, TRUE) || m_websiteUrl.IsEmpty())
        return Fail(error, messages.noSourceWebsite);
    if (!OptionalText(node, L"BannerUrl", TRUE, m_bannerUrl) ||
        !OptionalText(node, L"AccentColor", TRUE, m_accentColor))
        return Fail(error, messages.invalidFormat);
    return TRUE;
}

void CSourceObject::Serialize(CArchive& ar)
{
    SerializeRecordVersion(ar, kSourceVersion);
    if (ar.IsStoring()) {
        ar << m_id << m_name << m_websiteUrl << m_bannerUrl << m_accentColor;
    } else {
        CString name;
        ar >> m_id >> name >> m_websiteUrl >> m_bannerUrl >> m_accentColor;
        SetName(name);
    }
}

CString CSourceObject::GetBannerPath(const CString& folder, BOOL deleteExisting) const
{
    CString base(folder);
    const bool useTemp = base.IsEmpty();
    if (useTemp) {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        base = (length > 0 && length <= MAX_PATH) ? CString(temp) : CString(L".");
    }
    CString path = GetBannerPath(base);
    if (deleteExisting && useTemp && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        DeleteFileW(path);
    return path;
}

CString CSourceObject::GetBannerPath(const CString& folder) const
{
    CString base(folder);
    if (!base.IsEmpty() && base[base.GetLength() - 1] == L'\\')
        base.Truncate(base.GetLength() - 1);
    CString path;
    path.Format(L"%s\\Banners\\%s%s", static_cast<const wchar_t*>(base),
                static_cast<const wchar_t*>(SafeFileNameComponent(m_id)),
                static_cast<const wchar_t*>(UrlFileExtension(m_bannerUrl, L"")));
    return path;
}

COLORREF CSourceObject::GetAccentColor() const
{
    constexpr COLORREF kDefault = 16764057;  // red 153, green 204, blue 255
    if (m_accentColor.GetLength() != 7 || m_accentColor[0] != L'#')
        return kDefault;
    for (int i = 1; i < 7; ++i)
        if (!iswxdigit(m_accentColor[i]))
            return kDefault;
    const auto field = [this](int at) {
        return static_cast<BYTE>(wcstoul(m_accentColor.Mid(at, 2), nullptr, 16));
    };
    return RGB(field(1), field(3), field(5));
}

// CMetadataObject ---------------------------------------------------------------------

CMetadataObject::~CMetadataObject() { RemoveAllElements(); }

void CMetadataObject::RemoveAllElements()
{
    AfxDeleteObjects(m_creators);
    AfxDeleteObjects(m_subjects);
    AfxDeleteObjects(m_languages);
}

void CMetadataObject::SetTitle(const wchar_t* title) { SetRawAndDecoded(title, m_title, m_titleDecoded); }
void CMetadataObject::SetSortTitle(const wchar_t* sortTitle)
{
    SetRawAndDecoded(sortTitle, m_sortTitle, m_sortTitleDecoded);
}
void CMetadataObject::SetSubTitle(const wchar_t* subTitle) { SetRawAndDecoded(subTitle, m_subTitle, m_subTitleDecoded); }
void CMetadataObject::SetPublisher(const wchar_t* publisher)
{
    SetRawAndDecoded(publisher, m_publisher, m_publisherDecoded);
}
void CMetadataObject::SetDescription(const wchar_t* description)
{
    SetRawAndDecoded(description, m_description, m_descriptionDecoded);
}
void CMetadataObject::SetSeries(const wchar_t* series) { SetRawAndDecoded(series, m_series, m_seriesDecoded); }

void CMetadataObject::SetThumbnailUrl(const wchar_t* url)
{
    if (url)
        m_thumbnailUrl = url;
}

void CMetadataObject::SetCoverUrl(const wchar_t* url)
{
    if (url)
        m_coverUrl = url;
}

void CMetadataObject::SetContentKind(int kind)
{
    switch (kind) {
    case KindAudiobook:
    case KindMusic:
    case KindVideo:
    case KindMobileVideo:
    case KindGame:
    case KindMp3Audiobook:
    case KindMp3Music: m_contentKind = kind; break;
    default: m_contentKind = KindNone; break;
    }
}

INT_PTR CMetadataObject::AddCreator(CCreatorObject* creator) { return creator ? m_creators.Add(creator) : -1; }
INT_PTR CMetadataObject::AddSubject(CSubjectObject* subject) { return subject ? m_subjects.Add(subject) : -1; }
INT_PTR CMetadataObject::AddLanguage(CLanguageObject* language) { return language ? m_languages.Add(language) : -1; }

CString CMetadataObject::GetDisplayTitle(BOOL withSubtitle, BOOL decoded) const
{
    const CString& title = decoded ? m_titleDecoded : m_title;
    const CString& subTitle = decoded ? m_subTitleDecoded : m_subTitle;
    if (!withSubtitle || subTitle.IsEmpty())
        return title;
    CString text;
    text.Format(L"%s: %s", static_cast<const wchar_t*>(title), static_cast<const wchar_t*>(subTitle));
    return text;
}

void CMetadataObject::RecomputeDecoded()
{
    SetTitle(CString(m_title));
    SetSortTitle(CString(m_sortTitle));
    SetSubTitle(CString(m_subTitle));
    SetPublisher(CString(m_publisher));
    SetDescription(CString(m_description));
    SetSeries(CString(m_series));
}

BOOL CMetadataObject::ParseMetadata(const CXmlNode* node, CString& error, const COrderFileMessages& messages)
{
    if (!IsElement(node, L"Metadata"))
        return FALSE;
    CString text;
    CString contentType;
    node->GetChildText(L"ContentType", contentType, TRUE);
    const int kind = ContentKindFromName(contentType);
    if (kind == KindNone || kind == KindStreamingVideo) {
        error.Format(AfxLoadString(messages.unsupportedContentType), static_cast<const wchar_t*>(contentType));
        return FALSE;
    }
    SetContentKind(kind);

    if (!node->GetChildText(L"Title", text, FALSE) || text.IsEmpty())
        return Fail(error, messages.noTitle);
    SetTitle(text);

    if (kind == KindVideo && messages.standardVideoRefused) {
        CString refusal;
        refusal.Format(AfxLoadString(messages.standardVideoRefused), static_cast<const wchar_t*>(m_title));
        AfxMessageBox(refusal, MB_OK);
        error.Empty();
        return FALSE;
    }

    if (!node->GetChildText(L"SortTitle", text, FALSE) || text.IsEmpty())
        return Fail(error, messages.noSortTitle);
    SetSortTitle(text);
    const struct {
        const wchar_t* element;
        void (CMetadataObject::*set)(const wchar_t*);
    } kOptional[] = {
        {L"SubTitle", &CMetadataObject::SetSubTitle},
        {L"Publisher", &CMetadataObject::SetPublisher},
        {L"Series", &CMetadataObject::SetSeries},
        {L"Description", &CMetadataObject::SetDescription},
    };
    for (const auto& optional : kOptional) {
        if (!OptionalText(node, optional.element, FALSE, text))
            return Fail(error, messages.invalidFormat);
        (this->*optional.set)(text);
    }
    if (!OptionalText(node, L"ThumbnailUrl", TRUE, m_thumbnailUrl) ||
        !OptionalText(node, L"CoverUrl", TRUE, m_coverUrl))
        return Fail(error, messages.invalidFormat);

    // A malformed element of a kind leaves the title without any of that kind.
    if (!ParseElementList<CCreatorObject>(
             *node, L"Creator", error, [this](CCreatorObject* c) { AddCreator(c); },
             [&](CCreatorObject& c, const CXmlNode* n, CString& e) { return c.ParseCreator(n, e, messages); })
             .parsed)
        return FALSE;
    if (!ParseElementList<CSubjectObject>(
             *node, L"Subject", error, [this](CSubjectObject* s) { AddSubject(s); },
             [&](CSubjectObject& s, const CXmlNode* n, CString& e) { return s.ParseSubject(n, e, messages); })
             .parsed)
        return FALSE;
    return ParseElementList<CLanguageObject>(
               *node, L"Language", error, [this](CLanguageObject* l) { AddLanguage(l); },
               [&](CLanguageObject& l, const CXmlNode* n, CString& e) { return l.ParseLanguage(n, e, messages); })
        .parsed;
}

void CMetadataObject::Serialize(CArchive& ar)
{
    const WORD version = SerializeRecordVersion(ar, kMetadataVersion);
    if (ar.IsStoring()) {
        ar << m_title << m_sortTitle << m_subTitle << m_publisher << m_description << m_thumbnailUrl;
        m_creators.Serialize(ar);
        m_subjects.Serialize(ar);
        m_languages.Serialize(ar);
        ar << m_contentKind << m_coverUrl << m_series;
        return;
    }
    ar >> m_title >> m_sortTitle >> m_subTitle >> m_publisher >> m_description >> m_thumbnailUrl;
    LoadRecordList(ar, m_creators, RUNTIME_CLASS(CCreatorObject));
    LoadRecordList(ar, m_subjects, RUNTIME_CLASS(CSubjectObject));
    LoadRecordList(ar, m_languages, RUNTIME_CLASS(CLanguageObject));
    if (version >= 2) {
        int kind;
        ar >> kind;
        SetContentKind(kind);
    }
    if (version >= 3)
        ar >> m_coverUrl;
    if (version >= 4)
        ar >> m_series;
    RecomputeDecoded();
}

// Paths -------------------------------------------------------------------------------

CString UrlFileExtension(const CString& url, const wchar_t* fallback)
{
    // Only the last path segment counts, without its query or fragment, so that a host
    // name or a query string never becomes part of a file name.
    CString segment(url);
    const int cut = segment.FindOneOf(L"?#");
    if (cut >= 0)
        segment.Truncate(cut);
    const int slash = std::max(segment.ReverseFind(L'/'), segment.ReverseFind(L'\\'));
    segment = segment.Mid(slash + 1);
    const int dot = segment.ReverseFind(L'.');
    if (dot < 0)
        return CString(fallback);
    const CString extension = segment.Mid(dot);
    if (extension.GetLength() < 2 || extension.GetLength() > 6)
        return CString(fallback);
    for (int i = 1; i < extension.GetLength(); ++i)
        if (!iswalnum(extension[i]))
            return CString(fallback);
    return extension;
}
