// The server's way to a Zune through the portable-devices interfaces: the device list (found
// by friendly name, opened as the server's client), the session on one device with its event
// registration and its two texts, and the event sink.
//
//     ZuneDeviceList list;                  // creates the device manager
//     ZuneDeviceSession session;            // creates the device object
//     if (SUCCEEDED(list.Load()) && list.Count() > 0) {
//         int index = list.FindByFriendlyName(L"Kitchen Zune");
//         if (index >= 0 && SUCCEEDED(list.OpenSession(owner, index, &session, SessionMode::Plain)))
//             session.GetStorageSize(&capacity, &free);  // failures in session.LastError()
//     }
#pragma once

#include "ComHolders.h"
#include "PortableDevices.h"
#include "TextBuffer.h"

#include <string>
#include <vector>

// The client name of the whole module: what the devices are told, the caption of the boxes,
// the name CheckConnection compares with.
std::wstring ZuneClientName();
void SetZuneClientName(const wchar_t* name);

// Sets the session's event when the device reports its removal. Its own reference count
// starts at 1 (the session's); while a device holds it, the module stays loaded.
class ZuneEventSink final : public IPortableDeviceEventCallback {
public:
    ZuneEventSink();
    STDMETHODIMP QueryInterface(REFIID iid, void** result) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP OnEvent(IPortableDeviceValues* parameters) override;

    // The event to set, or none; the sink never sets a handle it was told to forget.
    void SetEventHandle(HANDLE event);

private:
    ~ZuneEventSink();
    LONG m_refs = 1;
    SRWLOCK m_lock = SRWLOCK_INIT;
    HANDLE m_event = nullptr;
};

enum class SessionMode { Plain, Events };

class ZuneDeviceSession {
public:
    ZuneDeviceSession();
    ~ZuneDeviceSession();
    ZuneDeviceSession(const ZuneDeviceSession&) = delete;
    ZuneDeviceSession& operator=(const ZuneDeviceSession&) = delete;

    HRESULT OpenPlain(const wchar_t* deviceId, IPortableDeviceValues* clientInformation);
    HRESULT OpenWithEvents(const wchar_t* deviceId, IPortableDeviceValues* clientInformation);
    // Back to closed: unregisters the sink, forgets the event and the cookie.
    HRESULT Close();
    bool IsOpen() const { return m_opened; }

    // The client that holds the device (task memory, freed by the caller).
    HRESULT QueryHoldingClient(LPWSTR* name);
    HRESULT ReadFirmwareVersion(std::wstring* version);

    // Writing (the texts go to the caller's buffer).
    HRESULT TransferAudioFile(const wchar_t* folderId, const wchar_t* filePath, const wchar_t* mediaTitle,
                              const wchar_t* targetFileName, const wchar_t* artist, ULONGLONG duration,
                              ULONGLONG fileSize, const TextBuffer& text, HWND window);
    HRESULT SendAlbumArt(const wchar_t* objectId, const wchar_t* imagePath, const wchar_t* name,
                         const TextBuffer& text);
    HRESULT CreateFolder(const wchar_t* parentId, const wchar_t* folderName, const TextBuffer& text);
    // Copies source into the device stream chunk by chunk, reporting each chunk to window;
    // *total is set only when the whole source was copied.
    static HRESULT CopyStreamInChunks(IStream* device, IStream* source, DWORD chunkSize, ULONGLONG* total,
                                      HWND window);

    // Reading and deleting (results in the status text, failures in the last-error text).
    // The first folder anywhere on the device whose original file name or id is name (any
    // case), in Status(); files of that name are passed over.
    HRESULT FindObjectOnDevice(const wchar_t* name);
    // The child of parentId whose file name is name (any case), in Status(); with foldersOnly a
    // file of that name is passed over.
    HRESULT FindChildByName(const wchar_t* parentId, const wchar_t* name, bool foldersOnly = false);
    // The first file (never a folder) at any depth below the folder whose original file name
    // or id is name, ignoring case; its id goes to the status text.
    HRESULT FindFileBelow(const wchar_t* folderId, const wchar_t* name);
    // ParentName gets the parent's name; see IZuneSupport::GetObjectIdList for the lists.
    HRESULT ListChildren(const wchar_t* parentId, const TextBuffer& parentName, ULONG* numObjects,
                         LPWSTR* objectIds, LPWSTR* objectNames, ULONG** attributes, ULONGLONG** sizes);
    HRESULT DeleteObject(const wchar_t* objectId, bool withChildren);
    HRESULT GetStorageSize(ULONGLONG* capacity, ULONGLONG* freeSpace);

    const TextBuffer& Status() const { return m_status; }
    const TextBuffer& LastError() const { return m_lastError; }
    // Set by FindObjectOnDevice when what it found is named exactly "Vesperlin".
    bool FoundFolder() const { return m_folderFound; }

    // The length of the texts, and of every id or name a listing writes, in characters.
    static constexpr size_t kTextLength = 1024;

private:
    // The device's content; without a device E_POINTER, with nullDeviceText in the last-error
    // text, and a failure with failureFormat there (each when given).
    HRESULT GetContent(IPortableDeviceContent** content, const wchar_t* failureFormat,
                       const wchar_t* nullDeviceText = nullptr);
    // The properties of the device's objects, through its content (the texts as above).
    HRESULT GetProperties(IPortableDeviceProperties** properties);
    static constexpr wchar_t kNullDevice[] = L"ERROR: A NULL IPortableDevice interface pointer was received.";
    static constexpr wchar_t kNoContent[] = L"ERROR: Failed to get IPortableDeviceContent from IPortableDevice, hr = 0x%lx";
    // One visit of the whole-device search for a folder; budget is how many objects the whole
    // search may still look at.
    void Visit(IPortableDeviceContent* content, IPortableDeviceProperties* properties, const wchar_t* id,
               const wchar_t* name, int depth, ULONG* budget);
    void VisitFiles(IPortableDeviceContent* content, IPortableDeviceProperties* properties, const wchar_t* folderId,
                    const wchar_t* name, int depth);
    static constexpr int kMaxFolderDepth = 32;
    // More objects than a player's storage holds: a device-wide search stops after them.
    static constexpr ULONG kMaxVisitedObjects = 200000;
    // An id the session must never delete: the device or one of its storages.
    bool IsRootOrStorage(IPortableDeviceProperties* properties, const wchar_t* id);
    // The device's id or a storage's, in any case.
    bool NamesDeviceOrStorage(IPortableDeviceContent* content, const wchar_t* id);
    // Whether the object's parent lists exactly this id among its children.
    bool IsListedByParent(IPortableDeviceContent* content, IPortableDeviceProperties* properties, const wchar_t* id);

    com::ComPtr<IPortableDevice> m_device;
    ZuneEventSink* m_sink;
    HANDLE m_event = nullptr;
    LPWSTR m_cookie = nullptr;
    wchar_t m_statusText[kTextLength] = {};
    wchar_t m_lastErrorText[kTextLength] = {};
    TextBuffer m_status{m_statusText, kTextLength};
    TextBuffer m_lastError{m_lastErrorText, kTextLength};
    bool m_eventMode = false;
    bool m_opened = false;
    bool m_folderFound = false;
};

class ZuneDeviceList {
public:
    ZuneDeviceList();
    ~ZuneDeviceList();
    ZuneDeviceList(const ZuneDeviceList&) = delete;
    ZuneDeviceList& operator=(const ZuneDeviceList&) = delete;

    // Tells the devices who we are and lists them.
    HRESULT Load();
    HRESULT Refresh();
    HRESULT Release();
    ULONG Count() const { return static_cast<ULONG>(m_deviceIds.size()); }
    // The first device with that friendly name (an empty one counts as "Microsoft Zune"),
    // ignoring case; -1 when none.
    int FindByFriendlyName(const wchar_t* name) const;
    HRESULT OpenSession(HWND owner, ULONG index, ZuneDeviceSession* session, SessionMode mode) const;

private:
    HRESULT Enumerate();
    void FreeDeviceIds();

    com::ComPtr<IPortableDeviceManager> m_manager;
    std::vector<LPWSTR> m_deviceIds;
    com::ComPtr<IPortableDeviceValues> m_clientInformation;
};

// Reads one property of an object (a key collection of that key, GetValues): E_FAIL unless
// GetValues read every key, else the typed getter's result.
HRESULT ReadTextProperty(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                         std::wstring* value);
HRESULT ReadBoolProperty(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                         bool* value);
HRESULT ReadU64Property(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                        ULONGLONG* value);
HRESULT ReadGuidProperty(IPortableDeviceProperties* properties, const wchar_t* id, const PROPERTYKEY& key,
                         GUID* value);
