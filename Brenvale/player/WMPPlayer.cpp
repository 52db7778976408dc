#include "WMPPlayer.h"

#include <mmsystem.h>

#include <wmp.h>

#include <cmath>

IMPLEMENT_DYNCREATE(CWMPPlayer, CAxHost)

namespace {

// {6BF52A52-394A-11D3-B153-00C04F79FAA6}
constexpr CLSID kPlayerClsid = {0x6BF52A52, 0x394A, 0x11D3, {0xB1, 0x53, 0x00, 0xC0, 0x4F, 0x79, 0xFA, 0xA6}};

// An interface pointer released at the end of the call that fetched it.
template <class T>
struct Held {
    T* p = nullptr;
    ~Held()
    {
        if (p)
            p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
    explicit operator bool() const { return p != nullptr; }
};

// The event's argument (arguments arrive last first) as the type asked, or false.
bool Argument(DISPPARAMS* params, UINT indexFromFirst, VARTYPE type, VARIANT& value)
{
    VariantInit(&value);
    if (!params || indexFromFirst >= params->cArgs)
        return false;
    VARIANT* given = &params->rgvarg[params->cArgs - 1 - indexFromFirst];
    return SUCCEEDED(VariantChangeType(&value, given, 0, type));
}

}  // namespace

bool IsBusyPlayState(long state)
{
    switch (state) {
    case PLAYER_STATE_PLAYING:
    case PLAYER_STATE_SCAN_FORWARD:
    case PLAYER_STATE_SCAN_REVERSE:
    case PLAYER_STATE_BUFFERING:
    case PLAYER_STATE_WAITING:
    case PLAYER_STATE_TRANSITIONING:
    case PLAYER_STATE_RECONNECTING:
        return true;
    default:
        return false;
    }
}

long RoundPlayerPosition(double seconds, bool ceiling)
{
    if (!(seconds >= 0.0))  // negative or not a number: no position
        return -1;
    const double rounded = ceiling ? std::ceil(seconds) : std::floor(seconds + 0.5);
    return rounded >= 2147483647.0 ? 2147483647L : static_cast<long>(rounded);
}

const CLSID& CWMPPlayer::ControlClsid() { return kPlayerClsid; }

BOOL CWMPPlayer::Create(const wchar_t* windowName, DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    return AfterCreate(CreateControl(kPlayerClsid, windowName, style, rect, parent, id));
}

BOOL CWMPPlayer::CreateAtPlaceholder(CWnd* parent, UINT id)
{
    return AfterCreate(CreateControlAtPlaceholder(kPlayerClsid, parent, id));
}

BOOL CWMPPlayer::AfterCreate(BOOL created)
{
    if (!created)
        return FALSE;
    // The events come through the control's connection point (the container passes none on).
    ConnectEvents(__uuidof(_WMPOCXEvents), [this](DISPID id, DISPPARAMS* params) { OnControlEvent(id, params); });
    return TRUE;
}

void CWMPPlayer::OnControlEvent(DISPID id, DISPPARAMS* params)
{
    VARIANT first, second;
    switch (id) {
    case PLAYER_EVENT_PLAY_STATE_CHANGE:
        // The state may come as an unsigned number: converted, never assumed.
        if (!Argument(params, 0, VT_I4, first))
            return;
        m_lastState = first.lVal;
        if (m_events)
            m_events->OnPlayStateChange(first.lVal);
        return;
    case PLAYER_EVENT_STATUS_CHANGE:
        if (m_events)
            m_events->OnStatusChange();
        return;
    case PLAYER_EVENT_POSITION_CHANGE:
        if (m_events && Argument(params, 0, VT_R8, first) && Argument(params, 1, VT_R8, second))
            m_events->OnPositionChange(first.dblVal, second.dblVal);
        return;
    case PLAYER_EVENT_MARKER_HIT:
        if (m_events && Argument(params, 0, VT_I4, first))
            m_events->OnMarkerHit(first.lVal);
        return;
    case PLAYER_EVENT_MEDIA_CHANGE:
        if (!m_events)
            return;
        if (Argument(params, 0, VT_DISPATCH, first)) {
            m_events->OnMediaChange(first.pdispVal);
            VariantClear(&first);
        } else {
            m_events->OnMediaChange(nullptr);
        }
        return;
    default:
        return;
    }
}

IWMPPlayer4* CWMPPlayer::Player()
{
    IWMPPlayer4* player = nullptr;
    QueryControl(__uuidof(IWMPPlayer4), reinterpret_cast<void**>(&player));
    return player;
}

bool CWMPPlayer::HasSoundOutput()
{
    // The wave devices stand for every output the system renders to (the mapper alone,
    // which exists on every machine, is not one).
    return ::waveOutGetNumDevs() > 0;
}

// --- player ---

CString CWMPPlayer::GetURL()
{
    Held<IWMPPlayer4> player{Player()};
    BSTR url = nullptr;
    CString text;
    if (player && SUCCEEDED(player->get_URL(&url)) && url)
        text = url;
    SysFreeString(url);
    return text;
}

void CWMPPlayer::SetURL(const wchar_t* url)
{
    Held<IWMPPlayer4> player{Player()};
    BSTR text = SysAllocString(url ? url : L"");
    if (player && text)
        player->put_URL(text);
    SysFreeString(text);
}

long CWMPPlayer::GetPlayState()
{
    Held<IWMPPlayer4> player{Player()};
    WMPPlayState state = wmppsUndefined;
    if (player && player->get_playState(&state) == S_OK)
        return static_cast<long>(state);
    return m_lastState;  // the read is not available: the last state the control reported
}

void CWMPPlayer::SetFullScreen(BOOL fullScreen)
{
    Held<IWMPPlayer4> player{Player()};
    if (player)
        player->put_fullScreen(fullScreen ? VARIANT_TRUE : VARIANT_FALSE);
}

void CWMPPlayer::SetUiMode(const wchar_t* mode)
{
    Held<IWMPPlayer4> player{Player()};
    BSTR text = SysAllocString(mode ? mode : L"");
    if (player && text)
        player->put_uiMode(text);
    SysFreeString(text);
}

// --- controls ---

namespace {
template <class Call>
void WithControls(IWMPPlayer4* player, Call call)
{
    Held<IWMPControls> controls;
    if (player && SUCCEEDED(player->get_controls(&controls)) && controls)
        call(controls.p);
}
template <class Call>
void WithSettings(IWMPPlayer4* player, Call call)
{
    Held<IWMPSettings> settings;
    if (player && SUCCEEDED(player->get_settings(&settings)) && settings)
        call(settings.p);
}
template <class Call>
void WithMedia(IWMPPlayer4* player, Call call)
{
    Held<IWMPMedia> media;
    if (player && SUCCEEDED(player->get_currentMedia(&media)) && media)
        call(media.p);
}
}  // namespace

void CWMPPlayer::Play()
{
    Held<IWMPPlayer4> player{Player()};
    WithControls(player.p, [](IWMPControls* c) { c->play(); });
}

void CWMPPlayer::Stop()
{
    Held<IWMPPlayer4> player{Player()};
    WithControls(player.p, [](IWMPControls* c) { c->stop(); });
}

void CWMPPlayer::Pause()
{
    Held<IWMPPlayer4> player{Player()};
    WithControls(player.p, [](IWMPControls* c) { c->pause(); });
}

double CWMPPlayer::GetCurrentPosition()
{
    Held<IWMPPlayer4> player{Player()};
    double position = -1.0;
    WithControls(player.p, [&](IWMPControls* c) {
        double value = 0.0;
        if (c->get_currentPosition(&value) == S_OK)  // S_FALSE: nothing plays
            position = value;
    });
    return position;
}

void CWMPPlayer::SetCurrentPosition(double seconds)
{
    Held<IWMPPlayer4> player{Player()};
    WithControls(player.p, [&](IWMPControls* c) { c->put_currentPosition(seconds); });
}

void CWMPPlayer::SetCurrentMarker(long marker)
{
    Held<IWMPPlayer4> player{Player()};
    WithControls(player.p, [&](IWMPControls* c) { c->put_currentMarker(marker); });
}

// --- settings ---

BOOL CWMPPlayer::GetMute()
{
    Held<IWMPPlayer4> player{Player()};
    BOOL mute = FALSE;
    WithSettings(player.p, [&](IWMPSettings* s) {
        VARIANT_BOOL value = VARIANT_FALSE;
        if (s->get_mute(&value) == S_OK)
            mute = value != VARIANT_FALSE;
    });
    return mute;
}

void CWMPPlayer::SetMute(BOOL mute)
{
    Held<IWMPPlayer4> player{Player()};
    WithSettings(player.p, [&](IWMPSettings* s) { s->put_mute(mute ? VARIANT_TRUE : VARIANT_FALSE); });
}

double CWMPPlayer::GetRate()
{
    Held<IWMPPlayer4> player{Player()};
    double rate = 1.0;
    WithSettings(player.p, [&](IWMPSettings* s) {
        double value = 0.0;
        if (s->get_rate(&value) == S_OK && value > 0.0)
            rate = value;
    });
    return rate;
}

void CWMPPlayer::SetRate(double rate)
{
    Held<IWMPPlayer4> player{Player()};
    WithSettings(player.p, [&](IWMPSettings* s) { s->put_rate(rate); });
}

long CWMPPlayer::GetVolume()
{
    Held<IWMPPlayer4> player{Player()};
    long volume = -1;
    WithSettings(player.p, [&](IWMPSettings* s) {
        LONG value = 0;
        if (s->get_volume(&value) == S_OK)
            volume = value;
    });
    return volume;
}

void CWMPPlayer::SetVolume(long volume)
{
    Held<IWMPPlayer4> player{Player()};
    WithSettings(player.p, [&](IWMPSettings* s) { s->put_volume(volume); });
}

BOOL CWMPPlayer::IsAvailable(const wchar_t* item)
{
    Held<IWMPPlayer4> player{Player()};
    BOOL available = FALSE;
    BSTR name = SysAllocString(item ? item : L"");
    if (name) {
        WithSettings(player.p, [&](IWMPSettings* s) {
            VARIANT_BOOL value = VARIANT_FALSE;
            if (s->get_isAvailable(name, &value) == S_OK)
                available = value != VARIANT_FALSE;
        });
    }
    SysFreeString(name);
    return available;
}

// --- current media ---

bool CWMPPlayer::HasCurrentMedia()
{
    Held<IWMPPlayer4> player{Player()};
    bool has = false;
    WithMedia(player.p, [&](IWMPMedia*) { has = true; });
    return has;
}

long CWMPPlayer::GetMarkerCount()
{
    Held<IWMPPlayer4> player{Player()};
    long count = 0;
    WithMedia(player.p, [&](IWMPMedia* m) {
        LONG value = 0;
        if (m->get_markerCount(&value) == S_OK && value > 0)
            count = value;
    });
    return count;
}

double CWMPPlayer::GetMarkerTime(long marker)
{
    Held<IWMPPlayer4> player{Player()};
    double time = -1.0;
    WithMedia(player.p, [&](IWMPMedia* m) {
        double value = 0.0;
        if (m->getMarkerTime(marker, &value) == S_OK)
            time = value;
    });
    return time;
}

CString CWMPPlayer::GetMarkerName(long marker)
{
    Held<IWMPPlayer4> player{Player()};
    CString text;
    WithMedia(player.p, [&](IWMPMedia* m) {
        BSTR name = nullptr;
        if (m->getMarkerName(marker, &name) == S_OK && name)
            text = name;
        SysFreeString(name);
    });
    return text;
}

double CWMPPlayer::GetDuration()
{
    Held<IWMPPlayer4> player{Player()};
    double duration = 0.0;
    WithMedia(player.p, [&](IWMPMedia* m) {
        double value = 0.0;
        if (m->get_duration(&value) == S_OK && value > 0.0)
            duration = value;
    });
    return duration;
}
