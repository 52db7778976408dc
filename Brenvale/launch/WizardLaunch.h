// Handing a title to one of the two wizard programs: the device wizard (Carrowind) and the
// CD wizard (Emberquay), started beside the console with the title's source id, playlist
// and content kind on their command line. The console does not wait for them.
//
// The frame's Transfer (33001, 33051 with verbose logging offered) and Burn (33002)
// commands call LaunchDeviceWizard and LaunchCdWizard with the title selected in the list.
#pragma once

#include "afx.h"

#include <functional>

class CBrenvaleDoc;
class CMediaObject;

// Whether a title of these kind bits goes to the wizards (audiobooks, music, video and
// mobile video, MP3 audiobooks and music; never games or streaming titles).
bool CanHandToWizard(int kindBits);

// The wizards' command line:
//     -SourceID="<id>" -Path="<playlist>" -Type="<kind name>"[ -Verbose]
// The wizards cut the playlist path out at its first ".wax" and split the rest at every
// hyphen, trimming quotes, blanks, colons and equals signs: FALSE (and no text) for a
// value they would read back differently - a double quote anywhere, a hyphen or ".wax" in
// the id or kind name, an id or kind name that begins or ends with one of the trimmed
// characters, or a playlist path that does not end at its first ".wax".
BOOL BuildWizardCommandLine(const CString& sourceId, const CString& playlistPath, const CString& kindName,
                            bool verbose, CString& commandLine);

// Starts the program (application name = program, or none when empty, the command line as given, no
// inheritance, the console's environment and folder) and lets it go; 0 or the Win32 error.
DWORD StartDetachedProcess(const CString& program, const CString& commandLine, const wchar_t* folder = nullptr);

// What the frame gives the two commands.
struct WizardLaunchContext {
    CBrenvaleDoc* document = nullptr;                 // writes the playlist and the order file
    CString programFolder;                            // the running console's folder
    std::function<void(CMediaObject&)> downloadParts;  // the Download command (33003)
};

// Transfer: the order file (.vpm) and playlist (.wax) are written first; with verboseOffered
// the user is asked whether to add -Verbose (Cancel starts nothing). TRUE when started.
BOOL LaunchDeviceWizard(CMediaObject* title, const WizardLaunchContext& context, bool verboseOffered);
// Burn: the playlist is made when it is missing; no order file. TRUE when started.
BOOL LaunchCdWizard(CMediaObject* title, const WizardLaunchContext& context);
