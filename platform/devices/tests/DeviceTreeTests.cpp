// The device tree: without a fixture the system's functions are bound; with one, the fixture's
// tree is walked child before sibling, ids and status words read, and eject requests answered
// and logged.
#include "DeviceTree.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DeviceTree : public ::testing::Test {
protected:
    void TearDown() override { SetEnvironmentVariableW(L"VESPERLIN_DEVICE_TREE", nullptr); }
    testsupport::ScratchFolder m_folder;
};

std::string IdOf(const devices::DeviceTree& tree, DEVINST node)
{
    ULONG length = 0;
    if (tree.getDeviceIdSize(&length, node, 0) != CR_SUCCESS)
        return "<size>";
    std::vector<char> id(length + 1);
    return tree.getDeviceId(node, id.data(), length + 1, 0) == CR_SUCCESS ? std::string(id.data()) : "<id>";
}

// Every node's id, depth first, children before siblings.
void Walk(const devices::DeviceTree& tree, DEVINST node, std::vector<std::string>* ids)
{
    ids->push_back(IdOf(tree, node));
    DEVINST child = 0;
    if (tree.getChild(&child, node, 0) != CR_SUCCESS)
        return;
    do {
        Walk(tree, child, ids);
    } while (tree.getSibling(&child, child, 0) == CR_SUCCESS);
}

TEST_F(DeviceTree, WithoutAFixtureTheSystemsFunctionsAreBound)
{
    SetEnvironmentVariableW(L"VESPERLIN_DEVICE_TREE", nullptr);
    devices::DeviceTree tree;
    ASSERT_TRUE(devices::LoadDeviceTree(&tree));
    EXPECT_NE(nullptr, tree.module);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(tree.module, "CM_Get_Child")), reinterpret_cast<void*>(tree.getChild));
    EXPECT_NE(nullptr, tree.requestEjectA);
    devices::UnloadDeviceTree(&tree);
    EXPECT_EQ(nullptr, tree.getChild);
}

TEST_F(DeviceTree, TheFixturesTreeIsWalkedAndEjectsAreAnsweredAndLogged)
{
    testsupport::WriteAll(m_folder / L"tree.ini",
                          "[Tree]\r\nCount=5\r\n"
                          "[Node1]\r\nId=USB\\ROOT_HUB20\\4&1\r\nParent=0\r\n"
                          "[Node2]\r\nId=USB\\VID_0781&PID_5567\\1\r\nParent=1\r\nStatus=0x0180600A\r\n"
                          "[Node3]\r\nId=USBSTOR\\DISK&VEN_SANDISK\\1&0\r\nParent=2\r\nEjectResult=0x17\r\nVetoType=6\r\n"
                          "VetoName=\\Device\\HarddiskVolume2\r\n"
                          "[Node4]\r\nId=PCI\\VEN_8086\r\nParent=0\r\nProblem=28\r\n"
                          "[Node5]\r\nId=ACPI\\PNP0A03\r\nParent=0\r\nNoId=1\r\n");
    SetEnvironmentVariableW(L"VESPERLIN_DEVICE_TREE", m_folder / L"tree.ini");
    devices::DeviceTree tree;
    ASSERT_TRUE(devices::LoadDeviceTree(&tree));
    EXPECT_EQ(nullptr, tree.module);

    DEVINST root = 0;
    ASSERT_EQ(CR_SUCCESS, tree.locateDevNode(&root, nullptr, 0));
    std::vector<std::string> ids;
    Walk(tree, root, &ids);
    EXPECT_EQ((std::vector<std::string>{"HTREE\\ROOT\\0", "USB\\ROOT_HUB20\\4&1", "USB\\VID_0781&PID_5567\\1",
                                        "USBSTOR\\DISK&VEN_SANDISK\\1&0", "PCI\\VEN_8086", "<id>"}),
              ids);

    struct Case {
        const char* id;
        ULONG status;
        ULONG problem;
        CONFIGRET eject;
        PNP_VETO_TYPE veto;
    };
    const Case cases[] = {
        {"USB\\VID_0781&PID_5567\\1", 0x0180600A, 0, CR_SUCCESS, PNP_VetoTypeUnknown},
        {"usbstor\\disk&ven_sandisk\\1&0", DN_STARTED | DN_DRIVER_LOADED, 0, CR_REMOVE_VETOED, PNP_VetoDevice},
        {"PCI\\VEN_8086", DN_STARTED | DN_DRIVER_LOADED, 28, CR_SUCCESS, PNP_VetoTypeUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        DEVINST node = 0;
        ASSERT_EQ(CR_SUCCESS, tree.locateDevNode(&node, const_cast<char*>(c.id), 0));
        ULONG status = 0, problem = 0;
        EXPECT_EQ(CR_SUCCESS, tree.getStatus(&status, &problem, node, 0));
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.problem, problem);
        PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
        char vetoName[MAX_PATH] = "";
        EXPECT_EQ(c.eject, tree.requestEjectA(node, &veto, vetoName, MAX_PATH, 0));
        EXPECT_EQ(c.veto, veto);
        if (c.eject == CR_REMOVE_VETOED) {
            EXPECT_STREQ("\\Device\\HarddiskVolume2", vetoName);
        }
    }
    DEVINST missing = 0;
    EXPECT_EQ(CR_NO_SUCH_DEVNODE, tree.locateDevNode(&missing, const_cast<char*>("USB\\NONE"), 0));
    EXPECT_EQ(std::string("Eject USB\\VID_0781&PID_5567\\1\r\nEject USBSTOR\\DISK&VEN_SANDISK\\1&0\r\nEject PCI\\VEN_8086\r\n"),
              testsupport::ReadAllBytes(m_folder / L"tree.events.log"));
    devices::UnloadDeviceTree(&tree);
}

}  // namespace
