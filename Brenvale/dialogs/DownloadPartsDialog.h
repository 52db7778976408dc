// The Download dialog: the parts of a title with their state, a box for each part that
// can still be downloaded. The caller queues the chosen parts (m_chosen) after IDOK.
//   DoModal: IDOK with at least one part chosen; IDCANCEL when cancelled or when no part
//   is left to download; kNoParts for a title without parts.
#pragma once

#include "CheckedListCtrl.h"
#include "Collections.h"
#include "ConsoleDialog.h"
#include "Gdi.h"

#include <vector>

class CMediaObject;

enum class PartStatus { Downloaded, Downloading, Pending, NotDownloaded };

// "976 KB", "1,024 KB": whole KiB of the size, with one separator before the last six
// digits; a negative size shows as 0 KB.
CString FormatPartSize(LONGLONG fileSize);
// Where a part stands: on disk; at the head of the queue (downloading); later in it
// (pending, the first matching job decides); or not downloaded. The queue holds
// CDownloadJob objects, head first; titles are compared without regard to case.
PartStatus GetPartStatus(bool fileExists, const CString& mediaId, int partIndex, const CObArray* queue);
CString PartStatusText(PartStatus status);

class CDownloadPartsDlg : public CConsoleDialog {
public:
    static constexpr int kNoParts = 3;

    CDownloadPartsDlg(CMediaObject* title, const CObArray* queue, CWnd* parent);

    // Ends before showing anything for a title without parts or without a part to offer.
    INT_PTR DoModal() override;

    CUIntArray m_chosen;  // zero-based part indices, in part order
    CCheckedListCtrl m_list;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;

private:
    // Every enabled box from -> to.
    void SetEnabledChecks(int from, int to);

    CMediaObject* m_title;
    const CObArray* m_queue;
    std::vector<PartStatus> m_status;  // per part, found when the dialog is asked for
    CFont m_titleFont;
};
