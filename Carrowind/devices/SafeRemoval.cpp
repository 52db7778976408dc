#include "SafeRemoval.h"

#include "iTunesAutomation.h"
#include "res/DeviceStringIds.h"

#include <string>
#include <vector>

namespace {

struct Ancestor {
    ULONG status;
    ULONG problem;
    DEVINST node;
};

struct Walk {
    const devices::DeviceTree& tree;
    std::string pattern;
    bool byName;
    UINT result = kEjectDone;
    ULONG detail = 0;
    UINT matched = 0;
    UINT ejected = 0;
    bool stop = false;
};

std::string FriendlyNameOf(const std::string& id)
{
    const std::string path = "SYSTEM\\CurrentControlSet\\Enum\\" + id;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    std::string name;
    for (const char* value : {"FriendlyName", "DeviceDesc"}) {
        char text[512] = {};
        DWORD type = 0;
        DWORD size = sizeof(text) - 1;
        if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
            (type == REG_SZ || type == REG_EXPAND_SZ) && text[0]) {
            name = text;
            break;
        }
    }
    RegCloseKey(key);
    return name;
}

void Fail(Walk& walk, UINT result, ULONG detail)
{
    walk.result = result;
    walk.detail = detail;
    walk.stop = true;
}

void Visit(Walk& walk, DEVINST node, std::vector<Ancestor>& chain)
{
    const devices::DeviceTree& tree = walk.tree;
    ULONG status = 0, problem = 0;
    CONFIGRET cr = tree.getStatus(&status, &problem, node, 0);
    if (cr != CR_SUCCESS && cr != CR_NO_SUCH_DEVNODE) {
        // A node whose state cannot be read cannot be judged: the removal has failed.
        Fail(walk, kEjectStatusFailed, cr);
        return;
    }
    ULONG idSize = 0;
    cr = tree.getDeviceIdSize(&idSize, node, 0);
    if (cr != CR_SUCCESS) {
        Fail(walk, kEjectStatusFailed, cr);
        return;
    }
    std::vector<char> id(idSize + 1, '\0');
    if (tree.getDeviceId(node, id.data(), static_cast<ULONG>(id.size()), 0) != CR_SUCCESS) {
        Fail(walk, kEjectNoDeviceId, 0);
        return;
    }
    const std::string deviceId = id.data();
    const std::string name = FriendlyNameOf(deviceId);
    const bool skip = walk.byName && name.empty();
    if (!skip && !walk.pattern.empty() && MatchEjectPattern(walk.pattern.c_str(), walk.byName ? name.c_str() : deviceId.c_str())) {
        ++walk.matched;
        DEVINST removable = 0;
        ULONG removableProblem = 0;
        if (status & DN_REMOVABLE) {
            removable = node;
            removableProblem = problem;
        } else {
            for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
                if (it->status & DN_REMOVABLE) {
                    removable = it->node;
                    removableProblem = it->problem;
                    break;
                }
            }
        }
        if (!removable) {
            Fail(walk, kEjectNotRemovable, 0);
            return;
        }
        if (removableProblem) {
            Fail(walk, kEjectHasProblem, removableProblem);
            return;
        }
        PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
        char vetoName[MAX_PATH] = {};
        cr = tree.requestEjectA(removable, &veto, vetoName, static_cast<ULONG>(std::size(vetoName)), 0);
        if (cr == CR_REMOVE_VETOED) {
            Fail(walk, kEjectVetoed, static_cast<ULONG>(veto));
            return;
        }
        if (cr != CR_SUCCESS) {
            Fail(walk, kEjectRequestFailed, cr);
            return;
        }
        ++walk.ejected;
    }
    DEVINST child = 0;
    cr = tree.getChild(&child, node, 0);
    if (cr == CR_SUCCESS) {
        chain.push_back({status, problem, node});
        for (DEVINST current = child; !walk.stop;) {
            Visit(walk, current, chain);
            if (walk.stop)
                break;
            DEVINST sibling = 0;
            cr = tree.getSibling(&sibling, current, 0);
            if (cr == CR_NO_SUCH_DEVNODE)
                break;
            if (cr != CR_SUCCESS) {
                Fail(walk, kEjectNoSibling, cr);
                break;
            }
            current = sibling;
        }
        chain.pop_back();
    } else if (cr != CR_NO_SUCH_DEVNODE) {
        Fail(walk, kEjectStatusFailed, cr);
    }
}

// The device instance id of a drive's volume, from the mounted-devices list.
CString DeviceIdOfDrive(const CString& drive)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\MountedDevices", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return CString();
    const CString value = L"\\DosDevices\\" + drive.Left(255);
    std::vector<BYTE> data(4096);
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(data.size());
    const LONG read = RegQueryValueExW(key, value, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_BINARY || size < 4 * sizeof(wchar_t))
        return CString();
    std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(wchar_t));
    if (text.compare(0, 4, L"\\??\\") != 0)
        return CString();
    CString id;
    for (size_t i = 4; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c == L'{' || c == 0 || (c == L'#' && i + 1 < text.size() && text[i + 1] == L'{'))
            break;
        id += c == L'#' ? L'\\' : c;
    }
    return id;
}

CString Formatted(UINT id, const CString& target, UINT result, ULONG detail)
{
    CString text;
    text.Format(id, static_cast<const wchar_t*>(target), result, static_cast<unsigned>(detail));
    return text;
}

}  // namespace

bool MatchEjectPattern(const char* pattern, const char* text)
{
    for (;; ++pattern, ++text) {
        if (*pattern == '*')
            return true;
        if (!*pattern || !*text)
            return !*pattern && !*text;
        if (tolower(static_cast<unsigned char>(*pattern)) != tolower(static_cast<unsigned char>(*text)))
            return false;
    }
}

int SafelyRemovePlayerWith(const devices::DeviceTree& tree, const CString& mode, const CString& target,
                           CString& message, BOOL verbose)
{
    message.Empty();
    CString pattern = target;
    bool byName = false;
    if (mode.CompareNoCase(L"EjectDrive") == 0) {
        pattern = DeviceIdOfDrive(target);
        if (pattern.IsEmpty()) {
            message.Format(IDS_REMOVAL_USAGE, L"SafelyRemoveDevice");
            return 10;
        }
        if (verbose) {
            message.Format(IDS_EJECTING_DRIVE, static_cast<const wchar_t*>(target), static_cast<const wchar_t*>(pattern));
        }
    } else if (mode.CompareNoCase(L"EjectName") == 0) {
        byName = true;
    } else if (mode.CompareNoCase(L"EjectId") != 0) {
        message.Format(IDS_REMOVAL_USAGE, L"SafelyRemoveDevice");
        return 10;
    }
    if (verbose && message.IsEmpty())
        message.Format(IDS_REMOVING_PLAYER, static_cast<const wchar_t*>(target));

    Walk walk{tree, pattern.ToNarrow(CP_ACP), byName};
    if (pattern.IsEmpty()) {
        // Nothing names the player: nothing can be ejected.
        message = Formatted(IDS_REMOVAL_NOT_FOUND, target, kEjectNothingMatched, 0);
        return 13;
    }
    if (!tree.locateDevNode || !tree.getChild || !tree.getSibling || !tree.getStatus || !tree.getDeviceIdSize ||
        !tree.getDeviceId || !tree.requestEjectA) {
        walk.result = kEjectFunctionMissing;
    } else {
        DEVINST root = 0;
        const CONFIGRET cr = tree.locateDevNode(&root, nullptr, 0);
        if (cr != CR_SUCCESS) {
            walk.result = kEjectNoRoot;
            walk.detail = cr;
        } else {
            std::vector<Ancestor> chain;
            Visit(walk, root, chain);
            if (walk.result == kEjectDone && walk.ejected == 0)
                walk.result = kEjectNothingMatched;
        }
    }
    UINT failure = 0;
    switch (walk.result) {
    case kEjectDone: {
        if (verbose) {
            CString count;
            count.Format(IDS_REMOVED_COUNT, walk.ejected);
            message += L"\n" + count;
        } else {
            message.Format(IDS_REMOVED_PLAYER, static_cast<const wchar_t*>(target));
        }
        return 0;
    }
    case kEjectNothingMatched: failure = IDS_REMOVAL_NOT_FOUND; break;
    case kEjectNotRemovable: failure = IDS_REMOVAL_NOT_REMOVABLE; break;
    case kEjectHasProblem: failure = IDS_REMOVAL_PROBLEM; break;
    case kEjectVetoed: failure = IDS_REMOVAL_VETOED; break;
    default: failure = IDS_REMOVAL_RETURNED; break;
    }
    message = Formatted(failure, target, walk.result, walk.detail);
    return 13;
}

int SafelyRemovePlayer(const CString& mode, const CString& target, CString& message, BOOL verbose, BOOL)
{
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (GetVersionExW(&version) && version.dwMajorVersion < 5) {
#pragma GCC diagnostic pop
        message.LoadString(3105);
        return 12;
    }
    devices::DeviceTree tree;
    if (!devices::LoadDeviceTree(&tree)) {
        message.Format(IDS_REMOVAL_ERROR_CODE, 2u, static_cast<unsigned>(tree.error));
        return 12;
    }
    const int code = SafelyRemovePlayerWith(tree, mode, target, message, verbose);
    devices::UnloadDeviceTree(&tree);
    return code;
}

int SafelyRemoveApplePlayer(const CString& deviceName, const CString& iTunesName, CString& message)
{
    const HRESULT hr = EjectiPod(iTunesName);
    if (SUCCEEDED(hr)) {
        message.Format(IDS_REMOVED_PLAYER, static_cast<const wchar_t*>(deviceName));
        return 0;
    }
    message = Formatted(IDS_REMOVAL_RETURNED, deviceName, static_cast<UINT>(hr), kAppleEjectDetail);
    return 13;
}
