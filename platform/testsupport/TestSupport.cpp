#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <ostream>
#include <shellapi.h>

namespace testsupport {

ScratchFolder::ScratchFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    for (;;) {
        CString candidate;
        candidate.Format(L"%svesperlin-test-%lu-%ld", temp, GetCurrentProcessId(), InterlockedIncrement(&counter));
        if (CreateDirectoryW(candidate, nullptr)) {
            m_path = candidate;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

ScratchFolder::~ScratchFolder()
{
    if (!m_path.IsEmpty())
        RemoveTree(m_path);
}

CString ScratchFolder::operator/(const wchar_t* name) const { return m_path + L"\\" + name; }

void RemoveTree(const CString& path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(path + L"\\*", &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            CString name(data.cFileName);
            if (name == L"." || name == L"..")
                continue;
            CString child = path + L"\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else {
                SetFileAttributesW(child, FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child);
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(path);
}

CString WindowsPath(const std::string& unixPath)
{
    CString path = L"Z:" + CString::FromNarrow(unixPath.c_str(), -1, CP_UTF8);
    path.Replace(L'/', L'\\');
    return path;
}

std::string UnixPath(const CString& windowsPath)
{
    // Wine maps drive Z: to the Unix root; other drives live in the prefix.
    typedef char*(CDECL * UnixFileName)(const wchar_t*);
    static auto toUnix = reinterpret_cast<UnixFileName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix) {
        char* unix = toUnix(windowsPath);
        if (unix) {
            std::string result(unix);
            HeapFree(GetProcessHeap(), 0, unix);
            return result;
        }
    }
    if (windowsPath.GetLength() > 2 && (windowsPath[0] == L'Z' || windowsPath[0] == L'z') && windowsPath[1] == L':') {
        CString rest = windowsPath.Mid(2);
        rest.Replace(L'\\', L'/');
        return rest.ToNarrow(CP_UTF8);
    }
    return std::string();
}

namespace {

// relative under the folder an environment variable of the test run names.
CString TreePath(const char* variable, const wchar_t* relative)
{
    const char* root = std::getenv(variable);
    CString path = WindowsPath(root ? root : ".");
    CString rel(relative);
    rel.Replace(L'/', L'\\');
    return path + L"\\" + rel;
}

}  // namespace

CString SourcePath(const wchar_t* relative) { return TreePath("VESPERLIN_SOURCE_DIR", relative); }

CString BinaryPath(const wchar_t* relative) { return TreePath("VESPERLIN_BINARY_DIR", relative); }

std::string ShellQuoted(const CString& windowsPath)
{
    std::string quoted = "'";
    for (char c : UnixPath(windowsPath))
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

BOOL StartProgram(const CString& commandLine, HANDLE* process)
{
    CString command = commandLine;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return FALSE;
    if (pi.hThread)
        CloseHandle(pi.hThread);
    if (process)
        *process = pi.hProcess;
    else if (pi.hProcess)
        CloseHandle(pi.hProcess);
    return TRUE;
}

int RunProgram(const CString& commandLine)
{
    HANDLE process = nullptr;
    if (!StartProgram(commandLine, &process) || !process)
        return -1;
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return static_cast<int>(code);
}

int RunHostCommand(const std::string& commandLine, std::string* output)
{
    // Wine does not wait for the Unix programs it starts, so the shell leaves the exit code
    // in a file once the command is done, and that file is awaited (two minutes at most).
    ScratchFolder folder;
    const CString out = folder / L"out";
    const CString pending = folder / L"code.pending";
    const CString done = folder / L"code";
    const std::string line = "(" + commandLine + ")" + (output ? " >" + ShellQuoted(out) : std::string()) +
                             "; echo $? >" + ShellQuoted(pending) + "; mv " + ShellQuoted(pending) + " " +
                             ShellQuoted(done);
    // Quoted as one argument by the Windows command-line rules: backslashes are literal
    // unless they come before a quote.
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : line) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    if (!StartProgram(L"/bin/sh -c " + CString::FromNarrow(quoted.c_str(), -1, CP_UTF8)))
        return -1;
    int code = -1;
    for (int waited = 0; waited < 120000; waited += 10) {
        if (GetFileAttributesW(done) != INVALID_FILE_ATTRIBUTES) {
            const std::vector<BYTE> bytes = ReadAll(done);
            code = std::atoi(std::string(bytes.begin(), bytes.end()).c_str());
            break;
        }
        Sleep(10);
    }
    if (output) {
        const std::vector<BYTE> bytes = ReadAll(out);
        output->assign(bytes.begin(), bytes.end());
    }
    return code;
}

LONGLONG FileSizeOf(const CString& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<BYTE> ReadAll(const CString& path)
{
    std::vector<BYTE> data;
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return data;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    data.resize(static_cast<size_t>(size.QuadPart));
    DWORD read = 0;
    if (!data.empty())
        ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &read, nullptr);
    data.resize(read);
    CloseHandle(h);
    return data;
}

std::string ReadAllBytes(const CString& path)
{
    const std::vector<BYTE> data = ReadAll(path);
    return std::string(data.begin(), data.end());
}

std::string Utf16LeBytes(const wchar_t* text)
{
    std::string bytes;
    for (const wchar_t* p = text; p && *p; ++p) {
        bytes += static_cast<char>(*p & 0xFF);
        bytes += static_cast<char>(*p >> 8);
    }
    return bytes;
}

int FileCount(const CString& folder)
{
    int count = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder + L"\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return 0;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            ++count;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return count;
}

namespace {
void CollectFiles(const CString& folder, const CString& prefix, std::vector<CString>* files)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(folder + L"\\*", &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const CString name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CollectFiles(folder + L"\\" + name, prefix + name + L"\\", files);
        else
            files->push_back(prefix + name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
}
}  // namespace

std::vector<CString> FilesBelow(const CString& folder)
{
    std::vector<CString> files;
    CollectFiles(folder, CString(), &files);
    std::sort(files.begin(), files.end(), [](const CString& a, const CString& b) { return a.CompareNoCase(b) < 0; });
    return files;
}

std::vector<CString> TempFilesEndingIn(const std::vector<CString>& extensions)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    CString folder = temp;
    folder.TrimRight(L'\\');
    std::vector<CString> found;
    for (const CString& file : FilesBelow(folder)) {
        for (const CString& ext : extensions) {
            if (file.Right(ext.GetLength()).CompareNoCase(ext) == 0) {
                found.push_back(file);
                break;
            }
        }
    }
    return found;
}

void WriteAll(const CString& path, const void* data, size_t size)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path.ToNarrow();
    DWORD written = 0;
    if (size)
        WriteFile(h, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(h);
}

void WriteAll(const CString& path, const std::string& text) { WriteAll(path, text.data(), text.size()); }

MessageBoxRecorder::MessageBoxRecorder(int answer) : MessageBoxRecorder(std::vector<int>{answer}) {}

MessageBoxRecorder::MessageBoxRecorder(std::vector<int> script) : m_script(std::move(script))
{
    if (m_script.empty())
        m_script.push_back(IDOK);
    m_previous = AfxSetMessageBoxHandler([this](const AfxMessageBoxRequest& request) {
        m_boxes.push_back(request);
        const int answer = m_script[m_next < m_script.size() ? m_next : m_script.size() - 1];
        ++m_next;
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder() { AfxSetMessageBoxHandler(m_previous); }

}  // namespace testsupport

void PrintTo(const CString& s, std::ostream* os) { *os << '"' << s.ToNarrow(CP_UTF8) << '"'; }
