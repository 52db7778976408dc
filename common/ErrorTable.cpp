#include "ErrorTable.h"

namespace {

struct ErrorEntry {
    const wchar_t* key;
    const wchar_t* message;
};

// General COM, structured-storage and Win32 codes, in the order they are added.
const ErrorEntry kGeneralErrors[] = {
    {L"0x80000001", L"Not implemented."},
    {L"0x80000002", L"Ran out of memory."},
    {L"0x80000003", L"One or more arguments are invalid."},
    {L"0x80000004", L"No such interface supported."},
    {L"0x80000005", L"Invalid pointer."},
    {L"0x80000006", L"Invalid handle."},
    {L"0x80000007", L"Operation aborted."},
    {L"0x80000008", L"An unexpected error occurred."},
    {L"0x80000009", L"General access denied error."},
    {L"0x8000000A", L"The data necessary to complete this operation is not yet available."},
    {L"0x80004001", L"Not implemented."},
    {L"0x80004002", L"No such interface supported."},
    {L"0x80004003", L"Invalid pointer."},
    {L"0x80004004", L"Operation aborted."},
    {L"0x80004005", L"An unexpected error occurred."},
    {L"0x80004006", L"Thread local storage failure."},
    {L"0x80004007", L"Get shared memory allocator failure."},
    {L"0x80004008", L"Get memory allocator failure."},
    {L"0x8000400B", L"Cannot set thread local storage channel control."},
    {L"0x8000400C", L"Could not allocate thread local storage channel\tcontrol."},
    {L"0x8000400D", L"The user supplied memory allocator is unacceptable."},
    {L"0x80004012", L"The component services are not available on this system."},
    {L"0x80004013", L"The object cannot be created on a remote computer."},
    {L"0x80004014", L"The server name is not valid."},
    {L"0x80004015", L"The server is not running under the expected identity."},
    {L"0x80004020", L"The object server's run-as settings are not valid."},
    {L"0x80004021", L"The server process could not be started."},
    {L"0x80028CA0", L"Type mismatch."},
    {L"0x80028CA1", L"Out of bounds."},
    {L"0x80028CA2", L"I/O error."},
    {L"0x80030005", L"Access denied."},
    {L"0x80030006", L"Attempted an operation on an invalid object."},
    {L"0x80030008", L"There is insufficient memory available to complete operation."},
    {L"0x80030009", L"Invalid pointer error."},
    {L"0x80030057", L"Invalid parameter error."},
    {L"0x80030070", L"There is insufficient disk space to complete operation."},
    {L"0x800300FD", L"An unexpected error occurred."},
    {L"0x800300FE", L"That function is not implemented."},
    {L"0x800300FF", L"Invalid flag error."},
    {L"0x80030100", L"Attempted to use an object that is busy."},
    {L"0x80030101", L"The storage has been changed since the last commit."},
    {L"0x80030102", L"Attempted to use an object that has ceased to exist."},
    {L"0x8004000F", L"Invalid window handle."},
    {L"0x80040102", L"Invalid window handle."},
    {L"0x80040150", L"Could not read key from registry."},
    {L"0x80040151", L"Could not write key to registry."},
    {L"0x80040152", L"Could not find the key in the registry."},
    {L"0x80040153", L"Invalid value for registry."},
    {L"0x80040154", L"Class not registered."},
    {L"0x80040155", L"Interface not registered."},
    {L"0x80040170", L"Cache not updated."},
    {L"0x800401F3", L"Invalid class string."},
    {L"0x800401F4", L"Invalid interface string."},
    {L"0x800401F5", L"Application not found."},
    {L"0x800401F6", L"Application cannot be run more than once."},
    {L"0x80070001", L"Incorrect function."},
    {L"0x80070002", L"The system cannot find the file specified."},
    {L"0x80070003", L"The system cannot find the path specified."},
    {L"0x80070004", L"The system cannot open the file."},
    {L"0x80070005", L"Access is denied."},
    {L"0x80070006", L"The handle is invalid."},
    {L"0x80070007", L"The storage control blocks were destroyed."},
    {L"0x80070008", L"Not enough storage is available to process this command."},
    {L"0x80070009", L"The storage control block address is invalid."},
    {L"0x8007000D", L"The data is invalid."},
    {L"0x8007000E", L"Not enough storage is available to complete this operation."},
    {L"0x8007001D", L"The system cannot write to the specified device."},
    {L"0x8007001E", L"The system cannot read from the specified device."},
    {L"0x8007001F", L"A device attached to the system is not functioning."},
    {L"0x80070020", L"The process cannot access the file because it is being used by another process."},
    {L"0x80070021", L"The process cannot access the file because another process has locked a portion of the file."},
    {L"0x80070024", L"Too many files opened for sharing."},
    {L"0x80070027", L"The disk is full."},
    {L"0x80070056", L"The specified network password is not correct."},
    {L"0x80070057", L"One or more arguments are invalid."},
};

// Codes of the device manager and of the iTunes automation interface.
const ErrorEntry kDeviceErrors[] = {
    {L"0x80045000", L"The device is busy and cannot satisfy the new request."},
    {L"0x80045001", L"The object is no longer usable because its device or storage has gone away."},
    {L"0x80045002", L"The operation is not valid for this type of object."},
    {L"0x80045003", L"The device could not process the request."},
    {L"0x80045004", L"The operation or property is not supported by the device."},
    {L"0x80045007", L"Operations were called in the wrong order. (For example, calling Read without Open.)"},
    {L"0x80045008", L"The application is not certified to use the device."},
    {L"0x80045009", L"No license exists for the content."},
    {L"0x8004500B", L"The user cancelled the operation."},
    {L"0x80045013", L"The device does not hold the rights needed for the content."},
    {L"0xA0040201", L"The user cancelled the operation."},
    {L"0xA0040202", L"The object has been deleted."},
    {L"0xA0040203", L"The object is locked and cannot be modified."},
    {L"0xA0040204", L"Attempt to start a conversion while a previous conversion is still in progress."},
    {L"0xA0040205", L"Access to the iTunes Store is disabled in the preferences."},
    {L"0xA0040206", L"Access to shared libraries is disabled in the preferences."},
    {L"0xA0040207", L"Access to podcasts is disabled in the preferences."},
};

template <size_t N>
void Fill(CMapStringToString& map, const ErrorEntry (&entries)[N])
{
    map.InitHashTable(17);
    for (const ErrorEntry& entry : entries)
        map.SetAt(entry.key, entry.message);
}

}  // namespace

CErrorTable::CErrorTable() : m_general(10), m_device(10)
{
    Fill(m_general, kGeneralErrors);
    Fill(m_device, kDeviceErrors);
}

CErrorTable::~CErrorTable()
{
    m_general.RemoveAll();
    m_device.RemoveAll();
}

CString CErrorTable::FormatErrorText(HRESULT code) const
{
    CString key;
    key.Format(L"0x%.8X", static_cast<unsigned>(code));
    CString message;
    CString text;
    if (m_device.Lookup(key, message) || m_general.Lookup(key, message))
        text.Format(L"Error %s: %s", key.GetString(), message.GetString());
    else
        text.Format(L"Error %s", key.GetString());
    return text;
}
