// The console's playlist (.wax) and order file (.vpm) writers of a library title.
#include "BrenvaleDoc.h"

#include "FileUtils.h"
#include "XmlWriter.h"
#include "res/BrenvaleIds.h"

namespace {
const wchar_t* S(const CString& s) { return s; }

// Writes a file's new contents (write: into the path it is given) beside the file and
// moves them over it only when they are complete; a failure leaves the file as it was.
template <class Write>
BOOL WriteThenReplace(const CString& path, Write write)
{
    CreateParentFolder(path);
    const CString written = CFile::NewFileBeside(path);
    if (written.IsEmpty())
        return FALSE;
    try {
        write(written);
    } catch (const CException&) {
        DeleteFileW(written);
        return FALSE;
    }
    if (!CFile::ReplaceWith(written, path)) {
        DeleteFileW(written);
        return FALSE;
    }
    return TRUE;
}
}  // namespace

BOOL CBrenvaleDoc::WritePlaylistFile(CMediaObject* title)
{
    if (!title)
        return FALSE;
    const int kind = title->GetMetadata().GetContentKind();
    if (!(kind & 15) && !(kind & 96))
        return TRUE;  // games and streaming titles have no playlist
    bool methodKnown = false;
    for (CObject* object : title->m_protocols)
        if (static_cast<CProtocolObject*>(object)->m_method.CompareNoCase(title->GetSelectedMethod()) == 0) {
            methodKnown = true;
            break;
        }
    if (!methodKnown)
        return FALSE;
    CString text = AfxLoadString(IDS_PLAYLIST_HEAD);
    for (CObject* object : title->m_parts) {
        if (!object)
            continue;
        CString entry;
        entry.Format(AfxLoadString(IDS_PLAYLIST_ENTRY),
                     S(EscapeXmlText(static_cast<CPartObject*>(object)->GetFilePath(title), true)));
        text += entry;
    }
    text += AfxLoadString(IDS_PLAYLIST_TAIL);

    // The ANSI code page as the players expect, unless a path would not survive it.
    UINT flags = CFile::modeCreate | CFile::modeWrite | CFile::shareDenyWrite | CFile::typeText;
    if (!CCodePageTextFile::CanRepresent(text))
        flags |= CCodePageTextFile::modeWriteUnicode;
    return WriteThenReplace(title->GetPlaylistPath(), [&](const CString& written) {
        CCodePageTextFile file(written, flags);
        file.WriteString(text);
        file.Flush();
        file.Close();
    });
}

namespace {
CXmlElement* AddTextChild(CXmlElementList& list, CXmlElement* parent, const wchar_t* tag, const CString& text)
{
    CXmlElement* element = list.AddElement(tag);
    element->SetText(text);
    parent->AddChild(element);
    return element;
}

// A wrapper element ("Creators") holding one element per record, written only when
// there is a record.
template <class Record, class MakeElement>
void AddRecordList(CXmlElementList& list, CXmlElement* parent, const wchar_t* tag, const CObArray& records,
                   MakeElement makeElement)
{
    if (records.IsEmpty())
        return;
    CXmlElement* wrapper = list.AddElement(tag);
    parent->AddChild(wrapper);
    for (const CObject* object : records)
        wrapper->AddChild(makeElement(*static_cast<const Record*>(object)));
}

CString Number(long long value)
{
    CString text;
    text.Format(L"%lld", value);
    return text;
}

// Raw texts kept from the order file are XML text already; decoded ones are escaped.
// Outside the metadata, raw texts are made safe for XML parsers (which changes nothing
// in well-formed text); inside the metadata's CDATA section they stand as read, and
// only a "]]>" that would end the section early is broken up.
CString RawAttr(const CString& text) { return MakeXmlSafe(text, true); }
CString InCdata(const CString& text)
{
    CString safe(text);
    safe.Replace(L"]]>", L"]]&gt;");
    return safe;
}
CString Plain(const CString& text) { return EscapeXmlText(text, false); }

void BuildOrderDocument(CXmlElementList& list, CXmlElement* root, const CMediaObject& title,
                        const CSourceObject& source)
{
    root->AddAttribute(L"id", RawAttr(title.m_mediaId));
    root->AddAttribute(L"VPMVersion", L"3.0.0.0");
    root->AddAttribute(L"ZKYVersion", L"3.6.0.0");
    AddTextChild(list, root, L"WMLicense", L"NONE");
    if (title.m_licenseText.IsEmpty() || title.m_licenseText.CompareNoCase(L"NONE") == 0)
        AddTextChild(list, root, L"License", L"NONE");
    AddTextChild(list, root, L"AcquiredDate", title.GetAcquiredDateUtc().Format(L"%Y-%m-%dT%H:%M:%SZ"));

    const CMetadataObject& metadata = title.GetMetadata();
    CXmlElement* meta = list.AddElement(L"Metadata");
    meta->m_cdata = 1;
    root->AddChild(meta);
    AddTextChild(list, meta, L"ContentType", InCdata(Plain(title.GetContentKindName())));
    AddTextChild(list, meta, L"Title", InCdata(metadata.m_title));
    if (!metadata.m_subTitle.IsEmpty())
        AddTextChild(list, meta, L"SubTitle", InCdata(metadata.m_subTitle));
    AddTextChild(list, meta, L"SortTitle", InCdata(metadata.m_sortTitle));
    if (!metadata.m_publisher.IsEmpty())
        AddTextChild(list, meta, L"Publisher", InCdata(metadata.m_publisher));
    if (!metadata.m_series.IsEmpty())
        AddTextChild(list, meta, L"Series", InCdata(metadata.m_series));
    if (!metadata.m_thumbnailUrl.IsEmpty())
        AddTextChild(list, meta, L"ThumbnailUrl", InCdata(Plain(metadata.m_thumbnailUrl)));
    if (!metadata.m_coverUrl.IsEmpty())
        AddTextChild(list, meta, L"CoverUrl", InCdata(Plain(metadata.m_coverUrl)));
    AddRecordList<CCreatorObject>(list, meta, L"Creators", metadata.m_creators, [&](const CCreatorObject& creator) {
        CXmlElement* element = list.AddElement(L"Creator");
        element->SetText(InCdata(creator.m_name));
        element->AddAttribute(L"role", InCdata(creator.m_role));
        element->AddAttribute(L"file-as", InCdata(creator.m_fileAs));
        return element;
    });
    AddRecordList<CSubjectObject>(list, meta, L"Subjects", metadata.m_subjects, [&](const CSubjectObject& subject) {
        CXmlElement* element = list.AddElement(L"Subject");
        element->SetText(InCdata(Plain(subject.m_subject)));
        element->AddAttribute(L"id", Number(subject.m_id));
        return element;
    });
    AddRecordList<CLanguageObject>(list, meta, L"Languages", metadata.m_languages, [&](const CLanguageObject& lang) {
        CXmlElement* element = list.AddElement(L"Language");
        element->SetText(InCdata(Plain(lang.m_name)));
        element->AddAttribute(L"code", InCdata(lang.m_code));
        return element;
    });
    if (!metadata.m_description.IsEmpty())
        AddTextChild(list, meta, L"Description", InCdata(metadata.m_description));

    CXmlElement* formats = list.AddElement(L"Formats");
    root->AddChild(formats);
    CXmlElement* format = list.AddElement(L"Format");
    format->AddAttribute(L"name", L"Medium Quality");
    formats->AddChild(format);
    CXmlElement* quality = list.AddElement(L"Quality");
    quality->AddAttribute(L"level", L"Medium");
    format->AddChild(quality);
    CXmlElement* protocols = list.AddElement(L"Protocols");
    format->AddChild(protocols);
    for (CObject* object : title.m_protocols) {
        const auto* protocol = static_cast<const CProtocolObject*>(object);
        CXmlElement* element = list.AddElement(L"Protocol");
        element->AddAttribute(L"method", RawAttr(protocol->m_method));
        element->AddAttribute(L"baseurl", RawAttr(protocol->m_baseUrl));
        protocols->AddChild(element);
    }
    CXmlElement* parts = list.AddElement(L"Parts");
    parts->AddAttribute(L"count", Number(static_cast<int>(title.m_parts.GetSize())));
    format->AddChild(parts);
    for (CObject* object : title.m_parts) {
        const auto* part = static_cast<const CPartObject*>(object);
        CXmlElement* element = list.AddElement(L"Part");
        element->AddAttribute(L"number", Number(part->m_number));
        // A negative size (kept from an old library) is written as unknown: readers refuse a
        // negative one.
        element->AddAttribute(L"filesize", Number(part->m_fileSize > 0 ? part->m_fileSize : 0));
        element->AddAttribute(L"name", RawAttr(part->m_name));
        element->AddAttribute(L"filename", RawAttr(part->m_fileName));
        if (!part->m_duration.IsEmpty())
            element->AddAttribute(L"duration", RawAttr(part->m_duration));
        parts->AddChild(element);
    }

    CXmlElement* sourceElement = list.AddElement(L"Source");
    sourceElement->AddAttribute(L"id", RawAttr(title.m_sourceId));
    root->AddChild(sourceElement);
    AddTextChild(list, sourceElement, L"Name", Plain(source.m_name));
    AddTextChild(list, sourceElement, L"WebsiteUrl", Plain(source.m_websiteUrl));
    AddTextChild(list, sourceElement, L"BannerUrl", Plain(source.m_bannerUrl));
    if (!source.m_accentColor.IsEmpty())
        AddTextChild(list, sourceElement, L"AccentColor", Plain(source.m_accentColor));
}
}  // namespace

BOOL CBrenvaleDoc::WriteMediaOrderFile(CMediaObject* title)
{
    if (!title)
        return FALSE;
    const CSourceObject* source = FindSource(title->m_sourceId);
    if (!source)
        return FALSE;
    const CString playlist = title->GetPlaylistPath();
    return WriteThenReplace(playlist.Left(playlist.GetLength() - 3) + L"vpm", [&](const CString& written) {
        CXmlDocumentFile file(written, CCodePageTextFile::modeWriteUnicode | CFile::modeCreate |
                                           CFile::modeReadWrite | CFile::shareDenyWrite);
        file.WriteDeclaration();
        CXmlElementList list;
        list.SetOutputFile(&file);
        CXmlElement* root = list.AddElement(L"VesperlinMedia");
        BuildOrderDocument(list, root, *title, *source);
        file.AddRootElement(root);
        file.WriteElements();
        file.Flush();
        file.Close();
    });
}
