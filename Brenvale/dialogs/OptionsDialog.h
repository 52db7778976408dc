// The Options dialog: automatic checks at start-up, the default download folder (of MP3
// audiobooks), how the player starts a title, and the proxy user name and password
// (stored scrambled). Everything is checked before anything is stored.
#pragma once

#include "ConsoleDialog.h"
#include "DownloadFolderCheck.h"

class COptionsDlg : public CConsoleDialog {
public:
    explicit COptionsDlg(CWnd* parent);

    // Tests answer the drive-type question for drives the machine lacks.
    DriveTypeQuery m_driveType;
    // Whether the folder may be changed (read when the dialog opens).
    BOOL m_folderChangeable = TRUE;
    CString m_userName;
    CString m_password;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    void BrowseDownloadFolder();
    void EnableProxyFields();
};

// The folder shown for a content kind: "DownloadFolder-<kind>", else the base folder
// ("DownloadFolder", else "<Documents>\My Media") with the pluralised kind name.
CString GetKindDownloadFolder(const CString& kindName);
// The message of a folder problem in the Options dialog (empty for none).
CString OptionsFolderMessage(DownloadFolderProblem problem, const CString& kindName, const CString& driveKind);
