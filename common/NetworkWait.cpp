#include "NetworkWait.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <vector>

namespace {

template <class State>
struct HelperStart {
    std::shared_ptr<State> state;
    void (*body)(State&);
};

template <class State>
DWORD WINAPI RunHelper(void* parameter)
{
    auto* start = static_cast<HelperStart<State>*>(parameter);
    start->body(*start->state);
    delete start;
    return 0;
}

// Starts a detached helper thread that holds its own reference to the state.
template <class State>
bool StartHelper(const std::shared_ptr<State>& state, void (*body)(State&))
{
    auto* start = new (std::nothrow) HelperStart<State>{state, body};
    if (!start)
        return false;
    const HANDLE thread = CreateThread(nullptr, 0, &RunHelper<State>, start, 0, nullptr);
    if (!thread) {
        delete start;
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace

NetworkWait WaitForEventOrMessage(HANDLE event, ULONGLONG deadline)
{
    for (;;) {
        DWORD timeout = INFINITE;
        if (deadline) {
            const ULONGLONG now = GetTickCount64();
            if (now >= deadline)
                return NetworkWait::TimedOut;
            timeout = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 0x7FFFFFFF));
        }
        const DWORD woken = MsgWaitForMultipleObjectsEx(1, &event, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0)
            return NetworkWait::Done;
        if (woken == WAIT_OBJECT_0 + 1)
            return NetworkWait::Message;
        if (woken == WAIT_FAILED)
            return NetworkWait::TimedOut;
    }
}

// ---- CRequestSend ----

struct CRequestSend::State {
    HINTERNET request = nullptr;
    HANDLE done = nullptr;
    std::atomic<ULONGLONG> connectedAt{0};
    std::atomic<bool> requestSent{false};
    BOOL succeeded = FALSE;
    DWORD error = 0;
    ~State()
    {
        if (done)
            CloseHandle(done);
    }
};

namespace {

// The helper's send in progress: WinINet reports the connection on the sending thread.
thread_local std::atomic<ULONGLONG>* t_connectedAt = nullptr;
thread_local std::atomic<bool>* t_requestSent = nullptr;

void CALLBACK OnRequestStatus(HINTERNET, DWORD_PTR, DWORD status, LPVOID, DWORD)
{
    if (t_connectedAt && (status == INTERNET_STATUS_CONNECTED_TO_SERVER || status == INTERNET_STATUS_REQUEST_SENT))
        t_connectedAt->store(GetTickCount64());
    if (t_requestSent && status == INTERNET_STATUS_REQUEST_SENT)
        t_requestSent->store(true);
}

}  // namespace

CRequestSend::CRequestSend(HINTERNET request, DWORD connectMs, DWORD answerMs)
    : m_begun(GetTickCount64()), m_connectMs(connectMs), m_answerMs(answerMs)
{
    auto state = std::make_shared<State>();
    state->request = request;
    state->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state->done)
        return;
    InternetSetStatusCallbackW(request, &OnRequestStatus);
    const bool started = StartHelper<State>(state, [](State& s) {
        t_connectedAt = &s.connectedAt;
        t_requestSent = &s.requestSent;
        s.succeeded = HttpSendRequestW(s.request, nullptr, 0, nullptr, 0);
        s.error = s.succeeded ? 0 : GetLastError();
        t_connectedAt = nullptr;
        t_requestSent = nullptr;
        SetEvent(s.done);
    });
    if (started)
        m_state = std::move(state);
}

CRequestSend::~CRequestSend() = default;

NetworkWait CRequestSend::Wait()
{
    for (;;) {
        // Until the connection is made its own time limit holds, then the answer's.
        const ULONGLONG connected = m_state->connectedAt.load();
        const ULONGLONG deadline = connected ? connected + m_answerMs : m_begun + m_connectMs;
        const NetworkWait end = WaitForEventOrMessage(m_state->done, deadline);
        if (end != NetworkWait::TimedOut || connected == m_state->connectedAt.load())
            return end;
    }
}

BOOL CRequestSend::Succeeded() const
{
    return m_state->succeeded;
}

DWORD CRequestSend::Error() const
{
    return m_state->error;
}

bool CRequestSend::Connected() const
{
    return m_state->requestSent.load();
}

// ---- CBodyReader ----

namespace {

constexpr size_t kWakeBatch = 16;
constexpr ULONGLONG kFlowingReadMs = 2;
// Chunks that came while the data flowed wake the owner a batch at a time; should the flow
// stop before a batch is full, the owner looks on its own after this long, so that what
// came is never held until the next byte or the time limit.
constexpr ULONGLONG kBatchLookMs = 20;

}  // namespace

struct CBodyReader::State {
    HINTERNET request = nullptr;
    UINT chunkSize = 0;
    std::vector<std::vector<BYTE>> buffers;
    std::vector<Chunk> chunks;
    SRWLOCK lock = SRWLOCK_INIT;
    size_t head = 0;   // the next chunk to take
    size_t count = 0;  // chunks read and not yet released
    bool taken = false;  // the head chunk was given out
    bool readerWaits = false;
    bool ownerWaits = false;
    bool abandoned = false;
    HANDLE filled = nullptr;  // set when a chunk arrives for a waiting owner
    HANDLE freed = nullptr;   // set when a buffer comes back to a waiting reader
    ~State()
    {
        if (filled)
            CloseHandle(filled);
        if (freed)
            CloseHandle(freed);
    }
};

CBodyReader::CBodyReader(HINTERNET request, UINT chunkSize, UINT chunks)
{
    auto state = std::make_shared<State>();
    state->request = request;
    state->chunkSize = chunkSize;
    try {
        state->buffers.assign(chunks, std::vector<BYTE>(chunkSize));
        state->chunks.assign(chunks, Chunk{});
    } catch (const std::bad_alloc&) {
        return;
    }
    state->filled = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    state->freed = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!state->filled || !state->freed)
        return;
    const bool started = StartHelper<State>(state, [](State& s) {
        const size_t ring = s.buffers.size();
        for (;;) {
            AcquireSRWLockExclusive(&s.lock);
            while (s.count == ring && !s.abandoned) {
                s.readerWaits = true;
                ReleaseSRWLockExclusive(&s.lock);
                WaitForSingleObject(s.freed, INFINITE);
                AcquireSRWLockExclusive(&s.lock);
            }
            s.readerWaits = false;
            const bool abandoned = s.abandoned;
            const size_t slot = (s.head + s.count) % ring;
            ReleaseSRWLockExclusive(&s.lock);
            if (abandoned)
                return;

            // A read of a whole chunk waits until the chunk is full, which a slow server may
            // take minutes to send: the reader asks what has come (which waits for one byte at
            // least) and reads no more than that, so that every arrival reaches the owner (its
            // time limit counts from there, and the progress shows it). Where nothing is said
            // to be there, one byte is read: it waits for the next one or for the end.
            BYTE* const buffer = s.buffers[slot].data();
            const ULONGLONG begun = GetTickCount64();
            DWORD available = 0;
            DWORD read = 0;
            BOOL ok = InternetQueryDataAvailable(s.request, &available, 0, 0);
            if (ok)
                ok = InternetReadFile(s.request, buffer, available == 0 ? 1 : std::min<DWORD>(available, s.chunkSize),
                                      &read);
            const DWORD error = ok ? 0 : GetLastError();
            const Chunk chunk{buffer, ok ? static_cast<UINT>(read) : 0, ok, error};
            const bool last = !ok || read == 0;
            // While the data flows the owner is woken for a few chunks at a time (each wake-up
            // costs more than a chunk); bytes that had to be waited for, the end and a failure
            // wake it at once.
            const bool flowing = !last && GetTickCount64() - begun < kFlowingReadMs;

            AcquireSRWLockExclusive(&s.lock);
            s.chunks[slot] = chunk;
            ++s.count;
            const bool wake = s.ownerWaits && (!flowing || s.count >= kWakeBatch || s.count == ring);
            if (wake)
                s.ownerWaits = false;
            ReleaseSRWLockExclusive(&s.lock);
            if (wake)
                SetEvent(s.filled);
            if (last)
                return;  // the end, or a failure: nothing more is read
        }
    });
    if (started)
        m_state = std::move(state);
}

CBodyReader::~CBodyReader()
{
    if (!m_state)
        return;
    AcquireSRWLockExclusive(&m_state->lock);
    m_state->abandoned = true;
    const bool wake = m_state->readerWaits;
    ReleaseSRWLockExclusive(&m_state->lock);
    if (wake)
        SetEvent(m_state->freed);
}

NetworkWait CBodyReader::Next(ULONGLONG deadline, Chunk* chunk)
{
    for (;;) {
        AcquireSRWLockExclusive(&m_state->lock);
        if (m_state->count > 0) {
            *chunk = m_state->chunks[m_state->head];
            m_state->taken = true;
            ReleaseSRWLockExclusive(&m_state->lock);
            return NetworkWait::Done;
        }
        m_state->ownerWaits = true;
        ReleaseSRWLockExclusive(&m_state->lock);
        const ULONGLONG look = GetTickCount64() + kBatchLookMs;
        const bool looking = deadline == 0 || look < deadline;
        const NetworkWait end = WaitForEventOrMessage(m_state->filled, looking ? look : deadline);
        if (end != NetworkWait::Done) {
            AcquireSRWLockExclusive(&m_state->lock);
            const bool arrived = m_state->count > 0;
            m_state->ownerWaits = false;
            ReleaseSRWLockExclusive(&m_state->lock);
            if (!arrived && !(end == NetworkWait::TimedOut && looking))
                return end;
        }
    }
}

void CBodyReader::Release()
{
    AcquireSRWLockExclusive(&m_state->lock);
    bool wake = false;
    if (m_state->taken && m_state->count > 0) {
        m_state->taken = false;
        m_state->head = (m_state->head + 1) % m_state->buffers.size();
        --m_state->count;
        wake = m_state->readerWaits;
        m_state->readerWaits = false;
    }
    ReleaseSRWLockExclusive(&m_state->lock);
    if (wake)
        SetEvent(m_state->freed);
}
