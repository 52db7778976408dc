// The exports of an in-process server built with the kit (InprocServer.cpp): the four of COM,
// and one for the server's tests. A server's message boxes go through the funnel of its own
// copy of the class library, which a test program cannot reach directly; through this export
// the test answers them:
//
//     auto set = reinterpret_cast<com::SetMessageBoxHookFunction>(
//         GetProcAddress(GetModuleHandleW(L"Server.dll"), com::kSetMessageBoxHookExport));
//     set(&Answer, context);   // Answer(context, owner, text, caption, type) returns the button
//     set(nullptr, nullptr);   // real boxes again
#pragma once

#include <windows.h>

namespace com {

using MessageBoxHook = int(STDAPICALLTYPE*)(void* context, HWND owner, const wchar_t* text, const wchar_t* caption,
                                            UINT type);
using SetMessageBoxHookFunction = void(STDAPICALLTYPE*)(MessageBoxHook hook, void* context);
inline constexpr char kSetMessageBoxHookExport[] = "DllSetMessageBoxHook";

}  // namespace com
