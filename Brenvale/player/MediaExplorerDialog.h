// The console's player window ("Vesperlin Media Explorer"): one title of the library,
// played part by part. The frame's Play command opens it through OpenMediaExplorer.
//
// The window plays the title's existing part files one after the other in the media player
// control, lists the parts and the current part's markers, shows the cover and the
// metadata, keeps volume, speed and the video size, writes the title's resume points at
// every event (ResumePoints.h) and keeps its bookmarks (BookmarkDlg.h).
//
//     CWnd* player = OpenMediaExplorer(title, source, dataFolder, frame);  // closes an open one first
//     CMediaExplorerDialog* open = FindMediaExplorer();                    // the open one, or null
//     if (open && open->GetCurrentMediaID().CompareNoCase(id) == 0) open->DestroyWindow();
//
// The window takes its own copies of the title and the source when it opens, so the library
// may replace or delete its records while the window plays. Its object deletes itself when
// its window has gone. Tests hand the window a scripted IPlayerControl instead of the
// system's control.
#pragma once

#include "AfxWin.h"
#include "WMPPlayer.h"

#include <functional>
#include <memory>
#include <vector>

class CMediaObject;
class CSourceObject;
class CMetadataPane;
class CThumbnailPane;

// Creates the player window for a library title as a modeless window owned by parent.
// The title and the source are the library's records (borrowed); dataFolder is the
// console's data folder. Returns the window, or nullptr when it could not be opened.
CWnd* OpenMediaExplorer(CMediaObject* title, CSourceObject* source, const CString& dataFolder,
                        CWnd* parent);

class CMediaExplorerDialog;
// The open player window of this thread (found by its caption), or null.
CMediaExplorerDialog* FindMediaExplorer();

// Starts the stand-alone media player with a file; TRUE when it started.
BOOL OpenInWindowsMediaPlayer(const wchar_t* file);

class CMediaExplorerDialog : public CDialog, public IPlayerEvents {
public:
    // control: a stand-in for the system's player control (owned by the caller, outliving the
    // window); null hosts the system's control.
    CMediaExplorerDialog(const CMediaObject* title, const CSourceObject* source, const CString& dataFolder,
                         CWnd* parent, IPlayerControl* control = nullptr);
    ~CMediaExplorerDialog() override;

    // Creates the modeless window (template 206); FALSE when its set-up failed (the window
    // is gone then, and the object must be deleted by the caller).
    BOOL Create();
    // The identifier of the title played, or empty.
    CString GetCurrentMediaID() const;

    // What the window shows, for its owner and tests.
    int GetCurrentPart() const { return m_currentPart; }
    int GetCurrentMarker() const { return m_currentMarker; }
    UINT GetSpeedItem() const { return m_speedItem; }
    UINT GetVideoSizeItem() const { return m_videoSizeItem; }
    bool IsVideo() const { return m_video; }
    CMetadataPane* GetMetadataPane() const { return m_metadataPane; }
    CThumbnailPane* GetThumbnailPane() const { return m_thumbnailPane; }
    IPlayerControl& Control() { return *m_control; }

    // The control's events.
    void OnStatusChange() override;
    void OnPlayStateChange(long state) override;
    void OnPositionChange(double oldPosition, double newPosition) override;
    void OnMarkerHit(long marker) override;
    void OnMediaChange(IDispatch* item) override;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override;
    void OnHelp() override;
    BOOL OnCmdMsg(UINT id, UINT code) override;
    BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void OnTimer(UINT_PTR id) override;
    void OnHScroll(UINT code, UINT pos, CWnd* scrollBar) override;
    void OnDrawItem(int id, LPDRAWITEMSTRUCT drawItem) override;
    BOOL OnSetCursor(CWnd* wnd, UINT hitTest, UINT message) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
    BOOL OnEraseBkgnd(CDC* dc) override;
    void OnDestroy() override;
    void PostNcDestroy() override;
    BOOL PreTranslateMessage(MSG* msg) override;

private:
    bool SetUp();
    bool SetUpTooltips();
    bool SetUpLists();
    void SetUpVolume();
    bool FitToWorkArea();
    bool CreatePanes();
    void StartAutoPlay();
    // Every play goes through here: without a sound output the control is not asked (its
    // play would bring the console down) and the user is told, once until Play is pressed
    // again; without a loaded part nothing happens. TRUE when the control was asked to play.
    bool PlayIfPossible();

    // Parts and markers.
    void GoToPart(int index, int step);
    void LoadMarkerList();
    void TrackCurrentMarker();
    void PlayMarker(int row);
    int MarkerRowAtPosition();
    void SelectRow(CListCtrl& list, int row);
    bool IsMp3() const;

    // Position, time and volume.
    void SetSliderRange();
    void UpdateTimeLabels(long position);
    void OnPositionScroll(UINT code, UINT pos);
    void OnVolumeScroll(UINT code);
    void StepVolume(bool up);
    void ApplyVolumeLevel(int level);
    void RefreshMuteButton();
    void RefreshPlayButton();
    void SetButtonText(int id, UINT textId);  // the text, its tooltip and a repaint
    long ClickedSliderPosition(CSliderCtrl& slider);

    // Menus and their commands.
    // Pops up the menu's first pop-up at the button after prepare has set its entries.
    void ShowPopupMenu(UINT menuId, UINT buttonId, const std::function<void(CMenu&)>& prepare);
    void ShowSpeedMenu();
    void ChooseSpeed(UINT item);
    void ShowVideoSizeMenu();
    bool ApplyVideoSize(UINT item, bool quiet);
    void ShowSkipToMenu();
    void SkipToStored(UINT id);
    void ShowBookmarksMenu();
    void GoToBookmark(UINT id);
    void AddBookmark();
    void ManageBookmarks();
    void OpenInStandAlonePlayer();

    // Resume points of the current part.
    void RecordFurthest(double seconds);
    void RecordFurthestAtCurrentPosition();

    ULONG_PTR m_gdiplusToken = 0;
    std::unique_ptr<CMediaObject> m_title;  // the window's own copy
    std::unique_ptr<CSourceObject> m_source;
    CString m_dataFolder;
    CString m_titleId;
    CWnd* m_owner;
    IPlayerControl* m_control;
    CWMPPlayer m_player;  // the system's control, when no stand-in is given

    CListCtrl m_parts;
    CListCtrl m_markers;
    CSliderCtrl m_position;
    CSliderCtrl m_volume;
    CToolTipCtrl m_tooltips;
    CImageList m_buttonImages;
    CBrush m_background;
    CFont m_listFont;
    HACCEL m_keys = nullptr;
    CMetadataPane* m_metadataPane = nullptr;   // child windows that delete themselves
    CThumbnailPane* m_thumbnailPane = nullptr;

    int m_currentPart = -1;
    int m_currentMarker = -1;
    bool m_partRowGuard = true;
    bool m_markerRowGuard = true;
    bool m_dragging = false;
    bool m_seekDone = false;
    bool m_stopAfterStart = false;
    UINT m_speedItem = 33501;
    UINT m_videoSizeItem = 33551;
    UINT m_hoverButton = 0;
    int m_skipRetries = 0;
    bool m_bookmarkRetried = false;
    bool m_video = false;
    bool m_toldNoSound = false;
    bool m_timerRunning = false;
    bool m_setUpDone = false;  // from then on the object deletes itself with its window
    long m_sliderMax = -1;
    CString m_markersSource;
    std::vector<long> m_markerStarts;

    // The layout measured at set-up, for the video sizes.
    struct ChildPlace {
        HWND window;
        CRect rect;
    };
    std::vector<ChildPlace> m_baseLayout;
    CSize m_baseWindow;
    CRect m_videoArea;     // the default video area (client coordinates)
    CRect m_metadataRect;  // the metadata pane's place at the current size
    CRect m_thumbnailRect;
};
