#pragma once

#include <QByteArray>

#include <chrono>

class ByteStream;

// Buffered line reading and command writing on a control connection (plain or TLS). A line ends at
// LF; a CR just before the LF is dropped too, so CRLF and bare-LF peers read alike.
//
// A line longer than maxLineLength is a failure (Status::TooLong), not truncated: the bytes
// buffered so far are dropped, so a hostile peer cannot make the reader hold more than about
// maxLineLength plus one receive block, and the caller treats the connection as broken because
// it no longer knows where the next reply starts.
class LineReader {
public:
    enum class Status { Line, Closed, TimedOut, Failed, TooLong };

    static constexpr qsizetype maxLineLength = 64 * 1024;
    static constexpr qsizetype receiveBlock = 4096;

    explicit LineReader(ByteStream& stream) : stream_(stream) {}

    // The time-out bounds the whole line, so a peer dribbling bytes cannot stretch it.
    Status readLine(QByteArray& line, std::chrono::milliseconds timeout);
    // Bytes already received and not yet taken: a wait on the socket would not see them.
    bool hasBufferedData() const;
    // Sends the text followed by CR LF in one write.
    bool writeLine(const QByteArray& text, std::chrono::milliseconds timeout);

private:
    bool takeLine(QByteArray& line);

    ByteStream& stream_;
    QByteArray buffer_;
    qsizetype scanned_ = 0; // bytes of buffer_ already known to hold no LF
};
