#pragma once

#include <QtGlobal>

#include <chrono>

// A connected byte stream: a TCP socket, or TLS over one. Every wait is bounded by the
// time-out given to the call.
class ByteStream {
public:
    virtual ~ByteStream() = default;

    // Up to size bytes: the count, 0 when the peer ended the stream, -1 on failure or when
    // nothing arrived within the time-out (timedOut() tells which).
    virtual qint64 receive(char* data, qint64 size, std::chrono::milliseconds timeout) = 0;
    // Sends what the stream takes: the count, 0 when no room came within the time-out
    // (timedOut() is then true), -1 on failure.
    virtual qint64 sendSome(const char* data, qint64 size, std::chrono::milliseconds timeout) = 0;
    virtual bool timedOut() const = 0;
    // Bytes already received below this stream that a wait on the descriptor would not see.
    virtual bool hasPendingData() const { return false; }

    // Sends every byte; the time-out bounds each wait for room.
    bool sendAll(const char* data, qint64 size, std::chrono::milliseconds timeout);
};
