// The link to Windows Mobile devices: a desktop object (optionally initialising COM), one
// device with its session, the exception their failures throw, and a block copy of a local
// file to the device. Callers make both on the stack inside a try block:
//
//     try {
//         CRAPIDesktop desktop(false);
//         CRAPIConnection connection;
//         desktop.Get()->FindDevice(&id, rapi::GetDevice::NonBlocking, &connection.device);
//         CopyFileToMobile(connection, L"C:\\a.dat", L"\\My Documents\\a.dat", FILE_ATTRIBUTE_NORMAL);
//     } catch (const CRAPIException&) { ... the device is not reachable ... }
#pragma once

#include "Rapi.h"
#include "afx.h"

class CRAPIException : public CException {
public:
    explicit CRAPIException(HRESULT hr = E_FAIL) : m_result(hr) {}
    HRESULT m_result;
};

class CRAPIDesktop {
public:
    explicit CRAPIDesktop(bool initialiseCom);
    ~CRAPIDesktop();
    CRAPIDesktop(const CRAPIDesktop&) = delete;
    CRAPIDesktop& operator=(const CRAPIDesktop&) = delete;

    IRAPIDesktop* Get() const { return m_desktop; }
    IRAPIEnumDevices* EnumDevices();

private:
    IRAPIDesktop* m_desktop = nullptr;
    IRAPIEnumDevices* m_devices = nullptr;
    bool m_comInitialised = false;
};

class CRAPIConnection {
public:
    CRAPIConnection() = default;
    ~CRAPIConnection();
    CRAPIConnection(const CRAPIConnection&) = delete;
    CRAPIConnection& operator=(const CRAPIConnection&) = delete;

    // Created and initialised on first use; throws CRAPIException.
    IRAPISession* GetSession();

    IRAPIDevice* device = nullptr;  // owned
    IRAPISession* session = nullptr;
};

BOOL CopyFileToMobile(CRAPIConnection& connection, const wchar_t* localPath, const wchar_t* devicePath,
                      DWORD attributes);
