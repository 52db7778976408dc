// The player window's media player control. The window speaks to IPlayerControl (a scripted
// fake stands in for it in tests); CWMPPlayer is that interface over the system's Windows
// Media Player control, hosted as control 1700 of the player window, and hands the control's
// events to an IPlayerEvents.
//
//     m_player.SetEvents(this);                                  // the window implements IPlayerEvents
//     if (!m_player.CreateAtPlaceholder(this, IDC_PLAYER)) ...   // replaces the template's static
//     m_player.SetURL(part.GetFilePath());
//
// A call the control refuses never throws: each read answers its "nothing" value (position
// -1, duration 0, Boolean FALSE, rate 1.0, volume -1, marker count 0, empty texts), and the
// play state falls back to the one the last PlayStateChange event reported. The control's
// dual interfaces are called directly (its late binding is not available everywhere); each
// sub-object (controls, settings, current media) is fetched for one call and released, and
// a missing one makes the call do nothing.
#pragma once

#include "AxHost.h"

struct IWMPPlayer4;

// Play states of the control.
enum PlayerState : long {
    PLAYER_STATE_UNDEFINED = 0,
    PLAYER_STATE_STOPPED = 1,
    PLAYER_STATE_PAUSED = 2,
    PLAYER_STATE_PLAYING = 3,
    PLAYER_STATE_SCAN_FORWARD = 4,
    PLAYER_STATE_SCAN_REVERSE = 5,
    PLAYER_STATE_BUFFERING = 6,
    PLAYER_STATE_WAITING = 7,
    PLAYER_STATE_MEDIA_ENDED = 8,
    PLAYER_STATE_TRANSITIONING = 9,
    PLAYER_STATE_READY = 10,
    PLAYER_STATE_RECONNECTING = 11,
};

// Dispatch ids of the control's events the player window handles.
enum PlayerEventId : DISPID {
    PLAYER_EVENT_OPEN_STATE_CHANGE = 5001,
    PLAYER_EVENT_STATUS_CHANGE = 5002,
    PLAYER_EVENT_PLAY_STATE_CHANGE = 5101,
    PLAYER_EVENT_POSITION_CHANGE = 5202,
    PLAYER_EVENT_MARKER_HIT = 5203,
    PLAYER_EVENT_MEDIA_CHANGE = 5802,
};

// Playing, scanning, buffering, waiting, transitioning and reconnecting are busy; any other
// state (stopped, paused, ended, ready, undefined, unknown) is not.
bool IsBusyPlayState(long state);
// A position in whole seconds: rounded half up, or up (ceiling) when asked. A negative
// position ("nothing") stays -1.
long RoundPlayerPosition(double seconds, bool ceiling = false);

class IPlayerEvents {
public:
    virtual ~IPlayerEvents() = default;
    virtual void OnStatusChange() {}
    virtual void OnPlayStateChange(long /*state*/) {}
    virtual void OnPositionChange(double /*oldPosition*/, double /*newPosition*/) {}
    virtual void OnMarkerHit(long /*marker*/) {}
    // The new media item (may be null; not AddRef'd for the handler).
    virtual void OnMediaChange(IDispatch* /*item*/) {}
};

class IPlayerControl {
public:
    virtual ~IPlayerControl() = default;
    // player
    virtual CString GetURL() = 0;
    virtual void SetURL(const wchar_t* url) = 0;
    virtual long GetPlayState() = 0;
    virtual bool IsBusy() = 0;
    virtual void SetFullScreen(BOOL fullScreen) = 0;
    virtual void SetUiMode(const wchar_t* mode) = 0;  // "none" or "invisible"
    // Whether the machine has a sound output to play to: the control's play call brings
    // the process down without one, so the window asks before every Play.
    virtual bool HasSoundOutput() = 0;
    // controls
    virtual void Play() = 0;
    virtual void Stop() = 0;
    virtual void Pause() = 0;
    virtual double GetCurrentPosition() = 0;
    virtual void SetCurrentPosition(double seconds) = 0;
    virtual void SetCurrentMarker(long marker) = 0;  // 1-based
    // settings
    virtual BOOL GetMute() = 0;
    virtual void SetMute(BOOL mute) = 0;
    virtual double GetRate() = 0;
    virtual void SetRate(double rate) = 0;
    virtual long GetVolume() = 0;  // 0 to 100
    virtual void SetVolume(long volume) = 0;
    virtual BOOL IsAvailable(const wchar_t* item) = 0;  // asked with "rate"
    // current media
    virtual bool HasCurrentMedia() = 0;
    virtual long GetMarkerCount() = 0;
    virtual double GetMarkerTime(long marker) = 0;  // 1-based; seconds
    virtual CString GetMarkerName(long marker) = 0;
    virtual double GetDuration() = 0;
};

class CWMPPlayer : public CAxHost, public IPlayerControl {
    DECLARE_DYNCREATE(CWMPPlayer)
public:
    CWMPPlayer() = default;

    // The control in a child window, or in place of the dialog's placeholder id.
    BOOL Create(const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id);
    BOOL CreateAtPlaceholder(CWnd* parent, UINT id);
    // Who hears the control's events (null: nobody); the handler outlives the window or is
    // reset before it goes.
    void SetEvents(IPlayerEvents* events) { m_events = events; }
    // The play state the last PlayStateChange reported.
    long GetLastEventState() const { return m_lastState; }

    CString GetURL() override;
    void SetURL(const wchar_t* url) override;
    long GetPlayState() override;
    bool IsBusy() override { return IsBusyPlayState(GetPlayState()); }
    void SetFullScreen(BOOL fullScreen) override;
    void SetUiMode(const wchar_t* mode) override;
    bool HasSoundOutput() override;
    void Play() override;
    void Stop() override;
    void Pause() override;
    double GetCurrentPosition() override;
    void SetCurrentPosition(double seconds) override;
    void SetCurrentMarker(long marker) override;
    BOOL GetMute() override;
    void SetMute(BOOL mute) override;
    double GetRate() override;
    void SetRate(double rate) override;
    long GetVolume() override;
    void SetVolume(long volume) override;
    BOOL IsAvailable(const wchar_t* item) override;
    bool HasCurrentMedia() override;
    long GetMarkerCount() override;
    double GetMarkerTime(long marker) override;
    CString GetMarkerName(long marker) override;
    double GetDuration() override;

    // The control's class.
    static const CLSID& ControlClsid();

private:
    BOOL AfterCreate(BOOL created);
    void OnControlEvent(DISPID id, DISPPARAMS* params);
    IWMPPlayer4* Player();  // AddRef'd, or null
    IPlayerEvents* m_events = nullptr;
    long m_lastState = PLAYER_STATE_UNDEFINED;
};
