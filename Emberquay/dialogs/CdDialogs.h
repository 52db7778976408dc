// The CD wizard's dialogs: About (dialog 100), the burn options (141: the write speed among
// those the recorder offers, and test mode) and Tracks (134: how the parts will be split into
// CD tracks at their markers).
#pragma once

#include "Dialog.h"
#include "DriveRecord.h"
#include "ListBox.h"
#include "TreeCtrl.h"

#include <cstdint>
#include <vector>

class CCdAboutDialog : public CDialog {
    DECLARE_DYNAMIC(CCdAboutDialog)
public:
    explicit CCdAboutDialog(CWnd* parent);

protected:
    BOOL OnInitDialog() override;
};

class CBurnOptionsDialog : public CDialog {
    DECLARE_DYNAMIC(CBurnOptionsDialog)
public:
    CBurnOptionsDialog(const DriveSpeedList& speeds, ULONG speed, BOOL testMode, CWnd* parent);

    // The speed each combo item stands for: item 0 ("Fastest") the highest, then the speeds
    // from the highest down; the item selected for a speed.
    static std::vector<ULONG> ItemSpeeds(const DriveSpeedList& speeds, ULONG speed);
    static int ItemForSpeed(const DriveSpeedList& speeds, ULONG speed);

    ULONG m_speed;
    BOOL m_testMode;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    DriveSpeedList m_speeds;
    std::vector<ULONG> m_itemSpeeds;
    CComboBox m_speedBox;
};

// A part the Tracks dialog shows: its number and file.
struct TrackPart {
    int number = 0;
    CString path;
    uint64_t durationMs = 0;  // the part's duration, as the burn plans its tracks
};

class CTracksDialog : public CDialog {
    DECLARE_DYNAMIC(CTracksDialog)
public:
    CTracksDialog(const CString& title, std::vector<TrackPart> parts, CWnd* parent);

    // Rebuilds the tree from the files.
    void Refresh();
    CTreeCtrl& Tree() { return m_tree; }

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    void OnContextMenu(CWnd* wnd, CPoint point) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

private:
    void ShowMenuAt(HTREEITEM item, CPoint point);
    void ShowProperties(HTREEITEM item);

    CString m_title;
    std::vector<TrackPart> m_parts;
    CTreeCtrl m_tree;
    HTREEITEM m_menuItem = nullptr;
};
