// The frame's update and message checks: the service client's replies turned into the
// offers, notes and failure pages the user sees. Only "LastMessageID" is stored, and only
// after a valid message; a reply's URLs reach the shell only as "http:" or "https:" URLs.
#include "MainFrm.h"

#include "ConsoleSettings.h"
#include "HtmlPage.h"
#include "ServiceAddress.h"
#include "ServiceClient.h"
#include "ShellOpen.h"
#include "SuppressibleMessageDlg.h"
#include "VersionNumbers.h"
#include "res/ConsoleIds.h"
#include "res/ServiceIds.h"

namespace {

constexpr const wchar_t* kLastMessageIdSetting = L"LastMessageID";
constexpr const wchar_t* kUpdatePageFile = L"CheckUpdatesResponse.htm";
constexpr const wchar_t* kMessagePageFile = L"CheckMessagesResponse.htm";

// A service's notes as shown: without the "Â" that a UTF-8 no-break space becomes when the
// service's text has passed through the ANSI code page.
CString DisplayNotes(CString notes)
{
    notes.Remove(L'\u00C2');
    return notes;
}

// A proxy's or server's error page rather than a reply of the service.
bool IsHtmlPage(const CString& reply)
{
    CString lower(reply);
    lower.MakeLower();
    return lower.Find(L"<!doctype html") >= 0 || lower.Find(L"</html>") >= 0 || lower.Find(L"</body>") >= 0;
}

// A failed check: an HTML reply in the web browser dialog under the message's first line,
// anything else (or a page that cannot be shown) in the message with the reply.
void ShowCheckFailure(CWnd* frame, UINT messageId, const wchar_t* pageFile, const CString& reply)
{
    if (IsHtmlPage(reply)) {
        CString line = AfxLoadString(messageId);
        line.Replace(L"\n%s", L"");
        if (ShowHtmlPage(reply, pageFile, line, frame))
            return;
    }
    AfxMessageBox(AfxFormatString(messageId, reply.GetString()));
}

void ShowInvalidReply(const CString& reply)
{
    AfxMessageBox(AfxFormatString(IDS_SERVICE_REPLY_INVALID, reply.GetString()));
}

// Opens the download page and closes the console; FALSE (the console stays) when the shell
// did not take the page.
BOOL QuitForUpdate(const CString& url)
{
    if (!OpenInShell(url))
        return FALSE;
    if (CWnd* main = AfxGetMainWnd())
        main->PostMessage(WM_CLOSE);
    return TRUE;
}

// The update service's answer for this console.
struct UpdateReply {
    CString required;
    CString latest;
    CString notes;
    CString url;
};

// A complete reply: the required update asked about, or the newer one offered; the check's result.
BOOL AnswerUpdateReply(CWnd* frame, BOOL quiet, const CString& installedText, const UpdateReply& reply)
{
    VersionNumbers installed, required, latest;
    if (!ParseVersionNumbers(installedText, installed)) {
        AfxMessageBox(AfxFormatString(IDS_INSTALLED_VERSION_INVALID, installedText.GetString()));
        return FALSE;
    }
    if (!ParseVersionNumbers(reply.required, required)) {
        AfxMessageBox(AfxFormatString(IDS_REQUIRED_VERSION_INVALID, reply.required.GetString()));
        return FALSE;
    }
    if (!ParseVersionNumbers(reply.latest, latest)) {
        AfxMessageBox(AfxFormatString(IDS_LATEST_VERSION_INVALID, reply.latest.GetString()));
        return FALSE;
    }
    const CString notes = DisplayNotes(reply.notes);
    if (CompareVersionNumbers(required, installed) > 0) {
        const CString question = AfxFormatString(IDS_UPDATE_REQUIRED, reply.required.GetString(),
                                                 installedText.GetString(), notes.GetString());
        if (AfxMessageBox(question, MB_YESNO | MB_ICONINFORMATION) == IDYES)
            QuitForUpdate(reply.url);
        return FALSE;
    }
    // A newer build of the same release (the fourth number) is not offered.
    if (CompareVersionNumbers(latest, installed, 3) > 0) {
        CSuppressibleMessageDlg offer(IDD_SUPPRESSIBLE_UPDATE, reply.latest, frame, notes, !quiet);
        // A suppressed offer ends with IDOK: declined like No.
        if (offer.DoModal() == IDYES && QuitForUpdate(reply.url))
            return FALSE;
    }
    return TRUE;
}

}  // namespace

BOOL CMainFrame::RunUpdateCheck(BOOL quiet, const wchar_t* mediaId)
{
    const bool forTitle = mediaId && *mediaId;
    // A quiet check tells nothing of a failure, unless it asks for one title.
    const bool tellFailures = !quiet || forTitle;
    CString reply, installed;
    DWORD status = 0;
    if (!CheckForUpdatesOrMessages(ResolveServiceUrl(AfxLoadString(IDS_UPDATE_SERVICE_URL)), mediaId, reply,
                                   installed, status, m_proxyUserName, m_proxyPassword)) {
        if (tellFailures)
            ShowCheckFailure(this, forTitle ? IDS_TITLE_CHECK_FAILED : IDS_UPDATE_CHECK_FAILED, kUpdatePageFile, reply);
        return FALSE;
    }
    if (status == HTTP_STATUS_NOT_MODIFIED) {
        if (!quiet)
            AfxMessageBox(AfxFormatString(IDS_UPDATE_CURRENT, installed.GetString()), MB_OK | MB_ICONINFORMATION);
        return TRUE;
    }
    if (status == HTTP_STATUS_OK) {
        const UpdateReply update{FindReplyElement(reply, L"RequiredVersion"), FindReplyElement(reply, L"LatestVersion"),
                                 FindReplyElement(reply, L"LatestNotes"), FindReplyElement(reply, L"LatestURL")};
        if (!update.required.IsEmpty() && !update.latest.IsEmpty() && !update.notes.IsEmpty() &&
            IsWebAddress(update.url))
            return AnswerUpdateReply(this, quiet, installed, update);
    }
    if (tellFailures)
        ShowInvalidReply(reply);
    return FALSE;
}

void CMainFrame::RunMessageCheck(BOOL quiet)
{
    CString reply, installed;
    DWORD status = 0;
    const CString lastId = GetSettingString(kLastMessageIdSetting);
    if (!CheckForUpdatesOrMessages(ResolveServiceUrl(AfxLoadString(IDS_MESSAGE_SERVICE_URL)), lastId, reply,
                                   installed, status, m_proxyUserName, m_proxyPassword)) {
        if (!quiet)
            ShowCheckFailure(this, IDS_MESSAGE_CHECK_FAILED, kMessagePageFile, reply);
        return;
    }
    if (status == HTTP_STATUS_NOT_MODIFIED) {
        if (!quiet)
            AfxMessageBox(IDS_NO_NEW_MESSAGES, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (status == HTTP_STATUS_OK) {
        const CString id = FindReplyElement(reply, L"MessageID");
        const CString notes = FindReplyElement(reply, L"MessageNotes");
        const CString url = FindReplyElement(reply, L"MessageURL");
        if (!id.IsEmpty() && !notes.IsEmpty() && (url.IsEmpty() || IsWebAddress(url))) {
            WriteSettingString(kLastMessageIdSetting, id);
            const CString shown = DisplayNotes(notes);
            if (url.IsEmpty())
                AfxMessageBox(shown, MB_OK | MB_ICONINFORMATION);
            else if (AfxMessageBox(AfxFormatString(IDS_MESSAGE_LEARN_MORE, shown.GetString()),
                                   MB_YESNO | MB_ICONINFORMATION) == IDYES)
                OpenInShell(url);
            return;
        }
    }
    if (!quiet)
        ShowInvalidReply(reply);
}
