// The iPod add worker: puts one part of a title into iTunes, into the playlist of an iPod that
// iTunes manages or into the iTunes library itself.
//
//     auto* job = new CTransferJob(nullptr, page);
//     job->m_strSourcePath = L"C:\\Books\\Night-Part01.wav";   // a WAV is converted first
//     job->m_strTargetName = L"Night-Part01.m4b";
//     job->m_striPodName = L"John's iPod";                      // or "iTunes Library"
//     job->m_strMarkerText = markers;                          // written as chapters (WAV only)
//     job->m_pPlayer = player;
//     DWORD threadId = 0;
//     HANDLE thread = StartiPodAddThread(job, &threadId);      // the page waits on it, then closes it
//     ... PostTransferCancel(threadId) cancels; WM_PART_DONE (result, job) ends the part ...
//
// A WAV source is converted by iTunes with its "AAC Encoder" (the user's current encoder is put
// back on every way out), the file iTunes wrote is moved next to the source as
// "<source less 'wav'><m4b|m4a>", the job's markers are written into it as chapters, and the
// file is then added (AddPartToiTunes). Other sources (MP3, M4B, M4A) are added as they are.
//
// Thread messages: WM_TRANSFER_START (lParam the job), WM_TRANSFER_CANCEL. To the job's owner
// window: WM_PART_STATUS sent (0, job) first (1 goes on, any other answer ends the part with
// it); WM_ADD_PROGRESS posted (percent, 1) while iTunes converts, posted (0, 48) before the
// add, and sent or posted during the add (a sent one answered 0 cancels); WM_PART_DONE posted
// last (result, job), after which the thread does not touch the job. A failed part leaves its
// text under kTransferPartKey and the step log under kTransferPartLogKey in the player's
// error-detail map.
#pragma once

#include "ErrorTable.h"
#include "TransferJob.h"
#include "WorkerThread.h"
#include "afx.h"
#include "iTunesAutomation.h"

#include <functional>
#include <memory>

// The key of the player's error-detail map under which the add step leaves its step log.
inline constexpr wchar_t kTransferPartLogKey[] = L"TransferPartLog";

// iTunes' answers the add step maps to a part result.
inline constexpr HRESULT kiTunesUserCancelled = static_cast<HRESULT>(0x8004500B);
// An add iTunes did not finish in time.
inline constexpr HRESULT kiTunesAddUnfinished = static_cast<HRESULT>(0x800705B4);  // ERROR_TIMEOUT
// How long an add is waited for: iTunes copies a part to an iPod in far less, so an iTunes
// still "in progress" (or rejecting every question) after this has hung; after a cancel the
// add is waited for a short while only, so that its track can still be deleted.
inline constexpr DWORD kAddWaitLimitMs = 10 * 60 * 1000;
inline constexpr DWORD kCancelledAddWaitMs = 30 * 1000;
// The same for a conversion (a long part takes iTunes a while) and for an iPod that stays busy.
inline constexpr DWORD kConversionWaitLimitMs = 60 * 60 * 1000;
inline constexpr int kBusyAddAttempts = 60;
inline constexpr HRESULT kiTunesDeviceBusy = static_cast<HRESULT>(0x80045000);
inline constexpr HRESULT kiTunesSourceLocked = static_cast<HRESULT>(0xA0040203);

// What a part's file name says: the title and part number iTunes gets.
struct iTunesPartNames {
    CString fileName;   // the file name less its extension (the target name for .m4b/.m4a)
    CString extension;  // from the last dot of the path's file name, e.g. ".mp3"
    CString title;      // the file name up to its last '-', trimmed, without "&#...;" sequences
    int partNumber = 0;
    CString trackName;  // "<title>-PartNN"
};
// Derives the names from the path; for an .m4b or .m4a file the target name stands for the
// file name.
iTunesPartNames DeriveiTunesPartNames(const CString& path, const CString& targetName);

// "n KB" with ',' before the last six and the last three digits.
CString FormatGroupedKilobytes(ULONGLONG kilobytes);

// The extra waits of the iPod path from the job's wait seconds.
struct iTunesAddWaits {
    DWORD a = 0;  // (W / 5) s
    DWORD b = 0;  // ((W mod 5) / 2) s
    DWORD c = 0;  // ((W mod 5) - (W mod 5) / 2) s
};
iTunesAddWaits ComputeiTunesAddWaits(int waitSeconds);

class CiPodAddThread : public CWorkerThread {
    DECLARE_DYNCREATE(CiPodAddThread)
public:
    CiPodAddThread();
    ~CiPodAddThread() override;

    BOOL InitInstance() override;
    BOOL OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    // Polls the conversion, then runs the add step; TRUE (call again) while converting or
    // while the device is busy.
    BOOL OnIdle(LONG count) override;
    int ExitInstance() override;

    // The part's result for the add step's HRESULT: done, cancelled, busy or failed.
    static int MapAddResult(HRESULT hr, BOOL cancelled);
    // The percentage value makes of maximum, 0-100 (0 without a maximum).
    static int ConversionPercent(LONG value, LONG maximum);

    // The add step: one MP3, M4B or M4A file into the player's playlist (or the library when
    // library is set). S_OK when a track was added; kiTunesUserCancelled when the page
    // cancelled; E_FAIL or iTunes' code otherwise, with the text under kTransferPartKey.
    HRESULT AddPartToiTunes(const CString& path, const CString& playerName, BOOL library);

protected:
    void OnTransferStart(LPARAM lParam);
    void OnCancel();
    void OnCancelMessage() override { OnCancel(); }
    // Waits through the iTunes clock (which tests speed up).
    DWORD Pause(DWORD ms) override
    {
        iTunesWait(ms);
        return ms;
    }
    // Stores the result in the job, posts WM_PART_DONE, puts iTunes' encoder back and ends
    // the loop.
    void FinishPart(int result);
    // Switches iTunes to AAC and starts converting path; on failure the text comes back.
    HRESULT ConvertPartToAac(const CString& path, CString* error);
    // Collects iTunes' file into target, deletes iTunes' copy and track and the source WAV.
    BOOL FinishConversion(const CString& target, CString* error);
    void ReportConversionPercent(LONG value);
    // Writes the job's markers into the converted file as chapters (failures are ignored).
    void WriteChapters(const CString& path);
    void RestoreEncoder();
    void SetPartText(const CString& text);
    void StoreLog();
    // Sends WM_ADD_PROGRESS; an answer of 0 sets the cancel flag (FALSE).
    BOOL SendAddProgress(WPARAM wParam, LPARAM lParam);
    void PostAddProgress(WPARAM wParam, LPARAM lParam);
    // A wait of the add step (through the iTunes clock); a cancel that came meanwhile sets the flag.
    void AddWait(DWORD ms);
    // Waits while iTunes adds the file; pass runs once for each look that finds it still busy.
    // FALSE when iTunes had not finished within kAddWaitLimitMs of waiting (kCancelledAddWaitMs
    // after a cancel): the add is given up.
    BOOL WaitWhileAdding(IITOperationStatus* status, const std::function<void()>& pass);
    // The add step's code for an add given up: cancelled, or kiTunesAddUnfinished.
    HRESULT EndUnfinishedAdd();
    // The playlist standing for the player; E_FAIL with the missing text when there is none.
    HRESULT FindPlayerPlaylist(const CString& player, UINT missingText, IITPlaylist** playlist, CString* text);
    // AddFile with its log entry; E_FAIL with the no-status text when iTunes gave no status.
    HRESULT StartAdd(IITPlaylist* playlist, const CString& path, const wchar_t* logFormat, const CString& noStatus,
                     IITOperationStatus** status, CString* text);
    // The end of an add that was cancelled (its track deleted) or gave no track (noTrack).
    HRESULT EndCancelledOrEmptyAdd(IITTrack* track, const CString& noTrack, CString* text);
    // Deletes the copy of this part already in the player's playlist (the same title and number).
    void DeleteOldCopy(const iTunesPartNames& names, const CString& player);
    HRESULT AddToLibrary(const iTunesPartNames& names, const CString& path, const CString& playerName,
                         ULONGLONG fileSize, CString* text);
    HRESULT AddToiPod(const iTunesPartNames& names, const CString& path, const CString& playerName,
                      ULONGLONG fileSize, CString* text);

    CTransferJob* m_pJob = nullptr;
    IITConvertOperationStatus* m_pConversion = nullptr;
    CString m_strConvertedPath;
    DWORD m_conversionWaitedMs = 0;  // waited for the conversion so far
    int m_busyAttempts = 0;          // adds the busy iPod refused so far
    int m_nLastPercent = 0;
    LONG m_nProgressMax = 0;
    std::unique_ptr<CiTunesHelper> m_pHelper;  // from InitInstance to ExitInstance (this apartment)
    IITEncoder* m_pSavedEncoder = nullptr;
    CString m_strStepLog;
    CErrorTable m_errors;
};

// Creates an iPod add thread (it deletes itself when it ends), hands it the job and returns a
// handle of the caller's own to wait on (the caller closes it); threadId receives the thread's
// id (PostTransferCancel cancels). Null when no thread could be started.
HANDLE StartiPodAddThread(CTransferJob* job, DWORD* threadId);
