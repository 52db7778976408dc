// For tests that drive the device manager's stand-in: a scratch folder with a fixture file the
// stand-in reads, the stand-in registered in the test prefix, and small readers of what it
// leaves in its folders.
#pragma once

#include "ComHolders.h"
#include "ComTestSupport.h"
#include "TestSupport.h"
#include "Wmdm.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace wmdmtest {

// Registers the stand-in (once per process) and points it at a fixture in a scratch folder.
class StandInFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void TearDown() override;

    // Writes the fixture file (INI text) and names it to the stand-in.
    void WriteFixture(const std::string& text);
    // The manager, created as the wizard creates it.
    com::ComPtr<IWMDeviceManager> Manager();
    // Every device the manager lists.
    std::vector<com::ComPtr<IWMDMDevice>> Devices();
    // A device's first storage (or the one at index).
    com::ComPtr<IWMDMStorage> RootStorage(IWMDMDevice* device, unsigned index = 0);
    // The child of a storage with that name, or null.
    com::ComPtr<IWMDMStorage> Child(IWMDMStorage* parent, const wchar_t* name);
    // A file of the scratch folder with these bytes.
    CString MakeFile(const wchar_t* name, size_t bytes, char fill = 'a');
    // The lines of a UTF-8 file of the scratch folder (events log, property file).
    std::vector<std::string> Lines(const wchar_t* relative) const;

    comtest::ApartmentScope m_com;
    testsupport::ScratchFolder m_folder;
};

CString NameOf(IWMDMStorage* storage);
CString NameOf(IWMDMDevice* device);

}  // namespace wmdmtest
