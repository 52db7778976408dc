#include "DeviceProfile.h"

#include "DataFolder.h"
#include "FileUtils.h"
#include "StdioFile.h"
#include "XmlNode.h"

namespace {

CString FirstChildText(const CXmlNode& root, std::initializer_list<const wchar_t*> names)
{
    for (const wchar_t* name : names) {
        CString text;
        if (root.GetChildText(name, text, TRUE)) {
            text.Trim();
            if (!text.IsEmpty())
                return text;
        }
    }
    return CString();
}

// The folder made absolute on the drive of the profile file.
CString OnDrive(const CString& driveRoot, CString folder)
{
    folder.TrimRight(L'\\');
    if (folder.IsEmpty() || folder.Find(L'/') >= 0 || !StaysOnPlayer(folder))
        return CString();
    if (driveRoot.Find(L":\\") > 0) {
        folder.TrimLeft(L'\\');
        return driveRoot + folder;
    }
    return folder;
}

}  // namespace

CString FindDeviceProfile(wchar_t driveLetter)
{
    for (const wchar_t* format : {L"%c:\\Vesperlin.xml", L"%c:\\.Vesperlin.xml"}) {
        CString path;
        path.Format(format, driveLetter);
        if (FileExists(path))
            return path;
    }
    return CString();
}

void ReadDeviceProfile(PlayerRecord* player, const wchar_t* profilePath)
{
    if (!player)
        return;
    player->targetFolder.Empty();
    player->joinTarget = FALSE;
    player->thumbnailFlag = FALSE;
    player->coverFlag = FALSE;
    player->bannerFolder.Empty();
    player->clientId.Empty();
    if (!profilePath || !*profilePath || !FileExists(profilePath))
        return;
    const CString driveRoot = CString(profilePath).Left(3);

    CString text;
    {
        CStdioFile file;
        if (!file.Open(profilePath, CFile::modeRead | CFile::shareDenyNone | CFile::typeText))
            return;
        CString line;
        bool first = true;
        try {
            while (file.ReadString(line)) {
                if (!first)
                    text += L"\n";
                text += line;
                first = false;
            }
        } catch (const CException&) {
            return;
        }
    }
    text.Trim();
    const int start = text.Find(L"<Carrowind>");
    if (start > 0)
        text = text.Mid(start);
    CXmlNode root;
    if (!root.Parse(StripXmlProlog(text)) || root.GetName().CompareNoCase(L"Carrowind") != 0)
        return;

    CString folder = FirstChildText(root, {L"VPM", L"vpm"});
    CString lower = folder;
    lower.MakeLower();
    const int title = lower.Find(L"[title]");
    if (title > 0) {
        folder = folder.Left(title);
        player->joinTarget = TRUE;
    }
    player->targetFolder = OnDrive(driveRoot, folder);
    if (player->targetFolder.IsEmpty())
        player->joinTarget = FALSE;
    player->thumbnailFlag = _wtoi(FirstChildText(root, {L"Thumbnail", L"thumbnail"})) == 1;
    player->coverFlag = _wtoi(FirstChildText(root, {L"Cover", L"cover"})) == 1;
    player->bannerFolder = OnDrive(driveRoot, FirstChildText(root, {L"Banner", L"banner"}));
    player->clientId = FirstChildText(root, {L"ClientID", L"ClientId", L"clientId", L"clientid"});
}

namespace {

// A single file name: no folder, drive or ".." of its own.
bool IsPlainName(const CString& name)
{
    return !name.IsEmpty() && name.FindOneOf(L"\\/:") < 0 && name != L"." && name != L"..";
}

CString ExtensionOf(const CString& path)
{
    const int dot = path.ReverseFind(L'.');
    return dot > path.ReverseFind(L'\\') ? path.Mid(dot + 1) : CString();
}

CString FileNameOf(const CString& path) { return path.Mid(path.ReverseFind(L'\\') + 1); }

void CopyInto(const CString& source, const CString& folder, const CString& name)
{
    if (FileExists(source) && IsPlainName(name))
        CopyFileW(source, folder + L"\\" + name, FALSE);
}

}  // namespace

BOOL CopySideFilesToDevice(PlayerRecord* player, const CString& playlistPath, const CString& coverPath,
                           const CString& sourceId)
{
    if (!player || player->targetFolder.IsEmpty() || !player->massStorage)
        return FALSE;
    CString name = player->GetBaseFileName();
    const int format = name.Find(L"}Fmt");
    if (format > 0)
        name = name.Left(format + 1);
    const bool baseNameSet = !name.IsEmpty();
    if (name.IsEmpty())
        name = player->otherName;
    if (!IsPlainName(name))
        return FALSE;
    CString folder = player->GetTargetPath(name);
    // The side files go beside the parts: into the folder the parts went to on the profile's drive.
    const CString& partsFolder = player->GetFolderPath();
    if (partsFolder.GetLength() > 1 && partsFolder[0] == L'\\' && StaysOnPlayer(partsFolder) &&
        player->targetFolder.GetLength() > 2 && player->targetFolder[1] == L':')
        folder = player->targetFolder.Left(2) + partsFolder;
    folder.TrimRight(L'\\');
    const int dot = playlistPath.ReverseFind(L'.');
    if (folder.IsEmpty() || dot < 0)
        return FALSE;
    const CString orderFile = playlistPath.Left(dot + 1) + L"vpm";
    if (!CreateFolderPath(folder) || !CopyFileW(orderFile, folder + L"\\" + name + L".vpm", FALSE))
        return FALSE;

    if (!coverPath.IsEmpty()) {
        if (player->thumbnailFlag)
            CopyInto(coverPath, folder, baseNameSet ? name + L"Img200." + ExtensionOf(coverPath) : FileNameOf(coverPath));
        if (player->coverFlag && coverPath.GetLength() > 4) {
            const CString small = coverPath.Left(coverPath.GetLength() - 4) + L"-Cover" + coverPath.Right(4);
            CopyInto(small, folder, baseNameSet ? name + L"Img100." + ExtensionOf(small) : FileNameOf(small));
        }
    }
    if (!player->bannerFolder.IsEmpty() && IsPlainName(sourceId)) {
        const CString banners = GetConsoleDataFolder() + L"\\Banners\\";
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(banners + sourceId + L".*", &found);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            if (CreateFolderPath(player->bannerFolder))
                CopyInto(banners + found.cFileName, player->bannerFolder, found.cFileName);
        }
    }
    return TRUE;
}
