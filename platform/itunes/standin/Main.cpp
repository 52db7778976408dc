// itunes_standin.exe: stands in for iTunes in test prefixes. Registered with /RegServer
// (removed with /UnregServer); started by COM for a client (or by a test), it serves the
// application class until its window ("iTunes", of class "iTunes") is closed, as iTunes does.
#include "Model.h"
#include "Module.h"
#include "Objects.h"

#include <windows.h>
#include <shellapi.h>

namespace {

const com::ClassEntry kClasses[] = {
    {&CLSID_iTunesApp, &itunes::CreateApplication,
     {L"iTunes stand-in application", nullptr, nullptr, nullptr, true, com::ServerKind::LocalServer}},
};
const com::TypeLibRegistration kTypeLib{&LIBID_iTunesStandin, 1, 12};
const com::AppIdRegistration kAppId{&APPID_iTunesStandin, L"iTunes stand-in", L"itunes_standin.exe"};
com::Module g_module(kClasses, &kTypeLib, &kAppId);

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        itunes::Model::Current().closed = true;
        itunes::Model::Current().Save();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool HasSwitch(int count, wchar_t** arguments, const wchar_t* name)
{
    for (int i = 1; i < count; ++i) {
        const wchar_t* argument = arguments[i];
        if (*argument == L'/' || *argument == L'-')
            ++argument;
        if (_wcsicmp(argument, name) == 0)
            return true;
    }
    return false;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    g_module.SetInstance(instance);
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments && HasSwitch(count, arguments, L"RegServer")) {
        LocalFree(arguments);
        return SUCCEEDED(g_module.RegisterServer()) ? 0 : 1;
    }
    if (arguments && HasSwitch(count, arguments, L"UnregServer")) {
        LocalFree(arguments);
        return SUCCEEDED(g_module.UnregisterServer()) ? 0 : 1;
    }
    LocalFree(arguments);

    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    itunes::Model::Current().Load();
    // Served before the window shows: whoever finds the window can create the application.
    if (FAILED(g_module.RegisterClassObjects(CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE))) {
        CoUninitialize();
        return 1;
    }
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = L"iTunes";
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, L"iTunes", L"iTunes", WS_OVERLAPPEDWINDOW, 40, 40, 480, 320, nullptr, nullptr,
                                  instance, nullptr);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    int result = 1;
    if (window) {
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        result = 0;
    }
    g_module.RevokeClassObjects();
    CoUninitialize();
    return result;
}
