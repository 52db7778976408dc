// Safe removal over the device-tree seam: the player's node found by name or id, the nearest
// removable node ejected, and every failure a code with its message.
#include "SafeRemoval.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

const char kTree[] =
    "[Tree]\nCount=6\n"
    "[Node1]\nId=USB\\ROOT_HUB20\\4&1A2B&0\nParent=0\nStatus=0x0180200A\n"
    "[Node2]\nId=USB\\VID_0781&PID_5567\\0001\nParent=1\nStatus=0x0180600A\n"
    "[Node3]\nId=USBSTOR\\DISK&VEN_KITCHEN\\0001\nParent=2\nStatus=0x0180200A\n"
    "[Node4]\nId=PCI\\VEN_8086&DEV_2922\\3&1\nParent=0\nStatus=0x0180200A\n"
    "[Node5]\nId=USB\\VID_1111&PID_2222\\9\nParent=1\nStatus=0x0180600A\nEjectResult=0x17\nVetoType=6\n"
    "VetoName=\\Device\\HarddiskVolume2\n"
    "[Node6]\nId=USBSTOR\\DISK&VEN_BUSY\\1\nParent=5\nStatus=0x0180200A\n";

const struct {
    const char* id;
    const char* name;
} kNames[] = {
    {"USBSTOR\\DISK&VEN_KITCHEN\\0001", "Kitchen Player"},
    {"PCI\\VEN_8086&DEV_2922\\3&1", "Fixed Disk"},
    {"USBSTOR\\DISK&VEN_BUSY\\1", "Busy Player"},
};

class SafeRemoval : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::WriteAll(m_folder / L"tree.ini", kTree);
        SetEnvironmentVariableW(L"VESPERLIN_DEVICE_TREE", m_folder / L"tree.ini");
        for (const auto& entry : kNames) {
            HKEY key = nullptr;
            const std::string path = std::string("SYSTEM\\CurrentControlSet\\Enum\\") + entry.id;
            ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                                     nullptr, &key, nullptr));
            RegSetValueExA(key, "FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(entry.name),
                           static_cast<DWORD>(strlen(entry.name) + 1));
            RegCloseKey(key);
        }
    }
    void TearDown() override
    {
        SetEnvironmentVariableW(L"VESPERLIN_DEVICE_TREE", nullptr);
        for (const auto& entry : kNames)
            RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string("SYSTEM\\CurrentControlSet\\Enum\\") + entry.id).c_str());
    }
    std::vector<std::string> Ejected() const
    {
        std::vector<std::string> lines;
        const std::string log = testsupport::ReadAllBytes(m_folder / L"tree.events.log");
        size_t start = 0;
        for (size_t end = log.find('\n'); end != std::string::npos; start = end + 1, end = log.find('\n', start)) {
            std::string line = log.substr(start, end - start);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty())
                lines.push_back(line);
        }
        return lines;
    }

    testsupport::ScratchFolder m_folder;
};

TEST_F(SafeRemoval, CodesAndMessages)
{
    const struct {
        const wchar_t* mode;
        const wchar_t* target;
        BOOL verbose;
        int code;
        const wchar_t* message;
        std::vector<std::string> ejected;
    } cases[] = {
        // A matched node below a removable node ejects that ancestor.
        {L"EjectName", L"Kitchen Player", FALSE, 0, L"Safely removed player (\"Kitchen Player\").",
         {"Eject USB\\VID_0781&PID_5567\\0001"}},
        {L"ejectname", L"kitchen*", FALSE, 0, L"Safely removed player (\"kitchen*\").", {"Eject USB\\VID_0781&PID_5567\\0001"}},
        // A removable node matched itself is ejected directly; every match is ejected.
        {L"EjectId", L"USB\\VID_*", TRUE, 13, L"Removing player (\"USB\\VID_*\") vetoed (15,6)!",
         {"Eject USB\\VID_0781&PID_5567\\0001", "Eject USB\\VID_1111&PID_2222\\9"}},
        {L"EjectId", L"USB\\VID_0781*", TRUE, 0, L"Safely remove player: USB\\VID_0781*\n1 player(s) removed.",
         {"Eject USB\\VID_0781&PID_5567\\0001"}},
        {L"EjectName", L"Busy Player", FALSE, 13, L"Removing player (\"Busy Player\") vetoed (15,6)!",
         {"Eject USB\\VID_1111&PID_2222\\9"}},
        {L"EjectName", L"Fixed Disk", FALSE, 13, L"Player (\"Fixed Disk\") not removable (5,0)!", {}},
        // A name pattern never matches a node without a friendly name (the hub has none).
        {L"EjectName", L"USB\\ROOT_HUB20*", FALSE, 13, L"Player (\"USB\\ROOT_HUB20*\") not found (4,0)!", {}},
        {L"EjectName", L"Nobody", FALSE, 13, L"Player (\"Nobody\") not found (4,0)!", {}},
        // An empty target ejects nothing and says so.
        {L"EjectName", L"", FALSE, 13, L"Player (\"\") not found (4,0)!", {}},
        {L"EjectDrive", L"Q:", FALSE, 10,
         L"Usage: SafelyRemoveDevice(-EjectDrive:<Drive>|-EjectName:<Name>|-EjectId:<DeviceId>, bVerbose, bDebug)", {}},
        {L"Eject", L"Kitchen Player", FALSE, 10,
         L"Usage: SafelyRemoveDevice(-EjectDrive:<Drive>|-EjectName:<Name>|-EjectId:<DeviceId>, bVerbose, bDebug)", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CString(c.target).ToNarrow());
        DeleteFileW(m_folder / L"tree.events.log");
        CString message;
        EXPECT_EQ(c.code, SafelyRemovePlayer(c.mode, c.target, message, c.verbose, FALSE));
        EXPECT_EQ(CString(c.message), message);
        EXPECT_EQ(c.ejected, Ejected());
    }
}

CONFIGRET WINAPI FailingStatus(PULONG, PULONG, DEVINST, ULONG) { return CR_FAILURE; }

TEST_F(SafeRemoval, AStatusThatCannotBeReadIsAFailure)
{
    devices::DeviceTree tree;
    ASSERT_TRUE(devices::LoadDeviceTree(&tree));
    tree.getStatus = &FailingStatus;
    CString message;
    EXPECT_EQ(13, SafelyRemovePlayerWith(tree, L"EjectName", L"Kitchen Player", message, FALSE));
    EXPECT_EQ(CString(L"Removing player (\"Kitchen Player\") returned error code 11,19!"), message);
    EXPECT_TRUE(Ejected().empty());
    tree.getStatus = nullptr;
    EXPECT_EQ(13, SafelyRemovePlayerWith(tree, L"EjectName", L"Kitchen Player", message, FALSE));
    EXPECT_EQ(CString(L"Removing player (\"Kitchen Player\") returned error code 3,0!"), message);
    devices::UnloadDeviceTree(&tree);
}

TEST(EjectPattern, Matching)
{
    EXPECT_TRUE(MatchEjectPattern("usb\\vid_*", "USB\\VID_0781"));
    EXPECT_TRUE(MatchEjectPattern("Kitchen Player", "kitchen player"));
    EXPECT_FALSE(MatchEjectPattern("Kitchen", "Kitchen Player"));
    EXPECT_FALSE(MatchEjectPattern("Kitchen Player 2", "Kitchen Player"));
    EXPECT_TRUE(MatchEjectPattern("*", ""));
}

}  // namespace
