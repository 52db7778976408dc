#include "FixtureFiles.h"

#include "CString.h"

#include <algorithm>
#include <cwchar>
#include <map>
#include <mutex>

namespace standin {

FixtureFile::FixtureFile(const wchar_t* environmentVariable)
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(environmentVariable, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    bool folder = false;
    if (!PathExists(path, &folder) || folder)
        return;
    m_path = path;
    m_folder = m_path.substr(0, m_path.rfind(L'\\') + 1);
}

bool FixtureFile::Has(const std::wstring& section, const wchar_t* key) const
{
    const wchar_t absent[] = L"\x01";
    return Exists() && Text(section, key, absent) != absent;
}

std::wstring FixtureFile::Text(const std::wstring& section, const wchar_t* key, const wchar_t* fallback) const
{
    if (!Exists())
        return fallback;
    wchar_t buffer[2048];
    GetPrivateProfileStringW(section.c_str(), key, fallback, buffer, 2048, m_path.c_str());
    return buffer;
}

ULONGLONG FixtureFile::Number(const std::wstring& section, const wchar_t* key, ULONGLONG fallback) const
{
    const std::wstring text = Text(section, key, L"");
    return text.empty() ? fallback : std::wcstoull(text.c_str(), nullptr, 0);
}

std::wstring FixtureFile::Folder(const std::wstring& section, const wchar_t* key, const wchar_t* fallback) const
{
    std::wstring folder = Text(section, key, fallback);
    if (!IsAbsolutePath(folder))
        folder = m_folder + folder;
    while (folder.size() > 3 && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

std::wstring FixtureFile::Beside(const std::wstring& name) const
{
    return m_folder + name;
}

HRESULT InjectedFailure(const std::wstring& fixture, const std::wstring& section, const std::wstring& call)
{
    wchar_t line[256];
    GetPrivateProfileStringW(section.c_str(), (L"Fail." + call).c_str(), L"", line, 256, fixture.c_str());
    if (!line[0])
        return S_OK;
    wchar_t* end = nullptr;
    const HRESULT code = static_cast<HRESULT>(std::wcstoul(line, &end, 0));
    static std::mutex lock;
    static std::map<std::wstring, unsigned> answered;
    std::lock_guard<std::mutex> hold(lock);
    unsigned& count = answered[fixture + L"|" + section + L"|" + call];
    if (end && *end == L'*' && count >= std::wcstoul(end + 1, nullptr, 0))
        return S_OK;
    ++count;
    return code;
}

std::vector<std::wstring> FixtureFile::Sections(const wchar_t* list, const wchar_t* prefix, unsigned limit) const
{
    std::vector<std::wstring> sections;
    const ULONGLONG count = std::min<ULONGLONG>(Number(list, L"Count", 0), limit);
    for (ULONGLONG i = 1; i <= count; ++i)
        sections.push_back(prefix + std::to_wstring(i));
    return sections;
}

HRESULT FixtureFile::Listing(const wchar_t* list, const wchar_t* call, const wchar_t* prefix, unsigned limit,
                             std::vector<std::wstring>* sections) const
{
    sections->clear();
    if (!Exists())
        return S_OK;
    const HRESULT hr = InjectedFailure(m_path, list, call);
    if (SUCCEEDED(hr))
        *sections = Sections(list, prefix, limit);
    return hr;
}

bool IsAbsolutePath(const std::wstring& path)
{
    return (path.size() > 1 && path[1] == L':') || (!path.empty() && path[0] == L'\\');
}

bool PathExists(const std::wstring& path, bool* folder)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    if (folder)
        *folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

bool IsPlainName(const std::wstring& name)
{
    return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos;
}

std::string ReadFileBytes(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0 && bytes.size() < (16u << 20))
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        if (!lines.back().empty() && lines.back().back() == '\r')
            lines.back().pop_back();
        start = end + 1;
    }
    return lines;
}

std::vector<std::pair<std::string, std::wstring>> ReadPropertyFile(const std::wstring& path)
{
    std::vector<std::pair<std::string, std::wstring>> lines;
    for (const std::string& line : SplitLines(ReadFileBytes(path))) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || line[0] == ';' || line[0] == '#')
            continue;
        const std::string value = line.substr(equals + 1);
        lines.emplace_back(line.substr(0, equals),
                           CString::FromNarrow(value.data(), static_cast<int>(value.size()), CP_UTF8).str());
    }
    return lines;
}

bool WritePropertyFile(const std::wstring& path, const std::vector<std::pair<std::string, std::wstring>>& lines)
{
    std::string text;
    for (const auto& [name, value] : lines) {
        std::wstring oneLine = value;
        std::replace(oneLine.begin(), oneLine.end(), L'\r', L' ');
        std::replace(oneLine.begin(), oneLine.end(), L'\n', L' ');
        text += name + "=" + CString(oneLine.c_str()).ToNarrow(CP_UTF8) + "\r\n";
    }
    return WriteFileBytes(path, text.data(), text.size());
}

bool WriteFileBytes(const std::wstring& path, const void* data, size_t size)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
    return ok && written == size;
}

void SetProperty(std::vector<std::pair<std::string, std::wstring>>& lines, const std::string& name,
                 const std::wstring& value)
{
    for (auto& line : lines) {
        if (line.first == name) {
            line.second = value;
            return;
        }
    }
    lines.emplace_back(name, value);
}

void AppendLine(const std::wstring& path, const std::wstring& line)
{
    const std::string text = CString((line + L"\r\n").c_str()).ToNarrow(CP_UTF8);
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace standin
