// Helpers for the test programs.
#pragma once

#include "afx.h"

#include <string>
#include <vector>

namespace testsupport {

// A fresh folder under the Windows temporary folder, removed with its contents at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const CString& Path() const { return m_path; }
    // path\name
    CString operator/(const wchar_t* name) const;

private:
    CString m_path;
};

// Deletes a folder tree.
void RemoveTree(const CString& path);

// A Windows path for a file of the source tree ("common/tests/data/x.vpm").
CString SourcePath(const wchar_t* relative);
// A Windows path for a file of the build tree of these tests ("Brenvale/Larkmoor.chm").
CString BinaryPath(const wchar_t* relative);
// The Unix path a Windows path stands for under Wine ("Z:\\a\\b" -> "/a/b"); empty when unknown.
std::string UnixPath(const CString& windowsPath);
// The Windows path of a Unix path ("/a/b" -> "Z:\\a\\b").
CString WindowsPath(const std::string& unixPath);

// A Windows path as a single-quoted Unix shell word.
std::string ShellQuoted(const CString& windowsPath);
// Starts a program (a command line with its quoted path); FALSE when it cannot be started.
// With process given, it receives the process handle for the caller to close (null for a
// Unix program, which Wine starts without one).
BOOL StartProgram(const CString& commandLine, HANDLE* process = nullptr);
// Starts a Windows program and waits for it (two minutes at most); its exit code, or -1.
int RunProgram(const CString& commandLine);
// Runs a Unix command line through /bin/sh, waits for it (two minutes at most) and returns
// its exit code, or -1. Standard output goes to *output when given.
int RunHostCommand(const std::string& commandLine, std::string* output = nullptr);

std::vector<BYTE> ReadAll(const CString& path);
// The size of a file (also one another thread holds open); -1 when it does not exist.
LONGLONG FileSizeOf(const CString& path);
// The file's bytes as a string (empty when it cannot be read).
std::string ReadAllBytes(const CString& path);
// The UTF-16LE bytes of a text, without terminator, as a UTF-16 file holds them.
std::string Utf16LeBytes(const wchar_t* text);
// The files (not the folders) directly in a folder.
int FileCount(const CString& folder);
// The files of a folder tree (relative paths, "a\\b.mp3"), sorted without regard to case.
std::vector<CString> FilesBelow(const CString& folder);
// The same for the user's temporary folder, only the files whose names end in one of the
// extensions (".wav", ...; case-insensitive).
std::vector<CString> TempFilesEndingIn(const std::vector<CString>& extensions);
void WriteAll(const CString& path, const void* data, size_t size);
void WriteAll(const CString& path, const std::string& text);

// Records every message box instead of showing it, answering with a scripted button: one
// answer for all boxes, or a script (each box takes the next answer, the last one repeats).
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(int answer = IDOK);
    explicit MessageBoxRecorder(std::vector<int> script);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;
    void SetAnswer(int answer) { m_script.assign(1, answer); m_next = 0; }
    const std::vector<AfxMessageBoxRequest>& Boxes() const { return m_boxes; }
    void Clear() { m_boxes.clear(); }

private:
    std::vector<int> m_script;
    size_t m_next = 0;
    std::vector<AfxMessageBoxRequest> m_boxes;
    AfxMessageBoxHandler m_previous;
};

}  // namespace testsupport

// Lets GoogleTest print CString values in failure messages.
void PrintTo(const CString& s, std::ostream* os);
