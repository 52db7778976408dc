#include "SavingFiles.h"

#include <atomic>
#include <cwchar>

namespace savefiles {
namespace {
constexpr wchar_t kSavingSuffix[] = L".saving";
constexpr size_t kSavingDigits = 8;

bool AsciiHex(wchar_t c) { return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'); }

bool SameNoCase(const std::wstring& a, const std::wstring& b)
{
    return a.size() == b.size() &&
           CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}
}  // namespace

std::wstring NewSavingFileBeside(const wchar_t* target)
{
    static std::atomic<unsigned> next{GetTickCount() ^ (GetCurrentProcessId() << 16)};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t digits[16];
        std::swprintf(digits, sizeof(digits) / sizeof(digits[0]), L".%08x", next.fetch_add(0x9E3779B1u));
        const std::wstring name = std::wstring(target) + digits + kSavingSuffix;
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return name;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            return std::wstring();
    }
    SetLastError(ERROR_FILE_EXISTS);
    return std::wstring();
}

bool IsSavingFileOf(const std::wstring& name, const std::wstring& targetName)
{
    const size_t prefix = targetName.size() + 1;
    const size_t suffix = std::wcslen(kSavingSuffix);
    if (name.size() != prefix + kSavingDigits + suffix || name[prefix - 1] != L'.' ||
        !SameNoCase(name.substr(0, prefix - 1), targetName) || !SameNoCase(name.substr(name.size() - suffix), kSavingSuffix))
        return false;
    // Saves write ASCII hex digits only: a name with other digits (full-width ones, say) is
    // someone else's file.
    for (size_t i = prefix; i < prefix + kSavingDigits; ++i)
        if (!AsciiHex(name[i]))
            return false;
    return true;
}

int RemoveSavingLeftovers(const wchar_t* target)
{
    const std::wstring path(target);
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    const std::wstring targetName = slash == std::wstring::npos ? path : path.substr(slash + 1);
    int removed = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + L".*" + kSavingSuffix).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        // A file still open for a save elsewhere cannot be deleted and stays.
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && IsSavingFileOf(data.cFileName, targetName) &&
            DeleteFileW((folder + data.cFileName).c_str()))
            ++removed;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return removed;
}

}  // namespace savefiles
