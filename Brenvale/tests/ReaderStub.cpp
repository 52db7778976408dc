// A second process that reads a file the way another program would while the console
// saves it: opens it sharing read, write and delete, reads it whole, says so with
// "<path>.reading" and keeps it open for the given milliseconds.
//   library_reader_stub.exe <path> <milliseconds>
#include <windows.h>

#include <cstdlib>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return 2;
    const std::wstring path = argv[1];
    const DWORD hold = static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10));
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read)
        ;
    const std::wstring marker = path + L".reading";
    HANDLE said = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (said != INVALID_HANDLE_VALUE)
        CloseHandle(said);
    Sleep(hold);
    CloseHandle(file);
    DeleteFileW(marker.c_str());
    return 0;
}
