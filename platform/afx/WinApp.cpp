#include "WinApp.h"

#include "AfxIds.h"
#include "AfxMessageBox.h"
#include "AfxResource.h"
#include "HtmlHelp.h"
#include "RegistryKey.h"
#include "Wnd.h"

#include <shlwapi.h>

#include <vector>

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp* AfxGetApp() { return g_app; }

CWinApp::CWinApp(const wchar_t* appName)
{
    m_appName = appName ? CString(appName) : AfxLoadString(AFX_IDS_APP_TITLE);
    m_pszAppName = m_appName;
    m_hInstance = AfxGetInstanceHandle();
    g_app = this;
    AfxSetThread(this);
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

void CWinApp::SetRegistryKey(const wchar_t* registryKey)
{
    m_registryKey = registryKey ? registryKey : L"";
    m_profileName = m_appName;
    m_pszRegistryKey = m_registryKey;
    m_pszProfileName = m_profileName;
}

void CWinApp::SetRegistryKey(UINT registryKeyId) { SetRegistryKey(AfxLoadString(registryKeyId)); }

HKEY CWinApp::GetAppRegistryKey() const
{
    if (m_registryKey.IsEmpty() || m_profileName.IsEmpty())
        return nullptr;
    CRegistryKey key;
    key.Create(HKEY_CURRENT_USER, L"Software\\" + m_registryKey + L"\\" + m_profileName, KEY_READ | KEY_WRITE);
    return key.Detach();
}

HKEY CWinApp::GetSectionKey(const wchar_t* section) const
{
    if (!section)
        return nullptr;
    const CRegistryKey app(GetAppRegistryKey());
    if (!app)
        return nullptr;
    CRegistryKey key;
    key.Create(app, section, KEY_READ | KEY_WRITE);
    return key.Detach();
}

LONG AfxReadRegistryString(HKEY key, const wchar_t* valueName, CString& text, DWORD* typeOut)
{
    text.Empty();
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, valueName, nullptr, &type, nullptr, &size);
    if (typeOut)
        *typeOut = type;
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ || size == 0)
        return ERROR_SUCCESS;
    // Room for the data and a terminator of our own, whatever the data holds.
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 2, L'\0');
    DWORD got = size;
    status = RegQueryValueExW(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return status;
    const size_t units = got / sizeof(wchar_t);
    size_t length = 0;
    while (length < units && buffer[length] != L'\0')
        ++length;
    text = CString(buffer.data(), static_cast<int>(length));
    return ERROR_SUCCESS;
}

UINT CWinApp::GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) const
{
    const CRegistryKey key(GetSectionKey(section));
    if (!key)
        return static_cast<UINT>(defaultValue);
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    const LONG status = RegQueryValueExW(key, entry, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
        return static_cast<UINT>(defaultValue);
    return value;
}

CString CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue) const
{
    const CString fallback(defaultValue);
    const CRegistryKey key(GetSectionKey(section));
    if (!key)
        return fallback;
    CString text;
    DWORD type = 0;
    const LONG status = AfxReadRegistryString(key, entry, text, &type);
    if (status != ERROR_SUCCESS || type != REG_SZ)
        return fallback;
    return text;
}

BOOL CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value)
{
    const CRegistryKey key(GetSectionKey(section));
    if (!key)
        return FALSE;
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExW(key, entry, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data) ==
           ERROR_SUCCESS;
}

BOOL CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value)
{
    if (!section)
        return FALSE;
    if (!entry)
        return DeleteProfileSection(section);
    if (!value)
        return DeleteProfileValue(section, entry);
    const CRegistryKey key(GetSectionKey(section));
    if (!key)
        return FALSE;
    const DWORD bytes = static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, entry, 0, REG_SZ, reinterpret_cast<const BYTE*>(value), bytes) == ERROR_SUCCESS;
}

BOOL CWinApp::DeleteProfileSection(const wchar_t* section)
{
    if (!section || !*section)
        return FALSE;
    const CRegistryKey app(GetAppRegistryKey());
    if (!app)
        return FALSE;
    return SHDeleteKeyW(app, section) == ERROR_SUCCESS;
}

BOOL CWinApp::DeleteProfileValue(const wchar_t* section, const wchar_t* entry)
{
    const CRegistryKey app(GetAppRegistryKey());
    if (!app)
        return FALSE;
    CRegistryKey key;
    if (key.Open(app, section, KEY_SET_VALUE) != ERROR_SUCCESS)
        return FALSE;
    return RegDeleteValueW(key, entry) == ERROR_SUCCESS;
}

int CWinApp::DoMessageBox(const wchar_t* text, UINT type, UINT helpId) { return AfxDefaultMessageBox(text, type, helpId); }

void CWinApp::SetHelpFilePath(const wchar_t* path)
{
    m_helpFilePath = path ? path : L"";
    m_pszHelpFilePath = m_helpFilePath.IsEmpty() ? nullptr : static_cast<const wchar_t*>(m_helpFilePath);
}

void CWinApp::EnableHtmlHelp()
{
    wchar_t module[MAX_PATH];
    const DWORD length = GetModuleFileNameW(m_hInstance, module, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    CString path(module, static_cast<int>(length));
    const int dot = path.ReverseFind(L'.');
    const int slash = path.ReverseFind(L'\\');
    if (dot > slash)
        path = path.Left(dot);
    SetHelpFilePath(path + L".chm");
}

void CWinApp::HtmlHelp(DWORD_PTR data, UINT command)
{
    if (m_pMainWnd && m_pMainWnd->m_hWnd)
        m_pMainWnd->HtmlHelp(data, command);
    else
        AfxHtmlHelp(nullptr, m_pszHelpFilePath, command, data);
}

void CWinApp::ShowHelpTopic(const HELPINFO* info, const wchar_t* topic)
{
    if (!info || !topic || !*topic || !m_pszHelpFilePath)
        return;
    const CString file = CString(m_pszHelpFilePath) + L"::/" + topic;
    HWND owner = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
    AfxHtmlHelp(owner, file, HH_DISPLAY_TOPIC, 0);
}

BOOL CWinApp::ShowHelpPopup(HWND owner, const wchar_t* topic, DWORD contextId, POINT at)
{
    HH_POPUP popup{};
    popup.cbStruct = sizeof popup;
    popup.hinst = nullptr;
    popup.idString = contextId;
    popup.pszText = nullptr;
    popup.pt = at;
    popup.clrForeground = static_cast<COLORREF>(-1);
    popup.clrBackground = static_cast<COLORREF>(-1);
    popup.rcMargins = {-1, -1, -1, -1};
    popup.pszFont = nullptr;
    // The topic file for this call only; the program's help path stays as it is.
    const CString file = CString(m_pszHelpFilePath ? m_pszHelpFilePath : L"") + L"::/" + (topic ? topic : L"");
    return AfxHtmlHelp(owner, file, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<DWORD_PTR>(&popup)) != nullptr;
}
