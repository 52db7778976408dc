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
constexpr UINT WM_DOWNLOAD_ERROR = WM_USER + 0x123;     // 0x523, sent, wParam: the flags below; reply: the answer
// WM_DOWNLOAD_ERROR's wParam: kDownloadMayRetry when the step may be retried (IDYES repeats
// it); with kDownloadAnswerIsFinal as well when the server's answer will not change by asking
// again (a file that is not there, a size that cannot be one): the retry is offered, but
// not as the default answer.
constexpr WPARAM kDownloadMayRetry = 1;
constexpr WPARAM kDownloadAnswerIsFinal = 2;

// --- The wizards ---
// A wizard page to itself (the same numbers as the console's frame messages above; the
// receivers differ). The Search pages: start the search. The device wizard's Progress page:
// prepare the chosen parts, then transfer the next one. The CD wizard's Progress page: start
// the burn job (wParam: the last part index).
constexpr UINT WM_START_DEVICE_SEARCH = WM_USER + 0x100;  // 0x500
constexpr UINT WM_PREPARE_PARTS = WM_USER + 0x101;        // 0x501
constexpr UINT WM_TRANSFER_PART = WM_USER + 0x102;        // 0x502
constexpr UINT WM_BURN_PARTS = WM_USER + 0x102;           // 0x502, the CD wizard's

// The transfer, iPod add and burn threads. Thread messages to them: 0x531 hands over one job
// (lParam), 0x532 cancels. Their reports to the Progress page (lParam: the job).
constexpr UINT WM_PART_STATUS = WM_USER + 0x130;      // 0x530, sent, wParam: the status; reply 1 go on, 0 stop, 2 cancelling
constexpr UINT WM_TRANSFER_START = WM_USER + 0x131;   // 0x531, thread message of the device wizard's workers
constexpr UINT WM_BURNING_START = WM_USER + 0x131;    // 0x531, thread message of the CD wizard's burn thread
constexpr UINT WM_TRANSFER_CANCEL = WM_USER + 0x132;  // 0x532, thread message
constexpr UINT WM_PART_DONE = WM_USER + 0x133;        // 0x533, posted, wParam: 1 done, 2 cancelled, 3 failed
constexpr UINT WM_BURN_PROGRESS = WM_USER + 0x134;    // 0x534

// Sent by the device manager's progress object to its owner window (wParam: percent, lParam
// 0); a reply of 0 cancels the insertion. A window message: the number is the thread message
// WM_TRANSFER_START's, on another queue.
constexpr UINT WM_TRANSFER_PERCENT = WM_USER + 0x131;  // 0x531

// Sent by the Zune device server to its caller's window during a transfer (wParam: bytes
// of the last chunk); a reply of 0 cancels. The iPod add thread sends it too.
constexpr UINT WM_ADD_PROGRESS = WM_USER + 0x135;  // 0x535

// Sent once by a device search thread to its Search page when it has finished (the CD
// wizard's: once per drive found, then with both parameters 0).
constexpr UINT WM_DEVICE_SEARCH_DONE = WM_USER + 0x140;  // 0x540

// The conversion thread (Windows Media audio to WAV). Thread messages to it: 0x551 converts
// one part (lParam: the job), 0x552 ends it. Its reports to the Progress page (lParam: the job).
constexpr UINT WM_CONVERT_STARTED = WM_USER + 0x150;   // 0x550, sent when it takes the job
constexpr UINT WM_CONVERT_PART = WM_USER + 0x151;      // 0x551, thread message
constexpr UINT WM_CONVERT_QUIT = WM_USER + 0x152;      // 0x552, thread message
constexpr UINT WM_CONVERT_END = WM_USER + 0x153;       // 0x553, posted
constexpr UINT WM_CONVERT_ERROR = WM_USER + 0x154;     // 0x554, sent
constexpr UINT WM_CONVERT_PROGRESS = WM_USER + 0x155;  // 0x555, wParam: percent
