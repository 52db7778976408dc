// The Progress page's first stage: Windows Media parts for an Apple player that takes them
// through iTunes are converted to WAV files, one at a time, in a folder the run makes for
// itself (never one that was there before). Each conversion runs on a thread of its own while
// the page keeps answering (earlier parts transfer meanwhile, Cancel is heard at once). What
// the run made goes when the run is done with it, and only that.
//
//     CPartConversion conversion;
//     if (!conversion.MakeFolder()) { ... string 5002 ... }
//     if (conversion.Convert(part, target, index, sheet, pageWindow, cancelling))
//         ... part.sourcePath is the converted file, part.madeByRun is set ...
//     conversion.DeleteRunFiles(parts, workerRunning);  // nothing while a converter runs
#pragma once

#include "ProgressRun.h"

#include <windows.h>

class CWizardSheet;
class PlayerRecord;

class CPartConversion {
public:
    // Whether the parts wait for their conversion to WAV (Windows Media audio to an Apple
    // player that takes it through iTunes).
    static BOOL Needed(PlayerRecord* player, CWizardSheet* sheet);
    // A converted part's file beside the conversion's own target: target with its last three
    // characters replaced by the produced file's.
    static CString ConvertedName(const CString& target, const CString& produced);
    // Makes a folder of the run's own in parent, one that did not exist before; its path, or
    // empty when none could be made (a folder already there is never taken).
    static CString MakeRunFolder(const CString& parent);
    // Whether a path ends in one of the extensions a conversion makes (wav, m4a, m4b).
    static bool IsConvertedFile(const CString& path);
    // Deletes the wav, m4a and m4b siblings of a file; the names deleted, "|" between them.
    static CString DeleteSiblings(const CString& path);

    // The run's folder in the temporary folder; FALSE when none could be made.
    BOOL MakeFolder();
    // The folder of this run's converted parts; empty when nothing is converted.
    const CString& Folder() const { return m_folder; }
    // Converts one part to WAV at target (in the run's folder) while the page's messages are
    // pumped; TRUE when the part's sourcePath is the converted file. A set cancelling flag
    // (also one set while it waits) stops the converter.
    BOOL Convert(PartTransferState& part, const CString& target, int index, CWizardSheet* sheet, HWND owner,
                 const BOOL& cancelling);
    // The converter while one runs (0 otherwise); Cancel tells it to stop.
    DWORD ConverterId() const { return m_converterId; }
    void Cancel() const;
    // Deletes the files this run made (converted parts and their siblings) and removes the
    // run's folder with what the conversions left in it; nothing while a worker
    // (workerRunning) or the converter may still use them.
    void DeleteRunFiles(PartStates& parts, BOOL workerRunning);

private:
    CString m_folder;
    DWORD m_converterId = 0;
};
