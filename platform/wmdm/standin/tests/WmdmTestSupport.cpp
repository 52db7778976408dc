#include "WmdmTestSupport.h"

#include "FixtureFiles.h"

namespace wmdmtest {

void StandInFixture::SetUpTestSuite()
{
    static const int registered = comtest::RunRegsvr32(comtest::BuiltModule(WMDM_STANDIN_PATH));
    ASSERT_EQ(0, registered);
}

void StandInFixture::TearDown()
{
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", nullptr);
}

void StandInFixture::WriteFixture(const std::string& text)
{
    testsupport::WriteAll(m_folder / L"devices.ini", text);
    SetEnvironmentVariableW(L"VESPERLIN_WMDM_DEVICES", m_folder / L"devices.ini");
}

com::ComPtr<IWMDeviceManager> StandInFixture::Manager()
{
    com::ComPtr<IComponentAuthenticate> created;
    EXPECT_EQ(S_OK, CoCreateInstance(CLSID_MediaDevMgr, nullptr, CLSCTX_ALL, IID_IComponentAuthenticate,
                                     created.PutVoid()));
    com::ComPtr<IWMDeviceManager> manager;
    if (created) {
        EXPECT_EQ(S_OK, created.As(&manager, IID_IWMDeviceManager));
    }
    return manager;
}

std::vector<com::ComPtr<IWMDMDevice>> StandInFixture::Devices()
{
    std::vector<com::ComPtr<IWMDMDevice>> devices;
    com::ComPtr<IWMDeviceManager> manager = Manager();
    com::ComPtr<IWMDMEnumDevice> enumeration;
    if (!manager || FAILED(manager->EnumDevices(enumeration.Put())))
        return devices;
    IWMDMDevice* device = nullptr;
    ULONG fetched = 0;
    while (enumeration->Next(1, &device, &fetched) == S_OK && fetched == 1) {
        devices.emplace_back();
        devices.back().Attach(device);
    }
    return devices;
}

com::ComPtr<IWMDMStorage> StandInFixture::RootStorage(IWMDMDevice* device, unsigned index)
{
    com::ComPtr<IWMDMEnumStorage> storages;
    com::ComPtr<IWMDMStorage> storage;
    if (FAILED(device->EnumStorage(storages.Put())))
        return storage;
    for (unsigned i = 0; i <= index; ++i) {
        ULONG fetched = 0;
        if (storages->Next(1, storage.Put(), &fetched) != S_OK)
            return {};
    }
    return storage;
}

com::ComPtr<IWMDMStorage> StandInFixture::Child(IWMDMStorage* parent, const wchar_t* name)
{
    com::ComPtr<IWMDMEnumStorage> children;
    if (FAILED(parent->EnumStorage(children.Put())))
        return {};
    com::ComPtr<IWMDMStorage> child;
    ULONG fetched = 0;
    while (children->Next(1, child.Put(), &fetched) == S_OK) {
        if (NameOf(child.Get()).CompareNoCase(name) == 0)
            return child;
    }
    return {};
}

CString StandInFixture::MakeFile(const wchar_t* name, size_t bytes, char fill)
{
    std::string data(bytes, fill);
    for (size_t i = 0; i < bytes; i += 97)
        data[i] = static_cast<char>(i / 97);
    testsupport::WriteAll(m_folder / name, data);
    return m_folder / name;
}

std::vector<std::string> StandInFixture::Lines(const wchar_t* relative) const
{
    return standin::SplitLines(testsupport::ReadAllBytes(m_folder / relative));
}

CString NameOf(IWMDMStorage* storage)
{
    wchar_t name[wmdm::kStorageNameChars] = L"";
    return storage && SUCCEEDED(storage->GetName(name, wmdm::kStorageNameChars)) ? CString(name) : CString();
}

CString NameOf(IWMDMDevice* device)
{
    wchar_t name[wmdm::kDeviceNameChars] = L"";
    return device && SUCCEEDED(device->GetName(name, wmdm::kDeviceNameChars)) ? CString(name) : CString();
}

}  // namespace wmdmtest
