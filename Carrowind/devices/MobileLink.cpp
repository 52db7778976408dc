#include "MobileLink.h"

CRAPIDesktop::CRAPIDesktop(bool initialiseCom)
{
    if (initialiseCom) {
        const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (FAILED(hr))
            throw CRAPIException(hr);
        m_comInitialised = true;
    }
    const HRESULT hr = CoCreateInstance(CLSID_RAPI, nullptr, CLSCTX_INPROC_SERVER, IID_IRAPIDesktop,
                                        reinterpret_cast<void**>(&m_desktop));
    if (FAILED(hr)) {
        m_desktop = nullptr;
        if (m_comInitialised)
            CoUninitialize();
        throw CRAPIException(hr);
    }
}

CRAPIDesktop::~CRAPIDesktop()
{
    if (m_devices)
        m_devices->Release();
    if (m_desktop)
        m_desktop->Release();
    if (m_comInitialised)
        CoUninitialize();
}

IRAPIEnumDevices* CRAPIDesktop::EnumDevices()
{
    if (m_devices) {
        m_devices->Release();
        m_devices = nullptr;
    }
    const HRESULT hr = m_desktop->EnumDevices(&m_devices);
    if (FAILED(hr) || !m_devices) {
        m_devices = nullptr;
        throw CRAPIException(FAILED(hr) ? hr : E_FAIL);
    }
    return m_devices;
}

CRAPIConnection::~CRAPIConnection()
{
    if (session) {
        session->CeRapiUninit();
        session->Release();
    }
    if (device)
        device->Release();
}

IRAPISession* CRAPIConnection::GetSession()
{
    if (session)
        return session;
    if (!device)
        throw CRAPIException(E_POINTER);
    IRAPISession* created = nullptr;
    HRESULT hr = device->CreateSession(&created);
    if (FAILED(hr) || !created)
        throw CRAPIException(FAILED(hr) ? hr : E_FAIL);
    hr = created->CeRapiInit();
    if (FAILED(hr)) {
        created->Release();
        throw CRAPIException(hr);
    }
    session = created;
    return session;
}

BOOL CopyFileToMobile(CRAPIConnection& connection, const wchar_t* localPath, const wchar_t* devicePath,
                      DWORD attributes)
{
    IRAPISession* rapiSession = connection.GetSession();
    HANDLE local = CreateFileW(localPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (local == INVALID_HANDLE_VALUE)
        return FALSE;
    HANDLE remote = rapiSession->CeCreateFile(devicePath, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                              attributes, nullptr);
    if (remote == INVALID_HANDLE_VALUE) {
        CloseHandle(local);
        return FALSE;
    }
    BOOL ok = TRUE;
    BYTE block[4096];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(local, block, sizeof(block), &read, nullptr)) {
            ok = FALSE;
            break;
        }
        if (read == 0)
            break;
        // A write that takes fewer bytes than it was given is a failed one too.
        DWORD written = 0;
        if (!rapiSession->CeWriteFile(remote, block, read, &written, nullptr) || written != read) {
            ok = FALSE;
            break;
        }
    }
    if (!rapiSession->CeCloseHandle(remote))
        ok = FALSE;
    CloseHandle(local);
    // What a failed copy wrote is no file of the user's: it goes.
    if (!ok)
        rapiSession->CeDeleteFile(devicePath);
    return ok;
}
