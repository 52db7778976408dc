// CRegistryKey: holds one open registry key and closes it when it goes out of scope.
//
//     CRegistryKey key(app.GetSectionKey(L"Settings"));   // takes over a key the caller must close
//     if (!key)
//         return FALSE;
//     RegSetValueExW(key, L"Name", 0, REG_SZ, data, size);
//
// Move-only; Detach hands the key back to a caller that closes it itself.
#pragma once

#include <windows.h>

#include <utility>

class CRegistryKey {
public:
    CRegistryKey() = default;
    explicit CRegistryKey(HKEY key) : m_key(key) {}
    ~CRegistryKey() { Close(); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    CRegistryKey(CRegistryKey&& other) noexcept : m_key(other.Detach()) {}
    CRegistryKey& operator=(CRegistryKey&& other) noexcept
    {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    // Opens a sub-key (RegOpenKeyExW) in place of the key held. Returns the Win32 result; on
    // failure no key is held.
    LONG Open(HKEY parent, const wchar_t* subKey, REGSAM access)
    {
        HKEY key = nullptr;
        const LONG status = RegOpenKeyExW(parent, subKey, 0, access, &key);
        Attach(status == ERROR_SUCCESS ? key : nullptr);
        return status;
    }
    // Opens or creates a sub-key (RegCreateKeyExW, non-volatile) in place of the key held.
    LONG Create(HKEY parent, const wchar_t* subKey, REGSAM access)
    {
        HKEY key = nullptr;
        const LONG status =
            RegCreateKeyExW(parent, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
        Attach(status == ERROR_SUCCESS ? key : nullptr);
        return status;
    }

    void Attach(HKEY key)
    {
        Close();
        m_key = key;
    }
    HKEY Detach() { return std::exchange(m_key, nullptr); }
    void Close()
    {
        if (m_key)
            RegCloseKey(std::exchange(m_key, nullptr));
    }

    // Null when no key is held.
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};
