#include "WizardCommandLine.h"

namespace {

const wchar_t* const kEdgeTrim = L" \"";
const wchar_t* const kValueTrim = L":=\" ";

CString Trimmed(CString text, const wchar_t* set)
{
    text.Trim(set);
    return text;
}

bool StartsNoCase(const CString& text, const wchar_t* word)
{
    return _wcsnicmp(text, word, wcslen(word)) == 0;
}

bool EndsNoCase(const CString& text, const wchar_t* ending)
{
    const int n = static_cast<int>(wcslen(ending));
    return text.GetLength() >= n && text.Right(n).CompareNoCase(ending) == 0;
}

// Where the next option begins: the next hyphen outside a quoted value (a quoted value is taken
// whole, hyphens and all; a quote left open runs to the end, as the line's last quote is trimmed).
int NextOptionStart(const CString& text, int from)
{
    bool quoted = false;
    for (int i = from; i < text.GetLength(); ++i) {
        if (text[i] == L'"')
            quoted = !quoted;
        else if (text[i] == L'-' && !quoted)
            return i;
    }
    return -1;
}

}  // namespace

BOOL HasVerboseSwitch(const CString& commandLine)
{
    return commandLine.Find(L"-Verbose") >= 0;
}

BOOL ParseWizardCommandLine(const CString& commandLine, const CString& programPath, const WizardCommandLineRules& rules,
                            WizardCommandLine& options)
{
    CString text = Trimmed(commandLine, kEdgeTrim);
    // The program's path in front (a wizard started by hand); anywhere else it is a value.
    if (!programPath.IsEmpty() && StartsNoCase(text, programPath))
        text = Trimmed(text.Mid(programPath.GetLength()), kEdgeTrim);
    options.path.Empty();
    CString lower = text;
    lower.MakeLower();
    BOOL fromPlaylist = FALSE;
    if (lower.Find(L"://") >= 0) {
        CString scheme = rules.linkScheme ? rules.linkScheme : L"";
        scheme.MakeLower();
        if (!scheme.IsEmpty() && lower.Find(scheme) >= 0) {
            options.contentType = rules.linkContentType;
            options.sourceId = rules.linkSourceId;
        }
        lower.Replace(L'/', L'"');  // a slash stands for the quote before the path
    }
    const int wax = lower.Find(L".wax");
    if (wax >= 0) {
        const int end = wax + 4;
        int quote = -1;
        for (int i = end - 1; i >= 0; --i) {
            if (lower[i] == L'"') {
                quote = i;
                break;
            }
        }
        if (quote >= 0) {
            options.path = text.Mid(quote + 1, end - quote - 1);
            text.Delete(quote + 1, end - quote - 1);
            fromPlaylist = TRUE;
        }
    }
    int start = 0;
    while (start <= text.GetLength()) {
        int dash = NextOptionStart(text, start);
        if (dash < 0)
            dash = text.GetLength();
        const CString piece = Trimmed(text.Mid(start, dash - start), kEdgeTrim);
        start = dash + 1;
        if (piece.IsEmpty())
            continue;
        if (StartsNoCase(piece, L"SourceId")) {
            options.sourceId = Trimmed(piece.Mid(8), kValueTrim);
        } else if (StartsNoCase(piece, L"Type")) {
            options.contentType = Trimmed(piece.Mid(4), kValueTrim);
        } else if (rules.mobileVersions && StartsNoCase(piece, L"MobileMinVersion")) {
            options.mobileMinVersion = Trimmed(piece.Mid(16), kValueTrim);
        } else if (rules.mobileVersions && StartsNoCase(piece, L"MobileCurVersion")) {
            options.mobileCurVersion = Trimmed(piece.Mid(16), kValueTrim);
        } else if (options.path.IsEmpty()) {
            const CString candidate = StartsNoCase(piece, L"Path") ? Trimmed(piece.Mid(4), kValueTrim) : piece;
            if (EndsNoCase(candidate, L".vpm")) {
                options.path = candidate;
                fromPlaylist = FALSE;
            } else if (EndsNoCase(candidate, L".wax")) {
                options.path = candidate;
                fromPlaylist = TRUE;
            }
        }
    }
    return fromPlaylist;
}
