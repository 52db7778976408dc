#include "ZuneDevice.h"

#include "CString.h"
#include "Module.h"

#include <cwchar>

namespace {

SRWLOCK g_clientNameLock = SRWLOCK_INIT;
wchar_t g_clientName[260] = L"Vesperlin Zune Client";

template <class T>
HRESULT CreateInProcess(REFCLSID clsid, REFIID iid, com::ComPtr<T>* object, DWORD context = CLSCTX_INPROC_SERVER)
{
    return CoCreateInstance(clsid, nullptr, context, iid, object->PutVoid());
}

// GetValues of one key into values; E_FAIL unless every key was read.
HRESULT ReadOne(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                com::ComPtr<IPortableDeviceValues>* values)
{
    if (!properties || !id)
        return E_POINTER;
    com::ComPtr<IPortableDeviceKeyCollection> keys;
    HRESULT hr = CreateInProcess(CLSID_PortableDeviceKeyCollection, IID_IPortableDeviceKeyCollection, &keys);
    if (SUCCEEDED(hr))
        hr = keys->Add(key);
    if (SUCCEEDED(hr))
        hr = properties->GetValues(id, keys.Get(), values->Put());
    if (hr != S_OK || !*values)
        return FAILED(hr) ? hr : E_FAIL;
    return S_OK;
}

}  // namespace

std::wstring ZuneClientName()
{
    AcquireSRWLockShared(&g_clientNameLock);
    std::wstring name(g_clientName);
    ReleaseSRWLockShared(&g_clientNameLock);
    return name;
}

void SetZuneClientName(const wchar_t* name)
{
    if (!name || !*name)
        return;
    AcquireSRWLockExclusive(&g_clientNameLock);
    TextBuffer(g_clientName, 260).Write(name);
    ReleaseSRWLockExclusive(&g_clientNameLock);
}

HRESULT ReadTextProperty(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                         std::wstring* value)
{
    com::ComPtr<IPortableDeviceValues> values;
    HRESULT hr = ReadOne(properties, id, key, &values);
    if (FAILED(hr))
        return hr;
    LPWSTR text = nullptr;
    hr = values->GetStringValue(key, &text);
    if (SUCCEEDED(hr))
        *value = text ? text : L"";
    CoTaskMemFree(text);
    return hr;
}

HRESULT ReadBoolProperty(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                         bool* value)
{
    com::ComPtr<IPortableDeviceValues> values;
    HRESULT hr = ReadOne(properties, id, key, &values);
    BOOL read = FALSE;
    if (SUCCEEDED(hr))
        hr = values->GetBoolValue(key, &read);
    if (SUCCEEDED(hr))
        *value = read != FALSE;
    return hr;
}

HRESULT ReadU64Property(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                        ULONGLONG* value)
{
    com::ComPtr<IPortableDeviceValues> values;
    HRESULT hr = ReadOne(properties, id, key, &values);
    return SUCCEEDED(hr) ? values->GetUnsignedLargeIntegerValue(key, value) : hr;
}

HRESULT ReadGuidProperty(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                         GUID* value)
{
    com::ComPtr<IPortableDeviceValues> values;
    HRESULT hr = ReadOne(properties, id, key, &values);
    return SUCCEEDED(hr) ? values->GetGuidValue(key, value) : hr;
}

// The sink.

ZuneEventSink::ZuneEventSink()
{
    com::Module::Current().Lock();
}

ZuneEventSink::~ZuneEventSink()
{
    com::Module::Current().Unlock();
}

STDMETHODIMP ZuneEventSink::QueryInterface(REFIID iid, void** result)
{
    if (!result)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IPortableDeviceEventCallback)) {
        *result = static_cast<IPortableDeviceEventCallback*>(this);
        AddRef();
        return S_OK;
    }
    *result = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ZuneEventSink::AddRef()
{
    return static_cast<ULONG>(InterlockedIncrement(&m_refs));
}

STDMETHODIMP_(ULONG) ZuneEventSink::Release()
{
    const LONG refs = InterlockedDecrement(&m_refs);
    if (refs == 0)
        delete this;
    return static_cast<ULONG>(refs);
}

STDMETHODIMP ZuneEventSink::OnEvent(IPortableDeviceValues* parameters)
{
    if (!parameters)
        return S_OK;
    LPWSTR deviceId = nullptr;
    GUID event{};
    const bool named = SUCCEEDED(parameters->GetStringValue(wpd::EVENT_PARAMETER_PNP_DEVICE_ID, &deviceId)) &&
                       deviceId && *deviceId;
    if (named && SUCCEEDED(parameters->GetGuidValue(wpd::EVENT_PARAMETER_EVENT_ID, &event)) &&
        IsEqualGUID(event, wpd::EVENT_DEVICE_REMOVED)) {
        AcquireSRWLockShared(&m_lock);
        if (m_event)
            SetEvent(m_event);
        ReleaseSRWLockShared(&m_lock);
    }
    CoTaskMemFree(deviceId);
    return S_OK;
}

void ZuneEventSink::SetEventHandle(HANDLE event)
{
    AcquireSRWLockExclusive(&m_lock);
    m_event = event;
    ReleaseSRWLockExclusive(&m_lock);
}

// The session.

ZuneDeviceSession::ZuneDeviceSession() : m_sink(new ZuneEventSink)
{
    CreateInProcess(CLSID_PortableDevice, IID_IPortableDevice, &m_device);
}

ZuneDeviceSession::~ZuneDeviceSession()
{
    Close();
    m_sink->Release();
}

HRESULT ZuneDeviceSession::OpenPlain(const wchar_t* deviceId, IPortableDeviceValues* clientInformation)
{
    Close();  // a session opened before is closed, not forgotten
    if (!m_device || !deviceId || !clientInformation)
        return E_POINTER;
    const HRESULT hr = m_device->Open(deviceId, clientInformation);
    m_opened = SUCCEEDED(hr);
    return hr;
}

HRESULT ZuneDeviceSession::OpenWithEvents(const wchar_t* deviceId, IPortableDeviceValues* clientInformation)
{
    m_eventMode = true;
    if (m_event)
        return S_OK;  // open already
    if (!m_device || !deviceId || !clientInformation)
        return E_POINTER;
    if (m_opened)
        Close();
    m_eventMode = true;
    HRESULT hr = m_device->Open(deviceId, clientInformation);
    if (FAILED(hr))
        return hr;
    m_opened = true;
    m_event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_event) {
        hr = E_OUTOFMEMORY;
    } else {
        m_sink->SetEventHandle(m_event);
        hr = m_device->Advise(0, m_sink, nullptr, &m_cookie);
    }
    if (FAILED(hr)) {
        // Nothing stays half open: the next open starts afresh.
        CoTaskMemFree(m_cookie);
        m_cookie = nullptr;
        m_sink->SetEventHandle(nullptr);
        if (m_event)
            CloseHandle(m_event);
        m_event = nullptr;
        m_device->Close();
        m_opened = false;
        return hr;
    }
    return S_OK;
}

HRESULT ZuneDeviceSession::Close()
{
    if (!m_device)
        return S_OK;
    HRESULT hr = S_OK;
    if (m_cookie) {
        hr = m_device->Unadvise(m_cookie);
        CoTaskMemFree(m_cookie);
        m_cookie = nullptr;
    }
    if (m_event) {
        m_sink->SetEventHandle(nullptr);  // before the handle can be reused
        CloseHandle(m_event);
        m_event = nullptr;
    }
    if (m_opened) {
        m_device->Close();
        m_opened = false;
    }
    m_eventMode = false;
    return hr;
}

HRESULT ZuneDeviceSession::QueryHoldingClient(LPWSTR* name)
{
    if (!name)
        return E_POINTER;
    *name = nullptr;
    if (!m_device)
        return E_FAIL;
    com::ComPtr<IPortableDeviceValues> parameters;
    HRESULT hr = CreateInProcess(CLSID_PortableDeviceValues, IID_IPortableDeviceValues, &parameters, CLSCTX_ALL);
    if (SUCCEEDED(hr))
        hr = parameters->SetGuidValue(wpd::COMMAND_CATEGORY, wpd::kHoldingClientCategory);
    if (SUCCEEDED(hr))
        hr = parameters->SetUnsignedIntegerValue(wpd::COMMAND_ID, 1);
    com::ComPtr<IPortableDeviceValues> results;
    if (SUCCEEDED(hr))
        hr = m_device->SendCommand(0, parameters.Get(), results.Put());
    if (SUCCEEDED(hr) && !results)
        hr = E_FAIL;
    if (FAILED(hr))
        return hr;
    hr = results->GetStringValue(wpd::HOLDING_CLIENT_NAME, name);
    if (FAILED(hr))
        return hr;
    ULONG value = 0;
    hr = results->GetUnsignedIntegerValue(wpd::HOLDING_CLIENT_VALUE, &value);
    return SUCCEEDED(hr) ? static_cast<HRESULT>(value) : hr;
}

HRESULT ZuneDeviceSession::GetContent(IPortableDeviceContent** content, const wchar_t* failureFormat,
                                      const wchar_t* nullDeviceText)
{
    *content = nullptr;
    if (!m_device) {
        if (nullDeviceText)
            m_lastError.Write(nullDeviceText);
        return E_POINTER;
    }
    HRESULT hr = m_device->Content(content);
    if (SUCCEEDED(hr) && !*content)
        hr = E_FAIL;
    if (FAILED(hr) && failureFormat)
        m_lastError.Format(failureFormat, hr);
    return hr;
}

HRESULT ZuneDeviceSession::GetProperties(IPortableDeviceProperties** properties)
{
    *properties = nullptr;
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), kNoContent, kNullDevice);
    if (SUCCEEDED(hr))
        hr = content->Properties(properties);
    if (SUCCEEDED(hr) && !*properties)
        hr = E_FAIL;
    return hr;
}

HRESULT ZuneDeviceSession::ReadFirmwareVersion(std::wstring* version)
{
    com::ComPtr<IPortableDeviceProperties> properties;
    HRESULT hr = GetProperties(properties.Put());
    if (FAILED(hr))
        return hr;
    hr = ReadTextProperty(properties.Get(), wpd::kDeviceObjectId, wpd::DEVICE_FIRMWARE_VERSION, version);
    if (FAILED(hr))
        m_lastError.Format(L"ERROR: Failed to check Zune device firmware version (0x%X)", static_cast<unsigned>(hr));
    return hr;
}

// The list.

ZuneDeviceList::ZuneDeviceList()
{
    CreateInProcess(CLSID_PortableDeviceManager, IID_IPortableDeviceManager, &m_manager);
}

ZuneDeviceList::~ZuneDeviceList()
{
    Release();
}

void ZuneDeviceList::FreeDeviceIds()
{
    for (LPWSTR id : m_deviceIds)
        CoTaskMemFree(id);
    m_deviceIds.clear();
}

HRESULT ZuneDeviceList::Load()
{
    if (!m_manager)
        return E_POINTER;
    Release();  // a second load starts from nothing
    HRESULT hr = CreateInProcess(CLSID_PortableDeviceValues, IID_IPortableDeviceValues, &m_clientInformation);
    const std::wstring client = ZuneClientName();
    if (SUCCEEDED(hr))
        hr = m_clientInformation->SetStringValue(wpd::CLIENT_NAME, client.c_str());
    if (SUCCEEDED(hr))
        hr = m_clientInformation->SetUnsignedIntegerValue(wpd::CLIENT_MAJOR_VERSION, 1);
    if (SUCCEEDED(hr))
        hr = m_clientInformation->SetUnsignedIntegerValue(wpd::CLIENT_MINOR_VERSION, 0);
    if (SUCCEEDED(hr))
        hr = m_clientInformation->SetUnsignedIntegerValue(wpd::CLIENT_REVISION, 0);
    if (FAILED(hr))
        return hr;
    // A device attached since the manager was made is listed too (a retry must find it).
    hr = m_manager->RefreshDeviceList();
    return SUCCEEDED(hr) ? Enumerate() : hr;
}

HRESULT ZuneDeviceList::Enumerate()
{
    DWORD count = 0;
    HRESULT hr = m_manager->GetDevices(nullptr, &count);
    if (FAILED(hr) || count == 0)
        return hr;
    std::vector<LPWSTR> ids;
    try {
        ids.assign(count, nullptr);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    // A device attached in between is not listed; one removed shortens the list.
    DWORD filled = count;
    hr = m_manager->GetDevices(ids.data(), &filled);
    if (SUCCEEDED(hr)) {
        ids.resize(filled < count ? filled : count);
        m_deviceIds = std::move(ids);
    }
    return hr;
}

HRESULT ZuneDeviceList::Refresh()
{
    if (!m_manager)
        return E_POINTER;
    FreeDeviceIds();
    HRESULT hr = m_manager->RefreshDeviceList();
    return SUCCEEDED(hr) ? Enumerate() : hr;
}

HRESULT ZuneDeviceList::Release()
{
    if (m_manager) {
        FreeDeviceIds();
        m_clientInformation.Reset();
    }
    return S_OK;
}

int ZuneDeviceList::FindByFriendlyName(const wchar_t* name) const
{
    if (!name || !m_manager)
        return -1;
    for (size_t i = 0; i < m_deviceIds.size(); ++i) {
        wchar_t friendly[260] = {};
        DWORD chars = 260;
        if (FAILED(m_manager->GetDeviceFriendlyName(m_deviceIds[i], friendly, &chars)))
            continue;
        friendly[259] = L'\0';
        const wchar_t* compared = friendly[0] ? friendly : L"Microsoft Zune";
        if (CString(compared).CompareNoCase(name) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

HRESULT ZuneDeviceList::OpenSession(HWND, ULONG index, ZuneDeviceSession* session, SessionMode mode) const
{
    if (!session)
        return E_POINTER;
    if (index >= m_deviceIds.size())
        return E_INVALIDARG;
    return mode == SessionMode::Plain ? session->OpenPlain(m_deviceIds[index], m_clientInformation.Get())
                                      : session->OpenWithEvents(m_deviceIds[index], m_clientInformation.Get());
}
