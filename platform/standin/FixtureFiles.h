// What every hardware stand-in shares: its fixture file (an INI file named by an environment
// variable), the folders it names, the property files beside a stand-in's objects and the
// event log a test reads back.
//
//     standin::FixtureFile fixture(L"VESPERLIN_WMDM_DEVICES");
//     if (!fixture.Exists()) return;                        // no fixture: no device
//     const unsigned count = fixture.Number(L"Devices", L"Count", 0);
//     const std::wstring folder = fixture.Folder(L"Device1", L"Folder", L"player1");
//     standin::AppendLine(fixture.Beside(L"Device1.events.log"), L"Insert3 Part01.mp3");
//     if (FAILED(hr = standin::InjectedFailure(fixture.Path(), L"Device1", L"Insert3"))) return hr;
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace standin {

class FixtureFile {
public:
    // The file the environment variable names (none when it is unset or the file is missing).
    explicit FixtureFile(const wchar_t* environmentVariable);
    bool Exists() const { return !m_path.empty(); }
    const std::wstring& Path() const { return m_path; }

    bool Has(const std::wstring& section, const wchar_t* key) const;
    std::wstring Text(const std::wstring& section, const wchar_t* key, const wchar_t* fallback = L"") const;
    // Decimal or 0x hexadecimal.
    ULONGLONG Number(const std::wstring& section, const wchar_t* key, ULONGLONG fallback) const;
    // A folder or file the fixture names: absolute, or beside the fixture; no trailing backslash.
    std::wstring Folder(const std::wstring& section, const wchar_t* key, const wchar_t* fallback) const;
    // A path beside the fixture file.
    std::wstring Beside(const std::wstring& name) const;
    // The sections "<prefix>1" to "<prefix>N" that "Count=N" in the section list names, at most limit.
    std::vector<std::wstring> Sections(const wchar_t* list, const wchar_t* prefix, unsigned limit) const;
    // The same, or the failure a line "Fail.<call>" of the list injects (see InjectedFailure).
    HRESULT Listing(const wchar_t* list, const wchar_t* call, const wchar_t* prefix, unsigned limit,
                    std::vector<std::wstring>* sections) const;

private:
    std::wstring m_path;
    std::wstring m_folder;  // with a trailing backslash
};

// S_OK, or the failure a fixture line "Fail.<call>=<code>[*<times>]" of the section injects
// into this call: the code so many times (counted for the life of the process, per fixture,
// section and call), then S_OK; without "*<times>" every time.
HRESULT InjectedFailure(const std::wstring& fixture, const std::wstring& section, const std::wstring& call);

// Absolute: a drive path or one from the root.
bool IsAbsolutePath(const std::wstring& path);
// The path names an existing file or folder.
bool PathExists(const std::wstring& path, bool* folder = nullptr);
// A name that may be stored in a folder: not empty, no path characters, not "." or "..".
bool IsPlainName(const std::wstring& name);

// A file's bytes (empty when it cannot be read; at most 16 MiB).
std::string ReadFileBytes(const std::wstring& path);
// The lines of a text (LF or CR LF line ends; the line ends left out).
std::vector<std::string> SplitLines(const std::string& text);
// Writes a file with these bytes, replacing it; false when that fails.
bool WriteFileBytes(const std::wstring& path, const void* data, size_t size);
// The lines "name=value" of a UTF-8 property file, in order (comments and other lines left out).
std::vector<std::pair<std::string, std::wstring>> ReadPropertyFile(const std::wstring& path);
// Writes the lines as a UTF-8 property file (line breaks in values become blanks).
bool WritePropertyFile(const std::wstring& path, const std::vector<std::pair<std::string, std::wstring>>& lines);
// Sets or adds one line of a property file (a value set to itself is written anyway).
void SetProperty(std::vector<std::pair<std::string, std::wstring>>& lines, const std::string& name,
                 const std::wstring& value);

// Appends one UTF-8 line (CR LF added) to a log file, creating it.
void AppendLine(const std::wstring& path, const std::wstring& line);

}  // namespace standin
