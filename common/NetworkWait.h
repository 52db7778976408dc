// The download thread's waits on the network, made so that they end from outside the
// blocking call: the call runs on a helper thread while the download thread waits on it and
// on its own message queue, with a deadline of its own. A cancel or stop that arrives, or a
// deadline that passes, ends the wait at once; the owner then closes the request's handle,
// which makes the helper's blocked call return (a connection still being made finishes on
// its own later, touching nothing but the helper's own state).
//
// WinINet's own time-outs are not relied on (under Wine the connect time-out is not kept).
//
//     NetworkWait wait = SendOnHelper(request, {connectMs, answerMs}, &sent);
//     while (wait == NetworkWait::Message) { ...handle the message...; wait = sent.Wait(); }
//
//     CBodyReader reader(request, 10240);      // reads ahead on its helper thread
//     CBodyReader::Chunk chunk;
//     switch (reader.Next(deadline, &chunk)) { case NetworkWait::Done: ...; reader.Release(); }
#pragma once

#include <windows.h>
#include <wininet.h>

#include <memory>

enum class NetworkWait {
    Done,      // the call returned (or a chunk is there)
    Message,   // a message waits in the thread's queue: the caller looks at it, then waits again
    TimedOut,  // the deadline passed first
};

// Waits for the event, a message in the calling thread's queue (also one already seen), or
// the deadline (a GetTickCount64 value; 0: none).
NetworkWait WaitForEventOrMessage(HANDLE event, ULONGLONG deadline);

// HttpSendRequest of a request on a helper thread: until the connection is made the wait
// ends after connectMs, then after answerMs more without the answer's headers.
class CRequestSend {
public:
    CRequestSend(HINTERNET request, DWORD connectMs, DWORD answerMs);
    ~CRequestSend();
    CRequestSend(const CRequestSend&) = delete;
    CRequestSend& operator=(const CRequestSend&) = delete;

    // False when the helper could not be started (nothing was sent).
    bool Started() const { return m_state != nullptr; }
    NetworkWait Wait();
    // After Done: what HttpSendRequest returned, and its error.
    BOOL Succeeded() const;
    DWORD Error() const;
    // Whether the connection to the server was made and the request went out over it (a
    // secure connection whose certificate is refused never sends it), so that a failure
    // afterwards is one of the server, not of the way to it.
    bool Connected() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    ULONGLONG m_begun;
    DWORD m_connectMs;
    DWORD m_answerMs;
};

// Reads a response body ahead, chunk after chunk, on a helper thread into a small ring of
// buffers; the download thread takes them one by one. A chunk holds what had come when it
// was read, at most chunkSize bytes (a slow server's single byte is a chunk of its own), so
// that a time limit on the owner's side is one of silence. The reader stops at the body's
// end, at a failed read, and when the ring is full until a chunk is released.
class CBodyReader {
public:
    CBodyReader(HINTERNET request, UINT chunkSize, UINT chunks = 32);
    // Abandons the helper: it ends when its read returns (the owner closes the handle after
    // this, which makes a blocked read return).
    ~CBodyReader();
    CBodyReader(const CBodyReader&) = delete;
    CBodyReader& operator=(const CBodyReader&) = delete;

    bool Started() const { return m_state != nullptr; }
    struct Chunk {
        const BYTE* data;
        UINT size;    // 0: the body's end (when ok)
        BOOL ok;      // the read succeeded
        DWORD error;  // its error when it failed
    };
    // The next chunk (Done), a message waiting (Message), or the deadline passed (TimedOut).
    NetworkWait Next(ULONGLONG deadline, Chunk* chunk);
    // Gives the buffer of the chunk Next gave back to the reader.
    void Release();

private:
    struct State;
    std::shared_ptr<State> m_state;
};
