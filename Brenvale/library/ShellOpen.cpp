#include "ShellOpen.h"

#include <shellapi.h>

BOOL OpenInShell(const wchar_t* target)
{
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}
