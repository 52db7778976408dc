// How a wizard reads the command line the console starts it with, or a link of its own
// scheme in its place:
//
//     -SourceID="<id>" -Path="<C:\...\Title.wax>" -Type="<content type>" -Verbose
//     zkytransfer://-SourceID=<id>-Type=<content type>/C:\...\Title.wax
//
// The playlist path is cut out first (from the nearest quote, or slash of a link, before the
// first ".wax" up to its end), so a path may hold hyphens; the rest is split at every hyphen
// outside a quoted value (a quoted id or type is taken whole, hyphens and all; a quote left open
// runs to the end) and each piece matched by its beginning, without regard to case: "SourceId", "Type",
// "MobileMinVersion", "MobileCurVersion" (the last two when the wizard reads them), else
// "Path" or a bare path ending in ".wax" or ".vpm". A value is the rest of its piece trimmed of
// colons, equals signs, double quotes and blanks; a later piece overrides an earlier one.
#pragma once

#include "afx.h"

struct WizardCommandLine {
    CString path;
    CString sourceId;
    CString contentType;
    CString mobileMinVersion;
    CString mobileCurVersion;
};

// What differs between the wizards.
struct WizardCommandLineRules {
    const wchar_t* linkScheme;         // "zkytransfer://"
    const wchar_t* linkContentType;    // the content type a link gives by default ("MP3 Audiobook")
    const wchar_t* linkSourceId;       // the source id a link gives by default ("Vesperlin")
    bool mobileVersions;               // reads MobileMinVersion and MobileCurVersion
};

// Reads the whole process command line (the program's own path in front, when it is there,
// is dropped). TRUE when the path came from the ".wax" rule or ends in ".wax"; FALSE also for
// a ".vpm" path, which the caller refuses.
BOOL ParseWizardCommandLine(const CString& commandLine, const CString& programPath, const WizardCommandLineRules& rules,
                            WizardCommandLine& options);

// TRUE when the command line asks for the verbose log: "-Verbose" in exactly this case, anywhere.
BOOL HasVerboseSwitch(const CString& commandLine);
