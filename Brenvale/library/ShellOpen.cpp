#include "ShellOpen.h"

#include <shellapi.h>

#include <utility>

namespace {

ShellOpenHandler& Handler()
{
    static ShellOpenHandler handler;
    return handler;
}

}  // namespace

BOOL OpenInShell(const wchar_t* target)
{
    if (Handler())
        return Handler()(target);
    const HINSTANCE result = ShellExecuteW(nullptr, L"open", target, nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler)
{
    return std::exchange(Handler(), std::move(handler));
}
