#include "iTunesTestSupport.h"

#include "OtherProcessWindows.h"
#include "iTunesInterfaces.h"

namespace itunestest {

CString StandinProgram()
{
    return testsupport::WindowsPath(ITUNES_STANDIN_PATH);
}

bool RegisterStandin()
{
    return testsupport::RunProgram(L"\"" + StandinProgram() + L"\" /RegServer") == 0;
}

bool UnregisterStandin()
{
    return testsupport::RunProgram(L"\"" + StandinProgram() + L"\" /UnregServer") == 0;
}

std::vector<DWORD> StandinProcesses()
{
    return testsupport::ProcessesNamed(L"itunes_standin.exe");
}

namespace {

void EndStandins()
{
    for (DWORD id : StandinProcesses()) {
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
}

}  // namespace

StandinRun::StandinRun(const std::string& fixture, bool start)
{
    const CString path = m_folder / L"iTunes.ini";
    testsupport::WriteAll(path, fixture);
    SetEnvironmentVariableW(L"VESPERLIN_ITUNES", path);
    RegisterStandin();
    if (!start)
        return;
    EndStandins();
    if (!testsupport::StartProgram(L"\"" + StandinProgram() + L"\""))
        return;
    for (int i = 0; i < 200 && !m_started; ++i) {
        m_started = FindWindowW(L"iTunes", L"iTunes") != nullptr;
        if (!m_started)
            Sleep(50);
    }
}

StandinRun::~StandinRun()
{
    Stop();
    // Other tests of the prefix must not find iTunes registered.
    UnregisterStandin();
    SetEnvironmentVariableW(L"VESPERLIN_ITUNES", nullptr);
}

void StandinRun::Stop()
{
    // Every stand-in's window is asked to close (COM may have started one of its own).
    for (int i = 0; i < 200 && !StandinProcesses().empty(); ++i) {
        if (HWND window = FindWindowW(L"iTunes", L"iTunes"))
            PostMessageW(window, WM_CLOSE, 0, 0);
        Sleep(100);
    }
    EndStandins();
}

CString StandinRun::State(const wchar_t* section, const wchar_t* key) const
{
    wchar_t value[4096] = {};
    GetPrivateProfileStringW(section, key, L"", value, 4096, m_folder / L"iTunes.state.ini");
    return value;
}

int StandinRun::StateNumber(const wchar_t* section, const wchar_t* key) const
{
    return _wtoi(State(section, key));
}

CString StandinRun::TrackSection(const wchar_t* name) const
{
    const int count = StateNumber(L"Tracks", L"Count");
    for (int i = 1; i <= count; ++i) {
        CString section;
        section.Format(L"Track%d", i);
        if (State(section, L"Name") == name)
            return section;
    }
    return CString();
}

std::vector<CString> StandinRun::TrackSections(const wchar_t* source, const wchar_t* name) const
{
    std::vector<CString> found;
    const int count = StateNumber(L"Tracks", L"Count");
    for (int i = 1; i <= count; ++i) {
        CString section;
        section.Format(L"Track%d", i);
        if (State(section, L"Name") == name && State(section, L"Source") == source)
            found.push_back(section);
    }
    return found;
}

CString StandinRun::PlaylistSection(const wchar_t* source, const wchar_t* name) const
{
    const int count = StateNumber(L"Playlists", L"Count");
    for (int i = 1; i <= count; ++i) {
        CString section;
        section.Format(L"Playlist%d", i);
        if (State(section, L"Name") == name && State(section, L"Source") == source)
            return section;
    }
    return CString();
}

}  // namespace itunestest
