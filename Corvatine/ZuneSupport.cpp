#include "ZuneSupport.h"

#include "AfxMessageBox.h"
#include "CString.h"

#include <cwchar>
#include <initializer_list>
#include <memory>

namespace {

// The folder on the device's storage where the suite's transfers put their files.
constexpr wchar_t kMakerFolder[] = L"Vesperlin";

const wchar_t* TextOf(BSTR text)
{
    return text ? text : L"";
}

// True when one of the texts holds a NUL before its end. Every call reads a text only up to
// its first NUL, so "x\0y" would name another file than the caller gave: such a call is
// refused, through the v-table as through IDispatch.
bool AnyCutShort(std::initializer_list<BSTR> texts)
{
    for (BSTR text : texts) {
        if (!text)
            continue;
        const UINT length = SysStringLen(text);
        for (UINT i = 0; i < length; ++i) {
            if (text[i] == L'\0')
                return true;
        }
    }
    return false;
}

constexpr wchar_t kCutText[] = L"ERROR:  a text argument holds a NUL character.";

// COM on the calling thread for the length of a call. A thread already in the other model has
// COM all the same: that is no failure, and nothing is undone then.
class ComInitialization {
public:
    explicit ComInitialization(DWORD model) : m_model(model), m_hr(CoInitializeEx(nullptr, model)) {}
    ~ComInitialization() { Undo(); }
    ComInitialization(const ComInitialization&) = delete;
    ComInitialization& operator=(const ComInitialization&) = delete;
    // The result, and the failure's text in the caller's buffer.
    HRESULT Check(const TextBuffer& output) const
    {
        const HRESULT hr = m_hr == RPC_E_CHANGED_MODE ? S_OK : m_hr;
        if (FAILED(hr))
            output.Format(L"ERROR:  Failure in CoInitializeEx(%s): 0x%X",
                          m_model == COINIT_MULTITHREADED ? L"COINIT_MULTITHREADED" : L"COINIT_APARTMENTTHREADED",
                          static_cast<unsigned>(hr));
        return hr;
    }
    void Undo()
    {
        if (SUCCEEDED(m_hr))
            CoUninitialize();
        m_hr = E_FAIL;
    }

private:
    DWORD m_model;
    HRESULT m_hr;
};

// Steps 2 and 3 of the one-shot methods: the list loaded, the device found by name, a session
// opened on it.
HRESULT OpenOneShot(ZuneDeviceList& list, ZuneDeviceSession& session, BSTR name, HWND owner, SessionMode mode,
                    const TextBuffer& output)
{
    HRESULT hr = list.Load();
    if (FAILED(hr)) {
        output.Format(L"ERROR:  Failure to initialize Zune MTP manager: 0x%X", static_cast<unsigned>(hr));
        return hr;
    }
    if (list.Count() == 0) {
        output.Write(L"ERROR:  No Windows portable devices found.");
        return E_FAIL;
    }
    const int index = list.FindByFriendlyName(TextOf(name));
    if (index < 0) {
        output.Format(L"ERROR:  '%s' device could not be located", TextOf(name));
        return E_FAIL;
    }
    hr = list.OpenSession(owner, static_cast<ULONG>(index), &session, mode);
    if (FAILED(hr))
        output.Format(L"ERROR:  Failed to initialize state with selected device: 0x%X", static_cast<unsigned>(hr));
    return hr;
}

// A one-shot call with its own COM initialisation, list and plain session, torn down in order.
template <class Steps>
HRESULT RunOneShot(BSTR name, const TextBuffer& output, Steps steps)
{
    output.Clear();
    ComInitialization com(COINIT_APARTMENTTHREADED);
    HRESULT hr = com.Check(output);
    if (FAILED(hr))
        return hr;
    {
        ZuneDeviceList list;
        ZuneDeviceSession session;
        hr = OpenOneShot(list, session, name, nullptr, SessionMode::Plain, output);
        if (SUCCEEDED(hr))
            hr = steps(session);
        session.Close();
        list.Release();
    }
    com.Undo();
    return hr;
}

}  // namespace

STDMETHODIMP CZuneSupport::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argumentError)
{
    if (id >= 1 && id <= 12)
        return DISP_E_MEMBERNOTFOUND;
    return Dispatch::Invoke(id, iid, locale, flags, params, result, exception, argumentError);
}

int CZuneSupport::ShowBox(HWND owner, const wchar_t* text, UINT type) const
{
    return AfxShowMessageBox(owner, text, ZuneClientName().c_str(), type);
}

STDMETHODIMP CZuneSupport::Initialize(BSTR DeviceFriendlyName, ULONG* DeviceIndex, ULONG* NumDevice, BSTR* Output,
                                      ULONG OutputLen, BSTR ClientName)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    output.Clear();
    SetZuneClientName(ClientName);
    if (!DeviceIndex || !NumDevice)
        return E_POINTER;
    if (m_state >= ConnectionState::Located) {
        *NumDevice = m_list.Count();
        *DeviceIndex = static_cast<ULONG>(m_locatedIndex);
        if (m_state == ConnectionState::Connected && m_connectedIndex != -1) {
            *DeviceIndex = static_cast<ULONG>(m_connectedIndex);
            output.Write(L"Connected");
        }
        return S_OK;
    }
    m_locatedIndex = m_connectedIndex = -1;
    m_state = ConnectionState::None;
    ComInitialization com(COINIT_MULTITHREADED);
    HRESULT hr = com.Check(output);
    if (FAILED(hr))
        return hr;
    hr = m_list.Load();
    if (FAILED(hr)) {
        output.Format(L"ERROR:  Failure to initialize Zune MTP manager: 0x%X", static_cast<unsigned>(hr));
        return hr;
    }
    const ULONG count = m_list.Count();
    *NumDevice = count;
    if (count == 0) {
        output.Write(L"ERROR:  No Windows portable devices found.");
        m_list.Release();
        return E_FAIL;
    }
    const int found = m_list.FindByFriendlyName(DeviceFriendlyName);
    if (found >= 0)
        *DeviceIndex = static_cast<ULONG>(found);
    if (*DeviceIndex < count) {
        m_locatedIndex = static_cast<LONG>(*DeviceIndex);
        m_state = ConnectionState::Located;
        return S_OK;
    }
    output.Format(L"ERROR:  '%s' device could not be located", TextOf(DeviceFriendlyName));
    m_list.Release();
    return E_FAIL;
}

STDMETHODIMP CZuneSupport::GetConnected(BSTR DeviceFriendlyName, ULONG* DeviceIndex, BSTR, BYTE*, ULONG,
                                        HWND hwndCaller, BSTR* Output, ULONG OutputLen, LONG* pbRetry)
{
    if (!DeviceIndex || !pbRetry)
        return E_POINTER;
    if (m_state == ConnectionState::Connected) {
        *DeviceIndex = static_cast<ULONG>(m_connectedIndex);
        return S_OK;
    }
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    output.Clear();
    const wchar_t* name = TextOf(DeviceFriendlyName);
    const auto askRetry = [&](const CString& text) {
        *pbRetry = ShowBox(hwndCaller, text, MB_ICONWARNING | MB_RETRYCANCEL) == IDRETRY ? 1 : 0;
        output.Write(L"shown");
    };
    // Not in use (also after a reset): look for the device first, so that a retry can succeed.
    if (m_state == ConnectionState::None) {
        ULONG count = 0;
        const HRESULT initialized = Initialize(DeviceFriendlyName, DeviceIndex, &count, Output, OutputLen, nullptr);
        if (FAILED(initialized) && count != 0)
            return initialized;
    }
    if (m_list.Count() == 0) {
        CString text;
        text.Format(L"Can't access the device '%s': No Zune devices found.  Please reconnect it and try again.", name);
        askRetry(text);
        return E_FAIL;
    }
    if ((m_state == ConnectionState::Located || m_state == ConnectionState::Opened) && m_connectedIndex != -1 &&
        static_cast<ULONG>(m_connectedIndex) != *DeviceIndex) {
        m_session.Close();
        // The session is gone: the device asked for is opened below.
        m_state = ConnectionState::Located;
        if (*DeviceIndex == static_cast<ULONG>(-1))
            *DeviceIndex = static_cast<ULONG>(m_connectedIndex);
    }
    if (*DeviceIndex >= m_list.Count()) {
        CString text;
        text.Format(L"Can't access the device '%s'.  Please reconnect it and try again.", name);
        askRetry(text);
        return E_FAIL;
    }
    if (m_state <= ConnectionState::Located) {
        m_state = ConnectionState::Located;
        const HRESULT hr = m_list.OpenSession(hwndCaller, *DeviceIndex, &m_session, SessionMode::Events);
        if (FAILED(hr)) {
            *pbRetry = 0;
            CString text;
            text.Format(L"Can't access the device '%s': Initialize failed (0x%X).  Please reconnect it and try again.",
                        name, static_cast<unsigned>(hr));
            askRetry(text);
            return hr;
        }
    }
    if (m_state <= ConnectionState::Opened) {
        m_state = ConnectionState::Opened;
        m_state = ConnectionState::Connected;
        m_connectedIndex = static_cast<LONG>(*DeviceIndex);
    }
    std::wstring firmware;
    if (SUCCEEDED(m_session.ReadFirmwareVersion(&firmware)) && !firmware.empty()) {
        const size_t dot = firmware.find(L'.');
        if (dot != std::wstring::npos && _wtoi(firmware.substr(0, dot).c_str()) > 2)
            return S_OK;
        output.Write(L"To work with audiobooks, your Zune needs an update. Connect it to the Zune software, then go to "
                     L"Device Update in Device Settings.\nYou must be using at least version 3.0 of the Zune software "
                     L"(you can see version info in General Settings).");
        return E_ABORT;
    }
    CString text;
    text.Format(L"Unable to connect to Zune device ('%s').\n\n%s", name, m_session.LastError().Text());
    ShowBox(hwndCaller, text, MB_ICONWARNING | MB_OK);
    *pbRetry = 0;
    output.Write(L"shown");
    return E_ABORT;
}

STDMETHODIMP CZuneSupport::CheckConnection(BSTR, HWND, BSTR*, ULONG, LONG* pbIsConnected)
{
    if (!pbIsConnected)
        return E_POINTER;
    LONG connected = 0;
    if (m_state == ConnectionState::Connected && m_session.IsOpen()) {
        LPWSTR holder = nullptr;
        const HRESULT hr = m_session.QueryHoldingClient(&holder);
        if (SUCCEEDED(hr) && (!holder || !*holder || CString(holder).CompareNoCase(ZuneClientName().c_str()) == 0))
            connected = 1;
        CoTaskMemFree(holder);
    }
    *pbIsConnected = connected;
    return S_OK;
}

HRESULT CZuneSupport::Transfer(ZuneDeviceSession& session, BSTR folderId, bool wholeDevice, BSTR FilePath,
                               BSTR ImgFilePath, BSTR MediaTitle, BSTR TargetFileName, BSTR Artist, ULONGLONG Duration,
                               ULONGLONG FileSize, HWND hwndCaller, const TextBuffer& output)
{
    if (SendMessageW(hwndCaller, WM_ADD_PROGRESS, 10, 0) == 0) {
        output.Clear();
        return ZUNE_E_CANCELLED;
    }
    // What the caller is told (with S_FALSE) where the transfer still went ahead in a way it
    // did not ask for: a box here would wait inside the call for a person the caller may not
    // have, so the caller shows its own message.
    CString notice;
    std::wstring folder = TextOf(folderId);
    if (folder.empty()) {
        if (wholeDevice)
            session.FindObjectOnDevice(kMakerFolder);
        else
            session.FindChildByName(wpd::kStorageObjectId, kMakerFolder, true);
        folder = session.Status().Text();
    }
    if (folder.empty()) {
        wchar_t createdText[ZuneDeviceSession::kTextLength] = {};
        const TextBuffer created(createdText, ZuneDeviceSession::kTextLength);
        if (SUCCEEDED(session.CreateFolder(wpd::kStorageObjectId, kMakerFolder, created))) {
            folder = created.Text();
        } else {
            notice = L"Failed to create 'Vesperlin' sub-folder, the selected audiobook will be transferred to root folder.";
            folder = wpd::kStorageObjectId;
        }
    }
    if (folder.empty())
        folder = wpd::kStorageObjectId;

    // The texts are kept whole here (an id must not be cut before the album art needs it) and
    // handed to the caller's buffer at the end.
    wchar_t resultText[ZuneDeviceSession::kTextLength] = {};
    const TextBuffer result(resultText, ZuneDeviceSession::kTextLength);
    output.Clear();
    const HRESULT hr = session.TransferAudioFile(folder.c_str(), FilePath, MediaTitle, TargetFileName, Artist, Duration,
                                                 FileSize, result, hwndCaller);
    if (FAILED(hr)) {
        output.Write(result.Text());
        return hr;
    }
    const std::wstring id = result.Text();
    HRESULT art = E_FAIL;
    if (!id.empty())
        art = session.SendAlbumArt(id.c_str(), ImgFilePath, MediaTitle, result);
    else
        result.Write(L"SendAlbumArt ERROR:  Failed to get the newly transferred object's identifier from the device.");
    if (id.empty() || FAILED(art)) {
        // The file is there without its cover (no image, or one the device refused).
        CString text;
        text.Format(L"The selected file '%s' has been successfully transferred to the Zune device with no album art.\n\n%s",
                    TextOf(TargetFileName), result.Text());
        notice += notice.IsEmpty() ? text : L"\n\n" + text;
    }
    if (!notice.IsEmpty()) {
        output.Write(notice);
        return S_FALSE;
    }
    output.Write(id.c_str());
    return hr;
}

STDMETHODIMP CZuneSupport::TransferToZune(BSTR VPObjID, BSTR FilePath, BSTR ImgFilePath, BSTR MediaTitle,
                                          BSTR TargetFileName, BSTR Artist, ULONGLONG Duration, ULONGLONG FileSize,
                                          HWND hwndCaller, BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({VPObjID, FilePath, ImgFilePath, MediaTitle, TargetFileName, Artist})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    output.Clear();
    if (m_state != ConnectionState::Connected) {
        output.Write(L"connect the Zune device");
        return E_FAIL;
    }
    return Transfer(m_session, VPObjID, false, FilePath, ImgFilePath, MediaTitle, TargetFileName, Artist, Duration,
                    FileSize, hwndCaller, output);
}

STDMETHODIMP CZuneSupport::TransferToZuneEx(BSTR DeviceFriendlyName, BSTR, BYTE*, ULONG, BSTR FilePath,
                                            BSTR ImgFilePath, BSTR MediaTitle, BSTR TargetFileName, BSTR Artist,
                                            ULONGLONG Duration, ULONGLONG FileSize, HWND hwndCaller, BSTR* Output,
                                            ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({DeviceFriendlyName, FilePath, ImgFilePath, MediaTitle, TargetFileName, Artist})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    output.Clear();
    ComInitialization com(COINIT_MULTITHREADED);
    HRESULT hr = com.Check(output);
    if (FAILED(hr))
        return hr;
    {
        // An object in use keeps its own list and session: the call opens others.
        std::unique_ptr<ZuneDeviceList> ownList;
        std::unique_ptr<ZuneDeviceSession> ownSession;
        ZuneDeviceList* list = &m_list;
        ZuneDeviceSession* session = &m_session;
        if (m_state != ConnectionState::None) {
            ownList = std::make_unique<ZuneDeviceList>();
            ownSession = std::make_unique<ZuneDeviceSession>();
            list = ownList.get();
            session = ownSession.get();
        }
        hr = OpenOneShot(*list, *session, DeviceFriendlyName, hwndCaller, SessionMode::Events, output);
        if (SUCCEEDED(hr))
            hr = Transfer(*session, nullptr, true, FilePath, ImgFilePath, MediaTitle, TargetFileName, Artist, Duration,
                          FileSize, hwndCaller, output);
        const HRESULT closed = session->Close();
        if (FAILED(closed) && SUCCEEDED(hr)) {
            output.Format(L"ERROR:  Failed to clean up device connection: 0x%X", static_cast<unsigned>(closed));
            hr = closed;
        }
        list->Release();
    }
    com.Undo();
    return hr;
}

STDMETHODIMP CZuneSupport::DeleteFromZune(BSTR ObjectID, HWND, BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({ObjectID})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    output.Clear();
    if (m_state != ConnectionState::Connected) {
        output.Write(L"ERROR:  device is not connected");
        return E_FAIL;
    }
    if (!ObjectID || !*ObjectID) {
        output.Format(L"Failed to delete audiobook content from device. '%s' not found.", TextOf(ObjectID));
        return E_FAIL;
    }
    const HRESULT hr = m_session.DeleteObject(ObjectID, true);
    if (hr != S_OK)
        output.Write(m_session.LastError().Text());
    return hr;
}

STDMETHODIMP CZuneSupport::DeleteFromZuneEx(BSTR DeviceFriendlyName, BSTR, BYTE*, ULONG, BSTR FileName, HWND,
                                            BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({DeviceFriendlyName, FileName})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    return RunOneShot(DeviceFriendlyName, output, [&](ZuneDeviceSession& session) -> HRESULT {
        // Only what our transfers put on the device is deleted by name: a file in the maker's
        // folder (at any depth), or that folder itself with what is in it. A user's own file
        // of the same name elsewhere, or a folder of that name, stays.
        const wchar_t* name = TextOf(FileName);
        session.FindChildByName(wpd::kStorageObjectId, kMakerFolder, true);
        const std::wstring folder = session.Status().Text();
        std::wstring id;
        bool wholeFolder = false;
        if (!folder.empty() && std::wcscmp(name, kMakerFolder) == 0) {
            id = folder;
            wholeFolder = true;
        } else if (!folder.empty()) {
            session.FindFileBelow(folder.c_str(), name);
            id = session.Status().Text();
        }
        if (id.empty()) {
            output.Format(L"Failed to delete audiobook content from device. '%s' file not found.", name);
            return E_FAIL;
        }
        const HRESULT hr = session.DeleteObject(id.c_str(), wholeFolder);
        if (hr != S_OK)
            output.Write(session.LastError().Text());
        return hr;
    });
}

STDMETHODIMP CZuneSupport::GetObjectIdList(BSTR ParentObjId, BSTR* ParentObjName, ULONG* NumObjects,
                                           LPWSTR* ObjectIdList, LPWSTR* ObjectNameList, ULONG** AttrList,
                                           ULONGLONG** SizeList, BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({ParentObjId})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    output.Clear();
    if (m_state != ConnectionState::Connected) {
        output.Write(L"ERROR:  device is not connected");
        return E_FAIL;
    }
    const TextBuffer parentName = TextBuffer::Of(ParentObjName, OutputLen);
    parentName.Clear();
    return m_session.ListChildren(ParentObjId, parentName, NumObjects, ObjectIdList, ObjectNameList, AttrList,
                                  SizeList);
}

STDMETHODIMP CZuneSupport::GetObjectIdListEx(BSTR DeviceFriendlyName, BSTR ParentObjId, BSTR* ParentObjName,
                                             ULONG* NumObjects, LPWSTR* ObjectIdList, LPWSTR* ObjectNameList,
                                             ULONG** AttrList, ULONGLONG** SizeList, BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({DeviceFriendlyName, ParentObjId})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    return RunOneShot(DeviceFriendlyName, output, [&](ZuneDeviceSession& session) {
        const TextBuffer parentName = TextBuffer::Of(ParentObjName, OutputLen);
        parentName.Clear();
        return session.ListChildren(ParentObjId, parentName, NumObjects, ObjectIdList, ObjectNameList, AttrList,
                                    SizeList);
    });
}

STDMETHODIMP CZuneSupport::GetDeviceStorageSize(ULONGLONG* MaxCapacity, ULONGLONG* FreeSpace, BSTR* Output,
                                                ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    output.Clear();
    if (m_state != ConnectionState::Connected) {
        output.Write(L"ERROR:  device is not connected");
        return E_FAIL;
    }
    return m_session.GetStorageSize(MaxCapacity, FreeSpace);
}

STDMETHODIMP CZuneSupport::GetDeviceStorageSizeEx(BSTR DeviceFriendlyName, ULONGLONG* MaxCapacity,
                                                  ULONGLONG* FreeSpace, BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    return RunOneShot(DeviceFriendlyName, output,
                      [&](ZuneDeviceSession& session) { return session.GetStorageSize(MaxCapacity, FreeSpace); });
}

STDMETHODIMP CZuneSupport::DoesTargetExist(BSTR FolderObjID, BSTR TargetName, BSTR* Output, ULONG OutputLen)
{
    const TextBuffer output = TextBuffer::Of(Output, OutputLen);
    if (AnyCutShort({FolderObjID, TargetName})) {
        output.Clear();
        output.Write(kCutText);
        return E_INVALIDARG;
    }
    output.Clear();
    if (m_state != ConnectionState::Connected)
        return E_FAIL;
    const wchar_t* folder = FolderObjID && *FolderObjID ? FolderObjID : wpd::kStorageObjectId;
    m_session.FindChildByName(folder, TargetName);
    if (m_session.Status().IsEmpty())
        return E_FAIL;
    output.Write(m_session.Status().Text());
    return S_OK;
}

STDMETHODIMP CZuneSupport::ResetDevice(int nCloseSteps)
{
    if (m_state == ConnectionState::None)
        return S_OK;
    const bool open = m_state == ConnectionState::Opened || m_state == ConnectionState::Connected;
    if (nCloseSteps <= 0) {
        if (m_state == ConnectionState::Connected)
            m_state = ConnectionState::Opened;
        return S_OK;
    }
    if (nCloseSteps == 1) {
        if (!open)
            return S_OK;
        m_session.Close();
        const HRESULT hr = m_list.Refresh();
        m_state = ConnectionState::Located;
        return hr;
    }
    if (open) {
        m_session.Close();
        m_state = ConnectionState::Located;
    }
    m_list.Release();
    m_state = ConnectionState::None;
    m_locatedIndex = m_connectedIndex = -1;
    return S_OK;
}
