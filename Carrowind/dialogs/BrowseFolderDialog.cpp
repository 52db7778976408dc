#include "BrowseFolderDialog.h"

#include "AfxMessageBox.h"
#include "Edit.h"
#include "FolderBrowserRules.h"
#include "HelpIds.h"
#include "Menu.h"
#include "PlayerRecord.h"
#include "ZuneClient.h"
#include "res/AdvancedOptionsIds.h"
#include "res/BrowseFolderIds.h"
#include "res/CarrowindIds.h"
#include "res/DeviceStringIds.h"
#include "res/HelpTopics.h"

#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

IMPLEMENT_DYNAMIC(CBrowseFolderDialog, CDialog)

namespace {

// Posted to itself once the tree has finished a label edit: rebuild and select, or edit again.
constexpr UINT WM_BROWSE_AFTER_EDIT = WM_APP + 0x40;

// The shell's system image list index of a file name or a folder of the system.
int SystemIconOf(const wchar_t* path, DWORD attributes, UINT extraFlags)
{
    SHFILEINFOW info{};
    if (!::SHGetFileInfoW(path, attributes, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON | extraFlags))
        return -1;
    return info.iIcon;
}

// The icon of a shell namespace path parsed from the desktop (-1 when it does not parse).
int ShellNamespaceIcon(const wchar_t* parsingName)
{
    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop)))
        return -1;
    PIDLIST_RELATIVE item = nullptr;
    int icon = -1;
    if (SUCCEEDED(desktop->ParseDisplayName(nullptr, nullptr, const_cast<wchar_t*>(parsingName), nullptr, &item, nullptr))) {
        SHFILEINFOW info{};
        if (::SHGetFileInfoW(reinterpret_cast<const wchar_t*>(item), 0, &info, sizeof(info),
                             SHGFI_PIDL | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
            icon = info.iIcon;
        ::CoTaskMemFree(item);
    }
    desktop->Release();
    return icon;
}

// A path without the player's root prefix and trailing backslashes, for comparing.
CString ComparablePath(const CString& path, const CString& rootPath)
{
    CString rest = path;
    if (!rootPath.IsEmpty() && rootPath != L"\\" && rest.GetLength() >= rootPath.GetLength() &&
        rest.Left(rootPath.GetLength()).CompareNoCase(rootPath) == 0)
        rest = rest.Mid(rootPath.GetLength());
    rest.Trim(L'\\');
    return rest;
}

CString EntryText(const PlayerFolderEntry& entry)
{
    if (entry.sizeText.IsEmpty())
        return entry.name;
    CString text;
    text.Format(L"%s (%s)", entry.name.GetString(), entry.sizeText.GetString());
    return text;
}

CString EntryDump(const PlayerFolderEntry& entry)
{
    auto yes = [&](DWORD bit) { return (entry.attributes & bit) ? L"Y" : L"N"; };
    CString dump;
    dump.Format(L"{[%X], Def[%s], Del[%s], Ren[%s], ROnly[%s], Play[%s], Hid[%s], Sys[%s], HasFolder[%s], HasFile[%s], Size[%s]}",
                entry.attributes, yes(kEntryDefaultStorage), yes(kEntryMayDelete), yes(kEntryMayRename),
                yes(kEntryReadOnly), yes(kEntryPlayable), yes(kEntryHidden), yes(kEntrySystem), yes(kEntryHasFolders),
                yes(kEntryHasFiles), entry.sizeText.GetString());
    return dump;
}

CString ParentPath(const CString& path)
{
    const int slash = path.ReverseFind(L'\\');
    if (slash <= 0)
        return L"\\";
    return path.Left(slash);
}

}  // namespace

BOOL BrowsePlayerToFreeSpace(CWnd* parent, PlayerRecord* player, const CString& startFolder, ULONGLONG neededBytes)
{
    CBrowseFolderDialog browser(startFolder, player, kBrowseDeleteFlags, player->name, neededBytes, parent);
    return browser.DoModal() == IDOK;
}

CBrowseFolderDialog::CBrowseFolderDialog(const CString& initialPath, PlayerRecord* player, DWORD flags,
                                         const CString& rootCaption, ULONGLONG neededBytes, CWnd* parent)
    : CDialog(IDD_BROWSE_FOLDER, parent), m_initialPath(initialPath), m_player(player), m_flags(flags),
      m_rootCaption(rootCaption), m_neededBytes(neededBytes)
{
    m_helpTopic = kBrowseFolderHelpTopic;
}

CBrowseFolderDialog::~CBrowseFolderDialog() { FreeShellItem(); }

void CBrowseFolderDialog::DoDataExchange(CDataExchange* dx) { DDX_Control(dx, IDC_BROWSE_TREE, m_tree); }

BOOL CBrowseFolderDialog::IsDeleteMode() const { return (m_flags & kBrowseDeleteMode) != 0; }
BOOL CBrowseFolderDialog::IsZune() const { return m_player->IsZune() > 0; }
BOOL CBrowseFolderDialog::IsDrivePlayer() const { return m_player->massStorage; }

BOOL CBrowseFolderDialog::MayChange(const PlayerFolderEntry& entry, DWORD mask) const
{
    return MayChangeFolderEntry(entry, mask, IsDrivePlayer());
}

void CBrowseFolderDialog::UseDeleteModeHelpIds()
{
    // The normal mode's help id of each control, and the delete mode's.
    static constexpr struct {
        DWORD normal, deleting;
    } kDeleteModeHelp[] = {
        {HID_CONTROL(IDD_BROWSE_FOLDER, IDC_BROWSE_TREE), 0x808F0004},
        {HID_CONTROL(IDD_BROWSE_FOLDER, IDC_BROWSE_PROMPT), 0x808F0001},
        {HID_CONTROL(IDD_BROWSE_FOLDER, IDC_BROWSE_NEW_FOLDER), 0x808F0002},
        {HID_CONTROL(IDD_BROWSE_FOLDER, IDC_BROWSE_STATUS), 0x808F0003},
        {HID_CONTROL(IDD_ABOUT, IDOK), 0x808F0005},
        {HID_CONTROL(IDD_ADVANCED_OPTIONS, IDCANCEL), 0x808F0006},
    };
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        const DWORD id = ::GetWindowContextHelpId(child);
        for (const auto& help : kDeleteModeHelp)
            if (id == help.normal)
                ::SetWindowContextHelpId(child, help.deleting);
    }
}

BOOL CBrowseFolderDialog::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_status.SubclassDlgItem(IDC_BROWSE_STATUS, this);
    wchar_t windows[MAX_PATH] = {};
    ::GetWindowsDirectoryW(windows, MAX_PATH);
    SHFILEINFOW info{};
    const HIMAGELIST images = reinterpret_cast<HIMAGELIST>(::SHGetFileInfoW(
        L"C:\\", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES));
    TreeView_SetImageList(m_tree.m_hWnd, images, TVSIL_NORMAL);
    m_folderIcon = SystemIconOf(windows, 0, 0);
    if (m_folderIcon < 0)
        m_folderIcon = SystemIconOf(L"folder", FILE_ATTRIBUTE_DIRECTORY, SHGFI_USEFILEATTRIBUTES);
    m_rootIcon = ShellNamespaceIcon(L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{21EC2020-3AEA-1069-A2DD-08002B30309D}"
                                    L"\\::{640167b4-59b0-47a6-b335-a6b3c0695aea}");
    if (m_rootIcon < 0)
        m_rootIcon = m_folderIcon;
    m_showHidden = (m_flags & kBrowseShowHidden) != 0;
    if (IsDeleteMode())
        UseDeleteModeHelpIds();

    if (IsDeleteMode()) {
        SetDlgItemText(IDC_BROWSE_NEW_FOLDER, L"&Delete");
        SetDlgItemText(IDC_BROWSE_PROMPT, AfxLoadString(IDS_BROWSE_DELETE_PROMPT));
        SetDlgItemText(IDCANCEL, L"&Close");
    } else if (IsZune()) {
        SetDlgItemText(IDC_BROWSE_PROMPT, AfxLoadString(IDS_BROWSE_ZUNE_PROMPT));
        SetDlgItemText(IDCANCEL, L"&Close");
    } else if (m_player->mobileDevice || m_player->massStorage) {
        SetDlgItemText(IDC_BROWSE_PROMPT, AfxLoadString(IDS_BROWSE_PLAYER_PROMPT));
    }
    Rebuild();
    SelectPath(m_initialPath);
    UpdateSpaceText();
    HTREEITEM selected = m_tree.GetSelectedItem();
    const PlayerFolderEntry* entry = EntryOf(selected);
    ShowStatus(entry ? entry->path : CString());
    m_tree.SetFocus();
    return FALSE;
}

PlayerFolderEntry* CBrowseFolderDialog::EntryOf(HTREEITEM item) const
{
    if (!item)
        return nullptr;
    const auto found = m_player->folders.find(static_cast<int>(m_tree.GetItemData(item)));
    return found == m_player->folders.end() ? nullptr : found->second.get();
}

HTREEITEM CBrowseFolderDialog::FindItem(const CString& path) const
{
    const auto root = m_player->folders.find(0);
    const CString rootPath = root == m_player->folders.end() ? CString() : root->second->path;
    const CString wanted = ComparablePath(path, rootPath);
    for (const auto& [index, entry] : m_player->folders) {
        if (entry->treeItem && ComparablePath(entry->path, rootPath).CompareNoCase(wanted) == 0)
            return entry->treeItem;
    }
    return nullptr;
}

void CBrowseFolderDialog::Rebuild()
{
    CWaitCursor wait;
    // A Zune keeps its list (deleted objects are marked in it); every other player is read again.
    m_player->ListFolders(m_rootCaption);
    FillTree();
}

void CBrowseFolderDialog::FillTree()
{
    CWaitCursor wait;
    FreeShellItem();
    m_tree.DeleteAllItems();
    const BOOL zune = IsZune();
    for (auto& [index, entry] : m_player->folders) {
        entry->treeItem = nullptr;
        if (zune && entry->deletionResult)
            continue;
        if (!IsFolderEntryShown(entry->attributes, m_flags, m_showHidden))
            continue;
        HTREEITEM parent = TVI_ROOT;
        if (entry->parentIndex != -1) {
            const auto up = m_player->folders.find(entry->parentIndex);
            if (up == m_player->folders.end() || !up->second->treeItem)
                continue;  // below an entry that is not shown
            parent = up->second->treeItem;
        }
        int image = m_folderIcon;
        if (index == 0)
            image = m_rootIcon;
        else if (!entry->isFolder)
            image = SystemIconOf(entry->name, FILE_ATTRIBUTE_NORMAL, SHGFI_USEFILEATTRIBUTES);
        entry->treeItem = m_tree.InsertItem(EntryText(*entry), image, image, parent, entry->isFolder ? TVI_FIRST : TVI_LAST);
        m_tree.SetItemData(entry->treeItem, static_cast<DWORD_PTR>(index));
    }
}

BOOL CBrowseFolderDialog::SelectPath(const CString& path)
{
    HTREEITEM item = FindItem(path);
    const BOOL found = item != nullptr;
    if (!found) {
        // The player's music or video folder stands in for a path below it that is gone.
        static const wchar_t* const kMediaFolders[] = {L"\\Music", L"\\Video"};
        for (const wchar_t* folder : kMediaFolders) {
            if (!item && path.Left(6).CompareNoCase(folder) == 0)
                item = FindItem(folder);
        }
    }
    if (!item)
        item = m_tree.GetRootItem();
    if (item) {
        m_tree.SelectItem(item);
        m_tree.Expand(item, TVE_EXPAND);
        m_tree.EnsureVisible(item);
    }
    return found;
}

void CBrowseFolderDialog::UpdateSpaceText()
{
    ULONGLONG freeBytes = 0;
    if (!m_player->GetFreeSpace(&freeBytes))
        freeBytes = 0;
    m_spaceText = FormatSpaceText(freeBytes, m_neededBytes);
}

void CBrowseFolderDialog::ShowStatus(const CString& path)
{
    const auto root = m_player->folders.find(0);
    const CString rootPath = root == m_player->folders.end() ? CString() : root->second->path;
    const CString below = ComparablePath(path, rootPath);
    if (!IsDeleteMode() && !IsZune() && !below.IsEmpty())
        m_statusText.Format(L"\\%s  [%s]", below.GetString(), m_spaceText.GetString());
    else
        m_statusText = m_spaceText;
    m_status.SetText(m_statusText);
}

void CBrowseFolderDialog::OnSelectionChanged()
{
    FreeShellItem();
    const PlayerFolderEntry* entry = EntryOf(m_tree.GetSelectedItem());
    if (!entry)
        return;
    SetDlgItemText(IDC_BROWSE_ENTRY_DUMP, EntryDump(*entry));
    if (IsDeleteMode()) {
        UpdateActionButton();
        ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), TRUE);
        m_tree.SetFocus();
    } else {
        ::EnableWindow(::GetDlgItem(m_hWnd, IDOK), entry->isFolder || IsZune());
        UpdateActionButton();
    }
    ShowStatus(entry->isFolder ? entry->path : m_initialPath);
}

void CBrowseFolderDialog::UpdateActionButton()
{
    const PlayerFolderEntry* entry = EntryOf(m_tree.GetSelectedItem());
    BOOL enable = FALSE;
    if (entry && IsDeleteMode()) {
        enable = !m_player->deleteFailed && MayChange(*entry, kEntryMayDelete);
    } else if (entry && m_player->mobileDevice) {
        enable = !m_player->massStorage && m_player->folders.count(0) && m_player->folders.at(0).get() == entry;
    } else if (entry) {
        enable = entry->isFolder && !m_player->folderCreationFailed && !IsZune();
    }
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_BROWSE_NEW_FOLDER), enable);
}

void CBrowseFolderDialog::Report(UINT textId, const CString& first, const CString& second, UINT type)
{
    AfxMessageBox(AfxFormatString(textId, first.GetString(), second.GetString()), type);
}

void CBrowseFolderDialog::ReportUnsupported(const wchar_t* operation)
{
    Report(IDS_CANNOT_DELETE_ON_PLAYER, operation, m_player->GetDisplayName());
}

void CBrowseFolderDialog::StartRename(HTREEITEM item, const CString& text)
{
    const PlayerFolderEntry* entry = EntryOf(item);
    if (!entry || !MayChange(*entry, kEntryMayRename))
        return;
    m_tree.SetItemText(item, entry->name);
    m_tree.SetFocus();
    CEdit* edit = m_tree.EditLabel(item);
    if (edit && !text.IsEmpty()) {
        edit->SetWindowText(text);
        edit->SetSel(0, -1);
    }
}

BOOL CBrowseFolderDialog::OnBeginLabelEdit(const NMTVDISPINFOW* info)
{
    const PlayerFolderEntry* entry = EntryOf(info->item.hItem);
    if (!entry || !MayChange(*entry, kEntryMayRename))
        return TRUE;  // refused
    if (CEdit* edit = m_tree.GetEditControl())
        edit->SetWindowText(entry->name);
    m_editing = TRUE;
    return FALSE;
}

void CBrowseFolderDialog::OnEndLabelEdit(const NMTVDISPINFOW* info)
{
    // The tree may end one edit twice (the edit box losing the focus to a message box ends it
    // again): the first end is the user's.
    if (!m_editing)
        return;
    m_editing = FALSE;
    PlayerFolderEntry* entry = EntryOf(info->item.hItem);
    if (!entry)
        return;
    if (!info->item.pszText) {
        m_tree.SetItemText(info->item.hItem, EntryText(*entry));  // cancelled
        return;
    }
    const CString newName = info->item.pszText;
    if (newName == entry->name) {
        m_tree.SetItemText(info->item.hItem, EntryText(*entry));
        return;
    }
    if (const UINT reason = CheckFolderName(newName)) {
        AfxMessageBox(FolderNameMessage(reason, newName), MB_OK | MB_ICONEXCLAMATION);
        m_retryItem = info->item.hItem;
        m_retryName = newName;
        PostMessage(WM_BROWSE_AFTER_EDIT);
        return;
    }
    if ((entry->attributes & kEntryReadOnly) &&
        AfxMessageBox(AfxFormatString(IDS_RENAME_READ_ONLY_FILE, entry->name.GetString(), newName.GetString()),
                      MB_YESNO | MB_ICONQUESTION) != IDYES) {
        m_tree.SetItemText(info->item.hItem, EntryText(*entry));
        return;
    }
    const CString oldName = entry->name;
    const CString parent = ParentPath(entry->path);
    const DWORD result = m_player->EditDevicePath(entry->path, newName, FALSE);
    if (result == 0) {
        m_pendingSelect = JoinPlayerPath(parent, newName);
        PostMessage(WM_BROWSE_AFTER_EDIT);
    } else if (result == ERROR_ALREADY_EXISTS) {
        Report(IDS_RENAME_NAME_EXISTS, oldName, newName, MB_OK | MB_ICONEXCLAMATION);
        m_retryItem = info->item.hItem;
        m_retryName = newName;
        PostMessage(WM_BROWSE_AFTER_EDIT);
    } else {
        ReportUnsupported(L"rename");
        m_tree.SetItemText(info->item.hItem, EntryText(*entry));
    }
}

BOOL CBrowseFolderDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_BROWSE_AFTER_EDIT) {
        if (m_retryItem) {
            HTREEITEM item = m_retryItem;
            const CString name = m_retryName;
            m_retryItem = nullptr;
            m_retryName.Empty();
            StartRename(item, name);
        } else if (!m_pendingSelect.IsEmpty()) {
            const CString path = m_pendingSelect;
            m_pendingSelect.Empty();
            Rebuild();
            SelectPath(path);
            UpdateActionButton();
        }
        *result = 0;
        return TRUE;
    }
    return CDialog::OnWndMsg(message, wParam, lParam, result);
}

void CBrowseFolderDialog::DeleteSelected()
{
    HTREEITEM item = m_tree.GetSelectedItem();
    PlayerFolderEntry* entry = EntryOf(item);
    if (!entry || !MayChange(*entry, kEntryMayDelete) || m_player->deleteFailed)
        return;
    const BOOL readOnly = (entry->attributes & kEntryReadOnly) != 0;
    UINT question = IDS_DELETE_ITEM;
    if (entry->isFolder)
        question = IDS_DELETE_FOLDER;
    else if (readOnly)
        question = IDS_DELETE_READ_ONLY_FILE;
    if (AfxMessageBox(AfxFormatString(question, entry->name.GetString()), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    CWaitCursor wait;
    const CString parent = ParentPath(entry->path);
    if (IsZune()) {
        // The one confirmation above is the user's answer; the server is not asked to ask again.
        if (m_player->zuneIndex < 0 || m_player->zuneIndex >= kMaxZuneDevices) {
            ReportUnsupported(L"delete");
            m_player->deleteFailed = 1;
            UpdateActionButton();
            return;
        }
        // Without an owner the client shows nothing: the failure is told here, as for other players.
        IZuneSupport* server = ZuneDevices()[m_player->zuneIndex].server;
        if (!DeleteZuneObject(nullptr, server, m_player->GetDisplayName(), entry->zuneObjectId)) {
            ReportUnsupported(L"delete");
            m_player->deleteFailed = 1;
            UpdateActionButton();
            return;
        }
        entry->deletionResult = 1;
        FillTree();
    } else {
        if (readOnly && !m_player->SetStorageAttributes(entry->name, parent, entry->attributes & ~kEntryReadOnly))
            return;
        if (m_player->EditDevicePath(entry->path, nullptr, TRUE) != 0) {
            ReportUnsupported(L"delete");
            m_player->deleteFailed = 1;
            UpdateActionButton();
            return;
        }
        Rebuild();
    }
    SelectPath(parent);
    UpdateSpaceText();
    ShowStatus(m_initialPath);
    UpdateActionButton();
}

void CBrowseFolderDialog::CreateNewFolder()
{
    const PlayerFolderEntry* entry = EntryOf(m_tree.GetSelectedItem());
    if (!entry || !entry->isFolder || m_player->folderCreationFailed)
        return;
    const CString folder = entry->path;
    CString created;
    DWORD result = ERROR_ALREADY_EXISTS;
    for (int attempt = 1; attempt <= kMaxNewFolderNames && result == ERROR_ALREADY_EXISTS; ++attempt) {
        created = JoinPlayerPath(folder, NewFolderName(attempt));
        result = m_player->EditDevicePath(created, nullptr, FALSE);
    }
    if (result == ERROR_ALREADY_EXISTS) {
        Report(IDS_NEW_FOLDER_NAMES_USED, folder, CString(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (result != 0) {
        ReportUnsupported(L"create folder");
        m_player->folderCreationFailed = 1;
        UpdateActionButton();
        return;
    }
    m_player->folderCreationFailed = 0;
    Rebuild();
    SelectPath(created);
    if (HTREEITEM item = FindItem(created))
        StartRename(item);
}

void CBrowseFolderDialog::FreeShellItem()
{
    if (m_shellItem)
        ::CoTaskMemFree(m_shellItem);
    m_shellItem = nullptr;
    m_shellItemPath.Empty();
}

BOOL CBrowseFolderDialog::LookUpShellItem(const CString& path)
{
    if (IsDrivePlayer() || IsZune() || m_player->IsApple() > 0)
        return FALSE;
    if (m_shellItem && m_shellItemPath.CompareNoCase(path) == 0)
        return TRUE;
    FreeShellItem();
    IShellFolder* desktop = nullptr;
    if (FAILED(::SHGetDesktopFolder(&desktop)))
        return FALSE;
    PIDLIST_ABSOLUTE computer = nullptr;
    IShellFolder* folder = nullptr;
    if (SUCCEEDED(::SHGetSpecialFolderLocation(m_hWnd, CSIDL_DRIVES, &computer)))
        desktop->BindToObject(computer, nullptr, IID_PPV_ARGS(&folder));
    desktop->Release();
    // The player's own name, then each component of the path, by the shell's display names.
    CString walk = m_player->GetDisplayName() + L"\\" + ComparablePath(path, CString());
    walk.TrimRight(L'\\');
    PIDLIST_ABSOLUTE current = computer;
    int start = 0;
    while (folder && current && start <= walk.GetLength()) {
        int end = walk.Find(L'\\', start);
        if (end < 0)
            end = walk.GetLength();
        const CString component = walk.Mid(start, end - start);
        start = end + 1;
        IEnumIDList* items = nullptr;
        PITEMID_CHILD child = nullptr;
        PITEMID_CHILD match = nullptr;
        if (folder->EnumObjects(m_hWnd, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &items) == S_OK) {
            while (!match && items->Next(1, &child, nullptr) == S_OK) {
                STRRET name{};
                wchar_t* text = nullptr;
                if (SUCCEEDED(folder->GetDisplayNameOf(child, SHGDN_INFOLDER, &name)) &&
                    SUCCEEDED(::StrRetToStrW(&name, child, &text))) {
                    if (component.CompareNoCase(text) == 0)
                        match = child;
                    ::CoTaskMemFree(text);
                }
                if (!match)
                    ::CoTaskMemFree(child);
            }
            items->Release();
        }
        PIDLIST_ABSOLUTE next = match ? ILCombine(current, match) : nullptr;
        IShellFolder* inner = nullptr;
        if (match && start <= walk.GetLength())
            folder->BindToObject(match, nullptr, IID_PPV_ARGS(&inner));
        if (match)
            ::CoTaskMemFree(match);
        ::CoTaskMemFree(current);
        current = next;
        folder->Release();
        folder = inner;
    }
    if (folder)
        folder->Release();
    if (!current)
        return FALSE;
    m_shellItem = current;
    m_shellItemPath = path;
    return TRUE;
}

void CBrowseFolderDialog::ShowProperties()
{
    const PlayerFolderEntry* entry = EntryOf(m_tree.GetSelectedItem());
    if (!entry || !LookUpShellItem(entry->path))
        return;
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_INVOKEIDLIST;
    execute.hwnd = m_hWnd;
    execute.lpVerb = L"properties";
    execute.lpIDList = m_shellItem;
    execute.nShow = SW_SHOW;
    ::ShellExecuteExW(&execute);
}

void CBrowseFolderDialog::ToggleHidden()
{
    m_showHidden = !m_showHidden;
    FillTree();
    const BOOL found = SelectPath(m_initialPath);
    ShowStatus(found ? m_initialPath : CString());
}

void CBrowseFolderDialog::Refresh()
{
    Rebuild();
    const BOOL found = SelectPath(m_initialPath);
    UpdateSpaceText();
    ShowStatus(found ? m_initialPath : CString());
    UpdateActionButton();
}

void CBrowseFolderDialog::ShowMenu(HTREEITEM item, CPoint point)
{
    PlayerFolderEntry* entry = EntryOf(item);
    if (!entry)
        return;
    const BOOL zune = IsZune();
    const BOOL root = m_player->folders.count(0) && m_player->folders.at(0).get() == entry;
    CMenu menu;
    if (root) {
        menu.LoadMenu(IDR_BROWSE_ROOT_MENU);
        CMenu* popup = menu.GetSubMenu(0);
        popup->CheckMenuItem(ID_BROWSE_SHOW_HIDDEN, m_showHidden ? MF_CHECKED : MF_UNCHECKED);
        if (zune)
            popup->EnableMenuItem(ID_BROWSE_SHOW_HIDDEN, MF_GRAYED);
        popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
        return;
    }
    const BOOL makerFolder = entry->isFolder && entry->name.CompareNoCase(AfxLoadString(IDS_MAKER_FOLDER)) == 0;
    if (zune && entry->isFolder && !makerFolder)
        return;
    menu.LoadMenu(IDR_BROWSE_ITEM_MENU);
    CMenu* popup = menu.GetSubMenu(0);
    auto enable = [&](UINT id, BOOL on) { popup->EnableMenuItem(id, on ? MF_ENABLED : MF_GRAYED); };
    enable(ID_BROWSE_PROPERTIES, LookUpShellItem(entry->path));
    enable(ID_BROWSE_RENAME, MayChange(*entry, kEntryMayRename));
    enable(ID_BROWSE_DELETE, !m_player->deleteFailed && MayChange(*entry, kEntryMayDelete));
    enable(ID_BROWSE_NEW_FOLDER, !m_player->folderCreationFailed && entry->isFolder && !m_player->mobileDevice);
    if (zune) {
        // Only Delete stays: what follows it goes, from the end.
        while (popup->GetMenuItemCount() > 1)
            popup->RemoveMenu(popup->GetMenuItemCount() - 1, MF_BYPOSITION);
    }
    popup->TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}

void CBrowseFolderDialog::OnContextMenu(CWnd*, CPoint point)
{
    HTREEITEM item = m_tree.GetSelectedItem();
    if (!item)
        return;
    if (point.x == -1 && point.y == -1) {
        RECT rect{};
        m_tree.GetItemRect(item, &rect, TRUE);
        POINT corner{rect.left, rect.bottom};
        ::ClientToScreen(m_tree.m_hWnd, &corner);
        point = CPoint(corner.x, corner.y);
    }
    ShowMenu(item, point);
}

BOOL CBrowseFolderDialog::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const NMHDR* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->idFrom != IDC_BROWSE_TREE)
        return CDialog::OnNotify(wParam, lParam, result);
    switch (header->code) {
    case TVN_SELCHANGEDW:
        OnSelectionChanged();
        *result = 0;
        return TRUE;
    case TVN_BEGINLABELEDITW:
        *result = OnBeginLabelEdit(reinterpret_cast<const NMTVDISPINFOW*>(lParam));
        return TRUE;
    case TVN_ENDLABELEDITW:
        OnEndLabelEdit(reinterpret_cast<const NMTVDISPINFOW*>(lParam));
        *result = FALSE;  // the tree's text is set here, or rebuilt
        return TRUE;
    case NM_RCLICK: {
        POINT cursor{};
        ::GetCursorPos(&cursor);
        POINT client = cursor;
        ::ScreenToClient(m_tree.m_hWnd, &client);
        HTREEITEM item = m_tree.HitTest(CPoint(client.x, client.y));
        if (item) {
            m_tree.SelectItem(item);
            ShowMenu(item, CPoint(cursor.x, cursor.y));
        }
        *result = TRUE;
        return TRUE;
    }
    default:
        return CDialog::OnNotify(wParam, lParam, result);
    }
}

BOOL CBrowseFolderDialog::OnCmdMsg(UINT id, UINT code)
{
    if (code != BN_CLICKED)
        return CDialog::OnCmdMsg(id, code);
    switch (id) {
    case IDC_BROWSE_NEW_FOLDER:
        if (IsDeleteMode())
            DeleteSelected();
        else
            CreateNewFolder();
        return TRUE;
    case ID_BROWSE_DELETE:
        DeleteSelected();
        return TRUE;
    case ID_BROWSE_RENAME:
        StartRename(m_tree.GetSelectedItem());
        return TRUE;
    case ID_BROWSE_NEW_FOLDER:
        CreateNewFolder();
        return TRUE;
    case ID_BROWSE_PROPERTIES:
        ShowProperties();
        return TRUE;
    case ID_BROWSE_SHOW_HIDDEN:
        ToggleHidden();
        return TRUE;
    case ID_BROWSE_REFRESH:
        Refresh();
        return TRUE;
    default:
        return CDialog::OnCmdMsg(id, code);
    }
}

BOOL CBrowseFolderDialog::PreTranslateMessage(MSG* msg)
{
    // While a label is edited its edit box gets every key, so Enter and Escape end the edit.
    if (CEdit* edit = m_tree.GetEditControl()) {
        if (msg->hwnd == edit->m_hWnd || ::IsChild(edit->m_hWnd, msg->hwnd)) {
            ::TranslateMessage(msg);
            ::DispatchMessageW(msg);
            return TRUE;
        }
    }
    // F5 anywhere in the dialog; Shift+F10 and the menu key come as WM_CONTEXTMENU.
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F5) {
        Refresh();
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CBrowseFolderDialog::OnOK()
{
    if (!IsDeleteMode() && !IsZune()) {
        const PlayerFolderEntry* entry = EntryOf(m_tree.GetSelectedItem());
        if (entry) {
            const auto root = m_player->folders.find(0);
            const CString rootPath = root == m_player->folders.end() ? CString() : root->second->path;
            const CString folder = entry->isFolder ? entry->path : ParentPath(entry->path);
            m_player->SetFolderPath(L"\\" + ComparablePath(folder, rootPath));
        }
    }
    EndDialog(IDOK);
}
