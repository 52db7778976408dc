#include "ProgramTestSupport.h"

#include "WizardCommandLine.h"

#include "FileUtils.h"
#include "TestSupport.h"

#include <cwctype>

namespace programtest {

namespace {

const wchar_t* const kTestGameUninstallKey = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VesperlinTestGame";

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
    // The wizards' own reader, with each wizard's rules.
    static const WizardCommandLineRules deviceRules{L"zkytransfer://", L"MP3 Audiobook", L"Vesperlin", true};
    static const WizardCommandLineRules cdRules{L"zkycdburn://", L"MP3 Audiobook", L"Vesperlin", false};
    WizardCommandLine read;
    ParseWizardCommandLine(CString(text.c_str()), CString(programPath.c_str()), cdWizard ? cdRules : deviceRules, read);
    WizardOptions options;
    options.verbose = !cdWizard && HasVerboseSwitch(CString(text.c_str()));
    options.path = read.path.GetString();
    options.sourceId = read.sourceId.GetString();
    options.type = read.contentType.GetString();
    return options;
}

}  // namespace programtest
