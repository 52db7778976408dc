// The mobile-device link's stand-in: devices from the fixture, the device registry read one key
// at a time, storage cards among the root folders, file writing with the device's "already
// exists" answer, paths that stay inside the device, and the device-side call that logs a line.
#include "ComHolders.h"
#include "ComTestSupport.h"
#include "Rapi.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr GUID kPocketId = {0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

class RapiStandIn : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static const int registered = comtest::RunRegsvr32(comtest::BuiltModule(RAPI_STANDIN_PATH));
        ASSERT_EQ(0, registered);
    }
    void SetUp() override
    {
        for (const wchar_t* folder : {L"ppc", L"ppc\\My Documents", L"ppc\\Storage Card", L"ppc\\SD Card",
                                      L"ppc\\Program Files", L"ppc\\Program Files\\Reader"})
            CreateDirectoryW(m_folder / folder, nullptr);
        testsupport::WriteAll(m_folder / L"ppc\\Program Files\\Reader\\ZKYMobileRapi.DLL", "MZ");
        testsupport::WriteAll(m_folder / L"ppc\\readme.txt", "x");
        testsupport::WriteAll(m_folder / L"outside.txt", "keep");
        UseFixture("");
    }
    void TearDown() override { SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", nullptr); }

    void UseFixture(const std::string& deviceLines)
    {
        testsupport::WriteAll(
            m_folder / L"mobile.ini",
            "[Devices]\r\nCount=2\r\n"
            "[Device1]\r\nName=Pocket PC\r\nGuid={11111111-2222-3333-4444-555555555555}\r\nPlatform=PocketPC\r\n"
            "OsVersion=5.2\r\nFolder=ppc\r\nCards=Storage Card, SD Card\r\n" + deviceLines +
            "[Device1.Registry]\r\n"
            "HKCR\\Vesperlin.Media\\Shell\\Open\\Command|=\"\\Program Files\\Reader\\Reader.exe\" \"%1\"\r\n"
            "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|DownloadFolder=\\My Documents\\Audiobooks\r\n"
            "HKCU\\Software\\Vesperlin, Inc.\\Brenvale\\Settings|ProductVersion=1.2.0.0\r\n"
            "[Device2]\r\nName=Second\r\n");
        SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", m_folder / L"mobile.ini");
    }
    com::ComPtr<IRAPIDesktop> Desktop()
    {
        com::ComPtr<IRAPIDesktop> desktop;
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_RAPI, nullptr, CLSCTX_INPROC_SERVER, IID_IRAPIDesktop, desktop.PutVoid()));
        return desktop;
    }
    // A session on the first device, initialised.
    com::ComPtr<IRAPISession> Session()
    {
        com::ComPtr<IRAPIDevice> device;
        com::ComPtr<IRAPISession> session;
        if (SUCCEEDED(Desktop()->FindDevice(&kPocketId, rapi::GetDevice::NonBlocking, device.Put())) &&
            SUCCEEDED(device->CreateSession(session.Put()))) {
            EXPECT_EQ(S_OK, session->CeRapiInit());
        }
        return session;
    }

    comtest::ApartmentScope m_com;
    testsupport::ScratchFolder m_folder;
};

TEST_F(RapiStandIn, DevicesAreThoseOfTheFixtureAndNoneWithoutOne)
{
    com::ComPtr<IRAPIEnumDevices> devices;
    ASSERT_EQ(S_OK, Desktop()->EnumDevices(devices.Put()));
    std::vector<CString> names;
    com::ComPtr<IRAPIDevice> device;
    while (devices->Next(device.Put()) == S_OK) {
        RAPI_DEVICEINFO info{};
        ASSERT_EQ(S_OK, device->GetDeviceInfo(&info));
        names.push_back(info.bstrName);
        if (names.size() == 1) {
            EXPECT_TRUE(IsEqualGUID(kPocketId, info.DeviceId));
            EXPECT_STREQ(L"PocketPC", info.bstrPlatform);
            EXPECT_EQ(5u, info.dwOsVersionMajor);
            EXPECT_EQ(2u, info.dwOsVersionMinor);
        }
        SysFreeString(info.bstrName);
        SysFreeString(info.bstrPlatform);
    }
    EXPECT_EQ((std::vector<CString>{L"Pocket PC", L"Second"}), names);

    const GUID unknown = {0x99, 0, 0, {0}};
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
              Desktop()->FindDevice(&unknown, rapi::GetDevice::NonBlocking, device.Put()));
    SetEnvironmentVariableW(L"VESPERLIN_RAPI_DEVICES", nullptr);
    ASSERT_EQ(S_OK, Desktop()->EnumDevices(devices.Put()));
    EXPECT_EQ(S_FALSE, devices->Next(device.Put()));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED),
              Desktop()->FindDevice(&kPocketId, rapi::GetDevice::NonBlocking, device.Put()));
}

TEST_F(RapiStandIn, TheRegistryIsReadOneKeyAtATime)
{
    com::ComPtr<IRAPISession> session = Session();
    ASSERT_TRUE(session);
    struct Case {
        HKEY root;
        std::vector<const wchar_t*> keys;
        const wchar_t* value;  // null: the default value
        LONG result;
        const wchar_t* text;
    };
    const Case cases[] = {
        {HKEY_CLASSES_ROOT, {L"Vesperlin.Media", L"Shell", L"Open", L"Command"}, nullptr, ERROR_SUCCESS,
         L"\"\\Program Files\\Reader\\Reader.exe\" \"%1\""},
        {HKEY_CURRENT_USER, {L"Software", L"Vesperlin, Inc.", L"Brenvale", L"Settings"}, L"DownloadFolder",
         ERROR_SUCCESS, L"\\My Documents\\Audiobooks"},
        {HKEY_CURRENT_USER, {L"Software", L"Vesperlin, Inc.", L"Brenvale", L"Settings"}, L"MobileID",
         ERROR_FILE_NOT_FOUND, nullptr},
        {HKEY_CURRENT_USER, {L"Software", L"Vesperlin, Inc.", L"Brenvale", L"Missing"}, L"x", ERROR_FILE_NOT_FOUND,
         nullptr},
        {HKEY_CLASSES_ROOT, {L"Vesperlin.Med"}, nullptr, ERROR_FILE_NOT_FOUND, nullptr},
    };
    for (const Case& c : cases) {
        HKEY key = c.root;
        std::vector<HKEY> opened;
        LONG result = ERROR_SUCCESS;
        for (const wchar_t* name : c.keys) {
            HKEY next = nullptr;
            result = session->CeRegOpenKeyEx(key, name, 0, KEY_READ, &next);
            if (result != ERROR_SUCCESS)
                break;
            opened.push_back(key = next);
        }
        if (result == ERROR_SUCCESS) {
            wchar_t text[260] = L"";
            DWORD size = sizeof(text);
            DWORD type = 0;
            result = session->CeRegQueryValueEx(key, c.value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
            if (c.text) {
                EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
                EXPECT_STREQ(c.text, text);
                EXPECT_EQ((wcslen(c.text) + 1) * sizeof(wchar_t), size);
                DWORD small = 4;
                EXPECT_EQ(ERROR_MORE_DATA,
                          session->CeRegQueryValueEx(key, c.value, nullptr, &type, reinterpret_cast<BYTE*>(text), &small));
                EXPECT_EQ(size, small);
            }
        }
        EXPECT_EQ(c.result, result);
        for (HKEY key : opened)
            EXPECT_EQ(ERROR_SUCCESS, session->CeRegCloseKey(key));
    }
}

TEST_F(RapiStandIn, StorageCardsAreRootFoldersWithTheTemporaryAttribute)
{
    com::ComPtr<IRAPISession> session = Session();
    ASSERT_TRUE(session);
    DWORD count = 0;
    CE_FIND_DATA* found = nullptr;
    ASSERT_TRUE(session->CeFindAllFiles(L"\\*", rapi::kFindAttributes | rapi::kFindName | rapi::kFindFoldersOnly, &count,
                                        &found));
    std::vector<std::pair<CString, bool>> folders;
    for (DWORD i = 0; i < count; ++i) {
        EXPECT_TRUE(found[i].dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        folders.emplace_back(found[i].cFileName, (found[i].dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY) != 0);
    }
    session->CeRapiFreeBuffer(found);
    std::sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.first.CompareNoCase(b.first) < 0; });
    EXPECT_EQ((std::vector<std::pair<CString, bool>>{
                  {L"My Documents", false}, {L"Program Files", false}, {L"SD Card", true}, {L"Storage Card", true}}),
              folders);

    CE_FIND_DATA one{};
    HANDLE find = session->CeFindFirstFile(L"\\Storage Card", &one);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    EXPECT_TRUE(one.dwFileAttributes & FILE_ATTRIBUTE_TEMPORARY);
    EXPECT_TRUE(session->CeFindClose(find));
    EXPECT_EQ(INVALID_HANDLE_VALUE, session->CeFindFirstFile(L"\\My Documents\\Nothing", &one));
    EXPECT_EQ(INVALID_HANDLE_VALUE, session->CeFindFirstFile(L"\\..\\outside.txt", &one));
}

TEST_F(RapiStandIn, FilesAreWrittenAppendedAndDeletedInsideTheDevice)
{
    com::ComPtr<IRAPISession> session = Session();
    ASSERT_TRUE(session);
    const wchar_t list[] = L"\\Program Files\\Reader\\Carrowind.dat";
    const CString host = m_folder / L"ppc\\Program Files\\Reader\\Carrowind.dat";
    // The first title makes the list file; the second opens it again: "already exists".
    for (const char* line : {"\\My Documents\\One\\One.vpm\r\n", "\\My Documents\\Two\\Two.vpm\r\n"}) {
        HANDLE file = session->CeCreateFile(list, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                            FILE_ATTRIBUTE_HIDDEN, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        const DWORD expected = std::string(line).find("One") != std::string::npos ? 0u : DWORD(ERROR_ALREADY_EXISTS);
        EXPECT_EQ(expected, session->CeGetLastError());
        session->CeSetFilePointer(file, 0, nullptr, FILE_END);
        DWORD written = 0;
        EXPECT_TRUE(session->CeWriteFile(file, line, static_cast<DWORD>(strlen(line)), &written, nullptr));
        EXPECT_EQ(strlen(line), written);
        EXPECT_TRUE(session->CeCloseHandle(file));
    }
    EXPECT_EQ(std::string("\\My Documents\\One\\One.vpm\r\n\\My Documents\\Two\\Two.vpm\r\n"),
              testsupport::ReadAllBytes(host));
    const std::string log = testsupport::ReadAllBytes(m_folder / L"Device1.events.log");
    EXPECT_NE(std::string::npos, log.find("CeCreateFile \\Program Files\\Reader\\Carrowind.dat 0x2 OPEN_ALWAYS"));

    // A new file with CREATE_ALWAYS, then deleted with its folder once empty.
    CreateDirectoryW(m_folder / L"ppc\\My Documents\\Audiobooks", nullptr);
    HANDLE part = session->CeCreateFile(L"\\My Documents\\Audiobooks\\Part01.wma", GENERIC_WRITE, FILE_SHARE_READ,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, part);
    EXPECT_EQ(0u, session->CeGetLastError());
    DWORD written = 0;
    EXPECT_TRUE(session->CeWriteFile(part, "", 0, &written, nullptr));
    EXPECT_TRUE(session->CeCloseHandle(part));
    EXPECT_FALSE(session->CeCloseHandle(part));
    EXPECT_EQ(0, testsupport::FileSizeOf(m_folder / L"ppc\\My Documents\\Audiobooks\\Part01.wma"));
    EXPECT_FALSE(session->CeRemoveDirectory(L"\\My Documents\\Audiobooks"));
    EXPECT_TRUE(session->CeDeleteFile(L"\\My Documents\\Audiobooks\\Part01.wma"));
    EXPECT_TRUE(session->CeRemoveDirectory(L"\\My Documents\\Audiobooks"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(m_folder / L"ppc\\My Documents\\Audiobooks"));

    // Paths that would leave the device name nothing.
    for (const wchar_t* path : {L"\\..\\outside.txt", L"..\\outside.txt", L"\\My Documents\\..\\..\\outside.txt",
                                L"C:\\outside.txt", L"\\a/b"}) {
        EXPECT_EQ(INVALID_HANDLE_VALUE, session->CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                                              FILE_ATTRIBUTE_NORMAL, nullptr))
            << CString(path).ToNarrow();
        EXPECT_FALSE(session->CeDeleteFile(path));
    }
    EXPECT_EQ(std::string("keep"), testsupport::ReadAllBytes(m_folder / L"outside.txt"));
}

TEST_F(RapiStandIn, InjectedFailuresAndCallsBeforeTheSessionStarts)
{
    UseFixture("Fail.CeCreateFile=5*1\r\nFail.CeWriteFile=112*1\r\nFail.CeRapiInvoke=0x80004005*1\r\n");
    com::ComPtr<IRAPISession> session = Session();
    ASSERT_TRUE(session);
    const wchar_t path[] = L"\\My Documents\\x.txt";
    EXPECT_EQ(INVALID_HANDLE_VALUE, session->CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), session->CeGetLastError());
    HANDLE file = session->CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD written = 0;
    EXPECT_FALSE(session->CeWriteFile(file, "abc", 3, &written, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), session->CeGetLastError());
    EXPECT_TRUE(session->CeWriteFile(file, "abc", 3, &written, nullptr));
    session->CeCloseHandle(file);
    EXPECT_EQ(E_FAIL, session->CeRapiInvoke(L"\\Program Files\\Reader\\ZKYMobileRapi.DLL", L"ZKYMInvokableFunction",
                                            0, nullptr, nullptr, nullptr, nullptr, 0));

    UseFixture("Fail.CreateSession=0x80004005*1\r\nFail.CeRapiInit=0x8007001F*1\r\n");
    com::ComPtr<IRAPIDevice> device;
    ASSERT_EQ(S_OK, Desktop()->FindDevice(&kPocketId, rapi::GetDevice::NonBlocking, device.Put()));
    com::ComPtr<IRAPISession> later;
    EXPECT_EQ(E_FAIL, device->CreateSession(later.Put()));
    ASSERT_EQ(S_OK, device->CreateSession(later.Put()));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_NOT_READY, later->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, L"Vesperlin.Media", 0, KEY_READ, &key));
    EXPECT_EQ(INVALID_HANDLE_VALUE, later->CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_GEN_FAILURE), later->CeRapiInit());
    EXPECT_EQ(S_OK, later->CeRapiInit());
    EXPECT_EQ(ERROR_SUCCESS, later->CeRegOpenKeyEx(HKEY_CLASSES_ROOT, L"Vesperlin.Media", 0, KEY_READ, &key));
    later->CeRegCloseKey(key);
    EXPECT_EQ(S_OK, later->CeRapiUninit());
}

TEST_F(RapiStandIn, TheDeviceSideCallLogsOneLineEachTime)
{
    com::ComPtr<IRAPISession> session = Session();
    ASSERT_TRUE(session);
    const wchar_t library[] = L"\\Program Files\\Reader\\ZKYMobileRapi.DLL";
    for (int i = 0; i < 2; ++i) {
        DWORD size = 0;
        BYTE* output = nullptr;
        EXPECT_EQ(S_OK, session->CeRapiInvoke(library, L"ZKYMInvokableFunction", 0, nullptr, &size, &output, nullptr, 0));
        LocalFree(output);
    }
    EXPECT_EQ(std::string("ZKYMInvokableFunction\r\nZKYMInvokableFunction\r\n"),
              testsupport::ReadAllBytes(m_folder / L"ppc\\Program Files\\Reader\\ZKYMobileRapi.log"));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND),
              session->CeRapiInvoke(library, L"OtherFunction", 0, nullptr, nullptr, nullptr, nullptr, 0));
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND),
              session->CeRapiInvoke(L"\\Windows\\ZKYMobileRapi.DLL", L"ZKYMInvokableFunction", 0, nullptr, nullptr,
                                    nullptr, nullptr, 0));
}

}  // namespace
