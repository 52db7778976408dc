#include "WizardSettings.h"

#include "FileUtils.h"
#include "WizardApp.h"
#include "WizardServices.h"
#include "res/CarrowindIds.h"

namespace {

CString SettingsKey() { return AfxLoadString(IDS_CARROWIND_SETTINGS_KEY); }

// Reads one value; the error text goes nowhere (the caller takes its default).
bool ReadSetting(const wchar_t* name, CString& value)
{
    CString error;
    return ReadRegValue(HKEY_LOCAL_MACHINE, SettingsKey(), name, value, error) == ERROR_SUCCESS;
}

LONG WriteSetting(const wchar_t* name, const wchar_t* value)
{
    CString error;
    const LONG status = WriteRegValue(HKEY_LOCAL_MACHINE, SettingsKey(), name, value, TRUE, error);
    if (CWizardAppBase* app = AfxGetWizardApp()) {
        CString record;
        record.Format(L"SetRegValue: %s %s %s %s error:%s", SettingsKey().GetString(), name, value, L"RegCreateKeyEx",
                      error.GetString());
        app->WriteVerboseLog(record);
    }
    return status;
}

}  // namespace

CString ReadLastSelDevice()
{
    CString value;
    return ReadSetting(L"LastSelDevice", value) ? value : CString();
}

LONG WriteLastSelDevice(const wchar_t* name) { return WriteSetting(L"LastSelDevice", name ? name : L""); }

int ReadiPodAddProgressEst()
{
    CString value;
    if (!ReadSetting(L"iPodAddProgressEst", value) || value.Trim().IsEmpty())
        return 2560;
    return _wtoi(value);
}

int ReadWmaToAppleWaitSeconds()
{
    CString value;
    int seconds = 10;
    bool write = true;
    if (ReadSetting(L"WMAToAppleDeviceWaitSeconds", value) && !value.Trim().IsEmpty()) {
        seconds = _wtoi(value);
        write = seconds < 0 || seconds > 60;
        seconds = std::clamp(seconds, 0, 60);
    }
    if (write) {
        CString text;
        text.Format(L"%d", seconds);
        WriteSetting(L"WMAToAppleDeviceWaitSeconds", text);
    }
    return seconds;
}

CString ReadWindowPositionSetting()
{
    CString value;
    ReadSetting(L"WindowPosition", value);
    value.Remove(L' ');
    return value;
}

BOOL IsLocalServerInstalled(const wchar_t* clsid, CString* version)
{
    CString key;
    key.Format(L"CLSID\\%s\\LocalServer32", clsid);
    CString path;
    CString error;
    if (ReadRegValue(HKEY_CLASSES_ROOT, key, nullptr, path, error) != ERROR_SUCCESS)
        return FALSE;
    path.Trim(L" \"");
    if (path.IsEmpty() || !FileExists(path))
        return FALSE;
    if (version)
        *version = GetFileProductVersion(path);
    return TRUE;
}

BOOL IsZuneName(const wchar_t* name)
{
    return name && CString(name).Find(AfxLoadString(IDS_ZUNE_NAME)) >= 0;
}
