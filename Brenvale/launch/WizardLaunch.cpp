#include "WizardLaunch.h"

#include "AfxMessageBox.h"
#include "BrenvaleDoc.h"
#include "FileUtils.h"
#include "res/ConsoleDialogIds.h"

namespace {

constexpr int kHandedOverKinds = KindAudiobook | KindMusic | KindVideo | KindMobileVideo;
constexpr int kHandedOverMp3Kinds = KindMp3Audiobook | KindMp3Music;
// What the wizards trim from both ends of an option value.
constexpr const wchar_t* kTrimmedByWizards = L":=\" ";

bool ContainsNoCase(CString text, const wchar_t* part)
{
    CString lower(part);
    return text.MakeLower().Find(lower.MakeLower()) >= 0;
}

bool IsTrimmedByWizards(wchar_t ch)
{
    return wcschr(kTrimmedByWizards, ch) != nullptr;
}

// An id or kind name that reads back as written: the wizards take a quoted value whole (hyphens,
// blanks and accents included), but a quote inside it would end it early.
bool IsPlainOptionValue(const CString& value)
{
    if (value.IsEmpty())
        return true;
    if (value.Find(L'"') >= 0 || ContainsNoCase(value, L".wax"))
        return false;
    return !IsTrimmedByWizards(value[0]) && !IsTrimmedByWizards(value[value.GetLength() - 1]);
}

bool IsPlainPlaylistPath(const CString& path)
{
    CString lower = path;
    lower.MakeLower();
    const int wax = lower.Find(L".wax");
    return path.Find(L'"') < 0 && wax >= 0 && wax + 4 == path.GetLength();
}

int FindFirstDownloadedPart(const CMediaObject& title)
{
    for (INT_PTR i = 0; i < title.m_parts.GetSize(); ++i) {
        const CPartObject* part = title.GetPart(i);
        if (part && FileExists(part->GetFilePath(&title)))
            return static_cast<int>(i);
    }
    return -1;
}

// Steps shared by both wizards up to the program path; FALSE stops the command.
BOOL PrepareLaunch(CMediaObject* title, const WizardLaunchContext& context)
{
    if (!title || !CanHandToWizard(title->GetMetadata().GetContentKind()))
        return FALSE;
    if (FindFirstDownloadedPart(*title) < 0) {
        if (AfxMessageBox(IDS_ASK_DOWNLOAD_PARTS_FIRST, MB_YESNO | MB_ICONINFORMATION) == IDYES &&
            context.downloadParts)
            context.downloadParts(*title);
        return FALSE;
    }
    return TRUE;
}

void ShowMessage(UINT id, UINT type = MB_OK | MB_ICONEXCLAMATION, DWORD number = 0)
{
    CString text;
    text.Format(id, number);
    AfxMessageBox(text, type);
}

BOOL Launch(CMediaObject& title, const WizardLaunchContext& context, const wchar_t* programName,
            UINT missingId, UINT failedId, bool askVerbose)
{
    CString program = context.programFolder;
    if (program.Right(1) != L"\\")
        program += L'\\';
    program += programName;
    if (!FileExists(program)) {
        ShowMessage(missingId);
        return FALSE;
    }
    bool verbose = false;
    if (askVerbose) {
        const int answer = AfxMessageBox(IDS_ASK_VERBOSE_TRANSFER, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL)
            return FALSE;
        verbose = answer == IDYES;
    }
    CString commandLine;
    if (!BuildWizardCommandLine(title.m_sourceId, title.GetPlaylistPath(), title.GetContentKindName(), verbose,
                                commandLine)) {
        // Say which title, and why, rather than an error number.
        CString text;
        text.Format(IDS_WIZARD_TITLE_NOT_PASSABLE, title.GetMetadata().GetDisplayTitle(FALSE, TRUE).GetString());
        AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    const DWORD error = StartDetachedProcess(program, commandLine);
    if (error != 0) {
        ShowMessage(failedId, MB_OK | MB_ICONEXCLAMATION, error);
        return FALSE;
    }
    return TRUE;
}

// The wizards read the title from its playlist: make it when it is missing.
BOOL EnsurePlaylist(CMediaObject& title, CBrenvaleDoc* document)
{
    if (FileExists(title.GetPlaylistPath()))
        return TRUE;
    return document && document->WritePlaylistFile(&title);
}

}  // namespace

bool CanHandToWizard(int kindBits)
{
    return (kindBits & (kHandedOverKinds | kHandedOverMp3Kinds)) != 0;
}

BOOL BuildWizardCommandLine(const CString& sourceId, const CString& playlistPath, const CString& kindName,
                            bool verbose, CString& commandLine)
{
    commandLine.Empty();
    if (!IsPlainOptionValue(sourceId) || !IsPlainOptionValue(kindName) || !IsPlainPlaylistPath(playlistPath))
        return FALSE;
    commandLine.Format(L"-SourceID=\"%s\" -Path=\"%s\" -Type=\"%s\"", sourceId.GetString(), playlistPath.GetString(),
                       kindName.GetString());
    if (verbose)
        commandLine += L" -Verbose";
    return TRUE;
}

DWORD StartDetachedProcess(const CString& program, const CString& commandLine, const wchar_t* folder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    CString writable = commandLine;  // CreateProcessW may write into the command line
    if (!CreateProcessW(program.IsEmpty() ? nullptr : program.GetString(), writable.GetBuffer(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process))
        return GetLastError();
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

BOOL LaunchDeviceWizard(CMediaObject* title, const WizardLaunchContext& context, bool verboseOffered)
{
    if (!PrepareLaunch(title, context) || !context.document)
        return FALSE;
    if (!context.document->WriteMediaOrderFile(title) || !EnsurePlaylist(*title, context.document)) {
        AfxMessageBox(IDS_ORDER_FILE_WRITE_FAILED, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    return Launch(*title, context, L"Carrowind.exe", IDS_DEVICE_WIZARD_MISSING, IDS_DEVICE_WIZARD_START_FAILED,
                  verboseOffered);
}

BOOL LaunchCdWizard(CMediaObject* title, const WizardLaunchContext& context)
{
    if (!PrepareLaunch(title, context))
        return FALSE;
    if (!EnsurePlaylist(*title, context.document)) {
        AfxMessageBox(IDS_ORDER_FILE_WRITE_FAILED, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    return Launch(*title, context, L"Emberquay.exe", IDS_CD_WIZARD_MISSING, IDS_CD_WIZARD_START_FAILED, false);
}
