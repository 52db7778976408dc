// Drives a console already running (started by scripts/run-console.sh) as a user would: the
// first title of its library selected, then Transfer and Burn, each wizard waited for on its
// Welcome page, its text printed, and cancelled. Exit status 0 when both wizards started from
// the console's folder and named the title, 1 otherwise (with what the console said).
#include "InstalledConsole.h"
#include "WindowTestSupport.h"
#include "res/ConsoleIds.h"

#include <commctrl.h>

#include <cstdio>

namespace {

bool StartsAndNamesTheTitle(const installedtest::InstalledConsole& console, UINT command, const wchar_t* welcome)
{
    console.Command(command);
    std::vector<testsupport::ProcessBox> boxes;
    DWORD wizard = 0;
    const HWND sheet = installedtest::WaitForWizard(console, welcome, &wizard, &boxes, 90000);
    for (const testsupport::ProcessBox& box : boxes)
        std::printf("the console said: %s\n", box.text.ToNarrow(CP_UTF8).c_str());
    if (!sheet) {
        std::printf("no window \"%s\"\n", CString(welcome).ToNarrow(CP_UTF8).c_str());
        return false;
    }
    // The page's first text names the title in bold.
    CString named;
    for (const testsupport::WindowInfo& info : testsupport::WindowTree(sheet)) {
        if (info.id == 1000 && info.text.Find(L"<b>") >= 0)
            named = info.text;
    }
    std::printf("%s: %s\n", CString(welcome).ToNarrow(CP_UTF8).c_str(), named.ToNarrow(CP_UTF8).c_str());
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, wizard);
    PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    bool ended = process && WaitForSingleObject(process, 20000) == WAIT_OBJECT_0;
    if (process && !ended)
        TerminateProcess(process, 1);
    if (process)
        CloseHandle(process);
    return ended && boxes.empty() && !named.IsEmpty();
}

}  // namespace

int wmain()
{
    installedtest::InstalledConsole console;
    if (!console.Attach()) {
        std::printf("no console window\n");
        return 1;
    }
    if (!console.SelectFirstTitle()) {
        std::printf("no title could be selected\n");
        return 1;
    }
    const bool transfer = StartsAndNamesTheTitle(console, ID_TITLE_TRANSFER, L"Vesperlin Carrowind - Welcome");
    const bool burn = StartsAndNamesTheTitle(console, ID_TITLE_BURN, L"Vesperlin Emberquay - Welcome");
    std::fflush(stdout);
    return transfer && burn ? 0 : 1;
}
