#include "ProgramTestSupport.h"

#include "FileUtils.h"
#include "TestSupport.h"

#include <cwctype>

namespace programtest {

namespace {

const wchar_t* const kTestGameUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VesperlinTestGame";

std::wstring Lower(std::wstring text)
{
    for (wchar_t& ch : text)
        ch = static_cast<wchar_t>(towlower(ch));
    return text;
}

std::wstring TrimSet(const std::wstring& text, const wchar_t* set)
{
    const size_t first = text.find_first_not_of(set);
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(set) - first + 1);
}

bool StartsNoCase(const std::wstring& text, const wchar_t* word)
{
    return _wcsnicmp(text.c_str(), word, wcslen(word)) == 0;
}

bool EndsNoCase(const std::wstring& text, const wchar_t* ending)
{
    const size_t n = wcslen(ending);
    return text.size() >= n && _wcsicmp(text.c_str() + text.size() - n, ending) == 0;
}

}  // namespace

CString StubProgram()
{
    return GetProgramFolder() + L"\\console_program_stub.exe";
}

std::optional<std::string> WaitForFile(const CString& path)
{
    for (int i = 0; i < 400; ++i) {
        if (FileExists(path))
            return testsupport::ReadAllBytes(path);
        Sleep(50);
    }
    return std::nullopt;
}

std::string Utf8(const CString& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}

bool TestGameRegistered()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTestGameUninstallKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

void RemoveTestGameEntry()
{
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kTestGameUninstallKey, KEY_WOW64_32KEY, 0);
}

WizardOptions ParseAsWizard(std::wstring text, bool cdWizard, const std::wstring& programPath)
{
    WizardOptions options;
    options.verbose = !cdWizard && text.find(L"-Verbose") != std::wstring::npos;
    text = TrimSet(text, L" \"");
    if (!programPath.empty() && text.find(programPath) != std::wstring::npos)
        text = TrimSet(text.substr(programPath.size()), L" \"");
    std::wstring lower = Lower(text);
    const size_t wax = lower.find(L".wax");
    if (wax != std::wstring::npos) {
        const size_t end = wax + 4;
        const size_t quote = lower.rfind(L'"', end - 1);
        if (quote != std::wstring::npos) {
            options.path = text.substr(quote + 1, end - quote - 1);
            text.erase(quote + 1, end - quote - 1);
        }
    }
    const wchar_t* const valueTrim = L":=\" ";
    size_t start = 0;
    while (start <= text.size()) {
        size_t dash = text.find(L'-', start);
        if (dash == std::wstring::npos)
            dash = text.size();
        const std::wstring piece = TrimSet(text.substr(start, dash - start), L" \"");
        start = dash + 1;
        if (piece.empty())
            continue;
        if (StartsNoCase(piece, L"SourceId"))
            options.sourceId = TrimSet(piece.substr(8), valueTrim);
        else if (StartsNoCase(piece, L"Type"))
            options.type = TrimSet(piece.substr(4), valueTrim);
        else if (!cdWizard && (StartsNoCase(piece, L"MobileMinVersion") || StartsNoCase(piece, L"MobileCurVersion")))
            continue;
        else if (options.path.empty()) {
            const std::wstring candidate = StartsNoCase(piece, L"Path") ? TrimSet(piece.substr(4), valueTrim) : piece;
            if (EndsNoCase(candidate, L".vpm") || EndsNoCase(candidate, L".wax"))
                options.path = candidate;
        }
    }
    return options;
}

}  // namespace programtest
