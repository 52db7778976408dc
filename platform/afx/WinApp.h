// CWinApp: the application object, a CWinThread for the program's main thread.
// This core holds the application's names and its registry profile; the windows
// layer adds the main window, document templates and the command line around it.
//
// Profile values live under HKEY_CURRENT_USER\Software\<registry key>\<profile name>,
// one sub-key per section, once SetRegistryKey has named the company key. Before that
// the profile functions read the defaults and write nothing.
#pragma once

#include "CString.h"
#include "RegistryKey.h"
#include "WinThread.h"

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    // The application's name; null takes the string-table text AFX_IDS_APP_TITLE (AfxIds.h).
    explicit CWinApp(const wchar_t* appName = nullptr);
    ~CWinApp() override;

    // Names the company key; the profile name becomes the application's name.
    void SetRegistryKey(const wchar_t* registryKey);
    void SetRegistryKey(UINT registryKeyId);

    // HKCU\Software\<key>\<profile>, created when missing; the caller closes it (a
    // CRegistryKey does that).
    // Null before SetRegistryKey or when the key cannot be created.
    HKEY GetAppRegistryKey() const;
    // The section's key under the application's key, created when missing; the caller
    // closes it (a CRegistryKey does that). Null on failure.
    HKEY GetSectionKey(const wchar_t* section) const;

    // A REG_DWORD value, or the default when it is missing or of another type.
    UINT GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue) const;
    // A REG_SZ value (terminated safely whether or not the stored data holds the NUL),
    // or the default when it is missing or of another type.
    CString GetProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* defaultValue = nullptr) const;
    BOOL WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);
    // A null value deletes the entry; a null entry deletes the whole section.
    BOOL WriteProfileString(const wchar_t* section, const wchar_t* entry, const wchar_t* value);
    // Deletes a section with everything below it (the windows layer's DelRegTree).
    BOOL DeleteProfileSection(const wchar_t* section);
    // Deletes one value of a section.
    BOOL DeleteProfileValue(const wchar_t* section, const wchar_t* entry);

    const wchar_t* m_pszAppName = nullptr;
    const wchar_t* m_pszRegistryKey = nullptr;
    const wchar_t* m_pszProfileName = nullptr;
    HINSTANCE m_hInstance = nullptr;

private:
    CString m_appName;
    CString m_registryKey;
    CString m_profileName;
};

// The application object (null when the program has none).
CWinApp* AfxGetApp();

// Reads a REG_SZ value of an open key into text. The text is empty unless the value is
// a non-empty REG_SZ; the result is the Win32 error code of the read (0 for success,
// also for another type or an empty value). Data without a terminating NUL is ended
// safely.
LONG AfxReadRegistryString(HKEY key, const wchar_t* valueName, CString& text, DWORD* type = nullptr);
