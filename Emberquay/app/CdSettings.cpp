#include "CdSettings.h"

#include "WizardServices.h"
#include "res/EmberquayIds.h"

#include <cwchar>

namespace {

constexpr const wchar_t* kLastSelDevice = L"LastSelDevice";

}  // namespace

CString ReadLastSelectedDevice()
{
    CString value, error;
    if (ReadRegValue(HKEY_CURRENT_USER, AfxLoadString(IDS_EMBERQUAY_SETTINGS_KEY), kLastSelDevice, value, error) != 0)
        return CString();
    return value;
}

void WriteLastSelectedDevice(const CString& name)
{
    CString error;
    WriteRegValue(HKEY_CURRENT_USER, AfxLoadString(IDS_EMBERQUAY_SETTINGS_KEY), kLastSelDevice, name, TRUE, error);
}

ULONG ReadWriteSpeed()
{
    CString value, error;
    if (ReadRegValue(HKEY_CURRENT_USER, AfxLoadString(IDS_EMBERQUAY_SETTINGS_KEY), AfxLoadString(IDS_WRITE_SPEED_VALUE),
                     value, error) != 0)
        return 0;
    const long speed = wcstol(value, nullptr, 10);
    return speed > 0 ? static_cast<ULONG>(speed) : 0;
}

void WriteWriteSpeed(ULONG speed)
{
    CString value, error;
    value.Format(L"%d", static_cast<int>(speed));
    WriteRegValue(HKEY_CURRENT_USER, AfxLoadString(IDS_EMBERQUAY_SETTINGS_KEY), AfxLoadString(IDS_WRITE_SPEED_VALUE), value,
                  TRUE, error);
}
