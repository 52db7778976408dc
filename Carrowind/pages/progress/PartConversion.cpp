#include "PartConversion.h"

#include "CarrowindSheet.h"
#include "DownloadThread.h"
#include "MediaElements.h"
#include "PlayerRecord.h"
#include "SuiteMessages.h"
#include "iTunesAutomation.h"
#include "WinThread.h"
#include "WindowsMediaThread.h"

#include <memory>

namespace {

HANDLE StartConversionThread(CDownloadJob* job, DWORD* threadId)
{
    HANDLE own = nullptr;
    auto* thread = static_cast<CWindowsMediaThread*>(AfxBeginThread(RUNTIME_CLASS(CWindowsMediaThread),
                                                                    THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED,
                                                                    nullptr, &own));
    if (!thread)
        return nullptr;
    *threadId = thread->m_nThreadID;
    thread->ResumeThread();
    PostThreadMessageW(*threadId, WM_CONVERT_PART, 0, reinterpret_cast<LPARAM>(job));
    return own;
}

bool FileThere(const CString& path)
{
    return !path.IsEmpty() && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

BOOL CPartConversion::Needed(PlayerRecord* player, CWizardSheet* sheet)
{
    const int apple = player->IsApple();
    const int kind = sheet->m_media.GetMetadata().GetContentKind();
    return apple > 1 && (sheet->m_iTunesCompatible || apple < static_cast<int>(kAppleIPodShuffle)) &&
           (kind & (KindAudiobook | KindMusic)) != 0;
}

CString CPartConversion::ConvertedName(const CString& target, const CString& produced)
{
    return target.Left(target.GetLength() - 3) + produced.Right(3);
}

bool CPartConversion::IsConvertedFile(const CString& path)
{
    const CString ext = path.Right(3);
    return ext.CompareNoCase(L"wav") == 0 || ext.CompareNoCase(L"m4a") == 0 || ext.CompareNoCase(L"m4b") == 0;
}

CString CPartConversion::MakeRunFolder(const CString& parent)
{
    if (parent.IsEmpty())
        return CString();
    CString base = parent;
    base.TrimRight(L'\\');
    // A folder of this run's own: one that did not exist before. One that is there already is
    // another's (an earlier run's, another program's) and is left alone.
    constexpr unsigned kAttempts = 100;
    for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
        CString folder;
        folder.Format(L"%s\\Carrowind-%lu-%u", base.GetString(), GetCurrentProcessId(), attempt);
        if (CreateDirectoryW(folder, nullptr))
            return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return CString();
    }
    return CString();
}

BOOL CPartConversion::MakeFolder()
{
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    // The converted parts go to a folder of our own only, never beside the user's files.
    const CString folder =
        length == 0 || length > MAX_PATH ? CString() : MakeRunFolder(CString(temp, static_cast<int>(length)));
    if (folder.IsEmpty())
        return FALSE;
    m_folder = folder;
    return TRUE;
}

void CPartConversion::Cancel() const
{
    if (m_converterId)
        PostThreadMessageW(m_converterId, WM_CONVERT_QUIT, 0, 0);
}

BOOL CPartConversion::Convert(PartTransferState& part, const CString& target, int index, CWizardSheet* sheet,
                              HWND owner, const BOOL& cancelling)
{
    const CString source = part.partFile;
    auto job = std::make_unique<CDownloadJob>(nullptr, nullptr);
    job->m_strUrl = source;
    job->m_strTargetPath = target;
    job->m_nPartIndex = index;
    job->m_nPartWeight = static_cast<int>(part.weight);
    job->m_nDurationSeconds = part.durationSeconds;
    job->m_nBufferLength = part.durationSeconds;
    job->m_hOwnerWnd = owner;
    job->m_strCoverPath = sheet->m_imagePath;
    job->m_strTitle = sheet->m_title;
    job->m_strArtist = sheet->m_artist;
    DWORD threadId = 0;
    HANDLE thread = TransferServices().startConverter ? TransferServices().startConverter(job.get(), &threadId)
                                                      : StartConversionThread(job.get(), &threadId);
    if (!thread)
        return FALSE;
    m_converterId = threadId;
    if (cancelling)
        PostThreadMessageW(threadId, WM_CONVERT_QUIT, 0, 0);
    // The wait keeps the page alive: earlier parts transfer and Cancel is heard meanwhile.
    while (MsgWaitForMultipleObjects(1, &thread, FALSE, 100, QS_ALLINPUT) != WAIT_OBJECT_0) {
        AfxPumpQueuedMessages();
        if (cancelling)
            PostThreadMessageW(threadId, WM_CONVERT_QUIT, 0, 0);
    }
    CloseHandle(thread);
    m_converterId = 0;
    // The progress reports still queued name the job: they go before it does.
    DiscardConversionProgress(owner);
    const CString produced = job->GetTargetPath();
    if (job->GetResult() == kConvertDone && FileThere(produced)) {
        CString converted = ConvertedName(target, produced);
        if (converted.CompareNoCase(produced) != 0 &&
            !MoveFileExW(produced, converted, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED))
            converted = produced;
        part.sourcePath = converted;
        part.madeByRun = TRUE;
        return TRUE;
    }
    // A result without its file is a failure too. Only what the conversion made is deleted.
    DeleteSiblings(target);
    if (FileThere(produced) && produced.CompareNoCase(source) != 0)
        DeleteFileW(produced);
    return FALSE;
}

CString CPartConversion::DeleteSiblings(const CString& path)
{
    CString deleted;
    const CString stem = path.Left(path.GetLength() - 3);
    for (const wchar_t* ext : {L"wav", L"m4a", L"m4b"}) {
        const CString sibling = stem + ext;
        if (FileThere(sibling) && DeleteFileW(sibling))
            deleted += (deleted.IsEmpty() ? L"" : L"|") + sibling;
    }
    return deleted;
}

void CPartConversion::DeleteRunFiles(PartStates& parts, BOOL workerRunning)
{
    // Nothing goes while a worker or the conversion may still use the files.
    if (workerRunning || m_converterId)
        return;
    for (auto& [key, part] : parts) {
        if (part->madeByRun && IsConvertedFile(part->sourcePath))
            DeleteSiblings(part->sourcePath);
        part->madeByRun = FALSE;
    }
    if (m_folder.IsEmpty())
        return;
    // The folder is the run's own, made by it: whatever a conversion left in it goes with it.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(m_folder + L"\\*", &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW(m_folder + L"\\" + found.cFileName);
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    // Kept while something still holds a file in it: the next try removes it.
    if (RemoveDirectoryW(m_folder) || GetFileAttributesW(m_folder) == INVALID_FILE_ATTRIBUTES)
        m_folder.Empty();
}
