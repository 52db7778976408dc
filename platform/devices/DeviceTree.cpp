#include "DeviceTree.h"

#include "CString.h"
#include "FixtureFiles.h"

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace devices {

namespace {

// The tree of the fixture, read when the functions are bound; node 0 is the root, node i the
// fixture's Node<i>. A DEVINST is the node's index plus one.
struct Node {
    std::string id;
    ULONG parent = 0;
    ULONG status = 0;
    ULONG problem = 0;
    CONFIGRET ejectResult = CR_SUCCESS;
    PNP_VETO_TYPE vetoType = PNP_VetoTypeUnknown;
    std::wstring vetoName;
    bool noId = false;
};

std::mutex g_lock;
std::vector<Node> g_nodes;
std::wstring g_log;

const Node* NodeOf(DEVINST instance)
{
    return instance >= 1 && instance <= g_nodes.size() ? &g_nodes[instance - 1] : nullptr;
}

// The next node after index from whose parent is parent.
DEVINST FindChild(ULONG parent, size_t from)
{
    for (size_t i = from; i < g_nodes.size(); ++i) {
        if (i != 0 && g_nodes[i].parent == parent)
            return static_cast<DEVINST>(i + 1);
    }
    return 0;
}

CONFIGRET WINAPI FixtureLocate(PDEVINST instance, DEVINSTID_A id, ULONG)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (!instance)
        return CR_INVALID_POINTER;
    for (size_t i = 0; i < g_nodes.size(); ++i) {
        if (!id || !*id ? i == 0 : _stricmp(g_nodes[i].id.c_str(), id) == 0) {
            *instance = static_cast<DEVINST>(i + 1);
            return CR_SUCCESS;
        }
    }
    return CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI FixtureChild(PDEVINST child, DEVINST parent, ULONG)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (!child)
        return CR_INVALID_POINTER;
    if (!NodeOf(parent))
        return CR_INVALID_DEVNODE;
    *child = FindChild(parent - 1, 1);
    return *child ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI FixtureSibling(PDEVINST sibling, DEVINST node, ULONG)
{
    std::lock_guard<std::mutex> hold(g_lock);
    if (!sibling)
        return CR_INVALID_POINTER;
    const Node* found = NodeOf(node);
    if (!found)
        return CR_INVALID_DEVNODE;
    *sibling = node == 1 ? 0 : FindChild(found->parent, node);
    return *sibling ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
}

CONFIGRET WINAPI FixtureStatus(PULONG status, PULONG problem, DEVINST node, ULONG)
{
    std::lock_guard<std::mutex> hold(g_lock);
    const Node* found = NodeOf(node);
    if (!status || !problem)
        return CR_INVALID_POINTER;
    if (!found)
        return CR_NO_SUCH_DEVNODE;
    *status = found->status;
    *problem = found->problem;
    return CR_SUCCESS;
}

CONFIGRET WINAPI FixtureIdSize(PULONG length, DEVINST node, ULONG)
{
    std::lock_guard<std::mutex> hold(g_lock);
    const Node* found = NodeOf(node);
    if (!length)
        return CR_INVALID_POINTER;
    if (!found)
        return CR_NO_SUCH_DEVNODE;
    *length = static_cast<ULONG>(found->id.size());
    return CR_SUCCESS;
}

CONFIGRET WINAPI FixtureId(DEVINST node, PSTR buffer, ULONG length, ULONG)
{
    std::lock_guard<std::mutex> hold(g_lock);
    const Node* found = NodeOf(node);
    if (!buffer)
        return CR_INVALID_POINTER;
    if (!found)
        return CR_NO_SUCH_DEVNODE;
    if (found->noId)
        return CR_FAILURE;
    if (length <= found->id.size())
        return CR_BUFFER_SMALL;
    std::memcpy(buffer, found->id.c_str(), found->id.size() + 1);
    return CR_SUCCESS;
}

CONFIGRET Eject(DEVINST node, PPNP_VETO_TYPE vetoType, std::wstring* vetoName)
{
    std::lock_guard<std::mutex> hold(g_lock);
    const Node* found = NodeOf(node);
    if (!found)
        return CR_NO_SUCH_DEVNODE;
    standin::AppendLine(g_log, L"Eject " + CString::FromNarrow(found->id.data(), static_cast<int>(found->id.size())).str());
    if (found->ejectResult == CR_REMOVE_VETOED) {
        if (vetoType)
            *vetoType = found->vetoType;
        *vetoName = found->vetoName;
    }
    return found->ejectResult;
}

CONFIGRET WINAPI FixtureEjectA(DEVINST node, PPNP_VETO_TYPE vetoType, LPSTR vetoName, ULONG length, ULONG)
{
    std::wstring name;
    const CONFIGRET result = Eject(node, vetoType, &name);
    if (vetoName && length) {
        const std::string narrow = CString(name.c_str()).ToNarrow();
        lstrcpynA(vetoName, narrow.c_str(), static_cast<int>(length));
    }
    return result;
}

CONFIGRET WINAPI FixtureEjectW(DEVINST node, PPNP_VETO_TYPE vetoType, LPWSTR vetoName, ULONG length, ULONG)
{
    std::wstring name;
    const CONFIGRET result = Eject(node, vetoType, &name);
    if (vetoName && length)
        lstrcpynW(vetoName, name.c_str(), static_cast<int>(length));
    return result;
}

bool LoadFixtureTree(DeviceTree* tree)
{
    const standin::FixtureFile fixture(L"VESPERLIN_DEVICE_TREE");
    if (!fixture.Exists())
        return false;
    std::lock_guard<std::mutex> hold(g_lock);
    g_nodes.assign(1, Node{"HTREE\\ROOT\\0", 0, DN_STARTED | DN_DRIVER_LOADED, 0, CR_SUCCESS, PNP_VetoTypeUnknown, L"", false});
    for (const std::wstring& section : fixture.Sections(L"Tree", L"Node", 1024)) {
        Node node;
        node.id = CString(fixture.Text(section, L"Id").c_str()).ToNarrow();
        node.parent = static_cast<ULONG>(fixture.Number(section, L"Parent", 0));
        node.status = static_cast<ULONG>(fixture.Number(section, L"Status", DN_STARTED | DN_DRIVER_LOADED));
        node.problem = static_cast<ULONG>(fixture.Number(section, L"Problem", 0));
        node.ejectResult = static_cast<CONFIGRET>(fixture.Number(section, L"EjectResult", CR_SUCCESS));
        node.vetoType = static_cast<PNP_VETO_TYPE>(fixture.Number(section, L"VetoType", PNP_VetoTypeUnknown));
        node.vetoName = fixture.Text(section, L"VetoName");
        node.noId = fixture.Number(section, L"NoId", 0) != 0;
        g_nodes.push_back(std::move(node));
    }
    g_log = fixture.Beside(L"tree.events.log");
    tree->locateDevNode = &FixtureLocate;
    tree->getChild = &FixtureChild;
    tree->getSibling = &FixtureSibling;
    tree->getStatus = &FixtureStatus;
    tree->getDeviceIdSize = &FixtureIdSize;
    tree->getDeviceId = &FixtureId;
    tree->requestEjectA = &FixtureEjectA;
    tree->requestEjectW = &FixtureEjectW;
    return true;
}

template <class Function>
void Bind(HMODULE module, const char* name, Function* function)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

bool LoadDeviceTree(DeviceTree* tree)
{
    *tree = DeviceTree{};
    if (LoadFixtureTree(tree))
        return true;
    tree->module = GetModuleHandleW(L"setupapi.dll");
    if (!tree->module) {
        tree->module = LoadLibraryW(L"setupapi.dll");
        if (!tree->module) {
            tree->error = GetLastError();
            return false;
        }
        tree->loadedModule = true;
    }
    Bind(tree->module, "CM_Locate_DevNodeA", &tree->locateDevNode);
    Bind(tree->module, "CM_Get_Child", &tree->getChild);
    Bind(tree->module, "CM_Get_Sibling", &tree->getSibling);
    Bind(tree->module, "CM_Get_DevNode_Status", &tree->getStatus);
    Bind(tree->module, "CM_Get_Device_ID_Size", &tree->getDeviceIdSize);
    Bind(tree->module, "CM_Get_Device_IDA", &tree->getDeviceId);
    Bind(tree->module, "CM_Request_Device_EjectA", &tree->requestEjectA);
    Bind(tree->module, "CM_Request_Device_EjectW", &tree->requestEjectW);
    return true;
}

void UnloadDeviceTree(DeviceTree* tree)
{
    if (tree->loadedModule && tree->module)
        FreeLibrary(tree->module);
    *tree = DeviceTree{};
}

}  // namespace devices
