// The player record's folders and files through the device manager, the lookup by path, the
// folder list of the folder browser and the album of a title.
#include "DeviceFolders.h"
#include "WmMetadata.h"
#include "WmdmServices.h"
#include "ZuneClient.h"
#include "res/DeviceStringIds.h"

#include <string>

namespace {

CString LoadText(UINT id)
{
    CString text;
    text.LoadString(id);
    return text;
}

// The components of a path after the part that names the start storage, without trailing
// backslashes. FALSE when a component is empty (a doubled backslash).
bool SplitPath(const CString& folderPath, std::vector<CString>* parts)
{
    parts->clear();
    CString path = folderPath;
    path.TrimRight(L'\\');
    const int first = path.Find(L'\\');
    CString rest = first >= 0 ? path.Mid(first + 1) : path;
    if (rest.IsEmpty())
        return true;
    int start = 0;
    for (;;) {
        const int end = rest.Find(L'\\', start);
        const CString part = end >= 0 ? rest.Mid(start, end - start) : rest.Mid(start);
        if (part.IsEmpty())
            return false;
        parts->push_back(part);
        if (end < 0)
            return true;
        start = end + 1;
    }
}

bool MayEnter(DWORD attributes, int descend) { return (attributes & wmdm::kAttrFolder) || descend != 0; }

// "\x" for x, nothing added when it starts with one; trailing backslashes removed.
CString WithLeadingBackslash(const CString& text)
{
    CString path = text;
    if (path.IsEmpty() || path[0] != L'\\')
        path = L"\\" + path;
    path.TrimRight(L'\\');
    return path;
}

}  // namespace

HRESULT FindWmdmStorageByPath(IWMDMDevice* device, const wchar_t* fileName, IWMDMStorage** folder,
                              IWMDMStorage** file, const wchar_t* folderPath, int descend, IWMDMStorage* start)
{
    if (folder)
        ReleaseAndClear(*folder);
    if (file)
        ReleaseAndClear(*file);
    if (!device || !folder)
        return E_POINTER;
    IWMDMStorage* current = start;
    if (current) {
        current->AddRef();
    } else {
        HRESULT hr = S_OK;
        current = GetFirstWmdmStorage(device, &hr);
        if (!current)
            return FAILED(hr) ? hr : E_FAIL;
    }
    DWORD attributes = 0;
    const CString startName = GetWmdmStorageName(current, &attributes);
    const CString path = folderPath ? folderPath : L"";
    const bool walk = !path.IsEmpty() && path.CompareNoCase(startName) != 0 && !(path == L"\\" && startName != L"\\");
    if (walk) {
        std::vector<CString> parts;
        if (!SplitPath(path, &parts)) {
            current->Release();
            return HRESULT_FROM_WIN32(ERROR_INVALID_NAME);
        }
        for (const CString& part : parts) {
            IWMDMStorage* child = nullptr;
            if (!MayEnter(attributes, descend) || FindWmdmChildStorage(part, current, &child) != S_OK || !child) {
                ReleaseAndClear(child);
                current->Release();
                return E_FAIL;
            }
            current->Release();
            current = child;
            attributes = 0;
            GetWmdmStorageName(current, &attributes);
        }
    }
    *folder = current;
    if (!fileName || !*fileName || !file)
        return S_OK;
    if (!MayEnter(attributes, descend))
        return S_OK;
    IWMDMStorage* found = nullptr;
    const HRESULT hr = FindWmdmChildStorage(fileName, current, &found);
    if (hr == S_OK)
        *file = found;
    else
        ReleaseAndClear(found);
    return hr;
}

CString FormatStorageSize(ULONGLONG bytes, bool atLeastOne)
{
    ULONGLONG kilobytes = bytes >> 10;
    if (kilobytes == 0 && atLeastOne)
        kilobytes = 1;
    std::wstring digits = std::to_wstring(kilobytes);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<size_t>(at), L",");
    return CString(digits.c_str()) + L" KB";
}

IWMDMStorage* PlayerRecord::GetRootStorage(IWMDMDevice* wmdmDevice)
{
    if (!wmdmDevice)
        return nullptr;
    if (!mobileDevice)
        return GetFirstWmdmStorage(wmdmDevice);
    const CString startPath = IsMobileStorageCard() == 1 ? name : LoadText(IDS_MOBILE_DOCUMENTS);
    IWMDMStorage* folder = nullptr;
    if (FAILED(FindWmdmStorageByPath(wmdmDevice, nullptr, &folder, nullptr, startPath, 0, nullptr)))
        ReleaseAndClear(folder);
    return folder;
}

HRESULT PlayerRecord::FindStorage(IWMDMDevice* wmdmDevice, const CString& folderPath, const wchar_t* fileName,
                                  IWMDMStorage** folder, IWMDMStorage** file)
{
    if (folder)
        ReleaseAndClear(*folder);
    if (file)
        ReleaseAndClear(*file);
    if (!wmdmDevice)
        return E_POINTER;
    const int descend = GetStorageLayout();
    if (!mobileDevice)
        return FindWmdmStorageByPath(wmdmDevice, fileName, folder, file, folderPath, descend, nullptr);
    IWMDMStorage* start = GetRootStorage(wmdmDevice);
    if (!start)
        return E_FAIL;
    const HRESULT hr = FindWmdmStorageByPath(wmdmDevice, fileName, folder, file, folderPath, descend, start);
    start->Release();
    return hr;
}

BOOL PlayerRecord::FolderExists(const CString& path, DWORD* attributes)
{
    if (attributes)
        *attributes = 0;
    if (IsZune() > 0) {
        if (attributes)
            *attributes = wmdm::kAttrFolder;
        return TRUE;
    }
    if (mobileDevice) {
        if (path.IsEmpty())
            return FALSE;
        if (path == L"\\") {
            if (attributes)
                *attributes |= FILE_ATTRIBUTE_DIRECTORY;
            return TRUE;
        }
        DWORD found = 0;
        const int answer = QueryMobilePath(WithLeadingBackslash(path), &found);
        if (answer >= 0) {
            if (attributes)
                *attributes = found;
            return answer == 1 && (!attributes || (found & FILE_ATTRIBUTE_DIRECTORY));
        }
    }
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice) {
        if (IsApple() > 0) {
            if (attributes)
                *attributes = wmdm::kAttrFolder;
            return TRUE;
        }
        return FALSE;
    }
    IWMDMStorage* folder = nullptr;
    if (FAILED(FindStorage(wmdmDevice, path, nullptr, &folder, nullptr)) || !folder)
        return FALSE;
    DWORD word = 0;
    if (FAILED(folder->GetAttributes(&word)))
        word = 0;
    folder->Release();
    if (attributes)
        *attributes = word;
    return TRUE;
}

BOOL PlayerRecord::FileExists(const CString& fileName, const CString& folderPath)
{
    if (IsZune() > 0)
        return FindZuneFile(fileName, nullptr);
    if (mobileDevice) {
        if (fileName.IsEmpty() && folderPath.IsEmpty())
            return FALSE;
        CString path = folderPath.IsEmpty() ? CString() : WithLeadingBackslash(folderPath);
        if (!fileName.IsEmpty())
            path += WithLeadingBackslash(fileName);
        if (path.IsEmpty())
            path = L"\\";
        DWORD found = 0;
        const int answer = QueryMobilePath(path, &found);
        if (answer >= 0)
            return answer == 1 && (!fileName.IsEmpty() || (found & FILE_ATTRIBUTE_DIRECTORY));
    }
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice)
        return FALSE;
    IWMDMStorage* folder = nullptr;
    IWMDMStorage* file = nullptr;
    const HRESULT hr = FindStorage(wmdmDevice, folderPath, fileName, &folder, &file);
    const BOOL found = hr == S_OK && file;
    ReleaseAndClear(file);
    ReleaseAndClear(folder);
    return found;
}

BOOL PlayerRecord::SetStorageAttributes(const CString& fileName, const CString& folderPath, DWORD attributes)
{
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice)
        return FALSE;
    IWMDMStorage* folder = nullptr;
    IWMDMStorage* file = nullptr;
    BOOL ok = FALSE;
    if (FindStorage(wmdmDevice, folderPath, fileName, &folder, &file) == S_OK && file)
        ok = file->SetAttributes(attributes) == S_OK;
    ReleaseAndClear(file);
    ReleaseAndClear(folder);
    return ok;
}

DWORD PlayerRecord::EditDevicePath(const CString& path, const wchar_t* newName, BOOL targetIsItem)
{
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice)
        return ERROR_CANNOT_MAKE;
    const bool rename = newName && *newName;
    const bool create = !rename && !targetIsItem;
    if (path.GetLength() > MAX_PATH || (rename && wcslen(newName) > MAX_PATH))
        return ERROR_FILENAME_EXCED_RANGE;
    const BOOL exists = FolderExists(path);
    if (create && exists)
        return ERROR_ALREADY_EXISTS;
    if (!exists) {
        CString trimmed = path;
        trimmed.TrimRight(L'\\');
        const int slash = trimmed.ReverseFind(L'\\');
        const CString parent = slash >= 0 ? trimmed.Left(slash) : CString();
        const CString last = slash >= 0 ? trimmed.Mid(slash + 1) : trimmed;
        if (!create && !FileExists(last, parent))
            return ERROR_CANNOT_MAKE;
        if (rename && FileExists(newName, parent))
            return ERROR_ALREADY_EXISTS;
    }
    std::vector<CString> parts;
    if (!SplitPath(path, &parts) || (!create && parts.empty()))
        return ERROR_CANNOT_MAKE;
    IWMDMStorage* current = mobileDevice ? GetRootStorage(wmdmDevice) : GetFirstWmdmStorage(wmdmDevice);
    if (!current)
        return ERROR_CANNOT_MAKE;
    const int descend = GetStorageLayout();
    IWMDMStorage* parent = nullptr;
    DWORD result = ERROR_ALREADY_EXISTS;
    for (size_t i = 0; i < parts.size(); ++i) {
        DWORD attributes = 0;
        GetWmdmStorageName(current, &attributes);
        IWMDMStorage* child = nullptr;
        const bool found = MayEnter(attributes, descend) && FindWmdmChildStorage(parts[i], current, &child) == S_OK && child;
        if (!found) {
            ReleaseAndClear(child);
            if (!create) {
                result = ERROR_CANNOT_MAKE;
                break;
            }
            result = CreateWmdmFolder(current, parts[i], nullptr, &child);
            if (result != 0 || !child) {
                ReleaseAndClear(child);
                if (result == 0)
                    result = ERROR_CANNOT_MAKE;
                break;
            }
        } else if (i + 1 == parts.size()) {
            // The path's last item exists.
            result = ERROR_ALREADY_EXISTS;
            if (rename) {
                IWMDMStorage* clash = nullptr;
                if (FindWmdmChildStorage(newName, current, &clash) == S_FALSE)
                    result = RenameWmdmStorage(child, newName);
                ReleaseAndClear(clash);
            } else if (targetIsItem) {
                result = DeleteWmdmStorage(child);
            }
        }
        ReleaseAndClear(parent);
        parent = current;
        current = child;
    }
    ReleaseAndClear(parent);
    ReleaseAndClear(current);
    return result;
}

int PlayerRecord::AddFolderEntry(std::unique_ptr<PlayerFolderEntry> entry)
{
    const int index = folders.empty() ? 0 : folders.rbegin()->first + 1;
    folders[index] = std::move(entry);
    return index;
}

void PlayerRecord::ClearFolderEntries() { folders.clear(); }

void PlayerRecord::AppendStorageTree(IWMDMStorage* storage, int parentIndex, int* count)
{
    // Deep enough for any real player; a tree that loops back on itself ends here.
    constexpr int kMaxDepth = 64;
    int depth = 0;
    for (int at = parentIndex; at >= 0 && depth <= kMaxDepth; ++depth) {
        auto it = folders.find(at);
        at = it == folders.end() ? -1 : it->second->parentIndex;
    }
    if (!storage || !count || depth > kMaxDepth)
        return;
    IWMDMEnumStorage* children = nullptr;
    if (FAILED(storage->EnumStorage(&children)) || !children)
        return;
    const auto parent = folders.find(parentIndex);
    const CString parentPath = parent == folders.end() ? CString() : parent->second->path;
    IWMDMStorage* child = nullptr;
    ULONG fetched = 0;
    while (children->Next(1, &child, &fetched) == S_OK && child) {
        auto entry = std::make_unique<PlayerFolderEntry>();
        entry->parentIndex = parentIndex;
        entry->name = GetWmdmStorageName(child, &entry->attributes);
        entry->isFolder = entry->attributes & wmdm::kAttrFolder;
        if (!parentPath.IsEmpty() && parentPath[parentPath.GetLength() - 1] == L'\\')
            entry->path = parentPath + entry->name;
        else
            entry->path = parentPath + L"\\" + entry->name;
        if (!entry->isFolder) {
            DWORD low = 0, high = 0;
            if (SUCCEEDED(child->GetSize(&low, &high)))
                entry->sizeText = FormatStorageSize((static_cast<ULONGLONG>(high) << 32) | low);
        }
        const DWORD attributes = entry->attributes;
        const int index = (*count)++;
        folders[index] = std::move(entry);
        if (attributes & (wmdm::kAttrFolder | wmdm::kAttrHasFolders | wmdm::kAttrHasFiles))
            AppendStorageTree(child, index, count);
        ReleaseAndClear(child);
    }
    ReleaseAndClear(child);
    children->Release();
}

void PlayerRecord::ListFolders(const CString& rootCaption)
{
    if (!folders.empty()) {
        if (IsZune() > 0)
            return;
        ClearFolderEntries();
    }
    CString caption = !rootCaption.IsEmpty() ? rootCaption : !displayName.IsEmpty() ? displayName : name;
    if (IsZune() > 0) {
        ListZuneFolders(caption);
        return;
    }
    IWMDMDevice* wmdmDevice = GetDeviceInterface();
    if (!wmdmDevice)
        return;
    IWMDMStorage* start = GetRootStorage(wmdmDevice);
    if (!start)
        return;
    DWORD attributes = 0;
    const CString startName = GetWmdmStorageName(start, &attributes);
    auto entry = std::make_unique<PlayerFolderEntry>();
    entry->parentIndex = -1;
    if (mobileDevice) {
        DWORD rootAttributes = 0;
        const CString rootName = GetRootStorageName(&rootAttributes);
        entry->path = L"\\";
        entry->attributes = rootAttributes | wmdm::kAttrFolder;
        if (IsMobileStorageCard() == 0 && !rootName.IsEmpty()) {
            caption.TrimRight(L"\\)");
            caption += L"\\" + rootName + L")";
        }
    } else {
        entry->path = startName;
        entry->attributes = attributes;
    }
    entry->isFolder = entry->attributes & wmdm::kAttrFolder;
    entry->name = caption;
    folders[0] = std::move(entry);
    int count = 1;
    AppendStorageTree(start, 0, &count);
    start->Release();
}

BOOL PlayerRecord::FindZuneFile(const CString& fileName, CString* objectId)
{
    if (objectId)
        objectId->Empty();
    if (IsZune() <= 0 || fileName.IsEmpty())
        return FALSE;
    if (!folders.empty()) {
        for (const auto& [index, entry] : folders) {
            if (entry->deletionResult == 0 && entry->name.CompareNoCase(fileName) == 0) {
                if (objectId)
                    *objectId = entry->zuneObjectId;
                return TRUE;
            }
        }
        return FALSE;
    }
    IZuneSupport* server = ZuneServer();
    if (!server)
        return FALSE;
    if (zuneFolderId.IsEmpty()) {
        CString folderId;
        if (FindZuneTarget(server, CString(), LoadText(IDS_MAKER_FOLDER), &folderId) != S_OK)
            return FALSE;
        zuneFolderId = folderId;
    }
    CString found;
    if (FindZuneTarget(server, zuneFolderId, fileName, &found) != S_OK)
        return FALSE;
    if (objectId)
        *objectId = found;
    return TRUE;
}

IZuneSupport* PlayerRecord::ZuneServer() const
{
    int index = zuneIndex;
    if (index < 0 || index >= ZuneDeviceCount())
        index = FindZuneDevice(name);
    return index >= 0 && index < ZuneDeviceCount() ? ZuneDevices()[index].server : nullptr;
}

void PlayerRecord::ListZuneFolders(const CString& caption)
{
    constexpr wchar_t kZuneStorageId[] = L"s10001";
    auto root = std::make_unique<PlayerFolderEntry>();
    root->parentIndex = -1;
    root->attributes = 0x5000008;
    root->isFolder = 1;
    root->name = caption;
    root->zuneObjectId = kZuneStorageId;
    folders[0] = std::move(root);
    IZuneSupport* server = ZuneServer();
    if (!server)
        return;
    const CString maker = LoadText(IDS_MAKER_FOLDER);
    int count = 1;
    zuneListCut = FALSE;
    // The storage's files and the maker's folder; below that folder, all it holds, as far as
    // the bounds of the list allow.
    struct Pending {
        CString id;
        int index;
        int depth;
    };
    std::vector<Pending> pending{{kZuneStorageId, 0, 0}};
    while (!pending.empty()) {
        const Pending parent = pending.back();
        pending.pop_back();
        std::vector<ZuneObject> objects;
        const HRESULT listed = ListZuneObjects(server, parent.id, &objects);
        if (FAILED(listed))
            continue;
        if (listed == S_FALSE)
            zuneListCut = TRUE;
        const CString parentPath = folders[parent.index]->path;
        for (const ZuneObject& object : objects) {
            const bool folder = (object.attributes & wmdm::kAttrFolder) != 0;
            if (parent.index == 0 && folder && object.name.CompareNoCase(maker) != 0)
                continue;
            if (count >= kMaxZuneEntries) {
                zuneListCut = TRUE;
                return;
            }
            auto entry = std::make_unique<PlayerFolderEntry>();
            entry->parentIndex = parent.index;
            entry->attributes = object.attributes;
            if (parent.index == 0 && folder)
                entry->attributes = (object.attributes ^ wmdm::kAttrReadOnly) | wmdm::kAttrCanDelete;
            entry->isFolder = folder ? wmdm::kAttrFolder : 0;
            entry->name = object.name;
            entry->path = parentPath.IsEmpty() || parentPath[parentPath.GetLength() - 1] != L'\\'
                              ? parentPath + L"\\" + object.name
                              : parentPath + object.name;
            entry->zuneObjectId = object.id;
            if (object.size)
                entry->sizeText = FormatStorageSize(object.size, false);
            const int index = count++;
            folders[index] = std::move(entry);
            if (!folder)
                continue;
            if (parent.depth + 1 >= kMaxZuneDepth)
                zuneListCut = TRUE;  // listed, but what it holds is not
            else
                pending.push_back({object.id, index, parent.depth + 1});
        }
    }
}

IWMDMStorage* CreateAlbumOnDevice(PlayerRecord* player, IWMDMDevice* device, const CString& title,
                                  const CString& coverPath, const CString& folderPath, const CString& sourcePath)
{
    if (!player || !device || !IsFormatSupportedByDevice(device, wmdm::kFormatAbstractAudioAlbum, FALSE) ||
        title.IsEmpty())
        return nullptr;
    CString albumName;
    albumName.Format(L"%s.alb", static_cast<const wchar_t*>(title));
    IWMDMStorage* folder = nullptr;
    IWMDMStorage* album = nullptr;
    player->FindStorage(device, folderPath, albumName, &folder, &album);
    if (album) {
        ReleaseAndClear(folder);
        player->albumReady = 1;
        return album;
    }
    player->albumReady = 0;
    if (coverPath.IsEmpty()) {
        ReleaseAndClear(folder);
        return nullptr;
    }
    if (!folder) {
        // One creation, one look again: a folder that still cannot be found gets no album.
        const DWORD made = player->EditDevicePath(folderPath, nullptr, FALSE);
        if (made == 0 || made == ERROR_ALREADY_EXISTS)
            player->FindStorage(device, folderPath, nullptr, &folder, nullptr);
        if (!folder)
            return nullptr;
    }
    const AlbumTextPair pair(albumName, coverPath, GetFormatCodeForFile(coverPath));
    HANDLE cover = CreateFileW(pair.cover, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (cover == INVALID_HANDLE_VALUE) {
        folder->Release();
        return nullptr;
    }
    CloseHandle(cover);
    IWMDMStorageControl3* control = nullptr;
    IWMDMStorage3* folder3 = nullptr;
    IWMDMMetaData* metadata = nullptr;
    HRESULT hr = folder->QueryInterface(IID_IWMDMStorageControl3, reinterpret_cast<void**>(&control));
    if (SUCCEEDED(hr))
        hr = folder->QueryInterface(IID_IWMDMStorage3, reinterpret_cast<void**>(&folder3));
    if (SUCCEEDED(hr))
        hr = folder3->CreateEmptyMetadataObject(&metadata);
    if (SUCCEEDED(hr)) {
        const DWORD code = wmdm::kFormatAbstractAudioAlbum;
        hr = metadata->AddItem(wmdm::TagType::Dword, wmdm::kFormatCode, reinterpret_cast<const BYTE*>(&code), sizeof(code));
    }
    if (SUCCEEDED(hr))
        hr = control->Insert3(wmdm::kModeBlock | wmdm::kContentFile, 0, nullptr, pair.name, nullptr, nullptr, metadata,
                              &album);
    ReleaseAndClear(metadata);
    if (FAILED(hr) || !album) {
        ReleaseAndClear(album);
        ReleaseAndClear(folder3);
        ReleaseAndClear(control);
        folder->Release();
        return nullptr;
    }
    // The album's art and the title's attributes; the album stands without them.
    IWMDMStorage4* album4 = nullptr;
    hr = album->QueryInterface(IID_IWMDMStorage4, reinterpret_cast<void**>(&album4));
    if (SUCCEEDED(hr))
        hr = folder3->CreateEmptyMetadataObject(&metadata);
    if (SUCCEEDED(hr))
        hr = LoadAlbumCoverMetadata(metadata, pair.cover, pair.formatCode);
    if (SUCCEEDED(hr) && !sourcePath.IsEmpty())
        hr = ReadWmAttributes(sourcePath, metadata, 1);
    // The part's own title ("Part 1") is not the album's: the album is called by the title's name.
    if (SUCCEEDED(hr))
        hr = metadata->AddItem(wmdm::TagType::String, wmdm::kTitle, reinterpret_cast<const BYTE*>(title.GetString()),
                               static_cast<UINT>((title.GetLength() + 1) * sizeof(wchar_t)));
    if (SUCCEEDED(hr))
        album4->SetMetadata(metadata);
    ReleaseAndClear(metadata);
    ReleaseAndClear(album4);
    ReleaseAndClear(folder3);
    ReleaseAndClear(control);
    folder->Release();
    player->albumReady = 1;
    return album;
}
