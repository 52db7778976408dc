#include "TitleFiles.h"

#include "AfxMessageBox.h"
#include "FileUtils.h"
#include "MarkedTextFile.h"
#include "WizardServices.h"
#include "WmMetadata.h"
#include "XmlNode.h"
#include "res/WizardSheetIds.h"

#include <objbase.h>

#include <climits>

namespace {

void ShowNotValid(const CString& path, const CString& reason)
{
    CString text;
    text.Format(AfxLoadString(IDS_WIZARD_PLAYLIST_NOT_VALID), path.GetString(), reason.GetString());
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

CString FolderOf(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    return slash < 0 ? CString() : path.Left(slash);
}

CString FileNameOf(const CString& path)
{
    return path.Mid(path.ReverseFind(L'\\') + 1);
}

CString WithoutExtension(const CString& name)
{
    const int dot = name.ReverseFind(L'.');
    return dot < 0 ? name : name.Left(dot);
}

CString TextAttribute(const CString& path, const wchar_t* name)
{
    BYTE* value = nullptr;
    WORD length = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_DWORD;
    CString text;
    if (SUCCEEDED(ReadWmFileAttribute(path, name, &value, &length, &type)) && value) {
        if (type == WMT_TYPE_STRING)
            text = CString(reinterpret_cast<const wchar_t*>(value), static_cast<int>(wcsnlen(reinterpret_cast<const wchar_t*>(value), length / sizeof(wchar_t))));
        delete[] value;
    }
    text.Trim();
    return text;
}

// The console writes some texts as character data sections: their content, as written.
CString WithoutCharacterData(CString text)
{
    text.Trim();
    if (text.Left(9) == L"<![CDATA[" && text.Right(3) == L"]]>")
        return text.Mid(9, text.GetLength() - 12);
    return text;
}

}  // namespace

bool PathLeavesFolder(const CString& path)
{
    CString normal(path);
    normal.Replace(L'/', L'\\');
    int start = 0;
    while (start <= normal.GetLength()) {
        int slash = normal.Find(L'\\', start);
        if (slash < 0)
            slash = normal.GetLength();
        CString step = normal.Mid(start, slash - start);
        if (step.Trim() == L"..")
            return true;
        start = slash + 1;
    }
    return false;
}

CString PartPathOfEntry(const CString& innerText, const CString& folder)
{
    CString path(innerText);
    path.Trim();
    if (_wcsnicmp(path, L"<ref href=", 10) == 0) {
        path = path.Mid(10);
        path.Trim(L" \"");
    }
    path.TrimRight();
    if (path.Right(2) == L"/>")
        path.Truncate(path.GetLength() - 2);
    path.Trim(L" \"");
    path = DecodeXmlText(path);
    const bool absolute = (path.GetLength() >= 2 && path[1] == L':') || path.Left(2) == L"\\\\";
    if (!path.IsEmpty() && !absolute && !folder.IsEmpty())
        path = folder + (path[0] == L'\\' ? L"" : L"\\") + path;
    return path;
}

void NamePartFromPath(const CString& path, int& number, CString& name)
{
    const int dash = path.ReverseFind(L'-');
    const int dot = path.ReverseFind(L'.');
    if (dash < 0 || dot < 0 || dot <= dash + 1) {
        name.Format(L"Part %d", number);
        return;
    }
    const CString piece = path.Mid(dash + 1, dot - dash - 1);
    int digit = -1;
    for (int i = 0; i < piece.GetLength(); ++i) {
        if (iswdigit(piece[i])) {
            digit = i;
            break;
        }
    }
    if (digit <= 0) {
        name = piece;
        return;
    }
    const int value = _wtoi(piece.Mid(digit));
    if (value > 0)
        number = value;
    name.Format(L"%s %d", piece.Left(digit).GetString(), number);
}

CString PartDurationText(ULONGLONG hundredNanoseconds)
{
    const ULONGLONG seconds = (hundredNanoseconds + 5000000) / 10000000;
    CString text;
    text.Format(L"%llu:%02llu", seconds / 60, seconds % 60);
    return text;
}

BOOL ParseWaxShortcut(const CXmlNode& root, const CString& contentType, const CString& playlistPath,
                      CMediaObject& title, TitleFileReading& reading, CString& reason)
{
    reason.Empty();
    if (root.GetName().CompareNoCase(L"asx") != 0) {
        reason = AfxLoadString(IDS_WIZARD_PLAYLIST_BAD_ROOT);
        return FALSE;
    }
    title.GetMetadata().SetContentKind(ContentKindFromType(contentType));
    CObArray entries;
    if (!root.FindChildren(L"entry", entries) || entries.GetSize() == 0) {
        reason = AfxLoadString(IDS_WIZARD_PLAYLIST_NO_ENTRY);
        return FALSE;
    }
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(com) && com != RPC_E_CHANGED_MODE) {
        DeleteXmlNodes(entries);
        reason = AfxLoadString(IDS_WIZARD_COM_FAILED);
        return FALSE;
    }
    const CString folder = FolderOf(playlistPath);
    CString outside;
    for (INT_PTR i = 0; i < entries.GetSize() && outside.IsEmpty(); ++i) {
        const auto* entry = static_cast<const CXmlNode*>(entries[i]);
        const CString path = PartPathOfEntry(entry->GetText(FALSE), folder);
        if (PathLeavesFolder(path)) {
            outside = path;
            break;
        }
        auto* part = new CPartObject;
        part->m_number = static_cast<int>(i) + 1;
        NamePartFromPath(path, part->m_number, part->m_name);
        if (FileExists(path)) {
            part->m_fileName = path;
            QWORD duration = 0;
            WMT_ATTR_DATATYPE type = WMT_TYPE_QWORD;
            if (SUCCEEDED(ReadWmFileAttribute(path, L"Duration", &type, &duration)) && duration > 0) {
                part->SetDuration(PartDurationText(duration));
            }
            QWORD size = 0;
            if (SUCCEEDED(ReadWmFileAttribute(path, L"FileSize", &type, &size)))
                part->m_fileSize = static_cast<LONGLONG>(std::min<QWORD>(size, LLONG_MAX));
        }
        title.AddPart(part);
    }
    DeleteXmlNodes(entries);
    const CPartObject* first = title.GetPart(0);
    CString albumTitle;
    CString author;
    if (first && outside.IsEmpty() && !first->m_fileName.IsEmpty()) {
        albumTitle = TextAttribute(first->m_fileName, L"WM/AlbumTitle");
        author = TextAttribute(first->m_fileName, L"Author");
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!outside.IsEmpty()) {
        reason.Format(AfxLoadString(IDS_WIZARD_PLAYLIST_PATH_OUTSIDE), outside.GetString());
        return FALSE;
    }
    if (title.m_parts.GetSize() == 0) {
        reason = AfxLoadString(IDS_WIZARD_NO_PARTS);
        return FALSE;
    }
    CString name = albumTitle.IsEmpty() ? WithoutExtension(FileNameOf(playlistPath)) : albumTitle;
    name.Trim();
    title.GetMetadata().SetTitle(name);
    const int kind = title.GetMetadata().GetContentKind();
    if (kind == KindVideo || kind == KindMobileVideo) {
        CString text;
        text.Format(AfxLoadString(IDS_WIZARD_VIDEO_NOT_MOBILE), name.GetString());
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    for (const wchar_t* extension : {L".jpg", L".png", L".gif"}) {
        const CString picture = WithoutExtension(playlistPath) + extension;
        if (FileExists(picture)) {
            reading.imagePath = picture;
            reading.coverPath = WithoutExtension(picture) + L"-Cover" + extension;
            break;
        }
    }
    if (!author.IsEmpty())
        reading.artist = author;
    return TRUE;
}

CString ReadOrderFileText(const CString& playlistPath)
{
    if (playlistPath.GetLength() < 3)
        return CString();
    const CString path = playlistPath.Left(playlistPath.GetLength() - 3) + L"vpm";
    CString text;
    DWORD error = 0;
    if (ReadMarkedTextFile(path, text, error) < 0)
        return CString();
    return StripXmlProlog(text);
}

BOOL LoadTitleFiles(const CString& playlistPath, const CString& contentType, CMediaObject& title, CSourceObject& source,
                    TitleFileReading& reading)
{
    CString text;
    DWORD error = 0;
    if (ReadMarkedTextFile(playlistPath, text, error) < 0 && error != ERROR_FILE_NOT_FOUND &&
        error != ERROR_PATH_NOT_FOUND) {
        CString message;
        message.Format(AfxLoadString(IDS_WIZARD_PLAYLIST_OPEN_FAILED), playlistPath.GetString(),
                       FileErrorText(error, playlistPath).Left(300).GetString());
        AfxMessageBox(message, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    // Whatever stands before the root element (a mark, a note) is not read.
    const int open = text.Find(L'<');
    text = open < 0 ? CString() : text.Mid(open);
    text.Trim();
    CXmlNode root;
    if (text.IsEmpty() || text.Find(L'\0') >= 0 || !root.Parse(text)) {
        ShowNotValid(playlistPath, AfxLoadString(IDS_WIZARD_PLAYLIST_BAD_FORMAT));
        return FALSE;
    }
    if (root.GetName().CompareNoCase(L"asx") != 0) {
        ShowNotValid(playlistPath, AfxLoadString(IDS_WIZARD_PLAYLIST_BAD_ROOT));
        return FALSE;
    }
    CString reason;
    if (!ParseWaxShortcut(root, contentType, playlistPath, title, reading, reason)) {
        if (!reason.IsEmpty())
            ShowNotValid(playlistPath, reason);
        return FALSE;
    }
    const CString order = ReadOrderFileText(playlistPath);
    CXmlNode orderRoot;
    if (order.IsEmpty() || order.Find(L'\0') >= 0 || !orderRoot.Parse(order) ||
        orderRoot.GetName().CompareNoCase(L"VesperlinMedia") != 0)
        return TRUE;  // the playlist alone is enough
    CString id;
    if (title.m_mediaId.IsEmpty() && orderRoot.GetAttribute(L"id", id) && !id.IsEmpty())
        title.SetMediaId(id);
    CXmlNode metadata;
    if (orderRoot.FindChild(L"Metadata", metadata)) {
        CString value;
        if (metadata.GetChildText(L"Title", value, FALSE) && !WithoutCharacterData(value).IsEmpty())
            title.GetMetadata().SetTitle(WithoutCharacterData(value));
        CString thumbnail;
        if (metadata.GetChildText(L"ThumbnailUrl", thumbnail, TRUE) && !thumbnail.IsEmpty())
            title.GetMetadata().SetThumbnailUrl(thumbnail);
        CString cover;
        metadata.GetChildText(L"CoverUrl", cover, TRUE);
        if (cover.IsEmpty() && !title.GetMetadata().m_thumbnailUrl.IsEmpty()) {
            cover = title.GetMetadata().m_thumbnailUrl;
            cover.Replace(L"ImageType-100", L"ImageType-200");
            cover.Replace(L"Img100", L"Img200");
        }
        if (!cover.IsEmpty())
            title.GetMetadata().SetCoverUrl(cover);
    }
    CXmlNode sourceNode;
    CString sourceError;
    if (orderRoot.FindChild(L"Source", sourceNode) && source.ParseSource(&sourceNode, sourceError))
        title.SetSourceId(source.m_id);
    if (reading.firstPartFileName.IsEmpty()) {
        CObArray parts;
        orderRoot.FindChildren(L"Part", parts);
        for (INT_PTR i = 0; i < parts.GetSize() && reading.firstPartFileName.IsEmpty(); ++i) {
            CPartObject part;
            CString partError;
            if (part.ParsePart(static_cast<const CXmlNode*>(parts[i]), partError) && !part.m_fileName.IsEmpty())
                reading.firstPartFileName = part.m_fileName;
        }
        DeleteXmlNodes(parts);
    }
    return TRUE;
}
