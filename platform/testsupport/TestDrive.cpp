#include "TestDrive.h"

#include "TestSupport.h"

#include <winioctl.h>

#include <cstring>
#include <vector>

namespace testsupport {

namespace {

// What the mount manager of the prefix takes to define or remove a drive: the record, then the
// Unix path of the folder (none removes the drive). The kind is a DRIVE_* value.
struct DriveDefinition {
    ULONG size;
    ULONG kind;
    ULONG fileSystem;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kDefineDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

bool DefineDrive(wchar_t letter, UINT kind, const std::string& unixPath)
{
    std::vector<char> buffer(sizeof(DriveDefinition) + unixPath.size() + 1, 0);
    DriveDefinition definition{};
    definition.size = static_cast<ULONG>(unixPath.empty() ? sizeof(DriveDefinition) : buffer.size());
    definition.kind = kind;
    definition.letter = static_cast<WCHAR>(towlower(letter));
    definition.mountPointOffset = static_cast<USHORT>(unixPath.empty() ? 0 : sizeof(DriveDefinition));
    std::memcpy(buffer.data(), &definition, sizeof(definition));
    std::memcpy(buffer.data() + sizeof(definition), unixPath.c_str(), unixPath.size());
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, kDefineDrive, buffer.data(), definition.size, nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

void SetDriveKindValue(wchar_t letter, const wchar_t* kind)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Wine\\Drives", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    const wchar_t name[] = {static_cast<wchar_t>(towlower(letter)), L':', 0};
    if (kind)
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(kind),
                       static_cast<DWORD>((wcslen(kind) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, name);
    RegCloseKey(key);
}

}  // namespace

TestDrive::TestDrive(const CString& folder, DriveKind kind, wchar_t preferred)
{
    const std::string unixPath = UnixPath(folder);
    if (unixPath.empty())
        return;
    // Tests of other programs run beside this one in the same prefix: one picks a letter at a time.
    HANDLE lock = CreateMutexW(nullptr, FALSE, L"VesperlinTestDriveLetters");
    WaitForSingleObject(lock, 10000);
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = preferred ? static_cast<wchar_t>(towupper(preferred)) : L'M'; letter <= L'Y'; ++letter) {
        if (used & (1u << (letter - L'A')))
            continue;
        if (DefineDrive(letter, kind == DriveKind::CdRom ? DRIVE_CDROM : DRIVE_REMOVABLE, unixPath)) {
            m_letter = letter;
            SetDriveKindValue(letter, kind == DriveKind::CdRom ? L"cdrom" : L"floppy");
        }
        break;
    }
    ReleaseMutex(lock);
    CloseHandle(lock);
}

TestDrive::~TestDrive()
{
    if (!m_letter)
        return;
    DefineDrive(m_letter, DRIVE_NO_ROOT_DIR, std::string());
    SetDriveKindValue(m_letter, nullptr);
}

CString TestDrive::Root() const
{
    if (!m_letter)
        return CString();
    const wchar_t root[] = {m_letter, L':', L'\\', 0};
    return root;
}

CString TestDrive::DeviceName() const
{
    if (!m_letter)
        return CString();
    const wchar_t drive[] = {m_letter, L':', 0};
    wchar_t target[MAX_PATH] = {};
    if (!QueryDosDeviceW(drive, target, MAX_PATH))
        return CString();
    const CString text = target;
    return text.Mid(text.ReverseFind(L'\\') + 1);
}

}  // namespace testsupport
