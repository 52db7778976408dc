// The suite's own window and thread message numbers (on the WM_USER base, 0x400), in one
// place so that no two of them collide by accident and no code writes them as literals.
#pragma once

#include <windows.h>

// To the console's main frame.
constexpr UINT WM_OPEN_PATH = WM_USER + 0x100;            // 0x500, lParam: the path of an order file
constexpr UINT WM_STARTUP_NO_FILE = WM_USER + 0x101;      // 0x501, started without a file
constexpr UINT WM_START_NEXT_DOWNLOAD = WM_USER + 0x102;  // 0x502, start the head of the queue

// To the console's player window, posted to itself: keep the current row of a list selected
// (wParam: the row, lParam: the list).
constexpr UINT WM_PLAYER_KEEP_ROW = WM_USER + 0x103;  // 0x503

// Thread messages to a download thread.
constexpr UINT WM_DOWNLOAD_START = WM_USER + 0x110;   // 0x510, lParam: the job
constexpr UINT WM_DOWNLOAD_CANCEL = WM_USER + 0x111;  // 0x511
constexpr UINT WM_DOWNLOAD_STOP = WM_USER + 0x112;    // 0x512, the console's: stop, the job stays queued

// Reports of a download thread to its job's owner window (lParam: the job).
constexpr UINT WM_DOWNLOAD_STARTED = WM_USER + 0x120;   // 0x520, posted
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_USER + 0x121;  // 0x521, posted, wParam: percent
constexpr UINT WM_DOWNLOAD_DONE = WM_USER + 0x122;      // 0x522, posted, wParam: the result
constexpr UINT WM_DOWNLOAD_ERROR = WM_USER + 0x123;     // 0x523, sent, wParam: 1 = may retry; reply: the answer

// Sent by the Zune device server to its caller's window during a transfer (wParam: bytes
// of the last chunk); a reply of 0 cancels.
constexpr UINT WM_ADD_PROGRESS = WM_USER + 0x135;  // 0x535
