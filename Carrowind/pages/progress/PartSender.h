// The Progress page's second stage: the parts onto the player one at a time, each through a
// worker thread of its own (the iPod add thread for an Apple player, the transfer thread for
// every other) that gets a CTransferJob and gives it back with WM_PART_DONE. While a worker
// runs only its thread id is kept: a worker deletes itself when it ends, and a message to an
// ended thread fails harmlessly.
//
//     CPartSender sender;
//     if (!sender.Start(player, index, part, sheet, pageWindow, &awaitingStart))
//         ... the reason is in the player's map under "TransferNewThread" ...
//     sender.Cancel();   // the worker hears of it
//     sender.Ended();    // on WM_PART_DONE
#pragma once

#include "ProgressRun.h"

#include <windows.h>

class CWizardSheet;
class PlayerRecord;
struct IStream;

class CPartSender {
public:
    // The chapter list of a part file for the iPod add thread: "<ms> <name>\r\n" per marker
    // (at most 256), from the marker attribute of an MP3 file, else from the Windows Media
    // header; empty when the file cannot be read.
    static CString BuildMarkerText(const CString& path);
    // Whether the player is still connected (a device manager's player by its serial number).
    static BOOL PlayerPresent(PlayerRecord* player);

    // Starts the worker of a part (index among the chosen ones): TRUE when it runs, with
    // *awaitingStart set until the worker reports; FALSE with the reason in the player's map
    // under "TransferNewThread" (the part then fails as a finished one does).
    BOOL Start(PlayerRecord* player, int index, PartTransferState& part, CWizardSheet* sheet, HWND owner,
               BOOL* awaitingStart);
    // A job for a part (the stream is the job's from here).
    static CTransferJob* MakeJob(IStream* deviceStream, PlayerRecord* player, int index, const PartTransferState& part,
                                 const CString& target, CWizardSheet* sheet, HWND owner);
    // The worker while one runs (0 otherwise); Cancel tells it to stop, Ended forgets it.
    DWORD WorkerId() const { return m_workerId; }
    void Cancel() const;
    void Ended() { m_workerId = 0; }

private:
    // Fills an Apple player's part of the job (iPod name, markers, settings).
    static void FillAppleJob(CTransferJob* job, PlayerRecord* player, const CString& markerSource, CWizardSheet* sheet);

    DWORD m_workerId = 0;
};
