#include "Device.h"

#include "CString.h"
#include "ComHolders.h"
#include "Values.h"

#include <cwchar>

namespace wpdstandin {

namespace {

const HRESULT kNotConnected = HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
const HRESULT kNotOpen = HRESULT_FROM_WIN32(ERROR_NOT_READY);

bool IsRemoved(const DeviceDescription& device)
{
    std::lock_guard<std::mutex> hold(StateLock());
    return StateOf(device).removed;
}

HRESULT NewValues(IPortableDeviceValues** values)
{
    return com::Object<CValues>::Create(IID_IPortableDeviceValues, reinterpret_cast<void**>(values));
}

std::wstring TextOf(IPortableDeviceValues* values, const PROPERTYKEY& key)
{
    LPWSTR text = nullptr;
    std::wstring result;
    if (values && SUCCEEDED(values->GetStringValue(key, &text)) && text)
        result = text;
    CoTaskMemFree(text);
    return result;
}

// The ids of one object's children, handed out in batches.
class CObjectIdList : public com::ObjectRoot<com::FreeThreading>, public IEnumPortableDeviceObjectIDs {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CObjectIdList, IEnumPortableDeviceObjectIDs>(IID_IEnumPortableDeviceObjectIDs),
            {},
        };
        return table;
    }
    explicit CObjectIdList(std::vector<std::wstring> ids) : m_ids(std::move(ids)) {}

    STDMETHODIMP Next(ULONG count, LPWSTR* ids, ULONG* fetched) override
    {
        if (!ids || (!fetched && count != 1))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_next < m_ids.size()) {
            ids[n] = DuplicateText(m_ids[m_next].c_str());
            if (!ids[n])
                break;
            ++n;
            ++m_next;
        }
        if (fetched)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }

private:
    std::vector<std::wstring> m_ids;
    size_t m_next = 0;
};

class CProperties : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceProperties {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CProperties, IPortableDeviceProperties>(IID_IPortableDeviceProperties),
            {},
        };
        return table;
    }
    explicit CProperties(DeviceDescription device) : m_device(std::move(device)) {}

    STDMETHODIMP GetValues(LPCWSTR objectId, IPortableDeviceKeyCollection* keys, IPortableDeviceValues** values) override
    {
        if (!objectId || !values)
            return E_POINTER;
        *values = nullptr;
        if (IsRemoved(m_device))
            return kNotConnected;
        com::ComPtr<IPortableDeviceValues> all;
        HRESULT hr = NewValues(all.Put());
        if (SUCCEEDED(hr))
            hr = ReadProperties(m_device, objectId, all.Get());
        if (FAILED(hr) || !keys) {
            if (SUCCEEDED(hr))
                *values = all.Detach();
            return hr;
        }
        com::ComPtr<IPortableDeviceValues> asked;
        hr = NewValues(asked.Put());
        if (FAILED(hr))
            return hr;
        DWORD count = 0;
        keys->GetCount(&count);
        bool allRead = true;
        for (DWORD i = 0; i < count; ++i) {
            PROPERTYKEY key;
            if (FAILED(keys->GetAt(i, &key)))
                continue;
            PROPVARIANT value;
            if (SUCCEEDED(all->GetValue(key, &value))) {
                asked->SetValue(key, &value);
                PropVariantClear(&value);
            } else {
                asked->SetErrorValue(key, HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED));
                allRead = false;
            }
        }
        *values = asked.Detach();
        return allRead ? S_OK : S_FALSE;
    }

private:
    DeviceDescription m_device;
};

// The stream of a new object (or of an object's album art): data go to a ".partial" file,
// which Commit moves into place; released without Commit, nothing is left.
class CDataStream : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceDataStream {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CDataStream, IPortableDeviceDataStream>(IID_IPortableDeviceDataStream),
            com::Implements<CDataStream, IStream>(IID_IStream),
            com::Implements<CDataStream, ISequentialStream>(IID_ISequentialStream),
            {},
        };
        return table;
    }
    // A new object named name under parent with these properties, or (albumArtOf not empty)
    // the album art of that object.
    CDataStream(DeviceDescription device, std::wstring parent, std::wstring name, IPortableDeviceValues* values,
                std::wstring albumArtOf)
        : m_device(std::move(device)), m_parent(std::move(parent)), m_name(std::move(name)), m_values(values),
          m_albumArtOf(std::move(albumArtOf))
    {
    }
    HRESULT FinalConstruct()
    {
        m_partial = m_albumArtOf.empty() ? PathOf(m_device, ChildId(m_parent, m_name)) + L".partial"
                                         : PathOf(m_device, m_albumArtOf) + L".albumart.partial";
        m_file = CreateFileW(m_partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        return m_file == INVALID_HANDLE_VALUE ? HRESULT_FROM_WIN32(GetLastError()) : S_OK;
    }
    void FinalRelease()
    {
        if (m_file != INVALID_HANDLE_VALUE)
            CloseHandle(m_file);
        if (!m_committed)
            DeleteFileW(m_partial.c_str());
    }

    STDMETHODIMP Read(void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    STDMETHODIMP Write(const void* data, ULONG size, ULONG* written) override
    {
        if (written)
            *written = 0;
        if (!data && size)
            return E_POINTER;
        if (m_committed || m_file == INVALID_HANDLE_VALUE)
            return E_UNEXPECTED;
        ULONG take = size;
        bool remove = false;
        {
            std::lock_guard<std::mutex> hold(StateLock());
            DeviceState& state = StateOf(m_device);
            if (state.removed)
                return kNotConnected;
            if (m_device.removeAfterBytes && state.bytesWritten + size >= m_device.removeAfterBytes)
                remove = true;
            else if (m_device.shortWriteAt && !state.shortWriteDone && m_written < m_device.shortWriteAt &&
                     m_written + size > m_device.shortWriteAt) {
                take = static_cast<ULONG>(m_device.shortWriteAt - m_written);
                state.shortWriteDone = true;
            }
            if (!remove)
                state.bytesWritten += take;
        }
        if (remove) {
            RemoveDevice(m_device);
            return kNotConnected;
        }
        DWORD done = 0;
        if (take && !WriteFile(m_file, data, take, &done, nullptr))
            return HRESULT_FROM_WIN32(GetLastError());
        m_written += done;
        if (written)
            *written = done;
        return S_OK;
    }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP Commit(DWORD) override
    {
        if (m_committed)
            return S_OK;
        if (IsRemoved(m_device))
            return kNotConnected;
        CloseHandle(m_file);
        m_file = INVALID_HANDLE_VALUE;
        if (!m_albumArtOf.empty()) {
            const std::wstring target = PathOf(m_device, m_albumArtOf) + L".albumart.jpg";
            if (!MoveFileExW(m_partial.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
                return HRESULT_FROM_WIN32(GetLastError());
            m_committed = true;
            com::ComPtr<IPortableDeviceValues> format;
            GUID code = wpd::FORMAT_EXIF;
            if (SUCCEEDED(NewValues(format.Put())) && SUCCEEDED(m_values->GetGuidValue(wpd::RESOURCE_FORMAT, &code)))
                format->SetGuidValue(wpd::RESOURCE_FORMAT, code);
            return format ? WriteProperties(m_device, m_albumArtOf, format.Get()) : S_OK;
        }
        // The name was taken for this object when its stream was made (by the ".partial" file).
        const std::wstring& name = m_name;
        const std::wstring id = ChildId(m_parent, name);
        if (!MoveFileExW(m_partial.c_str(), PathOf(m_device, id).c_str(), 0))
            return HRESULT_FROM_WIN32(GetLastError());
        m_committed = true;
        m_id = id;
        m_values->SetStringValue(wpd::OBJECT_ORIGINAL_FILE_NAME, name.c_str());
        return WriteProperties(m_device, id, m_values.Get());
    }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG* stat, DWORD) override
    {
        if (!stat)
            return E_POINTER;
        *stat = STATSTG{};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_written;
        return S_OK;
    }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
    STDMETHODIMP GetObjectID(LPWSTR* objectId) override
    {
        if (!objectId)
            return E_POINTER;
        *objectId = nullptr;
        if (m_id.empty())
            return E_UNEXPECTED;  // the object exists only once committed
        *objectId = DuplicateText(m_id.c_str());
        return *objectId ? S_OK : E_OUTOFMEMORY;
    }

private:
    DeviceDescription m_device;
    std::wstring m_parent;
    std::wstring m_name;
    com::ComPtr<IPortableDeviceValues> m_values;
    std::wstring m_albumArtOf;
    std::wstring m_partial;
    HANDLE m_file = INVALID_HANDLE_VALUE;
    ULONGLONG m_written = 0;
    bool m_committed = false;
    std::wstring m_id;
};

class CResources : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceResources {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CResources, IPortableDeviceResources>(IID_IPortableDeviceResources),
            {},
        };
        return table;
    }
    explicit CResources(DeviceDescription device) : m_device(std::move(device)) {}

    STDMETHODIMP CreateResource(IPortableDeviceValues* attributes, IStream** data, DWORD* optimalBufferSize,
                                LPWSTR* cookie) override
    {
        if (!attributes || !data)
            return E_POINTER;
        *data = nullptr;
        if (cookie)
            *cookie = nullptr;
        if (IsRemoved(m_device))
            return kNotConnected;
        const std::wstring id = TextOf(attributes, wpd::OBJECT_ID);
        if (KindOf(m_device, id) != ObjectKind::File)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        com::ComPtr<IUnknown> keyHolder;
        com::ComPtr<IPortableDeviceKeyCollection> keys;
        PROPERTYKEY key{};
        if (FAILED(attributes->GetIUnknownValue(wpd::RESOURCE_KEY, keyHolder.Put())) ||
            FAILED(keyHolder.As(&keys, IID_IPortableDeviceKeyCollection)) || FAILED(keys->GetAt(0, &key)) ||
            !wpd::SameKey(key, wpd::RESOURCE_ALBUM_ART))
            return E_INVALIDARG;  // album art is the only resource this device takes
        GUID format{};
        attributes->GetGuidValue(wpd::RESOURCE_FORMAT, &format);
        const bool jpeg = IsEqualGUID(format, wpd::FORMAT_EXIF) || IsEqualGUID(format, wpd::FORMAT_JFIF);
        if (!jpeg || m_device.refuseAlbumArt || (m_device.refuseExifArt && IsEqualGUID(format, wpd::FORMAT_EXIF)))
            return HRESULT_FROM_WIN32(ERROR_NOT_SUPPORTED);
        if (optimalBufferSize)
            *optimalBufferSize = m_device.optimalBufferSize;
        return com::Object<CDataStream>::Create(IID_IStream, reinterpret_cast<void**>(data), m_device, std::wstring(),
                                                std::wstring(), attributes, id);
    }

private:
    DeviceDescription m_device;
};

class CContent : public com::ObjectRoot<com::FreeThreading>, public IPortableDeviceContent {
public:
    static const com::InterfaceEntry* Interfaces()
    {
        static constexpr com::InterfaceEntry table[] = {
            com::Implements<CContent, IPortableDeviceContent>(IID_IPortableDeviceContent),
            {},
        };
        return table;
    }
    explicit CContent(DeviceDescription device) : m_device(std::move(device)) {}

    STDMETHODIMP EnumObjects(DWORD, LPCWSTR parentId, IPortableDeviceValues*,
                             IEnumPortableDeviceObjectIDs** objects) override
    {
        if (!parentId || !objects)
            return E_POINTER;
        *objects = nullptr;
        if (IsRemoved(m_device))
            return kNotConnected;
        const ObjectKind kind = KindOf(m_device, parentId);
        if (kind == ObjectKind::None)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        std::vector<std::wstring> children;
        if (kind != ObjectKind::File)
            children = ChildrenOf(m_device, parentId);
        return com::Object<CObjectIdList>::Create(IID_IEnumPortableDeviceObjectIDs, reinterpret_cast<void**>(objects),
                                                  std::move(children));
    }
    STDMETHODIMP Properties(IPortableDeviceProperties** properties) override
    {
        return com::Object<CProperties>::Create(IID_IPortableDeviceProperties, reinterpret_cast<void**>(properties),
                                                m_device);
    }
    STDMETHODIMP Transfer(IPortableDeviceResources** resources) override
    {
        return com::Object<CResources>::Create(IID_IPortableDeviceResources, reinterpret_cast<void**>(resources),
                                               m_device);
    }
    STDMETHODIMP CreateObjectWithPropertiesOnly(IPortableDeviceValues* values, LPWSTR* objectId) override
    {
        if (!values || !objectId)
            return E_POINTER;
        *objectId = nullptr;
        std::wstring parent, name;
        HRESULT hr = Placement(values, &parent, &name);
        if (FAILED(hr))
            return hr;
        GUID type{};
        if (FAILED(values->GetGuidValue(wpd::OBJECT_CONTENT_TYPE, &type)) || !IsEqualGUID(type, wpd::CONTENT_TYPE_FOLDER))
            return E_INVALIDARG;  // of objects without data this device keeps only folders
        if (m_device.refuseFolders)
            return E_ACCESSDENIED;
        const std::wstring unique = UniqueName(m_device, parent, name);
        if (unique.empty())
            return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
        const std::wstring id = ChildId(parent, unique);
        if (!CreateDirectoryW(PathOf(m_device, id).c_str(), nullptr))
            return HRESULT_FROM_WIN32(GetLastError());
        hr = WriteProperties(m_device, id, values);
        if (SUCCEEDED(hr)) {
            *objectId = DuplicateText(id.c_str());
            hr = *objectId ? S_OK : E_OUTOFMEMORY;
        }
        return hr;
    }
    STDMETHODIMP CreateObjectWithPropertiesAndData(IPortableDeviceValues* values, IStream** data,
                                                   DWORD* optimalBufferSize, LPWSTR* cookie) override
    {
        if (!values || !data)
            return E_POINTER;
        *data = nullptr;
        if (cookie)
            *cookie = nullptr;
        std::wstring parent, name;
        HRESULT hr = Placement(values, &parent, &name);
        if (FAILED(hr))
            return hr;
        {
            std::lock_guard<std::mutex> hold(StateLock());
            DeviceState& state = StateOf(m_device);
            if (state.busyTransfersAnswered < m_device.busyTransfers) {
                ++state.busyTransfersAnswered;
                return wpd::E_DEVICE_BUSY;
            }
        }
        // The stream keeps its own copy of the properties.
        com::ComPtr<IPortableDeviceValues> copy;
        hr = NewValues(copy.Put());
        DWORD count = 0;
        values->GetCount(&count);
        for (DWORD i = 0; SUCCEEDED(hr) && i < count; ++i) {
            PROPERTYKEY key;
            PROPVARIANT value;
            if (SUCCEEDED(values->GetAt(i, &key, &value))) {
                copy->SetValue(key, &value);
                PropVariantClear(&value);
            }
        }
        if (FAILED(hr))
            return hr;
        const std::wstring unique = UniqueName(m_device, parent, name);
        if (unique.empty())
            return HRESULT_FROM_WIN32(ERROR_FILE_EXISTS);
        if (optimalBufferSize)
            *optimalBufferSize = m_device.optimalBufferSize;
        return com::Object<CDataStream>::Create(IID_IStream, reinterpret_cast<void**>(data), m_device, parent, unique,
                                                copy.Get(), std::wstring());
    }
    STDMETHODIMP Delete(DWORD options, IPortableDevicePropVariantCollection* objectIds,
                        IPortableDevicePropVariantCollection** results) override
    {
        if (!objectIds)
            return E_POINTER;
        if (results)
            *results = nullptr;
        if (IsRemoved(m_device))
            return kNotConnected;
        DWORD count = 0;
        objectIds->GetCount(&count);
        bool all = true;
        for (DWORD i = 0; i < count; ++i) {
            PROPVARIANT value;
            if (FAILED(objectIds->GetAt(i, &value)))
                continue;
            const HRESULT hr = value.vt == VT_LPWSTR && value.pwszVal ? DeleteOne(value.pwszVal, options)
                                                                      : E_INVALIDARG;
            all = all && SUCCEEDED(hr);
            PropVariantClear(&value);
        }
        return all ? S_OK : S_FALSE;
    }

private:
    // Where a new object goes: its parent (which must be a storage or a folder) and its name.
    HRESULT Placement(IPortableDeviceValues* values, std::wstring* parent, std::wstring* name)
    {
        if (IsRemoved(m_device))
            return kNotConnected;
        *parent = TextOf(values, wpd::OBJECT_PARENT_ID);
        const ObjectKind kind = KindOf(m_device, *parent);
        if (kind != ObjectKind::Storage && kind != ObjectKind::Folder)
            return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        *name = TextOf(values, wpd::OBJECT_ORIGINAL_FILE_NAME);
        if (name->empty())
            *name = TextOf(values, wpd::OBJECT_NAME);
        return IsValidName(*name) ? S_OK : E_INVALIDARG;
    }

    // Deletes an object with its side files. Like a careless device, it takes the root or a
    // storage to mean everything in it.
    HRESULT DeleteOne(const std::wstring& id, DWORD options)
    {
        const ObjectKind kind = KindOf(m_device, id);
        if (kind == ObjectKind::None)
            return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (kind == ObjectKind::File) {
            const std::wstring path = PathOf(m_device, id);
            DeleteFileW((path + L".props").c_str());
            DeleteFileW((path + L".albumart.jpg").c_str());
            return DeleteFileW(path.c_str()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
        }
        const std::vector<std::wstring> children = ChildrenOf(m_device, id);
        if (!children.empty() && options != wpd::DELETE_WITH_RECURSION)
            return HRESULT_FROM_WIN32(ERROR_DIR_NOT_EMPTY);
        HRESULT hr = S_OK;
        for (const std::wstring& child : children) {
            const HRESULT step = DeleteOne(child, options);
            if (FAILED(step))
                hr = step;
        }
        if (FAILED(hr) || kind != ObjectKind::Folder)
            return hr;
        const std::wstring path = PathOf(m_device, id);
        DeleteFileW((path + L".props").c_str());
        return RemoveDirectoryW(path.c_str()) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    }

    DeviceDescription m_device;
};

}  // namespace

STDMETHODIMP CDeviceManager::GetDevices(LPWSTR* ids, DWORD* count)
{
    if (!count)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    // A device that went away is gone from the list at once.
    std::vector<const DeviceDescription*> attached;
    for (const DeviceDescription& device : m_devices) {
        if (!IsRemoved(device))
            attached.push_back(&device);
    }
    if (!ids) {
        *count = static_cast<DWORD>(attached.size());
        return S_OK;
    }
    DWORD n = 0;
    for (; n < *count && n < attached.size(); ++n) {
        ids[n] = DuplicateText(attached[n]->id.c_str());
        if (!ids[n])
            break;
    }
    *count = n;
    return S_OK;
}

STDMETHODIMP CDeviceManager::RefreshDeviceList()
{
    std::vector<DeviceDescription> attached;
    for (DeviceDescription& device : ReadFixture()) {
        if (!IsRemoved(device))
            attached.push_back(std::move(device));
    }
    std::lock_guard<std::mutex> hold(m_lock);
    m_devices = std::move(attached);
    return S_OK;
}

STDMETHODIMP CDeviceManager::GetDeviceFriendlyName(LPCWSTR deviceId, WCHAR* name, DWORD* chars)
{
    if (!deviceId || !chars)
        return E_POINTER;
    std::lock_guard<std::mutex> hold(m_lock);
    for (const DeviceDescription& device : m_devices) {
        if (device.id != deviceId)
            continue;
        const DWORD needed = static_cast<DWORD>(device.friendlyName.size() + 1);
        if (!name) {
            *chars = needed;
            return S_OK;
        }
        if (*chars < needed) {
            *chars = needed;
            return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        }
        std::wmemcpy(name, device.friendlyName.c_str(), needed);
        *chars = needed;
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

HRESULT CPortableDevice::Usable() const
{
    if (!m_open)
        return kNotOpen;
    return IsRemoved(m_device) ? kNotConnected : S_OK;
}

STDMETHODIMP CPortableDevice::Open(LPCWSTR deviceId, IPortableDeviceValues* clientInformation)
{
    if (!deviceId || !clientInformation)
        return E_POINTER;
    if (m_open)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    for (DeviceDescription& device : ReadFixture()) {
        if (device.id != deviceId)
            continue;
        std::lock_guard<std::mutex> hold(StateLock());
        DeviceState& state = StateOf(device);
        if (state.removed)
            return kNotConnected;
        if (state.busyOpensAnswered < device.busyOpens) {
            ++state.busyOpensAnswered;
            return wpd::E_DEVICE_BUSY;
        }
        m_client = TextOf(clientInformation, wpd::CLIENT_NAME);
        state.openedBy = m_client;
        m_device = std::move(device);
        m_open = true;
        return S_OK;
    }
    return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
}

STDMETHODIMP CPortableDevice::SendCommand(DWORD, IPortableDeviceValues* parameters, IPortableDeviceValues** results)
{
    if (!parameters || !results)
        return E_POINTER;
    *results = nullptr;
    HRESULT hr = Usable();
    if (FAILED(hr))
        return hr;
    GUID category{};
    ULONG command = 0;
    if (FAILED(parameters->GetGuidValue(wpd::COMMAND_CATEGORY, &category)) ||
        FAILED(parameters->GetUnsignedIntegerValue(wpd::COMMAND_ID, &command)) ||
        !IsEqualGUID(category, wpd::kHoldingClientCategory) || command != 1)
        return E_NOTIMPL;
    com::ComPtr<IPortableDeviceValues> answer;
    hr = NewValues(answer.Put());
    if (FAILED(hr))
        return hr;
    std::wstring holder = m_device.holdingClient;
    if (!m_device.hasHoldingClient) {
        std::lock_guard<std::mutex> hold(StateLock());
        holder = StateOf(m_device).openedBy;
    }
    answer->SetStringValue(wpd::HOLDING_CLIENT_NAME, holder.c_str());
    answer->SetUnsignedIntegerValue(wpd::HOLDING_CLIENT_VALUE, 0);
    *results = answer.Detach();
    return S_OK;
}

STDMETHODIMP CPortableDevice::Content(IPortableDeviceContent** content)
{
    if (!content)
        return E_POINTER;
    *content = nullptr;
    const HRESULT hr = Usable();
    if (FAILED(hr))
        return hr;
    return com::Object<CContent>::Create(IID_IPortableDeviceContent, reinterpret_cast<void**>(content), m_device);
}

STDMETHODIMP CPortableDevice::Close()
{
    if (!m_open)
        return S_OK;
    std::vector<IPortableDeviceEventCallback*> dropped;
    {
        std::lock_guard<std::mutex> hold(StateLock());
        auto& sinks = StateOf(m_device).sinks;
        for (auto it = sinks.begin(); it != sinks.end();) {
            if (it->owner == this) {
                dropped.push_back(it->callback);
                it = sinks.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (IPortableDeviceEventCallback* callback : dropped)
        callback->Release();
    m_open = false;
    return S_OK;
}

STDMETHODIMP CPortableDevice::Advise(DWORD, IPortableDeviceEventCallback* callback, IPortableDeviceValues*,
                                     LPWSTR* cookie)
{
    if (!callback || !cookie)
        return E_POINTER;
    *cookie = nullptr;
    const HRESULT hr = Usable();
    if (FAILED(hr))
        return hr;
    std::lock_guard<std::mutex> hold(StateLock());
    DeviceState& state = StateOf(m_device);
    const std::wstring text = L"sink" + std::to_wstring(state.nextCookie++);
    *cookie = DuplicateText(text.c_str());
    if (!*cookie)
        return E_OUTOFMEMORY;
    callback->AddRef();
    state.sinks.push_back({text, callback, this});
    return S_OK;
}

STDMETHODIMP CPortableDevice::Unadvise(LPCWSTR cookie)
{
    if (!cookie)
        return E_POINTER;
    if (!m_open)
        return kNotOpen;
    IPortableDeviceEventCallback* callback = nullptr;
    {
        std::lock_guard<std::mutex> hold(StateLock());
        auto& sinks = StateOf(m_device).sinks;
        for (auto it = sinks.begin(); it != sinks.end(); ++it) {
            if (it->owner == this && it->cookie == cookie) {
                callback = it->callback;
                sinks.erase(it);
                break;
            }
        }
    }
    if (!callback)
        return E_INVALIDARG;
    callback->Release();
    return S_OK;
}

}  // namespace wpdstandin
