#include "SavingFiles.h"

#include <atomic>
#include <cwchar>
#include <mutex>
#include <utility>
#include <vector>

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

// Every saving file has a writer's mark: a named mutex that its writer's process holds from
// before the file is made until the file is gone (moved over its target or deleted), and
// that the system closes when that process ends, however it ends. A file whose mark no
// process holds was left by a writer that is gone. The name comes from the file's name
// alone, in upper case, so that whoever finds the file names the same mark whatever way
// they reached its folder.
std::wstring WriterMarkName(const std::wstring& fileName)
{
    std::wstring upper(fileName);
    if (!upper.empty())
        CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    unsigned long long hash = 0xcbf29ce484222325ull;
    for (wchar_t c : upper) {
        hash ^= static_cast<unsigned long long>(c);
        hash *= 0x100000001b3ull;
    }
    wchar_t name[64];
    std::swprintf(name, sizeof(name) / sizeof(name[0]), L"Vesperlin.SavingFile.%016llx.%u", hash,
                  static_cast<unsigned>(upper.size()));
    return name;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// Whether a live writer (in this process or another) holds the mark of the file. Anything
// but a clear "no such mark" counts as held: a file is never taken from a writer in doubt.
bool WriterIsAlive(const std::wstring& fileName)
{
    HANDLE mark = OpenMutexW(SYNCHRONIZE, FALSE, WriterMarkName(fileName).c_str());
    if (mark) {
        CloseHandle(mark);
        return true;
    }
    return GetLastError() != ERROR_FILE_NOT_FOUND;
}

// The marks this process holds, with the files they mark. A mark whose file is gone (its
// save ended) is let go at the next save.
struct HeldMarks {
    std::mutex lock;
    std::vector<std::pair<std::wstring, HANDLE>> marks;

    void Add(const std::wstring& path, HANDLE mark)
    {
        std::lock_guard<std::mutex> hold(lock);
        marks.emplace_back(path, mark);
    }
    void ReleaseEnded()
    {
        std::lock_guard<std::mutex> hold(lock);
        for (size_t i = 0; i < marks.size();) {
            const bool gone = GetFileAttributesW(marks[i].first.c_str()) == INVALID_FILE_ATTRIBUTES &&
                              (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
            if (gone) {
                CloseHandle(marks[i].second);
                marks.erase(marks.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
};

HeldMarks& Marks()
{
    static HeldMarks* marks = new HeldMarks;  // lives as long as the process: the marks do
    return *marks;
}

// Whether a name (without folder) has the form of a saving file of some target.
bool HasSavingForm(const std::wstring& name)
{
    const size_t suffix = std::wcslen(kSavingSuffix);
    if (name.size() < 1 + 1 + kSavingDigits + suffix || !SameNoCase(name.substr(name.size() - suffix), kSavingSuffix))
        return false;
    const size_t dot = name.size() - suffix - kSavingDigits - 1;
    return name[dot] == L'.' && IsSavingFileOf(name, name.substr(0, dot));
}

// Deletes the files in the folder (with its final separator, or empty) that match the
// pattern and the test, unless (checkWriter) their writer lives; returns how many went.
template <class Test>
int RemoveSavingFiles(const std::wstring& folder, const std::wstring& pattern, bool checkWriter, Test isLeftover)
{
    int removed = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        // A file still open for a save elsewhere cannot be deleted and stays.
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && isLeftover(std::wstring(data.cFileName)) &&
            !(checkWriter && WriterIsAlive(data.cFileName)) && DeleteFileW((folder + data.cFileName).c_str()))
            ++removed;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return removed;
}

std::wstring FolderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}
}  // namespace

std::wstring NewSavingFileBeside(const wchar_t* target)
{
    // Each save clears its folder of what killed saves of any file there left.
    Marks().ReleaseEnded();
    RemoveDeadSavingLeftoversIn(FolderOf(target).c_str());
    static std::atomic<unsigned> next{GetTickCount() ^ (GetCurrentProcessId() << 16)};
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t digits[16];
        std::swprintf(digits, sizeof(digits) / sizeof(digits[0]), L".%08x", next.fetch_add(0x9E3779B1u));
        const std::wstring name = std::wstring(target) + digits + kSavingSuffix;
        // The mark first: the file never exists without it. A mark that exists already is
        // another writer's file of this name.
        SetLastError(ERROR_SUCCESS);
        HANDLE mark = CreateMutexW(nullptr, FALSE, WriterMarkName(FileNameOf(name)).c_str());
        if (!mark)
            return std::wstring();
        if (GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(mark);
            continue;
        }
        HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            Marks().Add(name, mark);
            return name;
        }
        const DWORD error = GetLastError();
        CloseHandle(mark);
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            SetLastError(error);
            return std::wstring();
        }
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
    const std::wstring targetName = FileNameOf(path);
    // The caller is the target's one saver: no other writer can be saving it.
    return RemoveSavingFiles(FolderOf(path), targetName + L".*" + kSavingSuffix, false,
                             [&](const std::wstring& name) { return IsSavingFileOf(name, targetName); });
}

int RemoveDeadSavingLeftoversIn(const wchar_t* folder)
{
    std::wstring base(folder ? folder : L"");
    if (!base.empty() && base.back() != L'\\' && base.back() != L'/')
        base += L'\\';
    return RemoveSavingFiles(base, std::wstring(L"*") + kSavingSuffix, true, HasSavingForm);
}

}  // namespace savefiles
