// The Get Media dialog: where a new title's parts are to be downloaded. It shows the title
// and its source's banner, proposes the download folder of the title's format (a title the
// library already holds keeps its folder), checks the folder on OK and then fills the
// title's folder fields (selected method "download", download folder, title folder name).
#pragma once

#include "BannerPicture.h"
#include "ConsoleDialog.h"
#include "DownloadFolderCheck.h"

class CBrenvaleDoc;
class CMediaObject;
class CSourceObject;

// The folder proposed for a title: the library record's folder when the library holds the
// title, else the folder of its format (Options: GetKindDownloadFolder).
CString ProposedDownloadFolder(const CMediaObject& title, const CBrenvaleDoc& library);
// The message for a refused folder: 4043 empty, 4046 invalid characters or not a whole path,
// 4055 with the drive's kind; empty when the folder is fine.
CString GetMediaFolderMessage(DownloadFolderProblem problem, const CString& driveKind);

class CGetMediaDlg : public CConsoleDialog {
public:
    // Everything is borrowed.
    CGetMediaDlg(CMediaObject* title, CSourceObject* source, CBrenvaleDoc* library, CWnd* parent);

    // Tests answer the drive-type question for drives the machine lacks.
    DriveTypeQuery m_driveType;
    // The banner shown: the source's, else the program's default; null when neither loads.
    const Gdiplus::Image* GetBanner() const { return m_banner.Get(); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;
    BOOL OnEraseBkgnd(CDC* dc) override;

private:
    void Browse();

    CMediaObject* m_title;
    CSourceObject* m_source;
    CBrenvaleDoc* m_library;
    CMediaObject* m_existing = nullptr;  // the library's record of the same title
    CBannerPicture m_banner;
    CFont m_titleFont;
};
