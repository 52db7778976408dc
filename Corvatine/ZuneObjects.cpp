// The session's reading and deleting operations: searches by name, the listing of a folder
// into the caller's arrays, deletion, the storage's size.
#include "ZuneDevice.h"
#include "ZuneSupportInterface.h"

#include "CString.h"

#include <cwchar>

namespace {

constexpr ULONG kBatch = 10;

// The ids of an object's children in batches of ten; each batch is freed when the next is
// fetched and at the end.
class ChildIds {
public:
    ChildIds(IPortableDeviceContent* content, const wchar_t* parentId)
    {
        m_result = content->EnumObjects(0, parentId, nullptr, m_enum.Put());
        if (SUCCEEDED(m_result) && !m_enum)
            m_result = E_FAIL;
    }
    ~ChildIds() { Free(); }
    ChildIds(const ChildIds&) = delete;
    ChildIds& operator=(const ChildIds&) = delete;

    HRESULT Result() const { return m_result; }
    // The next batch; false when there is none (the last one may be short).
    bool Next()
    {
        Free();
        if (m_done || FAILED(m_result))
            return false;
        const HRESULT hr = m_enum->Next(kBatch, m_ids, &m_count);
        if (m_count > kBatch)
            m_count = kBatch;
        m_done = hr != S_OK;
        return SUCCEEDED(hr) && m_count > 0;
    }
    ULONG Count() const { return m_count; }
    const wchar_t* operator[](ULONG i) const { return m_ids[i]; }

private:
    void Free()
    {
        for (ULONG i = 0; i < m_count; ++i)
            CoTaskMemFree(m_ids[i]);
        m_count = 0;
    }

    com::ComPtr<IEnumPortableDeviceObjectIDs> m_enum;
    HRESULT m_result;
    LPWSTR m_ids[kBatch] = {};
    ULONG m_count = 0;
    bool m_done = false;
};

const wchar_t kNoEnumerator[] = L"ERROR: Failed to get IEnumPortableDeviceObjectIDs from IPortableDeviceContent, hr = 0x%lx";
const wchar_t kNullId[] = L"ERROR: A NULL object id pointer was received.";

}  // namespace

void ZuneDeviceSession::Visit(IPortableDeviceContent* content, IPortableDeviceProperties* properties, const wchar_t* id,
                              const wchar_t* name, int depth, ULONG* budget)
{
    // A device that lists a loop, or more objects than any player holds, ends the search here.
    if (depth > kMaxFolderDepth || *budget == 0)
        return;
    --*budget;
    std::wstring objectName;
    if (FAILED(ReadTextProperty(properties, id, wpd::OBJECT_ORIGINAL_FILE_NAME, &objectName)))
        objectName = id;
    GUID type = GUID_NULL;
    const bool typed = SUCCEEDED(ReadGuidProperty(properties, id, wpd::OBJECT_CONTENT_TYPE, &type));
    const bool folder = typed && IsEqualGUID(type, wpd::CONTENT_TYPE_FOLDER);
    // Only a folder is what the search looks for: a user's file of that name is passed over.
    if (folder && (CString(objectName.c_str()).CompareNoCase(name) == 0 || CString(id).CompareNoCase(name) == 0)) {
        m_status.Write(id);
        if (objectName == L"Vesperlin")
            m_folderFound = true;
        return;
    }
    if (typed && !folder && !IsEqualGUID(type, wpd::CONTENT_TYPE_FUNCTIONAL_OBJECT))
        return;  // a file has no children to visit
    ChildIds children(content, id);
    if (FAILED(children.Result())) {
        m_lastError.Format(kNoEnumerator, children.Result());
        return;
    }
    while (m_status.IsEmpty() && *budget > 0 && children.Next()) {
        for (ULONG i = 0; i < children.Count() && m_status.IsEmpty(); ++i)
            Visit(content, properties, children[i], name, depth + 1, budget);
    }
}

HRESULT ZuneDeviceSession::FindObjectOnDevice(const wchar_t* name)
{
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), kNoContent, kNullDevice);
    if (FAILED(hr))
        return hr;
    m_status.Clear();
    m_folderFound = false;
    com::ComPtr<IPortableDeviceProperties> properties;
    content->Properties(properties.Put());
    if (!properties)
        return E_FAIL;
    ULONG budget = kMaxVisitedObjects;
    Visit(content.Get(), properties.Get(), wpd::kDeviceObjectId, name ? name : L"", 0, &budget);
    return S_OK;
}

HRESULT ZuneDeviceSession::FindChildByName(const wchar_t* parentId, const wchar_t* name, bool foldersOnly)
{
    m_status.Clear();
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), kNoContent, kNullDevice);
    if (FAILED(hr) || !name || !*name || !parentId)
        return hr;
    com::ComPtr<IPortableDeviceProperties> properties;
    const HRESULT got = content->Properties(properties.Put());
    if (FAILED(got) || !properties) {
        m_lastError.Format(L"ERROR: Failed to get IPortableDeviceProperties from IPortableDeviceContent, hr = 0x%lx", got);
        return hr;
    }
    ChildIds children(content.Get(), parentId);
    if (FAILED(children.Result())) {
        m_lastError.Format(kNoEnumerator, children.Result());
        return hr;
    }
    while (m_status.IsEmpty() && children.Next()) {
        for (ULONG i = 0; i < children.Count() && m_status.IsEmpty(); ++i) {
            std::wstring childName;
            if (SUCCEEDED(ReadTextProperty(properties.Get(), children[i], wpd::OBJECT_ORIGINAL_FILE_NAME, &childName)) &&
                !childName.empty() && CString(childName.c_str()).CompareNoCase(name) == 0) {
                GUID type = GUID_NULL;
                if (foldersOnly &&
                    (FAILED(ReadGuidProperty(properties.Get(), children[i], wpd::OBJECT_CONTENT_TYPE, &type)) ||
                     !IsEqualGUID(type, wpd::CONTENT_TYPE_FOLDER)))
                    continue;
                m_status.Write(children[i]);
            }
        }
    }
    return hr;
}

HRESULT ZuneDeviceSession::ListChildren(const wchar_t* parentId, const TextBuffer& parentName, ULONG* numObjects,
                                        LPWSTR* objectIds, LPWSTR* objectNames, ULONG** attributes, ULONGLONG** sizes)
{
    // What a failure leaves says nothing was filled (or counted).
    const ULONG capacity = numObjects ? *numObjects : 0;
    if (numObjects)
        *numObjects = 0;
    if (!m_device) {
        m_lastError.Write(kNullDevice);
        return E_POINTER;
    }
    if (!parentId) {
        m_lastError.Write(kNullId);
        return E_POINTER;
    }
    if (!numObjects) {
        m_lastError.Write(L"ERROR: A NULL object count pointer was received.");
        return E_POINTER;
    }
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), kNoContent);
    if (FAILED(hr))
        return hr;
    com::ComPtr<IPortableDeviceProperties> properties;
    if (SUCCEEDED(content->Properties(properties.Put())) && properties) {
        std::wstring name;
        if (SUCCEEDED(ReadTextProperty(properties.Get(), parentId, wpd::OBJECT_ORIGINAL_FILE_NAME, &name)))
            parentName.Write(name.c_str());
    }
    ChildIds children(content.Get(), parentId);
    if (FAILED(children.Result())) {
        m_lastError.Format(kNoEnumerator, children.Result());
        return children.Result();
    }
    if (children.Result() != S_OK)
        return S_OK;
    if (!objectIds) {
        while (children.Next())
            *numObjects += children.Count();
        return S_OK;
    }
    ULONG* attributeList = attributes ? *attributes : nullptr;
    ULONGLONG* sizeList = sizes ? *sizes : nullptr;
    ULONG filled = 0;
    while (children.Next()) {
        for (ULONG i = 0; i < children.Count() && filled < capacity; ++i) {
            const wchar_t* id = children[i];
            if (!id || !*id || !properties)
                continue;
            bool system = false;
            if (SUCCEEDED(ReadBoolProperty(properties.Get(), id, wpd::OBJECT_ISSYSTEM, &system)) && system)
                continue;
            GUID type{};
            if (FAILED(ReadGuidProperty(properties.Get(), id, wpd::OBJECT_CONTENT_TYPE, &type)))
                continue;
            ULONG bits = 0;
            if (IsEqualGUID(type, wpd::CONTENT_TYPE_FOLDER)) {
                bits = ZUNE_ATTR_FOLDER;
            } else if (IsEqualGUID(type, wpd::CONTENT_TYPE_AUDIO)) {
                bits = ZUNE_ATTR_AUDIO;
                bool canDelete = true;
                if (FAILED(ReadBoolProperty(properties.Get(), id, wpd::OBJECT_CAN_DELETE, &canDelete)))
                    canDelete = true;
                if (canDelete)
                    bits |= ZUNE_ATTR_CAN_DELETE;
            } else {
                continue;
            }
            bool hidden = false;
            if (SUCCEEDED(ReadBoolProperty(properties.Get(), id, wpd::OBJECT_ISHIDDEN, &hidden)) && hidden)
                bits |= ZUNE_ATTR_HIDDEN;
            if (objectIds[filled])
                TextBuffer(objectIds[filled], kTextLength).Write(id);
            std::wstring name;
            if (objectNames && objectNames[filled] &&
                SUCCEEDED(ReadTextProperty(properties.Get(), id, wpd::OBJECT_ORIGINAL_FILE_NAME, &name)))
                TextBuffer(objectNames[filled], kTextLength).Write(name.c_str());
            if (attributeList)
                attributeList[filled] |= bits;
            if (sizeList) {
                ULONGLONG size = 0;
                sizeList[filled] = SUCCEEDED(ReadU64Property(properties.Get(), id, wpd::OBJECT_SIZE, &size)) ? size : 0;
            }
            ++filled;
        }
    }
    *numObjects = filled;
    return S_OK;
}

HRESULT ZuneDeviceSession::FindFileBelow(const wchar_t* folderId, const wchar_t* name)
{
    m_status.Clear();
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), kNoContent, kNullDevice);
    if (FAILED(hr) || !folderId || !*folderId || !name || !*name)
        return hr;
    com::ComPtr<IPortableDeviceProperties> properties;
    if (FAILED(content->Properties(properties.Put())) || !properties)
        return E_FAIL;
    VisitFiles(content.Get(), properties.Get(), folderId, name, 0);
    return S_OK;
}

void ZuneDeviceSession::VisitFiles(IPortableDeviceContent* content, IPortableDeviceProperties* properties,
                                   const wchar_t* folderId, const wchar_t* name, int depth)
{
    // Deeper than any folder our transfers make; a device that lists a loop ends here.
    if (depth > kMaxFolderDepth)
        return;
    ChildIds children(content, folderId);
    while (m_status.IsEmpty() && children.Next()) {
        for (ULONG i = 0; i < children.Count() && m_status.IsEmpty(); ++i) {
            const wchar_t* id = children[i];
            GUID type{};
            if (FAILED(ReadGuidProperty(properties, id, wpd::OBJECT_CONTENT_TYPE, &type)))
                continue;
            if (IsEqualGUID(type, wpd::CONTENT_TYPE_FOLDER)) {
                VisitFiles(content, properties, id, name, depth + 1);
                continue;
            }
            if (IsEqualGUID(type, wpd::CONTENT_TYPE_FUNCTIONAL_OBJECT))
                continue;
            std::wstring objectName;
            if (FAILED(ReadTextProperty(properties, id, wpd::OBJECT_ORIGINAL_FILE_NAME, &objectName)))
                objectName.clear();
            if ((!objectName.empty() && CString(objectName.c_str()).CompareNoCase(name) == 0) ||
                CString(id).CompareNoCase(name) == 0)
                m_status.Write(id);
        }
    }
}

bool ZuneDeviceSession::NamesDeviceOrStorage(IPortableDeviceContent* content, const wchar_t* id)
{
    if (CString(id).CompareNoCase(wpd::kDeviceObjectId) == 0)
        return true;
    ChildIds storages(content, wpd::kDeviceObjectId);
    while (storages.Next()) {
        for (ULONG i = 0; i < storages.Count(); ++i) {
            if (CString(storages[i]).CompareNoCase(id) == 0)
                return true;
        }
    }
    return false;
}

bool ZuneDeviceSession::IsListedByParent(IPortableDeviceContent* content, IPortableDeviceProperties* properties,
                                         const wchar_t* id)
{
    std::wstring parent;
    if (FAILED(ReadTextProperty(properties, id, wpd::OBJECT_PARENT_ID, &parent)) || parent.empty())
        return false;
    ChildIds children(content, parent.c_str());
    while (children.Next()) {
        for (ULONG i = 0; i < children.Count(); ++i) {
            if (children[i] && std::wcscmp(children[i], id) == 0)
                return true;
        }
    }
    return false;
}

bool ZuneDeviceSession::IsRootOrStorage(IPortableDeviceProperties* properties, const wchar_t* id)
{
    if (CString(id).CompareNoCase(wpd::kDeviceObjectId) == 0)
        return true;
    std::wstring parent;
    GUID type{};
    return (SUCCEEDED(ReadTextProperty(properties, id, wpd::OBJECT_PARENT_ID, &parent)) &&
            CString(parent.c_str()).CompareNoCase(wpd::kDeviceObjectId) == 0) ||
           (SUCCEEDED(ReadGuidProperty(properties, id, wpd::OBJECT_CONTENT_TYPE, &type)) &&
            IsEqualGUID(type, wpd::CONTENT_TYPE_FUNCTIONAL_OBJECT));
}

HRESULT ZuneDeviceSession::DeleteObject(const wchar_t* objectId, bool withChildren)
{
    com::ComPtr<IPortableDeviceContent> content;
    HRESULT hr = GetContent(content.Put(), kNoContent, L"ERROR: A NULL IPortableDevice interface pointer was received");
    if (SUCCEEDED(hr) && !objectId) {
        m_lastError.Write(kNullId);
        hr = E_POINTER;
    }
    if (FAILED(hr))
        return hr;
    // The device and its storages are never deleted, whatever name led here. A device may take
    // other spellings of an id for the same object ("s10001\\ ", "S10001"): only an id that the
    // object's parent lists, as it lists it, is deleted, so that the guard sees what the id
    // really names.
    com::ComPtr<IPortableDeviceProperties> properties;
    content->Properties(properties.Put());
    if (!properties || NamesDeviceOrStorage(content.Get(), objectId)) {
        m_lastError.Format(L"ERROR: The object '%s' is the device or one of its storages and is not deleted.",
                           objectId);
        return E_ACCESSDENIED;
    }
    if (!IsListedByParent(content.Get(), properties.Get(), objectId)) {
        m_lastError.Format(L"ERROR: The object '%s' failed to be deleted from the device.", objectId);
        return S_FALSE;
    }
    if (IsRootOrStorage(properties.Get(), objectId)) {
        m_lastError.Format(L"ERROR: The object '%s' is the device or one of its storages and is not deleted.",
                           objectId);
        return E_ACCESSDENIED;
    }
    com::ComPtr<IPortableDevicePropVariantCollection> ids;
    hr = CoCreateInstance(CLSID_PortableDevicePropVariantCollection, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IPortableDevicePropVariantCollection, ids.PutVoid());
    if (FAILED(hr)) {
        m_lastError.Format(L"ERROR: Failed to CoCreateInstance CLSID_PortableDevicePropVariantCollection, hr = 0x%lx", hr);
        return hr;
    }
    if (!ids) {
        m_lastError.Format(L"ERROR: Failed to delete an object from the device because we were returned a NULL "
                           L"IPortableDevicePropVariantCollection interface pointer, hr = 0x%lx",
                           hr);
        return E_FAIL;
    }
    // Adds a copy of an id; the collection copies it again.
    const auto add = [&](const wchar_t* id) -> HRESULT {
        PROPVARIANT value;
        PropVariantInit(&value);
        value.vt = VT_LPWSTR;
        const size_t bytes = (wcslen(id) + 1) * sizeof(wchar_t);
        value.pwszVal = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        if (!value.pwszVal) {
            m_lastError.Format(L"ERROR: Failed to delete an object from the device because we could no allocate "
                               L"memory for the object identifier string, hr = 0x%lx",
                               static_cast<HRESULT>(0x8007000E));
            return E_OUTOFMEMORY;
        }
        memcpy(value.pwszVal, id, bytes);
        const HRESULT added = ids->Add(&value);
        PropVariantClear(&value);
        if (FAILED(added))
            m_lastError.Format(L"ERROR: Failed to delete an object from the device because we could no add the "
                               L"object identifier string to the IPortableDevicePropVariantCollection, hr = 0x%lx",
                               added);
        return added;
    };
    if (withChildren) {
        ChildIds children(content.Get(), objectId);
        if (children.Result() == S_OK) {
            bool adding = true;
            while (adding && children.Next() && children.Count() > 0) {
                for (ULONG i = 0; i < children.Count() && adding; ++i)
                    adding = SUCCEEDED(add(children[i]));
            }
        }
    }
    hr = add(objectId);
    if (FAILED(hr))
        return hr;
    hr = content->Delete(wpd::DELETE_WITH_RECURSION, ids.Get(), nullptr);
    if (FAILED(hr))
        m_lastError.Format(L"ERROR: Failed to delete an object from the device, hr = 0x%lx", hr);
    else if (hr == S_FALSE)
        m_lastError.Format(L"ERROR: The object '%s' failed to be deleted from the device.", objectId);
    return hr;
}

HRESULT ZuneDeviceSession::GetStorageSize(ULONGLONG* capacity, ULONGLONG* freeSpace)
{
    com::ComPtr<IPortableDeviceProperties> properties;
    HRESULT hr = GetProperties(properties.Put());
    if (SUCCEEDED(hr) && (!capacity || !freeSpace))
        hr = E_POINTER;
    if (FAILED(hr))
        return hr;
    *capacity = 0;
    ULONGLONG value = 0;
    if (SUCCEEDED(ReadU64Property(properties.Get(), wpd::kStorageObjectId, wpd::STORAGE_CAPACITY, &value)))
        *capacity = value;
    *freeSpace = 0;
    hr = ReadU64Property(properties.Get(), wpd::kStorageObjectId, wpd::STORAGE_FREE_SPACE_IN_BYTES, &value);
    if (SUCCEEDED(hr))
        *freeSpace = value;
    return hr;
}
