#include "CdDrivePrefix.h"

#include "TestSupport.h"

#include <windows.h>

namespace cdprefix {

namespace {

constexpr const char* kVariable = "VESPERLIN_TEST_CD_DRIVE";

}  // namespace

bool InCdDrivePrefix()
{
    char value[8] = {};
    return GetEnvironmentVariableA(kVariable, value, sizeof(value)) > 0;
}

const char* Letter() { return "Q:"; }

int RunInCdDrivePrefix(const std::string& gtestFilter, std::string* output)
{
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    const std::string self = testsupport::UnixPath(program);
    // The loader of this build's Wine; its own wineserver for the private prefix.
    const std::string script =
        "d=$(mktemp -d) || exit 90; export WINEPREFIX=\"$d/prefix\"; mkdir -p \"$d/disc\"; "
        "loader=\"${VESPERLIN_WINE_LOADER:-wine}\"; server=\"$(dirname \"$loader\")/wineserver\"; "
        "[ -x \"$server\" ] || server=wineserver; "
        "\"$loader\" wineboot -i >/dev/null 2>&1 || { rm -rf \"$d\"; exit 91; }; "
        "ln -s \"$d/disc\" \"$WINEPREFIX/dosdevices/q:\"; "
        "\"$loader\" reg add 'HKLM\\Software\\Wine\\Drives' /v q: /d cdrom /f /reg:64 >/dev/null 2>&1; "
        "\"$server\" -k >/dev/null 2>&1; \"$server\" -w >/dev/null 2>&1; " +
        std::string(kVariable) + "=1 \"$loader\" '" + self + "' --gtest_brief=1 '--gtest_filter=" + gtestFilter + "' 2>&1; "
        "rc=$?; \"$server\" -k >/dev/null 2>&1; \"$server\" -w >/dev/null 2>&1; rm -rf \"$d\"; exit $rc";
    const int result = testsupport::RunHostCommand(script, output);
    return result >= 90 ? -1 : result;
}

}  // namespace cdprefix
