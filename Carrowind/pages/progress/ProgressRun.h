// What the Progress page and its three stages (PartConversion.h, PartSender.h,
// TitleSideFiles.h) share of one run: the chosen parts in their order with the state of each,
// and the services outside the page that tests replace.
#pragma once

#include "afx.h"

#include <functional>
#include <map>
#include <memory>

class CDownloadJob;
class CTransferJob;
class PlayerRecord;

// One chosen part of a run, in the order of the chosen parts.
struct PartTransferState {
    double weight = 1.0;
    CString sourcePath;
    CString name;
    CString partFile;
    int number = 0;
    int prepState = 0;      // 0 waiting for conversion, 1 conversion failed, 2 ready
    int transferState = 0;  // 0 not yet, 1 failed or cancelled, 2 transferred
    int durationSeconds = 0;
    // sourcePath is a file this run made (a converted part in the conversion folder): it and
    // its siblings go when the part is done. A file of the user's never is.
    BOOL madeByRun = FALSE;
};

// The run's parts by their index among the chosen ones.
using PartStates = std::map<int, std::unique_ptr<PartTransferState>>;

// What the page does outside itself; tests replace single members (an empty one keeps the
// product's).
struct TransferPageServices {
    // Starts the worker of a part and hands it the job: the worker's thread id, or 0 when
    // none started (the job is still the caller's then, error text in the player's map).
    std::function<DWORD(CTransferJob* job)> startWorker;
    // Whether the player is still connected.
    std::function<BOOL(PlayerRecord* player)> playerPresent;
    // After the last part: the title's side files onto the player.
    std::function<void(PlayerRecord* player, const CString& playlist, const CString& cover, const CString& sourceId,
                       BOOL mp3Title)>
        copySideFiles;
    // After a cancel: deletes the half-written part (its name on the player).
    std::function<void(PlayerRecord* player, const CString& targetName)> deletePartial;
    // Starts the conversion of a part to WAV: the converter's thread and a handle of the
    // caller's own to wait on (closed by the caller), or null when none started. The
    // converter speaks the conversion thread's messages (WM_CONVERT_STARTED, _PROGRESS,
    // _ERROR) and ends on WM_CONVERT_QUIT; it stores its result and the WAV file in the job.
    std::function<HANDLE(CDownloadJob* job, DWORD* threadId)> startConverter;
};
// Replaces the services; returns those before.
TransferPageServices SetTransferPageServices(TransferPageServices services);
// The services in force.
const TransferPageServices& TransferServices();
